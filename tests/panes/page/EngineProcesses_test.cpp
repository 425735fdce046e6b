// The web engine's flags as the reader hands them: through the application's arguments, with one
// renderer per site and no zygote where the sandbox is off, and the user's flags kept.
#include <gtest/gtest.h>

#include "panes/page/EngineProcesses.h"

namespace {

using EngineProcesses::applicationArguments;
using EngineProcesses::splitFlags;
using EngineProcesses::withProcessFlags;
using Flags = QList<QByteArray>;

TEST(EngineProcesses, ProcessSettingsAreAddedWhereTheyApply)
{
    // With the sandbox on the engine refuses --no-zygote: only the process model is added.
    EXPECT_EQ(withProcessFlags({}, ""), (Flags {"--process-per-site"}));
    EXPECT_EQ(withProcessFlags({"--no-sandboxing"}, "0"), (Flags {"--no-sandboxing", "--process-per-site"}));
    EXPECT_EQ(withProcessFlags({}, " "), (Flags {"--process-per-site"}));
    // Off by the flag or by the engine's variable.
    EXPECT_EQ(withProcessFlags({"--no-sandbox", "--disable-gpu"}, ""),
        (Flags {"--no-sandbox", "--disable-gpu", "--process-per-site", "--no-zygote"}));
    EXPECT_EQ(withProcessFlags({}, "1"), (Flags {"--process-per-site", "--no-zygote"}));
    // A process model the user chose stays.
    EXPECT_EQ(withProcessFlags({"--no-sandbox", "--no-zygote", "--site-per-process"}, ""),
        (Flags {"--no-sandbox", "--no-zygote", "--site-per-process"}));
    EXPECT_EQ(withProcessFlags({"--single-process"}, "1"), (Flags {"--single-process"}));
    EXPECT_EQ(withProcessFlags({"--process-per-site"}, ""), (Flags {"--process-per-site"}));
}

TEST(EngineProcesses, TheFlagsGoAfterTheMarkAndTheProgramKeepsItsOwnArguments)
{
    // The program's own options and book stay in front; the flags follow the mark.
    EXPECT_EQ(applicationArguments({"quillstead", "--reset-layout", "John.tvk"}, {}, false, ""),
        (Flags {"quillstead", "--reset-layout", "John.tvk", "--webEngineArgs", "--process-per-site"}));
    // Flags the user gave after the mark stay, in order, once.
    EXPECT_EQ(applicationArguments({"quillstead", "--webEngineArgs", "--no-sandbox", "--lang=de"}, {}, false, ""),
        (Flags {"quillstead", "--webEngineArgs", "--no-sandbox", "--lang=de", "--process-per-site", "--no-zygote"}));
    // The engine's variable wins over the arguments, as the engine itself has it; its quotes group.
    EXPECT_EQ(splitFlags("  --a  \"--b=x y\"\t--c= \"\" "), (Flags {"--a", "--b=x y", "--c=", ""}));
    EXPECT_EQ(applicationArguments({"quillstead", "Book.tvk", "--WEBENGINEARGS", "--ignored"},
                  " --no-sandbox  --disable-gpu ", true, ""),
        (Flags {"quillstead", "Book.tvk", "--webEngineArgs", "--no-sandbox", "--disable-gpu", "--process-per-site",
            "--no-zygote"}));
    // Set but empty is still the user's word: no flags of theirs.
    EXPECT_EQ(applicationArguments({"quillstead", "--webEngineArgs", "--x"}, "", true, ""),
        (Flags {"quillstead", "--webEngineArgs", "--process-per-site"}));
    EXPECT_EQ(EngineProcesses::programArguments({"quillstead", "a.tvk", "--webengineargs", "--no-sandbox"}),
        (QStringList {"quillstead", "a.tvk"}));
}

}  // namespace
