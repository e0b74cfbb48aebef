// The FTP servers dialog's rules without a display: modes and what they enable,
// "Validate update" and its messages, and what OK keeps.
#include <gtest/gtest.h>

#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "ftp/FtpServersDialogRules.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class FtpServersDialogRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        WriteFile(path, "Club\tftp.club.org\tjuge\tpw\t/res\nLocal\t127.0.0.1:2121\tu\tp\t\nThird\th3\tu3\tp3\td3\n");
    }
    void TearDown() override { SetLanguage(Language::French); }

    TempFolder folder;
    std::string path = folder / "FtpServers.dat";
};

TEST_F(FtpServersDialogRulesTest, OpensCompactWithTheChosenServersChecked) {
    FtpServersDialogRules rules(path, {"Third", "Club", "Gone"});
    ASSERT_EQ(rules.Count(), 3u);
    EXPECT_TRUE(rules.IsChecked(0));
    EXPECT_FALSE(rules.IsChecked(1));
    EXPECT_TRUE(rules.IsChecked(2));
    EXPECT_FALSE(rules.FullForm());
    EXPECT_STREQ(rules.FormButtonText(), ">>");
    rules.ToggleForm();
    EXPECT_TRUE(rules.FullForm());
    EXPECT_STREQ(rules.FormButtonText(), "<<");
    // The result follows list order, not the order given.
    EXPECT_EQ(rules.ChosenLabels(), (std::vector<std::string>{"Club", "Third"}));

    FtpServersDialogRules none(folder / "missing.dat", {"Club"});
    EXPECT_EQ(none.Count(), 0u);
}

TEST_F(FtpServersDialogRulesTest, BrowsingAndEditingEnableTheirControls) {
    FtpServersDialogRules rules(path, {});
    FtpServersControls browsing = rules.Controls();
    EXPECT_TRUE(browsing.list && browsing.add && browsing.formButton && browsing.ok && browsing.cancel);
    EXPECT_FALSE(browsing.remove || browsing.update || browsing.edits || browsing.validateUpdate ||
                 browsing.cancelUpdate);

    rules.Select(1);
    EXPECT_EQ(rules.Fields().label, "Local");
    EXPECT_EQ(rules.Fields().site, "127.0.0.1:2121");
    EXPECT_EQ(rules.Fields().directory, "");
    EXPECT_TRUE(rules.Controls().remove && rules.Controls().update);

    ASSERT_TRUE(rules.Update());
    FtpServersControls editing = rules.Controls();
    EXPECT_TRUE(editing.edits && editing.validateUpdate && editing.cancelUpdate);
    EXPECT_FALSE(editing.list || editing.add || editing.remove || editing.update || editing.formButton ||
                 editing.ok || editing.cancel);
    rules.Select(0);  // the list is disabled while editing
    EXPECT_EQ(rules.Selection(), std::optional<std::size_t>(1));
    rules.CancelUpdate();
    EXPECT_FALSE(rules.Editing());
    EXPECT_EQ(rules.Fields().label, "Local");

    rules.Add();
    EXPECT_TRUE(rules.Editing());
    EXPECT_FALSE(rules.Selection().has_value());
    EXPECT_EQ(rules.Fields().label, "");
    rules.CancelUpdate();
    EXPECT_EQ(rules.Count(), 3u);

    // A double click starts an update in the full form only.
    EXPECT_FALSE(rules.DoubleClick(2));
    rules.ToggleForm();
    EXPECT_TRUE(rules.DoubleClick(2));
    EXPECT_TRUE(rules.Editing());
    EXPECT_EQ(rules.Fields().label, "Third");
}

TEST_F(FtpServersDialogRulesTest, EmptyFieldsAreNamedInBothLanguages) {
    FtpServersDialogRules rules(path, {});
    rules.Add();
    struct Case {
        FtpServerFields typed;
        FtpServerField focus;
        const char* english;
        const char* french;
    };
    const Case cases[] = {
        {{"  ", "h", "u", "p", ""}, FtpServerField::Label, "Label is empty!", "Label vide !"},
        {{"L", "h", " \t", "p", ""}, FtpServerField::User, "User is empty!", "Utilisateur vide !"},
        {{"L", "h", "u", "", ""}, FtpServerField::Password, "Password is empty!", "Mot de passe vide !"},
        {{"L", "  ", "u", "p", ""}, FtpServerField::Site, "Server is empty!", "Serveur vide !"},
    };
    for (const Case& c : cases) {
        SetLanguage(Language::English);
        FtpServerValidation english = rules.ValidateUpdate(c.typed);
        EXPECT_FALSE(english.ok);
        EXPECT_EQ(english.message, c.english);
        EXPECT_EQ(english.focus, c.focus);
        SetLanguage(Language::French);
        EXPECT_EQ(rules.ValidateUpdate(c.typed).message, c.french);
        EXPECT_TRUE(rules.Editing());
    }
    EXPECT_EQ(rules.Count(), 3u);
}

TEST_F(FtpServersDialogRulesTest, ValuesTheFileCannotHoldAndBadSitesAreRefused) {
    FtpServersDialogRules rules(path, {});
    rules.Add();
    FtpServerValidation semicolon = rules.ValidateUpdate({"L", "h", "u", "p;w", ""});
    EXPECT_FALSE(semicolon.ok);
    EXPECT_EQ(semicolon.focus, FtpServerField::Password);
    EXPECT_EQ(semicolon.message, "Password: a tab or ';' cannot be stored!");
    FtpServerValidation tab = rules.ValidateUpdate({"L", "h", "u", "p", "a\tb"});
    EXPECT_EQ(tab.focus, FtpServerField::Directory);
    FtpServerValidation spaces = rules.ValidateUpdate({"L", "ftp club org", "u", "p", ""});
    EXPECT_FALSE(spaces.ok);
    EXPECT_EQ(spaces.focus, FtpServerField::Site);
    EXPECT_EQ(spaces.message.rfind("Server: invalid character ' '", 0), 0u) << spaces.message;
    EXPECT_EQ(rules.Count(), 3u);
}

TEST_F(FtpServersDialogRulesTest, ValidEntriesAreAddedOrReplaceAndOkWritesTheList) {
    FtpServersDialogRules rules(path, {"Local"});
    rules.Add();
    FtpServerValidation added = rules.ValidateUpdate({" New ", " ftps://n.example ", " nu ", " np ", " dir "});
    ASSERT_TRUE(added.ok) << added.message;
    EXPECT_FALSE(rules.Editing());
    ASSERT_EQ(rules.Count(), 4u);
    EXPECT_EQ(rules.Selection(), std::optional<std::size_t>(3));
    EXPECT_EQ(rules.ServerAt(3).label, "New");
    EXPECT_EQ(rules.ServerAt(3).site, "ftps://n.example");
    EXPECT_EQ(rules.ServerAt(3).directory, " dir ");  // the directory is kept as typed
    EXPECT_FALSE(rules.IsChecked(3));

    rules.Select(1);
    ASSERT_TRUE(rules.Update());
    ASSERT_TRUE(rules.ValidateUpdate({"Local2", "127.0.0.1", "u", "p", ""}).ok);
    EXPECT_EQ(rules.ServerAt(1).label, "Local2");
    EXPECT_TRUE(rules.IsChecked(1));  // a replaced server keeps its check

    rules.Select(0);
    rules.Remove();
    EXPECT_EQ(rules.Count(), 3u);
    EXPECT_FALSE(rules.Selection().has_value());
    EXPECT_EQ(rules.Fields().label, "");

    rules.SetChecked(2, true);
    EXPECT_EQ(rules.ChosenLabels(), (std::vector<std::string>{"Local2", "New"}));
    std::string error;
    ASSERT_EQ(rules.Save(error), 0) << error;
    EXPECT_EQ(ReadFile(path), "Local2\t127.0.0.1\tu\tp\t\nThird\th3\tu3\tp3\td3\nNew\tftps://n.example\tnu\tnp\t dir \n");
}

TEST(FtpParameters, TheFiveKeysOfFtpSettingsAreReadAndWritten) {
    TempFolder folder;
    InstallSettingsFile(folder / "Lumivane.ini");
    FtpServerFields empty = LoadFtpParameters();
    EXPECT_EQ(empty.label, "");
    EXPECT_EQ(empty.site, "");
    StoreFtpParameters({"Export", "ftp.example", "juge", "pw", "/out"});
    FtpServerFields back = LoadFtpParameters();
    EXPECT_EQ(back.label, "Export");
    EXPECT_EQ(back.site, "ftp.example");
    EXPECT_EQ(back.user, "juge");
    EXPECT_EQ(back.password, "pw");
    EXPECT_EQ(back.directory, "/out");
    const std::string text = ReadFile(folder / "Lumivane.ini");
    EXPECT_NE(text.find("[FtpSettings]"), std::string::npos);
    EXPECT_NE(text.find("Password=pw"), std::string::npos);
    InstallSettingsFile("");
}

}  // namespace
}  // namespace lv
