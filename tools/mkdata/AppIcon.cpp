#include "AppIcon.h"

#include <QDir>
#include <algorithm>
#include <QPainter>

namespace mkdata {

const QList<int>& appIconSizes()
{
    static const QList<int> sizes{16, 22, 24, 32, 48, 64, 128, 256};
    return sizes;
}

QImage drawAppIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    // The small sizes would thin the outline below a pixel; keep it visible.
    const double minPen = 48.0 / size;
    p.setPen(QPen(QColor(20, 60, 30), std::max(2.0, minPen)));
    p.setBrush(QColor(70, 120, 60));
    p.drawEllipse(QRectF(3, 3, 42, 42));
    p.setPen(QPen(QColor(240, 220, 80), std::max(3.0, 1.5 * minPen)));
    p.drawLine(QPointF(12, 36), QPointF(36, 12));
    p.drawLine(QPointF(12, 12), QPointF(36, 36));
    p.setBrush(QColor(240, 220, 80));
    p.drawEllipse(QPointF(24, 24), 5, 5);
    return image;
}

bool writeAppIcons(const QString& dir, QString* error)
{
    for (int size : appIconSizes()) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(dir).arg(size);
        const QString file = folder + QStringLiteral("/tarnwick.png");
        if (!QDir().mkpath(folder) || !drawAppIcon(size).save(file, "PNG")) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(file);
            return false;
        }
    }
    return true;
}

} // namespace mkdata
