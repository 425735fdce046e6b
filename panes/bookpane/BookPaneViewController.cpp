#include "panes/bookpane/BookPaneViewController.h"

#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/page/BookPageView.h"
#include "panes/page/SourceTupleBookPageSource.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineContextMenuRequest>

namespace {

const QString kEverybodySyncToMe = QStringLiteral("EverybodySyncToMeNotification");
const QString kAddStateToHistory = QStringLiteral("AddStateToHistoryNotification");
const QString kSourceIsActive = QStringLiteral("ThisSourceIsNowActiveNotification");

bool supports(const SourceTuple::Ptr& t, quint64 mask)
{
    return t && t->docSupports(mask);
}
bool isBible(const SourceTuple::Ptr& t)
{
    return supports(t, SourceTuple::kDocSupportsIsBible());
}

}  // namespace

// --- views ------------------------------------------------------------------------------------------

void BookPaneView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_controller && m_controller->overlay())
        m_controller->overlay()->setGeometry(rect());
}

OverlayView::OverlayView(BookPaneViewController* controller, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    setAttribute(Qt::WA_NoSystemBackground);
}

void OverlayView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(0, 0, 0, 26));
}

void OverlayView::mouseReleaseEvent(QMouseEvent* event)
{
    m_controller->postHistory(false);
    m_controller->requestBecomeCurrent();
    m_controller->postHistory(true);
    QWidget::mouseReleaseEvent(event);
}

// --- life cycle -----------------------------------------------------------------------------------

BookPaneViewController::BookPaneViewController(LayoutRegionContents* contents, Environment environment)
    : m_contents(contents),
      m_env(environment),
      m_center(environment.center ? *environment.center : NotificationCenter::defaultCenter())
{
    if (!m_env.library)
        m_env.library = &SourceManager::singleton();
    if (!m_env.defaults)
        m_env.defaults = &UserDefaults::standardUserDefaults();
    buildView();
    observe();
    makeTabsForLayoutManagerRegionContents();
    displayCurrentSource(false);
}

std::unique_ptr<BookPaneViewController> BookPaneViewController::factory(
    LayoutRegionContents* contents, Environment environment)
{
    return std::make_unique<BookPaneViewController>(contents, environment);
}

BookPaneViewController::~BookPaneViewController()
{
    stopObserving();
    if (auto synthesizer = SpeechSynthesizer::shared(); synthesizer && synthesizer->handlerOwner() == this)
        synthesizer->clearFinishedHandler();
    delete m_view.data();
}

void BookPaneViewController::buildView()
{
    m_view = new BookPaneView(this);
    auto* column = new QVBoxLayout(m_view);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_tabBar = new PaneTabBar(m_view);
    m_titleBar = new QLabel(m_view);
    m_titleBar->setAlignment(Qt::AlignCenter);
    m_titleBar->setContentsMargins(4, 2, 4, 2);
    m_page = new BookPageView(this, m_view);
    column->addWidget(m_tabBar);
    column->addWidget(m_titleBar);
    column->addWidget(m_page, 1);
    // The page's context menu is the pane's; the page's copy command copies as the pane does.
    m_page->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_page, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        MenuElement element;
        QList<QAction*> defaults;
        std::unique_ptr<QMenu> standard(m_page->createStandardContextMenu());
        if (const QWebEngineContextMenuRequest* request = m_page->lastContextMenuRequest()) {
            element.linkUrl = request->linkUrl().toString();
            element.linkLabel = request->linkText();
            if (request->mediaType() == QWebEngineContextMenuRequest::MediaTypeImage)
                element.imageUrl = request->mediaUrl().toString();
        }
        if (standard)
            defaults = standard->actions();
        std::unique_ptr<QMenu> menu(contextMenu(element, defaults, m_page));
        if (menu)
            menu->exec(m_page->mapToGlobal(pos));
    });
    auto* copy = new QAction(m_page);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, [this] { onCopy(); });
    m_page->addAction(copy);
    m_overlay = new OverlayView(this, m_view);
    m_overlay->setGeometry(m_view->rect());
    m_overlay->raise();

    connect(m_tabBar, &QTabBar::currentChanged, this, [this](int index) {
        if (!m_ignoreTabMessages)
            onTabSelected(index);
    });
    connect(m_tabBar, &QTabBar::tabMoved, this, [this](int, int) {
        if (!m_ignoreTabMessages)
            makeLayoutManagerMatchTabs();
    });
    connect(m_tabBar, &QTabBar::tabCloseRequested, this, &BookPaneViewController::onTabCloseRequested);
    connect(m_tabBar, &PaneTabBar::addTabRequested, this, &BookPaneViewController::addNewTab);
    m_tabBar->acceptDrop = [this](PaneTabBar* from, const QString& uuid) {
        auto* fromView = qobject_cast<BookPaneView*>(from->parentWidget());
        if (!fromView || !fromView->viewController())
            return false;
        LayoutRegionContents* holder = fromView->viewController()->regionContents();
        if (!holder)
            return false;
        const quint64 i = holder->indexOfItemWithUuidString(uuid);
        LayoutRegionContentItem* item = holder->itemAt(i);
        if (!item || !item->bookDescriptor())
            return false;
        return indexOfSourceTupleIdInPaneContents(item->bookDescriptor()->sourceTupleID()) == kNone;
    };
    connect(m_tabBar, &PaneTabBar::tabDroppedIn, this, [this](PaneTabBar* from, const QString&) {
        auto* fromView = qobject_cast<BookPaneView*>(from->parentWidget());
        BookPaneViewController* other = fromView ? fromView->viewController() : nullptr;
        m_dropSource = other;
        makeLayoutManagerMatchTabs();
        m_dropSource = nullptr;
        if (m_tabBar->currentIndex() >= 0)
            m_contents->setCurrentItemIndex(m_tabBar->currentIndex());
        displayCurrentSource(false);
        BookPaneHooks::current().preemptiveSaveState();
    });
    connect(m_tabBar, &PaneTabBar::tabDraggedOut, this, [this](PaneTabBar*, const QString&) {
        makeLayoutManagerMatchTabs();
        if (m_contents && !m_contents->items().empty() && m_contents->currentItemIndex() == kNone)
            m_contents->setCurrentItemIndex(std::max(0, m_tabBar->currentIndex()));
        displayCurrentSource(false);
    });
    connect(m_tabBar, &PaneTabBar::tabDragStarted, this, [this] {
        m_dragging = true;
        postHistory(false);
    });
    connect(m_tabBar, &PaneTabBar::tabDragEnded, this, [this] {
        m_dragging = false;
        postHistory(true);
    });
}

void BookPaneViewController::observe()
{
    auto on = [this](const QString& name, std::function<void(Notification&)> handler) {
        m_observations.emplace_back(m_center, m_center.addObserver(this, name, std::move(handler)));
    };
    auto redisplay = [this](Notification&) { displayCurrentSource(true); };
    on(QStringLiteral("DisplayPreferencesChangedNotification"), redisplay);
    on(QStringLiteral("qsHighlightsHaveChangedNotification"), redisplay);
    on(QStringLiteral("qsSearchHasCompletedNotification"), redisplay);
    on(QStringLiteral("qsNotesHaveChangedNotification"), [this](Notification& n) { notesChanged(n); });
    on(QStringLiteral("DevotionalProgressHasChangedNotification"), [this](Notification&) {
        if (supports(currentSourceTuple(), SourceTuple::kDocSupportsDailyReadings()))
            m_page->updateDevotionalReadingStatus();
    });
    on(QStringLiteral("qsDevotionalStartDateHasChangedNotification"), [this](Notification&) {
        if (supports(currentSourceTuple(), SourceTuple::kDocSupportsDailyReadings()))
            QTimer::singleShot(500, this, [this] { displayCurrentSource(true); });
    });
    on(kEverybodySyncToMe, [this](Notification& n) { everybodySyncToMe(n); });
    on(QStringLiteral("UserWantsToToggleCurrentReading"),
        [this](Notification& n) { userWantsToToggleCurrentReading(n); });
    on(SourceManager::qsSourceManagerRemovedBookNotification, [this](Notification& n) { sourceRemoved(n); });
    on(QStringLiteral("LayoutWillResizePanesNotification"), [this](Notification& n) {
        if (n.userInfo.value("layoutUuid").toString() != layoutUuid() || !currentSourceState())
            return;
        m_savedSourceState = std::make_unique<LayoutRegionContentItemState>();
        currentSourceState()->cloneInto(m_savedSourceState.get());
    });
    on(QStringLiteral("LayoutDidResizePanesNotification"), [this](Notification& n) {
        if (n.userInfo.value("layoutUuid").toString() != layoutUuid())
            return;
        if (m_savedSourceState) {
            m_savedSourceState->cloneInto(currentSourceState());
            m_savedSourceState.reset();
        }
        displayCurrentSource(false);
    });
    on(QStringLiteral("UserWantsToStartSpeakingNotification"),
        [this](Notification& n) { userWantsToStartSpeaking(n); });
}

void BookPaneViewController::stopObserving()
{
    m_observations.clear();
    m_center.removeObserver(this);
}

void BookPaneViewController::exitIsImminent()
{
    stopObserving();
}

void BookPaneViewController::willBeRemovedFromLayoutManager()
{
    stopObserving();
}

bool BookPaneViewController::shouldCaptureHistory()
{
    if (m_dirty)
        return true;
    if (m_contents)
        for (const auto& item : m_contents->items())
            if (item->bookState() && item->bookState()->dirty())
                return true;
    return false;
}

void BookPaneViewController::willCaptureHistory()
{
    m_dirty = false;
    if (m_contents)
        for (const auto& item : m_contents->items())
            if (item->bookState())
                item->bookState()->setDirty(false);
}

void BookPaneViewController::makeYourselfCurrent(bool current)
{
    if (m_overlay && m_overlay->isHidden() != current) {
        m_overlay->setHidden(current);
        if (!current) {
            m_overlay->setGeometry(m_view->rect());
            m_overlay->raise();
        }
        m_dirty = true;
    }
    if (current && currentSourceTuple())
        postSourceIsActive();
}

void BookPaneViewController::requestBecomeCurrent()
{
    if (m_makeCurrentHandler)
        m_makeCurrentHandler();
    else
        makeYourselfCurrent(true);
}

bool BookPaneViewController::isPaneCurrent()
{
    return m_overlay && m_overlay->isHidden();
}

Layout* BookPaneViewController::layout() const
{
    return m_env.layouts ? m_env.layouts->layoutContainingRegionWithViewController(this) : nullptr;
}

LayoutRegion* BookPaneViewController::region() const
{
    return m_env.layouts ? m_env.layouts->regionForViewController(this) : nullptr;
}

QString BookPaneViewController::layoutUuid()
{
    if (Layout* l = layout())
        return l->uuidString();
    return m_layoutUuidOverride;
}

void BookPaneViewController::postHistory(bool alwaysAdd)
{
    m_center.postNotificationName(
        kAddStateToHistory, nullptr, {{"alwaysAdd", alwaysAdd}, {"layoutUuid", layoutUuid()}});
}

void BookPaneViewController::postSourceIsActive()
{
    LayoutRegionContentItemState* state = currentSourceState();
    m_center.postNotificationName(kSourceIsActive, this,
        {{"sourceTuple", sharedObjectVariant(currentSourceTuple())}, {"section", state ? state->section() : 0},
            {"block", state ? state->block() : qint64(kNoBlock)}});
}

// --- books ----------------------------------------------------------------------------------------

SourceTuple::Ptr BookPaneViewController::libraryTuple(const SourceTupleID& id) const
{
    auto all = m_env.library->allSources();
    return all ? all->tupleForSourceTupleID(id) : nullptr;
}

SourceTuple::Ptr BookPaneViewController::sourceTupleForDescriptor(const LayoutRegionContentItemDescriptor* d) const
{
    return d ? libraryTuple(d->sourceTupleID()) : nullptr;
}

SourceTuple::Ptr BookPaneViewController::tupleAt(quint64 index) const
{
    LayoutRegionContentItem* item = m_contents ? m_contents->itemAt(index) : nullptr;
    return item ? sourceTupleForDescriptor(item->bookDescriptor()) : nullptr;
}

LayoutRegionContentItemState* BookPaneViewController::currentSourceState() const
{
    LayoutRegionContentItem* item = m_contents ? m_contents->itemAt(m_contents->currentItemIndex()) : nullptr;
    return item ? item->bookState() : nullptr;
}

SourceTuple::Ptr BookPaneViewController::currentSourceTuple() const
{
    return m_contents ? tupleAt(m_contents->currentItemIndex()) : nullptr;
}

quint64 BookPaneViewController::currentSourceSection() const
{
    return currentSourceState() ? currentSourceState()->section() : 0;
}

qint64 BookPaneViewController::currentSourceBlock() const
{
    return currentSourceState() ? currentSourceState()->block() : qint64(kNoBlock);
}

quint64 BookPaneViewController::indexOfSourceTupleIdInPaneContents(const SourceTupleID& id) const
{
    if (!m_contents)
        return kNone;
    const auto& items = m_contents->items();
    for (size_t i = 0; i < items.size(); ++i) {
        const LayoutRegionContentItemDescriptor* d = items[i]->bookDescriptor();
        if (!d)
            break;
        if (d->sourceTupleID() == id)
            return i;
    }
    return kNone;
}

std::shared_ptr<SourceTupleBookPageSource> BookPaneViewController::pageSourceFor(const SourceTuple::Ptr& tuple)
{
    if (!tuple)
        return nullptr;
    auto& slot = m_sources[tuple->sourceTupleID().description()];
    if (!slot || slot->tuple() != tuple)
        slot = std::make_shared<SourceTupleBookPageSource>(tuple);
    return slot;
}

SourceTuple::Ptr BookPaneViewController::tupleForIdentity(const QString& identity) const
{
    for (const auto& [key, source] : m_sources)
        if (source->identityString() == identity)
            return source->tuple();
    return nullptr;
}

BookPageSourcePtr BookPaneViewController::currentSource()
{
    return pageSourceFor(currentSourceTuple());
}

LayoutRegionContentItemState* BookPaneViewController::stateForGoTo(
    const BookPageSourcePtr& book, bool activate, bool& isCurrent)
{
    isCurrent = false;
    SourceTuple::Ptr tuple = book ? tupleForIdentity(book->identityString()) : nullptr;
    if (!tuple)
        return nullptr;
    quint64 index = indexOfSourceTupleIdInPaneContents(tuple->sourceTupleID());
    if (index == kNone && activate) {
        openBookFromSourceTuple(tuple, true);
        index = indexOfSourceTupleIdInPaneContents(tuple->sourceTupleID());
    }
    if (index == kNone)
        return nullptr;
    if (activate && index != m_contents->currentItemIndex())
        selectTab(int(index));
    isCurrent = index == m_contents->currentItemIndex();
    return m_contents->itemAt(index)->bookState();
}

void BookPaneViewController::openBookFromDictionary(const QVariantMap& d, bool activate)
{
    auto all = m_env.library->allSources();
    SourceTuple::Ptr tuple = all ? all->tupleForPubID(d.value("pubid").toLongLong(), d.value("bookid").toLongLong(),
                                       d.value("edition").toLongLong(), d.value("revision").toLongLong())
                                 : nullptr;
    if (!tuple) {
        qWarning("failed to open book from dictionary %s",
            qPrintable(QString::fromUtf8(QJsonDocument::fromVariant(d).toJson(QJsonDocument::Compact))));
        return;
    }
    openBookFromSourceTuple(tuple, activate);
}

void BookPaneViewController::openBookFromSourceTuple(const SourceTuple::Ptr& tuple, bool activate)
{
    if (!m_contents || !tuple)
        return;
    const SourceTupleID id = tuple->sourceTupleID();
    if (SourceTuple::Ptr current = currentSourceTuple(); current && current->sourceTupleID() == id)
        return;
    if (const quint64 existing = indexOfSourceTupleIdInPaneContents(id); existing != kNone) {
        if (activate)
            selectTab(int(existing));
        return;
    }
    postHistory(false);
    auto descriptor = std::make_unique<LayoutRegionContentItemDescriptor>(id, tuple->abbr(), tuple->name());
    auto state = std::make_unique<LayoutRegionContentItemState>();
    // The first section follows what the layout last synced to.
    const QString uuid = layoutUuid();
    UserDefaults& defaults = *m_env.defaults;
    quint32 section = 0;
    bool chosen = false;
    const qint64 bibleKey = defaults.integerForKey(QStringLiteral("syncBibleKey:%1").arg(uuid));
    const QVariant word = defaults.objectForKey(QStringLiteral("syncWordSync:%1").arg(uuid));
    if (defaults.boolForKey(QStringLiteral("syncBiblesComm")) &&
        (isBible(tuple) || supports(tuple, SourceTuple::kDocSupportsBibleSync())) && bibleKey != 0) {
        section = tuple->sectionForBibleKey(quint32(bibleKey));
        chosen = true;
    } else if (defaults.boolForKey(QStringLiteral("syncDictionaries")) &&
        supports(tuple, SourceTuple::kDocSupportsWordLookup()) && word.isValid()) {
        section = tuple->sectionForSyncString(word.toString());
        chosen = true;
    } else if (defaults.boolForKey(QStringLiteral("syncDevotionals")) &&
        supports(tuple, SourceTuple::kDocSupportsDailyReadings())) {
        const quint32 reading = pageSourceFor(tuple)->readingNumberForToday();
        section = reading >= 1 && reading <= tuple->numReadings() ? tuple->sectionForReadingNumber(reading) : 1;
        if (section == kNoBlock)
            section = 1;
        chosen = true;
    }
    if (!chosen || section == 0)
        section = 1;
    state->setSection(section);
    state->setBlock(LayoutRegionContentItemState::kNoBlock);
    auto item = std::make_unique<LayoutRegionContentItem>(std::move(descriptor), std::move(state));
    const QString itemUuid = item->uuidString();
    m_contents->items().push_back(std::move(item));
    m_dirty = true;
    const quint64 previous = m_contents->currentItemIndex();
    const int tab = m_tabBar->addTabForItem(itemUuid, tuple->abbr(), tuple->name());
    if (activate || previous == kNone)
        selectTab(tab);
    BookPaneHooks::current().preemptiveSaveState();
}

void BookPaneViewController::selectTab(int index)
{
    if (index < 0 || index >= m_tabBar->count())
        return;
    if (m_tabBar->currentIndex() == index)
        onTabSelected(index);  // the bar does not signal a selection it already has
    else
        m_tabBar->setCurrentIndex(index);
}

void BookPaneViewController::onTabSelected(int index)
{
    if (index < 0 || !m_contents)
        return;
    if (!m_dragging)
        postHistory(false);
    const QString uuid = m_tabBar->uuidAt(index);
    if (m_contents->indexOfItemWithUuidString(uuid) == kNone)
        makeLayoutManagerMatchTabs();
    const quint64 itemIndex = m_contents->indexOfItemWithUuidString(uuid);
    if (itemIndex == kNone)
        return;
    m_contents->setCurrentItemIndex(itemIndex);
    m_dirty = true;
    displayCurrentSource(false);
    if (isPaneCurrent())
        postSourceIsActive();
    if (!m_dragging)
        postHistory(true);
    emit currentTabChanged();
}

void BookPaneViewController::onTabCloseRequested(int index)
{
    if (index < 0 || index >= m_tabBar->count())
        return;
    postHistory(false);
    const QString uuid = m_tabBar->uuidAt(index);
    const QString currentUuid = m_contents && m_contents->itemAt(m_contents->currentItemIndex())
        ? m_contents->itemAt(m_contents->currentItemIndex())->uuidString()
        : QString();
    m_ignoreTabMessages = true;
    m_tabBar->removeTab(index);
    m_ignoreTabMessages = false;
    tabClosed(uuid);
    if (m_contents->items().empty())
        m_contents->setCurrentItemIndex(kNone);
    else if (uuid == currentUuid) {
        // The bar chose the neighbouring tab: that one becomes current.
        selectTab(std::max(0, m_tabBar->currentIndex()));
        return;
    }
    displayCurrentSource(false);
    postHistory(true);
}

void BookPaneViewController::closeActiveBook()
{
    if (!m_contents || m_contents->currentItemIndex() == kNone)
        return;
    onTabCloseRequested(int(m_contents->currentItemIndex()));
}

void BookPaneViewController::tabClosed(const QString& uuid)
{
    const quint64 index = m_contents->indexOfItemWithUuidString(uuid);
    if (index == kNone)
        return;
    m_contents->items().erase(m_contents->items().begin() + qint64(index));
    const quint64 current = m_contents->currentItemIndex();
    if (current != kNone && current > index)
        m_contents->setCurrentItemIndex(current - 1);
    else if (current != kNone && current >= m_contents->items().size())
        m_contents->setCurrentItemIndex(m_contents->items().empty() ? kNone : m_contents->items().size() - 1);
    m_dirty = true;
    BookPaneHooks::current().preemptiveSaveState();
}

void BookPaneViewController::addNewTab()
{
    if (!isPaneCurrent())
        requestBecomeCurrent();
    BookPaneHooks::current().appAction(QStringLiteral("onOpenBook:"), 0, this);
}

void BookPaneViewController::nextBook()
{
    const int n = m_tabBar->count();
    if (n > 0 && m_contents && m_contents->currentItemIndex() != kNone) {
        const int next = int((m_contents->currentItemIndex() + 1) % n);
        if (quint64(next) != m_contents->currentItemIndex())
            selectTab(next);
    }
}

void BookPaneViewController::previousBook()
{
    const int n = m_tabBar->count();
    if (n > 0 && m_contents && m_contents->currentItemIndex() != kNone) {
        const int prev = int((m_contents->currentItemIndex() + n - 1) % n);
        if (quint64(prev) != m_contents->currentItemIndex())
            selectTab(prev);
    }
}

void BookPaneViewController::updateTitleBar()
{
    SourceTuple::Ptr tuple = currentSourceTuple();
    QString text = tuple ? tuple->getPositionNameForTitleBar(currentSourceSection()) : QString();
    if (!m_additionalTitleBarText.isEmpty())
        text = QStringLiteral("%1 - %2").arg(text, m_additionalTitleBarText);
    m_titleBar->setText(text);
    m_titleBar->setToolTip(text);
}

void BookPaneViewController::addToTitleBar(const QString& text)
{
    m_additionalTitleBarText = text;
    updateTitleBar();
}

void BookPaneViewController::displayCurrentSource(bool refresh)
{
    // Make sure the page can find the current book's source by identity.
    pageSourceFor(currentSourceTuple());
    m_page->displayCurrentSource(refresh);
    updateTitleBar();
}

bool BookPaneViewController::validateItem(LayoutRegionContentItem& item)
{
    LayoutRegionContentItemDescriptor* d = item.bookDescriptor();
    if (!d)
        return false;
    SourceTupleID id = d->sourceTupleID();
    if (libraryTuple(id))
        return true;
    id.setRevisionNumber(0);
    SourceTuple::Ptr b = libraryTuple(id);
    if (!b) {
        id.setEditionNumber(0);
        b = libraryTuple(id);
    }
    if (!b) {
        d->setSourceTupleID(id);
        return false;
    }
    d->setSourceTupleID(b->sourceTupleID());
    d->setTitle(b->name());
    d->setAbbreviation(b->abbr());
    LayoutRegionContentItemState* state = item.bookState();
    if (!state) {
        item.setState(std::make_unique<LayoutRegionContentItemState>());
        state = item.bookState();
    }
    const quint64 s = state->section();
    if (s > 0 && s < b->numSections()) {
        if (!(state->block() != LayoutRegionContentItemState::kNoBlock &&
                b->sectionForBlock(quint32(state->block())) == s))
            state->setBlock(b->blockForSection(quint32(s)));
    } else {
        state->clear();
        state->setSection(1);
        state->setBlock(0);
    }
    state->setYOffset(0);
    state->setSectionString(QString());
    state->setGotoAnchor(QString());
    state->setDirty(true);
    state->setTempHighlightStartSection(0);
    state->setTempHighlightEndSection(0);
    return true;
}

void BookPaneViewController::makeTabsForLayoutManagerRegionContents()
{
    m_ignoreTabMessages = true;
    while (m_tabBar->count() > 0)
        m_tabBar->removeTab(0);
    if (!m_contents) {
        m_ignoreTabMessages = false;
        return;
    }
    bool changed = false;
    auto& items = m_contents->items();
    for (size_t i = 0; i < items.size();) {
        LayoutRegionContentItem& item = *items[i];
        const SourceTupleID before = item.bookDescriptor() ? item.bookDescriptor()->sourceTupleID() : SourceTupleID();
        if (validateItem(item)) {
            m_tabBar->addTabForItem(
                item.uuidString(), item.bookDescriptor()->abbreviation(), item.bookDescriptor()->title());
            if (!(item.bookDescriptor()->sourceTupleID() == before))
                changed = true;
            ++i;
        } else {
            items.erase(items.begin() + qint64(i));
            const quint64 current = m_contents->currentItemIndex();
            if (current != kNone && (current > i || current >= items.size()) && current > 0)
                m_contents->setCurrentItemIndex(current - 1);
            m_dirty = true;
            changed = true;
        }
    }
    quint64 current = m_contents->currentItemIndex();
    bool repaired = false;
    if (items.empty())
        current = kNone;
    else if (current == kNone) {
        current = 0;
        repaired = true;
    } else if (current >= items.size()) {
        current = items.size() - 1;
        repaired = true;
    }
    m_contents->setCurrentItemIndex(current);
    if (repaired)
        m_ignoreTabMessages = false;
    if (current != kNone) {
        if (m_ignoreTabMessages)
            m_tabBar->setCurrentIndex(int(current));
        else
            selectTab(int(current));
    }
    m_ignoreTabMessages = false;
    if (changed)
        BookPaneHooks::current().preemptiveSaveState();
}

BookPaneViewController* BookPaneViewController::controllerFor(LayoutRegionContents* contents) const
{
    if (!contents)
        return nullptr;
    if (contents == m_contents)
        return const_cast<BookPaneViewController*>(this);
    if (m_dropSource && m_dropSource->regionContents() == contents)
        return m_dropSource;
    return dynamic_cast<BookPaneViewController*>(contents->viewController());
}

void BookPaneViewController::makeLayoutManagerMatchTabs()
{
    if (!m_contents)
        return;
    auto& items = m_contents->items();
    const quint64 current = m_contents->currentItemIndex();
    const QString rememberedUuid = current < items.size() ? items[current]->uuidString() : QString();
    Layout* l = layout();
    for (int i = 0; i < m_tabBar->count();) {
        const QString uuid = m_tabBar->uuidAt(i);
        LayoutRegionContents* holder = nullptr;
        if (m_contents->indexOfItemWithUuidString(uuid) != kNone)
            holder = m_contents;
        else if (l)
            holder = l->regionContentsContainingItemWithUuidString(uuid);
        if (!holder && m_dropSource && m_dropSource->regionContents() &&
            m_dropSource->regionContents()->indexOfItemWithUuidString(uuid) != kNone)
            holder = m_dropSource->regionContents();
        if (!holder) {
            m_ignoreTabMessages = true;
            m_tabBar->removeTab(i);
            m_ignoreTabMessages = false;
            continue;
        }
        const quint64 j = holder->indexOfItemWithUuidString(uuid);
        if (holder == m_contents) {
            if (j != quint64(i)) {
                m_dirty = true;
                auto moved = std::move(items[j]);
                items.erase(items.begin() + qint64(j));
                items.insert(items.begin() + i, std::move(moved));
            }
        } else {
            m_dirty = true;
            auto& otherItems = holder->items();
            const QString otherCurrent = holder->itemAt(holder->currentItemIndex())
                ? holder->itemAt(holder->currentItemIndex())->uuidString()
                : QString();
            auto moved = std::move(otherItems[j]);
            otherItems.erase(otherItems.begin() + qint64(j));
            items.insert(items.begin() + std::min<qint64>(i, qint64(items.size())), std::move(moved));
            if (otherItems.empty()) {
                holder->setCurrentItemIndex(kNone);
                if (BookPaneViewController* other = controllerFor(holder))
                    other->displayCurrentSource(false);
            } else {
                // The pane the tab left keeps its current book when that stayed.
                const quint64 k = holder->indexOfItemWithUuidString(otherCurrent);
                holder->setCurrentItemIndex(k);
            }
        }
        ++i;
    }
    if (!rememberedUuid.isEmpty())
        m_contents->setCurrentItemIndex(m_contents->indexOfItemWithUuidString(rememberedUuid));
}

bool BookPaneViewController::dropTabFromPane(BookPaneViewController* other, const QString& uuid, int index)
{
    return other && m_tabBar->dropTabFrom(other->tabBar(), uuid, index);
}

void BookPaneViewController::sourceRemoved(const Notification& n)
{
    SourceTuple::Ptr tuple = sharedObjectFromVariant<SourceTuple>(n.userInfo.value("tuple"));
    if (!tuple || !m_contents)
        return;
    const quint64 k = indexOfSourceTupleIdInPaneContents(tuple->sourceTupleID());
    if (k == kNone || k >= quint64(m_tabBar->count()))
        return;
    const int tabs = m_tabBar->count();
    const bool wasCurrent = k == m_contents->currentItemIndex();
    if (wasCurrent)
        m_page->clearWebViewSourceTupleID();
    tabClosed(m_tabBar->uuidAt(int(k)));
    const quint64 current = m_contents->currentItemIndex();
    if (current != kNone && current >= quint64(tabs - 1))
        m_contents->setCurrentItemIndex(tabs >= 2 ? quint64(tabs - 2) : kNone);
    makeTabsForLayoutManagerRegionContents();
    if (m_tabBar->count() == 0 || m_page->webViewSourceTupleID().isEmpty() || wasCurrent)
        displayCurrentSource(false);
}

void BookPaneViewController::notesChanged(const Notification& n)
{
    const QVariantMap& info = n.userInfo;
    if (info.isEmpty()) {
        displayCurrentSource(true);
        return;
    }
    if (info.contains("journalTitle"))
        return;
    const bool hasNew = info.contains("newNote");
    const bool hasDeleted = info.contains("deletedNote");
    bool redisplay = false;
    if (hasNew || hasDeleted)
        redisplay = info.value("newNote").toBool() || info.value("deletedNote").toBool();
    else
        redisplay = !info.contains("changed") || info.value("changed").toBool();
    if (redisplay)
        displayCurrentSource(true);
}

void BookPaneViewController::userWantsToToggleCurrentReading(const Notification& n)
{
    SourceTuple::Ptr tuple = currentSourceTuple();
    if (n.userInfo.value("layoutUuid").toString() != layoutUuid() || !isPaneCurrent() ||
        !supports(tuple, SourceTuple::kDocSupportsDailyReadings()))
        return;
    const quint32 reading = tuple->readingNumberForSection(quint32(currentSourceSection()));
    if (reading != 0)
        tuple->toggleReadingNumber(reading, true);
}

// --- location sync ---------------------------------------------------------------------------------

bool BookPaneViewController::paneDoesNotSendLocationSync() const
{
    return m_contents && m_contents->state() && m_contents->state()->paneDoesNotSendLocationSync();
}

void BookPaneViewController::setPaneDoesNotSendLocationSync(bool v)
{
    if (m_contents && m_contents->state())
        m_contents->state()->setPaneDoesNotSendLocationSync(v);
}

bool BookPaneViewController::paneDoesNotReceiveLocationSync() const
{
    return m_contents && m_contents->state() && m_contents->state()->paneDoesNotReceiveLocationSync();
}

void BookPaneViewController::setPaneDoesNotReceiveLocationSync(bool v)
{
    if (m_contents && m_contents->state())
        m_contents->state()->setPaneDoesNotReceiveLocationSync(v);
}

void BookPaneViewController::conditionallySyncToMe()
{
    SourceTuple::Ptr tuple = currentSourceTuple();
    LayoutRegionContentItemState* state = currentSourceState();
    if (!isPaneCurrent() || !state || state->section() == 0 ||
        !(isBible(tuple) || supports(tuple, SourceTuple::kDocSupportsDailyReadings())))
        return;
    const quint32 section = quint32(state->section());
    QVariantMap request {{"layoutUuid", layoutUuid()}, {"sourceTuple", sharedObjectVariant(tuple)},
        {"section", section},
        {"doesNotSendLocationSync", state->doesNotSendLocationSync() || paneDoesNotSendLocationSync()}};
    if (Layout* l = layout())
        request.insert("paneRegion", l->indexOfRegion(region()));
    else
        request.insert("paneRegion", QVariant::fromValue(quintptr(this)));
    if (isBible(tuple))
        request.insert("bibleKey", tuple->keyForSection(section));
    else
        request.insert("readingNumber", tuple->readingNumberForSection(section));
    m_center.postNotificationName(kEverybodySyncToMe, this, request);
}

bool BookPaneViewController::goTo(const SourceTuple::Ptr& book, QVariantMap request)
{
    auto source = pageSourceFor(book);
    return source && m_page->goTo(source, request);
}

void BookPaneViewController::everybodySyncToMe(const Notification& n)
{
    const QVariantMap& r = n.userInfo;
    if (r.value("layoutUuid").toString() != layoutUuid() || layoutUuid().isEmpty() ||
        paneDoesNotReceiveLocationSync() || r.value("doesNotSendLocationSync").toBool() || !m_contents)
        return;
    const bool anyway = r.value("syncAnyway").toBool();
    UserDefaults& defaults = *m_env.defaults;
    const bool biblesComm = anyway || defaults.boolForKey(QStringLiteral("syncBiblesComm"));
    const bool dictionaries = anyway || defaults.boolForKey(QStringLiteral("syncDictionaries"));
    const bool devotionals = anyway || defaults.boolForKey(QStringLiteral("syncDevotionals"));
    SourceTuple::Ptr sender = sharedObjectFromVariant<SourceTuple>(r.value("sourceTuple"));
    QVariant myRegion;
    if (Layout* l = layout())
        myRegion = l->indexOfRegion(region());
    else
        myRegion = QVariant::fromValue(quintptr(this));
    const bool fromThisPane = r.contains("paneRegion") && r.value("paneRegion") == myRegion;
    // Copy the books first: a go-to may open or reorder nothing, but keeps this walk safe anyway.
    std::vector<std::pair<SourceTuple::Ptr, bool>> tabs;
    for (const auto& item : m_contents->items()) {
        const bool blocked = item->bookState() && item->bookState()->doesNotReceiveLocationSync();
        tabs.emplace_back(sourceTupleForDescriptor(item->bookDescriptor()), blocked);
    }
    for (const auto& [book, blocked] : tabs) {
        if (!book || blocked)
            continue;
        if (fromThisPane && sender && book->sourceTupleID() == sender->sourceTupleID())
            continue;
        const bool bibleSync = supports(book, SourceTuple::kDocSupportsBibleSync());
        quint32 section = 0;
        if ((isBible(book) || bibleSync) && biblesComm && r.contains("bibleKey"))
            section = book->sectionForBibleKey(r.value("bibleKey").toUInt());
        if (section == 0 && bibleSync && biblesComm && r.contains("wordSync"))
            section = book->sectionForSyncString(r.value("wordSync").toString(), true);
        if (section == 0 && supports(book, SourceTuple::kDocSupportsWordLookup()) && dictionaries &&
            r.contains("wordSync"))
            section = book->sectionForSyncString(r.value("wordSync").toString());
        if (section != 0) {
            goTo(book, {{"section", section}});
            continue;
        }
        if (supports(book, SourceTuple::kDocSupportsDailyReadings()) && devotionals) {
            if (r.value("todaysReading").toBool())
                goTo(book, {{"todaysReading", true}});
            else if (r.value("firstUnread").toBool())
                goTo(book, {{"firstUnread", true}});
        }
    }
}
