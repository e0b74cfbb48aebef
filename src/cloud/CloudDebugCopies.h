#pragma once
// Copies of raw cloud and box replies for debugging, written only when the user made
// the folder "CloudReplies" inside the data folder; nothing depends on them.
#include <string>

namespace lv {

std::string CloudDebugFolder();
// `name` is made by the program from checked identifiers only.
void WriteCloudDebugCopy(const std::string& name, const std::string& reply);

}  // namespace lv
