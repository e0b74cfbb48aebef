#include "boxes/PassingIntake.h"

#include <cstdio>
#include <fmt/printf.h>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/DecoderProtocol.h"
#include "boxes/PassingParser.h"
#include "boxes/TarvexBox.h"

namespace lv {

CPassingIntake::CPassingIntake(BoxHost& host, CTarvexBox& box)
    : host_(host),
      box_(box),
      settingsVersion_(host.IntakeSettingsVersion()),
      settings_(host.CurrentIntakeSettings()) {}

void CPassingIntake::FollowSettings() {
    // The version is taken before the settings: a change published in between is
    // fetched again at the next call, never missed.
    const uint64_t version = host_.IntakeSettingsVersion();
    if (version == settingsVersion_) return;
    settingsVersion_ = version;
    settings_ = host_.CurrentIntakeSettings();
}

std::string CPassingIntake::BoxLabel() const { return box_.Label(); }

void CPassingIntake::ProcessLine(const std::string& line, bool incomplete) {
    auto start = std::chrono::steady_clock::now();
    ProcessReceived(ClassifyReceivedLine(line, incomplete), start);
}

void CPassingIntake::ProcessReceived(const ReceivedLine& received,
                                     std::chrono::steady_clock::time_point start) {
    switch (received.kind) {
        case ReceivedKind::Blank:
            return;
        case ReceivedKind::Invalid:
            Log(0, fmt::sprintf(Tr("+ %s : Invalid input(TL) : %s", "+ %s : Trame invalide (TL) : %s"),
                                BoxLabel(), PrintableExcerpt(received.text)));
            return;
        case ReceivedKind::Passing:
            ProcessPassing(received.text, start);
            return;
        case ReceivedKind::Response:
            ReportResponse(received.text, received.code);
            return;
    }
}

void CPassingIntake::ProcessPassing(const std::string& line,
                                    std::chrono::steady_clock::time_point start) {
    FollowSettings();
    ++counters_.seen;
    box_.NoteRead();
    PassingRead read;
    if (!ReadPassingLine(line, read)) {
        ++counters_.invalid;
        Log(0, fmt::sprintf(Tr("+ %s : Invalid detection: %s", "+ %s : Détection invalide: %s"), BoxLabel(),
                            PrintableExcerpt(line)));
    } else {
        FollowBoxClock(read, previousInstant_);
        Detection detection;
        detection.source = DetectionSource::Decoder;
        detection.box = box_.number.load();
        CComBox* transport = box_.Transport();
        if (transport) detection.detectorId = transport->GetDetectorId();
        detection.code = std::move(read.code);
        detection.instant = read.instant;
        detection.clockOfDay = read.clockOfDay;
        detection.clockDate = std::move(read.date);
        const RecordResult result = host_.Record(detection);
        switch (result.outcome) {
            case RecordOutcome::Recorded:
                ++counters_.recorded;
                break;
            case RecordOutcome::Repeated:
                ++counters_.ignored;
                Log(75, fmt::sprintf(Tr("+ %s : Detection ignored", "+ %s : Détection ignorée"), BoxLabel()));
                break;
            case RecordOutcome::UnknownChip:
                ++counters_.invalid;
                Log(0, fmt::sprintf("+ %s : %s", BoxLabel(), result.error));
                break;
        }
    }

    auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    counters_.timedMilliseconds += static_cast<uint64_t>(spent.count());
    ++counters_.timedPassings;
    if (counters_.seen % kMeanTimeEvery == 0) {
        Log(0, fmt::sprintf(Tr(">> Mean time (on %d last) for detection treatment: %d ms  [%d ignored, %d invalid]",
                               ">> Temps moyen (sur les %d dernières) de traitement de détections : %d ms  [%d ignorées, %d invalides]"),
                            counters_.timedPassings,
                            static_cast<uint32_t>(counters_.timedMilliseconds / counters_.timedPassings),
                            counters_.ignored, counters_.invalid));
        counters_.timedPassings = 0;
        counters_.timedMilliseconds = 0;
    }
}

void CPassingIntake::ReportResponse(const std::string& response, int code) {
    const std::string label = BoxLabel();
    switch (code) {
        case kRespSetTime:
            Log(0, fmt::sprintf(Tr("+ %s : Box synchronized", "+ %s : Boitier synchronisé"), label));
            break;
        case kRespGetTime:
            ReportGetTime(response);
            break;
        case kRespSetBounce:
            ReportSetBounce(response);
            break;
        case kRespSetProtocol: {
            std::vector<std::string> fields = SplitFields(response, ";");
            if (fields.size() >= 2) {
                Log(0, fmt::sprintf(Tr("+ %s : Protocol version: %s", "+ %s : Version de protocole : %s"),
                                    label, PrintableExcerpt(fields[1])));
            }
            break;
        }
        case kRespListFiles:
            Log(0, fmt::sprintf(Tr("+ %s : List files response received", "+ %s : Liste des fichiers reçus"),
                                label));
            break;
        case kRespTimestampGet:
            Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox Got TIMESTAMP (TL)",
                                   "+ %s : USB TimingBox TIMESTAMP reçu (TL)"),
                                label));
            break;
        case kRespEpochRefGet:
            Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox Got EPOCH REF (TL)",
                                   "+ %s : USB TimingBox EPOCH REF reçu (TL)"),
                                label));
            break;
        case kRespEpochRefSet:
            Log(0, fmt::sprintf(Tr("+ %s : USB TimingBox synchronized (TL)",
                                   "+ %s : USB TimingBox synchronisé (TL)"),
                                label));
            break;
        case kRespPassingGet:
            Log(0, fmt::sprintf("+ %s : USB TimingBox passing (TL)", label));
            break;
        default:
            break;
    }
}

void CPassingIntake::ReportGetTime(const std::string& response) {
    CChrono computer(CChrono::kNowOfDay);
    std::vector<std::string> fields = SplitFields(response, ";");
    if (fields.size() != 3) return;
    std::string date;
    for (char c : fields[1]) {
        if (c != '-') date.push_back(c);
    }
    std::string time = fields[2];
    CChrono::NormalizeFraction(time);
    CChrono boxOfDay;
    CChrono absolute;
    bool parsed = boxOfDay.ParseTimeMs(time);
    if (parsed) {
        if (date == "00000000") {
            absolute = boxOfDay;
        } else {
            parsed = absolute.ParseDateTime(date, time);
        }
    }
    if (!parsed) {
        Log(0, fmt::sprintf(Tr("+ %s : Invalid input(TL) : %s", "+ %s : Trame invalide (TL) : %s"),
                            BoxLabel(), PrintableExcerpt(response)));
        return;
    }
    Log(0, fmt::sprintf(Tr("+ %s : Date %s  %s (time got at %s)", "+ %s : Date %s  %s (heure reçue à %s)"),
                        BoxLabel(), absolute.FormatDate(), boxOfDay.FormatHundredths(),
                        computer.FormatHundredths()));
}

void CPassingIntake::ReportSetBounce(const std::string& response) {
    int seconds = 0;
    if (std::sscanf(response.c_str(), "SETBOUNCE;%d", &seconds) != 1) {
        Log(0, fmt::sprintf(Tr("+ %s : Error setting bounce time", "+ %s : Erreur ajustement du temps inter-passage"),
                            BoxLabel()));
        return;
    }
    std::string duration;
    if (seconds < 60) {
        duration = fmt::sprintf("%ds", seconds);
    } else if (seconds >= 3600) {
        duration = fmt::sprintf("%dh", seconds / 3600);
    } else {
        duration = fmt::sprintf("%dmn", seconds / 60);
    }
    Log(0, fmt::sprintf(Tr("+ %s : Bounce time set to %s", "+ %s : Temps d'inactivation ajusté à %s"),
                        BoxLabel(), duration));
}

}  // namespace lv
