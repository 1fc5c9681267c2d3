#pragma once

#include <QMainWindow>

// The program's main window. Menus, toolbars, panels and the plan view join it
// as they are built.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
};
