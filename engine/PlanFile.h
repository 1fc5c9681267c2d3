#pragma once

#include "engine/Plan.h"

#include <cstdint>
#include <memory>
#include <string>

struct PlanLoadLimits {
    uint64_t maxBytes = uint64_t(2) << 30;  // larger files are refused unread
    int maxDepth = 256;                     // element nesting
};

// Reads a plan file. nullptr on failure, with a description in `error`: a
// file that cannot be read or exceeds the limits, bytes that are not UTF-8
// XML text, malformed or truncated XML, or a plan element the plan refuses
// (CPlan::Load). Messages about single layers go to the context's reporter.
std::unique_ptr<CPlan> LoadPlan(const std::string& path, const PlanContext& context, std::string* error = nullptr,
                                const PlanLoadLimits& limits = {});

// Writes the plan to a temporary file beside `path` that replaces it only when
// everything was written: a failed save leaves the previous file as it was.
// When the file cannot be created, reports "保存预案失败!" (caption "错误")
// through the plan's reporter. A plan with nothing under the root (no shown
// layer, no kept element) is refused unwritten. False on any failure, with `error`.
bool SavePlan(const CPlan& plan, const std::string& path, std::string* error = nullptr);
