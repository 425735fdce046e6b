#include "reports/AutoStudyElements.h"

#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

namespace {

// The warnings logged while `run` runs.
QStringList warningsDuring(const std::function<void()>& run)
{
    static QStringList* caught = nullptr;
    QStringList warnings;
    caught = &warnings;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg && caught != nullptr)
                caught->append(text);
        });
    run();
    qInstallMessageHandler(previous);
    caught = nullptr;
    return warnings;
}

class AutoStudyElementsTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("Autostudy/AutoStudyElements.v1.xml")); }
    void writeRaw(const QByteArray& bytes)
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("Autostudy")));
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(AutoStudyElementsTest, MissingFileResetsAndWritesVersionOneFormatThree)
{
    auto set = AutoStudyElements::autoStudyElementsWithContentsOfFile(path());
    EXPECT_EQ(set.version(), 1);
    EXPECT_EQ(set.toPropertyList().value(AutoStudyElements::fileFormatKey).toLongLong(), 3);
    EXPECT_FALSE(set.dataChanged());
    const QVariantMap root = PropertyList::readFile(path()).toMap();
    EXPECT_EQ(root.value(QStringLiteral("version")).toLongLong(), 1);
    EXPECT_EQ(root.value(QStringLiteral("format")).toLongLong(), 3);
    EXPECT_FALSE(root.contains(QStringLiteral("verseStudyElements")));  // lists come lazily

    // The next load takes that file; the getters install the defaults.
    AutoStudyElements again;
    EXPECT_TRUE(
        warningsDuring([&] { again = AutoStudyElements::autoStudyElementsWithContentsOfFile(path()); }).isEmpty());
    ASSERT_EQ(again.verseStudyElements().size(), 7);
    EXPECT_EQ(again.verseStudyElements().at(6).elementID, 10);
    EXPECT_EQ(again.verseStudyElements().at(6).detailText, QStringLiteral("Nothing to select"));
    EXPECT_EQ(again.wordStudyElements().at(0).text, QStringLiteral("Dictionary Definitions"));
    EXPECT_EQ(again.todayStudyElements().size(), 2);
    ASSERT_EQ(again.navigatorStudyElements().size(), 5);
    EXPECT_TRUE(again.navigatorStudyElements().at(0).checked);
    EXPECT_FALSE(again.navigatorStudyElements().at(1).checked);
    EXPECT_TRUE(again.dataChanged());
}

TEST_F(AutoStudyElementsTest, RoundTripKeepsOrderFlagsBooksAndUnknownKeys)
{
    auto set = AutoStudyElements::autoStudyElementsWithContentsOfFile(path());
    auto& verse = set.verseStudyElements();
    verse.move(0, 3);
    verse[1].checked = false;
    AutoStudyBook kjv {2, 7, 3, 1, false, QStringLiteral("KJV"), QStringLiteral("King James: 1769 (KJV)")};
    AutoStudyBook web {2, 9, 1, 1, true, QStringLiteral("WEB \"&<x>"), QStringLiteral("Wörld English (WEB)")};
    AutoStudyElements::elementDictionaryForID(1, verse)->bookArray = {kjv, web};
    set.todayStudyElements()[0].bookArray.append(web);
    set.setDataChanged();
    ASSERT_TRUE(set.save());
    EXPECT_FALSE(set.dataChanged());

    auto loaded = AutoStudyElements::autoStudyElementsWithContentsOfFile(path());
    EXPECT_EQ(loaded.verseStudyElements(), set.verseStudyElements());
    EXPECT_EQ(loaded.todayStudyElements(), set.todayStudyElements());
    EXPECT_EQ(loaded.verseStudyElements().at(3).elementID, 1);
    EXPECT_FALSE(loaded.dataChanged());

    // The written dictionary uses the documented keys and types.
    const QVariantMap root = PropertyList::readFile(path()).toMap();
    const QVariantMap bible = root.value(QStringLiteral("verseStudyElements")).toList().at(3).toMap();
    EXPECT_EQ(bible.value(QStringLiteral("elementID")).toLongLong(), 1);
    const QVariantMap book = bible.value(QStringLiteral("bookArray")).toList().at(0).toMap();
    EXPECT_EQ(book.size(), 7);
    EXPECT_EQ(book.value(QStringLiteral("pubID")).toLongLong(), 2);
    EXPECT_EQ(book.value(QStringLiteral("checked")).typeId(), QMetaType::Bool);
    EXPECT_EQ(book.value(QStringLiteral("text")).toString(), QStringLiteral("KJV"));

    // Unknown root keys survive a rewrite.
    QVariantMap edited = root;
    edited.insert(QStringLiteral("futureKey"), QStringLiteral("kept"));
    ASSERT_TRUE(PropertyList::writeFile(path(), edited));
    auto third = AutoStudyElements::autoStudyElementsWithContentsOfFile(path());
    third.setDataChanged();
    ASSERT_TRUE(third.save());
    EXPECT_EQ(
        PropertyList::readFile(path()).toMap().value(QStringLiteral("futureKey")).toString(), QStringLiteral("kept"));
}

TEST_F(AutoStudyElementsTest, DamagedFilesAreRefusedWithAMessageAndReplaced)
{
    const QByteArray cases[] = {
        QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>version</key><integer>2"),
        QByteArray("not a property list at all \x01\x02"),
        QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer></array></plist>"),
        QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>version</key><integer>2</integer>"
                   "<key>format</key><integer>2</integer></dict></plist>"),
        QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>version</key><integer>0</integer>"
                   "<key>format</key><integer>3</integer></dict></plist>"),
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(bytes.toStdString());
        writeRaw(bytes);
        AutoStudyElements set;
        const QStringList warned =
            warningsDuring([&] { set = AutoStudyElements::autoStudyElementsWithContentsOfFile(path()); });
        ASSERT_EQ(warned.size(), 1);
        EXPECT_TRUE(warned[0].contains(QStringLiteral("could not be used"))) << warned[0].toStdString();
        EXPECT_EQ(set.version(), 1);
        const QVariantMap root = PropertyList::readFile(path()).toMap();
        EXPECT_EQ(root.value(QStringLiteral("format")).toLongLong(), 3);
        EXPECT_EQ(set.verseStudyElements().size(), 7);
    }
}

TEST_F(AutoStudyElementsTest, ShortOrMistypedListsAndEntries)
{
    auto set = AutoStudyElements::autoStudyElementsWithContentsOfFile(path());
    QVariantMap root = set.toPropertyList();
    QVariantList verse;
    for (int i = 0; i < 5; ++i)
        verse.append(QVariantMap {{QStringLiteral("elementID"), 1}});
    root.insert(QStringLiteral("verseStudyElements"), verse);
    root.insert(QStringLiteral("wordStudyElements"),
        QVariantList {QVariantMap {{QStringLiteral("elementID"), 5},
                          {QStringLiteral("bookArray"), QVariantList {QStringLiteral("junk"), QVariantMap {}}}},
            QStringLiteral("not an element"), QVariantMap {{QStringLiteral("elementID"), 99}}});
    root.insert(QStringLiteral("todayStudyElements"), QStringLiteral("not a list"));
    ASSERT_TRUE(PropertyList::writeFile(path(), root));

    auto loaded = AutoStudyElements::autoStudyElementsWithContentsOfFile(path());
    EXPECT_EQ(loaded.verseStudyElements().size(), 7);
    EXPECT_TRUE(loaded.verseStudyElements().at(0).bookArray.isEmpty());
    ASSERT_EQ(loaded.wordStudyElements().size(), 1);  // one good element stays as it is
    ASSERT_EQ(loaded.wordStudyElements().at(0).bookArray.size(), 1);
    EXPECT_FALSE(AutoStudyElements::sourceTupleIDForBook(loaded.wordStudyElements().at(0).bookArray.at(0)));
    EXPECT_EQ(loaded.todayStudyElements().size(), 2);
}

TEST_F(AutoStudyElementsTest, LookupsAndCounts)
{
    auto set = AutoStudyElements::autoStudyElementsWithContentsOfFile(path());
    auto& nav = set.navigatorStudyElements();
    AutoStudyElement& comm = *AutoStudyElements::elementDictionaryForID(3, nav);
    comm.bookArray = {{5, 6, 1, 1, false, "A", "A"}, {5, 6, 2, 1, true, "B", "B"}, {5, 8, 1, 1, true, "C", "C"}};
    EXPECT_EQ(AutoStudyElements::bookDictionaryForSourceTupleID(SourceTupleID(5, 6, 2, 1), comm)->text, "A");
    EXPECT_EQ(AutoStudyElements::bookDictionaryForSourceTupleID(SourceTupleID(5, 6, 9, 9), comm)->text, "A");
    EXPECT_EQ(AutoStudyElements::bookDictionaryForSourceTupleID(SourceTupleID(5, 7, 1, 1), comm), nullptr);
    EXPECT_EQ(AutoStudyElements::elementDictionaryForID(4, nav), nullptr);
    EXPECT_TRUE(AutoStudyElements::studyKeyAtIndex(4).isEmpty());
    EXPECT_FALSE(AutoStudyElements::defaultDataForStudy(3, 10));
    EXPECT_EQ(AutoStudyElements::defaultDataForStudy(0, 10)->text, QStringLiteral("My Notes"));

    // save does nothing at version 0.
    ASSERT_TRUE(QFile::remove(path()));
    set.setVersion(0);
    EXPECT_TRUE(set.save());
    EXPECT_FALSE(QFile::exists(path()));
}

}  // namespace
