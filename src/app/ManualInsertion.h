#pragma once
// Manual time insertion: the rules of the "Manual bib number input" dialog (what it
// shows when it opens, what OK accepts) and the recording of the accepted entry
// through the main window, like a box detection. The dialog itself is a thin view
// over this class.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/DetectionRecorder.h"
#include "core/Chrono.h"

namespace lv {

// One of the four box slots, as the insertion sees it.
struct ManualBoxSlot {
    std::string detectorId;
    std::string host;
};

// What OK hands to the main window.
struct ManualEntry {
    CChrono time;            // absolute instant: today at the entered time of day
    int32_t bib = 0;
    std::string label;       // the record label: the bib, or its chip code
    std::string detector;    // the chosen detector id
    int correction = 0;      // 0..3: 24 x correction hours added to the time of day
};

// The control a refused OK points at.
enum class ManualField { None, Bib, Time, Detector };

struct ManualValidation {
    bool ok = false;
    std::string warning;      // the warning box text when refused
    ManualField field = ManualField::None;
    bool clearBib = false;    // the bib edit is emptied
    ManualEntry entry;        // filled when ok
};

// What the dialog shows when it opens.
struct ManualOpening {
    CChrono moment;                 // the moment of opening (absolute)
    std::string insertTimeLabel;
    std::string timeText;
    std::vector<std::string> detectors;
    int detectorIndex = -1;         // -1: nothing to select
    int correction = 0;
};

class ManualInsertion {
public:
    static constexpr int kCorrectionCount = 4;

    // Window texts.
    static std::string DialogTitle();
    static std::vector<std::string> CorrectionChoices();
    // "+24h", "+48h", "+72h"; empty for 0 (label and icon hidden).
    static std::string CorrectionLabel(int correction);

    // The main window's check before opening: false with the warning text when
    // chip codes are recorded (sendNumbers off) and no chip translation table holds
    // an entry.
    static bool CanInsert(bool sendNumbers, std::string& warning);
    // Detector ids of the slots whose detector id and host are both set, in order.
    static std::vector<std::string> DetectorList(const std::array<ManualBoxSlot, 4>& slots);
    // The correction preset: k when today is the race's k-th day, else 0.
    static int CorrectionForToday(const std::array<std::string, 4>& raceDays,
                                  const std::string& todayCompact);

    // The dialog's opening, at the present moment.
    ManualOpening Open(const std::vector<std::string>& detectors,
                       const std::array<std::string, 4>& raceDays) const;

    // OK: checks bib, label, time and detector in this order; on success remembers
    // the detector index for the next opening.
    ManualValidation Validate(std::string_view bibText, std::string_view timeText,
                              const std::vector<std::string>& detectors, int detectorIndex,
                              int correction, bool sendNumbers);

    int RememberedDetectorIndex() const { return rememberedDetector_; }

    // The main window's side of OK: records the entry through the one way in of
    // detections (its line, sound, counters and forwarding follow from there) and logs
    // it. Returns the record, nullptr when recording failed.
    static const CQoxResult* Record(DetectionRecorder& recorder, const ManualEntry& entry);
    // The time of day recorded for an entry: its instant's time of day plus
    // 24 x correction hours.
    static CChrono EntryTimeOfDay(const ManualEntry& entry);

private:
    int rememberedDetector_ = 0;  // kept until the program exits
};

}  // namespace lv
