// The catalogue tree: its items and icons, and dragging classes onto the plan
// view with the mouse (press and move on the tree, release wherever).
#include "CatalogTestSupport.h"

#include "engine/Units.h"
#include "map/MapLoader.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>

namespace {

struct DragShell : CatalogShell {
    CPlanLayer* layer = nullptr;
    DragShell() { layer = NewPlanShown(); }

    QWidget* Viewport() const { return tree->viewport(); }
    QPoint ItemPos(const char* id) const
    {
        QTreeWidgetItem* item = tree->FindItem(id);
        return item ? tree->visualItemRect(item).center() : QPoint(-1, -1);
    }
    // Presses on the item and moves far enough for a drag to begin.
    void PressAndPull(const char* id)
    {
        const QPoint p = ItemPos(id);
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, p);
        QTest::mouseMove(Viewport(), p + QPoint(QApplication::startDragDistance() + 2, 0));
    }
    // Moves to and releases at a screen point; the tree holds the mouse, so both go to it.
    void MoveAndRelease(const QPoint& global)
    {
        const QPoint local = Viewport()->mapFromGlobal(global);
        QTest::mouseMove(Viewport(), local);
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, local);
    }
    QPoint ViewGlobal(QPoint p) const { return view->mapToGlobal(p); }
};

}  // namespace

// ---- filling -------------------------------------------------------------------------

TEST(CatalogTree, CategoriesFormTwoLevelsAndClassesSitUnderTheirCategory)
{
    CatalogShell s;
    ASSERT_TRUE(s.started);
    ASSERT_NE(s.tree, nullptr);
    ASSERT_EQ(s.tree->topLevelItemCount(), 3);
    EXPECT_EQ(s.tree->topLevelItem(0)->text(0), "运载平台");
    EXPECT_EQ(s.tree->topLevelItem(1)->text(0), "作战单位");
    EXPECT_EQ(s.tree->topLevelItem(2)->text(0), "火力武器");

    // The sub-category precedes its parent in the file and still lands under it.
    QTreeWidgetItem* sub = s.tree->FindItem("02-01");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->parent(), s.tree->topLevelItem(1));
    EXPECT_EQ(s.tree->FindItem("02-01.01")->parent(), sub);
    EXPECT_EQ(s.tree->FindItem("02.01")->parent(), s.tree->topLevelItem(1));
    EXPECT_EQ(s.tree->FindItem("3.1")->parent(), s.tree->topLevelItem(2));

    const CatalogueRecord category = CUnitClassTree::RecordOf(s.tree->topLevelItem(0));
    EXPECT_NE(category.category, nullptr);
    EXPECT_EQ(category.unitClass, nullptr);
    EXPECT_EQ(CUnitClassTree::RecordOf(s.tree->FindItem("01.01")).unitClass,
              s.app->m_UnitClassCatalog.FindUnitClassById("01.01"));
}

TEST(CatalogTree, IconsComeFromUnitBitmapByTitleAndClassesGetTheirMapImagePaths)
{
    CatalogShell s;
    ASSERT_TRUE(s.started);
    // Every file keeps its slot, the unreadable one too.
    ASSERT_EQ(s.tree->Icons().size(), 5u);
    EXPECT_TRUE(s.tree->Icons()[0].isNull());

    QTreeWidgetItem* truck = s.tree->FindItem("01.02");
    EXPECT_EQ(CUnitClassTree::IconIndexOf(truck), 1) << "title compared without regard to case, sub-folders searched";
    EXPECT_EQ(CUnitClassTree::IconIndexOf(s.tree->FindItem("02.01")), 2);
    EXPECT_EQ(CUnitClassTree::IconIndexOf(s.tree->FindItem("01")), 3) << "categories get icons too";
    EXPECT_EQ(CUnitClassTree::IconIndexOf(s.tree->FindItem("01.01")), 4);
    EXPECT_EQ(CUnitClassTree::IconIndexOf(s.tree->FindItem("3.1")), -1);
    EXPECT_TRUE(s.tree->FindItem("3.1")->icon(0).isNull());

    // A 32x32 file becomes a 20x20 icon.
    const QPixmap icon = truck->icon(0).pixmap(QSize(20, 20));
    EXPECT_EQ(icon.size(), QSize(20, 20));
    EXPECT_EQ(icon.toImage().pixelColor(10, 10), QColor(Qt::darkYellow));

    const UnitClassInfo* truckClass = s.app->m_UnitClassCatalog.FindUnitClassById("01.02");
    EXPECT_EQ(truckClass->bitmapPath, "NormalBitmap\\truck.bmp") << "the file's title, not the class name";
    EXPECT_EQ(truckClass->maskPath, "NormalBitmap\\truck_Mask.bmp");
    const UnitClassInfo* weapon = s.app->m_UnitClassCatalog.FindUnitClassById("3.1");
    EXPECT_TRUE(weapon->bitmapPath.empty());
    EXPECT_TRUE(weapon->maskPath.empty());
}

TEST(CatalogTree, PanelKeepsTheTreeInsetByItsMargins)
{
    CatalogShell s;
    CDialogUnitCatalog panel(*s.app);
    panel.show();
    panel.resize(230, 410);
    QCoreApplication::processEvents();
    EXPECT_EQ(panel.Tree()->geometry(), QRect(2, 2, 225, 405));
    EXPECT_EQ(panel.Tree()->topLevelItemCount(), 3);
}

// ---- dragging ------------------------------------------------------------------------

TEST(CatalogDrag, DroppingAClassOnTheViewCreatesExactlyOneUnitAtTheDropPoint)
{
    DragShell s;
    ASSERT_NE(s.layer, nullptr);
    const size_t before = s.layer->GetUnitCount();
    s.PressAndPull("01.01");
    ASSERT_TRUE(s.tree->IsDragging());
    ASSERT_NE(s.tree->DragImage(), nullptr);
    EXPECT_TRUE(s.tree->DragImage()->isVisible());

    // Across the view: the view follows the cursor.
    const QPoint over = s.ViewGlobal({200, 150});
    QTest::mouseMove(s.Viewport(), s.Viewport()->mapFromGlobal(over));
    EXPECT_EQ(s.tree->DragImage()->pos(), over + CUnitClassTree::kDragImageOffset);
    EXPECT_EQ(s.Viewport()->cursor().shape(), Qt::PointingHandCursor);
    double x = 0, y = 0;
    s.app->GetMap()->ViewToMap(x, y, 200, 150);
    EXPECT_DOUBLE_EQ(s.app->m_MouseX, x);
    EXPECT_DOUBLE_EQ(s.app->m_MouseY, y);

    // The release alone (no move to it first) places the unit at the release point.
    const QPoint drop = s.ViewGlobal({320, 240});
    QTest::mouseRelease(s.Viewport(), Qt::LeftButton, {}, s.Viewport()->mapFromGlobal(drop));
    EXPECT_FALSE(s.tree->IsDragging());
    EXPECT_EQ(s.tree->DragImage(), nullptr);
    ASSERT_EQ(s.layer->GetUnitCount(), before + 1);

    CUnitCanLoad* unit = s.layer->GetUnitAt(before);
    UnitClassInfo* info = s.app->m_UnitClassCatalog.FindUnitClassById("01.01");
    EXPECT_EQ(unit->m_ClassInfo, info);
    EXPECT_EQ(unit->m_UnitName, "运输直升机");
    s.app->GetMap()->ViewToMap(x, y, 320, 240);
    EXPECT_DOUBLE_EQ(unit->m_CurX, x);
    EXPECT_DOUBLE_EQ(unit->m_CurY, y);
    // The derived image path resolves under the module folder.
    EXPECT_EQ(unit->m_ImageWidth, 16);
    EXPECT_EQ(unit->m_ImageHeight, 12);
    EXPECT_TRUE(s.tree->selectedItems().isEmpty());

    // Moves after the drop are plain moves again.
    QTest::mouseMove(s.Viewport(), s.Viewport()->mapFromGlobal(s.ViewGlobal({100, 100})));
    EXPECT_EQ(s.layer->GetUnitCount(), before + 1);
}

TEST(CatalogDrag, ReleasingOverTheTreeCreatesNothing)
{
    DragShell s;
    s.PressAndPull("01.01");
    ASSERT_TRUE(s.tree->IsDragging());
    // Via the view and back onto another tree item.
    QTest::mouseMove(s.Viewport(), s.Viewport()->mapFromGlobal(s.ViewGlobal({200, 150})));
    const QPoint onItem = s.ItemPos("02.01");
    QTest::mouseMove(s.Viewport(), onItem);
    EXPECT_EQ(s.tree->DropItem(), s.tree->FindItem("02.01"));
    EXPECT_EQ(s.Viewport()->cursor().shape(), Qt::ForbiddenCursor);
    QTest::mouseRelease(s.Viewport(), Qt::LeftButton, {}, onItem);
    EXPECT_FALSE(s.tree->IsDragging());
    EXPECT_EQ(s.layer->GetUnitCount(), 0u);
}

TEST(CatalogDrag, RefusedInRunModeAndForCategoriesWeaponsAndIdsWithoutADot)
{
    DragShell s;
    struct Case {
        const char* id;
        int editMode;
    } cases[] = {{"01.01", 0}, {"02", 1} /* 指挥所: id without "." */, {"3.1", 1}, {"01", 1}, {"02-01", 1}};
    for (const Case& c : cases) {
        s.app->m_EditMode = c.editMode;
        QTreeWidgetItem* item = c.id == std::string("02") ? s.tree->FindItem("指挥所") : s.tree->FindItem(c.id);
        ASSERT_NE(item, nullptr) << c.id;
        const QPoint p = s.tree->visualItemRect(item).center();
        QTest::mousePress(s.Viewport(), Qt::LeftButton, {}, p);
        QTest::mouseMove(s.Viewport(), p + QPoint(QApplication::startDragDistance() + 2, 0));
        EXPECT_FALSE(s.tree->IsDragging()) << c.id;
        s.MoveAndRelease(s.ViewGlobal({300, 200}));
        EXPECT_FALSE(s.tree->CanDrag(item)) << c.id;
    }
    EXPECT_EQ(s.layer->GetUnitCount(), 0u);

    // The same class drags once edit mode is on.
    s.app->m_EditMode = 1;
    EXPECT_TRUE(s.tree->CanDrag(s.tree->FindItem("01.01")));
}

TEST(CatalogDrag, EscapeCancelsTheDragWithoutADrop)
{
    DragShell s;
    s.PressAndPull("02.01");
    ASSERT_TRUE(s.tree->IsDragging());
    QTest::mouseMove(s.Viewport(), s.Viewport()->mapFromGlobal(s.ViewGlobal({300, 200})));
    QTest::keyClick(s.tree, Qt::Key_Escape);
    EXPECT_FALSE(s.tree->IsDragging());
    QTest::mouseRelease(s.Viewport(), Qt::LeftButton, {}, s.Viewport()->mapFromGlobal(s.ViewGlobal({300, 200})));
    EXPECT_EQ(s.layer->GetUnitCount(), 0u);
}

TEST(CatalogDrag, DropOutsideBothTreeAndViewCreatesNothing)
{
    DragShell s;
    s.PressAndPull("02.01");
    ASSERT_TRUE(s.tree->IsDragging());
    // Beyond the frame's right edge.
    s.MoveAndRelease(s.frame->mapToGlobal(QPoint(s.frame->width() + 50, 10)));
    EXPECT_FALSE(s.tree->IsDragging());
    EXPECT_EQ(s.layer->GetUnitCount(), 0u);
}

// ---- context menu --------------------------------------------------------------------

TEST(CatalogMenu, RightClickOffersSetPropertiesWhichEditsTheClickedClass)
{
    CatalogShell s;
    QStringList texts;
    s.tree->GetHooks().contextMenu = [&texts](QMenu& menu, const QPoint&) -> QAction* {
        for (QAction* a : menu.actions())
            texts << a->text();
        return menu.actions().value(0);
    };
    std::string edited;
    s.tree->GetHooks().editClass = [&edited](CDialogUnitClassEdit& dialog) {
        edited = dialog.m_Name.toStdString();
        return false;
    };
    const QPoint p = s.tree->visualItemRect(s.tree->FindItem("02.01")).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, p, s.tree->viewport()->mapToGlobal(p));
    QCoreApplication::sendEvent(s.tree->viewport(), &event);
    EXPECT_EQ(texts, QStringList{"设置属性..."});
    EXPECT_EQ(edited, "主战坦克");
}
