#include "cloud/explorer/DetectionFileDownload.h"

#include <fmt/printf.h>

#include "base/AtomicFile.h"
#include "base/Environment.h"
#include "base/Texts.h"
#include "cloud/CloudDebugCopies.h"
#include "cloud/explorer/DecoderOutputFile.h"

namespace lv {

DetectionFileDownload DownloadDetectionFile(const CloudConnection& connection, const CDetectionFile& file,
                                            bool fromCloud, const std::string& folder) {
    DetectionFileDownload download;
    if (!IsSafeIdentifier(file.fileId)) {
        download.result = kCloudBadIdentifier;
        download.error = fmt::sprintf(Tr("Invalid identifier from the cloud or the box: \"%s\"",
                                         "Identifiant invalide venant du cloud ou du boîtier : \"%s\""),
                                      file.fileId.substr(0, 64));
        return download;
    }
    std::string reply;
    if (fromCloud) {
        std::string token;
        download.result = RequestAccessToken(connection, token, download.error);
        download.tokenFailed = download.result != kCloudOk;
        if (download.result == kCloudOk)
            download.result = CloudGet(connection, token, file.detectionsPath, reply, download.error);
    } else {
        // The box serves its stored files itself, over plain HTTP.
        HttpRequest request;
        request.url = file.detectionsPath;
        request.limits = connection.limits;
        request.cancel = connection.cancel;
        const HttpResult result = HttpTransfer(request);
        if (result.Ok()) {
            reply = result.body;
        } else {
            download.result = result.failure == HttpFailure::Cancelled ? kCloudCancelled : kCloudSendFailed;
            download.error = result.failure == HttpFailure::Cancelled
                                 ? std::string(Tr("Request cancelled", "Requête annulée"))
                                 : fmt::sprintf("%s: %s", file.detectionsPath, result.detail);
        }
    }
    if (download.result != kCloudOk) return download;
    download.replyBytes = reply.size();
    WriteCloudDebugCopy("detections-" + (IsSafeIdentifier(file.deviceId) ? file.deviceId : std::string("box")) + "-" +
                            file.fileId + ".json",
                        reply);

    DecoderOutput output;
    if (!ConvertDetections(reply, file.deviceId, output, download.error)) {
        download.result = kCloudNoSession;
        return download;
    }
    // Written under a temporary name and renamed when complete.
    const std::string path = JoinPath(folder, "TX_" + file.fileId + ".txt");
    if (!ReplaceFileAtomically(path, output.lines, &download.error)) {
        download.result = kCloudSendFailed;
        return download;
    }
    download.path = path;
    download.skipped = output.skipped;
    return download;
}

}  // namespace lv
