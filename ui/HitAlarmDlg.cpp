#include "ui/HitAlarmDlg.h"

#include "engine/HitList.h"

#include <QGridLayout>
#include <QLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CHitAlarmDlg::CHitAlarmDlg(CHitList& hits, QWidget* parent)
    : QDialog(parent), m_hits(hits), m_timer(new QTimer(this))
{
    setWindowTitle(QStringLiteral("火力击中告警"));
    setModal(false);

    m_frame = new QGroupBox(this);
    m_frame->setObjectName("hitTime");
    auto readOnly = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setReadOnly(true);
        e->setMinimumWidth(170);
        return e;
    };
    m_victim = readOnly("victim");
    m_attacker = readOnly("attacker");
    // "红炮兵一营[编号: 3][火器: 榴弹炮]" and the like, whole.
    m_attacker->setMinimumWidth(m_attacker->fontMetrics().horizontalAdvance(
                                    QStringLiteral("红炮兵一营营部[编号: 25599][火器: 反坦克导弹]")) +
                                16);
    m_distance = readOnly("distance");
    m_distance->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* grid = new QGridLayout(m_frame);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);
    grid->addWidget(new QLabel(QStringLiteral("被击中单位: "), m_frame), 0, 0);
    grid->addWidget(m_victim, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("打击者:"), m_frame), 1, 0);
    grid->addWidget(m_attacker, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("火力线离被击中单位"), m_frame), 2, 0);
    grid->addWidget(m_distance, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("米"), m_frame), 2, 2);
    grid->setColumnStretch(1, 1);

    m_counter = new QLabel(QStringLiteral("共0条"), this);
    m_counter->setObjectName("counter");
    m_previous = new QPushButton(QStringLiteral("上一条"), this);
    m_next = new QPushButton(QStringLiteral("下一条"), this);
    m_ok = new QPushButton(QStringLiteral("确定"), this);
    m_previous->setAutoDefault(false);
    m_next->setAutoDefault(false);
    m_ok->setDefault(true);
    connect(m_previous, &QPushButton::clicked, this, &CHitAlarmDlg::OnPrevious);
    connect(m_next, &QPushButton::clicked, this, &CHitAlarmDlg::OnNext);
    connect(m_ok, &QPushButton::clicked, this, &CHitAlarmDlg::OnAcknowledge);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_counter);
    buttons->addStretch(1);
    buttons->addWidget(m_previous);
    buttons->addWidget(m_next);
    buttons->addSpacing(8);
    buttons->addWidget(m_ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_frame);
    layout->addLayout(buttons);
    // The frame's title (the record's time) adds height; reserve it from the
    // start, and size the dialog with the style's metrics, which apply once the
    // widgets are polished, so the size never changes when it is first shown.
    m_frame->setTitle(QStringLiteral("00:00:00"));
    ensurePolished();
    for (QWidget* child : findChildren<QWidget*>())
        child->ensurePolished();
    adjustSize();
    setFixedSize(sizeHint());
    m_frame->setTitle(QString());

    connect(m_timer, &QTimer::timeout, this, &CHitAlarmDlg::OnTimerTick);
    m_timer->start(1000);
}

QString CHitAlarmDlg::CounterText() const { return m_counter->text(); }
QString CHitAlarmDlg::VictimText() const { return m_victim->text(); }
QString CHitAlarmDlg::AttackerText() const { return m_attacker->text(); }
QString CHitAlarmDlg::DistanceText() const { return m_distance->text(); }
QString CHitAlarmDlg::TimeText() const { return m_frame->title(); }

bool CHitAlarmDlg::PopUp(const QRect& frame)
{
    if (m_hits.Count() == 0 || isVisible())
        return false;
    m_position = 0;
    const QRect own = frameGeometry();
    if (frame.height() == 0 || frame.width() < own.width() || frame.height() < own.height())
        return false;
    // The frame's own corner, so a window that is not maximised (or not at the
    // screen origin) gets the dialog inside it too.
    move(frame.x() + frame.width() - own.width(), frame.y() + frame.height() - own.height());
    show();
    return true;
}

void CHitAlarmDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_position)
        DisplayRecord();
}

void CHitAlarmDlg::DisplayRecord()
{
    if (!m_position)
        return;
    if (const std::optional<HitRecord> record = m_hits.At(*m_position)) {
        m_victim->setText(QString::fromStdString(record->victim));
        m_attacker->setText(QString::fromStdString(record->attacker));
        // Shown from its start (the field is wide enough for the usual texts);
        // the whole text is also the tooltip.
        m_attacker->setCursorPosition(0);
        m_attacker->setToolTip(m_attacker->text());
        m_distance->setText(QString::asprintf("%.4f", record->distance));
        m_frame->setTitle(QString::fromStdString(record->timeText));
    }
    OnTimerTick();
}

void CHitAlarmDlg::OnTimerTick()
{
    m_counter->setText(QStringLiteral("共%1条").arg(m_hits.Count()));
    if (m_position) {
        m_next->setEnabled(m_hits.HasNext(*m_position));
        m_previous->setEnabled(CHitList::HasPrevious(*m_position));
    }
}

void CHitAlarmDlg::OnNext()
{
    if (!m_position)
        return;
    if (m_hits.HasNext(*m_position)) {
        ++*m_position;
        DisplayRecord();
    } else {
        m_position.reset();
    }
}

void CHitAlarmDlg::OnPrevious()
{
    if (!m_position)
        return;
    if (CHitList::HasPrevious(*m_position)) {
        --*m_position;
        DisplayRecord();
    } else {
        m_position.reset();
    }
}

void CHitAlarmDlg::OnAcknowledge()
{
    m_hits.Clear();
    m_position.reset();
    hide();
}
