#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};

ToolRun runTool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TW_MKDATA_EXE), args);
    ToolRun r;
    if (!p.waitForFinished(120000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString sourceCatalog()
{
    return QString::fromUtf8(TW_SAMPLE_CATALOG);
}

} // namespace

TEST(MkDataTool, RejectsIncompleteOrUnknownArguments)
{
    for (const QStringList& args : {QStringList{}, QStringList{QStringLiteral("--out")},
                                    QStringList{QStringLiteral("--catalog"), QStringLiteral("a.cfg")},
                                    QStringList{QStringLiteral("--colour"), QStringLiteral("red")}}) {
        const ToolRun r = runTool(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage"))) << r.err.toStdString();
    }
}

TEST(MkDataTool, FailsOnAMissingCatalogue)
{
    TestDir dir;
    const ToolRun r = runTool({QStringLiteral("--catalog"), dir.path() + QStringLiteral("/none.cfg"),
                           QStringLiteral("--out"), dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("none.cfg"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/Logo.bmp")));
}

TEST(MkDataTool, WritesTheWholeDataSetBesideTheProgram)
{
    TestDir dir;
    const QString out = dir.path() + QStringLiteral("/bin"), gis = dir.path() + QStringLiteral("/gis");
    const ToolRun r = runTool({QStringLiteral("--catalog"), sourceCatalog(), QStringLiteral("--out"), out,
                           QStringLiteral("--geojson"), gis});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    EXPECT_EQ(QImage(out + QStringLiteral("/Logo.bmp")).size(), QSize(400, 200));
    EXPECT_EQ(QImage(out + QString::fromUtf8("/DefaultMapImage/演习区域.bmp")).size(), QSize(2000, 1500));
    int icons = 0, normal = 0;
    for (QDirIterator it(out + QStringLiteral("/UnitBitmap"), QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
        ++icons;
    for (QDirIterator it(out + QStringLiteral("/NormalBitmap"), QDir::Files); it.hasNext(); it.next())
        ++normal;
    // The sample catalogue: 5 categories, 14 classes.
    EXPECT_EQ(icons, 5 + 14);
    EXPECT_EQ(normal, 2 * 14);
    for (const char* f : {"terrain", "rivers", "roads", "places"})
        EXPECT_TRUE(QFileInfo::exists(gis + QLatin1Char('/') + QLatin1String(f) + QStringLiteral(".geojson"))) << f;
}
