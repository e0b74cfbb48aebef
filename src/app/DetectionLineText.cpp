#include "app/DetectionLineText.h"

#include <fmt/printf.h>

#include "core/ChipTable.h"

namespace lv {
namespace {

// The bib of a chip code in the chip table, as the window shows it; false when the
// table is empty or does not know the chip.
bool BibOf(const std::string& chip, bool& tableEmpty, uint32_t& bib) {
    CQoxTableLocker lock;
    tableEmpty = ChipTableCount() == 0;
    int32_t found = -1;
    if (tableEmpty || !FindBib(chip, found) || found < 0) return false;
    bib = static_cast<uint32_t>(found);
    return true;
}

// A network decoder's passing: with numbers sent, the recorded text; otherwise the
// chip with its bib as the table gives it now.
std::string DecoderText(const CQoxResult& record, const std::string& description, bool sendNumbers) {
    if (sendNumbers) return fmt::sprintf("%s\t# %s", description, record.label);
    bool tableEmpty = false;
    uint32_t bib = 0;
    if (BibOf(record.label, tableEmpty, bib)) return fmt::sprintf("%s\t%s\t# %u", description, record.label, bib);
    if (tableEmpty) return fmt::sprintf("%s\t%s", description, record.label);
    return fmt::sprintf("%s\t%s\t# ????", description, record.label);
}

// A USB TimingBox's passing marks what the chip table said when it was read.
std::string UsbText(const CQoxResult& record, const std::string& description) {
    switch (record.lookup) {
        case ChipLookup::NotAsked: return fmt::sprintf("%s\t%s", description, record.label);
        case ChipLookup::TableEmpty: return fmt::sprintf("%s\t%s !!!", description, record.label);
        case ChipLookup::Found: return fmt::sprintf("%s\t# %s", description, record.label);
        case ChipLookup::NotFound: return fmt::sprintf("%s\t%s ???", description, record.label);
    }
    return {};
}

std::string ManualText(const CQoxResult& record, bool sendNumbers) {
    if (sendNumbers) return fmt::sprintf("%s\t# %s", "Man.", record.label);
    bool tableEmpty = false;
    uint32_t bib = 0;
    if (BibOf(record.label, tableEmpty, bib)) return fmt::sprintf("%s\t%s\t# %d", "Man.", record.label, bib);
    return fmt::sprintf("%s\t%s", "Man.", record.label);
}

}  // namespace

std::string DetectionLineText(const CQoxResult& record, const std::string& boxDescription, bool sendNumbers) {
    switch (record.source) {
        case DetectionSource::Decoder:
        case DetectionSource::Recovery: return DecoderText(record, boxDescription, sendNumbers);
        case DetectionSource::UsbBox: return UsbText(record, boxDescription);
        case DetectionSource::Manual: return ManualText(record, sendNumbers);
        case DetectionSource::Import: return fmt::sprintf("%s\t# %s", "Imp.", record.label);
        case DetectionSource::Resumed: return fmt::sprintf("%s\t# %s", record.boxName, record.label);
    }
    return {};
}

CDetectionItem DetectionLine(CQoxResult& record, const std::string& boxDescription, bool sendNumbers) {
    CDetectionItem item;
    item.result = &record;
    item.line = record.ofDay.FormatDayWrap() + "\t" + DetectionLineText(record, boxDescription, sendNumbers);
    return item;
}

}  // namespace lv
