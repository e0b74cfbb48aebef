// The chip table file: read from bytes as from a file, the same table; a table written
// out ("bib chip" lines) and read again gives the same lookups.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/ChipTable.h"

using namespace lv;

namespace {

// The table is process-wide; each input loads it afresh.
struct Lookups {
    int count = 0;
    std::vector<std::pair<bool, int32_t>> bibs;  // per candidate chip
    bool operator==(const Lookups&) const = default;
};

Lookups LookUp(const std::vector<std::string>& chips) {
    Lookups found;
    found.count = ChipTableCount();
    for (const std::string& chip : chips) {
        int32_t bib = -7;
        const bool known = FindBib(chip, bib);
        found.bibs.emplace_back(known, known ? bib : -7);
    }
    return found;
}

std::string ScratchFile() {
    const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/lumivane-fuzz-chips-" + std::to_string(::getpid()) + ".dtb";
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string scratch = ScratchFile();
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // Every blank-separated word of the text may be a chip.
    std::vector<std::string> chips;
    std::string word;
    for (char c : text) {
        if (IsBlank(c) || c == '\n' || c == '\r' || c == '\0') {
            if (!word.empty() && chips.size() < 64) chips.push_back(word);
            word.clear();
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) chips.push_back(word);

    FUZZ_CHECK(LoadChipTableText(text, "fuzz"));
    const Lookups fromText = LookUp(chips);
    FUZZ_CHECK(fromText.count <= static_cast<int>(size / 2 + 1));

    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    FUZZ_CHECK(LoadChipTableFile(scratch));
    FUZZ_CHECK(LookUp(chips) == fromText);

    // Written out as the chip table's own lines and read again.
    std::string written;
    for (std::size_t i = 0; i < chips.size(); ++i) {
        if (fromText.bibs[i].first) written += std::to_string(fromText.bibs[i].second) + " " + chips[i] + "\n";
    }
    FUZZ_CHECK(LoadChipTableText(written, "fuzz"));
    const Lookups again = LookUp(chips);
    FUZZ_CHECK(again.bibs == fromText.bibs);

    ClearChipTable();
    std::remove(scratch.c_str());
    return 0;
}
