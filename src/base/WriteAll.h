#pragma once
// Writing a whole buffer to a file descriptor, for the files this program appends to
// or replaces (log, journal, settings).
#include <string_view>

namespace lv {

// Writes every byte, going on after short writes and interruptions; 0, or the error
// (errno) that stopped it. With O_APPEND one call puts a batch of whole lines at the
// end, so lines of several writers never interleave.
int WriteAll(int fd, std::string_view bytes);

}  // namespace lv
