// AutostudyWindowController: what the three autostudy dialogs (verse, word, today's reading) share.
// Each dialog lets the user tick and reorder the elements of its study and the books of the chosen
// element, open the report style editor, and run the study; a finished report is handed to the
// results presenter of the environment the dialog was made with (`autostudyResults`: the
// application's results window, or a test's), together with that environment.
//
// Every tick and move is written to the element set at once, also when the dialog is then closed
// without a study. The dialog is run modally by the application and deleted by whoever made it.
//
// Main thread only.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QDialog>
#include <QVariantMap>

#include <functional>

class AutostudyTableModel;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

class AutostudyWindowController : public QDialog {
    Q_OBJECT
public:
    virtual void onPerformAutostudy() = 0;
    void onAllKindsButton();
    void onNoneKindsButton();
    void onAllBooksButton();
    void onNoneBooksButton();
    void onEditCSS();
    void onClose();

    void reject() override { onClose(); }

protected:
    // `study`: the element list the dialog shows (AutoStudyElements::VerseStudy, WordStudy, TodayStudy).
    AutostudyWindowController(const WindowEnvironment& env, int study, const QString& title, QWidget* parent);

    // The centre, defaults, alerts and library of the window the dialog was made for.
    const WindowEnvironment& environment() const { return m_env; }

    // The dialog's own input rows (passage, word or date) go here.
    QFormLayout* inputForm() const { return m_inputForm; }
    // A text row of the input form, named for finding it.
    QLineEdit* addTextField(const QString& label, const char* name, const QString& placeholder);
    // Hands the report on and closes; an empty path changes nothing.
    void presentResults(const QString& file, const QString& notificationName, const QVariantMap& userInfo);

private:
    void selectElement(int row);
    void elementSelectionChanged();
    void elementMoved(int from, int to);

    WindowEnvironment m_env;
    QFormLayout* m_inputForm = nullptr;
    QTableView* m_elementsTableView = nullptr;
    QTableView* m_booksTableView = nullptr;
    AutostudyTableModel* m_elementsModel = nullptr;
    AutostudyTableModel* m_booksModel = nullptr;
    QLabel* m_elementDescription = nullptr;
    QLabel* m_booksLabel = nullptr;
    QPushButton* m_performButton = nullptr;
    bool m_closed = false;
};
