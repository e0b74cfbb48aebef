#pragma once
// A timing point left running: the program headless, fed by two simulated decoders at
// the demo's rate and connected to a simulated timing application, in a data folder of
// its own. Samples its memory and the disk use of its data folder, for the soak
// benchmark (hours) and the short soak test.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace lv::test {

struct SoakSample {
    std::uint64_t rssKilobytes = 0;
    std::uint64_t logKilobytes = 0;      // Lumivane.log and its rotated files
    std::uint64_t journalKilobytes = 0;  // the detection journals (.dat): the race's record
    std::uint64_t dataKilobytes = 0;     // everything in the data folder
};

class SoakPoint {
public:
    static constexpr int kRunners = 300;

    // `settings`: lines added to [Settings] (the log rotation of a short run).
    explicit SoakPoint(const std::string& settings = "") {
        WriteChipTable();
        const std::string chips = data_ / "TarvexTable.dtb";
        for (const char* seed : {"1", "2"}) {
            decoders_.push_back(std::make_unique<SimulatorProcess>(
                "decoder", std::vector<std::string>{"--chips", chips, "--runners", std::to_string(kRunners), "--rate",
                                                    "5", "--repeats", "3", "--spread", "20", "--seed", seed,
                                                    "--date", "today"}));
        }
        timingApp_ = std::make_unique<SimulatorProcess>(
            "timingapp", std::vector<std::string>{"--layout", "gm05", "--field", std::to_string(kRunners)});
        if (!SimulatorsRunning()) return;
        WriteFile(data_ / "Lumivane.ini",
                  "[Settings]\r\nBLogDetections=1\r\n" + settings + "[DirectConnection]\r\nHost=127.0.0.1\r\nPort=" +
                      std::to_string(timingApp_->Port()) + "\r\nReconnectSeconds=10\r\n[TarvexBoxes]\r\n" +
                      BoxLines(0, decoders_[0]->Port()) + BoxLines(1, decoders_[1]->Port()));
        program_ = std::make_unique<ChildProcess>(std::vector<std::string>{
            LUMIVANE_BUILD_DIR "/lumivane", "--headless", "--direct", "--data-dir", data_.Path(), "--lang", "en"});
    }

    bool SimulatorsRunning() const {
        return decoders_[0]->Running() && decoders_[1]->Running() && timingApp_->Running();
    }
    bool Started() const { return program_ != nullptr; }
    ChildProcess& Program() { return *program_; }
    const TempFolder& Data() const { return data_; }

    // Reads what the program printed meanwhile (a full pipe would stop it) and keeps
    // only whether it still runs.
    bool KeepRunning(int milliseconds) {
        while (program_->ReadSome(milliseconds)) {
            milliseconds = 0;
            program_->TakeOutput();
        }
        return program_->StillRunning();
    }

    SoakSample Sample() const {
        SoakSample sample;
        sample.rssKilobytes = RssKilobytes(program_->Pid());
        std::uint64_t logBytes = 0;
        std::uint64_t journalBytes = 0;
        std::uint64_t dataBytes = 0;
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(data_.Path(), ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (!it->is_regular_file(ignored)) continue;
            const std::uint64_t bytes = it->file_size(ignored);
            const std::string name = it->path().filename().string();
            dataBytes += bytes;
            if (name.rfind("Lumivane.log", 0) == 0) logBytes += bytes;
            if (it->path().extension() == ".dat") journalBytes += bytes;
        }
        sample.logKilobytes = logBytes / 1024;
        sample.journalKilobytes = journalBytes / 1024;
        sample.dataKilobytes = dataBytes / 1024;
        return sample;
    }

private:
    static std::string BoxLines(int slot, int port) {
        const std::string n = std::to_string(slot);
        return "BoxHost" + n + "=127.0.0.1\r\nBoxPort" + n + "=" + std::to_string(port) + "\r\nBoxIdDetector" + n +
               "=31\r\n";
    }

    // Bib n wears chip DEMO<n>, as in the demo.
    void WriteChipTable() const {
        std::string table = "# Soak chip table: bib chip\n";
        char line[32];
        for (int bib = 1; bib <= kRunners; ++bib) {
            std::snprintf(line, sizeof line, "%d DEMO%05d\n", bib, bib);
            table += line;
        }
        WriteFile(data_ / "TarvexTable.dtb", table);
    }

    static std::uint64_t RssKilobytes(pid_t pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string word;
        while (status >> word) {
            if (word == "VmRSS:") {
                std::uint64_t kilobytes = 0;
                status >> kilobytes;
                return kilobytes;
            }
        }
        return 0;
    }

    TempFolder data_;
    std::vector<std::unique_ptr<SimulatorProcess>> decoders_;
    std::unique_ptr<SimulatorProcess> timingApp_;
    std::unique_ptr<ChildProcess> program_;
};

}  // namespace lv::test
