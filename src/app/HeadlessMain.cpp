#include "app/HeadlessMain.h"

#include <cstdio>

#include "app/EventLoop.h"
#include "app/HeadlessView.h"
#include "app/MainController.h"
#include "base/Settings.h"
#include "app/SignalWatcher.h"
#include "app/Startup.h"
#include "link/DirectLinkSession.h"

namespace lv {

int RunHeadless(const CommandLine& options, const char* programPath) {
    EventLoop loop;
    SignalWatcher signals([&loop](int) { loop.quit(); });

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
    loop.run();

    controller.Exit(true);
    loop.processPending();
    return 0;
}

}  // namespace lv
