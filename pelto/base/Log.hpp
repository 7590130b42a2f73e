#pragma once
// The log "logger.log" in the working directory, fatal errors and the support
// routines every program shares. Each log line is appended by opening, writing
// and closing the file: no handle stays open, a crash loses nothing.
// A message the user must see goes to standard error as one line and nothing
// waits for an answer, so a run without a terminal never hangs.

#include <string>
#include <string_view>

#include "pelto/base/Failure.hpp"
#include "pelto/base/Parse.hpp"
#include "pelto/base/Support.hpp"

// The log file, relative to the working directory.
inline constexpr const char* peltoLogFileName = "logger.log";

// Deletes "logger.log" if it exists. Every program calls it first thing in main,
// so the log of a run holds only that run's lines.
void DeleteLog();

// Appends text and CR LF to the log.
void LogLine(std::string_view text);

// LogLine, then text as one line on standard output.
void LogAndPrint(std::string_view text);

// A message the user must see: text on standard error as one line, then the
// log line "MESSAGE: " + text.
void ShowMessageLog(std::string_view text);

// Unrecoverable failure: the message, cut to 255 characters, shown by
// ShowMessageLog, then the log line message again, exit code 1.
[[noreturn]] void FatalError(std::string_view message);

// A file that exists but cannot be opened, read, written or removed: one line
// "fileName: reason" on standard error (reason from errno), exit code 1.
[[noreturn]] void peltoIoError(std::string_view fileName, int errorNumber);

// How a program ends on a failure a library reported: its context, if any, as
// a line on standard error and in the log, then peltoIoError(file, errno) when the
// system refused a read or write, otherwise FatalError(message).
[[noreturn]] void peltoStopWith(const peltoFailure& failure);

// Tests and fuzz targets redirect the two stops above: with a hook set, the
// hook receives the message (for peltoIoError the "fileName: reason" line) instead
// of anything being shown, logged or ended. The hook is expected to throw; if it
// returns, the program still ends with exit code 1.
using peltoFatalHook = void (*)(const std::string& message);
void peltoSetFatalErrorHook(peltoFatalHook hook);
