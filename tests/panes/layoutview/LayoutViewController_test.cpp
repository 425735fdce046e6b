#include "LayoutViewTestSupport.h"

#include "library/GoToRequest.h"
#include "library/GoToRouter.h"
#include "library/LibraryNotifications.h"
#include "library/NavigationHistory.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LocationSyncOptionsWindowController.h"
#include "panes/page/LinkPreview.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "support/SampleLibrary.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QGroupBox>

#include <stdexcept>

namespace {

// A control of the location-sync options window, found by its name (a missing one fails the test).
template <class Control = QCheckBox> Control* optionsBox(QWidget& window, const char* name)
{
    auto* control = window.findChild<Control*>(QLatin1String(name));
    if (control == nullptr)
        throw std::runtime_error(std::string("the options window has no ") + name);
    return control;
}

class LayoutViewControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureTestApplication(); }

    virtual QStringList bookFiles() const
    {
        return {QStringLiteral("KJV.tvk"), QStringLiteral("Scofield.tvk"), QStringLiteral("Nave.tvk")};
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        if (!TestSupport::sampleBooksBuilt(bookFiles()))
            GTEST_SKIP() << "the sample library is not built";
        m_library = TestSupport::openSampleLibrary(m_temp.path(), bookFiles());
        ASSERT_TRUE(m_library) << "the sample books could not be linked";
        BookPaneDouble::library = m_library.get();
        m_defaults = std::make_unique<UserDefaults>(m_temp.filePath(QStringLiteral("defaults.ini")));
        SettingsRegistry::registerDefaultsForAllPreferences(*m_defaults);
        m_alerts = std::make_shared<RecordingAlerts>();
        m_window.setNotifications(&m_center);
        m_window.setSettings(m_defaults.get());
        m_window.setAlert(m_alerts.get());
        m_window.setLayoutManager(&m_manager);
        m_window.setBooks(m_library.get());
        m_controller = std::make_unique<LayoutViewController>(m_window, m_temp.filePath(QStringLiteral("cache")));
        m_controller->setPaneFactory(&m_factory);
        m_controller->setSaveStateHandler([this] { ++m_saves; });
        m_controller->view()->resize(1200, 800);
        m_controller->view()->show();
    }

    void TearDown() override
    {
        m_controller.reset();
        BookPaneDouble::library = nullptr;
    }

    SourceTuple::Ptr bookFile(const QString& name) const
    {
        auto b = m_library->allSources()->tupleForFileName(name);
        EXPECT_NE(b, nullptr) << name.toStdString();
        return b;
    }
    SourceTuple::Ptr kjv() const { return bookFile(QStringLiteral("KJV.tvk")); }

    Layout* layout() const { return m_manager.currentLayout(); }
    BookPaneDouble* pane(size_t region) const
    {
        return dynamic_cast<BookPaneDouble*>(layout()->contentsAt(region)->viewController());
    }

    // A layout of `descriptor` with the study pane, shown.
    Layout* showLayout(const QString& descriptor)
    {
        Layout* l = m_controller->newLayoutFromDescriptor(descriptor);
        EXPECT_EQ(l, layout());
        return l;
    }

    void goTo(int region, const SourceTuple::Ptr& b, quint64 section)
    {
        GoToRequest r;
        r.layoutUuid = layout()->uuidString();
        r.sourceTuple = b;
        r.section = section;
        r.paneRegion = region;
        r.forcePane = true;
        r.post(m_center, nullptr);
    }

    // Every region has a pane controller whose widget sits in the view, and nothing else does.
    void expectModelAndWidgetsInStep()
    {
        LayoutView* view = m_controller->view();
        int children = 0;
        for (QObject* child : view->children()) {
            if (auto* w = qobject_cast<QWidget*>(child); w && w->objectName() != QStringLiteral("busyIndicator"))
                ++children;
        }
        EXPECT_EQ(children, int(layout()->regions().size()));
        for (size_t i = 0; i < layout()->regions().size(); ++i) {
            ASSERT_NE(paneWidget(*layout(), i), nullptr);
            EXPECT_EQ(paneWidget(*layout(), i)->parentWidget(), view);
        }
    }

    QTemporaryDir m_temp;
    NotificationCenter m_center;
    LayoutManager m_manager {m_center};
    std::unique_ptr<SourceManager> m_library;
    std::unique_ptr<UserDefaults> m_defaults;
    std::shared_ptr<RecordingAlerts> m_alerts;
    WindowEnvironment m_window;
    PaneFactoryDouble m_factory;
    std::unique_ptr<LayoutViewController> m_controller;
    int m_saves = 0;
};

TEST_F(LayoutViewControllerTest, LinkPreviewsAskThisControllersRouter)
{
    showLayout(QStringLiteral("V1"));
    const LinkPreview preview(
        [this](GoToRequest& request) { m_controller->router().callerNeedsSourceForGoToInfo(request); });
    const QString text = preview.stringForPopupFromHref(QStringLiteral("javascript:href('bible:John 3:16');"));
    EXPECT_TRUE(text.contains(QLatin1String("For God so loved the world"))) << text.toStdString();
    EXPECT_TRUE(m_alerts->shown().isEmpty());  // a preview never alerts
    const QString missing = preview.stringForPopupFromHref(QStringLiteral("bible:Hezekiah 99:99"));
    EXPECT_TRUE(missing.startsWith(QLatin1String("Verse not found"))) << missing.toStdString();  // not an alert
    EXPECT_TRUE(m_alerts->shown().isEmpty());
}

TEST_F(LayoutViewControllerTest, SplittingAndClosingKeepModelWidgetsAndArchiveInStep)
{
    showLayout(QStringLiteral("V1"));
    ASSERT_EQ(layout()->regions().size(), 2u);  // book pane and study pane
    expectModelAndWidgetsInStep();
    layout()->setCurrentRegion(layout()->regionAt(0));
    EXPECT_TRUE(m_controller->canCurrentPaneSplitHorizontally());
    EXPECT_TRUE(m_controller->canCurrentPaneSplitVertically());

    m_center.postNotificationName(PaneNotifications::UserWantsToSplitActivePaneNotification, nullptr,
        QVariantMap {{QStringLiteral("vertical"), 1}});
    ASSERT_EQ(layout()->regions().size(), 3u);
    EXPECT_EQ(layout()->currentRegionIndex(), 2u);  // the new pane is current
    EXPECT_TRUE(pane(2)->isCurrent());
    EXPECT_FALSE(pane(0)->isCurrent());
    EXPECT_EQ(layout()->regionAt(0)->bounds().top(), layout()->regionAt(2)->bounds().top());  // side by side
    expectModelAndWidgetsInStep();

    m_center.postNotificationName(PaneNotifications::UserWantsToSplitActivePaneNotification);  // horizontal
    ASSERT_EQ(layout()->regions().size(), 4u);
    expectModelAndWidgetsInStep();
    EXPECT_EQ(layout()->countRegionsWithKind(QString()), 3u);

    // The archive holds the same regions; read back, the layout shows the same panes.
    goTo(0, kjv(), 5);
    const QVariant archived = layout()->encode();
    auto copy = Layout::decode(archived);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->regions().size(), 4u);
    EXPECT_EQ(copy->contentsAt(0)->items().size(), layout()->contentsAt(0)->items().size());

    // Closing the current pane gives its space back.
    const size_t before = layout()->regions().size();
    m_center.postNotificationName(PaneNotifications::UserWantsToCloseActivePaneNotification);
    EXPECT_EQ(layout()->regions().size(), before - 1);
    expectModelAndWidgetsInStep();
    EXPECT_EQ(layout()->bounds(), (LayoutRect {0, 0, 1200, 800}));
    EXPECT_EQ(Layout::decode(layout()->encode())->regions().size(), before - 1);

    // History recorded the states around each change.
    auto stack = m_controller->history().stackForLayout(layout()->uuidString());
    ASSERT_TRUE(stack.has_value());
    EXPECT_GE(stack->entries.size(), 3);
}

TEST_F(LayoutViewControllerTest, DeletingTheShownLayoutShowsTheNextOne)
{
    Layout* first = showLayout(QStringLiteral("V11"));
    Layout* second = showLayout(QStringLiteral("V1"));
    EXPECT_EQ(m_controller->view()->shownLayout(), second);
    m_manager.deleteLayoutAtIndex(m_manager.findLayoutIndex(second));
    ASSERT_NE(layout(), nullptr);
    EXPECT_EQ(m_controller->view()->shownLayout(), layout());
    expectModelAndWidgetsInStep();
    // Read back from an archive, the current layout is shown with new panes.
    const QVariant archived = m_manager.encode();
    const QString uuid = first->uuidString();
    ASSERT_TRUE(m_manager.decode(archived));
    EXPECT_EQ(m_controller->view()->shownLayout(), layout());
    expectModelAndWidgetsInStep();
    EXPECT_NE(m_manager.layoutWithUuid(uuid), nullptr);
}

TEST_F(LayoutViewControllerTest, TheLastBookPaneCannotBeClosed)
{
    showLayout(QStringLiteral("V1"));
    layout()->setCurrentRegion(layout()->regionAt(0));
    m_center.postNotificationName(PaneNotifications::UserWantsToCloseActivePaneNotification);
    ASSERT_EQ(m_alerts->shown().size(), 1);
    EXPECT_EQ(m_alerts->shown()[0].messageText, QStringLiteral("You can't close the last book pane."));
    EXPECT_EQ(m_alerts->shown()[0].informativeText, QStringLiteral("Sorry."));
    EXPECT_EQ(layout()->regions().size(), 2u);
    // Nor through the study pane while only one book pane is left.
    layout()->setCurrentRegion(layout()->regionAt(1));
    m_center.postNotificationName(PaneNotifications::UserWantsToCloseActivePaneNotification);
    EXPECT_EQ(layout()->regions().size(), 2u);
    EXPECT_EQ(m_alerts->shown().size(), 2);
}

// Everything the pane manager and its options window post or ask goes to the window's own centre,
// defaults and alerts: nothing reaches the program's shared centre.
TEST_F(LayoutViewControllerTest, TheWindowsOwnObjectsCarryEveryRequest)
{
    const QStringList names {PaneNotifications::qsLayoutManagerLayoutNameChangedNotification,
        PaneNotifications::resetLocationSyncToDefaultsNotification, LibraryNotifications::GoToNotification,
        LibraryNotifications::EverybodySyncToMeNotification};
    QStringList onProgramCentre;
    QStringList onWindowCentre;
    for (const QString& name : names) {
        NotificationCenter::defaultCenter().addObserver(
            this, name, [&](Notification& n) { onProgramCentre << n.name; });
        m_center.addObserver(this, name, [&](Notification& n) { onWindowCentre << n.name; });
    }
    showLayout(QStringLiteral("V11"));
    goTo(0, kjv(), 1);
    // A maximized book: a new layout, a go-to into it and its new name.
    m_controller->maximizeCurrentBook();
    EXPECT_TRUE(onWindowCentre.contains(LibraryNotifications::GoToNotification));
    EXPECT_TRUE(onWindowCentre.contains(PaneNotifications::qsLayoutManagerLayoutNameChangedNotification));
    EXPECT_EQ(pane(0)->currentSourceTuple(), kjv());
    // The options window's reset asks the window's alerts, then posts on the window's centre, and the
    // pane manager resets the window's defaults.
    m_defaults->set(SettingsKeys::SyncDictionaries, false);
    m_alerts->queueAnswer(AlertFirstButtonReturn);
    LocationSyncOptionsWindowController window(pane(0), m_window, nullptr);
    window.onResetAllButton();
    EXPECT_TRUE(onWindowCentre.contains(PaneNotifications::resetLocationSyncToDefaultsNotification));
    EXPECT_TRUE(m_defaults->value(SettingsKeys::SyncDictionaries));
    EXPECT_TRUE(optionsBox(window, "dictionarySync")->isChecked());
    ASSERT_EQ(m_alerts->shown().size(), 1);
    EXPECT_EQ(m_alerts->shown()[0].messageText, LocationSyncOptionsWindowController::kResetMessage);
    EXPECT_EQ(m_alerts->shown()[0].effectiveDefaultButton(), 1);  // Return answers "No"

    EXPECT_TRUE(onProgramCentre.isEmpty()) << onProgramCentre.join(QLatin1Char(' ')).toStdString();
    NotificationCenter::defaultCenter().removeObserver(this);
    m_center.removeObserver(this);
}

TEST_F(LayoutViewControllerTest, NextAndPreviousBookPaneSkipTheStudyPane)
{
    showLayout(QStringLiteral("V111"));  // regions 0-2 book panes, 3 the study pane
    ASSERT_EQ(layout()->regions().size(), 4u);
    layout()->setCurrentRegion(layout()->regionAt(3));
    m_controller->nextBookPane();
    EXPECT_EQ(layout()->currentRegionIndex(), 0u);
    m_controller->previousBookPane();
    EXPECT_EQ(layout()->currentRegionIndex(), 2u);
    EXPECT_TRUE(pane(2)->isCurrent());
    m_controller->nextBookPane();
    m_controller->nextBookPane();
    EXPECT_EQ(layout()->currentRegionIndex(), 1u);

    // One book pane: nothing moves and no history is recorded.
    showLayout(QStringLiteral("V1"));
    layout()->setCurrentRegion(layout()->regionAt(0));
    m_controller->nextBookPane();
    m_controller->previousBookPane();
    EXPECT_EQ(layout()->currentRegionIndex(), 0u);
    EXPECT_FALSE(m_controller->history().stackForLayout(layout()->uuidString()).has_value());
}

TEST_F(LayoutViewControllerTest, CommandsActOnTheCurrentPane)
{
    showLayout(QStringLiteral("V11"));
    layout()->setCurrentRegion(layout()->regionAt(1));
    m_factory.log.clear();
    m_center.postNotificationName(PaneNotifications::UserWantsToOpenThisBookNotification, nullptr,
        QVariantMap {{QStringLiteral("pubid"), 1}, {QStringLiteral("bookid"), 23}});
    m_center.postNotificationName(PaneNotifications::UserWantsToCloseActiveBookNotification);
    m_center.postNotificationName(PaneNotifications::UserWantsToScrollDownOnePage);
    m_controller->nextBook();
    m_controller->previousBook();
    EXPECT_TRUE(m_controller->tryCopyFromBook());
    m_controller->onAutostudyVerse();
    m_controller->onAutostudyWord();
    const int serial = pane(1)->serial();
    EXPECT_EQ(m_controller->selectedText(), QStringLiteral("text%1").arg(serial));
    EXPECT_EQ(m_controller->selectedBibleRefString(), QStringLiteral("ref%1").arg(serial));
    const QString p = QStringLiteral("pane%1 ").arg(serial);
    EXPECT_EQ(m_factory.log,
        QStringList({p + "open 1/23 1", p + "closeActiveBook", p + "scroll UserWantsToScrollDownOnePage",
            p + "nextBook", p + "previousBook", p + "copy", p + "autostudyVerse", p + "autostudyWord"}));

    // With the study pane current there is no current book pane.
    layout()->setCurrentRegion(layout()->regionAt(2));
    m_factory.log.clear();
    m_controller->nextBook();
    EXPECT_FALSE(m_controller->tryCopyFromBook());
    EXPECT_EQ(m_controller->selectedText(), QString());
    EXPECT_EQ(m_controller->activeSourceTuple(), nullptr);
    EXPECT_FALSE(m_controller->canToggleReadingComplete());
    EXPECT_TRUE(m_factory.log.isEmpty());
    m_controller->view()->makeStudySubpaneCurrent(0);  // the Find slot
    EXPECT_EQ(m_factory.log, QStringList({"slot 0"}));
}

TEST_F(LayoutViewControllerTest, GoToRequestsReachTheRightPaneThroughTheRouting)
{
    showLayout(QStringLiteral("V12"));  // region 0 left, 1 and 2 right, 3 study
    ASSERT_EQ(layout()->regions().size(), 4u);
    goTo(0, kjv(), 1);
    goTo(2, bookFile(QStringLiteral("Nave.tvk")), 1);
    EXPECT_TRUE(pane(0)->currentSourceTuple() != nullptr);
    EXPECT_EQ(m_controller->goToPanes().regionCount(), 4);
    EXPECT_TRUE(m_controller->goToPanes().isBookPane(0));
    EXPECT_FALSE(m_controller->goToPanes().isBookPane(3));
    EXPECT_FALSE(m_controller->goToPanes().isBookPane(7));
    EXPECT_EQ(m_controller->goToPanes().paneCurrentBook(3), nullptr);
    ASSERT_EQ(m_controller->goToPanes().paneTabBooks(0).size(), 1u);
    EXPECT_TRUE(m_controller->goToPanes().paneTabBooks(0)[0]->isEqual(*pane(0)->currentSourceTuple()));
    EXPECT_TRUE(m_controller->goToPanes().paneTabBooks(1).empty());
    EXPECT_EQ(m_controller->goToPanes().currentLayoutUuid(), layout()->uuidString());
    EXPECT_TRUE(m_controller->goToPanes().hasLayout(layout()->uuidString()));
    EXPECT_EQ(m_controller->goToPanes().layoutRegionCount(layout()->uuidString()), 4);
    EXPECT_EQ(m_controller->goToPanes().layoutRegionCount(QStringLiteral("nope")), 0);

    // The pane-level or tab-level flag stops sending.
    EXPECT_FALSE(m_controller->goToPanes().paneDoesNotSendLocationSync(0));
    pane(0)->currentSourceState()->setDoesNotSendLocationSync(true);
    EXPECT_TRUE(m_controller->goToPanes().paneDoesNotSendLocationSync(0));
    pane(0)->currentSourceState()->setDoesNotSendLocationSync(false);
    pane(0)->setPaneDoesNotSendLocationSync(true);
    EXPECT_TRUE(m_controller->goToPanes().paneDoesNotSendLocationSync(0));

    // makePaneCurrent goes through the layout view.
    m_controller->goToPanes().makePaneCurrent(2);
    EXPECT_EQ(m_controller->goToPanes().currentRegion(), 2);
    m_controller->goToPanes().makePaneCurrent(3);  // the study pane is no book pane
    EXPECT_EQ(m_controller->goToPanes().currentRegion(), 2);

    // History: a recorded state comes back through restoreLayout with fresh panes.
    const QString uuid = layout()->uuidString();
    const QVariant archived = m_controller->goToPanes().archivedLayout(uuid);
    ASSERT_TRUE(archived.isValid());
    goTo(0, kjv(), 9);
    EXPECT_TRUE(m_controller->goToPanes().restoreLayout(uuid, archived));
    EXPECT_EQ(layout()->uuidString(), uuid);
    expectModelAndWidgetsInStep();
    EXPECT_EQ(pane(0)->currentSourceSection(), 1u);
    EXPECT_FALSE(m_controller->goToPanes().restoreLayout(uuid, QVariant(42)));
    EXPECT_FALSE(m_controller->goToPanes().archivedLayout(QStringLiteral("nope")).isValid());
}

TEST_F(LayoutViewControllerTest, LocationSyncMemoryAndReset)
{
    showLayout(QStringLiteral("V11"));
    const QString uuid = layout()->uuidString();
    GoToRequest sync;
    sync.layoutUuid = uuid;
    sync.bibleKey = 0x01020300u;
    sync.wordSync = QStringLiteral("grace");
    sync.postLocationSync(m_center, nullptr);
    // Written a moment after the go-to, not on its time.
    EXPECT_EQ(m_defaults->integerForKey(SettingsKeys::SyncBibleKey(uuid).name), 0);
    QDeadlineTimer deadline(10000);
    while (m_defaults->integerForKey(SettingsKeys::SyncBibleKey(uuid).name) == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(m_defaults->integerForKey(SettingsKeys::SyncBibleKey(uuid).name), 0x01020300);
    EXPECT_EQ(m_defaults->stringForKey(SettingsKeys::SyncWordSync(uuid).name), QStringLiteral("grace"));
    sync.wordSync.reset();
    sync.bibleKey = 0;  // 0 leaves the stored key
    sync.postLocationSync(m_center, nullptr);
    EXPECT_EQ(m_defaults->integerForKey(SettingsKeys::SyncBibleKey(uuid).name), 0x01020300);
    sync.bibleKey = 77;
    sync.doesNotSendLocationSync = true;
    sync.postLocationSync(m_center, nullptr);
    EXPECT_EQ(m_defaults->integerForKey(SettingsKeys::SyncBibleKey(uuid).name), 0x01020300);

    // Reset clears every flag of the current layout's panes and tabs, not another layout's.
    goTo(0, kjv(), 1);
    goTo(1, kjv(), 1);
    pane(0)->setPaneDoesNotReceiveLocationSync(true);
    pane(1)->currentSourceState()->setDoesNotSendLocationSync(true);
    m_defaults->set(SettingsKeys::SyncDictionaries, false);
    Layout* first = layout();
    Layout* other = showLayout(QStringLiteral("V1"));
    goTo(0, kjv(), 1);
    pane(0)->setPaneDoesNotSendLocationSync(true);
    m_controller->view()->setCurrentLayout(first);
    m_center.postNotificationName(PaneNotifications::resetLocationSyncToDefaultsNotification);
    EXPECT_TRUE(m_defaults->value(SettingsKeys::SyncDictionaries));
    EXPECT_FALSE(pane(0)->paneDoesNotReceiveLocationSync());
    EXPECT_FALSE(pane(1)->currentSourceState()->doesNotSendLocationSync());
    EXPECT_EQ(m_saves, 1);
    EXPECT_TRUE(other->contentsAt(0)->state()->paneDoesNotSendLocationSync());
}

TEST_F(LayoutViewControllerTest, MaximizingAPaneAndABook)
{
    showLayout(QStringLiteral("V11"));
    goTo(0, kjv(), 3);
    goTo(0, bookFile(QStringLiteral("Scofield.tvk")), 2);
    layout()->setCurrentRegion(layout()->regionAt(0));
    pane(0)->contents().setCurrentItemIndex(0);
    const size_t tabs = pane(0)->contents().items().size();
    ASSERT_EQ(tabs, 2u);
    QStringList names;
    m_center.addObserver(this, PaneNotifications::qsLayoutManagerLayoutNameChangedNotification,
        [&](Notification&) { names << layout()->name(); });
    const quint64 count = m_manager.count();
    m_center.postNotificationName(PaneNotifications::UserWantsToMaximizeCurrentPaneNotification);
    EXPECT_EQ(m_manager.count(), count + 1);
    EXPECT_EQ(layout()->name(), QStringLiteral("Maximized Pane"));
    EXPECT_EQ(layout()->regions().size(), 2u);  // "V1" and the study pane
    EXPECT_EQ(pane(0)->contents().items().size(), tabs);
    EXPECT_EQ(pane(0)->currentSourceTuple()->sourceTupleID(), kjv()->sourceTupleID());

    m_center.postNotificationName(PaneNotifications::UserWantsToMaximizeCurrentBookNotification);
    EXPECT_EQ(m_manager.count(), count + 2);
    EXPECT_EQ(layout()->name(), kjv()->record().abbr);
    EXPECT_EQ(pane(0)->currentSourceSection(), 3u);
    EXPECT_EQ(names, QStringList({"Maximized Pane", kjv()->record().abbr}));
    m_center.removeObserver(this);
}

TEST_F(LayoutViewControllerTest, ExitTellsEveryPaneAndSavesTheHistory)
{
    showLayout(QStringLiteral("V11"));
    goTo(0, kjv(), 1);
    m_factory.log.clear();
    m_controller->exitIsImminent();
    EXPECT_EQ(m_factory.log.size(), 3);
    EXPECT_TRUE(m_factory.log.last().startsWith(QStringLiteral("study")));
    EXPECT_TRUE(QFile::exists(m_controller->history().historyFilePath()));
}

TEST_F(LayoutViewControllerTest, LocationSyncOptionsWindow)
{
    showLayout(QStringLiteral("V11"));
    // A pane without books: only the three kind settings.
    {
        LocationSyncOptionsWindowController window(pane(0), m_window, [this] { ++m_saves; });
        EXPECT_TRUE(optionsBox<QGroupBox>(window, "paneOptions")->isHidden());
        EXPECT_TRUE(optionsBox<QGroupBox>(window, "bookOptions")->isHidden());
        EXPECT_TRUE(optionsBox(window, "bibleCommentarySync")->isChecked());
    }
    goTo(0, kjv(), 1);
    LocationSyncOptionsWindowController window(pane(0), m_window, [this] { ++m_saves; });
    QCheckBox* dictionaries = optionsBox(window, "dictionarySync");
    QCheckBox* paneReceive = optionsBox(window, "paneReceiveOption");
    QCheckBox* bookReceive = optionsBox(window, "bookReceiveOption");
    EXPECT_FALSE(optionsBox<QGroupBox>(window, "paneOptions")->isHidden());
    EXPECT_EQ(optionsBox(window, "bookSendOption")->isEnabled(), pane(0)->currentSourceTuple()->isABible());
    dictionaries->click();
    EXPECT_FALSE(m_defaults->value(SettingsKeys::SyncDictionaries));
    paneReceive->click();
    EXPECT_TRUE(pane(0)->paneDoesNotReceiveLocationSync());
    bookReceive->click();
    EXPECT_TRUE(pane(0)->currentSourceState()->doesNotReceiveLocationSync());
    // "No" changes nothing; "Yes" resets everything and the boxes follow.
    m_alerts->queueAnswer(AlertSecondButtonReturn);
    window.onResetAllButton();
    EXPECT_TRUE(pane(0)->paneDoesNotReceiveLocationSync());
    window.onResetAllButton();
    ASSERT_EQ(m_alerts->shown().size(), 2);
    EXPECT_EQ(m_alerts->shown()[1].buttons, QStringList({"Yes", "No"}));
    EXPECT_TRUE(dictionaries->isChecked());
    EXPECT_FALSE(paneReceive->isChecked());
    EXPECT_FALSE(bookReceive->isChecked());
    EXPECT_FALSE(pane(0)->paneDoesNotReceiveLocationSync());
    const int saves = m_saves;
    window.onClose();
    EXPECT_EQ(m_saves, saves + 1);
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    window.grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/location-sync-options.png"));
}

TEST_F(LayoutViewControllerTest, LocationSyncMemoryIsWrittenOnASaveAndWhenTheControllerGoes)
{
    showLayout(QStringLiteral("V11"));
    const QString uuid = layout()->uuidString();
    const QString key = SettingsKeys::SyncBibleKey(uuid).name;
    GoToRequest sync;
    sync.layoutUuid = uuid;
    sync.bibleKey = 0x01020300u;
    sync.postLocationSync(m_center, nullptr);
    m_controller->preemptiveSaveState();
    EXPECT_EQ(m_defaults->integerForKey(key), 0x01020300);
    sync.bibleKey = 0x01020400u;
    sync.wordSync = QStringLiteral("faith");
    sync.postLocationSync(m_center, nullptr);
    m_controller->exitIsImminent();
    EXPECT_EQ(m_defaults->integerForKey(key), 0x01020400);
    EXPECT_EQ(m_defaults->stringForKey(SettingsKeys::SyncWordSync(uuid).name), QStringLiteral("faith"));
}

}  // namespace
