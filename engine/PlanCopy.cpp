#include "engine/PlanCopy.h"

#include "engine/Units.h"
#include "engine/WGAction.h"

namespace {

std::unique_ptr<CUnitCanLoad> NewUnitLike(const CUnitCanLoad& unit)
{
    switch (unit.m_UnitType) {
    case kUnitTypeCarrier:
        return std::make_unique<UnitCarrier>();
    case kUnitTypeSingleCarrier:
        return std::make_unique<UnitSingleCarrier>();
    default:
        // Whatever else it is, it carries nothing, as a simple unit.
        auto simple = std::make_unique<UnitSingleSimple>();
        simple->m_UnitType = unit.m_UnitType;
        return simple;
    }
}

std::unique_ptr<WGAction> CopyAction(const WGAction& a, CUnitCanLoad& owner)
{
    auto copy = std::make_unique<WGAction>();
    copy->m_ActionNo = a.m_ActionNo;
    copy->m_ActionName = a.m_ActionName;
    copy->m_ActionType = a.m_ActionType;
    copy->m_ActionTime = a.m_ActionTime;
    copy->m_Speed = a.m_Speed;
    copy->m_AllTime = a.m_AllTime;
    copy->m_Angle = a.m_Angle;
    copy->m_BulletType = a.m_BulletType;
    copy->m_HitTime = a.m_HitTime;
    copy->m_UnitNo = a.m_UnitNo;
    for (const auto& route : a.m_Routes) {
        auto r = std::make_unique<WGRoute>();
        r->m_Points = route->m_Points;
        copy->m_Routes.push_back(std::move(r));
    }
    // Playback lets the first acting unit act; in a copy that is the owner.
    if (a.GetActingUnit())
        copy->m_ActingUnits.push_back(&owner);
    return copy;
}

std::unique_ptr<CUnitCanLoad> CopyUnit(const CUnitCanLoad& unit)
{
    std::unique_ptr<CUnitCanLoad> copy = NewUnitLike(unit);
    copy->m_UnitNo = unit.m_UnitNo;
    copy->m_ClassId = unit.m_ClassId;
    copy->m_UnitName = unit.m_UnitName;
    copy->m_UnitBitmap = unit.m_UnitBitmap;
    copy->m_UnitBitmapMask = unit.m_UnitBitmapMask;
    copy->m_Image = unit.m_Image;
    copy->m_Mask = unit.m_Mask;
    copy->m_ImageWidth = unit.m_ImageWidth;
    copy->m_ImageHeight = unit.m_ImageHeight;
    copy->m_InitX = unit.m_InitX;
    copy->m_InitY = unit.m_InitY;
    copy->m_CurX = unit.m_InitX;
    copy->m_CurY = unit.m_InitY;
    copy->m_AppearTime = unit.m_AppearTime;
    copy->m_ClassInfo = unit.m_ClassInfo;
    copy->m_InitAngle = unit.m_InitAngle;
    copy->m_Angle = unit.m_InitAngle;
    copy->m_CustomProperties = unit.m_CustomProperties;
    copy->m_Actions.reserve(unit.m_Actions.size());
    for (const auto& action : unit.m_Actions)
        copy->m_Actions.push_back(CopyAction(*action, *copy));
    return copy;
}

}  // namespace

std::unique_ptr<CPlan> CopyPlanForPlay(const CPlan& plan, PlanContext context)
{
    context.play = nullptr;
    auto copy = std::make_unique<CPlan>(context);
    copy->m_StartTime = plan.m_StartTime;
    copy->m_EndTime = plan.m_EndTime;
    for (const auto& layer : plan.m_Layers) {
        auto l = std::make_unique<CPlanLayer>();
        l->m_Name = layer->m_Name;
        l->m_MapName = layer->m_MapName;
        l->m_MapSource = layer->m_MapSource;
        l->m_MapType = layer->m_MapType;
        l->m_WidthKm = layer->m_WidthKm;
        l->m_HeightKm = layer->m_HeightKm;
        CPlanLayer* raw = l.get();
        copy->m_Layers.push_back(std::move(l));
        layer->LockSharedWait();
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad* unit = layer->GetUnitAt(i);
            if (unit->AsFire())
                continue;
            // Nobody else knows the copy yet: its gate is free.
            raw->AddUnit(CopyUnit(*unit));
        }
        layer->UnlockShared();
    }
    copy->AdoptLayers();
    return copy;
}
