#include "engine/WGRoute.h"

#include "config/TextNumber.h"
#include "engine/PlanXmlWriter.h"
#include "engine/XmlPullReader.h"

RoutePoint WGRoute::ReadPoint(const XmlPullReader& coordinate)
{
    return {textnum::ParseDouble(coordinate.Attribute("X")), textnum::ParseDouble(coordinate.Attribute("Y")),
            textnum::ParseDouble(coordinate.Attribute("Z"))};
}

void WGRoute::Save(PlanXmlWriter& out) const
{
    for (const RoutePoint& p : m_Points) {
        out.StartElement("Coordinate");
        out.AttributeFixed("X", p.X);
        out.AttributeFixed("Y", p.Y);
        out.AttributeFixed("Z", p.Z);
        out.EndElement("Coordinate");
    }
}
