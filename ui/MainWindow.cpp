#include "ui/MainWindow.h"

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle("Tarnwick");
    resize(1280, 800);
}
