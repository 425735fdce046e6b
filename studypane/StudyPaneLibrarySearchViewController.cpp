#include "studypane/StudyPaneLibrarySearchViewController.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/SettingsKeys.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchResultsAggregator.h"
#include "search/execution/SourceTupleSearchBook.h"
#include "studypane/StudyPaneHitList.h"
#include "studypane/StudyPaneNotifications.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>

#include <algorithm>

namespace {

struct LibraryRun {
    const char* title;
    const char* interpretation;
};
constexpr LibraryRun kRuns[] = {
    {"Did You Mean 'Go To'?", kInterpretationGoto},
    {"Referenced Here", kInterpretationXref},
    {"Exact Match", kInterpretationExact},
    {"All Words", kInterpretationAll},
};

// A row: the book's name above its two counts with their labels.
class LibrarySearchTableCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(option.rect.width(), StudyPaneLibrarySearchViewController::rowHeight(option.font));
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        if (option.state & QStyle::State_Selected)
            painter->fillRect(option.rect, option.palette.highlight());
        const QRect r = option.rect.adjusted(6, 4, -6, -4);
        QFont bold = option.font;
        bold.setBold(true);
        const QFontMetrics boldMetrics(bold);
        painter->setPen(option.palette.text().color());
        painter->setFont(bold);
        painter->drawText(QRect(r.x(), r.y(), r.width(), boldMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
            boldMetrics.elidedText(index.data().toString(), Qt::ElideRight, r.width()));
        painter->setFont(option.font);
        const int line = option.fontMetrics.height();
        const int half = r.width() / 2;
        const QRect counts(r.x(), r.bottom() - line, half, line);
        const auto [exact, allWords] = StudyPaneLibrarySearchViewController::countLabels(
            index.data(StudyPaneLibrarySearchViewController::ExactCountRole).toUInt(),
            index.data(StudyPaneLibrarySearchViewController::AllWordsCountRole).toUInt());
        painter->drawText(counts, Qt::AlignLeft | Qt::AlignVCenter, exact);
        painter->drawText(counts.translated(half, 0), Qt::AlignLeft | Qt::AlignVCenter, allWords);
        painter->setPen(option.palette.mid().color());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
        StudyPaneHitDelegate::paintCurrentFrame(painter, option);
    }
};

}  // namespace

int StudyPaneLibrarySearchViewController::rowHeight(const QFont& font)
{
    // The bold name and the line of counts, with the cell's margins and a gap between them.
    QFont bold = font;
    bold.setBold(true);
    return std::max(kRowHeight, 4 + QFontMetrics(bold).height() + 6 + QFontMetrics(font).height() + 4);
}

std::pair<QString, QString> StudyPaneLibrarySearchViewController::countLabels(quint32 exact, quint32 allWords)
{
    return {QStringLiteral("Exact Match: %1").arg(exact), QStringLiteral("All Words: %1").arg(allWords)};
}

SearchResultsAggregator& StudyPaneLibrarySearchViewController::Row::aggregator() const
{
    return session->aggregator();
}

StudyPaneLibrarySearchViewController::StudyPaneLibrarySearchViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host)
    : StudyPaneSubpane(std::move(env), host), m_recents(m_env.defaults, SettingsKeys::LibrarySearchRecentSearches)
{
    if (m_env.center != nullptr) {
        auto reload = [this](Notification&) { reloadTable(); };
        observe(PaneNotifications::qsDevotionalStartDateHasChangedNotification, reload);
        observe(PaneNotifications::DisplayPreferencesChangedNotification, reload);
    }
}

StudyPaneLibrarySearchViewController::~StudyPaneLibrarySearchViewController()
{
    stopObserving();
    for (const auto& s : m_sessions)
        s->cancel();
    delete m_menu;
}

std::vector<SearchRunRequest> StudyPaneLibrarySearchViewController::searchRequests(bool isReference)
{
    std::vector<SearchRunRequest> out;
    for (const LibraryRun& run : kRuns) {
        if (isReference && out.size() == 2)
            break;
        SearchRunRequest r;
        r.title = run.title;
        r.options.interpretation = run.interpretation;
        out.push_back(std::move(r));
    }
    return out;
}

bool StudyPaneLibrarySearchViewController::isVerseReference(const QString& text)
{
    BibleRef ref;
    return ref.parse(text) && !ref.isBookOnly();
}

void StudyPaneLibrarySearchViewController::loadView()
{
    auto* v = createView(QStringLiteral("StudyPaneLibrarySearchView"));
    m_panel.build(v, QStringLiteral("Search Library"), QStringLiteral("Recent searches"));
    auto* table = new QTableView(v);
    table->setObjectName(QStringLiteral("searchResultsTableView"));
    m_model = new StudyPaneResultListModel(*this, {}, this);
    if (!m_tableViewHeaderString)
        updateHeader();
    table->setModel(m_model);
    table->setItemDelegate(new LibrarySearchTableCellDelegate(table));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setShowGrid(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_panel.layOut(v, table, [this](int row) { activateRow(row); });

    connect(m_panel.searchField(), &QLineEdit::returnPressed, this, [this] { searchStringEntered(); });
    connect(m_panel.refreshButton(), &QToolButton::clicked, this, [this] { onRefreshButton(); });
    m_menu = new QMenu(QStringLiteral("Search Menu"));
    m_panel.showRecentSearches(m_menu, m_recents, [this] { searchStringEntered(); });
    m_panel.setMenu([this] { return m_menu; });
}

void StudyPaneLibrarySearchViewController::studyPaneDidActivateSubview()
{
    if (QLineEdit* field = m_panel.searchField())
        field->setFocus(Qt::OtherFocusReason);
}

void StudyPaneLibrarySearchViewController::exitIsImminent()
{
    stopObserving();
    for (const auto& s : m_sessions)
        s->cancel();
}

qint64 StudyPaneLibrarySearchViewController::installedBookCount() const
{
    return m_env.library != nullptr ? m_env.library->allSources()->count() : 0;
}

void StudyPaneLibrarySearchViewController::searchStringEntered()
{
    view();
    m_tableViewHeaderString.reset();
    m_panel.startProgress();
    const QString text = m_panel.searchField()->text();
    m_recents.remember(text);
    const bool reference = isVerseReference(text);
    const quint64 id = ++m_searchID;
    // The sessions of the previous search stop before their next run; their late items are dropped.
    for (const auto& s : m_sessions)
        s->cancel();
    m_sessions.clear();
    m_results.clear();
    reloadTable();
    const SourceTupleArray::Ptr books = m_env.library != nullptr ? m_env.library->allSources() : nullptr;
    const qint64 count = books != nullptr ? books->count() : 0;
    searchProgressUpdate(double(count), 0, id);
    const std::u16string query = text.toStdU16String();
    QPointer<StudyPaneLibrarySearchViewController> self(this);
    for (qint64 i = 0; i < count; ++i) {
        const SourceTuple::Ptr book = books->tupleAtIndex(i);
        if (book == nullptr) {
            searchProgressUpdate(0, 1, id);
            continue;
        }
        auto session = SearchSession::create();
        m_sessions.push_back(session);
        std::weak_ptr<SearchSession> weak = session;
        session->start(SourceTupleSearchBook::forTuple(book), query, searchRequests(reference),
            {[self, id, book, weak](const SearchResultsItemPtr&) {
                 if (std::shared_ptr<SearchSession> s = weak.lock(); self && s)
                     self->addItemToResults(id, book, s);
             },
                [self, id] {
                    if (self)
                        self->bookFinished(id);
                }});
        session->aggregator().searchedSourceTupleID = book->sourceTupleID();
    }
    updateHeader();
}

void StudyPaneLibrarySearchViewController::addItemToResults(
    quint64 searchID, const SourceTuple::Ptr& book, const std::shared_ptr<SearchSession>& session)
{
    if (searchID != m_searchID)
        return;
    Row row;
    row.book = book;
    row.session = session;
    const SearchResultsAggregator& agg = session->aggregator();
    for (std::size_t i = 0; i < agg.numSearchResultsItems(); ++i) {
        const SearchResultsItemPtr item = agg.searchResultsAtIndex(i);
        if (item == nullptr || !item->complete)
            continue;
        if (item->interpretation == kInterpretationAll)
            row.allWordsCount += item->hitCount();
        else
            row.exactCount += item->hitCount();
    }
    std::erase_if(m_results, [&session](const Row& r) { return r.session == session; });
    auto at = std::find_if(m_results.begin(), m_results.end(), [&row](const Row& r) {
        return r.exactCount < row.exactCount || (r.exactCount == row.exactCount && r.allWordsCount < row.allWordsCount);
    });
    m_results.insert(at, std::move(row));
    reloadTable();
}

void StudyPaneLibrarySearchViewController::bookFinished(quint64 searchID)
{
    searchProgressUpdate(0, 1, searchID);
}

void StudyPaneLibrarySearchViewController::searchProgressUpdate(double add, double increment, quint64 searchID)
{
    if (searchID != m_searchID || m_panel.progressBar() == nullptr)
        return;
    m_panel.updateProgress(add, increment);
    if (m_panel.progressCount() != 0)
        updateHeader();
}

void StudyPaneLibrarySearchViewController::updateHeader()
{
    if (searchProgressCompleted() != searchProgressCount())
        m_tableViewHeaderString = QStringLiteral("Searched %1 of %2 Books in Library")
                                      .arg(quint64(searchProgressCompleted()))
                                      .arg(quint64(searchProgressCount()));
    else
        m_tableViewHeaderString = QStringLiteral("%1 Books in Library").arg(installedBookCount());
    if (m_model != nullptr)
        m_model->columnTitleChanged();
}

void StudyPaneLibrarySearchViewController::reloadTable()
{
    if (m_model == nullptr)
        return;
    if (!m_tableViewHeaderString)
        updateHeader();
    m_model->reload();
}

void StudyPaneLibrarySearchViewController::activateRow(int row)
{
    if (row >= 0 && static_cast<std::size_t>(row) < m_results.size()) {
        const Row& r = m_results[static_cast<std::size_t>(row)];
        const SearchResultsAggregator& agg = r.aggregator();
        quint32 section = 0;
        for (std::size_t i = 0; i < agg.numSearchResultsItems(); ++i) {
            const SearchResultsItemPtr item = agg.searchResultsAtIndex(i);
            if (item != nullptr && item->hitCount() > 0) {
                section = item->searchResultsBitVector->first(true);
                break;
            }
        }
        if (r.book->docSupports(kDocSupportsIsBible) && section != 0)
            emit recentVerseVisited(r.book->locations().keyForSection(section), r.book->record().abbr);
        if (m_env.center != nullptr) {
            GoToRequest go;
            go.sourceTupleID = r.book->sourceTupleID();
            go.sync = true;
            go.activate = true;
            go.activatePane = true;
            go.layoutUuid = layoutUuid();
            if (section != 0)
                go.section = section;
            go.post(*m_env.center, nullptr);
            m_env.center->postNotificationName(StudyPaneNotifications::StartSearchWithLibrarySearchResultsNotification,
                nullptr,
                {{QStringLiteral("searchSpec"), m_panel.searchField()->text()},
                    {QStringLiteral("sourceTupleID"), QVariant::fromValue(r.book->sourceTupleID())}});
        }
    }
    m_panel.clearSelection();
}

// --- rows ---

int StudyPaneLibrarySearchViewController::resultRowCount() const
{
    return int(std::min<std::size_t>(m_results.size(), std::numeric_limits<int>::max()));
}

QString StudyPaneLibrarySearchViewController::resultColumnTitle() const
{
    return m_tableViewHeaderString.value_or(QString());
}

QVariant StudyPaneLibrarySearchViewController::resultData(int row, int role) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_results.size())
        return {};
    const Row& r = m_results[static_cast<std::size_t>(row)];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return r.book->record().name;
    case ExactCountRole:
        return r.exactCount;
    case AllWordsCountRole:
        return r.allWordsCount;
    case Qt::AccessibleDescriptionRole: {
        const auto [exact, allWords] = countLabels(r.exactCount, r.allWordsCount);
        return QStringLiteral("%1, %2").arg(exact, allWords);
    }
    default:
        return {};
    }
}
