#pragma once

#include <vector>

class PlanXmlWriter;
class XmlPullReader;

// A point in map coordinates; Z is 0 for every point the view creates.
struct RoutePoint {
    double X = 0;
    double Y = 0;
    double Z = 0;
    bool operator==(const RoutePoint&) const = default;
};

// An ordered list of points: the path of a move, or the single target point of
// a strike or an unload. Owned by its action; owns its points.
class WGRoute {
public:
    std::vector<RoutePoint> m_Points;

    // Appends the point of a `Coordinate` element (attributes X, Y, Z).
    void LoadPoint(const XmlPullReader& coordinate) { m_Points.push_back(ReadPoint(coordinate)); }
    static RoutePoint ReadPoint(const XmlPullReader& coordinate);
    // Writes one `Coordinate` element per point into the open `Route` element.
    void Save(PlanXmlWriter& out) const;
};
