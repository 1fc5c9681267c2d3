#pragma once

#include "engine/FireLine.h"

#include <cstdint>

// Something the clock hands every tick to: the plan and the time control panel.
class IClockReceiver {
public:
    virtual ~IClockReceiver() = default;
    // Hit detection pass over the fire lines of this tick.
    virtual void CheckHits(FireLineList& fireLines) = 0;
    // One time step: previous and current plan time in ms (unsigned, so the
    // first tick after SetTime(0) passes previous = 2^32 - 200). `context`
    // points to the wall-clock second the clock was last resumed; unused by receivers.
    virtual int RecvClockEvent(uint32_t previousMs, uint32_t nowMs, const void* context) = 0;
};
