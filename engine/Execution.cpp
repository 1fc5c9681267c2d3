// What units and actions do in a clock tick: appearing, moving, striking with
// fire units, turning, loading and unloading, with their event texts.
#include "config/UnitClassCatalog.h"
#include "engine/PlanContext.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/PlaybackEvents.h"
#include "engine/PlayState.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "map/MapSource.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace playback {

namespace {
thread_local DeferredEvents* t_deferred = nullptr;
}

std::string Format(const char* format, ...)
{
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        va_end(again);
        return out;
    }
    if (size_t(n) < sizeof small) {
        out.assign(small, size_t(n));
    } else {
        out.resize(size_t(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(size_t(n));
    }
    va_end(again);
    return out;
}

void PostEvent(CPlayState* play, const std::string& message, const PlaySource& source)
{
    if (!play)
        return;
    if (t_deferred) {
        const int64_t epoch = play->GetCurrentEpoch();
        t_deferred->m_events.push_back(
            {play, EventRecord{t_deferred->TimeTextOf(*play), message, epoch, source}, false});
    }
    else
        play->PostEvent(message, source);
}

void PostStep(CPlayState* play, const PlaySource& source)
{
    if (!play)
        return;
    if (t_deferred)
        t_deferred->m_events.push_back({play, EventRecord{{}, {}, 0, source}, true});
    else
        play->EventSink().OnStep(source);
}

DeferredEvents::DeferredEvents() : m_outer(t_deferred)
{
    t_deferred = this;
}

const std::string& DeferredEvents::TimeTextOf(const CPlayState& play)
{
    const int64_t epoch = play.GetCurrentEpoch();
    if (m_timePlay != &play || m_timeEpoch != epoch || m_timeText.empty()) {
        m_timeText = play.TimeText();
        m_timePlay = &play;
        m_timeEpoch = epoch;
    }
    return m_timeText;
}

DeferredEvents::~DeferredEvents()
{
    Flush();
}

void DeferredEvents::Flush()
{
    if (!m_active)
        return;
    m_active = false;
    t_deferred = m_outer;
    for (Held& held : m_events) {
        if (m_outer)
            m_outer->m_events.push_back(std::move(held));
        else if (held.textless)
            held.play->EventSink().OnStep(held.record.source);
        else
            held.play->EventSink().OnEvent(held.record);
    }
    m_events.clear();
}

}  // namespace playback

using playback::Format;

namespace {

CPlayState* PlayOf(const CUnitCanLoad& unit)
{
    return unit.m_Layer ? unit.m_Layer->GetPlayState() : nullptr;
}

// A speed in map units per second where the unit is: its layer's map type
// and the "BitmapMapRealKm" switch decide.
double SpeedPerSecond(const CUnitCanLoad& unit, double speed)
{
    const CPlayState* play = PlayOf(unit);
    return SpeedMapUnitsPerSecond(unit.m_Layer ? unit.m_Layer->m_MapType : 1, play && play->BitmapRealKm(),
                                  unit.m_CurY, speed);
}

CPlanLayer* FirstLayerOf(const CUnitCanLoad& unit)
{
    return unit.m_Layer ? unit.m_Layer->GetFirstLayerOfPlan() : nullptr;
}

PlaySource SourceOf(PlayStep step, const CUnitCanLoad& unit, const WGAction& action, const CPlayState* play,
                    CarryOutcome carry = CarryOutcome::None)
{
    return {step, carry, play ? play->GetCurrentMs() : 0, &unit, &action};
}

const PlanContext* ContextOf(const CUnitCanLoad& unit)
{
    return unit.m_Layer && unit.m_Layer->m_Plan ? &unit.m_Layer->m_Plan->GetContext() : nullptr;
}

uint32_t SecondsToMs(int32_t seconds)
{
    // Unsigned, as the clock counts: a negative second never equals a tick time
    // below 2^31 ms, and the product wraps instead of overflowing.
    return uint32_t(seconds) * 1000u;
}

// The exact id match of strikes (the catalogue's own look-up ignores case).
const UnitClassInfo* FindWeaponClass(const PlanContext* context, const std::string& id)
{
    if (!context || !context->catalog)
        return nullptr;
    for (const auto& cls : context->catalog->GetUnitClasses())
        if (cls->id == id)
            return cls.get();
    return nullptr;
}

// An action may act for another unit: a move then sets that unit's position
// outside that unit's own step.
void NoteMovedOther(const WGAction& a, const CUnitCanLoad* owner)
{
    if (a.m_ActionType != kActionMove)
        return;
    const CUnitCanLoad* acting = a.GetActingUnit();
    if (acting && acting != owner && acting->m_Layer)
        acting->m_Layer->NotePositionWrite();
}

}  // namespace

// ---- units -----------------------------------------------------------------------

int CUnitCanLoad::RecvClockEvent(uint32_t previousMs, uint32_t nowMs, const void* context)
{
    ++m_StepVisits;
    const uint32_t appearMs = SecondsToMs(m_AppearTime);
    if (appearMs > nowMs)
        return 1;
    if (appearMs == nowMs)
        m_Appeared = 1;
    const uint32_t edits = ActionEditCount();
    if (edits == m_StepEdits && nowMs > m_StepFromMs && nowMs < m_StepUntilMs &&
        m_Actions.size() == m_StepActionCount) {
        // No start falls here: only running actions do anything, and those
        // that stop drop out.
        uint16_t kept = 0;
        for (uint16_t k = 0; k < m_SteppedCount; ++k) {
            WGAction& a = *m_Actions[m_Stepped[k]];
            a.Execute(previousMs, nowMs, context);
            NoteMovedOther(a, this);
            if (a.m_Running)
                m_Stepped[kept++] = m_Stepped[k];
        }
        m_SteppedCount = kept;
        return 1;
    }
    // The full loop also notes what runs on and when the next action starts.
    bool shortcut = m_Actions.size() <= 0xffff;
    uint16_t running = 0;
    uint64_t nextStart = uint64_t(1) << 32;
    for (size_t k = 0; k < m_Actions.size(); ++k) {
        WGAction& a = *m_Actions[k];
        a.Execute(previousMs, nowMs, context);
        NoteMovedOther(a, this);
        if (a.m_Running) {
            if (running < kMaxStepped)
                m_Stepped[running] = uint16_t(k);
            else
                shortcut = false;
            ++running;
        }
        const uint32_t startMs = SecondsToMs(a.m_ActionTime);
        if (startMs > nowMs && startMs < nextStart)
            nextStart = startMs;
    }
    m_StepEdits = edits;
    m_StepFromMs = nowMs;
    m_StepUntilMs = shortcut ? nextStart : 0;
    m_StepActionCount = uint32_t(m_Actions.size());
    m_SteppedCount = shortcut ? running : 0;
    return 1;
}

void CUnitCanLoad::ResetPlayback()
{
    m_CurX = m_InitX;
    m_CurY = m_InitY;
    m_Angle = m_InitAngle;
    m_Appeared = 0;
    m_Loaded = 0;
    m_CarrierNo = 0;
    m_CurrentRoute = nullptr;
    ClearCarried();
    m_CarriedCount = 0;
    m_HitFlag = 0;
    m_LastAttacker.clear();
}

int UnitFire::RecvClockEvent(uint32_t, uint32_t nowMs, const void*)
{
    // A fire unit read from a file has no strike behind it: it stays as it was read.
    if (m_FromFile || m_Removed)
        return 1;
    if (!m_Striker) {
        // The striker (and with it the strike that would end this flash) was deleted.
        m_Removed = 1;
        return 1;
    }
    if (nowMs - m_LastToggleMs < 500u)
        return 1;
    m_StartPoint = {m_Striker->m_CurX, m_Striker->m_CurY, 0};
    m_LastToggleMs = nowMs;
    m_FlashOn = m_FlashOn ? 0 : 1;
    if (m_FlashOn)
        ++m_OnCount;
    if (CPlayState* play = PlayOf(*this)) {
        if (m_FlashOn) {
            const WGAction* strike = nullptr;
            for (const auto& a : m_Striker->m_Actions)
                if (a->m_FireUnit == this)
                    strike = a.get();
            if (strike)
                playback::PostStep(play, SourceOf(PlayStep::Flash, *m_Striker, *strike, play));
        }
        FireLine line;
        line.startX = m_StartPoint.X;
        line.startY = m_StartPoint.Y;
        line.startZ = m_StartPoint.Z;
        line.endX = m_EndPoint.X;
        line.endY = m_EndPoint.Y;
        line.endZ = m_EndPoint.Z;
        line.description = Format("%s[编号: %d][火器: %s]", m_Striker->m_UnitName.c_str(), m_Striker->m_UnitNo,
                                  m_UnitName.c_str());
        line.strikerNo = m_Striker->m_UnitNo;
        line.source = this;
        FireLineList& lines = play->FireLines();
        lines.insert(lines.begin(), std::move(line));
    }
    return 1;
}

// ---- actions ---------------------------------------------------------------------

int WGAction::Execute(uint32_t, uint32_t nowMs, const void*)
{
    if (SecondsToMs(m_ActionTime) != nowMs && !m_Running)
        return 1;
    CUnitCanLoad* unit = GetActingUnit();
    if (!unit)
        return 1;
    switch (m_ActionType) {
    case kActionMove:
        return ExecuteMove(*unit, nowMs);
    case kActionStrike:
        return ExecuteStrike(*unit, nowMs);
    case kActionTurn:
        unit->m_Angle = m_Angle;
        playback::PostEvent(PlayOf(*unit), Format("%s开始转向 [%.8f度]", unit->m_UnitName.c_str(), m_Angle),
                            SourceOf(PlayStep::Turn, *unit, *this, PlayOf(*unit)));
        return 1;
    case kActionLoad:
        return ExecuteLoad(*unit);
    case kActionUnload:
        return ExecuteUnload(*unit);
    default:
        return 1;
    }
}

void WGAction::ResetPlayback()
{
    m_Running = 0;
    m_CurrentPoint = 0;
    m_SegmentStartMs = 0;
    m_SegmentLength = 0;
    m_SegmentDurationMs = 0;
    m_SpeedDerived = 0;
    m_SpeedMapUnits = 0;
    m_FireUnit = nullptr;
}

void WGAction::StartSegment(const WGRoute& route, size_t i, uint32_t nowMs)
{
    const RoutePoint& p0 = route.m_Points[i];
    const RoutePoint& p1 = route.m_Points[i + 1];
    m_SegmentStartMs = nowMs;
    m_SegmentLength = std::sqrt((p0.X - p1.X) * (p0.X - p1.X) + (p0.Y - p1.Y) * (p0.Y - p1.Y));
    // A speed that is not positive has no finite duration: the segment is
    // never passed (the interpolation below does not run for it).
    m_SegmentDurationMs = 0;
    if (m_SpeedMapUnits > 0.0 && std::isfinite(m_SpeedMapUnits)) {
        const double ms = std::trunc(m_SegmentLength / m_SpeedMapUnits * 1000.0);
        if (ms >= double(std::numeric_limits<uint32_t>::max()))
            m_SegmentDurationMs = std::numeric_limits<uint32_t>::max();
        else if (ms > 0.0)
            m_SegmentDurationMs = uint32_t(ms);
    }
}

int WGAction::ExecuteMove(CUnitCanLoad& unit, uint32_t nowMs)
{
    if (!m_SpeedDerived) {
        m_SpeedMapUnits = SpeedPerSecond(unit, m_Speed);
        m_SpeedDerived = 1;
    }
    WGRoute* route = GetFirstRoute();
    if (!route || route->m_Points.empty())
        return 1;
    const std::vector<RoutePoint>& points = route->m_Points;
    CPlayState* play = PlayOf(unit);

    if (!m_Running) {
        unit.m_CurX = points[0].X;
        unit.m_CurY = points[0].Y;
        m_CurrentPoint = 0;
        m_SegmentStartMs = nowMs;
        if (points.size() > 1)
            StartSegment(*route, 0, nowMs);
        unit.m_CurrentRoute = route;
        if (points.size() > 1)
            m_Running = 1;
        playback::PostEvent(play, Format("%s开始移动", unit.m_UnitName.c_str()),
                            SourceOf(PlayStep::MoveStart, unit, *this, play));
        return 1;
    }

    if (m_CurrentPoint + 1 >= points.size()) {
        unit.m_CurrentRoute = nullptr;
        m_Running = 0;
        playback::PostEvent(play, Format("%s移动完毕", unit.m_UnitName.c_str()),
                            SourceOf(PlayStep::MoveEnd, unit, *this, play));
        return 1;
    }
    // Never moves, never ends (until cancelled): a speed that is not positive.
    if (!(m_SpeedMapUnits > 0.0) || !std::isfinite(m_SpeedMapUnits))
        return 1;

    const RoutePoint& p0 = points[m_CurrentPoint];
    const RoutePoint& p1 = points[m_CurrentPoint + 1];
    bool passed;
    if (m_SegmentDurationMs == 0) {
        // Zero length, or shorter than a millisecond at this speed: passed at once.
        unit.m_CurX = p1.X;
        unit.m_CurY = p1.Y;
        passed = true;
    } else {
        double x = 0, y = 0;
        passed = SegmentStep(p0, p1, nowMs - m_SegmentStartMs, m_SegmentDurationMs, x, y);
        unit.m_CurX = x;
        unit.m_CurY = y;
    }
    if (passed) {
        ++m_CurrentPoint;
        m_SegmentStartMs = nowMs;
        if (m_CurrentPoint + 1 < points.size())
            StartSegment(*route, m_CurrentPoint, nowMs);
    }
    return 1;
}

int WGAction::ExecuteStrike(CUnitCanLoad& unit, uint32_t)
{
    CPlayState* play = PlayOf(unit);
    if (m_Running) {
        if (m_FireUnit && int64_t(m_FireUnit->m_OnCount) >= int64_t(m_HitTime) * 2) {
            m_FireUnit->m_Removed = 1;
            m_Running = 0;
            m_FireUnit = nullptr;
            playback::PostEvent(play, Format("%s打击完毕", unit.m_UnitName.c_str()),
                                SourceOf(PlayStep::StrikeEnd, unit, *this, play));
        } else if (!m_FireUnit) {
            m_Running = 0;  // its fire unit was deleted by someone else
        }
        return 1;
    }

    const PlanContext* context = ContextOf(unit);
    const UnitClassInfo* weapon = FindWeaponClass(context, m_BulletType);
    WGRoute* route = GetFirstRoute();
    CPlanLayer* firstLayer = FirstLayerOf(unit);
    if (!weapon || !route || route->m_Points.empty() || !firstLayer)
        return 1;

    auto fire = std::make_unique<UnitFire>();
    fire->m_UnitType = kUnitTypeFire;
    fire->m_ClassId = weapon->id;
    fire->m_UnitBitmap = weapon->bitmapPath;
    fire->m_UnitBitmapMask = weapon->maskPath;
    fire->m_StartPoint = {unit.m_CurX, unit.m_CurY, 0};
    fire->m_KillRadius = weapon->exploderadius;
    fire->m_ClassInfo = const_cast<UnitClassInfo*>(weapon);
    fire->m_UnitName = weapon->name;
    fire->m_EndPoint = {route->m_Points[0].X, route->m_Points[0].Y, 0};
    fire->m_Striker = &unit;
    fire->LoadBitmaps(context->moduleFolder, unit.m_Layer->m_Plan ? &unit.m_Layer->m_Plan->FireImages() : nullptr);
    fire->m_UnitNo = kFireUnitNo;

    if (!firstLayer->LockShared(10))
        return 1;  // the strike is dropped
    UnitFire* raw = fire.get();
    const bool added = firstLayer->AddUnit(std::move(fire));
    firstLayer->UnlockShared();
    if (!added)
        return 1;
    m_FireUnit = raw;
    m_Running = 1;
    playback::PostEvent(play, Format("%s开始打击 [使用火器: %s]", unit.m_UnitName.c_str(), weapon->name.c_str()),
                        SourceOf(PlayStep::StrikeStart, unit, *this, play));
    return 1;
}

int WGAction::ExecuteLoad(CUnitCanLoad& unit)
{
    CPlanLayer* firstLayer = FirstLayerOf(unit);
    if (!firstLayer || !firstLayer->LockShared(5))
        return 1;
    if (unit.m_UnitNo == m_UnitNo) {
        firstLayer->UnlockShared();
        return 0;
    }
    // What the load meets, noted for the plan check before it changes anything.
    CarryOutcome outcome = CarryOutcome::Done;
    const CUnitCanLoad* target = firstLayer->GetUnitByNo(m_UnitNo);
    if (!unit.GetCarriedUnits())
        outcome = CarryOutcome::CannotCarry;
    else if (!target)
        outcome = CarryOutcome::NoSuchUnit;
    else if (target->m_Loaded && target->m_CarrierNo != unit.m_UnitNo)
        outcome = CarryOutcome::CarriedByOther;
    unit.LoadUnit(m_UnitNo);
    firstLayer->UnlockShared();
    CPlayState* play = PlayOf(unit);
    playback::PostEvent(play, Format("%s 开始装载[单位: %d]", unit.m_UnitName.c_str(), m_UnitNo),
                        SourceOf(PlayStep::Load, unit, *this, play, outcome));
    return 1;
}

int WGAction::ExecuteUnload(CUnitCanLoad& unit)
{
    WGRoute* route = GetFirstRoute();
    if (!route || route->m_Points.empty())
        return 1;
    CPlanLayer* firstLayer = FirstLayerOf(unit);
    if (!firstLayer || !firstLayer->LockShared(5))
        return 1;
    const RoutePoint& p = route->m_Points[0];
    CarryOutcome outcome = CarryOutcome::CannotCarry;
    if (const std::vector<CUnitCanLoad*>* carried = unit.GetCarriedUnits()) {
        outcome = firstLayer->GetUnitByNo(m_UnitNo) ? CarryOutcome::NotCarried : CarryOutcome::NoSuchUnit;
        for (const CUnitCanLoad* u : *carried)
            if (u->m_UnitNo == m_UnitNo)
                outcome = CarryOutcome::Done;
    }
    unit.UnloadUnit(m_UnitNo, p.X, p.Y, p.Z);
    firstLayer->UnlockShared();
    CPlayState* play = PlayOf(unit);
    playback::PostEvent(play, Format("%s开始卸载[单位: %d]", unit.m_UnitName.c_str(), m_UnitNo),
                        SourceOf(PlayStep::Unload, unit, *this, play, outcome));
    return 1;
}
