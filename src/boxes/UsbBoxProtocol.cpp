#include "boxes/UsbBoxProtocol.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fmt/printf.h>
#include <thread>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/BoxHost.h"
#include "boxes/CommandExchange.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbPassingParser.h"
#include "core/ChipTable.h"

namespace lv {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kPauseBeforeSendMs = 100;
constexpr int kDtrSettleMs = 200;
constexpr int kDtrPulseMs = 200;
constexpr int kClockStepMs = 5;
constexpr int kResetSeconds = 8;
constexpr int kSyncLeadSeconds = 2;
constexpr int kFirmwareRequired = 25;

void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// usbBusy for the length of one exchange, within the box's turn.
class BusyMark {
public:
    explicit BusyMark(CTarvexBox& box) : box_(box) { box_.usbBusy.store(true); }
    ~BusyMark() { box_.usbBusy.store(false); }
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

// Sends `command` and waits for `expected`. A command that cannot be sent is logged
// here; the exchange logs a wait that fails.
Asked Ask(CTarvexBox& box, CommandExchange& exchange, const std::string& command, const char* expected,
          int seconds, bool pauseFirst, UsbReply& reply) {
    if (pauseFirst) Pause(kPauseBeforeSendMs);
    std::string error;
    if (!exchange.Send(command, error)) {
        Log(0, fmt::sprintf(Tr("## %s : Error sending command: %s", "## %s : Erreur envoi de commande : %s"),
                            box.ExchangeLabel(), error));
        return Asked::NotSent;
    }
    std::string response;
    if (!exchange.WaitResponse(expected, seconds, response)) return Asked::NoAnswer;
    reply = SplitUsbReply(response);
    return Asked::Answered;
}

int Seconds(const CTarvexBox& box) { return box.ResponseSeconds(); }

void NoResponse(const CTarvexBox& box, const char* english, const char* french) {
    Log(0, fmt::sprintf(Tr(english, french), box.ExchangeLabel()));
}

bool NotSynchronised(const std::string& reference) {
    uint32_t epoch = 0, ticks = 0;
    return reference.empty() || (ReadHexPair(reference, epoch, ticks) && epoch == 0 && ticks == 0);
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

enum class PassingOutcome { Processed, NoTime };

// One passing line of a batch, at `index`: parsed, converted, recorded and shown.
PassingOutcome ProcessUsbPassing(CTarvexBox& box, BoxHost* host, const IntakeSettings& settings, int index,
                                 const std::string& line) {
    const std::string label = box.ExchangeLabel();
    UsbPassing passing;
    const int components = ParseUsbPassing(line, passing);
    if (components < kUsbPassingComponents) {
        Log(0, fmt::sprintf(Tr("+ %s : Invalid passing format. Missing components. %d found, 12 expected: %s",
                               "+ %s : Passing format invalide. Manque de données. %d trouvées, 12 attendues: %s"),
                            label, components, PrintableExcerpt(line)));
        return PassingOutcome::Processed;
    }
    CChrono instant;
    // A box not synchronised ("0;0") counts from 1970: no time of this race either.
    if (NotSynchronised(box.epochReference) || !TicksToTime(box, passing.ticks, instant)) {
        // Never a record with an unset time: read again once the box has a reference.
        Log(0, fmt::sprintf(Tr("## %s : Passing %d (chip %s) has no usable time: reading stopped before it",
                               "## %s : Détection %d (puce %s) sans heure utilisable : lecture arrêtée avant elle"),
                            label, index, passing.chip));
        return PassingOutcome::NoTime;
    }
    Log(0, fmt::sprintf("+ %s : ChipId %s - Date %s  %s", label, passing.chip, instant.FormatDate(),
                        instant.FormatClockHundredths()));
    Log(100, fmt::sprintf("%04d : %s", index, PrintableExcerpt(line)));

    CChrono ofDay = instant;
    ofDay.AbsoluteToOfDay();
    const std::string date = instant.FormatDateCompact();
    int dayIndex = -1;
    for (int k = 0; k < static_cast<int>(settings.raceDays.size()); ++k) {
        if (!settings.raceDays[k].empty() && settings.raceDays[k] == date) {
            dayIndex = k;
            break;
        }
    }
    if (dayIndex < 0) {
        Log(0, Tr("### Caution: Box and Computer dates seem incompatible!",
                  "### Attention: Incompatibilité de date boîtier / ordinateur !"));
    } else if (dayIndex > 0) {
        ofDay = ofDay + CChrono(24 * 3600 * dayIndex, 0);
    }

    const std::string description = box.GetDescription();
    std::string recorded = passing.chip;
    std::string shown;
    if (!settings.sendNumbers) {
        shown = fmt::sprintf("%s\t%s", description, passing.chip);
    } else {
        CQoxTableLocker tableLock;
        int32_t bib = -1;
        if (ChipTableCount() == 0) {
            shown = fmt::sprintf("%s\t%s !!!", description, passing.chip);
        } else if (FindBib(passing.chip, bib) && bib >= 0) {
            recorded = fmt::sprintf("%u", static_cast<uint32_t>(bib));
            shown = fmt::sprintf("%s\t# %u", description, static_cast<uint32_t>(bib));
        } else {
            shown = fmt::sprintf("%s\t%s ???", description, passing.chip);
        }
    }
    if (!host) {
        // Only a box that reports to no main window (tests of the exchanges) gets here.
        Log(0, fmt::sprintf("+ %s : Passing not recorded (no main window): %s", label, PrintableExcerpt(line)));
        return PassingOutcome::Processed;
    }
    CComBox* transport = box.Transport();
    const std::string detectorId = transport ? transport->GetDetectorId() : std::string();
    const CQoxResult* record = host->RecordDetection(recorded, detectorId, instant, ofDay);
    host->RefreshCounters();
    if (host->LogDetectionsEnabled()) {
        host->ShowDetection(shown, record, ofDay);
        if (settings.beepDetections) host->PlaySound(Sound::Detection);
    }
    return PassingOutcome::Processed;
}

enum class BatchOutcome { Again, Done };

// One PASSINGGET request from passingIndex, and its passings. `askedFirstIndex`: the
// box already gave its first index in this reading (it is not asked twice).
BatchOutcome PassingBatch(CTarvexBox& box, bool& askedFirstIndex, int& recorded) {
    UsbTurn turn(box);
    const int index = box.passingIndex.load();
    const std::string indexText = fmt::sprintf("%08x", static_cast<unsigned>(index));
    const std::string label = box.ExchangeLabel();
    UsbReply reply;
    Asked asked = Ask(box, turn.Exchange(), "PASSINGGET;" + indexText, "PASSINGGET", Seconds(box), true, reply);
    if (asked == Asked::NoAnswer) {
        Log(0, fmt::sprintf(Tr("+ %s : No response (5s) for PASSINGGET(%s)", "+ %s : Pas de réponse (5s) à PASSINGGET(%s)"),
                            label, indexText));
    }
    if (asked != Asked::Answered) return BatchOutcome::Done;

    const int status = UsbReplyStatus(reply.statusLine, "PASSINGGET");
    if (status == 10) {
        uint32_t zero = 1, first = 0;
        const bool read = ReadHexPair(reply.valueLine, zero, first);
        // At index 0 the box names its first index, once: a box that names 0 again has
        // nothing to give, and asking again would never end.
        if (index == 0 && read && zero == 0 && first != 0 && !askedFirstIndex) {
            askedFirstIndex = true;
            box.passingIndex.store(static_cast<int>(first));
            return BatchOutcome::Again;
        }
        if (index == 0 && !(read && zero == 0)) {
            Log(0, fmt::sprintf(Tr("+ %s : Error in index in response to PASSINGGET(%s): %s",
                                   "+ %s : Erreur de l'index dans la réponse à PASSINGGET(%s) : %s"),
                                label, indexText, PrintableExcerpt(reply.valueLine)));
            return BatchOutcome::Done;
        }
        Log(75, fmt::sprintf(Tr("+ %s : No new passings for PASSINGGET(%s): %s",
                                "+ %s : Plus de détections pour PASSINGGET(%s) : %s"),
                             label, indexText, PrintableExcerpt(reply.valueLine)));
        return BatchOutcome::Done;
    }
    if (status != 0) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in status response to PASSINGGET(%s): %s)",
                               "+ %s : Erreur dans le status de la réponse à PASSINGGET(%s) : %s"),
                            label, indexText, PrintableExcerpt(reply.statusLine)));
        return BatchOutcome::Done;
    }
    uint32_t first = 0, announced = 0;
    if (!ReadHexPair(reply.valueLine, first, announced)) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in format of response to PASSINGGET(%s): %s",
                               "+ %s : Erreur de format dans la réponse à PASSINGGET(%s) : %s"),
                            label, indexText, PrintableExcerpt(reply.valueLine)));
        return BatchOutcome::Done;
    }
    // The lines actually received count, never more than announced: a short batch is
    // asked again from its first missing passing, not skipped.
    std::size_t lines = reply.moreLines.size();
    while (lines > 0 && reply.moreLines[lines - 1].empty()) --lines;
    const std::size_t taken = std::min<std::size_t>(announced, lines);
    BoxHost* host = box.Host();
    const IntakeSettings settings = host ? host->CurrentIntakeSettings() : IntakeSettings{};
    std::size_t processed = 0;
    for (; processed < taken; ++processed) {
        const int passingAt = index + static_cast<int>(processed);
        if (ProcessUsbPassing(box, host, settings, passingAt, reply.moreLines[processed]) == PassingOutcome::NoTime)
            break;
        ++recorded;
    }
    box.passingIndex.store(index + static_cast<int>(processed));
    if (processed < taken) return BatchOutcome::Done;
    if (taken < announced) {
        Log(0, fmt::sprintf(Tr("## %s : PASSINGGET(%s) announced %d passing(s), %d received",
                               "## %s : PASSINGGET(%s) annonçait %d détection(s), %d reçue(s)"),
                            label, indexText, static_cast<int>(announced), static_cast<int>(taken)));
        return BatchOutcome::Done;
    }
    return announced == static_cast<uint32_t>(kUsbPassingBatch) ? BatchOutcome::Again : BatchOutcome::Done;
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

int GetPassings(CTarvexBox& box) {
    int recorded = 0;
    bool askedFirstIndex = false;
    while (PassingBatch(box, askedFirstIndex, recorded) == BatchOutcome::Again) {
        if (box.cancelRequested.load() || !box.IsConnected()) break;
    }
    return recorded;
}

}  // namespace lv
