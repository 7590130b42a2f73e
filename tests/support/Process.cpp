#include "tests/support/Process.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/Scratch.hpp"

namespace {

// The child's output goes to files beside each other in a private temp dir:
// no pipe can fill up and block either side. A child told no working directory
// works in the folder "work" there, so what it writes (logger.log, test.kzo)
// never lands in the test's own directory or the source tree.
struct Capture {
    std::shared_ptr<ScratchDir> dir = std::make_shared<ScratchDir>();
    std::string outPath = dir->file("out");
    std::string errPath = dir->file("err");
    std::string workPath = dir->file("work");
};

void redirect(const std::string& path, int fd)
{
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0 || dup2(file, fd) < 0)
        _exit(125);
    close(file);
}

void prepareChild(const Capture& capture, const ProcessOptions& options)
{
    redirect(capture.outPath, STDOUT_FILENO);
    redirect(capture.errPath, STDERR_FILENO);
    const std::string& directory = options.workingDirectory.empty() ? capture.workPath : options.workingDirectory;
    if ((options.workingDirectory.empty() && mkdir(directory.c_str(), 0755) != 0) || chdir(directory.c_str()) != 0)
        _exit(126);
    for (const std::string& name : options.unsetEnv)
        unsetenv(name.c_str());
    for (const std::string& entry : options.setEnv) {
        const std::size_t eq = entry.find('=');
        setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
    }
}

ProcessResult waitFor(pid_t pid, const Capture& capture, int timeoutSeconds)
{
    int status = 0;
    int waited = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            throw std::runtime_error("waitpid failed");
        if (waited >= timeoutSeconds * 100) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        usleep(10000);
        ++waited;
    }
    ProcessResult result;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.out = readText(capture.outPath);
    result.err = readText(capture.errPath);
    return result;
}

pid_t launch(const Capture& capture, const std::string& program, const std::vector<std::string>& args,
             const ProcessOptions& options)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        prepareChild(capture, options);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

} // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options)
{
    const Capture capture;
    return waitFor(launch(capture, program, args, options), capture, options.timeoutSeconds);
}

ChildProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                          const ProcessOptions& options)
{
    const Capture capture;
    return {launch(capture, program, args, options), capture.dir};
}

ProcessResult waitProcess(ChildProcess& child, int timeoutSeconds)
{
    Capture capture{child.captureDir};
    if (child.pid < 0)
        return {};
    const ProcessResult result = waitFor(child.pid, capture, timeoutSeconds);
    child.pid = -1;
    return result;
}

bool isRunning(const ChildProcess& child)
{
    if (child.pid < 0)
        return false;
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

ProcessResult runInChild(const std::function<int()>& body, const ProcessOptions& options)
{
    const Capture capture;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        prepareChild(capture, options);
        const int code = body();
        std::exit(code);
    }
    return waitFor(pid, capture, options.timeoutSeconds);
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}
