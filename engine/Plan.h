#pragma once

#include "engine/ClockReceiver.h"
#include "engine/PlanContext.h"
#include "engine/PlanLayer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class PlanXmlWriter;
class XmlPullReader;

// A plan: its layers (the first one is the one strikes, loads, unloads, the
// view's editing and the replay use) and its start and end date-times, as
// seconds since 1970-01-01 00:00:00 UTC. Owns its layers.
class CPlan : public IClockReceiver {
public:
    // An element under the root the plan does not show (a `layer` whose map
    // did not load here, or an element of another kind), kept as the bytes it
    // had in the file, so a save gives it back unchanged: written just before
    // the shown layer at index `beforeLayer` (at the end when there is none).
    struct KeptElement {
        size_t beforeLayer = 0;
        std::string text;
    };

    explicit CPlan(PlanContext context = {});
    ~CPlan() override;
    CPlan(const CPlan&) = delete;
    CPlan& operator=(const CPlan&) = delete;

    std::vector<std::unique_ptr<CPlanLayer>> m_Layers;
    // In document order, by beforeLayer.
    std::vector<KeptElement> m_KeptElements;
    int64_t m_StartTime = 0;
    int64_t m_EndTime = 0;

    const PlanContext& GetContext() const { return m_Context; }
    CPlanLayer* GetFirstLayer() const { return m_Layers.empty() ? nullptr : m_Layers.front().get(); }
    // CancelAllActions on every layer, the first layer guarding the loads.
    void CancelAllActions();

    // ---- playback -------------------------------------------------------------
    // The play state playback uses (the context's); set it while the clock is stopped.
    CPlayState* GetPlayState() const { return m_Context.play; }
    void SetPlayState(CPlayState* play) { m_Context.play = play; }

    // Clock receiver: sets the play state's current date-time to StartTime +
    // trunc(now / 1000) (so this tick's events carry the panel's time), then
    // DispatchClock of every layer in order; a layer returning 0 ends the walk.
    int RecvClockEvent(uint32_t previousMs, uint32_t nowMs, const void* context) override;
    // CheckHits of every layer in order.
    void CheckHits(FireLineList& fireLines) override;
    // The clock's tick period.
    static constexpr uint32_t kTickMs = 200;
    // Plays the ticks fromMs, fromMs + period, ..., toMs as the clock does:
    // the fire lines emptied, RecvClockEvent, and CheckHits when the play
    // state has the hit check on. Only while the clock is stopped.
    void PlayTicks(uint32_t fromMs, uint32_t toMs, uint32_t periodMs = kTickMs);
    // Back to the state before the first tick: every layer's ResetPlayback.
    void ResetPlayback();
    // Leaves the plan exactly as an uninterrupted play leaves it after its
    // tick at `tickMs` (ResetPlayback, then PlayTicks(0, tickMs)): positions,
    // headings, carrying, every action's progress, fire units, hit flags. The
    // events and hits of those ticks go to the play state's sink in order;
    // hits are not added to its hit list (they are history, not alarms). Each
    // tick visits only the units that can act in it, so a ten-hour seek takes
    // milliseconds. A negative tickMs only resets. Only while the clock is
    // stopped; the clock's next tick is then tickMs + period. It walks the
    // layers itself: an override of RecvClockEvent is not called.
    void SeekTo(int64_t tickMs, uint32_t periodMs = kTickMs);
    // Points every layer back at this plan (after layers were added directly).
    void AdoptLayers();
    // The images of the fire units strikes make, each file read once: a strike
    // would otherwise read two bitmaps from disk. Used by whichever thread
    // runs the ticks (one at a time, as playback is).
    CUnitImageCache& FireImages() { return m_FireImages; }

    // Builds the single layer of a new plan and loads its map (no
    // DefaultMapImage fallback). gisFlag 0: bitmap map of the given size in km;
    // else a GIS map. On failure reports "图层加载地图失败" and adds nothing.
    bool AddNewLayer(const std::string& mapName, const std::string& mapSource, int gisFlag, double widthKm,
                     double heightKm);

    // Reads the document from its root element (the reader stands on the root's
    // start tag) to its end. The whole document is read before anything is
    // reported or any map is loaded, so a damaged file changes nothing and
    // says nothing. Then every `layer` element becomes a layer when its map
    // loads; every other child of the root reports "加载图层失败". Both kinds
    // of element that are not shown go to m_KeptElements as the reader's
    // OriginalText (exact when it was opened with KeepOriginalText).
    // StartTime and EndTime replace the plan's when present and not empty.
    // False (with `error`) for XML errors and for a root without child elements.
    bool Load(XmlPullReader& root, std::string* error = nullptr);
    // Writes the whole file: declaration, CR LF, the root with StartTime and
    // EndTime, CR LF, the layers with the kept elements among them, the root's end tag.
    void Save(PlanXmlWriter& out) const;
    // Anything under the root to save: a shown layer or a kept element.
    bool HasContent() const { return !m_Layers.empty() || !m_KeptElements.empty(); }

private:
    // After every layer has run a tick: fire lines of this tick start where
    // their strikers stand now, as the view draws them.
    void EndTick(uint32_t nowMs);

    PlanContext m_Context;
    CUnitImageCache m_FireImages;
};
