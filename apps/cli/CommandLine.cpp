#include "apps/cli/CommandLine.hpp"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string_view>

namespace {

// The two options every program has; they come after the program's own in the help.
constexpr kzoOptionSyntax helpOption{"-h", "--help", nullptr, "print this help and exit"};
constexpr kzoOptionSyntax versionOption{nullptr, "--version", nullptr, "print the program's name and version and exit"};

bool is(const char* name, std::string_view text)
{
    return name != nullptr && text == name;
}

// "-o, --output FILE" as the help's left column shows it.
std::string optionLabel(const kzoOptionSyntax& option)
{
    std::string label = option.shortName ? std::string(option.shortName) + ", " : "    ";
    label += option.longName;
    if (option.valueName)
        label += std::string(" ") + option.valueName;
    return label;
}

// The index of the option named by arg ("--name=value" counts by its name),
// and whether the value came attached.
struct Match {
    std::size_t index = 0;
    bool found = false;
    bool attached = false;
    std::string_view value;
};

Match findOption(const kzoProgramSyntax& program, std::string_view arg)
{
    const std::size_t equals = arg.find('=');
    const bool longForm = arg.starts_with("--");
    for (std::size_t i = 0; i < program.options.size(); ++i) {
        const kzoOptionSyntax& option = program.options[i];
        if (is(option.shortName, arg) || is(option.longName, arg))
            return {i, true, false, {}};
        if (longForm && option.valueName && equals != std::string_view::npos && is(option.longName, arg.substr(0, equals)))
            return {i, true, true, arg.substr(equals + 1)};
    }
    return {};
}

} // namespace

kzoParseResult kzoReadCommandLine(const kzoProgramSyntax& program, int argc, const char* const* argv)
{
    kzoParseResult result;
    const auto fail = [&](std::string reason) {
        result.kind = kzoParseResult::Kind::usageError;
        result.reason = std::move(reason);
        return result;
    };
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            result.line.arguments.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (is(helpOption.shortName, arg) || is(helpOption.longName, arg)) {
            result.kind = kzoParseResult::Kind::help;
            return result;
        }
        if (is(versionOption.longName, arg)) {
            result.kind = kzoParseResult::Kind::version;
            return result;
        }
        const Match match = findOption(program, arg);
        if (!match.found)
            return fail("unknown option " + std::string(arg));
        const kzoOptionSyntax& option = program.options[match.index];
        std::string value;
        if (match.attached) {
            value = match.value;
        } else if (option.valueName) {
            if (i + 1 >= argc)
                return fail(std::string(arg) + " needs a value (" + option.valueName + ")");
            value = argv[++i];
        }
        result.line.options.push_back({match.index, std::move(value)});
    }
    return result;
}

kzoCommandLine kzoParseCommandLine(const kzoProgramSyntax& program, int argc, const char* const* argv)
{
    kzoParseResult result = kzoReadCommandLine(program, argc, argv);
    switch (result.kind) {
    case kzoParseResult::Kind::help:
        std::cout << kzoHelpText(program) << std::flush;
        std::exit(0);
    case kzoParseResult::Kind::version:
        std::cout << program.name << ' ' << kzoVersion() << std::endl;
        std::exit(0);
    case kzoParseResult::Kind::usageError:
        kzoUsageError(program, result.reason);
    case kzoParseResult::Kind::run:
        break;
    }
    return std::move(result.line);
}

void kzoUsageError(const kzoProgramSyntax& program, const std::string& reason)
{
    std::string_view usage = program.usage;
    std::size_t split = 0;
    for (std::size_t line = 0; line < program.usageLinesOnStdout && split < usage.size(); ++line)
        split = std::min(usage.find('\n', split), usage.size() - 1) + 1;
    std::cout << usage.substr(0, split) << std::flush;
    std::cerr << usage.substr(split) << program.name << ": " << reason << std::endl;
    std::exit(2);
}

std::string kzoHelpText(const kzoProgramSyntax& program)
{
    std::vector<const kzoOptionSyntax*> all;
    for (const kzoOptionSyntax& option : program.options)
        all.push_back(&option);
    all.push_back(&helpOption);
    all.push_back(&versionOption);
    std::size_t width = 0;
    for (const kzoOptionSyntax* option : all)
        width = std::max(width, optionLabel(*option).size());
    std::string text = std::string(program.usage) + "\n" + program.description + "\nOptions:\n";
    for (const kzoOptionSyntax* option : all) {
        const std::string label = optionLabel(*option);
        text += "  " + label + std::string(width - label.size() + 2, ' ') + option->help + "\n";
    }
    return text;
}

const char* kzoVersion()
{
    return KZO_VERSION;
}
