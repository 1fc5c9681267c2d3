#include "engine/PlanChecker.h"

#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanCopy.h"
#include "engine/PlaybackEvents.h"
#include "engine/Units.h"
#include "engine/WGAction.h"

#include <algorithm>
#include <cmath>
#include <map>

using playback::Format;

namespace {

// "H:MM:SS" after the plan start; hours may exceed 23, and a time before the start has a sign.
std::string RelativeText(int64_t seconds)
{
    const char* sign = seconds < 0 ? "-" : "";
    const int64_t s = seconds < 0 ? -seconds : seconds;
    return Format("%s%lld:%02lld:%02lld", sign, (long long)(s / 3600), (long long)(s / 60 % 60), (long long)(s % 60));
}

// The extent of a layer's map in map coordinates: a bitmap map spans its size
// in kilometres from the top-left corner; a GIS map is known here only as
// longitude and latitude.
struct MapExtent {
    double minX, minY, maxX, maxY;
    bool Contains(const RoutePoint& p) const { return p.X >= minX && p.X <= maxX && p.Y >= minY && p.Y <= maxY; }
};

bool ExtentOf(const CPlanLayer& layer, MapExtent& extent)
{
    if (layer.m_MapType == 0) {
        if (!(layer.m_WidthKm > 0) || !(layer.m_HeightKm > 0))
            return false;
        extent = {0, 0, layer.m_WidthKm, layer.m_HeightKm};
        return true;
    }
    extent = {-180, -90, 180, 90};
    return true;
}

const UnitClassInfo* FindExact(const CUnitClassCatalog* catalog, const std::string& id)
{
    if (!catalog)
        return nullptr;
    for (const auto& cls : catalog->GetUnitClasses())
        if (cls->id == id)
            return cls.get();
    return nullptr;
}

class Checker {
public:
    Checker(const CPlan& plan, const PlanTimeline& played) : m_plan(plan), m_played(played) {}

    std::vector<PlanFinding> Run()
    {
        const CPlanLayer* first = m_plan.GetFirstLayer();
        for (size_t l = 0; l < m_plan.m_Layers.size(); ++l) {
            const CPlanLayer& layer = *m_plan.m_Layers[l];
            std::map<int32_t, const CUnitCanLoad*> firstOfNumber;
            MapExtent extent{};
            const bool bounded = ExtentOf(layer, extent);
            size_t index = 0;
            for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
                const CUnitCanLoad& unit = *layer.GetUnitAt(i);
                if (unit.AsFire())
                    continue;
                m_layer = l;
                m_index = index++;
                m_unit = &unit;
                CheckUnit(unit, firstOfNumber);
                for (size_t k = 0; k < unit.m_Actions.size(); ++k)
                    CheckAction(unit, k, *unit.m_Actions[k], first, bounded ? &extent : nullptr);
            }
        }
        return std::move(m_findings);
    }

private:
    void Add(FindingSeverity severity, FindingKind kind, const std::string& message, int64_t action = -1,
             const WGAction* a = nullptr)
    {
        PlanFinding f;
        f.severity = severity;
        f.kind = kind;
        f.layer = m_layer;
        f.unit = m_index;
        f.unitNo = m_unit->m_UnitNo;
        f.unitName = m_unit->m_UnitName;
        f.action = action;
        f.actionNo = a ? a->m_ActionNo : 0;
        f.message = message;
        m_findings.push_back(std::move(f));
    }

    int64_t Duration() const { return m_plan.m_EndTime - m_plan.m_StartTime; }

    void CheckUnit(const CUnitCanLoad& unit, std::map<int32_t, const CUnitCanLoad*>& firstOfNumber)
    {
        auto [it, fresh] = firstOfNumber.emplace(unit.m_UnitNo, &unit);
        if (!fresh)
            Add(FindingSeverity::Error, FindingKind::DuplicateUnitNo,
                Format("编号 %d 与单位 \"%s\" 相同", unit.m_UnitNo, it->second->m_UnitName.c_str()));
        const CUnitClassCatalog* catalog = m_plan.GetContext().catalog;
        if (catalog && !catalog->FindUnitClassById(unit.m_ClassId))
            Add(FindingSeverity::Warning, FindingKind::UnknownClass,
                Format("单位类型 \"%s\" 不在单位目录中", unit.m_ClassId.c_str()));
        if (unit.m_AppearTime < 0 || int64_t(unit.m_AppearTime) > Duration())
            Add(FindingSeverity::Warning, FindingKind::NeverAppears,
                Format("出现时间 %s 不在预案时间内, 单位不会出现", RelativeText(unit.m_AppearTime).c_str()));
    }

    void CheckAction(const CUnitCanLoad& unit, size_t k, const WGAction& a, const CPlanLayer* first,
                     const MapExtent* extent)
    {
        const auto add = [&](FindingSeverity s, FindingKind kind, const std::string& message) {
            Add(s, kind, message, int64_t(k), &a);
        };
        const bool known = a.m_ActionType >= kActionMove && a.m_ActionType <= kActionUnload;
        if (!known)
            add(FindingSeverity::Error, FindingKind::UnknownActionType,
                Format("未知的动作类型 %d, 动作不会执行", a.m_ActionType));
        if (a.m_ActionTime < unit.m_AppearTime || a.m_ActionTime < 0)
            add(FindingSeverity::Error, FindingKind::ActionBeforeAppear,
                Format("动作时间 %s 早于单位出现时间 %s, 动作不会执行", RelativeText(a.m_ActionTime).c_str(),
                       RelativeText(unit.m_AppearTime).c_str()));
        else if (int64_t(a.m_ActionTime) > Duration())
            add(FindingSeverity::Warning, FindingKind::ActionAfterEnd,
                Format("动作时间 %s 晚于预案结束时间 %s, 动作不会执行", RelativeText(a.m_ActionTime).c_str(),
                       RelativeText(Duration()).c_str()));

        const WGRoute* route = a.GetFirstRoute();
        const bool hasPoint = route && !route->m_Points.empty();
        const TimelineBar* bar = m_played.FindBar(m_layer, m_index, k);
        switch (a.m_ActionType) {
        case kActionMove:
            if (!hasPoint)
                add(FindingSeverity::Error, FindingKind::MoveWithoutPoints, "移动动作没有路线点");
            if (!(a.m_Speed > 0) || !std::isfinite(a.m_Speed))
                add(FindingSeverity::Error, FindingKind::MoveSpeedNotPositive,
                    Format("移动速度 %g 不是正数, 单位不会前进", a.m_Speed));
            else if (bar && bar->runsPastEnd)
                add(FindingSeverity::Info, FindingKind::MoveRunningAtEnd, "预案结束时移动仍未完成");
            break;
        case kActionStrike:
            if (!FindExact(m_plan.GetContext().catalog, a.m_BulletType))
                add(FindingSeverity::Error, FindingKind::UnknownWeapon,
                    Format("武器类型 \"%s\" 不在单位目录中, 打击不会发生", a.m_BulletType.c_str()));
            if (!hasPoint)
                add(FindingSeverity::Error, FindingKind::StrikeWithoutTarget, "打击动作没有目标点, 打击不会发生");
            if (a.m_HitTime < 1)
                add(FindingSeverity::Error, FindingKind::StrikeCountBelowOne,
                    Format("打击次数 %d 小于 1", a.m_HitTime));
            break;
        case kActionLoad:
        case kActionUnload:
            CheckCarry(unit, k, a, first, hasPoint, add);
            break;
        default:
            break;
        }
        if (extent && known && a.m_ActionType != kActionTurn && a.m_ActionType != kActionLoad && route) {
            for (size_t p = 0; p < route->m_Points.size(); ++p) {
                const RoutePoint& point = route->m_Points[p];
                if (!extent->Contains(point))
                    add(FindingSeverity::Warning, FindingKind::RoutePointOutsideMap,
                        Format("路线点 %zu (%.6f, %.6f) 在地图范围之外", p + 1, point.X, point.Y));
            }
        }
    }

    template <class AddFn>
    void CheckCarry(const CUnitCanLoad& unit, size_t k, const WGAction& a, const CPlanLayer* first, bool hasPoint,
                    const AddFn& add)
    {
        const bool load = a.m_ActionType == kActionLoad;
        const char* verb = load ? "装载" : "卸载";
        bool sound = true;
        if (!unit.GetCarriedUnits()) {
            add(FindingSeverity::Error, FindingKind::CarrierCannotCarry, Format("该单位不能%s其他单位", verb));
            sound = false;
        }
        if (a.m_UnitNo == unit.m_UnitNo) {
            add(FindingSeverity::Error, FindingKind::CarrySelf, Format("单位不能%s自己", verb));
            sound = false;
        } else if (!first || !first->GetUnitByNo(a.m_UnitNo)) {
            add(FindingSeverity::Error, FindingKind::CarryUnknownUnit,
                Format("没有编号为 %d 的单位可以%s", a.m_UnitNo, verb));
            sound = false;
        }
        if (!load && !hasPoint) {
            add(FindingSeverity::Error, FindingKind::UnloadWithoutPoint, "卸载动作没有卸载点, 卸载不会发生");
            sound = false;
        }
        if (!sound)
            return;
        // What the play met when the action ran.
        if (const TimelineRow* row = m_played.Find(m_layer, m_index)) {
            for (const TimelineMark& mark : row->marks) {
                if (mark.action != k)
                    continue;
                const std::string when = RelativeText(mark.ms / 1000);
                if (mark.carry == CarryOutcome::CarriedByOther)
                    add(FindingSeverity::Warning, FindingKind::LoadCarriedByOther,
                        Format("%s 时单位 %d 已被其他单位装载, 装载无效", when.c_str(), a.m_UnitNo));
                else if (mark.carry == CarryOutcome::NotCarried)
                    add(FindingSeverity::Warning, FindingKind::UnloadNotCarried,
                        Format("%s 时单位 %d 未被该单位装载, 卸载无效", when.c_str(), a.m_UnitNo));
            }
        }
    }

    const CPlan& m_plan;
    const PlanTimeline& m_played;
    std::vector<PlanFinding> m_findings;
    size_t m_layer = 0;
    size_t m_index = 0;
    const CUnitCanLoad* m_unit = nullptr;
};

}  // namespace

const char* SeverityText(FindingSeverity severity)
{
    switch (severity) {
    case FindingSeverity::Error:
        return "错误";
    case FindingSeverity::Warning:
        return "警告";
    case FindingSeverity::Info:
        return "信息";
    }
    return "";
}

std::string FindingLine(const PlanFinding& f)
{
    std::string name = f.unitName;
    std::replace(name.begin(), name.end(), '\t', ' ');
    std::replace(name.begin(), name.end(), '\n', ' ');
    return std::string(SeverityText(f.severity)) + "\t" + std::to_string(f.unitNo) + "\t" + name + "\t" +
           (f.action >= 0 ? std::to_string(f.actionNo) : std::string()) + "\t" + f.message;
}

std::vector<PlanFinding> CheckPlan(const CPlan& plan, const PlanTimeline& played)
{
    return Checker(plan, played).Run();
}

std::vector<PlanFinding> CheckPlanByPlaying(const CPlan& plan, const TimelinePlaySettings& settings)
{
    std::unique_ptr<CPlan> copy = CopyPlanForPlay(plan, plan.GetContext());
    const PlanTimeline played = PlayTimeline(*copy, settings);
    // The copy is at its end now; its content is still the plan's.
    return CheckPlan(*copy, played);
}
