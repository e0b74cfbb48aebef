#include "ftp/FtpWorker.h"

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"

namespace lv {

namespace {

// How often a stop looks whether the running job has ended.
constexpr std::chrono::milliseconds kStopPoll{200};
// After an abort, how long a stop still waits for the transfer to give up.
constexpr std::chrono::milliseconds kAbortGrace{5000};

}  // namespace

CFtpWorker::CFtpWorker(FtpWorkerOptions options) : options_(options) {}

CFtpWorker::~CFtpWorker() { End(); }

void CFtpWorker::Start() {
    std::lock_guard<std::mutex> guard(queueLock_);
    if (thread_.joinable() || ending_) return;
    thread_ = std::thread([this] { Run(); });
}

namespace {

bool SameUpload(const CFtpJob& a, const CFtpJob& b) {
    return a.upload && b.upload && a.localPath == b.localPath && a.site == b.site && a.user == b.user &&
           a.directory == b.directory && a.remoteName == b.remoteName;
}

}  // namespace

void CFtpWorker::Queue(std::unique_ptr<CFtpJob> job) {
    if (!job) return;
    {
        std::lock_guard<std::mutex> guard(queueLock_);
        for (auto& waiting : queue_) {
            if (SameUpload(*waiting, *job)) {
                waiting = std::move(job);
                return;
            }
        }
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

std::size_t CFtpWorker::QueuedJobs() const {
    std::lock_guard<std::mutex> guard(queueLock_);
    return queue_.size();
}

void CFtpWorker::SetObserver(FtpJobObserver* observer) {
    std::lock_guard<std::mutex> guard(observerLock_);
    observer_ = observer;
}

bool CFtpWorker::StopTransfers(bool quiet) {
    std::deque<std::unique_ptr<CFtpJob>> discarded;
    {
        std::lock_guard<std::mutex> guard(queueLock_);
        discarded.swap(queue_);
    }
    if (!discarded.empty()) {
        // Files that never reached their server: the operator must know which to send by hand.
        std::string names;
        for (const auto& job : discarded) {
            if (!names.empty()) names += ", ";
            names += job->remoteName;
            if (!job->siteLabel.empty()) names += " [" + job->siteLabel + "]";
        }
        Log(0, fmt::sprintf(Tr("## FTP: %u queued transfer(s) dropped: %s",
                               "## FTP : %u transfert(s) en attente abandonné(s) : %s"),
                            static_cast<unsigned>(discarded.size()), names));
    }
    if (quiet) {
        // Taken under the observer's lock: a notification under way ends before this
        // returns, and none starts afterwards.
        std::lock_guard<std::mutex> guard(observerLock_);
        notificationsOff_ = true;
    } else {
        abortRequested_ = true;
    }
    const auto start = std::chrono::steady_clock::now();
    bool aborted = !quiet;
    std::chrono::steady_clock::time_point abortTime = start;
    while (busy_.load()) {
        const auto now = std::chrono::steady_clock::now();
        if (!aborted && now - start >= options_.exitWait) {
            // A server that stops answering must not hold the exit: give up the transfer.
            WriteLogFile("## FTP: running transfer aborted at exit (took too long)");
            abortRequested_ = true;
            aborted = true;
            abortTime = now;
        }
        if (aborted && now - abortTime >= kAbortGrace) return false;
        std::this_thread::sleep_for(kStopPoll);
    }
    return true;
}

void CFtpWorker::End() {
    StopTransfers(true);
    {
        std::lock_guard<std::mutex> guard(queueLock_);
        ending_ = true;
        abortRequested_ = true;
    }
    wake_.notify_all();
    if (!thread_.joinable()) return;
    if (busy_.load()) {
        // Still in a transfer after its abort: the program ends without it.
        WriteLogFile("## FTP: worker still busy at the end, left behind");
        thread_.detach();
        return;
    }
    thread_.join();
}

void CFtpWorker::Run() {
    for (;;) {
        std::unique_ptr<CFtpJob> job;
        {
            std::unique_lock<std::mutex> guard(queueLock_);
            if (queue_.empty() && !ending_) wake_.wait_for(guard, options_.idleCheck);
            if (ending_) return;
            if (queue_.empty()) continue;
            job = std::move(queue_.front());
            queue_.pop_front();
            // Set under the lock: a stop that empties the queue then sees the job running.
            busy_ = true;
            abortRequested_ = false;
        }
        RunJob(*job);
        job.reset();
        abortRequested_ = false;
        busy_ = false;
    }
}

void CFtpWorker::RunJob(CFtpJob& job) {
    FtpJobControl control;
    control.abortRequested = [this] { return abortRequested_.load(); };
    control.notify = [this](const CFtpJob& changed) { Notify(changed); };
    if (job.upload) {
        RunFtpUpload(job, options_.connect, control);
    } else {
        RunFtpDownload(job, options_.connect, control);
    }
}

void CFtpWorker::Notify(const CFtpJob& job) {
    std::lock_guard<std::mutex> guard(observerLock_);
    if (notificationsOff_ || observer_ == nullptr) return;
    FtpJobEvent event;
    event.state = job.state;
    event.upload = job.upload;
    event.remoteName = job.remoteName;
    event.siteLabel = job.siteLabel;
    event.errorText = job.errorText;
    event.transferred = job.transferred;
    event.fileSize = job.fileSize;
    observer_->OnFtpJobState(event);
}

// ---------------------------------------------------------------------------
// The program's worker

namespace {

std::mutex g_programLock;
// Created by StartFtpWorker and never deleted: a transfer left behind at the very end
// may still use it while the program's statics go.
CFtpWorker* g_program = nullptr;

}  // namespace

void StartFtpWorker(FtpWorkerOptions options) {
    std::lock_guard<std::mutex> guard(g_programLock);
    if (g_program) return;
    g_program = new CFtpWorker(options);
    g_program->Start();
}

CFtpWorker* ProgramFtpWorker() {
    std::lock_guard<std::mutex> guard(g_programLock);
    return g_program;
}

void QueueFtpJob(std::unique_ptr<CFtpJob> job) {
    if (!job) return;
    CFtpWorker* worker = ProgramFtpWorker();
    if (!worker) {
        Log(20, fmt::sprintf(Tr("## FTP transfer [%s] not started: no FTP worker",
                                "## Transfert FTP [%s] non lancé : pas de tâche FTP"),
                             job->remoteName));
        return;
    }
    worker->Queue(std::move(job));
}

void StopFtpTransfers(bool quiet) {
    if (CFtpWorker* worker = ProgramFtpWorker()) worker->StopTransfers(quiet);
}

void SetFtpJobObserver(FtpJobObserver* observer) {
    if (CFtpWorker* worker = ProgramFtpWorker()) worker->SetObserver(observer);
}

void EndFtpWorker() {
    if (CFtpWorker* worker = ProgramFtpWorker()) worker->End();
}

}  // namespace lv
