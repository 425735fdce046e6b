#include "studypane/StudyPaneNoteLinks.h"

#include "library/GoToRequest.h"
#include "panes/bookpane/XrefPopupViewController.h"
#include "panes/page/LinkPreview.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "studypane/notes/NoteHtml.h"

#include <QLabel>
#include <QWidget>

namespace {

}  // namespace

StudyPaneNoteLinks::StudyPaneNoteLinks(StudyPaneEnvironment env, const void* sender, QObject* parent)
    : QObject(parent), m_env(std::move(env)), m_sender(sender)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kLinkPreviewDelayMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { showPreviewNow(); });
}

StudyPaneNoteLinks::~StudyPaneNoteLinks()
{
    m_timer.stop();
    delete m_preview.data();
}

void StudyPaneNoteLinks::setPlace(QWidget* owner, QWidget* pages)
{
    m_owner = owner;
    m_pages = pages;
}

void StudyPaneNoteLinks::follow(const QString& escapedHref, const QString& layoutUuid)
{
    if (m_env.center == nullptr)
        return;
    GoToRequest request;
    request.href = NoteHtml::unescapeHref(escapedHref);
    request.wasHyperlink = true;
    request.activate = true;
    request.sync = true;
    request.layoutUuid = layoutUuid;
    request.post(*m_env.center, m_sender);
}

void StudyPaneNoteLinks::showPreview(const QString& escapedHref, int left, int top, int width, int height)
{
    if (m_env.defaults != nullptr && !m_env.defaults->value(SettingsKeys::VersePopovers))
        return;
    m_timer.stop();
    m_pending = {{QStringLiteral("href"), escapedHref}, {QStringLiteral("left"), left}, {QStringLiteral("top"), top},
        {QStringLiteral("width"), width}, {QStringLiteral("height"), height}};
    m_timer.start();
}

void StudyPaneNoteLinks::showPreviewNow()
{
    const QVariantMap p = m_pending;
    m_pending.clear();
    if (p.isEmpty() || m_owner == nullptr || m_pages == nullptr || m_env.defaults == nullptr)
        return;
    const QString href = NoteHtml::unescapeHref(p.value(QStringLiteral("href")).toString());
    const QString text = m_env.linkPreview ? m_env.linkPreview->stringForPopupFromHref(href) : QString();
    if (text.isEmpty())
        return;
    delete m_preview.data();
    QLabel* label = XrefPopupViewController::makeView(*m_env.defaults, m_owner);
    label->setWindowFlags(Qt::ToolTip);
    label->setText(text);
    label->setMaximumWidth(360);
    label->adjustSize();
    const QRect link(p.value(QStringLiteral("left")).toInt(), p.value(QStringLiteral("top")).toInt(),
        p.value(QStringLiteral("width")).toInt(), p.value(QStringLiteral("height")).toInt());
    const QPoint below = m_pages->mapToGlobal(m_pages->contentsRect().topLeft() + link.bottomLeft() + QPoint(0, 4));
    label->move(below);
    label->show();
    m_preview = label;
}

void StudyPaneNoteLinks::hidePreview()
{
    m_timer.stop();
    m_pending.clear();
    delete m_preview.data();
}

void StudyPaneNoteLinks::clickedInEditor()
{
    if (m_env.defaults != nullptr && !m_env.defaults->value(SettingsKeys::ShowLinksDisabledMessage))
        return;
    const Alert alert {.messageText = QStringLiteral("Links are disabled in the editor."),
        .informativeText = QStringLiteral("Use Text Edit to edit the link. Switch to View mode to make links active."),
        .buttons = {QStringLiteral("OK"), QStringLiteral("Don't show this message again")},
        .style = AlertStyle::Informational};
    // Shown after the page's call returns: the page waits for no answer.
    QPointer<StudyPaneNoteLinks> self(this);
    QTimer::singleShot(0, this, [self, alert] {
        if (!self)
            return;
        const int answer = self->m_env.ask(alert);
        // The editor may have gone while the alert was up.
        if (answer == AlertSecondButtonReturn && self && self->m_env.defaults != nullptr)
            self->m_env.defaults->set(SettingsKeys::ShowLinksDisabledMessage, false);
    });
}
