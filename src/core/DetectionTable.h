#pragma once
// The program-wide detection table: every accepted detection in arrival order, under
// one lock. Recording also queues the journal line under that lock, so the journal's
// line order is the table's order, and returns once the line is in the file. Records
// never move (pointers stay valid until ClearTable).
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/AdaptiveMutex.h"
#include "core/Chrono.h"
#include "core/DetectionRecords.h"

namespace lv {

class DetectionJournal;

class DetectionTable {
public:
    static DetectionTable& Instance();

    // Creates the record (id from the program-wide counter, active) and, when
    // writeToFile is set and the journal is open, writes its journal line.
    CQoxResult* AddResult(const std::string& label, const std::string& boxName,
                          const CChrono& instant, const CChrono& ofDay, bool absoluteMode,
                          bool writeToFile);
    // Adds a record made by the caller (its label, box name, time text, ofDay, marks):
    // the table gives its id and number, and queues its journal line (held back from
    // the timing application unless `forward`). The journal line is in the file when
    // this returns (or when the calling thread's DeferredWaits scope closes).
    CQoxResult* AddRecord(CQoxResult record, bool writeToFile, bool forward = true);
    // Records read back from the detection file of a resumed session, numbered in
    // order from the table's end; no journal line is written for them.
    void LoadRecords(std::vector<CQoxResult> records);
    // The record numbered `number` (1-based) since the last clear; null beyond the end.
    // Records never move: the pointer stays valid until ClearTable.
    CQoxResult* RecordAt(std::size_t number);
    // Runs fn on records [first, first + count) (1-based), the lock held meanwhile: a
    // caller that looks through the whole table does it in slices, so that recording
    // never waits long.
    void VisitRecords(std::size_t first, std::size_t count, const std::function<void(const CQoxResult&)>& fn) const;
    // Changes at each ClearTable: whoever follows the table by number starts again.
    uint64_t Generation() const;
    int CountActive() const;
    std::size_t Count() const;
    // Empties the table. The records themselves stay in memory until
    // FreeClearedRecords: a box thread may be between recording a detection and
    // pushing or showing it while the user resets the list.
    void ClearTable();
    // Frees the records of earlier clears; only once no box thread runs (exit).
    void FreeClearedRecords();
    void SetActive(CQoxResult* record, bool active);

    // Runs fn with the lock held over the records in arrival order.
    void WithRecords(const std::function<void(const std::deque<CQoxResult>&)>& fn) const;

    DetectionJournal& Journal();

    // For tests: the next id the counter will give after `value`.
    void SetIdCounterForTests(uint32_t value);

    ~DetectionTable();

private:
    DetectionTable();
    uint32_t NextIdLocked();
    CQoxResult* AppendLocked(CQoxResult&& record);

    mutable AdaptiveMutex lock_;
    std::deque<CQoxResult> records_;
    uint32_t idCounter_ = 0;
    // Kept with every change of the table: the window asks for it after each passing.
    std::size_t activeCount_ = 0;
    uint64_t generation_ = 0;
    std::vector<std::deque<CQoxResult>> cleared_;
    std::unique_ptr<DetectionJournal> journal_;
};

}  // namespace lv
