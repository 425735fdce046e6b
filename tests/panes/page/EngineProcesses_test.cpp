// The web engine's process flags: no zygote where the sandbox is off, and the user's flags kept.
#include <gtest/gtest.h>

#include "panes/page/EngineProcesses.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

TEST(EngineProcesses, TheEngineProgramIsFoundBesideTheReaderOrInItsLibexec)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDir root(dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")) && root.mkpath(QStringLiteral("libexec/quillstead")));
    const auto place = [&](const QString& path, bool executable) {
        QFile file(root.filePath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.setPermissions(executable ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner);
    };
    const QString reader = root.filePath(QStringLiteral("bin/quillstead"));
    EXPECT_EQ(EngineProcesses::engineProgramFor(reader), QString());
    place(QStringLiteral("bin/quillstead-engine"), false);  // not a program: passed over
    EXPECT_EQ(EngineProcesses::engineProgramFor(reader), QString());
    place(QStringLiteral("libexec/quillstead/quillstead-engine"), true);
    EXPECT_EQ(EngineProcesses::engineProgramFor(reader),
        root.filePath(QStringLiteral("libexec/quillstead/quillstead-engine")));
    place(QStringLiteral("bin/quillstead-engine"), true);
    EXPECT_EQ(EngineProcesses::engineProgramFor(reader), root.filePath(QStringLiteral("bin/quillstead-engine")));
}

}  // namespace
