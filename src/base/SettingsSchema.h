#pragma once
// Every key of the settings file, declared once: its section, its name as stored, its
// type, its default and, for numbers the dialogs edit, the range they accept. The rest
// of the program reads and writes its settings through these declarations only, so a
// key's spelling and default live here and nowhere else.
//
// The operations without a file work on the program's settings file (a failed write is
// logged); those taking an IniFile work on that file and leave reporting to the caller.
#include <climits>
#include <string>
#include <string_view>

#include "base/Environment.h"
#include "base/Settings.h"

namespace lv {

struct IntRange {
    int min = INT_MIN;
    int max = INT_MAX;

    constexpr bool Contains(int value) const { return value >= min && value <= max; }
};

// A key of older versions of the file: start-up deletes it.
struct ObsoleteSetting {
    const char* section;
    const char* key;

    bool Delete(IniFile& file) const;
};

struct IntSetting {
    const char* section;
    const char* key;
    int defaultValue;
    IntRange range{};
    // What a stored value outside the range becomes where the program mends it.
    int outOfRange = defaultValue;

    int Read() const;
    int Read(const IniFile& file) const;
    void Write(int value) const;
    bool Write(IniFile& file, int value) const;
    // Read, and written straight back so that the file lists the key.
    int ReadBack() const;
    int ReadBack(IniFile& file) const;
    // The value itself when within the range, else `outOfRange`.
    constexpr int Mended(int value) const { return range.Contains(value) ? value : outOfRange; }
};

// Stored as an integer: 1 or 0 when written, any non-zero value reads as true.
struct BoolSetting {
    const char* section;
    const char* key;
    bool defaultValue;

    bool Read() const;
    bool Read(const IniFile& file) const;
    void Write(bool value) const;
    bool ReadBack() const;
    bool ReadBack(IniFile& file) const;
};

struct TextSetting {
    const char* section;
    const char* key;
    const char* defaultValue;
    // A default known only at run time (a folder of this computer), used in place of
    // defaultValue when set.
    std::string (*runtimeDefault)() = nullptr;

    std::string Default() const;
    std::string Read() const;
    std::string Read(const IniFile& file) const;
    void Write(std::string_view value) const;
    bool Write(IniFile& file, std::string_view value) const;
    std::string ReadBack() const;
    std::string ReadBack(IniFile& file) const;
    // The same with the default given by the caller (a folder chosen elsewhere).
    std::string Read(std::string_view defaultValue) const;
    std::string ReadBack(IniFile& file, std::string_view defaultValue) const;
    bool Has(const IniFile& file) const;
};

// One key per box slot: the stem followed by the slot number ("BoxHost0".."BoxHost3").
struct SlotIntSetting {
    const char* section;
    const char* stem;
    int defaultValue;
    IntRange range{};

    std::string Key(int slot) const;
    int Read(int slot) const;
    void Write(int slot, int value) const;
};

struct SlotTextSetting {
    const char* section;
    const char* stem;
    const char* defaultValue;

    std::string Key(int slot) const;
    std::string Read(int slot) const;
    void Write(int slot, std::string_view value) const;
};

// One key per name: the stem followed by a name chosen at run time ("Handicap-31").
struct NamedTextSetting {
    const char* section;
    const char* stem;
    const char* defaultValue;

    std::string Key(std::string_view name) const;
    std::string Read(std::string_view name) const;
    void Write(std::string_view name, std::string_view value) const;
};

namespace setting {

inline constexpr const char* kSettings = "Settings";
inline constexpr const char* kDirectConnection = "DirectConnection";
inline constexpr const char* kUrls = "URLs";
inline constexpr const char* kCustomerInfo = "CustomerInfo";
inline constexpr const char* kApplication = "Application";
inline constexpr const char* kTarvexBoxes = "TarvexBoxes";
inline constexpr const char* kExportDetectionLines = "ExportDetectionLines";
inline constexpr const char* kExportDetectionLinesBackground = "ExportDetectionLines.BackgroundExport";
inline constexpr const char* kExportDetections = "ExportDetections";
inline constexpr const char* kFtpSettings = "FtpSettings";
inline constexpr const char* kAccessToken = "AccessToken";
inline constexpr const char* kDownloadTarvex = "DownloadTarvex";
inline constexpr const char* kSerialPorts = "SerialPorts";
inline constexpr const char* kImportDetections = "ImportDetections";
inline constexpr const char* kStatusPage = "StatusPage";

// --- Acquisition ([Settings]) -----------------------------------------------------------
// Repeated reads of one label closer than this are discarded (0 or less: none is).
inline constexpr IntSetting GTarvexIgnoreInputMsDelta{kSettings, "GTarvexIgnoreInputMsDelta", 50, {0, 5000}};
// Kept and edited; nothing waits on it.
inline constexpr IntSetting GTarvexIgnoreOutputMsDelta{kSettings, "GTarvexIgnoreOutputMsDelta", 300, {50, 5000}};
// The pause of a network box's read loop, in milliseconds.
inline constexpr IntSetting GTarvexReadMsDelta{kSettings, "GTarvexReadMsDelta", 1, {1, 20}};
// Seconds a box connection may take.
inline constexpr IntSetting GTarvexConnectionTimeout{kSettings, "GTarvexConnectionTimeout", 2};
// Kept in the file; nothing reads it.
inline constexpr TextSetting GTarvexEmptyDetectionsActions{kSettings, "GTarvexEmptyDetectionsActions", "-"};
inline constexpr TextSetting GTarvexExportFile{kSettings, "GTarvexExportFile", "", &GetDefaultExportFilePath};
// Record bib numbers from the chip table instead of chip codes.
inline constexpr BoolSetting GTarvexSendNumbers{kSettings, "GTarvexSendNumbers", true};
inline constexpr BoolSetting GTarvexIgnoreUnknownTags{kSettings, "GTarvexIgnoreUnknownTags", false};
inline constexpr BoolSetting GTarvexIgnoreLSDetections{kSettings, "GTarvexIgnoreLSDetections", false};
inline constexpr BoolSetting GTarvexIgnoreFSDetections{kSettings, "GTarvexIgnoreFSDetections", false};
// Kept in the file; no wait depends on them.
inline constexpr IntSetting SleepMilliAfterLeadingStart{kSettings, "SleepMilliAfterLeadingStart", 3000};
inline constexpr IntSetting SleepMilliAfterLeadingStop{kSettings, "SleepMilliAfterLeadingStop", 3000};
inline constexpr IntSetting SleepMilliAfterSetTime{kSettings, "SleepMilliAfterSetTime", 2000};
// How long a lost box is retried (0: never).
inline constexpr IntSetting GBoxReconnectSeconds{kSettings, "GBoxReconnectSeconds", 30};
// The race day of today (0 to 3 in the dialog): 24 hours are added per day.
inline constexpr IntSetting GDaysToAdd{kSettings, "GDaysToAdd", 0, {0, 3}};
inline constexpr BoolSetting GTarvexBeepDetections{kSettings, "GTarvexBeepDetections", true};
inline constexpr BoolSetting GTarvexBeepWhenQuit{kSettings, "GTarvexBeepWhenQuit", true};
// A start within this many hours of the last detection of the most recent detection
// file continues that file (0: every start begins a new one).
inline constexpr IntSetting ResumeHours{kSettings, "ResumeHours", 2, {0, 24 * 7}};
// After a network decoder's outage, the reads it kept in its memory meanwhile are
// fetched and recorded.
inline constexpr BoolSetting BRecoverGaps{kSettings, "BRecoverGaps", true};

// --- Main window ([Settings]) -------------------------------------------------------------
inline constexpr BoolSetting BAbsClock{kSettings, "BAbsClock", false};
inline constexpr IntSetting LogWinLevel{kSettings, "LogWinLevel", 50};
inline constexpr IntSetting LogFileLevel{kSettings, "LogFileLevel", 75};
// Lumivane.log is rotated past this size (0: never), keeping LogKeepFiles old files
// (Lumivane.log.1 the newest): 50 MB × 10 bound the log folder's logs at 550 MB, about
// three days of a busy point.
inline constexpr IntSetting LogMaxKilobytes{kSettings, "LogMaxKilobytes", 50 * 1024, {0, 4 * 1024 * 1024}};
inline constexpr IntSetting LogKeepFiles{kSettings, "LogKeepFiles", 10, {1, 99}};
inline constexpr BoolSetting BLogDetections{kSettings, "BLogDetections", false};
inline constexpr BoolSetting BScrollDetections{kSettings, "BScrollDetections", false};
// The USB TimingBox's passing request period; a value outside 1..10 becomes 1.
inline constexpr IntSetting SecondsBetweenSerialRead{kSettings, "SecondsBetweenSerialRead", 2, {1, 10}, 1};

// --- Direct connection to the timing application ------------------------------------------
inline constexpr TextSetting DirectConnectionHost{kDirectConnection, "Host", "localhost"};
inline constexpr IntSetting DirectConnectionPort{kDirectConnection, "Port", 8283, {1024, 99999}};
inline constexpr IntSetting DirectConnectionReconnectSeconds{kDirectConnection, "ReconnectSeconds", 15, {10, 180}};
// Once the link has been connected in this run, detections recorded while it is down
// are sent when it is back, oldest first (0: they are not sent).
inline constexpr BoolSetting DirectConnectionCatchUp{kDirectConnection, "BCatchUpDetections", true};

// --- Boxes ----------------------------------------------------------------------------------
inline constexpr SlotTextSetting BoxHost{kTarvexBoxes, "BoxHost", ""};
// 0: the slot is not declared; a stored port outside 1..65535 is refused at load.
inline constexpr SlotIntSetting BoxPort{kTarvexBoxes, "BoxPort", 0, {1, 65535}};
inline constexpr SlotTextSetting BoxIdDetector{kTarvexBoxes, "BoxIdDetector", "31"};
// A USB TimingBox of the slot asks for its passings every SecondsBetweenSerialRead
// (the box menu's check mark); without it the box keeps its passings to itself.
inline constexpr SlotIntSetting BoxPeriodicReading{kTarvexBoxes, "BoxPeriodicReading", 1, {0, 1}};
// The device of a box host "COMn" (key "COMn" of [SerialPorts], n as written after
// COM); read only, never written back: absent, COMn stands for /dev/ttyUSB<n-1>.
inline constexpr SlotTextSetting SerialPortDevice{kSerialPorts, "COM", ""};

// --- Addresses, customer, program -------------------------------------------------------------
// Where a box serves its stored passings files ($BOXIP$ and $FILEID$ are filled in).
inline constexpr TextSetting GetLocalFilePassings{kUrls, "GetLocalFilePassings",
                                                  "http://$BOXIP$/media/passings_$FILEID$.txt"};
inline constexpr ObsoleteSetting GetRemoteFilePassings{kUrls, "GetRemoteFilePassings"};
inline constexpr ObsoleteSetting GetRemoteBoxesInfo{kUrls, "GetRemoteBoxesInfo"};
inline constexpr ObsoleteSetting CustomerPassword{kCustomerInfo, "Password"};

// --- Vendor cloud service and the box files explorer -------------------------------------------
// "https://host[:port]" of the vendor's device REST service; empty until configured.
inline constexpr TextSetting CloudApiBase{kUrls, "CloudApiBase", ""};
// A PEM file of CA certificates trusted besides the system's (private deployments, tests).
inline constexpr TextSetting CloudCaFile{kUrls, "CloudCaFile", ""};
// The customer's account number ($USER$ of the request paths) and API key.
inline constexpr TextSetting CustomerId{kCustomerInfo, "CustomerId", ""};
inline constexpr TextSetting ApiKey{kCustomerInfo, "ApiKey", ""};
// The last bearer token and the local hour it was obtained in (YYYYMMDDHH).
inline constexpr TextSetting AccessTokenValue{kAccessToken, "Token", ""};
inline constexpr TextSetting AccessTokenDateTime{kAccessToken, "DateTime", ""};
// Where the explorer downloads decoder output files.
inline std::string DefaultDownloadTarvexPath() { return JoinPath(GetDataFolder(), "TARVEX"); }
inline constexpr TextSetting DownloadTarvexPath{kDownloadTarvex, "DownloadTarvexPath", "",
                                                &DefaultDownloadTarvexPath};
// "en" or "fr".
inline constexpr TextSetting ApplicationLanguage{kApplication, "Language", "fr"};
inline constexpr TextSetting SoftwareLocation{kApplication, "SoftwareLocation", ""};

// --- Status page (read-only, for a phone at the timing point) -----------------------------------
// 0: no page.
inline constexpr IntSetting StatusPagePort{kStatusPage, "Port", 0, {0, 65535}};
// "0.0.0.0" reaches it from the timing network, and then only with a token.
inline constexpr TextSetting StatusPageBind{kStatusPage, "Bind", "127.0.0.1"};
inline constexpr TextSetting StatusPageToken{kStatusPage, "Token", ""};

// --- Detection-lines export (one file set per detector) ------------------------------------
// Any period of at least one minute is kept; six digits is what the dialog reads.
inline constexpr int kMaxExportPeriodMinutes = 999999;
// Minimum interval between two detections of one runner, a time text ("00:01:00").
inline constexpr TextSetting LinesDelta{kExportDetectionLines, "Delta", "00:01:00"};
inline constexpr TextSetting LinesExportPath{kExportDetectionLines, "ExportPath", "", &GetDocumentsFolder};
inline constexpr TextSetting LinesGenericFilename{kExportDetectionLines, "GenericFilename", "export"};
inline constexpr BoolSetting LinesFtpExport{kExportDetectionLines, "BFtpExport", false};
inline constexpr BoolSetting LinesZip{kExportDetectionLines, "BZip", false};
// 0 clock time, 1 passing time (clock time - handicap), 2 passing time in the Logica form.
inline constexpr IntSetting LinesDisplayType{kExportDetectionLines, "DisplayDetectionType", 0, {0, 2}, 0};
// FTP server names separated by backslashes.
inline constexpr TextSetting LinesFtpServersList{kExportDetectionLines, "FtpServersList", ""};
// Per detector: "Handicap-" + detector id, a time text.
inline constexpr NamedTextSetting LinesHandicap{kExportDetectionLines, "Handicap-", "00:00:00.00"};
inline constexpr BoolSetting BackgroundExportOn{kExportDetectionLinesBackground, "BExport", false};
// Minutes between two background exports; a stored value below 1 means 2.
inline constexpr IntSetting BackgroundExportPeriod{kExportDetectionLinesBackground, "ExportPeriodMinutes", 2,
                                                   {1, kMaxExportPeriodMinutes}, 2};

// --- Detections export (one file set for all detectors) -------------------------------------
inline constexpr TextSetting DetectionsDelta{kExportDetections, "Delta", "00:01:00"};
inline constexpr TextSetting DetectionsHandicap{kExportDetections, "Handicap", "00:00:00.00"};
inline constexpr TextSetting DetectionsExportPath{kExportDetections, "ExportPath", "", &GetDocumentsFolder};
inline constexpr TextSetting DetectionsGenericFilename{kExportDetections, "GenericFilename", "export"};
inline constexpr BoolSetting DetectionsFtpExport{kExportDetections, "BFtpExport", false};
inline constexpr BoolSetting DetectionsZip{kExportDetections, "BZip", false};
inline constexpr IntSetting DetectionsDisplayType{kExportDetections, "DisplayDetectionType", 0, {0, 2}, 0};
// --- FTP ([FtpSettings]) ------------------------------------------------------------------------
// The detections export's server (its dialog writes them); every new transfer job starts
// from Site, User, Password and Directory.
inline constexpr TextSetting FtpLabel{kFtpSettings, "Label", ""};
inline constexpr TextSetting FtpSite{kFtpSettings, "Site", ""};
inline constexpr TextSetting FtpUser{kFtpSettings, "User", ""};
inline constexpr TextSetting FtpPassword{kFtpSettings, "Password", ""};
inline constexpr TextSetting FtpDirectory{kFtpSettings, "Directory", ""};
// The label a new job shows in its messages (nothing in the program writes it).
inline constexpr TextSetting FtpSiteLabel{kFtpSettings, "SiteLabel", ""};
// Passive mode for uploads, downloads and remote listings.
inline constexpr BoolSetting BPutInPassiveMode{kFtpSettings, "BPutInPassiveMode", true};
inline constexpr BoolSetting BGetInPassiveMode{kFtpSettings, "BGetInPassiveMode", true};
inline constexpr BoolSetting BGetFileListInPassiveMode{kFtpSettings, "BGetFileListInPassiveMode", true};
// --- Import of decoder output files ([ImportDetections]) ---------------------------------------
// Folders of the last input file and of the last output file, written when the dialog closes.
inline constexpr TextSetting CurrentParseDir{kImportDetections, "CurrentParseDir", "", &GetDocumentsFolder};
inline constexpr TextSetting CurrentSaveDir{kImportDetections, "CurrentSaveDir", "", &GetDocumentsFolder};

}  // namespace setting
}  // namespace lv
