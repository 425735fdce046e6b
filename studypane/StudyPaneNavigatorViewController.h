// The Navigator sub-pane (tab 9 of the study pane): for the verse the Bible panes of its layout are
// showing, lists where that verse is treated in the rest of the library. For every chosen book it
// runs the go-to and the cross-reference searches of the verse and shows per book a heading with
// the number of places found, the first few places (user default "maxNavRowsPerBook") and a row for
// the rest. It follows location sync when its auto-update box is on (user default
// "autoUpdateNavigator"); otherwise the refresh button searches the newest verse. Activating a row
// opens that book at the place; a heading or "more" row also hands the verse to the Find sub-pane.
//
// The books come from the navigator's element list: kinds of books, each with its books, each kind
// and book chosen or not. The environment's `navigatorElements` supplies it; without it the
// navigator searches the library's commentaries, dictionaries and other books. The settings button
// runs the environment's `runNavigatorSettings` (disabled without it).
//
// One search pool task per chosen element kind walks its books in turn and stops before the next
// book once a newer search started; the list is shown when every book's two results are in.
// Owned by the study pane controller. Main thread only.
#pragma once

#include "library/SourceTupleID.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneResultListModel.h"
#include "studypane/StudyPaneSubpane.h"

#include <QAbstractTableModel>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BibleRef;
struct GoToRequest;
class QCheckBox;
class QProgressBar;
class QTableView;
class QToolButton;
class SearchSession;
class SearchResultsItem;

struct NavigatorResultsPath {
    quint64 book = 0;   // index into the books of the last search
    qint64 item = -1;   // 0 go-to hits, 1 cross-reference hits, -1 none
    qint64 row = -1;    // row within the item, -1 none
    bool more = false;  // the "more results" row of the book
    bool operator==(const NavigatorResultsPath&) const = default;
};

class StudyPaneNavigatorViewController : public StudyPaneSubpane, public StudyPaneResultList {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 17;
    // Posted by the navigator settings after each change; every navigator reads "maxNavRowsPerBook"
    // again and searches its verse again.

    using Book = NavigatorBookChoice;
    using Element = NavigatorElementChoice;
    // The results of one searched book.
    struct BookResults {
        SourceTupleID id;
        SourceTuple::Ptr book;
        std::vector<uint32_t> gotoHits;  // in section order
        std::vector<uint32_t> xrefHits;  // in section order, without the go-to hits
        int itemsArrived = 0;
        quint64 total() const { return gotoHits.size() + xrefHits.size(); }
    };

    explicit StudyPaneNavigatorViewController(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneNavigatorViewController() override;

    QTableView* searchResultsTableView() const { return m_table; }
    QCheckBox* autoCheckBox() const { return m_autoCheckBox; }
    QToolButton* refreshButton() const { return m_refreshButton; }

    qint64 maxResultsPerBook() const { return m_maxResultsPerBook; }
    void setMaxResultsPerBook(qint64 value);
    quint64 searchID() const { return m_searchID; }
    const std::vector<BookResults>& results() const { return m_results; }
    // Every book of the last search has both results.
    bool isComplete() const;

    // Searches the verse (nothing for null).
    void searchForBibleRef(const BibleRef* ref);
    void onRefreshButton() { searchForBibleRef(m_lastBibleRef.get()); }
    void onAutoCheckBox(bool on);
    void onSettingsButton();
    // A location-sync request ({"layoutUuid", "bibleKey"}).
    void everybodySyncToMe(const GoToRequest& request);

    // --- rows ---
    int numberOfRows() const;
    NavigatorResultsPath resultsPathForTableRow(int row) const;
    QString textForRow(int row) const;
    bool isGroupRow(int row) const;
    // Activates a row as a click does (go-to request, and for headings the Find sub-pane's search).
    void activateRow(int row);

    // --- the table's rows (StudyPaneResultList) ---
    int resultRowCount() const override;
    QVariant resultData(int row, int role) const override;
    QString resultColumnTitle() const override;

    // The keys go to the list of places, where Return follows one and Escape gives them to the page.
    void studyPaneDidActivateSubview() override;

private:
    void loadView() override;
    std::vector<Element> defaultElements() const;
    void addItemToResults(size_t firstBook, const std::shared_ptr<SearchResultsItem>& item, quint64 searchID);
    uint32_t sectionForPath(const NavigatorResultsPath& path) const;
    void thisSourceIsNowActive(const Notification& n);

    QTableView* m_table = nullptr;
    StudyPaneResultListModel* m_model = nullptr;
    QCheckBox* m_autoCheckBox = nullptr;
    QToolButton* m_refreshButton = nullptr;
    QToolButton* m_settingsButton = nullptr;
    QProgressBar* m_progress = nullptr;
    qint64 m_maxResultsPerBook = 3;
    std::unique_ptr<BibleRef> m_lastBibleRef;
    QString m_tableViewHeaderString;
    quint64 m_searchID = 0;
    std::vector<BookResults> m_results;
    std::vector<std::shared_ptr<SearchSession>> m_sessions;
};
