#pragma once

// Draws the map layers of a view. The shapes go into a picture a margin larger
// than the view at the view's scale, so that a pan only copies a part of it;
// the labels of all layers are then placed anew over that part for each view,
// after every shape, so that nothing covers them.

#include "MapLayer.h"
#include "Viewport.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <memory>
#include <vector>

class QPainter;
class QStaticText;

namespace cartolink {

// Labels of all layers wait for a final pass, so that no later shape covers
// them; the most important are placed first and the rest only where free.
struct LabelCandidate {
    const QStaticText* text;
    QPointF anchor;   // the point a point label stands beside, else the box centre
    QRectF shape;     // pixel bounds of a labelled area, for its priority
    QSizeF size;
    double priority;  // larger first
    QColor colour;
    bool point;
};

class LayerRenderer {
public:
    // Room around the view drawn ahead, in pixels on each side.
    static constexpr int kMarginPx = 192;

    // Paints the layers of `view` into `target` (view size, already allocated).
    void render(QImage& target, const std::vector<std::unique_ptr<MapLayer>>& layers, const Viewport& view,
                const QColor& background);
    // The layers or their data changed: the next view is drawn anew.
    void invalidate() { m_valid = false; }

private:
    // The area a picture of shapes covers: its map corner, scale and size.
    struct Frame {
        QPointF topLeft;
        double degPerPx = 1.0;
        int width = 0;
        int height = 0;
        double zoomKm = 0.0; // of the view: what decides the layers shown
        Bounds mapBounds() const
        {
            Bounds b;
            b.add(topLeft.x(), topLeft.y());
            b.add(topLeft.x() + width * degPerPx, topLeft.y() - height * degPerPx);
            return b;
        }
    };
    void drawShapes(QPainter& p, const Frame& frame, const std::vector<std::unique_ptr<MapLayer>>& layers,
                    const QColor& background);
    static std::vector<char> shownLayers(const std::vector<std::unique_ptr<MapLayer>>& layers, double zoomKm);

    QImage m_buffer;
    Frame m_frame;
    std::vector<char> m_shown;
    QColor m_background;
    bool m_valid = false;
    // Labels of the shapes in the buffer, in buffer pixels.
    std::vector<LabelCandidate> m_labels;
};

} // namespace cartolink
