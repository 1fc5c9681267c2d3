#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace mkdata {

// The sizes of the desktop icon in the hicolor theme.
const QList<int>& appIconSizes();

// The program's icon at size x size pixels, transparent around the disc: the
// look of the window icon (a green disc with crossed yellow lines and a
// yellow centre), drawn on a 48-pixel grid and scaled, so every size is sharp.
QImage drawAppIcon(int size);

// Writes DIR/NxN/apps/tarnwick.png for every size.
bool writeAppIcons(const QString& dir, QString* error);

} // namespace mkdata
