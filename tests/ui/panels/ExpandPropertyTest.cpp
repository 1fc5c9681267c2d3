// The action panel inside the main frame: the action list, adding the five
// kinds of action, the parameter fields, changing and deleting actions, and
// the route points with the route-select dialog.
#include "PanelTestSupport.h"

#include "ui/EditingDialogs.h"
#include "ui/panels/DialogExpandProperty.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

struct ActionPanelShell : PanelShell {
    CDialogExpandProperty* panel = frame->ActionPanel();
    int now = 125;  // the time panel's current time, seconds
    int menuCommand = 0;
    QList<QAction*> menuItems;
    std::vector<bool> menuEnabled;

    ActionPanelShell()
    {
        panel->SetCurrentTimeSource([this] { return now; });
        panel->SetMenuHook([this](QMenu& menu, const QPoint&) -> QAction* {
            menuEnabled.clear();
            QAction* chosen = nullptr;
            for (QAction* a : menu.actions()) {
                if (a->isSeparator())
                    continue;
                menuEnabled.push_back(a->isEnabled());
                if (a->data().toInt() == menuCommand)
                    chosen = a;
            }
            return chosen;
        });
    }
    QStringList Row(int i) const
    {
        QTreeWidgetItem* item = panel->ActionList()->topLevelItem(i);
        return item ? QStringList{item->text(0), item->text(1), item->text(2)} : QStringList{};
    }
    QStringList RouteRow(int i) const
    {
        QTreeWidgetItem* item = panel->RouteList()->topLevelItem(i);
        return item ? QStringList{item->text(0), item->text(1)} : QStringList{};
    }
    void Select(int row) { panel->ActionList()->setCurrentItem(panel->ActionList()->topLevelItem(row)); }
    void SelectRoutePoint(int row) { panel->RouteList()->setCurrentItem(panel->RouteList()->topLevelItem(row)); }
    // The enabled state of speed, weapon, count, target, angle and "+ 选择 +".
    std::vector<bool> Enabled() const
    {
        return {panel->SpeedEdit()->isEnabled(), panel->WeaponList()->isEnabled(), panel->CountEdit()->isEnabled(),
                panel->TargetList()->isEnabled(), panel->AngleEdit()->isEnabled(), panel->PickButton()->isEnabled()};
    }
};

}  // namespace

// ---- the list and adding ---------------------------------------------------------------

TEST(ActionPanel, ListShowsNumberTimeTypeAndIcon)
{
    ActionPanelShell s;
    ASSERT_NE(s.panel, nullptr);
    CUnitCanLoad* unit = s.AddUnit(3);
    PanelShell::AddAction(*unit, 1, kActionMove, {{1, 2, 0}});
    PanelShell::AddAction(*unit, 2, kActionStrike);
    PanelShell::AddAction(*unit, 4, 6);  // a type this program does not know
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::NoModifier, {200, 200});

    EXPECT_EQ(s.panel->UnitNo(), 3);
    ASSERT_EQ(s.panel->ActionList()->topLevelItemCount(), 3);
    EXPECT_EQ(s.Row(0), (QStringList{"1", "10", "移动"}));
    EXPECT_EQ(s.Row(1), (QStringList{"2", "20", "打击"}));
    EXPECT_EQ(s.Row(2), (QStringList{"4", "40", ""}));
    EXPECT_FALSE(s.panel->ActionList()->topLevelItem(0)->icon(0).isNull());
    EXPECT_TRUE(s.panel->ActionList()->topLevelItem(2)->icon(0).isNull());
    EXPECT_EQ(s.panel->SelectedActionNo(), -1);
    EXPECT_EQ(CDialogExpandProperty::ActionTypeName(0), "空闲");
    EXPECT_EQ(CDialogExpandProperty::ActionTypeName(3), "转向");
}

TEST(ActionPanel, NewActionIsNumberedAfterTheLastOneAndSelected)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    PanelShell::AddAction(*unit, 2, kActionTurn);
    PanelShell::AddAction(*unit, 7, kActionTurn);  // numbers left gaps after deletions
    s.panel->OnUnitActionsChanged(3);
    s.menuCommand = CDialogExpandProperty::ID_ADD_TURN;
    s.panel->AddButton()->click();

    ASSERT_EQ(unit->m_Actions.size(), 3u);
    const WGAction& added = *unit->m_Actions.back();
    EXPECT_EQ(added.m_ActionNo, 8);
    EXPECT_EQ(added.m_ActionType, kActionTurn);
    EXPECT_EQ(added.m_ActionName, "转向");
    EXPECT_EQ(added.m_ActionTime, 125);
    ASSERT_EQ(added.m_ActingUnits.size(), 1u);
    EXPECT_EQ(added.m_ActingUnits[0], unit);
    EXPECT_EQ(s.Row(2), (QStringList{"8", "125", "转向"}));
    EXPECT_EQ(s.panel->SelectedActionNo(), 8);
    EXPECT_TRUE(s.panel->ActionList()->topLevelItem(2)->isSelected());
}

TEST(ActionPanel, NewMoveStartsWhereTheMouseLastWasOverTheMap)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    s.panel->OnUnitActionsChanged(3);
    s.app->m_MouseX = 12.3456789;
    s.app->m_MouseY = 7.5;
    s.panel->SpeedEdit()->setText("45.5");
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_MOVE);

    ASSERT_EQ(unit->m_Actions.size(), 1u);
    const WGAction& move = *unit->m_Actions[0];
    EXPECT_EQ(move.m_ActionNo, 1);
    EXPECT_EQ(move.m_ActionName, "移动");
    EXPECT_EQ(move.m_Speed, 45.5);
    ASSERT_EQ(move.m_Routes.size(), 1u);
    EXPECT_EQ(move.m_Routes[0]->m_Points, (std::vector<RoutePoint>{{12.3456789, 7.5, 0}}));
    EXPECT_EQ(s.panel->SelectedActionNo(), 1);
    ASSERT_EQ(s.panel->RouteList()->topLevelItemCount(), 1);
    EXPECT_EQ(s.RouteRow(0), (QStringList{"12.345679", "7.500000"}));
}

TEST(ActionPanel, StrikeNeedsAWeaponAndLoadOrUnloadATarget)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    s.AddUnit(5);
    s.panel->OnUnitActionsChanged(3);
    ASSERT_GT(s.panel->WeaponList()->count(), 0);
    ASSERT_EQ(s.panel->TargetList()->count(), 2);

    s.panel->WeaponList()->setCurrentIndex(-1);
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_STRIKE);
    s.panel->TargetList()->setCurrentIndex(-1);
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_LOAD);
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_UNLOAD);
    EXPECT_TRUE(unit->m_Actions.empty());
    EXPECT_EQ(s.panel->ActionList()->topLevelItemCount(), 0);
    EXPECT_TRUE(s.reporter.messages.empty());

    s.panel->WeaponList()->setCurrentIndex(0);
    s.panel->CountEdit()->setText("4");
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_STRIKE);
    ASSERT_EQ(unit->m_Actions.size(), 1u);
    EXPECT_EQ(unit->m_Actions[0]->m_BulletType, s.panel->WeaponList()->itemData(0).toString().toStdString());
    EXPECT_EQ(unit->m_Actions[0]->m_HitTime, 4);
    EXPECT_TRUE(unit->m_Actions[0]->m_Routes.empty());

    s.panel->TargetList()->setCurrentIndex(s.panel->TargetList()->findData(5));
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_LOAD);
    ASSERT_EQ(unit->m_Actions.size(), 2u);
    EXPECT_EQ(unit->m_Actions[1]->m_ActionType, kActionLoad);
    EXPECT_EQ(unit->m_Actions[1]->m_UnitNo, 5);
    EXPECT_EQ(s.Row(1), (QStringList{"2", "125", "装载"}));
}

TEST(ActionPanel, AddPopupIsGreyedWithoutAUnitOrInRunMode)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    const std::vector<bool> allOff(5, false), allOn(5, true);
    s.menuCommand = CDialogExpandProperty::ID_ADD_TURN;

    s.panel->AddButton()->click();  // no unit shown yet
    EXPECT_EQ(s.menuEnabled, allOff);
    s.panel->OnUnitActionsChanged(3);
    s.app->m_EditMode = 0;
    s.panel->AddButton()->click();
    EXPECT_EQ(s.menuEnabled, allOff);
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_TURN);  // the command itself refuses too
    EXPECT_TRUE(unit->m_Actions.empty());

    s.app->m_EditMode = 1;
    s.panel->AddButton()->click();
    EXPECT_EQ(s.menuEnabled, allOn);
    EXPECT_EQ(unit->m_Actions.size(), 1u);
}

// ---- selecting, changing, deleting -------------------------------------------------------

TEST(ActionPanel, SelectingAnActionShowsItsParametersAndEnablesTheirFields)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    s.AddUnit(5);
    s.AddUnit(6);
    const std::string weapon = s.app->m_UnitClassCatalog.GetUnitClasses().back()->id;
    WGAction* move = PanelShell::AddAction(*unit, 1, kActionMove, {{1, 2, 0}, {3.5, 4.25, 0}});
    move->m_Speed = 60;
    WGAction* strike = PanelShell::AddAction(*unit, 2, kActionStrike, {{9, 9, 0}});
    strike->m_HitTime = 6;
    WGAction* turn = PanelShell::AddAction(*unit, 3, kActionTurn);
    turn->m_Angle = 135;
    PanelShell::AddAction(*unit, 4, kActionLoad)->m_UnitNo = 6;
    PanelShell::AddAction(*unit, 5, kActionUnload, {{7, 8, 0}})->m_UnitNo = 5;
    int weaponIndex = -1;
    s.panel->OnUnitActionsChanged(3);
    for (int i = 0; i < s.panel->WeaponList()->count(); ++i)
        if (s.panel->WeaponList()->itemData(i).toString().toStdString() == weapon)
            weaponIndex = i;
    ASSERT_GE(weaponIndex, 0) << "the catalogue should end with a weapon";
    strike->m_BulletType = weapon;

    s.Select(0);
    EXPECT_EQ(s.Enabled(), (std::vector<bool>{true, false, false, false, false, true}));
    EXPECT_EQ(s.panel->SpeedEdit()->text(), "60");
    ASSERT_EQ(s.panel->RouteList()->topLevelItemCount(), 2);
    EXPECT_EQ(s.RouteRow(1), (QStringList{"3.500000", "4.250000"}));

    s.Select(1);
    EXPECT_EQ(s.Enabled(), (std::vector<bool>{false, true, true, false, false, true}));
    EXPECT_EQ(s.panel->CountEdit()->text(), "6");
    EXPECT_EQ(s.panel->WeaponList()->currentIndex(), weaponIndex);

    s.Select(2);
    EXPECT_EQ(s.Enabled(), (std::vector<bool>{false, false, false, false, true, false}));
    EXPECT_EQ(s.panel->AngleEdit()->text(), "135");
    EXPECT_EQ(s.panel->RouteList()->topLevelItemCount(), 0);

    s.Select(3);
    EXPECT_EQ(s.Enabled(), (std::vector<bool>{false, false, false, true, false, false}));
    EXPECT_EQ(s.panel->TargetList()->currentData().toInt(), 6);

    s.Select(4);
    EXPECT_EQ(s.Enabled(), (std::vector<bool>{false, false, false, true, false, true}));
    EXPECT_EQ(s.panel->TargetList()->currentData().toInt(), 5);
    EXPECT_EQ(s.panel->SelectedActionNo(), 5);
}

TEST(ActionPanel, ALoadOfTheUnitItselfIsRefusedAsTheViewRefusesIt)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    s.AddUnit(5);
    s.panel->OnUnitActionsChanged(3);
    s.panel->TargetList()->setCurrentIndex(s.panel->TargetList()->findData(3));
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_LOAD);
    EXPECT_TRUE(unit->m_Actions.empty());
    EXPECT_EQ(s.reporter.Texts(), (std::vector<std::string>{"不能装载自己!"}));

    // Unloading itself is not refused: the engine finds nothing to unload.
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_UNLOAD);
    EXPECT_EQ(unit->m_Actions.size(), 1u);

    // Turning an existing load into one of itself is refused too, and nothing changes.
    s.panel->TargetList()->setCurrentIndex(s.panel->TargetList()->findData(5));
    s.panel->OnCommand(CDialogExpandProperty::ID_ADD_LOAD);
    ASSERT_EQ(unit->m_Actions.size(), 2u);
    s.Select(1);
    s.panel->CountEdit()->setText("7");
    s.panel->TargetList()->setCurrentIndex(s.panel->TargetList()->findData(3));
    s.panel->ModifyButton()->click();
    EXPECT_EQ(unit->m_Actions[1]->m_UnitNo, 5);
    EXPECT_NE(unit->m_Actions[1]->m_HitTime, 7);
    EXPECT_EQ(s.reporter.messages.size(), 2u);
}

TEST(ActionPanel, ModifyWritesTheFieldsIntoTheSelectedAction)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    s.AddUnit(5);
    WGAction* strike = PanelShell::AddAction(*unit, 1, kActionStrike);
    strike->m_BulletType = "no-such-weapon";
    WGAction* load = PanelShell::AddAction(*unit, 2, kActionLoad);
    load->m_UnitNo = 44;  // deleted since
    s.panel->OnUnitActionsChanged(3);

    // A weapon or target that is gone selects nothing, and "修改" keeps it.
    s.Select(0);
    EXPECT_EQ(s.panel->WeaponList()->currentIndex(), -1);
    s.panel->CountEdit()->setText("9");
    s.panel->ModifyButton()->click();
    EXPECT_EQ(strike->m_BulletType, "no-such-weapon");
    EXPECT_EQ(strike->m_HitTime, 9);

    s.Select(1);
    EXPECT_EQ(s.panel->TargetList()->currentIndex(), -1);
    s.panel->ModifyButton()->click();
    EXPECT_EQ(load->m_UnitNo, 44);
    s.panel->TargetList()->setCurrentIndex(s.panel->TargetList()->findData(5));
    s.panel->ModifyButton()->click();
    EXPECT_EQ(load->m_UnitNo, 5);

    // A turn angle outside 0..360 is refused with a message.
    s.panel->AngleEdit()->setText("400");
    s.panel->ModifyButton()->click();
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(load->m_Angle, 0);
}

TEST(ActionPanel, DeleteRemovesTheSelectedActionAndWhatPointedIntoIt)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    PanelShell::AddAction(*unit, 1, kActionTurn);
    WGAction* move = PanelShell::AddAction(*unit, 2, kActionMove, {{1, 1, 0}, {2, 2, 0}});
    PanelShell::AddAction(*unit, 3, kActionTurn);
    unit->m_CurrentRoute = move->GetFirstRoute();  // paused half way along it
    s.panel->OnUnitActionsChanged(3);
    s.Select(1);
    ASSERT_EQ(s.panel->RouteList()->topLevelItemCount(), 2);
    s.panel->DeleteButton()->click();

    ASSERT_EQ(unit->m_Actions.size(), 2u);
    EXPECT_EQ(unit->m_Actions[0]->m_ActionNo, 1);
    EXPECT_EQ(unit->m_Actions[1]->m_ActionNo, 3);
    EXPECT_EQ(unit->m_CurrentRoute, nullptr);
    EXPECT_EQ(s.panel->ActionList()->topLevelItemCount(), 2);
    EXPECT_EQ(s.Row(1)[0], "3");
    EXPECT_EQ(s.panel->RouteList()->topLevelItemCount(), 0);
    EXPECT_EQ(s.panel->SelectedActionNo(), -1);
}

TEST(ActionPanel, RepeatedActionNumbersAreTellApartByTheirRow)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    PanelShell::AddAction(*unit, 1, kActionTurn)->m_Angle = 10;
    PanelShell::AddAction(*unit, 1, kActionTurn)->m_Angle = 20;
    s.panel->OnUnitActionsChanged(3);
    s.Select(1);
    EXPECT_EQ(s.panel->AngleEdit()->text(), "20");
    s.panel->DeleteButton()->click();
    ASSERT_EQ(unit->m_Actions.size(), 1u);
    EXPECT_EQ(unit->m_Actions[0]->m_Angle, 10);
}

// ---- route points ------------------------------------------------------------------------

TEST(ActionPanel, RouteCommandsWithoutASelectedActionAskForOne)
{
    ActionPanelShell s;
    s.AddUnit(3);
    s.panel->OnUnitActionsChanged(3);
    for (int command : {CDialogExpandProperty::ID_ROUTE_ADD, CDialogExpandProperty::ID_ROUTE_MODIFY,
                        CDialogExpandProperty::ID_ROUTE_DELETE})
        s.panel->OnCommand(command);
    ASSERT_EQ(s.reporter.messages.size(), 3u);
    for (const ReportedMessage& m : s.reporter.messages) {
        EXPECT_EQ(m.text, "未选择要添加路线的动作点,\n请先选择动作。");
        EXPECT_EQ(m.caption, "提示信息");
        EXPECT_EQ(m.icon, MessageIcon::Information);
    }
    EXPECT_EQ(s.panel->PointDialog(), nullptr);
}

TEST(ActionPanel, RouteSelectDialogAppendsPointsTypedOrPickedOnTheMap)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3, {200, 200});
    WGAction* unload = PanelShell::AddAction(*unit, 1, kActionUnload);  // no route yet
    s.panel->OnUnitActionsChanged(3);
    s.Select(0);
    s.panel->OnCommand(CDialogExpandProperty::ID_ROUTE_ADD);
    QPointer<CDialogRouteSelect> first = s.panel->PointDialog();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->parent(), s.panel);
    EXPECT_EQ(first->XEdit()->text().toDouble(), 0.0);

    // Typed in.
    first->XEdit()->setText("5.25");
    first->YEdit()->setText("6.5");
    first->OkButton()->click();
    ASSERT_EQ(unload->m_Routes.size(), 1u);
    EXPECT_EQ(unload->m_Routes[0]->m_Points, (std::vector<RoutePoint>{{5.25, 6.5, 0}}));
    EXPECT_EQ(s.RouteRow(0), (QStringList{"5.250000", "6.500000"}));

    // "修改" opens a fresh dialog; at most one exists.
    s.panel->OnCommand(CDialogExpandProperty::ID_ROUTE_MODIFY);
    EXPECT_TRUE(first.isNull());
    CDialogRouteSelect* second = s.panel->PointDialog();
    ASSERT_NE(second, nullptr);

    // Picked on the map: a click while picking reaches the dialog, not the selection.
    second->PickButton()->click();
    EXPECT_EQ(s.app->m_RouteSelectPick, 1);
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::NoModifier, {200, 200});
    EXPECT_EQ(unit->m_Selected, 0);
    double x = 0, y = 0;
    s.app->GetMap()->ViewToMap(x, y, 200, 200);
    EXPECT_EQ(second->XEdit()->text().toDouble(), x);
    second->OkButton()->click();
    EXPECT_EQ(s.app->m_RouteSelectPick, 0);
    ASSERT_EQ(unload->m_Routes[0]->m_Points.size(), 2u);
    EXPECT_NEAR(unload->m_Routes[0]->m_Points[1].X, x, 1e-9);
    EXPECT_EQ(s.panel->RouteList()->topLevelItemCount(), 2);
}

TEST(ActionPanel, ClosingThePickingDialogGivesTheViewItsClicksBack)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3, {200, 200});
    PanelShell::AddAction(*unit, 1, kActionMove, {{0, 0, 0}});
    s.panel->OnUnitActionsChanged(3);
    s.Select(0);
    s.panel->OnRouteAdd();
    s.panel->PointDialog()->PickButton()->click();
    ASSERT_EQ(s.app->m_RouteSelectPick, 1);
    s.panel->PointDialog()->close();
    EXPECT_EQ(s.app->m_RouteSelectPick, 0);
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::NoModifier, {200, 200});
    EXPECT_EQ(unit->m_Selected, 1);
}

TEST(ActionPanel, DeletingARoutePointMatchesItsShownText)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    // The first and third points read the same in the list ("%f").
    WGAction* move = PanelShell::AddAction(*unit, 1, kActionMove,
                                           {{1.23456789, 2.00000049, 0}, {3, 4, 0}, {1.2345681, 1.9999996, 0}});
    s.panel->OnUnitActionsChanged(3);
    s.Select(0);
    ASSERT_EQ(s.RouteRow(0), (QStringList{"1.234568", "2.000000"}));
    s.SelectRoutePoint(0);
    s.panel->OnCommand(CDialogExpandProperty::ID_ROUTE_DELETE);

    EXPECT_EQ(move->m_Routes[0]->m_Points, (std::vector<RoutePoint>{{3, 4, 0}}));
    // The list shows what the route holds.
    ASSERT_EQ(s.panel->RouteList()->topLevelItemCount(), 1);
    EXPECT_EQ(s.RouteRow(0), (QStringList{"3.000000", "4.000000"}));
}

// ---- the gate and the clock --------------------------------------------------------------

TEST(ActionPanel, DoesNothingWhileTheGateIsBusyOrTheClockRuns)
{
    ActionPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    PanelShell::AddAction(*unit, 1, kActionMove, {{1, 1, 0}});
    s.panel->OnUnitActionsChanged(3);
    s.Select(0);
    s.SelectRoutePoint(0);
    s.panel->OnRouteAdd();
    CDialogRouteSelect* dialog = s.panel->PointDialog();
    ASSERT_NE(dialog, nullptr);
    s.panel->SpeedEdit()->setText("80");
    QSignalSpy repaint(s.panel, &CDialogExpandProperty::repaintRequested);

    auto tryEverything = [&] {
        s.panel->OnCommand(CDialogExpandProperty::ID_ADD_TURN);
        s.panel->ModifyButton()->click();
        dialog->OkButton()->click();  // a point arriving
        s.panel->OnCommand(CDialogExpandProperty::ID_ROUTE_DELETE);
        s.panel->DeleteButton()->click();
    };
    {
        ExclusiveGateHolder busy(s.layer);
        tryEverything();
        s.panel->OnUnitActionsChanged(3);  // the same unit again: the list stays
    }
    s.app->m_ClockService.Start();
    tryEverything();
    s.app->m_ClockService.Stop();

    ASSERT_EQ(unit->m_Actions.size(), 1u);
    EXPECT_EQ(unit->m_Actions[0]->m_Speed, 0);
    EXPECT_EQ(unit->m_Actions[0]->m_Routes[0]->m_Points.size(), 1u);
    EXPECT_EQ(s.panel->ActionList()->topLevelItemCount(), 1);
    EXPECT_EQ(s.panel->RouteList()->topLevelItemCount(), 1);
    EXPECT_EQ(repaint.count(), 0);
    EXPECT_TRUE(s.reporter.messages.empty());
}
