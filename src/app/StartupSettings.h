#pragma once
// The settings read at start. Each key is read and written straight back (the three
// marked otherwise excepted), so that after the first run the settings file lists
// every one with its value. Keys and defaults are those of the settings schema.
#include <string>
#include <string_view>

#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"

namespace lv {

// Where a box serves its stored passings files ($BOXIP$ and $FILEID$ are filled in).
inline constexpr const char* kLocalFilePassingsUrl = setting::GetLocalFilePassings.defaultValue;

struct StartupSettings {
    int ignoreInputMsDelta = setting::GTarvexIgnoreInputMsDelta.defaultValue;
    int ignoreOutputMsDelta = setting::GTarvexIgnoreOutputMsDelta.defaultValue;
    int readMsDelta = setting::GTarvexReadMsDelta.defaultValue;
    int connectionTimeout = setting::GTarvexConnectionTimeout.defaultValue;  // not written back
    std::string emptyDetectionsActions = setting::GTarvexEmptyDetectionsActions.defaultValue;
    std::string exportFile;
    int directConnectionPort = setting::DirectConnectionPort.defaultValue;
    std::string directConnectionHost = setting::DirectConnectionHost.defaultValue;
    int directConnectionReconnectSeconds = setting::DirectConnectionReconnectSeconds.defaultValue;
    bool sendNumbers = setting::GTarvexSendNumbers.defaultValue;
    bool ignoreUnknownTags = setting::GTarvexIgnoreUnknownTags.defaultValue;
    bool ignoreLSDetections = setting::GTarvexIgnoreLSDetections.defaultValue;
    bool ignoreFSDetections = setting::GTarvexIgnoreFSDetections.defaultValue;
    int sleepMilliAfterLeadingStart = setting::SleepMilliAfterLeadingStart.defaultValue;
    int sleepMilliAfterLeadingStop = setting::SleepMilliAfterLeadingStop.defaultValue;
    int sleepMilliAfterSetTime = setting::SleepMilliAfterSetTime.defaultValue;
    int boxReconnectSeconds = setting::GBoxReconnectSeconds.defaultValue;
    int daysToAdd = setting::GDaysToAdd.defaultValue;
    bool beepDetections = setting::GTarvexBeepDetections.defaultValue;  // not written back
    bool beepWhenQuit = setting::GTarvexBeepWhenQuit.defaultValue;      // not written back
    int resumeHours = setting::ResumeHours.defaultValue;
    bool recoverGaps = setting::BRecoverGaps.defaultValue;
    int logMaxKilobytes = setting::LogMaxKilobytes.defaultValue;
    int logKeepFiles = setting::LogKeepFiles.defaultValue;
};

// Reads every start-up key in the order above, writing each back; then writes
// GetLocalFilePassings and deletes the obsolete keys GetRemoteFilePassings,
// GetRemoteBoxesInfo and the customer's Password.
// `defaultExportFile` is the default of GTarvexExportFile (documents + "/Lumivane.qox").
StartupSettings ReadStartupSettings(IniFile& file, const std::string& defaultExportFile);
StartupSettings ReadStartupSettings(const std::string& defaultExportFile);

// SoftwareLocation = the program folder (once this instance is the only one).
void WriteSoftwareLocation(IniFile& file, const std::string& programFolder);
void WriteSoftwareLocation(const std::string& programFolder);

// The language of the interface: `commandLine` (the value of --lang) when it names one,
// else the Language setting ("en" or "fr"), else French. A missing key is written
// with "fr" so that the file shows where to change it; an unknown value is left alone.
Language ChooseLanguage(IniFile& file, std::string_view commandLine);

}  // namespace lv
