#pragma once
// Instants given by their local date and time, in the tests' zone (Europe/Paris, set
// by TestMain), for injected clocks.
#include <chrono>
#include <ctime>

namespace lv::test {

// month 1-12; mktime settles whether summer time applies.
inline std::chrono::system_clock::time_point LocalInstant(int year, int month, int day, int hour, int minute,
                                                          int second = 0) {
    std::tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

}  // namespace lv::test
