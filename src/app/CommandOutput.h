#pragma once
// What a command without a window (`lumivane import`, `lumivane cloud`) prints: its
// lines on the standard output, a failure as one line on the standard error named
// after the command, and the failure in the log file too.
#include <cstdio>
#include <string>

namespace lv {

class CommandOutput {
public:
    // `logLines`: each printed line goes to the log file as well (the import's lines
    // are the dialog's log).
    CommandOutput(std::FILE* out, std::FILE* err, std::string command, bool logLines)
        : out_(out), err_(err), command_(std::move(command)), logLines_(logLines) {}

    void Line(const std::string& line);
    // Prints "lumivane <command>: <message>" on one line, logs it; returns the exit status 1.
    int Fail(const std::string& message);

private:
    std::FILE* out_;
    std::FILE* err_;
    std::string command_;
    bool logLines_;
};

}  // namespace lv
