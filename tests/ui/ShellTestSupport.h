#pragma once

// A whole application shell (application object, main frame, panels) built
// on the program folder's configuration, with every modal window replaced.
#include "config/MessageReporter.h"
#include "app/TarnwickApp.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "map/MapLoader.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/TarnwickView.h"

#include <QImage>
#include <QPoint>
#include <QSettings>

#include <deque>
#include <memory>
#include <string>
#include <vector>

// Records messages; answers from a script (Ok when the script is empty).
class ScriptedReporter : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage& message) override
    {
        messages.push_back(message);
        if (answers.empty())
            return MessageAnswer::Ok;
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> t;
        for (const auto& m : messages)
            t.push_back(m.text);
        return t;
    }
    std::vector<ReportedMessage> messages;
    std::deque<MessageAnswer> answers;
};

inline std::string SamplePlanPath()
{
    return std::string(TARNWICK_SOURCE_DIR) + "/samples/演习示例.pln";
}

struct Shell {
    TestDir settingsDir;
    ScriptedReporter reporter;
    std::unique_ptr<CTarnwickApp> app;
    std::unique_ptr<CMainFrame> window;  // goes before the application object
    CMainFrame* frame = nullptr;
    // What the replaced choosers were asked and answer.
    QString openAnswer, saveAnswer;
    int openAsked = 0, saveAsked = 0, newPlanAsked = 0;
    bool newPlanAccept = false;
    NewPlanValues newPlanValues;

    Shell()
    {
        // Recent files and dock layout of test runs stay out of the user's settings.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        app = std::make_unique<CTarnwickApp>(&reporter);
        CTarnwickApp::StartOptions options;
        options.moduleFolder = TARNWICK_BIN_DIR;
        options.showWindow = false;
        started = app->InitInstance(options);
        if (started)
            window = CMainFrame::Start(*app, options);
        frame = window.get();
        if (!frame)
            return;
        CMainFrame::Dialogs& d = frame->GetDialogs();
        d.openFile = [this](const QString&, const QString&) {
            ++openAsked;
            return openAnswer;
        };
        d.saveFile = [this](const QString&, const QString&) {
            ++saveAsked;
            return saveAnswer;
        };
        d.newPlan = [this](NewPlanValues& v) {
            ++newPlanAsked;
            v = newPlanValues;
            return newPlanAccept;
        };
        d.about = [] {};
        d.print = [] {};
    }
    ~Shell()
    {
        if (app)
            app->ExitInstance();
    }
    bool OpenSample() { return frame->OpenPlanFile(QString::fromStdString(SamplePlanPath())); }

    // A new 40 x 30 km plan on the bundled bitmap map, its view 800 x 600,
    // edit mode on. Returns the first layer (null when the plan failed).
    CPlanLayer* NewEditablePlan(const char* planName)
    {
        newPlanValues.planName = planName;
        newPlanValues.bitmapFile = QString(TARNWICK_BIN_DIR) + "/DefaultMapImage/演习区域.bmp";
        newPlanValues.widthKm = 40;
        newPlanValues.heightKm = 30;
        newPlanValues.start = 1700000000;
        newPlanValues.end = 1700007200;
        newPlanAccept = true;
        frame->NewPlan();
        frame->View()->resize(800, 600);
        frame->View()->ApplyViewSize();
        app->m_EditMode = 1;
        return app->GetPlan() ? app->GetPlan()->GetFirstLayer() : nullptr;
    }

    // A unit of the class with a plain 20 x 20 image, put on the first layer
    // at a view point, appearing at `appear`.
    CUnitCanLoad* AddUnitAt(int unitNo, QPoint at, int appear, const char* classId)
    {
        auto unit = CreateUnitForClassId(classId);
        unit->m_UnitNo = unitNo;
        unit->m_UnitName = "单位" + std::to_string(unitNo);
        unit->m_ClassId = classId;
        unit->m_Image = QImage(20, 20, QImage::Format_RGB32);
        unit->m_Image.fill(Qt::green);
        unit->m_ImageWidth = unit->m_ImageHeight = 20;
        double x = 0, y = 0;
        app->GetMap()->ViewToMap(x, y, at.x(), at.y());
        unit->m_CurX = unit->m_InitX = x;
        unit->m_CurY = unit->m_InitY = y;
        unit->m_AppearTime = appear;
        CUnitCanLoad* raw = unit.get();
        app->GetPlan()->GetFirstLayer()->AddUnit(std::move(unit));
        return raw;
    }

    bool started = false;
};
