#include "boxes/BoxDeclarations.h"

#include <algorithm>
#include <cctype>

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"

namespace lv {

BoxDeclaration LoadBoxSettings(int slot) {
    BoxDeclaration d;
    d.host = setting::BoxHost.Read(slot);
    d.port = setting::BoxPort.Read(slot);
    if (d.port != 0 && !setting::BoxPort.range.Contains(d.port)) {
        // As the configuration dialog refuses it: a port is never cut to 16 bits, which
        // would reach some other service.
        Log(0, fmt::sprintf(Tr("### Setting [%s] %s=%d refused: a port is between 1 and 65535. Box %d not declared",
                               "### Réglage [%s] %s=%d refusé : un port est compris entre 1 et 65535. Boîtier %d "
                               "non déclaré"),
                            setting::BoxPort.section, setting::BoxPort.Key(slot), d.port, slot + 1));
        d.port = 0;
    }
    d.detectorId = setting::BoxIdDetector.Read(slot);
    return d;
}

void SaveBoxSettings(int slot, const BoxDeclaration& d) {
    setting::BoxHost.Write(slot, d.host);
    setting::BoxPort.Write(slot, d.port);
    setting::BoxIdDetector.Write(slot, d.detectorId);
}

}  // namespace lv
