// Painting and conversion costs of the map object: a 4000 x 3000 bitmap map
// drawn into a 1600 x 1000 back buffer, bitmap conversions, and the GIS map's
// load and refresh through Cartolink.
#include "map/MapLoader.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>

namespace {

constexpr int kViewW = 1600, kViewH = 1000;

// The 4000 x 3000 test map, written once per run.
const std::string& BigBitmap()
{
    static QTemporaryDir dir;
    static const std::string path = [] {
        QImage image(4000, 3000, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = qRgb((x * 7) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255);
        }
        const QString file = dir.path() + "/big.bmp";
        image.save(file, "BMP");
        return file.toStdString();
    }();
    return path;
}

void LoadBig(CMapLoader& map)
{
    if (!map.LoadMap(BigBitmap(), 0, kViewW, kViewH, 40.0, 30.0))
        std::abort();
}

// Repaint with zoom and centre unchanged since the last paint.
void BM_DrawMapUnchanged(benchmark::State& state)
{
    CMapLoader map;
    LoadBig(map);
    map.SetZoom(std::pow(1.5, double(state.range(0))));
    QImage back(kViewW, kViewH, state.range(1) ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&back);
        benchmark::DoNotOptimize(map.DrawMap(p, 0, 0, kViewW, kViewH));
    }
}
// zoom 1.5^n; back buffer RGB32 (0) or ARGB32 premultiplied (1)
BENCHMARK(BM_DrawMapUnchanged)->ArgsProduct({{-3, 0, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

// Every paint follows a zoom step: between 1.5^n and 1.5^(n+1), alternately.
void BM_DrawMapAfterZoomStep(benchmark::State& state)
{
    CMapLoader map;
    LoadBig(map);
    map.SetZoom(std::pow(1.5, double(state.range(0))));
    QImage back(kViewW, kViewH, QImage::Format_RGB32);
    bool in = true;
    for (auto _ : state) {
        if (in)
            map.ZoomIn();
        else
            map.ZoomOut();
        in = !in;
        QPainter p(&back);
        benchmark::DoNotOptimize(map.DrawMap(p, 0, 0, kViewW, kViewH));
    }
}
BENCHMARK(BM_DrawMapAfterZoomStep)->DenseRange(-4, 2)->Unit(benchmark::kMillisecond);

// Every paint follows a pan of 50 view pixels (the map commands' step).
void BM_DrawMapAfterPan(benchmark::State& state)
{
    CMapLoader map;
    LoadBig(map);
    map.SetZoom(std::pow(1.5, double(state.range(0))));
    QImage back(kViewW, kViewH, QImage::Format_RGB32);
    int sign = 1;
    for (auto _ : state) {
        map.Pan(50 * sign, 0);
        sign = -sign;
        QPainter p(&back);
        benchmark::DoNotOptimize(map.DrawMap(p, 0, 0, kViewW, kViewH));
    }
}
BENCHMARK(BM_DrawMapAfterPan)->Arg(-2)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// MapToView + ViewToMap through the model's interface; counts conversions.
void BM_BitmapConversions(benchmark::State& state)
{
    CMapLoader loader;
    LoadBig(loader);
    loader.ZoomIn();
    loader.UpdateSourceRect(kViewW, kViewH);
    CMapSource& map = loader;
    double x = 1.0, y = 2.0;
    int px = 0, py = 0;
    for (auto _ : state) {
        map.MapToView(x, y, px, py);
        map.ViewToMap(x, y, px + 1, py + 1);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
        if (x > 39.0)
            x = 1.0;
        if (y > 29.0)
            y = 2.0;
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_BitmapConversions);

std::string WorldMap()
{
    const char* src = std::getenv("TARNWICK_SOURCE_DIR");
    const std::string path = std::string(src ? src : TARNWICK_SOURCE_DIR_DEFAULT) + "/samples/gis/world/world.gst";
    return QFileInfo::exists(QString::fromStdString(path)) ? path : std::string();
}

// A whole GIS load as a layer does it (shown size 500 x 500), and its release.
void BM_GisLoadRelease(benchmark::State& state)
{
    const std::string path = WorldMap();
    if (path.empty()) {
        state.SkipWithError("no sample map set");
        return;
    }
    for (auto _ : state) {
        CMapLoader map;
        if (!map.LoadMap(path, 1, 500, 500, 0.0, 0.0)) {
            state.SkipWithError("GIS load failed");
            return;
        }
        map.ReleaseMap();
    }
}
BENCHMARK(BM_GisLoadRelease)->Unit(benchmark::kMillisecond);

// Zoom step + refresh of the GIS picture + paint, the work of one mouse click,
// on a 1600 x 1000 view showing the whole world map.
void BM_GisZoomRefreshDraw(benchmark::State& state)
{
    const std::string path = WorldMap();
    CMapLoader map;
    if (path.empty() || !map.LoadMap(path, 1, 500, 500, 0.0, 0.0)) {
        state.SkipWithError("GIS load failed");
        return;
    }
    map.SetViewWidthHeight(kViewW, kViewH);
    map.SetViewSize(kViewW, kViewH);
    for (int i = 0; i < 24; ++i)
        map.ZoomOut();
    QImage back(kViewW, kViewH, QImage::Format_RGB32);
    bool in = true;
    for (auto _ : state) {
        if (in)
            map.ZoomIn();
        else
            map.ZoomOut();
        in = !in;
        map.RefreshGisPicture();
        QPainter p(&back);
        benchmark::DoNotOptimize(map.DrawMap(p, 0, 0, kViewW, kViewH));
    }
}
BENCHMARK(BM_GisZoomRefreshDraw)->Unit(benchmark::kMillisecond);

}  // namespace
