#include "core/DetectionRecorder.h"

#include <algorithm>
#include <charconv>

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "core/ChipTable.h"
#include "core/DetectionTable.h"
#include "core/RaceDayRule.h"

namespace lv {
namespace {

// Versions are unique across recorders: a recorder made where an ended one lay never
// meets that one's version in a thread's copy.
std::atomic<uint64_t> g_versions{1};

std::string BibText(int32_t bib) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<uint32_t>(bib)).ptr;
    return std::string(digits, end);
}

// Reads pushed by network decoders and those fetched from their memory: the setting that
// discards unknown chips is theirs. A USB TimingBox's unknown chip is recorded with its
// code, as its reading always did.
bool DiscardsUnknownChips(DetectionSource source) {
    return source == DetectionSource::Decoder || source == DetectionSource::Recovery;
}

}  // namespace

DetectionRecorder::DetectionRecorder(DetectionTable& table)
    : table_(table), shared_(std::make_shared<Shared>()), version_(++g_versions) {
    for (auto& box : boxes_) box = std::make_unique<BoxReads>();
}

const std::shared_ptr<const DetectionRecorder::Shared>& DetectionRecorder::Current() const {
    struct Cached {
        const DetectionRecorder* owner = nullptr;
        uint64_t version = 0;
        std::shared_ptr<const Shared> shared;
    };
    thread_local Cached cached;
    const uint64_t version = version_.load(std::memory_order_acquire);
    if (cached.owner == this && cached.version == version) return cached.shared;
    std::lock_guard<std::mutex> hold(lock_);
    cached.owner = this;
    cached.version = version_.load(std::memory_order_relaxed);
    cached.shared = shared_;
    return cached.shared;
}

void DetectionRecorder::SetRules(const RecordingRules& rules) {
    std::lock_guard<std::mutex> hold(lock_);
    auto next = std::make_shared<Shared>(*shared_);
    next->rules = rules;
    shared_ = std::move(next);
    version_.store(++g_versions, std::memory_order_release);
}

RecordingRules DetectionRecorder::Rules() const {
    std::lock_guard<std::mutex> hold(lock_);
    return shared_->rules;
}

void DetectionRecorder::AddFollower(DetectionFollower* follower) {
    std::lock_guard<std::mutex> hold(lock_);
    auto next = std::make_shared<Shared>(*shared_);
    next->followers.push_back(follower);
    shared_ = std::move(next);
    version_.store(++g_versions, std::memory_order_release);
}

void DetectionRecorder::RemoveFollower(DetectionFollower* follower) {
    std::lock_guard<std::mutex> hold(lock_);
    auto next = std::make_shared<Shared>(*shared_);
    next->followers.erase(std::remove(next->followers.begin(), next->followers.end(), follower),
                          next->followers.end());
    shared_ = std::move(next);
    version_.store(++g_versions, std::memory_order_release);
}

DetectionRecorder::BoxReads* DetectionRecorder::ReadsOf(int box) const {
    if (box < 1 || box > kBoxes) return nullptr;
    return boxes_[static_cast<std::size_t>(box - 1)].get();
}

PreparedDetection DetectionRecorder::Prepare(const Detection& detection) const {
    return PrepareWith(detection, Current()->rules);
}

PreparedDetection DetectionRecorder::PrepareWith(const Detection& detection, const RecordingRules& rules) const {
    PreparedDetection prepared;
    if (detection.dayOffset == kRaceDayRule) {
        prepared.ofDay = RaceTimeOfDay(detection.instant, detection.clockOfDay, detection.clockDate, rules.raceDays,
                                       prepared.raceDay);
    } else {
        CChrono ofDay = detection.clockOfDay;
        if (!ofDay.IsSet()) {
            ofDay = detection.instant;
            ofDay.AbsoluteToOfDay();
        }
        prepared.ofDay = AddDays(ofDay, detection.dayOffset);
    }
    prepared.label = detection.code;
    if (detection.codeIsLabel || !rules.sendNumbers) return prepared;
    CQoxTableLocker tableLock;
    if (ChipTableCount() == 0) {
        prepared.lookup = ChipLookup::TableEmpty;
        return prepared;
    }
    int32_t bib = -1;
    if (FindBib(detection.code, bib) && bib >= 0) {
        prepared.lookup = ChipLookup::Found;
        prepared.label = BibText(bib);
    } else {
        prepared.lookup = ChipLookup::NotFound;
        prepared.unknownChip = rules.ignoreUnknownTags && DiscardsUnknownChips(detection.source);
    }
    return prepared;
}

RecordResult DetectionRecorder::Record(const Detection& detection) {
    // This thread's copy: it stays alive until this thread next looks for a newer one.
    const Shared* shared = Current().get();
    const RecordingRules& rules = shared->rules;
    RecordResult result;
    const PreparedDetection prepared = PrepareWith(detection, rules);
    // Said for each live passing, as it comes; a recovery says it once for all.
    if (prepared.raceDay < 0 && detection.source != DetectionSource::Recovery) Log(0, DatesIncompatibleText());

    // A read pushed by a network decoder: the box's last read, the watch of its next one,
    // and the repeated-read rule, under the box's own lock.
    BoxReads* reads = detection.source == DetectionSource::Decoder ? ReadsOf(detection.box) : nullptr;
    bool repeated = false;
    std::function<void(const CChrono&)> watch;
    if (reads) {
        std::lock_guard<std::mutex> hold(reads->lock);
        reads->lastInstant = detection.instant;
        watch.swap(reads->watch);
        if (!prepared.unknownChip) {
            repeated = IsRepeatedRead(reads->last, prepared.label, detection.instant, rules.ignoreInputMsDelta);
        }
    }
    if (watch) watch(detection.instant);
    if (prepared.unknownChip) {
        result.outcome = RecordOutcome::UnknownChip;
        result.error = fmt::sprintf(Tr("## Unknown chip [%s]. Detection discarded", "## Puce inconnue [%s] Détection ignorée"),
                                    detection.code);
        return result;
    }
    if (repeated) {
        result.outcome = RecordOutcome::Repeated;
        return result;
    }

    CQoxResult record;
    record.label = prepared.label;
    record.timeText = MakeTimeText(detection.instant, prepared.ofDay, rules.absoluteClock);
    record.boxName = detection.detectorId;
    record.absoluteTime = rules.absoluteClock ? 1 : 0;
    record.ofDay = prepared.ofDay;
    record.source = detection.source;
    record.box = static_cast<uint8_t>(detection.box >= 0 && detection.box <= kBoxes ? detection.box : 0);
    record.lookup = prepared.lookup;
    const CQoxResult* added = table_.AddRecord(std::move(record), true, detection.forward);
    result.record = added;
    for (DetectionFollower* follower : shared->followers) follower->DetectionRecorded(*added);
    return result;
}

void DetectionRecorder::ForgetLastReads(int box) {
    for (int b = 1; b <= kBoxes; ++b) {
        if (box != 0 && box != b) continue;
        BoxReads* reads = ReadsOf(b);
        std::lock_guard<std::mutex> hold(reads->lock);
        reads->last.Clear();
    }
}

CChrono DetectionRecorder::LastReadInstant(int box) const {
    const BoxReads* reads = ReadsOf(box);
    if (!reads) return CChrono();
    std::lock_guard<std::mutex> hold(reads->lock);
    return reads->lastInstant;
}

void DetectionRecorder::WatchNextRead(int box, std::function<void(const CChrono& instant)> watch) {
    BoxReads* reads = ReadsOf(box);
    if (!reads) return;
    std::lock_guard<std::mutex> hold(reads->lock);
    reads->watch = std::move(watch);
}

}  // namespace lv
