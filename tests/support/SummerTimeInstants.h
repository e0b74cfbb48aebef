#pragma once
// Instants around the 2024 summer-time changes in Europe/Paris (the zone TestMain sets),
// taken from the system's `date` command.
#include <cstdint>

namespace lv::test {

constexpr int64_t kOct27At0210Summer = 1729987800;  // 2024-10-27 02:10:00 CEST
constexpr int64_t kOct27At0230Summer = 1729989000;  // 2024-10-27 02:30:00 CEST
constexpr int64_t kOct27At0259Summer = 1729990799;  // 2024-10-27 02:59:59 CEST
constexpr int64_t kOct27At0230Winter = 1729992600;  // 2024-10-27 02:30:00 CET
constexpr int64_t kOct27At0300Winter = 1729994400;  // 2024-10-27 03:00:00 CET
constexpr int64_t kMar31At0330Summer = 1711848600;  // 2024-03-31 03:30:00 CEST

}  // namespace lv::test
