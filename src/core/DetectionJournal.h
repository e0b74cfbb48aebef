#pragma once
// The current detection file: one line per recorded detection, in the file (written,
// not buffered) before the recording returns, and made durable on disk within a short
// delay by a background flusher.
// Also writes the ".qox" export of the active detections in the same line format.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "base/WriteCombiner.h"
#include "core/DetectionRecords.h"

namespace lv {

// "%d\t%s\t%s\t%d\t%s\t%d" + CR LF, as the Windows program writes it.
std::string FormatDetectionLine(std::size_t number, const CQoxResult& record);
// The same line after its number ("\t...\r\n"): a recording makes it before it takes
// the table lock, under which only the number is added.
std::string DetectionLineFields(const CQoxResult& record);

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

    // Recording a detection: QueueLine under the table lock (the order of the lines is
    // the table's), then WaitWritten outside it; the line is in the file when
    // WaitWritten returns (inside a WriteCombiner::DeferredWaits scope of the calling
    // thread: when the scope closes). Threads recording together share one write. QueueLine gives
    // 0 (nothing to wait for) when no file is open.
    // `fields` come from DetectionLineFields.
    WriteCombiner::Ticket QueueLine(std::size_t number, std::string_view fields);
    void WaitWritten(WriteCombiner::Ticket ticket);
    // Both at once, for a single writer.
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
    // Writes a batch of lines to the open file; called with the baton of lines_ held.
    void WriteBatch(std::string_view batch);
    // Writes what is queued to the open file before it is switched (baton and lock_
    // held); 0 or the errno value of a failed write.
    int DrainLocked();
    // Syncs and closes a file no writer can reach any more.
    void Retire(int fd, const std::string& name);

    mutable std::mutex lock_;
    std::condition_variable wake_;
    WriteCombiner lines_;
    // Changed with the baton of lines_ and lock_ both held; read with either.
    int fd_ = -1;
    bool syncEachLine_ = false;
    std::string name_;
    bool dirty_ = false;
    bool stopping_ = false;
    int syncsInProgress_ = 0;         // syncs running outside the lock
    bool writeFailureReported_ = false;
    std::size_t syncCount_ = 0;
    std::condition_variable synced_;  // signalled after each flush to disk
    std::thread flusher_;
};

}  // namespace lv
