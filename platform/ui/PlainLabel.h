// PlainLabel: the label of the interface. Qt reads a label's text as HTML whenever its first line
// looks like markup, and loads what that HTML names from any local path; a PlainLabel shows its text
// as written, so names from books, notes, servers and files can be put in any label. Every label of
// the interface folders is one (scripts/check-plain-text.py holds them to it).
//
// makePlain() does the same for the labels that Qt's own dialogs make (message boxes, progress and
// input dialogs); getText() is the input dialog's text prompt with its labels plain. Main thread only.
#pragma once

#include <QLabel>

class QWidget;

class PlainLabel : public QLabel {
public:
    explicit PlainLabel(QWidget* parent = nullptr);
    explicit PlainLabel(const QString& text, QWidget* parent = nullptr);

    // A text wider than the label ends in an ellipsis instead of being cut off, and the label takes
    // the width its layout gives it (for one-line names of any length: a book's title in a list).
    void setElidesText(bool elide);
    // The text as the label draws it now (elided or whole).
    QString shownText() const;

    // Sets every label under root (and root itself, when it is one) to plain text.
    static void makePlain(QWidget* root);
    // A modal text prompt whose label is shown as written; false when cancelled, else the answer is set.
    static bool getText(
        QWidget* parent, const QString& title, const QString& label, const QString& text, QString* answer);

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize minimumSizeHint() const override;

private:
    bool m_elide = false;
};
