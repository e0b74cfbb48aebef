#pragma once
// Texts both export dialogs share.
#include <string>
#include <string_view>

#include "export/ExportFiles.h"

namespace lv {

const char* InvalidDeltaText();         // "Temps invalide.\nLe format est 'hh:mn:ss' ou 'hh.mm.ss'"
const char* InvalidPassingTimeText();   // the same with hundredths, for the re-alignment
const char* FilenameMandatoryText();
const char* FolderMandatoryText();
const char* NoFtpSettingsText();
const char* ResetHandicapQuestion();
const char* ResetHandicapTooltip();

// Blanks and tabs around the text removed.
std::string TrimBlanks(std::string_view text);

// "Heures de détections", "Temps de passages" or "Temps format LOGICA".
const char* DisplayTypeName(DisplayType type);

}  // namespace lv
