#include "ui/TarnwickView.h"

#include "app/ModulePaths.h"
#include "app/TarnwickApp.h"
#include "map/DrawRotatedMasked.h"
#include "map/MapSource.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace {

QColor FromColorRef(uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

bool ZoomAdmits(const UnitClassInfo* info, double zoom)
{
    // Units without a class record have no range; they are always drawn.
    return !info || (info->visible_min <= zoom && zoom <= info->visible_max);
}

}  // namespace

CTarnwickView::CTarnwickView(CTarnwickApp& app, QWidget* parent) : QWidget(parent), m_app(app)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(100, 100);
    m_logo = QImage(QString::fromStdString(modulepaths::InModuleFolder(app.m_ModuleFolder, "Logo.bmp")));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize(1920, 1080);
    m_backBuffer = QImage(size, QImage::Format_RGB32);
}

void CTarnwickView::RequestRepaint()
{
    if (m_repaintPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_repaintPending.store(false);
            update();
        },
        Qt::QueuedConnection);
}

void CTarnwickView::ApplyViewSize()
{
    if (CPlan* plan = m_app.GetPlan())
        for (auto& layer : plan->m_Layers)
            layer->m_Map.SetViewSize(width(), height());
}

void CTarnwickView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (width() > m_backBuffer.width() || height() > m_backBuffer.height())
        m_backBuffer = QImage(std::max(width(), m_backBuffer.width()), std::max(height(), m_backBuffer.height()),
                              QImage::Format_RGB32);
    ApplyViewSize();
}

void CTarnwickView::paintEvent(QPaintEvent*)
{
    ++m_paintCount;
    QPainter painter(this);
    Render(painter, size());
}

void CTarnwickView::Render(QPainter& painter, const QSize& size)
{
    if (!m_app.GetPlan()) {
        painter.fillRect(QRect(QPoint(0, 0), size), QColor::fromRgb(kNoPlanBackground));
        if (!m_logo.isNull())
            painter.drawImage((size.width() - m_logo.width()) / 2, (size.height() - m_logo.height()) / 2, m_logo);
        return;
    }
    if (size.width() > m_backBuffer.width() || size.height() > m_backBuffer.height())
        m_backBuffer = QImage(size, QImage::Format_RGB32);
    RenderPlan(m_backBuffer, size);
    painter.drawImage(QPoint(0, 0), m_backBuffer, QRect(QPoint(0, 0), size));
}

void CTarnwickView::RenderPlan(QImage& target, const QSize& size)
{
    QPainter painter(&target);
    painter.fillRect(target.rect(), Qt::black);
    for (auto& layer : m_app.GetPlan()->m_Layers) {
        layer->m_Map.DrawMap(painter, 0, 0, size.width(), size.height());
        DrawUnits(target, painter);
        break;  // the first layer carries the scene; further layers share its map
    }
}

void CTarnwickView::DrawUnits(QImage& target, QPainter& painter)
{
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = plan->GetFirstLayer();
    CMapLoader& map = layer->m_Map;
    const double zoom = map.GetZoom();
    const bool editMode = m_app.m_EditMode != 0;

    // The clock thread moves units under the gate; a paint that cannot get in
    // within a moment shows the map alone this time.
    if (!layer->LockShared(1))
        return;
    painter.setBackgroundMode(Qt::TransparentMode);
    for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
        CUnitCanLoad* unit = layer->GetUnitAt(i);
        int px = 0, py = 0;
        if (auto* fire = dynamic_cast<UnitFire*>(unit)) {
            if (!fire->m_FlashOn)
                continue;
            RoutePoint start = fire->m_StartPoint;
            if (CUnitCanLoad* striker = fire->m_Striker) {
                if (!ZoomAdmits(striker->m_ClassInfo, zoom) || striker->m_Loaded)
                    continue;
                start.X = striker->m_CurX;
                start.Y = striker->m_CurY;
            }
            int sx = 0, sy = 0, tx = 0, ty = 0;
            map.MapToView(start.X, start.Y, sx, sy);
            map.MapToView(fire->m_EndPoint.X, fire->m_EndPoint.Y, tx, ty);
            const QColor colour = FromColorRef(fire->m_ClassInfo ? fire->m_ClassInfo->fireColor : 200);
            painter.setPen(QPen(colour, 2, Qt::DashDotLine, Qt::SquareCap));
            painter.drawLine(sx, sy, tx, ty);
            const double angle = std::atan2(double(sy - ty), double(tx - sx)) * 180 / 3.14159265358979;
            const int mx = (sx + tx) / 2, my = (sy + ty) / 2;
            if (!fire->m_Image.isNull())
                DrawRotatedMasked(target, mx - fire->m_ImageWidth / 2, my - fire->m_ImageHeight / 2,
                                  fire->m_ImageWidth, fire->m_ImageHeight, fire->m_Image, fire->m_Mask, 0, 0, angle);
            const double r = DegreesPerKm(start.Y) * fire->m_KillRadius / 1000;
            int rx = 0, ry = 0;
            map.MapToView(fire->m_EndPoint.X + r, fire->m_EndPoint.Y, rx, ry);
            const int radius = std::abs(rx - tx);
            painter.setPen(QPen(colour, 1, Qt::DashDotLine, Qt::SquareCap));
            painter.drawEllipse(QPoint(tx, ty), radius, radius);
            continue;
        }
        const std::vector<CUnitCanLoad*>* carried = unit->GetCarriedUnits();
        const bool visible =
            editMode || (unit->m_Appeared && !unit->m_Loaded && ZoomAdmits(unit->m_ClassInfo, zoom));
        map.MapToView(unit->m_CurX, unit->m_CurY, px, py);
        if (visible) {
            const int w = unit->m_ImageWidth, h = unit->m_ImageHeight;
            if (!unit->m_Selected)
                unit->m_Rect = QRect(QPoint(px - w / 2, py - h / 2), QPoint(px + w / 2, py + h / 2));
            if (!unit->m_Image.isNull())
                DrawRotatedMasked(target, px - w / 2, py - h / 2, w, h, unit->m_Image, unit->m_Mask, 0, 0,
                                  unit->m_Angle);
            if (!editMode && m_app.m_ShowRoutes && unit->m_CurrentRoute) {
                QPolygon line;
                for (const RoutePoint& p : unit->m_CurrentRoute->m_Points) {
                    int vx = 0, vy = 0;
                    map.MapToView(p.X, p.Y, vx, vy);
                    line << QPoint(vx, vy);
                }
                painter.setPen(QPen(QColor(200, 0, 0), 1, Qt::DashDotLine, Qt::SquareCap));
                painter.drawPolyline(line);
            }
            painter.setPen(QColor::fromRgb(kUnitNameColour));
            painter.drawText(QRect(px, py, 400, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                             QString::fromStdString(unit->m_UnitName));
        }
        // A carrier shows what it carries even when it is out of its zoom range.
        if (!editMode && carried && !carried->empty() && unit->m_Appeared && !unit->m_Loaded) {
            const QString count = QString::number(carried->size());
            const QRect box = painter.fontMetrics().boundingRect(count).translated(px, py - painter.fontMetrics().ascent());
            painter.fillRect(QRect(px, py, box.width() + 2, painter.fontMetrics().height()), Qt::white);
            painter.setPen(QColor(0, 0, 255));
            painter.drawText(QRect(px, py, 400, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, count);
        }
    }
    layer->UnlockShared();
}

void CTarnwickView::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMovedTo(event->position().toPoint());
}

void CTarnwickView::mousePressEvent(QMouseEvent* event)
{
    CMapLoader* map = m_app.GetMap();
    if (!map || event->button() != Qt::LeftButton)
        return;
    if (m_mapTool == 1 || m_mapTool == 2) {
        // Centre on the clicked point, then zoom.
        map->Pan(event->position().toPoint().x() - width() / 2, height() / 2 - event->position().toPoint().y());
        if (m_mapTool == 1)
            map->ZoomIn();
        else
            map->ZoomOut();
        map->RefreshGisPicture();
        update();
    }
}
