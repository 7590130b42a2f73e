#pragma once
// A failure reported as a value, so that a loader never ends the program that
// called it: the text a program shows, and where the fault lies. Programs turn
// it into their own outlet (peltoStopWith in pelto/base/Log.hpp); libraries never do.

#include <cstdint>
#include <string>

struct peltoFailure {
    std::string message;          // the whole text, e.g. "model.obj:12: face corner ..."
    std::string file;             // the file at fault
    std::uint64_t line = 0;       // 1-based line of a text file; 0: not a line
    std::int64_t byteOffset = -1; // offset in a binary file; -1: not an offset
    int errorNumber = 0;          // errno when the system refused a read or write; 0: the content is at fault
    // A line a program shows before the message when the message does not say
    // it all, e.g. "tex.jpg: no such file" before "Error loading file!"; "" for none.
    std::string context;
};

// The failure "file: strerror(errorNumber)" of a read or write the system refused.
peltoFailure peltoIoFailure(const std::string& file, int errorNumber);
