#pragma once
// What the box tests share: a BoxHost that records through a real recorder; the log
// capture and the wait helper come with it.
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/Log.h"
#include "boxes/BoxHost.h"
#include "core/DetectionRecorder.h"
#include "core/DetectionTable.h"
#include "support/LogCapture.h"
#include "support/WaitUntil.h"

namespace lv::test {

struct RecordedDetection {
    std::string label;
    std::string boxName;
    CChrono instant;
    CChrono ofDay;
    DetectionSource source = DetectionSource::Decoder;
    int box = 0;
};

// A main window whose one way in is a real recorder (on the program's detection table,
// emptied at the start of each test), and that keeps what the box threads ask of it.
class RecordingBoxHost : public BoxHost {
public:
    RecordingBoxHost() : recorder_(DetectionTable::Instance()) {
        DetectionTable::Instance().ClearTable();
        RecordingRules rules;
        rules.raceDays = {"20240501", "20240502", "20240503", "20240504"};
        recorder_.SetRules(rules);
    }
    ~RecordingBoxHost() override { DetectionTable::Instance().ClearTable(); }

    IntakeSettings CurrentIntakeSettings() const override {
        std::lock_guard<std::mutex> guard(lock_);
        return settings_;
    }
    uint64_t IntakeSettingsVersion() const override {
        std::lock_guard<std::mutex> guard(lock_);
        return settingsVersion_;
    }
    RecordResult Record(const Detection& detection) override {
        RecordResult result = recorder_.Record(detection);
        std::lock_guard<std::mutex> guard(lock_);
        handed_.push_back(detection);
        if (result.record) {
            const CQoxResult& record = *result.record;
            recorded_.push_back(
                RecordedDetection{record.label, record.boxName, detection.instant, record.ofDay, record.source, record.box});
        }
        return result;
    }
    void ForgetLastReads(int boxNumber) override {
        recorder_.ForgetLastReads(boxNumber);
        std::lock_guard<std::mutex> guard(lock_);
        ++forgets_;
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

    // Published as the controller does: running intakes take it at their next line.
    void ChangeSettings(const std::function<void(IntakeSettings&)>& change) {
        std::lock_guard<std::mutex> guard(lock_);
        change(settings_);
        ++settingsVersion_;
    }
    void ChangeRules(const std::function<void(RecordingRules&)>& change) {
        RecordingRules rules = recorder_.Rules();
        change(rules);
        recorder_.SetRules(rules);
    }
    DetectionRecorder& Recorder() { return recorder_; }
    std::vector<RecordedDetection> Recorded() const {
        std::lock_guard<std::mutex> guard(lock_);
        return recorded_;
    }
    std::size_t RecordedCount() const {
        std::lock_guard<std::mutex> guard(lock_);
        return recorded_.size();
    }
    // Every detection handed over, recorded or not.
    std::vector<Detection> Handed() const {
        std::lock_guard<std::mutex> guard(lock_);
        return handed_;
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
    int Forgets() const {
        std::lock_guard<std::mutex> guard(lock_);
        return forgets_;
    }

private:
    mutable std::mutex lock_;
    DetectionRecorder recorder_;
    IntakeSettings settings_;
    uint64_t settingsVersion_ = 0;
    std::vector<Detection> handed_;
    std::vector<RecordedDetection> recorded_;
    std::vector<std::pair<std::string, bool>> alerts_;
    std::vector<int> sounds_;
    std::vector<std::pair<int, bool>> states_;
    int forgets_ = 0;
};

}  // namespace lv::test
