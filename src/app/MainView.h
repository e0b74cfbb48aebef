#pragma once
// What the main window's logic (MainController) asks of a window. Implemented by the
// Qt main window, the headless front end and a recording fake in tests. Every call
// is made on the UI thread.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Sounds.h"
#include "core/DetectionRecords.h"
#include "link/DirectLinkListener.h"

namespace lv {

enum class MessageIcon { Information, Warning, Error, Question };

// The four images of a box's status label.
enum class BoxVisualState { Undefined, NotConnected, Reconnecting, Connected };

// What shows under a box's image, every second.
struct BoxActivity {
    std::uint64_t reads = 0;         // passings the box sent since the program started
    int lastReadAgeSeconds = -1;     // -1: no read yet
    std::string text;                // short, under the image: "128\n12 s"
    std::string tooltip;             // "128 reads, the last one 12 s ago"
    // Connected, and nothing read for BoxSilence::kAfterSeconds: the box may not be
    // reading (a USB TimingBox not asked for its passings, a decoder stopped).
    bool silent = false;
};
enum class YesNoCancel { Yes, No, Cancel };

class MainView {
public:
    virtual ~MainView() = default;

    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
    // A yes/no question; true for yes. Enter answers No unless defaultYes: the questions
    // that stop the acquisition, forget, remove or disconnect are asked with No.
    virtual bool AskYesNo(const std::string& question, bool defaultYes) {
        (void)defaultYes;
        return AskYesNo(question);
    }
    // The same with No as the default answer.
    virtual bool AskYesNo(const std::string& question) = 0;
    // A yes/no/cancel question. A window without the third button answers as AskYesNo.
    virtual YesNoCancel AskYesNoCancel(const std::string& question) {
        return AskYesNo(question) ? YesNoCancel::Yes : YesNoCancel::No;
    }
    // A long operation of the UI thread (done in slices): its progress window shows
    // the title and the text; EndProgress closes it.
    virtual void ShowProgress(const std::string& title, const std::string& text) {
        (void)title;
        (void)text;
    }
    virtual void EndProgress() {}

    virtual void AddDetectionLine(const CDetectionItem& item) = 0;
    virtual void ClearDetectionLines() = 0;
    // Records changed state (remove/restore): redraw the lines.
    virtual void RefreshDetectionLines() = 0;
    virtual void AddSummaryItem(const CSummaryItem& item) = 0;
    virtual void ClearSummary() = 0;
    virtual void AddLogLine(const std::string& line) = 0;
    virtual void ClearLog() = 0;
    // The logger dropped its `count` oldest window lines; this comes in order with the
    // lines, so a window that keeps its own copy drops the same ones.
    virtual void DropOldestLogLines(std::size_t count) { (void)count; }

    // box is 0..3; label: "Boîtier 1 <description>\n<state text>" or the state text.
    virtual void SetBoxState(int box, BoxVisualState state, const std::string& label) = 0;
    virtual void SetCounterText(const std::string& text) = 0;
    // Every second, for each box: its reads and the age of its last read.
    virtual void SetBoxActivity(int box, const BoxActivity& activity) {
        (void)box;
        (void)activity;
    }
    // The four boxes' activity of this second has been given.
    virtual void BoxActivityShown() {}
    // The persistent alert of lost boxes ("Box 2 [..] lost since 10:42:13 —
    // reconnecting"), one line per box; empty hides it. It stays until the boxes are
    // back or the operator dismisses it (MainController::DismissLostBoxAlert).
    virtual void ShowLostBoxAlert(const std::string& text) { (void)text; }
    // An alert of one moment the operator must see, already logged at level 0 by its
    // caller: a box's passings wait for its clock, a box's memory started again,
    // published files that cannot reach a server (said once per cause).
    virtual void ShowOperatorAlert(const std::string& text) { (void)text; }
    // A detection file of an earlier run was resumed ("Detection file ... resumed: 120
    // detection(s), the last at 10:42:13.05; 3 to send to Quillet-Pro"): shown until the
    // operator dismisses it (MainController::DismissResumeNotice), with the reset of
    // the detection list at hand; empty hides it.
    virtual void ShowResumeNotice(const std::string& text) { (void)text; }
    // The clock buttons (synchronise, display clocks): enabled while a box is connected.
    virtual void SetClockButtonsEnabled(bool enabled) = 0;
    // Whether the connect button shows as pressed (boxes in use).
    virtual void SetConnectButtonDown(bool down) = 0;
    // Day offset indicator: hours (24, 48, 72) or 0 to hide it.
    virtual void SetDayOffsetIndicator(int hours) = 0;
    // Boxes are connecting or a clock command is under way in the background: the
    // window says so and offers no second connection meanwhile.
    virtual void SetBusy(bool busy) = 0;

    virtual void SetDirectLinkState(LinkVisualState state) = 0;
    // The direct connection was lost while switched on: shown (never in a modal box)
    // with a way to reconnect at once, until the link is back or switched off.
    virtual void ShowLinkLost(const std::string& text) { (void)text; }
    // That alert ends: `backText` says the link is back; empty when it was switched off.
    virtual void EndLinkLost(const std::string& backText) { (void)backText; }
    // Detections recorded but not yet delivered to the timing application.
    virtual void ShowForwardingBacklog(std::size_t waiting) { (void)waiting; }
    // Journal lines that could not be written yet (0: the journal has caught up).
    virtual void ShowJournalPending(std::size_t pendingLines) { (void)pendingLines; }
    virtual void SetRunnerDisplay(const RunnerDisplay& runner) = 0;

    virtual void PlaySound(Sound sound) = 0;
    virtual bool SpeechEnabled() const = 0;
    virtual void Speak(const std::string& text) = 0;
    virtual void BringToFront() = 0;
};

}  // namespace lv
