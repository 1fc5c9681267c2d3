// Map units per kilometre: the latitude scale and its floor for tall bitmap maps.
#include "engine/PlaybackSupport.h"

#include "map/MapSource.h"

#include <cmath>
#include <limits>

namespace {

double Formula(double y)
{
    return 0.008952465548919113 * (90.0 - y) / 90.0;
}

}  // namespace

TEST(MapSource, DegreesPerKmFollowsTheLatitudeScaleDownToItsFloor)
{
    for (double y : {-30.0, 0.0, 45.0, 88.5, 89.0})
        EXPECT_EQ(DegreesPerKm(y), Formula(y)) << y;
    EXPECT_EQ(DegreesPerKm(89.0), kMinDegreesPerKm) << "the floor is where the formula leaves off";
    EXPECT_GT(DegreesPerKm(0), DegreesPerKm(45));
}

TEST(MapSource, DegreesPerKmPastTheFloorIsPositiveAndFinite)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double y : {89.5, 90.0, 100.0, 120.0, 1e6, inf, nan}) {
        const double v = DegreesPerKm(y);
        EXPECT_EQ(v, kMinDegreesPerKm) << y;
        EXPECT_GT(v, 0) << y;
        EXPECT_TRUE(std::isfinite(v)) << y;
        EXPECT_TRUE(std::isfinite(1000.0 / v)) << "a distance in metres at " << y;
    }
}

// A plan on a bitmap map 200 km tall, played on the clock.
class TallBitmapMap : public PlaybackFixture {
protected:
    void SetUp() override
    {
        PlaybackFixture::SetUp();
        plan->m_Layers.clear();
        ASSERT_TRUE(plan->AddNewLayer("高原", WriteBitmap(dir, "maps/tall.bmp", 20, 80), 0, 50, 200));
        layer = plan->GetFirstLayer();
        ASSERT_EQ(layer->m_Map.GetMapType(), 0);
    }
};

TEST_F(TallBitmapMap, AUnitFarDownTheMapMovesAtItsFlooredSpeed)
{
    CUnitCanLoad* unit = AddUnit(1, "甲", 10, 120);
    WGAction* move = AddAction(unit, kActionMove, 1, {{10, 120, 0}, {10, 190, 0}});
    move->m_Speed = 1000.0;
    TickThrough(11000);
    EXPECT_EQ(unit->m_CurX, 10);
    // Ten seconds of 1000 (metres per second) at the floor's scale.
    EXPECT_NEAR(unit->m_CurY, 120 + kMinDegreesPerKm * 1000.0 / 1000.0 * 10, 1e-9);
    EXPECT_GT(unit->m_CurY, 120.0);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"甲开始移动"});
}
