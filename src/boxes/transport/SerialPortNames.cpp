#include "boxes/transport/SerialPortNames.h"

#include <cctype>
#include <fmt/printf.h>

#include "base/SettingsSchema.h"

namespace lv {

int ComPortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 9) return -1;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return -1;
    }
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

bool IsSerialHost(const std::string& host) {
    return host.rfind("/dev/", 0) == 0 || ComPortNumber(host) >= 0;
}

std::string SerialDevicePath(const std::string& portName) {
    const int number = ComPortNumber(portName);
    if (number < 0) return portName;
    std::string mapped = setting::SerialPortDevice.Read(number);
    if (!mapped.empty()) return mapped;
    return fmt::sprintf("/dev/ttyUSB%d", number > 0 ? number - 1 : 0);
}

}  // namespace lv
