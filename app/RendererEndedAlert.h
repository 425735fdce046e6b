// RendererEndedAlert: says once that the process drawing the reader's pages ended. One renderer
// draws many pages (the book panes, the note editor), and every watched page whose renderer ended
// posts PageRendererEndedNotification; the posts of one end (those within kGatherMs of the first)
// make one message, said once they are in, which says whether the pages were drawn again, and speaks
// of note text only when a note editor with a note was among the pages. Ends that follow within
// quietMs (kQuietMs) of the first, or while its alert is up, are part of the same trouble and are
// not said again: one message, never a stack of them.
//
// That message is a notice (the `notice` function: the main window's notice line), never a modal
// alert: the note editor comes back under the user's typing, and an alert would take the keys meant
// for the note (a blank or Return presses its button).
//
// When no renderer that ended had drawn its page (and none was stopped from outside), the program
// that draws the pages could not start: every page is blank, no editor takes keys, and drawing them
// again cannot help. That is said once in a modal alert, with what to do, and not again while
// renderers keep failing that way (every later page would start another); a renderer that draws a
// page ends that.
//
// A renderer's end comes with its raw wait status ("exit code" in the engine's words): an exit code
// in its second byte, or the signal that ended it in its low bits. The alert says which.
//
// Owned by the application controller; the centre and the alerts must outlive it. Main thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class Alerts;
class Notification;
class NotificationCenter;

class RendererEndedAlert : public QObject {
    Q_OBJECT
public:
    static constexpr int kGatherMs = 1500;
    // The modal alert waits until no key was pressed for this long: a key typed as the alert appeared
    // would go to the alert (a blank presses its button) and be lost to where it was typed.
    static constexpr int kTypingPauseMs = 1500;
    static constexpr int kQuietMs = 5000;

    // `notice` shows the message of an end without taking the keys (message, informative text); when
    // empty, the message goes to the log only.
    using Notice = std::function<void(const QString& message, const QString& informative)>;

    RendererEndedAlert(
        NotificationCenter& center, Alerts& alerts, Notice notice, QObject* parent = nullptr, int quietMs = kQuietMs);
    ~RendererEndedAlert() override;

    // The alert's texts for an end with that termination status and raw wait status.
    static QString messageText();
    static QString informativeText(int status, int exitCode, bool allRestored, bool noteText);
    // The alert's texts when the program that draws the pages could not start.
    static QString startFailureMessageText();
    static QString startFailureInformativeText(int exitCode);
    // How a process with that raw wait status ended: "exit code 3", "signal 11".
    static QString howItEnded(int rawStatus);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pageEnded(const Notification& n);
    void say();

    NotificationCenter& m_center;
    Alerts& m_alerts;
    Notice m_notice;
    QTimer m_gather;
    QElapsedTimer m_firstEnd;  // since the first end of the last alert
    QElapsedTimer m_lastKey;   // since the last key pressed while an alert is due
    int m_quietMs;
    bool m_showing = false;
    bool m_noteText = false;
    int m_status = 0;
    int m_exitCode = 0;
    bool m_allRestored = true;
    bool m_anyDrawn = false;          // a renderer among the gathered ends had drawn its page
    bool m_startFailureSaid = false;  // said that the program could not start, and not drawn since
};
