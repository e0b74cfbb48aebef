#pragma once
// What the USB TimingBox's exchanges share: the turn of one exchange (the box's
// exchange turn, usbBusy shown meanwhile) and the ask-and-wait step.
#include <functional>
#include <string>

#include "boxes/CommandExchange.h"
#include "boxes/UsbPassingParser.h"

namespace lv {

class CTarvexBox;

namespace usb {

// Pause before a command, as the box needs.
inline constexpr int kPauseBeforeSendMs = 100;

void Pause(int milliseconds);

// usbBusy for the length of one exchange, within the box's turn.
class BusyMark {
public:
    explicit BusyMark(CTarvexBox& box);
    ~BusyMark();
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;

private:
    CTarvexBox& box_;
};

// One exchange of its own: the box's turn, marked busy.
class UsbTurn {
public:
    explicit UsbTurn(CTarvexBox& box) : exchange_(box), busy_(box) {}
    CommandExchange& Exchange() { return exchange_; }

private:
    CommandExchange exchange_;
    BusyMark busy_;
};

enum class Asked { Answered, NotSent, NoAnswer };

// Sends `command` and waits for `expected`; `afterSend`, when given, runs once the
// command is out and before the wait. A command that cannot be sent is logged here;
// the exchange logs a wait that fails.
Asked Ask(CTarvexBox& box, CommandExchange& exchange, const std::string& command, const char* expected,
          int seconds, bool pauseFirst, UsbReply& reply, const std::function<void()>& afterSend = {});

// Ask, with the reply's text as received (`raw`) besides its lines.
Asked AskRaw(CTarvexBox& box, CommandExchange& exchange, const std::string& command, const char* expected,
             int seconds, bool pauseFirst, std::string& raw);

// The time-out of the box's waits.
int Seconds(const CTarvexBox& box);

// The reference is missing or "0;0": the box counts from nothing.
bool NotSynchronised(const std::string& reference);

}  // namespace usb
}  // namespace lv
