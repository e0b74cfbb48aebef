#include "export/ZipArchive.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fmt/format.h>
#include <minizip/zip.h>

#include "base/AtomicFile.h"

namespace lv {

namespace {

// An export file is a few megabytes; a larger one is not ours.
constexpr std::size_t kMaxEntrySize = std::size_t{1} << 31;

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

zip_fileinfo EntryInfo(const std::string& path) {
    zip_fileinfo info{};
    struct stat status{};
    std::time_t when = ::stat(path.c_str(), &status) == 0 ? status.st_mtime : std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&when, &local) != nullptr) {
        info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
        info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
        info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
        info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
        info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
        info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
    }
    return info;
}

bool AddEntry(zipFile archive, const std::string& path, std::string& error) {
    std::string content;
    std::string readError;
    if (ReadWholeFile(path, kMaxEntrySize, content, &readError) != FileReadStatus::Ok) {
        error = readError.empty() ? fmt::format("{}: cannot be read", path) : readError;
        return false;
    }
    const zip_fileinfo info = EntryInfo(path);
    const std::string name = BaseName(path);
    if (zipOpenNewFileInZip64(archive, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_DEFAULT_COMPRESSION, content.size() >= 0xffffffffu ? 1 : 0) != ZIP_OK) {
        error = fmt::format("{}: the archive entry cannot be opened", name);
        return false;
    }
    bool written = true;
    constexpr std::size_t kChunk = 1 << 20;
    for (std::size_t at = 0; written && at < content.size(); at += kChunk) {
        const std::size_t size = std::min(kChunk, content.size() - at);
        written = zipWriteInFileInZip(archive, content.data() + at, static_cast<unsigned>(size)) == ZIP_OK;
    }
    const bool closed = zipCloseFileInZip(archive) == ZIP_OK;
    if (!written || !closed) {
        error = fmt::format("{}: the archive entry cannot be written", name);
        return false;
    }
    return true;
}

}  // namespace

bool PackFilesIntoZip(const std::string& archivePath, const std::vector<std::string>& files,
                      std::string& error) {
    const std::string temporary = archivePath + ".part";
    zipFile archive = zipOpen64(temporary.c_str(), APPEND_STATUS_CREATE);
    if (archive == nullptr) {
        error = fmt::format("{}: {}", archivePath, std::strerror(errno != 0 ? errno : EIO));
        return false;
    }
    bool ok = true;
    for (const std::string& file : files) {
        if (!AddEntry(archive, file, error)) {
            ok = false;
            break;
        }
    }
    if (zipClose(archive, nullptr) != ZIP_OK && ok) {
        error = fmt::format("{}: the archive cannot be completed", archivePath);
        ok = false;
    }
    if (ok && std::rename(temporary.c_str(), archivePath.c_str()) != 0) {
        error = fmt::format("{}: {}", archivePath, std::strerror(errno));
        ok = false;
    }
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

}  // namespace lv
