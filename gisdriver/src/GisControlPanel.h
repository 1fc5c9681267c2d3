#pragma once

// The map control panel: tool buttons, a place search over the map's
// features and the mouse's map coordinates. Widgets stay on the user
// interface thread; the search runs on a worker thread over a snapshot.

#include <QDialog>
#include <QPointF>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace cartolink {

class MapEngine;

// One searchable feature: its texts and centre.
struct SearchFeature {
    QString comment;
    QString name;
    QPointF centre;
};
struct SearchLayer {
    QString name;
    std::vector<SearchFeature> features;
    bool objects = false; // the object layer, not a layer of the map
};
struct SearchResult {
    QString text;   // name + "(" + comment + ")"
    QString layer;
    QPointF centre;
};

// Immutable copy of the searchable texts of the engine's layers, object layer first.
std::vector<SearchLayer> searchSnapshot(const MapEngine& engine);
// Whether `text` matches the lower-cased `keyword`.
bool searchMatches(const QString& text, const QString& keyword, bool exact);

class CGisControlPanel : public QDialog {
    Q_OBJECT
public:
    struct Host {
        // Whether the map control is on screen, where its tools can be used;
        // otherwise the buttons act on the view at once.
        std::function<bool()> controlShown;
        std::function<void(int tool)> selectTool;
        std::function<void(double factor)> zoomBy;
        // Moves the view by these shares of its width and height (east, north).
        std::function<void(double shareX, double shareY)> panBy;
        std::function<void()> showOverview;
        std::function<void(double zoom)> zoomTo;
        std::function<void(double x, double y)> moveTo;
        // A fresh copy of the searchable features, taken when a search starts.
        std::function<std::vector<SearchLayer>()> snapshot;
    };
    static constexpr const char* kDefaultKeyword = "请输入要查找的地名";
    // The first entry of the layer list, chosen at first: every layer of the map.
    static constexpr const char* kAllMapLayers = "所有地图层";

    explicit CGisControlPanel(Host host);
    ~CGisControlPanel() override;

    // Shows the mouse's map position in the coordinate field.
    void setMousePosition(double x, double y);
    // Stops a running search and waits for its thread.
    void cancelSearch();
    bool searching() const { return m_worker.joinable(); }
    const std::vector<SearchResult>& results() const { return m_results; }

protected:
    void closeEvent(QCloseEvent*) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void startSearch();
    void searchFinished();
    void showProgress();
    void chooseResult(int row);
    void onToolButton(int tool);

    // What the worker reads; not touched while it runs.
    std::vector<SearchLayer> m_snapshot;
    Host m_host;

    QCheckBox* m_allLayers = nullptr;
    QCheckBox* m_exact = nullptr;
    QComboBox* m_layerList = nullptr;
    QLineEdit* m_keyword = nullptr;
    QDoubleSpinBox* m_scale = nullptr;
    QLabel* m_progress = nullptr;
    QLineEdit* m_coords = nullptr;
    QPushButton* m_find = nullptr;
    QPushButton* m_exit = nullptr;
    QPushButton* m_panButton = nullptr;
    QMenu* m_panMenu = nullptr;
    QTimer* m_progressTimer = nullptr;
    QDialog* m_resultDialog = nullptr;
    QListWidget* m_resultList = nullptr;

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_processed{0};
    std::atomic<int> m_total{0};
    std::atomic<int> m_matches{0};
    std::vector<SearchResult> m_results;      // read only after the worker ended
    std::vector<SearchResult> m_workerResults; // written by the worker only
};

} // namespace cartolink
