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
        if (!ftpServersMissing.empty() && ftpError != MissingServersText()) text += "\n\n" + MissingServersText();
    }
    return text;
}

std::string ExportOutcome::MissingServersText() const { return FtpServersMissingText(ftpServersMissing); }

std::string FtpServersMissingText(const std::vector<std::string>& names) {
    if (names.empty()) return "";
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    return Tr("FTP server(s) not in the servers file, nothing sent to them: ",
              "Serveur(s) FTP absent(s) du fichier des serveurs, rien ne leur est envoyé : ") + list;
}

std::mutex& ExportWritingLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace lv
