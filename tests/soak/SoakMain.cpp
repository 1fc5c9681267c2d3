// Concurrency soak: a dense plan plays at rate 8 on the clock thread while
// this (the user-interface) thread does what an operator does meanwhile:
// selecting, reading and editing units through the layer gate, adding and
// deleting units and actions, painting, pausing, resuming, changing the rate
// and seeking. Then many pause/resume cycles that land inside ticks.
//
// Fails (exit 1) on: events of one run segment out of plan-time order, a tick
// whose time is not the previous one plus the period, Stop returning while a
// tick still runs, a resumed clock that never ticks. A watchdog ends the
// program (exit 3) when the user-interface thread or a running clock stops
// making progress: a deadlock. Build with ThreadSanitizer to catch races.
//
//   tw-soak [--seconds S] [--cycles N] [--units N] [--seed N]
// Defaults: TARNWICK_SOAK_SECONDS or 25 s of play, TARNWICK_SOAK_CYCLES or
// 10000 pause/resume cycles, 1000 units.
#include "config/MessageReporter.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/ClockService.h"
#include "engine/Plan.h"
#include "engine/PlanContext.h"
#include "engine/PlanLayer.h"
#include "engine/PlanTime.h"
#include "engine/PlayState.h"
#include "engine/Units.h"
#include "render/PlanRenderer.h"
#include "ui/QueuedEventSink.h"
#include "support/TestPlanParts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

struct Options {
    double seconds = 25;
    long cycles = 10000;
    int units = 1000;
    unsigned seed = 20240501;
};

constexpr int kPlanSeconds = 300;  // actions are laid out over this much plan time
constexpr double kMapWidthKm = 8, kMapHeightKm = 6;
constexpr int kViewWidth = 800, kViewHeight = 600;

class QuietReporter : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage& message) override
    {
        std::fprintf(stderr, "soak: message: %s\n", message.text.c_str());
        return MessageAnswer::Ok;
    }
};

// Problems found; any of them fails the run.
std::atomic<long> g_failures{0};

void Fail(const char* what, long a = 0, long b = 0)
{
    if (g_failures.fetch_add(1) < 20)
        std::fprintf(stderr, "soak: FAILED: %s (%ld, %ld)\n", what, a, b);
}

// First of the clock's receivers: sees every tick start and checks that plan
// time advances one period per tick, except across a seek.
class TickProbe : public IClockReceiver {
public:
    void CheckHits(FireLineList&) override {}
    int RecvClockEvent(uint32_t, uint32_t nowMs, const void*) override
    {
        const uint32_t expected = m_expectedNow.load();
        if (nowMs != expected)
            Fail("tick time is not the previous tick time plus the period", long(nowMs), long(expected));
        m_expectedNow.store(nowMs + 200);
        m_tickStart.store(SteadyClock::now().time_since_epoch().count());
        m_started.fetch_add(1);
        return 1;
    }
    // The clock's repaint request comes at the very end of a tick.
    void TickEnded()
    {
        const auto took = SteadyClock::now().time_since_epoch().count() - m_tickStart.load();
        m_tickTotal.fetch_add(took);
        if (took > m_tickMax.load())
            m_tickMax.store(took);
        m_ended.fetch_add(1);
    }
    double MeanTickMs() const
    {
        const uint64_t n = m_ended.load();
        return n ? double(m_tickTotal.load()) / double(n) * SteadyClock::period::num / SteadyClock::period::den * 1000
                 : 0;
    }
    double MaxTickMs() const
    {
        return double(m_tickMax.load()) * SteadyClock::period::num / SteadyClock::period::den * 1000;
    }
    // The clock is stopped: the next tick comes at `nowMs`.
    void Expect(uint32_t nowMs) { m_expectedNow.store(nowMs); }

    std::atomic<uint32_t> m_expectedNow{0};
    std::atomic<uint64_t> m_started{0}, m_ended{0};
    std::atomic<int64_t> m_tickStart{0}, m_tickTotal{0}, m_tickMax{0};
};

// Deadlock watch: the user-interface thread and a running clock must keep
// moving. A stuck program is ended with a report instead of hanging its caller.
class Watchdog {
public:
    explicit Watchdog(const CClockService& clock, std::chrono::seconds limit) : m_clock(clock), m_limit(limit)
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~Watchdog()
    {
        m_stop.store(true);
        m_thread.join();
    }
    void Beat(const char* doing)
    {
        m_doing.store(doing);
        m_beats.fetch_add(1);
    }
    void ClockShouldRun(bool run) { m_clockShouldRun.store(run); }

private:
    void Run()
    {
        uint64_t lastBeats = m_beats.load(), lastTicks = m_clock.GetTickCount();
        auto beatSeen = SteadyClock::now(), tickSeen = beatSeen;
        while (!m_stop.load()) {
            std::this_thread::sleep_for(100ms);
            const auto now = SteadyClock::now();
            const uint64_t beats = m_beats.load(), ticks = m_clock.GetTickCount();
            if (beats != lastBeats)
                lastBeats = beats, beatSeen = now;
            if (ticks != lastTicks || !m_clockShouldRun.load())
                lastTicks = ticks, tickSeen = now;
            const char* stuck = nullptr;
            if (now - beatSeen > m_limit)
                stuck = "the user-interface thread";
            else if (now - tickSeen > m_limit)
                stuck = "the running clock";
            if (stuck) {
                std::fprintf(stderr, "soak: DEADLOCK: %s made no progress for %lld s (last step: %s)\n", stuck,
                             (long long)m_limit.count(), m_doing.load());
                std::fflush(stderr);
                // Where every thread stands, when a debugger is at hand.
                if (access("/usr/bin/gdb", X_OK) == 0) {
                    const std::string command = "/usr/bin/gdb -p " + std::to_string(getpid()) +
                                                " -batch -ex 'thread apply all bt 25' 1>&2";
                    [[maybe_unused]] const int rc = std::system(command.c_str());
                }
                _exit(3);
            }
        }
    }

    const CClockService& m_clock;
    const std::chrono::seconds m_limit;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_clockShouldRun{false};
    std::atomic<uint64_t> m_beats{0};
    std::atomic<const char*> m_doing{"start"};
    std::thread m_thread;
};

// Checks the order of the events that reach this thread through the event
// queue: within one run segment (between seeks) their plan times never go back.
class EventOrder {
public:
    void Seen(const EventRecord& record)
    {
        ++m_events;
        int h = 0, m = 0, s = 0;
        if (std::sscanf(record.timeText.c_str(), "%d:%d:%d", &h, &m, &s) != 3) {
            Fail("event without a time text");
            return;
        }
        const long t = h * 3600L + m * 60L + s;
        if (t < m_last)
            Fail("event earlier than the one before it in the same run segment", t, m_last);
        m_last = t;
    }
    void NewSegment()
    {
        m_last = -1;
        ++m_segments;
    }
    long m_events = 0, m_segments = 1;

private:
    long m_last = -1;
};

struct Counts {
    long select = 0, snapshot = 0, edit = 0, editDropped = 0, addUnit = 0, deleteUnit = 0, addAction = 0,
         deleteAction = 0, pause = 0, rate = 0, seek = 0, paint = 0, hitsCleared = 0;
};

WGAction* AddAction(CUnitCanLoad& unit, int32_t type, int32_t time, std::vector<RoutePoint> points = {})
{
    return AddTestAction(unit, type, time, std::move(points));
}

// 1000 units on an 8 x 6 km map: every unit moves and turns, every tenth
// strikes every four seconds at a neighbour, carriers load and unload.
std::unique_ptr<CUnitCanLoad> MakeUnit(int no, std::mt19937& rng, const std::vector<RoutePoint>& places)
{
    std::uniform_real_distribution<double> jitter(-0.4, 0.4);
    const char* classId = no % 50 == 1 ? "01.01" : no % 50 == 2 ? "02-01.01" : "02-02.01";
    auto unit = CreateUnitForClassId(classId);
    unit->m_ClassId = classId;
    unit->m_UnitNo = no;
    unit->m_UnitName = "单位" + std::to_string(no);
    const RoutePoint home = places[size_t(no) % places.size()];
    unit->m_InitX = unit->m_CurX = home.X;
    unit->m_InitY = unit->m_CurY = home.Y;
    unit->m_AppearTime = no % 7;
    for (int t = no % 30; t < kPlanSeconds; t += 60) {
        WGAction* move = AddAction(*unit, kActionMove, t,
                                   {home, {home.X + jitter(rng), home.Y + jitter(rng), 0},
                                    {home.X + jitter(rng), home.Y + jitter(rng), 0}, home});
        move->m_Speed = 3000;
        AddAction(*unit, kActionTurn, t + 15)->m_Angle = double(t % 360);
    }
    if (no % 10 == 0) {
        for (int t = 1 + no % 4; t < kPlanSeconds; t += 4) {
            const RoutePoint target = places[size_t(no + t) % places.size()];
            WGAction* strike = AddAction(*unit, kActionStrike, t, {target});
            strike->m_BulletType = "03.01";
            strike->m_HitTime = 1;
        }
    }
    if (no % 50 == 1 || no % 50 == 2) {
        for (int t = 20; t < kPlanSeconds; t += 60) {
            AddAction(*unit, kActionLoad, t)->m_UnitNo = no + 2;
            AddAction(*unit, kActionUnload, t + 20, {{home.X + 0.2, home.Y, 0}})->m_UnitNo = no + 2;
        }
    }
    return unit;
}

double Arg(int argc, char** argv, const char* name, const char* env, double fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return std::atof(argv[i + 1]);
    if (const char* v = std::getenv(env); v && *v)
        return std::atof(v);
    return fallback;
}

class Soak {
public:
    explicit Soak(const Options& options) : m_options(options), m_rng(options.seed) {}

    bool SetUp()
    {
        if (!m_dir.isValid())
            return false;
        const std::string folder = m_dir.path().toStdString();
        const std::string catalogPath = folder + "/UnitClassInfo.cfg";
        QFile file(QString::fromStdString(catalogPath));
        if (!file.open(QIODevice::WriteOnly) || file.write(kTestCatalogText) < 0)
            return false;
        file.close();
        CSysConfig config;
        if (!m_catalog.Load(catalogPath, config)) {
            std::fprintf(stderr, "soak: catalogue: %s\n", m_catalog.GetLastError().c_str());
            return false;
        }
        QImage mapImage(800, 600, QImage::Format_RGB32);
        mapImage.fill(QColor(200, 220, 180));
        const std::string mapPath = folder + "/map.bmp";
        if (!mapImage.save(QString::fromStdString(mapPath), "BMP"))
            return false;

        PlanContext context;
        context.catalog = &m_catalog;
        context.moduleFolder = folder;
        context.reporter = &m_reporter;
        context.play = &m_play;
        m_plan = std::make_unique<CPlan>(context);
        m_plan->m_StartTime = MakeLocalTime(2024, 5, 1, 0, 0, 0);
        m_plan->m_EndTime = m_plan->m_StartTime + kPlanSeconds;
        auto layer = std::make_unique<CPlanLayer>();
        if (!layer->m_Map.LoadMap(mapPath, 0, kViewWidth, kViewHeight, kMapWidthKm, kMapHeightKm))
            return false;
        layer->m_Map.SetViewWidthHeight(kViewWidth, kViewHeight);
        m_plan->m_Layers.push_back(std::move(layer));
        m_plan->AdoptLayers();
        m_layer = m_plan->GetFirstLayer();

        std::uniform_real_distribution<double> x(0.5, kMapWidthKm - 0.5), y(0.5, kMapHeightKm - 0.5);
        std::vector<RoutePoint> places;
        for (int i = 0; i < m_options.units; ++i)
            places.push_back({x(m_rng), y(m_rng), 0});
        for (int no = 1; no <= m_options.units; ++no)
            if (!m_layer->AddUnit(MakeUnit(no, m_rng, places)))
                return false;

        m_play.SetEventSink(&m_sink);
        m_play.SetHitDistance(0.005);
        m_play.SetCheckBeenHit(1);
        QObject::connect(&m_sink, &CQueuedEventSink::eventArrived, [this](const EventRecord& r) { m_order.Seen(r); });
        m_clock.SetFireLineList(&m_play.FireLines());
        m_clock.SetCheckBeenHit(1);
        m_clock.SetRepaintRequest([this] { m_probe.TickEnded(); });
        m_clock.AddReceiver(&m_probe);
        m_clock.AddReceiver(m_plan.get());
        m_clock.SetTime(0);
        m_probe.Expect(0);
        return m_clock.SetRate(8);
    }

    void Play()
    {
        const auto end = SteadyClock::now() + std::chrono::duration<double>(m_options.seconds);
        Resume();
        auto nextPaint = SteadyClock::now();
        while (SteadyClock::now() < end) {
            m_watchdog.Beat("events");
            QCoreApplication::processEvents();
            if (SteadyClock::now() >= nextPaint) {
                Paint();
                nextPaint = SteadyClock::now() + 40ms;
            }
            // Plan time past the last actions: start over somewhere earlier.
            if (m_clock.GetTime() > uint32_t(kPlanSeconds) * 1000)
                Seek();
            Step();
            std::this_thread::sleep_for(std::chrono::microseconds(Pick(3000)));
        }
        Pause();
        Drain();
    }

    // Resume, wait for a tick to begin, stop somewhere inside it (or at its
    // very start); Stop must return only after that tick has ended.
    void PauseResumeCycles()
    {
        m_clock.SetRate(8);
        for (long i = 0; i < m_options.cycles; ++i) {
            m_watchdog.Beat("pause/resume cycle");
            const uint64_t before = m_probe.m_started.load();
            Resume();
            const auto deadline = SteadyClock::now() + 10s;
            while (m_probe.m_started.load() == before) {
                if (SteadyClock::now() > deadline) {
                    Fail("a resumed clock did not tick within 10 s", i);
                    break;
                }
                std::this_thread::yield();
            }
            const auto spin = SteadyClock::now() + std::chrono::microseconds(Pick(1500));
            while (SteadyClock::now() < spin)
                std::this_thread::yield();
            Pause();
            ++m_cycles;
            if (i % 64 == 0)
                QCoreApplication::processEvents();
        }
        Drain();
    }

    int Report(double elapsed) const
    {
        const long ticks = long(m_clock.GetTickCount());
        std::printf("soak: %.1f s, %d units at first, %ld ticks, %ld events in %ld run segments, %ld hits\n",
                    elapsed, m_options.units, ticks, m_order.m_events, m_order.m_segments, m_hits);
        std::printf("soak: operations: %ld selections, %ld snapshots, %ld edits (%ld dropped at the gate), "
                    "%ld units added, %ld units deleted, %ld actions added, %ld actions deleted, %ld pauses, "
                    "%ld rate changes, %ld seeks, %ld paints, %ld hit list clears\n",
                    m_counts.select, m_counts.snapshot, m_counts.edit, m_counts.editDropped, m_counts.addUnit,
                    m_counts.deleteUnit, m_counts.addAction, m_counts.deleteAction, m_counts.pause, m_counts.rate,
                    m_counts.seek, m_counts.paint, m_counts.hitsCleared);
        std::printf("soak: %ld pause/resume cycles inside ticks; %ld units at the end; ticks took %.1f ms on "
                    "average, %.1f ms at most\n",
                    m_cycles, long(m_layer->GetUnitCount()), m_probe.MeanTickMs(), m_probe.MaxTickMs());
        if (m_order.m_events == 0)
            Fail("no event arrived");
        if (m_hits == 0 && m_options.seconds >= 10)
            Fail("no hit was reported");
        const long failures = g_failures.load();
        std::printf("soak: %s (%ld failures)\n", failures ? "FAILED" : "passed", failures);
        return failures ? 1 : 0;
    }

    void Shutdown()
    {
        m_clock.Stop();
        m_clock.RemoveReceiver(m_plan.get());
        m_clock.RemoveReceiver(&m_probe);
    }

private:
    long Pick(long n) { return std::uniform_int_distribution<long>(0, n - 1)(m_rng); }

    void Resume()
    {
        m_watchdog.ClockShouldRun(true);
        m_clock.Resume();
    }
    void Pause()
    {
        m_clock.Stop();
        m_watchdog.ClockShouldRun(false);
        if (m_probe.m_started.load() != m_probe.m_ended.load())
            Fail("Stop returned while a tick was still running", long(m_probe.m_started.load()),
                 long(m_probe.m_ended.load()));
    }
    // Delivers the queued events.
    void Drain()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        m_hits += long(m_play.HitList().Count());
        m_play.HitList().Clear();
    }

    // A random unit of the first layer other than a fire unit; the gate is held.
    CUnitCanLoad* RandomUnit()
    {
        const size_t n = m_layer->GetUnitCount();
        if (n == 0)
            return nullptr;
        CUnitCanLoad* unit = m_layer->GetUnitAt(size_t(Pick(long(n))));
        return unit->m_UnitType == kUnitTypeFire ? nullptr : unit;
    }

    void Step()
    {
        const long r = Pick(100);
        if (r < 20)
            Select();
        else if (r < 40)
            Snapshot();
        else if (r < 60)
            Edit();
        else if (r < 65)
            AddUnit();
        else if (r < 69)
            DeleteUnit();
        else if (r < 76)
            AddActionToUnit();
        else if (r < 82)
            DeleteAction();
        else if (r < 89)
            PauseAndResume();
        else if (r < 93)
            ChangeRate();
        else if (r < 95)
            Seek();
        else
            ClearHits();
    }

    // What the view does on a click: find the unit under the gate, mark it.
    void Select()
    {
        m_watchdog.Beat("select");
        if (!m_layer->LockShared(20))
            return;
        if (CUnitCanLoad* unit = RandomUnit()) {
            for (size_t i = 0; i < m_layer->GetUnitCount(); ++i)
                m_layer->GetUnitAt(i)->m_Selected = 0;
            unit->m_Selected = 1;
            ++m_counts.select;
        }
        m_layer->UnlockShared();
    }

    // What the general property panel reads.
    void Snapshot()
    {
        m_watchdog.Beat("snapshot");
        if (!m_layer->LockShared(20))
            return;
        if (const CUnitCanLoad* unit = RandomUnit()) {
            volatile double sum = unit->m_CurX + unit->m_CurY + unit->m_InitX + unit->m_Angle;
            (void)sum;
            m_lastName = unit->m_UnitName;
            m_lastActions = unit->m_Actions.size();
            ++m_counts.snapshot;
        }
        m_layer->UnlockShared();
    }

    // The panels' "修改": fixed attributes, current position, a custom property,
    // an action's parameters. Edits hold the gate exclusively for 20 ms at most.
    void Edit()
    {
        m_watchdog.Beat("edit");
        if (!m_layer->TryLockExclusive(20)) {
            ++m_counts.editDropped;
            return;
        }
        if (CUnitCanLoad* unit = RandomUnit()) {
            switch (Pick(4)) {
            case 0:
                unit->m_UnitName = "改名单位" + std::to_string(unit->m_UnitNo) + "号";
                unit->m_Angle = double(Pick(360));
                unit->m_InitX = unit->m_InitX + 0.01;
                break;
            case 1:
                unit->m_CurX = unit->m_CurX + 0.01;
                unit->m_CurY = unit->m_CurY - 0.01;
                break;
            case 2:
                unit->FirstCustomPropertyList().m_Properties.push_back(
                    {int32_t(Pick(1000)), "属性", std::to_string(Pick(1000))});
                break;
            default:
                if (!unit->m_Actions.empty()) {
                    WGAction& action = *unit->m_Actions[size_t(Pick(long(unit->m_Actions.size())))];
                    action.m_Speed = 2000 + double(Pick(2000));
                    action.m_HitTime = 1 + int32_t(Pick(2));
                    action.m_Angle = double(Pick(360));
                }
                break;
            }
            ++m_counts.edit;
        }
        m_layer->UnlockExclusive();
    }

    // A unit dropped from the catalogue, numbered after the largest one.
    void AddUnit()
    {
        m_watchdog.Beat("add unit");
        const int32_t no = m_layer->MaxUnitNo() + 1;
        if (no >= kFireUnitNo)
            return;
        auto unit = CreateUnitForClassId("02-02.01");
        unit->m_ClassId = "02-02.01";
        unit->m_UnitNo = no;
        unit->m_UnitName = "新单位" + std::to_string(no);
        unit->m_InitX = unit->m_CurX = 1 + double(Pick(600)) / 100;
        unit->m_InitY = unit->m_CurY = 1 + double(Pick(400)) / 100;
        const int32_t now = int32_t(m_clock.GetTime() / 1000);
        AddAction(*unit, kActionMove, now + 2, {{unit->m_InitX, unit->m_InitY, 0}, {unit->m_InitX + 0.3, unit->m_InitY, 0}})
            ->m_Speed = 3000;
        if (m_layer->AddUnit(std::move(unit)))
            ++m_counts.addUnit;
    }

    // The Delete key: note the number under the gate, delete by number.
    void DeleteUnit()
    {
        m_watchdog.Beat("delete unit");
        int32_t no = -1;
        if (!m_layer->LockShared(20))
            return;
        if (CUnitCanLoad* unit = RandomUnit())
            no = unit->m_UnitNo;
        m_layer->UnlockShared();
        if (no < 0)
            return;
        m_layer->DeleteUnitsByNo(no);
        ++m_counts.deleteUnit;
    }

    // The action panel's popup: a move or a strike a few seconds from now.
    void AddActionToUnit()
    {
        m_watchdog.Beat("add action");
        if (!m_layer->TryLockExclusive(20)) {
            ++m_counts.editDropped;
            return;
        }
        if (CUnitCanLoad* unit = RandomUnit()) {
            const int32_t at = int32_t(m_clock.GetTime() / 1000) + 1 + int32_t(Pick(4));
            const RoutePoint here{unit->m_CurX, unit->m_CurY, 0};
            if (Pick(2)) {
                AddAction(*unit, kActionMove, at, {here, {here.X + 0.2, here.Y + 0.1, 0}})->m_Speed = 3000;
            } else {
                WGAction* strike = AddAction(*unit, kActionStrike, at, {{here.X + 0.5, here.Y, 0}});
                strike->m_BulletType = "03.01";
                strike->m_HitTime = 1;
            }
            ++m_counts.addAction;
        }
        m_layer->UnlockExclusive();
    }

    // The action panel's "删除", also of a running move or strike.
    void DeleteAction()
    {
        m_watchdog.Beat("delete action");
        if (!m_layer->TryLockExclusive(20)) {
            ++m_counts.editDropped;
            return;
        }
        std::unique_ptr<WGAction> removed;
        if (CUnitCanLoad* unit = RandomUnit(); unit && !unit->m_Actions.empty()) {
            // Prefer one that is running, the case that leaves references behind.
            const WGAction* chosen = unit->m_Actions[size_t(Pick(long(unit->m_Actions.size())))].get();
            for (const auto& action : unit->m_Actions)
                if (action->m_Running)
                    chosen = action.get();
            removed = unit->RemoveAction(chosen->m_ActionNo);
            ++m_counts.deleteAction;
        }
        m_layer->UnlockExclusive();
    }

    void PauseAndResume()
    {
        m_watchdog.Beat("pause and resume");
        Pause();
        std::this_thread::sleep_for(std::chrono::microseconds(Pick(5000)));
        Resume();
        ++m_counts.pause;
    }

    // Speed down for a moment, back to 8.
    void ChangeRate()
    {
        m_watchdog.Beat("change rate");
        static const double rates[] = {0.0625, 0.125, 0.25, 0.5, 1, 2, 4};
        m_clock.SetRate(rates[Pick(7)]);
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(Pick(30)));
        m_clock.SetRate(8);
        ++m_counts.rate;
    }

    // "重新计算各单位的位置" at a chosen time: stop, set the time, reset the
    // positions, replay to it in one-second steps, play on from there.
    void Seek()
    {
        m_watchdog.Beat("seek");
        Pause();
        // The seek plays from 0 on the user-interface thread; keep it short
        // enough for the watchdog in sanitizer builds.
        const uint32_t seconds = uint32_t(Pick(90));
        // As the program's seek does: what the clock queued before it belongs to
        // the history the seek replaces and is dropped (the sink delivers in
        // bursts, so a queued marker would not separate the two segments).
        m_sink.DiscardPending();
        m_order.NewSegment();
        m_clock.SetTime(seconds * 1000 + 200);
        m_probe.Expect(seconds * 1000 + 200);
        m_plan->SeekTo(int64_t(seconds) * 1000);
        Resume();
        ++m_counts.seek;
    }

    void ClearHits()
    {
        m_watchdog.Beat("clear hits");
        m_hits += long(m_play.HitList().Count());
        m_play.HitList().Clear();
        ++m_counts.hitsCleared;
    }

    void Paint()
    {
        m_watchdog.Beat("paint");
        QPainter painter(&m_window);
        PlanRenderOptions options;
        options.showRoutes = true;
        m_renderer.Paint(painter, m_plan.get(), m_window.size(), options);
        ++m_counts.paint;
    }

    Options m_options;
    std::mt19937 m_rng;
    QTemporaryDir m_dir;
    CUnitClassCatalog m_catalog;
    QuietReporter m_reporter;
    CPlayState m_play;
    CQueuedEventSink m_sink{&m_play.HitList()};
    std::unique_ptr<CPlan> m_plan;
    CPlanLayer* m_layer = nullptr;
    TickProbe m_probe;
    CClockService m_clock{200, &m_reporter};
    Watchdog m_watchdog{m_clock, std::chrono::seconds(180)};
    CPlanRenderer m_renderer{QSize(kViewWidth, kViewHeight)};
    QImage m_window{kViewWidth, kViewHeight, QImage::Format_RGB32};
    EventOrder m_order;
    Counts m_counts;
    long m_hits = 0;
    long m_cycles = 0;
    std::string m_lastName;
    size_t m_lastActions = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options options;
    options.seconds = Arg(argc, argv, "--seconds", "TARNWICK_SOAK_SECONDS", options.seconds);
    options.cycles = long(Arg(argc, argv, "--cycles", "TARNWICK_SOAK_CYCLES", double(options.cycles)));
    options.units = std::clamp(int(Arg(argc, argv, "--units", "TARNWICK_SOAK_UNITS", options.units)), 10, 20000);
    options.seed = unsigned(Arg(argc, argv, "--seed", "TARNWICK_SOAK_SEED", options.seed));

    const auto start = SteadyClock::now();
    Soak soak(options);
    if (!soak.SetUp()) {
        std::fprintf(stderr, "soak: cannot set up the plan\n");
        return 2;
    }
    std::printf("soak: playing %.0f s at rate 8, then %ld pause/resume cycles\n", options.seconds, options.cycles);
    std::fflush(stdout);
    const auto playing = SteadyClock::now();
    soak.Play();
    const auto cycling = SteadyClock::now();
    soak.PauseResumeCycles();
    std::printf("soak: set-up %.1f s, play %.1f s, cycles %.1f s\n",
                std::chrono::duration<double>(playing - start).count(),
                std::chrono::duration<double>(cycling - playing).count(),
                std::chrono::duration<double>(SteadyClock::now() - cycling).count());
    soak.Shutdown();
    return soak.Report(std::chrono::duration<double>(SteadyClock::now() - start).count());
}
