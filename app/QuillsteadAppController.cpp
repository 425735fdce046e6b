#include "app/QuillsteadAppController.h"

#include "app/ApplicationBookPaneHooks.h"
#include "platform/SettingsKeys.h"

#include "app/AppUpdateChecker.h"
#include "app/AutostudyRequests.h"
#include "app/DesktopWindows.h"
#include "app/HelpCommands.h"
#include "app/LayoutCommands.h"
#include "app/PaneCommands.h"
#include "app/ProblemNotice.h"
#include "app/ProgramParts.h"
#include "app/QuillsteadSyncDelegate.h"
#include "app/QuillsteadWindowController.h"
#include "app/ReaderInstance.h"
#include "app/RefusedBooksNotice.h"
#include "app/RendererEndedAlert.h"
#include "app/StoreCommands.h"
#include "app/Toast.h"
#include "app/UpdateAvailableWindowController.h"
#include "app/UserDataRetry.h"
#include "app/ViewCommands.h"
#include "app/WindowNotice.h"
#include "app/preferences/AppNotifications.h"
#include "app/preferences/LoginPreferencesViewController.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "app/preferences/PreferencesViewController.h"
#include "app/preferences/SettingsPages.h"
#include "app/preferences/SyncPreferencesViewController.h"
#include "cloud/protocol/ScrambledText.h"
#include "cloud/protocol/ServiceHost.h"
#include "cloud/store/MyOffersManager.h"
#include "cloud/store/StoreManagers.h"
#include "cloud/store/StoreNotifications.h"
#include "cloud/sync/SyncEntryPoints.h"
#include "cloud/sync/SyncManager.h"
#include "cloud/ui/SyncCustomerIDResolutionWindowController.h"
#include "documents/cBookUserData.h"
#include "library/BookFileInstall.h"
#include "library/GoToRequest.h"
#include "library/JavaScript.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "panes/bookpane/QtSpeechSynthesizer.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegion.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutViewController.h"
#include "platform/Alerts.h"
#include "platform/AppFolders.h"
#include "platform/AppVersion.h"
#include "platform/FileWriteQueue.h"
#include "platform/KeyedArchive.h"
#include "platform/MainThread.h"
#include "platform/ProfileLink.h"
#include "platform/SaveFailureAlerts.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "platform/ui/CaretRest.h"
#include "search/execution/UserDataSearchCache.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QMessageBox>
#include <QMetaObject>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionButton>
#include <QThread>
#include <QUrl>

namespace {

// The book id (publisher 1) of the King James Version that comes with the application.
constexpr qint64 kFirstBible = 101;

// The kinds of problem the notice line lists besides the files and the database.
const QString kSyncLeftOutProblem = QStringLiteral("sync: records left out");
const QString kRendererEndedProblem = QStringLiteral("pages: renderer ended");

QString& bundledFolder()
{
    static QString folder;
    return folder;
}

// Legacy names of the books that come with the application, removed when the book is installed.
QString legacyNameFor(const QString& name)
{
    if (name == QLatin1String("MXHelp.tvk"))
        return QStringLiteral("MXBKHELP003.tvk");
    if (name == QLatin1String("MXWelcome.tvk"))
        return QStringLiteral("MXBKWELCOME003.tvk");
    if (name == QLatin1String("KJV.tvk"))
        return QStringLiteral("MXBKKJV003.tvk");
    return {};
}

}  // namespace

QuillsteadAppController::QuillsteadAppController(const WindowEnvironment& environment, QObject* parent)
    : QObject(parent),
      m_environment(environment),
      m_updateChecker(std::make_unique<AppUpdateChecker>(m_environment.notifications(), m_environment.settings())),
      m_caretRest(std::make_unique<CaretRest>())
{
    // The update checker shows its alerts, toasts and update window over the main window.
    AppUpdateChecker::Presenter& updates = m_updateChecker->presenter();
    updates.alert = [this](const QVariantMap& alert) { showAlertOnMainThread(alert); };
    updates.toast = [this](const QString& message) { showToast(message); };
    updates.showUpdateAvailable = [this](const QVariantMap& params) {
        UpdateAvailableWindowController::runWithParams(params, m_environment.notifications(),
            m_mainWindowController ? m_mainWindowController->window() : QApplication::activeWindow());
    };
}

QuillsteadAppController::~QuillsteadAppController()
{
    // The layout writes still queued are done, with their calls back here.
    FileWriteQueue::shared().finish();
    m_environment.notifications().removeObserver(this);
    if (m_syncDelegate && m_environment.sync != nullptr)
        qs::cloud::installSyncEngine(*m_environment.sync, nullptr);
    // The command objects read the window: they go first.
    m_paneCommands.reset();
    m_layoutCommands.reset();
    m_viewCommands.reset();
    m_helpCommands.reset();
    m_storeCommands.reset();
    m_mainWindowController.reset();
}

void QuillsteadAppController::setBundledBooksFolder(const QString& folder)
{
    bundledFolder() = folder;
}

QString QuillsteadAppController::bundledBooksFolder()
{
    return bundledFolder();
}

qint64 QuillsteadAppController::appVersion()
{
    return AppVersion::buildNumber();
}

bool QuillsteadAppController::askYesNo(const QString& message, const QString& informative)
{
    Alert alert;
    alert.messageText = message;
    alert.informativeText = informative;
    alert.buttons = {QStringLiteral("No"), QStringLiteral("Yes")};
    alert.style = AlertStyle::Informational;
    return m_environment.alert().runModal(alert) == AlertSecondButtonReturn;
}

// ---- Launch and termination ----

void QuillsteadAppController::applicationDidFinishLaunching(const LaunchResets& resets)
{
    Q_ASSERT(isMainThread());
    UserDefaults& defaults = m_environment.settings();
    // From here on the problems with the user's files wait for the window, and are said there together.
    m_problems = std::make_unique<ProblemNotice>(
        [this]() -> WindowNotice* { return m_mainWindowController ? m_mainWindowController->notice() : nullptr; },
        m_environment.alert());
    bool reinstallAll = false;
    if (resets.resetLayout &&
        askYesNo(QStringLiteral("Are you sure you want to delete Quillstead's screen layout?"),
            QStringLiteral(
                "This will delete your screen layout, causing you to have to re-create any panes or tabs you "
                "previously created. This is useful when your layout has become corrupted, causing "
                "Quillstead not to show its window, or when you want to simply start over. "))) {
        QFile::remove(appLayoutArchiveFile());
        for (const SettingKey<double>* key : {&SettingsKeys::MainWindowOriginX, &SettingsKeys::MainWindowOriginY,
                 &SettingsKeys::MainWindowWidth, &SettingsKeys::MainWindowHeight})
            defaults.remove(*key);
    }
    if (resets.resetSettings &&
        askYesNo(QStringLiteral("Are you sure you want to delete saved settings?"),
            QStringLiteral("This will restore all program settings to their factory defaults and will log you out of "
                           "your Tavrosen Cloud account if you are currently logged in. It will NOT delete your "
                           "user-created data (notes, highlights, bookmarks, reading history, etc.). It will NOT "
                           "change your screen layout but will reset the saved Quillstead window location and size. "
                           "It will NOT delete any books. ")))
        defaults.removePersistentDomain();
    if (resets.reinstallBundledBooks &&
        askYesNo(QStringLiteral("Are you sure you want to reinstall bundled books?"),
            QStringLiteral("If you select 'Yes', Quillstead will reinstall the Welcome and User Guide books along with "
                           "any bundled Bibles included with the program. If you have previously deleted these "
                           "books, they will be re-installed. If you have updated them from the Cloud Library since "
                           "you downloaded this program, your newer versions will be overwritten. ")))
        reinstallAll = true;

    // A password kept by an older version moves to its current key as it is (already scrambled). A
    // value that is not a scrambled form is a password typed in clear into the settings file by an
    // older build: it is dropped, never moved.
    if (defaults.hasStoredValue(SettingsKeys::Password)) {
        const QVariant password = defaults.value(SettingsKeys::Password);
        if (password.typeId() == QMetaType::QString &&
            qs::cloud::unscrambleTextChecked(password.toString(), qs::cloud::ScramblePad::Default))
            defaults.setObject(password, SettingsKeys::Optionsbitfield.name);
        defaults.remove(SettingsKeys::Password);
    }

    // Settings kept elsewhere through a link that leads nowhere now are kept for this run only.
    if (const QString problem = defaults.linkProblem(); !problem.isEmpty()) {
        Alert alert;
        alert.style = AlertStyle::Warning;
        alert.messageText = QStringLiteral("Quillstead cannot read or save your settings.");
        alert.informativeText = problem +
            QStringLiteral(" Quillstead started with its factory settings, and changes made now last only until it "
                           "quits.\n\n") +
            ProfileLink::advice();
        sayProblem(alert);
    }
    SettingsRegistry::registerDefaultsForAllPreferences(defaults);
    qs::cloud::ServiceHost::registerDefault(defaults);
    // The speech engine loads its voices (several megabytes) only when speech or the Voices
    // settings first ask for the voice defaults.
    SettingsRegistry::setSpeechVoiceSource([] {
        QList<SpeechVoice> voices;
        for (const auto& [voice, locale] : QtSpeechSynthesizer::installedVoices())
            voices.append({voice.name(), locale.name()});
        return voices;
    });

    // The books the library refuses from here on (its first look at the folder among them) are said.
    m_refusedBooksNotice = std::make_unique<RefusedBooksNotice>(m_environment.notifications(),
        [this]() -> QWidget* { return m_mainWindowController ? m_mainWindowController->window() : nullptr; });
    initializeSharedCode();

    const bool newBuild = appVersion() != defaults.value(SettingsKeys::PrevAppVersion);
    if (newBuild)
        SourceManager::removeArchiveFiles();
    // Book files a crash left half written are never finished: they go before the library looks.
    for (const QString& partial : BookFileInstall::sweepPartialFiles(AppFolders::booksDirectory()))
        qInfo().noquote() << "removed an unfinished book file:" << partial;
    installBundledBooks(reinstallAll || newBuild, reinstallAll);
    // The autostudy lists follow the library from now on: a book removed and installed again before
    // the first study goes to the end of its lists as a new book, as it would later.
    m_environment.autoStudy();

    m_mainWindowController = std::make_unique<QuillsteadWindowController>(this, m_environment);
    m_desktopWindows = std::make_unique<DesktopWindows>(
        [this]() -> QWidget* { return m_mainWindowController ? m_mainWindowController->window() : nullptr; });

    // The sync engine reports to this application and serves the stores' sync requests.
    QuillsteadSyncDelegate::Environment syncEnvironment;
    syncEnvironment.toolbar = [this] { return m_mainWindowController ? m_mainWindowController->toolbar() : nullptr; };
    syncEnvironment.toast = [this](const QString& message) { showToast(message); };
    // The sync's news joins the other problems on the notice line: one entry, kept until closed.
    syncEnvironment.notice = [this](const QString& message, const QString& informative, std::function<void()> closed) {
        if (!m_mainWindowController || !m_problems)
            return false;
        if (message.isEmpty())
            m_problems->withdraw(kSyncLeftOutProblem);
        else
            m_problems->put(kSyncLeftOutProblem, message, informative, std::move(closed));
        return true;
    };
    syncEnvironment.syncSettingsVisible = [this] {
        return isPreferencesPaneVisible(SettingsPages::indexOf(SyncPreferencesViewController::kIdentity.identifier));
    };
    m_syncDelegate = std::make_unique<QuillsteadSyncDelegate>(
        m_environment.notifications(), defaults, m_environment.alert(), std::move(syncEnvironment));
    if (m_environment.sync != nullptr) {
        qs::cloud::installSyncEngine(*m_environment.sync, m_syncDelegate.get());
        m_environment.sync->setAutoSyncFreq(defaults.value(SettingsKeys::AutoSyncFreq));
    }

    m_mainWindowController->showWindow();

    if (defaults.value(SettingsKeys::PrevAppVersion) != appVersion())
        defaults.set(SettingsKeys::PrevAppVersion, appVersion());

    m_environment.notifications().addObserver(
        this, PaneNotifications::qsLayoutManagerLayoutNameChangedNotification, [](Notification&) {});
    // New special offers are announced once the notification has been delivered; the offers are
    // fetched again, when their interval has passed, each time the reader becomes active.
    m_environment.notifications().addObserver(
        this, StoreNotifications::MyOffersManagerHasNewOffers, [this](Notification&) {
            QMetaObject::invokeMethod(
                this, [this] { myOffersManagerHasNewOffers(); }, Qt::QueuedConnection);
        });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive && m_environment.store != nullptr)
            m_environment.store->offers().refresh(false);
    });
    listenForAutostudyRequests(this, m_environment,
        [this]() -> QWidget* { return m_mainWindowController ? m_mainWindowController->window() : nullptr; });
    listenForOtherInstances();
    m_rendererEndedAlert = std::make_unique<RendererEndedAlert>(m_environment.notifications(), m_environment.alert(),
        [this](const QString& message, const QString& informative) {
            if (m_problems)
                m_problems->put(kRendererEndedProblem, message, informative);
        });
    // The automatic update check, when one is due; it also downloads what the update window asks for.
    m_updateChecker->conditionallyCheckForUpdates(false);
}

void QuillsteadAppController::initializeSharedCode()
{
    // The engine's data path, the reference tables, the find proximity, the library and the note
    // document: the lower layers' hooks are installed in one place.
    installProgramParts(AppFolders::privateDataDirectory(), m_environment);
    // What another program's lock kept from being read (at the start too) is read once it goes.
    m_userDataRetry =
        std::make_unique<UserDataRetry>(m_environment.notifications(), [] { return cBookUserData::install(); });
}

void QuillsteadAppController::applicationWillTerminate()
{
    if (m_mainWindowController)
        m_mainWindowController->exitIsImminent();
    // Every file handed to the write queue is on disk before the reader ends.
    FileWriteQueue::shared().finish();
    // The event loop does not run again: a save that failed just now, and what was not said yet, are
    // said before the reader ends.
    if (m_problems)
        m_problems->sayAtQuit();
    else
        SaveFailureAlerts::showPending();
}

// ---- Books that come with the application ----

void QuillsteadAppController::installBundledBooks(bool force, bool forceAll)
{
    UserDefaults& defaults = m_environment.settings();
    const QString source = bundledBooksFolder();
    if (source.isEmpty())
        return;
    const QString books = AppFolders::booksDirectory();
    QDir().mkpath(books);
    const QStringList names = QDir(source).entryList({QStringLiteral("*.tvk")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString destination = QDir(books).filePath(name);
        const SettingKey<bool> flag = SettingsKeys::InstalledBook(name);
        const bool present = QFileInfo::exists(destination) || defaults.value(flag);
        const bool always = name == QLatin1String("MXHelp.tvk") || name == QLatin1String("MXWelcome.tvk");
        const bool install = forceAll || (force && always) || !present;
        if (!install)
            continue;
        // The installed copy is replaced only by a complete one.
        QString error;
        if (!BookFileInstall::installCopy(QDir(source).filePath(name), destination, &error)) {
            qWarning().noquote() << "could not install" << name << error;
            continue;
        }
        if (const QString legacy = legacyNameFor(name); !legacy.isEmpty())
            QFile::remove(QDir(books).filePath(legacy));
        defaults.set(flag, true);
        m_environment.notifications().postNotificationName(
            LibraryNotifications::qsBookFileCopiedToBooksFolder, this, {{QStringLiteral("path"), destination}});
    }
}

// ---- Layouts ----

QString QuillsteadAppController::appLayoutArchiveFile()
{
    return QDir(AppFolders::privateDataDirectory()).filePath(AppFolders::kLayoutArchiveFileName);
}

void QuillsteadAppController::queueLayoutArchive(bool ifChanged, std::function<void(bool)> then)
{
    // The layouts are taken now; the worker encodes them and, in the file's order of writes, tells
    // whether the file holds them already.
    KeyedArchive::queueWriteFile(
        appLayoutArchiveFile(), m_environment.layoutManager().encode(), QStringLiteral("your screen layout"),
        [then = std::move(then)](const FileWriteQueue::Result& r) {
            if (!r.ok)
                qWarning().noquote() << "LayoutManager: cannot write the layout archive:" << r.error;
            if (then)
                then(r.ok);
        },
        ifChanged);
}

bool QuillsteadAppController::archiveLayouts()
{
    // A refused link keeps the layout of this run unsaved: the link and what it names stay as they were.
    if (!m_layoutLinkProblem.isEmpty())
        return false;
    bool written = false;
    queueLayoutArchive(false, [&written](bool ok) { written = ok; });
    FileWriteQueue::shared().finish();
    return written;
}

bool QuillsteadAppController::archiveLayoutsIfChanged()
{
    if (m_environment.layoutManager().count() == 0)
        return true;
    if (!m_layoutLinkProblem.isEmpty())
        return false;
    queueLayoutArchive(true, nullptr);
    return true;
}

Alert QuillsteadAppController::damagedLayoutAlert(const QString& keptAs)
{
    Alert alert;
    alert.style = AlertStyle::Warning;
    alert.messageText = QStringLiteral("Your screen layout could not be read, so Quillstead started with a new one.");
    alert.informativeText = keptAs.isEmpty()
        ? QStringLiteral("The damaged layout file could not be set aside.")
        : QStringLiteral("The damaged layout file was kept as \"%1\".").arg(keptAs);
    return alert;
}

void QuillsteadAppController::sayProblem(const Alert& alert)
{
    if (m_problems)
        m_problems->add(alert.messageText, alert.informativeText);
    else
        ProblemNotice::report(alert.messageText, alert.informativeText, m_environment.alert());
}

void QuillsteadAppController::refuseLayoutLink(const QString& problem)
{
    m_layoutLinkProblem = problem;
    Alert alert;
    alert.style = AlertStyle::Warning;
    alert.messageText = QStringLiteral("Quillstead cannot read or save your screen layout.");
    alert.informativeText = problem +
        QStringLiteral(" Quillstead started with a new layout, which is not saved this time.\n\n") +
        ProfileLink::advice();
    sayProblem(alert);
}

void QuillsteadAppController::restoreLayouts()
{
    LayoutManager& manager = m_environment.layoutManager();
    const QString archive = appLayoutArchiveFile();
    // A layout still being written (by a reader made before in this process) is read whole.
    FileWriteQueue::shared().finish();
    // The layout may be kept elsewhere through a link; one that leads nowhere now (a disk not
    // mounted) is left as it is and never saved over.
    if (const QString why = ProfileLink::brokenReason(archive); !why.isEmpty()) {
        refuseLayoutLink(ProfileLink::describe(archive, why));
    } else if (QFileInfo::exists(archive)) {
        if (manager.readArchive(archive) && manager.count() > 0)
            return;  // written again only once the screen changes
        if (QFileInfo(archive).isSymLink()) {
            refuseLayoutLink(ProfileLink::describe(archive, QStringLiteral("which cannot be read as a screen layout")));
        } else {
            // A damaged archive is kept aside, never lost, and the first screen is built again; the user
            // is told once the window is up, so a layout that vanished is never a mystery.
            const QString aside = archive + QStringLiteral(".damaged");
            QFile::remove(aside);
            const bool keptAside = QFile::rename(archive, aside);
            const Alert alert = damagedLayoutAlert(keptAside ? aside : QString());
            sayProblem(alert);
        }
    }
    newLayoutFromDescriptor(QStringLiteral("V12"));
    Layout* layout = manager.currentLayout();
    if (layout == nullptr)
        return;
    const SourceTupleArray::Ptr all = m_environment.books().allSources();
    // The welcome book, the help and the King James Version.
    const qint64 firstBooks[] = {23, 24, kFirstBible};
    for (int region = 0; region < 3; ++region) {
        if (static_cast<size_t>(region) >= layout->regions().size())
            break;
        const SourceTuple::Ptr book = all->tupleForPubID(1, firstBooks[region]);
        if (!book)
            continue;
        GoToRequest request;
        request.sourceTuple = book;
        request.section = 1;
        request.paneRegion = region;
        request.forcePane = true;
        // The first screen is where the history starts, not a move back to undo.
        request.noHistory = true;
        request.layoutUuid = layout->uuidString();
        // The Bible's pane is the current one, so that the welcome book's first steps (Go To, Find)
        // act on the Bible.
        request.activatePane = firstBooks[region] == kFirstBible;
        request.post(m_environment.notifications(), this);
    }
}

void QuillsteadAppController::newLayoutFromDescriptor(const QString& descriptor)
{
    LayoutManager& manager = m_environment.layoutManager();
    LayoutRect rect;
    if (m_mainWindowController)
        rect = m_mainWindowController->layoutAreaRect();
    Layout* layout = manager.addLayoutWithDescriptor(descriptor, rect, QString());
    if (layout == nullptr)
        return;
    if (LayoutRegion* study = layout->addRegionWithDimension(
            QuillsteadWindowController::defaultStudyPaneWidth(), 3, QStringLiteral("study"), true))
        study->setMinSize({6, study->minSize().height});
    if (m_mainWindowController)
        m_mainWindowController->selectLayoutAtIndex(manager.findLayoutIndex(layout));
}

void QuillsteadAppController::preemptiveSaveState()
{
    if (m_mainWindowController)
        m_mainWindowController->preemptiveSaveState();
}

// ---- Hand-over between starts ----

bool QuillsteadAppController::listenForOtherInstances()
{
    if (m_instanceServer != nullptr)
        return true;
    // Only the reader that holds the profile listens; every later start hands over to it.
    m_instanceServer = ReaderInstance::forThisProfile().listen(this, [this](const QString& path) {
        raiseMainWindow();
        if (!path.isEmpty())
            loadAndOpenBook(path);
    });
    return m_instanceServer != nullptr;
}

void QuillsteadAppController::raiseMainWindow()
{
    QWidget* window = m_mainWindowController ? m_mainWindowController->window() : nullptr;
    if (window == nullptr)
        return;
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

// ---- Presentation ----

void QuillsteadAppController::showToast(const QString& message)
{
    Toast::show(message,
        static_cast<int>(SettingsRegistry::clampedInteger(m_environment.settings(), SettingsKeys::BaseFontSize)));
    emit toastShown(message);
}

void QuillsteadAppController::showAlertOnMainThread(const QVariantMap& dictionary)
{
    if (!isMainThread()) {
        QMetaObject::invokeMethod(
            this, [this, dictionary] { showAlertOnMainThread(dictionary); }, Qt::QueuedConnection);
        return;
    }
    Alert alert;
    alert.style = static_cast<AlertStyle>(qBound(0, dictionary.value(QStringLiteral("alertStyle")).toInt(), 2));
    alert.messageText = dictionary.value(QStringLiteral("messageText")).toString();
    alert.informativeText = dictionary.value(QStringLiteral("informativeText")).toString();
    for (const char* key : {"firstButtonTitle", "secondButtonTitle"})
        if (dictionary.contains(QString::fromLatin1(key)))
            alert.buttons.append(dictionary.value(QString::fromLatin1(key)).toString());
    const int answer = m_environment.alert().runModal(alert);
    const QString prefix = answer == AlertSecondButtonReturn ? QStringLiteral("second")
        : answer == AlertFirstButtonReturn                   ? QStringLiteral("first")
                                                             : QString();
    if (prefix.isEmpty())
        return;
    const QString selector = dictionary.value(prefix + QStringLiteral("ButtonSelector")).toString();
    if (selector.isEmpty())
        return;
    const QByteArray method = selector.toLatin1().replace(":", "");
    const QString paramKey = prefix + QStringLiteral("ButtonParam");
    if (dictionary.contains(paramKey))
        QMetaObject::invokeMethod(this, method.constData(), Q_ARG(QString, dictionary.value(paramKey).toString()));
    else
        QMetaObject::invokeMethod(this, method.constData());
}

void QuillsteadAppController::showInFolder(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

void QuillsteadAppController::onSyncNow()
{
    const UserDefaults& defaults = m_environment.settings();
    if (!defaults.value(SettingsKeys::CredentialsValid)) {
        Alert alert;
        alert.messageText = QStringLiteral("You must be logged into your Tavrosen account to synchronize your "
                                           "user-created data with the Tavrosen Cloud.");
        m_environment.alert().runModal(alert);
        showPreferencesPane(SettingsPages::indexOf(LoginPreferencesViewController::kIdentity.identifier));
        return;
    }
    const qint64 customer = defaults.value(SettingsKeys::CustomerIDNum);
    const qint64 syncedTo = QuillsteadSyncDelegate::syncedToCustomerID();
    if (!qs::cloud::SyncCustomerIDResolutionWindowController::resolveBeforeSync(m_environment, customer, syncedTo,
            m_mainWindowController ? m_mainWindowController->window() : nullptr, [this](int) {
                showPreferencesPane(SettingsPages::indexOf(LoginPreferencesViewController::kIdentity.identifier));
            }))
        return;
    // Resolving may have removed the local user data: no search result kept from it may stand.
    if (syncedTo >= 1 && syncedTo != customer)
        userdatasearch::clearUserDataSearchCache();
    if (m_environment.sync != nullptr) {
        // Its outcome is said when the connection ends, also when it joins a sync already running.
        if (m_syncDelegate)
            m_syncDelegate->userAskedForSync();
        m_environment.sync->syncAll(true);
    }
}

void QuillsteadAppController::myOffersManagerHasNewOffers()
{
    UserDefaults& d = m_environment.settings();
    if (!d.value(SettingsKeys::MyOffersNotifications))
        return;
    Alert alert;
    alert.style = AlertStyle::Informational;
    alert.messageText = QStringLiteral("You have new special discount offers in the Quillstead Bookstore!");
    alert.informativeText = QStringLiteral("Choose 'My Special Offers' to see them now, or choose 'My Special Offers' "
                                           "from the Quillstead menu to view them at any time. ");
    alert.buttons = {
        QStringLiteral("My Special Offers"), QStringLiteral("Not Now"), QStringLiteral("Disable These Notifications")};
    switch (m_environment.alert().runModal(alert)) {
    case AlertFirstButtonReturn:
        d.set(SettingsKeys::MyOffersIgnored, 0);
        if (m_storeCommands)
            m_storeCommands->myOffers();
        break;
    case AlertSecondButtonReturn:
        d.set(SettingsKeys::MyOffersIgnored, d.integerForKey(SettingsKeys::MyOffersIgnored.name) + 1);
        break;
    case AlertThirdButtonReturn:
        d.set(SettingsKeys::MyOffersNotifications, false);
        break;
    default:
        break;
    }
}

std::shared_ptr<BookPaneHooks> QuillsteadAppController::makeBookPaneHooks(const WindowEnvironment& environment)
{
    return std::make_shared<ApplicationBookPaneHooks>(this, environment);
}

// ---- Commands ----

void QuillsteadAppController::setupActions(QuillsteadWindowController& window)
{
    using namespace CommandNames;
    const WindowEnvironment& environment = window.environment();
    m_paneCommands = std::make_unique<PaneCommands>(environment, window);
    m_layoutCommands = std::make_unique<LayoutCommands>(environment, *this, window);
    m_viewCommands = std::make_unique<ViewCommands>(environment, *this);
    m_helpCommands = std::make_unique<HelpCommands>(environment, window, *m_updateChecker);

    m_storeCommands = std::make_unique<StoreCommands>(
        environment, [&window] { return window.window(); },
        [this] { showPreferencesPane(SettingsPages::indexOf(LoginPreferencesViewController::kIdentity.identifier)); });

    ActionRegistry& actions = *environment.actions;
    actions.add(SyncNow,
        {.text = tr("Sync Now"),
            .toolbarLabel = tr("Cloud Sync"),
            .menu = ActionRegistry::in(Menus::File, 1, 2),
            .toolbarOrder = 200,
            .toolbarIcon = QStyle::SP_BrowserReload},
        this, &QuillsteadAppController::onSyncNow);
    // The platform's Preferences key is empty under X11 and Wayland: Ctrl+, is the common one there.
    actions.add(Settings,
        {.text = tr("Settings..."),
            .shortcut = QKeySequence(QStringLiteral("Ctrl+,")),
            .menu = ActionRegistry::in(Menus::File, 2, 0),
            .menuRole = QAction::PreferencesRole},
        this, &QuillsteadAppController::onPreferences);
}

MASPreferencesWindowController* QuillsteadAppController::preferencesWindowController()
{
    if (!m_preferences) {
        auto pageEnvironment = PreferencesViewController::Environment::fromWindow(m_environment);
        pageEnvironment.sync.syncNow = [this] { onSyncNow(); };
        m_preferences = std::make_unique<MASPreferencesWindowController>(
            pageEnvironment.window, SettingsPages::makeAll(pageEnvironment), tr("Settings"));
        if (m_mainWindowController)
            m_preferences->floatAbove(m_mainWindowController->window());
        m_environment.notifications().addObserver(
            this, AppNotifications::MASPreferencesWindowControllerWindowWillCloseNotification, [this](Notification&) {
                m_environment.notifications().removeObserver(
                    this, AppNotifications::MASPreferencesWindowControllerWindowWillCloseNotification);
                // Dropped once the close has finished; the next use builds a new window on the last pane.
                if (MASPreferencesWindowController* closing = m_preferences.release())
                    closing->deleteLater();
            });
    }
    return m_preferences.get();
}

bool QuillsteadAppController::isPreferencesPaneVisible(int index) const
{
    return m_preferences && m_preferences->isVisible() && m_preferences->indexOfSelectedController() == index;
}

void QuillsteadAppController::onPreferences()
{
    MASPreferencesWindowController* window = preferencesWindowController();
    window->show();
    window->raise();
    window->activateWindow();
}

void QuillsteadAppController::showPreferencesPane(int index)
{
    preferencesWindowController()->selectControllerAtIndex(index);
    onPreferences();
}
