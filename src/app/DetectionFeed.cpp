#include "app/DetectionFeed.h"

#include <algorithm>

#include "app/DetectionLineText.h"
#include "base/TimerIds.h"
#include "core/DetectionTable.h"

namespace lv {
namespace {

// The sources whose detections sound: the boxes' and the timekeeper's, not imports nor
// recoveries (thousands at once).
bool Sounds(DetectionSource source) {
    return source == DetectionSource::Decoder || source == DetectionSource::UsbBox ||
           source == DetectionSource::Manual;
}

}  // namespace

DetectionFeed::DetectionFeed(UiLoop& ui, MainView& view, DetectionTable& table, DetectionFeedHandlers handlers)
    : ui_(ui), view_(view), table_(table), handlers_(std::move(handlers)), generation_(table.Generation()) {}

DetectionFeed::~DetectionFeed() { Stop(); }

void DetectionFeed::DetectionRecorded(const CQoxResult& record) {
    // Threads recording together may tell their numbers out of order.
    uint64_t upTo = recordedUpTo_.load(std::memory_order_relaxed);
    while (record.number > upTo &&
           !recordedUpTo_.compare_exchange_weak(upTo, record.number, std::memory_order_relaxed)) {
    }
    if (Sounds(record.source) && handlers_.beep && handlers_.beep()) soundWanted_.store(true);
    wanted_.store(true);
    // Resting: the end of the rest flushes what came meanwhile.
    if (resting_.load()) return;
    Post();
}

void DetectionFeed::Post() {
    if (flushPosted_.exchange(true)) return;
    std::weak_ptr<int> alive = alive_;
    ui_.post([this, alive] {
        if (alive.lock()) Flush();
    });
}

void DetectionFeed::Flush() {
    flushPosted_.store(false);
    wanted_.store(false);
    const uint64_t generation = table_.Generation();
    if (generation != generation_) {
        // The list was reset: its numbers start again.
        generation_ = generation;
        shownUpTo_ = 0;
    }
    const uint64_t upTo = std::min<uint64_t>(recordedUpTo_.load(), table_.Count());
    // Lines hidden (detection lines off) stay due: switching the lines on shows them.
    if (upTo > shownUpTo_ && handlers_.showLines && handlers_.showLines()) {
        {
            const bool sendNumbers = handlers_.sendNumbers ? handlers_.sendNumbers() : true;
            for (uint64_t number = shownUpTo_ + 1; number <= upTo; ++number) {
                CQoxResult* record = table_.RecordAt(number);
                if (!record) break;
                const std::string description =
                    record->box != 0 && handlers_.boxDescription ? handlers_.boxDescription(record->box) : std::string();
                view_.AddDetectionLine(DetectionLine(*record, description, sendNumbers));
            }
        }
        shownUpTo_ = upTo;
    }
    if (handlers_.refreshCounters) handlers_.refreshCounters();
    if (soundWanted_.exchange(false)) view_.PlaySound(Sound::Detection);
    // What comes within the rest waits for its end, and goes in one batch.
    resting_.store(true);
    std::weak_ptr<int> alive = alive_;
    ui_.setTimer(kTimerDeferredRefresh, kRestMs, false, [this, alive] {
        if (!alive.lock()) return;
        resting_.store(false);
        if (wanted_.load()) Post();
    });
}

void DetectionFeed::ShowTableEnd() {
    uint64_t upTo = recordedUpTo_.load();
    const uint64_t end = table_.Count();
    while (end > upTo && !recordedUpTo_.compare_exchange_weak(upTo, end)) {
    }
    Flush();
}

void DetectionFeed::ShowHiddenLines() {
    if (table_.Generation() != generation_ || table_.Count() > shownUpTo_) ShowTableEnd();
}

void DetectionFeed::SkipToEnd() {
    generation_ = table_.Generation();
    shownUpTo_ = table_.Count();
    recordedUpTo_.store(shownUpTo_);
}

void DetectionFeed::Stop() {
    ui_.killTimer(kTimerDeferredRefresh);
    resting_.store(false);
}

}  // namespace lv
