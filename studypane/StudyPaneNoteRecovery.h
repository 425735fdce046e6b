// The note editor coming back under the user's keys after the process drawing its page ended. The
// page is blank until a new one holding the editor's text is loaded and ready, which takes from a
// fraction of a second to several seconds; the user, who saw nothing happen, goes on typing.
//
// Keys on their way: the keys sent to an editor page are kept until the page confirms them (its
// pushes and caret reports say how many keys it has taken, with the content and caret they made).
// Keys the ended page had not confirmed (typed just before the end, or before the end was noticed)
// were lost with it; they go to the new page first.
//
// From the end until the new page is ready, keys typed into the editor (or into its window, whose
// focus went with the old page) are held here; once the page is loaded its caret is put back where
// it was on the old page (the pages tell where their caret is as it moves), and once the page has
// the focus, in the editor, the keys go to it in the order they were typed. Keys typed elsewhere (a
// book pane, a field) pass as usual.
//
// The user may leave the blank editor meanwhile: the focus going to another widget, or a mouse press
// outside the note sub-pane (another pane, the toolbar, a divider), says the keys that follow are
// not the note's. From then on only keys that still reach the editor view are held, the new page
// never takes the focus back, and the keys held before go to its editor without the focus (the
// page's editor takes keys sent to it while the user types elsewhere). Coming back into the editor
// (the focus or a press in it) makes it hold as before.
//
// Holding ends at the latest kMaxWaitMs after the end, and never holds more than kMaxHeldKeys
// events: whatever then is held goes to the editor view as it is. At most kMaxHeldKeys unconfirmed
// keys are kept per page (a page that never confirms cannot make the list grow).
//
// Owned by the note sub-pane; the views it is handed are children of the sub-pane's view. Main
// thread only.
#pragma once

#include <QJsonArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class NoteWebView;
class QKeyEvent;
class QWidget;

class StudyPaneNoteRecovery : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxWaitMs = 20000;
    static constexpr int kMaxHeldKeys = 4096;
    // How often the new page is asked whether it has the focus before the held keys go to it.
    static constexpr int kFocusPollMs = 50;

    explicit StudyPaneNoteRecovery(QObject* parent);
    ~StudyPaneNoteRecovery() override;

    // The two editor views, whose sent keys are kept until their pages confirm them, and the note
    // sub-pane's view that holds them (a press on its buttons does not leave the editor).
    void setEditors(NoteWebView* richEditor, NoteWebView* textEditor, QWidget* pane);
    // A page of an editor view told where its caret is: {serial, sequence, start, end[, keys taken]}.
    void caretMoved(const NoteWebView* view, const QJsonArray& args);
    // A page of an editor view pushed its content ({serial, change, piece, pieces, text[, keys taken,
    // caret start, caret end]}): the keys it holds are confirmed by the last piece.
    void contentPushed(const NoteWebView* view, const QJsonArray& args);
    // The renderer of the view, the shown editor, ended: the keys it had not confirmed, and the keys
    // typed into it from now on, are held.
    void rendererEnded(NoteWebView* view);
    // The view was given a new page with the editor's text in place of the one that ended
    // (`oldSerial`): once it is loaded, the caret goes back and the held keys follow.
    void restoring(NoteWebView* view, quint64 oldSerial);
    // Nothing is restored after all (the note was left, the reader quits): the held keys go to the
    // view as it is.
    void giveUp();

    // Where the caret of the view's page is, as its page told last: {start, end}; none when not told.
    std::optional<std::pair<int, int>> caretOf(const NoteWebView* view) const;
    bool isHolding() const { return m_view != nullptr; }
    // Holding, and the user went elsewhere since the editor's end.
    bool userLeftEditor() const { return m_view != nullptr && m_left; }
    // Keys sent to the view's page that it has not confirmed yet.
    int unconfirmedKeyCount(const NoteWebView* view) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Caret {
        quint64 serial = 0;
        quint64 keys = 0;  // keys the page had taken when it told
        quint64 sequence = 0;
        int start = -1;
        int end = -1;
    };
    // A key event sent to a page, with the number of the key press it belongs to (counted from the
    // page's load).
    struct SentKey {
        quint64 press = 0;
        std::unique_ptr<QKeyEvent> event;
    };
    struct SentKeys {
        quint64 serial = 0;
        quint64 presses = 0;
        std::deque<SentKey> keys;
    };
    void caretTold(const NoteWebView* view, const Caret& told);
    void recordSent(NoteWebView* view, const QKeyEvent& key);
    void pageLoaded(bool ok);
    void whenEditorTakesKeys(quint64 serial);
    void release();
    // Whether the editor may take the focus for the held keys: the user did not go elsewhere.
    bool mayTakeFocus() const;
    void focusChanged(QWidget* now);
    void mousePressed(QWidget* widget);

    std::array<QPointer<NoteWebView>, 2> m_editors {};
    std::map<const NoteWebView*, Caret> m_carets;
    std::map<const NoteWebView*, SentKeys> m_sent;
    QPointer<NoteWebView> m_view;  // the view whose keys are held; null when none are
    QPointer<QWidget> m_pane;
    bool m_left = false;  // the user went elsewhere while the view's keys are held
    quint64 m_lastPress = 0;
    std::vector<std::unique_ptr<QKeyEvent>> m_held;
    QTimer m_deadline;
    quint64 m_expectedSerial = 0;
    Caret m_caretToRestore;
    QMetaObject::Connection m_loaded;
};
