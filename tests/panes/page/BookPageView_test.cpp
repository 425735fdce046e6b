// The book page in a live web view, on the sample library's King James Version, the Scofield notes
// and the daily readings: going to places, filling by blocks while scrolling, position reports,
// links, footnotes, selection, hostile book content, the scroller, link previews; and the position
// rules of a go-to on a small fake book. Every web-view test runs in this one process.

#include <gtest/gtest.h>

#include "library/GoToPanesDouble.h"
#include "library/GoToRequest.h"
#include "library/GoToRouter.h"
#include "library/LibraryNotifications.h"
#include "library/NavigationHistory.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/BookPageHtml.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "panes/page/BookPaneScroller.h"
#include "panes/page/FakeBookPageSource.h"
#include "panes/page/LinkPreview.h"
#include "panes/page/SourceTupleBookPageSource.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "render/HTMLTagCode.h"
#include "support/RecordingAlerts.h"
#include "support/TestSupport.h"
#include "tools/tvkbuild/import/cTvkRichBook.h"
#include "userdata/cSQLiteDbBase.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <tuple>

namespace {

using TestSupport::waitFor;

const QString kBuild = QStringLiteral(QS_BINARY_DIR);

constexpr quint32 key(quint32 book, quint32 chapter, quint32 verse)
{
    return (book << 16) | (chapter << 8) | verse;
}

QVariant js(BookPageView& view, const QString& script)
{
    const std::optional<QVariant> answer = TestSupport::runScript(view.page(), script);
    EXPECT_TRUE(answer.has_value()) << script.toStdString();
    return answer.value_or(QVariant());
}

// A host that records what the page tells it.
class RecordingHost : public SingleBookPageHost {
public:
    using SingleBookPageHost::SingleBookPageHost;
    int titleUpdates = 0;
    int syncs = 0;
    int dueSyncs = 0;
    QStringList previews;
    int previewsClosed = 0;
    QRect previewRect;

    QString layout;
    QString layoutUuid() override { return layout; }
    void updateTitleBar() override { ++titleUpdates; }
    void conditionallySyncToMe() override { ++syncs; }
    void requestDueSyncs() override { ++dueSyncs; }
    void showLinkPreview(const QString& href, const QString& footnote, const QRect& rect) override
    {
        previews << href + QLatin1Char('|') + footnote;
        previewRect = rect;
    }
    void closeLinkPreview() override { ++previewsClosed; }
};

// Observes GoToNotification; each request in its map form.
class GoToRecorder {
public:
    GoToRecorder()
    {
        m_id = NotificationCenter::defaultCenter().addObserver(this, LibraryNotifications::GoToNotification,
            [this](Notification& n) { requests << GoToRequest::of(n).toUserInfo(); });
    }
    ~GoToRecorder() { NotificationCenter::defaultCenter().removeObservation(m_id); }
    QList<QVariantMap> requests;

private:
    NotificationCenter::ObservationId m_id = 0;
};

// The web engine is not built with the sanitizers: under them the tests that need a live view skip
// (the rest still run).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kWebEngineUsable = false;
#else
constexpr bool kWebEngineUsable = true;
#endif
#define REQUIRE_WEB_VIEW()                                                                                             \
    if (!kWebEngineUsable)                                                                                             \
    GTEST_SKIP() << "no live web view under the sanitizers"

// The sample library is built with the tree; builds without it (the sanitizer runs) skip the tests
// that read it.
#define REQUIRE_LIBRARY()                                                                                              \
    if (!QFile::exists(kBuild + QStringLiteral("/library/KJV.tvk")))                                                   \
    GTEST_SKIP() << "the sample library is not built"

// A page source over a book file read straight from its path; null when it does not open as a book.
std::shared_ptr<SourceTupleBookPageSource> bookFile(const QString& path)
{
    std::shared_ptr<cSourceDoc> doc = SourceTuple::allocateSourceForFile(path);
    return doc ? std::make_shared<SourceTupleBookPageSource>(SourceTuple::sourceTupleForSource(std::move(doc)))
               : nullptr;
}

std::shared_ptr<SourceTupleBookPageSource> openBook(const QString& name)
{
    auto book = bookFile(kBuild + QStringLiteral("/library/") + name);
    EXPECT_TRUE(book != nullptr) << name.toStdString();
    return book;
}

// One view on one book, shown offscreen at a reader's size.
class Page {
public:
    explicit Page(BookPageSourcePtr book)
        : source(std::move(book)),
          host(source),
          view(&host, NotificationCenter::defaultCenter(), TestSupport::privateDefaults())
    {
        view.resize(800, 600);
        view.show();
    }

    // Goes to a section and waits until the page is painted and has reported its position.
    void goToSection(quint32 section)
    {
        QSignalSpy reports(&view, &BookPageView::positionReported);
        GoToRequest request;
        request.section = section;
        view.goTo(source, request);
        ASSERT_TRUE(waitFor([&] { return reports.count() > 0; })) << "no position report";
        settle();
    }

    void goToKey(quint32 verseKey)
    {
        const quint32 section = source->sectionForBibleKey(verseKey);
        ASSERT_NE(section, 0u);
        goToSection(section);
    }

    // Waits until the page has stopped filling and reporting: at the end of a frame (after the
    // frame's scroll events) no fill and no report is pending, and the reader has answered a call the
    // page made after its last report (the page's calls reach the reader in order).
    void settle()
    {
        const QString probe = QStringLiteral(
            "window.qsQuiet=null;requestAnimationFrame(function(){setTimeout(function(){"
            "window.qsQuiet=qsPlacement.fillTimer===null&&qsPlacement.reportTimer===null&&!qsPlacement.filling&&"
            "qsPlacement.state!==qsPlacementState.LANDING;},0);});");
        EXPECT_TRUE(waitFor([&] {
            js(view, probe);
            return TestSupport::waitForScript(view.page(), QStringLiteral("window.qsQuiet!==null"), true) &&
                js(view, QStringLiteral("window.qsQuiet")).toBool();
        })) << "the page did not stop filling";
        js(view, QStringLiteral("jsInterface.isABible()"));
    }

    double topOf(const QString& id)
    {
        return js(view,
            QStringLiteral("(function(){var e=document.getElementById(%1);return e?e.getBoundingClientRect()"
                           ".top:-99999;})()")
                .arg(BookPageHtml::scriptCall(QString(), {id}).mid(1).chopped(1)))
            .toDouble();
    }

    QList<int> blocksOnPage()
    {
        QList<int> out;
        for (const QVariant& v :
            js(view, QStringLiteral("qsBlocks().map(function(d){return qsBlockNumberFromId(d.id);})")).toList())
            out << v.toInt();
        return out;
    }

    // Clicks the centre of the first element the selector finds, with the mouse.
    bool click(const QString& selector)
    {
        // The element is held, as blocks filled in above it after the scroll may hold other matches.
        if (!js(view,
                QStringLiteral("(function(){var e=document.querySelector(%1);window.qsClickTarget=e;"
                               "if(!e)return false;e.scrollIntoView({block:'center'});return true;})()")
                    .arg(BookPageHtml::scriptCall(QString(), {selector}).mid(1).chopped(1)))
                 .toBool())
            return false;
        settle();  // the page filled and reported after the scroll: the element stays where it is now
        const QVariantList r = js(view,
            QStringLiteral("(function(){var r=window.qsClickTarget.getBoundingClientRect();"
                           "return [r.left+r.width/2,r.top+r.height/2];})()"))
                                   .toList();
        if (r.size() != 2)
            return false;
        QWidget* target = view.focusProxy() ? view.focusProxy() : &view;
        const QPoint at(qRound(r[0].toDouble()), qRound(r[1].toDouble()));
        // The click is handled once a listener after the page's own has seen it: a script sent after
        // it (the next click's scrolling) cannot move the page under it first.
        js(view,
            QStringLiteral("window.qsClicked=false;document.addEventListener('click',"
                           "function(){window.qsClicked=true;},{capture:true,once:true});"));
        QTest::mouseMove(target, at);
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, at);
        return TestSupport::waitForScript(view.page(), QStringLiteral("window.qsClicked"), true);
    }

    BookPageSourcePtr source;
    RecordingHost host;
    BookPageView view;
};

std::shared_ptr<SourceTupleBookPageSource> kjv()
{
    static auto book = openBook(QStringLiteral("KJV.tvk"));
    return book;
}

// The first block of the book that holds a footnote (0 when none does).
quint32 firstBlockWithANote(BookPageSource& book)
{
    for (quint32 b = 1; b < book.numBlocks(); ++b)
        if (book.htmlTextForBlock(b, {}).contains(QLatin1String("footnotetoggle")))
            return b;
    return 0;
}

void expectConsecutive(const QList<int>& blocks)
{
    ASSERT_FALSE(blocks.isEmpty());
    for (int i = 1; i < blocks.size(); ++i)
        ASSERT_EQ(blocks[i], blocks[i - 1] + 1) << "gap or repeat at " << i;
}

// --- go-to into a page, in-page moves, resizing ---------------------------------------------------

TEST(BookPageView, GoingToJohn316PutsTheVerseAtTheTopAndReportsIt)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    QSignalSpy reports(&page.view, &BookPageView::positionReported);
    page.goToKey(key(43, 3, 16));
    EXPECT_NEAR(page.topOf(QStringLiteral("_s43.3.16")), 0.0, 8.0);
    const LayoutRegionContentItemState& state = page.host.state();
    EXPECT_EQ(state.sectionString(), QStringLiteral("_s43.3.16"));
    EXPECT_EQ(page.source->keyForSection(static_cast<quint32>(state.section())), key(43, 3, 16));
    EXPECT_EQ(state.block(), page.source->blockForSection(static_cast<quint32>(state.section())));
    EXPECT_GT(page.host.dueSyncs, 0);
    EXPECT_GT(page.host.titleUpdates, 0);
    // Blocks were filled above and below the verse.
    const QList<int> blocks = page.blocksOnPage();
    expectConsecutive(blocks);
    EXPECT_LT(blocks.first(), state.block() - 5);
    EXPECT_GT(blocks.last(), state.block() + 5);
    EXPECT_EQ(js(page.view, QStringLiteral("document.getElementById('startofpage').textContent")).toString(),
        QStringLiteral("Loading..."));
}

TEST(BookPageView, ScreenshotOfJohn3)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 1));
    // Bring the chapter's heading (in the verse's block or the one before it) to the top.
    js(page.view,
        QStringLiteral("(function(){var b=document.getElementById('_s43.3.1').closest('div[id^=\"_b\"]');"
                       "if(!b.querySelector('h1,h2,h3,h4'))b=b.previousElementSibling;"
                       "scrollToElement(b.id,0);})()"));
    page.settle();
    ASSERT_TRUE(TestSupport::waitForPainted(page.view.page(), &page.view));
    const QImage shot = page.view.grab().toImage();
    const QString file = kBuild + QStringLiteral("/BookPage_John3.png");
    ASSERT_TRUE(shot.save(file));
    // Not a blank image: the text is drawn.
    int dark = 0;
    for (int y = 0; y < shot.height(); y += 4)
        for (int x = 0; x < shot.width(); x += 4)
            dark += qGray(shot.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(dark, 200);
}

TEST(BookPageView, InPageGoToScrollsWithoutANewPage)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    QSignalSpy loads(&page.view, &BookPageView::pageLoaded);
    page.goToKey(key(43, 3, 20));
    EXPECT_EQ(loads.count(), 0);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s43.3.20")), 0.0, 8.0);
    EXPECT_EQ(page.host.state().sectionString(), QStringLiteral("_s43.3.20"));
    // A block far away is not on the page: the page's blocks are replaced, the page stays.
    page.goToKey(key(66, 22, 21));
    EXPECT_EQ(loads.count(), 0);
    EXPECT_FALSE(page.blocksOnPage().contains(
        int(page.source->blockForSection(page.source->sectionForBibleKey(key(43, 3, 20))))));
    EXPECT_NEAR(page.topOf(QStringLiteral("_s66.22.21")), 0.0, 8.0);
}

TEST(BookPageView, ANewPageFirstPaintsWithTheVerseAtTheTopAndTheViewCovered)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    // A psalm's first verse follows its title; John 3:16 is mid-chapter; the last verse of the Bible
    // leaves the view to the book's end.
    for (const quint32 verse : {key(19, 23, 1), key(43, 3, 16), key(66, 22, 21)}) {
        Page page(kjv());
        QSignalSpy painted(&page.view, &BookPageView::pagePainted);
        GoToRequest request;
        request.section = page.source->sectionForBibleKey(verse);
        page.view.goTo(page.source, request);
        ASSERT_TRUE(waitFor([&] { return painted.count() > 0; })) << verse;
        const QVariantMap first = js(page.view, QStringLiteral("qsPlacement.firstPaint")).toMap();
        EXPECT_TRUE(first.value(QStringLiteral("covered")).toBool()) << verse;
        if (verse != key(66, 22, 21))
            EXPECT_NEAR(first.value(QStringLiteral("top")).toDouble(), 0.0, 8.0) << verse;
        else
            EXPECT_GE(first.value(QStringLiteral("top")).toDouble(), 0.0);
        EXPECT_EQ(painted.count(), 1);
    }
}

TEST(BookPageView, ANewerGoToDropsTheContinuationOfAnOlderOne)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    QSignalSpy loads(&page.view, &BookPageView::pageLoaded);
    // The first target is not on the page (its blocks replace the page's); the second ends there.
    GoToRequest first, second;
    first.section = page.source->sectionForBibleKey(key(1, 1, 1));
    second.section = page.source->sectionForBibleKey(key(43, 3, 18));
    page.view.goTo(page.source, first);
    page.view.goTo(page.source, second);
    EXPECT_TRUE(waitFor([&] { return page.host.state().sectionString() == QStringLiteral("_s43.3.18"); }));
    page.settle();
    EXPECT_EQ(loads.count(), 0);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s43.3.18")), 0.0, 8.0);
    EXPECT_EQ(page.host.state().sectionString(), QStringLiteral("_s43.3.18"));
}

TEST(BookPageView, ResizingKeepsTheVerseAtTheTop)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    page.view.resize(420, 700);
    page.settle();
    EXPECT_NEAR(page.topOf(QStringLiteral("_s43.3.16")), 0.0, 8.0);
    expectConsecutive(page.blocksOnPage());
}

TEST(BookPageView, ScrollingDownAndUpFillsBlocksWithoutGapsOrRepeats)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    QSignalSpy reports(&page.view, &BookPageView::positionReported);
    const qint64 startBlock = page.host.state().block();
    // Each step is checked once the page has reported the place it scrolled to, while it may still
    // be filling.
    for (int i = 0; i < 25; ++i) {
        const qsizetype before = reports.count();
        js(page.view, QStringLiteral("scrollToYOffset(getPageYOffset() + 1500)"));
        ASSERT_TRUE(waitFor([&] { return reports.count() > before; })) << "no report after step " << i;
        expectConsecutive(page.blocksOnPage());
    }
    page.settle();
    const qint64 downBlock = page.host.state().block();
    EXPECT_GT(downBlock, startBlock + 40);
    // Blocks far above were dropped: the page stays a window.
    EXPECT_GT(page.blocksOnPage().first(), startBlock);
    for (int i = 0; i < 50; ++i) {
        const qsizetype before = reports.count();
        js(page.view, QStringLiteral("scrollToYOffset(getPageYOffset() - 1500)"));
        ASSERT_TRUE(waitFor([&] { return reports.count() > before; })) << "no report after step " << i;
        expectConsecutive(page.blocksOnPage());
    }
    page.settle();
    EXPECT_LT(page.host.state().block(), startBlock);
    // Each verse once.
    EXPECT_EQ(js(page.view,
                  QStringLiteral("(function(){var seen={},twice=0;document.querySelectorAll('[id^=\"_s\"]')"
                                 ".forEach(function(e){if(seen[e.id])twice++;seen[e.id]=1;});return twice;})()"))
                  .toInt(),
        0);
    // The reported verse is the one at the top of the view.
    const QString verse = js(page.view, QStringLiteral("qsCurrentPosition().verse")).toString();
    EXPECT_EQ(page.host.state().sectionString(), verse);
    EXPECT_EQ(page.source->keyForSection(static_cast<quint32>(page.host.state().section())),
        BookPageHtml::bibleKeyFromDataVerseSpan(verse));
    EXPECT_GT(reports.count(), 10);
}

TEST(BookPageView, TheStartOfTheBookEndsTheFilling)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(1, 1, 3));
    // Scrolling up to the top again and again reaches the start of the book.
    for (int i = 0; i < 10 && !js(page.view, QStringLiteral("qsPlacement.atStart && getPageYOffset() === 0")).toBool();
         ++i) {
        js(page.view, QStringLiteral("scrollToYOffset(0)"));
        page.settle();
    }
    const QList<int> blocks = page.blocksOnPage();
    expectConsecutive(blocks);
    EXPECT_EQ(blocks.first(), 0);
    EXPECT_EQ(
        js(page.view, QStringLiteral("document.getElementById('startofpage').textContent")).toString(), QString());
    EXPECT_EQ(page.host.state().sectionString(), QStringLiteral("_s1.1.1"));
}

TEST(BookPageView, StaleReportsAreIgnored)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    const qint64 block = page.host.state().block();
    QSignalSpy reports(&page.view, &BookPageView::positionReported);
    js(page.view,
        QStringLiteral("jsInterface.updatePosition(sourceTupleString, webViewSerialNumber - 1, '_b5', '', 0, 7)"));
    js(page.view, QStringLiteral("jsInterface.updatePosition('1:2:3:4', webViewSerialNumber, '_b5', '', 0, 7)"));
    EXPECT_EQ(page.host.state().block(), block);
    // The same report from this page and book is taken; an empty verse id takes the block's section.
    // It is sent after the stale ones, so once it has arrived they have been seen, and refused.
    js(page.view,
        QStringLiteral("jsInterface.updatePosition(sourceTupleString, webViewSerialNumber, '_b5', '', 3, 7)"));
    ASSERT_TRUE(waitFor([&] { return reports.count() > 0; }));
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    EXPECT_EQ(reports.count(), 1);
    EXPECT_EQ(page.host.state().block(), 5);
    EXPECT_EQ(page.host.state().yOffset(), 3);
    EXPECT_EQ(page.host.state().section(), page.source->sectionForBlock(5));
    EXPECT_TRUE(page.host.state().sectionString().isEmpty());
}

// --- links, footnotes, selection ------------------------------------------------------------------

TEST(BookPageView, AClickedBibleLinkReachesTheRouting)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(openBook(QStringLiteral("Scofield.tvk")));
    GoToRecorder recorder;
    page.goToSection(100);
    const QString link =
        js(page.view, QStringLiteral("document.querySelector('a[href^=\"javascript:href\"]').getAttribute('href')"))
            .toString();
    ASSERT_TRUE(link.startsWith(QLatin1String("javascript:href('bible:"))) << link.toStdString();
    ASSERT_TRUE(page.click(QStringLiteral("a[href^=\"javascript:href\"]")));
    ASSERT_TRUE(waitFor([&] { return !recorder.requests.isEmpty(); }));
    const QVariantMap request = recorder.requests.first();
    EXPECT_EQ(request.value(QStringLiteral("href")).toString(), link.mid(17, link.size() - 20));
    EXPECT_TRUE(request.value(QStringLiteral("wasHyperlink")).toBool());
    EXPECT_TRUE(request.value(QStringLiteral("activate")).toBool());
    EXPECT_TRUE(request.value(QStringLiteral("sync")).toBool());
    // The page itself did not navigate anywhere.
    EXPECT_EQ(page.view.url(),
        BookPageScheme::pageUrl(page.view.url().path().section('/', 1, 1), page.view.webViewSerialNumber()));
}

// The whole road of a link: a click in a commentary page goes through the go-to routing to the
// pane that shows the Bible, whose page then shows the verse at its top.
TEST(BookPageView, AClickedBibleLinkMovesTheBiblePaneThroughTheRouting)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    const QString layout = QStringLiteral("11111111-2222-3333-4444-555555555555");
    QTemporaryDir temp;
    const QString books = temp.filePath(QStringLiteral("books"));
    QDir().mkpath(books);
    for (const QString& name : {QStringLiteral("KJV.tvk"), QStringLiteral("Scofield.tvk")})
        ASSERT_TRUE(QFile::link(kBuild + QStringLiteral("/library/") + name, QDir(books).filePath(name)));
    SourceManager::Folders folders;
    folders.books = books;
    folders.cache = temp.filePath(QStringLiteral("cache"));
    folders.refused = temp.filePath(QStringLiteral("refused"));
    QDir().mkpath(folders.cache);
    SourceManager library(folders);
    const SourceTuple::Ptr kjvTuple = library.allSources()->tupleForPubID(1, 101);
    const SourceTuple::Ptr scofieldTuple = library.allSources()->tupleForPubID(1, 110);
    ASSERT_TRUE(kjvTuple && scofieldTuple);
    RecordingAlerts alerts;

    Page notes(std::make_shared<SourceTupleBookPageSource>(scofieldTuple));
    notes.host.layout = layout;
    auto bibleSource = std::make_shared<SourceTupleBookPageSource>(kjvTuple);
    Page bible(bibleSource);
    bible.goToKey(key(43, 3, 16));

    GoToPanesDouble panes;
    LayoutDouble screen;
    screen.uuid = layout;
    screen.panes.resize(2);
    screen.panes[0].current = scofieldTuple;
    screen.panes[0].tabs = {scofieldTuple};
    screen.panes[1].current = kjvTuple;
    screen.panes[1].tabs = {kjvTuple};
    screen.panes[1].onGoTo = [&](GoToRequest& request) { bible.view.goTo(bibleSource, request); };
    panes.layouts = {screen};
    NavigationHistory history(panes, folders.cache);
    GoToRouter router(
        panes, library, history, NotificationCenter::defaultCenter(), TestSupport::privateDefaults(), alerts);

    notes.goToSection(100);  // notes on Genesis, full of links to it
    // The first link at or below the top block (which may be a heading alone).
    const QString firstLink =
        QStringLiteral("#_b%1 a[href^=\"javascript:href\"], #_b%1 ~ div a[href^=\"javascript:href\"]")
            .arg(notes.host.state().block());
    const QString link = js(notes.view,
        QStringLiteral("document.querySelector('%1').getAttribute('href')")
            .arg(QString(firstLink).replace('\'', "\\'")))
                             .toString();
    // "bible:#" translation, book, chapter, verse as two hex digits each.
    ASSERT_TRUE(link.startsWith(QLatin1String("javascript:href('bible:#"))) << link.toStdString();
    const QString hex = link.mid(24, 8);
    const QString anchor = QStringLiteral("_s%1.%2.%3")
                               .arg(hex.mid(2, 2).toInt(nullptr, 16))
                               .arg(hex.mid(4, 2).toInt(nullptr, 16))
                               .arg(hex.mid(6, 2).toInt(nullptr, 16));
    ASSERT_TRUE(notes.click(firstLink));
    ASSERT_TRUE(waitFor([&] { return bible.host.state().sectionString() == anchor; }))
        << anchor.toStdString() << " " << panes.log.join(QStringLiteral("; ")).toStdString();
    bible.settle();
    EXPECT_NEAR(bible.topOf(anchor), 0.0, 8.0);
    EXPECT_TRUE(alerts.shown().isEmpty());
}

TEST(BookPageView, EscapedLinkTextReachesTheRoutingUnescaped)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    GoToRecorder recorder;
    page.goToKey(key(43, 3, 16));
    js(page.view, QStringLiteral("qsFollowLink(\"javascript:href('bible:John 3@@apos@@s@@bs@@x');\")"));
    ASSERT_TRUE(waitFor([&] { return !recorder.requests.isEmpty(); }));
    EXPECT_EQ(recorder.requests.first().value(QStringLiteral("href")).toString(), QStringLiteral("bible:John 3's\\x"));
}

TEST(BookPageView, AFootnoteExpands)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    auto book = kjv();
    const quint32 noted = firstBlockWithANote(*book);
    ASSERT_NE(noted, 0u);
    Page page(book);
    page.goToSection(book->sectionForBlock(noted));
    const QString note = QStringLiteral("#_b%1 .footnote").arg(noted);
    const QString display = QStringLiteral("getComputedStyle(document.querySelector('%1')).display").arg(note);
    EXPECT_EQ(js(page.view, display).toString(), QStringLiteral("none"));  // collapsed by the setting
    ASSERT_TRUE(page.click(QStringLiteral("#_b%1 a.footnotetoggle").arg(noted)));
    ASSERT_TRUE(waitFor([&] { return js(page.view, display).toString() == QLatin1String("inline"); }));
    EXPECT_TRUE(TestSupport::waitForPainted(page.view.page(), &page.view));
    EXPECT_TRUE(page.view.grab().save(kBuild + QStringLiteral("/BookPage_Footnote.png")));
    ASSERT_TRUE(page.click(QStringLiteral("#_b%1 a.footnotetoggle").arg(noted)));
    ASSERT_TRUE(waitFor([&] { return js(page.view, display).toString() == QLatin1String("none"); }));
}

TEST(BookPageView, SelectionMapsToTheVerseKeys)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 15));
    QSignalSpy changed(&page.view, &BookPageView::selectedBlocksOrKeysChanged);
    js(page.view, QStringLiteral(R"((function () {
        function lastText(el) {
            var w = document.createTreeWalker(el, NodeFilter.SHOW_TEXT), n, last = null;
            while ((n = w.nextNode())) if (n.textContent.trim().length > 2) last = n;
            return last;
        }
        var a = lastText(document.querySelector('span[data-verse-span="sel_s43.3.16"]'));
        var b = lastText(document.querySelector('span[data-verse-span="sel_s43.3.18"]'));
        var r = document.createRange();
        r.setStart(a, 1);
        r.setEnd(b, 1);
        getSelection().removeAllRanges();
        getSelection().addRange(r);
        return true;
    })())"));
    ASSERT_TRUE(waitFor([&] { return !page.view.selectedBlocksOrKeys().isEmpty(); }));
    EXPECT_EQ(page.view.selectedBlocksOrKeys(), (QList<quint32> {key(43, 3, 16), key(43, 3, 18), key(43, 3, 17)}));
    EXPECT_FALSE(page.view.selectedText().isEmpty());
    EXPECT_EQ(page.view.selectedBibleRefString(), QStringLiteral("John 3:16-18"));
    page.view.clearSelection();
    ASSERT_TRUE(waitFor([&] { return page.view.selectedBlocksOrKeys().isEmpty(); }));
}

TEST(BookPageView, SelectionInABookGivesBlocks)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(openBook(QStringLiteral("Scofield.tvk")));
    page.goToSection(100);
    const QList<int> blocks = page.blocksOnPage();
    ASSERT_GE(blocks.size(), 3);
    const int a = page.host.state().block();
    js(page.view,
        QStringLiteral("(function(){var r=document.createRange();r.setStart(document.getElementById('_b%1'),0);"
                       "r.setEnd(document.getElementById('_b%2'),1);getSelection().removeAllRanges();"
                       "getSelection().addRange(r);})()")
            .arg(a)
            .arg(a + 2));
    ASSERT_TRUE(waitFor([&] { return !page.view.selectedBlocksOrKeys().isEmpty(); }));
    const QList<quint32> got = page.view.selectedBlocksOrKeys();
    ASSERT_GE(got.size(), 2);
    EXPECT_EQ(got[0], static_cast<quint32>(a));
    EXPECT_EQ(got[1], static_cast<quint32>(a + 2));
}

// --- hostile book content -------------------------------------------------------------------------

// Every bridge call the reader answers, as its log records it.
class BridgeLog {
public:
    BridgeLog()
    {
        s_lines = &lines;
        s_previous = qInstallMessageHandler(&BridgeLog::handler);
    }
    ~BridgeLog()
    {
        qInstallMessageHandler(s_previous);
        s_lines = nullptr;
    }
    QStringList lines;
    // Whether the reader logged a line holding the text.
    bool logged(const QString& text) const
    {
        return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.contains(text); });
    }
    // Whether a writeToLog call carrying the text reached the reader.
    bool loggedFromPage(const QString& text) const
    {
        return std::any_of(lines.begin(), lines.end(),
            [&](const QString& l) { return l.startsWith(QLatin1String("From JS:")) && l.contains(text); });
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (s_lines != nullptr)
            s_lines->append(message);
        if (s_previous != nullptr)
            s_previous(type, context, message);
    }
    static inline QStringList* s_lines = nullptr;
    static inline QtMessageHandler s_previous = nullptr;
};

TEST(BookPageView, AHostileBlockRendersInert)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    QTcpServer server;  // a "remote" host the book points at; nothing may reach it
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString remote = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    const QString hostile =
        QStringLiteral("<p>hostile</p><script>window.qsPwned = 1;</script>"
                       "<img id='h1' src='missing.png' onerror='window.qsPwned = 2'>"
                       "<a id='h2' href=\"javascript:window.qsPwned = 3\">one</a>"
                       "<a id='h3' href=\"javascript:href('bible:John 1:1');window.qsPwned=4\">two</a>"
                       "<svg><a id='h4' xlink:href=\"javascript:window.qsPwned=5\"><text y='10'>x</text></a></svg>"
                       "<iframe src=\"javascript:parent.qsPwned=6\"></iframe>"
                       "<img id='h5' src='%1img.png'><link rel='stylesheet' href='%1s.css'>"
                       "<form action=\"javascript:window.qsPwned=7\"><button id='h7'>go</button></form>"
                       "<a id='h8' href='%1page.html'>web</a>"
                       "<div id='h6' title='%2'>long</div>")
            .arg(remote, QString(2000000, QLatin1Char('A')));
    auto wrapped = std::make_shared<WrappedBookPageSource>(kjv());
    const quint32 s16 = kjv()->sectionForBibleKey(key(43, 3, 16));
    const quint32 s17 = kjv()->sectionForBibleKey(key(43, 3, 17));
    wrapped->replaced.insert(kjv()->blockForSection(s16), hostile);      // in the page as loaded
    wrapped->replaced.insert(kjv()->blockForSection(s17) + 3, hostile);  // fetched as the page fills
    Page page(wrapped);
    GoToRecorder recorder;
    page.goToSection(s16);
    const QString scope = QStringLiteral("#_b%1 ").arg(kjv()->blockForSection(s16));
    for (const quint32 b : {kjv()->blockForSection(s16), kjv()->blockForSection(s17) + 3}) {
        const QString in = QStringLiteral("#_b%1 ").arg(b);
        for (const char* id : {"h2", "h3", "h4", "h7", "h8"}) {
            js(page.view,
                QStringLiteral("(function(){var e=document.querySelector('%1#%2');if(e)e.dispatchEvent(new "
                               "MouseEvent('click',{bubbles:true,cancelable:true}));})()")
                    .arg(in, QLatin1String(id)));
        }
        EXPECT_EQ(
            js(page.view, QStringLiteral("document.querySelectorAll('%1 script, %1 iframe, %1 form').length").arg(in))
                .toInt(),
            0);
        EXPECT_EQ(
            js(page.view, QStringLiteral("document.querySelector('%1#h6').title.length").arg(in)).toInt(), 2000000);
    }
    // The plain web links of the two blocks went to the routing; nothing else did.
    ASSERT_TRUE(waitFor([&] { return recorder.requests.size() >= 2; }));
    // A click with the mouse on the script link, then one on the web link: once the web link has
    // reached the routing, the script link's click has been handled before it.
    const qsizetype before = recorder.requests.size();
    ASSERT_TRUE(page.click(scope + QStringLiteral("#h2")));
    ASSERT_TRUE(page.click(scope + QStringLiteral("#h8")));
    ASSERT_TRUE(waitFor([&] { return recorder.requests.size() > before; }));
    EXPECT_EQ(recorder.requests.size(), before + 1);
    EXPECT_EQ(js(page.view, QStringLiteral("typeof window.qsPwned")).toString(), QStringLiteral("undefined"));
    // Only the plain web link went to the routing (which sends web links to the browser).
    for (const QVariantMap& r : recorder.requests)
        EXPECT_EQ(r.value(QStringLiteral("href")).toString(), remote + QStringLiteral("page.html"));
    EXPECT_FALSE(server.hasPendingConnections());
    // Navigation away is refused too, as the reader's log says.
    BridgeLog log;
    page.view.page()->runJavaScript(
        QStringLiteral("location.href = %1").arg(BookPageHtml::scriptCall(QString(), {remote}).mid(1).chopped(1)));
    EXPECT_TRUE(waitFor([&] { return log.logged(QStringLiteral("refused navigation to \"") + remote); }));
    EXPECT_EQ(page.view.url().scheme(), QStringLiteral("qsbook"));
    EXPECT_FALSE(server.hasPendingConnections());
    // The page still works.
    QSignalSpy reports(&page.view, &BookPageView::positionReported);
    js(page.view, QStringLiteral("scrollToYOffset(getPageYOffset() + 400)"));
    EXPECT_TRUE(waitFor([&] { return reports.count() > 0; }));
}

TEST(BookPageView, BookContentCannotCallTheBridgeOrPassForTheFrame)
{
    REQUIRE_WEB_VIEW();
    QTcpServer server;  // where a hostile link would send the reader's browser
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString remote = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    auto book = std::make_shared<FakeBookPageSource>();
    book->readings = true;
    book->readingCount = 40;
    auto wrapped = std::make_shared<WrappedBookPageSource>(book);
    const QString call = QStringLiteral("call/%1?%2");
    const auto args = [](const QString& json) { return QString::fromLatin1(QUrl::toPercentEncoding(json)); };
    // Image, style and link forms of bridge calls, on the page's old call path and on the bridge host
    // with a guessed secret; ids of the frame and of reading headers; names that would cover the
    // document's functions.
    const QString hostile =
        QStringLiteral("<p>hostile block</p>"
                       "<img src=\"%1\"><img src=\"%2\"><img src=\"%3\">"
                       "<div style=\"background-image:url('%4')\">styled</div>"
                       "<link rel=\"stylesheet\" href=\"%5\"><style>p{background:url('%6')}</style>"
                       "<img src=\"qsbook://bridge/%7/00000000000000000000000000000000/writeToLog?%8\">"
                       "<div id=\"endofpage\">fake end</div><div id=\"startofpage\">fake start</div>"
                       "<div id=\"_reading3\" class=\"devounread\">fake reading header</div>"
                       "<div id=\"_b9999\">fake block</div>"
                       "<img name=\"getElementById\" src=\"none.png\"><form name=\"body\"></form>"
                       "<div id=\"addEventListener\">x</div>")
            .arg(call.arg(QStringLiteral("writeToLog"), args(QStringLiteral("[\"pwned-img\"]"))),
                call.arg(QStringLiteral("href"), args(QStringLiteral("[\"%1\"]").arg(remote))),
                call.arg(QStringLiteral("toggleReadingNumber"), args(QStringLiteral("[2]"))),
                call.arg(QStringLiteral("toggleReadingNumber"), args(QStringLiteral("[3]"))),
                call.arg(QStringLiteral("writeToLog"), args(QStringLiteral("[\"pwned-css\"]"))),
                call.arg(QStringLiteral("writeToLog"), args(QStringLiteral("[\"pwned-style\"]"))),
                QStringLiteral("TOKEN"), args(QStringLiteral("[\"pwned-guess\"]")));
    for (const quint32 b : {8u, 12u, 13u, 20u})
        wrapped->replaced.insert(b, hostile);
    Page page(wrapped);
    BridgeLog log;
    GoToRecorder recorder;
    page.goToSection(4);  // block 8, reading 4: a hostile block in the page as loaded, more fetched
    // The page fills on both sides: the content's markers did not stop it.
    ASSERT_TRUE(waitFor([&] { return page.blocksOnPage().size() > 8; }));
    const QList<int> blocks = page.blocksOnPage();
    expectConsecutive(blocks);
    EXPECT_TRUE(blocks.contains(8) && blocks.contains(13));
    EXPECT_FALSE(blocks.contains(9999));
    EXPECT_EQ(js(page.view, QStringLiteral("document.querySelectorAll('#endofpage,#startofpage').length")).toInt(), 2);
    EXPECT_EQ(
        js(page.view, QStringLiteral("document.getElementById('endofpage').parentNode === document.body")).toBool(),
        true);
    // Only the reader's reading headers carry reading ids; the content's look-alike lost its id.
    EXPECT_EQ(js(page.view,
                  QStringLiteral("Array.prototype.every.call(document.querySelectorAll('[id^=_reading]'),"
                                 "function(e){return /^_reading\\d+_[0-9a-f]{32}$/.test(e.id);})"))
                  .toBool(),
        true);
    EXPECT_GE(
        js(page.view, QStringLiteral("document.querySelectorAll('#_b8 .devounread:not([id])').length")).toInt(), 1);
    // A click on the content's look-alike reading header toggles nothing: once a click after it on the
    // reader's own header has toggled its reading, only that reading has changed.
    const QString header = QStringLiteral("#_reading4_%1").arg(js(page.view, QStringLiteral("qsFrameKey")).toString());
    ASSERT_TRUE(page.click(QStringLiteral("#_b8 .devounread:not([id])")));
    ASSERT_TRUE(page.click(header));
    ASSERT_TRUE(waitFor([&] { return book->complete.value(4); }));
    EXPECT_EQ(book->complete.keys(), QList<quint32>({4})) << "the look-alike toggled a reading";
    // Scrolling on keeps filling.
    QSignalSpy reports(&page.view, &BookPageView::positionReported);
    js(page.view, QStringLiteral("scrollToYOffset(getPageYOffset() + 600)"));
    EXPECT_TRUE(waitFor([&] { return reports.count() > 0; }));
    page.settle();
    // Even content that knew the bridge address could not call it with an image.
    js(page.view,
        QStringLiteral("(function(){var i=new Image();i.id='known';i.src=qsBridgeBase+'writeToLog?'+"
                       "encodeURIComponent('[\"pwned-known\"]');document.body.appendChild(i);})()"));
    // The image's request has been answered (or refused) once the image is complete; the page
    // script's own call after it arrives after it (and shows the log works).
    EXPECT_TRUE(TestSupport::waitForScript(
        page.view.page(), QStringLiteral("document.getElementById('known').complete"), true));
    js(page.view, QStringLiteral("jsInterface.writeToLog('script-call')"));
    EXPECT_TRUE(waitFor([&] { return log.loggedFromPage(QStringLiteral("script-call")); }));
    EXPECT_EQ(book->complete.keys(), QList<quint32>({4})) << "a reading was toggled";
    EXPECT_TRUE(recorder.requests.isEmpty());
    EXPECT_FALSE(server.hasPendingConnections());
    for (const char* mark : {"pwned-img", "pwned-css", "pwned-style", "pwned-guess", "pwned-known"})
        EXPECT_FALSE(log.loggedFromPage(QLatin1String(mark))) << mark;
    // The page script still reaches the reader, only with the page's secret.
    EXPECT_EQ(js(page.view, QStringLiteral("jsInterface.isReadingComplete(4) === true")).toBool(), true);
    const QVariant answers = js(page.view, QStringLiteral(R"((function () {
        function get(url) { var x = new XMLHttpRequest(); x.open('GET', url, false);
            try { x.send(); } catch (e) { return 'error'; } return x.status + ':' + x.responseText; }
        var wrong = qsBridgeBase.replace(/\/[0-9a-f]{32}\/$/, '/ffffffffffffffffffffffffffffffff/');
        return [get(qsBridgeBase + 'isABible?%5B%5D'), get(wrong + 'isABible?%5B%5D'),
            get(location.href.replace(/\/[^\/]*$/, '/call/isABible') + '?%5B%5D')];
    })())"));
    const QStringList got = answers.toStringList();
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0], QStringLiteral("200:false"));
    EXPECT_TRUE(got[1] == QLatin1String("error") || got[1].startsWith(QLatin1String("0:"))) << got[1].toStdString();
    EXPECT_TRUE(got[2] == QLatin1String("error") || got[2].startsWith(QLatin1String("0:")) ||
        got[2].startsWith(QLatin1String("404")))
        << got[2].toStdString();
    // The reader's own header still toggles its reading (back).
    ASSERT_TRUE(page.click(header));
    EXPECT_TRUE(waitFor([&] { return !book->complete.value(4); }));
    page.view.grab().save(kBuild + QStringLiteral("/hostile-book-page.png"));
}

// An element of book markup with attributes given by name.
TvkNode element(
    uint8_t tag, const std::vector<std::pair<std::string, std::string>>& attributes, std::vector<TvkNode> children = {})
{
    TvkNode node = TvkNode::element(tag, std::move(children));
    for (const auto& [name, value] : attributes) {
        TvkEncode::NodeAttribute a;
        a.named = true;
        a.name = name;
        a.value = TvkEncode::NodeAttribute::Value::Text;
        a.text = value;
        node.attributes.push_back(a);
    }
    return node;
}

// A devotional of 30 daily readings compiled with the book writer; every third reading holds the
// image, style and link forms of bridge calls, the frame's ids, a reading header's id and names
// that would cover the document's functions.
QString writeHostileDevotional(const QString& folder, const QString& remote)
{
    cTvkRichBook book;
    book.kind = cTvkRichBook::Kind::Dated;
    book.info.bookName = "Hostile Devotional";
    book.info.abbreviatedTitle = "Hostile";
    book.info.publisherId = 77;
    book.info.bookId = 7;
    const auto call = [](const std::string& name, const std::string& json) {
        return "call/" + name + "?" + QUrl::toPercentEncoding(QString::fromStdString(json)).toStdString();
    };
    const uint8_t img = HTMLTag::img;
    std::vector<uint32_t> readings;
    for (int day = 1; day <= 30; ++day) {
        std::vector<TvkNode> blocks;
        blocks.push_back(TvkNode::element(TvkTag::kP, {TvkNode::text("Reading for day " + std::to_string(day))}));
        if (day % 3 == 1) {
            blocks.push_back(element(TvkTag::kDiv, {{"id", "endofpage"}}, {TvkNode::text("fake end")}));
            blocks.push_back(element(TvkTag::kDiv, {{"id", "startofpage"}}, {TvkNode::text("fake start")}));
            blocks.push_back(
                element(TvkTag::kP, {{"style", "background-image:url('" + call("toggleReadingNumber", "[2]") + "')"}},
                    {TvkNode::text("styled day")}));
            blocks.push_back(element(TvkTag::kP, {},
                {element(img, {{"src", call("writeToLog", "[\"pwned-img\"]")}}),
                    element(img, {{"src", call("href", "[\"" + remote.toStdString() + "\"]")}}),
                    element(img, {{"src", call("toggleReadingNumber", "[3]")}}),
                    element(img, {{"name", "getElementById"}, {"src", "none.png"}})}));
            blocks.push_back(element(
                TvkTag::kDiv, {{"id", "_reading5"}, {"class", "devounread"}}, {TvkNode::text("fake reading header")}));
            blocks.push_back(element(TvkTag::kDiv, {{"id", "addEventListener"}}, {TvkNode::text("named")}));
        }
        readings.push_back(book.addSection({"Day " + std::to_string(day), 1, 0, blocks}));
    }
    book.setReadings(readings, 1, 1);
    const QString path = folder + QStringLiteral("/Hostile.tvk");
    std::string error;
    EXPECT_TRUE(book.writeFile(path.toStdString(), &error)) << error;
    return path;
}

TEST(BookPageView, AHostileCompiledBookNeitherCallsTheBridgeNorStopsThePage)
{
    REQUIRE_WEB_VIEW();
    QTcpServer server;  // where a hostile link would send the reader's browser
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTemporaryDir dir;
    auto book =
        bookFile(writeHostileDevotional(dir.path(), QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort())));
    ASSERT_TRUE(book != nullptr);
    ASSERT_EQ(book->numReadings(), 30u);
    const quint32 first = book->sectionForReadingNumber(1);
    QString html;
    for (quint32 b = book->blockForSection(first); b < book->blockForSection(book->sectionForReadingNumber(2)); ++b)
        html += book->htmlTextForBlock(b, {});
    // The renderer hands the hostile markup on: the page must cope with it.
    ASSERT_TRUE(html.contains(QLatin1String("call/writeToLog")) && html.contains(QLatin1String("endofpage")))
        << html.toStdString();
    QList<bool> before;
    for (quint32 r = 1; r <= 30; ++r)
        before << book->isReadingComplete(r);
    Page page(book);
    BridgeLog log;
    GoToRecorder recorder;
    page.goToSection(first);
    ASSERT_TRUE(waitFor([&] { return page.blocksOnPage().size() > 6; })) << "the page did not fill";
    expectConsecutive(page.blocksOnPage());
    js(page.view, QStringLiteral("scrollToYOffset(getPageYOffset() + 1500)"));
    page.settle();
    EXPECT_EQ(js(page.view, QStringLiteral("document.querySelectorAll('#endofpage,#startofpage').length")).toInt(), 2);
    EXPECT_GE(js(page.view, QStringLiteral("document.querySelectorAll('.devounread:not([id])').length")).toInt(), 1);
    // A click on the content's look-alike header, then one on a header of the reader's: once the
    // reader's has toggled its reading, that is the only reading changed.
    const QString own = js(
        page.view, QStringLiteral("(function(){var e=document.querySelector('[id^=_reading]');return e?e.id:'';})()"))
                            .toString();
    const quint32 reading = own.mid(8).section(QLatin1Char('_'), 0, 0).toUInt();
    ASSERT_TRUE(reading >= 1 && reading <= 30) << own.toStdString();
    ASSERT_TRUE(page.click(QStringLiteral(".devounread:not([id])")));
    ASSERT_TRUE(page.click(QLatin1Char('#') + own));
    ASSERT_TRUE(waitFor([&] { return book->isReadingComplete(reading) != before[int(reading - 1)]; }));
    for (quint32 r = 1; r <= 30; ++r) {
        if (r != reading) {
            EXPECT_EQ(book->isReadingComplete(r), before[static_cast<int>(r - 1)]) << "reading " << r;
        }
    }
    EXPECT_TRUE(recorder.requests.isEmpty());
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_FALSE(log.loggedFromPage(QStringLiteral("pwned")));
    page.view.grab().save(kBuild + QStringLiteral("/hostile-devotional-page.png"));
}

TEST(BookPageView, ImagesComeFromTheBookAndTheLogoFromTheReader)
{
    REQUIRE_WEB_VIEW();
    auto wrapped = std::make_shared<WrappedBookPageSource>(std::make_shared<FakeBookPageSource>());
    QFile picture(QStringLiteral(":/page/Tavrosen Logo.png"));
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    QImage tall(30, 60, QImage::Format_RGB32);
    tall.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(tall.save(&buffer, "PNG"));
    wrapped->files.insert(QStringLiteral("pic.png"), png);
    wrapped->replaced.insert(8,
        QStringLiteral("<p><img id='pic' src='pic.png'><img id='logo' src='Tavrosen Logo.png'>"
                       "<img id='bmp' src='logo100x24.bmp'><img id='none' src='none.png'>"
                       "<img id='far' src='../../../../etc/hostname.png'></p>"));
    Page page(wrapped);
    page.goToSection(4);
    const QString size = QStringLiteral("(function(){var i=document.getElementById('%1');return i.complete?"
                                        "i.naturalWidth+'x'+i.naturalHeight:'loading';})()");
    ASSERT_TRUE(waitFor([&] { return js(page.view, size.arg(QStringLiteral("pic"))).toString() != "loading"; }));
    EXPECT_EQ(js(page.view, size.arg(QStringLiteral("pic"))).toString(), QStringLiteral("30x60"));
    EXPECT_EQ(js(page.view, size.arg(QStringLiteral("logo"))).toString(), QStringLiteral("100x24"));
    EXPECT_EQ(js(page.view, size.arg(QStringLiteral("bmp"))).toString(), QStringLiteral("100x24"));
    EXPECT_EQ(js(page.view, size.arg(QStringLiteral("none"))).toString(), QStringLiteral("0x0"));
    EXPECT_EQ(js(page.view, size.arg(QStringLiteral("far"))).toString(), QStringLiteral("0x0"));
}

// The fake book, with a picture in block 8 when asked.
static std::shared_ptr<WrappedBookPageSource> fakeBookWithPicture(bool picture)
{
    auto wrapped = std::make_shared<WrappedBookPageSource>(std::make_shared<FakeBookPageSource>());
    if (picture)
        wrapped->replaced.insert(8, QStringLiteral("<p><img src='x.png' width='20' height='20'></p>"));
    return wrapped;
}

// The fake book without and with a picture, each on a page at section 4. A resize of both, the plain
// page's first, is the barrier for what the plain page does not do: its resize's settling came before
// the pictured page's, whose new page shows it has come.
TEST(BookPageView, RenderingTheBlocksAgainReplacesThemInPlaceWithoutALoad)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    auto book = std::make_shared<WrappedBookPageSource>(kjv());
    Page page(book);
    page.goToKey(key(43, 3, 16));
    const QList<int> before = page.blocksOnPage();
    ASSERT_GE(before.size(), 3);
    const quint32 shown = page.source->blockForSection(page.source->sectionForBibleKey(key(43, 3, 16)));
    const quint32 above = quint32(before.first());
    const quint32 below = quint32(before.last());
    // The book renders three of the page's blocks differently now (a search marked them, say).
    for (const quint32 b : {above, below})
        book->replaced.insert(b, QStringLiteral("<div><span class='_search'>now %1</span></div>").arg(b));
    // (The verse opens a paragraph, as in the book.)
    book->replaced[shown] = QStringLiteral("<p><span id='_s43.3.16'><sup>16</sup></span><span class='_search'>"
                                           "now %1</span></p>")
                                .arg(shown);
    QSignalSpy loads(&page.view, &BookPageView::pageLoaded);
    const quint64 serial = page.view.webViewSerialNumber();
    page.view.renderBlocksAgain();
    ASSERT_TRUE(waitFor([&] {
        return js(page.view, QStringLiteral("document.querySelectorAll('span._search').length")).toInt() == 3;
    }));
    for (const quint32 b : {above, shown, below})
        EXPECT_EQ(js(page.view, QStringLiteral("document.getElementById('_b%1').textContent").arg(b)).toString(),
            QStringLiteral("%1now %2").arg(b == shown ? QStringLiteral("16") : QString()).arg(b))
            << "block " << b;
    // The same page, the same blocks, the verse still at the top.
    EXPECT_EQ(loads.count(), 0);
    EXPECT_EQ(page.view.webViewSerialNumber(), serial);
    const QList<int> after = page.blocksOnPage();
    for (const int b : before)
        EXPECT_TRUE(after.contains(b)) << "block " << b << " went";
    expectConsecutive(after);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s43.3.16")), 0.0, 8.0);
}

// A page of the wrapped KJV whose blocks the tests render differently, as a note or a highlight
// written elsewhere does.
class RenderedAgainPage : public Page {
public:
    // The page gone to the verse.
    explicit RenderedAgainPage(quint32 verseKey) : RenderedAgainPage(std::make_shared<WrappedBookPageSource>(kjv()))
    {
        goToKey(verseKey);
    }
    explicit RenderedAgainPage(std::shared_ptr<WrappedBookPageSource> wrapped) : Page(wrapped), book(std::move(wrapped))
    {
    }
    quint32 blockOf(quint32 verseKey) { return source->blockForSection(source->sectionForBibleKey(verseKey)); }
    // The markup the page made the verse's block from.
    QString markupOf(quint32 verseKey)
    {
        return js(view, QStringLiteral("qsBlockSources.get(document.getElementById('_b%1'))").arg(blockOf(verseKey)))
            .toString();
    }
    // The verse highlighted, as the renderer marks it.
    void highlight(quint32 verseKey)
    {
        const QString span = QStringLiteral("data-verse-span=\"sel_s%1.%2.%3\"")
                                 .arg(verseKey >> 16)
                                 .arg((verseKey >> 8) & 0xFF)
                                 .arg(verseKey & 0xFF);
        QString markup = markupOf(verseKey);
        ASSERT_TRUE(markup.contains(span)) << markup.toStdString();
        book->replaced[blockOf(verseKey)] = markup.replace(span, QStringLiteral("class=\"yellow\" ") + span);
    }
    // The link to a note on the verse, after its number, as the renderer writes it.
    void addNoteLink(quint32 verseKey)
    {
        const QString id =
            QStringLiteral("_s%1.%2.%3").arg(verseKey >> 16).arg((verseKey >> 8) & 0xFF).arg(verseKey & 0xFF);
        QString markup = markupOf(verseKey);
        const QRegularExpression number(
            QStringLiteral("(<span id='%1'>.*?</span>)").arg(QRegularExpression::escape(id)));
        ASSERT_TRUE(markup.contains(number)) << markup.toStdString();
        book->replaced[blockOf(verseKey)] = markup.replace(number,
            QStringLiteral("\\1<a href=\"javascript:href('note:_%1%2%3%4')\">Note</a>&nbsp;")
                .arg(verseKey >> 16, 3, 10, QLatin1Char('0'))
                .arg((verseKey >> 8) & 0xFF, 3, 10, QLatin1Char('0'))
                .arg(verseKey & 0xFF, 3, 10, QLatin1Char('0'))
                .arg(QLatin1String("000")));
    }
    // Renders the page's blocks again and answers how many of them were replaced.
    int renderAgain()
    {
        js(view, QStringLiteral("window.qsBefore=qsBlocks()"));
        QSignalSpy rendered(&view, &BookPageView::blocksRenderedAgain);
        view.renderBlocksAgain();
        EXPECT_TRUE(waitFor([&] { return !rendered.isEmpty(); })) << "the blocks were not rendered again";
        return js(view, QStringLiteral("qsBefore.filter(function(b){return !document.body.contains(b);}).length"))
            .toInt();
    }
    std::shared_ptr<WrappedBookPageSource> book;
};

// A render of the page's blocks replaces only the blocks whose markup changed, and the reader's
// selection keeps its words and its verses, also when its own verses are replaced: nothing the
// reader holds changes under a highlight or note written elsewhere.
TEST(BookPageView, RenderingTheBlocksAgainKeepsTheSelectionAndItsVerses)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    RenderedAgainPage page(key(43, 3, 18));
    // From "this" in 3:19 to "For ev" in 3:20 (a Strong's number between them), as a drag selects it.
    ASSERT_TRUE(js(page.view,
        QStringLiteral("(function(){function at(v,word,after){var s=document.querySelector("
                       "'span[data-verse-span=\"sel_s43.3.'+v+'\"]');var w=document.createTreeWalker(s,"
                       "NodeFilter.SHOW_TEXT);for(var n=w.nextNode();n;n=w.nextNode()){var i=n.data.indexOf(word);"
                       "if(i>=0)return [n,i+(after?word.length:0)];}return null;}var a=at(19,'this',false),"
                       "b=at(20,'ev',true);if(!a||!b)return false;"
                       "getSelection().setBaseAndExtent(a[0],a[1],b[0],b[1]);return true;})()"))
                    .toBool());
    const auto selection = [&] {
        return js(page.view, QStringLiteral("JSON.stringify([qsSelectionWords()[0],getSelectedBlocksOrKeys()])"))
            .toString();
    };
    const QString held = selection();
    ASSERT_TRUE(held.startsWith(QStringLiteral("[\"this is the condemnation"))) << held.toStdString();
    ASSERT_TRUE(held.endsWith(QStringLiteral("evil.\\nFor ev\",[%1,%2]]").arg(key(43, 3, 19)).arg(key(43, 3, 20))))
        << held.toStdString();
    ASSERT_TRUE(waitFor([&] { return page.view.selectedBibleRefString() == QStringLiteral("John 3:19-20"); }));

    EXPECT_EQ(page.renderAgain(), 0) << "a render with no change replaced blocks";
    EXPECT_EQ(selection(), held);
    page.highlight(key(43, 3, 21));
    EXPECT_EQ(page.renderAgain(), 1);
    EXPECT_EQ(selection(), held) << "a highlight on another verse";
    page.highlight(key(43, 3, 19));
    page.addNoteLink(key(43, 3, 20));
    EXPECT_EQ(page.renderAgain(), 2);
    EXPECT_EQ(selection(), held) << "a highlight and a note link on the selected verses";
    EXPECT_EQ(js(page.view, QStringLiteral("document.querySelectorAll('.yellow').length")).toInt(), 2);
    page.settle();
    EXPECT_EQ(page.view.selectedBibleRefString(), QStringLiteral("John 3:19-20"));

    // A block with a footnote, whose number every rendering counts anew, is the same block.
    const quint32 footnoted = firstBlockWithANote(*page.source);
    ASSERT_NE(footnoted, 0u);
    page.goToSection(page.source->sectionForBlock(footnoted));
    ASSERT_TRUE(page.blocksOnPage().contains(int(footnoted)));
    EXPECT_EQ(page.renderAgain(), 0);
}

// A note link added above the view moves the text under it by a fraction of a pixel now and then:
// the verse at the top stays exactly where it was.
TEST(BookPageView, RenderingTheBlocksAgainKeepsTheTopVerseToTheFractionOfAPixel)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    RenderedAgainPage page(key(43, 3, 16));
    // Lines a fraction of a pixel high (each as high as the next), and the view's top inside 3:16.
    js(page.view,
        QStringLiteral("document.styleSheets[0].insertRule('[data-qs-block],[data-qs-block] *"
                       "{line-height:19.3px !important;vertical-align:baseline !important}',0);"
                       "scrollToElement('_s43.3.16',23)"));
    page.settle();
    const QString verse = QStringLiteral("_s43.3.16");
    const auto placeOf = [&] {
        return js(page.view,
            QStringLiteral("(function(){var t=document.getElementById('%1').getBoundingClientRect().top;"
                           "return [t, t-document.getElementById('_s43.3.6').getBoundingClientRect().top];})()")
                .arg(verse))
            .toList();
    };
    const QVariantList before = placeOf();
    ASSERT_EQ(before.size(), 2);
    ASSERT_LT(before[0].toDouble(), 0.0) << "the verse starts above the view";
    for (quint32 v = 6; v <= 14; ++v)
        page.addNoteLink(key(43, 3, v));
    EXPECT_EQ(page.renderAgain(), 9);
    const QVariantList after = placeOf();
    ASSERT_EQ(after.size(), 2);
    const double moved = after[1].toDouble() - before[1].toDouble();
    ASSERT_GT(moved, 0.0) << "the note links took no room";
    ASSERT_GT(std::abs(moved - std::round(moved)), 0.05) << moved << ": nothing to keep to a fraction";
    EXPECT_EQ(after[0].toDouble(), before[0].toDouble());
}

// A render that comes while a new page fetches the blocks around its place leaves the placement to
// finish: the page is filled around the place, which stays where it painted.
TEST(BookPageView, ARenderDuringAFillLeavesTheFillToFinish)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    RenderedAgainPage page(key(43, 3, 16));
    // The page as a new one stands after its first paint: the place's screen only, no room held.
    // (Placed as landing, so that the scroll this makes fills nothing.)
    ASSERT_TRUE(js(page.view,
        QStringLiteral("(function(){qsPlacement.state=qsPlacementState.LANDING;var top=qsAnchorElement();"
                       "var bs=qsBlocks(),at=bs.indexOf(top);qsKeepingPlace(function(){bs.forEach(function(b,i){"
                       "if(i<at||i>at+6)b.parentNode.removeChild(b);});});qsScanBlocks();"
                       "qsPlacement.atStart=qsPlacement.atEnd=false;return qsBlocks().length===7;})()"))
                    .toBool());
    ASSERT_TRUE(TestSupport::waitForPainted(page.view.page(), &page.view));
    const double top = page.topOf(QStringLiteral("_s43.3.16"));
    // The blocks around the place are on their way (held here until the render is done).
    ASSERT_EQ(js(page.view,
                  QStringLiteral("window.qsHeld=[];var real=jsInterface.getHTMLTextForBlocksLater;"
                                 "jsInterface.getHTMLTextForBlocksLater=function(f,c,done){qsHeld.push(function(){"
                                 "real(f,c,done);});};qsPlacement.state=qsPlacementState.IDLE;"
                                 "qsFillAroundPlacement();qsPlacement.state"))
                  .toString(),
        QStringLiteral("fetching"));
    page.highlight(key(43, 3, 17));
    EXPECT_EQ(page.renderAgain(), 1);
    EXPECT_EQ(js(page.view, QStringLiteral("qsPlacement.state")).toString(), QStringLiteral("fetching"));
    js(page.view,
        QStringLiteral("jsInterface.getHTMLTextForBlocksLater=real;qsHeld.forEach(function(f){f();});qsHeld=[]"));
    const quint32 shown = page.blockOf(key(43, 3, 16));
    ASSERT_TRUE(waitFor([&] {
        const QList<int> blocks = page.blocksOnPage();
        return !blocks.isEmpty() && blocks.first() < int(shown) - 5 && blocks.last() > int(shown) + 10 &&
            js(page.view, QStringLiteral("qsPlacement.state")).toString() == QStringLiteral("idle");
    })) << "the page was not filled around its place";
    expectConsecutive(page.blocksOnPage());
    EXPECT_NEAR(page.topOf(QStringLiteral("_s43.3.16")), top, 1.0);
}

// The middle of a word of a verse in the view, as the point to press on (-1, -1 when not found).
QPoint wordInView(BookPageView& view, quint32 verseKey, const QString& word)
{
    const QVariantList at = js(view,
        QStringLiteral("(function(){var s=document.querySelector('span[data-verse-span=\"sel_s%1.%2.%3\"]');"
                       "if(!s)return [];var w=document.createTreeWalker(s,NodeFilter.SHOW_TEXT);"
                       "for(var n=w.nextNode();n;n=w.nextNode()){var i=n.data.indexOf(%4);if(i<0)continue;"
                       "var r=document.createRange();r.setStart(n,i);r.setEnd(n,i+%4.length);"
                       "var b=r.getBoundingClientRect();return [b.left+b.width/2,b.top+b.height/2];}"
                       "return [];})()")
            .arg(verseKey >> 16)
            .arg((verseKey >> 8) & 0xFF)
            .arg(verseKey & 0xFF)
            .arg(BookPageHtml::scriptString(word)))
                                .toList();
    return at.size() == 2 ? QPoint(qRound(at[0].toDouble()), qRound(at[1].toDouble())) : QPoint(-1, -1);
}

// A render of the page's blocks keeps what the reader holds. A word selected by the mouse right
// after the place where a note link comes in keeps its characters, the link staying out of it; a
// click on a link inside a selection follows the link; the verse last pressed (on its number, just
// before the note link that comes in) stays the one the keyboard's context menu acts on; and a
// footnote the reader opened stays open when its block is rendered anew (a verse of it highlighted).
TEST(BookPageView, ARenderKeepsTheSelectedCharactersTheOpenFootnotesAndThePressedVerse)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    RenderedAgainPage page(key(43, 3, 16));
    QWidget* mouse = page.view.focusProxy() ? page.view.focusProxy() : &page.view;
    const auto selected = [&] { return js(page.view, QStringLiteral("getSelection().toString()")).toString(); };
    const QPoint forWord = wordInView(page.view, key(43, 3, 17), QStringLiteral("For"));
    ASSERT_GE(forWord.y(), 0);
    ASSERT_TRUE(js(page.view,
        QStringLiteral(
            "(function(){var s=document.querySelector('span[data-verse-span=\"sel_s43.3.17\"]');"
            "var w=document.createTreeWalker(s,NodeFilter.SHOW_TEXT);for(var n=w.nextNode();n;n=w.nextNode()){"
            "var i=n.data.indexOf('For');if(i>=0){getSelection().setBaseAndExtent(n,i,n,i+3);return true;}}"
            "return false;})()"))
                    .toBool());
    ASSERT_TRUE(waitFor([&] { return selected() == QLatin1String("For"); }))
        << selected().toStdString() << " at " << forWord.x() << "," << forWord.y();

    page.addNoteLink(key(43, 3, 17));
    EXPECT_EQ(page.renderAgain(), 1);
    const QString link = QStringLiteral("document.querySelector('a[href*=\"note:_043003017000\"]')");
    ASSERT_TRUE(js(page.view, link + QStringLiteral("!==null")).toBool());
    EXPECT_EQ(selected(), QStringLiteral("For"));
    EXPECT_FALSE(js(page.view, QStringLiteral("getSelection().containsNode(%1,true)").arg(link)).toBool());

    // A selection from 3:16's last words over the link into 3:17; the link clicked inside it.
    ASSERT_TRUE(js(page.view,
        QStringLiteral("(function(){var a=document.querySelector('span[data-verse-span=\"sel_s43.3.16\"]');"
                       "var b=document.querySelector('span[data-verse-span=\"sel_s43.3.17\"]');if(!a||!b)return false;"
                       "var w=document.createTreeWalker(b,NodeFilter.SHOW_TEXT),n=w.nextNode();"
                       "while(n&&n.data.indexOf('For')<0)n=w.nextNode();if(!n)return false;"
                       "var r=document.createRange();r.setStart(a,0);r.setEnd(n,n.data.indexOf('For')+3);"
                       "getSelection().removeAllRanges();"
                       "getSelection().addRange(r);return getSelection().containsNode(%1,true);})()")
            .arg(link))
                    .toBool());
    GoToRecorder recorder;
    ASSERT_TRUE(page.click(QStringLiteral("a[href*=\"note:_043003017000\"]")));
    ASSERT_TRUE(waitFor([&] { return !recorder.requests.isEmpty(); })) << "the link in the selection was not followed";
    EXPECT_EQ(recorder.requests.first().value(QStringLiteral("href")).toString(), QStringLiteral("note:_043003017000"));

    // A press on 3:18's number; a note link comes in right after it.
    page.goToKey(key(43, 3, 16));
    const QPoint number = [&] {
        const QVariantList r = js(page.view,
            QStringLiteral("(function(){var b=document.getElementById('_s43.3.18').getBoundingClientRect();"
                           "return [b.left+b.width/2,b.top+b.height/2];})()"))
                                   .toList();
        return r.size() == 2 ? QPoint(qRound(r[0].toDouble()), qRound(r[1].toDouble())) : QPoint(-1, -1);
    }();
    ASSERT_GT(number.y(), 0);
    QTest::mouseClick(mouse, Qt::LeftButton, Qt::NoModifier, number);
    ASSERT_TRUE(waitFor([&] { return js(page.view, QStringLiteral("qsLastPress!==null")).toBool(); }));
    page.view.clearSelection();
    page.addNoteLink(key(43, 3, 18));
    EXPECT_EQ(page.renderAgain(), 1);
    const QVariantList menu = js(page.view, QStringLiteral("qsMenuSelection()")).toList();
    ASSERT_EQ(menu.size(), 3);
    EXPECT_EQ(menu[2].toList(), (QVariantList {double(key(43, 3, 18))}));

    // A footnote opened, and a verse of its block highlighted.
    const quint32 noted = firstBlockWithANote(*page.source);
    ASSERT_NE(noted, 0u);
    page.goToSection(page.source->sectionForBlock(noted));
    const QString display =
        QStringLiteral("getComputedStyle(document.querySelector('#_b%1 .footnote')).display").arg(noted);
    ASSERT_TRUE(page.click(QStringLiteral("#_b%1 a.footnotetoggle").arg(noted)));
    ASSERT_TRUE(waitFor([&] { return js(page.view, display).toString() == QLatin1String("inline"); }));
    const quint32 verse = BookPageHtml::bibleKeyFromDataVerseSpan(js(page.view,
        QStringLiteral("document.querySelector('#_b%1 span[data-verse-span]').getAttribute('data-verse-span')")
            .arg(noted))
                                                                      .toString());
    page.highlight(verse);
    EXPECT_EQ(page.renderAgain(), 1);
    EXPECT_EQ(js(page.view, QStringLiteral("document.querySelectorAll('#_b%1 .yellow').length").arg(noted)).toInt(), 1);
    EXPECT_EQ(js(page.view, display).toString(), QStringLiteral("inline")) << "the open footnote closed";
}

TEST(BookPageView, AChaptersHeadingLandsAtTheTopAndIsReportedAsThePlace)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    const quint32 heading = page.source->sectionForBibleKey(key(1, 2, 0));
    ASSERT_NE(heading, 0u);
    ASSERT_EQ(page.source->keyForSection(heading), key(1, 2, 0));
    page.goToSection(heading);
    // The heading's block at the top, the chapter's first verse right under it.
    const quint32 block = page.source->blockForSection(heading);
    EXPECT_NEAR(page.topOf(QStringLiteral("_b%1").arg(block)), 0.0, 8.0);
    const double verse = page.topOf(QStringLiteral("_s1.2.1"));
    EXPECT_GT(verse, 0.0);
    EXPECT_LT(verse, 120.0);
    // The page's own report keeps the heading as the place.
    EXPECT_EQ(page.host.state().section(), heading);
    EXPECT_EQ(page.host.state().block(), qint64(block));
    // From elsewhere in the loaded page too.
    page.goToKey(key(1, 2, 5));
    page.goToSection(heading);
    EXPECT_NEAR(page.topOf(QStringLiteral("_b%1").arg(block)), 0.0, 8.0);
    EXPECT_EQ(page.host.state().section(), heading);
}

// The space that sets a paragraph apart stands above the verse that opens it, where the book marks its
// paragraphs (a verse whose block is a paragraph element): Genesis 1 reads 1-2 | 3-5 | 6-8 ..., John 3
// ... 14-15 | 16-17 | 18-21.
TEST(BookPageView, ParagraphGapsStandAboveTheVersesThatOpenTheBooksParagraphs)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.view.resize(800, 2400);  // a whole chapter's first verses on the page at once
    for (const quint32 chapter : {key(1, 1, 0), key(43, 3, 0)}) {
        SCOPED_TRACE(chapter);
        page.goToKey(chapter + 1);
        int pairs = 0;
        int opening = 0;
        for (quint32 verse = chapter + 2; verse <= chapter + 21; ++verse) {
            // The book's mark.
            const quint32 block = page.source->blockForSection(page.source->sectionForBibleKey(verse));
            const bool opens =
                page.source->htmlTextForBlock(block, {}).trimmed().startsWith(QLatin1String("<p"), Qt::CaseInsensitive);
            // The page: the space between the box of the verse before and this verse's box.
            const QVariant gap = js(page.view,
                QStringLiteral("(function(a,b){var x=document.getElementById(a),y=document.getElementById(b);"
                               "if(!x||!y)return null;return y.closest('p,div').getBoundingClientRect().top-"
                               "x.closest('p,div').getBoundingClientRect().bottom;})('_s%1.%2.%3','_s%1.%2.%4')")
                    .arg(verse >> 16)
                    .arg((verse >> 8) & 0xFF)
                    .arg((verse & 0xFF) - 1)
                    .arg(verse & 0xFF));
            if (gap.isNull() || !gap.isValid())
                continue;
            ++pairs;
            opening += opens ? 1 : 0;
            EXPECT_EQ(gap.toDouble() > 3.0, opens)
                << "verse " << (verse & 0xFF) << ", space above it " << gap.toDouble();
        }
        EXPECT_GE(pairs, 15);
        EXPECT_GE(opening, 2);
    }
}

struct PlainAndPictured {
    PlainAndPictured()
    {
        plain.goToSection(4);
        pictured.goToSection(4);
    }
    // Narrows both pages and waits until the pictured one was rendered again for its new width.
    bool narrowBoth()
    {
        const quint64 serial = pictured.view.webViewSerialNumber();
        for (Page* page : {&plain, &pictured})
            page->view.resize(page->view.width() - 120, page->view.height());
        if (!waitFor([&] { return pictured.view.webViewSerialNumber() > serial; }))
            return false;
        pictured.settle();
        return pictured.view.lastPaneWidth() == pictured.view.textWidth();
    }
    Page plain {fakeBookWithPicture(false)};
    Page pictured {fakeBookWithPicture(true)};
};

TEST(BookPageView, APageWithImagesIsRenderedAgainWhenTheWidthChangedBeforeItLoaded)
{
    REQUIRE_WEB_VIEW();
    PlainAndPictured pages;
    std::map<Page*, quint64> serials;
    for (Page* page : {&pages.plain, &pages.pictured}) {
        serials[page] = page->view.webViewSerialNumber();
        QSignalSpy loaded(&page->view, &BookPageView::pageLoaded);
        page->view.displayCurrentSource(true);
        page->view.resize(500, 600);  // before the page has loaded
        ASSERT_TRUE(waitFor([&] { return loaded.count() > 0; }));
    }
    ASSERT_TRUE(waitFor([&] { return pages.pictured.view.webViewSerialNumber() == serials[&pages.pictured] + 2; }));
    pages.pictured.settle();
    EXPECT_EQ(pages.pictured.view.lastPaneWidth(), pages.pictured.view.textWidth());
    ASSERT_TRUE(pages.narrowBoth());
    EXPECT_EQ(pages.plain.view.webViewSerialNumber(), serials[&pages.plain] + 1) << "the plain page was rendered again";
}

TEST(BookPageView, APageWithImagesIsRenderedAgainAfterAResize)
{
    REQUIRE_WEB_VIEW();
    PlainAndPictured pages;
    pages.plain.settle();
    pages.pictured.settle();
    const quint64 plain = pages.plain.view.webViewSerialNumber();
    const double before = pages.pictured.view.lastPaneWidth();
    ASSERT_TRUE(pages.narrowBoth());
    EXPECT_LT(pages.pictured.view.lastPaneWidth(), before);
    // Past the resize's settling time the page without pictures is still the same one.
    EXPECT_EQ(pages.plain.view.webViewSerialNumber(), plain);
}

TEST(BookPageView, MalformedBridgeCallsAreRefused)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    const QVariant bad = js(page.view, QStringLiteral(R"((function () {
        var base = qsBridgeBase, out = [];
        function get(url) { var x = new XMLHttpRequest(); x.open('GET', url, false);
            try { x.send(); } catch (e) { return 'error'; } return x.status + ':' + x.responseText; }
        out.push(get(base + 'getHTMLTextForBlock?' + encodeURIComponent('{"not":"an array"}')));
        out.push(get(base + 'getHTMLTextForBlock?' + encodeURIComponent('["12"]')));
        out.push(get(base + 'getHTMLTextForBlock?' + encodeURIComponent('[1.5]')));
        out.push(get(base + 'getHTMLTextForBlock?' + encodeURIComponent('[-1]')));
        out.push(get(base + 'getHTMLTextForBlock?' + encodeURIComponent('[99999999]')));
        out.push(get(base + 'noSuchCall?' + encodeURIComponent('[]')));
        out.push(get(base.replace(/bridge\/[^\/]+\//, 'bridge/0000/') + 'isABible?' + encodeURIComponent('[]')));
        return out;
    })())"));
    const QStringList answers = bad.toStringList();
    ASSERT_EQ(answers.size(), 7);
    EXPECT_TRUE(answers[0] == QLatin1String("error") || answers[0].startsWith(QLatin1String("0:")));
    EXPECT_EQ(answers[1], QStringLiteral("200:null"));
    EXPECT_EQ(answers[2], QStringLiteral("200:null"));
    EXPECT_EQ(answers[3], QStringLiteral("200:null"));
    EXPECT_EQ(answers[4], QStringLiteral("200:null"));
    EXPECT_EQ(answers[5], QStringLiteral("200:null"));
    EXPECT_TRUE(answers[6] == QLatin1String("error") || answers[6].startsWith(QLatin1String("0:")));
    EXPECT_EQ(js(page.view, QStringLiteral("jsInterface.isABible()")).toBool(), true);
}

// --- daily readings -------------------------------------------------------------------------------

TEST(BookPageView, TheReadingHeaderTogglesTheReadMark)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    auto book = openBook(QStringLiteral("DailyReadings.tvk"));
    Page page(book);
    QSignalSpy reports(&page.view, &BookPageView::positionReported);
    GoToRequest today;
    today.todaysReading = true;
    page.view.goTo(book, today);
    ASSERT_TRUE(waitFor([&] { return reports.count() > 0; }));
    page.settle();
    const quint32 reading = book->readingNumberForSection(static_cast<quint32>(page.host.state().section()));
    ASSERT_NE(reading, 0u);
    EXPECT_TRUE(page.view.canToggleReadingComplete());
    // The reader's header carries the page's frame key; content cannot know it.
    const QString header = QStringLiteral("_reading%1_%2").arg(reading).arg(js(page.view, "qsFrameKey").toString());
    ASSERT_EQ(header.size(), QStringLiteral("_reading%1_").arg(reading).size() + 32);
    const QString cls = QStringLiteral("document.getElementById('%1').className").arg(header);
    const bool before = book->isReadingComplete(reading);
    EXPECT_EQ(js(page.view, cls).toString(), before ? QStringLiteral("devoread") : QStringLiteral("devounread"));
    ASSERT_TRUE(page.click(QLatin1Char('#') + header));
    ASSERT_TRUE(waitFor([&] { return book->isReadingComplete(reading) != before; }));
    EXPECT_EQ(js(page.view, cls).toString(), before ? QStringLiteral("devounread") : QStringLiteral("devoread"));
    book->toggleReadingNumber(reading);
    page.view.updateDevotionalReadingStatus();
    EXPECT_TRUE(waitFor([&] {
        return js(page.view, cls).toString() == (before ? QLatin1String("devoread") : QLatin1String("devounread"));
    }));
}

// --- link previews --------------------------------------------------------------------------------

// A page of the Scofield notes at section 100 with the first block at or below the top (which may
// be a heading alone) that holds two links brought to the view's middle; hover(i) moves the pointer
// onto its link i and answers the link's target.
struct PageWithLinks {
    PageWithLinks()
    {
        page.goToSection(100);
        block = js(page.view,
            QStringLiteral("qsBlockNumberFromId(qsBlocks().filter(function(d){return qsBlockNumberFromId(d.id)>=%1"
                           "&&d.querySelectorAll('a[href^=\"javascript:href\"]').length>1;})[0].id)")
                .arg(page.host.state().block()))
                    .toLongLong();
        js(page.view,
            QStringLiteral(
                "document.querySelector('#_b%1 a[href^=\"javascript:href\"]').scrollIntoView({block:'center'})")
                .arg(block));
        page.settle();
    }
    QString hover(int link)
    {
        return js(page.view,
            QStringLiteral(
                "(function(i){var e=document.querySelectorAll('#_b%2 a[href^=\"javascript:href\"]')[i];"
                "e.dispatchEvent(new MouseEvent('mouseover',{bubbles:true}));return e.getAttribute('href');})"
                "(%1)")
                .arg(link)
                .arg(block))
            .toString();
    }
    Page page {openBook(QStringLiteral("Scofield.tvk"))};
    qint64 block = 0;
};

TEST(BookPageView, HoveringALinkSchedulesOnePreview)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    PageWithLinks links;
    Page& page = links.page;
    // A second page whose preview, scheduled after anything the first page scheduled and with the
    // same delay, shows after it: the barrier for a preview the first page must not show.
    PageWithLinks other;
    int otherLink = 0;
    const auto previewOnTheOtherPage = [&] {
        const qsizetype shown = other.page.host.previews.size();
        other.hover(otherLink);
        otherLink = 1 - otherLink;
        return waitFor([&] { return other.page.host.previews.size() > shown; });
    };
    links.hover(0);
    const QString second = links.hover(1);  // within 0.5 s: only this one shows
    ASSERT_TRUE(waitFor([&] { return !page.host.previews.isEmpty(); }));
    ASSERT_EQ(page.host.previews.size(), 1);
    EXPECT_EQ(page.host.previews.first(), second + QLatin1Char('|'));
    EXPECT_GT(page.host.previewRect.width(), 0);
    EXPECT_GE(page.host.previewRect.top(), 0);
    EXPECT_LT(page.host.previewRect.top(), page.view.height());
    // Moving away closes it and cancels a pending one: moving from link 1 to link 0 closes the shown
    // one and schedules another, moving off the link closes again.
    const int closed = page.host.previewsClosed;
    links.hover(0);
    js(page.view, QStringLiteral("document.body.dispatchEvent(new MouseEvent('mouseover',{bubbles:true}))"));
    ASSERT_TRUE(waitFor([&] { return page.host.previewsClosed >= closed + 2; }));
    ASSERT_TRUE(previewOnTheOtherPage());
    EXPECT_EQ(page.host.previews.size(), 1);
    // With previews off nothing is scheduled (the page's call answered before the reader answers a
    // later one).
    TestSupport::privateDefaults().set(SettingsKeys::VersePopovers, false);
    links.hover(1);
    js(page.view, QStringLiteral("jsInterface.isABible()"));
    TestSupport::privateDefaults().remove(SettingsKeys::VersePopovers);
    ASSERT_TRUE(previewOnTheOtherPage());
    EXPECT_EQ(page.host.previews.size(), 1);
}

TEST(BookPageView, AFootnoteMarkerPreviewCarriesTheNote)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    auto book = kjv();
    const quint32 noted = firstBlockWithANote(*book);
    ASSERT_NE(noted, 0u);
    Page page(book);
    page.goToSection(book->sectionForBlock(noted));
    const QString note = js(page.view,
        QStringLiteral("(function(){var a=document.querySelector('#_b%1 a.footnotetoggle');"
                       "a.dispatchEvent(new MouseEvent('mouseover',{bubbles:true}));"
                       "return document.querySelector('#_b%1 .footnote').textContent;})()")
            .arg(noted))
                             .toString();
    ASSERT_TRUE(waitFor([&] { return !page.host.previews.isEmpty(); }, 3000));
    const QString shown = page.host.previews.first().section(QLatin1Char('|'), 1);
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_TRUE(note.contains(shown)) << shown.toStdString();
    EXPECT_FALSE(shown.startsWith(QLatin1Char('[')));
}

// Answers the link previews' questions as the go-to router would, recording each question.
class RouterStandIn {
public:
    explicit RouterStandIn(std::function<void(GoToRequest&)> answer) : m_answer(std::move(answer)) { }
    LinkPreview::LinkResolver resolver()
    {
        return [this](GoToRequest& request) {
            asked << request;
            m_answer(request);
        };
    }
    QList<GoToRequest> asked;

private:
    std::function<void(GoToRequest&)> m_answer;
};

TEST(LinkPreview, PreviewTextOfABiblePassage)
{
    REQUIRE_LIBRARY();
    auto book = kjv();
    const quint32 s16 = book->sectionForBibleKey(key(43, 3, 16));
    RouterStandIn router([&](GoToRequest& request) {
        if (request.href == QLatin1String("bible:John 3:16-17")) {
            request.sourceTuple = book->tuple();
            request.section = s16;
            request.endSectionNumber = s16 + 1;
        } else if (request.href == QLatin1String("bible:Nowhere 9")) {
            request.alertText = QStringLiteral("No such passage");
        }
    });
    const LinkPreview preview(router.resolver());
    const QString text = preview.stringForPopupFromHref(QStringLiteral("javascript:href('bible:John 3:16-17');"));
    ASSERT_EQ(router.asked.size(), 1);
    EXPECT_EQ(router.asked[0].href, QStringLiteral("bible:John 3:16-17"));
    EXPECT_TRUE(router.asked[0].preferPreferredBible);
    EXPECT_TRUE(router.asked[0].noAlerts);
    EXPECT_TRUE(text.contains(QLatin1String("For God so loved the world"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("to condemn the world"))) << text.toStdString();
    EXPECT_EQ(text, text.trimmed());
    EXPECT_EQ(preview.stringForPopupFromHref(QStringLiteral("javascript:href(\"bible:John 3:16-17\");")), text);
    EXPECT_EQ(preview.stringForPopupFromHref(QStringLiteral("bible:Nowhere 9")), QStringLiteral("No such passage"));
    EXPECT_TRUE(preview.stringForPopupFromHref(QStringLiteral("bible:unknown")).isNull());
    const int asked = router.asked.size();
    EXPECT_TRUE(preview.stringForPopupFromHref(QStringLiteral("javascript:href('note:_001002003000');")).isNull());
    EXPECT_EQ(router.asked.size(), asked);  // notes are not even resolved

    // A passage formatter gets the range and the preview options.
    PassageOptions seen;
    QString range;
    const LinkPreview formatted(
        router.resolver(), [&](const SourceTuple::Ptr&, quint32 start, quint32 end, const PassageOptions& options) {
            seen = options;
            range = QStringLiteral("%1-%2").arg(start).arg(end);
            return QStringLiteral("  formatted \n");
        });
    EXPECT_EQ(formatted.stringForPopupFromHref(QStringLiteral("bible:John 3:16-17")), QStringLiteral("formatted"));
    EXPECT_EQ(range, QStringLiteral("%1-%2").arg(s16).arg(s16 + 1));
    EXPECT_EQ(seen.plainVerseDelimiters, 1);
    EXPECT_TRUE(seen.display.omitFootnotes && seen.display.omitUserNoteLinks && seen.display.omitStrongsNumbers);
    EXPECT_EQ(seen.referenceLocation, 0);
}

TEST(LinkPreview, NoResolverNoPreview)
{
    // Without a resolver no link has a preview, and the formatter is never asked.
    int formatted = 0;
    const auto formatter = [&](const SourceTuple::Ptr&, quint32, quint32, const PassageOptions&) {
        ++formatted;
        return QStringLiteral("text");
    };
    EXPECT_TRUE(LinkPreview({}, formatter).stringForPopupFromHref(QStringLiteral("bible:John 3:16")).isNull());
    // A window that goes takes its resolver away: the panes that outlive it show no preview.
    int asked = 0;
    LinkPreview preview(
        [&](GoToRequest& request) {
            ++asked;
            request.alertText = QStringLiteral("A");
        },
        formatter);
    EXPECT_EQ(preview.stringForPopupFromHref(QStringLiteral("bible:John 3:16")), QStringLiteral("A"));
    preview.clearLinkResolver();
    EXPECT_TRUE(preview.stringForPopupFromHref(QStringLiteral("bible:John 3:16")).isNull());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(formatted, 0);
}

TEST(LinkPreview, ASectionPreviewTakesItsSubsectionsUpTo26Sections)
{
    FakeBookPageSource book;
    book.sections = 100;
    // Section 10 is a chapter with 40 subsections; section 60 has a sibling right after it.
    book.levels.insert(10, 1);
    for (quint32 s = 11; s <= 50; ++s)
        book.levels.insert(s, 2);
    book.levels.insert(60, 2);
    book.levels.insert(61, 2);
    EXPECT_EQ(LinkPreview::sectionPreviewEnd(book, 10), 35u);
    EXPECT_EQ(LinkPreview::sectionPreviewEnd(book, 60), 60u);
    EXPECT_EQ(LinkPreview::sectionPreviewEnd(book, 99), 99u);
    book.levels.insert(97, 1);
    book.levels.insert(98, 2);
    book.levels.insert(99, 2);
    EXPECT_EQ(LinkPreview::sectionPreviewEnd(book, 97), 99u);
    EXPECT_EQ(LinkPreview::unwrapLink(QStringLiteral("javascript:href('x');")), QStringLiteral("x"));
    EXPECT_EQ(LinkPreview::unwrapLink(QStringLiteral("href(\"y\");")), QStringLiteral("y"));
    EXPECT_EQ(LinkPreview::unwrapLink(QStringLiteral("bible:z")), QStringLiteral("bible:z"));
}

// --- the scroller ---------------------------------------------------------------------------------

class HistoryRecorder {
public:
    HistoryRecorder()
    {
        m_id =
            NotificationCenter::defaultCenter().addObserver(this, LibraryNotifications::AddStateToHistoryNotification,
                [this](Notification& n) { adds << n.userInfo.value(QStringLiteral("alwaysAdd")).toBool(); });
    }
    ~HistoryRecorder() { NotificationCenter::defaultCenter().removeObservation(m_id); }
    QList<bool> adds;

private:
    NotificationCenter::ObservationId m_id = 0;
};

TEST(BookPaneScroller, KnobDragMovesThePositionAtOnceAndThePageOnceAfterwards)
{
    REQUIRE_WEB_VIEW();
    auto book = std::make_shared<FakeBookPageSource>();
    Page page(book);
    page.goToSection(3);
    BookPaneScroller scroller(
        &page.view, &page.host, NotificationCenter::defaultCenter(), TestSupport::privateDefaults());
    scroller.updateScroller();
    EXPECT_NEAR(scroller.doubleValue(), 6.0 / 100.0, 1e-6);
    const quint64 serial = page.view.webViewSerialNumber();
    const int titles = page.host.titleUpdates;
    scroller.setDoubleValue(0.5);
    scroller.onScrollerChange(BookPaneScroller::kKnob);
    scroller.setDoubleValue(1.0);
    scroller.onScrollerChange(BookPaneScroller::kKnob);
    EXPECT_EQ(page.host.state().block(), 99);  // numBlocks - 1
    EXPECT_EQ(page.host.state().section(), 49u);
    EXPECT_TRUE(page.host.state().dirty());
    EXPECT_EQ(page.host.titleUpdates, titles + 2);
    EXPECT_EQ(page.view.webViewSerialNumber(), serial);  // not yet
    ASSERT_TRUE(waitFor([&] { return page.view.webViewSerialNumber() > serial; }, 2000));
    EXPECT_EQ(page.view.webViewSerialNumber(), serial + 1);  // one rebuild for the two changes
    EXPECT_GT(page.host.syncs, 0);
    scroller.updateScroller();
    EXPECT_NEAR(scroller.doubleValue(), 99.0 / 100.0, 1e-6);
}

TEST(BookPaneScroller, TrackClicksStepByChapterReadingOrSection)
{
    REQUIRE_WEB_VIEW();
    TestSupport::privateDefaults().set(SettingsKeys::ScrollTrackInterval, QStringLiteral("perbook"));
    auto bible = std::make_shared<FakeBookPageSource>();
    bible->bible = true;
    Page page(bible);
    BookPaneScroller scroller(
        &page.view, &page.host, NotificationCenter::defaultCenter(), TestSupport::privateDefaults());
    page.goToSection(25);
    HistoryRecorder history;
    scroller.onScrollerChange(BookPaneScroller::kDecrementPage);
    EXPECT_EQ(page.host.state().section(), 15u);
    EXPECT_EQ(history.adds, (QList<bool> {false, true}));
    page.host.state().setSection(5);  // no chapter before this one
    scroller.onScrollerChange(BookPaneScroller::kDecrementPage);
    EXPECT_EQ(page.host.state().section(), 5u);
    EXPECT_EQ(history.adds.size(), 2);
    scroller.onScrollerChange(BookPaneScroller::kIncrementPage);
    EXPECT_EQ(page.host.state().section(), 15u);

    auto plain = std::make_shared<FakeBookPageSource>();
    Page other(plain);
    BookPaneScroller second(
        &other.view, &other.host, NotificationCenter::defaultCenter(), TestSupport::privateDefaults());
    other.host.state().setSection(1);
    second.onScrollerChange(BookPaneScroller::kDecrementPage);
    EXPECT_EQ(other.host.state().section(), 1u);
    other.host.state().setSection(49);
    second.onScrollerChange(BookPaneScroller::kIncrementPage);
    EXPECT_EQ(other.host.state().section(), 49u);  // numSections - 1

    auto readings = std::make_shared<FakeBookPageSource>();
    readings->readings = true;
    readings->readingCount = 20;
    Page third(readings);
    BookPaneScroller daily(
        &third.view, &third.host, NotificationCenter::defaultCenter(), TestSupport::privateDefaults());
    third.host.state().setSection(20);
    daily.onScrollerChange(BookPaneScroller::kIncrementPage);
    EXPECT_EQ(third.host.state().section(), 20u);  // the last reading again
    third.host.state().setSection(1);
    daily.onScrollerChange(BookPaneScroller::kDecrementPage);
    EXPECT_EQ(third.host.state().section(), 1u);
    TestSupport::privateDefaults().remove(SettingsKeys::ScrollTrackInterval);
}

// Stepping by chapter goes from a book's last chapter to the next book's first, its heading at the top
// and its first verse under it, and back again; the book's own heading between them is no step.
TEST(BookPaneScroller, ChapterStepsCrossFromOneBookToTheNext)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    TestSupport::privateDefaults().set(SettingsKeys::ScrollTrackInterval, QStringLiteral("perbook"));
    Page page(kjv());
    BookPaneScroller scroller(
        &page.view, &page.host, NotificationCenter::defaultCenter(), TestSupport::privateDefaults());
    page.goToKey(key(1, 50, 20));
    const auto lands = [&](quint32 heading, const char* title) {
        page.settle();
        const quint32 section = page.source->sectionForBibleKey(heading);
        EXPECT_EQ(page.source->keyForSection(static_cast<quint32>(page.host.state().section())), heading);
        EXPECT_TRUE(page.source->getPositionNameForTitleBar(page.host.state().section()).startsWith(title))
            << page.source->getPositionNameForTitleBar(page.host.state().section()).toStdString();
        EXPECT_NEAR(page.topOf(QStringLiteral("_b%1").arg(page.source->blockForSection(section))), 0.0, 8.0);
        const double verse = page.topOf(BookPageHtml::verseAnchor(heading + 1));
        EXPECT_GT(verse, 0.0);
        EXPECT_LT(verse, 120.0);
    };
    for (const auto& [step, heading, title] : std::initializer_list<std::tuple<int, quint32, const char*>> {
             {BookPaneScroller::kIncrementPage, key(2, 1, 0), "Exodus 1"},
             {BookPaneScroller::kIncrementPage, key(2, 2, 0), "Exodus 2"},
             {BookPaneScroller::kDecrementPage, key(2, 1, 0), "Exodus 1"},
             {BookPaneScroller::kDecrementPage, key(1, 50, 0), "Genesis 50"},
             {BookPaneScroller::kIncrementPage, key(2, 1, 0), "Exodus 1"}}) {
        SCOPED_TRACE(title);
        scroller.onScrollerChange(step);
        lands(heading, title);
    }
    // Past the Bible's last chapter there is nowhere to step.
    page.goToKey(key(66, 22, 1));
    const quint64 section = page.host.state().section();
    scroller.onScrollerChange(BookPaneScroller::kIncrementPage);
    EXPECT_EQ(page.host.state().section(), section);
    TestSupport::privateDefaults().remove(SettingsKeys::ScrollTrackInterval);
}

// Home and End go to the start and the end of the chapter at the top of the view: End brings its last
// verse to the bottom of the view, Home its heading to the top; again, neither moves on.
TEST(BookPageView, HomeAndEndGoToTheStartAndTheEndOfTheChapter)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    QWidget* keys = page.view.focusProxy() ? page.view.focusProxy() : &page.view;
    const quint32 heading = page.source->sectionForBibleKey(key(43, 3, 0));
    const quint32 next = page.source->sectionForBibleKey(key(43, 4, 0));
    ASSERT_EQ(page.source->keyForSection(next), key(43, 4, 0));
    const QString lastBlock = QStringLiteral("_b%1").arg(page.source->blockForSection(next) - 1);
    const auto bottomOf = [&](const QString& id) {
        return js(page.view,
            QStringLiteral("(function(){var e=document.getElementById('%1');return e?e.getBoundingClientRect()"
                           ".bottom-innerHeight:-99999;})()")
                .arg(id))
            .toDouble();
    };
    for (int press = 0; press < 2; ++press) {
        QTest::keyClick(keys, Qt::Key_End);
        EXPECT_TRUE(waitFor([&] { return std::abs(bottomOf(lastBlock)) < 2.0; }, 5000)) << bottomOf(lastBlock);
        page.settle();
        EXPECT_NEAR(bottomOf(lastBlock), 0.0, 2.0);
        EXPECT_EQ(page.source->keyForSection(quint32(page.host.state().section())) >> 8, key(43, 3, 0) >> 8);
    }
    for (int press = 0; press < 2; ++press) {
        QTest::keyClick(keys, Qt::Key_Home);
        EXPECT_TRUE(waitFor([&] { return page.host.state().section() == heading; }, 5000));
        page.settle();
        EXPECT_NEAR(page.topOf(QStringLiteral("_b%1").arg(page.source->blockForSection(heading))), 0.0, 8.0);
        EXPECT_EQ(page.host.state().section(), heading);
    }
}

TEST(BookPaneScroller, WithPagingTheTrackScrollsTheLoadedPage)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 1));
    BookPaneScroller scroller(
        &page.view, &page.host, NotificationCenter::defaultCenter(), TestSupport::privateDefaults());
    const qint64 before = js(page.view, QStringLiteral("getPageYOffset()")).toLongLong();
    scroller.onScrollerChange(BookPaneScroller::kIncrementPage);
    ASSERT_TRUE(waitFor(
        [&] {
            return js(page.view, QStringLiteral("getPageYOffset()")).toLongLong() ==
                before + qint64(page.view.height() * 0.95);
        },
        3000));
    page.view.scrollActiveBook(PaneNotifications::UserWantsToScrollUpOneLine);
    EXPECT_TRUE(waitFor(
        [&] {
            return js(page.view, QStringLiteral("getPageYOffset()")).toLongLong() ==
                before + qint64(page.view.height() * 0.95) - 20;
        },
        3000));
}

// --- copying ----------------------------------------------------------------------------------------

TEST(BookPageViewFilter, CopiedHtmlIsFilteredByStrength)
{
    const QString html = QStringLiteral("<p onclick=\"x()\">In the <b>beginning</b>&amp; <a "
                                        "href=\"javascript:evil()\">God</a></p>");
    const QString kept = BookPageView::filterHtml(html, 2, false);
    EXPECT_FALSE(kept.contains(QLatin1String("onclick")));
    EXPECT_FALSE(kept.contains(QLatin1String("javascript:")));
    EXPECT_TRUE(kept.contains(QLatin1String("<b>beginning</b>")));
    EXPECT_EQ(BookPageView::filterHtml(html, 4, true).trimmed(), QStringLiteral("In the beginning& God"));
    EXPECT_EQ(BookPageView::filterHtml(html, 0, false), html);
    EXPECT_EQ(BookPageView::filterHtml(html, 99, false), BookPageView::filterHtml(html, 6, false));
}

// --- the position rules of a go-to ----------------------------------------------------------------

TEST(BookPagePositionRules, BlockSectionAndAnchor)
{
    FakeBookPageSource book;
    LayoutRegionContentItemState state;
    GoToRequest request = GoToRequest::fromUserInfo({{QStringLiteral("section"), 7}});
    EXPECT_FALSE(BookPageView::applyPositionRequest(book, state, request, true));
    EXPECT_EQ(state.section(), 7u);
    EXPECT_EQ(state.block(), 14);  // the section's block
    EXPECT_TRUE(state.dirty());

    // The same block and offset leave the position and the dirty flag alone.
    state.setDirty(false);
    state.setSectionString(QStringLiteral("kept"));
    request = GoToRequest::fromUserInfo({{QStringLiteral("block"), 14}, {QStringLiteral("section"), 9}});
    BookPageView::applyPositionRequest(book, state, request, true);
    EXPECT_EQ(state.section(), 7u);
    EXPECT_EQ(state.sectionString(), QStringLiteral("kept"));
    EXPECT_FALSE(state.dirty());
    request = GoToRequest::fromUserInfo(
        {{QStringLiteral("block"), 15}, {QStringLiteral("yoffset"), 30}, {QStringLiteral("section"), 7}});
    BookPageView::applyPositionRequest(book, state, request, false);
    EXPECT_EQ(state.block(), 15);
    EXPECT_EQ(state.yOffset(), 30);
    EXPECT_FALSE(state.dirty());  // a background tab's move does not dirty it
    request = GoToRequest::fromUserInfo({{QStringLiteral("gotoAnchor"), QStringLiteral("here")}});
    BookPageView::applyPositionRequest(book, state, request, true);
    EXPECT_EQ(state.gotoAnchor(), QStringLiteral("here"));
    EXPECT_EQ(state.block(), 15);
    EXPECT_TRUE(BookPageView::applyPositionRequest(
        book, state, request = GoToRequest::fromUserInfo({{QStringLiteral("forceRefresh"), true}}), true));
}

TEST(BookPagePositionRules, ABibleSectionAtItsFirstBlockScrollsToTheVerseAnchor)
{
    FakeBookPageSource book;
    book.bible = true;
    LayoutRegionContentItemState state;
    GoToRequest request = GoToRequest::fromUserInfo(
        {{QStringLiteral("section"), 3}, {QStringLiteral("gotoAnchor"), QStringLiteral("other")}});
    BookPageView::applyPositionRequest(book, state, request, true);
    EXPECT_EQ(state.gotoAnchor(), QStringLiteral("_s1.1.3"));
    request = GoToRequest::fromUserInfo(
        {{QStringLiteral("block"), 7}, {QStringLiteral("section"), 3}});  // inside the section
    BookPageView::applyPositionRequest(book, state, request, true);
    EXPECT_EQ(state.gotoAnchor(), QString());
}

TEST(BookPagePositionRules, TemporaryHighlightFromALink)
{
    FakeBookPageSource book;
    book.bible = true;
    book.references.insert(QStringLiteral("bible:Gen 1:4-6"), {0x010104, 0x010106});
    LayoutRegionContentItemState state;
    GoToRequest request = GoToRequest::fromUserInfo({{QStringLiteral("section"), 4},
        {QStringLiteral("wasHyperlink"), true}, {QStringLiteral("href"), QStringLiteral("bible:Gen 1:4-6")}});
    EXPECT_TRUE(BookPageView::applyPositionRequest(book, state, request, true));
    EXPECT_EQ(state.tempHighlightStartSection(), 4u);
    EXPECT_EQ(state.tempHighlightEndSection(), 6u);
    // clearTempHighlight NO keeps it, whatever the request says.
    request =
        GoToRequest::fromUserInfo({{QStringLiteral("section"), 9}, {QStringLiteral("clearTempHighlight"), false}});
    EXPECT_FALSE(BookPageView::applyPositionRequest(book, state, request, true));
    EXPECT_EQ(state.tempHighlightStartSection(), 4u);
    // An unmappable link clears the old one and sets none.
    request = GoToRequest::fromUserInfo({{QStringLiteral("section"), 9}, {QStringLiteral("wasHyperlink"), true},
        {QStringLiteral("href"), QStringLiteral("bible:nowhere")}});
    EXPECT_TRUE(BookPageView::applyPositionRequest(book, state, request, true));
    EXPECT_EQ(state.tempHighlightStartSection(), 0u);
    EXPECT_EQ(state.tempHighlightEndSection(), 0u);
}

TEST(BookPagePositionRules, DailyReadingsWrapAround)
{
    FakeBookPageSource book;
    book.readings = true;
    book.readingCount = 30;
    book.sections = 40;
    LayoutRegionContentItemState state;
    state.setSection(30);
    GoToRequest request = GoToRequest::fromUserInfo({{QStringLiteral("nextReading"), true}});
    BookPageView::applyPositionRequest(book, state, request, true);
    EXPECT_EQ(state.section(), 1u);
    EXPECT_EQ(request.readingNumber, 1);
    EXPECT_EQ(request.section, 1u);
    request = GoToRequest::fromUserInfo({{QStringLiteral("prevReading"), true}});
    BookPageView::applyPositionRequest(book, state, request, true);
    EXPECT_EQ(state.section(), 30u);
    book.today = 12;
    request =
        GoToRequest::fromUserInfo({{QStringLiteral("todaysReading"), true}, {QStringLiteral("firstUnread"), true}});
    BookPageView::applyPositionRequest(book, state, request, true);
    EXPECT_EQ(state.section(), 12u);
    book.unread = 0;  // nothing unread: the position stays
    request = GoToRequest::fromUserInfo({{QStringLiteral("firstUnread"), true}});
    BookPageView::applyPositionRequest(book, state, request, true);
    EXPECT_EQ(state.section(), 12u);
    // A section in the request wins over the reading rules.
    request = GoToRequest::fromUserInfo({{QStringLiteral("section"), 5}, {QStringLiteral("nextReading"), true}});
    BookPageView::applyPositionRequest(book, state, request, true);
    EXPECT_EQ(state.section(), 5u);
}

TEST(BookPageView, ABackgroundTabOnlyChangesItsStateAndARequestWithoutBookFails)
{
    REQUIRE_WEB_VIEW();
    auto shown = std::make_shared<FakeBookPageSource>();
    Page page(shown);
    page.goToSection(4);
    const quint64 serial = page.view.webViewSerialNumber();
    auto other = std::make_shared<FakeBookPageSource>();  // the host has no tab for it
    GoToRequest eight;
    eight.section = 8;
    EXPECT_FALSE(page.view.goTo(other, eight));
    EXPECT_FALSE(page.view.goTo(BookPageSourcePtr(), eight));
    EXPECT_EQ(page.view.webViewSerialNumber(), serial);
    // A request that ends without a block shows the invalid-location page.
    QSignalSpy loaded(&page.view, &BookPageView::pageLoaded);
    page.host.state().setBlock(LayoutRegionContentItemState::kNoBlock);
    page.host.state().setSection(0);
    GoToRequest anchor;
    anchor.gotoAnchor = QStringLiteral("x");
    page.view.goTo(shown, anchor);
    ASSERT_TRUE(waitFor([&] { return loaded.count() > 0; }));
    EXPECT_TRUE(js(page.view, QStringLiteral("document.body.textContent"))
                    .toString()
                    .startsWith(QLatin1String("Invalid Location:")));
}

// --- a go-to elsewhere in the loaded book --------------------------------------------------------

TEST(BookPageView, AGoToElsewhereInTheBookKeepsThePageAndPaintsTheVerseAtTheTop)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    const int john = int(page.source->blockForSection(page.source->sectionForBibleKey(key(43, 3, 16))));
    js(page.view, QStringLiteral("window.qsKept = 'kept'"));  // gone if the page were loaded again
    const quint64 before = page.view.webViewSerialNumber();
    QSignalSpy loads(&page.view, &BookPageView::pageLoaded);
    QSignalSpy painted(&page.view, &BookPageView::goToPainted);
    // Where the verse stood on the painted frame, taken before the blocks above it come.
    js(page.view,
        QStringLiteral("window.qsPaintedTop=null;var qsPlacePainted=jsInterface.placePainted;"
                       "jsInterface.placePainted=function(s){var e=document.getElementById('_s45.8.28');"
                       "window.qsPaintedTop=e?e.getBoundingClientRect().top:null;qsPlacePainted(s);}"));
    GoToRequest request;
    request.section = page.source->sectionForBibleKey(key(45, 8, 28));
    ASSERT_TRUE(page.view.goTo(page.source, request));
    ASSERT_TRUE(waitFor([&] { return painted.count() > 0; }));
    EXPECT_NEAR(page.topOf(QStringLiteral("_s45.8.28")), 0.0, 8.0);
    EXPECT_EQ(js(page.view, QStringLiteral("window.qsKept")).toString(), QStringLiteral("kept"));
    ASSERT_TRUE(waitFor([&] { return page.host.state().sectionString() == QStringLiteral("_s45.8.28"); }));
    page.settle();
    EXPECT_EQ(loads.count(), 0);
    EXPECT_EQ(painted.count(), 1);
    EXPECT_GT(page.view.webViewSerialNumber(), before);
    // The blocks of the place before are gone, and those above the verse came after the paint.
    const QList<int> blocks = page.blocksOnPage();
    expectConsecutive(blocks);
    EXPECT_FALSE(blocks.contains(john));
    const int romans = int(page.source->blockForSection(*request.section));
    EXPECT_LT(blocks.first(), romans);
    EXPECT_GT(blocks.last(), romans);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s45.8.28")), 0.0, 8.0);
    // The blocks put in above moved the page by whole pixels only: the verse stands exactly where the
    // painted frame showed it, not a fraction of a pixel off (which shows as a line jumping a pixel).
    const QVariant paintedTop = js(page.view, QStringLiteral("window.qsPaintedTop"));
    ASSERT_TRUE(paintedTop.isValid() && !paintedTop.isNull());
    EXPECT_EQ(page.topOf(QStringLiteral("_s45.8.28")), paintedTop.toDouble());

    // A report about the place before (the page's serial then) moves nothing.
    const qint64 block = page.host.state().block();
    js(page.view,
        QStringLiteral("jsInterface.updatePosition(sourceTupleString, %1, '_b%2', '', 0, 7); "
                       "jsInterface.isABible()")
            .arg(before)
            .arg(john));
    EXPECT_EQ(page.host.state().block(), block);

    // A page without blocks (an invalid location) is loaded anew for the next go-to.
    page.host.state().setBlock(LayoutRegionContentItemState::kNoBlock);
    page.host.state().setSection(0);
    GoToRequest nowhere;
    nowhere.gotoAnchor = QStringLiteral("x");
    page.view.goTo(page.source, nowhere);
    ASSERT_TRUE(waitFor([&] { return loads.count() == 1; }));
    page.goToKey(key(19, 23, 1));
    EXPECT_EQ(loads.count(), 2);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s19.23.1")), 0.0, 8.0);
}

// A page script that sets `window.<flag>` once the page has told the reader a new place painted.
QString setOnPlacePainted(const char* flag)
{
    return QStringLiteral("var qsPaintedBefore=jsInterface.placePainted;"
                          "jsInterface.placePainted=function(s){window.%1=true;qsPaintedBefore(s);};")
        .arg(QLatin1String(flag));
}

// Goes to the verse as a pane that follows another's go-to (or, with `following` false, as the pane
// gone to) and waits until the page has painted the place; `request` is the request made.
::testing::AssertionResult goToUntilPainted(Page& page, quint32 verse, GoToRequest& request, bool following = true)
{
    QSignalSpy painted(&page.view, &BookPageView::goToPainted);
    request = GoToRequest();
    request.section = page.source->sectionForBibleKey(verse);
    request.following = following;
    if (!page.view.goTo(page.source, request))
        return ::testing::AssertionFailure() << "the page refused the go-to";
    if (!waitFor([&] { return painted.count() > 0; }))
        return ::testing::AssertionFailure() << "the place did not paint";
    return ::testing::AssertionSuccess();
}

TEST(BookPageView, AFollowingPanePaintsOnceAndFillsWhenScrolled)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    page.settle();
    // Counts the page's requests for blocks from the moment the new place has painted: the ones that
    // hold the renderer until the reader answers, and the ones that do not.
    js(page.view,
        QStringLiteral("window.qsWaited=0;window.qsLater=0;window.qsCounting=false;"
                       "var qsSendBefore=qsSend;qsSend=function(n,a,w){"
                       "if(window.qsCounting&&n==='getHTMLTextForBlocks'&&w)window.qsWaited++;"
                       "return qsSendBefore(n,a,w);};"
                       "var qsLaterBefore=qsSendLater;qsSendLater=function(n,a,d){"
                       "if(window.qsCounting&&n==='getHTMLTextForBlocks')window.qsLater++;"
                       "return qsLaterBefore(n,a,d);};") +
            setOnPlacePainted("qsCounting") +
            // What the page holds, how long it is and where it is scrolled (its scroll bar), kept when
            // the place painted.
            QStringLiteral("window.qsPageState=function(){return [qsPlacement.first,qsPlacement.last,"
                           "document.documentElement.scrollHeight,window.pageYOffset].join();};"
                           "var qsPaintedThen=jsInterface.placePainted;jsInterface.placePainted=function(s){"
                           "window.qsAtPaint=qsPageState();qsPaintedThen(s);};"));
    const auto nowOnPage = [&] {
        return js(page.view, QStringLiteral("qsPageState()")).toString().split(QLatin1Char(','));
    };
    GoToRequest request;
    ASSERT_TRUE(goToUntilPainted(page, key(45, 8, 28), request));
    page.settle();
    // The page shows the verse's screen, the verse at the top ...
    QList<int> blocks = page.blocksOnPage();
    expectConsecutive(blocks);
    const int romans = int(page.source->blockForSection(*request.section));
    EXPECT_EQ(blocks.first(), romans);
    EXPECT_GT(blocks.last(), romans);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s45.8.28")), 0.0, 8.0);
    // ... as it painted it: the page asked for no blocks after the paint, and neither its blocks nor
    // its length (its scroll bar) changed after it.
    EXPECT_EQ(js(page.view, QStringLiteral("window.qsLater")).toInt(), 0);
    EXPECT_EQ(js(page.view, QStringLiteral("window.qsWaited")).toInt(), 0);
    EXPECT_EQ(js(page.view, QStringLiteral("window.qsAtPaint")).toString().split(QLatin1Char(',')), nowOnPage());
    // Once the reader scrolls it, the page fills around the place, which stays where it was scrolled.
    js(page.view, QStringLiteral("window.scrollBy(0, -10)"));
    ASSERT_TRUE(waitFor([&] { return page.blocksOnPage().first() < romans; }));
    page.settle();
    blocks = page.blocksOnPage();
    expectConsecutive(blocks);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s45.8.28")), 10.0, 8.0);

    // The pane gone to fills at once after its paint (asking and waiting), around the verse left at
    // the top. The blocks take the place of room the page held for them: its length and scroll
    // offset (its scroll bar) stay as they painted.
    js(page.view, QStringLiteral("window.qsWaited=0;window.qsLater=0;window.qsCounting=false;"));
    GoToRequest own;
    ASSERT_TRUE(goToUntilPainted(page, key(43, 9, 1), own, false));
    page.settle();
    EXPECT_NEAR(page.topOf(QStringLiteral("_s43.9.1")), 0.0, 8.0);
    const QList<int> john = page.blocksOnPage();
    expectConsecutive(john);
    const int johnBlock = int(page.source->blockForSection(*own.section));
    EXPECT_LT(john.first(), johnBlock);
    EXPECT_GT(john.last(), johnBlock);
    const QStringList painted = js(page.view, QStringLiteral("window.qsAtPaint")).toString().split(QLatin1Char(','));
    const QStringList filled = nowOnPage();
    ASSERT_EQ(painted.size(), 4);
    EXPECT_LT(filled[0].toInt(), painted[0].toInt());
    EXPECT_EQ(painted.mid(2), filled.mid(2));
    EXPECT_GT(js(page.view, QStringLiteral("window.qsWaited")).toInt(), 0);
    EXPECT_EQ(js(page.view, QStringLiteral("window.qsLater")).toInt(), 0);

    // Two go-tos in a row: the page shows the second place, filled around it, each block once.
    js(page.view, QStringLiteral("window.qsCounting=false;"));
    GoToRequest first;
    first.section = page.source->sectionForBibleKey(key(1, 1, 1));
    GoToRequest second;
    second.section = page.source->sectionForBibleKey(key(19, 23, 1));
    ASSERT_TRUE(page.view.goTo(page.source, first));
    ASSERT_TRUE(page.view.goTo(page.source, second));
    ASSERT_TRUE(waitFor([&] { return page.host.state().sectionString() == QStringLiteral("_s19.23.1"); }));
    page.settle();
    const QList<int> psalm = page.blocksOnPage();
    expectConsecutive(psalm);
    const int psalmBlock = int(page.source->blockForSection(*second.section));
    EXPECT_LT(psalm.first(), psalmBlock);
    EXPECT_GT(psalm.last(), psalmBlock);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s19.23.1")), 0.0, 8.0);

    // Gone to near the book's start, the page gives the room back once the filling reaches the first
    // block: the top of the page is the book's start, not white room.
    GoToRequest genesis;
    ASSERT_TRUE(goToUntilPainted(page, key(1, 1, 3), genesis, false));
    ASSERT_TRUE(waitFor([&] { return !page.blocksOnPage().isEmpty() && page.blocksOnPage().first() == 0; }));
    page.settle();
    js(page.view, QStringLiteral("window.scrollTo(0, 0)"));
    EXPECT_LT(page.topOf(QStringLiteral("_b0")), 100.0);  // the room held was three screens
}

// The end of a page's load brings the page to its place, unless the reader has moved it since it
// was placed (a scroll command or a scrolling key pressed while the page still loaded).
TEST(BookPageView, TheEndOfALoadLeavesAPageTheReaderMoved)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    page.settle();
    const QString endOfLoad = QStringLiteral("resizeDocument('_s43.3.16', 0)");
    js(page.view, QStringLiteral("window.scrollBy(0, 120);") + endOfLoad);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s43.3.16")), 0.0, 8.0) << "not moved by the reader: back to its place";

    page.view.scrollActiveBookUp(false, false);
    ASSERT_TRUE(waitFor([&] { return page.topOf(QStringLiteral("_s43.3.16")) < -100.0; }));
    page.settle();
    const double scrolled = page.topOf(QStringLiteral("_s43.3.16"));
    js(page.view, endOfLoad);
    page.settle();
    EXPECT_NEAR(page.topOf(QStringLiteral("_s43.3.16")), scrolled, 8.0) << "the reader's page down was taken back";

    // A new place, then a scrolling key in the page.
    page.goToKey(key(45, 8, 28));
    page.settle();
    js(page.view,
        QStringLiteral("window.dispatchEvent(new KeyboardEvent('keydown', {key: 'PageDown'}));"
                       "window.scrollBy(0, 200);") +
            QStringLiteral("resizeDocument('_s45.8.28', 0)"));
    page.settle();
    EXPECT_LT(page.topOf(QStringLiteral("_s45.8.28")), -100.0) << "the key's scroll was taken back";
}

// A scroll the reader makes while a new page still loads, before it has told where it landed, is the
// reader's place like any other: the first report after it is a move, which the other panes follow.
TEST(BookPageView, APageDownBeforeANewPageHasLandedIsAMove)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    const int syncs = page.host.syncs;
    page.host.state().setDirty(false);
    QSignalSpy reports(&page.view, &BookPageView::positionReported);
    GoToRequest request;
    request.section = page.source->sectionForBibleKey(key(45, 8, 28));
    request.forceRefresh = true;  // a new page, as a tab switch builds
    ASSERT_TRUE(page.view.goTo(page.source, request));
    const qint64 landing = page.host.state().block();
    // As soon as the new page's script runs, and before it tells anything, its reports wait until the
    // key has scrolled it.
    QString started;
    ASSERT_TRUE(waitFor([&] {
        started = js(page.view,
            QStringLiteral("typeof qsPlacement==='undefined'||!qsFrame.end||webViewSerialNumber!==%1?'':"
                           "qsPlacement.lastReport!==''?'late':"
                           "(window.qsReportReal=qsReportPosition,qsReportPosition=function(){},'held')")
                .arg(page.view.webViewSerialNumber()))
                      .toString();
        return !started.isEmpty();
    }));
    ASSERT_EQ(started, QStringLiteral("held")) << "the page told its place before the test could hold it";
    ASSERT_TRUE(reports.isEmpty());
    QWidget* keys = page.view.focusProxy() ? page.view.focusProxy() : &page.view;
    QTest::keyClick(keys, Qt::Key_PageDown);
    ASSERT_TRUE(waitFor([&] { return page.topOf(QStringLiteral("_s45.8.28")) < -200.0; }))
        << "the key did not scroll the page";
    ASSERT_TRUE(waitFor([&] { return !page.view.isPageLoading(); }));
    js(page.view, QStringLiteral("qsReportPosition=window.qsReportReal;qsReportSoon()"));
    ASSERT_TRUE(waitFor([&] { return !reports.isEmpty(); }));
    page.settle();
    EXPECT_LT(page.topOf(QStringLiteral("_s45.8.28")), -200.0) << "the end of the load took the page back";
    EXPECT_GT(page.host.state().block(), landing);
    EXPECT_TRUE(page.host.state().dirty());
    EXPECT_GT(page.host.syncs, syncs) << "the other panes were not told of the move";
}

// The filling that comes without waiting after a placement's paint (a new page's first paint): a
// reader who scrolls before the blocks arrive keeps the place scrolled to, the filling does not take
// the page back to the verse.
TEST(BookPageView, AScrollBeforeTheFillingArrivesIsKept)
{
    REQUIRE_WEB_VIEW();
    REQUIRE_LIBRARY();
    Page page(kjv());
    page.goToKey(key(43, 3, 16));
    page.settle();
    // The page's requests that do not wait are held from the moment the new place has painted, as a
    // busy reader would answer them late.
    js(page.view,
        QStringLiteral("window.qsHeld=[];window.qsHolding=false;"
                       "var qsLaterBefore=qsSendLater;qsSendLater=function(n,a,d){"
                       "if(window.qsHolding){window.qsHeld.push([n,a,d]);return;}"
                       "return qsLaterBefore(n,a,d);};") +
            setOnPlacePainted("qsHolding"));
    GoToRequest request;
    ASSERT_TRUE(goToUntilPainted(page, key(45, 8, 28), request));
    // A following pane shows the place without filling; the filling is started as after a new page's
    // first paint.
    js(page.view, QStringLiteral("qsFillAroundPlacement()"));
    ASSERT_TRUE(waitFor([&] { return js(page.view, QStringLiteral("window.qsHeld.length")).toInt() > 0; }));
    EXPECT_NEAR(page.topOf(QStringLiteral("_s45.8.28")), 0.0, 8.0);
    // The reader scrolls down, then the answers come.
    js(page.view, QStringLiteral("window.scrollBy(0, 300)"));
    const double scrolled = page.topOf(QStringLiteral("_s45.8.28"));
    EXPECT_NEAR(scrolled, -300.0, 8.0);
    js(page.view,
        QStringLiteral("window.qsHolding=false;var held=window.qsHeld;window.qsHeld=[];"
                       "held.forEach(function(h){qsLaterBefore(h[0],h[1],h[2]);});"));
    ASSERT_TRUE(waitFor([&] { return js(page.view, QStringLiteral("window.qsHeld.length")).toInt() == 0; }));
    page.settle();
    // The page filled around (blocks above Romans 8:28 came in) and the verse is still where the
    // reader scrolled it, not back at the top.
    const QList<int> blocks = page.blocksOnPage();
    expectConsecutive(blocks);
    const int romans = int(page.source->blockForSection(*request.section));
    EXPECT_LT(blocks.first(), romans);
    EXPECT_NEAR(page.topOf(QStringLiteral("_s45.8.28")), scrolled, 8.0);
}

// A book whose first section holds transparent links that try to cover the whole page: one placed
// by its style attribute, one by a style element (its property spelled with an escape), one by a
// rule inside a media rule, one sticky; then a paragraph to click on and a plain web link.
QString writeCoveringBook(const QString& folder, const QString& remote)
{
    cTvkRichBook book;
    book.info.bookName = "Covering Book";
    book.info.abbreviatedTitle = "Covering";
    book.info.publisherId = 77;
    book.info.bookId = 9;
    const std::string cover = "top:0;left:0;width:100%;height:100%;opacity:0;display:block;";
    const std::string address = remote.toStdString();
    std::vector<TvkNode> blocks;
    blocks.push_back(element(TvkTag::kP, {{"id", "before"}}, {TvkNode::text("The text before the covers.")}));
    blocks.push_back(element(HTMLTag::a,
        {{"id", "fixed"}, {"href", address + "fixed"}, {"style", "position:fixed;z-index:2147483647;" + cover}},
        {TvkNode::text("fixed")}));
    blocks.push_back(element(HTMLTag::style, {},
        {TvkNode::text(".sheetcover{posit\\69on:fixed;z-index:99;" + cover +
            "}"
            "@media screen{.mediacover{position:absolute;z-index:98;" +
            cover + "}}")}));
    blocks.push_back(element(
        HTMLTag::a, {{"id", "sheet"}, {"class", "sheetcover"}, {"href", address + "sheet"}}, {TvkNode::text("sheet")}));
    blocks.push_back(element(
        HTMLTag::a, {{"id", "media"}, {"class", "mediacover"}, {"href", address + "media"}}, {TvkNode::text("media")}));
    blocks.push_back(element(HTMLTag::a,
        {{"id", "sticky"}, {"href", address + "sticky"}, {"style", "position:-webkit-sticky;position:sticky;" + cover}},
        {TvkNode::text("sticky")}));
    std::string words;
    for (int i = 0; i < 200; ++i)
        words += "Words to click on, far from any link. ";
    blocks.push_back(element(TvkTag::kP, {{"id", "target"}}, {TvkNode::text(words)}));
    blocks.push_back(element(
        TvkTag::kP, {}, {element(HTMLTag::a, {{"id", "real"}, {"href", address + "real"}}, {TvkNode::text("web")})}));
    book.addSection({"Covered", 1, 0, blocks});
    book.addSection({"After", 1, 0, {TvkNode::element(TvkTag::kP, {TvkNode::text("The next section.")})}});
    const QString path = folder + QStringLiteral("/Covering.tvk");
    std::string error;
    EXPECT_TRUE(book.writeFile(path.toStdString(), &error)) << error;
    return path;
}

TEST(BookPageView, ContentTakesNoPlaceOfItsOwnSoAClickElsewhereOpensNothing)
{
    REQUIRE_WEB_VIEW();
    QTcpServer server;  // where the covering links point; nothing may reach it
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString remote = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    QTemporaryDir dir;
    auto book = bookFile(writeCoveringBook(dir.path(), remote));
    ASSERT_TRUE(book != nullptr);
    QString html;
    for (quint32 b = book->blockForSection(1); b < book->blockForSection(2); ++b)
        html += book->htmlTextForBlock(b, {});
    // The renderer hands the placing styles on: the page must keep them out.
    ASSERT_TRUE(html.contains(QLatin1String("position:fixed")) && html.contains(QLatin1String("sheetcover")))
        << html.toStdString();
    Page page(book);
    GoToRecorder recorder;
    page.goToSection(1);

    // Every covering link stays in the flow of its block: no fixed, absolute or sticky place, no z-index.
    for (const char* id : {"fixed", "sheet", "media", "sticky"}) {
        const QString style = QStringLiteral("getComputedStyle(document.getElementById('%1'))").arg(QLatin1String(id));
        EXPECT_EQ(js(page.view, style + QStringLiteral(".position")).toString(), QStringLiteral("static")) << id;
        EXPECT_EQ(js(page.view, style + QStringLiteral(".zIndex")).toString(), QStringLiteral("auto")) << id;
    }
    // The style element is kept, with its other declarations.
    EXPECT_EQ(js(page.view, QStringLiteral("getComputedStyle(document.getElementById('sheet')).opacity")).toString(),
        QStringLiteral("0"));

    // A click on the words opens nothing; the web link clicked after it is the only request.
    ASSERT_TRUE(page.click(QStringLiteral("#target")));
    ASSERT_TRUE(page.click(QStringLiteral("#real")));
    ASSERT_TRUE(waitFor([&] { return !recorder.requests.isEmpty(); }));
    ASSERT_EQ(recorder.requests.size(), 1);
    EXPECT_EQ(recorder.requests[0].value(QStringLiteral("href")).toString(), remote + QStringLiteral("real"));
    EXPECT_FALSE(server.hasPendingConnections());
    page.view.grab().save(kBuild + QStringLiteral("/covering-book-page.png"));
}

// A book whose middle section holds a style element that undoes the block's clip (and tries to
// reach the page itself) and then lays one link over the whole page by `cover`: the sections
// around it hold words to click on, and the last one a plain web link.
QString writeSheetCoveringBook(const QString& folder, const QString& remote, const std::string& cover, int n)
{
    cTvkRichBook book;
    book.info.bookName = "Sheet Covering Book " + std::to_string(n);
    book.info.abbreviatedTitle = "Sheet" + std::to_string(n);
    book.info.publisherId = 77;
    book.info.bookId = 10 + n;
    const std::string address = remote.toStdString();
    std::string words;
    for (int i = 0; i < 30; ++i)
        words += "Words to click on, outside the link's block. ";
    book.addSection({"Before", 1, 0, {element(TvkTag::kP, {{"id", "target"}}, {TvkNode::text(words)})}});
    book.addSection({"Covering", 1, 0,
        {element(HTMLTag::style, {},
             {TvkNode::text(
                 "div,#_b1,#_b2,#_b3{overflow:visible !important;contain:none !important;"
                 "clip-path:none !important}body{background:rgb(1,2,3) !important}a.cover{color:rgb(4,5,6)}" +
                 cover)}),
            element(TvkTag::kP, {},
                {element(HTMLTag::a, {{"id", "cover"}, {"class", "cover"}, {"href", address + "cover"}},
                    {TvkNode::text("cover")})})}});
    book.addSection({"After", 1, 0,
        {element(TvkTag::kP, {{"id", "after"}}, {TvkNode::text(words)}),
            element(TvkTag::kP, {},
                {element(HTMLTag::a, {{"id", "real"}, {"href", address + "real"}}, {TvkNode::text("web")})})}});
    const QString path = folder + QStringLiteral("/SheetCovering%1.tvk").arg(n);
    std::string error;
    EXPECT_TRUE(book.writeFile(path.toStdString(), &error)) << error;
    return path;
}

// A book's style element may undo the block's clip with !important rules; then a relative offset, a
// transform or a pseudo-element of a link lay the link over the page. Content style rules reach only
// the book's elements inside the blocks (never a block or the page itself), lose offsets and
// transforms, and the block's clip holds: a click outside the link's block opens nothing.
TEST(BookPageView, ContentStyleSheetsStayInsideTheirBlockSoAClickElsewhereOpensNothing)
{
    REQUIRE_WEB_VIEW();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString remote = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    const std::vector<std::string> covers = {
        ".cover{display:block;position:relative;top:-3000px;height:6000px;margin-bottom:-6000px;opacity:0}",
        ".cover{display:block;height:20px;transform:scale(300);opacity:0}",
        "a.cover{display:block}a.cover::after{content:'';display:block;position:relative;margin-top:-3000px;"
        "height:6000px;margin-bottom:-3000px}",
    };
    QTemporaryDir dir;
    for (int n = 0; n < int(covers.size()); ++n) {
        SCOPED_TRACE(covers[size_t(n)]);
        auto book = bookFile(writeSheetCoveringBook(dir.path(), remote, covers[size_t(n)], n));
        ASSERT_TRUE(book != nullptr);
        Page page(book);
        GoToRecorder recorder;
        page.goToSection(2);
        ASSERT_TRUE(waitFor([&] {
            return js(
                page.view, QStringLiteral("!!(document.getElementById('target') && document.getElementById('after'))"))
                .toBool();
        }));
        // The words are in other blocks than the link.
        const QString blockOf = QStringLiteral("(function(id){var e=document.getElementById(id);"
                                               "while(e&&!/^_b\\d+$/.test(e.id))e=e.parentNode;return e?e.id:'';})");
        const QString linkBlock = js(page.view, blockOf + QStringLiteral("('cover')")).toString();
        ASSERT_FALSE(linkBlock.isEmpty());
        EXPECT_NE(js(page.view, blockOf + QStringLiteral("('target')")).toString(), linkBlock);
        EXPECT_NE(js(page.view, blockOf + QStringLiteral("('after')")).toString(), linkBlock);
        // The block keeps its clip, and the page's own elements are out of the sheet's reach.
        const QString block = QStringLiteral("getComputedStyle(document.getElementById('%1'))").arg(linkBlock);
        EXPECT_EQ(js(page.view, block + QStringLiteral(".contain")).toString(), QStringLiteral("paint"));
        EXPECT_EQ(js(page.view, block + QStringLiteral(".overflowY")).toString(), QStringLiteral("auto"));
        EXPECT_NE(js(page.view, QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
            QStringLiteral("rgb(1, 2, 3)"));
        // The sheet still styles the book's own elements, in its block and the others.
        EXPECT_EQ(js(page.view, QStringLiteral("getComputedStyle(document.getElementById('cover')).color")).toString(),
            QStringLiteral("rgb(4, 5, 6)"));
        EXPECT_EQ(
            js(page.view, QStringLiteral("getComputedStyle(document.getElementById('cover')).transform")).toString(),
            QStringLiteral("none"));

        ASSERT_TRUE(page.click(QStringLiteral("#target")));
        ASSERT_TRUE(page.click(QStringLiteral("#after")));
        ASSERT_TRUE(page.click(QStringLiteral("#real")));
        ASSERT_TRUE(waitFor([&] { return !recorder.requests.isEmpty(); }));
        ASSERT_EQ(recorder.requests.size(), 1)
            << recorder.requests[0].value(QStringLiteral("href")).toString().toStdString();
        EXPECT_EQ(recorder.requests[0].value(QStringLiteral("href")).toString(), remote + QStringLiteral("real"));
        EXPECT_FALSE(server.hasPendingConnections());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("book-page-view-test");
    TestSupport::usePrivateEngineData();
    return RUN_ALL_TESTS();
}
