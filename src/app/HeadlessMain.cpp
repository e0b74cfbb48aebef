#include "app/HeadlessMain.h"

#include <fmt/printf.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <thread>

#include "app/EventLoop.h"
#include "app/HeadlessView.h"
#include "app/MainController.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "link/DirectLinkSession.h"

namespace lv {

namespace {

// SIGINT and SIGTERM are taken by a thread of their own (blocked everywhere else), which
// hands them to the loop: nothing runs inside a signal handler.
class SignalWatcher {
public:
    explicit SignalWatcher(EventLoop& loop) : loop_(loop) {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        sigaddset(&set_, SIGUSR1);  // our own wake-up at the end
        pthread_sigmask(SIG_BLOCK, &set_, nullptr);
        thread_ = std::thread([this] {
            int signal = 0;
            sigwait(&set_, &signal);
            if (signal != SIGUSR1) loop_.quit();
        });
    }
    ~SignalWatcher() {
        pthread_kill(thread_.native_handle(), SIGUSR1);
        thread_.join();
    }

private:
    EventLoop& loop_;
    sigset_t set_;
    std::thread thread_;
};

}  // namespace

int RunHeadless(const CommandLine& options, const char* programPath) {
    EventLoop loop;
    SignalWatcher signals(loop);

    Startup startup;
    StartupOutcome outcome = startup.Run(options, programPath ? programPath : "");
    if (!outcome.ok) {
        std::fprintf(stderr, "%s\n", outcome.error.c_str());
        return 1;
    }
    if (!startup.AcquireInstance() && !options.force) {
        std::fprintf(stderr, "%s\n", Startup::AlreadyStartedText());
        return 1;
    }
    startup.Finish();

    HeadlessView view;
    ControllerOptions controllerOptions;
    controllerOptions.sessionFileName = outcome.sessionFileName;
    controllerOptions.headless = true;
    MainController controller(loop, view, controllerOptions);
    auto link = std::make_unique<DirectLinkSession>(loop, view);
    link->SetReconnectAfterLoss(true);
    controller.SetLinkSession(std::move(link));
    controller.LoadBoxDeclarations();
    controller.Open();
    if (options.direct) controller.Link().SwitchOn();

    controller.ConnectAllBoxes();
    loop.run();

    controller.Exit(true);
    loop.processPending();
    return 0;
}

}  // namespace lv
