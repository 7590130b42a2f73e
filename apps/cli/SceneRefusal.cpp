#include "apps/cli/SceneRefusal.hpp"

#include <iostream>
#include <streambuf>

#include "fileio/FileImport.hpp"

namespace {

constexpr std::string_view errorPrefix = "ERROR: ";

// Passes every character on to the stream buffer it replaces and keeps the
// last line that began with "ERROR: ".
class ErrorLineTap final : public std::streambuf {
public:
    explicit ErrorLineTap(std::streambuf* next) : next_(next) {}
    const std::string& lastError() const { return lastError_; }

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        if (ch == '\n') {
            if (line_.starts_with(errorPrefix))
                lastError_ = line_.substr(errorPrefix.size());
            line_.clear();
        } else {
            line_ += ch;
        }
        return next_->sputc(ch);
    }
    int sync() override { return next_->pubsync(); }

private:
    std::streambuf* next_;
    std::string line_;
    std::string lastError_;
};

// Puts the tap in front of standard output for its lifetime.
class TapStandardOutput {
public:
    TapStandardOutput() : tap_(std::cout.rdbuf()) { previous_ = std::cout.rdbuf(&tap_); }
    ~TapStandardOutput() { std::cout.rdbuf(previous_); }
    TapStandardOutput(const TapStandardOutput&) = delete;
    TapStandardOutput& operator=(const TapStandardOutput&) = delete;
    const std::string& lastError() const { return tap_.lastError(); }

private:
    ErrorLineTap tap_;
    std::streambuf* previous_ = nullptr;
};

} // namespace

bool kzoLoadSceneOrReason(const std::string& fileName, kzoScene& scene, const peltoImage& frame,
                          std::string& reason)
{
    // The tap holds no characters back: when LoadScene ends the program (a
    // file that cannot be read) everything printed has already gone on.
    const TapStandardOutput tap;
    if (LoadScene(fileName, scene, frame))
        return true;
    const std::string& error = tap.lastError();
    if (error.empty())
        reason = fileName + ": not a kzo scene file (it does not begin with \"KZO\")";
    else if (error.starts_with(fileName + ": "))
        reason = error;
    else
        reason = fileName + ": " + error;
    return false;
}
