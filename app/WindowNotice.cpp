#include "app/WindowNotice.h"

#include "platform/ui/PlainLabel.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The lines `text` takes at `width` in `font`: the first `most` - 1 as they break, then the rest
// together (its label ends it in an ellipsis when it does not fit).
QStringList wrapped(const QString& text, const QFont& font, int width, int most)
{
    QStringList lines;
    QTextLayout layout(text, font);
    layout.beginLayout();
    int start = 0;
    while (lines.size() < most - 1) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(qMax(width, 1));
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
        start = line.textStart() + line.textLength();
    }
    layout.endLayout();
    if (start < text.size() && lines.size() == most - 1)
        lines << text.mid(start).simplified();
    lines.removeAll(QString());
    return lines;
}

}  // namespace

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
    icon->setForegroundRole(QPalette::ToolTipText);
    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    for (int i = 0; i < kMostLines; ++i) {
        auto* line = new PlainLabel(this);
        line->setObjectName(QStringLiteral("noticeLine%1").arg(i));
        line->setElidesText(true);
        line->setForegroundRole(QPalette::ToolTipText);
        texts->addWidget(line);
        m_lines << line;
    }
    m_details = new QToolButton(this);
    m_details->setObjectName(QStringLiteral("noticeDetails"));
    m_details->setText(tr("Details…"));
    m_details->setFocusPolicy(Qt::TabFocus);
    m_details->setAutoRaise(true);
    connect(m_details, &QToolButton::clicked, this, &WindowNotice::showDetails);
    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("noticeClose"));
    m_close->setText(tr("Close"));
    m_close->setFocusPolicy(Qt::TabFocus);
    m_close->setAutoRaise(true);
    connect(m_close, &QToolButton::clicked, this, [this] {
        m_problems.clear();
        hide();
        emit closed();
    });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 4, 4);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    row->addWidget(m_details, 0, Qt::AlignTop);
    row->addWidget(m_close, 0, Qt::AlignTop);
    hide();
}

void WindowNotice::showProblems(const QList<Problem>& problems)
{
    m_problems = problems;
    if (m_problems.isEmpty()) {
        hide();
        return;
    }
    show();
    layOut();
}

void WindowNotice::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    layOut();
}

void WindowNotice::layOut()
{
    if (m_problems.isEmpty())
        return;
    QFont bold = font();
    bold.setBold(true);
    // (message, bold) for each line drawn.
    QList<std::pair<QString, bool>> lines;
    bool cut = false;
    if (m_problems.size() == 1) {
        const Problem& p = m_problems.first();
        lines.append({p.message.simplified(), true});
        const int width = m_lines.first()->width();
        const QStringList more = wrapped(p.informative.simplified(), font(), width, kMostLines - 1);
        for (const QString& line : more)
            lines.append({line, false});
        // Paragraphs run together here; the Details window keeps them apart.
        cut = p.informative.contains(QLatin1Char('\n'));
    } else {
        const qsizetype shown = m_problems.size() <= kMostLines ? m_problems.size() : kMostLines - 1;
        for (qsizetype i = 0; i < shown; ++i)
            lines.append({m_problems[i].message.simplified(), true});
        if (shown < m_problems.size())
            lines.append({tr("%n more: see Details.", nullptr, int(m_problems.size() - shown)), false});
        for (const Problem& p : m_problems)
            cut = cut || !p.informative.isEmpty();
        cut = cut || shown < m_problems.size();
    }
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        PlainLabel* label = m_lines[i];
        label->setVisible(i < lines.size());
        if (i >= lines.size())
            continue;
        label->setFont(lines[i].second ? bold : font());
        label->setText(lines[i].first);
    }
    for (qsizetype i = 0; i < lines.size() && !cut; ++i)
        cut = m_lines[i]->shownText() != lines[i].first;
    m_details->setVisible(cut);
}

QString WindowNotice::message() const
{
    if (isHidden())
        return {};
    QStringList messages;
    for (const Problem& p : m_problems)
        messages << p.message;
    return messages.join(QLatin1Char(' '));
}

QString WindowNotice::informativeText() const
{
    if (isHidden())
        return {};
    if (m_problems.size() == 1)
        return m_problems.first().informative;
    QStringList texts;
    for (const Problem& p : m_problems)
        texts << (p.informative.isEmpty() ? p.message : p.message + QLatin1Char(' ') + p.informative);
    return texts.join(QStringLiteral("\n\n"));
}

QStringList WindowNotice::shownLines() const
{
    QStringList shown;
    if (isHidden())
        return shown;
    for (const PlainLabel* line : m_lines)
        if (!line->isHidden())
            shown << line->shownText();
    return shown;
}

QString WindowNotice::details() const
{
    QStringList texts;
    for (const Problem& p : m_problems)
        texts << (p.informative.isEmpty() ? p.message : p.message + QLatin1Char('\n') + p.informative);
    return texts.join(QStringLiteral("\n\n"));
}

void WindowNotice::showDetails()
{
    auto* dialog = new QDialog(window());
    dialog->setObjectName(QStringLiteral("noticeDetailsWindow"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("Problems"));
    auto* text = new QPlainTextEdit(dialog);
    text->setReadOnly(true);
    text->setPlainText(details());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* column = new QVBoxLayout(dialog);
    column->addWidget(text);
    column->addWidget(buttons);
    dialog->resize(560, 320);
    dialog->open();
}
