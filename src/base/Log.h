#pragma once
// The log: one entry point, Log(level, message), used from every thread. A message
// always reaches the log file ("<stamp> : <message>") and reaches the log window when
// its level is at most the window level. The window's lines live here (with the purge
// of the oldest lines); a front end receives them through a sink.
//
// The log file stays open between messages (opening it per message cost more than the
// rest of a passing's work). Each line is written before Log returns (inside a
// WriteCombiner::DeferredWaits scope of the logging thread: when the scope closes), so
// the file can be read at any time; and the file can be moved or deleted between
// messages: when the file at the path is no longer the one held, the next message after
// a short check interval opens (or creates) the file at the path.
//
// With a size limit, the file is rotated before the write that would take it past the
// limit: renamed to "<path>.1" (older ones shifted, a bounded number kept) and a new
// file opened at the path, between two batches of lines, so no line is lost or split.
// A rotation that fails is said once in the log and the lines go on into the current
// file; it is tried again once the file has grown by another limit's worth.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/WriteCombiner.h"

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
    // How long the held file is trusted before the path is looked at again (a stat per
    // message would cost as much as a line under a mass start).
    static constexpr std::chrono::milliseconds kFileCheckInterval{250};
    // Tests that move the file between two messages set 0: every message checks.
    void SetFileCheckInterval(std::chrono::milliseconds interval);
    // The size past which the file is rotated (0: never) and how many old files are
    // kept (1..kMaxKeptLogFiles).
    void SetRotation(std::uint64_t maxBytes, int keepFiles);
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

    // "%d %B %Y - %H:%M:%S" of the present local time, the month named in the
    // program's language (FormatLogStamp).
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
    // Queues the file line; 0 when there is no log file.
    WriteCombiner::Ticket AppendFileLine(const std::string& stamp, const std::string& message);
    // The file members below are used with the baton of fileLines_ held (and lock_ as
    // well where they change, as filePath_ does).
    void WriteBatch(std::string_view batch);
    // Opens the file at the path unless the one held is still there; false when no
    // file can be written.
    bool HoldCurrentFile();
    void CloseFile();
    // Before writing `incoming` bytes: rotates when they would take the file past the limit.
    void RotateIfDue(std::size_t incoming);
    // The rotation notice waiting to be logged, if any (logged outside the file's baton).
    void LogPendingNotice();

    mutable std::mutex lock_;
    std::string filePath_;
    WriteCombiner fileLines_;
    int fd_ = -1;  // the log file held open, or -1
    dev_t heldDevice_ = 0;
    ino_t heldInode_ = 0;
    std::chrono::steady_clock::time_point lastFileCheck_{};
    std::chrono::milliseconds fileCheckInterval_ = kFileCheckInterval;
    std::uint64_t heldSize_ = 0;  // bytes in the held file
    std::uint64_t maxBytes_ = 0;
    int keepFiles_ = 1;
    // After a failed rotation: the size at which it is tried again, and whether the
    // failure was said already (said once until a rotation succeeds).
    std::uint64_t retryRotationAt_ = 0;
    bool rotationFailureSaid_ = false;
    std::mutex noticeLock_;
    std::string pendingNotice_;
    std::atomic<bool> noticePending_{false};
    int windowLevel_ = 50;
    bool windowOpen_ = false;
    LogWindowSink* sink_ = nullptr;
    std::deque<std::string> windowLines_;
};

// Sets the C library's time-formatting locale to the user's (LC_ALL, LC_TIME or LANG)
// for the C library's own formatting; the log's month names do not depend on it. Call once at start,
// before other threads run. False when the environment names no usable locale.
bool InitialiseTimeLocale();

inline void Log(int level, const std::string& message) { Logger::Instance().Log(level, message); }
inline void WriteLogFile(const std::string& message) { Logger::Instance().WriteLogFile(message); }

}  // namespace lv
