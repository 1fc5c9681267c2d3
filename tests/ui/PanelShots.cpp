// Renders the time panel, the event list and the hit alarm into PNG files so
// their look can be checked without a display: ui_panel_shots OUTPUT_DIR
#include "engine/ClockService.h"
#include "engine/HitList.h"
#include "engine/PlanTime.h"
#include "ui/EventListPanel.h"
#include "ui/HitAlarmDlg.h"
#include "ui/TimeBarCtrl.h"
#include "ui/TimeControlDlg.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QDir().mkpath(out);

    CClockService clock;
    CTimeControlDlg panel(clock);
    panel.resize(1000, 70);
    panel.show();
    panel.SetPlanTimes(MakeLocalTime(2024, 5, 1, 8, 0, 0), MakeLocalTime(2024, 5, 1, 10, 0, 0));
    panel.ClockReceiver()->RecvClockEvent(0, 2745 * 1000, nullptr);
    QCoreApplication::processEvents();
    panel.SetRateText(CTimeControlDlg::RateTextFor(2.0));
    panel.grab().save(out + "/time_panel.png");

    // The bar alone, large, in its three states.
    CTimeBarCtrl bar;
    bar.SetMargins(2, 3, 2, 0);
    bar.resize(300, 16);
    bar.SetRange(0, 100);
    bar.SetPos(40);
    bar.show();
    QPixmap states(300, 16 * 3 + 8);
    states.fill(bar.palette().color(QPalette::Window));
    bar.render(&states, QPoint(0, 0));
    bar.setFocus();
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(bar.PixelOfPosition(40), 8));
    bar.render(&states, QPoint(0, 20));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(bar.PixelOfPosition(40), 8));
    bar.setEnabled(false);
    bar.render(&states, QPoint(0, 40));
    states.scaled(states.size() * 4, Qt::KeepAspectRatio, Qt::FastTransformation).save(out + "/time_bar_x4.png");

    CEventListPanel events;
    events.resize(760, 180);
    events.show();
    const char* texts[] = {"坦克连1开始移动", "坦克连1到达目标点", "火炮营2开始打击", "火炮营2打击完毕",
                           "步兵排3被火炮营2击中.[距离火力线12.35米]"};
    for (int i = 0; i < 5; ++i)
        events.AddEvent({"08:0" + std::to_string(i) + ":1" + std::to_string(i), texts[i]});
    events.grab().save(out + "/event_list.png");

    CHitList hits;
    hits.Append({"步兵排3[编号:3]", "火炮营2", 12.3456, "08:04:14"});
    hits.Append({"坦克连1[编号:1]", "火炮营2", 3.5, "08:04:15"});
    hits.Append({"侦察车[编号:9]", "火箭连4", 48.0, "08:05:02"});
    CHitAlarmDlg alarm(hits);
    alarm.SetCurrentPosition(1);
    alarm.show();
    alarm.grab().save(out + "/hit_alarm.png");
    return 0;
}
