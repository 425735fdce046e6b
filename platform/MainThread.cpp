#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool runOnMainThread(std::function<void()> fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !fn)
        return false;
    return QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

bool runOnMainThreadAndWait(std::function<void()> fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !fn)
        return false;
    if (QThread::currentThread() == app->thread()) {
        fn();
        return true;
    }
    return QMetaObject::invokeMethod(app, std::move(fn), Qt::BlockingQueuedConnection);
}

DelayedCall::DelayedCall() = default;

DelayedCall::~DelayedCall() = default;

void DelayedCall::start(int delayMs, std::function<void()> fn)
{
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        QObject::connect(m_timer.get(), &QTimer::timeout, [this] {
            // Taken out first: the call may start this DelayedCall again, or destroy its owner.
            std::function<void()> fn = std::move(m_fn);
            m_fn = nullptr;
            if (fn)
                fn();
        });
    }
    m_fn = std::move(fn);
    m_timer->start(delayMs < 0 ? 0 : delayMs);
}

void DelayedCall::cancel()
{
    if (m_timer)
        m_timer->stop();
    m_fn = nullptr;
}

bool DelayedCall::isPending() const { return m_timer && m_timer->isActive(); }
