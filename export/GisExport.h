#pragma once

#include "export/ExportResult.h"
#include "export/PlayRecorder.h"

#include <optional>
#include <string>

class CPlan;

// The vector formats the plan's GIS data can be written in.
enum class GisFormat { GeoPackage, GeoJson, Kml, Shapefile };

struct GisFormatInfo {
    GisFormat format;
    const char* name;       // as --format takes it
    const char* driver;     // the GDAL driver
    const char* extension;  // without the dot
    const char* filter;     // file dialog filter
};

const GisFormatInfo& GisFormatInfoOf(GisFormat format);
// "gpkg", "geojson", "kml", "shp" or the GDAL driver's name, any case.
std::optional<GisFormat> GisFormatByName(const std::string& name);
// From the file name's extension; a GeoPackage for any other.
GisFormat GisFormatForPath(const std::string& path);

// Where the data lands: `path` itself, except for shapefiles, which go into
// the folder named by `path` without its ".shp" (one shapefile per layer).
std::string GisOutputPath(const std::string& path, GisFormat format);

// The layers written (GeoJSON holds one collection: each feature names its
// layer in the field "layer"):
//   map          the first layer's map: name, source, map type, size in km
//                (bitmap maps: the map's rectangle as a polygon)
//   units        first layer units at their initial position
//   routes       move routes as lines
//   targets      strike targets
//   track_points one point per unit per second of play, time-stamped
//   tracks       one line per unit through its track points
//   events       events of the play, where their unit stood
//   hits         hits, where the victim stood
// Coordinates: GIS maps in longitude/latitude (EPSG:4326); bitmap maps in
// kilometres of a local engineering system, x east from the map's left edge
// and y north from its bottom edge (map y is measured down from the top), so
// the map covers 0..WidthKm x 0..HeightKm. KML carries no such system: there
// the kilometres are written as degrees. Time stamps are UTC; KML's let
// Google Earth's time slider play the exercise.
ExportResult ExportGis(const CPlan& plan, const PlayRecord& play, const std::string& path, GisFormat format);
