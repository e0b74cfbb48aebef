#pragma once
// Work results made from plain values, and a settings file of the test's own.
#include <gtest/gtest.h>

#include <string>

#include "base/Settings.h"
#include "base/Texts.h"
#include "core/Chrono.h"
#include "core/DetectionTable.h"
#include "export/ExportUploads.h"
#include "export/WorkList.h"
#include "support/TempFolder.h"

namespace lv::test {

inline CChrono Time(const char* text) {
    CChrono time;
    EXPECT_TRUE(time.ParseTime(text)) << text;
    return time;
}

// A record as the intake makes it without the absolute clock.
inline CWorkResult Work(const std::string& detector, const std::string& label, const char* time,
                        uint32_t id = 0) {
    CQoxResult record;
    record.boxName = detector;
    record.label = label;
    record.ofDay = Time(time);
    record.timeText = record.ofDay.FormatHundredths();
    record.id = id;
    return MakeWorkResult(record);
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::French);
        InstallSettingsFile(folder / "Lumivane.ini");
        DetectionTable::Instance().ClearTable();
    }
    void TearDown() override {
        InstallExportUploads(nullptr);
        DetectionTable::Instance().ClearTable();
        SetLanguage(Language::French);
    }

    TempFolder folder;
};

// Records what the exports hand over for transfer.
class RecordingUploads : public ExportUploads {
public:
    bool QueueToServers(const std::vector<std::string>& files, const std::string& serverNames,
                        std::string& error) override {
        serverFiles = files;
        names = serverNames;
        if (!defined) error = "No FTP server defined...";
        return defined;
    }
    bool QueueToSettingsServer(const std::vector<std::string>& files, std::string&) override {
        settingsFiles = files;
        return true;
    }
    std::string SettingsServerSite() const override { return site; }

    bool defined = true;
    std::string site;
    std::vector<std::string> serverFiles;
    std::vector<std::string> settingsFiles;
    std::string names;
};

}  // namespace lv::test
