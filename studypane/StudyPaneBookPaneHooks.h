// The book panes' bookmark, highlight and note commands answered by the study pane: the colour and
// category menus of a pane's context menu (HighlightMenus, BookmarkMenus), whether a verse or section
// carries a bookmark, and highlighting, bookmarking (also into a category created on the spot) and
// un-bookmarking, through a BookmarkStore and a HighlightStore of its own, as the bookmarks and
// highlights sub-panes do through theirs. The application's hooks, which the main window hands to its
// book panes, derive from it; the other commands of the hook keep their defaults here, so a program
// part that answers them derives from this class. The stores post on the centre of the environment it
// is made with; it asks through the environment's alerts and prompt.
//
// Main thread only.
#pragma once

#include "panes/bookpane/BookPaneHooks.h"
#include "studypane/BookmarkStore.h"
#include "studypane/HighlightStore.h"
#include "studypane/StudyPaneEnvironment.h"

class StudyPaneBookPaneHooks : public BookPaneHooks {
public:
    explicit StudyPaneBookPaneHooks(StudyPaneEnvironment env)
        : m_env(std::move(env)), m_bookmarks(m_env.center), m_highlights(m_env.center, m_env.highlights)
    {
    }

    void populateColorMenu(QMenu* menu, int options, std::function<void(QVariantMap)> onChosen) override;
    void populateCategoryMenu(QMenu* menu, int options, const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible,
        std::function<void(QVariantMap)> onChosen) override;
    bool hasBookmarks(const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible) override;
    void highlight(const QList<quint32>& keys, quint16 colorID) override;
    void bookmark(const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible, const QVariantMap& payload) override;
    void removeBookmark(
        const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible, const QVariantMap& payload) override;
    // Notes: whether a verse or a block's section carries one, and its deletion (the pane asked).
    bool hasNote(const SourceTuple::Ptr& book, quint32 keyOrBlock, bool isBible) override;
    void deleteNote(const SourceTuple::Ptr& book, quint32 key, quint32 section, bool isBible) override;

protected:
    const StudyPaneEnvironment& environment() const { return m_env; }

private:
    StudyPaneEnvironment m_env;
    BookmarkStore m_bookmarks;
    HighlightStore m_highlights;
};
