#pragma once

// The visible part of the map: a plate carrée view (equal pixel size in
// longitude and latitude degrees) with a centre, a scale in degrees per pixel
// and a size in pixels. The zoom value is derived from it: the width of the
// view in kilometres along its horizontal centre line.
//
// The view is kept valid whatever is asked of it: the scale stays finite and
// no wider than the map's extent plus a margin, and the view stays inside that
// area, so no sequence of pans, moves and zooms can lose the map.

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
    // Without a map the view may show the whole globe, not more.
    static constexpr double kMaxSpanDeg = 360.0;
    // Room around the map's extent the view may show, as a share of the extent's larger side.
    static constexpr double kMarginShare = 0.05;
    // The centre never reaches a pole, where a degree of longitude has no length.
    static constexpr double kMaxCentreLat = 89.5;

    int width() const { return m_width; }
    int height() const { return m_height; }
    QSize size() const { return {m_width, m_height}; }
    double centreX() const { return m_cx; }
    double centreY() const { return m_cy; }
    double degPerPx() const { return m_degPerPx; }

    // Kilometres per degree of longitude at latitude `lat`.
    static double kmPerDegreeLon(double lat)
    {
        const double c = std::max(std::cos(std::clamp(lat, -kMaxCentreLat, kMaxCentreLat) * M_PI / 180.0), 1e-9);
        return M_PI / 180.0 * kEarthRadiusKm * c;
    }

    double zoomKm() const { return effectiveWidth() * m_degPerPx * kmPerDegreeLon(m_cy); }

    // The map's extent: the view stays within it plus a margin. An empty
    // extent leaves the whole globe to the view.
    void setExtent(const Bounds& extent)
    {
        m_extent = extent;
        m_area = extent;
        if (extent.isEmpty() || !std::isfinite(extent.width()) || !std::isfinite(extent.height())) {
            m_extent = Bounds();
            m_area = Bounds{-180.0, -90.0, 180.0, 90.0};
        } else {
            const double margin = std::max(kMarginShare * std::max(extent.width(), extent.height()), 1e-6);
            m_area.minX -= margin;
            m_area.maxX += margin;
            m_area.minY = std::max(m_area.minY - margin, -90.0);
            m_area.maxY = std::min(m_area.maxY + margin, 90.0);
            // The centre stays off the poles, so the area must reach below them.
            m_area.minY = std::min(m_area.minY, kMaxCentreLat - margin);
            m_area.maxY = std::max(m_area.maxY, -kMaxCentreLat + margin);
        }
        // A map round the whole globe repeats east and west instead of ending.
        m_wraps = m_area.width() >= kMaxSpanDeg;
        if (m_wraps) {
            m_area.minX = -180.0;
            m_area.maxX = 180.0;
        }
        constrain();
    }
    const Bounds& extent() const { return m_extent; }
    // The area the view stays in.
    const Bounds& area() const { return m_area; }
    bool wraps() const { return m_wraps; }

    // The widest scale: the whole area in view.
    double maxDegPerPx() const
    {
        return std::max(m_area.width() / effectiveWidth(), m_area.height() / effectiveHeight());
    }

    // Shows the whole extent with its margin (the globe without a map), centred:
    // the widest view there is.
    void showFullExtent()
    {
        m_degPerPx = maxDegPerPx();
        m_cx = fullCentre().x();
        m_cy = fullCentre().y();
        constrain();
    }

    // Sets the scale so that the view is `km` wide; keeps the centre.
    void setZoomKm(double km)
    {
        if (!(km > 0.0) || !std::isfinite(km))
            return;
        setDegPerPx(km / (effectiveWidth() * kmPerDegreeLon(m_cy)));
    }

    void setDegPerPx(double d)
    {
        if (!std::isfinite(d) || !(d > 0.0))
            return;
        m_degPerPx = d;
        constrain();
    }

    // A new size keeps the centre and the zoom value, as a map control does.
    void setSize(int w, int h)
    {
        const double zoom = zoomKm();
        m_width = std::max(0, w);
        m_height = std::max(0, h);
        setZoomKm(zoom);
        constrain();
    }

    // A new centre keeps the zoom value, so the scale in degrees follows the latitude.
    void setCentre(double x, double y)
    {
        if (!std::isfinite(x) || !std::isfinite(y))
            return;
        const double zoom = zoomKm();
        m_cx = x;
        m_cy = y;
        constrain();
        setZoomKm(zoom);
    }

    // Positive dx shows more to the east, positive dy more to the north. The
    // scale stays: a dragged picture moves, it does not grow.
    void panPixels(double dx, double dy)
    {
        if (!std::isfinite(dx) || !std::isfinite(dy))
            return;
        m_cx += dx * m_degPerPx;
        m_cy += dy * m_degPerPx;
        constrain();
    }

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

    // Whether the view obeys its limits (tests and assertions).
    bool isValid() const
    {
        if (!std::isfinite(m_cx) || !std::isfinite(m_cy) || !std::isfinite(m_degPerPx))
            return false;
        if (m_degPerPx < kMinDegPerPx || m_degPerPx > maxDegPerPx() * (1.0 + 1e-9))
            return false;
        const double slack = 1e-9 * std::max(1.0, std::max(m_area.width(), m_area.height()));
        return std::abs(m_cy) <= kMaxCentreLat && m_cx >= m_area.minX - slack && m_cx <= m_area.maxX + slack
            && m_cy >= m_area.minY - slack && m_cy <= m_area.maxY + slack;
    }

    bool operator==(const Viewport&) const = default;

private:
    // A view that has no width yet still needs a finite scale.
    double effectiveWidth() const { return std::max(m_width, 1); }
    double effectiveHeight() const { return std::max(m_height, 1); }

    // Keeps the scale finite and within the area's, and the view inside the area.
    void constrain()
    {
        if (!std::isfinite(m_degPerPx) || !(m_degPerPx > 0.0))
            m_degPerPx = maxDegPerPx();
        m_degPerPx = std::clamp(m_degPerPx, kMinDegPerPx, std::max(kMinDegPerPx, maxDegPerPx()));
        if (!std::isfinite(m_cx))
            m_cx = m_area.centre().x();
        if (!std::isfinite(m_cy))
            m_cy = m_area.centre().y();
        if (m_wraps && effectiveWidth() * m_degPerPx >= m_area.width()) {
            m_cx = fullCentre().x();
        } else if (m_wraps) {
            double x = std::fmod(m_cx + 180.0, 360.0);
            if (x < 0)
                x += 360.0;
            m_cx = x - 180.0;
        } else {
            m_cx = clampAxis(m_cx, m_area.minX, m_area.maxX, effectiveWidth() * m_degPerPx / 2.0, fullCentre().x());
        }
        m_cy = clampAxis(m_cy, m_area.minY, m_area.maxY, effectiveHeight() * m_degPerPx / 2.0, fullCentre().y());
        m_cy = std::clamp(m_cy, -kMaxCentreLat, kMaxCentreLat);
    }

    // The centre keeps half the view inside [lo, hi]; a view larger than that
    // shows the map in its middle (`middle`).
    static double clampAxis(double c, double lo, double hi, double half, double middle)
    {
        if (hi - lo <= 2.0 * half)
            return std::clamp(middle, hi - half, lo + half);
        return std::clamp(c, lo + half, hi - half);
    }
    // The middle of the map: of its extent, or of the globe without one.
    QPointF fullCentre() const { return m_extent.isEmpty() ? m_area.centre() : m_extent.centre(); }

    double m_cx = 0.0;
    double m_cy = 0.0;
    double m_degPerPx = 0.01;
    int m_width = 1;
    int m_height = 1;
    Bounds m_extent;
    Bounds m_area{-180.0, -90.0, 180.0, 90.0};
    bool m_wraps = true;
};

} // namespace cartolink
