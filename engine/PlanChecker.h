#pragma once

#include "engine/PlanTimeline.h"

#include <cstdint>
#include <string>
#include <vector>

class CPlan;
class CUnitClassCatalog;

// The mistakes of a plan an operator wants to know before the exercise:
// actions that will never run or do nothing, loads and unloads that miss,
// units that never appear, clashing numbers, unknown classes, moves that do
// not finish in time. The carrying findings come from the plan's own play.
enum class FindingSeverity { Error, Warning, Info };

enum class FindingKind {
    ActionBeforeAppear,
    ActionAfterEnd,
    UnknownActionType,
    MoveWithoutPoints,
    MoveSpeedNotPositive,
    RoutePointOutsideMap,
    UnknownWeapon,
    StrikeWithoutTarget,
    StrikeCountBelowOne,
    CarrierCannotCarry,
    CarryUnknownUnit,
    CarrySelf,
    LoadCarriedByOther,
    UnloadNotCarried,
    UnloadWithoutPoint,
    NeverAppears,
    DuplicateUnitNo,
    UnknownClass,
    MoveRunningAtEnd,
};

struct PlanFinding {
    FindingSeverity severity = FindingSeverity::Error;
    FindingKind kind = FindingKind::UnknownActionType;
    size_t layer = 0;
    size_t unit = 0;          // index in the layer's unit list, fire units not counted
    int32_t unitNo = 0;
    std::string unitName;
    int64_t action = -1;      // index in the unit's action list; -1 for the unit itself
    int32_t actionNo = 0;
    std::string message;      // Chinese, for the operator
};

// "错误", "警告", "信息".
const char* SeverityText(FindingSeverity severity);
// One line: severity, UnitNo, UnitName, ActionNo (empty for the unit), message, tab-separated.
std::string FindingLine(const PlanFinding& finding);

// Checks `plan`, a copy made by CopyPlanForPlay (the catalogue is its
// context's), with `played`, the timeline of its play. Findings in layer,
// unit and action order, the unit's own before its actions'.
std::vector<PlanFinding> CheckPlan(const CPlan& plan, const PlanTimeline& played);

// Copy, play and check in one: what "检查预案" and `tarnwick-replay --check` do.
std::vector<PlanFinding> CheckPlanByPlaying(const CPlan& plan, const TimelinePlaySettings& settings = {});
