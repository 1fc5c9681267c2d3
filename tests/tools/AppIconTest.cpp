// The desktop icon: every hicolor size, square, transparent outside the disc,
// with the window icon's colours where they belong.
#include "AppIcon.h"
#include "support/TempDir.h"

#include <QImage>
#include <gtest/gtest.h>

TEST(AppIcon, EverySizeHasTheDiscOnATransparentGround)
{
    for (int size : mkdata::appIconSizes()) {
        SCOPED_TRACE(size);
        const QImage icon = mkdata::drawAppIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        ASSERT_TRUE(icon.hasAlphaChannel());
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size - 1, size - 1)), 0);
        // The centre is the yellow dot, the disc between it and the rim green.
        const QColor centre = icon.pixelColor(size / 2, size / 2);
        EXPECT_GT(centre.red(), 200);
        EXPECT_GT(centre.green(), 190);
        EXPECT_LT(centre.blue(), 120);
        const QColor disc = icon.pixelColor(size / 2, size * 10 / 48);
        EXPECT_EQ(disc.alpha(), 255);
        EXPECT_GT(disc.green(), disc.red());
        EXPECT_GT(disc.green(), disc.blue());
    }
}

TEST(AppIcon, WritesThePngsOfTheThemeLayout)
{
    TestDir dir;
    QString error;
    ASSERT_TRUE(mkdata::writeAppIcons(dir.path(), &error)) << error.toStdString();
    for (int size : mkdata::appIconSizes()) {
        const QImage png(QStringLiteral("%1/%2x%2/apps/tarnwick.png").arg(dir.path()).arg(size));
        EXPECT_EQ(png.size(), QSize(size, size)) << size;
    }
    // A file where a size folder must go makes the write fail with a reason.
    TestDir blocked;
    blocked.write("16x16", "x");
    EXPECT_FALSE(mkdata::writeAppIcons(blocked.path(), &error));
    EXPECT_FALSE(error.isEmpty());
}
