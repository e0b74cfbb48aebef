#include "core/DetectionTexts.h"

#include <fmt/printf.h>

#include "base/Texts.h"

namespace lv {

std::string OpeningDetectionFileText(const std::string& path) {
    return fmt::sprintf(Tr("Opening detection file : %s", "Ouverture fichier de détections : %s"),
                        path);
}

std::string ErrorOpeningDetectionFileText(const std::string& path) {
    return fmt::sprintf(Tr("Error opening detection file : %s",
                           "Erreur ouverture fichier de détections : %s"),
                        path);
}

std::string IncomingDetectionsSavedText(const std::string& name) {
    return fmt::sprintf(Tr("+++ Incoming detections saved in %s",
                           "+++ Détections sauvegardées sous %s"),
                        name);
}

std::string DetectionListResetText(int activeCount) {
    return fmt::sprintf(Tr("+ Detection list reset done. (%d detection%s)",
                           "+ Remise à zéro de la liste des détections effectuée. (%d détection%s)"),
                        activeCount, activeCount > 1 ? "s" : "");
}

std::string DetectionsExportedText(const std::string& path) {
    return fmt::sprintf(Tr("+ Detections exported in file [%s]",
                           "+ Export des détections effectué dans le fichier [%s]"),
                        path);
}

std::string ConfirmResetDetectionsQuestion() {
    return Tr("Do you really want to clear the list of all recorded detections ?\n\n"
              "CAUTION !!!  ALL RECORDED TIMES WILL BE LOST !!!",
              "Souhaitez vous vraiment vider la liste toutes les détections enregistrées ?\n\n"
              "ATTENTION !!!  TOUS LES TEMPS  ENREGISTRES SERONT PERDUS !!!");
}

}  // namespace lv
