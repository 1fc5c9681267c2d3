#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// What playback tells the operator: one EventRecord per step of an action or
// hit ("%s开始移动", "%s被%s击中.[距离火力线%.2f米]" ...), one HitRecord per hit.
struct EventRecord {
    std::string timeText;  // "%H:%M:%S" of the plan's current date-time
    std::string message;
    // The plan date-time of the event (seconds since 1970), so the event list
    // can seek to it; 0 when the sender did not know it.
    int64_t epoch = 0;
};

struct HitRecord {
    std::string victim;    // "%s[编号:%d]"
    std::string attacker;  // the fire line's description
    double distance = 0;   // metres
    std::string timeText;  // "%H:%M:%S"
};

// Receives events and hits from the clock thread. Implementations must not
// block on the user-interface thread (the program queues copies; the replay
// tool writes them out); records arrive in the order they happened.
class IEventSink {
public:
    virtual ~IEventSink() = default;
    virtual void OnEvent(const EventRecord& record) = 0;
    virtual void OnHit(const HitRecord& record) = 0;
};

// Keeps every record it receives, in order: the history a seek replays, and
// what tests and tools read back.
class CEventRecorder : public IEventSink {
public:
    void OnEvent(const EventRecord& record) override { events.push_back(record); }
    void OnHit(const HitRecord& record) override { hits.push_back(record); }

    std::vector<EventRecord> events;
    std::vector<HitRecord> hits;
};

// "%H:%M:%S" in local time.
std::string FormatTimeOfDay(std::time_t t);
