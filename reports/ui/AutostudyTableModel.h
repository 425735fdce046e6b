// AutostudyTableModel: one of the two tables of an autostudy dialog and of the navigator settings:
// the elements of a study, or the books of one element. Column 0 is the check box ("checked"),
// column 1 the element's name or the book's display name; a row's tool tip is the element's
// description, or the name when it has none. Rows are reordered by dragging; a drag carries the
// dragged rows under the table's own MIME type, so a row never lands in another table.
//
// The rows are read from the element set on every call, never cached: the set is the one truth and
// other windows may change it. Every change (a tick, a move, all/none that changed something) marks
// the set changed, saves it at once and is announced with `edited`.
//
// Main thread only. The model does not own the element set, which must outlive it.
#pragma once

#include "reports/AutoStudyElements.h"

#include <QAbstractTableModel>

class QTableView;
class QWidget;

class AutostudyTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Kind { Elements, Books };
    static constexpr int CheckboxColumn = 0;
    static constexpr int TextColumn = 1;

    // `study` is the list of the set (AutoStudyElements::Study); `mimeType` names the drag data.
    AutostudyTableModel(
        Kind kind, AutoStudyElements& set, int study, const QString& mimeType, QObject* parent = nullptr);

    // A table view of `model` as the dialogs show it: whole rows selected one at a time, rows moved
    // by dragging, the check box column as wide as its box and the name column taking the rest.
    static QTableView* makeTableView(AutostudyTableModel* model, QWidget* parent);

    Kind kind() const { return m_kind; }
    // The MIME type a drag of this table carries.
    QString mimeType() const { return m_mimeType; }
    // The titles of the columns in a shown header (none by default).
    void setHeaderTitles(const QString& checkbox, const QString& text);

    // Books table: the element whose books are shown (row of the elements table; 0 for none).
    void setShownElement(int row);
    int shownElement() const { return m_shownElement; }

    // The rows as they stand in the element set; null when the shown element is gone.
    AutoStudyElementList& elements() const;
    AutoStudyElement* element() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override { return {mimeType()}; }
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(
        const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) const override;
    // The first dragged row moves to the drop row: a drop on a row is a drop above it, a drop below
    // the last row (or past it) a drop at the end.
    bool dropMimeData(
        const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) override;

    // Moves the row `from` so that it lands before the row `to` (a drop at `to`); emits rowMoved.
    bool moveRow(int from, int to);
    // Ticks or clears every row; true when anything changed (the set is saved either way).
    bool setAllChecked(bool checked);

    // The row a selection at `selected` moves to when the row `from` is dropped at `to`.
    static int selectionAfterMove(int selected, int from, int to);
    // The list operation of a drop: the entry at `from` is inserted at `to`, then the old copy removed.
    template <class T> static void moveEntry(QList<T>& list, int from, int to)
    {
        list.insert(to, list.at(from));
        list.removeAt(from >= to ? from + 1 : from);
    }

signals:
    void rowMoved(int from, int to);
    // A change was written to the element set.
    void edited();

private:
    void changed();

    Kind m_kind;
    AutoStudyElements& m_set;
    int m_study;
    QString m_mimeType;
    QString m_checkboxTitle;
    QString m_textTitle;
    int m_shownElement = 0;
};
