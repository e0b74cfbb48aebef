#include "core/DetectionExport.h"

#include <cstdio>

#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"

namespace lv {

bool ExportDetectionTable(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    // The lines are taken under the table lock and written after it: a consistent
    // picture of the table, and box threads never wait for the export's disk.
    std::string content;
    DetectionTable::Instance().WithRecords([&content](const std::deque<CQoxResult>& records) {
        std::size_t number = 0;
        for (const CQoxResult& record : records) {
            if (record.active != 0) content += FormatDetectionLine(++number, record);
        }
    });
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace lv
