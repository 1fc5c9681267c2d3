// Crash recovery, go to time, one-second steps, Space and +/- in the main
// window, and the event log export, each in a whole shell.
#include "ShellTestSupport.h"

#include "app/RecoveryFile.h"
#include "engine/PlanFile.h"
#include "ui/EventListPanel.h"
#include "ui/OperatorTools.h"
#include "ui/TimeControlDlg.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace {

// A shell like Shell, with its recovery copies in a folder of the test.
struct RecoveryShell {
    TestDir settingsDir;
    ScriptedReporter reporter;
    std::unique_ptr<CTarnwickApp> app;
    std::unique_ptr<CMainFrame> window;  // goes before the application object
    CMainFrame* frame = nullptr;
    bool started = false;
    QString saveAnswer;

    explicit RecoveryShell(const QString& recoveryFolder, std::deque<MessageAnswer> answers = {})
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        reporter.answers = std::move(answers);
        app = std::make_unique<CTarnwickApp>(&reporter);
        CTarnwickApp::StartOptions options;
        options.moduleFolder = TARNWICK_BIN_DIR;
        options.showWindow = false;
        options.recoveryFolder = recoveryFolder;
        started = app->InitInstance(options);
        if (started)
            window = CMainFrame::Start(*app, options);
        frame = window.get();
        if (frame)
            frame->GetDialogs().saveFile = [this](const QString&, const QString&) { return saveAnswer; };
    }
    ~RecoveryShell()
    {
        if (app)
            app->ExitInstance();
    }
    COperatorTools& Tools() const { return *frame->Operator(); }
    CUnitCanLoad* FirstUnit() const { return app->GetPlan()->GetFirstLayer()->GetUnitAt(0); }
};

std::string SampleWithRenamedUnit(const std::string& name)
{
    CUnitClassCatalog catalog;
    PlanContext context;
    context.catalog = &catalog;
    context.moduleFolder = TARNWICK_BIN_DIR;  // the sample's map lies in DefaultMapImage there
    auto plan = LoadPlan(SamplePlanPath(), context);
    if (!plan || !plan->GetFirstLayer() || plan->GetFirstLayer()->GetUnitCount() == 0)
        return {};
    plan->GetFirstLayer()->GetUnitAt(0)->m_UnitName = name;
    return PlanToText(*plan);
}

// ---- crash recovery --------------------------------------------------------------------

// Run as a child process by the test below: writes a copy of changed work and dies at once.
TEST(RecoveryChild, WritesCopyThenDies)
{
    const char* folder = std::getenv("TW_RECOVERY_CHILD_DIR");
    if (!folder)
        GTEST_SKIP() << "only run as the child of KilledProgramsWorkIsOfferedAndOpened";
    CRecoveryFile recovery(QString::fromUtf8(folder));
    ASSERT_TRUE(recovery.Acquire());
    ASSERT_TRUE(recovery.Write(SampleWithRenamedUnit("坠机前的改动"), QString::fromStdString(SamplePlanPath())));
    std::raise(SIGKILL);
}

TEST(CrashRecovery, KilledProgramsWorkIsOfferedAndOpened)
{
    TestDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TW_RECOVERY_CHILD_DIR", dir.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=RecoveryChild.*"});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAllStandardOutput().toStdString();

    {
        // The dead child's lock is taken over; the copy is offered and opened.
        RecoveryShell shell(dir.path(), {MessageAnswer::Yes});
        ASSERT_TRUE(shell.started);
        ASSERT_FALSE(shell.reporter.messages.empty());
        EXPECT_EQ(shell.reporter.messages[0].text, "恢复上次未保存的预案?");
        EXPECT_EQ(shell.reporter.messages[0].buttons, MessageButtons::YesNo);
        ASSERT_NE(shell.app->GetPlan(), nullptr);
        EXPECT_EQ(shell.FirstUnit()->m_UnitName, "坠机前的改动");
        // It is the sample's plan again: Ctrl+S writes there, and it counts as changed.
        EXPECT_EQ(shell.app->m_Doc.GetPathName().toStdString(), SamplePlanPath());
        EXPECT_EQ(shell.app->m_Doc.GetPlanFile().toStdString(), SamplePlanPath());
        EXPECT_TRUE(shell.app->m_Doc.IsModified());
        EXPECT_TRUE(QFile::exists(shell.Tools().Recovery()->PlanPath()));
    }
    // A normal end removed the copy: the next start asks nothing.
    RecoveryShell again(dir.path());
    EXPECT_TRUE(again.reporter.messages.empty());
    EXPECT_EQ(again.app->GetPlan(), nullptr);
}

TEST(CrashRecovery, DeclinedCopyIsRemovedAndCopyEqualToItsFileIsNotOffered)
{
    TestDir dir;
    {
        CRecoveryFile left(dir.path());
        ASSERT_TRUE(left.Acquire());
        ASSERT_TRUE(left.Write(SampleWithRenamedUnit("x"), QString()));
    }
    {
        RecoveryShell shell(dir.path(), {MessageAnswer::No});
        ASSERT_EQ(shell.reporter.messages.size(), 1u);
        EXPECT_EQ(shell.app->GetPlan(), nullptr);
        EXPECT_FALSE(QFile::exists(shell.Tools().Recovery()->PlanPath()));
    }
    // Saved, then ended abnormally without further changes: nothing to recover.
    const std::string saved = dir.file("saved.pln");
    {
        CRecoveryFile left(dir.path());
        ASSERT_TRUE(left.Acquire());
        const std::string text = SampleWithRenamedUnit("y");
        QFile file(QString::fromStdString(saved));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), qint64(text.size()));
        file.close();
        ASSERT_TRUE(left.Write(text, QString::fromStdString(saved)));
        EXPECT_EQ(CRecoveryFile::OriginalPathIn(TestDir::read(left.PlanPath().toStdString())).toStdString(), saved);
    }
    RecoveryShell shell(dir.path());
    EXPECT_TRUE(shell.reporter.messages.empty());
    EXPECT_FALSE(QFile::exists(shell.Tools().Recovery()->PlanPath()));
}

TEST(CrashRecovery, ChangedPlanIsCopiedOnTheTimerAndOnSaveAndNotWhenUnchanged)
{
    TestDir dir;
    RecoveryShell shell(dir.path());
    ASSERT_TRUE(shell.started);
    EXPECT_EQ(shell.Tools().RecoveryTimer()->interval(), 60000);
    EXPECT_TRUE(shell.Tools().RecoveryTimer()->isActive());
    ASSERT_TRUE(shell.frame->OpenPlanFile(QString::fromStdString(SamplePlanPath())));
    const QString copy = shell.Tools().Recovery()->PlanPath();

    EXPECT_FALSE(shell.Tools().WriteRecovery()) << "an unchanged plan needs no copy";
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_FALSE(shell.app->m_Doc.IsModified());

    // An edit that did not mark the document still shows in the plan's text.
    shell.FirstUnit()->m_UnitName = "改过的名字";
    EXPECT_TRUE(shell.Tools().WriteRecovery());
    EXPECT_TRUE(shell.app->m_Doc.IsModified());
    EXPECT_FALSE(shell.Tools().WriteRecovery()) << "the copy already holds this";
    const QByteArray bytes = TestDir::read(copy.toStdString());
    EXPECT_TRUE(bytes.contains("改过的名字"));
    EXPECT_EQ(CRecoveryFile::OriginalPathIn(bytes).toStdString(), SamplePlanPath());

    // The copy loads as a plan.
    CUnitClassCatalog catalog;
    PlanContext context;
    context.catalog = &catalog;
    context.moduleFolder = TARNWICK_BIN_DIR;
    std::string error;
    auto loaded = LoadPlan(copy.toStdString(), context, &error);
    ASSERT_NE(loaded, nullptr) << error;
    EXPECT_EQ(loaded->GetFirstLayer()->GetUnitAt(0)->m_UnitName, "改过的名字");

    // A save clears the flag and refreshes the copy with the new path.
    const std::string target = dir.file("saved here.pln");
    ASSERT_TRUE(shell.app->SavePlan(target));
    EXPECT_FALSE(shell.app->m_Doc.IsModified());
    EXPECT_EQ(CRecoveryFile::OriginalPathIn(TestDir::read(copy.toStdString())).toStdString(), target);

    shell.app->ExitInstance();
    EXPECT_FALSE(QFile::exists(copy));
}

TEST(CrashRecovery, SecondRunningProgramKeepsItsHandsOff)
{
    TestDir dir;
    CRecoveryFile first(dir.path());
    ASSERT_TRUE(first.Acquire());
    ASSERT_TRUE(first.Write(SampleWithRenamedUnit("z"), QString()));
    {
        RecoveryShell second(dir.path());
        EXPECT_TRUE(second.reporter.messages.empty());
        EXPECT_FALSE(second.Tools().Recovery()->IsActive());
    }
    EXPECT_TRUE(QFile::exists(first.PlanPath())) << "the other program's copy survives";
}

// ---- go to time and steps -------------------------------------------------------------------

TEST(GoToTime, ParsesRelativeTimesSecondsAndDateTimes)
{
    const std::time_t start = QDateTime(QDate(2024, 5, 20), QTime(8, 0, 0)).toSecsSinceEpoch();
    const struct {
        const char* text;
        long long seconds;
    } good[] = {
        {"0", 0},           {"90", 90},          {" 3725 ", 3725},      {"1:02:05", 3725},
        {"0:00:59", 59},    {"25:00:00", 90000}, {"1：00：00", 3600},   {"2024-05-20 08:30:00", 1800},
        {"2024-05-20 07:59:59", -1}, {"2024/05/21 08:00", 86400}, {"2024-05-20T09:00:01", 3601},
    };
    for (const auto& g : good) {
        const auto parsed = ParseGoToTime(QString::fromUtf8(g.text), start);
        ASSERT_TRUE(parsed.has_value()) << g.text;
        EXPECT_EQ(*parsed, g.seconds) << g.text;
    }
    for (const char* bad : {"", "abc", "1:60:00", "1:00:60", "-5", "1.5", "1:2", "2024-02-30 08:00:00",
                            "2024-05-20 24:00:00", "2024-13-01 00:00:00", "12345678901", "1:00:00x"})
        EXPECT_FALSE(ParseGoToTime(QString::fromUtf8(bad), start).has_value()) << bad;
}

TEST(GoToTime, SeeksLikeTheTimeBarAndRefusesBadInput)
{
    RecoveryShell shell(QString{});
    ASSERT_TRUE(shell.frame->OpenPlanFile(QString::fromStdString(SamplePlanPath())));
    CTimeControlDlg* panel = shell.frame->TimePanel();
    COperatorTools& tools = shell.Tools();
    EXPECT_EQ(tools.GoToTimeAction()->shortcut(), QKeySequence("Ctrl+G"));

    // The command asks with the current relative time filled in.
    QString asked;
    tools.askTime = [&](const QString& current) -> std::optional<QString> {
        asked = current;
        return QStringLiteral("0:10:00");
    };
    tools.OnGoToTime();
    EXPECT_EQ(asked, "0:00:00");
    EXPECT_EQ(panel->GetBarPosition(), 600);
    // The tick at 600 s has been played; the clock goes on with the next one.
    EXPECT_EQ(shell.app->m_ClockService.GetTime(), 600200u);
    EXPECT_EQ(panel->GetCurrentTime() - panel->GetStartTime(), 600);

    // The units stand where a play from the start puts them.
    CUnitCanLoad* unit = shell.FirstUnit();
    const double x = unit->m_CurX, y = unit->m_CurY;
    shell.app->GetPlan()->ResetPlayback();
    shell.app->GetPlan()->PlayTicks(0, 600000);
    EXPECT_EQ(double(unit->m_CurX), x);
    EXPECT_EQ(double(unit->m_CurY), y);

    const QString start = QDateTime::fromSecsSinceEpoch(panel->StartDateTime()).toString("yyyy-MM-dd HH:mm:ss");
    EXPECT_TRUE(tools.GoToText(QDateTime::fromSecsSinceEpoch(panel->StartDateTime() + 1800).toString("yyyy-MM-dd HH:mm:ss")));
    EXPECT_EQ(panel->GetBarPosition(), 1800) << "the end is still inside";

    shell.reporter.messages.clear();
    EXPECT_FALSE(tools.GoToText("1801"));
    EXPECT_FALSE(tools.GoToText("昨天"));
    ASSERT_EQ(shell.reporter.messages.size(), 2u);
    EXPECT_EQ(shell.reporter.messages[0].text, "输入的时间超出了预案的开始时间和结束时间的范围,请重新输入！");
    EXPECT_NE(shell.reporter.messages[1].text.find("无法识别输入的时间"), std::string::npos);
    EXPECT_EQ(panel->GetBarPosition(), 1800) << "a refused input moves nothing";
}

TEST(GoToTime, StepsWorkWhilePausedAndStopAtTheEnds)
{
    RecoveryShell shell(QString{});
    ASSERT_TRUE(shell.frame->OpenPlanFile(QString::fromStdString(SamplePlanPath())));
    CTimeControlDlg* panel = shell.frame->TimePanel();
    COperatorTools& tools = shell.Tools();
    ASSERT_FALSE(shell.app->m_ClockService.IsRunning());
    EXPECT_TRUE(tools.StepForwardAction()->autoRepeat());
    EXPECT_EQ(tools.StepForwardAction()->shortcut(), QKeySequence("Ctrl+Right"));
    EXPECT_EQ(tools.StepBackAction()->shortcut(), QKeySequence("Ctrl+Left"));

    tools.StepForwardAction()->trigger();
    tools.StepForwardAction()->trigger();
    EXPECT_EQ(panel->GetBarPosition(), 2);
    EXPECT_EQ(shell.app->m_ClockService.GetTime(), 2200u);
    tools.StepBackAction()->trigger();
    EXPECT_EQ(panel->GetBarPosition(), 1);
    tools.StepBackAction()->trigger();
    tools.StepBackAction()->trigger();
    EXPECT_EQ(panel->GetBarPosition(), 0) << "no step before the start";
    EXPECT_FALSE(shell.app->m_ClockService.IsRunning());
    EXPECT_TRUE(tools.GoToText("1800"));
    tools.StepForwardAction()->trigger();
    EXPECT_EQ(panel->GetBarPosition(), 1800) << "no step past the end";
    EXPECT_TRUE(shell.reporter.messages.empty());
}

// ---- keys anywhere in the window -------------------------------------------------------------

TEST(WindowKeys, SpaceTogglesPlayButTypesIntoTextFields)
{
    RecoveryShell shell(QString{});
    ASSERT_TRUE(shell.frame->OpenPlanFile(QString::fromStdString(SamplePlanPath())));
    CMainFrame* frame = shell.frame;
    // A text field inside one of the panels.
    auto* edit = new QLineEdit(frame->EventList());
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));

    frame->View()->setFocus();
    QTest::keyClick(frame->View(), Qt::Key_Space);
    EXPECT_TRUE(shell.app->m_ClockService.IsRunning()) << "Space plays";
    QTest::keyClick(frame->View(), Qt::Key_Space);
    EXPECT_FALSE(shell.app->m_ClockService.IsRunning()) << "and pauses";

    edit->setFocus();
    QTest::keyClicks(edit, "a b");
    EXPECT_EQ(edit->text(), "a b");
    EXPECT_FALSE(shell.app->m_ClockService.IsRunning()) << "a space typed into a field is text";

    QTest::keyClick(frame->View(), Qt::Key_Plus);
    EXPECT_EQ(shell.app->m_PlayRate, 2.0);
    QTest::keyClick(frame->View(), Qt::Key_Minus);
    QTest::keyClick(frame->View(), Qt::Key_Minus);
    EXPECT_EQ(shell.app->m_PlayRate, 0.5);
    QTest::keyClicks(edit, "+-");
    EXPECT_EQ(edit->text(), "a b+-");
    EXPECT_EQ(shell.app->m_PlayRate, 0.5);

    // Ctrl+G, Ctrl+Right reach the commands from the view.
    QTest::keyClick(frame->View(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(frame->TimePanel()->GetBarPosition(), 1);
    frame->Operator()->askTime = [](const QString&) -> std::optional<QString> { return QStringLiteral("100"); };
    QTest::keyClick(frame->View(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(frame->TimePanel()->GetBarPosition(), 100);
    shell.app->m_ClockService.Stop();
}

// ---- event log -----------------------------------------------------------------------------

TEST(EventExport, FieldsAreQuotedAsCsvWantsAndTheFileStartsWithABom)
{
    EXPECT_EQ(CsvField("plain 文本"), "plain 文本");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvField("cr\rhere"), "\"cr\rhere\"");
    EXPECT_EQ(CsvField(""), "");

    HitRecord hit{"坦克[编号:3]", "炮[编号: 1][火器: 榴弹炮]", 12.5, "08:00:05"};
    const QByteArray csv = BuildEventCsv({{"08:00:01", "甲开始移动"}, {"08:00:02", "乙开始转向 [1,5\"]"}}, {hit});
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(csv.mid(3));
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 5);  // header, two events, one hit, and the empty rest after the last CR LF
    EXPECT_EQ(lines[0], "类别,发生时间,发生事件,被击中单位,打击者,距离火力线(米)");
    EXPECT_EQ(lines[1], "事件,08:00:01,甲开始移动,,,");
    EXPECT_EQ(lines[2], "事件,08:00:02,\"乙开始转向 [1,5\"\"]\",,,");
    EXPECT_EQ(lines[3], "击中,08:00:05,,坦克[编号:3],炮[编号: 1][火器: 榴弹炮],12.5000");
    EXPECT_EQ(lines[4], "");
}

TEST(EventExport, CommandWritesTheWholeHistoryOldestFirstAndReportsFailures)
{
    TestDir dir;
    RecoveryShell shell(QString{});
    ASSERT_TRUE(shell.frame->OpenPlanFile(QString::fromStdString(SamplePlanPath())));
    CEventListPanel* list = shell.frame->EventList();
    // As playback reports them: through the play state's sink, from any thread.
    IEventSink& sink = shell.app->m_PlayState.EventSink();
    sink.OnEvent({"08:00:01", "第一", 0});
    sink.OnEvent({"08:00:02", "第二, 带逗号", 0});
    for (int i = 0; i < 1500; ++i)
        sink.OnEvent({"08:10:00", "批量" + std::to_string(i), 0});
    sink.OnHit({"坦克[编号:3]", "炮[编号: 1][火器: 榴弹炮]", 12.5, "08:00:05"});
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(list->RowCount(), 502) << "the list keeps its 1000-row pages";

    shell.saveAnswer = QString::fromStdString(dir.file("事件.csv"));
    shell.Tools().ExportAction()->trigger();
    const QByteArray csv = TestDir::read(dir.file("事件.csv"));
    ASSERT_FALSE(csv.isEmpty());
    const QString text = QString::fromUtf8(csv.mid(3));
    EXPECT_LT(text.indexOf("第一"), text.indexOf("\"第二, 带逗号\""));
    EXPECT_LT(text.indexOf("\"第二, 带逗号\""), text.indexOf("批量0,"));
    EXPECT_EQ(text.split("\r\n").size(), 1 + 1502 + 1 + 1) << "header, every event, the hit, the end";
    EXPECT_TRUE(text.contains("击中,08:00:05,,坦克[编号:3]"));
    EXPECT_TRUE(shell.reporter.messages.empty());

    // Clearing the list's page keeps the history for the export.
    list->ClearAll();
    ASSERT_TRUE(shell.Tools().ExportEvents(QString::fromStdString(dir.file("again.csv"))));
    EXPECT_EQ(TestDir::read(dir.file("again.csv")), csv);

    // A folder that does not exist: a clear error, nothing claimed.
    EXPECT_FALSE(shell.Tools().ExportEvents(dir.path() + "/none/x.csv"));
    ASSERT_EQ(shell.reporter.messages.size(), 1u);
    EXPECT_EQ(shell.reporter.messages[0].caption, "错误");
    EXPECT_EQ(shell.reporter.messages[0].text.rfind("导出事件失败", 0), 0u);

    // A cancelled chooser writes nothing.
    shell.saveAnswer.clear();
    shell.Tools().ExportAction()->trigger();
    EXPECT_EQ(shell.reporter.messages.size(), 1u);
}

TEST(EventExport, DoubleClickOnAnEventSeeksToIt)
{
    RecoveryShell shell(QString{});
    ASSERT_TRUE(shell.frame->OpenPlanFile(QString::fromStdString(SamplePlanPath())));
    CTimeControlDlg* panel = shell.frame->TimePanel();
    CEventListPanel* list = shell.frame->EventList();
    list->AddEvent({"08:02:00", "某事", int64_t(panel->StartDateTime()) + 120});
    list->AddEvent({"x", "太晚", int64_t(panel->StartDateTime()) + 99999});
    EXPECT_EQ(list->Epoch(1), int64_t(panel->StartDateTime()) + 120);

    QTreeWidget* tree = list->List();
    emit tree->itemDoubleClicked(tree->topLevelItem(1), 0);
    EXPECT_EQ(panel->GetBarPosition(), 120);
    EXPECT_EQ(shell.app->m_ClockService.GetTime(), 120200u);

    // The seek showed the plan's events up to 120 s; one from outside the plan:
    list->AddEvent({"x", "太晚", int64_t(panel->StartDateTime()) + 99999});
    emit tree->itemDoubleClicked(tree->topLevelItem(0), 0);
    EXPECT_EQ(panel->GetBarPosition(), 120) << "outside the plan: refused";
    ASSERT_EQ(shell.reporter.messages.size(), 1u);
}

TEST(EventExport, PlaybackEventsCarryTheirPlanTime)
{
    RecoveryShell shell(QString{});
    ASSERT_TRUE(shell.frame->OpenPlanFile(QString::fromStdString(SamplePlanPath())));
    CTimeControlDlg* panel = shell.frame->TimePanel();
    ASSERT_TRUE(shell.Tools().GoToText("1800"));
    QCoreApplication::processEvents();
    CEventListPanel* list = shell.frame->EventList();
    ASSERT_GT(list->RowCount(), 0) << "the sample plays events on the way";
    for (int row = 0; row < list->RowCount(); ++row) {
        const qint64 epoch = list->Epoch(row);
        EXPECT_GE(epoch, qint64(panel->StartDateTime()));
        EXPECT_EQ(QDateTime::fromSecsSinceEpoch(epoch).toString("HH:mm:ss"), list->Text(row, 0));
    }
}

}  // namespace
