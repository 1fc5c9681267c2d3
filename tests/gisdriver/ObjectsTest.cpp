// Objects on the object layer: kinds and styles, symbols, moves, selection.

#include "GisTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QStandardPaths>

#include <cmath>

using namespace gistest;

namespace {

const QColor kRed(255, 0, 0);
const QColor kMagenta(255, 0, 255);
const QColor kBlue(0, 0, 255);

class CartolinkObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A data folder of this test's own: test programs run side by side, and a shared
        // symbol folder would be emptied by one while another draws from it.
        oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QString::fromStdString(dir.file("data")).toLocal8Bit());
        symbolDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/CUSTSYMB";
        ASSERT_TRUE(symbolDir.startsWith(QString::fromStdString(dir.file("data"))));
        driver = std::make_unique<Driver>(400, 300);
        ASSERT_EQ(driver->initResult(), CARTOLINK_OK);
        ASSERT_EQ(GisDriverLoadMap(writePlainSet(dir).c_str()), CARTOLINK_OK);
        ASSERT_EQ(GISDriverMoveMap(117.2, 36.1), CARTOLINK_OK);
        ASSERT_EQ(GisDriverZoomTo(40.0), CARTOLINK_OK);
        deg = toMap(1, 0).x() - toMap(0, 0).x();
    }
    void TearDown() override
    {
        driver.reset();
        if (oldDataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", oldDataHome);
    }

    uint32_t add(int kind, double x, double y, double w = 0, double h = 0, const char* bitmap = nullptr)
    {
        uint32_t id = 0;
        EXPECT_EQ(GisDriverAddObjectToMap(&id, kind, x, y, w, h, "obj", bitmap), CARTOLINK_OK);
        return id;
    }
    // A map point some pixels from the view's centre.
    QPointF at(double dxPx, double dyPx) const { return {117.2 + dxPx * deg, 36.1 - dyPx * deg}; }

    void drag(QPoint from, QPoint to) { gistest::drag(driver->control(), from, to); }

    std::string writeBitmap(const QString& name, QColor colour, int size = 10)
    {
        QImage img(size, size, QImage::Format_RGB32);
        img.fill(colour);
        const std::string path = dir.file(name);
        QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
        EXPECT_TRUE(img.save(QString::fromStdString(path), "BMP"));
        return path;
    }

    TestDir dir;
    std::unique_ptr<Driver> driver;
    QString symbolDir;
    QByteArray oldDataHome;
    double deg = 0;
};

} // namespace

TEST_F(CartolinkObjects, AddRejectsBadArgumentsAndGivesUniqueNonZeroIds)
{
    uint32_t id = 5;
    EXPECT_EQ(GisDriverAddObjectToMap(nullptr, 5, 1, 1, 0, 0, "", nullptr), CARTOLINK_E_BADARG);
    for (int kind : {0, 1, 6, -2})
        EXPECT_EQ(GisDriverAddObjectToMap(&id, kind, 1, 1, 1, 1, "", nullptr), CARTOLINK_E_BADARG) << kind;
    EXPECT_EQ(GisDriverAddObjectToMap(&id, 2, 1, 1, 1, 1, "", nullptr), CARTOLINK_E_BADARG); // no bitmap
    EXPECT_EQ(GisDriverAddObjectToMap(&id, 3, NAN, 1, 1, 1, "", nullptr), CARTOLINK_E_BADARG);
    EXPECT_EQ(GisDriverAddObjectToMap(&id, 4, 1, 1, INFINITY, 1, "", nullptr), CARTOLINK_E_BADARG);
    EXPECT_EQ(id, 5u);

    std::vector<uint32_t> ids;
    for (int i = 0; i < 20; ++i)
        ids.push_back(add(3 + i % 3, 117.2, 36.1, 0.01, 0.01));
    ids.push_back(add(2, 117.2, 36.1, 10, 10, writeBitmap("b.bmp", kBlue).c_str()));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    EXPECT_NE(ids.front(), 0u);
    // Null comments are fine.
    EXPECT_EQ(GisDriverAddObjectToMap(&id, 5, 1, 1, 0, 0, nullptr, nullptr), CARTOLINK_OK);
}

TEST_F(CartolinkObjects, ObjectsAppearWhereConvertCoordPutsThem)
{
    const QPointF m = at(-100, 50);
    add(5, m.x(), m.y());
    const QPointF c = at(80, -40);
    add(3, c.x(), c.y(), 40 * deg);
    const QImage img = exportPicture(400, 300);
    EXPECT_TRUE(anyNear(img, toPixel(m.x(), m.y()), kMagenta, 1, 30));
    EXPECT_FALSE(boxOf(img, kMagenta, 30).intersects(QRect(150, 100, 100, 100)));
    // The circle outline: radius width / 2 = 20 px, red, empty inside.
    const QPoint cp = toPixel(c.x(), c.y());
    for (QPoint off : {QPoint(20, 0), QPoint(-20, 0), QPoint(0, 20), QPoint(0, -20), QPoint(14, 14)})
        EXPECT_TRUE(anyNear(img, cp + off, kRed, 1, 60)) << off.x() << "," << off.y();
    EXPECT_TRUE(near(img.pixel(cp), Qt::white, 10));
    const QRect box = boxOf(img, kRed, 60);
    EXPECT_NEAR(box.width(), 42, 3);
    EXPECT_NEAR(box.height(), 42, 3);
}

TEST_F(CartolinkObjects, BitmapSymbolSizeRule)
{
    const std::string bmp = writeBitmap("sym/blue.bmp", kBlue);
    struct Case { double w, h; int size; } cases[] = {{100, 30, 48}, {0.5, 0.2, 48}, {20, 35.9, 35}, {7, 3, 7}};
    for (const Case& c : cases) {
        const uint32_t id = add(2, 117.2, 36.1, c.w, c.h, bmp.c_str());
        const QRect box = boxOf(exportPicture(400, 300), kBlue, 10);
        EXPECT_NEAR(box.width(), c.size, 1) << c.w << "x" << c.h;
        EXPECT_NEAR(box.height(), c.size, 1) << c.w << "x" << c.h;
        EXPECT_TRUE(box.contains(200, 150));
        ASSERT_EQ(GisDriverRemoveObjFromMap(id), CARTOLINK_OK);
    }
    EXPECT_FALSE(boxOf(exportPicture(400, 300), kBlue, 10).isValid());
}

TEST_F(CartolinkObjects, BitmapIsCopiedUnderItsSymbolName)
{
    // A Windows-style relative path: both separators and the drive colon become "_".
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    writeBitmap("C:/a/b/unit.bmp", kBlue);
    add(2, 117.2, 36.1, 10, 10, "C:\\a\\b\\unit.bmp");
    QDir::setCurrent(old);
    EXPECT_TRUE(QFile::exists(symbolDir + "/C__a_b_unit.bmp"));

    // A longer path keeps only its last 15 characters.
    const std::string longPath = writeBitmap("deeper/folder/tank_unit_01.bmp", kBlue);
    add(2, 117.2, 36.1, 10, 10, longPath.c_str());
    QString expected = QString::fromStdString(longPath).replace('/', '_').right(15);
    EXPECT_EQ(expected, QStringLiteral("ank_unit_01.bmp"));
    EXPECT_TRUE(QFile::exists(symbolDir + "/" + expected));

    // Multi-byte characters are counted as characters, never cut in half.
    const std::string cjk = writeBitmap(QString::fromUtf8("图标/坦克单位图标.bmp"), kBlue);
    add(2, 117.2, 36.1, 10, 10, cjk.c_str());
    const QString cjkName = QString::fromStdString(cjk).replace('/', '_').right(15);
    EXPECT_TRUE(QFile::exists(symbolDir + "/" + cjkName)) << cjkName.toStdString();

    // A missing bitmap is silent: the object is still added and drawn as a placeholder.
    uint32_t id = 0;
    EXPECT_EQ(GisDriverAddObjectToMap(&id, 2, 117.2, 36.1, 10, 10, "", "/no/such/file.bmp"), CARTOLINK_OK);
    EXPECT_NE(id, 0u);
}

TEST_F(CartolinkObjects, ColourAndCommentsNeedAnExistingObject)
{
    const uint32_t circle = add(3, 117.2, 36.1, 40 * deg);
    ASSERT_EQ(GisDriverSetObjectColor(circle, 0xFF0000), CARTOLINK_OK); // COLORREF blue
    const QImage img = exportPicture(400, 300);
    EXPECT_TRUE(anyNear(img, QPoint(220, 150), kBlue, 1, 60));
    EXPECT_FALSE(boxOf(img, kRed, 60).isValid());

    EXPECT_EQ(GisDriverSetObjectColor(0, 0), CARTOLINK_E_BADARG);
    EXPECT_EQ(GisDriverSetObjectColor(circle + 100, 0), CARTOLINK_E_NOOBJECT);
    EXPECT_EQ(GisDriverSetObjectComments(circle, "new text"), CARTOLINK_OK);
    EXPECT_EQ(GisDriverSetObjectComments(circle, nullptr), CARTOLINK_OK);
    EXPECT_EQ(GisDriverSetObjectComments(0, "x"), CARTOLINK_E_BADARG);
    EXPECT_EQ(GisDriverSetObjectComments(circle + 100, "x"), CARTOLINK_E_NOOBJECT);

    EXPECT_EQ(GisDriverRemoveObjFromMap(0), CARTOLINK_E_BADARG);
    EXPECT_EQ(GisDriverRemoveObjFromMap(circle), CARTOLINK_OK);
    EXPECT_EQ(GisDriverRemoveObjFromMap(circle), CARTOLINK_OK); // already gone: nothing to do
    EXPECT_EQ(GisDriverSetObjectColor(circle, 0), CARTOLINK_E_NOOBJECT);
}

TEST_F(CartolinkObjects, CenterObjectKeepsZoomForZeroAndZoomsOtherwise)
{
    const QPointF p = at(120, 90);
    const uint32_t id = add(5, p.x(), p.y());
    ASSERT_EQ(GisDriverCenterObject(id, 0.0), CARTOLINK_OK);
    EXPECT_NEAR(GisDriverGetZoom(), 40.0, 1e-6);
    QPointF c = toMap(200, 150);
    EXPECT_NEAR(c.x(), p.x(), deg);
    EXPECT_NEAR(c.y(), p.y(), deg);
    ASSERT_EQ(GisDriverCenterObject(id, 12.5), CARTOLINK_OK);
    EXPECT_NEAR(GisDriverGetZoom(), 12.5, 1e-6);
    EXPECT_EQ(GisDriverCenterObject(0, 1.0), CARTOLINK_E_BADARG);
    EXPECT_EQ(GisDriverCenterObject(id + 1, 1.0), CARTOLINK_E_NOOBJECT);
    EXPECT_EQ(GisDriverCenterObject(id, -1.0), CARTOLINK_E_BADARG);
}

namespace {
// The centre of an object, read back through CenterObject and ConvertCoord.
QPointF centreOf(uint32_t id)
{
    EXPECT_EQ(GisDriverCenterObject(id, 0.0), CARTOLINK_OK);
    return toMap(200, 150);
}
} // namespace

TEST_F(CartolinkObjects, MoveCircleByFlags)
{
    const uint32_t id = add(3, 117.2, 36.1, 40 * deg);
    ASSERT_EQ(GisDriverMoveObj(id, 3, 0, 0, 0, 0, 0), CARTOLINK_OK); // flags 0: nothing
    ASSERT_EQ(GisDriverMoveObj(id, 3, 0, 0, 80 * deg, 0, CARTOLINK_MOVE_SIZE), CARTOLINK_OK);
    QPointF c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.2, deg);
    EXPECT_NEAR(c.y(), 36.1, deg);
    QRect box = boxOf(exportPicture(400, 300), kRed, 60);
    EXPECT_NEAR(box.width(), 82, 3); // radius now 40 px

    ASSERT_EQ(GisDriverMoveObj(id, 3, 117.25, 36.12, 999, 0, CARTOLINK_MOVE_POSITION), CARTOLINK_OK);
    c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.25, deg);
    EXPECT_NEAR(c.y(), 36.12, deg);
    box = boxOf(exportPicture(400, 300), kRed, 60);
    EXPECT_NEAR(box.width(), 82, 3); // the size was not given, so it stays

    EXPECT_EQ(GisDriverMoveObj(0, 3, 0, 0, 0, 0, 3), CARTOLINK_E_BADARG);
    EXPECT_EQ(GisDriverMoveObj(id + 1, 3, 0, 0, 0, 0, 3), CARTOLINK_E_NOOBJECT);
    EXPECT_EQ(GisDriverMoveObj(id, 3, NAN, 0, 0, 0, CARTOLINK_MOVE_POSITION), CARTOLINK_E_BADARG);
    // A kind other than the object's, known or not, changes nothing and succeeds.
    EXPECT_EQ(GisDriverMoveObj(id, 5, 1, 1, 0, 0, CARTOLINK_MOVE_POSITION), CARTOLINK_OK);
    EXPECT_EQ(GisDriverMoveObj(id, 4, 117.1, 36.1, 0.01, 0.01, 3), CARTOLINK_OK);
    EXPECT_EQ(GisDriverMoveObj(id, 9, 1, 1, 1, 1, 3), CARTOLINK_OK);
    c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.25, deg);
    EXPECT_NEAR(c.y(), 36.12, deg);
    box = boxOf(exportPicture(400, 300), kRed, 60);
    EXPECT_NEAR(box.width(), 82, 3);
}

TEST_F(CartolinkObjects, MoveRectangleByFlags)
{
    const uint32_t id = add(4, 117.20, 36.10, 0.02, 0.01);
    ASSERT_EQ(GisDriverMoveObj(id, 4, 0, 0, 0, 0, 0), CARTOLINK_OK);
    QPointF c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.21, deg);
    EXPECT_NEAR(c.y(), 36.105, deg);

    // A resize keeps the bounds' minimum x and maximum y.
    ASSERT_EQ(GisDriverMoveObj(id, 4, 0, 0, 0.04, 0.03, CARTOLINK_MOVE_SIZE), CARTOLINK_OK);
    c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.22, deg);
    EXPECT_NEAR(c.y(), 36.095, deg);

    // A move keeps the size.
    ASSERT_EQ(GisDriverMoveObj(id, 4, 117.0, 36.0, 5, 5, CARTOLINK_MOVE_POSITION), CARTOLINK_OK);
    c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.02, deg);
    EXPECT_NEAR(c.y(), 36.015, deg);

    ASSERT_EQ(GisDriverMoveObj(id, 4, 117.1, 36.2, 0.002, 0.004, CARTOLINK_MOVE_POSITION | CARTOLINK_MOVE_SIZE),
              CARTOLINK_OK);
    c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.101, deg);
    EXPECT_NEAR(c.y(), 36.202, deg);
}

TEST_F(CartolinkObjects, MoveSymbolsOnlyWithThePositionFlag)
{
    const uint32_t id = add(5, 117.2, 36.1);
    ASSERT_EQ(GisDriverMoveObj(id, 5, 117.3, 36.2, 0, 0, CARTOLINK_MOVE_SIZE), CARTOLINK_OK);
    QPointF c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.2, deg);
    ASSERT_EQ(GisDriverMoveObj(id, 5, 117.3, 36.2, 0, 0, CARTOLINK_MOVE_POSITION), CARTOLINK_OK);
    c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.3, deg);
    EXPECT_NEAR(c.y(), 36.2, deg);
    // The other symbol kind is not this object's kind either.
    EXPECT_EQ(GisDriverMoveObj(id, 3, 0, 0, 1, 1, CARTOLINK_MOVE_SIZE), CARTOLINK_OK);
    EXPECT_EQ(GisDriverMoveObj(id, 2, 117.1, 36.1, 0, 0, CARTOLINK_MOVE_POSITION), CARTOLINK_OK);
    c = centreOf(id);
    EXPECT_NEAR(c.x(), 117.3, deg);
    EXPECT_NEAR(c.y(), 36.2, deg);
}

TEST_F(CartolinkObjects, RectangleAndRadiusToolsSelectAndSelectItemChecksIndexes)
{
    const QPointF a = at(-50, -50), b = at(50, 50), far = at(150, 100);
    const uint32_t ida = add(5, a.x(), a.y());
    const uint32_t idb = add(5, b.x(), b.y());
    add(5, far.x(), far.y());
    EXPECT_EQ(GISDriverGetSelectCount(), 0);

    uint32_t out = 4242;
    EXPECT_EQ(GISDriverGetSelectItem(1, &out), CARTOLINK_E_FAILED);
    EXPECT_EQ(out, 4242u);

    ASSERT_EQ(GisDriverSetCurrentTool(CARTOLINK_TOOL_RECT_SELECT), CARTOLINK_OK);
    drag(QPoint(120, 70), QPoint(280, 230));
    ASSERT_EQ(GISDriverGetSelectCount(), 2);
    std::vector<uint32_t> got(2);
    ASSERT_EQ(GISDriverGetSelectItem(1, &got[0]), CARTOLINK_OK);
    ASSERT_EQ(GISDriverGetSelectItem(2, &got[1]), CARTOLINK_OK);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<uint32_t>{ida, idb}));
    for (int bad : {0, -1, 3, 1000}) {
        out = 4242;
        EXPECT_EQ(GISDriverGetSelectItem(bad, &out), CARTOLINK_E_FAILED) << bad;
        EXPECT_EQ(out, 4242u);
    }
    EXPECT_EQ(GISDriverGetSelectItem(1, nullptr), CARTOLINK_E_BADARG);

    // Radius around the first object, reaching 30 px: only that one.
    ASSERT_EQ(GisDriverSetCurrentTool(CARTOLINK_TOOL_RADIUS_SELECT), CARTOLINK_OK);
    drag(QPoint(150, 100), QPoint(180, 100));
    ASSERT_EQ(GISDriverGetSelectCount(), 1);
    ASSERT_EQ(GISDriverGetSelectItem(1, &out), CARTOLINK_OK);
    EXPECT_EQ(out, ida);

    // A removed object leaves the selection.
    ASSERT_EQ(GisDriverRemoveObjFromMap(ida), CARTOLINK_OK);
    EXPECT_EQ(GISDriverGetSelectCount(), 0);
}

TEST_F(CartolinkObjects, EditStatusLetsTheSelectToolDragObjects)
{
    const uint32_t id = add(5, 117.2, 36.1);
    ASSERT_EQ(GisDriverSetCurrentTool(CARTOLINK_TOOL_DEFAULT), CARTOLINK_OK);
    drag(QPoint(200, 150), QPoint(200, 150)); // click selects
    ASSERT_EQ(GISDriverGetSelectCount(), 1);
    drag(QPoint(200, 150), QPoint(240, 150)); // not editable: the object stays
    EXPECT_NEAR(centreOf(id).x(), 117.2, deg);

    ASSERT_EQ(GisDriverSetMapStatus(CARTOLINK_STATUS_EDIT), CARTOLINK_OK);
    drag(QPoint(200, 150), QPoint(240, 150));
    EXPECT_NEAR(centreOf(id).x(), 117.2 + 40 * deg, deg);
    ASSERT_EQ(GisDriverSetMapStatus(CARTOLINK_STATUS_NORMAL), CARTOLINK_OK);
}
