#pragma once
// Whole-file reads and atomic replacement, for the small files the program rewrites
// as a whole (settings, FTP servers list): a crash or a full disk leaves either the
// old file or the new one, never a mixture.
#include <cstddef>
#include <string>
#include <string_view>

namespace lv {

enum class FileReadStatus { Ok, Missing, TooLarge, Failed };

// Reads the whole file into `content` when it is at most `maxSize` bytes.
FileReadStatus ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& content,
                             std::string* error = nullptr);

// Who may read the file once replaced. OwnerOnly is for files that hold passwords in
// clear (settings, FTP servers list): a new file gets mode 0600, a replaced one keeps
// its mode without the rights of others.
enum class FileAccess { KeepOrDefault, OwnerOnly };

// Writes `content` to a new file in the same folder, flushes it to the disk and renames
// it over `path` (following a symbolic link to its target); keeps the permissions of
// the file it replaces (KeepOrDefault). On failure the old file is untouched and
// `error` says why.
bool ReplaceFileAtomically(const std::string& path, std::string_view content,
                           std::string* error = nullptr,
                           FileAccess access = FileAccess::KeepOrDefault);

}  // namespace lv
