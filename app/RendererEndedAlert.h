// RendererEndedAlert: says once that the process drawing the reader's pages ended. One renderer
// draws many pages (the book panes, the note editor), and every watched page whose renderer ended
// posts PageRendererEndedNotification; the posts of one end (those within kGatherMs of the first)
// make one alert, shown once they are in, which says whether the pages were drawn again, and speaks
// of note text only when a note editor with a note was among the pages. Ends that follow within
// quietMs (kQuietMs) of the first, or while its alert is up, are part of the same trouble and are
// not said again: one alert, never a stack of them.
//
// Owned by the application controller; the centre and the alerts must outlive it. Main thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class Alerts;
class Notification;
class NotificationCenter;

class RendererEndedAlert : public QObject {
    Q_OBJECT
public:
    static constexpr int kGatherMs = 1500;
    static constexpr int kQuietMs = 5000;

    RendererEndedAlert(NotificationCenter& center, Alerts& alerts, QObject* parent = nullptr, int quietMs = kQuietMs);
    ~RendererEndedAlert() override;

    // The alert's texts for an end with that termination status and exit code.
    static QString messageText();
    static QString informativeText(int status, int exitCode, bool allRestored, bool noteText);

private:
    void pageEnded(const Notification& n);
    void say();

    NotificationCenter& m_center;
    Alerts& m_alerts;
    QTimer m_gather;
    QElapsedTimer m_firstEnd;  // since the first end of the last alert
    int m_quietMs;
    bool m_showing = false;
    bool m_noteText = false;
    int m_status = 0;
    int m_exitCode = 0;
    bool m_allRestored = true;
};
