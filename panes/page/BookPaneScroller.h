// BookPaneScroller: the scroller beside a book page that stands for the whole book. Its value is
// the current block's place among all the book's blocks. Dragging the knob moves the tab's position
// at once (the title follows) and rebuilds the page 0.1 s after the last change; clicking the track
// above or below the knob pages the loaded page, or, when the "scrollTrackInterval" setting is not
// "page", steps to the previous or next chapter, daily reading or section, recording the history
// before and after the step.
//
// The history is recorded through the notification centre given at construction, the setting read
// from the defaults given.
//
// Owned by its pane (Qt parent); the view, host, centre and defaults must outlive it. Main thread
// only.
#pragma once

#include "panes/page/BookPageSource.h"

#include <QScrollBar>
#include <QTimer>

class BookPageHost;
class BookPageView;
class NotificationCenter;
class UserDefaults;

class BookPaneScroller : public QScrollBar {
    Q_OBJECT
public:
    // What the user did with the scroller.
    enum HitPart { kDecrementPage = 1, kKnob = 2, kIncrementPage = 3 };
    // The scroller's integer range stands for 0.0 ... 1.0.
    static constexpr int kRange = 1000000;

    BookPaneScroller(BookPageView* view, BookPageHost* host, NotificationCenter& center, UserDefaults& defaults,
        QWidget* parent = nullptr);

    double doubleValue() const { return static_cast<double>(sliderPosition()) / kRange; }
    void setDoubleValue(double value);
    // Value = the current block / the book's number of blocks.
    void updateScroller();
    // The scroller's action for a hit part; a knob position is read from doubleValue().
    void onScrollerChange(int hitPart);
    void onScrollerDecrementPage();
    void onScrollerIncrementPage();
    // A knob change waits to rebuild the page; when the pane is going, the pending redisplay no
    // longer runs.
    void cancelPendingRedisplay() { m_updateTimer.stop(); }
    // The redisplay the timer runs: show the current tab, then sync the other panes.
    void displayCurrentSourceOnTimer();

protected:
    // A press on the track steps once: a step by chapter, reading or section does not repeat while
    // the button is held (a slow step would let the repeat run on before the release is seen).
    void mousePressEvent(QMouseEvent* event) override;

private:
    void onActionTriggered(int action);
    // One step of the scroller's arrows: a page of the page, or a section (chapter, reading) onwards
    // or back, by the "scrollTrackInterval" setting.
    void stepPage(bool forward);
    void moveToSection(const BookPageSourcePtr& book, quint32 section);
    void postHistory(bool alwaysAdd);

    BookPageView* m_view;
    BookPageHost* m_host;
    NotificationCenter& m_center;
    UserDefaults& m_defaults;
    QTimer m_updateTimer;
};
