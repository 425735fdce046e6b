#include "app/preferences/ColorWell.h"

#include <QAbstractSpinBox>
#include <QColorDialog>
#include <QLineEdit>

ColorWell::ColorWell(QWidget* parent) : QPushButton(parent)
{
    setFixedSize(44, 24);
    connect(this, &QPushButton::clicked, this, &ColorWell::openChooser);
}

void ColorWell::setColor(const QColor& color)
{
    m_color = color;
    // Of the well alone: its chooser (a child) keeps its own look.
    setStyleSheet(QStringLiteral("ColorWell { background-color: %1; border: 1px solid #808080; }")
                      .arg(color.name(QColor::HexRgb)));
}

void ColorWell::userPicked(const QColor& color)
{
    setColor(color);
    emit colorChanged(color);
}

void ColorWell::openChooser()
{
    if (!m_dialog) {
        m_dialog = new QColorDialog(this);
        m_dialog->setWindowTitle(tr("Select Color"));
        connect(m_dialog, &QColorDialog::currentColorChanged, this, [this](const QColor& color) {
            if (m_dialog->isVisible() && color != m_color)
                userPicked(color);
        });
        connect(
            m_dialog, &QDialog::finished, this, [this](int result) { chooserFinished(result == QDialog::Accepted); });
    }
    m_before = m_color;
    m_dialog->setCurrentColor(m_color);  // not reported: the chooser is not shown yet
    emit chooserOpened();
    m_dialog->open();
    // The keys start in the HTML field, its colour selected: a colour typed there and Return is OK
    // (rather than Return pressing the first button, Pick Screen Color).
    for (QLineEdit* field : m_dialog->findChildren<QLineEdit*>()) {
        if (qobject_cast<QAbstractSpinBox*>(field->parentWidget()) == nullptr) {
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
            break;
        }
    }
}

void ColorWell::chooserFinished(bool accepted)
{
    if (accepted) {
        const QColor chosen = m_dialog->selectedColor();
        if (chosen.isValid() && chosen != m_color)
            userPicked(chosen);
    } else {
        setColor(m_before);
    }
    emit chooserClosed(accepted);
}
