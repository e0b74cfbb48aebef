#pragma once
// The timing application's result and information codes, the rank ordinals and the
// version text, as the direct connection shows them.
#include <string>
#include <string_view>

#include "base/Texts.h"

namespace lv {

// Result codes the answers carry (after "ERR:" or as a runner answer's status).
enum DirectResultCode {
    kResultTimeRecorded = 3,       // the only status that carries a rank
    kResultControlTime = -8,       // nothing is shown
    kResultDecodingFailed = -20,
    kResultInformation = 105,
};

// Information codes (after "NFO:").
enum DirectInformationCode {
    kInformationPing = 20,
    kInformationVersion = 27,
};

// The fixed text of a result code (the same in both languages); an unknown code gives
// "unknown status" / "Status inconnu".
std::string ResultCodeText(int code, Language language);

// The name of an information code; an unknown code gives "unknown command" /
// "Commande inconnue".
std::string InformationName(int code, Language language);

// "12th", "1st"; French "12ème", "1ère" (sex beginning with F), "1er" (with M).
// Rank 0 is unknown: "?th" / "?ème".
std::string RankOrdinal(int rank, std::string_view sex, Language language);

// A version answer ("major,minor,sub,letter") and its short form "%d.%d%c"
// (minor x 10 + sub, letter 1 -> 'a' ..., 0 -> '_'), e.g. 4,4,0,0 -> "4.40_".
struct QuilletVersion {
    int major = 0;
    int minor = 0;  // minor x 10 + sub
    int letter = 0;
    std::string text;
};

// False when the text is not four comma-separated integers with a letter from 0 to 26.
bool ParseQuilletVersion(std::string_view text, QuilletVersion& version);

// The oldest version this program works with: "4.40_".
QuilletVersion MinimumQuilletVersion();

// Compares number by number (4.100_ is newer than 4.40_).
bool IsOlderVersion(const QuilletVersion& version, const QuilletVersion& reference);

}  // namespace lv
