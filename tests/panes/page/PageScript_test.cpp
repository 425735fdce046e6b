// The book page's script on its own, in a plain web view without the reader: a page of fixed blocks
// written here, the script from its resource, and a stand-in for the reader (`jsInterface`) that
// answers with those blocks and records every call. The cases drive the placement as the reader does
// (qsStartPage, qsGoToPlace) and check where the page lands, what it holds and what it tells the
// reader.

#include "panes/page/BookPageBlocks.h"
#include "panes/page/BookPageHtml.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <string>

namespace {

using TestSupport::waitFor;
using TestSupport::waitForScript;

// The stand-in for the reader. The book has 200 blocks; block n is 80 + n % 7 pixels high plus a
// quarter pixel when n is odd, so that filling above the view moves it by fractions of a pixel. The
// answers to requests that do not wait are held in window.held while it is an array (run them with
// releaseHeld()), else given a task later. window.calls lists the calls in order; the places the
// page is in when it says a place painted are kept in window.atPaint.
const char* const kReader = R"JS(
var bookBlocks = 200;
function blockHeight(n) { return 80 + n % 7 + (n % 2 ? 0.25 : 0); }
function blockHtml(n) {
    return '<p style="margin:0;height:' + blockHeight(n) + 'px">Block ' + n + '</p>';
}
function blocksFrom(first, count) {
    var list = [];
    for (var i = first; i < first + count; i++)
        list.push(i >= 0 && i < bookBlocks ? blockHtml(i) : null);
    return list;
}
window.calls = [];
window.held = [];
window.atPaint = [];
function called(name) {
    return window.calls.filter(function (c) { return c[0] === name; });
}
function releaseHeld() {
    var list = window.held;
    window.held = null;
    list.forEach(function (answer) { answer(); });
}
function pageNow() {
    var room = document.getElementById('topwhitespace');
    var place = document.getElementById(qsPlacement.place.id);
    return { first: qsPlacement.first, last: qsPlacement.last, offset: window.pageYOffset,
             height: document.documentElement.scrollHeight, room: parseFloat(room.style.height) || 0,
             top: place ? place.getBoundingClientRect().top : null };
}
jsInterface = {
    getHTMLTextForBlocks: function (first, count) {
        window.calls.push(['getHTMLTextForBlocks', first, count]);
        return blocksFrom(first, count);
    },
    getHTMLTextForBlocksLater: function (first, count, done) {
        window.calls.push(['getHTMLTextForBlocksLater', first, count]);
        var answer = function () { done(blocksFrom(first, count)); };
        if (Array.isArray(window.held))
            window.held.push(answer);
        else
            setTimeout(answer, 0);
    },
    isABible: function () { window.calls.push(['isABible']); return false; },
    updatePosition: function (book, serial, block, verse, offset, pageOffset) {
        window.calls.push(['updatePosition', book, serial, block, verse, offset, pageOffset]);
    },
    pagePainted: function (serial) { window.calls.push(['pagePainted', serial]); },
    placePainted: function (serial) {
        window.calls.push(['placePainted', serial]);
        window.atPaint.push(pageNow());
        if (window.onPlacePainted)
            window.onPlacePainted(serial);
    },
    hideHrefTargetTooltip: function () { window.calls.push(['hideHrefTargetTooltip']); },
    writeToLog: function (text) { window.calls.push(['writeToLog', text]); }
};
)JS";

class PageScript : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_view.resize(800, 600);
        m_view.show();
        // The frame of a book page: white space, the markers, and the first blocks put in by the script.
        QString page =
            QStringLiteral("<!DOCTYPE html><html><head><style>body{margin:0;font:16px sans-serif}</style><script>"
                           "var sourceTupleString='the book';var webViewSerialNumber=1;var qsBridgeBase='';"
                           "var qsFrameKey='f00d';var qsBatchMost=%1;</script><script>")
                .arg(BookPageBlocks::kMaxBlocksPerFetch);
        page += BookPageHtml::pageScript();
        page += QStringLiteral("</script><script>") + QString::fromLatin1(kReader) +
            QStringLiteral("</script></head><body id='body'>"
                           "<div style='clear:both' id='topwhitespace'></div>"
                           "<div style='clear:both' id='startofpage'>Loading...</div>"
                           "<div style='clear:both' id='endofpage'>Loading...</div>"
                           "<div style='clear:both' id='bottomwhitespace'></div>"
                           "<script>qsStartPage(100, blocksFrom(100, 6), '_b100', 0);</script>"
                           "</body></html>");
        ASSERT_GT(BookPageHtml::pageScript().size(), 1000);
        bool loaded = false;
        QObject::connect(m_view.page(), &QWebEnginePage::loadFinished, [&loaded](bool) { loaded = true; });
        m_view.setHtml(page);
        ASSERT_TRUE(waitFor([&] { return loaded; }));
    }

    QVariant js(const QString& script) { return TestSupport::runScript(m_view.page(), script).value_or(QVariant()); }
    // The script's answer as text, for comparisons that print legibly.
    std::string text(const QString& script) { return js(script).toString().toStdString(); }
    bool waitUntil(const QString& condition) { return waitForScript(m_view.page(), condition, true); }

    // The new page, its blocks around the place given at once.
    void startPlaced()
    {
        js(QStringLiteral("releaseHeld()"));
        ASSERT_TRUE(waitUntil(QStringLiteral("called('updatePosition').length > 0")));
    }

    // The top of block n in the view (null when the page does not hold it).
    double topOf(int n)
    {
        return js(QStringLiteral("(function(){var e=document.getElementById('_b%1');"
                                 "return e?e.getBoundingClientRect().top:null;})()")
                      .arg(n))
            .toDouble();
    }

    QWebEngineView m_view;
};

// A new page shows its place before the blocks around it come: it asks for them without waiting,
// reports no position while they are on their way, and then fills around the place, which stays at
// the top of the view, from what came (nothing asked again).
TEST_F(PageScript, ANewPageFillsAroundItsPlaceOnceTheBlocksAroundCame)
{
    ASSERT_TRUE(waitUntil(QStringLiteral("called('pagePainted').length === 1")));
    EXPECT_EQ(text(QStringLiteral("JSON.stringify(called('pagePainted'))")), "[[\"pagePainted\",1]]");
    ASSERT_TRUE(waitUntil(QStringLiteral("window.held.length === 2")));
    EXPECT_EQ(text(QStringLiteral("JSON.stringify(called('getHTMLTextForBlocksLater'))")),
        QStringLiteral("[[\"getHTMLTextForBlocksLater\",68,32],[\"getHTMLTextForBlocksLater\",%1,32]]")
            .arg(js(QStringLiteral("qsPlacement.last + 1")).toInt())
            .toStdString());
    // Still on its way: a report asked for now waits, and the page holds only the first blocks.
    EXPECT_EQ(text(QStringLiteral("qsPlacement.state")), "fetching");
    EXPECT_EQ(js(QStringLiteral("qsReportPosition(); called('updatePosition').length")).toInt(), 0);
    EXPECT_EQ(js(QStringLiteral("qsPlacement.first")).toInt(), 100);
    const double top = topOf(100);
    EXPECT_LT(qAbs(top), 1.0);

    const int asked = js(QStringLiteral("called('getHTMLTextForBlocks').length")).toInt();
    startPlaced();
    EXPECT_EQ(text(QStringLiteral("qsPlacement.state")), "idle");
    EXPECT_EQ(topOf(100), top);
    EXPECT_EQ(text(QStringLiteral("JSON.stringify(called('updatePosition'))")),
        QStringLiteral("[[\"updatePosition\",\"the book\",1,\"_b100\",\"\",%1,%2]]")
            .arg(qRound(-top))
            .arg(js(QStringLiteral("Math.round(window.pageYOffset)")).toInt())
            .toStdString());
    // Two screens above the view and two below it are filled, from the blocks that came.
    EXPECT_GE(top - topOf(js(QStringLiteral("qsPlacement.first")).toInt()), 1200.0);
    EXPECT_GE(
        js(QStringLiteral("document.getElementById('endofpage').getBoundingClientRect().top")).toDouble(), 1800.0);
    EXPECT_EQ(js(QStringLiteral("called('getHTMLTextForBlocks').length")).toInt(), asked);
}

// A go-to out of the page's blocks replaces them by the place's and paints it at the top with room
// held above and below; a frame later the blocks around it fill in and take the room's place, so the
// page keeps the length and the offset of that paint to the fraction of a pixel.
TEST_F(PageScript, AGoToLandsItsBlockAtTheTopAndTheBlocksAroundTakeTheHeldRoom)
{
    startPlaced();
    const QVariantList answer =
        js(QStringLiteral("var r=qsGoToPlace('_b150',0,2,150,blocksFrom(150,3),'_b150',0,false);"
                          "[r[0],r[2],qsPlacement.state]"))
            .toList();
    ASSERT_EQ(answer.size(), 3);
    EXPECT_FALSE(answer[0].toBool());  // not a move within the page
    EXPECT_TRUE(answer[1].toBool());   // its blocks replaced
    EXPECT_EQ(answer[2].toString().toStdString(), "landing");
    ASSERT_TRUE(waitUntil(QStringLiteral("called('updatePosition').some(function(c){return c[2]===2;})")));

    // The paint showed the place alone at the top, below three screens of room.
    const QVariantMap paint = js(QStringLiteral("window.atPaint[0]")).toMap();
    const double room = paint.value(QStringLiteral("room")).toDouble();
    const double top = paint.value(QStringLiteral("top")).toDouble();
    EXPECT_EQ(paint.value(QStringLiteral("first")).toInt(), 150);
    EXPECT_GE(room, 1800.0);
    EXPECT_LT(room, 1801.0);
    EXPECT_LT(qAbs(top), 1.0);

    // The blocks around came into that room: two screens of them above the place, and the offset,
    // the length and the place on screen are those of the paint. (They come after the paint: on a
    // loaded machine a moment after it.)
    waitUntil(QStringLiteral("pageNow().room <= window.atPaint[0].room - 1200"));
    const QVariantMap now = js(QStringLiteral("pageNow()")).toMap();
    const int first = now.value(QStringLiteral("first")).toInt();
    double above = 0;
    for (int n = first; n < 150; ++n)
        above += 80 + n % 7 + (n % 2 ? 0.25 : 0);
    EXPECT_GE(above, 1200.0);
    EXPECT_EQ(now.value(QStringLiteral("room")).toDouble() + above, room);
    EXPECT_EQ(now.value(QStringLiteral("offset")).toDouble(), paint.value(QStringLiteral("offset")).toDouble());
    EXPECT_EQ(now.value(QStringLiteral("height")).toInt(), paint.value(QStringLiteral("height")).toInt());
    EXPECT_EQ(now.value(QStringLiteral("top")).toDouble(), top);

    const QVariantList reports = js(QStringLiteral("called('updatePosition')")).toList();
    EXPECT_EQ(reports.last().toList(),
        (QVariantList {QStringLiteral("updatePosition"), QStringLiteral("the book"), 2, QStringLiteral("_b150"),
            QString(), qRound(-top), qRound(paint.value(QStringLiteral("offset")).toDouble())}));
    EXPECT_EQ(text(QStringLiteral("JSON.stringify(called('placePainted'))")), "[[\"placePainted\",2]]");
    EXPECT_EQ(text(QStringLiteral("qsPlacement.state")), "idle");
}

// A go-to that comes before another's paint, or while the reader is told of that paint, overtakes
// it: each paint is told, but only the last place is filled around and reported, and the filling
// stays held until the last place has painted.
TEST_F(PageScript, ASecondGoToOvertakesTheFirst)
{
    startPlaced();
    js(QStringLiteral("qsGoToPlace('_b20',0,3,20,blocksFrom(20,3),'_b20',0,false);"
                      "qsGoToPlace('_b180',0,4,180,blocksFrom(180,3),'_b180',0,false);"));
    ASSERT_TRUE(waitUntil(QStringLiteral("called('updatePosition').some(function(c){return c[2]===4;})")));
    EXPECT_EQ(
        text(QStringLiteral("JSON.stringify(called('placePainted'))")), "[[\"placePainted\",3],[\"placePainted\",4]]");
    EXPECT_LT(qAbs(topOf(180)), 1.0);
    EXPECT_TRUE(js(QStringLiteral("document.getElementById('_b20') === null")).toBool());
    EXPECT_EQ(js(QStringLiteral("called('updatePosition').filter(function(c){return c[2]===3;}).length")).toInt(), 0);

    // Now the next go-to comes while the reader is told the first one painted: the first neither
    // settles nor lets the page fill before the second has painted (once the first's paint is done
    // with, the second is still landing).
    js(QStringLiteral("window.onPlacePainted=function(serial){if(serial!==5)return;window.onPlacePainted=null;"
                      "qsGoToPlace('_b60',0,6,60,blocksFrom(60,3),'_b60',0,false);"
                      "setTimeout(function(){window.afterSecond=[qsPlacement.state,qsPlacement.first];},0);};"
                      "qsGoToPlace('_b40',0,5,40,blocksFrom(40,3),'_b40',0,false);"));
    ASSERT_TRUE(waitUntil(QStringLiteral("called('updatePosition').some(function(c){return c[2]===6;})")));
    EXPECT_EQ(text(QStringLiteral("JSON.stringify(window.afterSecond)")), "[\"landing\",60]");
    const QVariantList paints = js(QStringLiteral("window.atPaint")).toList();
    ASSERT_EQ(paints.size(), 4);
    EXPECT_EQ(paints[3].toMap().value(QStringLiteral("first")).toInt(), 60);  // nothing filled before its paint
    EXPECT_LT(qAbs(topOf(60)), 1.0);
    EXPECT_EQ(js(QStringLiteral("called('updatePosition').filter(function(c){return c[2]===5;}).length")).toInt(), 0);
    EXPECT_EQ(text(QStringLiteral("called('updatePosition').slice(-1)[0][3]")), "_b60");
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("page-script-test");
    return RUN_ALL_TESTS();
}
