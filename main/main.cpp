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
#include <string_view>

namespace {

struct Options {
    QCommandLineOption plan{"plan", "Opens the plan file at start-up.", "FILE"};
    // Headless runs (tests, batch starts) report to standard error instead of blocking on a box.
    QCommandLineOption reportToStderr{"report-to-stderr", "Messages go to standard error."};
    QCommandLineOption eventLog{"event-log", "Copies every event of the event list into FILE.", "FILE"};
    QCommandLineOption autoplay{"autoplay", "Starts playing once the window is up."};
    QCommandLineOption quitAfter{"quit-after", "Closes the program after MS milliseconds.", "MS"};
    QCommandLineOption version{"version", "Prints the version and exits."};

    void AddTo(QCommandLineParser& parser)
    {
        autoplay.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addHelpOption();
        for (const QCommandLineOption* o : {&plan, &reportToStderr, &eventLog, &autoplay, &quitAfter, &version})
            parser.addOption(*o);
        parser.addPositionalArgument("file", "A document name; it loads no plan.");
    }
};

// --help and --version answer without a display, so they work on a console,
// in package checks and over ssh: only a core application is created.
bool AnswersWithoutWindow(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h" || a == "-?" || a == "--help-all" || a == "--version")
            return true;
    }
    return false;
}

int AnswerWithoutWindow(int argc, char** argv)
{
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    Options o;
    o.AddTo(parser);
    parser.process(core);  // --help prints the usage to standard output and exits with 0
    if (parser.isSet(o.version)) {
        std::printf("tarnwick %s\n", TARNWICK_VERSION);
        return 0;
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (AnswersWithoutWindow(argc, argv))
        return AnswerWithoutWindow(argc, argv);
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
    Options opts;
    opts.AddTo(parser);
    parser.process(qapp);
    const QCommandLineOption& planOption = opts.plan;
    const QCommandLineOption& stderrOption = opts.reportToStderr;
    const QCommandLineOption& eventLogOption = opts.eventLog;
    const QCommandLineOption& autoplayOption = opts.autoplay;
    const QCommandLineOption& quitOption = opts.quitAfter;

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
