#include "boxes/CommandExchange.h"

#include <chrono>
#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/BoxHost.h"
#include "boxes/PassingIntake.h"
#include "boxes/TarvexBox.h"

namespace lv {

namespace {

// The step of the waits: a read poll, or a look at the route.
constexpr int kWaitPollMs = 5;

using SteadyClock = std::chrono::steady_clock;

}  // namespace

struct CommandExchange::Wait {
    std::string label;
    std::string expected;
    int seconds = 0;
    std::string& response;
    // Silence is what counts: a box that keeps sending other lines (passings, blank
    // lines) never lets it grow, so the real time is bounded too, far enough beyond
    // it not to change an idle wait.
    SteadyClock::time_point hardLimit;
    int silentMs = 0;
};

CommandExchange::CommandExchange(CTarvexBox& box) : box_(box), turn_(box.exchangeTurn_) {}

CommandExchange::~CommandExchange() {
    if (armed_) box_.route_.Disarm();
}

bool CommandExchange::Armed(bool sent) {
    if (!sent && armed_) {
        box_.route_.Disarm();
        armed_ = false;
    }
    return sent;
}

bool CommandExchange::Send(const std::string& command, std::string& error) {
    // Armed before the command leaves: its response may come back at once.
    armed_ = box_.route_.Routing();
    if (armed_) box_.route_.Arm();
    return Armed(box_.SendText(command, command, error));
}

bool CommandExchange::SendCode(int code, const std::string& argument, std::string& error) {
    armed_ = box_.route_.Routing();
    if (armed_) box_.route_.Arm();
    return Armed(box_.SendCode(code, argument, error));
}

bool CommandExchange::WaitResponse(const std::string& expected, int seconds, std::string& response) {
    response.clear();
    Wait wait{box_.ExchangeLabel(), expected, seconds, response,
              SteadyClock::now() + std::chrono::seconds(2 * seconds), 0};
    // A cancel left over from an ended thread must not fail this wait; a live one (the
    // box's thread still runs) is a request to stop and stays.
    if (!box_.threadRunning.load()) box_.cancelRequested.store(false);

    // A wait without a send of its own (the command went out alone) still leaves the
    // reading to the box thread: the response is awaited from now on.
    if (!armed_ && box_.route_.Routing()) {
        box_.route_.Arm();
        armed_ = true;
    }
    bool result = false;
    bool readerGone = !armed_;
    if (armed_) result = WaitForRouted(wait, readerGone);
    if (armed_) {
        box_.route_.Disarm();
        armed_ = false;
    }
    // The box thread stopped reading meanwhile: this exchange is the reader now.
    if (readerGone) result = ReadByItself(wait);
    return result;
}

bool CommandExchange::WaitForRouted(Wait& wait, bool& readerGone) {
    ResponseRoute& route = box_.route_;
    for (;;) {
        if (box_.cancelRequested.load()) return false;
        if (SteadyClock::now() > wait.hardLimit) return NoResponse(wait);
        const uint64_t linesBefore = route.LinesWhileArmed();
        const auto sliceStart = SteadyClock::now();
        ReceivedLine received;
        switch (route.Take(std::chrono::milliseconds(kWaitPollMs), received)) {
            case ResponseRoute::Event::Line: {
                bool matched = Judge(wait, received);
                route.Judged();
                return matched;
            }
            case ResponseRoute::Event::Lost: {
                // The connection is gone: no response can come any more.
                NoResponse(wait);
                route.Judged();
                return false;
            }
            case ResponseRoute::Event::ReaderGone:
                readerGone = true;
                return false;
            case ResponseRoute::Event::Nothing:
                break;
        }
        if (route.LinesWhileArmed() != linesBefore) continue;
        wait.silentMs += static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - sliceStart).count());
        if (wait.silentMs > wait.seconds * 1000) return NoResponse(wait);
    }
}

bool CommandExchange::ReadByItself(Wait& wait) {
    CComBox* transport = box_.Transport();
    for (;;) {
        if (box_.cancelRequested.load()) return false;
        if (SteadyClock::now() > wait.hardLimit) return NoResponse(wait);
        try {
            if (!transport) return NoResponse(wait);
            int ready = transport->WaitForData(kWaitPollMs);
            if (ready == 0) {
                wait.silentMs += kWaitPollMs;
                if (wait.silentMs > wait.seconds * 1000) return NoResponse(wait);
                continue;
            }
            // The connection is gone: no response can come any more.
            if (ready < 0) return NoResponse(wait);
            std::string line;
            if (transport->ReadLine(line) < 0) return NoResponse(wait);
            ReceivedLine received = ClassifyReceivedLine(line, transport->LastLineIncomplete());
            if (received.kind == ReceivedKind::Blank) continue;
            if (received.kind == ReceivedKind::Passing) {
                TakePassing(received);
                continue;
            }
            return Judge(wait, received);
        } catch (const std::exception&) {
            Log(0, fmt::sprintf("+ %s : Exception caught in inner ReadAvailable", wait.label));
        }
    }
}

void CommandExchange::TakePassing(const ReceivedLine& received) {
    // The box thread's intake takes passings when it runs; here this exchange is the
    // only reader, so the passing is recorded now, in its place among the lines.
    if (BoxHost* host = box_.Host()) {
        if (!intake_) intake_ = std::make_unique<CPassingIntake>(*host, box_);
        intake_->ProcessReceived(received);
        return;
    }
    // Only a box that reports to no main window (tests of the exchanges) gets here.
    Log(0, fmt::sprintf("+ %s : Passing not recorded (no main window): %s", box_.ExchangeLabel(),
                        PrintableExcerpt(received.text)));
}

bool CommandExchange::NoResponse(const Wait& wait) const {
    Log(0, fmt::sprintf(Tr("+ %s : No response for command %s after %ds",
                           "+ %s : Pas de réponse pour la commande %s après %ds"),
                        wait.label, wait.expected, wait.seconds));
    return false;
}

bool CommandExchange::Judge(const Wait& wait, const ReceivedLine& received) {
    if (received.kind == ReceivedKind::Invalid) {
        Log(0, fmt::sprintf(Tr("+ %s : Invalid input: %s", "+ %s : Trame invalide: %s"), wait.label,
                            PrintableExcerpt(received.text)));
        return false;
    }
    wait.response = received.text;
    if (!MatchesExpected(received.text, wait.expected)) {
        Log(0, fmt::sprintf(Tr("+ %s : Unexpected response: %s", "+ %s : Reponse inattendue : %s"),
                            wait.label, PrintableExcerpt(received.text)));
        return false;
    }
    if (received.code == kRespSetTime) {
        Log(0, fmt::sprintf(Tr("+ %s : Box synchronized", "+ %s : Boitier synchronisé"), wait.label));
    } else if (received.code == kRespSetBounce) {
        Log(0, fmt::sprintf(Tr("+ %s : Bounce time set", "+ %s : Temps inter-passage ajusté"), wait.label));
    } else if (received.code == kRespListFiles) {
        Log(0, fmt::sprintf(Tr("+ %s : List files response received", "+ %s : Liste des fichiers reçus"),
                            wait.label));
    }
    return true;
}

}  // namespace lv
