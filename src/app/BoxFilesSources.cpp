// The box files explorer's boxes, from the supervisor's four boxes.
#include <fmt/printf.h>

#include "app/BoxSupervisor.h"
#include "base/Texts.h"
#include "boxes/TarvexBox.h"

// ---- Merge point: the box's file listing -------------------------------------------------
// ListBoxFiles (boxes/BoxFileList.h) comes with the USB TimingBox work; until it is
// on this branch the explorer's box mode says the listing is not available.
#if __has_include("boxes/BoxFileList.h")
#include "boxes/BoxFileList.h"
#define LUMIVANE_HAVE_BOX_FILE_LIST 1
#endif

namespace lv {

namespace {

BoxFileLister ListerOf(CTarvexBox& box) {
#ifdef LUMIVANE_HAVE_BOX_FILE_LIST
    return [&box](std::vector<std::unique_ptr<CDetectionFile>>& files, std::string& error) {
        return ListBoxFiles(box, files, error);
    };
#else
    (void)box;
    return [](std::vector<std::unique_ptr<CDetectionFile>>&, std::string& error) {
        error = Tr("Listing the box's files is not available in this version",
                   "La liste des fichiers du boîtier n'est pas disponible dans cette version");
        return -1;
    };
#endif
}

}  // namespace
// ---- End of merge point ---------------------------------------------------------------

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
