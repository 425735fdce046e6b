#include "panes/bookpane/BookPaneViewController.h"
#include "platform/ui/PlainLabel.h"

#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "panes/bookpane/BookPaneCommands.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/BookPanePage.h"
#include "panes/bookpane/BookPaneSpeech.h"
#include "panes/bookpane/BookPaneTabs.h"
#include "panes/bookpane/BookSupport.h"
#include "panes/bookpane/OverlayView.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/BookPageView.h"
#include "panes/page/BookPaneScroller.h"
#include "platform/UserDefaults.h"
#include "platform/ui/FocusChain.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

namespace {

bool hasDailyReadings(const SourceTuple::Ptr& t)
{
    return BookSupport::supports(t, kDocSupportsDailyReadings);
}

}  // namespace

// --- views ------------------------------------------------------------------------------------------

void BookPaneView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_controller && m_controller->overlay())
        m_controller->placeOverlay();
}

// --- life cycle -----------------------------------------------------------------------------------

BookPaneViewController::BookPaneViewController(LayoutRegionContents* contents, Environment environment)
    : m_contents(contents), m_env(std::move(environment))
{
    if (!m_env.hooks)
        m_env.hooks = std::make_shared<BookPaneHooks>();
    m_tabs = std::make_unique<BookPaneTabs>(*this);
    m_pageHost = std::make_unique<BookPanePage>(*this);
    m_commands = std::make_unique<BookPaneCommands>(*this);
    m_speech = std::make_unique<BookPaneSpeech>(*this);
    buildView();
    observe();
    m_tabs->makeTabsForLayoutManagerRegionContents();
    m_pageHost->displayCurrentSource(false);
}

std::unique_ptr<BookPaneViewController> BookPaneViewController::factory(
    LayoutRegionContents* contents, Environment environment)
{
    return std::make_unique<BookPaneViewController>(contents, environment);
}

BookPaneViewController::~BookPaneViewController()
{
    stopObserving();
    m_pageHost->closeLinkPreview();
    // The view's widgets still send events while they are taken down (a hide, a focus change); none
    // is this controller's business any more.
    m_viewGoing = true;
    delete m_view.data();
}

void BookPaneViewController::buildView()
{
    m_view = new BookPaneView(this);
    auto* column = new QVBoxLayout(m_view);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_tabBar = new PaneTabBar(m_view);
    m_titleBar = new PlainLabel(m_view);
    m_titleBar->setAlignment(Qt::AlignCenter);
    m_titleBar->setContentsMargins(4, 2, 4, 2);
    m_page = new BookPageView(m_pageHost.get(), window().notifications(), window().settings(), m_view);
    m_scroller = new BookPaneScroller(m_page, m_pageHost.get(), window().notifications(), window().settings(), m_view);
    m_scroller->setObjectName(QStringLiteral("bookScroller"));
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(m_page, 1);
    row->addWidget(m_scroller);
    column->addWidget(m_tabBar->header(m_view));
    column->addWidget(m_titleBar);
    column->addLayout(row, 1);
    m_commands->attachToPage();
    // The page takes the keys (a click, Tab, the next-pane command): it scrolls with the arrows and
    // page keys, and a pane whose page gets the keys becomes the current pane.
    m_page->setFocusPolicy(Qt::StrongFocus);
    m_view->setFocusProxy(m_page);
    m_page->installEventFilter(this);
    for (QWidget* child : m_page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->installEventFilter(this);
    m_nothingHere = new PlainLabel(m_view);
    m_nothingHere->setObjectName(QStringLiteral("nothingHereLabel"));
    m_nothingHere->setAlignment(Qt::AlignCenter);
    m_nothingHere->setWordWrap(true);
    m_nothingHere->setMargin(12);
    m_nothingHere->setAutoFillBackground(true);
    m_nothingHere->setBackgroundRole(QPalette::Base);
    m_nothingHere->hide();
    m_overlay = new OverlayView(this, m_view);
    placeOverlay();
    m_overlay->raise();
    // A press anywhere in the tab row (a tab, its close box, a scroll arrow, "+" or "»") makes the pane
    // current, and acts on what it pressed: the row lies outside the shade.
    watchTabRow(m_tabBar->header(m_view));
    m_tabs->attachToTabBar();
}

void BookPaneViewController::watchTabRow(QWidget* widget)
{
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        watchTabRow(child);
}

void BookPaneViewController::placeOverlay()
{
    if (m_overlay == nullptr || m_view == nullptr)
        return;
    const QRect all = m_view->rect();
    m_overlay->setGeometry(all);
    QWidget* row = m_tabBar != nullptr ? m_tabBar->header(m_view) : nullptr;
    const int top = row != nullptr && !row->isHidden() ? row->geometry().bottom() + 1 : 0;
    m_overlay->setMask(QRegion(all.adjusted(0, std::clamp(top, 0, all.height()), 0, 0)));
}

bool BookPaneViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (m_viewGoing)
        return false;
    // The page's input widget (made by the web engine, and made again after a renderer ended) is
    // watched as the page is: the reader's Tab or click into a page that is not current makes its pane
    // the current one.
    QWidget* row = m_tabBar != nullptr ? m_tabBar->header(m_view) : nullptr;
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool inRow = row != nullptr && widget != nullptr && (widget == row || row->isAncestorOf(widget));
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Move) && watched == m_page && m_nothingHere) {
        m_nothingHere->setGeometry(m_page->geometry());
    } else if (event->type() == QEvent::ChildAdded && (watched == m_page || inRow)) {
        // (The tab bar makes a close box for each tab it adds.)
        if (QObject* child = static_cast<QChildEvent*>(event)->child(); child != nullptr && child->isWidgetType())
            child->installEventFilter(this);
    } else if (inRow && (event->type() == QEvent::Resize || event->type() == QEvent::Move) && widget == row) {
        placeOverlay();
    } else if (inRow && event->type() == QEvent::MouseButtonPress && !isPaneCurrent()) {
        HistoryStep step(*this);
        requestBecomeCurrent();
    } else if (event->type() == QEvent::FocusIn && !isPaneCurrent()) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason) {
            HistoryStep step(*this);
            requestBecomeCurrent();
        }
    }
    if (m_page != nullptr && watched == m_page->focusProxy() && enteredOrLeftByTab(event))
        return true;
    return QObject::eventFilter(watched, event);
}

bool BookPaneViewController::enteredOrLeftByTab(QEvent* event)
{
    // The page is one stop of the window's Tab order, and entering it by Tab keeps the reading place:
    // the web engine would give the keys to the first (or, by Shift+Tab, the last) link of the loaded
    // text and scroll there, and walk the links with each Tab after.
    QWidget* input = m_page->focusProxy();
    if (event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason)
            return false;
        QFocusEvent entered(QEvent::FocusIn, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(input, &entered);
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if ((mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0)
        return false;
    if (key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && (mods & Qt::ShiftModifier) != 0))
        return FocusChain::moveFocusPast(m_page, false);
    if (key->key() == Qt::Key_Tab)
        return FocusChain::moveFocusPast(m_page, true);
    return false;
}

void BookPaneViewController::observe()
{
    NotificationCenter& center = m_env.window.notifications();
    auto on = [this, &center](const QString& name, std::function<void(Notification&)> handler) {
        m_observations.emplace_back(center, center.addObserver(this, name, std::move(handler)));
    };
    on(PaneNotifications::DisplayPreferencesChangedNotification,
        [this](Notification&) { m_pageHost->displaySettingsChanged(); });
    on(PaneNotifications::qsHighlightsHaveChangedNotification,
        [this](Notification&) { m_pageHost->userDataChanged(); });
    // Found words are marked in the page that is loaded: no page is built for them.
    on(PaneNotifications::qsSearchHasCompletedNotification, [this](Notification&) { m_pageHost->renderBlocksAgain(); });
    on(PaneNotifications::qsNotesHaveChangedNotification, [this](Notification& n) { m_pageHost->notesChanged(n); });
    on(LibraryNotifications::DevotionalProgressHasChangedNotification, [this](Notification&) {
        if (hasDailyReadings(currentSourceTuple()))
            m_page->updateDevotionalReadingStatus();
    });
    on(PaneNotifications::qsDevotionalStartDateHasChangedNotification, [this](Notification& n) {
        // A new day moves the devotionals that showed the day before's reading to today's.
        m_pageHost->dayChanged(n);
        if (hasDailyReadings(currentSourceTuple()))
            QTimer::singleShot(500, this, [this] { m_pageHost->displayCurrentSource(true); });
    });
    on(LibraryNotifications::EverybodySyncToMeNotification,
        [this](Notification& n) { m_pageHost->everybodySyncToMe(n); });
    on(PaneNotifications::UserWantsToToggleCurrentReading,
        [this](Notification& n) { m_pageHost->userWantsToToggleCurrentReading(n); });
    on(LibraryNotifications::qsSourceManagerRemovedBookNotification,
        [this](Notification& n) { m_tabs->sourceRemoved(n); });
    on(PaneNotifications::LayoutWillResizePanesNotification,
        [this](Notification& n) { m_pageHost->panesWillResize(n); });
    on(PaneNotifications::LayoutDidResizePanesNotification, [this](Notification& n) { m_pageHost->panesDidResize(n); });
    on(PaneNotifications::UserWantsToStartSpeakingNotification,
        [this](Notification& n) { m_speech->userWantsToStartSpeaking(n); });
}

void BookPaneViewController::stopObserving()
{
    m_observations.clear();
    m_env.window.notifications().removeObserver(this);
}

void BookPaneViewController::exitIsImminent()
{
    stopObserving();
    m_pageHost->closeLinkPreview();
    m_scroller->cancelPendingRedisplay();
}

void BookPaneViewController::willBeRemovedFromLayoutManager()
{
    stopObserving();
    m_pageHost->closeLinkPreview();
    m_scroller->cancelPendingRedisplay();
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
            placeOverlay();
            m_overlay->raise();
        }
        // Which pane is current is no place of the reader's: it is recorded with the next move,
        // never as a step of its own.
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

bool BookPaneViewController::isPaneCurrent() const
{
    return m_overlay && m_overlay->isHidden();
}

Layout* BookPaneViewController::layout() const
{
    return m_env.window.hasLayoutManager() ? m_env.window.layoutManager().layoutContainingRegionWithViewController(this)
                                           : nullptr;
}

LayoutRegion* BookPaneViewController::region() const
{
    return m_env.window.hasLayoutManager() ? m_env.window.layoutManager().regionForViewController(this) : nullptr;
}

QString BookPaneViewController::layoutUuid() const
{
    if (Layout* l = layout())
        return l->uuidString();
    return QString();
}

void BookPaneViewController::postHistory(bool alwaysAdd)
{
    m_env.window.notifications().postNotificationName(LibraryNotifications::AddStateToHistoryNotification, nullptr,
        {{"alwaysAdd", alwaysAdd}, {"layoutUuid", layoutUuid()}});
}

BookPaneViewController::HistoryStep::HistoryStep(BookPaneViewController& pane) : m_pane(pane)
{
    if (m_pane.m_historySteps++ == 0)
        m_pane.postHistory(false);
}

BookPaneViewController::HistoryStep::~HistoryStep()
{
    if (--m_pane.m_historySteps == 0)
        m_pane.postHistory(true);
}

void BookPaneViewController::postSourceIsActive()
{
    LayoutRegionContentItemState* state = currentSourceState();
    m_env.window.notifications().postNotificationName(PaneNotifications::ThisSourceIsNowActiveNotification, this,
        {{"sourceTuple", sharedObjectVariant(currentSourceTuple())}, {"section", state ? state->section() : 0},
            {"block", state ? state->block() : qint64(kNoBlock)}});
}

// --- the current book -----------------------------------------------------------------------------

LayoutRegionContentItemState* BookPaneViewController::currentSourceState() const
{
    LayoutRegionContentItem* item = m_contents ? m_contents->itemAt(m_contents->currentItemIndex()) : nullptr;
    return item ? item->bookState() : nullptr;
}

SourceTuple::Ptr BookPaneViewController::currentSourceTuple() const
{
    return m_contents ? m_tabs->tupleAt(m_contents->currentItemIndex()) : nullptr;
}

quint64 BookPaneViewController::currentSourceSection() const
{
    return currentSourceState() ? currentSourceState()->section() : 0;
}

qint64 BookPaneViewController::currentSourceBlock() const
{
    return currentSourceState() ? currentSourceState()->block() : qint64(kNoBlock);
}

bool BookPaneViewController::isABible() const
{
    return BookSupport::isBible(currentSourceTuple());
}
