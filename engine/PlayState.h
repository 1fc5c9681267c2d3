#pragma once

#include "engine/EventSink.h"
#include "engine/FireLine.h"
#include "engine/HitList.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

// The application's working values that playback reads and writes: the fire
// lines of the current tick, the hit check switch and distance, the pending
// hits, where events go, and the plan's current date-time that stamps events.
// Owned by the application (or the replay tool) and shared by the clock thread
// and the user-interface thread; the comments say who touches what.
class CPlayState {
public:
    // Clock thread only (emptied and filled within one tick); hand the same
    // list to the clock with CClockService::SetFireLineList.
    FireLineList& FireLines() { return m_fireLines; }

    // Hit distance in map units (0.0001 until the play command computes it).
    void SetHitDistance(double mapUnits) { m_hitDistance.store(mapUnits); }
    double GetHitDistance() const { return m_hitDistance.load(); }
    void SetCheckBeenHit(int flag) { m_checkBeenHit.store(flag); }
    // "BitmapMapRealKm": bitmap maps count one map unit per kilometre (MapUnitsPerKm).
    void SetBitmapRealKm(bool on) { m_bitmapRealKm.store(on); }
    bool BitmapRealKm() const { return m_bitmapRealKm.load(); }
    int GetCheckBeenHit() const { return m_checkBeenHit.load(); }

    // Set while the clock is stopped; never null during play (a no-op sink by default).
    void SetEventSink(IEventSink* sink) { m_sink = sink ? sink : &m_nullSink; }
    IEventSink& EventSink() const { return *m_sink; }
    CHitList& HitList() { return m_hitList; }
    // Off while a seek replays history: its hits reach the sink, not the hit alarm.
    void SetRecordsHits(bool on) { m_recordsHits.store(on); }
    bool RecordsHits() const { return m_recordsHits.load(); }

    // The plan's current date-time, as seconds since 1970: plan start plus
    // trunc(now / 1000) after each tick. Written by the tick, read anywhere.
    void SetCurrentEpoch(int64_t epoch) { m_currentEpoch.store(epoch); }
    int64_t GetCurrentEpoch() const { return m_currentEpoch.load(); }
    // Plan milliseconds of the tick in progress (or last played).
    void SetCurrentMs(uint32_t ms) { m_currentMs.store(ms); }
    uint32_t GetCurrentMs() const { return m_currentMs.load(); }
    // "%H:%M:%S" of the current date-time in local time.
    std::string TimeText() const { return FormatTimeOfDay(std::time_t(m_currentEpoch.load())); }

    // Sends an event stamped with the current time text.
    void PostEvent(const std::string& message, const PlaySource& source = {})
    {
        m_sink->OnEvent({TimeText(), message, GetCurrentEpoch(), source});
    }

private:
    class NullSink : public IEventSink {
    public:
        void OnEvent(const EventRecord&) override {}
        void OnHit(const HitRecord&) override {}
    };

    FireLineList m_fireLines;
    std::atomic<double> m_hitDistance{0.0001};
    std::atomic<int> m_checkBeenHit{1};
    std::atomic<bool> m_bitmapRealKm{false};
    std::atomic<bool> m_recordsHits{true};
    NullSink m_nullSink;
    IEventSink* m_sink = &m_nullSink;
    CHitList m_hitList;
    std::atomic<int64_t> m_currentEpoch{0};
    std::atomic<uint32_t> m_currentMs{0};
};
