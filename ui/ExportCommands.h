#pragma once

#include "export/ExportResult.h"
#include "export/PlanPage.h"
#include "export/VideoExport.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>

class CMainFrame;
class CTarnwickApp;
class QAction;
class QPagedPaintDevice;

// The file menu's exports of the plan and its play: GIS data, an animation,
// a PDF page of the view, and printing that page. The exporters do the work;
// this class asks for files and settings, shows progress and results, and
// puts the plan back where the time bar stood afterwards. Owned by the frame.
class CExportCommands : public QObject {
    Q_OBJECT
public:
    CExportCommands(CTarnwickApp& app, CMainFrame& frame);

    // The animation settings; defaults to a dialog. False when cancelled. Tests replace it.
    std::function<bool(VideoOptions&)> askVideo;

    QAction* GisAction() const { return m_gis; }
    QAction* VideoAction() const { return m_video; }
    QAction* PdfAction() const { return m_pdf; }

    void OnExportGis();
    void OnExportVideo();
    void OnExportPdf();

    ExportResult ExportGisTo(const QString& path);
    ExportResult ExportVideoWith(const VideoOptions& options);
    ExportResult ExportPdfTo(const QString& path);
    // The page "打印(&P)..." prints and "导出PDF..." writes.
    ExportResult PrintTo(QPagedPaintDevice& device);

    // The view as it shows now, and the title block for it.
    QImage ViewPicture() const;
    PageTitle CurrentTitle(QSize viewSize) const;

private:
    // False (with a message) while the clock runs: exports play the plan themselves.
    bool ClockStopped();
    // Back to the state the time bar shows, without touching the event list.
    void RestorePlay();
    void Show(const ExportResult& result);
    bool AskVideoDialog(VideoOptions& options);

    CTarnwickApp& m_app;
    CMainFrame& m_frame;
    QAction* m_gis = nullptr;
    QAction* m_video = nullptr;
    QAction* m_pdf = nullptr;
};
