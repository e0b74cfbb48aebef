#pragma once
// Settings store with private-profile semantics: sections and keys match without
// regard to letter case, every value is read from the file when it is needed, every
// write goes through at once, and the file is replaced atomically (temporary file +
// rename) so that a crash never leaves it half-written.
#include <mutex>
#include <string>
#include <string_view>

namespace lv {

class IniFile {
public:
    static constexpr std::size_t kMaxTextLength = 2047;  // a text value's buffer

    explicit IniFile(std::string path = {});

    const std::string& Path() const { return path_; }
    void SetPath(std::string path);

    // A number as the private-profile reader takes it: optional blanks and sign, then
    // decimal digits (reading stops at the first other character); a present key with
    // no digits reads 0; a missing key gives the default.
    int ReadInt(std::string_view section, std::string_view key, int defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // At most kMaxTextLength characters; a missing key gives the default.
    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
    bool HasKey(std::string_view section, std::string_view key) const;

    bool WriteInt(std::string_view section, std::string_view key, int value);
    bool WriteText(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);

private:
    mutable std::mutex lock_;
    std::string path_;
};

// The program's settings file (Lumivane.ini).
void InstallSettingsFile(const std::string& path);
IniFile& Settings();

int ReadSettingInt(std::string_view section, std::string_view key, int defaultValue);
bool ReadSettingBool(std::string_view section, std::string_view key, bool defaultValue);
std::string ReadSettingText(std::string_view section, std::string_view key,
                            std::string_view defaultValue);
void WriteSettingInt(std::string_view section, std::string_view key, int value);
void WriteSettingBool(std::string_view section, std::string_view key, bool value);
void WriteSettingText(std::string_view section, std::string_view key, std::string_view value);
void DeleteSetting(std::string_view section, std::string_view key);
void FlushSettings();

// Read a key and write the value obtained straight back, so that the file lists it.
int ReadBackSettingInt(std::string_view section, std::string_view key, int defaultValue);
bool ReadBackSettingBool(std::string_view section, std::string_view key, bool defaultValue);
std::string ReadBackSettingText(std::string_view section, std::string_view key,
                                std::string_view defaultValue);

}  // namespace lv
