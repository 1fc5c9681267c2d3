// The plan picture: pixel checks on rendered QImages.
#include "render/PlanRenderer.h"
#include "engine/PlayState.h"

#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/Units.h"
#include "support/TempDir.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

constexpr QRgb kMapColour = 0xFF0AC81E;
constexpr QRgb kUnitColour = 0xFFFF8000;
constexpr QRgb kWindowBefore = 0xFF445566;

// A plan whose one layer shows a 400 x 300 pixel map of 4 x 3 km in a view
// of the same size: map (x, y) km is view (100 x, 100 y).
class PlanPicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        QImage mapImage(400, 300, QImage::Format_RGB32);
        mapImage.fill(kMapColour);
        const std::string path = dir.file("map.bmp");
        ASSERT_TRUE(mapImage.save(QString::fromStdString(path), "BMP"));
        auto layer = std::make_unique<CPlanLayer>();
        ASSERT_TRUE(layer->m_Map.LoadMap(path, 0, 400, 300, 4.0, 3.0));
        layer->m_Map.SetViewWidthHeight(400, 300);
        plan.m_Layers.push_back(std::move(layer));
        plan.AdoptLayers();
        cls.visible_min = 0.5;
        cls.visible_max = 2.0;
        weapon.classCode = "03";
        weapon.fireColor = 0x0000FF00;  // green, 0x00BBGGRR
    }

    CPlanLayer& Layer() { return *plan.m_Layers.front(); }
    CMapLoader& Map() { return Layer().m_Map; }

    // A unit of solid colour, opaque except where `transparent` says.
    template <class Kind = UnitSingleSimple>
    Kind* Add(int no, double x, double y, int w, int h, double angle = 0,
              bool (*transparent)(int u, int v) = nullptr)
    {
        auto unit = std::make_unique<Kind>();
        unit->m_UnitNo = no;
        unit->m_CurX = unit->m_InitX = x;
        unit->m_CurY = unit->m_InitY = y;
        unit->m_Angle = angle;
        unit->m_Appeared = 1;
        unit->m_ClassInfo = &cls;
        unit->m_Image = QImage(w, h, QImage::Format_RGB32);
        unit->m_Mask = QImage(w, h, QImage::Format_RGB32);
        for (int v = 0; v < h; ++v)
            for (int u = 0; u < w; ++u) {
                const bool clear = transparent && transparent(u, v);
                unit->m_Image.setPixel(u, v, clear ? 0xFF000000 : kUnitColour);
                unit->m_Mask.setPixel(u, v, clear ? 0xFFFFFFFF : 0xFF000000);
            }
        unit->m_ImageWidth = w;
        unit->m_ImageHeight = h;
        Kind* raw = unit.get();
        EXPECT_TRUE(Layer().AddUnit(std::move(unit)));
        return raw;
    }

    QImage Render(const PlanRenderOptions& options = {}, const CPlan* shown = nullptr, bool withPlan = true)
    {
        QImage window(400, 300, QImage::Format_RGB32);
        window.fill(kWindowBefore);
        QPainter painter(&window);
        renderer.Paint(painter, withPlan ? (shown ? shown : &plan) : nullptr, window.size(), options);
        return window;
    }

    static PlanRenderOptions Edit()
    {
        PlanRenderOptions o;
        o.editMode = true;
        return o;
    }

    // Bounding box of the pixels of one colour.
    static QRect Extent(const QImage& image, QRgb colour)
    {
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == colour)
                    box |= QRect(x, y, 1, 1);
        return box;
    }

    static int Count(const QImage& image, QRgb colour, QRect area = QRect())
    {
        if (area.isNull())
            area = image.rect();
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += image.valid(x, y) && image.pixel(x, y) == colour;
        return n;
    }

    TestDir dir;
    CPlan plan;
    UnitClassInfo cls;
    UnitClassInfo weapon;
    CPlanRenderer renderer{QSize(400, 300)};
};

}  // namespace

// ---- unit placement ----------------------------------------------------------

TEST_F(PlanPicture, UnitAtZeroDegreesSitsAtCentreMinusHalfItsSize)
{
    CUnitCanLoad* unit = Add(1, 1.0, 1.0, 16, 10);
    const QImage picture = Render(Edit());
    EXPECT_EQ(Extent(picture, kUnitColour), QRect(100 - 8, 100 - 5, 16, 10));
    EXPECT_EQ(unit->m_Rect, QRect(QPoint(92, 95), QPoint(108, 105)));
    EXPECT_EQ(picture.pixel(50, 50), kMapColour);
}

TEST_F(PlanPicture, OddWidthUsesTheTruncatedHalf)
{
    Add(1, 2.0, 1.5, 31, 31);
    EXPECT_EQ(Extent(Render(Edit()), kUnitColour), QRect(200 - 15, 150 - 15, 31, 31));
}

TEST_F(PlanPicture, MaskLeavesTheMapVisibleWhereItIsWhite)
{
    Add(1, 1.0, 1.0, 10, 10, 0, [](int u, int) { return u < 5; });
    const QImage picture = Render(Edit());
    EXPECT_EQ(picture.pixel(95, 100), kMapColour);  // left half transparent
    EXPECT_EQ(picture.pixel(101, 100), kUnitColour);
    EXPECT_EQ(Extent(picture, kUnitColour), QRect(100, 95, 5, 10));
}

TEST_F(PlanPicture, QuarterTurnPutsTheImageBottomOnTheRight)
{
    // Only the bottom row of a 20 x 10 image is opaque.
    Add(1, 2.0, 1.5, 20, 10, 90, [](int, int v) { return v != 9; });
    const QRect box = Extent(Render(Edit()), kUnitColour);
    ASSERT_FALSE(box.isNull());
    EXPECT_EQ(box.width(), 1);
    EXPECT_GE(box.height(), 19);  // the exact mapping may lose the last source column
    EXPECT_LE(box.height(), 20);
    EXPECT_GT(box.left(), 200);  // right of the centre
}

TEST_F(PlanPicture, LaterUnitsCoverEarlierOnes)
{
    Add(1, 1.0, 1.0, 10, 10);
    CUnitCanLoad* second = Add(2, 1.0, 1.0, 4, 4);
    second->m_Image.fill(0xFF123456);
    EXPECT_EQ(Render(Edit()).pixel(100, 100), 0xFF123456u);
}

// ---- run mode ------------------------------------------------------------------

TEST_F(PlanPicture, RunModeShowsUnitsOnlyInsideTheirZoomRange)
{
    Add(1, 2.0, 1.5, 8, 8);
    Map().SetZoom(2.0);
    EXPECT_GT(Count(Render(), kUnitColour), 0) << "drawn at exactly visible_max";
    Map().SetZoom(2.0000001);
    EXPECT_EQ(Count(Render(), kUnitColour), 0);
    Map().SetZoom(0.5);
    EXPECT_GT(Count(Render(), kUnitColour), 0) << "drawn at exactly visible_min";
    Map().SetZoom(0.49);
    EXPECT_EQ(Count(Render(), kUnitColour), 0);
    Map().SetZoom(4.0);
    EXPECT_GT(Count(Render(Edit()), kUnitColour), 0) << "edit mode ignores the range";
}

TEST_F(PlanPicture, RunModeHidesUnitsNotYetAppearedOrCarried)
{
    CUnitCanLoad* late = Add(1, 1.0, 1.0, 8, 8);
    CUnitCanLoad* carried = Add(2, 3.0, 1.0, 8, 8);
    late->m_Appeared = 0;
    carried->m_Loaded = 1;
    const QImage run = Render();
    EXPECT_EQ(Count(run, kUnitColour), 0);
    EXPECT_EQ(Count(Render(Edit()), kUnitColour), 2 * 64);
}

TEST_F(PlanPicture, UnitWithoutClassRecordIsAlwaysShown)
{
    Add(1, 2.0, 1.5, 8, 8)->m_ClassInfo = nullptr;
    Map().SetZoom(50);
    EXPECT_GT(Count(Render(), kUnitColour), 0);
}

TEST_F(PlanPicture, FollowedRouteOnlyInRunModeWithRoutesShown)
{
    CUnitCanLoad* unit = Add(1, 0.5, 0.5, 4, 4);
    WGRoute route;
    route.m_Points = {{0.5, 2.0, 0}, {3.5, 2.0, 0}};
    unit->m_CurrentRoute = &route;
    const QRect row(60, 200, 280, 1);
    const QRgb red = CPlanRenderer::kRunRouteColour;
    PlanRenderOptions run;
    EXPECT_EQ(Count(Render(run), red, row), 0) << "routes hidden";
    run.showRoutes = true;
    const int dashes = Count(Render(run), red, row);
    EXPECT_GT(dashes, 100);
    EXPECT_LT(dashes, 280) << "dash-dot, not solid";
    PlanRenderOptions edit = Edit();
    edit.showRoutes = true;
    EXPECT_EQ(Count(Render(edit), red, row), 0);
}

TEST_F(PlanPicture, NamesInTheirColourBesideTheSymbol)
{
    Add(1, 1.0, 1.0, 4, 4)->m_UnitName = "Bn 1";
    const QImage picture = Render(Edit());
    const QRect names = Extent(picture, CPlanRenderer::kUnitNameColour);
    ASSERT_FALSE(names.isNull());
    EXPECT_GT(names.left(), 101) << "right of the symbol (view x 98..101)";
    EXPECT_LT(names.left(), 110);
    EXPECT_LE(names.top(), 100) << "level with the unit's position";
    EXPECT_GE(names.bottom(), 98);
    EXPECT_EQ(Count(picture, kUnitColour), 16) << "the symbol stays whole";
}

TEST_F(PlanPicture, CarriedCountInRunModeEvenOutsideTheZoomRange)
{
    auto* carrier = Add<UnitCarrier>(1, 2.0, 1.5, 4, 4);
    CUnitCanLoad* cargo = Add(2, 2.0, 1.5, 4, 4);
    carrier->LoadUnit(cargo->m_UnitNo);
    ASSERT_EQ(cargo->m_Loaded, 1);
    Map().SetZoom(1.0);
    const QRect area(200, 150, 30, 30);
    const QImage shown = Render();
    EXPECT_GT(Count(shown, CPlanRenderer::kCarriedCountColour, area), 0);
    EXPECT_GT(Count(shown, CPlanRenderer::kCarriedCountBackground, area), 0) << "opaque background";
    Map().SetZoom(3.0);
    EXPECT_GT(Count(Render(), CPlanRenderer::kCarriedCountColour), 0);
    EXPECT_EQ(Count(Render(Edit()), CPlanRenderer::kCarriedCountColour), 0);
    carrier->UnloadUnit(cargo->m_UnitNo, 2.0, 1.5, 0);
    Map().SetZoom(1.0);
    EXPECT_EQ(Count(Render(), CPlanRenderer::kCarriedCountColour), 0);
}

// ---- fire units ----------------------------------------------------------------

TEST_F(PlanPicture, FireUnitDrawsLineImageAndCircleInTheWeaponColour)
{
    auto* fire = Add<UnitFire>(kFireUnitNo, 0, 0, 6, 6);
    fire->m_ClassInfo = &weapon;
    fire->m_StartPoint = {0.5, 1.5, 0};
    fire->m_EndPoint = {3.5, 1.5, 0};
    fire->m_KillRadius = 1000.0 / DegreesPerKm(1.5) * 0.2;  // 0.2 km on the map: 20 pixels
    const QImage picture = Render();
    const QRgb green = 0xFF00FF00;
    EXPECT_EQ(Count(picture, green, QRect(80, 145, 1, 10)), 2);  // the line, two pixels wide
    EXPECT_EQ(picture.pixel(200, 150), kUnitColour);  // weapon image at the midpoint
    EXPECT_EQ(Extent(picture, kUnitColour), QRect(197, 147, 6, 6));
    // The circle of radius 20 about the target.
    EXPECT_GT(Count(picture, green, QRect(340, 128, 21, 5)), 0);
    EXPECT_EQ(Count(picture, green, QRect(343, 140, 14, 6)), 0);
    EXPECT_EQ(Count(picture, green, QRect(0, 0, 400, 100)), 0);

    fire->m_FlashOn = 0;
    EXPECT_EQ(Count(Render(), green), 0);
}

TEST_F(PlanPicture, KillRadiusInKilometresOnBitmapMapsWhenTheOptionIsOn)
{
    CPlayState play;
    plan.SetPlayState(&play);
    auto* fire = Add<UnitFire>(kFireUnitNo, 0, 0, 6, 6);
    fire->m_ClassInfo = &weapon;
    fire->m_StartPoint = {0.5, 1.5, 0};
    fire->m_EndPoint = {3.5, 1.5, 0};
    fire->m_KillRadius = 200;  // metres
    const QRgb green = 0xFF00FF00;
    const QRect ring(340, 128, 21, 5);  // the top of a circle of radius 20 about the target
    // By default 200 m go through the latitude factor: a dot, no ring.
    EXPECT_EQ(Count(Render(), green, ring), 0);
    play.SetBitmapRealKm(true);
    EXPECT_GT(Count(Render(), green, ring), 0) << "0.2 km are 20 pixels on this map";
    plan.SetPlayState(nullptr);
}

TEST_F(PlanPicture, FireFollowsItsStrikerAndHidesWithIt)
{
    CUnitCanLoad* striker = Add(1, 1.0, 0.5, 2, 2);
    striker->m_Image.fill(0xFF0000FF);
    auto* fire = Add<UnitFire>(kFireUnitNo, 0, 0, 2, 2);
    fire->m_ClassInfo = nullptr;  // default fire colour RGB(200, 0, 0)
    fire->m_Striker = striker;
    fire->LinkStriker();  // as a layer does when a strike adds its fire unit
    fire->m_StartPoint = {3.0, 2.5, 0};
    fire->m_EndPoint = {1.0, 2.5, 0};
    const QRgb red = CPlanRenderer::FromColorRef(CPlanRenderer::kDefaultFireColour).rgb();
    EXPECT_GT(Count(Render(), red, QRect(100, 60, 1, 180)), 100) << "starts at the striker";
    EXPECT_EQ(Count(Render(), red, QRect(110, 240, 290, 20)), 0) << "not from the stored start";
    striker->m_Loaded = 1;
    EXPECT_EQ(Count(Render(), red), 0);
    striker->m_Loaded = 0;
    Map().SetZoom(3.0);
    EXPECT_EQ(Count(Render(), red), 0) << "striker out of its zoom range";
}

// ---- window: drag, pick, no plan -----------------------------------------------

TEST_F(PlanPicture, DragLeavesBlackBandsAndShiftsThePicture)
{
    Add(1, 1.0, 1.0, 10, 10);
    PlanRenderOptions o = Edit();
    o.dragging = true;
    o.dragDx = 30;
    o.dragDy = -20;
    const QImage picture = Render(o);
    EXPECT_EQ(Count(picture, 0xFF000000, QRect(0, 0, 30, 300)), 30 * 300);
    EXPECT_EQ(Count(picture, 0xFF000000, QRect(0, 280, 400, 20)), 400 * 20);
    EXPECT_EQ(Count(picture, 0xFF000000), 30 * 300 + 370 * 20);
    EXPECT_EQ(Extent(picture, kUnitColour), QRect(95 + 30, 95 - 20, 10, 10));
}

TEST_F(PlanPicture, DragToTheLeftAndDownBlackensTheOtherSides)
{
    PlanRenderOptions o;
    o.dragging = true;
    o.dragDx = -10;
    o.dragDy = 5;
    const QImage picture = Render(o);
    EXPECT_EQ(Count(picture, 0xFF000000, QRect(390, 0, 10, 300)), 10 * 300);
    EXPECT_EQ(Count(picture, 0xFF000000, QRect(0, 0, 400, 5)), 400 * 5);
    EXPECT_EQ(picture.pixel(200, 200), kMapColour);
}

TEST_F(PlanPicture, PickRubberBandEndsAtTheCursorWithThePrompt)
{
    PlanRenderOptions o = Edit();
    o.pickActive = true;
    o.pickMode = 1;
    o.pickedPoints = {{0.5, 0.5, 0}, {2.0, 0.5, 0}};
    o.cursor = QPoint(200, 250);
    const QImage picture = Render(o);
    const QRgb red = CPlanRenderer::kPickRouteColour;
    EXPECT_GT(Count(picture, red, QRect(50, 50, 150, 1)), 50);
    EXPECT_GT(Count(picture, red, QRect(200, 60, 1, 180)), 50) << "last point to the cursor";
    // The prompt: dark (antialiased) text from the cursor on, nothing dark elsewhere.
    const auto dark = [&](QRect area) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += qGray(picture.pixel(x, y)) < 60;
        return n;
    };
    EXPECT_GT(dark(QRect(200, 250, 200, 30)), 100) << "prompt at the cursor";
    EXPECT_EQ(dark(QRect(0, 0, 400, 249)), 0);
    EXPECT_EQ(dark(QRect(0, 250, 200, 50)), 0);
    // The band goes on the window, not into the picture a later repaint copies.
    EXPECT_EQ(Count(renderer.BackBuffer(), red), 0);

    o.pickedPoints.clear();
    EXPECT_EQ(Count(Render(o), red), 0);
    EXPECT_EQ(CPlanRenderer::PickPrompt(2), QStringLiteral("左键选择打击目标点"));
    EXPECT_EQ(CPlanRenderer::PickPrompt(5), QStringLiteral("左键选择卸载目标点"));
    EXPECT_TRUE(CPlanRenderer::PickPrompt(3).isEmpty());
}

TEST_F(PlanPicture, NoPlanIsPlainBlueOrBlueWithTheLogoCentred)
{
    const QImage plain = Render({}, nullptr, false);
    EXPECT_EQ(Count(plain, CPlanRenderer::kNoPlanBackground), 400 * 300);
    QImage logo(41, 21, QImage::Format_RGB32);
    logo.fill(0xFFFFFF00);
    renderer.SetLogo(logo);
    const QImage withLogo = Render({}, nullptr, false);
    EXPECT_EQ(Extent(withLogo, 0xFFFFFF00), QRect((400 - 41) / 2, (300 - 21) / 2, 41, 21));
}

// ---- the layer gate ---------------------------------------------------------------

TEST_F(PlanPicture, BusyLayerShowsTheLastPictureAgainUntilTheMapMoves)
{
    CUnitCanLoad* unit = Add(1, 1.0, 1.0, 10, 10);
    Render(Edit());
    ASSERT_EQ(renderer.LastComposeResult(), 1);
    unit->m_CurX = 3.0;  // moved by the clock, which now holds the gate
    Layer().LockExclusive();
    const QImage stale = Render(Edit());
    EXPECT_EQ(renderer.LastComposeResult(), 0);
    EXPECT_EQ(Extent(stale, kUnitColour), QRect(95, 95, 10, 10));

    Map().SetZoom(1.5);  // the old picture no longer fits: the map alone
    const QImage mapOnly = Render(Edit());
    EXPECT_EQ(renderer.LastComposeResult(), -1);
    EXPECT_EQ(Count(mapOnly, kUnitColour), 0);
    EXPECT_EQ(mapOnly.pixel(200, 150), kMapColour);
    Layer().UnlockExclusive();

    // A picture without units is never reused.
    Render(Edit());
    EXPECT_EQ(renderer.LastComposeResult(), 1);
    EXPECT_GT(Count(renderer.BackBuffer(), kUnitColour), 0);
}
