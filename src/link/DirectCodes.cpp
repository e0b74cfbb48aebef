#include "link/DirectCodes.h"

#include <fmt/format.h>

#include <climits>
#include <tuple>

#include "link/AnswerText.h"

namespace lv {

std::string ResultCodeText(int code, Language language) {
    switch (code) {
        case -1: return "IR_RUNNER_COURSE_NULL";
        case -2: return "Id. puce non trouvé";
        case -3: return "IR_RUNNER_TABLE_FULL";
        case -4: return "IR_RUNNER_TIME_SKIPPED";
        case -5: return "Coureur inconnu";
        case -6: return "Nombre max de passages atteint";
        case -7: return "Détection refusée pour le coureur";
        case -9: return "Détection refusée pour la course";
        case -11: return "IR_BIB_NUMBER_REJECTED";
        case -8: return "Temps de contrôle";
        case 0: return "Temps du coureur inchangé";
        case 1: return "Temps du coureur corrigé";
        case 2: return "Temps du coureur modifié";
        case 3: return "Temps pris en compte pour le coureur";
        case 4: return "Coureur marqué comme ayant pris le départ";
        case -20: return "Code inconnu";
        case 101: return "Erreur interne";
        case 102: return "Aucune compétition/course/coureur";
        case 103: return "Commande inconnue";
        case 104: return "Commande invalide";
        case 105: return "Résultat";
        case 106: return "Pas de résultat";
        case 201: return "Détecteur inconnu";
        case 202: return "Coureur inconnu";
        case 1000: return "Connexion refusée";
        default: return language == Language::English ? "unknown status" : "Status inconnu";
    }
}

std::string InformationName(int code, Language language) {
    switch (code) {
        case 0: return "DETCMD_UNKNOWN";
        case 1: return "DETCMD_PUSH_TIME";
        case 2: return "DETCMD_GET_QOX";
        case 3: return "DETCMD_GET_BIB_NUMBER";
        case 4: return "DETCMD_DISPLAY_DETECTOR";
        case 5: return "Competition name";
        case 6: return "Filename";
        case 7: return "Detector list";
        case 8: return "Races list";
        case 20: return "Ping";
        case 21: return "DETCMD_PELTRA_LOCK";
        case 22: return "DETCMD_PELTRA_UNLOCK";
        case 23: return "DETCMD_PELTRA_EXPEDITION";
        case 24: return "Application";
        case 25: return "User";
        case 27: return "Version";
        case 28: return "Printable Version";
        case 49: return "Unknown command";
        default: return language == Language::English ? "unknown command" : "Commande inconnue";
    }
}

std::string RankOrdinal(int rank, std::string_view sex, Language language) {
    if (language == Language::French) {
        if (rank == 0) return "?ème";
        if (rank == 1 && !sex.empty() && sex[0] == 'F') return "1ère";
        if (rank == 1 && !sex.empty() && sex[0] == 'M') return "1er";
        return fmt::format("{}ème", rank);
    }
    if (rank == 0) return "?th";
    // 11th, 12th and 13th, not 11st, 12nd and 13rd.
    long long magnitude = rank < 0 ? -static_cast<long long>(rank) : rank;
    const char* suffix = "th";
    if (magnitude % 100 < 11 || magnitude % 100 > 13) {
        switch (magnitude % 10) {
            case 1: suffix = "st"; break;
            case 2: suffix = "nd"; break;
            case 3: suffix = "rd"; break;
            default: break;
        }
    }
    return fmt::format("{}{}", rank, suffix);
}

bool ParseQuilletVersion(std::string_view text, QuilletVersion& version) {
    int numbers[4] = {};
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',') return false;
            ++pos;
        }
        std::size_t used = ScanLeadingInt(text.substr(pos), numbers[i]);
        if (used == 0) return false;
        pos += used;
    }
    int letter = numbers[3];
    if (letter < 0 || letter > 26) return false;
    long long minor = static_cast<long long>(numbers[1]) * 10 + numbers[2];
    if (minor > INT_MAX || minor < INT_MIN) return false;
    version.major = numbers[0];
    version.minor = static_cast<int>(minor);
    version.letter = letter;
    version.text = fmt::format("{}.{}{}", version.major, version.minor,
                               letter == 0 ? '_' : static_cast<char>('a' + letter - 1));
    return true;
}

QuilletVersion MinimumQuilletVersion() {
    QuilletVersion version;
    ParseQuilletVersion("4,4,0,0", version);
    return version;
}

bool IsOlderVersion(const QuilletVersion& version, const QuilletVersion& reference) {
    return std::tie(version.major, version.minor, version.letter) <
           std::tie(reference.major, reference.minor, reference.letter);
}

}  // namespace lv
