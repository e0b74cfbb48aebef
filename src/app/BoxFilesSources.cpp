// The box files explorer's boxes, from the supervisor's four boxes.
#include <fmt/printf.h>

#include "app/BoxSupervisor.h"
#include "base/Texts.h"
#include "boxes/BoxFileList.h"
#include "boxes/TarvexBox.h"

namespace lv {

namespace {

BoxFileLister ListerOf(CTarvexBox& box) {
    return [&box](std::vector<std::unique_ptr<CDetectionFile>>& files, std::string& error) {
        return ListBoxFiles(box, files, error);
    };
}

}  // namespace

BoxFilesSource BoxSupervisor::BoxFilesSourceFor(int firstBox) const {
    std::vector<ExplorerBox> entries;
    int first = 0;
    for (int index = 0; index < kBoxCount; ++index) {
        CTarvexBox& box = *boxes_[static_cast<std::size_t>(index)];
        const CComBox* transport = box.Transport();
        if (transport == nullptr) continue;
        std::string detectorId, host;
        int port = 0;
        transport->GetParameters(detectorId, host, port);
        // Boxes with a detector id and an address or port name.
        if (detectorId.empty() || host.empty()) continue;
        if (index == firstBox) first = static_cast<int>(entries.size());
        entries.push_back({BoxEntryText(index + 1, box.GetDescription()), ListerOf(box)});
    }
    return BoxFilesSource::ForBoxes(std::move(entries), first);
}

}  // namespace lv
