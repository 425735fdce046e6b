#include "GoToRouterFixture.h"

#include "library/GoToLink.h"
#include "library/LibraryNotifications.h"
#include "platform/SettingsKeys.h"

#include <QEventLoop>
#include <QTimer>

namespace {

constexpr qint64 kKJV = 101, kWEB = 102, kScofield = 110, kTreasury = 111, kHebrew = 120, kGreek = 121, kNave = 122,
                 kDaily = 130;

class GoToRouterTest : public GoToRouterFixture { };

QStringList withoutSync(QStringList log)
{
    log.removeIf([](const QString& s) { return s.startsWith(QLatin1String("sync ")); });
    return log;
}

TEST_F(GoToRouterTest, HyperlinkRunsTheFollowUpsInOrder)
{
    setPanes(book(kKJV), {book(kKJV), book(kScofield)}, book(kNave), {book(kNave)});
    GoToRequest r = link(QStringLiteral("bible:#01010101"));
    r.wasHyperlink = true;
    r.activate = true;
    r.sync = true;
    post(r);
    const QStringList expected = {QStringLiteral("record 0"), QStringLiteral("goTo 0"), QStringLiteral("current 0"),
        QStringLiteral("post PushKeyOnRecentStackNotification"), QStringLiteral("post EverybodySyncToMeNotification"),
        QStringLiteral("record 0"), QStringLiteral("sync BIBLEHIGHLIGHTS 0"), QStringLiteral("sync BIBLENOTES 0"),
        QStringLiteral("sync BOOKNOTES 0"), QStringLiteral("sync DEVOTIONALPROGRESS 0"),
        QStringLiteral("sync DEVOTIONALSTARTDATE 0")};
    EXPECT_EQ(m_panes.log, expected);
    ASSERT_EQ(m_panes.layouts[0].panes[0].received.size(), 1u);
    const GoToRequest& seen = m_panes.layouts[0].panes[0].received[0];
    EXPECT_TRUE(sameBookForTest(seen.sourceTuple, book(kKJV)));
    EXPECT_GT(seen.section.value_or(0), 0u);
    EXPECT_EQ(seen.synchronous, false);
    EXPECT_EQ(seen.paneRegion, 0);

    ASSERT_EQ(m_posted.size(), 2);
    EXPECT_NE(m_posted[0].userInfo.value(GoToKeys::key).toUInt(), 0u);
    EXPECT_EQ(m_posted[0].userInfo.value(GoToKeys::abbr).toString(), QStringLiteral("KJV"));
    EXPECT_EQ(m_posted[0].userInfo.value(GoToKeys::layoutUuid).toString(), kLayout);
    const GoToRequest synced = GoToRequest::of(m_posted[1]);
    EXPECT_EQ(m_posted[1].object, m_router.get());
    EXPECT_EQ(synced.layoutUuid, kLayout);
    EXPECT_EQ(synced.doesNotSendLocationSync, false);
    EXPECT_EQ(synced.bibleKey, m_posted[0].userInfo.value(GoToKeys::key).toUInt());
}

TEST_F(GoToRouterTest, ReentrantRequestFromAPaneCompletesInsideTheOuterOne)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kScofield), {book(kScofield), book(kTreasury)});
    m_panes.layouts[0].panes[1].doesNotSendLocationSync = true;
    // Pane 1 selecting a tab asks for history and for another pane to follow, as a book pane does
    // when its tab changes; inside the routed move its history request records nothing.
    bool once = true;
    m_panes.layouts[0].panes[1].onGoTo = [&](GoToRequest&) {
        if (!once)
            return;
        once = false;
        QVariantMap history {{GoToKeys::alwaysAdd, false}, {GoToKeys::layoutUuid, kLayout}};
        m_center.postNotificationName(LibraryNotifications::AddStateToHistoryNotification, nullptr, history);
        GoToRequest follow;
        follow.layoutUuid = kLayout;
        follow.sourceTuple = book(kKJV);
        follow.section = 3;
        follow.sync = true;
        follow.noHistory = true;
        follow.post(m_center, nullptr);
    };
    GoToRequest r;
    r.layoutUuid = kLayout;
    r.sourceTuple = book(kTreasury);
    r.section = 5;
    r.sync = true;
    r.noBusyIndicator = true;
    post(r);
    const QStringList expected = {
        QStringLiteral("record 0"),                            // before the outer move (the stack is empty)
        QStringLiteral("goTo 1"),                              // the tab of Treasury of David in pane 1
        QStringLiteral("goTo 0"),                              // the nested request moves pane 0
        QStringLiteral("post EverybodySyncToMeNotification"),  // nested sync
        QStringLiteral("current 1"),                           // the outer request activates pane 1
        QStringLiteral("post EverybodySyncToMeNotification"),  // outer sync
        QStringLiteral("record 0"),                            // after the outer move
    };
    EXPECT_EQ(withoutSync(m_panes.log), expected);
    EXPECT_EQ(m_history->stackForLayout(kLayout)->entries.size(), 2);  // one move, one step
    EXPECT_EQ(m_panes.log.count(QStringLiteral("sync BIBLEHIGHLIGHTS 0")), 2);
    ASSERT_EQ(m_posted.size(), 2);
    const GoToRequest nested = GoToRequest::of(m_posted[0]);
    const GoToRequest outer = GoToRequest::of(m_posted[1]);
    EXPECT_TRUE(sameBookForTest(nested.sourceTuple, book(kKJV)));
    EXPECT_EQ(nested.doesNotSendLocationSync, false);
    EXPECT_TRUE(sameBookForTest(outer.sourceTuple, book(kTreasury)));
    EXPECT_EQ(outer.section, 5u);
    EXPECT_EQ(outer.paneRegion, 1);
    EXPECT_TRUE(outer.activate);  // found in a tab of pane 1
    EXPECT_EQ(outer.doesNotSendLocationSync, true);
    EXPECT_TRUE(sameBookForTest(m_panes.layouts[0].panes[0].current, book(kKJV)));
}

TEST_F(GoToRouterTest, WebLinksLeaveTheReaderAndNothingElseHappens)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    post(link(QStringLiteral("HTTPS://example.org/a b")));
    post(link(QStringLiteral("apphttps://example.org/store")));
    post(link(QStringLiteral("apphttp://example.org/x%20y")));
    post(link(QStringLiteral("http:///etc/passwd")));
    post(link(QStringLiteral("javascript:alert(1)")));
    post(link(QStringLiteral("file:///etc/passwd")));
    post(link(QStringLiteral("bible:") + QString(GoToLink::kMaxLinkLength, u'1')));
    const QStringList opened = {QStringLiteral("browser https://example.org/a%20b"),
        QStringLiteral("web window https://example.org/store"), QStringLiteral("browser http://example.org/x%20y")};
    // The script and file links are no links of the reader: they resolve to nothing, silently.
    QStringList log = withoutSync(m_panes.log);
    log.removeAll(QStringLiteral("record 0"));
    EXPECT_EQ(log, opened);
    EXPECT_TRUE(m_alerts->shown().isEmpty());
    EXPECT_TRUE(m_posted.isEmpty());
}

TEST_F(GoToRouterTest, RequestsForOtherLayoutsAreIgnored)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    GoToRequest r = link(QStringLiteral("bible:#01010101"));
    r.layoutUuid = QStringLiteral("another");
    post(r);
    r.layoutUuid.clear();
    post(r);
    EXPECT_TRUE(m_panes.log.isEmpty());
}

TEST_F(GoToRouterTest, IdentityOfAMissingBookFallsBackToTheLink)
{
    setPanes(book(kNave), {book(kNave)}, book(kKJV), {book(kKJV)});
    GoToRequest r;
    r.layoutUuid = kLayout;
    r.sourceTupleID = SourceTupleID(99, 99, 1, 1);
    r.noHistory = true;
    post(r);
    EXPECT_TRUE(m_panes.log.isEmpty());
    r.href = QStringLiteral("bible:#01010101");
    post(r);
    EXPECT_EQ(withoutSync(m_panes.log), QStringList {QStringLiteral("goTo 1")});
    r = GoToRequest();
    r.layoutUuid = kLayout;
    r.sourceTupleID = SourceTupleID(1, kWEB, 1, 1);
    r.noHistory = true;
    m_panes.log.clear();
    post(r);
    EXPECT_EQ(withoutSync(m_panes.log), (QStringList {QStringLiteral("goTo 0"), QStringLiteral("current 0")}));
    EXPECT_TRUE(sameBookForTest(m_panes.layouts[0].panes[0].received.back().sourceTuple, book(kWEB)));
    EXPECT_TRUE(m_panes.layouts[0].panes[0].received.back().activate);  // opened as a new tab
}

TEST_F(GoToRouterTest, PaneChoiceRules)
{
    setPanes(book(kKJV), {book(kKJV), book(kScofield)}, book(kKJV), {book(kKJV), book(kNave)});
    GoToRequest r;
    r.layoutUuid = kLayout;
    // The current pane shows the book: the current pane.
    EXPECT_EQ(m_router->paneForGoTo(r, book(kKJV)), 0);
    EXPECT_FALSE(r.activate);
    // Another pane shows it.
    m_panes.layouts[0].current = 1;
    EXPECT_EQ(m_router->paneForGoTo(r, book(kKJV)), 1);
    m_panes.layouts[0].panes[1].current = book(kNave);
    EXPECT_EQ(m_router->paneForGoTo(r, book(kKJV)), 0);
    // A tab of the current pane, then a tab of any pane.
    EXPECT_EQ(m_router->paneForGoTo(r, book(kNave)), 1);
    r.activate = false;
    m_panes.layouts[0].panes[1].current = book(kWEB);
    EXPECT_EQ(m_router->paneForGoTo(r, book(kNave)), 1);
    EXPECT_TRUE(r.activate);
    r.activate = false;
    EXPECT_EQ(m_router->paneForGoTo(r, book(kScofield)), 0);
    EXPECT_TRUE(r.activate);
    // Nowhere: a new tab in the current book pane.
    r.activate = false;
    EXPECT_EQ(m_router->paneForGoTo(r, book(kDaily)), 1);
    EXPECT_TRUE(r.activate);
    // The study pane current: the book is nowhere, so no pane.
    m_panes.layouts[0].current = 2;
    EXPECT_EQ(m_router->paneForGoTo(r, book(kDaily)), std::nullopt);
    EXPECT_FALSE(r.paneRegion);
    // Forced pane, and a forced pane without a region.
    r.forcePane = true;
    r.paneRegion = 1;
    EXPECT_EQ(m_router->paneForGoTo(r, book(kKJV)), 1);
    r.paneRegion.reset();
    EXPECT_EQ(m_router->paneForGoTo(r, book(kKJV)), 0);
}

TEST_F(GoToRouterTest, StudyPaneCurrentAndBookNowhereMovesNothing)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    m_panes.layouts[0].current = 2;
    GoToRequest r;
    r.layoutUuid = kLayout;
    r.sourceTuple = book(kDaily);
    r.noHistory = true;
    post(r);
    EXPECT_EQ(withoutSync(m_panes.log), QStringList());
    EXPECT_TRUE(m_panes.layouts[0].panes[2].received.empty());
}

// A go-to only readied reaches the pane the go-to would go to, and nothing else happens: no move,
// no pane made current, no history, no busy indicator, no follow-ups, no sync. Without a book named,
// or with the book in no book pane, nothing is readied.
TEST_F(GoToRouterTest, AReadiedGoToOnlyReachesItsPane)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    m_panes.layouts[0].current = 2;  // the study pane, where the reference is typed
    GoToRequest r;
    r.layoutUuid = kLayout;
    r.sourceTuple = book(kNave);
    r.section = 7;
    r.sync = true;
    r.activate = true;
    r.prepareOnly = true;
    post(r);
    EXPECT_EQ(m_panes.log, QStringList {QStringLiteral("prepare 1 7")});
    r.sourceTuple = book(kDaily);
    post(r);
    r.sourceTuple.reset();
    r.href = QStringLiteral("https://example.org/");
    post(r);
    EXPECT_EQ(m_panes.log, QStringList {QStringLiteral("prepare 1 7")});
    EXPECT_TRUE(m_posted.isEmpty());
    EXPECT_TRUE(m_panes.layouts[0].panes[1].received.empty());
    EXPECT_EQ(m_panes.layouts[0].current, 2);
}

TEST_F(GoToRouterTest, HistoryFlags)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    GoToRequest r;
    r.layoutUuid = kLayout;
    r.sourceTuple = book(kKJV);
    r.section = 2;
    r.noHistory = true;
    r.postHistory = true;
    post(r);
    EXPECT_EQ(withoutSync(m_panes.log), (QStringList {QStringLiteral("goTo 0"), QStringLiteral("record 0")}));
    m_panes.log.clear();
    r.postHistory = false;
    r.preHistory = true;
    m_panes.layouts[0].panes[0].dirty = true;  // scrolled since
    post(r);                                   // the state before is recorded
    EXPECT_EQ(withoutSync(m_panes.log), (QStringList {QStringLiteral("record 0"), QStringLiteral("goTo 0")}));
    m_panes.log.clear();
    r.noHistory = false;
    r.preHistory = false;
    m_panes.layouts[0].panes[0].dirty = false;
    post(r);  // nothing changed since the last recording: only the state after
    EXPECT_EQ(withoutSync(m_panes.log), (QStringList {QStringLiteral("goTo 0"), QStringLiteral("record 0")}));
    EXPECT_EQ(m_history->stackForLayout(kLayout)->entries.size(), 3);
}

TEST_F(GoToRouterTest, HyperlinkToABibleWithoutAPlacePushesKeyZero)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    GoToRequest r;
    r.layoutUuid = kLayout;
    r.sourceTuple = book(kKJV);
    r.wasHyperlink = true;
    r.noHistory = true;
    post(r);
    ASSERT_EQ(m_posted.size(), 1);
    EXPECT_EQ(m_posted[0].name, LibraryNotifications::PushKeyOnRecentStackNotification);
    EXPECT_EQ(m_posted[0].userInfo.value(GoToKeys::key).toUInt(), 0u);
    // A block gives the section and so the key; a non-Bible pushes nothing.
    m_posted.clear();
    r.block = 100;
    post(r);
    ASSERT_EQ(m_posted.size(), 1);
    EXPECT_NE(m_posted[0].userInfo.value(GoToKeys::key).toUInt(), 0u);
    m_posted.clear();
    r.sourceTuple = book(kNave);
    post(r);
    EXPECT_TRUE(m_posted.isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Resolution

TEST_F(GoToRouterTest, BibleLinksPreferWhatIsOnScreen)
{
    setPanes(book(kNave), {book(kNave), book(kWEB)}, book(kKJV), {book(kKJV)});
    QVariantMap answer = ask(link(QStringLiteral("BIBLE:#01010101")));
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kKJV)));
    EXPECT_EQ(answer.value(GoToKeys::paneRegion).toInt(), 1);
    EXPECT_GT(answer.value(GoToKeys::section).toULongLong(), 0u);
    EXPECT_GE(answer.value(GoToKeys::endSectionNumber).toULongLong(), answer.value(GoToKeys::section).toULongLong());

    // Preferred Bible first when asked.
    m_defaults->set(SettingsKeys::PreferredBiblePubId, 1);
    m_defaults->set(SettingsKeys::PreferredBibleBookId, kWEB);
    GoToRequest preferred = link(QStringLiteral("bible:#01010101"));
    preferred.preferPreferredBible = true;
    answer = ask(preferred);
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kWEB)));
    EXPECT_EQ(answer.value(GoToKeys::paneRegion).toInt(), 0);  // a tab of the current pane
    EXPECT_TRUE(answer.value(GoToKeys::activate).toBool());

    // No Bible on screen and no preference: a tab, then any installed Bible.
    m_defaults->set(SettingsKeys::PreferredBiblePubId, 0);
    setPanes(book(kNave), {book(kNave)}, book(kScofield), {book(kScofield)});
    answer = ask(link(QStringLiteral("bible:#01010101")));
    EXPECT_TRUE(isBibleForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple))));
}

TEST_F(GoToRouterTest, BibleLinkFailuresAreReported)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    QVariantMap answer = ask(link(QStringLiteral("bible:")));
    EXPECT_FALSE(answer.contains(GoToKeys::sourceTuple));
    EXPECT_EQ(answer.value(GoToKeys::alertText).toString(),
        QStringLiteral("Verse not found in any of your installed Bibles.\r\nWhile looking for "));
    for (const char* bad :
        {"bible:Hezekiah 99:99", "bible:#FFFFFFFF", "bible:#01FF0101", "bible:%zz", "bible:\\\\\\"}) {
        answer = ask(link(QString::fromUtf8(bad)));
        EXPECT_FALSE(answer.contains(GoToKeys::sourceTuple))
            << bad << " " << answer.value(GoToKeys::section).toULongLong();
        EXPECT_TRUE(answer.value(GoToKeys::alertText).toString().startsWith(QLatin1String("Verse not found"))) << bad;
    }
    // Without "noAlerts" the failure is an alert, and nothing moves.
    post(link(QStringLiteral("bible:Hezekiah 99:99")));
    ASSERT_EQ(m_alerts->shown().size(), 1);
    EXPECT_EQ(m_alerts->shown()[0].messageText, QStringLiteral("Verse not found in any of your installed Bibles."));
    EXPECT_EQ(m_alerts->shown()[0].informativeText, QStringLiteral("While looking for Hezekiah 99:99"));
    EXPECT_EQ(m_alerts->shown()[0].style, AlertStyle::Informational);
    EXPECT_TRUE(m_panes.layouts[0].panes[0].received.empty());
}

TEST_F(GoToRouterTest, BookLinks)
{
    setPanes(book(kNave), {book(kNave)}, book(kWEB), {book(kWEB)});
    const SourceTuple::Ptr scofield = book(kScofield);
    quint32 section = 0;
    const QString path = tocPathForTest(scofield, 1, &section);
    ASSERT_FALSE(path.isEmpty());
    QVariantMap answer = ask(link(QStringLiteral("book:1\\110\\") + path));
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), scofield));
    EXPECT_EQ(answer.value(GoToKeys::section).toULongLong(), section);
    EXPECT_EQ(answer.value(GoToKeys::paneRegion).toInt(), 0);  // a new tab of the current pane

    answer = ask(link(QStringLiteral("book:1\\101\\#01010101")));  // a Bible: a sync string
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kKJV)));

    answer = ask(link(QStringLiteral("book:1\\110\\No Such Heading")));
    EXPECT_EQ(answer.value(GoToKeys::alertText).toString(),
        QStringLiteral("Could not satisfy the link (No Such Heading)\nTable of contents path not found in Scofield "
                       "(Scofield Reference Notes (1917))."));
    answer = ask(link(QStringLiteral("book:1\\101\\Hezekiah 99:99")));
    EXPECT_EQ(answer.value(GoToKeys::alertText).toString(),
        QStringLiteral("Could not satisfy the link (Hezekiah 99:99)\nVerse not found in KJV"));
    answer = ask(link(QStringLiteral("book:24\\101")));
    EXPECT_EQ(answer.value(GoToKeys::alertText).toString(),
        QStringLiteral("Could not satisfy the link (24\\101)\nBook with publisher ID 24 and book ID 101 not "
                       "installed. If you own it, you can download it from your Cloud Library (File > Cloud "
                       "Library...)."));
    answer = ask(link(QStringLiteral("book:x\\y\\z")));
    EXPECT_EQ(answer.value(GoToKeys::alertText).toString(),
        QStringLiteral("Could not satisfy the link (x\\y\\z)\nThe link is malformed: 'x\\y\\z'"));
    answer = ask(link(QStringLiteral("book:-1\\-5\\z")));
    EXPECT_TRUE(
        answer.value(GoToKeys::alertText).toString().endsWith(QLatin1String("The link is malformed: '-1\\-5\\z'")));
}

TEST_F(GoToRouterTest, SyncLinksAndStrongsNumbers)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kScofield), {book(kScofield)});
    // A Strong's number: the preferred Hebrew, then Greek dictionary, before the dictionary.
    m_defaults->set(SettingsKeys::PreferredDictionaryPubId, 1);
    m_defaults->set(SettingsKeys::PreferredDictionaryBookId, kNave);
    m_defaults->set(SettingsKeys::PreferredGreekDictionaryPubId, 1);
    m_defaults->set(SettingsKeys::PreferredGreekDictionaryBookId, kGreek);
    m_defaults->set(SettingsKeys::PreferredHebrewDictionaryPubId, 1);
    m_defaults->set(SettingsKeys::PreferredHebrewDictionaryBookId, kHebrew);
    QVariantMap answer = ask(link(QStringLiteral("sync:\\\\H430")));
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kHebrew)));
    EXPECT_GT(answer.value(GoToKeys::section).toULongLong(), 0u);
    EXPECT_EQ(answer.value(GoToKeys::wordSync).toString(), QStringLiteral("H430"));
    answer = ask(link(QStringLiteral("sync:7\\9\\g26")));  // the two numbers are not used
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kGreek)));

    // With the Strong's dictionaries not preferred, any installed dictionary serves.
    m_defaults->set(SettingsKeys::PreferredHebrewDictionaryPubId, 0);
    m_defaults->set(SettingsKeys::PreferredGreekDictionaryPubId, 0);
    answer = ask(link(QStringLiteral("sync:\\\\H430")));
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kHebrew)))
        << answer.value(GoToKeys::alertText).toString().toStdString()
        << (answer.contains(GoToKeys::sourceTuple)
                   ? bookFromVariant(answer.value(GoToKeys::sourceTuple))->record().abbr.toStdString()
                   : std::string());

    // A word goes to the preferred dictionary first.
    GoToRequest word;
    word.layoutUuid = kLayout;
    word.wordSync = naveHeadwordForTest(book(kNave));
    ASSERT_FALSE(word.wordSync->isEmpty());
    answer = ask(word);
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kNave)))
        << word.wordSync->toStdString() << " " << answer.value(GoToKeys::alertText).toString().toStdString()
        << (answer.contains(GoToKeys::sourceTuple)
                   ? bookFromVariant(answer.value(GoToKeys::sourceTuple))->record().abbr.toStdString()
                   : std::string());

    answer = ask(link(QStringLiteral("sync:\\\\H999999")));
    EXPECT_EQ(answer.value(GoToKeys::alertText).toString(),
        QStringLiteral("Entry not found in any installed dictionary.\nWhile looking for H999999"));
}

TEST_F(GoToRouterTest, SyncLinkFoundOnScreenAndTheBookNameTest)
{
    setPanes(book(kScofield), {book(kScofield)}, book(kNave), {book(kNave)});
    // A verse: found by the "more than a book name" test, so the move is no word look-up.
    QVariantMap answer = ask(link(QStringLiteral("sync:#01010101")));
    ASSERT_TRUE(answer.contains(GoToKeys::sourceTuple)) << answer.value(GoToKeys::alertText).toString().toStdString();
    EXPECT_EQ(answer.value(GoToKeys::paneRegion).toInt(), 0);
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kScofield)));
    EXPECT_FALSE(answer.contains(GoToKeys::wordSync));
    // A Bible book's name alone fails that test; the plain sync string finds it, and the move is
    // then a word look-up.
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    answer = ask(link(QStringLiteral("sync:Genesis")));
    ASSERT_TRUE(answer.contains(GoToKeys::sourceTuple)) << answer.value(GoToKeys::alertText).toString().toStdString();
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kKJV)));
    EXPECT_EQ(answer.value(GoToKeys::wordSync).toString(), QStringLiteral("Genesis"));
}

TEST_F(GoToRouterTest, NoteLinksPostTheNoteAndMoveNothing)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    post(link(QStringLiteral("note:_00024001010010000000007")));
    post(link(QStringLiteral("NOTE:_043003016000")));
    post(link(QStringLiteral("note:_0010020")));
    post(link(QStringLiteral("note:_999003016000")));
    ASSERT_EQ(m_posted.size(), 2);
    EXPECT_EQ(m_posted[0].name, LibraryNotifications::qsUserNoteLinkSelected);
    EXPECT_EQ(m_posted[0].object, m_router.get());
    EXPECT_EQ(m_posted[0].userInfo.value(QStringLiteral("pubid")).toLongLong(), 24);
    EXPECT_EQ(m_posted[0].userInfo.value(QStringLiteral("bookid")).toLongLong(), 101);
    EXPECT_EQ(m_posted[0].userInfo.value(QStringLiteral("ed")).toLongLong(), 1);
    EXPECT_EQ(m_posted[0].userInfo.value(QStringLiteral("section")).toLongLong(), 7);
    EXPECT_TRUE(sameBookForTest(bookFromVariant(m_posted[0].userInfo.value(QStringLiteral("source"))), book(kKJV)));
    EXPECT_EQ(m_posted[1].userInfo.value(QStringLiteral("book")).toInt(), 43);
    EXPECT_EQ(m_posted[1].userInfo.value(QStringLiteral("chapter")).toInt(), 3);
    EXPECT_EQ(m_posted[1].userInfo.value(QStringLiteral("verse")).toInt(), 16);
    EXPECT_EQ(m_posted[1].userInfo.value(QStringLiteral("key")).toUInt(), (43u << 16) | (3u << 8) | 16u);
    for (const auto& p : m_panes.layouts[0].panes)
        EXPECT_TRUE(p.received.empty());
}

TEST_F(GoToRouterTest, SectionNumbersAndReadings)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    QVariantMap answer = ask(link(QStringLiteral("12")));
    EXPECT_EQ(answer.value(GoToKeys::section).toULongLong(), 12u);
    EXPECT_EQ(answer.value(GoToKeys::paneRegion).toInt(), 0);
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kKJV)));
    for (const char* none : {"0", "-5", "4294967296"}) {
        answer = ask(link(QString::fromUtf8(none)));
        EXPECT_FALSE(answer.contains(GoToKeys::sourceTuple)) << none;
        EXPECT_FALSE(answer.contains(GoToKeys::alertText)) << none;
    }

    GoToRequest reading;
    reading.layoutUuid = kLayout;
    reading.todaysReading = true;
    answer = ask(reading);
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kDaily)));
    EXPECT_EQ(answer.value(GoToKeys::paneRegion).toInt(), 0);
}

class GoToRouterWithoutDevotionalsTest : public GoToRouterFixture {
protected:
    QStringList bookFiles() const override { return {QStringLiteral("KJV.tvk")}; }
};

TEST_F(GoToRouterWithoutDevotionalsTest, ReadingAndDictionaryFailures)
{
    setPanes(book(kKJV), {book(kKJV)}, nullptr, {});
    GoToRequest reading;
    reading.layoutUuid = kLayout;
    reading.nextReading = true;
    QVariantMap answer = ask(reading);
    EXPECT_EQ(answer.value(GoToKeys::alertText).toString(),
        QStringLiteral("Unable to find any daily devotional books.\nNo devotional is open, chosen in Settings or "
                       "installed. To get one, choose File > Cloud Library... and download a devotional you own."));
    answer = ask(link(QStringLiteral("sync:\\\\G26")));
    EXPECT_EQ(answer.value(GoToKeys::alertText).toString(),
        QStringLiteral("Entry not found in any installed dictionary.\nWhile looking for G26"));
}

}  // namespace

namespace {

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST_F(GoToRouterTest, BusyIndicatorOnlyForSlowMovesAndNeverLeftRunning)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    GoToRequest r;
    r.layoutUuid = kLayout;
    r.sourceTuple = book(kKJV);
    r.section = 4;
    r.noHistory = true;
    post(r);  // fast: the pending start is withdrawn
    runEventLoopFor(GoToRouter::kBusyIndicatorDelayMs + 200);
    EXPECT_FALSE(m_panes.log.contains(QStringLiteral("busy on")));

    // A slow page (and a nested request inside it): on after 1.2 s, off once, at the end.
    m_panes.layouts[0].panes[0].onGoTo = [this](GoToRequest&) {
        m_panes.layouts[0].panes[0].onGoTo = nullptr;
        GoToRequest inner;
        inner.layoutUuid = kLayout;
        inner.sourceTuple = book(kNave);
        inner.noHistory = true;
        post(inner);
        runEventLoopFor(GoToRouter::kBusyIndicatorDelayMs + 200);
    };
    m_panes.log.clear();
    post(r);
    EXPECT_EQ(withoutSync(m_panes.log),
        (QStringList {QStringLiteral("goTo 0"), QStringLiteral("goTo 1"), QStringLiteral("busy on"),
            QStringLiteral("busy off")}));
    m_panes.log.clear();
    r.synchronous = true;
    m_panes.layouts[0].panes[0].onGoTo = [](GoToRequest&) { runEventLoopFor(GoToRouter::kBusyIndicatorDelayMs + 200); };
    post(r);  // synchronous requests show no indicator
    EXPECT_FALSE(m_panes.log.contains(QStringLiteral("busy on")));
}

// Alerts that write themselves into the panes' log and stay up as a modal alert does.
class LoggedAlerts : public Alerts {
public:
    explicit LoggedAlerts(QStringList& log) : m_log(log) { }
    int runModal(const Alert& alert) override
    {
        m_log << QStringLiteral("alert ") + alert.messageText;
        runEventLoopFor(GoToRouter::kBusyIndicatorDelayMs + 200);
        m_log << QStringLiteral("alert closed");
        return AlertFirstButtonReturn;
    }

private:
    QStringList& m_log;
};

TEST_F(GoToRouterTest, AnAlertEndsTheBusyIndicatorAndItDoesNotComeBackBehindIt)
{
    setPanes(book(kKJV), {book(kKJV)}, book(kNave), {book(kNave)});
    LoggedAlerts alerts(m_panes.log);
    makeRouter(alerts);
    const QString failed = QStringLiteral("alert Entry not found in any installed dictionary.");
    // The indicator and the alert, in the order they came (history records left out).
    auto seen = [this] {
        QStringList out;
        for (const QString& entry : withoutSync(m_panes.log))
            if (!entry.startsWith(QLatin1String("record")))
                out << entry;
        return out;
    };

    // A failure at once: the indicator's start is still pending, and the alert withdraws it.
    post(link(QStringLiteral("sync:\\\\H999999")));
    EXPECT_EQ(seen(), (QStringList {failed, QStringLiteral("alert closed")}));

    // A slow page that then follows a link nothing holds: the indicator is on, and goes before the alert.
    m_panes.log.clear();
    m_panes.layouts[0].panes[0].onGoTo = [this](GoToRequest&) {
        m_panes.layouts[0].panes[0].onGoTo = nullptr;
        runEventLoopFor(GoToRouter::kBusyIndicatorDelayMs + 200);
        post(link(QStringLiteral("sync:\\\\H999999")));
    };
    GoToRequest r;
    r.layoutUuid = kLayout;
    r.sourceTuple = book(kKJV);
    r.section = 4;
    r.noHistory = true;
    post(r);
    EXPECT_EQ(seen(),
        (QStringList {QStringLiteral("goTo 0"), QStringLiteral("busy on"), QStringLiteral("busy off"), failed,
            QStringLiteral("alert closed")}));
    makeRouter(*m_alerts);
}

}  // namespace

namespace {

TEST_F(GoToRouterTest, LinksInsideABookThatIgnoresIntraBookSyncNeverResolveToIt)
{
    // Nave's record as the library archives it, with the book's ignore flag set.
    QVariantMap archived = book(kNave)->encode(m_temp.filePath(QStringLiteral("books"))).toMap();
    archived.insert(QStringLiteral("ignoreIntraBookSync"), true);
    const SourceTuple::Ptr flagged = SourceTuple::decode(archived, m_temp.filePath(QStringLiteral("books")));
    ASSERT_TRUE(flagged);
    ASSERT_TRUE(flagged->record().ignoreIntraBookSync);
    setPanes(flagged, {flagged}, book(kKJV), {book(kKJV)});
    const QString headword = naveHeadwordForTest(book(kNave));
    GoToRequest r = link(QStringLiteral("sync:") + headword);
    QVariantMap answer = ask(r);  // not from a link of the page: Nave's own entry
    EXPECT_TRUE(sameBookForTest(bookFromVariant(answer.value(GoToKeys::sourceTuple)), book(kNave)));
    r.wasHyperlink = true;
    answer = ask(r);
    const SourceTuple::Ptr found = bookFromVariant(answer.value(GoToKeys::sourceTuple));
    EXPECT_FALSE(sameBookForTest(found, book(kNave))) << answer.value(GoToKeys::alertText).toString().toStdString();
}

}  // namespace
