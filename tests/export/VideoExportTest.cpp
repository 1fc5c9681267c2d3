// Videos of the play: frame times, the encoder's absence, cancelling, and a
// short video decoded by FFmpeg compared with tarnwick-replay's --render.
#include "ExportTestSupport.h"

#include "export/PlanFrame.h"
#include "export/VideoExport.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// One red unit, visible at any zoom, that crosses the map from second 1.
struct VideoEnv : ExportPlanEnv {
    VideoEnv()
    {
        QImage image(10, 10, QImage::Format_RGB32);
        image.fill(QColor(255, 0, 0));
        QImage mask(10, 10, QImage::Format_RGB32);
        mask.fill(Qt::black);
        image.save(QString::fromStdString(dir.file("u.bmp")), "BMP");
        mask.save(QString::fromStdString(dir.file("u_mask.bmp")), "BMP");
        dir.write("UnitClassInfo.cfg", "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n"
                                       "<unitclass><node name=\"运载平台\" id=\"01\"/></unitclass><unit>"
                                       "<node name=\"主战坦克\" id=\"02-02.01\" class=\"02-02\" width=\"4\" height=\"10\" "
                                       "exploderadius=\"0\" visible_min=\"0\" visible_max=\"100\"/></unit></unitinfo>");
        dir.write("SysConfig.cfg", "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<sysconfig>\r\n"
                                   "<param name=\"CheckBeenHit\">1</param></sysconfig>");
        std::string unit = Unit(1, "甲", "02-02.01", 2, 4, Action(1, 1, 1, "<Speed>100000</Speed>", Point(2, 4) + Point(9, 4)));
        unit.replace(unit.find("<actionlist>"), 0, "<UnitBitmap>u.bmp</UnitBitmap><UnitBitmapMask>u_mask.bmp</UnitBitmapMask>");
        planPath = dir.write("v.pln",
                             QByteArray::fromStdString("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<plan StartTime=\"" +
                                                       std::to_string(start) + "\" EndTime=\"" + std::to_string(start + 10) +
                                                       "\">\r\n<Layer name=\"一\"><map name=\"m\" source=\"" + mapPath +
                                                       "\" maptype=\"0\" WidthKm=\"10\" HeightKm=\"8\"/><unitlist>" +
                                                       unit + "</unitlist></Layer></plan>"));
    }
    std::pair<int, std::string> Run(const QString& program, const QStringList& args) const
    {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished();
            return {-1, "timed out"};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError().toStdString()};
    }
    std::pair<int, std::string> Replay(const QStringList& args) const
    {
        return Run(TARNWICK_REPLAY, QStringList{"--home", dir.path()} + args + QStringList{QString::fromStdString(planPath)});
    }
    std::string planPath;
};

// Mean absolute difference per channel outside the caption.
double MeanDifference(const QImage& a, const QImage& b)
{
    const QRect caption = PlanFrameRenderer::CaptionRect(a.size());
    double sum = 0;
    long n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (caption.contains(x, y))
                continue;
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            n += 3;
        }
    return n ? sum / n : 0;
}

QStringList Decoded(const VideoEnv& env, const QString& video, const QString& folder)
{
    QDir().mkpath(folder);
    const auto [code, err] = env.Run("ffmpeg", {"-v", "error", "-i", video, "-vsync", "0", folder + "/f%03d.png"});
    EXPECT_EQ(code, 0) << err;
    QStringList files = QDir(folder).entryList({"f*.png"}, QDir::Files, QDir::Name);
    for (QString& f : files)
        f = folder + "/" + f;
    return files;
}

}  // namespace

TEST(VideoFrames, FrameTimesCoverTheSpanAndShowTheLastTickBeforeThem)
{
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        const uint32_t from = random() % 100000, to = from + random() % 20000;
        const int fps = 1 + int(random() % 60);
        const int count = VideoFrameCount(from, to, fps);
        ASSERT_GE(count, 1);
        const uint32_t last = VideoFrameTimeMs(from, count - 1, fps);
        EXPECT_EQ(VideoFrameTimeMs(from, 0, fps), from);
        EXPECT_LE(last, to);
        EXPECT_GT(VideoFrameTimeMs(from, count, fps), to) << "no frame left out";
        for (int k : {0, count / 2, count - 1}) {
            const uint32_t t = VideoFrameTimeMs(from, k, fps), tick = VideoFrameTickMs(from, k, fps, 200);
            EXPECT_EQ(tick % 200, 0u);
            EXPECT_LE(tick, t);
            EXPECT_GT(tick + 200, t);
        }
    }
    EXPECT_EQ(VideoFrameCount(2000, 4000, 5), 11);
    EXPECT_EQ(VideoFrameCount(5000, 4000, 5), 0);
    EXPECT_EQ(VideoFrameCount(0, 60000, 25), 1501);
}

TEST(VideoExport, ShortVideoFramesMatchTheRenderedViewAtTheSameTimes)
{
    VideoEnv env;
    const QString video = env.dir.path() + "/v.mp4";
    auto [code, err] = env.Replay({"--video", video, "--from", "2", "--to", "4", "--fps", "5", "--view", "96x64"});
    ASSERT_EQ(code, 0) << err;
    EXPECT_FALSE(QFile::exists(video + ".part"));
    const QStringList frames = Decoded(env, video, env.dir.path() + "/mp4");
    ASSERT_EQ(frames.size(), 11);

    QImage at[2];
    for (int i : {0, 1}) {
        const QString png = env.dir.path() + QStringLiteral("/r%1.png").arg(i);
        auto [c, e] = env.Replay({"--until", i ? "4" : "2", "--view", "96x64", "--render", png});
        ASSERT_EQ(c, 0) << e;
        at[i] = QImage(png).convertToFormat(QImage::Format_RGB32);
    }
    const QImage first = QImage(frames.front()).convertToFormat(QImage::Format_RGB32);
    const QImage last = QImage(frames.back()).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(first.size(), QSize(96, 64));
    ASSERT_EQ(last.size(), QSize(96, 64));
    const double same0 = MeanDifference(first, at[0]), same1 = MeanDifference(last, at[1]);
    const double cross = MeanDifference(first, at[1]);
    EXPECT_LT(same0, 4.0);
    EXPECT_LT(same1, 4.0);
    EXPECT_GT(cross, 2 * std::max(same0, same1)) << "the unit moved between the two times";
    // The caption shows the plan time: something light is written in its dark box.
    const QRect caption = PlanFrameRenderer::CaptionRect(first.size());
    int light = 0;
    for (int x = caption.left(); x <= caption.right(); ++x)
        light += qGray(first.pixel(x, caption.center().y())) > 160;
    EXPECT_GT(light, 0);

    const QString gif = env.dir.path() + "/v.gif";
    auto [gifCode, gifErr] = env.Replay({"--video", gif, "--from", "0", "--to", "1", "--fps", "4", "--view", "48x32"});
    ASSERT_EQ(gifCode, 0) << gifErr;
    const QStringList gifFrames = Decoded(env, gif, env.dir.path() + "/gif");
    ASSERT_EQ(gifFrames.size(), 5);
    EXPECT_EQ(QImage(gifFrames.front()).size(), QSize(48, 32));
}

TEST(VideoExport, AMissingEncoderBadOptionsAndCancellingLeaveNoFile)
{
    VideoEnv env;
    const QString video = env.dir.path() + "/none.mp4";
    auto [code, err] = env.Replay({"--video", video, "--to", "1", "--view", "32x32", "--ffmpeg", env.dir.path() + "/no-ffmpeg"});
    EXPECT_EQ(code, 2);
    EXPECT_NE(err.find("FFmpeg"), std::string::npos) << err;
    EXPECT_FALSE(QFile::exists(video));

    auto plan = env.Load(env.planPath);
    ASSERT_TRUE(plan);
    VideoOptions o;
    o.path = (env.dir.path() + "/c.mp4").toStdString();
    o.toMs = 3000;
    o.size = QSize(32, 32);
    int seen = 0;
    const ExportResult cancelled = ExportVideo(*plan, o, [&](int done, int total) {
        EXPECT_EQ(total, 76);
        seen = done;
        return done < 3;
    });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.ok);
    EXPECT_EQ(seen, 3);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(o.path)));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(o.path) + ".part"));

    o.size = QSize(33, 32);
    EXPECT_NE(CheckVideoOptions(o), "");
    EXPECT_FALSE(ExportVideo(*plan, o).ok);
    o.size = QSize(32, 32);
    o.fromMs = 4000;
    EXPECT_NE(CheckVideoOptions(o), "");
    o.fromMs = 0;
    o.fps = 0;
    EXPECT_NE(CheckVideoOptions(o), "");
    o.fps = 25;
    EXPECT_EQ(CheckVideoOptions(o), "");
    EXPECT_EQ(VideoFormatForPath("a.GIF"), VideoFormat::Gif);
    EXPECT_EQ(VideoFormatForPath("a.mp4"), VideoFormat::Mp4);
}
