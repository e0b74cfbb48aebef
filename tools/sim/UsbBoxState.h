#pragma once
// The USB TimingBox stand-in's state: its tick counter (256 per second, wrapping), its
// clock reference, its memory of passings by index, and the reply to each command.
// Pure: the present time is given, so the replies are deterministic.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "UsbBoxOptions.h"

namespace sim::usbbox {

class UsbBoxState {
public:
    // `startMs`: wall-clock epoch milliseconds at start.
    UsbBoxState(const Options& options, std::vector<std::string> chips, long long startMs);

    // Adds the passings due at `nowMs` by the rate.
    void Generate(long long nowMs);
    // The reply to one command line (without its line feed), blank line included; empty
    // when the box stays silent.
    std::string Answer(const std::string& command, long long nowMs);

    uint32_t TicksAt(long long epochMs) const;

private:
    struct Passing {
        std::string chip;
        uint32_t ticks = 0;
        uint32_t extra = 0;
    };
    void Store(long long atMs);
    std::string PassingLine(uint32_t index, const Passing& passing) const;
    std::string Reply(const std::string& keyword, int status, const std::string& rest) const;
    int StatusOf(const std::string& keyword) const;
    std::string PassingGet(const std::string& argument, long long nowMs);

    const Options& options_;
    std::vector<std::string> chips_;
    std::mt19937 random_;
    long long startMs_;
    uint32_t ticksStart_;
    uint32_t epoch_ = 0;      // the reference: E ...
    uint32_t reference_ = 0;  // ... and R
    std::vector<Passing> memory_;
    long long generated_ = 0;  // passings made by the rate
    long long passingGets_ = 0;   // PASSINGGET requests answered
    long long batchesSent_ = 0;   // replies that carried passing lines
};

}  // namespace sim::usbbox
