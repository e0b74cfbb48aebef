#pragma once
// Captures the log-window lines while it exists (window open, every level), for
// tests. Lines keep the logger's time stamp in front; Has() and Count() match the
// message at the end of a line, the *Containing() forms a text anywhere in it.
#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "base/Log.h"
#include "support/WaitUntil.h"

namespace lv {

class LogCapture : public LogWindowSink {
public:
    explicit LogCapture(int windowLevel = 100) {
        Logger& logger = Logger::Instance();
        previousLevel_ = logger.WindowLevel();
        logger.SetWindowLevel(windowLevel);
        logger.SetWindowOpen(true);
        logger.SetSink(this);
    }
    ~LogCapture() override {
        Logger& logger = Logger::Instance();
        logger.SetSink(nullptr);
        logger.SetWindowOpen(false);
        logger.SetWindowLevel(previousLevel_);
        logger.ClearWindow();
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void OnLogWindowLine(const std::string& line) override {
        std::lock_guard<std::mutex> guard(lock_);
        lines_.push_back(line);
    }

    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> guard(lock_);
        return lines_;
    }
    // Lines whose message is exactly `message` (after the time stamp and a blank).
    int Count(const std::string& message) const {
        std::lock_guard<std::mutex> guard(lock_);
        return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
            return line.size() > message.size() &&
                   line.compare(line.size() - message.size(), message.size(), message) == 0 &&
                   line[line.size() - message.size() - 1] == ' ';
        }));
    }
    bool Has(const std::string& message) const { return Count(message) > 0; }
    // Lines containing the text anywhere.
    int CountContaining(const std::string& text) const {
        std::lock_guard<std::mutex> guard(lock_);
        return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
    }
    bool HasContaining(const std::string& text) const { return CountContaining(text) > 0; }
    // Waits (bounded) for a line containing the text, logged from another thread.
    bool WaitForContaining(const std::string& text,
                           std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        return test::WaitUntil([&] { return HasContaining(text); }, limit);
    }
    // Every line, for a failure message.
    std::string Dump() const {
        std::string all;
        for (const std::string& line : Lines()) all += line + "\n";
        return all;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
    int previousLevel_ = 50;
};

}  // namespace lv
