#include "app/CommandOutput.h"

#include <algorithm>

#include "base/Log.h"

namespace lv {

void CommandOutput::Line(const std::string& line) {
    std::fprintf(out_, "%s\n", line.c_str());
    if (logLines_) Log(0, line);
}

int CommandOutput::Fail(const std::string& message) {
    std::fflush(out_);
    std::string oneLine = message;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    std::fprintf(err_, "lumivane %s: %s\n", command_.c_str(), oneLine.c_str());
    Log(0, "### " + oneLine);
    return 1;
}

}  // namespace lv
