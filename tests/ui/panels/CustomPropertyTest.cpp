// The custom property panel inside the main frame: the list of a unit's
// name/value records, adding, changing and deleting them, and its layout.
#include "PanelTestSupport.h"

#include "ui/panels/DialogCustomProperty.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

struct CustomPanelShell : PanelShell {
    CDialogCustomProperty* panel = frame->CustomPanel();

    static void Give(CUnitCanLoad& unit, std::vector<CustomProperty> records)
    {
        unit.m_CustomProperties.emplace_back();
        unit.m_CustomProperties.back().m_Properties = std::move(records);
    }
    QStringList Row(int i) const
    {
        QTreeWidgetItem* item = panel->PropertyList()->topLevelItem(i);
        return item ? QStringList{item->text(0), item->text(1), item->text(2)} : QStringList{};
    }
    void Select(int row) { panel->PropertyList()->setCurrentItem(panel->PropertyList()->topLevelItem(row)); }
    void Type(const QString& name, const QString& value)
    {
        panel->NameBox()->setEditText(name);
        panel->ValueEdit()->setText(value);
    }
};

}  // namespace

TEST(CustomPanel, ShowsTheRecordsOfAllListsWithTheIdHidden)
{
    CustomPanelShell s;
    ASSERT_NE(s.panel, nullptr);
    CUnitCanLoad* unit = s.AddUnit(3);
    CustomPanelShell::Give(*unit, {{3, "呼号", "猎鹰"}, {7, "编制", "连"}});
    CustomPanelShell::Give(*unit, {{5, "油料", "80%"}});
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::NoModifier, {200, 200});

    EXPECT_EQ(s.panel->UnitNo(), 3);
    ASSERT_EQ(s.panel->PropertyList()->topLevelItemCount(), 3);
    EXPECT_EQ(s.Row(0), (QStringList{"3", "呼号", "猎鹰"}));
    EXPECT_EQ(s.Row(2), (QStringList{"5", "油料", "80%"}));
    EXPECT_TRUE(s.panel->PropertyList()->isColumnHidden(0));
    EXPECT_FALSE(s.panel->ModifyButton()->isVisibleTo(s.panel));

    s.Select(1);
    EXPECT_EQ(s.panel->NameBox()->currentText(), "编制");
    EXPECT_EQ(s.panel->ValueEdit()->text(), "连");
}

TEST(CustomPanel, NewRecordTakesTheLargestShownIdPlusOne)
{
    CustomPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    CustomPanelShell::Give(*unit, {{3, "a", "1"}, {7, "b", "2"}});
    CustomPanelShell::Give(*unit, {{5, "c", "3"}});
    s.panel->OnUnitPropertiesShown(3);
    s.Type("射程", "12km");
    s.panel->AddButton()->click();

    // Appended to the first list, and at the end of the rows.
    ASSERT_EQ(unit->m_CustomProperties[0].m_Properties.size(), 3u);
    EXPECT_EQ(unit->m_CustomProperties[0].m_Properties.back(), (CustomProperty{8, "射程", "12km"}));
    EXPECT_EQ(unit->m_CustomProperties[1].m_Properties.size(), 1u);
    EXPECT_EQ(s.Row(3), (QStringList{"8", "射程", "12km"}));

    // A unit without any list gets one, starting at ID 1.
    CUnitCanLoad* bare = s.AddUnit(4, {400, 300});
    s.panel->OnUnitPropertiesShown(4);
    s.Type("x", "y");
    s.panel->AddButton()->click();
    s.panel->AddButton()->click();
    ASSERT_EQ(bare->m_CustomProperties.size(), 1u);
    ASSERT_EQ(bare->m_CustomProperties[0].m_Properties.size(), 2u);
    EXPECT_EQ(bare->m_CustomProperties[0].m_Properties[0].ID, 1);
    EXPECT_EQ(bare->m_CustomProperties[0].m_Properties[1].ID, 2);
}

TEST(CustomPanel, LargestPossibleIdDoesNotOverflow)
{
    CustomPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    CustomPanelShell::Give(*unit, {{1, "a", ""}, {INT32_MAX, "b", ""}});
    s.panel->OnUnitPropertiesShown(3);
    s.panel->AddButton()->click();
    EXPECT_EQ(unit->m_CustomProperties[0].m_Properties.back().ID, 2);
}

TEST(CustomPanel, ModifyAndDeleteTheSelectedRecord)
{
    CustomPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    // A plan file may repeat an ID; the row says which record is meant.
    CustomPanelShell::Give(*unit, {{2, "a", "1"}, {2, "b", "2"}, {4, "c", "3"}});
    s.panel->OnUnitPropertiesShown(3);
    s.Select(1);
    EXPECT_EQ(s.panel->NameBox()->currentText(), "b");
    s.Type("b2", "22");
    s.panel->OnModify();
    EXPECT_EQ(unit->m_CustomProperties[0].m_Properties[1], (CustomProperty{2, "b2", "22"}));
    EXPECT_EQ(unit->m_CustomProperties[0].m_Properties[0], (CustomProperty{2, "a", "1"}));
    EXPECT_EQ(s.Row(1), (QStringList{"2", "b2", "22"}));

    s.panel->DeleteButton()->click();
    ASSERT_EQ(unit->m_CustomProperties[0].m_Properties.size(), 2u);
    EXPECT_EQ(unit->m_CustomProperties[0].m_Properties[0].name, "a");
    EXPECT_EQ(unit->m_CustomProperties[0].m_Properties[1].name, "c");
    EXPECT_EQ(s.panel->PropertyList()->topLevelItemCount(), 2);
    EXPECT_EQ(s.Row(1)[1], "c");
}

TEST(CustomPanel, NameIsLimitedToAThousandCharacters)
{
    CustomPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    s.panel->OnUnitPropertiesShown(3);
    s.panel->NameBox()->setEditText(QString(1200, QChar(u'名')));
    EXPECT_EQ(s.panel->NameBox()->currentText().size(), 1000);
    s.panel->AddButton()->click();
    ASSERT_EQ(unit->m_CustomProperties.size(), 1u);
    EXPECT_EQ(QString::fromStdString(unit->m_CustomProperties[0].m_Properties[0].name).size(), 1000);
}

TEST(CustomPanel, LaysItsControlsOutFromTheBottom)
{
    CustomPanelShell s;
    CDialogCustomProperty panel(*s.app);
    panel.show();
    panel.resize(300, 400);
    EXPECT_EQ(panel.PropertyList()->geometry(), QRect(2, 30, 298, 250));
    EXPECT_EQ(panel.NameBox()->geometry(), QRect(70, 290, 140, 20));
    EXPECT_EQ(panel.ValueEdit()->geometry(), QRect(70, 320, 140, 20));
    EXPECT_EQ(panel.AddButton()->geometry(), QRect(2, 360, 50, 20));
    EXPECT_EQ(panel.ModifyButton()->geometry(), QRect(80, 360, 50, 20));
    EXPECT_EQ(panel.DeleteButton()->geometry(), QRect(160, 360, 50, 20));
    // Too small for the list: it shrinks to nothing instead of turning inside out.
    panel.resize(200, 100);
    EXPECT_EQ(panel.PropertyList()->height(), 0);
}

TEST(CustomPanel, DoesNothingWhileTheGateIsBusyOrTheClockRuns)
{
    CustomPanelShell s;
    CUnitCanLoad* unit = s.AddUnit(3);
    CustomPanelShell::Give(*unit, {{1, "a", "1"}});
    s.panel->OnUnitPropertiesShown(3);
    s.Select(0);
    s.Type("z", "9");
    auto tryEverything = [&] {
        s.panel->AddButton()->click();
        s.panel->OnModify();
        s.panel->DeleteButton()->click();
    };
    {
        ExclusiveGateHolder busy(s.layer);
        tryEverything();
    }
    s.app->m_ClockService.Start();
    tryEverything();
    s.app->m_ClockService.Stop();
    EXPECT_EQ(unit->m_CustomProperties[0].m_Properties, (std::vector<CustomProperty>{{1, "a", "1"}}));
    EXPECT_EQ(s.panel->PropertyList()->topLevelItemCount(), 1);
    EXPECT_TRUE(s.reporter.messages.empty());
}
