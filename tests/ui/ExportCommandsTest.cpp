// The file menu's exports in the program: where they sit, that they write,
// and that the plan, its event list and its time are as they were afterwards.
#include "ShellTestSupport.h"

#include "ui/ExportCommands.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

namespace {

std::vector<std::array<double, 3>> Positions(const CPlan& plan)
{
    std::vector<std::array<double, 3>> out;
    const CPlanLayer& layer = *plan.GetFirstLayer();
    for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
        const CUnitCanLoad* u = layer.GetUnitAt(i);
        out.push_back({u->m_CurX, u->m_CurY, double(u->m_Appeared)});
    }
    return out;
}

}  // namespace

TEST(ExportCommands, MenuItemsStandBeforePrintAndExportsLeaveThePlayAsItWas)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    auto* exports = s.frame->findChild<CExportCommands*>();
    ASSERT_NE(exports, nullptr);
    QMenu* file = nullptr;
    for (QAction* a : s.frame->menuBar()->actions())
        if (a->text() == QStringLiteral("文件(&F)"))
            file = a->menu();
    ASSERT_NE(file, nullptr);
    const QList<QAction*> items = file->actions();
    const int print = int(items.indexOf(s.frame->Action(CMainFrame::ID_FILE_PRINT)));
    ASSERT_GE(print, 3);
    EXPECT_EQ(items[print - 3]->text(), QStringLiteral("导出GIS数据..."));
    EXPECT_EQ(items[print - 2]->text(), QStringLiteral("导出动画..."));
    EXPECT_EQ(items[print - 1]->text(), QStringLiteral("导出PDF..."));

    // The time bar stands at 2 minutes.
    s.frame->SeekPlan(120000);
    CPlan& plan = *s.app->GetPlan();
    const auto before = Positions(plan);
    const size_t events = s.app->m_EventHistory.events.size();
    ASSERT_GT(events, 0u);

    TestDir out;
    const QString gpkg = out.path() + "/plan.gpkg";
    const ExportResult gis = exports->ExportGisTo(gpkg);
    ASSERT_TRUE(gis.ok) << gis.description;
    EXPECT_TRUE(QFile::exists(gpkg));
    EXPECT_EQ(Positions(plan), before);

    VideoOptions video;
    video.path = (out.path() + "/v.gif").toStdString();
    video.format = VideoFormat::Gif;
    video.fromMs = 300000;
    video.toMs = 301000;
    video.fps = 2;
    video.size = QSize(64, 48);
    const ExportResult animation = exports->ExportVideoWith(video);
    ASSERT_TRUE(animation.ok) << animation.description;
    EXPECT_EQ(Positions(plan), before);
    EXPECT_EQ(s.app->m_EventHistory.events.size(), events) << "the event list keeps its history";
    EXPECT_EQ(s.app->m_PlayState.HitList().Count(), 0u) << "no alarm from the export's play";

    const QString pdf = out.path() + "/view.pdf";
    const ExportResult page = exports->ExportPdfTo(pdf);
    ASSERT_TRUE(page.ok) << page.description;
    QFile written(pdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(5) == "%PDF-");
    const PageTitle title = exports->CurrentTitle(QSize(100, 100));
    EXPECT_EQ(title.planName, QStringLiteral("演习示例"));
    EXPECT_GT(title.kmPerPixel, 0);

    EXPECT_FALSE(exports->ExportPdfTo(out.path() + "/missing/view.pdf").ok);
}
