#pragma once
// Runs "lumivane-sim timingapp" on a free loopback port for one test, with a record
// file of every line it received.
#include <chrono>
#include <string>
#include <vector>

#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

namespace lv {

class TimingAppProcess {
public:
    explicit TimingAppProcess(std::vector<std::string> arguments = {})
        : recordPath_(folder_ / "received.txt"), process_("timingapp", WithRecord(recordPath_, arguments)) {}

    bool Running() const { return process_.Running(); }
    int Port() const { return process_.Port(); }

    std::string Recorded() const { return test::ReadFile(recordPath_); }
    // The recorded lines, each with its line end as received.
    std::vector<std::string> RecordedLines() const {
        std::vector<std::string> lines;
        std::string bytes = Recorded();
        std::size_t start = 0;
        for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(bytes.substr(start, end - start + 1));
        }
        return lines;
    }
    // Waits (bounded) until at least `count` lines were recorded.
    std::vector<std::string> WaitForLines(std::size_t count,
                                          std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        std::vector<std::string> lines;
        test::WaitUntil([&] { return (lines = RecordedLines()).size() >= count; }, limit);
        return lines;
    }

private:
    static std::vector<std::string> WithRecord(const std::string& path, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--record", path});
        return arguments;
    }

    test::TempFolder folder_;  // outlives the process that writes in it
    std::string recordPath_;
    test::SimulatorProcess process_;
};

}  // namespace lv
