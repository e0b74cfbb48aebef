#include "cloud/explorer/BoxFilesSource.h"

#include <fmt/printf.h>

namespace lv {

BoxFilesSource BoxFilesSource::ForBoxes(std::vector<ExplorerBox> boxes, int firstEntry) {
    BoxFilesSource source;
    source.mode = Mode::Boxes;
    source.boxes = std::move(boxes);
    source.firstEntry = firstEntry;
    return source;
}

BoxFilesSource BoxFilesSource::ForCloud(std::string devicesReply) {
    BoxFilesSource source;
    source.mode = Mode::Cloud;
    source.devicesReply = std::move(devicesReply);
    return source;
}

std::string BoxEntryText(int boxNumber, const std::string& description) {
    return fmt::sprintf("Boîtier %d %s", boxNumber, description);
}

}  // namespace lv
