#include "Catalog.h"
#include "UnitImages.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QtEndian>

using namespace mkdata;

namespace {

QString sourceCatalog()
{
    return QString::fromUtf8(TW_SAMPLE_CATALOG);
}

// Every file under UnitBitmap, by title, as the program enumerates them.
QMultiMap<QString, QString> iconsByTitle(const QString& outDir)
{
    QMultiMap<QString, QString> out;
    QDirIterator it(outDir + QStringLiteral("/UnitBitmap"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo fi(it.next());
        out.insert(fi.completeBaseName(), fi.filePath());
    }
    return out;
}

int bmpBitsPerPixel(const QString& path)
{
    const QByteArray head = TestDir::read(path.toStdString()).left(30);
    if (head.size() < 30 || !head.startsWith("BM"))
        return -1;
    return qFromLittleEndian<quint16>(head.constData() + 28);
}

QByteArray catalogXml(const char* categories, const char* units)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<cat><unitclass>") + categories +
           "</unitclass><unit>" + units + "</unit></cat>";
}

} // namespace

TEST(ReadCatalog, ReadsEveryChildWhateverItsTagUnderAnyRootName)
{
    TestDir dir;
    const auto path = dir.write(QStringLiteral("c.cfg"),
                                catalogXml("<node name=\"甲\" id=\"A\"/><x name=\"乙\" id=\"A-1\"/>",
                                           "<node name=\"坦克\" id=\"A-1.1\" class=\"02-02\"/><y name=\"弹\" id=\"A.2\" class=\"03\"/>"));
    Catalog c;
    QString error;
    ASSERT_TRUE(readCatalog(QString::fromStdString(path), c, &error)) << error.toStdString();
    ASSERT_EQ(c.categories.size(), 2u);
    EXPECT_EQ(c.categories[1].name, QString::fromUtf8("乙"));
    EXPECT_EQ(c.categories[1].id, QStringLiteral("A-1"));
    ASSERT_EQ(c.classes.size(), 2u);
    EXPECT_EQ(c.classes[1].code, QStringLiteral("03"));
    EXPECT_EQ(categoryIdOf(c.classes[0].id), QStringLiteral("A-1"));
    EXPECT_EQ(topLevelIdOf(QStringLiteral("A-1")), QStringLiteral("A"));
    EXPECT_EQ(topLevelIdOf(QStringLiteral("A")), QStringLiteral("A"));
}

TEST(ReadCatalog, FailsWithAReasonOnMissingBrokenOrUnitlessFiles)
{
    TestDir dir;
    Catalog c;
    QString error;
    EXPECT_FALSE(readCatalog(dir.path() + QStringLiteral("/none.cfg"), c, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("none.cfg")));
    const auto broken = dir.write(QStringLiteral("b.cfg"), "<unitinfo><unit>");
    EXPECT_FALSE(readCatalog(QString::fromStdString(broken), c, &error));
    const auto unitless = dir.write(QStringLiteral("u.cfg"), "<unitinfo><unitclass><node name=\"a\" id=\"1\"/></unitclass></unitinfo>");
    error.clear();
    EXPECT_FALSE(readCatalog(QString::fromStdString(unitless), c, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(UnitImages, EveryCatalogueEntryGetsExactlyOneTreeIconInItsFolder)
{
    TestDir dir;
    Catalog c;
    ASSERT_TRUE(readCatalog(sourceCatalog(), c, nullptr));
    UnitImageReport report;
    QString error;
    ASSERT_TRUE(writeUnitImages(c, dir.path(), report, &error)) << error.toStdString();
    EXPECT_TRUE(report.warnings.isEmpty()) << report.warnings.join(QLatin1Char('\n')).toStdString();

    const auto icons = iconsByTitle(dir.path());
    // The program turns every file into an icon: nothing else may be there.
    EXPECT_EQ(size_t(icons.size()), c.categories.size() + c.classes.size());
    EXPECT_EQ(report.treeIcons, icons.size());

    auto check = [&](const QString& name, const QString& expectedFolder) {
        ASSERT_EQ(icons.count(name), 1) << name.toStdString();
        const QString path = icons.value(name);
        EXPECT_EQ(QFileInfo(path).absolutePath(), dir.path() + QLatin1Char('/') + expectedFolder) << name.toStdString();
        const QImage img(path);
        EXPECT_EQ(img.size(), QSize(20, 20)) << name.toStdString();
        EXPECT_EQ(bmpBitsPerPixel(path), 24) << name.toStdString();
    };
    for (const Category& cat : c.categories)
        check(cat.name, treeIconFolder(c, cat.id));
    for (const UnitClass& uc : c.classes)
        check(uc.name, treeIconFolder(c, categoryIdOf(uc.id)));

    // Sub-folders per top-level category, sub-category folders inside them.
    EXPECT_EQ(treeIconFolder(c, QStringLiteral("02")), QString::fromUtf8("UnitBitmap/作战单位"));
    EXPECT_EQ(treeIconFolder(c, QStringLiteral("02-01")), QString::fromUtf8("UnitBitmap/作战单位/装甲输送"));
}

TEST(UnitImages, EveryClassGetsAMapImageWithAMatchingMask)
{
    TestDir dir;
    Catalog c;
    ASSERT_TRUE(readCatalog(sourceCatalog(), c, nullptr));
    UnitImageReport report;
    ASSERT_TRUE(writeUnitImages(c, dir.path(), report, nullptr));
    EXPECT_EQ(report.mapImages, int(c.classes.size()));
    QSet<QByteArray> seen;
    for (const UnitClass& uc : c.classes) {
        const QString stem = dir.path() + QStringLiteral("/NormalBitmap/") + uc.name;
        const QImage img(stem + QStringLiteral(".bmp")), mask(stem + QStringLiteral("_Mask.bmp"));
        ASSERT_FALSE(img.isNull()) << uc.name.toStdString();
        ASSERT_FALSE(mask.isNull()) << uc.name.toStdString();
        EXPECT_EQ(img.size(), mask.size());
        EXPECT_GE(img.width(), 24);
        EXPECT_LE(img.width(), 48);
        EXPECT_EQ(bmpBitsPerPixel(stem + QStringLiteral(".bmp")), 24);
        EXPECT_EQ(bmpBitsPerPixel(stem + QStringLiteral("_Mask.bmp")), 24);
        const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
        seen.insert(QByteArray(reinterpret_cast<const char*>(rgb.constBits()), rgb.sizeInBytes()));
    }
    // No two classes share a picture.
    EXPECT_EQ(size_t(seen.size()), c.classes.size());
}

TEST(UnitImages, OddCataloguesStillGiveUsableFiles)
{
    TestDir dir;
    const auto path = dir.write(
        QStringLiteral("c.cfg"),
        catalogXml("<node name=\"地面\" id=\"G\"/><node name=\"装甲\" id=\"G-a\"/><node name=\"a/b\" id=\"H\"/>",
                   "<node name=\"坦克\" id=\"g-A.1\" class=\"02-02\"/>"     // ids match without regard to case
                   "<node name=\"炮\" id=\"H.1\" class=\"02-02\"/>"         // category without a usable name
                   "<node name=\"孤儿\" id=\"Z.1\" class=\"02-02\"/>"       // no such category
                   "<node name=\"x\\y\" id=\"G.2\" class=\"02-02\"/>"));  // cannot be a file title
    Catalog c;
    ASSERT_TRUE(readCatalog(QString::fromStdString(path), c, nullptr));
    UnitImageReport report;
    QString error;
    ASSERT_TRUE(writeUnitImages(c, dir.path(), report, &error)) << error.toStdString();

    const QString ub = dir.path() + QStringLiteral("/UnitBitmap/");
    EXPECT_TRUE(QFileInfo::exists(ub + QString::fromUtf8("地面/装甲/坦克.bmp")));
    EXPECT_TRUE(QFileInfo::exists(ub + QString::fromUtf8("H/炮.bmp")));
    EXPECT_TRUE(QFileInfo::exists(ub + QString::fromUtf8("孤儿.bmp")));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/NormalBitmap/x\\y.bmp")));
    // The skipped category and class, and the lettered 孤儿, are reported.
    EXPECT_EQ(report.warnings.size(), 3) << report.warnings.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(report.mapImages, 3);
}

TEST(UnitImages, ReportsAFolderThatCannotBeWritten)
{
    TestDir dir;
    // A file where the output folder should be.
    const auto blocker = dir.write(QStringLiteral("out"), "x");
    Catalog c;
    c.classes.push_back({QString::fromUtf8("坦克"), QStringLiteral("1.1"), QStringLiteral("02-02")});
    UnitImageReport report;
    QString error;
    EXPECT_FALSE(writeUnitImages(c, QString::fromStdString(blocker), report, &error));
    EXPECT_FALSE(error.isEmpty());
}
