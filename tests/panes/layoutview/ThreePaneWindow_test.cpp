// A window of three panes on the sample library: a Bible, a commentary at the Bible's place and a
// dictionary; resized, split, written to the layout archive and read back into a new pane manager.
#include "LayoutViewTestSupport.h"

#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/SettingsRegistry.h"
#include "support/SampleLibrary.h"

namespace {

class ThreePaneWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureTestApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        const QStringList books {QStringLiteral("KJV.tvk"), QStringLiteral("Scofield.tvk"), QStringLiteral("Nave.tvk")};
        if (!TestSupport::sampleBooksBuilt(books))
            GTEST_SKIP() << "the sample library is not built";
        m_library = TestSupport::openSampleLibrary(m_temp.path(), books);
        ASSERT_TRUE(m_library) << "the sample books could not be linked";
        BookPaneDouble::library = m_library.get();
        m_defaults = std::make_unique<UserDefaults>(m_temp.filePath(QStringLiteral("defaults.ini")));
        SettingsRegistry::registerDefaultsForAllPreferences(*m_defaults);
        m_alerts = std::make_shared<RecordingAlerts>();
    }
    void TearDown() override { BookPaneDouble::library = nullptr; }

    SourceTuple::Ptr book(const QString& file) const { return m_library->allSources()->tupleForFileName(file); }

    struct Window {
        NotificationCenter center;
        LayoutManager manager {center};
        PaneFactoryDouble factory;
        std::unique_ptr<LayoutViewController> controller;
        std::unique_ptr<QWidget> window;
    };

    std::unique_ptr<Window> makeWindow()
    {
        auto w = std::make_unique<Window>();
        WindowEnvironment environment;
        environment.setNotifications(&w->center);
        environment.setSettings(m_defaults.get());
        environment.setAlert(m_alerts.get());
        environment.setLayoutManager(&w->manager);
        environment.setBooks(m_library.get());
        w->controller = std::make_unique<LayoutViewController>(environment, m_temp.filePath(QStringLiteral("cache")));
        w->controller->setPaneFactory(&w->factory);
        w->window = std::make_unique<QWidget>();
        auto* box = new QVBoxLayout(w->window.get());
        box->setContentsMargins(0, 0, 0, 0);
        box->addWidget(w->controller->view());
        w->window->resize(1100, 700);
        w->window->show();
        QApplication::processEvents();
        return w;
    }

    void goTo(Window& w, int region, const SourceTuple::Ptr& b, quint32 section)
    {
        GoToRequest r;
        r.layoutUuid = w.manager.currentLayout()->uuidString();
        r.sourceTuple = b;
        r.section = section;
        r.paneRegion = region;
        r.forcePane = true;
        r.activate = true;
        r.post(w.center, nullptr);
    }

    static QString paneTitle(QWidget* pane)
    {
        auto* label = pane->findChild<QLabel*>();
        return label ? label->text() : QString();
    }

    void expectPanesOnModel(Window& w)
    {
        LayoutView* view = w.controller->view();
        Layout* layout = w.manager.currentLayout();
        for (size_t i = 0; i < layout->regions().size(); ++i) {
            QWidget* pane = paneWidget(*layout, i);
            ASSERT_NE(pane, nullptr);
            EXPECT_EQ(pane->parentWidget(), view);
            EXPECT_EQ(
                pane->geometry(), view->widgetRectForModelRect(view->adjustedBoundsForRegion(layout->regionAt(i))));
        }
        EXPECT_EQ(layout->bounds(), (LayoutRect {0, 0, double(view->width()), double(view->height())}));
    }

    QTemporaryDir m_temp;
    std::unique_ptr<SourceManager> m_library;
    std::unique_ptr<UserDefaults> m_defaults;
    std::shared_ptr<RecordingAlerts> m_alerts;
};

TEST_F(ThreePaneWindowTest, BuiltResizedSplitAndRestoredFromTheArchive)
{
    const auto kjv = book(QStringLiteral("KJV.tvk"));
    const auto scofield = book(QStringLiteral("Scofield.tvk"));
    const auto nave = book(QStringLiteral("Nave.tvk"));
    ASSERT_TRUE(kjv && scofield && nave);

    auto w = makeWindow();
    Layout* layout = w->manager.addLayoutWithDescriptor(QStringLiteral("V12"), LayoutRect {0, 0, 1100, 700}, QString());
    w->controller->view()->setCurrentLayout(layout);
    ASSERT_EQ(layout->regions().size(), 3u);

    // The Bible at Romans 8, the commentary at its entry for the same place, a dictionary entry.
    const quint32 romans8 = kjv->locations().sectionForSyncString(QStringLiteral("Romans 8:1"));
    const quint32 comment = scofield->locations().sectionForSyncString(QStringLiteral("Romans 8:1"));
    const quint32 faith = nave->locations().sectionForSyncString(QStringLiteral("faith"));
    ASSERT_GT(romans8, 0u);
    goTo(*w, 0, kjv, romans8);
    goTo(*w, 1, scofield, comment);
    goTo(*w, 2, nave, faith);
    EXPECT_TRUE(paneTitle(paneWidget(*layout, 0)).startsWith(kjv->record().abbr));
    EXPECT_TRUE(paneTitle(paneWidget(*layout, 1)).startsWith(scofield->record().abbr));
    EXPECT_TRUE(paneTitle(paneWidget(*layout, 2)).startsWith(nave->record().abbr));
    expectPanesOnModel(*w);

    // Resized, then split and the new pane closed again.
    w->window->resize(1300, 820);
    QApplication::processEvents();
    expectPanesOnModel(*w);
    w->controller->goToPanes().makePaneCurrent(2);
    w->center.postNotificationName(PaneNotifications::UserWantsToSplitActivePaneNotification);
    EXPECT_EQ(layout->regions().size(), 4u);
    expectPanesOnModel(*w);
    w->center.postNotificationName(PaneNotifications::UserWantsToCloseActivePaneNotification);
    EXPECT_EQ(layout->regions().size(), 3u);
    expectPanesOnModel(*w);
    w->window->resize(1200, 760);
    QApplication::processEvents();

    // Written to the layout archive and read back by a new window.
    const QString archive = m_temp.filePath(QStringLiteral("layout archive.plist"));
    ASSERT_TRUE(w->manager.writeArchive(archive));
    const QString uuid = layout->uuidString();
    w.reset();

    auto restored = makeWindow();
    ASSERT_TRUE(restored->manager.readArchive(archive));
    restored->controller->showCurrentLayout();
    QApplication::processEvents();
    Layout* back = restored->manager.currentLayout();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->uuidString(), uuid);
    ASSERT_EQ(back->regions().size(), 3u);
    expectPanesOnModel(*restored);
    EXPECT_EQ(paneTitle(paneWidget(*back, 0)),
        kjv->record().abbr + QStringLiteral(" — ") + kjv->locations().getPositionNameForTitleBar(romans8));
    EXPECT_TRUE(paneTitle(paneWidget(*back, 1)).startsWith(scofield->record().abbr));
    EXPECT_TRUE(paneTitle(paneWidget(*back, 2)).startsWith(nave->record().abbr));
    auto* pane0 = dynamic_cast<BookPaneDouble*>(back->contentsAt(0)->viewController());
    ASSERT_NE(pane0, nullptr);
    EXPECT_EQ(pane0->currentSourceSection(), romans8);

    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(restored->window->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/layout-three-panes.png")));
}

}  // namespace
