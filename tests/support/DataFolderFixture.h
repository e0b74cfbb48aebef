#pragma once
// A test with a data folder of its own: settings file, log file, English texts.
#include <gtest/gtest.h>

#include "base/Texts.h"
#include "support/TempFolder.h"
#include "support/UseDataFolder.h"

namespace lv::test {

class DataFolderFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        UseDataFolder(folder.Path());
    }
    void TearDown() override { SetLanguage(Language::French); }

    TempFolder folder;
};

}  // namespace lv::test
