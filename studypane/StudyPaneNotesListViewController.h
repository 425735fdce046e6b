// The notes list (tab 5, "FindNote") and the journal list (tab 7) of the study pane: the notes of one
// book, or the journal's notes, found by a query over their text. The plain list follows the book of
// the current book pane; the journal list is fixed to the journal pseudo-book and has an add button
// instead of the refresh button. A query runs one search of the notes, or six with the enhanced
// search on (all words, same root word, sounds-like word), on the search pool; their sections fill a
// table whose rows show each note's title and text. Choosing a row goes to the note's place and
// shows the note in the note viewer.
//
// The list keeps its results up to date as notes change. A change of one Bible or book note of the
// searched book is applied to the results by testing that note alone; other changes (journal notes,
// changes without a named note) run the search again, at most once per second however many saves
// arrive meanwhile, so the editor's autosaves never start a search per keystroke.
//
// The class operations test and delete notes for the book pane and the note viewer; their deletions
// post "qsNotesHaveChangedNotification" with "deletedNote".
//
// Owned by the study pane controller; owns its view, menus and search session. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"
#include "search/execution/SearchExecutor.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneHitList.h"
#include "studypane/StudyPaneSearchPanel.h"
#include "studypane/StudyPaneSubpane.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class SearchProgressDelegate;
class SearchResultsAggregator;
class SourceTupleID;
class StudyPaneRecentSearches;

class StudyPaneNotesListViewController : public StudyPaneSubpane {
    Q_OBJECT
public:
    static constexpr int kEnhancedMenuTag = 101;
    // The longest wait between a note change and the search it makes run again.
    static constexpr int kRerunDelayMs = 1000;

    explicit StudyPaneNotesListViewController(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneNotesListViewController() override;
    // The journal list: fixed to the journal pseudo-book.
    static std::unique_ptr<StudyPaneNotesListViewController> journalList(
        const StudyPaneEnvironment& env, StudyPaneViewController* host = nullptr);

    // --- class operations ---
    static bool blockHasNote(const StudyPaneEnvironment& env, quint32 block, SourceTuple& book);
    // The deletions post on the centre (nothing is posted without one).
    static void deleteNoteForSection(const StudyPaneEnvironment& env, quint32 section, const SourceTupleID& book);
    static void deleteNoteForKey(const StudyPaneEnvironment& env, quint32 key);
    static void deleteJournalNoteWithTitle(const StudyPaneEnvironment& env, const QString& title);

    // The runs of a query: one ("*" or exact), or six with the enhanced search.
    static std::vector<SearchRunRequest> searchRequests(const QString& query, bool enhanced);

    void studyPaneDidActivateSubview() override;
    void exitIsImminent() override;

    void setConstantSourceTuple(SourceTuple::Ptr book) { m_constantSourceTuple = std::move(book); }

    QLineEdit* searchField() const { return m_panel.searchField(); }
    QTableView* searchResultsTableView() const { return m_panel.table(); }
    QToolButton* refreshButton() const { return m_panel.refreshButton(); }

    SearchResultsAggregator& searchResultsAggregator() { return m_hits.aggregator(); }
    SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID& id) override
    {
        return m_hits.resultsFor(id);
    }

    // Searches the field's text (blank: "*") in the list's book.
    void searchStringEntered();
    void onRefreshButton() { searchStringEntered(); }
    void searchFor(const QString& query, const SourceTuple::Ptr& book);
    void onEnhancedSearchOptionSelected();
    void onAddButton();
    // Activates a row as a click does.
    void activateRow(int row);
    // Number of full searches started (for tests and diagnostics).
    int searchesStarted() const { return m_searchesStarted; }
    bool isRerunPending() const { return m_rerunTimer.isActive(); }

    void searchProgressAddToCount(double count, quint64 searchID) { searchProgressUpdate(count, 0, searchID); }
    void searchProgressIncrementBy(double count, quint64 searchID) { searchProgressUpdate(0, count, searchID); }
    double searchProgressCount() const { return m_panel.progressCount(); }
    double searchProgressCompleted() const { return m_panel.progressCompleted(); }

    // The note text a result row shows.
    QString noteTextForPosition(quint32 position) const;
    SourceTuple::Ptr searchedBook() const;

private:
    void loadView() override;
    SourceTuple::Ptr chosenBook() const;
    void notesHaveChanged(const Notification& n);
    bool applyChangeOfOneNote(const Notification& n);
    void rerunLastSearch();
    // The status line: what a finished search that found nothing looked for, and in which notes.
    void showWhetherFound();
    void followActiveBook(const Notification& n);
    void searchProgressUpdate(double add, double increment, quint64 searchID);
    void cleanSavedJournalResults();
    // What a note's row shows: its place's title and its text.
    QVariant hitData(const SearchResultsAggregator& results, int row, int role) const;

    SourceTuple::Ptr m_constantSourceTuple;
    StudyPaneSearchPanel m_panel;
    StudyPaneHitList m_hits;
    QMenu* m_menu = nullptr;
    std::unique_ptr<StudyPaneRecentSearches> m_recents;
    QTimer m_rerunTimer;
    std::shared_ptr<SearchProgressDelegate> m_progressDelegate;
    std::vector<SearchRunRequest> m_requests;  // the runs of the last search, by order
    SourceTuple::Ptr m_searchedBook;
    int m_searchesStarted = 0;
    bool m_searchComplete = false;
};
