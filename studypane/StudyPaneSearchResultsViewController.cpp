#include "studypane/StudyPaneSearchResultsViewController.h"
#include "platform/ui/PlainLabel.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchResultsAggregator.h"
#include "search/execution/SourceTupleSearchBook.h"
#include "studypane/SearchResultPage.h"
#include "studypane/StudyPaneNoteEditorKeys.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneProgressForwarder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace {

struct Limit {
    const char* title;
    const char* limit;
};
constexpr Limit kLimits[StudyPaneSearchResultsViewController::kLimitCount] = {
    {"No Limits (Includes Front/Back Matter)", ""},
    {"Custom Limits", nullptr},
    {"Entire Bible (Genesis-Revelation)", "Genesis-Revelation"},
    {"Old Testament (Genesis-Malachi)", "Genesis-Malachi"},
    {"New Testament (Matthew-Revelation)", "Matthew-Revelation"},
    {"Pentateuch (Genesis-Deuteronomy)", "Genesis-Deuteronomy"},
    {"History (Joshua-Esther)", "Joshua-Esther"},
    {"Poetry (Job-Song of Solomon)", "Job-Song of Solomon"},
    {"Major Prophets (Isaiah-Daniel)", "Isaiah-Daniel"},
    {"Minor Prophets (Hosea-Malachi)", "Hosea-Malachi"},
    {"Gospels (Matthew-John)", "Matthew-John"},
    {"Acts", "Acts"},
    {"Pauline Epistles (Romans-Philemon)", "Romans-Philemon"},
    {"Other Epistles (Hebrews-Jude)", "Hebrews-Jude"},
    {"Revelation", "Revelation"},
};

// The search field's view: the field with its menu and refresh buttons above the limit label, the
// progress bar and the table. The field keeps x 0 and a width of at least 100.
class SearchResultsView : public QWidget {
public:
    using QWidget::QWidget;
};

}  // namespace

StudyPaneSearchResultsViewController::StudyPaneSearchResultsViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host)
    : StudyPaneSubpane(std::move(env), host),
      m_hits([this](const SearchResultsAggregator& results, int row, int role) { return hitData(results, row, role); },
          [this] { return searchedBookName(); }),
      m_recents(m_env.defaults, SettingsKeys::FindRecentSearches)
{
    m_progressDelegate = std::make_shared<StudyPaneProgressForwarder<StudyPaneSearchResultsViewController>>(this);
    if (m_env.center != nullptr) {
        auto reload = [this](Notification&) { m_hits.reload(); };
        observe(PaneNotifications::qsDevotionalStartDateHasChangedNotification, reload);
        observe(PaneNotifications::DisplayPreferencesChangedNotification, reload);
        observe(PaneNotifications::ThisSourceIsNowActiveNotification,
            [this](Notification& n) { thisSourceIsNowActive(n); });
        observe(StudyPaneNotifications::StartSearchWithLibrarySearchResultsNotification,
            [this](Notification& n) { startSearchWithLibrarySearchResults(n); });
    }
}

StudyPaneSearchResultsViewController::~StudyPaneSearchResultsViewController()
{
    stopObserving();
    m_hits.session().cancel();
    delete m_bibleMenu;
    delete m_nonBibleMenu;
}

void StudyPaneSearchResultsViewController::loadView()
{
    auto* v = createView<SearchResultsView>(QStringLiteral("StudyPaneSearchResultsView"));
    m_panel.build(v, QStringLiteral("Search"), QStringLiteral("Search options"));
    m_panel.searchField()->setMinimumWidth(100);
    m_limitLabel = new PlainLabel(v);
    m_limitLabel->setObjectName(QStringLiteral("searchLimitTextField"));
    m_limitLabel->setTextFormat(Qt::PlainText);
    m_limitLabel->setWordWrap(true);
    m_panel.layOut(
        v, m_hits.makeTable(v, this, m_env.defaults), [this](int row) { activateRow(row); }, m_limitLabel);

    connect(m_panel.searchField(), &QLineEdit::returnPressed, this, [this] { searchStringEntered(); });
    connect(m_panel.refreshButton(), &QToolButton::clicked, this, [this] { onRefreshButton(); });
    m_panel.setMenu([this] { return m_template; });
    m_panel.setRowMenu([this](QMenu* menu, int row) { fillRowMenu(menu, row); });

    buildMenus();
    m_template = m_bibleMenu;
    m_limitLabel->hide();
}

void StudyPaneSearchResultsViewController::buildMenus()
{
    m_nonBibleMenu = new QMenu(QStringLiteral("Search Menu"));
    fillRecentSearches(m_nonBibleMenu);
    m_bibleMenu = new QMenu(QStringLiteral("Search Menu"));
    QAction* heading = m_bibleMenu->addAction(QStringLiteral("Search Limits"));
    heading->setEnabled(false);
    heading->setData(100);
    for (int tag = 0; tag < kLimitCount; ++tag) {
        QAction* a = m_bibleMenu->addAction(limitTitle(tag));
        a->setData(tag);
        a->setCheckable(true);
        a->setChecked(tag == m_limitTag);
        connect(a, &QAction::triggered, this, [this, tag] { onSearchLimitSelected(tag); });
    }
    m_bibleMenu->addSeparator()->setData(StudyPaneRecentSearches::kTitleTag - 1);
    fillRecentSearches(m_bibleMenu);
    for (QMenu* menu : {m_bibleMenu, m_nonBibleMenu})
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillRecentSearches(menu); });
}

void StudyPaneSearchResultsViewController::fillRecentSearches(QMenu* menu)
{
    // The recent-search part of a menu is everything after its limits: rebuilt from the defaults.
    m_recents.fill(menu, [this](const QString& text) {
        view();
        m_panel.searchField()->setText(text);
        searchStringEntered();
    });
}

QString StudyPaneSearchResultsViewController::limitTitle(int tag)
{
    return tag >= 0 && tag < kLimitCount ? QString::fromUtf8(kLimits[tag].title) : QString();
}

QString StudyPaneSearchResultsViewController::limitString(int tag) const
{
    if (tag == 1)
        return m_env.defaults != nullptr ? m_env.defaults->value(SettingsKeys::CustomSearchLimits) : QString();
    return tag >= 0 && tag < kLimitCount ? QString::fromUtf8(kLimits[tag].limit) : QString();
}

void StudyPaneSearchResultsViewController::updateLimitChecks(QMenu* menu)
{
    if (menu == nullptr)
        return;
    for (QAction* a : menu->actions()) {
        bool ok = false;
        const int tag = a->data().toInt(&ok);
        if (ok && tag >= 0 && tag < kLimitCount)
            a->setChecked(tag == m_limitTag);
    }
}

void StudyPaneSearchResultsViewController::onSearchLimitSelected(int tag)
{
    if (tag < 0 || tag >= kLimitCount)
        return;
    view();
    const qint64 oldTag = m_limitTag;
    m_limitTag = tag;
    updateLimitChecks(m_bibleMenu);
    const QString oldCustom = limitString(1);
    QString custom = oldCustom;
    if (tag == 1) {
        if (std::optional<QString> entered = askForCustomLimit(oldCustom)) {
            custom = *entered;
            if (m_env.defaults != nullptr)
                m_env.defaults->set(SettingsKeys::CustomSearchLimits, custom);
        }
    }
    showLimitLabel();
    const SourceTuple::Ptr book = m_env.activeBook ? m_env.activeBook() : nullptr;
    if (book != nullptr && book->docSupports(kDocSupportsIsBible) &&
        (tag != oldTag || (tag == 1 && custom != oldCustom)))
        searchStringEntered();
}

void StudyPaneSearchResultsViewController::showLimitLabel()
{
    const int tag = int(m_limitTag);
    if (tag == 1)
        m_limitLabel->setText(QStringLiteral("Custom Limit: %1").arg(limitString(1)));
    else if (tag >= 2)
        m_limitLabel->setText(QStringLiteral("Limit: %1").arg(limitTitle(tag)));
    else
        m_limitLabel->setText(QString());
    m_limitLabel->setStyleSheet(QString());
}

void StudyPaneSearchResultsViewController::searchStringEntered()
{
    view();
    const SourceTuple::Ptr book = m_env.activeBook ? m_env.activeBook() : nullptr;
    if (book == nullptr)
        return;
    const QString text = m_panel.searchField()->text();
    m_recents.remember(text);
    m_searchingABible = book->docSupports(kDocSupportsIsBible);
    // A section's count is the number of rows it lists.
    m_hits.setCounted({});
    // The column names the book searched from the start (results of the previous book may still be
    // drawn until the first item of this search arrives).
    m_hits.setTitle(book->record().name);
    m_panel.startProgress();

    BibleRef ref;
    const bool isReference = ref.parse(text) && !ref.isBookOnly();
    const QString limit = m_searchingABible ? limitString(int(m_limitTag)) : QString();
    showLimitLabel();
    m_limitRefused = false;
    m_panel.showStatus(QString());
    // A reference is looked up in the whole book; words within the limit.
    m_nothingFound = limit.trimmed().isEmpty() || isReference
        ? QStringLiteral("Nothing was found for \u201C%1\u201D in %2.").arg(text.trimmed(), book->record().name)
        : QStringLiteral("Nothing was found for \u201C%1\u201D in %2, %3.")
              .arg(text.trimmed(), book->record().name, limit);

    std::vector<SearchRunRequest> requests = SearchSession::standardRequests();
    if (isReference)
        requests.resize(2);
    const QString uuid = layoutUuid();
    for (size_t i = 0; i < requests.size(); ++i) {
        requests[i].options.progressDelegate = m_progressDelegate;
        if (!uuid.isEmpty())
            requests[i].options.layoutUuid = uuid.toStdString();
        if (i >= 2)
            requests[i].options.searchlimits = limit.toStdU16String();
    }
    const size_t runs = requests.size();
    QPointer<StudyPaneSearchResultsViewController> self(this);
    const uint64_t id =
        m_hits.session().start(SourceTupleSearchBook::forTuple(book), text.toStdU16String(), std::move(requests),
            {[self](const SearchResultsItemPtr& item) {
                 if (self)
                     self->addItemToResults(item);
             },
                [self] {
                    if (self)
                        self->searchCompleted();
                }});
    // One unit of this pane's own per run, done when its result arrives.
    searchProgressAddToCount(double(runs), id);
    setSearching(true);
    m_limitLabel->setVisible(m_searchingABible);
    m_hits.reload();
}

void StudyPaneSearchResultsViewController::addItemToResults(const std::shared_ptr<SearchResultsItem>& item)
{
    // The session has taken the item into the aggregator (items of older searches never get here).
    m_hits.reload();
    searchProgressIncrementBy(1, item->searchID);
    if (item->limitNotUnderstood)
        m_limitRefused = true;
    if (item->limitNotUnderstood && m_limitLabel != nullptr) {
        // Nothing was searched: say why rather than show empty results.
        m_limitLabel->setText(QStringLiteral("The search limit \"%1\" was not understood; nothing was searched.")
                                  .arg(limitString(int(m_limitTag))));
        m_limitLabel->setStyleSheet(QStringLiteral("color: #C00000;"));
        m_limitLabel->show();
    }
    if (item->interpretation == "goto" && item->hitCount() == 1) {
        const uint32_t section = item->searchResultsBitVector->first(true);
        const SourceTupleID id = aggregator().searchedSourceTupleID;
        GoToRequest r;
        r.layoutUuid = layoutUuid();
        r.section = section;
        r.sourceTupleID = id;
        r.wordSync = m_panel.searchField()->text();
        r.sync = true;
        if (m_searchingABible && m_env.library != nullptr) {
            if (SourceTuple::Ptr book = m_env.library->allSources()->tupleForSourceTupleID(id))
                emit recentVerseVisited(book->locations().keyForSection(section), book->record().abbr);
        }
        if (m_env.center != nullptr)
            r.post(*m_env.center, this);
    }
}

void StudyPaneSearchResultsViewController::onRefreshButton()
{
    if (m_searching)
        stopSearching();
    else
        searchStringEntered();
}

void StudyPaneSearchResultsViewController::stopSearching()
{
    if (!m_searching)
        return;
    m_hits.session().stop();
    setSearching(false);
    m_panel.hideProgress();
    m_hits.reload();
    // What was found stands as the result: the book panes mark it.
    if (m_env.center != nullptr)
        m_env.center->postNotificationName(PaneNotifications::qsSearchHasCompletedNotification);
}

void StudyPaneSearchResultsViewController::setSearching(bool searching)
{
    m_searching = searching;
    QToolButton* button = m_panel.refreshButton();
    if (button == nullptr)
        return;
    button->setText(searching ? QStringLiteral("\u25A0") : QStringLiteral("\u21BB"));
    button->setToolTip(searching ? QStringLiteral("Stop searching") : QStringLiteral("Search again"));
}

void StudyPaneSearchResultsViewController::searchCompleted()
{
    setSearching(false);
    if (m_hits.resultRowCount() == 0 && !m_limitRefused)
        m_panel.showStatus(m_nothingFound);
    if (m_env.center != nullptr)
        m_env.center->postNotificationName(PaneNotifications::qsSearchHasCompletedNotification);
}

void StudyPaneSearchResultsViewController::searchProgressAddToCount(double count, quint64 searchID)
{
    searchProgressUpdate(count, 0, searchID);
}

void StudyPaneSearchResultsViewController::searchProgressIncrementBy(double count, quint64 searchID)
{
    searchProgressUpdate(0, count, searchID);
}

void StudyPaneSearchResultsViewController::searchProgressUpdate(double add, double increment, quint64 searchID)
{
    if (searchID == aggregator().searchID())
        m_panel.updateProgress(add, increment);
}

SearchResultsAggregator* StudyPaneSearchResultsViewController::searchResultsAggregatorForTuple(const SourceTupleID& id)
{
    return m_hits.resultsFor(id);
}

void StudyPaneSearchResultsViewController::studyPaneDidActivateSubview()
{
    if (QLineEdit* field = m_panel.searchField())
        field->setFocus(Qt::OtherFocusReason);
}

void StudyPaneSearchResultsViewController::thisSourceIsNowActive(const Notification& n)
{
    if (!isLayoutCurrent())
        return;
    SourceTuple::Ptr book = n.userInfo.value(QStringLiteral("sourceTuple")).value<SourceTuple::Ptr>();
    if (book == nullptr && m_env.activeBook)
        book = m_env.activeBook();
    if (book == nullptr || !book->docSupports(kDocSupportsIsBible)) {
        m_template = m_nonBibleMenu;
    } else {
        updateLimitChecks(m_bibleMenu);
        m_template = m_bibleMenu;
    }
}

void StudyPaneSearchResultsViewController::startSearchWithLibrarySearchResults(const Notification& n)
{
    if (!isLayoutCurrent())
        return;
    emit showRequested();
    view();
    m_panel.searchField()->setText(n.userInfo.value(QStringLiteral("searchSpec")).toString());
    searchStringEntered();
}

std::optional<QString> StudyPaneSearchResultsViewController::askForCustomLimit(const QString& current) const
{
    if (m_env.customLimitPrompt)
        return m_env.customLimitPrompt(current);
    QString text;
    const bool ok = PlainLabel::getText(loadedView(), QStringLiteral("Custom Search Limit"),
        QStringLiteral("Enter the Bible passage you want to search.\n\nYou can search as few as one verse (\"John "
                       "3:16\"), a range of verses or chapters (\"Gen 1:1-2:3\" or \"Psalm 1-41\"), entire books "
                       "(\"Isaiah\" or \"Isaiah-Daniel\"), or combinations of these (\"Gen 1:1-2:3; John 1\" or "
                       "\"Ps 119:1,9,17,25,33,41,49,57\")."),
        current, &text);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

std::optional<QString> StudyPaneSearchResultsViewController::searchedBookName() const
{
    // The column is named after the searched book once the results say which book that is.
    const SourceTupleID& id = m_hits.aggregator().searchedSourceTupleID;
    if (!id.isValid() || m_env.library == nullptr)
        return std::nullopt;
    if (SourceTuple::Ptr book = m_env.library->allSources()->tupleForSourceTupleID(id))
        return book->record().name;
    return std::nullopt;
}

std::optional<GoToRequest> StudyPaneSearchResultsViewController::requestForRow(int row) const
{
    const std::optional<quint32> position = m_hits.positionOfRow(row);
    SourceTuple::Ptr book = position.has_value() && m_env.library != nullptr
        ? m_env.library->allSources()->tupleForSourceTupleID(m_hits.aggregator().searchedSourceTupleID)
        : nullptr;
    if (book == nullptr)
        return std::nullopt;
    GoToRequest r;
    r.layoutUuid = layoutUuid();
    r.section = *position;
    r.sourceTuple = book;
    r.activate = true;
    r.sync = true;
    if (m_searchingABible) {
        if (const quint32 key = book->locations().keyForSection(*position); key != 0)
            r.bibleKey = key;
    }
    return r;
}

void StudyPaneSearchResultsViewController::activateRow(int row)
{
    if (const std::optional<GoToRequest> r = requestForRow(row)) {
        if (r->bibleKey.has_value())
            emit recentVerseVisited(*r->bibleKey, r->sourceTuple->record().abbr);
        if (m_env.center != nullptr)
            r->post(*m_env.center, this);
    }
    m_panel.clearSelection();
}

void StudyPaneSearchResultsViewController::fillRowMenu(QMenu* menu, int row)
{
    const std::optional<GoToRequest> request = requestForRow(row);
    if (!request.has_value())
        return;
    const QString title = m_hits.resultData(row, StudyPaneResultListModel::TitleRole).toString();
    connect(menu->addAction(title.isEmpty() ? tr("Go To") : tr("Go To %1").arg(title)), &QAction::triggered, this,
        [this, row] { activateRow(row); });
    QAction* newTab = menu->addAction(tr("Open in New Tab"));
    newTab->setEnabled(static_cast<bool>(m_env.openInNewTab));
    connect(newTab, &QAction::triggered, this, [this, request] {
        if (!m_env.openInNewTab)
            return;
        m_env.openInNewTab(*request);
        // The keys go with the place, to the new tab's page.
        StudyPaneNoteEditorKeys::focusCurrentBookPage(m_env.layoutManager);
    });
    QAction* copy = menu->addAction(tr("Copy Reference"));
    copy->setEnabled(!title.isEmpty());
    connect(copy, &QAction::triggered, this, [title] { QGuiApplication::clipboard()->setText(title); });
}

// --- hit rows ---

QVariant StudyPaneSearchResultsViewController::hitData(const SearchResultsAggregator& agg, int row, int role) const
{
    using Model = StudyPaneResultListModel;
    const bool large = m_searchingABible;
    if (role == Model::KindRole)
        return large ? Model::LargeHit : Model::SmallHit;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Model::TitleRole && role != Model::HtmlRole)
        return {};
    const uint32_t section = agg.positionValueForTablePath(agg.tablePathForRow(row));
    SourceTuple::Ptr book = m_env.library != nullptr
        ? m_env.library->allSources()->tupleForSourceTupleID(agg.searchedSourceTupleID)
        : nullptr;
    if (role != Model::HtmlRole) {
        return (book != nullptr && section != SearchResultsAggregator::kNoPosition)
            ? book->words().plainTextSearchResultTitleForSection(section)
            : QString();
    }
    if (!large)
        return {};
    QString body;
    if (book != nullptr && section != SearchResultsAggregator::kNoPosition) {
        const SearchWordListRef* words = agg.searchWordsForSection(section);
        // The Bible's excerpt style that marks the found words (the other renders the same verse
        // without them).
        body = book->words().htmlSearchResultTextForSection(section, words != nullptr ? &words->list : nullptr, 1);
    } else {
        body = QStringLiteral("<p>No Current Source Document</p>");
    }
    // The cells draw their HTML with a text document, which does not apply "display:none": the
    // page leaves out the elements the style sheet hides (Strong's numbers, footnotes, ...).
    return SearchResultPage::page(m_env.defaults, body);
}
