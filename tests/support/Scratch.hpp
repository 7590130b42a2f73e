#pragma once
// A fresh directory per test, removed afterwards. Tests that write files (the
// programs write "./test.kzo" and "logger.log" into their working directory)
// work inside one, never in the source tree or the shared data.

#include <cstdint>
#include <string>
#include <vector>

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Makes dir the working directory for its lifetime, then restores the old one.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& dir);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string previous_;
};

std::vector<std::uint8_t> readFile(const std::string& path);
std::string readText(const std::string& path);
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
// Names in dir, sorted, without "." and "..".
std::vector<std::string> listDir(const std::string& dir);
