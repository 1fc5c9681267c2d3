// The four editing dialogs: speed, strike parameters (remembered for the run),
// target selection (fire units left out) and the modeless route dialog.
#include "ShellTestSupport.h"

#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "ui/EditingDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>

namespace {

std::unique_ptr<CUnitCanLoad> Unit(int no, const std::string& name, const std::string& classId)
{
    auto unit = std::make_unique<UnitSingleSimple>();
    unit->m_UnitNo = no;
    unit->m_UnitName = name;
    unit->m_ClassId = classId;
    return unit;
}

int WeaponIndex(const CDialogStrikeParam& d, const QString& id)
{
    return d.WeaponList()->findData(id);
}

}  // namespace

TEST(SpeedDialog, ShowsThePresetAndReturnsWhatWasEntered)
{
    CDialogSpeedInput d;
    EXPECT_EQ(d.windowTitle(), "输入速度");
    EXPECT_EQ(d.m_Speed, 0.0);
    EXPECT_EQ(d.m_Default, 0);
    d.m_Speed = 30;
    d.m_Default = 1;
    QTimer::singleShot(0, &d, [&] {
        EXPECT_EQ(d.SpeedEdit()->text(), "30");
        EXPECT_TRUE(d.DefaultBox()->isChecked());
        EXPECT_EQ(d.DefaultBox()->text(), "做为默认值");
        d.SpeedEdit()->setText("45.5");
        d.DefaultBox()->setChecked(false);
        d.accept();
    });
    EXPECT_EQ(d.exec(), QDialog::Accepted);
    EXPECT_EQ(d.m_Speed, 45.5);
    EXPECT_EQ(d.m_Default, 0);
}

TEST(StrikeDialog, RemembersWeaponAndCountForTheRun)
{
    Shell s;
    const CUnitClassCatalog& catalogue = s.app->m_UnitClassCatalog;
    std::vector<std::string> weapons;
    for (const auto& c : catalogue.GetUnitClasses())
        if (c->classCode == "03")
            weapons.push_back(c->id);
    ASSERT_GE(weapons.size(), 2u);
    {
        CDialogStrikeParam first(catalogue);
        EXPECT_EQ(first.windowTitle(), "打击参数");
        EXPECT_EQ(first.WeaponList()->count(), int(weapons.size()));  // weapons only
        EXPECT_EQ(first.WeaponList()->currentIndex(), -1);
        EXPECT_EQ(first.CountEdit()->text(), "10");
        first.WeaponList()->setCurrentIndex(WeaponIndex(first, QString::fromStdString(weapons[1])));
        first.CountEdit()->setText("3");
        first.accept();
        EXPECT_EQ(first.m_ResultWeaponId, weapons[1]);
        EXPECT_EQ(first.m_ResultCount, 3);
    }
    CDialogStrikeParam second(catalogue);
    EXPECT_EQ(second.WeaponList()->currentData().toString().toStdString(), weapons[1]);
    EXPECT_EQ(second.CountEdit()->text(), "3");
}

TEST(StrikeDialog, NoWeaponChosenGivesAnEmptyIdButKeepsTheCount)
{
    Shell s;
    CDialogStrikeParam d(s.app->m_UnitClassCatalog);
    const std::string remembered = CDialogStrikeParam::LastWeaponId();
    d.WeaponList()->setCurrentIndex(-1);
    d.CountEdit()->setText("7");
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(d.m_ResultWeaponId.empty());
    EXPECT_EQ(d.m_ResultCount, 7);
    EXPECT_EQ(CDialogStrikeParam::LastStrikeCount(), 7);
    EXPECT_EQ(CDialogStrikeParam::LastWeaponId(), remembered);  // no choice: nothing new to remember
}

TEST(StrikeDialog, CountThatIsNotANumberKeepsTheDialogOpen)
{
    Shell s;
    CDialogStrikeParam d(s.app->m_UnitClassCatalog);
    const int remembered = CDialogStrikeParam::LastStrikeCount();
    d.CountEdit()->setText("abc");
    // The framework's prompt is a modal box: close it as soon as it shows.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QDialog*>(w); box && box->isModal() && box->isVisible())
                box->reject();
    });
    d.accept();
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(CDialogStrikeParam::LastStrikeCount(), remembered);
}

TEST(TargetDialog, ListsFirstLayerUnitsWithoutFireUnitsOrClass03)
{
    CPlan plan;
    auto layer = std::make_unique<CPlanLayer>();
    layer->AddUnit(Unit(3, "坦克", "02-02.01"));
    auto fire = std::make_unique<UnitFire>();
    fire->m_UnitNo = kFireUnitNo;
    fire->m_UnitName = "火力";
    fire->m_ClassId = "03.01";
    layer->AddUnit(std::move(fire));
    layer->AddUnit(Unit(4, "武器", "03"));
    layer->AddUnit(Unit(9, "卡车", "01.03"));
    plan.m_Layers.push_back(std::move(layer));

    CDialogTargetSelect d(&plan);
    EXPECT_EQ(d.windowTitle(), "选择目标对象");
    ASSERT_EQ(d.UnitList()->count(), 2);
    EXPECT_EQ(d.UnitList()->itemText(0), "坦克[编号: 3]");
    EXPECT_EQ(d.UnitList()->itemText(1), "卡车[编号: 9]");

    d.m_ResultUnitNo = 5;
    d.UnitList()->setCurrentIndex(-1);
    d.accept();
    EXPECT_EQ(d.m_ResultUnitNo, 5);  // nothing chosen: unchanged
    d.UnitList()->setCurrentIndex(1);
    d.accept();
    EXPECT_EQ(d.m_ResultUnitNo, 9);
}

TEST(TargetDialog, BusyLayerOrNoPlanLeavesTheListEmpty)
{
    CDialogTargetSelect none(nullptr);
    EXPECT_EQ(none.UnitList()->count(), 0);

    CPlan plan;
    auto layer = std::make_unique<CPlanLayer>();
    layer->AddUnit(Unit(3, "坦克", "02-02.01"));
    plan.m_Layers.push_back(std::move(layer));
    plan.GetFirstLayer()->LockExclusive();
    CDialogTargetSelect busy(&plan);
    plan.GetFirstLayer()->UnlockExclusive();
    EXPECT_EQ(busy.UnitList()->count(), 0);
}

TEST(RouteDialog, PickToggleFlipsTheFlagAndTheButtonText)
{
    Shell s;
    s.app->m_RouteSelectPick = 1;
    CDialogRouteSelect d(*s.app, 0, 0);
    EXPECT_EQ(d.windowTitle(), "选择路线");
    EXPECT_FALSE(d.isModal());
    EXPECT_EQ(s.app->m_RouteSelectPick, 0);  // cleared on opening
    EXPECT_EQ(d.PickButton()->text(), "选择");
    d.PickButton()->click();
    EXPECT_EQ(s.app->m_RouteSelectPick, 1);
    EXPECT_EQ(d.PickButton()->text(), "取消");
    d.PickButton()->click();
    EXPECT_EQ(s.app->m_RouteSelectPick, 0);
    EXPECT_EQ(d.PickButton()->text(), "选择");
}

TEST(RouteDialog, OkSendsExactlyOnePointWithZeroZAndHides)
{
    Shell s;
    CDialogRouteSelect d(*s.app, 1.5, 2.5);
    d.show();
    EXPECT_EQ(d.XEdit()->text(), "1.5");
    std::vector<std::array<double, 3>> sent;
    QObject::connect(&d, &CDialogRouteSelect::pointChosen, [&](double x, double y, double z) {
        sent.push_back({x, y, z});
    });
    d.PickButton()->click();
    d.OnPointPicked(12.25, 8.5, 3.0);
    EXPECT_EQ(d.XEdit()->text(), "12.25");
    EXPECT_EQ(d.YEdit()->text(), "8.5");
    d.OkButton()->click();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][0], 12.25);
    EXPECT_EQ(sent[0][1], 8.5);
    EXPECT_EQ(sent[0][2], 0.0);
    EXPECT_EQ(s.app->m_RouteSelectPick, 0);
    EXPECT_FALSE(d.isVisible());
}
