#pragma once
// The periodic export of the detection lines with the stored settings, driven by the
// main window's one-second tick (headless too: it is the window's logic, not its
// drawing). The files are written on a worker thread so that the UI loop never waits
// for them; a tick never starts an export while the previous one still runs.
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "base/UiLoop.h"
#include "export/ExportOutcome.h"
#include "export/LinesExport.h"

namespace lv {

// The stored settings of a background export; −1 with `error` when they do not allow
// one (Delta, folder, file name, FTP servers).
int PrepareBackgroundExport(LinesExportRequest& request, std::string& error);
// The whole export at once on the calling thread: 0, or −1 with `error`.
int RunBackgroundExport(std::string& error, ExportOutcome* outcome = nullptr);

class BackgroundExport {
public:
    using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;

    // `now` replaces the monotonic clock in tests.
    explicit BackgroundExport(UiLoop& ui, SteadyNow now = {});
    ~BackgroundExport();
    BackgroundExport(const BackgroundExport&) = delete;
    BackgroundExport& operator=(const BackgroundExport&) = delete;

    // Arms the one-second tick / ends it and waits for a running export (UI thread).
    void Start();
    void Stop();

    // BackgroundExportTick: called every second on the UI thread.
    void Tick();

    bool Running() const { return running_.load(); }
    // Exports started so far (tests and benchmarks).
    int ExportsStarted() const { return started_.load(); }
    // Waits for the running export, if any (UI thread).
    void WaitIdle();
    // Told on the UI thread, once per cause, when the export's files cannot reach a
    // server named for them (set before Start).
    void SetAlert(std::function<void(const std::string&)> alert) { alert_ = std::move(alert); }

private:
    void Launch(LinesExportRequest request);
    void Report(const ExportOutcome& outcome);
    void ReportSettingsError(const std::string& error);

    UiLoop& ui_;
    SteadyNow now_;
    bool ticking_ = false;
    std::optional<std::chrono::steady_clock::time_point> lastExport_;
    std::string lastSettingsError_;
    std::function<void(const std::string&)> alert_;
    std::string lastFtpMissing_;  // touched by one export worker at a time
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<int> started_{0};
};

}  // namespace lv
