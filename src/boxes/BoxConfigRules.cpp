#include "boxes/BoxConfigRules.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>
#include <cctype>

#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "core/ScanNumbers.h"

namespace lv {

namespace {

constexpr int kSerialSpeed = 19200;
constexpr int kMaxTcpPort = 65535;

std::string Trimmed(const std::string& text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// "%d" as the dialog reads a port: a leading number, the rest ignored.
bool ReadLeadingInt(const std::string& text, int& value) {
    ScannedNumber number;
    if (ScanNumbers(text, "%d", std::span<ScannedNumber>(&number, 1)) != 1) return false;
    value = static_cast<int>(number.value);
    return true;
}

bool IsCompatibleDetector(const std::string& id) { return id == "31" || id == "C31"; }

const char* InvalidPortText() { return Tr("Invalid TCP/IP port number !!!!", "Port TCP/IP invalide !!!!"); }

}  // namespace

// ---------------------------------------------------------------------------
// Choices

const std::vector<std::string>& DetectorChoices() {
    static const std::vector<std::string> choices = [] {
        std::vector<std::string> list{"31     CLASSIC"};
        for (int id = 10; id <= 30; ++id) list.push_back(fmt::format("{}     ", id));
        return list;
    }();
    return choices;
}

std::string DetectorIdOfChoice(const std::string& entry) { return entry.substr(0, entry.find(' ')); }

const std::array<ReconnectChoice, 5>& ReconnectChoices() {
    static const std::array<ReconnectChoice, 5> choices{{
        {0, "Only give a sound alert", "Simplement signaler par une alerte sonore"},
        {30, "Try to reconnect for 30s", "Essayer de se reconnecter pendant 30s"},
        {60, "Try to reconnect for 1mn", "Essayer de se reconnecter pendant 1mn"},
        {90, "Try to reconnect for 1mn30", "Essayer de se reconnecter pendant 1mn30"},
        {120, "Try to reconnect for 2mn", "Essayer de se reconnecter pendant 2mn"},
    }};
    return choices;
}

const char* ReconnectChoice::Text() const { return Tr(english, french); }

int ReconnectChoiceIndex(int storedSeconds) {
    const auto& choices = ReconnectChoices();
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (choices[i].seconds == storedSeconds) return static_cast<int>(i);
    }
    return 1;
}

std::vector<std::string> LongRaceChoices() {
    return {Tr("Use today times", "Utiliser l'heure d'aujourd'hui"),
            Tr("Add 24 hours to times", "Ajouter 24h aux temps"),
            Tr("Add 48 hours to times", "Ajouter 48h aux temps"),
            Tr("Add 72 hours to times", "Ajouter 72h aux temps")};
}

// ---------------------------------------------------------------------------
// Values

AdvancedValues FactoryAdvancedValues() { return AdvancedValues{}; }

ConfigValues LoadConfigValues(const std::string& defaultExportFile) {
    using namespace setting;
    ConfigValues v;
    v.exportFile = GTarvexExportFile.Read(defaultExportFile);
    v.linkHost = DirectConnectionHost.Read();
    v.linkPort = DirectConnectionPort.Read();
    v.linkReconnectSeconds = DirectConnectionReconnectSeconds.Read();
    v.boxReconnectSeconds = GBoxReconnectSeconds.Read();
    v.daysToAdd = GDaysToAdd.Mended(GDaysToAdd.Read());
    v.ignoreUnknownTags = GTarvexIgnoreUnknownTags.Read();
    v.beepDetections = GTarvexBeepDetections.Read();
    v.beepWhenQuit = GTarvexBeepWhenQuit.Read();
    return v;
}

AdvancedValues LoadAdvancedValues() {
    AdvancedValues v;
    v.ignoreInputMsDelta = setting::GTarvexIgnoreInputMsDelta.Read();
    v.ignoreOutputMsDelta = setting::GTarvexIgnoreOutputMsDelta.Read();
    v.readMsDelta = setting::GTarvexReadMsDelta.Read();
    return v;
}

void StoreAdvancedValues(const AdvancedValues& v) {
    setting::GTarvexIgnoreInputMsDelta.Write(v.ignoreInputMsDelta);
    setting::GTarvexIgnoreOutputMsDelta.Write(v.ignoreOutputMsDelta);
    setting::GTarvexReadMsDelta.Write(v.readMsDelta);
}

RangeCheck CheckIntegerField(const std::string& text, IntRange range) {
    RangeCheck check;
    std::string t = Trimmed(text);
    ScannedNumber number;
    std::size_t digitsEnd = 0;
    bool whole = false;
    if (ScanNumbers(t, "%d", std::span<ScannedNumber>(&number, 1)) == 1) {
        // The whole text must be the number.
        digitsEnd = (t[0] == '+' || t[0] == '-') ? 1 : 0;
        while (digitsEnd < t.size() && std::isdigit(static_cast<unsigned char>(t[digitsEnd]))) ++digitsEnd;
        whole = digitsEnd == t.size();
    }
    if (!whole) {
        check.message = Tr("Please enter an integer.", "Entrez un nombre entier.");
        return check;
    }
    check.value = static_cast<int>(number.value);
    if (check.value < range.min || check.value > range.max) {
        check.message = fmt::sprintf(Tr("Please enter an integer between %d and %d.",
                                        "Entrez un entier compris entre %d et %d."),
                                     range.min, range.max);
        return check;
    }
    check.ok = true;
    return check;
}

std::string WithQoxSuffix(const std::string& fileName) {
    if (fileName.size() >= 4) {
        std::string tail = fileName.substr(fileName.size() - 4);
        std::transform(tail.begin(), tail.end(), tail.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (tail == ".QOX") return fileName;
    }
    return fileName + ".qox";
}

std::vector<SettingWrite> ConfigurationWrites(const ConfigValues& v, const AdvancedValues& a, bool logDetections) {
    using namespace setting;
    auto number = [](const IntSetting& s, int n) { return SettingWrite{s.section, s.key, std::to_string(n)}; };
    auto flag = [](const BoolSetting& s, bool b) { return SettingWrite{s.section, s.key, b ? "1" : "0"}; };
    auto text = [](const TextSetting& s, const std::string& t) { return SettingWrite{s.section, s.key, t}; };
    return {
        number(GTarvexIgnoreInputMsDelta, a.ignoreInputMsDelta),
        number(GTarvexIgnoreOutputMsDelta, a.ignoreOutputMsDelta),
        number(GTarvexReadMsDelta, a.readMsDelta),
        text(GTarvexExportFile, v.exportFile),
        flag(BLogDetections, logDetections),
        number(DirectConnectionPort, v.linkPort),
        text(DirectConnectionHost, v.linkHost),
        number(DirectConnectionReconnectSeconds, v.linkReconnectSeconds),
        number(GBoxReconnectSeconds, v.boxReconnectSeconds),
        number(GDaysToAdd, v.daysToAdd),
        flag(GTarvexBeepDetections, v.beepDetections),
        flag(GTarvexBeepWhenQuit, v.beepWhenQuit),
        flag(GTarvexIgnoreUnknownTags, v.ignoreUnknownTags),
    };
}

void ApplySettingWrites(const std::vector<SettingWrite>& writes) {
    for (const auto& w : writes) WriteSettingText(w.section, w.key, w.value);
}

// ---------------------------------------------------------------------------
// Box rows

void BoxConfigRules::Initialise(const std::array<BoxSlotState, kConfigBoxSlots>& boxSlots) {
    slots_ = boxSlots;
    for (int i = 0; i < kConfigBoxSlots; ++i) {
        entries_[i] = DetectorChoices();
        const std::string& id = slots_[i].declaration.detectorId;
        bool listed = std::any_of(entries_[i].begin(), entries_[i].end(),
                                  [&](const std::string& e) { return DetectorIdOfChoice(e) == id; });
        if (!listed && !id.empty() && id.find(' ') == std::string::npos) entries_[i].push_back(id);
        detectorEnabled_[i] = slots_[i].declaration.IsConfigured();
    }
    initialised_ = true;
}

const std::vector<std::string>& BoxConfigRules::DetectorEntries(int slot) const { return entries_.at(slot); }

int BoxConfigRules::InitialDetectorIndex(int slot) const {
    const auto& entries = entries_.at(slot);
    const std::string& id = slots_.at(slot).declaration.detectorId;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (DetectorIdOfChoice(entries[i]) == id) return static_cast<int>(i);
    }
    return 0;
}

std::string BoxConfigRules::InitialHostText(int slot) const {
    const BoxDeclaration& d = slots_.at(slot).declaration;
    return d.IsConfigured() ? d.host : std::string();
}

std::string BoxConfigRules::InitialPortText(int slot) const {
    const BoxDeclaration& d = slots_.at(slot).declaration;
    return d.IsConfigured() ? fmt::sprintf("%d", d.port) : std::string();
}

bool BoxConfigRules::IsLocked(int slot) const { return slots_.at(slot).locked; }

bool BoxConfigRules::DetectorEnabled(int slot) const { return detectorEnabled_.at(slot); }

const BoxDeclaration& BoxConfigRules::Declaration(int slot) const { return slots_.at(slot).declaration; }

std::string BoxConfigRules::CheckRow(int slot, const BoxRowInput& row) {
    std::string host = Trimmed(row.host);
    std::string portText = Trimmed(row.port);
    int port = 0;
    if (!portText.empty() && !ReadLeadingInt(portText, port)) return InvalidPortText();
    // A network port outside 0..65535 would silently reach another port.
    if (!IsSerialHost(host) && (port < 0 || port > kMaxTcpPort)) return InvalidPortText();
    // A device path is a serial row too: its speed is checked like a COM row's.
    const bool comRow = host.size() >= 3 && host.compare(0, 3, "COM") == 0;
    if ((comRow || host.rfind("/dev/", 0) == 0) && port != kSerialSpeed)
        return Tr("COM speed should be 19200...", "La vitesse devrait être 19200");
    detectorEnabled_[slot] = !(host.empty() && port == 0);
    BoxDeclaration& d = slots_[slot].declaration;
    d.host = host;
    d.port = port;
    const auto& entries = entries_[slot];
    if (row.detectorIndex >= 0 && row.detectorIndex < static_cast<int>(entries.size()))
        d.detectorId = DetectorIdOfChoice(entries[row.detectorIndex]);
    // A network box without its port would be saved as undefined without a word.
    if (!host.empty() && !IsSerialHost(host) && port == 0)
        return Tr("TCP/IP port missing: enter the port the box listens on",
                  "Port TCP/IP manquant : saisissez le port d'écoute du boîtier");
    return {};
}

void BoxConfigRules::ValidateRowsSilently(const std::array<BoxRowInput, kConfigBoxSlots>& rows) {
    if (!initialised_) return;
    for (int i = 0; i < kConfigBoxSlots; ++i) {
        if (!slots_[i].locked) CheckRow(i, rows[i]);
    }
}

std::optional<RowFailure> BoxConfigRules::ValidateRowsForOk(const std::array<BoxRowInput, kConfigBoxSlots>& rows) {
    if (!initialised_) return std::nullopt;
    for (int i = 0; i < kConfigBoxSlots; ++i) {
        if (slots_[i].locked) continue;
        std::string message = CheckRow(i, rows[i]);
        if (!message.empty()) return RowFailure{i, message};
    }
    return std::nullopt;
}

bool BoxConfigRules::ShowsIncompatibilityWarning() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const BoxSlotState& s) {
        return s.declaration.IsConfigured() && !IsCompatibleDetector(s.declaration.detectorId);
    });
}

}  // namespace lv
