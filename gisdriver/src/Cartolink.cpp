// The exported functions and the driver context behind them.

#include "cartolink.h"

#include "GisControlPanel.h"
#include "GisHostWnd.h"
#include "GisOverviewWnd.h"
#include "MapControl.h"

#include <cpl_error.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <climits>
#include <cmath>
#include <memory>

using namespace cartolink;

namespace {

constexpr const char* kControlWindowName = "OrlanGISCtrl";
constexpr const char* kObjectLayerName = "orlan_gis_layer";
constexpr int kControlSetting25 = 25;
constexpr int kDefaultTool = ToolSelect;
constexpr double kZoomAfterLoad = 5.0;
// A window side beyond this would make the picture's memory explode.
constexpr int kMaxWindowSide = 8192;

struct DriverContext {
    IGisDriverCallback* callback = nullptr;
    QPointer<QWidget> parent;
    // The host window is a child of the caller's widget; should the caller
    // destroy that widget first, the pointer turns null instead of dangling.
    QPointer<CGisHostWnd> host;
    int mapStatus = 1;
    int objectLayerIndex = -1;
    QString mapPath;
    // A top-level window of its own, so it is not found among the caller's children.
    std::unique_ptr<CGisOverviewWnd> overview;
    // Deletes itself when closed; the pointer then turns null.
    QPointer<CGisControlPanel> panel;
};

std::unique_ptr<DriverContext> g_ctx;

constexpr const char* kPickHint = "请在地图上选择一个点(用鼠左键点击), 点右键取消";
// The comment of the marker a point pick leaves on the map.
constexpr const char* kPickMarkerText = "PNT";
constexpr uint32_t kPickMarkerColour = 0x00FF00;

MapControl* control()
{
    if (!g_ctx || !g_ctx->host)
        return nullptr;
    return g_ctx->host->control();
}

bool isFiniteValue(double v) { return std::isfinite(v); }

// The overview follows every change of the main view.
void refreshOverview()
{
    if (g_ctx && g_ctx->overview)
        g_ctx->overview->refreshFromMain();
}

// Tells the caller that a window of ours moved the main map, so it takes a
// new picture. Last in any handler: the caller may call back into the library.
void reportViewChanged()
{
    if (g_ctx && g_ctx->callback)
        g_ctx->callback->OnMapViewChanged();
}

// During a pick, input meant for anything but the map control is swallowed;
// a button press elsewhere reminds the user what is expected.
class PickInputFilter : public QObject {
public:
    explicit PickInputFilter(QWidget* control) : m_control(control) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
            break;
        default:
            return false;
        }
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || m_hinting || !m_control || w == m_control || m_control->isAncestorOf(w))
            return false;
        if (e->type() == QEvent::MouseButtonPress) {
            const auto b = static_cast<QMouseEvent*>(e)->button();
            if (b == Qt::LeftButton || b == Qt::RightButton) {
                // Shown after this event's dispatch, not inside it.
                m_hinting = true;
                QTimer::singleShot(0, this, [this] {
                    QMessageBox::information(m_control ? m_control->window() : nullptr, QStringLiteral("提示"),
                                             QString::fromUtf8(kPickHint));
                    m_hinting = false;
                });
            }
        }
        return true;
    }

private:
    QPointer<QWidget> m_control;
    bool m_hinting = false;
};

// Runs the local loop until the pick started on `ctl` ends.
void waitForPick(MapControl* ctl)
{
    PickState& pick = pickState();
    PickInputFilter filter(ctl);
    qApp->installEventFilter(&filter);
    QEventLoop loop;
    pick.loop = &loop;
    if (!pick.finished)
        loop.exec();
    pick.loop = nullptr;
    qApp->removeEventFilter(&filter);
}

// Starts a pick of `mode`: tool 1000 and a fresh result; returns the tool to restore.
int beginPick(MapControl* ctl, int mode)
{
    PickState& pick = pickState();
    const int tool = ctl->currentTool();
    ctl->setCurrentTool(ToolArrow);
    pick.picked = QPointF();
    pick.finished = false;
    pick.mode = mode;
    return tool;
}

int truncToInt(double v)
{
    // Truncation toward zero, saturated so that a far-away point cannot
    // overflow the integer conversion.
    if (!std::isfinite(v))
        return 0;
    if (v >= double(INT_MAX))
        return INT_MAX;
    if (v <= double(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

QString fromC(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

QString symbolFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/CUSTSYMB");
}

QCursor loadPickCursor()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/CanEnter.cur");
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        QPixmap pix;
        if (pix.loadFromData(f.readAll()))
            return QCursor(pix);
    }
    return QCursor(Qt::CrossCursor);
}

int toolNumberFor(int code)
{
    switch (code) {
    case CARTOLINK_TOOL_DEFAULT: return ToolSelect;
    case CARTOLINK_TOOL_RECT_SELECT: return ToolRectSelect;
    case CARTOLINK_TOOL_RADIUS_SELECT: return ToolRadiusSelect;
    case CARTOLINK_TOOL_ARROW: return ToolArrow;
    case CARTOLINK_TOOL_PICK_OBJECT: return 888;
    case CARTOLINK_TOOL_PAN: return ToolPan;
    case CARTOLINK_TOOL_ZOOM_IN: return ToolZoomIn;
    case CARTOLINK_TOOL_ZOOM_OUT: return ToolZoomOut;
    default: return 0;
    }
}

// Copies a kind-2 bitmap into the custom symbol folder under its symbol name,
// replacing an older file of that name. Returns true when the file changed.
// A failure is silent: the symbol name is set all the same.
bool copySymbol(const QString& bitmapPath, const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return false;
    QString source = bitmapPath;
    source.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        qDebug("symbol bitmap not readable: %s\n", qPrintable(source));
        return false;
    }
    const QByteArray bytes = in.readAll();
    const QString target = folder + QLatin1Char('/') + name;
    // Placing the same unit many times must not rewrite the same file each time.
    QFile existing(target);
    if (existing.size() == bytes.size() && existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return false;
    existing.close();
    QDir().mkpath(folder);
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size()) {
        qDebug("symbol bitmap not copied: %s\n", qPrintable(target));
        return false;
    }
    return true;
}

} // namespace

extern "C" {

CARTOLINK_API int GisDriverInit(IGisDriverCallback* callback, void* parent)
{
    if (!parent)
        return CARTOLINK_E_BADARG;
    if (g_ctx)
        return CARTOLINK_E_NOTINIT;
    // Widgets need a QApplication and its thread; without them Qt would abort the process.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())
        || QThread::currentThread() != QCoreApplication::instance()->thread())
        return CARTOLINK_E_CREATE;

    auto* parentWidget = static_cast<QWidget*>(parent);
    const QRect rect = parentWidget->rect();

    auto ctx = std::make_unique<DriverContext>();
    ctx->callback = callback;
    ctx->parent = parentWidget;
    auto* host = new CGisHostWnd(parentWidget);
    host->setGeometry(rect);
    host->setVisible(true);
    ctx->host = host;
    MapControl* ctl = host->createControl(QString::fromLatin1(kControlWindowName), QRect(QPoint(0, 0), rect.size()));
    if (!ctl) {
        delete host;
        return CARTOLINK_E_CREATE;
    }
    ctl->engine().removeAllLayers();
    ctl->engine().setSymbolFolder(symbolFolder());
    ctl->setSetting(kControlSetting25, 1);
    ctl->createCustomTool(900, CustomLine, 25);
    ctl->createCustomTool(899, CustomCircle, 24);
    ctl->createCustomTool(888, CustomPoint, 40);
    ctl->setCursor(loadPickCursor());
    ctl->setCurrentTool(kDefaultTool);
    host->setCallback(callback);
    host->setMapStatusSource(&ctx->mapStatus);
    QObject::connect(host, &CGisHostWnd::controlPanelRequested, host, [] { GISDriverShowCtrlTool(1); });
    QObject::connect(ctl, &MapControl::viewChanged, host, [] { refreshOverview(); });
    QObject::connect(host, &CGisHostWnd::mouseMapPosition, host, [](double x, double y) {
        if (g_ctx && g_ctx->panel)
            g_ctx->panel->setMousePosition(x, y);
    });
    g_ctx = std::move(ctx);
    pickState() = PickState();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverUnInit(void)
{
    if (!g_ctx)
        return CARTOLINK_E_NOTINIT;
    g_ctx->overview.reset();
    GISDriverShowCtrlTool(0);
    if (MapControl* ctl = control()) {
        if (g_ctx->objectLayerIndex != -1)
            ctl->engine().removeObjectLayer();
    }
    delete g_ctx->host.data();
    g_ctx.reset();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverLoadMap(const char* mapPath)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (!mapPath)
        return CARTOLINK_E_BADARG;
    MapEngine& engine = ctl->engine();
    const QString path = fromC(mapPath);
    QString error;
    // The new map set is read before the old one is dropped, so a map that
    // does not open leaves the current map and its objects in place.
    if (!engine.open(path, &error)) {
        qDebug("load map failed: %s: %s\n", qPrintable(path), qPrintable(error));
        // The caller reads why through GDAL's error state, as for any GDAL failure.
        CPLErrorSetState(CE_Failure, CPLE_OpenFailed, error.toUtf8().constData());
        return CARTOLINK_E_FAILED;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(g_ctx->host->objectLayerLock());
        engine.removeObjectLayer();
        ObjectLayer* layer = engine.createObjectLayer(QString::fromLatin1(kObjectLayerName));
        layer->labelled = true;
        layer->labelZoomMax = 5.1;
        layer->labelZoomMin = 0.0;
    }
    ctl->setSetting(kControlSetting25, 1);
    // Only the object layer is selectable.
    for (const auto& l : engine.layers())
        l->selectable = false;
    engine.objectLayer()->selectable = true;
    g_ctx->objectLayerIndex = engine.objectLayerIndex();
    g_ctx->mapStatus = 1;
    engine.objectLayer()->editable = false;
    engine.zoomTo(kZoomAfterLoad);
    g_ctx->mapPath = path;
    ctl->update();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverSetShowWindowSize(const CartolinkRect* rect)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (!rect)
        return CARTOLINK_E_BADARG;
    const long long w = std::clamp<long long>((long long)rect->right - rect->left, 0, kMaxWindowSide);
    const long long h = std::clamp<long long>((long long)rect->bottom - rect->top, 0, kMaxWindowSide);
    g_ctx->host->setGeometry(rect->left, rect->top, int(w), int(h));
    g_ctx->host->setVisible(true);
    // The control fills the host window; placing it at the host's own offset
    // inside the host would cut off part of the map.
    ctl->setMapGeometry(QRect(0, 0, int(w), int(h)));
    refreshOverview();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverSetMapStatus(int status)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (status == g_ctx->mapStatus)
        return CARTOLINK_OK;
    g_ctx->mapStatus = status;
    if (ObjectLayer* layer = ctl->engine().objectLayer())
        layer->editable = status == CARTOLINK_STATUS_EDIT;
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverAddObjectToMap(uint32_t* id, int kind, double x, double y, double width,
                                          double height, const char* comment, const char* bitmap)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (!id || kind < CARTOLINK_KIND_BITMAP || kind > CARTOLINK_KIND_MARKER)
        return CARTOLINK_E_BADARG;
    if (!isFiniteValue(x) || !isFiniteValue(y))
        return CARTOLINK_E_BADARG;
    if ((kind == CARTOLINK_KIND_CIRCLE && !isFiniteValue(width))
        || (kind == CARTOLINK_KIND_RECT && (!isFiniteValue(width) || !isFiniteValue(height))))
        return CARTOLINK_E_BADARG;
    if (kind == CARTOLINK_KIND_BITMAP && !bitmap)
        return CARTOLINK_E_BADARG;
    MapEngine& engine = ctl->engine();
    ObjectLayer* layer = engine.objectLayer();
    if (!layer)
        return CARTOLINK_E_FAILED;

    MapObject obj;
    obj.kind = static_cast<ObjectKind>(kind);
    obj.comment = fromC(comment);
    switch (kind) {
    case CARTOLINK_KIND_BITMAP: {
        const QString path = fromC(bitmap);
        obj.bitmapName = symbolNameFor(path);
        if (copySymbol(path, engine.symbolFolder(), obj.bitmapName))
            engine.reloadSymbol(obj.bitmapName);
        obj.symbolSize = symbolSizeFor(width, height);
        obj.bitmapTransparent = true;
        obj.point = QPointF(x, y);
        break;
    }
    case CARTOLINK_KIND_CIRCLE:
        obj.lineColor = 0x0000FF;
        obj.lineSetting = 2;
        obj.line = circleOutline(x, y, width / 2.0);
        break;
    case CARTOLINK_KIND_RECT:
        obj.lineColor = 0x0000FF;
        obj.lineSetting = 2;
        obj.line = rectOutline(x, y, width, height);
        break;
    case CARTOLINK_KIND_MARKER:
        obj.point = QPointF(x, y);
        obj.fontChar = 36;
        obj.fontName = QStringLiteral("MapInfo Symbols");
        obj.symbolColor = 0xFF00FF;
        obj.fontSetting = 2;
        obj.fontFlag = true;
        break;
    }
    std::lock_guard<std::recursive_mutex> lock(g_ctx->host->objectLayerLock());
    *id = layer->add(std::move(obj));
    ctl->update();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverRemoveObjFromMap(uint32_t id)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (id == 0)
        return CARTOLINK_E_BADARG;
    std::lock_guard<std::recursive_mutex> lock(g_ctx->host->objectLayerLock());
    if (ObjectLayer* layer = ctl->engine().objectLayer())
        layer->remove(id);
    ctl->update();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverSetObjectColor(uint32_t id, uint32_t colour)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (id == 0)
        return CARTOLINK_E_BADARG;
    ObjectLayer* layer = ctl->engine().objectLayer();
    MapObject* obj = layer ? layer->find(id) : nullptr;
    if (!obj)
        return CARTOLINK_E_NOOBJECT;
    obj->symbolColor = colour;
    obj->lineColor = colour;
    layer->touch();
    ctl->update();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverMoveObj(uint32_t id, int kind, double x, double y, double width, double height,
                                   uint32_t flags)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (id == 0)
        return CARTOLINK_E_BADARG;
    ObjectLayer* layer = ctl->engine().objectLayer();
    MapObject* obj = layer ? layer->find(id) : nullptr;
    if (!obj)
        return CARTOLINK_E_NOOBJECT;
    const bool pos = flags & CARTOLINK_MOVE_POSITION;
    const bool size = flags & CARTOLINK_MOVE_SIZE;
    if ((pos && (!isFiniteValue(x) || !isFiniteValue(y))) || (size && (!isFiniteValue(width) || !isFiniteValue(height))))
        return CARTOLINK_E_BADARG;
    // A kind that does not name the object's own kind changes nothing.
    if (kind != static_cast<int>(obj->kind))
        return CARTOLINK_OK;
    if (!pos && !size)
        return CARTOLINK_OK;

    if (obj->isSymbol()) {
        if (!pos)
            return CARTOLINK_OK;
        obj->point = QPointF(x, y);
    } else if (kind == CARTOLINK_KIND_CIRCLE) {
        const Bounds b = obj->bounds();
        double cx = (b.minX + b.maxX) / 2.0, cy = (b.minY + b.maxY) / 2.0, r = b.width() / 2.0;
        if (pos) {
            cx = x;
            cy = y;
        }
        if (size)
            r = width / 2.0;
        obj->line = circleOutline(cx, cy, r);
    } else {
        // What is not given is kept: the bounds' minimum x and maximum y (the
        // north-west corner) and the size.
        const Bounds b = obj->bounds();
        const double rw = size ? width : b.width();
        const double rh = size ? height : b.height();
        const double rx = pos ? x : b.minX;
        const double ry = pos ? y : b.maxY - rh;
        obj->line = rectOutline(rx, ry, rw, rh);
    }
    layer->touch();
    ctl->update();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverGetObjectPosition(void)
{
    return CARTOLINK_E_UNSUPPORTED;
}

CARTOLINK_API int GisDriverZoomTo(double zoom)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (!(zoom > 0.0) || !isFiniteValue(zoom))
        return CARTOLINK_E_BADARG;
    ctl->engine().zoomTo(zoom);
    ctl->update();
    refreshOverview();
    return CARTOLINK_OK;
}

CARTOLINK_API double GisDriverGetZoom(void)
{
    MapControl* ctl = control();
    if (!ctl)
        return -4.0;
    return ctl->engine().zoom();
}

CARTOLINK_API int GisDriverPan(float dx, float dy)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return CARTOLINK_E_BADARG;
    ctl->engine().pan(dx, dy);
    ctl->update();
    refreshOverview();
    return CARTOLINK_OK;
}

CARTOLINK_API int GISDriverMoveMap(double x, double y)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (!isFiniteValue(x) || !isFiniteValue(y))
        return CARTOLINK_E_BADARG;
    ctl->engine().setCentre(x, y);
    ctl->update();
    refreshOverview();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverCenterObject(uint32_t id, double zoom)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (id == 0)
        return CARTOLINK_E_BADARG;
    ObjectLayer* layer = ctl->engine().objectLayer();
    const MapObject* obj = layer ? layer->find(id) : nullptr;
    if (!obj)
        return CARTOLINK_E_NOOBJECT;
    if (zoom != 0.0 && (!(zoom > 0.0) || !isFiniteValue(zoom)))
        return CARTOLINK_E_BADARG;
    const QPointF c = obj->centre();
    ctl->engine().zoomTo(zoom == 0.0 ? ctl->engine().zoom() : zoom, c.x(), c.y());
    ctl->update();
    refreshOverview();
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverSetCurrentTool(int toolCode)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (const int tool = toolNumberFor(toolCode))
        ctl->setCurrentTool(tool);
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverGetDirectFromPoint(double x, double y, double /*unused*/, double* dx, double* dy,
                                              double* reserved)
{
    MapControl* ctl = control();
    if (!ctl || pickState().mode != PickState::None)
        return CARTOLINK_E_NOTINIT;
    if (!dx || !dy || !reserved || !isFiniteValue(x) || !isFiniteValue(y))
        return CARTOLINK_E_BADARG;
    ctl->engine().setCentre(x, y);
    ctl->update();
    refreshOverview();
    const int tool = beginPick(ctl, PickState::None);
    PickState& pick = pickState();
    // The cursor moves in whole pixels; so does the origin, or a vertical line
    // would not count as vertical.
    const QPointF o = ctl->engine().mapToPixel(QPointF(x, y));
    pick.origin = QPointF(std::round(o.x()), std::round(o.y()));
    pick.mode = PickState::Direction;
    waitForPick(ctl);
    pick.mode = PickState::None;
    ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT; // uninitialised while waiting
    // Unlike the original, a cancelled pick gives the user the tool back too.
    ctl->setCurrentTool(tool);
    ctl->update();
    if (pick.cancelled())
        return CARTOLINK_E_CANCELLED;
    const QPointF m = ctl->engine().pixelToMap(pick.picked);
    *dx = m.x() - x;
    *dy = m.y() - y;
    *reserved = 0.0;
    return CARTOLINK_OK;
}

CARTOLINK_API int GISDriverGetPoint(double* x, double* y)
{
    MapControl* ctl = control();
    if (!ctl || pickState().mode != PickState::None)
        return CARTOLINK_E_NOTINIT;
    if (!x || !y)
        return CARTOLINK_E_BADARG;
    const int tool = beginPick(ctl, PickState::Point);
    const QCursor cursor = ctl->cursor();
    ctl->setCursor(Qt::CrossCursor);
    waitForPick(ctl);
    PickState& pick = pickState();
    pick.mode = PickState::None;
    ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT; // uninitialised while waiting
    ctl->setCursor(cursor);
    ctl->setCurrentTool(tool);
    if (pick.cancelled())
        return CARTOLINK_E_CANCELLED;
    const QPointF m = ctl->engine().pixelToMap(pick.picked);
    *x = m.x();
    *y = m.y();
    uint32_t marker = 0;
    if (GisDriverAddObjectToMap(&marker, CARTOLINK_KIND_MARKER, m.x(), m.y(), 0, 0, kPickMarkerText, nullptr)
        == CARTOLINK_OK)
        GisDriverSetObjectColor(marker, kPickMarkerColour);
    GISDriverMoveMap(m.x(), m.y());
    GisDriverSetMapStatus(CARTOLINK_STATUS_NORMAL);
    return CARTOLINK_OK;
}

CARTOLINK_API int GISDriverShowCtrlTool(int show)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    QPointer<CGisControlPanel>& panel = g_ctx->panel;
    if (!show) {
        // The panel's destructor stops and waits for its search.
        delete panel.data();
        return CARTOLINK_OK;
    }
    if (panel) {
        panel->raise();
        return CARTOLINK_OK;
    }
    CGisControlPanel::Host host;
    // A caller that shows the map in a view of its own hides the map control.
    host.controlShown = [] {
        MapControl* c = control();
        return c && c->isVisible();
    };
    host.selectTool = [](int tool) {
        if (MapControl* c = control())
            c->setCurrentTool(tool);
    };
    host.zoomBy = [](double factor) {
        if (GisDriverZoomTo(GisDriverGetZoom() * factor) == CARTOLINK_OK)
            reportViewChanged();
    };
    host.panBy = [](double shareX, double shareY) {
        MapControl* c = control();
        if (!c)
            return;
        const QSize size = c->engine().view().size();
        if (GisDriverPan(float(shareX * size.width()), float(shareY * size.height())) == CARTOLINK_OK)
            reportViewChanged();
    };
    host.showOverview = [] { GISDriverShowEagleWindow(1); };
    host.zoomTo = [](double km) {
        if (GisDriverZoomTo(km) == CARTOLINK_OK)
            reportViewChanged();
    };
    host.moveTo = [](double x, double y) {
        if (GISDriverMoveMap(x, y) == CARTOLINK_OK)
            reportViewChanged();
    };
    host.snapshot = [] {
        MapControl* c = control();
        return c ? searchSnapshot(c->engine()) : std::vector<SearchLayer>();
    };
    panel = new CGisControlPanel(std::move(host));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->show();
    panel->raise();
    return CARTOLINK_OK;
}

CARTOLINK_API int GISDriverShowEagleWindow(int show)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    auto& overview = g_ctx->overview;
    if (!show) {
        if (overview)
            overview->hide();
        return CARTOLINK_OK;
    }
    if (g_ctx->mapPath.isEmpty())
        return CARTOLINK_E_FAILED;
    if (!overview || overview->mapPath() != g_ctx->mapPath) {
        overview.reset();
        auto wnd = std::make_unique<CGisOverviewWnd>(ctl, [] { reportViewChanged(); });
        if (!wnd->create(g_ctx->mapPath))
            return CARTOLINK_E_FAILED;
        overview = std::move(wnd);
    }
    overview->refreshFromMain();
    overview->show();
    overview->raise();
    return CARTOLINK_OK;
}

CARTOLINK_API int GISDriverGetSelectCount(void)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    const ObjectLayer* layer = ctl->engine().objectLayer();
    return layer ? int(layer->selection().size()) : 0;
}

CARTOLINK_API int GISDriverGetSelectItem(int index, uint32_t* id)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (!id)
        return CARTOLINK_E_BADARG;
    const ObjectLayer* layer = ctl->engine().objectLayer();
    if (!layer || index < 1 || size_t(index) > layer->selection().size())
        return CARTOLINK_E_FAILED;
    *id = layer->selection()[size_t(index) - 1];
    return CARTOLINK_OK;
}

CARTOLINK_API int GisDriverSetObjectComments(uint32_t id, const char* comment)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (id == 0)
        return CARTOLINK_E_BADARG;
    ObjectLayer* layer = ctl->engine().objectLayer();
    MapObject* obj = layer ? layer->find(id) : nullptr;
    if (!obj)
        return CARTOLINK_E_NOOBJECT;
    obj->comment = fromC(comment);
    layer->touch();
    ctl->update();
    return CARTOLINK_OK;
}

CARTOLINK_API int GISDriverUpdateMap(void)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    ctl->refresh();
    return CARTOLINK_OK;
}

CARTOLINK_API int ConvertCoord(int* screenX, int* screenY, double* mapX, double* mapY, int16_t direction)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    if (!screenX || !screenY || !mapX || !mapY)
        return CARTOLINK_E_BADARG;
    const MapEngine& engine = ctl->engine();
    float px, py;
    if (direction == CARTOLINK_PIXEL_TO_MAP) {
        px = static_cast<float>(*screenX);
        py = static_cast<float>(*screenY);
        const QPointF m = engine.pixelToMap(QPointF(px, py));
        *mapX = m.x();
        *mapY = m.y();
    } else if (direction == CARTOLINK_MAP_TO_PIXEL) {
        if (!isFiniteValue(*mapX) || !isFiniteValue(*mapY))
            return CARTOLINK_E_BADARG;
        const QPointF p = engine.mapToPixel(QPointF(*mapX, *mapY));
        px = static_cast<float>(p.x());
        py = static_cast<float>(p.y());
    } else {
        return CARTOLINK_E_BADARG;
    }
    *screenX = truncToInt(px);
    *screenY = truncToInt(py);
    return CARTOLINK_OK;
}

CARTOLINK_API int GISDriverExportMapToHDC(void* painter, int x, int y)
{
    MapControl* ctl = control();
    if (!ctl)
        return CARTOLINK_E_NOTINIT;
    auto* p = static_cast<QPainter*>(painter);
    if (!p || !p->isActive())
        return CARTOLINK_E_BADARG;
    p->drawImage(QPoint(x, y), ctl->engine().picture());
    return CARTOLINK_OK;
}

} // extern "C"
