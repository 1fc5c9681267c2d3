#include "GisOverviewWnd.h"

#include <QToolButton>

namespace cartolink {

namespace {
constexpr int kOverviewWidth = 260;
constexpr int kOverviewHeight = 200;
constexpr int kShiftBit = 1;
} // namespace

CGisOverviewWnd::CGisOverviewWnd(MapControl* main, std::function<void()> viewMoved)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint)
    , m_main(main)
    , m_viewMoved(std::move(viewMoved))
{
    setObjectName(QStringLiteral("CGisOverviewWnd"));
    resize(kOverviewWidth, kOverviewHeight);
    updateTitle();
}

bool CGisOverviewWnd::create(const QString& path)
{
    auto* ctl = new MapControl(this);
    ctl->setObjectName(QStringLiteral("OrlanGISCtrl"));
    MapEngine& engine = ctl->engine();
    engine.removeAllLayers();
    QString error;
    if (!engine.open(path, &error)) {
        delete ctl;
        return false;
    }
    m_control = ctl;
    m_path = path;
    ctl->setMapGeometry(rect());
    // The zoom that shows the whole map set is the largest the window uses.
    engine.showFullExtent();
    m_maxZoom = engine.zoom();
    ctl->setCurrentTool(ToolArrow);
    ObjectLayer* layer = engine.createObjectLayer(QStringLiteral("orlan_gis_layer"));
    for (const auto& l : engine.layers())
        l->selectable = false;
    layer->selectable = false;
    MapObject rectObj;
    rectObj.kind = ObjectKind::Rect;
    rectObj.line = {QPointF(0, 0), QPointF(0, 1), QPointF(1, 1), QPointF(1, 0), QPointF(0, 0)};
    rectObj.lineColor = 0x0000FF;
    rectObj.lineSetting = 2;
    m_viewRect = layer->add(std::move(rectObj));
    connect(ctl, &MapControl::mouseReleased, this, &CGisOverviewWnd::onReleased);
    ctl->setVisible(true);
    m_fullExtent = new QToolButton(this);
    m_fullExtent->setObjectName(QStringLiteral("fullExtent"));
    m_fullExtent->setText(QStringLiteral("全图显示"));
    m_fullExtent->setToolTip(QStringLiteral("在主地图中显示整幅地图"));
    m_fullExtent->setAutoRaise(false);
    connect(m_fullExtent, &QToolButton::clicked, this, &CGisOverviewWnd::showMainFullExtent);
    placeButton();
    m_fullExtent->raise();
    m_fullExtent->show();
    return true;
}

void CGisOverviewWnd::resizeEvent(QResizeEvent*)
{
    if (m_control) {
        m_control->setMapGeometry(rect());
        placeButton();
    }
}

void CGisOverviewWnd::placeButton()
{
    if (!m_fullExtent)
        return;
    m_fullExtent->adjustSize();
    m_fullExtent->move(width() - m_fullExtent->width() - 4, 4);
}

void CGisOverviewWnd::showMainFullExtent()
{
    if (!m_main)
        return;
    m_main->engine().showFullExtent();
    m_main->update();
    refreshFromMain();
    if (m_viewMoved)
        m_viewMoved();
}

void CGisOverviewWnd::updateTitle()
{
    setWindowTitle(QString::asprintf("鹰眼窗口(缩小 %d 倍)", m_factor));
}

void CGisOverviewWnd::refreshFromMain()
{
    if (!m_control || !m_main)
        return;
    MapEngine& main = m_main->engine();
    MapEngine& engine = m_control->engine();
    const QPointF tl = main.pixelToMap(QPointF(0, 0));
    const QPointF br = main.pixelToMap(QPointF(main.view().width(), main.view().height()));
    const double zoom = main.zoom() * m_factor;
    const QPointF centre = (tl + br) / 2.0;
    if (zoom != 0.0)
        engine.zoomTo(zoom >= m_maxZoom ? m_maxZoom : zoom);
    const QPointF cpx = engine.mapToPixel(centre);
    if (!QRectF(0, 0, engine.view().width(), engine.view().height()).contains(cpx))
        engine.setCentre(centre.x(), centre.y());
    if (ObjectLayer* layer = engine.objectLayer()) {
        if (MapObject* o = layer->find(m_viewRect)) {
            o->line = {QPointF(tl.x(), tl.y()), QPointF(br.x(), tl.y()), QPointF(br.x(), br.y()),
                       QPointF(tl.x(), br.y()), QPointF(tl.x(), tl.y())};
            layer->touch();
        }
    }
    m_control->update();
}

void CGisOverviewWnd::onReleased(int button, int shift, int x, int y)
{
    if (shift & kShiftBit) {
        if (button == 1)
            ++m_factor;
        else if (button == 2 && m_factor > kMinFactor)
            --m_factor;
        else
            return;
        updateTitle();
        refreshFromMain();
        return;
    }
    if (button != 1 || !m_main)
        return;
    const QPointF m = m_control->engine().pixelToMap(QPointF(x, y));
    m_main->engine().setCentre(m.x(), m.y());
    m_main->update();
    refreshFromMain();
    // Last: the callback may call back into the library and replace this window.
    if (m_viewMoved)
        m_viewMoved();
}

} // namespace cartolink
