#include "platform/ui/WidgetAlerts.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

int WidgetAlerts::runModal(const Alert& alert)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("Quillstead"));
    // Alert texts carry names from books and synced data: shown as written, never as rich text.
    box.setTextFormat(Qt::PlainText);
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
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
    if (!buttons.isEmpty())
        box.setDefaultButton(buttons.first());
    box.exec();
    const int index = static_cast<int>(buttons.indexOf(static_cast<QPushButton*>(box.clickedButton())));
    return AlertFirstButtonReturn + (index < 0 ? 0 : index);
}
