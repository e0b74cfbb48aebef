#pragma once
// What the box files explorer is opened on: the declared boxes (box mode), or the
// devices reply of the customer's cloud account (cloud mode). This is the explorer's
// entry point for the window and the import dialog:
//
//   box mode:   BoxFilesSource::ForBoxes({{BoxEntryText(1, description), lister}, ...})
//   cloud mode: FetchCustomerDevices(reply, error) (cloud/CloudClient.h), then
//               BoxFilesSource::ForCloud(reply)
//   then (gui) RunBoxFilesDialog(parent, source) (gui/BoxFilesDialog.h), which returns
//   the path of the downloaded "TX_<file id>.txt", or "" when nothing was downloaded.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "boxes/DetectionFile.h"

namespace lv {

// Lists the files stored on one box: 0 and the records, or a negative result and the
// error text. Called on a worker thread, never on the UI thread; it must end on its
// own within its exchange's time-out.
using BoxFileLister =
    std::function<int(std::vector<std::unique_ptr<CDetectionFile>>& files, std::string& error)>;

struct ExplorerBox {
    std::string text;  // the combo's entry: BoxEntryText
    BoxFileLister listFiles;
};

struct BoxFilesSource {
    enum class Mode { Boxes, Cloud };

    Mode mode = Mode::Boxes;
    std::vector<ExplorerBox> boxes;  // box mode
    std::string devicesReply;        // cloud mode: the unparsed devices reply
    int firstEntry = 0;              // the entry selected and listed first

    static BoxFilesSource ForBoxes(std::vector<ExplorerBox> boxes, int firstEntry = 0);
    static BoxFilesSource ForCloud(std::string devicesReply);
};

// "Boîtier %d %s" (the same in both languages): box number (1 to 4) and the
// transport's description.
std::string BoxEntryText(int boxNumber, const std::string& description);

}  // namespace lv
