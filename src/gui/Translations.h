#pragma once
// Qt's own texts (standard buttons, file dialogs) in the program's language, from Qt's
// translation files (Debian's qt6-translations-l10n), and Qt's default locale to match.
#include <QString>

#include "base/Texts.h"

namespace lv {

// Installs (French) or removes (English) the translation of Qt's texts; may be called
// again when the language changes. False, with the reason, when French was asked and
// Qt's translation file cannot be loaded: Qt's texts then stay in English.
bool InstallQtTranslations(Language language, QString& error);

}  // namespace lv
