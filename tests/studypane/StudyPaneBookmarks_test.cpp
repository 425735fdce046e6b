// The bookmark store, its menus and the bookmarks sub-pane on the sample library and a private database:
// categories created, renamed (in letter case only or to a new name that takes the bookmarks) and
// refused; verse and section bookmarks set and removed per category or in all; the category menus;
// notifications; the pane listing a book's bookmarks per category, going to a row and deleting a
// category after two confirmations.

#include "SubpaneTestSupport.h"
#include "library/GoToLink.h"
#include "library/LibraryNotifications.h"
#include "studypane/BookmarkMenus.h"
#include "studypane/BookmarkStore.h"
#include "studypane/StudyPaneBookPaneHooks.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategoryStg.h"

#include <QComboBox>
#include <QMenu>
#include <QTableWidget>
#include <QToolButton>

using namespace SubpaneTest;
using Bookmarks = StudyPaneBookmarksViewController;

namespace {

QStringList titles(QMenu& menu)
{
    QStringList out;
    for (QAction* a : menu.actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

void clearAll()
{
    cBookmarkMgr bookmarks;
    ASSERT_TRUE(bookmarks.openDatabase(nullptr, true, false));
    bookmarks.deleteBookmarksInCategory(-1, false);
    cCategoryStg categories;
    ASSERT_TRUE(categories.openDatabase(false));
    categories.deleteAllCategories(false, false);
}

class BookmarksTest : public SubpaneFixture {
protected:
    void SetUp() override
    {
        SubpaneFixture::SetUp();
        if (!IsSkipped())
            clearAll();
        store = BookmarkStore(env.center);
    }

    BookmarkStore store {nullptr};
};

}  // namespace

TEST_F(BookmarksTest, CategoriesAreCreatedRenamedAndRefused)
{
    Recorder changed(screen->center, StudyPaneNotifications::qsCategoriesHaveChangedNotification);
    BookmarkError error;
    EXPECT_FALSE(store.addOrRenameCategory(QStringLiteral(" \t\r\n"), std::nullopt, &error));
    EXPECT_EQ(error.description, QStringLiteral("The new name is empty."));
    EXPECT_EQ(error.suggestion, QStringLiteral("Enter a non-empty name."));

    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("  Faith \n"), std::nullopt, &error));
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("Hope"), QString(), &error));
    ASSERT_EQ(changed.posts.size(), 2);
    EXPECT_EQ(changed.posts[0].object, &store);
    EXPECT_TRUE(changed.posts[0].userInfo.isEmpty());
    const quint16 faith = store.categoryIdForName(QStringLiteral("faith"));
    const quint16 hope = store.categoryIdForName(QStringLiteral("HOPE"));
    ASSERT_NE(faith, BookmarkStore::kAllCategories);
    EXPECT_EQ(hope, faith + 1);
    EXPECT_EQ(store.categoryNameForId(faith), QStringLiteral("Faith"));

    // Duplicates in any letter case are refused, for new names and for renames.
    EXPECT_FALSE(store.addOrRenameCategory(QStringLiteral("FAITH"), std::nullopt, &error));
    EXPECT_EQ(error.description, QStringLiteral("The category already exists."));
    EXPECT_FALSE(store.addOrRenameCategory(QStringLiteral("hope"), QStringLiteral("Faith"), &error));
    EXPECT_EQ(error.description, QStringLiteral("The category already exists."));
    EXPECT_EQ(changed.posts.size(), 2);

    // The same name is nothing to do; a change of case keeps the row and its id.
    EXPECT_TRUE(store.addOrRenameCategory(QStringLiteral("Faith"), QStringLiteral("Faith"), &error));
    EXPECT_EQ(changed.posts.size(), 2);
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("FAITH"), QStringLiteral("Faith"), &error));
    EXPECT_EQ(changed.posts.size(), 3);
    EXPECT_EQ(store.categoryIdForName(QStringLiteral("Faith")), faith);
    EXPECT_EQ(store.categoryNameForId(faith), QStringLiteral("FAITH"));

    // A rename to a new name moves the bookmarks and retires the old category.
    ASSERT_TRUE(store.bookmarkVerse(key(43, 3, 16), QStringLiteral("FAITH"), faith));
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("Trust"), QStringLiteral("FAITH"), &error));
    const quint16 trust = store.categoryIdForName(QStringLiteral("Trust"));
    EXPECT_EQ(trust, hope + 1);
    EXPECT_EQ(store.categoryIdForName(QStringLiteral("FAITH"), &error), BookmarkStore::kAllCategories);
    EXPECT_EQ(error.reason, QStringLiteral("Category 'FAITH' could not be found"));
    EXPECT_FALSE(store.categoryNameForId(faith, &error).has_value());
    EXPECT_TRUE(error.reason.isEmpty());
    QMenu menu;
    BookmarkMenus::populateFromVerse(&menu, store, key(43, 3, 16), 0, {});
    EXPECT_EQ(titles(menu), QStringList {QStringLiteral("Trust")});

    // Renaming a category that does not exist fails and changes nothing.
    EXPECT_FALSE(store.addOrRenameCategory(QStringLiteral("Joy"), QStringLiteral("Nothing"), &error));
    EXPECT_EQ(error.description, QStringLiteral("The category cannot be found."));
    // Ids 0 and 65535 are named without a look-up.
    EXPECT_EQ(store.categoryNameForId(0), QStringLiteral("No Category"));
    EXPECT_EQ(store.categoryNameForId(65535), QStringLiteral("All Categories"));
    EXPECT_EQ(store.categoryNameForId(70000), QStringLiteral("All Categories"));

    // A new or renamed category over a deleted one's name shows the name as typed.
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("study"), std::nullopt, &error));
    ASSERT_TRUE(store.deleteCategory(store.categoryIdForName(QStringLiteral("study"))));
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("Alpha"), std::nullopt, &error));
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("Study"), QStringLiteral("Alpha"), &error));
    EXPECT_EQ(store.categoryNameForId(store.categoryIdForName(QStringLiteral("STUDY"))), QStringLiteral("Study"));
    ASSERT_TRUE(store.deleteCategory(store.categoryIdForName(QStringLiteral("Study"))));
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("STUDY"), std::nullopt, &error));
    EXPECT_EQ(store.categoryNameForId(store.categoryIdForName(QStringLiteral("study"))), QStringLiteral("STUDY"));
}

TEST_F(BookmarksTest, VerseAndSectionBookmarksAndTheirMenus)
{
    Recorder changed(screen->center, StudyPaneNotifications::qsBookmarksHaveChangedNotification);
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("Love"), std::nullopt));
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("Grace"), std::nullopt));
    const quint16 love = store.categoryIdForName(QStringLiteral("Love"));

    // A name nobody has writes and posts nothing.
    EXPECT_FALSE(store.bookmarkVerse(key(62, 4, 8), QStringLiteral("Nobody"), BookmarkStore::kAllCategories));
    EXPECT_TRUE(changed.posts.isEmpty());
    EXPECT_FALSE(store.verseHasBookmarks(key(62, 4, 8)));

    ASSERT_TRUE(store.bookmarkVerse(key(62, 4, 8), QStringLiteral("love"), BookmarkStore::kAllCategories));
    ASSERT_EQ(changed.posts.size(), 1);
    EXPECT_EQ(changed.posts[0].object, &store);
    EXPECT_TRUE(store.verseHasBookmarks(key(62, 4, 8)));

    // One bookmark: options 8 add no "All Categories"; two bookmarks do.
    QMenu menu;
    BookmarkMenus::populateFromVerse(&menu, store, key(62, 4, 8), BookmarkMenus::kOptionAllWhenSeveral, {});
    EXPECT_EQ(titles(menu), QStringList {QStringLiteral("Love")});
    ASSERT_TRUE(store.bookmarkVerse(key(62, 4, 8), QStringLiteral("No Category"), 0));
    menu.clear();
    BookmarkMenus::populateFromVerse(&menu, store, key(62, 4, 8), BookmarkMenus::kOptionAllWhenSeveral, {});
    EXPECT_EQ(titles(menu),
        (QStringList {QStringLiteral("All Categories"), QStringLiteral("-"), QStringLiteral("No Category"),
            QStringLiteral("Love")}));
    EXPECT_EQ(menu.actions()[0]->data().toMap().value("searchTitle").toString(), QStringLiteral("*"));
    EXPECT_EQ(menu.actions()[0]->data().toMap().value("categoryID").toUInt(), 65535u);

    // The full menu, categories by name, each item carrying its payload and reaching the handler.
    QVariantMap chosen;
    BookmarkMenus::populate(&menu, store,
        BookmarkMenus::kOptionCreateNew | BookmarkMenus::kOptionAll | BookmarkMenus::kOptionNoCategory,
        [&chosen](const QVariantMap& p) { chosen = p; });
    EXPECT_EQ(titles(menu),
        (QStringList {QStringLiteral("Create New Category"), QStringLiteral("-"), QStringLiteral("All Bookmarks"),
            QStringLiteral("No Category"), QStringLiteral("Grace"), QStringLiteral("Love")}));
    EXPECT_TRUE(menu.actions()[0]->data().toMap().value("isCreateNewCategory").toBool());
    EXPECT_FALSE(menu.actions()[2]->data().toMap().contains("isCreateNewCategory"));
    menu.actions()[5]->trigger();
    EXPECT_EQ(chosen.value("categoryID").toUInt(), love);
    EXPECT_EQ(chosen.value("searchTitle").toString(), QStringLiteral("Love"));

    // Removing one category keeps the other; "*" with 65535 removes every category's.
    changed.posts.clear();
    EXPECT_FALSE(store.removeFromVerse(key(62, 4, 8), QStringLiteral("Nobody"), 65535));
    EXPECT_TRUE(changed.posts.isEmpty());
    EXPECT_TRUE(store.removeFromVerse(key(62, 4, 8), QStringLiteral("Love"), 65535));
    menu.clear();
    BookmarkMenus::populateFromVerse(&menu, store, key(62, 4, 8), 0, {});
    EXPECT_EQ(titles(menu), QStringList {QStringLiteral("No Category")});
    ASSERT_TRUE(store.bookmarkVerse(key(62, 4, 8), QStringLiteral("Grace"), 65535));
    EXPECT_TRUE(store.removeFromVerse(key(62, 4, 8), QStringLiteral("*"), 65535));
    EXPECT_FALSE(store.verseHasBookmarks(key(62, 4, 8)));
    EXPECT_EQ(changed.posts.size(), 3);

    // Book bookmarks sit on the section of a block; block 0's section 0 is refused.
    const SourceTuple::Ptr nave = world().nave;
    ASSERT_TRUE(nave);
    const quint32 block = nave->locations().blockForSection(5);
    ASSERT_EQ(nave->locations().sectionForBlock(block), 5u);
    EXPECT_FALSE(store.blockHasBookmarks(block, nave));
    ASSERT_TRUE(store.bookmarkBlock(block, nave, QStringLiteral("Grace"), 65535));
    EXPECT_TRUE(store.blockHasBookmarks(block, nave));
    menu.clear();
    BookmarkMenus::populateFromBlock(&menu, store, block, nave, BookmarkMenus::kOptionAll, {});
    EXPECT_EQ(
        titles(menu), (QStringList {QStringLiteral("All Categories"), QStringLiteral("-"), QStringLiteral("Grace")}));
    EXPECT_TRUE(store.removeFromBlock(block, nave, QStringLiteral("*"), 65535));
    EXPECT_FALSE(store.blockHasBookmarks(block, nave));
}

TEST_F(BookmarksTest, ThePaneListsABooksBookmarksAndGoesThere)
{
    ASSERT_TRUE(store.addOrRenameCategory(QStringLiteral("Promises"), std::nullopt));
    const quint16 promises = store.categoryIdForName(QStringLiteral("Promises"));
    ASSERT_TRUE(store.bookmarkVerse(key(43, 3, 16), QStringLiteral("Promises"), promises));
    ASSERT_TRUE(store.bookmarkVerse(key(1, 1, 1), QStringLiteral("Promises"), promises));
    ASSERT_TRUE(store.bookmarkVerse(key(19, 23, 1), QString(), 0));

    makePane(world().kjv);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBookmarksSubpane);
    auto* bookmarks = static_cast<Bookmarks*>(pane->subpane(StudyPaneViewController::kBookmarksSubpane));
    ASSERT_EQ(pane->subpaneViewController(), bookmarks);
    EXPECT_TRUE(world().kjv->isEqual(*pane->state()->bookmarkPaneSourceTupleID));

    // A new pane lists the uncategorised bookmarks; "All Bookmarks" lists every one, in book order.
    QComboBox* popup = control<QComboBox>(bookmarks, "categoryPopUp");
    EXPECT_EQ(popup->currentText(), QStringLiteral("No Category"));
    EXPECT_EQ(pane->state()->bookmarkPaneSelectedCatID, 0);
    QTableWidget* table = control<QTableWidget>(bookmarks, "sectionList");
    auto* rename = control<QToolButton>(bookmarks, "renameCategoryButton");
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_TRUE(control<QToolButton>(bookmarks, "deleteCategoryButton")->isEnabled());
    EXPECT_FALSE(rename->isEnabled());
    bookmarks->onCategorySelected(0);
    EXPECT_EQ(pane->state()->bookmarkPaneSelectedCatID, 65535);
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(0, 0)->text(),
        world().kjv->words().plainTextSearchResultTitleForSection(
            world().kjv->locations().sectionForBibleKey(key(1, 1, 1))));
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), world().kjv->record().name);
    EXPECT_FALSE(rename->isEnabled());

    // One category.
    const int index = popup->findText(QStringLiteral("Promises"));
    ASSERT_GE(index, 0);
    popup->setCurrentIndex(index);
    bookmarks->onCategorySelected(index);
    EXPECT_EQ(pane->state()->bookmarkPaneSelectedCatID, promises);
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_TRUE(rename->isEnabled());
    screenshot(QStringLiteral("bookmarks-subpane.png"));

    // A row goes there and becomes a recent verse.
    Recorder goTo(screen->center, LibraryNotifications::GoToNotification);
    bookmarks->activateRow(1);
    ASSERT_EQ(goTo.posts.size(), 1);
    const GoToRequest g = GoToRequest::of(goTo.posts[0]);
    EXPECT_EQ(g.bibleKey, key(43, 3, 16));
    EXPECT_EQ(g.section, world().kjv->locations().sectionForBibleKey(key(43, 3, 16)));
    EXPECT_TRUE(g.activate && g.sync);
    EXPECT_EQ(g.layoutUuid, screen->layout->uuidString());
    EXPECT_EQ(g.sourceTuple, world().kjv);
    EXPECT_EQ(pane->recentGoToVerseKeys().value(0), key(43, 3, 16));
    EXPECT_TRUE(table->selectedItems().isEmpty());

    // A row of a book no longer installed (removed since the list was made) says so and where to
    // get it, and goes nowhere.
    pane->state()->bookmarkPaneSourceTupleID = SourceTupleID(24, 101, 1, 1);
    bookmarks->activateRow(0);
    EXPECT_EQ(goTo.posts.size(), 1);
    ASSERT_EQ(alerts->shown().size(), 1);
    EXPECT_EQ(
        alerts->shown()[0].messageText, QStringLiteral("\"%1\" is not installed.").arg(world().kjv->record().name));
    EXPECT_EQ(alerts->shown()[0].informativeText, GoToLink::bookNotInstalledText(24, 101));
    EXPECT_TRUE(alerts->shown()[0].informativeText.contains(QStringLiteral("Cloud Library")));
    EXPECT_TRUE(table->selectedItems().isEmpty());
    alerts->clear();
    pane->state()->bookmarkPaneSourceTupleID = world().kjv->sourceTupleID();

    // Renaming through the prompt keeps the category selected under its new name.
    answers = {QStringLiteral("Covenant")};
    bookmarks->onRenameCategory();
    ASSERT_EQ(prompts.size(), 1);
    EXPECT_EQ(prompts[0].value("default").toString(), QStringLiteral("Promises"));
    EXPECT_EQ(prompts[0].value("title").toString(), QStringLiteral("Rename Bookmark Category"));
    EXPECT_EQ(popup->currentText(), QStringLiteral("Covenant"));
    EXPECT_EQ(table->rowCount(), 2);
    // A duplicate name shows the error.
    answers = {QStringLiteral("covenant ")};
    bookmarks->onNewCategory();
    ASSERT_EQ(alerts->shown().size(), 1);
    EXPECT_EQ(alerts->shown()[0].messageText, QStringLiteral("The category already exists."));
    alerts->clear();

    // Deleting asks twice; "No" at the last chance keeps everything.
    alerts->queueAnswer(AlertFirstButtonReturn);
    alerts->queueAnswer(AlertSecondButtonReturn);
    bookmarks->onDeleteCategory();
    ASSERT_EQ(alerts->shown().size(), 2);
    EXPECT_EQ(alerts->shown()[0].messageText,
        QStringLiteral("Are you sure you want to delete the bookmarks in this category?"));
    EXPECT_EQ(alerts->shown()[1].messageText,
        QStringLiteral("LAST CHANCE: Are you sure you want to delete the bookmarks in this category?"));
    for (const Alert& asked : alerts->shown())  // Return keeps the bookmarks
        EXPECT_EQ(asked.effectiveButtons()[asked.effectiveDefaultButton()], QStringLiteral("No"));
    EXPECT_TRUE(alerts->shown()[0].informativeText.contains(QStringLiteral("'Covenant'")));
    EXPECT_EQ(table->rowCount(), 2);
    alerts->clear();
    alerts->queueAnswer(AlertFirstButtonReturn);
    alerts->queueAnswer(AlertFirstButtonReturn);
    bookmarks->onDeleteCategory();
    EXPECT_EQ(alerts->shown().size(), 2);
    EXPECT_EQ(store.categoryIdForName(QStringLiteral("Covenant")), 65535);
    // The deleted category's place is taken by "All Bookmarks", which still holds the uncategorised one.
    EXPECT_EQ(popup->currentText(), QStringLiteral("All Bookmarks"));
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_FALSE(store.verseHasBookmarks(key(43, 3, 16)));
    EXPECT_TRUE(store.verseHasBookmarks(key(19, 23, 1)));
}

TEST_F(BookmarksTest, TheBookPanesCommandsGoThroughTheServices)
{
    StudyPaneBookPaneHooks hooks(env);
    const SourceTuple::Ptr kjv = world().kjv;
    // The bookmark menu (options 6) offers a new category; choosing it asks for the name, creates the
    // category and bookmarks the verse in it.
    QMenu menu;
    QVariantMap chosen;
    hooks.populateCategoryMenu(&menu, 6, kjv, key(19, 1, 1), true, [&chosen](const QVariantMap& p) { chosen = p; });
    EXPECT_EQ(titles(menu),
        (QStringList {QStringLiteral("Create New Category"), QStringLiteral("-"), QStringLiteral("No Category")}));
    menu.actions()[0]->trigger();
    answers = {QStringLiteral(" Wisdom ")};
    hooks.bookmark(kjv, key(19, 1, 1), true, chosen);
    ASSERT_EQ(prompts.size(), 1);
    EXPECT_EQ(prompts[0].value("title").toString(), QStringLiteral("New Bookmark Category"));
    const quint16 wisdom = store.categoryIdForName(QStringLiteral("Wisdom"));
    ASSERT_NE(wisdom, BookmarkStore::kAllCategories);
    EXPECT_TRUE(hooks.hasBookmarks(kjv, key(19, 1, 1), true));
    // Naming an existing category uses it; cancelling the prompt writes nothing.
    answers = {QStringLiteral("wisdom")};
    hooks.bookmark(kjv, key(20, 1, 7), true, chosen);
    EXPECT_EQ(store.categoryIdForName(QStringLiteral("Wisdom")), wisdom);
    EXPECT_TRUE(alerts->shown().isEmpty());
    hooks.bookmark(kjv, key(20, 2, 1), true, chosen);
    EXPECT_FALSE(hooks.hasBookmarks(kjv, key(20, 2, 1), true));
    // The remove menu (options 8) lists the verse's categories; removing one takes it away.
    menu.clear();
    hooks.populateCategoryMenu(&menu, 8, kjv, key(20, 1, 7), true, [&chosen](const QVariantMap& p) { chosen = p; });
    EXPECT_EQ(titles(menu), QStringList {QStringLiteral("Wisdom")});
    menu.actions()[0]->trigger();
    hooks.removeBookmark(kjv, key(20, 1, 7), true, chosen);
    EXPECT_FALSE(hooks.hasBookmarks(kjv, key(20, 1, 7), true));
    EXPECT_TRUE(hooks.hasBookmarks(kjv, key(19, 1, 1), true));
    // Sections of other books by block.
    const SourceTuple::Ptr nave = world().nave;
    const quint32 block = nave->locations().blockForSection(7);
    hooks.bookmark(nave, block, false, {{"searchTitle", QStringLiteral("No Category")}, {"categoryID", 0}});
    EXPECT_TRUE(hooks.hasBookmarks(nave, block, false));
    hooks.removeBookmark(nave, block, false, {{"searchTitle", QStringLiteral("*")}, {"categoryID", 65535}});
    EXPECT_FALSE(hooks.hasBookmarks(nave, block, false));
}
