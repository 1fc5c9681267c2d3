// The plan picture at scale: cached and culled drawing against the plain
// drawing of every unit, and unit names placed without overlaps.
#include "render/PlanRenderer.h"

#include "engine/Plan.h"
#include "engine/Units.h"
#include "render/DrawRotatedMasked.h"
#include "support/TempDir.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr int kW = 400, kH = 300;

// Glyphs are smoothed: their strokes are the name's colour or close to it.
bool NameLike(QRgb p)
{
    const QRgb n = CPlanRenderer::kUnitNameColour;
    return std::abs(qRed(p) - qRed(n)) + std::abs(qGreen(p) - qGreen(n)) + std::abs(qBlue(p) - qBlue(n)) < 90;
}

// One layer: a patterned 400 x 300 map of 4 x 3 km in a view of the same size.
class ScalePicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        QImage mapImage(kW, kH, QImage::Format_RGB32);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                mapImage.setPixel(x, y, qRgb(20 + (x * 3) % 60, 20 + (y * 5) % 60, 40));
        const std::string path = dir.file("map.bmp");
        ASSERT_TRUE(mapImage.save(QString::fromStdString(path), "BMP"));
        auto layer = std::make_unique<CPlanLayer>();
        ASSERT_TRUE(layer->m_Map.LoadMap(path, 0, kW, kH, 4.0, 3.0));
        layer->m_Map.SetViewWidthHeight(kW, kH);
        plan.m_Layers.push_back(std::move(layer));
        plan.AdoptLayers();
    }

    CPlanLayer& Layer() { return *plan.m_Layers.front(); }
    CMapLoader& Map() { return Layer().m_Map; }

    // A unit with a random picture of random size, its mask random too.
    CUnitCanLoad* AddRandom(std::mt19937& random, int no, double x, double y)
    {
        auto unit = std::make_unique<UnitSingleSimple>();
        unit->m_UnitNo = no;
        unit->m_CurX = unit->m_InitX = x;
        unit->m_CurY = unit->m_InitY = y;
        unit->m_Angle = std::uniform_real_distribution<double>(-360, 360)(random);
        if (random() % 5 == 0)
            unit->m_Angle = 0;
        unit->m_Appeared = 1;
        const int w = 3 + int(random() % 30), h = 3 + int(random() % 30);
        unit->m_Image = QImage(w, h, QImage::Format_RGB32);
        unit->m_Mask = QImage(w, h, QImage::Format_RGB32);
        for (int v = 0; v < h; ++v)
            for (int u = 0; u < w; ++u) {
                unit->m_Image.setPixel(u, v, 0xFF000000u | uint32_t(random() & 0xFFFFFF));
                unit->m_Mask.setPixel(u, v, random() % 3 == 0 ? 0xFFFFFFFFu : 0xFF000000u);
            }
        unit->m_ImageWidth = w;
        unit->m_ImageHeight = h;
        CUnitCanLoad* raw = unit.get();
        EXPECT_TRUE(Layer().AddUnit(std::move(unit)));
        return raw;
    }

    QImage Render(const PlanRenderOptions& options = {})
    {
        QImage window(kW, kH, QImage::Format_RGB32);
        window.fill(Qt::black);
        QPainter painter(&window);
        renderer.Paint(painter, &plan, window.size(), options);
        return window;
    }

    // The map alone, then every unit drawn the plain way in unit order.
    QImage PlainPicture()
    {
        std::vector<CUnitCanLoad*> units;
        for (size_t i = 0; i < Layer().GetUnitCount(); ++i)
            units.push_back(Layer().GetUnitAt(i));
        for (CUnitCanLoad* u : units)
            u->m_Appeared = 0;
        CPlanRenderer plainRenderer{QSize(kW, kH)};
        QImage window(kW, kH, QImage::Format_RGB32);
        {
            QPainter painter(&window);
            plainRenderer.Paint(painter, &plan, window.size(), {});
        }
        for (CUnitCanLoad* u : units) {
            u->m_Appeared = 1;
            int px = 0, py = 0;
            Map().MapToView(u->m_CurX, u->m_CurY, px, py);
            DrawRotatedMasked(window, px - u->m_ImageWidth / 2, py - u->m_ImageHeight / 2, u->m_ImageWidth,
                              u->m_ImageHeight, u->m_Image, u->m_Mask, 0, 0, u->m_Angle);
        }
        return window;
    }

    TestDir dir;
    CPlan plan;
    CPlanRenderer renderer{QSize(kW, kH)};
};

}  // namespace

TEST_F(ScalePicture, UnitsMatchThePlainDrawingPixelForPixel)
{
    std::mt19937 random(31);
    // Units inside, across the edges and well outside the view.
    std::uniform_real_distribution<double> x(-0.5, 4.5), y(-0.5, 3.5);
    std::vector<CUnitCanLoad*> units;
    for (int i = 1; i <= 300; ++i)
        units.push_back(AddRandom(random, i, x(random), y(random)));
    for (int frame = 0; frame < 4; ++frame) {
        if (frame == 2)
            Map().SetZoom(1.7);
        // Between frames some units turn, some move, and some change their picture in place.
        for (CUnitCanLoad* u : units) {
            const uint32_t r = random() % 10;
            if (r == 0)
                u->m_Angle = u->m_Angle + 15.0;
            else if (r == 1)
                u->m_CurX = u->m_CurX + 0.05;
            else if (r == 2)
                u->m_Image.setPixel(0, 0, 0xFF00FF00u);
        }
        const QImage drawn = Render();
        const QImage expected = PlainPicture();
        ASSERT_EQ(drawn, expected) << "frame " << frame;
    }
    EXPECT_GT(renderer.ImageCache().Hits(), 300u) << "later frames reuse the rotated pictures";
}

TEST_F(ScalePicture, NamesNeverOverlapAndTheSelectedUnitsNameIsShown)
{
    std::mt19937 random(8);
    std::uniform_real_distribution<double> x(0.5, 2.0), y(0.5, 1.5);  // a crowd
    CUnitCanLoad* last = nullptr;
    for (int i = 1; i <= 200; ++i) {
        last = AddRandom(random, i, x(random), y(random));
        last->m_UnitName = "第" + std::to_string(i) + "营";
    }
    last->m_Selected = 1;
    // Its name's place, by the rule: right of its symbol, centred on its position.
    int px = 0, py = 0;
    Map().MapToView(last->m_CurX, last->m_CurY, px, py);

    for (bool edit : {false, true}) {
        PlanRenderOptions options;
        options.editMode = edit;
        const QImage picture = Render(options);
        const std::vector<QRect>& names = renderer.PlacedNames();
        ASSERT_GT(names.size(), 5u);
        EXPECT_LT(names.size(), 200u) << "a crowd cannot show every name";
        for (size_t a = 0; a < names.size(); ++a)
            for (size_t b = a + 1; b < names.size(); ++b)
                ASSERT_FALSE(names[a].intersects(names[b])) << a << " and " << b;
        // The selected unit's name is placed first, right of its position and level with it.
        const QRect first = names.front();
        int left = 0, top = 0, right = 0, bottom = 0;
        CRotatedImageCache::Extent(last->m_ImageWidth, last->m_ImageHeight, last->m_Angle, left, top, right, bottom);
        EXPECT_EQ(first.left(), std::max(px - last->m_ImageWidth / 2 + right + 2, px + 2));
        EXPECT_LE(first.top(), py);
        EXPECT_GE(first.bottom(), py);
        int nameColoured = 0;
        for (int yy = first.top(); yy <= first.bottom(); ++yy)
            for (int xx = first.left(); xx <= first.right(); ++xx)
                nameColoured += NameLike(picture.pixel(xx, yy));
        EXPECT_GT(nameColoured, 10) << "the selected unit's name is drawn, nothing over it";
    }
}

TEST_F(ScalePicture, NamesHaveALightHalo)
{
    std::mt19937 random(4);
    CUnitCanLoad* unit = AddRandom(random, 1, 2.0, 1.5);
    unit->m_UnitName = "装甲第一营";
    Render();
    ASSERT_EQ(renderer.PlacedNames().size(), 1u);
    const QRect label = renderer.PlacedNames().front();
    const QImage picture = Render();
    // The map here is dark (channels below 100); the halo lightens the glyphs' surroundings.
    int light = 0, name = 0;
    for (int yy = label.top(); yy <= label.bottom(); ++yy)
        for (int xx = label.left(); xx <= label.right(); ++xx) {
            const QRgb p = picture.pixel(xx, yy);
            name += NameLike(p);
            light += qRed(p) > 180 && qGreen(p) > 180 && qBlue(p) > 180;
        }
    EXPECT_GT(name, 10);
    EXPECT_GT(light, name / 2);
}

TEST_F(ScalePicture, NameOfASymbolJustLeftOfTheViewStillShows)
{
    std::mt19937 random(6);
    CUnitCanLoad* unit = AddRandom(random, 1, -0.2, 1.5);  // symbol well outside, left
    unit->m_UnitName = "一个很长很长很长很长的名字";
    Render();
    ASSERT_EQ(renderer.PlacedNames().size(), 1u);
    EXPECT_EQ(renderer.PlacedNames().front().left(), 0) << "the part inside the view";
}
