#include "boxes/BoxDeclarations.h"

#include <algorithm>
#include <cctype>

#include "base/SettingsSchema.h"

namespace lv {

bool IsSerialHost(const std::string& host) {
    std::string upper = host;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper.find("COM") != std::string::npos;
}

BoxDeclaration LoadBoxSettings(int slot) {
    BoxDeclaration d;
    d.host = setting::BoxHost.Read(slot);
    d.port = setting::BoxPort.Read(slot);
    d.detectorId = setting::BoxIdDetector.Read(slot);
    return d;
}

void SaveBoxSettings(int slot, const BoxDeclaration& d) {
    setting::BoxHost.Write(slot, d.host);
    setting::BoxPort.Write(slot, d.port);
    setting::BoxIdDetector.Write(slot, d.detectorId);
}

}  // namespace lv
