// How long the UI thread stalls while boxes that cannot be reached connect:
//   bench_connect_stall
// Four boxes on loopback, none of which ever answers: two ports that refuse at once,
// one listener whose queue is full (the connection attempt runs to its time-out) and
// one listener that takes the connection but never answers a command (the three
// initialisation waits run to theirs). A 10 ms timer of the UI loop notes how late
// each tick comes; the longest gap is the longest stall of the window.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/EventLoop.h"
#include "app/MainController.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "core/DetectionTable.h"
#include "support/FakeMainView.h"
#include "support/LoopbackSockets.h"
#include "support/TempFolder.h"
#include "support/UseDataFolder.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace lv;

constexpr int kTickMs = 10;
constexpr int kProbeTimer = 1;

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void DeclareBox(int slot, int port) {
    WriteSettingText("TarvexBoxes", "BoxHost" + std::to_string(slot), "127.0.0.1");
    WriteSettingInt("TarvexBoxes", "BoxPort" + std::to_string(slot), port);
    WriteSettingText("TarvexBoxes", "BoxIdDetector" + std::to_string(slot), "31");
}

}  // namespace

int main() {
    setenv("TZ", "Europe/Paris", 0);
    signal(SIGPIPE, SIG_IGN);
    test::TempFolder folder;
    test::UseDataFolder(folder.Path());

    // Refusing: ports where nothing listens.
    DeclareBox(0, test::LoopbackPeer::FreePort());
    DeclareBox(1, test::LoopbackPeer::FreePort());
    // Full queue: a listener with backlog 0 and clients already waiting in it.
    int fullPort = 0;
    const int full = test::ListenLoopback(0, fullPort);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) fillers.push_back(test::ConnectLoopback(fullPort, false));
    DeclareBox(2, fullPort);
    // Silent: connections are taken by the kernel, never accepted, never answered.
    int silentPort = 0;
    const int silent = test::ListenLoopback(8, silentPort);
    DeclareBox(3, silentPort);
    if (full < 0 || silent < 0) {
        std::fprintf(stderr, "cannot listen on loopback\n");
        return 1;
    }

    EventLoop loop;
    FakeMainView view;
    std::vector<double> gapsMs;
    double connectMs = 0;
    {
        ControllerOptions options;
        options.sessionFileName = folder / "logfiles/session.dat";
        MainController controller(loop, view, options);
        controller.LoadBoxDeclarations();
        controller.Open();
        loop.processPending();

        Clock::time_point lastTick = Clock::now();
        loop.setTimer(kProbeTimer, kTickMs, true, [&] {
            const Clock::time_point now = Clock::now();
            gapsMs.push_back(Millis(now - lastTick));
            lastTick = now;
        });
        // The outcome of a connection: the alert that none came up, or the sound of
        // the boxes connected.
        auto finished = [&] {
            return !view.CallsStartingWith("ShowMessage Warning No Tarvex box has been successfully").empty() ||
                   !view.CallsStartingWith("PlaySound " + std::to_string(SoundNumber(Sound::BoxesConnected)))
                        .empty();
        };
        const Clock::time_point start = Clock::now();
        controller.ConnectAllBoxes();
        loop.pumpUntil([&] { return finished() || Clock::now() - start > std::chrono::seconds(60); });
        connectMs = Millis(Clock::now() - start);
        // The gap that spans the call itself counts too.
        gapsMs.push_back(Millis(Clock::now() - lastTick));
        loop.killTimer(kProbeTimer);
        controller.Exit(true);
        loop.processPending();
    }
    for (int fd : fillers) ::close(fd);
    ::close(full);
    ::close(silent);
    DetectionTable::Instance().ClearTable();

    std::sort(gapsMs.begin(), gapsMs.end());
    const double longest = gapsMs.empty() ? 0 : gapsMs.back();
    const double median = gapsMs.empty() ? 0 : gapsMs[gapsMs.size() / 2];
    std::printf("connect 4 unreachable boxes: %.0f ms until the outcome; UI timer of %d ms: longest stall %.0f ms, "
                "median tick %.1f ms over %zu ticks\n",
                connectMs, kTickMs, std::max(0.0, longest - kTickMs), median, gapsMs.size());
    return 0;
}
