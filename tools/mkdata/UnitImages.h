#pragma once

#include "Catalog.h"

#include <QString>
#include <QStringList>

namespace mkdata {

struct UnitImageReport {
    int treeIcons = 0; // files written under UnitBitmap
    int mapImages = 0; // image/mask pairs written under NormalBitmap
    QStringList warnings;
};

// Folder, relative to the output folder, that holds the tree icons of a
// category and of its classes: UnitBitmap/<top-level name>[/<sub-category name>].
// A category missing from the catalogue puts its icons straight into UnitBitmap.
QString treeIconFolder(const Catalog& catalog, const QString& categoryId);

// Writes UnitBitmap/.../<name>.bmp (20x20) for every category and class and
// NormalBitmap/<name>.bmp with NormalBitmap/<name>_Mask.bmp for every class.
// Names that cannot be file titles (empty, or holding a path separator) are
// skipped with a warning; false only when a file cannot be written.
bool writeUnitImages(const Catalog& catalog, const QString& outDir, UnitImageReport& report,
                     QString* error);

} // namespace mkdata
