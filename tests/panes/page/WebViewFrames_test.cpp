// A web view's changed picture is drawn once the main thread would wait for events, not on Qt Quick's
// own timer: with timers left out of the event loop, only that hand-over can draw it.

#include "panes/page/WebViewFrames.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QTimerEvent>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <atomic>
#include <thread>

namespace {

using TestSupport::waitFor;

// The id of the widget's running timer that waits to draw a change; 0 when none runs.
int drawTimerOf(QWidget* widget)
{
    for (const auto& timer : QAbstractEventDispatcher::instance()->registeredTimers(widget))
        if (timer.interval == WebViewFrames::kQuickWidgetWaitMs && timer.timerType == Qt::PreciseTimer)
            return timer.timerId;
    return 0;
}

// Records the timer events and paints a widget receives.
class EventLog : public QObject {
public:
    QList<int> timers;
    int paintsAfterTimer = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            timers.append(static_cast<QTimerEvent*>(event)->timerId());
        else if (event->type() == QEvent::Paint && !timers.isEmpty())
            ++paintsAfterTimer;
        return false;
    }
};

TEST(WebViewFrames, AChangedViewIsDrawnWhenTheMainThreadWaitsWithoutItsTimer)
{
    QWebEngineView view;
    view.resize(400, 300);
    view.show();
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&loaded](bool) { loaded = true; });
    view.setHtml(QStringLiteral("<body style='background:#fff'><p>In the beginning</p></body>"));
    ASSERT_TRUE(waitFor([&] { return loaded; }));
    WebViewFrames::drawPromptly(&view);
    QWidget* quick = nullptr;
    for (QWidget* w : view.findChildren<QWidget*>())
        if (w->inherits("QQuickWidget"))
            quick = w;
    ASSERT_NE(quick, nullptr) << "the view draws in no Qt Quick widget";
    ASSERT_TRUE(TestSupport::waitForQueuedWork());

    // A change, then the loop turned without ever waiting (so without the hand-over) until the
    // widget's own timer runs for it.
    view.page()->runJavaScript(QStringLiteral("document.body.style.background = '#123456';"));
    QElapsedTimer clock;
    clock.start();
    int timer = 0;
    while (timer == 0 && clock.elapsed() < TestSupport::kWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        timer = drawTimerOf(quick);
    }
    ASSERT_NE(timer, 0) << "Qt Quick's widget no longer waits on a 5 ms timer of its own to draw a change";

    // Now the loop waits for events with timers left out (a thread wakes it now and then, so that
    // a failure ends): the widget's timer cannot fire, the hand-over alone can draw.
    EventLog log;
    quick->installEventFilter(&log);
    std::atomic<bool> done = false;
    std::thread waker([&done, dispatcher = QAbstractEventDispatcher::instance()] {
        for (int i = 0; i < 50 && !done; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            dispatcher->wakeUp();
        }
    });
    clock.restart();
    while ((log.paintsAfterTimer == 0 || drawTimerOf(quick) != 0) && clock.elapsed() < 5000)
        QCoreApplication::processEvents(
            QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents | QEventLoop::X11ExcludeTimers);
    done = true;
    waker.join();
    quick->removeEventFilter(&log);
    EXPECT_TRUE(log.timers.contains(timer)) << "the widget was not handed its timer's event";
    EXPECT_EQ(drawTimerOf(quick), 0) << "the widget's timer still runs: it did not draw";
    EXPECT_GT(log.paintsAfterTimer, 0) << "the widget did not paint its new picture";
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("web-view-frames-test");
    return RUN_ALL_TESTS();
}
