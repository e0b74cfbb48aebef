#pragma once
// The simulated race: the field of runners and standings that follow the passings
// received. Not thread-safe: the server serialises access.
#include <map>
#include <string>
#include <vector>

namespace sim {

struct SimRunner {
    int bib = 0;
    std::string lastName;
    std::string firstName;
    std::string sex;       // "M" or "F"
    std::string shortCategory;
    std::string category;
    std::string team;
    std::string nation = "FRA";
    std::string race = "Trail 25 km";
};

struct SimStanding {
    int passes = 0;
    int overall = 0;   // 0 while the runner has no counted passing
    int inSex = 0;
    int inCategory = 0;
};

class SimRace {
public:
    // Reads "bib;last;first;sex;scat;cat[;team[;nation[;race]]]" lines (TAB or ';').
    bool LoadRunners(const std::string& path, std::string& error);
    void GenerateField(int count);

    const SimRunner* Find(int bib) const;
    // Counts one passing of the bib and returns its standing afterwards.
    SimStanding CountPassing(int bib);
    // The standing without counting anything.
    SimStanding Standing(int bib) const;
    std::size_t Size() const { return runners_.size(); }

private:
    struct Progress {
        int passes = 0;
        unsigned long reachedAt = 0;  // order in which the present count was reached
    };
    // True when a is ahead of b.
    static bool Ahead(const Progress& a, const Progress& b);

    std::map<int, SimRunner> runners_;
    std::map<int, Progress> progress_;
    unsigned long passingCounter_ = 0;
};

}  // namespace sim
