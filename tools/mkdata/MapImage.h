#pragma once

#include <QImage>

namespace mkdata {

struct Geography;

// The default map: 2000 x 1500 pixels for 40 x 30 km, 50 m per pixel.
inline constexpr int kMapWidthPx = 2000;
inline constexpr int kMapHeightPx = 1500;
inline constexpr double kPxPerKm = 50.0;

// Shaded relief with contours, forests, water, settlements, roads, the
// kilometre grid, names, and a title block with scale bar. Deterministic.
QImage drawExerciseMap(const Geography& g);

// Ground elevation in metres at a point given in km; the relief the map shades.
double elevationAt(const Geography& g, double xKm, double yKm);

} // namespace mkdata
