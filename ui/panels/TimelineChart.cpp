#include "ui/panels/TimelineChart.h"

#include "engine/WGAction.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kTickMs = 200;

QString Clock(int64_t ms)
{
    const int64_t s = ms / 1000;
    return QString("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar('0')).arg(s % 60, 2, 10, QChar('0'));
}

QString TypeName(int32_t type)
{
    switch (type) {
    case kActionMove:
        return "移动";
    case kActionStrike:
        return "打击";
    case kActionTurn:
        return "转向";
    case kActionLoad:
        return "装载";
    case kActionUnload:
        return "卸载";
    default:
        return QString("类型 %1").arg(type);
    }
}

QColor BarColor(int32_t type)
{
    return type == kActionMove ? QColor(70, 130, 200) : QColor(220, 120, 40);
}

}  // namespace

CTimelineChart::CTimelineChart(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(kAxisHeight + kRowHeight * 2);
}

void CTimelineChart::SetTimeline(std::shared_ptr<const PlanTimeline> timeline,
                                 const std::function<QString(const TimelineRow&)>& groupOf)
{
    const bool firstPlan = !m_timeline || !timeline || m_timeline->startTime != timeline->startTime ||
                           m_timeline->endMs != timeline->endMs;
    m_timeline = std::move(timeline);
    m_groups.clear();
    if (m_timeline)
        for (const TimelineRow& row : m_timeline->rows)
            m_groups.push_back(groupOf ? groupOf(row) : QString());
    // A drag in progress belongs to the rows as they were.
    m_pressed = m_dragging = false;
    Rebuild();
    if (firstPlan || !m_userView)
        FitAll();
    update();
}

void CTimelineChart::SetFilter(const QString& text)
{
    m_filter = text.trimmed();
    Rebuild();
    update();
}

void CTimelineChart::Rebuild()
{
    m_entries.clear();
    if (!m_timeline)
        return;
    std::vector<QString> order;
    for (size_t i = 0; i < m_timeline->rows.size(); ++i)
        if (m_timeline->rows[i].layer == 0 && std::find(order.begin(), order.end(), m_groups[i]) == order.end())
            order.push_back(m_groups[i]);
    int top = 0;
    for (const QString& group : order) {
        bool headed = false;
        for (size_t i = 0; i < m_timeline->rows.size(); ++i) {
            const TimelineRow& row = m_timeline->rows[i];
            if (row.layer != 0 || m_groups[i] != group)
                continue;
            if (!m_filter.isEmpty() &&
                !QString::fromStdString(row.unitName).contains(m_filter, Qt::CaseInsensitive))
                continue;
            if (!headed) {
                m_entries.push_back({group, nullptr, top});
                top += kGroupHeight;
                headed = true;
            }
            m_entries.push_back({{}, &row, top});
            top += kRowHeight;
        }
    }
    SetScrollY(m_scrollY);
}

int CTimelineChart::ContentHeight() const
{
    return m_entries.empty() ? 0 : m_entries.back().top + kRowHeight;
}

void CTimelineChart::SetScrollY(int y)
{
    const int room = std::max(0, ContentHeight() - (height() - kAxisHeight));
    const int clamped = std::clamp(y, 0, room);
    if (clamped == m_scrollY)
        return;
    m_scrollY = clamped;
    update();
    emit viewChanged();
}

double CTimelineChart::PlanEndMs() const
{
    return m_timeline ? std::max<double>(m_timeline->endMs, kTickMs) : 60000.0;
}

void CTimelineChart::FitAll()
{
    const int width = std::max(50, this->width() - kNameWidth - 10);
    SetView(0, PlanEndMs() / width);
    m_userView = false;
}

void CTimelineChart::SetView(double startMs, double msPerPixel)
{
    m_userView = true;
    m_msPerPixel = std::clamp(msPerPixel, 1.0, 1e7);
    const double visible = m_msPerPixel * std::max(1, width() - kNameWidth);
    m_viewStartMs = std::clamp(startMs, -visible / 2, std::max(0.0, PlanEndMs() - visible / 2));
    update();
    emit viewChanged();
}

int CTimelineChart::XOfMs(double ms) const
{
    return kNameWidth + int(std::lround((ms - m_viewStartMs) / m_msPerPixel));
}

double CTimelineChart::MsOfX(int x) const
{
    return m_viewStartMs + double(x - kNameWidth) * m_msPerPixel;
}

int64_t CTimelineChart::TickAtX(int x) const
{
    // Whole seconds, as the time panel seeks; the tick there is the one the seek leaves.
    const double ms = std::clamp(MsOfX(x), 0.0, double(m_timeline ? m_timeline->endMs : 0));
    return std::min<int64_t>(int64_t(std::llround(ms / 1000)) * 1000, m_timeline ? m_timeline->endMs : 0);
}

void CTimelineChart::SetCurrentMs(int64_t ms)
{
    if (ms == m_currentMs)
        return;
    m_currentMs = ms;
    update();
}

int CTimelineChart::RowTop(size_t unit) const
{
    for (const Entry& e : m_entries)
        if (e.row && e.row->unit == unit)
            return kAxisHeight + e.top - m_scrollY;
    return -1;
}

const CTimelineChart::Entry* CTimelineChart::EntryAt(int y) const
{
    const int contentY = y - kAxisHeight + m_scrollY;
    if (y < kAxisHeight)
        return nullptr;
    for (const Entry& e : m_entries) {
        const int h = e.row ? kRowHeight : kGroupHeight;
        if (contentY >= e.top && contentY < e.top + h)
            return &e;
    }
    return nullptr;
}

CTimelineChart::Hit CTimelineChart::ActionAt(const QPoint& p) const
{
    Hit hit;
    const Entry* e = EntryAt(p.y());
    if (!e || !e->row || p.x() < kNameWidth)
        return hit;
    hit.row = e->row;
    for (const TimelineMark& m : e->row->marks)
        if (std::abs(XOfMs(m.ms) - p.x()) <= 4) {
            hit.action = int64_t(m.action);
            hit.startMs = m.ms;
            return hit;
        }
    for (const TimelineBar& b : e->row->bars)
        if (p.x() >= XOfMs(b.startMs) - 3 && p.x() <= std::max(XOfMs(b.endMs), XOfMs(b.startMs) + 3)) {
            hit.action = int64_t(b.action);
            hit.startMs = b.startMs;
            return hit;
        }
    return hit;
}

QString CTimelineChart::DetailsAt(const QPoint& p) const
{
    const Entry* e = EntryAt(p.y());
    if (!e || !e->row)
        return {};
    const TimelineRow& row = *e->row;
    const QString unit = QString::fromStdString(row.unitName) + QString("[编号:%1]").arg(row.unitNo);
    if (p.x() < kNameWidth)
        return unit + QString("\n出现时间 %1").arg(Clock(int64_t(row.appearTime) * 1000));
    for (const TimelineHit& h : row.hits)
        if (std::abs(XOfMs(h.ms) - p.x()) <= 3)
            return unit + QString("\n%1 被 %2 击中 [距离火力线%3米]")
                              .arg(Clock(h.ms), QString::fromStdString(h.attacker))
                              .arg(h.distance, 0, 'f', 2);
    const Hit hit = ActionAt(p);
    if (hit.action < 0 || size_t(hit.action) >= row.actions.size())
        return {};
    const TimelineAction& a = row.actions[size_t(hit.action)];
    QString text = unit + QString("\n动作 %1 %2 (%3)\n动作时间 %4")
                              .arg(a.actionNo)
                              .arg(QString::fromStdString(a.name), TypeName(a.type), Clock(int64_t(a.time) * 1000));
    switch (a.type) {
    case kActionMove:
        text += QString("\n速度 %1 Km/H, %2 个路线点").arg(a.speed).arg(a.points);
        break;
    case kActionStrike:
        text += QString("\n武器 %1, 打击次数 %2").arg(QString::fromStdString(a.bulletType)).arg(a.hitTime);
        break;
    case kActionTurn:
        text += QString("\n转向角度 %1 度").arg(a.angle);
        break;
    default:
        text += QString("\n单位 %1").arg(a.unitNo);
        break;
    }
    for (const TimelineBar& b : row.bars)
        if (int64_t(b.action) == hit.action) {
            text += QString("\n%1 - %2%3").arg(Clock(b.startMs), Clock(b.endMs), b.runsPastEnd ? " (预案结束时仍在进行)" : "");
            if (!b.flashes.empty())
                text += QString(", 闪烁 %1 次").arg(b.flashes.size());
        }
    for (const TimelineMark& m : row.marks)
        if (int64_t(m.action) == hit.action) {
            text += "\n" + Clock(m.ms);
            if (m.carry == CarryOutcome::CarriedByOther)
                text += " 已被其他单位装载, 无效";
            else if (m.carry == CarryOutcome::NotCarried)
                text += " 未被该单位装载, 无效";
        }
    return text;
}

// ---- painting -------------------------------------------------------------------

void CTimelineChart::PaintAxis(QPainter& painter)
{
    painter.fillRect(QRect(0, 0, width(), kAxisHeight), palette().window());
    painter.setPen(palette().color(QPalette::WindowText));
    // A step of whole seconds, minutes or hours that leaves room for the text.
    static const int64_t steps[] = {1000, 2000, 5000, 10000, 30000, 60000, 120000, 300000, 600000, 1800000, 3600000,
                                    7200000, 21600000, 43200000, 86400000};
    int64_t step = steps[std::size(steps) - 1];
    for (int64_t s : steps)
        if (s / m_msPerPixel >= 70) {
            step = s;
            break;
        }
    const int64_t first = int64_t(std::floor(std::max(0.0, MsOfX(kNameWidth)) / double(step))) * step;
    for (int64_t ms = first; ms <= int64_t(MsOfX(width())) && ms <= int64_t(PlanEndMs()); ms += step) {
        const int x = XOfMs(double(ms));
        if (x < kNameWidth)
            continue;
        painter.drawLine(x, kAxisHeight - 5, x, kAxisHeight);
        painter.drawText(x + 2, kAxisHeight - 6, Clock(ms));
    }
    painter.drawLine(0, kAxisHeight - 1, width(), kAxisHeight - 1);
}

void CTimelineChart::PaintRow(QPainter& painter, const TimelineRow& row, int top)
{
    const int mid = top + kRowHeight / 2;
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRect(4, top, kNameWidth - 8, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     QString::fromStdString(row.unitName));
    painter.setClipRect(QRect(kNameWidth, kAxisHeight, width() - kNameWidth, height() - kAxisHeight));
    // The appear time.
    const int ax = XOfMs(double(row.appearTime) * 1000);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 150, 60));
    painter.drawPolygon(QPolygon({QPoint(ax, mid - 5), QPoint(ax + 6, mid), QPoint(ax, mid + 5)}));
    for (const TimelineBar& b : row.bars) {
        const bool dragged = m_dragging && m_press.row == &row && m_press.action == int64_t(b.action);
        const int shift = dragged ? m_dragDx : 0;
        const int x0 = XOfMs(b.startMs) + shift;
        const int x1 = std::max(XOfMs(b.endMs) + shift, x0 + 2);
        QColor c = BarColor(b.actionType);
        if (dragged)
            c.setAlpha(150);
        painter.setPen(c.darker(130));
        painter.setBrush(c);
        painter.drawRect(x0, top + 4, x1 - x0, kRowHeight - 9);
        if (b.runsPastEnd) {
            painter.drawLine(x1, top + 4, x1 + 6, mid);
            painter.drawLine(x1, top + kRowHeight - 5, x1 + 6, mid);
        }
        painter.setPen(QColor(255, 240, 80));
        for (uint32_t f : b.flashes) {
            const int fx = XOfMs(f) + shift;
            painter.drawLine(fx, top + 5, fx, top + kRowHeight - 6);
        }
    }
    for (const TimelineMark& m : row.marks) {
        const bool dragged = m_dragging && m_press.row == &row && m_press.action == int64_t(m.action);
        const int x = XOfMs(m.ms) + (dragged ? m_dragDx : 0);
        const bool missed = m.carry == CarryOutcome::CarriedByOther || m.carry == CarryOutcome::NotCarried;
        painter.setPen(Qt::NoPen);
        painter.setBrush(missed ? QColor(200, 40, 40) : m.step == PlayStep::Turn ? QColor(120, 80, 170)
                                                                                   : QColor(30, 140, 140));
        painter.drawPolygon(QPolygon({QPoint(x, mid - 6), QPoint(x + 5, mid), QPoint(x, mid + 6), QPoint(x - 5, mid)}));
    }
    painter.setPen(QPen(QColor(210, 0, 0), 2));
    for (const TimelineHit& h : row.hits) {
        const int x = XOfMs(h.ms);
        painter.drawLine(x - 3, top + kRowHeight - 8, x + 3, top + kRowHeight - 2);
        painter.drawLine(x - 3, top + kRowHeight - 2, x + 3, top + kRowHeight - 8);
    }
    painter.setClipping(false);
}

void CTimelineChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (!m_timeline) {
        painter.drawText(rect(), Qt::AlignCenter, "没有预案");
        return;
    }
    // The plan's span, and the time beyond it, shaded.
    const int endX = XOfMs(PlanEndMs());
    if (endX < width())
        painter.fillRect(QRect(endX, kAxisHeight, width() - endX, height()), QColor(235, 235, 235));
    painter.setClipRect(QRect(0, kAxisHeight, width(), height() - kAxisHeight));
    for (const Entry& e : m_entries) {
        const int top = kAxisHeight + e.top - m_scrollY;
        if (top + kRowHeight < kAxisHeight || top > height())
            continue;
        painter.setClipRect(QRect(0, kAxisHeight, width(), height() - kAxisHeight));
        if (!e.row) {
            painter.fillRect(QRect(0, top, width(), kGroupHeight), palette().alternateBase());
            painter.setPen(palette().color(QPalette::Text));
            QFont bold = font();
            bold.setBold(true);
            painter.setFont(bold);
            painter.drawText(QRect(4, top, width() - 8, kGroupHeight), Qt::AlignVCenter, e.heading);
            painter.setFont(font());
            continue;
        }
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(0, top + kRowHeight - 1, width(), top + kRowHeight - 1);
        PaintRow(painter, *e.row, top);
    }
    painter.setClipping(false);
    painter.setPen(QColor(180, 180, 180));
    painter.drawLine(kNameWidth - 1, 0, kNameWidth - 1, height());
    PaintAxis(painter);
    if (m_currentMs >= 0) {
        const int x = XOfMs(double(m_currentMs));
        if (x >= kNameWidth) {
            painter.setPen(QPen(QColor(220, 0, 0), 1));
            painter.drawLine(x, 0, x, height());
        }
    }
}

// ---- mouse and keys -------------------------------------------------------------

void CTimelineChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_timeline || event->position().x() < kNameWidth)
        return QWidget::mousePressEvent(event);
    m_pressed = true;
    m_dragging = false;
    m_dragDx = 0;
    m_pressPos = event->position().toPoint();
    m_press = ActionAt(m_pressPos);
}

void CTimelineChart::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (!m_pressed || m_press.action < 0)
        return;
    const int dx = p.x() - m_pressPos.x();
    if (!m_dragging && std::abs(dx) < 4)
        return;
    if (!m_dragging && !m_dragAllowed) {
        m_pressed = false;
        emit dragRefused();
        return;
    }
    m_dragging = true;
    m_dragDx = dx;
    update();
}

void CTimelineChart::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return QWidget::mouseReleaseEvent(event);
    m_pressed = false;
    if (m_dragging) {
        m_dragging = false;
        const int delta = int(std::lround(m_dragDx * m_msPerPixel / 1000.0));
        update();
        if (delta != 0 && m_press.row)
            emit actionDragged(qulonglong(m_press.row->unit), qulonglong(m_press.action), delta);
        return;
    }
    emit seekRequested(TickAtX(event->position().toPoint().x()));
}

void CTimelineChart::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120 + event->angleDelta().x() / 120;
    if (steps == 0)
        return;
    const int x = int(event->position().x());
    if (x < kNameWidth) {
        SetScrollY(m_scrollY - steps * kRowHeight * 3);
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier) {
        SetView(m_viewStartMs - steps * 100 * m_msPerPixel, m_msPerPixel);
    } else {
        // The time under the mouse stays under it.
        const double at = MsOfX(x);
        const double scale = std::pow(0.8, steps);
        const double mpp = std::clamp(m_msPerPixel * scale, 1.0, 1e7);
        SetView(at - (x - kNameWidth) * mpp, mpp);
    }
    event->accept();
}

void CTimelineChart::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F || event->key() == Qt::Key_Home) {
        FitAll();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool CTimelineChart::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = DetailsAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void CTimelineChart::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_userView)
        FitAll();
    SetScrollY(m_scrollY);
}
