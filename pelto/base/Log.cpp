#include "pelto/base/Log.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

peltoFatalHook fatalHook = nullptr;

const std::string logPath = std::string("./") + peltoLogFileName;

[[noreturn]] void endProgram()
{
    std::cout.flush();
    std::exit(1);
}

} // namespace

void peltoSetFatalErrorHook(peltoFatalHook hook)
{
    fatalHook = hook;
}

void peltoIoError(std::string_view fileName, int errorNumber)
{
    const std::string line = std::string(fileName) + ": " + std::strerror(errorNumber);
    if (fatalHook) {
        fatalHook(line);
        endProgram();
    }
    std::cout.flush();
    std::cerr << line << std::endl;
    endProgram();
}

peltoFailure peltoIoFailure(const std::string& file, int errorNumber)
{
    peltoFailure failure;
    failure.message = file + ": " + std::strerror(errorNumber);
    failure.file = file;
    failure.errorNumber = errorNumber;
    return failure;
}

void peltoStopWith(const peltoFailure& failure)
{
    if (!failure.context.empty() && !fatalHook) {
        std::cout.flush();
        std::cerr << failure.context << std::endl;
        LogLine(failure.context);
    }
    if (failure.errorNumber != 0)
        peltoIoError(failure.file, failure.errorNumber);
    FatalError(failure.message);
}

void DeleteLog()
{
    struct stat info;
    if (stat(peltoLogFileName, &info) != 0)
        return;
    if (std::remove(peltoLogFileName) != 0)
        peltoIoError(peltoLogFileName, errno);
}

void LogLine(std::string_view text)
{
    // Append mode creates the file when it is missing.
    std::FILE* file = std::fopen(logPath.c_str(), "ab");
    if (!file)
        peltoIoError(logPath, errno);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size()
                         && std::fwrite("\r\n", 1, 2, file) == 2;
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written)
        peltoIoError(logPath, written ? errno : writeError);
}

void LogAndPrint(std::string_view text)
{
    LogLine(text);
    std::cout << text << '\n';
}

void ShowMessageLog(std::string_view text)
{
    std::cout.flush();
    std::cerr << text << std::endl;
    LogLine(std::string("MESSAGE: ") + std::string(text));
}

void FatalError(std::string_view message)
{
    const std::string text(message.substr(0, 255));
    if (fatalHook) {
        fatalHook(text);
        endProgram();
    }
    ShowMessageLog(text);
    LogLine(text);
    endProgram();
}
