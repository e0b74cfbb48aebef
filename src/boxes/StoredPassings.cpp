#include "boxes/StoredPassings.h"

#include <set>
#include <string>

namespace lv {

std::vector<const CDetectionFile*> FilesCovering(const std::vector<std::unique_ptr<CDetectionFile>>& files,
                                                 const CChrono& from, const CChrono& to) {
    // The local dates of the stretch, as the file list shows them (DD/MM/YYYY).
    std::set<std::string> days;
    if (from.IsSet() && to.IsSet() && from <= to) {
        constexpr int32_t kDay = 24 * 3600;
        for (int32_t second = from.Seconds(); second <= to.Seconds() && days.size() < 8; second += kDay) {
            days.insert(CChrono(second, 0).FormatDate());
        }
        days.insert(to.FormatDate());
    }
    std::vector<const CDetectionFile*> chosen;
    for (const auto& file : files) {
        if (file && days.count(file->created.substr(0, 10)) != 0) chosen.push_back(file.get());
    }
    if (chosen.empty() && !files.empty() && files.back()) chosen.push_back(files.back().get());
    return chosen;
}

std::vector<PassingRead> ReadStoredPassings(std::string_view content, const CChrono& from, const CChrono& to,
                                            std::size_t& unreadable) {
    unreadable = 0;
    std::vector<PassingRead> reads;
    std::optional<int64_t> previous;  // the file is one box's reads in order
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (line.empty()) continue;
        PassingRead read;
        if (!ReadPassingLine(line, read)) {
            ++unreadable;
            continue;
        }
        FollowBoxClock(read, previous);
        if (read.instant < from || to < read.instant) continue;
        reads.push_back(std::move(read));
    }
    return reads;
}

}  // namespace lv
