#include "app/DetectionIntake.h"

#include "base/Environment.h"
#include "base/Log.h"
#include "base/TimerIds.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "core/DetectionTexts.h"
#include "link/DirectLinkSession.h"

namespace lv {

DetectionIntake::DetectionIntake(UiLoop& ui, MainView& view, const ControllerSettings& settings,
                                 IntakeHandlers handlers, std::string sessionFileName)
    : ui_(ui),
      view_(view),
      settings_(settings),
      handlers_(std::move(handlers)),
      sessionFileName_(std::move(sessionFileName)) {}

const CQoxResult* DetectionIntake::RecordDetection(const std::string& label, const std::string& boxName,
                                                   const CChrono& instant, const CChrono& ofDay) {
    CQoxResult* record = DetectionTable::Instance().AddResult(label, boxName, instant, ofDay,
                                                              settings_.AbsoluteClock(), true);
    if (link_) link_->PushDetection(*record);
    if (handlers_.recorded) handlers_.recorded(*record);
    return record;
}

void DetectionIntake::ShowDetection(const std::string& text, const CQoxResult* record, const CChrono& ofDay) {
    CDetectionItem item;
    item.result = const_cast<CQoxResult*>(record);
    item.line = ofDay.FormatDayWrap() + "\t" + text;
    bool first;
    {
        std::lock_guard<std::mutex> guard(pendingLinesLock_);
        first = pendingLines_.empty();
        pendingLines_.push_back(std::move(item));
    }
    // One hand-over per batch: under a mass start the view gets lines by the hundred.
    if (first) ui_.post([this] { FlushDetectionLines(); });
}

void DetectionIntake::FlushDetectionLines() {
    std::vector<CDetectionItem> batch;
    {
        std::lock_guard<std::mutex> guard(pendingLinesLock_);
        batch.swap(pendingLines_);
    }
    for (const auto& item : batch) view_.AddDetectionLine(item);
}

void DetectionIntake::DropPendingLines() {
    std::lock_guard<std::mutex> guard(pendingLinesLock_);
    pendingLines_.clear();
}

void DetectionIntake::RefreshCounters() {
    if (ui_.isUiThread()) {
        handlers_.refreshCounters();
        return;
    }
    refreshWanted_ = true;
    if (!refreshPending_.exchange(true)) ui_.post([this] { RefreshCountersAndRest(); });
}

// A refresh at once, then none for kCounterRefreshMs: the requests of that time are
// served together at its end. Refreshing after each passing of a mass start would wake
// the UI thread as often, and it would take the cores from the box threads.
void DetectionIntake::RefreshCountersAndRest() {
    refreshWanted_ = false;
    handlers_.refreshCounters();
    ui_.setTimer(kTimerDeferredRefresh, kCounterRefreshMs, false, [this] {
        refreshPending_ = false;
        if (refreshWanted_.load() && !refreshPending_.exchange(true)) RefreshCountersAndRest();
    });
}

void DetectionIntake::StopDeferredRefresh() {
    ui_.killTimer(kTimerDeferredRefresh);
    refreshPending_ = false;  // its timer will not end the rest any more
}

void DetectionIntake::AlertLine(const std::string& text, bool show) {
    if (show) {
        ui_.post([this, text] {
            view_.BringToFront();
            view_.ShowMessage(text, MessageIcon::Warning);
        });
    }
    Log(0, "######## " + text);
}

void DetectionIntake::ShowWarning(const std::string& text) {
    ui_.post([this, text] { view_.ShowMessage(text, MessageIcon::Warning); });
}

void DetectionIntake::PlaySound(Sound sound) {
    if (ui_.isUiThread()) {
        view_.PlaySound(sound);
        return;
    }
    // A burst of detections plays one detection sound, not thousands queued.
    if (sound == Sound::Detection) {
        if (detectionSoundPending_.exchange(true)) return;
        ui_.post([this] {
            detectionSoundPending_ = false;
            view_.PlaySound(Sound::Detection);
        });
        return;
    }
    ui_.post([this, sound] { view_.PlaySound(sound); });
}

void DetectionIntake::PostBoxState(int boxNumber, bool unexpected) {
    ui_.post([this, boxNumber, unexpected] { handlers_.boxState(boxNumber, unexpected); });
}

void DetectionIntake::OpenJournal() {
    // Nothing when the file is open already; its opening is logged otherwise.
    DetectionTable::Instance().Journal().Open(sessionFileName_);
}

void DetectionIntake::CloseJournal() { DetectionTable::Instance().Journal().Close(); }

void DetectionIntake::StartNewJournal() {
    sessionFileName_ = MakeSessionFileName();
    DetectionTable::Instance().Journal().Open(sessionFileName_);
}

}  // namespace lv
