// The navigator's settings: a modal window that chooses which kinds of books take part in the study
// pane's navigator, in which order, which books of each kind, and how many rows per book it shows.
//
// The lists are the navigator element list of the autostudy elements, edited in place: every check,
// All, None and drag-reorder is saved at once, and the navigators' settings-changed notification
// makes every open navigator search again while the window is still up. The rows-per-book pop-up
// writes the user default "maxNavRowsPerBook" to the defaults of the environment the window is made
// with, and the settings-changed notification goes to its centre. The application hands runModal to
// the study pane as its navigator settings.
//
// Main thread only. The window does not own the element set.
#pragma once

#include "panes/layout/WindowEnvironment.h"

#include <QAbstractTableModel>
#include <QDialog>

class AutoStudyElements;
class QComboBox;
class QTableView;
class NavigatorSettingsWindowController;

// One of the two tables: the element kinds, or the books of the kind the books table shows.
class NavigatorSettingsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static const QString ElementRowMimeType;
    static const QString BookRowMimeType;
    enum Column { CheckboxColumn = 0, NameColumn = 1 };

    NavigatorSettingsTableModel(NavigatorSettingsWindowController* owner, bool elements);
    QString rowMimeType() const { return m_elements ? ElementRowMimeType : BookRowMimeType; }
    void reload();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(
        const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) const override;
    bool dropMimeData(
        const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

private:
    NavigatorSettingsWindowController* m_owner;
    bool m_elements;
};

class NavigatorSettingsWindowController : public QDialog {
    Q_OBJECT
public:
    // Row counts the rows-per-book pop-up offers.
    static const QList<int>& rowCountChoices();

    NavigatorSettingsWindowController(
        const WindowEnvironment& env, AutoStudyElements& elements, QWidget* parent = nullptr);
    ~NavigatorSettingsWindowController() override;

    // Runs the window modally over the given elements (by default the autostudy manager's); true
    // once it is closed (every change is kept).
    static bool runModal(const WindowEnvironment& env, QWidget* parent, AutoStudyElements* elements = nullptr);

    QTableView* elementsTableView() const { return m_elementsTable; }
    QTableView* booksTableView() const { return m_booksTable; }
    QComboBox* maxResultsShownButton() const { return m_maxResults; }
    qint64 elementNumberDisplayedByBooksTable() const { return m_elementShown; }

    void onDoneButton();
    void onMaxResultsShownButton();
    void onAllKindsAction() { setAllKinds(true); }
    void onNoneKindsButton() { setAllKinds(false); }
    void onAllBooksButton() { setAllBooks(true); }
    void onNoneBooksButton() { setAllBooks(false); }

    // The list edits the tables make (rows of the element kinds, or of the shown kind's books).
    int elementCount() const;
    int bookCount();
    bool elementChecked(int row) const;
    bool bookChecked(int row) const;
    QString elementName(int row) const;
    QString bookName(int row) const;
    void setElementChecked(int row, bool checked);
    void setBookChecked(int row, bool checked);
    // A dragged row f dropped at row t (a drop on a row and above it are alike).
    void moveElement(int from, int to);
    void moveBook(int from, int to);

signals:
    // Something the navigator shows changed (and was saved).
    void settingsChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setAllKinds(bool checked);
    void setAllBooks(bool checked);
    void saveChanges();
    void announceChange();
    void booksTableShowsSelectedElement();
    int selectedElementRow() const;

    WindowEnvironment m_env;
    AutoStudyElements& m_elements;
    QTableView* m_elementsTable = nullptr;
    QTableView* m_booksTable = nullptr;
    NavigatorSettingsTableModel* m_elementModel = nullptr;
    NavigatorSettingsTableModel* m_bookModel = nullptr;
    QComboBox* m_maxResults = nullptr;
    qint64 m_elementShown = 0;
    bool m_done = false;
};
