// GoToBreakdown: where a go-to's time goes, from the key to the screen, for the go-to benchmark.
// Each step is the time since the key was sent, the mean over the go-tos collected:
//   goto_ms        the Bible pane's page began the go-to (the Return handler, the study pane's go-to
//                  and the routing before it);
//   rendered_ms    the place's first screen rendered (the reader's own rendering of the blocks);
//   sent_ms        the script call sent to the page;
//   returned_ms    the key's handler returned (the panes that follow, the location sync, the history);
//   script_ms      the page's script began the call (the way to the renderer, which runs the script of
//                  every book page in turn);
//   script_end_ms  the call ended (the blocks made and made inert: make_ms of it, inert_ms of that
//                  for the inert pass over `elements` elements in `blocks` blocks; the rest the
//                  page's style and layout, forced by the placement);
//   frame_ms       the next frame began (requestAnimationFrame);
//   committed_ms   the frame's main-thread work (style, layout, paint) done and handed to the
//                  compositor;
//   qt_paint_ms    the web view's widget painted the new frame (raster and composition in the web
//                  engine, then the view's scene);
//   reported_ms    the reader heard from the page that the place painted;
//   screen_first_ms, screen_ms  (under an X server) the pane's rectangle first changed, and settled.
// The page's times come from its own clock (performance.timeOrigin + now, the wall clock), the
// reader's from the same wall clock; the reader's steps come from its page trace
// (qs.panes.page.trace), switched on while the breakdown runs.
//
// Main thread only; the view must outlive the object.
#pragma once

#include "bench/screen/ScreenFrames.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class BookPageView;

class GoToBreakdown : public QObject {
public:
    explicit GoToBreakdown(BookPageView* view);
    ~GoToBreakdown() override;
    GoToBreakdown(const GoToBreakdown&) = delete;
    GoToBreakdown& operator=(const GoToBreakdown&) = delete;

    // Puts the timing of the page's go-to calls into the page (before the key; not timed): false
    // when the page did not take it.
    bool prepare();
    // The key is being sent, and its handler has returned.
    void keySent();
    void keyReturned();
    // After the go-to painted (and the screen settled): reads the page's times and adds the go-to's
    // steps; false when a step is missing (the go-to is left out).
    bool collect(const ScreenFrames::Result& screen);
    // The mean of each step as a benchmark counter (ms), and `breakdown_gotos`.
    void report(benchmark::State& state) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& message);
    double sinceKeyMs() const;

    QPointer<BookPageView> m_view;
    QString m_viewTag;  // how the page trace names the view
    QElapsedTimer m_sinceKey;
    double m_keyWallMs = 0;
    QMap<QString, double> m_steps;  // this go-to's steps
    QList<double> m_paints;         // the view's paints since the key
    QMap<QString, double> m_sums;   // over the go-tos collected
    QMap<QString, int> m_counts;    // how many go-tos had each step
    int m_count = 0;
    QtMessageHandler m_previousHandler = nullptr;
};
