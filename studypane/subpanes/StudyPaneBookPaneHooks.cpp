#include "studypane/subpanes/StudyPaneBookPaneHooks.h"

#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/subpanes/StudyPaneBookmarksViewController.h"
#include "studypane/subpanes/StudyPaneHighlightsViewController.h"

using Bookmarks = StudyPaneBookmarksViewController;

void StudyPaneBookPaneHooks::populateColorMenu(QMenu* menu, int options, std::function<void(QVariantMap)> onChosen)
{
    StudyPaneHighlightsViewController::populateColorMenu(
        menu, options, [onChosen](const QVariantMap& payload) { onChosen(payload); });
}

void StudyPaneBookPaneHooks::populateCategoryMenu(QMenu* menu, int options, const SourceTuple::Ptr& book,
    quint32 keyOrBlock, bool isBible, std::function<void(QVariantMap)> onChosen)
{
    const Bookmarks::MenuHandler handler = [onChosen](const QVariantMap& payload) { onChosen(payload); };
    if ((options & Bookmarks::kOptionAllWhenSeveral) != 0) {
        if (isBible)
            Bookmarks::populateCategoryMenuFromVerse(menu, keyOrBlock, options, handler);
        else
            Bookmarks::populateCategoryMenuFromBlock(menu, keyOrBlock, book, options, handler);
        return;
    }
    Bookmarks::populateCategoryMenu(menu, options, handler);
}

bool StudyPaneBookPaneHooks::hasBookmarks(const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible)
{
    return isBible ? Bookmarks::verseHasBookmarks(keyOrBlock) : Bookmarks::blockHasBookmarks(keyOrBlock, book);
}

void StudyPaneBookPaneHooks::highlight(const QList<quint32>& keys, quint16 colorID)
{
    StudyPaneHighlightsViewController::highlightTheseVerses(m_env, keys, colorID);
}

void StudyPaneBookPaneHooks::bookmark(
    const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible, const QVariantMap& payload)
{
    QString name = payload.value(QStringLiteral("searchTitle")).toString();
    quint16 id = quint16(payload.value(QStringLiteral("categoryID")).toUInt());
    if (payload.value(QStringLiteral("isCreateNewCategory")).toBool()) {
        const std::optional<QString> answer =
            m_env.promptForText({{QStringLiteral("title"), QStringLiteral("New Bookmark Category")},
                {QStringLiteral("prompt"), QStringLiteral("Enter a new category name below.")},
                {QStringLiteral("default"), QString()},
                {QStringLiteral("detailPrompt"),
                    QStringLiteral("If you enter the name of an existing category, that category will be used. "
                                   "Category names are not case-sensitive, so 'faith' and 'Faith' are the same "
                                   "category.")}});
        if (!answer || answer->trimmed().isEmpty())
            return;
        name = answer->trimmed();
        StudyPaneError error;
        // An existing category of that name is used as it is.
        id = Bookmarks::categoryIdForCategoryNamed(name);
        if (id == Bookmarks::kAllCategories) {
            if (!Bookmarks::addOrRenameCategory(m_env, name, std::nullopt, &error)) {
                Bookmarks::alertWithError(m_env, error);
                return;
            }
            id = Bookmarks::categoryIdForCategoryNamed(name, &error);
            if (id == Bookmarks::kAllCategories) {
                Bookmarks::alertWithError(m_env, error);
                return;
            }
        }
    }
    if (isBible)
        Bookmarks::bookmarkThisVerse(m_env, keyOrBlock, name, id);
    else
        Bookmarks::bookmarkThisBlock(m_env, keyOrBlock, book, name, id);
}

void StudyPaneBookPaneHooks::removeBookmark(
    const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible, const QVariantMap& payload)
{
    const QString name = payload.value(QStringLiteral("searchTitle")).toString();
    const quint16 id = quint16(payload.value(QStringLiteral("categoryID")).toUInt());
    if (isBible)
        Bookmarks::deleteBookmarkOnThisVerse(m_env, keyOrBlock, name, id);
    else
        Bookmarks::deleteBookmarkOnThisBlock(m_env, keyOrBlock, book, name, id);
}

bool StudyPaneBookPaneHooks::hasNote(const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible)
{
    if (isBible)
        return StudyPaneNotesListViewController::verseHasNote(keyOrBlock);
    return book != nullptr && StudyPaneNotesListViewController::blockHasNote(keyOrBlock, *book);
}

void StudyPaneBookPaneHooks::deleteNote(const SourceTuple::Ptr& book, quint32 key, quint32 section, bool isBible)
{
    if (isBible && key != 0)
        StudyPaneNotesListViewController::deleteNoteForKey(key, m_env.center);
    else if (!isBible && book != nullptr && section != 0)
        StudyPaneNotesListViewController::deleteNoteForSection(section, book->sourceTupleID(), m_env.center);
}
