#pragma once
// What the box tests share: a recording BoxHost; the log capture and the wait helper
// come with it.
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/Log.h"
#include "boxes/BoxHost.h"
#include "support/LogCapture.h"
#include "support/WaitUntil.h"

namespace lv::test {

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
    uint64_t IntakeSettingsVersion() const override {
        std::lock_guard<std::mutex> guard(lock_);
        return settingsVersion_;
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
    void PlaySound(Sound sound) override {
        std::lock_guard<std::mutex> guard(lock_);
        sounds_.push_back(SoundNumber(sound));
    }
    void PostBoxState(int boxNumber, bool unexpected) override {
        std::lock_guard<std::mutex> guard(lock_);
        states_.emplace_back(boxNumber, unexpected);
    }

    // Published as the controller does: running intakes take it at their next passing.
    void ChangeSettings(const std::function<void(IntakeSettings&)>& change) {
        std::lock_guard<std::mutex> guard(lock_);
        change(settings_);
        ++settingsVersion_;
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
    uint64_t settingsVersion_ = 0;
    bool logDetections_ = true;
    std::deque<CQoxResult> records_;  // stable addresses, like the detection table's
    std::vector<RecordedDetection> recorded_;
    std::vector<ShownDetection> shown_;
    std::vector<std::pair<std::string, bool>> alerts_;
    std::vector<int> sounds_;
    std::vector<std::pair<int, bool>> states_;
    int refreshes_ = 0;
};

}  // namespace lv::test
