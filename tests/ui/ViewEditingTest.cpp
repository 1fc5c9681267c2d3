// Editing the plan with the mouse and keyboard on the real view inside a main
// frame: selection and moving units, map drags and zoom tools, the pick of
// route points and targets, the context menu, deleting and dropping units.
#include "EditShellSupport.h"

#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "map/MapLoader.h"
#include "ui/TarnwickView.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QTest>
#include <gtest/gtest.h>

#include <QFile>


// ---- selection and moving ------------------------------------------------------------

TEST(ViewSelection, ClickSelectsTheUnitUnderTheMouseAndDeselectsOthers)
{
    EditShell s;
    ASSERT_NE(s.layer, nullptr);
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    CUnitCanLoad* b = s.AddUnit(2, {400, 300});
    int shown = -1;
    QObject::connect(s.view, &CTarnwickView::unitShown, [&](int no, QString, int, double, double, double, double) {
        shown = no;
    });
    s.Click({200, 200});
    EXPECT_EQ(a->m_Selected, 1);
    EXPECT_EQ(b->m_Selected, 0);
    EXPECT_EQ(shown, 1);
    s.Click({402, 303});
    EXPECT_EQ(a->m_Selected, 0);
    EXPECT_EQ(b->m_Selected, 1);
    s.Click({600, 500});  // empty map
    EXPECT_EQ(b->m_Selected, 0);
}

TEST(ViewSelection, SelectedUnitShowsItsTrackerHandlesInEditModeOnly)
{
    EditShell s;
    s.AddUnit(1, {200, 200});
    const QPoint handle(186, 186);  // in the top-left handle outside the 20x20 image at (190, 190)
    EXPECT_NE(s.Picture().pixel(handle), qRgb(0, 0, 0));
    s.Click({200, 200});
    EXPECT_EQ(s.Picture().pixel(handle), qRgb(0, 0, 0));
    s.app->m_EditMode = 0;
    EXPECT_NE(s.Picture().pixel(handle), qRgb(0, 0, 0));
}

TEST(ViewSelection, UnitAppearingNowIsMovedByItsTracker)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200}, 0);
    QTest::mousePress(s.view, Qt::LeftButton, Qt::NoModifier, {200, 200});
    QTest::mouseMove(s.view, {230, 200});
    QTest::mouseMove(s.view, {260, 220});
    QTest::mouseRelease(s.view, Qt::LeftButton, Qt::NoModifier, {260, 220});
    EXPECT_EQ(s.ViewPos(*a), QPoint(260, 220));
    EXPECT_EQ(a->m_InitX, a->m_CurX);
    EXPECT_EQ(a->m_InitY, a->m_CurY);
    EXPECT_TRUE(a->m_RectTracker.m_handlesInside);
    EXPECT_EQ(a->m_Selected, 1);
    // The map itself did not move.
    EXPECT_FALSE(s.view->Dragging());
}

TEST(ViewSelection, UnitAppearingAtAnotherTimeIsSelectedButNotMoved)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200}, 60);
    const double x = a->m_CurX, y = a->m_CurY;
    QTest::mousePress(s.view, Qt::LeftButton, Qt::NoModifier, {200, 200});
    QTest::mouseMove(s.view, {260, 220});
    QTest::mouseRelease(s.view, Qt::LeftButton, Qt::NoModifier, {260, 220});
    EXPECT_EQ(a->m_Selected, 1);
    EXPECT_EQ(a->m_CurX, x);
    EXPECT_EQ(a->m_CurY, y);
    EXPECT_EQ(a->m_InitX, x);
}

TEST(ViewSelection, RunModeClickShowsInitialAndClickedPointWithoutSelecting)
{
    EditShell s;
    s.app->m_EditMode = 0;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    double shown[4] = {};
    QObject::connect(s.view, &CTarnwickView::unitShown, [&](int, QString, int, double x1, double y1, double x2, double y2) {
        shown[0] = x1, shown[1] = y1, shown[2] = x2, shown[3] = y2;
    });
    s.Click({203, 200});
    EXPECT_EQ(a->m_Selected, 0);
    double cx = 0, cy = 0;
    s.app->GetMap()->ViewToMap(cx, cy, 203, 200);
    EXPECT_EQ(shown[0], a->m_InitX);
    EXPECT_EQ(shown[2], cx);
    EXPECT_EQ(shown[3], cy);
}

// ---- map drag and zoom tools ---------------------------------------------------------

TEST(ViewMapGestures, DragOfFivePixelsPansAndSuppressesTheZoomTool)
{
    EditShell s;
    s.view->SetMapTool(1);
    CMapLoader* map = s.app->GetMap();
    const double zoom = map->GetZoom();
    s.Picture();  // the map's source rectangle follows a paint
    double x0 = 0, y0 = 0, px = 0, py = 0;
    map->ViewToMap(x0, y0, 400, 300);
    map->ViewToMap(px, py, 401, 300);
    const double pixel = px - x0;
    QTest::mousePress(s.view, Qt::LeftButton, Qt::NoModifier, {400, 300});
    QTest::mouseMove(s.view, {405, 300});
    EXPECT_TRUE(s.view->Dragging());
    EXPECT_EQ(s.view->DragOffset(), QPoint(5, 0));
    QTest::mouseRelease(s.view, Qt::LeftButton, Qt::NoModifier, {405, 300});
    EXPECT_FALSE(s.view->Dragging());
    EXPECT_EQ(s.view->DragOffset(), QPoint(0, 0));
    EXPECT_EQ(map->GetZoom(), zoom);
    // The point that was under the mouse followed it (to the image pixel).
    s.Picture();
    double x1 = 0, y1 = 0;
    map->ViewToMap(x1, y1, 405, 300);
    EXPECT_NEAR(x1, x0, 1.01 * pixel);
    EXPECT_NEAR(y1, y0, 1.01 * pixel);
    map->ViewToMap(x1, y1, 400, 300);
    EXPECT_GT(x0 - x1, 3.99 * pixel);
}

TEST(ViewMapGestures, DragOfFourPixelsLetsTheZoomToolAct)
{
    EditShell s;
    s.view->SetMapTool(1);
    CMapLoader* map = s.app->GetMap();
    const double zoom = map->GetZoom();
    double x0 = 0, y0 = 0;
    map->ViewToMap(x0, y0, 0, 0);
    QTest::mousePress(s.view, Qt::LeftButton, Qt::NoModifier, {400, 300});
    QTest::mouseMove(s.view, {404, 296});
    QTest::mouseRelease(s.view, Qt::LeftButton, Qt::NoModifier, {404, 296});
    EXPECT_GT(map->GetZoom(), zoom);
}

TEST(ViewMapGestures, RightButtonZoomsOnlyWithAZoomTool)
{
    EditShell s;
    CMapLoader* map = s.app->GetMap();
    const double zoom = map->GetZoom();
    s.Click({300, 300}, Qt::RightButton);
    EXPECT_EQ(map->GetZoom(), zoom);
    s.Click({300, 300});  // select tool: a left click does not zoom either
    EXPECT_EQ(map->GetZoom(), zoom);
    s.view->SetMapTool(1);
    s.Click({300, 300}, Qt::RightButton);
    EXPECT_LT(map->GetZoom(), zoom);
    s.view->SetMapTool(2);
    s.Click({300, 300}, Qt::RightButton);
    EXPECT_EQ(map->GetZoom(), zoom);
}

TEST(ViewMapGestures, ZoomToolsShowMagnifiersCentredOnTheLens)
{
    EditShell s;
    s.view->SetMapTool(1);
    const QCursor zoomIn = s.view->cursor();
    EXPECT_EQ(zoomIn.shape(), Qt::BitmapCursor);
    EXPECT_EQ(zoomIn.hotSpot(), QPoint(11, 11));
    s.view->SetMapTool(2);
    EXPECT_EQ(s.view->cursor().shape(), Qt::BitmapCursor);
    // The two magnifiers differ (plus and minus).
    EXPECT_NE(s.view->cursor().pixmap().toImage(), zoomIn.pixmap().toImage());
    s.view->SetMapTool(3);
    EXPECT_EQ(s.view->cursor().shape(), Qt::ArrowCursor);
}

// ---- context menu and picks ----------------------------------------------------------

TEST(ViewContextMenu, SpeedItemNamesTheDefaultSpeedBeforeAndAfterItChanges)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    s.Click({200, 200});
    s.Menu(0);
    ASSERT_EQ(s.menuTexts.size(), 7);
    EXPECT_EQ(s.menuTexts[0], "移动到..");
    EXPECT_EQ(s.menuTexts[1], "以速度30.00km/h移动到");
    EXPECT_EQ(s.menuTexts[6], "删除单位");

    s.Menu(CTarnwickView::ID_MOVE_TO);
    s.Click({300, 200});
    s.Click({300, 300}, Qt::RightButton);
    EXPECT_EQ(s.speedPreset, 30.0);
    EXPECT_TRUE(s.speedBoxPreset);
    ASSERT_EQ(a->m_Actions.size(), 1u);
    s.Menu(0);
    EXPECT_EQ(s.menuTexts[1], "以速度45.00km/h移动到");
}

TEST(ViewContextMenu, SpeedBoxUncheckedKeepsTheDefault)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    s.Click({200, 200});
    s.speedBoxAnswer = false;
    s.Menu(CTarnwickView::ID_MOVE_TO);
    s.Click({300, 200}, Qt::RightButton);
    ASSERT_EQ(a->m_Actions.size(), 1u);
    EXPECT_EQ(a->m_Actions[0]->m_Speed, 45.0);
    EXPECT_EQ(s.view->DefaultSpeed(), 30.0);
}

TEST(ViewContextMenu, NotOpenedWithoutSelectionInRunModeOrWhilePicking)
{
    EditShell s;
    s.AddUnit(1, {200, 200});
    s.Menu(0);
    EXPECT_EQ(s.menuShown, 0);  // nothing selected
    s.Click({200, 200});
    s.app->m_EditMode = 0;
    s.Menu(0);
    EXPECT_EQ(s.menuShown, 0);
    s.app->m_EditMode = 1;
    s.Menu(CTarnwickView::ID_MOVE_TO);
    EXPECT_EQ(s.menuShown, 1);
    s.Menu(0);
    EXPECT_EQ(s.menuShown, 1);  // picking
}

TEST(ViewPick, ThreeClicksAndRightButtonMakeAFourPointMove)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200}, 0);
    a->AddNewAction(std::make_unique<WGAction>())->m_ActionNo = 4;
    s.Click({200, 200});
    const double ux = a->m_CurX, uy = a->m_CurY;
    s.Menu(CTarnwickView::ID_MOVE_AT_SPEED);
    EXPECT_TRUE(s.view->PickActive());
    EXPECT_EQ(s.view->PickMode(), 1);
    EXPECT_EQ(s.view->SpeedGiven(), 1);
    const QPoint clicks[3] = {{300, 200}, {350, 250}, {420, 260}};
    for (QPoint p : clicks)
        s.Click(p);
    // Clicks while picking neither select nor drag nor move the unit.
    EXPECT_FALSE(s.view->Dragging());
    EXPECT_EQ(a->m_CurX, ux);
    EXPECT_EQ(a->m_Actions.size(), 1u);
    s.Click({500, 500}, Qt::RightButton);

    EXPECT_FALSE(s.view->PickActive());
    EXPECT_EQ(s.speedAsked, 0);  // the default speed was given
    ASSERT_EQ(a->m_Actions.size(), 2u);
    WGAction* move = s.LastAction(a);
    EXPECT_EQ(move->m_ActionType, 1);
    EXPECT_EQ(move->m_ActionName, "移动");
    EXPECT_EQ(move->m_ActionNo, 5);
    EXPECT_EQ(move->m_ActionTime, 0);
    EXPECT_EQ(move->m_Speed, 30.0);
    EXPECT_EQ(move->GetActingUnit(), a);
    ASSERT_EQ(move->m_Routes.size(), 1u);
    const auto& pts = move->m_Routes[0]->m_Points;
    ASSERT_EQ(pts.size(), 4u);  // the right click adds no point
    EXPECT_EQ(pts[0].X, ux);
    EXPECT_EQ(pts[0].Y, uy);
    for (int i = 0; i < 3; ++i) {
        double x = 0, y = 0;
        s.app->GetMap()->ViewToMap(x, y, clicks[i].x(), clicks[i].y());
        EXPECT_EQ(pts[i + 1].X, x);
        EXPECT_EQ(pts[i + 1].Y, y);
        EXPECT_EQ(pts[i + 1].Z, 0.0);
    }
}

TEST(ViewPick, EscapeEndsThePickAndCreatesNothing)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    s.Click({200, 200});
    s.Menu(CTarnwickView::ID_MOVE_TO);
    s.Click({300, 200});
    s.Click({350, 250});
    QTest::keyClick(s.view, Qt::Key_Escape);
    EXPECT_FALSE(s.view->PickActive());
    EXPECT_EQ(s.view->PickMode(), 0);
    EXPECT_EQ(s.view->PickedPoints().size(), 3u);  // kept until the next pick
    s.Click({400, 300}, Qt::RightButton);
    EXPECT_TRUE(a->m_Actions.empty());
    EXPECT_EQ(s.speedAsked, 0);
}

TEST(ViewPick, CancelledSpeedDialogCreatesNoMove)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    s.Click({200, 200});
    s.speedAccept = false;
    s.Menu(CTarnwickView::ID_MOVE_TO);
    s.Click({300, 200});
    s.Click({300, 200}, Qt::RightButton);
    EXPECT_EQ(s.speedAsked, 1);
    EXPECT_TRUE(a->m_Actions.empty());
    EXPECT_FALSE(s.view->PickActive());
    EXPECT_EQ(s.view->DefaultSpeed(), 30.0);
}

TEST(ViewPick, StrikeTargetIsTheFirstLeftClick)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    s.Click({200, 200});
    s.Menu(CTarnwickView::ID_STRIKE);
    EXPECT_EQ(s.view->PickMode(), 2);
    s.Click({450, 320});
    EXPECT_FALSE(s.view->PickActive());
    ASSERT_EQ(a->m_Actions.size(), 1u);
    WGAction* strike = a->m_Actions[0].get();
    EXPECT_EQ(strike->m_ActionType, 2);
    EXPECT_EQ(strike->m_ActionName, "打击");
    EXPECT_EQ(strike->m_BulletType, "03.01");
    EXPECT_EQ(strike->m_HitTime, 3);
    ASSERT_EQ(strike->m_Routes.size(), 1u);
    ASSERT_EQ(strike->m_Routes[0]->m_Points.size(), 1u);
    double x = 0, y = 0;
    s.app->GetMap()->ViewToMap(x, y, 450, 320);
    EXPECT_EQ(strike->m_Routes[0]->m_Points[0].X, x);
    EXPECT_EQ(strike->m_Routes[0]->m_Points[0].Y, y);
    // The click did not deselect the striker.
    EXPECT_EQ(a->m_Selected, 1);
}

TEST(ViewPick, UnloadAtTheClickedPointWithTheChosenUnit)
{
    EditShell s;
    CUnitCanLoad* carrier = s.AddUnit(1, {200, 200}, 0, "01.01");
    s.AddUnit(2, {300, 300});
    s.Click({200, 200});
    s.targetAnswer = 2;
    s.Menu(CTarnwickView::ID_UNLOAD);
    EXPECT_EQ(s.view->PickMode(), 5);
    EXPECT_EQ(s.view->SpeedGiven(), 0);
    s.Click({250, 260});
    ASSERT_EQ(carrier->m_Actions.size(), 1u);
    WGAction* unload = carrier->m_Actions[0].get();
    EXPECT_EQ(unload->m_ActionType, 5);
    EXPECT_EQ(unload->m_ActionName, "卸载");
    EXPECT_EQ(unload->m_UnitNo, 2);
    ASSERT_EQ(unload->m_Routes.size(), 1u);
    EXPECT_EQ(unload->m_Routes[0]->m_Points.size(), 1u);
}

TEST(ViewPick, RightButtonCancelsAStrikePickWithoutCreatingAMove)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    s.Click({200, 200});
    s.Menu(CTarnwickView::ID_STRIKE);
    s.Click({300, 300}, Qt::RightButton);
    EXPECT_FALSE(s.view->PickActive());
    EXPECT_EQ(s.view->PickMode(), 0);
    EXPECT_TRUE(a->m_Actions.empty());
    EXPECT_EQ(s.speedAsked, 0);
    EXPECT_EQ(s.strikeAsked, 0);
    // A later left click selects again instead of striking.
    s.Click({600, 500});
    EXPECT_EQ(a->m_Selected, 0);
    EXPECT_TRUE(a->m_Actions.empty());
}

TEST(ViewPick, NewPickStartsFromTheSelectedUnitAgain)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    s.Click({200, 200});
    s.Menu(CTarnwickView::ID_MOVE_TO);
    s.Click({300, 200});
    QTest::keyClick(s.view, Qt::Key_Escape);
    s.Menu(CTarnwickView::ID_UNLOAD);
    ASSERT_EQ(s.view->PickedPoints().size(), 1u);
    EXPECT_EQ(s.view->PickedPoints()[0].X, a->m_CurX);
    EXPECT_EQ(s.view->PickedPoints()[0].Y, a->m_CurY);
}

TEST(ViewMousePosition, CatalogueDragOverTheViewFeedsTheMapPosition)
{
    EditShell s;
    s.Picture();
    s.view->OnCatalogueDragAt(s.view->mapToGlobal(QPoint(123, 45)));
    double x = 0, y = 0;
    s.app->GetMap()->ViewToMap(x, y, 123, 45);
    EXPECT_EQ(s.app->m_MouseX, x);
    EXPECT_EQ(s.app->m_MouseY, y);
}

TEST(ViewLoad, LoadingTheUnitIntoItselfIsRefused)
{
    EditShell s;
    CUnitCanLoad* carrier = s.AddUnit(1, {200, 200}, 0, "01.01");
    s.Click({200, 200});
    s.targetAnswer = 1;
    s.Menu(CTarnwickView::ID_LOAD);
    EXPECT_EQ(s.targetAsked, 1);
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "不能装载自己!");
    EXPECT_EQ(s.reporter.messages[0].caption, "错误");
    EXPECT_TRUE(carrier->m_Actions.empty());
}

TEST(ViewLoad, LoadingAnotherUnitAddsALoadAction)
{
    EditShell s;
    CUnitCanLoad* carrier = s.AddUnit(1, {200, 200}, 0, "01.01");
    s.AddUnit(2, {300, 300});
    s.Click({200, 200});
    s.targetAnswer = 2;
    s.Menu(CTarnwickView::ID_LOAD);
    ASSERT_EQ(carrier->m_Actions.size(), 1u);
    EXPECT_EQ(carrier->m_Actions[0]->m_ActionType, 4);
    EXPECT_EQ(carrier->m_Actions[0]->m_ActionName, "装载");
    EXPECT_EQ(carrier->m_Actions[0]->m_UnitNo, 2);
    EXPECT_TRUE(carrier->m_Actions[0]->m_Routes.empty());
    EXPECT_TRUE(s.reporter.messages.empty());
}

// ---- delete and drop -----------------------------------------------------------------

TEST(ViewDelete, DeleteWithoutSelectionAsksNothing)
{
    EditShell s;
    s.AddUnit(1, {200, 200});
    QTest::keyClick(s.view, Qt::Key_Delete);
    EXPECT_TRUE(s.reporter.messages.empty());
    EXPECT_EQ(s.layer->GetUnitCount(), 1u);
}

TEST(ViewDelete, DeleteAsksAndRemovesOnYesOnly)
{
    EditShell s;
    s.AddUnit(1, {200, 200});
    s.AddUnit(2, {400, 300});
    s.Click({200, 200});
    s.reporter.answers.push_back(MessageAnswer::No);
    QTest::keyClick(s.view, Qt::Key_Delete);
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "确实要删除吗(Y/N?)");
    EXPECT_EQ(s.reporter.messages[0].caption, "提示");
    EXPECT_EQ(s.reporter.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(s.layer->GetUnitCount(), 2u);

    s.reporter.answers.push_back(MessageAnswer::Yes);
    s.Menu(CTarnwickView::ID_DELETE_UNIT);
    ASSERT_EQ(s.layer->GetUnitCount(), 1u);
    EXPECT_EQ(s.layer->GetUnitAt(0)->m_UnitNo, 2);
}

TEST(ViewDrop, DroppedUnitIsNumberedAfterTheLargestIgnoringFireUnits)
{
    EditShell s;
    s.AddUnit(7, {100, 100});
    s.AddUnit(3, {150, 100});
    auto fire = std::make_unique<UnitFire>();
    fire->m_UnitNo = kFireUnitNo;
    s.layer->AddUnit(std::move(fire));
    UnitClassInfo* info = s.app->m_UnitClassCatalog.FindUnitClassById("02-02.01");
    ASSERT_NE(info, nullptr);
    s.app->m_MouseX = 12.5;
    s.app->m_MouseY = 7.25;
    ASSERT_TRUE(s.view->DropUnitClass(s.view->mapToGlobal(QPoint(300, 300)), *info));
    CUnitCanLoad* unit = s.layer->GetUnitAt(s.layer->GetUnitCount() - 1);
    EXPECT_EQ(unit->m_UnitNo, 8);
    EXPECT_EQ(unit->m_UnitName, info->name);
    EXPECT_EQ(unit->m_ClassId, "02-02.01");
    EXPECT_EQ(unit->m_UnitType, kUnitTypeSingleSimple);
    EXPECT_EQ(unit->m_ClassInfo, info);
    EXPECT_EQ(unit->m_CurX, 12.5);
    EXPECT_EQ(unit->m_InitY, 7.25);
    EXPECT_EQ(unit->m_AppearTime, 0);
    EXPECT_FALSE(unit->m_RectTracker.m_handlesInside);
    EXPECT_EQ(unit->m_ImageWidth, unit->m_Image.width());
}

TEST(ViewDrop, DropOutsideTheViewOrOfAnUnknownCodeAddsNothing)
{
    EditShell s;
    UnitClassInfo* info = s.app->m_UnitClassCatalog.FindUnitClassById("01.01");
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(s.view->DropUnitClass(s.view->mapToGlobal(QPoint(900, 300)), *info));
    UnitClassInfo odd = *info;
    odd.classCode = "04";
    EXPECT_FALSE(s.view->DropUnitClass(s.view->mapToGlobal(QPoint(300, 300)), odd));
    EXPECT_EQ(s.layer->GetUnitCount(), 0u);
    ASSERT_TRUE(s.view->DropUnitClass(s.view->mapToGlobal(QPoint(300, 300)), *info));
    EXPECT_EQ(s.layer->GetUnitAt(0)->m_UnitNo, 1);
    EXPECT_EQ(s.layer->GetUnitAt(0)->m_UnitType, kUnitTypeCarrier);
}

// ---- route-select hand-off and printing ----------------------------------------------

TEST(ViewRouteSelect, ClickWhilePickingForTheRouteDialogSendsThePointOnly)
{
    EditShell s;
    CUnitCanLoad* a = s.AddUnit(1, {200, 200});
    s.app->m_RouteSelectPick = 1;
    double got[3] = {-1, -1, -1};
    QObject::connect(s.view, &CTarnwickView::routePointPicked, [&](double x, double y, double z) {
        got[0] = x, got[1] = y, got[2] = z;
    });
    s.Click({200, 200});
    double x = 0, y = 0;
    s.app->GetMap()->ViewToMap(x, y, 200, 200);
    EXPECT_EQ(got[0], x);
    EXPECT_EQ(got[1], y);
    EXPECT_EQ(got[2], 0.0);
    EXPECT_EQ(a->m_Selected, 0);  // no selection
}

TEST(ViewPrinting, PrintsTheViewIntoAPdf)
{
    EditShell s;
    s.AddUnit(1, {200, 200});
    TestDir dir;
    const QString path = dir.path() + "/view.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    s.frame->PrintView(printer);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(4) == "%PDF");
    EXPECT_GT(f.size(), 1000);
}

TEST(ViewPrinting, CtrlPGoesThroughThePrintCommand)
{
    EditShell s;
    int printed = 0;
    s.frame->GetDialogs().print = [&] { ++printed; };
    QAction* print = s.frame->Action(CMainFrame::ID_FILE_PRINT);
    ASSERT_NE(print, nullptr);
    EXPECT_EQ(print->shortcut(), QKeySequence("Ctrl+P"));
    print->trigger();
    EXPECT_EQ(printed, 1);
}
