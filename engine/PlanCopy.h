#pragma once

#include "engine/Plan.h"

#include <memory>

// A copy of what a plan plays, to play it headless without touching the plan
// the operator sees: the start and end times, every layer's map description
// (not the map itself), and its units in list order with their actions and
// routes, as they are before the first tick. Fire units (strikes in progress,
// weapon units read from a file, which never act) are left out. Images are
// shared, not decoded again. The copy points nowhere into the original; its
// context is `context` (with no play state: give it one to play).
//
// Reads every layer of `plan` under its gate held shared (waiting for it), so
// it may run while the clock plays the original.
std::unique_ptr<CPlan> CopyPlanForPlay(const CPlan& plan, PlanContext context);
