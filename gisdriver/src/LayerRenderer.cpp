#include "LayerRenderer.h"

#include "MapDrawing.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QStaticText>

#include <algorithm>
#include <cmath>

namespace cartolink {

namespace {

constexpr double kGuardPx = 8.0;
constexpr int kMaxLabels = 400;
// Half the room a point symbol takes beside its label.
constexpr double kPointGap = 5.0;


// Keeps labels from overlapping one another, with a coarse grid so that each
// test looks at a few neighbours only.
class LabelPlacer {
public:
    explicit LabelPlacer(QSizeF view) : m_cols(std::max(1, int(view.width() / kCell) + 1)), m_rows(std::max(1, int(view.height() / kCell) + 1)), m_cells(size_t(m_cols) * size_t(m_rows)) {}

    bool free(const QRectF& r) const
    {
        bool ok = true;
        forCells(r, [&](std::vector<uint32_t>& cell) {
            for (uint32_t i : cell)
                if (m_rects[i].intersects(r)) {
                    ok = false;
                    return false;
                }
            return true;
        });
        return ok;
    }
    void add(const QRectF& r)
    {
        const auto index = uint32_t(m_rects.size());
        m_rects.push_back(r);
        forCells(r, [&](std::vector<uint32_t>& cell) {
            cell.push_back(index);
            return true;
        });
    }
    size_t count() const { return m_rects.size(); }

private:
    static constexpr double kCell = 64.0;
    template <typename F>
    void forCells(const QRectF& r, F&& f) const
    {
        const int c0 = std::clamp(int(r.left() / kCell), 0, m_cols - 1), c1 = std::clamp(int(r.right() / kCell), 0, m_cols - 1);
        const int r0 = std::clamp(int(r.top() / kCell), 0, m_rows - 1), r1 = std::clamp(int(r.bottom() / kCell), 0, m_rows - 1);
        for (int y = r0; y <= r1; ++y)
            for (int x = c0; x <= c1; ++x)
                if (!f(m_cells[size_t(y) * size_t(m_cols) + size_t(x)]))
                    return;
    }
    int m_cols, m_rows;
    mutable std::vector<std::vector<uint32_t>> m_cells;
    std::vector<QRectF> m_rects;
};

// Places and draws the labels: points before areas (larger first) before lines;
// a name already shown near by is not shown again; a label that does not fit
// whole into the view or on free ground is left out. Point labels try the right,
// left, top and bottom of their symbol.
void drawLabels(QPainter& p, std::vector<LabelCandidate>& labels, const QRectF& viewRect)
{
    std::stable_sort(labels.begin(), labels.end(),
                     [](const LabelCandidate& a, const LabelCandidate& b) { return a.priority > b.priority; });
    LabelPlacer placer(viewRect.size());
    struct Shown {
        QString text;
        QPointF at;
        double reach;
        QRectF shape;
    };
    std::vector<Shown> shown;
    for (const LabelCandidate& c : labels) {
        if (placer.count() >= size_t(kMaxLabels))
            break;
        const QString& name = c.text->text();
        bool repeated = false;
        for (const Shown& s : shown)
            // One place: near by, or one inside the other's area (a town and its point).
            if (s.text == name
                && (std::hypot(s.at.x() - c.anchor.x(), s.at.y() - c.anchor.y()) < s.reach
                    || s.shape.contains(c.anchor) || c.shape.contains(s.at))) {
                repeated = true;
                break;
            }
        if (repeated)
            continue;
        QRectF chosen;
        if (c.point) {
            const double gap = 2.0, half = c.size.height() / 2.0;
            const QRectF tries[4] = {
                QRectF(QPointF(c.anchor.x() + gap, c.anchor.y() - half), c.size),
                QRectF(QPointF(c.anchor.x() - 2 * kPointGap - c.size.width() - gap, c.anchor.y() - half), c.size),
                QRectF(QPointF(c.anchor.x() - kPointGap - c.size.width() / 2, c.anchor.y() - kPointGap - c.size.height()), c.size),
                QRectF(QPointF(c.anchor.x() - kPointGap - c.size.width() / 2, c.anchor.y() + kPointGap), c.size)};
            for (const QRectF& r : tries)
                if (viewRect.contains(r) && placer.free(r)) {
                    chosen = r;
                    break;
                }
        } else {
            QRectF r(QPointF(0, 0), c.size);
            r.moveCenter(c.anchor);
            if (viewRect.contains(r) && placer.free(r))
                chosen = r;
        }
        if (chosen.isNull())
            continue;
        // A little room around each label keeps neighbours readable.
        placer.add(chosen.adjusted(-2, -1, 2, 1));
        shown.push_back({name, c.anchor, std::max(3.0 * c.size.width(), 80.0), c.shape});
        p.setPen(c.colour);
        p.drawStaticText(chosen.topLeft(), *c.text);
    }
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

// Whether `v` lies within a millionth of a whole number.
bool isWhole(double v)
{
    return std::abs(v - std::round(v)) < 1e-6;
}

} // namespace

std::vector<char> LayerRenderer::shownLayers(const std::vector<std::unique_ptr<MapLayer>>& layers, double zoomKm)
{
    std::vector<char> shown;
    shown.reserve(layers.size());
    for (const auto& l : layers)
        shown.push_back(l->visibleAtZoom(zoomKm) ? 1 : 0);
    return shown;
}

void LayerRenderer::render(QImage& target, const std::vector<std::unique_ptr<MapLayer>>& layers, const Viewport& view,
                           const QColor& background)
{
    const int w = view.width(), h = view.height();
    const double d = view.degPerPx();
    const QPointF viewTopLeft = view.toMap(0, 0);
    const std::vector<char> shown = shownLayers(layers, view.zoomKm());
    // Where the view's top-left pixel lies in the buffer.
    const double ox = (viewTopLeft.x() - m_frame.topLeft.x()) / d;
    const double oy = (m_frame.topLeft.y() - viewTopLeft.y()) / d;
    const bool reusable = m_valid && m_frame.degPerPx == d && shown == m_shown && background == m_background
        && isWhole(ox) && isWhole(oy) && std::round(ox) >= 0 && std::round(oy) >= 0
        && std::round(ox) + w <= m_frame.width && std::round(oy) + h <= m_frame.height;
    // Only a reusable offset is known to fit an int.
    QPoint offset = reusable ? QPoint(int(std::round(ox)), int(std::round(oy))) : QPoint();
    if (!reusable) {
        m_frame.degPerPx = d;
        m_frame.width = w + 2 * kMarginPx;
        m_frame.height = h + 2 * kMarginPx;
        m_frame.topLeft = QPointF(viewTopLeft.x() - kMarginPx * d, viewTopLeft.y() + kMarginPx * d);
        m_frame.zoomKm = view.zoomKm();
        if (m_buffer.size() != QSize(m_frame.width, m_frame.height))
            m_buffer = QImage(m_frame.width, m_frame.height, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&m_buffer);
        drawShapes(p, m_frame, layers, background);
        m_shown = shown;
        m_background = background;
        m_valid = true;
        offset = QPoint(kMarginPx, kMarginPx);
    }

    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(0, 0), m_buffer, QRect(offset, QSize(w, h)));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // The labels of this view, in its own pixels; an area's rank is the part of it in view.
    const QRectF viewRect(0, 0, w, h);
    std::vector<LabelCandidate> labels;
    labels.reserve(m_labels.size());
    for (const LabelCandidate& c : m_labels) {
        LabelCandidate v = c;
        v.anchor -= offset;
        if (!viewRect.contains(v.anchor))
            continue;
        if (!c.shape.isNull()) {
            v.shape = c.shape.translated(-offset);
            const QRectF visible = v.shape.intersected(viewRect);
            v.priority = visible.width() * visible.height();
        }
        labels.push_back(v);
    }
    QFont font = p.font();
    font.setPointSizeF(8.5);
    p.setFont(font);
    drawLabels(p, labels, viewRect);
}

void LayerRenderer::drawShapes(QPainter& p, const Frame& frame, const std::vector<std::unique_ptr<MapLayer>>& layers,
                               const QColor& background)
{
    const QRectF viewRect(0, 0, frame.width, frame.height);
    p.fillRect(viewRect, background);
    p.setRenderHint(QPainter::Antialiasing, true);
    const Bounds viewBounds = frame.mapBounds();
    const double zoomKm = frame.zoomKm;
    const double k = 1.0 / frame.degPerPx;
    const QPointF topLeft = frame.topLeft;
    const QRectF guard = viewRect.adjusted(-kGuardPx, -kGuardPx, kGuardPx, kGuardPx);

    QFont font = p.font();
    font.setPointSizeF(8.5);
    p.setFont(font);
    m_labels.clear();

    QPolygonF poly, clipped;
    QPainterPath path;
    for (const auto& layerPtr : layers) {
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
        for (double shift : shiftsFor(layer.drawExtent, viewBounds)) {
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
                const QStaticText& text = layer.labelTexts[size_t(f.label)];
                LabelCandidate c{&text, QPointF(), QRectF(), text.size(), 0.0,
                                 st.text.isValid() ? st.text : QColor(Qt::black), f.type == GeomType::Point};
                if (c.point) {
                    const Part& part = layer.parts[f.firstPart];
                    c.anchor = xf(layer.points[part.first]) + QPointF(st.symbolSize / 2.0 + 1.0, 0);
                    c.priority = 1e18;
                } else {
                    if (pb.width() < 20 && pb.height() < 20)
                        continue;
                    // A label far wider than its shape would name its neighbours instead.
                    if (f.type == GeomType::Area && c.size.width() > 2.5 * pb.width())
                        continue;
                    c.anchor = xf(f.labelAnchor);
                    if (f.type == GeomType::Area)
                        c.shape = pb;
                }
                if (!viewRect.contains(c.anchor))
                    continue;
                m_labels.push_back(c);
            }
        }
    }
}

} // namespace cartolink
