#include "map/DrawRotatedMasked.h"

#include <QImage>
#include <cmath>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kBack = 0xFF102030;

// An arrow-like test image: the top row red, the bottom row blue, the rest
// green; the mask leaves the left column transparent.
void MakeUnit(int w, int h, QImage& img, QImage& mask)
{
    img = QImage(w, h, QImage::Format_RGB32);
    mask = QImage(w, h, QImage::Format_RGB32);
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
            const bool transparent = u == 0;
            QRgb c = v == 0 ? 0xFFFF0000 : v == h - 1 ? 0xFF0000FF : 0xFF00FF00;
            // The image is black where the mask is white, as the unit images are drawn.
            img.setPixel(u, v, transparent ? 0xFF000000 : c);
            mask.setPixel(u, v, transparent ? 0xFFFFFFFF : 0xFF000000);
        }
}

QImage Target(int w = 64, int h = 64)
{
    QImage t(w, h, QImage::Format_RGB32);
    t.fill(kBack);
    return t;
}

}  // namespace

TEST(DrawRotatedMasked, AngleZeroCopiesThroughTheMask)
{
    QImage img, mask;
    MakeUnit(8, 6, img, mask);
    QImage t = Target();
    DrawRotatedMasked(t, 10, 20, 8, 6, img, mask, 0, 0, 0.0);
    EXPECT_EQ(t.pixel(10, 20), kBack) << "transparent column keeps the background";
    EXPECT_EQ(t.pixel(11, 20), 0xFFFF0000u);
    EXPECT_EQ(t.pixel(17, 25), 0xFF0000FFu);
    EXPECT_EQ(t.pixel(14, 22), 0xFF00FF00u);
    EXPECT_EQ(t.pixel(18, 20), kBack) << "nothing beyond the image";
    EXPECT_EQ(t.pixel(11, 26), kBack);
    EXPECT_EQ(t.pixel(9, 20), kBack);
}

TEST(DrawRotatedMasked, QuarterTurnIsCounterClockwise)
{
    QImage img, mask;
    MakeUnit(10, 10, img, mask);
    QImage t = Target();
    DrawRotatedMasked(t, 20, 20, 10, 10, img, mask, 0, 0, 90.0);
    // Counter-clockwise: the top row (red) faces left, the bottom row (blue) faces right.
    int redX = -1, blueX = -1;
    for (int i = 15; i < 40; ++i) {
        if (t.pixel(i, 25) == 0xFFFF0000u && redX < 0)
            redX = i;
        if (t.pixel(i, 25) == 0xFF0000FFu)
            blueX = i;
    }
    ASSERT_GE(redX, 0);
    ASSERT_GE(blueX, 0);
    EXPECT_LT(redX, blueX);
    // Source column u = trunc(10 - j) for row j: the top row of the box maps to
    // u = 10, outside the image, so it stays empty, and the column drawn last
    // at the bottom is u = 1 (green).
    EXPECT_EQ(t.pixel(25, 20), kBack);
    EXPECT_EQ(t.pixel(25, 29), 0xFF00FF00u);
}

TEST(DrawRotatedMasked, FollowsTheSourcePixelFormula)
{
    QImage img(7, 5, QImage::Format_RGB32), mask(7, 5, QImage::Format_RGB32);
    for (int v = 0; v < 5; ++v)
        for (int u = 0; u < 7; ++u)
            img.setPixel(u, v, qRgb(u * 30, v * 50, 7));
    mask.fill(0xFF000000);
    const double angle = 33.0;
    QImage t = Target();
    DrawRotatedMasked(t, 30, 30, 7, 5, img, mask, 0, 0, angle);
    const double th = angle * 3.141592653589793 / 180.0, c = std::cos(th), s = std::sin(th);
    const double cx = 3.5, cy = 2.5;
    int drawn = 0;
    for (int j = -6; j < 12; ++j)
        for (int i = -6; i < 14; ++i) {
            const int u = int(cx + c * (i - cx) + s * (cy - j));
            const int v = int(cy - c * (cy - j) + s * (i - cx));
            const QRgb got = t.pixel(30 + i, 30 + j);
            if (u >= 0 && u < 7 && v >= 0 && v < 5 && got != kBack) {
                EXPECT_EQ(got, img.pixel(u, v)) << i << "," << j;
                ++drawn;
            }
        }
    EXPECT_GT(drawn, 25);
}

TEST(DrawRotatedMasked, ClipsAtTheTargetEdges)
{
    QImage img, mask;
    MakeUnit(16, 16, img, mask);
    for (double a : {0.0, 45.0, 180.0, -270.0}) {
        QImage t = Target(20, 20);
        DrawRotatedMasked(t, -8, -8, 16, 16, img, mask, 0, 0, a);
        DrawRotatedMasked(t, 12, 12, 16, 16, img, mask, 0, 0, a);
        DrawRotatedMasked(t, 100000, -100000, 16, 16, img, mask, 0, 0, a);
        DrawRotatedMasked(t, 2147483000, 2147483000, 16, 16, img, mask, 0, 0, a);
        EXPECT_NE(t.pixel(0, 0), kBack);
        EXPECT_NE(t.pixel(19, 19), kBack);
    }
    // Empty or mismatched inputs draw nothing.
    QImage t = Target(20, 20);
    DrawRotatedMasked(t, 0, 0, 16, 16, QImage(), mask, 0, 0, 0);
    DrawRotatedMasked(t, 0, 0, 0, 16, img, mask, 0, 0, 10);
    EXPECT_EQ(t.pixel(10, 10), kBack);
    EXPECT_EQ(t.pixel(1, 1), kBack);
}
