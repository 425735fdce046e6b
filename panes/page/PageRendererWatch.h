// PageRendererWatch: brings a web page back after its renderer process ends. The pages of one
// profile share renderer processes, so a renderer that crashes, is killed or runs out of memory
// blanks every page it drew, and a blank page shows nothing and takes no typing. The watch notices
// the end (QWebEnginePage::renderProcessTerminated), posts PageRendererEndedNotification (the
// application says once what happened, however many pages ended with one renderer) and, queued,
// calls its owner's `restore`, which draws the page again where it was.
//
// A page whose renderer keeps ending (content that brings it down each time) is restored at most
// kMaxRestores times within kRestoreWindowMs; after that it stays blank until its owner loads it
// again for another reason, and the notification says it was not restored.
//
// The notification also says whether the renderer that ended had drawn the page (a load of it
// finished): a renderer that ends before it ever drew a page, on every page, is one that could not
// start (its program is broken or missing a library, or a flag it was given is refused).
//
// A child of the page it watches. The centre (may be null: nothing is posted) must outlive it.
// Main thread only.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QVariantMap>
#include <QWebEnginePage>

#include <functional>

class NotificationCenter;

class PageRendererWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxRestores = 3;
    static constexpr int kRestoreWindowMs = 60000;

    PageRendererWatch(QWebEnginePage* page, NotificationCenter* center, std::function<void()> restore);

    // What the page holds, added to the notification's user info when its renderer ends (the note
    // editor says whether it showed a note's text).
    void setDescription(std::function<QVariantMap()> describe) { m_describe = std::move(describe); }

signals:
    // The renderer ended; `restoring` false when the page is left blank (too many ends).
    void rendererEnded(bool restoring);

private:
    void onTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);

    QWebEnginePage* m_page;
    NotificationCenter* m_center;
    std::function<void()> m_restore;
    std::function<QVariantMap()> m_describe;
    QList<qint64> m_restores;  // when the recent restores were made (ms on m_clock)
    QElapsedTimer m_clock;
    bool m_blank = false;  // the renderer ended and the page was not drawn again since
    bool m_drawn = false;  // a load of the page finished since its renderer last ended
};
