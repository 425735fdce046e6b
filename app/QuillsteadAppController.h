// QuillsteadAppController: the application's controller. Its launch handler brings every part of the
// program up in a fixed order (defaults, folders and the engine's shared state, the library, the books
// that come with the application, the main window and its layouts), its termination handler saves the
// screen, and it performs most of the main menu's commands: it registers them in the main window's
// ActionRegistry (setupActions) and keeps their states; most post a named notification that a pane or
// the pane manager observes, toggle a setting and say so in a toast, or open a window.
//
// One object for the program (shared()); owns the main window controller. Main thread only.
#pragma once

#include "app/QuillsteadWindowHost.h"
#include "panes/environment/WindowEnvironment.h"
#include "platform/Alerts.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class ActionRegistry;
class AppUpdateChecker;
class CaretRest;
class DesktopWindows;
class HelpCommands;
class LayoutCommands;
class PaneCommands;
class QuillsteadWindowController;
class ViewCommands;
class QuillsteadSyncDelegate;
class MASPreferencesWindowController;
class QLocalServer;
class ProblemNotice;
class RefusedBooksNotice;
class RendererEndedAlert;
class SourceTuple;
class StoreCommands;
class UserDataRetry;

class QuillsteadAppController : public QObject, public QuillsteadWindowHost {
    Q_OBJECT
public:
    // What the launch may reset first (the three resets the user asks for when starting).
    struct LaunchResets {
        bool resetLayout = false;
        bool resetSettings = false;
        bool reinstallBundledBooks = false;
    };

    explicit QuillsteadAppController(const WindowEnvironment& environment, QObject* parent = nullptr);
    ~QuillsteadAppController() override;

    // Where the books that come with the application are read from (the build's or the installed
    // folder of compiled books).
    static void setBundledBooksFolder(const QString& folder);
    static QString bundledBooksFolder();
    // The build number compared with "prevAppVersion" at every launch.
    static qint64 appVersion();

    void applicationDidFinishLaunching(const LaunchResets& resets);
    void applicationWillTerminate() override;
    void initializeSharedCode();

    // Books that come with the application.
    void installBundledBooks(bool force, bool forceAll);

    // Layouts.
    static QString appLayoutArchiveFile();
    // Writes the layout archive and returns once it is on disk (or failed).
    bool archiveLayouts() override;
    // Writes the layout archive when the layouts differ from what was last written (a screen with
    // no layout is not written: the next start would find nothing to restore). Only the layouts are
    // taken now: the file-write queue's worker encodes, compares and writes them.
    bool archiveLayoutsIfChanged() override;
    void restoreLayouts() override;
    // What the user is told when the layout archive could not be read at start; `keptAs` is where the
    // damaged file was set aside (empty when it could not be).
    static Alert damagedLayoutAlert(const QString& keptAs);
    // Tells the user the archive's link is refused, and keeps this run's layout from being saved.
    void refuseLayoutLink(const QString& problem);
    void newLayoutFromDescriptor(const QString& descriptor) override;
    void preemptiveSaveState() override;

    // A book file handed over by another start of the program.
    // Installs a book file and opens it. A file of the books folder is opened where it is; another
    // is copied in, never over a different book of the same file name (it gets a free name) and
    // never over a newer copy of the same book (that one is opened). A missing file or one that is
    // no book is refused with an alert that names it and says why. A copy that replaces an installed
    // book is read through on a worker first: this returns at once, and the book is replaced and
    // opened (or the installed copy kept, with an alert) when the check answers.
    void loadAndOpenBook(const QString& fileName);
    // Listens for the later starts of the program on this profile (ReaderInstance); false when
    // another process holds the profile. A later start raises the main window and opens its book.
    bool listenForOtherInstances();
    // Shows the main window in front, restored from the dock or task bar, and active.
    void raiseMainWindow();

    // Presentation services.
    void showToast(const QString& message) override;
    // "alertStyle", "messageText", "informativeText", "firstButtonTitle", "secondButtonTitle",
    // "firstButtonSelector"/"secondButtonSelector" (names of this controller's slots) and their
    // "...Param"; safe to call from any thread (the alert runs on the main thread).
    void showAlertOnMainThread(const QVariantMap& alert);
    // Opens the folder that holds the file in the desktop's file manager.
    Q_INVOKABLE void showInFolder(const QString& path);

    QuillsteadWindowController* mainWindowController() const { return m_mainWindowController.get(); }
    // Stops the caret's blinking while the reader leaves the keys alone.
    CaretRest& caretRest() const { return *m_caretRest; }

    // Makes the objects that perform the window's application commands, and registers those this
    // controller performs (the sync and settings commands), in the window's registry.
    void setupActions(QuillsteadWindowController& window) override;
    std::shared_ptr<BookPaneHooks> makeBookPaneHooks(const WindowEnvironment& environment) override;

    // The store's commands (Open Book, Cloud Library, Bookstore, special offers); null before
    // setupActions.
    // "MyOffersManagerHasNewOffers": the offers alert, unless the user turned it off.
    void myOffersManagerHasNewOffers();
    // A full sync the user asked for: an account is needed, and data synced for another customer is
    // resolved first.
    void onSyncNow();
    // The settings window, made on first use and dropped again when it closes.
    void onPreferences();
    void showPreferencesPane(int index);
    MASPreferencesWindowController* preferencesWindowController();
    // True while the settings window is shown on the page of that index.
    bool isPreferencesPaneVisible(int index) const;

signals:
    // A toast was shown (tests read it).
    void toastShown(const QString& message);

private:
    // Where a book file from outside the books folder goes: `destination`, or nowhere when `keep`
    // (the installed copy of the same book, opened instead) is set, for the reason `kept` gives. A
    // copy that `replaces` an installed book must read through before it takes its place.
    struct Placement {
        enum class Kept { No, Newer, SameCopy, SameRevisionDiffers };
        QString destination;
        std::shared_ptr<SourceTuple> keep;
        Kept kept = Kept::No;
        std::shared_ptr<SourceTuple> replaces;
    };
    Placement placeBookFile(const SourceTuple& incoming, const QString& path);
    void openInstalledBook(const std::shared_ptr<SourceTuple>& book);
    // Announces the book file just put at `installed` and opens it.
    void openBookInstalledAt(const QString& installed);
    // The alert for a book file that cannot be opened: which file, and why.
    void showBookFileProblem(const QString& fileName, const QString& why);
    bool askYesNo(const QString& message, const QString& informative);
    // Says a problem with the user's files that asks nothing, with the others (ProblemNotice).
    void sayProblem(const Alert& alert);
    // Queues the layout archive's write (with `ifChanged`, none when the file holds the layouts
    // already); `then` gets whether the file holds the layouts.
    void queueLayoutArchive(bool ifChanged, std::function<void(bool)> then);

    WindowEnvironment m_environment;
    std::unique_ptr<QuillsteadWindowController> m_mainWindowController;
    QLocalServer* m_instanceServer = nullptr;
    // Books folder files a checked copy is on its way to replace (its check runs on a worker).
    QSet<QString> m_booksBeingReplaced;
    // Why the layout archive's place, a link, is neither read nor written this run; empty when it is.
    QString m_layoutLinkProblem;
    // Says once that the pages' renderer ended.
    std::unique_ptr<RendererEndedAlert> m_rendererEndedAlert;
    std::unique_ptr<UserDataRetry> m_userDataRetry;
    std::unique_ptr<RefusedBooksNotice> m_refusedBooksNotice;
    // Says the problems with the user's files (saves that failed, what the start refused) together.
    std::unique_ptr<ProblemNotice> m_problems;
    std::unique_ptr<DesktopWindows> m_desktopWindows;
    std::unique_ptr<MASPreferencesWindowController> m_preferences;
    std::unique_ptr<QuillsteadSyncDelegate> m_syncDelegate;
    std::unique_ptr<AppUpdateChecker> m_updateChecker;
    std::unique_ptr<CaretRest> m_caretRest;
    std::unique_ptr<PaneCommands> m_paneCommands;
    std::unique_ptr<LayoutCommands> m_layoutCommands;
    std::unique_ptr<ViewCommands> m_viewCommands;
    std::unique_ptr<HelpCommands> m_helpCommands;
    std::unique_ptr<StoreCommands> m_storeCommands;
};
