// The process that draws the pages is killed while a note is being typed: the book panes show their
// places again, the note editor comes back with what was typed and takes more typing, everything
// typed reaches the database, and the reader says what happened once.

#include "app/RendererEndedAlert.h"
#include "app/WindowNotice.h"
#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/BookPageView.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/CommandNames.h"
#include "studypane/StudyPaneNoteEditor.h"
#include "studypane/StudyPaneNoteRecovery.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/notes/NoteStore.h"
#include "support/RecordingAlerts.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWindow>

#include <csignal>
#include <string>
#include <sys/types.h>

namespace {

using reader_test::waitFor;
using Editor = StudyPaneNoteViewEditViewController;

constexpr quint32 kRomans828 = (45u << 16) | (8u << 8) | 28u;
constexpr quint32 kJohn316 = (43u << 16) | (3u << 8) | 16u;

class RendererEnd : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { startProgram("renderer-end-test"); }

    static RecordingAlerts& alerts() { return dynamic_cast<RecordingAlerts&>(Alerts::shared()); }

    // The modal alerts shown about ended renderers (there is none: the window's notice says it).
    static int rendererAlerts()
    {
        int n = 0;
        for (const Alert& alert : alerts().shown())
            n += alert.messageText == RendererEndedAlert::messageText() ? 1 : 0;
        return n;
    }

    BookPageView* kjvPage() const
    {
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        const int region = kjvRegion();
        LayoutBookPane* pane = region >= 0 ? asBookPane(layout->contentsAt(size_t(region))->viewController()) : nullptr;
        return pane != nullptr ? pane->paneView()->findChild<BookPageView*>() : nullptr;
    }

    // The section the King James pane's current tab is at, as its layout keeps it.
    quint64 kjvSection() const
    {
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        const int region = kjvRegion();
        LayoutBookPane* pane = region >= 0 ? asBookPane(layout->contentsAt(size_t(region))->viewController()) : nullptr;
        return pane != nullptr ? pane->currentSourceSection() : 0;
    }

    // What the window's notice line says.
    static QString notice(QuillsteadWindowController* window) { return window->notice()->message(); }
    static QString noticeText(QuillsteadWindowController* window) { return window->notice()->informativeText(); }
    // Closes what the notice line shows, as the user does.
    static void closeNotice(QuillsteadWindowController* window)
    {
        if (!window->notice()->isHidden())
            window->notice()->findChild<QToolButton*>(QStringLiteral("noticeClose"))->click();
    }

    static QString pageTextOf(QWebEnginePage* page)
    {
        static const QRegularExpression strongs(QStringLiteral("[GH]\\d+"));
        return TestSupport::pageText(page, 5000).remove(strongs);
    }

    // Types into the note editor's page as the user does, once it has the focus.
    static ::testing::AssertionResult typeInto(NoteWebView* page, const QString& text)
    {
        page->setFocus();
        TestSupport::runScript(page->page(), QStringLiteral("qsFocusEditor()"));
        if (!TestSupport::waitForScript(
                page->page(), QStringLiteral("document.activeElement === qsEditorElement()"), true))
            return ::testing::AssertionFailure() << "the editor did not take the focus";
        QTest::keyClicks(page->focusProxy() != nullptr ? page->focusProxy() : page, text);
        return ::testing::AssertionSuccess();
    }
};

}  // namespace

TEST_F(RendererEnd, AKilledRendererBringsThePagesBackWhereTheyWereAndKeepsTheTypedNote)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    alerts().clear();
    closeNotice(window);

    // The Bible at Romans 8:28.
    GoToRequest go;
    go.layoutUuid = reader_test::programEnvironment().layoutManager().currentLayout()->uuidString();
    go.sourceTuple = kjv;
    go.bibleKey = kRomans828;
    go.section = kjv->locations().sectionForBibleKey(kRomans828);
    go.sync = true;
    go.activate = true;
    go.post(NotificationCenter::defaultCenter(), nullptr);
    BookPageView* bible = nullptr;
    ASSERT_TRUE(waitFor([&] {
        bible = kjvPage();
        return bible != nullptr && pageTextOf(bible->page()).contains(QStringLiteral("all things work together"));
    }));
    ASSERT_TRUE(waitFor([&] { return kjvSection() == kjv->locations().sectionForBibleKey(kRomans828); }));

    // A note on John 3:16 being typed.
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Notes));
    auto* notes = study->studyPaneNoteViewEditViewController();
    ASSERT_NE(notes, nullptr);
    NotificationCenter::defaultCenter().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
        {{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), kJohn316},
            {QStringLiteral("edit"), true}});
    ASSERT_EQ(notes->selectedTab(), Editor::RichEditTab);
    NoteWebView* editor = notes->webView(Editor::RichEditTab);
    ASSERT_TRUE(waitFor([editor] { return editor->isPageReady(); }));
    ASSERT_TRUE(typeInto(editor, QStringLiteral("Typed before")));
    // Every key has reached the reader (the editor pushes its content as it changes).
    ASSERT_TRUE(waitFor([&] {
        const StudyPaneNoteEditor::Page* held = notes->noteEditor()->pageShownBy(editor);
        return held != nullptr && held->latest.contains(QStringLiteral("Typed before"));
    })) << "the editor did not push what was typed";
    EXPECT_FALSE(reader_test::programNotes().read(NoteLocation::bible(kJohn316)).found) << "saved before its time";
    const quint64 place = kjvSection();

    // The renderers of the pages are killed.
    QSet<qint64> renderers;
    for (QWebEnginePage* page : {bible->page(), static_cast<QWebEnginePage*>(editor->page())})
        if (page->renderProcessPid() > 0)
            renderers.insert(page->renderProcessPid());
    ASSERT_FALSE(renderers.isEmpty());
    for (qint64 pid : renderers)
        ASSERT_EQ(::kill(pid_t(pid), SIGKILL), 0);

    // The Bible page shows its place again, drawn by a new renderer.
    EXPECT_TRUE(waitFor([&] {
        const qint64 pid = bible->page()->renderProcessPid();
        return pid > 0 && !renderers.contains(pid) &&
            pageTextOf(bible->page()).contains(QStringLiteral("all things work together"));
    })) << "the Bible page did not come back: "
        << pageTextOf(bible->page()).left(300).toStdString();
    EXPECT_EQ(kjvSection(), place);

    // The editor came back with the text it had, which is stored, and takes more typing.
    ASSERT_TRUE(waitFor([&] {
        const qint64 pid = editor->page()->renderProcessPid();
        return editor->isPageReady() && pid > 0 && !renderers.contains(pid);
    })) << "the note editor did not come back";
    EXPECT_EQ(notes->selectedTab(), Editor::RichEditTab);
    EXPECT_TRUE(pageTextOf(editor->page()).contains(QStringLiteral("Typed before")));
    EXPECT_TRUE(
        reader_test::programNotes().read(NoteLocation::bible(kJohn316)).text.contains(QStringLiteral("Typed before")));
    TestSupport::runScript(editor->page(),
        QStringLiteral("window.getSelection().collapse(qsEditorElement(), "
                       "qsEditorElement().childNodes.length)"));
    ASSERT_TRUE(typeInto(editor, QStringLiteral(" and after")));
    ASSERT_TRUE(waitFor([&] { return pageTextOf(editor->page()).contains(QStringLiteral("and after")); }));
    ASSERT_TRUE(waitFor([&] { return notes->webViewHasBeenEdited(); }));
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/renderer-ended-restored.png"));
    notes->selectTab(Editor::ViewTab);
    const QString saved = reader_test::programNotes().read(NoteLocation::bible(kJohn316)).text;
    EXPECT_TRUE(saved.contains(QStringLiteral("Typed before")) && saved.contains(QStringLiteral("and after")))
        << saved.toStdString();

    // Said in the window's notice line, for all the pages that ended.
    EXPECT_TRUE(waitFor([&] { return notice(window) == RendererEndedAlert::messageText(); }));
    EXPECT_TRUE(noticeText(window).contains(QStringLiteral("shown again where they were")))
        << noticeText(window).toStdString();
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    EXPECT_EQ(rendererAlerts(), 0);
}

// The renderer is killed while a note is being typed: every key typed while the editor comes back
// reaches the note, in order, at the caret the user had put between two words; the message speaks of
// the note, in the window's notice line: no modal window is up while the held keys go to the note, nor
// after, and the keys typed once the message is there reach the note too.
TEST_F(RendererEnd, KeysTypedWhileTheEditorComesBackLandWhereTheCaretWas)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    alerts().clear();
    closeNotice(window);
    // Any modal window that comes up is seen (and would take the keys typed meanwhile).
    QStringList modals;
    QTimer modalWatch;
    QObject::connect(&modalWatch, &QTimer::timeout, [&modals] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modals.append(modal->windowTitle());
    });
    modalWatch.start(10);
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Notes));
    auto* notes = study->studyPaneNoteViewEditViewController();
    ASSERT_NE(notes, nullptr);
    NotificationCenter::defaultCenter().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
        {{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), kRomans828},
            {QStringLiteral("edit"), true}});
    ASSERT_EQ(notes->selectedTab(), Editor::RichEditTab);
    NoteWebView* editor = notes->webView(Editor::RichEditTab);
    ASSERT_TRUE(waitFor([editor] { return editor->isPageReady(); }));
    ASSERT_TRUE(typeInto(editor, QStringLiteral("first second")));
    const auto caretAt = [&](int at) {
        const auto caret = notes->recovery()->caretOf(editor);
        return caret.has_value() && caret->first == at && caret->second == at;
    };
    ASSERT_TRUE(waitFor([&] { return caretAt(12); })) << "the editor did not tell where its caret is";
    // The caret goes back before "second", by the keyboard, and the reader hears where it is.
    QWidget* keys = editor->focusProxy() != nullptr ? editor->focusProxy() : editor;
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(keys, Qt::Key_Left);
    ASSERT_TRUE(waitFor([&] { return caretAt(6); })) << "the editor did not tell where its caret went";

    const qint64 renderer = editor->page()->renderProcessPid();
    ASSERT_GT(renderer, 0);
    ASSERT_EQ(::kill(pid_t(renderer), SIGKILL), 0);
    ASSERT_TRUE(waitFor([&] { return !editor->isPageReady(); })) << "the end of the renderer went unnoticed";
    // Typed at once, through the window as the keyboard types, while the editor comes back.
    QWindow* typing = window->window()->windowHandle();
    for (const char c : std::string("seventh after"))
        QTest::keyClick(typing, c);

    ASSERT_TRUE(waitFor([&] {
        const qint64 pid = editor->page()->renderProcessPid();
        return editor->isPageReady() && pid > 0 && pid != renderer;
    })) << "the note editor did not come back";
    const QString expected = QStringLiteral("first seventh aftersecond");
    EXPECT_TRUE(waitFor([&] { return pageTextOf(editor->page()).simplified() == expected; }))
        << pageTextOf(editor->page()).toStdString();
    // The editor goes on where the keys left off.
    QTest::keyClick(typing, '!');
    EXPECT_TRUE(waitFor([&] {
        return pageTextOf(editor->page()).simplified() == QStringLiteral("first seventh after!second");
    })) << pageTextOf(editor->page()).toStdString();

    // Said of the note being edited, beside it: the keys typed once it is there go on into the note.
    ASSERT_TRUE(waitFor([&] { return notice(window) == RendererEndedAlert::messageText(); }));
    EXPECT_TRUE(noticeText(window).contains(QStringLiteral("The note you were editing")))
        << noticeText(window).toStdString();
    QTest::keyClick(typing, Qt::Key_Space);
    QTest::keyClick(typing, Qt::Key_Return);
    QTest::keyClick(typing, '?');
    EXPECT_TRUE(waitFor([&] {
        return pageTextOf(editor->page()).simplified() == QStringLiteral("first seventh after! ?second");
    })) << pageTextOf(editor->page()).toStdString();
    EXPECT_TRUE(modals.isEmpty()) << modals.join(QStringLiteral(", ")).toStdString();

    // The note holds every key.
    notes->selectTab(Editor::ViewTab);
    QString saved = reader_test::programNotes().read(NoteLocation::bible(kRomans828)).text;
    saved.remove(QRegularExpression(QStringLiteral("<[^>]*>"))).replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    EXPECT_EQ(saved.simplified(), QStringLiteral("first seventh after! ?second")) << saved.toStdString();
    EXPECT_EQ(rendererAlerts(), 0);
}

// Keys typed on across a renderer kill: those typed at once, before the end is noticed, those typed
// while the editor comes back and those typed the moment it is back all reach the note, in order.
TEST_F(RendererEnd, EveryKeyTypedAroundARendererKillReachesTheNoteInOrder)
{
    constexpr quint32 kGenesis11 = (1u << 16) | (1u << 8) | 1u;
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Notes));
    auto* notes = study->studyPaneNoteViewEditViewController();
    ASSERT_NE(notes, nullptr);
    NotificationCenter::defaultCenter().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
        {{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), kGenesis11},
            {QStringLiteral("edit"), true}});
    ASSERT_EQ(notes->selectedTab(), Editor::RichEditTab);
    NoteWebView* editor = notes->webView(Editor::RichEditTab);
    ASSERT_TRUE(waitFor([editor] { return editor->isPageReady(); }));
    ASSERT_TRUE(typeInto(editor, QStringLiteral("alpha beta")));
    ASSERT_TRUE(waitFor([&] { return notes->recovery()->unconfirmedKeyCount(editor) == 0; }))
        << "the page did not confirm the keys it took";

    const qint64 renderer = editor->page()->renderProcessPid();
    ASSERT_GT(renderer, 0);
    ASSERT_EQ(::kill(pid_t(renderer), SIGKILL), 0);
    // At once, to the page's widget, which still has the focus: the renderer is gone but nobody knows.
    QTest::keyClicks(editor->focusProxy() != nullptr ? editor->focusProxy() : editor, QStringLiteral(" q1"));
    ASSERT_TRUE(waitFor([&] { return !editor->isPageReady(); })) << "the end of the renderer went unnoticed";
    QWindow* typing = window->window()->windowHandle();
    for (const char c : std::string("q2q3"))
        QTest::keyClick(typing, c);
    // The moment the editor is back, more keys.
    ASSERT_TRUE(waitFor([&] { return !notes->recovery()->isHolding(); })) << "the editor did not come back";
    for (const char c : std::string(" AA"))
        QTest::keyClick(typing, c);
    const QString expected = QStringLiteral("alpha beta q1q2q3 AA");
    EXPECT_TRUE(waitFor([&] { return pageTextOf(editor->page()).simplified() == expected; }))
        << pageTextOf(editor->page()).toStdString();
    QTest::keyClick(typing, ' ');
    QTest::keyClick(typing, 'B');
    EXPECT_TRUE(waitFor([&] { return pageTextOf(editor->page()).simplified() == expected + QStringLiteral(" B"); }))
        << pageTextOf(editor->page()).toStdString();
    notes->selectTab(Editor::ViewTab);
    QString saved = reader_test::programNotes().read(NoteLocation::bible(kGenesis11)).text;
    saved.remove(QRegularExpression(QStringLiteral("<[^>]*>"))).replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    EXPECT_EQ(saved.simplified(), expected + QStringLiteral(" B")) << saved.toStdString();
}

// The renderer is killed while a note is typed; the user types on, clicks into the King James page
// and types there: what was typed before the click reaches the note, what was typed after it does
// not, and the editor, once back, leaves the focus where the user put it.
TEST_F(RendererEnd, AClickOnTheBiblePageWhileTheEditorComesBackTakesTheKeysThatFollow)
{
    constexpr quint32 kJohn11 = (43u << 16) | (1u << 8) | 1u;
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    BookPageView* bible = nullptr;
    ASSERT_TRUE(waitFor([&] {
        bible = kjvPage();
        return bible != nullptr && bible->isVisible();
    }));
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Notes));
    auto* notes = study->studyPaneNoteViewEditViewController();
    ASSERT_NE(notes, nullptr);
    NotificationCenter::defaultCenter().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
        {{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), kJohn11},
            {QStringLiteral("edit"), true}});
    ASSERT_EQ(notes->selectedTab(), Editor::RichEditTab);
    NoteWebView* editor = notes->webView(Editor::RichEditTab);
    ASSERT_TRUE(waitFor([editor] { return editor->isPageReady(); }));
    ASSERT_TRUE(typeInto(editor, QStringLiteral("one two")));
    ASSERT_TRUE(waitFor([&] { return notes->recovery()->unconfirmedKeyCount(editor) == 0; }))
        << "the page did not confirm the keys it took";

    const qint64 renderer = editor->page()->renderProcessPid();
    ASSERT_GT(renderer, 0);
    ASSERT_EQ(::kill(pid_t(renderer), SIGKILL), 0);
    ASSERT_TRUE(waitFor([&] { return !editor->isPageReady(); })) << "the end of the renderer went unnoticed";
    QWindow* typing = window->window()->windowHandle();
    for (const char c : std::string(" three"))
        QTest::keyClick(typing, c);
    ASSERT_TRUE(notes->recovery()->isHolding()) << "the editor came back before the click";
    // A click into the Bible page, where the mouse puts it (its margin: no link there).
    QTest::mouseClick(typing, Qt::LeftButton, Qt::NoModifier, bible->mapTo(window->window(), QPoint(8, 8)));
    EXPECT_TRUE(notes->recovery()->userLeftEditor());
    for (const char c : std::string(" four"))
        QTest::keyClick(typing, c);

    // The editor comes back with the keys typed for it, and only those.
    ASSERT_TRUE(waitFor([&] {
        const qint64 pid = editor->page()->renderProcessPid();
        return !notes->recovery()->isHolding() && editor->isPageReady() && pid > 0 && pid != renderer;
    })) << "the editor did not come back";
    const QString expected = QStringLiteral("one two three");
    EXPECT_TRUE(waitFor([&] { return pageTextOf(editor->page()).simplified() == expected; }))
        << pageTextOf(editor->page()).toStdString();
    // The focus stays in the Bible page, which the keys typed now go to.
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus != nullptr && (focus == bible || bible->isAncestorOf(focus)))
        << (focus != nullptr ? focus->metaObject()->className() : "no focus");
    QTest::keyClick(typing, 'x');
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    EXPECT_EQ(pageTextOf(editor->page()).simplified(), expected) << pageTextOf(editor->page()).toStdString();
    notes->selectTab(Editor::ViewTab);
    QString saved = reader_test::programNotes().read(NoteLocation::bible(kJohn11)).text;
    saved.remove(QRegularExpression(QStringLiteral("<[^>]*>"))).replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    EXPECT_EQ(saved.simplified(), expected) << saved.toStdString();
}

TEST_F(RendererEnd, TheEndsOfOneRendererAreSaidOnceAndALaterEndAgain)
{
    NotificationCenter center;
    // A modal alert would be recorded here: the end of a renderer that drew its pages never is one.
    RecordingAlerts recorded;
    QList<std::pair<QString, QString>> said;
    const auto notice = [&said](const QString& message, const QString& informative) {
        said.append({message, informative});
    };
    const auto ended = [&](bool restored, bool noteText = false) {
        center.postNotificationName(PaneNotifications::PageRendererEndedNotification, nullptr,
            {{QStringLiteral("status"), int(QWebEnginePage::KilledTerminationStatus)}, {QStringLiteral("exitCode"), 9},
                {QStringLiteral("restored"), restored}, {QStringLiteral("noteText"), noteText}});
    };
    {
        RendererEndedAlert alert(center, recorded, notice);
        // Five pages of one renderer, none of them a note editor.
        for (int page = 0; page < 5; ++page)
            ended(true);
        ASSERT_TRUE(waitFor([&] { return !said.isEmpty(); }));
        ASSERT_EQ(said.size(), 1);
        EXPECT_EQ(said[0].first, RendererEndedAlert::messageText());
        EXPECT_TRUE(said[0].second.contains(QStringLiteral("stopped by the system")));
        EXPECT_TRUE(said[0].second.contains(QStringLiteral("shown again where they were")));
        EXPECT_FALSE(said[0].second.contains(QStringLiteral("note"))) << said[0].second.toStdString();
        // Another end within five seconds of the first is the same trouble: nothing more to say, also
        // once the time an alert gathers its ends in has passed.
        ended(true, true);
        bool gatherTimePassed = false;
        QTimer::singleShot(RendererEndedAlert::kGatherMs + 500, [&gatherTimePassed] { gatherTimePassed = true; });
        ASSERT_TRUE(waitFor([&] { return gatherTimePassed; }));
    }
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    ASSERT_EQ(said.size(), 1);

    // Past the quiet time a later end is said again, with the note it kept; a page left blank is said.
    RendererEndedAlert later(center, recorded, notice, nullptr, 0);
    ended(true, true);
    ASSERT_TRUE(waitFor([&] { return said.size() == 2; }));
    EXPECT_TRUE(said[1].second.contains(QStringLiteral("The note you were editing")));
    ended(true);
    ended(false);
    ASSERT_TRUE(waitFor([&] { return said.size() == 3; }));
    EXPECT_TRUE(said[2].second.contains(QStringLiteral("left blank")));
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    EXPECT_EQ(said.size(), 3);

    // Said while the user goes on typing, without waiting for a pause and without taking a key.
    QLineEdit field;
    int typed = 0;
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, &field, [&] {
        if (++typed == 12)
            typing.stop();
        QTest::keyClick(&field, 'k');
    });
    typing.start(250);
    ended(true, true);
    ASSERT_TRUE(waitFor([&] { return said.size() == 4; }));
    EXPECT_LT(typed, 12) << "the notice waited for the typing to stop";
    ASSERT_TRUE(waitFor([&] { return typed == 12; }));
    EXPECT_EQ(field.text(), QString(12, QLatin1Char('k')));
    EXPECT_TRUE(recorded.shown().isEmpty());
}
