#include "gui/ToneWav.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/Sounds.h"

namespace lv {

namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>((value >> (8 * i)) & 0xFF));
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

}  // namespace

std::vector<uint8_t> MakeToneWav(const std::vector<ToneNote>& notes, int sampleRate) {
    std::vector<int16_t> samples;
    for (const ToneNote& note : notes) {
        const int count = note.milliseconds * sampleRate / 1000;
        // 5 ms ramps at both ends keep the speaker from clicking.
        const int ramp = std::max(1, std::min(count / 2, sampleRate / 200));
        for (int i = 0; i < count; ++i) {
            double value = 0.0;
            if (note.frequency > 0) {
                double envelope = 1.0;
                if (i < ramp) envelope = static_cast<double>(i) / ramp;
                if (count - 1 - i < ramp) envelope = static_cast<double>(count - 1 - i) / ramp;
                value = 0.5 * envelope * std::sin(2.0 * std::numbers::pi * note.frequency * i / sampleRate);
            }
            samples.push_back(static_cast<int16_t>(std::lround(value * 32767.0)));
        }
    }
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    PutLe(out, 36 + dataBytes, 4);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe(out, 16, 4);                                   // chunk size
    PutLe(out, 1, 2);                                    // PCM
    PutLe(out, 1, 2);                                    // mono
    PutLe(out, static_cast<uint32_t>(sampleRate), 4);
    PutLe(out, static_cast<uint32_t>(sampleRate * 2), 4);  // bytes per second
    PutLe(out, 2, 2);                                    // block align
    PutLe(out, 16, 2);                                   // bits per sample
    PutTag(out, "data");
    PutLe(out, dataBytes, 4);
    for (int16_t s : samples) PutLe(out, static_cast<uint16_t>(s), 2);
    return out;
}

std::vector<ToneNote> NotesOfSound(Sound sound) {
    switch (sound) {
        case Sound::Detection: return {{1760, 45}};
        case Sound::Done: return {{880, 70}, {1320, 90}};
        case Sound::Quit: return {{660, 140}, {440, 220}};
        case Sound::BoxConnected: return {{988, 120}};
        case Sound::BoxesConnected: return {{523, 90}, {659, 90}, {784, 160}};
        case Sound::BoxLost: return {{330, 160}, {0, 80}, {330, 160}, {0, 80}, {330, 160}};
        case Sound::LinkConnected: return {{660, 80}, {990, 140}};
        case Sound::LinkLost: return {{880, 150}, {587, 150}, {440, 260}};
        case Sound::LinkDisconnected: return {{990, 80}, {660, 140}};
        }
    return {{700, 100}};
}

}  // namespace lv
