#include "panes/bookpane/BookPaneCommands.h"
#include "platform/ui/PlainLabel.h"

#include "engine/foundation/SimpleDate.h"
#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/BookPanePage.h"
#include "panes/bookpane/BookPaneSpeech.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/BookPageView.h"
#include "platform/ui/ActionRegistry.h"
#include "platform/ui/PopupMenu.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineView>

#include <memory>
#include <utility>

namespace {

QString snippet(const QString& text)
{
    return text.size() >= 21 ? text.left(20) + QStringLiteral("...") : text;
}

QString spell(quint32 start, quint32 end)
{
    return BibleRef::bibleRefWithStartKey(start, end).fullSpelling();
}

// The passage of a selection list: its first to its second entry, or its only one.
QString passageOf(const QList<quint32>& list)
{
    return list.size() >= 2 ? spell(list[0], list[1]) : (list.size() == 1 ? spell(list[0], list[0]) : QString());
}

// Adds an item that runs `action` while `context` lives.
QAction* addItem(QMenu* menu, const QString& title, QObject* context, std::function<void()> action)
{
    QAction* item = menu->addAction(title);
    if (action)
        QObject::connect(item, &QAction::triggered, context, std::move(action));
    return item;
}

// A separator before the next group, unless the menu is still empty.
void separate(QMenu* menu)
{
    if (!menu->actions().isEmpty())
        menu->addSeparator();
}

}  // namespace

BookPaneCommands::BookPaneCommands(BookPaneViewController& pane) : m_pane(pane)
{
}

void BookPaneCommands::attachToPage()
{
    BookPageView* page = m_pane.page();
    // The page's context menu is the pane's.
    page->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(page, &QWidget::customContextMenuRequested, this, [this, page](const QPoint& pos) {
        MenuElement element;
        if (const QWebEngineContextMenuRequest* request = page->lastContextMenuRequest()) {
            element.linkUrl = request->linkUrl().toString();
            element.linkLabel = request->linkText();
            if (request->mediaType() == QWebEngineContextMenuRequest::MediaTypeImage)
                element.imageUrl = request->mediaUrl().toString();
        }
        // The menu names the selected words, which only the page tells from the numbers beside them.
        QPointer<BookPageView> guard(page);
        page->selectionWords([this, guard, element, pos](const QString& text, const QString& html) {
            if (guard)
                showContextMenu(element, pos, html, std::nullopt, text);
        });
    });
    // The keyboard's context-menu keys open the same menu.
    auto* menuKey = new QAction(page);
    menuKey->setShortcuts({QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)});
    menuKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(menuKey, &QAction::triggered, this, [this] { showContextMenuFromKeyboard(); });
    page->addAction(menuKey);
    // The copy key is the window's Copy, which copies from the current pane as this pane does; a
    // page in a window without one copies through its own (one action for a key, or the key is
    // ambiguous and does nothing).
    ActionRegistry* actions = m_pane.window().actions;
    if (actions == nullptr || !actions->contains(QLatin1String(CommandNames::Copy.name))) {
        auto* copy = new QAction(page);
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(copy, &QAction::triggered, this, [this] { onCopy(); });
        page->addAction(copy);
    }
    // The selection as the page reports it is the one the commands act on (unless a menu holds its
    // own), and the window's commands that read it (Copy, Copy Passage Now) follow it at once.
    connect(page, &BookPageView::selectedBlocksOrKeysChanged, this, [this] {
        if (!m_hasSelectionOverride)
            m_selectedBlocksOrKeys = m_pane.page()->selectedBlocksOrKeys();
        if (ActionRegistry* registry = m_pane.window().actions)
            registry->scheduleUpdate();
    });
    connect(page, &QWebEngineView::selectionChanged, this, [this] {
        if (ActionRegistry* registry = m_pane.window().actions)
            registry->scheduleUpdate();
    });
}

void BookPaneCommands::showContextMenuFromKeyboard()
{
    BookPageView* page = m_pane.page();
    if (page->isPageLoading()) {
        // Once, however often the key was pressed meanwhile; after the load's own placing of the view
        // (queued behind it), and only while the keys are still in the page.
        if (std::exchange(m_keyboardMenuWaits, true))
            return;
        auto once = std::make_shared<QMetaObject::Connection>();
        *once = connect(page, &BookPageView::pageLoaded, this, [this, once, page](quint64, bool ok) {
            QObject::disconnect(*once);
            m_keyboardMenuWaits = false;
            if (ok)
                QTimer::singleShot(0, this, [this, guard = QPointer<BookPageView>(page)] {
                    if (guard && guard == m_pane.page() &&
                        (guard->hasFocus() || guard->isAncestorOf(QApplication::focusWidget())))
                        showContextMenuFromKeyboard();
                });
        });
        return;
    }
    // The page chooses what the menu acts on and selects it: the selection in view, else the verse
    // (or block) at the caret or last pressed while in view, else the one at the top of the view;
    // answered as [left, bottom] of its first line in view and its blocks or verse keys.
    static const QString script = QStringLiteral("typeof qsMenuSelection === 'function' ? qsMenuSelection() : []");
    QPointer<BookPageView> guard(page);
    page->page()->runJavaScript(script, [this, guard](const QVariant& answer) {
        const QVariantList a = answer.toList();
        if (!guard || a.size() != 3)
            return;
        const double zoom = guard->zoomFactor() > 0 ? guard->zoomFactor() : 1.0;
        const QPoint pos(int(a[0].toDouble() * zoom), int(a[1].toDouble() * zoom));
        QList<quint32> keys;
        for (const QVariant& v : a[2].toList())
            if (v.toDouble() >= 0 && v.toDouble() <= 0xFFFFFFFF)
                keys.append(static_cast<quint32>(v.toDouble()));
        guard->selectionWords([this, guard, pos, keys](const QString& text, const QString& html) {
            if (guard)
                showContextMenu(MenuElement(), pos, html, keys, text);
        });
    });
}

void BookPaneCommands::showContextMenu(const MenuElement& element, const QPoint& pos, const QString& selectionHtml,
    const std::optional<QList<quint32>>& keys, const std::optional<QString>& text)
{
    BookPageView* page = m_pane.page();
    // The engine's own items answer the last click on the page: a menu from the keyboard has none.
    // They are the page's; the engine's menu that lists them goes at once.
    QMenu* standard = keys || page->lastContextMenuRequest() == nullptr ? nullptr : page->createStandardContextMenu();
    const QList<QAction*> kept = standard ? keptPageItems(standard->actions(), page) : QList<QAction*>();
    delete standard;
    // While the menu is open (and its commands run) the selection is the one it was built for.
    const bool hadOverride = m_hasSelectionOverride;
    const QString oldText = m_selectionText;
    const QString oldHtml = m_selectionHtml;
    if (!hadOverride) {
        // the override below keeps the list as it is
        m_selectedBlocksOrKeys = keys ? *keys : page->selectedBlocksOrKeys();
        setSelectionOverride(text ? *text : page->selectedText(), selectionHtml);
    }
    // The chosen command runs once the menu is gone: it may close this pane, page and all.
    const QPointer<BookPaneCommands> self(this);
    if (QMenu* menu = contextMenu(element, kept, page))
        PopupMenu::exec(menu, page->mapToGlobal(pos));
    if (!self)
        return;
    if (!hadOverride) {
        m_hasSelectionOverride = false;
        m_selectionText = oldText;
        m_selectionHtml = oldHtml;
    }
}

QString BookPaneCommands::lookUpText() const
{
    return selectedText().simplified();
}

void BookPaneCommands::withSelectionWords(std::function<void(const QString& text, const QString& html)> done)
{
    if (m_hasSelectionOverride) {
        done(m_selectionText, m_selectionHtml);
        return;
    }
    QPointer<BookPageView> guard(m_pane.page());
    QPointer<BookPaneCommands> self(this);
    m_pane.page()->selectionWords([guard, self, done = std::move(done)](const QString& text, const QString& html) {
        if (guard && self)
            done(text, html);
    });
}

QList<QAction*> BookPaneCommands::keptPageItems(const QList<QAction*>& standardItems, QWidget* page)
{
    auto* view = qobject_cast<QWebEngineView*>(page);
    if (view == nullptr)
        return {};
    const std::pair<QWebEnginePage::WebAction, const char*> roles[] = {{QWebEnginePage::Copy, "copy"},
        {QWebEnginePage::CopyImageToClipboard, "copyImage"}, {QWebEnginePage::SelectAll, "selectAll"}};
    QList<QAction*> kept;
    for (QAction* item : standardItems) {
        for (const auto& [action, role] : roles) {
            if (item == view->pageAction(action)) {
                item->setProperty("pageItem", QString::fromLatin1(role));
                kept << item;
            }
        }
    }
    return kept;
}

quint32 BookPaneCommands::selectedReadingNumber() const
{
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    if (!book || m_selectedBlocksOrKeys.isEmpty())
        return 0;
    const quint32 section = book->locations().sectionForBlock(m_selectedBlocksOrKeys[0]);
    return section != 0 ? book->readings().readingNumberForSection(section) : 0;
}

void BookPaneCommands::findSelectedBlocksOrKeys()
{
    if (!m_hasSelectionOverride)
        m_selectedBlocksOrKeys = m_pane.page()->selectedBlocksOrKeys();
}

void BookPaneCommands::setSelectionOverride(const QString& text, const QString& html)
{
    m_hasSelectionOverride = true;
    m_selectionText = text;
    m_selectionHtml = html;
}

QString BookPaneCommands::selectedText() const
{
    return m_hasSelectionOverride ? m_selectionText : m_pane.page()->selectedText();
}

QString BookPaneCommands::selectedBibleRefString() const
{
    const QList<quint32>& l = m_selectedBlocksOrKeys;
    if (!m_pane.isABible() || l.isEmpty())
        return {};
    return spell(l[0], l.size() >= 2 ? l[1] : l[0]);
}

QString BookPaneCommands::currentVerseRefString() const
{
    const SourceTuple::Ptr book = m_pane.currentSourceTuple();
    const quint64 section = m_pane.currentSourceSection();
    if (!book || !m_pane.isABible() || section == 0 || section >= 0xFFFFFFFF)
        return {};
    quint32 key = book->locations().keyForSection(static_cast<quint32>(section));
    if (key == 0)
        return {};
    if ((key & 0xFF00) == 0)
        key |= 0x0100;  // a book's opening: its first chapter
    if ((key & 0xFF) == 0)
        key |= 0x01;  // a chapter's heading: its first verse
    return spell(key, key);
}

void BookPaneCommands::putOnClipboard(const QString& html, const QString& text)
{
    auto* mime = new QMimeData;
    mime->setHtml(html);
    mime->setText(text);
    QApplication::clipboard()->setMimeData(mime);
}

void BookPaneCommands::onCopy(std::function<void()> done)
{
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    auto finish = [hooks = m_pane.environment().hooks, book, done](const QString& selectionHtml, const QString& text) {
        // Nothing selected copies nothing: what the clipboard holds stays there.
        if (selectionHtml.isEmpty() && text.isEmpty()) {
            if (done)
                done();
            return;
        }
        QString html = BookPageView::filterHtml(selectionHtml, 2, false);
        html = hooks->patchImageSources(html, book);
        putOnClipboard(html, text);
        if (done)
            done();
    };
    withSelectionWords([finish](const QString& text, const QString& html) { finish(html, text); });
}

void BookPaneCommands::doCopyPassage(bool now)
{
    const QList<quint32>& l = m_selectedBlocksOrKeys;
    QString passage;
    if (l.size() == 1)
        passage = spell(l[0], l[0]);
    else if (l.size() >= 2)
        passage = spell(l[0], l[1]);
    m_pane.hooks().copyPassage(
        {{"passage", passage}, {"bibleTuple", sharedObjectVariant(m_pane.currentSourceTuple())}}, now);
}

void BookPaneCommands::onSyncToSelectedVerse()
{
    if (m_selectedBlocksOrKeys.isEmpty())
        return;
    GoToRequest request;
    request.layoutUuid = m_pane.layoutUuid();
    request.sourceTuple = m_pane.currentSourceTuple();
    request.bibleKey = m_selectedBlocksOrKeys[0];
    request.syncAnyway = true;
    request.paneRegion = m_pane.pageHost().paneRegion();
    request.postLocationSync(m_pane.window().notifications(), &m_pane);
}

void BookPaneCommands::onAutostudyVerse()
{
    // Without a selection the study is of the verse the reader is at.
    findSelectedBlocksOrKeys();
    const QString selected = selectedBibleRefString();
    onAutostudyThisVerse(selected.isEmpty() ? currentVerseRefString() : selected);
}

void BookPaneCommands::onAutostudyThisVerse(const QString& refString)
{
    QVariantMap request;
    if (!refString.isEmpty())
        request.insert("refString", refString);
    if (m_pane.isABible())
        request.insert("sourceTuple", sharedObjectVariant(m_pane.currentSourceTuple()));
    m_pane.window().notifications().postNotificationName(
        PaneNotifications::UserWantsToDoVerseAutostudy, nullptr, request);
}

void BookPaneCommands::onAutostudyWord()
{
    withSelectionWords([this](const QString& text, const QString&) {
        QVariantMap request {{"word", text.simplified()}};
        if (SourceTuple::Ptr t = m_pane.currentSourceTuple())
            request.insert("sourceTuple", sharedObjectVariant(t));
        m_pane.window().notifications().postNotificationName(
            PaneNotifications::UserWantsToDoWordAutostudy, nullptr, request);
    });
}

void BookPaneCommands::onAutostudyToday()
{
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    const quint32 n = selectedReadingNumber();
    QDate date = QDate::currentDate();
    if (n > 0) {
        const SimpleDate reading = book->readings().dateForReadingNumber(n);
        const QDate readingDate(reading.year(), reading.month(), reading.day());
        if (readingDate.isValid())
            date = readingDate;
    }
    QVariantMap request {{"date", date}};
    m_pane.window().notifications().postNotificationName(
        PaneNotifications::UserWantsToDoTodayAutostudy, nullptr, request);
}

void BookPaneCommands::onLookup()
{
    GoToRequest request;
    request.wordSync = lookUpText();
    request.sync = true;
    request.activatePane = true;
    request.layoutUuid = m_pane.layoutUuid();
    request.post(m_pane.window().notifications(), &m_pane);
}

void BookPaneCommands::onAddViewNoteSelected()
{
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    if (m_selectedBlocksOrKeys.isEmpty() || !book)
        return;
    const quint32 first = m_selectedBlocksOrKeys[0];
    const quint32 key = m_pane.isABible() ? first : 0;
    const quint32 section =
        m_pane.isABible() ? book->locations().sectionForBibleKey(first) : book->locations().sectionForBlock(first);
    m_pane.window().notifications().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, &m_pane,
        {{"source", sharedObjectVariant(book)}, {"section", section}, {"key", key}, {"editIfEmpty", true}});
}

void BookPaneCommands::onRemoveNoteSelected()
{
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    if (m_selectedBlocksOrKeys.isEmpty() || !book)
        return;
    // The note is shown first; the question names whose note goes, and Return keeps it.
    const quint32 first = m_selectedBlocksOrKeys[0];
    onAddViewNoteSelected();
    QMessageBox box(QMessageBox::Warning, QString(), noteDeletionQuestion(first));
    PlainLabel::makePlain(&box);
    box.setInformativeText(
        tr("If you answer 'Yes', you will permanently delete the note. This operation cannot be undone."));
    QPushButton* yes = box.addButton(tr("Yes"), QMessageBox::AcceptRole);
    QPushButton* no = box.addButton(tr("No"), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    if (box.clickedButton() != static_cast<QAbstractButton*>(yes))
        return;
    const quint32 section =
        m_pane.isABible() ? book->locations().sectionForBibleKey(first) : book->locations().sectionForBlock(first);
    m_pane.hooks().deleteNote(book, m_pane.isABible() ? first : 0, section, m_pane.isABible());
}

QString BookPaneCommands::noteDeletionQuestion(quint32 blockOrKey) const
{
    return m_pane.isABible() ? tr("Delete your note on %1?").arg(spell(blockOrKey, blockOrKey))
                             : tr("Delete your note on this section?");
}

void BookPaneCommands::onRemoveTempHL()
{
    if (LayoutRegionContentItemState* state = m_pane.currentSourceState()) {
        state->setTempHighlightStartSection(0);
        state->setTempHighlightEndSection(0);
        m_pane.pageHost().displayCurrentSource(true);
    }
}

void BookPaneCommands::onCopyImage(const QString& imageUrl)
{
    const QString name = QUrl(imageUrl).fileName();
    const QString path = m_pane.hooks().copyImageToCache(name, m_pane.currentSourceTuple());
    QImage image;
    if (path.isEmpty() || !image.load(path))
        return;
    QApplication::clipboard()->clear();
    QApplication::clipboard()->setImage(image);
}

QMenu* BookPaneCommands::contextMenu(const MenuElement& element, const QList<QAction*>& defaultItems, QWidget* parent)
{
    findSelectedBlocksOrKeys();
    auto* menu = new QMenu(parent);
    QString lastNamed;
    addSelectionItems(menu, lastNamed);
    addWindowItems(menu);
    if (m_pane.currentSourceTuple()) {
        // The pane's own location-sync options.
        if (m_pane.isPaneCurrent()) {
            separate(menu);
            addItem(menu, tr("Location Sync..."), this, [this] { emit m_pane.locationSyncSettingsRequested(); });
        }
        addAutostudyItems(menu, element, lastNamed);
        addSpeechItems(menu, element);
    }
    addPageItems(menu, element, defaultItems);
    if (menu->actions().isEmpty()) {
        delete menu;
        return nullptr;
    }
    return menu;
}

// Highlight, bookmark, note, look-up, linked-to highlighting, copy and sync on the selection.
void BookPaneCommands::addSelectionItems(QMenu* menu, QString& lastNamed)
{
    const QList<quint32> list = m_selectedBlocksOrKeys;
    const int n = int(list.size());
    const bool bible = m_pane.isABible();
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    // The menu's items keep the hooks they were made with, whatever becomes of the pane meanwhile.
    const std::shared_ptr<BookPaneHooks> shared = m_pane.environment().hooks;
    BookPaneHooks& hooks = *shared;
    const QString passage = passageOf(list);
    const QString firstVerse = n >= 1 ? spell(list[0], list[0]) : QString();
    if (bible && n >= 1) {
        QMenu* colors = menu->addMenu(tr("Highlight %1").arg(passage));
        colors->setObjectName(QStringLiteral("Colors"));
        hooks.populateColorMenu(colors, 2, [shared, list](const QVariantMap& payload) {
            shared->highlight(list, quint16(payload.value("colorID").toUInt()));
        });
    }
    if (n >= 1) {
        QMenu* categories = menu->addMenu(bible ? tr("Bookmark %1").arg(firstVerse) : tr("Bookmark This Section"));
        categories->setObjectName(QStringLiteral("Categories"));
        hooks.populateCategoryMenu(categories, 6, book, list[0], bible,
            [shared, book, list, bible](const QVariantMap& p) { shared->bookmark(book, list[0], bible, p); });
        if (hooks.hasBookmarks(book, list[0], bible)) {
            QMenu* remove = menu->addMenu(
                bible ? tr("Remove Bookmark(s) From %1").arg(firstVerse) : tr("Remove Bookmark(s) From This Section"));
            remove->setObjectName(QStringLiteral("Categories"));
            hooks.populateCategoryMenu(remove, 8, book, list[0], bible,
                [shared, book, list, bible](const QVariantMap& p) { shared->removeBookmark(book, list[0], bible, p); });
        }
        const bool note = hooks.hasNote(book, list[0], bible);
        if (note)
            addItem(menu, bible ? tr("View Note on %1").arg(firstVerse) : tr("View Note on This Section"), this,
                [this] { onAddViewNoteSelected(); });
        else
            addItem(menu, bible ? tr("Add Note to %1").arg(firstVerse) : tr("Add Note to This Section"), this,
                [this] { onAddViewNoteSelected(); });
        if (note)
            addItem(menu, bible ? tr("Remove Note from %1").arg(firstVerse) : tr("Remove Note from This Section"), this,
                [this] { onRemoveNoteSelected(); });
    }
    const QString text = lookUpText();
    if (!text.isEmpty())
        addItem(menu, tr("Look Up \u201C%1\u201D in Quillstead").arg(snippet(text)), this, [this] { onLookup(); });
    if (bible && n >= 1 && book) {
        LayoutRegionContentItemState* state = m_pane.currentSourceState();
        const quint64 s = state ? state->tempHighlightStartSection() : 0;
        const quint64 e = state ? state->tempHighlightEndSection() : 0;
        if (s != 0 && e != 0 && s <= book->locations().sectionForBibleKey(list.last()) &&
            book->locations().sectionForBibleKey(list[0]) <= e)
            addItem(menu, tr("Remove Linked-To Verse Highlighting"), this, [this] { onRemoveTempHL(); });
    }
    if (bible)
        addItem(menu, n == 0 ? tr("Copy Passage") : tr("Copy %1 with Formatting").arg(passage), this,
            [this] { doCopyPassage(false); });
    if (bible && n >= 1) {
        addItem(menu, tr("Copy %1 with Formatting Now!").arg(passage), this, [this] { doCopyPassage(true); });
        addItem(menu, tr("Sync all Bibles and Commentaries to %1").arg(firstVerse), this,
            [this] { onSyncToSelectedVerse(); });
        lastNamed = firstVerse;
    }
}

// The window's pane commands, as the window's own actions (the pane has none without a window).
void BookPaneCommands::addWindowItems(QMenu* menu)
{
    ActionRegistry* actions = m_pane.window().actions;
    if (actions == nullptr)
        return;
    actions->updateStates();
    bool first = true;
    auto offer = [&](const CommandId& id, bool shown) {
        QAction* command = actions->action(id);
        if (!shown || command == nullptr)
            return;
        if (first)
            separate(menu);
        first = false;
        menu->addAction(command);
    };
    const bool current = m_pane.isPaneCurrent();
    Layout* layout = m_pane.layout();
    offer(CommandNames::SplitPaneHorizontally,
        current && actions->action(CommandNames::SplitPaneHorizontally)->isEnabled());
    offer(
        CommandNames::SplitPaneVertically, current && actions->action(CommandNames::SplitPaneVertically)->isEnabled());
    offer(CommandNames::ClosePane, current && layout && layout->countRegionsWithKind(QString()) >= 2);
    const bool book = m_pane.currentSourceTuple() != nullptr;
    offer(CommandNames::MaximizePane, book);
    offer(CommandNames::MaximizeBook, book);
}

// Autostudy of the linked or selected passage, of the word, and of today's reading.
void BookPaneCommands::addAutostudyItems(QMenu* menu, const MenuElement& element, const QString& lastNamed)
{
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    separate(menu);
    QString ref;
    bool linkIsBibleRef = false;
    const QString link = QUrl::fromPercentEncoding(element.linkUrl.toUtf8());
    if (!link.isEmpty()) {
        BibleRef r = BibleRef::bibleRefWithLinkString(link);
        if (r.isValid()) {
            ref = r.fullSpelling();
            linkIsBibleRef = true;
        }
    } else
        ref = lastNamed;
    if (ref.isEmpty() && m_pane.isABible() && !m_selectedBlocksOrKeys.isEmpty())
        ref = passageOf(m_selectedBlocksOrKeys);
    if (!ref.isEmpty())
        addItem(menu, tr("Autostudy %1").arg(ref), this, [this, ref] { onAutostudyThisVerse(ref); });
    if (!linkIsBibleRef) {
        const QString word = selectedText().simplified();
        addItem(menu, word.isEmpty() ? tr("Autostudy Word") : tr("Autostudy \u201C%1\u201D").arg(snippet(word)), this,
            [this] { onAutostudyWord(); });
    }
    if (book->docSupports(kDocSupportsDateLookup)) {
        const quint32 reading = selectedReadingNumber();
        const QString title = reading > 0
            ? tr("Autostudy %1").arg(book->readings().dateForReadingNumber(reading).stringWithStyle(2))
            : tr("Autostudy Today");
        addItem(menu, title, this, [this] { onAutostudyToday(); });
    }
}

void BookPaneCommands::addSpeechItems(QMenu* menu, const MenuElement& element)
{
    BookPaneSpeech* speech = &m_pane.speech();
    const int n = int(m_selectedBlocksOrKeys.size());
    separate(menu);
    // Only a link to a Bible passage has text to read, and the item names the passage (a link's
    // own text may be a verse number or a letter).
    const QString bibleLink = BookPaneSpeech::bibleLinkOf(element.linkUrl);
    BibleRef linked = bibleLink.isEmpty() ? BibleRef() : BibleRef::bibleRefWithLinkString(bibleLink);
    if (linked.isValid())
        addItem(menu, tr("Speak Linked-To Text (%1)").arg(linked.fullSpelling()), speech,
            [speech, url = element.linkUrl] { speech->onSpeakLinkedToText(url); });
    if (m_pane.isABible())
        addItem(menu, n >= 1 ? tr("Speak %1").arg(passageOf(m_selectedBlocksOrKeys)) : tr("Speak Verse"), speech,
            [speech] { speech->onSpeakBlockOrVerse(); });
    else if (n >= 1)
        addItem(menu, tr("Speak Paragraph"), speech, [speech] { speech->onSpeakBlockOrVerse(); });
    if (!selectedText().isEmpty())
        addItem(menu, tr("Speak Selection"), speech, [speech] { speech->onSpeakSelection(); });
    if (n >= 1)
        addItem(menu, tr("Start Speaking From Here"), speech, [speech] { speech->onSpeakStartSpeaking(); });
    if (m_pane.speech().isSpeaking())
        addItem(menu, tr("Stop Speaking"), speech, [speech] { speech->onSpeakStopSpeaking(); });
}

// The page's own items that the menu keeps: copy (as the pane copies), copy image (from the book's
// own file) and select all; the engine's navigation, saving and other items never show.
void BookPaneCommands::addPageItems(QMenu* menu, const MenuElement& element, const QList<QAction*>& defaultItems)
{
    bool first = true;
    for (QAction* item : defaultItems) {
        if (!item || item->isSeparator())
            continue;
        const QString title = item->text().remove(QLatin1Char('&'));
        QString role = item->property("pageItem").toString();
        if (role.isEmpty())
            role = title == QLatin1String("Copy")      ? QStringLiteral("copy")
                : title == QLatin1String("Copy Image") ? QStringLiteral("copyImage")
                : title == QLatin1String("Select All") ? QStringLiteral("selectAll")
                                                       : QString();
        if (role.isEmpty())
            continue;
        if (first && !menu->actions().isEmpty() && !menu->actions().last()->isSeparator())
            menu->addSeparator();
        first = false;
        if (role == QLatin1String("copy"))
            addItem(menu, title, this, [this] { onCopy(); });
        else if (role == QLatin1String("copyImage"))
            addItem(menu, title, this, [this, url = element.imageUrl] { onCopyImage(url); });
        else
            menu->addAction(item);
    }
}
