#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

class QPainter;
class QPointF;

namespace mkdata {

// The font every generated image uses; Debian package fonts-wqy-microhei.
inline constexpr const char* kFontFamily = "WenQuanYi Micro Hei";

QFont fontPx(int pixelSize, bool bold = false);

// False when the font database does not have kFontFamily (text then falls back
// to whatever the system substitutes).
bool haveMapFont();

// Writes a 24-bit BMP (the program blits these with raster operations, so no
// alpha channel). Creates the parent folder.
bool saveBmp24(const QImage& image, const QString& path, QString* error);

// Text centred on `at` with a halo so it stays legible over any map colour.
void drawHaloText(QPainter& p, const QPointF& at, const QString& text, const QFont& font,
                  const QColor& color, const QColor& halo = Qt::white, double haloWidth = 3.0);

} // namespace mkdata
