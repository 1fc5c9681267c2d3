#include "app/TarnwickApp.h"
#include "config/MessageReporter.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxReporter.h"
#include "ui/StandardDialogLanguage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <clocale>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    // Qt adopts the environment's locale; files and number formats of the model
    // are always in the "C" notation.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setOrganizationName("Local AppWizard-Generated Applications");
    QApplication::setApplicationName("Tarnwick");
    if (!InstallChineseStandardDialogs(qapp))
        std::fprintf(stderr, "tarnwick: Qt's Chinese translations are not installed (qt6-translations-l10n); "
                             "standard dialogs stay in English\n");

    QCommandLineParser parser;
    const QCommandLineOption planOption("plan", "Opens the plan file at start-up.", "FILE");
    // Headless runs (tests, batch starts) report to standard error instead of blocking on a box.
    const QCommandLineOption stderrOption("report-to-stderr", "Messages go to standard error.");
    const QCommandLineOption eventLogOption("event-log", "Copies every event of the event list into FILE.", "FILE");
    QCommandLineOption autoplayOption("autoplay", "Starts playing once the window is up.");
    const QCommandLineOption quitOption("quit-after", "Closes the program after MS milliseconds.", "MS");
    autoplayOption.setFlags(QCommandLineOption::HiddenFromHelp);
    for (const QCommandLineOption* o : std::initializer_list<const QCommandLineOption*>{&planOption, &stderrOption, &eventLogOption, &autoplayOption, &quitOption})
        parser.addOption(*o);
    parser.addPositionalArgument("file", "A document name; it loads no plan.");
    parser.process(qapp);

    MessageBoxReporter boxes;
    StderrMessageReporter stderrReporter;
    IMessageReporter& reporter =
        parser.isSet(stderrOption) ? static_cast<IMessageReporter&>(stderrReporter) : boxes;
    SetDefaultMessageReporter(&reporter);

    int rc = 1;
    {
        CTarnwickApp app(&reporter);
        CTarnwickApp::StartOptions options;
        options.planPath = parser.value(planOption);
        std::unique_ptr<CMainFrame> frame;
        if (app.InitInstance(options)) {
            // The window goes before the application object it shows.
            frame = CMainFrame::Start(app, options);
            boxes.SetParent(frame.get());
            if (parser.isSet(eventLogOption) && !frame->SetEventLog(parser.value(eventLogOption)))
                std::fprintf(stderr, "tarnwick: cannot write %s\n", qPrintable(parser.value(eventLogOption)));
            CMainFrame* shown = frame.get();
            QObject::connect(shown, &CMainFrame::closed, &qapp, &QApplication::quit, Qt::QueuedConnection);
            if (parser.isSet(autoplayOption))
                QTimer::singleShot(500, shown, [shown] { shown->OnPlay(); });
            if (parser.isSet(quitOption))
                QTimer::singleShot(parser.value(quitOption).toInt(), shown, [&app, shown] {
                    // A timed end needs no answer to the save question.
                    app.ExitInstance();
                    shown->close();
                });
            rc = qapp.exec();
        }
        app.ExitInstance();
        boxes.SetParent(nullptr);
        frame.reset();
    }
    SetDefaultMessageReporter(nullptr);
    return rc;
}
