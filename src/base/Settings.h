#pragma once
// Settings store with private-profile semantics: sections and keys match without
// regard to letter case, every value is read from the file when it is needed, every
// write goes through at once, and the file is replaced atomically (temporary file +
// rename) so that a crash never leaves it half-written.
//
// As the private-profile functions do, values lose the blanks around them and one pair
// of matching quotes ("..." or '...') when read. Comments, blank lines and lines the
// store does not understand are kept as they are; the file is written with CR LF.
// Writes that would break the file's structure (a line break in a name or a value, '='
// in a key, ']' in a section name) are refused. The store serialises its own readers
// and writers; it does not lock the file against other processes.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/IniDocument.h"

namespace lv {

class IniFile {
public:
    static constexpr std::size_t kMaxTextLength = 2047;  // a text value's buffer
    // A larger file is not a settings file: reads give the defaults, writes are refused
    // so that it is not replaced.
    static constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

    explicit IniFile(std::string path = {});

    const std::string& Path() const { return path_; }
    void SetPath(std::string path);

    // A number as the private-profile reader takes it: optional blanks and sign, then
    // decimal digits (reading stops at the first other character); a present key with
    // no digits reads 0; a missing key, or one whose value is empty, gives the default.
    // Numbers beyond the int range are clamped to it.
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

    // Why the last write failed (in the language of the interface); empty after success.
    std::string LastError() const;
    // How many times the file's text was parsed (it is parsed only when it changed).
    std::size_t ParseCount() const;

private:
    template <typename Edit>
    bool Modify(Edit edit);
    // The value as the file holds it now (lock_ held): the file is read at each access
    // as promised, but parsed again only when its text changed.
    // Duplicates found in a new parse are added to `warnings`, each once per file.
    std::optional<std::string> LookUpLocked(std::string_view section, std::string_view key,
                                            std::vector<std::string>& warnings) const;
    std::optional<std::string> LookUp(std::string_view section, std::string_view key) const;

    mutable std::mutex lock_;
    std::string path_;
    std::string lastError_;
    // The last parse and the text it came from.
    mutable std::optional<IniDocument> parsed_;
    mutable std::string parsedText_;
    mutable std::size_t parseCount_ = 0;
    mutable std::vector<std::string> reportedDuplicates_;
};

// The program's settings file (Lumivane.ini). Its writers below log a failed write
// ("### " and the reason), once until a write succeeds again.
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
int ReadBackSettingInt(IniFile& file, std::string_view section, std::string_view key,
                       int defaultValue);
bool ReadBackSettingBool(IniFile& file, std::string_view section, std::string_view key,
                         bool defaultValue);
std::string ReadBackSettingText(IniFile& file, std::string_view section, std::string_view key,
                                std::string_view defaultValue);
// The same on the program's settings file.
int ReadBackSettingInt(std::string_view section, std::string_view key, int defaultValue);
bool ReadBackSettingBool(std::string_view section, std::string_view key, bool defaultValue);
std::string ReadBackSettingText(std::string_view section, std::string_view key,
                                std::string_view defaultValue);

}  // namespace lv
