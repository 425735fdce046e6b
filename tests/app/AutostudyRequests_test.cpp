// The reader's autostudy commands: Autostudy Verse, Autostudy Word and Autostudy Today are enabled and open
// their dialogs (the first two through the current pane's request), a request posted by anyone opens
// the dialog with its input, and a finished report opens in a results window.
#include "app/AutostudyRequests.h"

#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "library/SourceManager.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/BookPageScheme.h"
#include "platform/NotificationCenter.h"
#include "reports/ui/AutostudyTodayWindowController.h"
#include "reports/ui/AutostudyVerseWindowController.h"
#include "reports/ui/AutostudyWordWindowController.h"
#include "reports/ui/web/AutostudyResultsWindowController.h"
#include "support/RecordingAlerts.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

namespace {

using TestSupport::whenShown;

class AutostudyCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        reader_test::startReaderTestProgram("autostudy-commands-test");
        s_alerts = &TestSupport::programAlerts();
    }

    void SetUp() override
    {
        if (!QFile::exists(QStringLiteral(QS_BINARY_DIR "/books/KJV.tvk")))
            GTEST_SKIP() << "the books that come with the application are not built";
        m_controller = std::make_unique<QuillsteadAppController>(reader_test::programEnvironment());
        m_controller->applicationDidFinishLaunching({});
    }

    void TearDown() override
    {
        if (m_controller) {
            m_controller->applicationWillTerminate();
            m_controller.reset();
        }
        reader_test::programEnvironment().layoutManager().setLayouts({});
    }

    static QList<AutostudyResultsWindowController*> resultsWindows()
    {
        QList<AutostudyResultsWindowController*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* r = qobject_cast<AutostudyResultsWindowController*>(w); r && r->isVisible())
                out.append(r);
        return out;
    }

    static inline RecordingAlerts* s_alerts = nullptr;
    std::unique_ptr<QuillsteadAppController> m_controller;
};

TEST_F(AutostudyCommands, TheThreeCommandsAreEnabledAndOpenTheirDialogs)
{
    QuillsteadWindowController* window = m_controller->mainWindowController();
    window->actions().updateStates();
    for (const CommandId& id :
        {CommandNames::AutostudyVerse, CommandNames::AutostudyWord, CommandNames::AutostudyToday})
        EXPECT_TRUE(window->actions().action(id)->isEnabled()) << id.name;

    // Autostudy Today: the dialog on today's date; studying it opens the report in a results window.
    const bool today = whenShown<AutostudyTodayWindowController>(
        [&] { EXPECT_TRUE(reader_test::choose(window, CommandNames::AutostudyToday)); },
        [](AutostudyTodayWindowController* d) {
            EXPECT_EQ(d->date(), QDate::currentDate());
            d->setDate(QDate(QDate::currentDate().year(), 1, 2));
            d->onPerformAutostudy();  // closes either way
        });
    ASSERT_TRUE(today);
    QList<AutostudyResultsWindowController*> results = resultsWindows();
    ASSERT_EQ(results.size(), 1);
    QPointer<AutostudyResultsWindowController> shown = results.first();
    EXPECT_TRUE(shown->windowTitle().startsWith(QLatin1String("Autostudy ")));
    const QString file = shown->filename();
    EXPECT_TRUE(QFile::exists(file));

    // Change Options: the report goes, and the dialog comes back with the same date.
    const bool again = whenShown<AutostudyTodayWindowController>([&] { shown->onChangeOptions(); },
        [](AutostudyTodayWindowController* d) {
            EXPECT_EQ(d->date(), QDate(QDate::currentDate().year(), 1, 2));
            d->onClose();
        });
    EXPECT_TRUE(again);
    EXPECT_FALSE(QFile::exists(file));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull());

    // Autostudy Verse and Autostudy Word ask the current pane, whose request opens the dialog.
    EXPECT_TRUE(whenShown<AutostudyVerseWindowController>(
        [&] { EXPECT_TRUE(reader_test::choose(window, CommandNames::AutostudyVerse)); },
        [](AutostudyVerseWindowController* d) { d->onClose(); }));
    EXPECT_TRUE(whenShown<AutostudyWordWindowController>(
        [&] { EXPECT_TRUE(reader_test::choose(window, CommandNames::AutostudyWord)); },
        [](AutostudyWordWindowController* d) { d->onClose(); }));
    EXPECT_TRUE(s_alerts->shown().isEmpty());
}

TEST_F(AutostudyCommands, ARequestOpensTheDialogWithItsInput)
{
    SourceTuple::Ptr kjv;
    for (const auto& t : SourceManager::singleton().bibleSources()->array())
        if (t->record().abbr == QLatin1String("KJV"))
            kjv = t;
    ASSERT_TRUE(kjv);
    const bool verse = whenShown<AutostudyVerseWindowController>(
        [&] {
            NotificationCenter::defaultCenter().postNotificationName(PaneNotifications::UserWantsToDoVerseAutostudy,
                nullptr,
                {{QStringLiteral("refString"), QStringLiteral("John 3:16")},
                    {QStringLiteral("sourceTuple"), sharedObjectVariant(kjv)}});
        },
        [](AutostudyVerseWindowController* d) {
            EXPECT_EQ(d->refString(), QStringLiteral("John 3:16"));
            EXPECT_EQ(d->sourceTuple()->record().abbr, QStringLiteral("KJV"));
            d->onPerformAutostudy();
            if (d->isVisible())  // no report: the dialog stayed open
                d->onClose();
        });
    ASSERT_TRUE(verse);
    const QList<AutostudyResultsWindowController*> results = resultsWindows();
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results.first()->windowTitle(), QStringLiteral("Autostudy John 3:16"));
    const QString file = results.first()->filename();
    results.first()->onClose();
    EXPECT_FALSE(QFile::exists(file));

    const bool word = whenShown<AutostudyWordWindowController>(
        [] {
            NotificationCenter::defaultCenter().postNotificationName(PaneNotifications::UserWantsToDoWordAutostudy,
                nullptr, {{QStringLiteral("word"), QStringLiteral(" mercy; ")}});
        },
        [](AutostudyWordWindowController* d) {
            EXPECT_EQ(d->word(), QStringLiteral("mercy"));
            d->onClose();
        });
    EXPECT_TRUE(word);
}

TEST_F(AutostudyCommands, ARequestPendingWhenTheReaderClosesOpensNothing)
{
    const bool shown = whenShown<AutostudyWordWindowController>(
        [this] {
            NotificationCenter::defaultCenter().postNotificationName(PaneNotifications::UserWantsToDoWordAutostudy,
                nullptr, {{QStringLiteral("word"), QStringLiteral("grace")}});
            m_controller->applicationWillTerminate();
            m_controller.reset();
        },
        [](AutostudyWordWindowController* d) { d->onClose(); }, 500);
    EXPECT_FALSE(shown);
}

}  // namespace
