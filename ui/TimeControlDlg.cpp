#include "ui/TimeControlDlg.h"

#include "config/MessageReporter.h"
#include "engine/ClockService.h"
#include "engine/EventSink.h"
#include "engine/PlanTime.h"
#include "ui/TimeBarCtrl.h"
#include "uikit/SectionClickSelect.h"

#include <QDateEdit>
#include <QDateTime>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyleOptionComplex>
#include <QTimeEdit>

#include <algorithm>
#include <climits>

namespace {

constexpr int kRowHeight = 20;
constexpr int kBarTop = 12;

QDateTime Local(std::time_t t)
{
    return QDateTime::fromSecsSinceEpoch(qint64(t));
}

// The pickers show one half of a field each; the other half stays as it was.
std::time_t WithDate(std::time_t field, const QDate& date)
{
    const QDateTime old = Local(field);
    return old.date() == date ? field : std::time_t(QDateTime(date, old.time()).toSecsSinceEpoch());
}

std::time_t WithTimeOfDay(std::time_t field, const QTime& time)
{
    const QDateTime old = Local(field);
    const QTime whole(time.hour(), time.minute(), time.second());
    return old.time() == whole ? field : std::time_t(QDateTime(old.date(), whole).toSecsSinceEpoch());
}

// Plans never span 68 years, but a hand-edited file may; keep the bar's ints sane.
int ToInt(long long seconds)
{
    return int(std::clamp<long long>(seconds, INT_MIN, INT_MAX));
}

QString Relative(long long seconds)
{
    return QStringLiteral("相对时间:") + QString::fromStdString(FormatDuration(seconds));
}

// The row is 20 pixels high and a date picker 85 wide; the platform style's
// drop-down button would hide the end of "yyyy-MM-dd", so it is made narrower.
class CompactPickerStyle : public QProxyStyle {
public:
    static constexpr int kArrowWidth = 14;
    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex* opt, SubControl sc, const QWidget* w) const override
    {
        if (cc == CC_ComboBox && qobject_cast<const QDateEdit*>(w)) {
            const QRect r = opt->rect;
            if (sc == SC_ComboBoxArrow)
                return visualRect(opt->direction, r, QRect(r.right() - kArrowWidth + 1, r.top(), kArrowWidth, r.height()));
            if (sc == SC_ComboBoxEditField)
                return visualRect(opt->direction, r, QRect(r.x() + 1, r.y() + 1, r.width() - kArrowWidth - 2, r.height() - 2));
        }
        return QProxyStyle::subControlRect(cc, opt, sc, w);
    }
};

}  // namespace

int CTimeControlDlg::Receiver::RecvClockEvent(uint32_t, uint32_t nowMs, const void*)
{
    m_owner.OnClockThreadTick(nowMs);
    return 1;
}

CTimeControlDlg::CTimeControlDlg(CClockService& clock, IMessageReporter* reporter, QWidget* parent)
    : QWidget(parent), m_clock(clock), m_reporter(reporter), m_rateText(QStringLiteral("播放速率: 正常速度"))
{
    BuildControls();
    InitialiseTimes(std::time(nullptr));
}

CTimeControlDlg::~CTimeControlDlg()
{
    // The clock must not call into a receiver that is going away.
    m_clock.Stop();
    m_clock.RemoveReceiver(&m_receiver);
}

void CTimeControlDlg::BuildControls()
{
    setMinimumHeight(60);
    m_timeBar = new CTimeBarCtrl(this);
    m_timeBar->setObjectName("timeBar");
    m_timeBar->SetMargins(2, 3, 2, 0);
    m_timeBar->SetPageSize(60);
    m_timeBar->setEnabled(true);
    connect(m_timeBar, &CTimeBarCtrl::thumbMoved, this, &CTimeControlDlg::OnThumbMoved);
    connect(m_timeBar, &CTimeBarCtrl::positionSet, this, &CTimeControlDlg::OnPositionSet);

    auto* pickerStyle = new CompactPickerStyle;
    pickerStyle->setParent(this);
    QFont pickerFont = font();
    pickerFont.setPixelSize(11);
    auto dateEdit = [this, pickerStyle, pickerFont](const char* name) {
        auto* e = new QDateEdit(this);
        e->setStyle(pickerStyle);
        e->setFont(pickerFont);
        e->setObjectName(name);
        e->setDisplayFormat("yyyy-MM-dd");
        e->setCalendarPopup(true);
        SelectSectionOnClick(e);
        return e;
    };
    auto timeEdit = [this, pickerFont](const char* name) {
        auto* e = new QTimeEdit(this);
        e->setFont(pickerFont);
        e->setObjectName(name);
        e->setDisplayFormat("HH:mm:ss");
        SelectSectionOnClick(e);
        return e;
    };
    auto button = [this](const char* name, void (CTimeControlDlg::*slot)()) {
        auto* b = new QPushButton(QStringLiteral(">>"), this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };

    m_startDateEdit = dateEdit("startDate");
    m_startTimeEdit = timeEdit("startTime");
    m_applyStartButton = button("applyStart", &CTimeControlDlg::OnApplyStart);
    m_startDateEdit->setToolTip(QStringLiteral("开始时间"));
    m_startTimeEdit->setToolTip(QStringLiteral("开始时间"));
    m_applyStartButton->setToolTip(QStringLiteral("设置开始时间"));
    m_rateLabel = new QLabel(this);
    m_rateLabel->setObjectName("rateText");

    m_curDateEdit = dateEdit("currentDate");
    m_curTimeEdit = timeEdit("currentTime");
    m_applyCurrentButton = button("applyCurrent", &CTimeControlDlg::OnApplyCurrent);
    m_curDateEdit->setToolTip(QStringLiteral("当前时间"));
    m_curTimeEdit->setToolTip(QStringLiteral("当前时间"));
    m_applyCurrentButton->setToolTip(QStringLiteral("跳到当前时间"));
    m_relativeLabel = new QLabel(this);
    m_relativeLabel->setObjectName("relativeText");

    m_endDateEdit = dateEdit("endDate");
    m_endTimeEdit = timeEdit("endTime");
    m_applyEndButton = button("applyEnd", &CTimeControlDlg::OnApplyEnd);
    m_endDateEdit->setToolTip(QStringLiteral("结束时间"));
    m_endTimeEdit->setToolTip(QStringLiteral("结束时间"));
    m_applyEndButton->setToolTip(QStringLiteral("设置结束时间"));

    LayoutControls();
}

void CTimeControlDlg::LayoutControls()
{
    const int w = width();
    const int y = height() - 25;
    m_timeBar->setGeometry(10, kBarTop, std::max(0, w - 20), 16);

    m_startDateEdit->setGeometry(10, y, 85, kRowHeight);
    m_startTimeEdit->setGeometry(100, y, 85, kRowHeight);
    m_applyStartButton->setGeometry(190, y, 30, kRowHeight);
    m_rateLabel->setGeometry(240, y, 150, kRowHeight);

    m_curDateEdit->setGeometry(w / 2 - 115, y, 85, kRowHeight);
    m_curTimeEdit->setGeometry(w / 2 - 25, y, 85, kRowHeight);
    m_applyCurrentButton->setGeometry(w / 2 + 60, y, 30, kRowHeight);
    m_relativeLabel->setGeometry(w / 2 + 110, y, 150, kRowHeight);

    m_endDateEdit->setGeometry(w - 210, y, 85, kRowHeight);
    m_endTimeEdit->setGeometry(w - 120, y, 85, kRowHeight);
    m_applyEndButton->setGeometry(w - 35, y, 30, kRowHeight);
}

void CTimeControlDlg::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutControls();
}

void CTimeControlDlg::InitialiseTimes(std::time_t now)
{
    m_startTime = m_startDate = now;
    m_curTime = m_curDate = now;
    m_endTime = now + 2 * 3600;
    // The end date follows the end time past midnight; keeping today's date
    // would put the end before the start for the last two hours of a day.
    m_endDate = m_endTime;
    m_currentEpoch.store(now);
    const std::time_t s = StartDateTime();
    const std::time_t e = EndDateTime();
    SetTimeBar(0, ToInt(e - s), 0);
    WriteControls();
}

void CTimeControlDlg::SetPlanTimes(std::time_t start, std::time_t end)
{
    m_startTime = m_startDate = start;
    m_curTime = m_curDate = start;
    m_endTime = m_endDate = end;
    WriteControls();
    OnApplyCurrent();
}

void CTimeControlDlg::RestorePlanTimes(std::time_t start, std::time_t end)
{
    ReadControls();
    m_startTime = m_startDate = start;
    m_endTime = m_endDate = end;
    const int length = ToInt(end - start);
    const int position = std::clamp(m_barPos, 0, length);
    if (position != m_barPos) {
        SeekClock(position);
        if (m_hooks.recalculatePositions)
            m_hooks.recalculatePositions();
    }
    SetTimeBar(0, length, position);
    WriteControls();
}

std::time_t CTimeControlDlg::StartDateTime() const
{
    return CombineDateAndTime(m_startDate, m_startTime);
}

std::time_t CTimeControlDlg::CurrentDateTime() const
{
    return CombineDateAndTime(m_curDate, m_curTime);
}

std::time_t CTimeControlDlg::EndDateTime() const
{
    return CombineDateAndTime(m_endDate, m_endTime);
}

std::string CTimeControlDlg::CurrentTimeText() const
{
    return FormatTimeOfDay(std::time_t(m_currentEpoch.load()));
}

QString CTimeControlDlg::RateTextFor(double rate)
{
    if (rate == 1.0)
        return QStringLiteral("播放速率: 正常速度");
    return QStringLiteral("播放速率: %1倍速").arg(rate, 0, 'f', 2);
}

void CTimeControlDlg::SetRateText(const QString& text)
{
    ReadControls();
    m_rateText = text;
    WriteControls();
}

void CTimeControlDlg::ReadControls()
{
    m_startDate = WithDate(m_startDate, m_startDateEdit->date());
    m_startTime = WithTimeOfDay(m_startTime, m_startTimeEdit->time());
    m_curDate = WithDate(m_curDate, m_curDateEdit->date());
    m_curTime = WithTimeOfDay(m_curTime, m_curTimeEdit->time());
    m_endDate = WithDate(m_endDate, m_endDateEdit->date());
    m_endTime = WithTimeOfDay(m_endTime, m_endTimeEdit->time());
}

void CTimeControlDlg::WriteControls()
{
    m_startDateEdit->setDate(Local(m_startDate).date());
    m_startTimeEdit->setTime(Local(m_startTime).time());
    m_endDateEdit->setDate(Local(m_endDate).date());
    m_endTimeEdit->setTime(Local(m_endTime).time());
    WriteCurrentControls();
    m_startShared.store(StartDateTime());
}

// The clock only changes the current time and the texts; leaving the other
// pickers alone keeps what the operator is typing there during play.
void CTimeControlDlg::WriteCurrentControls()
{
    m_curDateEdit->setDate(Local(m_curDate).date());
    m_curTimeEdit->setTime(Local(m_curTime).time());
    m_rateLabel->setText(m_rateText);
    m_relativeLabel->setText(m_relativeText);
}

void CTimeControlDlg::SetCurrent(std::time_t c, bool publish)
{
    m_curTime = m_curDate = c;
    if (publish)
        m_currentEpoch.store(c);
}

void CTimeControlDlg::SetTimeBar(int minimum, int maximum, int position)
{
    ApplyTimeBar(minimum, maximum, position, true);
}

void CTimeControlDlg::ApplyTimeBar(int minimum, int maximum, int position, bool publish)
{
    m_barMin = minimum;
    m_barMax = maximum;
    m_barPos = position;
    m_timeBar->SetRange(minimum, maximum, false);
    m_timeBar->SetPos(position);
    m_relativeText = Relative(position);
    SetCurrent(StartDateTime() + position, publish);
}

void CTimeControlDlg::SeekClock(long long seconds)
{
    const long long ms = std::clamp<long long>(seconds * 1000, 0, UINT32_MAX);
    m_clock.SetTime(uint32_t(ms));
    ++m_seekGeneration;
}

void CTimeControlDlg::WarnStartEnd()
{
    IMessageReporter& r = m_reporter ? *m_reporter : DefaultMessageReporter();
    r.Report({"开始时间、结束时间设置不合理,请重新输入！", "提示信息", MessageIcon::Warning, MessageButtons::Ok});
}

void CTimeControlDlg::OnApplyStart()
{
    ReadControls();
    const std::time_t s = StartDateTime();
    const std::time_t e = EndDateTime();
    if (s >= e) {
        WarnStartEnd();
        WriteControls();
        return;
    }
    SetTimeBar(0, ToInt(e - s), m_barPos);
    if (HasPlan()) {
        m_startTime = s;
        if (m_hooks.setPlanStart)
            m_hooks.setPlanStart(s);
    }
    WriteControls();
}

void CTimeControlDlg::OnApplyEnd()
{
    ReadControls();
    const std::time_t e = EndDateTime();
    m_endTime = e;
    if (m_startTime >= e) {
        WarnStartEnd();
        WriteControls();
        return;
    }
    SetTimeBar(0, ToInt(e - StartDateTime()), m_barPos);
    if (HasPlan() && m_hooks.setPlanEnd)
        m_hooks.setPlanEnd(e);
    WriteControls();
}

void CTimeControlDlg::OnApplyCurrent()
{
    ReadControls();
    const std::time_t s = StartDateTime();
    const std::time_t e = EndDateTime();
    const std::time_t c = CurrentDateTime();
    m_curTime = c;
    if (s <= c && c <= e) {
        // Seek with the clock stopped so no tick in flight undoes the jump and
        // the replay runs even during play.
        const bool running = m_clock.IsRunning() != 0;
        if (running)
            m_clock.Stop();
        SeekClock(c - s);
        if (m_hooks.recalculatePositions)
            m_hooks.recalculatePositions();
        SetTimeBar(0, ToInt(e - s), ToInt(c - s));
        if (running)
            m_clock.Resume();
    } else {
        IMessageReporter& r = m_reporter ? *m_reporter : DefaultMessageReporter();
        r.Report({"当前输入的时间设置超出了开始时间和结束时间的范围,请重新输入！", "提示信息", MessageIcon::Warning,
                  MessageButtons::Ok});
    }
    WriteControls();
}

bool CTimeControlDlg::SeekToOffset(long long seconds)
{
    ReadControls();
    const std::time_t s = StartDateTime();
    const std::time_t e = EndDateTime();
    if (seconds < 0 || seconds > (long long)(e - s)) {
        WriteControls();
        return false;
    }
    const bool running = m_clock.IsRunning() != 0;
    if (running)
        m_clock.Stop();
    m_curTime = s + std::time_t(seconds);
    SeekClock(seconds);
    if (m_hooks.recalculatePositions)
        m_hooks.recalculatePositions();
    SetTimeBar(0, ToInt(e - s), ToInt(seconds));
    WriteControls();
    if (running)
        m_clock.Resume();
    return true;
}

void CTimeControlDlg::OnClockThreadTick(uint32_t nowMs)
{
    // C is the model's time of day for this tick's events, so it is set here,
    // before the plan (registered after the panel) runs its actions.
    m_currentEpoch.store(m_startShared.load() + nowMs / 1000);
    m_latestTick.store((uint64_t(m_seekGeneration.load()) << 32) | nowMs);
    // One posted call at a time: when the user-interface thread lags, it
    // catches up with the latest tick instead of replaying each one.
    if (!m_tickPosted.exchange(true))
        QMetaObject::invokeMethod(this, [this] { HandlePostedTick(); }, Qt::QueuedConnection);
}

void CTimeControlDlg::HandlePostedTick()
{
    m_tickPosted.store(false);
    const uint64_t tick = m_latestTick.load();
    if (uint32_t(tick >> 32) != m_seekGeneration.load())
        return;  // from before the last seek
    OnClockTick(uint32_t(tick & 0xffffffffu));
}

void CTimeControlDlg::OnClockTick(uint32_t nowMs)
{
    m_barPos = m_timeBar->GetPos();
    const std::time_t s = StartDateTime();
    SetCurrent(s + nowMs / 1000, false);
    if (m_dragging == 1)
        return;
    // The clock thread already published C for this tick; a later tick may
    // have moved it on, so the late copy here must not overwrite it.
    ApplyTimeBar(0, ToInt(EndDateTime() - s), ToInt(nowMs / 1000), false);
    WriteCurrentControls();
}

void CTimeControlDlg::OnThumbMoved(int position)
{
    if (m_wasPlaying == kWasPlayingUnknown) {
        m_wasPlaying = m_clock.IsRunning();
        m_clock.Stop();
        ++m_seekGeneration;
    }
    ReadControls();
    m_barPos = position;
    SetCurrent(StartDateTime() + position, true);
    m_relativeText = Relative(position);
    WriteControls();
    m_dragging = 1;
}

void CTimeControlDlg::OnPositionSet(int position)
{
    m_timeBar->SetPos(position);
    // Keys step the bar without a drag; they seek the same way, so a running
    // clock is held while the units are replayed to the new position.
    if (m_wasPlaying == kWasPlayingUnknown) {
        m_wasPlaying = m_clock.IsRunning();
        m_clock.Stop();
    }
    const int target = m_timeBar->GetPos();
    m_barPos = target;
    SetCurrent(StartDateTime() + target, true);
    m_relativeText = Relative(target);
    SeekClock(target);
    if (m_hooks.recalculatePositions)
        m_hooks.recalculatePositions();
    m_dragging = 0;
    WriteCurrentControls();
    if (m_wasPlaying == 1)
        m_clock.Resume();
    m_wasPlaying = kWasPlayingUnknown;
}
