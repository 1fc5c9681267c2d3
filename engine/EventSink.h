#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

class CUnitCanLoad;
class WGAction;

// What a playback step was, for sinks that chart the play (the timeline, the
// plan check) rather than show its text.
enum class PlayStep : uint8_t { None, MoveStart, MoveEnd, StrikeStart, StrikeEnd, Turn, Load, Unload, Flash };

// What a load or unload met in its tick, as the model saw it.
enum class CarryOutcome : uint8_t {
    None,
    Done,            // loaded, or put down
    CarriedByOther,  // a load of a unit another carrier holds: nothing changed
    NoSuchUnit,      // no unit of that number in the first layer
    NotCarried,      // an unload of a unit this carrier does not hold
    CannotCarry,     // the acting unit's kind carries nothing
};

// Who sent a playback record and when. The pointers are identities only,
// valid while the plan that played lives; a sink must not keep them longer
// or read through them.
struct PlaySource {
    PlayStep step = PlayStep::None;
    CarryOutcome carry = CarryOutcome::None;
    uint32_t planMs = 0;  // plan time of the tick
    const CUnitCanLoad* unit = nullptr;  // the acting unit (the striker, for a flash)
    const WGAction* action = nullptr;
};

// What playback tells the operator: one EventRecord per step of an action or
// hit ("%s开始移动", "%s被%s击中.[距离火力线%.2f米]" ...), one HitRecord per hit.
struct EventRecord {
    std::string timeText;  // "%H:%M:%S" of the plan's current date-time
    std::string message;
    // The plan date-time of the event (seconds since 1970), so the event list
    // can seek to it; 0 when the sender did not know it.
    int64_t epoch = 0;
    PlaySource source;
};

struct HitRecord {
    std::string victim;    // "%s[编号:%d]"
    std::string attacker;  // the fire line's description
    double distance = 0;   // metres
    std::string timeText;  // "%H:%M:%S"
    // The victim (identity only, as PlaySource) and the plan time of the tick.
    const CUnitCanLoad* victimUnit = nullptr;
    uint32_t planMs = 0;
};

// Receives events and hits from the clock thread. Implementations must not
// block on the user-interface thread (the program queues copies; the replay
// tool writes them out); records arrive in the order they happened.
class IEventSink {
public:
    virtual ~IEventSink() = default;
    virtual void OnEvent(const EventRecord& record) = 0;
    virtual void OnHit(const HitRecord& record) = 0;
    // Steps without a text of their own (a strike's flash coming on); most
    // sinks ignore them.
    virtual void OnStep(const PlaySource&) {}
};

// Keeps every record it receives, in order: the history a seek replays, and
// what tests and tools read back.
class CEventRecorder : public IEventSink {
public:
    void OnEvent(const EventRecord& record) override { events.push_back(record); }
    void OnHit(const HitRecord& record) override { hits.push_back(record); }
    void OnStep(const PlaySource& step) override { steps.push_back(step); }

    std::vector<PlaySource> steps;
    std::vector<EventRecord> events;
    std::vector<HitRecord> hits;
};

// "%H:%M:%S" in local time.
std::string FormatTimeOfDay(std::time_t t);
