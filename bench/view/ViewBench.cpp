// One repaint of the plan view: a 1600 x 1000 view over a 4000 x 3000 bitmap
// map with 1,000 units of 32 x 32 pixels at arbitrary angles and 50 fire
// units, in run mode, with and without unit names; and a full layer of
// 25,600 units on screen (sharing a few pictures, as units of one class
// do) with 200 fire units.
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/Units.h"
#include "render/PlanRenderer.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdlib>
#include <random>

namespace {

constexpr int kViewW = 1600, kViewH = 1000;

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

// A round symbol: opaque inside the circle, transparent around it.
void MakeImage(CUnitCanLoad& unit, int size, QRgb colour)
{
    unit.m_Image = QImage(size, size, QImage::Format_RGB32);
    unit.m_Mask = QImage(size, size, QImage::Format_RGB32);
    const double r = size / 2.0;
    for (int v = 0; v < size; ++v)
        for (int u = 0; u < size; ++u) {
            const bool in = (u + 0.5 - r) * (u + 0.5 - r) + (v + 0.5 - r) * (v + 0.5 - r) <= r * r;
            unit.m_Image.setPixel(u, v, in ? colour : 0xFF000000);
            unit.m_Mask.setPixel(u, v, in ? 0xFF000000 : 0xFFFFFFFF);
        }
    unit.m_ImageWidth = unit.m_ImageHeight = size;
}

struct Scene {
    CPlan plan;
    UnitClassInfo cls, weapon;
    std::vector<std::unique_ptr<WGRoute>> routes;

    explicit Scene(bool names, bool angleZero = false, int count = 1000, bool sharedImages = false)
    {
        auto layer = std::make_unique<CPlanLayer>();
        if (!layer->m_Map.LoadMap(BigBitmap(), 0, kViewW, kViewH, 40.0, 30.0))
            std::abort();
        layer->m_Map.SetViewWidthHeight(kViewW, kViewH);
        CPlanLayer& l = *layer;
        plan.m_Layers.push_back(std::move(layer));
        plan.AdoptLayers();
        weapon.classCode = "03";
        weapon.fireColor = 0x0000FF;
        weapon.exploderadius = 300;
        std::mt19937 random(7);
        // The view shows map x 12..28 km, y 10..20 km at zoom 1.
        std::uniform_real_distribution<double> x(12.0, 28.0), y(10.0, 20.0), angle(0.0, 360.0);
        std::vector<CUnitCanLoad*> strikers;
        const int strikerCount = count > 1000 ? 200 : 50;
        std::vector<UnitSingleSimple> pictures(4);
        for (size_t k = 0; k < pictures.size(); ++k)
            MakeImage(pictures[k], 32, qRgb(40 + int(k) * 50, 80, 160));
        for (int i = 1; i <= count; ++i) {
            auto unit = std::make_unique<UnitSingleSimple>();
            unit->m_UnitNo = i;
            unit->m_UnitName = names ? "装甲步兵第" + std::to_string(i) + "连" : std::string();
            unit->m_CurX = x(random);
            unit->m_CurY = y(random);
            unit->m_Angle = angleZero ? 0.0 : angle(random);
            unit->m_Appeared = 1;
            unit->m_ClassInfo = &cls;
            if (sharedImages) {
                const UnitSingleSimple& p = pictures[size_t(i) % pictures.size()];
                unit->m_Image = p.m_Image;
                unit->m_Mask = p.m_Mask;
                unit->m_ImageWidth = p.m_ImageWidth;
                unit->m_ImageHeight = p.m_ImageHeight;
            } else {
                MakeImage(*unit, 32, qRgb(40 + i % 200, 80, 160));
            }
            if (i <= strikerCount)
                strikers.push_back(unit.get());
            l.AddUnit(std::move(unit));
        }
        for (CUnitCanLoad* striker : strikers) {
            auto fire = std::make_unique<UnitFire>();
            fire->m_UnitNo = kFireUnitNo;
            fire->m_ClassInfo = &weapon;
            fire->m_KillRadius = weapon.exploderadius;
            fire->m_Striker = striker;
            fire->m_EndPoint = {x(random), y(random), 0};
            MakeImage(*fire, 16, qRgb(255, 200, 0));
            l.AddUnit(std::move(fire));
        }
    }
};

void Repaint(benchmark::State& state, bool names, bool angleZero, int count = 1000, bool sharedImages = false)
{
    Scene scene(names, angleZero, count, sharedImages);
    CPlanRenderer renderer(QSize(kViewW, kViewH));
    QImage window(kViewW, kViewH, QImage::Format_RGB32);
    PlanRenderOptions options;  // run mode
    {
        // Repaints follow one another: time the steady state, not the first picture.
        QPainter painter(&window);
        renderer.Paint(painter, &scene.plan, window.size(), options);
    }
    for (auto _ : state) {
        QPainter painter(&window);
        renderer.Paint(painter, &scene.plan, window.size(), options);
    }
    if (renderer.LastComposeResult() != 1)
        state.SkipWithError("units not drawn");
    state.counters["cache_MB"] = double(renderer.ImageCache().Bytes()) / (1 << 20);
    state.counters["names"] = double(renderer.PlacedNames().size());
    state.counters["misses"] = double(renderer.ImageCache().Misses());
}

void BM_RepaintWithNames(benchmark::State& state) { Repaint(state, true, false); }
void BM_RepaintWithoutNames(benchmark::State& state) { Repaint(state, false, false); }
void BM_RepaintAngleZeroWithoutNames(benchmark::State& state) { Repaint(state, false, true); }
BENCHMARK(BM_RepaintWithNames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintWithoutNames)->Unit(benchmark::kMillisecond);
void BM_Repaint25600WithNames(benchmark::State& state) { Repaint(state, true, false, 25600, true); }
void BM_Repaint25600WithoutNames(benchmark::State& state) { Repaint(state, false, false, 25600, true); }
BENCHMARK(BM_RepaintAngleZeroWithoutNames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint25600WithNames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint25600WithoutNames)->Unit(benchmark::kMillisecond);

}  // namespace
