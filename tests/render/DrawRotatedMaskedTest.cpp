#include "render/DrawRotatedMasked.h"

#include <QImage>
#include <algorithm>
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

namespace {

// The mapping written out pixel by pixel, as the three 1 x 1 blits would do it.
void ReferenceDraw(QImage& target, int x, int y, int w, int h, const QImage& img, const QImage& mask, double angle)
{
    const double theta = angle * 3.141592653589793 / 180.0;
    const double c = std::cos(theta), s = std::sin(theta);
    const double cx = w / 2.0, cy = h / 2.0;
    const auto mapX = [&](double u, double v) { return int(std::trunc(cx + c * (u - cx) - s * (cy - v))); };
    const auto mapY = [&](double u, double v) { return int(std::trunc(cy - (c * (cy - v) + s * (u - cx)))); };
    const int xs[4] = {mapX(0, 0), mapX(w, 0), mapX(w, h), mapX(0, h)};
    const int ys[4] = {mapY(0, 0), mapY(w, 0), mapY(w, h), mapY(0, h)};
    for (int j = *std::min_element(ys, ys + 4); j < *std::max_element(ys, ys + 4); ++j)
        for (int i = *std::min_element(xs, xs + 4); i < *std::max_element(xs, xs + 4); ++i) {
            const double u = std::trunc(cx + c * (i - cx) + s * (cy - j));
            const double v = std::trunc(cy - c * (cy - j) + s * (i - cx));
            if (u < 0 || u >= w || v < 0 || v >= h || !target.valid(x + i, y + j))
                continue;
            const QRgb d = target.pixel(x + i, y + j), p = img.pixel(int(u), int(v)), m = mask.pixel(int(u), int(v));
            target.setPixel(x + i, y + j, ((((d ^ p) & m) ^ p) & 0x00FFFFFFu) | 0xFF000000u);
        }
}

}  // namespace

TEST(DrawRotatedMasked, EveryAngleMatchesThePixelByPixelMapping)
{
    for (const QSize size : {QSize(32, 32), QSize(31, 17), QSize(7, 40)}) {
        QImage img(size, QImage::Format_RGB32), mask(size, QImage::Format_RGB32);
        for (int v = 0; v < size.height(); ++v)
            for (int u = 0; u < size.width(); ++u) {
                img.setPixel(u, v, qRgb(u * 7, v * 5, (u * v) & 255));
                mask.setPixel(u, v, (u + v) % 5 == 0 ? 0xFFFFFFFF : 0xFF000000);
            }
        for (double angle : {90.0, 180.0, 270.0, -90.0, 45.0, 0.5, 359.9, 1e-12}) {
            QImage fast = Target(), reference = Target();
            // Near the edge as well, where the box is clipped.
            for (const QPoint at : {QPoint(16, 12), QPoint(-9, 50)}) {
                DrawRotatedMasked(fast, at.x(), at.y(), size.width(), size.height(), img, mask, 0, 0, angle);
                ReferenceDraw(reference, at.x(), at.y(), size.width(), size.height(), img, mask, angle);
            }
            ASSERT_EQ(fast, reference) << size.width() << "x" << size.height() << " at " << angle;
        }
        for (int a = 1; a < 360; a += 7) {
            QImage fast = Target(), reference = Target();
            DrawRotatedMasked(fast, 16, 12, size.width(), size.height(), img, mask, 0, 0, a + 0.25);
            ReferenceDraw(reference, 16, 12, size.width(), size.height(), img, mask, a + 0.25);
            ASSERT_EQ(fast, reference) << size.width() << "x" << size.height() << " at " << a + 0.25;
        }
    }
}
