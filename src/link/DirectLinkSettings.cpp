#include "base/SettingsSchema.h"
#include "link/DirectLinkSession.h"

namespace lv {

DirectTarget ReadDirectTargetSettings() {
    DirectTarget target;
    target.host = setting::DirectConnectionHost.Read();
    target.port = setting::DirectConnectionPort.Read();
    target.reconnectSeconds = setting::DirectConnectionReconnectSeconds.Read();
    target.catchUp = setting::DirectConnectionCatchUp.Read();
    return target;
}

}  // namespace lv
