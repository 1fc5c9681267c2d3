#include "ui/TarnwickView.h"

#include "app/ModulePaths.h"
#include "app/TarnwickApp.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace {

QSize ScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1920, 1080);
}

}  // namespace

CTarnwickView::CTarnwickView(CTarnwickApp& app, QWidget* parent)
    : QWidget(parent), m_app(app), m_renderer(ScreenSize())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(100, 100);
    m_renderer.SetLogo(QImage(QString::fromStdString(modulepaths::InModuleFolder(app.m_ModuleFolder, "Logo.bmp"))));
}

PlanRenderOptions CTarnwickView::RenderOptions() const
{
    PlanRenderOptions options = m_viewState;
    options.editMode = m_app.m_EditMode != 0;
    options.showRoutes = m_app.m_ShowRoutes != 0;
    options.cursor = mapFromGlobal(QCursor::pos());
    return options;
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
        for (auto& layer : plan->m_Layers) {
            // Maps are drawn and converted for the window, not the whole screen.
            layer->m_Map.SetViewWidthHeight(width(), height());
            layer->m_Map.SetViewSize(width(), height());
        }
}

void CTarnwickView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
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
    m_renderer.Paint(painter, m_app.GetPlan(), size, RenderOptions());
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
