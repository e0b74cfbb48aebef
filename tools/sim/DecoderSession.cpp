#include "DecoderSession.h"

#include "StoredFiles.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

namespace sim::decoder {

namespace {

constexpr std::size_t kMaxCommandBytes = 4096;
constexpr int kIdlePollMs = 200;
constexpr long long kBatchWhenUnpaced = 64;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t cut = text.find(separator, start);
        fields.push_back(text.substr(start, cut == std::string::npos ? std::string::npos : cut - start));
        if (cut == std::string::npos) return fields;
        start = cut + 1;
    }
}

long long WallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// "YYYY-MM-DD;HH:MM:SS.mmm" of local epoch milliseconds.
std::string FormatLocal(long long ms) {
    std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d;%02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms % 1000));
    return text;
}

// SETTIME's "YYYY-MM-DD" and "HH:MM:SS.mmm" as local epoch milliseconds.
bool ParseLocal(const std::string& date, const std::string& time, long long& ms) {
    std::tm fields{};
    int millis = 0;
    if (std::sscanf(date.c_str(), "%d-%d-%d", &fields.tm_year, &fields.tm_mon, &fields.tm_mday) != 3) return false;
    if (std::sscanf(time.c_str(), "%d:%d:%d.%d", &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &millis) < 3) {
        return false;
    }
    fields.tm_year -= 1900;
    fields.tm_mon -= 1;
    fields.tm_isdst = -1;
    std::time_t seconds = std::mktime(&fields);
    if (seconds == static_cast<std::time_t>(-1)) return false;
    ms = static_cast<long long>(seconds) * 1000 + millis;
    return true;
}

}  // namespace

Session::Session(int fd, const Options& options, PassingGenerator& generator, DecoderState& state)
    : fd_(fd), options_(options), generator_(generator), state_(state) {}

void Session::Trace(const char* direction, const std::string& line) const {
    if (!options_.verbose) return;
    std::string shown;
    for (unsigned char c : line.substr(0, 200)) {
        if (c >= 0x20 && c < 0x7F) {
            shown.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    std::fprintf(stderr, "%s %s%s\n", direction, shown.c_str(), line.size() > 200 ? "..." : "");
}

std::string Session::NowText() const { return FormatLocal(WallMs() + state_.clockOffsetMs); }

bool Session::SendRaw(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t count = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count < 0) {
            if (errno == EINTR) continue;
            ended_ = true;
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

bool Session::SendLine(const std::string& line) {
    if (ended_) return false;
    if (muted_) return true;
    Trace(">>", line);
    if (!SendRaw(line + "\r\n")) return false;
    ++linesSent_;
    if (options_.closeAfter > 0 && linesSent_ >= options_.closeAfter) {
        if (options_.closeMidLine) SendRaw(generator_.HalfLine(state_.nextPassing));
        if (options_.verbose) std::fprintf(stderr, "-- closing after %lld lines\n", linesSent_);
        ended_ = true;
        return false;
    }
    if (options_.muteAfter > 0 && linesSent_ >= options_.muteAfter) {
        if (options_.verbose) std::fprintf(stderr, "-- silent after %lld lines\n", linesSent_);
        muted_ = true;
    }
    return true;
}

void Session::HandleCommand(const std::string& command) {
    Trace("<<", command);
    if (command.empty() || muted_) return;
    std::vector<std::string> fields = Split(command, ';');
    const std::string& keyword = fields[0];
    std::string argument = command.size() > keyword.size() ? command.substr(keyword.size() + 1) : "";
    bool wasPushing = Pushing();
    std::string reply;
    if (keyword == "SETPROTOCOL") {
        reply = "SETPROTOCOL;" + (argument.empty() ? std::string("2.0") : argument);
    } else if (keyword == "STARTOPERATION") {
        operating_ = true;
        reply = "STARTOPERATION";
    } else if (keyword == "STOPOPERATION") {
        operating_ = false;
        reply = "STOPOPERATION";
    } else if (keyword == "SETPUSHPASSINGS") {
        pushing_ = fields.size() > 1 && fields[1] == "1";
        reply = command;
    } else if (keyword == "GETTIME") {
        reply = "GETTIME;" + NowText();
    } else if (keyword == "SETTIME") {
        long long set = 0;
        if (fields.size() >= 3 && ParseLocal(fields[1], fields[2], set)) {
            state_.clockOffsetMs = set - WallMs();
            reply = command;
        } else {
            reply = "SETTIME;ERROR";
        }
    } else if (keyword == "LISTFILES") {
        reply = ListFilesAnswer();
    } else if (keyword == "SETBOUNCE") {
        reply = command;
    } else if (keyword == "TIMESTAMPGET") {
        reply = "TIMESTAMPGET;" + std::to_string((WallMs() + state_.clockOffsetMs) / 1000);
    } else if (keyword == "EPOCHREFGET") {
        reply = "EPOCHREFGET;0;0";
    } else if (keyword == "ASCII" || keyword == "EPOCHREFSET" || keyword == "EPOCHREFADJ1D" ||
               keyword == "PASSINGGET" || keyword == "PASSINGINFOGET" || keyword == "INFOGET" ||
               keyword == "INFOFGET" || keyword == "CONFGET" || keyword == "CONFSET") {
        reply = command;
    } else {
        reply = "COMMANDNOTEXISTING";
    }
    SendLine(reply);
    if (!wasPushing && Pushing()) {
        paceStart_ = std::chrono::steady_clock::now();
        pacedPassings_ = 0;
        // A decoder pushes new reads only; the older ones stay in its stored file.
        readCursor_ = TheDayFile().Count();
    }
}

void Session::HandleInput(const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count && !ended_; ++i) {
        char c = bytes[i];
        if (c == '\n') {
            if (!discardingInput_) {
                if (!input_.empty() && input_.back() == '\r') input_.pop_back();
                HandleCommand(input_);
            }
            input_.clear();
            discardingInput_ = false;
        } else if (!discardingInput_) {
            input_.push_back(c);
            if (input_.size() > kMaxCommandBytes) {
                input_.clear();
                discardingInput_ = true;
            }
        }
    }
}

int Session::MillisecondsToNextPassing() const {
    if (!Pushing() || muted_ || options_.keepReading) return kIdlePollMs;
    if (options_.count > 0 && state_.nextPassing >= options_.count) return kIdlePollMs;
    if (options_.rate <= 0) return 0;
    auto due = paceStart_ + std::chrono::microseconds(static_cast<long long>(pacedPassings_ * 1e6 / options_.rate));
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now()).count();
    if (left <= 0) return 0;
    return left < kIdlePollMs ? static_cast<int>(left) : kIdlePollMs;
}

bool Session::SendMalformedIfDue() {
    ++state_.passingLines;
    if (options_.malformedEvery > 0 && state_.passingLines % options_.malformedEvery == 0)
        return SendLine(generator_.Malformed(state_.malformedSent++));
    return true;
}

bool Session::SendPassingLine(const std::string& line) {
    const bool silent = muted_;
    if (!SendLine(line)) return false;
    if (silent) return true;
    ++passingLinesPushed_;
    if (options_.cutAfter > 0 && !state_.cutDone && passingLinesPushed_ >= options_.cutAfter) {
        if (options_.verbose) std::fprintf(stderr, "-- cut after %lld passing lines\n", passingLinesPushed_);
        state_.cutDone = true;
        cut_ = true;
        ended_ = true;
        return false;
    }
    return true;
}

bool Session::PushDue() {
    if (options_.keepReading) return PushNewReads();
    long long batch = options_.rate <= 0 ? kBatchWhenUnpaced : 1;
    for (long long n = 0; n < batch; ++n) {
        if (ended_) return false;
        if (!Pushing() || muted_ || MillisecondsToNextPassing() > 0) return true;
        for (const std::string& read : generator_.Reads(state_.nextPassing)) {
            if (!SendMalformedIfDue()) return false;
            if (!SendPassingLine(read)) {
                // A close or the cut after this line: the passing went out.
                ++state_.nextPassing;
                return false;
            }
        }
        ++state_.nextPassing;
        ++pacedPassings_;
    }
    return true;
}

bool Session::PushNewReads() {
    if (ended_) return false;
    if (!Pushing() || muted_) return true;
    for (const std::string& read : TheDayFile().ReadsFrom(readCursor_)) {
        ++readCursor_;
        if (!SendMalformedIfDue() || !SendPassingLine(read)) return false;
    }
    return true;
}

void Session::Run(const std::atomic<bool>& stop) {
    char buffer[4096];
    const DayFile& dayFile = TheDayFile();
    // With --keep-reading, the day file's signal wakes the session for each new read.
    const nfds_t waited = options_.keepReading && dayFile.SignalFd() >= 0 ? 2 : 1;
    while (!stop.load() && !ended_) {
        pollfd waiters[2] = {{fd_, POLLIN, 0}, {dayFile.SignalFd(), POLLIN, 0}};
        int ready = ::poll(waiters, waited, MillisecondsToNextPassing());
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (waited == 2 && (waiters[1].revents & POLLIN) != 0) dayFile.DrainSignal();
        if ((waiters[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
            if (count == 0) break;
            if (count < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                break;
            }
            HandleInput(buffer, static_cast<std::size_t>(count));
        }
        if (!PushDue()) break;
    }
}

}  // namespace sim::decoder
