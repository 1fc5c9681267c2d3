// The operator's whole day in the real main window on a real X server: a new
// plan, units dragged from the catalogue, a move, a strike, a load and an
// unload given through the context menu and the real dialogs, save, reopen,
// play at rate 4 with events and the hit alarm, pause, seek, routes and full
// screen, and quitting with the save question. Screenshots of every step go
// to $TARNWICK_ACCEPTANCE_SHOTS (default: ./acceptance-shots).
//
// Runs under Xvfb with the xcb platform (see tools/run-acceptance.sh).
#include "app/TarnwickApp.h"
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "map/MapLoader.h"
#include "ui/EditingDialogs.h"
#include "ui/EventListPanel.h"
#include "ui/HitAlarmDlg.h"
#include "ui/MainWindow.h"
#include "ui/panels/DialogUnitCombination.h"
#include "ui/MessageBoxReporter.h"
#include "ui/TarnwickView.h"
#include "ui/TimeBarCtrl.h"
#include "ui/TimeControlDlg.h"
#include "ui/catalog/UnitCatalogPanel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

#include <sys/types.h>
#include <unistd.h>

namespace {

// Copies the program's data files, so that nothing the run writes lands in
// the build's own folder.
bool CopyTree(const QString& from, const QString& to)
{
    QDir source(from);
    if (!QDir().mkpath(to))
        return false;
    for (const QFileInfo& entry : source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + "/" + entry.fileName();
        if (entry.isDir()) {
            if (!CopyTree(entry.filePath(), target))
                return false;
        } else if (!QFile::copy(entry.filePath(), target)) {
            return false;
        }
    }
    return true;
}

// Answers the modal windows that the real program opens: each handler gets
// the window and does what an operator would; windows nobody expects are
// recorded and closed, which fails the test.
class ModalDriver : public QObject {
public:
    ModalDriver()
    {
        m_timer.setInterval(50);
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start();
    }
    void Expect(std::function<bool(QWidget*)> handler) { m_handlers.push_back(std::move(handler)); }
    bool Idle() const { return m_handlers.empty(); }
    QStringList unexpected;
    QStringList messages;

private:
    void Poll()
    {
        QWidget* w = QApplication::activePopupWidget();
        if (!w)
            w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        if (auto* box = qobject_cast<QMessageBox*>(w))
            messages << box->text();
        if (!m_handlers.empty()) {
            auto handler = std::move(m_handlers.front());
            m_handlers.erase(m_handlers.begin());
            if (handler(w))
                return;
        }
        unexpected << (w->windowTitle().isEmpty() ? QString(w->metaObject()->className()) : w->windowTitle());
        w->close();
    }
    QTimer m_timer;
    std::vector<std::function<bool(QWidget*)>> m_handlers;
};

class Acceptance : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("settings"));
        ASSERT_TRUE(CopyTree(TARNWICK_BIN_DIR, m_dir.filePath("home")));
        m_shots = qEnvironmentVariable("TARNWICK_ACCEPTANCE_SHOTS", "acceptance-shots");
        QDir(m_shots).removeRecursively();
        QDir().mkpath(m_shots);
        m_reporter = std::make_unique<MessageBoxReporter>();
        SetDefaultMessageReporter(m_reporter.get());
        m_app = std::make_unique<CTarnwickApp>(m_reporter.get());
        CTarnwickApp::StartOptions options;
        options.moduleFolder = m_dir.filePath("home").toStdString();
        options.showWindow = true;
        ASSERT_TRUE(m_app->InitInstance(options));
        m_window = CMainFrame::Start(*m_app, options);
        m_frame = m_window.get();
        m_reporter->SetParent(m_frame);
        CMainFrame::Dialogs& d = m_frame->GetDialogs();
        // The file choosers are the desktop's own; the test names the files.
        d.saveFile = [this](const QString&, const QString&) { return m_saveAnswer; };
        d.openFile = [this](const QString&, const QString&) { return m_openAnswer; };
        d.newPlan = [this](NewPlanValues& v) {
            v.planName = "验收演练";
            v.bitmapFile = m_dir.filePath("home/DefaultMapImage/演习区域.bmp");
            v.widthKm = 40;
            v.heightKm = 30;
            v.start = 1700000000;
            v.end = 1700000000 + 3600;
            return true;
        };
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
        Settle();
    }
    void TearDown() override
    {
        if (m_app)
            m_app->ExitInstance();
        m_window.reset();
        m_app.reset();
        SetDefaultMessageReporter(nullptr);
    }

    void Settle(int ms = 150) { QTest::qWait(ms); }
    void Shot(const char* name)
    {
        Settle();
        QScreen* screen = QGuiApplication::primaryScreen();
        const QString file = QStringLiteral("%1/%2-%3.png").arg(m_shots).arg(++m_shotNo, 2, 10, QChar('0')).arg(name);
        EXPECT_TRUE(screen->grabWindow(0).save(file)) << file.toStdString();
    }
    CTarnwickView* View() const { return m_frame->View(); }
    CPlanLayer* Layer() const { return m_app->GetPlan() ? m_app->GetPlan()->GetFirstLayer() : nullptr; }
    CUnitCanLoad* Unit(int no) const
    {
        CPlanLayer* layer = Layer();
        for (size_t i = 0; layer && i < layer->GetUnitCount(); ++i)
            if (layer->GetUnitAt(i)->m_UnitNo == no)
                return layer->GetUnitAt(i);
        return nullptr;
    }
    QPoint ViewPos(const CUnitCanLoad& unit) const
    {
        int px = 0, py = 0;
        m_app->GetMap()->MapToView(unit.m_CurX, unit.m_CurY, px, py);
        return {px, py};
    }

    // Presses on a class in the catalogue tree, pulls it over the view and
    // lets go there.
    void DragClass(const char* id, QPoint viewPoint)
    {
        CUnitClassTree* tree = m_frame->CataloguePanel()->Tree();
        QTreeWidgetItem* item = tree->FindItem(id);
        ASSERT_NE(item, nullptr) << id;
        tree->scrollToItem(item);
        const QPoint start = tree->visualItemRect(item).center();
        QWidget* port = tree->viewport();
        QTest::mousePress(port, Qt::LeftButton, {}, start);
        QTest::mouseMove(port, start + QPoint(QApplication::startDragDistance() + 3, 0));
        const QPoint global = View()->mapToGlobal(viewPoint);
        for (int step = 1; step <= 4; ++step) {
            const QPoint from = port->mapToGlobal(start);
            QTest::mouseMove(port, port->mapFromGlobal(from + (global - from) * step / 4));
        }
        QTest::mouseRelease(port, Qt::LeftButton, {}, port->mapFromGlobal(global));
        Settle();
    }

    // Selects the unit by a click on it and picks a context menu item with the mouse.
    // `then` queues the handlers of the windows the command opens.
    void ContextCommand(int unitNo, int command, const std::function<void()>& then = {})
    {
        CUnitCanLoad* unit = Unit(unitNo);
        ASSERT_NE(unit, nullptr);
        const QPoint at = ViewPos(*unit);
        QTest::mouseClick(View(), Qt::LeftButton, {}, at);
        m_driver.Expect([command](QWidget* w) {
            auto* menu = qobject_cast<QMenu*>(w);
            if (!menu)
                return false;
            for (QAction* a : menu->actions())
                if (a->data().toInt() == command) {
                    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
                    return true;
                }
            return false;
        });
        if (then)
            then();
        View()->OpenContextMenu(View()->mapToGlobal(at));
        Settle();
    }
    void ClickView(QPoint p, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(View(), button, {}, p);
        Settle(60);
    }
    // The time stamped on new actions.
    void SetBar(int seconds)
    {
        CTimeBarCtrl* bar = m_frame->TimePanel()->TimeBar();
        bar->SetPos(seconds);
        emit bar->positionSet(seconds);
        Settle(60);
        ASSERT_EQ(m_frame->TimePanel()->GetBarPosition(), seconds);
    }
    // Chooses the unit named in a "选择目标对象" dialog and presses OK.
    void ExpectTarget(const std::string& name)
    {
        m_driver.Expect([name](QWidget* w) {
            auto* dialog = qobject_cast<CDialogTargetSelect*>(w);
            if (!dialog)
                return false;
            const int index = dialog->UnitList()->findText(QString::fromStdString(name), Qt::MatchStartsWith);
            dialog->UnitList()->setCurrentIndex(index);
            QTest::keyClick(dialog, Qt::Key_Return);
            return index >= 0;
        });
    }
    bool WaitFor(const std::function<bool()>& condition, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!condition() && t.elapsed() < ms)
            QTest::qWait(50);
        return condition();
    }

    QTemporaryDir m_dir;
    QString m_shots;
    int m_shotNo = 0;
    std::unique_ptr<MessageBoxReporter> m_reporter;
    std::unique_ptr<CTarnwickApp> m_app;
    std::unique_ptr<CMainFrame> m_window;  // goes before the application object
    CMainFrame* m_frame = nullptr;
    ModalDriver m_driver;
    QString m_saveAnswer, m_openAnswer;
};

// What tarnwick-replay says about the first layer at a given time.
std::map<int, std::pair<double, double>> ReplayPositions(const QString& home, const QString& plan, int seconds)
{
    QProcess p;
    p.start(TARNWICK_REPLAY, {"--home", home, "--until", QString::number(seconds), "--units", "-", plan});
    p.waitForFinished(60000);
    std::map<int, std::pair<double, double>> positions;
    std::istringstream lines(p.readAllStandardOutput().toStdString());
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string no, name, x, y;
        std::getline(fields, no, '\t');
        std::getline(fields, name, '\t');
        std::getline(fields, x, '\t');
        std::getline(fields, y, '\t');
        positions[std::stoi(no)] = {std::stod(x), std::stod(y)};
    }
    return positions;
}

}  // namespace

TEST_F(Acceptance, PlanPlaceGiveActionsSaveReopenPlaySeekAndQuit)
{
    Shot("start");

    // ---- a new plan on the sample bitmap map, in edit mode ----
    m_frame->Action(CMainFrame::ID_FILE_NEW)->trigger();
    ASSERT_NE(Layer(), nullptr);
    if (!m_app->m_EditMode)
        m_frame->Action(CMainFrame::ID_RUN_EDIT)->trigger();
    ASSERT_EQ(m_app->m_EditMode, 1);
    Shot("new-plan");

    // ---- three classes dragged from the catalogue onto the map ----
    const QSize size = View()->size();
    const QPoint tankAt(size.width() / 2, size.height() / 2);
    const QPoint gunAt(size.width() / 4, size.height() * 3 / 4);
    const QPoint heliAt(size.width() * 3 / 4, size.height() * 3 / 4);
    DragClass("02-02.01", tankAt);
    DragClass("02-02.03", gunAt);
    DragClass("01.01", heliAt);
    ASSERT_EQ(Layer()->GetUnitCount(), 3u);
    CUnitCanLoad* tank = Layer()->GetUnitAt(0);
    CUnitCanLoad* gun = Layer()->GetUnitAt(1);
    CUnitCanLoad* heli = Layer()->GetUnitAt(2);
    EXPECT_EQ(tank->m_ClassId, "02-02.01");
    EXPECT_EQ(gun->m_ClassId, "02-02.03");
    EXPECT_EQ(heli->m_ClassId, "01.01");
    EXPECT_FALSE(tank->m_Image.isNull()) << "the class's map image was loaded";
    const int tankNo = tank->m_UnitNo, gunNo = gun->m_UnitNo, heliNo = heli->m_UnitNo;
    Shot("units-dropped");

    // ---- the gun strikes the tank's position at 5 s ----
    SetBar(5);
    ContextCommand(gunNo, CTarnwickView::ID_STRIKE);
    m_driver.Expect([](QWidget* w) {
        auto* dialog = qobject_cast<CDialogStrikeParam*>(w);
        if (!dialog)
            return false;
        const int rocket = dialog->WeaponList()->findText("火箭炮");
        dialog->WeaponList()->setCurrentIndex(rocket);
        QTest::keyClick(dialog, Qt::Key_Return);
        return rocket >= 0;
    });
    ClickView(tankAt);
    Settle(300);
    ASSERT_EQ(gun->m_Actions.size(), 1u);
    EXPECT_EQ(gun->m_Actions.back()->m_ActionType, 2);
    EXPECT_EQ(gun->m_Actions.back()->m_ActionTime, 5);
    EXPECT_EQ(gun->m_Actions.back()->m_BulletType, "03.02");

    // ---- the tank moves along three points from 10 s ----
    SetBar(10);
    ContextCommand(tankNo, CTarnwickView::ID_MOVE_TO);
    ClickView(tankAt + QPoint(120, -40));
    ClickView(tankAt + QPoint(240, 20));
    Shot("picking-a-route");
    ClickView(tankAt + QPoint(300, 160));
    m_driver.Expect([](QWidget* w) {
        auto* dialog = qobject_cast<CDialogSpeedInput*>(w);
        if (!dialog)
            return false;
        dialog->SpeedEdit()->setText("120");
        QTest::keyClick(dialog, Qt::Key_Return);
        return true;
    });
    ClickView(tankAt + QPoint(300, 160), Qt::RightButton);
    Settle(300);
    ASSERT_EQ(tank->m_Actions.size(), 1u);
    EXPECT_EQ(tank->m_Actions.back()->m_ActionType, 1);
    EXPECT_DOUBLE_EQ(tank->m_Actions.back()->m_Speed, 120.0);

    // ---- the helicopter loads the gun at 20 s and unloads it at 40 s ----
    SetBar(20);
    ContextCommand(heliNo, CTarnwickView::ID_LOAD, [&] { ExpectTarget(gun->m_UnitName); });
    Settle(300);
    SetBar(40);
    ContextCommand(heliNo, CTarnwickView::ID_UNLOAD);
    ExpectTarget(gun->m_UnitName);
    ClickView(heliAt + QPoint(-80, -200));
    Settle(300);
    ASSERT_EQ(heli->m_Actions.size(), 2u);
    EXPECT_EQ(heli->m_Actions[0]->m_ActionType, 4);
    EXPECT_EQ(heli->m_Actions[1]->m_ActionType, 5);
    m_app->m_ShowRoutes = 1;
    View()->update();
    Shot("actions-given");
    m_app->m_ShowRoutes = 0;

    // ---- save, close, reopen ----
    const QString planFile = m_dir.filePath("验收演练.pln");
    m_saveAnswer = planFile;
    m_frame->Action(CMainFrame::ID_SAVE_PLAN)->trigger();
    ASSERT_TRUE(QFile::exists(planFile));
    QFile::remove(m_shots + "/plan.pln");
    QFile::copy(planFile, m_shots + "/plan.pln");  // kept for a look after a failure
    ASSERT_TRUE(m_app->ClosePlan());
    EXPECT_EQ(Layer(), nullptr);
    Settle();
    Shot("closed");
    ASSERT_TRUE(m_frame->OpenPlanFile(planFile));
    ASSERT_EQ(Layer()->GetUnitCount(), 3u);
    ASSERT_NE(Unit(tankNo), nullptr);
    ASSERT_EQ(Unit(tankNo)->m_Actions.size(), 1u);
    EXPECT_EQ(Unit(tankNo)->m_Actions[0]->m_Routes.at(0)->m_Points.size(), 4u) << "start and three picked points";
    EXPECT_EQ(Unit(gunNo)->m_Actions.size(), 1u);
    EXPECT_EQ(Unit(heliNo)->m_Actions.size(), 2u);
    Shot("reopened");

    // ---- run mode, rate 4, play: events and the hit alarm ----
    m_frame->Action(CMainFrame::ID_RUN_EDIT)->trigger();
    ASSERT_EQ(m_app->m_EditMode, 0);
    m_frame->Action(CMainFrame::ID_SPEED_UP)->trigger();
    m_frame->Action(CMainFrame::ID_SPEED_UP)->trigger();
    ASSERT_DOUBLE_EQ(m_app->m_PlayRate, 4.0);
    m_frame->Action(CMainFrame::ID_PLAY)->trigger();
    EXPECT_TRUE(WaitFor([&] { return m_frame->HitAlarm() && m_frame->HitAlarm()->isVisible(); }, 15000))
        << "the strike on the tank's position raises the hit alarm";
    Shot("hit-alarm");
    EXPECT_TRUE(WaitFor([&] { return m_app->m_ClockService.GetTime() >= 45000; }, 30000));
    m_frame->Action(CMainFrame::ID_PAUSE)->trigger();
    Settle(300);
    EXPECT_GE(m_frame->EventList()->RowCount(), 4) << "strike, move, load and unload were logged";
    Shot("paused");

    // ---- seek with the time bar: positions as the batch replay gives them ----
    CTimeBarCtrl* bar = m_frame->TimePanel()->TimeBar();
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Home);
    for (int i = 0; i < 30; ++i)
        QTest::keyClick(bar, Qt::Key_Right);
    Settle(300);
    const int seekTo = m_frame->TimePanel()->GetBarPosition();
    EXPECT_GT(seekTo, 10);
    const auto expected = ReplayPositions(m_dir.filePath("home"), planFile, seekTo);
    ASSERT_EQ(expected.size(), 3u);
    for (const auto& [no, xy] : expected) {
        ASSERT_NE(Unit(no), nullptr);
        // Exactly the batch play's state (printed with six decimals).
        EXPECT_NEAR(Unit(no)->m_CurX, xy.first, 5e-7) << "unit " << no << " at " << seekTo << " s";
        EXPECT_NEAR(Unit(no)->m_CurY, xy.second, 5e-7) << "unit " << no << " at " << seekTo << " s";
    }
    Shot("seeked");
    // A move under way at the seek goes on when play resumes.
    WGAction* tankMove = Unit(tankNo)->m_Actions[0].get();
    if (tankMove->m_Running) {
        const double x = Unit(tankNo)->m_CurX, y = Unit(tankNo)->m_CurY;
        m_frame->Action(CMainFrame::ID_PLAY)->trigger();
        EXPECT_TRUE(WaitFor([&] { return m_app->m_ClockService.GetTime() >= uint32_t(seekTo) * 1000 + 2000; }, 10000));
        m_frame->Action(CMainFrame::ID_PAUSE)->trigger();
        EXPECT_TRUE(Unit(tankNo)->m_CurX != x || Unit(tankNo)->m_CurY != y) << "the tank moves on after the seek";
    }

    // ---- routes and full screen ----
    m_frame->Action(CMainFrame::ID_SHOW_ROUTES)->trigger();
    EXPECT_EQ(m_app->m_ShowRoutes, 1);
    Shot("routes");
    m_frame->Action(CMainFrame::ID_FULL_SCREEN)->trigger();
    EXPECT_EQ(m_app->m_FullScreen, 1);
    Shot("full-screen");
    m_frame->Action(CMainFrame::ID_FULL_SCREEN)->trigger();
    EXPECT_EQ(m_app->m_FullScreen, 0);
    Shot("after-full-screen");

    // ---- an edited plan, then Open answered "取消": nothing is replaced ----
    {
        CUnitCanLoad* tank = Unit(tankNo);
        ASSERT_NE(tank, nullptr);
        CDialogUnitCombination* panel = m_frame->UnitPanel();
        panel->OnUnitShown(tankNo, QString::fromStdString(tank->m_UnitName), tank->m_AppearTime, tank->m_InitX,
                           tank->m_InitY, tank->m_CurX, tank->m_CurY);
        panel->NameEdit()->setText("改名坦克");
        panel->ModifyFixedButton()->click();
        ASSERT_EQ(Unit(tankNo)->m_UnitName, "改名坦克");
        ASSERT_TRUE(m_app->m_Doc.IsModified());
        CPlan* before = m_app->GetPlan();
        bool cancelled = false;
        m_driver.Expect([&cancelled](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->button(QMessageBox::Cancel))
                return false;
            cancelled = true;
            box->button(QMessageBox::Cancel)->click();
            return true;
        });
        m_openAnswer = planFile;  // would be opened if the question were not asked
        m_frame->Action(CMainFrame::ID_OPEN_PLAN)->trigger();
        EXPECT_TRUE(WaitFor([&] { return cancelled; }, 5000)) << "the save question before Open";
        Settle();
        EXPECT_EQ(m_app->GetPlan(), before);
        EXPECT_EQ(Unit(tankNo)->m_UnitName, "改名坦克");
        EXPECT_TRUE(m_app->m_Doc.IsModified());
        Shot("open-cancelled");
    }

    // ---- quit: the save question, answered "否" ----
    bool asked = false;
    m_driver.Expect([&asked](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box)
            return false;
        asked = true;
        box->button(QMessageBox::No) ? box->button(QMessageBox::No)->click() : box->reject();
        return true;
    });
    bool closed = false;
    QObject::connect(m_frame, &CMainFrame::closed, [&closed] { closed = true; });
    QTimer::singleShot(0, m_frame, [this] { m_frame->close(); });
    EXPECT_TRUE(WaitFor([&] { return closed; }, 5000));
    EXPECT_TRUE(asked);

    EXPECT_TRUE(m_driver.Idle()) << "a window the test waited for never appeared";
    EXPECT_TRUE(m_driver.unexpected.isEmpty()) << m_driver.unexpected.join(", ").toStdString();
}

// Without a display the program starts itself again under xvfb-run; without
// xvfb-run the test is skipped (exit code 77) and says so.
int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("TARNWICK_ACCEPTANCE_INNER")) {
        const QString xvfb = QStandardPaths::findExecutable("xvfb-run");
        if (xvfb.isEmpty()) {
            std::fprintf(stderr, "acceptance test skipped: xvfb-run is not installed (apt-get install xvfb)\n");
            return 77;
        }
        QCoreApplication core(argc, argv);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TARNWICK_ACCEPTANCE_INNER", "1");
        env.insert("QT_QPA_PLATFORM", "xcb");
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        // xvfb-run waits for the server's SIGUSR1; a test runner may start us
        // with that signal ignored or blocked, which a shell cannot undo.
        p.setChildProcessModifier([] {
            sigset_t all;
            sigemptyset(&all);
            sigprocmask(SIG_SETMASK, &all, nullptr);
            signal(SIGUSR1, SIG_DFL);
            setsid();
        });
        QStringList args{"-a", "-s", "-screen 0 1600x1000x24", QCoreApplication::applicationFilePath()};
        for (int i = 1; i < argc; ++i)
            args << QString::fromLocal8Bit(argv[i]);
        p.start(xvfb, args);
        if (!p.waitForStarted() || !p.waitForFinished(600000)) {
            ::kill(-pid_t(p.processId()), SIGKILL);
            p.waitForFinished(5000);
            std::fprintf(stderr, "acceptance test: the run under xvfb-run did not end\n");
            return 1;
        }
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : 1;
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
