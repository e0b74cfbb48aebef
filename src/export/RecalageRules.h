#pragma once
// The handicap re-alignment (CDlgRecalage): the user types the race time of a known
// passing, and the handicap becomes that passing's clock time minus the typed time.
#include <string>
#include <string_view>

#include "core/Chrono.h"

namespace lv {

class RecalageRules {
public:
    RecalageRules(int passing, std::string bib, const CChrono& clockTime, const CChrono& handicap);

    int Passing() const { return passing_; }
    const std::string& Bib() const { return bib_; }
    std::string ClockTimeText() const { return clockTime_.FormatHundredths(); }
    // The edit's first text: the present passing time.
    std::string PresetText() const { return (clockTime_ - handicap_).FormatHundredths(); }

    // OK: false with the warning to show (the dialog stays open) when the text is no time.
    bool Accept(std::string_view passingTimeText, std::string& warning);
    const CChrono& Handicap() const { return handicap_; }

private:
    int passing_;
    std::string bib_;
    CChrono clockTime_;
    CChrono handicap_;
};

}  // namespace lv
