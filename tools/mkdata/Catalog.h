#pragma once

#include <QString>
#include <vector>

namespace mkdata {

// The parts of UnitClassInfo.cfg the image generator needs: names, ids and the
// class code that tells weapons from units.
struct Category {
    QString name;
    QString id;
};

struct UnitClass {
    QString name;
    QString id;
    QString code;
};

struct Catalog {
    std::vector<Category> categories;
    std::vector<UnitClass> classes;
};

// Reads the first `unitclass` and `unit` lists below the root, every child
// whatever its tag. Returns false with a description when the file cannot be
// read or has no `unit` list.
bool readCatalog(const QString& path, Catalog& out, QString* error);

// Category id of a class ("02-01" for "02-01.03") and top-level id of a
// category ("02" for "02-01"); the whole id when there is no separator.
QString categoryIdOf(const QString& classId);
QString topLevelIdOf(const QString& categoryId);

} // namespace mkdata
