#include "gui/ToneWav.h"

#include <gtest/gtest.h>

#include <cstring>

namespace lv {
namespace {

uint32_t Le32(const std::vector<uint8_t>& d, std::size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}

int16_t Sample(const std::vector<uint8_t>& d, std::size_t index) {
    return static_cast<int16_t>(d[44 + 2 * index] | (d[45 + 2 * index] << 8));
}

TEST(ToneWav, HeaderDescribesTheSamples) {
    auto wav = MakeToneWav({{1000, 100}, {0, 50}}, 22050);
    ASSERT_EQ(wav.size(), 44u + 2u * (2205 + 1102));
    EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(Le32(wav, 24), 22050u);
    EXPECT_EQ(Le32(wav, 28), 44100u);
    EXPECT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
    EXPECT_EQ(Le32(wav, 40), wav.size() - 44);
}

TEST(ToneWav, ToneRampsInAndPausesAreSilent) {
    auto wav = MakeToneWav({{1000, 100}, {0, 50}}, 22050);
    EXPECT_EQ(Sample(wav, 0), 0);  // no click at the start
    int peak = 0;
    for (std::size_t i = 0; i < 2205; ++i) peak = std::max(peak, std::abs(static_cast<int>(Sample(wav, i))));
    EXPECT_GT(peak, 10000);
    EXPECT_LE(peak, 16384);
    for (std::size_t i = 2205; i < 2205 + 1102; ++i) ASSERT_EQ(Sample(wav, i), 0);
}

}  // namespace
}  // namespace lv
