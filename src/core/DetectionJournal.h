#pragma once
// The current detection file: one line per recorded detection, appended and flushed
// at once, and made durable on disk within a short delay by a background flusher.
// Also writes the ".qox" export of the active detections in the same line format.
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "core/DetectionRecords.h"

namespace lv {

// "%d\t%s\t%s\t%d\t%s\t%d" + CR LF, as the Windows program writes it.
std::string FormatDetectionLine(std::size_t number, const CQoxResult& record);

class DetectionJournal {
public:
    // Longest delay between a line written and the same line on disk.
    static constexpr int kSyncDelayMs = 100;

    DetectionJournal();
    ~DetectionJournal();
    DetectionJournal(const DetectionJournal&) = delete;
    DetectionJournal& operator=(const DetectionJournal&) = delete;

    // Nothing when a file of that name is open; logs the opening and any failure.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const;
    std::string Name() const;

    // Appends one line and flushes it; called with the table lock held.
    void WriteLine(std::size_t number, const CQoxResult& record);

private:
    void FlusherLoop();

    mutable std::mutex lock_;
    std::condition_variable wake_;
    FILE* file_ = nullptr;
    std::string name_;
    bool dirty_ = false;
    bool stopping_ = false;
    std::thread flusher_;
};

}  // namespace lv
