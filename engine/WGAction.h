#pragma once

#include "engine/WGRoute.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPlanLayer;
class CUnitCanLoad;
class PlanXmlWriter;
class UnitFire;
class XmlPullReader;

// Action types. Any other value is kept, saved and loaded, and does nothing when played.
enum WGActionType : int32_t {
    kActionMove = 1,    // along the first route at Speed
    kActionStrike = 2,  // the first route's first point with BulletType, HitTime times
    kActionTurn = 3,    // set the unit's Angle
    kActionLoad = 4,    // load unit UnitNo
    kActionUnload = 5,  // unload unit UnitNo at the first route's first point
};

// The name the view gives a new action of this type ("移动", "打击", "装载",
// "卸载"); empty for turns (made in the action list editor) and unknown types.
const char* DefaultActionName(int32_t actionType);

// One timed action of a unit. Owned by the unit's action list; owns its routes.
// The fields after m_UnitNo are playback state, never saved.
class WGAction {
public:
    WGAction();
    ~WGAction();
    WGAction(const WGAction&) = delete;
    WGAction& operator=(const WGAction&) = delete;

    int32_t m_ActionNo = 0;    // LastActionNo of the unit + 1 when created
    std::string m_ActionName;
    int32_t m_ActionType = 0;
    int32_t m_ActionTime = 0;  // plan seconds at which the action starts
    double m_Speed = 0;        // as entered (km/h)
    double m_SpeedMapUnits = 0;
    int32_t m_AllTime = 0;     // stored for moves, unused by playback
    std::vector<CUnitCanLoad*> m_ActingUnits;  // not owned; the first one acts
    std::vector<std::unique_ptr<WGRoute>> m_Routes;
    double m_Angle = 0;        // heading a turn sets, degrees
    std::string m_BulletType;  // weapon class id of a strike
    int32_t m_HitTime = 1;     // number of strikes
    int32_t m_UnitNo = 0;      // unit loaded or unloaded

    int32_t m_Running = 0;           // a move or strike is in progress
    size_t m_CurrentPoint = 0;       // index of the current segment's start point
    uint32_t m_SegmentStartMs = 0;
    double m_SegmentLength = 0;      // map units
    uint32_t m_SegmentDurationMs = 0;
    int32_t m_SpeedDerived = 0;
    UnitFire* m_FireUnit = nullptr;  // of a running strike; owned by its layer

    CUnitCanLoad* GetActingUnit() const { return m_ActingUnits.empty() ? nullptr : m_ActingUnits.front(); }
    WGRoute* GetFirstRoute() const { return m_Routes.empty() ? nullptr : m_Routes.front().get(); }

    // Reads the children of an `action` element (its `class` attribute is not
    // used). Fields of other action types are read all the same. False only
    // when a route could not be read.
    bool Load(XmlPullReader& action);
    // Writes into the open `action` element: `class`, the common fields, the
    // fields of the type, and a `Route` holding the points of every route.
    void Save(PlanXmlWriter& out) const;

    // One tick of the action (uses only nowMs): starts in the tick whose time
    // is ActionTime x 1000, then runs while m_Running. Returns 1, except 0 for
    // a load naming the acting unit itself.
    int Execute(uint32_t previousMs, uint32_t nowMs, const void* context);

    // Ends a running move or strike, and undoes a load by a UnitSingleCarrier
    // (the carried unit is put down at (0, 0)). `firstLayer` is the plan's
    // first layer, whose gate guards the load. Sends no event.
    void Cancel(CPlanLayer* firstLayer);
    // Idle, as before its first tick: the playback fields below m_UnitNo are
    // cleared (the speed is derived again at the next start; a strike's fire
    // unit is left to its layer).
    void ResetPlayback();

    // One step of a running move along the segment p0 -> p1: the position
    // after `elapsedMs` of the segment's `durationMs` (not 0), and whether it
    // lies past p1. The fast replay predicts segment ends with this very
    // function, so its answers are the ones playback gets.
    static bool SegmentStep(const RoutePoint& p0, const RoutePoint& p1, uint32_t elapsedMs, uint32_t durationMs,
                            double& x, double& y)
    {
        return SegmentStep(p0.X, p0.Y, p1.X, p1.Y, elapsedMs, durationMs, x, y);
    }
    // The same on the coordinates (the layer's tick steps moving units with it).
    static bool SegmentStep(double x0, double y0, double x1, double y1, uint32_t elapsedMs, uint32_t durationMs,
                            double& x, double& y)
    {
        const double f = double(elapsedMs) / double(durationMs);
        x = x0 + (x1 - x0) * f;
        y = y0 + (y1 - y0) * f;
        if (x1 != x0)
            return std::fabs(x - x0) - std::fabs(x1 - x0) > 1e-11;
        return std::fabs(y - y0) - std::fabs(y1 - y0) > 1e-11;
    }

private:
    int ExecuteMove(CUnitCanLoad& unit, uint32_t nowMs);
    int ExecuteStrike(CUnitCanLoad& unit, uint32_t nowMs);
    int ExecuteLoad(CUnitCanLoad& unit);
    int ExecuteUnload(CUnitCanLoad& unit);
    // Duration of the segment from point i to i + 1 at the derived speed.
    void StartSegment(const WGRoute& route, size_t i, uint32_t nowMs);
};
