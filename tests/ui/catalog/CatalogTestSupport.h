#pragma once

// A whole application shell started on a module folder of its own (so tests
// that save the configuration never touch the program folder), with a small
// catalogue, unit icons, map images and a bitmap map for a new plan.
#include "../ShellTestSupport.h"

#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "ui/MainWindow.h"
#include "ui/TarnwickView.h"
#include "ui/catalog/UnitCatalogPanel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

inline const char* kCatalogSysConfig =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<sysconfig>\r\n"
    "<param name=\"CheckBeenHit\">1</param>"
    "<param name=\"Unused\">keep me</param>"
    "<param name=\"DistWhenBeenHit\">50.000000</param>"
    "<param name=\"FireUnitColor_3.2\">ff</param>"
    "</sysconfig>";

// The sub-category 02-01 comes before its parent; 指挥所 has an id without
// "."; weapons live in category "3".
inline const char* kCatalogClasses =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n"
    "<unitclass>"
    "<node name=\"运载平台\" id=\"01\"/>"
    "<node name=\"装甲输送\" id=\"02-01\"/>"
    "<node name=\"作战单位\" id=\"02\"/>"
    "<node name=\"火力武器\" id=\"3\"/>"
    "</unitclass><unit>"
    "<node name=\"运输直升机\" id=\"01.01\" class=\"01\" width=\"18\" height=\"20\" exploderadius=\"0\" "
    "visible_min=\"0\" visible_max=\"100000\"/>"
    "<node name=\"Truck\" id=\"01.02\" class=\"01\" width=\"3\" height=\"8\" exploderadius=\"0\" "
    "visible_min=\"0.5\" visible_max=\"100000\"/>"
    "<node name=\"步兵战车\" id=\"02-01.01\" class=\"02-01\" width=\"3\" height=\"7\" exploderadius=\"0\" "
    "visible_min=\"0\" visible_max=\"100000\"/>"
    "<node name=\"主战坦克\" id=\"02.01\" class=\"02-02\" width=\"4\" height=\"10\" exploderadius=\"0\" "
    "visible_min=\"0\" visible_max=\"100000\"/>"
    "<node name=\"指挥所\" id=\"02\" class=\"02-02\" width=\"10\" height=\"10\" exploderadius=\"0\" "
    "visible_min=\"0\" visible_max=\"100000\"/>"
    "<node name=\"榴弹炮\" id=\"3.1\" class=\"03\" width=\"1\" height=\"1\" exploderadius=\"150\" "
    "visible_min=\"0\" visible_max=\"100000\"/>"
    "<node name=\"火箭炮\" id=\"3.2\" class=\"03\" width=\"1\" height=\"1\" exploderadius=\"300\" "
    "visible_min=\"0\" visible_max=\"100000\"/>"
    "</unit></unitinfo>";

inline QByteArray BitmapBytes(int w, int h, QColor colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

struct CatalogShell {
    TestDir settingsDir;
    TestDir module;
    ScriptedReporter reporter;
    std::unique_ptr<CTarnwickApp> app;
    std::unique_ptr<CMainFrame> window;  // goes before the application object
    CMainFrame* frame = nullptr;
    CTarnwickView* view = nullptr;
    CUnitClassTree* tree = nullptr;
    bool started = false;

    CatalogShell()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        module.write("SysConfig.cfg", kCatalogSysConfig);
        module.write("UnitClassInfo.cfg", kCatalogClasses);
        // Enumeration order: 0broken.bmp, a/truck.bmp, sub/主战坦克.BMP, 运载平台.bmp, 运输直升机.bmp
        module.write("UnitBitmap/0broken.bmp", "not a bitmap");
        module.write("UnitBitmap/a/truck.bmp", BitmapBytes(32, 32, Qt::darkYellow));
        module.write("UnitBitmap/sub/主战坦克.BMP", BitmapBytes(20, 20, Qt::darkGreen));
        module.write("UnitBitmap/运输直升机.bmp", BitmapBytes(20, 20, Qt::blue));
        module.write("UnitBitmap/运载平台.bmp", BitmapBytes(20, 20, Qt::gray));
        module.write("NormalBitmap/运输直升机.bmp", BitmapBytes(16, 12, Qt::blue));
        module.write("NormalBitmap/运输直升机_Mask.bmp", BitmapBytes(16, 12, Qt::black));
        module.write("map.bmp", BitmapBytes(400, 300, QColor(200, 220, 180)));

        app = std::make_unique<CTarnwickApp>(&reporter);
        CTarnwickApp::StartOptions options;
        options.moduleFolder = module.path().toStdString();
        options.showWindow = false;
        started = app->InitInstance(options);
        if (started)
            window = CMainFrame::Start(*app, options);
        frame = window.get();
        if (!frame)
            return;
        view = frame->View();
        tree = frame->CataloguePanel() ? frame->CataloguePanel()->Tree() : nullptr;
        CMainFrame::Dialogs& d = frame->GetDialogs();
        d.about = [] {};
        d.print = [] {};
    }
    ~CatalogShell()
    {
        if (app)
            app->ExitInstance();
    }

    // A new bitmap plan, the frame shown (mouse capture needs visible widgets), edit mode.
    CPlanLayer* NewPlanShown()
    {
        CMainFrame::Dialogs& d = frame->GetDialogs();
        d.newPlan = [this](NewPlanValues& v) {
            v.planName = "目录";
            v.bitmapFile = module.path() + "/map.bmp";
            v.widthKm = 40;
            v.heightKm = 30;
            v.start = 1700000000;
            v.end = 1700007200;
            return true;
        };
        frame->NewPlan();
        frame->setGeometry(0, 0, 1200, 800);
        frame->show();
        QCoreApplication::processEvents();
        frame->ViewSizeChanged();
        QImage picture(view->size(), QImage::Format_RGB32);
        QPainter painter(&picture);
        view->Render(painter, picture.size());  // settles the map's conversions
        app->m_EditMode = 1;
        return app->GetPlan() ? app->GetPlan()->GetFirstLayer() : nullptr;
    }

    std::string ModuleFile(const char* name) const { return module.file(name); }
};
