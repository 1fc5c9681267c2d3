#pragma once

#include <QString>

namespace mkdata {

struct Geography;

// Writes the exercise area as GeoJSON (RFC 7946, longitude/latitude) into dir:
// terrain.geojson (forest, hill, lake and town polygons with class and name),
// rivers.geojson, roads.geojson (class highway or road) and places.geojson.
bool writeGeoJson(const Geography& g, const QString& dir, QString* error);

} // namespace mkdata
