#include "studypane/StudyPaneNavigatorViewController.h"

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
#include "search/execution/SourceTupleSearchBook.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneSearchPanel.h"

#include <QCheckBox>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

std::vector<uint32_t> setBits(const BitVector* v)
{
    std::vector<uint32_t> out;
    if (v == nullptr || v->getCBitVector() == nullptr)
        return out;
    out.reserve(v->count(true));
    for (uint32_t s = v->first(true); s != cBitVector::kNone; s = v->nextAfter(s, true))
        out.push_back(s);
    return out;
}

}  // namespace

StudyPaneNavigatorViewController::StudyPaneNavigatorViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host)
    : StudyPaneSubpane(std::move(env), host)
{
    if (m_env.defaults != nullptr)
        m_maxResultsPerBook = std::max<qint64>(0, m_env.defaults->value(SettingsKeys::MaxNavRowsPerBook));
    if (m_env.center != nullptr) {
        observe(LibraryNotifications::EverybodySyncToMeNotification,
            [this](Notification& n) { everybodySyncToMe(GoToRequest::of(n)); });
        observe(PaneNotifications::ThisSourceIsNowActiveNotification,
            [this](Notification& n) { thisSourceIsNowActive(n); });
        // The navigator settings changed (the window may still be open): read them and search again.
        observe(StudyPaneNotifications::NavigatorSettingsChangedNotification, [this](Notification&) {
            if (m_env.defaults != nullptr)
                setMaxResultsPerBook(m_env.defaults->value(SettingsKeys::MaxNavRowsPerBook));
            onRefreshButton();
        });
    }
}

StudyPaneNavigatorViewController::~StudyPaneNavigatorViewController()
{
    stopObserving();
    for (const auto& s : m_sessions)
        s->cancel();
}

void StudyPaneNavigatorViewController::studyPaneDidActivateSubview()
{
    if (m_table != nullptr)
        m_table->setFocus(Qt::OtherFocusReason);
}

void StudyPaneNavigatorViewController::loadView()
{
    auto* v = createView(QStringLiteral("StudyPaneNavigatorView"));
    m_autoCheckBox = new QCheckBox(QStringLiteral("Auto-update"), v);
    m_autoCheckBox->setObjectName(QStringLiteral("autoCheckBox"));
    m_autoCheckBox->setToolTip(QStringLiteral("Follow the verse shown in the Bible panes"));
    m_refreshButton = new QToolButton(v);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    m_refreshButton->setText(QStringLiteral("Refresh"));
    m_settingsButton = new QToolButton(v);
    m_settingsButton->setObjectName(QStringLiteral("settingsButton"));
    m_settingsButton->setText(QStringLiteral("Settings..."));
    m_progress = new QProgressBar(v);
    m_progress->setObjectName(QStringLiteral("searchProgress"));
    m_progress->setRange(0, 0);  // indeterminate
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(6);
    m_progress->hide();
    m_table = new QTableView(v);
    m_table->setTabKeyNavigation(false);  // Tab leaves the list for the next control
    m_table->setObjectName(QStringLiteral("searchResultsTableView"));
    m_model = new StudyPaneResultListModel(*this, {}, this);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(std::max(kRowHeight, m_table->fontMetrics().height() + 2));
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setTextElideMode(Qt::ElideLeft);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_autoCheckBox);
    row->addStretch(1);
    row->addWidget(m_settingsButton);
    row->addWidget(m_refreshButton);
    auto* column = new QVBoxLayout(v);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    column->addLayout(row);
    column->addWidget(m_progress);
    column->addWidget(m_table, 1);

    const bool on = m_env.defaults != nullptr && m_env.defaults->value(SettingsKeys::AutoUpdateNavigator);
    m_autoCheckBox->setChecked(on);
    m_refreshButton->setEnabled(!on);
    m_settingsButton->setEnabled(static_cast<bool>(m_env.runNavigatorSettings));
    connect(m_autoCheckBox, &QCheckBox::toggled, this, [this](bool checked) { onAutoCheckBox(checked); });
    connect(m_refreshButton, &QToolButton::clicked, this, [this] { onRefreshButton(); });
    connect(m_settingsButton, &QToolButton::clicked, this, [this] { onSettingsButton(); });
    // A row clicked opens at once; the keys move the current row, and Return opens it.
    new StudyPaneRowKeys(
        m_table, nullptr, [this](int row) { activateRow(row); }, this);
}

void StudyPaneNavigatorViewController::setMaxResultsPerBook(qint64 value)
{
    value = std::max<qint64>(0, value);
    if (value != m_maxResultsPerBook && m_env.defaults != nullptr)
        m_env.defaults->set(SettingsKeys::MaxNavRowsPerBook, value);
    m_maxResultsPerBook = value;
    if (m_model != nullptr) {
        m_model->reload();
        m_model->columnTitleChanged();
    }
}

void StudyPaneNavigatorViewController::onAutoCheckBox(bool on)
{
    if (m_env.defaults != nullptr)
        m_env.defaults->set(SettingsKeys::AutoUpdateNavigator, on);
    if (m_autoCheckBox != nullptr && m_autoCheckBox->isChecked() != on) {
        const QSignalBlocker block(m_autoCheckBox);
        m_autoCheckBox->setChecked(on);
    }
    if (on)
        searchForBibleRef(m_lastBibleRef.get());
    if (m_refreshButton != nullptr)
        m_refreshButton->setEnabled(!on);
}

void StudyPaneNavigatorViewController::onSettingsButton()
{
    if (!m_env.runNavigatorSettings)
        return;
    m_env.runNavigatorSettings();
    if (m_env.defaults != nullptr)
        m_maxResultsPerBook = std::max<qint64>(0, m_env.defaults->value(SettingsKeys::MaxNavRowsPerBook));
    onRefreshButton();
}

void StudyPaneNavigatorViewController::everybodySyncToMe(const GoToRequest& request)
{
    const QString mine = layoutUuid();
    if (mine.isEmpty() || request.layoutUuid != mine || !request.bibleKey)
        return;
    quint32 key = *request.bibleKey;
    if ((key >> 16) == 0)
        return;
    // A heading stands for the verse it opens: a book's (chapter 0) its first chapter's first verse,
    // a chapter's (verse 0) the chapter's first verse.
    if ((key & 0xFF00) == 0)
        key = (key & 0xFFFF0000u) | 0x0101u;
    else if ((key & 0xFF) == 0)
        key |= 0x01u;
    BibleRef ref = BibleRef::bibleRefWithStartKey(key, key);
    if (ref.spellingUsingAbbreviatedBookName(false, false, false) == m_tableViewHeaderString)
        return;
    m_lastBibleRef = std::make_unique<BibleRef>(ref);
    const bool on = m_autoCheckBox != nullptr
        ? m_autoCheckBox->isChecked()
        : (m_env.defaults != nullptr && m_env.defaults->value(SettingsKeys::AutoUpdateNavigator));
    if (on)
        searchForBibleRef(m_lastBibleRef.get());
}

void StudyPaneNavigatorViewController::thisSourceIsNowActive(const Notification& n)
{
    // A Bible pane that becomes active in this layout is followed like a location sync of its verse.
    if (!isLayoutCurrent())
        return;
    const SourceTuple::Ptr book = n.userInfo.value(QStringLiteral("sourceTuple")).value<SourceTuple::Ptr>();
    if (book == nullptr || !book->docSupports(kDocSupportsIsBible))
        return;
    const quint32 key = book->locations().keyForSection(n.userInfo.value(QStringLiteral("section")).toUInt());
    if (key == 0)
        return;
    GoToRequest request;
    request.layoutUuid = layoutUuid();
    request.bibleKey = key;
    everybodySyncToMe(request);
}

std::vector<StudyPaneNavigatorViewController::Element> StudyPaneNavigatorViewController::defaultElements() const
{
    std::vector<Element> out;
    if (m_env.library == nullptr)
        return out;
    auto add = [&out](const QString& name, const SourceTupleArray::Ptr& list) {
        Element e;
        e.name = name;
        for (qint64 i = 0; list && i < list->count(); ++i) {
            if (SourceTuple::Ptr t = list->tupleAtIndex(i))
                e.books.push_back({SourceTupleID::sourceTupleIDForTuple(*t), true});
        }
        out.push_back(std::move(e));
    };
    add(QStringLiteral("Commentaries"), m_env.library->commentarySources());
    add(QStringLiteral("Dictionaries"), m_env.library->dictionarySources());
    add(QStringLiteral("Other Books"), m_env.library->otherSources());
    return out;
}

void StudyPaneNavigatorViewController::searchForBibleRef(const BibleRef* refIn)
{
    if (!refIn)
        return;
    view();
    BibleRef ref = *refIn;
    m_tableViewHeaderString = ref.spellingUsingAbbreviatedBookName(false, false, false);
    ++m_searchID;
    for (const auto& s : m_sessions)
        s->cancel();  // their tasks stop before their next book
    m_sessions.clear();
    m_results.clear();

    const std::vector<Element> elements = m_env.navigatorElements ? m_env.navigatorElements() : defaultElements();
    std::vector<SearchRunRequest> requests(2);
    requests[0].title = "Did You Mean 'Go To'?";
    requests[0].options.interpretation = "goto";
    requests[1].title = "Referenced Here";
    requests[1].options.interpretation = "xref";
    const std::u16string query = m_tableViewHeaderString.toStdU16String();
    const quint64 id = m_searchID;
    QPointer<StudyPaneNavigatorViewController> self(this);
    for (const Element& element : elements) {
        if (!element.checked)
            continue;
        std::vector<std::shared_ptr<const SearchBook>> books;
        const size_t first = m_results.size();
        for (const Book& b : element.books) {
            if (!b.checked)
                continue;
            BookResults r;
            r.id = b.id;
            r.book = m_env.library != nullptr ? m_env.library->allSources()->tupleForSourceTupleID(b.id) : nullptr;
            books.push_back(r.book ? SourceTupleSearchBook::forTuple(r.book) : nullptr);
            m_results.push_back(std::move(r));
        }
        if (books.empty())
            continue;
        auto session = SearchSession::create();
        session->searchBooks(std::move(books), query, requests,
            {[self, first, id](const SearchResultsItemPtr& item) {
                 if (self)
                     self->addItemToResults(first, item, id);
             },
                {}});
        m_sessions.push_back(std::move(session));
    }
    if (m_model != nullptr) {
        m_model->reload();
        m_model->columnTitleChanged();
    }
    if (m_progress != nullptr)
        m_progress->setVisible(!isComplete());
}

bool StudyPaneNavigatorViewController::isComplete() const
{
    return std::all_of(m_results.begin(), m_results.end(), [](const BookResults& r) { return r.itemsArrived >= 2; });
}

void StudyPaneNavigatorViewController::addItemToResults(
    size_t firstBook, const std::shared_ptr<SearchResultsItem>& item, quint64 searchID)
{
    if (searchID != m_searchID || item == nullptr)
        return;
    const size_t index = firstBook + static_cast<size_t>(item->searchResultsOrder / 2);
    if (index >= m_results.size())
        return;
    BookResults& r = m_results[index];
    std::vector<uint32_t> hits = setBits(item->searchResultsBitVector.get());
    if (item->searchResultsOrder % 2 == 0)
        r.gotoHits = std::move(hits);
    else
        r.xrefHits = std::move(hits);
    if (++r.itemsArrived == 2) {
        // A place shown as a go-to hit is not listed again among the references.
        std::vector<uint32_t> rest;
        std::set_difference(
            r.xrefHits.begin(), r.xrefHits.end(), r.gotoHits.begin(), r.gotoHits.end(), std::back_inserter(rest));
        r.xrefHits = std::move(rest);
    }
    if (isComplete()) {
        if (m_model != nullptr) {
            m_model->reload();
            m_model->columnTitleChanged();
        }
        if (m_progress != nullptr)
            m_progress->hide();
    }
}

int StudyPaneNavigatorViewController::numberOfRows() const
{
    if (!isComplete())
        return 0;  // the list is shown when the whole search is done
    quint64 rows = 0;
    const quint64 max = quint64(m_maxResultsPerBook);
    for (const BookResults& r : m_results)
        rows += 1 + std::min(max, r.total()) + (r.total() > max ? 1 : 0);
    return int(std::min<quint64>(rows, quint64(std::numeric_limits<int>::max())));
}

NavigatorResultsPath StudyPaneNavigatorViewController::resultsPathForTableRow(int row) const
{
    const quint64 max = quint64(m_maxResultsPerBook);
    qint64 left = row;
    for (quint64 b = 0; b < m_results.size() && left >= 0; ++b) {
        const BookResults& r = m_results[b];
        if (left == 0)
            return {b, -1, -1, false};
        --left;
        const quint64 shown = std::min(max, r.total());
        if (quint64(left) < shown) {
            if (quint64(left) < r.gotoHits.size())
                return {b, 0, left, false};
            return {b, 1, left - qint64(r.gotoHits.size()), false};
        }
        left -= qint64(shown);
        if (r.total() > max) {
            if (left == 0)
                return {b, -1, -1, true};
            --left;
        }
    }
    return {0, -1, -1, false};
}

bool StudyPaneNavigatorViewController::isGroupRow(int row) const
{
    const NavigatorResultsPath p = resultsPathForTableRow(row);
    return p.item == -1 && !p.more;
}

uint32_t StudyPaneNavigatorViewController::sectionForPath(const NavigatorResultsPath& p) const
{
    if (p.book >= m_results.size())
        return 0;
    const BookResults& r = m_results[p.book];
    if (p.item == 0 && p.row >= 0 && quint64(p.row) < r.gotoHits.size())
        return r.gotoHits[size_t(p.row)];
    if (p.item == 1 && p.row >= 0 && quint64(p.row) < r.xrefHits.size())
        return r.xrefHits[size_t(p.row)];
    if (p.item == -1)
        return !r.gotoHits.empty() ? r.gotoHits.front() : (!r.xrefHits.empty() ? r.xrefHits.front() : 0);
    return 0;
}

QString StudyPaneNavigatorViewController::textForRow(int row) const
{
    const NavigatorResultsPath p = resultsPathForTableRow(row);
    if (p.book >= m_results.size())
        return QString();
    const BookResults& r = m_results[p.book];
    if (p.item == -1 && !p.more)
        return QStringLiteral("%1 (%2)").arg(r.book ? r.book->record().name : r.id.colonString()).arg(r.total());
    if (p.more) {
        const quint64 rest = r.total() - quint64(m_maxResultsPerBook);
        return rest == 1 ? QStringLiteral("%1 More Result...").arg(rest)
                         : QStringLiteral("%1 More Results...").arg(rest);
    }
    const uint32_t section = sectionForPath(p);
    return section != 0 && r.book ? r.book->words().plainTextSearchResultTitleForSection(section) : QString();
}

void StudyPaneNavigatorViewController::activateRow(int row)
{
    const NavigatorResultsPath p = resultsPathForTableRow(row);
    if (row >= 0 && row < numberOfRows() && p.book < m_results.size()) {
        const BookResults& r = m_results[p.book];
        const uint32_t section = sectionForPath(p);
        if (section != 0 && r.book && r.book->docSupports(kDocSupportsIsBible))
            emit recentVerseVisited(r.book->locations().keyForSection(section), r.book->record().abbr);
        GoToRequest g;
        g.layoutUuid = layoutUuid();
        g.sourceTupleID = r.id;
        g.sync = true;
        g.activate = true;
        g.activatePane = true;
        if (section != 0)
            g.section = section;
        if (m_env.center != nullptr) {
            g.post(*m_env.center, nullptr);
            if (p.item == -1)
                m_env.center->postNotificationName(
                    StudyPaneNotifications::StartSearchWithLibrarySearchResultsNotification, nullptr,
                    {{QStringLiteral("searchSpec"), m_tableViewHeaderString},
                        {QStringLiteral("sourceTupleID"), QVariant::fromValue(r.id)}});
        }
    }
    if (m_table != nullptr) {
        const QSignalBlocker block(m_table->selectionModel());
        m_table->clearSelection();
    }
}

// --- rows ---

int StudyPaneNavigatorViewController::resultRowCount() const
{
    return numberOfRows();
}

QString StudyPaneNavigatorViewController::resultColumnTitle() const
{
    return m_tableViewHeaderString;
}

QVariant StudyPaneNavigatorViewController::resultData(int row, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
        return textForRow(row);
    case Qt::ToolTipRole:
        return isGroupRow(row) ? QVariant() : QVariant(textForRow(row));
    case Qt::FontRole:
        if (isGroupRow(row)) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}
