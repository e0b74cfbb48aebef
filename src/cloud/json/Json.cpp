#include "cloud/json/Json.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace lv {

namespace {

const JsonNode kNullNode{};

// Codes of the place that found an error; the numbers show in the error lines.
enum ErrorCode {
    kBadUnicodeEscape = 142,
    kSurrogateNotEscape = 149,
    kSurrogateNotLow = 154,
    kCodePointRefused = 160,
    kNoClosingQuote = 176,
    kCommentEndsAtOpening = 184,
    kCommentNotClosed = 190,
    kNoColonAfterName = 206,
    kLineCommentInNames = 220,
    kSlashInNames = 230,
    kOtherInNames = 235,
    kEndInNames = 239,
    kEndInValue = 248,
    kBadInteger = 288,
    kBadReal = 295,
    kNotTrue = 310,
    kNotFalse = 318,
    kNotNull = 325,
    kLineCommentInValue = 332,
    kSlashInValue = 342,
    kOtherInValue = 347,
    kTooDeep = 360,
    kOutOfMemory = 370,
};

void Report(int code, const char* what, const char* at) {
    // The reply is outside input: its control and non-ASCII bytes would reach a
    // terminal or a journal as they are.
    const std::size_t length = ::strnlen(at, kJsonErrorQuote);
    std::string quote;
    quote.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(at[i]);
        if (byte >= 0x20 && byte < 0x7f) {
            quote.push_back(static_cast<char>(byte));
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            quote += escaped;
        }
    }
    std::fprintf(stderr, "JSON PARSE ERROR (%d): %s at %s\n", code, what, quote.c_str());
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Four hexadecimal digits at `p`.
bool ReadHex4(const char* p, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = p[i];
        if (!IsHex(c)) return false;
        const uint32_t digit = c <= '9' ? static_cast<uint32_t>(c - '0')
                                        : static_cast<uint32_t>((c | 0x20) - 'a' + 10);
        value = value * 16 + digit;
    }
    return true;
}

class Parser {
public:
    explicit Parser(JsonEncoder encoder) : encoder_(encoder) {}

    enum class Step { Failed, Made, EndOfArray };

    // Parses one value at p into a new node appended to `parent` (or made the root).
    Step Value(char*& p, JsonNode* parent, char* key, JsonNode** made);

private:
    JsonNode* NewNode(JsonNodeType kind, JsonNode* parent, char* key, const char* at);
    // p at `/`: skips a comment; false after reporting an error.
    bool SkipComment(char*& p, int lineCode, int slashCode);
    // p at the opening quote; on success p is past the closing quote.
    bool String(char*& p, char*& text);
    bool Number(char*& p, JsonNode* node);
    // Reads a member name; false on error. `closed` when a `}` was met (p stays on it).
    bool MemberName(char*& p, char*& name, bool& closed);

    JsonEncoder encoder_;
    int depth_ = 0;
};

JsonNode* Parser::NewNode(JsonNodeType kind, JsonNode* parent, char* key, const char* at) {
    auto* node = static_cast<JsonNode*>(std::calloc(1, sizeof(JsonNode)));
    if (node == nullptr) {
        Report(kOutOfMemory, "out of memory", at);
        return nullptr;
    }
    node->kind = kind;
    node->key = key;
    if (parent != nullptr) {
        if (parent->lastChild != nullptr) parent->lastChild->nextSibling = node;
        else parent->firstChild = node;
        parent->lastChild = node;
        ++parent->count;
    }
    return node;
}

bool Parser::SkipComment(char*& p, int lineCode, int slashCode) {
    if (p[1] == '/') {
        char* lineFeed = std::strchr(p + 2, '\n');
        if (lineFeed == nullptr) {
            Report(lineCode, "endless comment", p);
            return false;
        }
        p = lineFeed + 1;
        return true;
    }
    if (p[1] == '*') {
        if (p[2] == '\0') {
            Report(kCommentEndsAtOpening, "endless comment", p);
            return false;
        }
        // The closing slash counts only after a star; "/*/" does not close itself.
        for (char* q = p + 3;; ++q) {
            q = std::strchr(q, '/');
            if (q == nullptr) {
                Report(kCommentNotClosed, "endless comment", p);
                return false;
            }
            if (q[-1] == '*') {
                p = q + 1;
                return true;
            }
        }
    }
    Report(slashCode, "unexpected chars", p);
    return false;
}

bool Parser::String(char*& p, char*& text) {
    char* const start = p;
    char* read = p + 1;
    char* write = p + 1;
    text = write;
    while (*read != '"') {
        if (*read == '\0') {
            Report(kNoClosingQuote, "no closing quote for string", start);
            return false;
        }
        if (*read != '\\') {
            *write++ = *read++;
            continue;
        }
        char* const escape = read;
        switch (read[1]) {
        case '"': case '\\': case '/': *write++ = read[1]; read += 2; continue;
        case 'b': *write++ = '\b'; read += 2; continue;
        case 'f': *write++ = '\f'; read += 2; continue;
        case 'n': *write++ = '\n'; read += 2; continue;
        case 'r': *write++ = '\r'; read += 2; continue;
        case 't': *write++ = '\t'; read += 2; continue;
        case 'u':
            if (encoder_ != nullptr) break;
            [[fallthrough]];
        default:
            // Kept as it stands: the backslash, then the next character as ordinary text.
            *write++ = *read++;
            continue;
        }
        uint32_t codePoint = 0;
        if (!ReadHex4(read + 2, codePoint)) {
            Report(kBadUnicodeEscape, "invalid unicode escape", read);
            return false;
        }
        read += 6;
        if ((codePoint & 0xFC00) == 0xD800) {
            uint32_t low = 0;
            if (read[0] != '\\' || read[1] != 'u' || !ReadHex4(read + 2, low)) {
                Report(kSurrogateNotEscape, "invalid unicode surrogate", read);
                return false;
            }
            if ((low & 0xFC00) != 0xDC00) {
                Report(kSurrogateNotLow, "invalid unicode surrogate", read);
                return false;
            }
            read += 6;
            codePoint = 0x10000 + (codePoint - 0xD800) * 0x400 + (low - 0xDC00);
        }
        if (!encoder_(codePoint, &write)) {
            Report(kCodePointRefused, "invalid codepoint", escape);
            return false;
        }
    }
    *write = '\0';
    *read = '\0';
    p = read + 1;
    return true;
}

bool Parser::Number(char*& p, JsonNode* node) {
    // Decimal unless written 0x...: a leading zero is a zero, not an octal prefix.
    const char* digits = p + (*p == '-' ? 1 : 0);
    const int base = (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) ? 16 : 10;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(p, &end, base);
    if (end == p || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
        Report(kBadInteger, "invalid number", p);
        return false;
    }
    node->intValue = static_cast<int32_t>(value);
    if (*end == '.' || *end == 'e' || *end == 'E') {
        node->kind = JsonReal;
        char* realEnd = nullptr;
        errno = 0;
        node->realValue = std::strtod(p, &realEnd);
        if (realEnd == p || errno == ERANGE) {
            Report(kBadReal, "invalid number", p);
            return false;
        }
        p = realEnd;
        return true;
    }
    node->realValue = static_cast<double>(value);
    p = end;
    return true;
}

bool Parser::MemberName(char*& p, char*& name, bool& closed) {
    closed = false;
    for (;;) {
        while ((*p >= 0x01 && *p <= 0x20) || *p == ',') ++p;
        if (*p != '/') break;
        if (!SkipComment(p, kLineCommentInNames, kSlashInNames)) return false;
    }
    if (*p == '}') {
        closed = true;
        return true;
    }
    if (*p == '"') {
        if (!String(p, name)) return false;
        while (*p >= 0x01 && *p <= 0x20) ++p;
        if (*p != ':') {
            Report(kNoColonAfterName, "unexpected chars", p);
            return false;
        }
        ++p;
        return true;
    }
    Report(*p == '\0' ? kEndInNames : kOtherInNames, "unexpected chars", p);
    return false;
}

Parser::Step Parser::Value(char*& p, JsonNode* parent, char* key, JsonNode** made) {
    for (;;) {
        while (*p == '\t' || *p == '\n' || *p == '\r' || *p == ' ' || *p == ',') ++p;
        if (*p != '/') break;
        if (!SkipComment(p, kLineCommentInValue, kSlashInValue)) return Step::Failed;
    }
    const char c = *p;
    JsonNode* node = nullptr;
    auto make = [&](JsonNodeType kind) {
        node = NewNode(kind, parent, key, p);
        if (node != nullptr && made != nullptr) *made = node;
        return node != nullptr;
    };

    if (c == '"') {
        if (!make(JsonString)) return Step::Failed;
        return String(p, node->text) ? Step::Made : Step::Failed;
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
        if (!make(JsonInteger)) return Step::Failed;
        return Number(p, node) ? Step::Made : Step::Failed;
    }
    if (c == 't' || c == 'f' || c == 'n') {
        const char* word = c == 't' ? "true" : c == 'f' ? "false" : "null";
        const std::size_t length = std::strlen(word);
        if (std::strncmp(p, word, length) != 0) {
            Report(c == 't' ? kNotTrue : c == 'f' ? kNotFalse : kNotNull, "unexpected chars", p);
            return Step::Failed;
        }
        if (!make(c == 'n' ? JsonNull : JsonBool)) return Step::Failed;
        node->intValue = c == 't' ? 1 : 0;
        node->realValue = node->intValue;
        p += length;
        return Step::Made;
    }
    if (c == ']') return Step::EndOfArray;
    if (c == '[' || c == '{') {
        if (depth_ >= kJsonMaxDepth) {
            Report(kTooDeep, "nesting too deep", p);
            return Step::Failed;
        }
        if (!make(c == '[' ? JsonArray : JsonObject)) return Step::Failed;
        ++p;
        ++depth_;
        Step outcome = Step::Made;
        if (c == '[') {
            for (;;) {
                const Step step = Value(p, node, nullptr, nullptr);
                if (step == Step::Failed) { outcome = Step::Failed; break; }
                if (step == Step::EndOfArray) { ++p; break; }
            }
        } else {
            for (;;) {
                char* name = nullptr;
                bool closed = false;
                if (!MemberName(p, name, closed)) { outcome = Step::Failed; break; }
                if (closed) { ++p; break; }
                // A "]" where a member's value belongs makes no member; the name
                // reader then refuses it.
                if (Value(p, node, name, nullptr) == Step::Failed) { outcome = Step::Failed; break; }
            }
        }
        --depth_;
        return outcome;
    }
    if (c == '\0') Report(kEndInValue, "unexpected end of text", p);
    else Report(kOtherInValue, "unexpected chars", p);
    return Step::Failed;
}

}  // namespace

JsonNode* JsonParse(char* text, JsonEncoder encoder) {
    if (text == nullptr) return nullptr;
    Parser parser(encoder);
    JsonNode* root = nullptr;
    char* p = text;
    if (parser.Value(p, nullptr, nullptr, &root) != Parser::Step::Made) {
        JsonFree(root);
        return nullptr;
    }
    return root;
}

const JsonNode* JsonGet(const JsonNode* node, const char* name) {
    if (node == nullptr || name == nullptr) return &kNullNode;
    for (const JsonNode* child = node->firstChild; child != nullptr; child = child->nextSibling) {
        if (child->key != nullptr && std::strcmp(child->key, name) == 0) return child;
    }
    return &kNullNode;
}

const JsonNode* JsonItem(const JsonNode* node, int index) {
    if (node == nullptr || index < 0) return &kNullNode;
    const JsonNode* child = node->firstChild;
    for (; child != nullptr && index > 0; --index) child = child->nextSibling;
    return child != nullptr ? child : &kNullNode;
}

void JsonFree(JsonNode* node) {
    if (node == nullptr) return;
    // Iterative along the siblings, recursive only as deep as the (bounded) nesting.
    JsonNode* child = node->firstChild;
    while (child != nullptr) {
        JsonNode* next = child->nextSibling;
        JsonFree(child);
        child = next;
    }
    std::free(node);
}

const JsonNode* JsonNullNode() { return &kNullNode; }

bool JsonEncodeUtf8(uint32_t codePoint, char** write) {
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) return false;
    auto put = [&](uint32_t byte) { *(*write)++ = static_cast<char>(byte); };
    if (codePoint < 0x80) {
        put(codePoint);
    } else if (codePoint < 0x800) {
        put(0xC0 | (codePoint >> 6));
        put(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        put(0xE0 | (codePoint >> 12));
        put(0x80 | ((codePoint >> 6) & 0x3F));
        put(0x80 | (codePoint & 0x3F));
    } else {
        put(0xF0 | (codePoint >> 18));
        put(0x80 | ((codePoint >> 12) & 0x3F));
        put(0x80 | ((codePoint >> 6) & 0x3F));
        put(0x80 | (codePoint & 0x3F));
    }
    return true;
}

}  // namespace lv
