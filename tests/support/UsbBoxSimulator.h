#pragma once
// The USB TimingBox stand-in (lumivane-sim usbbox) as a child process of a test: it
// answers on a pseudo-terminal whose path it prints first ("device /dev/pts/N").
// Stopped (and so its terminal gone) when the object ends or Stop is called.
#include <chrono>
#include <string>
#include <vector>

#include "support/ServiceProcess.h"

namespace lv::test {

class UsbBoxSimulator {
public:
    explicit UsbBoxSimulator(const std::vector<std::string>& options = {}) : process_(Words(options)) {
        if (!process_.Started()) return;
        const std::string first = process_.ReadLine(std::chrono::seconds(5));
        if (first.rfind("device ", 0) == 0) device_ = first.substr(7);
        process_.CloseOutput();
    }

    bool Running() const { return process_.Started() && !device_.empty(); }
    const std::string& Device() const { return device_; }

    // False when it did not end on SIGTERM and had to be killed.
    bool Stop() { return process_.Stop(); }

private:
    static std::vector<std::string> Words(const std::vector<std::string>& options) {
        std::vector<std::string> words{LUMIVANE_BUILD_DIR "/lumivane-sim", "usbbox"};
        words.insert(words.end(), options.begin(), options.end());
        return words;
    }

    ServiceProcess process_;
    std::string device_;
};

}  // namespace lv::test
