#pragma once
// A network decoder keeps every read in its own stored files (a second copy of what it
// pushes). These are the pure steps of taking reads back from them: the choice of the
// files that cover a stretch of time, and the reading of a downloaded file's passing
// lines.
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "boxes/DetectionFile.h"
#include "boxes/PassingParser.h"
#include "core/Chrono.h"

namespace lv {

// The listed files dated on a day the stretch [from, to] touches (local dates), in
// their listed order; the last listed file when none is (a box whose file dates do not
// read as days of its reads still gives its latest file).
std::vector<const CDetectionFile*> FilesCovering(const std::vector<std::unique_ptr<CDetectionFile>>& files,
                                                 const CChrono& from, const CChrono& to);

// The reads of a stored file whose instant lies within [from, to], in the file's order.
// `unreadable` counts the lines that are neither blank nor a passing.
std::vector<PassingRead> ReadStoredPassings(std::string_view content, const CChrono& from, const CChrono& to,
                                            std::size_t& unreadable);

}  // namespace lv
