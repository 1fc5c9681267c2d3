// tw-mkdata: draws the images the program expects beside its executable.
//   tw-mkdata --catalog UnitClassInfo.cfg --out DIR [--geojson DIR]
//   tw-mkdata --icons DIR      (the desktop icon: DIR/NxN/apps/tarnwick.png)
#include "AppIcon.h"
#include "Catalog.h"
#include "GeoJson.h"
#include "Geography.h"
#include "Logo.h"
#include "MapImage.h"
#include "Painting.h"
#include "UnitImages.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: tw-mkdata --catalog UnitClassInfo.cfg --out DIR [--geojson DIR]\n"
                         "       tw-mkdata --icons DIR\n");
    return 2;
}

int fail(const QString& why)
{
    std::fprintf(stderr, "tw-mkdata: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // Nothing is shown; painting text still needs an application and fonts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString catalogPath, outDir, geojsonDir, iconDir;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (i + 1 >= args.size())
            return usage();
        if (a == QLatin1String("--catalog"))
            catalogPath = args[++i];
        else if (a == QLatin1String("--out"))
            outDir = args[++i];
        else if (a == QLatin1String("--geojson"))
            geojsonDir = args[++i];
        else if (a == QLatin1String("--icons"))
            iconDir = args[++i];
        else
            return usage();
    }
    if (!iconDir.isEmpty()) {
        QString error;
        if (!catalogPath.isEmpty() || !outDir.isEmpty() || !geojsonDir.isEmpty())
            return usage();
        return mkdata::writeAppIcons(iconDir, &error) ? 0 : fail(error);
    }
    if (catalogPath.isEmpty() || outDir.isEmpty())
        return usage();

    QElapsedTimer clock;
    clock.start();
    if (!mkdata::haveMapFont())
        std::fprintf(stderr, "tw-mkdata: warning: font \"%s\" not installed (fonts-wqy-microhei), "
                             "Chinese names fall back to another font\n", mkdata::kFontFamily);

    QString error;
    mkdata::Catalog catalog;
    if (!mkdata::readCatalog(catalogPath, catalog, &error))
        return fail(error);

    mkdata::UnitImageReport report;
    if (!mkdata::writeUnitImages(catalog, outDir, report, &error))
        return fail(error);
    for (const QString& w : report.warnings)
        std::fprintf(stderr, "tw-mkdata: warning: %s\n", qPrintable(w));

    const mkdata::Geography& area = mkdata::exerciseArea();
    if (!mkdata::saveBmp24(mkdata::drawExerciseMap(area),
                           outDir + QString::fromUtf8("/DefaultMapImage/演习区域.bmp"), &error) ||
        !mkdata::saveBmp24(mkdata::drawLogo(), outDir + QStringLiteral("/Logo.bmp"), &error))
        return fail(error);
    if (!geojsonDir.isEmpty() && !mkdata::writeGeoJson(area, geojsonDir, &error))
        return fail(error);

    std::printf("tw-mkdata: %d tree icons, %d map image pairs, default map and logo in %s (%.1f s)\n",
                report.treeIcons, report.mapImages, qPrintable(outDir), double(clock.elapsed()) / 1000.0);
    return 0;
}
