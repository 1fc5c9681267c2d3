#include "GisControlPanel.h"

#include "MapControl.h"
#include "MapEngine.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace cartolink {

namespace {
constexpr int kProgressMs = 1000;
constexpr double kDefaultScaleKm = 5.0;
// A pan from the panel moves the view by this share of its size.
constexpr double kPanShare = 0.25;
} // namespace

std::vector<SearchLayer> searchSnapshot(const MapEngine& engine)
{
    std::vector<SearchLayer> out;
    if (const ObjectLayer* objects = engine.objectLayer()) {
        SearchLayer l{objects->name(), {}, true};
        for (const auto& entry : objects->objects())
            l.features.push_back({entry.second.comment, QString(), entry.second.centre()});
        out.push_back(std::move(l));
    }
    for (const auto& layer : engine.layers()) {
        SearchLayer l{layer->name, {}};
        l.features.reserve(layer->features.size());
        for (const MapFeature& f : layer->features) {
            const QString name = f.label >= 0 && size_t(f.label) < layer->labels.size() ? layer->labels[size_t(f.label)]
                                                                                        : QString();
            l.features.push_back({QString(), name, f.bounds.centre()});
        }
        out.push_back(std::move(l));
    }
    return out;
}

bool searchMatches(const QString& text, const QString& keyword, bool exact)
{
    if (exact)
        return !text.isEmpty() && text.toLower() == keyword;
    return keyword.isEmpty() || text.toLower().contains(keyword);
}

CGisControlPanel::CGisControlPanel(Host host)
    : QDialog(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_host(std::move(host))
{
    setObjectName(QStringLiteral("CGisControlPanel"));
    setWindowTitle(QStringLiteral("地图控制面板"));
    setModal(false);

    auto* zoomIn = new QPushButton(QStringLiteral("放大"));
    auto* zoomOut = new QPushButton(QStringLiteral("缩小"));
    auto* pan = new QPushButton(QStringLiteral("平移"));
    auto* overview = new QPushButton(QStringLiteral("鹰眼窗口"));
    auto* fullScreen = new QPushButton(QStringLiteral("全屏/退出"));
    fullScreen->setEnabled(false);
    m_exit = new QPushButton(QStringLiteral("退出"));
    auto* tools = new QHBoxLayout;
    for (QPushButton* b : {zoomIn, zoomOut, pan, overview, fullScreen, m_exit})
        tools->addWidget(b);
    connect(zoomIn, &QPushButton::clicked, this, [this] { onToolButton(ToolZoomIn); });
    connect(zoomOut, &QPushButton::clicked, this, [this] { onToolButton(ToolZoomOut); });
    connect(pan, &QPushButton::clicked, this, [this] { onToolButton(ToolPan); });
    // Without a visible map control the pan button offers the four directions.
    m_panMenu = new QMenu(this);
    const struct {
        const char* text;
        double dx, dy;
    } directions[] = {{"向北", 0, 1}, {"向南", 0, -1}, {"向西", -1, 0}, {"向东", 1, 0}};
    for (const auto& d : directions) {
        m_panMenu->addAction(QString::fromUtf8(d.text), this, [this, dx = d.dx, dy = d.dy] {
            if (m_host.panBy)
                m_host.panBy(dx * kPanShare, dy * kPanShare);
        });
    }
    m_panButton = pan;
    connect(overview, &QPushButton::clicked, this, [this] { if (m_host.showOverview) m_host.showOverview(); });
    connect(m_exit, &QPushButton::clicked, this, &QDialog::close);

    m_allLayers = new QCheckBox(QStringLiteral("所有层"));
    m_exact = new QCheckBox(QStringLiteral("精确匹配"));
    m_layerList = new QComboBox;
    m_layerList->setObjectName(QStringLiteral("layerList"));
    m_layerList->addItem(QString::fromUtf8(kAllMapLayers));
    if (m_host.snapshot)
        for (const SearchLayer& l : m_host.snapshot())
            m_layerList->addItem(l.name);
    m_layerList->setCurrentIndex(0);
    connect(m_allLayers, &QCheckBox::toggled, this, [this](bool on) { m_layerList->setEnabled(!on); });
    m_keyword = new QLineEdit(QString::fromUtf8(kDefaultKeyword));
    m_keyword->setObjectName(QStringLiteral("keyword"));
    m_keyword->installEventFilter(this);
    m_scale = new QDoubleSpinBox;
    m_scale->setObjectName(QStringLiteral("scale"));
    m_scale->setRange(0.0, 100000.0);
    m_scale->setDecimals(3);
    m_scale->setValue(kDefaultScaleKm);
    m_find = new QPushButton(QStringLiteral("查找"));
    connect(m_find, &QPushButton::clicked, this, &CGisControlPanel::startSearch);
    m_progress = new QLabel;
    m_progress->setObjectName(QStringLiteral("progress"));
    m_coords = new QLineEdit;
    m_coords->setObjectName(QStringLiteral("coordinates"));
    m_coords->setReadOnly(true);

    auto* grid = new QGridLayout;
    grid->addWidget(m_allLayers, 0, 0);
    grid->addWidget(m_layerList, 0, 1);
    grid->addWidget(m_exact, 1, 0);
    grid->addWidget(m_keyword, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("显示比例")), 2, 0);
    grid->addWidget(m_scale, 2, 1);
    grid->addWidget(m_find, 3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addLayout(grid);
    layout->addWidget(m_progress);
    layout->addWidget(m_coords);

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(kProgressMs);
    connect(m_progressTimer, &QTimer::timeout, this, &CGisControlPanel::showProgress);

    m_resultDialog = new QDialog(this);
    m_resultDialog->setWindowTitle(QStringLiteral("查询结果"));
    m_resultList = new QListWidget;
    auto* ok = new QPushButton(QStringLiteral("确定"));
    auto* rl = new QVBoxLayout(m_resultDialog);
    rl->addWidget(m_resultList);
    rl->addWidget(ok);
    connect(ok, &QPushButton::clicked, m_resultDialog, &QDialog::accept);
    // A click on the current entry must centre again, so clicks count, not changes.
    connect(m_resultList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { chooseResult(m_resultList->row(item)); });
    connect(m_resultList, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { chooseResult(m_resultList->row(item)); });
}

CGisControlPanel::~CGisControlPanel()
{
    cancelSearch();
}

bool CGisControlPanel::eventFilter(QObject* watched, QEvent* e)
{
    // The default text goes as soon as the user turns to the field.
    if (watched == m_keyword && (e->type() == QEvent::FocusIn || e->type() == QEvent::MouseButtonPress)
        && m_keyword->text() == QString::fromUtf8(kDefaultKeyword))
        m_keyword->clear();
    return QDialog::eventFilter(watched, e);
}

void CGisControlPanel::setMousePosition(double x, double y)
{
    m_coords->setText(QString::asprintf("%.6f,%.6f", x, y));
}

void CGisControlPanel::cancelSearch()
{
    if (!m_worker.joinable())
        return;
    m_cancel = true;
    m_worker.join();
}

void CGisControlPanel::closeEvent(QCloseEvent* e)
{
    cancelSearch();
    m_progressTimer->stop();
    m_resultDialog->hide();
    QDialog::closeEvent(e);
}

void CGisControlPanel::startSearch()
{
    if (m_worker.joinable())
        return;
    QString keyword = m_keyword->text();
    if (keyword == QString::fromUtf8(kDefaultKeyword))
        keyword.clear();
    keyword = keyword.toLower();
    const bool exact = m_exact->isChecked();
    m_snapshot = m_host.snapshot ? m_host.snapshot() : std::vector<SearchLayer>();
    std::vector<size_t> layers;
    if (m_allLayers->isChecked()) {
        for (size_t i = 0; i < m_snapshot.size(); ++i)
            layers.push_back(i);
    } else if (m_layerList->currentIndex() == 0) {
        for (size_t i = 0; i < m_snapshot.size(); ++i)
            if (!m_snapshot[i].objects)
                layers.push_back(i);
    } else if (m_layerList->currentIndex() > 0 && size_t(m_layerList->currentIndex()) <= m_snapshot.size()) {
        layers.push_back(size_t(m_layerList->currentIndex()) - 1);
    }
    int total = 0;
    for (size_t i : layers)
        total += int(m_snapshot[i].features.size());
    m_processed = 0;
    m_total = total;
    m_matches = 0;
    m_cancel = false;
    m_workerResults.clear();
    m_resultList->clear();
    m_find->setEnabled(false);
    m_progressTimer->start();

    // The snapshot is never changed while the worker reads it; the panel
    // joins the worker before it goes, and Qt drops the queued call below
    // should the panel be gone by then.
    m_worker = std::thread([this, layers = std::move(layers), keyword, exact] {
        for (size_t li : layers) {
            const SearchLayer& layer = m_snapshot[li];
            for (const SearchFeature& f : layer.features) {
                if (m_cancel)
                    break;
                if (searchMatches(f.comment, keyword, exact) || searchMatches(f.name, keyword, exact)) {
                    m_workerResults.push_back(
                        {f.name + QLatin1Char('(') + f.comment + QLatin1Char(')'), layer.name, f.centre});
                    ++m_matches;
                }
                ++m_processed;
            }
        }
        QMetaObject::invokeMethod(this, [this] { searchFinished(); }, Qt::QueuedConnection);
    });
}

void CGisControlPanel::searchFinished()
{
    if (m_worker.joinable())
        m_worker.join();
    m_progressTimer->stop();
    m_progress->clear();
    m_find->setEnabled(true);
    m_exit->setEnabled(true);
    if (m_cancel)
        return;
    m_results = std::move(m_workerResults);
    m_workerResults.clear();
    for (const SearchResult& r : m_results)
        m_resultList->addItem(r.layer + QStringLiteral(" -> ") + r.text);
    m_resultDialog->show();
}

void CGisControlPanel::showProgress()
{
    m_progress->setText(QString::asprintf("搜索进度:  %d / %d 匹配结果: %d", m_processed.load(), m_total.load(),
                                          m_matches.load()));
}

void CGisControlPanel::onToolButton(int tool)
{
    if (m_host.controlShown && m_host.controlShown()) {
        if (m_host.selectTool)
            m_host.selectTool(tool);
        return;
    }
    if (tool == ToolZoomIn && m_host.zoomBy)
        m_host.zoomBy(0.5);
    else if (tool == ToolZoomOut && m_host.zoomBy)
        m_host.zoomBy(2.0);
    else if (tool == ToolPan)
        m_panMenu->popup(m_panButton->mapToGlobal(QPoint(0, m_panButton->height())));
}

void CGisControlPanel::chooseResult(int row)
{
    if (row < 0 || size_t(row) >= m_results.size())
        return;
    const SearchResult& r = m_results[size_t(row)];
    if (m_scale->value() > 0.0 && m_host.zoomTo)
        m_host.zoomTo(m_scale->value());
    if (m_host.moveTo)
        m_host.moveTo(r.centre.x(), r.centre.y());
}

} // namespace cartolink
