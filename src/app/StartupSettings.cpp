#include "app/StartupSettings.h"

#include <fmt/printf.h>

#include "base/Log.h"
#include "base/SettingsDefaults.h"
#include "base/Texts.h"

namespace lv {

StartupSettings ReadStartupSettings(IniFile& file, const std::string& defaultExportFile) {
    using namespace setting;
    StartupSettings s;
    // This order is the order of the keys in a new settings file.
    s.ignoreInputMsDelta = GTarvexIgnoreInputMsDelta.ReadBack(file);
    s.ignoreOutputMsDelta = GTarvexIgnoreOutputMsDelta.ReadBack(file);
    s.readMsDelta = GTarvexReadMsDelta.ReadBack(file);
    s.connectionTimeout = GTarvexConnectionTimeout.Read(file);
    s.emptyDetectionsActions = GTarvexEmptyDetectionsActions.ReadBack(file);
    s.exportFile = GTarvexExportFile.ReadBack(file, defaultExportFile);
    s.directConnectionPort = DirectConnectionPort.ReadBack(file);
    s.directConnectionHost = DirectConnectionHost.ReadBack(file);
    s.directConnectionReconnectSeconds = DirectConnectionReconnectSeconds.ReadBack(file);
    s.sendNumbers = GTarvexSendNumbers.ReadBack(file);
    s.ignoreUnknownTags = GTarvexIgnoreUnknownTags.ReadBack(file);
    s.ignoreLSDetections = GTarvexIgnoreLSDetections.ReadBack(file);
    s.ignoreFSDetections = GTarvexIgnoreFSDetections.ReadBack(file);
    s.sleepMilliAfterLeadingStart = SleepMilliAfterLeadingStart.ReadBack(file);
    s.sleepMilliAfterLeadingStop = SleepMilliAfterLeadingStop.ReadBack(file);
    s.sleepMilliAfterSetTime = SleepMilliAfterSetTime.ReadBack(file);
    s.boxReconnectSeconds = GBoxReconnectSeconds.ReadBack(file);
    s.daysToAdd = GDaysToAdd.ReadBack(file);
    s.beepDetections = GTarvexBeepDetections.Read(file);
    s.beepWhenQuit = GTarvexBeepWhenQuit.Read(file);
    s.resumeHours = ResumeHours.Mended(ResumeHours.ReadBack(file));
    s.recoverGaps = BRecoverGaps.ReadBack(file);
    s.logMaxKilobytes = LogMaxKilobytes.Mended(LogMaxKilobytes.ReadBack(file));
    s.logKeepFiles = LogKeepFiles.Mended(LogKeepFiles.ReadBack(file));

    GetLocalFilePassings.Write(file, GetLocalFilePassings.Default());
    GetRemoteFilePassings.Delete(file);
    GetRemoteBoxesInfo.Delete(file);
    CustomerPassword.Delete(file);
    // After the keys above, which keep their order at the head of a new file.
    if (WriteMissingDefaults(file) < 0) {
        Log(0, fmt::sprintf(Tr("### Settings file %s: the default values could not be written (%s)",
                               "### Fichier de paramètres %s : les valeurs par défaut n'ont pas pu être écrites (%s)"),
                            file.Path(), file.LastError()));
    }
    return s;
}

StartupSettings ReadStartupSettings(const std::string& defaultExportFile) {
    return ReadStartupSettings(Settings(), defaultExportFile);
}

void WriteSoftwareLocation(IniFile& file, const std::string& programFolder) {
    setting::SoftwareLocation.Write(file, programFolder);
}

void WriteSoftwareLocation(const std::string& programFolder) {
    WriteSoftwareLocation(Settings(), programFolder);
}

Language ChooseLanguage(IniFile& file, std::string_view commandLine) {
    const TextSetting& key = setting::ApplicationLanguage;
    Language chosen = Language::French;
    if (!key.Has(file)) {
        key.Write(file, key.Default());
    } else {
        Language stored;
        if (ParseLanguage(key.Read(file), stored)) chosen = stored;
    }
    Language given;
    if (!commandLine.empty() && ParseLanguage(commandLine, given)) chosen = given;
    return chosen;
}

}  // namespace lv
