#pragma once
// The current detection file: one line per recorded detection, in the file (written,
// not buffered) before the recording returns, and made durable on disk within a short
// delay by a background flusher.
// Also writes the ".qox" export of the active detections in the same line format.
//
// No line is ever dropped: a line that cannot be written (disk full, I/O error, file
// or folder gone) stays pending, in order, and is written as soon as writing works
// again, before newer lines. Every line of the session (what was written under this
// name since it was first opened) is kept in memory, so that a file deleted or a
// folder replaced under the program is noticed within a second and recreated under
// its name with all of them. A line is never left torn in the file: a write cut short
// is taken back to the last whole line, or completed by the next write.
#include <atomic>
#include <cstddef>
#include <functional>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/WriteCombiner.h"
#include "core/DetectionRecords.h"
#include "core/JournalSession.h"

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
    static constexpr int kSyncGatherMs = 50;

    DetectionJournal();
    ~DetectionJournal();
    DetectionJournal(const DetectionJournal&) = delete;
    DetectionJournal& operator=(const DetectionJournal&) = delete;

    // How often pending lines are retried and the file's presence checked.
    static constexpr int kMaintainMs = 250;

    // The write system call, replaceable by tests and benchmarks (a disk that fills up):
    // returns the bytes written or -1 with errno set.
    using WriteFunction = std::function<long(int fd, const char* data, std::size_t size)>;
    void SetWriteFunction(WriteFunction write);

    // Nothing when a file of that name is open; logs the opening and any failure. A
    // file that cannot be opened is retried in the background; its lines wait in
    // memory meanwhile (a second failed Open of the same name logs nothing new). The
    // file is never opened through a symbolic link planted under its name.
    bool Open(const std::string& path);
    // Continues a detection file of an earlier run (a resumed session): `content`, its
    // whole lines as read back, is this session's beginning and is already in the file;
    // what is recorded from now on is appended after it. The state kept beside the file
    // is taken over and marked as a run in progress.
    bool Continue(const std::string& path, std::string_view content, const SessionState& state);
    void Close();
    // The program ends normally: the state beside the detection file says so.
    void EndOfRun();
    bool IsOpen() const;
    std::string Name() const;

    // Recording a detection: QueueLine under the table lock (the order of the lines is
    // the table's), then WaitWritten outside it; the line is in the file when
    // WaitWritten returns (inside a WriteCombiner::DeferredWaits scope of the calling
    // thread: when the scope closes). Threads recording together share one write. QueueLine gives
    // 0 (nothing to wait for) when no file is open.
    // `fields` come from DetectionLineFields.
    // `forward` false: the timing application is not to get this detection.
    WriteCombiner::Ticket QueueLine(std::size_t number, std::string_view fields, bool forward = true);
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

    // Lines of the session not yet in the file (0: the journal is up to date). Any thread.
    std::size_t PendingLines() const { return pendingLines_.load(std::memory_order_relaxed); }
    // Runs one maintenance round now (retry, presence check) instead of waiting for the
    // background one; for tests.
    void MaintainNow();

    // The lines of the present detection file (also while it is closed): whoever follows
    // the detections reads them from there by number. A reset of the detection list
    // starts a new session, which the previous one names as its Next().
    std::shared_ptr<JournalSession> CurrentSession() const;
    // Called (with the journal's writing baton held: it must only wake its owner) after
    // lines joined the session, and when a new session starts.
    using LinesListener = std::function<void()>;
    int AddLinesListener(LinesListener listener);
    void RemoveLinesListener(int id);
    // For tests that share one process: the journal, closed, forgets its sessions as a
    // new process would.
    void ForgetSessionsForTests();

private:
    // Pending bytes written from onFile_ on; 0 or the errno value of the failure. The
    // baton is held.
    int WritePendingLocked();
    // The baton is held: checks that the open file is still the one under the name,
    // (re)creates it when needed and retries pending lines.
    void Maintain();
    // The baton is held: opens the session's file for a retry; false when it still fails.
    bool ReopenLocked();
    // The baton is held: logs a failure once and the catching up.
    void ReportWrite(int error);
    void PublishPending(std::size_t pending);
    void FlusherLoop();
    void StartFlusherLocked();
    // Writes a batch of lines to the open file; called with the baton of lines_ held.
    void WriteBatch(std::string_view batch);
    // Hands what is queued to the session before the file is switched (baton held).
    void DrainLocked();
    // Syncs and closes a file no writer can reach any more.
    void Retire(int fd, const std::string& name);
    // The baton is held: a session of its own for `path` (the previous one points to it).
    void StartSessionLocked(const std::string& path);
    void TellListeners();

    mutable std::mutex lock_;
    std::condition_variable wake_;
    WriteCombiner lines_;
    // Changed with the baton of lines_ and lock_ both held; read with either.
    int fd_ = -1;
    bool syncEachLine_ = false;
    std::string name_;
    bool dirty_ = false;
    bool stopping_ = false;
    // A session accepts lines from Open to Close, whether or not its file is open now.
    // These are changed with the baton held (and lock_ for active_).
    bool active_ = false;
    std::shared_ptr<JournalSession> session_;  // every line of the session, in order
    std::size_t onFile_ = 0;          // bytes of session_ in the file
    std::size_t sessionLines_ = 0;    // lines in session_
    std::size_t linesOnFile_ = 0;     // of which in the file
    std::size_t pendingPeak_ = 0;     // most lines pending since the journal was last up to date
    bool fileLost_ = false;           // the file vanished; said once until recreated
    std::string failedOpenName_;      // name whose opening failure was reported
    WriteFunction write_;
    std::atomic<std::size_t> pendingLines_{0};
    int syncsInProgress_ = 0;         // syncs running outside the lock
    bool writeFailureReported_ = false;
    std::size_t syncCount_ = 0;
    std::condition_variable synced_;  // signalled after each flush to disk
    std::thread flusher_;
    mutable std::mutex listenersLock_;
    std::vector<std::pair<int, LinesListener>> listeners_;
    int nextListenerId_ = 0;
};

}  // namespace lv
