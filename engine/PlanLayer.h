#pragma once

#include "engine/FireLine.h"
#include "engine/HitGeometry.h"
#include "engine/LayerGate.h"
#include "engine/UnitList.h"
#include "engine/UnitStepTable.h"
#include "engine/Units.h"
#include "map/MapLoader.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class CPlan;
class CPlayState;
class PlanReadState;
class PlanXmlWriter;
class XmlPullReader;
struct PlanContext;

// One layer of a plan: its map and the units on it.
//
// The unit list is guarded by the gate: walkers hold it shared (with a short
// time-out, giving up when it runs out), deletions hold it exclusively. The
// unit table (25601 entries, one per valid UnitNo) is read without the gate.
// A unit whose UnitNo lies outside 0..25600 is kept in the list without a
// table entry; GetUnitByNo of any number is safe. A unit's UnitNo must not
// change while it is in a layer.
class CPlanLayer {
public:
    static constexpr int32_t kUnitTableSize = kMaxUnitNo + 1;

    CPlanLayer();
    ~CPlanLayer();
    CPlanLayer(const CPlanLayer&) = delete;
    CPlanLayer& operator=(const CPlanLayer&) = delete;

    std::string m_Name;       // the layer's `name`
    std::string m_MapName;
    std::string m_MapSource;  // bitmap file, or the GIS map
    int32_t m_MapType = 1;    // 0 bitmap map, 1 GIS map
    double m_WidthKm = 0;
    double m_HeightKm = 0;
    CMapLoader m_Map;
    CPlan* m_Plan = nullptr;  // the owning plan (set by the plan); not owned

    // The plan's play state, or nullptr (no plan, or a plan without one).
    CPlayState* GetPlayState() const;
    // The plan's first layer (this layer when it belongs to no plan).
    CPlanLayer* GetFirstLayerOfPlan();

    // ---- playback (clock thread) ---------------------------------------------
    // RecvClockEvent of every unit under the gate held shared (20 ms, else 0:
    // the layer skips the tick); units with the removed flag are deleted during
    // the walk (when another thread holds the gate for more than 2 ms, at
    // their next visit instead). Events of the walk reach the event sink after the gate is released.
    int DispatchClock(uint32_t previousMs, uint32_t nowMs, const void* context);
    // The hit pass: under the gate held shared (1 ms, else the layer is not
    // checked this tick) every unit in list order against the fire lines.
    // Hits go to the play state's hit list and event sink after the gate is released.
    void CheckHits(FireLineList& fireLines);

    // ---- gate -----------------------------------------------------------------
    bool LockShared(uint32_t timeoutMs) const { return m_Gate.LockShared(timeoutMs); }
    void LockSharedWait() const { m_Gate.LockSharedWait(); }
    void UnlockShared() const { m_Gate.UnlockShared(); }
    void LockExclusive() const { m_Gate.LockExclusive(); }
    // Edits from the user interface (names, times, positions, actions) while
    // the clock may run: the clock thread reads those fields under the shared
    // gate, so an edit holds the gate exclusively, giving up after `timeoutMs`.
    bool TryLockExclusive(uint32_t timeoutMs) const { return m_Gate.TryLockExclusive(timeoutMs); }
    void UnlockExclusive() const { m_Gate.UnlockExclusive(); }
    CLayerGate& Gate() const { return m_Gate; }

    // ---- units ----------------------------------------------------------------
    // Appends the unit (gate shared, 50 ms) and enters it in the unit table.
    // False when the gate was not obtained; the unit is then destroyed.
    bool AddUnit(std::unique_ptr<CUnitCanLoad> unit);
    // The table entry for n; nullptr for an empty entry or a number outside 0..25600.
    CUnitCanLoad* GetUnitByNo(int32_t unitNo) const;
    // Delete under the gate held exclusively. References other units hold to a
    // deleted unit (carried lists, a fire unit's striker, a strike's fire unit)
    // are cleared; units carried by a deleted carrier are put down where they
    // are. When the unit table points at the deleted unit, its entry is emptied
    // (even if another unit of that number remains).
    void DeleteUnit(CUnitCanLoad* unit);
    void DeleteUnitsByNo(int32_t unitNo);
    void ClearUnits();
    // Undo and redo put units back where they were; both need the gate held
    // exclusively. Insert at `index` (clamped to the list's size), entering
    // the unit in the unit table; delete as DeleteUnit does.
    void InsertUnitLocked(size_t index, std::unique_ptr<CUnitCanLoad> unit);
    void DeleteUnitLocked(CUnitCanLoad* unit);
    // Largest UnitNo below 25600 in the layer, 0 when there is none. Read from
    // the unit table, so it needs no gate (and never skips).
    int32_t MaxUnitNo() const;
    // Every unit back to its state at plan time 0 (position, heading,
    // appeared, carrying; see CUnitCanLoad::ResetPlayback). Actions keep
    // their progress. Waits for the gate: called only while the clock is stopped.
    void ResetPositions();
    // Everything playback changed, back to the state before the first tick:
    // the units as ResetPositions leaves them, every action idle (a changed
    // speed is derived again), the fires of strikes deleted. Takes the gate
    // exclusively; only while the clock is stopped.
    void ResetPlayback();
    // CancelActions on every unit; waits for the gate like ResetPositions.
    void CancelAllActions(CPlanLayer* firstLayer);
    // A unit's position was set by something other than its own step (an
    // unload): positions gathered by the tick's walk no longer hold.
    void NotePositionWrite() { m_PositionWrites.fetch_add(1, std::memory_order_relaxed); }

    // Calls visit(fire) for every fire unit of the layer, in no particular
    // order; hold the gate shared. Cheaper than a walk over all units.
    template <class Visit>
    void ForEachFireUnit(Visit&& visit) const
    {
        std::lock_guard<std::mutex> lock(m_FireMutex);
        for (UnitFire* fire : m_FireUnits)
            visit(*fire);
    }

    // Walking: hold the gate shared; i < a GetUnitCount() read under it.
    size_t GetUnitCount() const { return m_Units.Size(); }
    CUnitCanLoad* GetUnitAt(size_t i) const { return m_Units.At(i); }

    // The tick's walk: under the gate held shared (`timeoutMs`, else 0 is
    // returned), visit(unit) for every unit in list order, including units
    // appended during the walk. visit returning 0 ends the walk (result 0).
    // A visited unit whose m_Removed is set is deleted at once (the gate is
    // released, taken exclusively for the deletion, and taken shared again;
    // when that fails the walk ends with 1) and the walk goes on with the unit
    // that followed it. Returns 1 after the last unit.
    template <class Visit>
    int DispatchUnits(Visit&& visit, uint32_t timeoutMs = 20);

    // ---- file ---------------------------------------------------------------
    // Reads a `Layer` element: `name`, the `map` description and the units of
    // `unitlist`. The map itself is loaded by LoadLayerMap.
    bool Load(XmlPullReader& layer, PlanReadState& state);
    // Loads the map described by the fields. With `useDefaultMapImage`, a
    // bitmap source that is not a file is looked up in the module folder's
    // DefaultMapImage folder; m_MapSource keeps the stored text either way.
    // On failure reports "图层加载地图失败".
    bool LoadLayerMap(const PlanContext& context, bool useDefaultMapImage);
    // Writes the layer into its open `Layer` element.
    void Save(PlanXmlWriter& out) const;

private:
    // Deletes the unit at index i; the gate is held exclusively.
    void DeleteAtLocked(size_t i);
    // Finds `unit` (expected at `hint`) and deletes it if its removed flag is
    // still set; returns the index of the entry that followed it.
    size_t DeleteRemovedLocked(CUnitCanLoad* unit, size_t hint);
    void ReadUnits(XmlPullReader& unitList, PlanReadState& state);
    // Every unit entered in the list passes here (fire units are registered).
    void Entered(CUnitCanLoad* unit);

    // The tick walk's memory of each unit (clock thread; changed with the
    // list under the gate held exclusively).
    CUnitStepTable m_Steps;
    // The tick's walk leaves in the hit pass's scratch (m_HitXs ...) every
    // unit's position and flag as of its step; the hit pass uses them when
    // neither the list nor any position changed since (else it reads the units).
    bool HitInputsCurrent() const;
    bool m_HitInputsFromWalk = false;
    uint64_t m_HitInputsWrites = 0;
    uint64_t m_HitInputsChanges = 0;
    std::atomic<uint64_t> m_PositionWrites{0};
    std::atomic<uint64_t> m_ListChanges{0};  // units entered or deleted

    // The fire units in the list: the end of a tick looks at them only.
    std::vector<UnitFire*> m_FireUnits;
    mutable std::mutex m_FireMutex;  // appends run under the shared gate

    // Scratch of the hit pass, reused from tick to tick (clock thread only).
    std::vector<double> m_HitXs, m_HitYs;
    std::vector<uint8_t> m_HitFlags;  // whether the flag was set when the pass began
    std::vector<CUnitCanLoad*> m_HitUnits;
    struct ExactHit {
        uint32_t unit, line;
        double distance;  // map units
    };
    std::vector<std::pair<uint32_t, uint32_t>> m_HitPairs;
    std::vector<ExactHit> m_ExactHits;
    std::vector<CUnitCanLoad::PendingHit> m_PendingHits;
    hitgeometry::CandidateFinder m_HitFinder;

    mutable CLayerGate m_Gate;
    CUnitList m_Units;
    std::unique_ptr<std::atomic<CUnitCanLoad*>[]> m_UnitTable;
};

template <class Visit>
int CPlanLayer::DispatchUnits(Visit&& visit, uint32_t timeoutMs)
{
    m_HitInputsFromWalk = false;  // units step here without noting their positions
    if (!LockShared(timeoutMs))
        return 0;
    size_t i = 0;
    while (i < m_Units.Size()) {
        const size_t size = m_Units.Size();
        if (i + 6 < size)
            m_Units.At(i + 6)->PrefetchSelf();
        if (i + 4 < size)
            m_Units.At(i + 4)->PrefetchActionList();
        if (i + 2 < size)
            m_Units.At(i + 2)->PrefetchSteppedAction();
        CUnitCanLoad* unit = m_Units.At(i);
        if (visit(*unit) == 0) {
            UnlockShared();
            return 0;
        }
        if (unit->m_Removed == 0) {
            ++i;
            continue;
        }
        UnlockShared();
        LockExclusive();
        i = DeleteRemovedLocked(unit, i);
        UnlockExclusive();
        if (!LockShared(timeoutMs))
            return 1;
    }
    UnlockShared();
    return 1;
}
