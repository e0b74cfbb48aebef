#pragma once
// The download of one stored detection file into "TX_<file id>.txt": shared by the box
// files explorer and `lumivane cloud fetch`, so that both send the same requests.
// Blocking: run it off the UI thread.
#include <cstddef>
#include <string>

#include "boxes/DetectionFile.h"
#include "cloud/CloudClient.h"

namespace lv {

struct DetectionFileDownload {
    int result = kCloudOk;
    std::string error;
    bool tokenFailed = false;  // told as it stands, not as a download error
    std::size_t replyBytes = 0;
    std::string path;          // the file written, on success
    int skipped = 0;           // detections left out of the file
};

// A cloud file: token, then GET of its detections path. A box file: plain HTTP GET of
// its own address. Either way converted into decoder output lines and written, whole
// or not at all, into `folder`. The caller checks the count first (an empty file is
// not fetched).
DetectionFileDownload DownloadDetectionFile(const CloudConnection& connection, const CDetectionFile& file,
                                            bool fromCloud, const std::string& folder);

}  // namespace lv
