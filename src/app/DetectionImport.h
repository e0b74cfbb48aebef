#pragma once
// What the main window does with the outcome of the import dialog: logs the dialog's
// lines, then imports the detections into the running detection table through the one
// way in of detections (journal line, counters, detection line; forwarded to the
// timing application only when the user chose to send them over the direct
// connection, held back otherwise), or saves them into a detection file. A detection already in the table is not added
// again, so importing a file twice, or the file of detections received live, doubles
// no passing. The import runs on the UI thread in slices, so the window keeps drawing.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/MainView.h"
#include "base/UiLoop.h"
#include "core/DetectionRecorder.h"
#include "import/DlgImportTarvex.h"
#include "import/ImportedDetections.h"

namespace lv {

class DirectLinkSession;

// The first lines logged for an outcome: the dialog's lines, each after "+++ ", what
// is to be imported or saved, and the hours added.
std::vector<std::string> ImportOutcomeLines(const ImportDialogResult& result);

// Saves an outcome of code 17; `lines` gets the lines to log. False with the message
// to show (and the system's reason, logged) when the file could not be written.
bool SaveImportOutcome(const ImportDialogResult& result, bool absoluteMode, const SaveProgress& progress,
                       std::vector<std::string>& lines, std::string& message);

class DetectionImport {
public:
    static constexpr std::size_t kSliceSize = 500;

    // link: the direct-link session of the window, when it has one.
    DetectionImport(UiLoop& ui, MainView& view, DetectionRecorder& recorder, std::function<DirectLinkSession*()> link,
                    std::function<bool()> absoluteClock, std::function<void()> openJournal);
    ~DetectionImport();

    // The dialog ended with import (16) or save (17). UI thread.
    void Handle(ImportDialogResult result);
    // An import into the table is still under way (the window offers no second one).
    bool Busy() const { return busy_; }
    // Exit: an import under way ends where it is, and says how far it got.
    void Stop();

    // What the last import did (tests, the log).
    struct Tally {
        std::size_t added = 0;
        std::size_t doubles = 0;
        std::size_t sent = 0;
        std::size_t notSent = 0;
    };
    const Tally& LastTally() const { return tally_; }

private:
    void StartImport(ImportDialogResult result, bool viaLink);
    void ImportSlice();
    void FinishImport();
    void Save(const ImportDialogResult& result);

    UiLoop& ui_;
    MainView& view_;
    DetectionRecorder& recorder_;
    std::function<DirectLinkSession*()> link_;
    std::function<bool()> absoluteClock_;
    std::function<void()> openJournal_;

    bool busy_ = false;
    bool viaLink_ = false;
    bool absolute_ = false;
    ImportDialogResult pending_;
    std::size_t next_ = 0;
    std::unordered_set<std::string> present_;  // detector, label and time text in the table
    Tally tally_;
    // Closures posted for the slices check it: the import ends with its owner.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace lv
