#include "core/DetectionTable.h"

#include <algorithm>
#include <limits>

#include "core/DetectionJournal.h"

namespace lv {

DetectionTable& DetectionTable::Instance() {
    static DetectionTable table;
    return table;
}

DetectionTable::DetectionTable() : journal_(std::make_unique<DetectionJournal>()) {}

DetectionTable::~DetectionTable() = default;

uint32_t DetectionTable::NextIdLocked() {
    ++idCounter_;
    // 4294967295 is never given: the counter starts again at 1.
    if (idCounter_ == std::numeric_limits<uint32_t>::max()) idCounter_ = 1;
    return idCounter_;
}

CQoxResult* DetectionTable::AddResult(const std::string& label, const std::string& boxName,
                                      const CChrono& instant, const CChrono& ofDay,
                                      bool absoluteMode, bool writeToFile) {
    CQoxResult record;
    record.label = label;
    record.timeText = MakeTimeText(instant, ofDay, absoluteMode);
    record.boxName = boxName;
    record.absoluteTime = absoluteMode ? 1 : 0;
    record.ofDay = ofDay;
    return AddRecord(std::move(record), writeToFile);
}

CQoxResult* DetectionTable::AppendLocked(CQoxResult&& record) {
    // The id is taken under the lock so that ids follow the table order.
    record.id = NextIdLocked();
    record.number = static_cast<uint32_t>(records_.size() + 1);
    records_.push_back(std::move(record));
    CQoxResult& added = records_.back();
    if (added.active != 0) ++activeCount_;
    return &added;
}

CQoxResult* DetectionTable::AddRecord(CQoxResult record, bool writeToFile, bool forward) {
    // Fields from a box or a file never split or add a line of the tab-separated files.
    for (std::string* field : {&record.label, &record.boxName, &record.timeText}) {
        if (field->find_first_of("\t\r\n") != std::string::npos) *field = SingleLineField(*field);
    }
    record.flagA = 1;
    record.flagB = 0;
    record.active = 1;
    record.ofDay = CChrono(record.ofDay.Seconds(), static_cast<uint16_t>(record.ofDay.Milliseconds() / 10 * 10));
    // Formatted before the lock is taken: four box threads record at once.
    const std::string lineFields = writeToFile ? DetectionLineFields(record) : std::string();

    CQoxResult* added = nullptr;
    WriteCombiner::Ticket line = 0;
    {
        std::lock_guard<AdaptiveMutex> hold(lock_);
        added = AppendLocked(std::move(record));
        // Queued under the table lock: the journal's line order is the table's order.
        if (writeToFile) line = journal_->QueueLine(records_.size(), lineFields, forward);
    }
    // Written outside it, so that other threads record meanwhile (and share the write).
    journal_->WaitWritten(line);
    return added;
}

void DetectionTable::LoadRecords(std::vector<CQoxResult> records) {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    for (CQoxResult& record : records) AppendLocked(std::move(record));
}

CQoxResult* DetectionTable::RecordAt(std::size_t number) {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    if (number < 1 || number > records_.size()) return nullptr;
    return &records_[number - 1];
}

void DetectionTable::VisitRecords(std::size_t first, std::size_t count,
                                  const std::function<void(const CQoxResult&)>& fn) const {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    for (std::size_t number = std::max<std::size_t>(first, 1); number < first + count && number <= records_.size();
         ++number) {
        fn(records_[number - 1]);
    }
}

uint64_t DetectionTable::Generation() const {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    return generation_;
}

int DetectionTable::CountActive() const {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    return static_cast<int>(activeCount_);
}

std::size_t DetectionTable::Count() const {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    return records_.size();
}

void DetectionTable::ClearTable() {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    if (!records_.empty()) cleared_.push_back(std::move(records_));
    records_.clear();
    activeCount_ = 0;
    ++generation_;
}

void DetectionTable::FreeClearedRecords() {
    std::vector<std::deque<CQoxResult>> freed;
    {
        std::lock_guard<AdaptiveMutex> hold(lock_);
        freed.swap(cleared_);
    }
}

void DetectionTable::SetActive(CQoxResult* record, bool active) {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    if (record == nullptr) return;
    int32_t now = active ? 1 : 0;
    if ((record->active != 0) == (now != 0)) return;
    record->active = now;
    if (now != 0) {
        ++activeCount_;
    } else {
        --activeCount_;
    }
}

void DetectionTable::WithRecords(
    const std::function<void(const std::deque<CQoxResult>&)>& fn) const {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    fn(records_);
}

DetectionJournal& DetectionTable::Journal() { return *journal_; }

void DetectionTable::SetIdCounterForTests(uint32_t value) {
    std::lock_guard<AdaptiveMutex> hold(lock_);
    idCounter_ = value;
}

}  // namespace lv
