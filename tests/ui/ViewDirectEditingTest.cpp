// Direct manipulation on the real view inside a main frame: the right press
// that ends a pick, cancelled fire units, the plan drawn while editing, wheel
// zoom about the cursor, nudges, multi-selection with one undo step, cursors,
// tooltips and the feedback in the status bar.
#include "EditShellSupport.h"

#include "config/UnitClassCatalog.h"
#include "engine/EditHistory.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "map/MapLoader.h"
#include "render/PlanOverlay.h"
#include "ui/MainWindow.h"
#include "ui/UndoRedoCommands.h"
#include "ui/catalog/UnitCatalogPanel.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QPushButton>
#include <QTreeWidgetItem>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

void RightPressThenMenuEvent(EditShell& s, QPoint at)
{
    QTest::mousePress(s.view, Qt::RightButton, Qt::NoModifier, at);
    QTest::mouseRelease(s.view, Qt::RightButton, Qt::NoModifier, at);
    // The platform sends the context-menu event after the press.
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, s.view->mapToGlobal(at));
    QCoreApplication::sendEvent(s.view, &menu);
}

void Wheel(CTarnwickView* view, QPoint at, int delta)
{
    QWheelEvent event(QPointF(at), QPointF(view->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &event);
}

void Key(CTarnwickView* view, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(view, &event);
}

// Pixels of exactly `colour` inside a rectangle of the picture.
int CountColour(const QImage& image, const QRect& area, QRgb colour)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
    return n;
}

// Pixels close to `colour` (antialiased or faded drawing).
int CountNear(const QImage& image, const QRect& area, QColor colour, int tolerance)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += std::abs(c.red() - colour.red()) <= tolerance && std::abs(c.green() - colour.green()) <= tolerance &&
                         std::abs(c.blue() - colour.blue()) <= tolerance
                     ? 1
                     : 0;
        }
    return n;
}

WGAction* AddMove(CUnitCanLoad* unit, std::vector<RoutePoint> points, int time = 0)
{
    auto action = std::make_unique<WGAction>();
    action->m_ActionType = kActionMove;
    action->m_ActionName = "移动";
    action->m_ActionTime = time;
    action->m_Speed = 30;
    action->m_ActingUnits.push_back(unit);
    auto route = std::make_unique<WGRoute>();
    route->m_Points = std::move(points);
    action->m_Routes.push_back(std::move(route));
    return unit->AddNewAction(std::move(action));
}

WGAction* AddStrike(CUnitCanLoad* unit, RoutePoint target, const char* weapon, int count, int time = 0)
{
    auto action = std::make_unique<WGAction>();
    action->m_ActionType = kActionStrike;
    action->m_ActionName = "打击";
    action->m_ActionTime = time;
    action->m_BulletType = weapon;
    action->m_HitTime = count;
    action->m_ActingUnits.push_back(unit);
    auto route = std::make_unique<WGRoute>();
    route->m_Points = {target};
    action->m_Routes.push_back(std::move(route));
    return unit->AddNewAction(std::move(action));
}

RoutePoint MapPoint(EditShell& s, QPoint p)
{
    double x = 0, y = 0;
    s.app->GetMap()->ViewToMap(x, y, p.x(), p.y());
    return {x, y, 0};
}

}  // namespace

// ---- the right press that ends a pick or zooms --------------------------------------

TEST(ViewRightPress, EndingARoutePickOrZoomingOpensNoMenuButAPlainRightClickDoes)
{
    EditShell s;
    s.AddUnit(1, {200, 200});
    s.Click({200, 200});
    s.Menu(CTarnwickView::ID_MOVE_TO);
    ASSERT_EQ(s.menuShown, 1);
    s.Click({300, 250});
    RightPressThenMenuEvent(s, {320, 260});
    EXPECT_EQ(s.speedAsked, 1);
    EXPECT_EQ(s.menuShown, 1) << "the press that ended the pick opened the unit menu";
    // The next click is not swallowed: it selects again.
    s.Click({600, 500});
    EXPECT_EQ(s.layer->GetUnitByNo(1)->m_Selected, 0);
    s.Click({200, 200});
    s.menuCommand = 0;  // dismissed
    RightPressThenMenuEvent(s, {200, 200});
    EXPECT_EQ(s.menuShown, 2) << "a plain right click still opens the menu";

    s.view->SetMapTool(1);
    const double zoom = s.app->GetMap()->GetZoom();
    RightPressThenMenuEvent(s, {400, 300});
    EXPECT_LT(s.app->GetMap()->GetZoom(), zoom);
    EXPECT_EQ(s.menuShown, 2) << "the zoom tool's right click opened the unit menu";
    // A menu asked for from the keyboard is never taken for the press's.
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, {5, 5}, s.view->mapToGlobal(QPoint(5, 5)));
    s.view->SetMapTool(0);
    QCoreApplication::sendEvent(s.view, &keyboard);
    EXPECT_EQ(s.menuShown, 3);
}

// ---- a cancelled fire unit ------------------------------------------------------------

TEST(ViewCancelledFire, StrikeAtSecondZeroLeavesNoLineNoHitAndAByteIdenticalSave)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 300});
    a->m_ClassInfo = s.app->m_UnitClassCatalog.FindUnitClassById("02-02.01");
    AddStrike(a, MapPoint(s, {600, 300}), "03.01", 2, 0);
    TestDir dir;
    const QString first = dir.path() + "/strike.pln", second = dir.path() + "/again.pln";
    s.saveAnswer = first;
    s.frame->OnSavePlan();
    ASSERT_TRUE(QFile::exists(first));

    ASSERT_TRUE(s.frame->OpenPlanFile(first));
    s.app->m_EditMode = 1;
    s.layer = s.app->GetPlan()->GetFirstLayer();
    s.view->resize(800, 600);
    s.view->ApplyViewSize();
    s.Picture();
    // Opening replayed the strike's start: its fire unit is there, marked removed.
    bool removedFire = false;
    for (size_t i = 0; i < s.layer->GetUnitCount(); ++i)
        if (const UnitFire* f = s.layer->GetUnitAt(i)->AsFire())
            removedFire = removedFire || f->m_Removed;
    if (removedFire) {
        // No fire line in the picture between striker and target.
        const UnitClassInfo* weapon = s.app->m_UnitClassCatalog.FindUnitClassById("03.01");
        const QColor fire = CPlanRenderer::FromColorRef(weapon ? weapon->fireColor : 200);
        EXPECT_EQ(CountNear(s.Picture(), QRect(260, 295, 300, 11), fire, 8), 0);
        // A click on the middle of the line hits nothing there.
        s.Click({400, 300});
        for (size_t i = 0; i < s.layer->GetUnitCount(); ++i)
            EXPECT_EQ(s.layer->GetUnitAt(i)->m_Selected, 0);
    }
    s.saveAnswer = second;
    s.frame->OnSavePlan();
    QFile f1(first), f2(second);
    ASSERT_TRUE(f1.open(QIODevice::ReadOnly));
    ASSERT_TRUE(f2.open(QIODevice::ReadOnly));
    EXPECT_EQ(f1.readAll(), f2.readAll());
}

// ---- the plan drawn while editing ------------------------------------------------------

TEST(ViewOverlay, SelectedUnitsPlanIsDrawnInEditModeFadedForOthersAndNotInRunMode)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {100, 100});
    CUnitCanLoad* b = s.AddUnit(2, {100, 500});
    AddMove(a, {MapPoint(s, {100, 100}), MapPoint(s, {400, 100}), MapPoint(s, {400, 300})}, 90);
    AddStrike(a, MapPoint(s, {650, 150}), "03.01", 3, 120);
    AddMove(b, {MapPoint(s, {100, 500}), MapPoint(s, {600, 500})});
    const QColor route = QColor::fromRgb(CPlanOverlay::kRouteColour);
    const QRect aLeg(200, 96, 80, 9), aLeg2(396, 180, 9, 60), bLeg(250, 496, 100, 9);

    const QImage none = s.Picture();
    EXPECT_EQ(CountNear(none, aLeg, route, 10), 0) << "nothing selected: no plan drawn";

    s.Click({100, 100});
    ASSERT_EQ(a->m_Selected, 1);
    const QImage selected = s.Picture();
    EXPECT_GT(CountNear(selected, aLeg, route, 10), 20);
    EXPECT_GT(CountNear(selected, aLeg2, route, 10), 20);
    // Numbered points: the second point's marker is white inside.
    EXPECT_GT(CountColour(selected, QRect(396, 96, 9, 9), 0xFFFFFF), 0);
    EXPECT_EQ(CountNear(selected, bLeg, route, 10), 0);
    // The strike target: a cross in the weapon's colour.
    const UnitClassInfo* weapon = s.app->m_UnitClassCatalog.FindUnitClassById("03.01");
    ASSERT_NE(weapon, nullptr);
    const QColor fire = CPlanRenderer::FromColorRef(weapon->fireColor);
    EXPECT_GT(CountNear(selected, QRect(642, 142, 17, 17), fire, 10), 8);

    // All plans: the unselected one faded (lighter than the route colour, not absent).
    s.view->SetShowAllPlans(true);
    const QImage all = s.Picture();
    EXPECT_GT(CountNear(all, aLeg, route, 10), 20);
    EXPECT_EQ(CountNear(all, bLeg, route, 10), 0);
    EXPECT_NE(all.copy(bLeg), selected.copy(bLeg));

    s.app->m_EditMode = 0;
    const QImage run = s.Picture();
    EXPECT_EQ(CountNear(run, aLeg, route, 10), 0);
    EXPECT_EQ(CountNear(run, QRect(642, 142, 17, 17), fire, 10), 0);
}

TEST(ViewOverlay, TimeLabelsCountFromThePlanStart)
{
    EXPECT_EQ(CPlanOverlay::TimeLabel(0), "T+00:00");
    EXPECT_EQ(CPlanOverlay::TimeLabel(90), "T+01:30");
    EXPECT_EQ(CPlanOverlay::TimeLabel(3725), "T+1:02:05");
    EXPECT_EQ(CPlanOverlay::TimeLabel(-5), "T+00:00");
}

// ---- wheel zoom ---------------------------------------------------------------------------

TEST(ViewWheel, EachStepZoomsOnceAndKeepsThePointUnderTheCursor)
{
    EditShell s;
    CMapLoader* map = s.app->GetMap();
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        map->SetZoom(1.0);
        const QPoint at(int(random() % 760) + 20, int(random() % 560) + 20);
        const int steps = (round % 2) ? 1 : -1;
        map->UpdateSourceRect(800, 600);
        const RoutePoint before = MapPoint(s, at);
        const double zoom = map->GetZoom();
        Wheel(s.view, at, 120 * steps);
        EXPECT_DOUBLE_EQ(map->GetZoom(), steps > 0 ? zoom * 1.5 : zoom / 1.5);
        int px = 0, py = 0;
        map->MapToView(before.X, before.Y, px, py);
        // The map moves by whole pixels of its image: a point may stray by one of them.
        const double slack = std::max(2.0, map->GetZoom() + 1);
        EXPECT_LE(std::abs(px - at.x()), slack) << "round " << round;
        EXPECT_LE(std::abs(py - at.y()), slack) << "round " << round;
    }
    // Half steps (touchpads) add up to one.
    map->SetZoom(1.0);
    Wheel(s.view, {400, 300}, 60);
    EXPECT_DOUBLE_EQ(map->GetZoom(), 1.0);
    Wheel(s.view, {400, 300}, 60);
    EXPECT_DOUBLE_EQ(map->GetZoom(), 1.5);
    EXPECT_EQ(s.frame->PaneText(CMainFrame::PaneZ), QString::asprintf("缩放比例: %f", 1.5));
}

// ---- nudges ---------------------------------------------------------------------------------

TEST(ViewNudge, ArrowsMoveByOnePixelShiftByTenEachAnUndoableStep)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {300, 300});
    s.Click({300, 300});
    const size_t steps = s.app->m_EditHistory.UndoCount();
    const double x0 = a->m_CurX, y0 = a->m_CurY;
    const RoutePoint origin = MapPoint(s, {300, 300}), right = MapPoint(s, {301, 300}),
                     down = MapPoint(s, {300, 310});
    Key(s.view, Qt::Key_Right);
    EXPECT_NEAR(a->m_CurX - x0, right.X - origin.X, 1e-12);
    EXPECT_EQ(a->m_InitX, a->m_CurX);
    Key(s.view, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_NEAR(a->m_CurY - y0, down.Y - origin.Y, 1e-12);
    EXPECT_EQ(s.app->m_EditHistory.UndoCount(), steps + 2);
    ASSERT_TRUE(s.frame->UndoRedo()->OnUndo());
    a = s.layer->GetUnitByNo(1);
    EXPECT_EQ(a->m_CurY, y0);
    ASSERT_TRUE(s.frame->UndoRedo()->OnUndo());
    a = s.layer->GetUnitByNo(1);
    EXPECT_EQ(a->m_CurX, x0);
}

TEST(ViewNudge, UnitLockedByItsAppearTimeStaysAndTheStatusBarSaysWhy)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {300, 300}, 60);
    QString said;
    QObject::connect(s.view, &CTarnwickView::statusMessage, [&](QString text) { said = text; });
    s.Click({300, 300});
    EXPECT_TRUE(said.contains("第60秒")) << said.toStdString();
    said.clear();
    const double x = a->m_CurX;
    EXPECT_FALSE(s.view->NudgeSelected(1, 0));
    EXPECT_EQ(a->m_CurX, x);
    EXPECT_TRUE(said.contains("单位1")) << said.toStdString();
    // Nothing selected, or run mode: the keys move nothing.
    s.app->m_EditMode = 0;
    EXPECT_FALSE(s.view->NudgeSelected(1, 0));
}

// ---- multi-selection ---------------------------------------------------------------------------

TEST(ViewMultiSelect, CtrlClickTogglesAndCtrlBandAddsTheUnitsInside)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {100, 100});
    CUnitCanLoad* b = s.AddUnit(2, {300, 100});
    CUnitCanLoad* c = s.AddUnit(3, {300, 400});
    CUnitCanLoad* d = s.AddUnit(4, {500, 400});
    int shown = -1;
    QObject::connect(s.view, &CTarnwickView::unitShown,
                     [&](int no, QString, int, double, double, double, double) { shown = no; });
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::ControlModifier, {300, 100});
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::ControlModifier, {100, 100});
    EXPECT_EQ(s.view->SelectedUnitNos(), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(shown, 1) << "the panels show the first selected unit";
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::ControlModifier, {100, 100});
    EXPECT_EQ(a->m_Selected, 0);
    EXPECT_EQ(b->m_Selected, 1);
    // The band from (250, 350) to (550, 450) holds units 3 and 4.
    QTest::mousePress(s.view, Qt::LeftButton, Qt::ControlModifier, {250, 350});
    QTest::mouseMove(s.view, {400, 420});
    EXPECT_FALSE(s.view->RubberBand().isNull());
    QTest::mouseMove(s.view, {550, 450});
    QTest::mouseRelease(s.view, Qt::LeftButton, Qt::ControlModifier, {550, 450});
    EXPECT_TRUE(s.view->RubberBand().isNull());
    EXPECT_EQ(s.view->SelectedUnitNos(), (std::vector<int32_t>{2, 3, 4}));
    EXPECT_FALSE(s.view->Dragging()) << "a band does not pan the map";
    (void)c;
    (void)d;
    // A plain click on empty map clears the selection.
    s.Click({700, 250});
    EXPECT_TRUE(s.view->SelectedUnitNos().empty());
}

TEST(ViewMultiSelect, DraggingOneMovesAllSelectedAndOneUndoPutsThemBack)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {100, 100});
    CUnitCanLoad* b = s.AddUnit(2, {300, 200});
    CUnitCanLoad* late = s.AddUnit(3, {500, 200}, 30);  // selected, but locked by its appear time
    for (QPoint p : {QPoint(100, 100), QPoint(300, 200), QPoint(500, 200)})
        QTest::mouseClick(s.view, Qt::LeftButton, Qt::ControlModifier, p);
    const QPoint lateAt = s.ViewPos(*late);
    const size_t steps = s.app->m_EditHistory.UndoCount();
    QTest::mousePress(s.view, Qt::LeftButton, Qt::NoModifier, {300, 200});
    QTest::mouseMove(s.view, {330, 220});
    QTest::mouseMove(s.view, {340, 230});
    QTest::mouseRelease(s.view, Qt::LeftButton, Qt::NoModifier, {340, 230});
    EXPECT_EQ(s.ViewPos(*b), QPoint(340, 230));
    EXPECT_EQ(s.ViewPos(*a), QPoint(140, 130));
    EXPECT_EQ(s.ViewPos(*late), lateAt);
    EXPECT_EQ(s.view->SelectedUnitNos().size(), 3u);
    EXPECT_EQ(s.app->m_EditHistory.UndoCount(), steps + 1);
    ASSERT_TRUE(s.frame->UndoRedo()->OnUndo());
    EXPECT_EQ(s.ViewPos(*s.layer->GetUnitByNo(1)), QPoint(100, 100));
    EXPECT_EQ(s.ViewPos(*s.layer->GetUnitByNo(2)), QPoint(300, 200));
}

TEST(ViewMultiSelect, DeletingSeveralAsksOnceAndIsOneUndoStep)
{
    EditShell s;
    for (int n = 1; n <= 4; ++n)
        s.AddUnit(n, {100 * n, 200});
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::ControlModifier, {200, 200});
    QTest::mouseClick(s.view, Qt::LeftButton, Qt::ControlModifier, {400, 200});
    s.reporter.answers = {MessageAnswer::Yes};
    const size_t steps = s.app->m_EditHistory.UndoCount();
    s.view->OnDeleteUnit();
    EXPECT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.layer->GetUnitByNo(2), nullptr);
    EXPECT_EQ(s.layer->GetUnitByNo(4), nullptr);
    ASSERT_NE(s.layer->GetUnitByNo(3), nullptr);
    EXPECT_EQ(s.app->m_EditHistory.UndoCount(), steps + 1);
    ASSERT_TRUE(s.frame->UndoRedo()->OnUndo());
    std::vector<int32_t> order;
    for (size_t i = 0; i < s.layer->GetUnitCount(); ++i)
        order.push_back(s.layer->GetUnitAt(i)->m_UnitNo);
    EXPECT_EQ(order, (std::vector<int32_t>{1, 2, 3, 4}));
}

// ---- cursors and tooltips ------------------------------------------------------------------------

TEST(ViewHints, CursorShowsMoveOverUnitsAndResizeOverHandles)
{
    EditShell s;
    s.AddUnit(1, {200, 200});
    s.AddUnit(2, {400, 200}, 60);
    EXPECT_EQ(s.view->CursorShapeAt({200, 200}), Qt::SizeAllCursor);
    EXPECT_EQ(s.view->CursorShapeAt({400, 200}), Qt::PointingHandCursor) << "locked: selectable, not movable";
    EXPECT_EQ(s.view->CursorShapeAt({600, 400}), Qt::ArrowCursor);
    s.Click({200, 200});
    // Handles inside the 20 x 20 rectangle at (190, 190) after a first drag; outside before.
    const CUnitCanLoad* a = s.layer->GetUnitByNo(1);
    const QRect r(190, 190, 20, 20);
    const CRectTracker tracker(r, a->m_RectTracker.m_handlesInside);
    EXPECT_EQ(s.view->CursorShapeAt(tracker.HandleRect(CRectTracker::hitTopLeft).center()), Qt::SizeFDiagCursor);
    EXPECT_EQ(s.view->CursorShapeAt(tracker.HandleRect(CRectTracker::hitTopRight).center()), Qt::SizeBDiagCursor);
    EXPECT_EQ(s.view->CursorShapeAt(tracker.HandleRect(CRectTracker::hitLeft).center()), Qt::SizeHorCursor);
    s.app->m_EditMode = 0;
    EXPECT_EQ(s.view->CursorShapeAt({200, 200}), Qt::ArrowCursor);
}

TEST(ViewHints, TooltipNamesTheUnitItsNumberClassAppearTimeAndNextAction)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(7, {200, 200}, 0);
    a->m_ClassInfo = s.app->m_UnitClassCatalog.FindUnitClassById("02-02.01");
    ASSERT_NE(a->m_ClassInfo, nullptr);
    AddMove(a, {MapPoint(s, {200, 200}), MapPoint(s, {300, 200})}, 120);
    AddStrike(a, MapPoint(s, {500, 200}), "03.01", 1, 45);
    const QString tip = s.view->UnitToolTipAt({203, 198});
    EXPECT_TRUE(tip.contains("单位7"));
    EXPECT_TRUE(tip.contains("编号: 7"));
    EXPECT_TRUE(tip.contains(QString::fromStdString(a->m_ClassInfo->name)));
    EXPECT_TRUE(tip.contains("出现时间: 第0秒"));
    EXPECT_TRUE(tip.contains("下一动作: 打击 (第45秒)")) << tip.toStdString();
    EXPECT_TRUE(s.view->UnitToolTipAt({600, 500}).isEmpty());
}

// ---- feedback -------------------------------------------------------------------------------------

TEST(ViewFeedback, ZoomPaneFollowsZoomsWithoutAMouseMove)
{
    EditShell s;
    s.frame->OnZoomIn();
    s.Click({400, 300});
    EXPECT_EQ(s.frame->PaneText(CMainFrame::PaneZ), QString::asprintf("缩放比例: %f", s.app->GetMap()->GetZoom()));
    QTest::mouseClick(s.view, Qt::RightButton, Qt::NoModifier, {400, 300});
    EXPECT_EQ(s.frame->PaneText(CMainFrame::PaneZ), QString::asprintf("缩放比例: %f", s.app->GetMap()->GetZoom()));
}

TEST(ViewFeedback, CatalogueDragInRunModeOffersEditModeAndTheTreeTipDescribesTheClass)
{
    EditShell s;
    s.app->m_EditMode = 0;
    CUnitClassTree* tree = s.frame->CataloguePanel()->Tree();
    QTreeWidgetItem* tank = tree->FindItem("02-02.01");
    ASSERT_NE(tank, nullptr);
    const UnitClassInfo* info = CUnitClassTree::RecordOf(tank).unitClass;
    ASSERT_NE(info, nullptr);
    const QString tip = tank->toolTip(0);
    EXPECT_TRUE(tip.contains(QString::fromStdString(info->name)));
    EXPECT_TRUE(tip.contains(QString("%1米 × %2米").arg(info->width).arg(info->height)));
    EXPECT_FALSE(tip.contains("02-02.01"));
    if (QTreeWidgetItem* gun = tree->FindItem("03.01"))
        EXPECT_TRUE(gun->toolTip(0).contains("杀伤半径"));

    EXPECT_FALSE(tree->BeginDrag(tank, tree->mapToGlobal(QPoint(5, 5))));
    QPushButton* offer = s.frame->EditModeOffer();
    ASSERT_NE(offer, nullptr);
    EXPECT_FALSE(offer->isHidden());
    offer->click();
    EXPECT_EQ(s.app->m_EditMode, 1);
    EXPECT_TRUE(offer->isHidden());
}
