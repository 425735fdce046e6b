// WindowNotice: a line along the bottom of the main window that tells the user what went wrong without
// asking anything. It takes neither the focus nor a key (its buttons are reached by Tab only), so
// typing goes on where it was: the reader says there what must not come between the user and a page
// being typed in. Its texts are shown as written. Main thread only.
//
// It shows the problems it is given (ProblemNotice owns them) in a few lines at most, whatever their
// number or length: one problem with the start of its longer text, or several by their messages, one
// line each, the last line counting those that do not fit. What is cut is one click away (Details).
// Close closes them all (closed()).
#pragma once

#include <QFrame>
#include <QList>
#include <QString>
#include <QStringList>

class PlainLabel;
class QToolButton;

class WindowNotice : public QFrame {
    Q_OBJECT
public:
    struct Problem {
        QString message;      // one sentence
        QString informative;  // the longer text below it; may be empty
    };
    // The most lines the notice takes for its texts.
    static constexpr int kMostLines = 4;

    explicit WindowNotice(QWidget* parent);

    // Shows these problems, in this order; hides the notice when there are none.
    void showProblems(const QList<Problem>& problems);

    // What the problems shown say: the messages together, and the longer texts together (each with
    // its message before it when there are several); empty when the notice is closed.
    QString message() const;
    QString informativeText() const;
    // The lines the notice draws now, as drawn (cut ones end in an ellipsis); empty when closed.
    QStringList shownLines() const;
    // Everything the Details window shows.
    QString details() const;

signals:
    // The user closed the notice.
    void closed();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOut();
    void showDetails();

    QList<Problem> m_problems;
    QList<PlainLabel*> m_lines;
    QToolButton* m_details;
    QToolButton* m_close;
};
