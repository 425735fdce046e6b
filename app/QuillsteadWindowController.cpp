#include "app/QuillsteadWindowController.h"
#include "platform/ui/PlainLabel.h"

#include "app/AboutThisBookWindowController.h"
#include "app/AutostudyRequests.h"
#include "app/EditFormatCommands.h"
#include "app/ModalTextFieldWindowController.h"
#include "app/QuillsteadWindowHost.h"
#include "app/WindowNotice.h"
#include "app/preferences/NavigatorSettingsWindowController.h"
#include "library/GoToRequest.h"
#include "library/GoToRouter.h"
#include "library/LibraryNotifications.h"
#include "library/NavigationHistory.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "panes/BookPaneFactory.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutGoToPanes.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/LinkPreview.h"
#include "platform/Alerts.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "platform/ui/MenuText.h"
#include "reports/AutoStudyManager.h"
#include "reports/ui/CopyPassageWindowController.h"
#include "search/execution/SearchHooks.h"
#include "studypane/StudyPaneBookPaneHooks.h"
#include "studypane/StudyPaneRegionContentItemDescriptor.h"
#include "studypane/StudyPaneSubpanes.h"
#include "studypane/StudyPaneViewController.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTextEdit>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// The study region of a layout gets the study pane, which reads the current book pane's book.
class StudyPaneFactory final : public LayoutPaneFactory {
public:
    StudyPaneFactory(LayoutViewController* panes, const WindowEnvironment& window, StudyPaneEnvironment environment)
        : m_panes(panes), m_window(window), m_environment(std::move(environment))
    {
    }
    std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeBookPane(LayoutRegionContents&) override
    {
        return nullptr;
    }
    std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeStudyPane(LayoutRegionContents&) override
    {
        StudyPaneEnvironment environment = m_environment;
        LayoutViewController* panes = m_panes;
        environment.activeBook = [panes] { return panes->activeSourceTuple(); };
        environment.navigatorElements = [window = m_window] { return navigatorElements(window.autoStudy()); };
        // Over the main window (the active window may be none, or another).
        environment.runNavigatorSettings = [panes, window = m_window] {
            return NavigatorSettingsWindowController::runModal(
                window, panes->view() ? panes->view()->window() : nullptr);
        };
        return StudyPaneViewController::factory(environment);
    }

    // The navigator searches the books chosen in the autostudy navigator list.
    static std::vector<NavigatorElementChoice> navigatorElements(AutoStudyManager& autoStudy)
    {
        std::vector<NavigatorElementChoice> out;
        for (const AutoStudyElement& element : autoStudy.elements().navigatorStudyElements()) {
            NavigatorElementChoice choice;
            choice.name = element.text;
            choice.checked = element.checked;
            for (const AutoStudyBook& book : element.bookArray) {
                if (const std::optional<SourceTupleID> id = AutoStudyElements::sourceTupleIDForBook(book))
                    choice.books.push_back({*id, book.checked});
            }
            out.push_back(std::move(choice));
        }
        return out;
    }

private:
    LayoutViewController* m_panes;
    WindowEnvironment m_window;
    StudyPaneEnvironment m_environment;
};

// A command run by an Alt shortcut (Alt+Up scrolls the page, Alt+Left goes back) is all the keys
// meant: the release of Alt that ends it does not also give the keys to the menu bar, as Alt pressed
// and let go alone does. The menu bar watches the application's keys from the Alt press on; this
// watch, installed after it when the command runs, sees the release first and takes it.
class AltReleaseAfterShortcut : public QObject {
public:
    using QObject::QObject;

    // After a command: when Alt is down, its release is taken.
    void commandRan()
    {
        if ((QGuiApplication::keyboardModifiers() & Qt::AltModifier) == 0)
            return;
        qApp->removeEventFilter(this);
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyRelease: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Alt && key != Qt::Key_AltGr && key != Qt::Key_Meta)
                return false;
            qApp->removeEventFilter(this);
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::ApplicationStateChange:
            qApp->removeEventFilter(this);
            return false;
        default:
            return false;
        }
    }
};

// The main menus, in menu bar order; the commands place themselves in them by name.
const struct {
    const MenuId& id;
    const char* title;
} kMainMenus[] = {{Menus::File, QT_TRANSLATE_NOOP("QuillsteadWindowController", "&File")},
    {Menus::Edit, QT_TRANSLATE_NOOP("QuillsteadWindowController", "&Edit")},
    {Menus::View, QT_TRANSLATE_NOOP("QuillsteadWindowController", "&View")},
    {Menus::Panes, QT_TRANSLATE_NOOP("QuillsteadWindowController", "&Panes")},
    {Menus::Go, QT_TRANSLATE_NOOP("QuillsteadWindowController", "&Go")},
    {Menus::Study, QT_TRANSLATE_NOOP("QuillsteadWindowController", "&Study")},
    {Menus::Help, QT_TRANSLATE_NOOP("QuillsteadWindowController", "&Help")}};

}  // namespace

// ---- QuillsteadWindow ----

const QStringList& QuillsteadWindow::toolbarDefaultItemIdentifiers()
{
    static const QStringList identifiers {QStringLiteral("StudyPanel"), QStringLiteral("space"),
        QStringLiteral("OpenBook"), QStringLiteral("space"), QStringLiteral("GoTo"), QStringLiteral("Find"),
        QStringLiteral("Bookmarks"), QStringLiteral("space"), QStringLiteral("Back"), QStringLiteral("Forward"),
        QStringLiteral("space"), QStringLiteral("TodaysReading"), QStringLiteral("space"), QStringLiteral("Cloud Sync"),
        QStringLiteral("flexibleSpace"), QStringLiteral("QuillsteadHelp")};
    return identifiers;
}

void QuillsteadWindow::closeEvent(QCloseEvent* event)
{
    emit closing();
    QMainWindow::closeEvent(event);
}

// ---- QuillsteadWindowController ----

QuillsteadWindowController::QuillsteadWindowController(QuillsteadWindowHost* app, const WindowEnvironment& shared)
    : m_app(app), m_window(std::make_unique<QuillsteadWindow>()), m_environment(shared)
{
    m_window->setWindowTitle(QStringLiteral("Quillstead"));
    m_window->setObjectName(QStringLiteral("QuillsteadWindow"));
    // The commands, each registered by the object that performs it, then the menus and the toolbar.
    m_actions = new ActionRegistry(this);
    m_environment.actions = m_actions;
    setupActions();
    m_app->setupActions(*this);
    m_formatCommands = std::make_unique<EditFormatCommands>(*m_actions, *m_formatRegistry);
    auto* altRelease = new AltReleaseAfterShortcut(this);
    for (QAction* action : m_actions->actions())
        connect(action, &QAction::triggered, altRelease, &AltReleaseAfterShortcut::commandRan);
    buildMenus();
    buildToolbar();

    auto* central = new QWidget(m_window.get());
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* tabRow = new QHBoxLayout;
    tabRow->setContentsMargins(4, 2, 4, 0);
    m_tabBar = new QTabBar(central);
    m_tabBar->setObjectName(QStringLiteral("layoutTabBar"));
    m_tabBar->setTabsClosable(true);
    m_tabBar->setMovable(true);
    m_tabBar->setExpanding(false);
    m_tabBar->setDocumentMode(true);
    m_tabBar->setUsesScrollButtons(true);
    m_tabBar->setElideMode(Qt::ElideRight);
    m_tabBar->setStyleSheet(QStringLiteral("QTabBar::tab { min-width: 160px; max-width: 250px; font-weight: bold; }"));
    m_addLayoutButton = new QToolButton(central);
    m_addLayoutButton->setText(QStringLiteral("+"));
    m_addLayoutButton->setToolTip(tr("New Layout"));
    m_addLayoutButton->setAutoRaise(true);
    tabRow->addWidget(m_tabBar);
    tabRow->addWidget(m_addLayoutButton);
    tabRow->addStretch();
    column->addLayout(tabRow);

    m_layoutArea = new QWidget(central);
    m_layoutArea->setObjectName(QStringLiteral("layoutArea"));
    m_layoutArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* areaLayout = new QVBoxLayout(m_layoutArea);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_layoutArea, 1);
    m_notice = new WindowNotice(central);
    column->addWidget(m_notice);

    // Link previews ask this window's router where a link leads and read the passage as the copier
    // does, and a note link's note from the user's notes; the panes of the layouts may outlive the
    // window, which then takes the resolver away.
    m_linkPreview = std::make_shared<LinkPreview>(
        [this](GoToRequest& request) {
            if (m_layoutViewController)
                m_layoutViewController->router().callerNeedsSourceForGoToInfo(request);
        },
        [this](const SourceTuple::Ptr& book, quint32 start, quint32 end, const PassageOptions& options) {
            return m_bookPaneHooks ? m_bookPaneHooks->passagePlainText(book, true, start, end, options) : QString();
        },
        [this] { return m_environment.notes(); });
    m_environment.linkPreview = m_linkPreview;
    // The pane manager: the layout view, the go-to routing and the navigation history.
    m_layoutViewController = std::make_unique<LayoutViewController>(m_environment, AppFolders::cacheDirectory());
    m_layoutViewController->setNewLayoutHandler([this](const QString& descriptor) -> Layout* {
        m_app->newLayoutFromDescriptor(descriptor);
        return m_environment.layoutManager().currentLayout();
    });
    m_layoutViewController->setSaveStateHandler([this] { m_app->preemptiveSaveState(); });
    m_layoutViewController->setWebLinkHandler(&BookPaneFactory::openWebLink);
    m_layoutViewController->setBookPropertiesHandler([this](const std::shared_ptr<SourceTuple>& book) {
        AboutThisBookWindowController::runWithSourceTuple(book, m_environment.settings(), m_window.get());
    });
    // Every ordinary region gets a book pane, the study region the study pane.
    BookPaneViewController::Environment environment;
    environment.window = m_environment;
    environment.searchResults = [this](const SourceTuple::Ptr& book) -> std::shared_ptr<RenderSearchResults> {
        const SearchResultsAggregator* found = book && m_layoutViewController->view()
            ? m_layoutViewController->view()->searchResultsAggregatorForTuple(book->sourceTupleID())
            : nullptr;
        return found ? std::make_shared<AggregatorRenderResults>(found) : nullptr;
    };
    StudyPaneRegionContentItemDescriptor::registerArchiveReaders();
    // The study pane's bookmark, highlight and go-to tools ask and tell through this window's prompt
    // and toast; the book panes' bookmark and highlight commands go through their services.
    m_studyPaneEnvironment = StudyPaneEnvironment::fromWindow(m_environment);
    StudyPaneSubpanes::addFactories(m_studyPaneEnvironment);
    m_studyPaneEnvironment.formatRegistry = m_formatRegistry;
    m_studyPaneEnvironment.saveState = [this] { m_app->preemptiveSaveState(); };
    m_studyPaneEnvironment.textPrompt = [this](const QVariantMap& options) {
        return ModalTextFieldWindowController::run(options, m_window.get());
    };
    m_studyPaneEnvironment.toast = [this](const QString& message) { m_app->showToast(message); };
    m_studyPaneEnvironment.openInNewTab = [this](const GoToRequest& request) {
        m_layoutViewController->doNewLayoutWithBooks({request});
    };
    // What the book panes ask of the study pane, the copier and the application.
    m_bookPaneHooks = m_app->makeBookPaneHooks(m_environment);
    environment.hooks = m_bookPaneHooks;
    m_paneFactory = std::make_unique<BookPaneFactory>(environment,
        std::make_shared<StudyPaneFactory>(m_layoutViewController.get(), m_environment, m_studyPaneEnvironment));
    m_layoutViewController->setPaneFactory(m_paneFactory.get());
    areaLayout->addWidget(m_layoutViewController->view());
    m_window->setCentralWidget(central);

    connect(m_addLayoutButton, &QToolButton::clicked, m_actions->action(CommandNames::NewLayout), &QAction::trigger);
    connect(m_tabBar, &QTabBar::tabMoved, this, [this](int, int) { tabMoved(); });
    connect(m_tabBar, &QTabBar::tabCloseRequested, this, &QuillsteadWindowController::tabCloseRequested);
    connect(m_tabBar, &QTabBar::currentChanged, this, &QuillsteadWindowController::tabSelected);
    m_tabBar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tabBar, &QTabBar::customContextMenuRequested, this, [this](const QPoint& at) {
        const int index = m_tabBar->tabAt(at);
        if (index < 0)
            return;
        m_tabBar->setCurrentIndex(index);
        m_actions->action(CommandNames::RenameLayout)->trigger();
    });
    // Closing the main window quits, whatever other windows (Settings, a store window) are open.
    connect(m_window.get(), &QuillsteadWindow::closing, this, [this] {
        m_app->applicationWillTerminate();
        QCoreApplication::quit();
    });

    NotificationCenter& center = m_environment.notifications();
    for (const QString& name : {LibraryNotifications::qsLayoutManagerAddedOrRemovedLayoutsNotification,
             PaneNotifications::qsLayoutManagerLayoutNameChangedNotification})
        center.addObserver(this, name, [this](Notification&) {
            if (m_observingLayouts)
                makeTabsForLayoutManagerLayouts();
        });
    m_observingLayouts = true;
    m_layoutSave = new QTimer(this);
    m_layoutSave->setSingleShot(true);
    m_layoutSave->setInterval(kLayoutSaveDelayMs);
    connect(m_layoutSave, &QTimer::timeout, this, [this] {
        if (m_observingLayouts)
            m_app->archiveLayoutsIfChanged();
    });
    // The layout archive goes to the disk with each history file, just before it: a kill after a
    // go-to restarts at the place the history's cursor is at, so Back goes back in time.
    m_layoutViewController->history().setBeforeHistoryFile([this] {
        if (m_observingLayouts)
            m_app->archiveLayoutsIfChanged();
    });
    // Whatever the parts of the window tell one another may move a command's state (a go-to makes
    // Back possible, a pane or tab becomes current, a search ends): the toolbar follows a moment
    // later. Posts from other threads leave it to the main thread's own. The same goes for the
    // layout archive: whatever changed the screen (a pane split or resized, a book opened, a place
    // moved to) is written a moment later, once for a burst of changes.
    center.addObserver(this, QString(), [this](Notification&) {
        if (QThread::currentThread() != thread())
            return;
        m_actions->scheduleUpdate();
        if (m_observingLayouts && !m_layoutSave->isActive())
            m_layoutSave->start();
    });
    center.addObserver(this, PaneNotifications::DisplayPreferencesChangedNotification, [this](Notification&) {
        if (m_toolbar != nullptr)
            applyToolbarStyle();
    });
}

QuillsteadWindowController::~QuillsteadWindowController()
{
    // No owner is asked for its commands' states while the window goes.
    m_actions->stopUpdating();
    m_actions->disconnect();
    m_environment.notifications().removeObserver(this);
    m_linkPreview->clearLinkResolver();
    m_layoutViewController->history().setBeforeHistoryFile({});
    m_layoutViewController.reset();
    m_paneFactory.reset();
}

void QuillsteadWindowController::setPaneFactory(LayoutPaneFactory* factory)
{
    m_layoutViewController->setPaneFactory(factory);
}

void QuillsteadWindowController::setupActions()
{
    using namespace CommandNames;
    using A = ActionRegistry;
    ActionRegistry& actions = *m_actions;
    // Quit closes the main window, which quits; its key works from any of the application's windows.
    // Ctrl+Q itself: the platform's Quit key is empty where the desktop's key scheme is not known.
    actions
        .add(Quit,
            {.text = tr("Quit"),
                .shortcut = QKeySequence(QStringLiteral("Ctrl+Q")),
                .menu = A::in(Menus::File, 2, 1),
                .menuRole = QAction::QuitRole},
            m_window.get(), &QWidget::close)
        ->setShortcutContext(Qt::ApplicationShortcut);
    actions.add(Copy,
        {.text = tr("Copy"),
            .shortcut = QKeySequence::Copy,
            .menu = A::in(Menus::Edit, 0, 0),
            .enabled = [this] { return canCopy(); }},
        this, &QuillsteadWindowController::onCopy);
    actions.add(CopyPassage,
        {.text = tr("Copy Passage..."),
            .shortcut = QKeySequence(QStringLiteral("Ctrl+Shift+C")),
            .menu = A::in(Menus::Edit, 1, 0)},
        this, [this] { onCopyPassage(false); });
    actions.add(CopyPassageNow,
        {.text = tr("Copy Passage Now"),
            .shortcut = QKeySequence(QStringLiteral("Ctrl+Alt+C")),
            .menu = A::in(Menus::Edit, 1, 1),
            .enabled = [this] { return canCopyPassageNow(); }},
        this, [this] { onCopyPassage(true); });
    actions.add(StudyPanel,
        {.text = tr("Study Pane"),
            .toolbarLabel = tr("Study Pane"),
            .checkable = true,
            .menu = A::in(Menus::View, 0, 0),
            .toolbarOrder = 0,
            .toolbarIcon = QStyle::SP_FileDialogDetailedView,
            .checked = [this] { return isStudyPaneVisible(); }},
        this, [this] { setShowStudyPane(!isStudyPaneVisible()); });
    actions.add(ShowLayoutTabs,
        {.text = tr("Layout Tabs"),
            .checkable = true,
            .menu = A::in(Menus::View, 0, 1),
            .checked = [this] { return isTabBarVisible(); }},
        this, [this] { setTabBarVisible(!isTabBarVisible()); });
    actions.add(NextBookPane,
        {.text = tr("Next Book Pane"),
            .shortcut = QKeySequence(QStringLiteral("Ctrl+]")),
            .menu = A::in(Menus::Panes, 1, 0)},
        this, [this] { m_layoutViewController->nextBookPane(); });
    actions.add(PreviousBookPane,
        {.text = tr("Previous Book Pane"),
            .shortcut = QKeySequence(QStringLiteral("Ctrl+[")),
            .menu = A::in(Menus::Panes, 1, 1)},
        this, [this] { m_layoutViewController->previousBookPane(); });
    // The book tabs of the current pane, as a browser's tabs; a pane with one book (or none) has no
    // other book to turn to.
    const auto severalBooks = [this] {
        const Layout* layout = m_environment.layoutManager().currentLayout();
        const LayoutRegionContents* contents = layout != nullptr ? layout->currentRegionContents() : nullptr;
        return contents != nullptr && m_layoutViewController->currentBookPane() != nullptr &&
            contents->items().size() > 1;
    };
    actions.add(NextBook,
        {.text = tr("Next Book"),
            .shortcut = QKeySequence(QStringLiteral("Ctrl+PgDown")),
            .menu = A::in(Menus::Panes, 1, 2),
            .enabled = severalBooks},
        this, [this] { m_layoutViewController->nextBook(); });
    actions.add(PreviousBook,
        {.text = tr("Previous Book"),
            .shortcut = QKeySequence(QStringLiteral("Ctrl+PgUp")),
            .menu = A::in(Menus::Panes, 1, 3),
            .enabled = severalBooks},
        this, [this] { m_layoutViewController->previousBook(); });
    actions.add(Back,
        {.text = tr("Back"),
            .toolbarLabel = tr("Back"),
            .shortcut = QKeySequence::Back,
            .menu = A::in(Menus::Go, 0, 0),
            .toolbarOrder = 180,
            .toolbarIcon = QStyle::SP_ArrowBack,
            .enabled = [this] { return m_layoutViewController->history().canGoBackInHistory(); }},
        this, &QuillsteadWindowController::goBackInHistory);
    actions.add(Forward,
        {.text = tr("Forward"),
            .toolbarLabel = tr("Forward"),
            .shortcut = QKeySequence::Forward,
            .menu = A::in(Menus::Go, 0, 1),
            .toolbarOrder = 190,
            .toolbarIcon = QStyle::SP_ArrowForward,
            .enabled = [this] { return m_layoutViewController->history().canGoForwardInHistory(); }},
        this, &QuillsteadWindowController::goForwardInHistory);
    addStudyPaneTabCommand(*StudyPaneTabs::find(StudyPaneTabs::tabForSlot(StudyPaneSubpaneSlots::kBibleGotoSubpane)));
    actions.add(ReadingComplete,
        {.text = tr("Mark Reading Complete"),
            .toolbarLabel = tr("Read"),
            .menu = A::in(Menus::Go, 1, 2),
            .toolbarOrder = 150,
            .enabled = [this] { return m_layoutViewController->canToggleReadingComplete(); },
            // The command says what it will do: a reading already read is marked unread.
            .refresh =
                [this](QAction& item) {
                    item.setText(m_layoutViewController->isCurrentReadingComplete() ? tr("Mark Reading Unread")
                                                                                    : tr("Mark Reading Complete"));
                }},
        this, [this] {
            const Layout* layout = m_environment.layoutManager().currentLayout();
            m_environment.notifications().postNotificationName(PaneNotifications::UserWantsToToggleCurrentReading, this,
                {{QStringLiteral("layoutUuid"), layout != nullptr ? layout->uuidString() : QString()}});
        });
    // The study pane's sub-panes, in the Study menu, from the tab table.
    for (const StudyPaneTabs::Tab& tab : StudyPaneTabs::all()) {
        if (tab.command.menu == &Menus::Study)
            addStudyPaneTabCommand(tab);
    }
    actions.add(AutostudyVerse,
        {.text = tr("Autostudy Verse..."),
            .toolbarLabel = tr("Autostudy Verse"),
            .menu = A::in(Menus::Study, 1, 0),
            .toolbarOrder = 210},
        this, [this] { m_layoutViewController->onAutostudyVerse(); });
    actions.add(AutostudyWord,
        {.text = tr("Autostudy Word..."),
            .toolbarLabel = tr("Autostudy Word"),
            .menu = A::in(Menus::Study, 1, 1),
            .toolbarOrder = 220},
        this, [this] { m_layoutViewController->onAutostudyWord(); });
    actions.add(AutostudyToday,
        {.text = tr("Autostudy Today..."),
            .toolbarLabel = tr("Autostudy Today"),
            .menu = A::in(Menus::Study, 1, 2),
            .toolbarOrder = 230},
        this, [this] { runTodayAutostudy(m_environment, m_window.get()); });
}

void QuillsteadWindowController::buildMenus()
{
    QMenuBar* bar = m_window->menuBar();
    QList<MenuId> menus;
    for (const auto& menu : kMainMenus) {
        m_actions->fillMenu(bar->addMenu(tr(menu.title)), menu.id);
        menus.append(menu.id);
    }
    m_actions->checkMenuPlaces(menus);
    // Every menu shows its commands' current states.
    for (QMenu* menu : bar->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, m_actions, &ActionRegistry::updateStates);
}

void QuillsteadWindowController::buildToolbar()
{
    m_toolbar = m_window->addToolBar(tr("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("mainToolbar"));
    m_toolbar->setMovable(false);
    applyToolbarStyle();
    QStyle* style = m_window->style();
    for (const QString& identifier : QuillsteadWindow::toolbarDefaultItemIdentifiers()) {
        if (identifier == QLatin1String("space")) {
            m_toolbar->addSeparator();
            continue;
        }
        if (identifier == QLatin1String("flexibleSpace")) {
            auto* spacer = new QWidget(m_toolbar);
            spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            m_toolbar->addWidget(spacer)->setObjectName(identifier);
            continue;
        }
        QAction* action = m_actions->action(identifier);
        if (action == nullptr)
            continue;
        action->setIcon(style->standardIcon(m_actions->toolbarIcon(identifier)));
        m_toolbar->addAction(action);
    }
}

void QuillsteadWindowController::applyToolbarStyle()
{
    // The stored style: 1 icons with labels under them, 2 icons only, 3 compact (small icons with
    // labels beside them), 4 labels only; anything else is the first.
    const qint64 stored = m_environment.settings().value(SettingsKeys::MainWindowToolbarStyle);
    const int full = m_window->style()->pixelMetric(QStyle::PM_ToolBarIconSize, nullptr, m_toolbar);
    const int small = m_window->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, m_toolbar);
    Qt::ToolButtonStyle buttons = Qt::ToolButtonTextUnderIcon;
    if (stored == 2)
        buttons = Qt::ToolButtonIconOnly;
    else if (stored == 3)
        buttons = Qt::ToolButtonTextBesideIcon;
    else if (stored == 4)
        buttons = Qt::ToolButtonTextOnly;
    m_toolbar->setIconSize(stored == 3 ? QSize(small, small) : QSize(full, full));
    m_toolbar->setToolButtonStyle(buttons);
}

QRect QuillsteadWindowController::frameOnScreen(double x, double y, double width, double height, const QRect& screen)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) || !std::isfinite(height) || width <= 0 ||
        height <= 0 || screen.isEmpty())
        return screen;
    const int w = static_cast<int>(std::clamp(width, 1.0, double(screen.width())));
    const int h = static_cast<int>(std::clamp(height, 1.0, double(screen.height())));
    const int left = static_cast<int>(std::clamp(x, double(screen.left()), double(screen.left() + screen.width() - w)));
    const int top = static_cast<int>(std::clamp(y, double(screen.top()), double(screen.top() + screen.height() - h)));
    return QRect(left, top, w, h);
}

void QuillsteadWindowController::showWindow()
{
    // The saved frame is only a wish: a settings file may hold any number, and a window as large as
    // it says would take all memory. It is fitted to the screen the frame starts on, or to the first
    // screen when it lies on none now (a screen since unplugged). The origin is the frame's (title
    // bar included), so the window manager puts the frame back where it was.
    const double x = static_cast<float>(m_environment.settings().value(SettingsKeys::MainWindowOriginX));
    const double y = static_cast<float>(m_environment.settings().value(SettingsKeys::MainWindowOriginY));
    const double width = static_cast<float>(m_environment.settings().value(SettingsKeys::MainWindowWidth));
    const double height = static_cast<float>(m_environment.settings().value(SettingsKeys::MainWindowHeight));
    const QScreen* screen = nullptr;
    if (std::isfinite(x) && std::isfinite(y) && std::abs(x) < 1e6 && std::abs(y) < 1e6)
        screen = QGuiApplication::screenAt(QPoint(static_cast<int>(x), static_cast<int>(y)));
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        if (width > 0 && height > 0 && std::isfinite(width) && std::isfinite(height)) {
            const QRect frame = frameOnScreen(x, y, width, height, area);
            m_window->resize(frame.size());
            m_window->move(frame.topLeft());
        } else {
            // The first start: most of the screen, where the window manager puts it.
            m_window->resize(area.size() * 0.9);
        }
    }
    m_window->setWindowOpacity(0.0);
    // The layouts come back (or the first is made) before the window first shows, so the layout view
    // never makes a default layout of its own for an empty screen.
    m_window->resize(m_window->size());
    m_app->restoreLayouts();
    m_window->show();
    makeTabsForLayoutManagerLayouts();
    LayoutManager& manager = m_environment.layoutManager();
    if (manager.currentLayout() != nullptr)
        selectLayoutAtIndex(manager.findLayoutIndex(manager.currentLayout()));
    m_actions->updateStates();
    // The keys start in the current pane's page, so that the page keys (Page Down, the menu key) work
    // from the first moment: the window gives them to it once the window manager makes it active.
    if (LayoutBookPane* pane = m_layoutViewController->currentBookPane())
        if (QWidget* view = pane->paneView(); view != nullptr && view->isVisible())
            view->setFocus(Qt::OtherFocusReason);
    m_window->setWindowOpacity(1.0);
}

void QuillsteadWindowController::exitIsImminent()
{
    m_observingLayouts = false;
    m_layoutSave->stop();
    // The frame's origin and the window's own size: what showWindow() puts back.
    const QPoint origin = m_window->frameGeometry().topLeft();
    const QSize size = m_window->size();
    m_environment.settings().set(SettingsKeys::MainWindowOriginX, double(static_cast<float>(origin.x())));
    m_environment.settings().set(SettingsKeys::MainWindowOriginY, double(static_cast<float>(origin.y())));
    m_environment.settings().set(SettingsKeys::MainWindowWidth, double(static_cast<float>(size.width())));
    m_environment.settings().set(SettingsKeys::MainWindowHeight, double(static_cast<float>(size.height())));
    m_app->archiveLayouts();
    m_layoutViewController->exitIsImminent();
}

void QuillsteadWindowController::preemptiveSaveState()
{
    m_app->archiveLayouts();
    m_layoutViewController->preemptiveSaveState();
}

LayoutRect QuillsteadWindowController::layoutAreaRect() const
{
    const QSize size =
        m_layoutArea->size().isValid() && !m_layoutArea->size().isEmpty() ? m_layoutArea->size() : m_window->size();
    return LayoutRect {0, 0, static_cast<double>(size.width()), static_cast<double>(size.height())};
}

double QuillsteadWindowController::defaultStudyPaneWidth()
{
    return LayoutViewController::defaultStudyPaneWidth();
}

QuillsteadWindowController::CurrentBook QuillsteadWindowController::currentBookAndSection() const
{
    CurrentBook current;
    const LayoutBookPane* pane = m_layoutViewController->currentBookPane();
    if (pane == nullptr)
        return current;
    current.book = pane->currentSourceTuple();
    current.section = static_cast<quint32>(pane->currentSourceSection());
    current.region = m_layoutViewController->goToPanes().currentRegion();
    return current;
}

void QuillsteadWindowController::addStudyPaneTabCommand(const StudyPaneTabs::Tab& tab)
{
    const StudyPaneTabs::Command& command = tab.command;
    m_actions->add(*command.id,
        {.text = tr(command.text),
            .toolbarLabel = tr(command.toolbarLabel),
            .shortcut = command.keySequence(),
            .menu = ActionRegistry::in(*command.menu, command.menuGroup, command.menuOrder),
            .toolbarOrder = command.toolbarOrder,
            .toolbarIcon = command.toolbarIcon},
        this, [this, slot = tab.slot] {
            if (LayoutView* view = m_layoutViewController->view())
                view->makeStudySubpaneCurrent(slot);
        });
}

void QuillsteadWindowController::makeGoToPaneCurrent()
{
    if (LayoutView* view = m_layoutViewController->view())
        view->makeStudySubpaneCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
}

void QuillsteadWindowController::setShowStudyPane(bool show)
{
    if (LayoutView* view = m_layoutViewController->view())
        view->setShowStudyPane(show);
}

bool QuillsteadWindowController::isStudyPaneVisible() const
{
    const LayoutView* view = m_layoutViewController->view();
    return view != nullptr && view->isStudyPaneVisible();
}

void QuillsteadWindowController::goBackInHistory()
{
    if (m_layoutViewController->history().canGoBackInHistory()) {
        m_layoutViewController->history().goBackInHistory();
        m_layoutViewController->rememberPlaceShown();
        // The panes were rebuilt: the keys go to the page now showing the place.
        m_layoutViewController->giveKeysToCurrentPane();
    }
    m_actions->updateStates();
}

void QuillsteadWindowController::goForwardInHistory()
{
    if (m_layoutViewController->history().canGoForwardInHistory()) {
        m_layoutViewController->history().goForwardInHistory();
        m_layoutViewController->rememberPlaceShown();
        // The panes were rebuilt: the keys go to the page now showing the place.
        m_layoutViewController->giveKeysToCurrentPane();
    }
    m_actions->updateStates();
}

bool QuillsteadWindowController::canCopyPassageNow() const
{
    return !m_layoutViewController->selectedBibleRefString().isEmpty();
}

bool QuillsteadWindowController::canCopy() const
{
    QWidget* focus = QApplication::focusWidget();
    if (const auto* line = qobject_cast<QLineEdit*>(focus))
        return line->hasSelectedText() && line->echoMode() == QLineEdit::Normal;
    if (const auto* text = qobject_cast<QTextEdit*>(focus))
        return text->textCursor().hasSelection();
    if (const auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        return plain->textCursor().hasSelection();
    if (focus != nullptr && focus->window() != m_window.get())
        return false;
    const LayoutBookPane* pane = m_layoutViewController->currentBookPane();
    return pane != nullptr && !pane->selectedText().isEmpty();
}

void QuillsteadWindowController::onCopy()
{
    QWidget* focus = QApplication::focusWidget();
    // Text fields and editors have a copy slot; other widgets have none and copy nothing.
    const auto copyFrom = [](QWidget* widget) {
        return widget != nullptr && widget->metaObject()->indexOfMethod("copy()") >= 0 &&
            QMetaObject::invokeMethod(widget, "copy");
    };
    if (focus != nullptr && focus->window() != m_window.get() && copyFrom(focus))
        return;
    if (m_layoutViewController->tryCopyFromBook())
        return;
    copyFrom(focus);
}

void QuillsteadWindowController::onCopyPassage(bool now)
{
    // The passage is the selection as it is when the command is given, even when the page has not
    // yet reported a selection made a moment before.
    QPointer<QWidget> window(m_window.get());
    m_layoutViewController->readSelectionNow([this, window, now] {
        if (window)
            copyPassage(now);
    });
}

void QuillsteadWindowController::copyPassage(bool now)
{
    // The selected verses of a Bible are the passage; anything else opens the dialog empty.
    QVariantMap options;
    const QString reference = m_layoutViewController->selectedBibleRefString();
    const std::shared_ptr<SourceTuple> book = m_layoutViewController->activeSourceTuple();
    if (!reference.isEmpty() && book && book->isABible()) {
        options.insert(QStringLiteral("passage"), reference);
        options.insert(QStringLiteral("bibleTuple"), QVariant::fromValue(book));
    }
    if (now)
        CopyPassageWindowController::copyNow(m_environment, options);
    else
        CopyPassageWindowController::run(m_environment, options, m_window.get());
}

QString QuillsteadWindowController::runTextPrompt(const QVariantMap& options)
{
    return ModalTextFieldWindowController::run(options, m_window.get()).value_or(QString());
}

QString QuillsteadWindowController::runNewLayoutSheet()
{
    QDialog sheet(m_window.get());
    sheet.setWindowTitle(tr("New Layout"));
    auto* list = new QListWidget(&sheet);
    const QList<QPair<QString, QString>> choices {{tr("One pane"), QStringLiteral("1")},
        {tr("Two panes side by side"), QStringLiteral("V11")},
        {tr("Two panes, one above the other"), QStringLiteral("H11")},
        {tr("Three panes: one beside two"), QStringLiteral("V12")},
        {tr("Three panes side by side"), QStringLiteral("V111")}, {tr("Four panes"), QStringLiteral("V22")}};
    for (const auto& [title, descriptor] : choices) {
        auto* item = new QListWidgetItem(title, list);
        item->setData(Qt::UserRole, descriptor);
    }
    list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &sheet);
    connect(buttons, &QDialogButtonBox::accepted, &sheet, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
    connect(list, &QListWidget::itemDoubleClicked, &sheet, &QDialog::accept);
    auto* layout = new QVBoxLayout(&sheet);
    layout->addWidget(new PlainLabel(tr("Choose the panes of the new layout:"), &sheet));
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (sheet.exec() != QDialog::Accepted || list->currentItem() == nullptr)
        return {};
    return list->currentItem()->data(Qt::UserRole).toString();
}
