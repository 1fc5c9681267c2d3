#include "MapEngine.h"

#include "Geoset.h"
#include "MapDrawing.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace cartolink {

namespace {

constexpr qint64 kMaxGeosetBytes = qint64(16) << 20;

QColor fromColorRef(uint32_t c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

} // namespace

MapEngine::MapEngine() = default;
MapEngine::~MapEngine() = default;

bool MapEngine::open(const QString& path, QString* error)
{
    QString err;
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (path.trimmed().isEmpty())
        return fail(QStringLiteral("no map path"));
    QString file = path.trimmed();
    file.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QFileInfo info(file);

    QByteArray head;
    if (info.isFile()) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly))
            head = f.read(4096);
    }
    std::vector<std::unique_ptr<MapLayer>> layers;
    QString name;
    QColor background(0xfa, 0xfa, 0xf7);
    std::optional<QPointF> centre;
    if (info.suffix().compare(QLatin1String("gst"), Qt::CaseInsensitive) == 0 || looksLikeGeoset(head)) {
        // A map set is a few lines of text; anything else named .gst is not read whole.
        if (!info.isFile())
            return fail(QStringLiteral("%1 is not a file").arg(file));
        if (info.size() > kMaxGeosetBytes)
            return fail(QStringLiteral("%1 is too large for a map set").arg(file));
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(file));
        const auto gs = parseGeoset(f.read(kMaxGeosetBytes), info.absolutePath(), &err);
        if (!gs)
            return fail(err);
        for (const GeosetTable& t : gs->tables) {
            auto loaded = loadSource(t, &err);
            if (loaded.empty())
                return fail(QStringLiteral("table %1: %2").arg(t.number).arg(err));
            for (auto& l : loaded)
                layers.push_back(std::move(l));
        }
        name = gs->name;
        if (gs->background.isValid())
            background = gs->background;
        centre = gs->centre;
    } else {
        GeosetTable t;
        t.file = file;
        auto loaded = loadSource(t, &err);
        if (loaded.empty())
            return fail(err);
        layers = std::move(loaded);
        name = info.completeBaseName();
    }

    m_layers = std::move(layers);
    m_renderer.invalidate();
    m_name = name;
    m_background = background;
    const Bounds ext = fullExtent();
    m_view.setExtent(ext);
    if (centre)
        m_view.setCentre(centre->x(), centre->y());
    else if (!ext.isEmpty())
        m_view.setCentre(ext.centre().x(), ext.centre().y());
    invalidate();
    return true;
}

void MapEngine::removeAllLayers()
{
    m_layers.clear();
    m_renderer.invalidate();
    m_objects.reset();
    m_name.clear();
    m_view.setExtent(Bounds());
    invalidate();
}

int MapEngine::layerCount() const
{
    return int(m_layers.size()) + (m_objects ? 1 : 0);
}

Bounds MapEngine::fullExtent() const
{
    Bounds b;
    for (const auto& l : m_layers)
        b.add(l->extent);
    return b;
}

ObjectLayer* MapEngine::createObjectLayer(const QString& name)
{
    m_objects = std::make_unique<ObjectLayer>(name);
    invalidate();
    return m_objects.get();
}

void MapEngine::removeObjectLayer()
{
    m_objects.reset();
    invalidate();
}

void MapEngine::reloadSymbol(const QString& name)
{
    m_symbols.remove(name);
    m_pictureValid = false;
}

void MapEngine::selectAtPixel(QPointF pixel, double tolerancePx, SelectMode mode)
{
    if (!m_objects)
        return;
    m_objects->selectWhere(
        [&](const MapObject& o) {
            if (o.isSymbol()) {
                const QPointF p = mapToPixel(o.point);
                const double half = o.kind == ObjectKind::Bitmap ? o.symbolSize / 2.0 : 7.0;
                return std::abs(p.x() - pixel.x()) <= half + tolerancePx
                    && std::abs(p.y() - pixel.y()) <= half + tolerancePx;
            }
            // Outlines: near the line, or inside when the outline is closed.
            QPolygonF poly;
            for (const QPointF& q : o.line)
                poly.append(mapToPixel(q));
            for (qsizetype i = 0; i + 1 < poly.size(); ++i) {
                const QPointF a = poly[i], b = poly[i + 1];
                const QPointF ab = b - a;
                const double len2 = QPointF::dotProduct(ab, ab);
                const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(pixel - a, ab) / len2, 0.0, 1.0) : 0.0;
                const QPointF d = pixel - (a + ab * t);
                if (std::hypot(d.x(), d.y()) <= tolerancePx)
                    return true;
            }
            return poly.size() > 2 && poly.first() == poly.last() && poly.containsPoint(pixel, Qt::OddEvenFill);
        },
        mode);
}

void MapEngine::selectInRect(const Bounds& rect, SelectMode mode)
{
    if (!m_objects)
        return;
    m_objects->selectWhere(
        [&](const MapObject& o) {
            const QPointF c = o.centre();
            return rect.contains(c.x(), c.y());
        },
        mode);
}

void MapEngine::selectInRadius(QPointF centre, double radius, SelectMode mode)
{
    if (!m_objects)
        return;
    m_objects->selectWhere(
        [&](const MapObject& o) {
            const QPointF c = o.centre();
            return std::hypot(c.x() - centre.x(), c.y() - centre.y()) <= radius;
        },
        mode);
}

void MapEngine::setViewSize(int w, int h)
{
    if (w == m_view.width() && h == m_view.height())
        return;
    m_view.setSize(w, h);
    invalidate();
}

void MapEngine::zoomTo(double km)
{
    m_view.setZoomKm(km);
    invalidate();
}

void MapEngine::zoomTo(double km, double cx, double cy)
{
    m_view.setCentre(cx, cy);
    m_view.setZoomKm(km);
    invalidate();
}

void MapEngine::setCentre(double x, double y)
{
    m_view.setCentre(x, y);
    invalidate();
}

void MapEngine::showFullExtent()
{
    m_view.showFullExtent();
    invalidate();
}

void MapEngine::pan(double dxPx, double dyPx)
{
    m_view.panPixels(dxPx, dyPx);
    invalidate();
}

void MapEngine::invalidate()
{
    m_baseValid = false;
    m_pictureValid = false;
}

const QImage& MapEngine::picture()
{
    const QSize size(std::max(1, m_view.width()), std::max(1, m_view.height()));
    if (m_base.size() != size) {
        m_base = QImage(size, QImage::Format_ARGB32_Premultiplied);
        m_baseValid = false;
    }
    if (!m_baseValid) {
        m_renderer.render(m_base, m_layers, m_view, m_background);
        m_baseValid = true;
        m_pictureValid = false;
    }
    const uint64_t objVersion = m_objects ? m_objects->version() : 0;
    if (!m_pictureValid || m_pictureObjVersion != objVersion || m_pictureObjLayer != m_objects.get()) {
        m_picture = m_base.copy();
        if (m_objects) {
            QPainter p(&m_picture);
            renderObjects(p);
        }
        m_pictureValid = true;
        m_pictureObjVersion = objVersion;
        m_pictureObjLayer = m_objects.get();
    }
    return m_picture;
}


const QImage* MapEngine::symbolImage(const QString& name, int size)
{
    auto it = m_symbols.find(name);
    if (it == m_symbols.end()) {
        Symbol s;
        QImage img(m_symbolFolder + QLatin1Char('/') + name);
        if (img.isNull()) {
            s.missing = true;
        } else {
            // A transparent bitmap symbol shows its white pixels as see-through.
            img = img.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < img.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < img.width(); ++x)
                    if ((line[x] & 0xFFFFFF) == 0xFFFFFF)
                        line[x] = 0;
            }
            s.source = img;
        }
        it = m_symbols.insert(name, s);
    }
    Symbol& s = it.value();
    if (s.missing)
        return nullptr;
    auto sc = s.scaled.find(size);
    if (sc == s.scaled.end())
        sc = s.scaled.insert(size, s.source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return &sc.value();
}

const QImage& MapEngine::circleSprite(double radiusPx, const QPen& pen)
{
    const int halfSteps = int(std::lround(radiusPx * 2.0));
    const QString key = QStringLiteral("%1/%2/%3").arg(halfSteps).arg(pen.color().rgba()).arg(pen.widthF());
    auto it = m_circleSprites.find(key);
    if (it != m_circleSprites.end())
        return it.value();
    if (m_circleSprites.size() > 256)
        m_circleSprites.clear();
    const double r = halfSteps / 2.0;
    const int side = int(std::ceil(2.0 * r + pen.widthF())) + 4;
    QImage img(side, side, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter sp(&img);
    sp.setRenderHint(QPainter::Antialiasing, true);
    sp.setPen(pen);
    QPolygonF poly;
    for (const QPointF& q : circleOutline(side / 2.0, side / 2.0, r))
        poly.append(q);
    sp.drawPolyline(poly);
    sp.end();
    return m_circleSprites.insert(key, img).value();
}

void MapEngine::renderObjects(QPainter& p)
{
    if (!m_objects)
        return;
    const QRectF viewRect(0, 0, m_view.width(), m_view.height());
    const QRectF guard = viewRect.adjusted(-64, -64, 64, 64);
    const Bounds viewBounds = m_view.mapBounds();
    const ObjectLayer& layer = *m_objects;
    const double zoomKm = m_view.zoomKm();
    const bool labels = layer.labelled && zoomKm <= layer.labelZoomMax && zoomKm >= layer.labelZoomMin;
    const std::vector<uint32_t>& sel = layer.selection();
    p.setRenderHint(QPainter::Antialiasing, true);
    QFont font = p.font();
    font.setPointSizeF(8.5);
    p.setFont(font);

    QPolygonF poly;
    for (const auto& [id, o] : layer.objects()) {
        const bool selected = std::find(sel.begin(), sel.end(), id) != sel.end();
        QPointF anchor;
        if (o.isSymbol()) {
            const QPointF c = mapToPixel(o.point);
            if (!guard.contains(c))
                continue;
            anchor = c;
            if (o.kind == ObjectKind::Bitmap) {
                const QImage* img = symbolImage(o.bitmapName, o.symbolSize);
                if (img) {
                    p.drawImage(QPointF(c.x() - img->width() / 2.0, c.y() - img->height() / 2.0), *img);
                } else {
                    // The bitmap could not be read: keep the object visible all the same.
                    p.setPen(QPen(Qt::black, 1));
                    p.setBrush(Qt::NoBrush);
                    p.drawRect(QRectF(c.x() - 4, c.y() - 4, 8, 8));
                }
                anchor.rx() += o.symbolSize / 2.0;
            } else {
                // Character 36 of the symbol font is a filled triangle.
                const double h = 14.0;
                QPolygonF tri;
                tri << QPointF(c.x(), c.y() - h / 2) << QPointF(c.x() + h / 2, c.y() + h / 2)
                    << QPointF(c.x() - h / 2, c.y() + h / 2);
                p.setPen(o.fontFlag ? QPen(Qt::white, 1.0) : QPen(Qt::NoPen));
                p.setBrush(fromColorRef(o.symbolColor));
                p.drawPolygon(tri);
                anchor.rx() += h / 2;
            }
            if (selected) {
                p.setPen(QPen(QColor(0, 120, 215), 1.5, Qt::DashLine));
                p.setBrush(Qt::NoBrush);
                const double half = (o.kind == ObjectKind::Bitmap ? o.symbolSize : 14) / 2.0 + 3;
                p.drawRect(QRectF(c.x() - half, c.y() - half, 2 * half, 2 * half));
            }
        } else {
            const Bounds b = o.bounds();
            if (!b.intersects(viewBounds))
                continue;
            Xform xf{viewBounds.minX, viewBounds.maxY, 1.0 / m_view.degPerPx()};
            project(o.line.data(), uint32_t(o.line.size()), xf, poly);
            p.setBrush(Qt::NoBrush);
            const QPen pen(fromColorRef(o.lineColor), o.lineSetting > 0 ? o.lineSetting : 1, Qt::SolidLine,
                           Qt::RoundCap, Qt::RoundJoin);
            p.setPen(pen);
            const QRectF pb = pixelBoundsOf(b, xf);
            if (o.kind == ObjectKind::Circle && o.line.size() > 2 && pb.width() < 512) {
                // Stroking a wide pen is slow; circles of one size and colour look alike, so
                // each is stroked once into a sprite and then only copied.
                const QImage& sprite = circleSprite(pb.width() / 2.0, pen);
                p.drawImage(QPointF(pb.center().x() - sprite.width() / 2.0, pb.center().y() - sprite.height() / 2.0),
                            sprite);
            } else if (needsClip(pb, viewRect))
                clipPolyline(poly, guard, [&](const QPolygonF& piece) { p.drawPolyline(piece); });
            else
                p.drawPolyline(poly);
            if (selected) {
                p.setPen(QPen(QColor(0, 120, 215), 1.0, Qt::DashLine));
                p.drawRect(pixelBoundsOf(b, xf).intersected(guard).adjusted(-3, -3, 3, 3));
            }
            anchor = pixelBoundsOf(b, xf).center();
        }
        if (labels && !o.comment.isEmpty() && viewRect.contains(anchor)) {
            p.setPen(Qt::black);
            p.drawText(anchor + QPointF(3, 4), o.comment);
        }
    }
}

} // namespace cartolink
