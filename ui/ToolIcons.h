#pragma once

#include <QCursor>
#include <QIcon>

// Toolbar pictures, drawn in code (the program ships no icon files). `id` is
// a CMainFrame command id; unknown ids give a null icon.
QIcon ToolIcon(int id);
// The program icon (window, about box).
QIcon AppIcon();
// The zoom tools' magnifier cursors; the hot spot is the lens centre, the
// point the zoom is centred on.
QCursor ZoomCursor(bool zoomIn);
