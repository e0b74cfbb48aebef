#pragma once
// One client of the simulated decoder, from accept to close: answers its commands and
// pushes passings while operation and push are on.
#include <atomic>
#include <chrono>
#include <string>

#include "DecoderOptions.h"
#include "PassingGenerator.h"

namespace sim::decoder {

// What outlives a session: the passings already pushed and the clock set by SETTIME.
struct DecoderState {
    long long nextPassing = 0;   // index of the next passing to push
    long long malformedSent = 0;
    long long passingLines = 0;  // passing lines pushed in all
    // SETTIME minus the computer's clock; the reading thread stamps reads with it.
    std::atomic<long long> clockOffsetMs{0};
    bool cutDone = false;        // the cut of --cut-after happens once per process
};

class Session {
public:
    Session(int fd, const Options& options, PassingGenerator& generator, DecoderState& state);
    // Runs until the client leaves, a fault closes the connection, or `stop` is set.
    void Run(const std::atomic<bool>& stop);
    // The session ended for the cut of --cut-after.
    bool CutRequested() const { return cut_; }

private:
    void HandleInput(const char* bytes, std::size_t count);
    void HandleCommand(const std::string& command);
    // Sends one line (CR LF added); false once the session is to end.
    bool SendLine(const std::string& line);
    bool SendRaw(const std::string& bytes);
    // Pushes the passings that are due; false once the session is to end.
    bool PushDue();
    // With --keep-reading: pushes the reads added to the day file since the last push.
    bool PushNewReads();
    // Counts a passing line about to go and sends a malformed line first when one is
    // due; false once the session is to end.
    bool SendMalformedIfDue();
    // One passing line, counted for the cut; false once the session is to end (a close,
    // or the cut once its count is reached).
    bool SendPassingLine(const std::string& line);
    bool Pushing() const { return operating_ && pushing_; }
    int MillisecondsToNextPassing() const;
    std::string NowText() const;
    void Trace(const char* direction, const std::string& line) const;

    int fd_;
    const Options& options_;
    PassingGenerator& generator_;
    DecoderState& state_;
    bool operating_ = false;
    bool pushing_ = false;
    bool muted_ = false;
    bool ended_ = false;
    long long linesSent_ = 0;
    long long passingLinesPushed_ = 0;
    bool cut_ = false;
    long long readCursor_ = 0;  // reads of the day file already pushed or passed over
    std::string input_;
    bool discardingInput_ = false;
    // Pace of the pushes: passings pushed since `paceStart_`.
    std::chrono::steady_clock::time_point paceStart_;
    long long pacedPassings_ = 0;
};

}  // namespace sim::decoder
