#pragma once

#include "render/PlanRenderer.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

class CPlan;

// Gives every layer's map the view size it had when the guard was made, so
// drawing frames of another size leaves the program's view as it was.
class MapViewSizeGuard {
public:
    explicit MapViewSizeGuard(const CPlan& plan);
    ~MapViewSizeGuard();
    MapViewSizeGuard(const MapViewSizeGuard&) = delete;
    MapViewSizeGuard& operator=(const MapViewSizeGuard&) = delete;

private:
    const CPlan& m_plan;
    std::vector<std::pair<int, int>> m_sizes;
};

// Draws the plan as the view of the given size shows it (every layer's map at
// its zoom and centre, run mode unless the options say otherwise), with an
// optional time caption in the bottom-left corner.
class PlanFrameRenderer {
public:
    explicit PlanFrameRenderer(QSize size, PlanRenderOptions options = {});
    // The picture stays valid until the next Draw.
    const QImage& Draw(const CPlan& plan, const QString& caption = {});
    QSize Size() const { return m_frame.size(); }

    // Where a caption is drawn in a frame of `size` (tests leave it out of comparisons).
    static QRect CaptionRect(QSize size);

private:
    QImage m_frame;
    CPlanRenderer m_renderer;
    PlanRenderOptions m_options;
};

// The plan date-time `ms` after the start as the caption shows it,
// "yyyy-MM-dd HH:mm:ss" in local time as the event list stamps events.
QString PlanTimeCaption(const CPlan& plan, int64_t ms);
