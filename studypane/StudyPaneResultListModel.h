// The one-column table of the study pane's result and list sub-panes (Find, the notes and journal
// lists, the library search, the Navigator). The sub-pane owns its rows and answers for them through
// StudyPaneResultList; the model only reads them and never changes its sub-pane. Roles the sub-pane
// names as costly (a hit's HTML, its title) are kept per row until the rows change (`reload`).
//
// The hit lists of a search (Find and the notes lists) share their roles and the look of their
// section header rows here. Main thread only.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class SearchResultsAggregator;

// What the model asks of the sub-pane that owns the rows.
class StudyPaneResultList {
public:
    virtual ~StudyPaneResultList() = default;
    virtual int resultRowCount() const = 0;
    virtual QVariant resultData(int row, int role) const = 0;
    // The column's title (empty before there is one).
    virtual QString resultColumnTitle() const = 0;
};

class StudyPaneResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The roles of the hit lists and the kinds of their rows.
    enum Role { KindRole = Qt::UserRole + 1, HtmlRole, TitleRole };
    enum Kind { Header, SmallHit, LargeHit };

    StudyPaneResultListModel(const StudyPaneResultList& list, QList<int> cachedRoles, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The rows changed: the views read them again.
    void reload();
    // The column's title changed.
    void columnTitleChanged();

    // The rows of a search's hits: one per section header and hit, at most INT_MAX.
    static int hitRowCount(const SearchResultsAggregator& results);
    // A section header row of a search's hits (kind Header, "<section> (<count>)"); null for a hit row.
    // With `counted`, the count is of the hits it accepts (a Bible's verses, not its headings).
    static std::optional<QVariant> hitHeaderData(const SearchResultsAggregator& results, int row, int role,
        const std::function<bool(quint32 section)>& counted = {});

private:
    const StudyPaneResultList& m_list;
    QList<int> m_cachedRoles;
    mutable QHash<QPair<int, int>, QVariant> m_cache;  // (row, role)
};
