// The configuration dialog's choice lists speak the window's language.
#include <gtest/gtest.h>

#include <string>

#include "base/Texts.h"
#include "boxes/BoxConfigRules.h"

namespace lv {
namespace {

TEST(ChoiceLanguageTest, ReconnectionChoicesFollowTheProgramLanguage) {
    SetLanguage(Language::English);
    EXPECT_STREQ(ReconnectChoices()[0].Text(), "Only give a sound alert");
    EXPECT_STREQ(ReconnectChoices()[4].Text(), "Try to reconnect for 2mn");
    EXPECT_EQ(LongRaceChoices()[1], "Add 24 hours to times");
    SetLanguage(Language::French);
    EXPECT_STREQ(ReconnectChoices()[0].Text(), "Simplement signaler par une alerte sonore");
    EXPECT_STREQ(ReconnectChoices()[2].Text(), "Essayer de se reconnecter pendant 1mn");
    EXPECT_EQ(LongRaceChoices()[1], "Ajouter 24h aux temps");
    // The values behind them do not depend on the language.
    EXPECT_EQ(ReconnectChoices()[3].seconds, 90);
}

}  // namespace
}  // namespace lv
