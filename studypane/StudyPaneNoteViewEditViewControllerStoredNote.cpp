// The note pane's view of the stored note: reading it (and reading it again when the database could
// not be read), noticing a deletion made elsewhere, and following changes the notes database posts.
#include "studypane/StudyPaneNoteViewEditViewController.h"

#include "studypane/StudyPaneNoteEditor.h"
#include "studypane/StudyPaneNoteEditorKeys.h"
#include "studypane/StudyPaneNoteHeader.h"
#include "userdata/NoteText.h"

#include <QApplication>
#include <QPointer>

#include <utility>

bool StudyPaneNoteViewEditViewController::loadNote(const NoteLocation& requested)
{
    NoteLocation l = requested;
    m_webViewString.clear();
    m_currentServerID = 0;
    StoredNote note;
    const bool journalID = l.source && l.source->isFakeJournalDoc();
    if (l.key == 0 && l.journalTitle && journalID) {
        note = NoteStore(m_env.notes).read(l);
    } else if (l.key == 0) {
        if (l.source && !journalID && l.section != 0) {
            note = NoteStore(m_env.notes).read(l);
            l.journalTitle.reset();
        }
    } else {
        note = NoteStore(m_env.notes).read(NoteLocation::bible(l.key));
        l.journalTitle.reset();
    }
    if (note.found) {
        m_webViewString = note.text;
        m_currentServerID = note.serverID;
    }
    m_stored = note.found;
    m_unreadable = note.unreadable;
    setLocation(l);
    if (m_unreadable)
        m_readAgainTimer.start();
    return !m_unreadable;
}

void StudyPaneNoteViewEditViewController::readAgain()
{
    if (!hasSomethingToDisplay())
        return;
    if (!m_unreadable) {
        if (std::exchange(m_refreshOwed, false))
            notesHaveChanged(Notification());
        return;
    }
    if (!loadNote(location())) {
        updateStatusPane();
        return;
    }
    m_refreshOwed = false;
    const bool edit = m_editWhenRead || (m_editIfEmptyWhenRead && m_webViewString.isEmpty());
    m_editWhenRead = m_editIfEmptyWhenRead = false;
    if (loadedView()) {
        m_editor->retireLivePages();
        if (edit && m_selectedTab == ViewTab) {
            m_selectedTab = RichEditTab;
            populateRichEditWebView(true);
            showTab(RichEditTab, keysHere());
        } else {
            populateTab(m_selectedTab, true);
        }
    }
    updateStatusPane();
}

bool StudyPaneNoteViewEditViewController::noticeDeletionElsewhere()
{
    if (m_deletion == Deletion::Elsewhere || !m_stored || !hasSomethingToDisplay())
        return m_deletion == Deletion::Elsewhere;
    // Only a read that went through says the note is gone: a database that cannot be read says nothing.
    const StoredNote now = NoteStore(m_env.notes).read(location());
    if (now.found || now.unreadable || NoteStore(m_env.notes).openDocument() == nullptr)
        return false;
    m_deletion = Deletion::Elsewhere;
    // Words typed since the last save are the reader's newest: they store the note again. Only a save
    // owed for text stored already is dropped.
    m_typedSinceDeletion = m_webViewHasBeenEdited;
    m_currentServerID = 0;
    if (!m_typedSinceDeletion) {
        m_webViewNeedsFinalSave = false;
        m_autosaveTimer.stop();
    }
    updateStatusPane();
    return true;
}

void StudyPaneNoteViewEditViewController::notesHaveChanged(const Notification& n)
{
    if (!hasSomethingToDisplay()) {
        updateStatusPane();
        return;
    }
    // Typing since the last save is not thrown away for a copy from elsewhere: the next save writes it.
    // A note deleted elsewhere stays shown as deleted until it is stored again.
    if (m_webViewHasBeenEdited || (m_deletion == Deletion::Elsewhere && !NoteStore(m_env.notes).exists(location()))) {
        updateStatusPane();
        return;
    }
    // Notes that cannot be read say nothing of the shown one: it stays as shown, and is read again.
    if (m_unreadable || NoteStore(m_env.notes).read(location()).unreadable) {
        m_refreshOwed = !m_unreadable;
        m_readAgainTimer.start();
        updateStatusPane();
        return;
    }
    const QString before = m_webViewString;
    const qint64 serverID = m_currentServerID;
    loadNote(location());
    // There again by another's doing (a sync brought it back): no longer deleted elsewhere. This
    // pane's own save of the reader's typing says "Saved again" instead.
    if (m_stored && m_deletion == Deletion::Elsewhere && n.object != this)
        m_deletion = Deletion::None;
    // This editor's own save deleted the note it emptied: the pane says there is no note, also when
    // the editor was left holding nothing at all (the same text as none).
    const bool ownDeletion = n.object == this && n.userInfo.value(QStringLiteral("deletedNote")).toBool();
    if (m_webViewString == before && !(ownDeletion && m_webViewString.isEmpty())) {
        if (serverID != 0 && m_currentServerID == 0)
            m_currentServerID = serverID;
        updateStatusPane();
        return;
    }
    if (!m_webViewString.isEmpty()) {
        // What the user is typing stays as typed until they leave the editor: this editor's own save
        // stored the final form of it (paragraphs one a line, trailing breaks trimmed, a lone "<"
        // escaped, a tag still being typed dropped), and showing that would change the text under
        // the user's keys. Saving it again stores the same form.
        const bool ownSaveOfTypedText = n.object == this && m_selectedTab != ViewTab;
        if (loadedView() && !ownSaveOfTypedText) {
            populateTab(m_selectedTab, false);
            if (location().hasJournalNote()) {
                m_header->setNoteTitle(location().journalTitle.value_or(QString()));
            }
        }
    } else {
        // The note is gone (deleted here or elsewhere, or emptied in the editor): there is no note
        // to view. Keys that were in its editor go back to the page, where Escape would take them.
        QWidget* focus = QApplication::focusWidget();
        const bool keysInEditor = focus != nullptr &&
            std::any_of(m_webViews.begin() + RichEditTab, m_webViews.end(), [focus](const QPointer<NoteWebView>& v) {
                return v != nullptr && (v == focus || v->isAncestorOf(focus));
            });
        m_editor->retireLivePages();
        clearState();
        if (loadedView()) {
            populateViewWebView();
            showTab(ViewTab, keysHere());
        }
        if (keysInEditor)
            StudyPaneNoteEditorKeys::focusCurrentBookPage(m_env.layoutManager);
    }
    updateStatusPane();
}
