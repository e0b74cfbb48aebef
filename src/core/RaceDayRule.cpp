#include "core/RaceDayRule.h"

#include "base/Texts.h"

namespace lv {

int RaceDayIndex(const std::string& date, const std::array<std::string, 4>& raceDays) {
    for (int k = 0; k < static_cast<int>(raceDays.size()); ++k) {
        if (!raceDays[k].empty() && raceDays[k] == date) return k;
    }
    return -1;
}

CChrono AddDays(const CChrono& ofDay, int days) {
    return days > 0 ? ofDay + CChrono(24 * 3600 * days, 0) : ofDay;
}

CChrono RaceTimeOfDay(const CChrono& instant, const CChrono& clockOfDay, const std::string& clockDate,
                      const std::array<std::string, 4>& raceDays, int& raceDay) {
    CChrono ofDay = clockOfDay;
    if (!ofDay.IsSet()) {
        ofDay = instant;
        ofDay.AbsoluteToOfDay();
    }
    // The date the box wrote saves a conversion of the instant for every passing.
    raceDay = RaceDayIndex(clockDate.empty() ? instant.FormatDateCompact() : clockDate, raceDays);
    return raceDay < 0 ? ofDay : AddDays(ofDay, raceDay);
}

const char* DatesIncompatibleText() {
    return Tr("### Caution: Box and Computer dates seem incompatible!",
              "### Attention: Incompatibilité de date boîtier / ordinateur !");
}

}  // namespace lv
