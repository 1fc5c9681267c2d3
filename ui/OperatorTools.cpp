#include "ui/OperatorTools.h"

#include "config/MessageReporter.h"
#include "app/RecoveryFile.h"
#include "app/TarnwickApp.h"
#include "ui/EventListPanel.h"
#include "ui/MainWindow.h"
#include "ui/QueuedEventSink.h"
#include "ui/TimeControlDlg.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSaveFile>
#include <QFileInfo>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>

namespace {


const QString kOutOfRange = QStringLiteral("输入的时间超出了预案的开始时间和结束时间的范围,请重新输入！");
const QString kNotUnderstood =
    QStringLiteral("无法识别输入的时间。请输入相对于开始时间的“时:分:秒”或秒数，或者“年-月-日 时:分:秒”格式的日期时间。");

QString RelativeText(long long seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QMenu* MenuTitled(QMenuBar* bar, const QString& title)
{
    for (QAction* action : bar->actions())
        if (action->menu() && action->text() == title)
            return action->menu();
    return nullptr;
}

}  // namespace

// ---- parsing and CSV -------------------------------------------------------------------

std::optional<long long> ParseGoToTime(const QString& input, std::time_t planStart)
{
    QString text = input.trimmed();
    text.replace(QChar(0xFF1A), QLatin1Char(':'));  // full-width colon of Chinese input methods
    if (text.isEmpty())
        return std::nullopt;

    static const QRegularExpression seconds(QStringLiteral("^\\d{1,10}$"));
    if (seconds.match(text).hasMatch())
        return text.toLongLong();

    static const QRegularExpression relative(QStringLiteral("^(\\d{1,7}):(\\d{1,2}):(\\d{1,2})$"));
    if (const auto m = relative.match(text); m.hasMatch()) {
        const long long h = m.captured(1).toLongLong();
        const int min = m.captured(2).toInt(), sec = m.captured(3).toInt();
        if (min > 59 || sec > 59)
            return std::nullopt;
        return h * 3600 + min * 60 + sec;
    }

    static const QRegularExpression dateTime(
        QStringLiteral("^(\\d{4})[-/](\\d{1,2})[-/](\\d{1,2})(?:\\s+|T)(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$"));
    if (const auto m = dateTime.match(text); m.hasMatch()) {
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        const int h = m.captured(4).toInt(), min = m.captured(5).toInt();
        const int sec = m.captured(6).isEmpty() ? 0 : m.captured(6).toInt();
        if (!date.isValid() || h > 23 || min > 59 || sec > 59)
            return std::nullopt;
        const QDateTime when(date, QTime(h, min, sec));
        if (!when.isValid())
            return std::nullopt;  // a local time skipped by a clock change
        return when.toSecsSinceEpoch() - (long long)planStart;
    }
    return std::nullopt;
}

QString CsvField(const QString& field)
{
    static const QRegularExpression special(QStringLiteral("[,\"\r\n]"));
    if (!field.contains(special))
        return field;
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray BuildEventCsv(const std::vector<ExportedEvent>& events, const std::vector<HitRecord>& hits)
{
    QString text;
    auto row = [&text](std::initializer_list<QString> fields) {
        bool first = true;
        for (const QString& f : fields) {
            if (!first)
                text += QLatin1Char(',');
            text += CsvField(f);
            first = false;
        }
        text += QStringLiteral("\r\n");
    };
    row({"类别", "发生时间", "发生事件", "被击中单位", "打击者", "距离火力线(米)"});
    for (const ExportedEvent& e : events)
        row({"事件", e.timeText, e.message, QString(), QString(), QString()});
    for (const HitRecord& h : hits)
        row({"击中", QString::fromStdString(h.timeText), QString(), QString::fromStdString(h.victim),
             QString::fromStdString(h.attacker), QString::asprintf("%.4f", h.distance)});
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

// ---- the tools -----------------------------------------------------------------------------

COperatorTools::COperatorTools(CTarnwickApp& app, CMainFrame& frame)
    : QObject(&frame), m_app(app), m_frame(frame), m_timer(new QTimer(this))
{
    askTime = [this](const QString& current) -> std::optional<QString> {
        bool ok = false;
        const QString text = QInputDialog::getText(
            &m_frame, QStringLiteral("转到时间"),
            QStringLiteral("相对时间(时:分:秒 或 秒数)，或日期时间(年-月-日 时:分:秒):"), QLineEdit::Normal, current,
            &ok);
        if (!ok)
            return std::nullopt;
        return text;
    };

    auto make = [this](const QString& text, const QString& tip, std::initializer_list<QKeySequence> keys) {
        auto* action = new QAction(text, &m_frame);
        action->setStatusTip(tip);
        action->setToolTip(tip);
        action->setShortcuts(QList<QKeySequence>(keys));
        // Window-wide, but a focused text field still gets its keys: Qt offers
        // the key to the focus widget first (ShortcutOverride), and line edits,
        // spin boxes and text edits take printable keys for themselves.
        action->setShortcutContext(Qt::WindowShortcut);
        m_frame.addAction(action);
        return action;
    };
    m_goTo = make(QStringLiteral("转到时间..."), QStringLiteral("转到指定的推演时间"), {QKeySequence(QStringLiteral("Ctrl+G"))});
    m_stepForward = make(QStringLiteral("前进一秒"), QStringLiteral("推演时间前进一秒"),
                         {QKeySequence(QStringLiteral("Ctrl+Right"))});
    m_stepBack = make(QStringLiteral("后退一秒"), QStringLiteral("推演时间后退一秒"),
                      {QKeySequence(QStringLiteral("Ctrl+Left"))});
    // Held keys repeat the step.
    m_stepForward->setAutoRepeat(true);
    m_stepBack->setAutoRepeat(true);
    m_playPause = make(QStringLiteral("播放/暂停"), QStringLiteral("播放或暂停推演"), {QKeySequence(Qt::Key_Space)});
    m_playPause->setAutoRepeat(false);
    m_export = make(QStringLiteral("导出事件..."), QStringLiteral("把事件列表和击中记录导出为CSV文件"), {});
    connect(m_goTo, &QAction::triggered, this, &COperatorTools::OnGoToTime);
    connect(m_stepForward, &QAction::triggered, this, [this] { OnStep(1); });
    connect(m_stepBack, &QAction::triggered, this, [this] { OnStep(-1); });
    connect(m_playPause, &QAction::triggered, this, &COperatorTools::OnPlayPause);
    connect(m_export, &QAction::triggered, this, &COperatorTools::OnExportEvents);

    // + and - change the rate anywhere in the window, as the toolbar buttons do.
    if (QAction* up = m_frame.Action(CMainFrame::ID_SPEED_UP))
        up->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal),
                          QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)});
    if (QAction* down = m_frame.Action(CMainFrame::ID_SPEED_DOWN))
        down->setShortcuts({QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus)});
    AddToMenus();

    if (CEventListPanel* list = m_frame.EventList()) {
        connect(list, &CEventListPanel::eventActivated, this, [this](qint64 epoch) { OnEventActivated(epoch); });
        connect(list, &CEventListPanel::exportRequested, this, &COperatorTools::OnExportEvents);

    }


    connect(m_timer, &QTimer::timeout, this, &COperatorTools::WriteRecovery);
    connect(&m_app.m_Doc, &CTarnwickDoc::planFileChanged, this, &COperatorTools::OnPlanFileChanged);
    connect(&m_app.m_Doc, &CTarnwickDoc::saved, this, &COperatorTools::OnSaved);
}

COperatorTools::~COperatorTools() = default;

void COperatorTools::AddToMenus()
{
    QMenuBar* bar = m_frame.menuBar();
    if (QMenu* play = MenuTitled(bar, QStringLiteral("推演(&R)"))) {
        play->addSeparator();
        play->addAction(m_playPause);
        play->addAction(m_goTo);
        play->addAction(m_stepBack);
        play->addAction(m_stepForward);
    }
    if (QMenu* file = MenuTitled(bar, QStringLiteral("文件(&F)"))) {
        QAction* print = m_frame.Action(CMainFrame::ID_FILE_PRINT);
        file->insertAction(print && file->actions().contains(print) ? print : nullptr, m_export);
    }
}

void COperatorTools::Warn(const QString& text)
{
    m_app.Reporter().Report({text.toStdString(), "提示信息", MessageIcon::Warning, MessageButtons::Ok});
}

// ---- seeking -----------------------------------------------------------------------------

void COperatorTools::OnGoToTime()
{
    if (!m_app.GetPlan())
        return;
    const std::optional<QString> text = askTime(RelativeText(m_frame.TimePanel()->GetBarPosition()));
    if (text)
        GoToText(*text);
}

bool COperatorTools::GoToText(const QString& text)
{
    CTimeControlDlg* panel = m_frame.TimePanel();
    if (!m_app.GetPlan())
        return false;
    const std::optional<long long> offset = ParseGoToTime(text, panel->StartDateTime());
    if (!offset) {
        Warn(kNotUnderstood);
        return false;
    }
    if (!panel->SeekToOffset(*offset)) {
        Warn(kOutOfRange);
        return false;
    }
    return true;
}

void COperatorTools::OnStep(int seconds)
{
    if (!m_app.GetPlan())
        return;
    CTimeControlDlg* panel = m_frame.TimePanel();
    const long long target = (long long)panel->GetBarPosition() + seconds;
    // At either end a held key just stops there.
    if (target >= 0 && target <= (long long)(panel->EndDateTime() - panel->StartDateTime()))
        panel->SeekToOffset(target);
}

void COperatorTools::OnPlayPause()
{
    if (!m_app.GetPlan() || m_app.m_EditMode != 0)
        return;  // play and pause are run-mode commands
    if (m_app.m_ClockService.IsRunning())
        m_frame.OnPause();
    else
        m_frame.OnPlay();
}

void COperatorTools::OnEventActivated(qint64 epoch)
{
    if (!m_app.GetPlan() || epoch == 0)
        return;
    if (!m_frame.TimePanel()->SeekToOffset(epoch - (qint64)m_frame.TimePanel()->StartDateTime()))
        Warn(kOutOfRange);
}

// ---- event log export ------------------------------------------------------------------------

void COperatorTools::OnExportEvents()
{
    const QString path =
        m_frame.GetDialogs().saveFile(QStringLiteral("CSV 文件(*.csv)|*.csv|All Files (*.*)|*.*||"), QStringLiteral("csv"));
    if (!path.isEmpty())
        ExportEvents(path);
}

bool COperatorTools::ExportEvents(const QString& path)
{
    // The whole history, not the page the list shows.
    const CEventRecorder& history = m_app.m_EventHistory;
    std::vector<ExportedEvent> events;
    events.reserve(history.events.size());
    for (const EventRecord& e : history.events)
        events.push_back({QString::fromStdString(e.timeText), QString::fromStdString(e.message)});
    const QByteArray bytes = BuildEventCsv(events, history.hits);

    QSaveFile file(path);
    QString why;
    if (!file.open(QIODevice::WriteOnly))
        why = file.errorString();
    else if (file.write(bytes) != bytes.size() || !file.commit())
        why = file.errorString();
    if (!why.isEmpty()) {
        if (file.isOpen())
            file.cancelWriting();
        ReportError(m_app.Reporter(), ("导出事件失败: " + path + "\n" + why).toStdString(), "错误");
        return false;
    }
    m_frame.statusBar()->showMessage(QStringLiteral("已导出 %1 条事件和 %2 条击中记录").arg(events.size()).arg(history.hits.size()),
                                     5000);
    return true;
}

// ---- crash recovery ------------------------------------------------------------------------------

bool COperatorTools::StartRecovery(const QString& folder)
{
    m_recovery = std::make_unique<CRecoveryFile>(folder);
    if (!m_recovery->Acquire()) {
        // Another running program keeps its copies there; this one keeps none.
        std::fprintf(stderr, "tarnwick: no crash recovery: %s is in use\n", qPrintable(m_recovery->Folder()));
        return false;
    }
    m_timer->start(kRecoveryIntervalMs);

    const std::optional<CRecoveryFile::Found> found = m_recovery->Find();
    if (!found)
        return false;
    if (m_recovery->MatchesOriginal(*found)) {
        m_recovery->Discard();  // it holds nothing the plan's own file does not
        return false;
    }
    // Which plan and how old the copy is, so the operator can decide.
    const QString plan = found->originalPath.isEmpty() ? QStringLiteral("(新建的预案, 尚未保存)") : found->originalPath;
    const QString when = QFileInfo(found->planPath).lastModified().toString("yyyy-MM-dd HH:mm:ss");
    const MessageAnswer answer = m_app.Reporter().Report(
        {"恢复上次未保存的预案?", "提示", MessageIcon::Question, MessageButtons::YesNo,
         ("预案文件: " + plan + "\n副本时间: " + when).toStdString()});
    if (answer != MessageAnswer::Yes) {
        m_recovery->Discard();
        return false;
    }
    if (m_app.m_ClockService.IsRunning())
        m_app.m_ClockService.Stop();
    m_app.ClosePlan();
    if (!m_app.LoadPlan(found->planPath.toStdString())) {
        ReportError(m_app.Reporter(), "加载预案失败", "错误");
        m_recovery->SetAside();  // unreadable: kept for a look, never offered again
        return false;
    }
    // It is the plan of its own file again, with changes that file lacks.
    m_app.m_Doc.SetPathName(found->originalPath);
    m_app.m_Doc.SetPlanFile(found->originalPath);
    m_app.m_Doc.SetModifiedFlag(true);
    m_frame.ViewSizeChanged();
    m_haveCopy = true;
    return true;
}

void COperatorTools::EndRecovery()
{
    m_timer->stop();
    if (m_recovery)
        m_recovery->Discard();
    m_haveCopy = false;
}

void COperatorTools::OnPlanFileChanged()
{
    // Opening, saving or making a plan: what is in it now is not "changed".
    if (const CPlan* plan = m_app.GetPlan()) {
        const std::string text = PlanToText(*plan);
        m_baseline = std::hash<std::string>{}(text);
        if (m_haveCopy)
            m_lastWritten = m_baseline;
    }
}

void COperatorTools::OnSaved()
{
    if (const CPlan* plan = m_app.GetPlan())
        WriteRecoveryText(PlanToText(*plan));
}

bool COperatorTools::WriteRecovery()
{
    const CPlan* plan = m_app.GetPlan();
    if (!m_recovery || !m_recovery->IsActive() || !plan || !plan->GetFirstLayer())
        return false;
    // Serialised into memory first; the layer gates are held only for that.
    const std::string text = PlanToText(*plan);
    const size_t hash = std::hash<std::string>{}(text);
    // Edits that do not mark the document still show in its text.
    if (!m_app.m_Doc.IsModified() && hash == m_baseline)
        return false;
    m_app.m_Doc.SetModifiedFlag(true);
    if (m_haveCopy && hash == m_lastWritten)
        return false;
    return WriteRecoveryText(text);
}

bool COperatorTools::WriteRecoveryText(const std::string& text)
{
    if (!m_recovery || !m_recovery->IsActive())
        return false;
    std::string error;
    if (!m_recovery->Write(text, m_app.m_Doc.GetPlanFile(), &error)) {
        std::fprintf(stderr, "tarnwick: cannot write the recovery copy: %s\n", error.c_str());
        m_frame.statusBar()->showMessage(QStringLiteral("无法写入预案的恢复副本: ") + QString::fromStdString(error),
                                         10000);
        return false;
    }
    m_lastWritten = std::hash<std::string>{}(text);
    m_haveCopy = true;
    return true;
}
