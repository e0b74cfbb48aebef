#pragma once
// The box thread: one per connected box. It connects the box if needed (automatic
// attempts for GBoxReconnectSeconds), then reads what the box sends and hands every
// line to the box's intake, until a disconnection is requested or the box stops
// answering. It reports state changes through BoxHost::PostBoxState only.
namespace lv {

class BoxHost;
class CTarvexBox;

// The thread procedure (runs on the calling thread; StartBoxThread runs it on a new one).
void BoxThread(BoxHost& host, CTarvexBox& box);

// Clears the box's cancel request and starts BoxThread on a new thread owned by the
// box. False when the box's previous thread still runs (nothing started).
bool StartBoxThread(BoxHost& host, CTarvexBox& box);

// Number of box threads alive.
int RunningBoxThreads();

}  // namespace lv
