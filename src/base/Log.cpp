#include "base/Log.h"

#include "base/DateTexts.h"
#include "base/Texts.h"

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <clocale>
#include <ctime>
#include <string_view>

#include <fmt/printf.h>

#include "base/NamedMutex.h"
#include "base/Clock.h"
#include "base/LogRotation.h"
#include "base/WriteAll.h"

namespace lv {

namespace {

// Set while this thread is inside Log or WriteLogFile with the logger's lock held: a
// message logged from there (by a sink) goes to the file alone.
thread_local bool t_insideLogger = false;

class InsideLogger {
public:
    InsideLogger() { t_insideLogger = true; }
    ~InsideLogger() { t_insideLogger = false; }
    InsideLogger(const InsideLogger&) = delete;
    InsideLogger& operator=(const InsideLogger&) = delete;
};

}  // namespace

Logger& Logger::Instance() {
    // Never destroyed: threads may still log while the process ends.
    static Logger* const instance = new Logger();
    return *instance;
}

void Logger::SetFilePath(const std::string& path) {
    std::lock_guard<std::mutex> baton(fileLines_.Baton());
    std::lock_guard<std::mutex> guard(lock_);
    // Lines already logged go to the file they were logged for.
    fileLines_.DrainLocked([this](std::string_view batch) { WriteBatch(batch); });
    filePath_ = path;
    // Even for the same path: the file there may be another one by now.
    CloseFile();
}

void Logger::SetFileCheckInterval(std::chrono::milliseconds interval) {
    std::lock_guard<std::mutex> baton(fileLines_.Baton());
    fileCheckInterval_ = interval;
}

void Logger::SetRotation(std::uint64_t maxBytes, int keepFiles) {
    std::lock_guard<std::mutex> baton(fileLines_.Baton());
    maxBytes_ = maxBytes;
    keepFiles_ = keepFiles < 1 ? 1 : (keepFiles > kMaxKeptLogFiles ? kMaxKeptLogFiles : keepFiles);
    retryRotationAt_ = 0;
}

std::string Logger::FilePath() const {
    std::lock_guard<std::mutex> guard(lock_);
    return filePath_;
}

void Logger::SetWindowLevel(int level) {
    std::lock_guard<std::mutex> guard(lock_);
    windowLevel_ = level;
}

int Logger::WindowLevel() const {
    std::lock_guard<std::mutex> guard(lock_);
    return windowLevel_;
}

void Logger::SetWindowOpen(bool open) {
    std::lock_guard<std::mutex> guard(lock_);
    windowOpen_ = open;
}

void Logger::SetSink(LogWindowSink* sink) {
    std::lock_guard<std::mutex> guard(lock_);
    sink_ = sink;
}

void Logger::Log(int level, const std::string& message) { Write(level, message); }

void Logger::WriteLogFile(const std::string& message) { Write(std::nullopt, message); }

void Logger::Write(std::optional<int> level, const std::string& message) {
    if (t_insideLogger) {
        // Queued behind the line being logged, whose writer writes it too.
        AppendFileLine(TimeStamp(), message);
        return;
    }
    // The logger's own lock orders the whole message (window and file). The "LogWin"
    // resource mutex is not taken here: its pause after a contended wait (20 ms) would
    // stall every box thread that logs during a mass start.
    {
        // A message with neither a file nor a window to go to costs no time stamp (tools,
        // tests and fuzzers that log without a log file).
        std::lock_guard<std::mutex> guard(lock_);
        if (filePath_.empty() && !(level && windowOpen_ && *level <= windowLevel_)) return;
    }
    const std::string stamp = TimeStamp();
    WriteCombiner::Ticket ticket = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        InsideLogger inside;
        if (level && windowOpen_ && *level <= windowLevel_) AppendWindowLine(stamp, message);
        ticket = AppendFileLine(stamp, message);
    }
    // The line is in the file when Log returns, so the file can be read at any time.
    if (ticket != 0) fileLines_.WaitWritten(ticket, [this](std::string_view batch) { WriteBatch(batch); });
    if (noticePending_.load(std::memory_order_acquire)) LogPendingNotice();
}

void Logger::LogPendingNotice() {
    std::string notice;
    {
        std::lock_guard<std::mutex> guard(noticeLock_);
        notice.swap(pendingNotice_);
        noticePending_.store(false, std::memory_order_release);
    }
    if (!notice.empty()) Write(0, notice);
}

void Logger::AppendWindowLine(const std::string& stamp, const std::string& message) {
    std::string line = stamp + " " + WindowText(message);
    windowLines_.push_back(line);
    if (sink_) sink_->OnLogWindowLine(line);
    if (windowLines_.size() > kWindowPurgeThreshold) {
        AppendFileLine(stamp, "Purge Log Window content...");
        windowLines_.erase(windowLines_.begin(),
                           windowLines_.begin() + static_cast<std::ptrdiff_t>(kWindowPurgeCount));
        if (sink_) sink_->OnLogWindowPurged(kWindowPurgeCount);
        AppendFileLine(stamp, "Purge Log Window done");
    }
}

WriteCombiner::Ticket Logger::AppendFileLine(const std::string& stamp, const std::string& message) {
    if (filePath_.empty()) return 0;
    // FileLine's bytes, queued in their parts rather than joined first.
    if (message == "\n") return fileLines_.Queue(std::string_view("\r\n"));
    return fileLines_.Queue(stamp, std::string_view(" : "), message, std::string_view("\r\n"));
}

void Logger::WriteBatch(std::string_view batch) {
    if (!HoldCurrentFile()) return;  // the lines are lost; the window still shows them
    RotateIfDue(batch.size());
    if (WriteAll(fd_, batch) != 0) {
        // A full or failing disk: the next message opens the file again.
        CloseFile();
        return;
    }
    heldSize_ += batch.size();
}

void Logger::RotateIfDue(std::size_t incoming) {
    if (maxBytes_ == 0 || heldSize_ == 0 || heldSize_ + incoming <= maxBytes_) return;
    if (heldSize_ < retryRotationAt_) return;
    std::string error = RotateLogFiles(filePath_, keepFiles_);
    if (error.empty()) {
        // The held file is now "<path>.1": the lines go on at the path.
        const int previous = fd_;
        fd_ = -1;
        if (HoldCurrentFile()) {
            ::close(previous);
            retryRotationAt_ = 0;
            rotationFailureSaid_ = false;
            return;
        }
        // No new file can be made: the old one, under its new name, takes the lines.
        fd_ = previous;
        error = "open " + filePath_ + ": " + std::strerror(errno);
    }
    // A bounded retry: a folder that refuses renames would otherwise cost renames at
    // every batch.
    retryRotationAt_ = heldSize_ + maxBytes_;
    if (rotationFailureSaid_) return;
    rotationFailureSaid_ = true;
    std::lock_guard<std::mutex> guard(noticeLock_);
    pendingNotice_ = fmt::sprintf(Tr("### The log file cannot be rotated (%s): it goes on growing",
                                     "### Le fichier log ne peut pas être renouvelé (%s) : il continue de grossir"),
                                  error);
    noticePending_.store(true, std::memory_order_release);
}

bool Logger::HoldCurrentFile() {
    if (filePath_.empty()) return false;
    const auto now = std::chrono::steady_clock::now();
    if (fd_ >= 0) {
        if (now - lastFileCheck_ < fileCheckInterval_) return true;
        lastFileCheck_ = now;
        // Still the file at the path? A user may have moved or deleted it to read it.
        struct stat atPath {};
        if (::stat(filePath_.c_str(), &atPath) == 0 && atPath.st_dev == heldDevice_ &&
            atPath.st_ino == heldInode_) {
            return true;
        }
        CloseFile();
    }
    lastFileCheck_ = now;
    fd_ = ::open(filePath_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return false;
    struct stat held {};
    if (::fstat(fd_, &held) != 0) {
        CloseFile();
        return false;
    }
    heldDevice_ = held.st_dev;
    heldInode_ = held.st_ino;
    heldSize_ = static_cast<std::uint64_t>(held.st_size);
    return true;
}

void Logger::CloseFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::vector<std::string> Logger::WindowLines() const {
    std::lock_guard<std::mutex> guard(lock_);
    return std::vector<std::string>(windowLines_.begin(), windowLines_.end());
}

std::size_t Logger::WindowLineCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return windowLines_.size();
}

void Logger::ClearWindow() {
    std::lock_guard<std::mutex> guard(lock_);
    windowLines_.clear();
}

std::string Logger::TimeStamp() {
    const std::time_t now = std::chrono::system_clock::to_time_t(WallNow());
    // A stamp changes once a second: each thread keeps its last one (a box thread logs
    // a line per passing), made again when the second or the language changed.
    thread_local std::time_t stampedSecond = -1;
    thread_local Language stampedLanguage = Language::French;
    thread_local std::string stamp;
    const Language language = CurrentLanguage();
    if (now == stampedSecond && language == stampedLanguage) return stamp;
    std::tm local {};
    if (::localtime_r(&now, &local) == nullptr) return "?";
    // The month name comes from the program's texts: the system may have no locale of
    // the program's language.
    stamp = FormatLogStamp(local);
    stampedSecond = now;
    stampedLanguage = language;
    return stamp;
}

std::string Logger::WindowText(const std::string& message) {
    std::string text;
    text.reserve(message.size());
    for (char c : message) {
        if (c == '\r') {
            text += "<CR>";
        } else if (c == '\n') {
            text += "<LF>";
        } else {
            text += c;
        }
    }
    return text;
}

std::string Logger::FileLine(const std::string& stamp, const std::string& message) {
    // AppendFileLine queues the same bytes.
    if (message == "\n") return "\r\n";
    std::string line;
    line.reserve(stamp.size() + message.size() + 5);
    line += stamp;
    line += " : ";
    line += message;
    line += "\r\n";
    return line;
}

bool InitialiseTimeLocale() { return std::setlocale(LC_TIME, "") != nullptr; }

}  // namespace lv
