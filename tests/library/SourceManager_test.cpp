#include "library/SourceManager.h"

#include "LibraryTestSupport.h"
#include "library/LibraryNotifications.h"
#include "platform/AppFolders.h"
#include "platform/KeyedArchive.h"
#include "search/core/BitVector.h"
#include "support/RecordingAlerts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace LibraryTest;

namespace {

#define NEED_SAMPLES()                                                                                                 \
    if (!sampleLibraryBuilt())                                                                                         \
    GTEST_SKIP() << "the sample library is not built"

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
    QStringList refusedFiles() const { return QDir(refused).entryList(QDir::Files); }
};

// Every notification a library posts, in order.
struct Recorder {
    const void* sender;
    QList<Notification> seen;
    Observation observation;
    explicit Recorder(const SourceManager& manager) : sender(&manager)
    {
        NotificationCenter& c = NotificationCenter::defaultCenter();
        observation = Observation(c,
            c.addObserver(
                this, QString(), [this](Notification& n) { seen.append(n); }, sender));
    }
    QStringList names() const
    {
        QStringList out;
        for (const auto& n : seen)
            out << n.name;
        return out;
    }
    SourceTuple::Ptr tuple(int i) const
    {
        return sharedObjectFromVariant<SourceTuple>(seen.at(i).userInfo.value("tuple"));
    }
};

QStringList abbreviations(const SourceTupleArray& list)
{
    QStringList out;
    for (const auto& t : list.array())
        out << t->record().abbr;
    return out;
}

}  // namespace

TEST(SourceManager, FirstRunScansTheSampleLibraryIntoItsLists)
{
    NEED_SAMPLES();
    Place p;
    ASSERT_TRUE(copySamples(p.books + "/nested/deeper", {"Scofield.tvk"}));
    ASSERT_TRUE(copySamples(p.books,
        {"KJV.tvk", "WEB.tvk", "RV1909.tvk", "TreasuryOfDavid.tvk", "StrongsHebrew.tvk", "StrongsGreek.tvk", "Nave.tvk",
            "DailyReadings.tvk"}));
    SourceManager m(p.folders());
    Recorder r(m);
    const auto all = m.allSources();
    EXPECT_EQ(9, all->count());
    // Ordered by sort title, which the compiler writes as the full title ("King James Version", "Reina-Valera
    // 1909", "World English Bible"; "Scofield Reference Notes (1917)" before "The Treasury of David", which
    // the scan meets first).
    EXPECT_EQ((QStringList {"KJV", "RV1909", "WEB"}), abbreviations(*m.bibleSources()));
    EXPECT_EQ((QStringList {"Scofield", "Treasury of David"}), abbreviations(*m.commentarySources()));
    EXPECT_EQ(3, m.dictionarySources()->count());
    EXPECT_EQ(1, m.devotionalSources()->count());
    EXPECT_EQ(0, m.otherSources()->count());
    // The Reina-Valera, which the translation list does not name, carries its own book list.
    EXPECT_EQ((QStringList {"RV1909"}), abbreviations(*m.customBibles()));
    EXPECT_TRUE(m.skippedFiles().isEmpty());
    EXPECT_TRUE(m.isSourceInstalledWithPubID(1, 101));
    EXPECT_FALSE(m.isSourceInstalledWithPubID(1, 999));
    EXPECT_EQ(p.books + "/nested/deeper/Scofield.tvk", all->tupleForPubID(1, 110)->record().filepath);
    // One record per book, shared by every list it stands in.
    EXPECT_EQ(all->tupleForPubID(1, 101), m.bibleSources()->tupleForPubID(1, 101));
    // The seven archives, written once the scan ended.
    for (const QString& name : SourceManager::archiveFileNames())
        EXPECT_TRUE(QFile::exists(p.cache + "/" + name)) << name.toStdString();
    // A first scan adds nothing anybody was told about: it only fills the lists.
    EXPECT_EQ(0, r.seen.size() - r.names().count(LibraryNotifications::qsSourceManagerAddedBookNotification));
}

TEST(SourceManager, RestoredLibraryOpensNoBookAndRescansWhenArchivesAreDamaged)
{
    NEED_SAMPLES();
    Place p;
    ASSERT_TRUE(copySamples(p.books));
    {
        SourceManager first(p.folders());
        ASSERT_EQ(9, first.allSources()->count());
    }
    {
        // Restored from the archives: the scan only checks the files' dates, so no book is opened.
        SourceManager second(p.folders());
        const auto all = second.allSources();
        EXPECT_EQ(9, all->count());
        for (const auto& t : all->array()) {
            EXPECT_FALSE(t->isSourceDocAllocated()) << t->record().abbr.toStdString();
            EXPECT_TRUE(t->confirmedPresent()) << t->record().abbr.toStdString();
        }
        EXPECT_EQ(all->tupleForPubID(1, 121), second.dictionarySources()->tupleForPubID(1, 121));
        EXPECT_EQ(6, all->tupleForPubID(1, 121)->kind());
        // A restored record still reaches its book.
        EXPECT_NE(0u, all->tupleForPubID(1, 101)->locations().sectionForSyncString("John 3:16"));
    }
    const QString allFile = p.cache + "/" + SourceManager::archiveFileNames().at(0);
    const QByteArray good = readBytes(allFile);
    // The Bibles' list only names allSources' records by identity and file.
    auto setInFirstBible = [&](const char* key, const QVariant& value) {
        const QString file = p.cache + "/" + SourceManager::archiveFileNames().at(1);
        QVariantMap root = KeyedArchive::readFile(file).toMap();
        QVariantList items = root.value("ArchiveArrayKey").toList();
        QVariantMap first = items.at(0).toMap();
        first.insert(QString::fromLatin1(key), value);
        items[0] = first;
        root.insert("ArchiveArrayKey", items);
        KeyedArchive::writeFile(file, root);
    };
    struct Damage {
        const char* what;
        std::function<void()> apply;
    } damages[] = {
        {"missing", [&] { QFile::remove(p.cache + "/" + SourceManager::archiveFileNames().at(3)); }},
        {"truncated", [&] { writeBytes(allFile, good.left(good.size() / 2)); }},
        {"garbage", [&] { writeBytes(allFile, QByteArray(5000, 'x')); }},
        {"empty", [&] { writeBytes(allFile, QByteArray()); }},
        {"foreign uuid",
            [&] {
                QVariantMap root = KeyedArchive::readFile(allFile).toMap();
                root.insert("uuid", "SOMETHING-ELSE");
                KeyedArchive::writeFile(allFile, root);
            }},
        {"other build",
            [&] {
                QVariantMap root = KeyedArchive::readFile(allFile).toMap();
                root.insert("buildNumber", "0.0.1");
                KeyedArchive::writeFile(allFile, root);
            }},
        {"old version",
            [&] {
                QVariantMap root = KeyedArchive::readFile(allFile).toMap();
                root.insert("ArchiveVersionKey", 1);
                KeyedArchive::writeFile(allFile, root);
            }},
        {"wrong class",
            [&] { KeyedArchive::writeFile(allFile, KeyedArchiver(QStringLiteral("LayoutDivider")).archivedObject()); }},
        {"Bible of another identity", [&] { setInFirstBible("editionNumber", 99); }},
        {"Bible of an unlisted file", [&] { setInFirstBible("filepath", "Unlisted.tvk"); }},
        {"tuple pointing elsewhere",
            [&] {
                QVariantMap root = KeyedArchive::readFile(allFile).toMap();
                QVariantList items = root.value("ArchiveArrayKey").toList();
                QVariantMap first = items.at(0).toMap();
                first.insert("filepath", "/somewhere/else.tvk");
                items[0] = first;
                root.insert("ArchiveArrayKey", items);
                KeyedArchive::writeFile(allFile, root);
            }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        {
            // A fresh, good set first.
            SourceManager::removeArchiveFiles(p.cache);
            SourceManager writer(p.folders());
            ASSERT_EQ(9, writer.allSources()->count());
        }
        d.apply();
        SourceManager reader(p.folders());
        EXPECT_FALSE(reader.dearchiveState());
        // The rescan lists every book again and writes a good set.
        reader.resetAllSources();
        EXPECT_EQ(9, reader.allSources()->count());
        EXPECT_EQ(3, reader.bibleSources()->count());
        SourceManager again(p.folders());
        EXPECT_TRUE(again.dearchiveState());
    }
    // A commentary list of version 1 alone is accepted.
    {
        const QString file = p.cache + "/" + SourceManager::archiveFileNames().at(2);
        QVariantMap root = KeyedArchive::readFile(file).toMap();
        root.insert("ArchiveVersionKey", 1);
        KeyedArchive::writeFile(file, root);
        SourceManager reader(p.folders());
        EXPECT_TRUE(reader.dearchiveState());
    }
}

TEST(SourceManager, BadFilesAreSkippedWithAReasonAndSetAside)
{
    NEED_SAMPLES();
    Place p;
    ASSERT_TRUE(copySamples(p.books, {"KJV.tvk", "Nave.tvk"}));
    const QByteArray web = readBytes(sampleBook("WEB.tvk"));
    ASSERT_TRUE(writeBytes(p.books + "/truncated.tvk", web.left(web.size() / 3)));
    ASSERT_TRUE(writeBytes(p.books + "/empty.tvk", QByteArray()));
    ASSERT_TRUE(writeBytes(p.books + "/foreign.tvk", QByteArray("PK\x03\x04 this is a zip file, not a book")));
    ASSERT_TRUE(writeBytes(p.books + "/notes.txt", QByteArray("not looked at")));
    ASSERT_TRUE(writeBytes(p.books + "/upper.TVK", QByteArray("extension differs in case")));
    SourceManager m(p.folders());
    Recorder r(m);
    EXPECT_EQ(2, m.allSources()->count());
    const auto skipped = m.skippedFiles();
    ASSERT_EQ(3, skipped.size());
    // Each file set aside is announced once, with where it went and why.
    QStringList announced;
    for (const Notification& n : r.seen) {
        if (n.name != LibraryNotifications::qsSourceManagerSetAsideBookNotification)
            continue;
        const QString name = QFileInfo(n.userInfo.value("path").toString()).fileName();
        announced << name;
        EXPECT_EQ(n.userInfo.value("path").toString(), p.books + "/" + name);
        EXPECT_EQ(n.userInfo.value("movedTo").toString(), p.refused + "/" + name);
        EXPECT_EQ(n.userInfo.value("folder").toString(), p.refused);
        if (name == "truncated.tvk")
            EXPECT_TRUE(n.userInfo.value("reason").toString().contains("(error 223)"))
                << n.userInfo.value("reason").toString().toStdString();
        else
            EXPECT_FALSE(n.userInfo.value("reason").toString().isEmpty());
    }
    EXPECT_EQ((QStringList {"empty.tvk", "foreign.tvk", "truncated.tvk"}), announced);
    for (const auto& s : skipped)
        EXPECT_FALSE(s.reason.isEmpty()) << s.path.toStdString();
    // Set aside, not deleted; the other files are untouched.
    EXPECT_EQ((QStringList {"empty.tvk", "foreign.tvk", "truncated.tvk"}), p.refusedFiles());
    EXPECT_EQ(web.left(web.size() / 3), readBytes(p.refused + "/truncated.tvk"));
    EXPECT_TRUE(QFile::exists(p.books + "/notes.txt"));
    EXPECT_TRUE(QFile::exists(p.books + "/upper.TVK"));
    // Every other book still works.
    EXPECT_NE(0u, m.allSources()->tupleForPubID(1, 101)->locations().sectionForSyncString("Genesis 1:1"));
}

TEST(SourceManager, ReadOnlyLibraryTouchesNothing)
{
    NEED_SAMPLES();
    Place p;
    ASSERT_TRUE(copySamples(p.books, {"KJV.tvk"}));
    ASSERT_TRUE(writeBytes(p.books + "/empty.tvk", QByteArray()));
    SourceManager::Folders f = p.folders();
    f.readOnly = true;
    SourceManager m(f);
    EXPECT_EQ(1, m.allSources()->count());
    EXPECT_EQ(1, m.skippedFiles().size());
    EXPECT_TRUE(QFile::exists(p.books + "/empty.tvk"));
    EXPECT_TRUE(QDir(p.cache).entryList(QDir::Files).isEmpty());
    m.removeSourceAtIndex(0);
    EXPECT_TRUE(QFile::exists(p.books + "/KJV.tvk"));
}

TEST(SourceManager, CopiesOfOneBookFollowEditionAndRevision)
{
    Place p;
    // Edition 3 met second: it wins and the edition 2 file is set aside.
    ASSERT_TRUE(writeSmallBook(p.books + "/a.tvk", 50, 60, 2, 1, "Edition Two"));
    ASSERT_TRUE(writeSmallBook(p.books + "/b.tvk", 50, 60, 3, 1, "Edition Three"));
    // Edition 3 met first: the edition 2 file stays where it is, unlisted.
    ASSERT_TRUE(writeSmallBook(p.books + "/c.tvk", 51, 61, 3, 1, "Other Three"));
    ASSERT_TRUE(writeSmallBook(p.books + "/d.tvk", 51, 61, 2, 1, "Other Two"));
    // Revisions: 5 beats 4.
    ASSERT_TRUE(writeSmallBook(p.books + "/e.tvk", 52, 62, 1, 5, "Rev Five"));
    ASSERT_TRUE(writeSmallBook(p.books + "/f.tvk", 52, 62, 1, 4, "Rev Four"));
    // The same edition and revision twice: the first file met is listed and the second, which may be
    // a damaged copy, stays where it is, unlisted.
    ASSERT_TRUE(writeSmallBook(p.books + "/g.tvk", 53, 63, 1, 1, "Twin"));
    ASSERT_TRUE(writeSmallBook(p.books + "/h.tvk", 53, 63, 1, 1, "Twin"));
    SourceManager m(p.folders());
    const auto all = m.allSources();
    EXPECT_EQ(4, all->count());
    EXPECT_EQ(p.books + "/b.tvk", all->tupleForPubID(50, 60)->record().filepath);
    EXPECT_EQ(p.books + "/c.tvk", all->tupleForPubID(51, 61)->record().filepath);
    EXPECT_EQ(p.books + "/e.tvk", all->tupleForPubID(52, 62)->record().filepath);
    EXPECT_EQ(p.books + "/g.tvk", all->tupleForPubID(53, 63)->record().filepath);
    EXPECT_EQ((QStringList {"a.tvk"}), p.refusedFiles());
    for (const char* unlisted : {"/d.tvk", "/f.tvk", "/h.tvk"})
        EXPECT_TRUE(QFile::exists(p.books + unlisted)) << unlisted;
    EXPECT_EQ(4, m.skippedFiles().size());
    // Nothing the user had is gone: every file is in the books folder or set aside.
    EXPECT_EQ(7, QDir(p.books).entryList(QDir::Files).size());
}

TEST(SourceManager, AddingReplacingAndRemovingAnnounceEveryChange)
{
    Place p;
    ASSERT_TRUE(writeSmallBook(p.books + "/one.tvk", 70, 1, 1, 1, "One"));
    SourceManager m(p.folders());
    ASSERT_EQ(1, m.allSources()->count());
    Recorder r(m);

    // A new book copied into the folder.
    ASSERT_TRUE(writeSmallBook(p.books + "/two.tvk", 70, 2, 1, 1, "Two"));
    NotificationCenter::defaultCenter().postNotificationName(
        LibraryNotifications::qsBookFileCopiedToBooksFolder, nullptr, {{"path", p.books + "/two.tvk"}});
    ASSERT_EQ(2, m.allSources()->count());
    ASSERT_EQ((QStringList {LibraryNotifications::qsSourceManagerAddedBookNotification}), r.names());
    EXPECT_FALSE(r.seen.at(0).userInfo.value("modified").toBool());
    EXPECT_EQ(QStringLiteral("Two"), r.tuple(0)->record().name);

    // A later edition under another name replaces the book.
    r.seen.clear();
    ASSERT_TRUE(writeSmallBook(p.books + "/two-b.tvk", 70, 2, 2, 1, "Two Again"));
    auto added = m.addNewSource(p.books + "/two-b.tvk");
    ASSERT_NE(nullptr, added);
    EXPECT_EQ(2, added->record().editionNumber);
    EXPECT_EQ((QStringList {LibraryNotifications::qsSourceManagerRemovedBookNotification,
                  LibraryNotifications::qsSourceManagerAddedBookNotification}),
        r.names());
    EXPECT_TRUE(r.seen.at(1).userInfo.value("modified").toBool());
    EXPECT_EQ(2, m.allSources()->count());
    EXPECT_FALSE(QFile::exists(p.books + "/two.tvk"));
    EXPECT_EQ((QStringList {"two.tvk"}), p.refusedFiles());

    // Another file of the same edition and revision (a damaged copy opens too) never replaces it.
    r.seen.clear();
    ASSERT_TRUE(writeSmallBook(p.books + "/two-c.tvk", 70, 2, 2, 1, "Two Copied"));
    EXPECT_EQ(m.addNewSource(p.books + "/two-c.tvk"), added);
    EXPECT_TRUE(r.seen.isEmpty());
    EXPECT_EQ(m.allSources()->tupleForPubID(70, 2)->record().filepath, p.books + "/two-b.tvk");
    ASSERT_TRUE(QFile::remove(p.books + "/two-c.tvk"));

    // A refused file copied in is set aside, and that alone is announced (the library is unchanged).
    r.seen.clear();
    ASSERT_TRUE(writeBytes(p.books + "/junk.tvk", QByteArray(100, 'j')));
    NotificationCenter::defaultCenter().postNotificationName(
        LibraryNotifications::qsBookFileCopiedToBooksFolder, nullptr, {{"path", p.books + "/junk.tvk"}});
    EXPECT_EQ((QStringList {LibraryNotifications::qsSourceManagerSetAsideBookNotification}), r.names());
    EXPECT_FALSE(QFile::exists(p.books + "/junk.tvk"));
    EXPECT_TRUE(p.refusedFiles().contains("junk.tvk"));

    // Removing deletes the file.
    r.seen.clear();
    m.removeSourceForPubID(70, 1);
    EXPECT_EQ((QStringList {LibraryNotifications::qsSourceManagerRemovedBookNotification}), r.names());
    EXPECT_FALSE(QFile::exists(p.books + "/one.tvk"));
    m.removeSourceForPubID(70, 1);
    m.removeSourceNamed("nothing.tvk");
    EXPECT_EQ(1, r.seen.size());
    m.removeAllSources();
    EXPECT_EQ(0, m.allSources()->count());
    EXPECT_FALSE(QFile::exists(p.books + "/two-b.tvk"));
    EXPECT_EQ(2, r.seen.size());
    // The archives follow.
    SourceManager after(p.folders());
    ASSERT_TRUE(after.dearchiveState());
    EXPECT_EQ(0, after.allSources()->count());
}

TEST(SourceManager, ValidateDropsOnlyRemovableBooksThatChanged)
{
    Place p;
    SourceManager m(p.folders());
    ASSERT_EQ(0, m.allSources()->count());
    ASSERT_TRUE(writeSmallBook(p.books + "/kept.tvk", 80, 1));
    ASSERT_TRUE(writeSmallBook(p.books + "/removable.tvk", 80, 2));
    ASSERT_NE(nullptr, m.addNewSource(p.books + "/kept.tvk"));
    ASSERT_NE(nullptr, m.addNewSource(p.books + "/removable.tvk", true));
    Recorder r(m);
    m.validate();
    EXPECT_TRUE(r.seen.isEmpty());
    QFile::remove(p.books + "/kept.tvk");
    QFile::remove(p.books + "/removable.tvk");
    m.validate();
    EXPECT_EQ((QStringList {LibraryNotifications::qsSourceManagerRemovedBookNotification,
                  LibraryNotifications::qsSourceManagerDidChangeNotification}),
        r.names());
    EXPECT_TRUE(r.seen.at(1).userInfo.value("removed").toBool());
    EXPECT_FALSE(r.seen.at(1).userInfo.value("added").toBool());
    EXPECT_EQ(1, m.allSources()->count());
    // The last book going the same way leaves the library empty.
    r.seen.clear();
    m.allSources()->tupleAtIndex(0)->setRemovable(true);
    m.validate();
    EXPECT_EQ((QStringList {LibraryNotifications::qsSourceManagerRemovedBookNotification,
                  LibraryNotifications::qsSourceManagerIsEmptyNotification}),
        r.names());
}

TEST(SourceManager, KnownBadBookIsRefusedOnceAlerted)
{
    Place p;
    NotificationCenter center;
    RecordingAlerts alerts;
    ASSERT_TRUE(writeSmallBook(p.books + "/bad1.tvk", 702, 1, 1, 1, "ESV"));
    ASSERT_TRUE(writeSmallBook(p.books + "/bad2.tvk", 702, 1, 1, 1, "ESV"));
    ASSERT_TRUE(writeSmallBook(p.books + "/older.tvk", 702, 1, 1, 0, "ESV older"));
    SourceManager m(p.folders(), center, &alerts);
    // The refused edition never replaces the copy that works.
    EXPECT_EQ(1, m.allSources()->count());
    EXPECT_EQ(p.books + "/older.tvk", m.allSources()->tupleAtIndex(0)->record().filepath);
    EXPECT_EQ(1, alerts.shown().size());
    EXPECT_EQ(QStringLiteral("ESV Study Bible Notes"), alerts.shown().value(0).informativeText);
    EXPECT_EQ((QStringList {"bad1.tvk", "bad2.tvk"}), p.refusedFiles());
}

namespace {

// A book of a few sections that share words, for the concurrency tests (they run without the
// sample library, as the thread checker's build has none).
bool writeWordyBook(const QString& path, uint16_t book)
{
    cTvkBookBuilder b;
    b.info.bookName = "Wordy " + std::to_string(book);
    b.info.abbreviatedTitle = b.info.bookName;
    b.info.publisherId = 90;
    b.info.bookId = book;
    for (int i = 1; i <= 40; ++i)
        b.addSection({"Part " + std::to_string(i), 1,
            i % 2 ? "God is love and love is patient." : "In the beginning God created the heaven.", 0});
    b.addLookupWord("love", 1);
    return b.writeFile(path.toStdString());
}

}  // namespace

TEST(SourceManager, RemovingBooksWhileOtherThreadsReadThem)
{
    Place p;
    for (int i = 1; i <= 4; ++i)
        ASSERT_TRUE(writeWordyBook(p.books + QStringLiteral("/w%1.tvk").arg(i), static_cast<uint16_t>(i)));
    SourceManager m(p.folders());
    ASSERT_EQ(4, m.allSources()->count());
    std::atomic<bool> stop {false};
    std::atomic<int> reads {0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&, i] {
            while (!stop) {
                for (const auto& t : m.allSources()->array()) {
                    BitVector hits;
                    if (auto doc = t->sourceDoc())
                        (void)doc->GetNumSections();
                    (void)t->words().resultsFromMainConcordanceForWord(
                        i % 2 ? QStringLiteral("god") : QStringLiteral("love"), hits);
                    (void)t->words().wordOccursInXSections(QStringLiteral("beginning"));
                    (void)t->words().wordNumberForDictionaryLookupWord(QStringLiteral("love"), false);
                    (void)t->record().name.size();
                    (void)t->kind();
                    ++reads;
                }
                (void)m.bibleSources()->count();
            }
        });
    }
    // Remove each book and add it back while the readers run: a removed book's document stays
    // usable by whoever still holds it.
    for (int round = 0; round < 8; ++round) {
        while (reads < (round + 1) * 20)
            std::this_thread::yield();
        const auto t = m.allSources()->tupleAtIndex(round % m.allSources()->count());
        const QString name = QFileInfo(t->record().filepath).fileName();
        const uint16_t book = static_cast<uint16_t>(t->record().bookID);
        m.removeSourceNamed(name);
        ASSERT_TRUE(writeWordyBook(p.books + "/" + name, book));
        ASSERT_NE(nullptr, m.addNewSource(p.books + "/" + name));
    }
    stop = true;
    for (auto& th : readers)
        th.join();
    EXPECT_EQ(4, m.allSources()->count());
    EXPECT_GT(reads.load(), 100);
}

TEST(SourceManager, OpeningRestoredBooksFromManyThreadsAtOnce)
{
    Place p;
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(writeWordyBook(p.books + QStringLiteral("/w%1.tvk").arg(i), static_cast<uint16_t>(i)));
    {
        SourceManager writer(p.folders());
        ASSERT_EQ(3, writer.allSources()->count());
    }
    SourceManager m(p.folders());
    const auto books = m.allSources()->array();
    ASSERT_EQ(3u, books.size());
    std::vector<std::thread> threads;
    std::vector<std::vector<const cSourceDoc*>> seen(6);
    for (int i = 0; i < 6; ++i)
        threads.emplace_back([&, i] {
            for (const auto& t : books)
                seen[i].push_back(t->sourceDoc().get());
        });
    for (auto& th : threads)
        th.join();
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(seen[0], seen[i]);
    for (const cSourceDoc* d : seen[0])
        EXPECT_NE(nullptr, d);
}

TEST(SourceManager, TheProgramsLibraryServesTheSearchCache)
{
    // The program's library reads the books folder of the application folders (in the tests' home).
    const QString books = AppFolders::booksDirectory();
    ASSERT_TRUE(writeSmallBook(books + "/s.tvk", 71, 5, 2, 1, "Searched"));
    ASSERT_FALSE(SourceManager::singletonInUse());
    SourceManager& library = SourceManager::singleton();
    EXPECT_TRUE(SourceManager::singletonInUse());
    EXPECT_EQ(&library, &SourceManager::singleton());
    EXPECT_EQ(books, library.folders().books);
    const auto doc = sourceDocForPubIDBookIDEdition(71, 5, 2);
    ASSERT_NE(nullptr, doc);
    EXPECT_EQ(doc, library.allSources()->tupleForPubID(71, 5)->sourceDoc());
    EXPECT_EQ(nullptr, sourceDocForPubIDBookIDEdition(71, 5, 1));
    EXPECT_EQ(nullptr, sourceDocForPubIDBookIDEdition(71, 6, 2));
    // A file copied in by anyone reaches the program's library.
    ASSERT_TRUE(writeSmallBook(books + "/t.tvk", 71, 6, 1, 1, "Copied"));
    NotificationCenter::defaultCenter().postNotificationName(
        LibraryNotifications::qsBookFileCopiedToBooksFolder, nullptr, {{"path", books + "/t.tvk"}});
    EXPECT_TRUE(library.isSourceInstalledWithPubID(71, 6));
    EXPECT_FALSE(library.containsOnlyBundledSources());
}
