#pragma once

#include "engine/EventSink.h"
#include "engine/Plan.h"
#include "engine/PlayState.h"

// Sends the play's events and hits here instead of the play state's sink,
// and keeps its hits out of the hit alarm, for as long as it lives.
class PlayStateDiversion {
public:
    PlayStateDiversion(CPlan& plan, IEventSink& sink) : m_plan(plan)
    {
        if (!plan.GetPlayState()) {
            m_own = true;
            plan.SetPlayState(&m_local);
        }
        CPlayState& play = *plan.GetPlayState();
        m_sink = &play.EventSink();
        m_recordsHits = play.RecordsHits();
        play.SetEventSink(&sink);
        play.SetRecordsHits(false);
    }
    ~PlayStateDiversion()
    {
        CPlayState& play = *m_plan.GetPlayState();
        play.SetEventSink(m_sink);
        play.SetRecordsHits(m_recordsHits);
        if (m_own)
            m_plan.SetPlayState(nullptr);
    }
    PlayStateDiversion(const PlayStateDiversion&) = delete;
    PlayStateDiversion& operator=(const PlayStateDiversion&) = delete;

private:
    CPlan& m_plan;
    CPlayState m_local;
    bool m_own = false;
    IEventSink* m_sink = nullptr;
    bool m_recordsHits = true;
};

// A sink that drops everything (the frames of a video need no events).
class DiscardingSink : public IEventSink {
public:
    void OnEvent(const EventRecord&) override {}
    void OnHit(const HitRecord&) override {}
};
