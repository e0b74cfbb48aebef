#pragma once
// Which box hosts are serial ports, and which device a COMn name stands for.
//
// A host is serial when it is a device path ("/dev/ttyUSB0", "/dev/serial/by-id/...")
// or "COM" followed by digits only, in any letter case ("COM3", "com12"). A network
// decoder whose name merely contains "com" ("decoder.company.com") is not.
//
// COMn: the key COMn of the section "SerialPorts" names its device when present
// ("COM3=/dev/serial/by-id/usb-...") ; otherwise COMn is /dev/ttyUSBn-1 (COM1 is
// /dev/ttyUSB0), the first USB serial adapters in the order the system found them.
#include <string>

namespace lv {

bool IsSerialHost(const std::string& host);
// The n of "COMn" (any letter case, digits only), or -1.
int ComPortNumber(const std::string& name);
// The device path opened for a serial port name.
std::string SerialDevicePath(const std::string& portName);

}  // namespace lv
