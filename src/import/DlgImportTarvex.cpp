#include "import/DlgImportTarvex.h"

#include <sys/stat.h>

#include <fmt/printf.h>

#include <cctype>
#include <cstdio>

#include "base/SettingsSchema.h"
#include "base/Texts.h"

namespace lv {

namespace {

// Remembered while the program runs: the last date, start and end times, and the
// markers of the last search (read by the time menus).
struct ImportMemory {
    std::string date;  // "%02d/%02d/%04d"
    std::string startTime = "00:00:00";
    std::string endTime = "23:59:59";
    std::vector<CTarvexMarker> markers;
};

ImportMemory& Memory() {
    static ImportMemory memory;
    return memory;
}

bool IsExistingFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A time box's text as seconds of the day: read as ParseTime reads it, and within one day.
bool ReadClock(const std::string& text, CChrono& clock) {
    CChrono value;
    if (!value.ParseTime(text)) return false;
    if (value.Seconds() < 0 || value.Seconds() >= 24 * 3600) return false;
    clock = value;
    return true;
}

std::string CompactClock(const CChrono& clock) {
    const int s = clock.Seconds();
    return fmt::sprintf("%02d%02d%02d", s / 3600, (s % 3600) / 60, s % 60);
}

}  // namespace

std::string CDlgImportTarvex::Title() { return Tr("Import Tarvex detections", "Import de détections Tarvex"); }

std::vector<std::string> CDlgImportTarvex::BoxIdEntries() {
    std::vector<std::string> entries{"31     CLASSIC"};
    for (int id = 10; id <= 30; ++id) entries.push_back(fmt::sprintf("%d     ", id));
    return entries;
}

std::string CDlgImportTarvex::BoxIdOf(const std::string& entry) {
    std::size_t begin = entry.find_first_not_of(' ');
    if (begin == std::string::npos) return {};
    std::size_t end = entry.find(' ', begin);
    return entry.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

std::vector<std::string> CDlgImportTarvex::CorrectionChoices() {
    return {Tr("Use times as-is", "Utiliser le temps tel quel"), Tr("Add 24 hours to times", "Ajouter 24h aux temps"),
            Tr("Add 48 hours to times", "Ajouter 48h aux temps"), Tr("Add 72 hours to times", "Ajouter 72h aux temps")};
}

std::string CDlgImportTarvex::CorrectionLabel(int correction) {
    if (correction <= 0 || correction >= kCorrectionCount) return {};
    return fmt::sprintf("+%dh", correction * 24);
}

std::string CDlgImportTarvex::StartTimeTooltip() {
    return Tr("Use a marker (if any) to init start time", "Utiliser un marqueur (s'il y en a) pour l'heure de début");
}

std::string CDlgImportTarvex::EndTimeTooltip() {
    return Tr("Use a marker (if any) to init end time", "Utiliser un marqueur (s'il y en a) pour l'heure de fin");
}

std::vector<std::pair<CDlgImportTarvex::SourceEntry, std::string>> CDlgImportTarvex::SourceMenu() {
    return {{SourceEntry::File, Tr("Select a file on your disk", "Sélection de fichier")},
            {SourceEntry::BoxFiles, Tr("Get Tarvex box detections", "Récupération des détections Tarvex des boîtiers")},
            {SourceEntry::CloudFiles,
             Tr("Get Tarvex customer detections", "Récupération des détections Tarvex sur compte client")},
            {SourceEntry::Separator, std::string()},
            {SourceEntry::Credentials,
             Tr("Set Tarvex customer account credentials...", "Informations compte client Tarvex...")}};
}

std::string CDlgImportTarvex::InputFileDialogTitle() { return Tr("Tarvex file", "Fichier Tarvex"); }

std::string CDlgImportTarvex::InputFileFilter() { return "Tarvex output (*.txt)\t*.txt\tAny file (*.*)\t*.*\t"; }

std::string CDlgImportTarvex::OutputFileDialogTitle() {
    return Tr("Output detection file", "Fichier de détections en sortie");
}

std::string CDlgImportTarvex::OutputFileFilter() { return "Detections (*.qox)\t*.qox\tAll types  *.*\t*.*\t"; }

CDlgImportTarvex::Opening CDlgImportTarvex::Open(const Date& today) const {
    const ImportMemory& memory = Memory();
    Opening opening;
    opening.date = today;
    int day = 0, month = 0, year = 0;
    if (!memory.date.empty() && std::sscanf(memory.date.c_str(), "%d/%d/%d", &day, &month, &year) == 3 &&
        year >= kFirstYear && year < kLastYear && month >= 1 && month <= 12 && day >= 1 && day <= 31) {
        opening.date = Date{day, month, year};
    }
    opening.startTime = memory.startTime;
    opening.endTime = memory.endTime;
    opening.parseDir = setting::CurrentParseDir.Read();
    opening.saveDir = setting::CurrentSaveDir.Read();
    return opening;
}

std::vector<CDlgImportTarvex::TimeMenuEntry> CDlgImportTarvex::StartTimeMenu() {
    std::vector<TimeMenuEntry> menu{{Tr("00:00:00 : Start of day", "00:00:00 : Début de journée"), "00:00:00"}};
    for (const auto& marker : Memory().markers) {
        menu.push_back({marker.ClockText() + " : " + marker.markerLabel, marker.ClockText()});
    }
    return menu;
}

std::vector<CDlgImportTarvex::TimeMenuEntry> CDlgImportTarvex::EndTimeMenu() {
    std::vector<TimeMenuEntry> menu;
    for (const auto& marker : Memory().markers) {
        menu.push_back({marker.ClockText() + " : " + marker.markerLabel, marker.ClockText()});
    }
    menu.push_back({Tr("23:59:59 : End of day", "23:59:59 : Fin de journée"), "23:59:59"});
    return menu;
}

CDlgImportTarvex::SearchStart CDlgImportTarvex::PrepareSearch(const Date& date, const std::string& startText,
                                                              const std::string& endText, const std::string& inputPath,
                                                              bool showAbnormal,
                                                              std::vector<std::string>& header) const {
    SearchStart start;
    ImportMemory& memory = Memory();
    memory.date = fmt::sprintf("%02d/%02d/%04d", date.day, date.month, date.year);
    const std::string dateCompact = fmt::sprintf("%04d%02d%02d", date.year, date.month, date.day);

    CChrono startClock;
    CChrono endClock;
    if (!ReadClock(startText, startClock)) {
        start.message = Tr("Start Time is invalid !", "Heure de début invalide !");
        start.focus = Field::StartTime;
        return start;
    }
    if (!ReadClock(endText, endClock)) {
        start.message = Tr("End Time is invalid !", "Heure de fin invalide !");
        start.focus = Field::EndTime;
        return start;
    }
    memory.startTime = startText;
    memory.endTime = endText;

    CChrono dayStart;
    DecoderFileSearchRequest& request = start.request;
    if (!dayStart.ParseDateTimeCompact(dateCompact, "000000", 0) ||
        !request.rangeStart.ParseDateTimeCompact(dateCompact, CompactClock(startClock), startClock.Milliseconds() / 10) ||
        !request.rangeEnd.ParseDateTimeCompact(dateCompact, CompactClock(endClock), endClock.Milliseconds() / 10)) {
        // Only a date the picker cannot give (outside its limits) gets here.
        start.message = Tr("Start Time is invalid !", "Heure de début invalide !");
        start.focus = Field::StartTime;
        return start;
    }
    if (struct stat info {}; !inputPath.empty() && ::stat(inputPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        start.message = NotRegularFileText(inputPath);
        start.focus = Field::InputFile;
        return start;
    }
    if (!IsExistingFile(inputPath)) {
        start.message = fmt::sprintf(
            Tr("File to import is empty or does not exist\n%s", "Le fichier à importer est vide ou n'existe pas\n%s"),
            inputPath);
        start.focus = Field::InputFile;
        return start;
    }

    header.clear();
    header.push_back(fmt::sprintf(Tr("Import Tarvex detections from file %s", "Import de détections Tarvex du fichier %s"),
                                  inputPath));
    header.push_back(fmt::sprintf(Tr("Import detections on %s between %s and %s", "Import des détections du %s entre %s et %s"),
                                  dayStart.FormatLongDate(), startClock.FormatSeconds(), endClock.FormatSeconds()));

    request.path = inputPath;
    request.showAbnormal = showAbnormal;
    request.sendNumbers = setting::GTarvexSendNumbers.Read();
    request.ignoreUnknownTags = setting::GTarvexIgnoreUnknownTags.Read();
    request.purgeIntervalMs = setting::GTarvexIgnoreInputMsDelta.Read();
    request.todayCompact = CChrono(CChrono::kNowAbsolute).FormatDateCompact();
    start.ok = true;
    return start;
}

void CDlgImportTarvex::BeginSearch(const std::vector<std::string>& header) {
    log_ = header;
    detections_.clear();
}

void CDlgImportTarvex::TakeSearchResult(DecoderFileSearchResult result) {
    searchedPath_ = std::move(result.path);
    Memory().markers = std::move(result.markers);
    detections_ = std::move(result.detections);
    for (auto& line : result.log) log_.push_back(std::move(line));
}

std::string CDlgImportTarvex::ImportQuestion() {
    return Tr("This operation will merge detections found in this file with those directly got from box(es)\n"
              "Are you sure you want to proceed?",
              "Cette opération va fusionner les détections trouvées dans ce fichier avec celles directement issues des "
              "boîtiers\nEtes vous certain de vouloir le faire ?");
}

std::string CDlgImportTarvex::ForceQoxExtension(const std::string& path) {
    std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : path;
    for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return tail == ".QOX" ? path : path + ".qox";
}

std::string CDlgImportTarvex::FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

CDlgImportTarvex::SaveStart CDlgImportTarvex::PrepareSave(const std::string& outputPath) const {
    SaveStart save;
    if (outputPath.empty()) {
        save.message = Tr("No output file is specified...", "Aucun fichier de sortie n'est spécifié...");
        save.focus = Field::OutputFile;
        return save;
    }
    save.path = ForceQoxExtension(outputPath);
    struct stat info {};
    struct stat input {};
    // The same file under another name (a link, "./") counts: replacing it would destroy
    // the decoder's own file that the detections were read from.
    if (!searchedPath_.empty() && ::stat(save.path.c_str(), &info) == 0 && ::stat(searchedPath_.c_str(), &input) == 0 &&
        info.st_dev == input.st_dev && info.st_ino == input.st_ino) {
        save.message = fmt::sprintf(Tr("The output file\n%s\nis the file being imported: it cannot be replaced. "
                                       "Choose another output file.",
                                       "Le fichier de sortie\n%s\nest le fichier importé : il ne peut pas être écrasé. "
                                       "Choisissez un autre fichier de sortie."),
                                    save.path);
        save.focus = Field::OutputFile;
        save.path.clear();
        return save;
    }
    if (::stat(save.path.c_str(), &info) == 0) {
        save.question = fmt::sprintf(Tr("File\n%s\nalready exists. It will be replaced by this operation.\nAre you sure?",
                                        "Le fichier\n%s\nexiste déjà. Il sera écrasé par cette opération.\nEtes vous certain ?"),
                                     save.path);
    }
    save.ok = true;
    return save;
}

ImportDialogResult CDlgImportTarvex::Finish(int code, const std::string& boxEntry, int correction,
                                            const std::string& outputPath) {
    ImportDialogResult result;
    result.code = code;
    result.boxId = BoxIdOf(boxEntry);
    result.correction = correction >= 0 && correction < kCorrectionCount ? correction : 0;
    if (code == kSaveCode) result.outputPath = outputPath;
    result.detections = std::move(detections_);
    detections_.clear();
    result.log = log_;
    return result;
}

void CDlgImportTarvex::SaveFolders(const std::string& inputPath, const std::string& outputPath) {
    if (std::string folder = FolderOf(inputPath); !folder.empty()) setting::CurrentParseDir.Write(folder);
    if (std::string folder = FolderOf(outputPath); !folder.empty()) setting::CurrentSaveDir.Write(folder);
}

void CDlgImportTarvex::ForgetRememberedForTests() { Memory() = ImportMemory{}; }

}  // namespace lv
