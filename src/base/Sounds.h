#pragma once
// The program's sounds, by the resource number each one had from the start (the
// numbers show in the log and the window's tests; a window maps them to its tones).
namespace lv {

enum class Sound : int {
    BoxesConnected = 132,
    Detection = 133,
    Done = 134,
    Quit = 135,
    BoxLost = 163,
    BoxConnected = 165,
    LinkConnected = 166,
    LinkLost = 167,
    LinkDisconnected = 168,
};

constexpr int SoundNumber(Sound sound) { return static_cast<int>(sound); }

}  // namespace lv
