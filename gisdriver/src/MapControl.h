#pragma once

// The map control: a widget that shows a MapEngine and turns the mouse into
// the control's tools (pan, zoom, selection, custom tools), reporting what
// happened through signals. Tool numbers are those of the map control the
// library was designed around (1000 arrow, 1001 pan, 1003 zoom in, 1004 zoom
// out, 1007 select, 1008 radius select, 1009 rectangle select, plus custom tools).

#include "MapEngine.h"

#include <QCursor>
#include <QPoint>
#include <QWidget>

class QPainter;

#include <map>

namespace cartolink {

enum ControlTool : int {
    ToolArrow = 1000,
    ToolPan = 1001,
    ToolZoomIn = 1003,
    ToolZoomOut = 1004,
    ToolSelect = 1007,
    ToolRadiusSelect = 1008,
    ToolRectSelect = 1009,
};

// Shapes a custom tool collects.
enum CustomToolType : int { CustomPoint = 0, CustomLine = 1, CustomCircle = 2 };

class MapControl : public QWidget {
    Q_OBJECT
public:
    explicit MapControl(QWidget* parent);

    MapEngine& engine() { return m_engine; }

    // Selects a built-in or custom tool; unknown numbers are refused.
    bool setCurrentTool(int tool);
    int currentTool() const { return m_tool; }
    void createCustomTool(int number, int type, int cursorCode);
    bool hasTool(int tool) const;

    // Numeric control settings, kept by number for whoever sets them.
    void setSetting(int number, int value) { m_settings[number] = value; }
    int setting(int number) const;

    // Sizes the widget and the engine's view together (the widget may be hidden,
    // and hidden widgets get no resize events).
    void setMapGeometry(const QRect& r);
    // Redraws the picture at once.
    void refresh();

signals:
    void mousePressed(int button, int shift, int x, int y);
    void mouseReleased(int button, int shift, int x, int y);
    void mouseMoved(int button, int shift, int x, int y);
    void doubleClicked(int x, int y);
    void keyPressed(int key, int shift);
    void toolUsed(int tool, double x1, double y1, double x2, double y2, double distance, bool shift, bool ctrl);
    void selectionChanged();
    void viewChanged();
    // The selected objects were dragged to a new place.
    void objectsMoved();
    // The picture has been painted; listeners may draw over it with `p`.
    void drawn(QPainter* p);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    void finishDrag(QPoint releasePx, Qt::KeyboardModifiers mods);
    // Editable layer, select tool: does a press start dragging objects?
    bool pressGrabsObject(QPoint px);

    MapEngine m_engine;
    int m_tool = ToolSelect;
    std::map<int, int> m_customTools; // number -> type
    std::map<int, int> m_settings;
    bool m_dragging = false;
    bool m_draggingObjects = false;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    QPoint m_pressPx;
    QPoint m_currentPx;
};

} // namespace cartolink
