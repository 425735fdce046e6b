// BookmarkMenus: the category menus of the bookmark commands (a book pane's Bookmark and Remove
// Bookmark menus, the bookmarks sub-pane's category pop-up), filled from a BookmarkStore, and the alert
// that shows a BookmarkError.
//
// Menu payloads (QAction::data(), a QVariantMap): "title", "searchTitle" ("*" for all categories),
// "categoryID", and "isCreateNewCategory" true on the "Create New Category" item.
//
// Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "studypane/BookmarkStore.h"
#include "studypane/StudyPaneEnvironment.h"

#include <QVariantMap>

#include <functional>

class QMenu;

namespace BookmarkMenus {

// Options of the category menus.
enum MenuOption {
    kOptionAll = 1,             // "All Bookmarks" / "All Categories"
    kOptionNoCategory = 2,      // "No Category"
    kOptionCreateNew = 4,       // "Create New Category" and a separator
    kOptionAllWhenSeveral = 8,  // "All Categories" only over two or more bookmarks
};
using MenuHandler = std::function<void(const QVariantMap& payload)>;

inline const QString kTitle = QStringLiteral("title");
inline const QString kSearchTitle = QStringLiteral("searchTitle");
inline const QString kCategoryID = QStringLiteral("categoryID");
inline const QString kIsCreateNew = QStringLiteral("isCreateNewCategory");

// Empties the menu and adds the items the options ask for, then every live category by name.
void populate(QMenu* menu, const BookmarkStore& store, int options, const MenuHandler& onChosen);
// Appends the categories of the bookmarks on a verse (packed key) or on the section of a block.
void populateFromVerse(QMenu* menu, const BookmarkStore& store, quint32 key, int options, const MenuHandler& onChosen);
void populateFromBlock(QMenu* menu, const BookmarkStore& store, quint32 block, const SourceTuple::Ptr& book,
    int options, const MenuHandler& onChosen);

// Shows an error in a modal alert through the environment.
void alertWithError(const StudyPaneEnvironment& env, const BookmarkError& error);

}  // namespace BookmarkMenus
