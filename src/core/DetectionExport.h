#pragma once
// The ".qox" export of the detection table: every active record, numbered from 1, in
// the detection file's line format.
#include <string>

namespace lv {

// Creates or truncates `path` and writes the active records of the detection table in
// table order. False when the file cannot be created or written. Writes the file even
// when no record is active (the caller decides whether an export is due).
bool ExportDetectionTable(const std::string& path);

}  // namespace lv
