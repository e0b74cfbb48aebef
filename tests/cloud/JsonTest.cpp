// The JSON reader: node layout, leniency (commas, comments, trailers), numbers, string
// escapes with and without an encoder, and every error line with its code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cloud/json/Json.h"
#include "cloud/json/ParsedJson.h"

namespace lv {
namespace {

using Parsed = ParsedJson;

// The standard error output of one parse.
std::string ErrorOf(const std::string& text, JsonEncoder encoder = nullptr) {
    testing::internal::CaptureStderr();
    {
        Parsed parsed(text, encoder);
        EXPECT_EQ(parsed.root(), nullptr) << text;
    }
    return testing::internal::GetCapturedStderr();
}

TEST(JsonShape, NodeFieldsFollowTheDocumentedLayout) {
    static_assert(JsonNull == 0 && JsonObject == 1 && JsonArray == 2 && JsonString == 3 &&
                  JsonInteger == 4 && JsonReal == 5 && JsonBool == 6);
    static_assert(sizeof(JsonNodeType) == 4);
    EXPECT_LT(offsetof(JsonNode, kind), offsetof(JsonNode, key));
    EXPECT_LT(offsetof(JsonNode, key), offsetof(JsonNode, text));
    EXPECT_LT(offsetof(JsonNode, text), offsetof(JsonNode, intValue));
    EXPECT_LT(offsetof(JsonNode, intValue), offsetof(JsonNode, realValue));
    EXPECT_LT(offsetof(JsonNode, realValue), offsetof(JsonNode, count));
    EXPECT_LT(offsetof(JsonNode, count), offsetof(JsonNode, firstChild));
    EXPECT_LT(offsetof(JsonNode, firstChild), offsetof(JsonNode, nextSibling));
    EXPECT_LT(offsetof(JsonNode, nextSibling), offsetof(JsonNode, lastChild));
}

TEST(JsonShape, ObjectsKeepMembersInOrderWithKeysPointingIntoTheText) {
    std::string source = R"({"DeviceID": "A-17", "Count": 12, "Ok": true, "Gone": null, "Rate": -2.5})";
    std::vector<char> text(source.begin(), source.end());
    text.push_back('\0');
    JsonNode* root = JsonParse(text.data());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->kind, JsonObject);
    EXPECT_EQ(root->key, nullptr);
    EXPECT_EQ(root->count, 5);
    const JsonNode* device = JsonGet(root, "DeviceID");
    EXPECT_EQ(device->kind, JsonString);
    EXPECT_STREQ(device->text, "A-17");
    EXPECT_GE(device->text, text.data());
    EXPECT_LT(device->text, text.data() + text.size());
    EXPECT_EQ(JsonGet(root, "Count")->intValue, 12);
    EXPECT_EQ(JsonGet(root, "Count")->realValue, 12.0);
    EXPECT_EQ(JsonGet(root, "Ok")->kind, JsonBool);
    EXPECT_EQ(JsonGet(root, "Ok")->intValue, 1);
    EXPECT_EQ(JsonGet(root, "Gone")->kind, JsonNull);
    EXPECT_NE(JsonGet(root, "Gone"), JsonNullNode());
    EXPECT_EQ(JsonGet(root, "Rate")->kind, JsonReal);
    EXPECT_EQ(JsonGet(root, "Rate")->realValue, -2.5);
    EXPECT_EQ(root->lastChild, JsonGet(root, "Rate"));
    EXPECT_EQ(JsonItem(root, 1), JsonGet(root, "Count"));
    JsonFree(root);
}

TEST(JsonShape, CommasAreOptionalAndMayRepeat) {
    Parsed array("[1 2,,3,]");
    ASSERT_NE(array.root(), nullptr);
    EXPECT_EQ(array.root()->kind, JsonArray);
    ASSERT_EQ(array.root()->count, 3);
    EXPECT_EQ(JsonItem(array.root(), 0)->intValue, 1);
    EXPECT_EQ(JsonItem(array.root(), 2)->intValue, 3);
    EXPECT_EQ(JsonItem(array.root(), 0)->key, nullptr);

    Parsed object(R"({"a": 1 "b": 2,})");
    ASSERT_NE(object.root(), nullptr);
    EXPECT_EQ(object.root()->count, 2);
    EXPECT_EQ(JsonGet(object.root(), "b")->intValue, 2);
}

TEST(JsonShape, DuplicateKeysAreKeptAndTheFirstIsFound) {
    Parsed parsed(R"({"k": "first", "k": "second"})");
    ASSERT_NE(parsed.root(), nullptr);
    EXPECT_EQ(parsed.root()->count, 2);
    EXPECT_STREQ(JsonGet(parsed.root(), "k")->text, "first");
    EXPECT_STREQ(JsonItem(parsed.root(), 1)->text, "second");
}

TEST(JsonShape, LookupsNeverGiveNone) {
    Parsed parsed(R"({"a": {"b": [10, 20]}})");
    ASSERT_NE(parsed.root(), nullptr);
    EXPECT_EQ(JsonItem(JsonGet(JsonGet(parsed.root(), "a"), "b"), 1)->intValue, 20);
    const JsonNode* missing = JsonGet(JsonGet(parsed.root(), "x"), "y");
    EXPECT_EQ(missing, JsonNullNode());
    EXPECT_EQ(missing->kind, JsonNull);
    EXPECT_EQ(missing->text, nullptr);
    EXPECT_EQ(missing->count, 0);
    EXPECT_EQ(JsonItem(parsed.root(), 5), JsonNullNode());
    EXPECT_EQ(JsonItem(nullptr, 0), JsonNullNode());
    EXPECT_EQ(JsonItem(parsed.root(), -1), JsonNullNode());
    EXPECT_EQ(JsonGet(nullptr, "a"), JsonNullNode());
    EXPECT_EQ(JsonGet(parsed.root(), nullptr), JsonNullNode());
    // Keys are compared exactly.
    EXPECT_EQ(JsonGet(parsed.root(), "A"), JsonNullNode());
}

TEST(JsonShape, CommentsAndTrailingTextAreSkipped) {
    Parsed parsed("// head\n{ /* a */ \"a\" : /**/ 1, // tail\n \"b\": [/* x */]} and more words");
    ASSERT_NE(parsed.root(), nullptr);
    EXPECT_EQ(parsed.root()->count, 2);
    EXPECT_EQ(JsonGet(parsed.root(), "b")->kind, JsonArray);
    EXPECT_EQ(JsonGet(parsed.root(), "b")->count, 0);
}

TEST(JsonShape, ALoneClosingBracketIsNoValueAndNoError) {
    testing::internal::CaptureStderr();
    Parsed parsed("]");
    EXPECT_EQ(parsed.root(), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(JsonShape, ControlCharactersAreSkippedBetweenNamesOnly) {
    Parsed between("{\x01\"a\":1}");
    ASSERT_NE(between.root(), nullptr);
    EXPECT_EQ(JsonGet(between.root(), "a")->intValue, 1);
    // The reply's bytes are quoted escaped: nothing unprintable reaches the terminal.
    EXPECT_EQ(ErrorOf("[1,\x01 2]"), "JSON PARSE ERROR (347): unexpected chars at \\x01 2]\n");
    EXPECT_EQ(ErrorOf("[1,\x1b[2J\r\xff]"), "JSON PARSE ERROR (347): unexpected chars at \\x1B[2J\\x0D\\xFF]\n");
}

TEST(JsonShape, WordsNeedNoDelimiter) {
    EXPECT_EQ(ErrorOf("[trueX]"), "JSON PARSE ERROR (347): unexpected chars at X]\n");
    Parsed bools("[true false]");
    ASSERT_NE(bools.root(), nullptr);
    EXPECT_EQ(JsonItem(bools.root(), 1)->kind, JsonBool);
    EXPECT_EQ(JsonItem(bools.root(), 1)->intValue, 0);
}

TEST(JsonNumbers, RealsKeepTheirIntegerPrefix) {
    Parsed parsed("[3.50, 1e3, -0x10, 0x1F, 2147483647, -2147483648]");
    ASSERT_NE(parsed.root(), nullptr);
    EXPECT_EQ(JsonItem(parsed.root(), 0)->kind, JsonReal);
    EXPECT_EQ(JsonItem(parsed.root(), 0)->realValue, 3.5);
    EXPECT_EQ(JsonItem(parsed.root(), 0)->intValue, 3);
    EXPECT_EQ(JsonItem(parsed.root(), 1)->kind, JsonReal);
    EXPECT_EQ(JsonItem(parsed.root(), 1)->realValue, 1000.0);
    EXPECT_EQ(JsonItem(parsed.root(), 1)->intValue, 1);
    EXPECT_EQ(JsonItem(parsed.root(), 2)->kind, JsonInteger);
    EXPECT_EQ(JsonItem(parsed.root(), 2)->intValue, -16);
    EXPECT_EQ(JsonItem(parsed.root(), 3)->intValue, 31);
    EXPECT_EQ(JsonItem(parsed.root(), 4)->intValue, 2147483647);
    EXPECT_EQ(JsonItem(parsed.root(), 5)->intValue, -2147483647 - 1);
}

TEST(JsonNumbers, ALeadingZeroIsDecimal) {
    Parsed parsed("[010, -007, 0, 08.5]");
    ASSERT_NE(parsed.root(), nullptr);
    EXPECT_EQ(JsonItem(parsed.root(), 0)->intValue, 10);
    EXPECT_EQ(JsonItem(parsed.root(), 1)->intValue, -7);
    EXPECT_EQ(JsonItem(parsed.root(), 2)->intValue, 0);
    EXPECT_EQ(JsonItem(parsed.root(), 3)->realValue, 8.5);
}

TEST(JsonNumbers, OutOfRangeOrEmptyNumbersFail) {
    EXPECT_EQ(ErrorOf("2147483648"), "JSON PARSE ERROR (288): invalid number at 2147483648\n");
    EXPECT_EQ(ErrorOf("2147483648.5"), "JSON PARSE ERROR (288): invalid number at 2147483648.5\n");
    EXPECT_EQ(ErrorOf("[-]"), "JSON PARSE ERROR (288): invalid number at -]\n");
    EXPECT_EQ(ErrorOf("1e999"), "JSON PARSE ERROR (295): invalid number at 1e999\n");
}

TEST(JsonStrings, EscapesAreResolvedInPlace) {
    Parsed parsed(R"(["a\"b\\c\/d", "\b\f\n\r\t", "x\qy", "\u00e9"])");
    ASSERT_NE(parsed.root(), nullptr);
    EXPECT_STREQ(JsonItem(parsed.root(), 0)->text, "a\"b\\c/d");
    EXPECT_STREQ(JsonItem(parsed.root(), 1)->text, "\b\f\n\r\t");
    EXPECT_STREQ(JsonItem(parsed.root(), 2)->text, "x\\qy");
    // Without an encoder a \u escape stays as it was written.
    EXPECT_STREQ(JsonItem(parsed.root(), 3)->text, "\\u00e9");
}

TEST(JsonStrings, TheUtf8EncoderWritesCodePointsAndPairs) {
    Parsed parsed(R"(["\u00e9t\u00C9", "\u20ac", "\ud83d\ude00", "\u0041"])", JsonEncodeUtf8);
    ASSERT_NE(parsed.root(), nullptr);
    EXPECT_STREQ(JsonItem(parsed.root(), 0)->text, "\xC3\xA9t\xC3\x89");
    EXPECT_STREQ(JsonItem(parsed.root(), 1)->text, "\xE2\x82\xAC");
    EXPECT_STREQ(JsonItem(parsed.root(), 2)->text, "\xF0\x9F\x98\x80");
    EXPECT_STREQ(JsonItem(parsed.root(), 3)->text, "A");
}

TEST(JsonErrors, EachPlaceReportsItsCode) {
    struct Case {
        std::string text;
        std::string line;
        JsonEncoder encoder = nullptr;
    };
    const std::vector<Case> cases = {
        {R"(["\u12G4"])", "JSON PARSE ERROR (142): invalid unicode escape at \\u12G4\"]\n", JsonEncodeUtf8},
        {R"(["\ud83dx"])", "JSON PARSE ERROR (149): invalid unicode surrogate at x\"]\n", JsonEncodeUtf8},
        {R"(["\ud83d\u0041"])", "JSON PARSE ERROR (154): invalid unicode surrogate at \\u0041\"]\n", JsonEncodeUtf8},
        {R"(["\udc00"])", "JSON PARSE ERROR (160): invalid codepoint at \\udc00\"]\n", JsonEncodeUtf8},
        {"[\"open", "JSON PARSE ERROR (176): no closing quote for string at \"open\n"},
        {"[/*", "JSON PARSE ERROR (184): endless comment at /*\n"},
        {"[/*/ 1", "JSON PARSE ERROR (190): endless comment at /*/ 1\n"},
        {R"({"a" 1})", "JSON PARSE ERROR (206): unexpected chars at 1}\n"},
        {"{// no end", "JSON PARSE ERROR (220): endless comment at // no end\n"},
        {"{/x", "JSON PARSE ERROR (230): unexpected chars at /x\n"},
        {"{a:1}", "JSON PARSE ERROR (235): unexpected chars at a:1}\n"},
        {R"({"a": ]})", "JSON PARSE ERROR (235): unexpected chars at ]}\n"},
        {"{\"a\":1,", "JSON PARSE ERROR (239): unexpected chars at \n"},
        {"[1,", "JSON PARSE ERROR (248): unexpected end of text at \n"},
        {"[tru]", "JSON PARSE ERROR (310): unexpected chars at tru]\n"},
        {"[fals]", "JSON PARSE ERROR (318): unexpected chars at fals]\n"},
        {"[nul]", "JSON PARSE ERROR (325): unexpected chars at nul]\n"},
        {"[// no end", "JSON PARSE ERROR (332): endless comment at // no end\n"},
        {"[/x]", "JSON PARSE ERROR (342): unexpected chars at /x]\n"},
        {"[1, |]", "JSON PARSE ERROR (347): unexpected chars at |]\n"},
        {"[\xC3\xA9]", "JSON PARSE ERROR (347): unexpected chars at \\xC3\\xA9]\n"},
        {"[1, }]", "JSON PARSE ERROR (347): unexpected chars at }]\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.text, c.encoder), c.line) << c.text;
}

TEST(JsonErrors, NestingIsBounded) {
    // Far deeper than any reply: refused with a line, never a stack overflow.
    const std::string deep(100000, '[');
    const std::string line = ErrorOf(deep);
    EXPECT_EQ(line.rfind("JSON PARSE ERROR (360): nesting too deep at [[[", 0), 0u) << line;
    // The quote of the text is bounded.
    EXPECT_LT(line.size(), kJsonErrorQuote + 64);

    std::string fits(kJsonMaxDepth, '[');
    fits += std::string(kJsonMaxDepth, ']');
    Parsed parsed(fits);
    EXPECT_NE(parsed.root(), nullptr);
}

TEST(JsonErrors, AFailedParseFreesWhatItBuilt) {
    // Run under the address sanitizer this shows no leak.
    EXPECT_EQ(ErrorOf(R"([{"a": [1, 2, {"b": "c"}]}, {"d": tru}])"),
              "JSON PARSE ERROR (310): unexpected chars at tru}]\n");
}

}  // namespace
}  // namespace lv
