// The reader's windows as a person on a Linux desktop uses them: the study pane's rows at a larger
// text size, the keys of the settings window (Return logs in, Escape closes), the settings window in
// front of the main window, what is typed on the account page across a page switch, the sync log on a
// desktop without a browser, the busy indicator while an alert is up, a pane's tab buttons beside
// its tabs, where the windows open, the keys that close them, and the keyboard's way into the pages.
// Each acts through the window (keys to the focused widget, clicks, commands) and reads what the
// window shows.
//
// The platform is the offscreen one (tests/support), where the window stack is read as the reader
// tells it to the window system (the settings window a tool window over the main one); run under an
// X server (QS_TEST_PLATFORM=xcb xvfb-run ...), the test reads the windows' properties and frames
// from the X server itself with xprop and xwininfo. The test command runs the window tests once more
// that way under a window manager (tests/support/run-under-window-manager.sh).

#include "app/DesktopWindows.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadSyncDelegate.h"
#include "app/QuillsteadWindowController.h"
#include "app/preferences/ColorWell.h"
#include "app/preferences/LoginPreferencesViewController.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "app/preferences/PreferencesViewController.h"
#include "cloud/account/CustomerPassword.h"
#include "cloud/protocol/ServiceHost.h"
#include "cloud/store/ui/OpenBookSheetWindowController.h"
#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/GoToRouter.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/bookpane/WebViewWindowController.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/page/BookPageHtml.h"
#include "panes/page/BookPageView.h"
#include "panes/page/BookPaneScroller.h"
#include "platform/Alerts.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/CaretRest.h"
#include "platform/ui/CommandNames.h"
#include "platform/ui/ContentTextDocument.h"
#include "reports/ui/AutostudyTodayWindowController.h"
#include "reports/ui/web/AutostudyResultsWindowController.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/BibleVerseTableCellView.h"
#include "studypane/StudyPaneBibleGotoViewController.h"
#include "studypane/StudyPaneHitList.h"
#include "studypane/StudyPaneResultListModel.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "support/RecordingAlerts.h"
#include "tools/standin-services/StandinTestServer.h"

#include "ReaderTestProgram.h"
#include "preferences/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWindow>

namespace {

using reader_test::waitFor;

// A click on `widget` at the point where the window shows it: it reaches whatever lies on top there,
// which must be the widget itself.
void clickWhereTheWindowShows(QWidget* main, QWidget* widget)
{
    const QPoint at = widget->mapTo(main, widget->rect().center());
    QWidget* hit = main->childAt(at);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit, widget) << "the click lands on " << hit->metaObject()->className();
    QTest::mouseClick(hit, Qt::LeftButton, Qt::NoModifier, hit->mapFrom(main, at));
}

class ReaderOnTheDesktop : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite()
    {
        reader_test::startReaderTestProgram("reader-on-the-desktop-test");
        s_alerts = &TestSupport::programAlerts();
    }

    void SetUp() override
    {
        ReaderWindow::SetUp();
        // Every test starts from the first screen.
        QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
        s_alerts->clear();
        UserDefaults::standardUserDefaults().set(SettingsKeys::CredentialsValid, false);
    }

    void TearDown() override
    {
        if (MASPreferencesWindowController* settings = settingsWindow())
            settings->close();
        UserDefaults::standardUserDefaults().set(SettingsKeys::BaseFontSize, 12);
        ReaderWindow::TearDown();
    }

    // The keys are in the current book pane's page.
    bool keysInCurrentPage() const
    {
        LayoutBookPane* pane = panes()->currentBookPane();
        QWidget* focus = QApplication::focusWidget();
        return pane != nullptr && focus != nullptr && pane->paneView()->isAncestorOf(focus);
    }
    // The class of the widget with the keys, for messages.
    static std::string keysAreIn()
    {
        QWidget* focus = QApplication::focusWidget();
        return std::string(focus != nullptr ? focus->metaObject()->className() : "nothing");
    }

    MASPreferencesWindowController* settingsWindow() const
    {
        return TestSupport::shownWindow<MASPreferencesWindowController>();
    }

    // The Settings command, then a click on the page's button in the window's toolbar.
    MASPreferencesWindowController* openSettingsAt(QuillsteadWindowController* window, const QString& page)
    {
        if (!reader_test::choose(window, CommandNames::Settings))
            return nullptr;
        MASPreferencesWindowController* settings = TestSupport::waitForWindow<MASPreferencesWindowController>();
        if (settings == nullptr)
            return nullptr;
        settings->activateWindow();
        if (!QTest::qWaitForWindowActive(settings))
            return nullptr;
        for (QAction* button : settings->toolbar()->actions())
            if (button->objectName() == page)
                button->trigger();
        const PreferencesViewController* shown = settings_test::shownPage(settings);
        return shown != nullptr && shown->identifier() == page ? settings : nullptr;
    }

    // Log Out on the Login page of Settings.
    bool logOut(QuillsteadWindowController* window)
    {
        MASPreferencesWindowController* settings = openSettingsAt(window, QStringLiteral("LoginPreferences"));
        auto* button = settings != nullptr
            ? settings_test::shownPage(settings)->findChild<QPushButton*>(QStringLiteral("logoutButton"))
            : nullptr;
        if (button == nullptr)
            return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }

    // Signs in as the stand-in's demo customer as a user does: the service host pointed at `server`,
    // then on the Login page of Settings (showing its log-in view) the customer ID and password typed
    // and Return pressed. The Login page once it shows the signed-in view; null when it did not.
    LoginPreferencesViewController* signIn(QuillsteadWindowController* window, const standin_test::Server& server)
    {
        UserDefaults::standardUserDefaults().set(SettingsKeys::ServiceHostAddress, server.serviceHostSetting());
        auto* account = settings_test::shownPage<LoginPreferencesViewController>(
            openSettingsAt(window, QStringLiteral("LoginPreferences")));
        if (account == nullptr || account->shownCredentialsView() != QLatin1String("LoginView") ||
            !typeInto(account->textField(QStringLiteral("customerID")), QStringLiteral("demo@quillstead.test")) ||
            !typeInto(account->textField(QStringLiteral("password")), QStringLiteral("demo")))
            return nullptr;
        pressKey(Qt::Key_Return);
        if (!waitFor([account] { return account->shownCredentialsView() == QLatin1String("LogoutView"); }, 20000))
            return nullptr;
        return account;
    }

    // Clicks into a field and types, as the reader does; the keys go to the focused widget.
    static bool typeInto(QLineEdit* field, const QString& text)
    {
        // A click in a window makes it the active one.
        field->window()->activateWindow();
        if (!QTest::qWaitForWindowActive(field->window()))
            return false;
        QTest::mouseClick(field, Qt::LeftButton);
        field->setFocus(Qt::MouseFocusReason);
        if (!waitFor([field] { return field->hasFocus(); }, 5000)) {
            qWarning() << "no focus in" << field->objectName() << "; the focus is in" << QApplication::focusWidget();
            return false;
        }
        QTest::keyClicks(QApplication::focusWidget(), text);
        return true;
    }
    static void pressKey(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

    // The bottom of the `n`-th line of the HTML laid out as the cell lays it out (0 with fewer lines).
    static qreal bottomOfLine(const QString& html, const QFont& font, int width, int n)
    {
        ContentTextDocument doc;
        doc.setDefaultFont(font);
        doc.setHtml(html);
        doc.setTextWidth(width);
        int seen = 0;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
            const qreal top = doc.documentLayout()->blockBoundingRect(block).top();
            for (int i = 0; block.layout() != nullptr && i < block.layout()->lineCount(); ++i)
                if (++seen == n)
                    return top + block.layout()->lineAt(i).y() + block.layout()->lineAt(i).height();
        }
        return 0;
    }

    // The room a title-and-text row leaves for its text, and whether it holds `lines` whole lines.
    static ::testing::AssertionResult rowHoldsLines(
        QTableView* table, int row, const QString& html, int lines, const char* what)
    {
        QFont bold = table->font();
        bold.setBold(true);
        const int room = table->rowHeight(row) - QFontMetrics(bold).height() - 2;
        const int width = table->columnWidth(0) - 8;
        const qreal needed = bottomOfLine(html, table->font(), width, lines);
        if (needed <= 0)
            return ::testing::AssertionFailure() << what << ": the text has fewer than " << lines << " lines";
        if (needed > room + 1)
            return ::testing::AssertionFailure() << what << " row " << row << ": " << lines << " lines need " << needed
                                                 << " px, the row leaves " << room;
        return ::testing::AssertionSuccess();
    }

    static inline RecordingAlerts* s_alerts = nullptr;

    QStringList sampleBooks() const override { return {QStringLiteral("DailyReadings.tvk")}; }

    static bool underX() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

    // The window's frame (title bar and borders included) where the desktop shows it: as the X
    // server tells it under X (the window's place from xwininfo, the frame's edges that the window
    // manager set in _NET_FRAME_EXTENTS from xprop), else as the window system told the reader.
    static QRect frameOf(QWidget* window)
    {
        if (!underX() || window->windowHandle() == nullptr)
            return window->frameGeometry();
        const QString id = QString::number(window->windowHandle()->winId());
        const auto ask = [](const char* tool, const QStringList& arguments) {
            QProcess process;
            process.start(QStandardPaths::findExecutable(QString::fromLatin1(tool)), arguments);
            return process.waitForFinished(10000) ? QString::fromLatin1(process.readAllStandardOutput()) : QString();
        };
        const QString info = ask("xwininfo", {QStringLiteral("-id"), id});
        const auto number = [&info](const char* label) {
            const QRegularExpression line(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(label)));
            return line.match(info).captured(1).toInt();
        };
        const QRect client(
            number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height"));
        // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
        const QStringList edges = ask("xprop", {QStringLiteral("-id"), id, QStringLiteral("_NET_FRAME_EXTENTS")})
                                      .section(QLatin1Char('='), 1)
                                      .split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (edges.size() != 4)
            return client;
        return client.adjusted(-edges[0].trimmed().toInt(), -edges[2].trimmed().toInt(), edges[1].trimmed().toInt(),
            edges[3].trimmed().toInt());
    }

    // Waits until the window shows with its frame (under a window manager: around the client
    // area, the title bar above it); its frame then.
    static QRect shownFrame(QWidget* window)
    {
        QRect frame;
        waitFor(
            [&] {
                if (!window->isVisible() || !QTest::qWaitForWindowExposed(window, 100))
                    return false;
                frame = frameOf(window);
                return !underX() || frame.top() < window->geometry().top();
            },
            10000);
        return frame;
    }

    static ::testing::AssertionResult onScreen(const QRect& frame, const char* what)
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        if (frame.isValid() && area.contains(frame))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
            << what << " at " << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height()
            << ", the screen's free area " << area.width() << "x" << area.height();
    }

    // The main window's own keys, pressed in the window that is active as the user presses them.
    static void pressIn(QWidget* window, const QKeySequence& keys)
    {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            qWarning() << "not active:" << window->windowTitle();
        QWidget* focus = QApplication::focusWidget();
        QTest::keySequence(focus != nullptr && focus->window() == window ? focus : window, keys);
    }

    BookPaneViewController* bookPaneAt(int region) const
    {
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        if (layout == nullptr || region < 0 || size_t(region) >= layout->contents().size())
            return nullptr;
        return dynamic_cast<BookPaneViewController*>(layout->contentsAt(size_t(region))->viewController());
    }

    // The text size typed into the Display page's field, Return to commit it.
    void setTextSize(QuillsteadWindowController* window, int size)
    {
        MASPreferencesWindowController* settings = openSettingsAt(window, QStringLiteral("DisplayPreferences"));
        ASSERT_NE(settings, nullptr);
        QLineEdit* field = settings_test::shownPage(settings)->textField(QStringLiteral("baseFontSize"));
        ASSERT_NE(field, nullptr);
        ASSERT_TRUE(typeInto(field, QString()));
        field->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), QString::number(size));
        pressKey(Qt::Key_Return);
        EXPECT_EQ(UserDefaults::standardUserDefaults().value(SettingsKeys::BaseFontSize), size);
        pressKey(Qt::Key_Escape);
        ASSERT_TRUE(waitFor([this] { return settingsWindow() == nullptr; }, 5000));
    }
};

TEST_F(ReaderOnTheDesktop, StudyPaneRowsHoldTheirTextAtTextSizes12And20)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    UserDefaults::standardUserDefaults().set(SettingsKeys::BaseFontSize, 12);

    // A verse gone to through the Bible go-to is listed among the recent verses.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(go, nullptr);
    ASSERT_TRUE(typeInto(go->verseComboBox()->lineEdit(), QStringLiteral("John 3:16")));
    pressKey(Qt::Key_Return);
    auto* recent = go->view()->findChild<QTableWidget*>(QStringLiteral("recentVerses"));
    ASSERT_TRUE(waitFor([recent] { return recent->rowCount() > 0; }));

    int heightAt12 = 0;
    int findHeightAt12 = 0;
    for (int size : {12, 20}) {
        SCOPED_TRACE(size);
        if (size != 12)
            setTextSize(window, size);
        ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
        ASSERT_TRUE(waitFor([recent] { return recent->isVisible() && recent->rowCount() > 0; }));
        const QString verse = recent->item(0, 0)->data(BibleVerseTableCellView::HtmlRole).toString();
        waitFor([&] { return bool(rowHoldsLines(recent, 0, verse, BibleVerseTableCellView::kTextLines, "")); });
        EXPECT_TRUE(rowHoldsLines(recent, 0, verse, BibleVerseTableCellView::kTextLines, "recent verse"));
        if (size == 12)
            heightAt12 = recent->rowHeight(0);
        else
            EXPECT_GT(recent->rowHeight(0), heightAt12);

        // Find: a hit row holds its title and its lines of verse text.
        ASSERT_TRUE(reader_test::choose(window, CommandNames::Find));
        auto* find = dynamic_cast<StudyPaneSearchResultsViewController*>(
            study->subpane(StudyPaneViewController::kSearchSubpane));
        ASSERT_TRUE(typeInto(find->searchField(), QString()));
        find->searchField()->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("world AND loved"));
        pressKey(Qt::Key_Return);
        ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
        QTableView* table = find->searchResultsTableView();
        int hit = 0;
        while (hit < table->model()->rowCount() &&
            table->model()->index(hit, 0).data(StudyPaneResultListModel::KindRole).toInt() !=
                StudyPaneResultListModel::LargeHit)
            ++hit;
        ASSERT_LT(hit, table->model()->rowCount()) << "no hit with its text";
        const QString html = table->model()->index(hit, 0).data(StudyPaneResultListModel::HtmlRole).toString();
        // The rows in view are measured once the list has taken the results in, not with them.
        waitFor([&] { return bool(rowHoldsLines(table, hit, html, StudyPaneHitList::kLargeRowTextLines, "")); });
        EXPECT_TRUE(rowHoldsLines(table, hit, html, StudyPaneHitList::kLargeRowTextLines, "find hit"));
        if (size == 12)
            findHeightAt12 = table->rowHeight(hit);
        else
            EXPECT_GT(table->rowHeight(hit), findHeightAt12);
        EXPECT_TRUE(TestSupport::waitForViewsPainted(window->window()));
        QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
        window->window()->grab().save(
            QStringLiteral(QS_BINARY_DIR "/screenshots/find-rows-at-text-size-%1.png").arg(size));
    }
}

// A reference typed in the Bible go-to wakes the Bible pane's renderer once as the typing starts (not
// at every key) and renders the place's first screen, and moves nothing; Return then shows the verse
// at the top with that screen. The field's caret then rests once the keys stop.
TEST_F(ReaderOnTheDesktop, ATypedReferenceWakesItsPaneOnceAndReturnShowsIt)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    BookPageView* page = kjvPage();
    ASSERT_NE(page, nullptr);
    const auto verseAtTop = [page] { return reader_test::keyAtTopOf(page); };
    const quint32 john91 =
        kjv->locations().keyForSection(kjv->locations().sectionForSyncString(QStringLiteral("John 9:1")));
    ASSERT_NE(john91, 0u);
    // The page has landed and settled where the reader started.
    const QString settled = QStringLiteral("qsPlacement.state==='idle'&&!qsPlacement.filling");
    ASSERT_TRUE(waitFor([&] { return verseAtTop() != 0 && reader_test::evaluate(page, settled).toBool(); }, 10000));
    const quint32 before = verseAtTop();
    ASSERT_NE(before, john91);
    reader_test::evaluate(page,
        QStringLiteral("window.wakes=0;var qsWakeOwn=qsWake;"
                       "qsWake=function(){window.wakes++;return qsWakeOwn();};0"));

    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(go, nullptr);
    QLineEdit* field = go->verseComboBox()->lineEdit();
    ASSERT_TRUE(typeInto(field, QStringLiteral("John 9:1")));
    ASSERT_TRUE(waitFor([&] { return reader_test::evaluate(page, QStringLiteral("window.wakes")).toInt() > 0; }));
    // The place's first screen is rendered while the reference stands in the field.
    ASSERT_TRUE(waitFor([&] { return page->blocks().hasReadyScreen(); }));
    EXPECT_EQ(reader_test::evaluate(page, QStringLiteral("window.wakes")).toInt(), 1);
    EXPECT_EQ(verseAtTop(), before);
    const int taken = page->blocks().readyScreensTaken();

    pressKey(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return verseAtTop() == john91; }, 10000)) << verseAtTop();
    // The go-to sent the screen readied for it.
    EXPECT_EQ(page->blocks().readyScreensTaken(), taken + 1);
    EXPECT_FALSE(page->blocks().hasReadyScreen());

    // Left alone, the field's caret stops blinking, shown; the next key sets it blinking again.
    const int flashTime = QApplication::cursorFlashTime();
    ASSERT_GT(flashTime, 0);
    CaretRest& caret = m_controller->caretRest();
    ASSERT_TRUE(typeInto(field, QString()));
    caret.setRestAfterMs(150);
    ASSERT_TRUE(waitFor([&] { return caret.resting(); }));
    EXPECT_EQ(QApplication::cursorFlashTime(), 0);
    ASSERT_TRUE(field->hasFocus());
    const QRect at = field->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const QImage shown = field->grab().toImage();
    const QColor base = field->palette().color(QPalette::Base);
    bool caretDrawn = false;
    for (int y = at.top(); y <= at.bottom() && !caretDrawn; ++y)
        for (int x = at.center().x() - 2; x <= at.center().x() + 2 && !caretDrawn; ++x)
            caretDrawn =
                shown.rect().contains(x, y) && std::abs(shown.pixelColor(x, y).lightness() - base.lightness()) > 100;
    EXPECT_TRUE(caretDrawn) << "no caret at " << at.x() << "," << at.y();
    QTest::keyClick(field, Qt::Key_End);
    EXPECT_FALSE(caret.resting());
    EXPECT_EQ(QApplication::cursorFlashTime(), flashTime);
    ASSERT_TRUE(waitFor([&] { return caret.resting(); }));
    caret.setRestAfterMs(CaretRest::kRestAfterMs);
}

// A change of the text size keeps the verse at the top of the page where it was (it used to move the
// reader a few verses on with every change), and a text size out of range is refused with a word why.
TEST_F(ReaderOnTheDesktop, TheTextSizeChangesAndTheVerseAtTheTopStays)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.set(SettingsKeys::BaseFontSize, 12);
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    LayoutBookPane* pane = layout ? asBookPane(layout->contentsAt(size_t(kjvRegion()))->viewController()) : nullptr;
    ASSERT_NE(pane, nullptr);
    BookPageView* page = pane->paneView()->findChild<BookPageView*>();
    ASSERT_NE(page, nullptr);
    const auto verseAtTop = [page] { return reader_test::keyAtTopOf(page); };
    const quint32 john316 =
        kjv->locations().keyForSection(kjv->locations().sectionForSyncString(QStringLiteral("John 3:16")));
    ASSERT_NE(john316, 0u);
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(go, nullptr);
    ASSERT_TRUE(typeInto(go->verseComboBox()->lineEdit(), QStringLiteral("John 3:16")));
    pressKey(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return verseAtTop() == john316; }, 10000)) << verseAtTop();
    // The reader scrolls on to the last line of the verse: the verse is still the one at the top. (The
    // page may still be filling in screens around the place gone to, and keeps its place while it does.)
    auto* bookPane = dynamic_cast<BookPaneViewController*>(pane);
    ASSERT_NE(bookPane, nullptr);
    const QString toLastLine =
        QStringLiteral("(function(){var s=document.querySelector('[data-verse-span=\"sel_s43.3.16\"]');"
                       "var b=s&&s.closest('div[id^=\"_b\"]');if(!b)return false;"
                       "window.scrollBy(0,Math.round(b.getBoundingClientRect().bottom)-10);return true;})()");
    ASSERT_TRUE(waitFor(
        [&] {
            reader_test::evaluate(page, toLastLine);
            return bookPane->currentSourceState()->yOffset() > 20;
        },
        10000))
        << bookPane->currentSourceState()->yOffset();
    ASSERT_EQ(verseAtTop(), john316);

    for (int size : {9, 20, 12}) {
        SCOPED_TRACE(size);
        setTextSize(window, size);
        EXPECT_TRUE(waitFor(
            [&] {
                // The page is drawn at the new size (points from the body's pixels) ...
                const int drawn = reader_test::evaluate(
                    page, QStringLiteral("Math.round(parseFloat(getComputedStyle(document.body).fontSize)*3/4)"))
                                      .toInt();
                // ... with the verse at its top.
                return drawn == size && verseAtTop() == john316;
            },
            10000))
            << "at the top: " << verseAtTop();
    }
    MASPreferencesWindowController* settings = openSettingsAt(window, QStringLiteral("DisplayPreferences"));
    ASSERT_NE(settings, nullptr);
    // Another font (the next in the list) keeps the verse at the top as well.
    QComboBox* font = settings_test::shownPage(settings)->popUp(QStringLiteral("fontPopUpButton"));
    ASSERT_NE(font, nullptr);
    ASSERT_GE(font->count(), 2);
    font->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(waitFor([font] { return font->hasFocus(); }, 5000));
    pressKey(font->currentIndex() + 1 < font->count() ? Qt::Key_Down : Qt::Key_Up);
    const QString family = defaults.value(SettingsKeys::BodyFont);
    ASSERT_EQ(family, font->currentText());
    EXPECT_TRUE(waitFor(
        [&] {
            return reader_test::evaluate(page, QStringLiteral("getComputedStyle(document.body).fontFamily"))
                       .toString()
                       .contains(family) &&
                verseAtTop() == john316;
        },
        10000))
        << "at the top: " << verseAtTop();

    // Text size 0 is refused: the size stays, the page keeps its text and the line beside the field says
    // why.
    QLineEdit* field = settings_test::shownPage(settings)->textField(QStringLiteral("baseFontSize"));
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(typeInto(field, QString()));
    field->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(defaults.value(SettingsKeys::BaseFontSize), 12);
    EXPECT_EQ(field->text(), QStringLiteral("12"));
    QLabel* why = settings_test::shownPage(settings)->rangeLabel(QStringLiteral("baseFontSize"));
    ASSERT_NE(why, nullptr);
    EXPECT_TRUE(why->isVisible());
    EXPECT_EQ(why->text(), QStringLiteral("0 is out of range: use 6 to 72 points."));
    pressKey(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([this] { return settingsWindow() == nullptr; }, 5000));
    EXPECT_EQ(verseAtTop(), john316);
    defaults.remove(SettingsKeys::BodyFont);
}

TEST_F(ReaderOnTheDesktop, ReturnLogsInAndEscapeClosesSettings)
{
    standin_test::Server server;
    ASSERT_NE(server.httpPort(), 0);
    QuillsteadWindowController* window = launch().mainWindowController();
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    ASSERT_NE(signIn(window, server), nullptr) << "Return in the password field did not log in";
    EXPECT_TRUE(defaults.value(SettingsKeys::CredentialsValid));

    // Escape closes the window, wherever the focus is.
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    ASSERT_EQ(focus->window(), settingsWindow());
    pressKey(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([this] { return settingsWindow() == nullptr; }, 5000)) << "Escape did not close Settings";
    EXPECT_TRUE(s_alerts->shown().isEmpty());

    // Log out again for the tests after this one.
    ASSERT_TRUE(logOut(window));
    EXPECT_FALSE(defaults.value(SettingsKeys::CredentialsValid));
}

TEST_F(ReaderOnTheDesktop, TheSettingsWindowStaysAboveTheMainWindow)
{
    QuillsteadWindowController* window = launch().mainWindowController();
    MASPreferencesWindowController* settings = openSettingsAt(window, QStringLiteral("GeneralPreferences"));
    ASSERT_NE(settings, nullptr);

    // A click on the main window makes it the active window; the settings window stays shown, a tool
    // window held in front of the main window by the window system.
    QMainWindow* main = window->window();
    QTest::mouseClick(main->centralWidget(), Qt::LeftButton, {}, QPoint(40, 40));
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    EXPECT_TRUE(settings->isVisible());
    ASSERT_NE(settings->windowHandle(), nullptr);
    EXPECT_EQ(settings->windowHandle()->transientParent(), main->windowHandle());
    EXPECT_TRUE(settings->windowHandle()->flags().testFlag(Qt::Tool));
    EXPECT_TRUE(settings->windowFlags().testFlag(Qt::Tool));

    // Under X: the window manager keeps a window above the one named in its WM_TRANSIENT_FOR.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QString xprop = QStandardPaths::findExecutable(QStringLiteral("xprop"));
        ASSERT_FALSE(xprop.isEmpty()) << "xprop (x11-utils) reads the window's properties";
        QProcess ask;
        ask.start(xprop,
            {QStringLiteral("-id"), QString::number(settings->windowHandle()->winId()),
                QStringLiteral("WM_TRANSIENT_FOR"), QStringLiteral("_NET_WM_WINDOW_TYPE")});
        ASSERT_TRUE(ask.waitForFinished(10000));
        const QString said = QString::fromLatin1(ask.readAllStandardOutput());
        qInfo().noquote() << "the settings window under X:" << said.simplified();
        const QString mainId = QStringLiteral("0x%1").arg(main->windowHandle()->winId(), 0, 16);
        EXPECT_TRUE(said.contains(QStringLiteral("window id # ") + mainId)) << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("_NET_WM_WINDOW_TYPE_UTILITY"))) << said.toStdString();
    }
}

TEST_F(ReaderOnTheDesktop, TypedAccountFieldsSurviveAPageSwitch)
{
    QuillsteadWindowController* window = launch().mainWindowController();
    MASPreferencesWindowController* settings = openSettingsAt(window, QStringLiteral("LoginPreferences"));
    ASSERT_NE(settings, nullptr);
    PreferencesViewController* account = settings_test::shownPage(settings);
    const QList<std::pair<QString, QString>> typed = {{QStringLiteral("customerID"), QStringLiteral("reader@x.test")},
        {QStringLiteral("password"), QStringLiteral("s3cret")}, {QStringLiteral("firstName"), QStringLiteral("Ruth")},
        {QStringLiteral("email"), QStringLiteral("ruth@x.test")}};
    for (const auto& [key, text] : typed)
        ASSERT_TRUE(typeInto(account->textField(key), text)) << key.toStdString();

    QAction* display = nullptr;
    QAction* customer = nullptr;
    for (QAction* button : settings->toolbar()->actions()) {
        if (button->objectName() == QLatin1String("DisplayPreferences"))
            display = button;
        if (button->objectName() == QLatin1String("LoginPreferences"))
            customer = button;
    }
    ASSERT_TRUE(display && customer);
    display->trigger();
    ASSERT_EQ(settings_test::shownPage(settings)->identifier(), QStringLiteral("DisplayPreferences"));
    customer->trigger();
    for (const auto& [key, text] : typed)
        EXPECT_EQ(account->textField(key)->text(), text) << key.toStdString();

    // Nothing typed is stored, and a new window starts afresh.
    EXPECT_FALSE(UserDefaults::standardUserDefaults().hasStoredValue(SettingsKeys::Password));
    EXPECT_EQ(qs::cloud::CustomerPassword::load(), QString());
    settings->close();
    ASSERT_TRUE(waitFor([this] { return settingsWindow() == nullptr; }, 5000));
    TestSupport::waitForQueuedWork();
    settings = openSettingsAt(window, QStringLiteral("LoginPreferences"));
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings_test::shownPage(settings)->textField(QStringLiteral("password"))->text(), QString());
    EXPECT_EQ(settings_test::shownPage(settings)->textField(QStringLiteral("firstName"))->text(), QString());
}

TEST_F(ReaderOnTheDesktop, ViewLogWithNoLauncherOpensTheReadersOwnWindow)
{
    // A desktop with no browser and no launcher for pages: nothing on the search path.
    QTemporaryDir emptyPath;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", emptyPath.path().toUtf8());
    QuillsteadWindowController* window = launch().mainWindowController();
    MASPreferencesWindowController* settings = openSettingsAt(window, QStringLiteral("SyncPreferences"));
    ASSERT_NE(settings, nullptr);
    auto* viewLog = settings_test::shownPage(settings)->findChild<QPushButton*>(QStringLiteral("viewLogButton"));
    ASSERT_NE(viewLog, nullptr);
    QTest::mouseClick(viewLog, Qt::LeftButton);
    qputenv("PATH", path);
    for (const Alert& alert : s_alerts->shown())
        ADD_FAILURE() << "alert: " << alert.messageText.toStdString() << " " << alert.informativeText.toStdString();

    QWebEngineView* shown = nullptr;
    EXPECT_TRUE(waitFor([&shown] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* view = w->findChild<QWebEngineView*>();
                view && w->isVisible() && view->url().fileName() == QLatin1String("CloudSyncLog.htm"))
                shown = view;
        return shown != nullptr;
    })) << "the log was not shown in a window of the reader";
    if (shown != nullptr) {
        EXPECT_TRUE(waitFor([shown] { return !TestSupport::pageText(shown->page(), 5000).isEmpty(); }));
        // Escape puts the log away.
        QPointer<QWidget> log(shown->window());
        pressIn(log, QKeySequence(Qt::Key_Escape));
        EXPECT_TRUE(waitFor([&log] { return log.isNull() || !log->isVisible(); }, 5000)) << "Escape left the log open";
        if (log != nullptr && log->isVisible())
            log->close();
    }
}

TEST_F(ReaderOnTheDesktop, TheBusyIndicatorIsHiddenWhileAnAlertShows)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    LayoutView* view = panes()->view();
    // The alert stays up, as a modal alert does, for as long as the busy indicator would take to show.
    bool busyWhileShown = false;
    s_alerts->setWhileShown([&busyWhileShown, view](const Alert&) {
        auto busy = [view] { return view->isBusyIndicatorRunning(); };
        busyWhileShown = busyWhileShown || busy() || waitFor(busy, GoToRouter::kBusyIndicatorDelayMs + 1000);
    });

    // A Strong's link that no installed dictionary holds.
    GoToRequest go;
    go.layoutUuid = reader_test::programEnvironment().layoutManager().currentLayout()->uuidString();
    go.href = QStringLiteral("sync:\\\\H999999");
    go.post(reader_test::programEnvironment().notifications(), nullptr);
    ASSERT_TRUE(waitFor([] { return !s_alerts->shown().isEmpty(); }));
    s_alerts->setWhileShown({});
    EXPECT_EQ(s_alerts->shown()[0].messageText, QStringLiteral("Entry not found in any installed dictionary."));
    EXPECT_FALSE(busyWhileShown) << "the busy indicator showed behind the alert";
    EXPECT_FALSE(view->isBusyIndicatorRunning());

    // Whatever modal window is up (here a message box of the window's own), the indicator waits.
    QMessageBox box(QMessageBox::Information, QStringLiteral("Quillstead"), QStringLiteral("Wait"), QMessageBox::Ok,
        window->window());
    bool busyBehindTheBox = true;
    EXPECT_TRUE(TestSupport::whenShown<QMessageBox>([&box] { box.exec(); },
        [&](QMessageBox* shown) {
            view->setBusyIndicatorRunning(true);
            busyBehindTheBox = view->isBusyIndicatorRunning();
            shown->accept();
        }));
    EXPECT_FALSE(busyBehindTheBox);
    view->setBusyIndicatorRunning(false);
}

TEST_F(ReaderOnTheDesktop, ThePanesTabButtonsLieBesideItsTabsAndTheLastCloseBoxCloses)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    BookPaneViewController* pane = bookPaneAt(kjvRegion());
    ASSERT_NE(pane, nullptr);
    const auto books = SourceManager::singleton().allSources();
    for (const char* file : {"StrongsGreek.tvk", "DailyReadings.tvk"}) {
        const SourceTuple::Ptr t =
            books->tupleForFile(QDir(AppFolders::booksDirectory()).filePath(QString::fromLatin1(file)));
        ASSERT_TRUE(t) << file;
        asBookPane(pane)->openBookFromDictionary(
            {{QStringLiteral("pubid"), t->record().pubID}, {QStringLiteral("bookid"), t->record().bookID},
                {QStringLiteral("edition"), t->record().editionNumber},
                {QStringLiteral("revision"), t->record().revisionNumber}},
            true);
    }
    PaneTabBar* tabs = pane->tabBar();
    ASSERT_TRUE(waitFor([tabs] { return tabs->count() == 3; })) << tabs->count() << " tabs";
    QMainWindow* main = window->window();
    QWidget* header = tabs->parentWidget();
    ASSERT_NE(header, nullptr);
    auto* overflow = header->findChild<QToolButton*>(QStringLiteral("tabOverflowButton"));
    ASSERT_NE(overflow, nullptr);

    // Every control of the tab row where the window shows it, in the row's coordinates; a tab's close
    // box only as far as it shows inside the bar.
    const auto controls = [&] {
        QList<std::pair<QString, QRect>> shown;
        const QRect bar(tabs->mapTo(header, QPoint(0, 0)), tabs->size());
        for (int i = 0; i < tabs->count(); ++i)
            if (QWidget* close = tabs->tabButton(i, QTabBar::RightSide); close != nullptr && close->isVisible()) {
                const QRect r = QRect(close->mapTo(header, QPoint(0, 0)), close->size()).intersected(bar);
                if (!r.isEmpty())
                    shown.append({QStringLiteral("close box %1").arg(i), r});
            }
        for (QToolButton* arrow : tabs->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
            if (arrow->isVisible())
                shown.append(
                    {QStringLiteral("scroll arrow"), QRect(arrow->mapTo(header, QPoint(0, 0)), arrow->size())});
        shown.append({QStringLiteral("+"), tabs->addButton()->geometry()});
        shown.append({QStringLiteral("\u00BB"), overflow->geometry()});
        return shown;
    };
    for (int width : {1280, 800}) {
        SCOPED_TRACE(width);
        main->resize(width, 800);
        ASSERT_TRUE(waitFor([&] { return main->width() == width && header->width() < width; }));
        QCoreApplication::processEvents();
        const auto shown = controls();
        for (qsizetype i = 0; i < shown.size(); ++i) {
            EXPECT_TRUE(header->rect().contains(shown[i].second)) << shown[i].first.toStdString() << " outside the row";
            for (qsizetype j = i + 1; j < shown.size(); ++j)
                // (The bar's own two arrows are drawn as one control.)
                EXPECT_TRUE(shown[i].first == shown[j].first || !shown[i].second.intersects(shown[j].second))
                    << shown[i].first.toStdString() << " and " << shown[j].first.toStdString() << " overlap";
        }
        if (width == 800) {
            EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const auto& c) {
                return c.first == "scroll arrow";
            })) << "three tabs fit in a pane of an 800 px window";
        }
    }

    // A click on the last tab's close box, where the window shows it, closes that tab.
    main->resize(1280, 800);
    ASSERT_TRUE(waitFor([&] { return main->width() == 1280; }));
    tabs->setCurrentIndex(2);
    QWidget* close = tabs->tabButton(2, QTabBar::RightSide);
    ASSERT_TRUE(close != nullptr && waitFor([close] { return close->isVisible(); }));
    clickWhereTheWindowShows(main, close);
    EXPECT_TRUE(waitFor([tabs] { return tabs->count() == 2; })) << tabs->count() << " tabs";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ReaderOnTheDesktop, OneClickOnACloseBoxInAPaneThatIsNotCurrentClosesItsTab)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    const int kjvAt = kjvRegion();
    BookPaneViewController* pane = bookPaneAt(kjvAt);
    ASSERT_NE(pane, nullptr);
    const SourceTuple::Ptr greek = SourceManager::singleton().allSources()->tupleForFile(
        QDir(AppFolders::booksDirectory()).filePath(QStringLiteral("StrongsGreek.tvk")));
    ASSERT_TRUE(greek);
    asBookPane(pane)->openBookFromDictionary(
        {{QStringLiteral("pubid"), greek->record().pubID}, {QStringLiteral("bookid"), greek->record().bookID},
            {QStringLiteral("edition"), greek->record().editionNumber},
            {QStringLiteral("revision"), greek->record().revisionNumber}},
        true);
    PaneTabBar* tabs = pane->tabBar();
    ASSERT_TRUE(waitFor([tabs] { return tabs->count() == 2; })) << tabs->count() << " tabs";

    // A second pane beside it, made current with a click in it: the King James pane is not current.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::SplitPaneVertically));
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    int other = -1;
    ASSERT_TRUE(waitFor([&] {
        for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i)
            if (int(i) != kjvAt && bookPaneAt(int(i)) != nullptr && bookPaneAt(int(i))->view()->isVisible())
                other = int(i);
        return other >= 0;
    }));
    ASSERT_TRUE(reader_test::clickPane(panes(), other));
    ASSERT_TRUE(waitFor([pane] { return !pane->isPaneCurrent(); }));

    // One click on the second tab's close box, where the window shows it, closes that tab.
    QMainWindow* main = window->window();
    QWidget* close = tabs->tabButton(1, QTabBar::RightSide);
    ASSERT_TRUE(close != nullptr && waitFor([close] { return close->isVisible(); }));
    clickWhereTheWindowShows(main, close);
    EXPECT_TRUE(waitFor([tabs] { return tabs->count() == 1; })) << tabs->count() << " tabs";
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("KJV"));
    // The click was in that pane: it is the current one now.
    EXPECT_TRUE(waitFor([pane] { return pane->isPaneCurrent(); }));
}

// The Help book's way of moving one chapter at a time: in Settings > General a click in the scroller's
// track is made to step by chapter; then each click in the book's bar below its handle shows the next
// chapter.
TEST_F(ReaderOnTheDesktop, WithStepsByChapterEachClickInTheBooksBarShowsTheNextChapter)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    BookPageView* page = kjvPage();
    BookPaneViewController* pane = bookPaneAt(kjvRegion());
    ASSERT_TRUE(page != nullptr && pane != nullptr);
    const auto verseAtTop = [page] { return reader_test::keyAtTopOf(page); };
    const quint32 john91 =
        kjv->locations().keyForSection(kjv->locations().sectionForSyncString(QStringLiteral("John 9:1")));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(go, nullptr);
    ASSERT_TRUE(typeInto(go->verseComboBox()->lineEdit(), QStringLiteral("John 9:1")));
    pressKey(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return verseAtTop() == john91; }, 10000)) << verseAtTop();

    // Settings > General: "A click in the scroller's track" set to "Steps by chapter, reading or section"
    // (and back to paging when the test ends, however it ends).
    const std::unique_ptr<void, void (*)(void*)> restore(reinterpret_cast<void*>(1), [](void*) {
        UserDefaults::standardUserDefaults().set(SettingsKeys::ScrollTrackInterval, QStringLiteral("page"));
    });
    MASPreferencesWindowController* settings = openSettingsAt(window, QStringLiteral("GeneralPreferences"));
    ASSERT_NE(settings, nullptr);
    QComboBox* track = settings_test::shownPage(settings)->popUp(QStringLiteral("scrollTrackIntervalPopUpButton"));
    ASSERT_NE(track, nullptr);
    ASSERT_EQ(track->itemText(1), QStringLiteral("Steps by chapter, reading or section"));
    track->setFocus(Qt::TabFocusReason);
    QTest::keyClick(track, Qt::Key_Down);
    EXPECT_EQ(track->currentIndex(), 1);
    EXPECT_EQ(UserDefaults::standardUserDefaults().value(SettingsKeys::ScrollTrackInterval), QStringLiteral("perbook"));
    settings->close();
    ASSERT_TRUE(waitFor([this] { return settingsWindow() == nullptr; }, 5000));

    // A click in the book's bar below its handle, twice: John 10, then John 11.
    BookPaneScroller* bar = pane->scroller();
    ASSERT_TRUE(bar != nullptr && bar->isVisible());
    for (const quint32 chapter : {10u, 11u}) {
        SCOPED_TRACE(chapter);
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        option.upsideDown = bar->invertedAppearance();
        const QRect handle =
            bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
        const QRect below =
            bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddPage, bar);
        ASSERT_FALSE(below.isEmpty()) << "no track below the handle at " << handle.y();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, below.center());
        EXPECT_TRUE(waitFor([&] { return verseAtTop() >> 8 == ((john91 >> 8) & ~0xFFu) + chapter; }, 10000))
            << std::hex << verseAtTop();
    }
}

TEST_F(ReaderOnTheDesktop, ABookFileTheLibraryRefusesIsSaidOnceWithoutStoppingTheReader)
{
    QuillsteadWindowController* window = launch().mainWindowController();
    // A book file cut short, as a broken download leaves it, arrives in the books folder.
    QFile whole(QDir(TestSupport::bundledBooksFolder()).filePath(QStringLiteral("KJV.tvk")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.read(whole.size() / 2);
    const QString path = QDir(AppFolders::booksDirectory()).filePath(QStringLiteral("Half a Bible.tvk"));
    QFile part(path);
    ASSERT_TRUE(part.open(QIODevice::WriteOnly) && part.write(bytes) == bytes.size());
    part.close();
    const QString folder = SourceManager::singleton().folders().refused;
    QFile::remove(QDir(folder).filePath(QStringLiteral("Half a Bible.tvk")));
    reader_test::programEnvironment().notifications().postNotificationName(
        LibraryNotifications::qsBookFileCopiedToBooksFolder, nullptr, {{QStringLiteral("path"), path}});

    // One notice over the window names the file, why it was refused and where it went; the
    // reader goes on, with no modal window.
    const auto notices = [] {
        QList<QMessageBox*> shown;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w);
                box != nullptr && box->isVisible() && box->objectName() == QLatin1String("refusedBooksNotice"))
                shown.append(box);
        return shown;
    };
    ASSERT_TRUE(waitFor([&] { return !notices().isEmpty(); })) << "no notice";
    QMessageBox* notice = notices().first();
    const QString said = notice->text() + QLatin1Char('\n') + notice->informativeText();
    EXPECT_TRUE(said.contains(QStringLiteral("\u201CHalf a Bible.tvk\u201D"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QLatin1String("(error 223)"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QDir::toNativeSeparators(folder))) << said.toStdString();
    EXPECT_FALSE(notice->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(notice->parentWidget(), window->window());
    EXPECT_TRUE(s_alerts->shown().isEmpty());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QFile::exists(QDir(folder).filePath(QStringLiteral("Half a Bible.tvk"))));
    // Said once: a second refused file brings its own notice, which does not name the first again.
    const QString junk = QDir(AppFolders::booksDirectory()).filePath(QStringLiteral("Not a Book.tvk"));
    QFile::remove(QDir(folder).filePath(QStringLiteral("Not a Book.tvk")));
    QFile other(junk);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly) && other.write(QByteArray(100, 'j')) == 100);
    other.close();
    reader_test::programEnvironment().notifications().postNotificationName(
        LibraryNotifications::qsBookFileCopiedToBooksFolder, nullptr, {{QStringLiteral("path"), junk}});
    ASSERT_TRUE(waitFor([&] { return notices().size() == 2; })) << notices().size() << " notices";
    for (QMessageBox* box : notices())
        if (box != notice) {
            EXPECT_TRUE(box->informativeText().contains(QLatin1String("Not a Book.tvk")));
            EXPECT_FALSE(box->informativeText().contains(QLatin1String("Half a Bible.tvk")));
        }
    for (QMessageBox* box : notices())
        box->close();
}

TEST_F(ReaderOnTheDesktop, WindowsOpenOnTheScreenWithTheirTitleBars)
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    for (const char* key : {"mainWindowOriginX", "mainWindowOriginY", "mainWindowWidth", "mainWindowHeight",
             "MASPreferences Frame Top Left"})
        defaults.removeObjectForKey(QString::fromLatin1(key));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();

    // The first start: the window manager places the main window, its title bar on the screen.
    QuillsteadWindowController* window = launch().mainWindowController();
    QMainWindow* main = window->window();
    QRect mainFrame = shownFrame(main);
    EXPECT_TRUE(area.contains(mainFrame.topLeft())) << mainFrame.x() << "," << mainFrame.y();
    if (underX()) {
        EXPECT_LT(mainFrame.top(), main->geometry().top()) << "no title bar above the window";
    }

    // Settings opens centred on the main window, inside the screen, with its title bar.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Settings));
    MASPreferencesWindowController* settings = TestSupport::waitForWindow<MASPreferencesWindowController>();
    ASSERT_NE(settings, nullptr);
    QRect frame = shownFrame(settings);
    EXPECT_TRUE(onScreen(frame, "Settings"));
    // Centred on the main window as it stands when Settings opens (on a loaded machine the window
    // manager may still be placing it when the first frame was read).
    mainFrame = shownFrame(main);
    EXPECT_LE(
        (frame.topLeft() - DesktopWindows::centredFrameOrigin(frame.size(), mainFrame, area)).manhattanLength(), 40)
        << "Settings at " << frame.x() << "," << frame.y() << ", the main window at " << mainFrame.x() << ","
        << mainFrame.y();
    if (underX()) {
        EXPECT_LT(frame.top(), settings->geometry().top()) << "no title bar above Settings";
    }
    settings->close();
    ASSERT_TRUE(waitFor([this] { return settingsWindow() == nullptr; }, 5000));

    // Places stored for a screen that is gone now: both windows come back onto this one.
    quit();
    defaults.set(SettingsKeys::MainWindowOriginX, double(float(area.right() + 3000)));
    defaults.set(SettingsKeys::MainWindowOriginY, double(float(area.top() - 2000)));
    defaults.set(SettingsKeys::PreferencesTopLeft,
        QStringLiteral("{%1, %2}").arg(area.right() + 5000).arg(area.bottom() + 4000));
    window = launch().mainWindowController();
    main = window->window();
    mainFrame = shownFrame(main);
    EXPECT_TRUE(area.contains(mainFrame.topLeft())) << mainFrame.x() << "," << mainFrame.y();
    settings = openSettingsAt(window, QStringLiteral("GeneralPreferences"));
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(onScreen(shownFrame(settings), "Settings from a place off the screen"));
}

TEST_F(ReaderOnTheDesktop, CtrlWClosesTheWindowItIsPressedInAndEscapeADialog)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);

    // A dialog closes with Escape; the report its study opens closes with Ctrl+W.
    bool escaped = false;
    EXPECT_TRUE(TestSupport::whenShown<AutostudyTodayWindowController>(
        [&] { EXPECT_TRUE(reader_test::choose(window, CommandNames::AutostudyToday)); },
        [&](AutostudyTodayWindowController* dialog) {
            pressIn(dialog, QKeySequence(Qt::Key_Escape));
            escaped = waitFor([dialog] { return !dialog->isVisible(); }, 5000);
            if (!escaped)
                dialog->onClose();
        }));
    EXPECT_TRUE(escaped) << "Escape left the dialog open";
    EXPECT_TRUE(TestSupport::whenShown<AutostudyTodayWindowController>(
        [&] { EXPECT_TRUE(reader_test::choose(window, CommandNames::AutostudyToday)); },
        [](AutostudyTodayWindowController* dialog) { dialog->onPerformAutostudy(); }));
    AutostudyResultsWindowController* report = TestSupport::waitForWindow<AutostudyResultsWindowController>();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->windowTitle().startsWith(QStringLiteral("Autostudy ")));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(report));
    QPointer<AutostudyResultsWindowController> reportAlive(report);
    pressIn(report, QKeySequence(QStringLiteral("Ctrl+W")));
    EXPECT_TRUE(waitFor([&] { return reportAlive.isNull() || !reportAlive->isVisible(); }, 5000))
        << "Ctrl+W left the report open";

    // Settings closes with Ctrl+W too.
    MASPreferencesWindowController* settings = openSettingsAt(window, QStringLiteral("GeneralPreferences"));
    ASSERT_NE(settings, nullptr);
    pressIn(settings, QKeySequence(QStringLiteral("Ctrl+W")));
    EXPECT_TRUE(waitFor([this] { return settingsWindow() == nullptr; }, 5000)) << "Ctrl+W left Settings open";

    // In the main window the key closes the current book, as before.
    const int tabs = bookPaneAt(kjvRegion())->tabBar()->count();
    pressIn(window->window(), QKeySequence(QStringLiteral("Ctrl+W")));
    EXPECT_TRUE(waitFor([&] {
        return panes()->activeSourceTuple() == nullptr || bookPaneAt(kjvRegion()) == nullptr ||
            bookPaneAt(kjvRegion())->tabBar()->count() < tabs;
    }));
    EXPECT_TRUE(window->window()->isVisible());
}

TEST_F(ReaderOnTheDesktop, TheKeyboardReachesThePagesAndTheirMenu)
{
    QuillsteadWindowController* window = launch().mainWindowController();
    QMainWindow* main = window->window();
    const auto focusedPage = [&]() -> BookPageView* {
        QWidget* focus = QApplication::focusWidget();
        for (QWidget* w = focus; w != nullptr; w = w->parentWidget())
            if (auto* page = qobject_cast<BookPageView*>(w))
                return page;
        return nullptr;
    };
    const auto currentPage = [&]() -> BookPageView* {
        LayoutBookPane* pane = panes()->currentBookPane();
        return pane != nullptr ? pane->paneView()->findChild<BookPageView*>() : nullptr;
    };

    // The keys start in the current pane's page once the window is active, on the first start and
    // after a restart.
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start == 0 ? "first start" : "after a restart");
        if (start == 1) {
            quit();
            window = launch().mainWindowController();
            main = window->window();
        }
        // (The window manager makes the new window active; the offscreen platform has none.)
        main->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(main));
        EXPECT_TRUE(waitFor([&] { return focusedPage() != nullptr && focusedPage() == currentPage(); }))
            << "at the start the keys are in " << keysAreIn();
    }
    // The first screen has three book panes.
    LayoutGoToPanes& go = panes()->goToPanes();
    ASSERT_TRUE(activateKjv());
    StudyPaneViewController* study = studyPane();
    ASSERT_NE(study, nullptr);
    const SourceTuple::Ptr kjv = panes()->activeSourceTuple();

    // Ctrl+] goes to the next pane, and the keys go with it; round the panes back to the Bible's.
    const int kjvPane = kjvRegion();
    for (int step = 0; step < 6 && (step == 0 || go.currentRegion() != kjvPane); ++step) {
        const int before = go.currentRegion();
        ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(QStringLiteral("Ctrl+]"))));
        ASSERT_TRUE(waitFor([&] { return go.currentRegion() != before; }));
        EXPECT_TRUE(waitFor([&] { return focusedPage() != nullptr && focusedPage() == currentPage(); }))
            << "the keys are in "
            << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing");
    }
    ASSERT_EQ(go.currentRegion(), kjvPane);

    // The page's keys scroll it: down with PageDown, Down and End, up with PageUp, Up and Home.
    BookPageView* page = currentPage();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitFor([&] {
        return reader_test::evaluate(page, QStringLiteral("!!document.querySelector('[id^=\"_s\"]')")).toBool();
    }));
    const auto offset = [&] { return reader_test::evaluate(page, QStringLiteral("window.pageYOffset")).toDouble(); };
    for (const auto& [key, direction] : std::initializer_list<std::pair<Qt::Key, int>> {{Qt::Key_PageDown, 1},
             {Qt::Key_Down, 1}, {Qt::Key_PageUp, -1}, {Qt::Key_End, 1}, {Qt::Key_Up, -1}, {Qt::Key_Home, -1}}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        double was = offset();
        // The page settles first (a fill after the last key may still move it).
        waitFor(
            [&] {
                const double now = offset();
                const bool same = now == was;
                was = now;
                return same;
            },
            3000);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_TRUE(waitFor([&] { return (offset() - was) * direction > 0; }, 5000)) << "the page stays at " << was;
    }

    // Shift+F10 opens the page's menu at the verse at the top, for that verse.
    const TestSupport::ShownPopupMenu menu = TestSupport::readPopupMenu(
        [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier); });
    ASSERT_FALSE(menu.titles.isEmpty()) << "no menu";
    const QString all = menu.titles.join(QLatin1Char('|'));
    EXPECT_TRUE(all.contains(QRegularExpression(QStringLiteral("Highlight [1-3A-Z][a-z]* \\d+:\\d+"))))
        << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("Bookmark "))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("Note "))) << all.toStdString();
    const QRect pageOnScreen(page->mapToGlobal(QPoint(0, 0)), page->size());
    // (A screen smaller than the window pushes the menu inside it.)
    if (QGuiApplication::primaryScreen()->availableGeometry().contains(pageOnScreen)) {
        EXPECT_TRUE(pageOnScreen.contains(menu.geometry.topLeft())) << "the menu opens away from the page";
    }

    // Tab from the study pane's field reaches the pages, each one stop of the Tab order: at 1 Cor
    // 15:40 the King James page keeps the verse at its top (its first Strong's link lies above it)
    // and its document has the keys, none of its links. So does it for Shift+Tab.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* gotoPane = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(gotoPane, nullptr);
    QLineEdit* field = gotoPane->verseComboBox()->lineEdit();
    ASSERT_TRUE(typeInto(field, QString()));
    field->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("1 Cor 15:40"));
    pressKey(Qt::Key_Return);
    BookPageView* bible = kjvPage();
    ASSERT_NE(bible, nullptr);
    const quint32 verse =
        kjv->locations().keyForSection(kjv->locations().sectionForSyncString(QStringLiteral("1 Cor 15:40")));
    ASSERT_TRUE(waitFor([&] { return reader_test::keyAtTopOf(bible) == verse; }, 10000));
    ASSERT_TRUE(typeInto(field, QString()));
    for (int presses = 0; presses < 80 && focusedPage() != bible; ++presses)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : main, Qt::Key_Tab);
    ASSERT_EQ(focusedPage(), bible) << "Tab never entered the King James page";
    EXPECT_TRUE(waitFor([&] { return focusedPage() == currentPage(); })) << "the pane Tab entered is not current";
    const auto keptItsPlace = [&](const char* how) {
        EXPECT_TRUE(waitFor([&] {
            return reader_test::evaluate(bible, QStringLiteral("document.hasFocus()")).toBool();
        })) << how;
        EXPECT_EQ(reader_test::evaluate(bible, QStringLiteral("document.activeElement.tagName")).toString(),
            QStringLiteral("BODY"))
            << how;
        EXPECT_EQ(reader_test::keyAtTopOf(bible), verse) << how;
    };
    keptItsPlace("Tab");
    // Tab again leaves the page; Shift+Tab comes back into it, and Shift+Tab again leaves it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_NE(focusedPage(), bible) << "the second Tab stayed in the page";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(focusedPage(), bible) << "Shift+Tab went to " << keysAreIn();
    keptItsPlace("Shift+Tab");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_NE(focusedPage(), bible) << "the second Shift+Tab stayed in the page";
    EXPECT_EQ(reader_test::keyAtTopOf(bible), verse);
}

TEST_F(ReaderOnTheDesktop, TheHelpAndTheLocationSyncWindowNameWhatTheWindowShows)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);

    // The help tells where a reference is typed as the window names it.
    ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(Qt::Key_F1)));
    ASSERT_TRUE(waitFor([&] {
        const SourceTuple::Ptr active = panes()->activeSourceTuple();
        return active != nullptr && active->record().name == QStringLiteral("Quillstead Help");
    }));
    BookPageView* help = panes()->currentBookPane()->paneView()->findChild<BookPageView*>();
    ASSERT_NE(help, nullptr);
    QString text;
    ASSERT_TRUE(waitFor([&] {
        return (text = TestSupport::pageText(help->page(), 5000)).contains(QStringLiteral("Moving through a book"));
    }));
    EXPECT_FALSE(text.contains(QStringLiteral("location field"), Qt::CaseInsensitive));
    EXPECT_TRUE(text.contains(QStringLiteral("Go To field"))) << text.left(2000).toStdString();

    // The Location Sync dialog, from the page's menu by the keyboard, shows its whole title and
    // closes with Escape.
    ASSERT_TRUE(activateKjv());
    BookPageView* page = panes()->currentBookPane()->paneView()->findChild<BookPageView*>();
    ASSERT_NE(page, nullptr);
    page->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(waitFor([page] { return page->hasFocus() || page->isAncestorOf(QApplication::focusWidget()); }));
    bool titled = false;
    bool escaped = false;
    const bool shown = TestSupport::whenShown<QDialog>(
        [&] {
            EXPECT_TRUE(TestSupport::choosePopupMenuItem(
                [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier); },
                {QStringLiteral("Location Sync")}));
        },
        [&](QDialog* dialog) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Location Sync Options"));
            titled = dialog->width() >= DesktopWindows::titleBarWidth(dialog->windowTitle());
            EXPECT_TRUE(onScreen(shownFrame(dialog), "Location Sync Options"));
            pressIn(dialog, QKeySequence(Qt::Key_Escape));
            escaped = waitFor([dialog] { return !dialog->isVisible(); }, 5000);
            if (!escaped)
                dialog->reject();
        });
    ASSERT_TRUE(shown) << "no Location Sync dialog";
    EXPECT_TRUE(titled) << "the dialog is too narrow for its title";
    EXPECT_TRUE(escaped) << "Escape left the dialog open";
}

TEST_F(ReaderOnTheDesktop, ASyncFromTheToolbarShowsItsProgressAndSaysItEnded)
{
    standin_test::Server server;
    ASSERT_NE(server.httpPort(), 0);
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    ASSERT_NE(signIn(window, server), nullptr);
    settingsWindow()->close();
    ASSERT_TRUE(waitFor([this] { return settingsWindow() == nullptr; }, 5000));

    // The toolbar's Cloud Sync: its busy item shows (for a moment at least), then a toast says the
    // sync ended and the button is back.
    QStringList toasts;
    QObject::connect(&app, &QuillsteadAppController::toastShown, [&toasts](const QString& m) { toasts << m; });
    QToolBar* toolbar = window->toolbar();
    const auto busy = [toolbar] {
        for (QAction* item : toolbar->actions())
            if (item->objectName() == QLatin1String("progress") || item->objectName() == QLatin1String("progressTemp"))
                return true;
        return false;
    };
    QAction* button = nullptr;
    for (QAction* item : toolbar->actions())
        if (item->objectName() == QLatin1String(CommandNames::SyncNow.name))
            button = item;
    ASSERT_NE(button, nullptr) << "no Cloud Sync button in the toolbar";
    QElapsedTimer clock;
    clock.start();
    button->trigger();
    EXPECT_TRUE(waitFor(busy, 10000)) << "no progress shown";
    ASSERT_TRUE(waitFor([&] { return !toasts.isEmpty(); }, 30000)) << "the sync's end was not said";
    EXPECT_EQ(toasts.value(0), QuillsteadSyncDelegate::syncFinishedMessage());
    EXPECT_TRUE(waitFor([&] { return !busy(); }, 10000));
    EXPECT_GE(clock.elapsed(), QuillsteadSyncDelegate::kMinimumBusyMs - 50) << "the progress was gone too soon";
    EXPECT_TRUE(s_alerts->shown().isEmpty());

    // Log out again for the tests after this one.
    ASSERT_TRUE(logOut(window));
}

}  // namespace

TEST_F(ReaderOnTheDesktop, TheFirstStartAndOpenBookWorkFromTheKeyboard)
{
    using qs::cloud::OpenBookSheetWindowController;
    // The first start: the King James pane is current, so the welcome book's first step (Go To,
    // "John 3", Return) moves it.
    QuillsteadWindowController* window = launch().mainWindowController();
    QMainWindow* main = window->window();
    LayoutGoToPanes& go = panes()->goToPanes();
    int kjv = -1;
    ASSERT_TRUE(waitFor([&] { return (kjv = kjvRegion()) >= 0 && bookPaneAt(kjv)->currentSourceSection() != 0; }));
    EXPECT_TRUE(waitFor([&] { return go.currentRegion() == kjv; })) << "current: " << go.currentRegion();
    ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(QStringLiteral("Ctrl+L"))));
    StudyPaneBibleGotoViewController* gotoPane = nullptr;
    ASSERT_TRUE(waitFor([&] {
        gotoPane = dynamic_cast<StudyPaneBibleGotoViewController*>(studyPane()->subpaneViewController());
        QWidget* focus = QApplication::focusWidget();
        return gotoPane != nullptr && focus != nullptr &&
            (focus == gotoPane->verseComboBox() || gotoPane->verseComboBox()->isAncestorOf(focus));
    })) << "Go To is "
        << (gotoPane != nullptr ? "the Bible's" : "not the Bible's") << "; the keys are in "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing");
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("John 3"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    const auto shownIn = [this](int region) {
        BookPaneViewController* pane = bookPaneAt(region);
        const SourceTuple::Ptr book = pane != nullptr ? pane->currentSourceTuple() : nullptr;
        if (book == nullptr || pane->currentSourceSection() == 0)
            return QString();
        const quint32 key = book->locations().keyForSection(quint32(pane->currentSourceSection()));
        return key == 0 ? QString() : BibleRef::bibleRefWithStartKey(key, key).fullSpelling();
    };
    EXPECT_TRUE(waitFor([&] { return shownIn(kjv).startsWith(QStringLiteral("John 3")); }))
        << "the King James pane shows " << shownIn(kjv).toStdString();
    // Go To again: the field's last reference is selected, so the one typed replaces it.
    ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(QStringLiteral("Ctrl+L"))));
    ASSERT_TRUE(waitFor([&] { return gotoPane->verseComboBox()->lineEdit()->hasFocus(); }));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("John 9"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return shownIn(kjv).startsWith(QStringLiteral("John 9")); }))
        << "the King James pane shows " << shownIn(kjv).toStdString() << "; the field reads "
        << gotoPane->verseComboBox()->currentText().toStdString();

    // Ctrl+] goes through the book panes in reading order: row by row from the top, left to right,
    // as the panes lie in the window.
    std::vector<int> order;
    for (int region = 0; region < go.regionCount(); ++region)
        if (go.bookPaneAt(region) != nullptr)
            order.push_back(region);
    const auto placeOf = [&](int region) { return go.bookPaneAt(region)->paneView()->mapTo(main, QPoint(0, 0)); };
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return placeOf(a).y() != placeOf(b).y() ? placeOf(a).y() < placeOf(b).y() : placeOf(a).x() < placeOf(b).x();
    });
    ASSERT_EQ(order.size(), 3u);
    std::vector<int> visited {go.currentRegion()};
    for (int step = 0; step < 3; ++step) {
        const int before = go.currentRegion();
        ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(QStringLiteral("Ctrl+]"))));
        ASSERT_TRUE(waitFor([&] { return go.currentRegion() != before; }));
        visited.push_back(go.currentRegion());
    }
    const auto start = std::find(order.begin(), order.end(), visited.front());
    ASSERT_NE(start, order.end());
    for (size_t i = 0; i < visited.size(); ++i)
        EXPECT_EQ(visited[i], order[(size_t(start - order.begin()) + i) % order.size()]) << "step " << i;

    // A pane's "+", clicked as the reader does (a pane that is not current takes the first click),
    // opens Open Book; the keys choose a book there and Return opens it in that pane, which is then
    // the current one: Go To and the keys act on it.
    int target = -1;
    for (int region : order)
        if (region != go.currentRegion())
            target = region;
    ASSERT_GE(target, 0);
    QWidget* plus = bookPaneAt(target)->tabBar()->addButton();
    OpenBookSheetWindowController* sheet = nullptr;
    for (int clicks = 0; clicks < 2 && sheet == nullptr; ++clicks) {
        const QPoint at = plus->mapTo(main, plus->rect().center());
        QWidget* hit = main->childAt(at);
        ASSERT_NE(hit, nullptr);
        QTest::mouseClick(hit, Qt::LeftButton, Qt::NoModifier, hit->mapFrom(main, at));
        waitFor([&] { return (sheet = TestSupport::shownWindow<OpenBookSheetWindowController>()) != nullptr; }, 2000);
    }
    ASSERT_NE(sheet, nullptr) << "the pane's + opened no Open Book";
    auto* kinds = sheet->findChild<QListWidget*>(QStringLiteral("BookKinds"));
    auto* books = sheet->findChild<QListWidget*>(QStringLiteral("Books"));
    ASSERT_TRUE(kinds != nullptr && books != nullptr);
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
    // The keys start in the book list; Left goes to the kinds.
    ASSERT_TRUE(waitFor([books] { return QApplication::focusWidget() == books; }))
        << "the keys are in "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "nothing");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    ASSERT_EQ(QApplication::focusWidget(), kinds);
    // Down moves through the kinds, and the books listed follow the kind.
    const auto listed = [books] {
        QStringList names;
        for (int row = 0; row < books->count(); ++row)
            names << books->item(row)->text();
        return names;
    };
    const auto ofKind = [sheet] {
        QStringList names;
        const SourceTupleArray::Ptr list = sheet->sourcesOfSelectedKind();
        for (qsizetype i = 0; list && i < list->count(); ++i)
            names << list->tupleAtIndex(i)->record().name;
        return names;
    };
    QString hebrew;
    for (int presses = 0; presses < kinds->count() && hebrew.isEmpty(); ++presses) {
        const int before = kinds->currentRow();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        if (kinds->currentRow() == before)
            break;
        EXPECT_EQ(listed().size(), ofKind().size()) << kinds->currentItem()->text().toStdString();
        for (const QString& name : listed())
            if (name.contains(QStringLiteral("Hebrew")))
                hebrew = name;
    }
    ASSERT_FALSE(hebrew.isEmpty()) << "no kind listed the Hebrew dictionary";
    // Right goes to the books; Down to the Hebrew dictionary; Return opens it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    ASSERT_EQ(QApplication::focusWidget(), books);
    while (books->currentItem() != nullptr && books->currentItem()->text() != hebrew &&
        books->currentRow() < books->count() - 1)
        QTest::keyClick(books, Qt::Key_Down);
    ASSERT_EQ(books->currentItem()->text(), hebrew);
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    sheet->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/open-book-by-keys.png"));
    QTest::keyClick(books, Qt::Key_Return);
    EXPECT_TRUE(waitFor([] { return TestSupport::shownWindow<OpenBookSheetWindowController>() == nullptr; }));
    for (const Alert& alert : s_alerts->shown())
        ADD_FAILURE() << "alert: " << alert.messageText.toStdString();
    ASSERT_TRUE(waitFor([&] {
        const SourceTuple::Ptr book = bookPaneAt(target)->currentSourceTuple();
        return book != nullptr && book->record().name == hebrew;
    })) << "the book did not open in the pane whose + was clicked";
    EXPECT_EQ(go.currentRegion(), target) << "the pane that got the book is not current";
    EXPECT_TRUE(panes()->activeSourceTuple() != nullptr && panes()->activeSourceTuple()->record().name == hebrew);
    // The keys are in that pane's page once the sheet has gone (and the main window is active again:
    // the window manager's part; the offscreen platform has none).
    main->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(main));
    EXPECT_TRUE(waitFor([&] {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr && go.bookPaneAt(target)->paneView()->isAncestorOf(focus);
    })) << "the keys are in "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing") << " of "
        << (QApplication::activeWindow() ? QApplication::activeWindow()->metaObject()->className() : "no window");
    main->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/book-opened-by-keys.png"));
}

TEST_F(ReaderOnTheDesktop, TheKeysGoBackToTheWindowADialogCameFrom)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    const auto activeTitle = [] {
        const QWidget* active = QApplication::activeWindow();
        return active != nullptr ? active->windowTitle().toStdString() : std::string("no window");
    };

    // View > Colors..., the background's well, Space opens its chooser, Escape closes it: the
    // keys are in Settings again, and what is typed next goes there.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::ColorSettings));
    MASPreferencesWindowController* settings = TestSupport::waitForWindow<MASPreferencesWindowController>();
    ASSERT_NE(settings, nullptr);
    settings->activateWindow();
    ASSERT_TRUE(waitFor([settings] { return QApplication::activeWindow() == settings; }));
    auto* well = settings->findChild<ColorWell*>(SettingsKeys::BackColor.name);
    ASSERT_NE(well, nullptr);
    // (The keys are put on the well as Tab puts them: the page's sample page keeps Tab to itself.)
    well->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), well);
    QTest::keyClick(well, Qt::Key_Space);
    QColorDialog* chooser = well->chooser();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(waitFor([chooser] { return QApplication::activeWindow() == chooser; }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([chooser] { return !chooser->isVisible(); }));
    EXPECT_TRUE(waitFor([settings] { return QApplication::activeWindow() == settings; }))
        << "after the chooser the keys are in " << activeTitle();
    EXPECT_TRUE(QApplication::focusWidget() != nullptr && QApplication::focusWidget()->window() == settings);
    pressKey(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([this] { return settingsWindow() == nullptr; })) << "Escape did not reach Settings";

    // A report's Save As... cancelled: the keys are in the report again.
    EXPECT_TRUE(TestSupport::whenShown<AutostudyTodayWindowController>(
        [&] { EXPECT_TRUE(reader_test::choose(window, CommandNames::AutostudyToday)); },
        [](AutostudyTodayWindowController* dialog) { dialog->onPerformAutostudy(); }));
    AutostudyResultsWindowController* report = TestSupport::waitForWindow<AutostudyResultsWindowController>();
    ASSERT_NE(report, nullptr);
    QPointer<AutostudyResultsWindowController> reportAlive(report);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(report));
    ASSERT_TRUE(waitFor([report] {
        if (QApplication::activeWindow() != report)
            report->activateWindow();
        return QApplication::activeWindow() == report;
    }));
    auto* save = report->findChild<QPushButton*>(QStringLiteral("saveButton"));
    ASSERT_NE(save, nullptr);
    save->setFocus(Qt::TabFocusReason);
    bool cancelled = false;
    EXPECT_TRUE(TestSupport::whenShown<QFileDialog>([save] { QTest::keyClick(save, Qt::Key_Space); },
        [&](QFileDialog* dialog) {
            if (waitFor([dialog] { return QApplication::activeWindow() == dialog; }) &&
                QApplication::focusWidget() != nullptr) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                cancelled = waitFor([dialog] { return !dialog->isVisible(); });
            }
            if (!cancelled)
                dialog->reject();
        }));
    EXPECT_TRUE(cancelled) << "Escape left the save dialog open";
    EXPECT_TRUE(waitFor([&] { return reportAlive != nullptr && QApplication::activeWindow() == reportAlive; }))
        << "after the save dialog the keys are in " << activeTitle();
    if (reportAlive != nullptr)
        reportAlive->close();
}

TEST_F(ReaderOnTheDesktop, EscapeFromTheStudyPanesFieldsGivesTheKeyboardToThePage)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);

    // Go To "John 3:16", Return, Escape: the keys are in the page, whose menu key opens its menu.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(go, nullptr);
    ASSERT_TRUE(typeInto(go->verseComboBox()->lineEdit(), QString()));
    go->verseComboBox()->lineEdit()->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("John 3:16"));
    pressKey(Qt::Key_Return);
    const quint32 john316 =
        kjv->locations().keyForSection(kjv->locations().sectionForSyncString(QStringLiteral("John 3:16")));
    ASSERT_TRUE(waitFor([&] { return reader_test::keyAtTopOf(kjvPage()) == john316; }, 10000));
    ASSERT_TRUE(QApplication::focusWidget() == go->verseComboBox() ||
        QApplication::focusWidget() == go->verseComboBox()->lineEdit())
        << "the keys are in " << keysAreIn();
    pressKey(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return keysInCurrentPage(); }))
        << "after Escape in Go To the keys are in " << keysAreIn();
    // (A page still loading on a busy machine opens the menu once it has loaded.)
    const TestSupport::ShownPopupMenu menu =
        TestSupport::readPopupMenu([] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier); },
            QString(), TestSupport::kWaitMs);
    EXPECT_TRUE(menu.titles.join(QLatin1Char('|')).contains(QStringLiteral("Highlight")))
        << menu.titles.join(QLatin1Char('|')).toStdString();

    // The same from Find's field.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Find));
    auto* find =
        dynamic_cast<StudyPaneSearchResultsViewController*>(study->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(typeInto(find->searchField(), QStringLiteral("light")));
    pressKey(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return keysInCurrentPage(); })) << "after Escape in Find the keys are in " << keysAreIn();
}

// Escape in any of the study pane's lists gives the keys to the page as it does in the fields.
TEST_F(ReaderOnTheDesktop, EscapeFromTheStudyPanesListsGivesTheKeyboardToThePage)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    quint32 shown = 0;
    ASSERT_TRUE(waitFor([&] { return (shown = reader_test::keyAtTopOf(kjvPage())) != 0; }));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Find));
    auto* find =
        dynamic_cast<StudyPaneSearchResultsViewController*>(study->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(typeInto(find->searchField(), QString()));
    find->searchField()->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("light"));

    // From Find's results: a result opened with Return, then Escape, and Page Down moves the page,
    // not the list's choice.
    pressKey(Qt::Key_Return);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    QTableView* results = find->searchResultsTableView();
    pressKey(Qt::Key_Down);
    ASSERT_EQ(QApplication::focusWidget(), results);
    pressKey(Qt::Key_Return);
    const int chosen = results->currentIndex().row();
    ASSERT_TRUE(waitFor([&] { return reader_test::keyAtTopOf(kjvPage()) != shown; }, 10000));
    pressKey(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return keysInCurrentPage(); }))
        << "after Escape in Find's results the keys are in " << keysAreIn();
    BookPageView* page = kjvPage();
    const auto offset = [&] { return reader_test::evaluate(page, QStringLiteral("window.pageYOffset")).toDouble(); };
    // (Once the page has filled below the verse: a page still filling has no room to go down yet. A
    // page just loaded drops the keys until its first paint: Page Down is pressed again until one
    // lands, as a reader would.)
    ASSERT_TRUE(waitFor([&] {
        return reader_test::evaluate(page,
            QStringLiteral("document.scrollingElement.scrollHeight - window.innerHeight - window.pageYOffset > "
                           "window.innerHeight / 2"))
            .toBool();
    }));
    const double before = offset();
    EXPECT_TRUE(waitFor([&] {
        if (offset() > before)
            return true;
        pressKey(Qt::Key_PageDown);
        return false;
    })) << "Page Down left the page at "
        << before;
    EXPECT_EQ(results->currentIndex().row(), chosen);

    // The other lists of the pane: the bookmarks, the highlights and the recent verses (Go To's).
    for (const auto& [command, slot] : {std::pair {CommandNames::Bookmarks, StudyPaneViewController::kBookmarksSubpane},
             std::pair {CommandNames::Highlights, StudyPaneViewController::kHighlightsSubpane},
             std::pair {CommandNames::GoTo, StudyPaneViewController::kBibleGotoSubpane}}) {
        SCOPED_TRACE(command.name);
        ASSERT_TRUE(reader_test::choose(window, command));
        StudyPaneSubpane* subpane = study->subpane(slot);
        ASSERT_TRUE(waitFor([&] { return study->subpaneViewController() == subpane; }));
        QAbstractItemView* list = nullptr;
        for (QAbstractItemView* view : subpane->view()->findChildren<QAbstractItemView*>())
            if (view->isVisible() && view->window() == window->window() && (view->focusPolicy() & Qt::TabFocus) != 0)
                list = view;
        ASSERT_NE(list, nullptr);
        // (Put there as Tab puts the keys there.)
        list->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(waitFor([list] { return QApplication::focusWidget() == list; }));
        pressKey(Qt::Key_Escape);
        EXPECT_TRUE(waitFor([&] { return keysInCurrentPage(); }))
            << "after Escape in the list the keys are in " << keysAreIn();
    }
}

// Whether the keys are back in `list` once a menu over it has closed. The offscreen platform, unlike a
// window manager, leaves no window active when a pop-up closes after a while on a loaded machine: the
// window is made active again as a window manager would, and the list must then hold the keys.
namespace {
bool keysBackIn(QWidget* list)
{
    return waitFor([list] {
        if (QApplication::activeWindow() == nullptr)
            list->window()->activateWindow();
        return QApplication::focusWidget() == list;
    });
}
}  // namespace

TEST_F(ReaderOnTheDesktop, TheKeyboardsMenuKeysOpenAFindRowsMenu)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Find));
    auto* find =
        dynamic_cast<StudyPaneSearchResultsViewController*>(study->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(typeInto(find->searchField(), QString()));
    find->searchField()->selectAll();
    QTest::keyClicks(find->searchField(), QStringLiteral("world AND loved"));
    pressKey(Qt::Key_Return);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    QTableView* table = find->searchResultsTableView();
    // Down enters the list at its first result.
    pressKey(Qt::Key_Down);
    ASSERT_EQ(QApplication::focusWidget(), table);
    ASSERT_TRUE(table->currentIndex().isValid());
    const QString title = table->currentIndex().data(StudyPaneResultListModel::TitleRole).toString();
    ASSERT_FALSE(title.isEmpty());

    // Shift+F10 and the Menu key open the row's menu.
    for (const QKeyCombination keys :
        {QKeyCombination(Qt::ShiftModifier, Qt::Key_F10), QKeyCombination(Qt::Key_Menu)}) {
        ASSERT_TRUE(keysBackIn(table));
        const TestSupport::ShownPopupMenu menu =
            TestSupport::readPopupMenu([&] { QTest::keyClick(table, keys.key(), keys.keyboardModifiers()); });
        EXPECT_EQ(menu.titles,
            QStringList({QStringLiteral("Go To ") + title, QStringLiteral("Open in New Tab"),
                QStringLiteral("Copy Reference")}))
            << QKeySequence(keys).toString().toStdString();
    }

    // A right-click opens the menu of the row under the pointer, without going there.
    int other = table->currentIndex().row() + 1;
    while (other < table->model()->rowCount() &&
        table->model()->index(other, 0).data(StudyPaneResultListModel::KindRole).toInt() ==
            StudyPaneResultListModel::Header)
        ++other;
    ASSERT_LT(other, table->model()->rowCount());
    const QString otherTitle = table->model()->index(other, 0).data(StudyPaneResultListModel::TitleRole).toString();
    table->scrollTo(table->model()->index(other, 0));
    const QPoint at = table->visualRect(table->model()->index(other, 0)).center();
    quint32 shownBefore = 0;
    ASSERT_TRUE(waitFor([&] { return (shownBefore = reader_test::keyAtTopOf(kjvPage())) != 0; }));
    const TestSupport::ShownPopupMenu clicked = TestSupport::readPopupMenu([&] {
        // The press, then the menu event the window system sends with it.
        QTest::mousePress(table->viewport(), Qt::RightButton, Qt::NoModifier, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, table->viewport()->mapToGlobal(at));
        QApplication::sendEvent(table->viewport(), &menuEvent);
    });
    QTest::mouseRelease(table->viewport(), Qt::RightButton, Qt::NoModifier, at);
    EXPECT_EQ(clicked.titles.value(0), QStringLiteral("Go To ") + otherTitle);
    EXPECT_EQ(reader_test::keyAtTopOf(kjvPage()), shownBefore) << "the right-click went to the row";
    table->setFocus(Qt::OtherFocusReason);
    table->setCurrentIndex(table->model()->index(table->currentIndex().row(), 0));

    // Copy Reference puts the row's reference on the clipboard.
    QGuiApplication::clipboard()->clear();
    ASSERT_TRUE(keysBackIn(table));
    TestSupport::readPopupMenu([table] { QTest::keyClick(table, Qt::Key_Menu); }, QStringLiteral("Copy Reference"));
    EXPECT_TRUE(waitFor([&] { return QGuiApplication::clipboard()->text() == title; }))
        << QGuiApplication::clipboard()->text().toStdString();

    // Open in New Tab: a new tab of the window shows the verse, with the keys in its page.
    LayoutManager& layouts = reader_test::programEnvironment().layoutManager();
    const size_t before = layouts.count();
    Layout* was = layouts.currentLayout();
    const quint32 key = kjv->locations().keyForSection(kjv->locations().sectionForSyncString(title));
    ASSERT_TRUE(keysBackIn(table));
    TestSupport::readPopupMenu(
        [table] { QTest::keyClick(table, Qt::Key_F10, Qt::ShiftModifier); }, QStringLiteral("Open in New Tab"));
    ASSERT_TRUE(waitFor([&] { return layouts.count() == before + 1 && layouts.currentLayout() != was; }));
    LayoutBookPane* pane = panes()->currentBookPane();
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(waitFor(
        [&] {
            auto* page = pane->paneView()->findChild<BookPageView*>();
            return page != nullptr && key != 0 && reader_test::keyAtTopOf(page) == key;
        },
        10000))
        << title.toStdString();
}

TEST_F(ReaderOnTheDesktop, AStudyWindowClosesWithEscapeSavesWithCtrlSAndFramesItsFocusedButton)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    const auto openReport = [&]() -> AutostudyResultsWindowController* {
        EXPECT_TRUE(TestSupport::whenShown<AutostudyTodayWindowController>(
            [&] { EXPECT_TRUE(reader_test::choose(window, CommandNames::AutostudyToday)); },
            [](AutostudyTodayWindowController* dialog) { dialog->onPerformAutostudy(); }));
        AutostudyResultsWindowController* report = TestSupport::waitForWindow<AutostudyResultsWindowController>();
        if (report == nullptr || !QTest::qWaitForWindowExposed(report))
            return nullptr;
        waitFor([report] {
            if (QApplication::activeWindow() != report)
                report->activateWindow();
            return QApplication::activeWindow() == report;
        });
        return report;
    };
    AutostudyResultsWindowController* report = openReport();
    ASSERT_NE(report, nullptr);
    QPointer<AutostudyResultsWindowController> alive(report);

    // The study's text has the keys as it opens: Page Down reads on.
    auto* text = report->findChild<QWebEngineView*>();
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(waitFor([text] { return text->isAncestorOf(QApplication::focusWidget()); }))
        << "the keys are in "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing");
    // (Read from the view: the report runs no script.)
    ASSERT_TRUE(waitFor([text] { return text->page()->contentsSize().height() > text->height() + 100; }))
        << "the study is too short to scroll";
    const double top = text->page()->scrollPosition().y();
    // (A page drops the keys until its first paint: Page Down is pressed again until one lands.)
    EXPECT_TRUE(waitFor([&] {
        if (text->page()->scrollPosition().y() > top)
            return true;
        QTest::keyClick(
            QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : report, Qt::Key_PageDown);
        return false;
    })) << "Page Down left the study at "
        << top;

    // Tab from the report goes through the buttons as they stand, and the button with the keys is
    // framed in the text colour, around it.
    const auto framePixels = [report](QPushButton* button) {
        const QRect place(button->mapTo(report, QPoint(0, 0)), button->size());
        const QImage image = report->grab(place.adjusted(-3, -3, 3, 3)).toImage().convertToFormat(QImage::Format_RGB32);
        const QColor text = report->palette().windowText().color();
        int framed = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                if (x >= 3 && x < image.width() - 3 && y >= 3 && y < image.height() - 3)
                    continue;  // the button itself
                const QColor c = image.pixelColor(x, y);
                if (std::abs(c.red() - text.red()) + std::abs(c.green() - text.green()) +
                        std::abs(c.blue() - text.blue()) <
                    60)
                    ++framed;
            }
        return framed;
    };
    // (The keys start on the first button as Tab from the report puts them there.)
    auto* options = report->findChild<QPushButton*>(QStringLiteral("changeOptionsButton"));
    ASSERT_NE(options, nullptr);
    options->setFocus(Qt::TabFocusReason);
    QStringList order;
    for (const Qt::Key key :
        {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Backtab, Qt::Key_Backtab}) {
        QTest::keyClick(QApplication::focusWidget(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
        order.append(button != nullptr ? button->text() : QStringLiteral("?"));
        if (button != nullptr) {
            EXPECT_TRUE(waitFor([&] { return framePixels(button) > button->width(); }))
                << button->text().toStdString() << " is not framed";
        }
    }
    EXPECT_EQ(order.join(QLatin1Char('|')), QStringLiteral("Print…|Save As…|Close|Save As…|Print…|Change Options…"));
    auto* save = report->findChild<QPushButton*>(QStringLiteral("saveButton"));
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(framePixels(save), 0) << "a button without the keys is framed";

    // Ctrl+S is Save As...
    bool saveShown = false;
    TestSupport::whenShown<QFileDialog>([save] { QTest::keySequence(save, QKeySequence::Save); },
        [&](QFileDialog* dialog) {
            saveShown = dialog->acceptMode() == QFileDialog::AcceptSave;
            dialog->reject();
        },
        5000);
    EXPECT_TRUE(saveShown) << "Ctrl+S did not ask where to save";

    // Escape closes the window (the keys back in it once the dialog has gone).
    ASSERT_TRUE(waitFor([&] { return alive != nullptr && QApplication::activeWindow() == alive; }));
    QTest::keyClick(
        QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : alive.data(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return alive == nullptr || !alive->isVisible(); })) << "Escape left the report open";
    if (alive != nullptr)
        alive->close();
}
