#include "reports/ui/AutostudyTableModel.h"
#include "platform/ui/ContentTextDocument.h"

#include "platform/MainThread.h"

#include <QDataStream>
#include <QHeaderView>
#include <QIODevice>
#include <QMimeData>
#include <QTableView>

#include <algorithm>

AutostudyTableModel::AutostudyTableModel(
    Kind kind, AutoStudyElements& set, int study, const QString& mimeType, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind), m_set(set), m_study(study), m_mimeType(mimeType)
{
}

QTableView* AutostudyTableModel::makeTableView(AutostudyTableModel* model, QWidget* parent)
{
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->horizontalHeader()->hide();
    view->verticalHeader()->hide();
    view->horizontalHeader()->setSectionResizeMode(CheckboxColumn, QHeaderView::ResizeToContents);
    view->horizontalHeader()->setStretchLastSection(true);
    view->setShowGrid(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    // The model moves the row itself; the view must not clear or remove the dragged one after.
    view->setDragDropOverwriteMode(false);
    view->setDefaultDropAction(Qt::MoveAction);
    view->setDropIndicatorShown(true);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    return view;
}

void AutostudyTableModel::setHeaderTitles(const QString& checkbox, const QString& text)
{
    m_checkboxTitle = checkbox;
    m_textTitle = text;
    emit headerDataChanged(Qt::Horizontal, CheckboxColumn, TextColumn);
}

void AutostudyTableModel::setShownElement(int row)
{
    beginResetModel();
    m_shownElement = row < 0 ? 0 : row;
    endResetModel();
}

AutoStudyElementList& AutostudyTableModel::elements() const
{
    return m_set.studyElementsAtIndex(m_study);
}

AutoStudyElement* AutostudyTableModel::element() const
{
    AutoStudyElementList& list = elements();
    return m_shownElement < list.size() ? &list[m_shownElement] : nullptr;
}

int AutostudyTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    if (m_kind == Elements)
        return int(elements().size());
    const AutoStudyElement* shown = element();
    return shown ? int(shown->bookArray.size()) : 0;
}

int AutostudyTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant AutostudyTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    bool checked = false;
    QString text;
    QString tip;
    if (m_kind == Elements) {
        const AutoStudyElement& e = elements()[index.row()];
        checked = e.checked;
        text = e.text;
        tip = e.descriptionText;
    } else {
        const AutoStudyBook& b = element()->bookArray[index.row()];
        checked = b.checked;
        text = b.detailText;
    }
    if (index.column() == CheckboxColumn && role == Qt::CheckStateRole)
        return checked ? Qt::Checked : Qt::Unchecked;
    if (index.column() == TextColumn && role == Qt::DisplayRole)
        return text;
    // Names and descriptions come from the books: a tool tip shows them as written.
    if (role == Qt::ToolTipRole && !(tip.isEmpty() ? text : tip).isEmpty())
        return ContentTextDocument::plainToolTip(tip.isEmpty() ? text : tip);
    return {};
}

QVariant AutostudyTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == CheckboxColumn && !m_checkboxTitle.isEmpty())
        return m_checkboxTitle;
    if (section == TextColumn && !m_textTitle.isEmpty())
        return m_textTitle;
    return {};
}

bool AutostudyTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    QS_ASSERT_MAIN_THREAD();
    if (!index.isValid() || index.column() != CheckboxColumn || role != Qt::CheckStateRole || index.row() >= rowCount())
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    if (m_kind == Elements)
        elements()[index.row()].checked = checked;
    else
        element()->bookArray[index.row()].checked = checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    changed();
    return true;
}

Qt::ItemFlags AutostudyTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == CheckboxColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QMimeData* AutostudyTableModel::mimeData(const QModelIndexList& indexes) const
{
    QList<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && !rows.contains(index.row()))
            rows.append(index.row());
    if (rows.isEmpty())
        return nullptr;
    std::sort(rows.begin(), rows.end());
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << rows;
    auto* data = new QMimeData;
    data->setData(mimeType(), bytes);
    return data;
}

bool AutostudyTableModel::canDropMimeData(
    const QMimeData* data, Qt::DropAction action, int, int, const QModelIndex&) const
{
    return data != nullptr && action == Qt::MoveAction && data->hasFormat(mimeType());
}

bool AutostudyTableModel::dropMimeData(
    const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    // Drag data can come from another program: read it as untrusted.
    QList<int> rows;
    QDataStream stream(data->data(mimeType()));
    stream >> rows;
    if (stream.status() != QDataStream::Ok || rows.isEmpty())
        return false;
    const int count = rowCount();
    const int to = std::clamp(row >= 0 ? row : (parent.isValid() ? parent.row() : count), 0, count);
    return moveRow(rows.first(), to);
}

bool AutostudyTableModel::moveRow(int from, int to)
{
    QS_ASSERT_MAIN_THREAD();
    const int count = rowCount();
    if (from < 0 || from >= count || to < 0 || to > count)
        return false;
    beginResetModel();
    if (m_kind == Elements)
        moveEntry(elements(), from, to);
    else
        moveEntry(element()->bookArray, from, to);
    endResetModel();
    changed();
    emit rowMoved(from, to);
    return true;
}

bool AutostudyTableModel::setAllChecked(bool checked)
{
    QS_ASSERT_MAIN_THREAD();
    bool any = false;
    if (m_kind == Elements) {
        for (AutoStudyElement& e : elements())
            if (e.checked != checked) {
                e.checked = checked;
                any = true;
            }
    } else if (AutoStudyElement* shown = element()) {
        for (AutoStudyBook& b : shown->bookArray)
            if (b.checked != checked) {
                b.checked = checked;
                any = true;
            }
    }
    if (any) {
        if (rowCount() > 0)
            emit dataChanged(index(0, CheckboxColumn), index(rowCount() - 1, CheckboxColumn), {Qt::CheckStateRole});
        changed();
    } else {
        m_set.save();
    }
    return any;
}

int AutostudyTableModel::selectionAfterMove(int selected, int from, int to)
{
    if (selected == from)
        return from < to ? to - 1 : to;
    if (from < selected && selected <= to)
        return selected - 1;
    if (to < selected && selected < from)
        return selected + 1;
    return selected;
}

void AutostudyTableModel::changed()
{
    m_set.setDataChanged();
    m_set.save();
    emit edited();
}
