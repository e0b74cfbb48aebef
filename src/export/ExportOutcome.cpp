#include "export/ExportOutcome.h"

#include "base/Texts.h"

namespace lv {

std::string ExportOutcome::CompletionText() const {
    std::string text = Tr("Data export finished.\n\nThe following files were created:",
                          "Export de données terminé.\n\nLes fichiers suivants ont été créés :");
    for (const std::string& path : created) text += "\n  " + path + "  ";
    if (!notCreated.empty()) {
        text += Tr("\n\nThe following files could not be created:",
                   "\n\nLes fichiers suivants n'ont pas pu être créés :");
        for (const std::string& path : notCreated) text += "\n  " + path + "  ";
    }
    if (ftpAsked) {
        if (ftpStarted)
            text += Tr("\n\nFTP transfer started.", "\n\nTransfert FTP lancé.");
        else
            text += Tr("\n\nFTP transfer could not start: ", "\n\nErreur de lancement transfert FTP : ") + ftpError;
    }
    return text;
}

std::mutex& ExportWritingLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace lv
