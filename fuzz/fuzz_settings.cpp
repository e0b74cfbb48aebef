// The settings file: a document rewritten and read again gives the same values and the
// same text; values read through the store, written to a fresh file and read again are
// the same values.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "base/IniDocument.h"
#include "base/Settings.h"

using namespace lv;

namespace {

std::string Scratch(const char* name) {
    const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/lumivane-fuzz-" + name + "-" + std::to_string(::getpid()) + ".ini";
}

// The (section, key) pairs the text names, in order, at most 64.
std::vector<std::pair<std::string, std::string>> NamedKeys(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> keys;
    std::string section;
    bool inSection = false;
    fuzz::ForEachLine(text, [&](std::string_view line) {
        if (keys.size() >= 64) return;
        if (auto name = ini::SectionName(line)) {
            section = std::string(*name);
            inSection = true;
        } else if (auto key = ini::KeyName(line); key && inSection) {
            keys.emplace_back(section, std::string(*key));
        }
    });
    return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string original = Scratch("read");
    static const std::string rewritten = Scratch("written");
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const IniDocument document = IniDocument::Parse(text);
    const std::string serialised = document.Serialise();
    const IniDocument again = IniDocument::Parse(serialised);
    FUZZ_CHECK(again.Serialise() == serialised);
    const auto keys = NamedKeys(text);
    for (const auto& [section, key] : keys) FUZZ_CHECK(document.Find(section, key) == again.Find(section, key));
    (void)document.Duplicates();

    // A copy edited: what is set reads back, what is removed is gone.
    IniDocument edited = document;
    for (const auto& [section, key] : keys) {
        const std::string value = section + "/" + key;
        if (value.find_first_of("\r\n") != std::string::npos) continue;
        edited.Set(section, key, value);
        FUZZ_CHECK(edited.Find(section, key) == std::optional<std::string>(ini::Trim(value)));
    }
    if (!keys.empty()) {
        edited.Remove(keys[0].first, keys[0].second);
        FUZZ_CHECK(!edited.Find(keys[0].first, keys[0].second));
        edited.RemoveSection(keys[0].first);
    }

    // Through the store: one value per input, each write replaces a file.
    {
        std::ofstream out(original, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::remove(rewritten.c_str());
    IniFile read(original);
    IniFile written(rewritten);
    for (std::size_t i = 0; i < keys.size() && i < 1; ++i) {
        const auto& [section, key] = keys[i];
        const std::string value = read.ReadText(section, key, "\x01missing");
        FUZZ_CHECK(value.size() <= IniFile::kMaxTextLength);
        (void)read.ReadInt(section, key, 7);
        if (!written.WriteText(section, key, value)) continue;
        // Blanks around a value and one pair of quotes around it are not part of it.
        const bool plain = ini::Trim(value) == value &&
                           !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                             value.back() == value.front());
        if (plain) FUZZ_CHECK(written.ReadText(section, key, "\x01missing") == value);
        const int number = -static_cast<int>(size);
        FUZZ_CHECK(written.WriteInt(section, key, number));
        FUZZ_CHECK(written.ReadInt(section, key, 7) == number);
    }
    return 0;
}
