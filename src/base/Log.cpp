#include "base/Log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <ctime>

#include <fmt/printf.h>

#include "base/NamedMutex.h"
#include "base/Clock.h"

namespace lv {

namespace {

// Set while this thread is inside Log or WriteLogFile with the logger's lock held: a
// message logged from there (by a sink) goes straight to the file.
thread_local bool t_insideLogger = false;

class InsideLogger {
public:
    InsideLogger() { t_insideLogger = true; }
    ~InsideLogger() { t_insideLogger = false; }
    InsideLogger(const InsideLogger&) = delete;
    InsideLogger& operator=(const InsideLogger&) = delete;
};

void AppendToFile(const std::string& path, const std::string& bytes) {
    if (path.empty()) return;
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;  // the line is lost; the window still shows it
    std::string_view rest = bytes;
    while (!rest.empty()) {
        ssize_t written = ::write(fd, rest.data(), rest.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    ::close(fd);
}

}  // namespace

Logger& Logger::Instance() {
    // Never destroyed: threads may still log while the process ends.
    static Logger* const instance = new Logger();
    return *instance;
}

void Logger::SetFilePath(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    filePath_ = path;
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
        AppendFileLine(TimeStamp(), message);
        return;
    }
    // The logger's own lock serialises the whole message (window and file). The
    // "LogWin" resource mutex is not taken here: its pause after a contended wait
    // (20 ms) would stall every box thread that logs during a mass start.
    const std::string stamp = TimeStamp();
    std::lock_guard<std::mutex> guard(lock_);
    InsideLogger inside;
    if (level && windowOpen_ && *level <= windowLevel_) AppendWindowLine(stamp, message);
    AppendFileLine(stamp, message);
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

void Logger::AppendFileLine(const std::string& stamp, const std::string& message) {
    // One write per line with O_APPEND: lines of several writers never interleave.
    AppendToFile(filePath_, FileLine(stamp, message));
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
    std::tm local {};
    if (::localtime_r(&now, &local) == nullptr) return "?";
    char text[128];
    std::size_t length = std::strftime(text, sizeof text, "%d %B %Y - %H:%M:%S", &local);
    if (length == 0) {
        return fmt::sprintf("%02d/%02d/%04d - %02d:%02d:%02d", local.tm_mday, local.tm_mon + 1,
                            local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    }
    return std::string(text, length);
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
