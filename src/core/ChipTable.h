#pragma once
// The chip translation table: chip code -> bib number, loaded from a ".dtb" text file.
// Process-wide; every operation, lookups included, holds the table lock.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace lv {

struct CQoxItem {
    static constexpr std::size_t kChipSize = 64;  // 63 characters and the terminator
    char chip[kChipSize] = {};
    int32_t bib = 0;
};

// The longest chip code the table can hold; a longer code entering the program is
// refused where it enters, never cut (a cut code could be another runner's).
inline constexpr std::size_t kMaxChipCodeLength = CQoxItem::kChipSize - 1;

// A chip code as files and the chip table can carry it: 1 to kMaxChipCodeLength bytes,
// each a visible ASCII character (no blank, control byte or byte above 0x7E).
bool IsValidChipCode(std::string_view code);

// Scoped hold of the table lock (recursive: an operation may call another).
class CQoxTableLocker {
public:
    CQoxTableLocker();
    ~CQoxTableLocker();
    CQoxTableLocker(const CQoxTableLocker&) = delete;
    CQoxTableLocker& operator=(const CQoxTableLocker&) = delete;
};

void ClearChipTable();
int ChipTableCount();
int ChipTableCapacity();
bool AddChip(std::string_view chip, int32_t bib);
// Empty table: false, bib untouched. Otherwise bib = -1, then the first entry whose
// chip matches without regard to letter case.
bool FindBib(std::string_view chip, int32_t& bib);
// The first entry's chip for the bib, else the bib as decimal text. Always true.
bool FindChip(int32_t bib, std::string& chip);
// A bib word: quotes stripped, cut at the last ',', '.', ';'; digits only.
bool ReadBibNumber(std::string_view text, int32_t& number);
bool LoadChipTableFile(const std::string& path);
// The same over the bytes of a table file; `name` stands for its path in log lines.
bool LoadChipTableText(std::string_view text, const std::string& name);
// Makes a load in progress on another thread stop soon (a stop request of the program);
// it then fails and leaves the table empty. Async-signal-safe; the next load clears it.
void InterruptChipTableLoad();
// Looks for the file in the data folder then the program folder ("ChipTable.dtb"
// first, then `name`); message is the log text of the outcome.
bool LoadChipTable(const std::string& name, std::string& message);

}  // namespace lv
