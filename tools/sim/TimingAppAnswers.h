#pragma once
// What the simulated timing application answers to each command line.
#include <string>

#include "TimingAppOptions.h"
#include "TimingAppRace.h"

namespace sim {

class TimingAppResponder {
public:
    TimingAppResponder(const TimingAppOptions& options, SimRace& race);

    // The answer line (without its line end) to one received line (without its line
    // end); empty when there is nothing to answer.
    std::string Answer(const std::string& line);

private:
    std::string AnswerPush(const std::string& record);
    std::string RunnerAnswer(const SimRunner& runner, const SimStanding& standing,
                             const std::string& detector, const std::string& timeText,
                             int status) const;

    const TimingAppOptions& options_;
    SimRace& race_;
};

// The runner's time as the timing application shows it (HH:MM:SS) from a pushed time
// text: "HH:MM:SS.hh" (hours may pass 24) or "<seconds since 1970>.<hundredths>".
std::string ShownTime(const std::string& timeText);

}  // namespace sim
