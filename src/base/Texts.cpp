#include "base/Texts.h"

#include <strings.h>

namespace lv {
namespace {
std::atomic<Language> g_language{Language::French};
}

Language CurrentLanguage() { return g_language.load(std::memory_order_relaxed); }

void SetLanguage(Language language) { g_language.store(language, std::memory_order_relaxed); }

bool ParseLanguage(std::string_view text, Language& out) {
    std::string word(text);
    if (strcasecmp(word.c_str(), "en") == 0 || strcasecmp(word.c_str(), "english") == 0) {
        out = Language::English;
        return true;
    }
    if (strcasecmp(word.c_str(), "fr") == 0 || strcasecmp(word.c_str(), "french") == 0) {
        out = Language::French;
        return true;
    }
    return false;
}

}  // namespace lv
