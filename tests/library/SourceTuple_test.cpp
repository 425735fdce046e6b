#include "library/SourceTuple.h"

#include "LibraryTestSupport.h"
#include "documents/cBibleDoc.h"
#include "documents/cDateDoc.h"
#include "documents/cTOCDoc.h"
#include "engine/references/BibleRef.h"
#include "library/JournalSourceTuple.h"
#include "library/LibraryNotifications.h"
#include "platform/AppFolders.h"
#include "platform/KeyedArchive.h"
#include "search/core/BitVector.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <set>
#include <thread>
#include <vector>

using namespace LibraryTest;

namespace {

#define NEED_SAMPLES()                                                                                                 \
    if (!sampleLibraryBuilt())                                                                                         \
    GTEST_SKIP() << "the sample library is not built"

SourceTuple::Ptr open(const QString& file)
{
    auto doc = SourceTuple::allocateSourceForFile(sampleBook(file));
    return doc == nullptr ? nullptr : SourceTuple::sourceTupleForSource(doc);
}

// A tuple read from an archive whose keys are replaced by `fields`.
SourceTuple::Ptr tupleWith(const QVariantMap& fields)
{
    QVariantMap archived = SourceTuple::sourceTuple()->encode().toMap();
    for (auto it = fields.begin(); it != fields.end(); ++it)
        archived.insert(it.key(), it.value());
    return SourceTuple::decode(archived);
}

}  // namespace

TEST(SourceTuple, SampleBooksOpenAsTheirKinds)
{
    NEED_SAMPLES();
    struct Expect {
        const char* file;
        qint64 kind, classification;
        const char* abbr;
        const char* id;
    } expected[] = {
        {"KJV.tvk", 2, 1, "KJV", "1:101:1:1"},
        {"WEB.tvk", 2, 1, "WEB", "1:102:1:1"},
        {"Scofield.tvk", 3, 3, "Scofield", "1:110:1:1"},
        {"TreasuryOfDavid.tvk", 8, 3, "Treasury of David", "1:111:1:1"},
        {"StrongsGreek.tvk", 6, 5, "Strong's Greek", "1:121:1:1"},
        {"StrongsHebrew.tvk", 6, 5, "Strong's Hebrew", "1:120:1:1"},
        {"Nave.tvk", 5, 5, "Nave's", "1:122:1:1"},
        {"DailyReadings.tvk", 4, 4, "Daily Readings", "1:130:1:1"},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.file);
        auto t = open(QString::fromLatin1(e.file));
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(e.kind, t->kind());
        EXPECT_EQ(e.classification, t->record().classification);
        EXPECT_EQ(e.classification, SourceTuple::sourceClassificationForKind(t->kind()));
        EXPECT_EQ(QString::fromUtf8(e.abbr), t->record().abbr);
        EXPECT_EQ(QString::fromLatin1(e.id), t->sourceTupleID().colonString());
        EXPECT_TRUE(t->confirmedPresent());
        EXPECT_TRUE(t->isSourceDocAllocated());
        EXPECT_EQ(sampleBook(QString::fromLatin1(e.file)), t->record().filepath);
        EXPECT_TRUE(t->record().modificationTime.isValid());
        EXPECT_FALSE(t->hasModificationTimeChanged());
        EXPECT_GT(t->numSections(), 1u);
        EXPECT_GT(t->record().numBlocks, 0u);
        EXPECT_EQ(1033u, t->record().bookLanguage);
        EXPECT_EQ(QStringLiteral("English"), t->record().bookLanguageString);
        EXPECT_EQ(QStringLiteral("Public domain."), t->record().copyrightText);
    }
    auto kjv = open(QStringLiteral("KJV.tvk"));
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<cBibleDoc>(kjv->sourceDoc()));
    EXPECT_TRUE(kjv->isABible());
    EXPECT_TRUE(kjv->docSupports(kDocSupportsIsBible | kDocSupportsStrongsGreek));
    EXPECT_EQ(QStringLiteral("King James Version"), kjv->record().name);
    auto devotional = open(QStringLiteral("DailyReadings.tvk"));
    EXPECT_NE(nullptr, devotional->dateDoc());
    EXPECT_EQ(3u, devotional->record().syncType);
    EXPECT_GT(devotional->record().numReadings, 0u);
    EXPECT_EQ(nullptr, open(QStringLiteral("Nave.tvk"))->bibleDoc());
    EXPECT_NE(nullptr, std::dynamic_pointer_cast<cTOCDoc>(open(QStringLiteral("Nave.tvk"))->sourceDoc()));
    EXPECT_GT(open(QStringLiteral("StrongsGreek.tvk"))->record().numDictionaryLookupWords, 5000u);
    EXPECT_GT(open(QStringLiteral("Scofield.tvk"))->record().numCommentaryLookupWords, 0u);
}

TEST(SourceTuple, FilesThatAreNotBooksAreRefusedWithAReason)
{
    NEED_SAMPLES();
    QTemporaryDir dir;
    const QString empty = dir.path() + "/empty.tvk", noise = dir.path() + "/noise.tvk",
                  truncated = dir.path() + "/truncated.tvk", html = dir.path() + "/page.tvk";
    ASSERT_TRUE(writeBytes(empty, QByteArray()));
    QByteArray random(4096, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 7919 + 13) & 0xFF);
    ASSERT_TRUE(writeBytes(noise, random));
    const QByteArray kjv = readBytes(sampleBook(QStringLiteral("KJV.tvk")));
    ASSERT_TRUE(writeBytes(truncated, kjv.left(kjv.size() / 2)));
    ASSERT_TRUE(writeBytes(html, "<html><body>not a book</body></html>"));
    for (const QString& path : {empty, noise, truncated, html, dir.path() + "/missing.tvk", QString()}) {
        QString reason;
        EXPECT_EQ(nullptr, SourceTuple::allocateSourceForFile(path, &reason)) << path.toStdString();
        EXPECT_FALSE(reason.isEmpty()) << path.toStdString();
    }
}

TEST(SourceTuple, ArchiveRoundTripKeepsEveryFieldAndOpensNothing)
{
    NEED_SAMPLES();
    auto kjv = open(QStringLiteral("KJV.tvk"));
    kjv->setRemovable(true);
    const QVariant archived = kjv->encode();
    // Through the file form as well.
    QTemporaryDir dir;
    ASSERT_TRUE(KeyedArchive::writeFile(dir.path() + "/t.plist", archived));
    auto back = SourceTuple::decode(KeyedArchive::readFile(dir.path() + "/t.plist"));
    ASSERT_NE(nullptr, back);
    EXPECT_FALSE(back->isSourceDocAllocated());
    EXPECT_FALSE(back->confirmedPresent());
    EXPECT_TRUE(back->removable());
    EXPECT_EQ(kjv->description().toStdString(), back->description().toStdString());
    // Every field of the record, and the kind beside it.
    EXPECT_TRUE(kjv->record() == back->record());
    EXPECT_EQ(kjv->kind(), back->kind());
    EXPECT_FALSE(back->hasModificationTimeChanged());
    EXPECT_EQ(kjv->numSections(), back->numSections());
    // The record opens its document on first use, and only then.
    EXPECT_NE(nullptr, back->sourceDoc());
    EXPECT_TRUE(back->isSourceDocAllocated());
    EXPECT_EQ(kjv->locations().sectionForSyncString(QStringLiteral("John 3:16")),
        back->locations().sectionForSyncString(QStringLiteral("John 3:16")));
}

TEST(SourceTuple, ArchiveVersionsFoldersAndBadValues)
{
    const QString books = AppFolders::booksDirectory();
    const QString publicData = AppFolders::publicDataDirectory();
    auto t = tupleWith({{"filepath", "/Sub/A.tvk"}, {"standardFileFolder", "booksfolder"}, {"fixUpRefMapVersion", 7},
        {"bookNameListVersion", 3}, {"pubID", 5}, {"bookID", 6}});
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(books + "/Sub/A.tvk", t->record().filepath);
    EXPECT_EQ(7, t->record().fixUpRefMapVersion);
    // Stored again: relative to the books folder, and a different books folder moves it along.
    const QVariantMap again = t->encode().toMap();
    EXPECT_EQ(QStringLiteral("booksfolder"), again.value("standardFileFolder").toString());
    EXPECT_EQ(QStringLiteral("/Sub/A.tvk"), again.value("filepath").toString());
    EXPECT_EQ(QStringLiteral("/elsewhere/Sub/A.tvk"), SourceTuple::decode(again, "/elsewhere")->record().filepath);
    // A folder whose name only starts like the books folder is not under it.
    auto sibling = tupleWith({{"filepath", books + "2/B.tvk"}, {"standardFileFolder", "unknownfolder"}});
    EXPECT_EQ(QStringLiteral("unknownfolder"), sibling->encode().toMap().value("standardFileFolder").toString());
    auto pub = tupleWith({{"filepath", "/C.tvk"}, {"standardFileFolder", "publicdatafolder"}});
    EXPECT_EQ(publicData + "/C.tvk", pub->record().filepath);
    // Version 2 knows only the first seven tables.
    auto v2 = tupleWith({{"archiveVersionNumber", 2}, {"fixUpRefMapVersion", 7}, {"bookNameListVersion", 3}});
    EXPECT_EQ(0, v2->record().fixUpRefMapVersion);
    EXPECT_EQ(3, v2->record().bookNameListVersion);
    // Values of the wrong kind, and things that are no tuple at all, are refused.
    EXPECT_EQ(nullptr, tupleWith({{"pubID", QStringLiteral("one")}}));
    EXPECT_EQ(nullptr, SourceTuple::decode(QVariant(QStringLiteral("x"))));
    EXPECT_EQ(nullptr, SourceTuple::decode(KeyedArchiver(QStringLiteral("LayoutDivider")).archivedObject()));
}

TEST(SourceTuple, LazyDocumentOpensOnceAcrossThreadsAndRetriesAfterFailure)
{
    NEED_SAMPLES();
    QTemporaryDir dir;
    const QString path = dir.path() + "/KJV.tvk";
    ASSERT_TRUE(QFile::copy(sampleBook(QStringLiteral("KJV.tvk")), path));
    const QVariant archived =
        SourceTuple::sourceTupleForSource(SourceTuple::allocateSourceForFile(path))->encode(dir.path());
    auto t = SourceTuple::decode(archived, dir.path());
    ASSERT_NE(nullptr, t);
    std::vector<std::shared_ptr<cSourceDoc>> seen(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] { seen[i] = t->sourceDoc(); });
    for (auto& th : threads)
        th.join();
    for (const auto& d : seen)
        EXPECT_EQ(seen[0].get(), d.get());
    ASSERT_NE(nullptr, seen[0]);

    // A missing file gives no document; once the file is back the next call opens it. (While any
    // document of the file is open the engine keeps sharing that one, so let go of them first.)
    seen.clear();
    t.reset();
    auto again = SourceTuple::decode(archived, dir.path());
    ASSERT_TRUE(QFile::rename(path, path + ".away"));
    EXPECT_EQ(nullptr, again->sourceDoc());
    EXPECT_FALSE(again->isSourceDocAllocated());
    EXPECT_TRUE(again->hasModificationTimeChanged());
    ASSERT_TRUE(QFile::rename(path + ".away", path));
    EXPECT_NE(nullptr, again->sourceDoc());

    // Without a path nothing is ever opened.
    EXPECT_EQ(nullptr, SourceTuple::sourceTuple()->sourceDoc());
}

TEST(SourceTuple, ReleasedDocumentStaysUsableByItsHolder)
{
    NEED_SAMPLES();
    auto t = open(QStringLiteral("KJV.tvk"));
    std::shared_ptr<cSourceDoc> held = t->sourceDoc();
    const quint32 section = t->locations().sectionForSyncString(QStringLiteral("John 3:16"));
    t->releaseSourceDoc();
    EXPECT_FALSE(t->isSourceDocAllocated());
    EXPECT_TRUE(held->IsOpen());
    EXPECT_GT(held->GetNumSections(), section);
    // The record is untouched.
    EXPECT_EQ(QStringLiteral("KJV"), t->record().abbr);
}

TEST(SourceTuple, EqualityAndReservedTuples)
{
    auto a = tupleWith({{"pubID", 1}, {"bookID", 2}, {"editionNumber", 1}});
    auto b = tupleWith({{"pubID", 1}, {"bookID", 2}, {"editionNumber", 3}});
    auto c = tupleWith({{"pubID", 1}, {"bookID", 3}, {"editionNumber", 1}});
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_FALSE(a->isEqual(*c));
    EXPECT_FALSE(SourceTupleID(1, 2, 1, 0).isEqual(*b));
    EXPECT_TRUE(SourceTupleID(1, 2, 3, 0).isEqual(*b));
    auto bibles = SourceTuple::sourceTupleForFakeBibleDoc();
    EXPECT_EQ(bibles, SourceTuple::sourceTupleForFakeBibleDoc());
    EXPECT_TRUE(bibles->isFakeBibleDoc());
    EXPECT_TRUE(bibles->isABible());
    EXPECT_EQ(QStringLiteral("Bibles"), bibles->record().name);
    EXPECT_EQ(QStringLiteral("BIBLES"), bibles->record().abbr);
    EXPECT_EQ(1, bibles->kind());
    auto journal = SourceTuple::sourceTupleForFakeJournalDoc();
    EXPECT_EQ(journal, JournalSourceTuple::journalSourceTuple());
    EXPECT_TRUE(journal->isFakeJournalDoc());
    EXPECT_EQ(QStringLiteral("FakeJournalDoc"), journal->record().filepath);
    EXPECT_EQ(7, journal->record().classification);
    for (qint64 k = -1; k <= 11; ++k) {
        const qint64 expected = k == 1 || k == 2 || k == 9 ? 1
            : k == 3 || k == 8                             ? 3
            : k == 4                                       ? 4
            : k == 5 || k == 6 || k == 10                  ? 5
            : k == 7                                       ? 7
                                                           : 0;
        EXPECT_EQ(expected, SourceTuple::sourceClassificationForKind(k)) << k;
    }
}

TEST(SourceTuple, BibleLocations)
{
    NEED_SAMPLES();
    auto kjv = open(QStringLiteral("KJV.tvk"));
    const quint32 john = kjv->locations().sectionForSyncString(QStringLiteral("John 3:16"));
    ASSERT_NE(0u, john);
    EXPECT_EQ((43u << 16) | (3u << 8) | 16u, kjv->locations().keyForSection(john));
    EXPECT_EQ(john, kjv->locations().sectionForBibleKey((43u << 16) | (3u << 8) | 16u));
    EXPECT_EQ(0u, kjv->locations().sectionForBibleKey(0));
    EXPECT_EQ(0xFFFFFFFFu, kjv->locations().blockForSection(0));
    const quint32 block = kjv->locations().blockForSection(john);
    ASSERT_NE(0xFFFFFFFFu, block);
    EXPECT_EQ(john, kjv->locations().sectionForBlock(block));
    EXPECT_EQ(0u, kjv->locations().sectionForBlock(0xFFFFFFF0u));
    EXPECT_GE(kjv->locations().lastBlockForSection(john), block);
    EXPECT_LE(kjv->locations().textOffsetForSection(john), kjv->locations().textSize());
    EXPECT_EQ(john, kjv->locations().sectionForTextOffset(kjv->locations().textOffsetForSection(john)));
    // A book name alone: found only when more than a book name is not required.
    EXPECT_EQ(0u, kjv->locations().sectionForSyncString(QStringLiteral("John"), true));
    EXPECT_NE(0u, kjv->locations().sectionForSyncString(QStringLiteral("John"), false));
    quint32 start = 0, end = 0;
    BibleRef range;
    ASSERT_TRUE(range.parse(QStringLiteral("John 3:16-18")));
    ASSERT_TRUE(kjv->locations().sectionRangeForVerse(range, &start, &end));
    EXPECT_EQ(john, start);
    EXPECT_EQ(john + 2, end);
    const quint32 nextChapter = kjv->locations().sectionForNextChapter(john);
    // The first section of a chapter (its heading, verse 0, where the book has one).
    EXPECT_EQ((43u << 8) | 4u, kjv->locations().keyForSection(nextChapter) >> 8);
    // Back from inside a chapter is its start; back from its start, the chapter before.
    const quint32 chapterStart = kjv->locations().sectionForPreviousChapter(john);
    EXPECT_EQ((43u << 8) | 3u, kjv->locations().keyForSection(chapterStart) >> 8);
    EXPECT_EQ(
        (43u << 8) | 2u, kjv->locations().keyForSection(kjv->locations().sectionForPreviousChapter(chapterStart)) >> 8);
    const QString title = kjv->locations().getPositionNameForTitleBar(john);
    EXPECT_TRUE(title.contains(QStringLiteral("3:16"))) << title.toStdString();
    EXPECT_EQ(QString(), kjv->locations().getPositionNameForTitleBar(9223372036854775807ull));
    EXPECT_EQ(QString(), kjv->locations().getPositionNameForTitleBar(0));
    const QString html = kjv->locations().htmlTextForBlock(block);
    EXPECT_TRUE(html.contains(QStringLiteral("loved"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("javascript:href('"))) << html.toStdString();
    EXPECT_EQ(QString(), kjv->locations().htmlTextForBlock(0xFFFFFFFFu));
}

TEST(SourceTuple, TestamentSetsAndConcordances)
{
    NEED_SAMPLES();
    auto kjv = open(QStringLiteral("KJV.tvk"));
    const quint32 matthew = kjv->locations().sectionForSyncString(QStringLiteral("Matthew 1:1"));
    ASSERT_GT(matthew, 1u);
    BitVector ot, nt;
    EXPECT_EQ(matthew - 1, kjv->words().resultsForAllOTVerses(ot));
    EXPECT_EQ(matthew - 1, ot.count(true));
    EXPECT_EQ(kjv->numSections() - matthew, kjv->words().resultsForAllNTVerses(nt));
    EXPECT_EQ(matthew, nt.first(true));
    const quint32 loved = kjv->words().wordNumberForString(QStringLiteral("loved"), false);
    ASSERT_NE(0xFFFFFFFFu, loved);
    EXPECT_EQ(QStringLiteral("loved"), kjv->words().wordForWordNumber(loved));
    BitVector hits;
    const quint32 n = kjv->words().resultsFromMainConcordanceForWordNum(loved, hits);
    EXPECT_GT(n, 0u);
    EXPECT_EQ(n, hits.count(true));
    EXPECT_EQ(n, kjv->words().wordOccursInXSections(QStringLiteral("loved")));
    BitVector byWord;
    EXPECT_EQ(n, kjv->words().resultsFromMainConcordanceForWord(QStringLiteral("loved"), byWord));
    EXPECT_EQ(0xFFFFFFFFu, kjv->words().metaphoneWordNumberForString(QString()));
    EXPECT_EQ(0xFFFFFFFFu, kjv->words().stemmerWordNumberForString(QString()));
    BitVector greek;
    EXPECT_GT(kjv->words().resultsFromStrongsGreekConcordanceForWord(QStringLiteral("25"), greek), 0u);
    // A colour limit is a Bible's only; elsewhere the results are cleared.
    auto scofield = open(QStringLiteral("Scofield.tvk"));
    BitVector colours(10);
    colours.setFromPosition(1, 3);
    EXPECT_EQ(0u, scofield->words().resultsForColorNamed(colours, QStringLiteral("Red")));
    EXPECT_EQ(0u, colours.count(true));
    BitVector none;
    EXPECT_EQ(0u, scofield->words().resultsForAllOTVerses(none));
}

TEST(SourceTuple, DictionaryAndCommentaryLookUps)
{
    NEED_SAMPLES();
    auto greek = open(QStringLiteral("StrongsGreek.tvk"));
    quint32 start = 0, end = 0;
    ASSERT_TRUE(greek->locations().sectionRangeForSyncString(QStringLiteral("G25"), false, &start, &end));
    EXPECT_NE(0u, start);
    EXPECT_EQ(start, end);
    EXPECT_TRUE(greek->words().dictionaryEntry(QStringLiteral("G25"), &start, &end, false));
    EXPECT_FALSE(greek->words().dictionaryEntry(QStringLiteral("not a headword"), &start, &end, false));
    EXPECT_EQ(0u, start);
    const quint32 w = greek->words().wordNumberForDictionaryLookupWord(QStringLiteral("G25"), false);
    ASSERT_NE(0xFFFFFFFFu, w);
    EXPECT_EQ(QStringLiteral("g25"), greek->words().dictionaryLookupWordForWordNumber(w).toLower());
    EXPECT_NE(0u, greek->words().sectionForDictionaryLookupWordNumber(w));
    EXPECT_EQ(0xFFFFFFFFu, greek->words().wordNumberForDictionaryLookupWord(QStringLiteral("zzzz-not-there"), false));
    BitVector sync;
    EXPECT_GT(greek->words().resultsFromWordSyncConcordanceForWord(QStringLiteral("G25"), sync), 0u);

    auto scofield = open(QStringLiteral("Scofield.tvk"));
    ASSERT_GT(scofield->record().numCommentaryLookupWords, 0u);
    const QString first = scofield->words().commentaryLookupWordForWordNumber(0);
    EXPECT_FALSE(first.isEmpty());
    EXPECT_NE(0u, scofield->words().sectionForCommentaryLookupWordNumber(0));
    EXPECT_NE(0u, scofield->locations().sectionForSyncString(QStringLiteral("Genesis 1:1")));
}

TEST(SourceTuple, TableOfContentsAndCompletionLists)
{
    NEED_SAMPLES();
    auto nave = open(QStringLiteral("Nave.tvk"));
    const quint32 top = nave->locations().numChildrenOfSection(0);
    EXPECT_GT(top, 0u);
    const quint32 firstChild = nave->locations().sectionForChild(0, 0);
    EXPECT_NE(0u, firstChild);
    EXPECT_EQ(0u, nave->locations().sectionForChild(top + 5, 0));
    QList<quint32> children {99};
    nave->locations().loadChildSectionsOf(0, children, true);
    EXPECT_EQ(top + 1, static_cast<quint32>(children.size()));
    nave->locations().loadChildSectionsOf(0, children, false);
    EXPECT_EQ(top, static_cast<quint32>(children.size()));
    const QVariantMap toc = nave->locations().tocForSection(firstChild);
    EXPECT_EQ(firstChild, toc.value(SourceTupleLocations::QSTOCSectionNumberKey).toUInt());
    EXPECT_FALSE(nave->locations().tocNameForSection(firstChild).isEmpty());

    auto kjv = open(QStringLiteral("KJV.tvk"));
    QList<quint32> sections;
    const QStringList books = kjv->locations().bibleBookNameSpellingsAbbreviated(1, QStringLiteral("Ge"), &sections);
    ASSERT_TRUE(books.contains(QStringLiteral("Genesis"))) << books.join(',').toStdString();
    EXPECT_EQ(books.size(), sections.size());
    const QStringList chapters =
        kjv->locations().bibleChapterNameSpellingsForBook(QStringLiteral("John "), 0, false, nullptr);
    EXPECT_EQ(21, chapters.size());
    EXPECT_EQ(QStringLiteral("John 1"), chapters.value(0));
    const QStringList numbers =
        kjv->locations().bibleChapterNameSpellingsForBook(QStringLiteral("John 2"), 0, true, &sections);
    EXPECT_EQ((QStringList {"2", "20", "21"}), numbers);
    const QStringList verses =
        kjv->locations().bibleVerseNameSpellingsForChapter(QStringLiteral("John 3:1"), 0, false, nullptr);
    EXPECT_EQ(QStringLiteral("John 3:1"), verses.value(0));
    EXPECT_TRUE(verses.contains(QStringLiteral("John 3:16")));
    EXPECT_TRUE(
        kjv->locations().bibleChapterNameSpellingsForBook(QStringLiteral("Nothing"), 0, false, nullptr).isEmpty());

    // The go-to pop-ups name a book and a chapter by their sections: the WEB's Psalm 151 (a book of
    // one chapter numbered 151, spelled "Psalms 151") lists its chapter and its seven verses, and
    // Psalms its 150 chapters.
    auto web = open(QStringLiteral("WEB.tvk"));
    QList<quint32> bookSections;
    const QStringList webBooks = web->locations().bibleBookNameSpellingsAbbreviated(1, QString(), &bookSections);
    const auto chaptersOf = [&](const QString& book, QList<quint32>& chapterSections) {
        const qsizetype at = webBooks.indexOf(book);
        EXPECT_GE(at, 0) << book.toStdString() << " is not among " << webBooks.join(',').toStdString();
        return at < 0
            ? QStringList()
            : web->locations().bibleChapterNameSpellingsForBook(book, bookSections[at], true, &chapterSections);
    };
    QList<quint32> psalmsChapters, extraChapters, extraVerses;
    EXPECT_EQ(150, chaptersOf(QStringLiteral("Psalms"), psalmsChapters).size());
    ASSERT_EQ((QStringList {"151"}), chaptersOf(QStringLiteral("Psalms 151"), extraChapters));
    const QStringList extra = web->locations().bibleVerseNameSpellingsForChapter(
        QStringLiteral("Psalms 151"), extraChapters[0], true, &extraVerses);
    EXPECT_EQ((QStringList {"1", "2", "3", "4", "5", "6", "7"}), extra);
    ASSERT_FALSE(extraVerses.isEmpty());
    EXPECT_EQ((88u << 16) | (151u << 8) | 1u, web->locations().keyForSection(extraVerses[0]));
}

// The book menus' names come from the engine in the tables' Latin-1 and reach the library in one
// encoding: the Reina-Valera's first book is "Génesis"; the WEB lists its deuterocanonical books.
TEST(SourceTuple, BookNameListsOfEveryLanguageAndEveryBook)
{
    NEED_SAMPLES();
    auto rv = open(QStringLiteral("RV1909.tvk"));
    QList<quint32> sections;
    const QStringList names = rv->locations().bibleBookNameSpellingsAbbreviated(1, QString(), &sections);
    ASSERT_EQ(66, names.size());
    EXPECT_EQ(QStringLiteral("G\u00e9nesis"), names.value(0));
    EXPECT_EQ(QStringLiteral("\u00c9xodo"), names.value(1));
    EXPECT_EQ(names.size(), sections.size());
    EXPECT_TRUE(rv->locations()
                    .bibleBookNameSpellingsAbbreviated(7, QStringLiteral("G\u00e9n"), nullptr)
                    .contains(QStringLiteral("G\u00e9nesis")));
    auto web = open(QStringLiteral("WEB.tvk"));
    const QStringList books = web->locations().bibleBookNameSpellingsAbbreviated(1, QString(), nullptr);
    EXPECT_TRUE(books.contains(QStringLiteral("Tobit"))) << books.join(',').toStdString();
    EXPECT_TRUE(books.contains(QStringLiteral("Sirach"))) << books.join(',').toStdString();
    EXPECT_GT(books.size(), 66);
}

// The name over a pane: a book heading is named by its book, a chapter heading by its book and
// chapter, never with a verse 0.
TEST(SourceTuple, HeadingsAreNamedWithoutAZeroVerse)
{
    NEED_SAMPLES();
    auto kjv = open(QStringLiteral("KJV.tvk"));
    EXPECT_EQ(QStringLiteral("Genesis (KJV)"), kjv->locations().getPositionNameForTitleBar(1));
    EXPECT_EQ(QStringLiteral("Genesis 1 (KJV)"), kjv->locations().getPositionNameForTitleBar(2));
    EXPECT_EQ(QStringLiteral("Genesis 1:1 (KJV)"), kjv->locations().getPositionNameForTitleBar(3));
}

TEST(SourceTuple, ReadingsOfADevotional)
{
    NEED_SAMPLES();
    auto daily = open(QStringLiteral("DailyReadings.tvk"));
    ASSERT_TRUE(daily->isADevotional());
    const quint32 first = daily->readings().sectionForReadingNumber(1);
    ASSERT_NE(0xFFFFFFFFu, first);
    EXPECT_EQ(1u, daily->readings().readingNumberForSection(first));
    EXPECT_EQ(0xFFFFFFFFu, daily->readings().sectionForReadingNumber(100000));
    // The verse index finds the reading that reads a verse, as the navigator asks: the 2 February
    // reading (the 33rd) reads Psalms 22:31-24:3, the first Psalms 1:1.
    const std::pair<const char*, quint32> cases[] = {
        {"Psalms 23:1", 33}, {"Psalms 22:31", 33}, {"Psalms 24:3", 33}, {"Psalms 1:1", 1}};
    for (const auto& [text, reading] : cases) {
        BibleRef verse;
        ASSERT_TRUE(verse.parse(QString::fromLatin1(text)));
        BitVector hits;
        EXPECT_EQ(1u, daily->words().resultsFromVerseReferenceConcordanceForVerse(verse, hits)) << text;
        ASSERT_EQ(1u, hits.count(true)) << text;
        EXPECT_EQ(reading, daily->readings().readingNumberForSection(hits.first(true))) << text;
    }
    const quint32 february2 = daily->readings().sectionForReadingNumber(33);
    EXPECT_TRUE(daily->locations().getPositionNameForTitleBar(february2).contains(QStringLiteral("February 2")))
        << daily->locations().getPositionNameForTitleBar(february2).toStdString();
}

TEST(SourceTuple, WithoutADocumentEveryAnswerIsNeutral)
{
    auto t = tupleWith(
        {{"filepath", "/nowhere/missing.tvk"}, {"standardFileFolder", "unknownfolder"}, {"docSupportsFlags", 0x2000}});
    BitVector v(8);
    v.setFromPosition(1, 2);
    EXPECT_EQ(0u, t->locations().sectionForTextOffset(5));
    EXPECT_EQ(0u, t->locations().sectionForBlock(1));
    EXPECT_EQ(0xFFFFFFFFu, t->locations().blockForSection(1));
    EXPECT_EQ(0u, t->locations().keyForSection(1));
    EXPECT_EQ(0u, t->locations().sectionForSyncString(QStringLiteral("John 3:16")));
    EXPECT_EQ(0xFFFFFFFFu, t->locations().sectionForNextChapter(1));
    EXPECT_EQ(QString(), t->locations().htmlTextForBlock(1));
    EXPECT_EQ(QString(), t->locations().getPositionNameForTitleBar(1));
    EXPECT_TRUE(t->locations().tocForSection(1).isEmpty());
    EXPECT_EQ(0xFFFFFFFFu, t->words().wordNumberForString(QStringLiteral("x"), false));
    EXPECT_EQ(QStringLiteral("[ERROR]"), t->words().wordForWordNumber(1));
    EXPECT_EQ(0xFFFFFFFFu, t->words().wordNumberForDictionaryLookupWord(QStringLiteral("x"), false));
    EXPECT_EQ(0u, t->words().resultsFromMainConcordanceForWord(QStringLiteral("x"), v));
    EXPECT_EQ(0u, t->words().results(v, QStringLiteral("BOOKMARK(\"*\")")));
    EXPECT_EQ(0u, v.count(true));
    EXPECT_EQ(nullptr, t->words().wordAttributesForWord(QStringLiteral("x")));
    EXPECT_FALSE(t->words().couldBeWordAttribute(QStringLiteral("G25")));
    EXPECT_EQ(0xFFFFFFFFu, t->readings().sectionForReadingNumber(1));
    EXPECT_EQ(0u, t->readings().readingNumberForDate(SimpleDate()));
    EXPECT_EQ(0u, t->readings().firstUnreadReadingNumber());
    EXPECT_FALSE(t->readings().isReadingComplete(1));
    EXPECT_FALSE(t->words().extractImage(QStringLiteral("a.png"), QStringLiteral("/nowhere/a.png")));
    EXPECT_EQ(nullptr, t->words().getAllBookmarksForKeyOrBlockNumber(1));
}

TEST(SourceTuple, CitationAndAboutThisBook)
{
    auto t =
        tupleWith({{"author", "A"}, {"name", "B"}, {"publisherCity", "C"}, {"publisher", "D"}, {"publisherDate", "E"},
            {"abbr", "Ab"}, {"kind", 4}, {"numReadings", 365}, {"pubID", 1}, {"bookID", 2}, {"editionNumber", 3},
            {"revisionNumber", 4}, {"minVerMaj", 1}, {"minVerMin", 20}, {"fileVerMaj", 1}, {"fileVerMin", 36},
            {"bookLanguageString", "English"}, {"filepath", "/x/<b>.tvk"}, {"standardFileFolder", "unknownfolder"}});
    EXPECT_EQ(QStringLiteral("A. \u201CB\u201D. C: D, E."), t->bibliographicCitation());
    const QString about = t->aboutThisBookContents();
    EXPECT_TRUE(
        about.startsWith(QStringLiteral("<p align='center'><b>B (Ab)</b></p><p>A. \u201CB\u201D. C: D, E.</p>")))
        << about.toStdString();
    EXPECT_TRUE(about.contains(QStringLiteral("<p>No copyright notice available.</p><hr />")));
    EXPECT_TRUE(about.contains(QStringLiteral("<p>Book Identifier: 1:2:3:4<br />")));
    EXPECT_TRUE(about.contains(QStringLiteral("Minimum Book Reader Engine: 1.020 (you have 1.078)<br />")));
    EXPECT_TRUE(about.contains(QStringLiteral("Book File Format: 1.036</p>")));
    EXPECT_TRUE(about.contains(QStringLiteral("<p>This book is a devotional with 365 readings.</p>")));
    EXPECT_TRUE(about.contains(QStringLiteral("<p>Path: /x/&lt;b&gt;.tvk</p>")));

    auto plain = tupleWith({{"name", "B"}, {"publisher", "D"}});
    EXPECT_EQ(QStringLiteral("\u201CB\u201D. D."), plain->bibliographicCitation());
    auto bare = tupleWith({{"name", "B"}});
    EXPECT_EQ(QStringLiteral("\u201CB\u201D. "), bare->bibliographicCitation());
    auto claims = tupleWith({{"kind", 9}, {"name", "B"}, {"noVerseNums", true}, {"bibleBooks", "1,2"}});
    const QString text = claims->aboutThisBookContents();
    EXPECT_TRUE(text.contains(QStringLiteral("a Bible that claims to have word attributes, but none were found! The "
                                             "copyright owner prefers that we not display verse numbers in this "
                                             "Bible.</p>")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("<p>Custom versification: 1, 2</p>")));
}

#include "platform/NotificationCenter.h"
#include "userdata/cBookmark.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategory.h"
#include "userdata/cCategoryStg.h"
#include "userdata/cSQLiteDbBase.h"

namespace {

// The reader's data in a database of its own for the test.
class SourceTupleUserData : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!sampleLibraryBuilt())
            GTEST_SKIP() << "the sample library is not built";
        cSQLiteDbBase::setEngineDataFolder(EngineStrings16(m_dir.path()));
    }
    void TearDown() override { cSQLiteDbBase::setEngineDataFolder(cLString16()); }
    static cLString16 EngineStrings16(const QString& s)
    {
        const QByteArray u = s.toUtf8();
        cLString16 out;
        out.assignFromUTF8(u.constData());
        return out;
    }
    std::uint16_t category(const char* name)
    {
        cCategoryStg store;
        EXPECT_TRUE(store.openDatabase(false));
        cCategory c;
        c.name = EngineStrings16(QString::fromLatin1(name));
        EXPECT_TRUE(store.addCategory(c, false, false));
        return c.catid;
    }
    void bibleBookmark(std::uint32_t key, std::uint16_t catid)
    {
        cBookmarkMgr store;
        ASSERT_TRUE(store.openDatabase(nullptr, true, false));
        cBookmark b;
        b.setBibleVerse(key, catid);
        ASSERT_TRUE(store.addBookmark(b, false, false, false));
    }
    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(SourceTupleUserData, BookmarksOfABibleByCategory)
{
    auto kjv = open(QStringLiteral("KJV.tvk"));
    const std::uint32_t john = (43u << 16) | (3u << 8) | 16u;
    const std::uint16_t zeta = category("zeta"), alpha = category("Alpha"), quoted = category("say \"hi\"");
    bibleBookmark(john, zeta);
    bibleBookmark(john, 0);
    bibleBookmark(john, alpha);
    bibleBookmark((1u << 16) | (1u << 8) | 1u, quoted);
    EXPECT_EQ(4, kjv->words().countOfBookmarksForCategory(QStringLiteral("*")));
    EXPECT_EQ(1, kjv->words().countOfBookmarksForCategory(QStringLiteral("No Category")));
    EXPECT_EQ(1, kjv->words().countOfBookmarksForCategory(QStringLiteral("uncategorized")));
    EXPECT_EQ(1, kjv->words().countOfBookmarksForCategory(QStringLiteral("ALPHA")));
    EXPECT_EQ(0, kjv->words().countOfBookmarksForCategory(QStringLiteral("no such")));
    EXPECT_TRUE(kjv->words().bookmarkExistsForKeyOrBlockNumber(john));
    EXPECT_FALSE(kjv->words().bookmarkExistsForKeyOrBlockNumber((43u << 16) | (3u << 8) | 17u));
    const auto marks = kjv->words().getAllBookmarksForKeyOrBlockNumber(john);
    ASSERT_NE(nullptr, marks);
    ASSERT_EQ(3, marks->size());
    EXPECT_EQ(QStringLiteral("Uncategorized"), marks->at(0).value("categoryName").toString());
    EXPECT_EQ(QStringLiteral("Alpha"), marks->at(1).value("categoryName").toString());
    EXPECT_EQ(QStringLiteral("zeta"), marks->at(2).value("categoryName").toString());
    EXPECT_EQ(QStringLiteral("bibleBookmark"), marks->at(0).value("bookmarkType").toString());
    EXPECT_EQ(43, marks->at(0).value("book").toInt());
    EXPECT_EQ(13, marks->at(0).size());
    // The sections bookmarked in a category, the quoted name included.
    BitVector hits;
    EXPECT_EQ(1u, kjv->words().results(hits, quoted));
    EXPECT_EQ(kjv->locations().sectionForSyncString(QStringLiteral("Genesis 1:1")), hits.first(true));
    EXPECT_EQ(1u, kjv->words().results(hits, alpha));
    EXPECT_EQ(kjv->locations().sectionForSyncString(QStringLiteral("John 3:16")), hits.first(true));
    EXPECT_EQ(2u, kjv->words().results(hits, static_cast<quint16>(65535)));
}

TEST_F(SourceTupleUserData, ReadingProgressOfADevotional)
{
    auto daily = open(QStringLiteral("DailyReadings.tvk"));
    ASSERT_GT(daily->record().numReadings, 3u);
    SimpleDate start;
    start.setMonth(1, 1, 2024);
    daily->readings().setStartDate(start);
    EXPECT_EQ(2024, daily->readings().startDate().year());
    SimpleDate third;
    third.setMonth(1, 3, 2024);
    EXPECT_EQ(3u, daily->readings().readingNumberForDate(third));
    // The date of reading 3 in the present cycle reads back as reading 3.
    EXPECT_EQ(3u, daily->readings().readingNumberForDate(daily->readings().dateForReadingNumber(3)));
    QStringList posted;
    NotificationCenter& c = NotificationCenter::defaultCenter();
    Observation o(c,
        c.addObserver(
            &posted, LibraryNotifications::DevotionalProgressHasChangedNotification,
            [&](Notification& n) { posted << n.name; }, daily.get()));
    EXPECT_EQ(1u, daily->readings().firstUnreadReadingNumber());
    daily->readings().toggleReadingNumber(1, true);
    EXPECT_EQ(1, posted.size());
    daily->readings().toggleReadingNumber(2, false);
    EXPECT_EQ(1, posted.size());
    EXPECT_TRUE(daily->readings().isReadingComplete(1));
    EXPECT_EQ(2u, daily->readings().numReadReadings());
    EXPECT_EQ(3u, daily->readings().firstUnreadReadingNumber());
    daily->readings().resetProgress();
    EXPECT_EQ(0u, daily->readings().numReadReadings());
    EXPECT_FALSE(daily->readings().isReadingComplete(1));
}

#include "documents/cBookDoc.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "render/cHTMLRenderConfiguration.h"

namespace {

// What the block renderer was handed, copied while the rendering ran.
struct SeenConfiguration {
    bool called = false;
    bool highlightHits = true, hasDefinitions = false, omitLinks = false, temp = false, hasFootnote = false;
    bool omitStrongs = true;
    int style = -1, footnote = -1;
    std::string prefix, suffix, strongsTag, logo;
    std::uint32_t tempStart = 0;
};
SeenConfiguration g_seen;

bool flagOf(const bool* flag)
{
    return flag != nullptr && *flag;
}

void recordingRenderer(cBkBookFile&, std::int32_t, std::string& out, std::uint16_t, bool,
    const cHTMLRenderConfiguration* c, cHTMLBlockRenderContext&)
{
    SeenConfiguration s;
    s.called = true;
    s.highlightHits = flagOf(c->highlightHits);
    s.hasDefinitions = c->wordAttributeDefinitions != nullptr;
    s.style = c->highlightStyle != nullptr ? *c->highlightStyle : 0;
    s.omitLinks = flagOf(c->omitUserNoteLinks);
    s.omitStrongs = flagOf(c->omitStrongsNumbersInDecode);
    s.temp = flagOf(c->enableTempHighlights);
    s.tempStart = c->tempHighlightStartSection;
    s.hasFootnote = c->footnoteOption != nullptr;
    s.footnote = s.hasFootnote ? *c->footnoteOption : -1;
    s.prefix = c->linkPrefix ? c->linkPrefix->chars() : "";
    s.suffix = c->linkSuffix ? c->linkSuffix->chars() : "";
    s.strongsTag = c->strongsTag ? c->strongsTag->chars() : "";
    s.logo = c->logoReplacementName ? c->logoReplacementName->chars() : "";
    g_seen = s;
    out += "<p>rendered</p>";
}

SourceTuple::Ptr attributeBible(const QString& folder)
{
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Bible;
    b.info.bookName = "Attribute Bible";
    b.info.abbreviatedTitle = "KJV";
    b.info.publisherId = 91;
    b.info.bookId = 1;
    b.info.wordAttributeDefs = "sn=0,Strong Number,sn:,0,G,nt,,sync:sn,yes";
    b.addSection({"Genesis", 1, "Genesis", BkSyncFormat::bibleKey(1, 0, 0)});
    b.addSection({"1", 2, "In the beginning.", BkSyncFormat::bibleKey(1, 1, 1)});
    b.addSection({"Matthew", 1, "Matthew", BkSyncFormat::bibleKey(40, 0, 0)});
    b.addSection({"1", 2, "The book of the generation.", BkSyncFormat::bibleKey(40, 1, 1)});
    b.addIndexPair("snWL", "snCONC", {{"25", {4}}, {"26", {4}}}, true);
    const QString path = folder + "/attributes.tvk";
    if (!b.writeFile(path.toStdString()))
        return nullptr;
    auto doc = SourceTuple::allocateSourceForFile(path);
    return doc == nullptr ? nullptr : SourceTuple::sourceTupleForSource(doc);
}

}  // namespace

TEST(SourceTuple, DisplayOptionsBecomeTheRenderConfiguration)
{
    QTemporaryDir dir;
    auto bible = attributeBible(dir.path());
    ASSERT_NE(nullptr, bible);
    EXPECT_EQ(SourceTuple::kKindWordAttributeBible, bible->kind());
    cBookDoc::setBlockRenderer(&recordingRenderer);
    const quint32 block = bible->locations().blockForSection(2);
    ASSERT_NE(0xFFFFFFFFu, block);

    // The defaults are the renderer's own behaviour.
    g_seen = SeenConfiguration();
    EXPECT_EQ(QStringLiteral("<p>rendered</p>"), bible->locations().htmlTextForBlock(block));
    EXPECT_TRUE(g_seen.called);
    EXPECT_FALSE(g_seen.highlightHits);
    EXPECT_TRUE(g_seen.hasDefinitions);
    EXPECT_EQ("javascript:href('", g_seen.prefix);
    EXPECT_EQ("');", g_seen.suffix);
    EXPECT_EQ(0, g_seen.style);
    EXPECT_FALSE(g_seen.omitLinks);
    EXPECT_FALSE(g_seen.omitStrongs);
    EXPECT_FALSE(g_seen.temp);
    EXPECT_FALSE(g_seen.hasFootnote);
    EXPECT_EQ("", g_seen.strongsTag);
    EXPECT_EQ("", g_seen.logo);

    DisplayOptions options;
    options.highlightStyle = DisplayOptions::HighlightStyle::Hide;
    options.omitUserNoteLinks = true;
    options.omitStrongsNumbers = true;
    options.enableTempHighlights = true;
    options.tempHighlightStartSection = 5;
    options.tempHighlightEndSection = 6;
    options.omitFootnotes = true;
    options.highlightHits = true;
    options.strongsTag = QStringLiteral("sup");
    options.replaceOldLogo = true;
    bible->locations().htmlTextForBlock(block, options);
    EXPECT_EQ(2, g_seen.style);
    EXPECT_TRUE(g_seen.omitLinks);
    EXPECT_TRUE(g_seen.omitStrongs);
    EXPECT_TRUE(g_seen.temp);
    EXPECT_EQ(5u, g_seen.tempStart);
    EXPECT_EQ(0, g_seen.footnote);  // the renderer leaves footnotes out for option 0 only
    EXPECT_TRUE(g_seen.highlightHits);
    EXPECT_EQ("sup", g_seen.strongsTag);
    EXPECT_EQ("Tavrosen Logo.png", g_seen.logo);
    cBookDoc::setBlockRenderer(nullptr);
}

TEST(SourceTuple, WordAttributesOfABook)
{
    QTemporaryDir dir;
    auto bible = attributeBible(dir.path());
    ASSERT_NE(nullptr, bible);
    EXPECT_EQ(1, bible->record().numWordAttributeDefinitions);
    EXPECT_EQ(QStringLiteral("Strong Number"), bible->words().humanReadableNameForAttribute(0));
    EXPECT_EQ(QStringLiteral("sn:"), bible->words().searchPrefixForAttribute(0));
    EXPECT_EQ(QStringLiteral("G"), bible->words().syncPrefixForAttribute(0));
    EXPECT_EQ(QStringLiteral("sync:sn"), bible->words().linkTypeForAttribute(0));
    EXPECT_EQ(QString(), bible->words().linkTypeForAttribute(1));
    EXPECT_EQ(QString(), bible->words().linkTypeForAttribute(-1));
    EXPECT_EQ(2u, bible->words().numWordsInAttributeDefinition(0));
    EXPECT_EQ(QStringLiteral("25"), bible->words().wordForWordNumber(0, 0));
    EXPECT_EQ(QString(), bible->words().wordForWordNumber(2, 0));
    EXPECT_EQ(QString(), bible->words().wordForWordNumber(0, 1));
    EXPECT_EQ(0u, bible->words().numWordsInAttributeDefinition(3));
    // The attribute's scope is the New Testament: the Matthew sections.
    BitVector scope;
    const quint32 n = bible->words().resultsForAllVerses(scope, QStringLiteral("sn:25"));
    EXPECT_TRUE(bible->words().couldBeWordAttribute(QStringLiteral("sn:25")));
    EXPECT_EQ(bible->numSections() - bible->locations().sectionForSyncString(QStringLiteral("Matthew 1:1")), n);
    EXPECT_EQ(n, scope.count(true));
    EXPECT_TRUE(bible->aboutThisBookContents().contains(QStringLiteral("<p>Attributes:<br />Strong Number</p>")));
}

TEST(SourceTuple, SearchTextsAndVerseData)
{
    if (!sampleLibraryBuilt())
        GTEST_SKIP() << "the sample library is not built";
    auto kjv = open(QStringLiteral("KJV.tvk"));
    const quint32 john = kjv->locations().sectionForSyncString(QStringLiteral("John 3:16"));
    EXPECT_FALSE(kjv->words().plainTextSearchResultTitleForSection(john).isEmpty());
    EXPECT_TRUE(kjv->words().htmlSearchResultTextForSection(john, nullptr, 2).contains(QStringLiteral("loved")));
    BibleRef verse;
    ASSERT_TRUE(verse.parse(QStringLiteral("John 3:16")));
    const auto words = kjv->words().wordListForVerse(verse, SourceTupleWords::kWordListWords);
    ASSERT_NE(nullptr, words);
    EXPECT_TRUE(words->contains(QStringLiteral("loved"), Qt::CaseInsensitive)) << words->join(' ').toStdString();
    const auto strongs = kjv->words().wordListForVerse(verse, SourceTupleWords::kWordListStrongsGreek);
    ASSERT_NE(nullptr, strongs);
    EXPECT_TRUE(strongs->contains(QStringLiteral("G25"), Qt::CaseInsensitive)) << strongs->join(' ').toStdString();
    EXPECT_EQ(0xFFFFFFFFu, kjv->words().canonicalWordNumberForString(QStringLiteral("qqqqzzzz")));
    const quint32 lastOfJohn = kjv->locations().lastSectionForAmbiguousKey((43u << 16) | (254u << 8) | 254u);
    EXPECT_GT(lastOfJohn, john);
    // A commentary's references to a verse.
    auto scofield = open(QStringLiteral("Scofield.tvk"));
    BitVector citing;
    BibleRef genesis;
    ASSERT_TRUE(genesis.parse(QStringLiteral("Genesis 1:1")));
    const quint32 cites = scofield->words().resultsFromVerseReferenceConcordanceForVerse(genesis, citing);
    EXPECT_EQ(cites, citing.count(true));
    const quint32 note = scofield->locations().sectionForSyncString(QStringLiteral("Genesis 1:1"));
    ASSERT_NE(0u, note);
    EXPECT_FALSE(scofield->locations().getPositionNameForTitleBar(note).isEmpty());
    // A dictionary's title bar names the entry shown, not only the entries above it.
    auto greek = open(QStringLiteral("StrongsGreek.tvk"));
    const quint32 love = greek->locations().sectionForSyncString(QStringLiteral("G26"));
    ASSERT_NE(0u, love);
    EXPECT_TRUE(greek->locations().getPositionNameForTitleBar(love).contains(QStringLiteral("26")))
        << greek->locations().getPositionNameForTitleBar(love).toStdString();
    // A contents path leads back to its section.
    auto nave = open(QStringLiteral("Nave.tvk"));
    const quint32 first = nave->locations().sectionForChild(0, 0);
    EXPECT_EQ(first, nave->locations().sectionForTocPath(nave->locations().tocNameForSection(first)));
    EXPECT_EQ(0u, nave->locations().sectionForTocPath(QStringLiteral("No Such Entry\\Anywhere")));
}

TEST_F(SourceTupleUserData, BookmarksOfABookBySection)
{
    auto scofield = open(QStringLiteral("Scofield.tvk"));
    const quint32 section = scofield->locations().sectionForSyncString(QStringLiteral("Genesis 1:1"));
    ASSERT_NE(0u, section);
    const quint32 block = scofield->locations().blockForSection(section);
    ASSERT_NE(0xFFFFFFFFu, block);
    EXPECT_FALSE(scofield->words().bookmarkExistsForKeyOrBlockNumber(block));
    {
        cBookmarkMgr store;
        ASSERT_TRUE(store.openDatabase(nullptr, true, false));
        cBookmark b;
        b.setBookSection(1, 110, 1, static_cast<std::int32_t>(section), category("Notes"));
        ASSERT_TRUE(store.addBookmark(b, false, false, false));
    }
    EXPECT_TRUE(scofield->words().bookmarkExistsForKeyOrBlockNumber(block));
    EXPECT_FALSE(scofield->words().bookmarkExistsForKeyOrBlockNumber(0));
    EXPECT_EQ(nullptr, scofield->words().getAllBookmarksForKeyOrBlockNumber(0));
    const auto marks = scofield->words().getAllBookmarksForKeyOrBlockNumber(block);
    ASSERT_NE(nullptr, marks);
    ASSERT_EQ(1, marks->size());
    EXPECT_EQ(QStringLiteral("bookBookmark"), marks->at(0).value("bookmarkType").toString());
    EXPECT_EQ(QStringLiteral("Notes"), marks->at(0).value("categoryName").toString());
    EXPECT_EQ(section, marks->at(0).value("section").toUInt());
    EXPECT_EQ(1, scofield->words().countOfBookmarksForCategory(QStringLiteral("notes")));
    EXPECT_EQ(1, scofield->words().countOfBookmarksForCategory(QStringLiteral("*")));
}
