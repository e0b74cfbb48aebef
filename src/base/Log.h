#pragma once
// The log: one entry point, Log(level, message), used from every thread. A message
// always reaches the log file ("<stamp> : <message>") and reaches the log window when
// its level is at most the window level. The window's lines live here (with the purge
// of the oldest lines); a front end receives them through a sink.
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lv {

// Receives each new log-window line. Called on the thread that logged, with the
// logger's lock held: implementations hand the line over (post it) and return. A sink
// may call Log or WriteLogFile (those messages then go to the log file only, so that a
// sink cannot feed itself); it must not call any other Logger function.
class LogWindowSink {
public:
    virtual ~LogWindowSink() = default;
    virtual void OnLogWindowLine(const std::string& line) = 0;
    // The window store dropped its `count` oldest lines.
    virtual void OnLogWindowPurged(std::size_t count) { (void)count; }
};

class Logger {
public:
    static constexpr std::size_t kWindowPurgeThreshold = 8000;
    static constexpr std::size_t kWindowPurgeCount = 2000;

    static Logger& Instance();

    void SetFilePath(const std::string& path);
    std::string FilePath() const;
    void SetWindowLevel(int level);
    int WindowLevel() const;
    // The log window exists only once a front end opened it; before that, messages
    // reach the file alone.
    void SetWindowOpen(bool open);
    // Once SetSink returns, the previous sink is no longer being called.
    void SetSink(LogWindowSink* sink);

    void Log(int level, const std::string& message);
    // A line to the log file only (purge notices, banners); never reaches the window.
    void WriteLogFile(const std::string& message);

    std::vector<std::string> WindowLines() const;
    std::size_t WindowLineCount() const;
    void ClearWindow();

    // "%d %B %Y - %H:%M:%S" of the present local time, in the user's locale.
    static std::string TimeStamp();
    // The message as the window shows it: CR and LF spelled "<CR>" and "<LF>".
    static std::string WindowText(const std::string& message);
    // The bytes one message adds to the log file: "<stamp> : <message>" and CR LF, or
    // an empty line for a message that is exactly one line feed.
    static std::string FileLine(const std::string& stamp, const std::string& message);

    // The log window's lines are serialised with the "LogWin" resource mutex; this is
    // how long Log waits for it before writing anyway.
    static constexpr int kWindowMutexWaitMs = 2000;

private:
    Logger() = default;
    // Log and WriteLogFile: a message without a level reaches the file alone.
    void Write(std::optional<int> level, const std::string& message);
    // Called with lock_ held.
    void AppendWindowLine(const std::string& stamp, const std::string& message);
    void AppendFileLine(const std::string& stamp, const std::string& message);

    mutable std::mutex lock_;
    std::string filePath_;
    int windowLevel_ = 50;
    bool windowOpen_ = false;
    LogWindowSink* sink_ = nullptr;
    std::deque<std::string> windowLines_;
};

// Sets the C library's time-formatting locale to the user's (LC_ALL, LC_TIME or LANG),
// so that month names in time stamps are in the user's language. Call once at start,
// before other threads run. False when the environment names no usable locale.
bool InitialiseTimeLocale();

inline void Log(int level, const std::string& message) { Logger::Instance().Log(level, message); }
inline void WriteLogFile(const std::string& message) { Logger::Instance().WriteLogFile(message); }

}  // namespace lv
