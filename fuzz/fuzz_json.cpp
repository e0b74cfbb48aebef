// The JSON reader on any reply: a tree whose counts, links and depth hold together, no
// deeper than the nesting bound however deep the text ("[[[[...").
#include <algorithm>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "cloud/json/Json.h"

using namespace lv;

namespace {

int Walk(const JsonNode* node, int depth) {
    FUZZ_CHECK(depth <= kJsonMaxDepth + 1);
    int deepest = depth;
    int children = 0;
    const JsonNode* last = nullptr;
    for (const JsonNode* child = node->firstChild; child != nullptr; child = child->nextSibling) {
        ++children;
        last = child;
        // Members of an object have a name, items of an array none.
        if (node->kind == JsonObject) FUZZ_CHECK(child->key != nullptr);
        if (node->kind == JsonArray) FUZZ_CHECK(child->key == nullptr);
        // JsonItem walks the list: checked on the first items only, or the check alone
        // would be quadratic in the length of a list.
        if (children <= 8) FUZZ_CHECK(JsonItem(node, children - 1) == child);
        deepest = std::max(deepest, Walk(child, depth + 1));
    }
    FUZZ_CHECK(children == node->count);
    FUZZ_CHECK(node->lastChild == last);
    if (node->kind == JsonString) FUZZ_CHECK(node->text != nullptr);
    if (node->kind != JsonObject && node->kind != JsonArray) FUZZ_CHECK(children == 0);
    return deepest;
}

// What a lookup by name must give: the first member so named, else the shared null node.
// A reply may name a member anything, "no such member" included.
const JsonNode* FirstNamed(const JsonNode* node, const char* name) {
    for (const JsonNode* child = node->firstChild; child != nullptr; child = child->nextSibling) {
        if (child->key != nullptr && std::strcmp(child->key, name) == 0) return child;
    }
    return JsonNullNode();
}

void Parse(std::vector<char> text) {
    text.push_back('\0');
    JsonNode* root = JsonParse(text.data());
    if (root != nullptr) {
        Walk(root, 1);
        FUZZ_CHECK(JsonGet(root, "no such member") == FirstNamed(root, "no such member"));
        // A repeated name finds its first member.
        if (root->lastChild != nullptr && root->lastChild->key != nullptr) {
            FUZZ_CHECK(JsonGet(root, root->lastChild->key) == FirstNamed(root, root->lastChild->key));
        }
    }
    JsonFree(root);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(reinterpret_cast<const char*>(data), reinterpret_cast<const char*>(data) + size);
    Parse(text);
    // The same behind more opening brackets than the bound allows: refused, never
    // deeper than the bound.
    if (size > 0 && data[0] == '[') {
        std::vector<char> deep(kJsonMaxDepth, '[');
        deep.insert(deep.end(), text.begin(), text.end());
        Parse(std::move(deep));
    }
    return 0;
}
