// The explorer's boxes as the window offers them: the declared network boxes, with
// their combo texts, the chosen box first.
#include <gtest/gtest.h>

#include "app/EventLoop.h"
#include "app/MainController.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "support/FakeMainView.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

TEST(BoxFilesSourceTest, TheDeclaredBoxesAreOfferedWithTheChosenOneFirst) {
    test::TempFolder folder;
    EnvironmentOptions options;
    options.dataFolderOverride = folder.Path();
    InitialiseEnvironment(options);
    InstallSettingsFile(GetSettingsFilePath());
    Logger::Instance().SetFilePath(GetLogFilePath());
    for (int slot : {1, 3}) {
        WriteSettingText("TarvexBoxes", "BoxHost" + std::to_string(slot), "127.0.0.1");
        WriteSettingInt("TarvexBoxes", "BoxPort" + std::to_string(slot), 3600 + slot);
        WriteSettingText("TarvexBoxes", "BoxIdDetector" + std::to_string(slot), "31");
    }
    EventLoop loop;
    FakeMainView view;
    {
        ControllerOptions controllerOptions;
        controllerOptions.sessionFileName = folder / "logfiles/session.dat";
        MainController controller(loop, view, controllerOptions);
        controller.LoadBoxDeclarations();

        BoxFilesSource source = controller.BoxFilesSourceFor(3);
        EXPECT_EQ(source.mode, BoxFilesSource::Mode::Boxes);
        ASSERT_EQ(source.boxes.size(), 2u);
        EXPECT_EQ(source.boxes[0].text, "Boîtier 2 [1:3601 31]");
        EXPECT_EQ(source.boxes[1].text, "Boîtier 4 [1:3603 31]");
        EXPECT_EQ(source.firstEntry, 1);
        EXPECT_TRUE(static_cast<bool>(source.boxes[0].listFiles));
        // A box not connected has nothing to list.
        std::vector<std::unique_ptr<CDetectionFile>> files;
        std::string error;
        EXPECT_LT(source.boxes[0].listFiles(files, error), 0);
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(files.empty());
    }
    DetectionTable::Instance().Journal().Close();
    DetectionTable::Instance().ClearTable();
}

}  // namespace
}  // namespace lv
