// The explorer's window over its rules: it lists a box's files after opening, downloads
// the chosen one and returns its path; Cancel returns none.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <functional>

#include "GuiTestSupport.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "cloud/ExplorerTestSupport.h"
#include "gui/BoxFilesDialog.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

class BoxFilesDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        EnvironmentOptions options;
        options.dataFolderOverride = folder.Path();
        InitialiseEnvironment(options);
        InstallSettingsFile(GetSettingsFilePath());
        Logger::Instance().SetFilePath(GetLogFilePath());
    }

    // Runs the modal dialog while `step` drives it (every 20 ms) until it returns true.
    std::string RunDriven(BoxFilesSource source, std::function<bool(QWidget&)> step) {
        QTimer driver;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr || dialog->objectName() != "CDlgBoxFiles") return;
            if (step(*dialog) || std::chrono::steady_clock::now() > limit) driver.stop();
            if (std::chrono::steady_clock::now() > limit) dialog->close();
        });
        driver.start(20);
        return RunBoxFilesDialog(nullptr, std::move(source));
    }

    BoxFilesSource OneBox(std::vector<std::unique_ptr<CDetectionFile>> files) {
        auto shared = std::make_shared<std::vector<std::unique_ptr<CDetectionFile>>>(std::move(files));
        BoxFileLister lister = [shared](std::vector<std::unique_ptr<CDetectionFile>>& out, std::string&) {
            for (auto& file : *shared) out.push_back(std::make_unique<CDetectionFile>(*file));
            return 0;
        };
        return BoxFilesSource::ForBoxes({{BoxEntryText(1, "[127.0.0.1:3601 31]"), lister}});
    }

    test::TempFolder folder;
    test::MessageRecorder messages;
    test::LanguageScope english{Language::English};
};

TEST_F(BoxFilesDialogTest, ListsThenDownloadsTheChosenFile) {
    test::OneShotHttpServer box(R"([{"TranspCode": "2001", "Time": "2024-05-01T08:00:00Z"}])");
    std::vector<std::unique_ptr<CDetectionFile>> files;
    files.push_back(test::BoxFile("4", 0, box.Url("/none")));
    files.push_back(test::BoxFile("12", 1, box.Url("/media/passings_12.txt")));
    const std::string path = RunDriven(OneBox(std::move(files)), [&](QWidget& dialog) {
        auto* list = dialog.findChild<QListWidget*>("files");
        if (list->count() != 2 || !list->isEnabled()) return false;
        dialog.findChild<QLineEdit*>("destination")->setText(QString::fromStdString(folder.Path()));
        list->setCurrentRow(1);
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == "Download") button->click();
        }
        return true;
    });
    EXPECT_EQ(path, folder / "TX_12.txt");
    ASSERT_FALSE(messages.messages.empty());
    EXPECT_EQ(messages.messages.back(), "Download done (< 1 kB)");
    EXPECT_EQ(test::ReadFile(path), "0;2001;2024-05-01;10:00:00.000;;;;;;;;;;;;;31\r\n");
}

TEST_F(BoxFilesDialogTest, CancelReturnsNoFile) {
    std::vector<std::unique_ptr<CDetectionFile>> files;
    files.push_back(test::BoxFile("4", 3, "http://127.0.0.1:1/x"));
    int lines = 0;
    const std::string path = RunDriven(OneBox(std::move(files)), [&](QWidget& dialog) {
        auto* list = dialog.findChild<QListWidget*>("files");
        if (!list->isEnabled() || list->count() == 0) return false;
        lines = list->count();
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == "Cancel") button->click();
        }
        return true;
    });
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(path, "");
}

}  // namespace
}  // namespace lv
