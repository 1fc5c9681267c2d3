// The host window's notifications, point and direction picks, marker
// blinking and the overview window.

#include "GisTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include <cfloat>
#include <cmath>
#include <functional>
#include <vector>

using namespace gistest;

namespace {

struct Call {
    std::string what;
    uint32_t a = 0, shift = 0;
    int x = 0, y = 0, x2 = 0, y2 = 0;
    double mx = 0, my = 0, mx2 = 0, my2 = 0, radius = 0;
    int selectedThen = -1;
};

// Records every notification, with the selection count at the time.
class Recorder : public IGisDriverCallback {
public:
    std::vector<Call> calls;
    std::vector<Call> of(const std::string& what) const
    {
        std::vector<Call> r;
        for (const Call& c : calls)
            if (c.what == what)
                r.push_back(c);
        return r;
    }
    void OnRButtonUp(uint32_t b, uint32_t s, int32_t x, int32_t y, double mx, double my, double, uint32_t) override
    {
        calls.push_back({"RUp", b, s, x, y, 0, 0, mx, my});
    }
    void OnLButtonUp(uint32_t b, uint32_t s, int32_t x, int32_t y, double mx, double my, double, uint32_t) override
    {
        calls.push_back({"LUp", b, s, x, y, 0, 0, mx, my});
    }
    void OnLButtonDown(uint32_t b, uint32_t s, int32_t x, int32_t y, double mx, double my, double, uint32_t) override
    {
        calls.push_back({"LDown", b, s, x, y, 0, 0, mx, my});
    }
    void OnRectSelect(uint32_t one, uint32_t s, int32_t x1, int32_t y1, double mx1, double my1, double, int32_t x2,
                      int32_t y2, double mx2, double my2, double, uint32_t) override
    {
        calls.push_back({"Rect", one, s, x1, y1, x2, y2, mx1, my1, mx2, my2, 0, GISDriverGetSelectCount()});
    }
    void OnRadiusSelect(uint32_t one, uint32_t s, int32_t x, int32_t y, double mx, double my, double, double r,
                        uint32_t) override
    {
        calls.push_back({"Radius", one, s, x, y, 0, 0, mx, my, 0, 0, r, GISDriverGetSelectCount()});
    }
    void OnSelectionChanged(uint32_t zero) override { calls.push_back({"Sel", zero}); }
    void OnObjectMoved(uint32_t id, int32_t x, int32_t y, double mx, double my, uint32_t, uint32_t, uint32_t) override
    {
        calls.push_back({"Moved", id, 0, x, y, 0, 0, mx, my});
    }
    void OnObjectPicked(uint32_t id, uint32_t) override { calls.push_back({"Picked", id}); }
    void OnDoubleClick(uint32_t b, uint32_t s, int32_t x, int32_t y, double mx, double my, double, uint32_t) override
    {
        calls.push_back({"Dbl", b, s, x, y, 0, 0, mx, my});
    }
    void OnMapViewChanged() override { calls.push_back({"View"}); }
};

void send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
          Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick
        ? Qt::MouseButtons(button)
        : Qt::MouseButtons(Qt::NoButton);
    QMouseEvent e(type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held, mods);
    QCoreApplication::sendEvent(w, &e);
}

void click(QWidget* w, QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    send(w, QEvent::MouseButtonPress, at, button, mods);
    send(w, QEvent::MouseButtonRelease, at, button, mods);
}

// Runs `action` from the event loop once a pick has started waiting.
void whilePicking(std::function<void()> action)
{
    QTimer::singleShot(0, qApp, std::move(action));
}

void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QWidget* overviewWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle().startsWith(QStringLiteral("鹰眼窗口")))
            return w;
    return nullptr;
}

class CartolinkWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(driver.initResult(), CARTOLINK_OK);
        ASSERT_EQ(GisDriverLoadMap(writePlainSet(dir).c_str()), CARTOLINK_OK);
        ASSERT_EQ(GISDriverMoveMap(117.2, 36.1), CARTOLINK_OK);
        ASSERT_EQ(GisDriverZoomTo(40.0), CARTOLINK_OK);
        ctl = driver.control();
        ASSERT_NE(ctl, nullptr);
        deg = toMap(1, 0).x() - toMap(0, 0).x();
    }
    uint32_t addMarker(QPoint px)
    {
        const QPointF m = toMap(px.x(), px.y());
        uint32_t id = 0;
        EXPECT_EQ(GisDriverAddObjectToMap(&id, CARTOLINK_KIND_MARKER, m.x(), m.y(), 0, 0, "m", nullptr), CARTOLINK_OK);
        return id;
    }
    // A direction pick from map point (117.2, 36.1), which the pick puts in the
    // middle of the view; `during` gets that origin pixel.
    int directionPick(const std::function<void(QPoint)>& during, double* dx, double* dy)
    {
        double reserved = 7;
        whilePicking([&] { during(QPoint(200, 150)); });
        const int rc = GisDriverGetDirectFromPoint(117.2, 36.1, 0.0, dx, dy, &reserved);
        if (rc == CARTOLINK_OK) {
            EXPECT_EQ(reserved, 0.0);
        }
        return rc;
    }
    QString shownAngle(QPoint origin, QPoint cursor)
    {
        send(ctl, QEvent::MouseMove, origin + cursor, Qt::NoButton);
        (void)ctl->grab(); // paints, overlay included
        return ctl->accessibleDescription();
    }

    TestDir dir;
    Recorder rec;
    Driver driver{400, 300, &rec};
    QWidget* ctl = nullptr;
    double deg = 0;
};

} // namespace

TEST_F(CartolinkWindows, MouseRecordsCarryButtonShiftPixelsAndMapPoint)
{
    send(ctl, QEvent::MouseButtonPress, {30, 40}, Qt::LeftButton, Qt::ShiftModifier);
    send(ctl, QEvent::MouseButtonRelease, {30, 40}, Qt::LeftButton, Qt::ShiftModifier);
    click(ctl, {50, 60}, Qt::RightButton, Qt::ControlModifier);
    send(ctl, QEvent::MouseButtonDblClick, {70, 80}, Qt::LeftButton);
    const QPointF m = toMap(30, 40);
    ASSERT_EQ(rec.of("LDown").size(), 1u);
    const Call down = rec.of("LDown")[0];
    EXPECT_EQ(down.a, 1u);
    EXPECT_EQ(down.shift, 1u);
    EXPECT_EQ(down.x, 30);
    EXPECT_EQ(down.y, 40);
    EXPECT_DOUBLE_EQ(down.mx, m.x());
    EXPECT_DOUBLE_EQ(down.my, m.y());
    ASSERT_EQ(rec.of("LUp").size(), 1u);
    EXPECT_EQ(rec.of("LUp")[0].a, 1u);
    EXPECT_DOUBLE_EQ(rec.of("LUp")[0].my, m.y());
    ASSERT_EQ(rec.of("RUp").size(), 1u);
    EXPECT_EQ(rec.of("RUp")[0].a, 2u);
    EXPECT_EQ(rec.of("RUp")[0].shift, 2u);
    EXPECT_EQ(rec.of("RUp")[0].x, 50);
    // A right press is not reported.
    EXPECT_EQ(rec.of("LDown").size(), 1u);
    ASSERT_EQ(rec.of("Dbl").size(), 1u);
    EXPECT_EQ(rec.of("Dbl")[0].a, 1u);
    EXPECT_EQ(rec.of("Dbl")[0].shift, 0u);
    EXPECT_EQ(rec.of("Dbl")[0].y, 80);
    EXPECT_DOUBLE_EQ(rec.of("Dbl")[0].mx, toMap(70, 80).x());
}

TEST_F(CartolinkWindows, RectangleSelectionIsReportedWithSelectionAlreadySet)
{
    const uint32_t inside = addMarker({100, 100});
    addMarker({300, 250});
    ASSERT_EQ(GisDriverSetCurrentTool(CARTOLINK_TOOL_RECT_SELECT), CARTOLINK_OK);
    drag(ctl, {50, 60}, {150, 160});
    const auto rects = rec.of("Rect");
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].a, 1u);
    EXPECT_EQ(rects[0].selectedThen, 1);
    EXPECT_EQ(rects[0].x, 50);
    EXPECT_EQ(rects[0].y, 60);
    EXPECT_EQ(rects[0].x2, 150);
    EXPECT_EQ(rects[0].y2, 160);
    EXPECT_DOUBLE_EQ(rects[0].mx, toMap(50, 60).x());
    EXPECT_DOUBLE_EQ(rects[0].my2, toMap(150, 160).y());
    uint32_t id = 0;
    ASSERT_EQ(GISDriverGetSelectItem(1, &id), CARTOLINK_OK);
    EXPECT_EQ(id, inside);
}

TEST_F(CartolinkWindows, RadiusSelectionIsReportedWithItsRadiusOnlyWhenDragged)
{
    addMarker({200, 150});
    addMarker({230, 150});
    addMarker({380, 20});
    ASSERT_EQ(GisDriverSetCurrentTool(CARTOLINK_TOOL_RADIUS_SELECT), CARTOLINK_OK);
    drag(ctl, {200, 150}, {240, 150});
    auto radii = rec.of("Radius");
    ASSERT_EQ(radii.size(), 1u);
    EXPECT_EQ(radii[0].selectedThen, 2);
    EXPECT_EQ(radii[0].x, 200);
    EXPECT_EQ(radii[0].y, 150);
    EXPECT_NEAR(radii[0].radius, 40 * deg, 1e-9);
    // No radius, no report.
    drag(ctl, {100, 100}, {100, 100});
    EXPECT_EQ(rec.of("Radius").size(), 1u);
}

TEST_F(CartolinkWindows, PointToolReportsThePickedObjectOnlyInNormalStatus)
{
    const uint32_t id = addMarker({120, 90});
    ASSERT_EQ(GisDriverSetCurrentTool(CARTOLINK_TOOL_PICK_OBJECT), CARTOLINK_OK);
    click(ctl, {300, 200}, Qt::LeftButton);
    EXPECT_TRUE(rec.of("Picked").empty());
    click(ctl, {121, 91}, Qt::LeftButton);
    ASSERT_EQ(rec.of("Picked").size(), 1u);
    EXPECT_EQ(rec.of("Picked")[0].a, id);
    EXPECT_EQ(GISDriverGetSelectCount(), 1);
    ASSERT_EQ(GisDriverSetMapStatus(CARTOLINK_STATUS_EDIT), CARTOLINK_OK);
    click(ctl, {121, 91}, Qt::LeftButton);
    EXPECT_EQ(rec.of("Picked").size(), 1u);
}

TEST_F(CartolinkWindows, DraggedObjectIsReportedAtItsNewCentre)
{
    ASSERT_EQ(GisDriverSetMapStatus(CARTOLINK_STATUS_EDIT), CARTOLINK_OK);
    const uint32_t id = addMarker({200, 150});
    const uint32_t other = addMarker({50, 50});
    drag(ctl, {200, 150}, {260, 110});
    const auto moved = rec.of("Moved");
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].a, id);
    EXPECT_EQ(moved[0].x, 260);
    EXPECT_EQ(moved[0].y, 110);
    const QPointF want = toMap(260, 110);
    EXPECT_NEAR(moved[0].mx, want.x(), 1e-9);
    EXPECT_NEAR(moved[0].my, want.y(), 1e-9);
    // The object really is there: a centring on it puts that point in the middle.
    ASSERT_EQ(GisDriverCenterObject(id, 0.0), CARTOLINK_OK);
    EXPECT_NEAR(toMap(200, 150).x(), want.x(), deg);
    // The selection changed in edit status; a plain click on nothing moves nothing.
    EXPECT_FALSE(rec.of("Sel").empty());
    drag(ctl, {10, 290}, {20, 280});
    EXPECT_EQ(rec.of("Moved").size(), 1u);
    (void)other;
}

TEST_F(CartolinkWindows, PointPickAnsweredByLeftClickMarksAndCentresThePoint)
{
    const QPointF want = toMap(100, 80);
    int second = 0;
    whilePicking([&] {
        double a = 0, b = 0, c = 0;
        second = GISDriverGetPoint(&a, &b);
        EXPECT_EQ(GisDriverGetDirectFromPoint(117.2, 36.1, 0, &a, &b, &c), CARTOLINK_E_NOTINIT);
        click(ctl, {100, 80}, Qt::LeftButton);
    });
    double x = 0, y = 0;
    ASSERT_EQ(GISDriverGetPoint(&x, &y), CARTOLINK_OK);
    EXPECT_EQ(second, CARTOLINK_E_NOTINIT);
    EXPECT_DOUBLE_EQ(x, want.x());
    EXPECT_DOUBLE_EQ(y, want.y());
    // Releases during a pick are not reported as clicks.
    EXPECT_TRUE(rec.of("LUp").empty());
    // The map is centred on the point and a green marker sits there.
    EXPECT_NEAR(toMap(200, 150).x(), want.x(), deg);
    const QImage img = exportPicture(400, 300);
    EXPECT_TRUE(anyNear(img, {200, 152}, QColor(0, 255, 0), 3));
    // Picks can run again afterwards.
    whilePicking([&] { click(ctl, {10, 10}, Qt::RightButton); });
    EXPECT_EQ(GISDriverGetPoint(&x, &y), CARTOLINK_E_CANCELLED);
}

TEST_F(CartolinkWindows, PointPickCancelledByRightClickWritesNothing)
{
    uint32_t probe = 0;
    ASSERT_EQ(GisDriverAddObjectToMap(&probe, CARTOLINK_KIND_MARKER, 0, 0, 0, 0, "p", nullptr), CARTOLINK_OK);
    whilePicking([&] { click(ctl, {100, 80}, Qt::RightButton); });
    double x = 11, y = 22;
    EXPECT_EQ(GISDriverGetPoint(&x, &y), CARTOLINK_E_CANCELLED);
    EXPECT_EQ(x, 11);
    EXPECT_EQ(y, 22);
    EXPECT_TRUE(rec.of("RUp").empty());
    // No marker was added: the next object gets the very next identifier.
    uint32_t next = 0;
    ASSERT_EQ(GisDriverAddObjectToMap(&next, CARTOLINK_KIND_MARKER, 0, 0, 0, 0, "p", nullptr), CARTOLINK_OK);
    EXPECT_EQ(next, probe + 1);
}

TEST_F(CartolinkWindows, DirectionPickWithCtrlSnapsFortyRightTenUpToZeroDegrees)
{
    QPoint origin;
    double dx = 5, dy = 5;
    ASSERT_EQ(directionPick(
                  [&](QPoint o) {
                      origin = o;
                      send(ctl, QEvent::MouseMove, o + QPoint(40, -10), Qt::NoButton, Qt::ControlModifier);
                      click(ctl, o + QPoint(40, -10), Qt::LeftButton, Qt::ControlModifier);
                  },
                  &dx, &dy),
              CARTOLINK_OK);
    const QPointF end = toMap(origin.x() + 41, origin.y());
    EXPECT_NEAR(dx, end.x() - 117.2, 1e-9);
    EXPECT_NEAR(dy, end.y() - 36.1, 1e-9);
    EXPECT_NEAR(dy, 0.0, deg / 2);
}

TEST_F(CartolinkWindows, DirectionPickWithoutCtrlGivesTheReleasePoint)
{
    QPoint origin;
    double dx = 0, dy = 0;
    ASSERT_EQ(directionPick(
                  [&](QPoint o) {
                      origin = o;
                      click(ctl, o + QPoint(-30, 25), Qt::LeftButton);
                  },
                  &dx, &dy),
              CARTOLINK_OK);
    EXPECT_NEAR(dx, -30 * deg, deg / 2);
    EXPECT_NEAR(dy, -25 * deg, deg / 2);
}

TEST_F(CartolinkWindows, DirectionPickCancelledAndRefusedWhileAnotherRuns)
{
    int nested = 0;
    double dx = 3, dy = 4;
    EXPECT_EQ(directionPick(
                  [&](QPoint o) {
                      double a = 0, b = 0;
                      nested = GISDriverGetPoint(&a, &b);
                      click(ctl, o + QPoint(20, 20), Qt::RightButton);
                  },
                  &dx, &dy),
              CARTOLINK_E_CANCELLED);
    EXPECT_EQ(nested, CARTOLINK_E_NOTINIT);
    EXPECT_EQ(dx, 3);
    EXPECT_EQ(dy, 4);
}

TEST_F(CartolinkWindows, DirectionOverlayShowsAnglesStraightUpDownAndLeft)
{
    QString up, down, left, snapped, diagonal;
    double dx = 0, dy = 0;
    ASSERT_EQ(directionPick(
                  [&](QPoint o) {
                      up = shownAngle(o, {0, -30});
                      down = shownAngle(o, {0, 30});
                      left = shownAngle(o, {-30, 0});
                      diagonal = shownAngle(o, {-30, 30});
                      send(ctl, QEvent::MouseMove, o + QPoint(40, -10), Qt::NoButton, Qt::ControlModifier);
                      (void)ctl->grab();
                      snapped = ctl->accessibleDescription();
                      click(ctl, o, Qt::RightButton);
                  },
                  &dx, &dy),
              CARTOLINK_E_CANCELLED);
    EXPECT_EQ(up, QStringLiteral("角度: 90.000000"));
    EXPECT_EQ(down, QStringLiteral("角度: 270.000000"));
    EXPECT_EQ(left, QStringLiteral("角度: 180.000000"));
    EXPECT_EQ(snapped, QStringLiteral("角度: 0.000000"));
    // Down-left: 45 degrees (pi as 3.1416) turned into the third quadrant.
    const double want = std::atan(1.0) * 180.0 / 3.1416 + 180.0;
    EXPECT_EQ(diagonal, QString::asprintf("角度: %f", want));
}

TEST_F(CartolinkWindows, DirectionOverlayIsDrawnOnlyDuringThePick)
{
    QImage during;
    double dx = 0, dy = 0;
    QPoint origin;
    ASSERT_EQ(directionPick(
                  [&](QPoint o) {
                      origin = o;
                      send(ctl, QEvent::MouseMove, o + QPoint(80, 0), Qt::NoButton);
                      during = ctl->grab().toImage();
                      click(ctl, o + QPoint(80, 0), Qt::LeftButton);
                  },
                  &dx, &dy),
              CARTOLINK_OK);
    // Green line along the row, red circle at the end, black cross at the origin.
    EXPECT_TRUE(anyNear(during, origin + QPoint(40, 0), QColor(0, 255, 0), 1));
    EXPECT_TRUE(anyNear(during, origin + QPoint(80, -5), QColor(255, 0, 0), 1));
    EXPECT_TRUE(anyNear(during, origin + QPoint(0, -20), QColor(0, 0, 0), 1, 60));
    const QImage after = ctl->grab().toImage();
    EXPECT_FALSE(anyNear(after, origin + QPoint(40, 0), QColor(0, 255, 0), 1));
}

TEST_F(CartolinkWindows, MarkersBlinkButNotWhileTheLeftButtonIsHeld)
{
    addMarker({200, 150});
    const QColor magenta(255, 0, 255), green(0, 255, 0);
    ASSERT_TRUE(anyNear(exportPicture(400, 300), {200, 152}, magenta, 2));
    // Hold the button (on empty map): nothing changes for longer than a period.
    send(ctl, QEvent::MouseButtonPress, {20, 20}, Qt::LeftButton);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1500) {
        pump(100);
        ASSERT_TRUE(anyNear(exportPicture(400, 300), {200, 152}, magenta, 2)) << t.elapsed();
    }
    send(ctl, QEvent::MouseButtonRelease, {20, 20}, Qt::LeftButton);
    // Released: the colour complement (0xFF00FF -> 0x00FF00) appears within a period.
    t.restart();
    bool blinked = false;
    while (!blinked && t.elapsed() < 2500) {
        pump(50);
        blinked = anyNear(exportPicture(400, 300), {200, 152}, green, 2);
    }
    EXPECT_TRUE(blinked);
}

TEST(CartolinkOverviewAlone, RefusedWithoutAMap)
{
    EXPECT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_E_NOTINIT);
    Driver d(300, 200);
    ASSERT_EQ(d.initResult(), CARTOLINK_OK);
    EXPECT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_E_FAILED);
    EXPECT_EQ(GISDriverShowEagleWindow(0), CARTOLINK_OK);
    EXPECT_EQ(overviewWindow(), nullptr);
}

TEST_F(CartolinkWindows, OverviewFactorChangesWithShiftClicksAndStopsAtFive)
{
    ASSERT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_OK);
    QWidget* wnd = overviewWindow();
    ASSERT_NE(wnd, nullptr);
    EXPECT_TRUE(wnd->isVisible());
    EXPECT_TRUE(wnd->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(wnd->windowTitle(), QStringLiteral("鹰眼窗口(缩小 5 倍)"));
    QWidget* octl = wnd->findChild<QWidget*>(QStringLiteral("OrlanGISCtrl"));
    ASSERT_NE(octl, nullptr);
    click(octl, {20, 20}, Qt::RightButton, Qt::ShiftModifier);
    EXPECT_EQ(wnd->windowTitle(), QStringLiteral("鹰眼窗口(缩小 5 倍)"));
    click(octl, {20, 20}, Qt::LeftButton, Qt::ShiftModifier);
    click(octl, {20, 20}, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(wnd->windowTitle(), QStringLiteral("鹰眼窗口(缩小 7 倍)"));
    click(octl, {20, 20}, Qt::RightButton, Qt::ShiftModifier);
    click(octl, {20, 20}, Qt::RightButton, Qt::ShiftModifier);
    click(octl, {20, 20}, Qt::RightButton, Qt::ShiftModifier);
    EXPECT_EQ(wnd->windowTitle(), QStringLiteral("鹰眼窗口(缩小 5 倍)"));
    // Shift-clicks do not move the main map.
    EXPECT_TRUE(rec.of("View").empty());
    EXPECT_EQ(GISDriverShowEagleWindow(0), CARTOLINK_OK);
    EXPECT_FALSE(wnd->isVisible());
}

TEST_F(CartolinkWindows, OverviewClickRecentresTheMainMapAndReportsIt)
{
    ASSERT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_OK);
    QWidget* wnd = overviewWindow();
    ASSERT_NE(wnd, nullptr);
    QWidget* octl = wnd->findChild<QWidget*>(QStringLiteral("OrlanGISCtrl"));
    ASSERT_NE(octl, nullptr);
    const double zoom = GisDriverGetZoom();
    const QPointF before = toMap(200, 150);
    // The overview follows the main map: its centre shows the main map's centre.
    const QPoint mid(octl->width() / 2, octl->height() / 2);
    click(octl, mid, Qt::LeftButton);
    ASSERT_EQ(rec.of("View").size(), 1u);
    EXPECT_NEAR(toMap(200, 150).x(), before.x(), 5 * deg * 5);
    EXPECT_NEAR(toMap(200, 150).y(), before.y(), 5 * deg * 5);
    // A click up and left of the middle moves the main map up and left.
    click(octl, mid - QPoint(40, 30), Qt::LeftButton);
    ASSERT_EQ(rec.of("View").size(), 2u);
    const QPointF after = toMap(200, 150);
    EXPECT_LT(after.x(), before.x() - 10 * deg);
    EXPECT_GT(after.y(), before.y() + 10 * deg);
    EXPECT_NEAR(GisDriverGetZoom(), zoom, 1e-9);
}

TEST_F(CartolinkWindows, OverviewDrawsTheMainViewAsARectangleReducedByItsFactor)
{
    // Small enough that five times the view stays below the whole map set's extent.
    ASSERT_EQ(GisDriverZoomTo(10.0), CARTOLINK_OK);
    ASSERT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_OK);
    QWidget* octl = overviewWindow()->findChild<QWidget*>(QStringLiteral("OrlanGISCtrl"));
    ASSERT_NE(octl, nullptr);
    const QImage img = octl->grab().toImage();
    // The view rectangle (red outline) is centred and a fifth of the overview's width.
    const QRect box = boxOf(img, QColor(255, 0, 0));
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(box.center().x(), octl->width() / 2, 3);
    EXPECT_NEAR(box.center().y(), octl->height() / 2, 3);
    EXPECT_NEAR(box.width(), octl->width() / 5.0, 3);
    // It follows a change of the main view.
    ASSERT_EQ(GisDriverZoomTo(5.0), CARTOLINK_OK);
    const QRect smaller = boxOf(octl->grab().toImage(), QColor(255, 0, 0));
    EXPECT_NEAR(smaller.width(), octl->width() / 5.0, 3); // the overview zoomed with it
    // A fifth of the main map's shift, while the centre stays inside the overview.
    ASSERT_EQ(GisDriverPan(100.0f, 0.0f), CARTOLINK_OK);
    const QRect panned = boxOf(octl->grab().toImage(), QColor(255, 0, 0));
    EXPECT_NEAR(panned.center().x(), octl->width() / 2 + 100.0 * octl->width() / (400 * 5), 2);
}

TEST_F(CartolinkWindows, OverviewIsRebuiltForANewMapAndGoneAfterUnInit)
{
    ASSERT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_OK);
    QPointer<QWidget> first = overviewWindow();
    ASSERT_TRUE(first);
    ASSERT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_OK);
    EXPECT_EQ(overviewWindow(), first.data());
    TestDir other;
    ASSERT_EQ(GisDriverLoadMap(writeExerciseSet(other).c_str()), CARTOLINK_OK);
    ASSERT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_OK);
    EXPECT_TRUE(first.isNull());
    QPointer<QWidget> second = overviewWindow();
    ASSERT_TRUE(second);
    ASSERT_EQ(GisDriverUnInit(), CARTOLINK_OK);
    EXPECT_TRUE(second.isNull());
}

TEST_F(CartolinkWindows, OverviewShowsTheWholeMapInTheMainMapOnRequest)
{
    ASSERT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_OK);
    QWidget* wnd = overviewWindow();
    ASSERT_NE(wnd, nullptr);
    QAbstractButton* full = nullptr;
    for (QAbstractButton* b : wnd->findChildren<QAbstractButton*>())
        if (b->text() == QStringLiteral("全图显示"))
            full = b;
    ASSERT_NE(full, nullptr);
    const double before = GisDriverGetZoom();
    full->click();
    ASSERT_EQ(rec.of("View").size(), 1u);
    const QPointF tl = toMap(0, 0), br = toMap(400, 300);
    const double zoom = GisDriverGetZoom();
    EXPECT_GT(zoom, before);
    // The same view as the widest zoom gives.
    ASSERT_EQ(GisDriverZoomTo(1.0), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(DBL_MAX), CARTOLINK_OK);
    EXPECT_NEAR(toMap(0, 0).x(), tl.x(), 1e-9);
    EXPECT_NEAR(toMap(400, 300).y(), br.y(), 1e-9);
    EXPECT_NEAR(GisDriverGetZoom(), zoom, zoom * 1e-12);
}
