#include "export/RecalageRules.h"

#include "export/ExportTexts.h"

namespace lv {

RecalageRules::RecalageRules(int passing, std::string bib, const CChrono& clockTime, const CChrono& handicap)
    : passing_(passing), bib_(std::move(bib)), clockTime_(clockTime), handicap_(handicap) {}

bool RecalageRules::Accept(std::string_view passingTimeText, std::string& warning) {
    CChrono entered;
    if (!entered.ParseTime(passingTimeText)) {
        warning = InvalidPassingTimeText();
        return false;
    }
    handicap_ = clockTime_ - entered;
    return true;
}

}  // namespace lv
