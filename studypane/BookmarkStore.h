// BookmarkStore: the reader's bookmarks and their categories, as the book panes' context menus and
// the bookmarks sub-pane read and write them: bookmarking and un-bookmarking a verse or the section of
// a block, the categories on a place, and creating, renaming and deleting categories. Storage is the
// category store and the bookmark manager of the user data, which stamp rows, keep deletions as
// tombstones and ask for a sync themselves; each call opens them for the call and closes them before
// it returns.
//
// Category ids: 0 "No Category" (no row), 1-65534 rows of the category table, 65535 all categories
// (or not known yet). Every write posts qsBookmarksHaveChangedNotification (an added bookmark with
// its "categoryID") or qsCategoriesHaveChangedNotification on the centre the store was made with
// (none: nothing is posted), with the store as the sender.
//
// A small value each user makes for itself (the centre must outlive it). Main thread only.
#pragma once

#include "library/SourceTuple.h"

#include <QString>
#include <QVariantMap>

#include <optional>
#include <vector>

class NotificationCenter;
class cBookmark;

// An error of a bookmark write, as the user sees it in an alert.
struct BookmarkError {
    QString description;
    QString reason;  // may be empty
    QString suggestion;
};

class BookmarkStore {
public:
    static constexpr quint16 kNoCategory = 0;
    static constexpr quint16 kAllCategories = 65535;
    static QString noCategoryName() { return QStringLiteral("No Category"); }
    static QString allCategoriesName() { return QStringLiteral("All Categories"); }

    struct Category {
        quint16 id = kNoCategory;
        QString name;
    };

    explicit BookmarkStore(NotificationCenter* center) : m_center(center) { }

    // Every live category, by name.
    std::vector<Category> categories() const;
    // The category of each bookmark on a verse (packed key) or on the section of a block, in the
    // manager's order (one entry per bookmark).
    std::vector<quint16> categoriesOnVerse(quint32 key) const;
    std::vector<quint16> categoriesOnBlock(quint32 block, const SourceTuple::Ptr& book) const;
    bool verseHasBookmarks(quint32 key) const;
    bool blockHasBookmarks(quint32 block, const SourceTuple::Ptr& book) const;

    // 65535 and an error when no live category has the name.
    quint16 categoryIdForName(const QString& name, BookmarkError* error = nullptr) const;
    // 0 "No Category", 65535 or more "All Categories" (no look-up); nothing and an error when unknown.
    std::optional<QString> categoryNameForId(quint32 id, BookmarkError* error = nullptr) const;

    // Creates a category (old name empty or null) or renames one, moving its bookmarks.
    bool addOrRenameCategory(
        const QString& newName, const std::optional<QString>& oldName, BookmarkError* error = nullptr);
    // Deletes the bookmarks of a category and the category (0: the uncategorized bookmarks, the
    // category stays; 65535: every bookmark and category). False when the database refused.
    bool deleteCategory(quint16 id);

    // Bookmarks a verse or the section of a block in a category (id 65535: looked up by name). False
    // when nothing was written.
    bool bookmarkVerse(quint32 key, const QString& categoryName, quint16 categoryId);
    bool bookmarkBlock(quint32 block, const SourceTuple::Ptr& book, const QString& categoryName, quint16 categoryId);
    // Removes the bookmarks of one category (or all: id 65535 with name "*"). False when a deletion
    // failed or the category is not known.
    bool removeFromVerse(quint32 key, const QString& categoryName, quint16 categoryId);
    bool removeFromBlock(quint32 block, const SourceTuple::Ptr& book, const QString& categoryName, quint16 categoryId);

private:
    bool add(cBookmark& bookmark);
    void post(const QString& name, const QVariantMap& info = {});

    NotificationCenter* m_center = nullptr;
};
