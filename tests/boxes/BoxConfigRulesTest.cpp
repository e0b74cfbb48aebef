#include "boxes/BoxConfigRules.h"

#include <gtest/gtest.h>

#include "base/Settings.h"
#include "support/TempFolder.h"
#include "base/Texts.h"

namespace lv {
namespace {

class LanguageScope {
public:
    explicit LanguageScope(Language language) : saved_(CurrentLanguage()) { SetLanguage(language); }
    ~LanguageScope() { SetLanguage(saved_); }

private:
    Language saved_;
};

std::array<BoxSlotState, kConfigBoxSlots> Slots(std::initializer_list<BoxDeclaration> declared) {
    std::array<BoxSlotState, kConfigBoxSlots> slots{};
    int i = 0;
    for (const auto& d : declared) slots[i++].declaration = d;
    return slots;
}

std::array<BoxRowInput, kConfigBoxSlots> Rows(std::initializer_list<BoxRowInput> rows) {
    std::array<BoxRowInput, kConfigBoxSlots> out{};
    int i = 0;
    for (const auto& r : rows) out[i++] = r;
    return out;
}

TEST(BoxConfigChoices, DetectorListAndReconnectionChoices) {
    const auto& detectors = DetectorChoices();
    ASSERT_EQ(detectors.size(), 22u);
    EXPECT_EQ(detectors.front(), "31     CLASSIC");
    EXPECT_EQ(DetectorIdOfChoice(detectors.front()), "31");
    EXPECT_EQ(DetectorIdOfChoice(detectors[1]), "10");
    EXPECT_EQ(DetectorIdOfChoice(detectors.back()), "30");

    EXPECT_EQ(ReconnectChoiceIndex(0), 0);
    EXPECT_EQ(ReconnectChoiceIndex(120), 4);
    // A value matching no entry selects the second one (30 s).
    EXPECT_EQ(ReconnectChoiceIndex(45), 1);
    EXPECT_EQ(ReconnectChoices()[ReconnectChoiceIndex(45)].seconds, 30);
    EXPECT_EQ(ReconnectChoiceIndex(-1), 1);
}

TEST(BoxConfigRanges, DirectConnectionPortAndReconnectSeconds) {
    LanguageScope en(Language::English);
    EXPECT_FALSE(CheckIntegerField("80", kLinkPortRange).ok);
    EXPECT_EQ(CheckIntegerField("80", kLinkPortRange).message, "Please enter an integer between 1024 and 99999.");
    EXPECT_TRUE(CheckIntegerField("1024", kLinkPortRange).ok);
    EXPECT_TRUE(CheckIntegerField(" 99999 ", kLinkPortRange).ok);
    EXPECT_EQ(CheckIntegerField("99999", kLinkPortRange).value, 99999);
    EXPECT_FALSE(CheckIntegerField("100000", kLinkPortRange).ok);
    EXPECT_EQ(CheckIntegerField("80x", kLinkPortRange).message, "Please enter an integer.");
    EXPECT_FALSE(CheckIntegerField("", kLinkPortRange).ok);
    EXPECT_FALSE(CheckIntegerField("99999999999", kLinkPortRange).ok);

    EXPECT_FALSE(CheckIntegerField("9", kLinkReconnectRange).ok);
    EXPECT_TRUE(CheckIntegerField("10", kLinkReconnectRange).ok);
    EXPECT_TRUE(CheckIntegerField("180", kLinkReconnectRange).ok);
    EXPECT_FALSE(CheckIntegerField("181", kLinkReconnectRange).ok);
}

TEST(BoxConfigExportFile, QoxSuffixAddedUnlessPresent) {
    EXPECT_EQ(WithQoxSuffix("/tmp/race"), "/tmp/race.qox");
    EXPECT_EQ(WithQoxSuffix("/tmp/race.QOX"), "/tmp/race.QOX");
    EXPECT_EQ(WithQoxSuffix("/tmp/race.Qox"), "/tmp/race.Qox");
    EXPECT_EQ(WithQoxSuffix("/tmp/race.txt"), "/tmp/race.txt.qox");
    EXPECT_EQ(WithQoxSuffix("qox"), "qox.qox");
}

TEST(BoxConfigWrites, OrderOfTheSettingsWrittenAfterOk) {
    ConfigValues v;
    v.exportFile = "/doc/x.qox";
    v.linkHost = "timing";
    v.linkPort = 9000;
    v.linkReconnectSeconds = 20;
    v.boxReconnectSeconds = 60;
    v.daysToAdd = 2;
    v.ignoreUnknownTags = true;
    v.beepDetections = false;
    v.beepWhenQuit = true;
    AdvancedValues a{40, 200, 3};
    auto writes = ConfigurationWrites(v, a, true);
    std::vector<std::string> order;
    for (const auto& w : writes) order.push_back(w.section + "/" + w.key + "=" + w.value);
    EXPECT_EQ(order, (std::vector<std::string>{
                         "Settings/GTarvexIgnoreInputMsDelta=40", "Settings/GTarvexIgnoreOutputMsDelta=200",
                         "Settings/GTarvexReadMsDelta=3", "Settings/GTarvexExportFile=/doc/x.qox",
                         "Settings/BLogDetections=1", "DirectConnection/Port=9000", "DirectConnection/Host=timing",
                         "DirectConnection/ReconnectSeconds=20", "Settings/GBoxReconnectSeconds=60",
                         "Settings/GDaysToAdd=2", "Settings/GTarvexBeepDetections=0",
                         "Settings/GTarvexBeepWhenQuit=1", "Settings/GTarvexIgnoreUnknownTags=1"}));
}

class BoxConfigStoreTest : public ::testing::Test {
protected:
    void SetUp() override { InstallSettingsFile(path_); }
    void TearDown() override { InstallSettingsFile(""); }
    test::TempFolder folder_;
    std::string path_ = folder_ / "Lumivane.ini";
};

TEST_F(BoxConfigStoreTest, OkWritesTheSettingsInTheWindowsOrder) {
    ConfigValues v = LoadConfigValues("/doc/Lumivane.qox");
    EXPECT_EQ(v.exportFile, "/doc/Lumivane.qox");
    EXPECT_EQ(v.linkHost, "localhost");
    EXPECT_EQ(v.linkPort, 8283);
    ApplySettingWrites(ConfigurationWrites(v, LoadAdvancedValues(), false));
    EXPECT_EQ(test::ReadFile(path_),
              "[Settings]\r\nGTarvexIgnoreInputMsDelta=50\r\nGTarvexIgnoreOutputMsDelta=300\r\n"
              "GTarvexReadMsDelta=1\r\nGTarvexExportFile=/doc/Lumivane.qox\r\nBLogDetections=0\r\n"
              "GBoxReconnectSeconds=30\r\nGDaysToAdd=0\r\nGTarvexBeepDetections=1\r\n"
              "GTarvexBeepWhenQuit=1\r\nGTarvexIgnoreUnknownTags=0\r\n"
              "[DirectConnection]\r\nPort=8283\r\nHost=localhost\r\nReconnectSeconds=15\r\n");
}

TEST_F(BoxConfigStoreTest, StoredValuesAreReadBack) {
    test::WriteFile(path_,
                    "[Settings]\r\nGDaysToAdd=9\r\nGBoxReconnectSeconds=45\r\nGTarvexBeepWhenQuit=0\r\n"
                    "[DirectConnection]\r\nHost=timing.local\r\nPort=9100\r\n");
    ConfigValues v = LoadConfigValues("x.qox");
    EXPECT_EQ(v.daysToAdd, 0);  // outside the four choices
    EXPECT_EQ(v.boxReconnectSeconds, 45);
    EXPECT_FALSE(v.beepWhenQuit);
    EXPECT_EQ(v.linkHost, "timing.local");
    EXPECT_EQ(v.linkPort, 9100);

    StoreAdvancedValues(AdvancedValues{70, 400, 5});
    AdvancedValues a = LoadAdvancedValues();
    EXPECT_EQ(a.ignoreInputMsDelta, 70);
    EXPECT_EQ(a.ignoreOutputMsDelta, 400);
    EXPECT_EQ(a.readMsDelta, 5);
}

class BoxRowsTest : public ::testing::Test {
protected:
    LanguageScope language_{Language::English};
    BoxConfigRules rules_;
};

TEST_F(BoxRowsTest, DevicePathRowsAreSerialRowsWithTheirSpeedChecked) {
    rules_.Initialise(Slots({}));
    auto failure = rules_.ValidateRowsForOk(Rows({{"/dev/ttyUSB0", "9600", 0}}));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message, "COM speed should be 19200...");
    EXPECT_FALSE(rules_.ValidateRowsForOk(Rows({{"/dev/ttyUSB0", "19200", 0}})).has_value());
    EXPECT_TRUE(IsSerialHost(rules_.Declaration(0).host));
    // A decoder whose name holds "com" is a network decoder with a network port.
    EXPECT_FALSE(rules_.ValidateRowsForOk(Rows({{"decoder.company.com", "3601", 0}})).has_value());
    EXPECT_FALSE(IsSerialHost(rules_.Declaration(0).host));
    EXPECT_TRUE(rules_.ValidateRowsForOk(Rows({{"decoder.company.com", "70000", 0}})).has_value());
}

TEST_F(BoxRowsTest, SerialSpeedIsCheckedOnlyForUpperCaseComPrefix) {
    rules_.Initialise(Slots({}));
    auto failure = rules_.ValidateRowsForOk(Rows({{"COM3", "9600", 0}}));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->slot, 0);
    EXPECT_EQ(failure->message, "COM speed should be 19200...");

    EXPECT_FALSE(rules_.ValidateRowsForOk(Rows({{"COM3", "19200", 0}})).has_value());
    EXPECT_EQ(rules_.Declaration(0).host, "COM3");
    EXPECT_EQ(rules_.Declaration(0).port, 19200);

    // The speed test compares the first three characters exactly.
    EXPECT_FALSE(rules_.ValidateRowsForOk(Rows({{"com3", "9600", 0}})).has_value());
    EXPECT_TRUE(IsSerialHost(rules_.Declaration(0).host));
}

TEST_F(BoxRowsTest, PortTextMustBeANumber) {
    rules_.Initialise(Slots({}));
    auto failure = rules_.ValidateRowsForOk(Rows({{}, {" 10.0.0.5 ", "abc", 3}}));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->slot, 1);
    EXPECT_EQ(failure->message, "Invalid TCP/IP port number !!!!");
    // A network port beyond 65535 would reach another port: refused too.
    EXPECT_TRUE(rules_.ValidateRowsForOk(Rows({{"10.0.0.5", "70000", 0}})).has_value());
    EXPECT_TRUE(rules_.ValidateRowsForOk(Rows({{"10.0.0.5", "-1", 0}})).has_value());

    // A host without a port (or port 0) is refused, not saved as an undefined box.
    for (const char* port : {"", " ", "0"}) {
        auto missing = rules_.ValidateRowsForOk(Rows({{}, {}, {"10.0.0.5", port, 0}}));
        ASSERT_TRUE(missing.has_value()) << "port '" << port << "'";
        EXPECT_EQ(missing->slot, 2);
        EXPECT_EQ(missing->message, "TCP/IP port missing: enter the port the box listens on");
    }
    EXPECT_TRUE(rules_.DetectorEnabled(2));

    SetLanguage(Language::French);
    EXPECT_EQ(rules_.ValidateRowsForOk(Rows({{"COM1", "1", 0}}))->message, "La vitesse devrait être 19200");
    EXPECT_EQ(rules_.ValidateRowsForOk(Rows({{"h", "x", 0}}))->message, "Port TCP/IP invalide !!!!");
}

TEST_F(BoxRowsTest, ValidRowsKeepTrimmedValuesAndDetector) {
    rules_.Initialise(Slots({}));
    EXPECT_FALSE(rules_.ValidateRowsForOk(Rows({{}, {" 10.0.0.5 ", " 3601 ", 3}})).has_value());
    EXPECT_EQ(rules_.Declaration(1).host, "10.0.0.5");
    EXPECT_EQ(rules_.Declaration(1).port, 3601);
    EXPECT_EQ(rules_.Declaration(1).detectorId, "12");
    EXPECT_TRUE(rules_.DetectorEnabled(1));
    // Empty host and port: unconfigured, detector list disabled.
    EXPECT_FALSE(rules_.Declaration(0).IsConfigured());
    EXPECT_FALSE(rules_.DetectorEnabled(0));
}

TEST_F(BoxRowsTest, SilentValidationKeepsValidRowsAndSkipsInvalidOnes) {
    rules_.Initialise(Slots({{"10.0.0.1", 3601, "31"}}));
    rules_.ValidateRowsSilently(Rows({{"10.0.0.1", "bad", 0}, {"10.0.0.2", "3602", 0}}));
    EXPECT_EQ(rules_.Declaration(0).port, 3601);  // the invalid row keeps its last valid values
    EXPECT_EQ(rules_.Declaration(1).port, 3602);
}

TEST_F(BoxRowsTest, ConnectedBoxesCannotChange) {
    auto slots = Slots({{"10.0.0.1", 3601, "31"}});
    slots[0].locked = true;
    rules_.Initialise(slots);
    EXPECT_TRUE(rules_.IsLocked(0));
    EXPECT_FALSE(rules_.ValidateRowsForOk(Rows({{"COM3", "9600", 5}})).has_value());
    EXPECT_EQ(rules_.Declaration(0).host, "10.0.0.1");
    EXPECT_EQ(rules_.Declaration(0).detectorId, "31");
}

TEST_F(BoxRowsTest, NothingIsCheckedBeforeInitialisation) {
    EXPECT_FALSE(rules_.ValidateRowsForOk(Rows({{"COM3", "9600", 0}})).has_value());
}

TEST_F(BoxRowsTest, InitialTextsAndDetectorSelection) {
    rules_.Initialise(Slots({{"10.0.0.1", 3601, "15"}, {"10.0.0.2", 0, "31"}, {"", 3601, "31"}}));
    EXPECT_EQ(rules_.InitialHostText(0), "10.0.0.1");
    EXPECT_EQ(rules_.InitialPortText(0), "3601");
    EXPECT_EQ(rules_.InitialDetectorIndex(0), 6);
    EXPECT_TRUE(rules_.DetectorEnabled(0));
    // Host without port or port without host: both edits empty, list disabled.
    EXPECT_EQ(rules_.InitialHostText(1), "");
    EXPECT_EQ(rules_.InitialPortText(2), "");
    EXPECT_FALSE(rules_.DetectorEnabled(1));
    EXPECT_FALSE(rules_.DetectorEnabled(2));
}

TEST_F(BoxRowsTest, UnlistedDetectorIdSurvivesTheDialog) {
    rules_.Initialise(Slots({{"10.0.0.1", 3601, "C31"}}));
    const auto& entries = rules_.DetectorEntries(0);
    ASSERT_EQ(entries.size(), 23u);
    int index = rules_.InitialDetectorIndex(0);
    EXPECT_EQ(entries[index], "C31");
    EXPECT_FALSE(rules_.ValidateRowsForOk(Rows({{"10.0.0.1", "3601", index}})).has_value());
    EXPECT_EQ(rules_.Declaration(0).detectorId, "C31");
    EXPECT_EQ(rules_.DetectorEntries(1).size(), 22u);
}

TEST_F(BoxRowsTest, IncompatibilityWarning) {
    rules_.Initialise(Slots({{"10.0.0.1", 3601, "C31"}, {"10.0.0.2", 3601, "31"}}));
    EXPECT_FALSE(rules_.ShowsIncompatibilityWarning());

    // Another detector on a configured row shows it.
    rules_.ValidateRowsSilently(Rows({{"10.0.0.1", "3601", rules_.InitialDetectorIndex(0)}, {"10.0.0.2", "3601", 2}}));
    EXPECT_TRUE(rules_.ShowsIncompatibilityWarning());

    // An unconfigured row does not count, whatever its detector.
    rules_.ValidateRowsSilently(Rows({{"10.0.0.1", "3601", 0}, {"10.0.0.2", "", 2}}));
    EXPECT_FALSE(rules_.ShowsIncompatibilityWarning());
}

}  // namespace
}  // namespace lv
