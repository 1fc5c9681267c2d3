#include "export/PlanPage.h"

#include "engine/Plan.h"
#include "map/MapLoader.h"

#include <QDateTime>
#include <QFile>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kKmPerDegree = 111.32;  // along the equator or a meridian
}  // namespace

double KmPerViewPixel(CMapLoader& map, QSize viewSize)
{
    if (viewSize.width() <= 0)
        return 0;
    if (map.GetMapType() == 0) {
        const double pixels = map.GetImageWidth() * map.GetZoom();
        return pixels > 0 && map.GetWidthKm() > 0 ? map.GetWidthKm() / pixels : 0;
    }
    if (map.GetMapType() != 1 || !map.IsGisRunning())
        return 0;
    const int cy = viewSize.height() / 2;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    map.ViewToMap(x0, y0, 0, cy);
    map.ViewToMap(x1, y1, viewSize.width(), cy);
    const double km = std::abs(x1 - x0) * kKmPerDegree * std::cos(y0 * kPi / 180);
    return std::isfinite(km) ? km / viewSize.width() : 0;
}

double RoundScaleLength(double km)
{
    if (!(km > 0) || !std::isfinite(km))
        return 0;
    const double power = std::pow(10.0, std::floor(std::log10(km)));
    for (double step : {5.0, 2.0, 1.0})
        if (step * power <= km * (1 + 1e-12))
            return step * power;
    return power;
}

PageTitle PageTitleFor(const CPlan& plan, const QString& planName, int64_t epoch, QSize viewSize)
{
    PageTitle t;
    t.planName = planName;
    t.planTime = QDateTime::fromSecsSinceEpoch(epoch).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (CPlanLayer* layer = plan.GetFirstLayer()) {
        t.mapName = QString::fromStdString(layer->m_MapName);
        t.kmPerPixel = KmPerViewPixel(layer->m_Map, viewSize);
        t.northArrow = layer->m_MapType == 1;
    }
    return t;
}

PlanPageLayout PlanPageLayout::For(const QRectF& page, QSize view)
{
    PlanPageLayout l;
    const double titleHeight = page.height() * 0.14;
    const double gap = page.height() * 0.02;
    const QRectF area(page.left(), page.top(), page.width(), page.height() - titleHeight - gap);
    QSizeF size(view.isEmpty() ? QSize(4, 3) : view);
    size.scale(area.size(), Qt::KeepAspectRatio);
    l.picture = QRectF(area.left() + (area.width() - size.width()) / 2, area.top(), size.width(), size.height());
    l.title = QRectF(page.left(), l.picture.bottom() + gap, page.width(), titleHeight);
    return l;
}

namespace {

void DrawNorthArrow(QPainter& painter, const QRectF& box)
{
    const double s = std::min(box.width(), box.height());
    const QPointF c = box.center();
    QPainterPath arrow;
    arrow.moveTo(c.x(), c.y() - s * 0.3);
    arrow.lineTo(c.x() + s * 0.15, c.y() + s * 0.25);
    arrow.lineTo(c.x(), c.y() + s * 0.12);
    arrow.lineTo(c.x() - s * 0.15, c.y() + s * 0.25);
    arrow.closeSubpath();
    painter.setBrush(Qt::black);
    painter.drawPath(arrow);
    painter.drawText(QRectF(c.x() - s * 0.3, box.top() - s * 0.05, s * 0.6, s * 0.2), Qt::AlignCenter,
                     QStringLiteral("N"));
}

void DrawScaleBar(QPainter& painter, const QRectF& box, double kmPerUnit)
{
    const double km = RoundScaleLength(kmPerUnit * box.width() * 0.8);
    if (!(km > 0))
        return;
    const double length = km / kmPerUnit;
    const double h = box.height() * 0.18;
    const QRectF bar(box.left(), box.center().y(), length, h);
    painter.setBrush(Qt::white);
    painter.drawRect(bar);
    painter.setBrush(Qt::black);
    painter.drawRect(QRectF(bar.left(), bar.top(), length / 2, h));
    const QString text = km >= 1 ? QStringLiteral("%1 km").arg(km) : QStringLiteral("%1 m").arg(km * 1000);
    painter.drawText(QRectF(box.left(), box.top(), box.width(), box.height() / 2 - h * 0.2),
                     Qt::AlignLeft | Qt::AlignBottom, text);
}

}  // namespace

void DrawPlanPage(QPainter& painter, const QRectF& page, const QImage& view, const PageTitle& title)
{
    const PlanPageLayout layout = PlanPageLayout::For(page, view.size());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(layout.picture, view);

    const QRectF t = layout.title;
    QPen pen(Qt::black);
    pen.setWidthF(t.height() * 0.01);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(t);
    QFont font = painter.font();
    font.setPixelSize(std::max(1, int(t.height() * 0.18)));
    painter.setFont(font);
    const double pad = t.height() * 0.08;
    const QRectF text(t.left() + pad, t.top() + pad, t.width() * 0.6, t.height() - 2 * pad);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("预案: %1\n地图: %2\n时间: %3").arg(title.planName, title.mapName, title.planTime));
    if (title.kmPerPixel > 0 && view.width() > 0) {
        const double kmPerUnit = title.kmPerPixel * view.width() / layout.picture.width();
        DrawScaleBar(painter, QRectF(t.left() + t.width() * 0.62, t.top() + pad, t.width() * 0.25, t.height() - 2 * pad),
                     kmPerUnit);
    }
    if (title.northArrow)
        DrawNorthArrow(painter, QRectF(t.right() - t.height(), t.top() + pad, t.height() - pad, t.height() - 2 * pad));
    painter.restore();
}

ExportResult PrintPlanPage(QPagedPaintDevice& device, const QImage& view, const PageTitle& title)
{
    device.setPageOrientation(view.width() > view.height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPainter painter;
    if (!painter.begin(&device))
        return ExportResult::Failed("无法开始打印");
    const QRectF page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    DrawPlanPage(painter, QRectF(0, 0, page.width(), page.height()), view, title);
    if (!painter.end())
        return ExportResult::Failed("打印失败");
    return ExportResult::Done();
}

ExportResult ExportPlanPdf(const std::string& path, const QImage& view, const PageTitle& title)
{
    const QString file = QString::fromStdString(path);
    {
        QFile probe(file);
        if (!probe.open(QIODevice::WriteOnly))
            return ExportResult::Failed("无法写入 " + path + ": " + probe.errorString().toStdString());
    }
    QPdfWriter writer(file);
    writer.setResolution(150);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    writer.setTitle(title.planName);
    writer.setCreator(QStringLiteral("Tarnwick"));
    ExportResult result = PrintPlanPage(writer, view, title);
    if (!result.ok) {
        QFile::remove(file);
        return result;
    }
    return ExportResult::Done("已导出PDF到 " + path);
}
