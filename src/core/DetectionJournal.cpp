#include "core/DetectionJournal.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <string_view>

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "base/WriteAll.h"
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

int OpenForAppending(const std::string& path) {
#ifdef _WIN32
    return _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
#endif
}

std::string WriteErrorText(const std::string& path, int error) {
    return fmt::sprintf(Tr("### Error writing detection file : %s (%s)",
                           "### Erreur d'écriture du fichier de détections : %s (%s)"),
                        path, std::strerror(error));
}

std::string NoFileText(const std::string& path) {
    return fmt::sprintf(Tr("### Detection not saved: no detection file open [%s]",
                           "### Détection non enregistrée : aucun fichier de détections ouvert [%s]"),
                        path);
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

std::string DetectionLineFields(const CQoxResult& record) {
    // Made for every detection: appended in place rather than through a format string.
    std::string line;
    line.reserve(10 + record.boxName.size() + record.label.size() + record.timeText.size());
    line += '\t';
    AppendDetectionFields(line, record);
    line += record.absoluteTime != 0 ? "\t2\r\n" : "\t1\r\n";
    return line;
}

std::string FormatDetectionLine(std::size_t number, const CQoxResult& record) {
    return std::to_string(number) + DetectionLineFields(record);
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
    int previous = -1;
    std::string previousName;
    int opened = -1;
    int drainError = 0;
    {
        std::lock_guard<std::mutex> baton(lines_.Baton());
        std::lock_guard<std::mutex> hold(lock_);
        if (fd_ >= 0 && name_ == path) return true;
        drainError = DrainLocked();
        previous = fd_;
        previousName = name_;
        if (previous >= 0) ++syncsInProgress_;
        dirty_ = false;
        opened = OpenForAppending(path);
        fd_ = opened;
        name_ = path;
        writeFailureReported_ = false;
        if (opened >= 0) StartFlusherLocked();
    }
    if (drainError != 0) Log(0, WriteErrorText(previousName, drainError));
    if (previous >= 0) Retire(previous, previousName);
    if (opened >= 0) SyncParentFolder(path);
    Log(0, OpeningDetectionFileText(path));
    if (opened < 0) Log(0, ErrorOpeningDetectionFileText(path));
    return opened >= 0;
}

void DetectionJournal::Close() {
    int closing = -1;
    std::string name;
    int drainError = 0;
    {
        std::lock_guard<std::mutex> baton(lines_.Baton());
        std::lock_guard<std::mutex> hold(lock_);
        drainError = DrainLocked();
        closing = fd_;
        name = name_;
        fd_ = -1;
        dirty_ = false;
        writeFailureReported_ = false;
        if (closing >= 0) ++syncsInProgress_;
    }
    if (drainError != 0) Log(0, WriteErrorText(name, drainError));
    if (closing >= 0) Retire(closing, name);
}

int DetectionJournal::DrainLocked() {
    int error = 0;
    lines_.DrainLocked([&](std::string_view batch) {
        if (fd_ >= 0) error = WriteAll(fd_, batch);
    });
    return error;
}

void DetectionJournal::Retire(int fd, const std::string& name) {
    // Writers no longer see the file: its last sync and close keep nobody waiting.
    const int error = SyncFd(fd);
    CloseFd(fd);
    if (error != 0) Log(0, SyncErrorText(name, error));
    {
        std::lock_guard<std::mutex> hold(lock_);
        --syncsInProgress_;
    }
    synced_.notify_all();
}

bool DetectionJournal::IsOpen() const {
    std::lock_guard<std::mutex> hold(lock_);
    return fd_ >= 0;
}

std::string DetectionJournal::Name() const {
    std::lock_guard<std::mutex> hold(lock_);
    return name_;
}

void DetectionJournal::SetSyncEachLine(bool syncEachLine) {
    std::lock_guard<std::mutex> baton(lines_.Baton());
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

WriteCombiner::Ticket DetectionJournal::QueueLine(std::size_t number, std::string_view fields) {
    char digits[24];
    const std::string_view numberText(digits, static_cast<std::size_t>(
                                                  std::to_chars(digits, digits + sizeof digits, number).ptr - digits));
    std::lock_guard<std::mutex> hold(lock_);
    if (fd_ < 0) {
        // Never silent, but said once until a file is open again, not at every
        // passing (logged under the lock: this happens once per closed period).
        if (!writeFailureReported_) Log(0, NoFileText(name_));
        writeFailureReported_ = true;
        return 0;
    }
    return lines_.Queue(numberText, fields);
}

void DetectionJournal::WaitWritten(WriteCombiner::Ticket ticket) {
    if (ticket == 0) return;
    lines_.WaitWritten(ticket, [this](std::string_view batch) { WriteBatch(batch); });
}

void DetectionJournal::WriteLine(std::size_t number, const CQoxResult& record) {
    WaitWritten(QueueLine(number, DetectionLineFields(record)));
}

void DetectionJournal::WriteBatch(std::string_view batch) {
    // The baton is held: fd_ and syncEachLine_ cannot change meanwhile.
    if (fd_ < 0) return;
    int error = WriteAll(fd_, batch);
    bool synced = false;
    if (error == 0 && syncEachLine_) {
        error = SyncFd(fd_);
        synced = error == 0;
    }
    std::string failure;
    bool wakeFlusher = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (synced) ++syncCount_;
        if (error != 0) {
            // Reported once until the file accepts lines again, not at every passing.
            if (!writeFailureReported_) failure = WriteErrorText(name_, error);
            writeFailureReported_ = true;
        } else {
            writeFailureReported_ = false;
        }
        if (error == 0 && !syncEachLine_) {
            // Only the first batch since the last sync wakes the flusher: waking it for
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
        if (fd_ < 0) continue;
        // The sync runs on a duplicate of the descriptor, outside the lock, so that
        // writers never wait for the disk.
        const int fd = DuplicateFd(fd_);
        if (fd < 0) {
            // Out of descriptors: sync under the lock rather than not at all.
            const int error = SyncFd(fd_);
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
