#pragma once

#include <QColor>
#include <QImage>

namespace mkdata {

// The view shows the logo centred on this colour when no plan is open, copied
// as it is; a background of exactly this colour makes the logo's edge vanish.
inline const QColor kLogoBackground(50, 52, 255);

// 400 x 200: an emblem (compass star over a gridded globe) and the name.
QImage drawLogo();

} // namespace mkdata
