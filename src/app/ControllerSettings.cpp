#include "app/ControllerSettings.h"

#include "app/RaceDays.h"
#include "base/Clock.h"
#include "base/SettingsSchema.h"
#include "core/DetectionRecorder.h"

namespace lv {

ControllerSettings::ControllerSettings()
    : beepWhenQuit_(setting::GTarvexBeepWhenQuit.defaultValue),
      absClock_(setting::BAbsClock.defaultValue),
      logDetections_(setting::BLogDetections.defaultValue),
      scrollDetections_(setting::BScrollDetections.defaultValue),
      logWinLevel_(setting::LogWinLevel.defaultValue),
      logFileLevel_(setting::LogFileLevel.defaultValue),
      secondsBetweenSerialRead_(setting::SecondsBetweenSerialRead.defaultValue) {}

void ControllerSettings::AttachRecorder(DetectionRecorder* recorder) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        recorder_ = recorder;
    }
    PublishRules();
}

void ControllerSettings::ReadIntake() {
    IntakeSettings s;
    s.readMsDelta = setting::GTarvexReadMsDelta.Read();
    s.reconnectSeconds = setting::GBoxReconnectSeconds.Read();
    s.ignoreFSDetections = setting::GTarvexIgnoreFSDetections.Read();
    s.ignoreLSDetections = setting::GTarvexIgnoreLSDetections.Read();
    s.secondsBetweenSerialRead = secondsBetweenSerialRead_;
    s.connectionTimeoutSeconds = setting::GTarvexConnectionTimeout.Read();
    RecordingRules rules;
    rules.ignoreInputMsDelta = setting::GTarvexIgnoreInputMsDelta.Read();
    rules.sendNumbers = setting::GTarvexSendNumbers.Read();
    rules.ignoreUnknownTags = setting::GTarvexIgnoreUnknownTags.Read();
    rules.raceDays = ComputeRaceDays(setting::GDaysToAdd.Read(), WallNow()).dates;
    beepDetections_ = setting::GTarvexBeepDetections.Read();
    PublishIntake(std::move(s), std::move(rules), setting::GTarvexBeepWhenQuit.Read());
}

void ControllerSettings::PublishIntake(IntakeSettings settings, RecordingRules rules, bool beepWhenQuit) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        intake_ = std::move(settings);
        rules_ = std::move(rules);
        beepWhenQuit_ = beepWhenQuit;
        // Under the lock: whoever sees the new number finds the new settings.
        intakeVersion_.fetch_add(1, std::memory_order_release);
    }
    PublishRules();
}

void ControllerSettings::PublishRules() {
    RecordingRules rules;
    DetectionRecorder* recorder = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        rules_.absoluteClock = absClock_.load();
        rules = rules_;
        recorder = recorder_;
    }
    if (recorder) recorder->SetRules(rules);
}

IntakeSettings ControllerSettings::CurrentIntake() const {
    std::lock_guard<std::mutex> guard(lock_);
    return intake_;
}

RecordingRules ControllerSettings::CurrentRules() const {
    std::lock_guard<std::mutex> guard(lock_);
    RecordingRules rules = rules_;
    rules.absoluteClock = absClock_.load();
    return rules;
}

bool ControllerSettings::BeepWhenQuit() const {
    std::lock_guard<std::mutex> guard(lock_);
    return beepWhenQuit_;
}

bool ControllerSettings::FollowRaceDay(std::chrono::system_clock::time_point now) {
    RaceDays days;
    days.dates = CurrentRules().raceDays;
    const int index = DayCheckIndex(days, now);
    if (index == StoredDaysToAdd()) return false;
    setting::GDaysToAdd.Write(index);
    // Past midnight of a race over several days the dates stay the same; when today
    // left the table they start again from today, as at the next start.
    ReadIntake();
    return true;
}

int ControllerSettings::StoredDaysToAdd() const { return setting::GDaysToAdd.Read(); }

void ControllerSettings::ReadWindowKeys() {
    absClock_ = setting::BAbsClock.ReadBack();
    logWinLevel_ = setting::LogWinLevel.ReadBack();
    logFileLevel_ = setting::LogFileLevel.ReadBack();
    logDetections_ = setting::BLogDetections.ReadBack();
    scrollDetections_ = setting::BScrollDetections.ReadBack();
    secondsBetweenSerialRead_ = setting::SecondsBetweenSerialRead.Mended(setting::SecondsBetweenSerialRead.ReadBack());
    PublishRules();
}

void ControllerSettings::SetLogDetections(bool on) {
    logDetections_ = on;
    setting::BLogDetections.Write(on);
}

void ControllerSettings::SetScrollDetections(bool on) {
    scrollDetections_ = on;
    setting::BScrollDetections.Write(on);
}

void ControllerSettings::SetLogWindowLevel(int level) {
    logWinLevel_ = level;
    setting::LogWinLevel.Write(level);
}

}  // namespace lv
