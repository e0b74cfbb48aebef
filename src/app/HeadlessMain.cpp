#include "app/HeadlessMain.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <fmt/printf.h>

#include "app/EventLoop.h"
#include "base/Texts.h"
#include "app/HeadlessView.h"
#include "app/MainController.h"
#include "base/Settings.h"
#include "app/SignalWatcher.h"
#include "app/Startup.h"
#include "base/TimerIds.h"
#include "core/ChipTable.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "link/DirectLinkSession.h"

namespace lv {

namespace {

// A stop signal ends the program within this delay, whatever the boxes do: the exit
// sequence normally takes well under it; past it, the journal is closed (every line
// recorded is in it) and the process ends.
constexpr auto kStopDeadline = std::chrono::milliseconds(2500);
// While journal lines wait for the disk, standard error says so at this pace.
constexpr int kPendingNoticeMs = 10000;

struct ExitGuard {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;

    void Finish() {
        {
            std::lock_guard<std::mutex> hold(lock);
            finished = true;
        }
        done.notify_all();
    }
};

}  // namespace

int RunHeadless(const CommandLine& options, const char* programPath) {
    EventLoop loop;
    ExitGuard exitGuard;
    SignalWatcher signals([&loop, &exitGuard](int signal) {
        InterruptChipTableLoad();
        loop.quit();
        std::unique_lock<std::mutex> hold(exitGuard.lock);
        if (exitGuard.done.wait_for(hold, kStopDeadline, [&] { return exitGuard.finished; })) return;
        std::fprintf(stderr, "Lumivane: exit sequence too slow after signal %d, journal closed, ending now\n",
                     signal);
        DetectionTable::Instance().Journal().Close();
        std::_Exit(128 + signal);
    });
    struct FinishOnReturn {
        ExitGuard& guard;
        ~FinishOnReturn() { guard.Finish(); }
    } finishOnReturn{exitGuard};

    Startup startup;
    StartupOutcome outcome = startup.Run(options, programPath ? programPath : "");
    if (!outcome.ok) {
        std::fprintf(stderr, "%s\n", outcome.error.c_str());
        return 1;
    }
    if (!startup.AcquireInstance()) {
        if (!options.force) {
            std::fprintf(stderr, "%s\n", Startup::AlreadyStartedText());
            return 1;
        }
        // The other instance works with the recent file.
        outcome.resumeFile.clear();
    }
    startup.Finish();

    HeadlessView view;
    ControllerOptions controllerOptions;
    controllerOptions.sessionFileName = outcome.sessionFileName;
    controllerOptions.resumeFile = outcome.resumeFile;
    MainController controller(loop, view, controllerOptions);
    auto link = std::make_unique<DirectLinkSession>(loop, controller.LinkListener());
    link->SetReconnectAfterLoss(true);
    controller.SetLinkSession(std::move(link));
    // Nobody can tick "Request Passings Periodically" here: a USB TimingBox reads its
    // passings periodically from the start.
    controller.SetUsbPeriodicReadingByDefault(true);
    controller.LoadBoxDeclarations();
    controller.Open();
    if (options.direct) controller.SwitchLink(true);

    controller.ConnectAllBoxes();
    // Nobody presses Connect again here: boxes not connected are tried again for as
    // long as the program runs.
    controller.StartUnattendedMode();
    loop.setTimer(kTimerPendingNotice, kPendingNoticeMs, true, [] {
        const std::size_t pending = DetectionTable::Instance().Journal().PendingLines();
        if (pending == 0) return;
        std::fprintf(stderr, "%s\n",
                     fmt::sprintf(Tr("######## %d detection line(s) not yet written to the detection file",
                                     "######## %d ligne(s) de détection pas encore écrite(s) dans le fichier de "
                                     "détections"),
                                  static_cast<int>(pending))
                         .c_str());
    });
    loop.run();

    loop.killTimer(kTimerPendingNotice);
    controller.Exit(true);
    loop.processPending();
    return 0;
}

}  // namespace lv
