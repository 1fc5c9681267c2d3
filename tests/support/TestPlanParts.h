#pragma once

// Pieces of plans shared by the tests, the soak and nothing else: the test
// catalogue text and an action as the editor would add it. Free of GoogleTest,
// so programs that are not test suites can use them too.
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "engine/WGRoute.h"

#include <memory>
#include <utility>
#include <vector>

// A catalogue with one class of each placeable kind and a weapon.
inline constexpr const char* kTestCatalogText =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n"
    "<unitclass><node name=\"运载平台\" id=\"01\"/><node name=\"火力武器\" id=\"03\"/></unitclass>"
    "<unit>"
    "<node name=\"运输直升机\" id=\"01.01\" class=\"01\" width=\"18\" height=\"20\" exploderadius=\"0\"/>"
    "<node name=\"步兵战车\" id=\"02-01.01\" class=\"02-01\" width=\"3\" height=\"7\" exploderadius=\"0\"/>"
    "<node name=\"主战坦克\" id=\"02-02.01\" class=\"02-02\" width=\"4\" height=\"10\" exploderadius=\"0\"/>"
    "<node name=\"榴弹炮\" id=\"03.01\" class=\"03\" width=\"1\" height=\"1\" exploderadius=\"25\"/>"
    "</unit></unitinfo>";

// Adds an action of this type and time, with one route of these points, as
// the editor does (numbered after the unit's last action).
inline WGAction* AddTestAction(CUnitCanLoad& unit, int32_t type, int32_t time, std::vector<RoutePoint> points = {})
{
    auto action = std::make_unique<WGAction>();
    action->m_ActionType = type;
    action->m_ActionTime = time;
    if (!points.empty()) {
        auto route = std::make_unique<WGRoute>();
        route->m_Points = std::move(points);
        action->m_Routes.push_back(std::move(route));
    }
    return unit.AddNewAction(std::move(action));
}
