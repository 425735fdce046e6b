#include "library/GoToLink.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

using namespace GoToLink;

TEST(GoToLink, PageEscapesRoundTripInTheBridgeOrder)
{
    EXPECT_EQ(unescapePageText(QStringLiteral("sync:@@bs@@@@bs@@H430")), QStringLiteral("sync:\\\\H430"));
    EXPECT_EQ(unescapePageText(QStringLiteral("bible:Paul@@apos@@s @@quot@@x@@quot@@")),
        QStringLiteral("bible:Paul's \"x\""));
    EXPECT_EQ(unescapePageText(QStringLiteral("@@backspace@@@@formfeed@@@@newline@@@@return@@@@tab@@@@verticaltab@@")),
        QString::fromUtf16(u"\b\f\n\r\t\v"));
    // "@@bs@@" goes first: an escaped backslash followed by "apos@@" stays a backslash and text.
    EXPECT_EQ(unescapePageText(QStringLiteral("@@bs@@apos@@")), QStringLiteral("\\apos@@"));
    const QString all = QString::fromUtf16(u"a\\b'c\"d\be\ff\ng\rh\ti\vj");
    EXPECT_EQ(unescapePageText(escapePageText(all)), all);
    EXPECT_EQ(escapePageText(QStringLiteral("book:1\\2\\x")), QStringLiteral("book:1@@bs@@2@@bs@@x"));
}

TEST(GoToLink, PageHrefsAndScripts)
{
    PageHref h = readPageHref(QStringLiteral("javascript:href('sync:@@bs@@@@bs@@G3056');"));
    EXPECT_EQ(h.kind, PageHref::Kind::Target);
    EXPECT_EQ(h.target, QStringLiteral("sync:\\\\G3056"));
    h = readPageHref(QStringLiteral("javascript:href('bible:Paul@@apos@@s%20letter');"));
    EXPECT_EQ(h.kind, PageHref::Kind::Target);
    EXPECT_EQ(h.target, QStringLiteral("bible:Paul's letter"));
    EXPECT_EQ(readPageHref(QStringLiteral("javascript:toggleFootnote('_fn12');")).kind, PageHref::Kind::PageScript);
    h = readPageHref(QStringLiteral("bible:#01010101"));
    EXPECT_EQ(h.kind, PageHref::Kind::Plain);
    EXPECT_EQ(h.target, QStringLiteral("bible:#01010101"));
    // Anything that could leave the script string, or any other script, is refused.
    for (const char* hostile : {"javascript:href('x');alert(1);//');", "javascript:href('x%27);alert(1);//');",
             "javascript:href('x\\');", "javascript:href('a%0Ab');", "javascript:href('a%E2%80%A8b');",
             "javascript:alert(1)", "JavaScript:href('x')", "vbscript:msgbox", "data:text/html,<script>",
             "javascript:toggleFootnote('_fn1');alert(1);"}) {
        EXPECT_EQ(readPageHref(QString::fromUtf8(hostile)).kind, PageHref::Kind::Refused) << hostile;
    }
    // Bad percent escapes stay as written.
    h = readPageHref(QStringLiteral("javascript:href('bible:%zz%4');"));
    EXPECT_EQ(h.kind, PageHref::Kind::Target);
    EXPECT_EQ(h.target, QStringLiteral("bible:%zz%4"));
    EXPECT_EQ(readPageHref(QString(kMaxLinkLength + 1, u'a')).kind, PageHref::Kind::Refused);
}

TEST(GoToLink, WebLinks)
{
    auto w = webLink(QStringLiteral("HTTPS://Example.org/a b?q=1#frag"));
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->inAppWindow);
    EXPECT_EQ(w->url.toString(QUrl::FullyEncoded), QStringLiteral("https://example.org/a%20b?q=1#frag"));
    w = webLink(QStringLiteral("apphttps://example.org/x%20y"));
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->inAppWindow);
    EXPECT_EQ(w->url.toString(QUrl::FullyEncoded), QStringLiteral("https://example.org/x%20y"));
    w = webLink(QStringLiteral("AppHttp://example.org/"));
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->inAppWindow);
    EXPECT_EQ(w->url.scheme(), QStringLiteral("http"));
    w = webLink(QStringLiteral("http://example.org/%zz"));
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->url.isValid());
    EXPECT_EQ(w->url.toString(QUrl::FullyEncoded), QStringLiteral("http://example.org/%25zz"));
    // Web links that must not be opened.
    for (const char* bad :
        {"http://", "http:///etc/passwd", "https://exa mple.org/", "http://a.org/\nx", "apphttps://", "http://[::1"}) {
        w = webLink(QString::fromUtf8(bad));
        ASSERT_TRUE(w) << bad;
        EXPECT_FALSE(w->url.isValid()) << bad;
    }
    w = webLink(QStringLiteral("http://example.org/") + QString(kMaxLinkLength, u'a'));
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->url.isValid());
    for (const char* other :
        {"javascript:alert(1)", "file:///etc/passwd", "ftp://example.org", "bible:Gen 1:1", "httpx://a", ""})
        EXPECT_FALSE(webLink(QString::fromUtf8(other))) << other;
}

TEST(GoToLink, ClassifiesEveryKind)
{
    EXPECT_EQ(classify(QStringLiteral("BIBLE:#01010101")).kind, LinkKind::Bible);
    EXPECT_EQ(classify(QStringLiteral("BIBLE:#01010101")).text, QStringLiteral("#01010101"));
    EXPECT_EQ(classify(QStringLiteral("bible:")).kind, LinkKind::Bible);
    EXPECT_TRUE(classify(QStringLiteral("bible:")).text.isEmpty());
    EXPECT_EQ(classify(QStringLiteral("Book:24\\101\\x")).kind, LinkKind::Book);
    EXPECT_EQ(classify(QStringLiteral("sync:\\\\H430")).kind, LinkKind::Sync);
    EXPECT_EQ(classify(QStringLiteral("note:_001001001000")).kind, LinkKind::Note);
    const Link n = classify(QStringLiteral(" 12"));
    EXPECT_EQ(n.kind, LinkKind::Section);
    EXPECT_EQ(n.section, 12u);
    for (const char* none : {"0", "-5", "12 ", "1.5", "99999999999", "bibl", "javascript:alert(1)", "", "note", "sync"})
        EXPECT_EQ(classify(QString::fromUtf8(none)).kind, LinkKind::None) << none;
    EXPECT_EQ(classify(QStringLiteral("bible:") + QString(kMaxLinkLength, u'1')).kind, LinkKind::None);
}

TEST(GoToLink, BookLinks)
{
    BookLink b = parseBookLink(QStringLiteral("24\\101\\Part 1\\Chapter 2"));
    EXPECT_EQ(b.pubID, 24);
    EXPECT_EQ(b.bookID, 101);
    EXPECT_TRUE(b.hasPath());
    EXPECT_TRUE(b.idsValid());
    EXPECT_EQ(b.path, QStringLiteral("Part 1\\Chapter 2"));
    b = parseBookLink(QStringLiteral("24\\101"));
    EXPECT_FALSE(b.hasPath());
    EXPECT_TRUE(b.idsValid());
    b = parseBookLink(QStringLiteral("x\\y\\z"));
    EXPECT_FALSE(b.idsValid());
    b = parseBookLink(QStringLiteral("99999999999999999999\\1\\z"));
    EXPECT_EQ(b.pubID, 0);
    b = parseBookLink(QString());
    EXPECT_EQ(b.partCount, 1);
    EXPECT_FALSE(b.idsValid());
}

TEST(GoToLink, NoteLinks)
{
    NoteLink n = parseNoteLink(QStringLiteral("_001002003000"));
    ASSERT_EQ(n.kind, NoteLink::Kind::BibleVerse);
    EXPECT_EQ(n.book, 1);
    EXPECT_EQ(n.chapter, 2);
    EXPECT_EQ(n.verse, 3);
    EXPECT_EQ(n.key(), 0x010203u);
    n = parseNoteLink(QStringLiteral("_00024001010010000000007"));
    ASSERT_EQ(n.kind, NoteLink::Kind::BookSection);
    EXPECT_EQ(n.pubID, 24);
    EXPECT_EQ(n.bookID, 101);
    EXPECT_EQ(n.edition, 1);
    EXPECT_EQ(n.section, 7);
    for (const char* bad : {"_0010", "_00100200", "_001002003000x", "_00a002003000", "_999002003000", "_001300003000",
             "_00024001010010000000x07", ""})
        EXPECT_EQ(parseNoteLink(QString::fromUtf8(bad)).kind, NoteLink::Kind::None) << bad;
}

TEST(GoToLink, SyncTextStrongsAndIntegers)
{
    EXPECT_EQ(syncLookupText(QStringLiteral("\\\\H430")), QStringLiteral("H430"));
    EXPECT_EQ(syncLookupText(QStringLiteral("1\\2\\love\\x")), QStringLiteral("love\\x"));
    EXPECT_EQ(syncLookupText(QStringLiteral("a\\b")), QStringLiteral("a\\b"));
    EXPECT_TRUE(isStrongsNumber(QStringLiteral("H430")));
    EXPECT_TRUE(isStrongsNumber(QStringLiteral("g2")));
    EXPECT_FALSE(isStrongsNumber(QStringLiteral("H")));
    EXPECT_FALSE(isStrongsNumber(QStringLiteral("Hebrew")));
    EXPECT_FALSE(isStrongsNumber(QStringLiteral("x1")));
    EXPECT_EQ(scanInteger(QStringLiteral(" 12"), false), 12);
    EXPECT_EQ(scanInteger(QStringLiteral("-2147483648"), false), -2147483648LL);
    EXPECT_FALSE(scanInteger(QStringLiteral("2147483648"), false));
    EXPECT_EQ(scanInteger(QStringLiteral("2147483648"), true), 2147483648LL);
    EXPECT_FALSE(scanInteger(QStringLiteral("12 "), false));
    EXPECT_FALSE(scanInteger(QStringLiteral("+"), true));
    EXPECT_FALSE(scanInteger(QStringLiteral("99999999999999999999999"), true));
}

TEST(GoToRequest, MapRoundTripKeepsEveryKeyAndReadsLeniently)
{
    GoToRequest r;
    r.layoutUuid = QStringLiteral("L");
    r.href = QStringLiteral("bible:Gen 1:1");
    r.sourceTupleID = SourceTupleID(1, 101, 1, 1);
    r.section = 7;
    r.block = GoToRequest::kNoBlock;
    r.bibleKey = 0x010101;
    r.paneRegion = 2;
    r.activate = true;
    r.synchronous = false;
    r.wordSync = QStringLiteral("love");
    r.doesNotSendLocationSync = false;
    r.syncAnyway = true;
    r.following = true;
    r.extra.insert(QStringLiteral("custom"), 5);
    const QVariantMap m = r.toUserInfo();
    EXPECT_FALSE(m.contains(GoToKeys::sync));
    EXPECT_TRUE(m.contains(GoToKeys::synchronous));
    const GoToRequest back = GoToRequest::fromUserInfo(m);
    EXPECT_EQ(back.toUserInfo(), m);
    EXPECT_EQ(back.section, 7u);
    EXPECT_EQ(back.sourceTupleID, SourceTupleID(1, 101, 1, 1));
    EXPECT_EQ(back.paneRegion, 2);
    EXPECT_TRUE(back.syncAnyway);
    EXPECT_TRUE(back.following);
    EXPECT_EQ(back.extra.value(QStringLiteral("custom")), 5);

    QVariantMap odd;
    odd.insert(GoToKeys::section, QStringLiteral("12"));
    odd.insert(GoToKeys::bibleKey, -1);
    odd.insert(GoToKeys::sync, QStringLiteral("yes"));
    odd.insert(GoToKeys::activate, 1);
    odd.insert(GoToKeys::href, 5);
    odd.insert(GoToKeys::paneRegion, QStringLiteral("x"));
    odd.insert(GoToKeys::sourceTuple, QStringLiteral("not a book"));
    const GoToRequest o = GoToRequest::fromUserInfo(odd);
    EXPECT_EQ(o.section, 12u);
    EXPECT_FALSE(o.bibleKey);
    EXPECT_FALSE(o.sync);
    EXPECT_TRUE(o.activate);
    EXPECT_FALSE(o.href);
    EXPECT_FALSE(o.paneRegion);
    EXPECT_FALSE(o.sourceTuple);
    EXPECT_TRUE(o.layoutUuid.isEmpty());
}

TEST(GoToRequest, LocationSyncTravelsTyped)
{
    NotificationCenter center;
    const int sender = 0;
    QList<GoToRequest> synced;
    QList<QVariantMap> maps;
    int goTos = 0;
    center.addObserver(&synced, LibraryNotifications::EverybodySyncToMeNotification, [&](Notification& n) {
        EXPECT_EQ(n.object, &sender);
        synced.append(GoToRequest::of(n));
        maps.append(n.userInfo);
    });
    center.addObserver(&synced, LibraryNotifications::GoToNotification, [&](Notification&) { ++goTos; });

    GoToRequest place;
    place.layoutUuid = QStringLiteral("layout-1");
    place.bibleKey = 0x2B0310;
    place.paneRegion = 1;
    place.wordSync = QStringLiteral("grace");
    place.doesNotSendLocationSync = true;
    place.syncAnyway = true;
    place.postLocationSync(center, &sender);
    ASSERT_EQ(synced.size(), 1);
    EXPECT_EQ(goTos, 0);             // a sync is no go-to
    EXPECT_TRUE(maps[0].isEmpty());  // the request itself travels, not a map of its keys
    EXPECT_EQ(synced[0].toUserInfo(), place.toUserInfo());

    // A notification that carries no request reads as one for no layout, which every observer ignores.
    center.postNotificationName(LibraryNotifications::EverybodySyncToMeNotification, &sender,
        {{GoToKeys::layoutUuid, QStringLiteral("layout-1")}, {GoToKeys::bibleKey, 5}});
    ASSERT_EQ(synced.size(), 2);
    EXPECT_TRUE(synced[1].layoutUuid.isEmpty());
    EXPECT_FALSE(synced[1].bibleKey);
    center.removeObserver(&synced);
}
