#pragma once
// The rules of the import dialog of decoder output files, in five steps: (1) the input
// file and its source menu, (2) the date and the time range with their marker menus,
// (3) the search, (4) the box id and the time correction, (5) import or save. The Qt
// dialog and the command line are thin fronts over this class. The search itself
// (DecoderFileSearch) runs where the front chooses: off the UI thread in the window.
#include <string>
#include <vector>

#include "import/DecoderFileSearch.h"
#include "import/ImportRecords.h"

namespace lv {

// The dialog's outcome handed to the main window.
struct ImportDialogResult {
    int code = 0;                          // CDlgImportTarvex::kImportCode or kSaveCode; 0: cancelled
    std::vector<CDetection> detections;
    std::string boxId;
    int correction = 0;                    // 0..3: 24 x correction hours added
    std::string outputPath;                // kSaveCode only
    std::vector<std::string> log;          // the dialog's log lines
};

class CDlgImportTarvex {
public:
    static constexpr int kImportCode = 16;
    static constexpr int kSaveCode = 17;
    static constexpr int kCorrectionCount = 4;
    // Limits of the date picker.
    static constexpr int kFirstYear = 2000;
    static constexpr int kLastYear = 2038;  // 1 January only

    // The control a refused step points at.
    enum class Field { None, StartTime, EndTime, InputFile, OutputFile };

    struct Date {
        int day = 1;
        int month = 1;
        int year = kFirstYear;
    };

    // What the dialog shows when it opens.
    struct Opening {
        Date date;
        std::string startTime;
        std::string endTime;
        std::string parseDir;
        std::string saveDir;
    };

    struct TimeMenuEntry {
        std::string text;   // as listed
        std::string value;  // what choosing it writes into the time box
    };

    // A search ready to run, or refused with the message and the field to focus.
    struct SearchStart {
        bool ok = false;
        std::string message;
        Field focus = Field::None;
        DecoderFileSearchRequest request;
    };

    // Save: refused (message, focus), or ready with the final path; `question` is set
    // when that file exists and the user must agree to replace it.
    struct SaveStart {
        bool ok = false;
        std::string message;
        Field focus = Field::None;
        std::string path;
        std::string question;
    };

    // --- Window texts ---
    static std::string Title();
    static std::vector<std::string> BoxIdEntries();       // "31     CLASSIC", "10     ".."30     "
    static std::string BoxIdOf(const std::string& entry); // first word of an entry
    static std::vector<std::string> CorrectionChoices();
    static std::string CorrectionLabel(int correction);   // "+24h".. or empty
    static std::string StartTimeTooltip();
    static std::string EndTimeTooltip();
    // The source menu (step 1): file, box files explorer on the boxes, on the cloud,
    // a separator (empty text), the customer credentials.
    enum class SourceEntry { File, BoxFiles, CloudFiles, Separator, Credentials };
    static std::vector<std::pair<SourceEntry, std::string>> SourceMenu();
    static std::string InputFileDialogTitle();
    static std::string InputFileFilter();
    static std::string OutputFileDialogTitle();
    static std::string OutputFileFilter();

    // --- Opening: remembered date and times (this run), folders (settings) ---
    // today: the date shown when none is remembered.
    Opening Open(const Date& today) const;

    // --- Time menus: markers of the last search ---
    static std::vector<TimeMenuEntry> StartTimeMenu();
    static std::vector<TimeMenuEntry> EndTimeMenu();

    // --- Step 3: checks the times and the input file, remembers date and times, and
    // builds the search. header: the two first lines of the log.
    SearchStart PrepareSearch(const Date& date, const std::string& startText, const std::string& endText,
                              const std::string& inputPath, bool showAbnormal, std::vector<std::string>& header) const;
    // A search starts: the log restarts with its header, and the last search's
    // detections are dropped (a failed or cancelled search leaves nothing to import).
    void BeginSearch(const std::vector<std::string>& header);
    // Takes the outcome of a search: its detections, its markers (for the time menus),
    // and its log lines after the header.
    void TakeSearchResult(DecoderFileSearchResult result);

    // --- Step 4 and 5 ---
    std::size_t Count() const { return detections_.size(); }
    // Import and Save are offered only with detections and a box id.
    bool CanFinish(bool boxIdSelected) const { return boxIdSelected && !detections_.empty(); }
    static std::string ImportQuestion();
    // Refused when the output is the file the last search read, under any name.
    SaveStart PrepareSave(const std::string& outputPath) const;

    // The dialog ends: what the main window gets (the detections move out).
    ImportDialogResult Finish(int code, const std::string& boxEntry, int correction, const std::string& outputPath);

    // On OK or Cancel: the folders of the input and output files go to the settings.
    static void SaveFolders(const std::string& inputPath, const std::string& outputPath);

    const std::vector<CDetection>& Detections() const { return detections_; }
    const std::vector<std::string>& LogLines() const { return log_; }
    void ClearLog() { log_.clear(); }
    // A line of another step of the import (a failed cloud request) shown with the search's.
    void AddLogLine(std::string line) { log_.push_back(std::move(line)); }

    // "result.QOX" stays, "result" becomes "result.qox", "result.txt" "result.txt.qox".
    static std::string ForceQoxExtension(const std::string& path);
    // The folder part of a path ("" when it has none).
    static std::string FolderOf(const std::string& path);

    // Program-wide memory of this run (tests reset it).
    static void ForgetRememberedForTests();

private:
    std::string searchedPath_;  // the file the detections were read from
    std::vector<CDetection> detections_;
    std::vector<std::string> log_;
};

}  // namespace lv
