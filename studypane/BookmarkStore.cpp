#include "studypane/BookmarkStore.h"

#include "library/EngineStrings.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneNotifications.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategoryStg.h"

namespace {

void fail(BookmarkError* error, const QString& description, const QString& reason, const QString& suggestion)
{
    if (error == nullptr)
        return;
    *error = BookmarkError {description, reason, suggestion};
}

// Runs change on the bookmark table opened for writing; false when it does not open or change fails.
template <typename Change> bool withBookmarksOpen(Change&& change)
{
    cBookmarkMgr store;
    if (!store.openDatabase(nullptr, true, false))
        return false;
    const bool ok = change(store);
    store.close();
    return ok;
}

// The category meant by a bookmark call: nothing when a name look-up finds none.
std::optional<quint16> resolveForAdding(const QString& name, quint16 id)
{
    if (id != BookmarkStore::kAllCategories)
        return id;
    cCategoryStg store;
    cCategory category;
    if (!store.openDatabase(false) || !store.findCategoryByName(EngineStrings::utf16(name), category))
        return std::nullopt;
    return category.catid;
}

// The category meant by an un-bookmark call: -1 for all categories; nothing when a name is unknown.
std::optional<int> resolveForDeleting(const QString& name, quint16 id)
{
    if (id != BookmarkStore::kAllCategories)
        return id;
    if (name == QStringLiteral("*"))
        return -1;
    cCategoryStg store;
    cCategory category;
    if (!store.openDatabase(false) || !store.findCategoryByName(EngineStrings::utf16(name), category))
        return std::nullopt;
    return category.catid;
}

// Soft-deletes the listed bookmarks of the category (all for -1). True when every deletion worked.
bool deleteListed(cBookmarkMgr& store, cLPtrArray* list, int category)
{
    bool ok = true;
    for (std::int32_t i = 0; list != nullptr && i < list->count(); ++i) {
        auto* bookmark = static_cast<cBookmark*>(list->elementAt(i));
        if (bookmark != nullptr && (category < 0 || bookmark->catid == category))
            ok = store.markBookmarkDeleted(*bookmark, false, false, false) && ok;
    }
    cBookmarkMgr::freeBookmarkList(list);
    return ok;
}

std::vector<quint16> categoriesIn(cLPtrArray* list)
{
    std::vector<quint16> ids;
    for (std::int32_t i = 0; list != nullptr && i < list->count(); ++i) {
        if (const auto* bookmark = static_cast<const cBookmark*>(list->elementAt(i)))
            ids.push_back(bookmark->catid);
    }
    cBookmarkMgr::freeBookmarkList(list);
    return ids;
}

quint32 sectionOfBlock(quint32 block, const SourceTuple::Ptr& book)
{
    return book ? book->locations().sectionForBlock(block) : 0;
}

const QString kUnusual =
    QStringLiteral("This is an unusual error. There appears to be a problem accessing the database.");

}  // namespace

void BookmarkStore::post(const QString& name, const QVariantMap& info)
{
    if (m_center != nullptr)
        m_center->postNotificationName(name, this, info);
}

std::vector<BookmarkStore::Category> BookmarkStore::categories() const
{
    std::vector<Category> out;
    cCategoryStg store;
    if (!store.openDatabase(false))
        return out;
    cCategory category;
    for (bool more = store.firstCategory(category, cCategoryStg::kByName, false); more;
         more = store.nextCategory(category, cCategoryStg::kByName, false))
        out.push_back({category.catid, EngineStrings::fromUtf16(category.name)});
    store.close();
    return out;
}

std::vector<quint16> BookmarkStore::categoriesOnVerse(quint32 key) const
{
    cBookmarkMgr store;
    return categoriesIn(store.bibleBookmarksInRange(key));
}

std::vector<quint16> BookmarkStore::categoriesOnBlock(quint32 block, const SourceTuple::Ptr& book) const
{
    const quint32 section = sectionOfBlock(block, book);
    if (section == 0)
        return {};
    cBookmarkMgr store;
    return categoriesIn(store.bookBookmarksForSection(
        quint16(book->record().pubID), quint16(book->record().bookID), std::int32_t(section)));
}

bool BookmarkStore::verseHasBookmarks(quint32 key) const
{
    cBookmarkMgr store;
    return store.hasBookmarkInRange(key);
}

bool BookmarkStore::blockHasBookmarks(quint32 block, const SourceTuple::Ptr& book) const
{
    const quint32 section = sectionOfBlock(block, book);
    if (section == 0)
        return false;
    cBookmarkMgr store;
    return store.hasBookBookmark(quint16(book->record().pubID), quint16(book->record().bookID), std::int32_t(section));
}

quint16 BookmarkStore::categoryIdForName(const QString& name, BookmarkError* error) const
{
    cCategoryStg store;
    cCategory category;
    if (store.openDatabase(false) && store.findCategoryByName(EngineStrings::utf16(name), category))
        return category.catid;
    fail(error, QStringLiteral("Category could not be found."),
        QStringLiteral("Category '%1' could not be found").arg(name),
        QStringLiteral("This is an unusual error. The program would not be looking for a category if it didn't expect "
                       "to find it. If this problem persists, contact Technical Support."));
    return kAllCategories;
}

std::optional<QString> BookmarkStore::categoryNameForId(quint32 id, BookmarkError* error) const
{
    if (id == kNoCategory)
        return noCategoryName();
    if (id >= kAllCategories)
        return allCategoriesName();
    cCategoryStg store;
    cCategory category;
    if (store.openDatabase(false) && store.findCategoryById(quint16(id), category) && category.deleted == 0)
        return EngineStrings::fromUtf16(category.name);
    fail(error, QStringLiteral("Category could not be found."), QString(),
        QStringLiteral("This is an unusual error. The program would not be looking for a category if it didn't expect "
                       "to find it. If this problem persists, contact Technical Support."));
    return std::nullopt;
}

bool BookmarkStore::addOrRenameCategory(
    const QString& newNameIn, const std::optional<QString>& oldNameIn, BookmarkError* error)
{
    const QString newName = newNameIn.trimmed();
    const QString oldName = oldNameIn.value_or(QString());
    if (newName.isEmpty()) {
        fail(error, QStringLiteral("The new name is empty."),
            QStringLiteral("Categories must have non-empty names. You cannot create a category with an empty name, nor "
                           "rename a category so that it has an empty name."),
            QStringLiteral("Enter a non-empty name."));
        return false;
    }
    const auto notFound = [error] {
        fail(error, QStringLiteral("The category cannot be found."),
            QStringLiteral("In order to rename the category, the original category must exist."),
            QStringLiteral("This is an unusual error. The original category should exist but it does not. There could "
                           "be a problem accessing the database."));
    };
    cCategoryStg categories;
    if (!categories.openDatabase(false)) {
        fail(error, QStringLiteral("The bookmark database could not be opened."), QString(), kUnusual);
        return false;
    }
    cCategory existing;
    const bool newExists = categories.findCategoryByName(EngineStrings::utf16(newName), existing);
    if (newName == oldName)
        return true;
    const bool caseOnly = !oldName.isEmpty() && oldName.compare(newName, Qt::CaseInsensitive) == 0;
    if (!caseOnly) {
        if (newExists) {
            fail(error, QStringLiteral("The category already exists."),
                QStringLiteral("You cannot create a duplicate category, nor rename an existing category using an "
                               "existing name."),
                QStringLiteral("Enter a different name; one that does not already exist."));
            return false;
        }
        cCategory created;
        created.name = EngineStrings::utf16(newName);
        if (!categories.addCategory(created, false, false)) {
            fail(error, QStringLiteral("The category could not be created."), QString(), kUnusual);
            return false;
        }
        if (!oldName.isEmpty()) {
            cBookmarkMgr bookmarks;
            if (!bookmarks.openDatabase(nullptr, true, false)) {
                fail(error, QStringLiteral("The bookmark database could not be opened."), QString(), kUnusual);
                return false;
            }
            cCategory old;
            if (!categories.findCategoryByName(EngineStrings::utf16(oldName), old)) {
                notFound();
                return false;
            }
            if (!bookmarks.copyCategoryBookmarks(old.catid, created.catid, false, false)) {
                fail(error, QStringLiteral("Bookmarks could not be copied."),
                    QStringLiteral("Once the new category is created, existing bookmarks are copied from the old "
                                   "category to the new one. The program failed while copying these bookmarks."),
                    QStringLiteral("This is an unusual error. There could be a problem accessing the database."));
                return false;
            }
            if (!bookmarks.deleteBookmarksInCategory(old.catid, false)) {
                fail(error, QStringLiteral("Bookmarks could not be deleted from the old category."),
                    QStringLiteral("Once the new category is created and existing bookmarks in the old category are "
                                   "copied to the new one, the original bookmarks are deleted. The program failed "
                                   "while deleting these bookmarks."),
                    QStringLiteral("This is an unusual error. There could be a problem accessing the database. You "
                                   "may find copies of some or all of the bookmarks still in the old category."));
                return false;
            }
            if (!categories.markCategoryDeleted(old, false, false)) {
                fail(error, QStringLiteral("The old category could not be deleted"),
                    QStringLiteral("Once the new category is created and existing bookmarks in the old category are "
                                   "copied to the new one, the original category is deleted. The program failed "
                                   "while deleting the category."),
                    QStringLiteral("This is an unusual error. There could be a problem accessing the database. You "
                                   "may find the old category name still exists, but bookmarks have been moved to the "
                                   "new category."));
                return false;
            }
            bookmarks.close();
        }
        post(StudyPaneNotifications::qsCategoriesHaveChangedNotification);
        return true;
    }
    // A change of letter case only: the row keeps its id.
    cCategory old;
    bool ok = categories.findCategoryByName(EngineStrings::utf16(oldName), old);
    if (ok) {
        old.name = EngineStrings::utf16(newName);
        ok = categories.renameCategory(&old, false);
        if (!ok)
            fail(error, QStringLiteral("The category could not be renamed."), QString(), kUnusual);
    } else {
        notFound();
    }
    post(StudyPaneNotifications::qsCategoriesHaveChangedNotification);
    return ok;
}

bool BookmarkStore::deleteCategory(quint16 id)
{
    // The bookmark tables are opened before any category goes, so a failure leaves no bookmark in a
    // deleted category.
    cBookmarkMgr bookmarks;
    bool ok = bookmarks.openDatabase(nullptr, true, false);
    if (ok) {
        ok = bookmarks.deleteBookmarksInCategory(id == kAllCategories ? -1 : int(id), false);
        cCategoryStg categories;
        if (ok && id != kNoCategory) {
            ok = categories.openDatabase(false);
            if (ok && id == kAllCategories) {
                ok = categories.deleteAllCategories(false, false);
            } else if (ok) {
                cCategory category;
                ok =
                    categories.findCategoryById(id, category) && categories.markCategoryDeleted(category, false, false);
            }
        }
        bookmarks.close();
    }
    post(StudyPaneNotifications::qsCategoriesHaveChangedNotification);
    post(StudyPaneNotifications::qsBookmarksHaveChangedNotification);
    return ok;
}

bool BookmarkStore::bookmarkVerse(quint32 key, const QString& categoryName, quint16 categoryId)
{
    const std::optional<quint16> category = resolveForAdding(categoryName, categoryId);
    if (!category)
        return false;
    cBookmark bookmark;
    bookmark.setBibleVerse(key, *category);
    return add(bookmark);
}

bool BookmarkStore::bookmarkBlock(
    quint32 block, const SourceTuple::Ptr& book, const QString& categoryName, quint16 categoryId)
{
    const quint32 section = sectionOfBlock(block, book);
    if (section == 0)
        return false;
    const std::optional<quint16> category = resolveForAdding(categoryName, categoryId);
    if (!category)
        return false;
    cBookmark bookmark;
    bookmark.setBookSection(quint16(book->record().pubID), quint16(book->record().bookID),
        quint8(book->record().editionNumber & 0xFF), std::int32_t(section), *category);
    return add(bookmark);
}

bool BookmarkStore::add(cBookmark& bookmark)
{
    const bool ok =
        withBookmarksOpen([&](cBookmarkMgr& store) { return store.addBookmark(bookmark, false, false, false); });
    // The bookmarks sub-pane shows the category just used.
    post(StudyPaneNotifications::qsBookmarksHaveChangedNotification,
        ok ? QVariantMap {{QStringLiteral("categoryID"), uint(bookmark.catid)}} : QVariantMap());
    return ok;
}

bool BookmarkStore::removeFromVerse(quint32 key, const QString& categoryName, quint16 categoryId)
{
    const std::optional<int> category = resolveForDeleting(categoryName, categoryId);
    if (!category)
        return false;
    const bool ok = withBookmarksOpen(
        [&](cBookmarkMgr& store) { return deleteListed(store, store.bibleBookmarksInRange(key), *category); });
    post(StudyPaneNotifications::qsBookmarksHaveChangedNotification);
    return ok;
}

bool BookmarkStore::removeFromBlock(
    quint32 block, const SourceTuple::Ptr& book, const QString& categoryName, quint16 categoryId)
{
    const quint32 section = sectionOfBlock(block, book);
    if (section == 0)
        return false;
    const std::optional<int> category = resolveForDeleting(categoryName, categoryId);
    if (!category)
        return false;
    const bool ok = withBookmarksOpen([&](cBookmarkMgr& store) {
        return deleteListed(store,
            store.bookBookmarksForSection(
                quint16(book->record().pubID), quint16(book->record().bookID), std::int32_t(section)),
            *category);
    });
    post(StudyPaneNotifications::qsBookmarksHaveChangedNotification);
    return ok;
}
