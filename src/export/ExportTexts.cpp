#include "export/ExportTexts.h"

#include "base/Texts.h"

namespace lv {

const char* InvalidDeltaText() {
    return Tr("Invalid time.\nThe format is 'hh:mn:ss' or 'hh.mm.ss'",
              "Temps invalide.\nLe format est 'hh:mn:ss' ou 'hh.mm.ss'");
}

const char* InvalidPassingTimeText() {
    return Tr("Invalid time.\nThe format is 'hh:mn:ss.ct' or 'hh.mm.ss.ct'\nHundredths of seconds are optional",
              "Temps invalide.\nLe format est 'hh:mn:ss.ct' ou 'hh.mm.ss.ct'\nLes centièmes de secondes sont facultatifs");
}

const char* FilenameMandatoryText() { return Tr("Destination filename mandatory!", "Nom de fichier obligatoire !"); }

const char* FolderMandatoryText() { return Tr("Destination folder mandatory!", "Nom de répertoire obligatoire !"); }

const char* NoFtpSettingsText() { return Tr("No FTP settings defined!", "Paramètres FTP non définis !"); }

const char* ResetHandicapQuestion() {
    return Tr("Do you really want to reset detector handicap to 0?", "Voulez vous vraiment remettre à 0 le handicap ?");
}

const char* ResetHandicapTooltip() { return Tr("Reset handicap", "Remise à 0 du handicap"); }

std::string TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

const char* DisplayTypeName(DisplayType type) {
    switch (type) {
        case DisplayType::PassingTime: return Tr("Passing times", "Temps de passages");
        case DisplayType::Logica: return Tr("LOGICA format times", "Temps format LOGICA");
        case DisplayType::ClockTime: break;
    }
    return Tr("Detection times", "Heures de détections");
}

}  // namespace lv
