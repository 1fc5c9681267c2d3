#include "GisHostWnd.h"

namespace cartolink {

CGisHostWnd::CGisHostWnd(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CGisHostWnd"));
}

MapControl* CGisHostWnd::createControl(const QString& windowName, const QRect& rect)
{
    if (m_control)
        return m_control;
    m_control = new MapControl(this);
    m_control->setObjectName(windowName);
    m_control->setMapGeometry(rect);
    m_control->setVisible(true);
    return m_control;
}

} // namespace cartolink
