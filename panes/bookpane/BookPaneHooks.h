// BookPaneHooks: what a book pane asks of the parts above it (the study pane's highlights,
// bookmarks and notes, the passage copier of the reports, the saving of the layouts). The window's
// commands reach the pane as named actions of its ActionRegistry instead. The defaults answer
// "nothing there" and do nothing, so a pane made alone (tests, the layout view's own tests) works
// without them. The hooks arrive with the pane's environment (BookPaneViewController::Environment):
// the main window hands its implementation to every pane it makes, a test hands in its own.
//
// Main thread only.
#pragma once

#include "library/SourceTuple.h"

#include <QString>
#include <QVariantMap>

#include <functional>

class QMenu;

class BookPaneHooks {
public:
    virtual ~BookPaneHooks() = default;

    // The study pane fills the colour submenu (options 2) or a category submenu (options 6: new
    // category, no category, then every category; 8: the categories that hold `key` or `block`).
    // Each action carries its payload in QAction::data() and triggers `onChosen` with it.
    virtual void populateColorMenu(QMenu* /*menu*/, int /*options*/, std::function<void(QVariantMap)> /*onChosen*/) { }
    virtual void populateCategoryMenu(QMenu* /*menu*/, int /*options*/, const SourceTuple::Ptr& /*book*/,
        quint32 /*keyOrBlock*/, bool /*isBible*/, std::function<void(QVariantMap)> /*onChosen*/)
    {
    }
    virtual bool hasBookmarks(const SourceTuple::Ptr& /*book*/, quint32 /*keyOrBlock*/, bool /*isBible*/)
    {
        return false;
    }
    virtual bool hasNote(const SourceTuple::Ptr& /*book*/, quint32 /*keyOrBlock*/, bool /*isBible*/) { return false; }
    // The commands on them: highlight every listed verse, bookmark or un-bookmark the first one in
    // the payload's category, delete the note (after the pane asked).
    virtual void highlight(const QList<quint32>& /*keys*/, quint16 /*colorID*/) { }
    virtual void bookmark(const SourceTuple::Ptr&, quint32 /*keyOrBlock*/, bool /*isBible*/, const QVariantMap&) { }
    virtual void removeBookmark(const SourceTuple::Ptr&, quint32, bool, const QVariantMap&) { }
    virtual void deleteNote(const SourceTuple::Ptr&, quint32 /*key*/, quint32 /*section*/, bool /*isBible*/) { }

    // The passage copier: the copy dialog (now false) or a copy with the saved options (now true).
    virtual void copyPassage(const QVariantMap& /*request*/, bool /*now*/) { }
    // The plain text of a passage for speech: sections start..end of a Bible (bySection) or blocks
    // start..end of any book, read with the speech options. The default renders the blocks and
    // keeps their text; the application installs the passage copier.
    virtual QString passagePlainText(
        const SourceTuple::Ptr& book, bool bySection, quint32 start, quint32 end, const PassageOptions& options);
    // Image sources of copied HTML pointed at files in the book's image cache.
    virtual QString patchImageSources(const QString& html, const SourceTuple::Ptr& /*book*/) { return html; }
    // A book image extracted to a file; empty when there is none.
    virtual QString copyImageToCache(const QString& /*fileName*/, const SourceTuple::Ptr& /*book*/) { return {}; }

    // The layout and history are saved at once (after tabs were opened, closed or moved).
    virtual void preemptiveSaveState() { }
    // The main window's commands refresh their states (the speech buttons).
    virtual void validateToolbar() { }
};
