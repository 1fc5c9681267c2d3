#pragma once

// The library's host window: a child of the caller's widget that contains the
// map control and guards the object layer.

#include "MapControl.h"

#include <QWidget>

#include <mutex>

namespace cartolink {

class CGisHostWnd : public QWidget {
    Q_OBJECT
public:
    explicit CGisHostWnd(QWidget* parent);

    // The map control, or null before createControl() succeeded.
    MapControl* control() const { return m_control; }
    // Creates the map control as a child covering `rect` of this window.
    MapControl* createControl(const QString& windowName, const QRect& rect);

    // Held while the object layer is changed by a call or walked by a timer.
    std::recursive_mutex& objectLayerLock() { return m_objectLayerLock; }

private:
    MapControl* m_control = nullptr;
    std::recursive_mutex m_objectLayerLock;
};

} // namespace cartolink
