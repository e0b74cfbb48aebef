#include "cloud/explorer/BoxFilesExplorer.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>

#include <fmt/printf.h>

#include "base/Environment.h"
#include "base/Log.h"
#include "base/PlainText.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "base/TimerIds.h"
#include "cloud/explorer/DetectionFileDownload.h"
#include "cloud/explorer/ExplorerTexts.h"

namespace lv {

namespace {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The box says whether a file is still written ("open") or done ("closed"), in English.
std::string FileState(const std::string& details) {
    if (details == "open") return Tr("open", "en cours");
    if (details == "closed") return Tr("closed", "terminé");
    return details;
}

std::string FileLine(const CDetectionFile& file) {
    return fmt::sprintf(Tr(" %-3s: \t Detections: %d\t %s\t %s", " %-3s: \t Détections: %d\t %s\t %s"), file.fileId,
                        file.count, file.created, FileState(file.details));
}

}  // namespace

struct BoxFilesExplorer::Listing {
    int result = 0;
    std::string error;
    std::vector<std::unique_ptr<CDetectionFile>> files;
};

struct BoxFilesExplorer::Fetch {
    std::string folder;
    DetectionFileDownload download;
};

BoxFilesExplorer::BoxFilesExplorer(BoxFilesSource source, UiLoop& ui, BoxFilesView& view, CloudConnection connection)
    : source_(std::move(source)), ui_(ui), view_(view), connection_(std::move(connection)) {
    connection_.cancel = &cancel_;
}

BoxFilesExplorer::~BoxFilesExplorer() {
    *alive_ = false;
    if (timerArmed_) ui_.killTimer(kTimerBoxFilesFirstListing);
    cancel_ = true;
    JoinWorker();
}

void BoxFilesExplorer::JoinWorker() {
    if (worker_.joinable()) worker_.join();
}

void BoxFilesExplorer::RunInBackground(std::function<void()> work, std::function<void()> done) {
    JoinWorker();
    busy_ = true;
    cancel_ = false;
    view_.ShowBusy(true);
    UpdateButtons();
    UiLoop& ui = ui_;
    std::shared_ptr<bool> alive = alive_;
    worker_ = std::thread([this, &ui, alive, work = std::move(work), done = std::move(done)]() mutable {
        work();
        ui.post([this, alive, done = std::move(done)] {
            if (!*alive) return;
            JoinWorker();
            busy_ = false;
            view_.ShowBusy(false);
            done();
            UpdateButtons();
        });
    });
}

void BoxFilesExplorer::Open() {
    entries_.clear();
    if (source_.mode == BoxFilesSource::Mode::Boxes) {
        for (const ExplorerBox& box : source_.boxes) entries_.push_back(box.text);
    } else {
        FillCloudEntries();
    }
    selectedEntry_ = entries_.empty() ? -1 : std::clamp(source_.firstEntry, 0, static_cast<int>(entries_.size()) - 1);
    view_.ShowEntries(entries_, selectedEntry_);
    if (!entries_.empty()) {
        timerArmed_ = true;
        std::shared_ptr<bool> alive = alive_;
        ui_.setTimer(kTimerBoxFilesFirstListing, kFirstListingDelayMs, false, [this, alive] {
            if (!*alive) return;
            timerArmed_ = false;
            if (!busy_) ListSelectedEntry();
        });
    }
    outputPath_.clear();
    view_.ShowDestination(setting::DownloadTarvexPath.Read());
    UpdateButtons();
}

void BoxFilesExplorer::FillCloudEntries() {
    DevicesReply devices = ReadDevicesReply(source_.devicesReply);
    for (std::string& id : devices.deviceIds) entries_.push_back(std::move(id));
    if (devices.refusal) view_.ShowMessage(Tr("Error\n\n", "Erreur\n\n") + *devices.refusal, BoxFilesView::Icon::Warning);
}

void BoxFilesExplorer::SelectEntry(int index) {
    if (busy_ || index < 0 || index >= static_cast<int>(entries_.size())) return;
    selectedEntry_ = index;
    ListSelectedEntry();
}

void BoxFilesExplorer::Refresh() {
    if (timerArmed_) {
        ui_.killTimer(kTimerBoxFilesFirstListing);
        timerArmed_ = false;
    }
    if (busy_) return;
    ListSelectedEntry();
    UpdateButtons();
}

void BoxFilesExplorer::ShowInformationLine(const std::string& line) {
    records_.clear();
    lines_ = {line};
    listEnabled_ = false;
    selectedLine_ = -1;
    view_.ShowFileLines(lines_, false);
}

void BoxFilesExplorer::ListSelectedEntry() {
    if (selectedEntry_ < 0 || selectedEntry_ >= static_cast<int>(entries_.size())) return;
    ShowInformationLine(Tr("Looking for available files...", "Recherche des fichiers disponibles..."));
    auto listing = std::make_shared<Listing>();
    std::function<void()> work;
    if (source_.mode == BoxFilesSource::Mode::Boxes) {
        BoxFileLister lister = source_.boxes[static_cast<std::size_t>(selectedEntry_)].listFiles;
        work = [listing, lister] {
            if (!lister) {
                listing->result = -1;
                listing->error = Tr("Connexion non ouverte", "Connexion non ouverte");
                return;
            }
            listing->result = lister(listing->files, listing->error);
        };
    } else {
        const std::string device = entries_[static_cast<std::size_t>(selectedEntry_)];
        CloudConnection connection = connection_;
        work = [listing, device, connection] {
            std::string token;
            listing->result = RequestAccessToken(connection, token, listing->error);
            if (listing->result == kCloudOk)
                listing->result = GetDeviceFiles(connection, token, device, listing->files, listing->error);
        };
    }
    RunInBackground(std::move(work), [this, listing] { OnListed(*listing); });
}

void BoxFilesExplorer::OnListed(Listing& listing) {
    if (listing.result < 0) {
        ShowInformationLine(ListingFailureText(listing.error));
        view_.PlayAlert();
        return;
    }
    records_.clear();
    lines_.clear();
    for (auto& file : listing.files) {
        if (!file) continue;
        lines_.push_back(FileLine(*file));
        records_.push_back(std::move(file));
    }
    listEnabled_ = true;
    selectedLine_ = -1;
    view_.ShowFileLines(lines_, true);
}

void BoxFilesExplorer::SelectLine(int line) {
    selectedLine_ = listEnabled_ && line >= 0 && line < static_cast<int>(records_.size()) ? line : -1;
    UpdateButtons();
}

void BoxFilesExplorer::UpdateButtons() {
    ExplorerButtons buttons;
    if (busy_) {
        // Nothing but Cancel while a request runs.
    } else if (entries_.empty()) {
        buttons.copyUrl = true;
    } else if (!lines_.empty()) {
        buttons.refresh = buttons.copyUrl = buttons.removeFiles = true;
        buttons.download = selectedLine_ >= 0;
    }
    buttons_ = buttons;
    view_.ShowButtons(buttons_);
}

void BoxFilesExplorer::ChooseFolder(const std::string& chosen, const std::string& current) {
    if (chosen.empty() || ::strcasecmp(chosen.c_str(), current.c_str()) == 0) return;
    const std::string folder = chosen.back() == '/' ? chosen : chosen + "/";
    view_.ShowDestination(folder);
    setting::DownloadTarvexPath.Write(folder);
}

void BoxFilesExplorer::CopyUrl() {
    if (selectedLine_ < 0) return;
    view_.CopyToClipboard(records_[static_cast<std::size_t>(selectedLine_)]->detectionsPath);
}

void BoxFilesExplorer::RemoveFiles() {
    view_.ShowMessage("Fonction non implémentée...", BoxFilesView::Icon::Warning);
}

void BoxFilesExplorer::Download(const std::string& destinationText) {
    if (busy_) return;
    const std::string folder = TrimmedText(destinationText);
    if (folder.empty()) {
        view_.ShowMessage(Tr("Specify a local destination folder!", "Spécifiez un répertoire local de téléchargement !"),
                          BoxFilesView::Icon::Warning);
        return;
    }
    if (!IsFolder(folder) &&
        view_.AskYesNo(fmt::sprintf(Tr("Folder\n    %s  \ndoes not exist.\nCreate it?",
                                       "Le répertoire\n    %s  \nn'existe pas.\nLe créer ?"),
                                    folder))) {
        if (!CreateFolderPath(folder) || !IsFolder(folder)) {
            view_.ShowMessage(CannotCreateFolderText(folder), BoxFilesView::Icon::Warning);
            return;
        }
    }
    if (selectedEntry_ < 0 || selectedLine_ < 0) return;
    const CDetectionFile file = *records_[static_cast<std::size_t>(selectedLine_)];
    if (file.count == 0) {
        view_.ShowMessage(EmptyFileText(file.fileId), BoxFilesView::Icon::Warning);
        return;
    }

    auto fetch = std::make_shared<Fetch>();
    fetch->folder = folder;
    const bool cloud = source_.mode == BoxFilesSource::Mode::Cloud;
    CloudConnection connection = connection_;
    RunInBackground([fetch, file, cloud, connection] {
        fetch->download = DownloadDetectionFile(connection, file, cloud, fetch->folder);
    }, [this, fetch] { OnDownloaded(*fetch); });
}

void BoxFilesExplorer::OnDownloaded(Fetch& fetch) {
    const DetectionFileDownload& download = fetch.download;
    if (download.result != kCloudOk) {
        outputPath_.clear();
        Log(20, "## " + download.error);
        view_.ShowMessage(DownloadFailureText(download), download.tokenFailed ? BoxFilesView::Icon::Information
                                                                              : BoxFilesView::Icon::Warning);
        return;
    }
    Log(20, fmt::sprintf("+ %s : %d kB", download.path, static_cast<int>(download.replyBytes / 1024)));
    view_.ShowMessage(DownloadDoneText(download), BoxFilesView::Icon::Information);
    setting::DownloadTarvexPath.Write(fetch.folder);
    outputPath_ = download.path;
    view_.Close(true);
}

void BoxFilesExplorer::Cancel() {
    if (busy_) {
        cancel_ = true;
        return;
    }
    Close();
}

void BoxFilesExplorer::Close() {
    cancel_ = true;
    outputPath_.clear();
    records_.clear();
    lines_.clear();
    view_.Close(false);
}

}  // namespace lv
