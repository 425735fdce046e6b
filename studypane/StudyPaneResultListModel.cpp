#include "studypane/StudyPaneResultListModel.h"

#include "platform/ui/ContentTextDocument.h"
#include "search/core/cBitVector.h"
#include "search/execution/SearchResultsAggregator.h"
#include "search/execution/SearchResultsItem.h"

#include <algorithm>
#include <limits>

StudyPaneResultListModel::StudyPaneResultListModel(
    const StudyPaneResultList& list, QList<int> cachedRoles, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_cachedRoles(std::move(cachedRoles))
{
}

int StudyPaneResultListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : std::max(0, m_list.resultRowCount());
}

int StudyPaneResultListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant StudyPaneResultListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    QVariant value;
    if (!m_cachedRoles.contains(role)) {
        value = m_list.resultData(index.row(), role);
    } else {
        const QPair<int, int> key(index.row(), role);
        auto it = m_cache.constFind(key);
        if (it == m_cache.constEnd())
            it = m_cache.insert(key, m_list.resultData(index.row(), role));
        value = *it;
    }
    // Titles come from books and notes: a tool tip shows them as written.
    if (role == Qt::ToolTipRole && value.typeId() == QMetaType::QString)
        return ContentTextDocument::plainToolTip(value.toString());
    return value;
}

QVariant StudyPaneResultListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section != 0)
        return {};
    if (role == Qt::DisplayRole)
        return m_list.resultColumnTitle();
    if (role == Qt::ToolTipRole)
        return ContentTextDocument::plainToolTip(m_list.resultColumnTitle());
    return {};
}

void StudyPaneResultListModel::reload()
{
    beginResetModel();
    m_cache.clear();
    endResetModel();
}

void StudyPaneResultListModel::columnTitleChanged()
{
    headerDataChanged(Qt::Horizontal, 0, 0);
}

int StudyPaneResultListModel::hitRowCount(const SearchResultsAggregator& results)
{
    return int(std::min<int64_t>(results.numRows(), std::numeric_limits<int>::max()));
}

std::optional<QVariant> StudyPaneResultListModel::hitHeaderData(
    const SearchResultsAggregator& results, int row, int role, const std::function<bool(quint32 section)>& counted)
{
    const SRTablePath path = results.tablePathForRow(row);
    if (path.tableRowNum >= 0)
        return std::nullopt;
    if (role == KindRole)
        return QVariant(Header);
    if (role == Qt::DisplayRole) {
        const auto s = static_cast<std::size_t>(path.tableSectionNum);
        quint32 count = results.countResultsInTableSection(s);
        const SearchResultsItemPtr item = counted ? results.searchResultsAtIndex(s) : nullptr;
        if (item != nullptr && item->searchResultsBitVector) {
            const auto& hits = *item->searchResultsBitVector;
            count = 0;
            for (uint32_t h = hits.first(true); h != cBitVector::kNone; h = hits.nextAfter(h, true))
                count += counted(h) ? 1 : 0;
        }
        return QVariant(QStringLiteral("%1 (%2)").arg(QString::fromStdString(results.sectionHeader(s))).arg(count));
    }
    return QVariant();
}
