#pragma once

#include "render/PlanRenderer.h"
#include "uikit/RectTracker.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class CTarnwickApp;
class CUnitCanLoad;
class QAction;
class QMenu;
class QPainter;
struct UnitClassInfo;

// The parameter dialogs the view's editing commands open, replaceable so that
// tests never block on a modal window. Each returns false when cancelled.
struct ViewDialogs {
    // In: the default speed and the box checked; out: the speed and the box.
    std::function<bool(double& speed, bool& asDefault)> speed;
    // Out: weapon class id (empty: none chosen) and number of strikes.
    std::function<bool(std::string& weaponId, int& count)> strike;
    // Out: the chosen UnitNo (left as it was when nothing is chosen).
    std::function<bool(int& unitNo)> target;
    // Shows the unit context menu at a screen point; the chosen item or null.
    std::function<QAction*(QMenu& menu, const QPoint& globalPos)> contextMenu;
};

// The plan view: the first layer's map and the plan's units, composed in a
// back buffer and copied in one go. Without a plan it shows the blue
// background with Logo.bmp centred. The clock asks for repaints from its own
// thread through RequestRepaint, which only posts; pending requests collapse
// into one paint.
//
// It is also where the plan is edited with the mouse: zoom tools, map drags,
// selecting and moving units with a rectangle tracker, the unit context menu
// and the pick of route points and targets that the menu's commands start.
class CTarnwickView : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb kNoPlanBackground = CPlanRenderer::kNoPlanBackground;
    static constexpr QRgb kUnitNameColour = CPlanRenderer::kUnitNameColour;
    static constexpr double kInitialDefaultSpeed = 30.0;  // km/h
    static constexpr int kDragThreshold = 4;               // pixels a drag must exceed to pan

    explicit CTarnwickView(CTarnwickApp& app, QWidget* parent = nullptr);

    // Map tool: 0 select, 1 zoom in on click, 2 zoom out on click.
    int GetMapTool() const { return m_mapTool; }
    void SetMapTool(int tool);

    // Where the dialogs come from (owned by the caller, outliving the view);
    // null: the real dialogs.
    void SetDialogs(ViewDialogs* dialogs) { m_dialogs = dialogs; }
    // The time panel's current time, seconds from the plan start.
    void SetCurrentTimeSource(std::function<int()> source) { m_currentTime = std::move(source); }
    int CurrentTime() const { return m_currentTime ? m_currentTime() : 0; }

    // Safe from any thread.
    void RequestRepaint();
    // Paints the scene (plan or no-plan picture) of the given size; used by
    // the paint event and by printing.
    void Render(QPainter& painter, const QSize& size);
    // Gives every layer's map the view's size.
    void ApplyViewSize();
    // Paint events handled since construction (tests: coalescing).
    int PaintCount() const { return m_paintCount; }
    // What the next paint depends on: the application's flags, the drag and
    // pick state below and the cursor.
    PlanRenderOptions RenderOptions() const;
    // The drawing code (its tracker hook draws the selected unit's tracker).
    CPlanRenderer& Renderer() { return m_renderer; }

    // ---- editing state -----------------------------------------------------------
    double DefaultSpeed() const { return m_defaultSpeed; }
    int SpeedGiven() const { return m_speedGiven; }
    int PickMode() const { return m_viewState.pickMode; }
    bool PickActive() const { return m_viewState.pickActive; }
    const std::vector<RoutePoint>& PickedPoints() const { return m_viewState.pickedPoints; }
    bool Dragging() const { return m_viewState.dragging; }
    // The rubber band of a Ctrl-drag on the map (view pixels); null when none.
    QRect RubberBand() const { return m_viewState.rubberBand; }

    // ---- direct manipulation -----------------------------------------------------
    // One wheel step: zooms in (steps > 0) or out about `at`, keeping the map
    // point under it in place.
    void ZoomAbout(const QPoint& at, int steps);
    // Moves the selected units that may move now by (dx, dy) view pixels as one
    // undoable edit; false when none could move (the status bar says why).
    bool NudgeSelected(int dx, int dy);
    // The numbers of the selected units of the first layer, in list order.
    std::vector<int32_t> SelectedUnitNos() const;
    // What the tooltip over a view point says; empty when no unit is there.
    QString UnitToolTipAt(const QPoint& p) const;
    // The cursor the view shows over a view point with the select tool.
    Qt::CursorShape CursorShapeAt(const QPoint& p) const;
    // "显示全部计划": every unit's plan is drawn in edit mode, not the selected one's alone.
    void SetShowAllPlans(bool on);
    bool ShowAllPlans() const { return m_viewState.showAllPlans; }
    QPoint DragOffset() const { return {m_viewState.dragDx, m_viewState.dragDy}; }

    // ---- unit context menu commands ----------------------------------------------
    enum MenuCommand {
        ID_MOVE_TO = 32824, ID_LOAD = 32825, ID_TURN = 32827, ID_MOVE_AT_SPEED = 32828,
        ID_DELETE_UNIT = 32829, ID_STRIKE = 32830, ID_UNLOAD = 32832,
    };
    // Builds the unit context menu ("menu1") with the speed item's text for
    // the current default speed.
    void BuildUnitMenu(QMenu& menu);
    // Opens the unit context menu at a screen point (ignored while picking,
    // in run mode or without a selected unit); runs the chosen command.
    void OpenContextMenu(const QPoint& globalPos);
    void OnCommand(int command);
    void OnMoveTo();
    void OnMoveAtSpeed();
    void OnStrike();
    void OnLoad();
    void OnUnload();
    void OnDeleteUnit();

    // After undo or redo replaced the units numbered `unitNo`: no unit stays
    // selected, a pick or a unit drag in progress ends, and the panels show
    // that unit (nothing, when it no longer exists).
    void ShowRestoredUnit(int32_t unitNo);

    // A catalogue item dragged over the view (screen point): the mouse
    // position feed goes on as for a mouse move, so a drop lands there.
    void OnCatalogueDragAt(const QPoint& screenPoint);
    // A catalogue class dropped at a screen point: a new unit at the last
    // mouse map position. True when a unit was added.
    bool DropUnitClass(const QPoint& screenPoint, UnitClassInfo& info);

signals:
    // The mouse moved over the view (view pixels).
    void mouseMovedTo(QPoint point);
    // The map was zoomed or moved, by the view itself or by a window of the
    // GIS map (overview, control panel).
    void mapViewChanged();
    // For the property panels: a unit was clicked or moved; its number, name,
    // appear time and two positions: where it appears (its initial position)
    // and where it is (its current position in edit mode, the clicked point
    // in run mode).
    void unitShown(int unitNo, QString name, int appearTime, double x1, double y1, double x2, double y2);
    // The action panel should show this unit's actions (also after a new action).
    void unitActionsChanged(int unitNo);
    // The custom property panel should show this unit.
    void unitPropertiesShown(int unitNo);
    // A map point clicked while the route-select pick flag is set.
    void routePointPicked(double x, double y, double z);
    // The same pick, as the screen point clicked (the dialog moves beside it).
    void routePointPickedAt(QPoint globalPos);
    // A short explanation for the status bar (why a gesture did nothing).
    void statusMessage(QString text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    void LeftButtonDown(const QPoint& p, Qt::KeyboardModifiers modifiers);
    void LeftButtonUp(const QPoint& p);
    // True when the press was used (a pick ended, the map zoomed).
    bool RightButtonDown();
    // Ctrl-press: toggles the unit under `p`, or starts a rubber band on the map.
    void ToggleOrBand(const QPoint& p);
    void StartPick(int mode, int speedGiven);
    void FinishMove();
    void FinishStrike(double x, double y);
    void FinishUnload(double x, double y);
    void SelectAt(const QPoint& p, double x, double y);
    void EndUnitTracking();
    void EndRubberBand();
    // The unit under a view point, last drawn first (caller holds the gate).
    CUnitCanLoad* UnitAt(const QPoint& p) const;
    // Why a unit may not be moved now; empty when it may.
    QString MoveLockReason(const CUnitCanLoad& unit) const;
    // The first selected unit of the first layer (caller holds the gate).
    CUnitCanLoad* FirstSelected() const;
    // A new action of `type` for `unit`, filled with the common fields.
    void AddAction(CUnitCanLoad& unit, int type, double speed, const std::vector<RoutePoint>& points,
                   const std::string& weapon, int count, int unitNo);
    // The image rectangle centred on the unit's position on screen.
    QRect UnitRect(const CUnitCanLoad& unit) const;
    void ShowUnitInPanels(const CUnitCanLoad& unit);
    // The replaced dialogs where given, the real ones otherwise.
    ViewDialogs Dialogs() const;

    CTarnwickApp& m_app;
    CPlanRenderer m_renderer;
    // Drag offset and pick state of the interaction; the app flags and the
    // cursor are filled in for each paint.
    PlanRenderOptions m_viewState;
    int m_mapTool = 0;
    double m_defaultSpeed = kInitialDefaultSpeed;
    int m_speedGiven = 0;
    QPoint m_dragStart;
    // How much of the current drag a GIS map has already been panned by: it
    // follows the mouse live, so no band without map opens at the edges.
    QPoint m_dragPanned;
    double m_selX = 0, m_selY = 0;
    // The unit being moved by its tracker (0: none).
    int32_t m_trackedUnitNo = 0;
    CRectTracker m_tracker;
    ViewDialogs m_realDialogs;
    ViewDialogs* m_dialogs = nullptr;
    std::function<int()> m_currentTime;
    int m_paintCount = 0;
    std::atomic<bool> m_repaintPending{false};
    // A right press that ended a pick or zoomed: the context-menu event that
    // follows it belongs to that press and opens nothing.
    bool m_swallowContextMenu = false;
    QPoint m_bandStart;
    int m_wheelRemainder = 0;  // eighths of a degree short of a whole step
};
