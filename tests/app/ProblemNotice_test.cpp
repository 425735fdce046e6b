// The notice line's owner: every problem stays listed until the user closes it, one entry for each kind
// however often it comes, a few lines at most on the window with the rest one click away, and what was
// not shown at quit said in one alert.
#include "app/ProblemNotice.h"
#include "app/WindowNotice.h"
#include "platform/FileSave.h"
#include "platform/SaveFailureAlerts.h"
#include "support/RecordingAlerts.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using TestSupport::waitFor;

class NoticeLine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestSupport::startApplication("problem-notice-test", TestSupport::Web::None); }

    void SetUp() override
    {
        SaveFailureAlerts::reset();
        auto* column = new QVBoxLayout(&m_window);
        column->addStretch(1);
        m_notice = new WindowNotice(&m_window);
        column->addWidget(m_notice);
        m_window.resize(900, 600);
        m_window.show();
        ASSERT_TRUE(waitFor([this] { return m_window.isVisible(); }));
    }

    void TearDown() override { SaveFailureAlerts::reset(); }

    QToolButton* button(const char* name) const { return m_notice->findChild<QToolButton*>(QString::fromLatin1(name)); }

    QWidget m_window;
    WindowNotice* m_notice = nullptr;
    RecordingAlerts m_alerts;
    ProblemNotice m_problems {[this] { return m_notice; }, m_alerts};
};

}  // namespace

// A nearly full disk: the large file of a kind fails at every step while a small one of the same kind
// is saved between (which says the next failure again). The notice lists the failure once and stays a
// few lines high however many steps are taken.
TEST_F(NoticeLine, AFailureThatComesBackAtEveryStepIsOneLine)
{
    QTemporaryDir dir;
    const QString what = QStringLiteral("the reading history (Back and Forward)");
    // A folder where the file goes: no save of it can succeed, whoever runs the test.
    const QString blocked = dir.filePath(QStringLiteral("snapshot.plist"));
    ASSERT_TRUE(QDir().mkpath(blocked));
    const QString small = dir.filePath(QStringLiteral("history.plist"));
    for (int step = 0; step < 40; ++step) {
        EXPECT_FALSE(FileSave::writeFile(blocked, QByteArray(4096, 'x'), what));
        EXPECT_TRUE(FileSave::writeFile(small, QByteArray("<plist/>"), what));
        if (step == 0) {
            ASSERT_TRUE(waitFor([this] { return !m_notice->message().isEmpty(); }));
        }
        QApplication::processEvents();
    }
    ASSERT_TRUE(waitFor([this] { return m_problems.openKinds().size() == 1 && !m_notice->isHidden(); }));
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, ProblemNotice::kGatherMs / 4);
    EXPECT_EQ(m_notice->message(), QStringLiteral("Quillstead could not save %1.").arg(what));
    EXPECT_EQ(m_notice->details().count(blocked), 1) << m_notice->details().toStdString();
    EXPECT_LE(m_notice->shownLines().size(), WindowNotice::kMostLines);
    EXPECT_LE(m_notice->sizeHint().height(), m_window.height() / 4);
    EXPECT_TRUE(m_alerts.shown().isEmpty());
}

// Problems of several sources are listed together until closed; one that comes again updates its
// entry; what does not fit is in the Details window; closing tells each source that asked to know.
TEST_F(NoticeLine, ProblemsStayListedUntilClosedAndWhatDoesNotFitIsOneClickAway)
{
    int syncNewsClosed = 0;
    m_problems.put(QStringLiteral("sync"), QStringLiteral("Cloud Sync left out records."),
        QStringLiteral("25 Bible notes were left out."), [&syncNewsClosed] { ++syncNewsClosed; });
    ASSERT_TRUE(waitFor([this] { return !m_notice->message().isEmpty(); }));
    EXPECT_EQ(m_notice->shownLines().value(0), QStringLiteral("Cloud Sync left out records."));
    EXPECT_EQ(m_notice->shownLines().value(1), QStringLiteral("25 Bible notes were left out."));

    for (int i = 1; i <= 5; ++i)
        m_problems.add(QStringLiteral("Problem %1.").arg(i), QStringLiteral("What problem %1 means.").arg(i));
    m_problems.put(QStringLiteral("sync"), QStringLiteral("Cloud Sync left out records."),
        QStringLiteral("26 Bible notes were left out."), [&syncNewsClosed] { ++syncNewsClosed; });
    ASSERT_TRUE(waitFor([this] { return m_notice->message().contains(QStringLiteral("Problem 5.")); }));
    EXPECT_EQ(m_problems.openKinds().size(), 6);
    EXPECT_EQ(m_notice->message().count(QStringLiteral("Cloud Sync left out records.")), 1);
    const QStringList lines = m_notice->shownLines();
    ASSERT_EQ(lines.size(), WindowNotice::kMostLines);
    EXPECT_EQ(lines.first(), QStringLiteral("Cloud Sync left out records."));
    EXPECT_EQ(lines.last(), QStringLiteral("3 more: see Details."));

    // Details: everything, as written.
    QToolButton* details = button("noticeDetails");
    ASSERT_NE(details, nullptr);
    ASSERT_FALSE(details->isHidden());
    details->click();
    QDialog* window = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (window = m_window.findChild<QDialog*>(QStringLiteral("noticeDetailsWindow"))); }));
    const QString all = window->findChild<QPlainTextEdit*>()->toPlainText();
    EXPECT_TRUE(all.contains(QStringLiteral("26 Bible notes were left out.")));
    EXPECT_FALSE(all.contains(QStringLiteral("25 Bible notes")));
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(all.contains(QStringLiteral("Problem %1.\nWhat problem %1 means.").arg(i))) << i;
    window->close();

    // Taken back by its source: gone without a word to it.
    m_problems.withdraw(QStringLiteral("Problem 2."));
    EXPECT_FALSE(m_notice->message().contains(QStringLiteral("Problem 2.")));
    EXPECT_EQ(m_problems.openKinds().size(), 5);

    // Closed by the user: all of it, and the sync hears so once; a later problem is listed alone.
    button("noticeClose")->click();
    EXPECT_TRUE(m_notice->message().isEmpty());
    EXPECT_TRUE(m_problems.openKinds().isEmpty());
    EXPECT_EQ(syncNewsClosed, 1);
    m_problems.add(QStringLiteral("Later."), QString());
    ASSERT_TRUE(waitFor([this] { return !m_notice->message().isEmpty(); }));
    EXPECT_EQ(m_notice->message(), QStringLiteral("Later."));
    EXPECT_EQ(syncNewsClosed, 1);

    // At quit, what was never shown is said in one alert.
    m_problems.add(QStringLiteral("At the end."), QStringLiteral("Said at quit."));
    m_problems.sayAtQuit();
    ASSERT_EQ(m_alerts.shown().size(), 1);
    EXPECT_EQ(m_alerts.shown()[0].messageText, QStringLiteral("At the end."));
    EXPECT_EQ(m_alerts.shown()[0].informativeText, QStringLiteral("Said at quit."));
}
