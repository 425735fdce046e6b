// The book pane's page in a running reader, used with the mouse as a reader does: resting on a verse
// link shows a preview with that verse's words, and a context menu closes the preview and none opens
// over it; the book scroller stands beside the page; a Find
// marks its word on the page it opens; a Find result opens in the page that is loaded, its words
// marked there without a page load; the page's context menu has none of the web engine's own
// navigation items; Look Up on a Strong's-tagged word looks up the word alone; a selection made with
// the mouse is copied, named and looked up as its words (no Strong's numbers, verse numbers or marks),
// and Copy Passage Now copies the passage selected now; a drag that starts on a Strong's number
// selects text.

#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/LinkPreviewPopover.h"
#include "panes/bookpane/QtSpeechSynthesizer.h"
#include "panes/layout/Layout.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutGoToPanes.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageView.h"
#include "panes/page/BookPaneScroller.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "platform/ui/CommandNames.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/notes/NoteStore.h"
#include "support/RecordingAlerts.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTextToSpeech>
#include <QTimer>
#include <QToolButton>

namespace {

using reader_test::waitFor;

const QString kBuild = QStringLiteral(QS_BINARY_DIR);  // screenshots go here

// A selection's menu offers its verse's highlight, bookmark and note, and names not `other`.
void expectMenuOffers(const QString& menu, const QString& verse, const QString& other)
{
    for (const QString& item :
        {QStringLiteral("Highlight "), QStringLiteral("Bookmark "), QStringLiteral("Add Note to ")})
        EXPECT_TRUE(menu.contains(item + verse)) << (item + verse).toStdString() << " in " << menu.toStdString();
    EXPECT_FALSE(menu.contains(other)) << menu.toStdString();
}

class PageWindow : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { reader_test::startReaderTestProgram("book-pane-page-test"); }

    void SetUp() override
    {
        ReaderWindow::SetUp();
        if (IsSkipped())
            return;
        if (!TestSupport::haveSampleLibrary({"Scofield.tvk", "RV1909.tvk"}))
            GTEST_SKIP() << "the sample library is not built";
        // Every test starts from the first screen.
        QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
        // A commentary whose notes link to verses, and a Bible whose own text links its words to
        // Strong's numbers, beside the books that come with the application.
        ASSERT_TRUE(TestSupport::linkSampleBooks(AppFolders::booksDirectory(), {"Scofield.tvk", "RV1909.tvk"}));
    }

    // The Bible's page at Genesis 1:6, previews on, once a Strong's number shows on it; null when none does.
    BookPageView* pageWithAStrongsNumber(const SourceTuple::Ptr& kjv)
    {
        UserDefaults::standardUserDefaults().set(SettingsKeys::VersePopovers, true);
        goTo(kjv, kjv->locations().sectionForSyncString(QStringLiteral("Genesis 1:6")));
        BookPageView* page = nullptr;
        const bool shown = waitFor([&] {
            page = currentPage();
            return page != nullptr &&
                evaluate(page, QStringLiteral("!!document.querySelector('span._stheb a')")).toBool();
        });
        return shown ? page : nullptr;
    }

    static SourceTuple::Ptr bookNamed(const QString& abbreviation)
    {
        for (const auto& t : SourceManager::singleton().allSources()->array())
            if (t->record().abbr == abbreviation)
                return t;
        return nullptr;
    }

    BookPageView* currentPage() const
    {
        LayoutBookPane* pane = panes()->currentBookPane();
        return pane != nullptr ? pane->paneView()->findChild<BookPageView*>() : nullptr;
    }

    // The reader started with the King James Version current and gone to `place`: its page once the
    // element `id` is on it, or null.
    BookPageView* kjvPageShowing(const QString& place, const QString& id)
    {
        launch();
        const SourceTuple::Ptr kjv = activateKjv();
        if (!kjv)
            return nullptr;
        goTo(kjv, kjv->locations().sectionForSyncString(place));
        BookPageView* page = nullptr;
        const QString present = QStringLiteral("!!document.getElementById('%1')").arg(id);
        return waitFor([&] { return (page = currentPage()) != nullptr && evaluate(page, present).toBool(); }) ? page
                                                                                                              : nullptr;
    }

    // The routing's go-to of the current pane, as a click on a link in it makes.
    void goTo(const SourceTuple::Ptr& book, quint64 section)
    {
        GoToRequest request;
        request.layoutUuid = panes()->goToPanes().currentLayoutUuid();
        request.sourceTuple = book;
        request.section = section;
        request.activate = true;
        request.post(NotificationCenter::defaultCenter(), nullptr);
    }

    // The value of a script run in the page; invalid when it did not answer in time.
    static QVariant evaluate(BookPageView* page, const QString& script)
    {
        return TestSupport::runScript(page->page(), script, 10000).value_or(QVariant());
    }

    // The point a script answers ([x, y] in the view's coordinates), read again until the page has
    // settled (two answers alike); null when the script answers none.
    static QPoint settledPoint(BookPageView* page, const QString& script)
    {
        QPoint last(-1, -1);
        QPoint now;
        waitFor(
            [&] {
                const QVariantList r = evaluate(page, script).toList();
                now = r.size() == 2 ? QPoint(int(r[0].toDouble()), int(r[1].toDouble())) : QPoint();
                const bool settled = now == last;
                last = now;
                return settled;
            },
            10000);
        return now;
    }

    // The centre of the first element the selector finds, scrolled into view.
    static QPoint centreOf(BookPageView* page, const QString& selector)
    {
        return settledPoint(page,
            QStringLiteral("(function(){var e=document.querySelector(\"%1\");if(!e)return [];"
                           "var r=e.getBoundingClientRect();if(r.top<0||r.bottom>innerHeight)"
                           "e.scrollIntoView({block:'center'});r=e.getBoundingClientRect();"
                           "return [r.left+r.width/2,r.top+r.height/2];})()")
                .arg(selector));
    }

    static QWidget* input(BookPageView* page) { return page->focusProxy() ? page->focusProxy() : page; }

    // The pointer moves to `at` of the page's view, as the window system reports it.
    static void moveTo(BookPageView* page, const QPoint& at)
    {
        QWidget* target = input(page);
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
            Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
    }

    // A drag with the left button from `from` to `to` of the page's view, as the reader selects text;
    // `pace` milliseconds between the moves (a hand takes half a second or so).
    static void drag(BookPageView* page, const QPoint& from, const QPoint& to, int pace = 0)
    {
        QWidget* target = input(page);
        QTest::mouseMove(target, from);
        QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, from);
        for (int step = 1; step <= 12; ++step) {
            if (pace > 0)
                QTest::qWait(pace);
            QTest::mouseMove(target, from + (to - from) * step / 12);
        }
        QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, to);
    }

    // Where the words of a verse (its anchor's id, "_s1.1.22") begin, inside their first letter, or
    // (`end`) end, inside their last letter before the next verse; the verse scrolled to the top
    // first when asked. Only the book's words count: not the verse numbers, Strong's numbers or links.
    static QPoint wordsEdge(BookPageView* page, const QString& verse, bool end, bool scroll = false)
    {
        if (scroll)
            evaluate(page,
                QStringLiteral("(function(){var v=document.getElementById('%1');if(v)window.scrollBy(0,"
                               "v.getBoundingClientRect().top-40);})()")
                    .arg(verse));
        return settledPoint(page,
            QStringLiteral(
                "(function(){var v=document.getElementById('%1');if(!v)return [];"
                "var m=/^_s(\\d+)\\.(\\d+)\\.(\\d+)$/.exec(v.id);"
                "var next=document.getElementById('_s'+m[1]+'.'+m[2]+'.'+(+m[3]+1));"
                "var w=document.createTreeWalker(document.body,NodeFilter.SHOW_TEXT),n,pick=null;"
                "var word=function(t){var e=t.parentElement;return /\\S/.test(t.data)&&"
                "!e.closest('a,span._stheb,span._stgrk,[id^=\"_s\"]');};"
                "w.currentNode=v;while((n=w.nextNode())){"
                "if(next&&(next.compareDocumentPosition(n)&Node.DOCUMENT_POSITION_FOLLOWING))break;"
                "if(word(n)){pick=n;if(!%2)break;}}"
                "if(!pick)return [];var i=%2?pick.data.replace(/\\s+$/,'').length-1:pick.data.search(/\\S/);"
                "var r=document.createRange();r.setStart(pick,i);r.setEnd(pick,i+1);var b=r.getBoundingClientRect();"
                "return [%2?b.right-1:b.left+1,b.top+b.height/2];})()")
                .arg(verse, end ? QStringLiteral("true") : QStringLiteral("false")));
    }

    // The middle of the first `word` of the book's text after the verse's anchor (its id, "_s43.3.16");
    // null when the page does not show it.
    static QPoint wordAt(BookPageView* page, const QString& verse, const QString& word)
    {
        return settledPoint(page,
            QStringLiteral("(function(){var v=document.getElementById('%1');if(!v)return [];"
                           "var w=document.createTreeWalker(document.body,NodeFilter.SHOW_TEXT),n;w.currentNode=v;"
                           "while((n=w.nextNode())){var i=n.data.indexOf('%2');if(i<0)continue;"
                           "var r=document.createRange();r.setStart(n,i);r.setEnd(n,i+%3);"
                           "var b=r.getBoundingClientRect();return [b.left+b.width/2,b.top+b.height/2];}return [];})()")
                .arg(verse, word)
                .arg(word.size()));
    }

    // The text the page shows between a verse's number and the next verse: the verse the reader sees.
    static bool verseOnScreen(BookPageView* page, const QString& verse)
    {
        return evaluate(page,
            QStringLiteral("(function(){var v=document.getElementById('%1');if(!v)return false;"
                           "var b=v.getBoundingClientRect();return b.bottom>0&&b.top<innerHeight;})()")
                .arg(verse))
            .toBool();
    }

    // The page has landed where it was sent and holds still: no placement on its way, no filling.
    static bool pageSettled(BookPageView* page)
    {
        return evaluate(page,
            QStringLiteral("qsPlacement.state==='idle'&&!qsPlacement.filling&&"
                           "qsPlacement.fillTimer===null"))
            .toBool();
    }

    // The page's selection as the web engine gives it, numbers and all.
    static QString engineSelection(BookPageView* page)
    {
        return evaluate(page, QStringLiteral("window.getSelection().toString()")).toString();
    }

    // The titles of the context menu that a right-click at `at` opens (closed again at once).
    QStringList contextMenuTitles(BookPageView* page, const QPoint& at, const QString& choose = QString())
    {
        return TestSupport::readPopupMenu(
            [&] { QTest::mouseClick(input(page), Qt::RightButton, Qt::NoModifier, at); }, choose)
            .titles;
    }
};

}  // namespace

TEST_F(PageWindow, RestingOnAVerseLinkShowsThatVersesWordsBesideTheBookScroller)
{
    launch();
    ASSERT_TRUE(activateKjv());
    const SourceTuple::Ptr scofield = bookNamed(QStringLiteral("Scofield"));
    ASSERT_TRUE(scofield);
    ASSERT_TRUE(waitFor([&] {
        return currentPage() != nullptr &&
            evaluate(currentPage(), QStringLiteral("!!document.querySelector('[id^=\"_s\"]')")).toBool();
    })) << "the Bible's page did not show";
    // The note on Genesis 1:5 links to that verse.
    const quint32 note = scofield->locations().sectionForSyncString(QStringLiteral("Genesis 1:5"));
    ASSERT_NE(note, 0u);
    goTo(scofield, note);
    BookPageView* page = nullptr;
    ASSERT_TRUE(waitFor([&] {
        page = currentPage();
        return page != nullptr &&
            evaluate(page, QStringLiteral("!!document.querySelector('a[href*=\"01010105\"]')")).toBool();
    })) << "the note with the verse link did not show";

    // The scroller beside the page stands for the whole book.
    auto* scroller = panes()->currentBookPane()->paneView()->findChild<BookPaneScroller*>();
    ASSERT_NE(scroller, nullptr);
    EXPECT_TRUE(scroller->isVisible());
    EXPECT_TRUE(waitFor([&] { return scroller->doubleValue() > 0.0; })) << "the scroller stays at the top";
    EXPECT_LT(page->textWidth(), double(page->width() - scroller->width() + 1));

    const QPoint link = centreOf(page, QStringLiteral("a[href*='01010105']"));
    ASSERT_FALSE(link.isNull());
    moveTo(page, link + QPoint(1, 0));
    moveTo(page, link);
    LinkPreviewPopover* preview = nullptr;
    ASSERT_TRUE(waitFor([&] {
        preview = panes()->currentBookPane()->paneView()->window()->findChild<LinkPreviewPopover*>();
        return preview != nullptr && preview->isVisible();
    })) << "no preview";
    EXPECT_TRUE(preview->label()->text().contains(QStringLiteral("And God called the light Day")))
        << preview->label()->text().toStdString();

    EXPECT_TRUE(TestSupport::waitForPainted(page->page(), page));
    QDir().mkpath(kBuild + QStringLiteral("/screenshots"));
    preview->grab().save(kBuild + QStringLiteral("/screenshots/link-preview.png"));
    panes()->currentBookPane()->paneView()->grab().save(kBuild + QStringLiteral("/screenshots/book-scroller.png"));

    // Moving off the link closes it; with previews turned off, resting on it shows none.
    moveTo(page, QPoint(2, 2));
    EXPECT_TRUE(waitFor(
        [&] { return panes()->currentBookPane()->paneView()->window()->findChild<LinkPreviewPopover*>() == nullptr; }));
    EXPECT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::ToggleLinkPreview));
    EXPECT_FALSE(UserDefaults::standardUserDefaults().value(SettingsKeys::VersePopovers));
    moveTo(page, QPoint(2, 2));
    moveTo(page, link);
    // Well beyond the preview's half-second delay, nothing shows.
    EXPECT_FALSE(waitFor(
        [&] { return panes()->currentBookPane()->paneView()->window()->findChild<LinkPreviewPopover*>() != nullptr; },
        1500));
    EXPECT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::ToggleLinkPreview));
}

// A split that leaves a Bible pane's size alone leaves its page alone: the pane at John 3:16 still has
// the verse at its top once another pane has split beside it.
TEST_F(PageWindow, ASplitBesideABiblePaneLeavesItsPageWhereItWas)
{
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    const int kjvPane = kjvRegion();
    BookPageView* page = currentPage();
    ASSERT_NE(page, nullptr);
    goTo(kjv, kjv->locations().sectionForBibleKey((43u << 16) | (3u << 8) | 16u));
    const auto verseTop = [&] {
        return settledPoint(page,
            QStringLiteral("(function(){var e=document.getElementById('_s43.3.16');"
                           "return e?[0,e.getBoundingClientRect().top]:[0,-9999];})()"))
            .y();
    };
    ASSERT_TRUE(waitFor([&] { return std::abs(verseTop()) <= 8; })) << "John 3:16 is not at the top";
    const QSize size = page->size();

    // Another pane, below or beside the Bible's, splits.
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    int other = -1;
    for (size_t i = 0; i < layout->contents().size() && other < 0; ++i) {
        LayoutBookPane* pane = asBookPane(layout->contentsAt(i)->viewController());
        if (pane != nullptr && int(i) != kjvPane && pane->currentSourceTuple() != nullptr)
            other = int(i);
    }
    ASSERT_GE(other, 0);
    ASSERT_TRUE(reader_test::clickPane(panes(), other));
    const size_t regions = layout->regions().size();
    ASSERT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::SplitPaneVertically));
    ASSERT_TRUE(waitFor([&] { return layout->regions().size() == regions + 1; }));
    ASSERT_EQ(page->size(), size) << "the split resized the Bible's pane";
    // The page stays as it was, once it has settled and while it reports its place.
    EXPECT_NEAR(verseTop(), 0, 8);
    EXPECT_FALSE(waitFor([&] { return std::abs(verseTop()) > 8; }, 1500)) << "the page moved to " << verseTop();
    EXPECT_EQ(kjv->locations().keyForSection(quint32(panes()->goToPanes().bookPaneAt(kjvPane)->currentSourceSection())),
        (43u << 16) | (3u << 8) | 16u);
}

TEST_F(PageWindow, AMenuClosesTheLinkPreviewAndNoneOpensOverIt)
{
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    BookPageView* page = pageWithAStrongsNumber(kjv);
    ASSERT_NE(page, nullptr) << "no Strong's number on the page";
    const QPoint number = centreOf(page, QStringLiteral("span._stheb a"));
    ASSERT_FALSE(number.isNull());
    QWidget* window = panes()->currentBookPane()->paneView()->window();
    const auto preview = [window] {
        auto* shown = window->findChild<LinkPreviewPopover*>();
        return shown != nullptr && shown->isVisible() ? shown : nullptr;
    };

    // The pointer rests on the number: its preview opens.
    moveTo(page, number + QPoint(1, 0));
    moveTo(page, number);
    ASSERT_TRUE(waitFor([&] { return preview() != nullptr; })) << "no preview";

    // The pointer leaves, comes back and right-clicks at once, before the preview's half-second
    // delay: the menu opens, and no preview opens over it while it is up.
    moveTo(page, QPoint(2, 2));
    ASSERT_TRUE(waitFor([&] { return preview() == nullptr; }));
    bool menuSeen = false;
    bool previewOverMenu = false;
    QElapsedTimer up;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        if (!menuSeen) {
            menuSeen = true;
            up.start();
        }
        previewOverMenu = previewOverMenu || preview() != nullptr;
        // Well beyond the preview's delay.
        if (up.elapsed() > 2500)
            menu->close();
    });
    poll.start();
    moveTo(page, number);
    QTest::mouseClick(input(page), Qt::RightButton, Qt::NoModifier, number);
    ASSERT_TRUE(waitFor([&] { return menuSeen && QApplication::activePopupWidget() == nullptr; }, 10000))
        << "no context menu";
    poll.stop();
    EXPECT_FALSE(previewOverMenu) << "a preview opened over the menu";
}

// The pointer reaches every pane: resting on a Strong's number in the Bible's page while another pane
// is current shows its preview, and leaving it closes the preview; the pane stays as it was until a
// click makes it current.
TEST_F(PageWindow, ALinkShowsItsPreviewInAPaneThatIsNotCurrent)
{
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    BookPageView* page = pageWithAStrongsNumber(kjv);
    ASSERT_NE(page, nullptr) << "no Strong's number on the page";
    const int bible = kjvRegion();
    int other = -1;
    for (int region = 0; region < panes()->goToPanes().regionCount() && other < 0; ++region)
        if (region != bible && panes()->goToPanes().isBookPane(region))
            other = region;
    ASSERT_GE(other, 0);
    ASSERT_TRUE(reader_test::clickPane(panes(), other));
    const QPoint number = centreOf(page, QStringLiteral("span._stheb a"));
    ASSERT_FALSE(number.isNull());
    QWidget* window = m_controller->mainWindowController()->window();
    const auto preview = [window] {
        auto* shown = window->findChild<LinkPreviewPopover*>();
        return shown != nullptr && shown->isVisible() ? shown : nullptr;
    };
    // The pointer as the window system moves it: to the widget under it, the shade over the page.
    const auto pointTo = [&](QWidget* over, const QPoint& at) { QTest::mouseMove(window, over->mapTo(window, at)); };
    ASSERT_NE(window->childAt(page->mapTo(window, number)), page->focusProxy()) << "the pane is not shaded";
    pointTo(page, number + QPoint(1, 0));
    pointTo(page, number);
    ASSERT_TRUE(waitFor([&] { return preview() != nullptr; })) << "no preview in the pane that is not current";
    EXPECT_FALSE(preview()->label()->text().isEmpty());
    EXPECT_EQ(panes()->goToPanes().currentRegion(), other) << "the pointer made the pane current";

    // Away to the other pane: the preview closes.
    QWidget* otherView = panes()->goToPanes().bookPaneAt(other)->paneView();
    pointTo(otherView, otherView->rect().center());
    EXPECT_TRUE(waitFor([&] { return preview() == nullptr; })) << "the preview stays open";
    EXPECT_EQ(panes()->goToPanes().currentRegion(), other);
}

TEST_F(PageWindow, AFoundWordIsMarkedOnThePageItOpens)
{
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    EXPECT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::Find));
    auto* find = dynamic_cast<StudyPaneSearchResultsViewController*>(
        studyPane()->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_NE(find, nullptr);
    find->searchField()->setText(QStringLiteral("firmament"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(find->searchField(), &enter);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    ASSERT_GT(find->aggregator().numRows(), 0);

    activateKjv();
    goTo(kjv, kjv->locations().sectionForSyncString(QStringLiteral("Genesis 1:6")));
    BookPageView* page = nullptr;
    QStringList marked;
    EXPECT_TRUE(waitFor([&] {
        page = currentPage();
        if (page == nullptr)
            return false;
        marked = evaluate(page,
            QStringLiteral("Array.prototype.map.call(document.querySelectorAll("
                           "'[id=\"_s1.1.6\"]') .length ? document.querySelectorAll("
                           "'span._search') : [], function(e){return e.textContent;})"))
                     .toStringList();
        return !marked.isEmpty();
    })) << "no found word is marked on the page";
    EXPECT_TRUE(marked.contains(QStringLiteral("firmament"), Qt::CaseInsensitive)) << marked.join('|').toStdString();
}

// Counts the page loads of every book page, as the pages' trace tells them.
class PageLoadCounter {
public:
    PageLoadCounter()
    {
        s_loads = 0;
        QLoggingCategory::setFilterRules(QStringLiteral("qs.panes.page.trace.debug=true"));
        s_previous = qInstallMessageHandler(&PageLoadCounter::handle);
    }
    ~PageLoadCounter()
    {
        qInstallMessageHandler(s_previous);
        QLoggingCategory::setFilterRules(QStringLiteral("qs.panes.page.trace.debug=false"));
    }
    PageLoadCounter(const PageLoadCounter&) = delete;
    PageLoadCounter& operator=(const PageLoadCounter&) = delete;
    int loads() const { return s_loads; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        static const QRegularExpression kLoad(QStringLiteral(" ms load \\d+$"));
        if (context.category != nullptr && qstrcmp(context.category, "qs.panes.page.trace") == 0) {
            if (kLoad.match(message).hasMatch())
                ++s_loads;
            if (qEnvironmentVariableIsSet("QS_SHOW_PAGE_TRACE"))
                fprintf(stderr, "%s\n", qPrintable(message));
            return;
        }
        if (s_previous != nullptr)
            s_previous(type, context, message);
    }
    static inline int s_loads = 0;
    static inline QtMessageHandler s_previous = nullptr;
};

TEST_F(PageWindow, AFindResultOpensInTheLoadedPageAndItsWordsAreMarkedThere)
{
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    goTo(kjv, kjv->locations().sectionForSyncString(QStringLiteral("Genesis 1:1")));
    // The page of that go-to has loaded and painted.
    ASSERT_TRUE(waitFor([&] {
        BookPageView* page = currentPage();
        return page != nullptr && page->isPageReady() &&
            evaluate(page, QStringLiteral("!!document.getElementById('_s1.1.8')")).toBool();
    }));
    BookPageView* page = currentPage();

    PageLoadCounter counter;
    EXPECT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::Find));
    auto* find = dynamic_cast<StudyPaneSearchResultsViewController*>(
        studyPane()->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_NE(find, nullptr);
    find->searchField()->setText(QStringLiteral("firmament"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(find->searchField(), &enter);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    SearchResultsAggregator& found = find->aggregator();
    int hit = -1;
    for (int row = 0; row < found.numRows() && hit < 0; ++row)
        if (found.tablePathForRow(row).tableRowNum >= 0)
            hit = row;
    ASSERT_GE(hit, 0);
    const quint32 section = found.positionValueForTablePath(found.tablePathForRow(hit));
    const quint32 key = kjv->locations().keyForSection(section);
    ASSERT_EQ(key >> 8, (1u << 8) | 1u) << "the first verse found is not in Genesis 1";

    // The reader clicks the verse found.
    QTableView* table = find->searchResultsTableView();
    table->scrollTo(table->model()->index(hit, 0));
    const QRect cell = table->visualRect(table->model()->index(hit, 0));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, QPointF(cell.center()), table->viewport()->mapToGlobal(QPointF(cell.center())),
            Qt::LeftButton, type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &click);
    }
    const QString verse = QStringLiteral("_s1.1.%1").arg(key & 0xFF);
    QStringList marked;
    EXPECT_TRUE(waitFor([&] {
        marked = evaluate(page,
            QStringLiteral("(function(){var v=document.getElementById('%1');if(!v)return [];"
                           "var b=v.closest('[id^=\"_b\"]');return Array.prototype.map.call("
                           "b.querySelectorAll('span._search'),function(e){return e.textContent;});})()")
                .arg(verse))
                     .toStringList();
        return !marked.isEmpty();
    })) << "no found word is marked in "
        << verse.toStdString();
    EXPECT_TRUE(marked.contains(QStringLiteral("firmament"), Qt::CaseInsensitive)) << marked.join('|').toStdString();
    // The verse is at the top of the page that was loaded before the search.
    EXPECT_EQ(currentPage(), page);
    EXPECT_TRUE(waitFor([&] {
        return evaluate(
            page, QStringLiteral("Math.abs(document.getElementById('%1').getBoundingClientRect().top) < 8").arg(verse))
            .toBool();
    }));
    // No page was loaded for the search, the result or its marks, in any pane.
    EXPECT_FALSE(waitFor([&] { return counter.loads() > 0; }, 1000));
    EXPECT_EQ(counter.loads(), 0);
}

// A verse listed under the exact word also shows the other words of its root marked: the search
// looked for the root too.
TEST_F(PageWindow, AVerseFoundByItsWordShowsTheWordsOfItsRootMarked)
{
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    EXPECT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::Find));
    auto* find = dynamic_cast<StudyPaneSearchResultsViewController*>(
        studyPane()->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_NE(find, nullptr);
    find->searchField()->setText(QStringLiteral("love"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(find->searchField(), &enter);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));

    activateKjv();
    goTo(kjv, kjv->locations().sectionForSyncString(QStringLiteral("John 13:34")));
    QStringList marked;
    EXPECT_TRUE(waitFor([&] {
        BookPageView* page = currentPage();
        if (page == nullptr)
            return false;
        marked = evaluate(page,
            QStringLiteral("(function(){var v=document.getElementById('_s43.13.34');if(!v)return [];"
                           "v=v.closest('[data-verse-span]')||v.parentNode;return Array.prototype.map.call("
                           "v.querySelectorAll('span._search'),function(e){return e.textContent;});})()"))
                     .toStringList();
        return !marked.isEmpty();
    })) << "no found word is marked on the page";
    // "A new commandment I give unto you, That ye love one another; as I have loved you, that ye also
    // love one another."
    EXPECT_EQ(marked, (QStringList {QStringLiteral("love"), QStringLiteral("loved"), QStringLiteral("love")}))
        << marked.join('|').toStdString();
}

TEST_F(PageWindow, TheContextMenuHasNoNavigationItemsAndLooksUpATaggedWordAlone)
{
    BookPageView* page = kjvPageShowing(QStringLiteral("Genesis 1:6"), QStringLiteral("_s1.1.6"));
    ASSERT_NE(page, nullptr);
    // Select "waters" with its Strong's number, as a double-click on the word does in this page.
    const QVariant selected = evaluate(page,
        QStringLiteral("(function(){var v=document.getElementById('_s1.1.6').parentNode;"
                       "var w=document.createTreeWalker(v,NodeFilter.SHOW_TEXT);var n;"
                       "while((n=w.nextNode())&&n.data.indexOf('waters')<0);if(!n)return '';"
                       "var s=n.parentNode.querySelector('span._stheb')||n.nextSibling;"
                       "var r=document.createRange();var i=n.data.indexOf('waters');r.setStart(n,i);"
                       "r.setEndAfter(n.nextSibling);var sel=getSelection();sel.removeAllRanges();"
                       "sel.addRange(r);return sel.toString();})()"));
    ASSERT_TRUE(selected.toString().startsWith(QStringLiteral("watersH"))) << selected.toString().toStdString();
    // The pointer on the selected word, once the page has settled.
    const QPoint at = settledPoint(page,
        QStringLiteral("(function(){var b=getSelection().getRangeAt(0).getClientRects()[0];"
                       "return [b.left+4,b.top+b.height/2];})()"));
    ASSERT_FALSE(at.isNull());

    QStringList wordSyncs;
    NotificationCenter::defaultCenter().addObserver(this, LibraryNotifications::GoToNotification, [&](Notification& n) {
        const GoToRequest request = GoToRequest::of(n);
        if (request.wordSync)
            wordSyncs << *request.wordSync;
    });
    const QString lookUp = QStringLiteral("Look Up \u201Cwaters\u201D in Quillstead");
    const QStringList titles = contextMenuTitles(page, at, lookUp);
    NotificationCenter::defaultCenter().removeObserver(this);
    ASSERT_FALSE(titles.isEmpty()) << "no context menu";
    for (const char* engine : {"Back", "Forward", "Reload", "Save page", "View page source", "Open link in new tab",
             "Open link in new window", "Save link", "Copy link address", "Inspect"})
        EXPECT_FALSE(titles.contains(QString::fromLatin1(engine), Qt::CaseInsensitive))
            << engine << " in " << titles.join('|').toStdString();
    EXPECT_TRUE(titles.contains(QStringLiteral("Copy"))) << titles.join('|').toStdString();
    EXPECT_TRUE(titles.contains(lookUp)) << titles.join('|').toStdString();
    EXPECT_TRUE(titles.contains(QStringLiteral("Autostudy \u201Cwaters\u201D"))) << titles.join('|').toStdString();
    EXPECT_TRUE(waitFor([&] { return !wordSyncs.isEmpty(); }, 5000)) << "Look Up looked nothing up";
    EXPECT_EQ(wordSyncs.value(0), QStringLiteral("waters"));
}

// A selection made with the mouse over the words of a Bible with Strong's numbers shown is copied by
// the copy key and by the menu's Copy as its words (plain text and HTML), and the menu names and looks
// up those words: no Strong's number, no verse number glued to a word, no paragraph sign.
TEST_F(PageWindow, ASelectionIsCopiedNamedAndLookedUpAsItsWords)
{
    BookPageView* page = kjvPageShowing(QStringLiteral("Genesis 1:1"), QStringLiteral("_s1.1.4"));
    ASSERT_NE(page, nullptr);
    const QPoint from = wordsEdge(page, QStringLiteral("_s1.1.1"), false, true);
    const QPoint to = wordsEdge(page, QStringLiteral("_s1.1.2"), true);
    ASSERT_FALSE(from.isNull());
    ASSERT_FALSE(to.isNull());
    drag(page, from, to);
    ASSERT_TRUE(waitFor([&] { return engineSelection(page).contains(QStringLiteral("upon the face")); }))
        << engineSelection(page).toStdString();
    // The page shows the numbers beside the words, and the engine's own text has them.
    ASSERT_TRUE(engineSelection(page).contains(QStringLiteral("H7225"))) << engineSelection(page).toStdString();

    const QString verses = QStringLiteral("In the beginning God created the heaven and the earth.");
    const auto checkClipboard = [&](const char* how) {
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        ASSERT_NE(copied, nullptr) << how;
        const QString text = copied->text();
        EXPECT_TRUE(text.startsWith(verses + QLatin1Char('\n'))) << how << ": " << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral("And the Spirit of God moved upon the face of the waters.")))
            << how << ": " << text.toStdString();
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[0-9\u00B6]"))))
            << how << ": " << text.toStdString();
        const QString html = copied->html();
        EXPECT_TRUE(html.contains(QStringLiteral("beginning"))) << how << ": " << html.toStdString();
        EXPECT_FALSE(html.contains(QStringLiteral("earth.And"))) << how << ": " << html.toStdString();
        EXPECT_FALSE(html.contains(QRegularExpression(QStringLiteral("[GH][0-9]{2,}|sync:|>\\s*[0-9]+\\s*<"))))
            << how << ": " << html.toStdString();
    };

    // The copy key, with the page's selection as the reader made it, once the window's Copy is
    // available; and the page's own copy key.
    QAction* copy = m_controller->mainWindowController()->actions().action(CommandNames::Copy);
    ASSERT_TRUE(waitFor([&] { return copy->isEnabled(); })) << "Copy stays unavailable";
    for (const QKeySequence& key : {QKeySequence(QKeySequence::Copy), QKeySequence(QStringLiteral("Ctrl+Ins"))}) {
        QApplication::clipboard()->setText(QStringLiteral("held"));
        QTest::keySequence(QApplication::focusWidget(), key);
        ASSERT_TRUE(waitFor([&] { return QApplication::clipboard()->text() != QStringLiteral("held"); }))
            << key.toString().toStdString();
        checkClipboard(key.toString().toLatin1().constData());
    }

    // The context menu names the words and copies them, and looks them up.
    const QPoint at = settledPoint(page,
        QStringLiteral("(function(){var b=getSelection().getRangeAt(0).getClientRects()[0];"
                       "return [b.left+b.width/2,b.top+b.height/2];})()"));
    QApplication::clipboard()->setText(QStringLiteral("held"));
    const QString lookUp = QStringLiteral("Look Up \u201CIn the beginning God...\u201D in Quillstead");
    const QStringList titles = contextMenuTitles(page, at, QStringLiteral("Copy"));
    EXPECT_TRUE(titles.contains(lookUp)) << titles.join('|').toStdString();
    EXPECT_TRUE(titles.contains(QStringLiteral("Autostudy \u201CIn the beginning God...\u201D")))
        << titles.join('|').toStdString();
    ASSERT_TRUE(waitFor([&] { return QApplication::clipboard()->text() != QStringLiteral("held"); }));
    checkClipboard("the menu's Copy");

    QStringList wordSyncs;
    NotificationCenter::defaultCenter().addObserver(this, LibraryNotifications::GoToNotification, [&](Notification& n) {
        const GoToRequest request = GoToRequest::of(n);
        if (request.wordSync)
            wordSyncs << *request.wordSync;
    });
    ASSERT_FALSE(contextMenuTitles(page, at, lookUp).isEmpty());
    EXPECT_TRUE(waitFor([&] { return !wordSyncs.isEmpty(); }, 5000)) << "Look Up looked nothing up";
    NotificationCenter::defaultCenter().removeObserver(this);
    EXPECT_TRUE(wordSyncs.value(0).startsWith(verses + QLatin1Char(' '))) << wordSyncs.value(0).toStdString();
    EXPECT_FALSE(wordSyncs.value(0).contains(QRegularExpression(QStringLiteral("[0-9]"))))
        << wordSyncs.value(0).toStdString();
}

// A Bible whose own text links its words to Strong's numbers: the words of a selection leave the
// links out too.
TEST_F(PageWindow, ABiblesOwnNumberLinksAreLeftOutOfTheWords)
{
    launch();
    ASSERT_TRUE(activateKjv());
    const SourceTuple::Ptr rv = bookNamed(QStringLiteral("RV1909"));
    ASSERT_TRUE(rv);
    goTo(rv, rv->locations().sectionForBibleKey((43u << 16) | (3u << 8) | 16u));
    BookPageView* page = nullptr;
    ASSERT_TRUE(waitFor([&] {
        page = currentPage();
        return page != nullptr &&
            evaluate(page,
                QStringLiteral("!!document.getElementById('_s43.3.17') && "
                               "document.body.textContent.indexOf('tal manera') >= 0"))
                .toBool();
    }));
    const QPoint from = wordsEdge(page, QStringLiteral("_s43.3.16"), false, true);
    const QPoint to = wordsEdge(page, QStringLiteral("_s43.3.16"), true);
    ASSERT_FALSE(from.isNull());
    drag(page, from, to);
    ASSERT_TRUE(waitFor([&] { return engineSelection(page).contains(QStringLiteral("G3588")); }))
        << engineSelection(page).toStdString();
    QApplication::clipboard()->setText(QStringLiteral("held"));
    const QPoint at = settledPoint(page,
        QStringLiteral("(function(){var b=getSelection().getRangeAt(0).getClientRects()[0];"
                       "return [b.left+b.width/2,b.top+b.height/2];})()"));
    const QStringList titles = contextMenuTitles(page, at, QStringLiteral("Copy"));
    EXPECT_TRUE(titles.contains(QStringLiteral("Look Up \u201CPorque de tal manera...\u201D in Quillstead")))
        << titles.join('|').toStdString();
    ASSERT_TRUE(waitFor([&] { return QApplication::clipboard()->text() != QStringLiteral("held"); }));
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(copied->text().startsWith(QStringLiteral("Porque de tal manera am\u00F3 Dios al mundo")))
        << copied->text().toStdString();
    EXPECT_FALSE(copied->text().contains(QRegularExpression(QStringLiteral("[0-9]")))) << copied->text().toStdString();
    EXPECT_FALSE(copied->html().contains(QRegularExpression(QStringLiteral("G[0-9]{2,}|sync:"))))
        << copied->html().toStdString();
}

// Copy Passage Now copies the passage the reader has selected now, whether or not a menu was opened
// on an earlier one.
TEST_F(PageWindow, CopyPassageNowCopiesThePassageSelectedNow)
{
    BookPageView* page = kjvPageShowing(QStringLiteral("Genesis 1:20"), QStringLiteral("_s1.1.28"));
    ASSERT_NE(page, nullptr);
    QAction* copyNow = m_controller->mainWindowController()->actions().action(CommandNames::CopyPassageNow);
    ASSERT_NE(copyNow, nullptr);
    const auto select = [&](const QString& first, const QString& last) {
        const QPoint from = wordsEdge(page, first, false, true);
        const QPoint to = wordsEdge(page, last, true);
        ASSERT_FALSE(from.isNull());
        ASSERT_FALSE(to.isNull());
        drag(page, from, to);
    };

    // A selection with the mouse alone makes the command available.
    select(QStringLiteral("_s1.1.22"), QStringLiteral("_s1.1.24"));
    EXPECT_TRUE(waitFor([&] { return copyNow->isEnabled(); })) << "Copy Passage Now stays unavailable";
    // A menu opened on it and closed.
    const QPoint at = settledPoint(page,
        QStringLiteral("(function(){var b=getSelection().getRangeAt(0).getClientRects()[0];"
                       "return [b.left+b.width/2,b.top+b.height/2];})()"));
    ASSERT_FALSE(contextMenuTitles(page, at).isEmpty());

    // Another passage selected with the mouse, then the command's keys.
    select(QStringLiteral("_s1.1.25"), QStringLiteral("_s1.1.27"));
    ASSERT_TRUE(waitFor([&] { return engineSelection(page).contains(QStringLiteral("he them.")); }))
        << engineSelection(page).toStdString();
    // The keys come at once, before the page's own report of the new selection (a moment after the
    // mouse is released) has reached the pane.
    QApplication::clipboard()->setText(QStringLiteral("held"));
    ASSERT_TRUE(
        reader_test::pressKeys(m_controller->mainWindowController(), QKeySequence(QStringLiteral("Ctrl+Alt+C"))));
    ASSERT_TRUE(waitFor([] { return QApplication::clipboard()->text() != QStringLiteral("held"); }))
        << "nothing copied";
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("(Ge 1:25-27)"))) << copied.toStdString();
    EXPECT_TRUE(copied.contains(QStringLiteral("male and female"))) << copied.toStdString();
    EXPECT_FALSE(copied.contains(QStringLiteral("And God blessed them"))) << copied.toStdString();
}

// The passage of a selection is the verses whose words it holds: a drag from the empty space after a
// verse's last line into the next verse is a selection of that next verse alone, and one that ends
// before a verse's words (its number and paragraph sign selected, none of its words) leaves that
// verse out. The menu, Copy Passage Now and the window's passage name those verses only.
TEST_F(PageWindow, ASelectionsPassageIsTheVersesOfItsWords)
{
    BookPageView* page = kjvPageShowing(QStringLiteral("Romans 8:28"), QStringLiteral("_s45.8.29"));
    ASSERT_NE(page, nullptr);
    QAction* copyNow = m_controller->mainWindowController()->actions().action(CommandNames::CopyPassageNow);
    ASSERT_NE(copyNow, nullptr);
    const auto copiedNow = [&] {
        QApplication::clipboard()->setText(QStringLiteral("held"));
        if (!reader_test::pressKeys(m_controller->mainWindowController(), QKeySequence(QStringLiteral("Ctrl+Alt+C"))) ||
            !waitFor([] { return QApplication::clipboard()->text() != QStringLiteral("held"); }))
            return QStringLiteral("nothing copied");
        return QApplication::clipboard()->text();
    };
    const auto selectionMenu = [&] {
        return contextMenuTitles(page,
            settledPoint(page,
                QStringLiteral("(function(){var b=getSelection().getRangeAt(0).getClientRects();b=b[b.length-1];"
                               "return [b.left+b.width/2,b.top+b.height/2];})()")))
            .join(QLatin1Char('|'));
    };

    // From the white space right of the end of 8:28's last line into 8:29's words.
    wordsEdge(page, QStringLiteral("_s45.8.28"), false, true);
    const QPoint lineEnd = settledPoint(page,
        QStringLiteral("(function(){var s=document.querySelectorAll('[data-verse-span=\"sel_s45.8.28\"]');"
                       "var r=document.createRange();r.selectNodeContents(s[s.length-1]);var b=r.getClientRects();"
                       "b=b[b.length-1];return [Math.min(innerWidth-30,b.right+40),b.top+b.height/2];})()"));
    const QPoint into = wordAt(page, QStringLiteral("_s45.8.29"), QStringLiteral("foreknow"));
    ASSERT_FALSE(lineEnd.isNull());
    ASSERT_FALSE(into.isNull());
    ASSERT_GT(into.y(), lineEnd.y());
    drag(page, lineEnd, into);
    ASSERT_TRUE(waitFor([&] { return engineSelection(page).contains(QStringLiteral("whom")); }))
        << engineSelection(page).toStdString();
    EXPECT_TRUE(waitFor([&] { return panes()->selectedBibleRefString() == QStringLiteral("Romans 8:29"); }))
        << panes()->selectedBibleRefString().toStdString();
    ASSERT_TRUE(waitFor([&] { return copyNow->isEnabled(); }));
    EXPECT_TRUE(copiedNow().startsWith(QStringLiteral("(Ro 8:29)"))) << QApplication::clipboard()->text().toStdString();
    QString menu = selectionMenu();
    expectMenuOffers(menu, QStringLiteral("Romans 8:29"), QStringLiteral("8:28"));

    // From 3:14's words to the gap before 3:16's words: its number and paragraph sign, no word of it.
    const SourceTuple::Ptr kjv = panes()->activeSourceTuple();
    ASSERT_TRUE(kjv);
    goTo(kjv, kjv->locations().sectionForSyncString(QStringLiteral("John 3:14")));
    ASSERT_TRUE(waitFor([&] {
        return evaluate(page, QStringLiteral("!!document.getElementById('_s43.3.17')")).toBool() && pageSettled(page);
    }));
    const QPoint start = wordsEdge(page, QStringLiteral("_s43.3.14"), false, true);
    const QPoint beforeWords = wordsEdge(page, QStringLiteral("_s43.3.16"), false);
    ASSERT_FALSE(start.isNull());
    ASSERT_FALSE(beforeWords.isNull());
    drag(page, start, beforeWords);
    ASSERT_TRUE(waitFor([&] { return engineSelection(page).contains(QStringLiteral("\u00B6")); }))
        << "the selection does not reach 3:16's paragraph sign: " << engineSelection(page).toStdString();
    EXPECT_FALSE(engineSelection(page).contains(QStringLiteral("For"))) << engineSelection(page).toStdString();
    EXPECT_TRUE(waitFor([&] { return panes()->selectedBibleRefString() == QStringLiteral("John 3:14-15"); }))
        << panes()->selectedBibleRefString().toStdString();
    EXPECT_TRUE(copiedNow().startsWith(QStringLiteral("(Jn 3:14-15)")))
        << QApplication::clipboard()->text().toStdString();
    menu = selectionMenu();
    EXPECT_TRUE(menu.contains(QStringLiteral("Highlight John 3:14-15"))) << menu.toStdString();
}

// The words of a psalm's title belong to their psalm, and a chapter's heading to its chapter: a drag
// across Psalm 23's title names Psalm 23:1 (not the last verse of Psalm 22 above it) in the menu and in
// Copy Passage Now, and one across the heading "John 4" (after John 3:36) names John 4:1.
TEST_F(PageWindow, ATitlesWordsNameTheVerseTheyLeadTo)
{
    BookPageView* page = kjvPageShowing(QStringLiteral("Psalms 22:30"), QStringLiteral("_s19.23.1"));
    ASSERT_NE(page, nullptr);
    QAction* copyNow = m_controller->mainWindowController()->actions().action(CommandNames::CopyPassageNow);
    ASSERT_NE(copyNow, nullptr);
    // Where the words of the first element the script names begin (inside their first letter) or end
    // (inside their last), the element in the middle of the view.
    const auto edge = [&](const QString& element, bool end) {
        return settledPoint(page,
            QStringLiteral("(function(){var e=%1;if(!e)return [];var b=e.getBoundingClientRect();"
                           "if(b.top<40||b.bottom>innerHeight-40)window.scrollBy(0,b.top-innerHeight/2);"
                           "var w=document.createTreeWalker(e,NodeFilter.SHOW_TEXT),n,pick=null;"
                           "while((n=w.nextNode())){if(!/\\S/.test(n.data)||n.parentElement.closest('a'))continue;"
                           "pick=n;if(!%2)break;}if(!pick)return [];"
                           "var i=%2?pick.data.replace(/\\s+$/,'').length-1:pick.data.search(/\\S/);"
                           "var r=document.createRange();r.setStart(pick,i);r.setEnd(pick,i+1);"
                           "var c=r.getBoundingClientRect();return [%2?c.right-1:c.left+1,c.top+c.height/2];})()")
                .arg(element, end ? QStringLiteral("true") : QStringLiteral("false")));
    };
    const auto selectionMenu = [&] {
        return contextMenuTitles(page,
            settledPoint(page,
                QStringLiteral("(function(){var b=getSelection().getRangeAt(0).getClientRects()[0];"
                               "return [b.left+b.width/2,b.top+b.height/2];})()")))
            .join(QLatin1Char('|'));
    };

    // The title stands in a block of its own, just before the psalm's first verse.
    const QString title = QStringLiteral("[].filter.call(document.querySelectorAll('h4'),function(h){"
                                         "return h.compareDocumentPosition(document.getElementById('_s19.23.1'))&"
                                         "Node.DOCUMENT_POSITION_FOLLOWING;}).pop()");
    const QPoint from = edge(title, false);
    const QPoint to = edge(title, true);
    ASSERT_FALSE(from.isNull());
    ASSERT_FALSE(to.isNull());
    drag(page, from, to);
    ASSERT_TRUE(waitFor([&] { return engineSelection(page).contains(QStringLiteral("Psalm")); }))
        << engineSelection(page).toStdString();
    ASSERT_TRUE(engineSelection(page).contains(QStringLiteral("David"))) << engineSelection(page).toStdString();
    EXPECT_TRUE(waitFor([&] { return panes()->selectedBibleRefString() == QStringLiteral("Psalms 23:1"); }))
        << panes()->selectedBibleRefString().toStdString();
    ASSERT_TRUE(waitFor([&] { return copyNow->isEnabled(); }));
    QApplication::clipboard()->setText(QStringLiteral("held"));
    ASSERT_TRUE(
        reader_test::pressKeys(m_controller->mainWindowController(), QKeySequence(QStringLiteral("Ctrl+Alt+C"))));
    ASSERT_TRUE(waitFor([] { return QApplication::clipboard()->text() != QStringLiteral("held"); }))
        << "nothing copied";
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("(Ps 23:1)"))) << copied.toStdString();
    EXPECT_TRUE(copied.contains(QStringLiteral("my shepherd"))) << copied.toStdString();
    EXPECT_FALSE(copied.contains(QStringLiteral("righteousness"))) << copied.toStdString();
    const QString menu = selectionMenu();
    expectMenuOffers(menu, QStringLiteral("Psalms 23:1"), QStringLiteral("22:31"));

    // The heading of John 4, the last verse of John 3 above it.
    const SourceTuple::Ptr kjv = panes()->activeSourceTuple();
    ASSERT_TRUE(kjv);
    goTo(kjv, kjv->locations().sectionForSyncString(QStringLiteral("John 3:35")));
    ASSERT_TRUE(waitFor([&] {
        return evaluate(page, QStringLiteral("!!document.getElementById('_s43.4.2')")).toBool() && pageSettled(page);
    }));
    const QString heading = QStringLiteral("[].find.call(document.querySelectorAll('h3'),"
                                           "function(h){return h.textContent.trim()==='John 4';})");
    const QPoint headingFrom = edge(heading, false);
    const QPoint headingTo = edge(heading, true);
    ASSERT_FALSE(headingFrom.isNull());
    ASSERT_FALSE(headingTo.isNull());
    drag(page, headingFrom, headingTo);
    ASSERT_TRUE(waitFor([&] { return engineSelection(page).trimmed() == QStringLiteral("John 4"); }))
        << engineSelection(page).toStdString();
    EXPECT_TRUE(waitFor([&] { return panes()->selectedBibleRefString() == QStringLiteral("John 4:1"); }))
        << panes()->selectedBibleRefString().toStdString();
}

// Right after a go-to the first line of the page is selectable like any other: a drag from it down
// selects what it crosses and the page stays where it is (the engine used to scroll the page up under
// a drag that began at the view's edge, selecting verses above). So does the last line, upwards.
TEST_F(PageWindow, ADragFromTheFirstOrLastLineSelectsWhatItCrossesAndThePageStays)
{
    BookPageView* page = kjvPageShowing(QStringLiteral("John 3:16"), QStringLiteral("_s43.3.17"));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(
        waitFor([&] { return reader_test::keyAtTopOf(page) == ((43u << 16) | (3u << 8) | 16u) && pageSettled(page); }));
    const auto pageOffset = [&] { return evaluate(page, QStringLiteral("window.pageYOffset")).toDouble(); };
    const double before = pageOffset();
    const QPoint loved = wordAt(page, QStringLiteral("_s43.3.16"), QStringLiteral("loved"));
    const QPoint begotten = wordAt(page, QStringLiteral("_s43.3.16"), QStringLiteral("begotten"));
    ASSERT_FALSE(loved.isNull());
    ASSERT_FALSE(begotten.isNull());
    ASSERT_LT(loved.y(), 20) << "the word is not on the first line of the view";
    drag(page, loved, begotten, 50);
    ASSERT_TRUE(waitFor([&] { return engineSelection(page).contains(QStringLiteral("the world")); }))
        << engineSelection(page).toStdString();
    QTest::qWait(300);  // the engine's own scrolling under a drag would have begun by now
    EXPECT_EQ(pageOffset(), before);
    EXPECT_FALSE(engineSelection(page).contains(QStringLiteral("Moses"))) << engineSelection(page).toStdString();
    EXPECT_TRUE(engineSelection(page).contains(QStringLiteral("only beg"))) << engineSelection(page).toStdString();
    EXPECT_TRUE(waitFor([&] { return panes()->selectedBibleRefString() == QStringLiteral("John 3:16"); }))
        << panes()->selectedBibleRefString().toStdString();

    // The last line of the view, dragged upwards.
    const QPoint last = settledPoint(page,
        QStringLiteral("(function(){var w=document.createTreeWalker(document.body,NodeFilter.SHOW_TEXT),n,pick=null;"
                       "while((n=w.nextNode())){if(!/\\S{3}/.test(n.data)||n.parentElement.closest('a'))continue;"
                       "var r=document.createRange();r.selectNodeContents(n);var b=r.getClientRects();"
                       "for(var i=0;i<b.length;i++)if(b[i].bottom<=innerHeight&&b[i].bottom>innerHeight-18&&"
                       "b[i].width>20)pick=b[i];}"
                       "return pick?[pick.left+pick.width/2,pick.top+pick.height/2]:[];})()"));
    ASSERT_FALSE(last.isNull()) << "no words on the view's last line";
    drag(page, last, last - QPoint(0, 40), 50);
    ASSERT_TRUE(waitFor([&] {
        return !engineSelection(page).isEmpty() && !engineSelection(page).contains(QStringLiteral("only beg"));
    })) << "from "
        << last.x() << "," << last.y() << ": " << engineSelection(page).toStdString();
    QTest::qWait(300);
    EXPECT_EQ(pageOffset(), before);
}

// The keyboard's context menu acts on the verse the reader clicked, and after a go-to that takes it
// out of sight, on the verse at the top of what is shown, never on one off the screen. Its note
// deletion names the verse and keeps the note unless the reader answers Yes.
TEST_F(PageWindow, TheKeyboardMenuActsOnAVerseInViewAndItsNoteDeletionNamesIt)
{
    BookPageView* page = kjvPageShowing(QStringLiteral("John 3:16"), QStringLiteral("_s43.3.18"));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitFor([&] { return pageSettled(page); }));
    const NoteLocation john318 = NoteLocation::bible((43u << 16) | (3u << 8) | 18u);
    ASSERT_TRUE(reader_test::programNotes().save(john318, QStringLiteral("a note kept")));
    const auto keyboardMenu = [&](const QString& choose = QString()) {
        return TestSupport::readPopupMenu(
            [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier); }, choose)
            .titles.join(QLatin1Char('|'));
    };

    // A click on a plain word of 3:17 (the keys then go to the page): the menu is 3:17's.
    const QPoint sent = wordAt(page, QStringLiteral("_s43.3.17"), QStringLiteral("sent"));
    ASSERT_FALSE(sent.isNull());
    QWidget* main = m_controller->mainWindowController()->window();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::mouseClick(input(page), Qt::LeftButton, Qt::NoModifier, sent);
    const auto keysInPage = [&] {
        return waitFor(
            [&] { return QApplication::focusWidget() != nullptr && page->isAncestorOf(QApplication::focusWidget()); });
    };
    ASSERT_TRUE(keysInPage()) << "the click left the keys elsewhere";
    ASSERT_TRUE(waitFor(
        [&] { return evaluate(page, QStringLiteral("getSelection().type")).toString() == QStringLiteral("Caret"); }));
    QString menu = keyboardMenu();
    EXPECT_TRUE(menu.contains(QStringLiteral("Highlight John 3:17|"))) << menu.toStdString();
    EXPECT_TRUE(menu.contains(QStringLiteral("Add Note to John 3:17"))) << menu.toStdString();
    EXPECT_FALSE(menu.contains(QStringLiteral("3:16"))) << menu.toStdString();

    // A note written on 3:16 renders the page's blocks again, the clicked words' nodes among them:
    // the menu is still 3:17's.
    QSignalSpy rendered(page, &BookPageView::blocksRenderedAgain);
    const NoteLocation john316 = NoteLocation::bible((43u << 16) | (3u << 8) | 16u);
    ASSERT_TRUE(reader_test::programNotes().save(john316, QStringLiteral("a note written elsewhere")));
    NotificationCenter::defaultCenter().postNotificationName(PaneNotifications::qsNotesHaveChangedNotification);
    ASSERT_TRUE(waitFor([&] { return !rendered.isEmpty(); })) << "the page's blocks were not rendered again";
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    ASSERT_TRUE(keysInPage());
    menu = keyboardMenu();
    EXPECT_TRUE(menu.contains(QStringLiteral("Highlight John 3:17|"))) << menu.toStdString();
    reader_test::programNotes().remove(john316);

    // A go-to 3:18 takes 3:17 (and its selection) out of sight: the menu is 3:18's, at the top.
    goTo(panes()->activeSourceTuple(),
        panes()->activeSourceTuple()->locations().sectionForSyncString(QStringLiteral("John 3:18")));
    ASSERT_TRUE(
        waitFor([&] { return reader_test::keyAtTopOf(page) == ((43u << 16) | (3u << 8) | 18u) && pageSettled(page); }));
    ASSERT_FALSE(verseOnScreen(page, QStringLiteral("_s43.3.17")));
    // Back into the page with the keys that go from pane to pane.
    const auto backToPage = [&] {
        for (int step = 0;
             step < 6 && !(QApplication::focusWidget() != nullptr && page->isAncestorOf(QApplication::focusWidget()));
             ++step)
            if (!reader_test::pressKeys(m_controller->mainWindowController(), QKeySequence(QStringLiteral("Ctrl+]"))))
                return false;
        return keysInPage();
    };
    ASSERT_TRUE(backToPage()) << "the keys do not reach the page";
    // The note's question, read while it shows and answered with Return.
    QString question;
    QString defaultAnswer;
    QTimer watch;
    watch.setInterval(50);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        watch.stop();
        question = box->text();
        defaultAnswer = box->defaultButton() != nullptr ? box->defaultButton()->text() : QString();
        QTest::keyClick(box, Qt::Key_Return);
    });
    watch.start();
    menu = keyboardMenu(QStringLiteral("Remove Note from John 3:18"));
    EXPECT_TRUE(menu.contains(QStringLiteral("Highlight John 3:18|"))) << menu.toStdString();
    EXPECT_TRUE(menu.contains(QStringLiteral("Remove Note from John 3:18"))) << menu.toStdString();
    EXPECT_FALSE(menu.contains(QRegularExpression(QStringLiteral("3:1[67]")))) << menu.toStdString();
    ASSERT_TRUE(waitFor([&] { return !question.isEmpty(); })) << "no question about the note";
    EXPECT_EQ(question, QStringLiteral("Delete your note on John 3:18?"));
    EXPECT_EQ(defaultAnswer, QStringLiteral("No"));
    EXPECT_TRUE(reader_test::programNotes().exists(john318)) << "Return deleted the note";
    reader_test::programNotes().remove(john318);

    // The menu key pressed while the page is loaded again (the display settings changed), as soon as
    // the new document has replaced the old one and before its script has placed the blocks, opens
    // the menu once the page has loaded, on the verse at the top.
    ASSERT_TRUE(backToPage()) << "the keys do not reach the page";
    bool pressedWhileLoading = false;
    const QMetaObject::Connection press = QObject::connect(page, &QWebEngineView::urlChanged, page, [&] {
        pressedWhileLoading = page->isPageLoading() && page->isAncestorOf(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
        QObject::disconnect(press);
    });
    menu = TestSupport::readPopupMenu(
        [] {
            NotificationCenter::defaultCenter().postNotificationName(
                PaneNotifications::DisplayPreferencesChangedNotification);
        },
        QString(), 30000)
               .titles.join(QLatin1Char('|'));
    QObject::disconnect(press);  // (when the page never loaded, its handler must not outlive this test)
    EXPECT_TRUE(pressedWhileLoading) << "the key was not pressed in the page while it loaded";
    EXPECT_TRUE(menu.contains(QStringLiteral("Highlight John 3:18|"))) << menu.toStdString();
}

// A copy breaks paragraphs where the page does: the verses of one paragraph on lines of their own,
// one after the other, and an empty line only before the verse that opens the next paragraph.
TEST_F(PageWindow, ACopyHasAnEmptyLineOnlyWhereAParagraphOpens)
{
    BookPageView* page = kjvPageShowing(QStringLiteral("Genesis 1:5"), QStringLiteral("_s1.1.8"));
    ASSERT_NE(page, nullptr);
    const QPoint from = wordsEdge(page, QStringLiteral("_s1.1.5"), false, true);
    const QPoint to = wordsEdge(page, QStringLiteral("_s1.1.7"), true);
    ASSERT_FALSE(from.isNull());
    ASSERT_FALSE(to.isNull());
    drag(page, from, to);
    ASSERT_TRUE(waitFor([&] { return engineSelection(page).contains(QStringLiteral("it was so")); }))
        << engineSelection(page).toStdString();
    QApplication::clipboard()->setText(QStringLiteral("held"));
    QTest::keySequence(input(page), QKeySequence(QKeySequence::Copy));
    ASSERT_TRUE(waitFor([] { return QApplication::clipboard()->text() != QStringLiteral("held"); }))
        << "nothing copied";
    EXPECT_EQ(QApplication::clipboard()->text(),
        QStringLiteral("And God called the light Day, and the darkness he called Night. And the evening and the "
                       "morning were the first day.\n\n"
                       "And God said, Let there be a firmament in the midst of the waters, and let it divide the "
                       "waters from the waters.\n"
                       "And God made the firmament, and divided the waters which were under the firmament from the "
                       "waters which were above the firmament: and it was so."));
}

// A drag that starts on a Strong's number selects text as a drag from a word does: the number's link
// is neither dragged nor followed, and the menu opens on the selection; a click on it follows it.
TEST_F(PageWindow, ADragFromAStrongsNumberSelectsText)
{
    BookPageView* page = kjvPageShowing(QStringLiteral("Genesis 1:1"), QStringLiteral("_s1.1.4"));
    ASSERT_NE(page, nullptr);
    wordsEdge(page, QStringLiteral("_s1.1.1"), false, true);
    const QPoint number = centreOf(page, QStringLiteral("a[href*='H7225']"));
    const QPoint to = wordsEdge(page, QStringLiteral("_s1.1.2"), true);
    ASSERT_FALSE(number.isNull());
    ASSERT_FALSE(to.isNull());
    int goTos = 0;
    NotificationCenter::defaultCenter().addObserver(
        this, LibraryNotifications::GoToNotification, [&](Notification&) { ++goTos; });
    drag(page, number, to);
    EXPECT_TRUE(waitFor([&] { return engineSelection(page).contains(QStringLiteral("without form")); }))
        << "no text selected: " << engineSelection(page).toStdString();
    const QPoint at = settledPoint(page,
        QStringLiteral("(function(){var s=getSelection();if(!s.rangeCount)return [];var b=s.getRangeAt(0)"
                       ".getClientRects();b=b[b.length-1];return [b.left+b.width/2,b.top+b.height/2];})()"));
    ASSERT_FALSE(at.isNull());
    const QStringList titles = contextMenuTitles(page, at);
    EXPECT_TRUE(titles.contains(QStringLiteral("Copy"))) << titles.join('|').toStdString();
    EXPECT_EQ(goTos, 0) << "the number's link was followed";

    // A click on the number follows its link, as ever.
    QTest::mouseClick(input(page), Qt::LeftButton, Qt::NoModifier, centreOf(page, QStringLiteral("a[href*='H7225']")));
    EXPECT_TRUE(waitFor([&] { return goTos == 1; })) << "the click on the number went nowhere";
    NotificationCenter::defaultCenter().removeObserver(this);
}

// Every menu of the window, each item chosen in turn with the keys as the user does and each dialog
// it opens answered with Escape: the page's context menu on a verse (the menu keys), on a selection
// and on a Strong's number link; a pane's tab list; the layout tab bar's menu; the search menus of
// the study pane's lists; and the menu bar. The reader lives through all of it: choosing Close Pane
// from the pane's own page menu ended it, and so did reading aloud on a computer without sound. The
// items that quit are left out (a test of their own quits a reader).
TEST_F(PageWindow, EveryItemOfEveryMenuChosenInTurnLeavesTheReaderRunning)
{
    RecordingAlerts& alerts = TestSupport::programAlerts();
    alerts.clear();
    launch();
    ASSERT_TRUE(activateKjv());
    QMainWindow* main = m_controller->mainWindowController()->window();

    // Dialogs are answered as a user does, with Escape (a dialog runs its own loop: a timer reaches it).
    int answered = 0;
    // A menu that shows while no one is choosing from it (it came late) is closed as a user would.
    bool choosing = false;
    QTimer escape;
    escape.setInterval(50);
    QObject::connect(&escape, &QTimer::timeout, [&] {
        if (!choosing)
            if (QWidget* stray = QApplication::activePopupWidget())
                stray->close();
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || QApplication::activePopupWidget() != nullptr)
            return;
        ++answered;
        QTest::keyClick(modal, Qt::Key_Escape);
        // A dialog that Escape does not close (none should) is closed, so that the walk goes on.
        if (answered % 20 == 0 && QApplication::activeModalWidget() == modal)
            modal->close();
    });
    escape.start();

    // The King James page with its verses shown, the reader started again when an item closed its pane.
    const auto kjvPage = [&]() -> BookPageView* {
        if (kjvRegion() < 0) {
            quit();
            QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
            launch();
            main = m_controller->mainWindowController()->window();
        }
        if (!activateKjv())
            return nullptr;
        BookPageView* page = nullptr;
        waitFor([&] {
            page = currentPage();
            // The verse the reader is at is known (the menu keys' menu is about it).
            return page != nullptr &&
                evaluate(page,
                    QStringLiteral("!!document.getElementById('_s1.1.3') && typeof qsCurrentPosition === 'function' "
                                   "&& !!qsCurrentPosition() && !!qsCurrentPosition().verse"))
                    .toBool();
        });
        return page;
    };
    // The reader is alive when its window shows and a page of it still answers.
    const auto alive = [&] {
        BookPageView* page = currentPage();
        return main->isVisible() && (page == nullptr || evaluate(page, QStringLiteral("1+1")).toInt() == 2);
    };
    // The enabled items of a menu, in its order.
    const auto enabledItems = [](QMenu* menu) {
        QList<QAction*> items;
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && a->isVisible() && a->isEnabled())
                items << a;
        return items;
    };
    // The menu `open` shows: for each enabled item, how many its submenu holds (-1: no submenu).
    const auto shapeOf = [&](const std::function<void()>& open) {
        QList<int> shape;
        bool read = false;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr || read)
                return;
            read = true;
            for (QAction* a : enabledItems(menu)) {
                if (a->menu() != nullptr)
                    emit a->menu()->aboutToShow();
                shape << (a->menu() != nullptr ? int(enabledItems(a->menu()).size()) : -1);
            }
            menu->close();
        });
        poll.start();
        choosing = true;
        open();
        waitFor([&] { return read && QApplication::activePopupWidget() == nullptr; }, 10000);
        choosing = false;
        return shape;
    };
    // Chooses with the keys the index-th enabled item of the menu `open` shows (of its submenu with
    // subIndex >= 0), as it stands then; answers the texts of the path, empty when there was none,
    // and one empty text for an item of `skipped` (left unchosen).
    const auto chooseNth = [&](const std::function<void()>& open, int index, int subIndex, const QStringList& skipped) {
        QStringList path;
        bool done = false;
        QPointer<QMenu> top;
        const auto press = [](QMenu* menu, int key) {
            const QPointer<QMenu> alive(menu);
            QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
            QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
            QCoreApplication::sendEvent(menu, &down);
            if (alive)
                QCoreApplication::sendEvent(menu, &up);
        };
        const auto reach = [&](QMenu* menu, QAction* item) {
            for (qsizetype n = 0; menu->activeAction() != item && n <= menu->actions().size(); ++n)
                press(menu, Qt::Key_Down);
            return menu->activeAction() == item;
        };
        const auto giveUp = [&] {
            done = true;
            path.clear();
            for (int level = 0; level < 8 && QApplication::activePopupWidget() != nullptr; ++level)
                QApplication::activePopupWidget()->close();
        };
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr || done || menu == top)
                return;
            const QList<QAction*> items = enabledItems(menu);
            const int wanted = top == nullptr ? index : subIndex;
            if (wanted >= items.size() || !reach(menu, items[wanted]))
                return giveUp();
            if (skipped.contains(TestSupport::menuText(items[wanted]->text()))) {
                giveUp();
                path = QStringList {QString()};
                return;
            }
            path << items[wanted]->text();
            if (top == nullptr && subIndex >= 0) {
                if (items[wanted]->menu() == nullptr)
                    return giveUp();
                top = menu;
                press(menu, Qt::Key_Right);
                return;
            }
            done = true;
            press(menu, Qt::Key_Return);
        });
        poll.start();
        choosing = true;
        open();
        waitFor([&] { return done && QApplication::activePopupWidget() == nullptr; }, 10000);
        choosing = false;
        if (!done)
            giveUp();
        return path;
    };
    QStringList tried;
    // Chooses each item of the menu that `open` shows in turn, from the last up, each time from the
    // menu shown again on a reader started afresh: items come and go as others act (Close Pane,
    // Maximize Pane, Add Note), and those above an item move least.
    const auto fresh = [&] {
        quit();
        QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
        launch();
        main = m_controller->mainWindowController()->window();
    };
    // What the screen is laid out as: the layouts, the panes, the current one and its size.
    const auto arrangement = [&] {
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        BookPageView* page = currentPage();
        return QStringLiteral("%1 %2 %3 %4 %5")
            .arg(reader_test::programEnvironment().layoutManager().count())
            .arg(layout != nullptr ? qsizetype(layout->contents().size()) : -1)
            .arg(layout != nullptr ? layout->currentRegionIndex() : -1)
            .arg(page != nullptr ? page->width() : -1)
            .arg(page != nullptr ? page->height() : -1);
    };
    const auto walk = [&](const QString& name, const std::function<void()>& open, const QStringList& skipped = {}) {
        fresh();
        QList<int> shape = shapeOf(open);
        EXPECT_FALSE(shape.isEmpty()) << "no menu: " << name.toStdString();
        for (int i = int(shape.size()) - 1; i >= 0; i = std::min(i - 1, int(shape.size()) - 1)) {
            for (int j = shape[i] < 0 ? -1 : 0; j < std::max(shape[i], 0); ++j) {
                const QString before = arrangement();
                const QStringList path = chooseNth(open, i, j, skipped);
                if (path.isEmpty() || path == QStringList {QString()})
                    continue;
                const QString item = name + QStringLiteral(" > ") + path.join(QStringLiteral(" > "));
                tried << item;
                waitFor([] { return QApplication::activeModalWidget() == nullptr; }, 10000);
                ASSERT_TRUE(waitFor(alive)) << "the reader stopped answering after " << item.toStdString();
                // Windows it opened go again, so that the next item starts from the main window.
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (top != main && top->isVisible() && top->isWindow() && qobject_cast<QMenu*>(top) == nullptr)
                        top->close();
                TestSupport::waitForQueuedWork();
                // The next item starts from the first screen again when this one rearranged it.
                if (arrangement() != before)
                    fresh();
            }
            shape = shapeOf(open);
        }
    };

    // The page's menus: on the verse at the top (the menu key), on selected words, on a Strong's number.
    walk(QStringLiteral("verse"), [&] {
        if (BookPageView* page = kjvPage())
            QTest::keyClick(input(page), Qt::Key_F10, Qt::ShiftModifier);
    });
    walk(QStringLiteral("selection"), [&] {
        BookPageView* page = kjvPage();
        if (page == nullptr)
            return;
        const QPoint at = settledPoint(page,
            QStringLiteral("(function(){var v=document.getElementById('_s1.1.3').parentNode;"
                           "var w=document.createTreeWalker(v,NodeFilter.SHOW_TEXT);var n;"
                           "while((n=w.nextNode())&&n.data.indexOf('God')<0);if(!n)return [];"
                           "var r=document.createRange();r.selectNodeContents(n);var s=getSelection();"
                           "s.removeAllRanges();s.addRange(r);var b=r.getClientRects()[0];"
                           "return [b.left+2,b.top+b.height/2];})()"));
        if (!at.isNull())
            QTest::mouseClick(input(page), Qt::RightButton, Qt::NoModifier, at);
    });
    walk(QStringLiteral("link"), [&] {
        BookPageView* page = kjvPage();
        if (page == nullptr)
            return;
        evaluate(page, QStringLiteral("getSelection().removeAllRanges()"));
        const QPoint at = centreOf(page, QStringLiteral("span._stheb a"));
        if (!at.isNull())
            QTest::mouseClick(input(page), Qt::RightButton, Qt::NoModifier, at);
    });

    // The list of a pane's tabs.
    walk(QStringLiteral("pane tabs"), [&] {
        if (!kjvPage())
            return;
        auto* button =
            panes()->currentBookPane()->paneView()->findChild<QToolButton*>(QStringLiteral("tabOverflowButton"));
        if (button != nullptr)
            QTest::mouseClick(button, Qt::LeftButton);
    });
    // The layout tab bar's menu is its rename prompt.
    {
        QTabBar* bar = m_controller->mainWindowController()->tabBar();
        const int before = answered;
        if (bar->isVisible() && bar->count() > 0) {
            const QPoint at = bar->tabRect(0).center();
            QContextMenuEvent menu(QContextMenuEvent::Mouse, at, bar->mapToGlobal(at));
            QCoreApplication::sendEvent(bar, &menu);
            EXPECT_GT(answered, before) << "no rename prompt from the layout tab";
        }
        ASSERT_TRUE(waitFor(alive, 10000));
    }
    // The study pane's menus: the tools its row of tabs has no room for, and the search menus of its
    // lists, each list shown from the Study menu.
    walk(QStringLiteral("study more"), [&] {
        if (!kjvPage() || studyPane() == nullptr)
            return;
        auto* more = studyPane()->paneView()->findChild<QToolButton*>(QStringLiteral("moreMenuButton"));
        if (more != nullptr && more->isVisible())
            QTest::mouseClick(more, Qt::LeftButton);
    });
    for (const char* list : {"Find", "Find in Notes", "Journal"}) {
        walk(QString::fromLatin1(list), [&] {
            if (!kjvPage() ||
                !reader_test::chooseMenuItem(
                    m_controller->mainWindowController(), QStringLiteral("Study"), QString::fromLatin1(list)))
                return;
            StudyPaneViewController* study = studyPane();
            QToolButton* button = nullptr;
            waitFor([&] {
                for (auto* b : study->paneView()->findChildren<QToolButton*>(QStringLiteral("searchMenuButton")))
                    if (b->isVisible())
                        button = b;
                return button != nullptr;
            });
            if (button != nullptr)
                QTest::mouseClick(button, Qt::LeftButton);
        });
    }

    // The menu bar, each menu opened from the bar.
    // (An item may start the reader again: the bar is read afresh each time.)
    for (qsizetype i = 0; i < main->menuBar()->actions().size(); ++i) {
        const QAction* entry = main->menuBar()->actions().value(i);
        if (entry->menu() == nullptr)
            continue;
        const QString title = TestSupport::menuText(entry->text());
        walk(title,
            [&, i] {
                kjvPage();
                QAction* top = main->menuBar()->actions().value(i);
                main->activateWindow();
                if (top != nullptr)
                    main->menuBar()->setActiveAction(top);
            },
            {QStringLiteral("Quit"), QStringLiteral("Quit Quillstead")});
    }
    escape.stop();

    // Every menu was walked, and a page's own menu gave Close Pane, a highlight and reading aloud.
    const QString all = tried.join(QLatin1Char('\n'));
    EXPECT_GT(tried.size(), 80) << all.toStdString();
    for (const char* item : {"pane tabs > ", "study more > ", "Find > ", "Find in Notes > ", "Journal > ",
             "File > Open Book", "Study > Start Speaking", "Help > About Quillstead"})
        EXPECT_TRUE(all.contains(QString::fromUtf8(item))) << item << " not reached in\n" << all.toStdString();
    for (const QString& item : {QStringLiteral("Close Pane"), QStringLiteral("Highlight"), QStringLiteral("Speak")}) {
        const QRegularExpression fromPage(
            QStringLiteral("^(verse|selection|link) > %1").arg(item), QRegularExpression::MultilineOption);
        EXPECT_TRUE(all.contains(fromPage)) << item.toStdString() << " not chosen from a page in\n"
                                            << all.toStdString();
    }
    // A Strong's number has no passage to read: its menu offers none.
    EXPECT_FALSE(all.contains(QStringLiteral("Speak Linked-To Text"))) << all.toStdString();
    // Speech on a computer without sound said why, on screen.
    if (!QtSpeechSynthesizer::soundOutputMissingReason().isEmpty()) {
        bool toldWhy = false;
        for (const Alert& a : alerts.shown())
            toldWhy = toldWhy || a.messageText == QStringLiteral("Quillstead could not read aloud.");
        EXPECT_TRUE(toldWhy);
    }
}

// Study > Start Speaking on a computer without sound: nothing is spoken, the reader says why once,
// on screen, and goes on (it ended two seconds later, inside the speech engine).
TEST_F(PageWindow, StartSpeakingWithoutSoundSaysWhyOnceAndTheReaderGoesOn)
{
    if (QtSpeechSynthesizer::soundOutputMissingReason().isEmpty())
        GTEST_SKIP() << "this computer has a sound output";
    RecordingAlerts& alerts = TestSupport::programAlerts();
    alerts.clear();
    launch();
    ASSERT_TRUE(activateKjv());
    QuillsteadWindowController* window = m_controller->mainWindowController();
    const auto told = [&] {
        QStringList why;
        for (const Alert& a : alerts.shown())
            if (a.messageText == QStringLiteral("Quillstead could not read aloud."))
                why << a.informativeText;
        return why;
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        const qsizetype before = told().size();
        ASSERT_TRUE(reader_test::choose(window, CommandNames::StartSpeaking));
        ASSERT_TRUE(waitFor([&] { return told().size() > before; }, 10000)) << "no word of why nothing is read";
        // Nothing reads on: Stop Speaking has nothing to stop, and the window's commands say so.
        window->actions().updateStates();
        EXPECT_FALSE(window->actions().action(CommandNames::StopSpeaking)->isEnabled());
        // The engine was not asked to speak (its thread fell over on the voices), and the page answers.
        EXPECT_EQ(QtSpeechSynthesizer::engine().state(), QTextToSpeech::Ready);
        BookPageView* page = currentPage();
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(evaluate(page, QStringLiteral("1+1")).toInt(), 2);
        TestSupport::waitForQueuedWork();
        EXPECT_EQ(told().size(), before + 1) << told().join('|').toStdString();
        EXPECT_TRUE(told().last().contains(QStringLiteral("no sound output"))) << told().last().toStdString();
    }
}
