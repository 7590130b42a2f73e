// The ctest fixture of the window tests: a private Xvfb for the whole run.
//   kzo_xvfb_fixture start DIR [DEPTH]   starts Xvfb (1920x1080, 24 bits unless
//                                        DEPTH), writes DIR/display (":N") and DIR/pid
//   kzo_xvfb_fixture stop DIR    ends that Xvfb by its process id
// -displayfd lets the server pick a free display number, so runs of several
// engineers on one machine never collide.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int startSeconds = 20;
constexpr int stopSeconds = 10;

int fail(const std::string& text)
{
    std::cerr << "kzo_xvfb_fixture: " << text << '\n';
    return 1;
}

// Xvfb must see the newline read before the pipe closes, or it dies with
// "Cannot write display number".
std::string readDisplayNumber(int fd)
{
    std::string number;
    for (int waited = 0; waited < startSeconds * 10;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) == 0) {
            ++waited;
            continue;
        }
        char c = 0;
        if (read(fd, &c, 1) != 1)
            return "";
        if (c == '\n')
            return number;
        number += c;
    }
    return "";
}

int start(const std::string& dir, const std::string& depth)
{
    mkdir(dir.c_str(), 0755);
    int fds[2];
    if (pipe(fds) != 0)
        return fail("pipe failed");
    const pid_t pid = fork();
    if (pid == 0) {
        // Its own session and no inherited terminal or ctest pipes: the server
        // outlives this process and ctest does not wait for it.
        setsid();
        const int log = open((dir + "/xvfb.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(log, 1);
        dup2(log, 2);
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        const std::string screen = "1920x1080x" + depth;
        // -noreset: without it the server regenerates whenever its last client
        // leaves, and refuses connections meanwhile; one test's program ending
        // then makes the next one's XOpenDisplay fail.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    const std::string number = readDisplayNumber(fds[0]);
    close(fds[0]);
    if (number.empty()) {
        kill(pid, SIGKILL);
        return fail("Xvfb did not report a display number (see " + dir + "/xvfb.log)");
    }
    std::ofstream(dir + "/pid") << pid << '\n';
    std::ofstream(dir + "/display") << ':' << number << '\n';
    std::cout << "Xvfb " << pid << " on :" << number << '\n';
    return 0;
}

bool isXvfb(pid_t pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    return std::getline(comm, name) && name == "Xvfb";
}

int stop(const std::string& dir)
{
    pid_t pid = 0;
    if (!(std::ifstream(dir + "/pid") >> pid) || pid <= 0)
        return fail("no server recorded in " + dir);
    std::remove((dir + "/display").c_str());
    std::remove((dir + "/pid").c_str());
    // A stale record must not end some other process that got the number.
    if (!isXvfb(pid))
        return 0;
    kill(pid, SIGTERM);
    for (int i = 0; i < stopSeconds * 10 && kill(pid, 0) == 0 && isXvfb(pid); ++i)
        usleep(100000);
    if (kill(pid, 0) == 0 && isXvfb(pid))
        kill(pid, SIGKILL);
    std::cout << "Xvfb " << pid << " stopped\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4)
        return fail("usage: kzo_xvfb_fixture start|stop DIR [DEPTH]");
    const std::string command = argv[1];
    if (command == "start")
        return start(argv[2], argc == 4 ? argv[3] : "24");
    if (command == "stop")
        return stop(argv[2]);
    return fail("unknown command " + command);
}
