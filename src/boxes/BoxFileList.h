#pragma once
// The list of detection files a network decoder holds (LISTFILES), each with the
// address it is downloaded from (the GetLocalFilePassings template of [URLs] with the
// box's host and the file's identifier filled in).
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "boxes/DetectionFile.h"

namespace lv {

class CTarvexBox;

// Failures of ListBoxFiles.
enum BoxFileListError {
    kListFilesNotSent = -1,     // the command could not be sent (error: the send error)
    kListFilesNoResponse = -2,  // "Error reading box response"
    kListFilesNoTemplate = -3,  // "URL/GetLocalFilePassings is empty"
    kListFilesBadResponse = -4, // the response's file count does not read
};

// A LISTFILES response read: "LISTFILES;<count>;<id>,<detections>,<YYYY-MM-DD>[,<details>];..."
struct BoxFileListReply {
    int announced = 0;                                   // the count the box gave
    std::vector<std::unique_ptr<CDetectionFile>> files;  // the entries that read
    std::vector<std::string> invalidEntries;             // as received, for the log
};

// Reads a response without I/O: each file's address is `addressTemplate` with
// "$BOXIP$" and "$FILEID$" filled in. False when the file count does not read.
bool ReadBoxFileList(std::string_view response, const std::string& addressTemplate, const std::string& host,
                     BoxFileListReply& reply);

// Asks the box for its files in one exchange of its own (the box's turn) and fills
// `files` (emptied first). 0 on success (entries that do not read are logged and left
// out), a negative BoxFileListError with its text in `error` otherwise.
int ListBoxFiles(CTarvexBox& box, std::vector<std::unique_ptr<CDetectionFile>>& files, std::string& error);

}  // namespace lv
