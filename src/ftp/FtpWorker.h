#pragma once
// The queue of FTP jobs and the one thread that runs them, in queue order, one at a
// time. CFtpWorker is a self-contained worker (tests make their own); the functions
// below drive the program's one worker, started at start-up and ended at exit.
//
// Notifications: at each state change of a running job the observer is called on the
// worker thread with a copy of what it needs; it must not wait on the UI thread (log,
// or post). Once StopTransfers(quiet = true) has returned, no notification of any job
// is delivered any more.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ftp/FtpJob.h"
#include "ftp/FtpTransfer.h"

namespace lv {

// A job's state change as the observer receives it (the job itself may be gone by the
// time a posted closure runs).
struct FtpJobEvent {
    int state = kFtpJobCreated;
    bool upload = true;
    std::string remoteName;
    std::string siteLabel;
    std::string errorText;
    std::int64_t transferred = 0;
    std::int64_t fileSize = 0;
};

class FtpJobObserver {
public:
    virtual ~FtpJobObserver() = default;
    // Worker thread.
    virtual void OnFtpJobState(const FtpJobEvent& event) = 0;
};

struct FtpWorkerOptions {
    // An empty queue is looked at this often (a queued job wakes the worker at once).
    std::chrono::milliseconds idleCheck{1000};
    // A quiet stop (exit) lets a running transfer finish for at most this long, then
    // aborts it; the abort itself takes at most about a second.
    std::chrono::milliseconds exitWait{15000};
    FtpConnectOptions connect{};
};

class CFtpWorker {
public:
    explicit CFtpWorker(FtpWorkerOptions options = {});
    // Ends the thread: queued jobs discarded, the running one stopped quietly.
    ~CFtpWorker();
    CFtpWorker(const CFtpWorker&) = delete;
    CFtpWorker& operator=(const CFtpWorker&) = delete;

    // Starts the thread (once; later calls do nothing).
    void Start();
    // The queue owns the job from now on. A null job is ignored. An upload of the same
    // local file to the same place as one still waiting takes that one's turn: the file
    // was written again, one transfer sends it (a slow link would otherwise pile up one
    // job per background export, without end).
    void Queue(std::unique_ptr<CFtpJob> job);
    // Removes every queued job (discarded without running), then waits for the running
    // one: quiet lets it finish without notifications (at most exitWait, then it is
    // aborted); not quiet aborts it (state 4 "Aborted", notified). True when no job
    // runs any more on return.
    bool StopTransfers(bool quiet);
    // StopTransfers(true), then the thread ends. The worker cannot be restarted.
    void End();

    // Null: no notifications. Once this returns, the previous observer is not called.
    void SetObserver(FtpJobObserver* observer);

    bool Busy() const { return busy_.load(); }
    std::size_t QueuedJobs() const;
    bool Running() const { return thread_.joinable(); }

private:
    void Run();
    void RunJob(CFtpJob& job);
    void Notify(const CFtpJob& job);

    const FtpWorkerOptions options_;

    mutable std::mutex queueLock_;
    std::condition_variable wake_;
    std::deque<std::unique_ptr<CFtpJob>> queue_;
    bool ending_ = false;

    std::mutex observerLock_;
    FtpJobObserver* observer_ = nullptr;
    bool notificationsOff_ = false;  // under observerLock_

    std::atomic<bool> busy_{false};
    std::atomic<bool> abortRequested_{false};
    std::thread thread_;
};

// --- The program's worker --------------------------------------------------------------
// Starts it (start-up, both front ends). Later calls do nothing.
void StartFtpWorker(FtpWorkerOptions options = {});
// Under the queue lock, appends the job; the worker owns it from then on. Without a
// started worker the job is refused with a log line (nothing would ever run it).
void QueueFtpJob(std::unique_ptr<CFtpJob> job);
// See CFtpWorker::StopTransfers. Exit calls it with quiet = true.
void StopFtpTransfers(bool quiet);
// Who logs the job states (the main window's controller); null for none.
void SetFtpJobObserver(FtpJobObserver* observer);
// At the very end of the program: stops quietly and ends the thread.
void EndFtpWorker();
// The program's worker, or null before StartFtpWorker.
CFtpWorker* ProgramFtpWorker();

}  // namespace lv
