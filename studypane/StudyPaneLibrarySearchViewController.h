// The library search (tab 8 of the study pane): one query over every installed book, listed one row
// per book that answers it with two counts, the places matching exactly (go-to, cross references and
// exact matches together) and those holding all the words, best first. Each book is searched with
// four runs ("Did You Mean 'Go To'?", "Referenced Here", "Exact Match", "All Words"), or the first two
// only when the query is a verse reference, on the bounded search pool: never a thread per book.
// Choosing a row opens the book at its first hit and hands the query to the Find sub-pane, which
// shows that book's results in full. A new search drops the rows and the late results of the one
// before at once.
//
// Owned by the study pane controller; owns its view and one search session per searched book. Main
// thread only (the runs execute on the search pool).
#pragma once

#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneRecentSearches.h"
#include "studypane/StudyPaneResultListModel.h"
#include "studypane/StudyPaneSearchPanel.h"
#include "studypane/StudyPaneSubpane.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class SearchResultsAggregator;
class SearchSession;
struct SearchRunRequest;

class StudyPaneLibrarySearchViewController : public StudyPaneSubpane, public StudyPaneResultList {
    Q_OBJECT
public:
    // The least height of a row; rows grow with the list's font (rowHeight).
    static constexpr int kRowHeight = 57;
    static int rowHeight(const QFont& font);
    // A row's two counts, as roles of the table's model. Both are shown on every row, 0 included;
    // the row's accessible description reads them as the row shows them.
    enum Role { ExactCountRole = Qt::UserRole + 1, AllWordsCountRole };
    // The two labelled counts of a row ("Exact Match: 3", "All Words: 0"), as the row shows them.
    static std::pair<QString, QString> countLabels(quint32 exact, quint32 allWords);
    // Rows are ordered by their counts, larger first.
    static constexpr quint64 kSortByCounts = 9;

    // One book's row: its results and their two counts.
    struct Row {
        SourceTuple::Ptr book;
        std::shared_ptr<SearchSession> session;
        quint32 exactCount = 0;
        quint32 allWordsCount = 0;
        SearchResultsAggregator& aggregator() const;
    };

    explicit StudyPaneLibrarySearchViewController(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneLibrarySearchViewController() override;

    // The runs of one book: four, or the first two when the query is a verse reference.
    static std::vector<SearchRunRequest> searchRequests(bool isReference);
    // Whether the text reads as a verse reference (not a book name alone).
    static bool isVerseReference(const QString& text);

    void studyPaneDidActivateSubview() override;
    void exitIsImminent() override;

    QLineEdit* searchField() const { return m_panel.searchField(); }
    QTableView* searchResultsTableView() const { return m_panel.table(); }

    // Starts a search of the field's text over every installed book.
    void searchStringEntered();
    void onRefreshButton() { searchStringEntered(); }
    quint64 searchID() const { return m_searchID; }
    double searchProgressCount() const { return m_panel.progressCount(); }
    double searchProgressCompleted() const { return m_panel.progressCompleted(); }
    // Opens the row's book at its first hit and hands its results to Find.
    void activateRow(int row);

    // --- the table's rows: one per book (StudyPaneResultList) ---
    int resultRowCount() const override;
    QVariant resultData(int row, int role) const override;
    QString resultColumnTitle() const override;

private:
    void loadView() override;
    void addItemToResults(quint64 searchID, const SourceTuple::Ptr& book, const std::shared_ptr<SearchSession>& s);
    void bookFinished(quint64 searchID);
    void searchProgressUpdate(double add, double increment, quint64 searchID);
    void updateHeader();
    qint64 installedBookCount() const;
    void reloadTable();

    StudyPaneSearchPanel m_panel;
    QMenu* m_menu = nullptr;
    StudyPaneResultListModel* m_model = nullptr;
    quint64 m_searchID = 0;
    quint64 m_sortBy = kSortByCounts;
    std::vector<Row> m_results;
    std::vector<std::shared_ptr<SearchSession>> m_sessions;  // every book of the current search
    std::optional<QString> m_tableViewHeaderString;
    StudyPaneRecentSearches m_recents;
};
