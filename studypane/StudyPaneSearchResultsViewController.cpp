#include "studypane/StudyPaneSearchResultsViewController.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ContentTextDocument.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchResultsAggregator.h"
#include "search/execution/SourceTupleSearchBook.h"
#include "studypane/SearchResultPage.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneProgressForwarder.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QSet>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kCustomSearchLimits = QStringLiteral("customSearchLimits");
const QString kRecentSearches = QStringLiteral("findRecentSearches");
// The tags of the recent-search items of the search menus.

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
    StudyPaneEnvironment env, StudyPaneHost* host)
    : StudyPaneSubpane(std::move(env), host),
      m_session(SearchSession::create()),
      m_recents(m_env.defaults, kRecentSearches)
{
    m_progressDelegate = std::make_shared<StudyPaneProgressForwarder<StudyPaneSearchResultsViewController>>(this);
    m_hideProgressTimer.setSingleShot(true);
    m_hideProgressTimer.setInterval(1000);
    connect(&m_hideProgressTimer, &QTimer::timeout, this, [this] {
        if (m_progress)
            m_progress->hide();
    });
    if (m_env.center != nullptr) {
        auto reload = [this](Notification&) { reloadTable(); };
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
    m_session->cancel();
    delete m_bibleMenu;
    delete m_nonBibleMenu;
}

SearchResultsAggregator& StudyPaneSearchResultsViewController::aggregator()
{
    return m_session->aggregator();
}

void StudyPaneSearchResultsViewController::loadView()
{
    auto* v = createView<SearchResultsView>(QStringLiteral("StudyPaneSearchResultsView"));
    m_searchField = new QLineEdit(v);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setPlaceholderText(QStringLiteral("Search"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setMinimumWidth(100);
    m_menuButton = new QToolButton(v);
    m_menuButton->setObjectName(QStringLiteral("searchMenuButton"));
    m_menuButton->setText(QStringLiteral("\u25BE"));
    m_menuButton->setToolTip(QStringLiteral("Search options"));
    m_menuButton->setAutoRaise(true);
    m_refreshButton = new QToolButton(v);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    m_refreshButton->setText(QStringLiteral("\u21BB"));
    m_refreshButton->setToolTip(QStringLiteral("Search again"));
    m_refreshButton->setAutoRaise(true);
    m_limitLabel = new QLabel(v);
    m_limitLabel->setObjectName(QStringLiteral("searchLimitTextField"));
    m_limitLabel->setTextFormat(Qt::PlainText);
    m_limitLabel->setWordWrap(true);
    m_progress = new QProgressBar(v);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(6);
    m_model = new StudyPaneResultListModel(*this,
        {Qt::DisplayRole, Qt::ToolTipRole, StudyPaneResultListModel::TitleRole, StudyPaneResultListModel::HtmlRole},
        this);
    labelTableColumn();
    m_table = StudyPaneSearchResultsDelegate::makeHitTable(v, m_model);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(m_menuButton);
    row->addWidget(m_searchField, 1);
    row->addWidget(m_refreshButton);
    auto* column = new QVBoxLayout(v);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    column->addLayout(row);
    column->addWidget(m_limitLabel);
    column->addWidget(m_progress);
    column->addWidget(m_table, 1);

    connect(m_searchField, &QLineEdit::returnPressed, this, [this] { searchStringEntered(); });
    connect(m_refreshButton, &QToolButton::clicked, this, [this] { onRefreshButton(); });
    connect(m_menuButton, &QToolButton::clicked, this, [this] {
        if (m_template != nullptr)
            m_template->exec(m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height())));
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_table->selectionModel()->selectedRows();
        if (!rows.isEmpty())
            activateRow(rows.first().row());
    });

    buildMenus();
    m_template = m_bibleMenu;
    m_progressCount = 0;
    m_progress->hide();
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
        m_searchField->setText(text);
        searchStringEntered();
    });
}

QStringList StudyPaneSearchResultsViewController::recentSearches() const
{
    return m_recents.list();
}

void StudyPaneSearchResultsViewController::clearRecentSearches()
{
    m_recents.clear();
    if (m_bibleMenu != nullptr)
        fillRecentSearches(m_bibleMenu);
    if (m_nonBibleMenu != nullptr)
        fillRecentSearches(m_nonBibleMenu);
}

QString StudyPaneSearchResultsViewController::limitTitle(int tag)
{
    return tag >= 0 && tag < kLimitCount ? QString::fromUtf8(kLimits[tag].title) : QString();
}

QString StudyPaneSearchResultsViewController::limitString(int tag) const
{
    if (tag == 1)
        return m_env.defaults != nullptr ? m_env.defaults->stringForKey(kCustomSearchLimits) : QString();
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
                m_env.defaults->setString(custom, kCustomSearchLimits);
        }
    }
    showLimitLabel();
    const SourceTuple::Ptr book = m_env.activeBook ? m_env.activeBook() : nullptr;
    if (book != nullptr && book->docSupports(SourceTuple::kDocSupportsIsBible()) &&
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
    const QString text = m_searchField->text();
    m_recents.remember(text);
    m_searchingABible = book->docSupports(SourceTuple::kDocSupportsIsBible());
    // The column names the book searched from the start (results of the previous book may still be
    // drawn until the first item of this search arrives).
    m_tableViewHeaderString = book->name();
    m_model->columnTitleChanged();
    m_progressCount = 0;
    m_progressCompleted = 0;
    m_hideProgressTimer.stop();
    m_progress->show();
    m_progress->setValue(50);

    BibleRef ref;
    const bool isReference = ref.parse(text) && !ref.isBookOnly();
    const QString limit = m_searchingABible ? limitString(int(m_limitTag)) : QString();
    showLimitLabel();

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
        m_session->start(SourceTupleSearchBook::forTuple(book), text.toStdU16String(), std::move(requests),
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
    reloadTable();
}

void StudyPaneSearchResultsViewController::addItemToResults(const std::shared_ptr<SearchResultsItem>& item)
{
    // The session has taken the item into the aggregator (items of older searches never get here).
    reloadTable();
    searchProgressIncrementBy(1, item->searchID);
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
        r.wordSync = m_searchField->text();
        r.sync = true;
        if (m_searchingABible && m_env.library != nullptr) {
            if (SourceTuple::Ptr book = m_env.library->allSources()->tupleForSourceTupleID(id))
                emit recentVerseVisited(book->keyForSection(section), book->abbr());
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
    m_session->stop();
    setSearching(false);
    m_hideProgressTimer.stop();
    if (m_progress != nullptr)
        m_progress->hide();
    reloadTable();
    // What was found stands as the result: the book panes mark it.
    if (m_env.center != nullptr)
        m_env.center->postNotificationName(PaneNotifications::qsSearchHasCompletedNotification);
}

void StudyPaneSearchResultsViewController::setSearching(bool searching)
{
    m_searching = searching;
    if (m_refreshButton == nullptr)
        return;
    m_refreshButton->setText(searching ? QStringLiteral("\u25A0") : QStringLiteral("\u21BB"));
    m_refreshButton->setToolTip(searching ? QStringLiteral("Stop searching") : QStringLiteral("Search again"));
}

void StudyPaneSearchResultsViewController::searchCompleted()
{
    setSearching(false);
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
    if (searchID != aggregator().searchID() || m_progress == nullptr)
        return;
    m_hideProgressTimer.stop();
    m_progress->show();
    m_progressCount += add;
    m_progressCompleted += increment;
    if (m_progressCount == 0) {
        m_progress->setValue(50);
        return;
    }
    const int value = int(std::min(1.0, m_progressCompleted / m_progressCount) * 1000.0);
    if (value > m_progress->value())
        m_progress->setValue(value);
    if (m_progress->value() >= 1000)
        m_hideProgressTimer.start();
}

SearchResultsAggregator* StudyPaneSearchResultsViewController::searchResultsAggregatorForTuple(const SourceTupleID& id)
{
    return aggregator().searchedSourceTupleID == id ? &aggregator() : nullptr;
}

void StudyPaneSearchResultsViewController::studyPaneDidActivateSubview()
{
    if (m_searchField != nullptr)
        m_searchField->setFocus(Qt::OtherFocusReason);
}

void StudyPaneSearchResultsViewController::thisSourceIsNowActive(const Notification& n)
{
    if (!isLayoutCurrent())
        return;
    SourceTuple::Ptr book = n.userInfo.value(QStringLiteral("sourceTuple")).value<SourceTuple::Ptr>();
    if (book == nullptr && m_env.activeBook)
        book = m_env.activeBook();
    if (book == nullptr || !book->docSupports(SourceTuple::kDocSupportsIsBible())) {
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
    m_searchField->setText(n.userInfo.value(QStringLiteral("searchSpec")).toString());
    searchStringEntered();
}

std::optional<QString> StudyPaneSearchResultsViewController::askForCustomLimit(const QString& current) const
{
    if (m_env.customLimitPrompt)
        return m_env.customLimitPrompt(current);
    bool ok = false;
    const QString text = QInputDialog::getText(loadedView(), QStringLiteral("Custom Search Limit"),
        QStringLiteral("Enter the Bible passage you want to search.\n\nYou can search as few as one verse (\"John "
                       "3:16\"), a range of verses or chapters (\"Gen 1:1-2:3\" or \"Psalm 1-41\"), entire books "
                       "(\"Isaiah\" or \"Isaiah-Daniel\"), or combinations of these (\"Gen 1:1-2:3; John 1\" or "
                       "\"Ps 119:1,9,17,25,33,41,49,57\")."),
        QLineEdit::Normal, current, &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

void StudyPaneSearchResultsViewController::reloadTable()
{
    if (m_model == nullptr)
        return;
    labelTableColumn();
    m_model->reload();
}

void StudyPaneSearchResultsViewController::labelTableColumn()
{
    // The column is named after the searched book once the results say which book that is.
    const SearchResultsAggregator& agg = aggregator();
    if (m_model == nullptr || m_tableViewHeaderString || !agg.searchedSourceTupleID.isValid() ||
        m_env.library == nullptr)
        return;
    if (SourceTuple::Ptr book = m_env.library->allSources()->tupleForSourceTupleID(agg.searchedSourceTupleID)) {
        m_tableViewHeaderString = book->name();
        m_model->columnTitleChanged();
    }
}

void StudyPaneSearchResultsViewController::activateRow(int row)
{
    SearchResultsAggregator& agg = aggregator();
    const SRTablePath path = agg.tablePathForRow(row);
    if (path.tableRowNum >= 0) {
        const uint32_t section = agg.positionValueForTablePath(path);
        SourceTuple::Ptr book = m_env.library != nullptr
            ? m_env.library->allSources()->tupleForSourceTupleID(agg.searchedSourceTupleID)
            : nullptr;
        if (section != 0 && section != SearchResultsAggregator::kNoPosition && book != nullptr) {
            GoToRequest r;
            r.layoutUuid = layoutUuid();
            r.section = section;
            r.sourceTuple = book;
            r.activate = true;
            r.sync = true;
            if (m_searchingABible) {
                const quint32 key = book->keyForSection(section);
                if (key != 0) {
                    r.bibleKey = key;
                    emit recentVerseVisited(key, book->abbr());
                }
            }
            if (m_env.center != nullptr)
                r.post(*m_env.center, this);
        }
    }
    if (m_table != nullptr) {
        const QSignalBlocker block(m_table->selectionModel());
        m_table->clearSelection();
        m_table->viewport()->update();
    }
}

// --- rows ---

int StudyPaneSearchResultsViewController::resultRowCount() const
{
    return StudyPaneResultListModel::hitRowCount(m_session->aggregator());
}

QString StudyPaneSearchResultsViewController::resultColumnTitle() const
{
    return m_tableViewHeaderString.value_or(QString());
}

QVariant StudyPaneSearchResultsViewController::resultData(int row, int role) const
{
    using Model = StudyPaneResultListModel;
    const SearchResultsAggregator& agg = m_session->aggregator();
    if (std::optional<QVariant> header = Model::hitHeaderData(agg, row, role))
        return *header;
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
            ? book->plainTextSearchResultTitleForSection(section)
            : QString();
    }
    if (!large)
        return {};
    QString body;
    if (book != nullptr && section != SearchResultsAggregator::kNoPosition) {
        const SearchWordListRef* words = agg.searchWordsForSection(section);
        // The Bible's excerpt style that marks the found words (the other renders the same verse
        // without them).
        body = book->htmlSearchResultTextForSection(section, words != nullptr ? &words->list : nullptr, 1);
    } else {
        body = QStringLiteral("<p>No Current Source Document</p>");
    }
    // The cells draw their HTML with a text document, which does not apply "display:none": the
    // page leaves out the elements the style sheet hides (Strong's numbers, footnotes, ...).
    return SearchResultPage::page(body);
}

// --- delegate ---

QTableView* StudyPaneSearchResultsDelegate::makeHitTable(QWidget* parent, StudyPaneResultListModel* model)
{
    auto* table = new QTableView(parent);
    table->setObjectName(QStringLiteral("searchResultsTableView"));
    table->setModel(model);
    table->setItemDelegate(new StudyPaneSearchResultsDelegate(table));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setShowGrid(false);
    table->setWordWrap(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return table;
}

QSize StudyPaneSearchResultsDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int kind = index.data(StudyPaneResultListModel::KindRole).toInt();
    const int h = kind == StudyPaneResultListModel::LargeHit ? StudyPaneSearchResultsViewController::kLargeRowHeight
                                                             : StudyPaneSearchResultsViewController::kSmallRowHeight;
    return QSize(option.rect.width(), std::max(h, option.fontMetrics.height() + 2));
}

void StudyPaneSearchResultsDelegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int kind = index.data(StudyPaneResultListModel::KindRole).toInt();
    painter->save();
    painter->setClipRect(option.rect);
    const QRect r = option.rect.adjusted(4, 0, -4, 0);
    if (kind == StudyPaneResultListModel::Header) {
        painter->fillRect(option.rect, option.palette.alternateBase());
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(option.palette.text().color());
        painter->drawText(r, Qt::AlignVCenter | Qt::AlignLeft,
            option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, r.width()));
    } else {
        if (option.state & QStyle::State_Selected)
            painter->fillRect(option.rect, option.palette.highlight());
        const QString title = index.data(StudyPaneResultListModel::TitleRole).toString();
        painter->setPen(option.palette.text().color());
        if (kind == StudyPaneResultListModel::SmallHit) {
            painter->drawText(
                r, Qt::AlignVCenter | Qt::AlignLeft, option.fontMetrics.elidedText(title, Qt::ElideRight, r.width()));
        } else {
            QFont bold = option.font;
            bold.setBold(true);
            painter->setFont(bold);
            const int line = QFontMetrics(bold).height();
            painter->drawText(QRect(r.x(), r.y() + 1, r.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                QFontMetrics(bold).elidedText(title, Qt::ElideRight, r.width()));
            ContentTextDocument doc;
            doc.setDefaultFont(option.font);
            doc.setHtml(index.data(StudyPaneResultListModel::HtmlRole).toString());
            doc.setTextWidth(r.width());
            painter->translate(r.x(), r.y() + line + 1);
            const QRect clip(0, 0, r.width(), option.rect.height() - line - 2);
            painter->setClipRect(clip, Qt::IntersectClip);
            QAbstractTextDocumentLayout::PaintContext ctx;
            ctx.clip = clip;
            ctx.palette.setColor(QPalette::Text, option.palette.text().color());
            doc.documentLayout()->draw(painter, ctx);
            // The bottom of the verse's last line (the document's own height also counts its margins).
            const QTextBlock last = doc.lastBlock();
            qreal textBottom = 0;
            if (last.isValid() && last.layout() != nullptr && last.layout()->lineCount() > 0) {
                const QTextLine line = last.layout()->lineAt(last.layout()->lineCount() - 1);
                textBottom = doc.documentLayout()->blockBoundingRect(last).top() + line.y() + line.height();
            }
            if (textBottom > clip.height() + 1) {
                // The verse goes on below the cell: say so at its bottom right.
                const QString more = QStringLiteral("\u2026");
                const QFontMetrics fm(option.font);
                const QRect mark(clip.right() - fm.horizontalAdvance(more) - 6, clip.bottom() - fm.height() + 1,
                    fm.horizontalAdvance(more) + 6, fm.height());
                painter->fillRect(
                    mark, option.state & QStyle::State_Selected ? option.palette.highlight() : option.palette.base());
                painter->setFont(option.font);
                painter->drawText(mark, Qt::AlignRight | Qt::AlignBottom, more);
            }
        }
        painter->setPen(option.palette.mid().color());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    }
    painter->restore();
}
