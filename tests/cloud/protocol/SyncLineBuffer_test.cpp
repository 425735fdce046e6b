#include "cloud/protocol/SyncLineBuffer.h"

#include "cloud/protocol/SyncCommand.h"

#include <gtest/gtest.h>

using namespace qs::cloud;

TEST(SyncLineBuffer, CutsLinesAcrossReads)
{
    SyncLineBuffer buffer;
    QByteArray line;
    buffer.append("12345678GOT\x1fTI");
    EXPECT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::NeedMore);
    buffer.append("ME\x1e"
                  "abcdefghSYNC\x1f"
                  "COMPLETE\x1e"
                  "partial");
    ASSERT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("12345678GOT\x1fTIME\x1e"));
    ASSERT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line,
        QByteArray("abcdefghSYNC\x1f"
                   "COMPLETE\x1e"));
    EXPECT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::NeedMore);
    buffer.append("\x1e\x1e");
    ASSERT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("partial\x1e"));
    ASSERT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("\x1e"));
}

TEST(SyncLineBuffer, DropsTheGreetingOnlyAtTheFront)
{
    SyncLineBuffer client(true);
    QByteArray line;
    client.append("Hi!\r\n");
    client.append("Hi!");
    client.append("\r\nxxxxxxxxA\x1fHi!\r\n\x1e");
    ASSERT_EQ(client.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("xxxxxxxxA\x1fHi!\r\n\x1e"));
    SyncLineBuffer server(false);
    server.append("Hi!\r\nX\x1e");
    ASSERT_EQ(server.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("Hi!\r\nX\x1e"));
}

TEST(SyncLineBuffer, RefusesLinesPastTheLimit)
{
    SyncLineBuffer buffer(false, 16);
    QByteArray line;
    buffer.append(QByteArray(16, 'a'));
    EXPECT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::NeedMore);
    buffer.append("b");
    EXPECT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Overflow);
    SyncLineBuffer second(false, 4);
    second.append("ab\x1e"
                  "abcdefg\x1e");
    ASSERT_EQ(second.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(second.nextLine(line), SyncLineBuffer::Result::Overflow);

    // A receiver may pass the long line over: its bytes go as they come, up to its separator, and the
    // line after it reads whole.
    buffer.skipLongLine();
    EXPECT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::NeedMore);
    buffer.append(QByteArray(40, 'c'));
    EXPECT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::NeedMore);
    buffer.append("c\x1enext\x1eto");
    ASSERT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("next\x1e"));
    EXPECT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::NeedMore);
    second.skipLongLine();
    EXPECT_EQ(second.nextLine(line), SyncLineBuffer::Result::NeedMore);
    second.append("x\x1e");
    ASSERT_EQ(second.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("x\x1e"));
}

// A line's last parameter may end in line breaks (a note of several paragraphs): the line as the
// buffer hands it out still reads in the standard form, its breaks and any "$" kept.
TEST(SyncLineBuffer, ALineEndingInALineBreakReadsWhole)
{
    const QString note = QStringLiteral("<p>a $5 gift</p>\r\n<p>two</p>\n");
    const QByteArray sent = SyncCommand(QStringLiteral("ADD"), QStringLiteral("BIBLENOTES"),
        {QStringLiteral("7"), QStringLiteral("2026-01-01 00:00:00.000"), QStringLiteral("40"), QStringLiteral("5"),
            QStringLiteral("3"), note})
                                .clientLine();
    for (bool server : {false, true}) {
        SyncLineBuffer buffer(!server);
        buffer.append(server ? sent : QByteArray("00000001") + sent);
        QByteArray line;
        ASSERT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Line);
        const SyncCommand got = SyncCommand::fromReceivedBytes(line, !server);
        EXPECT_FALSE(got.altSep());
        EXPECT_EQ(got.verb(), QStringLiteral("ADD"));
        EXPECT_EQ(got.noun(), QStringLiteral("BIBLENOTES"));
        EXPECT_EQ(got.parameterCount(), 6);
        EXPECT_EQ(got.paramAtIndex(5), note);
    }
}
