#include "studypane/StudyPaneNotesListViewController.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/JournalSourceTuple.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "render/CSSManager.h"
#include "search/execution/SearchResultsAggregator.h"
#include "search/execution/SearchRun.h"
#include "search/execution/SourceTupleSearchBook.h"
#include "studypane/StudyPaneProgressForwarder.h"
#include "studypane/StudyPaneRecentSearches.h"
#include "studypane/notes/NoteHtml.h"
#include "studypane/notes/NoteStore.h"
#include "userdata/cNoteDoc.h"

#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace {
const QString kAllQuery = QStringLiteral("*");

struct NotesRun {
    const char* title;
    const char* interpretation;
    const char* wordform;
};
constexpr NotesRun kEnhancedRuns[] = {
    {"Exact Match", kInterpretationExact, nullptr},
    {"All Words", kInterpretationAll, nullptr},
    {"Exact Match, Same Root Word", kInterpretationExact, kWordFormStem},
    {"Exact Match, Sounds Like Word", kInterpretationExact, kWordFormMetaphone},
    {"All Words, Same Root Word", kInterpretationAll, kWordFormStem},
    {"All Words, Sounds Like Word", kInterpretationAll, kWordFormMetaphone},
};

QString trimmedQuery(const QString& text)
{
    const QString t = text.trimmed();
    return t.isEmpty() ? kAllQuery : t;
}

}  // namespace

StudyPaneNotesListViewController::StudyPaneNotesListViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host)
    : StudyPaneSubpane(std::move(env), host),
      m_hits([this](const SearchResultsAggregator& results, int row, int role) { return hitData(results, row, role); },
          [this]() -> std::optional<QString> {
              // The column is named after the searched book once there is one.
              if (const SourceTuple::Ptr book = searchedBook())
                  return book->record().name;
              return std::nullopt;
          })
{
    m_progressDelegate = std::make_shared<StudyPaneProgressForwarder<StudyPaneNotesListViewController>>(this);
    m_rerunTimer.setSingleShot(true);
    m_rerunTimer.setInterval(kRerunDelayMs);
    connect(&m_rerunTimer, &QTimer::timeout, this, [this] { rerunLastSearch(); });
    observe(PaneNotifications::qsDevotionalStartDateHasChangedNotification, [this](Notification&) {
        const SourceTuple::Ptr book = searchedBook();
        if (book != nullptr && book->docSupports(kDocSupportsDateLookup))
            m_hits.reload();
    });
    observe(PaneNotifications::DisplayPreferencesChangedNotification, [this](Notification&) { m_hits.reload(); });
    observe(PaneNotifications::qsNotesHaveChangedNotification, [this](Notification& n) { notesHaveChanged(n); });
    observe(LibraryNotifications::qsLayoutManagerAddedOrRemovedLayoutsNotification,
        [this](Notification&) { cleanSavedJournalResults(); });
    observe(PaneNotifications::ThisSourceIsNowActiveNotification, [this](Notification& n) { followActiveBook(n); });
}

StudyPaneNotesListViewController::~StudyPaneNotesListViewController()
{
    stopObserving();
    m_hits.session().cancel();
    delete m_menu;
}

std::unique_ptr<StudyPaneNotesListViewController> StudyPaneNotesListViewController::journalList(
    const StudyPaneEnvironment& env, StudyPaneViewController* host)
{
    auto c = std::make_unique<StudyPaneNotesListViewController>(env, host);
    c->setConstantSourceTuple(JournalSourceTuple::journalSourceTuple());
    return c;
}

// --- class operations ---

bool StudyPaneNotesListViewController::blockHasNote(const StudyPaneEnvironment& env, quint32 block, SourceTuple& book)
{
    const quint32 section = book.locations().sectionForBlock(block);
    return NoteStore(env.notes).exists(NoteLocation::book(book.sourceTupleID(), section));
}

void StudyPaneNotesListViewController::deleteNoteForSection(
    const StudyPaneEnvironment& env, quint32 section, const SourceTupleID& book)
{
    NotificationCenter* center = env.center;
    NoteStore(env.notes).remove(NoteLocation::book(book, section));
    if (center != nullptr)
        center->postNotificationName(PaneNotifications::qsNotesHaveChangedNotification, nullptr,
            {{QStringLiteral("changed"), true}, {QStringLiteral("deletedNote"), true},
                {QStringLiteral("section"), section}, {QStringLiteral("sourceTupleID"), QVariant::fromValue(book)}});
}

void StudyPaneNotesListViewController::deleteNoteForKey(const StudyPaneEnvironment& env, quint32 key)
{
    NotificationCenter* center = env.center;
    NoteStore(env.notes).remove(NoteLocation::bible(key));
    if (center != nullptr)
        center->postNotificationName(PaneNotifications::qsNotesHaveChangedNotification, nullptr,
            {{QStringLiteral("changed"), true}, {QStringLiteral("deletedNote"), true}, {QStringLiteral("key"), key}});
}

void StudyPaneNotesListViewController::deleteJournalNoteWithTitle(const StudyPaneEnvironment& env, const QString& title)
{
    NotificationCenter* center = env.center;
    NoteStore(env.notes).remove(NoteLocation::journal(title));
    if (center != nullptr)
        center->postNotificationName(PaneNotifications::qsNotesHaveChangedNotification, nullptr,
            {{QStringLiteral("changed"), true}, {QStringLiteral("deletedNote"), true},
                {QStringLiteral("journalTitle"), title},
                {QStringLiteral("sourceTupleID"),
                    QVariant::fromValue(SourceTupleID::sourceTupleIDForFakeJournalDoc())}});
}

std::vector<SearchRunRequest> StudyPaneNotesListViewController::searchRequests(const QString& query, bool enhanced)
{
    std::vector<SearchRunRequest> out;
    auto add = [&out](const char* title, const char* interpretation, const char* wordform) {
        SearchRunRequest r;
        r.title = title;
        r.options.interpretation = interpretation;
        if (wordform != nullptr)
            r.options.wordform = wordform;
        r.options.searchnotes = true;
        r.options.searchtag = static_cast<int64_t>(out.size());
        out.push_back(std::move(r));
    };
    if (query == kAllQuery) {
        add(searchrun::kAllNotesTitle, kInterpretationExact, nullptr);
        return out;
    }
    for (const NotesRun& run : kEnhancedRuns) {
        add(run.title, run.interpretation, run.wordform);
        if (!enhanced)
            break;
    }
    return out;
}

// --- view ---

void StudyPaneNotesListViewController::loadView()
{
    auto* v = createView(
        m_constantSourceTuple ? QStringLiteral("StudyPaneJournalListView") : QStringLiteral("StudyPaneNotesListView"));
    m_panel.build(v, QStringLiteral("Search Notes"), QStringLiteral("Search options"));
    QToolButton* button = m_panel.refreshButton();
    if (m_constantSourceTuple) {
        button->setText(QStringLiteral("+"));
        button->setToolTip(QStringLiteral("Add a journal note"));
        connect(button, &QToolButton::clicked, this, [this] { onAddButton(); });
    } else {
        connect(button, &QToolButton::clicked, this, [this] { onRefreshButton(); });
    }
    m_panel.layOut(v, m_hits.makeTable(v, this, m_env.defaults), [this](int row) { activateRow(row); });

    m_menu = new QMenu(QStringLiteral("Search Menu"));
    QAction* enhanced = m_menu->addAction(QStringLiteral("Enhanced Search (Takes Longer)"));
    enhanced->setData(kEnhancedMenuTag);
    enhanced->setCheckable(true);
    enhanced->setChecked(m_env.defaults != nullptr && m_env.defaults->value(SettingsKeys::EnhancedNotesSearch));
    connect(enhanced, &QAction::triggered, this, [this] { onEnhancedSearchOptionSelected(); });
    m_menu->addSeparator();
    m_recents = std::make_unique<StudyPaneRecentSearches>(m_env.defaults,
        m_constantSourceTuple ? SettingsKeys::JournalRecentSearches : SettingsKeys::NotesRecentSearches);
    m_panel.showRecentSearches(m_menu, *m_recents, [this] { searchStringEntered(); });
    m_panel.setMenu([this] { return m_menu; });
    connect(m_panel.searchField(), &QLineEdit::returnPressed, this, [this] { searchStringEntered(); });
    searchFor(kAllQuery, chosenBook());
}

void StudyPaneNotesListViewController::studyPaneDidActivateSubview()
{
    if (QLineEdit* field = m_panel.searchField())
        field->setFocus(Qt::OtherFocusReason);
}

void StudyPaneNotesListViewController::exitIsImminent()
{
    m_rerunTimer.stop();
    stopObserving();
}

SourceTuple::Ptr StudyPaneNotesListViewController::chosenBook() const
{
    if (m_constantSourceTuple)
        return m_constantSourceTuple;
    return m_env.activeBook ? m_env.activeBook() : nullptr;
}

SourceTuple::Ptr StudyPaneNotesListViewController::searchedBook() const
{
    if (m_constantSourceTuple)
        return m_constantSourceTuple;
    return m_searchedBook;
}

// --- searching ---

void StudyPaneNotesListViewController::searchStringEntered()
{
    view();
    const QString text = m_panel.searchField()->text();
    if (!text.trimmed().isEmpty())
        m_recents->remember(text);
    searchFor(trimmedQuery(text), chosenBook());
}

void StudyPaneNotesListViewController::searchFor(const QString& query, const SourceTuple::Ptr& book)
{
    if (book == nullptr)
        return;
    view();
    m_rerunTimer.stop();
    m_hits.setTitle(std::nullopt);
    m_searchedBook = book;
    m_searchComplete = false;
    m_panel.showStatus(QString());
    m_panel.searchField()->setPlaceholderText(QStringLiteral("Search Notes in %1").arg(book->record().name));
    const QString uuid = layoutUuid();
    if (book->isFakeJournalDoc()) {
        // The saved journal rows of every earlier search of this layout go: none of them is shown any
        // more, and keeping them would let them pile up until the layout is deleted.
        const QByteArray u = uuid.toUtf8();
        searchrun::clearJournalSearchResults(u.constData(), -1, -1);
    }
    m_panel.startProgress();

    const bool enhanced = m_env.defaults != nullptr && m_env.defaults->value(SettingsKeys::EnhancedNotesSearch);
    m_requests = searchRequests(query, enhanced);
    std::vector<SearchRunRequest> requests = m_requests;
    for (SearchRunRequest& r : requests) {
        r.options.progressDelegate = m_progressDelegate;
        if (!uuid.isEmpty())
            r.options.layoutUuid = uuid.toStdString();
    }
    const size_t runs = requests.size();
    QPointer<StudyPaneNotesListViewController> self(this);
    const uint64_t id =
        m_hits.session().start(SourceTupleSearchBook::forTuple(book), query.toStdU16String(), std::move(requests),
            {[self](const SearchResultsItemPtr& item) {
                 if (!self)
                     return;
                 self->m_hits.reload();
                 self->searchProgressIncrementBy(1, item->searchID);
             },
                [self] {
                    if (!self)
                        return;
                    self->m_searchComplete = true;
                    self->showWhetherFound();
                }});
    m_hits.aggregator().searchedSourceTupleID = book->sourceTupleID();
    ++m_searchesStarted;
    searchProgressAddToCount(double(runs), id);
    m_hits.reload();
}

void StudyPaneNotesListViewController::searchProgressUpdate(double add, double increment, quint64 searchID)
{
    if (searchID == searchResultsAggregator().searchID())
        m_panel.updateProgress(add, increment);
}

void StudyPaneNotesListViewController::notesHaveChanged(const Notification& n)
{
    const QVariant changed = n.userInfo.value(QStringLiteral("changed"));
    if (changed.isValid() && !changed.toBool())
        return;
    if (searchedBook() == nullptr)
        return;
    if (!m_rerunTimer.isActive() && applyChangeOfOneNote(n)) {
        m_hits.reload();
        showWhetherFound();
        return;
    }
    m_rerunTimer.start();
}

// Tests the changed note alone against the runs of the finished search and moves its row to the
// first section that holds it (or out of the table). False when the change names no single note of
// the searched book, or the search is still running: the search must then run again.
bool StudyPaneNotesListViewController::applyChangeOfOneNote(const Notification& n)
{
    const SourceTuple::Ptr book = searchedBook();
    SearchResultsAggregator& agg = searchResultsAggregator();
    if (!m_searchComplete || book == nullptr || book->isFakeJournalDoc() || book->isFakeBibleDoc() ||
        agg.numSearchResultsItems() != m_requests.size())
        return false;
    const quint32 key = n.userInfo.value(QStringLiteral("key")).toUInt();
    const quint32 changedSection = n.userInfo.value(QStringLiteral("section")).toUInt();
    NoteLocation location;
    quint32 section = 0;
    if (key != 0) {
        if (!book->docSupports(kDocSupportsIsBible))
            return true;  // a Bible note never shows in another book's list
        BibleRef verse;
        verse.setBibleKey(key);
        if (!verse.mapToTranslation(book->record().abbr))
            return true;
        section = book->locations().sectionForBibleKey(verse.bibleKey());
        location = NoteLocation::bible(key);
    } else if (changedSection != 0 && n.userInfo.contains(QStringLiteral("sourceTupleID"))) {
        const SourceTupleID id = n.userInfo.value(QStringLiteral("sourceTupleID")).value<SourceTupleID>();
        if (id.pubID() != book->record().pubID || id.bookID() != book->record().bookID ||
            (id.editionNumber() & 0xFF) != (book->record().editionNumber & 0xFF))
            return true;  // another book's note
        section = changedSection;
        location = NoteLocation::book(id, changedSection);
    } else {
        return false;
    }
    if (section == 0 || section >= book->numSections())
        return true;
    const StoredNote note = NoteStore(m_env.notes).read(location);
    const std::u16string query = agg.searchedForString;
    std::optional<size_t> first;
    if (note.found && !note.text.isEmpty()) {
        if (query == u"*") {
            first = 0;
        } else {
            const SearchSpecification spec(query);
            const std::shared_ptr<const SearchBook> searchBook = SourceTupleSearchBook::forTuple(book);
            for (size_t i = 0; i < m_requests.size() && !first; ++i) {
                SearchOptions options = m_requests[i].options;
                options.thenote = note.text.toStdU16String();
                std::unique_ptr<BitVector> hit = searchrun::searchResults(spec, *searchBook, options, agg.searchID());
                if (hit != nullptr && hit->count(true) > 0)
                    first = i;
            }
        }
    }
    agg.removeFromResults(section);
    if (first) {
        const SearchResultsItemPtr item = agg.searchResultsAtIndex(*first);
        if (item != nullptr && item->searchResultsBitVector != nullptr &&
            section < item->searchResultsBitVector->size())
            agg.addSectionToResultsAtIndex(section, *first, std::string());
    }
    return true;
}

void StudyPaneNotesListViewController::showWhetherFound()
{
    const SourceTuple::Ptr book = searchedBook();
    if (!m_searchComplete || book == nullptr || m_hits.resultRowCount() > 0) {
        m_panel.showStatus(QString());
        return;
    }
    const QString query = QString::fromStdU16String(searchResultsAggregator().searchedForString).trimmed();
    m_panel.showStatus(query == kAllQuery || query.isEmpty()
            ? QStringLiteral("There are no notes in %1.").arg(book->record().name)
            : QStringLiteral("Nothing was found for \u201C%1\u201D in the notes of %2.")
                  .arg(query, book->record().name));
}

void StudyPaneNotesListViewController::followActiveBook(const Notification& n)
{
    // The list searches the notes of the current pane's book: when another book becomes current, the
    // field's search runs again in that book's notes.
    if (m_constantSourceTuple || loadedView() == nullptr || !isLayoutCurrent())
        return;
    SourceTuple::Ptr book = n.userInfo.value(QStringLiteral("sourceTuple")).value<SourceTuple::Ptr>();
    if (book == nullptr)
        book = chosenBook();
    if (book == nullptr || (m_searchedBook != nullptr && m_searchedBook->sourceTupleID() == book->sourceTupleID()))
        return;
    searchFor(trimmedQuery(m_panel.searchField()->text()), book);
}

void StudyPaneNotesListViewController::rerunLastSearch()
{
    SourceTuple::Ptr book = m_constantSourceTuple;
    SearchResultsAggregator& agg = searchResultsAggregator();
    if (book == nullptr && m_env.library != nullptr)
        book = m_env.library->allSources()->tupleForSourceTupleID(agg.searchedSourceTupleID);
    if (book == nullptr)
        book = m_searchedBook;
    searchFor(trimmedQuery(QString::fromStdU16String(agg.searchedForString)), book);
}

void StudyPaneNotesListViewController::onEnhancedSearchOptionSelected()
{
    view();
    const bool on = m_env.defaults != nullptr && !m_env.defaults->value(SettingsKeys::EnhancedNotesSearch);
    if (m_env.defaults != nullptr)
        m_env.defaults->set(SettingsKeys::EnhancedNotesSearch, on);
    for (QAction* a : m_menu->actions())
        if (a->data().toInt() == kEnhancedMenuTag)
            a->setChecked(on);
}

void StudyPaneNotesListViewController::onAddButton()
{
    if (m_env.center == nullptr || !m_constantSourceTuple)
        return;
    m_env.center->postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
        {{QStringLiteral("source"), bookVariant(m_constantSourceTuple)}, {QStringLiteral("edit"), true},
            {QStringLiteral("journalTitle"), QStringLiteral("")}});
}

void StudyPaneNotesListViewController::cleanSavedJournalResults()
{
    cNoteDoc* notes = NoteStore(m_env.notes).openDocument();
    if (notes == nullptr || m_env.layoutManager == nullptr)
        return;
    std::vector<cLString8> uuids;
    if (!notes->journalSearchLayoutIds(uuids))
        return;
    for (const cLString8& uuid : uuids) {
        const QString u = QString::fromUtf8(uuid.chars(), uuid.length());
        if (m_env.layoutManager->layoutWithUuid(u) == nullptr)
            searchrun::clearJournalSearchResults(uuid.chars(), -1, -1);
    }
}

QString StudyPaneNotesListViewController::noteTextForPosition(quint32 position) const
{
    const SourceTuple::Ptr book = searchedBook();
    if (book == nullptr || position == 0)
        return {};
    if (book->isFakeJournalDoc())
        return NoteStore(m_env.notes).readBookNoteByRecordID(position).text;
    if (book->docSupports(kDocSupportsIsBible))
        return NoteStore(m_env.notes).read(NoteLocation::bible(book->locations().keyForSection(position))).text;
    return NoteStore(m_env.notes).read(NoteLocation::book(book->sourceTupleID(), position)).text;
}

void StudyPaneNotesListViewController::activateRow(int row)
{
    const SourceTuple::Ptr book = searchedBook();
    const quint32 position = m_hits.positionOfRow(row).value_or(0);
    if (book != nullptr && position != 0 && m_env.center != nullptr) {
        quint32 key = 0;
        if (book->docSupports(kDocSupportsIsBible)) {
            key = book->locations().keyForSection(position);
            if (key != 0)
                emit recentVerseVisited(key, book->record().abbr);
        }
        if (!book->isFakeJournalDoc()) {
            GoToRequest r;
            if (key != 0)
                r.bibleKey = key;
            r.section = position;
            r.sourceTuple = book;
            r.activate = true;
            r.sync = true;
            r.layoutUuid = layoutUuid();
            r.post(*m_env.center, this);
        }
        m_env.center->postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, this,
            {{QStringLiteral("source"), bookVariant(book)}, {QStringLiteral("section"), position},
                {QStringLiteral("key"), key},
                {QStringLiteral("journalTitle"), book->words().plainTextSearchResultTitleForSection(position)}});
    }
    m_panel.clearSelection();
}

// --- rows ---

QVariant StudyPaneNotesListViewController::hitData(const SearchResultsAggregator& agg, int row, int role) const
{
    using Model = StudyPaneResultListModel;
    if (role == Model::KindRole)
        return Model::LargeHit;
    const quint32 position = agg.positionValueForTablePath(agg.tablePathForRow(row));
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Model::TitleRole) {
        const SourceTuple::Ptr book = searchedBook();
        return book != nullptr && position != SearchResultsAggregator::kNoPosition
            ? book->words().plainTextSearchResultTitleForSection(position)
            : QString();
    }
    if (role != Model::HtmlRole)
        return {};
    // Stored notes are filtered on the way in; the cell filters again, since notes also come by
    // sync, and shows no remote pictures.
    QString text = position != SearchResultsAggregator::kNoPosition
        ? NoteHtml::richEditorContent(noteTextForPosition(position))
        : QString();
    if (text.isEmpty())
        text = QStringLiteral("Can't get the note text for some reason.");
    const QString css = m_env.defaults != nullptr ? CSSManager(*m_env.defaults).cssForSearchResultsView() : QString();
    // The cell draws with a text document, which runs no script and loads nothing remote.
    // html-safe: the style sheet is the user's own; the text is the note's, drawn by a text document that runs and loads nothing
    return QStringLiteral("<html><head><meta charset=\"UTF-8\"><title>Title</title><style "
                          "type=\"text/css\">%1</style></head><body>")
               .arg(css) +
        text + QStringLiteral("</body></html>");
}
