#include "map/MapSource.h"

double DegreesPerKm(double y)
{
    return 0.008952465548919113 * (90.0 - y) / 90.0;
}
