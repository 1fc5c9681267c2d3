// Playing a dense plan at rate 8 in the real main window: the clock thread
// asks for a repaint on every tick, the user interface thread must stay
// responsive. Measures, over a few seconds of real time, how late a 10 ms
// timer fires (what an operator feels as lag), how many paints happen per
// tick (coalescing: never more than one), and the time a paint takes.
#include "config/MessageReporter.h"
#include "app/TarnwickApp.h"
#include "ui/MainWindow.h"
#include "ui/TarnwickView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// `units` moving units over a 4000 x 3000 bitmap map, one in twenty (at most
// 200) striking every few seconds, with the moves starting spread over the
// first seconds (25,600 moves starting in one tick are 25,600 events).
QString WriteDensePlan(const QTemporaryDir& dir, int unitCount)
{
    const int strikers = std::min(200, std::max(1, unitCount / 20));
    const int strikeEvery = unitCount / strikers;
    QImage map(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < map.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(map.scanLine(y));
        for (int x = 0; x < map.width(); ++x)
            line[x] = qRgb((x * 7) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255);
    }
    map.save(dir.filePath("dense.bmp"), "BMP");
    std::mt19937 random(11);
    std::uniform_real_distribution<double> x(2.0, 38.0), y(2.0, 28.0);
    std::string units;
    char buffer[1024];
    for (int i = 1; i <= unitCount; ++i) {
        const double x0 = x(random), y0 = y(random);
        std::snprintf(buffer, sizeof buffer,
                      "<unit name=\"u%d\" class=\"02-02.01\"><UnitNo>%d</UnitNo><UnitType>22</UnitType>"
                      "<UnitName>装甲第%d连</UnitName><UnitBitmap>NormalBitmap\\主战坦克.bmp</UnitBitmap>"
                      "<UnitBitmapMask>NormalBitmap\\主战坦克_Mask.bmp</UnitBitmapMask>"
                      "<RelativeCoordinateX>%f</RelativeCoordinateX><RelativeCoordinateY>%f</RelativeCoordinateY>"
                      "<AppearTime>0</AppearTime><Angle>0</Angle><actionlist>",
                      i, i, i, x0, y0);
        units += buffer;
        std::snprintf(buffer, sizeof buffer,
                      "<action class=\"1\"><ActionNo>1</ActionNo><ActionName>移动</ActionName><ActionType>1</ActionType>"
                      "<ActionTime>%d</ActionTime><Speed>60</Speed><AllTime>0</AllTime><Route>"
                      "<Coordinate X=\"%f\" Y=\"%f\" Z=\"0\"/><Coordinate X=\"%f\" Y=\"%f\" Z=\"0\"/></Route></action>",
                      1 + i % 4, x0, y0, x(random), y(random));
        units += buffer;
        if (i % strikeEvery == 0 && i / strikeEvery <= strikers)
            for (int k = 0; k < 20; ++k) {
                std::snprintf(buffer, sizeof buffer,
                              "<action class=\"2\"><ActionNo>%d</ActionNo><ActionName>打击</ActionName>"
                              "<ActionType>2</ActionType><ActionTime>%d</ActionTime><BulletType>03.01</BulletType>"
                              "<HitTime>2</HitTime><Route><Coordinate X=\"%f\" Y=\"%f\" Z=\"0\"/></Route></action>",
                              k + 2, 2 + 3 * k + i % 3, x(random), y(random));
                units += buffer;
            }
        units += "</actionlist></unit>";
    }
    const std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<plan StartTime=\"1716163200\" "
                             "EndTime=\"1716170400\">\r\n<Layer name=\"一\"><map name=\"m\" source=\"" +
                             dir.filePath("dense.bmp").toStdString() +
                             "\" maptype=\"0\" WidthKm=\"40\" HeightKm=\"30\"/><unitlist>" + units +
                             "</unitlist></Layer></plan>";
    QFile file(dir.filePath("dense.pln"));
    file.open(QIODevice::WriteOnly);
    file.write(text.data(), qint64(text.size()));
    return file.fileName();
}

void BM_PlayAtRate8(benchmark::State& state)
{
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    StderrMessageReporter reporter;
    CTarnwickApp app(&reporter);
    CTarnwickApp::StartOptions options;
    options.moduleFolder = TARNWICK_BIN_DIR;
    options.showWindow = false;
    if (!app.InitInstance(options)) {
        state.SkipWithError("start-up failed");
        return;
    }
    std::unique_ptr<CMainFrame> window = CMainFrame::Start(app, options);
    CMainFrame* frame = window.get();
    const int unitCount = int(state.range(0));
    if (!frame->OpenPlanFile(WriteDensePlan(dir, unitCount))) {
        state.SkipWithError("plan not opened");
        app.ExitInstance();
        return;
    }
    frame->resize(1700, 1100);
    frame->show();
    CTarnwickView* view = frame->View();
    view->resize(1600, 1000);
    view->ApplyViewSize();
    app.m_EditMode = 0;
    frame->UpdateCommandUI();
    while (app.m_PlayRate < 8)
        frame->OnSpeedUp();

    std::vector<double> lags;  // after the first half second (first paint of the map)
    double firstLagMs = 0;
    int paints = 0, ticks = 0;
    double wallMs = 0;
    size_t events = 0;
    const qint64 runMs = state.range(1) * 1000;
    for (auto _ : state) {
        const int paintsBefore = view->PaintCount();
        const uint32_t timeBefore = app.m_ClockService.GetTime();
        const size_t eventsBefore = app.m_EventHistory.events.size();
        frame->OnPlay();
        QElapsedTimer clock;
        clock.start();
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        qint64 expected = 10;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const double lag = std::max(0.0, double(clock.nsecsElapsed()) / 1e6 - double(expected));
            if (clock.elapsed() < 500)
                firstLagMs = std::max(firstLagMs, lag);
            else
                lags.push_back(lag);
            expected = clock.elapsed() + 10;
        });
        probe.start(10);
        while (clock.elapsed() < runMs)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        probe.stop();
        frame->OnPause();
        wallMs += double(clock.nsecsElapsed()) / 1e6;
        QApplication::processEvents();
        events += app.m_EventHistory.events.size() - eventsBefore;
        paints += view->PaintCount() - paintsBefore;
        ticks += int((app.m_ClockService.GetTime() - timeBefore) / 200);  // one 200 ms tick every 25 ms at rate 8
    }
    state.counters["ticks"] = ticks;
    state.counters["paints"] = paints;
    state.counters["paints_per_tick"] = ticks ? double(paints) / ticks : 0;
    std::sort(lags.begin(), lags.end());
    if (!lags.empty()) {
        double sum = 0;
        for (double lag : lags)
            sum += lag;
        state.counters["mean_lag_ms"] = sum / double(lags.size());
        state.counters["p99_lag_ms"] = lags[lags.size() * 99 / 100];
        state.counters["max_lag_ms"] = lags.back();
    }
    state.counters["startup_lag_ms"] = firstLagMs;
    // Plan time over wall time: 8.0 when no tick was dropped.
    state.counters["effective_rate"] = wallMs > 0 ? ticks * 200.0 / wallMs : 0;
    state.counters["events_per_min"] = wallMs > 0 ? double(events) * 60000.0 / wallMs : 0;
    // The view's own drawing of the paused plan, as a paint does it.
    {
        QImage picture(view->size(), QImage::Format_RGB32);
        QElapsedTimer paintClock;
        const int rounds = 5;
        paintClock.start();
        for (int k = 0; k < rounds; ++k) {
            QPainter painter(&picture);
            view->Render(painter, picture.size());
        }
        state.counters["paint_ms"] = double(paintClock.nsecsElapsed()) / 1e6 / rounds;
    }
    app.ExitInstance();
}
// Units, seconds of real time.
BENCHMARK(BM_PlayAtRate8)->Args({1000, 5})->Args({25600, 20})->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
