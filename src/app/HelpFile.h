#pragma once
// Where "?" finds the guide, Lumivane.pdf: beside the program (as built, or when
// everything is kept beside it), else where an installation puts documentation
// (<prefix>/share/doc/lumivane beside <prefix>/bin).
#include <string>
#include <vector>

namespace lv {

inline constexpr const char* kHelpFileName = "Lumivane.pdf";

// The places looked at, in order.
std::vector<std::string> HelpFileCandidates(const std::string& programFolder);
// The first that exists; empty when none does.
std::string FindHelpFile(const std::string& programFolder);

}  // namespace lv
