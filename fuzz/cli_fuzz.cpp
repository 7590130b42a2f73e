// The command-line reader on arbitrary arguments: the input's bytes split at
// zero bytes into argv. No crash, no read outside the arguments, and every
// argument ends up at most once as a plain argument or an option.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "apps/cli/CommandLine.hpp"

namespace {

constexpr kzoOptionSyntax options[] = {
    {"-o", "--output", "FILE", "an option with a value"},
    {nullptr, "--fit", nullptr, "a flag"},
    {nullptr, "--turn", "AXIS=DEG", "a long option with a value"},
};
constexpr kzoProgramSyntax program = {"fuzz", "usage: fuzz [-o FILE] [--fit] [--turn AXIS=DEG] FILES\n", "", options};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> words(1, "fuzz");
    words.emplace_back();
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    std::vector<const char*> argv;
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    argv.push_back(nullptr);
    const kzoParseResult result = kzoReadCommandLine(program, static_cast<int>(words.size()), argv.data());
    if (result.line.arguments.size() + result.line.options.size() > words.size() - 1)
        __builtin_trap();
    for (const kzoGivenOption& given : result.line.options)
        if (given.option >= std::size(options))
            __builtin_trap();
    if ((result.kind == kzoParseResult::Kind::usageError) == result.reason.empty())
        __builtin_trap();
    return 0;
}
