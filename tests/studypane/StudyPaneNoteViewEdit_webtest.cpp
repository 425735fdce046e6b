// The note viewer and editor in live web views (one process: the web engine starts once). Typing
// reaches the database whatever comes next (a tab switch, another note, quitting), the autosave and
// the final save store their forms, pasted hostile HTML is stored and shown inert, journal titles
// follow their rules, the format commands and style buttons follow the selection, links reach the
// go-to routing with their escapes undone, and a deletion clears the pane. Saves a picture of the
// pane with a note open.

#include <gtest/gtest.h>

#include "StudyPaneSampleLibrary.h"
#include "StudyPaneTestSupport.h"
#include "cloud/protocol/SyncTime.h"
#include "engine/docbase/cSourceDoc.h"
#include "library/GoToRequest.h"
#include "library/JournalSourceTuple.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/BookPageScheme.h"
#include "platform/SaveFailureAlerts.h"
#include "platform/SettingsKeys.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/EditFormatDelegate.h"
#include "studypane/StudyPaneNoteEditor.h"
#include "studypane/StudyPaneNoteLinks.h"
#include "studypane/StudyPaneNoteRecovery.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/notes/NoteStore.h"
#include "support/RecordingAlerts.h"
#include "support/TestSupport.h"
#include "tests/cloud/sync/SyncHarness.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWebEnginePage>

#include <csignal>
#include <sys/types.h>

using namespace StudyPaneTest;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kWebEngineUsable = false;
#else
constexpr bool kWebEngineUsable = true;
#endif

const quint32 kJohn316 = makeBibleKey(43, 3, 16);
const quint32 kGen11 = makeBibleKey(1, 1, 1);

using Editor = StudyPaneNoteViewEditViewController;

QVariant js(QWebEngineView* view, const QString& script)
{
    return TestSupport::runScript(view->page(), script, 10000).value_or(QVariant());
}

QString stored(const NoteLocation& l)
{
    return StudyPaneTest::userNotes().read(l).text;
}

// Another program's connection, holding the notes database (BEGIN EXCLUSIVE) against the window
// thread's statements; null when it could not. The caller ends it.
sqlite3* holdTheDatabase()
{
    cSQLiteDbBase::setWindowThread();
    sqlite3* other = nullptr;
    if (sqlite3_open(sqlite3_db_filename(cSQLiteDbBase::connectionHandle(), "main"), &other) != SQLITE_OK ||
        sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(other);
        return nullptr;
    }
    return other;
}

class NoteEditor : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_library = openSampleLibrary({"KJV.tvk", "Scofield.tvk"}); }
    static void TearDownTestSuite()
    {
        SearchExecutor::shared().waitForDone();
        delete s_library;
        s_library = nullptr;
    }

    void SetUp() override
    {
        if (!kWebEngineUsable)
            GTEST_SKIP() << "no live web view under the sanitizers";
        if (s_library == nullptr)
            GTEST_SKIP() << "the sample library is not built";
        deleteAllNotes();
        m_alerts = std::make_shared<RecordingAlerts>();
        // The failed saves, as the window's notice line gets them.
        SaveFailureAlerts::reset();
        SaveFailureAlerts::setSayer(
            [this](const QList<SaveFailureAlerts::Failure>& failures) { m_saveFailures.append(failures); });
        m_screen = std::make_unique<Screen>();
        std::tie(kjv, scofield) = kjvAndScofield(*s_library);
        ASSERT_TRUE(kjv && scofield);
        StudyPaneEnvironment env = m_screen->environment(s_library);
        env.notes = noteDocInstance();
        env.activeBook = [this] { return kjv; };
        env.alerts = m_alerts.get();
        env.formatRegistry = m_formats;
        env.chooseSaveFile = [this](const QString& suggested) {
            m_suggestedNames.append(suggested);
            return m_saveTo.isEmpty() ? QString() : m_saveTo.takeFirst();
        };
        pane = m_screen->install(env);
        editor = pane->studyPaneNoteViewEditViewController();
        ASSERT_NE(editor, nullptr);
        pane->paneView()->resize(360, 640);
        pane->paneView()->show();
        pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kNoteViewEditSubpane);
    }
    void TearDown() override
    {
        if (m_screen)
            pane->exitIsImminent();
        m_screen.reset();
        QCoreApplication::processEvents();
        SaveFailureAlerts::setSayer({});
        SaveFailureAlerts::reset();
    }

    // Asks for a note as the notes list or the book pane does and waits for its page.
    void open(const QVariantMap& info)
    {
        m_screen->center.postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr, info);
        waitForPage(editor->selectedTab());
    }
    void openBible(quint32 key, bool edit)
    {
        open({{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), key},
            {QStringLiteral("section"), kjv->locations().sectionForBibleKey(key)}, {QStringLiteral("edit"), edit}});
    }
    // A widget of the note sub-pane's view, found by its name as a user would find it by its place.
    template <class W> W* shown(const QString& name) const
    {
        W* w = editor->view()->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    // What the status line says of the local copy.
    QString localStatus() const { return shown<QLabel>(QStringLiteral("localStorageStatusTextField"))->text(); }
    // The status line announces an autosave.
    bool autosavePending() const { return localStatus() == QStringLiteral("Local Storage: Will auto-save..."); }
    bool waitForPage(int tab)
    {
        NoteWebView* v = editor->webView(Editor::Tab(tab));
        const bool ok = waitFor([v] { return v->isPageReady(); }, 20000);
        // The page's own script has run once its content is there.
        return ok && waitFor([v] { return js(v, QStringLiteral("typeof qsPageSerial")).toString() == "number"; });
    }
    // Ends the view's renderer as a crash or the system's memory killer does; true once the view has
    // come back with a page of a new renderer.
    static bool killRendererAndWaitForItsReturn(NoteWebView* view)
    {
        const qint64 renderer = view->page()->renderProcessPid();
        if (renderer <= 0 || ::kill(pid_t(renderer), SIGKILL) != 0)
            return false;
        return waitFor([&] {
            const qint64 pid = view->page()->renderProcessPid();
            return pid > 0 && pid != renderer && view->isPageReady();
        });
    }
    // Types as the keyboard does into the shown editor.
    void type(const QString& text)
    {
        NoteWebView* v = editor->webView(editor->selectedTab());
        v->setFocus();
        js(v,
            QStringLiteral("qsFocusEditor(); var e = qsEditorElement(); if (e.id === 'editor') { var r = "
                           "document.createRange(); r.selectNodeContents(e); r.collapse(false); var s = "
                           "getSelection(); s.removeAllRanges(); s.addRange(r); }"));
        // Keys reach the editor once the page itself has the focus, which the engine passes on later.
        EXPECT_TRUE(waitFor([v] { return js(v, QStringLiteral("document.hasFocus()")).toBool(); }));
        QWidget* target = v->focusProxy() != nullptr ? v->focusProxy() : v;
        QTest::keyClicks(target, text);
    }
    QString editorText()
    {
        return js(editor->webView(editor->selectedTab()),
            QStringLiteral(
                "qsEditorElement().id === 'editor' ? qsEditorElement().textContent : qsEditorElement().value"))
            .toString();
    }

    static inline SourceManager* s_library = nullptr;
    std::shared_ptr<RecordingAlerts> m_alerts;
    QList<SaveFailureAlerts::Failure> m_saveFailures;
    std::shared_ptr<EditFormatRegistry> m_formats = std::make_shared<EditFormatRegistry>();
    std::unique_ptr<Screen> m_screen;
    SourceTuple::Ptr kjv, scofield;
    // The answers of the save dialog, in turn (an empty one cancels), and the names it suggested.
    QStringList m_saveTo;
    QStringList m_suggestedNames;
    StudyPaneViewController* pane = nullptr;
    Editor* editor = nullptr;
};

}  // namespace

TEST_F(NoteEditor, TypingThenSwitchingTabKeepsEveryCharacter)
{
    openBible(kJohn316, true);
    ASSERT_EQ(editor->selectedTab(), Editor::RichEditTab);
    EXPECT_EQ(shown<QLabel>(QStringLiteral("bookTitleTextField"))->text(),
        QStringLiteral("%1 (%2)").arg(kjv->record().name, kjv->record().abbr));
    EXPECT_EQ(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->text(), QStringLiteral("John 3:16"));
    type(QStringLiteral("For God so loved the world"));
    // No wait: the tab changes while the last keys may still be on their way to the page.
    editor->selectTab(Editor::ViewTab);
    ASSERT_TRUE(waitFor([] { return stored(NoteLocation::bible(kJohn316)).contains("For God so loved the world"); }))
        << stored(NoteLocation::bible(kJohn316)).toStdString();
    EXPECT_FALSE(editor->webViewHasBeenEdited());
    EXPECT_FALSE(editor->webViewNeedsFinalSave());
    ASSERT_TRUE(waitFor([this] {
        return js(editor->webView(Editor::ViewTab), QStringLiteral("document.body.textContent"))
            .toString()
            .contains(QStringLiteral("For God so loved the world"));
    }));

    // The Text Edit tab holds the source, and typing there is kept as well.
    editor->selectTab(Editor::TextEditTab);
    ASSERT_TRUE(waitForPage(Editor::TextEditTab));
    EXPECT_EQ(editor->selectedTab(), Editor::TextEditTab);
    EXPECT_TRUE(editorText().contains(QStringLiteral("For God so loved the world")));
    type(QStringLiteral(" that he gave"));
    editor->selectTab(Editor::RichEditTab);
    ASSERT_TRUE(waitFor([] { return stored(NoteLocation::bible(kJohn316)).contains("that he gave"); }))
        << stored(NoteLocation::bible(kJohn316)).toStdString();
}

TEST_F(NoteEditor, MarkupTypedInTheSourceTabStaysAsTypedThroughTheAutosaves)
{
    openBible(kGen11, true);
    QTabBar* bar = shown<QTabBar>(QStringLiteral("tabView"));
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(Editor::TextEditTab).center());
    ASSERT_EQ(editor->selectedTab(), Editor::TextEditTab);
    ASSERT_TRUE(waitForPage(Editor::TextEditTab));
    NoteWebView* source = editor->webView(Editor::TextEditTab);
    const quint64 page = source->serial();
    type(QString());
    QWidget* keys = source->focusProxy() != nullptr ? source->focusProxy() : source;
    // Key by key, with the autosave's save after each run of keys: a lone "<", an open tag, a tag
    // still being named, markup closed again.
    const QStringList runs {QStringLiteral("Love <"), QStringLiteral("b>never</"), QStringLiteral("b> fails; 1 <"),
        QStringLiteral(" 2 and 3 > 2 <i"), QStringLiteral(">amen</i><br>")};
    QString typed;
    for (const QString& run : runs) {
        QTest::keyClicks(keys, run);
        typed += run;
        // The page took the keys and the reader has them.
        ASSERT_TRUE(waitFor([&] {
            const StudyPaneNoteEditor::Page* p = editor->noteEditor()->livePage(source);
            return p != nullptr && p->latest == typed;
        })) << typed.toStdString();
        ASSERT_TRUE(autosavePending());
        editor->saveEditedText(true);
        // Stored, and the source the user is typing in stays the page it was, with what was typed.
        EXPECT_FALSE(stored(NoteLocation::bible(kGen11)).isEmpty());
        EXPECT_EQ(source->serial(), page) << "the source page was loaded again after: " << typed.toStdString();
        EXPECT_EQ(editorText(), typed);
    }
    EXPECT_EQ(typed, QStringLiteral("Love <b>never</b> fails; 1 < 2 and 3 > 2 <i>amen</i><br>"));

    // Leaving the tab stores the whole text in its final form (the trailing break trimmed), and the
    // view shows it.
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(Editor::ViewTab).center());
    ASSERT_EQ(editor->selectedTab(), Editor::ViewTab);
    EXPECT_EQ(
        stored(NoteLocation::bible(kGen11)), QStringLiteral("Love <b>never</b> fails; 1 < 2 and 3 > 2 <i>amen</i>"))
        << stored(NoteLocation::bible(kGen11)).toStdString();
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    EXPECT_EQ(js(editor->webView(Editor::ViewTab), QStringLiteral("document.body.textContent")).toString().trimmed(),
        QStringLiteral("Love never fails; 1 < 2 and 3 > 2 amen"));
    EXPECT_EQ(
        js(editor->webView(Editor::ViewTab), QStringLiteral("document.querySelectorAll('b,i').length")).toInt(), 2);
}

TEST_F(NoteEditor, ASyncSavesTheTypingFirstAndItsCopyReplacesTheSourceInPlace)
{
    openBible(kJohn316, true);
    QTabBar* bar = shown<QTabBar>(QStringLiteral("tabView"));
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(Editor::TextEditTab).center());
    ASSERT_TRUE(waitForPage(Editor::TextEditTab));
    NoteWebView* source = editor->webView(Editor::TextEditTab);
    const quint64 page = source->serial();
    const auto pushed = [&](const QString& text) {
        return waitFor([&] {
            const StudyPaneNoteEditor::Page* p = editor->noteEditor()->livePage(source);
            return p != nullptr && p->latest == text;
        });
    };
    type(QStringLiteral("typed <i>before</i> the sync"));
    ASSERT_TRUE(pushed(QStringLiteral("typed <i>before</i> the sync")));
    ASSERT_TRUE(autosavePending());

    // A sync of Bible notes is about to start: the typing is stored first, and stays in the source.
    m_screen->center.postNotificationName(StudyPaneNotifications::qsBibleNoteSynchronizationWillStartNotification);
    EXPECT_EQ(stored(NoteLocation::bible(kJohn316)), QStringLiteral("typed <i>before</i> the sync"));
    EXPECT_FALSE(autosavePending());
    EXPECT_EQ(source->serial(), page);
    EXPECT_EQ(editorText(), QStringLiteral("typed <i>before</i> the sync"));

    // The sync writes another device's copy: the source shows it in the same page, which goes on
    // taking keys.
    ASSERT_TRUE(
        StudyPaneTest::userNotes().save(NoteLocation::bible(kJohn316), QStringLiteral("<p>from the other device</p>")));
    m_screen->center.postNotificationName(PaneNotifications::qsNotesHaveChangedNotification);
    EXPECT_EQ(source->serial(), page);
    ASSERT_TRUE(waitFor([&] { return editorText() == QStringLiteral("<p>from the other device</p>"); }))
        << editorText().toStdString();
    QWidget* keys = source->focusProxy() != nullptr ? source->focusProxy() : source;
    QTest::keyClick(keys, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(keys, QStringLiteral("<p>and mine</p>"));
    ASSERT_TRUE(pushed(QStringLiteral("<p>from the other device</p><p>and mine</p>")));
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(Editor::ViewTab).center());
    EXPECT_EQ(stored(NoteLocation::bible(kJohn316)), QStringLiteral("<p>from the other device</p>\n<p>and mine</p>\n"));

    // Typing that the page took after the reader's copy is not replaced by a copy from elsewhere.
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(Editor::TextEditTab).center());
    ASSERT_TRUE(waitForPage(Editor::TextEditTab));
    type(QString());
    QTest::keyClick(keys, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(keys, QStringLiteral("mine"));
    ASSERT_TRUE(waitFor([&] { return editorText().endsWith(QStringLiteral("mine")); })) << editorText().toStdString();
    const quint64 typedIn = source->serial();
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::bible(kJohn316), QStringLiteral("<p>a later copy</p>")));
    // The page took the keys, whether or not their push has reached the reader: the copy does not
    // replace them.
    m_screen->center.postNotificationName(PaneNotifications::qsNotesHaveChangedNotification);
    EXPECT_EQ(source->serial(), typedIn);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(Editor::ViewTab).center());
    EXPECT_TRUE(waitFor([] { return stored(NoteLocation::bible(kJohn316)).endsWith(QStringLiteral("mine")); }))
        << stored(NoteLocation::bible(kJohn316)).toStdString();
}

TEST_F(NoteEditor, TypingThenSwitchingNoteKeepsEveryCharacter)
{
    openBible(kJohn316, true);
    type(QStringLiteral("first note text"));
    openBible(kGen11, true);
    EXPECT_EQ(editor->location().key, kGen11);
    ASSERT_TRUE(waitFor([] { return stored(NoteLocation::bible(kJohn316)) == QStringLiteral("first note text"); }))
        << stored(NoteLocation::bible(kJohn316)).toStdString();
    type(QStringLiteral("second"));
    editor->selectTab(Editor::ViewTab);
    ASSERT_TRUE(waitFor([] { return stored(NoteLocation::bible(kGen11)) == QStringLiteral("second"); }));
    EXPECT_EQ(stored(NoteLocation::bible(kJohn316)), QStringLiteral("first note text"));
}

TEST_F(NoteEditor, TypingThenQuittingKeepsEveryCharacterRightAway)
{
    openBible(kGen11, true);
    type(QStringLiteral("typed just before quitting"));
    pane->exitIsImminent();
    // Nothing more runs after the application's last call: the text is in the database now.
    EXPECT_EQ(stored(NoteLocation::bible(kGen11)), QStringLiteral("typed just before quitting"));
}

// The autosave stores the text's final form; the save still owed at the next tab change finds the
// same text and writes nothing (the note keeps the time of the user's last change).
TEST_F(NoteEditor, AutosaveStoresTheFinalFormAndTheOwedSaveWritesNothingMore)
{
    Recorder changes(m_screen->center, PaneNotifications::qsNotesHaveChangedNotification);
    openBible(kJohn316, true);
    EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Note is empty"));
    EXPECT_TRUE(shown<QPushButton>(QStringLiteral("deleteNoteButton"))->isHidden());
    type(QStringLiteral("autosaved"));
    ASSERT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited(); }));
    EXPECT_TRUE(autosavePending());
    EXPECT_EQ(
        shown<QLabel>(QStringLiteral("cloudStorageStatusTextField"))->text(), QStringLiteral("Cloud Sync: Manual"));
    NoteWebView* page = editor->webView(Editor::RichEditTab);
    js(page, QStringLiteral("document.getElementById('editor').innerHTML += '<br><br>&nbsp; '; qsOnInput();"));
    ASSERT_TRUE(waitFor([&] {
        const StudyPaneNoteEditor::Page* held = editor->noteEditor()->pageShownBy(page);
        return held != nullptr && held->latest.contains(QStringLiteral("<br>"));
    }));
    // The timer's save: trailing breaks trimmed at once; the final save is still owed.
    editor->saveEditedText(true);
    EXPECT_EQ(stored(NoteLocation::bible(kJohn316)), QStringLiteral("autosaved"));
    EXPECT_FALSE(autosavePending());
    EXPECT_TRUE(editor->webViewNeedsFinalSave());
    EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Saved"));
    EXPECT_FALSE(shown<QPushButton>(QStringLiteral("deleteNoteButton"))->isHidden());
    // What the user typed stays in the editor as typed.
    EXPECT_TRUE(js(page, QStringLiteral("document.getElementById('editor').innerHTML"))
                    .toString()
                    .contains(QStringLiteral("<br>")));
    const qsizetype posts = changes.posts.size();
    ASSERT_EQ(posts, 1);
    // No more typing: the tab change makes the owed save, which has nothing to write.
    editor->selectTab(Editor::ViewTab);
    EXPECT_FALSE(editor->webViewNeedsFinalSave());
    EXPECT_EQ(stored(NoteLocation::bible(kJohn316)), QStringLiteral("autosaved"));
    EXPECT_EQ(changes.posts.size(), posts) << "an unchanged note was written again";
}

// A note the user autosaved and then left alone keeps the time of its last change: another computer's
// later edit of it, synced meanwhile, wins the next sync after this reader quits, on both sides.
TEST_F(NoteEditor, QuittingWithoutTypingKeepsALaterEditMadeElsewhere)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    const auto syncHere = [&server] {
        sync_test::RecordingDelegate delegate;
        delegate.device = QStringLiteral("device-a");
        qs::cloud::SyncManager engine;
        engine.setServer(QStringLiteral("127.0.0.1"), server.syncPort());
        engine.setDelegate(&delegate);
        engine.syncAll(true);
        sync_test::Reader::waitIdle(engine, 60000);
        return delegate.errors;
    };
    cSQLiteDbBase db;
    ASSERT_TRUE(db.open(db.databasePath()));
    const auto storedTime = [&db] {
        cSQLRows rows;
        EXPECT_TRUE(db.exec("SELECT timestamp FROM BibleNotes WHERE booknum = 43 AND chapter = 3 AND verse = 16 AND "
                            "deleted = 0",
            {}, &rows));
        return rows.size() == 1 && !rows[0].empty() ? QString::fromUtf8(rows[0][0].chars()) : QString();
    };

    // Typed here and autosaved, a while ago, and synced.
    openBible(kJohn316, true);
    type(QStringLiteral("A-version"));
    ASSERT_TRUE(waitFor([this] {
        editor->saveEditedText(true);
        return stored(NoteLocation::bible(kJohn316)).contains(QStringLiteral("A-version"));
    }));
    const QString typedAt = qs::cloud::SyncLocalData::colonTime(qs::cloud::SyncLocalData::nowMs() - 8000);
    ASSERT_TRUE(db.exec("UPDATE BibleNotes SET timestamp = ? WHERE booknum = 43 AND chapter = 3 AND verse = 16",
        {cLString8(typedAt.toUtf8().constData())}));
    ASSERT_EQ(syncHere(), QStringList());

    // Another computer of the account rewrites the note later and syncs.
    const QString kept = QStringLiteral("<p>B-version, the one to keep</p>\n");
    {
        standin_test::SyncClient other(server.syncPort());
        ASSERT_TRUE(other.greeting());
        ASSERT_TRUE(
            other.login(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"), "device-b").has_value());
        other.send("ADD", QStringLiteral("BIBLENOTES"),
            {QStringLiteral("1"), qs::cloud::formatSyncTime(qs::cloud::currentSyncTimeMs() - 4000),
                QStringLiteral("43"), QStringLiteral("3"), QStringLiteral("16"), kept});
        const auto added = other.next();
        ASSERT_TRUE(added.has_value());
        ASSERT_EQ(added->noun(), QStringLiteral("SUCCESS")) << added->paramAtIndex(3).toStdString();
    }

    // This reader quits without another key: the save owed after the autosave writes nothing.
    EXPECT_TRUE(editor->webViewNeedsFinalSave());
    const QString before = stored(NoteLocation::bible(kJohn316));
    pane->exitIsImminent();
    EXPECT_EQ(stored(NoteLocation::bible(kJohn316)), before);
    EXPECT_EQ(storedTime(), typedAt) << "the quit re-dated the note";

    // The next sync brings the later edit here and leaves it on the server.
    ASSERT_EQ(syncHere(), QStringList());
    EXPECT_EQ(stored(NoteLocation::bible(kJohn316)), kept);
    standin_test::SyncClient other(server.syncPort());
    ASSERT_TRUE(other.greeting());
    ASSERT_TRUE(other.login(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"), "device-b").has_value());
    other.send("SYNC", QStringLiteral("BIBLENOTES"), {QStringLiteral("0")});
    QStringList onServer;  // John 3:16 (the earlier tests' deletions went up too)
    for (auto line = other.next(); line && line->verb() != QStringLiteral("SYNC"); line = other.next()) {
        const QString fields = line->parameters().mid(4).join(QLatin1Char('|'));
        if (fields.startsWith(QStringLiteral("43|3|16|")))
            onServer.append(line->verb() + QLatin1Char(' ') + fields);
    }
    EXPECT_EQ(onServer, QStringList {QStringLiteral("ADD 43|3|16|") + kept});
    db.close();
}

// A note that grows past what one sync line carries says so on the status line while it is typed,
// and stops saying so once it is short enough again.
TEST_F(NoteEditor, ANoteTooLargeToSyncSaysSoAsItGrows)
{
    openBible(kJohn316, true);
    QLabel* cloud = shown<QLabel>(QStringLiteral("cloudStorageStatusTextField"));
    type(QStringLiteral("start "));
    ASSERT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited(); }));
    EXPECT_EQ(cloud->text(), QStringLiteral("Cloud Sync: Manual"));
    // A long paste, as the page's own input handling pushes it. Four megabytes go through the page,
    // the bridge and the autosave: on two busy cores that takes a good part of a minute.
    constexpr int kLargeNoteWaitMs = 3 * TestSupport::kWaitMs;
    js(editor->webView(Editor::RichEditTab),
        QStringLiteral("document.getElementById('editor').textContent += 'w'.repeat(4300000); qsOnInput();"));
    ASSERT_TRUE(
        waitFor([cloud] { return cloud->text() == QStringLiteral("Cloud Sync: Too large to sync"); }, kLargeNoteWaitMs))
        << cloud->text().toStdString();
    EXPECT_TRUE(cloud->toolTip().contains(QStringLiteral("does not sync until it is shortened")));
    js(editor->webView(Editor::RichEditTab),
        QStringLiteral("document.getElementById('editor').textContent = 'short again'; qsOnInput();"));
    ASSERT_TRUE(waitFor([cloud] { return cloud->text() == QStringLiteral("Cloud Sync: Manual"); }, kLargeNoteWaitMs))
        << cloud->text().toStdString();
}

TEST_F(NoteEditor, PastedHostileHtmlIsStoredAndShownInert)
{
    openBible(kJohn316, true);
    const QString hostile =
        QStringLiteral("<p onclick=\"window.qsPwned=1\">pasted text <b>bold</b></p>"
                       "<script>window.qsPwned=2</script>"
                       "<img src=\"http://evil.example/x.png\" onerror=\"window.qsPwned=3\">"
                       "<a href=\"javascript:window.qsPwned=4\" onmouseover=\"window.qsPwned=5\">bad link</a>"
                       "<a href=\"https://example.org/ok\">good link</a>"
                       "<iframe src=\"https://evil.example/\"></iframe>");
    auto* mime = new QMimeData;
    mime->setHtml(hostile);
    mime->setText(QStringLiteral("pasted text"));
    QGuiApplication::clipboard()->setMimeData(mime);
    NoteWebView* v = editor->webView(Editor::RichEditTab);
    type(QString());
    QTest::keyClick(v->focusProxy() != nullptr ? v->focusProxy() : v, Qt::Key_V, Qt::ControlModifier);
    if (!waitFor(
            [v] {
                return js(v, QStringLiteral("document.getElementById('editor').innerHTML"))
                    .toString()
                    .contains("pasted");
            },
            5000)) {
        // A clipboard the offscreen platform does not hand to the page: the same event, made by script.
        js(v,
            QStringLiteral("var d = new DataTransfer(); d.setData('text/html', %1); "
                           "document.getElementById('editor').dispatchEvent(new ClipboardEvent('paste', "
                           "{clipboardData: d, bubbles: true, cancelable: true}));")
                .arg(QString::fromUtf8(QJsonDocument(QJsonArray {hostile}).toJson(QJsonDocument::Compact))
                         .mid(1)
                         .chopped(1)));
    }
    ASSERT_TRUE(waitFor([v] {
        return js(v, QStringLiteral("document.getElementById('editor').innerHTML")).toString().contains("pasted");
    }));
    const QString inEditor = js(v, QStringLiteral("document.getElementById('editor').innerHTML")).toString();
    EXPECT_TRUE(inEditor.contains(QStringLiteral("a-placeholder"))) << inEditor.toStdString();
    EXPECT_FALSE(inEditor.contains(QStringLiteral("<a "))) << inEditor.toStdString();
    ASSERT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited(); }));
    editor->selectTab(Editor::ViewTab);
    const QString saved = stored(NoteLocation::bible(kJohn316));
    EXPECT_TRUE(saved.contains(QStringLiteral("pasted text"))) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("https://example.org/ok"))) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("<a "))) << saved.toStdString();
    for (const char* bad : {"<script", "onclick", "onerror", "onmouseover", "javascript:", "evil.example", "<iframe",
             "a-placeholder", "qsPwned"})
        EXPECT_FALSE(saved.contains(QLatin1String(bad), Qt::CaseInsensitive)) << bad << ": " << saved.toStdString();
    // Shown, nothing of it runs: no handler, script or script link.
    NoteWebView* shown = editor->webView(Editor::ViewTab);
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    js(shown,
        QStringLiteral("for (const a of document.querySelectorAll('a,p,img')) { a.dispatchEvent(new "
                       "MouseEvent('mouseover', {bubbles: true})); }"));
    EXPECT_EQ(js(shown, QStringLiteral("String(window.qsPwned)")).toString(), QStringLiteral("undefined"));
    EXPECT_EQ(js(v, QStringLiteral("String(window.qsPwned)")).toString(), QStringLiteral("undefined"));

    // A note that holds script already (from a sync, say) is shown inert too.
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::bible(kGen11), hostile));
    openBible(kGen11, false);
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    EXPECT_TRUE(js(shown, QStringLiteral("document.body.textContent")).toString().contains("pasted text"));
    EXPECT_EQ(js(shown, QStringLiteral("document.querySelectorAll('script').length")).toInt(), 1);  // ours only
    EXPECT_EQ(js(shown, QStringLiteral("document.querySelectorAll('[onclick],[onerror],iframe').length")).toInt(), 0);
    EXPECT_EQ(js(shown, QStringLiteral("String(window.qsPwned)")).toString(), QStringLiteral("undefined"));
}

TEST_F(NoteEditor, JournalNotesFollowTheTitleRules)
{
    auto newJournalNote = [this](const QString& text) {
        dynamic_cast<StudyPaneNotesListViewController*>(pane->subpane(StudyPaneViewController::kJournalListSubpane))
            ->onAddButton();
        waitForPage(Editor::RichEditTab);
        EXPECT_EQ(editor->selectedTab(), Editor::RichEditTab);
        EXPECT_FALSE(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->isReadOnly());
        type(text);
        EXPECT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited(); }));
        editor->selectTab(Editor::ViewTab);
        // Keys still on their way when the tab changed are stored as they arrive.
        EXPECT_TRUE(waitFor([this, text] { return StudyPaneTest::userNotes().read(editor->location()).text == text; }));
    };
    newJournalNote(QStringLiteral("first entry"));
    EXPECT_EQ(stored(NoteLocation::journal(QStringLiteral("Untitled"))), QStringLiteral("first entry"));
    EXPECT_EQ(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->text(), QStringLiteral("Untitled"));
    EXPECT_EQ(shown<QLabel>(QStringLiteral("bookTitleTextField"))->text(),
        JournalSourceTuple::journalSourceTuple()->record().name);
    newJournalNote(QStringLiteral("second entry"));
    EXPECT_EQ(stored(NoteLocation::journal(QStringLiteral("Untitled-1"))), QStringLiteral("second entry"));

    // A rename to a used title takes the first free form; a change of case keeps the typed title.
    editor->selectTab(Editor::RichEditTab);
    ASSERT_TRUE(waitForPage(Editor::RichEditTab));
    shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->setText(QStringLiteral("untitled"));
    editor->selectTab(Editor::ViewTab);
    EXPECT_EQ(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->text(), QStringLiteral("untitled-2"));
    EXPECT_EQ(stored(NoteLocation::journal(QStringLiteral("untitled-2"))), QStringLiteral("second entry"));
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::journal(QStringLiteral("Untitled-1"))));
    editor->selectTab(Editor::TextEditTab);
    ASSERT_TRUE(waitForPage(Editor::TextEditTab));
    shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->setText(QStringLiteral("UNTITLED-2"));
    editor->selectTab(Editor::ViewTab);
    EXPECT_EQ(StudyPaneTest::userNotes().read(NoteLocation::journal(QStringLiteral("untitled-2"))).text,
        QStringLiteral("second entry"));
    EXPECT_EQ(editor->location().journalTitle.value_or(QString()), QStringLiteral("UNTITLED-2"));
    // A long title is cut to 128 characters.
    editor->selectTab(Editor::RichEditTab);
    ASSERT_TRUE(waitForPage(Editor::RichEditTab));
    shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->setText(QString(200, QLatin1Char('t')));
    editor->selectTab(Editor::ViewTab);
    EXPECT_TRUE(StudyPaneTest::userNotes().exists(NoteLocation::journal(QString(128, QLatin1Char('t')))));
}

TEST_F(NoteEditor, FormatCommandsApplyInTheRichEditorAndTheButtonsFollowTheSelection)
{
    openBible(kJohn316, false);
    ASSERT_EQ(editor->selectedTab(), Editor::ViewTab);
    // The window's format commands reach the note editor through the window's registry.
    EditFormatDelegate* format = m_formats->current();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format, editor->noteEditor());
    EXPECT_FALSE(format->canBold());
    editor->selectTab(Editor::RichEditTab);
    ASSERT_TRUE(waitForPage(Editor::RichEditTab));
    EXPECT_TRUE(format->canBold() && format->canHeading3() && format->canUnorderedList());
    type(QStringLiteral("plain"));
    NoteWebView* v = editor->webView(Editor::RichEditTab);
    ASSERT_TRUE(waitFor([this] { return editorText() == QStringLiteral("plain"); }));
    js(v,
        QStringLiteral("var r = document.createRange(); r.selectNodeContents(document.getElementById('editor')); "
                       "getSelection().removeAllRanges(); getSelection().addRange(r);"));
    format->applyBold();
    format->applyHeading2();
    ASSERT_TRUE(waitFor([v] {
        return js(v, QStringLiteral("document.querySelector('#editor h2 b, #editor h2 strong') !== null")).toBool();
    }));
    // The caret inside the bold heading: the buttons show both styles, and nothing else.
    js(v,
        QStringLiteral("var t = document.querySelector('#editor h2 b, #editor h2 strong').firstChild; var r = "
                       "document.createRange(); r.setStart(t, 2); r.collapse(true); "
                       "getSelection().removeAllRanges(); getSelection().addRange(r);"));
    // The style buttons, as the user finds them by their tool tips.
    const auto checked = [this](const char* tip) {
        for (const QToolButton* b : editor->view()->findChildren<QToolButton*>()) {
            if (b->toolTip() == QLatin1String(tip))
                return b->isChecked();
        }
        ADD_FAILURE() << "no style button " << tip;
        return false;
    };
    ASSERT_TRUE(waitFor([&checked] { return checked("Bold"); }));
    EXPECT_TRUE(waitFor([&checked] { return checked("Heading 2"); }));
    EXPECT_FALSE(checked("Italic"));
    EXPECT_FALSE(checked("Paragraph"));
    editor->selectTab(Editor::ViewTab);
    const QString saved = stored(NoteLocation::bible(kJohn316));
    EXPECT_TRUE(saved.contains(QStringLiteral("<h2>"), Qt::CaseInsensitive)) << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("<b>"), Qt::CaseInsensitive) ||
        saved.contains(QStringLiteral("<strong>"), Qt::CaseInsensitive))
        << saved.toStdString();
    EXPECT_FALSE(format->canBold());
}

TEST_F(NoteEditor, LinksReachTheRoutingAndShowPreviews)
{
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::bible(kJohn316),
        QStringLiteral("<p>See <a href=\"Romans 8:28\">Rom</a> and <a href=\"Tom's \\ note\">odd</a>.</p>")));
    openBible(kJohn316, false);
    NoteWebView* v = editor->webView(Editor::ViewTab);
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    const QString href = js(v, QStringLiteral("document.querySelectorAll('a')[1].getAttribute('href')")).toString();
    EXPECT_TRUE(href.startsWith(QStringLiteral("javascript:href('"))) << href.toStdString();
    EXPECT_TRUE(href.contains(QStringLiteral("@@apos@@")) && href.contains(QStringLiteral("@@bs@@")));
    Recorder goTos(m_screen->center, LibraryNotifications::GoToNotification);
    js(v, QStringLiteral("document.querySelectorAll('a')[1].click()"));
    ASSERT_TRUE(waitFor([&goTos] { return !goTos.posts.isEmpty(); }));
    const QVariantMap info = GoToRequest::of(goTos.posts.first()).toUserInfo();
    EXPECT_EQ(info.value(GoToKeys::href).toString(), QStringLiteral("Tom's \\ note"));
    EXPECT_TRUE(info.value(GoToKeys::wasHyperlink).toBool());
    EXPECT_EQ(info.value(GoToKeys::layoutUuid).toString(), m_screen->layout->uuidString());
    // A hover asks for a preview, shown after half a second unless the pointer leaves.
    js(v, QStringLiteral("document.querySelector('a').dispatchEvent(new MouseEvent('mouseover', {bubbles: true}))"));
    ASSERT_TRUE(waitFor([this] { return editor->links()->isPreviewPending(); }));
    js(v, QStringLiteral("document.querySelector('a').dispatchEvent(new MouseEvent('mouseout', {bubbles: true}))"));
    ASSERT_TRUE(waitFor([this] { return !editor->links()->isPreviewPending(); }));
    // A link clicked in the editor is not followed: the user is told once, unless they say no more.
    editor->selectTab(Editor::RichEditTab);
    ASSERT_TRUE(waitForPage(Editor::RichEditTab));
    m_alerts->queueAnswer(AlertSecondButtonReturn);
    js(editor->webView(Editor::RichEditTab), QStringLiteral("document.querySelector('a').click()"));
    ASSERT_TRUE(waitFor([this] { return !m_alerts->shown().isEmpty(); }));
    EXPECT_EQ(m_alerts->shown().first().messageText, QStringLiteral("Links are disabled in the editor."));
    EXPECT_TRUE(waitFor([this] { return !m_screen->defaults->value(SettingsKeys::ShowLinksDisabledMessage); }));
    EXPECT_EQ(goTos.posts.size(), 1);
}

TEST_F(NoteEditor, DeletingClearsThePaneAndOnlyViewCanBeChosen)
{
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::bible(kJohn316), QStringLiteral("<p>to be deleted</p>")));
    openBible(kJohn316, false);
    EXPECT_EQ(editor->webViewString(), QStringLiteral("<p>to be deleted</p>"));
    EXPECT_FALSE(shown<QPushButton>(QStringLiteral("deleteNoteButton"))->isHidden());
    m_alerts->queueAnswer(AlertSecondButtonReturn);  // "No"
    editor->onDeleteNoteButton();
    EXPECT_TRUE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316)));
    ASSERT_EQ(m_alerts->shown().size(), 1);
    EXPECT_EQ(m_alerts->shown()[0].effectiveDefaultButton(), 1);  // Return keeps the note
    m_alerts->queueAnswer(AlertFirstButtonReturn);
    editor->onDeleteNoteButton();
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316)));
    EXPECT_FALSE(editor->hasSomethingToDisplay());
    EXPECT_EQ(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->text(), QStringLiteral("No Note to View"));
    EXPECT_EQ(shown<QLabel>(QStringLiteral("bookTitleTextField"))->text(), QStringLiteral("---"));
    EXPECT_TRUE(localStatus().isEmpty());
    EXPECT_TRUE(shown<QPushButton>(QStringLiteral("deleteNoteButton"))->isHidden());
    shown<QTabBar>(QStringLiteral("tabView"))->setCurrentIndex(Editor::RichEditTab);
    EXPECT_EQ(editor->selectedTab(), Editor::ViewTab);
    EXPECT_EQ(shown<QTabBar>(QStringLiteral("tabView"))->currentIndex(), int(Editor::ViewTab));
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    EXPECT_TRUE(js(editor->webView(Editor::ViewTab), QStringLiteral("document.body.textContent"))
                    .toString()
                    .contains(QStringLiteral("Note is empty.")));
}

// A note deleted by another program while the editor shows it, with a final save owed after an
// autosave: the saves that follow (a sync's, a tab switch's) and other notes' changes do not bring
// it back. The pane shows it as deleted, with its text, and the reader's typing stores it again and
// says so.
TEST_F(NoteEditor, ANoteDeletedElsewhereComesBackOnlyWhenTheReaderTypesIntoIt)
{
    const NoteLocation john316 = NoteLocation::bible(kJohn316);
    openBible(kJohn316, true);
    type(QStringLiteral("Written here"));
    ASSERT_TRUE(waitFor([&] {
        editor->saveEditedText(true);  // the autosave: the final save stays owed
        return stored(john316).contains(QStringLiteral("Written here"));
    }));
    ASSERT_TRUE(editor->webViewNeedsFinalSave());
    // Another program deletes it, as sqlite3 would.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(sqlite3_db_filename(cSQLiteDbBase::connectionHandle(), "main"), &other), SQLITE_OK);
    const int rc =
        sqlite3_exec(other, "UPDATE BibleNotes SET deleted = 1 WHERE booknum = 43 AND chapter = 3 AND verse = 16",
            nullptr, nullptr, nullptr);
    sqlite3_close(other);
    ASSERT_EQ(rc, SQLITE_OK);
    ASSERT_FALSE(StudyPaneTest::userNotes().exists(john316));

    m_screen->center.postNotificationName(StudyPaneNotifications::qsBibleNoteSynchronizationWillStartNotification);
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(john316)) << "the owed final save wrote the note back";
    EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Deleted elsewhere"));
    EXPECT_EQ(editorText(), QStringLiteral("Written here"));
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::bible(kGen11), QStringLiteral("<p>another note</p>")));
    m_screen->center.postNotificationName(PaneNotifications::qsNotesHaveChangedNotification);
    QTabBar* bar = shown<QTabBar>(QStringLiteral("tabView"));
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(Editor::ViewTab).center());
    ASSERT_EQ(editor->selectedTab(), Editor::ViewTab);
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(john316)) << "leaving the editor wrote the note back";
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    EXPECT_EQ(js(editor->webView(Editor::ViewTab), QStringLiteral("document.body.textContent")).toString().trimmed(),
        QStringLiteral("Written here"));
    EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Deleted elsewhere"));

    // Typed into again: stored again, and the pane says so.
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(Editor::RichEditTab).center());
    ASSERT_TRUE(waitForPage(Editor::RichEditTab));
    type(QStringLiteral(", kept"));
    ASSERT_TRUE(waitFor([&] {
        const StudyPaneNoteEditor::Page* p = editor->noteEditor()->livePage(editor->webView(Editor::RichEditTab));
        return p != nullptr && p->latest.contains(QStringLiteral(", kept"));
    }));
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(john316));
    editor->saveEditedText(true);
    EXPECT_EQ(stored(john316), QStringLiteral("<p>Written here, kept</p>\n"));
    EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Saved again"));
}

// Words typed into a note another program deleted are the reader's newest: the save that notices
// the deletion stores them and says so. A note a sync brings back is shown as it is then.
TEST_F(NoteEditor, WordsTypedAfterADeletionElsewhereAreStoredAndANoteBroughtBackIsNoLongerDeleted)
{
    const NoteLocation john316 = NoteLocation::bible(kJohn316);
    const auto otherProgram = [](const char* sql) {
        sqlite3* other = nullptr;
        EXPECT_EQ(sqlite3_open(sqlite3_db_filename(cSQLiteDbBase::connectionHandle(), "main"), &other), SQLITE_OK);
        const int rc = sqlite3_exec(other, sql, nullptr, nullptr, nullptr);
        sqlite3_close(other);
        return rc;
    };
    openBible(kJohn316, true);
    type(QStringLiteral("alpha"));
    ASSERT_TRUE(waitFor([&] {
        editor->saveEditedText(true);
        return stored(john316).contains(QStringLiteral("alpha"));
    }));
    ASSERT_EQ(
        otherProgram("UPDATE BibleNotes SET deleted = 1 WHERE booknum = 43 AND chapter = 3 AND verse = 16"), SQLITE_OK);
    type(QStringLiteral(" beta"));
    ASSERT_TRUE(waitFor([&] {
        const StudyPaneNoteEditor::Page* p = editor->noteEditor()->livePage(editor->webView(Editor::RichEditTab));
        return p != nullptr && p->latest.contains(QStringLiteral(" beta"));
    }));
    // The save at quit, or on opening another note.
    ASSERT_TRUE(editor->saveEditedText(false));
    EXPECT_TRUE(stored(john316).contains(QStringLiteral("alpha beta"))) << stored(john316).toStdString();
    EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Saved again"));

    // Deleted again while a final save is owed, noticed by a sync's save; then a sync brings the note
    // back with another device's text.
    type(QStringLiteral(" gamma"));
    ASSERT_TRUE(waitFor([&] {
        editor->saveEditedText(true);
        return stored(john316).contains(QStringLiteral("gamma"));
    }));
    ASSERT_TRUE(editor->webViewNeedsFinalSave());
    ASSERT_EQ(
        otherProgram("UPDATE BibleNotes SET deleted = 1 WHERE booknum = 43 AND chapter = 3 AND verse = 16"), SQLITE_OK);
    m_screen->center.postNotificationName(StudyPaneNotifications::qsBibleNoteSynchronizationWillStartNotification);
    ASSERT_EQ(localStatus(), QStringLiteral("Local Storage: Deleted elsewhere"));
    ASSERT_EQ(otherProgram("UPDATE BibleNotes SET deleted = 0, note = '<p>from the other device</p>' WHERE "
                           "booknum = 43 AND chapter = 3 AND verse = 16"),
        SQLITE_OK);
    m_screen->center.postNotificationName(
        PaneNotifications::qsNotesHaveChangedNotification, nullptr, {{QStringLiteral("changed"), true}});
    EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Saved"));
    EXPECT_EQ(editor->webViewString(), QStringLiteral("<p>from the other device</p>"));
    ASSERT_TRUE(waitFor([&] { return editorText() == QStringLiteral("from the other device"); }));
}

// A note opened while another program holds the database is not shown as empty and takes no typing:
// the pane says it waits, and opens the note in its editor, with its text, once the lock goes.
TEST_F(NoteEditor, ANoteThatCannotBeReadOpensOnceTheDatabaseAnswers)
{
    const NoteLocation john316 = NoteLocation::bible(kJohn316);
    ASSERT_TRUE(StudyPaneTest::userNotes().save(john316, QStringLiteral("<p>My old note</p>")));
    sqlite3* other = holdTheDatabase();
    ASSERT_NE(other, nullptr);
    openBible(kJohn316, true);
    EXPECT_TRUE(editor->noteUnreadable());
    EXPECT_EQ(editor->selectedTab(), Editor::ViewTab);
    EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Waiting for the database"));
    EXPECT_FALSE(editor->tabShouldSelect(Editor::RichEditTab));
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    EXPECT_TRUE(js(editor->webView(Editor::ViewTab), QStringLiteral("document.body.textContent"))
                    .toString()
                    .contains(QStringLiteral("could not be read yet")));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    ASSERT_TRUE(waitFor([&] { return editor->selectedTab() == Editor::RichEditTab; }, 10000));
    ASSERT_TRUE(waitForPage(Editor::RichEditTab));
    EXPECT_EQ(editorText(), QStringLiteral("My old note"));
    type(QStringLiteral(" New words"));
    ASSERT_TRUE(waitFor([&] {
        editor->saveEditedText(true);
        return stored(john316).contains(QStringLiteral("New words"));
    }));
    EXPECT_TRUE(stored(john316).contains(QStringLiteral("My old note New words"))) << stored(john316).toStdString();
    cSQLiteDbBase::setWindowThread(std::thread::id());
}

// What changes in the pane without the reader asking for it (a note deleted elsewhere, a note read at
// last after a lock, with the editor asked for meanwhile) leaves the keys where the reader put them;
// the reader's own turn to the pane gives them to the shown tab.
TEST_F(NoteEditor, AChangeTheReaderDidNotAskForLeavesTheKeysWhereTheyAre)
{
    QWidget* window = pane->paneView();
    QLineEdit elsewhere(window);  // outside the note sub-pane, as a book page is
    elsewhere.show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const auto keysElsewhere = [&] { return QApplication::focusWidget() == &elsewhere; };
    const NoteLocation john316 = NoteLocation::bible(kJohn316);

    ASSERT_TRUE(StudyPaneTest::userNotes().save(john316, QStringLiteral("<p>deleted by another</p>")));
    openBible(kJohn316, false);
    elsewhere.setFocus();
    ASSERT_TRUE(waitFor(keysElsewhere));
    ASSERT_TRUE(StudyPaneTest::userNotes().remove(john316));
    m_screen->center.postNotificationName(PaneNotifications::qsNotesHaveChangedNotification);
    ASSERT_TRUE(waitFor([&] { return !editor->hasSomethingToDisplay(); }));
    const auto keysTaken = [&] { return waitFor([&] { return !keysElsewhere(); }, 600); };
    EXPECT_FALSE(keysTaken()) << "the deletion took the keys";

    // The reader's turn to the pane: the keys go to the tab shown.
    editor->studyPaneDidActivateSubview();
    NoteWebView* view = editor->webView(Editor::ViewTab);
    EXPECT_TRUE(waitFor([&] { return view->isAncestorOf(QApplication::focusWidget()) || view->hasFocus(); }));

    // Asked for in its editor while the database was held, then left for elsewhere: it opens in
    // the editor once read, with the keys still elsewhere.
    ASSERT_TRUE(StudyPaneTest::userNotes().save(john316, QStringLiteral("<p>held</p>")));
    sqlite3* other = holdTheDatabase();
    ASSERT_NE(other, nullptr);
    openBible(kJohn316, true);
    EXPECT_TRUE(editor->noteUnreadable());
    elsewhere.setFocus();
    ASSERT_TRUE(waitFor(keysElsewhere));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    ASSERT_TRUE(waitFor([&] { return editor->selectedTab() == Editor::RichEditTab; }, 10000));
    ASSERT_TRUE(waitForPage(Editor::RichEditTab));
    EXPECT_FALSE(keysTaken()) << "the note read at last took the keys";
    cSQLiteDbBase::setWindowThread(std::thread::id());
}

// An editor emptied as a user empties it deletes the note, in either tab and for Bible and book
// notes alike, and the change says it deleted the note (the book panes drop its link on that).
TEST_F(NoteEditor, ClearingTheTextDeletesTheNoteAndSaysSo)
{
    Recorder changes(m_screen->center, PaneNotifications::qsNotesHaveChangedNotification);
    const auto clickTab = [this](Editor::Tab tab) {
        QTabBar* bar = shown<QTabBar>(QStringLiteral("tabView"));
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(tab).center());
    };
    const auto clearAndType = [this](const QString& text) {
        type(QString());
        NoteWebView* v = editor->webView(editor->selectedTab());
        QWidget* keys = v->focusProxy() != nullptr ? v->focusProxy() : v;
        QTest::keyClick(keys, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(keys, Qt::Key_Delete);
        QTest::keyClicks(keys, text);
    };
    const auto deletedPosts = [&changes] {
        int n = 0;
        for (const Notification& post : changes.posts)
            n += post.userInfo.value(QStringLiteral("deletedNote")).toBool() ? 1 : 0;
        return n;
    };

    // Rich Edit: select all, Delete; the autosave deletes the note, and the pane then says there is no
    // note to view and offers only View.
    ASSERT_TRUE(
        StudyPaneTest::userNotes().save(NoteLocation::bible(kJohn316), QStringLiteral("<p>to be cleared</p>\n")));
    openBible(kJohn316, true);
    ASSERT_TRUE(waitFor([this] { return editorText().trimmed() == QStringLiteral("to be cleared"); }));
    clearAndType(QString());
    ASSERT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited() && editorText().trimmed().isEmpty(); }));
    editor->saveEditedText(true);
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316)));
    ASSERT_EQ(deletedPosts(), 1);
    EXPECT_EQ(changes.posts.last().userInfo.value(QStringLiteral("key")).toUInt(), kJohn316);
    EXPECT_FALSE(changes.posts.last().userInfo.value(QStringLiteral("newNote")).toBool());
    EXPECT_EQ(editor->selectedTab(), Editor::ViewTab);
    EXPECT_FALSE(editor->hasSomethingToDisplay());
    EXPECT_EQ(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->text(), QStringLiteral("No Note to View"));
    EXPECT_EQ(shown<QLabel>(QStringLiteral("bookTitleTextField"))->text(), QStringLiteral("---"));
    EXPECT_TRUE(shown<QPushButton>(QStringLiteral("deleteNoteButton"))->isHidden());
    EXPECT_TRUE(localStatus().isEmpty());
    clickTab(Editor::RichEditTab);
    EXPECT_EQ(editor->selectedTab(), Editor::ViewTab);
    EXPECT_EQ(deletedPosts(), 1) << "the note was deleted once";

    // A new note of one line, typed and saved, then cleared: the editor holds nothing at all (no empty
    // paragraph), and the pane says there is no note all the same.
    openBible(kJohn316 + 1, true);
    ASSERT_TRUE(waitForPage(Editor::RichEditTab));
    type(QStringLiteral("one line"));
    ASSERT_TRUE(waitFor([this] { return editorText() == QStringLiteral("one line"); }));
    editor->saveEditedText(true);
    ASSERT_TRUE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316 + 1)));
    clearAndType(QString());
    ASSERT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited() && editorText().isEmpty(); }));
    editor->saveEditedText(true);
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316 + 1)));
    ASSERT_EQ(deletedPosts(), 2);
    EXPECT_EQ(editor->selectedTab(), Editor::ViewTab);
    EXPECT_EQ(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->text(), QStringLiteral("No Note to View"));

    // Text Edit of a book note: markup that shows nothing is no note either.
    const NoteLocation bookNote = NoteLocation::book(scofield->sourceTupleID(), 12);
    ASSERT_TRUE(StudyPaneTest::userNotes().save(bookNote, QStringLiteral("<p>a book note</p>")));
    open({{QStringLiteral("sourceID"), QVariant::fromValue(scofield->sourceTupleID())},
        {QStringLiteral("section"), 12u}, {QStringLiteral("edit"), true}});
    clickTab(Editor::TextEditTab);
    ASSERT_TRUE(waitForPage(Editor::TextEditTab));
    clearAndType(QStringLiteral("<p>&nbsp;</p><p><br></p>"));
    ASSERT_TRUE(waitFor([this] { return editorText() == QStringLiteral("<p>&nbsp;</p><p><br></p>"); }))
        << editorText().toStdString();
    clickTab(Editor::ViewTab);
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(bookNote));
    ASSERT_EQ(deletedPosts(), 3);
    EXPECT_EQ(changes.posts.last().userInfo.value(QStringLiteral("section")).toUInt(), 12u);
    EXPECT_EQ(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->text(), QStringLiteral("No Note to View"));
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    EXPECT_TRUE(js(editor->webView(Editor::ViewTab), QStringLiteral("document.body.textContent"))
                    .toString()
                    .contains(QStringLiteral("Note is empty.")));
}

TEST_F(NoteEditor, RequestsOfAnotherLayoutAreIgnoredAndANoteComesBackAfterARestart)
{
    Layout* other =
        m_screen->manager.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 800, 600}, QString());
    m_screen->manager.setCurrentLayout(other);
    m_screen->center.postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
        {{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), kGen11}});
    EXPECT_FALSE(editor->hasSomethingToDisplay());
    m_screen->manager.setCurrentLayout(m_screen->layout);

    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::book(scofield->sourceTupleID(), 12),
        QStringLiteral("<h3>The first day</h3><p>Light before the sun: compare John 1:4-5 and 2 Cor 4:6.</p>"
                       "<ul><li>evening and morning</li><li><b>God saw</b> that it was <i>good</i></li></ul>")));
    open({{QStringLiteral("sourceID"), QVariant::fromValue(scofield->sourceTupleID())},
        {QStringLiteral("section"), 12u}});
    EXPECT_EQ(editor->location().kind(), NoteLocation::Kind::Book);
    EXPECT_EQ(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->text(),
        scofield->words().plainTextSearchResultTitleForSection(12));
    EXPECT_EQ(pane->state()->noteViewPaneSection, 12u);
    EXPECT_EQ(pane->state()->noteViewPaneSourceTupleID, std::optional<SourceTupleID>(scofield->sourceTupleID()));

    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    NoteWebView* shown = editor->webView(Editor::ViewTab);
    EXPECT_TRUE(TestSupport::waitForPainted(shown->page(), shown));
    EXPECT_TRUE(pane->paneView()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/study-pane-notes.png")));
}

TEST_F(NoteEditor, AChangeFromElsewhereDoesNotThrowAwayUnsavedTyping)
{
    openBible(kGen11, true);
    type(QStringLiteral("my own words"));
    ASSERT_TRUE(waitFor([this] { return editorText() == QStringLiteral("my own words"); }));
    ASSERT_TRUE(editor->webViewHasBeenEdited());
    // Another device's copy arrives (a sync, say) while the typing is not saved yet.
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::bible(kGen11), QStringLiteral("from elsewhere")));
    m_screen->center.postNotificationName(PaneNotifications::qsNotesHaveChangedNotification);
    EXPECT_EQ(editorText(), QStringLiteral("my own words"));
    editor->selectTab(Editor::ViewTab);
    EXPECT_EQ(stored(NoteLocation::bible(kGen11)), QStringLiteral("my own words"));
    // Without unsaved typing the stored copy is shown.
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::bible(kGen11), QStringLiteral("<p>from elsewhere</p>")));
    m_screen->center.postNotificationName(PaneNotifications::qsNotesHaveChangedNotification);
    EXPECT_EQ(editor->webViewString(), QStringLiteral("<p>from elsewhere</p>"));
}

// The shared database connection refuses every write while one lives, as a read-only file does.
struct ReadOnlyDatabase {
    ReadOnlyDatabase()
    {
        EXPECT_EQ(sqlite3_exec(cSQLiteDbBase::connectionHandle(), "PRAGMA query_only = ON", nullptr, nullptr, nullptr),
            SQLITE_OK);
    }
    ~ReadOnlyDatabase()
    {
        sqlite3_exec(cSQLiteDbBase::connectionHandle(), "PRAGMA query_only = OFF", nullptr, nullptr, nullptr);
    }
};

TEST_F(NoteEditor, ANoteTheDatabaseRefusesStaysInTheEditorAndIsReportedOnce)
{
    openBible(kJohn316, true);
    ASSERT_EQ(editor->selectedTab(), Editor::RichEditTab);
    Recorder changes(m_screen->center, PaneNotifications::qsNotesHaveChangedNotification);
    const auto clickTab = [this](Editor::Tab tab) {
        QTabBar* bar = shown<QTabBar>(QStringLiteral("tabView"));
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(tab).center());
    };
    {
        ReadOnlyDatabase readOnly;
        type(QStringLiteral("typed while the disk was full"));
        ASSERT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited(); }));
        // View: the save fails, the user is told why with the other failed saves (no alert), and the
        // editor stays with the text.
        clickTab(Editor::ViewTab);
        ASSERT_TRUE(waitFor([this] { return !m_saveFailures.isEmpty(); }));
        ASSERT_EQ(m_saveFailures.size(), 1);
        const Alert said = SaveFailureAlerts::alertFor(m_saveFailures);
        EXPECT_EQ(said.messageText, QStringLiteral("Quillstead could not save your note on John 3:16."));
        EXPECT_TRUE(said.informativeText.contains(QStringLiteral("readonly"))) << said.informativeText.toStdString();
        EXPECT_TRUE(said.informativeText.contains(QStringLiteral(
            "Its text stays in the editor. Quillstead tries again every few seconds and saves it as soon as the notes "
            "database can be written again")))
            << said.informativeText.toStdString();
        EXPECT_TRUE(m_alerts->shown().isEmpty());
        EXPECT_EQ(editor->selectedTab(), Editor::RichEditTab);
        EXPECT_EQ(shown<QTabBar>(QStringLiteral("tabView"))->currentIndex(), int(Editor::RichEditTab));
        EXPECT_EQ(editorText(), QStringLiteral("typed while the disk was full"));
        EXPECT_EQ(shown<QLineEdit>(QStringLiteral("noteTitleTextField"))->text(), QStringLiteral("John 3:16"));
        EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Not saved"));
        EXPECT_TRUE(editor->webViewHasBeenEdited());
        EXPECT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316)));
        EXPECT_TRUE(changes.posts.isEmpty());

        // The autosave and another note's request fail alike, without saying it again; the note stays.
        EXPECT_FALSE(editor->saveEditedText(true));
        openBible(kGen11, true);
        EXPECT_EQ(editor->location().key, kJohn316);
        QCoreApplication::processEvents();
        EXPECT_EQ(m_saveFailures.size(), 1);
        EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Not saved"));
        EXPECT_EQ(editorText(), QStringLiteral("typed while the disk was full"));
    }
    // Writable again: the autosave, trying again, stores the whole text without another key.
    ASSERT_TRUE(waitFor(
        [this] { return stored(NoteLocation::bible(kJohn316)) == QStringLiteral("typed while the disk was full"); },
        60000));
    // The next View saves nothing new, and the status line says it is saved.
    clickTab(Editor::ViewTab);
    EXPECT_EQ(editor->selectedTab(), Editor::ViewTab);
    EXPECT_EQ(stored(NoteLocation::bible(kJohn316)), QStringLiteral("typed while the disk was full"));
    EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Saved"));
    EXPECT_EQ(changes.posts.size(), 1);
    EXPECT_TRUE(m_alerts->shown().isEmpty());
    ASSERT_TRUE(waitFor([this] {
        return js(editor->webView(Editor::ViewTab), QStringLiteral("document.body.textContent"))
            .toString()
            .contains(QStringLiteral("typed while the disk was full"));
    }));
    // Saved again: the next failure is said again.
    {
        ReadOnlyDatabase readOnly;
        editor->selectTab(Editor::RichEditTab);
        ASSERT_TRUE(waitForPage(Editor::RichEditTab));
        type(QStringLiteral(", twice"));
        ASSERT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited(); }));
        clickTab(Editor::ViewTab);
        EXPECT_TRUE(waitFor([this] { return m_saveFailures.size() == 2; })) << m_saveFailures.size();
        EXPECT_EQ(editor->selectedTab(), Editor::RichEditTab);
    }
    clickTab(Editor::ViewTab);
    EXPECT_EQ(editor->selectedTab(), Editor::ViewTab);
    EXPECT_TRUE(m_alerts->shown().isEmpty());
}

TEST_F(NoteEditor, AnEditorWhoseRendererEndedComesBackWithItsTextThoughTheDatabaseRefusesIt)
{
    openBible(kJohn316, true);
    NoteWebView* view = editor->webView(Editor::RichEditTab);
    type(QStringLiteral("kept through the end"));
    ASSERT_TRUE(waitFor([&] {
        const StudyPaneNoteEditor::Page* held = editor->noteEditor()->pageShownBy(view);
        return held != nullptr && held->latest.contains(QStringLiteral("kept through the end"));
    }));
    {
        ReadOnlyDatabase readOnly;
        // A new page holds the text; the save the restore tried was refused and is still owed.
        ASSERT_TRUE(killRendererAndWaitForItsReturn(view)) << "the editor did not come back";
        ASSERT_TRUE(waitForPage(Editor::RichEditTab));
        EXPECT_EQ(editor->selectedTab(), Editor::RichEditTab);
        EXPECT_EQ(editorText(), QStringLiteral("kept through the end"));
        ASSERT_TRUE(waitFor([this] { return !m_saveFailures.isEmpty(); }));
        ASSERT_EQ(m_saveFailures.size(), 1);
        EXPECT_EQ(m_saveFailures[0].what, QStringLiteral("your note on John 3:16"));
        EXPECT_TRUE(m_alerts->shown().isEmpty());
        EXPECT_TRUE(editor->webViewHasBeenEdited());
        EXPECT_TRUE(editor->webViewNeedsFinalSave());
        EXPECT_EQ(localStatus(), QStringLiteral("Local Storage: Not saved"));
        EXPECT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316)));
    }
    // Writable again: leaving the editor stores the text the new page shows, with what was typed since.
    type(QStringLiteral(", and more"));
    ASSERT_TRUE(waitFor([&] { return editorText() == QStringLiteral("kept through the end, and more"); }))
        << editorText().toStdString();
    editor->selectTab(Editor::ViewTab);
    EXPECT_TRUE(waitFor([] {
        return stored(NoteLocation::bible(kJohn316)).contains(QStringLiteral("kept through the end, and more"));
    })) << stored(NoteLocation::bible(kJohn316)).toStdString();
    EXPECT_TRUE(m_alerts->shown().isEmpty());
    EXPECT_EQ(m_saveFailures.size(), 1);
}

// A new note whose renderer ends just after a blank: the editor comes back with exactly the text its
// page had confirmed, the blank included, so the words typed next do not run into the last one.
TEST_F(NoteEditor, AnEditorWhoseRendererEndedKeepsTheBlankTypedLast)
{
    ASSERT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316)));
    openBible(kJohn316, true);
    NoteWebView* view = editor->webView(Editor::RichEditTab);
    type(QStringLiteral("Sent to save "));
    // Every key confirmed by the page: nothing is left to send again to the new one.
    ASSERT_TRUE(waitFor([&] {
        const StudyPaneNoteEditor::Page* held = editor->noteEditor()->pageShownBy(view);
        return held != nullptr && held->latest.contains(QStringLiteral("Sent to save")) &&
            editor->recovery()->unconfirmedKeyCount(view) == 0;
    }));
    ASSERT_TRUE(killRendererAndWaitForItsReturn(view)) << "the editor did not come back";
    ASSERT_TRUE(waitForPage(Editor::RichEditTab));
    // The blank is there as the page had it (a no-break space at the end of a line).
    const QString restored = editorText();
    EXPECT_TRUE(restored == QStringLiteral("Sent to save ") || restored == QStringLiteral("Sent to save\u00a0"))
        << restored.toStdString();
    type(QStringLiteral("more words"));
    ASSERT_TRUE(waitFor([&] { return editorText().endsWith(QStringLiteral("more words")); }))
        << editorText().toStdString();
    editor->selectTab(Editor::ViewTab);
    EXPECT_TRUE(waitFor([] {
        return stored(NoteLocation::bible(kJohn316))
            .replace(QStringLiteral("&nbsp;"), QStringLiteral(" "))
            .contains(QStringLiteral("Sent to save more words"));
    })) << stored(NoteLocation::bible(kJohn316)).toStdString();
}

// Quitting with a note the database refused: the text is offered for a file (a cancelled dialog asks
// again) or the clipboard before the reader ends, never dropped without a word.
TEST_F(NoteEditor, QuittingAfterARefusedSaveOffersTheTextForAFile)
{
    QTemporaryDir dir;
    openBible(kJohn316, true);
    ReadOnlyDatabase readOnly;
    type(QStringLiteral("typed on a full disk"));
    ASSERT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited(); }));
    const QString target = dir.filePath(QStringLiteral("kept.html"));
    m_saveTo = {QString(), target};
    pane->exitIsImminent();
    // The failed save is left to the quit's own words on failed saves; the editor offers the text.
    ASSERT_EQ(m_alerts->shown().size(), 2);
    const Alert& offer = m_alerts->shown()[0];
    EXPECT_EQ(offer.messageText, QStringLiteral("The note \"John 3:16\" could not be saved."));
    EXPECT_EQ(offer.buttons,
        (QStringList {QStringLiteral("Save to File..."), QStringLiteral("Copy"), QStringLiteral("Discard")}));
    EXPECT_TRUE(offer.informativeText.contains(QStringLiteral("readonly"))) << offer.informativeText.toStdString();
    EXPECT_EQ(m_alerts->shown()[1], offer);  // asked again after the cancelled dialog
    EXPECT_EQ(m_suggestedNames, (QStringList {QStringLiteral("John 3_16.html"), QStringLiteral("John 3_16.html")}));
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    const QByteArray bytes = kept.readAll();
    EXPECT_TRUE(bytes.startsWith("<!DOCTYPE html>\n<meta charset=\"utf-8\">\n")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("typed on a full disk")) << bytes.toStdString();
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316)));
}

TEST_F(NoteEditor, QuittingAfterARefusedSaveCanCopyTheText)
{
    openBible(kGen11, true);
    {
        ReadOnlyDatabase readOnly;
        type(QStringLiteral("copied <b>before</b> quitting"));
        ASSERT_TRUE(waitFor([this] { return editor->webViewHasBeenEdited(); }));
        QGuiApplication::clipboard()->setText(QStringLiteral("older clipboard"));
        m_alerts->queueAnswer(AlertSecondButtonReturn);
        pane->exitIsImminent();
    }
    ASSERT_EQ(m_alerts->shown().size(), 1);
    EXPECT_TRUE(m_saveTo.isEmpty() && m_suggestedNames.isEmpty());
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    // Typed markup is text: the plain form reads as typed, the HTML form holds it escaped.
    EXPECT_EQ(copied->text(), QStringLiteral("copied <b>before</b> quitting"));
    EXPECT_TRUE(copied->html().contains(QStringLiteral("copied &lt;b&gt;before&lt;/b&gt; quitting")))
        << copied->html().toStdString();
}

TEST_F(NoteEditor, QuittingWithEverythingSavedAsksNothing)
{
    openBible(kGen11, true);
    type(QStringLiteral("saved"));
    pane->exitIsImminent();
    EXPECT_TRUE(m_alerts->shown().isEmpty());
    EXPECT_TRUE(m_suggestedNames.isEmpty());
    EXPECT_EQ(stored(NoteLocation::bible(kGen11)), QStringLiteral("saved"));
}

TEST_F(NoteEditor, TheViewMarksTheWordsOfTheNotesSearch)
{
    ASSERT_TRUE(StudyPaneTest::userNotes().save(
        NoteLocation::bible(kJohn316), QStringLiteral("<p>God so loved the world</p>")));
    auto* list =
        dynamic_cast<StudyPaneNotesListViewController*>(pane->subpane(StudyPaneViewController::kNotesListSubpane));
    list->view();
    list->searchField()->setText(QStringLiteral("world"));
    list->searchStringEntered();
    ASSERT_TRUE(waitFor([list] { return list->searchResultsAggregator().isComplete(); }));
    EXPECT_EQ(pane->notesSearchResultsAggregatorForTupleID(kjv->sourceTupleID()), &list->searchResultsAggregator());
    openBible(kJohn316, false);
    NoteWebView* v = editor->webView(Editor::ViewTab);
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    const QString marked =
        QStringLiteral("Array.from(document.querySelectorAll('span._search')).map(e => e.textContent).join(',')");
    EXPECT_EQ(js(v, marked).toString(), QStringLiteral("world"));
    // The marked words show in the search colour of the settings, apart from the text around them.
    EXPECT_EQ(js(v, QStringLiteral("getComputedStyle(document.querySelector('span._search')).color")).toString(),
        QStringLiteral("rgb(0, 128, 0)"));
    EXPECT_NE(
        js(v, QStringLiteral("getComputedStyle(document.body).color")).toString(), QStringLiteral("rgb(0, 128, 0)"));

    // A keyboard apostrophe finds and marks the typographic one.
    ASSERT_TRUE(StudyPaneTest::userNotes().save(
        NoteLocation::bible(kJohn316), QStringLiteral("<p>God\u2019s <i>loving kindness</i>, for the world</p>")));
    m_screen->center.postNotificationName(PaneNotifications::qsNotesHaveChangedNotification);
    list->searchField()->setText(QStringLiteral("god's"));
    list->searchStringEntered();
    ASSERT_TRUE(waitFor([list] { return list->searchResultsAggregator().isComplete(); }));
    EXPECT_EQ(list->searchResultsAggregator().countResultsInTableSection(0), 1u);
    openBible(kGen11, false);
    openBible(kJohn316, false);
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    EXPECT_EQ(js(v, marked).toString(), QStringLiteral("God\u2019s"));

    // The enhanced search finds a phrase by its root and marks its words.
    m_screen->defaults->set(SettingsKeys::EnhancedNotesSearch, true);
    list->searchField()->setText(QStringLiteral("loved kindness"));
    list->searchStringEntered();
    ASSERT_TRUE(waitFor([list] { return list->searchResultsAggregator().isComplete(); }));
    SearchResultsAggregator& agg = list->searchResultsAggregator();
    ASSERT_EQ(agg.numSearchResultsItems(), 6u);
    EXPECT_EQ(agg.sectionHeader(2), "Exact Match, Same Root Word");
    EXPECT_EQ(agg.countResultsInTableSection(2), 1u);
    openBible(kGen11, false);
    openBible(kJohn316, false);
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    EXPECT_EQ(js(v, marked).toString(), QStringLiteral("loving,kindness"));
    m_screen->defaults->set(SettingsKeys::EnhancedNotesSearch, false);
}

// A search by the root marks every word of the note whose stem is one of the searched stems, the
// parts of a hyphenated word included.
TEST_F(NoteEditor, TheViewMarksEveryWordOfASearchedRoot)
{
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::bible(kJohn316),
        QStringLiteral("<p>Kindnesses were shown; he <b>loved</b> and was Loving. His loving-kindness, "
                       "<i>kindness</i> and KINDNESS; a kind word.</p>")));
    auto* list =
        dynamic_cast<StudyPaneNotesListViewController*>(pane->subpane(StudyPaneViewController::kNotesListSubpane));
    list->view();
    m_screen->defaults->set(SettingsKeys::EnhancedNotesSearch, true);
    list->searchField()->setText(QStringLiteral("loved kindness"));
    list->searchStringEntered();
    ASSERT_TRUE(waitFor([list] { return list->searchResultsAggregator().isComplete(); }));
    openBible(kJohn316, false);
    NoteWebView* v = editor->webView(Editor::ViewTab);
    ASSERT_TRUE(waitForPage(Editor::ViewTab));
    const QString marked =
        QStringLiteral("Array.from(document.querySelectorAll('span._search')).map(e => e.textContent).join(',')");
    EXPECT_EQ(js(v, marked).toString().toStdString(), "Kindnesses,loved,Loving,loving,kindness,kindness,KINDNESS,kind");
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(TestSupport::waitForPainted(v->page(), v));
    EXPECT_TRUE(v->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/note-view-root-marks.png")));
    m_screen->defaults->set(SettingsKeys::EnhancedNotesSearch, false);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("note-view-edit-test");
    TestSupport::usePrivateEngineData();
    cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(noteDocInstance()));
    return RUN_ALL_TESTS();
}
