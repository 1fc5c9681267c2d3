// Undo and redo in the main window: every edit made in the plan view and in
// the property panels goes back to exactly the plan text it had and forward
// again, the "编辑(&E)" menu names the step, the keys, the running clock, and
// the document's modified flag.
#include "panels/PanelTestSupport.h"

#include "config/UnitClassCatalog.h"
#include "engine/PlanXmlWriter.h"
#include "ui/TimeControlDlg.h"
#include "ui/UndoRedoCommands.h"
#include "ui/panels/DialogCustomProperty.h"
#include "ui/panels/DialogExpandProperty.h"
#include "ui/panels/DialogUnitCombination.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

struct UndoShell : PanelShell {
    CUndoRedoCommands* commands = frame->UndoRedo();
    int menuCommand = 0;

    UndoShell()
    {
        ViewDialogs& d = frame->GetDialogs().view;
        d.speed = [](double& speed, bool&) {
            speed = 45;
            return true;
        };
        d.strike = [](std::string& weapon, int& count) {
            weapon = "03.01";
            count = 2;
            return true;
        };
        d.target = [](int& unitNo) {
            unitNo = 2;
            return true;
        };
        d.contextMenu = [this](QMenu& menu, const QPoint&) -> QAction* {
            for (QAction* a : menu.actions())
                if (a->data().toInt() == menuCommand)
                    return a;
            return nullptr;
        };
        frame->ActionPanel()->SetMenuHook([this](QMenu& menu, const QPoint&) -> QAction* {
            for (QAction* a : menu.actions())
                if (a->data().toInt() == menuCommand)
                    return a;
            return nullptr;
        });
        // Two units appearing at the time panel's current time (0), so both can be dragged.
        AddUnit(1, {200, 200}, 0, "01.01");
        CUnitCanLoad* two = AddUnit(2, {400, 300}, 0);
        // Something for the panels to change and delete.
        PanelShell::AddAction(*two, 1, kActionMove, {{1.5, 2.5, 0}, {3.25, 4.125, 0}});
        two->FirstCustomPropertyList().m_Properties.push_back({1, "编制", "一营"});
    }

    std::string PlanText() const
    {
        std::string text;
        PlanXmlWriter out([&text](const char* data, size_t size) {
            text.append(data, size);
            return true;
        });
        app->GetPlan()->Save(out);
        out.Flush();
        // The plan text leaves out where the units are now; the panel edits that.
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad& unit = *layer->GetUnitAt(i);
            text += QString::asprintf("\n%d at %.17g %.17g", unit.m_UnitNo, double(unit.m_CurX), double(unit.m_CurY))
                        .toStdString();
        }
        return text;
    }
    void Click(QPoint p, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseClick(view, b, Qt::NoModifier, p); }
    void Menu(int command)
    {
        menuCommand = command;
        view->OpenContextMenu(view->mapToGlobal(QPoint(5, 5)));
    }
    // The step recorded last is settled once the event loop runs.
    void Settle() { QCoreApplication::processEvents(); }
    QString UndoText() const
    {
        commands->UpdateActions();
        return commands->UndoAction()->text();
    }
    QString RedoText() const
    {
        commands->UpdateActions();
        return commands->RedoAction()->text();
    }
};

struct Operation {
    const char* step;  // what the menu names
    std::function<void(UndoShell&)> run;
};

// Runs the operation, then checks undo, redo and undo again against the plan text.
void ExpectRoundTrip(const Operation& op)
{
    SCOPED_TRACE(op.step);
    UndoShell s;
    ASSERT_NE(s.commands, nullptr);
    s.Settle();
    const std::string before = s.PlanText();
    op.run(s);
    s.Settle();
    const std::string after = s.PlanText();
    ASSERT_NE(before, after) << "the operation changed nothing";
    EXPECT_TRUE(s.app->m_Doc.IsModified());
    EXPECT_EQ(s.UndoText(), QString("撤销 ") + op.step);
    EXPECT_TRUE(s.commands->UndoAction()->isEnabled());

    ASSERT_TRUE(s.commands->OnUndo());
    EXPECT_EQ(s.PlanText(), before);
    EXPECT_FALSE(s.app->m_Doc.IsModified());
    EXPECT_EQ(s.RedoText(), QString("重做 ") + op.step);
    EXPECT_EQ(s.UndoText(), QString("撤销"));
    EXPECT_FALSE(s.commands->UndoAction()->isEnabled());

    ASSERT_TRUE(s.commands->OnRedo());
    EXPECT_EQ(s.PlanText(), after);
    EXPECT_TRUE(s.app->m_Doc.IsModified());
    ASSERT_TRUE(s.commands->OnUndo());
    EXPECT_EQ(s.PlanText(), before);
}

}  // namespace

// ---- the plan view -----------------------------------------------------------------------

TEST(UndoRedo, EditsInThePlanViewRoundTrip)
{
    const Operation ops[] = {
        {"放置单位",
         [](UndoShell& s) {
             UnitClassInfo* info = s.app->m_UnitClassCatalog.FindUnitClassById("02-02.01");
             ASSERT_NE(info, nullptr);
             s.app->m_MouseX = 12.5;
             s.app->m_MouseY = 7.25;
             ASSERT_TRUE(s.view->DropUnitClass(s.view->mapToGlobal(QPoint(300, 300)), *info));
         }},
        {"移动单位",
         [](UndoShell& s) {
             QTest::mousePress(s.view, Qt::LeftButton, Qt::NoModifier, {400, 300});
             QTest::mouseMove(s.view, {430, 310});
             QTest::mouseMove(s.view, {460, 330});
             QTest::mouseRelease(s.view, Qt::LeftButton, Qt::NoModifier, {460, 330});
         }},
        {"删除单位",
         [](UndoShell& s) {
             s.Click({200, 200});
             s.reporter.answers.push_back(MessageAnswer::Yes);
             s.view->OnDeleteUnit();
         }},
        {"添加移动动作",
         [](UndoShell& s) {
             s.Click({400, 300});
             s.Menu(CTarnwickView::ID_MOVE_TO);
             s.Click({500, 300});
             s.Click({550, 350});
             s.Click({10, 10}, Qt::RightButton);
         }},
        {"添加打击动作",
         [](UndoShell& s) {
             s.Click({400, 300});
             s.Menu(CTarnwickView::ID_STRIKE);
             s.Click({600, 400});
         }},
        {"添加装载动作",
         [](UndoShell& s) {
             s.Click({200, 200});
             s.Menu(CTarnwickView::ID_LOAD);
         }},
        {"添加卸载动作",
         [](UndoShell& s) {
             s.Click({200, 200});
             s.Menu(CTarnwickView::ID_UNLOAD);
             s.Click({250, 260});
         }},
    };
    for (const Operation& op : ops)
        ExpectRoundTrip(op);
}

TEST(UndoRedo, UndoneDeletionRebuildsTheUnitAsOpeningAPlanWould)
{
    UndoShell s;
    UnitClassInfo* info = s.app->m_UnitClassCatalog.FindUnitClassById("02-02.01");
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(s.view->DropUnitClass(s.view->mapToGlobal(QPoint(300, 300)), *info));
    CUnitCanLoad* dropped = s.layer->GetUnitByNo(3);
    ASSERT_NE(dropped, nullptr);
    const int width = dropped->m_ImageWidth;
    s.Click({5, 5});  // nothing selected
    dropped->m_Selected = 1;
    s.reporter.answers.push_back(MessageAnswer::Yes);
    s.view->OnDeleteUnit();
    ASSERT_EQ(s.layer->GetUnitByNo(3), nullptr);

    int shownInPanels = 0;
    QObject::connect(s.view, &CTarnwickView::unitShown,
                     [&](int no, QString, int, double, double, double, double) { shownInPanels = no; });
    ASSERT_TRUE(s.commands->OnUndo());
    CUnitCanLoad* back = s.layer->GetUnitByNo(3);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->m_ClassInfo, info);
    EXPECT_EQ(back->m_ImageWidth, width);
    EXPECT_EQ(back->m_Layer, s.layer);
    // The restored unit is shown in the panels, and nothing stays selected.
    EXPECT_EQ(shownInPanels, 3);
    EXPECT_EQ(s.frame->UnitPanel()->m_UnitNo, 3);
    for (size_t i = 0; i < s.layer->GetUnitCount(); ++i)
        EXPECT_EQ(s.layer->GetUnitAt(i)->m_Selected, 0);
}

TEST(UndoRedo, UndoEndsAPickInProgress)
{
    UndoShell s;
    s.Click({400, 300});
    s.Menu(CTarnwickView::ID_MOVE_TO);
    s.Click({500, 300});
    s.Click({10, 10}, Qt::RightButton);
    s.Click({400, 300});
    s.Menu(CTarnwickView::ID_MOVE_TO);
    ASSERT_TRUE(s.view->PickActive());
    ASSERT_TRUE(s.commands->OnUndo());
    EXPECT_FALSE(s.view->PickActive());
    // The right button no longer finishes a route for a unit that is not selected.
    s.Click({10, 10}, Qt::RightButton);
    EXPECT_EQ(s.layer->GetUnitByNo(2)->m_Actions.size(), 1u);
}

// ---- the property panels -------------------------------------------------------------------

TEST(UndoRedo, EditsInThePropertyPanelsRoundTrip)
{
    auto showUnit2 = [](UndoShell& s) { s.Click({400, 300}); };
    const Operation ops[] = {
        {"修改单位属性",
         [&](UndoShell& s) {
             showUnit2(s);
             s.frame->UnitPanel()->NameEdit()->setText("侦察分队");
             s.frame->UnitPanel()->AngleEdit()->setText("135");
             s.frame->UnitPanel()->ModifyFixedButton()->click();
         }},
        {"修改当前位置",
         [&](UndoShell& s) {
             showUnit2(s);
             s.frame->UnitPanel()->CurXEdit()->setText("3.14159265");
             s.frame->UnitPanel()->ModifyCurrentButton()->click();
         }},
        {"添加转向动作",
         [&](UndoShell& s) {
             showUnit2(s);
             s.menuCommand = CDialogExpandProperty::ID_ADD_TURN;
             s.frame->ActionPanel()->AddButton()->click();
         }},
        {"添加移动动作",
         [&](UndoShell& s) {
             showUnit2(s);
             s.frame->ActionPanel()->OnAddAction(kActionMove);
         }},
        {"修改动作",
         [&](UndoShell& s) {
             showUnit2(s);
             CDialogExpandProperty* panel = s.frame->ActionPanel();
             panel->ActionList()->setCurrentItem(panel->ActionList()->topLevelItem(0));
             panel->SpeedEdit()->setText("72.5");
             panel->ModifyButton()->click();
         }},
        {"删除动作",
         [&](UndoShell& s) {
             showUnit2(s);
             CDialogExpandProperty* panel = s.frame->ActionPanel();
             panel->ActionList()->setCurrentItem(panel->ActionList()->topLevelItem(0));
             panel->DeleteButton()->click();
         }},
        {"添加路线点",
         [&](UndoShell& s) {
             showUnit2(s);
             CDialogExpandProperty* panel = s.frame->ActionPanel();
             panel->ActionList()->setCurrentItem(panel->ActionList()->topLevelItem(0));
             panel->OnPointChosen(9.75, 8.5, 0);
         }},
        {"删除路线点",
         [&](UndoShell& s) {
             showUnit2(s);
             CDialogExpandProperty* panel = s.frame->ActionPanel();
             panel->ActionList()->setCurrentItem(panel->ActionList()->topLevelItem(0));
             panel->RouteList()->setCurrentItem(panel->RouteList()->topLevelItem(0));
             panel->OnRouteDelete();
         }},
        {"添加自定义属性",
         [&](UndoShell& s) {
             showUnit2(s);
             s.frame->CustomPanel()->NameBox()->setEditText("番号");
             s.frame->CustomPanel()->ValueEdit()->setText("3");
             s.frame->CustomPanel()->AddButton()->click();
         }},
        {"修改自定义属性",
         [&](UndoShell& s) {
             showUnit2(s);
             CDialogCustomProperty* panel = s.frame->CustomPanel();
             panel->PropertyList()->setCurrentItem(panel->PropertyList()->topLevelItem(0));
             panel->ValueEdit()->setText("二营");
             panel->OnModify();
         }},
        {"删除自定义属性",
         [&](UndoShell& s) {
             showUnit2(s);
             CDialogCustomProperty* panel = s.frame->CustomPanel();
             panel->PropertyList()->setCurrentItem(panel->PropertyList()->topLevelItem(0));
             panel->DeleteButton()->click();
         }},
    };
    for (const Operation& op : ops)
        ExpectRoundTrip(op);
}

TEST(UndoRedo, PanelsShowTheUnitAsUndoLeftIt)
{
    UndoShell s;
    s.Click({400, 300});
    s.frame->UnitPanel()->NameEdit()->setText("侦察分队");
    s.frame->UnitPanel()->ModifyFixedButton()->click();
    s.frame->CustomPanel()->NameBox()->setEditText("番号");
    s.frame->CustomPanel()->AddButton()->click();
    ASSERT_EQ(s.frame->CustomPanel()->PropertyList()->topLevelItemCount(), 2);
    ASSERT_TRUE(s.commands->OnUndo());
    EXPECT_EQ(s.frame->CustomPanel()->PropertyList()->topLevelItemCount(), 1);
    ASSERT_TRUE(s.commands->OnUndo());
    EXPECT_EQ(s.frame->UnitPanel()->NameEdit()->text(), "单位2");
}

// ---- menu, keys, clock, modified flag --------------------------------------------------------

TEST(UndoRedo, EditMenuFollowsFileAndStartsEmpty)
{
    UndoShell s;
    const QList<QAction*> menus = s.frame->menuBar()->actions();
    ASSERT_GE(menus.size(), 2);
    EXPECT_EQ(menus[1]->text(), "编辑(&E)");
    EXPECT_EQ(menus[1]->menu(), s.commands->EditMenu());
    EXPECT_EQ(s.UndoText(), "撤销");
    EXPECT_EQ(s.RedoText(), "重做");
    EXPECT_FALSE(s.commands->UndoAction()->isEnabled());
    EXPECT_FALSE(s.commands->RedoAction()->isEnabled());
    EXPECT_EQ(s.commands->UndoAction()->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_TRUE(s.commands->RedoAction()->shortcuts().contains(QKeySequence("Ctrl+Y")));
    EXPECT_TRUE(s.commands->RedoAction()->shortcuts().contains(QKeySequence("Ctrl+Shift+Z")));
    EXPECT_FALSE(s.commands->OnUndo());
    EXPECT_EQ(s.frame->statusBar()->currentMessage(), CUndoRedoCommands::kNothingToUndo);
}

TEST(UndoRedo, NothingIsUndoneWhileTheClockRuns)
{
    UndoShell s;
    s.Click({400, 300});
    s.frame->UnitPanel()->NameEdit()->setText("侦察分队");
    s.frame->UnitPanel()->ModifyFixedButton()->click();
    s.Settle();
    ASSERT_TRUE(s.commands->UndoAction()->isEnabled());
    s.app->m_ClockService.Resume();
    ASSERT_TRUE(s.app->m_ClockService.IsRunning());
    s.commands->UpdateActions();  // as the menu does when it opens
    EXPECT_FALSE(s.commands->UndoAction()->isEnabled()) << "disabled while playing";
    EXPECT_FALSE(s.commands->OnUndo());
    EXPECT_EQ(s.frame->statusBar()->currentMessage(), CUndoRedoCommands::kRunningUndo);
    EXPECT_EQ(s.layer->GetUnitByNo(2)->m_UnitName, "侦察分队");
    s.app->m_ClockService.Stop();
    EXPECT_TRUE(s.commands->OnUndo());
    EXPECT_EQ(s.layer->GetUnitByNo(2)->m_UnitName, "单位2");
}

TEST(UndoRedo, KeysUndoAndRedoButLeaveTextFieldsTheirOwnUndo)
{
    UndoShell s;
    s.Click({400, 300});
    s.frame->UnitPanel()->NameEdit()->setText("侦察分队");
    s.frame->UnitPanel()->ModifyFixedButton()->click();
    ASSERT_EQ(s.layer->GetUnitByNo(2)->m_UnitName, "侦察分队");
    s.frame->show();
    s.frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(s.frame));

    s.view->setFocus();
    QTest::keyClick(s.view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(s.layer->GetUnitByNo(2)->m_UnitName, "单位2");
    QTest::keyClick(s.view, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(s.layer->GetUnitByNo(2)->m_UnitName, "侦察分队");
    QTest::keyClick(s.view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(s.view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(s.layer->GetUnitByNo(2)->m_UnitName, "侦察分队");

    // Typing in a field and pressing Ctrl+Z there undoes the typing only.
    QLineEdit* edit = s.frame->CustomPanel()->ValueEdit();
    edit->setFocus();
    QTest::keyClicks(edit, "abc");
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(edit->text(), "abc");
    EXPECT_EQ(s.layer->GetUnitByNo(2)->m_UnitName, "侦察分队");
    EXPECT_EQ(s.app->m_EditHistory.UndoCount(), 1u);
}

// Each command has one action with its keys: after a menu was opened and
// closed with Escape the keys still reach it (no ambiguous shortcut).
TEST(UndoRedo, KeysWorkAfterEveryMenuWasOpenedAndClosed)
{
    UndoShell s;
    s.Click({400, 300});
    s.frame->UnitPanel()->NameEdit()->setText("侦察分队");
    s.frame->UnitPanel()->ModifyFixedButton()->click();
    s.Settle();
    s.frame->show();
    s.frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(s.frame));

    QStringList seen;
    for (QAction* entry : s.frame->menuBar()->actions()) {
        QMenu* menu = entry->menu();
        if (!menu)
            continue;
        // No two enabled actions of the window share a key.
        QTimer::singleShot(50, menu, [menu] { QTest::keyClick(menu, Qt::Key_Escape); });
        menu->exec(s.frame->mapToGlobal(QPoint(10, 10)));
        s.view->setFocus();
        QTest::keyClick(s.view, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(s.layer->GetUnitByNo(2)->m_UnitName, "单位2") << "Ctrl+Z after " << entry->text().toStdString();
        QTest::keyClick(s.view, Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(s.layer->GetUnitByNo(2)->m_UnitName, "侦察分队") << "Ctrl+Y after " << entry->text().toStdString();
        seen << entry->text();
    }
    EXPECT_GE(seen.size(), 4);

    std::map<QString, int> owners;
    for (QAction* action : s.frame->findChildren<QAction*>())
        for (const QKeySequence& key : action->shortcuts())
            ++owners[key.toString()];
    for (const auto& [key, count] : owners)
        EXPECT_EQ(count, 1) << key.toStdString() << " belongs to more than one action";
}

TEST(UndoRedo, ModifiedFlagFollowsTheSavedState)
{
    UndoShell s;
    EXPECT_FALSE(s.app->m_Doc.IsModified());
    s.Click({400, 300});
    s.frame->UnitPanel()->NameEdit()->setText("甲");
    s.frame->UnitPanel()->ModifyFixedButton()->click();
    EXPECT_TRUE(s.app->m_Doc.IsModified());
    TestDir dir;
    s.saveAnswer = dir.path() + "/保存.pln";
    s.frame->OnSavePlan();
    ASSERT_FALSE(s.app->m_Doc.IsModified());
    s.frame->UnitPanel()->NameEdit()->setText("乙");
    s.frame->UnitPanel()->ModifyFixedButton()->click();
    EXPECT_TRUE(s.app->m_Doc.IsModified());
    s.commands->OnUndo();
    EXPECT_FALSE(s.app->m_Doc.IsModified()) << "back at the saved state";
    s.commands->OnUndo();
    EXPECT_TRUE(s.app->m_Doc.IsModified());
    // A step that then changed nothing (a cancelled dialog) leaves no trace.
    s.commands->OnRedo();
    CUndoRedoCommands::RecordEdit(*s.app, "删除单位", 1);
    s.Settle();
    EXPECT_FALSE(s.app->m_Doc.IsModified());
    EXPECT_EQ(s.UndoText(), "撤销 修改单位属性");
}

TEST(UndoRedo, ANewPlanStartsWithAnEmptyHistory)
{
    UndoShell s;
    s.Click({400, 300});
    s.frame->UnitPanel()->NameEdit()->setText("甲");
    s.frame->UnitPanel()->ModifyFixedButton()->click();
    ASSERT_TRUE(s.app->m_EditHistory.CanUndo());
    s.frame->NewPlan();
    EXPECT_FALSE(s.app->m_EditHistory.CanUndo());
    EXPECT_EQ(s.UndoText(), "撤销");
    EXPECT_FALSE(s.app->m_Doc.IsModified());
}

TEST(UndoRedo, PlanStartAndEndTimesFromTheTimePanelRoundTrip)
{
    UndoShell s;
    CTimeControlDlg* panel = s.frame->TimePanel();
    CPlan* plan = s.app->GetPlan();
    const std::string original = s.PlanText();
    const int64_t start = plan->m_StartTime;
    const int64_t end = plan->m_EndTime;
    auto setPicker = [&](const char* date, const char* time, int64_t epoch) {
        const QDateTime dt = QDateTime::fromSecsSinceEpoch(epoch);
        panel->findChild<QDateEdit*>(date)->setDate(dt.date());
        panel->findChild<QTimeEdit*>(time)->setTime(dt.time());
    };

    setPicker("startDate", "startTime", start + 600);
    panel->findChild<QPushButton*>("applyStart")->click();
    ASSERT_EQ(plan->m_StartTime, start + 600);
    setPicker("endDate", "endTime", end + 3600);
    panel->findChild<QPushButton*>("applyEnd")->click();
    ASSERT_EQ(plan->m_EndTime, end + 3600);
    const std::string changed = s.PlanText();
    EXPECT_TRUE(s.app->m_Doc.IsModified());
    EXPECT_EQ(s.UndoText(), "撤销 修改结束时间");

    ASSERT_TRUE(s.commands->OnUndo());
    EXPECT_EQ(plan->m_EndTime, end);
    EXPECT_EQ(panel->GetEndTime(), end);
    EXPECT_EQ(panel->GetBarMaximum(), int(end - start - 600));
    EXPECT_EQ(s.UndoText(), "撤销 修改开始时间");
    ASSERT_TRUE(s.commands->OnUndo());
    EXPECT_EQ(plan->m_StartTime, start);
    EXPECT_EQ(panel->GetStartTime(), start);
    EXPECT_EQ(panel->GetBarMaximum(), int(end - start));
    EXPECT_EQ(s.PlanText(), original);
    EXPECT_FALSE(s.app->m_Doc.IsModified());

    ASSERT_TRUE(s.commands->OnRedo());
    ASSERT_TRUE(s.commands->OnRedo());
    EXPECT_EQ(s.PlanText(), changed);
    EXPECT_EQ(panel->GetBarMaximum(), int(end + 3600 - start - 600));

    // Applying the time the plan already has is no step.
    panel->findChild<QPushButton*>("applyStart")->click();
    EXPECT_EQ(s.app->m_EditHistory.UndoCount(), 2u);
}
