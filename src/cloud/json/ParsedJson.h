#pragma once
// A JSON text parsed from a copy: owns the writable copy the tree points into, and the
// tree, both freed with it.
#include <string>
#include <vector>

#include "cloud/json/Json.h"

namespace lv {

class ParsedJson {
public:
    explicit ParsedJson(const std::string& text, JsonEncoder encoder = nullptr) : text_(text.begin(), text.end()) {
        text_.push_back('\0');
        root_ = JsonParse(text_.data(), encoder);
    }
    ~ParsedJson() { JsonFree(root_); }
    ParsedJson(const ParsedJson&) = delete;
    ParsedJson& operator=(const ParsedJson&) = delete;

    // None when the text was refused.
    const JsonNode* root() const { return root_; }

private:
    std::vector<char> text_;
    JsonNode* root_ = nullptr;
};

}  // namespace lv
