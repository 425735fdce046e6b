#include "studypane/StudyPaneBookPaneHooks.h"

#include "engine/references/BibleRef.h"
#include "studypane/BookmarkMenus.h"
#include "studypane/HighlightMenus.h"
#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/notes/NoteStore.h"

void StudyPaneBookPaneHooks::populateColorMenu(QMenu* menu, int options, std::function<void(QVariantMap)> onChosen)
{
    HighlightMenus::populate(
        menu, m_highlights, options, [onChosen](const QVariantMap& payload) { onChosen(payload); });
}

void StudyPaneBookPaneHooks::populateCategoryMenu(QMenu* menu, int options, const SourceTuple::Ptr& book,
    quint32 keyOrBlock, bool isBible, std::function<void(QVariantMap)> onChosen)
{
    const BookmarkMenus::MenuHandler handler = [onChosen](const QVariantMap& payload) { onChosen(payload); };
    if ((options & BookmarkMenus::kOptionAllWhenSeveral) != 0) {
        if (isBible)
            BookmarkMenus::populateFromVerse(menu, m_bookmarks, keyOrBlock, options, handler);
        else
            BookmarkMenus::populateFromBlock(menu, m_bookmarks, keyOrBlock, book, options, handler);
        return;
    }
    BookmarkMenus::populate(menu, m_bookmarks, options, handler);
}

bool StudyPaneBookPaneHooks::hasBookmarks(const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible)
{
    return isBible ? m_bookmarks.verseHasBookmarks(keyOrBlock) : m_bookmarks.blockHasBookmarks(keyOrBlock, book);
}

void StudyPaneBookPaneHooks::highlight(const QList<quint32>& keys, quint16 colorID)
{
    m_highlights.highlightVerses(keys, colorID);
}

void StudyPaneBookPaneHooks::bookmark(
    const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible, const QVariantMap& payload)
{
    QString name = payload.value(BookmarkMenus::kSearchTitle).toString();
    quint16 id = quint16(payload.value(BookmarkMenus::kCategoryID).toUInt());
    if (payload.value(BookmarkMenus::kIsCreateNew).toBool()) {
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
        BookmarkError error;
        // An existing category of that name is used as it is.
        id = m_bookmarks.categoryIdForName(name);
        if (id == BookmarkStore::kAllCategories) {
            if (!m_bookmarks.addOrRenameCategory(name, std::nullopt, &error)) {
                BookmarkMenus::alertWithError(m_env, error);
                return;
            }
            id = m_bookmarks.categoryIdForName(name, &error);
            if (id == BookmarkStore::kAllCategories) {
                BookmarkMenus::alertWithError(m_env, error);
                return;
            }
        }
    }
    const bool done = isBible ? m_bookmarks.bookmarkVerse(keyOrBlock, name, id)
                              : m_bookmarks.bookmarkBlock(keyOrBlock, book, name, id);
    // The page shows no mark for a bookmark: the reader is told where it went.
    if (done) {
        const QString category = m_bookmarks.categoryNameForId(id).value_or(name);
        const QString place = isBible ? BibleRef::bibleRefWithStartKey(keyOrBlock, keyOrBlock).fullSpelling()
                                      : QStringLiteral("This section");
        m_env.showToast(QStringLiteral("%1 bookmarked in \"%2\".").arg(place, category));
    }
}

void StudyPaneBookPaneHooks::removeBookmark(
    const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible, const QVariantMap& payload)
{
    const QString name = payload.value(BookmarkMenus::kSearchTitle).toString();
    const quint16 id = quint16(payload.value(BookmarkMenus::kCategoryID).toUInt());
    if (isBible)
        m_bookmarks.removeFromVerse(keyOrBlock, name, id);
    else
        m_bookmarks.removeFromBlock(keyOrBlock, book, name, id);
}

bool StudyPaneBookPaneHooks::hasNote(const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible)
{
    if (isBible)
        return NoteStore(m_env.notes).verseHasNote(keyOrBlock);
    return book != nullptr && StudyPaneNotesListViewController::blockHasNote(m_env, keyOrBlock, *book);
}

void StudyPaneBookPaneHooks::deleteNote(const SourceTuple::Ptr& book, quint32 key, quint32 section, bool isBible)
{
    if (isBible && key != 0)
        StudyPaneNotesListViewController::deleteNoteForKey(m_env, key);
    else if (!isBible && book != nullptr && section != 0)
        StudyPaneNotesListViewController::deleteNoteForSection(m_env, section, book->sourceTupleID());
}
