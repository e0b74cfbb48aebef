#pragma once
// How the four box slots are stored (the BoxHost, BoxPort and BoxIdDetector keys of
// the settings schema) and which transport a host text calls for.
#include <string>

#include "base/SettingsSchema.h"
#include "boxes/transport/SerialPortNames.h"

namespace lv {

struct BoxDeclaration {
    std::string host = setting::BoxHost.defaultValue;
    int port = setting::BoxPort.defaultValue;
    std::string detectorId = setting::BoxIdDetector.defaultValue;

    bool IsConfigured() const { return !host.empty() && port != 0; }
};

// Slot 0..3: keys BoxHost<slot>, BoxPort<slot>, BoxIdDetector<slot>.
BoxDeclaration LoadBoxSettings(int slot);
void SaveBoxSettings(int slot, const BoxDeclaration& declaration);

}  // namespace lv
