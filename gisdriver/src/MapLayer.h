#pragma once

// In-memory layers of a map set: geometry already in longitude/latitude
// degrees, flattened into arrays so that drawing walks memory linearly.

#include "Geoset.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QStaticText>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace cartolink {

// Axis-aligned bounds in map units (x east, y north).
struct Bounds {
    double minX = 0, minY = 0, maxX = -1, maxY = -1; // empty by default

    bool isEmpty() const { return maxX < minX || maxY < minY; }
    void add(double x, double y)
    {
        if (isEmpty()) {
            minX = maxX = x;
            minY = maxY = y;
            return;
        }
        if (x < minX) minX = x;
        if (x > maxX) maxX = x;
        if (y < minY) minY = y;
        if (y > maxY) maxY = y;
    }
    void add(const Bounds& b)
    {
        if (b.isEmpty())
            return;
        add(b.minX, b.minY);
        add(b.maxX, b.maxY);
    }
    bool intersects(const Bounds& b) const
    {
        return !isEmpty() && !b.isEmpty() && minX <= b.maxX && b.minX <= maxX && minY <= b.maxY
            && b.minY <= maxY;
    }
    bool contains(double x, double y) const
    {
        return !isEmpty() && x >= minX && x <= maxX && y >= minY && y <= maxY;
    }
    double width() const { return isEmpty() ? 0.0 : maxX - minX; }
    double height() const { return isEmpty() ? 0.0 : maxY - minY; }
    QPointF centre() const { return {(minX + maxX) / 2.0, (minY + maxY) / 2.0}; }
};

// How one class of features is drawn. An invalid colour means "not drawn".
struct FeatureStyle {
    QColor fill;
    QColor line;
    double lineWidth = 1.0;
    QColor symbol;
    double symbolSize = 6.0;
    QColor text;
};

enum class GeomType : uint8_t { Point = 0, Line = 1, Area = 2 };

struct Part {
    uint32_t first = 0; // index into MapLayer::points
    uint32_t count = 0;
    // A ring round a pole, closed by three points along the pole that fill
    // the area but are not part of its outline.
    bool polar = false;
};

struct MapFeature {
    GeomType type = GeomType::Point;
    uint16_t style = 0; // index into MapLayer::styles
    uint32_t firstPart = 0;
    uint32_t partCount = 0;
    int32_t label = -1; // index into MapLayer::labels, -1 none
    Bounds bounds;
    QPointF labelAnchor; // where a label of a line or area goes
};

struct MapLayer {
    QString name;
    QString source;
    bool visible = true;
    bool selectable = false;
    bool zoomLayer = false;
    double zoomMin = 0.0;
    double zoomMax = 0.0;
    bool autoLabel = false;

    std::vector<QPointF> points;
    std::vector<Part> parts;
    std::vector<MapFeature> features;
    std::vector<QString> labels;
    // Laid-out labels, filled on first drawing.
    std::vector<QStaticText> labelTexts;
    std::vector<FeatureStyle> styles;
    // The bounds of the data as read, and of the geometry as drawn (shapes
    // across the antimeridian continue beyond 180 degrees, polar rings reach the pole).
    Bounds extent;
    Bounds drawExtent;

    // Raster layers: the picture and the area it covers.
    QImage raster;
    Bounds rasterBounds;

    bool isRaster() const { return !raster.isNull(); }
    bool visibleAtZoom(double zoomKm) const
    {
        if (!visible)
            return false;
        if (!zoomLayer)
            return true;
        return zoomKm >= zoomMin && (zoomMax <= 0.0 || zoomKm <= zoomMax);
    }
};

// Opens one data source with GDAL and returns its layers, transformed to
// longitude/latitude. `table` supplies visibility, zoom range and styles (a
// default table for a plain source). Returns an empty list and sets `error`
// when the source does not open or holds nothing drawable.
std::vector<std::unique_ptr<MapLayer>> loadSource(const GeosetTable& table, QString* error);

// A point inside the ring of `n` points with the given bounds, where a label goes.
QPointF interiorPoint(const QPointF* ring, uint32_t n, const Bounds& bounds);

// Style used for a geometry type when the map set says nothing.
FeatureStyle defaultStyle(GeomType type);

} // namespace cartolink
