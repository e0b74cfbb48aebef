#pragma once
// The settings file lists every key of the program with its value, so that whoever
// declares boxes, exports or the cloud by editing it (the headless service's user)
// finds every key there, spelled as the program reads it.
#include "base/Settings.h"

namespace lv {

// Writes each declared key that the file lacks, with its default; keys present are
// left as they are. Returns how many keys were written (-1 when a write failed; the
// file's LastError says why).
int WriteMissingDefaults(IniFile& file);

}  // namespace lv
