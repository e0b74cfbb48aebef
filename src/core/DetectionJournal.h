#pragma once
// The current detection file: one line per recorded detection, appended and flushed
// at once, and made durable on disk within a short delay by a background flusher.
// Also writes the ".qox" export of the active detections in the same line format.
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "core/DetectionRecords.h"

namespace lv {

// "%d\t%s\t%s\t%d\t%s\t%d" + CR LF, as the Windows program writes it.
std::string FormatDetectionLine(std::size_t number, const CQoxResult& record);

class DetectionJournal {
public:
    // Longest delay between a line written and the same line on disk.
    static constexpr int kSyncDelayMs = 100;
    // How long the flusher gathers lines before it brings them to disk together.
    static constexpr int kSyncGatherMs = 20;

    DetectionJournal();
    ~DetectionJournal();
    DetectionJournal(const DetectionJournal&) = delete;
    DetectionJournal& operator=(const DetectionJournal&) = delete;

    // Nothing when a file of that name is open; logs the opening and any failure.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const;
    std::string Name() const;

    // Appends one line and flushes it; called with the table lock held.
    void WriteLine(std::size_t number, const CQoxResult& record);

    // Makes every line make its own way to the disk before WriteLine returns, instead
    // of leaving it to the background flusher (kept for comparison and slow media).
    void SetSyncEachLine(bool syncEachLine);
    // Number of times the flusher brought the file to disk (for tests and benchmarks).
    std::size_t SyncCount() const;
    // Waits until every line written so far is on disk or `timeoutMs` elapsed; true
    // when nothing remains to be synchronised.
    bool WaitUntilSynced(int timeoutMs);

private:
    void FlusherLoop();
    void StartFlusherLocked();
    // Flushes, syncs and closes a file no writer can reach any more.
    void Retire(FILE* file, const std::string& name);

    mutable std::mutex lock_;
    std::condition_variable wake_;
    FILE* file_ = nullptr;
    std::string name_;
    bool dirty_ = false;
    bool stopping_ = false;
    bool syncEachLine_ = false;
    int syncsInProgress_ = 0;         // syncs running outside the lock
    bool writeFailureReported_ = false;
    std::size_t syncCount_ = 0;
    std::condition_variable synced_;  // signalled after each flush to disk
    std::thread flusher_;
};

}  // namespace lv
