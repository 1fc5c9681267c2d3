#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CPlan;

// Where a unit of the first layer stood at one second of play.
struct TrackSample {
    int32_t second = 0;  // plan seconds since the start
    double x = 0, y = 0; // map coordinates
    bool loaded = false; // carried by another unit
};

struct UnitTrack {
    int32_t unitNo = 0;
    std::string unitName;
    std::vector<TrackSample> samples;  // one per second the unit was on the map, in order
};

// An event or hit of the play, placed where its unit stood after the tick
// that sent it. `located` is false when no unit of the first layer could be
// named for it (x and y are then 0).
struct PlacedRecord {
    int32_t tickMs = 0;
    int64_t epoch = 0;    // plan date-time, seconds since 1970 (UTC)
    std::string timeText; // "%H:%M:%S" as the event list shows it
    std::string text;     // the event message, or "victim<-attacker" of a hit
    int32_t unitNo = -1;
    bool located = false;
    double x = 0, y = 0;
    // Hits only.
    std::string victim, attacker;
    double distance = 0;  // metres
};

struct PlayRecord {
    std::vector<UnitTrack> tracks;  // first layer units that appeared, by UnitNo
    std::vector<PlacedRecord> events;
    std::vector<PlacedRecord> hits;
    int32_t seconds = 0;  // seconds played
};

// Plays a plan from its start to `untilSeconds` tick by tick, as the clock
// does, and records the first layer's tracks once per second with every event
// and hit of the play. The plan is left as the play leaves it: the caller
// seeks it back where it was. The play state's event sink and hit list see
// nothing of this play. Only while the clock is stopped. `progress` (done,
// total seconds) returns false to stop; the record then holds what was played.
PlayRecord RecordPlay(CPlan& plan, uint32_t untilSeconds, uint32_t periodMs,
                      const std::function<bool(int, int)>& progress = {});

// The plan's length in seconds: EndTime - StartTime, 0 when it ends before it starts.
uint32_t PlanSeconds(const CPlan& plan);

// The unit a message names: the first layer unit whose name is the longest
// prefix of the message, or -1.
int32_t UnitNamedBy(const std::vector<std::pair<std::string, int32_t>>& names, const std::string& message);
