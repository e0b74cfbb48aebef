#include "core/DetectionJournal.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <string_view>

#include <fmt/printf.h>

#include "base/Environment.h"
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

// Never through a symbolic link planted under the journal's name: the detections would
// go wherever it points.
int OpenForAppending(const std::string& path) {
#ifdef _WIN32
    return _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
#endif
}

// False when the open file is no longer the one under its name: deleted, renamed, its
// folder removed or replaced, or a link put in its place.
bool StillUnderName(int fd, const std::string& path) {
#ifdef _WIN32
    (void)fd;
    (void)path;
    return true;
#else
    struct stat open{};
    struct stat named{};
    if (fstat(fd, &open) != 0) return false;
    if (open.st_nlink == 0) return false;
    if (lstat(path.c_str(), &named) != 0) return false;
    return !S_ISLNK(named.st_mode) && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
#endif
}

long FileSize(int fd) {
#ifdef _WIN32
    return _lseek(fd, 0, SEEK_END);
#else
    struct stat st{};
    return fstat(fd, &st) == 0 ? static_cast<long>(st.st_size) : -1;
#endif
}

bool TruncateFile(int fd, long size) {
#ifdef _WIN32
    return _chsize(fd, size) == 0;
#else
    return ftruncate(fd, size) == 0;
#endif
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::size_t CountLines(std::string_view bytes) {
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

std::string PendingText(const std::string& path, std::size_t pending) {
    return fmt::sprintf(Tr("### %d detection line(s) kept in memory until the detection file can be written : %s",
                           "### %d ligne(s) de détection gardée(s) en mémoire jusqu'à ce que le fichier de "
                           "détections puisse être écrit : %s"),
                        static_cast<int>(pending), path);
}

std::string CaughtUpText(const std::string& path, std::size_t late) {
    return fmt::sprintf(Tr("+++ Detection file up to date again: %d line(s) written late : %s",
                           "+++ Fichier de détections de nouveau à jour : %d ligne(s) écrite(s) en retard : %s"),
                        static_cast<int>(late), path);
}

std::string LostFileText(const std::string& path, std::size_t lines) {
    return fmt::sprintf(Tr("### Detection file removed or replaced: it is recreated with the %d line(s) of this "
                           "session : %s",
                           "### Fichier de détections supprimé ou remplacé : il est recréé avec les %d ligne(s) "
                           "de cette session : %s"),
                        static_cast<int>(lines), path);
}

std::string RecreatedText(const std::string& path) {
    return fmt::sprintf(Tr("+++ Detection file recreated : %s", "+++ Fichier de détections recréé : %s"), path);
}

std::string ClosedWithPendingText(const std::string& path, std::size_t pending) {
    return fmt::sprintf(Tr("######## Detection file closed with %d line(s) not written : %s",
                           "######## Fichier de détections fermé avec %d ligne(s) non écrite(s) : %s"),
                        static_cast<int>(pending), path);
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

void DetectionJournal::SetWriteFunction(WriteFunction write) {
    std::lock_guard<std::mutex> baton(lines_.Baton());
    write_ = std::move(write);
}

bool DetectionJournal::Open(const std::string& path) {
    int previous = -1;
    std::string previousName;
    std::size_t previousPending = 0;
    int opened = -1;
    bool logOpening = true;
    std::lock_guard<std::mutex> baton(lines_.Baton());
    {
        std::unique_lock<std::mutex> hold(lock_);
        if (active_ && fd_ >= 0 && name_ == path) return true;
        hold.unlock();
        DrainLocked();
        hold.lock();
        if (name_ != path || !session_) {
            // A new session; what the previous one could not write is said, not hidden.
            previousPending = sessionLines_ - linesOnFile_;
            hold.unlock();
            StartSessionLocked(path);
            hold.lock();
        }
        previous = fd_;
        previousName = name_;
        if (previous >= 0) ++syncsInProgress_;
        dirty_ = false;
        opened = OpenForAppending(path);
        fd_ = opened;
        name_ = path;
        active_ = true;
        writeFailureReported_ = false;
        // The same file failing again (connecting the boxes after the start) is no news.
        logOpening = !(opened < 0 && failedOpenName_ == path);
        failedOpenName_ = opened < 0 ? path : std::string();
        StartFlusherLocked();
    }
    if (previousPending > 0) Log(0, ClosedWithPendingText(previousName, previousPending));
    if (previous >= 0) Retire(previous, previousName);
    if (opened >= 0) {
        SyncParentFolder(path);
        // A continued file shorter than what it held (replaced while closed) is rewritten.
        if (FileSize(opened) < static_cast<long>(onFile_)) {
            onFile_ = 0;
            linesOnFile_ = 0;
        }
    }
    if (logOpening) {
        Log(0, OpeningDetectionFileText(path));
        if (opened < 0) Log(0, ErrorOpeningDetectionFileText(path));
    }
    if (opened >= 0 && onFile_ < session_->Bytes()) ReportWrite(WritePendingLocked());
    PublishPending(sessionLines_ - linesOnFile_);
    TellListeners();
    return opened >= 0;
}

void DetectionJournal::StartSessionLocked(const std::string& path) {
    auto session = std::make_shared<JournalSession>(path);
    std::shared_ptr<JournalSession> previous;
    {
        std::lock_guard<std::mutex> hold(lock_);
        previous = std::move(session_);
        session_ = session;
        onFile_ = 0;
        sessionLines_ = 0;
        linesOnFile_ = 0;
        fileLost_ = false;
    }
    if (previous) previous->SetNext(session);
}

bool DetectionJournal::Continue(const std::string& path, std::string_view content, const SessionState& state) {
    Close();
    {
        std::lock_guard<std::mutex> baton(lines_.Baton());
        StartSessionLocked(path);
        session_->Append(content);
        session_->SetState(state);
        std::lock_guard<std::mutex> hold(lock_);
        name_ = path;
        onFile_ = session_->Bytes();
        sessionLines_ = session_->Lines();
        linesOnFile_ = sessionLines_;
    }
    // A run in progress again: a crash from now on must not look like a clean end.
    CurrentSession()->SaveState(false);
    return Open(path);
}

void DetectionJournal::EndOfRun() {
    std::shared_ptr<JournalSession> session = CurrentSession();
    if (session) session->SaveState(true);
}

void DetectionJournal::ForgetSessionsForTests() {
    std::lock_guard<std::mutex> baton(lines_.Baton());
    std::lock_guard<std::mutex> hold(lock_);
    if (active_) return;
    session_.reset();
    name_.clear();
    onFile_ = 0;
    sessionLines_ = 0;
    linesOnFile_ = 0;
    pendingLines_.store(0);
}

std::shared_ptr<JournalSession> DetectionJournal::CurrentSession() const {
    std::lock_guard<std::mutex> hold(lock_);
    return session_;
}

int DetectionJournal::AddLinesListener(LinesListener listener) {
    std::lock_guard<std::mutex> hold(listenersLock_);
    listeners_.emplace_back(++nextListenerId_, std::move(listener));
    return nextListenerId_;
}

void DetectionJournal::RemoveLinesListener(int id) {
    std::lock_guard<std::mutex> hold(listenersLock_);
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                    [id](const auto& entry) { return entry.first == id; }),
                     listeners_.end());
}

void DetectionJournal::TellListeners() {
    std::lock_guard<std::mutex> hold(listenersLock_);
    for (const auto& entry : listeners_) entry.second();
}

void DetectionJournal::Close() {
    int closing = -1;
    std::string name;
    std::size_t pending = 0;
    {
        std::lock_guard<std::mutex> baton(lines_.Baton());
        DrainLocked();
        std::lock_guard<std::mutex> hold(lock_);
        closing = fd_;
        name = name_;
        pending = active_ ? sessionLines_ - linesOnFile_ : 0;
        fd_ = -1;
        active_ = false;
        dirty_ = false;
        writeFailureReported_ = false;
        if (closing >= 0) ++syncsInProgress_;
    }
    // Kept for a later Open of the same name, which writes them first.
    if (pending > 0) Log(0, ClosedWithPendingText(name, pending));
    if (closing >= 0) Retire(closing, name);
}

void DetectionJournal::DrainLocked() {
    lines_.DrainLocked([&](std::string_view batch) { WriteBatch(batch); });
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

WriteCombiner::Ticket DetectionJournal::QueueLine(std::size_t number, std::string_view fields, bool forward) {
    char digits[24];
    const std::string_view numberText(digits, static_cast<std::size_t>(
                                                  std::to_chars(digits, digits + sizeof digits, number).ptr - digits));
    std::lock_guard<std::mutex> hold(lock_);
    if (!active_) {
        // Never silent, but said once until a file is open again, not at every
        // passing (logged under the lock: this happens once per closed period).
        if (!writeFailureReported_) Log(0, NoFileText(name_));
        writeFailureReported_ = true;
        return 0;
    }
    // Marked before the line can reach the session, where the forwarder reads it.
    if (!forward) session_->HoldBack(number);
    return lines_.Queue(numberText, fields);
}

void DetectionJournal::WaitWritten(WriteCombiner::Ticket ticket) {
    if (ticket == 0) return;
    lines_.WaitWritten(ticket, [this](std::string_view batch) { WriteBatch(batch); });
}

void DetectionJournal::WriteLine(std::size_t number, const CQoxResult& record) {
    WaitWritten(QueueLine(number, DetectionLineFields(record)));
}

void DetectionJournal::PublishPending(std::size_t pending) {
    pendingLines_.store(pending, std::memory_order_relaxed);
}

int DetectionJournal::WritePendingLocked() {
    const std::size_t total = session_ ? session_->Bytes() : 0;
    if (onFile_ >= total) return 0;
    if (fd_ < 0) {
        PublishPending(sessionLines_ - linesOnFile_);
        return ENOENT;
    }
    int error = 0;
    const std::size_t before = onFile_;
    // The session's bytes never move: they are written from where they lie.
    for (std::string_view piece : session_->BytesFrom(onFile_)) {
        while (!piece.empty()) {
            long written;
            if (write_) {
                written = write_(fd_, piece.data(), piece.size());
            } else {
#ifdef _WIN32
                written = _write(fd_, piece.data(), static_cast<unsigned>(piece.size()));
#else
                written = static_cast<long>(::write(fd_, piece.data(), piece.size()));
#endif
            }
            if (written < 0) {
                if (errno == EINTR) continue;
                error = errno != 0 ? errno : EIO;
                break;
            }
            if (written == 0) {
                error = EIO;
                break;
            }
            onFile_ += static_cast<std::size_t>(written);
            piece.remove_prefix(static_cast<std::size_t>(written));
        }
        if (error != 0) break;
    }
    const std::size_t wholeLines = session_->LinesWithin(onFile_);
    const std::size_t lineStart = session_->LineStart(wholeLines + 1);
    if (error != 0 && onFile_ > lineStart) {
        // A write cut short inside a line: take the piece back so that the file ends
        // with a whole line; when that fails, the next write completes the line.
        const std::size_t piece = onFile_ - lineStart;
        const long size = FileSize(fd_);
        if (piece <= onFile_ - before && size >= static_cast<long>(piece) &&
            TruncateFile(fd_, size - static_cast<long>(piece))) {
            onFile_ -= piece;
        }
    }
    linesOnFile_ = wholeLines;
    PublishPending(sessionLines_ - linesOnFile_);
    return error;
}

void DetectionJournal::ReportWrite(int error) {
    const std::size_t pending = sessionLines_ - linesOnFile_;
    std::string failure;
    std::string caughtUp;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (error != 0) {
            // Reported once until the file accepts lines again, not at every passing.
            if (!writeFailureReported_) {
                failure = error == ENOENT && fd_ < 0 ? std::string() : WriteErrorText(name_, error);
                writeFailureReported_ = true;
            }
        } else {
            writeFailureReported_ = false;
        }
        if (pending > pendingPeak_) pendingPeak_ = pending;
        if (pending == 0 && pendingPeak_ > 0) {
            caughtUp = CaughtUpText(name_, pendingPeak_);
            pendingPeak_ = 0;
        }
    }
    if (!failure.empty()) {
        Log(0, failure);
        Log(0, PendingText(name_, pending));
    }
    if (!caughtUp.empty()) Log(0, caughtUp);
}

void DetectionJournal::WriteBatch(std::string_view batch) {
    // The baton is held: fd_ and syncEachLine_ cannot change meanwhile.
    if (!active_) return;
    session_->Append(batch);
    sessionLines_ += CountLines(batch);
    TellListeners();
    int error = WritePendingLocked();
    bool synced = false;
    if (error == 0 && fd_ >= 0 && syncEachLine_) {
        error = SyncFd(fd_);
        synced = error == 0;
    }
    ReportWrite(error);
    bool wakeFlusher = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (synced) ++syncCount_;
        if (error == 0 && !syncEachLine_) {
            // Only the first batch since the last sync wakes the flusher: waking it for
            // each line would cost a thread switch per passing under a mass start.
            wakeFlusher = !dirty_;
            dirty_ = true;
        }
    }
    if (wakeFlusher) wake_.notify_one();
}

bool DetectionJournal::ReopenLocked() {
    // The folder may have gone with the file.
    const std::string folder = FolderOf(name_);
    if (!folder.empty()) CreateFolderPath(folder);
    const int fd = OpenForAppending(name_);
    if (fd < 0) return false;
    if (FileSize(fd) < static_cast<long>(onFile_)) {
        onFile_ = 0;
        linesOnFile_ = 0;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        fd_ = fd;
        writeFailureReported_ = false;
    }
    SyncParentFolder(name_);
    return true;
}

void DetectionJournal::MaintainNow() { Maintain(); }

void DetectionJournal::Maintain() {
    std::lock_guard<std::mutex> baton(lines_.Baton());
    if (!active_) return;
    if (fd_ >= 0 && !StillUnderName(fd_, name_)) {
        int lost = -1;
        {
            std::lock_guard<std::mutex> hold(lock_);
            lost = fd_;
            fd_ = -1;
            ++syncsInProgress_;
        }
        Retire(lost, name_);
        // Everything goes again into the file made under the name.
        onFile_ = 0;
        linesOnFile_ = 0;
        PublishPending(sessionLines_);
        fileLost_ = true;
        Log(0, LostFileText(name_, sessionLines_));
    }
    if (fd_ < 0) {
        if (!ReopenLocked()) {
            if (!fileLost_ && failedOpenName_ != name_) {
                failedOpenName_ = name_;
                Log(0, ErrorOpeningDetectionFileText(name_));
            }
            ReportWrite(ENOENT);
            return;
        }
        failedOpenName_.clear();
        Log(0, RecreatedText(name_));
        fileLost_ = false;
    }
    if (onFile_ < session_->Bytes() || pendingPeak_ > 0) {
        const int error = WritePendingLocked();
        ReportWrite(error);
        if (error == 0) {
            std::lock_guard<std::mutex> hold(lock_);
            if (!dirty_) wake_.notify_one();
            dirty_ = true;
        }
    }
}

void DetectionJournal::StartFlusherLocked() {
    if (!flusher_.joinable()) flusher_ = std::thread([this] { FlusherLoop(); });
}

void DetectionJournal::FlusherLoop() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastSlowWarning{};
    Clock::time_point lastMaintain = Clock::now();
    bool slowWarned = false;
    bool syncFailureReported = false;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait_for(hold, std::chrono::milliseconds(kMaintainMs), [this] { return dirty_ || stopping_; });
        if (stopping_ && !dirty_) break;
        if (Clock::now() - lastMaintain >= std::chrono::milliseconds(kMaintainMs)) {
            // Pending lines retried, the file's presence checked: the baton comes first.
            lastMaintain = Clock::now();
            hold.unlock();
            Maintain();
            hold.lock();
        }
        if (!dirty_) continue;
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
