#include "reports/ui/AutostudyTableModel.h"
#include "platform/ui/ContentTextDocument.h"

#include "platform/MainThread.h"
#include "reports/AutoStudyManager.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

AutostudyTableModel::AutostudyTableModel(Kind kind, int study, const QString& rowType, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind), m_study(study), m_rowType(rowType)
{
}

QString AutostudyTableModel::mimeType() const
{
    return QStringLiteral("application/x-quillstead-") + m_rowType;
}

void AutostudyTableModel::setShownElement(int row)
{
    beginResetModel();
    m_shownElement = row < 0 ? 0 : row;
    endResetModel();
}

AutoStudyElementList& AutostudyTableModel::elements() const
{
    return AutoStudyManager::singleton().elements().studyElementsAtIndex(m_study);
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
    if (role == Qt::ToolTipRole && !tip.isEmpty())
        return ContentTextDocument::plainToolTip(tip);
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
    int to = row >= 0 ? row : (parent.isValid() ? parent.row() : rowCount());
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
        AutoStudyManager::singleton().elements().setDataChanged();
        if (rowCount() > 0)
            emit dataChanged(index(0, CheckboxColumn), index(rowCount() - 1, CheckboxColumn), {Qt::CheckStateRole});
    }
    AutoStudyManager::saveIfExists();
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
    AutoStudyManager::singleton().elements().setDataChanged();
    AutoStudyManager::saveIfExists();
}
