// The general property panel inside the main frame: what a selection in the
// view shows, and the two "修改" buttons writing into the unit.
#include "PanelTestSupport.h"

#include "ui/panels/DialogCustomProperty.h"
#include "ui/panels/DialogExpandProperty.h"
#include "ui/panels/DialogUnitCombination.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

struct UnitPanelShell : PanelShell {
    CDialogUnitCombination* panel = frame->UnitPanel();
    QString Text(QLineEdit* edit) const { return edit->text(); }
};

}  // namespace

TEST(UnitPanel, SelectionInTheViewShowsBothPositionsAndTheAngle)
{
    UnitPanelShell s;
    ASSERT_NE(s.panel, nullptr);
    CUnitCanLoad* unit = s.AddUnit(4, {300, 250}, 75);
    // Played to somewhere else: where it appears and where it is now differ.
    unit->m_InitX = 1.5;
    unit->m_InitY = 2.25;
    // The panel shows the stored heading, not the one played since.
    unit->m_InitAngle = 45;
    unit->m_Angle = 10;
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::NoModifier, {300, 250});

    EXPECT_EQ(s.panel->NoEdit()->text(), "4");
    EXPECT_FALSE(s.panel->NoEdit()->isEnabled());
    EXPECT_EQ(s.panel->NameEdit()->text(), "单位4");
    EXPECT_EQ(s.panel->AppearTimeEdit()->text(), "75");
    EXPECT_EQ(s.panel->AngleEdit()->text(), "45");
    EXPECT_EQ(s.panel->InitXEdit()->text(), "1.5");
    EXPECT_EQ(s.panel->InitYEdit()->text(), "2.25");
    EXPECT_EQ(s.panel->CurXEdit()->text().toDouble(), unit->m_CurX);
    EXPECT_EQ(s.panel->CurYEdit()->text().toDouble(), unit->m_CurY);

    // Writing the fixed attributes back leaves the position where it appears alone.
    s.panel->ModifyFixedButton()->click();
    EXPECT_EQ(unit->m_InitX, 1.5);
    EXPECT_EQ(unit->m_InitY, 2.25);
}

TEST(UnitPanel, ModifyFixedWritesNameAngleAppearTimeAndInitialPosition)
{
    UnitPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(2);
    const double curX = unit->m_CurX, curY = unit->m_CurY;
    s.panel->OnUnitShown(2, "单位2", 60, unit->m_InitX, unit->m_InitY, curX, curY);
    QSignalSpy repaint(s.panel, &CDialogUnitCombination::repaintRequested);

    s.panel->NameEdit()->setText("坦克一连");
    s.panel->AppearTimeEdit()->setText("12abc");
    s.panel->AngleEdit()->setText("270.5");
    s.panel->InitXEdit()->setText("3.125");
    s.panel->InitYEdit()->setText(" 4.5 ");
    s.panel->CurXEdit()->setText("99");  // typed in the other frame: neither written nor reset
    s.panel->ModifyFixedButton()->click();

    EXPECT_EQ(unit->m_UnitName, "坦克一连");
    EXPECT_EQ(unit->m_AppearTime, 12);
    EXPECT_EQ(unit->m_Angle, 270.5);
    EXPECT_EQ(unit->m_InitX, 3.125);
    EXPECT_EQ(unit->m_InitY, 4.5);
    EXPECT_EQ(unit->m_CurX, curX);
    EXPECT_EQ(unit->m_CurY, curY);
    EXPECT_EQ(s.panel->AppearTimeEdit()->text(), "12");
    EXPECT_EQ(s.panel->CurXEdit()->text(), "99");
    EXPECT_EQ(repaint.count(), 1);
    EXPECT_TRUE(s.reporter.messages.empty());

    // Text without a leading number is 0, as the C library reads it.
    s.panel->AppearTimeEdit()->setText("abc");
    s.panel->ModifyFixedButton()->click();
    EXPECT_EQ(unit->m_AppearTime, 0);
}

TEST(UnitPanel, ModifyCurrentWritesOnlyTheCurrentPosition)
{
    UnitPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(2);
    const double initX = unit->m_InitX;
    s.panel->OnUnitShown(2, "单位2", 60, unit->m_InitX, unit->m_InitY, unit->m_CurX, unit->m_CurY);
    s.panel->NameEdit()->setText("改名");
    s.panel->CurXEdit()->setText("7.75");
    s.panel->CurYEdit()->setText("-1e-3");
    s.panel->ModifyCurrentButton()->click();
    EXPECT_EQ(unit->m_CurX, 7.75);
    EXPECT_EQ(unit->m_CurY, -0.001);
    EXPECT_EQ(unit->m_InitX, initX);
    EXPECT_EQ(unit->m_UnitName, "单位2");
}

TEST(UnitPanel, RejectedFieldsWriteNothingAndSayWhy)
{
    UnitPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(2);
    unit->m_Angle = 10;
    s.panel->OnUnitShown(2, "单位2", 60, unit->m_InitX, unit->m_InitY, unit->m_CurX, unit->m_CurY);
    s.panel->NameEdit()->setText("不应写入");

    for (const char* angle : {"361", "-0.5", "abc", "nan", "inf"}) {
        s.panel->AngleEdit()->setText(angle);
        s.panel->ModifyFixedButton()->click();
        EXPECT_EQ(unit->m_Angle, 10) << angle;
    }
    EXPECT_EQ(unit->m_UnitName, "单位2");
    ASSERT_EQ(s.reporter.messages.size(), 5u);
    EXPECT_EQ(s.reporter.messages[0].text, "请键入一个0到360之间的数。");
    EXPECT_EQ(s.reporter.messages[2].text, "请键入一个数。");

    // Both ends of the range are angles.
    s.panel->AngleEdit()->setText("360");
    s.panel->ModifyFixedButton()->click();
    EXPECT_EQ(unit->m_Angle, 360);

    const double curX = unit->m_CurX;
    s.panel->CurXEdit()->setText("1.5km");
    s.panel->ModifyCurrentButton()->click();
    EXPECT_EQ(unit->m_CurX, curX);
    EXPECT_EQ(s.reporter.messages.back().text, "请键入一个数。");
}

TEST(UnitPanel, DoesNothingWhileTheGateIsBusyOrTheClockRuns)
{
    UnitPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(2);
    unit->m_InitAngle = unit->m_Angle = 30;
    s.panel->OnUnitShown(2, "单位2", 60, unit->m_InitX, unit->m_InitY, unit->m_CurX, unit->m_CurY);
    s.panel->NameEdit()->setText("改名");
    s.panel->CurXEdit()->setText("5");
    QSignalSpy repaint(s.panel, &CDialogUnitCombination::repaintRequested);
    {
        ExclusiveGateHolder busy(s.layer);
        s.panel->ModifyFixedButton()->click();
        s.panel->ModifyCurrentButton()->click();
        // A unit shown meanwhile keeps the angle field as it was.
        unit->m_InitAngle = 90;
        s.panel->OnUnitShown(2, "单位2", 60, unit->m_InitX, unit->m_InitY, unit->m_CurX, unit->m_CurY);
        EXPECT_EQ(s.panel->AngleEdit()->text(), "30");
    }
    EXPECT_EQ(unit->m_UnitName, "单位2");
    EXPECT_NE(unit->m_CurX, 5);
    EXPECT_EQ(repaint.count(), 0);
    EXPECT_TRUE(s.reporter.messages.empty());

    s.panel->NameEdit()->setText("改名");
    s.app->m_ClockService.Start();
    s.panel->ModifyFixedButton()->click();
    s.app->m_ClockService.Stop();
    EXPECT_EQ(unit->m_UnitName, "单位2");
    s.panel->ModifyFixedButton()->click();
    EXPECT_EQ(unit->m_UnitName, "改名");
}

TEST(UnitPanel, UnitGoneFromTheLayerIsLeftAlone)
{
    UnitPanelShell s;
    s.AddUnit(2);
    s.panel->OnUnitShown(2, "单位2", 60, 1, 2, 3, 4);
    s.layer->DeleteUnitsByNo(2);
    s.panel->NameEdit()->setText("改名");
    s.panel->ModifyFixedButton()->click();
    s.panel->ModifyCurrentButton()->click();
    EXPECT_TRUE(s.reporter.messages.empty());
    EXPECT_EQ(s.panel->InitXEdit()->text(), "1");
}

TEST(UnitPanel, ClosingThePlanEmptiesEveryPropertyPanel)
{
    UnitPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(4, {300, 250}, 0);
    PanelShell::AddAction(*unit, 1, kActionMove, {{1.5, 2.5, 0}, {3.25, 4.125, 0}});
    unit->FirstCustomPropertyList().m_Properties.push_back({1, "编制", "一营"});
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::NoModifier, {300, 250});
    ASSERT_EQ(s.panel->NoEdit()->text(), "4");
    ASSERT_EQ(s.frame->ActionPanel()->ActionList()->topLevelItemCount(), 1);
    ASSERT_EQ(s.frame->CustomPanel()->PropertyList()->topLevelItemCount(), 1);

    s.app->ClosePlan();
    EXPECT_EQ(s.panel->NoEdit()->text(), "");
    EXPECT_EQ(s.panel->NameEdit()->text(), "");
    EXPECT_EQ(s.panel->m_UnitNo, -1);
    EXPECT_EQ(s.frame->ActionPanel()->ActionList()->topLevelItemCount(), 0);
    EXPECT_EQ(s.frame->CustomPanel()->PropertyList()->topLevelItemCount(), 0);
    // "修改" with nothing shown writes nowhere and says nothing.
    s.panel->ModifyFixedButton()->click();
    EXPECT_TRUE(s.reporter.messages.empty());
}
