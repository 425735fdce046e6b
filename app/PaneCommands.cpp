#include "app/PaneCommands.h"

#include "app/QuillsteadWindowController.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutViewController.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"

namespace {

}  // namespace

PaneCommands::PaneCommands(const WindowEnvironment& environment, QuillsteadWindowController& window)
    : m_environment(environment), m_window(window)
{
    using namespace CommandNames;
    namespace P = PaneNotifications;
    ActionRegistry& actions = *m_environment.actions;
    const auto poster = [this](const QString& name) { return [this, name] { post(name); }; };
    const auto needsBook = [this] { return haveBook(); };

    actions.add(CloseBook,
        {.text = tr("Close Book"),
            .toolbarLabel = tr("Close Book"),
            .shortcut = QKeySequence(QStringLiteral("Ctrl+W")),
            .menu = ActionRegistry::in(Menus::File, 0, 1),
            .toolbarOrder = 20},
        this, poster(P::UserWantsToCloseActiveBookNotification));
    actions.add(AboutThisBook,
        {.text = tr("About This Book"),
            .toolbarLabel = tr("About Book"),
            .menu = ActionRegistry::in(Menus::File, 0, 2),
            .toolbarOrder = 30,
            .enabled = needsBook},
        this, poster(P::UserWantsToSeeCurrentBookProperties));

    actions.add(NewPane, {.text = tr("New Pane"), .toolbarOrder = 40}, this, [this] { newPane(NewPane.tag); });
    actions.add(SplitPaneHorizontally,
        {.text = tr("Split Pane Horizontally"),
            .menu = ActionRegistry::in(Menus::Panes, 0, 0),
            .enabled = [this] { return panes() && panes()->canCurrentPaneSplitHorizontally(); }},
        this, [this] { newPane(SplitPaneHorizontally.tag); });
    actions.add(SplitPaneVertically,
        {.text = tr("Split Pane Vertically"),
            .menu = ActionRegistry::in(Menus::Panes, 0, 1),
            .enabled = [this] { return panes() && panes()->canCurrentPaneSplitVertically(); }},
        this, [this] { newPane(SplitPaneVertically.tag); });
    actions.add(ClosePane,
        {.text = tr("Close Pane"), .menu = ActionRegistry::in(Menus::Panes, 0, 2), .toolbarOrder = 50}, this,
        poster(P::UserWantsToCloseActivePaneNotification));
    actions.add(
        MaximizePane, {.text = tr("Maximize Pane")}, this, poster(P::UserWantsToMaximizeCurrentPaneNotification));
    actions.add(
        MaximizeBook, {.text = tr("Maximize Book")}, this, poster(P::UserWantsToMaximizeCurrentBookNotification));

    const struct {
        const CommandId& id;
        const char* text;
        const char* keys;
        const QString& request;
    } scrolls[] = {{ScrollLineUp, QT_TR_NOOP("Scroll Up One Line"), "Alt+Up", P::UserWantsToScrollUpOneLine},
        {ScrollLineDown, QT_TR_NOOP("Scroll Down One Line"), "Alt+Down", P::UserWantsToScrollDownOneLine},
        {ScrollPageUp, QT_TR_NOOP("Scroll Up One Page"), "Alt+PgUp", P::UserWantsToScrollUpOnePage},
        {ScrollPageDown, QT_TR_NOOP("Scroll Down One Page"), "Alt+PgDown", P::UserWantsToScrollDownOnePage}};
    int order = 0;
    for (const auto& scroll : scrolls)
        actions.add(scroll.id,
            {.text = tr(scroll.text),
                .shortcut = QKeySequence(QString::fromLatin1(scroll.keys)),
                .menu = ActionRegistry::in(Menus::Panes, 2, order++),
                .enabled = needsBook},
            this, poster(scroll.request));

    actions.add(SyncToActiveBible,
        {.text = tr("Sync to Active Bible"),
            .toolbarLabel = tr("Sync to Bible"),
            .menu = ActionRegistry::in(Menus::Panes, 3, 1),
            .toolbarOrder = 70,
            .enabled = [this] { return !m_environment.settings().value(SettingsKeys::SyncBiblesComm); },
            .visible = [this] { return showsSyncToActiveBible(); }},
        this, &PaneCommands::syncToActiveBible);

    actions.add(TodaysReading,
        {.text = tr("Today's Reading"),
            .toolbarLabel = tr("Today"),
            .shortcut = QKeySequence(QStringLiteral("Ctrl+T")),
            .menu = ActionRegistry::in(Menus::Go, 1, 1),
            .toolbarOrder = 140,
            .toolbarIcon = QStyle::SP_FileDialogNewFolder},
        this, &PaneCommands::goToToday);

    actions.add(StartSpeaking,
        {.text = tr("Start Speaking"),
            .toolbarLabel = tr("Speak"),
            .menu = ActionRegistry::in(Menus::Study, 2, 0),
            .toolbarOrder = 270,
            .enabled = needsBook},
        this, [this] {
            post(
                PaneNotifications::UserWantsToStartSpeakingNotification, {{GoToKeys::layoutUuid, currentLayoutUuid()}});
        });
    actions.add(StopSpeaking,
        {.text = tr("Stop Speaking"),
            .toolbarLabel = tr("Stop"),
            .menu = ActionRegistry::in(Menus::Study, 2, 1),
            .toolbarOrder = 280,
            .enabled =
                [this] {
                    const auto synthesizer = m_environment.speech ? m_environment.speech->current() : nullptr;
                    return synthesizer && synthesizer->isSpeaking();
                }},
        this, &PaneCommands::stopSpeaking);
}

const LayoutViewController* PaneCommands::panes() const
{
    return m_window.layoutViewController();
}

bool PaneCommands::haveBook() const
{
    return panes() != nullptr && panes()->activeSourceTuple() != nullptr;
}

bool PaneCommands::showsSyncToActiveBible() const
{
    // Only with Bible / commentary sync off, and only for a Bible.
    if (m_environment.settings().value(SettingsKeys::SyncBiblesComm))
        return false;
    const auto current = m_window.currentBookAndSection();
    return current.book && current.book->isABible();
}

QString PaneCommands::currentLayoutUuid() const
{
    const Layout* layout = m_environment.layoutManager().currentLayout();
    return layout != nullptr ? layout->uuidString() : QString();
}

void PaneCommands::post(const QString& name, const QVariantMap& userInfo)
{
    m_environment.notifications().postNotificationName(name, this, userInfo);
}

void PaneCommands::newPane(int senderTag)
{
    post(PaneNotifications::UserWantsToSplitActivePaneNotification,
        {{QStringLiteral("vertical"), senderTag == CommandNames::SplitPaneVertically.tag ? 1 : 0}});
}

void PaneCommands::stopSpeaking()
{
    post(PaneNotifications::UserWantsToStopSpeakingNotification);
    if (const auto synthesizer = m_environment.speech ? m_environment.speech->current() : nullptr;
        synthesizer && synthesizer->isSpeaking()) {
        synthesizer->clearFinishedHandler();
        synthesizer->stop();
    }
}

void PaneCommands::syncToActiveBible()
{
    const auto current = m_window.currentBookAndSection();
    if (!current.book)
        return;
    const quint32 key = current.book->locations().keyForSection(current.section);
    GoToRequest request;
    request.layoutUuid = currentLayoutUuid();
    request.sourceTuple = current.book;
    request.bibleKey = key;
    if (current.region >= 0)
        request.paneRegion = current.region;
    request.syncAnyway = true;
    request.postLocationSync(m_environment.notifications(), this);
}

void PaneCommands::goToToday()
{
    m_window.selectLayoutWithName(QStringLiteral("Today"));
    m_window.makeGoToPaneCurrent();
    GoToRequest request;
    request.todaysReading = true;
    request.activate = true;
    request.sync = true;
    request.layoutUuid = currentLayoutUuid();
    const UserDefaults& defaults = m_environment.settings();
    const qint64 pub = defaults.value(SettingsKeys::PreferredDevotionalPubId);
    const qint64 book = defaults.value(SettingsKeys::PreferredDevotionalBookId);
    if (defaults.hasStoredValue(SettingsKeys::PreferredDevotionalPubId) &&
        defaults.hasStoredValue(SettingsKeys::PreferredDevotionalBookId) && pub != 0 && book != 0)
        request.sourceTuple = m_environment.books().devotionalSources()->tupleForPubID(pub, book);
    request.post(m_environment.notifications(), this);
    // The reading is what the reader asked to see: its page takes the keys (the Go To sub-pane shows
    // beside it without them).
    if (LayoutViewController* panes = m_window.layoutViewController())
        panes->giveKeysToCurrentPane();
}
