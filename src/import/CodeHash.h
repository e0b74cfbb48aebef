#pragma once
// A hash for chip codes: short texts looked up once per line of files of a million
// lines, where an inline FNV-1a costs less than the library's general hash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lv {

struct CodeHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        uint64_t hash = 14695981039346656037ULL;
        for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
        return static_cast<std::size_t>(hash);
    }
    std::size_t operator()(const std::string& text) const noexcept { return (*this)(std::string_view(text)); }
};

}  // namespace lv
