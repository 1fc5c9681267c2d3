// The class editor and the editing flow behind "设置属性...": refusals, the
// enabling by class code, reading the entries back, saving the catalogue.
#include "CatalogTestSupport.h"

#include <QLineEdit>

namespace {

struct EditShell : CatalogShell {
    int editorRuns = 0;
    // Entries typed into the dialog before OK; empty: leave the control as filled.
    QString width, height, killRadius, name;
    bool pressOk = true;
    bool dialogAccepted = false;
    bool widthEnabled = false, heightEnabled = false, killEnabled = false, zoomEnabled = false;

    EditShell()
    {
        tree->GetHooks().editClass = [this](CDialogUnitClassEdit& d) {
            ++editorRuns;
            widthEnabled = d.WidthEdit()->isEnabled();
            heightEnabled = d.HeightEdit()->isEnabled();
            killEnabled = d.KillRadiusEdit()->isEnabled();
            zoomEnabled = d.VisibleMinEdit()->isEnabled() && d.VisibleMaxEdit()->isEnabled();
            if (!name.isEmpty())
                d.NameEdit()->setText(name);
            if (!width.isEmpty())
                d.WidthEdit()->setText(width);
            if (!height.isEmpty())
                d.HeightEdit()->setText(height);
            if (!killRadius.isEmpty())
                d.KillRadiusEdit()->setText(killRadius);
            if (!pressOk)
                return false;
            d.accept();
            dialogAccepted = d.result() == QDialog::Accepted;
            return dialogAccepted;
        };
    }
    ClassEditOutcome Edit(const char* id)
    {
        tree->setCurrentItem(tree->FindItem(id));
        return tree->EditSelectedClass();
    }
    UnitClassInfo* Class(const char* id) { return app->m_UnitClassCatalog.FindUnitClassById(id); }
    QByteArray SavedCatalogue() const { return TestDir::read(ModuleFile("UnitClassInfo.cfg")); }
};

}  // namespace

TEST(ClassEdit, WeaponEditsOnlyTheKillRadiusOtherClassesEverythingElse)
{
    EditShell s;
    s.pressOk = false;
    s.Edit("3.1");
    EXPECT_TRUE(s.killEnabled);
    EXPECT_FALSE(s.widthEnabled);
    EXPECT_FALSE(s.heightEnabled);
    EXPECT_FALSE(s.zoomEnabled);
    s.Edit("02-01.01");
    EXPECT_FALSE(s.killEnabled);
    EXPECT_TRUE(s.widthEnabled);
    EXPECT_TRUE(s.heightEnabled);
    EXPECT_TRUE(s.zoomEnabled);
}

TEST(ClassEdit, DialogShowsTheRecordsValues)
{
    CDialogUnitClassEdit d;
    d.m_Name = "Truck";
    d.m_Width = 3;
    d.m_VisibleMin = 0.5;
    d.m_VisibleMax = 100000;
    d.m_ClassCode = "01";
    d.InitDialog();
    EXPECT_EQ(d.NameEdit()->text(), "Truck");
    EXPECT_EQ(d.WidthEdit()->text(), "3");
    EXPECT_EQ(d.VisibleMinEdit()->text(), "0.5");
    EXPECT_EQ(d.VisibleMaxEdit()->text(), "100000");
}

TEST(ClassEdit, OkWritesBackTruncatingTheSizeSavesAndRenamesTheItem)
{
    EditShell s;
    const UnitClassInfo before = *s.Class("02.01");
    s.name = "重型坦克";
    s.width = "12.9";
    s.height = "-3.7";
    EXPECT_EQ(s.Edit("02.01"), ClassEditOutcome::Saved);
    const UnitClassInfo* c = s.Class("02.01");
    EXPECT_EQ(c->name, "重型坦克");
    EXPECT_EQ(c->width, 12);
    EXPECT_EQ(c->height, -3);
    EXPECT_EQ(c->classCode, before.classCode) << "the class code is never edited";
    EXPECT_EQ(c->bitmapPath, before.bitmapPath);
    EXPECT_TRUE(s.reporter.messages.empty());
    EXPECT_EQ(s.tree->FindItem("02.01")->text(0), "重型坦克");

    const QByteArray saved = s.SavedCatalogue();
    EXPECT_TRUE(saved.contains(R"(name="重型坦克" id="02.01" class="02-02" width="12" height="-3")")) << saved.constData();
    // Everything else is written back as it was.
    EXPECT_TRUE(saved.contains(R"(name="火箭炮" id="3.2" class="03" width="1" height="1" exploderadius="300")"));
}

TEST(ClassEdit, WeaponKillRadiusIsWrittenBack)
{
    EditShell s;
    s.killRadius = "175.25";
    EXPECT_EQ(s.Edit("3.1"), ClassEditOutcome::Saved);
    EXPECT_DOUBLE_EQ(s.Class("3.1")->exploderadius, 175.25);
    EXPECT_TRUE(s.SavedCatalogue().contains(R"(exploderadius="175.25")"));
}

TEST(ClassEdit, TextThatIsNotANumberKeepsTheDialogOpenAndWritesNothing)
{
    const char* bad[][2] = {{"12abc", ""}, {"", "abc"}, {"1e12", ""}, {"", "inf"}};
    for (const auto& entry : bad) {
        EditShell s;
        const QByteArray file = s.SavedCatalogue();
        s.width = entry[0];
        s.height = entry[1];
        s.name = "改了";
        EXPECT_EQ(s.Edit("02.01"), ClassEditOutcome::Cancelled) << entry[0] << entry[1];
        EXPECT_FALSE(s.dialogAccepted);
        ASSERT_EQ(s.reporter.messages.size(), 1u);
        EXPECT_NE(s.reporter.messages[0].text.find("请键入"), std::string::npos);
        EXPECT_EQ(s.Class("02.01")->name, "主战坦克");
        EXPECT_EQ(s.Class("02.01")->width, 4);
        EXPECT_EQ(s.SavedCatalogue(), file);
    }
}

TEST(ClassEdit, CancelChangesNothing)
{
    EditShell s;
    const QByteArray file = s.SavedCatalogue();
    s.width = "99";
    s.pressOk = false;
    EXPECT_EQ(s.Edit("01.01"), ClassEditOutcome::Cancelled);
    EXPECT_EQ(s.Class("01.01")->width, 18);
    EXPECT_EQ(s.SavedCatalogue(), file);
}

TEST(ClassEdit, RefusedWhileTheClockRunsForCategoriesAndWithoutSelection)
{
    EditShell s;
    s.NewPlanShown();
    s.frame->OnPlay();
    ASSERT_TRUE(s.app->m_ClockService.IsRunning());
    EXPECT_EQ(s.Edit("01.01"), ClassEditOutcome::ClockRunning);
    s.frame->OnPause();
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "修改配置前请先暂停推演!");
    EXPECT_EQ(s.reporter.messages[0].caption, "提示");

    EXPECT_EQ(s.Edit("02-01"), ClassEditOutcome::NotAClass);
    ASSERT_EQ(s.reporter.messages.size(), 2u);
    EXPECT_EQ(s.reporter.messages[1].text, "此节点没有可设置的属性");
    EXPECT_EQ(s.reporter.messages[1].caption, "提示");

    s.tree->clearSelection();
    EXPECT_EQ(s.tree->EditSelectedClass(), ClassEditOutcome::NoSelection);
    EXPECT_EQ(s.reporter.messages.size(), 2u);
    EXPECT_EQ(s.editorRuns, 0);
}

TEST(ClassEdit, SaveFailureIsReportedAndTheEditStaysInMemory)
{
    EditShell s;
    // A folder where the file should be: the save cannot replace it.
    QFile::remove(QString::fromStdString(s.ModuleFile("UnitClassInfo.cfg")));
    QDir().mkpath(QString::fromStdString(s.ModuleFile("UnitClassInfo.cfg")));
    s.width = "7";
    EXPECT_EQ(s.Edit("01.01"), ClassEditOutcome::SaveFailed);
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "保存单位信息失败!");
    EXPECT_EQ(s.reporter.messages[0].caption, "错误");
    EXPECT_EQ(s.Class("01.01")->width, 7);
}

TEST(ClassEdit, EditRepaintsTheView)
{
    EditShell s;
    s.NewPlanShown();
    QCoreApplication::processEvents();
    const int paints = s.view->PaintCount();
    s.width = "5";
    EXPECT_EQ(s.Edit("01.01"), ClassEditOutcome::Saved);
    QCoreApplication::processEvents();
    EXPECT_GT(s.view->PaintCount(), paints);
}
