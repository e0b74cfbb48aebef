#include "cloud/explorer/ExplorerTexts.h"

#include <fmt/printf.h>

#include "base/Texts.h"

namespace lv {

std::string DownloadDoneText(const DetectionFileDownload& download) {
    // A small file is not "0 kB": the size would read as nothing received.
    std::string done = download.replyBytes > 0 && download.replyBytes < 1024
                           ? std::string(Tr("Download done (< 1 kB)", "Téléchargement terminé (< 1 ko)"))
                           : fmt::sprintf(Tr("Download done (%d kB)", "Téléchargement terminé (%d ko)"),
                                          static_cast<int>(download.replyBytes / 1024));
    if (download.skipped > 0) {
        done += fmt::sprintf(Tr("\n%d detection(s) left out: no usable chip code (missing, over 63 characters, "
                                "blanks) or unreadable time",
                                "\n%d détection(s) écartée(s) : code puce inutilisable (absent, plus de 63 caractères, "
                                "blancs) ou heure illisible"),
                             download.skipped);
    }
    return done;
}

std::string DownloadFailureText(const DetectionFileDownload& download) {
    if (download.tokenFailed) return download.error;
    return Tr("Download error\n", "Erreur de téléchargement\n") + download.error;
}

std::string EmptyFileText(const std::string& fileId) {
    return fmt::sprintf(Tr("File %s is empty!", "Le fichier %s est vide !"), fileId);
}

std::string CannotCreateFolderText(const std::string& folder) {
    return fmt::sprintf(Tr("Cannot create folder\n    %s  \n", "Erreur de création du répertoire\n    %s  \n"), folder);
}

std::string ListingFailureText(const std::string& error) {
    return Tr("Cannot connect to Tarvex box: ", "Erreur de connexion au boîtier : ") + error;
}

}  // namespace lv
