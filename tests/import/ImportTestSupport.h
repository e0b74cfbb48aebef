#pragma once
// Lines of decoder output files for the import tests.
#include <string>

#include <fmt/format.h>

namespace lv::test {

// A detection line of 17 fields: number, chip, date, time, twelve unused fields, device.
inline std::string DetectionLine(int number, const std::string& chip, const std::string& date, const std::string& time,
                                 const std::string& device = "1") {
    std::string line = fmt::format("{};{};{};{}", number, chip, date, time);
    for (int i = 4; i <= 15; ++i) line += ";x";
    return line + ";" + device;
}

// A line of 16 fields: the device id and its separator are missing.
inline std::string SixteenFieldLine(int number, const std::string& chip, const std::string& date,
                                    const std::string& time) {
    std::string line = fmt::format("{};{};{};{}", number, chip, date, time);
    for (int i = 4; i <= 15; ++i) line += ";x";
    return line;
}

// A line as the box files explorer writes it: twelve empty fields, then the device id,
// which may be empty (the line then ends in ';').
inline std::string ExplorerLine(int number, const std::string& chip, const std::string& date,
                                const std::string& time, const std::string& device = "") {
    return fmt::format("{};{};{};{};;;;;;;;;;;;;{}", number, chip, date, time, device);
}

}  // namespace lv::test
