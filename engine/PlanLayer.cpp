#include "engine/PlanLayer.h"

#include "config/MessageReporter.h"
#include "config/ModulePaths.h"
#include "config/TextNumber.h"
#include "engine/PlanContext.h"
#include "engine/PlanXmlWriter.h"
#include "engine/XmlPullReader.h"

#include <QFileInfo>
#include <QString>

#include <algorithm>

namespace {

bool InTable(int32_t unitNo)
{
    return unitNo >= 0 && unitNo <= kMaxUnitNo;
}

bool IsFile(const std::string& storedPath)
{
    if (storedPath.empty())
        return false;
    std::string path = storedPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    return QFileInfo(QString::fromStdString(path)).isFile();
}

}  // namespace

CPlanLayer::CPlanLayer() : m_UnitTable(new std::atomic<CUnitCanLoad*>[kUnitTableSize])
{
    for (int32_t i = 0; i < kUnitTableSize; ++i)
        m_UnitTable[i].store(nullptr, std::memory_order_relaxed);
}

CPlanLayer::~CPlanLayer()
{
    ClearUnits();
}

bool CPlanLayer::AddUnit(std::unique_ptr<CUnitCanLoad> unit)
{
    if (!unit || !LockShared(50))
        return false;
    CUnitCanLoad* raw = unit.get();
    Entered(raw);
    m_Units.Append(std::move(unit));
    if (InTable(raw->m_UnitNo))
        m_UnitTable[raw->m_UnitNo].store(raw, std::memory_order_release);
    UnlockShared();
    return true;
}

CUnitCanLoad* CPlanLayer::GetUnitByNo(int32_t unitNo) const
{
    return InTable(unitNo) ? m_UnitTable[unitNo].load(std::memory_order_acquire) : nullptr;
}

void CPlanLayer::Entered(CUnitCanLoad* unit)
{
    m_ListChanges.fetch_add(1, std::memory_order_relaxed);
    unit->m_Layer = this;
    if (UnitFire* fire = unit->AsFire()) {
        fire->LinkStriker();
        std::lock_guard<std::mutex> lock(m_FireMutex);
        m_FireUnits.push_back(fire);
    }
}

void CPlanLayer::DeleteAtLocked(size_t i)
{
    std::unique_ptr<CUnitCanLoad> unit = m_Units.RemoveAt(i);
    if (!unit)
        return;
    CUnitCanLoad* const dying = unit.get();
    m_ListChanges.fetch_add(1, std::memory_order_relaxed);
    m_Steps.Erase(i);
    if (UnitFire* fire = dying->AsFire()) {
        std::lock_guard<std::mutex> lock(m_FireMutex);
        if (auto it = std::find(m_FireUnits.begin(), m_FireUnits.end(), fire); it != m_FireUnits.end()) {
            *it = m_FireUnits.back();
            m_FireUnits.pop_back();
        }
    }

    // The entry is emptied, not pointed at another unit of that number: an
    // older unit of the number (a fire unit of 25600, say) is not the one
    // asked for.
    if (InTable(dying->m_UnitNo) && m_UnitTable[dying->m_UnitNo].load(std::memory_order_relaxed) == dying)
        m_UnitTable[dying->m_UnitNo].store(nullptr, std::memory_order_release);

    // No other unit may keep a pointer to the deleted one. The back
    // references lead to every carrier holding it; its fire units and the
    // strike naming it (when it is a fire unit) are unlinked by the
    // destructors, which also covers units destroyed with their layer.
    // Nothing here walks the layer: a tick may end hundreds of strikes.
    std::vector<CUnitCanLoad*> carriers;
    carriers.swap(dying->m_CarriedBy);
    for (size_t k = 0; k < carriers.size(); ++k) {
        CUnitCanLoad* carrier = carriers[k];
        if (std::find(carriers.begin(), carriers.begin() + ptrdiff_t(k), carrier) != carriers.begin() + ptrdiff_t(k))
            continue;  // listed twice: its list was cleaned the first time
        if (auto* carried = carrier->GetCarriedUnits()) {
            carried->erase(std::remove(carried->begin(), carried->end(), dying), carried->end());
            carrier->m_CarriedCount = int32_t(carried->size());
        }
    }
    // Units of a deleted carrier would otherwise stay hidden for good.
    if (auto* carried = dying->GetCarriedUnits()) {
        for (CUnitCanLoad* c : *carried) {
            c->m_Loaded = 0;
            c->m_CarrierNo = 0;
            auto& by = c->m_CarriedBy;
            by.erase(std::remove(by.begin(), by.end(), dying), by.end());
        }
        carried->clear();
        dying->m_CarriedCount = 0;
    }
}

size_t CPlanLayer::DeleteRemovedLocked(CUnitCanLoad* unit, size_t hint)
{
    const size_t i = m_Units.IndexOf(unit, hint);
    if (i == CUnitList::npos)  // deleted by another thread meanwhile
        return std::min(hint, m_Units.Size());
    if (m_Units.At(i)->m_Removed == 0)
        return i + 1;
    DeleteAtLocked(i);
    return i;
}

void CPlanLayer::DeleteUnit(CUnitCanLoad* unit)
{
    LockExclusive();
    const size_t i = m_Units.IndexOf(unit);
    if (i != CUnitList::npos)
        DeleteAtLocked(i);
    UnlockExclusive();
}

void CPlanLayer::DeleteUnitsByNo(int32_t unitNo)
{
    LockExclusive();
    for (size_t i = 0; i < m_Units.Size();) {
        if (m_Units.At(i)->m_UnitNo == unitNo)
            DeleteAtLocked(i);
        else
            ++i;
    }
    UnlockExclusive();
}

void CPlanLayer::InsertUnitLocked(size_t index, std::unique_ptr<CUnitCanLoad> unit)
{
    if (!unit)
        return;
    CUnitCanLoad* raw = unit.get();
    Entered(raw);
    index = std::min(index, m_Units.Size());
    m_Units.InsertAt(index, std::move(unit));
    m_Steps.Insert(index);
    if (!InTable(raw->m_UnitNo))
        return;
    // The table points at the last unit of a number in list order, as after loading.
    for (size_t j = m_Units.Size(); j-- > 0;) {
        if (m_Units.At(j)->m_UnitNo == raw->m_UnitNo) {
            m_UnitTable[raw->m_UnitNo].store(m_Units.At(j), std::memory_order_release);
            break;
        }
    }
}

void CPlanLayer::DeleteUnitLocked(CUnitCanLoad* unit)
{
    const size_t i = m_Units.IndexOf(unit);
    if (i != CUnitList::npos)
        DeleteAtLocked(i);
}

void CPlanLayer::ClearUnits()
{
    LockExclusive();
    for (int32_t i = 0; i < kUnitTableSize; ++i)
        m_UnitTable[i].store(nullptr, std::memory_order_relaxed);
    m_Units.DeleteAll();
    m_ListChanges.fetch_add(1, std::memory_order_relaxed);
    m_Steps.Clear();
    {
        std::lock_guard<std::mutex> lock(m_FireMutex);
        m_FireUnits.clear();
    }
    UnlockExclusive();
}

int32_t CPlanLayer::MaxUnitNo() const
{
    for (int32_t n = kMaxUnitNo - 1; n > 0; --n)
        if (m_UnitTable[n].load(std::memory_order_acquire))
            return n;
    return 0;
}

void CPlanLayer::ResetPositions()
{
    NotePositionWrite();
    CUnitCanLoad::ActionsEdited();
    LockSharedWait();
    for (size_t i = 0; i < m_Units.Size(); ++i)
        m_Units.At(i)->ResetPlayback();
    UnlockShared();
}

void CPlanLayer::ResetPlayback()
{
    NotePositionWrite();
    CUnitCanLoad::ActionsEdited();
    LockExclusive();
    for (size_t i = 0; i < m_Units.Size();) {
        const UnitFire* fire = m_Units.At(i)->AsFire();
        if (fire && fire->IsTransient()) {
            DeleteAtLocked(i);
            continue;
        }
        CUnitCanLoad* unit = m_Units.At(i);
        unit->ResetPlayback();
        for (const auto& action : unit->m_Actions)
            action->ResetPlayback();
        ++i;
    }
    UnlockExclusive();
}

void CPlanLayer::CancelAllActions(CPlanLayer* firstLayer)
{
    LockSharedWait();
    for (size_t i = 0; i < m_Units.Size(); ++i)
        m_Units.At(i)->CancelActions(firstLayer);
    UnlockShared();
}

// ---- file ---------------------------------------------------------------------

bool CPlanLayer::Load(XmlPullReader& r, PlanReadState& state)
{
    m_Name = r.Attribute("name");
    while (r.NextChild()) {
        const std::string_view name = r.Name();
        if (EqualsNoCase(name, "map")) {
            m_MapName = r.Attribute("name");
            m_MapSource = r.Attribute("source");
            m_MapType = textnum::ParseInt(r.Attribute("maptype"));
            m_WidthKm = textnum::ParseDouble(r.Attribute("WidthKm"));
            m_HeightKm = textnum::ParseDouble(r.Attribute("HeightKm"));
            r.Skip();
        } else if (EqualsNoCase(name, "unitlist")) {
            ReadUnits(r, state);
        } else {
            r.Skip();
        }
    }
    return !r.Failed();
}

void CPlanLayer::ReadUnits(XmlPullReader& r, PlanReadState& state)
{
    while (r.NextChild()) {
        const std::string_view classId = r.Attribute("class");
        std::unique_ptr<CUnitCanLoad> unit = CreateUnitForClassId(classId);
        if (!unit) {
            r.Skip();
            continue;
        }
        unit->m_Layer = this;
        unit->m_ClassId = classId;
        if (UnitFire* fire = unit->AsFire())
            fire->m_FromFile = true;
        if (unit->Load(r, state))
            AddUnit(std::move(unit));
    }
}

bool CPlanLayer::LoadLayerMap(const PlanContext& context, bool useDefaultMapImage)
{
    // The stored text stays as it is: a save must not tie the plan to this
    // installation's folder.
    std::string source = m_MapSource;
    if (useDefaultMapImage && m_MapType == 0 && !IsFile(source))
        source = modulepaths::InModuleFolder(context.moduleFolder, "DefaultMapImage") + "/" + m_MapSource;
    if (!m_Map.LoadMap(source, m_MapType, 500, 500, m_WidthKm, m_HeightKm, &context.Reporter())) {
        ReportError(context.Reporter(), "图层加载地图失败", "加载错误信息", m_Map.LastError());
        return false;
    }
    return true;
}

void CPlanLayer::Save(PlanXmlWriter& out) const
{
    out.Attribute("name", m_Name);
    out.StartElement("map");
    out.Attribute("name", m_MapName);
    out.Attribute("source", m_MapSource);
    out.AttributeInt("maptype", m_MapType);
    out.AttributeShortest("WidthKm", m_WidthKm);
    out.AttributeShortest("HeightKm", m_HeightKm);
    out.EndElement("map");
    out.StartElement("unitlist");
    // Shared, so a tick cannot delete a unit being written; appends may go on.
    LockSharedWait();
    for (size_t i = 0; i < m_Units.Size(); ++i) {
        // The fire of a strike in progress is playback state, not plan content.
        if (const UnitFire* fire = m_Units.At(i)->AsFire(); fire && fire->IsTransient())
            continue;
        out.StartElement("unit");
        m_Units.At(i)->Save(out);
        out.EndElement("unit");
    }
    UnlockShared();
    out.EndElement("unitlist");
}
