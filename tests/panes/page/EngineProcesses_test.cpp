// The web engine's process flags: no zygote where the sandbox is off, and the user's flags kept.
#include <gtest/gtest.h>

#include "panes/page/EngineProcesses.h"

namespace {

using EngineProcesses::withProcessFlags;

TEST(EngineProcesses, NoZygoteOnlyWhereTheSandboxIsOff)
{
    // With the sandbox on the engine refuses --no-zygote: nothing is added.
    EXPECT_EQ(withProcessFlags("", ""), "");
    EXPECT_EQ(withProcessFlags("--disable-gpu --process-per-site", ""), "--disable-gpu --process-per-site");
    EXPECT_EQ(withProcessFlags("--no-sandboxing", ""), "--no-sandboxing");
    EXPECT_EQ(withProcessFlags("", "0"), "");
    EXPECT_EQ(withProcessFlags("", " "), "");
    // Off by the flag or by the engine's variable.
    EXPECT_EQ(withProcessFlags("--no-sandbox --disable-gpu", ""), "--no-sandbox --disable-gpu --no-zygote");
    EXPECT_EQ(withProcessFlags("  --disable-gpu   --no-sandbox ", ""), "--disable-gpu   --no-sandbox --no-zygote");
    EXPECT_EQ(withProcessFlags("", "1"), "--no-zygote");
}

TEST(EngineProcesses, TheUsersProcessModelStays)
{
    EXPECT_EQ(withProcessFlags("--no-sandbox --no-zygote", ""), "--no-sandbox --no-zygote");
    EXPECT_EQ(withProcessFlags("--no-sandbox --single-process", ""), "--no-sandbox --single-process");
    EXPECT_EQ(withProcessFlags("--single-process", "1"), "--single-process");
}

}  // namespace
