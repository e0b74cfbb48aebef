// The reading of a USB TimingBox's passings by index, and the recording of each.
#include <algorithm>
#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/BoxHost.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbAnswers.h"
#include "boxes/UsbBoxProtocol.h"
#include "boxes/UsbExchangeSteps.h"
#include "boxes/UsbExchanges.h"

namespace lv {

using namespace usb;

namespace {

// Requests of one passing that breaks its batch (unreadable, out of place) before it
// is taken as it is: a damaged line comes right the next time, a box that stores it
// so never does.
constexpr int kAsksPerPassing = 3;

enum class PassingOutcome { Processed, NoTime };

// One passing of a batch, converted and handed to the one way in of detections.
PassingOutcome ProcessUsbPassing(CTarvexBox& box, BoxHost* host, const UsbBatchPassing& passing) {
    const std::string label = box.ExchangeLabel();
    CChrono instant;
    // A box not synchronised ("0;0") counts from 1970: no time of this race either.
    if (NotSynchronised(box.epochReference) || !TicksToTime(box, passing.ticks, instant)) {
        // Never a record with an unset time: read again once the box has a reference.
        Log(0, fmt::sprintf(Tr("## %s : Passing %d (chip %s) has no usable time: reading stopped before it",
                               "## %s : Détection %d (puce %s) sans heure utilisable : lecture arrêtée avant elle"),
                            label, passing.index, passing.chip));
        return PassingOutcome::NoTime;
    }
    Log(0, fmt::sprintf("+ %s : ChipId %s - Date %s  %s", label, passing.chip, instant.FormatDate(),
                        instant.FormatClockHundredths()));
    Log(100, fmt::sprintf("%04d : %s", passing.index, PrintableExcerpt(passing.line)));
    if (!host) {
        // Only a box that reports to no main window (tests of the exchanges) gets here.
        Log(0, fmt::sprintf("+ %s : Passing not recorded (no main window): %s", label, PrintableExcerpt(passing.line)));
        return PassingOutcome::Processed;
    }
    Detection detection;
    detection.source = DetectionSource::UsbBox;
    detection.box = box.number.load();
    if (CComBox* transport = box.Transport()) detection.detectorId = transport->GetDetectorId();
    detection.code = passing.chip;
    detection.instant = instant;
    host->Record(detection);
    return PassingOutcome::Processed;
}

void TellOperator(CTarvexBox& box, const std::string& text) {
    if (BoxHost* host = box.Host()) {
        host->OperatorAlert(text);
    } else {
        Log(0, "######## " + text);
    }
}

// What one reading (GetPassings) keeps from batch to batch.
struct Reading {
    bool askedFirstIndex = false;  // the box gave its first index (it is not asked twice)
    bool memoryChecked = false;    // the box's count was compared with the index once
    uint32_t breakIndex = 0;       // the passing that last broke a batch ...
    int breakAsks = 0;             // ... and how many requests it broke
    int recorded = 0;
};

enum class BatchOutcome { Again, Done };

// Status 10 at an index above 0: nothing new, or a box whose memory started again (or
// another box on the port). Its count tells: the index is then beyond what it holds.
BatchOutcome NothingAtIndex(CTarvexBox& box, CommandExchange& exchange, Reading& reading, uint32_t index,
                            const std::string& indexText, const UsbBatch& batch) {
    const std::string label = box.ExchangeLabel();
    if (!reading.memoryChecked) {
        reading.memoryChecked = true;
        Answer answer;
        if (RunExchange(box, exchange, ExchangeId::PassingInfo, answer)) {
            const UsbPassingCounts counts{answer.numbers[0], answer.numbers[1], answer.numbers[2], answer.numbers[3],
                                          answer.numbers[4]};
            if (UsbMemoryBehind(counts, index)) {
                TellOperator(box, fmt::sprintf(
                    Tr("## %s : The USB TimingBox holds %u passing(s) (from index %08x), fewer than the index %s asked: its memory started again; its passings are read again from index 0",
                       "## %s : L'USB TimingBox contient %u détection(s) (depuis l'index %08x), moins que l'index %s demandé : sa mémoire est repartie de zéro ; ses détections sont relues depuis l'index 0"),
                    label, counts.count, counts.firstIndex, indexText));
                box.passingIndex.store(0);
                reading.askedFirstIndex = false;
                return BatchOutcome::Again;
            }
        }
    }
    Log(75, fmt::sprintf(Tr("+ %s : No new passings for PASSINGGET(%s): %s",
                            "+ %s : Plus de détections pour PASSINGGET(%s) : %s"),
                         label, indexText, PrintableExcerpt(batch.valueLine)));
    return BatchOutcome::Done;
}

// A batch whose run broke at `next`: asked again from there, or, when that passing
// broke every request, taken as it is (out of place) or left (unreadable).
BatchOutcome BrokenBatch(CTarvexBox& box, BoxHost* host, Reading& reading, uint32_t next,
                         const std::string& indexText, const UsbBatch& batch) {
    const std::string label = box.ExchangeLabel();
    if (batch.broken == UsbBatchBreak::Unreadable) {
        Log(0, fmt::sprintf(Tr("+ %s : Invalid passing format. Missing components. %d found, 12 expected: %s",
                               "+ %s : Passing format invalide. Manque de données. %d trouvées, 12 attendues: %s"),
                            label, batch.brokenComponents, PrintableExcerpt(batch.brokenLine)));
    }
    if (reading.breakIndex == next && reading.breakAsks > 0) {
        ++reading.breakAsks;
    } else {
        reading.breakIndex = next;
        reading.breakAsks = 1;
    }
    if (reading.breakAsks < kAsksPerPassing) {
        if (batch.broken == UsbBatchBreak::Unreadable) {
            Log(0, fmt::sprintf(Tr("## %s : PASSINGGET(%s): passing %08x unreadable; asked again from %08x",
                                   "## %s : PASSINGGET(%s) : détection %08x illisible ; redemandée à partir de %08x"),
                                label, indexText, next, next));
        } else {
            Log(0, fmt::sprintf(Tr("## %s : PASSINGGET(%s): index %08x received where %08x was expected: %s; asked again from %08x",
                                   "## %s : PASSINGGET(%s) : index %08x reçu à la place de %08x : %s ; redemandée à partir de %08x"),
                                label, indexText, batch.brokenIndex, next, PrintableExcerpt(batch.brokenLine), next));
        }
        return BatchOutcome::Again;
    }
    reading.breakAsks = 0;
    if (batch.broken == UsbBatchBreak::Unreadable) {
        Log(0, fmt::sprintf(Tr("## %s : Passing %08x unreadable in %d requests: left out, the reading goes on from %08x",
                               "## %s : Détection %08x illisible en %d demandes : écartée, la lecture reprend à %08x"),
                            label, next, kAsksPerPassing, NextUsbIndex(next)));
        box.passingIndex.store(NextUsbIndex(next));
        return BatchOutcome::Again;
    }
    // The box keeps this line in this place: it is its passing there, whatever it says.
    Log(0, fmt::sprintf(Tr("## %s : Passing %08x named index %08x in %d requests: taken as passing %08x",
                           "## %s : La détection %08x porte l'index %08x en %d demandes : prise comme détection %08x"),
                        label, next, batch.brokenIndex, kAsksPerPassing, next));
    UsbPassing parsed;
    ParseUsbPassing(batch.brokenLine, parsed);
    UsbBatchPassing passing{next, parsed.chip, parsed.ticks, batch.brokenLine};
    if (ProcessUsbPassing(box, host, passing) == PassingOutcome::NoTime) return BatchOutcome::Done;
    ++reading.recorded;
    box.passingIndex.store(NextUsbIndex(next));
    return BatchOutcome::Again;
}

// One PASSINGGET request from passingIndex, and its passings.
BatchOutcome PassingBatch(CTarvexBox& box, Reading& reading) {
    UsbTurn turn(box);
    const uint32_t index = box.passingIndex.load();
    const std::string indexText = fmt::sprintf("%08x", index);
    const std::string label = box.ExchangeLabel();
    std::string text;
    const int seconds = Seconds(box);
    Asked asked = AskRaw(box, turn.Exchange(), "PASSINGGET;" + indexText, "PASSINGGET", seconds, true, text);
    if (asked == Asked::NoAnswer) {
        Log(0, fmt::sprintf(Tr("+ %s : No response (%ds) for PASSINGGET(%s)",
                               "+ %s : Pas de réponse (%ds) à PASSINGGET(%s)"),
                            label, seconds, indexText));
    }
    if (asked != Asked::Answered) return BatchOutcome::Done;

    const UsbBatch batch = DecodePassingBatch(text, index);
    if (batch.status == 10) {
        // At index 0 the box names its first index, once: a box that names 0 again has
        // nothing to give, and asking again would never end.
        if (index == 0 && batch.valueRead && batch.first == 0 && batch.announced != 0 && !reading.askedFirstIndex) {
            reading.askedFirstIndex = true;
            box.passingIndex.store(batch.announced);
            return BatchOutcome::Again;
        }
        if (index == 0 && !(batch.valueRead && batch.first == 0)) {
            Log(0, fmt::sprintf(Tr("+ %s : Error in index in response to PASSINGGET(%s): %s",
                                   "+ %s : Erreur de l'index dans la réponse à PASSINGGET(%s) : %s"),
                                label, indexText, PrintableExcerpt(batch.valueLine)));
            return BatchOutcome::Done;
        }
        if (index == 0) {
            Log(75, fmt::sprintf(Tr("+ %s : No new passings for PASSINGGET(%s): %s",
                                    "+ %s : Plus de détections pour PASSINGGET(%s) : %s"),
                                 label, indexText, PrintableExcerpt(batch.valueLine)));
            return BatchOutcome::Done;
        }
        return NothingAtIndex(box, turn.Exchange(), reading, index, indexText, batch);
    }
    if (batch.status != 0) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in status response to PASSINGGET(%s): %s)",
                               "+ %s : Erreur dans le status de la réponse à PASSINGGET(%s) : %s"),
                            label, indexText, PrintableExcerpt(batch.statusLine)));
        return BatchOutcome::Done;
    }
    if (!batch.valueRead) {
        Log(0, fmt::sprintf(Tr("+ %s : Error in format of response to PASSINGGET(%s): %s",
                               "+ %s : Erreur de format dans la réponse à PASSINGGET(%s) : %s"),
                            label, indexText, PrintableExcerpt(batch.valueLine)));
        return BatchOutcome::Done;
    }
    BoxHost* host = box.Host();
    uint32_t next = index;
    for (const UsbBatchPassing& passing : batch.passings) {
        // Every passing line counts as a read for the window, like a pushed passing.
        box.NoteRead();
        if (ProcessUsbPassing(box, host, passing) == PassingOutcome::NoTime) {
            box.passingIndex.store(next);
            return BatchOutcome::Done;
        }
        ++reading.recorded;
        next = NextUsbIndex(next);
    }
    box.passingIndex.store(next);
    switch (batch.broken) {
        case UsbBatchBreak::Unreadable:
        case UsbBatchBreak::OutOfOrder:
            box.NoteRead();
            return BrokenBatch(box, host, reading, next, indexText, batch);
        case UsbBatchBreak::Missing:
            // A short batch: the next reading starts from its first missing passing.
            Log(0, fmt::sprintf(Tr("## %s : PASSINGGET(%s) announced %d passing(s), %d received",
                                   "## %s : PASSINGGET(%s) annonçait %d détection(s), %d reçue(s)"),
                                label, indexText, batch.announced, static_cast<unsigned>(batch.passings.size())));
            return BatchOutcome::Done;
        case UsbBatchBreak::None:
            break;
    }
    if (batch.extraLines > 0) {
        Log(0, fmt::sprintf(Tr("## %s : PASSINGGET(%s): %u line(s) after the %u announced passing(s), left out",
                               "## %s : PASSINGGET(%s) : %u ligne(s) après les %u détection(s) annoncées, écartée(s)"),
                            label, indexText, static_cast<unsigned>(batch.extraLines), batch.announced));
    }
    return batch.announced == static_cast<uint32_t>(kUsbPassingBatch) ? BatchOutcome::Again : BatchOutcome::Done;
}

// The passings wait while the box has no usable reference: it is asked for again at
// each reading, and the operator is told once when they start and once when they end
// waiting.
bool ReferenceReady(CTarvexBox& box) {
    bool usable = false;
    {
        UsbTurn turn(box);
        usable = UsableEpochReference(box) || RenewEpochReference(box, turn.Exchange());
    }
    if (!usable) {
        if (!box.usbWaitsForReference.exchange(true)) {
            TellOperator(box, fmt::sprintf(
                Tr("## %s : USB TimingBox without a usable time reference: its passings wait, the reference is asked for again",
                   "## %s : USB TimingBox sans référence de temps utilisable : ses détections attendent, la référence est redemandée"),
                box.ExchangeLabel()));
        }
        return false;
    }
    if (box.usbWaitsForReference.exchange(false)) {
        TellOperator(box, fmt::sprintf(
            Tr("## %s : USB TimingBox time reference received: its waiting passings are read",
               "## %s : Référence de temps de l'USB TimingBox reçue : ses détections en attente sont lues"),
            box.ExchangeLabel()));
    }
    return true;
}

}  // namespace

int GetPassings(CTarvexBox& box) {
    if (!ReferenceReady(box)) return 0;
    Reading reading;
    while (PassingBatch(box, reading) == BatchOutcome::Again) {
        if (box.cancelRequested.load() || !box.IsConnected()) break;
    }
    return reading.recorded;
}

}  // namespace lv
