#pragma once
// A downloaded detection file turned into the decoder output text that the import
// reads: one line per detection, "<n>;<chip>;<YYYY-MM-DD>;<hh:mm:ss.mmm>" then twelve
// empty fields and the device id: 17 fields, CR LF.
//
// The download is either a detections reply of the cloud (a JSON array of objects
// with "TranspCode" and "Time", ISO 8601, "Z" for universal time) or a box's stored
// passings file: the same JSON, or the box's passing lines "#P;<n>;<chip>;<date>;
// <time>;..." in its local time.
#include <string>

namespace lv {

struct DecoderOutput {
    std::string lines;  // the file's content
    int written = 0;
    int skipped = 0;    // detections whose time did not parse, or without a usable chip code
                        // (empty, longer than the chip table holds, blanks or bytes
                        // outside visible ASCII)
};

// False with the error text when the download is not a list of detections.
bool ConvertDetections(const std::string& download, const std::string& deviceId, DecoderOutput& output,
                       std::string& error);

// A chip code or device id made safe for one field: ';', line breaks and other control
// characters become '_'.
std::string FieldText(const std::string& text);

}  // namespace lv
