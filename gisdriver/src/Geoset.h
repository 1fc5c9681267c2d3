#pragma once

// Reader of ".gst" map-set files.
//
// Format: a first line "!GEOSET", then between "begin_metadata" and
// "end_metadata" lines of the form  "\KEY\PATH" = "value".  Recognised keys:
//   \GEOSET\NAME                   name of the map set
//   \GEOSET\CENTER                 "lon,lat" initial centre
//   \GEOSET\BACKGROUND             "#rrggbb" colour behind all layers
//   \TABLE\n\FILE                  data source, relative to the map-set file
//   \TABLE\n\ISVISIBLE             TRUE/FALSE
//   \TABLE\n\ZOOM\ISZOOMLAYER      TRUE/FALSE: only drawn between MIN and MAX
//   \TABLE\n\ZOOM\MIN, \MAX        zoom range in km of visible width
//   \TABLE\n\DESCRIPTION           free text
//   \TABLE\n\LAYER                 name of one layer of a multi-layer source
//   \TABLE\n\STYLE\...             style of the table (see MapStyle.h)
//   \TABLE\n\THEME\FIELD           attribute that picks a class style
//   \TABLE\n\THEME\<value>\...     style of features whose attribute equals <value>
//   \TABLE\n\LABEL\FIELD           attribute shown as label
//   \TABLE\n\AUTOLABEL             TRUE: label lines and areas too, not only points
// Table 1 is the top layer, drawn last.

#include <QColor>
#include <QPointF>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace cartolink {

struct GeosetTable {
    int number = 0;
    QString file;        // absolute path, separators normalised
    QString layerName;   // empty: every layer of the source
    QString description;
    bool visible = true;
    bool zoomLayer = false;
    double zoomMin = 0.0;
    double zoomMax = 0.0;
    // Remaining keys below the table, without the "\TABLE\n\" prefix, upper-cased.
    std::map<QString, QString> keys;

    QString key(const QString& k) const
    {
        auto it = keys.find(k.toUpper());
        return it == keys.end() ? QString() : it->second;
    }
};

struct Geoset {
    QString name;
    std::optional<QPointF> centre;
    QColor background;
    std::vector<GeosetTable> tables; // in drawing order: bottom first
};

// True when the bytes look like a map-set file (first non-blank line "!GEOSET").
bool looksLikeGeoset(const QByteArray& head);

// Parses a map-set file's text. `baseDir` resolves relative table paths.
// Returns nothing and sets `error` when the text is not a map set or lists no table.
std::optional<Geoset> parseGeoset(const QByteArray& text, const QString& baseDir, QString* error);

// A path as stored (either separator) made absolute against `baseDir`.
QString resolveDataPath(const QString& stored, const QString& baseDir);

bool parseBool(const QString& s, bool fallback);

} // namespace cartolink
