#pragma once

// The map engine: the layers of an open map set, the view onto them, the
// object layer on top, selections, and a cached picture of the whole.
// It knows nothing about windows; MapControl shows it in a widget.

#include "LayerRenderer.h"
#include "MapLayer.h"
#include "ObjectLayer.h"
#include "Viewport.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QString>

#include <memory>
#include <vector>

class QPainter;
class QPen;

namespace cartolink {

class MapEngine {
public:
    MapEngine();
    ~MapEngine();
    MapEngine(const MapEngine&) = delete;
    MapEngine& operator=(const MapEngine&) = delete;

    // ---- map set ----
    // Opens a ".gst" map set or a single GDAL source. On success the map layers
    // are replaced and the view is centred on the map set; on failure nothing
    // changes and `error` says why.
    bool open(const QString& path, QString* error);
    // Removes every layer, the object layer included.
    void removeAllLayers();
    const std::vector<std::unique_ptr<MapLayer>>& layers() const { return m_layers; }
    // Layers as a map control lists them: 1 is the top; the object layer, when
    // present, is layer 1.
    int layerCount() const;
    // The bounds of the map set's data as read.
    Bounds fullExtent() const;
    const QString& mapSetName() const { return m_name; }
    QColor background() const { return m_background; }

    // ---- object layer ----
    ObjectLayer* createObjectLayer(const QString& name);
    void removeObjectLayer();
    ObjectLayer* objectLayer() { return m_objects.get(); }
    const ObjectLayer* objectLayer() const { return m_objects.get(); }
    int objectLayerIndex() const { return m_objects ? 1 : -1; }
    // Folder whose files kind-2 objects are drawn from.
    void setSymbolFolder(const QString& dir) { m_symbolFolder = dir; }
    const QString& symbolFolder() const { return m_symbolFolder; }
    // Forgets a cached symbol picture (its file was replaced).
    void reloadSymbol(const QString& name);

    // Selection on the object layer, in map coordinates.
    void selectAtPixel(QPointF pixel, double tolerancePx, SelectMode mode);
    void selectInRect(const Bounds& rect, SelectMode mode);
    void selectInRadius(QPointF centre, double radius, SelectMode mode);

    // ---- view ----
    const Viewport& view() const { return m_view; }
    void setViewSize(int w, int h);
    double zoom() const { return m_view.zoomKm(); }
    void zoomTo(double km);
    void zoomTo(double km, double cx, double cy);
    void setCentre(double x, double y);
    void pan(double dxPx, double dyPx);
    // The widest view: the whole map set with a margin, centred.
    void showFullExtent();
    QPointF pixelToMap(QPointF px) const { return m_view.toMap(px.x(), px.y()); }
    QPointF mapToPixel(QPointF map) const { return m_view.toPixel(map.x(), map.y()); }

    // ---- rendering ----
    // The current picture (view size), drawn only when the view or data changed.
    const QImage& picture();
    // Throws away the cached picture.
    void invalidate();

private:
    void renderObjects(QPainter& p);
    const QImage* symbolImage(const QString& name, int size);
    const QImage& circleSprite(double radiusPx, const QPen& pen);

    std::vector<std::unique_ptr<MapLayer>> m_layers;
    std::unique_ptr<ObjectLayer> m_objects;
    QString m_name;
    QColor m_background;
    QString m_symbolFolder;
    Viewport m_view;
    LayerRenderer m_renderer;

    // Two-level cache: map layers alone, and layers with objects on top, so
    // that an object change does not redraw the map.
    QImage m_base;
    QImage m_picture;
    bool m_baseValid = false;
    bool m_pictureValid = false;
    uint64_t m_pictureObjVersion = 0;
    const ObjectLayer* m_pictureObjLayer = nullptr;

    struct Symbol {
        QImage source;
        QHash<int, QImage> scaled;
        bool missing = false;
    };
    QHash<QString, Symbol> m_symbols;
    QHash<QString, QImage> m_circleSprites;
};

} // namespace cartolink
