#pragma once

#include <QIcon>

// Toolbar pictures, drawn in code (the program ships no icon files). `id` is
// a CMainFrame command id; unknown ids give a null icon.
QIcon ToolIcon(int id);
// The program icon (window, about box).
QIcon AppIcon();
