#pragma once

// The overview window: the same map set reduced, with the main map's view
// drawn as a rectangle; a click re-centres the main map.

#include "MapControl.h"

#include <QWidget>

#include <functional>

class QToolButton;

namespace cartolink {

class CGisOverviewWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinFactor = 5;

    // `main` is the main map control; `viewMoved` is told when a click moved it.
    CGisOverviewWnd(MapControl* main, std::function<void()> viewMoved);

    // Opens `path` in the window's own control and builds its object layer and
    // view rectangle. False when the map set does not open.
    bool create(const QString& path);
    const QString& mapPath() const { return m_path; }
    int factor() const { return m_factor; }
    MapControl* control() const { return m_control; }

    // Follows the main map: zoom, centre and the view rectangle.
    void refreshFromMain();
    // Shows the whole map set in the main map ("全图显示").
    void showMainFullExtent();

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void onReleased(int button, int shift, int x, int y);
    void updateTitle();
    void placeButton();

    MapControl* m_main;
    std::function<void()> m_viewMoved;
    MapControl* m_control = nullptr;
    QString m_path;
    int m_factor = kMinFactor;
    double m_maxZoom = 0.0;
    uint32_t m_viewRect = 0;
    QToolButton* m_fullExtent = nullptr;
};

} // namespace cartolink
