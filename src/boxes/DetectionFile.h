#pragma once
// One stored file of detections on a device (a decoder's memory or the vendor's
// cloud), as listed to the user before it is downloaded.
#include <string>

namespace lv {

class CDetectionFile {
public:
    virtual ~CDetectionFile() = default;

    // Where its detections are fetched: a box's own download address, or the cloud
    // request path with customer, device and file filled in.
    std::string detectionsPath;
    std::string fileId;   // the file number in decimal
    int count = 0;        // detections in the file
    std::string created;  // date, four spaces, time to the hundredth
    std::string details;  // further text of the list line (empty for cloud files)
    std::string deviceId;
};

}  // namespace lv
