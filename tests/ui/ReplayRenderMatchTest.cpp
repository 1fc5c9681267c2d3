// tarnwick-replay --render must draw exactly what the view shows in run mode
// after the same ticks: both go through the same drawing code, and this
// catches any drift in how either side sets up maps, zoom or options.
#include "ShellTestSupport.h"

#include "engine/Plan.h"
#include "ui/TarnwickView.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QProcess>

namespace {

QImage ViewPicture(Shell& s, QSize size, int seconds)
{
    s.app->m_EditMode = 0;
    s.app->m_ClockService.SetTime(0);
    for (int now = 0; now <= seconds * 1000; now += 200)
        s.app->m_ClockService.Tick();
    CTarnwickView* view = s.frame->View();
    view->resize(size);
    view->ApplyViewSize();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    view->Render(painter, size);
    return image;
}

QImage ToolPicture(const TestDir& dir, QSize size, int seconds)
{
    const QString png = dir.path() + "/replay.png";
    QProcess process;
    process.start(TARNWICK_REPLAY, {"--home", TARNWICK_BIN_DIR, "--view",
                                    QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), "--until",
                                    QString::number(seconds), "--render", png,
                                    QString::fromStdString(SamplePlanPath())});
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

int DifferentPixels(const QImage& a, const QImage& b)
{
    int differ = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differ += a.pixel(x, y) != b.pixel(x, y);
    return differ;
}

}  // namespace

TEST(ReplayRenderMatch, SamplePlanPicturesAreIdenticalAtStartAndWhilePlaying)
{
    TestDir dir;
    for (int seconds : {0, 600}) {
        Shell s;
        ASSERT_TRUE(s.OpenSample());
        const QSize size(900, 640);
        const QImage view = ViewPicture(s, size, seconds);
        const QImage tool = ToolPicture(dir, size, seconds);
        ASSERT_EQ(tool.size(), size) << "at " << seconds << " s";
        EXPECT_EQ(DifferentPixels(view, tool), 0) << "at " << seconds << " s";
        // Not a blank picture: the map and some units are there.
        EXPECT_NE(view.pixel(5, 5), CTarnwickView::kNoPlanBackground);
    }
}
