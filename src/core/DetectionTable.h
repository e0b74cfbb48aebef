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

    mutable AdaptiveMutex lock_;
    std::deque<CQoxResult> records_;
    uint32_t idCounter_ = 0;
    // Kept with every change of the table: the window asks for it after each passing.
    std::size_t activeCount_ = 0;
    std::vector<std::deque<CQoxResult>> cleared_;
    std::unique_ptr<DetectionJournal> journal_;
};

}  // namespace lv
