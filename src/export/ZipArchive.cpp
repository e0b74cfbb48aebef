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
#include <zlib.h>

#include "base/AtomicFile.h"
#include "base/Environment.h"
#include "export/ParallelFor.h"

namespace lv {

namespace {

// An export file is a few megabytes; a larger one is not ours.
constexpr std::size_t kMaxEntrySize = std::size_t{1} << 31;

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

// One entry, compressed ahead of its writing into the archive.
struct PackedEntry {
    std::string name;
    zip_fileinfo info{};
    std::string deflated;  // raw deflate stream
    uLong crc = 0;
    std::size_t size = 0;
    std::string error;
};

bool Deflate(const std::string& content, PackedEntry& entry) {
    z_stream stream{};
    // Raw stream (no zlib header): the archive's own entry format carries it.
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    entry.deflated.resize(deflateBound(&stream, static_cast<uLong>(content.size())));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(entry.deflated.data());
    stream.avail_out = static_cast<uInt>(entry.deflated.size());
    const int status = deflate(&stream, Z_FINISH);
    entry.deflated.resize(stream.total_out);
    deflateEnd(&stream);
    entry.crc = crc32(0L, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size()));
    entry.size = content.size();
    return status == Z_STREAM_END;
}

void Pack(const std::string& path, PackedEntry& entry) {
    entry.name = FileNameOf(path);
    std::string content;
    std::string readError;
    if (ReadWholeFile(path, kMaxEntrySize, content, &readError) != FileReadStatus::Ok) {
        entry.error = readError.empty() ? fmt::format("{}: cannot be read", path) : readError;
        return;
    }
    entry.info = EntryInfo(path);
    if (!Deflate(content, entry)) entry.error = fmt::format("{}: cannot be compressed", path);
}

// The entries are compressed side by side, as many at once as there are processors.
std::vector<PackedEntry> PackAll(const std::vector<std::string>& files) {
    std::vector<PackedEntry> entries(files.size());
    ParallelFor(files.size(), [&](std::size_t i) { Pack(files[i], entries[i]); });
    return entries;
}

bool WriteEntry(zipFile archive, const PackedEntry& entry, std::string& error) {
    if (!entry.error.empty()) {
        error = entry.error;
        return false;
    }
    // Entries of 4 GiB and more need the 64-bit fields.
    const int zip64 = entry.size >= 0xffffffffu ? 1 : 0;
    if (zipOpenNewFileInZip2_64(archive, entry.name.c_str(), &entry.info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 1, zip64) != ZIP_OK) {
        error = fmt::format("{}: the archive entry cannot be opened", entry.name);
        return false;
    }
    bool written = true;
    constexpr std::size_t kChunk = 1 << 20;
    for (std::size_t at = 0; written && at < entry.deflated.size(); at += kChunk) {
        const std::size_t size = std::min(kChunk, entry.deflated.size() - at);
        written = zipWriteInFileInZip(archive, entry.deflated.data() + at, static_cast<unsigned>(size)) == ZIP_OK;
    }
    const bool closed = zipCloseFileInZipRaw64(archive, entry.size, entry.crc) == ZIP_OK;
    if (!written || !closed) {
        error = fmt::format("{}: the archive entry cannot be written", entry.name);
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
    for (const PackedEntry& entry : PackAll(files)) {
        if (!WriteEntry(archive, entry, error)) {
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
