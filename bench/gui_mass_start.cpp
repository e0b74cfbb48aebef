// Mass start with the window: two simulated decoders push 1,000 passings/s each
// (2,000/s together) for ten seconds to the Qt main window with BLogDetections on.
// Prints how late a 10 ms timer of the UI thread ran (the window's responsiveness),
// how many batches the detection lines came in, and what was recorded and shown.
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/MainController.h"
#include "base/Settings.h"
#include "app/Startup.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "gui/DetectionsModel.h"
#include "gui/MainWindow.h"
#include "gui/WindowSession.h"
#include "gui/QtUiLoop.h"
#include "link/DirectLinkSession.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

using namespace lv;

namespace {

constexpr int kBoxes = 2;
constexpr int kRatePerBox = 1000;
constexpr int kPerBox = 10000;
constexpr int kRunners = 3000;

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    test::TempFolder folder;
    const std::string dir = folder.Path();
    {
        std::ofstream table(dir + "/TarvexTable.dtb");
        for (int bib = 1; bib <= kRunners; ++bib) table << bib << " BENCH" << bib << "\n";
    }
    std::vector<std::unique_ptr<test::SimulatorProcess>> sims;
    for (int i = 0; i < kBoxes; ++i) {
        sims.push_back(std::make_unique<test::SimulatorProcess>(
            "decoder", std::vector<std::string>{"--rate", std::to_string(kRatePerBox), "--count", std::to_string(kPerBox),
                                                "--runners", std::to_string(kRunners), "--chips", dir + "/TarvexTable.dtb",
                                                "--seed", std::to_string(i + 1), "--date", "today", "--step", "1"}));
        if (!sims.back()->Running()) {
            std::fprintf(stderr, "simulator did not start\n");
            return 1;
        }
    }
    {
        std::ofstream ini(dir + "/Lumivane.ini");
        ini << "[Settings]\r\nBLogDetections=1\r\nBScrollDetections=1\r\n[TarvexBoxes]\r\n";
        for (int i = 0; i < kBoxes; ++i)
            ini << "BoxHost" << i << "=127.0.0.1\r\nBoxPort" << i << "=" << sims[i]->Port() << "\r\nBoxIdDetector" << i
                << "=31\r\n";
    }

    QApplication app(argc, argv);
    CommandLine line;
    line.dataDir = dir;
    line.force = true;
    Startup startup;
    StartupOutcome outcome = startup.Run(line, argc > 0 ? argv[0] : "");
    if (!outcome.ok) return 1;
    startup.Finish();

    GuiOptions options;
    options.openConfigurationAtStart = false;
    options.sounds = false;
    options.speech = false;
    options.popFrontServer = false;
    WindowSession session(options, outcome.sessionFileName);
    MainWindow& window = session.window;
    MainController& controller = session.controller;

    int batches = 0;
    QObject::connect(&window.Detections(), &QAbstractItemModel::rowsInserted, [&] { ++batches; });

    // The UI thread's responsiveness: how late each 10 ms tick comes.
    std::vector<double> lateMs;
    QElapsedTimer sinceTick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (sinceTick.isValid()) lateMs.push_back(std::max(0.0, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6 - 10.0));
        sinceTick.restart();
    });

    const std::size_t expected = static_cast<std::size_t>(kBoxes) * kPerBox;
    QElapsedTimer elapsed;
    elapsed.start();
    controller.ConnectAllBoxes();
    probe.start(10);
    // Until every passing came, or nothing new came for a second (the repeated-read
    // rule drops the odd runner seen twice within 50 ms).
    std::size_t lastCount = 0;
    QElapsedTimer quiet;
    quiet.start();
    qint64 lastArrival = 0;
    session.loop.pumpUntil([&] {
        const std::size_t count = DetectionTable::Instance().Count();
        if (count != lastCount) {
            lastCount = count;
            lastArrival = elapsed.elapsed();
            quiet.restart();
        }
        return count >= expected || (count > 0 && quiet.elapsed() > 1000) || elapsed.elapsed() > 60000;
    });
    const double seconds = static_cast<double>(lastArrival) / 1000.0;
    probe.stop();
    QApplication::processEvents();

    const std::size_t recorded = DetectionTable::Instance().Count();
    std::printf("passings pushed: %zu at %d/s, recorded: %zu (reads of one runner within 50 ms are one passing) in %.1f s\n", expected, kBoxes * kRatePerBox, recorded,
                seconds);
    std::printf("detections window: %d lines, %d insert batches (%.1f lines per batch)\n",
                window.Detections().rowCount(), batches,
                batches ? static_cast<double>(window.Detections().rowCount()) / batches : 0.0);
    std::printf("UI thread, 10 ms timer lateness: median %.2f ms, p99 %.2f ms, max %.2f ms over %zu ticks\n",
                Percentile(lateMs, 0.5), Percentile(lateMs, 0.99), Percentile(lateMs, 1.0), lateMs.size());

    controller.Exit(true);
    return 0;
}
