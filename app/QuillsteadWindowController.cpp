#include "app/QuillsteadWindowController.h"

#include "app/AboutThisBookWindowController.h"
#include "app/AppUpdateChecker.h"
#include "app/AutostudyRequests.h"
#include "app/ModalTextFieldWindowController.h"
#include "app/QuillsteadAppController.h"
#include "app/preferences/NavigatorSettingsWindowController.h"
#include "cloud/store/MyOffersManager.h"
#include "cloud/store/StoreCredentials.h"
#include "library/NavigationHistory.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "panes/BookPaneFactory.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "platform/Alerts.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "reports/AutoStudyManager.h"
#include "reports/ui/CopyPassageWindowController.h"
#include "studypane/EditFormatDelegate.h"
#include "studypane/StudyPaneRegionContentItemDescriptor.h"
#include "studypane/StudyPaneViewController.h"
#include "studypane/subpanes/StudyPaneBookPaneHooks.h"
#include "studypane/subpanes/StudyPaneSubpanes.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The study region of a layout gets the study pane, which reads the current book pane's book.
class StudyPaneFactory final : public LayoutPaneFactory {
public:
    StudyPaneFactory(LayoutViewController* panes, StudyPaneEnvironment environment)
        : m_panes(panes), m_environment(std::move(environment))
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
        environment.navigatorElements = &navigatorElements;
        // Over the main window (the active window may be none, or another).
        environment.runNavigatorSettings = [panes] {
            return NavigatorSettingsWindowController::runModal(panes->view() ? panes->view()->window() : nullptr);
        };
        return StudyPaneViewController::factory(environment);
    }

    // The navigator searches the books chosen in the autostudy navigator list.
    static std::vector<NavigatorElementChoice> navigatorElements()
    {
        std::vector<NavigatorElementChoice> out;
        for (const AutoStudyElement& element : AutoStudyManager::singleton().elements().navigatorStudyElements()) {
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
    StudyPaneEnvironment m_environment;
};

UserDefaults& defaults()
{
    return UserDefaults::standardUserDefaults();
}

struct ToolbarItem {
    const char* identifier;
    const char* label;
    int tag;
};

// The toolbar's items: identifier, label, tag.
constexpr ToolbarItem kToolbarItems[] = {{"StudyPanel", "Study Pane", 404}, {"OpenBook", "Open Book", 101},
    {"CloseBook", "Close Book", 103}, {"AboutThisBook", "About Book", 113}, {"NewPane", "New Pane", 104},
    {"ClosePane", "Close Pane", 105}, {"ToggleBibleSync", "Bible Sync", 415},
    {"SyncToActiveBible", "Sync to Bible", 416}, {"Find", "Find", 501}, {"GoTo", "Go To", 503}, {"Notes", "Notes", 605},
    {"FindInNotes", "Find in Notes", 502}, {"Bookmarks", "Bookmarks", 607}, {"Highlights", "Highlights", 606},
    {"TodaysReading", "Today", 702}, {"ReadingComplete", "Read", 701}, {"ToggleStrongs", "Strong's", 407},
    {"CycleFootnoteMarker", "Footnotes", 408}, {"Back", "Back", 505}, {"Forward", "Forward", 506},
    {"Cloud Sync", "Cloud Sync", 602}, {"AutostudyVerse", "Verse Study", 603}, {"AutostudyWord", "Word Study", 604},
    {"AutostudyToday", "Today's Study", 608}, {"Journal", "Journal", 609}, {"LibrarySearch", "Library Search", 610},
    {"LibraryNavigator", "Navigator", 611}, {"StartSpeaking", "Speak", 225}, {"StopSpeaking", "Stop", 226},
    {"ToggleLinkPreview", "Previews", 417}, {"QuillsteadHelp", "Help", 901}};

// Commands of parts of the program that are not in this build yet: shown, but disabled.
const QSet<int>& unavailableTags()
{
    static const QSet<int> tags {102};
    return tags;
}

}  // namespace

// ---- QuillsteadWindow ----

const QStringList& QuillsteadWindow::toolbarAllowedItemIdentifiers()
{
    static const QStringList identifiers = [] {
        QStringList list;
        for (const ToolbarItem& item : kToolbarItems)
            list.append(QString::fromLatin1(item.identifier));
        return list;
    }();
    return identifiers;
}

const QStringList& QuillsteadWindow::toolbarDefaultItemIdentifiers()
{
    static const QStringList identifiers {QStringLiteral("StudyPanel"), QStringLiteral("space"),
        QStringLiteral("OpenBook"), QStringLiteral("space"), QStringLiteral("GoTo"), QStringLiteral("Find"),
        QStringLiteral("Bookmarks"), QStringLiteral("space"), QStringLiteral("Back"), QStringLiteral("Forward"),
        QStringLiteral("space"), QStringLiteral("TodaysReading"), QStringLiteral("space"), QStringLiteral("Cloud Sync"),
        QStringLiteral("flexibleSpace"), QStringLiteral("QuillsteadHelp")};
    return identifiers;
}

int QuillsteadWindow::tagForToolbarIdentifier(const QString& identifier)
{
    for (const ToolbarItem& item : kToolbarItems)
        if (identifier == QLatin1String(item.identifier))
            return item.tag;
    return 0;
}

void QuillsteadWindow::closeEvent(QCloseEvent* event)
{
    emit closing();
    QMainWindow::closeEvent(event);
}

// ---- QuillsteadWindowController ----

QuillsteadWindowController::QuillsteadWindowController(QuillsteadAppController* app)
    : m_app(app), m_window(std::make_unique<QuillsteadWindow>())
{
    m_window->setWindowTitle(QStringLiteral("Quillstead"));
    m_window->setObjectName(QStringLiteral("QuillsteadWindow"));
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

    // The pane manager: the layout view, the go-to routing and the navigation history.
    m_layoutViewController =
        std::make_unique<LayoutViewController>(LayoutManager::sharedLayoutManager(), SourceManager::singleton(),
            NotificationCenter::defaultCenter(), UserDefaults::standardUserDefaults(), AppFolders::cacheDirectory());
    m_layoutViewController->setNewLayoutHandler([this](const QString& descriptor) -> Layout* {
        m_app->newLayoutFromDescriptor(descriptor);
        return LayoutManager::sharedLayoutManager().currentLayout();
    });
    m_layoutViewController->setSaveStateHandler([this] { m_app->preemptiveSaveState(); });
    m_layoutViewController->setWebLinkHandler(&BookPaneFactory::openWebLink);
    m_layoutViewController->setBookPropertiesHandler([this](const std::shared_ptr<SourceTuple>& book) {
        AboutThisBookWindowController::runWithSourceTuple(book, m_window.get());
    });
    // Every ordinary region gets a book pane, the study region the study pane.
    BookPaneViewController::Environment environment;
    environment.layouts = &LayoutManager::sharedLayoutManager();
    StudyPaneRegionContentItemDescriptor::registerArchiveReaders();
    // The study pane's bookmark, highlight and go-to tools ask and tell through this window's prompt
    // and toast; the book panes' bookmark and highlight commands go through their services.
    StudyPaneSubpanes::registerAll();
    m_studyPaneEnvironment = StudyPaneEnvironment::application();
    m_studyPaneEnvironment.formatRegistry = &m_formatRegistry;
    m_studyPaneEnvironment.saveState = [this] { m_app->preemptiveSaveState(); };
    m_studyPaneEnvironment.textPrompt = [this](const QVariantMap& options) {
        return ModalTextFieldWindowController::run(options, m_window.get());
    };
    m_studyPaneEnvironment.toast = [this](const QString& message) { m_app->showToast(message); };
    BookPaneHooks::install(std::make_shared<StudyPaneBookPaneHooks>(m_studyPaneEnvironment));
    m_paneFactory = std::make_unique<BookPaneFactory>(
        environment, std::make_shared<StudyPaneFactory>(m_layoutViewController.get(), m_studyPaneEnvironment));
    m_layoutViewController->setPaneFactory(m_paneFactory.get());
    areaLayout->addWidget(m_layoutViewController->view());
    m_window->setCentralWidget(central);

    connect(m_addLayoutButton, &QToolButton::clicked, this, [this] { m_app->onNewLayout(); });
    connect(m_tabBar, &QTabBar::tabMoved, this, [this](int, int) { tabMoved(); });
    connect(m_tabBar, &QTabBar::tabCloseRequested, this, &QuillsteadWindowController::tabCloseRequested);
    connect(m_tabBar, &QTabBar::currentChanged, this, &QuillsteadWindowController::tabSelected);
    m_tabBar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tabBar, &QTabBar::customContextMenuRequested, this, [this](const QPoint& at) {
        const int index = m_tabBar->tabAt(at);
        if (index < 0)
            return;
        m_tabBar->setCurrentIndex(index);
        m_app->onRenameLayout();
    });
    connect(m_window.get(), &QuillsteadWindow::closing, this, [this] { m_app->applicationWillTerminate(); });

    NotificationCenter& center = NotificationCenter::defaultCenter();
    for (const QString& name : {LayoutManager::qsLayoutManagerAddedOrRemovedLayoutsNotification,
             LayoutManager::qsLayoutManagerLayoutNameChangedNotification})
        center.addObserver(this, name, [this](Notification&) {
            if (m_observingLayouts)
                makeTabsForLayoutManagerLayouts();
        });
    m_observingLayouts = true;
}

QuillsteadWindowController::~QuillsteadWindowController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    m_layoutViewController.reset();
    m_paneFactory.reset();
}

void QuillsteadWindowController::setPaneFactory(LayoutPaneFactory* factory)
{
    m_layoutViewController->setPaneFactory(factory);
}

QList<QAction*> QuillsteadWindowController::actionsForTag(int tag) const
{
    return m_actions.values(tag);
}

QAction* QuillsteadWindowController::addCommand(
    QMenu* menu, const QString& title, int tag, const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(title);
    action->setData(tag);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, tag] { toolbarItemSelected(tag); });
    m_actions.insert(tag, action);
    return action;
}

void QuillsteadWindowController::buildMenus()
{
    QMenuBar* bar = m_window->menuBar();
    QMenu* file = bar->addMenu(tr("&File"));
    addCommand(file, tr("Open Book..."), 101, QKeySequence::Open);
    addCommand(file, tr("Close Book"), 103, QKeySequence(QStringLiteral("Ctrl+W")));
    addCommand(file, tr("About This Book"), 113);
    file->addSeparator();
    addCommand(file, tr("Cloud Library..."), 109);
    addCommand(file, tr("My Special Offers..."), 115);
    addCommand(file, tr("Sync Now"), 602);
    file->addSeparator();
    QAction* settings = file->addAction(tr("Settings..."));
    settings->setMenuRole(QAction::PreferencesRole);
    settings->setShortcut(QKeySequence::Preferences);
    connect(settings, &QAction::triggered, m_app, &QuillsteadAppController::onPreferences);
    QAction* quit = file->addAction(tr("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, m_window.get(), &QWidget::close);

    QMenu* edit = bar->addMenu(tr("&Edit"));
    addCommand(edit, tr("Copy Passage..."), 209, QKeySequence(QStringLiteral("Ctrl+Shift+C")));
    addCommand(edit, tr("Copy Passage Now"), 223, QKeySequence(QStringLiteral("Ctrl+Alt+C")));
    edit->addSeparator();
    QMenu* format = edit->addMenu(tr("Format"));
    format->menuAction()->setData(211);
    m_actions.insert(211, format->menuAction());
    QMenu* font = format->addMenu(tr("Font"));
    font->menuAction()->setData(210);
    m_actions.insert(210, font->menuAction());
    addCommand(font, tr("Bold"), 212, QKeySequence::Bold);
    addCommand(font, tr("Italic"), 213, QKeySequence::Italic);
    addCommand(font, tr("Underline"), 214, QKeySequence::Underline);
    QMenu* lists = format->addMenu(tr("Lists"));
    lists->menuAction()->setData(215);
    m_actions.insert(215, lists->menuAction());
    addCommand(lists, tr("Numbered List"), 216);
    addCommand(lists, tr("Bulleted List"), 217);
    QMenu* blocks = format->addMenu(tr("Paragraph Style"));
    blocks->menuAction()->setData(218);
    m_actions.insert(218, blocks->menuAction());
    addCommand(blocks, tr("Paragraph"), 219);
    addCommand(blocks, tr("Heading 1"), 220);
    addCommand(blocks, tr("Heading 2"), 221);
    addCommand(blocks, tr("Heading 3"), 222);

    QMenu* view = bar->addMenu(tr("&View"));
    addCommand(view, tr("Study Pane"), 404)->setCheckable(true);
    addCommand(view, tr("Layout Tabs"), 403)->setCheckable(true);
    view->addSeparator();
    addCommand(view, tr("Strong's Numbers and Word Attributes"), 407)->setCheckable(true);
    addCommand(view, tr("Cycle Footnote Markers"), 408)->setCheckable(true);
    addCommand(view, tr("Link Previews"), 417)->setCheckable(true);
    view->addSeparator();
    addCommand(view, tr("Display Settings..."), 405);
    addCommand(view, tr("Colors..."), 406);

    QMenu* panes = bar->addMenu(tr("&Panes"));
    addCommand(panes, tr("Split Pane Horizontally"), 1001);
    addCommand(panes, tr("Split Pane Vertically"), 1002);
    addCommand(panes, tr("Close Pane"), 105);
    panes->addSeparator();
    addCommand(panes, tr("Next Book Pane"), 409, QKeySequence(QStringLiteral("Ctrl+]")));
    addCommand(panes, tr("Previous Book Pane"), 410, QKeySequence(QStringLiteral("Ctrl+[")));
    panes->addSeparator();
    addCommand(panes, tr("Bible / Commentary Sync"), 415)->setCheckable(true);
    addCommand(panes, tr("Sync to Active Bible"), 416);
    panes->addSeparator();
    addCommand(panes, tr("New Layout..."), 106);
    addCommand(panes, tr("Rename Layout..."), 107);
    addCommand(panes, tr("Delete Layout"), 108);

    QMenu* go = bar->addMenu(tr("&Go"));
    addCommand(go, tr("Back"), 505, QKeySequence::Back);
    addCommand(go, tr("Forward"), 506, QKeySequence::Forward);
    go->addSeparator();
    addCommand(go, tr("Go To..."), 503, QKeySequence(QStringLiteral("Ctrl+L")));
    addCommand(go, tr("Today's Reading"), 702, QKeySequence(QStringLiteral("Ctrl+T")));
    addCommand(go, tr("Mark Reading Complete"), 701);

    QMenu* study = bar->addMenu(tr("&Study"));
    addCommand(study, tr("Find..."), 501, QKeySequence::Find);
    addCommand(study, tr("Find in Notes..."), 502);
    addCommand(study, tr("Notes"), 605);
    addCommand(study, tr("Bookmarks"), 607);
    addCommand(study, tr("Highlights"), 606);
    addCommand(study, tr("Journal"), 609);
    addCommand(study, tr("Library Search"), 610);
    addCommand(study, tr("Navigator"), 611);
    study->addSeparator();
    addCommand(study, tr("Verse Study..."), 603);
    addCommand(study, tr("Word Study..."), 604);
    addCommand(study, tr("Today's Study..."), 608);
    study->addSeparator();
    addCommand(study, tr("Start Speaking"), 225);
    addCommand(study, tr("Stop Speaking"), 226);

    QMenu* help = bar->addMenu(tr("&Help"));
    addCommand(help, tr("Quillstead Help"), 901, QKeySequence::HelpContents);
    QAction* updates = help->addAction(tr("Check for Updates..."));
    updates->setObjectName(QStringLiteral("checkForUpdates"));
    connect(updates, &QAction::triggered, this, [] { AppUpdateChecker::shared().onCheckForUpdates(); });
    QAction* about = help->addAction(tr("About Quillstead"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, m_app, &QuillsteadAppController::onAboutQuillstead);

    for (QMenu* menu : bar->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            updateActionStates();
            m_app->menuNeedsUpdate(menu);
        });
}

void QuillsteadWindowController::buildToolbar()
{
    m_toolbar = m_window->addToolBar(tr("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("mainToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QStyle* style = m_window->style();
    const QHash<int, QStyle::StandardPixmap> icons {{404, QStyle::SP_FileDialogDetailedView},
        {101, QStyle::SP_DialogOpenButton}, {503, QStyle::SP_FileDialogContentsView},
        {501, QStyle::SP_FileDialogInfoView}, {607, QStyle::SP_DirIcon}, {505, QStyle::SP_ArrowBack},
        {506, QStyle::SP_ArrowForward}, {702, QStyle::SP_FileDialogNewFolder}, {602, QStyle::SP_BrowserReload},
        {901, QStyle::SP_DialogHelpButton}};
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
        const int tag = QuillsteadWindow::tagForToolbarIdentifier(identifier);
        QString label;
        for (const ToolbarItem& item : kToolbarItems)
            if (identifier == QLatin1String(item.identifier))
                label = tr(item.label);
        QAction* action = m_toolbar->addAction(style->standardIcon(icons.value(tag, QStyle::SP_FileIcon)), label);
        action->setData(tag);
        action->setObjectName(identifier);
        connect(action, &QAction::triggered, this, [this, tag] { toolbarItemSelected(tag); });
        m_actions.insert(tag, action);
    }
}

void QuillsteadWindowController::showWindow()
{
    const float width = static_cast<float>(defaults().floatForKey(QStringLiteral("mainWindowWidth")));
    const float height = static_cast<float>(defaults().floatForKey(QStringLiteral("mainWindowHeight")));
    if (width > 0 && height > 0) {
        m_window->setGeometry(static_cast<int>(defaults().floatForKey(QStringLiteral("mainWindowOriginX"))),
            static_cast<int>(defaults().floatForKey(QStringLiteral("mainWindowOriginY"))), static_cast<int>(width),
            static_cast<int>(height));
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_window->setGeometry(screen->availableGeometry());
    }
    m_window->setWindowOpacity(0.0);
    // The layouts come back (or the first is made) before the window first shows, so the layout view
    // never makes a default layout of its own for an empty screen.
    m_window->resize(m_window->size());
    m_app->restoreLayouts();
    m_window->show();
    makeTabsForLayoutManagerLayouts();
    LayoutManager& manager = LayoutManager::sharedLayoutManager();
    if (manager.currentLayout() != nullptr)
        selectLayoutAtIndex(manager.findLayoutIndex(manager.currentLayout()));
    updateActionStates();
    m_window->setWindowOpacity(1.0);
}

void QuillsteadWindowController::exitIsImminent()
{
    m_observingLayouts = false;
    const QRect frame = m_window->geometry();
    defaults().setFloat(static_cast<float>(frame.x()), QStringLiteral("mainWindowOriginX"));
    defaults().setFloat(static_cast<float>(frame.y()), QStringLiteral("mainWindowOriginY"));
    defaults().setFloat(static_cast<float>(frame.width()), QStringLiteral("mainWindowWidth"));
    defaults().setFloat(static_cast<float>(frame.height()), QStringLiteral("mainWindowHeight"));
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
    return 300.0;
}

// ---- Layout tabs ----

void QuillsteadWindowController::makeTabsForLayoutManagerLayouts()
{
    m_ignoreTabViewDelegateMessages = true;
    while (m_tabBar->count() > 0)
        m_tabBar->removeTab(m_tabBar->count() - 1);
    LayoutManager& manager = LayoutManager::sharedLayoutManager();
    for (const auto& layout : manager.layouts()) {
        const int index = m_tabBar->addTab(layout->name().isEmpty() ? tr("Untitled Layout") : layout->name());
        m_tabBar->setTabData(index, layout->uuidString());
    }
    m_tabBar->setTabsClosable(m_tabBar->count() > 1);
    const quint64 current = manager.findLayoutIndex(manager.currentLayout());
    if (current < static_cast<quint64>(m_tabBar->count())) {
        m_tabBar->setCurrentIndex(static_cast<int>(current));
        m_ignoreTabViewDelegateMessages = false;
        tabSelected(static_cast<int>(current));
    }
    m_ignoreTabViewDelegateMessages = false;
}

void QuillsteadWindowController::makeLayoutManagerMatchTabs()
{
    m_observingLayouts = false;
    LayoutManager& manager = LayoutManager::sharedLayoutManager();
    for (int i = 0; i < m_tabBar->count();) {
        const QString uuid = m_tabBar->tabData(i).toString();
        const Layout* at = manager.layoutAtIndex(static_cast<quint64>(i));
        if (at != nullptr && at->uuidString() == uuid) {
            ++i;
            continue;
        }
        if (const Layout* wanted = manager.layoutWithUuid(uuid)) {
            manager.swapLayoutAtIndex(static_cast<quint64>(i), manager.findLayoutIndex(wanted));
            ++i;
            continue;
        }
        m_ignoreTabViewDelegateMessages = true;
        m_tabBar->removeTab(i);
        m_ignoreTabViewDelegateMessages = false;
    }
    while (manager.count() > static_cast<quint64>(m_tabBar->count()) && manager.count() > 0)
        manager.deleteLayoutAtIndex(manager.count() - 1);
    m_observingLayouts = true;
}

void QuillsteadWindowController::selectLayoutAtIndex(quint64 index)
{
    if (index < static_cast<quint64>(m_tabBar->count()) && m_tabBar->currentIndex() != static_cast<int>(index)) {
        m_ignoreTabViewDelegateMessages = true;
        m_tabBar->setCurrentIndex(static_cast<int>(index));
        m_ignoreTabViewDelegateMessages = false;
    }
    LayoutManager& manager = LayoutManager::sharedLayoutManager();
    if (index < manager.count()) {
        manager.setCurrentLayout(manager.layoutAtIndex(index));
        m_layoutViewController->showCurrentLayout();
    }
}

void QuillsteadWindowController::selectLayoutWithName(const QString& name)
{
    LayoutManager& manager = LayoutManager::sharedLayoutManager();
    for (quint64 i = 0; i < manager.count(); ++i)
        if (manager.layoutAtIndex(i)->name().compare(name, Qt::CaseInsensitive) == 0) {
            selectLayoutAtIndex(i);
            return;
        }
}

bool QuillsteadWindowController::isTabBarVisible() const
{
    return !m_tabBar->isHidden();
}

void QuillsteadWindowController::setTabBarVisible(bool visible)
{
    m_tabBar->setVisible(visible);
    m_addLayoutButton->setVisible(visible);
}

void QuillsteadWindowController::tabMoved()
{
    if (!m_ignoreTabViewDelegateMessages)
        makeLayoutManagerMatchTabs();
}

void QuillsteadWindowController::tabCloseRequested(int index)
{
    if (m_tabBar->count() < 2)
        return;
    Alert alert;
    alert.messageText =
        QStringLiteral("Are you sure you want to delete the layout '%1'?").arg(m_tabBar->tabText(index));
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    alert.style = AlertStyle::Informational;
    if (Alerts::shared().runModal(alert) != AlertFirstButtonReturn)
        return;
    m_ignoreTabViewDelegateMessages = true;
    m_tabBar->removeTab(index);
    m_ignoreTabViewDelegateMessages = false;
    makeLayoutManagerMatchTabs();
    makeTabsForLayoutManagerLayouts();
}

void QuillsteadWindowController::tabSelected(int index)
{
    if (m_ignoreTabViewDelegateMessages || index < 0)
        return;
    LayoutManager& manager = LayoutManager::sharedLayoutManager();
    const Layout* layout = manager.layoutWithUuid(m_tabBar->tabData(index).toString());
    if (layout != nullptr)
        selectLayoutAtIndex(manager.findLayoutIndex(layout));
}

// ---- Dispatch and validation ----

const QSet<int>& QuillsteadWindowController::unavailableCommandTags()
{
    return unavailableTags();
}

void QuillsteadWindowController::toolbarItemSelected(int tag)
{
    if (!validateToolbarItem(tag) || !validateMenuItem(tag))
        return;
    switch (tag) {
    case 209:
        onCopyPassage(false);
        return;
    case 223:
        onCopyPassage(true);
        return;
    case 501:
        m_layoutViewController->makeFindPaneCurrent();
        return;
    case 611:
        m_layoutViewController->makeNavigatorPaneCurrent();
        return;
    case 502:
        m_layoutViewController->makeFindInNotesPaneCurrent();
        return;
    case 605:
        m_layoutViewController->makeNotesPaneCurrent();
        return;
    case 212:
    case 213:
    case 214:
    case 216:
    case 217:
    case 219:
    case 220:
    case 221:
    case 222:
        applyFormat(tag);
        return;
    case 609:
        m_layoutViewController->makeJournalPaneCurrent();
        return;
    case 610:
        m_layoutViewController->makeLibrarySearchPaneCurrent();
        return;
    case 603:
        m_layoutViewController->onAutostudyVerse();
        return;
    case 604:
        m_layoutViewController->onAutostudyWord();
        return;
    case 608:
        runTodayAutostudy(m_window.get());
        return;
    case 503:
        m_layoutViewController->makeGoToPaneCurrent();
        return;
    case 606:
        m_layoutViewController->makeHighlightsPaneCurrent();
        return;
    case 607:
        m_layoutViewController->makeBookmarksPaneCurrent();
        return;
    case 505:
        goBackInHistory();
        return;
    case 506:
        goForwardInHistory();
        return;
    case 409:
        m_layoutViewController->nextBookPane();
        return;
    case 410:
        m_layoutViewController->previousBookPane();
        return;
    case 701:
        NotificationCenter::defaultCenter().postNotificationName(QStringLiteral("UserWantsToToggleCurrentReading"),
            this,
            {{QStringLiteral("layoutUuid"),
                LayoutManager::sharedLayoutManager().currentLayout() != nullptr
                    ? LayoutManager::sharedLayoutManager().currentLayout()->uuidString()
                    : QString()}});
        return;
    default:
        m_app->performCommand(tag);
    }
}

bool QuillsteadWindowController::validateToolbarItem(int tag) const
{
    if (unavailableTags().contains(tag))
        return false;
    switch (tag) {
    case 102:
        return false;
    case 226: {
        const auto synthesizer = SpeechSynthesizer::shared();
        return synthesizer && synthesizer->isSpeaking();
    }
    case 416:
        return !defaults().boolForKey(QStringLiteral("syncBiblesComm"));
    case 505:
        return m_layoutViewController->history().canGoBackInHistory();
    case 506:
        return m_layoutViewController->history().canGoForwardInHistory();
    case 701:
        return m_layoutViewController->canToggleReadingComplete();
    default:
        return true;
    }
}

bool QuillsteadWindowController::validateMenuItem(int tag) const
{
    if (unavailableTags().contains(tag))
        return false;
    switch (tag) {
    case 108:
        return LayoutManager::sharedLayoutManager().count() >= 2;
    case 1001:
        return m_layoutViewController->canCurrentPaneSplitHorizontally();
    case 1002:
        return m_layoutViewController->canCurrentPaneSplitVertically();
    case 223:
        return canCopyPassageNow();
    case 210:
    case 211:
    case 212:
    case 213:
    case 214:
    case 215:
    case 216:
    case 217:
    case 218:
    case 219:
    case 220:
    case 221:
    case 222:
        return canFormat(tag);
    case 113:
        return m_layoutViewController->activeSourceTuple() != nullptr;
    case 115:
        return qs::cloud::StoreCredentials::signedIn(UserDefaults::standardUserDefaults()) &&
            qs::cloud::MyOffersManager::shared().hasOffers();
    default:
        return true;
    }
}

// The format commands act on the note editor while it shows its rich editor.
bool QuillsteadWindowController::canFormat(int tag) const
{
    const EditFormatDelegate* d = m_formatRegistry.current();
    if (d == nullptr)
        return false;
    switch (tag) {
    case 212:
        return d->canBold();
    case 213:
        return d->canItalic();
    case 214:
        return d->canUnderline();
    case 216:
        return d->canOrderedList();
    case 217:
        return d->canUnorderedList();
    case 219:
        return d->canParagraph();
    case 220:
        return d->canHeading1();
    case 221:
        return d->canHeading2();
    case 222:
        return d->canHeading3();
    default:
        return d->canBold();  // the submenus
    }
}

void QuillsteadWindowController::applyFormat(int tag)
{
    EditFormatDelegate* d = m_formatRegistry.current();
    if (d == nullptr || !canFormat(tag))
        return;
    switch (tag) {
    case 212:
        d->applyBold();
        break;
    case 213:
        d->applyItalic();
        break;
    case 214:
        d->applyUnderline();
        break;
    case 216:
        d->applyOrderedList();
        break;
    case 217:
        d->applyUnorderedList();
        break;
    case 219:
        d->applyParagraph();
        break;
    case 220:
        d->applyHeading1();
        break;
    case 221:
        d->applyHeading2();
        break;
    case 222:
        d->applyHeading3();
        break;
    default:
        break;
    }
}

void QuillsteadWindowController::updateActionStates()
{
    for (auto it = m_actions.constBegin(); it != m_actions.constEnd(); ++it) {
        const bool enabled = validateToolbarItem(it.key()) && validateMenuItem(it.key());
        it.value()->setEnabled(enabled);
        if (unavailableTags().contains(it.key()))
            it.value()->setToolTip(tr("Not available in this version"));
    }
}

QuillsteadWindowController::CurrentBook QuillsteadWindowController::currentBookAndSection() const
{
    CurrentBook current;
    const LayoutBookPane* pane = m_layoutViewController->currentBookPane();
    if (pane == nullptr)
        return current;
    current.book = pane->currentSourceTuple();
    current.section = static_cast<quint32>(pane->currentSourceSection());
    current.region = m_layoutViewController->currentRegion();
    return current;
}

void QuillsteadWindowController::makeGoToPaneCurrent()
{
    m_layoutViewController->makeGoToPaneCurrent();
}

void QuillsteadWindowController::setShowStudyPane(bool show)
{
    m_layoutViewController->setShowStudyPane(show);
}

bool QuillsteadWindowController::isStudyPaneVisible() const
{
    return m_layoutViewController->isStudyPaneVisible();
}

void QuillsteadWindowController::goBackInHistory()
{
    if (m_layoutViewController->history().canGoBackInHistory())
        m_layoutViewController->history().goBackInHistory();
    updateActionStates();
}

void QuillsteadWindowController::goForwardInHistory()
{
    if (m_layoutViewController->history().canGoForwardInHistory())
        m_layoutViewController->history().goForwardInHistory();
    updateActionStates();
}

bool QuillsteadWindowController::canCopyPassageNow() const
{
    return !m_layoutViewController->selectedBibleRefString().isEmpty();
}

void QuillsteadWindowController::onCopyPassage(bool now)
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
        CopyPassageWindowController::copyNow(options);
    else
        CopyPassageWindowController::run(options, m_window.get());
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
    layout->addWidget(new QLabel(tr("Choose the panes of the new layout:"), &sheet));
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (sheet.exec() != QDialog::Accepted || list->currentItem() == nullptr)
        return {};
    return list->currentItem()->data(Qt::UserRole).toString();
}

void QuillsteadWindowController::runOpenBookDialog()
{
}
