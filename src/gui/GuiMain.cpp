#include "gui/GuiMain.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>


#include "app/MainController.h"
#include "app/SignalWatcher.h"
#include "app/Startup.h"
#include "gui/MainWindow.h"
#include "gui/WindowSession.h"
#include "gui/MessageBoxes.h"
#include "gui/QtUiLoop.h"
#include "gui/Translations.h"
#include "base/Log.h"
#include "link/DirectLinkSession.h"

namespace lv {

namespace {

bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}


// The picture of the main window asked for with --screenshot.
void ScheduleScreenshot(MainWindow& window, const CommandLine& options) {
    QTimer::singleShot(options.screenshotDelaySeconds * 1000, &window, [&window, file = options.screenshotFile] {
        const bool saved = window.grab().save(QString::fromStdString(file), "PNG");
        std::fprintf(saved ? stdout : stderr, saved ? "screenshot saved to %s\n" : "cannot write %s\n", file.c_str());
        window.ExitWithoutQuestion();
    });
}

}  // namespace

int RunGui(const CommandLine& options, int argc, char** argv) {
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "lumivane: no display available; run with --headless\n");
        return 1;
    }
    // Ctrl-C or a service stop: the exit sequence without its question once the loop
    // runs; before that there is nothing to close yet.
    std::atomic<bool> loopRunning{false};
    SignalWatcher signalWatcher([&loopRunning](int signal) {
        if (!loopRunning.load()) std::_Exit(128 + signal);
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    QApplication app(argc, argv);
    app.setApplicationName("Lumivane");
    app.setOrganizationName("Orvanel");

    Startup startup;
    StartupOutcome outcome = startup.Run(options, argc > 0 ? argv[0] : "");
    if (!outcome.ok) {
        ShowMessageBox(nullptr, ToQt(outcome.error), MessageIcon::Error);
        return 1;
    }
    if (!startup.AcquireInstance()) {
        if (!options.force) {
            ShowMessageBox(nullptr, ToQt(Startup::AlreadyStartedText()), MessageIcon::Warning);
            // Control held down while the message closes: start all the same.
            if (!QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier)) return 1;
        }
        // The other instance works with the recent file.
        outcome.resumeFile.clear();
    }
    startup.Finish();
    QString translationError;
    if (!InstallQtTranslations(CurrentLanguage(), translationError)) {
        Log(0, "## " + FromQt(translationError) + " : Qt's own texts stay in English");
    }

    const bool screenshot = !options.screenshotFile.empty();
    GuiOptions guiOptions;
    // Connected at start (the demo), the configuration dialog would only stand in the way.
    guiOptions.openConfigurationAtStart = !screenshot && !options.connectAtStart;
    guiOptions.sounds = !screenshot;

    WindowSession session(guiOptions, outcome.sessionFileName, outcome.resumeFile);
    MainWindow& window = session.window;
    MainController& controller = session.controller;

    if (options.direct || options.connectAtStart || screenshot) window.SwitchDirectConnection(true);
    if (options.connectAtStart || screenshot) controller.ConnectAllBoxes();
    if (screenshot) ScheduleScreenshot(window, options);
    loopRunning = true;
    app.exec();
    // Ended by a signal: the exit sequence without its question.
    window.ExitWithoutQuestion();
    return 0;
}

}  // namespace lv
