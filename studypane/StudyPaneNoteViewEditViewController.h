// The note viewer and editor (tab 4, "Notes", of the study pane): one Bible, book or journal note at
// a time in three tabs, "View" (the note as a read-only page with live links and the notes search's
// words marked), "Rich Edit" (an editable page) and "Text Edit" (the note's HTML source). Which note
// is shown is kept in the study pane's state, so it comes back after a restart.
//
// Saving: an edit schedules an autosave 10 seconds after the first unsaved change; switching tabs,
// notes or sub-panes, a display change, a deletion, a sync and quitting save at once. Every save
// stores the text's final form, stamped with the time of the user's last change, and a save of the
// text the note already holds writes nothing, so a note the user did not change keeps its time (and
// loses no sync to a later edit made elsewhere). A text that shows nothing deletes the note, and the
// pane then shows that there is no note. The pages are asynchronous, so every edit in
// a page is pushed at once, with a change number, to the note editor (StudyPaneNoteEditor), and the
// saves use that copy. A push that arrives after its page's note was left or its tab switched away is
// saved to the note it belongs to; quitting asks the editor page for its content and waits for the
// answer a bounded time. So no keystroke that reached a page is lost. A page whose renderer ended
// is drawn again (PageRendererWatch): an editor's last pushed text is stored and the editor reopens
// with it, its caret where it was, and the keys typed meanwhile are held until it is ready
// (StudyPaneNoteRecovery). A save the database refuses
// (read-only, disk full) keeps the text in the editor, which then stays on its note and tab; the user
// is told once, with the database's reason, and the status line says "Not saved" until a later save
// succeeds. Quitting with such a text offers it for saving to a file or copying before the reader ends. The view page's links and their previews are StudyPaneNoteLinks'.
// A note deleted elsewhere (another program, a sync) while it is shown is never written back by a
// save the reader did not type for: it is shown as deleted, with its text, until the reader types
// into it, which stores it again and says so; words typed since the last save count as typed into
// it. A note that is there again (a sync brought it back) is shown as it is.
// A note that could not be read (another program holds the database) is never shown as empty nor
// opened in an editor: the status line says so and the note is read again every little while, and
// shown (in the editor, when that was asked for) once it can be. A read that fails never counts as
// a deletion, and a save whose read fails writes nothing and stays owed.
//
// All note HTML passes NoteHtml's filters on its way into a page and into the store: the pages run
// only their own script (by its nonce), load nothing from outside the reader, and pasted HTML is
// filtered with its links made inert until the final save.
//
// Owned by the study pane controller; owns its view, web views, timers, the note editor and the
// links. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneNoteWebView.h"
#include "studypane/StudyPaneSubpane.h"
#include "studypane/notes/NoteHtml.h"
#include "studypane/notes/NoteStore.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QStackedWidget;
class QTabBar;
class StudyPaneNoteEditor;
class StudyPaneNoteHeader;
class StudyPaneNoteLinks;
class StudyPaneNoteRecovery;

class StudyPaneNoteViewEditViewController : public StudyPaneSubpane {
    Q_OBJECT
public:
    enum Tab { ViewTab = 0, RichEditTab = 1, TextEditTab = 2 };
    static constexpr int kAutosaveSeconds = 10;
    // The longest wait for the editor's last content when the program quits.
    static constexpr int kExitWaitMs = 3000;

    explicit StudyPaneNoteViewEditViewController(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneNoteViewEditViewController() override;

    // --- StudyPaneViewControllerProtocol ---
    void studyPaneWillChangeSubview() override;
    void studyPaneDidActivateSubview() override;
    void exitIsImminent() override;

    // --- the shown note ---
    NoteLocation location() const;
    bool hasSomethingToDisplay() const { return location().hasSomethingToDisplay(); }
    const QString& webViewString() const { return m_webViewString; }
    bool webViewHasBeenEdited() const { return m_webViewHasBeenEdited; }
    bool webViewNeedsFinalSave() const { return m_webViewNeedsFinalSave; }
    // Shows the note a "qsUserNoteLinkSelected" user-info map asks for.
    void userNoteLinkSelected(const Notification& n);
    // Loads the note at the location into webViewString and the study pane's properties. False when
    // the database could not be read: nothing is shown as the note then, the editors are closed to it
    // (what is typed there would replace a note nobody has seen) and it is read again shortly.
    bool loadNote(const NoteLocation& location);
    // The shown note could not be read yet.
    bool noteUnreadable() const { return m_unreadable; }
    // intermediate: the autosave's save, which leaves the final save owed. False when the note
    // could not be written: the text stays owed and in the editor, and the user has been told.
    bool saveEditedText(bool intermediate);
    void clearState();
    void updateStatusPane();
    // Asks, then deletes the shown note.
    void onDeleteNoteButton();

    // --- tabs ---
    Tab selectedTab() const { return m_selectedTab; }
    bool tabShouldSelect(Tab tab) const;
    // Selects a tab as a click does (nothing when it may not be selected).
    void selectTab(Tab tab);
    NoteWebView* webView(Tab tab) const { return m_webViews[tab].data(); }

    // The editor: the editor pages' pushes, the format commands and the style buttons (to look at).
    const StudyPaneNoteEditor* noteEditor() const { return m_editor; }

    // The view page's links and their previews.
    StudyPaneNoteLinks* links() const { return m_links; }
    // The editor's return after its renderer ended: the carets it keeps, the keys it holds (to look at).
    const StudyPaneNoteRecovery* recovery() const { return m_recovery; }

    // The page bridge: a call from the page of a view.
    QJsonValue bridgeCall(NoteWebView* view, const QString& name, const QJsonArray& arguments);

signals:
    // A page of the given tab finished loading.
    void pageLoaded(int tab, bool ok);

private:
    void loadView() override;
    void setLocation(const NoteLocation& location);
    // The header's book and note titles for the shown note of that book (null: none known).
    void showTitles(const SourceTuple::Ptr& book);
    void populateViewWebView();
    void populateRichEditWebView(bool reload);
    // reload: a new page; otherwise the shown source is replaced in place when its page is ready.
    void populateTextEditWebView(bool reload);
    void populateTab(Tab tab, bool reloadEditor);
    // Draws the tab's page again after its renderer ended, an editor with the text the reader holds.
    void restoreTab(Tab tab);
    // takeFocus: the tab's page takes the keys (a tab the reader chose, a note the reader opened).
    void showTab(Tab tab, bool takeFocus = true);
    // The title field and style buttons follow the shown tab; the page takes the focus unless told not to.
    void tabDidSelect(bool takeFocus = true);
    // Whether the keys are in this sub-pane: what changes here without the reader asking (a note
    // changed or deleted elsewhere, read at last after a lock) leaves the keys where they are.
    bool keysHere() const;
    void webViewDidChange();
    void notesHaveChanged(const Notification& n);
    // Reads the note that could not be read, and shows it once it can be.
    void readAgain();
    // Whether the shown note, live when this pane last read or stored it, was deleted elsewhere (by
    // another program or device), noticed now or before: the pane then shows it as deleted, keeps its
    // text, and stores it again only once the reader types into it (and says so).
    bool noticeDeletionElsewhere();
    void displayPreferencesChanged();
    void focusOnRichEditor();
    QList<NoteHtml::SearchItem> searchWordsForShownNote() const;

    std::array<QPointer<NoteWebView>, 3> m_webViews {};  // children of the view
    QTabBar* m_tabBar = nullptr;
    QStackedWidget* m_stack = nullptr;
    StudyPaneNoteHeader* m_header;      // a child
    StudyPaneNoteEditor* m_editor;      // a child
    StudyPaneNoteLinks* m_links;        // a child
    StudyPaneNoteRecovery* m_recovery;  // a child
    Tab m_selectedTab = ViewTab;

    QString m_webViewString;
    QString m_cssString;
    QString m_script;
    bool m_webViewHasBeenEdited = false;
    bool m_webViewNeedsFinalSave = false;
    qint64 m_currentServerID = 0;
    NoteLocation m_owedJournalRemoval;  // a renamed journal note's former title, removed after a save
    QTimer m_autosaveTimer;
    quint64 m_nextSerial = 0;
    bool m_exiting = false;
    bool m_stored = false;  // the shown note had a live row when this pane last read or stored it
    enum class Deletion { None, Elsewhere, BroughtBack };
    Deletion m_deletion = Deletion::None;
    bool m_typedSinceDeletion = false;   // the reader typed into the note since its deletion was noticed
    bool m_unreadable = false;           // the shown note could not be read (tried again by m_readAgainTimer)
    bool m_editWhenRead = false;         // and the reader asked for its editor
    bool m_editIfEmptyWhenRead = false;  // or for it if the note is empty
    bool m_refreshOwed = false;          // a change to the notes came while they could not be read
    QTimer m_readAgainTimer;
};
