#pragma once
// The program's sounds are short tones it writes itself as WAV data (16-bit mono
// PCM), so no sound file comes from anywhere else.
#include <cstdint>
#include <vector>

#include "base/Sounds.h"

namespace lv {

struct ToneNote {
    double frequency;  // Hz; 0 is a pause
    int milliseconds;
};

inline constexpr int kToneSampleRate = 22050;

// A complete WAV file (RIFF header included) playing the notes one after the other.
std::vector<uint8_t> MakeToneWav(const std::vector<ToneNote>& notes, int sampleRate = kToneSampleRate);

// The notes of one of the program's sound resources (a short neutral tone for an
// unknown one).
std::vector<ToneNote> NotesOfSound(Sound sound);

}  // namespace lv
