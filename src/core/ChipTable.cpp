#include "core/ChipTable.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <fmt/printf.h>

#include "base/Environment.h"
#include "base/Log.h"
#include "base/Texts.h"

namespace lv {

bool IsValidChipCode(std::string_view code) {
    if (code.empty() || code.size() > kMaxChipCodeLength) return false;
    for (char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f) return false;
    }
    return true;
}
namespace {

constexpr int kGrowth = 200;
// A line is read in pieces of at most this many characters; each piece counts as a line.
constexpr std::size_t kLinePiece = 510;

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerKey(std::string_view chip) {
    std::string key(chip);
    for (char& c : key) c = AsciiLower(c);
    return key;
}

// Set by a stop request (SIGTERM) while a table loads; cleared by the next load.
std::atomic<bool> g_loadInterrupted{false};

// The entries. The capacity reads as the table's users expect (200 at the first entry,
// then 200 more each time it is full), but the storage itself grows geometrically: a
// field of a million chips loads in linear time instead of copying itself 5,000 times.
class ChipArray {
public:
    int Count() const { return count_; }
    int Capacity() const { return capacity_; }
    const CQoxItem& At(int index) const { return items_[static_cast<std::size_t>(index)]; }

    void Clear() {
        std::vector<CQoxItem>().swap(items_);
        count_ = 0;
        capacity_ = 0;
        firstBibByChip_.clear();
    }

    // The bib of the first entry whose chip matches without regard to letter case.
    bool Lookup(std::string_view chip, int32_t& bib) const {
        if (chip.size() >= CQoxItem::kChipSize) return false;
        auto it = firstBibByChip_.find(LowerKey(chip));
        if (it == firstBibByChip_.end()) return false;
        bib = it->second;
        return true;
    }

    // `earlierBib` receives the bib of an earlier entry of the same chip, if any.
    bool Add(std::string_view chip, int32_t bib, int32_t* earlierBib = nullptr) {
        if (chip.size() >= CQoxItem::kChipSize) return false;
        if (count_ == capacity_) capacity_ += kGrowth;
        CQoxItem& item = items_.emplace_back();
        std::memcpy(item.chip, chip.data(), chip.size());
        item.chip[chip.size()] = '\0';
        item.bib = bib;
        ++count_;
        // Lookups run for every passing of every box: an index keeps them constant-time
        // whatever the size of the field; the first entry of a chip wins.
        auto [it, added] = firstBibByChip_.emplace(LowerKey(chip), bib);
        if (!added && earlierBib != nullptr) *earlierBib = it->second;
        return true;
    }

    void Swap(ChipArray& other) {
        std::swap(items_, other.items_);
        std::swap(count_, other.count_);
        std::swap(capacity_, other.capacity_);
        firstBibByChip_.swap(other.firstBibByChip_);
    }

private:
    std::vector<CQoxItem> items_;
    int count_ = 0;
    int capacity_ = 0;
    std::unordered_map<std::string, int32_t> firstBibByChip_;
};

// Never destroyed: a box thread still looking a chip up while the program ends must
// not find them gone.
std::recursive_mutex& TableLock() {
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

ChipArray& Table() {
    static auto* table = new ChipArray;
    return *table;
}


bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The next blank-separated word of `line` from `pos`; empty at the end.
std::string_view NextWord(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    std::size_t start = pos;
    while (pos < line.size() && !IsBlank(line[pos])) ++pos;
    return line.substr(start, pos - start);
}

void CutAtLast(std::string_view& text, char c) {
    std::size_t at = text.rfind(c);
    if (at != std::string_view::npos) text = text.substr(0, at);
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
    return _access(path.c_str(), 0) == 0;
#else
    return access(path.c_str(), F_OK) == 0;
#endif
}

// Reads the lines handed over by `nextPiece` into `loaded`: each call fills `piece` as
// fgets does (up to kLinePiece bytes, through the first line feed), false at the end.
// `name` names the source in log lines. False with EINTR when a load is interrupted.
template <class NextPiece>
bool ReadChipLines(NextPiece&& nextPiece, const std::string& name, ChipArray& loaded, int& error) {
    char piece[kLinePiece + 1];
    int lineNumber = 0;
    bool lineStart = true;
    while (nextPiece(piece)) {
        if (g_loadInterrupted.load(std::memory_order_relaxed)) {
            error = EINTR;
            return false;
        }
        std::string_view line(piece);
        bool lineEnds = !line.empty() && line.back() == '\n';
        if (lineStart) ++lineNumber;
        lineStart = lineEnds;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        std::size_t pos = 0;
        std::string_view bibWord = NextWord(line, pos);
        std::string_view chip = NextWord(line, pos);
        if (chip.empty()) continue;
        int32_t bib = 0;
        if (!ReadBibNumber(bibWord, bib)) continue;
        if (chip.size() >= CQoxItem::kChipSize) {
            // Cutting the code would give this bib to another chip: the line is left out.
            Log(20, fmt::sprintf(Tr("### Chip translation table %s, line %d: chip code longer "
                                    "than 63 characters, line ignored",
                                    "### Table de correspondance %s, ligne %d : code de puce de "
                                    "plus de 63 caractères, ligne ignorée"),
                                 name, lineNumber));
            continue;
        }
        int32_t earlierBib = bib;
        loaded.Add(chip, bib, &earlierBib);
        if (earlierBib != bib) {
            // The first entry wins; the timekeeper should know the table contradicts itself.
            Log(20, fmt::sprintf(Tr("### Chip translation table %s, line %d: chip %s already listed "
                                    "with bib %d, bib %d ignored",
                                    "### Table de correspondance %s, ligne %d : puce %s déjà "
                                    "associée au dossard %d, dossard %d ignoré"),
                                 name, lineNumber, std::string(chip), static_cast<int>(earlierBib),
                                 static_cast<int>(bib)));
        }
    }
    return true;
}

// Reads one file into `loaded`; false with the errno value when it cannot be read.
bool ReadChipFile(const std::string& path, ChipArray& loaded, int& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = errno;
        return false;
    }
    const bool read = ReadChipLines(
        [file](char* piece) { return std::fgets(piece, static_cast<int>(kLinePiece + 1), file) != nullptr; }, path,
        loaded, error);
    bool failed = !read || std::ferror(file) != 0;
    if (read && failed) error = errno;
    std::fclose(file);
    return !failed;
}

// The same over bytes in memory, cut into pieces exactly as fgets cuts a file.
bool ReadChipText(std::string_view text, const std::string& name, ChipArray& loaded, int& error) {
    return ReadChipLines(
        [&text](char* piece) {
            if (text.empty()) return false;
            std::size_t take = std::min(text.size(), kLinePiece);
            const std::size_t feed = text.substr(0, take).find('\n');
            if (feed != std::string_view::npos) take = feed + 1;
            std::memcpy(piece, text.data(), take);
            piece[take] = '\0';
            text.remove_prefix(take);
            return true;
        },
        name, loaded, error);
}

// Swaps a table read by `read` in, or leaves the table empty when it failed.
template <class Read>
bool LoadChips(Read&& read, int& error) {
    g_loadInterrupted.store(false);
    // Read into a table of its own and swapped in at the end, so that box threads
    // looking chips up meanwhile see the previous table, never a half-read one.
    ChipArray loaded;
    bool ok = read(loaded, error);
    CQoxTableLocker locker;
    if (!ok) {
        Table().Clear();
        return false;
    }
    Table().Swap(loaded);
    return true;
}

// LoadChipTableFile with the reason of a failure.
bool LoadChipFile(const std::string& path, int& error) {
    return LoadChips([&path](ChipArray& loaded, int& failure) { return ReadChipFile(path, loaded, failure); },
                     error);
}

}  // namespace

CQoxTableLocker::CQoxTableLocker() { TableLock().lock(); }
CQoxTableLocker::~CQoxTableLocker() { TableLock().unlock(); }

void ClearChipTable() {
    CQoxTableLocker locker;
    Table().Clear();
}

int ChipTableCount() {
    CQoxTableLocker locker;
    return Table().Count();
}

int ChipTableCapacity() {
    CQoxTableLocker locker;
    return Table().Capacity();
}

bool AddChip(std::string_view chip, int32_t bib) {
    CQoxTableLocker locker;
    return Table().Add(chip, bib);
}

bool FindBib(std::string_view chip, int32_t& bib) {
    CQoxTableLocker locker;
    const ChipArray& table = Table();
    if (table.Count() == 0) return false;
    bib = -1;
    return table.Lookup(chip, bib);
}

bool FindChip(int32_t bib, std::string& chip) {
    CQoxTableLocker locker;
    const ChipArray& table = Table();
    for (int i = 0; i < table.Count(); ++i) {
        if (table.At(i).bib == bib) {
            chip = table.At(i).chip;
            return true;
        }
    }
    chip = std::to_string(bib);
    return true;
}

bool ReadBibNumber(std::string_view text, int32_t& number) {
    number = 0;
    while (!text.empty() && text.front() == '"') text.remove_prefix(1);
    while (!text.empty() && text.back() == '"') text.remove_suffix(1);
    CutAtLast(text, ',');
    CutAtLast(text, '.');
    CutAtLast(text, ';');
    if (text.empty()) return false;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        // A number no bib can have; refused rather than wrapped.
        if (value > std::numeric_limits<int32_t>::max()) return false;
    }
    number = static_cast<int32_t>(value);
    return true;
}

void InterruptChipTableLoad() { g_loadInterrupted.store(true); }

bool LoadChipTableFile(const std::string& path) {
    int error = 0;
    return LoadChipFile(path, error);
}

bool LoadChipTableText(std::string_view text, const std::string& name) {
    int error = 0;
    return LoadChips(
        [text, &name](ChipArray& loaded, int& failure) { return ReadChipText(text, name, loaded, failure); }, error);
}

bool LoadChipTable(const std::string& name, std::string& message) {
    static const char* const kDefaultName = "ChipTable.dtb";
    std::string candidates[4];
    int candidateCount = 0;
    // An empty folder (no data folder could be made) would point at the root: skipped.
    for (const std::string& folder : {GetDataFolder(), GetProgramFolder()}) {
        if (folder.empty()) continue;
        candidates[candidateCount++] = JoinPath(folder, kDefaultName);
        if (!name.empty()) candidates[candidateCount++] = JoinPath(folder, name);
    }
    for (int i = 0; i < candidateCount; ++i) {
        const std::string& path = candidates[i];
        if (!FileExists(path)) continue;
        int error = 0;
        if (!LoadChipFile(path, error)) {
            if (error == EINTR) {
                message = fmt::sprintf(Tr("### Chip translation table loading interrupted. File %s",
                                          "### Chargement de la table de correspondance interrompu. Fichier %s"),
                                       path);
                return false;
            }
            message = fmt::sprintf(Tr("### Chip translation table cannot be read (%s). File %s",
                                      "### Table de correspondance illisible (%s). Fichier %s"),
                                   std::strerror(error), path);
            return false;
        }
        message = fmt::sprintf(Tr("+++ Chip translation table loaded (%d entries). File %s",
                                  "+++ Table de correspondance chargée (%d entrées). Fichier %s"),
                               ChipTableCount(), path);
        return true;
    }
    message = fmt::sprintf(Tr("### No chip translation table found (file ChipTable.dtb or %s)",
                              "### Pas de table de correspondance trouvée (fichier ChipTable.dtb ou %s)"),
                           name);
    return false;
}

}  // namespace lv
