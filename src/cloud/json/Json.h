#pragma once
// The program's JSON reader: parses a writable, NUL-terminated text in place into a
// tree of nodes. Keys and string values point into the text (escapes are resolved
// there and each string is ended by a NUL over its closing quote), so the text must
// outlive the tree. It only reads: nothing here writes JSON.
//
// Lenient where the replies it reads are: commas are optional and may repeat, // and
// /* */ comments are skipped, text after the root value is ignored. On any error one
// "JSON PARSE ERROR (<code>): ..." line goes to standard error and the parse gives
// no tree; callers report the failure in their own words.
#include <cstddef>
#include <cstdint>

namespace lv {

enum JsonNodeType : int32_t {
    JsonNull = 0,
    JsonObject = 1,
    JsonArray = 2,
    JsonString = 3,
    JsonInteger = 4,
    JsonReal = 5,
    JsonBool = 6,
};

struct JsonNode {
    JsonNodeType kind;
    char* key;          // member name inside an object; none for array items and the root
    char* text;         // a string's value
    int32_t intValue;   // integer; 1/0 for a bool; a real's integer prefix
    double realValue;   // real; an integer's value too
    int32_t count;      // children of an object or an array
    JsonNode* firstChild;
    JsonNode* nextSibling;
    JsonNode* lastChild;
};

// Writes the bytes of a code point at *write and moves it past them; false refuses
// the code point. It never gets more room than the escape it replaces (6 bytes, or
// 12 for a surrogate pair).
using JsonEncoder = bool (*)(uint32_t codePoint, char** write);

// Deeper nesting is an error: a reply of "[[[[..." must not exhaust the stack.
inline constexpr int kJsonMaxDepth = 200;
// An error line quotes at most this much of the text from the offending position.
inline constexpr std::size_t kJsonErrorQuote = 200;

// The root node, or none on an error (everything built so far is freed) and for a
// text that holds no value (a lone "]").
JsonNode* JsonParse(char* text, JsonEncoder encoder = nullptr);

// First child of `node` whose key is `name` (exact bytes); never none: the shared null
// node when nothing matches or either argument is none, so lookups can be chained.
const JsonNode* JsonGet(const JsonNode* node, const char* name);
// The child at zero-based `index`, or the shared null node.
const JsonNode* JsonItem(const JsonNode* node, int index);
// Frees a tree from its root (children first). None is accepted.
void JsonFree(JsonNode* node);

// The shared read-only null node the lookups return.
const JsonNode* JsonNullNode();

// UTF-8 in one to four bytes; refuses surrogates and code points past 0x10FFFF.
bool JsonEncodeUtf8(uint32_t codePoint, char** write);

}  // namespace lv
