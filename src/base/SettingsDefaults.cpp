#include "base/SettingsDefaults.h"

#include "base/SettingsSchema.h"

namespace lv {
namespace {

constexpr int kBoxSlots = 4;

class DefaultsWriter {
public:
    explicit DefaultsWriter(IniFile& file) : file_(file) {}

    void Add(const IntSetting& s) { Put(s.section, s.key, [&] { return file_.WriteInt(s.section, s.key, s.defaultValue); }); }
    void Add(const BoolSetting& s) {
        Put(s.section, s.key, [&] { return file_.WriteInt(s.section, s.key, s.defaultValue ? 1 : 0); });
    }
    void Add(const TextSetting& s) { Put(s.section, s.key, [&] { return file_.WriteText(s.section, s.key, s.Default()); }); }
    void Add(const SlotIntSetting& s) {
        for (int slot = 0; slot < kBoxSlots; ++slot) {
            const std::string key = s.Key(slot);
            Put(s.section, key, [&] { return file_.WriteInt(s.section, key, s.defaultValue); });
        }
    }
    void Add(const SlotTextSetting& s) {
        for (int slot = 0; slot < kBoxSlots; ++slot) {
            const std::string key = s.Key(slot);
            Put(s.section, key, [&] { return file_.WriteText(s.section, key, s.defaultValue); });
        }
    }

    int Result() const { return failed_ ? -1 : written_; }

private:
    template <typename Write>
    void Put(std::string_view section, std::string_view key, Write write) {
        if (failed_ || file_.HasKey(section, key)) return;
        if (write()) {
            ++written_;
        } else {
            failed_ = true;
        }
    }

    IniFile& file_;
    int written_ = 0;
    bool failed_ = false;
};

}  // namespace

int WriteMissingDefaults(IniFile& file) {
    using namespace setting;
    DefaultsWriter w(file);
    // [Settings]
    for (const IntSetting* s : {&GTarvexIgnoreInputMsDelta, &GTarvexIgnoreOutputMsDelta, &GTarvexReadMsDelta,
                                &GTarvexConnectionTimeout, &SleepMilliAfterLeadingStart, &SleepMilliAfterLeadingStop,
                                &SleepMilliAfterSetTime, &GBoxReconnectSeconds, &GDaysToAdd, &ResumeHours,
                                &LogWinLevel, &LogFileLevel, &SecondsBetweenSerialRead, &LogMaxKilobytes,
                                &LogKeepFiles}) {
        w.Add(*s);
    }
    for (const BoolSetting* s : {&GTarvexSendNumbers, &GTarvexIgnoreUnknownTags, &GTarvexIgnoreLSDetections,
                                 &GTarvexIgnoreFSDetections, &GTarvexBeepDetections, &GTarvexBeepWhenQuit,
                                 &BRecoverGaps, &BAbsClock, &BLogDetections, &BScrollDetections}) {
        w.Add(*s);
    }
    w.Add(GTarvexEmptyDetectionsActions);
    w.Add(GTarvexExportFile);
    // [DirectConnection]
    w.Add(DirectConnectionHost);
    w.Add(DirectConnectionPort);
    w.Add(DirectConnectionReconnectSeconds);
    w.Add(DirectConnectionCatchUp);
    // [TarvexBoxes]
    w.Add(BoxHost);
    w.Add(BoxPort);
    w.Add(BoxIdDetector);
    w.Add(BoxPeriodicReading);
    // [URLs], [CustomerInfo], [DownloadTarvex]: the cloud and the boxes' files
    for (const TextSetting* s : {&GetLocalFilePassings, &CloudApiBase, &CloudCaFile, &CustomerId, &ApiKey,
                                 &DownloadTarvexPath}) {
        w.Add(*s);
    }
    // [Application]
    w.Add(ApplicationLanguage);
    // [StatusPage]
    w.Add(StatusPagePort);
    w.Add(StatusPageBind);
    w.Add(StatusPageToken);
    // [ExportDetectionLines] and its background export
    for (const TextSetting* s : {&LinesDelta, &LinesExportPath, &LinesGenericFilename, &LinesFtpServersList}) {
        w.Add(*s);
    }
    for (const BoolSetting* s : {&LinesFtpExport, &LinesZip, &BackgroundExportOn}) w.Add(*s);
    w.Add(LinesDisplayType);
    w.Add(BackgroundExportPeriod);
    // [ExportDetections]
    for (const TextSetting* s : {&DetectionsDelta, &DetectionsHandicap, &DetectionsExportPath,
                                 &DetectionsGenericFilename}) {
        w.Add(*s);
    }
    w.Add(DetectionsFtpExport);
    w.Add(DetectionsZip);
    w.Add(DetectionsDisplayType);
    // [FtpSettings]
    for (const TextSetting* s : {&FtpLabel, &FtpSite, &FtpUser, &FtpPassword, &FtpDirectory, &FtpSiteLabel}) {
        w.Add(*s);
    }
    for (const BoolSetting* s : {&BPutInPassiveMode, &BGetInPassiveMode, &BGetFileListInPassiveMode}) w.Add(*s);
    // [ImportDetections]
    w.Add(CurrentParseDir);
    w.Add(CurrentSaveDir);
    return w.Result();
}

}  // namespace lv
