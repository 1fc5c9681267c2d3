#include "ui/ExportCommands.h"

#include "app/TarnwickApp.h"
#include "config/MessageReporter.h"
#include "engine/Plan.h"
#include "export/GisExport.h"
#include "export/PlayDiversion.h"
#include "export/PlayRecorder.h"
#include "ui/MainWindow.h"
#include "ui/TarnwickView.h"
#include "ui/TimeControlDlg.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>

namespace {

QMenu* FileMenu(QMenuBar* bar)
{
    for (QAction* a : bar->actions())
        if (a->menu() && a->text() == QStringLiteral("文件(&F)"))
            return a->menu();
    return nullptr;
}

// A modal progress dialog whose callback says whether to go on.
class Progress {
public:
    Progress(QWidget* parent, const QString& text) : m_dialog(text, QStringLiteral("取消"), 0, 100, parent)
    {
        m_dialog.setWindowTitle(QStringLiteral("导出"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(300);
        m_dialog.setValue(0);
    }
    std::function<bool(int, int)> Callback()
    {
        return [this](int done, int total) {
            m_dialog.setMaximum(std::max(1, total));
            m_dialog.setValue(std::min(done, std::max(1, total)));
            QApplication::processEvents();
            return !m_dialog.wasCanceled();
        };
    }

private:
    QProgressDialog m_dialog;
};

}  // namespace

CExportCommands::CExportCommands(CTarnwickApp& app, CMainFrame& frame) : QObject(&frame), m_app(app), m_frame(frame)
{
    setObjectName(QStringLiteral("ExportCommands"));
    m_gis = new QAction(QStringLiteral("导出GIS数据..."), this);
    m_gis->setStatusTip(QStringLiteral("把单位, 路线, 打击目标, 航迹, 事件和击中记录导出为GIS数据"));
    m_video = new QAction(QStringLiteral("导出动画..."), this);
    m_video->setStatusTip(QStringLiteral("把推演过程导出为MP4视频或GIF动画"));
    m_pdf = new QAction(QStringLiteral("导出PDF..."), this);
    m_pdf->setStatusTip(QStringLiteral("把当前视图连同标题栏导出为PDF文件"));
    connect(m_gis, &QAction::triggered, this, &CExportCommands::OnExportGis);
    connect(m_video, &QAction::triggered, this, &CExportCommands::OnExportVideo);
    connect(m_pdf, &QAction::triggered, this, &CExportCommands::OnExportPdf);
    askVideo = [this](VideoOptions& o) { return AskVideoDialog(o); };

    if (QMenu* file = FileMenu(m_frame.menuBar())) {
        QAction* print = m_frame.Action(CMainFrame::ID_FILE_PRINT);
        QAction* before = print && file->actions().contains(print) ? print : nullptr;
        for (QAction* a : {m_gis, m_video, m_pdf})
            file->insertAction(before, a);
    }
}

bool CExportCommands::ClockStopped()
{
    if (!m_app.m_ClockService.IsRunning())
        return true;
    ReportError(m_app.Reporter(), "请先停止推演再导出", "提示信息");
    return false;
}

void CExportCommands::RestorePlay()
{
    CPlan* plan = m_app.GetPlan();
    if (!plan)
        return;
    DiscardingSink discard;
    PlayStateDiversion diversion(*plan, discard);
    plan->SeekTo(m_frame.LastTickMs(), uint32_t(m_app.m_ClockService.GetPeriod()));
    if (m_frame.View())
        m_frame.View()->update();
}

void CExportCommands::Show(const ExportResult& result)
{
    if (result.ok)
        m_frame.statusBar()->showMessage(QString::fromStdString(result.description), 10000);
    else if (result.cancelled)
        m_frame.statusBar()->showMessage(QStringLiteral("导出已取消"), 10000);
    else
        ReportError(m_app.Reporter(), result.description, "错误");
}

// ---- GIS data ---------------------------------------------------------------------------

void CExportCommands::OnExportGis()
{
    if (!m_app.GetPlan() || !ClockStopped())
        return;
    const QString path = m_frame.GetDialogs().saveFile(
        QStringLiteral("GeoPackage(*.gpkg)|*.gpkg|GeoJSON(*.geojson)|*.geojson|Google Earth KML(*.kml)|*.kml|"
                       "ESRI Shapefile(*.shp)|*.shp||"),
        QStringLiteral("gpkg"));
    if (!path.isEmpty())
        Show(ExportGisTo(path));
}

ExportResult CExportCommands::ExportGisTo(const QString& path)
{
    CPlan* plan = m_app.GetPlan();
    if (!plan)
        return ExportResult::Failed("没有预案");
    if (m_app.m_ClockService.IsRunning())
        return ExportResult::Failed("请先停止推演再导出");
    Progress progress(&m_frame, QStringLiteral("正在推演以记录航迹..."));
    const uint32_t seconds = PlanSeconds(*plan);
    const PlayRecord play = RecordPlay(*plan, seconds, uint32_t(m_app.m_ClockService.GetPeriod()), progress.Callback());
    ExportResult result = play.seconds < int32_t(seconds)
                              ? ExportResult::Cancelled()
                              : ExportGis(*plan, play, path.toStdString(), GisFormatForPath(path.toStdString()));
    RestorePlay();
    return result;
}

// ---- animation ----------------------------------------------------------------------------

void CExportCommands::OnExportVideo()
{
    CPlan* plan = m_app.GetPlan();
    if (!plan || !ClockStopped())
        return;
    const QString path = m_frame.GetDialogs().saveFile(
        QStringLiteral("MP4 视频(*.mp4)|*.mp4|GIF 动画(*.gif)|*.gif||"), QStringLiteral("mp4"));
    if (path.isEmpty())
        return;
    VideoOptions options;
    options.path = path.toStdString();
    options.format = VideoFormatForPath(options.path);
    options.toMs = PlanSeconds(*plan) * 1000;
    if (options.format == VideoFormat::Gif) {
        options.size = QSize(640, 360);
        options.fps = 10;
    }
    options.render = m_frame.View() ? m_frame.View()->RenderOptions() : PlanRenderOptions{};
    options.render.editMode = false;
    if (!askVideo || !askVideo(options))
        return;
    Show(ExportVideoWith(options));
}

bool CExportCommands::AskVideoDialog(VideoOptions& o)
{
    QDialog dialog(&m_frame);
    dialog.setWindowTitle(QStringLiteral("导出动画"));
    auto* form = new QFormLayout(&dialog);
    const int length = int(o.toMs / 1000);
    auto spin = [&](int min, int max, int value, const QString& suffix) {
        auto* s = new QSpinBox(&dialog);
        s->setRange(min, max);
        s->setValue(value);
        s->setSuffix(suffix);
        return s;
    };
    QSpinBox* from = spin(0, length, int(o.fromMs / 1000), QStringLiteral(" 秒"));
    QSpinBox* to = spin(0, length, length, QStringLiteral(" 秒"));
    QSpinBox* width = spin(16, 7680, o.size.width(), QStringLiteral(" 像素"));
    QSpinBox* height = spin(16, 4320, o.size.height(), QStringLiteral(" 像素"));
    QSpinBox* fps = spin(1, 120, o.fps, QString());
    form->addRow(QStringLiteral("开始时间:"), from);
    form->addRow(QStringLiteral("结束时间:"), to);
    form->addRow(QStringLiteral("画面宽度:"), width);
    form->addRow(QStringLiteral("画面高度:"), height);
    form->addRow(QStringLiteral("每秒帧数:"), fps);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    o.fromMs = uint32_t(from->value()) * 1000;
    o.toMs = uint32_t(to->value()) * 1000;
    o.size = QSize(width->value(), height->value());
    o.fps = fps->value();
    return true;
}

ExportResult CExportCommands::ExportVideoWith(const VideoOptions& options)
{
    CPlan* plan = m_app.GetPlan();
    if (!plan)
        return ExportResult::Failed("没有预案");
    if (m_app.m_ClockService.IsRunning())
        return ExportResult::Failed("请先停止推演再导出");
    ExportResult result;
    {
        Progress progress(&m_frame, QStringLiteral("正在导出动画..."));
        result = ExportVideo(*plan, options, progress.Callback());
    }
    RestorePlay();
    return result;
}

// ---- PDF and printing ---------------------------------------------------------------------

QImage CExportCommands::ViewPicture() const
{
    CTarnwickView* view = m_frame.View();
    const QSize size = view && !view->size().isEmpty() ? view->size() : QSize(1024, 768);
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    if (view) {
        QPainter painter(&picture);
        view->Render(painter, size);
    }
    return picture;
}

PageTitle CExportCommands::CurrentTitle(QSize viewSize) const
{
    const QString path = m_app.m_Doc.GetPathName();
    const QString name = path.isEmpty() ? m_app.m_Doc.GetTitle() : QFileInfo(path).completeBaseName();
    const std::time_t now = m_frame.TimePanel() ? m_frame.TimePanel()->GetCurrentTime() : 0;
    if (const CPlan* plan = m_app.GetPlan())
        return PageTitleFor(*plan, name, int64_t(now), viewSize);
    PageTitle title;
    title.planName = name;
    return title;
}

ExportResult CExportCommands::PrintTo(QPagedPaintDevice& device)
{
    const QImage picture = ViewPicture();
    return PrintPlanPage(device, picture, CurrentTitle(picture.size()));
}

void CExportCommands::OnExportPdf()
{
    if (!m_app.GetPlan())
        return;
    const QString path = m_frame.GetDialogs().saveFile(QStringLiteral("PDF 文件(*.pdf)|*.pdf||"), QStringLiteral("pdf"));
    if (!path.isEmpty())
        Show(ExportPdfTo(path));
}

ExportResult CExportCommands::ExportPdfTo(const QString& path)
{
    const QImage picture = ViewPicture();
    return ExportPlanPdf(path.toStdString(), picture, CurrentTitle(picture.size()));
}
