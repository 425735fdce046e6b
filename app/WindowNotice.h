// WindowNotice: a line along the bottom of the main window that tells the user something happened
// without asking anything. It takes neither the focus nor a key (its Close button is reached by Tab
// only), so typing goes on where it was: the reader says there what must not come between the user
// and a page being typed in. It stays until Close is pressed; a newer notice replaces it. Its texts
// are shown as written. Main thread only.
#pragma once

#include <QFrame>
#include <QString>

class PlainLabel;
class QToolButton;

class WindowNotice : public QFrame {
    Q_OBJECT
public:
    explicit WindowNotice(QWidget* parent);

    // Shows the notice: a message in bold and, when not empty, a longer text below it.
    void say(const QString& message, const QString& informative);
    QString message() const;
    QString informativeText() const;

private:
    PlainLabel* m_message;
    PlainLabel* m_informative;
    QToolButton* m_close;
};
