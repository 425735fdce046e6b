// The Find sub-pane (tab 1 of the study pane): searches the book of the active book pane for the
// text typed into its search field, in the full query language. One entry starts up to ten runs of
// different kinds at once on the search pool (two when the text is a verse reference); their results
// arrive one kind at a time and are shown as the sections of one table ("Did You Mean 'Go To'?",
// "Referenced Here", "Exact Match", ...), hit rows of a Bible with the verse's text and the found
// words marked. A progress bar follows the work; activating a hit posts a go-to request for it; a
// search that finds exactly one place to go to goes there at once. A new search drops the results
// and progress of the one before (search ids). Bibles can be searched within one of fifteen limits; a
// custom limit that does not parse is named in the limit label, in place of empty results.
//
// Owned by the study pane controller; owns its view, its search session and its menus. Main thread
// only (the runs themselves execute on the search pool).
#pragma once

#include "library/GoToRequest.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneHitList.h"
#include "studypane/StudyPaneRecentSearches.h"
#include "studypane/StudyPaneSearchPanel.h"
#include "studypane/StudyPaneSubpane.h"

#include <QObject>

#include <memory>
#include <optional>
#include <vector>

class SearchProgressDelegate;
class SearchResultsAggregator;
class SourceTupleID;
class SearchResultsItem;

class StudyPaneSearchResultsViewController : public StudyPaneSubpane {
    Q_OBJECT
public:
    static constexpr int kLimitCount = 15;

    explicit StudyPaneSearchResultsViewController(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneSearchResultsViewController() override;

    void studyPaneDidActivateSubview() override;

    QLineEdit* searchField() const { return m_panel.searchField(); }
    QTableView* searchResultsTableView() const { return m_panel.table(); }
    QLabel* searchLimitTextField() const { return m_limitLabel; }
    QToolButton* searchMenuButton() const { return m_panel.menuButton(); }

    // Starts a search of the field's text in the active book (nothing without one).
    void searchStringEntered();
    // Searches again, or stops the search while one runs (the button shows which).
    void onRefreshButton();
    QToolButton* refreshButton() const { return m_panel.refreshButton(); }
    // Stops the running search; the sections that arrived stay.
    void stopSearching();

    // --- recent searches (newest first, at most kMaxRecentSearches, kept in the user defaults) ---
    static constexpr int kMaxRecentSearches = StudyPaneRecentSearches::kMaxRecentSearches;

    SearchResultsAggregator& aggregator() { return m_hits.aggregator(); }
    // The results when they are of that book, else null.
    SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID& id) override;

    // --- limits ---
    static QString limitTitle(int tag);
    // The limit string of a tag (tag 1: the user's custom limits).
    QString limitString(int tag) const;
    // Chooses a limit as its menu item does; tag 1 asks for the custom limits (the environment's
    // `customLimitPrompt`, else an input dialog).
    void onSearchLimitSelected(int tag);

    // --- progress (main thread) ---
    void searchProgressAddToCount(double count, quint64 searchID);
    void searchProgressIncrementBy(double count, quint64 searchID);
    double searchProgressCount() const { return m_panel.progressCount(); }
    double searchProgressCompleted() const { return m_panel.progressCompleted(); }

    // Activates a row as a click does: a hit row posts a go-to request; every row is deselected.
    void activateRow(int row);
    // The menu of a hit row (a right-click, the keyboard's menu keys): go to it, open it in a new tab
    // of the window, copy its reference. Nothing for a section header.
    void fillRowMenu(QMenu* menu, int row);

private:
    void loadView() override;
    // The go-to request of a hit row; nothing for a header row or a book no longer installed.
    std::optional<GoToRequest> requestForRow(int row) const;
    void buildMenus();
    void addItemToResults(const std::shared_ptr<SearchResultsItem>& item);
    void searchCompleted();
    void searchProgressUpdate(double add, double increment, quint64 searchID);
    void thisSourceIsNowActive(const Notification& n);
    void startSearchWithLibrarySearchResults(const Notification& n);
    void updateLimitChecks(QMenu* menu);
    std::optional<QString> askForCustomLimit(const QString& current) const;
    // The limit label as the chosen limit names it.
    void showLimitLabel();
    // What a hit row shows: the place's title, and a Bible verse's text with the found words marked.
    QVariant hitData(const SearchResultsAggregator& results, int row, int role) const;
    // The searched book's name once the results say which book that is.
    std::optional<QString> searchedBookName() const;
    void setSearching(bool searching);
    // Puts the recent searches at the end of the menu (the template items of both menus).
    void fillRecentSearches(QMenu* menu);

    StudyPaneSearchPanel m_panel;
    StudyPaneHitList m_hits;
    QLabel* m_limitLabel = nullptr;
    QMenu* m_bibleMenu = nullptr;
    QMenu* m_nonBibleMenu = nullptr;
    QMenu* m_template = nullptr;
    std::shared_ptr<SearchProgressDelegate> m_progressDelegate;
    bool m_searchingABible = false;
    bool m_searching = false;
    qint64 m_limitTag = 0;
    bool m_limitRefused = false;  // the search's limit was not understood (the limit label says so)
    QString m_nothingFound;       // what the status line says should the search find nothing
    StudyPaneRecentSearches m_recents;
};
