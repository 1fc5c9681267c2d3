#pragma once

#include "engine/Units.h"
#include "engine/WGAction.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// What a layer's tick walk remembers of each unit between the ticks in which
// the unit must be stepped in full (its RecvClockEvent called), so that the
// ticks between cost almost nothing: a unit that waits for its appearance or
// has nothing running is passed over, and a unit whose only running action
// is a move within a segment is moved here from the segment copied into the
// entry, the very step its move would take.
//
// An entry holds from the tick it was taken in until the unit's next action
// start (the unit's own step shortcut, see CUnitCanLoad), and only while no
// action was edited, the action list has its length and nothing else stepped
// the unit. A move that passes its segment's end point is stepped in full.
//
// Entries follow the layer's unit list index by index; the layer mirrors
// every insertion and deletion (under the gate held exclusively) and the walk
// appends entries for units appended meanwhile.
class CUnitStepTable {
public:
    enum class Mode : uint8_t {
        Visit,  // step in full
        Wait,   // not appeared before untilMs
        Idle,   // nothing runs before untilMs
        Move,   // one move within a segment
    };
    // One cache line per unit.
    struct alignas(64) Entry {
        CUnitCanLoad* unit = nullptr;
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        uint32_t untilMs = 0;  // ticks from here on step in full (the last tick time never skips)
        uint32_t fromMs = 0;
        uint32_t visits = 0;
        uint32_t segmentStartMs = 0;
        uint32_t segmentDurationMs = 0;
        uint16_t actionCount = 0;
        Mode mode = Mode::Visit;
    };

    size_t Size() const { return m_entries.size(); }
    Entry& At(size_t i) { return m_entries[i]; }
    // Entries up to index i exist (new ones step in full).
    void Reach(size_t i)
    {
        if (i >= m_entries.size())
            m_entries.resize(i + 1);
    }
    void Insert(size_t i);
    void Erase(size_t i);
    void Clear() { m_entries.clear(); }

    // Called at the start of every walk with the action edit count: after
    // an edit no entry holds.
    void BeginWalk(uint32_t edits)
    {
        m_valid = m_edits == edits;
        m_edits = edits;
    }
    bool Valid() const { return m_valid; }

    // After `unit` was stepped in full at nowMs (`baseStepped`: the step was
    // CUnitCanLoad's own), what the following ticks may do without it.
    void Take(Entry& e, CUnitCanLoad& unit, uint32_t nowMs, bool baseStepped) const;

    // Whether the entry lets the tick at nowMs pass without the unit's full
    // step (only a guess for a move: its segment may end).
    bool MaySkip(const Entry& e, uint32_t nowMs) const
    {
        return m_valid && e.mode != Mode::Visit && nowMs > e.fromMs && nowMs < e.untilMs;
    }

    // Whether the tick at nowMs will most likely step the unit in full (a
    // move at the end of its segment does), so its data is worth fetching early.
    bool WillStepInFull(const Entry& e, uint32_t nowMs) const
    {
        return !MaySkip(e, nowMs) || (e.mode == Mode::Move && nowMs - e.segmentStartMs >= e.segmentDurationMs);
    }

    // The tick at nowMs for the unit at the entry's index: true when it is
    // done (passed over, or moved along its segment), false when the unit
    // must be stepped in full.
    bool ShortStep(const Entry& e, CUnitCanLoad* unit, uint32_t nowMs) const
    {
        if (!MaySkip(e, nowMs) || e.unit != unit)
            return false;
        if (e.mode == Mode::Wait)
            return true;
        if (unit->m_StepVisits != e.visits || unit->m_Actions.size() != e.actionCount)
            return false;
        if (e.mode == Mode::Idle)
            return true;
        double x = 0, y = 0;
        if (WGAction::SegmentStep(e.x0, e.y0, e.x1, e.y1, nowMs - e.segmentStartMs, e.segmentDurationMs, x, y))
            return false;  // passes the end point: the move's own step turns to the next segment
        unit->m_CurX = x;
        unit->m_CurY = y;
        return true;
    }

private:
    std::vector<Entry> m_entries;
    uint32_t m_edits = 0;
    bool m_valid = false;
};
