#pragma once
// CommandExchange: one turn of command exchanges with a box (send a command, wait for
// its response), from any thread. One turn at a time per box: a second exchange waits
// for the first to end, so that a response always meets the command it answers.
//
// The box has one reader. While its box thread reads, the exchange arms the box's
// response route before the command goes out and waits for what the thread routes to
// it; otherwise (initialisation before the thread starts, or on the box thread itself
// while it connects) the exchange reads the transport itself, and passings it reads
// go to an intake of its own at once, in order.
#include <memory>
#include <mutex>
#include <string>

#include "boxes/DecoderProtocol.h"

namespace lv {

class CPassingIntake;
class CTarvexBox;

class CommandExchange {
public:
    // Takes the box's exchange turn (waits while another exchange of the box runs).
    explicit CommandExchange(CTarvexBox& box);
    ~CommandExchange();
    CommandExchange(const CommandExchange&) = delete;
    CommandExchange& operator=(const CommandExchange&) = delete;

    // The box's SendCommand / SendCommandCode, with the response reserved for this
    // exchange's next WaitResponse (same errors).
    bool Send(const std::string& command, std::string& error);
    bool SendCode(int code, const std::string& argument, std::string& error);

    // Waits for the response to the command this exchange just sent (after a command
    // sent alone, only a response that comes from now on counts): given up after
    // `seconds` without anything received (and in any case after twice that time), or
    // on the box's cancel request (which it clears first only when no box thread
    // runs). True with the response text when it matches `expected`; false on no, an
    // invalid or an unexpected response. Logs "No response for command %s after %ds",
    // "Invalid input: %s", "Unexpected response: %s", and for a matched response
    // "Box synchronized", "Bounce time set" or "List files response received".
    bool WaitResponse(const std::string& expected, int seconds, std::string& response);

private:
    struct Wait;
    bool Armed(bool sent);
    bool ReadByItself(Wait& wait);
    bool WaitForRouted(Wait& wait, bool& readerGone);
    bool Judge(const Wait& wait, const ReceivedLine& received);
    bool NoResponse(const Wait& wait) const;
    void TakePassing(const ReceivedLine& received);

    CTarvexBox& box_;
    std::unique_lock<std::mutex> turn_;
    bool armed_ = false;                      // the box thread routes to this exchange
    std::unique_ptr<CPassingIntake> intake_;  // passings this exchange read itself
};

}  // namespace lv
