// The library's archives under failure, the reference-table refresh, the dictionary reclassification
// and books the reader is too old for. A program of its own: the refresh changes process-wide
// reference state.
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"

#include "LibraryTestSupport.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "engine/references/BibleRef.h"
#include "engine/references/cBibleRef.h"
#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <set>

using namespace LibraryTest;

namespace {

struct Place {
    QTemporaryDir dir;
    QString books = dir.path() + "/books";
    QString cache = dir.path() + "/cache";
    QString refused = dir.path() + "/refused";
    Place()
    {
        QDir().mkpath(books);
        QDir().mkpath(cache);
    }
    SourceManager::Folders folders() const
    {
        SourceManager::Folders f;
        f.books = books;
        f.cache = cache;
        f.refused = refused;
        return f;
    }
};

std::vector<uint8_t> tableFile(uint32_t version)
{
    const std::string text =
        "*** a table no newer than the one loaded\n+++ Header\nVersion=" + std::to_string(version) +
        "\nCount=0\n--- End\n+++ Data\n\"A\"\n--- End\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool translationKnown(const char* abbreviation)
{
    std::int32_t position = 0;
    int number = 0;
    return cBibleRef::matchTranslationAbbreviation(abbreviation, position, number) && number > 0;
}

QStringList archiveUuids(const QString& cache)
{
    QStringList out;
    for (const QString& name : SourceManager::archiveFileNames())
        out << KeyedArchive::readFile(cache + "/" + name).toMap().value("uuid").toString();
    return out;
}

}  // namespace

TEST(SourceManagerArchive, ReferenceTablesLoadByTheirVersionRuleAndCustomBiblesRegister)
{
    Place p;
    ASSERT_FALSE(translationKnown("QSTV"));
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Bible;
    b.info.bookName = "Quillstead Test Version";
    b.info.abbreviatedTitle = "QSTV";
    b.info.publisherId = 95;
    b.info.bookId = 1;
    b.info.bibleBooks = "1,2,40";
    b.info.tableVersions[5] = BibleRef::verseMapVersion();     // equal: not loaded
    b.info.tableVersions[7] = BibleRef::fixUpRefMapVersion();  // equal: loaded all the same
    b.addSection({"Genesis", 1, "Genesis", BkSyncFormat::bibleKey(1, 0, 0)});
    b.addSection({"1", 2, "In the beginning.", BkSyncFormat::bibleKey(1, 1, 1)});
    b.addBibleRefFile("VerseMap.csv", tableFile(BibleRef::verseMapVersion()));
    b.addBibleRefFile("FixUpRefMap.csv", tableFile(BibleRef::fixUpRefMapVersion()));
    ASSERT_TRUE(b.writeFile((p.books + "/qstv.tvk").toStdString()));

    SourceManager m(p.folders());
    ASSERT_EQ(1, m.allSources()->count());
    const auto bible = m.allSources()->tupleAtIndex(0);
    EXPECT_TRUE(bible->isABible());
    EXPECT_EQ(QStringLiteral("1,2,40"), bible->record().bibleBooks);
    EXPECT_EQ(1, m.customBibles()->count());
    const QString folder = p.cache + "/TVK Substorage Files/95/1-1-1";
    EXPECT_TRUE(QFile::exists(folder + "/FixUpRefMap.csv"));
    EXPECT_FALSE(QFile::exists(folder + "/VerseMap.csv"));
    // No table was newer, but the Bible has its own versification: it registers itself.
    EXPECT_TRUE(translationKnown("QSTV"));

    // A book that is no Bible refreshes nothing.
    ASSERT_TRUE(writeSmallBook(p.books + "/plain.tvk", 95, 2));
    const auto plain = m.addNewSource(p.books + "/plain.tvk");
    ASSERT_NE(nullptr, plain);
    EXPECT_FALSE(QDir(p.cache + "/TVK Substorage Files/95/2-1-1").exists());
}

TEST(SourceManagerArchive, ArchivesAreWrittenTogetherAndAFailedWritingIsRescanned)
{
    Place p;
    ASSERT_TRUE(writeSmallBook(p.books + "/a.tvk", 96, 1));
    SourceManager m(p.folders());
    ASSERT_EQ(1, m.allSources()->count());
    const QStringList first = archiveUuids(p.cache);
    ASSERT_FALSE(first.at(0).isEmpty());
    EXPECT_EQ(7, first.count(first.at(0)));
    ASSERT_TRUE(writeSmallBook(p.books + "/b.tvk", 96, 2));
    ASSERT_NE(nullptr, m.addNewSource(p.books + "/b.tvk"));
    const QStringList second = archiveUuids(p.cache);
    EXPECT_EQ(7, second.count(second.at(0)));
    EXPECT_NE(first.at(0), second.at(0));

    // The third archive cannot be written: the library keeps its lists, and the next start, finding
    // a set from two writings, rescans the folder.
    const QString blocked = p.cache + "/" + SourceManager::archiveFileNames().at(2);
    QFile::remove(blocked);
    QDir().mkpath(blocked + "/occupied");
    ASSERT_TRUE(writeSmallBook(p.books + "/c.tvk", 96, 3));
    ASSERT_NE(nullptr, m.addNewSource(p.books + "/c.tvk"));
    EXPECT_EQ(3, m.allSources()->count());
    EXPECT_FALSE(m.archiveState());
    SourceManager reader(p.folders());
    EXPECT_FALSE(reader.dearchiveState());
    QDir(blocked).removeRecursively();
    SourceManager rescanned(p.folders());
    EXPECT_EQ(3, rescanned.allSources()->count());
    SourceManager restored(p.folders());
    EXPECT_TRUE(restored.dearchiveState());
}

TEST(SourceManagerArchive, MissingFilesAreDroppedAtStartAndNewFilesAdded)
{
    Place p;
    ASSERT_TRUE(writeSmallBook(p.books + "/a.tvk", 97, 1));
    ASSERT_TRUE(writeSmallBook(p.books + "/b.tvk", 97, 2));
    {
        SourceManager m(p.folders());
        ASSERT_EQ(2, m.allSources()->count());
    }
    QFile::remove(p.books + "/a.tvk");
    ASSERT_TRUE(writeSmallBook(p.books + "/c.tvk", 97, 3));
    SourceManager m(p.folders());
    const auto all = m.allSources();
    EXPECT_EQ(2, all->count());
    EXPECT_EQ(nullptr, all->tupleForPubID(97, 1));
    EXPECT_NE(nullptr, all->tupleForPubID(97, 3));
    // The listed book was not opened again; the new one was.
    EXPECT_FALSE(all->tupleForPubID(97, 2)->isSourceDocAllocated());
    EXPECT_TRUE(all->tupleForPubID(97, 3)->isSourceDocAllocated());
}

TEST(SourceManagerArchive, AFileChangedInPlaceIsReadAgain)
{
    Place p;
    ASSERT_TRUE(writeSmallBook(p.books + "/a.tvk", 98, 1, 1, 1, "Before"));
    {
        SourceManager m(p.folders());
        ASSERT_EQ(QStringLiteral("Before"), m.allSources()->tupleAtIndex(0)->record().name);
    }
    ASSERT_TRUE(writeSmallBook(p.books + "/a.tvk", 98, 1, 1, 1, "After"));
    QFile f(p.books + "/a.tvk");
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(120), QFileDevice::FileModificationTime));
    f.close();
    SourceManager m(p.folders());
    ASSERT_EQ(1, m.allSources()->count());
    const auto t = m.allSources()->tupleAtIndex(0);
    EXPECT_EQ(QStringLiteral("After"), t->record().name);
    EXPECT_FALSE(t->hasModificationTimeChanged());
    EXPECT_TRUE(QFile::exists(p.books + "/a.tvk"));
}

TEST(SourceManagerArchive, BooksForANewerReaderAreSetAsideWithTheReason)
{
    Place p;
    cTvkBookBuilder b;
    b.info.bookName = "Future";
    b.info.publisherId = 99;
    b.info.bookId = 1;
    b.info.minReaderMajor = 2;
    b.addSection({"One", 1, "Text.", 0});
    ASSERT_TRUE(b.writeFile((p.books + "/future.tvk").toStdString()));
    SourceManager m(p.folders());
    EXPECT_EQ(0, m.allSources()->count());
    ASSERT_EQ(1, m.skippedFiles().size());
    EXPECT_TRUE(m.skippedFiles().at(0).reason.contains(QStringLiteral("newer reader")))
        << m.skippedFiles().at(0).reason.toStdString();
    EXPECT_TRUE(QFile::exists(p.refused + "/future.tvk"));
}

namespace {

// A dictionary of the given headwords (an old-format header, so its word lookup classifies it).
bool writeDictionary(const QString& path, uint16_t book, const std::vector<std::string>& headwords)
{
    cTvkBookBuilder d;
    d.info.bookName = "Dictionary " + std::to_string(book);
    d.info.abbreviatedTitle = d.info.bookName;
    d.info.publisherId = 94;
    d.info.bookId = book;
    d.info.fileMinor = 23;
    for (const std::string& w : headwords)
        d.addLookupWord(w, d.addSection({w, 1, "The entry " + w + ".", 0}));
    return d.writeFile(path.toStdString());
}

}  // namespace

TEST(SourceManagerArchive, DictionariesOfAnotherBooksAttributesAreReclassifiedOnce)
{
    Place p;
    std::vector<std::string> numbers, codes;
    std::map<std::string, std::set<uint32_t>> strongs, morph;
    for (int i = 10; i < 22; ++i) {
        numbers.push_back(std::to_string(i));
        strongs[std::to_string(i)] = {1};
        codes.push_back("v" + std::to_string(i));
        morph["v" + std::to_string(i)] = {1};
    }
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Bible;
    b.info.bookName = "Attribute Bible";
    b.info.abbreviatedTitle = "KJV";
    b.info.publisherId = 94;
    b.info.bookId = 1;
    b.info.wordAttributeDefs = "sn=0,Strong,sn:,0,G,,,sync:sn,yes&mo=1,Morphology,mo:,0,X,,,sync:mo,yes";
    b.addSection({"Genesis", 1, "Genesis", BkSyncFormat::bibleKey(1, 0, 0)});
    b.addSection({"1", 2, "In the beginning.", BkSyncFormat::bibleKey(1, 1, 1)});
    b.addIndexPair("snWL", "snCONC", strongs, true);
    b.addIndexPair("moWL", "moCONC", morph, true);
    std::string error;
    ASSERT_TRUE(b.writeFile((p.books + "/bible.tvk").toStdString(), &error)) << error;
    std::vector<std::string> g, x, other;
    for (const auto& n : numbers)
        g.push_back("G" + n);
    for (const auto& c : codes)
        x.push_back("X" + c);
    for (int i = 0; i < 12; ++i)
        other.push_back("word" + std::to_string(i));
    ASSERT_TRUE(writeDictionary(p.books + "/g.tvk", 2, g));
    ASSERT_TRUE(writeDictionary(p.books + "/x.tvk", 3, x));
    ASSERT_TRUE(writeDictionary(p.books + "/other.tvk", 4, other));

    SourceManager m(p.folders());
    const auto all = m.allSources();
    ASSERT_EQ(4, all->count());
    ASSERT_EQ(SourceTuple::kKindWordAttributeBible, all->tupleForPubID(94, 1)->kind());
    const auto gd = all->tupleForPubID(94, 2), xd = all->tupleForPubID(94, 3), od = all->tupleForPubID(94, 4);
    ASSERT_EQ(SourceTuple::kClassDictionary, gd->record().classification);
    EXPECT_EQ(SourceTuple::kKindStrongsDictionary, gd->kind());
    EXPECT_EQ(SourceTuple::kKindWordAttributeDictionary, xd->kind());
    EXPECT_EQ(SourceTuple::kKindDictionary, od->kind());
    EXPECT_EQ(3, m.dictionarySources()->count());

    // Running it again changes and announces nothing.
    QStringList names;
    NotificationCenter& c = NotificationCenter::defaultCenter();
    Observation o(c,
        c.addObserver(
            &names, QString(), [&](Notification& n) { names << n.name; }, &m));
    m.addDictionarySubcategories();
    EXPECT_TRUE(names.isEmpty());
    // A dictionary added later is reclassified as it arrives, with one notification.
    ASSERT_TRUE(writeDictionary(p.books + "/g2.tvk", 5, g));
    const auto added = m.addNewSource(p.books + "/g2.tvk");
    ASSERT_NE(nullptr, added);
    EXPECT_EQ(SourceTuple::kKindStrongsDictionary, added->kind());
    EXPECT_EQ(1, names.count(LibraryNotifications::SourceManagerReclassifiedBookNotification));
    EXPECT_EQ(1, names.count(LibraryNotifications::qsSourceManagerAddedBookNotification));
}

TEST(SourceManagerArchive, AListedFileNowHoldingAnotherBookReplacesItsRecord)
{
    Place p;
    ASSERT_TRUE(writeSmallBook(p.books + "/a.tvk", 93, 1, 1, 1, "First"));
    SourceManager m(p.folders());
    ASSERT_EQ(1, m.allSources()->count());
    ASSERT_TRUE(writeSmallBook(p.books + "/a.tvk", 93, 2, 1, 1, "Second"));
    QFile f(p.books + "/a.tvk");
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(60), QFileDevice::FileModificationTime));
    f.close();
    ASSERT_NE(nullptr, m.addNewSource(p.books + "/a.tvk"));
    ASSERT_EQ(1, m.allSources()->count());
    EXPECT_EQ(QStringLiteral("Second"), m.allSources()->tupleAtIndex(0)->record().name);
    // Removing the book now deletes the one file, and no stale record is left to delete it again.
    m.removeSourceForPubID(93, 1);
    EXPECT_TRUE(QFile::exists(p.books + "/a.tvk"));
    m.removeSourceForPubID(93, 2);
    EXPECT_FALSE(QFile::exists(p.books + "/a.tvk"));
}
