#include "base/Settings.h"

#include <climits>
#include <optional>

#include <fmt/printf.h>

#include "base/AtomicFile.h"
#include "base/IniDocument.h"
#include "base/Log.h"
#include "base/Texts.h"

namespace lv {

namespace {

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool ValidSection(std::string_view section) {
    section = ini::Trim(section);
    return !section.empty() && !HasLineBreakOrNul(section) && section.find(']') == std::string_view::npos;
}

bool ValidKey(std::string_view key) {
    key = ini::Trim(key);
    if (key.empty() || HasLineBreakOrNul(key) || key.find('=') != std::string_view::npos) return false;
    return key.front() != '[' && key.front() != ';' && key.front() != '#';
}

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// Cuts at most `limit` bytes without splitting a UTF-8 sequence.
std::string Bounded(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut));
}

int ParseProfileInt(std::string_view text, int defaultValue) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i == text.size()) return defaultValue;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// The value as read from the file, or nullopt when the key (or the readable file) is
// missing.
std::optional<std::string> LookUp(const std::string& path, std::string_view section,
                                  std::string_view key) {
    if (path.empty()) return std::nullopt;
    std::string text;
    if (ReadWholeFile(path, IniFile::kMaxFileSize, text) != FileReadStatus::Ok) return std::nullopt;
    return IniDocument::Parse(text).Find(section, key);
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

void IniFile::SetPath(std::string path) {
    std::lock_guard<std::mutex> guard(lock_);
    path_ = std::move(path);
}

std::string IniFile::LastError() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lastError_;
}

int IniFile::ReadInt(std::string_view section, std::string_view key, int defaultValue) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto value = LookUp(path_, section, key);
    if (!value) return defaultValue;
    return ParseProfileInt(Bounded(StripQuotes(*value), kMaxTextLength), defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInt(section, key, defaultValue ? 1 : 0) != 0;
}

std::string IniFile::ReadText(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto value = LookUp(path_, section, key);
    if (!value) return Bounded(defaultValue, kMaxTextLength);
    return Bounded(StripQuotes(*value), kMaxTextLength);
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const {
    std::lock_guard<std::mutex> guard(lock_);
    return LookUp(path_, section, key).has_value();
}

// Reads the file, applies the edit and replaces the file when its text changed. A
// file that exists but cannot be read is never replaced: that would lose it.
template <typename Edit>
bool IniFile::Modify(Edit edit) {
    std::lock_guard<std::mutex> guard(lock_);
    lastError_.clear();
    if (path_.empty()) {
        lastError_ = Tr("No settings file", "Pas de fichier de paramètres");
        return false;
    }
    std::string text;
    FileReadStatus status = ReadWholeFile(path_, kMaxFileSize, text, &lastError_);
    if (status == FileReadStatus::Failed || status == FileReadStatus::TooLarge) return false;
    IniDocument document = IniDocument::Parse(text);
    if (!edit(document)) return true;
    std::string updated = document.Serialise();
    if (status == FileReadStatus::Ok && updated == text) return true;
    // The file holds passwords in clear (FTP, cloud account): its owner's eyes only.
    return ReplaceFileAtomically(path_, updated, &lastError_, FileAccess::OwnerOnly);
}

bool IniFile::WriteInt(std::string_view section, std::string_view key, int value) {
    return WriteText(section, key, fmt::sprintf("%d", value));
}

bool IniFile::WriteText(std::string_view section, std::string_view key, std::string_view value) {
    if (!ValidSection(section) || !ValidKey(key) || HasLineBreakOrNul(value)) {
        std::lock_guard<std::mutex> guard(lock_);
        lastError_ = fmt::sprintf(Tr("Invalid setting [%s] %s", "Paramètre invalide [%s] %s"),
                                  std::string(section), std::string(key));
        return false;
    }
    return Modify([&](IniDocument& document) {
        document.Set(section, key, value);
        return true;
    });
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
    return Modify([&](IniDocument& document) { return document.Remove(section, key); });
}

bool IniFile::DeleteSection(std::string_view section) {
    return Modify([&](IniDocument& document) { return document.RemoveSection(section); });
}

// ---------------------------------------------------------------------------------
// The program's settings file.

namespace {
// A write to the program's settings that fails is logged, once until a write succeeds
// again, so that a timekeeper learns that a change will not survive a restart.
void ReportWrite(bool written) {
    static std::mutex lock;
    static std::string lastReported;
    std::string error;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (written) {
            lastReported.clear();
            return;
        }
        error = Settings().LastError();
        if (error.empty() || error == lastReported) return;
        lastReported = error;
    }
    Log(0, "### " + error);
}
}  // namespace

IniFile& Settings() {
    static IniFile file;
    return file;
}

void InstallSettingsFile(const std::string& path) {
    FlushSettings();
    Settings().SetPath(path);
}

int ReadSettingInt(std::string_view section, std::string_view key, int defaultValue) {
    return Settings().ReadInt(section, key, defaultValue);
}

bool ReadSettingBool(std::string_view section, std::string_view key, bool defaultValue) {
    return Settings().ReadBool(section, key, defaultValue);
}

std::string ReadSettingText(std::string_view section, std::string_view key,
                            std::string_view defaultValue) {
    return Settings().ReadText(section, key, defaultValue);
}

void WriteSettingInt(std::string_view section, std::string_view key, int value) {
    ReportWrite(Settings().WriteInt(section, key, value));
}

void WriteSettingBool(std::string_view section, std::string_view key, bool value) {
    ReportWrite(Settings().WriteInt(section, key, value ? 1 : 0));
}

void WriteSettingText(std::string_view section, std::string_view key, std::string_view value) {
    ReportWrite(Settings().WriteText(section, key, value));
}

void DeleteSetting(std::string_view section, std::string_view key) {
    ReportWrite(Settings().DeleteKey(section, key));
}

// Every write already reached the disk: nothing is held back to flush.
void FlushSettings() {}

int ReadBackSettingInt(IniFile& file, std::string_view section, std::string_view key,
                       int defaultValue) {
    int value = file.ReadInt(section, key, defaultValue);
    file.WriteInt(section, key, value);
    return value;
}

bool ReadBackSettingBool(IniFile& file, std::string_view section, std::string_view key,
                         bool defaultValue) {
    bool value = file.ReadBool(section, key, defaultValue);
    file.WriteInt(section, key, value ? 1 : 0);
    return value;
}

std::string ReadBackSettingText(IniFile& file, std::string_view section, std::string_view key,
                                std::string_view defaultValue) {
    std::string value = file.ReadText(section, key, defaultValue);
    file.WriteText(section, key, value);
    return value;
}

int ReadBackSettingInt(std::string_view section, std::string_view key, int defaultValue) {
    int value = ReadSettingInt(section, key, defaultValue);
    WriteSettingInt(section, key, value);
    return value;
}

bool ReadBackSettingBool(std::string_view section, std::string_view key, bool defaultValue) {
    bool value = ReadSettingBool(section, key, defaultValue);
    WriteSettingBool(section, key, value);
    return value;
}

std::string ReadBackSettingText(std::string_view section, std::string_view key,
                                std::string_view defaultValue) {
    std::string value = ReadSettingText(section, key, defaultValue);
    WriteSettingText(section, key, value);
    return value;
}

}  // namespace lv
