#include "ObjectLayer.h"

#include <algorithm>
#include <cmath>

namespace cartolink {

Bounds MapObject::bounds() const
{
    Bounds b;
    if (isSymbol()) {
        b.add(point.x(), point.y());
        return b;
    }
    for (const QPointF& p : line)
        b.add(p.x(), p.y());
    return b;
}

uint32_t ObjectLayer::add(MapObject obj)
{
    // Ids only grow; after a wrap-around skip 0 and ids still in use.
    while (m_nextId == 0 || m_objects.count(m_nextId))
        ++m_nextId;
    obj.id = m_nextId++;
    const uint32_t id = obj.id;
    m_objects.emplace(id, std::move(obj));
    ++m_version;
    return id;
}

bool ObjectLayer::remove(uint32_t id)
{
    if (m_objects.erase(id) == 0)
        return false;
    std::erase(m_selection, id);
    ++m_version;
    return true;
}

MapObject* ObjectLayer::find(uint32_t id)
{
    auto it = m_objects.find(id);
    return it == m_objects.end() ? nullptr : &it->second;
}

const MapObject* ObjectLayer::find(uint32_t id) const
{
    auto it = m_objects.find(id);
    return it == m_objects.end() ? nullptr : &it->second;
}

void ObjectLayer::setSelection(std::vector<uint32_t> ids, SelectMode mode)
{
    if (mode == SelectMode::Replace)
        m_selection.clear();
    for (uint32_t id : ids) {
        if (m_objects.count(id) && std::find(m_selection.begin(), m_selection.end(), id) == m_selection.end())
            m_selection.push_back(id);
    }
    ++m_version;
}

void ObjectLayer::clearSelection()
{
    if (m_selection.empty())
        return;
    m_selection.clear();
    ++m_version;
}

void ObjectLayer::selectWhere(const std::function<bool(const MapObject&)>& hit, SelectMode mode)
{
    std::vector<uint32_t> ids;
    if (selectable) {
        for (const auto& [id, obj] : m_objects)
            if (hit(obj))
                ids.push_back(id);
    }
    setSelection(std::move(ids), mode);
}

std::vector<QPointF> circleOutline(double cx, double cy, double r)
{
    std::vector<QPointF> pts;
    pts.reserve(123);
    pts.emplace_back(cx + r, cy);
    const double step = M_PI / 60.0;
    // The angle is accumulated, not multiplied, so the last step is whatever the sum gives.
    for (double a = step; a < 2.0 * M_PI; a += step)
        pts.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
    pts.emplace_back(cx + r, cy);
    return pts;
}

std::vector<QPointF> rectOutline(double x, double y, double w, double h)
{
    return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
}

QString symbolNameFor(const QString& bitmapPath)
{
    QList<uint> cps = bitmapPath.toUcs4();
    for (uint& c : cps) {
        if (c == '\\' || c == '/' || c == ':')
            c = '_';
    }
    // Characters, not bytes or UTF-16 units, so that no character is cut in half.
    const qsizetype keep = std::min<qsizetype>(15, cps.size());
    const QList<uint> tail = cps.mid(cps.size() - keep);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(tail.constData()), tail.size());
}

int symbolSizeFor(double width, double height)
{
    const double m = std::max(width, height);
    // Compare before converting: a huge or NaN value must not reach the integer conversion.
    if (!(m >= 1.0) || m >= 49.0)
        return 48;
    return static_cast<int>(m);
}

} // namespace cartolink
