#include "base/PlainText.h"

#include <charconv>

namespace lv {

bool ReadWholeNumber(std::string_view text, std::size_t& value) {
    if (text.empty() || text.size() > 19) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::string TrimmedText(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

}  // namespace lv
