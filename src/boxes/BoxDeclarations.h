#pragma once
// How the four box slots are stored (section "TarvexBoxes") and which transport a
// host text calls for.
#include <string>

namespace lv {

struct BoxDeclaration {
    std::string host;
    int port = 0;
    std::string detectorId = "31";

    bool IsConfigured() const { return !host.empty() && port != 0; }
};

// A serial box: the host text, upper-cased, contains "COM" anywhere.
bool IsSerialHost(const std::string& host);

// Slot 0..3: keys "BoxHost%d", "BoxPort%d", "BoxIdDetector%d".
BoxDeclaration LoadBoxSettings(int slot);
void SaveBoxSettings(int slot, const BoxDeclaration& declaration);

}  // namespace lv
