// A decoder's answer to LISTFILES: every entry either reads or is reported, and what
// reads goes into an address only as letters, digits, '-' and '_'.
#include <algorithm>
#include <cctype>

#include "FuzzSupport.h"
#include "boxes/BoxFileList.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view response(reinterpret_cast<const char*>(data), size);
    BoxFileListReply reply;
    if (!ReadBoxFileList(response, "http://$BOXIP$/files/$FILEID$", "10.0.0.7", reply)) {
        FUZZ_CHECK(reply.files.empty());
        return 0;
    }
    FUZZ_CHECK(reply.announced >= 0);
    const std::size_t separators = static_cast<std::size_t>(std::count(response.begin(), response.end(), ';'));
    FUZZ_CHECK(reply.files.size() + reply.invalidEntries.size() <= separators);
    for (const auto& file : reply.files) {
        FUZZ_CHECK(!file->fileId.empty() && file->fileId.size() <= 32);
        for (char c : file->fileId) FUZZ_CHECK(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_');
        FUZZ_CHECK(file->detectionsPath == "http://10.0.0.7/files/" + file->fileId);
        FUZZ_CHECK(file->count >= 0);
        FUZZ_CHECK(file->created.size() == 10 && file->created[2] == '/' && file->created[5] == '/');
        FUZZ_CHECK(file->details.find(';') == std::string::npos);
    }
    return 0;
}
