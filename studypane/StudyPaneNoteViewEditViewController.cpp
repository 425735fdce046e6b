#include "studypane/StudyPaneNoteViewEditViewController.h"

#include "engine/foundation/cMsgBox.h"
#include "engine/references/BibleRef.h"
#include "library/EngineStrings.h"
#include "library/GoToRequest.h"
#include "library/JournalSourceTuple.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/BookPageHtml.h"
#include "panes/page/PageRendererWatch.h"
#include "platform/Alerts.h"
#include "platform/MainThread.h"
#include "platform/UserDefaults.h"
#include "render/CSSManager.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/StudyPaneNoteEditor.h"
#include "studypane/StudyPaneNoteEditorKeys.h"
#include "studypane/StudyPaneNoteHeader.h"
#include "studypane/StudyPaneNoteLinks.h"
#include "studypane/StudyPaneNoteRecovery.h"
#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneViewController.h"
#include "userdata/NoteText.h"
#include "userdata/SyncLineLimit.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <QWebEnginePage>

#include <algorithm>
#include <optional>

namespace {

// The viewer's and editor's style sheet from the display settings (none without defaults).
QString noteStyleSheet(const StudyPaneEnvironment& env)
{
    return env.defaults != nullptr ? CSSManager(*env.defaults).cssForNoteViewEdit() : QString();
}
const char* const kTabTitles[] = {"View", "Rich Edit", "Text Edit"};

SourceTuple::Ptr bookOf(const QVariant& v)
{
    if (SourceTuple::Ptr b = bookFromVariant(v))
        return b;
    return sharedObjectFromVariant<SourceTuple>(v);
}

}  // namespace

StudyPaneNoteViewEditViewController::StudyPaneNoteViewEditViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host)
    : StudyPaneSubpane(std::move(env), host),
      m_header(new StudyPaneNoteHeader(this)),
      m_editor(new StudyPaneNoteEditor(m_env, this, this)),
      m_links(new StudyPaneNoteLinks(m_env, this, this)),
      m_recovery(new StudyPaneNoteRecovery(this))
{
    connect(m_editor, &StudyPaneNoteEditor::liveContentChanged, this, [this] { webViewDidChange(); });
    connect(m_editor, &StudyPaneNoteEditor::storeFinished, this, [this] { updateStatusPane(); });
    m_cssString = noteStyleSheet(m_env);
    m_script = BookPageHtml::scriptWithBridge(QStringLiteral(":/notes/NoteEditor.js"));
    m_autosaveTimer.setSingleShot(true);
    m_autosaveTimer.setInterval(kAutosaveSeconds * 1000);
    connect(&m_autosaveTimer, &QTimer::timeout, this, [this] { saveEditedText(true); });
    // Longer than the window's spell of not waiting for the database after a wait failed.
    m_readAgainTimer.setSingleShot(true);
    m_readAgainTimer.setInterval(700);
    connect(&m_readAgainTimer, &QTimer::timeout, this, [this] { readAgain(); });
    observe(PaneNotifications::DisplayPreferencesChangedNotification,
        [this](Notification&) { displayPreferencesChanged(); });
    observe(LibraryNotifications::qsUserNoteLinkSelected, [this](Notification& n) { userNoteLinkSelected(n); });
    observe(PaneNotifications::qsNotesHaveChangedNotification, [this](Notification& n) { notesHaveChanged(n); });
    // What was typed goes to the database before a sync reads the notes and writes the copies of
    // other devices into them.
    const auto saveBeforeSync = [this](Notification&) { saveEditedText(false); };
    observe(StudyPaneNotifications::qsBibleNoteSynchronizationWillStartNotification, saveBeforeSync);
    observe(StudyPaneNotifications::qsBookNoteSynchronizationWillStartNotification, saveBeforeSync);
}

StudyPaneNoteViewEditViewController::~StudyPaneNoteViewEditViewController()
{
    stopObserving();
    m_editor->registerAsFormatTarget(false);
    m_autosaveTimer.stop();
    m_links->hidePreview();
    // The web views are children of the view: alive exactly while it is.
    if (loadedView()) {
        for (NoteWebView* v : m_webViews)
            if (v != nullptr)
                v->disconnect(this);
    }
}

// --- view ---

void StudyPaneNoteViewEditViewController::loadView()
{
    auto* v = createView(QStringLiteral("StudyPaneNoteViewEditView"));

    QLayout* titles = m_header->makeTitles(v);

    m_tabBar = new QTabBar(v);
    m_tabBar->setObjectName(QStringLiteral("tabView"));
    m_tabBar->setExpanding(false);
    m_tabBar->setDrawBase(false);
    for (const char* title : kTabTitles)
        m_tabBar->addTab(QString::fromUtf8(title));
    QLayout* styleRow = m_editor->makeStyleButtons(v);

    m_stack = new QStackedWidget(v);
    m_links->setPlace(v, m_stack);
    for (int t = 0; t < 3; ++t) {
        auto* w = new NoteWebView(this, t == ViewTab, m_stack);
        m_webViews[t] = w;
        m_stack->addWidget(w);
        connect(w, &QWebEngineView::loadFinished, this, [this, t](bool ok) { emit pageLoaded(t, ok); });
        auto* watch = new PageRendererWatch(w->page(), m_env.center, [this, t] { restoreTab(static_cast<Tab>(t)); });
        // The alert about the end speaks of note text only when an editor with a note was shown.
        watch->setDescription([this, t] {
            return QVariantMap {{QStringLiteral("noteText"),
                t != ViewTab && t == m_selectedTab && hasSomethingToDisplay() && loadedView() != nullptr &&
                    loadedView()->isVisible()}};
        });
        connect(watch, &PageRendererWatch::rendererEnded, w, [w] { w->rendererEnded(); });
        if (t != ViewTab) {
            connect(watch, &PageRendererWatch::rendererEnded, this, [this, w, t](bool restoring) {
                // Keys typed while the shown editor comes back are held for it.
                if (restoring && t == m_selectedTab && !m_exiting && loadedView() != nullptr &&
                    loadedView()->isVisible())
                    m_recovery->rendererEnded(w);
            });
        }
    }
    m_editor->setViews(m_webViews[RichEditTab], m_webViews[TextEditTab]);
    m_recovery->setEditors(m_webViews[RichEditTab], m_webViews[TextEditTab], v);
    // The window's pane keys, Escape back to the page and Ctrl+Tab lead out of the editors and the
    // viewer.
    new StudyPaneNoteEditorKeys(
        {m_webViews[ViewTab], m_webViews[RichEditTab], m_webViews[TextEditTab]},
        [manager = m_env.layoutManager] { return StudyPaneNoteEditorKeys::focusCurrentBookPage(manager); }, this);
    QLayout* statusRow = m_header->makeStatusLine(v);

    auto* column = new QVBoxLayout(v);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    column->addLayout(titles);
    column->addWidget(m_tabBar);
    column->addLayout(styleRow);
    column->addWidget(m_stack, 1);
    column->addLayout(statusRow);

    connect(m_tabBar, &QTabBar::currentChanged, this, [this](int index) { selectTab(static_cast<Tab>(index)); });
    connect(m_header, &StudyPaneNoteHeader::deleteClicked, this, [this] { onDeleteNoteButton(); });
    connect(m_header, &StudyPaneNoteHeader::noteTitleEdited, this, [this] {
        if (!m_autosaveTimer.isActive())
            m_autosaveTimer.start();
        updateStatusPane();
    });

    // The note the study pane remembers comes back.
    const NoteLocation remembered = location();
    if (remembered.hasSomethingToDisplay())
        loadNote(remembered);
    if (remembered.hasSomethingToDisplay() && (!m_webViewString.isEmpty() || m_unreadable)) {
        // Under the titles it had: which book, which verse or section.
        const std::optional<SourceTupleID> id = location().source;
        SourceTuple::Ptr book;
        if (id && id->isFakeJournalDoc())
            book = JournalSourceTuple::journalSourceTuple();
        else if (id && m_env.library != nullptr)
            book = m_env.library->allSources()->tupleForSourceTupleID(*id);
        showTitles(book);
        populateViewWebView();
        showTab(ViewTab, keysHere());
    } else {
        clearState();
        if (remembered.hasJournalNote()) {
            // A new journal note keeps its place and title.
            setLocation(remembered);
            m_header->setNoteTitle(remembered.journalTitle.value_or(QString()));
        }
        populateViewWebView();
        showTab(ViewTab, keysHere());
    }
    updateStatusPane();
    m_editor->registerAsFormatTarget(true);
}

// --- the note's place ---

NoteLocation StudyPaneNoteViewEditViewController::location() const
{
    NoteLocation l;
    const StudyPaneRegionContentItemState* s = paneState();
    if (s == nullptr)
        return l;
    l.source = s->noteViewPaneSourceTupleID;
    l.section = s->noteViewPaneSection;
    l.key = s->noteViewPaneBibleKey;
    if (!s->noteViewPaneJournalTitle.isNull())
        l.journalTitle = s->noteViewPaneJournalTitle;
    return l;
}

void StudyPaneNoteViewEditViewController::setLocation(const NoteLocation& l)
{
    StudyPaneRegionContentItemState* s = paneState();
    if (s == nullptr)
        return;
    s->noteViewPaneSourceTupleID = l.source;
    s->noteViewPaneSection = l.section;
    s->noteViewPaneBibleKey = l.key;
    // An empty title is kept apart from none.
    s->noteViewPaneJournalTitle =
        l.journalTitle ? (l.journalTitle->isEmpty() ? QStringLiteral("") : *l.journalTitle) : QString();
}

void StudyPaneNoteViewEditViewController::userNoteLinkSelected(const Notification& n)
{
    if (host() != nullptr && m_env.layoutManager != nullptr && layout() != m_env.layoutManager->currentLayout())
        return;
    const QVariantMap& info = n.userInfo;
    SourceTuple::Ptr book = bookOf(info.value(QStringLiteral("source")));
    if (book == nullptr && info.contains(QStringLiteral("sourceID"))) {
        const SourceTupleID id = info.value(QStringLiteral("sourceID")).value<SourceTupleID>();
        if (id.isFakeJournalDoc())
            book = JournalSourceTuple::journalSourceTuple();
        else if (m_env.library != nullptr)
            book = m_env.library->allSources()->tupleForSourceTupleID(id);
    }
    if (book == nullptr)
        return;
    const bool hasKey = info.contains(QStringLiteral("key"));
    const bool hasSection = info.contains(QStringLiteral("section"));
    const bool hasTitle = info.contains(QStringLiteral("journalTitle"));
    if (!hasKey && !hasSection && !hasTitle)
        return;
    NoteLocation l;
    l.source = book->sourceTupleID();
    l.key = info.value(QStringLiteral("key")).toUInt();
    l.section = info.value(QStringLiteral("section")).toUInt();
    if (hasTitle)
        l.journalTitle = info.value(QStringLiteral("journalTitle")).toString();

    view();
    // A note that could not be saved stays in the editor rather than being replaced.
    if (!saveEditedText(false))
        return;
    m_editor->retireLivePages();
    clearState();
    emit showRequested();
    loadNote(l);
    const bool askedEdit = info.value(QStringLiteral("edit")).toBool();
    const bool askedEditIfEmpty = info.value(QStringLiteral("editIfEmpty")).toBool();
    // A note that could not be read opens in no editor until it has been read.
    m_editWhenRead = m_unreadable && askedEdit;
    m_editIfEmptyWhenRead = m_unreadable && askedEditIfEmpty;
    const bool edit = !m_unreadable && (askedEdit || (askedEditIfEmpty && m_webViewString.isEmpty()));

    showTitles(book);
    if (edit) {
        m_selectedTab = RichEditTab;
        populateRichEditWebView(true);
        showTab(RichEditTab);
    } else {
        populateViewWebView();
        showTab(ViewTab);
    }
    updateStatusPane();
}

void StudyPaneNoteViewEditViewController::showTitles(const SourceTuple::Ptr& book)
{
    const NoteLocation shown = location();
    QString bookTitle;
    if (book != nullptr)
        bookTitle = book->isFakeJournalDoc() ? book->record().name
                                             : QStringLiteral("%1 (%2)").arg(book->record().name, book->record().abbr);
    QString noteTitle;
    if (shown.hasJournalNote()) {
        noteTitle = shown.journalTitle.value_or(QString());
    } else if (shown.key != 0) {
        BibleRef ref;
        ref.setBibleKey(shown.key);
        noteTitle = ref.fullSpelling();
    } else if (book != nullptr) {
        noteTitle = book->words().plainTextSearchResultTitleForSection(shown.section);
    }
    m_header->setTitles(bookTitle, noteTitle);
}

// --- tabs ---

bool StudyPaneNoteViewEditViewController::tabShouldSelect(Tab tab) const
{
    return tab == ViewTab || (hasSomethingToDisplay() && !m_unreadable);
}

void StudyPaneNoteViewEditViewController::selectTab(Tab tab)
{
    view();
    if (tab == m_selectedTab) {
        showTab(tab);
        return;
    }
    if (!tabShouldSelect(tab)) {
        showTab(m_selectedTab);
        return;
    }
    // A note that could not be saved keeps its editor, and the text in it.
    if (!saveEditedText(false)) {
        showTab(m_selectedTab);
        return;
    }
    // A save that emptied the note cleared the pane, which now offers only View.
    if (!tabShouldSelect(tab)) {
        showTab(m_selectedTab);
        return;
    }
    m_editor->retireLivePages();
    m_selectedTab = tab;
    populateTab(tab, true);
    showTab(tab);
    updateStatusPane();
}

void StudyPaneNoteViewEditViewController::showTab(Tab tab, bool takeFocus)
{
    m_selectedTab = tab;
    m_editor->setRichEditorShown(tab == RichEditTab);
    if (m_tabBar != nullptr && m_tabBar->currentIndex() != tab) {
        const QSignalBlocker quiet(m_tabBar);
        m_tabBar->setCurrentIndex(tab);
    }
    if (m_stack != nullptr)
        m_stack->setCurrentIndex(tab);
    tabDidSelect(takeFocus);
}

bool StudyPaneNoteViewEditViewController::keysHere() const
{
    const QWidget* focus = QApplication::focusWidget();
    const QWidget* root = loadedView();
    return focus != nullptr && root != nullptr && (focus == root || root->isAncestorOf(focus));
}

void StudyPaneNoteViewEditViewController::tabDidSelect(bool takeFocus)
{
    const bool editing = m_selectedTab == RichEditTab || m_selectedTab == TextEditTab;
    m_header->setNoteTitleEditable(location().hasJournalNote() && editing);
    m_editor->enableStyleButtons(m_selectedTab == RichEditTab);
    if (!takeFocus)
        return;
    if (m_selectedTab == RichEditTab)
        focusOnRichEditor();
    else if (m_webViews[m_selectedTab] != nullptr && loadedView() && loadedView()->isVisible())
        m_webViews[m_selectedTab]->setFocus(Qt::OtherFocusReason);
}

void StudyPaneNoteViewEditViewController::populateTab(Tab tab, bool reloadEditor)
{
    switch (tab) {
    case ViewTab:
        populateViewWebView();
        break;
    case RichEditTab:
        populateRichEditWebView(reloadEditor);
        break;
    case TextEditTab:
        populateTextEditWebView(reloadEditor);
        break;
    }
}

void StudyPaneNoteViewEditViewController::focusOnRichEditor()
{
    QPointer<StudyPaneNoteViewEditViewController> self(this);
    // The keys the editor takes are the ones that were here, or where they were when it was asked
    // for (the page whose command opened it): keys the reader moved on meanwhile stay where they went.
    const QPointer<QWidget> keysBefore = QApplication::focusWidget();
    QTimer::singleShot(200, this, [self, keysBefore] {
        if (!self || self->m_selectedTab != RichEditTab || self->m_webViews[RichEditTab] == nullptr)
            return;
        if (!self->keysHere() && QApplication::focusWidget() != keysBefore.data())
            return;
        self->m_links->hidePreview();
        if (self->loadedView() && self->loadedView()->isVisible())
            self->m_webViews[RichEditTab]->setFocus(Qt::OtherFocusReason);
        if (self->m_webViews[RichEditTab]->isPageReady())
            self->m_webViews[RichEditTab]->page()->runJavaScript(QStringLiteral("qsFocusEditor()"));
    });
}

void StudyPaneNoteViewEditViewController::studyPaneWillChangeSubview()
{
    m_links->hidePreview();
    saveEditedText(true);
}

void StudyPaneNoteViewEditViewController::studyPaneDidActivateSubview()
{
    noticeDeletionElsewhere();
    if (m_selectedTab == RichEditTab)
        focusOnRichEditor();
    else if (m_webViews[m_selectedTab] != nullptr)
        m_webViews[m_selectedTab]->setFocus(Qt::OtherFocusReason);
}

// --- pages ---

QList<NoteHtml::SearchItem> StudyPaneNoteViewEditViewController::searchWordsForShownNote() const
{
    QList<NoteHtml::SearchItem> out;
    const NoteLocation l = location();
    if (host() == nullptr || !l.source)
        return out;
    const SearchResultsAggregator* agg = host()->notesSearchResultsAggregatorForTupleID(*l.source);
    const SearchWordListRef* words = agg != nullptr ? searchResultsSearchWordsForSection(agg, l.section) : nullptr;
    if (words == nullptr)
        return out;
    for (uint32_t i = 0; i < words->list.count(); ++i) {
        NoteHtml::SearchItem item;
        for (uint32_t j = 0; j < words->list.formCount(i); ++j) {
            const AnItem& form = words->list.itemForm(i, j);
            if (form.hasWord && form.attribute.empty() && !form.word.empty())
                item.forms.append(QString::fromStdU16String(form.word));
        }
        if (!item.forms.isEmpty())
            out.append(item);
    }
    return out;
}

void StudyPaneNoteViewEditViewController::populateViewWebView()
{
    if (m_webViews[ViewTab] == nullptr)
        return;
    const quint64 serial = ++m_nextSerial;
    // A note that could not be read is not shown as empty.
    const QString shown = m_unreadable
        ? QStringLiteral("<p><i>This note could not be read yet: another program holds the notes database. It is "
                         "shown as soon as the database can be read again.</i></p>")
        : m_webViewString;
    const QString page = NoteHtml::viewPage(shown, m_cssString, QString(), searchWordsForShownNote());
    m_webViews[ViewTab]->loadPage(serial, page, m_script);
}

void StudyPaneNoteViewEditViewController::populateRichEditWebView(bool reload)
{
    NoteWebView* v = m_webViews[RichEditTab];
    if (v == nullptr)
        return;
    if (reload) {
        const quint64 serial = ++m_nextSerial;
        m_editor->addPage(serial, location(), NoteHtml::Source::RichEdit, m_selectedTab == RichEditTab);
        v->loadPage(serial, NoteHtml::richEditorPage(m_webViewString, m_cssString), m_script);
    } else if (!v->isPageReady()) {
        populateRichEditWebView(true);
        return;
    } else {
        // The stored form replaces the editor's content, keeping the caret, unless the user typed
        // since the copy that was stored.
        const StudyPaneNoteEditor::Page* shown = m_editor->pageShownBy(v);
        const quint64 expected = shown != nullptr ? shown->latestChange : 0;
        const QString content = NoteHtml::richEditorContent(m_webViewString);
        v->page()->runJavaScript(QStringLiteral("qsReplaceEditorContent(%1, %2)")
                                     .arg(StudyPaneNoteEditor::scriptString(content))
                                     .arg(expected));
    }
    m_webViewHasBeenEdited = false;
}

void StudyPaneNoteViewEditViewController::populateTextEditWebView(bool reload)
{
    NoteWebView* v = m_webViews[TextEditTab];
    if (v == nullptr)
        return;
    const StudyPaneNoteEditor::Page* shown = m_editor->pageShownBy(v);
    if (!reload && v->isPageReady() && shown != nullptr && shown->live && shown->location == location()) {
        // A copy from elsewhere replaces the source in place, keeping the caret, unless the user typed
        // since the reader's copy: keys still on their way to a page being replaced would be lost,
        // and typing wins over a copy from elsewhere until it is saved.
        v->page()->runJavaScript(QStringLiteral("qsReplaceEditorContent(%1, %2)")
                                     .arg(StudyPaneNoteEditor::scriptString(m_webViewString))
                                     .arg(shown->latestChange));
        m_webViewHasBeenEdited = false;
        return;
    }
    const quint64 serial = ++m_nextSerial;
    m_editor->addPage(serial, location(), NoteHtml::Source::TextEdit, m_selectedTab == TextEditTab);
    v->loadPage(serial, NoteHtml::textEditorPage(m_webViewString), m_script);
    m_webViewHasBeenEdited = false;
}

void StudyPaneNoteViewEditViewController::restoreTab(Tab tab)
{
    // Only the shown tab is drawn again now: the others load anew when they are selected.
    NoteWebView* v = m_webViews[tab];
    if (tab != m_selectedTab || m_exiting || v == nullptr || !loadedView()) {
        if (tab == m_selectedTab)
            m_recovery->giveUp();
        return;
    }
    if (tab == ViewTab) {
        populateViewWebView();
        return;
    }
    // The editor comes back with the newest text the reader holds: what its page pushed last is
    // stored, as an autosave stores it, and a new page shows it and takes the typing from there,
    // with its caret where it was and the keys typed meanwhile.
    // The new page starts from exactly what the old one had confirmed, not from the stored form of
    // it: storing trims the blank typed last, and the words typed next would run into the last one.
    const StudyPaneNoteEditor::Page* ended = m_editor->livePage(v);
    const std::optional<QString> confirmed =
        ended != nullptr && ended->latestChange > 0 ? std::optional<QString>(ended->latest) : std::nullopt;
    const bool saved = saveEditedText(true);
    if (tab != m_selectedTab) {
        // What the editor held was empty: the note is gone and the pane shows that.
        m_recovery->giveUp();
        return;
    }
    m_editor->retireLivePages();
    if (confirmed)
        m_webViewString = *confirmed;
    const quint64 endedPage = v->serial();
    populateTab(tab, true);
    m_recovery->restoring(v, endedPage);
    if (!saved) {
        // Refused by the database: the text is still owed, and the new page holds it.
        m_webViewHasBeenEdited = true;
        m_webViewNeedsFinalSave = true;
    }
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(v, &QWebEngineView::loadFinished, this, [this, once, tab](bool) {
        disconnect(*once);
        // The focus is the recovery's to give back: not when the user went elsewhere meanwhile.
        if (m_selectedTab == tab)
            tabDidSelect(false);
    });
    updateStatusPane();
}

// --- edits and saves ---

void StudyPaneNoteViewEditViewController::webViewDidChange()
{
    m_typedSinceDeletion = true;
    m_webViewHasBeenEdited = true;
    m_webViewNeedsFinalSave = true;
    if (!m_autosaveTimer.isActive())
        m_autosaveTimer.start();
    updateStatusPane();
}

bool StudyPaneNoteViewEditViewController::saveEditedText(bool intermediate)
{
    m_autosaveTimer.stop();
    NoteLocation l = location();
    if (!l.hasSomethingToDisplay() || m_selectedTab == ViewTab)
        return true;
    StudyPaneNoteEditor::Page* page =
        m_editor->livePage(m_selectedTab == ViewTab ? nullptr : m_webViews[m_selectedTab].data());
    // A note deleted elsewhere is written back only by what the reader types into it from then on.
    if ((m_webViewHasBeenEdited || m_webViewNeedsFinalSave) && noticeDeletionElsewhere() && !m_typedSinceDeletion) {
        m_webViewHasBeenEdited = m_webViewNeedsFinalSave = false;
        updateStatusPane();
        return true;
    }
    const bool owedFinal = !intermediate && m_webViewNeedsFinalSave;
    NoteLocation replaced;
    bool titleRetyped = false;
    if (l.hasJournalNote()) {
        const QString current = l.journalTitle.value_or(QString());
        QString typed = NoteStore::cleanJournalTitle(m_header->typedNoteTitle());
        if (typed.isEmpty())
            typed = current.isEmpty() ? QStringLiteral("Untitled") : current;
        QString title;
        titleRetyped = typed != current;
        if (typed == current) {
            if (!m_webViewHasBeenEdited && !owedFinal)
                return true;
            title = typed;
        } else if (typed.compare(current, Qt::CaseInsensitive) == 0) {
            // A change of letter case respells the note's own record; a note known only by its
            // title is stored afresh under the new spelling.
            if (!NoteStore(m_env.notes).namesLiveJournalRecord(l))
                NoteStore(m_env.notes).remove(NoteLocation::journal(current));
            title = typed;
        } else {
            title = NoteStore(m_env.notes).uniqueJournalTitleFrom(typed);
            if (title.isEmpty()) {
                // Which titles are taken could not be read: the text stays owed, under its title.
                m_editor->storeFailedUnread(l);
                m_webViewHasBeenEdited = true;
                m_webViewNeedsFinalSave = true;
                m_autosaveTimer.start();
                updateStatusPane();
                return false;
            }
            if (!current.isEmpty())
                replaced = NoteLocation::journal(current);
        }
        l.journalTitle = title;
        m_header->setNoteTitle(title);
        setLocation(l);
        // Late pushes of the editor go to the note's new title.
        m_editor->renameJournalPages(current, title);
    } else if (!m_webViewHasBeenEdited && !owedFinal) {
        return true;
    }
    m_webViewHasBeenEdited = false;
    m_webViewNeedsFinalSave = intermediate;
    const quint64 savedBefore = page != nullptr ? page->savedChange : 0;
    // The note's time is that of the user's last change to its text, not of the save.
    QDateTime changedAt;
    if (page != nullptr && page->latestChange > 0) {
        m_webViewString = page->latest;
        page->savedChange = page->latestChange;
        if (!titleRetyped)
            changedAt = page->latestAt;
    }
    // Every save stores the text's final form: a later save of the same text then writes nothing, so
    // neither the final save owed after an autosave nor a quit re-dates a note the user did not change.
    const NoteHtml::Source source =
        m_selectedTab == RichEditTab ? NoteHtml::Source::RichEdit : NoteHtml::Source::TextEdit;
    const QString stored = NoteHtml::savedText(m_webViewString, source, NoteHtml::SaveKind::Final);
    // A rename whose save failed still owes the removal of the former title.
    if (!replaced.hasSomethingToDisplay() && m_owedJournalRemoval.hasSomethingToDisplay() &&
        !(m_owedJournalRemoval == l))
        replaced = m_owedJournalRemoval;
    m_owedJournalRemoval = NoteLocation();
    const qint64 serverID = m_currentServerID;
    m_currentServerID = 0;
    bool written = false;
    if (m_editor->store(l, stored, nullptr, replaced, changedAt, &written)) {
        m_stored = !NoteText::showsNothing(stored.toStdU16String());
        if (m_deletion == Deletion::Elsewhere && written) {
            m_deletion = Deletion::BroughtBack;
            updateStatusPane();
        }
        if (!written) {
            m_currentServerID = serverID;  // the stored copy, and its server copy, are as they were
            updateStatusPane();
        }
        return true;
    }
    m_owedJournalRemoval = replaced;
    // Nothing was written: the text is still owed, whole, and the editor keeps it; the autosave tries
    // again (another program may hold the database for a while).
    m_webViewHasBeenEdited = true;
    m_webViewNeedsFinalSave = true;
    m_currentServerID = serverID;
    if (page != nullptr)
        page->savedChange = savedBefore;
    m_autosaveTimer.start();
    updateStatusPane();
    return false;
}

void StudyPaneNoteViewEditViewController::displayPreferencesChanged()
{
    saveEditedText(false);
    m_cssString = noteStyleSheet(m_env);
    if (loadedView()) {
        m_editor->retireLivePages();
        populateTab(m_selectedTab, true);
    }
}

void StudyPaneNoteViewEditViewController::clearState()
{
    m_header->setTitles(QStringLiteral("---"), QStringLiteral("No Note to View"));
    setLocation(NoteLocation());
    m_webViewString.clear();
    m_webViewHasBeenEdited = false;
    m_webViewNeedsFinalSave = false;
    m_currentServerID = 0;
    m_stored = false;
    m_deletion = Deletion::None;
    m_unreadable = false;
    m_editWhenRead = m_editIfEmptyWhenRead = m_refreshOwed = false;
    m_readAgainTimer.stop();
    m_editor->clearSaveFailure();
    m_owedJournalRemoval = NoteLocation();
    m_autosaveTimer.stop();
    updateStatusPane();
}

void StudyPaneNoteViewEditViewController::updateStatusPane()
{
    StudyPaneNoteHeader::Status status;
    status.hasNote = hasSomethingToDisplay();
    status.isEmpty = m_webViewString.isEmpty();
    status.isEdited = m_webViewHasBeenEdited;
    status.saveFailed = m_editor->saveFailed();
    status.failureReason = m_editor->saveFailureReason();
    status.autosavePending = m_autosaveTimer.isActive();
    status.syncsAutomatically = m_env.syncAutomatically && m_env.syncAutomatically();
    status.hasServerCopy = m_currentServerID != 0;
    status.deletedElsewhere = m_deletion == Deletion::Elsewhere;
    status.broughtBack = m_deletion == Deletion::BroughtBack;
    status.unreadable = m_unreadable;
    // The text as the editor holds it now (pushed as it is typed), else as stored.
    const QString* text = &m_webViewString;
    if (m_selectedTab != ViewTab) {
        const StudyPaneNoteEditor::Page* page = m_editor->livePage(m_webViews[m_selectedTab].data());
        if (page != nullptr && page->latestChange > page->savedChange)
            text = &page->latest;
    }
    status.tooLargeToSync = noteTooLargeToSync(text->size(), [text] { return text->toUtf8().size(); });
    m_header->showStatus(status);
}

void StudyPaneNoteViewEditViewController::onDeleteNoteButton()
{
    const NoteLocation l = location();
    if (!l.hasSomethingToDisplay())
        return;
    const Alert alert {.messageText = QStringLiteral("Are you sure you want to delete this note?"),
        .informativeText = QStringLiteral(
            "If you answer 'Yes', you will permanently delete the note. This operation cannot be undone."),
        .buttons = {QStringLiteral("Yes"), QStringLiteral("No")},
        .style = AlertStyle::Warning,
        .defaultButton = 1};  // Return keeps the note
    if (m_env.ask(alert) != AlertFirstButtonReturn)
        return;
    saveEditedText(false);
    const NoteLocation now = location();  // a journal note may have been renamed by the save
    // The deleted note's editor pages take no more pushes.
    m_editor->forgetPagesOf(now);
    switch (now.kind()) {
    case NoteLocation::Kind::Bible:
        StudyPaneNotesListViewController::deleteNoteForKey(m_env, now.key);
        break;
    case NoteLocation::Kind::Journal:
        StudyPaneNotesListViewController::deleteJournalNoteWithTitle(m_env, now.journalTitle.value_or(QString()));
        break;
    case NoteLocation::Kind::Book:
        StudyPaneNotesListViewController::deleteNoteForSection(m_env, now.section, *now.source);
        break;
    case NoteLocation::Kind::None:
        break;
    }
}

void StudyPaneNoteViewEditViewController::exitIsImminent()
{
    if (m_exiting)
        return;
    m_exiting = true;
    m_recovery->giveUp();
    m_links->hidePreview();
    stopObserving();
    m_editor->registerAsFormatTarget(false);
    // Keys typed just before may still wait in the web engine's input queue: the editor takes what
    // the page holds once it has taken every one of them.
    if (m_selectedTab != ViewTab && m_editor->livePage(m_webViews[m_selectedTab].data()) != nullptr)
        m_editor->takeLastPush(m_webViews[m_selectedTab], kExitWaitMs);
    if (!saveEditedText(false)) {
        QString title = m_header->typedNoteTitle().trimmed();
        if (title.isEmpty())
            title = m_header->noteTitle();
        m_editor->offerUnsavedText(m_webViewString, title);
    }
    m_editor->retireLivePages();
    for (NoteWebView* w : m_webViews)
        if (w != nullptr)
            w->hide();
}

// --- bridge ---

QJsonValue StudyPaneNoteViewEditViewController::bridgeCall(
    NoteWebView* view, const QString& name, const QJsonArray& args)
{
    QS_ASSERT_MAIN_THREAD();
    const bool fromView = view == m_webViews[ViewTab];
    const bool fromRich = view == m_webViews[RichEditTab];
    if (name == QLatin1String("contentChanged")) {
        if (!fromView) {
            m_editor->contentChanged(view, args);
            m_recovery->contentPushed(view, args);
        }
        return {};
    }
    if (name == QLatin1String("caret")) {
        if (!fromView)
            m_recovery->caretMoved(view, args);
        return {};
    }
    if (name == QLatin1String("flushed")) {
        if (!fromView && args.size() == 2 && NoteWebView::isWholeNumber(args[0]))
            m_editor->flushed(quint64(args[0].toDouble()));
        return {};
    }
    if (name == QLatin1String("href")) {
        if (fromView && args.size() == 1 && args[0].isString())
            m_links->follow(args[0].toString(), layoutUuid());
        return {};
    }
    if (name == QLatin1String("showHrefTargetInTooltip")) {
        if (fromView && args.size() == 5 && args[0].isString())
            m_links->showPreview(
                args[0].toString(), args[1].toInt(), args[2].toInt(), args[3].toInt(), args[4].toInt());
        return {};
    }
    if (name == QLatin1String("hideHrefTargetTooltip")) {
        m_links->hidePreview();
        return {};
    }
    if (name == QLatin1String("writeToLog")) {
        if (args.size() == 1 && args[0].isString())
            qCInfo(lcNoteEditor).noquote() << args[0].toString().left(1000);
        return {};
    }
    if (name == QLatin1String("stylesChanged")) {
        if (fromRich && m_selectedTab == RichEditTab && args.size() == 1 && args[0].isArray())
            m_editor->updateTagButtonState(args[0].toArray());
        return {};
    }
    if (name == QLatin1String("pastedHtml"))
        return fromRich ? m_editor->pastedHtml(args) : QJsonValue();
    if (name == QLatin1String("linkClickedInEditor"))
        m_links->clickedInEditor();
    return {};
}
