// The parts the study pane and its sub-panes are built from, each on its own: the environment made
// from a window's, the search view shared by the search sub-panes (its progress, its recent searches,
// its row activation), the tabs' order, the sub-pane slots and the note viewer's titles and status line.

#include <gtest/gtest.h>

#include "StudyPaneTestSupport.h"
#include "panes/environment/WindowEnvironment.h"
#include "platform/ui/ContentTextDocument.h"
#include "studypane/StudyPaneNoteHeader.h"
#include "studypane/StudyPaneRecentSearches.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneSearchPanel.h"
#include "studypane/StudyPaneSubpaneSlots.h"
#include "studypane/StudyPaneTabs.h"
#include "support/RecordingAlerts.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace StudyPaneTest;

TEST(StudyPaneEnvironmentFromWindow, TakesTheWindowsObjectsAndLeavesTheRestEmpty)
{
    ensureApplication();
    Screen screen;
    RecordingAlerts alerts;
    WindowEnvironment window;
    window.setNotifications(&screen.center);
    window.setSettings(screen.defaults.get());
    window.setAlert(&alerts);
    window.setLayoutManager(&screen.manager);
    const StudyPaneEnvironment env = StudyPaneEnvironment::fromWindow(window);
    EXPECT_EQ(env.center, &screen.center);
    EXPECT_EQ(env.defaults, screen.defaults.get());
    EXPECT_EQ(env.alerts, &alerts);
    EXPECT_EQ(env.layoutManager, &screen.manager);
    EXPECT_EQ(env.library, nullptr);
    EXPECT_EQ(env.layoutHost, nullptr);
    EXPECT_FALSE(env.activeBook || env.textPrompt || env.toast || env.saveState || env.syncAutomatically);

    // An empty window environment gives an empty one: nothing falls back to a shared object.
    const StudyPaneEnvironment bare = StudyPaneEnvironment::fromWindow(WindowEnvironment {});
    EXPECT_TRUE(bare.center == nullptr && bare.defaults == nullptr && bare.alerts == nullptr &&
        bare.layoutManager == nullptr && bare.library == nullptr);
}

namespace {

struct Panel {
    QWidget root;
    StudyPaneSearchPanel panel;
    QTableView* table = nullptr;
    QStandardItemModel model {3, 1};
    QList<int> activated;

    Panel()
    {
        panel.build(&root, QStringLiteral("Search Things"), QStringLiteral("Things menu"));
        table = new QTableView(&root);
        table->setModel(&model);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        panel.layOut(&root, table, [this](int row) { activated.append(row); });
    }
    int progress() const { return panel.progressBar()->value(); }
};

}  // namespace

TEST(StudyPaneSearchPanel, MakesTheRowAndProgressBarUnderTheRoot)
{
    ensureApplication();
    Panel p;
    EXPECT_EQ(p.root.findChild<QLineEdit*>(QStringLiteral("searchField")), p.panel.searchField());
    EXPECT_EQ(p.panel.searchField()->placeholderText(), QStringLiteral("Search Things"));
    EXPECT_EQ(
        ContentTextDocument::plainText(p.root.findChild<QToolButton*>(QStringLiteral("searchMenuButton"))->toolTip()),
        QStringLiteral("Things menu"));
    EXPECT_EQ(p.panel.refreshButton()->toolTip(), QStringLiteral("Search again"));
    EXPECT_TRUE(p.panel.progressBar()->isHidden());
    EXPECT_EQ(p.panel.table(), p.table);
    // A menu button without a menu does nothing.
    p.panel.menuButton()->click();
}

TEST(StudyPaneSearchPanel, ProgressOnlyGrowsAndHidesOnceComplete)
{
    ensureApplication();
    Panel p;
    p.root.show();
    p.panel.startProgress();
    EXPECT_TRUE(p.panel.progressBar()->isVisible());
    EXPECT_EQ(p.progress(), 50);
    p.panel.updateProgress(4, 0);
    EXPECT_EQ(p.progress(), 50);  // nothing done yet: the bar keeps its start
    p.panel.updateProgress(0, 2);
    EXPECT_EQ(p.progress(), 500);
    p.panel.updateProgress(4, 1);  // more work counted: the share falls, the bar does not
    EXPECT_EQ(p.progress(), 500);
    EXPECT_EQ(p.panel.progressCount(), 8);
    EXPECT_EQ(p.panel.progressCompleted(), 3);
    p.panel.updateProgress(0, 5);
    EXPECT_EQ(p.progress(), StudyPaneSearchPanel::kProgressSteps);
    EXPECT_TRUE(waitFor([&p] { return p.panel.progressBar()->isHidden(); }));

    // A new search starts from nothing; a stopped one hides at once.
    p.panel.startProgress();
    EXPECT_EQ(p.panel.progressCount(), 0);
    EXPECT_EQ(p.panel.progressCompleted(), 0);
    EXPECT_TRUE(p.panel.progressBar()->isVisible());
    p.panel.hideProgress();
    EXPECT_TRUE(p.panel.progressBar()->isHidden());
}

TEST(StudyPaneSearchPanel, CountsNoProgressBeforeItIsBuilt)
{
    ensureApplication();
    StudyPaneSearchPanel panel;
    panel.startProgress();
    panel.updateProgress(3, 1);
    panel.hideProgress();
    panel.clearSelection();
    EXPECT_EQ(panel.progressCount(), 0);
    EXPECT_EQ(panel.progressCompleted(), 0);
}

TEST(StudyPaneSearchPanel, AChosenRowIsActivatedOnceThenDeselected)
{
    ensureApplication();
    Panel p;
    p.table->selectRow(1);
    EXPECT_EQ(p.activated, QList<int> {1});
    p.panel.clearSelection();
    EXPECT_TRUE(p.table->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(p.activated, QList<int> {1});  // deselecting activates nothing
    p.table->selectRow(2);
    EXPECT_EQ(p.activated, (QList<int> {1, 2}));
}

TEST(StudyPaneSearchPanel, ARecentSearchGoesIntoTheFieldAndRuns)
{
    ensureApplication();
    Screen screen;
    Panel p;
    StudyPaneRecentSearches recents(
        screen.defaults.get(), SettingKey<QVariantList> {QStringLiteral("partsRecentSearches")});
    recents.remember(QStringLiteral("grace"));
    QMenu menu;
    QStringList searched;
    p.panel.showRecentSearches(&menu, recents, [&] { searched.append(p.panel.searchField()->text()); });
    p.panel.setMenu([&menu] { return &menu; });
    QAction* item = nullptr;
    for (QAction* a : menu.actions())
        if (a->text() == QStringLiteral("grace"))
            item = a;
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_EQ(p.panel.searchField()->text(), QStringLiteral("grace"));
    EXPECT_EQ(searched, QStringList {QStringLiteral("grace")});

    // The menu is filled again each time it shows.
    recents.remember(QStringLiteral("peace"));
    emit menu.aboutToShow();
    QStringList texts;
    for (QAction* a : menu.actions())
        texts.append(a->text());
    EXPECT_TRUE(texts.contains(QStringLiteral("peace")));
}

TEST(StudyPaneTabs, OrderFromTheStateCompletedAndCleaned)
{
    StudyPaneTabs tabs;
    tabs.configure(nullptr, nullptr);
    EXPECT_EQ(tabs.order(), (QList<qint64> {1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(tabs.selected(), 9);  // adding a tab selects it
    EXPECT_EQ(tabs.rowOrder(), StudyPaneView::defaultRowOrder());

    // Repeats and ids of no tab are dropped; a partial order leaves the row in its own order.
    StudyPaneRegionContentItemState state;
    state.tabIDOrder = {3, 3, 12, 0, -1, 1};
    tabs.configure(&state, nullptr);
    EXPECT_EQ(tabs.order(), (QList<qint64> {3, 1, 7, 8, 9}));
    EXPECT_EQ(tabs.rowOrder(), StudyPaneView::defaultRowOrder());

    // All nine: the user's order, shown by the row.
    state.tabIDOrder = {9, 8, 7, 6, 5, 4, 3, 2, 1};
    tabs.configure(&state, nullptr);
    EXPECT_EQ(tabs.rowOrder(), state.tabIDOrder);
    // An order the user dragged before a tab was added keeps its row; the new tab joins at the end.
    state.tabIDOrder = {9, 7, 6, 5, 4, 3, 2, 1};
    tabs.configure(&state, nullptr);
    EXPECT_EQ(tabs.rowOrder(), (QList<qint64> {9, 7, 6, 5, 4, 3, 2, 1, 8}));
}

TEST(StudyPaneTabs, MovingATabReordersTheRow)
{
    StudyPaneTabs tabs;
    tabs.configure(nullptr, nullptr);
    EXPECT_FALSE(tabs.move(42, 0, nullptr));
    EXPECT_EQ(tabs.rowOrder(), StudyPaneView::defaultRowOrder());
    ASSERT_TRUE(tabs.move(9, 0, nullptr));
    EXPECT_EQ(tabs.order(), (QList<qint64> {9, 6, 1, 2, 3, 4, 5, 7, 8}));
    EXPECT_EQ(tabs.rowOrder(), tabs.order());
    ASSERT_TRUE(tabs.move(9, 100, nullptr));  // past the end: the last place
    EXPECT_EQ(tabs.order().last(), 9);
    ASSERT_TRUE(tabs.move(8, -5, nullptr));  // before the start: the first place
    EXPECT_EQ(tabs.order().first(), 8);
    EXPECT_EQ(tabs.order().size(), 9);
    EXPECT_TRUE(StudyPaneTabs::moreMenuEntries(nullptr).isEmpty());
}

TEST(StudyPaneSubpaneSlots, TabsHaveSubpanesAsTheFactoriesSay)
{
    ensureApplication();
    using Slots = StudyPaneSubpaneSlots;
    FakeSubpanes fakes({{Slots::kBookmarksSubpane, QStringLiteral("marks")},
        {Slots::kOtherGotoSubpane, QStringLiteral("other go-to")}});
    const StudyPaneEnvironment env = fakes.in({});
    Slots subpanes(env);
    // Before they are made, the factories answer: the built-in Find, the environment's bookmarks and
    // go-to, and no highlights.
    EXPECT_TRUE(subpanes.hasTab(1));
    EXPECT_TRUE(subpanes.hasTab(2));
    EXPECT_FALSE(subpanes.hasTab(3));
    EXPECT_TRUE(subpanes.hasTab(6));
    EXPECT_FALSE(subpanes.hasTab(0));
    EXPECT_FALSE(subpanes.hasTab(10));

    QList<Slots::Slot> made;
    subpanes.make(nullptr, [&made](Slots::Slot slot, StudyPaneSubpane&) { made.append(slot); });
    EXPECT_TRUE(made.contains(Slots::kSearchSubpane));
    EXPECT_TRUE(made.contains(Slots::kBookmarksSubpane));
    EXPECT_FALSE(made.contains(Slots::kHighlightsSubpane));
    EXPECT_EQ(subpanes.forTab(2, nullptr), subpanes.at(Slots::kBookmarksSubpane));
    EXPECT_EQ(subpanes.forTab(3, nullptr), nullptr);
    // Without an active book (a pane with none yet) the GoTo tab shows the Bible's go-to and its field.
    EXPECT_EQ(subpanes.forTab(6, nullptr), subpanes.at(Slots::kBibleGotoSubpane));
    EXPECT_EQ(subpanes.at(Slots::kSubpaneCount), nullptr);
    // Every slot has its tab; the four go-to slots share the GoTo tab.
    for (int slot = 0; slot < Slots::kSubpaneCount; ++slot) {
        const auto s = Slots::Slot(slot);
        EXPECT_EQ(StudyPaneTabs::tabForSlot(s) == 6, StudyPaneTabs::isGotoSlot(s)) << slot;
        EXPECT_NE(StudyPaneTabs::find(StudyPaneTabs::tabForSlot(s)), nullptr) << slot;
    }

    subpanes.exitIsImminent();
    EXPECT_TRUE(fakes.log.contains(QStringLiteral("marks exit")));
    subpanes.clear();
    EXPECT_FALSE(subpanes.hasTab(2));  // made once: only what was made counts
}

TEST(StudyPaneSubpaneSlots, EachPaneHasTheFactoriesOfItsOwnEnvironment)
{
    ensureApplication();
    using Slots = StudyPaneSubpaneSlots;
    FakeSubpanes marks({{Slots::kBookmarksSubpane, QStringLiteral("marks")}});
    FakeSubpanes find({{Slots::kSearchSubpane, QStringLiteral("my find")}});
    const StudyPaneEnvironment withMarks = marks.in({});
    const StudyPaneEnvironment withFind = find.in({});
    Slots first(withMarks);
    Slots second(withFind);
    EXPECT_TRUE(first.hasTab(2));
    EXPECT_FALSE(second.hasTab(2)) << "the other environment's bookmarks do not reach this pane";
    second.make(nullptr, [](Slots::Slot, StudyPaneSubpane&) {});
    // A factory of the environment takes the place of the built-in Find.
    auto* found = dynamic_cast<FakeSubpane*>(second.at(Slots::kSearchSubpane));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->name(), QStringLiteral("my find"));
    EXPECT_EQ(second.at(Slots::kBookmarksSubpane), nullptr);
    EXPECT_TRUE(marks.log.isEmpty());
}

TEST(StudyPaneNoteHeader, TitlesSetBeforeTheFieldsAreShownWhenMade)
{
    ensureApplication();
    QWidget root;
    StudyPaneNoteHeader header;
    header.setTitles(QStringLiteral("KJV (KJV)"), QStringLiteral("John 3:16"));
    EXPECT_EQ(header.typedNoteTitle(), QStringLiteral("John 3:16"));
    (new QVBoxLayout(&root))->addLayout(header.makeTitles(&root));
    auto* book = root.findChild<QLabel*>(QStringLiteral("bookTitleTextField"));
    auto* note = root.findChild<QLineEdit*>(QStringLiteral("noteTitleTextField"));
    ASSERT_TRUE(book && note);
    EXPECT_EQ(book->text(), QStringLiteral("KJV (KJV)"));
    EXPECT_EQ(note->text(), QStringLiteral("John 3:16"));
    EXPECT_TRUE(note->isReadOnly());

    int edits = 0;
    QObject::connect(&header, &StudyPaneNoteHeader::noteTitleEdited, [&edits] { ++edits; });
    header.setNoteTitleEditable(true);
    EXPECT_FALSE(note->isReadOnly());
    note->setFocus();
    note->selectAll();
    QTest::keyClicks(note, QStringLiteral("Prayer"));
    EXPECT_GT(edits, 0);
    EXPECT_EQ(header.typedNoteTitle(), QStringLiteral("Prayer"));
    EXPECT_EQ(header.noteTitle(), QStringLiteral("John 3:16"));  // the shown title until set
    header.setNoteTitle(QStringLiteral("Prayer (2)"));
    EXPECT_EQ(note->text(), QStringLiteral("Prayer (2)"));
    EXPECT_EQ(book->text(), QStringLiteral("KJV (KJV)"));
}

TEST(StudyPaneNoteHeader, StatusLineTellsSavingAndSync)
{
    ensureApplication();
    QWidget root;
    StudyPaneNoteHeader header;
    header.showStatus({});  // before the line is made: nothing
    (new QVBoxLayout(&root))->addLayout(header.makeStatusLine(&root));
    auto* local = root.findChild<QLabel*>(QStringLiteral("localStorageStatusTextField"));
    auto* cloud = root.findChild<QLabel*>(QStringLiteral("cloudStorageStatusTextField"));
    auto* remove = root.findChild<QPushButton*>(QStringLiteral("deleteNoteButton"));
    ASSERT_TRUE(local && cloud && remove);
    root.show();

    header.showStatus({});
    EXPECT_TRUE(local->text().isEmpty() && cloud->text().isEmpty());
    EXPECT_FALSE(remove->isVisible());

    StudyPaneNoteHeader::Status s;
    s.hasNote = true;
    header.showStatus(s);
    EXPECT_EQ(local->text(), QStringLiteral("Local Storage: Note is empty"));
    EXPECT_EQ(cloud->text(), QStringLiteral("Cloud Sync: Manual"));
    EXPECT_FALSE(remove->isVisible());  // nothing to delete yet

    s.isEdited = true;
    s.autosavePending = true;
    s.syncsAutomatically = true;
    header.showStatus(s);
    EXPECT_EQ(local->text(), QStringLiteral("Local Storage: Will auto-save..."));
    EXPECT_EQ(cloud->text(), QStringLiteral("Cloud Sync: Will auto-sync..."));
    EXPECT_TRUE(remove->isVisible());

    s.saveFailed = true;
    s.failureReason = QStringLiteral("disk full");
    header.showStatus(s);
    EXPECT_EQ(local->text(), QStringLiteral("Local Storage: Not saved"));
    EXPECT_TRUE(ContentTextDocument::plainText(local->toolTip()).endsWith(QStringLiteral("disk full")));

    s = {};
    s.hasNote = true;
    s.isEmpty = false;
    s.syncsAutomatically = true;
    s.hasServerCopy = true;
    header.showStatus(s);
    EXPECT_EQ(local->text(), QStringLiteral("Local Storage: Saved"));
    EXPECT_EQ(cloud->text(), QStringLiteral("Cloud Sync: Sync'ed"));
    // Too large for a sync line: said whether syncs run by themselves or not.
    for (bool automatic : {true, false}) {
        s.syncsAutomatically = automatic;
        s.tooLargeToSync = true;
        header.showStatus(s);
        EXPECT_EQ(cloud->text(), QStringLiteral("Cloud Sync: Too large to sync"));
    }
    s.tooLargeToSync = false;
    s.syncsAutomatically = true;
    header.showStatus(s);

    int deletes = 0;
    QObject::connect(&header, &StudyPaneNoteHeader::deleteClicked, [&deletes] { ++deletes; });
    remove->click();
    EXPECT_EQ(deletes, 1);
}
