#pragma once

#include "engine/EventSink.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CPlayState;

// How playback code hands event texts to the play state's sink. While a
// layer's walk holds the layer gate, the events of the walk are held back on
// this thread and handed over, in order, once the gate is released, so no
// lock of the model is held while the sink runs.
namespace playback {

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sends `message` stamped with the play state's current time text; nothing
// without a play state.
void PostEvent(CPlayState* play, const std::string& message, const PlaySource& source = {});
// Sends a step that has no text (OnStep of the sink), in order with the events.
void PostStep(CPlayState* play, const PlaySource& source);

// Holds back PostEvent calls of this thread from construction to Flush (or
// destruction). Nests: an inner scope hands its events to the outer one.
class DeferredEvents {
public:
    DeferredEvents();
    ~DeferredEvents();
    DeferredEvents(const DeferredEvents&) = delete;
    DeferredEvents& operator=(const DeferredEvents&) = delete;
    // Ends the holding and sends what was held.
    void Flush();

private:
    friend void PostEvent(CPlayState* play, const std::string& message, const PlaySource& source);
    friend void PostStep(CPlayState* play, const PlaySource& source);
    // The time text of the last event held: a tick's events share one time.
    const std::string& TimeTextOf(const CPlayState& play);

    struct Held {
        CPlayState* play;
        EventRecord record;
        bool textless;  // an OnStep
    };
    std::vector<Held> m_events;
    const CPlayState* m_timePlay = nullptr;
    int64_t m_timeEpoch = 0;
    std::string m_timeText;
    DeferredEvents* m_outer = nullptr;
    bool m_active = true;
};

}  // namespace playback
