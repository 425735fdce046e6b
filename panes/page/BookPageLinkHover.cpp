#include "panes/page/BookPageLinkHover.h"

#include "panes/page/BookPageHost.h"
#include "panes/page/BookPageHtml.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QWebEnginePage>
#include <QWebEngineView>

BookPageLinkHover::BookPageLinkHover(BookPageHost& host, UserDefaults& defaults, QWebEngineView& view)
    : m_host(host), m_defaults(defaults), m_view(view)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(500);
    QObject::connect(&m_timer, &QTimer::timeout, &m_view, [this] { showNow(); });
}

void BookPageLinkHover::show(const QString& href, const QString& footnote, int left, int top, int width, int height)
{
    if (!m_defaults.value(SettingsKeys::VersePopovers))
        return;
    m_timer.stop();
    m_params = {{QStringLiteral("href"), href}, {QStringLiteral("footnote"), footnote}, {QStringLiteral("left"), left},
        {QStringLiteral("top"), top}, {QStringLiteral("width"), width}, {QStringLiteral("height"), height}};
    m_timer.start();
}

void BookPageLinkHover::showNow()
{
    if (m_params.isEmpty())
        return;
    const QVariantMap p = m_params;
    m_params.clear();
    const QString href = BookPageHtml::unescapeLinkText(p.value(QStringLiteral("href")).toString());
    // The page counts from its own top-left corner; the view shows it scrolled.
    const QPoint scroll = m_view.page()->scrollPosition().toPoint();
    const QRect rect(p.value(QStringLiteral("left")).toInt() - scroll.x(),
        p.value(QStringLiteral("top")).toInt() - scroll.y(), p.value(QStringLiteral("width")).toInt(),
        p.value(QStringLiteral("height")).toInt());
    m_host.showLinkPreview(href, p.value(QStringLiteral("footnote")).toString(), rect);
}

void BookPageLinkHover::hide()
{
    m_host.closeLinkPreview();
    m_timer.stop();
    m_params.clear();
}
