// The go-to router over the compiled sample library, a pane double and a notification centre
// of its own, with every notification the routing posts and every sync trigger written to the
// double's log in the order they happen.
#pragma once

#include "GoToPanesDouble.h"
#include "library/GoToRouter.h"
#include "library/LibraryNotifications.h"
#include "library/NavigationHistory.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/RecordingAlerts.h"
#include "support/SampleLibrary.h"
#include "userdata/UserDataHooks.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

inline bool sameBookForTest(const SourceTuple::Ptr& a, const SourceTuple::Ptr& b)
{
    return a && b && a->isEqual(*b);
}

inline bool isBibleForTest(const SourceTuple::Ptr& book)
{
    return book && book->isABible();
}

// The contents path of the first top-level heading at or after `from`; its section goes to `section`.
inline QString tocPathForTest(const SourceTuple::Ptr& book, quint32 from, quint32* section = nullptr)
{
    for (quint32 s = from; s < from + 500 && s < book->numSections(); ++s) {
        const QVariantMap toc = book->locations().tocForSection(s);
        if (toc.value(SourceTupleLocations::QSTOCLevelNumberKey).toInt() == 1) {
            if (section != nullptr)
                *section = s;
            return toc.value(SourceTupleLocations::QSTOCTitleStringKey).toString();
        }
    }
    return QString();
}

inline QString naveHeadwordForTest(const SourceTuple::Ptr& book)
{
    return book->words().dictionaryLookupWordForWordNumber(10);
}

// The sync engine as the routing sees it: each request written to the pane double's log.
class LoggingSyncRequests : public qs::userdata::SyncRequestHandler {
public:
    explicit LoggingSyncRequests(QStringList& log) : m_log(log) { }
    void requestSync(qs::userdata::SyncRecordType type, bool now, std::int64_t) override
    {
        m_log << QStringLiteral("sync %1 %2").arg(QString::fromLatin1(qs::userdata::syncRecordTypeName(type))).arg(now);
    }

private:
    QStringList& m_log;
};

class GoToRouterFixture : public ::testing::Test {
protected:
    static inline const QString kLayout = QStringLiteral("11111111-2222-3333-4444-555555555555");

    // The sample books the test installs (file names in the build's library folder).
    virtual QStringList bookFiles() const
    {
        return {QStringLiteral("KJV.tvk"), QStringLiteral("WEB.tvk"), QStringLiteral("Scofield.tvk"),
            QStringLiteral("TreasuryOfDavid.tvk"), QStringLiteral("StrongsHebrew.tvk"),
            QStringLiteral("StrongsGreek.tvk"), QStringLiteral("Nave.tvk"), QStringLiteral("DailyReadings.tvk")};
    }

    // The busy indicator's timer needs an application object.
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "library_tests";
        static char* argv[] = {name, nullptr};
        if (QCoreApplication::instance() == nullptr)
            new QCoreApplication(argc, argv);
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        if (!TestSupport::sampleBooksBuilt(bookFiles()))
            GTEST_SKIP() << "the sample library is not built";
        m_library = TestSupport::openSampleLibrary(m_temp.path(), bookFiles());
        ASSERT_TRUE(m_library) << "the sample books could not be linked";
        m_defaults = std::make_shared<UserDefaults>(m_temp.filePath(QStringLiteral("defaults.ini")));
        m_alerts = std::make_shared<RecordingAlerts>();
        m_history = std::make_unique<NavigationHistory>(m_panes, m_temp.filePath(QStringLiteral("cache")));
        makeRouter(*m_alerts);
        qs::userdata::SyncRequestHandler::install(std::make_shared<LoggingSyncRequests>(m_panes.log));
        for (const QString& name : {LibraryNotifications::PushKeyOnRecentStackNotification,
                 LibraryNotifications::EverybodySyncToMeNotification, LibraryNotifications::qsUserNoteLinkSelected}) {
            m_center.addObserver(this, name, [this](Notification& n) {
                m_posted.append(n);
                m_panes.log << QStringLiteral("post ") + n.name;
            });
        }
    }

    void TearDown() override
    {
        m_center.removeObserver(this);
        m_router.reset();
        qs::userdata::SyncRequestHandler::install(nullptr);
    }

    SourceTuple::Ptr book(qint64 bookID) const { return m_library->allSources()->tupleForPubID(1, bookID); }

    // One layout: region 0 a book pane showing `first`, region 1 a book pane showing `second`,
    // region 2 the study pane; region 0 current.
    void setPanes(const SourceTuple::Ptr& first, std::vector<SourceTuple::Ptr> firstTabs,
        const SourceTuple::Ptr& second, std::vector<SourceTuple::Ptr> secondTabs)
    {
        LayoutDouble layout;
        layout.uuid = kLayout;
        layout.panes.resize(3);
        layout.panes[0].current = first;
        layout.panes[0].tabs = std::move(firstTabs);
        layout.panes[1].current = second;
        layout.panes[1].tabs = std::move(secondTabs);
        layout.panes[2].bookPane = false;
        m_panes.layouts = {layout};
        m_panes.currentLayout = 0;
    }

    GoToRequest link(const QString& href) const
    {
        GoToRequest r;
        r.layoutUuid = kLayout;
        r.href = href;
        return r;
    }

    // The resolution alone, as link previews ask it (no alerts); the answered request as a map.
    QVariantMap ask(GoToRequest request)
    {
        request.noAlerts = true;
        m_router->callerNeedsSourceForGoToInfo(request);
        return request.toUserInfo();
    }

    void post(const GoToRequest& request) { request.post(m_center, nullptr); }
    // A router (in place of the one there) that shows its failures on these alerts.
    void makeRouter(Alerts& alerts)
    {
        m_router.reset();
        m_router = std::make_unique<GoToRouter>(m_panes, *m_library, *m_history, m_center, *m_defaults, alerts);
    }

    QTemporaryDir m_temp;
    NotificationCenter m_center;
    GoToPanesDouble m_panes;
    std::unique_ptr<SourceManager> m_library;
    std::shared_ptr<UserDefaults> m_defaults;
    std::shared_ptr<RecordingAlerts> m_alerts;
    std::unique_ptr<NavigationHistory> m_history;
    std::unique_ptr<GoToRouter> m_router;
    QList<Notification> m_posted;
};
