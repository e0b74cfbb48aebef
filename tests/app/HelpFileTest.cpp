// "?" finds the guide beside the program, else where an installation puts it.
#include <gtest/gtest.h>

#include "app/HelpFile.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::TempFolder;
using test::WriteFile;

TEST(HelpFileTest, BesideTheProgramFirstThenTheInstalledDocumentation) {
    TempFolder folder;
    const std::string bin = folder / "usr/bin";
    EXPECT_EQ(FindHelpFile(bin), "");
    ASSERT_EQ(HelpFileCandidates(bin).size(), 2u);
    EXPECT_EQ(HelpFileCandidates(bin)[0], bin + "/Lumivane.pdf");

    WriteFile(folder / "usr/share/doc/lumivane/Lumivane.pdf", "%PDF-1.4\n");
    EXPECT_EQ(FindHelpFile(bin), folder / "usr/share/doc/lumivane/Lumivane.pdf");
    // The same from "bin/" as a folder name may end.
    EXPECT_EQ(FindHelpFile(bin + "/"), folder / "usr/share/doc/lumivane/Lumivane.pdf");
    WriteFile(bin + "/Lumivane.pdf", "%PDF-1.4\n");
    EXPECT_EQ(FindHelpFile(bin), bin + "/Lumivane.pdf");
}

TEST(HelpFileTest, AFolderOfThatNameIsNoGuide) {
    TempFolder folder;
    WriteFile(folder / "bin/Lumivane.pdf/x", "");
    EXPECT_EQ(FindHelpFile(folder / "bin"), "");
}

}  // namespace
}  // namespace lv
