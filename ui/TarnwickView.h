#pragma once

#include "map/PlanRenderer.h"

#include <QImage>
#include <QWidget>

#include <atomic>

class CTarnwickApp;
class QPainter;

// The plan view: the first layer's map and the plan's units, composed in a
// back buffer and copied in one go. Without a plan it shows the blue
// background with Logo.bmp centred. The clock asks for repaints from its own
// thread through RequestRepaint, which only posts; pending requests collapse
// into one paint.
class CTarnwickView : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb kNoPlanBackground = CPlanRenderer::kNoPlanBackground;
    static constexpr QRgb kUnitNameColour = CPlanRenderer::kUnitNameColour;

    explicit CTarnwickView(CTarnwickApp& app, QWidget* parent = nullptr);

    // Map tool: 0 select, 1 zoom in on click, 2 zoom out on click.
    int GetMapTool() const { return m_mapTool; }
    void SetMapTool(int tool) { m_mapTool = tool; }

    // Safe from any thread.
    void RequestRepaint();
    // Paints the scene (plan or no-plan picture) of the given size; used by
    // the paint event and by printing.
    void Render(QPainter& painter, const QSize& size);
    // Gives every layer's map the view's size.
    void ApplyViewSize();
    // Paint events handled since construction (tests: coalescing).
    int PaintCount() const { return m_paintCount; }
    // What the next paint depends on: the application's flags, the drag and
    // pick state below and the cursor.
    PlanRenderOptions RenderOptions() const;
    // The drawing code (its tracker hook draws the selected unit's tracker).
    CPlanRenderer& Renderer() { return m_renderer; }

signals:
    // The mouse moved over the view (view pixels).
    void mouseMovedTo(QPoint point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CTarnwickApp& m_app;
    CPlanRenderer m_renderer;
    // Drag offset and pick state of the interaction; the app flags and the
    // cursor are filled in for each paint.
    PlanRenderOptions m_viewState;
    int m_mapTool = 0;
    int m_paintCount = 0;
    std::atomic<bool> m_repaintPending{false};
};
