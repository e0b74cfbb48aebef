#include "import/DecoderFileSearch.h"

#include <fmt/printf.h>

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "base/Texts.h"
#include "core/ChipTable.h"
#include "import/CodeHash.h"
#include "import/DecoderFileLine.h"
#include "import/DecoderFileReader.h"
#include "import/DetectionTimeReader.h"
#include "import/RepeatedReadPurge.h"

namespace lv {

namespace {

const char* Plural(std::size_t n) { return n > 1 ? "s" : ""; }
int Int(std::size_t n) { return static_cast<int>(n); }

constexpr std::size_t kProgressLines = 100;
constexpr std::size_t kFieldsKept = 4;
constexpr const char* kFileBox = "fileBox";

// The chip table is looked up once per distinct code: a file holds a few thousand
// chips read over and over.
class ChipTranslator {
public:
    explicit ChipTranslator(bool on) : on_(on && ChipTableCount() > 0) {}

    bool On() const { return on_; }

    // The bib text of a known chip, or nullptr; `firstUnknown` is set the first time
    // an unknown code is met.
    const std::string* Find(std::string_view code, bool& firstUnknown) {
        firstUnknown = false;
        auto found = memo_.find(code);
        if (found == memo_.end()) {
            int32_t bib = -1;
            std::string text;
            if (FindBib(code, bib)) text = fmt::sprintf("%u", static_cast<uint32_t>(bib));
            firstUnknown = text.empty();
            found = memo_.emplace(std::string(code), std::move(text)).first;
        }
        return found->second.empty() ? nullptr : &found->second;
    }

private:
    bool on_;
    std::unordered_map<std::string, std::string, CodeHash, std::equal_to<>> memo_;
};

// The summary of the detection lines of each day of the file, in file order.
class DaySummary {
public:
    explicit DaySummary(std::vector<std::string>& log) : log_(log) {}

    void Add(std::string_view dateKey, const CChrono& timeOfDay, const CChrono& dateTime) {
        if (total_ > 0 && dateKey == dateKey_) {
            ++total_;
            last_ = timeOfDay;
            return;
        }
        Close();
        dateKey_.assign(dateKey);
        longDate_ = dateTime.FormatLongDate();
        first_ = last_ = timeOfDay;
        total_ = 1;
        log_.push_back(fmt::sprintf(Tr("* %s - First detection at %s", "* %s - Première détection à %s"), longDate_,
                                    first_.FormatHundredths()));
    }

    void Close() {
        if (total_ == 0) return;
        log_.push_back(fmt::sprintf(Tr("* %s - First detection at %s, last detection at %s. Total %d detections",
                                       "* %s - Première détection à %s, dernière détection à %s. Total %d détections"),
                                    longDate_, first_.FormatHundredths(), last_.FormatHundredths(), Int(total_)));
        total_ = 0;
    }

private:
    std::vector<std::string>& log_;
    std::string dateKey_;
    std::string longDate_;
    CChrono first_;
    CChrono last_;
    std::size_t total_ = 0;
};

class Search {
public:
    Search(const DecoderFileSearchRequest& request, const SearchProgress& progress, const std::atomic<bool>* cancel,
           DecoderFileSearchResult& result)
        : request_(request), progress_(progress), cancel_(cancel), result_(result), days_(result.log),
          translator_(request.sendNumbers) {}

    void Run();

private:
    void Line(std::string_view raw, bool tooLong);
    void DetectionLine(std::string_view line, const std::string_view* fields);
    void MarkerLine(std::string_view line);
    void Invalid(std::string_view line);
    void Progress();
    bool Cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }
    void Finish();

    const DecoderFileSearchRequest& request_;
    const SearchProgress& progress_;
    const std::atomic<bool>* cancel_;
    DecoderFileSearchResult& result_;
    DaySummary days_;
    ChipTranslator translator_;
    DetectionTimeReader times_;
    std::string time_;  // reused for a time text that needs normalising
};

void Search::Run() {
    DecoderFileReader reader;
    std::string why;
    result_.path = request_.path;
    if (!reader.Open(request_.path, why)) {
        result_.error = reader.NotRegular() ? NotRegularFileText(request_.path)
                                            : fmt::sprintf("File %s cannot be opened", request_.path);
        return;
    }
    result_.opened = true;
    // About one detection per 64 bytes: a large file does not grow the list step by step.
    if (const std::size_t size = reader.Size(); size > 0) {
        result_.detections.reserve(std::min<std::size_t>(size / 64, 4'000'000));
    }
    result_.log.push_back(
        fmt::sprintf(Tr("+++ Importing Tarvex detections file %s", "+++ Traitement de fichier Tarvex %s"), request_.path));

    std::string_view line;
    bool tooLong = false;
    while (reader.Next(line, tooLong)) {
        ++result_.counts.lines;
        Line(line, tooLong);
        if (result_.counts.lines % kProgressLines == 0) {
            Progress();
            if (Cancelled()) break;
        }
    }
    if (Cancelled()) {
        // The reading stops; what was found so far goes on to the summary, the purge and
        // the import, as for a file that ended there.
        result_.cancelled = true;
        result_.log.push_back(Tr("* Reading cancelled: the detections read so far are kept",
                                 "* Lecture annulée : les détections lues jusque-là sont gardées"));
        Finish();
        return;
    }
    if (!reader.Error().empty()) {
        result_.readFailed = true;
        result_.detections.clear();
        result_.error = fmt::sprintf(Tr("Error reading file %s: %s", "Erreur de lecture du fichier %s : %s"),
                                     request_.path, reader.Error());
        result_.log.push_back("### " + result_.error);
        return;
    }
    Finish();
}

void Search::Progress() {
    if (progress_) progress_(SearchProgressText(result_.counts.lines, result_.detections.size()),
                             result_.counts.lines, result_.detections.size());
}

void Search::Line(std::string_view raw, bool tooLong) {
    if (tooLong) {
        Invalid(std::string(raw) + "...");
        return;
    }
    const std::string_view line = TrimDecoderLine(raw);
    if (line.size() <= 3) {
        ++result_.counts.shortLines;
        return;
    }
    std::string_view fields[kFieldsKept];
    const std::size_t count = SplitDecoderFields(line, fields, kFieldsKept);
    // The box files explorer ends a line with an empty device id in ';': that empty
    // last field is still the device id, and the line a detection.
    const bool emptyDevice = count == kDetectionMinFields - 1 && line.back() == ';';
    if (count >= kDetectionMinFields || emptyDevice) {
        DetectionLine(line, fields);
    } else if (IsMarkerLine(line)) {
        MarkerLine(line);
    } else {
        Invalid(line);
    }
}

void Search::Invalid(std::string_view line) {
    ++result_.counts.invalidLines;
    if (request_.showAbnormal) {
        result_.log.push_back(fmt::sprintf(Tr("+ Box %s invalid input: %s", "+ Trame boîtier %s invalide: %s"), kFileBox,
                                           PrintableLine(line)));
    }
}

void Search::DetectionLine(std::string_view line, const std::string_view* fields) {
    const std::string_view code = fields[1];
    // The date without its dashes, in place of a string per line.
    char dateBuffer[16];
    std::size_t dateLength = 0;
    bool dateTooLong = false;
    for (char c : fields[2]) {
        if (c == '-') continue;
        if (dateLength == sizeof dateBuffer) {
            dateTooLong = true;
            break;
        }
        dateBuffer[dateLength++] = c;
    }
    std::string_view date(dateBuffer, dateLength);
    if (date == "00000000") date = request_.todayCompact;
    // A time of three fraction digits is normalised already.
    std::string_view time = fields[3];
    if (time.size() != 12 || time[8] != '.') {
        time_.assign(fields[3]);
        CChrono::NormalizeFraction(time_);
        time = time_;
    }

    CChrono dateTime;
    CChrono timeOfDay;
    // A code the chip table could not hold, or with bytes no file reader expects in a
    // label, makes the line invalid: it never reaches a saved or exported file.
    if (!IsValidChipCode(code) || dateTooLong || !times_.Read(date, time, dateTime, timeOfDay)) {
        Invalid(line);
        return;
    }
    ++result_.counts.detectionLines;

    std::string_view label = code;
    bool unknown = false;
    if (translator_.On()) {
        bool firstUnknown = false;
        if (const std::string* bib = translator_.Find(code, firstUnknown)) {
            label = *bib;
        } else {
            unknown = true;
            if (firstUnknown) result_.unknownChips.emplace_back(code);
        }
    }

    days_.Add(date, timeOfDay, dateTime);

    if (dateTime < request_.rangeStart || dateTime > request_.rangeEnd) return;
    ++result_.counts.inRange;
    if (unknown && request_.ignoreUnknownTags) {
        if (request_.showAbnormal) {
            result_.log.push_back(fmt::sprintf(
                Tr("+ Unknown chip [%s]. Detection discarded!", "+ Puce inconnue [%s] ! Détection ignorée"), label));
        }
        ++result_.counts.rejectedUnknown;
        return;
    }
    result_.detections.push_back(CDetection{timeOfDay, dateTime, std::string(label)});
    if (result_.detections.size() % 100 == 0) Progress();
}

void Search::MarkerLine(std::string_view line) {
    CTarvexMarker marker;
    CChrono instant;
    // A marker is placed on its own date.
    if (!ParseMarkerLine(line, marker) || !instant.ParseDateTimeCompact(marker.markerDate, marker.markerTime, 0)) {
        Invalid(line);
        return;
    }
    ++result_.counts.markerLines;
    if (instant > request_.rangeStart && instant < request_.rangeEnd) {
        result_.log.push_back(
            fmt::sprintf(Tr("+ Sarvento Marker: %s", "+ Marqueur Sarvento : %s"), PrintableLine(marker.markerLabel)));
        result_.markers.push_back(std::move(marker));
    }
}

void Search::Finish() {
    days_.Close();
    auto& log = result_.log;
    const std::size_t rejected = result_.counts.rejectedUnknown;
    if (request_.ignoreUnknownTags && rejected > 0) {
        log.push_back(CurrentLanguage() == Language::English
                          ? fmt::sprintf("* %d detection%s rejected: unknown chips", Int(rejected), Plural(rejected))
                          : fmt::sprintf("* %d détection%s rejetée%s : puces inconnues", Int(rejected), Plural(rejected),
                                         Plural(rejected)));
    }
    const std::size_t found = result_.detections.size();
    if (found == 0) {
        log.push_back(Tr("* No suitable detection found in selected time range",
                         "* Aucune détection pertinente trouvée dans la période sélectionnée"));
    } else {
        log.push_back(CurrentLanguage() == Language::English
                          ? fmt::sprintf("* %d suitable detection%s found in selected time range", Int(found), Plural(found))
                          : fmt::sprintf("* %d détection%s pertinente%s trouvée%s dans la période sélectionnée", Int(found),
                                         Plural(found), Plural(found), Plural(found)));
    }

    result_.counts.beforePurge = found;
    log.push_back(fmt::sprintf(Tr("* %d detections before purge", "* %d détections avant élimination des doublons"),
                               Int(found)));
    PurgeRepeatedReads(result_.detections, request_.purgeIntervalMs);
    log.push_back(fmt::sprintf(Tr("* %d detections after purge (%d ms)", "* %d détections après élimination des doublons (%d ms)"),
                               Int(result_.detections.size()), request_.purgeIntervalMs));

    const std::size_t unknown = result_.unknownChips.size();
    if (unknown > 0) {
        result_.alert = true;
        std::string codes;
        for (std::size_t i = 0; i < unknown && i < 4; ++i) codes += "  " + PrintableLine(result_.unknownChips[i]);
        if (unknown > 4) codes += "  ...";
        log.push_back(CurrentLanguage() == Language::English
                          ? fmt::sprintf("* %d chip%s not found in TARVEXTABLE.DTB: %s", Int(unknown), Plural(unknown), codes)
                          : fmt::sprintf("* %d puce%s non trouvée%s dans la table de correspondance : %s", Int(unknown),
                                         Plural(unknown), Plural(unknown), codes));
    }

    // Every line read is accounted for, so a damaged file shows how much of it was used.
    const auto& c = result_.counts;
    log.push_back(fmt::sprintf(Tr("* %d lines read: %d detection lines, %d marker lines, %d invalid lines, %d short lines ignored",
                                  "* %d lignes lues : %d lignes de détection, %d lignes de marqueur, %d lignes invalides, %d lignes courtes ignorées"),
                               Int(c.lines), Int(c.detectionLines), Int(c.markerLines), Int(c.invalidLines),
                               Int(c.shortLines)));
    log.push_back(Tr("+++ Parsing Tarvex detections file done", "+++ Traitement de fichier Tarvex terminé"));
}

}  // namespace

std::string NotRegularFileText(const std::string& path) {
    return fmt::sprintf(Tr("File to import is not a regular file\n%s", "Le fichier à importer n'est pas un fichier ordinaire\n%s"),
                        path);
}

std::string SearchProgressText(std::size_t lines, std::size_t kept) {
    if (CurrentLanguage() == Language::English) {
        return fmt::sprintf("%d lines parsed - %d detection%s found in selected time range", Int(lines), Int(kept),
                            Plural(kept));
    }
    return fmt::sprintf("%d lignes traitées - %d détection%s trouvée%s dans la période sélectionnée", Int(lines), Int(kept),
                        Plural(kept), Plural(kept));
}

DecoderFileSearchResult SearchDecoderFile(const DecoderFileSearchRequest& request, const SearchProgress& progress,
                                          const std::atomic<bool>* cancel) {
    DecoderFileSearchResult result;
    Search(request, progress, cancel, result).Run();
    return result;
}

}  // namespace lv
