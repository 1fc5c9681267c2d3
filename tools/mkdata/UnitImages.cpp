#include "UnitImages.h"

#include "Painting.h"
#include "Symbols.h"

namespace mkdata {

namespace {

// The program finds images by title and splits stored paths at both "\" and
// "/", so such a name can never be matched to a file.
bool usableTitle(const QString& name)
{
    return !name.trimmed().isEmpty() && !name.contains(QLatin1Char('/')) &&
           !name.contains(QLatin1Char('\\')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

const Category* findCategory(const Catalog& c, const QString& id)
{
    for (const Category& cat : c.categories) {
        if (cat.id.compare(id, Qt::CaseInsensitive) == 0)
            return &cat;
    }
    return nullptr;
}

QString folderName(const Category& c)
{
    return usableTitle(c.name) ? c.name : QString(c.id).replace(QLatin1Char('/'), QLatin1Char('_'))
                                                       .replace(QLatin1Char('\\'), QLatin1Char('_'));
}

} // namespace

QString treeIconFolder(const Catalog& catalog, const QString& categoryId)
{
    QString folder = QStringLiteral("UnitBitmap");
    const Category* top = findCategory(catalog, topLevelIdOf(categoryId));
    if (!top)
        return folder;
    folder += QLatin1Char('/') + folderName(*top);
    if (categoryId.compare(top->id, Qt::CaseInsensitive) != 0) {
        if (const Category* sub = findCategory(catalog, categoryId))
            folder += QLatin1Char('/') + folderName(*sub);
    }
    return folder;
}

bool writeUnitImages(const Catalog& catalog, const QString& outDir, UnitImageReport& report,
                     QString* error)
{
    const QString base = outDir + QLatin1Char('/');
    for (const Category& cat : catalog.categories) {
        if (!usableTitle(cat.name)) {
            report.warnings << QStringLiteral("category %1: name \"%2\" cannot be a file name, no icon")
                                   .arg(cat.id, cat.name);
            continue;
        }
        const bool topLevel = !cat.id.contains(QLatin1Char('-'));
        const QString path = base + treeIconFolder(catalog, cat.id) + QLatin1Char('/') + cat.name + QStringLiteral(".bmp");
        if (!saveBmp24(drawCategoryIcon(cat.name, topLevel), path, error))
            return false;
        ++report.treeIcons;
    }
    for (const UnitClass& uc : catalog.classes) {
        if (!usableTitle(uc.name)) {
            report.warnings << QStringLiteral("class %1: name \"%2\" cannot be a file name, no images")
                                   .arg(uc.id, uc.name);
            continue;
        }
        const Symbol sym = symbolFor(uc.name, uc.code);
        const QString icon = base + treeIconFolder(catalog, categoryIdOf(uc.id)) + QLatin1Char('/') + uc.name + QStringLiteral(".bmp");
        if (!saveBmp24(drawTreeIcon(sym), icon, error))
            return false;
        ++report.treeIcons;

        const MaskedBitmap mb = toMaskedBitmap(drawMapSymbol(sym));
        const QString stem = base + QStringLiteral("NormalBitmap/") + uc.name;
        if (!saveBmp24(mb.image, stem + QStringLiteral(".bmp"), error) ||
            !saveBmp24(mb.mask, stem + QStringLiteral("_Mask.bmp"), error))
            return false;
        ++report.mapImages;
        if (sym.glyph == Glyph::Lettered)
            report.warnings << QStringLiteral("class %1: kind of \"%2\" not recognised, lettered symbol")
                                   .arg(uc.id, uc.name);
    }
    return true;
}

} // namespace mkdata
