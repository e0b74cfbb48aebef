#include "app/StartupSettings.h"

namespace lv {

StartupSettings ReadStartupSettings(IniFile& file, const std::string& defaultExportFile) {
    StartupSettings s;
    const char* settings = kSectionSettings;
    const char* link = kSectionDirectConnection;

    s.ignoreInputMsDelta = ReadBackSettingInt(file, settings, "GTarvexIgnoreInputMsDelta", s.ignoreInputMsDelta);
    s.ignoreOutputMsDelta = ReadBackSettingInt(file, settings, "GTarvexIgnoreOutputMsDelta", s.ignoreOutputMsDelta);
    s.readMsDelta = ReadBackSettingInt(file, settings, "GTarvexReadMsDelta", s.readMsDelta);
    s.connectionTimeout = file.ReadInt(settings, "GTarvexConnectionTimeout", s.connectionTimeout);
    s.emptyDetectionsActions =
        ReadBackSettingText(file, settings, "GTarvexEmptyDetectionsActions", s.emptyDetectionsActions);
    s.exportFile = ReadBackSettingText(file, settings, "GTarvexExportFile", defaultExportFile);
    s.directConnectionPort = ReadBackSettingInt(file, link, "Port", s.directConnectionPort);
    s.directConnectionHost = ReadBackSettingText(file, link, "Host", s.directConnectionHost);
    s.directConnectionReconnectSeconds =
        ReadBackSettingInt(file, link, "ReconnectSeconds", s.directConnectionReconnectSeconds);
    s.sendNumbers = ReadBackSettingBool(file, settings, "GTarvexSendNumbers", s.sendNumbers);
    s.ignoreUnknownTags = ReadBackSettingBool(file, settings, "GTarvexIgnoreUnknownTags", s.ignoreUnknownTags);
    s.ignoreLSDetections = ReadBackSettingBool(file, settings, "GTarvexIgnoreLSDetections", s.ignoreLSDetections);
    s.ignoreFSDetections = ReadBackSettingBool(file, settings, "GTarvexIgnoreFSDetections", s.ignoreFSDetections);
    s.sleepMilliAfterLeadingStart =
        ReadBackSettingInt(file, settings, "SleepMilliAfterLeadingStart", s.sleepMilliAfterLeadingStart);
    s.sleepMilliAfterLeadingStop =
        ReadBackSettingInt(file, settings, "SleepMilliAfterLeadingStop", s.sleepMilliAfterLeadingStop);
    s.sleepMilliAfterSetTime = ReadBackSettingInt(file, settings, "SleepMilliAfterSetTime", s.sleepMilliAfterSetTime);
    s.boxReconnectSeconds = ReadBackSettingInt(file, settings, "GBoxReconnectSeconds", s.boxReconnectSeconds);
    s.daysToAdd = ReadBackSettingInt(file, settings, "GDaysToAdd", s.daysToAdd);
    s.beepDetections = file.ReadBool(settings, "GTarvexBeepDetections", s.beepDetections);
    s.beepWhenQuit = file.ReadBool(settings, "GTarvexBeepWhenQuit", s.beepWhenQuit);

    file.WriteText(kSectionUrls, "GetLocalFilePassings", kLocalFilePassingsUrl);
    file.DeleteKey(kSectionUrls, "GetRemoteFilePassings");
    file.DeleteKey(kSectionUrls, "GetRemoteBoxesInfo");
    file.DeleteKey(kSectionCustomerInfo, "Password");
    return s;
}

StartupSettings ReadStartupSettings(const std::string& defaultExportFile) {
    return ReadStartupSettings(Settings(), defaultExportFile);
}

void WriteSoftwareLocation(IniFile& file, const std::string& programFolder) {
    file.WriteText(kSectionApplication, "SoftwareLocation", programFolder);
}

void WriteSoftwareLocation(const std::string& programFolder) {
    WriteSoftwareLocation(Settings(), programFolder);
}

Language ChooseLanguage(IniFile& file, std::string_view commandLine) {
    Language chosen = Language::French;
    if (!file.HasKey(kSectionApplication, "Language")) {
        file.WriteText(kSectionApplication, "Language", "fr");
    } else {
        Language stored;
        if (ParseLanguage(file.ReadText(kSectionApplication, "Language", "fr"), stored)) chosen = stored;
    }
    Language given;
    if (!commandLine.empty() && ParseLanguage(commandLine, given)) chosen = given;
    return chosen;
}

}  // namespace lv
