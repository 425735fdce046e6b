// A colour well: a button that shows a colour and opens a colour chooser that reports every
// colour the user passes through while dragging (colorChanged fires for each). Main thread only.
#pragma once

#include <QColor>
#include <QPushButton>

class QColorDialog;

class ColorWell : public QPushButton {
    Q_OBJECT
public:
    explicit ColorWell(QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    // Shows the colour without reporting it.
    void setColor(const QColor& color);
    // As if the user had moved the chooser to this colour.
    void userPicked(const QColor& color);

signals:
    void colorChanged(const QColor& color);

private:
    void openChooser();
    QColor m_color;
    QColorDialog* m_dialog = nullptr;
};
