// AutostudyTableModel: one of the two tables of an autostudy dialog (and of the navigator settings):
// the elements of a study, or the books of one element. Column 0 is the check box ("checked"),
// column 1 the element's name or the book's display name. Rows are reordered by dragging; a drag
// carries the dragged row under the table's own row type, so a row never lands in another table.
//
// The rows are read from the autostudy manager's element set on every call, never cached: the set is
// the one truth and other windows may change it. Every change (a tick, a move, all/none) marks the
// set changed and saves it at once.
//
// Main thread only.
#pragma once

#include "reports/AutoStudyElements.h"

#include <QAbstractTableModel>

class AutostudyTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Kind { Elements, Books };
    static constexpr int CheckboxColumn = 0;
    static constexpr int TextColumn = 1;

    // `rowType` names the drag data ("tqsElementRowPasteboardType" and the like).
    AutostudyTableModel(Kind kind, int study, const QString& rowType, QObject* parent = nullptr);

    Kind kind() const { return m_kind; }
    QString rowType() const { return m_rowType; }
    // The MIME type a drag of this table carries.
    QString mimeType() const;

    // Books table: the element whose books are shown (row of the elements table).
    void setShownElement(int row);
    int shownElement() const { return m_shownElement; }

    // The rows as they stand in the element set; null when the shown element is gone.
    AutoStudyElementList& elements() const;
    AutoStudyElement* element() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override { return {mimeType()}; }
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(
        const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) const override;
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

private:
    void changed();

    Kind m_kind;
    int m_study;
    QString m_rowType;
    int m_shownElement = 0;
};
