#pragma once

// The object layer: the caller's objects as features with numeric ids,
// their text, style, kind and geometry, plus the layer's selection.

#include "MapLayer.h"

#include <QImage>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace cartolink {

enum class ObjectKind : int { Bitmap = 2, Circle = 3, Rect = 4, Marker = 5 };

struct MapObject {
    uint32_t id = 0;
    ObjectKind kind = ObjectKind::Marker;
    QString comment;

    // Symbol features (kinds 2 and 5) use `point`; line features (3 and 4) `line`.
    QPointF point;
    std::vector<QPointF> line;

    uint32_t symbolColor = 0; // COLORREF 0x00BBGGRR
    uint32_t lineColor = 0;
    int lineSetting = 0;

    // Kind 2: the bitmap's name in the custom symbol folder, and its size.
    QString bitmapName;
    int symbolSize = 0;
    bool bitmapTransparent = false;

    // Kind 5: a character of a symbol font.
    int fontChar = 0;
    QString fontName;
    int fontSetting = 0;
    bool fontFlag = false;

    bool isSymbol() const { return kind == ObjectKind::Bitmap || kind == ObjectKind::Marker; }
    Bounds bounds() const;
    QPointF centre() const { return isSymbol() ? point : bounds().centre(); }
};

enum class SelectMode { Replace, Append };

class ObjectLayer {
public:
    explicit ObjectLayer(QString name) : m_name(std::move(name)) {}

    const QString& name() const { return m_name; }

    // Adds the object and returns its new id (unique on this layer, never 0).
    uint32_t add(MapObject obj);
    bool remove(uint32_t id);
    MapObject* find(uint32_t id);
    const MapObject* find(uint32_t id) const;
    // Call after changing an object found through find().
    void touch() { ++m_version; }
    size_t size() const { return m_objects.size(); }
    const std::map<uint32_t, MapObject>& objects() const { return m_objects; }

    // Changes with every modification of objects or selection; the picture cache keys on it.
    uint64_t version() const { return m_version; }

    const std::vector<uint32_t>& selection() const { return m_selection; }
    void setSelection(std::vector<uint32_t> ids, SelectMode mode);
    void clearSelection();
    // Selects every object for which `hit` is true, in layer order.
    void selectWhere(const std::function<bool(const MapObject&)>& hit, SelectMode mode);

    // Layer settings the caller sets by role.
    bool editable = false;
    bool selectable = true;
    bool labelled = false;
    double labelZoomMax = 0.0;
    double labelZoomMin = 0.0;

private:
    QString m_name;
    std::map<uint32_t, MapObject> m_objects;
    std::vector<uint32_t> m_selection;
    uint32_t m_nextId = 1;
    uint64_t m_version = 1;
};

// Point list of a circle outline: (cx + r, cy), then every 3 degrees while the
// accumulated angle stays below a full turn, then (cx + r, cy) again.
std::vector<QPointF> circleOutline(double cx, double cy, double r);
// Closed rectangle outline: (x, y), (x+w, y), (x+w, y+h), (x, y+h), (x, y).
std::vector<QPointF> rectOutline(double x, double y, double w, double h);

// The custom symbol name of a bitmap path: "\", "/" and ":" become "_", and
// only the last 15 characters are kept.
QString symbolNameFor(const QString& bitmapPath);
// Symbol size of a bitmap object: max(width, height) truncated; 48 outside 1..48.
int symbolSizeFor(double width, double height);

} // namespace cartolink
