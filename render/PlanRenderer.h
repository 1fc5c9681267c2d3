#pragma once

#include "engine/WGRoute.h"
#include "render/LabelPlacer.h"
#include "render/NamePictures.h"
#include "render/RotatedImageCache.h"

#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class CMapLoader;
class CPlan;
class CPlanLayer;
class CUnitCanLoad;
class QPainter;
class UnitFire;

// What a repaint depends on besides the plan: the application's mode flags
// and the view's drag and pick state.
struct PlanRenderOptions {
    bool editMode = false;    // the application's edit-mode flag
    bool showRoutes = false;  // "显示/隐藏路线"
    bool dragging = false;
    int dragDx = 0, dragDy = 0;
    int pickMode = 0;  // 1 route points, 2 strike target, 5 unload target
    bool pickActive = false;
    std::vector<RoutePoint> pickedPoints;  // map coordinates
    QPoint cursor;                         // view pixels
    bool showAllPlans = false;             // "显示全部计划": every unit's plan in edit mode
    QRect rubberBand;                      // Ctrl-drag selection band; null when none
};

// Draws a plan (or the no-plan picture) the way the plan view shows it. The
// scene is composed in a back buffer and copied to the window in one step;
// nothing is erased first. No widgets: the view, printing and the headless
// tools share this code.
class CPlanRenderer {
public:
    static constexpr QRgb kNoPlanBackground = 0xFF3234FF;  // RGB(50, 52, 255)
    static constexpr QRgb kUnitNameColour = 0xFFB95BB7;    // RGB(185, 91, 183)
    static constexpr QRgb kUnitNameHalo = 0xD2FFFFFF;      // white, a little see-through
    static constexpr QRgb kCarriedCountColour = 0xFF0000FF;
    static constexpr QRgb kCarriedCountBackground = 0xFFFFFFFF;
    static constexpr QRgb kRunRouteColour = 0xFFC80000;    // RGB(200, 0, 0)
    static constexpr QRgb kPickRouteColour = 0xFFFF0000;
    static constexpr QRgb kDragBandColour = 0xFF000000;
    static constexpr uint32_t kDefaultFireColour = 200;    // 0x00BBGGRR

    // Draws the selected unit's tracker in edit mode (after its image, before
    // its name). Unset: no tracker.
    using TrackerHook = std::function<void(QPainter&, const CUnitCanLoad&)>;

    // The back buffer starts with `bufferSize` and grows when a larger view is drawn.
    explicit CPlanRenderer(QSize bufferSize = QSize(1920, 1080));

    void SetLogo(const QImage& logo) { m_logo = logo; }
    void SetTrackerHook(TrackerHook hook) { m_trackerHook = std::move(hook); }

    // The whole window picture of a `size` view: the no-plan picture when
    // `plan` is null, else the plan composed in the back buffer, copied with
    // the drag offset (uncovered bands black), and the pick rubber band with
    // its prompt on top.
    void Paint(QPainter& window, const CPlan* plan, QSize size, const PlanRenderOptions& options);

    // Composes the plan into the back buffer: every layer's map and units.
    void ComposePlan(const CPlan& plan, QSize size, const PlanRenderOptions& options);
    const QImage& BackBuffer() const { return m_backBuffer; }

    // Where the last composition put unit names (view pixels, halo
    // included), in the order they were placed.
    const std::vector<QRect>& PlacedNames() const { return m_labels.Placed(); }
    const CRotatedImageCache& ImageCache() const { return m_images; }

    // How the last composition went: 1 when every layer's units were drawn,
    // 0 when a busy layer left the previous picture on show, -1 when a busy
    // layer was drawn with its map alone.
    int LastComposeResult() const { return m_lastCompose; }

    // The prompt of a pick mode; empty for other modes.
    static QString PickPrompt(int pickMode);
    // 0x00BBGGRR as a colour.
    static QColor FromColorRef(uint32_t bgr);

private:
    struct FrameKey {
        QSize size;
        bool editMode = false, showRoutes = false, showAllPlans = false;
        std::vector<double> maps;  // per layer: zoom, source rectangle, centre, picture id
        bool operator==(const FrameKey&) const = default;
    };
    FrameKey KeyFor(const CPlan& plan, QSize size, const PlanRenderOptions& options) const;

    // A name waiting for its place: its unit's position and symbol extent.
    struct NameCandidate {
        CNamePictures::Entry* name;
        int x, y;  // left edge and vertical centre of the label
        bool selected;
    };

    void DrawLayerUnits(QPainter& painter, const CPlanLayer& layer, CMapLoader& map, const PlanRenderOptions& o,
                        const QRect& view);
    void DrawUnit(QPainter& painter, CUnitCanLoad& unit, CMapLoader& map, double zoom, int px, int py,
                  const PlanRenderOptions& o, const QRect& view, CRotatedImageCache::Slot* slot);
    void DrawFireUnit(QPainter& painter, UnitFire& fire, CMapLoader& map, double zoom, const QRect& view);
    void DrawText(QPainter& painter, int x, int y, const QString& text);
    // Names by priority (selected units first, then unit order), each left
    // out where it would overlap one already drawn.
    void DrawNames(QPainter& painter, const QRect& view);

    QImage m_backBuffer;
    QImage m_logo;
    TrackerHook m_trackerHook;
    CRotatedImageCache m_images;
    // Per layer, per unit index: where the unit's picture was found last time.
    std::unordered_map<const CPlanLayer*, std::vector<CRotatedImageCache::Slot>> m_imageSlots;
    // Laying out text costs more than copying its picture on every repaint.
    CNamePictures m_names{kUnitNameColour, QColor::fromRgba(kUnitNameHalo)};
    CLabelPlacer m_labels;
    std::vector<NameCandidate> m_nameCandidates;
    FrameKey m_lastKey;
    bool m_lastComplete = false;  // the back buffer holds a complete picture of m_lastKey
    int m_lastCompose = 1;
    bool m_bitmapRealKm = false;  // the plan's play state: bitmap maps in kilometres
};
