#include "render/PlanRenderer.h"

#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/PlayState.h"
#include "engine/Units.h"
#include "render/DrawRotatedMasked.h"
#include "render/PlanOverlay.h"
#include "map/MapLoader.h"
#include "map/MapSource.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <climits>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A unit (or striker) without a class record has no known range: always drawn.
bool ZoomAdmits(const UnitClassInfo* info, double zoom)
{
    return !info || (info->visible_min <= zoom && zoom <= info->visible_max);
}

// Unit images stay inside their pictures even when the stored size disagrees.
// Fire units are drawn the plain way: their angle follows a moving striker,
// so a cached picture would rarely be used twice.
void DrawFireImage(QImage& target, const CUnitCanLoad& unit, int x, int y, double angle)
{
    if (unit.m_Image.isNull() || unit.m_Mask.isNull())
        return;
    DrawRotatedMasked(target, x, y, unit.m_ImageWidth, unit.m_ImageHeight, unit.m_Image, unit.m_Mask, 0, 0, angle);
}

// Puts a premultiplied picture over an opaque one (source over), inside
// `clip`: what QPainter would do, without its set-up cost per picture.
void BlendOver(QImage& target, const QRect& clip, QPoint at, const QImage& picture)
{
    const QRect area = QRect(at, picture.size()) & clip & target.rect();
    if (area.isEmpty() || picture.format() != QImage::Format_ARGB32_Premultiplied ||
        target.format() != QImage::Format_RGB32)
        return;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* d = reinterpret_cast<uint32_t*>(target.scanLine(y));
        const auto* s = reinterpret_cast<const uint32_t*>(picture.constScanLine(y - at.y())) - at.x();
        for (int x = area.left(); x <= area.right(); ++x) {
            const uint32_t p = s[x];
            const uint32_t a = p >> 24;
            if (a == 0)
                continue;
            if (a == 255) {
                d[x] = p;
                continue;
            }
            // Two channels at a time, each times (255 - a) / 255, rounded.
            const uint32_t ia = 255 - a, q = d[x];
            uint32_t rb = (q & 0x00FF00FFu) * ia + 0x00800080u;
            rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
            uint32_t g = ((q >> 8) & 0x000000FFu) * ia + 0x80u;
            g = ((g + (g >> 8)) >> 8) & 0xFFu;
            d[x] = 0xFF000000u | ((p & 0x00FFFFFFu) + (rb | (g << 8)));
        }
    }
}

// Generous room for a carrier's count drawn from the unit's position, and
// for half a name's height.
constexpr int kCountReachX = 80, kCountReachY = 40, kNameReachY = 64;
// Names wider than this are not looked for when their unit is off the view.
constexpr int kMaxNameWidth = 4000;
constexpr int64_t kFar = int64_t(1) << 28;

}  // namespace

CPlanRenderer::CPlanRenderer(QSize bufferSize)
    : m_backBuffer(bufferSize.expandedTo(QSize(1, 1)), QImage::Format_RGB32)
{
    m_backBuffer.fill(Qt::white);
}

QColor CPlanRenderer::FromColorRef(uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QString CPlanRenderer::PickPrompt(int pickMode)
{
    switch (pickMode) {
    case 1:
        return QStringLiteral("左键选择移动路径点, 右键结束");
    case 2:
        return QStringLiteral("左键选择打击目标点");
    case 5:
        return QStringLiteral("左键选择卸载目标点");
    default:
        return {};
    }
}

void CPlanRenderer::Paint(QPainter& window, const CPlan* plan, QSize size, const PlanRenderOptions& options)
{
    const int w = size.width(), h = size.height();
    // No plan, or one without a map to show: the logo, never a stale picture.
    if (!plan || !plan->GetFirstLayer()) {
        window.fillRect(QRect(0, 0, w, h), QColor::fromRgb(kNoPlanBackground));
        if (!m_logo.isNull())
            window.drawImage(QPoint((w - m_logo.width()) / 2, (h - m_logo.height()) / 2), m_logo);
        return;
    }
    ComposePlan(*plan, size, options);

    const QRect source(0, 0, w, h);
    if (options.dragging && (options.dragDx != 0 || options.dragDy != 0)) {
        const int dx = options.dragDx, dy = options.dragDy;
        const QColor black = QColor::fromRgb(kDragBandColour);
        if (dx > 0)
            window.fillRect(QRect(0, 0, dx, h), black);
        else if (dx < 0)
            window.fillRect(QRect(w + dx, 0, -dx, h), black);
        if (dy > 0)
            window.fillRect(QRect(0, 0, w, dy), black);
        else if (dy < 0)
            window.fillRect(QRect(0, h + dy, w, -dy), black);
        window.drawImage(QPoint(dx, dy), m_backBuffer, source);
    } else {
        window.drawImage(QPoint(0, 0), m_backBuffer, source);
    }

    // The route being entered goes on the window only, so the next repaint drops it.
    if (options.pickActive && !options.pickedPoints.empty()) {
        CPlanLayer* first = plan->GetFirstLayer();
        if (!first)
            return;
        CMapLoader& map = first->m_Map;
        QPolygon line;
        for (const RoutePoint& p : options.pickedPoints) {
            int vx = 0, vy = 0;
            map.MapToView(p.X, p.Y, vx, vy);
            line << QPoint(vx, vy);
        }
        line << options.cursor;
        window.save();
        window.setPen(QPen(QColor::fromRgb(kPickRouteColour), 1, Qt::DashLine));
        window.drawPolyline(line);
        window.setBackgroundMode(Qt::TransparentMode);
        window.setPen(Qt::black);
        window.drawText(QRect(options.cursor, QSize(2000, 200)), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                        PickPrompt(options.pickMode));
        window.restore();
    }
}

CPlanRenderer::FrameKey CPlanRenderer::KeyFor(const CPlan& plan, QSize size, const PlanRenderOptions& o) const
{
    FrameKey key;
    key.size = size;
    key.editMode = o.editMode;
    key.showRoutes = o.showRoutes;
    key.showAllPlans = o.showAllPlans;
    for (const auto& layer : plan.m_Layers) {
        const CMapLoader& m = layer->m_Map;
        key.maps.insert(key.maps.end(),
                        {m.GetZoom(), double(m.GetSrcLeft()), double(m.GetSrcTop()), double(m.GetSrcRight()),
                         double(m.GetSrcBottom()), double(m.GetCenterX()), double(m.GetCenterY()),
                         double(m.GetViewWidth()), double(m.GetViewHeight()), double(m.GetGisPicture().cacheKey()),
                         double(m.GetMapImage().cacheKey())});
    }
    return key;
}

void CPlanRenderer::ComposePlan(const CPlan& plan, QSize size, const PlanRenderOptions& options)
{
    if (size.width() > m_backBuffer.width() || size.height() > m_backBuffer.height()) {
        m_backBuffer = QImage(size.expandedTo(m_backBuffer.size()), QImage::Format_RGB32);
        m_backBuffer.fill(Qt::white);
        m_lastComplete = false;
    }
    CPlanLayer* first = plan.GetFirstLayer();
    if (!first)
        return;

    // The clock thread moves units while it holds a layer's gate. The gates
    // are tried (1 ms each) before anything is drawn: when one is busy and the
    // map has not moved since the last complete picture, that picture is
    // shown again (its units one tick behind) instead of a map without units.
    std::vector<bool> locked(plan.m_Layers.size(), false);
    bool allLocked = true;
    for (size_t i = 0; i < plan.m_Layers.size(); ++i) {
        locked[i] = plan.m_Layers[i]->LockShared(1);
        allLocked = allLocked && locked[i];
    }
    const auto unlockAll = [&] {
        for (size_t i = 0; i < plan.m_Layers.size(); ++i)
            if (locked[i])
                plan.m_Layers[i]->UnlockShared();
    };
    // Conversions of the last paint decide whether the map moved.
    for (const auto& layer : plan.m_Layers)
        if (layer->m_Map.GetMapType() == 0)
            layer->m_Map.UpdateSourceRect(layer->m_Map.GetViewWidth(), layer->m_Map.GetViewHeight());
    FrameKey key = KeyFor(plan, size, options);
    if (!allLocked && m_lastComplete && key == m_lastKey) {
        unlockAll();
        m_lastCompose = 0;
        return;
    }

    CMapLoader& map = first->m_Map;
    m_bitmapRealKm = plan.GetPlayState() && plan.GetPlayState()->BitmapRealKm();
    {
        QPainter painter(&m_backBuffer);
        const QRect view = QRect(QPoint(0, 0), size) & m_backBuffer.rect();
        painter.setClipRect(view);
        m_images.BeginFrame();
        m_names.BeginFrame(painter.font());
        // Slots of layers no longer shown (another plan) go.
        for (auto it = m_imageSlots.begin(); it != m_imageSlots.end();) {
            const bool shown = std::any_of(plan.m_Layers.begin(), plan.m_Layers.end(),
                                           [&](const auto& l) { return l.get() == it->first; });
            it = shown ? std::next(it) : m_imageSlots.erase(it);
        }
        for (size_t i = 0; i < plan.m_Layers.size(); ++i) {
            CPlanLayer& layer = *plan.m_Layers[i];
            layer.m_Map.DrawMap(painter, 0, 0, layer.m_Map.GetViewWidth(), layer.m_Map.GetViewHeight());
            if (locked[i])
                DrawLayerUnits(painter, layer, map, options, view);
            if (locked[i] && options.editMode && &layer == first)
                CPlanOverlay::Draw(painter, layer, map, options.showAllPlans, plan.GetContext().catalog);
        }
    }
    unlockAll();
    m_lastKey = std::move(key);
    m_lastComplete = allLocked;
    m_lastCompose = allLocked ? 1 : -1;
}

void CPlanRenderer::DrawLayerUnits(QPainter& painter, const CPlanLayer& layer, CMapLoader& map,
                                   const PlanRenderOptions& o, const QRect& view)
{
    const double zoom = map.GetZoom();
    painter.setBackgroundMode(Qt::TransparentMode);
    m_nameCandidates.clear();
    std::vector<CRotatedImageCache::Slot>& imageSlots = m_imageSlots[&layer];
    imageSlots.resize(layer.GetUnitCount());
    for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
        CUnitCanLoad* unit = layer.GetUnitAt(i);
        int px = 0, py = 0;
        map.MapToView(unit->m_CurX, unit->m_CurY, px, py);
        const int w = unit->m_ImageWidth, h = unit->m_ImageHeight;
        // Every unit's rectangle follows it, seen or not: clicks test them.
        if (!unit->m_Selected)
            unit->m_Rect = QRect(QPoint(px - w / 2, py - h / 2), QPoint(px + w / 2, py + h / 2));
        if (unit->m_UnitType == kUnitTypeFire)
            DrawFireUnit(painter, static_cast<UnitFire&>(*unit), map, zoom, view);
        else
            DrawUnit(painter, *unit, map, zoom, px, py, o, view, &imageSlots[i]);
    }
    DrawNames(painter, view);
}

void CPlanRenderer::DrawText(QPainter& painter, int x, int y, const QString& text)
{
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

void CPlanRenderer::DrawNames(QPainter&, const QRect& view)
{
    m_labels.Reset(view);
    std::stable_partition(m_nameCandidates.begin(), m_nameCandidates.end(),
                          [](const NameCandidate& c) { return c.selected; });
    for (const NameCandidate& c : m_nameCandidates) {
        const QSize size = c.name->size;
        const QRect label(QPoint(c.x, c.y - size.height() / 2), size);
        if (m_labels.TryPlace(label))
            BlendOver(m_backBuffer, view, label.topLeft(), m_names.PictureOf(*c.name));
    }
}

void CPlanRenderer::DrawUnit(QPainter& painter, CUnitCanLoad& unit, CMapLoader& map, double zoom, int px, int py,
                             const PlanRenderOptions& o, const QRect& view, CRotatedImageCache::Slot* slot)
{
    const bool visible = o.editMode || (unit.m_Appeared && !unit.m_Loaded && ZoomAdmits(unit.m_ClassInfo, zoom));
    const int32_t carriedCount = unit.m_CarriedCount;
    const bool showCount = !o.editMode && carriedCount > 0;
    if (!visible && !showCount)
        return;
    const bool routeShown = !o.editMode && o.showRoutes && unit.m_CurrentRoute && !unit.m_CurrentRoute->m_Points.empty();
    const bool tracker = o.editMode && unit.m_Selected && m_trackerHook;
    const bool named = visible && !unit.m_UnitName.empty();
    const bool anywhere = routeShown || tracker;  // these may reach the view from anywhere

    // A cheap first look: the rotated symbol lies within `reach` of the
    // position; the count and the name lie right of it. Positions far off
    // the view may be near the ends of int, hence the wide arithmetic.
    const int64_t qx = px, qy = py;
    const int64_t reach = (std::abs(int64_t(unit.m_ImageWidth)) + std::abs(int64_t(unit.m_ImageHeight))) / 2 + 2;
    const int64_t rows = std::max<int64_t>({reach, kCountReachY, kNameReachY});
    if (!anywhere && (qy + rows < view.top() || qy - rows > view.bottom() || qx - reach > view.right()))
        return;
    const bool symbolNear = qx + reach + kCountReachX >= view.left();
    if (!anywhere && !symbolNear && (!named || qx + reach + kMaxNameWidth < view.left()))
        return;
    // So far off (or of so absurd a size) that only a route or the tracker can show.
    const bool far = std::abs(qx) > kFar || std::abs(qy) > kFar || std::abs(int64_t(unit.m_ImageWidth)) > kFar ||
                     std::abs(int64_t(unit.m_ImageHeight)) > kFar;
    if (far && !anywhere)
        return;

    const int x = far ? 0 : px - unit.m_ImageWidth / 2, y = far ? 0 : py - unit.m_ImageHeight / 2;
    int left = 0, top = 0, right = -1, bottom = -1;
    if (!far && !unit.m_Image.isNull() && !unit.m_Mask.isNull())
        CRotatedImageCache::Extent(unit.m_ImageWidth, unit.m_ImageHeight, unit.m_Angle, left, top, right, bottom);
    const QRect symbol =
        right < left ? QRect(px, py, 1, 1) : QRect(QPoint(x + left, y + top), QPoint(x + right, y + bottom));
    if (named && !far) {
        // The name starts right of the symbol; its halo keeps a pixel apart.
        const int nameX = std::max(symbol.right() + 2, px + 2);
        if (qy + kNameReachY >= view.top() && qy - kNameReachY <= view.bottom() && nameX <= view.right()) {
            CNamePictures::Entry& name = m_names.Find(unit.m_UnitName);
            if (nameX + name.size.width() > view.left())
                m_nameCandidates.push_back({&name, nameX, py, unit.m_Selected != 0});
        }
    }
    if (!anywhere && !symbol.united(QRect(px, py, kCountReachX, kCountReachY)).intersects(view))
        return;

    if (visible) {
        if (!far && !unit.m_Image.isNull() && !unit.m_Mask.isNull())
            m_images.Draw(m_backBuffer, x, y, unit.m_ImageWidth, unit.m_ImageHeight, unit.m_Image, unit.m_Mask, 0, 0,
                          unit.m_Angle, slot);
        if (tracker)
            m_trackerHook(painter, unit);
        if (routeShown) {
            QPolygon line;
            for (const RoutePoint& p : unit.m_CurrentRoute->m_Points) {
                int vx = 0, vy = 0;
                map.MapToView(p.X, p.Y, vx, vy);
                line << QPoint(vx, vy);
            }
            painter.setPen(QPen(QColor::fromRgb(kRunRouteColour), 1, Qt::DashDotLine, Qt::SquareCap));
            painter.drawPolyline(line);
        }
    }
    // A carrier shows its load in run mode even where its own picture is hidden.
    // The count, not the list: playback may be loading or unloading meanwhile.
    if (showCount && !far) {
        const QString count = QString::number(carriedCount);
        const QFontMetrics fm = painter.fontMetrics();
        painter.fillRect(QRect(px, py, fm.horizontalAdvance(count), fm.height()),
                         QColor::fromRgb(kCarriedCountBackground));
        painter.setPen(QColor::fromRgb(kCarriedCountColour));
        DrawText(painter, px, py, count);
    }
}

void CPlanRenderer::DrawFireUnit(QPainter& painter, UnitFire& fire, CMapLoader& map, double zoom, const QRect& view)
{
    // A removed fire (its strike ended or was undone) waits only for deletion.
    if (!fire.m_FlashOn || fire.m_Removed)
        return;
    RoutePoint start = fire.m_StartPoint;
    if (const CUnitCanLoad* striker = fire.m_Striker) {
        if (!ZoomAdmits(striker->m_ClassInfo, zoom) || striker->m_Loaded)
            return;
        start = {striker->m_CurX, striker->m_CurY, 0};
    }
    int sx = 0, sy = 0, tx = 0, ty = 0;
    map.MapToView(start.X, start.Y, sx, sy);
    map.MapToView(fire.m_EndPoint.X, fire.m_EndPoint.Y, tx, ty);
    const int mx = int((int64_t(sx) + tx) / 2), my = int((int64_t(sy) + ty) / 2);
    const QColor colour = FromColorRef(fire.m_ClassInfo ? fire.m_ClassInfo->fireColor : kDefaultFireColour);

    const double r = MapUnitsPerKm(map.GetMapType(), m_bitmapRealKm, start.Y) * fire.m_KillRadius / 1000;
    int rx = 0, ry = 0;
    map.MapToView(fire.m_EndPoint.X + r, fire.m_EndPoint.Y, rx, ry);
    const int radius = int(std::min<int64_t>(std::abs(int64_t(rx) - tx), INT_MAX / 2));
    // The line, the symbol on its middle and the kill circle: nothing to do
    // when all of them lie outside the view.
    const int64_t half = std::max(fire.m_ImageWidth, fire.m_ImageHeight) + 2;
    const int64_t x0 = std::min<int64_t>({sx, tx - int64_t(radius), mx - half}) - 2;
    const int64_t x1 = std::max<int64_t>({sx, tx + int64_t(radius), mx + half}) + 2;
    const int64_t y0 = std::min<int64_t>({sy, ty - int64_t(radius), my - half}) - 2;
    const int64_t y1 = std::max<int64_t>({sy, ty + int64_t(radius), my + half}) + 2;
    if (x1 < view.left() || x0 > view.right() || y1 < view.top() || y0 > view.bottom())
        return;

    // A pen wider than one pixel is drawn solid whatever its dash style.
    painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::SquareCap));
    painter.drawLine(sx, sy, tx, ty);

    const double angle = std::atan2(double(sy - ty), double(tx - sx)) * 180 / 3.14159265358979;
    DrawFireImage(m_backBuffer, fire, mx - fire.m_ImageWidth / 2, my - fire.m_ImageHeight / 2, angle);
    painter.setPen(QPen(colour, 1, Qt::DashDotLine, Qt::SquareCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPoint(tx, ty), radius, radius);
}
