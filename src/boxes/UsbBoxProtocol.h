#pragma once
// The exchanges of the USB TimingBox: initialisation, clock synchronisation by a DTR
// pulse, its clock reference, its time, its information items, its passing count and
// the reading of its passings by index, each recorded through the box's main window.
//
// Every exchange runs in the box's exchange turn (CommandExchange), so that two never
// meet on one box, whichever threads start them (a menu command on a worker, the box
// thread's periodic reading); usbBusy shows that one runs. The box's epochReference is
// read and written only within a turn.
#include <cstdint>
#include <string>

#include "core/Chrono.h"

namespace lv {

class CTarvexBox;
class CommandExchange;

// The USB TimingBox's batch of passings per request.
inline constexpr int kUsbPassingBatch = 64;

// Within InitializeBox's own turn, once the port is open: DTR low, ASCII, the four
// information items, the clock reference (synchronised when the box is not), the
// firmware check.
void InitializeUsbBox(CTarvexBox& box, CommandExchange& exchange);

void ResetUsbBox(CTarvexBox& box);
// EPOCHREFSET for now + 2 s, the DTR pulse at that second, the new reference stored.
bool SynchronizeUsbBox(CTarvexBox& box);
bool GetEpochReference(CTarvexBox& box);
bool AdjustEpochReference(CTarvexBox& box);
bool GetUsbBoxTime(CTarvexBox& box);

struct UsbPassingInfo {
    int count = 0;
    uint32_t firstIndex = 0;
    uint32_t lastIndex = 0;
    uint32_t firstTicks = 0;
    uint32_t lastTicks = 0;
};
bool GetPassingInfo(CTarvexBox& box, UsbPassingInfo& info);

// Information items: 1 decoder identifier, 2 firmware version x 10, 3 hardware
// version x 10, 4 box type.
enum UsbInfoItem { kUsbDecoderId = 1, kUsbFirmware = 2, kUsbHardware = 3, kUsbBoxType = 4 };
bool GetBoxInfo(CTarvexBox& box, int item, int& value);
// The menu's INFOGET items: the item asked, then its line in the log.
void ShowBoxInfo(CTarvexBox& box, int item);
// "active-ext", "management-box", "usb-timing-box" or "unknown-type: 0x%02x".
std::string UsbBoxTypeName(int type);

// Reads the passings from passingIndex on, in batches of 64, recording each; the index
// follows the passings processed. Each line's own index is checked: from a line lost,
// added or unreadable the batch is asked again. A box whose memory holds fewer
// passings than the index implies is read again from 0. Without a usable clock
// reference the reference is asked for first, and the passings wait until there is
// one (the operator is told). Returns the number of passings recorded.
int GetPassings(CTarvexBox& box);

// Within the caller's turn: asks the box for its clock reference again, and
// synchronises it when it has none (as the initialisation does). True when the
// reference is usable afterwards.
bool RenewEpochReference(CTarvexBox& box, CommandExchange& exchange);
// The stored reference reads and is set (not "0;0").
bool UsableEpochReference(const CTarvexBox& box);

// A tick count of the box as an absolute instant, with the box's reference; logs
// "Error while decoding Epoch Ref" when the reference does not read.
bool TicksToTime(CTarvexBox& box, uint32_t ticks, CChrono& absolute);

}  // namespace lv
