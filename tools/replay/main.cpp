// tarnwick-replay: plays a plan without a window and writes what happened.
#include "config/MessageReporter.h"
#include "config/ModulePaths.h"
#include "config/StartupConfig.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/ClockService.h"
#include "engine/Plan.h"
#include "engine/PlanChecker.h"
#include "engine/PlanFile.h"
#include "engine/PlaybackEvents.h"
#include "engine/PlayState.h"
#include "map/MapSource.h"
#include "export/GisExport.h"
#include "export/PlanFrame.h"
#include "export/PlanPage.h"
#include "export/PlayRecorder.h"
#include "export/VideoExport.h"
#include "render/PlanRenderer.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

enum ExitCode { kDone = 0, kBadPlan = 1, kBadArguments = 2, kBadConfig = 3, kPlanHasProblems = 4 };

const char* const kUsage =
    "usage: tarnwick-replay [options] PLAN.pln\n"
    "  --home DIR      folder with SysConfig.cfg, UnitClassInfo.cfg and the image folders\n"
    "                  (default: the program's folder)\n"
    "  --until S       play the ticks now = 0, 200, ..., S*1000 ms (default: EndTime - StartTime)\n"
    "  --seek S        then seek to S as the time bar does (the state and events of a play to S)\n"
    "  --resume S      then play on to S*1000 ms; --seek and --resume may be repeated, in order\n"
    "  --view WxH      view size for the hit distance; default 1024x768\n"
    "  --events FILE   event log: HH:MM:SS<TAB>text (\"-\" = standard output)\n"
    "  --hits FILE     hits: HH:MM:SS<TAB>victim<TAB>attacker<TAB>distance\n"
    "  --units FILE    final state of the first layer:\n"
    "                  UnitNo<TAB>UnitName<TAB>x<TAB>y<TAB>Angle<TAB>appeared<TAB>loaded\n"
    "  --save FILE     save the plan after playing\n"
    "  --render FILE   after playing, draw the plan in run mode as the view shows it\n"
    "                  (--view size, first layer's map at its initial zoom and centre) into a PNG\n"
    "  --check         check the plan instead of playing it: one problem a line,\n"
    "                  severity<TAB>UnitNo<TAB>UnitName<TAB>ActionNo<TAB>message;\n"
    "                  exit status 0 when there is none, 4 when there are some\n"
    "  --pdf FILE      after playing, the --render picture on an A4 PDF page with a title block\n"
    "  --export-gis FILE  play the plan from its start to --until (default: its end) and write\n"
    "                  units, routes, strike targets, tracks, events and hits as GIS data\n"
    "  --format NAME   gpkg (default), geojson, kml or shp; default from FILE's extension\n"
    "  --video FILE    play from --from to --to and write the frames as the view draws them\n"
    "                  (--view size) to an MP4 (H.264) or, for *.gif, an animated GIF\n"
    "  --from S        first frame's plan time in seconds (default 0)\n"
    "  --to S          last frame's plan time in seconds (default: the plan's end)\n"
    "  --fps N         frames per second (default 25)\n"
    "  --ffmpeg PATH   the FFmpeg program (default: ffmpeg on PATH)\n"
    "  --help          print this text and exit\n"
    "  --version       print the version and exit\n";

struct Options {
    std::string plan;
    std::string home;
    std::optional<uint32_t> untilSeconds;
    struct Step {
        bool seek;  // else resume
        uint32_t seconds;
    };
    std::vector<Step> steps;  // after --until, in the order given
    int viewWidth = 1024;
    int viewHeight = 768;
    std::string events, hits, units, save, render, pdf;
    std::string gis, gisFormat;
    std::string video, ffmpeg = "ffmpeg";
    std::optional<uint32_t> fromSeconds, toSeconds;
    int fps = 25;
    bool help = false, version = false;
    bool check = false;
};

bool ParseUnsigned(const char* text, unsigned long long max, unsigned long long& out)
{
    if (!text || !*text || *text == '-' || *text == '+')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > max)
        return false;
    out = v;
    return true;
}

bool ParseView(const std::string& text, int& w, int& h)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    unsigned long long a = 0, b = 0;
    if (!ParseUnsigned(text.substr(0, x).c_str(), 100000, a) || !ParseUnsigned(text.substr(x + 1).c_str(), 100000, b) ||
        a == 0 || b == 0)
        return false;
    w = int(a);
    h = int(b);
    return true;
}

// Returns an error text, empty on success.
std::string ParseArguments(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Either answers at once, whatever else is given.
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return {};
        }
        if (arg == "--version") {
            o.version = true;
            return {};
        }
        if (arg == "--check") {
            o.check = true;
            continue;
        }
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            if (i + 1 >= argc)
                return arg + " needs a value";
            const char* value = argv[++i];
            if (arg == "--home") {
                o.home = value;
            } else if (arg == "--until") {
                // The clock counts 32-bit milliseconds.
                unsigned long long s = 0;
                if (!ParseUnsigned(value, 4294967ull, s))
                    return std::string("bad --until: ") + value;
                o.untilSeconds = uint32_t(s);
            } else if (arg == "--seek" || arg == "--resume") {
                unsigned long long s = 0;
                if (!ParseUnsigned(value, 4294966ull, s))
                    return "bad " + arg + ": " + value;
                o.steps.push_back({arg == "--seek", uint32_t(s)});
            } else if (arg == "--view") {
                if (!ParseView(value, o.viewWidth, o.viewHeight))
                    return std::string("bad --view: ") + value;
            } else if (arg == "--events") {
                o.events = value;
            } else if (arg == "--hits") {
                o.hits = value;
            } else if (arg == "--units") {
                o.units = value;
            } else if (arg == "--save") {
                o.save = value;
            } else if (arg == "--render") {
                o.render = value;
            } else if (arg == "--pdf") {
                o.pdf = value;
            } else if (arg == "--export-gis") {
                o.gis = value;
            } else if (arg == "--format") {
                if (!GisFormatByName(value))
                    return std::string("unknown --format: ") + value + " (gpkg, geojson, kml, shp)";
                o.gisFormat = value;
            } else if (arg == "--video") {
                o.video = value;
            } else if (arg == "--ffmpeg") {
                o.ffmpeg = value;
            } else if (arg == "--from" || arg == "--to") {
                unsigned long long s = 0;
                if (!ParseUnsigned(value, 4294966ull, s))
                    return "bad " + arg + ": " + value;
                (arg == "--from" ? o.fromSeconds : o.toSeconds) = uint32_t(s);
            } else if (arg == "--fps") {
                unsigned long long n = 0;
                if (!ParseUnsigned(value, 120, n) || n == 0)
                    return std::string("bad --fps (1 to 120): ") + value;
                o.fps = int(n);
            } else {
                return "unknown option " + arg;
            }
        } else if (o.plan.empty() && !arg.empty() && arg != "-") {
            o.plan = arg;
        } else {
            return "unexpected argument " + arg;
        }
    }
    if (o.plan.empty())
        return "no plan file given";
    return {};
}

// The output files, opened once each; "-" is standard output.
class Outputs {
public:
    ~Outputs()
    {
        for (auto& [name, file] : m_files)
            if (file != stdout)
                std::fclose(file);
        std::fflush(stdout);
    }
    // nullptr for no file; false when it cannot be created.
    bool Open(const std::string& name, std::FILE*& out)
    {
        out = nullptr;
        if (name.empty())
            return true;
        if (name == "-") {
            out = stdout;
            return true;
        }
        auto it = m_files.find(name);
        if (it != m_files.end()) {
            out = it->second;
            return true;
        }
        out = std::fopen(name.c_str(), "wb");
        if (!out)
            return false;
        m_files[name] = out;
        return true;
    }
    bool Flush()
    {
        bool ok = std::fflush(stdout) == 0;
        for (auto& [name, file] : m_files)
            ok = std::fflush(file) == 0 && !std::ferror(file) && ok;
        return ok;
    }

private:
    std::map<std::string, std::FILE*> m_files;
};

void WriteLine(std::FILE* out, const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
}

// Writes events and hits as they come (the ticks run on this thread), or,
// when the play has seeks, keeps them until the end: a seek replaces the
// history, as the event list shows it.
class FileSink : public IEventSink {
public:
    FileSink(std::FILE* events, std::FILE* hits, bool keep) : m_events(events), m_hits(hits), m_keep(keep) {}
    void OnEvent(const EventRecord& record) override
    {
        if (m_keep)
            m_kept.OnEvent(record);
        else
            WriteEvent(record);
    }
    void OnHit(const HitRecord& record) override
    {
        if (m_keep)
            m_kept.OnHit(record);
        else
            WriteHit(record);
    }
    void Replace(CEventRecorder history) { m_kept = std::move(history); }
    void WriteKept()
    {
        for (const EventRecord& record : m_kept.events)
            WriteEvent(record);
        for (const HitRecord& record : m_kept.hits)
            WriteHit(record);
        m_kept = {};
    }

private:
    void WriteEvent(const EventRecord& record)
    {
        if (m_events)
            WriteLine(m_events, record.timeText + "\t" + record.message);
    }
    void WriteHit(const HitRecord& record)
    {
        if (m_hits)
            WriteLine(m_hits, record.timeText + "\t" + record.victim + "\t" + record.attacker + "\t" +
                                  playback::Format("%.2f", record.distance));
    }

    std::FILE* m_events;
    std::FILE* m_hits;
    bool m_keep;
    CEventRecorder m_kept;
};

// What the play command computes: the hit distance in map units at the map y
// of the view's top-left pixel, for a view of the given size at the map's
// initial zoom and centre.
double HitDistanceFor(CPlan& plan, int viewWidth, int viewHeight, double distWhenBeenHit, bool bitmapRealKm)
{
    CPlanLayer* first = plan.GetFirstLayer();
    if (!first)
        return 0.0001;
    CMapLoader& map = first->m_Map;
    map.SetViewWidthHeight(viewWidth, viewHeight);
    map.SetViewSize(viewWidth, viewHeight);
    map.UpdateSourceRect(viewWidth, viewHeight);
    double x = 0, y = 0;
    map.ViewToMap(x, y, 0, 0);
    return MapUnitsPerKm(map.GetMapType(), bitmapRealKm, y) * distWhenBeenHit / 1000.0;
}

void WriteUnits(std::FILE* out, const CPlan& plan)
{
    const CPlanLayer* first = plan.GetFirstLayer();
    if (!out || !first)
        return;
    first->LockSharedWait();
    for (size_t i = 0; i < first->GetUnitCount(); ++i) {
        const CUnitCanLoad* u = first->GetUnitAt(i);
        // Any magnitude: a coordinate of 1e300 prints in full.
        WriteLine(out, std::to_string(u->m_UnitNo) + "\t" + u->m_UnitName + "\t" +
                           playback::Format("%.6f\t%.6f\t%.6f\t%d\t%d", double(u->m_CurX), double(u->m_CurY),
                                            double(u->m_Angle), int(u->m_Appeared), int(u->m_Loaded)));
    }
    first->UnlockShared();
}

// The run-mode picture of the plan for a view of the given size, drawn by
// the view's own code. The maps keep the size HitDistanceFor gave them.
QImage RenderPlan(const CPlan& plan, int viewWidth, int viewHeight)
{
    // Run mode, routes hidden as at start-up.
    PlanFrameRenderer renderer(QSize(viewWidth, viewHeight));
    return renderer.Draw(plan);
}

// The exports that play the plan themselves (after everything else was written).
int RunExports(CPlan& plan, const Options& options)
{
    if (!options.gis.empty()) {
        const GisFormat format =
            options.gisFormat.empty() ? GisFormatForPath(options.gis) : *GisFormatByName(options.gisFormat);
        const uint32_t until = options.untilSeconds ? *options.untilSeconds : PlanSeconds(plan);
        const PlayRecord play = RecordPlay(plan, until, CPlan::kTickMs);
        const ExportResult result = ExportGis(plan, play, options.gis, format);
        if (!result.ok) {
            std::fprintf(stderr, "tarnwick-replay: %s\n", result.description.c_str());
            return kBadArguments;
        }
    }
    if (!options.video.empty()) {
        VideoOptions video;
        video.path = options.video;
        video.format = VideoFormatForPath(options.video);
        video.fromMs = options.fromSeconds.value_or(0) * 1000;
        video.toMs = options.toSeconds.value_or(PlanSeconds(plan)) * 1000;
        video.fps = options.fps;
        video.size = QSize(options.viewWidth, options.viewHeight);
        video.ffmpeg = options.ffmpeg;
        const ExportResult result = ExportVideo(plan, video);
        if (!result.ok) {
            std::fprintf(stderr, "tarnwick-replay: %s\n", result.description.c_str());
            return kBadArguments;
        }
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv)
{
    // A GIS map needs the application object; nothing is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    StderrMessageReporter reporter;
    SetDefaultMessageReporter(&reporter);

    Options options;
    if (const std::string error = ParseArguments(argc, argv, options); !error.empty()) {
        std::fprintf(stderr, "tarnwick-replay: %s\n%s", error.c_str(), kUsage);
        return kBadArguments;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return kDone;
    }
    if (options.version) {
        std::printf("tarnwick-replay %s\n", TARNWICK_VERSION);
        return kDone;
    }
    if (options.home.empty())
        options.home = modulepaths::ModuleFolder();

    CSysConfig config;
    CUnitClassCatalog catalog;
    const StartupConfigResult startup = LoadStartupConfig(options.home, config, catalog);
    if (!startup.ok) {
        std::fprintf(stderr, "tarnwick-replay: %s\n", startup.description.c_str());
        return kBadConfig;
    }
    const HitCheckSettings settings = ReadHitCheckSettings(config);

    CPlayState play;
    PlanContext context;
    context.catalog = &catalog;
    context.moduleFolder = options.home;
    context.reporter = &reporter;
    context.play = &play;
    std::string error;
    std::unique_ptr<CPlan> plan = LoadPlan(options.plan, context, &error);
    if (!plan) {
        std::fprintf(stderr, "tarnwick-replay: cannot load %s: %s\n", options.plan.c_str(), error.c_str());
        return kBadPlan;
    }

    if (options.check) {
        TimelinePlaySettings check;
        check.checkBeenHit = settings.checkBeenHit;
        check.bitmapRealKm = settings.bitmapMapRealKm != 0;
        check.hitDistance = HitDistanceFor(*plan, options.viewWidth, options.viewHeight, settings.distWhenBeenHit,
                                           check.bitmapRealKm);
        const std::vector<PlanFinding> findings = CheckPlanByPlaying(*plan, check);
        for (const PlanFinding& finding : findings)
            WriteLine(stdout, FindingLine(finding));
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "tarnwick-replay: writing the output failed\n");
            return kBadArguments;
        }
        return findings.empty() ? kDone : kPlanHasProblems;
    }

    Outputs outputs;
    std::FILE *events = nullptr, *hits = nullptr, *units = nullptr;
    for (auto [name, file] : {std::pair{&options.events, &events}, {&options.hits, &hits}, {&options.units, &units}}) {
        if (!outputs.Open(*name, *file)) {
            std::fprintf(stderr, "tarnwick-replay: cannot write %s: %s\n", name->c_str(), std::strerror(errno));
            return kBadArguments;
        }
    }
    FileSink sink(events, hits, !options.steps.empty());
    play.SetEventSink(&sink);
    play.SetCheckBeenHit(settings.checkBeenHit);
    play.SetBitmapRealKm(settings.bitmapMapRealKm != 0);
    play.SetHitDistance(HitDistanceFor(*plan, options.viewWidth, options.viewHeight, settings.distWhenBeenHit,
                                       settings.bitmapMapRealKm != 0));

    CClockService clock(200, &reporter);
    clock.SetFireLineList(&play.FireLines());
    clock.SetCheckBeenHit(settings.checkBeenHit);
    clock.AddReceiver(plan.get());
    clock.SetTime(0);
    const int64_t duration = plan->m_EndTime - plan->m_StartTime;
    const int64_t untilMs = options.untilSeconds ? int64_t(*options.untilSeconds) * 1000
                                                 : (duration < 0 ? -1 : std::min<int64_t>(duration, 4294967) * 1000);
    for (int64_t now = 0; now <= untilMs; now += clock.GetPeriod())
        clock.Tick();
    for (const Options::Step& step : options.steps) {
        const int64_t ms = int64_t(step.seconds) * 1000;
        if (step.seek) {
            // As the time bar: the plan and the event history of a play to S.
            CEventRecorder history;
            play.SetEventSink(&history);
            plan->SeekTo(ms, uint32_t(clock.GetPeriod()));
            play.SetEventSink(&sink);
            sink.Replace(std::move(history));
            clock.SetTime(uint32_t(ms + clock.GetPeriod()));
        } else {
            for (int64_t now = clock.GetTime(); now <= ms; now += clock.GetPeriod())
                clock.Tick();
        }
    }
    sink.WriteKept();

    WriteUnits(units, *plan);
    if (!outputs.Flush()) {
        std::fprintf(stderr, "tarnwick-replay: writing the output failed\n");
        return kBadArguments;
    }
    if (!options.render.empty() || !options.pdf.empty()) {
        const QImage picture = RenderPlan(*plan, options.viewWidth, options.viewHeight);
        if (!options.render.empty() && !picture.save(QString::fromStdString(options.render), "PNG")) {
            std::fprintf(stderr, "tarnwick-replay: cannot write %s\n", options.render.c_str());
            return kBadArguments;
        }
        if (!options.pdf.empty()) {
            const int64_t epoch = plan->GetPlayState()->GetCurrentEpoch();
            const PageTitle title =
                PageTitleFor(*plan, QFileInfo(QString::fromStdString(options.plan)).completeBaseName(), epoch,
                             picture.size());
            const ExportResult result = ExportPlanPdf(options.pdf, picture, title);
            if (!result.ok) {
                std::fprintf(stderr, "tarnwick-replay: %s\n", result.description.c_str());
                return kBadArguments;
            }
        }
    }
    if (!options.save.empty() && !SavePlan(*plan, options.save, &error)) {
        std::fprintf(stderr, "tarnwick-replay: cannot save %s: %s\n", options.save.c_str(), error.c_str());
        return kBadPlan;
    }
    return RunExports(*plan, options);
}
