#pragma once
// The passings files a simulated decoder keeps in its memory: what LISTFILES lists
// and what its HTTP file server returns at /media/passings_<id>.txt.
#include <string>
#include <vector>

#include "SimHttp.h"

namespace sim::decoder {

struct StoredFile {
    std::string id;
    int count;
    std::string date;     // YYYY-MM-DD
    std::string details;  // the entry's fourth field
};

const std::vector<StoredFile>& StoredFiles();
// "LISTFILES;<n>;<id>,<count>,<date>,<details>;..."
std::string ListFilesAnswer();
// The file's passing lines ("#P", 18 fields, CR LF); empty for an unknown id.
std::string StoredFileContent(const std::string& id);
// Answers GET /media/passings_<id>.txt.
void ServeStoredFile(const http::Request& request, http::Connection& connection);

}  // namespace sim::decoder
