#include "Painting.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>

namespace mkdata {

QFont fontPx(int pixelSize, bool bold)
{
    QFont f(QString::fromLatin1(kFontFamily));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

bool haveMapFont()
{
    return QFontDatabase::families().contains(QString::fromLatin1(kFontFamily));
}

bool saveBmp24(const QImage& image, const QString& path, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImageWriter w(path, "bmp");
    if (!w.write(image.convertToFormat(QImage::Format_RGB888))) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, w.errorString());
        return false;
    }
    return true;
}

void drawHaloText(QPainter& p, const QPointF& at, const QString& text, const QFont& font,
                  const QColor& color, const QColor& halo, double haloWidth)
{
    const QFontMetricsF fm(font);
    const QPointF base(at.x() - fm.horizontalAdvance(text) / 2.0,
                       at.y() + (fm.ascent() - fm.descent()) / 2.0);
    QPainterPath path;
    path.addText(base, font, text);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (haloWidth > 0) {
        p.setPen(QPen(halo, haloWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(path);
    p.restore();
}

} // namespace mkdata
