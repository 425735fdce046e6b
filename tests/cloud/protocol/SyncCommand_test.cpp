#include "cloud/protocol/ScrambledText.h"
#include "cloud/protocol/SyncCommand.h"

#include <gtest/gtest.h>

using namespace qs::cloud;

namespace {

QByteArray bytes(const char* s, int n)
{
    return QByteArray(s, n);
}

}  // namespace

TEST(SyncCommand, WritesLinesByteForByte)
{
    EXPECT_EQ(SyncCommand(QStringLiteral("DISCONNECT"), QString()).clientLine(), bytes("DISCONNECT\x1f\x1e", 12));
    EXPECT_EQ(SyncCommand(QStringLiteral("SYNC"), QStringLiteral("COMPLETE")).clientLine(),
        bytes("SYNC\x1f"
              "COMPLETE\x1e",
            14));
    EXPECT_EQ(
        SyncCommand(QStringLiteral("COUNT"), QStringLiteral("BIBLEBOOKMARKS"), {QStringLiteral("-1")}).clientLine(),
        QByteArray("COUNT\x1f"
                   "BIBLEBOOKMARKS\x1f"
                   "-1\x1e"));
    // Text goes out as UTF-8; separators inside a component are removed rather than cutting the line.
    SyncCommand add(QStringLiteral("ADD"), QStringLiteral("BIBLENOTES"),
        {QStringLiteral("4"), QStringLiteral("2026-01-02 03:04:05.000"), QStringLiteral("43"), QStringLiteral("3"),
            QStringLiteral("16"),
            QStringLiteral("<p>a\x1e"
                           "b\x1f"
                           "c \u00e9</p>")});
    EXPECT_EQ(add.clientLine(),
        QByteArray("ADD\x1f"
                   "BIBLENOTES\x1f"
                   "4\x1f"
                   "2026-01-02 03:04:05.000\x1f"
                   "43\x1f"
                   "3\x1f"
                   "16\x1f"
                   "<p>abc \xc3\xa9</p>\x1e"));
    // A server line carries an 8-character lead field.
    EXPECT_EQ(SyncCommand(QStringLiteral("GOT"), QStringLiteral("TIME"), {QStringLiteral("x")})
                  .serverLine(QStringLiteral("42")),
        QByteArray("42      GOT\x1fTIME\x1fx\x1e"));
    EXPECT_EQ(
        SyncCommand(QStringLiteral("SYNC"), QStringLiteral("COMPLETE")).serverLine(QStringLiteral("123456789\x01")),
        QByteArray("12345678SYNC\x1f"
                   "COMPLETE\x1e"));
}

TEST(SyncCommand, ReadsReceivedLines)
{
    SyncCommand got = SyncCommand::fromReceivedText(QStringLiteral("abcdefghGOT\x1fTIME\x1f"
                                                                   "a\x1f"
                                                                   "b\x1e"));
    EXPECT_EQ(got.verb(), QStringLiteral("GOT"));
    EXPECT_EQ(got.noun(), QStringLiteral("TIME"));
    EXPECT_EQ(got.parameters(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(got.paramAtIndex(5), QString());
    EXPECT_EQ(got.paramAtIndex(-1), QString());
    EXPECT_EQ(got.verbNumber(), SyncCommand::Got);
    EXPECT_EQ(got.nounNumber(), SyncCommand::Time);
    // Eight characters before RS are kept whole.
    EXPECT_EQ(SyncCommand::fromReceivedText(QStringLiteral("ABCDEFGH\x1e")).verb(), QStringLiteral("ABCDEFGH"));
    // The alternative form: "$" and CR LF; eight characters, nothing dropped.
    SyncCommand alt = SyncCommand::fromReceivedText(QStringLiteral("GOT$TIME\r\n"));
    EXPECT_TRUE(alt.altSep());
    EXPECT_EQ(alt.verb(), QStringLiteral("GOT"));
    EXPECT_EQ(alt.noun(), QStringLiteral("TIME"));
    EXPECT_TRUE(SyncCommand::fromReceivedText(QStringLiteral("\r\n\r\n")).verb().isEmpty());
    // A client line has no lead field.
    SyncCommand count = SyncCommand::fromReceivedBytes(QByteArray("COUNT\x1f"
                                                                  "BIBLENOTES\x1f"
                                                                  "-1"),
        false);
    EXPECT_EQ(count.verbNumber(), SyncCommand::Count);
    EXPECT_EQ(count.nounNumber(), SyncCommand::BibleNotes);
    EXPECT_EQ(count.paramAtIndex(0), QStringLiteral("-1"));
    EXPECT_EQ(count.parameterCount(), 1);
    // Bytes that are not UTF-8 still make a command (the verb is then unknown).
    EXPECT_EQ(
        SyncCommand::fromReceivedBytes(QByteArray("\xff\xfe\x1f\x80"), false).verbNumber(), SyncCommand::kNotFound);
}

TEST(SyncCommand, ADamagedLeadFieldIsCutAsBytes)
{
    // A lead of eight bytes before a multi-byte character: the fields keep that character whole.
    const QByteArray received = QByteArray("12345678GOT\x1fNOTES\x1f") + QStringLiteral("caf\u00e9").toUtf8() + "\x1e";
    const SyncCommand got = SyncCommand::fromReceivedBytes(received, true);
    EXPECT_EQ(got.verb(), QStringLiteral("GOT"));
    EXPECT_EQ(got.paramAtIndex(0), QStringLiteral("caf\u00e9"));

    // A lead that is itself damaged (a four-byte character across its end): whatever the verb reads,
    // the line written from it reads back to the same fields.
    const QByteArray damaged("Hi!\xf3\xbe\xbb\xb2\x1f!\xf3\xbe\xbb\xb2\x1f"
                             "BIBLGE0\x1f"
                             "0OTS-\x1e");
    const SyncCommand command = SyncCommand::fromReceivedBytes(damaged, true);
    const SyncCommand again = SyncCommand::fromReceivedBytes(command.clientLine(), false);
    EXPECT_EQ(again.verb(), command.verb());
    EXPECT_EQ(again.noun(), command.noun());
    EXPECT_EQ(again.parameters(), command.parameters());
    // Without a lead the same bytes read as they stand.
    EXPECT_EQ(SyncCommand::fromReceivedBytes(damaged, false).noun(), QStringLiteral("!\U000FEEF2"));
}

TEST(SyncCommand, TablesAreExactAndCaseSensitive)
{
    EXPECT_EQ(SyncCommand::verbWords().size(), 13);
    EXPECT_EQ(SyncCommand::nounWords().size(), 17);
    EXPECT_EQ(SyncCommand::verbNum(QStringLiteral("DELETED")), SyncCommand::Deleted);
    EXPECT_EQ(SyncCommand::verbNum(QStringLiteral("connect")), SyncCommand::kNotFound);
    EXPECT_EQ(SyncCommand::nounNum(QStringLiteral("PROGRAMSETTINGS")), 16);
    EXPECT_EQ(SyncCommand::nounNum(QStringLiteral("")), SyncCommand::kNotFound);
    EXPECT_TRUE(SyncCommand::isRecordTypeNoun(SyncCommand::BibleBookmarks));
    EXPECT_FALSE(SyncCommand::isRecordTypeNoun(SyncCommand::Complete));
}

TEST(SyncCommand, SettersEditFieldsInPlace)
{
    SyncCommand c;
    c.setNoun(QStringLiteral("TIME"));
    EXPECT_EQ(c.verb(), QString());
    c.setVerb(QStringLiteral("GET"));
    c.setParameters({QStringLiteral("1"), QStringLiteral("2")});
    c.setParameters({QStringLiteral("3")});
    EXPECT_EQ(c.stringValue(),
        QStringLiteral("GET\x1fTIME\x1f"
                       "3\x1e"));
    EXPECT_EQ(SyncCommand().stringValue(), QStringLiteral("\x1f\x1e"));
}

TEST(SyncCommand, ConnectCarriesOneScrambledParameter)
{
    SyncLoginValues login {QStringLiteral("ann@x.org"), QStringLiteral("p\x1fw \u00e9"),
        QStringLiteral("org.qs/Mac OSX"), QStringLiteral("0.1"), QStringLiteral("dev"), QStringLiteral("My Mac")};
    const QByteArray line = login.connectCommand().clientLine();
    ASSERT_TRUE(line.startsWith("CONNECT\x1fUSER\x1f"));
    ASSERT_TRUE(line.endsWith('\x1e'));
    const SyncCommand received = SyncCommand::fromReceivedBytes(line, false);
    ASSERT_EQ(received.parameterCount(), 1);
    const auto back = SyncLoginValues::fromScrambledParameter(received.paramAtIndex(0));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->customerId, login.customerId);
    EXPECT_EQ(back->password, QStringLiteral("pw \u00e9"));  // the separator could not travel
    EXPECT_EQ(back->deviceName, login.deviceName);
    // Anything else is refused: other pads, wrong value counts, garbage.
    EXPECT_FALSE(SyncLoginValues::fromScrambledParameter(scrambleText(QStringLiteral("a\x1f"
                                                                                     "b"),
        ScramblePad::SyncConnect)));
    EXPECT_FALSE(SyncLoginValues::fromScrambledParameter(
        scrambleText(login.toList().join(QChar(0x1f)), ScramblePad::WebScript)));
    EXPECT_FALSE(SyncLoginValues::fromScrambledParameter(QStringLiteral("garbage")));
    // Other lines are not scrambled.
    EXPECT_EQ(SyncCommand(QStringLiteral("GET"), QStringLiteral("TIME"), {QStringLiteral("t")}).clientLine(),
        QByteArray("GET\x1fTIME\x1ft\x1e"));
}
