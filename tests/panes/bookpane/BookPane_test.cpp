// Book panes on the sample library: tabs and layout items in step through opening, closing,
// dragging between panes and a restart; location sync between the panes of a layout; copy; the
// context menu; speech through a recording synthesizer. All in one process (live web views).

#include <gtest/gtest.h>

#include <QLabel>

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/BookPane.h"
#include "panes/BookPaneFactory.h"
#include "panes/bookpane/BookPaneCommands.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/BookPanePage.h"
#include "panes/bookpane/BookPaneSpeech.h"
#include "panes/bookpane/BookPaneTabs.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/LinkPreviewPopover.h"
#include "panes/bookpane/OverlayView.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/bookpane/WebViewWindowController.h"
#include "panes/bookpane/XrefPopupViewController.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "panes/page/BookPaneScroller.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "support/RecordingAlerts.h"
#include "support/TestSupport.h"
#include "userdata/cSQLiteDbBase.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

const QString kBuild = QStringLiteral(QS_BINARY_DIR);

constexpr quint32 key(quint32 book, quint32 chapter, quint32 verse)
{
    return (book << 16) | (chapter << 8) | verse;
}

class RecordingSynthesizer : public SpeechSynthesizer {
public:
    void speak(const QString& text) override
    {
        spoken << text;
        speaking = true;
    }
    void stop() override
    {
        speaking = false;
        ++stops;
    }
    bool isSpeaking() const override { return speaking; }
    QString voice() const override { return m_voice; }
    void setVoice(const QString& v) override { m_voice = v; }
    double rate() const override { return m_rate; }
    void setRate(double r) override { m_rate = r; }
    // The engine finished the current utterance.
    void finish()
    {
        speaking = false;
        notifyFinished(true);
    }
    // The engine could not speak it.
    void fail(const QString& reason)
    {
        speaking = false;
        notifyFailed(reason);
    }
    QStringList spoken;
    bool speaking = false;
    int stops = 0;
    QString m_voice;
    double m_rate = 0;
};

struct Library {
    QTemporaryDir temp;
    std::unique_ptr<SourceManager> manager;
    SourceTuple::Ptr kjv, web, scofield;
    bool ok = false;
    Library()
    {
        const QString books = temp.filePath(QStringLiteral("books"));
        QDir().mkpath(books);
        for (const QString& name :
            {QStringLiteral("KJV.tvk"), QStringLiteral("WEB.tvk"), QStringLiteral("Scofield.tvk")})
            if (!QFile::link(kBuild + QStringLiteral("/library/") + name, QDir(books).filePath(name)))
                return;
        SourceManager::Folders folders;
        folders.books = books;
        folders.cache = temp.filePath(QStringLiteral("cache"));
        folders.refused = temp.filePath(QStringLiteral("refused"));
        QDir().mkpath(folders.cache);
        manager = std::make_unique<SourceManager>(folders);
        kjv = manager->allSources()->tupleForPubID(1, 101);
        scofield = manager->allSources()->tupleForPubID(1, 110);
        for (qint64 i = 0; i < manager->allSources()->count(); ++i) {
            auto t = manager->allSources()->tupleAtIndex(i);
            if (t->isABible() && t != kjv)
                web = t;
        }
        ok = kjv && scofield && web;
    }
};

Library& library()
{
    static Library lib;
    return lib;
}

#define REQUIRE_LIBRARY()                                                                                              \
    if (!QFile::exists(kBuild + QStringLiteral("/library/KJV.tvk")))                                                   \
        GTEST_SKIP() << "sample library not built";                                                                    \
    ASSERT_TRUE(library().ok)

// A layout of two book panes, each with its controller installed in its contents, in a window
// whose pane commands only count how often they ran (the application's are tested with it).
struct Screen {
    NotificationCenter center;
    LayoutManager manager {center};
    QTemporaryDir home;
    UserDefaults defaults {home.filePath(QStringLiteral("defaults.ini"))};
    RecordingAlerts alerts;
    Layout* layout = nullptr;
    std::vector<BookPaneViewController*> panes;
    ActionRegistry actions;
    SharedSpeechSynthesizer speech;
    QMap<QString, int> ran;
    bool canSplit = true;
    explicit Screen(int count = 2, SharedSpeechSynthesizer::Maker speechMaker = {}) : speech(std::move(speechMaker))
    {
        SettingsRegistry::registerDefaultsForAllPreferences(defaults);
        for (const CommandId& id :
            {CommandNames::OpenBook, CommandNames::SplitPaneHorizontally, CommandNames::SplitPaneVertically,
                CommandNames::ClosePane, CommandNames::MaximizePane, CommandNames::MaximizeBook})
            actions.add(id, {QString::fromLatin1(id.name)}, &actions, [this, id] { ++ran[QLatin1String(id.name)]; });
        QObject::connect(&actions, &ActionRegistry::statesNeeded, &actions, [this] {
            actions.action(CommandNames::SplitPaneHorizontally)->setEnabled(canSplit);
            actions.action(CommandNames::SplitPaneVertically)->setEnabled(false);
        });
        layout = manager.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 1000, 700}, QString());
        for (int i = 1; i < count; ++i)
            layout->splitRegion(0, true, true, 0.5, QString());
        for (const auto& contents : layout->contents())
            install(contents.get());
    }
    BookPaneViewController* install(LayoutRegionContents* contents)
    {
        if (!contents->state())
            contents->setState(std::make_unique<LayoutRegionContentsState>());
        BookPaneViewController::Environment env;
        env.window.setNotifications(&center);
        env.window.setSettings(&defaults);
        env.window.setAlert(&alerts);
        env.window.setLayoutManager(&manager);
        env.window.setBooks(library().manager.get());
        env.window.actions = &actions;
        env.window.speech = &speech;
        auto pane = BookPaneViewController::factory(contents, env);
        BookPaneViewController* raw = pane.get();
        contents->setViewController(std::move(pane));
        raw->view()->resize(500, 400);
        panes.push_back(raw);
        return raw;
    }
    // The first pane shown, current, with the book open in its front tab.
    BookPaneViewController* showing(const SourceTuple::Ptr& book)
    {
        BookPaneViewController* pane = panes.front();
        pane->view()->show();
        pane->tabs().openBookFromSourceTuple(book, true);
        pane->makeYourselfCurrent(true);
        return pane;
    }
};

// A go-to of the pane's page to a section of one of its books, as the pane's own moves do.
void goToSection(BookPaneViewController* pane, const SourceTuple::Ptr& book, quint64 section)
{
    GoToRequest request;
    request.section = section;
    pane->page()->goTo(pane->pageHost().pageSourceFor(book), request);
}

QStringList tabUuids(BookPaneViewController* pane)
{
    QStringList l;
    for (int i = 0; i < pane->tabBar()->count(); ++i)
        l << pane->tabBar()->uuidAt(i);
    return l;
}

QStringList itemUuids(BookPaneViewController* pane)
{
    QStringList l;
    for (const auto& item : pane->regionContents()->items())
        l << item->uuidString();
    return l;
}

}  // namespace

TEST(BookPane, TabsAndItemsStayInStep)
{
    REQUIRE_LIBRARY();
    Screen screen;
    auto* a = screen.panes[0];
    auto* b = screen.panes[1];
    a->tabs().openBookFromSourceTuple(library().kjv, true);
    a->tabs().openBookFromSourceTuple(library().scofield, false);
    ASSERT_EQ(a->tabBar()->count(), 2);
    EXPECT_EQ(tabUuids(a), itemUuids(a));
    // Opened in the background: the King James Version stays current.
    EXPECT_EQ(a->regionContents()->currentItemIndex(), 0u);
    EXPECT_EQ(a->tabBar()->tabText(1), library().scofield->record().abbr);
    // Opening a book the pane holds only selects it.
    a->tabs().openBookFromSourceTuple(library().scofield, true);
    EXPECT_EQ(a->tabBar()->count(), 2);
    EXPECT_EQ(a->regionContents()->currentItemIndex(), 1u);
    a->tabs().nextBook();
    EXPECT_EQ(a->regionContents()->currentItemIndex(), 0u);

    // Reordering the tabs reorders the items, the current book follows.
    a->tabBar()->moveTab(0, 1);
    EXPECT_EQ(tabUuids(a), itemUuids(a));
    EXPECT_EQ(a->currentSourceTuple(), library().kjv);

    // Drag the commentary to the other pane; a second drag of a book it holds is refused.
    b->tabs().openBookFromSourceTuple(library().web, true);
    const QString scofieldUuid = a->tabBar()->uuidAt(0);
    ASSERT_TRUE(b->tabBar()->dropTabFrom(a->tabBar(), scofieldUuid, 0));
    EXPECT_EQ(tabUuids(a), itemUuids(a));
    EXPECT_EQ(tabUuids(b), itemUuids(b));
    EXPECT_EQ(b->regionContents()->items().size(), 2u);
    EXPECT_EQ(b->regionContents()->items()[0]->uuidString(), scofieldUuid);
    EXPECT_EQ(a->currentSourceTuple(), library().kjv);
    a->tabs().openBookFromSourceTuple(library().web, false);
    const QString webInA = a->tabBar()->uuidAt(1);
    EXPECT_FALSE(b->tabBar()->dropTabFrom(a->tabBar(), webInA, 0));
    EXPECT_EQ(a->tabBar()->count(), 2);

    // Closing: the current tab goes, then the last; the pane is left without a current item.
    a->tabs().closeActiveBook();
    EXPECT_EQ(tabUuids(a), itemUuids(a));
    EXPECT_EQ(a->tabBar()->count(), 1);
    a->tabs().closeActiveBook();
    EXPECT_EQ(a->tabBar()->count(), 0);
    EXPECT_TRUE(a->regionContents()->items().empty());
    EXPECT_EQ(a->regionContents()->currentItemIndex(), BookPaneViewController::kNone);

    // Dragging the last tab out of a pane leaves it empty.
    a->tabs().openBookFromSourceTuple(library().kjv, true);
    ASSERT_TRUE(b->tabBar()->dropTabFrom(a->tabBar(), a->tabBar()->uuidAt(0), 2));
    EXPECT_TRUE(a->regionContents()->items().empty());
    EXPECT_EQ(a->regionContents()->currentItemIndex(), BookPaneViewController::kNone);
    EXPECT_EQ(tabUuids(b), itemUuids(b));
    EXPECT_EQ(b->tabBar()->count(), 3);
}

TEST(BookPane, TabsAndLocationsSurviveARestart)
{
    REQUIRE_LIBRARY();
    const QString path = QDir(library().temp.path()).filePath(QStringLiteral("layouts.plist"));
    QString layoutUuid;
    {
        Screen screen;
        layoutUuid = screen.layout->uuidString();
        auto* a = screen.panes[0];
        a->tabs().openBookFromSourceTuple(library().kjv, true);
        a->tabs().openBookFromSourceTuple(library().scofield, true);
        goToSection(a, library().scofield, 40);
        goToSection(a, library().kjv, library().kjv->locations().sectionForBibleKey(key(45, 8, 1)));
        EXPECT_EQ(a->regionContents()->currentItemIndex(), 1u);
        ASSERT_TRUE(screen.manager.writeArchive(path));
    }
    Screen restored(0);
    ASSERT_TRUE(restored.manager.readArchive(path));
    Layout* layout = restored.manager.layoutWithUuid(layoutUuid);
    ASSERT_TRUE(layout);
    auto* a = restored.install(layout->contents()[0].get());
    ASSERT_EQ(a->tabBar()->count(), 2);
    EXPECT_EQ(tabUuids(a), itemUuids(a));
    EXPECT_EQ(a->currentSourceTuple(), library().scofield);
    EXPECT_EQ(a->currentSourceSection(), 40u);
    EXPECT_EQ(a->regionContents()->itemAt(0)->bookState()->section(),
        library().kjv->locations().sectionForBibleKey(key(45, 8, 1)));

    // A tab of a book that is not installed any more is dropped; another revision is rebound.
    auto& items = a->regionContents()->items();
    SourceTupleID stale = items[0]->bookDescriptor()->sourceTupleID();
    stale.setRevisionNumber(stale.revisionNumber() + 7);
    items[0]->bookDescriptor()->setSourceTupleID(stale);
    items[0]->bookState()->setSection(0);
    auto gone = std::make_unique<LayoutRegionContentItem>(
        std::make_unique<LayoutRegionContentItemDescriptor>(SourceTupleID(999, 9, 1, 1), "X", "Gone"),
        std::make_unique<LayoutRegionContentItemState>());
    items.push_back(std::move(gone));
    a->tabs().makeTabsForLayoutManagerRegionContents();
    EXPECT_EQ(a->tabBar()->count(), 2);
    EXPECT_EQ(items[0]->bookDescriptor()->sourceTupleID(), library().kjv->sourceTupleID());
    EXPECT_EQ(items[0]->bookState()->section(), 1u);
    EXPECT_EQ(items[0]->bookState()->block(), 0);
}

TEST(BookPane, CommentaryFollowsTheBible)
{
    REQUIRE_LIBRARY();
    Screen screen(3);
    auto* bible = screen.panes[0];
    auto* notes = screen.panes[1];
    auto* alone = screen.panes[2];
    bible->tabs().openBookFromSourceTuple(library().kjv, true);
    notes->tabs().openBookFromSourceTuple(library().scofield, true);
    alone->tabs().openBookFromSourceTuple(library().web, true);
    alone->pageHost().setPaneDoesNotReceiveLocationSync(true);
    bible->makeYourselfCurrent(true);
    screen.defaults.setObject(true, SettingsKeys::SyncBiblesComm.name);
    const quint64 aloneBefore = alone->currentSourceSection();

    goToSection(bible, library().kjv, library().kjv->locations().sectionForBibleKey(key(45, 8, 1)));
    bible->pageHost().conditionallySyncToMe();
    const quint32 expected = library().scofield->locations().sectionForBibleKey(key(45, 8, 1));
    ASSERT_NE(expected, 0u);
    EXPECT_EQ(notes->currentSourceSection(), expected);
    EXPECT_EQ(alone->currentSourceSection(), aloneBefore);

    // A request of another layout changes nothing; with Bible sync off only "syncAnyway" moves panes.
    GoToRequest sync;
    sync.layoutUuid = QStringLiteral("another");
    sync.bibleKey = key(43, 3, 16);
    sync.syncAnyway = true;
    sync.postLocationSync(screen.center, nullptr);
    EXPECT_EQ(notes->currentSourceSection(), expected);
    screen.defaults.setObject(false, SettingsKeys::SyncBiblesComm.name);
    sync.layoutUuid = screen.layout->uuidString();
    sync.syncAnyway = false;
    sync.postLocationSync(screen.center, nullptr);
    EXPECT_EQ(notes->currentSourceSection(), expected);
    bible->commands().setSelectedBlocksOrKeys({key(43, 3, 16)});
    bible->commands().onSyncToSelectedVerse();
    EXPECT_EQ(notes->currentSourceSection(), library().scofield->locations().sectionForBibleKey(key(43, 3, 16)));
    EXPECT_EQ(alone->currentSourceSection(), aloneBefore);

    // A verse inside a note that runs over a chapter's end finds that note (Genesis 29:1 runs to 31:10).
    screen.defaults.setObject(true, SettingsKeys::SyncBiblesComm.name);
    auto follow = [&](quint32 verse) {
        GoToRequest place;
        place.layoutUuid = screen.layout->uuidString();
        place.bibleKey = verse;
        place.postLocationSync(screen.center, nullptr);
    };
    const quint32 john316 = library().scofield->locations().sectionForBibleKey(key(43, 3, 16));
    follow(key(1, 29, 20));
    EXPECT_EQ(library().scofield->locations().tocNameForSection(quint32(notes->currentSourceSection())),
        QStringLiteral("Genesis 29:1"));
    QLabel* nothingHere = notes->nothingHereLabel();
    EXPECT_TRUE(nothingHere->isHidden());
    // A verse no note covers (Joel's first note is at 1:4): the pane says so, over the page and in its
    // title bar, and shows no other passage; showing the same tab again keeps it.
    follow(key(43, 3, 16));
    follow(key(29, 1, 2));
    EXPECT_FALSE(nothingHere->isHidden());
    EXPECT_EQ(nothingHere->text(), QStringLiteral("No note for Joel 1:2"));
    EXPECT_EQ(notes->titleBar()->text(), QStringLiteral("No note for Joel 1:2"));
    EXPECT_EQ(nothingHere->geometry(), notes->page()->geometry());
    notes->pageHost().displayCurrentSource(true);
    EXPECT_FALSE(nothingHere->isHidden());
    // The next place with a note shows it, even the place shown before.
    follow(key(43, 3, 16));
    EXPECT_TRUE(nothingHere->isHidden());
    EXPECT_EQ(notes->currentSourceSection(), john316);
    EXPECT_NE(notes->titleBar()->text(), QStringLiteral("No note for Joel 1:2"));
}

// The display settings reach the page the pane shows when they change, as the settings window and
// the View menu change them: the page is built again with the new choice.
TEST(BookPane, AChangedDisplaySettingReachesThePage)
{
    REQUIRE_LIBRARY();
    Screen screen(1);
    auto* pane = screen.showing(library().kjv);
    goToSection(pane, library().kjv, library().kjv->locations().sectionForBibleKey(key(43, 3, 16)));
    // The verse is on the page, with or without its number.
    const auto shows = [](bool numbered) {
        return QStringLiteral("!!document.querySelector(\"[data-verse-span='sel_s43.3.16']\") && "
                              "(document.querySelectorAll(\"[id^='_s43.3.'] sup\").length > 0) == %1")
            .arg(numbered ? QStringLiteral("true") : QStringLiteral("false"));
    };
    ASSERT_TRUE(TestSupport::waitForScript(pane->page()->page(), shows(true), true));

    screen.defaults.set(SettingsKeys::HideVerseNumbers, true);
    screen.center.postNotificationName(PaneNotifications::DisplayPreferencesChangedNotification, nullptr);
    EXPECT_TRUE(TestSupport::waitForScript(pane->page()->page(), shows(false), true))
        << TestSupport::pageText(pane->page()->page()).left(300).toStdString();
}

TEST(BookPane, CopyAndContextMenu)
{
    REQUIRE_LIBRARY();
    Screen screen;
    auto* pane = screen.panes[0];
    pane->tabs().openBookFromSourceTuple(library().kjv, true);
    pane->makeYourselfCurrent(true);
    pane->commands().setSelectionOverride(QStringLiteral("For God so loved the world"),
        QStringLiteral(
            "<span class=\"x\"><b>For God</b> so loved <a href=\"javascript:note(1)\">*</a>the world</span>"));
    bool copied = false;
    pane->commands().onCopy([&] { copied = true; });
    ASSERT_TRUE(copied);
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(mime);
    EXPECT_EQ(mime->text(), QStringLiteral("For God so loved the world"));
    EXPECT_TRUE(mime->html().contains(QStringLiteral("<b>For God</b>")));
    EXPECT_EQ(mime->html(),
        BookPageView::filterHtml(
            QStringLiteral(
                "<span class=\"x\"><b>For God</b> so loved <a href=\"javascript:note(1)\">*</a>the world</span>"),
            2, false));

    // The page's own copy command copies the same way.
    QApplication::clipboard()->clear();
    QAction* pageCopy = nullptr;
    for (QAction* a : pane->page()->actions())
        if (a->shortcut() == QKeySequence(QKeySequence::Copy))
            pageCopy = a;
    ASSERT_TRUE(pageCopy);
    pageCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("For God so loved the world"));
    EXPECT_EQ(pane->page()->contextMenuPolicy(), Qt::CustomContextMenu);

    auto titles = [](QMenu* menu) {
        QStringList l;
        for (QAction* a : menu->actions())
            l << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return l;
    };
    // A selection of two verses.
    pane->commands().setSelectedBlocksOrKeys({key(43, 3, 16), key(43, 3, 17)});
    // (the pane reads the page's own list; keep ours by holding the override list)
    QAction reload(QStringLiteral("Reload"));
    QAction copy(QStringLiteral("Copy"));
    QAction speech(QStringLiteral("Speech"));
    std::unique_ptr<QMenu> menu(pane->commands().contextMenu({}, {&reload, &copy, &speech}, nullptr));
    ASSERT_TRUE(menu);
    const QStringList items = titles(menu.get());
    const QString passage = BibleRef::bibleRefWithStartKey(key(43, 3, 16), key(43, 3, 17)).fullSpelling();
    const QString first = BibleRef::bibleRefWithStartKey(key(43, 3, 16), key(43, 3, 16)).fullSpelling();
    EXPECT_TRUE(items.contains(QStringLiteral("Highlight %1").arg(passage))) << items.join('|').toStdString();
    EXPECT_TRUE(items.contains(QStringLiteral("Bookmark %1").arg(first)));
    EXPECT_TRUE(items.contains(QStringLiteral("Add Note to %1").arg(first)));
    EXPECT_TRUE(items.contains(QStringLiteral("Look Up \u201CFor God so loved the...\u201D in Quillstead")));
    EXPECT_TRUE(items.contains(QStringLiteral("Copy %1 with Formatting Now!").arg(passage)));
    EXPECT_TRUE(items.contains(QStringLiteral("Sync all Bibles and Commentaries to %1").arg(first)));
    // The window's pane commands are the window's own actions.
    EXPECT_TRUE(items.contains(QStringLiteral("ClosePane")));
    EXPECT_TRUE(items.contains(QStringLiteral("MaximizeBook")));
    EXPECT_TRUE(items.contains(QStringLiteral("SplitPaneHorizontally")));
    EXPECT_FALSE(items.contains(QStringLiteral("SplitPaneVertically"))) << "offered only when it can split";
    EXPECT_TRUE(items.contains(QStringLiteral("Location Sync...")));
    EXPECT_TRUE(items.contains(QStringLiteral("Autostudy %1").arg(first)));
    EXPECT_TRUE(items.contains(QStringLiteral("Speak %1").arg(passage)));
    EXPECT_TRUE(items.contains(QStringLiteral("Copy")));
    EXPECT_FALSE(items.contains(QStringLiteral("Reload")));
    EXPECT_FALSE(items.contains(QStringLiteral("Speech")));

    // A Strong's link under the pointer, no selection.
    pane->commands().setSelectionOverride(QString(), QString());
    pane->commands().setSelectedBlocksOrKeys({});
    menu.reset(
        pane->commands().contextMenu({QStringLiteral("strongs:G25"), QStringLiteral("G25"), QString()}, {}, nullptr));
    const QStringList strongs = titles(menu.get());
    EXPECT_TRUE(strongs.contains(QStringLiteral("Copy Passage"))) << strongs.join('|').toStdString();
    EXPECT_TRUE(strongs.contains(QStringLiteral("Autostudy Word")));
    // A Strong's number has no passage to read aloud.
    for (const QString& title : strongs)
        EXPECT_FALSE(title.startsWith(QStringLiteral("Speak Linked-To Text"))) << title.toStdString();
    EXPECT_TRUE(strongs.contains(QStringLiteral("Speak Verse")));
    EXPECT_FALSE(strongs.contains(QStringLiteral("Add Note to %1").arg(first)));
    // A link to a passage, whatever its own text (here a verse number), is named by the passage.
    menu.reset(pane->commands().contextMenu(
        {QStringLiteral("javascript:href('bible:John 3:16');"), QStringLiteral("16"), QString()}, {}, nullptr));
    EXPECT_TRUE(titles(menu.get()).contains(QStringLiteral("Speak Linked-To Text (John 3:16)")))
        << titles(menu.get()).join('|').toStdString();
    menu.reset(
        pane->commands().contextMenu({QStringLiteral("strongs:G25"), QStringLiteral("G25"), QString()}, {}, nullptr));

    // Choosing a window command runs the window's action; Location Sync... asks the pane's owner.
    int locationSync = 0;
    QObject::connect(pane, &BookPaneViewController::locationSyncSettingsRequested, [&] { ++locationSync; });
    for (QAction* item : menu->actions()) {
        if (item->text() == QLatin1String("MaximizePane")) {
            EXPECT_EQ(item->data().toInt(), 414);
            item->trigger();
        }
        if (item->text() == QLatin1String("Location Sync..."))
            item->trigger();
    }
    EXPECT_EQ(screen.ran.value(QStringLiteral("MaximizePane")), 1);
    EXPECT_EQ(locationSync, 1);

    // A pane that is not current offers no pane items but the maximize ones.
    pane->makeYourselfCurrent(false);
    menu.reset(pane->commands().contextMenu({}, {}, nullptr));
    const QStringList other = titles(menu.get());
    EXPECT_FALSE(other.contains(QStringLiteral("ClosePane")));
    EXPECT_FALSE(other.contains(QStringLiteral("SplitPaneHorizontally")));
    EXPECT_FALSE(other.contains(QStringLiteral("Location Sync...")));
    EXPECT_TRUE(other.contains(QStringLiteral("MaximizePane")));

    // The tab bar's "+" makes the pane current and runs the window's Open Book command.
    emit pane->tabBar()->addTabRequested();
    EXPECT_TRUE(pane->isPaneCurrent());
    EXPECT_EQ(screen.ran.value(QStringLiteral("OpenBook")), 1);
    // Without a window a pane offers none of the window's commands.
    BookPaneViewController::Environment alone;
    alone.window.setNotifications(&screen.center);
    alone.window.setSettings(&screen.defaults);
    alone.window.setAlert(&screen.alerts);
    alone.window.setBooks(library().manager.get());
    LayoutRegionContents contents;
    contents.setState(std::make_unique<LayoutRegionContentsState>());
    auto lone = BookPaneViewController::factory(&contents, alone);
    lone->tabs().openBookFromSourceTuple(library().kjv, true);
    lone->makeYourselfCurrent(true);
    menu.reset(lone->commands().contextMenu({}, {}, nullptr));
    ASSERT_TRUE(menu);
    EXPECT_FALSE(titles(menu.get()).contains(QStringLiteral("MaximizePane")));
    emit lone->tabBar()->addTabRequested();
    EXPECT_EQ(screen.ran.value(QStringLiteral("OpenBook")), 1);
}

TEST(BookPane, PreviewsScrollerPageItemsAndTaggedWords)
{
    REQUIRE_LIBRARY();
    Screen screen(1);
    auto* pane = screen.showing(library().kjv);

    // The preview's text: the footnote first, then the link's target, then the fallback.
    EXPECT_EQ(LinkPreviewPopover::previewText(nullptr, QStringLiteral("javascript:href('x');"), QString()),
        QStringLiteral("No preview available for x"));
    EXPECT_EQ(
        LinkPreviewPopover::previewText(nullptr, QStringLiteral("javascript:href(\"x\");"), QStringLiteral("[a note]")),
        QStringLiteral("[a note]"));
    // 35 x baseFontSize wide, or half a narrow window.
    EXPECT_EQ(LinkPreviewPopover::textWidthFor(12, 1280), 420);
    EXPECT_EQ(LinkPreviewPopover::textWidthFor(12, 600), 300);
    EXPECT_EQ(LinkPreviewPopover::textWidthFor(12, 840), 420);

    // The pane shows one preview at a time and a click elsewhere closes it.
    BookPanePage& host = pane->pageHost();
    host.showLinkPreview(QStringLiteral("javascript:href('x');"), QString(), QRect(10, 10, 30, 12));
    QPointer<LinkPreviewPopover> first = host.linkPreview();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->label()->text(), QStringLiteral("No preview available for x"));
    EXPECT_EQ(first->label()->property("tag").toInt(), XrefPopupViewController::kTextTag);
    host.showLinkPreview(QString(), QStringLiteral("[firmament: Heb. expansion]"), QRect(10, 10, 30, 12));
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first) << "the first preview stays open";
    ASSERT_TRUE(host.linkPreview());
    EXPECT_EQ(host.linkPreview()->label()->text(), QStringLiteral("[firmament: Heb. expansion]"));
    QPointer<LinkPreviewPopover> second = host.linkPreview();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(pane->titleBar()->mapToGlobal(QPoint(2, 2))),
        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane->titleBar(), &press);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(second) << "a click outside leaves the preview open";
    // Previews turned off: none shows.
    screen.defaults.set(SettingsKeys::VersePopovers, false);
    host.showLinkPreview(QString(), QStringLiteral("[note]"), QRect(10, 10, 30, 12));
    EXPECT_EQ(host.linkPreview(), nullptr);
    screen.defaults.remove(SettingsKeys::VersePopovers);

    // The book scroller sits beside the page and follows the position.
    BookPaneScroller* scroller = pane->scroller();
    ASSERT_NE(scroller, nullptr);
    EXPECT_GT(host.scrollerWidth(), 0.0);
    goToSection(pane, library().kjv, library().kjv->locations().sectionForSyncString(QStringLiteral("Psalm 23:1")));
    const double expected = double(pane->currentSourceBlock()) / double(library().kjv->record().numBlocks);
    EXPECT_GT(expected, 0.3);
    EXPECT_NEAR(scroller->doubleValue(), expected, 1e-5);
    // A knob drag waits to rebuild the page; a pane that is going drops the wait.
    const quint64 serial = pane->page()->webViewSerialNumber();
    scroller->setDoubleValue(0.5);
    scroller->onScrollerChange(BookPaneScroller::kKnob);
    EXPECT_EQ(pane->page()->webViewSerialNumber(), serial);
    pane->willBeRemovedFromLayoutManager();
    // A timer of the rebuild's delay started after it fires after it: by then the page would have
    // been rebuilt.
    bool waited = false;
    QTimer::singleShot(100, [&waited] { waited = true; });
    ASSERT_TRUE(TestSupport::waitFor([&waited] { return waited; }));
    EXPECT_EQ(pane->page()->webViewSerialNumber(), serial);
    // Without Find results no page marks any.
    DisplayOptions options;
    host.addSearchResults(host.currentSource(), options);
    EXPECT_EQ(options.search, nullptr);
    EXPECT_FALSE(options.highlightHits);

    // The words of a menu's selection, as the page tells them.
    pane->commands().setSelectionOverride(QStringLiteral(" waters\n"), QStringLiteral("waters"));
    EXPECT_EQ(pane->commands().lookUpText(), QStringLiteral("waters"));

    // Of the engine's own items only copy, copy image and select all stay.
    QList<QAction*> engine;
    for (const char* title : {"Back", "Forward", "Reload", "Save page", "View page source", "Copy", "Copy link address",
             "Open link in new tab", "Select All"})
        engine << new QAction(QString::fromLatin1(title), pane->view());
    pane->commands().setSelectedBlocksOrKeys({});
    std::unique_ptr<QMenu> menu(pane->commands().contextMenu({}, engine, nullptr));
    ASSERT_TRUE(menu);
    QStringList titles;
    for (QAction* a : menu->actions())
        titles << a->text();
    EXPECT_TRUE(titles.contains(QStringLiteral("Look Up \u201Cwaters\u201D in Quillstead")))
        << titles.join('|').toStdString();
    EXPECT_TRUE(titles.contains(QStringLiteral("Autostudy \u201Cwaters\u201D")));
    EXPECT_TRUE(titles.contains(QStringLiteral("Copy")));
    EXPECT_TRUE(titles.contains(QStringLiteral("Select All")));
    for (const char* gone :
        {"Back", "Forward", "Reload", "Save page", "View page source", "Copy link address", "Open link in new tab"})
        EXPECT_FALSE(titles.contains(QString::fromLatin1(gone))) << gone;
    // The engine's real items are told apart by what they do, not by their titles.
    const QList<QAction*> kept = BookPaneCommands::keptPageItems(
        {pane->page()->pageAction(QWebEnginePage::Back), pane->page()->pageAction(QWebEnginePage::Copy),
            pane->page()->pageAction(QWebEnginePage::SavePage), pane->page()->pageAction(QWebEnginePage::SelectAll)},
        pane->page());
    ASSERT_EQ(kept.size(), 2);
    EXPECT_EQ(kept[0]->property("pageItem").toString(), QStringLiteral("copy"));
    EXPECT_EQ(kept[1]->property("pageItem").toString(), QStringLiteral("selectAll"));
}

// The screen's one pane, current at the KJV with no selection in the page, reading without scrolling.
static BookPaneViewController* kjvPaneToSpeak(Screen& screen)
{
    screen.defaults.setObject(false, SettingsKeys::VoiceScrollText.name);
    auto* pane = screen.panes[0];
    pane->tabs().openBookFromSourceTuple(library().kjv, true);
    pane->makeYourselfCurrent(true);
    pane->commands().setSelectionOverride(QString(), QString());
    return pane;
}

TEST(BookPane, SpeechReadsTheSelectedVersesAndStops)
{
    REQUIRE_LIBRARY();
    auto synthesizer = std::make_shared<RecordingSynthesizer>();
    Screen screen(1, [synthesizer](const QString&) { return synthesizer; });
    BookPaneViewController* pane = kjvPaneToSpeak(screen);
    pane->commands().setSelectedBlocksOrKeys({key(43, 3, 16), key(43, 3, 17)});
    pane->speech().onSpeakBlockOrVerse();
    ASSERT_EQ(synthesizer->spoken.size(), 1);
    EXPECT_TRUE(synthesizer->spoken[0].contains(QStringLiteral("loved the world")))
        << synthesizer->spoken[0].toStdString();
    EXPECT_TRUE(synthesizer->spoken[0].contains(QStringLiteral("condemn")));
    // The verse's paragraph sign is on the page, not in the words read: the voice gets the words alone.
    const quint32 john316 = library().kjv->locations().sectionForBibleKey(key(43, 3, 16));
    ASSERT_TRUE(pane->hooks()
                    .passagePlainText(library().kjv, true, john316, john316, BookPaneSpeech::speechTextOptions())
                    .contains(QStringLiteral("\u00B6 For God")));
    EXPECT_FALSE(synthesizer->spoken[0].contains(QStringLiteral("\u00B6"))) << synthesizer->spoken[0].toStdString();
    EXPECT_TRUE(synthesizer->spoken[0].contains(QStringLiteral("16 For God so loved")) ||
        synthesizer->spoken[0].startsWith(QStringLiteral("For God so loved")))
        << synthesizer->spoken[0].toStdString();
    synthesizer->finish();

    // Without a selection "Speak Verse" speaks nothing.
    pane->commands().setSelectedBlocksOrKeys({});
    pane->speech().onSpeakBlockOrVerse();
    EXPECT_EQ(synthesizer->spoken.size(), 1);

    // Continuous reading goes on verse after verse until stopped.
    pane->commands().setSelectedBlocksOrKeys({key(43, 3, 16)});
    pane->speech().onSpeakStartSpeaking();
    ASSERT_EQ(synthesizer->spoken.size(), 2);
    synthesizer->finish();
    EXPECT_FALSE(synthesizer->spoken[1].contains(QStringLiteral("\u00B6"))) << synthesizer->spoken[1].toStdString();
    ASSERT_TRUE(TestSupport::waitFor([&] { return synthesizer->spoken.size() == 3; }));
    EXPECT_TRUE(synthesizer->spoken[2].contains(QStringLiteral("condemn")));
    pane->speech().onSpeakStopSpeaking();
    EXPECT_FALSE(synthesizer->isSpeaking());
    synthesizer->finish();
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    EXPECT_EQ(synthesizer->spoken.size(), 3);

    // Speak Selection chosen while a reading runs stops it and, once it has stopped, speaks the words
    // chosen, though the selection they came from (a menu's) is gone by then.
    pane->speech().onSpeakStartSpeaking();
    ASSERT_EQ(synthesizer->spoken.size(), 4);
    pane->commands().setSelectionOverride(QStringLiteral("God so loved the world"), QString());
    pane->speech().onSpeakSelection();
    pane->commands().setSelectionOverride(QString(), QString());
    ASSERT_TRUE(TestSupport::waitFor([&] { return synthesizer->spoken.size() == 5; }));
    EXPECT_EQ(synthesizer->spoken[4], QStringLiteral("God so loved the world"));
}

TEST(BookPane, ASpeechFailureIsSaidOnceWithItsReasonAndEndsTheReading)
{
    REQUIRE_LIBRARY();
    auto synthesizer = std::make_shared<RecordingSynthesizer>();
    Screen screen(1, [synthesizer](const QString&) { return synthesizer; });
    BookPaneViewController* pane = kjvPaneToSpeak(screen);

    // Continuous reading whose first verse cannot be spoken: one alert with the engine's reason, and
    // no verse after it is tried.
    pane->commands().setSelectedBlocksOrKeys({key(43, 3, 16)});
    pane->speech().onSpeakStartSpeaking();
    ASSERT_EQ(synthesizer->spoken.size(), 1);
    synthesizer->fail(QStringLiteral("No audio device available"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !screen.alerts.shown().isEmpty(); }));
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    ASSERT_EQ(screen.alerts.shown().size(), 1);
    EXPECT_EQ(screen.alerts.shown()[0].messageText, BookPaneSpeech::speechFailedMessage());
    EXPECT_EQ(screen.alerts.shown()[0].informativeText, QStringLiteral("No audio device available"));
    EXPECT_EQ(synthesizer->spoken.size(), 1);
    synthesizer->finish();  // a late report of the failed utterance starts nothing
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    EXPECT_EQ(synthesizer->spoken.size(), 1);

    // A verse spoken once that fails is said too; one that speaks says nothing.
    pane->speech().onSpeakBlockOrVerse();
    ASSERT_EQ(synthesizer->spoken.size(), 2);
    synthesizer->fail(QStringLiteral("Audio output failed"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return screen.alerts.shown().size() == 2; }));
    EXPECT_EQ(screen.alerts.shown()[1].informativeText, QStringLiteral("Audio output failed"));
    pane->speech().onSpeakBlockOrVerse();
    synthesizer->finish();
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    EXPECT_EQ(screen.alerts.shown().size(), 2);
}

TEST(BookPane, ScreenshotOfAPaneWithTwoTabs)
{
    REQUIRE_LIBRARY();
    Screen screen(1);
    auto* pane = screen.panes[0];
    pane->tabs().openBookFromSourceTuple(library().kjv, true);
    pane->tabs().openBookFromSourceTuple(library().scofield, false);
    pane->makeYourselfCurrent(true);
    goToSection(pane, library().kjv, library().kjv->locations().sectionForBibleKey(key(45, 8, 1)));
    pane->view()->resize(700, 500);
    pane->view()->show();
    EXPECT_TRUE(TestSupport::waitForPainted(pane->page()->page(), pane->page()));
    QDir().mkpath(kBuild + QStringLiteral("/screenshots"));
    const QString file = kBuild + QStringLiteral("/screenshots/bookpane-two-tabs.png");
    ASSERT_TRUE(pane->view()->grab().save(file));
    EXPECT_EQ(pane->tabBar()->count(), 2);
}

TEST(BookPane, FactoryMakesPanesTheLayoutViewCanDrive)
{
    REQUIRE_LIBRARY();
    NotificationCenter center;
    LayoutManager manager(center);
    QTemporaryDir home;
    UserDefaults defaults(home.filePath(QStringLiteral("defaults.ini")));
    RecordingAlerts alerts;
    Layout* layout = manager.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 800, 600}, QString());
    LayoutRegionContents* contents = layout->contents()[0].get();
    BookPaneViewController::Environment env;
    env.window.setNotifications(&center);
    env.window.setSettings(&defaults);
    env.window.setAlert(&alerts);
    env.window.setLayoutManager(&manager);
    env.window.setBooks(library().manager.get());
    BookPaneFactory factory(env);
    EXPECT_EQ(factory.makeStudyPane(*contents), nullptr);
    contents->setViewController(factory.makeBookPane(*contents));
    LayoutBookPane* pane = asBookPane(contents->viewController());
    ASSERT_TRUE(pane);
    auto* controller = dynamic_cast<BookPane*>(pane);
    ASSERT_TRUE(controller);
    EXPECT_EQ(pane->paneView(), controller->view());
    pane->openBookFromDictionary(
        {{"pubid", 1}, {"bookid", 101}, {"edition", library().kjv->sourceTupleID().editionNumber()},
            {"revision", library().kjv->sourceTupleID().revisionNumber()}},
        true);
    ASSERT_EQ(pane->currentSourceTuple(), library().kjv);
    pane->openBookFromDictionary({{"pubid", 999}, {"bookid", 1}}, true);
    EXPECT_EQ(controller->tabBar()->count(), 1);

    GoToRequest request;
    request.layoutUuid = layout->uuidString();
    request.sourceTuple = library().kjv;
    request.section = library().kjv->locations().sectionForBibleKey(key(19, 23, 1));
    static_cast<LayoutBookPane*>(pane)->goTo(request);  // as the go-to routing drives it
    EXPECT_EQ(pane->currentSourceSection(), library().kjv->locations().sectionForBibleKey(key(19, 23, 1)));
    EXPECT_FALSE(pane->tryCopyFromBook());
    pane->setPaneDoesNotReceiveLocationSync(true);
    EXPECT_TRUE(contents->state() == nullptr || pane->paneDoesNotReceiveLocationSync());

    // A click on the overlay of a pane that is not current makes it current, with history around it.
    controller->makeYourselfCurrent(false);
    int history = 0;
    center.addObserver(
        &history, LibraryNotifications::AddStateToHistoryNotification, [&](Notification&) { ++history; });
    QMouseEvent release(
        QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(controller->overlay(), &release);
    EXPECT_TRUE(controller->isPaneCurrent());
    EXPECT_EQ(history, 2);

    // A book opened behind the current tab is one step (before and after); the current tab stays.
    history = 0;
    controller->tabs().openBookFromSourceTuple(library().web, false);
    EXPECT_EQ(controller->tabBar()->count(), 2);
    EXPECT_EQ(pane->currentSourceTuple(), library().kjv);
    EXPECT_EQ(history, 2);
    // Closing the current tab selects its neighbour within the same step.
    history = 0;
    controller->tabs().closeActiveBook();
    EXPECT_EQ(pane->currentSourceTuple(), library().web);
    EXPECT_EQ(history, 2);
    // A tab the reader selects is one step too.
    controller->tabs().openBookFromSourceTuple(library().kjv, false);
    history = 0;
    controller->tabBar()->setCurrentIndex(1);
    EXPECT_EQ(pane->currentSourceTuple(), library().kjv);
    EXPECT_EQ(history, 2);
    center.removeObserver(&history);
}

TEST(BookPane, WebWindowUsesItsOwnProfileAndTakesThePageTitle)
{
    QPointer<WebViewWindowController> window =
        WebViewWindowController::openURL(QStringLiteral("https://127.0.0.1:1/"), QString());
    ASSERT_TRUE(window);
    EXPECT_TRUE(WebViewWindowController::profile()->isOffTheRecord());
    EXPECT_NE(window->webView()->page()->profile(), QWebEngineProfile::defaultProfile());
    EXPECT_EQ(window->webView()->contextMenuPolicy(), Qt::NoContextMenu);
    window->webView()->setHtml(QStringLiteral("<html><head><title>Named Page</title></head><body>x</body></html>"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return window->window()->windowTitle() == QStringLiteral("Named Page"); }))
        << window->window()->windowTitle().toStdString();
    // The close button disposes of the window and its controller.
    window->window()->close();
    EXPECT_TRUE(TestSupport::waitFor([&] { return window.isNull(); }));

    std::unique_ptr<QLabel> popup(XrefPopupViewController::makeView(TestSupport::privateDefaults()));
    EXPECT_EQ(popup->text(), QStringLiteral("Hello, World!"));
    EXPECT_EQ(popup->property("tag").toInt(), XrefPopupViewController::kTextTag);
    EXPECT_TRUE(popup->wordWrap());
    EXPECT_EQ(popup->palette().color(QPalette::Window),
        QColor(TestSupport::privateDefaults().value(SettingsKeys::TextColor)));
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("book-pane-test");
    TestSupport::usePrivateEngineData();
    return RUN_ALL_TESTS();
}
