#include "platform/ui/WidgetAlerts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

int WidgetAlerts::runModal(const Alert& alert)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("Quillstead"));
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
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
