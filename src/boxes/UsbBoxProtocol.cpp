#include "boxes/UsbBoxProtocol.h"

#include <ctime>
#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/BoxHost.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbExchangeSteps.h"
#include "boxes/UsbExchanges.h"
#include "boxes/UsbPassingParser.h"

namespace lv {

using namespace usb;

namespace {

// Many USB serial adapters have no DTR line: clearing it at every start fails without
// harm, so it is said once per box, at a detail level (the synchronisation, which needs
// the line, still reports each failure plainly).
void ReportDtrRefusedAtStart(CTarvexBox& box) {
    if (!box.usbDtrRefusalReported.exchange(true)) Log(75, "## SetSerialDTR failed...");
}

constexpr int kDtrSettleMs = 200;
constexpr int kDtrPulseMs = 200;
constexpr int kClockStepMs = 5;
constexpr int kSyncLeadSeconds = 2;
constexpr int kFirmwareRequired = 25;

// Stores a reference the box gave (its value line, read as E and R).
void StoreReference(CTarvexBox& box, const Answer& answer) {
    if (answer.numbers[0] == 0 && answer.numbers[1] == 0) {
        Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox is not synchronized!", "+ %s : USB TimingBox non synchronisée !"),
                            box.ExchangeLabel()));
    }
    box.epochReference = answer.reply.valueLine;
}

bool EpochReferenceIn(CTarvexBox& box, CommandExchange& exchange) {
    Answer answer;
    if (!RunExchange(box, exchange, ExchangeId::EpochReference, answer)) return false;
    Log(75, fmt::sprintf(Tr("+ %s : EPOCH REF received: %s", "+ %s : EPOCH REF reçu : %s"), box.ExchangeLabel(),
                         answer.reply.valueLine));
    StoreReference(box, answer);
    return true;
}

bool SynchronizeIn(CTarvexBox& box, CommandExchange& exchange) {
    const std::string label = box.ExchangeLabel();
    Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox synchronization", "+ %s : Demande de synchronisation USB TimingBox"),
                        label));
    const std::time_t second = std::time(nullptr) + kSyncLeadSeconds;
    // The box takes the DTR edge as that very second.
    auto pulse = [&] {
        while (std::time(nullptr) < second && !box.cancelRequested.load()) Pause(kClockStepMs);
        CComBox* transport = box.Transport();
        if (!transport || !transport->SetSerialDTR(true)) Log(0, "SetSerialDTR failed...");
        Pause(kDtrPulseMs);
        if (!transport || !transport->SetSerialDTR(false)) Log(0, "SetSerialDTR failed...");
        Pause(kDtrPulseMs);
    };
    Answer answer;
    if (!RunExchange(box, exchange, ExchangeId::Synchronize, answer, static_cast<uint32_t>(second), pulse)) {
        return false;
    }
    Log(75, fmt::sprintf(Tr("+ %s : EPOCH REF received: %s", "+ %s : EPOCH REF reçu : %s"), label,
                         answer.reply.valueLine));
    box.epochReference = answer.reply.valueLine;
    Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox synchronized", "+ %s : USB TimingBox synchronisé"), label));
    return true;
}

bool BoxInfoIn(CTarvexBox& box, CommandExchange& exchange, int item, int& value) {
    Answer answer;
    if (!RunExchange(box, exchange, ExchangeId::BoxInfo, answer, static_cast<uint32_t>(item))) return false;
    value = static_cast<int>(answer.numbers[1]);
    Log(100, fmt::sprintf("+ %s : INFOGET(%d) : %d", box.ExchangeLabel(), static_cast<int>(answer.numbers[0]), value));
    return true;
}

// The line of one information item in the log.
void LogInfoItem(const std::string& label, int item, int value, bool menuWording) {
    switch (item) {
        case kUsbDecoderId: Log(0, fmt::sprintf("+ %s : DecoderID : A-%d", label, value)); break;
        case kUsbFirmware: Log(0, fmt::sprintf("+ %s : Firmware version: %.1f", label, value / 10.0)); break;
        case kUsbHardware: Log(0, fmt::sprintf("+ %s : Hardware version: %.1f", label, value / 10.0)); break;
        case kUsbBoxType:
            Log(0, fmt::sprintf(menuWording ? "+ %s : Box: %s" : "+ %s : Box Type: %s", label, UsbBoxTypeName(value)));
            break;
        default: break;
    }
}

}  // namespace

std::string UsbBoxTypeName(int type) {
    switch (type) {
        case 10: return "active-ext";
        case 30: return "management-box";
        case 40: return "usb-timing-box";
        default: return fmt::sprintf("unknown-type: 0x%02x", static_cast<unsigned>(type) & 0xFFu);
    }
}

bool TicksToTime(CTarvexBox& box, uint32_t ticks, CChrono& absolute) {
    if (UsbTicksToTime(box.epochReference, ticks, absolute)) return true;
    Log(0, fmt::sprintf(Tr("+ %s : Error while decoding Epoch Ref: %s", "+ %s : Erreur dans le décodage de l'Epoch Ref : %s"),
                        box.ExchangeLabel(), PrintableExcerpt(box.epochReference)));
    return false;
}

void InitializeUsbBox(CTarvexBox& box, CommandExchange& exchange) {
    BusyMark busy(box);
    const std::string label = box.Label();
    CComBox* transport = box.Transport();
    if (!transport || !transport->SetSerialDTR(false)) ReportDtrRefusedAtStart(box);
    Pause(kDtrSettleMs);

    Log(0, fmt::sprintf(Tr("+ %s : Initialize communication", "+ %s : Initialisation de la communication"), label));
    std::string error;
    if (exchange.Send("ASCII", error)) {
        std::string response;
        exchange.WaitResponse("ASCII/COMMANDNOTEXISTING", Seconds(box), response);
    } else {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command ASCII : %s", "## %s : Erreur envoi de commande ASCII : %s"),
                            label, error));
    }

    Log(0, fmt::sprintf(Tr("+ %s : Get USB TimingBox information",
                           "+ %s : Récupération d'informations sur l'USB TimingBox"),
                        label));
    int firmware = -1;
    for (int item = kUsbDecoderId; item <= kUsbBoxType; ++item) {
        int value = 0;
        if (!BoxInfoIn(box, exchange, item, value)) continue;
        LogInfoItem(label, item, value, false);
        if (item == kUsbFirmware) firmware = value;
    }

    Log(0, fmt::sprintf(Tr("+ %s : Get USB TimingBox time", "+ %s : Récupération de l'heure de l'USB TimingBox"), label));
    EpochReferenceIn(box, exchange);
    if (NotSynchronised(box.epochReference)) {
        Log(0, fmt::sprintf(Tr("+ %s : Synchronization of USB TimingBox", "+ %s : Synchronisation de l'USB TimingBox"),
                            label));
        SynchronizeIn(box, exchange);
    }

    // Only a version the box gave is judged: no answer is no reason to call it too low.
    if (firmware >= 0 && firmware < kFirmwareRequired) {
        const std::string text = fmt::sprintf(
            Tr("Firmware version of USB TimingBox is too low (%.1f). Version 2.5 requested!",
               "La version du firmware de l'USB TimingBox n'est pas suffisante (%.1f). Version 2.5 requise !"),
            firmware / 10.0);
        Log(0, fmt::sprintf("+ %s : %s", label, text));
        if (BoxHost* host = box.Host()) host->ShowWarning(text);
    }
    Log(0, fmt::sprintf(Tr("+ %s : StartAcquisition done", "+ %s : Initialisation de l'acquisition effectuée"), label));
}

void ResetUsbBox(CTarvexBox& box) {
    UsbTurn turn(box);
    const std::string label = box.ExchangeLabel();
    Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox Reset", "+ %s : Demande de Reset USB TimingBox"), label));
    Answer answer;
    RunExchange(box, turn.Exchange(), ExchangeId::Reset, answer);
    Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox reset done", "+ %s : USB TimingBox remise à 0"), label));
}

bool SynchronizeUsbBox(CTarvexBox& box) {
    UsbTurn turn(box);
    return SynchronizeIn(box, turn.Exchange());
}

bool GetEpochReference(CTarvexBox& box) {
    UsbTurn turn(box);
    return EpochReferenceIn(box, turn.Exchange());
}

bool UsableEpochReference(const CTarvexBox& box) {
    CChrono unused;
    return !NotSynchronised(box.epochReference) && UsbTicksToTime(box.epochReference, 0, unused);
}

bool RenewEpochReference(CTarvexBox& box, CommandExchange& exchange) {
    EpochReferenceIn(box, exchange);
    // A box that answers "0;0" counts from nothing: set it, as at its initialisation.
    if (NotSynchronised(box.epochReference) && !box.cancelRequested.load()) {
        Log(0, fmt::sprintf(Tr("+ %s : Synchronization of USB TimingBox", "+ %s : Synchronisation de l'USB TimingBox"),
                            box.Label()));
        SynchronizeIn(box, exchange);
    }
    return UsableEpochReference(box);
}

bool AdjustEpochReference(CTarvexBox& box) {
    UsbTurn turn(box);
    Answer answer;
    if (!RunExchange(box, turn.Exchange(), ExchangeId::AdjustEpoch, answer)) return false;
    Log(75, fmt::sprintf(Tr("+ %s : New EPOCH REF received: %s", "+ %s : Nouvel EPOCH REF reçu : %s"),
                         box.ExchangeLabel(), answer.reply.valueLine));
    StoreReference(box, answer);
    return true;
}

bool GetUsbBoxTime(CTarvexBox& box) {
    UsbTurn turn(box);
    CChrono computer(CChrono::kNowOfDay);
    Answer answer;
    if (!RunExchange(box, turn.Exchange(), ExchangeId::BoxTime, answer)) return false;
    CChrono boxTime;
    if (!TicksToTime(box, answer.numbers[0], boxTime)) return false;
    Log(0, fmt::sprintf(Tr("+ %s : Date %s  %s (time got at %s)", "+ %s : Date %s  %s (heure reçue à %s)"),
                        box.ExchangeLabel(), boxTime.FormatDate(), boxTime.FormatClockHundredths(),
                        computer.FormatHundredths()));
    return true;
}

bool GetPassingInfo(CTarvexBox& box, UsbPassingInfo& info) {
    UsbTurn turn(box);
    Answer answer;
    if (!RunExchange(box, turn.Exchange(), ExchangeId::PassingInfo, answer)) return false;
    const std::string label = box.ExchangeLabel();
    info.count = static_cast<int>(answer.numbers[0]);
    info.firstIndex = answer.numbers[1];
    info.firstTicks = answer.numbers[2];
    info.lastIndex = answer.numbers[3];
    info.lastTicks = answer.numbers[4];
    Log(0, fmt::sprintf(Tr("+++ %s : %d passing(s) in USB TimingBox", "+++ %s : %d détection(s) dans l'USB TimingBox"),
                        label, info.count));
    if (info.count > 0) {
        CChrono first, last;
        if (TicksToTime(box, info.firstTicks, first) && TicksToTime(box, info.lastTicks, last)) {
            Log(0, fmt::sprintf(
                       Tr("+++ %s : First passing on  %s at %s (index: %d)  -  Last on %s at %s (index: %d)",
                          "+++ %s : Première le %s à %s (index: %d)  -  Dernière le %s à %s (index: %d)"),
                       label, first.FormatDate(), first.FormatClockHundredths(), info.firstIndex, last.FormatDate(),
                       last.FormatClockHundredths(), info.lastIndex));
        }
    }
    return true;
}

bool GetBoxInfo(CTarvexBox& box, int item, int& value) {
    UsbTurn turn(box);
    return BoxInfoIn(box, turn.Exchange(), item, value);
}

void ShowBoxInfo(CTarvexBox& box, int item) {
    int value = 0;
    if (GetBoxInfo(box, item, value)) LogInfoItem(box.ExchangeLabel(), item, value, true);
}

}  // namespace lv
