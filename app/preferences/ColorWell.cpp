#include "app/preferences/ColorWell.h"

#include <QColorDialog>

ColorWell::ColorWell(QWidget* parent) : QPushButton(parent)
{
    setFixedSize(44, 24);
    connect(this, &QPushButton::clicked, this, &ColorWell::openChooser);
}

void ColorWell::setColor(const QColor& color)
{
    m_color = color;
    setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #808080; }")
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
        m_dialog = new QColorDialog(m_color, this);
        m_dialog->setOption(QColorDialog::NoButtons, true);
        connect(m_dialog, &QColorDialog::currentColorChanged, this, &ColorWell::userPicked);
    }
    m_dialog->setCurrentColor(m_color);
    m_dialog->show();
    m_dialog->raise();
}
