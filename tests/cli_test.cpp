// The command-line conventions of kzoWrite, kzoView and kzoShot as processes:
// help and version, usage errors with their exit code and reason, "--" and
// "-", and kzoWrite's -o. kzoView runs without a display: a command line that
// reached the window would stop with "WinCreate failed".

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "tests/support/Process.hpp"
#include "tests/support/Scratch.hpp"

namespace {

const std::string binaryDir = KZO_BINARY_DIR;
const std::string sampleObj = std::string(KZO_SOURCE_DIR) + "/assets/sample.obj";
const std::string sampleJpg = std::string(KZO_SOURCE_DIR) + "/assets/sample.jpg";

ProcessResult run(const ScratchDir& dir, const std::string& program, const std::vector<std::string>& args)
{
    ProcessOptions options = inDirectory(dir.path());
    options.unsetEnv.push_back("DISPLAY");
    return runProcess(binaryDir + "/" + program, args, options);
}

struct ProgramOptions {
    const char* program;
    const char* firstLine;               // of the usage, and of the help
    std::vector<const char*> optionNames; // each with a line of its own in the help
};

const std::vector<ProgramOptions> programs = {
    {"kzoWrite", "kzoWrite file.obj file.jpg", {"-o, --output FILE"}},
    {"kzoView", "usage: kzoView [scene.kzo]", {}},
    {"kzoShot", "usage: kzoShot [--frames N] [--hold KEY=N]... [--size WxH] SCENE.kzo OUT.png",
     {"--frames N", "--hold KEY=N", "--size WxH", "--fit", "--turn AXIS=DEG"}},
};

TEST(CommandLine, HelpAndVersionPrintOnStandardOutputAndExitZero)
{
    for (const ProgramOptions& p : programs) {
        for (const char* help : {"-h", "--help"}) {
            ScratchDir dir;
            // Anything after the request is not looked at.
            const ProcessResult r = run(dir, p.program, {help, "--no-such-option", "a", "b", "c"});
            EXPECT_EQ(r.exitCode, 0) << p.program << " " << help;
            EXPECT_EQ(r.err, "");
            const std::vector<std::string> lines = splitLines(r.out);
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines[0], p.firstLine);
            std::vector<const char*> names = p.optionNames;
            names.insert(names.end(), {"-h, --help", "--version"});
            for (const char* name : names) {
                const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
                    return l.find(std::string(name) + "  ") != std::string::npos;
                });
                EXPECT_NE(line, lines.end()) << p.program << ": no help line for " << name;
            }
            EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{});
        }
        ScratchDir dir;
        const ProcessResult r = run(dir, p.program, {"--version"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, std::string(p.program) + " " + KZO_VERSION + "\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST(CommandLine, UsageErrorsPrintTheUsageAndTheReasonAndExitTwo)
{
    struct Case {
        const char* program;
        std::vector<std::string> args;
        std::string reason; // the last line on standard error
    };
    const std::vector<Case> cases = {
        {"kzoWrite", {}, "kzoWrite: no files given: it needs a model (file.obj) and a texture (file.jpg)"},
        {"kzoWrite", {"m.obj", "t.jpg", "out.kzo"},
         "kzoWrite: 3 files given: it takes a model and a texture; the output file is named with -o FILE"},
        {"kzoWrite", {"--bogus", "m.obj", "t.jpg"}, "kzoWrite: unknown option --bogus"},
        {"kzoWrite", {"m.obj", "t.jpg", "-o"}, "kzoWrite: -o needs a value (FILE)"},
        {"kzoWrite", {"--output=", "m.obj", "t.jpg"}, "kzoWrite: -o needs a file name, got \"\""},
        {"kzoView", {"a.kzo", "b.kzo"}, "kzoView: 2 scene files given; it shows one"},
        {"kzoView", {"-x"}, "kzoView: unknown option -x"},
        {"kzoShot", {"s.kzo", "out.jpg"},
         "kzoShot: the output file is a PNG picture and its name must end in .png, got \"out.jpg\""},
        {"kzoShot", {"s.kzo", "png"}, "kzoShot: the output file is a PNG picture and its name must end in .png, got \"png\""},
        {"kzoShot", {"--turn", "z=30", "s.kzo", "o.png"},
         "kzoShot: --turn wants x=DEG or y=DEG with DEG a number of degrees, got \"z=30\""},
        {"kzoShot", {"--turn=y=ten", "s.kzo", "o.png"},
         "kzoShot: --turn wants x=DEG or y=DEG with DEG a number of degrees, got \"y=ten\""},
        {"kzoShot", {"--turn", "y=inf", "s.kzo", "o.png"},
         "kzoShot: --turn wants x=DEG or y=DEG with DEG a number of degrees, got \"y=inf\""},
        {"kzoShot", {"--fit=yes", "s.kzo", "o.png"}, "kzoShot: unknown option --fit=yes"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        writeText(dir.file("logger.log"), "old log");
        const ProcessResult r = run(dir, c.program, c.args);
        const std::string what = std::string(c.program) + " " + std::to_string(c.args.size()) + " arguments";
        EXPECT_EQ(r.exitCode, 2) << what;
        const std::vector<std::string> err = splitLines(r.err);
        ASSERT_FALSE(err.empty()) << what;
        EXPECT_EQ(err.back(), c.reason) << what;
        // The usage comes first: kzoWrite's first line where it always was.
        const ProgramOptions& p = *std::find_if(programs.begin(), programs.end(),
                                                [&](const ProgramOptions& o) { return o.program == std::string(c.program); });
        if (std::string(c.program) == "kzoWrite") {
            EXPECT_EQ(r.out, "kzoWrite file.obj file.jpg\n") << what;
            EXPECT_EQ(err.front(), "kzoWrite -o FILE file.obj file.jpg") << what;
        } else {
            EXPECT_EQ(r.out, "") << what;
            EXPECT_EQ(err.front(), p.firstLine) << what;
        }
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{}) << what << ": the old log goes, nothing comes";
    }
}

TEST(CommandLine, DoubleDashEndsTheOptionsAndALoneDashIsAFileName)
{
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const std::vector<Case> cases = {
        {{"--", "-m.obj", "-t.jpg"}, "OBJ File -m.obj does not exist!\nJPG File -t.jpg does not exist!\n"},
        {{"-", "--", "--help"}, "OBJ File - does not exist!\nJPG File --help does not exist!\n"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        const ProcessResult r = run(dir, "kzoWrite", c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(CommandLine, KzoWriteOutputOptionWritesThereAndKeepsAGoodFileOnFailure)
{
    ScratchDir dir;
    ASSERT_EQ(run(dir, "kzoWrite", {sampleObj, sampleJpg}).exitCode, 0);
    const std::vector<std::uint8_t> expected = readFile(dir.file("test.kzo"));
    ASSERT_EQ(runProcess("/bin/mkdir", {dir.file("out")}).exitCode, 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-o", "out/a.kzo", sampleObj, sampleJpg},
                                                  std::vector<std::string>{sampleObj, "--output=out/a.kzo", sampleJpg}}) {
        const ProcessResult r = run(dir, "kzoWrite", args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("Saving out/a.kzo\n"), std::string::npos) << r.out;
        EXPECT_EQ(readFile(dir.file("out/a.kzo")), expected);
    }
    EXPECT_EQ(listDir(dir.file("out")), std::vector<std::string>{"a.kzo"});

    // A write stopped part-way (16 KB file-size limit, SIGXFSZ ignored) leaves the good file.
    const std::string program = binaryDir + "/kzoWrite";
    const ProcessResult r = runInChild(
        [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{16384, 16384};
            setrlimit(RLIMIT_FSIZE, &limit);
            execl(program.c_str(), program.c_str(), "-o", "out/a.kzo", sampleObj.c_str(), sampleJpg.c_str(), nullptr);
            return 127;
        },
        inDirectory(dir.path()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "out/a.kzo: File too large\n");
    EXPECT_EQ(readFile(dir.file("out/a.kzo")), expected);
    EXPECT_EQ(listDir(dir.file("out")), std::vector<std::string>{"a.kzo"});
}

} // namespace
