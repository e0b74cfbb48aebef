#include "app/DetectionImport.h"

#include <fmt/printf.h>

#include <algorithm>
#include <memory>

#include "base/Log.h"
#include "base/Texts.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "link/DirectLinkSession.h"

namespace lv {

namespace {

const char* Plural(std::size_t n) { return n > 1 ? "s" : ""; }
int Int(std::size_t n) { return static_cast<int>(n); }

std::string PresenceKey(const std::string& boxName, const std::string& label, const std::string& timeText) {
    std::string key;
    key.reserve(boxName.size() + label.size() + timeText.size() + 2);
    key.append(boxName).append(1, '\x1f').append(label).append(1, '\x1f').append(timeText);
    return key;
}

std::string AddedText(std::size_t n) {
    return CurrentLanguage() == Language::English
               ? fmt::sprintf("%d detection%s added", Int(n), Plural(n))
               : fmt::sprintf("%d détection%s ajoutée%s", Int(n), Plural(n), Plural(n));
}

std::string SavedText(std::size_t n) {
    return CurrentLanguage() == Language::English
               ? fmt::sprintf("%d detection%s saved", Int(n), Plural(n))
               : fmt::sprintf("%d détection%s sauvegardée%s", Int(n), Plural(n), Plural(n));
}

}  // namespace

std::vector<std::string> ImportOutcomeLines(const ImportDialogResult& result) {
    std::vector<std::string> lines;
    for (const auto& line : result.log) lines.push_back("+++ " + line);
    const int count = Int(result.detections.size());
    if (result.code == CDlgImportTarvex::kSaveCode) {
        lines.push_back(fmt::sprintf(Tr("+++ %d detections to save for box %s", "+++ %d détections à sauvegarder pour le boîtier %s"),
                                     count, result.boxId));
    } else {
        lines.push_back(fmt::sprintf(Tr("+++ %d detections to import for box %s", "+++ %d détections à importer pour le boîtier %s"),
                                     count, result.boxId));
    }
    if (result.correction > 0) {
        lines.push_back(fmt::sprintf(Tr("+++ %d hours added to detections", "+++ %d heures ajoutées aux détections"),
                                     result.correction * 24));
    }
    return lines;
}

bool SaveImportOutcome(const ImportDialogResult& result, bool absoluteMode, const SaveProgress& progress,
                       std::vector<std::string>& lines, std::string& message) {
    std::string reason;
    if (!SaveImportedDetections(result.outputPath, result.detections, result.boxId, result.correction, absoluteMode,
                                progress, message, reason)) {
        lines.push_back("### " + message + " : " + reason);
        return false;
    }
    lines.push_back(Tr("+++ File saved", "+++ Fichier sauvegardé"));
    return true;
}

DetectionImport::DetectionImport(UiLoop& ui, MainView& view, DetectionRecorder& recorder,
                                 std::function<DirectLinkSession*()> link, std::function<bool()> absoluteClock,
                                 std::function<void()> openJournal)
    : ui_(ui),
      view_(view),
      recorder_(recorder),
      link_(std::move(link)),
      absoluteClock_(std::move(absoluteClock)),
      openJournal_(std::move(openJournal)) {}

DetectionImport::~DetectionImport() = default;

void DetectionImport::Handle(ImportDialogResult result) {
    if (busy_ || (result.code != CDlgImportTarvex::kImportCode && result.code != CDlgImportTarvex::kSaveCode)) return;
    for (const auto& line : ImportOutcomeLines(result)) Log(0, line);
    if (result.code == CDlgImportTarvex::kSaveCode) {
        Save(result);
        return;
    }
    DirectLinkSession* link = link_ ? link_() : nullptr;
    bool viaLink = false;
    if (link && link->IsConnected()) {
        // Asked in French in both languages.
        switch (view_.AskYesNoCancel("Vous êtes actuellement connecté à Quillet-Pro\n"
                                     "Souhaitez-vous importer les détections via cette connexion directe ?")) {
            case YesNoCancel::Yes: viaLink = true; break;
            case YesNoCancel::No: break;
            case YesNoCancel::Cancel: return;
        }
    }
    StartImport(std::move(result), viaLink);
}

void DetectionImport::StartImport(ImportDialogResult result, bool viaLink) {
    busy_ = true;
    viaLink_ = viaLink;
    absolute_ = absoluteClock_ ? absoluteClock_() : false;
    pending_ = std::move(result);
    next_ = 0;
    tally_ = Tally{};
    present_.clear();
    DetectionTable::Instance().WithRecords([this](const std::deque<CQoxResult>& records) {
        for (const auto& record : records) present_.insert(PresenceKey(record.boxName, record.label, record.timeText));
    });
    // After "disconnect all" the journal is closed: the imported detections go to the
    // same file, continued.
    if (openJournal_) openJournal_();
    view_.ShowProgress(Tr("Importing Tarvex detections", "Import des détections Tarvex"), AddedText(0));
    ImportSlice();
}

void DetectionImport::ImportSlice() {
    DirectLinkSession* link = viaLink_ && link_ ? link_() : nullptr;
    const std::size_t end = std::min(pending_.detections.size(), next_ + kSliceSize);
    for (; next_ < end; ++next_) {
        const CDetection& detection = pending_.detections[next_];
        const ImportedTimes times = ImportedTimesOf(detection, pending_.correction);
        const std::string timeText = MakeTimeText(times.instant, times.ofDay, absolute_);
        if (!present_.insert(PresenceKey(pending_.boxId, detection.code, timeText)).second) {
            ++tally_.doubles;
            continue;
        }
        Detection imported = LabelledDetection(DetectionSource::Import, pending_.boxId, detection.code, times.instant);
        imported.clockOfDay = times.ofDay;
        imported.dayOffset = 0;  // the correction is in the time of day already
        // Held back from the timing application unless the timekeeper chose to send them.
        imported.forward = viaLink_;
        if (recorder_.Record(imported).record == nullptr) continue;
        ++tally_.added;
        if (viaLink_) {
            // Sent by the forwarder, now or once the link is back; only a link that does
            // not catch up passes them over while it is down.
            if (link && (link->IsConnected() || link->CatchesUp())) {
                ++tally_.sent;
            } else {
                ++tally_.notSent;
            }
        }
        if (tally_.added % 100 == 0) {
            view_.ShowProgress(Tr("Importing Tarvex detections", "Import des détections Tarvex"), AddedText(tally_.added));
        }
    }
    // What is held back reaches the state beside the detection file now, not at the
    // next answer of the timing application.
    if (!viaLink_) {
        if (auto session = DetectionTable::Instance().Journal().CurrentSession()) session->SaveState(false);
    }
    if (next_ >= pending_.detections.size()) {
        FinishImport();
        return;
    }
    std::weak_ptr<int> alive = alive_;
    ui_.post([this, alive] {
        if (alive.lock()) ImportSlice();
    });
}

void DetectionImport::FinishImport() {
    view_.EndProgress();
    if (tally_.doubles > 0) {
        const std::size_t n = tally_.doubles;
        Log(0, CurrentLanguage() == Language::English
                   ? fmt::sprintf("+++ %d detection%s already in the list, not added again", Int(n), Plural(n))
                   : fmt::sprintf("+++ %d détection%s déjà dans la liste, non ajoutée%s", Int(n), Plural(n), Plural(n)));
    }
    if (viaLink_) {
        Log(0, fmt::sprintf(Tr("+++ Import done: %d sent over the direct connection, %d not sent",
                               "+++ Import terminé : %d envoyées par la connexion directe, %d non envoyées"),
                            Int(tally_.sent), Int(tally_.notSent)));
        if (tally_.notSent > 0) {
            view_.ShowMessage(fmt::sprintf(Tr("%d imported detections could not be sent to Quillet-Pro.\n"
                                              "They are in the detection list.",
                                              "%d détections importées n'ont pas pu être envoyées à Quillet-Pro.\n"
                                              "Elles sont dans la liste des détections."),
                                           Int(tally_.notSent)),
                              MessageIcon::Warning);
        }
    } else {
        Log(0, Tr("+++ Import done", "+++ Import terminé"));
    }
    pending_ = ImportDialogResult{};
    present_.clear();
    busy_ = false;
}

void DetectionImport::Stop() {
    if (!busy_) return;
    alive_ = std::make_shared<int>(0);  // the slice already posted finds its import gone
    view_.EndProgress();
    Log(0, fmt::sprintf(Tr("### Import stopped at exit: %d of %d detections imported",
                           "### Import arrêté à la sortie : %d détections importées sur %d"),
                        Int(next_), Int(pending_.detections.size())));
    pending_ = ImportDialogResult{};
    present_.clear();
    busy_ = false;
}

void DetectionImport::Save(const ImportDialogResult& result) {
    const std::string title = Tr("Saving Tarvex detections", "Sauvegarde des détections Tarvex");
    view_.ShowProgress(title, SavedText(0));
    std::vector<std::string> lines;
    std::string message;
    const bool ok = SaveImportOutcome(result, absoluteClock_ ? absoluteClock_() : false,
                                      [&](std::size_t n) { view_.ShowProgress(title, SavedText(n)); }, lines, message);
    view_.EndProgress();
    for (const auto& line : lines) Log(0, line);
    if (!ok) view_.ShowMessage(message, MessageIcon::Error);
}

}  // namespace lv
