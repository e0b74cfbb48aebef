#include "boxes/BoxDeclarations.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "base/Settings.h"

namespace lv {

namespace {
constexpr const char* kSection = "TarvexBoxes";
}

bool IsSerialHost(const std::string& host) {
    std::string upper = host;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find("COM") != std::string::npos;
}

BoxDeclaration LoadBoxSettings(int slot) {
    BoxDeclaration d;
    d.host = ReadSettingText(kSection, fmt::format("BoxHost{}", slot), "");
    d.port = ReadSettingInt(kSection, fmt::format("BoxPort{}", slot), 0);
    d.detectorId = ReadSettingText(kSection, fmt::format("BoxIdDetector{}", slot), "31");
    return d;
}

void SaveBoxSettings(int slot, const BoxDeclaration& d) {
    WriteSettingText(kSection, fmt::format("BoxHost{}", slot), d.host);
    WriteSettingInt(kSection, fmt::format("BoxPort{}", slot), d.port);
    WriteSettingText(kSection, fmt::format("BoxIdDetector{}", slot), d.detectorId);
}

}  // namespace lv
