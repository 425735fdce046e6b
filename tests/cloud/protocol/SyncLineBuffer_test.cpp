#include "cloud/protocol/SyncLineBuffer.h"

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
    EXPECT_EQ(line, QByteArray("12345678GOT\x1fTIME"));
    ASSERT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line,
        QByteArray("abcdefghSYNC\x1f"
                   "COMPLETE"));
    EXPECT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::NeedMore);
    EXPECT_EQ(buffer.pendingBytes(), 7);
    buffer.append("\x1e\x1e");
    ASSERT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("partial"));
    ASSERT_EQ(buffer.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_TRUE(line.isEmpty());
}

TEST(SyncLineBuffer, DropsTheGreetingOnlyAtTheFront)
{
    SyncLineBuffer client(true);
    QByteArray line;
    client.append("Hi!\r\n");
    EXPECT_EQ(client.pendingBytes(), 0);
    client.append("Hi!");
    client.append("\r\nxxxxxxxxA\x1fHi!\r\n\x1e");
    ASSERT_EQ(client.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("xxxxxxxxA\x1fHi!\r\n"));
    SyncLineBuffer server(false);
    server.append("Hi!\r\nX\x1e");
    ASSERT_EQ(server.nextLine(line), SyncLineBuffer::Result::Line);
    EXPECT_EQ(line, QByteArray("Hi!\r\nX"));
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
}
