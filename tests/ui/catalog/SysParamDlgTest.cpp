// The system parameter dialog: hit check values, fire colours of the weapons,
// saving SysConfig.cfg, and the refusal while a plan plays.
#include "CatalogTestSupport.h"

#include "ui/catalog/SysParamDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// On the box itself: a laid-out check box is wider than its text.
void ClickCheck(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

struct ParamShell : CatalogShell {
    std::unique_ptr<CSysParamDlg> dialog;
    int chooserRuns = 0;
    QColor chooserInitial;
    std::optional<QColor> chooserAnswer;

    ParamShell()
    {
        dialog = std::make_unique<CSysParamDlg>(*app, frame);
        dialog->SetColorChooser([this](const QColor& initial, QWidget*) {
            ++chooserRuns;
            chooserInitial = initial;
            return chooserAnswer;
        });
    }
    void SelectWeapon(const char* name) { dialog->WeaponList()->setCurrentIndex(dialog->WeaponList()->findText(name)); }
    std::string Param(const char* name) const
    {
        std::string v = "<absent>";
        app->m_SysConfig.GetParam(name, v);
        return v;
    }
    QByteArray SavedConfig() const { return TestDir::read(ModuleFile("SysConfig.cfg")); }
};

}  // namespace

TEST(SysParams, InitialStateFollowsTheCatalogueAndTheWorkingValues)
{
    ParamShell s;
    CSysParamDlg& d = *s.dialog;
    EXPECT_EQ(d.windowTitle(), "系统参数设置");
    // Weapons only, the last in the catalogue first; nothing selected.
    ASSERT_EQ(d.WeaponList()->count(), 2);
    EXPECT_EQ(d.WeaponList()->itemText(0), "火箭炮");
    EXPECT_EQ(d.WeaponList()->itemText(1), "榴弹炮");
    EXPECT_EQ(d.WeaponList()->currentIndex(), -1);
    EXPECT_EQ(d.SelectedWeapon(), nullptr);

    EXPECT_FALSE(d.CrossCheckBox()->isEnabled());
    EXPECT_TRUE(d.HitCheckBox()->isChecked());
    EXPECT_TRUE(d.DistanceEdit()->isEnabled());
    EXPECT_EQ(d.DistanceEdit()->text(), "50");

    // The check box governs the distance edit.
    ClickCheck(d.HitCheckBox());
    EXPECT_FALSE(d.DistanceEdit()->isEnabled());
    ClickCheck(d.HitCheckBox());
    EXPECT_TRUE(d.DistanceEdit()->isEnabled());

    s.app->SetHitCheckValues(0, 12.5);
    CSysParamDlg unticked(*s.app);
    EXPECT_FALSE(unticked.HitCheckBox()->isChecked());
    EXPECT_FALSE(unticked.DistanceEdit()->isEnabled());
    EXPECT_EQ(unticked.DistanceEdit()->text(), "12.5");
}

TEST(SysParams, SelectingAWeaponShowsItsFireColour)
{
    ParamShell s;
    s.SelectWeapon("火箭炮");  // FireUnitColor_3.2 = ff
    EXPECT_EQ(s.dialog->SwatchColor(), QColor(255, 0, 0));
    s.SelectWeapon("榴弹炮");  // no parameter: 200
    EXPECT_EQ(s.dialog->SwatchColor(), QColor(200, 0, 0));
}

TEST(SysParams, ChoosingPureGreenStoresFf00AndRecoloursTheWeaponAtOnce)
{
    ParamShell s;
    s.chooserAnswer = QColor(0, 255, 0);
    // Without a selected weapon nothing happens.
    QTest::mouseClick(s.dialog->ChooseButton(), Qt::LeftButton);
    EXPECT_EQ(s.chooserRuns, 0);

    s.SelectWeapon("榴弹炮");
    QTest::mouseClick(s.dialog->ChooseButton(), Qt::LeftButton);
    EXPECT_EQ(s.chooserRuns, 1);
    EXPECT_EQ(s.chooserInitial, QColor(Qt::black));
    EXPECT_EQ(s.Param("FireUnitColor_3.1"), "ff00");
    EXPECT_EQ(s.app->m_UnitClassCatalog.FindUnitClassById("3.1")->fireColor, 0xff00u);
    EXPECT_EQ(s.dialog->SwatchColor(), QColor(0, 255, 0));

    // The swatch chooses too; blue is 0x00BBGGRR = ff0000. An existing parameter is replaced in place.
    s.SelectWeapon("火箭炮");
    s.chooserAnswer = QColor(0, 0, 255);
    QTest::mouseClick(s.dialog->SwatchButton(), Qt::LeftButton);
    EXPECT_EQ(s.Param("FireUnitColor_3.2"), "ff0000");
    EXPECT_EQ(s.app->m_SysConfig.GetNames()[3], "FireUnitColor_3.2");

    // A cancelled chooser changes nothing.
    s.chooserAnswer.reset();
    QTest::mouseClick(s.dialog->ChooseButton(), Qt::LeftButton);
    EXPECT_EQ(s.Param("FireUnitColor_3.2"), "ff0000");
    EXPECT_EQ(s.app->m_UnitClassCatalog.FindUnitClassById("3.2")->fireColor, 0xff0000u);
}

TEST(SysParams, ApplyThenOkWritesTheValuesKeepingUnknownParametersInPlace)
{
    ParamShell s;
    s.dialog->show();
    ClickCheck(s.dialog->HitCheckBox());  // untick: the disabled edit still counts
    s.dialog->DistanceEdit()->setText("2.5");
    QTest::mouseClick(s.dialog->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(s.app->m_CheckBeenHit, 0);
    EXPECT_DOUBLE_EQ(s.app->m_DistWhenBeenHit, 2.5);
    EXPECT_EQ(s.app->m_ClockService.GetCheckBeenHit(), 0) << "the clock thread's copy follows";
    EXPECT_EQ(s.app->m_PlayState.GetCheckBeenHit(), 0);
    EXPECT_EQ(s.Param("DistWhenBeenHit"), "2.500000");
    EXPECT_EQ(s.Param("CheckBeenHit"), "0");

    QTest::mouseClick(s.dialog->OkButton(), Qt::LeftButton);
    EXPECT_EQ(s.dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(s.reporter.messages.empty());
    const QByteArray file = s.SavedConfig();
    EXPECT_TRUE(file.contains("<param name=\"CheckBeenHit\">0</param>")) << file.constData();
    EXPECT_LT(file.indexOf("CheckBeenHit"), file.indexOf("Unused"));
    EXPECT_LT(file.indexOf("Unused\">keep me<"), file.indexOf("<param name=\"DistWhenBeenHit\">2.500000</param>"));

    // And the next start reads them back.
    CSysConfig reread;
    ASSERT_TRUE(reread.Load(s.ModuleFile("SysConfig.cfg")));
    EXPECT_EQ(reread.GetNames(), s.app->m_SysConfig.GetNames());
    EXPECT_EQ(reread.GetValues(), s.app->m_SysConfig.GetValues());
}

TEST(SysParams, DistanceThatIsNotANumberIsRefusedByApplyAndKeepsOkOpen)
{
    ParamShell s;
    s.dialog->show();
    s.dialog->DistanceEdit()->setText("2.5m");
    QTest::mouseClick(s.dialog->ApplyButton(), Qt::LeftButton);
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "请键入一个数。");
    EXPECT_DOUBLE_EQ(s.app->m_DistWhenBeenHit, 50.0);
    EXPECT_EQ(s.Param("DistWhenBeenHit"), "50.000000");

    QTest::mouseClick(s.dialog->OkButton(), Qt::LeftButton);
    EXPECT_EQ(s.reporter.messages.size(), 2u);
    EXPECT_TRUE(s.dialog->isVisible());
    EXPECT_NE(s.dialog->result(), QDialog::Accepted);
}

TEST(SysParams, EscapeSavesNothingButMemoryKeepsTheChoices)
{
    ParamShell s;
    const QByteArray before = s.SavedConfig();
    s.chooserAnswer = QColor(0, 255, 0);
    s.SelectWeapon("榴弹炮");
    QTest::mouseClick(s.dialog->ChooseButton(), Qt::LeftButton);
    s.dialog->reject();
    EXPECT_EQ(s.SavedConfig(), before);
    EXPECT_EQ(s.Param("FireUnitColor_3.1"), "ff00");
}

TEST(SysParams, SaveFailureIsReported)
{
    ParamShell s;
    QFile::remove(QString::fromStdString(s.ModuleFile("SysConfig.cfg")));
    QDir().mkpath(QString::fromStdString(s.ModuleFile("SysConfig.cfg")));
    s.dialog->show();
    QTest::mouseClick(s.dialog->OkButton(), Qt::LeftButton);
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "保存系统配置失败!");
    EXPECT_EQ(s.reporter.messages[0].caption, "错误");
}

TEST(SysParams, RefusedWhileAPlanPlays)
{
    ParamShell s;
    s.NewPlanShown();
    s.frame->OnPlay();
    ASSERT_TRUE(s.app->m_ClockService.IsRunning());
    int runs = 0;
    EXPECT_FALSE(CSysParamDlg::Open(*s.app, s.frame, nullptr, [&runs](CSysParamDlg&) { ++runs; }));
    s.frame->OnPause();
    EXPECT_EQ(runs, 0);
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "配置系统参数前请先暂停预案的推演!");
    EXPECT_EQ(s.reporter.messages[0].caption, "提示");
    EXPECT_TRUE(CSysParamDlg::Open(*s.app, s.frame, nullptr, [&runs](CSysParamDlg&) { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST(SysParams, TheFrameCommandOpensTheDialog)
{
    ParamShell s;
    QString opened;
    QTimer::singleShot(0, [&opened] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = modal->metaObject()->className();
            modal->close();
        }
    });
    s.frame->OnSysParams();
    EXPECT_EQ(opened, "CSysParamDlg");
}

TEST(SysParams, BitmapRealKmBoxStartsOffAppliesAtOnceAndIsSavedWithOk)
{
    ParamShell s;
    CSysParamDlg& d = *s.dialog;
    EXPECT_EQ(d.RealKmCheckBox()->text(), "位图地图按实际公里计算速度和距离");
    EXPECT_FALSE(d.RealKmCheckBox()->isChecked()) << "off by default: plans keep playing as written";
    EXPECT_FALSE(s.app->m_PlayState.BitmapRealKm());
    ClickCheck(d.RealKmCheckBox());
    EXPECT_TRUE(s.app->m_PlayState.BitmapRealKm());
    EXPECT_EQ(s.Param("BitmapMapRealKm"), "1");
    d.accept();
    EXPECT_TRUE(s.SavedConfig().contains("<param name=\"BitmapMapRealKm\">1</param>"));
    ClickCheck(d.RealKmCheckBox());
    EXPECT_FALSE(s.app->m_PlayState.BitmapRealKm());
    EXPECT_EQ(s.Param("BitmapMapRealKm"), "0");
}
