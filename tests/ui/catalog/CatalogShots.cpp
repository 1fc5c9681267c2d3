// Renders the catalogue panel, the class editor and the system parameter
// dialog into PNG files so their look can be checked without a display:
// ui_catalog_shots OUTPUT_DIR. Reads (never writes) the program folder's
// configuration.
#include "config/MessageReporter.h"
#include "app/TarnwickApp.h"
#include "ui/MainWindow.h"
#include "ui/catalog/SysParamDlg.h"
#include "ui/catalog/UnitCatalogPanel.h"
#include "ui/catalog/UnitClassEditDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPixmap>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qapp(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QDir().mkpath(out);

    StderrMessageReporter reporter;
    CTarnwickApp app(&reporter);
    CTarnwickApp::StartOptions options;
    options.moduleFolder = TARNWICK_BIN_DIR;
    options.showWindow = false;
    if (!app.InitInstance(options))
        return 1;
    std::unique_ptr<CMainFrame> window = CMainFrame::Start(app, options);

    CDialogUnitCatalog panel(app);
    panel.resize(220, 420);
    panel.show();
    if (QTreeWidgetItem* item = panel.Tree()->FindItem("02-02.01"))
        panel.Tree()->setCurrentItem(item);
    QCoreApplication::processEvents();
    panel.grab().save(out + "/catalog-tree.png");

    app.m_EditMode = 1;
    if (QTreeWidgetItem* item = panel.Tree()->FindItem("01.01"))
        if (panel.Tree()->BeginDrag(item, QPoint(100, 100))) {
            QCoreApplication::processEvents();
            const_cast<QLabel*>(panel.Tree()->DragImage())->grab().save(out + "/catalog-drag-image.png");
            panel.Tree()->CancelDrag();
        }

    CDialogUnitClassEdit edit(&reporter);
    const UnitClassInfo* tank = app.m_UnitClassCatalog.FindUnitClassById("02-02.01");
    edit.m_Name = QString::fromStdString(tank->name);
    edit.m_Width = tank->width;
    edit.m_Height = tank->height;
    edit.m_KillRadius = tank->exploderadius;
    edit.m_VisibleMin = tank->visible_min;
    edit.m_VisibleMax = tank->visible_max;
    edit.m_ClassCode = tank->classCode;
    edit.InitDialog();
    edit.show();
    QCoreApplication::processEvents();
    edit.grab().save(out + "/catalog-class-edit.png");

    CSysParamDlg params(app);
    params.WeaponList()->setCurrentIndex(1);
    params.show();
    QCoreApplication::processEvents();
    params.grab().save(out + "/catalog-sys-params.png");
    // The panel in its dock of the main window.
    if (CMainFrame* frame = window.get()) {
        frame->setGeometry(0, 0, 1100, 700);
        frame->show();
        QCoreApplication::processEvents();
        frame->grab().save(out + "/catalog-main-frame.png");
    }
    app.ExitInstance();
    return 0;
}
