#include "reports/AutoStudyManager.h"

#include "engine/references/BibleRef.h"
#include "library/SourceManager.h"
#include "platform/NotificationCenter.h"
#include "reports/OutputFile.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Reports are compared with the files in tests/reports/golden. After a deliberate change, run the test
// with QS_UPDATE_GOLDEN=1 to rewrite them, and read the difference before committing it.

namespace {

const QString kSamples = QStringLiteral(QS_BINARY_DIR "/library");
const QString kGolden = QStringLiteral(QS_SOURCE_DIR "/tests/reports/golden");

// One private home and one library for the whole program (the library is a process singleton).
struct Home {
    QTemporaryDir dir;
    bool ready = false;
    Home()
    {
        const QByteArray p = dir.path().toUtf8();
        setenv("HOME", p.constData(), 1);
        setenv("XDG_DATA_HOME", (p + "/data").constData(), 1);
        setenv("XDG_CACHE_HOME", (p + "/cache").constData(), 1);
        setenv("XDG_CONFIG_HOME", (p + "/config").constData(), 1);
        // The notes database of the reports, in the same home.
        QDir().mkpath(dir.path() + QStringLiteral("/data"));
        cSQLiteDbBase::setEngineDataFolder(cLString16((p + "/data").constData()));
        if (!QFile::exists(kSamples + QStringLiteral("/KJV.tvk")))
            return;
        const QString books = dir.path() + QStringLiteral("/books");
        QDir().mkpath(books);
        for (const QString& n : QDir(kSamples).entryList({QStringLiteral("*.tvk")}, QDir::Files))
            QFile::copy(kSamples + QLatin1Char('/') + n, books + QLatin1Char('/') + n);
        SourceManager::Folders f;
        f.books = books;
        f.cache = dir.path() + QStringLiteral("/cache/library");
        f.refused = dir.path() + QStringLiteral("/refused");
        QDir().mkpath(f.cache);
        SourceManager::configureSingleton(f);
        ready = SourceManager::singleton().allSources()->count() > 0;
    }
};

Home& home()
{
    static Home h;
    return h;
}

#define NEED_LIBRARY()                                                                                                 \
    if (!home().ready)                                                                                                 \
    GTEST_SKIP() << "the sample library is not built"

QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void expectGolden(const QString& path, const QString& name)
{
    ASSERT_FALSE(path.isEmpty());
    const QString text = readAll(path);
    const QString golden = kGolden + QLatin1Char('/') + name;
    if (qEnvironmentVariableIsSet("QS_UPDATE_GOLDEN")) {
        QFile f(golden);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        return;
    }
    EXPECT_EQ(text.toStdString(), readAll(golden).toStdString()) << name.toStdString();
}

SourceTuple::Ptr book(const char* abbr)
{
    const auto all = SourceManager::singleton().allSources();
    for (const auto& t : all->array())
        if (t->abbr() == QLatin1String(abbr))
            return t;
    return nullptr;
}

class AutoStudyManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NEED_LIBRARY();
        QCoreApplication::setApplicationName(QStringLiteral("Quillstead"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
        QFile::remove(AutoStudyElements::defaultFilename());
        QFile::remove(AutoStudyCSS::userCopyPath());
        m_manager = AutoStudyManager::createForTesting();
    }
    std::unique_ptr<AutoStudyManager> m_manager;
};

TEST_F(AutoStudyManagerTest, FirstStartFillsTheElementsFromTheLibrary)
{
    auto& e = m_manager->elements();
    EXPECT_EQ(e.version(), 2);
    auto abbrs = [](const AutoStudyElement* el) {
        QStringList out;
        for (const auto& b : el->bookArray)
            out << b.text;
        return out;
    };
    auto& verse = e.verseStudyElements();
    const QStringList bibles = abbrs(AutoStudyElements::elementDictionaryForID(1, verse));
    EXPECT_TRUE(bibles.contains(QStringLiteral("KJV")));
    EXPECT_TRUE(bibles.contains(QStringLiteral("WEB")));
    EXPECT_TRUE(abbrs(AutoStudyElements::elementDictionaryForID(3, verse)).contains(QStringLiteral("Scofield")));
    EXPECT_TRUE(AutoStudyElements::elementDictionaryForID(10, verse)->bookArray.isEmpty());
    EXPECT_FALSE(abbrs(AutoStudyElements::elementDictionaryForID(7, e.todayStudyElements())).isEmpty());
    for (const auto& b : AutoStudyElements::elementDictionaryForID(1, verse)->bookArray)
        EXPECT_TRUE(b.checked);

    // Removal takes a book out everywhere; adding it again appends it, checked, at the end.
    auto web = book("WEB");
    ASSERT_TRUE(web);
    AutoStudyElements::elementDictionaryForID(1, verse)->bookArray.first().checked = false;
    m_manager->makeSureBookIsNotUsed(*web);
    EXPECT_FALSE(abbrs(AutoStudyElements::elementDictionaryForID(1, verse)).contains(QStringLiteral("WEB")));
    Notification added {SourceManager::qsSourceManagerAddedBookNotification, nullptr,
        {{QStringLiteral("tuple"), sharedObjectVariant(web)}}};
    NotificationCenter::defaultCenter().post(added);
    EXPECT_EQ(abbrs(AutoStudyElements::elementDictionaryForID(1, verse)).last(), QStringLiteral("WEB"));
    EXPECT_FALSE(AutoStudyElements::elementDictionaryForID(1, verse)->bookArray.first().checked);
    // The same book again (another edition) keeps its place and checked state.
    const int count = AutoStudyElements::elementDictionaryForID(1, verse)->bookArray.size();
    AutoStudyElements::elementDictionaryForID(1, verse)->bookArray.last().editionNum = 99;
    m_manager->makeSureBookIsUsed(*web, true);
    EXPECT_EQ(AutoStudyElements::elementDictionaryForID(1, verse)->bookArray.size(), count);
    EXPECT_EQ(AutoStudyElements::elementDictionaryForID(1, verse)->bookArray.last().editionNum, web->editionNumber());
    // A notification without a book changes nothing.
    Notification bare {SourceManager::qsSourceManagerRemovedBookNotification, nullptr, {}};
    NotificationCenter::defaultCenter().post(bare);
    EXPECT_EQ(AutoStudyElements::elementDictionaryForID(1, verse)->bookArray.size(), count);

    // A stale book is dropped by the validation at the next start.
    AutoStudyElements::elementDictionaryForID(1, verse)->bookArray.append({77, 77, 1, 1, true, "X", "X"});
    e.setDataChanged();
    e.save();
    m_manager.reset();
    m_manager = AutoStudyManager::createForTesting();
    EXPECT_FALSE(abbrs(AutoStudyElements::elementDictionaryForID(1, m_manager->elements().verseStudyElements()))
                     .contains(QStringLiteral("X")));
}

TEST_F(AutoStudyManagerTest, VerseStudyOfJohn316)
{
    auto kjv = book("KJV");
    ASSERT_TRUE(kjv);
    BibleRef ref;
    ref.setLanguage(int(kjv->bookLanguage() & 0xFFFF));
    ASSERT_TRUE(ref.parse(QStringLiteral("John 3:16")));
    ASSERT_TRUE(ref.mapToTranslation(kjv->abbr()));
    const QString path = m_manager->resultsFileForAutoVerseStudyOn(ref, kjv, 0);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.startsWith(QDir::homePath()));
    const QString text = readAll(path);
    EXPECT_TRUE(text.startsWith(QStringLiteral("<html><head>\r")));
    EXPECT_TRUE(text.contains(QStringLiteral("<div class=\"title\">Study on John 3:16")));
    EXPECT_TRUE(text.contains(QStringLiteral("only begotten Son")));
    EXPECT_TRUE(text.contains(QStringLiteral("<div class=\"subtitle\">Bibliography</div>")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("from Tavrosen, Inc.</p>\r</body>\r</html>")));
    expectGolden(path, QStringLiteral("verse-john-3-16.htm"));

    // Limited to the dictionaries of the verse's words: no word-attribute headings.
    const QString limited = readAll(m_manager->resultsFileForAutoVerseStudyOn(ref, kjv, 5));
    EXPECT_FALSE(limited.contains(QStringLiteral("Word Attribute Definitions")));
    EXPECT_FALSE(limited.contains(QStringLiteral("Additional Bible Translations")));
}

TEST_F(AutoStudyManagerTest, AHostileNoteReachesTheSavedReportInert)
{
    auto kjv = book("KJV");
    ASSERT_TRUE(kjv);
    cNoteDoc* notes = noteDocInstance();
    ASSERT_NE(notes, nullptr);
    // A synced note on Romans 8:28 (no other test reports on it).
    cBibleNote note;
    note.booknum = 45;
    note.chapter = 8;
    note.verse = 28;
    note.note.assign(cLString16("<p>All things work together</p><script>alert(1)</script>"
                                "<iframe src=http://127.0.0.1:9/x></iframe><object data=x.swf></object>"
                                "<form action=http://127.0.0.1:9/><input name=q></form>"
                                "<img src=x onerror=alert(2)><<img src=y onerror=alert(3)>>"
                                "<a href=\"javascript:alert(4)\" onclick=alert(5)>link</a><b>kept</b>"
                                "<img src=z onmouseover=alert(6)"));
    ASSERT_TRUE(notes->saveBibleNote(note, false));
    AutoStudyElement* mine = AutoStudyElements::elementDictionaryForID(
        AutoStudyElements::MyNotesID, m_manager->elements().verseStudyElements());
    ASSERT_NE(mine, nullptr);
    mine->checked = true;
    BibleRef ref;
    ASSERT_TRUE(ref.parse(QStringLiteral("Romans 8:28"), kjv->abbr()));
    const QString path = m_manager->resultsFileForAutoVerseStudyOn(ref, kjv, AutoStudyElements::MyNotesID);
    ASSERT_FALSE(path.isEmpty());
    const QString text = readAll(path);
    EXPECT_TRUE(text.contains(QStringLiteral("<p>All things work together</p>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<b>kept</b>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<img src=x>")));
    for (const char* active :
        {"<script", "alert(1)", "<iframe", "<object", "<form", "onerror", "onclick", "javascript:", "127.0.0.1"})
        EXPECT_FALSE(text.contains(QLatin1String(active), Qt::CaseInsensitive)) << active;
    // The unclosed tag at the note's end stays text, not a tag that takes in the report's markup.
    EXPECT_TRUE(text.contains(QStringLiteral("&lt;img src=z onmouseover=alert(6)")));
    note.note.makeEmpty();
    ASSERT_TRUE(notes->saveBibleNote(note, false));
}

TEST_F(AutoStudyManagerTest, WordStudyOfGrace)
{
    auto kjv = book("KJV");
    ASSERT_TRUE(kjv);
    EXPECT_TRUE(m_manager->resultsFileForAutoWordStudyOn(QStringLiteral("the"), kjv, 0).isEmpty());
    EXPECT_TRUE(m_manager->resultsFileForAutoWordStudyOn(QString(), kjv, 0).isEmpty());
    const QString path = m_manager->resultsFileForAutoWordStudyOn(QStringLiteral("grace"), kjv, 0);
    const QString text = readAll(path);
    EXPECT_TRUE(text.contains(QStringLiteral("<div class=\"title\">Word Study on \"grace\"</div>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<div class=\"subtitle\">Search Summary</div><p>")));
    expectGolden(path, QStringLiteral("word-grace.htm"));
}

TEST_F(AutoStudyManagerTest, TodaysReadingForAFixedDate)
{
    const QString path = m_manager->resultsFileForAutoTodayStudyOn(QDate(2026, 3, 14), nullptr, 0);
    const QString text = readAll(path);
    EXPECT_TRUE(text.contains(QStringLiteral("<div class=\"title\">Reading for March 14, 2026</div>")));
    EXPECT_TRUE(text.contains(QStringLiteral("Reading from ")));
    expectGolden(path, QStringLiteral("today-2026-03-14.htm"));
}

TEST_F(AutoStudyManagerTest, StyleSheetEditsApplyToTheNextReportAndRevert)
{
    AutoStudyCSS& css = m_manager->css();
    const QString def = css.defaultCSSString();
    EXPECT_TRUE(def.startsWith(QStringLiteral("<style type=\"text/css\">\n/* Reset all tags */\n")));
    EXPECT_TRUE(def.contains(QStringLiteral(".title {")));
    EXPECT_TRUE(def.endsWith(QStringLiteral("}\n</style>")));
    EXPECT_TRUE(css.saveCSSEditorContents(def));
    EXPECT_FALSE(QFile::exists(AutoStudyCSS::userCopyPath()));
    const QString mine = QStringLiteral("<style>.title {color:red;}</style>");
    css.saveCSSEditorContents(mine);
    EXPECT_EQ(readAll(AutoStudyCSS::userCopyPath()), mine);
    EXPECT_TRUE(m_manager->stringWithHeader().contains(mine));
    css.saveCSSEditorContents(def);
    EXPECT_FALSE(QFile::exists(AutoStudyCSS::userCopyPath()));
    EXPECT_TRUE(m_manager->stringWithHeader().contains(def));
}

TEST(AutoStudyFrame, BibliographyAndSectionRanges)
{
    SourceTupleArray none;
    EXPECT_TRUE(AutoStudyManager::stringWithBibliography(none).isEmpty());
    EXPECT_FALSE(AutoStudyManager::shouldLookupWord(QStringLiteral("The")));
    EXPECT_TRUE(AutoStudyManager::shouldLookupWord(QStringLiteral("grace")));
    EXPECT_EQ(AutoStudyManager::autostudyIDsForSourceKind(8), (QList<int> {3, 4}));
    EXPECT_TRUE(AutoStudyManager::autostudyIDsForSourceKind(11).isEmpty());
    EXPECT_TRUE(AutoStudyManager::autostudyIDsForSourceKind(0).isEmpty());
}

}  // namespace

TEST_F(AutoStudyManagerTest, ProbesAndEmptyReportsLeaveNoFileBehind)
{
    auto kjv = book("KJV");
    ASSERT_TRUE(kjv);
    const QDir folder(OutputFile::folder());
    const auto files = [&folder] { return folder.entryList({QStringLiteral("*.htm")}, QDir::Files); };
    const QStringList before = files();
    BibleRef ref;
    ASSERT_TRUE(ref.parse(QStringLiteral("John 3:16"), kjv->abbr()));
    EXPECT_TRUE(m_manager->canDoVerseStudyOn(ref, kjv, 0));
    EXPECT_TRUE(m_manager->canDoWordStudyOn(QStringLiteral("grace"), kjv, 0));
    EXPECT_FALSE(m_manager->canDoWordStudyOn(QStringLiteral("and"), kjv, 0));
    // With only "My Notes" asked for and no notes, the probe finds nothing.
    EXPECT_FALSE(m_manager->canDoVerseStudyOn(ref, kjv, AutoStudyElements::MyNotesID));
    // A passage the Bible does not hold: no report and no file.
    BibleRef beyond;
    beyond.parse(QStringLiteral("John 30:1"), kjv->abbr());
    EXPECT_TRUE(m_manager->resultsFileForAutoVerseStudyOn(beyond, kjv, 0).isEmpty());
    EXPECT_EQ(files(), before);
}

TEST(AutoStudyReadings, EachReadingRunsToTheNextAndTheLastStopsAtTheBooksEnd)
{
    // Readings start at sections 1, 5 and 7 of a book of 9 sections (0-8).
    const QList<quint32> firsts {0, 1, 5, 7};
    const auto sectionFor = [&firsts](quint32 n) { return n < quint32(firsts.size()) ? firsts[n] : 0; };
    using P = std::pair<quint32, quint32>;
    EXPECT_EQ(AutoStudyManager::readingSections(1, 3, 9, sectionFor), (P {1, 4}));
    EXPECT_EQ(AutoStudyManager::readingSections(2, 3, 9, sectionFor), (P {5, 6}));
    // The last reading is as long as the one before it (7-8)...
    EXPECT_EQ(AutoStudyManager::readingSections(3, 3, 9, sectionFor), (P {7, 8}));
    // ...but never runs past the book's end: after a long reading, a short last one.
    const QList<quint32> longFirst {0, 1, 7};
    const auto sectionFor2 = [&longFirst](quint32 n) { return n < quint32(longFirst.size()) ? longFirst[n] : 0; };
    EXPECT_EQ(AutoStudyManager::readingSections(2, 2, 9, sectionFor2), (P {7, 8}));
    // A book of one reading runs to its end.
    EXPECT_EQ(AutoStudyManager::readingSections(1, 1, 9, sectionFor), (P {1, 8}));
    // A damaged table whose readings go backwards gives one section, never a reversed range.
    const QList<quint32> backwards {0, 6, 2};
    const auto sectionFor3 = [&backwards](quint32 n) { return n < quint32(backwards.size()) ? backwards[n] : 0; };
    EXPECT_EQ(AutoStudyManager::readingSections(1, 2, 9, sectionFor3), (P {6, 6}));
}

TEST_F(AutoStudyManagerTest, TheLastDaysOfALeapYearHaveTheirReadings)
{
    for (const QDate day : {QDate(2024, 12, 30), QDate(2024, 12, 31), QDate(2024, 2, 29), QDate(2024, 1, 1)}) {
        const QString path = m_manager->resultsFileForAutoTodayStudyOn(day, nullptr, 0);
        ASSERT_FALSE(path.isEmpty());
        EXPECT_TRUE(readAll(path).contains(QLatin1String("Reading from "))) << day.toString().toStdString();
        QFile::remove(path);
    }
}
