#pragma once
// The text of an ini file as a list of lines, with the lookups and edits the settings
// store needs. Every line the document does not understand (comments, blank lines,
// lines without '=', an unterminated '[') is kept exactly as it was read, so that
// rewriting the file never loses anything a user or another program put there.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

class IniDocument {
public:
    // Accepts LF, CR LF and CR line ends (and a missing end on the last line). A UTF-8
    // byte order mark is kept aside and written back in front.
    static IniDocument Parse(std::string_view text);

    // Every line ends with CR LF: programs on Windows read this file too.
    std::string Serialise() const;

    // The raw value of the first matching key of the first matching section (names
    // compared without regard to letter case, blanks around them ignored); nullopt
    // when the section or the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // Replaces the value of the key, or appends the key after the last key of its
    // section, or appends the section at the end.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes every occurrence of the key in the section; true when one was removed.
    bool Remove(std::string_view section, std::string_view key);
    // Removes the section's header and everything up to the next section header.
    bool RemoveSection(std::string_view section);

    std::size_t LineCount() const { return lines_.size(); }
    // Sections listed twice ("[name]") and keys listed twice in a section ("[section]
    // key"), in file order: lookups use the first, which the user should know.
    std::vector<std::string> Duplicates() const;

private:
    struct Range {
        std::size_t header;  // index of the "[section]" line
        std::size_t end;     // one past the last line of the section
    };
    std::optional<Range> FindSection(std::string_view section) const;

    std::string byteOrderMark_;
    std::vector<std::string> lines_;
};

// Pieces of the line grammar, shared with the store's own checks.
namespace ini {
// True when both texts are equal without regard to ASCII letter case.
bool EqualNoCase(std::string_view a, std::string_view b);
std::string_view Trim(std::string_view text);
// A "[name]" line: the trimmed name; nullopt for any other line (an unterminated '['
// included).
std::optional<std::string_view> SectionName(std::string_view line);
// A "key=value" line: the trimmed key; nullopt for comments, blank lines, lines
// without '=' and lines with an empty key.
std::optional<std::string_view> KeyName(std::string_view line);
// The value part of a key line, blanks around it removed.
std::string_view KeyValue(std::string_view line);
}  // namespace ini

}  // namespace lv
