#include "boxes/UsbBoxProtocol.h"

#include <cstdio>
#include <ctime>
#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/BoxHost.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbExchangeSteps.h"
#include "boxes/UsbPassingParser.h"

namespace lv {

using namespace usb;

namespace {

constexpr int kDtrSettleMs = 200;
constexpr int kDtrPulseMs = 200;
constexpr int kClockStepMs = 5;
constexpr int kResetSeconds = 8;
constexpr int kSyncLeadSeconds = 2;
constexpr int kFirmwareRequired = 25;

void NoResponse(const CTarvexBox& box, const char* english, const char* french) {
    Log(0, fmt::sprintf(Tr(english, french), box.ExchangeLabel()));
}

// Stores a reference value line (already checked to read as two numbers).
void StoreReference(CTarvexBox& box, const std::string& value) {
    uint32_t epoch = 0, ticks = 0;
    ReadHexPair(value, epoch, ticks);
    if (epoch == 0 && ticks == 0) {
        Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox is not synchronized!", "+ %s : USB TimingBox non synchronisée !"),
                            box.ExchangeLabel()));
    }
    box.epochReference = value;
}

bool EpochReferenceIn(CTarvexBox& box, CommandExchange& exchange) {
    UsbReply reply;
    Asked asked = Ask(box, exchange, "EPOCHREFGET", "EPOCHREFGET", Seconds(box), true, reply);
    if (asked == Asked::NoAnswer) {
        NoResponse(box, "+ %s : No response (5s) for EPOCHREFGET", "+ %s : Pas de réponse (5s) à EPOCHREFGET");
    }
    if (asked != Asked::Answered) return false;
    const std::string label = box.ExchangeLabel();
    if (UsbReplyStatus(reply.statusLine, "EPOCHREFGET") != 0) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in timestamp response status: %s)",
                               "+ %s : Erreur dans le status de la demande d'heure : %s"),
                            label, PrintableExcerpt(reply.statusLine)));
    }
    uint32_t epoch = 0, ticks = 0;
    if (!ReadHexPair(reply.valueLine, epoch, ticks)) {
        Log(0, fmt::sprintf(Tr("+ %s : Error while decoding Epoch Ref: %s",
                               "+ %s : Erreur dans le décodage de l'Epoch Ref : %s"),
                            label, PrintableExcerpt(reply.valueLine)));
        return false;
    }
    Log(75, fmt::sprintf(Tr("+ %s : EPOCH REF received: %s", "+ %s : EPOCH REF reçu : %s"), label, reply.valueLine));
    StoreReference(box, reply.valueLine);
    return true;
}

bool SynchronizeIn(CTarvexBox& box, CommandExchange& exchange) {
    const std::string label = box.ExchangeLabel();
    Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox synchronization", "+ %s : Demande de synchronisation USB TimingBox"),
                        label));
    const std::time_t second = std::time(nullptr) + kSyncLeadSeconds;
    std::string error;
    if (!exchange.Send(fmt::sprintf("EPOCHREFSET;%8x", static_cast<unsigned>(second)), error)) {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command: %s", "## %s : Erreur envoi de commande : %s"), label,
                            error));
        return false;
    }
    // The box takes the DTR edge as that very second.
    while (std::time(nullptr) < second && !box.cancelRequested.load()) Pause(kClockStepMs);
    CComBox* transport = box.Transport();
    if (!transport || !transport->SetSerialDTR(true)) Log(0, "SetSerialDTR failed...");
    Pause(kDtrPulseMs);
    if (!transport || !transport->SetSerialDTR(false)) Log(0, "SetSerialDTR failed...");
    Pause(kDtrPulseMs);

    std::string response;
    if (!exchange.WaitResponse("EPOCHREFSET", Seconds(box), response)) return false;
    UsbReply reply = SplitUsbReply(response);
    if (UsbReplyStatus(reply.statusLine, "EPOCHREFSET") != 0) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in synchronization response status: %s)",
                               "+ %s : Erreur dans le status de la synchronisation : %s"),
                            label, PrintableExcerpt(reply.statusLine)));
        return false;
    }
    uint32_t epoch = 0, ticks = 0;
    if (!ReadHexPair(reply.valueLine, epoch, ticks)) {
        Log(0, fmt::sprintf(Tr("+ %s : Error while decoding Epoch Ref: %s)",
                               "+ %s : Erreur dans le décodage de l'Epoch Ref : %s"),
                            label, PrintableExcerpt(reply.valueLine)));
        return false;
    }
    Log(75, fmt::sprintf(Tr("+ %s : EPOCH REF received: %s", "+ %s : EPOCH REF reçu : %s"), label, reply.valueLine));
    box.epochReference = reply.valueLine;
    Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox synchronized", "+ %s : USB TimingBox synchronisé"), label));
    return true;
}

bool BoxInfoIn(CTarvexBox& box, CommandExchange& exchange, int item, int& value) {
    UsbReply reply;
    Asked asked =
        Ask(box, exchange, fmt::sprintf("INFOGET;%02x", item), "INFOGET/INFOFGET", Seconds(box), true, reply);
    if (asked == Asked::NoAnswer) {
        NoResponse(box, "+ %s : No response (5s) for INFOGET", "+ %s : Pas de réponse (5s) à INFOGET");
    }
    if (asked != Asked::Answered) return false;
    const std::string label = box.ExchangeLabel();
    const std::size_t semicolon = reply.statusLine.find(';');
    const std::string statusText =
        semicolon == std::string::npos ? reply.statusLine : reply.statusLine.substr(semicolon + 1);
    int status = -1;
    if (std::sscanf(statusText.c_str(), "%d", &status) != 1 || status != 0) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in status response to INFOGET: %s)",
                               "+ %s : Erreur dans le status de la réponse à INFOGET : %s"),
                            label, PrintableExcerpt(reply.statusLine)));
    }
    uint32_t number = 0, read = 0;
    if (!ReadHexPair(reply.valueLine, number, read)) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in format in response to INFOGET: %s",
                               "+ %s : Erreur de format dans la réponse à INFOGET : %s"),
                            label, PrintableExcerpt(reply.valueLine)));
        return false;
    }
    value = static_cast<int>(read);
    Log(100, fmt::sprintf("+ %s : INFOGET(%d) : %d", label, static_cast<int>(number), value));
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
    if (!transport || !transport->SetSerialDTR(false)) Log(0, "## SetSerialDTR failed...");
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
    UsbReply reply;
    Ask(box, turn.Exchange(), "RESET", "RESTARTING/AUTOBOOT", kResetSeconds, false, reply);
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

bool AdjustEpochReference(CTarvexBox& box) {
    UsbTurn turn(box);
    UsbReply reply;
    Asked asked = Ask(box, turn.Exchange(), "EPOCHREFADJ1D", "EPOCHREFADJ1D", Seconds(box), true, reply);
    if (asked == Asked::NoAnswer) {
        NoResponse(box, "+ %s : No response (5s) for EPOCHREFADJ1D", "+ %s : Pas de réponse (5s) à EPOCHREFADJ1D");
    }
    if (asked != Asked::Answered) return false;
    const std::string label = box.ExchangeLabel();
    if (UsbReplyStatus(reply.statusLine, "EPOCHREFADJ1D") != 0) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in Epoch Ref 1 day adjustment: %s",
                               "+ %s : Erreur dans le status de l'ajustement (1 jour) de l'horloge : %s"),
                            label, PrintableExcerpt(reply.statusLine)));
    }
    uint32_t epoch = 0, ticks = 0;
    if (!ReadHexPair(reply.valueLine, epoch, ticks)) {
        Log(0, fmt::sprintf(Tr("+ %s : Error while decoding Epoch Ref: %s)",
                               "+ %s : Erreur dans le décodage de l'Epoch Ref : %s"),
                            label, PrintableExcerpt(reply.valueLine)));
        return false;
    }
    Log(75, fmt::sprintf(Tr("+ %s : New EPOCH REF received: %s", "+ %s : Nouvel EPOCH REF reçu : %s"), label,
                         reply.valueLine));
    StoreReference(box, reply.valueLine);
    return true;
}

bool GetUsbBoxTime(CTarvexBox& box) {
    UsbTurn turn(box);
    CChrono computer(CChrono::kNowOfDay);
    UsbReply reply;
    Asked asked = Ask(box, turn.Exchange(), "TIMESTAMPGET", "TIMESTAMPGET", Seconds(box), true, reply);
    if (asked == Asked::NoAnswer) {
        NoResponse(box, "+ %s : No response (5s) for TIMESTAMPGET", "+ %s : Pas de réponse (5s) à TIMESTAMPGET");
    }
    if (asked != Asked::Answered) return false;
    const std::string label = box.ExchangeLabel();
    if (UsbReplyStatus(reply.statusLine, "TIMESTAMPGET") != 0) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in timestamp response status: %s",
                               "+ %s : Erreur dans le status de la demande d'heure : %s"),
                            label, PrintableExcerpt(reply.statusLine)));
    }
    unsigned int ticks = 0;
    if (std::sscanf(reply.valueLine.c_str(), "%x", &ticks) != 1) {
        Log(0, fmt::sprintf(Tr("+ %s : Error while decoding timestamp response: %s",
                               "+ %s : Erreur dans le décodage de la demande d'heure : %s"),
                            label, PrintableExcerpt(reply.valueLine)));
        return false;
    }
    CChrono boxTime;
    if (!TicksToTime(box, ticks, boxTime)) return false;
    Log(0, fmt::sprintf(Tr("+ %s : Date %s  %s (time got at %s)", "+ %s : Date %s  %s (heure reçue à %s)"), label,
                        boxTime.FormatDate(), boxTime.FormatClockHundredths(), computer.FormatHundredths()));
    return true;
}

bool GetPassingInfo(CTarvexBox& box, UsbPassingInfo& info) {
    UsbTurn turn(box);
    UsbReply reply;
    Asked asked = Ask(box, turn.Exchange(), "PASSINGINFOGET", "PASSINGINFOGET", Seconds(box), true, reply);
    if (asked == Asked::NoAnswer) {
        NoResponse(box, "+ %s : No response (5s) for PASSINGINFOGET", "+ %s : Pas de réponse (5s) à PASSINGINFOGET");
    }
    if (asked != Asked::Answered) return false;
    const std::string label = box.ExchangeLabel();
    if (UsbReplyStatus(reply.statusLine, "PASSINGINFOGET") != 0) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in status response to PASSINGINFOGET: %s)",
                               "+ %s : Erreur dans le status de la réponse à PASSINGINFOGET : %s"),
                            label, PrintableExcerpt(reply.statusLine)));
    }
    unsigned int n[5] = {};
    if (std::sscanf(reply.valueLine.c_str(), "%x;%x;%x;%x;%x", &n[0], &n[1], &n[2], &n[3], &n[4]) != 5) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in format in response to PASSINGINFOGET: %s",
                               "+ %s : Erreur de format dans la réponse à PASSINGINFOGET : %s"),
                            label, PrintableExcerpt(reply.valueLine)));
        return false;
    }
    info.count = static_cast<int>(n[0]);
    info.firstIndex = static_cast<int>(n[1]);
    info.firstTicks = n[2];
    info.lastIndex = static_cast<int>(n[3]);
    info.lastTicks = n[4];
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
