#pragma once

#include "engine/Units.h"
#include "engine/WGRoute.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CPlanLayer;
struct PlanContext;

// The undo and redo history of the edits made to a plan's units and to its
// start and end times.
//
// Every edit the operator can make (placing, moving, deleting a unit, adding,
// changing or deleting an action or a route point, custom and general
// properties) changes the units of one number in the first layer, so a step
// keeps an exact copy of those units as they were before the edit (or their
// absence, for a unit that is placed). Undo puts that copy back and keeps
// what it replaced for redo. Units the edit did not touch are never touched
// by its undo, so playback state elsewhere in the plan survives, and a step
// costs the size of one unit, not of the plan.
//
// Callers record a step right before they change the model; a recorded edit
// that then changed nothing (a cancelled dialog, a busy gate) is recognised
// later by comparison and dropped (Settle, and again by Undo).
//
// Undo and redo replace units under the layer gate held exclusively; callers
// run them only while the clock is stopped. Not thread-safe: the
// user-interface thread owns it.
class CEditHistory {
public:
    static constexpr size_t kDefaultMaxSteps = 200;
    static constexpr size_t kDefaultMaxBytes = size_t(64) << 20;
    // How long Record waits for the gate held shared.
    static constexpr uint32_t kRecordTimeoutMs = 50;

    // An action as it was: every field, playback state included.
    struct ActionState {
        int32_t actionNo = 0;
        std::string actionName;
        int32_t actionType = 0;
        int32_t actionTime = 0;
        double speed = 0;
        double speedMapUnits = 0;
        int32_t speedDerived = 0;
        int32_t allTime = 0;
        double angle = 0;
        std::string bulletType;
        int32_t hitTime = 1;
        int32_t unitNo = 0;
        std::vector<std::vector<RoutePoint>> routes;

        // What a plan file keeps of the action.
        bool SameContent(const ActionState& other) const;
    };

    // A unit as it was, with its place among the layer's units.
    struct UnitState {
        size_t ordinal = 0;  // position among the units that are not fire units
        std::string kind;    // "01", "02-01", "02-02"
        int32_t unitNo = 0;
        std::string classId;
        int32_t unitType = 0;
        std::string unitName;
        std::string unitBitmap;
        std::string unitBitmapMask;
        double initX = 0, initY = 0;
        double curX = 0, curY = 0;
        int32_t appearTime = 0;
        double angle = 0;
        double initAngle = 0;
        std::vector<std::vector<CustomProperty>> customProperties;
        std::vector<ActionState> actions;
        // Playback and view state, restored as far as the units around allow.
        int32_t appeared = 0;
        int32_t loaded = 0;
        int32_t carrierNo = 0;
        bool handlesInside = false;

        // The plan file's content plus the current position.
        bool SameContent(const UnitState& other) const;
        size_t Bytes() const;
    };
    using UnitStates = std::vector<UnitState>;

    // The plan's start and end, seconds since the epoch.
    struct PlanTimes {
        int64_t start = 0;
        int64_t end = 0;
        bool operator==(const PlanTimes&) const = default;
    };

    // What an undo or a redo put back: the units of one number, or the plan's times.
    struct Restored {
        int32_t unitNo = 0;
        bool planTimes = false;
        bool operator==(const Restored&) const = default;
    };

    explicit CEditHistory(size_t maxSteps = kDefaultMaxSteps, size_t maxBytes = kDefaultMaxBytes);

    // Before an edit of the units numbered `unitNo` in `layer`: keeps them as
    // they are under `name` (what the menu shows, "移动单位"), and forgets
    // what could be redone. `gateHeld`: the caller holds the layer gate (shared
    // or exclusively) already. False when the gate could not be taken.
    bool Record(const CPlanLayer& layer, std::string name, int32_t unitNo, bool gateHeld = false);
    // As Record, for one edit of several unit numbers at once (a move or a
    // deletion of a multi-selection): undone and redone as one step.
    bool RecordUnits(const CPlanLayer& layer, std::string name, std::vector<int32_t> unitNos, bool gateHeld = false);
    // Before the plan's start or end time changes from `before`: keeps them
    // under `name` and forgets what could be redone.
    void RecordPlanTimes(std::string name, PlanTimes before);
    // Drops the newest step when its edit changed nothing.
    void Settle(const CPlanLayer& layer);

    // Restores the newest step (steps whose edit changed nothing are dropped
    // first). `times` holds the plan's times now and receives the restored
    // ones when the step is about them; without it, such a step stays where
    // it is and nothing is restored. What was restored; nothing when there
    // was nothing to undo.
    std::optional<Restored> Undo(CPlanLayer& layer, const PlanContext& context, PlanTimes* times = nullptr);
    std::optional<Restored> Redo(CPlanLayer& layer, const PlanContext& context, PlanTimes* times = nullptr);

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // Name of the step Undo or Redo would restore; empty when there is none.
    std::string UndoName() const { return m_undo.empty() ? std::string() : m_undo.back().name; }
    std::string RedoName() const { return m_redo.empty() ? std::string() : m_redo.back().name; }
    size_t UndoCount() const { return m_undo.size(); }
    size_t RedoCount() const { return m_redo.size(); }
    size_t MaxSteps() const { return m_maxSteps; }
    // Memory the kept copies take, roughly.
    size_t Bytes() const { return m_bytes; }
    // Grows with every recorded, undone or redone step: playback compares it
    // to know whether the plan changed since it last computed its state.
    uint64_t ChangeCount() const { return m_changes; }

    // A new plan: nothing to undo, nothing modified.
    void Clear();
    // The plan now equals its file (saved or just opened).
    void MarkClean();
    // The edits since the last MarkClean have not been undone.
    bool IsModified() const;

    // Called after every change of the history (record, settle, undo, redo, clear).
    void SetObserver(std::function<void()> observer) { m_observer = std::move(observer); }

    // The units numbered `unitNo` (fire units left out) as they are now. The
    // caller holds the gate.
    static UnitStates Capture(const CPlanLayer& layer, int32_t unitNo);
    static UnitState CaptureUnit(const CUnitCanLoad& unit, size_t ordinal);
    // Puts `states` in place of the units numbered `unitNo`: units of the same
    // kind are changed in place (keeping their playback state), others are
    // deleted and built anew, as opening a plan builds them (class record
    // looked up, images loaded). Takes the gate exclusively.
    static void Restore(CPlanLayer& layer, const PlanContext& context, int32_t unitNo, const UnitStates& states);
    static bool SameContent(const UnitStates& a, const UnitStates& b);

private:
    struct Step {
        std::string name;
        int32_t unitNo = 0;
        UnitStates units;
        // Further unit numbers of the same edit, in list order after `unitNo`.
        std::vector<std::pair<int32_t, UnitStates>> others;
        size_t bytes = 0;
        // Set for a step about the plan's times; `units` is empty then.
        std::optional<PlanTimes> times;
    };

    static size_t StepBytes(const Step& step);
    // The step with its size filled in and added to the history's total.
    Step Counted(Step step);
    void PushUndo(Step step);
    // Forgets the newest undo step, which changed nothing.
    void DropNewest();
    // Forgets what could be redone: a new edit was made.
    void ForgetRedo();
    // What the plan holds now of what `step` is about, as a step of its name.
    static Step Current(const Step& step, const CPlanLayer& layer, const PlanTimes* times);
    // The units of `step` as the layer holds them now (caller holds the gate).
    static void CaptureInto(Step& step, const CPlanLayer& layer);
    // The units `step` is about are as it keeps them (caller holds the gate).
    static bool Unchanged(const Step& step, const CPlanLayer& layer);
    static bool SameContent(const Step& a, const Step& b);
    // Puts what `step` keeps back into the plan.
    static void Put(const Step& step, CPlanLayer& layer, const PlanContext& context, PlanTimes* times);
    void DropOldest();
    void Notify();

    size_t m_maxSteps;
    uint64_t m_changes = 0;
    size_t m_maxBytes;
    std::deque<Step> m_undo;
    std::vector<Step> m_redo;
    size_t m_bytes = 0;
    // Number of undo steps at the clean state; -1 when it can no longer be reached.
    long long m_cleanIndex = 0;
    std::function<void()> m_observer;
};
