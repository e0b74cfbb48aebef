#pragma once
// The settings read at start. Each key is read and written straight back (the three
// marked otherwise excepted), so that after the first run the settings file lists
// every one with its value.
#include <string>
#include <string_view>

#include "base/Settings.h"
#include "base/Texts.h"

namespace lv {

inline constexpr const char* kSectionSettings = "Settings";
inline constexpr const char* kSectionDirectConnection = "DirectConnection";
inline constexpr const char* kSectionUrls = "URLs";
inline constexpr const char* kSectionCustomerInfo = "CustomerInfo";
inline constexpr const char* kSectionApplication = "Application";

// Where a box serves its stored passings files ($BOXIP$ and $FILEID$ are filled in).
inline constexpr const char* kLocalFilePassingsUrl = "http://$BOXIP$/media/passings_$FILEID$.txt";

struct StartupSettings {
    int ignoreInputMsDelta = 50;             // GTarvexIgnoreInputMsDelta
    int ignoreOutputMsDelta = 300;           // GTarvexIgnoreOutputMsDelta
    int readMsDelta = 1;                     // GTarvexReadMsDelta
    int connectionTimeout = 2;               // GTarvexConnectionTimeout (not written back)
    std::string emptyDetectionsActions = "-";  // GTarvexEmptyDetectionsActions
    std::string exportFile;                  // GTarvexExportFile
    int directConnectionPort = 8283;         // [DirectConnection] Port
    std::string directConnectionHost = "localhost";  // [DirectConnection] Host
    int directConnectionReconnectSeconds = 15;       // [DirectConnection] ReconnectSeconds
    bool sendNumbers = true;                 // GTarvexSendNumbers
    bool ignoreUnknownTags = false;          // GTarvexIgnoreUnknownTags
    bool ignoreLSDetections = false;         // GTarvexIgnoreLSDetections
    bool ignoreFSDetections = false;         // GTarvexIgnoreFSDetections
    int sleepMilliAfterLeadingStart = 3000;  // SleepMilliAfterLeadingStart
    int sleepMilliAfterLeadingStop = 3000;   // SleepMilliAfterLeadingStop
    int sleepMilliAfterSetTime = 2000;       // SleepMilliAfterSetTime
    int boxReconnectSeconds = 30;            // GBoxReconnectSeconds
    int daysToAdd = 0;                       // GDaysToAdd
    bool beepDetections = true;              // GTarvexBeepDetections (not written back)
    bool beepWhenQuit = true;                // GTarvexBeepWhenQuit (not written back)
};

// Reads every start-up key in order (section "Settings" unless noted above), writing
// each back; then writes "URLs"/GetLocalFilePassings and deletes the obsolete keys
// "URLs"/GetRemoteFilePassings, "URLs"/GetRemoteBoxesInfo and "CustomerInfo"/Password.
// `defaultExportFile` is the default of GTarvexExportFile (documents + "/Lumivane.qox").
StartupSettings ReadStartupSettings(IniFile& file, const std::string& defaultExportFile);
StartupSettings ReadStartupSettings(const std::string& defaultExportFile);

// "Application"/"SoftwareLocation" = the program folder (once this instance is the only one).
void WriteSoftwareLocation(IniFile& file, const std::string& programFolder);
void WriteSoftwareLocation(const std::string& programFolder);

// The language of the interface: `commandLine` (the value of --lang) when it names one,
// else "Application"/"Language" ("en" or "fr"), else French. A missing key is written
// with "fr" so that the file shows where to change it; an unknown value is left alone.
Language ChooseLanguage(IniFile& file, std::string_view commandLine);

}  // namespace lv
