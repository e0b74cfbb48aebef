#pragma once
// The passings files a simulated decoder keeps in its memory: what LISTFILES lists
// and what its HTTP file server returns at /media/passings_<id>.txt.
#include <mutex>
#include <string>
#include <vector>

#include "SimHttp.h"

namespace sim::decoder {

struct StoredFile {
    std::string id;
    long long count;
    std::string date;     // YYYY-MM-DD
    std::string details;  // the entry's fourth field
};

// The stored file of the day of a decoder that keeps reading: every read so far, in
// the order read. Filled by the reading thread while the session and the HTTP server
// read it, hence the lock.
class DayFile {
public:
    static constexpr const char* kId = "1003";

    DayFile();
    // Listed from now on, empty, dated `date` until its first read.
    void Open(const std::string& date);
    bool IsOpen() const;
    // Adds one read (its "#P" line, without CR LF) read on `date` (YYYY-MM-DD).
    void Add(const std::string& line, const std::string& date);
    long long Count() const;
    // The reads from the `first`-th on (0-based).
    std::vector<std::string> ReadsFrom(long long first) const;
    StoredFile Entry() const;
    std::string Content() const;
    // Readable after each Add, until drained with DrainSignal: a session waits on it
    // for new reads.
    int SignalFd() const { return signal_; }
    void DrainSignal() const;

private:
    mutable std::mutex lock_;
    bool open_ = false;
    std::string date_;
    std::vector<std::string> lines_;
    int signal_ = -1;
};

const std::vector<StoredFile>& StoredFiles();
DayFile& TheDayFile();
// "LISTFILES;<n>;<id>,<count>,<date>,<details>;..."
std::string ListFilesAnswer();
// The file's passing lines ("#P", 18 fields, CR LF); false for an unknown id.
bool StoredFileContent(const std::string& id, std::string& content);
// Answers GET /media/passings_<id>.txt.
void ServeStoredFile(const http::Request& request, http::Connection& connection);

}  // namespace sim::decoder
