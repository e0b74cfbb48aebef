#include "base/Settings.h"
#include "link/DirectLinkSession.h"

namespace lv {

DirectTarget ReadDirectTargetSettings() {
    DirectTarget target;
    target.host = ReadSettingText("DirectConnection", "Host", target.host);
    target.port = ReadSettingInt("DirectConnection", "Port", target.port);
    target.reconnectSeconds = ReadSettingInt("DirectConnection", "ReconnectSeconds", target.reconnectSeconds);
    return target;
}

}  // namespace lv
