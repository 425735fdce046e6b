// The reader as a person uses it, each scenario from start to quit in a private home with the
// books that come with the application and the sample library, and the database and files checked
// afterwards. Every scenario runs in a process of its own (the application, its library and its
// database are one per process).
#include "app/ModalTextFieldWindowController.h"
#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "app/preferences/AppNotifications.h"
#include "app/preferences/LoginPreferencesViewController.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "app/preferences/PreferencesViewController.h"
#include "cloud/protocol/ServiceHost.h"
#include "cloud/store/ui/DownloadBooksSheetWindowController.h"
#include "cloud/store/ui/OpenBookSheetWindowController.h"
#include "cloud/sync/SyncManager.h"
#include "engine/references/cBibleRef.h"
#include "library/NavigationHistory.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutGoToPanes.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "panes/page/BookPaneScroller.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "platform/ui/CommandNames.h"
#include "render/cHTMLColor.h"
#include "reports/ui/AutostudyVerseWindowController.h"
#include "reports/ui/CopyPassageWindowController.h"
#include "reports/ui/web/AutostudyResultsWindowController.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/BookmarkStore.h"
#include "studypane/StudyPaneBibleGotoViewController.h"
#include "studypane/StudyPaneBookmarksViewController.h"
#include "studypane/StudyPaneHighlightsViewController.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/StudyPaneViewController.h"
#include "support/RecordingAlerts.h"
#include "tools/standin-services/StandinTestServer.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseHighlightDoc.h"

#include "ReaderTestProgram.h"
#include "cloud/store/ui/StoreSheetTestSupport.h"
#include "preferences/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCollator>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWebEngineView>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <optional>

using qs::cloud::DownloadBooksSheetWindowController;
using qs::cloud::OpenBookSheetWindowController;

namespace {

const QString kBuild = QStringLiteral(QS_BINARY_DIR);

using TestSupport::shownWindow;
using TestSupport::waitFor;
using TestSupport::whenShown;

class Scenario : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_home = reader_test::startReaderTestProgram("scenarios");
        s_alerts = &TestSupport::programAlerts();
    }

    void SetUp() override
    {
        if (!QFile::exists(kBuild + QStringLiteral("/books/KJV.tvk")) ||
            !QFile::exists(kBuild + QStringLiteral("/library/Scofield.tvk")))
            GTEST_SKIP() << "the books that come with the application or the sample library are not built";
        // The user's own books besides the ones that come with the application.
        const QDir books(AppFolders::booksDirectory());
        for (const char* name : {"Scofield.tvk", "WEB.tvk", "Nave.tvk", "StrongsGreek.tvk", "StrongsHebrew.tvk"}) {
            const QString file = QString::fromLatin1(name);
            if (!QFile::exists(books.filePath(file))) {
                ASSERT_TRUE(QFile::link(kBuild + QStringLiteral("/library/") + file, books.filePath(file)));
            }
        }
    }

    void TearDown() override
    {
        if (m_app)
            quit();
    }

    QuillsteadAppController& launch()
    {
        m_app = std::make_unique<QuillsteadAppController>(reader_test::programEnvironment());
        m_app->applicationDidFinishLaunching({});
        m_app->mainWindowController()->window()->resize(1280, 800);
        return *m_app;
    }

    void quit()
    {
        m_app->applicationWillTerminate();
        m_app.reset();
        reader_test::programEnvironment().layoutManager().setLayouts({});
    }

    LayoutViewController& panes() const { return *m_app->mainWindowController()->layoutViewController(); }

    // The region whose pane shows the book with that identity; -1 when none does.
    int regionShowing(qint64 pubID, qint64 bookID) const
    {
        for (int region = 0; region < panes().goToPanes().regionCount(); ++region)
            if (const auto book = panes().goToPanes().paneCurrentBook(region))
                if (book->record().pubID == pubID && book->record().bookID == bookID)
                    return region;
        return -1;
    }

    // The first book pane other than the one in `notThis`; -1 when there is none.
    int otherBookPane(int notThis) const
    {
        for (int region = 0; region < panes().goToPanes().regionCount(); ++region)
            if (region != notThis && panes().goToPanes().isBookPane(region))
                return region;
        return -1;
    }

    // The region that shows the book once the reader has put it on screen; -1 when none does.
    int regionOnceShowing(const SourceTuple::Ptr& book) const
    {
        const auto shown = [&] { return regionShowing(book->record().pubID, book->record().bookID); };
        waitFor([&] { return shown() >= 0; });
        return shown();
    }

    static SourceTuple::Ptr bookNamed(const QString& abbreviation)
    {
        for (const auto& t : SourceManager::singleton().allSources()->array())
            if (t->record().abbr == abbreviation)
                return t;
        return nullptr;
    }

    // Where the region's pane is: the section of its current tab's record in the layout (read
    // without making the pane current, which would itself count as a change for the history).
    quint64 sectionOf(int region) const
    {
        const Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        const LayoutRegionContents* contents = layout ? layout->contentsAt(size_t(region)) : nullptr;
        const LayoutRegionContentItem* item = contents ? contents->itemAt(contents->currentItemIndex()) : nullptr;
        const auto* state = item ? dynamic_cast<const LayoutRegionContentItemState*>(item->state()) : nullptr;
        return state ? state->section() : 0;
    }

    // The page of the region's book pane: what the reader sees there (null when none).
    BookPageView* pageOf(int region) const
    {
        const Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        const LayoutRegionContents* contents = layout ? layout->contentsAt(size_t(region)) : nullptr;
        LayoutBookPane* pane = contents ? asBookPane(contents->viewController()) : nullptr;
        return pane ? pane->paneView()->findChild<BookPageView*>() : nullptr;
    }

    // The text the region's page shows, without the Strong's numbers it shows beside the words.
    QString pageTextOf(int region) const
    {
        BookPageView* page = pageOf(region);
        static const QRegularExpression strongs(QStringLiteral("[GH]\\d+"));
        return page != nullptr ? TestSupport::pageText(page->page(), 5000).remove(strongs) : QString();
    }

    // Waits until the region's page shows the text.
    ::testing::AssertionResult waitForPageText(int region, const QString& text)
    {
        if (waitFor([&] { return pageTextOf(region).contains(text); }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the page shows: " << pageTextOf(region).left(600).toStdString();
    }

    // The id of a verse's anchor on a Bible page.
    static QString verseAnchor(quint32 key)
    {
        return QStringLiteral("_s%1.%2.%3").arg(key >> 16).arg((key >> 8) & 0xFFu).arg(key & 0xFFu);
    }

    // Where the first word of a verse stands on the region's page, in the view's coordinates, the
    // verse brought into view if it is out of sight; nothing when the page does not show the verse.
    std::optional<QPoint> wordOfVerse(int region, quint32 key) const
    {
        BookPageView* page = pageOf(region);
        if (page == nullptr)
            return std::nullopt;
        const std::optional<QVariant> at = TestSupport::runScript(page->page(),
            QStringLiteral("(function(){var a=document.getElementById('%1');if(!a)return [];"
                           "var w=document.createTreeWalker(document.body,NodeFilter.SHOW_TEXT),n,m;w.currentNode=a;"
                           "while((n=w.nextNode())){if(a.contains(n)||n.parentElement.closest('a'))continue;"
                           "if((m=/[A-Za-z]{3,}/.exec(n.data)))break;}"
                           "if(!n)return [];var r=document.createRange();r.setStart(n,m.index);"
                           "r.setEnd(n,m.index+m[0].length);var b=r.getBoundingClientRect();"
                           "if(b.top<0||b.bottom>window.innerHeight){n.parentElement.scrollIntoView({block:'center'});"
                           "b=r.getBoundingClientRect();}"
                           "return [b.left+b.width/2,b.top+b.height/2];})()")
                .arg(verseAnchor(key)));
        const QVariantList point = at.value_or(QVariant()).toList();
        if (point.size() != 2)
            return std::nullopt;
        return QPoint(qRound(point[0].toDouble()), qRound(point[1].toDouble()));
    }

    // Double-clicks a word of the verse on the region's page and opens the page's menu on it with the
    // right button, as a reader does, and chooses the menu's items along the path.
    ::testing::AssertionResult chooseOnVerse(int region, quint32 key, const QStringList& path)
    {
        m_app->mainWindowController()->window()->show();
        BookPageView* page = pageOf(region);
        std::optional<QPoint> at;
        if (page == nullptr || !waitFor([&] { return (at = wordOfVerse(region, key)).has_value(); }))
            return ::testing::AssertionFailure() << "the page does not show " << verseAnchor(key).toStdString();
        QWidget* target = page->focusProxy() != nullptr ? page->focusProxy() : page;
        // Through the window, as the system hands a reader's clicks on: presses and releases, of which
        // the window makes the double click. A verse still selected from before is used as it is.
        QWindow* window = target->window()->windowHandle();
        const QPoint inWindow = window->mapFromGlobal(target->mapToGlobal(*at));
        const auto selectsTheVerse = [&] {
            return page->selectedBlocksOrKeys().contains(key) &&
                !TestSupport::runScript(page->page(), QStringLiteral("window.getSelection().toString()"))
                     .value_or(QVariant())
                     .toString()
                     .trimmed()
                     .isEmpty();
        };
        if (!selectsTheVerse()) {
            QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, inWindow);
            if (!waitFor(selectsTheVerse))
                return ::testing::AssertionFailure() << "the double click did not select the verse";
        }
        if (!TestSupport::choosePopupMenuItem(
                [&] { QTest::mouseClick(window, Qt::RightButton, Qt::NoModifier, inWindow); }, path))
            return ::testing::AssertionFailure() << "the page's menu has no " << path.join(" > ").toStdString();
        return ::testing::AssertionSuccess();
    }

    // Waits until the verse's words on the region's page carry the class (a highlight's colour).
    ::testing::AssertionResult waitForVerseClass(int region, quint32 key, const QString& cls)
    {
        BookPageView* page = pageOf(region);
        const QString script =
            QStringLiteral("Array.prototype.some.call(document.querySelectorAll("
                           "'[data-verse-span=\"sel%1\"]'),function(e){return e.classList.contains('%2');})")
                .arg(verseAnchor(key), cls);
        if (page != nullptr && TestSupport::waitForScript(page->page(), script, true))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
            << "the verse " << verseAnchor(key).toStdString() << " is not " << cls.toStdString();
    }

    // Waits until the region's page shows the link to the verse's note beside it.
    ::testing::AssertionResult waitForNoteLink(int region, quint32 key)
    {
        BookPageView* page = pageOf(region);
        const QString note = QStringLiteral("note:_%1%2%3000")
                                 .arg(key >> 16, 3, 10, QLatin1Char('0'))
                                 .arg((key >> 8) & 0xFFu, 3, 10, QLatin1Char('0'))
                                 .arg(key & 0xFFu, 3, 10, QLatin1Char('0'));
        const QString script = QStringLiteral("document.querySelector('a[href*=\"%1\"]') !== null").arg(note);
        if (page != nullptr && TestSupport::waitForScript(page->page(), script, true))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
            << "the page shows no link to the note on " << verseAnchor(key).toStdString();
    }

    // Writes a note on the verse from the page's menu, typing its paragraphs into the note editor with
    // Return between them, as a reader does; the editor is left open with the text unsaved.
    ::testing::AssertionResult typeNoteOnVerse(int region, quint32 key, const QStringList& paragraphs)
    {
        if (auto chosen = chooseOnVerse(region, key, {QStringLiteral("Add Note to")}); !chosen)
            return chosen;
        StudyPaneNoteViewEditViewController* editor = nullptr;
        if (!waitFor([&] {
                editor = dynamic_cast<StudyPaneNoteViewEditViewController*>(studyPane()->subpaneViewController());
                return editor != nullptr && editor->webView(editor->selectedTab()) != nullptr &&
                    editor->webView(editor->selectedTab())->isPageReady();
            }))
            return ::testing::AssertionFailure() << "the note editor did not open";
        return typeIntoOpenNote(editor, paragraphs);
    }

    // Types paragraphs into the shown tab of the open note's editor, Return between them; with
    // `replace`, Ctrl+A first, so that they take the place of the note's text.
    ::testing::AssertionResult typeIntoOpenNote(
        StudyPaneNoteViewEditViewController* editor, const QStringList& paragraphs, bool replace = false)
    {
        NoteWebView* page = editor->webView(editor->selectedTab());
        page->setFocus();
        TestSupport::runScript(page->page(), QStringLiteral("qsFocusEditor()"));
        if (!TestSupport::waitForScript(
                page->page(), QStringLiteral("document.activeElement === qsEditorElement()"), true))
            return ::testing::AssertionFailure() << "the note's editor did not take the focus";
        QWidget* target = page->focusProxy() != nullptr ? page->focusProxy() : page;
        if (replace)
            QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        for (qsizetype i = 0; i < paragraphs.size(); ++i) {
            if (i > 0)
                QTest::keyClick(target, Qt::Key_Return);
            if (!typeText(target, paragraphs[i]))
                return ::testing::AssertionFailure()
                    << "the editor did not take \"" << paragraphs[i].toStdString() << "\": it shows "
                    << TestSupport::pageText(page->page()).toStdString();
        }
        if (!waitFor([&] {
                return TestSupport::pageText(page->page(), 5000).contains(paragraphs.last()) &&
                    editor->webViewHasBeenEdited();
            }))
            return ::testing::AssertionFailure()
                << "the editor shows " << TestSupport::pageText(page->page()).toStdString();
        return ::testing::AssertionSuccess();
    }

    // Once the region's page links the verse's note beside it, opens the note from the verse's menu, as
    // a reader does, and answers the text the note viewer then shows (empty when it shows none).
    QString viewNoteOnVerse(int region, quint32 key)
    {
        if (auto linked = waitForNoteLink(region, key); !linked) {
            ADD_FAILURE() << linked.message();
            return QString();
        }
        if (auto chosen = chooseOnVerse(region, key, {QStringLiteral("View Note on")}); !chosen) {
            ADD_FAILURE() << chosen.message();
            return QString();
        }
        QString text;
        waitFor([&] {
            auto* viewer = dynamic_cast<StudyPaneNoteViewEditViewController*>(studyPane()->subpaneViewController());
            NoteWebView* shown =
                viewer != nullptr ? viewer->webView(StudyPaneNoteViewEditViewController::ViewTab) : nullptr;
            text = shown != nullptr && shown->isPageReady() && viewer->location().key == key
                ? TestSupport::pageText(shown->page(), 5000)
                : QString();
            return !text.trimmed().isEmpty();
        });
        return text;
    }

    // Clicks the note viewer's tab with the mouse, as a reader does.
    void clickNoteTab(StudyPaneNoteViewEditViewController::Tab tab)
    {
        auto* viewer = dynamic_cast<StudyPaneNoteViewEditViewController*>(studyPane()->subpaneViewController());
        ASSERT_NE(viewer, nullptr);
        QTabBar* tabs = viewer->view()->findChild<QTabBar*>();
        ASSERT_NE(tabs, nullptr);
        QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(tab).center());
        ASSERT_TRUE(waitFor([&] { return viewer->selectedTab() == tab; }));
    }

    // The open note's source tab, clicked, once its page is ready; null when it did not show.
    NoteWebView* noteSourceTab()
    {
        clickNoteTab(StudyPaneNoteViewEditViewController::TextEditTab);
        auto* viewer = dynamic_cast<StudyPaneNoteViewEditViewController*>(studyPane()->subpaneViewController());
        NoteWebView* source = nullptr;
        waitFor([&] {
            source = viewer != nullptr ? viewer->webView(StudyPaneNoteViewEditViewController::TextEditTab) : nullptr;
            return source != nullptr && source->isPageReady();
        });
        return source;
    }

    // The open note's text as it is kept, read where a reader reads it: in the note's source tab.
    QString noteSource()
    {
        NoteWebView* source = noteSourceTab();
        if (source == nullptr)
            return QString();
        QString text;
        waitFor([&] {
            const std::optional<QVariant> value = TestSupport::runScript(source->page(),
                QStringLiteral("(function(){var e=document.getElementById('raw-editor');return e?e.value:null;})()"));
            if (!value || value->isNull())
                return false;
            text = value->toString();
            return true;
        });
        return text;
    }

    // Types text as a reader does, a key at a time; a character that is not ASCII arrives as a keyboard
    // layout that has it sends it: a key event that carries the character and no key code. The call
    // ends once the editor shows the whole text; false when it did not.
    static bool typeText(QWidget* target, const QString& text)
    {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClicks(target, QString(c));
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(target, &release);
        }
        return waitFor([&] {
            QString before = target->inputMethodQuery(Qt::ImSurroundingText)
                                 .toString()
                                 .left(target->inputMethodQuery(Qt::ImCursorPosition).toInt());
            before.replace(QChar(0xA0), QLatin1Char(' '));
            return before.endsWith(text);
        });
    }

    // Replaces the open note's text in its editor by typing its paragraphs, then shows the note's
    // view, which keeps what was typed.
    ::testing::AssertionResult retypeNote(const QStringList& paragraphs)
    {
        clickNoteTab(StudyPaneNoteViewEditViewController::RichEditTab);
        auto* editor = dynamic_cast<StudyPaneNoteViewEditViewController*>(studyPane()->subpaneViewController());
        if (!waitFor([&] {
                return editor != nullptr && editor->webView(editor->selectedTab()) != nullptr &&
                    editor->webView(editor->selectedTab())->isPageReady();
            }))
            return ::testing::AssertionFailure() << "the note editor did not show";
        if (auto typed = typeIntoOpenNote(editor, paragraphs, true); !typed)
            return typed;
        clickNoteTab(StudyPaneNoteViewEditViewController::ViewTab);
        return ::testing::AssertionSuccess();
    }

    // Names a new bookmark category in the prompt that asks for it, by typing, as a reader does.
    static void nameTheCategory(ModalTextFieldWindowController* prompt, const QString& name)
    {
        prompt->textField()->selectAll();
        QTest::keyClicks(prompt->textField(), name);
        QTest::keyClick(prompt->textField(), Qt::Key_Return);
    }

    StudyPaneViewController* studyPane() const
    {
        return dynamic_cast<StudyPaneViewController*>(panes().view()->studyPane());
    }

    // Clicks the dialog's button of that text with the mouse; false when it shows none, enabled.
    static bool clickButton(QWidget* dialog, const QString& text)
    {
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (TestSupport::menuText(button->text()) == text && button->isVisible() && button->isEnabled()) {
                QTest::mouseClick(button, Qt::LeftButton);
                return true;
            }
        return false;
    }

    // Clicks a row of a list with the mouse, as a reader does.
    static void clickRow(QListWidget* list, int row)
    {
        QListWidgetItem* item = list->item(row);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(item).center());
    }

    // Open Book from the menu, then a click on the kind that lists the book and a double-click on the
    // book, as a reader does; false when the sheet did not show or no kind lists the book.
    ::testing::AssertionResult openBookFromTheSheet(const SourceTuple::Ptr& book)
    {
        if (!reader_test::choose(m_app->mainWindowController(), CommandNames::OpenBook))
            return ::testing::AssertionFailure() << "Open Book is not in the menus";
        OpenBookSheetWindowController* open = nullptr;
        if (!waitFor([&] { return (open = shownWindow<OpenBookSheetWindowController>()) != nullptr; }))
            return ::testing::AssertionFailure() << "Open Book did not open";
        const auto rowOfTheBook = [&] {
            const SourceTupleArray::Ptr books = open->sourcesOfSelectedKind();
            for (qsizetype i = 0; books && i < books->count(); ++i)
                if (books->tupleAtIndex(i)->isEqual(*book))
                    return int(i);
            return -1;
        };
        QListWidget* kinds = store_sheet_test::kindsList(open);
        QListWidget* books = store_sheet_test::booksList(open);
        for (int kind = 0; kind < kinds->count() && rowOfTheBook() < 0; ++kind)
            if (kinds->item(kind)->flags().testFlag(Qt::ItemIsEnabled))
                clickRow(kinds, kind);
        const int row = rowOfTheBook();
        if (row < 0 || row >= books->count()) {
            open->close();
            return ::testing::AssertionFailure() << "no kind lists " << book->record().abbr.toStdString();
        }
        // A book opens with a double-click, as an item of a desktop's list does.
        QListWidgetItem* item = books->item(row);
        books->scrollToItem(item);
        // (The events of a real double-click: a click, then a double-click event and its release.)
        const QPoint at = books->visualItemRect(item).center();
        QTest::mouseClick(books->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(books->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        if (books->isVisible())
            QTest::mouseRelease(books->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        if (open->isVisible())
            open->close();
        return ::testing::AssertionSuccess();
    }

    // Types into a field and presses Return, as a reader does.
    static void typeAndReturn(QLineEdit* field, const QString& text)
    {
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    // Opens the Bible go-to with its shortcut and types a reference into it, as a reader does.
    void typeIntoBibleGoTo(const QString& reference)
    {
        EXPECT_TRUE(reader_test::pressKeys(m_app->mainWindowController(), QKeySequence(QStringLiteral("Ctrl+L"))));
        StudyPaneBibleGotoViewController* go = nullptr;
        ASSERT_TRUE(waitFor([&] {
            return (go = dynamic_cast<StudyPaneBibleGotoViewController*>(studyPane()->subpaneViewController())) !=
                nullptr;
        })) << "Go To did not show the Bible go-to";
        typeAndReturn(go->verseComboBox()->lineEdit(), reference);
    }

    // Logs in to the stand-in's account as a reader does: File > Settings..., a click on the Customer
    // ID page's button, the ID and the password typed and a click on Log In; the window is closed after.
    void logIn(const standin_test::Server& server) { logIn(server.httpPort(), server.syncPort()); }
    void logIn(quint16 httpPort, quint16 syncPort)
    {
        UserDefaults::standardUserDefaults().set(
            SettingsKeys::ServiceHostAddress, standin_test::serviceHostSetting(httpPort, syncPort));
        ASSERT_TRUE(reader_test::choose(m_app->mainWindowController(), CommandNames::Settings));
        MASPreferencesWindowController* settings = nullptr;
        ASSERT_TRUE(waitFor([&] { return (settings = shownWindow<MASPreferencesWindowController>()) != nullptr; }))
            << "Settings did not open";
        const QString page = QString::fromLatin1(LoginPreferencesViewController::kIdentity.identifier);
        QWidget* pageButton = nullptr;
        for (QAction* action : settings->toolbar()->actions())
            if (action->objectName() == page)
                pageButton = settings->toolbar()->widgetForAction(action);
        ASSERT_NE(pageButton, nullptr) << "no Customer ID button in the settings toolbar";
        QTest::mouseClick(pageButton, Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] {
            return settings_test::shownPage(settings) != nullptr &&
                settings_test::shownPage(settings)->identifier() == page;
        })) << "the Customer ID page did not show";
        PreferencesViewController* account = settings_test::shownPage(settings);
        // A reader still logged in from an earlier start logs out first.
        if (QPushButton* logOut = account->findChild<QPushButton*>(QStringLiteral("logoutButton"));
            logOut != nullptr && logOut->isVisible()) {
            QTest::mouseClick(logOut, Qt::LeftButton);
            ASSERT_TRUE(waitFor([&] { return !logOut->isVisible(); })) << "Log Out did not show the log-in form";
        }
        typeInto(account->textField(QStringLiteral("customerID")), QStringLiteral("demo@quillstead.test"));
        typeInto(account->textField(QStringLiteral("password")), QStringLiteral("demo"));
        QPushButton* button = account->findChild<QPushButton*>(QStringLiteral("loginButton"));
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << "Log In cannot be clicked";
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return button->isEnabled(); }, 20000)) << "no answer to the log-in";
        ASSERT_TRUE(UserDefaults::standardUserDefaults().value(SettingsKeys::CredentialsValid))
            << "the log-in was refused";
        settings->close();
    }

    // Replaces a field's text by typing, as a reader does.
    static void typeInto(QLineEdit* field, const QString& text)
    {
        ASSERT_NE(field, nullptr);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
    }

    // Sync Now, as from the toolbar, and the wait for the engine to finish; false when it reported
    // an error or did not finish.
    bool syncNow()
    {
        int finished = 0;
        QStringList errors;
        NotificationCenter& center = NotificationCenter::defaultCenter();
        center.addObserver(
            &finished, AppNotifications::qsSyncCommFinishedNotification, [&finished](Notification&) { ++finished; });
        center.addObserver(&errors, AppNotifications::qsSyncErrorOccurredNotification,
            [&errors](Notification& n) { errors.append(n.userInfo.value(QStringLiteral("message")).toString()); });
        EXPECT_TRUE(reader_test::choose(m_app->mainWindowController(), CommandNames::SyncNow));
        qs::cloud::SyncManager& engine = qs::cloud::SyncManager::instance();
        const bool done = waitFor(
            [&] { return finished > 0 && engine.goal() == qs::cloud::SyncManager::Idle && !engine.hasConnection(); },
            90000);
        center.removeObserver(&finished);
        center.removeObserver(&errors);
        for (const QString& error : errors)
            ADD_FAILURE() << "sync error: " << error.toStdString();
        return done && errors.isEmpty();
    }

    static inline QString s_home;
    static inline RecordingAlerts* s_alerts = nullptr;
    std::unique_ptr<QuillsteadAppController> m_app;
};

TEST_F(Scenario, FirstRunOpensTheThreeBooksAndGoesToJohn316)
{
    QuillsteadAppController& app = launch();
    // Help, welcome and the KJV, each in a pane of the first layout.
    for (const qint64 book : {23, 24, 101})
        EXPECT_TRUE(waitFor([&] { return regionShowing(1, book) >= 0; })) << "book 1/" << book << " is not open";
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    ASSERT_TRUE(kjv);
    const int bible = regionShowing(kjv->record().pubID, kjv->record().bookID);
    ASSERT_GE(bible, 0);

    const quint32 john316 = kjv->locations().sectionForSyncString(QStringLiteral("John 3:16"));
    ASSERT_NE(john316, 0u);
    QuillsteadWindowController& window = *app.mainWindowController();
    QWidget* back = window.toolbar()->widgetForAction(window.actions().action(CommandNames::Back));
    ASSERT_NE(back, nullptr);
    EXPECT_FALSE(back->isEnabled()) << "Back before the first move";
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
    // The book opens at its beginning; the go-to moves the page that shows it.
    ASSERT_TRUE(waitForPageText(bible, QStringLiteral("In the beginning God created")));
    typeIntoBibleGoTo(QStringLiteral("jn 3.16"));
    EXPECT_TRUE(waitFor([&] { return sectionOf(bible) == john316; })) << "the Bible pane is at " << sectionOf(bible);
    // The page shows the verse, at its top.
    EXPECT_TRUE(waitForPageText(bible, QStringLiteral("For God so loved the world")));
    BookPageView* page = pageOf(bible);
    ASSERT_NE(page, nullptr);
    const std::optional<QVariant> top = TestSupport::runScript(page->page(),
        QStringLiteral("(function(){var e=document.getElementById('_s43.3.16');"
                       "return e?Math.round(e.getBoundingClientRect().top):-99999;})()"));
    ASSERT_TRUE(top.has_value());
    EXPECT_GE(top->toInt(), -5) << "the verse is above the page's top";
    EXPECT_LT(top->toInt(), page->height() / 3) << "the verse is not at the page's top";
    // The toolbar offers Back to where the pane was, without a menu opened to ask for it.
    EXPECT_TRUE(waitFor([&] { return back->isEnabled(); })) << "the toolbar's Back stays off after a go-to";

    app.mainWindowController()->window()->show();
    EXPECT_TRUE(TestSupport::waitForViewsPainted(app.mainWindowController()->window()));
    QDir().mkpath(kBuild + QStringLiteral("/screenshots"));
    app.mainWindowController()->window()->grab().save(kBuild + QStringLiteral("/screenshots/main-window.png"));
    quit();

    // The place is remembered in the layout archive and comes back on the next start.
    EXPECT_TRUE(QFile::exists(QuillsteadAppController::appLayoutArchiveFile()));
    launch();
    EXPECT_TRUE(waitFor([&] {
        const int region = regionShowing(kjv->record().pubID, kjv->record().bookID);
        return region >= 0 && sectionOf(region) == john316;
    }));
}

// Every list of Open Book reads in title order, whatever order the books came in.
TEST_F(Scenario, OpenBookListsEveryKindInTitleOrder)
{
    launch();
    ASSERT_TRUE(reader_test::choose(m_app->mainWindowController(), CommandNames::OpenBook));
    OpenBookSheetWindowController* open = nullptr;
    ASSERT_TRUE(waitFor([&] { return (open = shownWindow<OpenBookSheetWindowController>()) != nullptr; }));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    int longLists = 0;
    QListWidget* kinds = store_sheet_test::kindsList(open);
    QListWidget* books = store_sheet_test::booksList(open);
    for (int kind = 0; kind < kinds->count(); ++kind) {
        if (!kinds->item(kind)->flags().testFlag(Qt::ItemIsEnabled))
            continue;
        clickRow(kinds, kind);
        QStringList shown;
        for (int row = 0; row < books->count(); ++row)
            shown << books->item(row)->text();
        QStringList sorted = shown;
        std::stable_sort(sorted.begin(), sorted.end(),
            [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
        EXPECT_EQ(shown.join(QStringLiteral(", ")).toStdString(), sorted.join(QStringLiteral(", ")).toStdString())
            << kinds->item(kind)->text().toStdString();
        longLists += shown.size() > 2 ? 1 : 0;
    }
    EXPECT_GT(longLists, 0);
    open->close();
}

TEST_F(Scenario, AFoundVerseHighlightedBookmarkedAndAnnotatedSurvivesARestart)
{
    QuillsteadAppController& app = launch();
    QuillsteadWindowController& window = *app.mainWindowController();
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    ASSERT_TRUE(kjv);
    const int bible = regionOnceShowing(kjv);
    ASSERT_GE(bible, 0) << "no pane shows the book";
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";

    // Find "faith AND love" in the Bible; the third verse found is opened from the results.
    EXPECT_TRUE(reader_test::chooseMenuItem(&window, QStringLiteral("Study"), QStringLiteral("Find")));
    auto* find = dynamic_cast<StudyPaneSearchResultsViewController*>(
        studyPane()->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_NE(find, nullptr);
    typeAndReturn(find->searchField(), QStringLiteral("faith AND love"));
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    SearchResultsAggregator& found = find->aggregator();
    QList<int> hits;
    for (int row = 0; row < found.numRows(); ++row)
        if (found.tablePathForRow(row).tableRowNum >= 0)
            hits.append(row);
    ASSERT_GE(hits.size(), 3);
    QTableView* table = find->searchResultsTableView();
    table->scrollTo(table->model()->index(hits[2], 0));
    const QRect cell = table->visualRect(table->model()->index(hits[2], 0));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, QPointF(cell.center()), table->viewport()->mapToGlobal(QPointF(cell.center())),
            Qt::LeftButton, type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &click);
    }
    const quint32 section = found.positionValueForTablePath(found.tablePathForRow(hits[2]));
    ASSERT_TRUE(waitFor([&] { return sectionOf(bible) == section; })) << sectionOf(bible) << " " << section;
    const quint32 key = kjv->locations().keyForSection(section);
    ASSERT_NE(key, 0u);
    // The page shows the found verse's words.
    EXPECT_TRUE(waitForPageText(bible, QStringLiteral("faith"))) << "the Bible page does not show the found verse";

    // Highlight it, bookmark it in a new category and write a note on it, from the page's menu.
    ASSERT_TRUE(chooseOnVerse(bible, key, {QStringLiteral("Highlight"), QStringLiteral("Yellow")}));
    EXPECT_TRUE(waitForVerseClass(bible, key, QStringLiteral("yellow")));
    const bool named = whenShown<ModalTextFieldWindowController>(
        [&] {
            EXPECT_TRUE(chooseOnVerse(bible, key, {QStringLiteral("Bookmark"), QStringLiteral("Create New Category")}));
        },
        [](ModalTextFieldWindowController* prompt) { nameTheCategory(prompt, QStringLiteral("Faith and Love")); });
    ASSERT_TRUE(named) << "the new category was not asked for";
    ASSERT_TRUE(chooseOnVerse(bible, key, {QStringLiteral("Add Note to")}));
    StudyPaneNoteViewEditViewController* editor = nullptr;
    ASSERT_TRUE(waitFor([&] {
        editor = dynamic_cast<StudyPaneNoteViewEditViewController*>(studyPane()->subpaneViewController());
        return editor != nullptr && editor->webView(editor->selectedTab()) != nullptr &&
            editor->webView(editor->selectedTab())->isPageReady();
    })) << "the note editor did not open";
    NoteWebView* page = editor->webView(editor->selectedTab());
    page->setFocus();
    TestSupport::runScript(page->page(), QStringLiteral("qsFocusEditor()"));
    ASSERT_TRUE(
        TestSupport::waitForScript(page->page(), QStringLiteral("document.activeElement === qsEditorElement()"), true))
        << "the note's editor did not take the focus";
    QTest::keyClicks(page->focusProxy() != nullptr ? page->focusProxy() : page, QStringLiteral("Faith works by love"));
    // What was typed is on the editor's page, and the reader has it.
    EXPECT_TRUE(waitFor([&] {
        return TestSupport::pageText(page->page(), 5000).contains(QStringLiteral("Faith works by love")) &&
            editor->webViewHasBeenEdited();
    })) << TestSupport::pageText(page->page()).toStdString();
    const QString uuid = panes().goToPanes().currentLayoutUuid();
    // Where the Bible pane is as the reader leaves (the window's layout may have moved its top by a
    // verse as the note editor opened beside it).
    const quint64 left = sectionOf(bible);
    quit();

    // The note was saved on the way out; everything comes back on the next start.
    launch();
    EXPECT_EQ(panes().goToPanes().currentLayoutUuid(), uuid);
    EXPECT_TRUE(waitFor([&] {
        const int region = regionShowing(kjv->record().pubID, kjv->record().bookID);
        return region >= 0 && sectionOf(region) == left;
    })) << "the Bible pane did not come back to where it was left";
    const BookmarkStore bookmarks(nullptr);
    EXPECT_TRUE(bookmarks.verseHasBookmarks(key));
    EXPECT_NE(bookmarks.categoryIdForName(QStringLiteral("faith and love")), BookmarkStore::kAllCategories);
    EXPECT_TRUE(reader_test::choose(m_app->mainWindowController(), CommandNames::Highlights));
    auto* highlights = dynamic_cast<StudyPaneHighlightsViewController*>(studyPane()->subpaneViewController());
    ASSERT_NE(highlights, nullptr);
    const auto* list = highlights->view()->findChild<QTableWidget*>(QStringLiteral("sectionList"));
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(
        list->findItems(kjv->words().plainTextSearchResultTitleForSection(section), Qt::MatchExactly).isEmpty());
    // The page shows the verse highlighted, with the link to its note, and the note shows what was typed.
    const int shown = regionShowing(kjv->record().pubID, kjv->record().bookID);
    EXPECT_TRUE(waitForVerseClass(shown, key, QStringLiteral("yellow")));
    EXPECT_TRUE(waitForNoteLink(shown, key));
    const QString note = viewNoteOnVerse(shown, key);
    EXPECT_TRUE(note.contains(QStringLiteral("Faith works by love"))) << note.toStdString();
}

// The page follows the notes database at once: a note emptied in its editor loses its link with the
// render that the deletion starts, and highlights written by another program show at the next go-to,
// also one that stays in the chapter on the page.
TEST_F(Scenario, ThePageShowsWhatTheDatabaseHoldsAfterANoteIsClearedOrAHighlightWrittenElsewhere)
{
    launch();
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    ASSERT_TRUE(kjv);
    const int bible = regionOnceShowing(kjv);
    ASSERT_GE(bible, 0) << "no pane shows the book";
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
    typeIntoBibleGoTo(QStringLiteral("John 3:16"));
    ASSERT_TRUE(waitForPageText(bible, QStringLiteral("For God so loved the world")));

    // A note of two paragraphs on 3:17, from the page's menu, kept by the editor's own save.
    const quint32 john317 = (43u << 16) | (3u << 8) | 17u;
    const NoteLocation onJohn317 = NoteLocation::bible(john317);
    ASSERT_TRUE(typeNoteOnVerse(bible, john317,
        {QStringLiteral("Not sent to condemn the world"), QStringLiteral("but that the world might be saved")}));
    ASSERT_TRUE(waitFor([&] {
        return reader_test::programNotes().read(onJohn317).text.contains(QStringLiteral("might be saved"));
    })) << "the editor did not store the note";
    ASSERT_TRUE(waitForNoteLink(bible, john317));

    // Select all and Delete in the editor: its save deletes the note, and the page's blocks are
    // rendered again. Once that render is done the page no longer links the note.
    BookPageView* page = pageOf(bible);
    ASSERT_NE(page, nullptr);
    QSignalSpy rendered(page, &BookPageView::blocksRenderedAgain);
    // The page stays the document it is: a new one would be shown only once painted, the old picture
    // (with the link) standing until then.
    ASSERT_TRUE(TestSupport::runScript(page->page(), QStringLiteral("window.qsSameDocument = true")).has_value());
    qsizetype rendersBefore = -1;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(&rendersBefore, PaneNotifications::qsNotesHaveChangedNotification, [&](Notification& n) {
        if (n.userInfo.value(QStringLiteral("deletedNote")).toBool())
            rendersBefore = rendered.count();
    });
    auto* editor = dynamic_cast<StudyPaneNoteViewEditViewController*>(studyPane()->subpaneViewController());
    ASSERT_NE(editor, nullptr);
    NoteWebView* typed = editor->webView(editor->selectedTab());
    ASSERT_NE(typed, nullptr);
    QWidget* keys = typed->focusProxy() != nullptr ? typed->focusProxy() : typed;
    QTest::keyClick(keys, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(keys, Qt::Key_Delete);
    const bool deleted = waitFor([&] { return !reader_test::programNotes().exists(onJohn317) && rendersBefore >= 0; });
    center.removeObserver(&rendersBefore);
    ASSERT_TRUE(deleted) << "the cleared note was not deleted";
    ASSERT_TRUE(waitFor([&] { return rendered.count() > rendersBefore; })) << "the page was not rendered again";
    const QString noteLink = QStringLiteral("document.querySelector('a[href*=\"note:_043003017000\"]') !== null");
    EXPECT_EQ(TestSupport::runScript(page->page(), noteLink).value_or(QVariant()), QVariant(false))
        << "the page rendered after the deletion still links the note";
    EXPECT_EQ(TestSupport::runScript(page->page(), QStringLiteral("!!document.getElementById('_s43.3.17')"))
                  .value_or(QVariant()),
        QVariant(true));
    EXPECT_EQ(
        TestSupport::runScript(page->page(), QStringLiteral("window.qsSameDocument === true")).value_or(QVariant()),
        QVariant(true))
        << "the page was replaced by a new one";

    // Two highlights written through another connection to the database, as another program writes
    // them, while the page shows John 3; then Go To a verse of John 3.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(sqlite3_db_filename(cSQLiteDbBase::connectionHandle(), "main"), &other), SQLITE_OK);
    const quint32 john318 = (43u << 16) | (3u << 8) | 18u;
    const quint32 john319 = john318 + 1;
    const QByteArray insert = QStringLiteral("INSERT INTO VerseHighlights (timestamp, bcv, forecolor, backcolor, "
                                             "serverid, deleted) VALUES ('2026:01:01:00:00:00:000:00', %1, 0, 3, 0, "
                                             "0), ('2026:01:01:00:00:00:000:00', %2, 0, 3, 0, 0)")
                                  .arg(john318)
                                  .arg(john319)
                                  .toUtf8();
    ASSERT_EQ(sqlite3_exec(other, insert.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    const QString colour = QString::fromStdString(highlightStyleClassName(3));
    ASSERT_FALSE(colour.isEmpty());
    const quint32 at = kjv->locations().sectionForSyncString(QStringLiteral("John 3:18"));
    typeIntoBibleGoTo(QStringLiteral("John 3:18"));
    ASSERT_TRUE(waitFor([&] { return sectionOf(bible) == at; })) << "the Bible pane is at " << sectionOf(bible);
    EXPECT_TRUE(waitForVerseClass(bible, john318, colour));
    EXPECT_TRUE(waitForVerseClass(bible, john319, colour));
}

TEST_F(Scenario, ADownloadedOwnedBookOpensInANewTab)
{
    if (!standin_test::haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    QuillsteadAppController& app = launch();
    QuillsteadWindowController& window = *app.mainWindowController();
    logIn(server);
    const QString file = QDir(AppFolders::booksDirectory()).filePath(QStringLiteral("RV1909.tvk"));
    ASSERT_FALSE(QFile::exists(file));

    // The Cloud Library lists the owned books; the Reina-Valera is downloaded.
    EXPECT_TRUE(reader_test::choose(&window, CommandNames::CloudLibrary));
    DownloadBooksSheetWindowController* library = nullptr;
    ASSERT_TRUE(waitFor([&] { return (library = shownWindow<DownloadBooksSheetWindowController>()) != nullptr; }))
        << "Cloud Library did not open";
    ASSERT_TRUE(waitFor([&] {
        return library->rowForBook({{QStringLiteral("productid"), "RV1909"}}) >= 0;
    })) << "the owned list did not arrive";
    clickRow(store_sheet_test::booksList(library), library->rowForBook({{QStringLiteral("productid"), "RV1909"}}));
    ASSERT_TRUE(waitFor([&] { return bookNamed(QStringLiteral("RV1909")) != nullptr; }, 60000))
        << "the download did not reach the library";
    EXPECT_TRUE(QFile::exists(file));
    for (const Alert& alert : s_alerts->shown())
        ADD_FAILURE() << "alert: " << alert.messageText.toStdString();
    library->close();

    // Open Book: the new book is chosen and opens as a new tab of the current pane.
    const auto rv = bookNamed(QStringLiteral("RV1909"));
    const int region = panes().goToPanes().currentRegion();
    ASSERT_GE(region, 0);
    const size_t tabsBefore = panes().goToPanes().paneTabBooks(region).size();
    EXPECT_TRUE(openBookFromTheSheet(rv));
    EXPECT_TRUE(waitFor([&] {
        const auto shown = panes().goToPanes().paneCurrentBook(region);
        return shown && shown->isEqual(*rv) && panes().goToPanes().paneTabBooks(region).size() == tabsBefore + 1;
    })) << "the book did not open in a new tab";
    // Close Book takes the tab away again.
    EXPECT_TRUE(reader_test::choose(&window, CommandNames::CloseBook));
    EXPECT_TRUE(waitFor([&] { return panes().goToPanes().paneTabBooks(region).size() == tabsBefore; }));
}

bool highlighted(quint32 key)
{
    std::uint16_t fore = 0, back = 0;
    cVerseHighlightDoc* doc = cVerseHighlightDoc::verseHighlightDocInstance();
    return doc != nullptr && doc->getHighlight(cBibleRef(key), fore, back) && (fore != 0 || back != 0);
}

// Romans 8:28, where the first profile leaves its marks for the second to find.
constexpr quint32 kRomans828 = (45u << 16) | (8u << 8) | 28u;
const char kSecondProfileVariable[] = "QS_SCENARIO_SECOND_PROFILE";
// A folder the two profiles share for the note text the first one stored.
const char kExchangeVariable[] = "QS_SCENARIO_EXCHANGE";
// The note as the second profile types it anew, a paragraph a line: "$" and the look-alikes of the
// sync line's separators.
const QStringList kRewrittenNote {QStringLiteral("All things work together for good"),
    QString::fromUtf8("to them that love God: $, \xE2\x90\x9F, \xE2\x90\x9E, \xEF\xBC\x84")};

TEST_F(Scenario, TwoProfilesOfOneAccountSyncTheSameData)
{
    if (!standin_test::haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    if (qEnvironmentVariableIsSet(kSecondProfileVariable))
        GTEST_SKIP() << "this process is the second profile";
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    launch();
    logIn(server);
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    ASSERT_TRUE(kjv);

    // A highlight, a bookmark in a category of its own and a note of two paragraphs typed in the
    // note editor, then Sync Now.
    const int bible = regionOnceShowing(kjv);
    ASSERT_GE(bible, 0) << "no pane shows the book";
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
    typeIntoBibleGoTo(QStringLiteral("Romans 8:28"));
    ASSERT_TRUE(chooseOnVerse(bible, kRomans828, {QStringLiteral("Highlight"), QStringLiteral("Yellow")}));
    EXPECT_TRUE(waitForVerseClass(bible, kRomans828, QStringLiteral("yellow")));
    ASSERT_TRUE(whenShown<ModalTextFieldWindowController>(
        [&] {
            EXPECT_TRUE(
                chooseOnVerse(bible, kRomans828, {QStringLiteral("Bookmark"), QStringLiteral("Create New Category")}));
        },
        [](ModalTextFieldWindowController* prompt) { nameTheCategory(prompt, QStringLiteral("Shared")); }));
    ASSERT_TRUE(highlighted(kRomans828));
    ASSERT_TRUE(typeNoteOnVerse(
        bible, kRomans828, {QStringLiteral("All things work together"), QStringLiteral("for good, at $5 a line$")}));
    // The note's view, then its source: the editor keeps the note in its paragraphs, one a line.
    clickNoteTab(StudyPaneNoteViewEditViewController::ViewTab);
    const QString typed = noteSource();
    EXPECT_TRUE(typed.contains(QStringLiteral("</p>\n<p>")) && typed.endsWith(QLatin1Char('\n')))
        << "not two stored paragraphs: " << typed.toStdString();
    ASSERT_TRUE(syncNow()) << "the first profile's sync did not finish";
    quit();

    // The second profile is another process with a home of its own and the same account.
    QTemporaryDir exchange;
    QFile sent(exchange.filePath(QStringLiteral("note.html")));
    ASSERT_TRUE(sent.open(QIODevice::WriteOnly));
    sent.write(typed.toUtf8());
    sent.close();
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kSecondProfileVariable),
        QStringLiteral("%1:%2").arg(server.httpPort()).arg(server.syncPort()));
    environment.insert(QString::fromLatin1(kExchangeVariable), exchange.path());
    second.setProcessEnvironment(environment);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_filter=Scenario.TheSecondProfileFindsWhatTheFirstSynced")});
    ASSERT_TRUE(second.waitForFinished(240000)) << "the second profile did not finish";
    const QByteArray output = second.readAll();
    EXPECT_EQ(second.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();

    // And back: the second profile's rewrite of the note arrives here as it was written, and the
    // note viewer shows it.
    launch();
    ASSERT_TRUE(syncNow()) << "the first profile's second sync did not finish";
    const int shownIn = regionOnceShowing(kjv);
    ASSERT_GE(shownIn, 0) << "no pane shows the book";
    ASSERT_TRUE(reader_test::clickPane(&panes(), shownIn)) << "a click did not make the pane current";
    typeIntoBibleGoTo(QStringLiteral("Romans 8:28"));
    const QString shown = viewNoteOnVerse(shownIn, kRomans828);
    EXPECT_TRUE(shown.contains(QStringLiteral("to them that love God: $"))) << shown.toStdString();
    QFile rewritten(exchange.filePath(QStringLiteral("rewritten.html")));
    ASSERT_TRUE(rewritten.open(QIODevice::ReadOnly)) << "the second profile kept no rewrite";
    EXPECT_EQ(noteSource(), QString::fromUtf8(rewritten.readAll()));
}

TEST_F(Scenario, TheSecondProfileFindsWhatTheFirstSynced)
{
    const QStringList ports = qEnvironmentVariable(kSecondProfileVariable).split(QLatin1Char(':'));
    if (ports.size() != 2)
        GTEST_SKIP() << "run by the two-profile scenario";
    QFile sent(QDir(qEnvironmentVariable(kExchangeVariable)).filePath(QStringLiteral("note.html")));
    ASSERT_TRUE(sent.open(QIODevice::ReadOnly));
    const QString typed = QString::fromUtf8(sent.readAll());
    launch();
    logIn(quint16(ports[0].toUInt()), quint16(ports[1].toUInt()));
    ASSERT_TRUE(syncNow()) << "the second profile's sync did not finish";

    // Everything synced arrived: the bookmark, its category and the highlight (the note below).
    const BookmarkStore bookmarks(nullptr);
    EXPECT_TRUE(bookmarks.verseHasBookmarks(kRomans828));
    EXPECT_NE(bookmarks.categoryIdForName(QStringLiteral("Shared")), BookmarkStore::kAllCategories);
    EXPECT_TRUE(highlighted(kRomans828)) << "the highlight did not arrive";

    // The page links the note beside the verse; the note viewer shows both paragraphs.
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    ASSERT_TRUE(kjv);
    const int bible = regionOnceShowing(kjv);
    ASSERT_GE(bible, 0) << "no pane shows the book";
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
    typeIntoBibleGoTo(QStringLiteral("Romans 8:28"));
    const QString shown = viewNoteOnVerse(bible, kRomans828);
    EXPECT_TRUE(shown.contains(QStringLiteral("All things work together"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("for good, at $5 a line$"))) << shown.toStdString();
    // The note of two paragraphs came character for character.
    EXPECT_EQ(noteSource(), typed);
    // The picture shows the note as the viewer draws it.
    clickNoteTab(StudyPaneNoteViewEditViewController::ViewTab);
    m_app->mainWindowController()->window()->show();
    EXPECT_TRUE(TestSupport::waitForViewsPainted(m_app->mainWindowController()->window()));
    QDir().mkpath(kBuild + QStringLiteral("/screenshots"));
    m_app->mainWindowController()->window()->grab().save(kBuild + QStringLiteral("/screenshots/synced-note.png"));

    // This profile rewrites the note in the note editor and syncs it back; what it keeps goes to the
    // first profile to compare.
    ASSERT_TRUE(retypeNote(kRewrittenNote));
    const QString rewritten = noteSource();
    EXPECT_TRUE(rewritten.contains(kRewrittenNote.last())) << rewritten.toStdString();
    QFile back(QDir(qEnvironmentVariable(kExchangeVariable)).filePath(QStringLiteral("rewritten.html")));
    ASSERT_TRUE(back.open(QIODevice::WriteOnly));
    back.write(rewritten.toUtf8());
    back.close();
    ASSERT_TRUE(syncNow()) << "the second profile's second sync did not finish";
}

TEST_F(Scenario, ACommentarySyncedToTheBibleFollowsAndHistoryStepsBack)
{
    launch();
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    const auto scofield = bookNamed(QStringLiteral("Scofield"));
    ASSERT_TRUE(kjv && scofield);
    const int bible = regionOnceShowing(kjv);
    ASSERT_GE(bible, 0) << "no pane shows the book";
    // The commentary opens in another book pane, which receives location sync by default.
    const int other = otherBookPane(bible);
    ASSERT_GE(other, 0);
    // The Bible at John 3:1 first: the commentary opened beside it starts there, at the note that
    // covers the verse (its note at John 1:51 runs to 3:2), not at its beginning.
    const quint32 john31 = kjv->locations().sectionForSyncString(QStringLiteral("John 3:1"));
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
    typeIntoBibleGoTo(QStringLiteral("John 3:1"));
    ASSERT_TRUE(waitFor([&] { return sectionOf(bible) == john31; }));
    ASSERT_TRUE(reader_test::clickPane(&panes(), other)) << "a click did not make the pane current";
    ASSERT_TRUE(openBookFromTheSheet(scofield));
    ASSERT_TRUE(waitFor([&] { return regionShowing(scofield->record().pubID, scofield->record().bookID) == other; }));
    EXPECT_TRUE(waitFor([&] {
        return scofield->locations().tocNameForSection(quint32(sectionOf(other))) == QStringLiteral("John 1:51");
    })) << "the commentary opened at "
        << scofield->locations().getPositionNameForTitleBar(sectionOf(other)).toStdString() << " (section "
        << sectionOf(other) << ")";
    // A chapter typed without a verse: the Bible shows the chapter's heading, and the commentary
    // follows to the note that covers the chapter's first verse (its note at 3:19 runs to 4:21).
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
    typeIntoBibleGoTo(QStringLiteral("John 4"));
    EXPECT_TRUE(waitFor([&] {
        return scofield->locations().tocNameForSection(quint32(sectionOf(other))) == QStringLiteral("John 3:19");
    })) << "the commentary is at "
        << scofield->locations().getPositionNameForTitleBar(sectionOf(other)).toStdString();

    const QStringList places {
        QStringLiteral("Genesis 1:1"), QStringLiteral("John 3:16"), QStringLiteral("Romans 8:28")};
    QList<quint32> sections;
    QuillsteadWindowController& window = *m_app->mainWindowController();
    for (const QString& place : places) {
        const quint32 section = kjv->locations().sectionForSyncString(place);
        ASSERT_NE(section, 0u) << place.toStdString();
        sections.append(section);
        ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
        typeIntoBibleGoTo(place);
        ASSERT_TRUE(waitFor([&] { return sectionOf(bible) == section; })) << place.toStdString();
        // The commentary shows its note on the same passage.
        const quint32 note = scofield->locations().sectionForBibleKey(kjv->locations().keyForSection(section));
        ASSERT_NE(note, 0u) << place.toStdString();
        EXPECT_TRUE(waitFor([&] { return sectionOf(other) == note; }))
            << place.toStdString() << ": the commentary is at " << sectionOf(other) << ", not " << note;
    }
    // The Bible page shows the last place's words.
    EXPECT_TRUE(waitForPageText(bible, QStringLiteral("all things work together for good")));

    // The toolbar's Back button comes on after the go-tos, with no menu opened to ask for it.
    const auto toolbarButton = [&](const CommandId& id) {
        return window.toolbar()->widgetForAction(window.actions().action(id));
    };
    ASSERT_TRUE(toolbarButton(CommandNames::Back) != nullptr && toolbarButton(CommandNames::Forward) != nullptr);
    EXPECT_TRUE(waitFor([&] { return toolbarButton(CommandNames::Back)->isEnabled(); }));
    EXPECT_FALSE(toolbarButton(CommandNames::Forward)->isEnabled());

    // Back twice and Forward once step through the last three places.
    EXPECT_TRUE(panes().history().canGoBackInHistory());
    EXPECT_TRUE(reader_test::chooseMenuItem(&window, QStringLiteral("Go"), QStringLiteral("Back")));
    EXPECT_TRUE(waitFor([&] { return sectionOf(bible) == sections[1]; })) << "after Back: " << sectionOf(bible);
    EXPECT_TRUE(reader_test::chooseMenuItem(&window, QStringLiteral("Go"), QStringLiteral("Back")));
    EXPECT_TRUE(waitFor([&] { return sectionOf(bible) == sections[0]; })) << "after Back: " << sectionOf(bible);
    // There the toolbar offers Forward, and Back as far as the history still goes.
    EXPECT_TRUE(waitFor([&] {
        return toolbarButton(CommandNames::Forward)->isEnabled() &&
            toolbarButton(CommandNames::Back)->isEnabled() == panes().history().canGoBackInHistory();
    }));
    EXPECT_TRUE(reader_test::pressKeys(&window, QKeySequence::Forward));
    EXPECT_TRUE(waitFor([&] { return sectionOf(bible) == sections[1]; })) << "after Forward: " << sectionOf(bible);
    EXPECT_TRUE(waitForPageText(bible, QStringLiteral("For God so loved the world")));
}

// The commentary beside the Bible shows the note that covers the Bible's verse, also when the note
// runs over a chapter's end, and says so when no note covers it rather than keep another passage; so
// does the same commentary in a tab behind the Bible, once the reader brings it forward.
TEST_F(Scenario, ACommentaryShowsTheNoteCoveringTheVerseOrSaysThereIsNone)
{
    launch();
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    const auto scofield = bookNamed(QStringLiteral("Scofield"));
    ASSERT_TRUE(kjv && scofield);
    const int bible = regionOnceShowing(kjv);
    ASSERT_GE(bible, 0) << "no pane shows the book";
    const int other = otherBookPane(bible);
    ASSERT_GE(other, 0);
    ASSERT_TRUE(reader_test::clickPane(&panes(), other)) << "a click did not make the pane current";
    ASSERT_TRUE(openBookFromTheSheet(scofield));
    ASSERT_TRUE(waitFor([&] { return regionShowing(scofield->record().pubID, scofield->record().bookID) == other; }));
    const Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    LayoutBookPane* commentaryPane = asBookPane(layout->contentsAt(size_t(other))->viewController());
    ASSERT_NE(commentaryPane, nullptr);
    auto* nothingHere = commentaryPane->paneView()->findChild<QLabel*>(QStringLiteral("nothingHereLabel"));
    ASSERT_NE(nothingHere, nullptr);
    // The commentary also opens as a tab of the Bible's pane, and the Bible's tab is clicked to the
    // front again.
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
    ASSERT_TRUE(openBookFromTheSheet(scofield));
    LayoutBookPane* biblePane = asBookPane(layout->contentsAt(size_t(bible))->viewController());
    ASSERT_NE(biblePane, nullptr);
    auto* bibleTabs = biblePane->paneView()->findChild<PaneTabBar*>();
    auto* behindNothing = biblePane->paneView()->findChild<QLabel*>(QStringLiteral("nothingHereLabel"));
    ASSERT_TRUE(bibleTabs != nullptr && behindNothing != nullptr);
    const auto clickTab = [&](const SourceTuple::Ptr& book) {
        for (int i = 0; i < bibleTabs->count(); ++i)
            if (bibleTabs->tabText(i) == book->record().abbr)
                QTest::mouseClick(bibleTabs, Qt::LeftButton, Qt::NoModifier, bibleTabs->tabRect(i).center());
        return waitFor(
            [&] { return biblePane->currentSourceTuple() && biblePane->currentSourceTuple()->isEqual(*book); });
    };
    ASSERT_TRUE(waitFor([&] { return bibleTabs->count() == 2; })) << "the commentary did not open beside the Bible";
    ASSERT_TRUE(clickTab(kjv)) << "the Bible's tab did not come to the front";

    // In the notes' source the note at Genesis 29:1 is followed by the one at 31:11, the one at
    // Romans 8:23 by the one at 8:38, and Joel's first note is at 1:4.
    const std::pair<QString, QString> places[] = {{QStringLiteral("John 3:16"), QStringLiteral("John 3:16")},
        {QStringLiteral("Gen 29:20"), QStringLiteral("Genesis 29:1")},
        {QStringLiteral("Romans 8:28"), QStringLiteral("Romans 8:23")}, {QStringLiteral("Joel 1:2"), QString()},
        {QStringLiteral("John 3:16"), QStringLiteral("John 3:16")}};
    for (const auto& [place, note] : places) {
        const quint32 verse = kjv->locations().sectionForSyncString(place);
        ASSERT_NE(verse, 0u) << place.toStdString();
        ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
        typeIntoBibleGoTo(place);
        ASSERT_TRUE(waitFor([&] { return sectionOf(bible) == verse; })) << place.toStdString();
        if (note.isEmpty()) {
            EXPECT_TRUE(waitFor([&] { return nothingHere->isVisible(); })) << place.toStdString();
            EXPECT_EQ(nothingHere->text(), QStringLiteral("No note for Joel 1:2"));
            // It stands over the whole page.
            EXPECT_EQ(nothingHere->geometry(), pageOf(other)->geometry());
            // The commentary behind the Bible, brought forward, says the same.
            EXPECT_TRUE(behindNothing->isHidden());
            EXPECT_TRUE(clickTab(scofield));
            EXPECT_TRUE(waitFor([&] { return behindNothing->isVisible(); })) << "the tab behind shows its old note";
            EXPECT_EQ(behindNothing->text(), QStringLiteral("No note for Joel 1:2"));
            EXPECT_EQ(behindNothing->geometry(), pageOf(bible)->geometry());
            EXPECT_TRUE(clickTab(kjv));
            EXPECT_TRUE(waitFor([&] { return behindNothing->isHidden(); }));
            continue;
        }
        EXPECT_TRUE(waitFor([&] {
            return scofield->locations().tocNameForSection(quint32(sectionOf(other))) == note &&
                !nothingHere->isVisible();
        })) << place.toStdString()
            << ": the commentary is at "
            << scofield->locations().getPositionNameForTitleBar(sectionOf(other)).toStdString();
    }
    EXPECT_TRUE(waitForPageText(other, QStringLiteral("John 3:16")));
    // The tab behind the Bible followed to the note too.
    EXPECT_TRUE(clickTab(scofield));
    EXPECT_TRUE(waitForPageText(bible, QStringLiteral("John 3:16")));
    EXPECT_TRUE(behindNothing->isHidden());
    // (The screen is kept for the next test: the Bible in front again.)
    EXPECT_TRUE(clickTab(kjv));
}

// The scroller's knob dragged slowly from Psalms to the very top of the Bible: the Bible beside it,
// which followed every place on the way, ends at the book's first verse too (the top block is the
// Bible's opening, before any book).
TEST_F(Scenario, TheKnobDraggedToTheTopTakesTheFollowingPaneToTheFirstVerse)
{
    QFile::remove(QuillsteadAppController::appLayoutArchiveFile());  // the first screen
    launch();
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    const auto web = bookNamed(QStringLiteral("WEB"));
    ASSERT_TRUE(kjv && web);
    const int bible = regionOnceShowing(kjv);
    ASSERT_GE(bible, 0) << "no pane shows the book";
    const int other = otherBookPane(bible);
    ASSERT_GE(other, 0);
    ASSERT_TRUE(reader_test::clickPane(&panes(), other)) << "a click did not make the pane current";
    ASSERT_TRUE(openBookFromTheSheet(web));
    ASSERT_TRUE(waitFor([&] { return regionShowing(web->record().pubID, web->record().bookID) == other; }));
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
    typeIntoBibleGoTo(QStringLiteral("Psalms 107:1"));
    const quint32 psalm = (19u << 16) | (107u << 8) | 1u;
    ASSERT_TRUE(waitFor([&] { return sectionOf(other) == web->locations().sectionForBibleKey(psalm); }))
        << "the WEB did not follow to Psalms 107:1";

    const Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    LayoutBookPane* pane = asBookPane(layout->contentsAt(size_t(bible))->viewController());
    ASSERT_NE(pane, nullptr);
    auto* scroller = pane->paneView()->findChild<BookPaneScroller*>();
    ASSERT_NE(scroller, nullptr);
    QStyleOptionSlider option;
    option.initFrom(scroller);
    option.orientation = Qt::Vertical;
    option.minimum = scroller->minimum();
    option.maximum = scroller->maximum();
    option.sliderPosition = scroller->sliderPosition();
    option.sliderValue = scroller->value();
    option.pageStep = scroller->pageStep();
    option.singleStep = scroller->singleStep();
    option.subControls = QStyle::SC_All;
    const QPoint knob =
        scroller->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, scroller).center();
    ASSERT_GT(knob.y(), 20) << "the knob is not down in the track";
    // A hand's drag: the panes follow the places it passes, and it goes on past the track's top.
    QTest::mousePress(scroller, Qt::LeftButton, Qt::NoModifier, knob);
    const quint64 before = sectionOf(other);
    const int steps = 6;
    for (int step = 1; step <= steps; ++step) {
        QTest::mouseMove(scroller, QPoint(knob.x(), knob.y() - (knob.y() + 40) * step / steps));
        // Halfway the hand rests a moment: the WEB follows the place the knob passes.
        if (step == steps / 2) {
            ASSERT_TRUE(waitFor([&] { return sectionOf(other) != before; })) << "the WEB did not follow the knob";
        }
    }
    QTest::mouseRelease(scroller, Qt::LeftButton, Qt::NoModifier, QPoint(knob.x(), -40));
    EXPECT_TRUE(waitFor([&] { return scroller->doubleValue() == 0.0; })) << scroller->doubleValue();
    const quint32 first = (1u << 16) | (1u << 8) | 1u;
    EXPECT_TRUE(waitFor([&] { return sectionOf(other) == web->locations().sectionForBibleKey(first); }))
        << "the WEB stays at " << web->locations().getPositionNameForTitleBar(sectionOf(other)).toStdString();
    EXPECT_TRUE(waitForPageText(other, QStringLiteral("In the beginning")));
}

// A right-click on a verse of a pane that is not current makes the pane current and opens its
// page's menu there at once, as it does in the current pane.
TEST_F(Scenario, ARightClickOnAPaneNotCurrentOpensItsMenu)
{
    QFile::remove(QuillsteadAppController::appLayoutArchiveFile());  // the first screen
    launch();
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    ASSERT_TRUE(kjv);
    const int bible = regionOnceShowing(kjv);
    ASSERT_GE(bible, 0) << "no pane shows the book";
    const int other = otherBookPane(bible);
    ASSERT_GE(other, 0);
    ASSERT_TRUE(reader_test::clickPane(&panes(), other)) << "a click did not make the pane current";
    const quint32 verse = (1u << 16) | (1u << 8) | 1u;  // where the book opens
    std::optional<QPoint> at;
    ASSERT_TRUE(waitFor([&] { return (at = wordOfVerse(bible, verse)).has_value(); }));
    ASSERT_NE(panes().goToPanes().currentRegion(), bible);
    BookPageView* page = pageOf(bible);
    QWidget* target = page->focusProxy() != nullptr ? page->focusProxy() : page;
    QWindow* window = target->window()->windowHandle();
    const QPoint inWindow = window->mapFromGlobal(target->mapToGlobal(*at));
    const TestSupport::ShownPopupMenu menu =
        TestSupport::readPopupMenu([&] { QTest::mouseClick(window, Qt::RightButton, Qt::NoModifier, inWindow); });
    EXPECT_TRUE(menu.titles.contains(QStringLiteral("Copy Passage"))) << menu.titles.join(" | ").toStdString();
    EXPECT_EQ(panes().goToPanes().currentRegion(), bible);
}

TEST_F(Scenario, CopyPassageWithTheDefaultOptions)
{
    launch();
    QuillsteadWindowController& window = *m_app->mainWindowController();
    const bool shown = whenShown<CopyPassageWindowController>(
        [&] { EXPECT_TRUE(reader_test::pressKeys(&window, QKeySequence(QStringLiteral("Ctrl+Shift+C")))); },
        [](CopyPassageWindowController* dialog) {
            auto* passage = dialog->findChild<QLineEdit*>(QStringLiteral("passageField"));
            ASSERT_NE(passage, nullptr);
            passage->selectAll();
            QTest::keyClicks(passage, QStringLiteral("Romans 8:28-30"));
            EXPECT_TRUE(clickButton(dialog, QStringLiteral("Copy")));
            if (dialog->isVisible()) {  // refused: the dialog stays open with an alert
                EXPECT_TRUE(clickButton(dialog, QStringLiteral("Cancel")));
            }
        });
    ASSERT_TRUE(shown) << "Copy Passage did not open its dialog";
    for (const Alert& alert : s_alerts->shown())
        ADD_FAILURE() << "alert: " << alert.messageText.toStdString() << " " << alert.informativeText.toStdString();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(),
        QStringLiteral("(Ro 8:28-30)\n[28] And we know that all things work together for good to them that love God, "
                       "to them who are the called according to his purpose. [29] For whom he did foreknow, he also "
                       "did predestinate to be conformed to the image of his Son, that he might be the firstborn "
                       "among many brethren. [30] Moreover whom he did predestinate, them he also called: and whom "
                       "he called, them he also justified: and whom he justified, them he also glorified."));
}

TEST_F(Scenario, AVerseAutostudyOpensItsReport)
{
    launch();
    const auto kjv = bookNamed(QStringLiteral("KJV"));
    ASSERT_TRUE(kjv);
    const int bible = regionOnceShowing(kjv);
    ASSERT_GE(bible, 0) << "no pane shows the book";
    const quint32 john316 = kjv->locations().sectionForSyncString(QStringLiteral("John 3:16"));
    const quint32 john31 = kjv->locations().sectionForSyncString(QStringLiteral("John 3:1"));
    ASSERT_TRUE(reader_test::clickPane(&panes(), bible)) << "a click did not make the pane current";
    typeIntoBibleGoTo(QStringLiteral("John 3:16"));
    ASSERT_TRUE(waitFor([&] { return sectionOf(bible) == john316; }));
    typeIntoBibleGoTo(QStringLiteral("John 3:1"));
    ASSERT_TRUE(waitFor([&] { return sectionOf(bible) == john31 || sectionOf(bible) == john31 - 1; }));
    s_alerts->clear();

    QString reference, opened;
    QStringList alerts;
    const bool shown = whenShown<AutostudyVerseWindowController>(
        [&] {
            EXPECT_TRUE(reader_test::chooseMenuItem(
                m_app->mainWindowController(), QStringLiteral("Study"), QStringLiteral("Autostudy Verse")));
        },
        [&](AutostudyVerseWindowController* dialog) {
            auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("passageTextField"));
            ASSERT_NE(field, nullptr);
            // With nothing selected the passage is the verse the pane is at; an emptied field asks for one.
            opened = field->text();
            field->selectAll();
            QTest::keyClick(field, Qt::Key_Delete);
            EXPECT_TRUE(clickButton(dialog, QStringLiteral("Study")));
            EXPECT_TRUE(dialog->isVisible());
            for (const Alert& alert : s_alerts->shown())
                alerts << alert.messageText;
            s_alerts->clear();
            field->selectAll();
            QTest::keyClicks(field, QStringLiteral("John 3:16"));
            reference = dialog->refString();
            EXPECT_TRUE(clickButton(dialog, QStringLiteral("Study")));
            if (dialog->isVisible()) {
                EXPECT_TRUE(clickButton(dialog, QStringLiteral("Close")));
            }
        });
    ASSERT_TRUE(shown) << "Autostudy Verse did not open its dialog";
    EXPECT_EQ(opened, QStringLiteral("John 3:1"));
    EXPECT_EQ(alerts, QStringList {QStringLiteral("Please enter a passage to study.")});
    EXPECT_EQ(reference, QStringLiteral("John 3:16"));
    AutostudyResultsWindowController* results = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* r = qobject_cast<AutostudyResultsWindowController*>(w); r && r->isVisible())
                results = r;
        return results != nullptr;
    }));
    EXPECT_EQ(results->windowTitle(), QStringLiteral("Autostudy John 3:16"));
    QFile report(results->filename());
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("For God so loved the world"))) << html.left(400).toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("Scofield")) || html.contains(QStringLiteral("SCOFIELD")));
    results->resize(1000, 760);
    // The window shows the report.
    QWebEngineView* reportView = results->findChild<QWebEngineView*>();
    ASSERT_NE(reportView, nullptr);
    EXPECT_TRUE(waitFor([&] {
        return TestSupport::pageText(reportView->page(), 5000).contains(QStringLiteral("For God so loved the world"));
    })) << TestSupport::pageText(reportView->page()).left(400).toStdString();
    EXPECT_TRUE(TestSupport::waitForViewsPainted(results));
    QDir().mkpath(kBuild + QStringLiteral("/screenshots"));
    results->grab().save(kBuild + QStringLiteral("/screenshots/verse-report-in-reader.png"));
    results->onClose();
}

}  // namespace
