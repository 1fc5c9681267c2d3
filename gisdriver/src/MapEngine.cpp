#include "MapEngine.h"

#include "Geoset.h"

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

// Beyond this many pixels from the view, geometry is clipped before it reaches
// QPainter, whose rasteriser works in fixed point and breaks on huge values.
constexpr double kClipLimitPx = 1 << 20;
constexpr double kGuardPx = 8.0;
constexpr int kMaxLabels = 400;
constexpr qint64 kMaxGeosetBytes = qint64(16) << 20;

QColor fromColorRef(uint32_t c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Map to pixel for one longitude shift of the view (the map repeats every 360 degrees).
struct Xform {
    double left, top, k;
    QPointF operator()(const QPointF& p) const { return {(p.x() - left) * k, (top - p.y()) * k}; }
};

// Projects a part, dropping vertices closer than half a pixel to the last kept one.
void project(const QPointF* pts, uint32_t n, const Xform& xf, QPolygonF& out)
{
    out.clear();
    if (n == 0)
        return;
    out.reserve(n);
    QPointF last = xf(pts[0]);
    out.append(last);
    for (uint32_t i = 1; i < n; ++i) {
        const QPointF q = xf(pts[i]);
        if (std::abs(q.x() - last.x()) >= 0.5 || std::abs(q.y() - last.y()) >= 0.5 || i + 1 == n) {
            out.append(q);
            last = q;
        }
    }
}

// Sutherland-Hodgman clip of a ring against an axis-aligned rectangle.
void clipRing(const QPolygonF& in, const QRectF& r, QPolygonF& out)
{
    QPolygonF cur = in;
    QPolygonF next;
    for (int edge = 0; edge < 4 && !cur.isEmpty(); ++edge) {
        next.clear();
        auto inside = [&](const QPointF& p) {
            switch (edge) {
            case 0: return p.x() >= r.left();
            case 1: return p.x() <= r.right();
            case 2: return p.y() >= r.top();
            default: return p.y() <= r.bottom();
            }
        };
        auto cut = [&](const QPointF& a, const QPointF& b) {
            double t;
            switch (edge) {
            case 0: t = (r.left() - a.x()) / (b.x() - a.x()); break;
            case 1: t = (r.right() - a.x()) / (b.x() - a.x()); break;
            case 2: t = (r.top() - a.y()) / (b.y() - a.y()); break;
            default: t = (r.bottom() - a.y()) / (b.y() - a.y()); break;
            }
            return a + (b - a) * t;
        };
        for (qsizetype i = 0; i < cur.size(); ++i) {
            const QPointF& a = cur[i];
            const QPointF& b = cur[(i + 1) % cur.size()];
            const bool ia = inside(a), ib = inside(b);
            if (ia)
                next.append(a);
            if (ia != ib)
                next.append(cut(a, b));
        }
        std::swap(cur, next);
    }
    out = cur;
}

// Liang-Barsky clip of a polyline; visible pieces are handed to `emit`.
template <typename Emit>
void clipPolyline(const QPolygonF& in, const QRectF& r, Emit&& sink)
{
    QPolygonF piece;
    for (qsizetype i = 0; i + 1 < in.size(); ++i) {
        QPointF a = in[i], b = in[i + 1];
        double t0 = 0.0, t1 = 1.0;
        const double dx = b.x() - a.x(), dy = b.y() - a.y();
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
        bool visible = true;
        for (int k = 0; k < 4 && visible; ++k) {
            if (p[k] == 0.0) {
                visible = q[k] >= 0.0;
            } else {
                const double t = q[k] / p[k];
                if (p[k] < 0.0)
                    t0 = std::max(t0, t);
                else
                    t1 = std::min(t1, t);
                visible = t0 <= t1;
            }
        }
        if (!visible) {
            if (piece.size() > 1)
                sink(piece);
            piece.clear();
            continue;
        }
        const QPointF ca(a.x() + t0 * dx, a.y() + t0 * dy);
        const QPointF cb(a.x() + t1 * dx, a.y() + t1 * dy);
        if (piece.isEmpty() || piece.last() != ca) {
            if (piece.size() > 1)
                sink(piece);
            piece.clear();
            piece.append(ca);
        }
        piece.append(cb);
        if (t1 < 1.0) {
            sink(piece);
            piece.clear();
        }
    }
    if (piece.size() > 1)
        sink(piece);
}

// Keeps labels from overlapping one another.
class LabelPlacer {
public:
    bool place(const QRectF& r)
    {
        if (m_rects.size() >= size_t(kMaxLabels))
            return false;
        for (const QRectF& o : m_rects)
            if (o.intersects(r))
                return false;
        m_rects.push_back(r);
        return true;
    }

private:
    std::vector<QRectF> m_rects;
};

// Thin lines go through QPainter's cosmetic stroker, which is many times faster
// than outlining a geometric pen.
QPen mapPen(const QColor& c, double width, Qt::PenCapStyle cap = Qt::FlatCap, Qt::PenJoinStyle join = Qt::MiterJoin)
{
    if (!c.isValid() || width <= 0.0)
        return QPen(Qt::NoPen);
    QPen pen(c, width <= 1.0 ? 1.0 : width, Qt::SolidLine, cap, join);
    if (width <= 1.0) {
        pen.setCosmetic(true);
        if (width < 1.0) {
            QColor faded = c;
            faded.setAlphaF(c.alphaF() * std::max(0.3, width));
            pen.setColor(faded);
        }
    }
    return pen;
}

bool needsClip(const QRectF& pixelBounds, const QRectF& view)
{
    return pixelBounds.left() < view.left() - kClipLimitPx || pixelBounds.right() > view.right() + kClipLimitPx
        || pixelBounds.top() < view.top() - kClipLimitPx || pixelBounds.bottom() > view.bottom() + kClipLimitPx;
}

QRectF pixelBoundsOf(const Bounds& b, const Xform& xf)
{
    return QRectF(xf(QPointF(b.minX, b.maxY)), xf(QPointF(b.maxX, b.minY)));
}

// Longitude shifts (multiples of 360) under which `extent` meets the view.
std::vector<double> shiftsFor(const Bounds& extent, const Bounds& view)
{
    std::vector<double> shifts;
    for (int k = -2; k <= 2; ++k) {
        Bounds s = extent;
        s.minX += k * 360.0;
        s.maxX += k * 360.0;
        if (s.intersects(view))
            shifts.push_back(k * 360.0);
    }
    return shifts;
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
    m_name = name;
    m_background = background;
    const Bounds ext = fullExtent();
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
    m_objects.reset();
    m_name.clear();
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
        QPainter p(&m_base);
        renderLayers(p);
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

void MapEngine::renderLayers(QPainter& p)
{
    const QRectF viewRect(0, 0, m_view.width(), m_view.height());
    p.fillRect(viewRect, m_background);
    p.setRenderHint(QPainter::Antialiasing, true);
    const Bounds viewBounds = m_view.mapBounds();
    const double zoomKm = m_view.zoomKm();
    const double k = 1.0 / m_view.degPerPx();
    const QPointF topLeft = m_view.toMap(0, 0);
    const QRectF guard = viewRect.adjusted(-kGuardPx, -kGuardPx, kGuardPx, kGuardPx);

    QFont font = p.font();
    font.setPointSizeF(8.5);
    p.setFont(font);
    LabelPlacer labels;

    QPolygonF poly, clipped;
    QPainterPath path;
    for (const auto& layerPtr : m_layers) {
        MapLayer& layer = *layerPtr;
        if (!layer.visibleAtZoom(zoomKm))
            continue;
        if (layer.labelTexts.size() != layer.labels.size()) {
            layer.labelTexts.clear();
            for (const QString& l : layer.labels) {
                QStaticText t(l);
                t.setTextFormat(Qt::PlainText);
                t.prepare(QTransform(), font);
                layer.labelTexts.push_back(t);
            }
        }
        for (double shift : shiftsFor(layer.extent, viewBounds)) {
            const Xform xf{topLeft.x() - shift, topLeft.y(), k};
            if (layer.isRaster()) {
                const QRectF target = pixelBoundsOf(layer.rasterBounds, xf);
                const QRectF visible = target.intersected(guard);
                if (visible.isEmpty())
                    continue;
                const double sx = layer.raster.width() / target.width();
                const double sy = layer.raster.height() / target.height();
                const QRectF source((visible.left() - target.left()) * sx, (visible.top() - target.top()) * sy,
                                    visible.width() * sx, visible.height() * sy);
                p.setRenderHint(QPainter::SmoothPixmapTransform, true);
                p.drawImage(visible, layer.raster, source);
                continue;
            }
            Bounds shiftedView = viewBounds;
            shiftedView.minX -= shift;
            shiftedView.maxX -= shift;
            for (const MapFeature& f : layer.features) {
                if (!f.bounds.intersects(shiftedView))
                    continue;
                const FeatureStyle& st = layer.styles[f.style];
                const QRectF pb = pixelBoundsOf(f.bounds, xf);
                const bool clip = needsClip(pb, viewRect);
                if (f.type == GeomType::Area) {
                    // Shapes smaller than a pixel vanish at this scale anyway.
                    if (pb.width() < 0.5 && pb.height() < 0.5)
                        continue;
                    p.setPen(mapPen(st.line, st.lineWidth));
                    p.setBrush(st.fill.isValid() ? QBrush(st.fill) : QBrush(Qt::NoBrush));
                    bool polar = false;
                    for (uint32_t i = 0; i < f.partCount; ++i)
                        polar = polar || layer.parts[f.firstPart + i].polar;
                    if (polar) {
                        // Fill with the closure along the pole, outline without it.
                        const QPen pen = p.pen();
                        p.setPen(Qt::NoPen);
                        path.clear();
                        path.setFillRule(Qt::OddEvenFill);
                        for (uint32_t i = 0; i < f.partCount; ++i) {
                            const Part& part = layer.parts[f.firstPart + i];
                            project(&layer.points[part.first], part.count, xf, poly);
                            clipRing(poly, guard, clipped);
                            path.addPolygon(clipped);
                            path.closeSubpath();
                        }
                        p.drawPath(path);
                        p.setPen(pen);
                        p.setBrush(Qt::NoBrush);
                        for (uint32_t i = 0; i < f.partCount; ++i) {
                            const Part& part = layer.parts[f.firstPart + i];
                            const uint32_t n = part.polar ? part.count - 3 : part.count;
                            project(&layer.points[part.first], n, xf, poly);
                            clipPolyline(poly, guard, [&](const QPolygonF& piece) { p.drawPolyline(piece); });
                        }
                    } else if (f.partCount == 1 && !clip) {
                        const Part& part = layer.parts[f.firstPart];
                        project(&layer.points[part.first], part.count, xf, poly);
                        p.drawPolygon(poly, Qt::OddEvenFill);
                    } else {
                        path.clear();
                        path.setFillRule(Qt::OddEvenFill);
                        for (uint32_t i = 0; i < f.partCount; ++i) {
                            const Part& part = layer.parts[f.firstPart + i];
                            project(&layer.points[part.first], part.count, xf, poly);
                            if (clip) {
                                clipRing(poly, guard, clipped);
                                path.addPolygon(clipped);
                            } else {
                                path.addPolygon(poly);
                            }
                            path.closeSubpath();
                        }
                        p.drawPath(path);
                    }
                } else if (f.type == GeomType::Line) {
                    if (!st.line.isValid())
                        continue;
                    p.setPen(mapPen(st.line, st.lineWidth, Qt::RoundCap, Qt::RoundJoin));
                    p.setBrush(Qt::NoBrush);
                    for (uint32_t i = 0; i < f.partCount; ++i) {
                        const Part& part = layer.parts[f.firstPart + i];
                        project(&layer.points[part.first], part.count, xf, poly);
                        if (clip)
                            clipPolyline(poly, guard, [&](const QPolygonF& piece) { p.drawPolyline(piece); });
                        else
                            p.drawPolyline(poly);
                    }
                } else {
                    const double r = st.symbolSize / 2.0;
                    p.setPen(st.line.isValid() ? QPen(st.line, st.lineWidth) : QPen(Qt::NoPen));
                    p.setBrush(st.symbol.isValid() ? QBrush(st.symbol) : QBrush(Qt::NoBrush));
                    for (uint32_t i = 0; i < f.partCount; ++i) {
                        const Part& part = layer.parts[f.firstPart + i];
                        for (uint32_t j = 0; j < part.count; ++j) {
                            const QPointF c = xf(layer.points[part.first + j]);
                            if (guard.contains(c))
                                p.drawEllipse(c, r, r);
                        }
                    }
                }
                if (f.label < 0 || (f.type != GeomType::Point && !layer.autoLabel))
                    continue;
                // Points are labelled beside the symbol, other shapes at the centre of their visible part.
                QPointF anchor;
                if (f.type == GeomType::Point) {
                    const Part& part = layer.parts[f.firstPart];
                    anchor = xf(layer.points[part.first]) + QPointF(st.symbolSize / 2.0 + 3.0, 0);
                } else {
                    if (pb.width() < 20 && pb.height() < 20)
                        continue;
                    anchor = xf(f.labelAnchor);
                }
                const QStaticText& text = layer.labelTexts[size_t(f.label)];
                QRectF box(QPointF(0, 0), text.size());
                if (f.type == GeomType::Point)
                    box.moveTopLeft(QPointF(anchor.x(), anchor.y() - box.height() / 2.0));
                else
                    box.moveCenter(anchor);
                if (!viewRect.contains(box) || !labels.place(box))
                    continue;
                p.setPen(st.text.isValid() ? st.text : QColor(Qt::black));
                p.drawStaticText(box.topLeft(), text);
            }
        }
    }
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
