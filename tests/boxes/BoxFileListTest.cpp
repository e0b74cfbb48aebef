// The file list of a network decoder (LISTFILES) against the decoder simulator and a
// scripted decoder: records, download addresses, bad entries and failures.
#include <gtest/gtest.h>

#include <future>

#include "BoxTestSupport.h"
#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "boxes/BoxCommands.h"
#include "boxes/BoxFileList.h"
#include "boxes/TarvexBox.h"
#include "support/LoopbackSockets.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

class BoxFileListTest : public ::testing::Test {
protected:
    BoxFileListTest() {
        SetLanguage(Language::English);
        InstallSettingsFile(folder / "Lumivane.ini");
        box.number = 2;
        box.AttachHost(&host);
    }
    ~BoxFileListTest() override {
        InstallSettingsFile("");
        SetLanguage(Language::French);
    }

    test::TempFolder folder;
    LogCapture log{100};
    test::RecordingBoxHost host;
    CTarvexBox box;
};

TEST_F(BoxFileListTest, ListsTheDecoderFilesWithTheirAddresses) {
    // A decoder that pushes no passing meanwhile (a rate of 0 would flood).
    test::SimulatorProcess decoder("decoder", {"--rate", "0.001"});
    ASSERT_TRUE(decoder.Running());
    box.SetParameters("31", "127.0.0.1", decoder.Port());
    ASSERT_TRUE(InitializeBox(box));
    // The template as an older version wrote it is mended and kept.
    setting::GetLocalFilePassings.Write("http://$BOXIP*/media/passings_$FILEID$.txt");

    std::vector<std::unique_ptr<CDetectionFile>> files;
    std::string error;
    ASSERT_EQ(ListBoxFiles(box, files, error), 0) << error;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]->fileId, "1001");
    EXPECT_EQ(files[0]->count, 1520);
    EXPECT_EQ(files[0]->created, "01/05/2024");
    EXPECT_EQ(files[0]->details, "closed");
    EXPECT_EQ(files[0]->detectionsPath, "http://127.0.0.1/media/passings_1001.txt");
    EXPECT_EQ(files[1]->fileId, "1002");
    EXPECT_EQ(files[1]->count, 87);
    EXPECT_EQ(files[1]->created, "02/05/2024");
    EXPECT_EQ(files[1]->detectionsPath, "http://127.0.0.1/media/passings_1002.txt");
    EXPECT_EQ(setting::GetLocalFilePassings.Read(), "http://$BOXIP$/media/passings_$FILEID$.txt");
    EXPECT_TRUE(log.HasContaining("+ Box 2 [1:" + std::to_string(decoder.Port()) +
                                  " 31] : Request for detection file list"));
    EXPECT_TRUE(log.HasContaining(">>->> LISTFILES"));
    EXPECT_TRUE(log.HasContaining(": List files response received"));
}

TEST_F(BoxFileListTest, EntriesThatDoNotReadAreLeftOutAndSaid) {
    test::LoopbackPeer peer;
    box.SetParameters("31", "127.0.0.1", peer.Port());
    std::string error;
    ASSERT_TRUE(box.Transport()->Connect(error)) << error;
    ASSERT_TRUE(peer.Accept());
    auto answer = std::async(std::launch::async, [&] {
        EXPECT_EQ(peer.ReceiveLine(), "LISTFILES\r\n");
        peer.Send("LISTFILES;4;7,12,2024-05-01,a;../etc,1,2024-05-01,b;9,x,2024-05-01,c;10,3,2024-02-30,d\r\n");
    });
    std::vector<std::unique_ptr<CDetectionFile>> files;
    ASSERT_EQ(ListBoxFiles(box, files, error), 0) << error;
    answer.get();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->fileId, "7");
    EXPECT_EQ(log.CountContaining("Invalid file entry: "), 3);
}

TEST_F(BoxFileListTest, FailuresGiveTheirTexts) {
    std::vector<std::unique_ptr<CDetectionFile>> files;
    std::string error;
    // Not connected.
    EXPECT_EQ(ListBoxFiles(box, files, error), kListFilesNotSent);
    EXPECT_EQ(error, "Connexion non ouverte");
    EXPECT_TRUE(log.HasContaining("Error sending command LISTFILES: Connexion non ouverte"));

    test::LoopbackPeer peer;
    box.SetParameters("31", "127.0.0.1", peer.Port());
    box.SetResponseSeconds(1);
    ASSERT_TRUE(box.Transport()->Connect(error)) << error;
    ASSERT_TRUE(peer.Accept());
    // A box that never answers.
    EXPECT_EQ(ListBoxFiles(box, files, error), kListFilesNoResponse);
    EXPECT_EQ(error, "Error reading box response");

    // No address template.
    setting::GetLocalFilePassings.Write("");
    auto answer = std::async(std::launch::async, [&] {
        peer.ReceiveLine();
        peer.ReceiveLine();
        peer.Send("LISTFILES;0\r\n");
    });
    EXPECT_EQ(ListBoxFiles(box, files, error), kListFilesNoTemplate);
    answer.get();
    EXPECT_EQ(error, "URL/GetLocalFilePassings is empty");
    EXPECT_TRUE(files.empty());
}

}  // namespace
}  // namespace lv
