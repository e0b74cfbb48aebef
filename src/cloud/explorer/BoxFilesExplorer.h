#pragma once
// The rules of the box files explorer (CDlgBoxFiles), without any widget: the boxes or
// cloud devices offered, the listing of one entry's stored files, the buttons, the
// destination folder and the download into "TX_<file id>.txt". Every request runs on a
// worker thread (one at a time, cancellable); its outcome comes back through the UI
// loop. All calls are made on the UI thread.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/UiLoop.h"
#include "boxes/DetectionFile.h"
#include "cloud/CloudClient.h"
#include "cloud/explorer/BoxFilesSource.h"

namespace lv {

struct ExplorerButtons {
    bool download = false;
    bool refresh = false;
    bool copyUrl = false;
    bool removeFiles = false;
};

// What the explorer asks of its window.
class BoxFilesView {
public:
    enum class Icon { Information, Warning };

    virtual ~BoxFilesView() = default;
    virtual void ShowEntries(const std::vector<std::string>& entries, int selected) = 0;
    // The files list; `enabled` false: one information line, greyed.
    virtual void ShowFileLines(const std::vector<std::string>& lines, bool enabled) = 0;
    virtual void ShowButtons(const ExplorerButtons& buttons) = 0;
    virtual void ShowDestination(const std::string& folder) = 0;
    // A request runs: the window shows it is busy and offers only Cancel.
    virtual void ShowBusy(bool busy) = 0;
    virtual void ShowMessage(const std::string& text, Icon icon) = 0;
    virtual bool AskYesNo(const std::string& question) = 0;
    virtual void PlayAlert() = 0;
    virtual void CopyToClipboard(const std::string& text) = 0;
    virtual void Close(bool accepted) = 0;
};

class BoxFilesExplorer {
public:
    static constexpr int kFirstListingDelayMs = 200;

    // `connection` is copied; its cancel flag is replaced by the explorer's own.
    BoxFilesExplorer(BoxFilesSource source, UiLoop& ui, BoxFilesView& view,
                     CloudConnection connection = CloudConnection::FromSettings());
    // Cancels a running request and waits for its thread.
    ~BoxFilesExplorer();
    BoxFilesExplorer(const BoxFilesExplorer&) = delete;
    BoxFilesExplorer& operator=(const BoxFilesExplorer&) = delete;

    // The dialog opened: entries, first listing timer, destination.
    void Open();
    void SelectEntry(int index);
    void Refresh();
    void SelectLine(int line);  // -1: no line
    void Download(const std::string& destinationText);
    // The folder chooser returned `chosen` while the box showed `current`.
    void ChooseFolder(const std::string& chosen, const std::string& current);
    void CopyUrl();
    void RemoveFiles();
    // Cancel: ends a running request (the dialog stays open with its outcome), or,
    // with none running, closes without a file.
    void Cancel();
    // Closes at once (a running request is cancelled).
    void Close();

    bool Busy() const { return busy_; }
    // The downloaded file; empty unless a download succeeded.
    const std::string& OutputPath() const { return outputPath_; }
    const std::vector<std::string>& Entries() const { return entries_; }
    const std::vector<std::string>& FileLines() const { return lines_; }
    int SelectedEntry() const { return selectedEntry_; }
    const ExplorerButtons& Buttons() const { return buttons_; }

private:
    struct Listing;
    struct Fetch;

    void FillCloudEntries();
    void ListSelectedEntry();
    void OnListed(Listing& listing);
    void OnDownloaded(Fetch& fetch);
    void ShowInformationLine(const std::string& line);
    void UpdateButtons();
    // Runs `work` on the worker thread, then `done` on the UI thread (unless the
    // explorer has gone).
    void RunInBackground(std::function<void()> work, std::function<void()> done);
    void JoinWorker();

    BoxFilesSource source_;
    UiLoop& ui_;
    BoxFilesView& view_;
    CloudConnection connection_;

    std::vector<std::string> entries_;
    int selectedEntry_ = -1;
    std::vector<std::unique_ptr<CDetectionFile>> records_;  // one per line when listed
    std::vector<std::string> lines_;
    bool listEnabled_ = false;
    int selectedLine_ = -1;
    ExplorerButtons buttons_;
    std::string outputPath_;
    bool timerArmed_ = false;

    bool busy_ = false;
    std::atomic<bool> cancel_{false};
    std::thread worker_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace lv
