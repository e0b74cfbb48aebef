#include "TimingAppRace.h"

#include <fmt/format.h>

#include <cstdlib>
#include <fstream>

namespace sim {
namespace {

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : line) {
        if (c == ';' || c == '\t') {
            fields.push_back(field);
            field.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

const char* const kLastNames[] = {"Martin", "Bernard", "Dubois", "Thomas", "Robert", "Richard",
                                  "Petit", "Durand", "Leroy", "Moreau", "Simon", "Laurent",
                                  "Lefèvre", "Michel", "Garcia", "David", "Bertrand", "Roux"};
const char* const kMenNames[] = {"Pierre", "Jean", "Luc", "Hugo", "Louis", "Théo", "Paul", "Marc"};
const char* const kWomenNames[] = {"Marie", "Léa", "Camille", "Chloé", "Julie", "Emma", "Anne",
                                   "Élodie"};
const char* const kTeams[] = {"AC Vanelles", "Trail Club du Mont", "Les Foulées", "Individuel"};

}  // namespace

bool SimRace::LoadRunners(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open runners file " + path;
        return false;
    }
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (line.empty() || line[0] == '#' || line == "\r") continue;
        std::vector<std::string> fields = SplitFields(line);
        char* end = nullptr;
        long bib = fields.empty() ? 0 : std::strtol(fields[0].c_str(), &end, 10);
        if (fields.size() < 6 || end == fields[0].c_str() || bib <= 0) {
            error = fmt::format("{}:{}: expected bib;last;first;sex;scat;cat", path, lineNumber);
            return false;
        }
        SimRunner runner;
        runner.bib = static_cast<int>(bib);
        runner.lastName = fields[1];
        runner.firstName = fields[2];
        runner.sex = fields[3];
        runner.shortCategory = fields[4];
        runner.category = fields[5];
        if (fields.size() > 6) runner.team = fields[6];
        if (fields.size() > 7) runner.nation = fields[7];
        if (fields.size() > 8) runner.race = fields[8];
        runners_[runner.bib] = runner;
    }
    return true;
}

void SimRace::GenerateField(int count) {
    static const char* const kShort[] = {"SE", "M0", "M1", "M2"};
    static const char* const kLong[] = {"Senior", "Master 0", "Master 1", "Master 2"};
    for (int bib = 1; bib <= count; ++bib) {
        SimRunner runner;
        runner.bib = bib;
        bool woman = bib % 3 == 0;
        runner.lastName = kLastNames[bib % (sizeof kLastNames / sizeof *kLastNames)];
        runner.firstName = woman ? kWomenNames[bib % (sizeof kWomenNames / sizeof *kWomenNames)]
                                 : kMenNames[bib % (sizeof kMenNames / sizeof *kMenNames)];
        // One character, not a literal: GCC 12 warns wrongly on the literal's copy at -O2.
        runner.sex.assign(1, woman ? 'F' : 'M');
        int category = (bib / 3) % 4;
        runner.shortCategory.append(kShort[category]).append(runner.sex);
        runner.category.append(kLong[category]).append(woman ? " Femme" : " Homme");
        runner.team = kTeams[bib % (sizeof kTeams / sizeof *kTeams)];
        runners_[bib] = runner;
    }
}

const SimRunner* SimRace::Find(int bib) const {
    auto it = runners_.find(bib);
    return it == runners_.end() ? nullptr : &it->second;
}

bool SimRace::Ahead(const Progress& a, const Progress& b) {
    if (a.passes != b.passes) return a.passes > b.passes;
    return a.reachedAt < b.reachedAt;
}

SimStanding SimRace::CountPassing(int bib) {
    Progress& progress = progress_[bib];
    ++progress.passes;
    progress.reachedAt = ++passingCounter_;
    return Standing(bib);
}

SimStanding SimRace::Standing(int bib) const {
    SimStanding standing;
    auto mine = progress_.find(bib);
    const SimRunner* runner = Find(bib);
    if (mine == progress_.end() || runner == nullptr) return standing;
    standing.passes = mine->second.passes;
    standing.overall = standing.inSex = standing.inCategory = 1;
    for (const auto& [otherBib, other] : progress_) {
        if (otherBib == bib || !Ahead(other, mine->second)) continue;
        const SimRunner* otherRunner = Find(otherBib);
        if (otherRunner == nullptr) continue;
        ++standing.overall;
        if (otherRunner->sex == runner->sex) ++standing.inSex;
        if (otherRunner->category == runner->category) ++standing.inCategory;
    }
    return standing;
}

}  // namespace sim
