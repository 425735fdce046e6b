#include "app/WindowNotice.h"

#include "platform/ui/PlainLabel.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

WindowNotice::WindowNotice(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("windowNotice"));
    setFrameShape(QFrame::StyledPanel);
    setFocusPolicy(Qt::NoFocus);
    // The colours of a tool tip: apart from the pages, in the desktop's theme.
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    setAutoFillBackground(true);

    auto* icon = new PlainLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);
    m_message = new PlainLabel(this);
    m_message->setObjectName(QStringLiteral("noticeMessage"));
    QFont bold = m_message->font();
    bold.setBold(true);
    m_message->setFont(bold);
    m_message->setWordWrap(true);
    m_informative = new PlainLabel(this);
    m_informative->setObjectName(QStringLiteral("noticeInformative"));
    m_informative->setWordWrap(true);
    for (QLabel* label :
        {static_cast<QLabel*>(icon), static_cast<QLabel*>(m_message), static_cast<QLabel*>(m_informative)})
        label->setForegroundRole(QPalette::ToolTipText);
    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("noticeClose"));
    m_close->setText(tr("Close"));
    m_close->setFocusPolicy(Qt::TabFocus);
    m_close->setAutoRaise(true);
    connect(m_close, &QToolButton::clicked, this, &QWidget::hide);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    texts->addWidget(m_message);
    texts->addWidget(m_informative);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 4, 4);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    row->addWidget(m_close, 0, Qt::AlignTop);
    hide();
}

void WindowNotice::say(const QString& message, const QString& informative)
{
    m_message->setText(message);
    m_informative->setText(informative);
    m_informative->setVisible(!informative.isEmpty());
    show();
}

QString WindowNotice::message() const
{
    return isHidden() ? QString() : m_message->text();
}

QString WindowNotice::informativeText() const
{
    return isHidden() ? QString() : m_informative->text();
}
