#include "engine/WGAction.h"

#include "config/TextNumber.h"
#include "engine/PlanLayer.h"
#include "engine/PlanXmlWriter.h"
#include "engine/Units.h"
#include "engine/XmlPullReader.h"

const char* DefaultActionName(int32_t actionType)
{
    switch (actionType) {
    case kActionMove: return "移动";
    case kActionStrike: return "打击";
    case kActionLoad: return "装载";
    case kActionUnload: return "卸载";
    default: return "";
    }
}

WGAction::WGAction() = default;
WGAction::~WGAction() = default;

namespace {

// Reads a `Route` element: no route when it has no child elements, else one
// route with the points of its `Coordinate` children.
bool LoadRoute(XmlPullReader& r, std::vector<std::unique_ptr<WGRoute>>& routes)
{
    // Points are gathered first so that each route allocates exactly once.
    thread_local std::vector<RoutePoint> points;
    points.clear();
    bool anyChild = false;
    while (r.NextChild()) {
        anyChild = true;
        if (EqualsNoCase(r.Name(), "Coordinate"))
            points.push_back(WGRoute::ReadPoint(r));
        r.Skip();
    }
    if (r.Failed())
        return false;
    if (anyChild) {
        auto route = std::make_unique<WGRoute>();
        route->m_Points.assign(points.begin(), points.end());
        routes.push_back(std::move(route));
    }
    return true;
}

}  // namespace

bool WGAction::Load(XmlPullReader& r)
{
    using textnum::ParseDouble;
    using textnum::ParseInt;
    bool ok = true;
    while (r.NextChild()) {
        const std::string_view name = r.Name();
        if (EqualsNoCase(name, "ActionNo"))
            m_ActionNo = ParseInt(r.ReadText());
        else if (EqualsNoCase(name, "ActionType"))
            m_ActionType = ParseInt(r.ReadText());
        else if (EqualsNoCase(name, "ActionTime"))
            m_ActionTime = ParseInt(r.ReadText());
        else if (EqualsNoCase(name, "AllTime"))
            m_AllTime = ParseInt(r.ReadText());
        else if (EqualsNoCase(name, "HitTime"))
            m_HitTime = ParseInt(r.ReadText());
        else if (EqualsNoCase(name, "UnitNo"))
            m_UnitNo = ParseInt(r.ReadText());
        else if (EqualsNoCase(name, "Speed"))
            m_Speed = ParseDouble(r.ReadText());
        else if (EqualsNoCase(name, "Angle"))
            m_Angle = ParseDouble(r.ReadText());
        else if (EqualsNoCase(name, "ActionName"))
            m_ActionName = r.ReadText();
        else if (EqualsNoCase(name, "BulletType"))
            m_BulletType = r.ReadText();
        else if (EqualsNoCase(name, "Route"))
            ok = LoadRoute(r, m_Routes) && ok;
        else
            r.Skip();
    }
    return ok && !r.Failed();
}

void WGAction::Save(PlanXmlWriter& out) const
{
    out.AttributeInt("class", m_ActionType);
    out.TextElementInt("ActionNo", m_ActionNo);
    out.TextElement("ActionName", m_ActionName);
    out.TextElementInt("ActionType", m_ActionType);
    out.TextElementInt("ActionTime", m_ActionTime);
    switch (m_ActionType) {
    case kActionMove:
        out.TextElementFixed("Speed", m_Speed);
        out.TextElementInt("AllTime", m_AllTime);
        break;
    case kActionStrike:
        out.TextElement("BulletType", m_BulletType);
        out.TextElementInt("HitTime", m_HitTime);
        break;
    case kActionTurn:
        out.TextElementFixed("Angle", m_Angle);
        break;
    case kActionLoad:
    case kActionUnload:
        out.TextElementInt("UnitNo", m_UnitNo);
        break;
    default:
        break;
    }
    out.StartElement("Route");
    for (const auto& route : m_Routes)
        route->Save(out);
    out.EndElement("Route");
}

void WGAction::Cancel(CPlanLayer* firstLayer)
{
    if (!m_Running && m_ActionType != kActionLoad)
        return;
    // Playback's shortcuts assume running flags change only in ticks.
    CUnitCanLoad::ActionsEdited();
    switch (m_ActionType) {
    case kActionMove:
        if (CUnitCanLoad* unit = GetActingUnit())
            unit->m_CurrentRoute = nullptr;
        m_Running = 0;
        break;
    case kActionStrike:
        if (m_FireUnit)
            m_FireUnit->m_Removed = 1;
        m_Running = 0;
        m_FireUnit = nullptr;
        break;
    case kActionLoad: {
        CUnitCanLoad* unit = GetActingUnit();
        if (unit && unit->m_UnitType == kUnitTypeSingleCarrier && firstLayer && firstLayer->LockShared(5)) {
            unit->UnloadUnit(m_UnitNo, 0, 0, 0);
            firstLayer->UnlockShared();
        }
        break;
    }
    default:
        break;
    }
}
