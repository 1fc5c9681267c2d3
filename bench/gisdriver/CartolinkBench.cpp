// Cartolink through its public header: how long a caller waits for a map set
// to load, for a picture after the view changed, and for object work.

#include "cartolink.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;
constexpr int kObjects = 1000;

std::string samplePath(const char* relative)
{
    return std::string(GIS_BENCH_SOURCE_DIR) + "/" + relative;
}

// One initialised driver for the whole run, sized like a large map view.
struct Session {
    QWidget parent;
    QTemporaryDir dir;
    std::string bitmap;
    Session()
    {
        parent.resize(kWidth, kHeight);
        GisDriverInit(nullptr, &parent);
        QImage sym(24, 24, QImage::Format_RGB32);
        sym.fill(Qt::darkGreen);
        bitmap = (dir.path() + "/unit.bmp").toStdString();
        sym.save(QString::fromStdString(bitmap), "BMP");
    }
    ~Session() { GisDriverUnInit(); }
};

Session* g_session = nullptr;

bool loadWorld()
{
    return GisDriverLoadMap(samplePath("samples/gis/world/world.gst").c_str()) == CARTOLINK_OK;
}

void exportInto(QImage& img)
{
    QPainter p(&img);
    GISDriverExportMapToHDC(&p, 0, 0);
}

void BM_LoadWorldMapSet(benchmark::State& state)
{
    for (auto _ : state) {
        if (!loadWorld()) {
            state.SkipWithError("world map set did not load");
            return;
        }
    }
}
BENCHMARK(BM_LoadWorldMapSet)->Unit(benchmark::kMillisecond);

// A full render: every iteration pans one pixel, so the picture is drawn anew.
void fullRender(benchmark::State& state, double zoom, double x, double y)
{
    if (!loadWorld()) {
        state.SkipWithError("world map set did not load");
        return;
    }
    GISDriverMoveMap(x, y);
    GisDriverZoomTo(zoom);
    QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    exportInto(img); // first-use costs (fonts, glyphs) are not what is measured
    float step = 1.0f;
    for (auto _ : state) {
        GisDriverPan(step, 0.0f);
        step = -step;
        exportInto(img);
    }
}
void BM_RenderWorld(benchmark::State& s) { fullRender(s, 40000.0, 0.0, 20.0); }

// The world drawn from nothing in every iteration: the zoom changes each time.
void BM_RenderWorldAfterZoom(benchmark::State& state)
{
    if (!loadWorld()) {
        state.SkipWithError("world map set did not load");
        return;
    }
    GISDriverMoveMap(0.0, 20.0);
    GisDriverZoomTo(30000.0);
    QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    exportInto(img);
    double zoom = 30000.0;
    for (auto _ : state) {
        zoom = zoom == 30000.0 ? 29000.0 : 30000.0;
        GisDriverZoomTo(zoom);
        exportInto(img);
    }
}
BENCHMARK(BM_RenderWorldAfterZoom)->Unit(benchmark::kMillisecond);
void BM_RenderCountry(benchmark::State& s) { fullRender(s, 1500.0, 10.0, 51.0); }
void BM_RenderCity(benchmark::State& s) { fullRender(s, 20.0, 2.35, 48.85); }
BENCHMARK(BM_RenderWorld)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderCountry)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderCity)->Unit(benchmark::kMillisecond);

void BM_RenderExerciseArea(benchmark::State& state)
{
    const std::string path = samplePath("samples/gis/exercise/exercise.gst");
    if (GisDriverLoadMap(path.c_str()) != CARTOLINK_OK) {
        state.SkipWithError("exercise map set did not load");
        return;
    }
    GisDriverZoomTo(30.0);
    QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    exportInto(img);
    float step = 1.0f;
    for (auto _ : state) {
        GisDriverPan(step, 0.0f);
        step = -step;
        exportInto(img);
    }
}
BENCHMARK(BM_RenderExerciseArea)->Unit(benchmark::kMillisecond);

void BM_RepeatedExportUnchangedView(benchmark::State& state)
{
    if (!loadWorld()) {
        state.SkipWithError("world map set did not load");
        return;
    }
    GisDriverZoomTo(40000.0);
    QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    exportInto(img);
    for (auto _ : state)
        exportInto(img);
}
BENCHMARK(BM_RepeatedExportUnchangedView)->Unit(benchmark::kMicrosecond);

// Objects spread over a 1600 x 1000 view of a country-sized area.
void addObjects(int kind, std::vector<uint32_t>* ids)
{
    for (int i = 0; i < kObjects; ++i) {
        const double x = 5.0 + (i % 40) * 0.5;
        const double y = 45.0 + (i / 40) * 0.4;
        uint32_t id = 0;
        GisDriverAddObjectToMap(&id, kind, x, y, kind == 2 ? 24 : 0.2, 0.1, "unit", g_session->bitmap.c_str());
        if (ids)
            ids->push_back(id);
    }
}

void prepareObjectView()
{
    loadWorld();
    GISDriverMoveMap(15.0, 50.0);
    GisDriverZoomTo(1800.0);
}

void BM_AddObjects(benchmark::State& state)
{
    const int kind = int(state.range(0));
    prepareObjectView();
    std::vector<uint32_t> ids;
    for (auto _ : state) {
        state.PauseTiming();
        for (uint32_t id : ids)
            GisDriverRemoveObjFromMap(id);
        ids.clear();
        state.ResumeTiming();
        addObjects(kind, &ids);
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_AddObjects)->DenseRange(2, 5)->Unit(benchmark::kMillisecond);

void BM_MoveObjects(benchmark::State& state)
{
    const int kind = int(state.range(0));
    prepareObjectView();
    std::vector<uint32_t> ids;
    addObjects(kind, &ids);
    double d = 0.01;
    for (auto _ : state) {
        for (size_t i = 0; i < ids.size(); ++i) {
            const double x = 5.0 + (i % 40) * 0.5 + d;
            const double y = 45.0 + (i / 40) * 0.4;
            GisDriverMoveObj(ids[i], kind, x, y, 0.2, 0.1, CARTOLINK_MOVE_POSITION | CARTOLINK_MOVE_SIZE);
        }
        d = -d;
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_MoveObjects)->DenseRange(2, 5)->Unit(benchmark::kMillisecond);

// Picture after one object changed: the map layers stay cached, the object layer is redrawn.
void BM_RenderObjects(benchmark::State& state)
{
    const int kind = int(state.range(0));
    prepareObjectView();
    std::vector<uint32_t> ids;
    addObjects(kind, &ids);
    QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    exportInto(img);
    uint32_t colour = 0x0000FF;
    for (auto _ : state) {
        colour ^= 0x00FF00;
        GisDriverSetObjectColor(ids.front(), colour);
        exportInto(img);
    }
}
BENCHMARK(BM_RenderObjects)->DenseRange(2, 5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    benchmark::Initialize(&argc, argv);
    Session session;
    g_session = &session;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
