// A colour well: a button that shows a colour and opens a colour chooser with OK and Cancel (Return
// and Escape). The chooser reports every colour the user passes through while dragging
// (colorChanged fires for each), so the page can show it; OK keeps the colour shown, Cancel puts the
// colour before back and says so (chooserClosed), for whoever stored the colours tried to restore
// them. Main thread only.
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

    // The chooser, once opened (none before).
    QColorDialog* chooser() const { return m_dialog; }

signals:
    void colorChanged(const QColor& color);
    // The chooser opens on the well's colour; it closes with OK (accepted) or Cancel.
    void chooserOpened();
    void chooserClosed(bool accepted);

private:
    void openChooser();
    void chooserFinished(bool accepted);
    QColor m_color;
    QColor m_before;
    QColorDialog* m_dialog = nullptr;
};
