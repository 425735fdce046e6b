// The frame around the note viewer's pages: above them the book's title and the note's title (a
// field the user may edit for a journal note in an editor tab), below them the status line, which
// tells whether the note is saved and how it syncs, with the button that deletes the note.
//
// Owned by the note viewer; its widgets belong to the viewer's view. Main thread only.
#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QLayout;
class QPushButton;
class QWidget;

class StudyPaneNoteHeader : public QObject {
    Q_OBJECT
public:
    // What the status line reports of the shown note.
    struct Status {
        bool hasNote = false;     // a note is shown (else the line is blank, without the button)
        bool isEmpty = true;      // it has no stored text
        bool isEdited = false;    // it has changes not yet stored
        bool saveFailed = false;  // the last save was refused, for `failureReason`
        QString failureReason;
        bool autosavePending = false;
        bool syncsAutomatically = false;
        bool hasServerCopy = false;     // the cloud has a copy of it
        bool tooLargeToSync = false;    // it is larger than one sync line carries
        bool deletedElsewhere = false;  // another program or device deleted it while it was shown
        bool broughtBack = false;       // and the user's typing stored it again
        bool unreadable = false;        // the database could not be read for it yet (tried again)
    };

    using QObject::QObject;

    // Makes the title fields under the root, and the status line; each returns its layout to place.
    QLayout* makeTitles(QWidget* root);
    QLayout* makeStatusLine(QWidget* root);

    // The titles shown (kept until the fields are made).
    void setTitles(const QString& book, const QString& note);
    void setNoteTitle(const QString& note) { setTitles(m_bookTitle, note); }
    const QString& noteTitle() const { return m_noteTitle; }
    // The note title as the user typed it (the shown one before the field is made).
    QString typedNoteTitle() const;
    // The note title can be typed into (a journal note in an editor tab).
    void setNoteTitleEditable(bool editable);
    void showStatus(const Status& status);

signals:
    void noteTitleEdited();
    void deleteClicked();

private:
    void showTitles();

    QString m_bookTitle;
    QString m_noteTitle;
    QLabel* m_bookTitleField = nullptr;
    QLineEdit* m_noteTitleField = nullptr;
    QLabel* m_localStatus = nullptr;
    QLabel* m_cloudStatus = nullptr;
    QPushButton* m_deleteButton = nullptr;
};
