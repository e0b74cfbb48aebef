#include "app/CloudCommand.h"

#include <fmt/printf.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandOutput.h"
#include "app/Startup.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "cloud/CloudClient.h"
#include "cloud/explorer/DetectionFileDownload.h"
#include "cloud/explorer/ExplorerTexts.h"

namespace lv {

namespace {

using Files = std::vector<std::unique_ptr<CDetectionFile>>;


// A device id comes from the cloud: no control character reaches the terminal.
std::string Printable(std::string text) {
    for (char& c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '_';
    }
    return text;
}

int ListDevices(CommandOutput& output, const CloudConnection& connection) {
    std::string reply, error, logLine;
    if (FetchCustomerDevices(connection, reply, error, logLine) != kCloudOk) return output.Fail(logLine);
    DevicesReply devices = ReadDevicesReply(reply);
    for (const std::string& id : devices.deviceIds) {
        if (!id.empty()) output.Line(Printable(id));
    }
    if (devices.refusal) return output.Fail(Tr("Error\n\n", "Erreur\n\n") + Printable(*devices.refusal));
    return 0;
}

int ListFiles(CommandOutput& output, const CloudConnection& connection, const std::string& device, Files& files) {
    std::string token, error;
    if (GetDeviceFiles(connection, token, device, files, error) != kCloudOk)
        return output.Fail(ListingFailureText(error));
    return 0;
}

int PrintFiles(CommandOutput& output, const CloudConnection& connection, const std::string& device) {
    Files files;
    if (const int failed = ListFiles(output, connection, device, files)) return failed;
    for (const auto& file : files) output.Line(fmt::format("{}\t{}\t{}", file->fileId, file->count, file->created));
    return 0;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

int Fetch(CommandOutput& output, const CloudConnection& connection, const CloudCommandOptions& command) {
    const std::string folder = Trim(command.folder.empty() ? setting::DownloadTarvexPath.Read() : command.folder);
    if (folder.empty()) {
        return output.Fail(Tr("Specify a local destination folder!", "Spécifiez un répertoire local de téléchargement !"));
    }
    // The folder was named on purpose (or is the window's own): made when missing.
    if (!CreateFolderPath(folder)) return output.Fail(CannotCreateFolderText(folder));

    Files files;
    if (const int failed = ListFiles(output, connection, command.device, files)) return failed;
    const auto found = std::find_if(files.begin(), files.end(), [&](const auto& file) {
        return file->fileId == command.file;
    });
    if (found == files.end()) {
        return output.Fail(fmt::sprintf(Tr("File %s not found on device %s", "Fichier %s introuvable sur l'appareil %s"),
                                        Printable(command.file), Printable(command.device)));
    }
    const CDetectionFile& file = **found;
    if (file.count == 0) return output.Fail(EmptyFileText(file.fileId));

    const DetectionFileDownload download = DownloadDetectionFile(connection, file, true, folder);
    if (download.result != kCloudOk) return output.Fail(DownloadFailureText(download));
    Log(20, fmt::sprintf("+ %s : %d kB", download.path, static_cast<int>(download.replyBytes / 1024)));
    output.Line(DownloadDoneText(download));
    output.Line(download.path);
    return 0;
}

}  // namespace

int RunCloudCommand(const CommandLine& options, const char* programPath, std::FILE* out, std::FILE* err) {
    CommandOutput output(out, err, "cloud", /*logLines=*/false);
    const CloudCommandOptions& command = *options.cloud;

    Startup startup;
    StartupOutcome outcome = startup.Run(options, programPath ? programPath : "");
    if (!outcome.ok) return output.Fail(outcome.error);

    const CloudConnection connection = CloudConnection::FromSettings();
    int status = 0;
    switch (command.action) {
    case CloudCommandOptions::Action::Devices:
        status = ListDevices(output, connection);
        break;
    case CloudCommandOptions::Action::Files:
        status = PrintFiles(output, connection, command.device);
        break;
    case CloudCommandOptions::Action::Fetch:
        status = Fetch(output, connection, command);
        break;
    }
    std::fflush(out);
    return status;
}

}  // namespace lv
