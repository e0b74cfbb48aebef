// The reading of a USB TimingBox's passings by index, and the recording of each.
#include <algorithm>
#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/BoxHost.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbBoxProtocol.h"
#include "boxes/UsbExchangeSteps.h"

namespace lv {

using namespace usb;

namespace {

enum class PassingOutcome { Processed, NoTime };

// One passing line of a batch, at `index`: parsed, converted and handed to the one way
// in of detections.
PassingOutcome ProcessUsbPassing(CTarvexBox& box, BoxHost* host, int index, const std::string& line) {
    const std::string label = box.ExchangeLabel();
    // Every passing line counts as a read for the window, like a pushed passing.
    box.NoteRead();
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
    if (!host) {
        // Only a box that reports to no main window (tests of the exchanges) gets here.
        Log(0, fmt::sprintf("+ %s : Passing not recorded (no main window): %s", label, PrintableExcerpt(line)));
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

enum class BatchOutcome { Again, Done };

// One PASSINGGET request from passingIndex, and its passings. `askedFirstIndex`: the
// box already gave its first index in this reading (it is not asked twice).
BatchOutcome PassingBatch(CTarvexBox& box, bool& askedFirstIndex, int& recorded) {
    UsbTurn turn(box);
    const int index = box.passingIndex.load();
    const std::string indexText = fmt::sprintf("%08x", static_cast<unsigned>(index));
    const std::string label = box.ExchangeLabel();
    UsbReply reply;
    const int seconds = Seconds(box);
    Asked asked = Ask(box, turn.Exchange(), "PASSINGGET;" + indexText, "PASSINGGET", seconds, true, reply);
    if (asked == Asked::NoAnswer) {
        Log(0, fmt::sprintf(Tr("+ %s : No response (%ds) for PASSINGGET(%s)",
                               "+ %s : Pas de réponse (%ds) à PASSINGGET(%s)"),
                            label, seconds, indexText));
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
    std::size_t processed = 0;
    for (; processed < taken; ++processed) {
        const int passingAt = index + static_cast<int>(processed);
        if (ProcessUsbPassing(box, host, passingAt, reply.moreLines[processed]) == PassingOutcome::NoTime)
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

int GetPassings(CTarvexBox& box) {
    int recorded = 0;
    bool askedFirstIndex = false;
    while (PassingBatch(box, askedFirstIndex, recorded) == BatchOutcome::Again) {
        if (box.cancelRequested.load() || !box.IsConnected()) break;
    }
    return recorded;
}

}  // namespace lv
