#include "export/BackgroundExport.h"

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "base/TimerIds.h"
#include "export/ExportTexts.h"
#include "export/WorkList.h"

namespace lv {

int PrepareBackgroundExport(LinesExportRequest& request, std::string& error) {
    if (!request.delta.ParseTime(setting::LinesDelta.Read())) {
        error = Tr("Invalid time between two detections", "Temps entre deux détections invalide");
        return -1;
    }
    request.folder = TrimBlanks(setting::LinesExportPath.Read());
    if (request.folder.empty()) {
        error = Tr("Destination folder mandatory", "Nom de répertoire obligatoire");
        return -1;
    }
    request.genericName = TrimBlanks(setting::LinesGenericFilename.Read());
    if (request.genericName.empty()) {
        error = Tr("Destination filename mandatory", "Nom de fichier obligatoire");
        return -1;
    }
    request.ftp = setting::LinesFtpExport.Read();
    request.zip = setting::LinesZip.Read();
    request.displayType = DisplayTypeFromInt(setting::LinesDisplayType.Read());
    if (request.ftp) {
        request.ftpServers = setting::LinesFtpServersList.Read();
        if (request.ftpServers.empty()) {
            error = NoFtpSettingsText();
            return -1;
        }
    }
    return 0;
}

int RunBackgroundExport(std::string& error, ExportOutcome* outcome) {
    LinesExportRequest request;
    if (PrepareBackgroundExport(request, error) != 0) return -1;
    WorkList list;
    BuildWorkList(list, "");
    ExportOutcome result = RunLinesExport(list, request);
    if (outcome) *outcome = std::move(result);
    return 0;
}

BackgroundExport::BackgroundExport(UiLoop& ui, SteadyNow now) : ui_(ui), now_(std::move(now)) {
    if (!now_) now_ = [] { return std::chrono::steady_clock::now(); };
}

BackgroundExport::~BackgroundExport() {
    // The tick's closure points here: it must not outlive this object.
    if (ticking_) ui_.killTimer(kTimerBackgroundExport);
    if (worker_.joinable()) worker_.join();
}

void BackgroundExport::Start() {
    ticking_ = true;
    ui_.setTimer(kTimerBackgroundExport, 1000, false, [this] { Tick(); });
}

void BackgroundExport::Stop() {
    ticking_ = false;
    ui_.killTimer(kTimerBackgroundExport);
    WaitIdle();
}

void BackgroundExport::WaitIdle() {
    if (worker_.joinable()) worker_.join();
}

void BackgroundExport::Tick() {
    // Re-armed after the work, so that a slow tick delays the next one.
    struct Rearm {
        BackgroundExport& self;
        ~Rearm() {
            if (self.ticking_) self.ui_.setTimer(kTimerBackgroundExport, 1000, false, [s = &self] { s->Tick(); });
        }
    } rearm{*this};

    if (!setting::BackgroundExportOn.Read()) return;
    const auto now = now_();
    if (!lastExport_) {
        lastExport_ = now;
        return;
    }
    const int minutes = setting::BackgroundExportPeriod.Mended(setting::BackgroundExportPeriod.Read());
    if (now <= *lastExport_ + std::chrono::minutes(minutes)) return;
    // The previous export still writes: this one waits for a later tick.
    if (running_.load()) return;
    LinesExportRequest request;
    std::string error;
    lastExport_ = now;
    if (PrepareBackgroundExport(request, error) != 0) {
        ReportSettingsError(error);
        return;
    }
    lastSettingsError_.clear();
    Launch(std::move(request));
}

void BackgroundExport::Launch(LinesExportRequest request) {
    if (worker_.joinable()) worker_.join();
    running_.store(true);
    started_.fetch_add(1);
    worker_ = std::thread([this, request = std::move(request)] {
        WorkList list;
        BuildWorkList(list, "");
        Report(RunLinesExport(list, request));
        running_.store(false);
    });
}

void BackgroundExport::Report(const ExportOutcome& outcome) {
    Log(75, fmt::sprintf(Tr("+ Background export: %d file(s) created", "+ Export en arrière-plan : %d fichier(s) créé(s)"),
                         static_cast<int>(outcome.created.size())));
    for (const std::string& problem : outcome.problems)
        Log(0, fmt::sprintf(Tr("## Background export: file not created: %s",
                               "## Export en arrière-plan : fichier non créé : %s"),
                            problem));
    if (outcome.ftpAsked && !outcome.ftpStarted)
        Log(0, fmt::sprintf(Tr("## Background export: FTP transfer could not start: %s",
                               "## Export en arrière-plan : erreur de lancement transfert FTP : %s"),
                            outcome.ftpError));
    // Uploads that silently never happen leave the published results behind: said loudly
    // when it starts, quietly while it lasts.
    const std::string missing = outcome.MissingServersText();
    if (!missing.empty()) {
        const bool changed = missing != lastFtpMissing_;
        const std::string line = fmt::sprintf(Tr("## Background export: %s", "## Export en arrière-plan : %s"), missing);
        Log(changed ? 0 : 60, line);
        if (changed && alert_) ui_.post([alert = alert_, line] { alert(line); });
    }
    lastFtpMissing_ = missing;
}

void BackgroundExport::ReportSettingsError(const std::string& error) {
    // Once per cause: the tick comes back every period.
    if (error == lastSettingsError_) return;
    lastSettingsError_ = error;
    Log(20, fmt::sprintf(Tr("## Background export not done: %s", "## Export en arrière-plan non effectué : %s"), error));
}

}  // namespace lv
