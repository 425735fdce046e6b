// WebViewFrames: a web view's new frame is drawn as soon as the reader's main thread has nothing
// else to do, not 5 ms later.
//
// A web view draws through Qt Quick's widget, which answers every change in its scene by starting a
// 5 ms timer (its own, precise) and draws when the timer fires, so that changes arriving together
// are drawn once. Once the main thread has handled every event it has, nothing more can arrive to be
// gathered before it would wait; on a screen drawn in software those 5 ms are a sixth of a go-to.
// drawPromptly(view): just before the main thread waits for events, the view's Qt Quick widget,
// when that timer is running, is handed the timer's event. The widget takes it as its timer's own:
// it draws and stops the timer, so nothing is drawn twice. A widget with no change pending has no
// such timer and is left alone. Views that were deleted are forgotten.
//
// Main thread only; the application object must exist.
#pragma once

class QWebEngineView;

namespace WebViewFrames {

// Qt Quick's widget's wait before it draws a changed scene.
constexpr int kQuickWidgetWaitMs = 5;

void drawPromptly(QWebEngineView* view);

}  // namespace WebViewFrames
