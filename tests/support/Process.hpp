#pragma once
// Runs a program or a function as a child process and collects what it printed.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Scratch.hpp"

struct ProcessResult {
    int exitCode = -1; // -1 when the child did not exit normally
    int signal = 0;    // the signal that ended it, if any
    std::string out;   // standard output
    std::string err;   // standard error
};

struct ProcessOptions {
    std::string workingDirectory;         // empty: a private folder, removed afterwards
    std::vector<std::string> setEnv;      // "NAME=value" entries added to the environment
    std::vector<std::string> unsetEnv;    // names removed from the environment
    int timeoutSeconds = 120;             // killed (SIGKILL) after this long
};

inline ProcessOptions inDirectory(std::string dir)
{
    ProcessOptions options;
    options.workingDirectory = std::move(dir);
    return options;
}

// program is run with args (argv[0] is the program's path).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// A program started in the background (a viewer a test talks to while it runs);
// waitProcess collects it. Its output goes to files in its own scratch folder.
struct ChildProcess {
    int pid = -1;
    std::shared_ptr<ScratchDir> captureDir;
};
ChildProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                          const ProcessOptions& options = {});
// Waits up to timeoutSeconds, then kills it (SIGKILL); a second wait returns at once.
ProcessResult waitProcess(ChildProcess& child, int timeoutSeconds);
// True while the child has not ended (it is not reaped).
bool isRunning(const ChildProcess& child);

// body runs in a forked child inside options.workingDirectory (by default a
// private folder, so a log it writes lands nowhere else); its exit code is what
// it returns, or what it passes to exit.
ProcessResult runInChild(const std::function<int()>& body, const ProcessOptions& options = {});

// Splits text into lines without their line ends.
std::vector<std::string> splitLines(const std::string& text);
