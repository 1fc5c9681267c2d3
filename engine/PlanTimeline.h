#pragma once

#include "engine/EventSink.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPlan;

// What every unit of a plan does over the plan's time, as a headless play of
// the plan computes it: the bars of moves and strikes from their start to
// their end event, the instants of turns, loads, unloads and flashes, the
// hits the unit suffers. Times are plan milliseconds of the ticks in which
// playback sent the corresponding events.
struct TimelineBar {
    size_t action = 0;       // index in the unit's action list
    int32_t actionType = 0;  // kActionMove or kActionStrike
    uint32_t startMs = 0;
    uint32_t endMs = 0;      // the end event; the plan's end when it never came
    bool ended = false;      // its end event came
    // Still running when the plan ended (a move with a route of one point
    // never runs and ends where it started).
    bool runsPastEnd = false;
    std::vector<uint32_t> flashes;  // a strike's flash coming on
};

struct TimelineMark {
    size_t action = 0;
    PlayStep step = PlayStep::None;  // Turn, Load or Unload
    uint32_t ms = 0;
    CarryOutcome carry = CarryOutcome::None;
};

struct TimelineHit {
    uint32_t ms = 0;
    std::string attacker;  // the fire line's description
    double distance = 0;   // metres
};

// What the chart says about an action when asked.
struct TimelineAction {
    int32_t actionNo = 0;
    std::string name;
    int32_t type = 0;
    int32_t time = 0;  // ActionTime, seconds
    double speed = 0;
    std::string bulletType;
    int32_t hitTime = 0;
    int32_t unitNo = 0;
    double angle = 0;
    size_t points = 0;  // of the first route
};

struct TimelineRow {
    size_t layer = 0;
    size_t unit = 0;  // index in the layer's unit list, fire units not counted
    int32_t unitNo = 0;
    std::string unitName;
    std::string classId;
    int32_t appearTime = 0;  // seconds
    std::vector<TimelineAction> actions;  // the unit's action list
    std::vector<TimelineBar> bars;    // in start order
    std::vector<TimelineMark> marks;  // in time order
    std::vector<TimelineHit> hits;
};

// The chart of one play. Rows of every layer, in layer and list order.
struct PlanTimeline {
    int64_t startTime = 0;  // the plan's StartTime
    uint32_t endMs = 0;     // the last tick played (EndTime - StartTime, in ms)
    bool played = false;    // false when the plan ends before it starts
    std::vector<TimelineRow> rows;

    // The row of a unit; nullptr when there is none.
    const TimelineRow* Find(size_t layer, size_t unit) const;
    // The bar of an action; nullptr when it never started.
    const TimelineBar* FindBar(size_t layer, size_t unit, size_t action) const;
};

struct TimelinePlaySettings {
    int checkBeenHit = 1;
    double hitDistance = 0.0001;  // map units
    uint32_t periodMs = 200;
    bool bitmapRealKm = false;  // bitmap maps in kilometres for speeds and distances
};

// The last tick a play of the plan reaches: its length in milliseconds,
// clamped to the clock's 32-bit range; negative when it ends before it starts.
int64_t PlanEndMs(const CPlan& plan, uint32_t periodMs = 200);

// Plays `copy` (a plan nobody else uses, from CopyPlanForPlay) from before its
// first tick through its end with the exact seek, and charts what every unit
// did. Any thread; the copy is left at the plan's end.
PlanTimeline PlayTimeline(CPlan& copy, const TimelinePlaySettings& settings = {});
