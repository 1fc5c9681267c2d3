#pragma once

#include <string>
#include <vector>

// The line of one strike's flash, from striker to target, in map coordinates.
// Fire units put one into the fire-line list in every tick they are lit; the
// hit check tests units against the list.
struct FireLine {
    double startX = 0, startY = 0, startZ = 0;
    double endX = 0, endY = 0, endZ = 0;
    std::string description;  // names the striker; becomes the victim's "last attacker"
    int strikerNo = 0;        // UnitNo of the striking unit
    // The fire unit that emitted the line: an identity for the tick, never dereferenced.
    const void* source = nullptr;
};

// Emptied by the clock at the start of every tick; written and read only on
// the thread that runs the tick.
using FireLineList = std::vector<FireLine>;
