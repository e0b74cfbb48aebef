// The FTP dialogs on the offscreen platform: what the view shows of the rules, and
// what OK writes.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "GuiTestSupport.h"
#include "base/Settings.h"
#include "gui/FtpServersDialog.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::LanguageScope;
using test::MessageRecorder;
using test::QtApp;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class FtpDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        QtApp();
        WriteFile(path, "Club\tftp.club.org\tjuge\tpw\t/res\nLocal\t127.0.0.1:2121\tu\tp\t\n");
    }

    TempFolder folder;
    std::string path = folder / "FtpServers.dat";
    MessageRecorder messages;
};

TEST_F(FtpDialogsTest, ServersDialogOpensCompactAndSwitchesToTheFullForm) {
    LanguageScope french(Language::French);
    FtpServersDialog dialog(path, {"Local"});
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Serveurs FTP");
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.List()->topLevelItem(0)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(dialog.List()->topLevelItem(1)->checkState(0), Qt::Checked);
    EXPECT_EQ(dialog.FormButton()->text().toStdString(), ">>");
    EXPECT_FALSE(dialog.Panel()->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.AddButton()->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.FormButton()->isVisibleTo(&dialog));

    dialog.FormButton()->click();
    EXPECT_EQ(dialog.FormButton()->text().toStdString(), "<<");
    EXPECT_TRUE(dialog.Panel()->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.AddButton()->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.RemoveButton()->isEnabled());
    EXPECT_FALSE(dialog.Edit(FtpServerField::Label)->isEnabled());

    dialog.List()->setCurrentItem(dialog.List()->topLevelItem(0));
    EXPECT_EQ(dialog.Edit(FtpServerField::Site)->text().toStdString(), "ftp.club.org");
    EXPECT_TRUE(dialog.RemoveButton()->isEnabled());
    EXPECT_TRUE(dialog.UpdateButton()->isEnabled());
}

TEST_F(FtpDialogsTest, AddingRefusesEmptyFieldsThenOkWritesTheListAndTheChoice) {
    LanguageScope english(Language::English);
    FtpServersDialog dialog(path, {});
    dialog.FormButton()->click();
    dialog.AddButton()->click();
    EXPECT_TRUE(dialog.Edit(FtpServerField::Label)->isEnabled());
    EXPECT_FALSE(dialog.List()->isEnabled());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());

    dialog.Edit(FtpServerField::Label)->setText("New");
    dialog.Edit(FtpServerField::Site)->setText("n.example");
    dialog.ValidateButton()->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages.back(), "User is empty!");

    dialog.Edit(FtpServerField::User)->setText("nu");
    dialog.Edit(FtpServerField::Password)->setText("np");
    dialog.ValidateButton()->click();
    EXPECT_EQ(messages.messages.size(), 1u);
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 3);
    EXPECT_TRUE(dialog.List()->topLevelItem(2)->isSelected());
    EXPECT_TRUE(dialog.OkButton()->isEnabled());

    dialog.List()->topLevelItem(2)->setCheckState(0, Qt::Checked);
    dialog.List()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    dialog.OkButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ChosenLabels(), (std::vector<std::string>{"Club", "New"}));
    EXPECT_EQ(ReadFile(path),
              "Club\tftp.club.org\tjuge\tpw\t/res\nLocal\t127.0.0.1:2121\tu\tp\t\nNew\tn.example\tnu\tnp\t\n");
}

TEST_F(FtpDialogsTest, CancelWritesNothing) {
    LanguageScope english(Language::English);
    FtpServersDialog dialog(path, {});
    dialog.FormButton()->click();
    dialog.List()->setCurrentItem(dialog.List()->topLevelItem(0));
    dialog.RemoveButton()->click();
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 1);
    dialog.reject();
    EXPECT_EQ(ReadFile(path), "Club\tftp.club.org\tjuge\tpw\t/res\nLocal\t127.0.0.1:2121\tu\tp\t\n");
}

TEST_F(FtpDialogsTest, ParametersDialogReadsAndWritesFtpSettings) {
    LanguageScope english(Language::English);
    InstallSettingsFile(folder / "Lumivane.ini");
    WriteSettingText("FtpSettings", "Site", "old.example");
    FtpParametersDialog dialog;
    EXPECT_EQ(dialog.windowTitle().toStdString(), "FTP Server definition");
    EXPECT_EQ(dialog.Edit(FtpServerField::Site)->text().toStdString(), "old.example");
    dialog.Edit(FtpServerField::Label)->setText("Export");
    dialog.Edit(FtpServerField::Site)->setText("new.example:2121");
    dialog.Edit(FtpServerField::Directory)->setText("/out");
    dialog.accept();
    EXPECT_EQ(ReadSettingText("FtpSettings", "Label", ""), "Export");
    EXPECT_EQ(ReadSettingText("FtpSettings", "Site", ""), "new.example:2121");
    EXPECT_EQ(ReadSettingText("FtpSettings", "Directory", ""), "/out");
    InstallSettingsFile("");
}

}  // namespace
}  // namespace lv
