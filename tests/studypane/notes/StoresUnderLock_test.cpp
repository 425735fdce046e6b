// The notes and highlights under another program's lock, in the manner of SQLite's own I/O-error
// tests: each user scenario runs once per database statement it makes, with that statement (and the
// next few) failing as a lock fails them (SQLITE_BUSY, after the wait the window thread may make).
// After each run the lock goes, what the reader owes is done again (what the user was told failed
// is done again, what could not be read is read again, pages whose data moved are drawn again), and
// then nothing stored is lost or changed, nothing typed is lost, and what the page and the note
// pane show is what the database holds. The window thread's waits add up to no more than a frame.
#include "studypane/notes/NoteStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/references/cBibleRef.h"
#include "library/EngineStrings.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseHighlightDoc.h"

namespace {

constexpr quint32 kJohn316 = makeBibleKey(43, 3, 16);
constexpr quint32 kGenesis11 = makeBibleKey(1, 1, 1);
constexpr quint32 kGenesis12 = makeBibleKey(1, 1, 2);
// The verses the page of a scenario shows.
const quint32 kPageVerses[] = {kGenesis11, kGenesis12, kJohn316};
// A frame: the window thread's waits for the lock, added up over one run, stay within it.
constexpr int kFrameMs = 16;

// One world: a fresh database with the documents open on it, and the page and note pane a user sees.
class World {
public:
    World()
    {
        char pattern[] = "/tmp/qs-underlock-XXXXXX";
        m_folder = mkdtemp(pattern);
        cSQLiteDbBase::setEngineDataFolder(cLString16(m_folder.c_str()));
        m_raw.open(m_raw.databasePath());
        m_raw.exec("PRAGMA synchronous = OFF");
    }
    ~World()
    {
        closeDocuments();
        m_raw.close();
        std::system(("rm -rf '" + m_folder + "'").c_str());
    }
    bool openDocuments() { return openClosedDocuments(); }
    // What the start does, and what the reader does again while a document is closed.
    bool openClosedDocuments()
    {
        openedAgain = !m_highlights.isDocOpen() || !m_notes.IsOpen();
        if (!m_highlights.isDocOpen())
            m_highlights.openShared(nullptr);
        if (!m_notes.IsOpen())
            m_notes.openStores(cLString16());
        return m_highlights.isDocOpen() && m_notes.IsOpen();
    }
    void closeDocuments()
    {
        if (m_highlights.isDocOpen())
            m_highlights.closeShared();
        if (m_notes.IsOpen())
            m_notes.Close();
    }

    // The page: drawn with the change serial taken before its reads, as the book pages do.
    void drawPage()
    {
        m_pageStamp = cSQLiteDbBase::changeSerial();
        m_page.clear();
        for (quint32 key : kPageVerses) {
            std::uint16_t fore = 0;
            std::uint16_t back = 0;
            if (m_highlights.getHighlight(cBibleRef(key), fore, back))
                m_page[key] = back;
        }
    }
    // Drawn again when the database moved since (what the reader does once the database answers).
    void drawPageIfStale()
    {
        if (cSQLiteDbBase::changeSerial() != m_pageStamp)
            drawPage();
    }

    // What the table holds, read with no lock in the way.
    std::map<quint32, int> storedHighlights()
    {
        cSQLRows rows;
        m_raw.exec("SELECT bcv, backcolor FROM VerseHighlights WHERE deleted = 0", {}, &rows);
        std::map<quint32, int> out;
        for (const cSQLRow& row : rows)
            out[static_cast<quint32>(row[0].toInt64())] = static_cast<int>(row[1].toInt64());
        return out;
    }
    std::map<quint32, int> pageMarks() const { return m_page; }
    QString storedNote(quint32 key)
    {
        cSQLRows rows;
        m_raw.exec("SELECT note FROM BibleNotes WHERE deleted = 0 AND booknum = ? AND chapter = ? AND verse = ?",
            {bibleKeyBook(key), bibleKeyChapter(key), bibleKeyVerse(key)}, &rows);
        if (rows.empty())
            return QStringLiteral("<none>");
        return QString::fromUtf8(rows[0][0].chars(), rows[0][0].length());
    }
    int liveNoteRows()
    {
        cSQLRows rows;
        m_raw.exec("SELECT COUNT(*) FROM BibleNotes WHERE deleted = 0", {}, &rows);
        return rows.empty() ? -1 : static_cast<int>(rows[0][0].toInt64());
    }

    NoteStore notes() { return NoteStore(&m_notes); }
    // The last openClosedDocuments opened a document (the pages are then told the data changed).
    bool openedAgain = false;
    cVerseHighlightDoc& highlights() { return m_highlights; }

private:
    std::string m_folder;
    cSQLiteDbBase m_raw;
    cVerseHighlightDoc m_highlights;
    cNoteDoc m_notes;
    std::map<quint32, int> m_page;
    std::uint64_t m_pageStamp = 0;
};

// The note pane as the user meets it: a note that could not be read is not shown and takes no
// typing; one that was read shows its text, which the user types after; a save that fails stays
// owed; a read that finds no note where one was read counts as a deletion made elsewhere.
struct NotePane {
    NoteLocation at = NoteLocation::bible(kJohn316);
    bool read = false;
    QString shown;
    QString typed;  // what the editor holds
    bool owed = false;
    bool stored = false;
    bool deletedElsewhere = false;

    void open(NoteStore store)
    {
        const StoredNote note = store.read(at);
        if (note.unreadable)
            return;  // read again later; nothing shown, no editor
        read = true;
        stored = note.found;
        shown = note.text;
        typed = shown;
    }
    void type(const QString& words)
    {
        if (!read)
            return;  // the editor is closed to a note that could not be read
        typed += words;
        owed = true;
    }
    void autosave(NoteStore store)
    {
        if (!owed)
            return;
        const StoredNote now = store.read(at);
        if (stored && !now.found && !now.unreadable)
            deletedElsewhere = true;  // words typed since the last save store it again
        if (store.save(at, typed)) {
            owed = false;
            stored = true;
        }
    }
};

// Undoing a transaction's changes never waits for another program's lock.
bool meetsLocks(const char* sql)
{
    return std::strncmp(sql, "ROLLBACK", 8) != 0 && std::strncmp(sql, "RELEASE", 7) != 0;
}

class StoresUnderLock : public ::testing::Test {
protected:
    void SetUp() override { cSQLiteDbBase::setWindowThread(); }
    void TearDown() override
    {
        cSQLiteDbBase::setLockFaultForTests(nullptr);
        cSQLiteDbBase::setWindowThread(std::thread::id());
    }

    // Runs `scenario` in a fresh world once without a lock, to count its statements, then once per
    // statement with that statement and the next `span` - 1 failing; `check` looks at each world
    // once the lock has gone. Answers the number of statements.
    int eachStatementFails(const std::function<void(World&)>& seed, const std::function<void(World&)>& scenario,
        const std::function<void(World&, int failing)>& check, int span)
    {
        int statements = 0;
        {
            World world;
            EXPECT_TRUE(world.openDocuments());
            seed(world);
            int calls = 0;
            cSQLiteDbBase::setLockFaultForTests([&calls](const char* sql) {
                calls += meetsLocks(sql) ? 1 : 0;
                return false;
            });
            scenario(world);
            cSQLiteDbBase::setLockFaultForTests(nullptr);
            statements = calls;
            check(world, -1);
        }
        EXPECT_GT(statements, 0);
        for (int failing = 0; failing < statements; ++failing) {
            World world;
            EXPECT_TRUE(world.openDocuments());
            seed(world);
            int calls = 0;
            bool locked = true;
            cSQLiteDbBase::setLockFaultForTests([&](const char* sql) {
                if (!meetsLocks(sql))
                    return false;
                const int n = calls++;
                return locked && n >= failing && n < failing + span;
            });
            cSQLiteDbBase::resetLongestWindowWait();
            scenario(world);
            EXPECT_LE(cSQLiteDbBase::totalWindowWaitMs(), kFrameMs)
                << "statement " << failing << ": the window waited more than a frame in all";
            locked = false;
            check(world, failing);
            cSQLiteDbBase::setLockFaultForTests(nullptr);
            if (::testing::Test::HasFailure())
                break;  // one failing statement says enough
        }
        return statements;
    }
};

TEST_F(StoresUnderLock, ANoteOpenedAndTypedIntoKeepsItsTextAndTheWordsTyped)
{
    for (int span : {1, 3}) {
        NotePane pane;
        eachStatementFails(
            [](World& w) { ASSERT_TRUE(w.notes().save(NoteLocation::bible(kJohn316), QStringLiteral("My old note"))); },
            [&pane](World& w) {
                pane = NotePane();
                pane.open(w.notes());
                pane.type(QStringLiteral(" New words"));
                pane.autosave(w.notes());
            },
            [&pane](World& w, int failing) {
                // The lock went: the pane reads what it could not, the user types what the closed
                // editor did not take, and the autosave stores what is owed.
                if (!pane.read) {
                    pane.open(w.notes());
                    ASSERT_TRUE(pane.read) << failing;
                    pane.type(QStringLiteral(" New words"));
                }
                pane.autosave(w.notes());
                EXPECT_FALSE(pane.owed) << failing;
                EXPECT_EQ(pane.shown, QStringLiteral("My old note")) << failing;
                EXPECT_EQ(w.storedNote(kJohn316), QStringLiteral("My old note New words")) << failing;
                EXPECT_EQ(w.liveNoteRows(), 1) << failing;
                EXPECT_FALSE(pane.deletedElsewhere) << failing;
            },
            span);
    }
}

TEST_F(StoresUnderLock, TheAutosaveUnderALockNeitherSeesADeletionNorLosesTheTyping)
{
    for (int span : {1, 3}) {
        NotePane pane;
        eachStatementFails(
            [&pane](World& w) {
                pane = NotePane();
                pane.open(w.notes());
                pane.type(QStringLiteral("alpha"));
                pane.autosave(w.notes());
                ASSERT_FALSE(pane.owed);
            },
            [&pane](World& w) {
                pane.type(QStringLiteral(" beta gamma"));
                pane.autosave(w.notes());
            },
            [&pane](World& w, int failing) {
                pane.autosave(w.notes());  // the autosave's next try
                EXPECT_FALSE(pane.deletedElsewhere) << failing << ": a failed read taken for a deletion";
                EXPECT_FALSE(pane.owed) << failing;
                EXPECT_EQ(w.storedNote(kJohn316), QStringLiteral("alpha beta gamma")) << failing;
            },
            span);
    }
}

TEST_F(StoresUnderLock, HighlightsAddedAndRemovedLandOrAreSaidToHaveFailedAndThePageShowsTheTable)
{
    for (int span : {1, 3}) {
        bool removed = false;
        bool added = false;
        eachStatementFails(
            [](World& w) {
                ASSERT_TRUE(w.highlights().setHighlight(cBibleRef(kGenesis11), 0, 3));
                ASSERT_TRUE(w.highlights().setHighlight(cBibleRef(kGenesis12), 0, 4));
            },
            [&](World& w) {
                w.drawPage();
                removed = w.highlights().removeHighlight(cBibleRef(kGenesis11));
                added = w.highlights().setHighlight(cBibleRef(kJohn316), 0, 5);
                w.drawPage();  // the highlights changed: the page is drawn again
            },
            [&](World& w, int failing) {
                // What failed was said; the user does it again once the database is free.
                if (!removed)
                    removed = w.highlights().removeHighlight(cBibleRef(kGenesis11));
                if (!added)
                    added = w.highlights().setHighlight(cBibleRef(kJohn316), 0, 5);
                EXPECT_TRUE(removed && added) << failing;
                w.drawPageIfStale();
                const std::map<quint32, int> expected {{kGenesis12, 4}, {kJohn316, 5}};
                EXPECT_EQ(w.storedHighlights(), expected) << failing;
                EXPECT_EQ(w.pageMarks(), expected) << failing << ": the page does not show what is stored";
            },
            span);
    }
}

TEST_F(StoresUnderLock, AStartUnderALockOpensTheDocumentsOnceTheDatabaseAnswers)
{
    for (int span : {1, 3}) {
        NotePane pane;
        eachStatementFails(
            [](World& w) {
                ASSERT_TRUE(w.highlights().setHighlight(cBibleRef(kGenesis11), 0, 3));
                ASSERT_TRUE(w.notes().save(NoteLocation::bible(kGenesis11), QStringLiteral("In the beginning")));
                w.closeDocuments();
            },
            [&pane](World& w) {
                w.openDocuments();
                w.drawPage();
                pane = NotePane();
                pane.at = NoteLocation::bible(kGenesis11);
                pane.open(w.notes());
            },
            [&pane](World& w, int failing) {
                // The reader opens what is closed and reads again what it could not.
                ASSERT_TRUE(w.openClosedDocuments()) << failing;
                if (w.openedAgain)
                    w.drawPage();
                w.drawPageIfStale();
                if (!pane.read)
                    pane.open(w.notes());
                EXPECT_TRUE(pane.read) << failing;
                EXPECT_EQ(pane.shown, QStringLiteral("In the beginning")) << failing;
                const std::map<quint32, int> expected {{kGenesis11, 3}};
                EXPECT_EQ(w.storedHighlights(), expected) << failing;
                EXPECT_EQ(w.pageMarks(), expected) << failing << ": the page does not show what is stored";
                pane.type(QStringLiteral(" God created"));
                pane.autosave(w.notes());
                EXPECT_EQ(w.storedNote(kGenesis11), QStringLiteral("In the beginning God created")) << failing;
            },
            span);
    }
}

}  // namespace
