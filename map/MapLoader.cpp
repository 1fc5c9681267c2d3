#include "map/MapLoader.h"

#include "config/MessageReporter.h"
#include "map/ImageFile.h"
#include "gisdriver/include/cartolink.h"

#include <cpl_error.h>

#include <QApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kZoomStep = 1.5;
// The GIS picture follows the view size but never beyond this, so an absurd
// size cannot exhaust memory.
constexpr int kMaxPictureSide = 16384;

}  // namespace

// Cartolink's view of this map object. Only the overview window moving the
// main map matters here; everything else is meant for Cartolink's own tools.
struct CMapLoader::Gis {
    class Callback final : public IGisDriverCallback {
    public:
        explicit Callback(CMapLoader* owner) : m_owner(owner) {}
        void OnRButtonUp(uint32_t, uint32_t, int32_t, int32_t, double, double, double, uint32_t) override {}
        void OnLButtonUp(uint32_t, uint32_t, int32_t, int32_t, double, double, double, uint32_t) override {}
        void OnLButtonDown(uint32_t, uint32_t, int32_t, int32_t, double, double, double, uint32_t) override {}
        void OnRectSelect(uint32_t, uint32_t, int32_t, int32_t, double, double, double, int32_t, int32_t, double,
                          double, double, uint32_t) override
        {
        }
        void OnRadiusSelect(uint32_t, uint32_t, int32_t, int32_t, double, double, double, double, uint32_t) override {}
        void OnSelectionChanged(uint32_t) override {}
        void OnObjectMoved(uint32_t, int32_t, int32_t, double, double, uint32_t, uint32_t, uint32_t) override {}
        void OnObjectPicked(uint32_t, uint32_t) override {}
        void OnDoubleClick(uint32_t, uint32_t, int32_t, int32_t, double, double, double, uint32_t) override {}
        void OnMapViewChanged() override { m_owner->OnGisViewChanged(); }

    private:
        CMapLoader* m_owner;
    };

    explicit Gis(CMapLoader* owner) : callback(owner) {}

    Callback callback;
    // The hidden "MapLoaderWnd": parent of Cartolink's host window. Widgets
    // live on the GUI thread, so it stays there and is never shown.
    std::unique_ptr<QWidget> window;
};

CMapLoader::CMapLoader()
{
    QSize screen(1920, 1080);
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* s = QGuiApplication::primaryScreen())
            screen = s->size();
    }
    m_viewWidth = screen.width();
    m_viewHeight = screen.height();
}

CMapLoader::~CMapLoader()
{
    ReleaseMap();
}

bool CMapLoader::IsGisRunning() const
{
    return m_gis != nullptr;
}

bool CMapLoader::IsLoaded() const
{
    if (m_mapType == 1)
        return IsGisRunning();
    return !m_mapImage.isNull();
}

// ---- conversions -----------------------------------------------------------

int CMapLoader::MapToView(double x, double y, int& px, int& py)
{
    if (m_mapType == 0) {
        px = TruncToInt(m_imageWidth * x * m_zoom / m_widthKm - m_zoom * m_srcLeft);
        py = TruncToInt(m_imageHeight * y * m_zoom / m_heightKm - m_zoom * m_srcTop);
    } else if (m_mapType == 1 && m_gis) {
        // Cartolink reads the pixel pointers in both directions; never hand it the caller's
        // possibly unset ints, and leave them alone when it fails.
        int sx = 0, sy = 0;
        double mx = x, my = y;
        if (ConvertCoord(&sx, &sy, &mx, &my, CARTOLINK_MAP_TO_PIXEL) == CARTOLINK_OK) {
            px = sx;
            py = sy;
        }
    }
    return 1;
}

int CMapLoader::ViewToMap(double& x, double& y, int px, int py)
{
    if (m_mapType == 0) {
        const int qx = TruncToInt(px + m_srcLeft * m_zoom);
        const int qy = TruncToInt(py + m_srcTop * m_zoom);
        x = qx * (m_widthKm / (m_imageWidth * m_zoom));
        y = qy * (m_heightKm / (m_imageHeight * m_zoom));
    } else if (m_mapType == 1 && m_gis) {
        int sx = px, sy = py;
        double mx = 0.0, my = 0.0;
        if (ConvertCoord(&sx, &sy, &mx, &my, CARTOLINK_PIXEL_TO_MAP) == CARTOLINK_OK) {
            x = mx;
            y = my;
        }
    }
    return 1;
}

void CMapLoader::UpdateSourceRect(int cx, int cy)
{
    m_srcLeft = TruncToInt(m_centerX - cx / (2 * m_zoom));
    m_srcTop = TruncToInt(m_centerY - cy / (2 * m_zoom));
    m_srcRight = TruncToInt(m_srcLeft + cx / m_zoom);
    m_srcBottom = TruncToInt(m_srcTop + cy / m_zoom);
}

// ---- zoom and pan ----------------------------------------------------------

double CMapLoader::GetZoom() const
{
    if (m_mapType == 0)
        return m_zoom;
    if (m_mapType == 1 && m_gis)
        return GisDriverGetZoom();
    return 0.0;
}

void CMapLoader::SetZoom(double zoom)
{
    if (std::isnormal(zoom) && zoom > 0.0)
        m_zoom = zoom;
}

// The bitmap zoom has no limits, but a step that would reach infinity or
// leave the normal double range is not taken: zoom 0 or infinity would divide
// by zero everywhere, and subnormal values would break the exact round trip.
void CMapLoader::ZoomIn()
{
    if (m_mapType == 0) {
        const double z = m_zoom * kZoomStep;
        if (std::isfinite(z))
            m_zoom = z;
    } else if (m_mapType == 1 && m_gis) {
        GisDriverZoomTo(GisDriverGetZoom() / kZoomStep);
    }
}

void CMapLoader::ZoomOut()
{
    if (m_mapType == 0) {
        const double z = m_zoom / kZoomStep;
        if (std::isnormal(z))
            m_zoom = z;
    } else if (m_mapType == 1 && m_gis) {
        GisDriverZoomTo(GisDriverGetZoom() * kZoomStep);
    }
}

void CMapLoader::ZoomToFullExtent()
{
    if (m_mapType == 0) {
        if (m_imageWidth <= 0 || m_imageHeight <= 0 || m_viewWidth <= 0 || m_viewHeight <= 0)
            return;
        const double z = std::min(double(m_viewWidth) / m_imageWidth, double(m_viewHeight) / m_imageHeight);
        if (std::isnormal(z))
            m_zoom = z;
        m_centerX = m_imageWidth / 2;
        m_centerY = m_imageHeight / 2;
    } else if (m_mapType == 1 && m_gis) {
        // Cartolink's widest view is the whole map set, centred.
        GisDriverZoomTo(std::numeric_limits<double>::max());
    }
}

void CMapLoader::Pan(int dx, int dy)
{
    if (m_mapType == 0) {
        m_centerX = TruncToInt(m_centerX + dx / m_zoom);
        m_centerY = TruncToInt(m_centerY - dy / m_zoom);
    } else if (m_mapType == 1 && m_gis) {
        GisDriverPan(static_cast<float>(dx), static_cast<float>(dy));
    }
}

// ---- loading and releasing -------------------------------------------------

bool CMapLoader::LoadMap(const std::string& source, int mapType, int shownWidth, int shownHeight, double widthKm,
                         double heightKm, IMessageReporter* reporter)
{
    m_shownWidth = shownWidth;
    m_shownHeight = shownHeight;
    if (source.empty())
        return false;
    if (mapType != 0 && mapType != 1) {
        IMessageReporter& r = reporter ? *reporter : DefaultMessageReporter();
        r.Report({"不支持的地图类型!", "地图加载器错误信息", MessageIcon::Error, MessageButtons::OkCancel});
        return false;
    }

    // A map object normally loads once; a second load replaces the first
    // instead of leaking its image or its GIS connection.
    if (m_gis || !m_mapImage.isNull())
        ReleaseMap();
    m_lastError.clear();

    if (mapType == 1) {
        if (!StartGis())
            return false;
        if (GisDriverInit(&m_gis->callback, m_gis->window.get()) != CARTOLINK_OK) {
            // Not ours to uninitialise: the context may belong to another map.
            StopGis();
            return false;
        }
        CPLErrorReset();
        if (GisDriverLoadMap(source.c_str()) != CARTOLINK_OK) {
            const char* why = CPLGetLastErrorMsg();
            m_lastError = why && *why ? why : "Cartolink: 地图无法打开";
            qDebug().noquote() << QString::fromStdString("装载指定地图资源失败(" + source + ")!");
            GisDriverUnInit();
            StopGis();
            return false;
        }
        GisDriverZoomTo(1.0);
        // Only a GIS map needs the picture; a bitmap map paints straight from its image.
        if (!EnsureGisPicture(m_viewWidth, m_viewHeight)) {
            GisDriverUnInit();
            StopGis();
            return false;
        }
    } else {
        if (!LoadBitmap(source)) {
            m_lastError = "无法读取位图文件: " + source;
            qDebug().noquote() << QString::fromStdString("装载指定地图资源失败(" + source + ")!");
            return false;
        }
        m_widthKm = widthKm;
        m_heightKm = heightKm;
        m_centerX = m_imageWidth / 2;
        m_centerY = m_imageHeight / 2;
    }

    m_source = source;
    m_mapType = mapType;
    SetViewSize(shownWidth, shownHeight);
    RefreshGisPicture();
    return true;
}

bool CMapLoader::LoadBitmap(const std::string& source)
{
    QImage image = ReadImageFile(source, "bmp", {kMaxImageSide, kMaxImagePixels});
    if (image.isNull())
        return false;
    // One opaque 32-bit format: fast smooth scaling, and no alpha channel that a
    // plain copy of a bitmap would not have had.
    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return false;
    m_mapImage = std::move(image);
    m_imageWidth = m_mapImage.width();
    m_imageHeight = m_mapImage.height();
    ++m_imageGeneration;
    m_cache = {};
    return true;
}

bool CMapLoader::StartGis()
{
    // The hidden window is a widget: it needs a QApplication and the GUI thread.
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return false;
    auto gis = std::make_unique<Gis>(this);
    gis->window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
    gis->window->setObjectName(QStringLiteral("MapLoaderWnd"));
    gis->window->setWindowTitle(QStringLiteral("MapLoaderWnd"));
    gis->window->setAttribute(Qt::WA_DontShowOnScreen);
    gis->window->setGeometry(0, 0, 500, 500);
    m_gis = std::move(gis);
    return true;
}

void CMapLoader::StopGis()
{
    m_gis.reset();
}

void CMapLoader::ReleaseMap()
{
    if (m_gis) {
        GisDriverUnInit();
        StopGis();
    }
    m_mapImage = QImage();
    m_gisPicture = QImage();
    m_cache = {};
    ++m_imageGeneration;
}

// ---- GIS picture and view size -----------------------------------------------

bool CMapLoader::EnsureGisPicture(int width, int height)
{
    width = std::clamp(width, 1, kMaxPictureSide);
    height = std::clamp(height, 1, kMaxPictureSide);
    if (!m_gisPicture.isNull() && m_gisPicture.width() >= width && m_gisPicture.height() >= height)
        return true;
    // Grow only: a view larger than the picture would otherwise show a cut-off map.
    if (!m_gisPicture.isNull()) {
        width = std::max(width, m_gisPicture.width());
        height = std::max(height, m_gisPicture.height());
    }
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull())
        return !m_gisPicture.isNull();
    picture.fill(Qt::white);
    m_gisPicture = std::move(picture);
    return true;
}

bool CMapLoader::RefreshGisPicture()
{
    if (m_mapType != 1)
        return true;
    if (!m_gis || m_gisPicture.isNull())
        return false;
    m_gisPicture.fill(Qt::white);
    QPainter painter(&m_gisPicture);
    GISDriverExportMapToHDC(&painter, 0, 0);
    painter.end();
    return true;
}

bool CMapLoader::SetViewSize(int width, int height)
{
    m_shownWidth = width;
    m_shownHeight = height;
    if (m_mapType != 1)
        return true;
    if (!m_gis)
        return false;
    width = std::max(width, 0);
    height = std::max(height, 0);
    m_gis->window->resize(width, height);
    EnsureGisPicture(width, height);
    const CartolinkRect rect{0, 0, width, height};
    GisDriverSetShowWindowSize(&rect);
    return true;
}

void CMapLoader::ShowOverviewWindow(int show)
{
    if (m_mapType == 1 && m_gis)
        GISDriverShowEagleWindow(show);
}

void CMapLoader::ShowControlPanel(int show)
{
    if (m_mapType == 1 && m_gis)
        GISDriverShowCtrlTool(show);
}

void CMapLoader::OnGisViewChanged()
{
    RefreshGisPicture();
    if (m_viewChanged)
        m_viewChanged();
}

// ---- painting ------------------------------------------------------------------

int CMapLoader::DrawMap(QPainter& painter, int x, int y, int width, int height)
{
    if (m_mapType == 1) {
        if (!m_gis || m_gisPicture.isNull())
            return 0;
        painter.drawImage(QPoint(0, 0), m_gisPicture, QRect(x, y, width, height));
        return 1;
    }
    return DrawBitmap(painter, x, y, width, height);
}

int CMapLoader::DrawBitmap(QPainter& painter, int x, int y, int width, int height)
{
    if (m_mapImage.isNull())
        return 0;
    UpdateSourceRect(width, height);
    const QRect fill(QPoint(x, y), QPoint(width - 1, height - 1));
    if (width <= 0 || height <= 0)
        return 1;

    // Source rectangle as the stretch takes it: origin from the source rectangle,
    // size width / zoom by height / zoom truncated (at least one pixel, so an
    // extreme zoom shows the pixel under the centre instead of nothing).
    const int64_t srcLeft = m_srcLeft, srcTop = m_srcTop;
    const int64_t srcWidth = std::max(1, TruncToInt(width / m_zoom));
    const int64_t srcHeight = std::max(1, TruncToInt(height / m_zoom));

    ScaledCache& c = m_cache;
    if (!c.valid || c.imageGeneration != m_imageGeneration || c.srcLeft != srcLeft || c.srcTop != srcTop ||
        c.srcWidth != srcWidth || c.srcHeight != srcHeight || c.viewWidth != width || c.viewHeight != height) {
        c = {};
        c.imageGeneration = m_imageGeneration;
        c.srcLeft = srcLeft;
        c.srcTop = srcTop;
        c.srcWidth = srcWidth;
        c.srcHeight = srcHeight;
        c.viewWidth = width;
        c.viewHeight = height;
        c.valid = true;

        // Only the part of the source rectangle that lies on the image is scaled;
        // the rest of the view keeps the white fill.
        const int64_t ix0 = std::max<int64_t>(srcLeft, 0);
        const int64_t iy0 = std::max<int64_t>(srcTop, 0);
        const int64_t ix1 = std::min<int64_t>(srcLeft + srcWidth, m_imageWidth);
        const int64_t iy1 = std::min<int64_t>(srcTop + srcHeight, m_imageHeight);
        if (ix0 < ix1 && iy0 < iy1) {
            const double sx = double(width) / double(srcWidth);
            const double sy = double(height) / double(srcHeight);
            const auto toView = [](double v, int limit) {
                return int(std::clamp(std::lround(v), 0L, long(limit)));
            };
            const int dx0 = toView((ix0 - srcLeft) * sx, width);
            const int dx1 = toView((ix1 - srcLeft) * sx, width);
            const int dy0 = toView((iy0 - srcTop) * sy, height);
            const int dy1 = toView((iy1 - srcTop) * sy, height);
            if (dx0 < dx1 && dy0 < dy1) {
                const QRect part(int(ix0), int(iy0), int(ix1 - ix0), int(iy1 - iy0));
                const QSize target(dx1 - dx0, dy1 - dy0);
                if (target == part.size()) {
                    c.picture = m_mapImage.copy(part);
                } else {
                    // A view onto the image's pixels; scaled() makes its own copy.
                    const QImage view(m_mapImage.constBits() + part.y() * m_mapImage.bytesPerLine() + part.x() * 4,
                                      part.width(), part.height(), m_mapImage.bytesPerLine(), QImage::Format_RGB32);
                    c.picture = view.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                }
                if (!c.picture.isNull())
                    c.target = QRect(QPoint(dx0, dy0), target);
            }
        }
    }

    if (fill.isValid() && (c.picture.isNull() || !c.target.contains(fill)))
        painter.fillRect(fill, Qt::white);
    if (!c.picture.isNull())
        painter.drawImage(c.target.topLeft(), c.picture);
    return 1;
}
