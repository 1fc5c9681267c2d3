#pragma once

// The map interface the model uses to convert between map coordinates
// (bitmap map: km from the image's top-left corner, y down; GIS map: longitude
// and latitude in degrees) and view pixels (client area, origin top-left).
class CMapSource {
public:
    // 0 bitmap map, 1 GIS map.
    virtual int GetMapType() const = 0;
    // Converts a map point to view pixels (truncated toward zero). Returns 1.
    virtual int MapToView(double x, double y, int& px, int& py) = 0;
    // Converts view pixels to a map point. Returns 1.
    virtual int ViewToMap(double& x, double& y, int px, int py) = 0;
    virtual ~CMapSource() = default;
};

// Map units per kilometre at map y: 0.008952465548919113 * (90 - y) / 90,
// but never below kMinDegreesPerKm. Turns speeds and metre distances into map
// units for both map types.
//
// The factor is a latitude scale, meaningless past the pole, yet a bitmap map
// measured in km can be taller than 90 km: at y >= 90 the formula gives 0 or
// less (distances of "inf" or negative metres, units that never move). So it
// holds down to its value at y = 89 and stays there further down; NaN gives
// the floor too.
inline constexpr double kMinDegreesPerKm = 0.008952465548919113 / 90.0;
double DegreesPerKm(double y);
// Map units per kilometre for speeds, hit distance and kill radius: on a
// bitmap map (type 0), whose map units are kilometres, one when
// `bitmapRealKm` is set ("BitmapMapRealKm"); DegreesPerKm(y) otherwise, the
// factor plans are written for by default.
double MapUnitsPerKm(int mapType, bool bitmapRealKm, double y);
// A move's speed (the plan's Speed field) in map units per second. By default
// DegreesPerKm(y) * speed / 1000; on a bitmap map with `bitmapRealKm` the
// speed is taken as km/h: speed / 3600 kilometres a second.
double SpeedMapUnitsPerSecond(int mapType, bool bitmapRealKm, double y, double speed);
