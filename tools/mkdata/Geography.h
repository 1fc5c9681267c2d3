#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <vector>

namespace mkdata {

// The fictional exercise area, in kilometres: x east and y south of the map's
// top-left corner. Written down once here so the bitmap map and the GeoJSON
// files show the same country on every run.
struct Hill {
    QString name;
    QPointF peak;
    double rx, ry;    // km, half axes of the hill's foot
    double angleDeg;  // rotation of the x half axis, clockwise on the map
    double height;    // m, summit elevation
    QPolygonF foot() const; // outline of the hill's foot, for the GeoJSON
};

struct Area {
    QString cls;  // forest, lake, town
    QString name;
    QPolygonF ring; // open ring (last vertex not repeated)
};

struct Line {
    QString cls;  // river; highway or road
    QString name;
    QPolygonF path;
    double widthPx; // drawn width on the 50 m/pixel map
};

enum class PlaceKind { Town, Village, Peak };

struct Place {
    QString name;
    QPointF pos;
    PlaceKind kind;
    QPointF labelOffsetPx; // label centre relative to the point, map pixels
};

struct Geography {
    double widthKm = 40;
    double heightKm = 30;
    std::vector<Hill> hills;
    std::vector<Area> areas;
    std::vector<Line> rivers;
    std::vector<Line> roads;
    std::vector<Place> places;
};

// Built on first use; the same object for the whole run.
const Geography& exerciseArea();

// The map's top-left corner and the degree lengths that place it on the globe.
inline constexpr double kOriginLon = 117.0;
inline constexpr double kOriginLat = 36.3;
inline constexpr double kKmPerDegreeLat = 111.32;
double kmPerDegreeLon();
QPointF kmToLonLat(const QPointF& km);

// Polyline helpers shared with the map renderer.
QPolygonF catmullRom(const QPolygonF& pts, bool closed, int steps);
QPolygonF resample(const QPolygonF& line, double spacing, bool closed);

} // namespace mkdata
