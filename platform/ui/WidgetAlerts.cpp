#include "platform/ui/WidgetAlerts.h"
#include "platform/ui/PlainLabel.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

int WidgetAlerts::runModal(const Alert& alert)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("Quillstead"));
    // Alert texts carry names from books and synced data: shown as written, never as rich text.
    // The box makes its informative label with the first text it is given: made with a blank, set
    // plain, then filled.
    box.setTextFormat(Qt::PlainText);
    box.setText(alert.messageText);
    if (!alert.informativeText.isEmpty()) {
        box.setInformativeText(QStringLiteral(" "));
        PlainLabel::makePlain(&box);
        box.setInformativeText(alert.informativeText);
    }
    PlainLabel::makePlain(&box);
    switch (alert.style) {
    case AlertStyle::Informational:
        box.setIcon(QMessageBox::Information);
        break;
    case AlertStyle::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case AlertStyle::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    }
    QList<QPushButton*> buttons;
    for (const QString& title : alert.effectiveButtons())
        buttons.append(box.addButton(title, QMessageBox::AcceptRole));
    // The default button also has the focus: Return and Space both choose it.
    if (!buttons.isEmpty())
        box.setDefaultButton(buttons[alert.effectiveDefaultButton()]);
    // Escape (and the close box) answers as the button the alert names for it, else as the one that
    // declines ("Cancel", else "No"); with one button, that one. An alert of other buttons stays
    // until one is chosen.
    if (alert.escapeButton >= 0 && alert.escapeButton < buttons.size())
        box.setEscapeButton(buttons[alert.escapeButton]);
    for (const QString& declining : {QStringLiteral("Cancel"), QStringLiteral("No")}) {
        const qsizetype at = alert.effectiveButtons().indexOf(declining);
        if (at >= 0 && box.escapeButton() == nullptr)
            box.setEscapeButton(buttons[at]);
    }
    box.exec();
    const int index = static_cast<int>(buttons.indexOf(static_cast<QPushButton*>(box.clickedButton())));
    return AlertFirstButtonReturn + (index < 0 ? 0 : index);
}
