#pragma once
// Every user-visible text exists in English and French side by side at its use site;
// one program-wide language picks which one shows. French is the delivered default.
#include <atomic>
#include <string>
#include <string_view>

namespace lv {

enum class Language { French, English };

Language CurrentLanguage();
void SetLanguage(Language language);

// Parses "en" / "fr" (any letter case); false for anything else.
bool ParseLanguage(std::string_view text, Language& out);

// The text of the present language: Tr("Exit", "Quitter").
inline const char* Tr(const char* english, const char* french) {
    return CurrentLanguage() == Language::English ? english : french;
}

}  // namespace lv
