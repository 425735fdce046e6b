#include "app/QuillsteadAppController.h"

#include "app/AppUpdateChecker.h"
#include "app/AutostudyRequests.h"
#include "app/ProgramParts.h"
#include "app/QuillsteadSyncDelegate.h"
#include "app/QuillsteadWindowController.h"
#include "app/Toast.h"
#include "app/preferences/AppNotifications.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "app/preferences/PreferencesViewController.h"
#include "cloud/protocol/ScrambledText.h"
#include "cloud/protocol/ServiceHost.h"
#include "cloud/store/MyOffersManager.h"
#include "cloud/store/StoreCredentials.h"
#include "cloud/store/StoreNotifications.h"
#include "cloud/sync/SyncEntryPoints.h"
#include "cloud/sync/SyncManager.h"
#include "cloud/ui/SyncCustomerIDResolutionWindowController.h"
#include "library/BookFileInstall.h"
#include "library/GoToRequest.h"
#include "library/JavaScript.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegion.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layout/WindowEnvironment.h"
#include "panes/layoutview/LayoutViewController.h"
#include "platform/Alerts.h"
#include "platform/AppFolders.h"
#include "platform/AppVersion.h"
#include "platform/MainThread.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "search/execution/UserDataSearchCache.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QMetaObject>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextToSpeech>
#include <QThread>
#include <QUrl>

namespace {

QuillsteadAppController* g_controller = nullptr;

QString& bundledFolder()
{
    static QString folder;
    return folder;
}

UserDefaults& defaults()
{
    return UserDefaults::standardUserDefaults();
}

const QString kStrongs = QStringLiteral("strongsNumbers");
const QString kSyncBiblesComm = QStringLiteral("syncBiblesComm");
const QString kVersePopovers = QStringLiteral("versePopovers");
const QString kFootnoteStyle = QStringLiteral("footnoteStyle");

// The footnote item's mixed state (a bool property of the action) and the icon it had before.
constexpr char kMixedStateProperty[] = "mixedState";
constexpr char kPlainIconProperty[] = "plainIcon";

// The style's partly-checked box, as an icon.
QIcon mixedStateIcon()
{
    QStyle* style = QApplication::style();
    const int size = style->pixelMetric(QStyle::PM_IndicatorWidth);
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QStyleOptionButton option;
    option.rect = QRect(0, 0, size, size);
    option.state = QStyle::State_Enabled | QStyle::State_NoChange;
    option.palette = QApplication::palette();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter);
    painter.end();
    return QIcon(pixmap);
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

bool askYesNo(const QString& message, const QString& informative)
{
    Alert alert;
    alert.messageText = message;
    alert.informativeText = informative;
    alert.buttons = {QStringLiteral("No"), QStringLiteral("Yes")};
    alert.style = AlertStyle::Informational;
    return Alerts::shared().runModal(alert) == AlertSecondButtonReturn;
}

}  // namespace

QuillsteadAppController::QuillsteadAppController(QObject* parent)
    : QObject(parent), m_center(NotificationCenter::defaultCenter())
{
    g_controller = this;
}

QuillsteadAppController::~QuillsteadAppController()
{
    m_center.removeObserver(this);
    if (m_mainWindowController)
        installPaneHooks(nullptr);
    if (m_syncDelegate) {
        qs::cloud::installSyncEngine(nullptr);
        qs::cloud::SyncManager::instance().setDelegate(nullptr);
    }
    m_mainWindowController.reset();
    if (g_controller == this)
        g_controller = nullptr;
}

QuillsteadAppController* QuillsteadAppController::quillsteadAppController()
{
    return g_controller;
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

// ---- Launch and termination ----

void QuillsteadAppController::applicationDidFinishLaunching(const LaunchResets& resets)
{
    Q_ASSERT(isMainThread());
    bool reinstallAll = false;
    if (resets.resetLayout &&
        askYesNo(QStringLiteral("Are you sure you want to delete Quillstead's screen layout?"),
            QStringLiteral(
                "This will delete your screen layout, causing you to have to re-create any panes or tabs you "
                "previously created. This is useful when your layout has become corrupted, causing "
                "Quillstead not to show its window, or when you want to simply start over. "))) {
        QFile::remove(appLayoutArchiveFile());
        for (const char* key : {"mainWindowOriginX", "mainWindowOriginY", "mainWindowWidth", "mainWindowHeight"})
            defaults().removeObjectForKey(QString::fromLatin1(key));
    }
    if (resets.resetSettings &&
        askYesNo(QStringLiteral("Are you sure you want to delete saved settings?"),
            QStringLiteral("This will restore all program settings to their factory defaults and will log you out of "
                           "your Tavrosen Cloud account if you are currently logged in. It will NOT delete your "
                           "user-created data (notes, highlights, bookmarks, reading history, etc.). It will NOT "
                           "change your screen layout but will reset the saved Quillstead window location and size. "
                           "It will NOT delete any books. ")))
        defaults().removePersistentDomain();
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
    if (defaults().hasStoredValue(QStringLiteral("password"))) {
        const QVariant password = defaults().objectForKey(QStringLiteral("password"));
        if (password.typeId() == QMetaType::QString &&
            qs::cloud::unscrambleTextChecked(password.toString(), qs::cloud::ScramblePad::Default))
            defaults().setObject(password, QStringLiteral("optionsbitfield"));
        defaults().removeObjectForKey(QStringLiteral("password"));
    }

    SettingsRegistry::registerDefaultsForAllPreferences(defaults());
    qs::cloud::ServiceHost::registerDefault(defaults());
    QList<SpeechVoice> voices;
    {
        QTextToSpeech speech;
        for (const QVoice& voice : speech.availableVoices())
            voices.append({voice.name(), speech.locale().name()});
    }
    SettingsRegistry::registerSpeechSynthesisDefaults(defaults(), voices);

    initializeSharedCode();

    const bool newBuild = appVersion() != defaults().integerForKey(QStringLiteral("prevAppVersion"));
    if (newBuild)
        SourceManager::removeArchiveFiles();
    // Book files a crash left half written are never finished: they go before the library looks.
    for (const QString& partial : BookFileInstall::sweepPartialFiles(AppFolders::booksDirectory()))
        qInfo().noquote() << "removed an unfinished book file:" << partial;
    installBundledBooks(reinstallAll || newBuild, reinstallAll);

    m_mainWindowController = std::make_unique<QuillsteadWindowController>(this);
    installPaneHooks(this);

    // The sync engine reports to this application and serves the stores' sync requests.
    QuillsteadSyncDelegate::Environment syncEnvironment;
    syncEnvironment.toolbar = [this] { return m_mainWindowController ? m_mainWindowController->toolbar() : nullptr; };
    syncEnvironment.syncSettingsVisible = [this] {
        return isPreferencesPaneVisible(QuillsteadSyncDelegate::kSyncSettingsPane);
    };
    m_syncDelegate = std::make_unique<QuillsteadSyncDelegate>(m_center, defaults(), std::move(syncEnvironment));
    qs::cloud::installSyncEngine(m_syncDelegate.get());
    qs::cloud::SyncManager::instance().setAutoSyncFreq(defaults().integerForKey(QStringLiteral("autoSyncFreq")));

    m_mainWindowController->showWindow();

    if (defaults().integerForKey(QStringLiteral("prevAppVersion")) != appVersion())
        defaults().setInteger(appVersion(), QStringLiteral("prevAppVersion"));

    m_center.addObserver(this, PaneNotifications::qsLayoutManagerLayoutNameChangedNotification, [](Notification&) {});
    // New special offers are announced once the notification has been delivered; the offers are
    // fetched again, when their interval has passed, each time the reader becomes active.
    m_center.addObserver(this, StoreNotifications::MyOffersManagerHasNewOffers, [this](Notification&) {
        QMetaObject::invokeMethod(
            this, [this] { myOffersManagerHasNewOffers(); }, Qt::QueuedConnection);
    });
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            qs::cloud::MyOffersManager::shared().refresh(false);
    });
    listenForAutostudyRequests(this, m_center,
        [this]() -> QWidget* { return m_mainWindowController ? m_mainWindowController->window() : nullptr; });
    listenForOtherInstances();
    // The automatic update check, when one is due; it also downloads what the update window asks for.
    AppUpdateChecker::shared().conditionallyCheckForUpdates(false);
}

void QuillsteadAppController::initializeSharedCode()
{
    // The engine's data path, the reference tables, the find proximity, the library and the note
    // document: the lower layers' hooks are installed in one place.
    installProgramParts(AppFolders::privateDataDirectory());
    SourceManager::singleton();
}

void QuillsteadAppController::applicationWillTerminate()
{
    if (m_mainWindowController)
        m_mainWindowController->exitIsImminent();
}

// ---- Books that come with the application ----

void QuillsteadAppController::installBundledBooks(bool force, bool forceAll)
{
    const QString source = bundledBooksFolder();
    if (source.isEmpty())
        return;
    const QString books = AppFolders::booksDirectory();
    QDir().mkpath(books);
    const QStringList names = QDir(source).entryList({QStringLiteral("*.tvk")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString destination = QDir(books).filePath(name);
        const QString flag = SettingsRegistry::installedBookKey(name);
        const bool present = QFileInfo::exists(destination) || defaults().boolForKey(flag);
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
        defaults().setBool(true, flag);
        m_center.postNotificationName(
            LibraryNotifications::qsBookFileCopiedToBooksFolder, this, {{QStringLiteral("path"), destination}});
    }
}

// ---- Layouts ----

QString QuillsteadAppController::appLayoutArchiveFile()
{
    return QDir(AppFolders::privateDataDirectory()).filePath(AppFolders::kLayoutArchiveFileName);
}

bool QuillsteadAppController::archiveLayouts()
{
    return applicationEnvironment().layoutManager().writeArchive(appLayoutArchiveFile());
}

void QuillsteadAppController::restoreLayouts()
{
    LayoutManager& manager = applicationEnvironment().layoutManager();
    const QString archive = appLayoutArchiveFile();
    if (QFileInfo::exists(archive)) {
        if (manager.readArchive(archive) && manager.count() > 0)
            return;
        // A damaged archive is kept aside, never lost, and the first screen is built again.
        const QString aside = archive + QStringLiteral(".damaged");
        QFile::remove(aside);
        QFile::rename(archive, aside);
    }
    newLayoutFromDescriptor(QStringLiteral("V12"));
    Layout* layout = manager.currentLayout();
    if (layout == nullptr)
        return;
    const SourceTupleArray::Ptr all = SourceManager::singleton().allSources();
    const qint64 firstBooks[] = {23, 24, 101};
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
        request.post(m_center, this);
    }
}

void QuillsteadAppController::newLayoutFromDescriptor(const QString& descriptor)
{
    LayoutManager& manager = applicationEnvironment().layoutManager();
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

QString QuillsteadAppController::instanceSocketName()
{
    // Per user (and per session): a socket file in the user's own runtime folder.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(folder).filePath(AppFolders::bundleIdentifier() + QStringLiteral(".LoadAndOpenBook"));
}

bool QuillsteadAppController::listenForOtherInstances()
{
    if (m_instanceServer != nullptr)
        return true;
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(instanceSocketName())) {
        // A socket left behind by a reader that died is removed; a live one keeps its owner.
        QLocalSocket probe;
        probe.connectToServer(instanceSocketName());
        if (probe.waitForConnected(200)) {
            delete server;
            return false;
        }
        QLocalServer::removeServer(instanceSocketName());
        if (!server->listen(instanceSocketName())) {
            delete server;
            return false;
        }
    }
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // One line: the path of a book file, UTF-8. Anything longer than a path is dropped.
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > 8192)
                        socket->abort();
                    return;
                }
                const QString path = QString::fromUtf8(socket->readLine(8192)).trimmed();
                socket->write("ok\n");
                socket->flush();
                if (!path.isEmpty())
                    loadAndOpenBook(path);
            });
        }
    });
    m_instanceServer = server;
    return true;
}

bool QuillsteadAppController::handOverToRunningInstance(const QString& fileName)
{
    QLocalSocket socket;
    socket.connectToServer(instanceSocketName());
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(QFileInfo(fileName).absoluteFilePath().toUtf8() + '\n');
    socket.flush();
    return socket.waitForReadyRead(3000) && socket.readLine().startsWith("ok");
}

void QuillsteadAppController::loadAndOpenBook(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!BookFileInstall::isRegularFile(fileName))
        return;
    SourceManager& library = SourceManager::singleton();
    const QString books = AppFolders::booksDirectory();
    QString installed;
    if (BookFileInstall::isInsideFolder(fileName, books)) {
        // A file of the books folder is already installed: it is opened where it is (copying it
        // over itself would lose it). The library knows it under the books folder's own path.
        const QString canonicalBooks = QFileInfo(books).canonicalFilePath();
        installed = QDir(books).filePath(QDir(canonicalBooks).relativeFilePath(info.canonicalFilePath()));
    } else {
        // The copy replaces a book of the same name only once it is complete and opens as a book.
        installed = QDir(books).filePath(info.fileName());
        QString error;
        if (!BookFileInstall::installCopy(info.absoluteFilePath(), installed, &error)) {
            Alert alert;
            alert.messageText = QStringLiteral("The book file could not be copied into the books folder.");
            alert.informativeText = error;
            Alerts::shared().runModal(alert);
            return;
        }
        library.forgetSourceAtPath(installed);
    }
    m_center.postNotificationName(
        LibraryNotifications::qsBookFileCopiedToBooksFolder, nullptr, {{QStringLiteral("path"), installed}});
    const SourceTuple::Ptr book = library.allSources()->tupleForFile(installed);
    if (!book) {
        Alert alert;
        alert.messageText = QStringLiteral("Unable to open the book after it was installed.");
        alert.style = AlertStyle::Informational;
        Alerts::shared().runModal(alert);
        return;
    }
    m_center.postNotificationName(PaneNotifications::UserWantsToOpenThisBookNotification, this,
        {{QStringLiteral("pubid"), book->pubID()}, {QStringLiteral("bookid"), book->bookID()},
            {QStringLiteral("edition"), book->editionNumber()}, {QStringLiteral("revision"), book->revisionNumber()}});
}

// ---- Presentation ----

void QuillsteadAppController::showToast(const QString& message)
{
    Toast::show(message, static_cast<int>(defaults().integerForKey(QStringLiteral("baseFontSize"))));
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
    const int answer = Alerts::shared().runModal(alert);
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

// ---- Commands ----

QString QuillsteadAppController::currentLayoutUuid() const
{
    const Layout* layout = applicationEnvironment().layoutManager().currentLayout();
    return layout != nullptr ? layout->uuidString() : QString();
}

void QuillsteadAppController::postFromController(const QString& name, const QVariantMap& userInfo)
{
    m_center.postNotificationName(name, this, userInfo);
}

void QuillsteadAppController::onCloseBook()
{
    postFromController(PaneNotifications::UserWantsToCloseActiveBookNotification);
}

void QuillsteadAppController::onNewPane(int senderTag)
{
    postFromController(PaneNotifications::UserWantsToSplitActivePaneNotification,
        {{QStringLiteral("vertical"), senderTag == 1002 ? 1 : 0}});
}

void QuillsteadAppController::onClosePane()
{
    postFromController(PaneNotifications::UserWantsToCloseActivePaneNotification);
}

void QuillsteadAppController::onMaximizeBook()
{
    postFromController(PaneNotifications::UserWantsToMaximizeCurrentBookNotification);
}

void QuillsteadAppController::onMaximizePane()
{
    postFromController(PaneNotifications::UserWantsToMaximizeCurrentPaneNotification);
}

void QuillsteadAppController::onScrollPageUp()
{
    postFromController(PaneNotifications::UserWantsToScrollUpOnePage);
}

void QuillsteadAppController::onScrollLineUp()
{
    postFromController(PaneNotifications::UserWantsToScrollUpOneLine);
}

void QuillsteadAppController::onScrollLineDown()
{
    postFromController(PaneNotifications::UserWantsToScrollDownOneLine);
}

void QuillsteadAppController::onScrollPageDown()
{
    postFromController(PaneNotifications::UserWantsToScrollDownOnePage);
}

void QuillsteadAppController::onStartSpeaking()
{
    postFromController(
        PaneNotifications::UserWantsToStartSpeakingNotification, {{GoToKeys::layoutUuid, currentLayoutUuid()}});
}

void QuillsteadAppController::onStopSpeaking()
{
    postFromController(PaneNotifications::UserWantsToStopSpeakingNotification);
    if (const auto synthesizer = SpeechSynthesizer::shared(); synthesizer && synthesizer->isSpeaking()) {
        synthesizer->clearFinishedHandler();
        synthesizer->stop();
    }
}

void QuillsteadAppController::onAboutThisBook()
{
    postFromController(PaneNotifications::UserWantsToSeeCurrentBookProperties);
}

void QuillsteadAppController::onRenameLayout()
{
    Layout* layout = applicationEnvironment().layoutManager().currentLayout();
    if (layout == nullptr || !m_mainWindowController)
        return;
    const QString name =
        m_mainWindowController->runTextPrompt({{QStringLiteral("title"), QStringLiteral("Rename Current Layout")},
            {QStringLiteral("prompt"), QStringLiteral("Enter a new name for this layout.")},
            {QStringLiteral("default"), layout->name()},
            {QStringLiteral("detailPrompt"),
                QStringLiteral("Layout names don't have to be unique, but they should be. If you name your layout "
                               "\"Today\", it will be displayed when you select \"Today's Reading\".")}});
    if (name.isEmpty())
        return;
    layout->setName(name);
    m_center.postNotificationName(PaneNotifications::qsLayoutManagerLayoutNameChangedNotification, nullptr);
}

void QuillsteadAppController::onDeleteLayout()
{
    LayoutManager& manager = applicationEnvironment().layoutManager();
    Layout* layout = manager.currentLayout();
    if (manager.count() < 2 || layout == nullptr)
        return;
    Alert alert;
    alert.messageText = QStringLiteral("Are you sure you want to delete the layout '%1'?").arg(layout->name());
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    if (Alerts::shared().runModal(alert) == AlertFirstButtonReturn)
        manager.deleteLayoutAtIndex(manager.findLayoutIndex(layout));
}

void QuillsteadAppController::onNewLayout()
{
    if (m_mainWindowController) {
        const QString descriptor = m_mainWindowController->runNewLayoutSheet();
        if (!descriptor.isEmpty())
            newLayoutFromDescriptor(descriptor);
    }
}

void QuillsteadAppController::onSyncToActiveBible()
{
    if (!m_mainWindowController)
        return;
    const auto current = m_mainWindowController->currentBookAndSection();
    if (!current.book)
        return;
    const quint32 key = current.book->keyForSection(current.section);
    postFromController(LibraryNotifications::EverybodySyncToMeNotification,
        {{GoToKeys::layoutUuid, currentLayoutUuid()}, {GoToKeys::sourceTuple, QVariant::fromValue(current.book)},
            {QStringLiteral("bibleKey"), static_cast<quint32>(key)}, {GoToKeys::paneRegion, current.region},
            {QStringLiteral("syncAnyway"), true}});
}

void QuillsteadAppController::onGoToToday()
{
    if (m_mainWindowController) {
        m_mainWindowController->selectLayoutWithName(QStringLiteral("Today"));
        m_mainWindowController->makeGoToPaneCurrent();
    }
    GoToRequest request;
    request.todaysReading = true;
    request.activate = true;
    request.sync = true;
    request.layoutUuid = currentLayoutUuid();
    const qint64 pub = defaults().integerForKey(QStringLiteral("preferredDevotionalPubId"));
    const qint64 book = defaults().integerForKey(QStringLiteral("preferredDevotionalBookId"));
    if (defaults().hasStoredValue(QStringLiteral("preferredDevotionalPubId")) &&
        defaults().hasStoredValue(QStringLiteral("preferredDevotionalBookId")) && pub != 0 && book != 0)
        request.sourceTuple = SourceManager::singleton().devotionalSources()->tupleForPubID(pub, book);
    request.post(m_center, this);
}

void QuillsteadAppController::onHelp()
{
    const SourceTuple::Ptr help = SourceManager::singleton().allSources()->tupleForPubID(1, 24);
    if (!help)
        return;
    GoToRequest request;
    request.sourceTuple = help;
    request.activate = true;
    request.layoutUuid = currentLayoutUuid();
    request.post(m_center, this);
}

void QuillsteadAppController::toggle(
    const QString& key, const QString& offText, const QString& onText, bool postDisplayChange)
{
    const bool on = !defaults().boolForKey(key);
    defaults().setBool(on, key);
    if (postDisplayChange)
        postFromController(PaneNotifications::DisplayPreferencesChangedNotification);
    showToast(on ? onText : offText);
}

void QuillsteadAppController::onToggleSyncBiblesCommentaries()
{
    toggle(kSyncBiblesComm, QStringLiteral("Bible / commentary sync is now disabled"),
        QStringLiteral("Bible / commentary sync enabled."), false);
}

void QuillsteadAppController::onToggleStrongs()
{
    toggle(kStrongs, QStringLiteral("Word attributes are disabled in Bibles that have them."),
        QStringLiteral("Word attributes enabled."), true);
}

void QuillsteadAppController::onToggleLinkPreview()
{
    toggle(kVersePopovers, QStringLiteral("Link previews are now disabled."), QStringLiteral("Link previews enabled."),
        false);
}

void QuillsteadAppController::onCycleFootnoteMarkers()
{
    const QString now = defaults().stringForKey(kFootnoteStyle);
    const QString next = now == QLatin1String("Collapse") ? QStringLiteral("Expand")
        : now == QLatin1String("Expand")                  ? QStringLiteral("Hide")
                                                          : QStringLiteral("Collapse");
    defaults().setString(next, kFootnoteStyle);
    postFromController(PaneNotifications::DisplayPreferencesChangedNotification);
    showToast(QStringLiteral("Footnote markers now set to '%1'").arg(next));
}

void QuillsteadAppController::onOpenBook()
{
    SourceManager::singleton().validate();
    showOpenBookSheet();
}

QString QuillsteadAppController::aboutText()
{
    return QStringLiteral("<p align='center'><b>Quillstead</b></p>"
                          "<p align='center'>Version %1 (build %2)</p>"
                          "<p align='center'>A Bible-study reader.</p>"
                          "<p>&nbsp;</p><p align='center'><b><u>Credits and Acknowledgments</u></b></p>"
                          "<p align='center'>Built with Qt %3 and Qt WebEngine (Chromium), under the GNU LGPL "
                          "version 3.<br/>SQLite (public domain).<br/>libplist, under the GNU LGPL version 2.1.</p>"
                          "<p align='center'>The King James Version and Strong's Hebrew and Greek dictionaries "
                          "that come with the application are in the public domain.</p>"
                          "<p>&nbsp;</p><p align='center'><b><u>System Information</u></b></p>"
                          "<p align='center'>Tavrosen Device ID<br/>%4</p><p align='center'>Release Build</p>")
        .arg(AppVersion::version().toHtmlEscaped(), QString::number(AppVersion::buildNumber()),
            QString::fromLatin1(qVersion()).toHtmlEscaped(), JavaScript::stringWithUniqueDeviceID().toHtmlEscaped());
}

void QuillsteadAppController::onAboutQuillstead()
{
    QMessageBox::about(m_mainWindowController ? m_mainWindowController->window() : nullptr,
        QStringLiteral("About Quillstead"), aboutText());
}

void QuillsteadAppController::onSyncNow()
{
    if (!defaults().boolForKey(QStringLiteral("credentialsValid"))) {
        Alert alert;
        alert.messageText = QStringLiteral("You must be logged into your Tavrosen account to synchronize your "
                                           "user-created data with the Tavrosen Cloud.");
        Alerts::shared().runModal(alert);
        showPreferencesPane(qs::cloud::SyncCustomerIDResolutionWindowController::kCustomerIdPreferencesPane);
        return;
    }
    const qint64 customer = defaults().integerForKey(QStringLiteral("customerIDNum"));
    const qint64 syncedTo = QuillsteadSyncDelegate::syncedToCustomerID();
    if (!qs::cloud::SyncCustomerIDResolutionWindowController::resolveBeforeSync(applicationEnvironment(), customer,
            syncedTo, m_mainWindowController ? m_mainWindowController->window() : nullptr,
            [this](int pane) { showPreferencesPane(pane); }))
        return;
    // Resolving may have removed the local user data: no search result kept from it may stand.
    if (syncedTo >= 1 && syncedTo != customer)
        userdatasearch::clearUserDataSearchCache();
    qs::cloud::SyncManager::instance().syncAll(true);
}

void QuillsteadAppController::myOffersManagerHasNewOffers()
{
    UserDefaults& d = defaults();
    if (!d.boolForKey(QStringLiteral("myOffersNotifications")))
        return;
    Alert alert;
    alert.style = AlertStyle::Informational;
    alert.messageText = QStringLiteral("You have new special discount offers in the Quillstead Bookstore!");
    alert.informativeText = QStringLiteral("Choose 'My Special Offers' to see them now, or choose 'My Special Offers' "
                                           "from the Quillstead menu to view them at any time. ");
    alert.buttons = {
        QStringLiteral("My Special Offers"), QStringLiteral("Not Now"), QStringLiteral("Disable These Notifications")};
    switch (Alerts::shared().runModal(alert)) {
    case AlertFirstButtonReturn:
        d.setInteger(0, QStringLiteral("myOffersIgnored"));
        onMyOffers();
        break;
    case AlertSecondButtonReturn:
        d.setInteger(d.integerForKey(QStringLiteral("myOffersIgnored")) + 1, QStringLiteral("myOffersIgnored"));
        break;
    case AlertThirdButtonReturn:
        d.setBool(false, QStringLiteral("myOffersNotifications"));
        break;
    default:
        break;
    }
}

// ---- Commands and their states ----

void QuillsteadAppController::setupActions(ActionRegistry& actions)
{
    using namespace CommandNames;
    using Look = ActionRegistry::Look;
    m_actions = &actions;
    actions.add(OpenBook, Look {tr("Open Book..."), tr("Open Book"), QKeySequence::Open}, this,
        &QuillsteadAppController::onOpenBook);
    actions.add(CloseBook, Look {tr("Close Book"), tr("Close Book"), QKeySequence(QStringLiteral("Ctrl+W"))}, this,
        &QuillsteadAppController::onCloseBook);
    actions.add(
        AboutThisBook, Look {tr("About This Book"), tr("About Book")}, this, &QuillsteadAppController::onAboutThisBook);
    actions.add(CloudLibrary, Look {tr("Cloud Library...")}, this, &QuillsteadAppController::onLibrary);
    actions.add(MyOffers, Look {tr("My Special Offers...")}, this, &QuillsteadAppController::onMyOffers);
    actions.add(SyncNow, Look {tr("Sync Now"), tr("Cloud Sync")}, this, &QuillsteadAppController::onSyncNow);
    // The platform's Preferences key is empty under X11 and Wayland: Ctrl+, is the common one there.
    QAction* settings = actions.add(Settings, Look {tr("Settings..."), {}, QKeySequence(QStringLiteral("Ctrl+,"))},
        this, &QuillsteadAppController::onPreferences);
    settings->setMenuRole(QAction::PreferencesRole);

    actions.add(ToggleStrongs, Look {tr("Strong's Numbers and Word Attributes"), tr("Strong's"), {}, true}, this,
        &QuillsteadAppController::onToggleStrongs);
    actions.add(CycleFootnoteMarker, Look {tr("Cycle Footnote Markers"), tr("Footnotes"), {}, true}, this,
        &QuillsteadAppController::onCycleFootnoteMarkers);
    actions.add(ToggleLinkPreview, Look {tr("Link Previews"), tr("Previews"), {}, true}, this,
        &QuillsteadAppController::onToggleLinkPreview);
    actions.add(DisplaySettings, Look {tr("Display Settings...")}, this, [this] { showPreferencesPane(1); });
    actions.add(ColorSettings, Look {tr("Colors...")}, this, [this] { showPreferencesPane(2); });

    actions.add(NewPane, Look {tr("New Pane")}, this, [this] { onNewPane(NewPane.tag); });
    actions.add(SplitPaneHorizontally, Look {tr("Split Pane Horizontally")}, this,
        [this] { onNewPane(SplitPaneHorizontally.tag); });
    actions.add(
        SplitPaneVertically, Look {tr("Split Pane Vertically")}, this, [this] { onNewPane(SplitPaneVertically.tag); });
    actions.add(ClosePane, Look {tr("Close Pane")}, this, &QuillsteadAppController::onClosePane);
    actions.add(MaximizePane, Look {tr("Maximize Pane")}, this, &QuillsteadAppController::onMaximizePane);
    actions.add(MaximizeBook, Look {tr("Maximize Book")}, this, &QuillsteadAppController::onMaximizeBook);
    actions.add(ScrollLineUp, Look {tr("Scroll Up One Line"), {}, QKeySequence(QStringLiteral("Alt+Up"))}, this,
        &QuillsteadAppController::onScrollLineUp);
    actions.add(ScrollLineDown, Look {tr("Scroll Down One Line"), {}, QKeySequence(QStringLiteral("Alt+Down"))}, this,
        &QuillsteadAppController::onScrollLineDown);
    actions.add(ScrollPageUp, Look {tr("Scroll Up One Page"), {}, QKeySequence(QStringLiteral("Alt+PgUp"))}, this,
        &QuillsteadAppController::onScrollPageUp);
    actions.add(ScrollPageDown, Look {tr("Scroll Down One Page"), {}, QKeySequence(QStringLiteral("Alt+PgDown"))}, this,
        &QuillsteadAppController::onScrollPageDown);
    actions.add(ToggleBibleSync, Look {tr("Bible / Commentary Sync"), tr("Bible Sync"), {}, true}, this,
        &QuillsteadAppController::onToggleSyncBiblesCommentaries);
    actions.add(SyncToActiveBible, Look {tr("Sync to Active Bible"), tr("Sync to Bible")}, this,
        &QuillsteadAppController::onSyncToActiveBible);
    actions.add(NewLayout, Look {tr("New Layout...")}, this, &QuillsteadAppController::onNewLayout);
    actions.add(RenameLayout, Look {tr("Rename Layout...")}, this, &QuillsteadAppController::onRenameLayout);
    actions.add(DeleteLayout, Look {tr("Delete Layout")}, this, &QuillsteadAppController::onDeleteLayout);

    actions.add(TodaysReading, Look {tr("Today's Reading"), tr("Today"), QKeySequence(QStringLiteral("Ctrl+T"))}, this,
        &QuillsteadAppController::onGoToToday);
    actions.add(
        StartSpeaking, Look {tr("Start Speaking"), tr("Speak")}, this, &QuillsteadAppController::onStartSpeaking);
    actions.add(StopSpeaking, Look {tr("Stop Speaking"), tr("Stop")}, this, &QuillsteadAppController::onStopSpeaking);

    actions.add(QuillsteadHelp, Look {tr("Quillstead Help"), tr("Help"), QKeySequence::HelpContents}, this,
        &QuillsteadAppController::onHelp);
    actions.add(CheckForUpdates, Look {tr("Check for Updates...")}, this,
        [] { AppUpdateChecker::shared().onCheckForUpdates(); });
    actions.add(AboutQuillstead, Look {tr("About Quillstead")}, this, &QuillsteadAppController::onAboutQuillstead)
        ->setMenuRole(QAction::AboutRole);

    connect(&actions, &ActionRegistry::statesNeeded, this, &QuillsteadAppController::updateActionStates);
}

void QuillsteadAppController::updateActionStates()
{
    using namespace CommandNames;
    ActionRegistry& actions = *m_actions;
    QuillsteadWindowController* window = m_mainWindowController.get();
    const LayoutViewController* panes = window ? window->layoutViewController() : nullptr;

    // The commands that act on the active book need one.
    const bool haveBook = panes && panes->activeSourceTuple() != nullptr;
    for (const CommandId* id :
        {&AboutThisBook, &ScrollLineUp, &ScrollLineDown, &ScrollPageUp, &ScrollPageDown, &StartSpeaking})
        actions.action(*id)->setEnabled(haveBook);
    const bool signedIn = qs::cloud::StoreCredentials::signedIn(defaults());
    actions.action(MyOffers)->setVisible(signedIn);
    actions.action(MyOffers)->setEnabled(signedIn && qs::cloud::MyOffersManager::shared().hasOffers());
    actions.action(DeleteLayout)->setEnabled(applicationEnvironment().layoutManager().count() >= 2);
    actions.action(SplitPaneHorizontally)->setEnabled(panes && panes->canCurrentPaneSplitHorizontally());
    actions.action(SplitPaneVertically)->setEnabled(panes && panes->canCurrentPaneSplitVertically());
    const auto synthesizer = SpeechSynthesizer::shared();
    actions.action(StopSpeaking)->setEnabled(synthesizer && synthesizer->isSpeaking());

    actions.action(ToggleStrongs)->setChecked(defaults().boolForKey(kStrongs));
    // Three states: "Hide" unchecked, "Expand" checked, anything else (collapsed markers) mixed. A
    // menu item draws no mixed check box of its own: the mixed state is an unchecked item showing the
    // style's partly-checked box as its icon (the item's text names the state as well).
    const QString footnotes = defaults().stringForKey(kFootnoteStyle);
    const bool hidden = footnotes == QLatin1String("Hide");
    const bool expanded = footnotes == QLatin1String("Expand");
    QAction* footnoteItem = actions.action(CycleFootnoteMarker);
    footnoteItem->setChecked(expanded);
    const bool mixed = !hidden && !expanded;
    footnoteItem->setProperty(kMixedStateProperty, mixed);
    footnoteItem->setIconVisibleInMenu(mixed);
    if (mixed) {
        if (!footnoteItem->property(kPlainIconProperty).isValid())
            footnoteItem->setProperty(kPlainIconProperty, footnoteItem->icon());
        footnoteItem->setIcon(mixedStateIcon());
    } else if (const QVariant plain = footnoteItem->property(kPlainIconProperty); plain.isValid()) {
        footnoteItem->setIcon(plain.value<QIcon>());
    }
    footnoteItem->setText(tr("Footnote Markers: %1").arg(mixed ? QStringLiteral("Collapse") : footnotes));
    const bool biblesComm = defaults().boolForKey(kSyncBiblesComm);
    actions.action(ToggleBibleSync)->setChecked(biblesComm);
    actions.action(ToggleLinkPreview)->setChecked(defaults().boolForKey(kVersePopovers));
    // Sync to Active Bible: only with Bible / commentary sync off, and shown only for a Bible.
    QAction* syncToBible = actions.action(SyncToActiveBible);
    syncToBible->setEnabled(!biblesComm);
    bool showSync = !biblesComm;
    if (showSync && window) {
        const auto current = window->currentBookAndSection();
        showSync = current.book && current.book->isABible();
    }
    syncToBible->setVisible(showSync);
}

MASPreferencesWindowController* QuillsteadAppController::preferencesWindowController()
{
    if (!m_preferences) {
        auto pageEnvironment = PreferencesViewController::Environment::fromWindow(applicationEnvironment());
        pageEnvironment.sync.syncNow = [this] { onSyncNow(); };
        QVector<PreferencesViewController*> panes;
        for (unsigned i = 0; i < unsigned(PreferencesViewController::kPaneCount); ++i)
            panes.append(PreferencesViewController::factoryForPane(pageEnvironment, i));
        m_preferences = std::make_unique<MASPreferencesWindowController>(pageEnvironment.window, panes, tr("Settings"));
        m_center.addObserver(
            this, AppNotifications::MASPreferencesWindowControllerWindowWillCloseNotification, [this](Notification&) {
                m_center.removeObserver(
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
