// `lumivane import ...` run as a program: a file written by the box files explorer is
// saved into a detection file with the chip table of the data folder; failures exit
// non-zero with their message.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "import/ImportTestSupport.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class ImportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(folder / "data/TarvexTable.dtb", "12 CHIPA\n13 CHIPB\n");
        // As the box files explorer writes a download: device id empty on two lines.
        WriteFile(folder / "TX_3.txt", test::ExplorerLine(0, "CHIPA", "2024-05-12", "09:59:59.990") + "\n" +
                                           test::ExplorerLine(1, "CHIPA", "2024-05-12", "10:00:00.010") + "\n" +
                                           test::ExplorerLine(2, "CHIPB", "2024-05-12", "10:00:01.500", "D-42") + "\n" +
                                           test::ExplorerLine(3, "CHIPZ", "2024-05-12", "10:00:02.000", "D-42") + "\n" +
                                           test::ExplorerLine(4, "CHIPB", "2024-05-12", "13:00:00.000", "D-42") + "\n");
    }

    // Runs the program with the arguments; fills out and err, returns the exit code.
    int Run(const std::string& arguments) {
        const std::string command = std::string("TZ=Europe/Paris ") + LUMIVANE_BUILD_DIR + "/lumivane import " +
                                    arguments + " --data-dir " + (folder / "data") + " >" + (folder / "out.txt") +
                                    " 2>" + (folder / "err.txt");
        const int status = std::system(command.c_str());
        out = ReadFile(folder / "out.txt");
        err = ReadFile(folder / "err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Args(const std::string& from, const std::string& to, const std::string& extra = "") {
        return (folder / "TX_3.txt") + " --date 12/05/2024 --from " + from + " --to " + to + " --box 12 --save " +
               (folder / "result") + " --lang en" + extra;
    }

    TempFolder folder;
    std::string out;
    std::string err;
};

TEST_F(ImportCommandTest, AFileOfTheExplorerIsSavedWithTheDialogsLogOnStandardOutput) {
    ASSERT_EQ(Run(Args("09:00:00", "12:00:00", " --add-hours 24")), 0) << err;
    EXPECT_EQ(ReadFile(folder / "result.qox"),
              "1\t12\t12\t1\t33:59:59.99\t1\r\n"
              "2\t12\t13\t1\t34:00:01.50\t1\r\n"
              "3\t12\tCHIPZ\t1\t34:00:02.00\t1\r\n");
    for (const char* line : {"Import Tarvex detections from file ", "+++ Importing Tarvex detections file ",
                             "* Sun 12 May 2024 - First detection at 09:59:59.99, last detection at 13:00:00.00. Total 5 detections",
                             "* 4 suitable detections found in selected time range", "* 4 detections before purge",
                             "* 3 detections after purge (50 ms)", "* 1 chip not found in TARVEXTABLE.DTB:   CHIPZ",
                             "+++ Parsing Tarvex detections file done", "+++ 3 detections to save for box 12",
                             "+++ File saved"}) {
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    }
    EXPECT_NE(out.find("+++ 24 hours added to detections"), std::string::npos);
    EXPECT_TRUE(err.empty()) << err;
    EXPECT_NE(ReadFile(folder / "data/logfiles/Lumivane.log").find("+++ File saved"), std::string::npos);

    // A second run replaces the file and says so.
    ASSERT_EQ(Run(Args("10:00:01", "12:00:00")), 0) << err;
    EXPECT_EQ(ReadFile(folder / "result.qox"), "1\t12\t13\t1\t10:00:01.50\t1\r\n2\t12\tCHIPZ\t1\t10:00:02.00\t1\r\n");
    EXPECT_NE(out.find("+++ File " + (folder / "result.qox") + " replaced"), std::string::npos) << out;
}

TEST_F(ImportCommandTest, FailuresExitNonZeroWithTheirMessage) {
    EXPECT_EQ(Run(Args("25:61:00", "12:00:00")), 1);
    EXPECT_NE(err.find("Start Time is invalid !"), std::string::npos) << err;
    EXPECT_EQ(Run(Args("09:00:00", "x")), 1);
    EXPECT_NE(err.find("End Time is invalid !"), std::string::npos) << err;
    EXPECT_EQ(Run((folder / "none.txt") + " --date 12/05/2024 --from 09:00:00 --to 12:00:00 --box 12 --save " +
                  (folder / "r") + " --lang en"),
              1);
    EXPECT_NE(err.find("File to import is empty or does not exist " + (folder / "none.txt")), std::string::npos) << err;
    EXPECT_EQ(Run(Args("14:00:00", "15:00:00")), 1);
    EXPECT_NE(out.find("* No suitable detection found in selected time range"), std::string::npos) << out;
    EXPECT_NE(err.find("No detection kept"), std::string::npos) << err;
    EXPECT_EQ(Run((folder / "TX_3.txt") + " --date 31/02/2024 --from 09:00:00 --to 12:00:00 --box 12 --save r"), 1);
    EXPECT_NE(err.find("31/02/2024"), std::string::npos) << err;
    EXPECT_EQ(Run((folder / "TX_3.txt") + " --date 12/05/2024 --from 09:00:00 --to 12:00:00 --box 7 --save r"), 1);
    WriteFile(folder / "plain", "x");
    EXPECT_EQ(Run((folder / "TX_3.txt") + " --date 12/05/2024 --from 09:00:00 --to 12:00:00 --box 12 --save " +
                  (folder / "plain/out") + " --lang en"),
              1);
    EXPECT_NE(err.find("Error creating file " + (folder / "plain/out.qox")), std::string::npos) << err;
    EXPECT_EQ(out.find("+++ File saved"), std::string::npos);
    EXPECT_FALSE(test::ReadFile(folder / "r.qox").size() > 0);
    // Usage errors.
    EXPECT_EQ(Run((folder / "TX_3.txt") + " --date 12/05/2024 --from 09:00:00 --to 12:00:00 --box 12"), 2);
    EXPECT_NE(err.find("import needs --save"), std::string::npos) << err;
    EXPECT_EQ(Run(Args("09:00:00", "12:00:00", " --add-hours 12")), 2);
}

TEST_F(ImportCommandTest, TheInputIsNeverOverwrittenAndAFifoIsNotARegularFile) {
    const std::string raw = ReadFile(folder / "TX_3.txt");
    WriteFile(folder / "TX_3.txt.qox", raw);
    // "./" and the ".qox" the command adds: the same file under other names.
    const std::string input = folder / "TX_3.txt.qox";
    for (const std::string& output : {input, folder / "./TX_3.txt.qox", folder / "TX_3.txt"}) {
        EXPECT_EQ(Run(input + " --date 12/05/2024 --from 09:00:00 --to 12:00:00 --box 12 --lang en --save " + output), 1)
            << output;
        EXPECT_NE(err.find("is the file being imported"), std::string::npos) << err;
        EXPECT_EQ(ReadFile(input), raw);
    }
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(Run((folder / "fifo") + " --date 12/05/2024 --from 09:00:00 --to 12:00:00 --box 12 --lang en --save " +
                  (folder / "r")),
              1);
    EXPECT_NE(err.find("File to import is not a regular file"), std::string::npos) << err;
}

TEST_F(ImportCommandTest, FrenchTextsWithLangFr) {
    ASSERT_EQ(Run((folder / "TX_3.txt") + " --date 12/05/2024 --from 09:00:00 --to 12:00:00 --box 31 --save " +
                  (folder / "fr") + " --lang fr"),
              0)
        << err;
    EXPECT_NE(out.find("+++ Traitement de fichier Tarvex terminé"), std::string::npos) << out;
    EXPECT_NE(out.find("+++ Fichier sauvegardé"), std::string::npos) << out;
    EXPECT_NE(ReadFile(folder / "fr.qox").find("1\t31\t12\t1\t09:59:59.99\t1\r\n"), std::string::npos);
}

}  // namespace
}  // namespace lv
