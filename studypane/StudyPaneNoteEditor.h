// The note editor of the note sub-pane: what its Rich Edit and Text Edit pages push, and the format
// commands. Every edit in an editor page is pushed here at once, in pieces, with a change number;
// the page it came from is remembered with the note it shows, so a push that arrives after its
// page's note was left or its tab switched away is still stored to the note it belongs to. The
// newest few pages are kept; a page an editor still shows is never forgotten.
//
// It is the EditFormatDelegate of its window (registered in the environment's registry while the
// rich editor can be shown): the format commands and the style buttons run the page script's
// formatting in the rich editor while it is the shown tab. Pasted HTML arrives in pieces, bounded,
// and goes back filtered (NoteHtml::pastedContent).
//
// Owned by the note sub-pane (StudyPaneNoteViewEditViewController), which saves the shown note and
// hands the editor its pages and views. Main thread only.
#pragma once

#include "studypane/EditFormatDelegate.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/notes/NoteHtml.h"
#include "studypane/notes/NoteStore.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <array>
#include <map>

class NoteWebView;
class QLayout;
class QToolButton;
class QWidget;

class StudyPaneNoteEditor : public QObject, public EditFormatDelegate {
    Q_OBJECT
public:
    // The format commands by tag: bold, italic, underline, ordered and unordered list, H1, H2, H3, P.
    enum FormatTag {
        kBold = 0,
        kItalic,
        kUnderline,
        kOrderedList,
        kUnorderedList,
        kHeading1,
        kHeading2,
        kHeading3,
        kParagraph
    };

    // One editor page: the note it shows, where it is in its pushes.
    struct Page {
        NoteLocation location;
        NoteHtml::Source source = NoteHtml::Source::RichEdit;
        quint64 savedChange = 0;   // the change number of the content last stored
        quint64 latestChange = 0;  // the newest change pushed
        QString latest;            // its content
        QDateTime latestAt;        // when it came: the time of the user's last change
        bool live = false;         // the page's tab is selected and its note shown
        // Pieces of a push being put together.
        quint64 pendingChange = 0;
        QStringList pieces;
    };

    // `sender` is the object the note changes are posted from.
    StudyPaneNoteEditor(StudyPaneEnvironment env, const void* sender, QObject* parent);
    ~StudyPaneNoteEditor() override;

    // The two editor views (children of the sub-pane's view), once made.
    void setViews(NoteWebView* richEditor, NoteWebView* textEditor);
    // Makes the row of style buttons under the parent (they show the selection's styles; a click
    // applies one) and gives its layout to place.
    QLayout* makeStyleButtons(QWidget* parent);
    // The style buttons work only in the rich editor; elsewhere they are off and show nothing.
    void enableStyleButtons(bool enabled);
    // Whether the rich editor is the shown tab (the format commands act only then).
    void setRichEditorShown(bool shown) { m_richEditorShown = shown; }
    // Registers this editor as its window's format target, or takes it out.
    void registerAsFormatTarget(bool on);

    // --- pages and pushes ---
    // A page was loaded in an editor view with that serial.
    void addPage(quint64 serial, const NoteLocation& location, NoteHtml::Source source, bool live);
    // The page the view shows (null when it shows none of the kept pages), and the same when it is live.
    Page* pageShownBy(const NoteWebView* view);
    const Page* pageShownBy(const NoteWebView* view) const;
    Page* livePage(const NoteWebView* view);
    const Page* livePage(const NoteWebView* view) const;
    // No page is live any more: what was pushed so far counts as saved by the caller.
    void retireLivePages();
    // A journal note was renamed: the late pushes of its pages go to the new title.
    void renameJournalPages(const QString& from, const QString& to);
    // The note is gone: its pages take no more pushes.
    void forgetPagesOf(const NoteLocation& location);
    // A page's push ({serial, change, piece index, piece count, text}) from the view showing it.
    void contentChanged(NoteWebView* view, const QJsonArray& args);
    // Before the program quits: a flush key sent to the editor view behind the keys typed into it
    // makes its page push what it holds once it has taken every one of them; without an answer
    // within `waitMs` its script is asked directly (as long again). The view's page is live.
    void takeLastPush(NoteWebView* view, int waitMs);
    // The page with that serial answered the flush key.
    void flushed(quint64 serial) { m_flushedSerial = serial; }
    // A piece of pasted HTML ({text, last}); the filtered paste once the last piece is in.
    QJsonValue pastedHtml(const QJsonArray& args);
    // Writes a converted text at the location, stamped `changedAt` (invalid: now), and posts the
    // change; false when the database refused it (`storeFinished` tells either way, with the
    // database's reason). `journalTitleOut` gets a journal note's title; `replaced` (a journal note's
    // former title) is removed once the text is stored. An empty text deletes the note, and the change
    // is posted with "deletedNote". The text the note holds already is not written again, and no
    // change is posted for it; `written` tells which it was.
    bool store(const NoteLocation& location, const QString& text, QString* journalTitleOut = nullptr,
        const NoteLocation& replaced = NoteLocation(), const QDateTime& changedAt = QDateTime(),
        bool* written = nullptr);

    // The last store failed, and why; the user is told once until a store succeeds again, with the
    // other failed saves (SaveFailureAlerts), never in an alert under the typing.
    bool saveFailed() const { return m_saveFailed; }
    const QString& saveFailureReason() const { return m_saveFailureReason; }
    // A save that could not read what it needed (another program holds the database): a failure like
    // a refused store, said the same way.
    void storeFailedUnread(const NoteLocation& location);
    // Forgets a failure (another note is shown).
    void clearSaveFailure();
    // The text of a note the database refused at quit (titled `title`) is offered for saving to a file
    // or copying, until the user has kept it or chosen to let it go.
    void offerUnsavedText(const QString& text, const QString& title);

    // --- formatting ---
    void onTagBar(int tag);
    bool canBold() const override { return m_richEditorShown; }
    bool canItalic() const override { return canBold(); }
    bool canUnderline() const override { return canBold(); }
    bool canOrderedList() const override { return canBold(); }
    bool canUnorderedList() const override { return canBold(); }
    bool canParagraph() const override { return canBold(); }
    bool canHeading1() const override { return canBold(); }
    bool canHeading2() const override { return canBold(); }
    bool canHeading3() const override { return canBold(); }
    void applyBold() override { applyIf(kBold); }
    void applyItalic() override { applyIf(kItalic); }
    void applyUnderline() override { applyIf(kUnderline); }
    void applyOrderedList() override { applyIf(kOrderedList); }
    void applyUnorderedList() override { applyIf(kUnorderedList); }
    void applyParagraph() override { applyIf(kParagraph); }
    void applyHeading1() override { applyIf(kHeading1); }
    void applyHeading2() override { applyIf(kHeading2); }
    void applyHeading3() override { applyIf(kHeading3); }
    void updateTagButtonState(const QJsonArray& flags);

    // A text as a script string literal.
    static QString scriptString(const QString& text);

signals:
    // The live page pushed a new content.
    void liveContentChanged();
    // A text was stored, or the database refused it (`saveFailed`).
    void storeFinished(bool stored);

private:
    void applyIf(int tag);
    void prunePages();
    void saveLatePush(Page& page);
    void storeFailed(const NoteLocation& location, const QString& reason);
    // The note at the location as the user knows it ("your note on John 3:16").
    QString noteWords(const NoteLocation& location) const;

    StudyPaneEnvironment m_env;
    const void* m_sender;
    QPointer<NoteWebView> m_richEditor;
    QPointer<NoteWebView> m_textEditor;
    std::array<QPointer<QToolButton>, 9> m_styleButtons {};
    std::map<quint64, Page> m_pages;  // editor pages by serial (the newest few)
    QString m_pastedHtml;             // pieces of a paste being put together
    bool m_richEditorShown = false;
    bool m_saveFailed = false;
    QString m_saveFailureReason;
    QString m_saveFailureWhat;  // the note whose failure was said
    bool m_registered = false;
    quint64 m_flushedSerial = 0;  // the page that answered the flush key
};
