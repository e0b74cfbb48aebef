#include "core/DetectionJournal.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "core/DetectionTexts.h"

namespace lv {
namespace {

constexpr auto kSlowSyncWarningInterval = std::chrono::seconds(60);

int DuplicateFd(int fd) {
#ifdef _WIN32
    return _dup(fd);
#else
    return dup(fd);
#endif
}

void CloseFd(int fd) {
#ifdef _WIN32
    _close(fd);
#else
    close(fd);
#endif
}

// Brings the file's data to the disk; 0 or the errno value.
int SyncFd(int fd) {
#ifdef _WIN32
    return _commit(fd) == 0 ? 0 : errno;
#elif defined(__APPLE__)
    return fsync(fd) == 0 ? 0 : errno;
#else
    int rc;
    do {
        rc = fdatasync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
#endif
}

// A new file's name must reach the disk too, or the file may vanish with the power.
void SyncParentFolder(const std::string& path) {
#ifndef _WIN32
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
#else
    (void)path;
#endif
}

FILE* OpenForAppending(const std::string& path) {
#if defined(__linux__)
    return std::fopen(path.c_str(), "abe");  // not inherited by child processes
#else
    return std::fopen(path.c_str(), "ab");
#endif
}

std::string WriteErrorText(const std::string& path, int error) {
    return fmt::sprintf(Tr("### Error writing detection file : %s (%s)",
                           "### Erreur d'écriture du fichier de détections : %s (%s)"),
                        path, std::strerror(error));
}

std::string SyncErrorText(const std::string& path, int error) {
    return fmt::sprintf(Tr("### Error saving detection file to disk : %s (%s)",
                           "### Erreur d'enregistrement sur disque du fichier de détections : %s (%s)"),
                        path, std::strerror(error));
}

// Logs a failed sync once until syncs succeed again.
void ReportSyncOutcome(int error, const std::string& name, bool& failureReported) {
    if (error == 0) {
        failureReported = false;
        return;
    }
    if (!failureReported) Log(0, SyncErrorText(name, error));
    failureReported = true;
}

}  // namespace

std::string FormatDetectionLine(std::size_t number, const CQoxResult& record) {
    return fmt::sprintf("%d\t%s\t%s\t%d\t%s\t%d\r\n", number, SingleLineField(record.boxName),
                        SingleLineField(record.label), 1, SingleLineField(record.timeText),
                        record.absoluteTime != 0 ? 2 : 1);
}

DetectionJournal::DetectionJournal() = default;

DetectionJournal::~DetectionJournal() {
    Close();
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (flusher_.joinable()) flusher_.join();
}

bool DetectionJournal::Open(const std::string& path) {
    FILE* previous = nullptr;
    std::string previousName;
    FILE* opened = nullptr;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (file_ != nullptr && name_ == path) return true;
        previous = file_;
        previousName = name_;
        if (previous != nullptr) ++syncsInProgress_;
        file_ = nullptr;
        dirty_ = false;
        opened = OpenForAppending(path);
        file_ = opened;
        name_ = path;
        writeFailureReported_ = false;
        if (opened != nullptr) StartFlusherLocked();
    }
    if (previous != nullptr) Retire(previous, previousName);
    if (opened != nullptr) SyncParentFolder(path);
    Log(0, OpeningDetectionFileText(path));
    if (opened == nullptr) Log(0, ErrorOpeningDetectionFileText(path));
    return opened != nullptr;
}

void DetectionJournal::Close() {
    FILE* closing = nullptr;
    std::string name;
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing = file_;
        name = name_;
        file_ = nullptr;
        dirty_ = false;
        if (closing != nullptr) ++syncsInProgress_;
    }
    if (closing != nullptr) Retire(closing, name);
}

void DetectionJournal::Retire(FILE* file, const std::string& name) {
    // Writers no longer see the file: its last sync and close keep nobody waiting.
    std::fflush(file);
    const int error = SyncFd(fileno(file));
    std::fclose(file);
    if (error != 0) Log(0, SyncErrorText(name, error));
    {
        std::lock_guard<std::mutex> hold(lock_);
        --syncsInProgress_;
    }
    synced_.notify_all();
}

bool DetectionJournal::IsOpen() const {
    std::lock_guard<std::mutex> hold(lock_);
    return file_ != nullptr;
}

std::string DetectionJournal::Name() const {
    std::lock_guard<std::mutex> hold(lock_);
    return name_;
}

void DetectionJournal::SetSyncEachLine(bool syncEachLine) {
    std::lock_guard<std::mutex> hold(lock_);
    syncEachLine_ = syncEachLine;
}

std::size_t DetectionJournal::SyncCount() const {
    std::lock_guard<std::mutex> hold(lock_);
    return syncCount_;
}

bool DetectionJournal::WaitUntilSynced(int timeoutMs) {
    std::unique_lock<std::mutex> hold(lock_);
    return synced_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                            [this] { return !dirty_ && syncsInProgress_ == 0; });
}

void DetectionJournal::WriteLine(std::size_t number, const CQoxResult& record) {
    const std::string line = FormatDetectionLine(number, record);
    std::string failure;
    bool wakeFlusher = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (file_ == nullptr) return;
        int error = 0;
        if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
            std::fflush(file_) != 0) {
            error = errno != 0 ? errno : EIO;
            std::clearerr(file_);
        } else if (syncEachLine_) {
            error = SyncFd(fileno(file_));
            if (error == 0) ++syncCount_;
        }
        if (error != 0) {
            // Reported once until the file accepts lines again, not at every passing.
            if (!writeFailureReported_) failure = WriteErrorText(name_, error);
            writeFailureReported_ = true;
        } else {
            writeFailureReported_ = false;
        }
        if (error == 0 && !syncEachLine_) {
            // Only the first line since the last sync wakes the flusher: waking it for
            // each line would cost a thread switch per passing under a mass start.
            wakeFlusher = !dirty_;
            dirty_ = true;
        }
    }
    if (wakeFlusher) wake_.notify_one();
    if (!failure.empty()) Log(0, failure);
}

void DetectionJournal::StartFlusherLocked() {
    if (!flusher_.joinable()) flusher_ = std::thread([this] { FlusherLoop(); });
}

void DetectionJournal::FlusherLoop() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastSlowWarning{};
    bool slowWarned = false;
    bool syncFailureReported = false;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait(hold, [this] { return dirty_ || stopping_; });
        if (!dirty_) break;
        // The lines of the next few milliseconds share this sync: one sync per line
        // would keep the disk (a memory card on a small board) and a core busy.
        wake_.wait_for(hold, std::chrono::milliseconds(kSyncGatherMs), [this] { return stopping_; });
        dirty_ = false;
        if (file_ == nullptr) continue;
        // The sync runs on a duplicate of the descriptor, outside the lock, so that
        // writers (who hold the table lock) never wait for the disk.
        const int fd = DuplicateFd(fileno(file_));
        if (fd < 0) {
            // Out of descriptors: sync under the lock rather than not at all.
            const int error = SyncFd(fileno(file_));
            const std::string name = name_;
            ++syncCount_;
            synced_.notify_all();
            hold.unlock();
            ReportSyncOutcome(error, name, syncFailureReported);
            hold.lock();
            continue;
        }
        const std::string name = name_;
        ++syncsInProgress_;
        hold.unlock();
        const Clock::time_point start = Clock::now();
        const int error = SyncFd(fd);
        const auto elapsedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        CloseFd(fd);
        ReportSyncOutcome(error, name, syncFailureReported);
        // A line may wait for the sync in progress, the gathering and then its own
        // sync: beyond this, the medium is too slow for the promised delay, which the
        // timekeeper should know.
        const bool slow = error == 0 && elapsedMs > kSyncDelayMs - kSyncGatherMs;
        if (slow && (!slowWarned || Clock::now() - lastSlowWarning > kSlowSyncWarningInterval)) {
            slowWarned = true;
            lastSlowWarning = Clock::now();
            Log(20, fmt::sprintf(Tr("## Detection file slow to reach the disk (%d ms) : %s",
                                    "## Fichier de détections lent à atteindre le disque (%d ms) : %s"),
                                 static_cast<int>(elapsedMs), name));
        }
        hold.lock();
        --syncsInProgress_;
        ++syncCount_;
        synced_.notify_all();
    }
}

}  // namespace lv
