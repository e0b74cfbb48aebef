#pragma once
// What the box tests share: a recording BoxHost, a capture of the log, a wait helper.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/Log.h"
#include "boxes/BoxHost.h"

namespace lv::test {

// Polls `done` every few milliseconds until it holds or `limit` passes.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

struct RecordedDetection {
    std::string label;
    std::string boxName;
    CChrono instant;
    CChrono ofDay;
};

struct ShownDetection {
    std::string text;
    const CQoxResult* record = nullptr;
    CChrono ofDay;
};

// A main window that records what the box threads ask of it.
class RecordingBoxHost : public BoxHost {
public:
    RecordingBoxHost() {
        settings_.raceDays = {"20240501", "20240502", "20240503", "20240504"};
    }

    IntakeSettings CurrentIntakeSettings() const override {
        std::lock_guard<std::mutex> guard(lock_);
        return settings_;
    }
    bool LogDetectionsEnabled() const override {
        std::lock_guard<std::mutex> guard(lock_);
        return logDetections_;
    }
    const CQoxResult* RecordDetection(const std::string& label, const std::string& boxName,
                                      const CChrono& instant, const CChrono& ofDay) override {
        std::lock_guard<std::mutex> guard(lock_);
        records_.push_back(CQoxResult{});
        records_.back().label = label;
        records_.back().boxName = boxName;
        records_.back().id = static_cast<uint32_t>(records_.size());
        recorded_.push_back(RecordedDetection{label, boxName, instant, ofDay});
        return &records_.back();
    }
    void ShowDetection(const std::string& text, const CQoxResult* record, const CChrono& ofDay) override {
        std::lock_guard<std::mutex> guard(lock_);
        shown_.push_back(ShownDetection{text, record, ofDay});
    }
    void RefreshCounters() override {
        std::lock_guard<std::mutex> guard(lock_);
        ++refreshes_;
    }
    void AlertLine(const std::string& text, bool show) override {
        Log(0, "######## " + text);
        std::lock_guard<std::mutex> guard(lock_);
        alerts_.emplace_back(text, show);
    }
    void PlaySound(int resource) override {
        std::lock_guard<std::mutex> guard(lock_);
        sounds_.push_back(resource);
    }
    void PostBoxState(int boxNumber, bool unexpected) override {
        std::lock_guard<std::mutex> guard(lock_);
        states_.emplace_back(boxNumber, unexpected);
    }

    void ChangeSettings(const std::function<void(IntakeSettings&)>& change) {
        std::lock_guard<std::mutex> guard(lock_);
        change(settings_);
    }
    void SetLogDetections(bool on) {
        std::lock_guard<std::mutex> guard(lock_);
        logDetections_ = on;
    }
    std::vector<RecordedDetection> Recorded() const {
        std::lock_guard<std::mutex> guard(lock_);
        return recorded_;
    }
    std::size_t RecordedCount() const {
        std::lock_guard<std::mutex> guard(lock_);
        return recorded_.size();
    }
    std::vector<ShownDetection> Shown() const {
        std::lock_guard<std::mutex> guard(lock_);
        return shown_;
    }
    std::vector<std::pair<std::string, bool>> Alerts() const {
        std::lock_guard<std::mutex> guard(lock_);
        return alerts_;
    }
    std::vector<int> Sounds() const {
        std::lock_guard<std::mutex> guard(lock_);
        return sounds_;
    }
    std::vector<std::pair<int, bool>> States() const {
        std::lock_guard<std::mutex> guard(lock_);
        return states_;
    }
    int Refreshes() const {
        std::lock_guard<std::mutex> guard(lock_);
        return refreshes_;
    }

private:
    mutable std::mutex lock_;
    IntakeSettings settings_;
    bool logDetections_ = true;
    std::deque<CQoxResult> records_;  // stable addresses, like the detection table's
    std::vector<RecordedDetection> recorded_;
    std::vector<ShownDetection> shown_;
    std::vector<std::pair<std::string, bool>> alerts_;
    std::vector<int> sounds_;
    std::vector<std::pair<int, bool>> states_;
    int refreshes_ = 0;
};

// Every log message of the test, window stamp removed, at every level.
class LogCapture : public LogWindowSink {
public:
    LogCapture() {
        Logger& logger = Logger::Instance();
        logger.SetFilePath({});
        logger.SetWindowLevel(100);
        logger.SetWindowOpen(true);
        logger.SetSink(this);
    }
    ~LogCapture() override {
        Logger::Instance().SetSink(nullptr);
        Logger::Instance().SetWindowOpen(false);
        Logger::Instance().ClearWindow();
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void OnLogWindowLine(const std::string& line) override {
        std::lock_guard<std::mutex> guard(lock_);
        lines_.push_back(line);
    }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> guard(lock_);
        return lines_;
    }
    // Lines holding `text`.
    int Count(const std::string& text) const {
        std::lock_guard<std::mutex> guard(lock_);
        return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
    }
    bool Has(const std::string& text) const { return Count(text) > 0; }
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        return WaitUntil([&] { return Has(text); }, limit);
    }
    std::string Dump() const {
        std::string all;
        for (const std::string& line : Lines()) all += line + "\n";
        return all;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
};

}  // namespace lv::test
