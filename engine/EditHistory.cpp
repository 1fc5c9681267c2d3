#include "engine/EditHistory.h"

#include "config/UnitClassCatalog.h"
#include "engine/PlanContext.h"
#include "engine/PlanLayer.h"

#include <algorithm>

namespace {

// The kind text a unit was created from; empty for kinds never placed.
std::string KindOf(const CUnitCanLoad& unit)
{
    if (dynamic_cast<const UnitSingleCarrier*>(&unit))
        return "02-01";
    if (dynamic_cast<const UnitSingleSimple*>(&unit))
        return "02-02";
    if (dynamic_cast<const UnitCarrier*>(&unit))
        return "01";
    return {};
}

bool IsFireUnit(const CUnitCanLoad& unit)
{
    return dynamic_cast<const UnitFire*>(&unit) != nullptr;
}

// Holds the gate shared unless the caller holds it already.
class SharedGate {
public:
    SharedGate(const CPlanLayer& layer, bool held, uint32_t timeoutMs) : m_layer(layer)
    {
        m_ok = held || layer.LockShared(timeoutMs);
        m_release = !held && m_ok;
    }
    ~SharedGate()
    {
        if (m_release)
            m_layer.UnlockShared();
    }
    SharedGate(const SharedGate&) = delete;
    SharedGate& operator=(const SharedGate&) = delete;
    explicit operator bool() const { return m_ok; }

private:
    const CPlanLayer& m_layer;
    bool m_ok = false;
    bool m_release = false;
};

CEditHistory::ActionState CaptureAction(const WGAction& action)
{
    CEditHistory::ActionState s;
    s.actionNo = action.m_ActionNo;
    s.actionName = action.m_ActionName;
    s.actionType = action.m_ActionType;
    s.actionTime = action.m_ActionTime;
    s.speed = action.m_Speed;
    s.speedMapUnits = action.m_SpeedMapUnits;
    s.speedDerived = action.m_SpeedDerived;
    s.allTime = action.m_AllTime;
    s.angle = action.m_Angle;
    s.bulletType = action.m_BulletType;
    s.hitTime = action.m_HitTime;
    s.unitNo = action.m_UnitNo;
    s.routes.reserve(action.m_Routes.size());
    for (const auto& route : action.m_Routes)
        s.routes.push_back(route->m_Points);
    return s;
}

bool SameAction(const WGAction& a, const CEditHistory::ActionState& s)
{
    if (!(a.m_ActionNo == s.actionNo && a.m_ActionName == s.actionName && a.m_ActionType == s.actionType &&
          a.m_ActionTime == s.actionTime && a.m_Speed == s.speed && a.m_AllTime == s.allTime &&
          a.m_Angle == s.angle && a.m_BulletType == s.bulletType && a.m_HitTime == s.hitTime &&
          a.m_UnitNo == s.unitNo && a.m_Routes.size() == s.routes.size()))
        return false;
    for (size_t i = 0; i < s.routes.size(); ++i)
        if (a.m_Routes[i]->m_Points != s.routes[i])
            return false;
    return true;
}

// A new, idle action from its copy. A strike's flash or a move in progress
// cannot be carried over to a new object; the action waits for its time as
// after a mode switch.
std::unique_ptr<WGAction> BuildAction(const CEditHistory::ActionState& s, CUnitCanLoad& unit)
{
    auto action = std::make_unique<WGAction>();
    action->m_ActionNo = s.actionNo;
    action->m_ActionName = s.actionName;
    action->m_ActionType = s.actionType;
    action->m_ActionTime = s.actionTime;
    action->m_Speed = s.speed;
    action->m_SpeedMapUnits = s.speedMapUnits;
    action->m_SpeedDerived = s.speedDerived;
    action->m_AllTime = s.allTime;
    action->m_Angle = s.angle;
    action->m_BulletType = s.bulletType;
    action->m_HitTime = s.hitTime;
    action->m_UnitNo = s.unitNo;
    for (const auto& points : s.routes) {
        auto route = std::make_unique<WGRoute>();
        route->m_Points = points;
        action->m_Routes.push_back(std::move(route));
    }
    action->m_ActingUnits.push_back(&unit);
    return action;
}

// The actions of `unit` become `states`: an action whose content is unchanged
// stays the same object (a move or strike in progress goes on), the others
// are built anew; the ones left over go as the editor's delete sends them.
void RestoreActions(CUnitCanLoad& unit, const std::vector<CEditHistory::ActionState>& states)
{
    std::vector<std::unique_ptr<WGAction>> old = std::move(unit.m_Actions);
    unit.m_Actions.clear();
    unit.m_Actions.reserve(states.size());
    for (const auto& s : states) {
        auto same = std::find_if(old.begin(), old.end(),
                                 [&](const std::unique_ptr<WGAction>& a) { return a && SameAction(*a, s); });
        if (same != old.end()) {
            unit.m_Actions.push_back(std::move(*same));
        } else {
            unit.m_Actions.push_back(BuildAction(s, unit));
        }
    }
    for (auto& action : old) {
        if (!action)
            continue;
        for (const auto& route : action->m_Routes)
            if (unit.m_CurrentRoute == route.get())
                unit.m_CurrentRoute = nullptr;
        if (action->m_FireUnit) {
            action->m_FireUnit->m_Removed = 1;
            action->m_FireUnit = nullptr;
        }
    }
}

void ApplyState(CUnitCanLoad& unit, const CEditHistory::UnitState& s, bool fresh, const PlanContext& context,
                CUnitImageCache& images)
{
    unit.m_UnitNo = s.unitNo;
    if (fresh || unit.m_ClassId != s.classId) {
        unit.m_ClassId = s.classId;
        unit.m_ClassInfo = context.catalog ? context.catalog->FindUnitClassById(s.classId) : nullptr;
    }
    unit.m_UnitType = s.unitType;
    unit.m_UnitName = s.unitName;
    if (fresh || unit.m_UnitBitmap != s.unitBitmap || unit.m_UnitBitmapMask != s.unitBitmapMask) {
        unit.m_UnitBitmap = s.unitBitmap;
        unit.m_UnitBitmapMask = s.unitBitmapMask;
        unit.LoadBitmaps(context.moduleFolder, &images);
    }
    unit.m_InitX = s.initX;
    unit.m_InitY = s.initY;
    unit.m_CurX = s.curX;
    unit.m_CurY = s.curY;
    unit.m_AppearTime = s.appearTime;
    unit.m_Angle = s.angle;
    unit.m_InitAngle = s.initAngle;
    unit.m_CustomProperties.clear();
    for (const auto& list : s.customProperties) {
        CustomPropertyList restored;
        restored.m_Properties = list;
        unit.m_CustomProperties.push_back(std::move(restored));
    }
    RestoreActions(unit, s.actions);
    CUnitCanLoad::ActionsEdited();
    unit.m_RectTracker.m_handlesInside = s.handlesInside;
    if (fresh)
        unit.m_Appeared = s.appeared;
}

// Where the unit with this ordinal goes: before the ordinal-th unit that is
// not a fire unit, or at the end.
size_t ListIndexOfOrdinal(const CPlanLayer& layer, size_t ordinal)
{
    size_t seen = 0;
    const size_t n = layer.GetUnitCount();
    for (size_t i = 0; i < n; ++i) {
        if (IsFireUnit(*layer.GetUnitAt(i)))
            continue;
        if (seen == ordinal)
            return i;
        ++seen;
    }
    return n;
}

// A restored unit that was carried goes back into its carrier's list when the
// carrier still carries; otherwise it stands where it is.
void RelinkCarried(CPlanLayer& layer, CUnitCanLoad& unit, const CEditHistory::UnitState& s)
{
    unit.m_Loaded = 0;
    unit.m_CarrierNo = 0;
    if (!s.loaded)
        return;
    CUnitCanLoad* carrier = layer.GetUnitByNo(s.carrierNo);
    std::vector<CUnitCanLoad*>* carried = carrier ? carrier->GetCarriedUnits() : nullptr;
    if (!carried || carrier == &unit)
        return;
    carrier->AppendCarried(&unit);
    unit.m_Loaded = 1;
    unit.m_CarrierNo = s.carrierNo;
}

size_t StringBytes(const std::string& s)
{
    return s.capacity() > 15 ? s.capacity() : 0;
}

}  // namespace

// ---- states ----------------------------------------------------------------------

bool CEditHistory::ActionState::SameContent(const ActionState& o) const
{
    return actionNo == o.actionNo && actionName == o.actionName && actionType == o.actionType &&
           actionTime == o.actionTime && speed == o.speed && allTime == o.allTime && angle == o.angle &&
           bulletType == o.bulletType && hitTime == o.hitTime && unitNo == o.unitNo && routes == o.routes;
}

bool CEditHistory::UnitState::SameContent(const UnitState& o) const
{
    if (!(ordinal == o.ordinal && kind == o.kind && unitNo == o.unitNo && classId == o.classId &&
          unitType == o.unitType && unitName == o.unitName && unitBitmap == o.unitBitmap &&
          unitBitmapMask == o.unitBitmapMask && initX == o.initX && initY == o.initY && curX == o.curX &&
          curY == o.curY && appearTime == o.appearTime && angle == o.angle && initAngle == o.initAngle &&
          customProperties == o.customProperties && actions.size() == o.actions.size()))
        return false;
    for (size_t i = 0; i < actions.size(); ++i)
        if (!actions[i].SameContent(o.actions[i]))
            return false;
    return true;
}

size_t CEditHistory::UnitState::Bytes() const
{
    size_t n = sizeof(UnitState) + StringBytes(kind) + StringBytes(classId) + StringBytes(unitName) +
               StringBytes(unitBitmap) + StringBytes(unitBitmapMask);
    for (const auto& list : customProperties) {
        n += sizeof(list) + list.size() * sizeof(CustomProperty);
        for (const auto& p : list)
            n += StringBytes(p.name) + StringBytes(p.value);
    }
    for (const auto& a : actions) {
        n += sizeof(ActionState) + StringBytes(a.actionName) + StringBytes(a.bulletType);
        for (const auto& route : a.routes)
            n += sizeof(route) + route.size() * sizeof(RoutePoint);
    }
    return n;
}

bool CEditHistory::SameContent(const UnitStates& a, const UnitStates& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!a[i].SameContent(b[i]))
            return false;
    return true;
}

CEditHistory::UnitState CEditHistory::CaptureUnit(const CUnitCanLoad& unit, size_t ordinal)
{
    UnitState s;
    s.ordinal = ordinal;
    s.kind = KindOf(unit);
    s.unitNo = unit.m_UnitNo;
    s.classId = unit.m_ClassId;
    s.unitType = unit.m_UnitType;
    s.unitName = unit.m_UnitName;
    s.unitBitmap = unit.m_UnitBitmap;
    s.unitBitmapMask = unit.m_UnitBitmapMask;
    s.initX = unit.m_InitX;
    s.initY = unit.m_InitY;
    s.curX = unit.m_CurX;
    s.curY = unit.m_CurY;
    s.appearTime = unit.m_AppearTime;
    s.angle = unit.m_Angle;
    s.initAngle = unit.m_InitAngle;
    for (const auto& list : unit.m_CustomProperties)
        s.customProperties.push_back(list.m_Properties);
    s.actions.reserve(unit.m_Actions.size());
    for (const auto& action : unit.m_Actions)
        s.actions.push_back(CaptureAction(*action));
    s.appeared = unit.m_Appeared;
    s.loaded = unit.m_Loaded;
    s.carrierNo = unit.m_CarrierNo;
    s.handlesInside = unit.m_RectTracker.m_handlesInside;
    return s;
}

CEditHistory::UnitStates CEditHistory::Capture(const CPlanLayer& layer, int32_t unitNo)
{
    UnitStates states;
    size_t ordinal = 0;
    const size_t n = layer.GetUnitCount();
    for (size_t i = 0; i < n; ++i) {
        const CUnitCanLoad& unit = *layer.GetUnitAt(i);
        if (IsFireUnit(unit))
            continue;
        if (unit.m_UnitNo == unitNo)
            states.push_back(CaptureUnit(unit, ordinal));
        ++ordinal;
    }
    return states;
}

void CEditHistory::Restore(CPlanLayer& layer, const PlanContext& context, int32_t unitNo, const UnitStates& states)
{
    CUnitImageCache images;
    layer.LockExclusive();
    std::vector<CUnitCanLoad*> current;
    for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
        CUnitCanLoad* unit = layer.GetUnitAt(i);
        if (!IsFireUnit(*unit) && unit->m_UnitNo == unitNo)
            current.push_back(unit);
    }
    bool inPlace = current.size() == states.size();
    for (size_t k = 0; inPlace && k < states.size(); ++k)
        inPlace = KindOf(*current[k]) == states[k].kind;
    if (inPlace) {
        for (size_t k = 0; k < states.size(); ++k)
            ApplyState(*current[k], states[k], false, context, images);
    } else {
        for (CUnitCanLoad* unit : current)
            layer.DeleteUnitLocked(unit);
        for (const UnitState& s : states) {
            std::unique_ptr<CUnitCanLoad> unit = CreateUnitOfKind(s.kind);
            if (!unit)
                continue;
            CUnitCanLoad& raw = *unit;
            ApplyState(raw, s, true, context, images);
            layer.InsertUnitLocked(ListIndexOfOrdinal(layer, s.ordinal), std::move(unit));
            RelinkCarried(layer, raw, s);
        }
    }
    layer.UnlockExclusive();
}

// ---- history ---------------------------------------------------------------------

CEditHistory::CEditHistory(size_t maxSteps, size_t maxBytes)
    : m_maxSteps(std::max<size_t>(maxSteps, 1)), m_maxBytes(maxBytes)
{
}

size_t CEditHistory::StepBytes(const Step& step)
{
    size_t n = sizeof(Step) + StringBytes(step.name);
    for (const auto& s : step.units)
        n += s.Bytes();
    for (const auto& [no, states] : step.others)
        for (const auto& s : states)
            n += s.Bytes();
    return n;
}

void CEditHistory::Notify()
{
    ++m_changes;
    if (m_observer)
        m_observer();
}

void CEditHistory::DropOldest()
{
    m_bytes -= m_undo.front().bytes;
    m_undo.pop_front();
    // The clean state was the one before the dropped step: out of reach now.
    m_cleanIndex = m_cleanIndex > 0 ? m_cleanIndex - 1 : -1;
}

CEditHistory::Step CEditHistory::Counted(Step step)
{
    step.bytes = StepBytes(step);
    m_bytes += step.bytes;
    return step;
}

void CEditHistory::PushUndo(Step step)
{
    m_undo.push_back(Counted(std::move(step)));
    // The newest step always stays, however large.
    while (m_undo.size() > 1 && (m_undo.size() > m_maxSteps || m_bytes > m_maxBytes))
        DropOldest();
}

void CEditHistory::DropNewest()
{
    m_bytes -= m_undo.back().bytes;
    m_undo.pop_back();
    if (m_cleanIndex > (long long)m_undo.size())
        m_cleanIndex = (long long)m_undo.size();
}

void CEditHistory::ForgetRedo()
{
    for (const Step& redo : m_redo)
        m_bytes -= redo.bytes;
    m_redo.clear();
    // The clean state lay among the steps just forgotten.
    if (m_cleanIndex > (long long)m_undo.size())
        m_cleanIndex = -1;
}

bool CEditHistory::Record(const CPlanLayer& layer, std::string name, int32_t unitNo, bool gateHeld)
{
    return RecordUnits(layer, std::move(name), {unitNo}, gateHeld);
}

void CEditHistory::CaptureInto(Step& step, const CPlanLayer& layer)
{
    step.units = Capture(layer, step.unitNo);
    for (auto& [no, states] : step.others)
        states = Capture(layer, no);
}

bool CEditHistory::Unchanged(const Step& step, const CPlanLayer& layer)
{
    if (!SameContent(Capture(layer, step.unitNo), step.units))
        return false;
    for (const auto& [no, states] : step.others)
        if (!SameContent(Capture(layer, no), states))
            return false;
    return true;
}

bool CEditHistory::RecordUnits(const CPlanLayer& layer, std::string name, std::vector<int32_t> unitNos,
                               bool gateHeld)
{
    if (unitNos.empty())
        return false;
    Step step;
    {
        SharedGate gate(layer, gateHeld, kRecordTimeoutMs);
        if (!gate)
            return false;
        // List order, so that deleted units are put back in front-to-back order
        // and each lands at the place it had.
        std::vector<int32_t> ordered;
        for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
            const CUnitCanLoad& unit = *layer.GetUnitAt(i);
            if (IsFireUnit(unit) || std::find(unitNos.begin(), unitNos.end(), unit.m_UnitNo) == unitNos.end())
                continue;
            if (std::find(ordered.begin(), ordered.end(), unit.m_UnitNo) == ordered.end())
                ordered.push_back(unit.m_UnitNo);
        }
        for (int32_t no : unitNos)  // numbers not (yet) in the layer: a unit about to be placed
            if (std::find(ordered.begin(), ordered.end(), no) == ordered.end())
                ordered.push_back(no);
        // The step before it may have changed nothing; it would only clutter the menu.
        if (!m_undo.empty() && !m_undo.back().times && m_undo.back().unitNo != ordered.front() &&
            Unchanged(m_undo.back(), layer))
            DropNewest();
        step.unitNo = ordered.front();
        for (size_t k = 1; k < ordered.size(); ++k)
            step.others.emplace_back(ordered[k], UnitStates{});
        CaptureInto(step, layer);
    }
    step.name = std::move(name);
    // The previous edit of these units changed nothing: this step replaces it.
    if (!m_undo.empty() && !m_undo.back().times && m_undo.back().unitNo == step.unitNo &&
        m_undo.back().others.size() == step.others.size() && SameContent(m_undo.back(), step))
        DropNewest();
    ForgetRedo();
    PushUndo(std::move(step));
    Notify();
    return true;
}

void CEditHistory::RecordPlanTimes(std::string name, PlanTimes before)
{
    Step step;
    step.name = std::move(name);
    step.times = before;
    ForgetRedo();
    PushUndo(std::move(step));
    Notify();
}

void CEditHistory::Settle(const CPlanLayer& layer)
{
    // Times are recorded only when they change.
    if (m_undo.empty() || m_undo.back().times)
        return;
    bool unchanged = false;
    {
        SharedGate gate(layer, false, kRecordTimeoutMs);
        if (!gate)
            return;
        unchanged = Unchanged(m_undo.back(), layer);
    }
    if (!unchanged)
        return;
    DropNewest();
    Notify();
}

CEditHistory::Step CEditHistory::Current(const Step& step, const CPlanLayer& layer, const PlanTimes* times)
{
    Step now;
    now.name = step.name;
    now.unitNo = step.unitNo;
    if (step.times) {
        now.times = *times;
        return now;
    }
    for (const auto& [no, states] : step.others)
        now.others.emplace_back(no, UnitStates{});
    layer.LockSharedWait();
    CaptureInto(now, layer);
    layer.UnlockShared();
    return now;
}

bool CEditHistory::SameContent(const Step& a, const Step& b)
{
    if (a.times || b.times)
        return a.times == b.times;
    if (a.others.size() != b.others.size() || !SameContent(a.units, b.units))
        return false;
    for (size_t k = 0; k < a.others.size(); ++k)
        if (a.others[k].first != b.others[k].first || !SameContent(a.others[k].second, b.others[k].second))
            return false;
    return true;
}

void CEditHistory::Put(const Step& step, CPlanLayer& layer, const PlanContext& context, PlanTimes* times)
{
    if (step.times)
        *times = *step.times;
    else {
        Restore(layer, context, step.unitNo, step.units);
        for (const auto& [no, states] : step.others)
            Restore(layer, context, no, states);
    }
}

std::optional<CEditHistory::Restored> CEditHistory::Undo(CPlanLayer& layer, const PlanContext& context,
                                                          PlanTimes* times)
{
    while (!m_undo.empty()) {
        if (m_undo.back().times && !times)
            break;
        Step now = Current(m_undo.back(), layer, times);
        if (SameContent(now, m_undo.back())) {
            // An edit that changed nothing: nothing to undo there.
            DropNewest();
            continue;
        }
        Step step = std::move(m_undo.back());
        m_undo.pop_back();
        m_bytes -= step.bytes;
        Put(step, layer, context, times);
        m_redo.push_back(Counted(std::move(now)));
        Notify();
        return Restored{step.unitNo, step.times.has_value()};
    }
    Notify();
    return std::nullopt;
}

std::optional<CEditHistory::Restored> CEditHistory::Redo(CPlanLayer& layer, const PlanContext& context,
                                                          PlanTimes* times)
{
    if (m_redo.empty() || (m_redo.back().times && !times))
        return std::nullopt;
    Step step = std::move(m_redo.back());
    m_redo.pop_back();
    m_bytes -= step.bytes;
    Step now = Current(step, layer, times);
    Put(step, layer, context, times);
    // Not PushUndo: redoing brings back a step the limits already allowed.
    m_undo.push_back(Counted(std::move(now)));
    Notify();
    return Restored{step.unitNo, step.times.has_value()};
}

void CEditHistory::Clear()
{
    m_undo.clear();
    m_redo.clear();
    m_bytes = 0;
    m_cleanIndex = 0;
    Notify();
}

void CEditHistory::MarkClean()
{
    m_cleanIndex = (long long)m_undo.size();
    Notify();
}

bool CEditHistory::IsModified() const
{
    return m_cleanIndex != (long long)m_undo.size();
}
