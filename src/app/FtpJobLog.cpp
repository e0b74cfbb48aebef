#include "app/FtpJobLog.h"

#include <fmt/printf.h>

#include "base/Log.h"

namespace lv {

void FtpJobLog::OnFtpJobState(const FtpJobEvent& event) {
    // These three texts exist in French only.
    switch (event.state) {
        case kFtpJobStarted:
            Log(0, fmt::sprintf("++ Démarrage transfert FTP [%s]", event.remoteName));
            break;
        case kFtpJobDone:
            Log(0, fmt::sprintf("++ Transfert FTP terminé [%s]", event.remoteName));
            break;
        case kFtpJobFailed:
            Log(0, fmt::sprintf("++ Erreur transfert FTP [%s] : %s", event.remoteName, event.errorText));
            break;
        default:
            break;
    }
}

}  // namespace lv
