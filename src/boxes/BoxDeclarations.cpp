#include "boxes/BoxDeclarations.h"

#include "base/SettingsSchema.h"

namespace lv {

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
