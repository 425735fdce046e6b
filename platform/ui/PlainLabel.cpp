#include "platform/ui/PlainLabel.h"

#include <QInputDialog>

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
    dialog.setTextValue(text);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (answer != nullptr)
        *answer = dialog.textValue();
    return true;
}
