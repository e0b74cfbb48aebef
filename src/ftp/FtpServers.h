#pragma once
// The known FTP servers and their file, FtpServers.dat (in the data folder, see
// GetFtpServersFilePath in base/Environment.h): one line per server,
// "label<TAB>site<TAB>user<TAB>password<TAB>directory<LF>", in list order.
//
// Reading splits a line at every tab, line feed and ';'; a line that gives exactly five
// fields is a server, any other line is skipped. So a value holding a tab or ';' (or a
// line break) cannot be stored: SaveFtpServers refuses such a list rather than write a
// line that the next load would drop, and the server dialog refuses the value first.
// The file holds passwords in clear: it is replaced atomically and readable by its
// owner only.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Environment.h"

namespace lv {

class CFtpServer {
public:
    virtual ~CFtpServer() = default;

    std::string directory;  // remote folder to change to; may be empty
    std::string password;
    std::string site;       // "host", "host:port", "ftps://host[:port]", "sftp://host[:port]"
    std::string user;
    std::string label;      // what users and export settings call it; the key
};

using FtpServerList = std::vector<std::unique_ptr<CFtpServer>>;

// A line longer than this is not a server line (it is skipped whole).
inline constexpr std::size_t kFtpServerLineMax = 1023;
// A larger file is not a servers list: it is refused rather than read.
inline constexpr std::size_t kFtpServersFileMax = 16 * 1024 * 1024;

// Appends the servers of the file to `list` (the list owns them). −1 and "File does
// not exist" when the file cannot be opened (or is larger than kFtpServersFileMax, with
// that reason), else 0; skipped lines are counted in the log.
int LoadFtpServers(FtpServerList& list, const std::string& path, std::string& error);
// Rewrites the file with the servers of `list`. −1 and "Cannot create file" when it
// cannot be written, −1 and the reason when a value cannot be stored; else 0.
int SaveFtpServers(const FtpServerList& list, const std::string& path, std::string& error);
// The first server whose label equals `label` trimmed of blanks at both ends; null when
// none does.
const CFtpServer* FindFtpServer(const FtpServerList& list, const std::string& label);

// The servers defined by the text of a servers file, and how many non-empty lines
// were skipped.
FtpServerList ParseFtpServers(std::string_view text, std::size_t* skippedLines = nullptr);
// The file's text for `list` (values are written as they are).
std::string FormatFtpServers(const FtpServerList& list);

// True when a value can be stored in the file: no tab, ';', line break or NUL.
bool IsStorableFtpValue(std::string_view value);
// Blanks (space, tab, CR, LF) removed at both ends.
std::string TrimFtpText(std::string_view text);

}  // namespace lv
