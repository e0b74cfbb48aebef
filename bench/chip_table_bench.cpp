// Loading a large chip table: a field of a million chips, as a big event's table.
//   bench_chip_table_bench [entries]   (default 1000000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/ChipTable.h"

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const std::filesystem::path folder = std::filesystem::path(LUMIVANE_BUILD_DIR) / "bench-chip-table";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "ChipTable.dtb").string();
    {
        std::ofstream out(path, std::ios::binary);
        for (int bib = 1; bib <= entries; ++bib) out << bib << " E2801160" << bib << "\r\n";
    }
    const auto start = std::chrono::steady_clock::now();
    const bool loaded = lv::LoadChipTableFile(path);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int32_t bib = 0;
    const bool found = lv::FindBib("e2801160" + std::to_string(entries), bib) && bib == entries;
    std::printf("chip table: %d lines loaded in %.2f s (%.2f us per line), %d entries, capacity %d, last found %s\n",
                entries, seconds, seconds * 1e6 / entries, lv::ChipTableCount(), lv::ChipTableCapacity(),
                found ? "yes" : "no");
    std::filesystem::remove_all(folder);
    return loaded && found ? 0 : 1;
}
