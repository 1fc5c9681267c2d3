// Cartolink's map-set (.gst) reader: parseGeoset on arbitrary text, then
// every lookup the map engine makes of a table's keys.

#include "FuzzSupport.h"

#include "Geoset.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    cartolink::looksLikeGeoset(text.left(4096));
    QString error;
    const auto gs = cartolink::parseGeoset(text, QStringLiteral("/maps/base"), &error);
    if (!gs) {
        if (error.isEmpty())
            fuzzsupport::Broken("parseGeoset failed without saying why");
        return 0;
    }
    if (gs->tables.empty())
        fuzzsupport::Broken("a map set without tables was accepted");
    if (gs->centre && (!std::isfinite(gs->centre->x()) || !std::isfinite(gs->centre->y())))
        fuzzsupport::Broken("a centre that is not a finite number was accepted");
    int previous = 0;
    bool first = true;
    for (const cartolink::GeosetTable& t : gs->tables) {
        if (t.file.isEmpty())
            fuzzsupport::Broken("a table without a file was accepted");
        if (!first && t.number >= previous)
            fuzzsupport::Broken("tables out of drawing order");
        if (!std::isfinite(t.zoomMin) || !std::isfinite(t.zoomMax))
            fuzzsupport::Broken("a zoom range that is not finite was accepted");
        previous = t.number;
        first = false;
        for (const char* key : {"STYLE\\FILL", "STYLE\\LINE", "STYLE\\WIDTH", "THEME\\FIELD", "LABEL\\FIELD",
                                "AUTOLABEL"})
            cartolink::parseBool(t.key(QString::fromLatin1(key)), false);
    }
    return 0;
}
