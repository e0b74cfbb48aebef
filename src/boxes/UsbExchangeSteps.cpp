#include "boxes/UsbExchangeSteps.h"

#include <chrono>
#include <fmt/printf.h>
#include <thread>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/DecoderProtocol.h"
#include "boxes/TarvexBox.h"

namespace lv::usb {

void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

BusyMark::BusyMark(CTarvexBox& box) : box_(box) { box_.usbBusy.store(true); }

BusyMark::~BusyMark() { box_.usbBusy.store(false); }

namespace {

// Late replies passed over within one exchange.
constexpr int kMaxStaleReplies = 3;

Asked AskFor(CTarvexBox& box, CommandExchange& exchange, const std::string& command, const char* expected,
             int seconds, bool pauseFirst, std::string& response, const std::function<void()>& afterSend) {
    if (pauseFirst) Pause(kPauseBeforeSendMs);
    std::string error;
    if (!exchange.Send(command, error)) {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command: %s", "## %s : Erreur envoi de commande : %s"),
                            box.ExchangeLabel(), error));
        return Asked::NotSent;
    }
    if (afterSend) afterSend();
    // The box answers its commands in order: a reply to an earlier command that came
    // after its wait ended arrives first. It is passed over, so that it does not shift
    // every reply after it by one; a few at most, each within the wait.
    for (int stale = 0; stale <= kMaxStaleReplies; ++stale) {
        if (exchange.WaitResponse(expected, seconds, response)) return Asked::Answered;
        if (response.empty() || MatchesExpected(response, expected) || box.cancelRequested.load()) break;
        Log(0, fmt::sprintf(Tr("## %s : Late reply to an earlier command passed over: %s",
                               "## %s : Réponse tardive à une commande précédente ignorée : %s"),
                            box.ExchangeLabel(), PrintableExcerpt(response.substr(0, response.find('\n')))));
    }
    return Asked::NoAnswer;
}

}  // namespace

Asked Ask(CTarvexBox& box, CommandExchange& exchange, const std::string& command, const char* expected,
          int seconds, bool pauseFirst, UsbReply& reply, const std::function<void()>& afterSend) {
    std::string response;
    const Asked asked = AskFor(box, exchange, command, expected, seconds, pauseFirst, response, afterSend);
    if (asked == Asked::Answered) reply = SplitUsbReply(response);
    return asked;
}

Asked AskRaw(CTarvexBox& box, CommandExchange& exchange, const std::string& command, const char* expected,
             int seconds, bool pauseFirst, std::string& raw) {
    return AskFor(box, exchange, command, expected, seconds, pauseFirst, raw, {});
}

int Seconds(const CTarvexBox& box) { return box.ResponseSeconds(); }

bool NotSynchronised(const std::string& reference) {
    uint32_t epoch = 0, ticks = 0;
    return reference.empty() || (ReadHexPair(reference, epoch, ticks) && epoch == 0 && ticks == 0);
}

}  // namespace lv::usb
