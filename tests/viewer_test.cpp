// kzoView without an X server: it stops at OpenDisplay, before any file is read.

#include <gtest/gtest.h>

#include "tests/support/Process.hpp"
#include "tests/support/Scratch.hpp"

namespace {

TEST(Viewer, NoDisplayIsWinCreateFailedWithExitOneBeforeTheFileIsRead)
{
    ScratchDir dir;
    ProcessOptions options = inDirectory(dir.path());
    options.unsetEnv.push_back("DISPLAY");
    const ProcessResult r = runProcess(std::string(KZO_BINARY_DIR) + "/kzoView", {"nowhere.kzo"}, options);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "WinCreate failed\n");
    EXPECT_EQ(readText(dir.file("logger.log")), "MESSAGE: WinCreate failed\r\nWinCreate failed\r\n");
}

} // namespace
