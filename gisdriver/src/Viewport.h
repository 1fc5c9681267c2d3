#pragma once

// The visible part of the map: a plate carrée view (equal pixel size in
// longitude and latitude degrees) with a centre, a scale in degrees per pixel
// and a size in pixels. The zoom value is derived from it: the width of the
// view in kilometres along its horizontal centre line.

#include "MapLayer.h"

#include <QPointF>
#include <QSize>

#include <algorithm>
#include <cmath>

namespace cartolink {

class Viewport {
public:
    static constexpr double kEarthRadiusKm = 6371.0088;
    static constexpr double kMinDegPerPx = 1e-10;
    static constexpr double kMaxDegPerPx = 10.0;

    int width() const { return m_width; }
    int height() const { return m_height; }
    QSize size() const { return {m_width, m_height}; }
    double centreX() const { return m_cx; }
    double centreY() const { return m_cy; }
    double degPerPx() const { return m_degPerPx; }

    // Kilometres per degree of longitude at latitude `lat`.
    static double kmPerDegreeLon(double lat)
    {
        const double c = std::max(std::cos(lat * M_PI / 180.0), 1e-9);
        return M_PI / 180.0 * kEarthRadiusKm * c;
    }

    double zoomKm() const { return effectiveWidth() * m_degPerPx * kmPerDegreeLon(m_cy); }

    // Sets the scale so that the view is `km` wide; keeps the centre.
    void setZoomKm(double km)
    {
        if (!(km > 0.0) || !std::isfinite(km))
            return;
        setDegPerPx(km / (effectiveWidth() * kmPerDegreeLon(m_cy)));
    }

    void setDegPerPx(double d)
    {
        if (std::isfinite(d))
            m_degPerPx = std::clamp(d, kMinDegPerPx, kMaxDegPerPx);
    }

    // A new size keeps the centre and the zoom value, as a map control does.
    void setSize(int w, int h)
    {
        const double zoom = zoomKm();
        m_width = std::max(0, w);
        m_height = std::max(0, h);
        setZoomKm(zoom);
    }

    // A new centre keeps the zoom value, so the scale in degrees follows the latitude.
    void setCentre(double x, double y)
    {
        if (!std::isfinite(x) || !std::isfinite(y))
            return;
        const double zoom = zoomKm();
        // Longitude wraps (the map is drawn repeatedly east and west); latitude stops at the poles.
        x = std::fmod(x + 180.0, 360.0);
        if (x < 0)
            x += 360.0;
        m_cx = x - 180.0;
        m_cy = std::clamp(y, -90.0, 90.0);
        setZoomKm(zoom);
    }

    // Positive dx shows more to the east, positive dy more to the north.
    void panPixels(double dx, double dy) { setCentre(m_cx + dx * m_degPerPx, m_cy + dy * m_degPerPx); }

    QPointF toPixel(double x, double y) const
    {
        return {m_width / 2.0 + (x - m_cx) / m_degPerPx, m_height / 2.0 - (y - m_cy) / m_degPerPx};
    }
    QPointF toMap(double px, double py) const
    {
        return {m_cx + (px - m_width / 2.0) * m_degPerPx, m_cy - (py - m_height / 2.0) * m_degPerPx};
    }

    Bounds mapBounds() const
    {
        Bounds b;
        const QPointF tl = toMap(0, 0);
        const QPointF br = toMap(m_width, m_height);
        b.add(tl.x(), tl.y());
        b.add(br.x(), br.y());
        return b;
    }

    bool operator==(const Viewport&) const = default;

private:
    // A view that has no width yet still needs a finite scale.
    double effectiveWidth() const { return std::max(m_width, 1); }

    double m_cx = 0.0;
    double m_cy = 0.0;
    double m_degPerPx = 0.01;
    int m_width = 1;
    int m_height = 1;
};

} // namespace cartolink
