#include "base/SettingsSchema.h"

#include <fmt/format.h>

namespace lv {

bool ObsoleteSetting::Delete(IniFile& file) const { return file.DeleteKey(section, key); }

// ---------------------------------------------------------------------------

int IntSetting::Read() const { return ReadSettingInt(section, key, defaultValue); }

int IntSetting::Read(const IniFile& file) const { return file.ReadInt(section, key, defaultValue); }

void IntSetting::Write(int value) const { WriteSettingInt(section, key, value); }

bool IntSetting::Write(IniFile& file, int value) const { return file.WriteInt(section, key, value); }

int IntSetting::ReadBack() const { return ReadBackSettingInt(section, key, defaultValue); }

int IntSetting::ReadBack(IniFile& file) const { return ReadBackSettingInt(file, section, key, defaultValue); }

// ---------------------------------------------------------------------------

bool BoolSetting::Read() const { return ReadSettingBool(section, key, defaultValue); }

bool BoolSetting::Read(const IniFile& file) const { return file.ReadBool(section, key, defaultValue); }

void BoolSetting::Write(bool value) const { WriteSettingBool(section, key, value); }

bool BoolSetting::ReadBack() const { return ReadBackSettingBool(section, key, defaultValue); }

bool BoolSetting::ReadBack(IniFile& file) const { return ReadBackSettingBool(file, section, key, defaultValue); }

// ---------------------------------------------------------------------------

std::string TextSetting::Default() const { return runtimeDefault ? runtimeDefault() : std::string(defaultValue); }

std::string TextSetting::Read() const { return ReadSettingText(section, key, Default()); }

std::string TextSetting::Read(const IniFile& file) const { return file.ReadText(section, key, Default()); }

std::string TextSetting::Read(std::string_view defaultOverride) const {
    return ReadSettingText(section, key, defaultOverride);
}

void TextSetting::Write(std::string_view value) const { WriteSettingText(section, key, value); }

bool TextSetting::Write(IniFile& file, std::string_view value) const { return file.WriteText(section, key, value); }

std::string TextSetting::ReadBack() const { return ReadBackSettingText(section, key, Default()); }

std::string TextSetting::ReadBack(IniFile& file) const { return ReadBackSettingText(file, section, key, Default()); }

std::string TextSetting::ReadBack(IniFile& file, std::string_view defaultOverride) const {
    return ReadBackSettingText(file, section, key, defaultOverride);
}

bool TextSetting::Has(const IniFile& file) const { return file.HasKey(section, key); }

// ---------------------------------------------------------------------------

std::string SlotIntSetting::Key(int slot) const { return fmt::format("{}{}", stem, slot); }

int SlotIntSetting::Read(int slot) const { return ReadSettingInt(section, Key(slot), defaultValue); }

void SlotIntSetting::Write(int slot, int value) const { WriteSettingInt(section, Key(slot), value); }

std::string SlotTextSetting::Key(int slot) const { return fmt::format("{}{}", stem, slot); }

std::string SlotTextSetting::Read(int slot) const { return ReadSettingText(section, Key(slot), defaultValue); }

void SlotTextSetting::Write(int slot, std::string_view value) const { WriteSettingText(section, Key(slot), value); }

// ---------------------------------------------------------------------------

std::string NamedTextSetting::Key(std::string_view name) const { return fmt::format("{}{}", stem, name); }

std::string NamedTextSetting::Read(std::string_view name) const {
    return ReadSettingText(section, Key(name), defaultValue);
}

void NamedTextSetting::Write(std::string_view name, std::string_view value) const {
    WriteSettingText(section, Key(name), value);
}

}  // namespace lv
