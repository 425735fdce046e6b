// The book pane's page in a running reader, used with the mouse as a reader does: resting on a verse
// link shows a preview with that verse's words, and a context menu closes the preview and none opens
// over it; the book scroller stands beside the page; a Find
// marks its word on the page it opens; a Find result opens in the page that is loaded, its words
// marked there without a page load; the page's context menu has none of the web engine's own
// navigation items; Look Up on a Strong's-tagged word looks up the word alone.

#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/LinkPreviewPopover.h"
#include "panes/layoutview/LayoutGoToPanes.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageView.h"
#include "panes/page/BookPaneScroller.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/RecordingAlerts.h"
#include "platform/UserDefaults.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/StudyPaneSearchResultsViewController.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {

using reader_test::waitFor;

const QString kBuild = QStringLiteral(QS_BINARY_DIR);  // screenshots go here

class PageWindow : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { reader_test::startReaderTestProgram("book-pane-page-test"); }

    void SetUp() override
    {
        ReaderWindow::SetUp();
        if (IsSkipped())
            return;
        if (!TestSupport::haveSampleLibrary({"Scofield.tvk"}))
            GTEST_SKIP() << "the sample library is not built";
        // Every test starts from the first screen.
        QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
        // A commentary whose notes link to verses, beside the books that come with the application.
        ASSERT_TRUE(TestSupport::linkSampleBooks(AppFolders::booksDirectory(), {"Scofield.tvk"}));
    }

    static SourceTuple::Ptr bookNamed(const QString& abbreviation)
    {
        for (const auto& t : SourceManager::singleton().allSources()->array())
            if (t->abbr() == abbreviation)
                return t;
        return nullptr;
    }

    BookPageView* currentPage() const
    {
        LayoutBookPane* pane = panes()->currentBookPane();
        return pane != nullptr ? pane->paneView()->findChild<BookPageView*>() : nullptr;
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
    const quint32 note = scofield->sectionForSyncString(QStringLiteral("Genesis 1:5"));
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
    EXPECT_FALSE(UserDefaults::standardUserDefaults().boolForKey(QStringLiteral("versePopovers")));
    moveTo(page, QPoint(2, 2));
    moveTo(page, link);
    // Well beyond the preview's half-second delay, nothing shows.
    EXPECT_FALSE(waitFor(
        [&] { return panes()->currentBookPane()->paneView()->window()->findChild<LinkPreviewPopover*>() != nullptr; },
        1500));
    EXPECT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::ToggleLinkPreview));
}

TEST_F(PageWindow, AMenuClosesTheLinkPreviewAndNoneOpensOverIt)
{
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    UserDefaults::standardUserDefaults().setBool(true, QStringLiteral("versePopovers"));
    goTo(kjv, kjv->sectionForSyncString(QStringLiteral("Genesis 1:6")));
    BookPageView* page = nullptr;
    ASSERT_TRUE(waitFor([&] {
        page = currentPage();
        return page != nullptr && evaluate(page, QStringLiteral("!!document.querySelector('span._stheb a')")).toBool();
    })) << "no Strong's number on the page";
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
    goTo(kjv, kjv->sectionForSyncString(QStringLiteral("Genesis 1:6")));
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
    goTo(kjv, kjv->sectionForSyncString(QStringLiteral("Genesis 1:1")));
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
    const quint32 key = kjv->keyForSection(section);
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
    goTo(kjv, kjv->sectionForSyncString(QStringLiteral("John 13:34")));
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
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    goTo(kjv, kjv->sectionForSyncString(QStringLiteral("Genesis 1:6")));
    BookPageView* page = nullptr;
    ASSERT_TRUE(waitFor([&] {
        page = currentPage();
        return page != nullptr && evaluate(page, QStringLiteral("!!document.getElementById('_s1.1.6')")).toBool();
    }));
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
