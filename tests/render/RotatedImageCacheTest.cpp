// Cached rotated drawing against the plain drawing it stands for.
#include "render/RotatedImageCache.h"

#include "render/DrawRotatedMasked.h"

#include <QImage>

#include <gtest/gtest.h>

#include <random>

namespace {

// A picture of random colours; the mask mixes opaque, transparent and
// partial pixels as a hand-made mask may.
void RandomUnit(std::mt19937& random, int w, int h, QImage& image, QImage& mask, bool greyMask)
{
    static const QImage::Format kFormats[] = {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888};
    image = QImage(w, h, QImage::Format_RGB32);
    mask = QImage(w, h, QImage::Format_RGB32);
    std::uniform_int_distribution<uint32_t> colour(0, 0xFFFFFF), kind(0, 9);
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
            image.setPixel(u, v, 0xFF000000u | colour(random));
            const uint32_t k = kind(random);
            const uint32_t m = k < 4 ? 0xFF000000u : k < 8 ? 0xFFFFFFFFu : greyMask ? 0xFF000000u | colour(random) : 0xFF000000u;
            mask.setPixel(u, v, m);
        }
    image = image.convertToFormat(kFormats[random() % 3]);
    mask = mask.convertToFormat(kFormats[random() % 3]);
}

QImage RandomTarget(std::mt19937& random, int w, int h)
{
    QImage t(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            t.setPixel(x, y, 0xFF000000u | uint32_t(random() & 0xFFFFFF));
    return t;
}

double RandomAngle(std::mt19937& random)
{
    static const double kSpecial[] = {0.0, -0.0, 90.0, 180.0, 270.0, -90.0, 45.0, 360.0, 725.5};
    if (random() % 4 == 0)
        return kSpecial[random() % 9];
    return std::uniform_real_distribution<double>(-720.0, 720.0)(random);
}

}  // namespace

TEST(RotatedImageCache, DrawsExactlyWhatThePlainDrawingDraws)
{
    std::mt19937 random(2024);
    CRotatedImageCache cache;
    for (int trial = 0; trial < 400; ++trial) {
        const int iw = 1 + int(random() % 40), ih = 1 + int(random() % 40);
        QImage image, mask;
        RandomUnit(random, iw, ih, image, mask, trial % 2 == 0);
        // Sometimes a stored size larger than the picture, or an offset into it.
        const int w = iw + (random() % 5 == 0 ? int(random() % 8) : 0);
        const int h = ih + (random() % 5 == 0 ? int(random() % 8) : 0);
        const int ix = random() % 6 == 0 ? int(random() % 4) : 0, iy = random() % 6 == 0 ? int(random() % 4) : 0;
        const double angle = RandomAngle(random);
        const QImage base = RandomTarget(random, 48, 40);
        // Anywhere from wholly inside to mostly outside the target.
        for (int place = 0; place < 3; ++place) {
            const int x = int(random() % 110) - 50, y = int(random() % 100) - 50;
            QImage expected = base, cached = base, again = base;
            DrawRotatedMasked(expected, x, y, w, h, image, mask, ix, iy, angle);
            cache.Draw(cached, x, y, w, h, image, mask, ix, iy, angle);
            cache.Draw(again, x, y, w, h, image, mask, ix, iy, angle);
            ASSERT_EQ(cached, expected) << "trial " << trial << " angle " << angle << " at " << x << "," << y;
            ASSERT_EQ(again, expected) << "from the cache, trial " << trial;
        }
    }
    EXPECT_GT(cache.Hits(), 0u);
}

TEST(RotatedImageCache, ChangedAngleOrImageIsNeverServedStale)
{
    std::mt19937 random(5);
    QImage image, mask;
    RandomUnit(random, 24, 16, image, mask, false);
    CRotatedImageCache cache;
    const QImage base = RandomTarget(random, 64, 64);
    const auto check = [&](double angle, const char* what) {
        QImage expected = base, cached = base;
        DrawRotatedMasked(expected, 12, 20, 24, 16, image, mask, 0, 0, angle);
        cache.Draw(cached, 12, 20, 24, 16, image, mask, 0, 0, angle);
        EXPECT_EQ(cached, expected) << what;
    };
    check(30.0, "first");
    check(30.0, "same again");
    EXPECT_EQ(cache.Hits(), 1u);
    check(30.000001, "angle changed a little");
    check(-30.0, "angle changed");
    image.setPixel(5, 5, 0xFF123456);  // the picture changes in place
    mask.setPixel(5, 5, 0xFF000000);
    check(30.0, "image changed");
    mask.setPixel(6, 5, 0xFFFFFFFF);
    check(30.0, "mask changed");
    EXPECT_EQ(cache.Hits(), 1u) << "every change was a miss";
}

TEST(RotatedImageCache, StaysWithinItsBudgetAndStillDrawsRight)
{
    std::mt19937 random(9);
    QImage image, mask;
    RandomUnit(random, 32, 32, image, mask, false);
    const size_t budget = 40000;  // a handful of 32 x 32 entries
    CRotatedImageCache cache(budget);
    const QImage base = RandomTarget(random, 80, 80);
    for (int frame = 0; frame < 6; ++frame) {
        cache.BeginFrame();
        for (int k = 0; k < 30; ++k) {
            const double angle = k * 7.0 + frame;
            QImage expected = base, cached = base;
            DrawRotatedMasked(expected, 20, 20, 32, 32, image, mask, 0, 0, angle);
            cache.Draw(cached, 20, 20, 32, 32, image, mask, 0, 0, angle);
            ASSERT_EQ(cached, expected) << "frame " << frame << " angle " << angle;
            ASSERT_LE(cache.Bytes(), budget);
        }
    }
    EXPECT_GT(cache.EntryCount(), 0u);
    EXPECT_LT(cache.EntryCount(), 30u);
}

TEST(RotatedImageCache, ExtentHoldsEveryDrawnPixel)
{
    std::mt19937 random(77);
    for (int trial = 0; trial < 200; ++trial) {
        const int w = 1 + int(random() % 30), h = 1 + int(random() % 30);
        QImage image(w, h, QImage::Format_RGB32), mask(w, h, QImage::Format_RGB32);
        image.fill(0xFFFFFFFF);
        mask.fill(0xFF000000);  // all opaque: every mapped pixel turns white
        const double angle = RandomAngle(random);
        QImage t(100, 100, QImage::Format_RGB32);
        t.fill(0xFF000000);
        DrawRotatedMasked(t, 40, 40, w, h, image, mask, 0, 0, angle);
        int left = 0, top = 0, right = 0, bottom = 0;
        CRotatedImageCache::Extent(w, h, angle, left, top, right, bottom);
        const QRect extent(QPoint(40 + left, 40 + top), QPoint(40 + right, 40 + bottom));
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                if (t.pixel(x, y) != 0xFF000000u) {
                    ASSERT_TRUE(extent.contains(x, y)) << w << "x" << h << " at " << angle << ": " << x << "," << y;
                }
            }
    }
}

TEST(RotatedImageCache, OtherTargetFormatsAreDrawnThePlainWay)
{
    std::mt19937 random(3);
    QImage image, mask;
    RandomUnit(random, 12, 10, image, mask, true);
    QImage base(40, 40, QImage::Format_ARGB32);
    base.fill(0x40203040);  // see-through: only the plain drawing sets these pixels opaque
    QImage expected = base, cached = base;
    CRotatedImageCache cache;
    DrawRotatedMasked(expected, 10, 10, 12, 10, image, mask, 0, 0, 20.0);
    cache.Draw(cached, 10, 10, 12, 10, image, mask, 0, 0, 20.0);
    EXPECT_EQ(cached, expected);
    EXPECT_EQ(cache.EntryCount(), 0u);
}
