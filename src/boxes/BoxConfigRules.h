#pragma once
// The rules of the configuration dialog and of its advanced dialog, without any
// widget: the detector and reconnection choices, the silent and the checked
// validation of the four box rows, the incompatibility warning, the range checks of
// the direct-connection values, and what OK writes to the settings store, in order.
// The Qt dialogs hand their texts in and show what comes out.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/SettingsSchema.h"
#include "boxes/BoxDeclarations.h"

namespace lv {

inline constexpr int kConfigBoxSlots = 4;

// --- Choices ---------------------------------------------------------------------

// The 22 entries of a row's detector list; the detector id is the text up to the
// first space.
const std::vector<std::string>& DetectorChoices();
std::string DetectorIdOfChoice(const std::string& entry);

struct ReconnectChoice {
    int seconds;
    const char* english;
    const char* french;
    // The text of the program's language.
    const char* Text() const;
};
// Reaction to a lost box (GBoxReconnectSeconds): five choices.
const std::array<ReconnectChoice, 5>& ReconnectChoices();
// The entry of a stored value; a value matching none selects the second entry.
int ReconnectChoiceIndex(int storedSeconds);
// Long races (GDaysToAdd is the index), in the program's language.
std::vector<std::string> LongRaceChoices();

// --- Values edited by the dialogs ---------------------------------------------------

// Defaults, ranges and keys are those of the settings schema.
struct ConfigValues {
    std::string exportFile;  // GTarvexExportFile
    std::string linkHost = setting::DirectConnectionHost.defaultValue;
    int linkPort = setting::DirectConnectionPort.defaultValue;
    int linkReconnectSeconds = setting::DirectConnectionReconnectSeconds.defaultValue;
    int boxReconnectSeconds = setting::GBoxReconnectSeconds.defaultValue;
    int daysToAdd = setting::GDaysToAdd.defaultValue;
    bool ignoreUnknownTags = setting::GTarvexIgnoreUnknownTags.defaultValue;
    bool beepDetections = setting::GTarvexBeepDetections.defaultValue;
    bool beepWhenQuit = setting::GTarvexBeepWhenQuit.defaultValue;
};

struct AdvancedValues {
    int ignoreInputMsDelta = setting::GTarvexIgnoreInputMsDelta.defaultValue;
    int ignoreOutputMsDelta = setting::GTarvexIgnoreOutputMsDelta.defaultValue;
    int readMsDelta = setting::GTarvexReadMsDelta.defaultValue;
};

inline constexpr IntRange kLinkPortRange = setting::DirectConnectionPort.range;
inline constexpr IntRange kLinkReconnectRange = setting::DirectConnectionReconnectSeconds.range;
inline constexpr IntRange kIgnoreInputRange = setting::GTarvexIgnoreInputMsDelta.range;
inline constexpr IntRange kIgnoreOutputRange = setting::GTarvexIgnoreOutputMsDelta.range;
inline constexpr IntRange kReadDeltaRange = setting::GTarvexReadMsDelta.range;

AdvancedValues FactoryAdvancedValues();

// The present settings (defaults for missing keys). `defaultExportFile` is the
// documents folder + "/Lumivane.qox".
ConfigValues LoadConfigValues(const std::string& defaultExportFile);
AdvancedValues LoadAdvancedValues();
// The advanced dialog's OK stores the three values at once (through the controller).
void StoreAdvancedValues(const AdvancedValues& values);

// A whole-text integer within the range, as the dialog framework checks an edit: the
// value, or the message that keeps the dialog open.
struct RangeCheck {
    bool ok = false;
    int value = 0;
    std::string message;
};
RangeCheck CheckIntegerField(const std::string& text, IntRange range);

// The export file chooser: ".qox" is added unless the name already ends with it
// (letter case ignored).
std::string WithQoxSuffix(const std::string& fileName);

// --- What OK writes -------------------------------------------------------------------

struct SettingWrite {
    std::string section;
    std::string key;
    std::string value;
};
// The settings written after OK, in the order the window writes them (the box slots
// follow them, written by the caller). BLogDetections is the window's own switch.
std::vector<SettingWrite> ConfigurationWrites(const ConfigValues& values, const AdvancedValues& advanced,
                                              bool logDetections);
void ApplySettingWrites(const std::vector<SettingWrite>& writes);

// --- The four box rows --------------------------------------------------------------------

// One slot as the dialog receives it from its box.
struct BoxSlotState {
    BoxDeclaration declaration;
    bool locked = false;  // in use or connected: its declaration cannot change
};

// What a row's widgets hold.
struct BoxRowInput {
    std::string host;
    std::string port;
    int detectorIndex = 0;
};

struct RowFailure {
    int slot = 0;
    std::string message;
};

class BoxConfigRules {
public:
    // The dialog's copies of the four slots; rows are checked only from here on.
    void Initialise(const std::array<BoxSlotState, kConfigBoxSlots>& boxSlots);
    bool IsInitialised() const { return initialised_; }

    // A row's detector list: the 22 choices, plus the declared id when it is none of
    // them, so that opening and closing the dialog never changes a declaration.
    const std::vector<std::string>& DetectorEntries(int slot) const;
    // The entries' initial selection: the one whose id is the declared one.
    int InitialDetectorIndex(int slot) const;
    // The edits' initial texts: empty for an unconfigured slot.
    std::string InitialHostText(int slot) const;
    std::string InitialPortText(int slot) const;
    bool IsLocked(int slot) const;
    // The row's detector list is usable unless host and port are both empty.
    bool DetectorEnabled(int slot) const;

    // Checks every editable row and keeps the values of the valid ones (typing).
    void ValidateRowsSilently(const std::array<BoxRowInput, kConfigBoxSlots>& rows);
    // The same on OK: the first invalid row with its message, none when all pass.
    std::optional<RowFailure> ValidateRowsForOk(const std::array<BoxRowInput, kConfigBoxSlots>& rows);

    // A configured slot with a detector id other than "31" and "C31": the blinking
    // "Caution !" warning.
    bool ShowsIncompatibilityWarning() const;

    const BoxDeclaration& Declaration(int slot) const;

private:
    // Empty on success, else the message of the failed check.
    std::string CheckRow(int slot, const BoxRowInput& row);

    bool initialised_ = false;
    std::array<BoxSlotState, kConfigBoxSlots> slots_{};
    std::array<std::vector<std::string>, kConfigBoxSlots> entries_{};
    std::array<bool, kConfigBoxSlots> detectorEnabled_{};
};

}  // namespace lv
