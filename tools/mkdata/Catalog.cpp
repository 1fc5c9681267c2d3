#include "Catalog.h"

#include <QFile>
#include <pugixml.hpp>

namespace mkdata {

namespace {
QString attr(const pugi::xml_node& n, const char* name)
{
    return QString::fromUtf8(n.attribute(name).value());
}
} // namespace

bool readCatalog(const QString& path, Catalog& out, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    out = {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open %1: %2").arg(path, f.errorString()));
    const QByteArray bytes = f.readAll();

    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_buffer(bytes.constData(), size_t(bytes.size()));
    if (!r)
        return fail(QStringLiteral("%1: %2 at byte %3").arg(path, QString::fromUtf8(r.description())).arg(r.offset));
    const pugi::xml_node root = doc.document_element();

    for (const pugi::xml_node n : root.child("unitclass").children()) {
        if (n.type() == pugi::node_element)
            out.categories.push_back({attr(n, "name"), attr(n, "id")});
    }
    const pugi::xml_node units = root.child("unit");
    if (!units)
        return fail(QStringLiteral("%1: no unit list").arg(path));
    for (const pugi::xml_node n : units.children()) {
        if (n.type() == pugi::node_element)
            out.classes.push_back({attr(n, "name"), attr(n, "id"), attr(n, "class")});
    }
    return true;
}

QString categoryIdOf(const QString& classId)
{
    const qsizetype dot = classId.indexOf(QLatin1Char('.'));
    return dot < 0 ? classId : classId.left(dot);
}

QString topLevelIdOf(const QString& categoryId)
{
    const qsizetype dash = categoryId.indexOf(QLatin1Char('-'));
    return dash < 0 ? categoryId : categoryId.left(dash);
}

} // namespace mkdata
