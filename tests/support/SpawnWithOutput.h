#pragma once
// Starts a program for a test with its standard output on a pipe. posix_spawn rather
// than fork: the tests run threads, and a forked copy of a threaded process may take
// no lock (not even malloc's) before exec, or it can hang.
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace lv::test {

// Where the program's standard error goes.
struct ErrorOutput {
    enum class To { Inherited, WithOutput, Discarded, File };
    To to = To::Inherited;
    std::string file;  // with To::File: created or emptied, for the test alone (0600)
};

struct SpawnedProgram {
    pid_t pid = -1;   // -1 when it could not be started
    int output = -1;  // the read end of its standard output
};

// `words[0]` is the program's path (no PATH search), the rest its arguments.
inline SpawnedProgram SpawnWithOutput(std::vector<std::string> words, const ErrorOutput& errors) {
    SpawnedProgram spawned;
    if (words.empty()) return spawned;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    // Close-on-exec: only the program's standard output (and error) keep the pipe open.
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return spawned;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    switch (errors.to) {
        case ErrorOutput::To::Inherited:
            break;
        case ErrorOutput::To::WithOutput:
            posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
            break;
        case ErrorOutput::To::Discarded:
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
            break;
        case ErrorOutput::To::File:
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.file.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
            break;
    }
    if (::posix_spawn(&spawned.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) spawned.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (spawned.pid > 0) spawned.output = output[0];
    else ::close(output[0]);
    return spawned;
}

}  // namespace lv::test
