#pragma once
// The USB TimingBox's exchanges as one table: for each, the command, the answer
// awaited, the wait, the texts of its failures and how its value line reads; and the
// one run every exchange goes through (ask, no answer, status line, value line). What
// an exchange does with the numbers it got stays with its caller (UsbBoxProtocol).
#include <cstdint>
#include <functional>

#include "boxes/UsbPassingParser.h"

namespace lv {

class CTarvexBox;
class CommandExchange;

namespace usb {

enum class ExchangeId {
    Reset,           // RESET
    Synchronize,     // EPOCHREFSET;<second>
    EpochReference,  // EPOCHREFGET
    AdjustEpoch,     // EPOCHREFADJ1D
    BoxTime,         // TIMESTAMPGET
    PassingInfo,     // PASSINGINFOGET
    BoxInfo,         // INFOGET;<item>
};

// The reply, and the numbers its value line gave, in their order.
struct Answer {
    UsbReply reply;
    uint32_t numbers[5] = {};
};

// Runs exchange `id` within the caller's turn: its command (with `argument` when it
// takes one) sent, `afterSend` run before the wait, the wait, then the status line and
// the value line read, each failure logged with the exchange's own text. True when
// the box answered and its value line (for an exchange that reads one) gave its
// numbers; a bad status is only logged, except where the table says it ends the
// exchange.
bool RunExchange(CTarvexBox& box, CommandExchange& exchange, ExchangeId id, Answer& answer, uint32_t argument = 0,
                 const std::function<void()>& afterSend = {});

}  // namespace usb
}  // namespace lv
