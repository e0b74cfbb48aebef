#pragma once
// The command sequences run on a box, each in one exchange turn: its initialisation
// once connected, the setting of its clock, the request of its time. A network decoder
// and a USB TimingBox each get their own sequence.
namespace lv {

class CTarvexBox;

// Connects the transport and, for a network decoder, sends SETPROTOCOL;2.0,
// STARTOPERATION and SETPUSHPASSINGS;1;0, each awaited, in one exchange turn (a USB
// TimingBox gets its own sequence, UsbBoxProtocol.h, in that turn). True once
// connected. Meant for a box whose thread is not reading (the thread itself calls it
// while it connects). False too when the connection was lost during the commands (the
// decoder closed or reset it): the box's HandshakeLost() then tells it from a
// connection that never opened.
bool InitializeBox(CTarvexBox& box);

// STOPOPERATION, SETTIME;<now>, STARTOPERATION, each awaited, in one exchange turn
// (network decoder). Any thread but the box thread.
void SetBoxClock(CTarvexBox& box);

// GETTIME, answered through the box thread; the USB TimingBox's TIMESTAMPGET exchange
// (not from the box thread).
void RequestBoxTime(CTarvexBox& box);

}  // namespace lv
