// OverlayView: the shade over a book pane that is not the current pane (BookPaneViewController
// makes it, and shows it while its pane is not current). Main thread only.
#pragma once

#include <QPointF>
#include <QWidget>

class BookPaneViewController;
class QHideEvent;
class QMouseEvent;
class QPaintEvent;

// Lies over the pane, all but its tab row, while the pane is not current, shading it; a click on it
// makes the pane current (a right-click opens the page's menu there too). The tab row stays uncovered: a click on a tab, a tab's close box or the
// row's buttons acts at once (and makes the pane current too). The pointer's moves without a button
// pass on to the page under it, so that its links show their previews as in the current pane.
class OverlayView : public QWidget {
    Q_OBJECT
public:
    explicit OverlayView(BookPaneViewController* controller, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The pointer at `at` (the overlay's coordinates) over the page, or gone from it (null).
    void hoverPage(const QPointF* at, const QPointF& global);
    // The page's input widget (the web engine's, else the page), null without a page.
    QWidget* pageInput() const;
    // The page's input widget under `at` (the overlay's coordinates), with `at` in its own
    // coordinates; null where no page lies under it.
    QWidget* pageInputAt(const QPointF& at, QPointF& local) const;

    BookPaneViewController* m_controller;
    bool m_overPage = false;  // the page was last told the pointer is over it
};
