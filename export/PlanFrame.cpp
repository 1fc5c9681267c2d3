#include "export/PlanFrame.h"

#include "engine/Plan.h"

#include <QDateTime>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

MapViewSizeGuard::MapViewSizeGuard(const CPlan& plan) : m_plan(plan)
{
    for (const auto& layer : plan.m_Layers)
        m_sizes.emplace_back(layer->m_Map.GetViewWidth(), layer->m_Map.GetViewHeight());
}

MapViewSizeGuard::~MapViewSizeGuard()
{
    for (size_t i = 0; i < m_sizes.size() && i < m_plan.m_Layers.size(); ++i) {
        CMapLoader& map = m_plan.m_Layers[i]->m_Map;
        const auto [w, h] = m_sizes[i];
        if (map.GetViewWidth() == w && map.GetViewHeight() == h)
            continue;
        map.SetViewWidthHeight(w, h);
        if (w > 0 && h > 0)
            map.SetViewSize(w, h);
    }
}

PlanFrameRenderer::PlanFrameRenderer(QSize size, PlanRenderOptions options)
    : m_frame(size, QImage::Format_RGB32), m_renderer(size), m_options(std::move(options))
{
}

QRect PlanFrameRenderer::CaptionRect(QSize size)
{
    const int h = std::max(14, size.height() / 20);
    return QRect(0, size.height() - h, std::min(size.width(), h * 12), h);
}

const QImage& PlanFrameRenderer::Draw(const CPlan& plan, const QString& caption)
{
    const QSize size = m_frame.size();
    for (const auto& layer : plan.m_Layers) {
        CMapLoader& map = layer->m_Map;
        if (map.GetViewWidth() != size.width() || map.GetViewHeight() != size.height()) {
            map.SetViewWidthHeight(size.width(), size.height());
            map.SetViewSize(size.width(), size.height());
        }
    }
    m_frame.fill(Qt::black);
    QPainter painter(&m_frame);
    m_renderer.Paint(painter, &plan, size, m_options);
    if (!caption.isEmpty()) {
        const QRect box = CaptionRect(size);
        painter.fillRect(box, QColor(0, 0, 0, 160));
        const QRect room = box.adjusted(box.height() / 4, 0, -box.height() / 4, 0);
        QFont font = painter.font();
        int pixels = std::max(6, box.height() * 7 / 10);
        font.setPixelSize(pixels);
        // Small frames: a smaller font, so the whole time fits.
        const int width = QFontMetrics(font).horizontalAdvance(caption);
        if (width > room.width() && width > 0)
            font.setPixelSize(std::max(6, pixels * room.width() / width));
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(room, Qt::AlignVCenter | Qt::AlignLeft, caption);
    }
    return m_frame;
}

QString PlanTimeCaption(const CPlan& plan, int64_t ms)
{
    const int64_t seconds = plan.m_StartTime + (ms < 0 ? 0 : ms / 1000);
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
