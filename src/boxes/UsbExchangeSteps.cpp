#include "boxes/UsbExchangeSteps.h"

#include <chrono>
#include <fmt/printf.h>
#include <thread>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/TarvexBox.h"

namespace lv::usb {

void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

BusyMark::BusyMark(CTarvexBox& box) : box_(box) { box_.usbBusy.store(true); }

BusyMark::~BusyMark() { box_.usbBusy.store(false); }

Asked Ask(CTarvexBox& box, CommandExchange& exchange, const std::string& command, const char* expected,
          int seconds, bool pauseFirst, UsbReply& reply, const std::function<void()>& afterSend) {
    if (pauseFirst) Pause(kPauseBeforeSendMs);
    std::string error;
    if (!exchange.Send(command, error)) {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command: %s", "## %s : Erreur envoi de commande : %s"),
                            box.ExchangeLabel(), error));
        return Asked::NotSent;
    }
    if (afterSend) afterSend();
    std::string response;
    if (!exchange.WaitResponse(expected, seconds, response)) return Asked::NoAnswer;
    reply = SplitUsbReply(response);
    return Asked::Answered;
}

int Seconds(const CTarvexBox& box) { return box.ResponseSeconds(); }

bool NotSynchronised(const std::string& reference) {
    uint32_t epoch = 0, ticks = 0;
    return reference.empty() || (ReadHexPair(reference, epoch, ticks) && epoch == 0 && ticks == 0);
}

}  // namespace lv::usb
