// The map control panel: opening and closing, its search over the sample
// map set, results that centre the main map, tools and the mouse position.

#include "GisTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>

#include <cmath>

using namespace gistest;

namespace {

QWidget* topLevel(const QString& title)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == title && w->isVisible())
            return w;
    return nullptr;
}

QWidget* panel() { return topLevel(QStringLiteral("地图控制面板")); }
QWidget* resultDialog() { return topLevel(QStringLiteral("查询结果")); }

template <class T>
T* byText(QWidget* parent, const QString& text)
{
    for (T* w : parent->findChildren<T*>())
        if (w->text() == text)
            return w;
    return nullptr;
}

bool waitFor(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

class CartolinkPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(driver.initResult(), CARTOLINK_OK);
        ASSERT_EQ(GisDriverLoadMap(sourceFile("samples/gis/exercise/exercise.gst").c_str()), CARTOLINK_OK);
    }
    void TearDown() override { GISDriverShowCtrlTool(0); }

    QWidget* open()
    {
        EXPECT_EQ(GISDriverShowCtrlTool(1), CARTOLINK_OK);
        return panel();
    }
    // Runs a search and returns the result entries (empty when no dialog came).
    QStringList search(QWidget* p, const QString& keyword, bool exact)
    {
        byText<QCheckBox>(p, QStringLiteral("所有层"))->setChecked(true);
        byText<QCheckBox>(p, QStringLiteral("精确匹配"))->setChecked(exact);
        p->findChild<QLineEdit*>(QStringLiteral("keyword"))->setText(keyword);
        QAbstractButton* find = byText<QAbstractButton>(p, QStringLiteral("查找"));
        find->click();
        EXPECT_TRUE(waitFor([&] { return find->isEnabled(); }));
        QStringList out;
        if (QWidget* r = resultDialog()) {
            auto* list = r->findChild<QListWidget*>();
            for (int i = 0; i < list->count(); ++i)
                out << list->item(i)->text();
            r->hide();
        }
        return out;
    }

    Driver driver{400, 300};
};

} // namespace

TEST_F(CartolinkPanel, OpensOnceWithItsDefaultsAndClosesOnRequest)
{
    QWidget* p = open();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GISDriverShowCtrlTool(1), CARTOLINK_OK);
    EXPECT_EQ(panel(), p);
    auto* keyword = p->findChild<QLineEdit*>(QStringLiteral("keyword"));
    ASSERT_NE(keyword, nullptr);
    EXPECT_FALSE(keyword->text().isEmpty());
    EXPECT_FALSE(byText<QCheckBox>(p, QStringLiteral("所有层"))->isChecked());
    EXPECT_FALSE(byText<QCheckBox>(p, QStringLiteral("精确匹配"))->isChecked());
    EXPECT_FALSE(byText<QAbstractButton>(p, QStringLiteral("全屏/退出"))->isEnabled());
    // The layer list is usable exactly when "all layers" is off.
    auto* layers = p->findChild<QComboBox*>();
    ASSERT_NE(layers, nullptr);
    EXPECT_GT(layers->count(), 1);
    EXPECT_TRUE(layers->isEnabled());
    byText<QCheckBox>(p, QStringLiteral("所有层"))->setChecked(true);
    EXPECT_FALSE(layers->isEnabled());
    // Turning to the keyword field clears the default text only.
    QFocusEvent focus(QEvent::FocusIn);
    QCoreApplication::sendEvent(keyword, &focus);
    EXPECT_TRUE(keyword->text().isEmpty());
    keyword->setText(QStringLiteral("abc"));
    QCoreApplication::sendEvent(keyword, &focus);
    EXPECT_EQ(keyword->text(), QStringLiteral("abc"));

    QPointer<QWidget> guard(p);
    EXPECT_EQ(GISDriverShowCtrlTool(0), CARTOLINK_OK);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(GISDriverShowCtrlTool(0), CARTOLINK_OK);
}

TEST_F(CartolinkPanel, SearchFindsAPlaceWithAndWithoutExactMatch)
{
    QWidget* p = open();
    ASSERT_NE(p, nullptr);
    const QStringList part = search(p, QStringLiteral("柳河"), false);
    EXPECT_EQ(part.filter(QStringLiteral("-> 柳河镇()")).size(), 2) << part.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(search(p, QStringLiteral("柳河"), true).filter(QStringLiteral("柳河镇")).isEmpty());
    const QStringList whole = search(p, QStringLiteral("柳河镇"), true);
    // The town is a named place and a named area of the terrain.
    EXPECT_EQ(whole.filter(QStringLiteral("-> 柳河镇()")).size(), 2) << whole.join(QLatin1Char('|')).toStdString();
    // Nothing matches: no entries.
    EXPECT_TRUE(search(p, QStringLiteral("no such place"), false).isEmpty());
}

TEST_F(CartolinkPanel, SearchMatchesObjectCommentsIgnoringCase)
{
    uint32_t id = 0;
    ASSERT_EQ(GisDriverAddObjectToMap(&id, CARTOLINK_KIND_MARKER, 117.3, 36.2, 0, 0, "Alpha Unit", nullptr),
              CARTOLINK_OK);
    QWidget* p = open();
    ASSERT_NE(p, nullptr);
    const QStringList found = search(p, QStringLiteral("ALPHA"), false);
    ASSERT_EQ(found.filter(QStringLiteral("(Alpha Unit)")).size(), 1) << found.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(search(p, QStringLiteral("alpha unit"), true).filter(QStringLiteral("(Alpha Unit)")).size(), 1);
    EXPECT_TRUE(search(p, QStringLiteral("alpha"), true).filter(QStringLiteral("(Alpha Unit)")).isEmpty());
}

TEST_F(CartolinkPanel, ChoosingAResultZoomsAndCentresTheMainMap)
{
    QWidget* p = open();
    ASSERT_NE(p, nullptr);
    // Only the layer of named places: the terrain has a town area of that name too.
    auto* layers = p->findChild<QComboBox*>();
    std::string names;
    for (int i = 0; i < layers->count(); ++i) {
        names += layers->itemText(i).toStdString() + "|";
        if (layers->itemText(i).contains(QStringLiteral("places"), Qt::CaseInsensitive))
            layers->setCurrentIndex(i);
    }
    ASSERT_TRUE(layers->currentText().contains(QStringLiteral("places"), Qt::CaseInsensitive)) << names;
    p->findChild<QLineEdit*>(QStringLiteral("keyword"))->setText(QStringLiteral("石门镇"));
    byText<QCheckBox>(p, QStringLiteral("精确匹配"))->setChecked(true);
    byText<QAbstractButton>(p, QStringLiteral("查找"))->click();
    ASSERT_TRUE(waitFor([] { return resultDialog() != nullptr; }));
    auto* list = resultDialog()->findChild<QListWidget*>();
    ASSERT_EQ(list->count(), 1);
    ASSERT_EQ(GisDriverZoomTo(80.0), CARTOLINK_OK);
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &press);
    QCoreApplication::sendEvent(list->viewport(), &release);
    EXPECT_NEAR(GisDriverGetZoom(), 5.0, 1e-6);
    const QPointF centre = toMap(200, 150);
    EXPECT_NEAR(centre.x(), 117.152412, 1e-3);
    EXPECT_NEAR(centre.y(), 36.212864, 1e-3);
}

TEST_F(CartolinkPanel, ClosingDuringASearchStopsIt)
{
    // Enough objects that the search is still running when the panel goes.
    for (int i = 0; i < 3000; ++i) {
        uint32_t id = 0;
        ASSERT_EQ(GisDriverAddObjectToMap(&id, CARTOLINK_KIND_MARKER, 117 + i * 1e-4, 36, 0, 0, "x", nullptr),
                  CARTOLINK_OK);
    }
    QWidget* p = open();
    ASSERT_NE(p, nullptr);
    QPointer<QWidget> guard(p);
    byText<QCheckBox>(p, QStringLiteral("所有层"))->setChecked(true);
    p->findChild<QLineEdit*>(QStringLiteral("keyword"))->setText(QStringLiteral("x"));
    auto* find = byText<QAbstractButton>(p, QStringLiteral("查找"));
    find->click();
    EXPECT_FALSE(find->isEnabled());
    EXPECT_EQ(GISDriverShowCtrlTool(0), CARTOLINK_OK);
    EXPECT_TRUE(guard.isNull());
    // The worker's late report finds no panel and shows nothing.
    waitFor([] { return false; }, 100);
    EXPECT_EQ(resultDialog(), nullptr);
    // A new panel searches normally.
    QWidget* again = open();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(search(again, QStringLiteral("柳河镇"), true).size(), 2);
}

TEST_F(CartolinkPanel, ExitButtonClosesAndUnInitClosesToo)
{
    QPointer<QWidget> p = open();
    ASSERT_TRUE(p);
    byText<QAbstractButton>(p, QStringLiteral("退出"))->click();
    EXPECT_TRUE(waitFor([&] { return p.isNull(); }));
    p = open();
    ASSERT_TRUE(p);
    ASSERT_EQ(GisDriverUnInit(), CARTOLINK_OK);
    EXPECT_TRUE(p.isNull());
}

TEST_F(CartolinkPanel, ShiftCOpensItAndMouseMovesFillTheCoordinates)
{
    QWidget* ctl = driver.control();
    QKeyEvent plainC(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
    QCoreApplication::sendEvent(ctl, &plainC);
    EXPECT_EQ(panel(), nullptr);
    QKeyEvent shiftC(QEvent::KeyPress, Qt::Key_C, Qt::ShiftModifier, QStringLiteral("C"));
    QCoreApplication::sendEvent(ctl, &shiftC);
    QWidget* p = panel();
    ASSERT_NE(p, nullptr);
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 40), ctl->mapToGlobal(QPointF(30, 40)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(ctl, &move);
    const QPointF m = toMap(30, 40);
    EXPECT_EQ(p->findChild<QLineEdit*>(QStringLiteral("coordinates"))->text(),
              QString::asprintf("%.6f,%.6f", m.x(), m.y()));
}

TEST_F(CartolinkPanel, ZoomInButtonSelectsTheZoomInTool)
{
    QWidget* p = open();
    ASSERT_NE(p, nullptr);
    const double before = GisDriverGetZoom();
    byText<QAbstractButton>(p, QStringLiteral("放大"))->click();
    drag(driver.control(), {200, 150}, {200, 150});
    EXPECT_NEAR(GisDriverGetZoom(), before / 2.0, before * 1e-6);
    byText<QAbstractButton>(p, QStringLiteral("缩小"))->click();
    drag(driver.control(), {200, 150}, {200, 150});
    EXPECT_NEAR(GisDriverGetZoom(), before, before * 1e-6);
}

namespace {

// Counts the notifications that the main map moved.
class ViewCounter final : public IGisDriverCallback {
public:
    int views = 0;
    void OnRButtonUp(uint32_t, uint32_t, int32_t, int32_t, double, double, double, uint32_t) override {}
    void OnLButtonUp(uint32_t, uint32_t, int32_t, int32_t, double, double, double, uint32_t) override {}
    void OnLButtonDown(uint32_t, uint32_t, int32_t, int32_t, double, double, double, uint32_t) override {}
    void OnRectSelect(uint32_t, uint32_t, int32_t, int32_t, double, double, double, int32_t, int32_t, double, double,
                      double, uint32_t) override
    {
    }
    void OnRadiusSelect(uint32_t, uint32_t, int32_t, int32_t, double, double, double, double, uint32_t) override {}
    void OnSelectionChanged(uint32_t) override {}
    void OnObjectMoved(uint32_t, int32_t, int32_t, double, double, uint32_t, uint32_t, uint32_t) override {}
    void OnObjectPicked(uint32_t, uint32_t) override {}
    void OnDoubleClick(uint32_t, uint32_t, int32_t, int32_t, double, double, double, uint32_t) override {}
    void OnMapViewChanged() override { ++views; }
};

} // namespace

// A caller that shows the map in a view of its own keeps the map control
// hidden: the panel's buttons then move the map at once and say so.
TEST(CartolinkPanelHiddenControl, ToolButtonsMoveTheMapAndReportIt)
{
    ViewCounter counter;
    Driver driver(400, 300, &counter);
    ASSERT_EQ(GisDriverLoadMap(sourceFile("samples/gis/exercise/exercise.gst").c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(10.0), CARTOLINK_OK);
    ASSERT_FALSE(driver.control()->isVisible());
    ASSERT_EQ(GISDriverShowCtrlTool(1), CARTOLINK_OK);
    QWidget* p = panel();
    ASSERT_NE(p, nullptr);
    byText<QAbstractButton>(p, QStringLiteral("放大"))->click();
    EXPECT_NEAR(GisDriverGetZoom(), 5.0, 1e-9);
    EXPECT_EQ(counter.views, 1);
    byText<QAbstractButton>(p, QStringLiteral("缩小"))->click();
    EXPECT_NEAR(GisDriverGetZoom(), 10.0, 1e-9);
    EXPECT_EQ(counter.views, 2);
    const QPointF before = toMap(200, 150);
    const double deg = toMap(201, 150).x() - before.x();
    byText<QAbstractButton>(p, QStringLiteral("平移"))->click();
    QAction* east = nullptr;
    for (QMenu* m : p->findChildren<QMenu*>())
        for (QAction* a : m->actions())
            if (a->text() == QStringLiteral("向东"))
                east = a;
    ASSERT_NE(east, nullptr);
    east->trigger();
    EXPECT_NEAR(toMap(200, 150).x() - before.x(), 100 * deg, deg);
    EXPECT_EQ(counter.views, 3);
    GISDriverShowCtrlTool(0);
}

TEST_F(CartolinkPanel, SearchCoversEveryMapLayerByDefault)
{
    QWidget* p = open();
    ASSERT_NE(p, nullptr);
    ASSERT_FALSE(byText<QCheckBox>(p, QStringLiteral("所有层"))->isChecked());
    auto* layers = p->findChild<QComboBox*>();
    EXPECT_EQ(layers->currentText(), QStringLiteral("所有地图层"));
    // An object named like the place is not found: the object layer is not a map layer.
    uint32_t id = 0;
    ASSERT_EQ(GisDriverAddObjectToMap(&id, CARTOLINK_KIND_MARKER, 117.1, 36.1, 0, 0, "石门镇", nullptr), CARTOLINK_OK);
    p->findChild<QLineEdit*>(QStringLiteral("keyword"))->setText(QStringLiteral("石门镇"));
    byText<QCheckBox>(p, QStringLiteral("精确匹配"))->setChecked(true);
    QAbstractButton* find = byText<QAbstractButton>(p, QStringLiteral("查找"));
    find->click();
    ASSERT_TRUE(waitFor([&] { return find->isEnabled() && resultDialog() != nullptr; }));
    auto* list = resultDialog()->findChild<QListWidget*>();
    ASSERT_GE(list->count(), 1);
    for (int i = 0; i < list->count(); ++i)
        EXPECT_FALSE(list->item(i)->text().startsWith(QStringLiteral("orlan_gis_layer"))) << list->item(i)->text().toStdString();
}
