#include "gui/CloudCommands.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include <atomic>
#include <chrono>
#include <thread>

#include "cloud/CloudClient.h"
#include "cloud/CustomerInfo.h"
#include "gui/BoxFilesDialog.h"
#include "gui/CustomerInfoDialog.h"
#include "gui/QtTexts.h"

namespace lv {

std::string RunCustomerDetectionsExplorer(QWidget* parent, std::string& logLine) {
    logLine.clear();
    if (!CustomerInfoRules::CredentialsSet() && !EditCustomerInfo(parent)) return {};

    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    CloudConnection connection = CloudConnection::FromSettings();
    connection.cancel = &cancel;
    int result = 0;
    std::string devices, error, failure;
    std::thread worker([&] {
        result = FetchCustomerDevices(connection, devices, error, failure);
        done = true;
    });
    QProgressDialog progress(T("Connecting to the Tarvex customer account...", "Connexion au compte client Tarvex..."),
                             T("Cancel", "Annuler"), 0, 0, parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    while (!done.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (progress.wasCanceled()) cancel = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    progress.reset();
    if (result != kCloudOk) {
        logLine = failure;
        return {};
    }
    return RunBoxFilesDialog(parent, BoxFilesSource::ForCloud(devices));
}

}  // namespace lv
