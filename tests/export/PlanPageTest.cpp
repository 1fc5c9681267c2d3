// The PDF page of the view: its layout, the scale bar's length, and the page
// rendered back by Poppler compared with the view picture.
#include "ExportTestSupport.h"

#include "export/PlanPage.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

TEST(PlanPage, ScaleLengthsAreRoundAndTheLargestNotAboveTheRoom)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> exponent(-4, 6);
    for (int i = 0; i < 5000; ++i) {
        const double km = std::pow(10.0, exponent(random));
        const double bar = RoundScaleLength(km);
        ASSERT_LE(bar, km * (1 + 1e-12)) << km;
        ASSERT_GT(bar * 2.5, km * (1 - 1e-12)) << "the next round length would not fit: " << km;
        const double mantissa = bar / std::pow(10.0, std::floor(std::log10(bar) + 1e-12));
        EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 || std::abs(mantissa - 5) < 1e-9)
            << bar;
    }
    EXPECT_EQ(RoundScaleLength(0), 0);
    EXPECT_EQ(RoundScaleLength(-3), 0);
    EXPECT_EQ(RoundScaleLength(NAN), 0);
    EXPECT_EQ(RoundScaleLength(7.5), 5);
}

TEST(PlanPage, ThePictureKeepsItsProportionsAboveTheTitleBlock)
{
    std::mt19937 random(3);
    for (int i = 0; i < 1000; ++i) {
        const QRectF page(random() % 50, random() % 50, 100 + random() % 2000, 100 + random() % 2000);
        const QSize view(1 + random() % 3000, 1 + random() % 3000);
        const PlanPageLayout l = PlanPageLayout::For(page, view);
        ASSERT_TRUE(page.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(l.picture));
        ASSERT_TRUE(page.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(l.title));
        EXPECT_LE(l.picture.bottom(), l.title.top());
        EXPECT_NEAR(l.picture.width() / l.picture.height(), double(view.width()) / view.height(),
                    1e-6 * double(view.width()) / view.height());
        EXPECT_NEAR(l.picture.center().x(), page.center().x(), 1e-6);
        // It fills the room in one direction.
        EXPECT_TRUE(std::abs(l.picture.width() - page.width()) < 1e-6 ||
                    std::abs(l.title.top() - l.picture.bottom() - page.height() * 0.02) < 1e-6);
    }
}

TEST(PlanPage, PdfRenderedBackShowsTheViewAndTheTitleBlock)
{
    ExportPlanEnv env;
    env.dir.write("SysConfig.cfg", "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<sysconfig>\r\n</sysconfig>");
    const std::string plan = env.dir.write("plan.pln", env.PlanText(4));
    const QString pdf = env.dir.path() + "/page.pdf", png = env.dir.path() + "/view.png";
    QProcess replay;
    replay.start(TARNWICK_REPLAY, {"--home", env.dir.path(), "--until", "3", "--view", "320x200", "--render", png,
                                   "--pdf", pdf, QString::fromStdString(plan)});
    ASSERT_TRUE(replay.waitForFinished(60000));
    ASSERT_EQ(replay.exitCode(), 0) << replay.readAllStandardError().toStdString();

    QProcess poppler;
    poppler.start("pdftoppm", {"-r", "60", "-png", "-singlefile", pdf, env.dir.path() + "/page"});
    ASSERT_TRUE(poppler.waitForFinished(60000));
    ASSERT_EQ(poppler.exitCode(), 0) << poppler.readAllStandardError().toStdString();
    const QImage page = QImage(env.dir.path() + "/page.png").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height()) << "a wide view goes on a landscape page";

    // A4 landscape with 10 mm margins, at 60 dots per inch.
    const double margin = 10 / 25.4 * 60;
    const QRectF paint(margin, margin, page.width() - 2 * margin, page.height() - 2 * margin);
    const QImage view = QImage(png).convertToFormat(QImage::Format_RGB32);
    const PlanPageLayout layout = PlanPageLayout::For(paint, view.size());
    const QRect picture = layout.picture.toAlignedRect().adjusted(2, 2, -2, -2);
    auto difference = [&](const QImage& expected) {
        double sum = 0;
        long n = 0;
        for (int y = picture.top(); y <= picture.bottom(); ++y)
            for (int x = picture.left(); x <= picture.right(); ++x) {
                const int vx = int((x + 0.5 - layout.picture.left()) * view.width() / layout.picture.width());
                const int vy = int((y + 0.5 - layout.picture.top()) * view.height() / layout.picture.height());
                const QRgb p = page.pixel(x, y), q = expected.pixel(std::clamp(vx, 0, view.width() - 1),
                                                                    std::clamp(vy, 0, view.height() - 1));
                sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
                n += 3;
            }
        return sum / n;
    };
    QImage blank(view.size(), QImage::Format_RGB32);
    blank.fill(Qt::white);
    const double same = difference(view), other = difference(blank);
    EXPECT_LT(same, 12.0);
    EXPECT_GT(other, 3 * same) << "the comparison tells pictures apart";

    // The title block has a frame and text: dark pixels in its band, none in the gap above it.
    auto darkIn = [&](const QRectF& r) {
        int dark = 0;
        const QRect box = r.toAlignedRect().intersected(page.rect());
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                dark += qGray(page.pixel(x, y)) < 100;
        return dark;
    };
    EXPECT_GT(darkIn(layout.title.adjusted(4, 4, -4, -4)), 50);
    EXPECT_EQ(darkIn(QRectF(layout.picture.left(), layout.picture.bottom() + 2, layout.picture.width(),
                            layout.title.top() - layout.picture.bottom() - 4)), 0);
}

TEST(PlanPage, KmPerPixelOfABitmapMapFollowsItsSizeAndZoom)
{
    ExportPlanEnv env;
    auto plan = env.LoadText(env.PlanText());
    ASSERT_TRUE(plan);
    CMapLoader& map = plan->GetFirstLayer()->m_Map;
    EXPECT_NEAR(KmPerViewPixel(map, QSize(100, 100)), 10.0 / 64, 1e-12);
    map.SetZoom(2);
    EXPECT_NEAR(KmPerViewPixel(map, QSize(100, 100)), 10.0 / 128, 1e-12);
    const PageTitle title = PageTitleFor(*plan, "p", env.start, QSize(100, 100));
    EXPECT_EQ(title.mapName, QStringLiteral("演练图"));
    EXPECT_FALSE(title.northArrow) << "only GIS maps are known to be drawn north up";
    EXPECT_EQ(title.planTime, QStringLiteral("2024-05-01 08:00:00"));
}
