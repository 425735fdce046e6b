// The navigator's settings: a modal window that chooses which kinds of books take part in the study
// pane's navigator, in which order, which books of each kind, and how many rows per book it shows.
//
// The lists are the navigator element list of the autostudy elements, shown and edited in place by
// the autostudy dialogs' table model (AutostudyTableModel): every check, All, None and drag-reorder
// is saved at once, and the navigators' settings-changed notification
// makes every open navigator search again while the window is still up. The rows-per-book pop-up
// writes the user default "maxNavRowsPerBook" to the defaults of the environment the window is made
// with, and the settings-changed notification goes to its centre. The application hands runModal to
// the study pane as its navigator settings.
//
// Main thread only. The window does not own the element set.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QDialog>

class AutoStudyElements;
class AutostudyTableModel;
class QComboBox;
class QTableView;

class NavigatorSettingsWindowController : public QDialog {
    Q_OBJECT
public:
    // Row counts the rows-per-book pop-up offers.
    static const QList<int>& rowCountChoices();

    NavigatorSettingsWindowController(
        const WindowEnvironment& env, AutoStudyElements& elements, QWidget* parent = nullptr);
    ~NavigatorSettingsWindowController() override;

    // Runs the window modally over the given elements (by default those of the environment's autostudy manager); true
    // once it is closed (every change is kept).
    static bool runModal(const WindowEnvironment& env, QWidget* parent, AutoStudyElements* elements = nullptr);

    void onDoneButton();
    void onMaxResultsShownButton();
    void onAllKindsAction() { setAllKinds(true); }
    void onNoneKindsButton() { setAllKinds(false); }
    void onAllBooksButton() { setAllBooks(true); }
    void onNoneBooksButton() { setAllBooks(false); }

signals:
    // Something the navigator shows changed (and was saved).
    void settingsChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setAllKinds(bool checked);
    void setAllBooks(bool checked);
    void announceChange();
    void booksTableShowsSelectedElement();
    void elementMoved(int from, int to);
    int selectedElementRow() const;

    WindowEnvironment m_env;
    AutoStudyElements& m_elements;
    QTableView* m_elementsTable = nullptr;
    QTableView* m_booksTable = nullptr;
    AutostudyTableModel* m_elementModel = nullptr;
    AutostudyTableModel* m_bookModel = nullptr;
    QComboBox* m_maxResults = nullptr;
    bool m_done = false;
};
