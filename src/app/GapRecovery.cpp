#include "app/GapRecovery.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <unordered_map>
#include <vector>

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "base/TimerIds.h"
#include "base/WriteCombiner.h"
#include "boxes/BoxFileList.h"
#include "boxes/StoredPassings.h"
#include "boxes/TarvexBox.h"
#include "cloud/http/HttpClient.h"
#include "core/DetectionTable.h"

namespace lv {
namespace {

// A table is looked through in slices, so that live recording never waits long for it.
constexpr std::size_t kTableSlice = 4096;
// Journal lines are waited for together, this many at a time.
constexpr std::size_t kRecordBurst = 256;

int64_t Milliseconds(const CChrono& value) { return int64_t{value.Seconds()} * 1000 + value.Milliseconds(); }

std::string BoxName(int box, const CTarvexBox* target) {
    return fmt::sprintf("%d %s", box, target ? target->GetDescription() : std::string());
}

}  // namespace

struct GapRecovery::Job {
    int box = 0;
    CTarvexBox* target = nullptr;
    std::string detectorId;
    CChrono from;  // the gap itself
    CChrono to;
    int windowMs = 0;
    DetectionRecorder* recorder = nullptr;
    const std::atomic<bool>* cancel = nullptr;
};

GapRecovery::GapRecovery(UiLoop& ui, DetectionRecorder& recorder, std::function<CTarvexBox*(int)> box,
                         std::function<bool()> enabled)
    : ui_(ui), recorder_(recorder), box_(std::move(box)), enabled_(std::move(enabled)) {}

GapRecovery::~GapRecovery() { Stop(); }

void GapRecovery::Stop() {
    cancel_.store(true);
    for (int box = 1; box <= kBoxes; ++box) {
        ui_.killTimer(kTimerGapRecovery + box);
        recorder_.WatchNextRead(box, {});
    }
    if (worker_.joinable()) worker_.join();
    alive_ = std::make_shared<int>(0);
    job_.reset();
    ready_.clear();
    for (Gap& gap : gaps_) gap.fetching = false;
    cancel_.store(false);
}

bool GapRecovery::Pending(int box) const {
    return box >= 1 && box <= kBoxes && gaps_[static_cast<std::size_t>(box - 1)].open;
}

void GapRecovery::BoxLost(int box) {
    if (box < 1 || box > kBoxes || (enabled_ && !enabled_())) return;
    CTarvexBox* target = box_(box);
    // A USB TimingBox is read by index: nothing of it is ever missed.
    if (!target || target->IsSerial()) return;
    Gap& gap = gaps_[static_cast<std::size_t>(box - 1)];
    CChrono last = recorder_.LastReadInstant(box);
    // No read before the loss: nothing was missed before it.
    if (!last.IsSet()) last = CChrono(CChrono::kNowAbsolute);
    if (!gap.open) {
        gap.open = true;
        gap.from = last;
    } else if (gap.fetching) {
        // The fetching under way covers up to its return; this loss begins a gap anew.
        gap.nextFrom = last;
    }
    gap.to.Reset();
    std::weak_ptr<int> alive = alive_;
    recorder_.WatchNextRead(box, [this, alive, box](const CChrono& instant) {
        ui_.post([this, alive, box, instant] {
            if (alive.lock()) OnReturn(box, instant);
        });
    });
}

void GapRecovery::OnReturn(int box, const CChrono& firstRead) {
    Gap& gap = gaps_[static_cast<std::size_t>(box - 1)];
    if (!gap.open) return;
    gap.to = firstRead;
    std::weak_ptr<int> alive = alive_;
    ui_.setTimer(kTimerGapRecovery + box, kSettleMs, false, [this, alive, box] {
        if (!alive.lock()) return;
        ui_.killTimer(kTimerGapRecovery + box);
        if (std::find(ready_.begin(), ready_.end(), box) == ready_.end()) ready_.push_back(box);
        StartNext();
    });
}

void GapRecovery::StartNext() {
    if (job_) return;
    while (!ready_.empty()) {
        const int box = ready_.front();
        ready_.pop_front();
        Gap& gap = gaps_[static_cast<std::size_t>(box - 1)];
        CTarvexBox* target = box_(box);
        if (!gap.open || !gap.to.IsSet() || !target) continue;
        auto job = std::make_shared<Job>();
        job->box = box;
        job->target = target;
        if (CComBox* transport = target->Transport()) job->detectorId = transport->GetDetectorId();
        job->from = gap.from;
        job->to = gap.to;
        job->windowMs = recorder_.Rules().ignoreInputMsDelta;
        job->recorder = &recorder_;
        job->cancel = &cancel_;
        gap.fetching = true;
        job_ = job;
        if (worker_.joinable()) worker_.join();
        std::weak_ptr<int> alive = alive_;
        worker_ = std::thread([this, alive, job] {
            const Outcome outcome = Fetch(*job);
            ui_.post([this, alive, outcome] {
                if (alive.lock()) Finish(outcome);
            });
        });
        return;
    }
}

void GapRecovery::Finish(const Outcome& outcome) {
    if (worker_.joinable()) worker_.join();
    last_ = outcome;
    job_.reset();
    Gap& gap = gaps_[static_cast<std::size_t>(outcome.box - 1)];
    gap.fetching = false;
    const std::string name = BoxName(outcome.box, box_(outcome.box));
    if (outcome.ok) {
        ++completed_;
        Log(0, fmt::sprintf(Tr("+ Box %s: %d detections recovered from the box's memory between %s and %s",
                               "+ Boîtier %s : %d détections récupérées de la mémoire du boîtier entre %s et %s"),
                            name, static_cast<int>(outcome.recorded), outcome.from.FormatClock(),
                            outcome.to.FormatClock()));
        if (gap.nextFrom.IsSet()) {
            // Lost again meanwhile: the next gap begins at its own last read.
            gap.from = gap.nextFrom;
            gap.nextFrom.Reset();
        } else {
            gap.open = false;
            gap.to.Reset();
        }
    } else {
        Log(0, fmt::sprintf(Tr("## Box %s: the reads between %s and %s could not be fetched from the box's memory "
                               "(%s); tried again at its next return",
                               "## Boîtier %s : les lectures entre %s et %s n'ont pas pu être récupérées de la mémoire "
                               "du boîtier (%s) ; nouvel essai à son prochain retour"),
                            name, outcome.from.FormatClock(), outcome.to.FormatClock(), outcome.error));
        // The gap stays open from its first beginning; a return already seen again is
        // fetched next, else the next one is waited for.
        gap.nextFrom.Reset();
        if (gap.to == outcome.to) gap.to.Reset();
    }
    StartNext();
}

GapRecovery::Outcome GapRecovery::Fetch(Job& job) {
    Outcome outcome;
    outcome.box = job.box;
    outcome.from = job.from;
    outcome.to = job.to;
    outcome.started = std::chrono::steady_clock::now();
    FetchInto(job, outcome);
    outcome.ended = std::chrono::steady_clock::now();
    return outcome;
}

void GapRecovery::FetchInto(Job& job, Outcome& outcome) {
    const CChrono from = job.from - CChrono(kMarginSeconds, 0);
    const CChrono to = job.to + CChrono(kMarginSeconds, 0);

    std::vector<std::unique_ptr<CDetectionFile>> files;
    if (ListBoxFiles(*job.target, files, outcome.error) != 0) return;
    std::vector<PassingRead> reads;
    for (const CDetectionFile* file : FilesCovering(files, from, to)) {
        HttpRequest request;
        request.url = file->detectionsPath;
        request.cancel = job.cancel;
        const HttpResult result = HttpTransfer(request);
        if (!result.Ok()) {
            outcome.error = fmt::sprintf("%s: %s", file->detectionsPath, result.detail);
            return;
        }
        std::size_t unreadable = 0;
        std::vector<PassingRead> found = ReadStoredPassings(result.body, from, to, unreadable);
        reads.insert(reads.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    }
    if (job.cancel->load()) {
        outcome.error = Tr("stopped", "arrêté");
        return;
    }
    outcome.reads = reads.size();
    std::stable_sort(reads.begin(), reads.end(),
                     [](const PassingRead& a, const PassingRead& b) { return a.instant < b.instant; });

    // What the table holds of this box: the time of day of each label's detections.
    std::unordered_map<std::string, std::vector<int64_t>> held;
    DetectionTable& table = DetectionTable::Instance();
    const std::size_t count = table.Count();
    for (std::size_t first = 1; first <= count; first += kTableSlice) {
        table.VisitRecords(first, kTableSlice, [&](const CQoxResult& record) {
            if (record.boxName == job.detectorId) held[record.label].push_back(Milliseconds(record.ofDay));
        });
    }
    // The table's times are to the hundredth.
    const int64_t tolerance = std::max<int64_t>(job.windowMs, 10);
    std::unordered_map<std::string, int64_t> lastOfLabel;  // the repeat rule among the reads themselves
    WriteCombiner::DeferredWaits burst;
    std::size_t inBurst = 0;
    for (const PassingRead& read : reads) {
        Detection detection;
        detection.source = DetectionSource::Recovery;
        detection.box = job.box;
        detection.detectorId = job.detectorId;
        detection.code = read.code;
        detection.instant = read.instant;
        detection.clockOfDay = read.clockOfDay;
        detection.clockDate = read.date;
        const PreparedDetection prepared = job.recorder->Prepare(detection);
        if (prepared.unknownChip) continue;
        const int64_t at = Milliseconds(read.instant);
        auto previous = lastOfLabel.find(prepared.label);
        const bool repeated = job.windowMs > 0 && previous != lastOfLabel.end() && at >= previous->second &&
                              at - previous->second < job.windowMs;
        lastOfLabel[prepared.label] = at;
        if (repeated) continue;
        const int64_t ofDay = Milliseconds(prepared.ofDay);
        auto known = held.find(prepared.label);
        if (known != held.end() && std::any_of(known->second.begin(), known->second.end(), [&](int64_t other) {
                return std::llabs(other - ofDay) < tolerance;
            })) {
            continue;
        }
        if (job.recorder->Record(detection).record) ++outcome.recorded;
        if (++inBurst == kRecordBurst) {
            burst.WaitAll();
            inBurst = 0;
        }
    }
    outcome.ok = true;
}

}  // namespace lv
