#include "panes/page/WebViewFrames.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QPointer>
#include <QTimerEvent>
#include <QWebEngineView>

#include <vector>

namespace {

class Prompter : public QObject {
public:
    static Prompter& instance()
    {
        // A child of the application, so a later application (as in tests) gets its own.
        static QPointer<Prompter> prompter;
        if (prompter.isNull())
            prompter = new Prompter(QCoreApplication::instance());
        return *prompter;
    }

    void add(QWebEngineView* view) { m_views.emplace_back(view); }

private:
    explicit Prompter(QObject* parent) : QObject(parent)
    {
        connect(
            QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, &Prompter::beforeWait);
    }

    void beforeWait()
    {
        std::erase_if(m_views, [](const QPointer<QWebEngineView>& view) { return view.isNull(); });
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        for (const QPointer<QWebEngineView>& view : m_views) {
            // The widget the view draws in (a child of its own) comes and goes with the page's renderer:
            // looked up each time.
            for (QWidget* widget : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (!widget->inherits("QQuickWidget"))
                    continue;
                for (const QAbstractEventDispatcher::TimerInfo& timer : dispatcher->registeredTimers(widget)) {
                    if (timer.interval == WebViewFrames::kQuickWidgetWaitMs && timer.timerType == Qt::PreciseTimer)
                        QCoreApplication::postEvent(widget, new QTimerEvent(timer.timerId));
                }
            }
        }
    }

    std::vector<QPointer<QWebEngineView>> m_views;
};

}  // namespace

void WebViewFrames::drawPromptly(QWebEngineView* view)
{
    Prompter::instance().add(view);
}
