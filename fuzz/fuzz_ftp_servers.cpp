// The FTP servers file: a list read, written and read again is the same list, and
// every value read stays out of the file's separators when it can be stored.
#include "FuzzSupport.h"
#include "ftp/FtpServers.h"

using namespace lv;

namespace {

bool Storable(const CFtpServer& s) {
    for (const std::string* value : {&s.label, &s.site, &s.user, &s.password, &s.directory}) {
        if (!IsStorableFtpValue(*value)) return false;
    }
    return true;
}

bool Same(const CFtpServer& a, const CFtpServer& b) {
    return a.label == b.label && a.site == b.site && a.user == b.user && a.password == b.password &&
           a.directory == b.directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t skipped = 0;
    const FtpServerList list = ParseFtpServers(text, &skipped);
    bool storable = true;
    for (const auto& server : list) {
        // Fields end at tabs, ';' and line feeds: none is inside a value.
        for (const std::string* value : {&server->label, &server->site, &server->user, &server->password,
                                         &server->directory}) {
            FUZZ_CHECK(value->find_first_of(std::string_view("\t;\n\0", 4)) == std::string::npos);
            FUZZ_CHECK(value->size() <= kFtpServerLineMax);
        }
        storable = storable && Storable(*server);
    }
    // The lookup walks the list: checked for the first servers only, or the check alone
    // would be quadratic in the length of the list.
    for (std::size_t i = 0; i < list.size() && i < 8; ++i) {
        const CFtpServer* found = FindFtpServer(list, list[i]->label);
        FUZZ_CHECK(found == nullptr || found->label == TrimFtpText(list[i]->label));
    }
    if (!storable) return 0;
    std::size_t skippedAgain = 0;
    const FtpServerList again = ParseFtpServers(FormatFtpServers(list), &skippedAgain);
    FUZZ_CHECK(skippedAgain == 0);
    FUZZ_CHECK(again.size() == list.size());
    for (std::size_t i = 0; i < list.size(); ++i) FUZZ_CHECK(Same(*list[i], *again[i]));
    return 0;
}
