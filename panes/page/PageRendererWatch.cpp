#include "panes/page/PageRendererWatch.h"

#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

Q_LOGGING_CATEGORY(lcRendererWatch, "qs.panes.page.renderer")

PageRendererWatch::PageRendererWatch(QWebEnginePage* page, NotificationCenter* center, std::function<void()> restore)
    : QObject(page), m_page(page), m_center(center), m_restore(std::move(restore))
{
    m_clock.start();
    connect(page, &QWebEnginePage::renderProcessTerminated, this, &PageRendererWatch::onTerminated);
    // Any load that starts draws the page again (a go-to, a restore): it is no longer blank.
    connect(page, &QWebEnginePage::loadStarted, this, [this] { m_blank = false; });
    connect(page, &QWebEnginePage::loadFinished, this, [this](bool ok) { m_drawn = m_drawn || ok; });
}

void PageRendererWatch::onTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode)
{
    m_blank = true;
    const qint64 now = m_clock.elapsed();
    while (!m_restores.isEmpty() && now - m_restores.first() > kRestoreWindowMs)
        m_restores.removeFirst();
    const bool restoring = m_restores.size() < kMaxRestores;
    qCWarning(lcRendererWatch) << "the renderer of a page ended, status" << int(status) << "exit code" << exitCode
                               << (restoring ? "- drawing the page again" : "- too often; the page stays blank");
    if (m_center != nullptr) {
        QVariantMap info = m_describe ? m_describe() : QVariantMap();
        info.insert(QStringLiteral("status"), int(status));
        info.insert(QStringLiteral("exitCode"), exitCode);
        info.insert(QStringLiteral("restored"), restoring);
        info.insert(QStringLiteral("drawn"), m_drawn);
        m_center->postNotificationName(PaneNotifications::PageRendererEndedNotification, this, info);
    }
    m_drawn = false;
    emit rendererEnded(restoring);
    if (!restoring)
        return;
    m_restores.append(now);
    // Queued: the page is still taking down its old renderer while this signal is delivered.
    QTimer::singleShot(0, this, [this] {
        if (m_blank && m_restore)
            m_restore();
    });
}
