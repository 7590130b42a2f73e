#pragma once
// The command-line conventions the three programs share. Options may come
// before, between or after the plain arguments; "--" ends the options; "-"
// alone is a plain argument; any other argument that starts with "-" and is not
// an option is a usage error. -h / --help prints the usage and every option to
// standard output and ends with exit code 0; --version prints "NAME VERSION"
// and ends with 0. A usage error prints the usage, then "NAME: reason", on
// standard error and ends with exit code 2.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

struct kzoOptionSyntax {
    const char* shortName; // "-o", or nullptr
    const char* longName;  // "--output"; "--output=FILE" is taken too
    const char* valueName; // "FILE" for an option with a value, nullptr for a flag
    const char* help;      // one line
};

struct kzoProgramSyntax {
    const char* name;        // "kzoWrite"
    const char* usage;       // the synopsis lines, each ending in a newline
    const char* description; // what --help says after the usage, lines ending in newlines
    std::span<const kzoOptionSyntax> options;
    // The first lines of the usage that a usage error prints on standard output
    // rather than standard error: where scripts have always read them.
    std::size_t usageLinesOnStdout = 0;
};

struct kzoGivenOption {
    std::size_t option; // index in kzoProgramSyntax::options
    std::string value;  // "" for a flag
};

struct kzoCommandLine {
    std::vector<kzoGivenOption> options; // in the order given
    std::vector<std::string> arguments;  // the plain arguments, in order
};

// Outcome of reading a command line, before anything is printed.
struct kzoParseResult {
    enum class Kind { run, help, version, usageError } kind = Kind::run;
    kzoCommandLine line;
    std::string reason; // usageError: why, without the program's name
};
kzoParseResult kzoReadCommandLine(const kzoProgramSyntax& program, int argc, const char* const* argv);

// kzoReadCommandLine, then help, version and usage errors are printed and end
// the program; what remains is returned.
kzoCommandLine kzoParseCommandLine(const kzoProgramSyntax& program, int argc, const char* const* argv);

// Prints the usage and the reason and ends the program with exit code 2.
[[noreturn]] void kzoUsageError(const kzoProgramSyntax& program, const std::string& reason);

// The help text: usage, description, then one line per option (with -h and --version).
std::string kzoHelpText(const kzoProgramSyntax& program);

// The project's version, "MAJOR.MINOR.PATCH".
const char* kzoVersion();
