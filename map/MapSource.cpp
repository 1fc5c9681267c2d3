#include "map/MapSource.h"

double DegreesPerKm(double y)
{
    const double perKm = 0.008952465548919113 * (90.0 - y) / 90.0;
    // Written so that NaN fails the comparison and takes the floor.
    return perKm >= kMinDegreesPerKm ? perKm : kMinDegreesPerKm;
}

double MapUnitsPerKm(int mapType, bool bitmapRealKm, double y)
{
    return mapType == 0 && bitmapRealKm ? 1.0 : DegreesPerKm(y);
}

double SpeedMapUnitsPerSecond(int mapType, bool bitmapRealKm, double y, double speed)
{
    if (mapType == 0 && bitmapRealKm)
        return speed / 3600.0;
    return DegreesPerKm(y) * speed / 1000.0;
}
