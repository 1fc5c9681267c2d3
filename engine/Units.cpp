#include "engine/Units.h"

#include "config/ModulePaths.h"
#include "config/TextNumber.h"
#include "engine/PlanContext.h"
#include "engine/PlanLayer.h"
#include "engine/PlanXmlWriter.h"
#include "engine/XmlPullReader.h"

#include <QString>

#include <algorithm>
#include <atomic>

namespace {

void LoadCarried(CUnitCanLoad& carrier, int32_t unitNo)
{
    if (!carrier.m_Layer)
        return;
    CUnitCanLoad* unit = carrier.m_Layer->GetUnitByNo(unitNo);
    if (!unit || unit == &carrier || unit->m_Loaded)
        return;
    unit->m_Loaded = 1;
    unit->m_CarrierNo = carrier.m_UnitNo;
    carrier.AppendCarried(unit);
}

// Drops one back reference of `unit` to `carrier`.
void DropCarriedBy(CUnitCanLoad& unit, const CUnitCanLoad* carrier)
{
    auto& by = unit.m_CarriedBy;
    if (auto it = std::find(by.begin(), by.end(), carrier); it != by.end())
        by.erase(it);
}

void UnloadCarried(CUnitCanLoad& carrier, std::vector<CUnitCanLoad*>& carried, int32_t unitNo, double x, double y)
{
    for (auto it = carried.begin(); it != carried.end();) {
        CUnitCanLoad* unit = *it;
        if (unit->m_UnitNo != unitNo) {
            ++it;
            continue;
        }
        unit->m_CarrierNo = 0;
        unit->m_CurX = x;
        unit->m_CurY = y;
        if (unit->m_Layer)
            unit->m_Layer->NotePositionWrite();
        unit->m_Loaded = 0;
        DropCarriedBy(*unit, &carrier);
        it = carried.erase(it);
    }
    carrier.m_CarriedCount = int32_t(carried.size());
}

std::atomic<uint32_t> g_actionEdits{1};

QImage LoadUnitImage(const std::string& moduleFolder, const std::string& stored, CUnitImageCache* cache)
{
    if (stored.empty())
        return {};
    const std::string path = modulepaths::ResolveStoredPath(moduleFolder, stored);
    return cache ? cache->Get(path) : CUnitImageCache::Load(path);
}

}  // namespace

// ---- custom properties -----------------------------------------------------

void CustomPropertyList::LoadProperty(const XmlPullReader& property)
{
    m_Properties.push_back({textnum::ParseInt(property.Attribute("ID")), std::string(property.Attribute("name")),
                            std::string(property.Attribute("value"))});
}

void CustomPropertyList::Save(PlanXmlWriter& out) const
{
    for (const CustomProperty& p : m_Properties) {
        out.StartElement("Property");
        out.AttributeInt("ID", p.ID);
        out.Attribute("name", p.name);
        out.Attribute("value", p.value);
        out.EndElement("Property");
    }
}

// ---- CUnitCanLoad ----------------------------------------------------------

CUnitCanLoad::CUnitCanLoad(int32_t unitType) : m_UnitType(unitType) {}

CUnitCanLoad::~CUnitCanLoad()
{
    // The flashes of its strikes outlive the striker until their next tick.
    for (UnitFire* fire : m_Fires)
        fire->m_Striker = nullptr;
}

void CUnitCanLoad::ActionsEdited()
{
    g_actionEdits.fetch_add(1, std::memory_order_acq_rel);
}

uint32_t CUnitCanLoad::ActionEditCount()
{
    return g_actionEdits.load(std::memory_order_acquire);
}

void CUnitCanLoad::AppendCarried(CUnitCanLoad* unit)
{
    std::vector<CUnitCanLoad*>* carried = GetCarriedUnits();
    if (!carried || !unit)
        return;
    carried->push_back(unit);
    unit->m_CarriedBy.push_back(this);
    m_CarriedCount = int32_t(carried->size());
}

void CUnitCanLoad::ClearCarried()
{
    std::vector<CUnitCanLoad*>* carried = GetCarriedUnits();
    if (!carried)
        return;
    for (CUnitCanLoad* unit : *carried)
        DropCarriedBy(*unit, this);
    carried->clear();
    m_CarriedCount = 0;
}

int CUnitCanLoad::Load(XmlPullReader& r, PlanReadState& state)
{
    using textnum::ParseDouble;
    using textnum::ParseInt;
    bool anyChild = false;
    while (r.NextChild()) {
        anyChild = true;
        const std::string_view name = r.Name();
        if (EqualsNoCase(name, "UnitNo")) {
            m_UnitNo = ParseInt(r.ReadText());
        } else if (EqualsNoCase(name, "UnitType")) {
            m_UnitType = ParseInt(r.ReadText());
        } else if (EqualsNoCase(name, "AppearTime")) {
            m_AppearTime = ParseInt(r.ReadText());
        } else if (EqualsNoCase(name, "UnitName")) {
            m_UnitName = r.ReadText();
        } else if (EqualsNoCase(name, "UnitBitmap")) {
            m_UnitBitmap = r.ReadText();
        } else if (EqualsNoCase(name, "UnitBitmapMask")) {
            m_UnitBitmapMask = r.ReadText();
        } else if (EqualsNoCase(name, "RelativeCoordinateX")) {
            m_InitX = m_CurX = ParseDouble(r.ReadText());
        } else if (EqualsNoCase(name, "RelativeCoordinateY")) {
            m_InitY = m_CurY = ParseDouble(r.ReadText());
        } else if (EqualsNoCase(name, "Angle")) {
            m_InitAngle = ParseDouble(r.ReadText());
            m_Angle = m_InitAngle;
        } else if (EqualsNoCase(name, "ActionList")) {
            if (!ReadActionList(r)) {
                while (r.NextChild())
                    r.Skip();
                return 0;
            }
        } else if (EqualsNoCase(name, "CustomPropertyList")) {
            CustomPropertyList list;
            bool anyProperty = false;
            while (r.NextChild()) {
                anyProperty = true;
                if (EqualsNoCase(r.Name(), "Property"))
                    list.LoadProperty(r);
                r.Skip();
            }
            if (anyProperty)
                m_CustomProperties.push_back(std::move(list));
        } else {
            r.Skip();
        }
    }
    if (r.Failed())
        return 0;
    // The class record is looked up after each child element; the id does not
    // change meanwhile, so once is the same, and an element without children
    // keeps none.
    if (anyChild)
        m_ClassInfo = state.FindClass(m_ClassId);
    LoadBitmaps(state.Context().moduleFolder, &state.Images());
    return 1;
}

int CUnitCanLoad::ReadActionList(XmlPullReader& r)
{
    // Gathered first so that the action list allocates once.
    thread_local std::vector<std::unique_ptr<WGAction>> actions;
    actions.clear();
    while (r.NextChild()) {
        auto action = std::make_unique<WGAction>();
        action->Load(r);  // its result does not matter
        action->m_ActingUnits.push_back(this);
        actions.push_back(std::move(action));
    }
    ActionsEdited();
    m_Actions.reserve(m_Actions.size() + actions.size());
    for (auto& action : actions)
        m_Actions.push_back(std::move(action));
    actions.clear();
    return r.Failed() ? 0 : 1;
}

int CUnitCanLoad::Save(PlanXmlWriter& out) const
{
    out.Attribute("name", m_UnitName);
    out.Attribute("class", m_ClassId);
    out.TextElementInt("UnitNo", m_UnitNo);
    out.TextElementInt("UnitType", m_UnitType);
    out.TextElement("UnitName", m_UnitName);
    out.TextElement("UnitBitmap", m_UnitBitmap);
    out.TextElement("UnitBitmapMask", m_UnitBitmapMask);
    // The initial position: a save during playback must not move the units.
    out.TextElementFixed("RelativeCoordinateX", m_InitX);
    out.TextElementFixed("RelativeCoordinateY", m_InitY);
    out.TextElementInt("AppearTime", m_AppearTime);
    out.TextElementFixed("Angle", m_InitAngle);
    out.StartElement("CustomPropertyList");
    for (const CustomPropertyList& list : m_CustomProperties)
        list.Save(out);
    out.EndElement("CustomPropertyList");
    out.StartElement("actionlist");
    for (const auto& action : m_Actions) {
        out.StartElement("action");
        action->Save(out);
        out.EndElement("action");
    }
    out.EndElement("actionlist");
    return 1;
}

void CUnitCanLoad::LoadUnit(int32_t) {}

void CUnitCanLoad::UnloadUnit(int32_t, double, double, double) {}

void CUnitCanLoad::LoadBitmaps(const std::string& moduleFolder, CUnitImageCache* cache)
{
    m_Image = LoadUnitImage(moduleFolder, m_UnitBitmap, cache);
    m_Mask = LoadUnitImage(moduleFolder, m_UnitBitmapMask, cache);
    m_ImageWidth = m_Image.isNull() ? 0 : m_Image.width();
    m_ImageHeight = m_Image.isNull() ? 0 : m_Image.height();
}

int32_t CUnitCanLoad::LastActionNo() const
{
    return m_Actions.empty() ? 0 : m_Actions.back()->m_ActionNo;
}

void CUnitCanLoad::CancelActions(CPlanLayer* firstLayer)
{
    for (const auto& action : m_Actions)
        action->Cancel(firstLayer);
}

WGAction* CUnitCanLoad::AddNewAction(std::unique_ptr<WGAction> action)
{
    action->m_ActionNo = LastActionNo() + 1;
    action->m_ActingUnits.push_back(this);
    m_Actions.push_back(std::move(action));
    ActionsEdited();
    return m_Actions.back().get();
}

std::unique_ptr<WGAction> CUnitCanLoad::RemoveAction(int32_t actionNo)
{
    auto it = std::find_if(m_Actions.begin(), m_Actions.end(),
                           [actionNo](const auto& a) { return a->m_ActionNo == actionNo; });
    if (it == m_Actions.end())
        return nullptr;
    std::unique_ptr<WGAction> action = std::move(*it);
    m_Actions.erase(it);
    // A running move leaves the unit on one of its routes, which painting
    // follows; a running strike's flash would never be ended by anyone else.
    for (const auto& route : action->m_Routes)
        if (m_CurrentRoute == route.get())
            m_CurrentRoute = nullptr;
    if (action->m_FireUnit) {
        action->m_FireUnit->m_Removed = 1;
        action->m_FireUnit = nullptr;
    }
    action->m_Running = 0;
    ActionsEdited();
    return action;
}

CustomPropertyList& CUnitCanLoad::FirstCustomPropertyList()
{
    if (m_CustomProperties.empty())
        m_CustomProperties.emplace_back();
    return m_CustomProperties.front();
}

// ---- kinds -------------------------------------------------------------------

int UnitSingle::Load(XmlPullReader& r, PlanReadState&)
{
    r.Skip();
    return 1;
}

int UnitSingle::Save(PlanXmlWriter&) const
{
    return 1;
}

void UnitCarrier::LoadUnit(int32_t unitNo)
{
    LoadCarried(*this, unitNo);
}

void UnitCarrier::UnloadUnit(int32_t unitNo, double x, double y, double)
{
    UnloadCarried(*this, m_CarriedUnits, unitNo, x, y);
}

int UnitSingleCarrier::Load(XmlPullReader& r, PlanReadState& state)
{
    return CUnitCanLoad::Load(r, state);
}

int UnitSingleCarrier::Save(PlanXmlWriter& out) const
{
    return CUnitCanLoad::Save(out);
}

void UnitSingleCarrier::LoadUnit(int32_t unitNo)
{
    LoadCarried(*this, unitNo);
}

void UnitSingleCarrier::UnloadUnit(int32_t unitNo, double x, double y, double)
{
    UnloadCarried(*this, m_CarriedUnits, unitNo, x, y);
}

int UnitSingleSimple::Load(XmlPullReader& r, PlanReadState& state)
{
    return CUnitCanLoad::Load(r, state);
}

int UnitSingleSimple::Save(PlanXmlWriter& out) const
{
    return CUnitCanLoad::Save(out);
}

int UnitFire::Save(PlanXmlWriter&) const
{
    return 1;
}

UnitFire::~UnitFire()
{
    if (!m_Striker || !m_LinkedToStriker)
        return;
    auto& fires = m_Striker->m_Fires;
    fires.erase(std::remove(fires.begin(), fires.end(), this), fires.end());
    // The strike that made this fire unit is one of the striker's actions.
    for (const auto& action : m_Striker->m_Actions) {
        if (action->m_FireUnit == this) {
            action->m_FireUnit = nullptr;
            action->m_Running = 0;
        }
    }
}

void UnitFire::LinkStriker()
{
    if (!m_Striker)
        return;
    auto& fires = m_Striker->m_Fires;
    if (std::find(fires.begin(), fires.end(), this) == fires.end())
        fires.push_back(this);
    m_LinkedToStriker = true;
}

// ---- kind from the class id ------------------------------------------------

std::string_view UnitKindText(std::string_view classId)
{
    const size_t dot = classId.find('.');
    return dot == std::string_view::npos ? std::string_view() : classId.substr(0, dot);
}

std::unique_ptr<CUnitCanLoad> CreateUnitOfKind(std::string_view kindText)
{
    if (kindText == "01")
        return std::make_unique<UnitCarrier>();
    if (kindText == "02-01")
        return std::make_unique<UnitSingleCarrier>();
    if (kindText == "02-02")
        return std::make_unique<UnitSingleSimple>();
    if (kindText == "03")
        return std::make_unique<UnitFire>();
    return nullptr;
}

std::unique_ptr<CUnitCanLoad> CreateUnitForClassId(std::string_view classId)
{
    return CreateUnitOfKind(UnitKindText(classId));
}
