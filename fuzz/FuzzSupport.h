#pragma once
// What every fuzz target shares: the time zone its checks assume, a check that stops the
// run with the broken property, and a cursor that takes typed pieces from the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

namespace lv::fuzz {

// The zone with both daylight saving changes that the tests use; set before any target
// runs (a static of each target).
inline const bool kZoneSet = [] {
    ::setenv("TZ", "Europe/Paris", 1);
    ::tzset();
    return true;
}();

[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

// Not assert: it must hold in release builds too.
#define FUZZ_CHECK(condition)                                                  \
    do {                                                                       \
        if (!(condition)) ::lv::fuzz::Fail(__FILE__, __LINE__, #condition);    \
    } while (0)

// Takes pieces from the front of the input: a byte, then texts ended by a separator
// byte, the rest at the end.
class Input {
public:
    Input(const uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

    uint8_t Byte() {
        if (rest_.empty()) return 0;
        const auto byte = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }
    // Up to the next `separator` (dropped), or the rest.
    std::string_view Piece(char separator = '\x01') {
        const std::size_t at = rest_.find(separator);
        const std::string_view piece = rest_.substr(0, at);
        rest_.remove_prefix(at == std::string_view::npos ? rest_.size() : at + 1);
        return piece;
    }
    std::string_view Rest() {
        const std::string_view rest = rest_;
        rest_ = {};
        return rest;
    }
    bool Empty() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

// The lines of a text cut at LF, CR LF or a lone CR.
template <class Each>
void ForEachLine(std::string_view text, Each&& each) {
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        each(text.substr(0, end));
        if (end == std::string_view::npos) break;
        const std::size_t next = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        text.remove_prefix(next);
    }
}

}  // namespace lv::fuzz
