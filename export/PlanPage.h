#pragma once

#include "export/ExportResult.h"

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <cstdint>
#include <string>

class CMapLoader;
class CPlan;
class QPagedPaintDevice;
class QPainter;

// What the title block under the picture says.
struct PageTitle {
    QString planName;
    QString mapName;
    QString planTime;        // the plan date-time shown
    double kmPerPixel = 0;   // ground per view pixel; 0: no scale bar
    bool northArrow = false; // GIS maps are drawn north up
};

// The title of a view of `viewSize` pixels on the plan's first layer map,
// showing plan time `epoch` (seconds since 1970).
PageTitle PageTitleFor(const CPlan& plan, const QString& planName, int64_t epoch, QSize viewSize);
// Ground size of one view pixel in km at the view's centre: bitmap maps from
// their size and zoom, GIS maps from the longitudes across the view.
double KmPerViewPixel(CMapLoader& map, QSize viewSize);
// A round length (1, 2 or 5 times a power of ten) not above `km`.
double RoundScaleLength(double km);

// The page layout, in the page's own units: the picture above, kept in
// proportion and centred, the title block below.
struct PlanPageLayout {
    QRectF picture;
    QRectF title;
    static PlanPageLayout For(const QRectF& page, QSize view);
};

// Draws the view picture and the title block on a page of the painter.
void DrawPlanPage(QPainter& painter, const QRectF& page, const QImage& view, const PageTitle& title);
// One page on a printer or PDF writer (landscape when the view is wider than high).
ExportResult PrintPlanPage(QPagedPaintDevice& device, const QImage& view, const PageTitle& title);
// An A4 PDF file of the page.
ExportResult ExportPlanPdf(const std::string& path, const QImage& view, const PageTitle& title);
