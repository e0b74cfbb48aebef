// The program's options: the window's connection at start among them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace lv {
namespace {

bool Parse(std::vector<std::string> words, CommandLine& out, std::string& error) {
    words.insert(words.begin(), "lumivane");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, error);
}

TEST(CommandLineTest, ConnectAtStartIsAnOptionOfItsOwn) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(Parse({"--connect", "--lang", "en"}, line, error)) << error;
    EXPECT_TRUE(line.connectAtStart);
    EXPECT_FALSE(line.direct);
    EXPECT_FALSE(line.headless);
    EXPECT_NE(std::string(CommandLineUsage()).find("--connect"), std::string::npos);

    CommandLine plain;
    ASSERT_TRUE(Parse({}, plain, error));
    EXPECT_FALSE(plain.connectAtStart);
    EXPECT_FALSE(Parse({"--connect-now"}, plain, error));
    EXPECT_EQ(error, "unknown option --connect-now");
}

}  // namespace
}  // namespace lv
