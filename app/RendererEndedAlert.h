// RendererEndedAlert: says once that the process drawing the reader's pages ended. One renderer
// draws many pages (the book panes, the note editor), and every watched page whose renderer ended
// posts PageRendererEndedNotification; the posts of one end (those within kGatherMs of the first)
// make one alert, shown once they are in, which says whether the pages were drawn again.
//
// Owned by the application controller; the centre and the alerts must outlive it. Main thread only.
#pragma once

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

    RendererEndedAlert(NotificationCenter& center, Alerts& alerts, QObject* parent = nullptr);
    ~RendererEndedAlert() override;

    // The alert's texts for an end with that termination status and exit code.
    static QString messageText();
    static QString informativeText(int status, int exitCode, bool allRestored);

private:
    void pageEnded(const Notification& n);
    void say();

    NotificationCenter& m_center;
    Alerts& m_alerts;
    QTimer m_gather;
    int m_status = 0;
    int m_exitCode = 0;
    bool m_allRestored = true;
};
