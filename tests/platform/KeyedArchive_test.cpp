#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimeZone>

#include <limits>
#include <optional>

namespace {

// A small two-version record, read the way every archived class reads itself.
struct Marker {
    qint64 block = 0;
    QString name;
    float at = 0;
    bool flagged = false;

    static constexpr qint32 kVersion = 2;

    QVariant encode() const
    {
        KeyedArchiver a("Marker");
        a.encodeInt32("version", kVersion);
        a.encodeInteger("block", block);
        a.encodeString("name", name);
        a.encodeFloat("at", at);
        a.encodeBool("flagged", flagged);
        return a.archivedObject();
    }

    static std::optional<Marker> decode(const QVariant& v)
    {
        KeyedUnarchiver u(v);
        if (!u.isValid() || u.className() != "Marker")
            return std::nullopt;
        Marker m;
        switch (u.decodeInt32("version")) {
        case 1:
            m.name = u.decodeString("label");
            break;
        case 2:
            m.block = u.decodeInteger("block");
            m.name = u.decodeString("name");
            m.at = u.decodeFloat("at");
            m.flagged = u.decodeBool("flagged");
            break;
        default:
            return std::nullopt;
        }
        return m;
    }
};

TEST(KeyedArchiveTest, ObjectsRoundTripThroughAFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("layout archive.plist");
    KeyedArchiver root("Holder");
    root.encodeInt32("version", 1);
    root.encodeInt64("big", std::numeric_limits<qint64>::max());
    root.encodeDouble("ratio", 0.1);
    root.encodeDate("when", QDateTime(QDate(2020, 5, 17), QTime(8, 9, 10), QTimeZone::utc()));
    root.encodeData("blob", QByteArray("\0\1\2", 3));
    root.encodeObject("first", Marker {42, "Genesis 1", 123.456f, true}.encode());
    root.encodeArray("markers",
        {Marker {1, "", 0.5f, false}.encode(), Marker {2, QString::fromUtf8("Ψαλμοί"), -7.25f, true}.encode()});
    root.encodeValue("names", QStringList {"a", "b"});
    PropertyList::Error error;
    ASSERT_TRUE(KeyedArchive::writeFile(path, root.archivedObject(), &error)) << error.message.toStdString();

    const QVariant read = KeyedArchive::readFile(path, &error);
    ASSERT_TRUE(read.isValid()) << error.message.toStdString();
    KeyedUnarchiver u(read);
    EXPECT_EQ(u.className(), "Holder");
    EXPECT_EQ(u.decodeInt64("big"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(u.decodeDouble("ratio"), 0.1);
    EXPECT_EQ(u.decodeDate("when"), QDateTime(QDate(2020, 5, 17), QTime(8, 9, 10), QTimeZone::utc()));
    EXPECT_EQ(u.decodeData("blob"), QByteArray("\0\1\2", 3));
    const auto first = Marker::decode(u.decodeObject("first", "Marker"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->block, 42);
    EXPECT_EQ(first->name, "Genesis 1");
    EXPECT_EQ(first->at, 123.456f);  // a 32-bit float comes back bit for bit
    EXPECT_TRUE(first->flagged);
    const QVariantList markers = u.decodeArray("markers");
    ASSERT_EQ(markers.size(), 2);
    EXPECT_EQ(Marker::decode(markers[1])->name, QString::fromUtf8("Ψαλμοί"));
    EXPECT_EQ(Marker::decode(markers[1])->at, -7.25f);
    EXPECT_TRUE(Marker::decode(markers[0])->name.isEmpty());
    EXPECT_FALSE(Marker::decode(markers[0])->name.isNull());  // an empty string is not nil
    EXPECT_EQ(u.decodeArray("names"), (QVariantList {"a", "b"}));
    EXPECT_FALSE(u.typeMismatch());
}

TEST(KeyedArchiveTest, ReadersSeeUnknownClassesAndVersions)
{
    KeyedArchiver old("Marker");
    old.encodeInt32("version", 1);
    old.encodeString("label", "from version 1");
    EXPECT_EQ(Marker::decode(old.archivedObject())->name, "from version 1");

    KeyedArchiver future("Marker");
    future.encodeInt32("version", 9);
    EXPECT_FALSE(Marker::decode(future.archivedObject()));

    KeyedArchiver other("Bookmark");
    other.encodeInt32("version", 2);
    EXPECT_FALSE(Marker::decode(other.archivedObject()));

    KeyedArchiver holder("Holder");
    holder.encodeObject("item", other);
    KeyedUnarchiver u(holder.archivedObject());
    EXPECT_FALSE(u.decodeObject("item", "Marker").isValid());
    EXPECT_EQ(KeyedArchive::classNameOf(u.decodeObject("item")), "Bookmark");

    // Missing version reads as 0, as every reader expects of an absent integer.
    EXPECT_EQ(KeyedUnarchiver(KeyedArchiver("Marker").archivedObject()).decodeInt32("version"), 0);
}

TEST(KeyedArchiveTest, TypedReadsFallBackAndFlagMismatches)
{
    KeyedArchiver a("Values");
    a.encodeInt64("huge", qint64(1) << 40);
    a.encodeDouble("real", -2.9);
    a.encodeBool("yes", true);
    a.encodeString("text", "12");
    a.encodeString("nil", QString());
    a.encodeObject("none", QVariant());
    KeyedUnarchiver u(a.archivedObject());

    EXPECT_FALSE(u.containsValueForKey("nil"));
    EXPECT_FALSE(u.containsValueForKey("none"));
    EXPECT_TRUE(u.decodeString("nil").isNull());
    EXPECT_EQ(u.decodeString("missing", "fallback"), "fallback");
    EXPECT_EQ(u.decodeInt32("missing", 7), 7);
    EXPECT_FALSE(u.typeMismatch());  // missing keys are not mismatches

    EXPECT_EQ(u.decodeInt64("real"), -2);  // truncated towards zero
    EXPECT_EQ(u.decodeInt32("yes"), 1);
    EXPECT_TRUE(u.decodeBool("real"));
    EXPECT_EQ(u.decodeFloat("huge"), float(qint64(1) << 40));
    EXPECT_FALSE(u.typeMismatch());

    EXPECT_EQ(u.decodeInt32("huge", -1), -1);  // out of 32-bit range
    EXPECT_TRUE(u.typeMismatch());
    KeyedUnarchiver v(a.archivedObject());
    EXPECT_EQ(v.decodeInteger("text", 5), 5);  // a string is no number here
    EXPECT_FALSE(v.decodeObject("text").isValid());
    EXPECT_TRUE(v.decodeArray("text").isEmpty());
    EXPECT_TRUE(v.typeMismatch());
}

TEST(KeyedArchiveTest, NonArchivesAreRefused)
{
    EXPECT_FALSE(KeyedUnarchiver(QVariantMap {{"version", 1}}).isValid());
    EXPECT_FALSE(KeyedUnarchiver(QVariant(3)).isValid());
    EXPECT_EQ(KeyedUnarchiver(QVariant()).decodeInt32("version", -4), -4);

    PropertyList::Error error;
    // A plain property list is not an archive.
    EXPECT_FALSE(KeyedArchive::fromXml(PropertyList::toXml(QVariantMap {{"$class", "X"}}), &error).isValid());
    EXPECT_EQ(error.status, PropertyList::Status::Malformed);
    // An envelope of another format version is refused.
    QByteArray xml = KeyedArchive::toXml(KeyedArchiver("X").archivedObject(), &error);
    ASSERT_FALSE(xml.isEmpty());
    EXPECT_TRUE(KeyedArchive::fromXml(xml, &error).isValid());
    xml.replace("<integer>1</integer>", "<integer>2</integer>");
    EXPECT_FALSE(KeyedArchive::fromXml(xml, &error).isValid());
    EXPECT_TRUE(error.message.contains("format version"));
    // The root must be an archived object.
    EXPECT_TRUE(KeyedArchive::toXml(QVariantMap {{"a", 1}}, &error).isEmpty());
    EXPECT_EQ(error.status, PropertyList::Status::UnsupportedValue);

    QTemporaryDir dir;
    EXPECT_FALSE(KeyedArchive::readFile(dir.filePath("missing.plist"), &error).isValid());
    EXPECT_EQ(error.status, PropertyList::Status::FileNotFound);
}

}  // namespace
