#include "platform/ui/PlainLabel.h"

#include <QInputDialog>
#include <QLabel>
#include <QPainter>
#include <QStyle>

#include <algorithm>

PlainLabel::PlainLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

PlainLabel::PlainLabel(const QString& text, QWidget* parent) : QLabel(parent)
{
    // The format first: a text set before it would already have been read as HTML.
    setTextFormat(Qt::PlainText);
    setText(text);
}

void PlainLabel::setElidesText(bool elide)
{
    m_elide = elide;
    setSizePolicy(elide ? QSizePolicy::Ignored : QSizePolicy::Preferred, sizePolicy().verticalPolicy());
    updateGeometry();
    update();
}

QString PlainLabel::shownText() const
{
    if (!m_elide || wordWrap())
        return text();
    const int room = contentsRect().width() - 2 * margin() - 2 * std::max(0, indent());
    return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, room));
}

QSize PlainLabel::minimumSizeHint() const
{
    if (!m_elide || wordWrap())
        return QLabel::minimumSizeHint();
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("\u2026")) * 3, QLabel::minimumSizeHint().height());
}

void PlainLabel::paintEvent(QPaintEvent* event)
{
    if (!m_elide || wordWrap() || !pixmap().isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const int inset = margin() + std::max(0, indent());
    const QRect room = contentsRect().adjusted(inset, margin(), -inset, -margin());
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shownText(), foregroundRole());
}

void PlainLabel::makePlain(QWidget* root)
{
    if (root == nullptr)
        return;
    if (auto* label = qobject_cast<QLabel*>(root))
        label->setTextFormat(Qt::PlainText);
    for (QLabel* label : root->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

bool PlainLabel::getText(
    QWidget* parent, const QString& title, const QString& label, const QString& text, QString* answer)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setInputMode(QInputDialog::TextInput);
    // The dialog makes its label with the first text it is given: made empty, set plain, then filled.
    dialog.setLabelText(QString());
    makePlain(&dialog);
    dialog.setLabelText(label);
    // A long prompt wraps in a dialog of a reading width, never one line as wide as its text.
    for (QLabel* shown : dialog.findChildren<QLabel*>()) {
        shown->setWordWrap(true);
        shown->setMinimumWidth(std::min(shown->fontMetrics().averageCharWidth() * 60, shown->sizeHint().width()));
    }
    dialog.setTextValue(text);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (answer != nullptr)
        *answer = dialog.textValue();
    return true;
}
