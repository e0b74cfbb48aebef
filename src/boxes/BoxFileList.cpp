#include "boxes/BoxFileList.h"

#include <cctype>
#include <cstdio>
#include <fmt/printf.h>

#include "base/Log.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "boxes/CommandExchange.h"
#include "boxes/DecoderProtocol.h"
#include "boxes/TarvexBox.h"
#include "boxes/transport/TcpComBox.h"
#include "core/Chrono.h"

namespace lv {

namespace {

constexpr std::size_t kMaxFileIdChars = 32;

void ReplaceAll(std::string& text, const std::string& marker, const std::string& value) {
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + value.size())) {
        text.replace(at, marker.size(), value);
    }
}

// A file identifier goes into an address: letters, digits, '-' and '_' only.
bool IsFileId(const std::string& id) {
    if (id.empty() || id.size() > kMaxFileIdChars) return false;
    for (char c : id) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
    }
    return true;
}

bool ReadCount(const std::string& text, int& count) {
    char tail = 0;
    return std::sscanf(text.c_str(), "%d%c", &count, &tail) == 1 && count >= 0;
}

// "YYYY-MM-DD" as DD/MM/YYYY, checked as a real date.
bool BoxFileDate(const std::string& text, std::string& shown) {
    std::string date;
    for (char c : text) {
        if (c != '-') date.push_back(c);
    }
    if (date.size() != 8) return false;
    CChrono now(CChrono::kNowAbsolute);
    const std::string clock = now.FormatClock();  // HH:MM:SS
    const std::string time = clock.substr(0, 2) + clock.substr(3, 2) + clock.substr(6, 2);
    CChrono parsed;
    // The present time may not exist on that date (a change to summer time): noon does.
    if (!parsed.ParseDateTimeCompact(date, time, 0) && !parsed.ParseDateTimeCompact(date, "120000", 0)) return false;
    shown = parsed.FormatDate();
    return true;
}

std::string BoxHostOf(const CTarvexBox& box) {
    if (const auto* tcp = dynamic_cast<const CTcpComBox*>(box.Transport())) return tcp->GetHost();
    std::string detectorId, host;
    int port = 0;
    box.GetParameters(detectorId, host, port);
    return host;
}

}  // namespace

bool ReadBoxFileList(std::string_view response, const std::string& addressTemplate, const std::string& host,
                     BoxFileListReply& reply) {
    reply = BoxFileListReply{};
    const std::vector<std::string> fields = SplitFields(response, ";");
    if (fields.size() < 2 || !ReadCount(fields[1], reply.announced)) return false;
    for (std::size_t i = 2; i < fields.size(); ++i) {
        const std::vector<std::string> entry = SplitFields(fields[i], ",");
        auto file = std::make_unique<CDetectionFile>();
        std::string shownDate;
        if (entry.size() < 3 || entry.size() > 4 || !IsFileId(entry[0]) || !ReadCount(entry[1], file->count) ||
            !BoxFileDate(entry[2], shownDate)) {
            reply.invalidEntries.push_back(fields[i]);
            continue;
        }
        file->fileId = entry[0];
        file->created = shownDate;
        file->details = entry.size() == 4 ? entry[3] : std::string();
        std::string path = addressTemplate;
        ReplaceAll(path, "$BOXIP$", host);
        ReplaceAll(path, "$FILEID$", file->fileId);
        file->detectionsPath = path;
        reply.files.push_back(std::move(file));
    }
    return true;
}

int ListBoxFiles(CTarvexBox& box, std::vector<std::unique_ptr<CDetectionFile>>& files, std::string& error) {
    files.clear();
    error.clear();
    const std::string label = box.CommandLabel();
    Log(0, fmt::sprintf(Tr("+ %s : Request for detection file list", "+ %s : Demande liste de fichiers de détection"),
                        label));
    std::string response;
    {
        CommandExchange exchange(box);
        if (!exchange.Send("LISTFILES", error)) {
            Log(0, fmt::sprintf(Tr("## %s : Error sending command LISTFILES: %s",
                                   "## %s : Erreur envoi de commande LISTFILES : %s"),
                                label, error));
            return kListFilesNotSent;
        }
        if (!exchange.WaitResponse("LISTFILES", box.ResponseSeconds(), response)) {
            error = Tr("Error reading box response", "Erreur réception de réponse du boîtier");
            return kListFilesNoResponse;
        }
    }

    std::string address = setting::GetLocalFilePassings.Read();
    if (address.empty()) {
        error = Tr("URL/GetLocalFilePassings is empty", "URL/GetLocalFilePassings est vide");
        return kListFilesNoTemplate;
    }
    if (address.find("$BOXIP*") != std::string::npos) {
        ReplaceAll(address, "$BOXIP*", "$BOXIP$");
        setting::GetLocalFilePassings.Write(address);
    }

    BoxFileListReply reply;
    if (!ReadBoxFileList(response, address, BoxHostOf(box), reply)) {
        error = Tr("Error reading box response", "Erreur réception de réponse du boîtier");
        Log(0, fmt::sprintf(Tr("## %s : Invalid file list: %s", "## %s : Liste de fichiers invalide : %s"), label,
                            PrintableExcerpt(response)));
        return kListFilesBadResponse;
    }
    if (reply.files.size() + reply.invalidEntries.size() != static_cast<std::size_t>(reply.announced)) {
        Log(0, fmt::sprintf(Tr("## %s : The box announced %d file(s) and listed %d",
                               "## %s : Le boîtier annonçait %d fichier(s) et en a listé %d"),
                            label, reply.announced,
                            static_cast<int>(reply.files.size() + reply.invalidEntries.size())));
    }
    for (const std::string& entry : reply.invalidEntries) {
        Log(0, fmt::sprintf(Tr("## %s : Invalid file entry: %s", "## %s : Entrée de fichier invalide : %s"), label,
                            PrintableExcerpt(entry)));
    }
    files = std::move(reply.files);
    return 0;
}

}  // namespace lv
