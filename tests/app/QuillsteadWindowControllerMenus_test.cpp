// The main menus of a running, signed-out reader as a user meets them: every enabled item of every
// menu, chosen once, changes something on screen or shows a message; the store commands say that an
// account is needed and open the Customer ID page; Ctrl+, opens Settings; the footnote item shows its
// three states; every key of the window's commands, pressed in a book page, belongs to one command;
// and Ctrl+Q, or closing the main window, ends the program even with Settings open (checked on a
// reader started in a child process).

#include "app/HelpCommands.h"
#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "app/preferences/DisplayPreferencesViewController.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "cloud/store/ui/OpenBookSheetWindowController.h"
#include "library/GoToRequest.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageView.h"
#include "platform/AppVersion.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "studypane/StudyPaneViewController.h"
#include "support/RecordingAlerts.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QShortcutEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEnginePage>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using reader_test::evaluate;
using reader_test::waitFor;

constexpr char kChildMode[] = "QS_MENUS_TEST_CHILD";

RecordingAlerts& alerts()
{
    return TestSupport::programAlerts();
}

// The book pane of a region of the current screen, its tab bar and its title bar.
BookPaneViewController* bookPaneAt(int region)
{
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    if (layout == nullptr || region < 0 || size_t(region) >= layout->contents().size())
        return nullptr;
    return dynamic_cast<BookPaneViewController*>(layout->contentsAt(size_t(region))->viewController());
}

class MenuWindow : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { reader_test::startReaderTestProgram("menus-window-test"); }

    void SetUp() override
    {
        ReaderWindow::SetUp();
        alerts().clear();
        UserDefaults::standardUserDefaults().set(SettingsKeys::CredentialsValid, false);
        // Every test starts from the first screen, whatever the one before left.
        QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
    }

    QuillsteadWindowController* window() const { return m_controller->mainWindowController(); }

    // Starts the reader with the King James pane current; its page once its text shows, else null.
    BookPageView* launchOnKjvPage()
    {
        launch();
        BookPaneViewController* pane = activateKjv() ? bookPaneAt(kjvRegion()) : nullptr;
        BookPageView* page = pane != nullptr ? pane->page() : nullptr;
        const bool shown = page != nullptr &&
            waitFor([&] { return TestSupport::pageText(page->page(), 5000).contains(QStringLiteral("God")); });
        return shown ? page : nullptr;
    }

    // Presses Ctrl+, in the main window; true once Settings shows.
    bool openSettingsWithCtrlComma(QuillsteadAppController& app) const
    {
        return reader_test::pressKeys(window(), QKeySequence(Qt::CTRL | Qt::Key_Comma)) &&
            waitFor([&] { return app.preferencesWindowController()->isVisible(); });
    }

    // The vertical scroll position of every book pane's page, read from the page.
    QString scrollPositions() const
    {
        QString positions;
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i) {
            auto* pane = dynamic_cast<BookPaneViewController*>(layout->contentsAt(i)->viewController());
            if (pane == nullptr || pane->page() == nullptr)
                continue;
            const QVariant y = TestSupport::runScript(pane->page()->page(), QStringLiteral("getPageYOffset()"), 2000)
                                   .value_or(QVariant());
            positions += QStringLiteral("%1:%2 ").arg(i).arg(y.toDouble());
        }
        return positions;
    }

    // What a user sees of the reader, as text: windows, layouts, panes and their books, the study
    // pane, messages shown, the clipboard.
    QString screen() const
    {
        QStringList parts;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && qobject_cast<QMenu*>(top) == nullptr)
                parts << QStringLiteral("window %1 %2")
                             .arg(QString::fromLatin1(top->metaObject()->className()), top->windowTitle());
        LayoutManager& layouts = reader_test::programEnvironment().layoutManager();
        parts << QStringLiteral("layouts %1 current %2")
                     .arg(layouts.count())
                     .arg(layouts.currentLayout() ? layouts.findLayoutIndex(layouts.currentLayout()) : 0);
        for (quint64 i = 0; i < layouts.count(); ++i)
            parts << layouts.layoutAtIndex(i)->name();
        if (Layout* layout = layouts.currentLayout()) {
            parts << QStringLiteral("current region %1").arg(layout->currentRegionIndex());
            for (size_t i = 0; i < layout->contents().size(); ++i) {
                LayoutRegionContents* contents = layout->contentsAt(i);
                QString pane = QStringLiteral("pane %1 items %2").arg(i).arg(contents->items().size());
                if (LayoutBookPane* book = asBookPane(contents->viewController())) {
                    const auto tuple = book->currentSourceTuple();
                    pane += QStringLiteral(" book %1:%2 section %3")
                                .arg(tuple ? tuple->record().pubID : 0)
                                .arg(tuple ? tuple->record().bookID : 0)
                                .arg(book->currentSourceSection());
                }
                parts << pane;
            }
        }
        parts << QStringLiteral("study %1").arg(window()->isStudyPaneVisible());
        if (StudyPaneViewController* study = studyPane())
            parts << QStringLiteral("subpane %1 %2")
                         .arg(study->paneView()->selectedTab())
                         .arg(quintptr(study->subpaneViewController()));
        parts << QStringLiteral("tabs %1").arg(window()->isTabBarVisible());
        // What the menus show of their commands.
        for (QAction* command : window()->actions().actions())
            parts << QStringLiteral("%1 %2%3%4")
                         .arg(command->text())
                         .arg(command->isEnabled())
                         .arg(command->isChecked())
                         .arg(command->isVisible());
        parts << QStringLiteral("alerts %1").arg(alerts().shown().size());
        parts << QStringLiteral("clipboard %1").arg(QApplication::clipboard()->text());
        parts << scrollPositions();
        return parts.join(QLatin1Char('\n'));
    }
};

// Every action of the menu bar, submenus included, in menu order.
QList<QAction*> menuItems(QMenu* menu)
{
    QList<QAction*> items;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        if (action->menu() != nullptr)
            items += menuItems(action->menu());
        else
            items << action;
    }
    return items;
}

}  // namespace

TEST_F(MenuWindow, EveryEnabledItemChangesTheScreenOrShowsAMessage)
{
    launch();
    ASSERT_TRUE(activateKjv());
    ASSERT_TRUE(waitFor([&] { return !scrollPositions().isEmpty(); }));
    // What the screen shows holds still while nothing is done.
    ASSERT_TRUE(waitFor([&] { return screen() == screen(); }));

    // Modal windows (About, prompts, sheets) are seen and closed as a user would.
    QStringList modals;
    QTimer closer;
    closer.setInterval(50);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modals << modal->windowTitle();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        }
    });
    closer.start();

    int toasts = 0;
    QObject::connect(m_controller.get(), &QuillsteadAppController::toastShown, [&] { ++toasts; });

    QStringList tried;
    QStringList silent;
    const QList<QMenu*> menus = [&] {
        QList<QMenu*> top;
        for (QAction* entry : window()->window()->menuBar()->actions())
            if (entry->menu() != nullptr)
                top << entry->menu();
        return top;
    }();
    ASSERT_FALSE(menus.isEmpty());
    for (QMenu* menu : menus) {
        emit menu->aboutToShow();
        const QList<QAction*> items = menuItems(menu);
        for (QAction* item : items) {
            emit menu->aboutToShow();
            // Quitting is checked on a reader of its own (below).
            if (!item->isEnabled() || !item->isVisible() || item->menuRole() == QAction::QuitRole)
                continue;
            const QString name = menu->title().remove(QLatin1Char('&')) + QStringLiteral(" > ") + item->text();
            tried << name;
            const QString before = screen();
            const qsizetype modalsBefore = modals.size();
            const int toastsBefore = toasts;
            item->trigger();
            const bool changed = waitFor(
                [&] { return modals.size() > modalsBefore || toasts > toastsBefore || screen() != before; }, 5000);
            if (!changed)
                silent << name;
            // Windows it opened go again, so that the next item starts from the main window.
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top != window()->window() && top->isVisible() && qobject_cast<QMenu*>(top) == nullptr)
                    top->close();
            QCoreApplication::processEvents();
        }
    }
    closer.stop();
    EXPECT_GT(tried.size(), 30) << tried.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(silent.isEmpty()) << "items that did nothing visible:\n"
                                  << silent.join(QLatin1Char('\n')).toStdString();
}

TEST_F(MenuWindow, ScrollCommandsMoveTheActiveBook)
{
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    // Where the King James page's view is in the book, read from the page: the top block's number
    // and how far the view's top lies into it (the page's own scroll offset also moves when blocks
    // come in or go above the view, which the reader does not see).
    const auto offset = [&] {
        BookPaneViewController* pane = bookPaneAt(kjvRegion());
        if (pane == nullptr || pane->page() == nullptr)
            return -1.0;
        return TestSupport::runScript(pane->page()->page(),
            QStringLiteral("(function () { var b = qsBlocks(); for (var i = 0; i < b.length; i++) {"
                           " var r = b[i].getBoundingClientRect(); if (r.bottom > 4)"
                           " return parseInt(b[i].id.substring(2), 10) * 1e6 - Math.round(r.top); } return -1; })()"),
            2000)
            .value_or(QVariant(-1.0))
            .toDouble();
    };
    // In the middle of a book, as a link there takes the reader.
    GoToRequest request;
    request.layoutUuid = panes()->goToPanes().currentLayoutUuid();
    request.sourceTuple = kjv;
    request.section = kjv->locations().sectionForSyncString(QStringLiteral("John 3:16"));
    request.activate = true;
    request.post(NotificationCenter::defaultCenter(), nullptr);
    ASSERT_TRUE(waitFor([&] { return offset() > 1e6; }));
    // Each command moves the page the way it says; the keys as a user presses them, then the items.
    const auto moves = [&](const std::function<void()>& command, int direction) {
        const double before = offset();
        command();
        return waitFor([&] { return (offset() - before) * direction > 0; });
    };
    EXPECT_TRUE(
        moves([&] { EXPECT_TRUE(reader_test::pressKeys(window(), QKeySequence(Qt::ALT | Qt::Key_PageDown))); }, 1));
    EXPECT_TRUE(moves([&] { EXPECT_TRUE(reader_test::pressKeys(window(), QKeySequence(Qt::ALT | Qt::Key_Down))); }, 1));
    EXPECT_TRUE(moves([&] { reader_test::choose(window(), CommandNames::ScrollLineUp); }, -1));
    EXPECT_TRUE(moves([&] { reader_test::choose(window(), CommandNames::ScrollPageUp); }, -1));
    EXPECT_TRUE(moves([&] { reader_test::choose(window(), CommandNames::ScrollLineDown); }, 1));
    EXPECT_TRUE(moves([&] { reader_test::choose(window(), CommandNames::ScrollPageDown); }, 1));

    // Without a book in the current pane they are greyed out.
    ASSERT_TRUE(reader_test::choose(window(), CommandNames::CloseBook));
    ASSERT_TRUE(waitFor([&] { return panes()->activeSourceTuple() == nullptr; }));
    EXPECT_FALSE(reader_test::choose(window(), CommandNames::ScrollPageDown));
}

TEST_F(MenuWindow, NextAndPreviousBookTurnTheTabsOfAPaneWithTwoBooks)
{
    launch();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    const int region = kjvRegion();
    BookPaneViewController* pane = bookPaneAt(region);
    ASSERT_NE(pane, nullptr);
    const SourceTuple::Ptr help = SourceManager::singleton().allSources()->tupleForPubID(1, 24);
    ASSERT_TRUE(help);
    LayoutBookPane* book = asBookPane(reader_test::programEnvironment()
                                          .layoutManager()
                                          .currentLayout()
                                          ->contentsAt(size_t(region))
                                          ->viewController());
    ASSERT_NE(book, nullptr);
    book->openBookFromDictionary(
        {{QStringLiteral("pubid"), help->record().pubID}, {QStringLiteral("bookid"), help->record().bookID},
            {QStringLiteral("edition"), help->record().editionNumber},
            {QStringLiteral("revision"), help->record().revisionNumber}},
        true);
    PaneTabBar* tabs = pane->tabBar();
    const auto showing = [&](const SourceTuple::Ptr& book) {
        const int current = tabs->currentIndex();
        return tabs->count() == 2 && current >= 0 && tabs->tabText(current).contains(book->record().abbr) &&
            pane->currentSourceTuple() && pane->currentSourceTuple()->isEqual(*book) &&
            !pane->titleBar()->text().isEmpty();
    };
    ASSERT_TRUE(waitFor([&] { return showing(help); }))
        << "tabs " << tabs->count() << ", title " << pane->titleBar()->text().toStdString();
    const int helpTab = tabs->currentIndex();
    const QString helpTitle = pane->titleBar()->text();

    // The keys, as a user presses them, and the Panes menu's items turn to the other tab and back.
    ASSERT_TRUE(reader_test::pressKeys(window(), QKeySequence(QStringLiteral("Ctrl+PgDown"))));
    EXPECT_TRUE(waitFor([&] {
        return showing(kjv) && tabs->currentIndex() != helpTab && pane->titleBar()->text() != helpTitle;
    })) << "title "
        << pane->titleBar()->text().toStdString();
    ASSERT_TRUE(reader_test::pressKeys(window(), QKeySequence(QStringLiteral("Ctrl+PgUp"))));
    EXPECT_TRUE(waitFor([&] {
        return showing(help) && tabs->currentIndex() == helpTab && pane->titleBar()->text() == helpTitle;
    })) << "title "
        << pane->titleBar()->text().toStdString();
    ASSERT_TRUE(reader_test::chooseMenuItem(window(), QStringLiteral("Panes"), QStringLiteral("Next Book")));
    EXPECT_TRUE(waitFor([&] { return showing(kjv); }));
    ASSERT_TRUE(reader_test::chooseMenuItem(window(), QStringLiteral("Panes"), QStringLiteral("Previous Book")));
    EXPECT_TRUE(waitFor([&] { return showing(help); }));

    // With one book left there is no other to turn to.
    ASSERT_TRUE(reader_test::choose(window(), CommandNames::CloseBook));
    ASSERT_TRUE(waitFor([&] { return tabs->count() == 1; }));
    EXPECT_FALSE(reader_test::chooseMenuItem(window(), QStringLiteral("Panes"), QStringLiteral("Next Book")));
}

TEST_F(MenuWindow, CopyWithNothingSelectedLeavesTheClipboardAlone)
{
    BookPageView* page = launchOnKjvPage();
    ASSERT_NE(page, nullptr);
    TestSupport::runScript(page->page(), QStringLiteral("window.getSelection().removeAllRanges()"));

    auto* held = new QMimeData;
    held->setText(QStringLiteral("held text"));
    held->setHtml(QStringLiteral("<b>held</b> html"));
    QApplication::clipboard()->setMimeData(held);

    // Ctrl+C in the book pane, as the user presses it, with nothing selected there.
    QMainWindow* main = window()->window();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    page->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(waitFor([&] { return page->isAncestorOf(QApplication::focusWidget()) || page->hasFocus(); }));
    QTest::keySequence(main, QKeySequence::Copy);
    // The copy asks the page for its selection; an answer to a script sent after it comes later.
    ASSERT_TRUE(TestSupport::runScript(page->page(), QStringLiteral("1")).has_value());
    ASSERT_TRUE(TestSupport::waitForQueuedWork());

    const QMimeData* now = QApplication::clipboard()->mimeData();
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->text(), QStringLiteral("held text"));
    EXPECT_TRUE(now->html().contains(QStringLiteral("<b>held</b> html"))) << now->html().toStdString();

    // With a selection the same keys copy it.
    TestSupport::runScript(page->page(),
        QStringLiteral("var r = document.createRange(); "
                       "r.selectNodeContents(document.body); "
                       "window.getSelection().removeAllRanges(); "
                       "window.getSelection().addRange(r)"));
    ASSERT_TRUE(waitFor([&] { return !page->selectedText().isEmpty(); }));
    // Once the window's Copy offers itself for it, as the Edit menu shows.
    ASSERT_TRUE(waitFor([&] { return window()->actions().action(CommandNames::Copy)->isEnabled(); }));
    QTest::keySequence(main, QKeySequence::Copy);
    EXPECT_TRUE(waitFor([&] { return QApplication::clipboard()->text() != QStringLiteral("held text"); }));
    EXPECT_FALSE(QApplication::clipboard()->text().isEmpty());
}

// Records the shortcut events that the keys pressed make, and eats them, so that no command runs.
class ShortcutRecorder : public QObject {
public:
    QStringList reached;
    QStringList ambiguous;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Shortcut)
            return QObject::eventFilter(watched, event);
        const auto* shortcut = static_cast<QShortcutEvent*>(event);
        (shortcut->isAmbiguous() ? ambiguous : reached) << shortcut->key().toString();
        return true;
    }
};

// A key that two actions claim runs neither (Qt says "Ambiguous shortcut overload"): every key of the
// window's commands and of the actions in the window, pressed with the focus in a book page, reaches
// exactly one.
TEST_F(MenuWindow, EveryKeyPressedInABookPageBelongsToOneCommand)
{
    BookPageView* page = launchOnKjvPage();
    ASSERT_NE(page, nullptr);
    QMainWindow* main = window()->window();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    page->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(waitFor([&] { return page->isAncestorOf(QApplication::focusWidget()) || page->hasFocus(); }));

    QList<QAction*> actions = window()->actions().actions();
    actions += main->findChildren<QAction*>();
    QList<QKeySequence> keys;
    QSet<QString> seen;
    for (QAction* action : actions)
        for (const QKeySequence& key : action->shortcuts())
            if (!key.isEmpty() && !seen.contains(key.toString())) {
                seen.insert(key.toString());
                keys << key;
            }
    ASSERT_TRUE(seen.contains(QKeySequence(QKeySequence::Copy).toString()));
    ASSERT_TRUE(seen.contains(QStringLiteral("Ctrl+Alt+C")));

    // Every command can take its key (a state that a key does not refresh), and none runs.
    ShortcutRecorder recorder;
    qApp->installEventFilter(&recorder);
    for (QAction* action : window()->actions().actions())
        action->setEnabled(true);
    for (const QKeySequence& key : keys)
        QTest::keySequence(main, key);
    qApp->removeEventFilter(&recorder);
    window()->actions().updateStates();
    EXPECT_TRUE(recorder.ambiguous.isEmpty()) << recorder.ambiguous.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(recorder.reached.contains(QKeySequence(QKeySequence::Copy).toString()))
        << recorder.reached.join(QLatin1Char(' ')).toStdString();
}

TEST_F(MenuWindow, F1OpensTheHelpBook)
{
    launch();
    ASSERT_TRUE(activateKjv());
    // The King James pane is current; F1 brings the help book to the front of the current pane.
    const auto helpShown = [&] {
        const SourceTuple::Ptr active = panes()->activeSourceTuple();
        return active != nullptr && active->record().name == QStringLiteral("Quillstead Help");
    };
    ASSERT_FALSE(helpShown());
    ASSERT_TRUE(reader_test::pressKeys(window(), QKeySequence(Qt::Key_F1)));
    EXPECT_TRUE(waitFor(helpShown));
}

TEST_F(MenuWindow, AStrongsNumberOfTheBundledBibleOpensItsDictionaryEntryOnAFreshStart)
{
    launch();
    int region = -1;
    ASSERT_TRUE(waitFor([&] { return (region = kjvRegion()) >= 0; }));
    BookPaneViewController* pane = bookPaneAt(region);
    ASSERT_NE(pane, nullptr);
    const SourceTuple::Ptr kjv = pane->currentSourceTuple();
    ASSERT_TRUE(kjv);
    BookPageView* page = pane->page();
    ASSERT_NE(page, nullptr);
    // The first Hebrew number the page shows, clicked once the page shows it.
    const QString click = QStringLiteral(
        "(function(){var a=document.querySelector('a[href*=\"H7225\"]');if(!a)return '';a.click();return 'H7225';})()");
    ASSERT_TRUE(waitFor([&] { return !evaluate(page, click).toString().isEmpty(); }));
    // A pane turns to the Hebrew dictionary at the entry: its title bar names the entry and its page
    // gives the entry's text.
    const auto entryPane = [&]() -> BookPaneViewController* {
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i) {
            BookPaneViewController* candidate = bookPaneAt(int(i));
            const SourceTuple::Ptr book = candidate != nullptr ? candidate->currentSourceTuple() : nullptr;
            if (book != nullptr && !book->isEqual(*kjv) &&
                candidate->titleBar()->text().contains(QStringLiteral("7225")))
                return candidate;
        }
        return nullptr;
    };
    EXPECT_TRUE(waitFor([&] { return entryPane() != nullptr; })) << screen().toStdString();
    if (BookPaneViewController* entry = entryPane()) {
        EXPECT_TRUE(waitFor([&] {
            return evaluate(entry->page(), QStringLiteral("document.body ? document.body.innerText : ''"))
                .toString()
                .contains(QStringLiteral("beginning"));
        }));
    }
    for (const auto& shown : alerts().shown())
        ADD_FAILURE() << "alert: " << shown.messageText.toStdString();
}

TEST_F(MenuWindow, StoreCommandsSignedOutSaySoAndOpenTheCustomerIdPage)
{
    QuillsteadAppController& app = launch();
    ASSERT_TRUE(reader_test::choose(window(), CommandNames::CloudLibrary));
    ASSERT_EQ(alerts().shown().size(), 1);
    EXPECT_EQ(alerts().shown()[0].messageText,
        QStringLiteral("You must be signed in to your Tavrosen account to use the Cloud Library."));
    ASSERT_TRUE(waitFor([&] { return app.isPreferencesPaneVisible(3); }));
    app.preferencesWindowController()->close();

    // The Open Book sheet's Bookstore button reaches the same command.
    alerts().clear();
    ASSERT_TRUE(reader_test::choose(window(), CommandNames::OpenBook));
    auto* sheet = TestSupport::waitForWindow<qs::cloud::OpenBookSheetWindowController>();
    ASSERT_NE(sheet, nullptr);
    auto* bookstore = sheet->findChild<QPushButton*>(QStringLiteral("bookstoreButton"));
    ASSERT_NE(bookstore, nullptr);
    QTest::mouseClick(bookstore, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !alerts().shown().isEmpty(); }));
    ASSERT_EQ(alerts().shown().size(), 1);
    EXPECT_EQ(alerts().shown()[0].messageText,
        QStringLiteral("You must be signed in to your Tavrosen account to use the Bookstore."));
    EXPECT_TRUE(waitFor([&] { return app.isPreferencesPaneVisible(3); }));
}

TEST_F(MenuWindow, CtrlCommaOpensSettings)
{
    QuillsteadAppController& app = launch();
    ASSERT_TRUE(openSettingsWithCtrlComma(app));
    EXPECT_EQ(app.preferencesWindowController()->windowTitle(), QStringLiteral("Settings"));
}

// What the main window's toolbar buttons show: each visible button's style and icon size.
QString toolbarLook(QToolBar* toolbar)
{
    QStringList looks;
    for (QToolButton* button : toolbar->findChildren<QToolButton*>())
        if (button->isVisible() && button->defaultAction() != nullptr && !button->defaultAction()->text().isEmpty())
            looks << QStringLiteral("%1/%2").arg(int(button->toolButtonStyle())).arg(button->iconSize().width());
    looks.removeDuplicates();
    return looks.join(QLatin1Char(' '));
}

TEST_F(MenuWindow, EachToolbarStyleChangesTheToolButtons)
{
    QuillsteadAppController& app = launch();
    ASSERT_TRUE(openSettingsWithCtrlComma(app));
    app.preferencesWindowController()->selectControllerAtIndex(0);
    auto* popUp = app.preferencesWindowController()->findChild<QComboBox*>(QStringLiteral("toolbarStylePopUpButton"));
    ASSERT_NE(popUp, nullptr);
    QToolBar* toolbar = window()->toolbar();
    const int full = toolbar->style()->pixelMetric(QStyle::PM_ToolBarIconSize, nullptr, toolbar);
    const int small = toolbar->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, toolbar);
    ASSERT_NE(full, small);
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    const struct {
        const char* label;
        Qt::ToolButtonStyle style;
        int icon;
    } cases[] = {
        {"Compact", Qt::ToolButtonTextBesideIcon, small},
        {"Icons only", Qt::ToolButtonIconOnly, full},
        {"Labels only", Qt::ToolButtonTextOnly, full},
        {"Icons and labels", Qt::ToolButtonTextUnderIcon, full},
    };
    for (const auto& c : cases) {
        const int index = popUp->findText(QString::fromLatin1(c.label));
        ASSERT_GE(index, 0) << c.label;
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
        const QString expected = QStringLiteral("%1/%2").arg(int(c.style)).arg(c.icon);
        EXPECT_TRUE(waitFor([&] { return toolbarLook(toolbar) == expected; }))
            << c.label << ": " << toolbarLook(toolbar).toStdString();
        toolbar->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/toolbar-%1.png").arg(index));
    }
    EXPECT_EQ(UserDefaults::standardUserDefaults().value(SettingsKeys::MainWindowToolbarStyle), 1);
}

// The body text's computed font family and size, read from the first book page.
QString computedBodyFont(BookPageView* page)
{
    return TestSupport::runScript(page->page(),
        QStringLiteral(
            "(function(){var s = getComputedStyle(document.body);return s.fontFamily + '|' + s.fontSize;})()"),
        2000)
        .value_or(QVariant())
        .toString();
}

TEST_F(MenuWindow, FontChosenFromTheListShowsOnThePageWithTheTextSize)
{
    QuillsteadAppController& app = launch();
    BookPageView* page = nullptr;
    ASSERT_TRUE(waitFor([&] {
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i)
            if (auto* pane = dynamic_cast<BookPaneViewController*>(layout->contentsAt(i)->viewController());
                pane != nullptr && pane->page() != nullptr)
                page = pane->page();
        return page != nullptr && computedBodyFont(page).contains(QLatin1Char('|'));
    }));
    ASSERT_TRUE(openSettingsWithCtrlComma(app));
    app.preferencesWindowController()->selectControllerAtIndex(1);
    auto* list = app.preferencesWindowController()->findChild<QComboBox*>(QStringLiteral("fontPopUpButton"));
    ASSERT_NE(list, nullptr);
    ASSERT_GT(list->count(), 0) << "no font family with all four faces is installed";
    // Plain family names, each once.
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->itemText(i);
    for (const QString& name : names) {
        EXPECT_FALSE(name.endsWith(QLatin1Char(']'))) << name.toStdString();
        EXPECT_EQ(names.count(name), 1) << name.toStdString();
    }
    // A family whose name has a space and that is not the first one tried.
    int index = list->count() - 1;
    for (int i = 0; i < list->count(); ++i)
        if (list->itemText(i).contains(QLatin1Char(' ')))
            index = i;
    const QString family = list->itemText(index);
    UserDefaults::standardUserDefaults().set(SettingsKeys::BaseFontSize, 17);
    list->setCurrentIndex(index);
    emit list->activated(index);
    // 17pt is 22.6667px; the page rounds as it likes.
    QString shown;
    EXPECT_TRUE(waitFor([&] {
        shown = computedBodyFont(page);
        return shown.startsWith(QLatin1Char('"') + family + QLatin1Char('"')) ||
            shown.startsWith(family + QLatin1Char('|'));
    })) << shown.toStdString()
        << " for " << family.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("|22.6667px"))) << shown.toStdString();
    window()->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/body-font.png"));
}

TEST_F(MenuWindow, FootnoteItemShowsThreeStates)
{
    launch();
    QAction* item = window()->actions().action(CommandNames::CycleFootnoteMarker);
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const struct {
        const char* stored;
        bool checked;
        bool mixed;
    } states[] = {{"Hide", false, false}, {"Expand", true, false}, {"Collapse", false, true}, {"", false, true}};
    for (const auto& state : states) {
        defaults.set(SettingsKeys::FootnoteStyle, QString::fromLatin1(state.stored));
        window()->actions().updateStates();
        EXPECT_EQ(item->isChecked(), state.checked) << state.stored;
        EXPECT_EQ(item->property("mixedState").toBool(), state.mixed) << state.stored;
        EXPECT_EQ(item->isIconVisibleInMenu(), state.mixed) << state.stored;
    }
}

TEST_F(MenuWindow, AboutShowsTheVersionAndCredits)
{
    const QString about = HelpCommands::aboutText();
    EXPECT_TRUE(about.contains(
        QStringLiteral("Version %1 (build %2)").arg(AppVersion::version()).arg(AppVersion::buildNumber())));
    EXPECT_TRUE(about.contains(QLatin1String("Credits and Acknowledgments")));
    EXPECT_TRUE(about.contains(QLatin1String("Qt WebEngine")));
}

// ---- Quitting, on a reader in a child process ----

namespace {

// The child: a reader with Settings open, then Ctrl+Q to the main window or a close of it, as the
// mode says; it returns from its event loop only if that quits the program.
int runChild(const char* mode)
{
    reader_test::startReaderTestProgram("menus-window-test-child");
    QuillsteadAppController app(reader_test::programEnvironment());
    app.applicationDidFinishLaunching({});
    QMainWindow* main = app.mainWindowController()->window();
    main->show();
    app.onPreferences();
    // Once the settings window shows, the reader is quit as the mode says: Ctrl+Q is pressed once the
    // main window has become the active window (a key reaches no shortcut before some window is
    // active, and the window system tells of that later). A window that never shows or becomes
    // active ends the run with 3.
    const bool key = std::strcmp(mode, "key") == 0;
    auto* poll = new QTimer(main);
    QElapsedTimer waited;
    waited.start();
    QObject::connect(poll, &QTimer::timeout, main, [&app, main, key, poll, waited] {
        const bool ready = app.preferencesWindowController()->isVisible();
        if (ready && key && QApplication::activeWindow() != main)
            main->activateWindow();
        if (!ready || (key && QApplication::activeWindow() != main)) {
            if (waited.elapsed() > 30000) {
                poll->stop();
                QCoreApplication::exit(3);
            }
            return;
        }
        poll->stop();
        if (key) {
            QTest::keyClick(main, Qt::Key_Q, Qt::ControlModifier);
        } else {
            main->close();
        }
    });
    poll->start(20);
    const int status = QCoreApplication::exec();
    std::printf("reader quit with status %d\n", status);
    std::fflush(stdout);
    std::_Exit(status);
}

bool quitsInChild(const char* mode, QString* output)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildMode), QString::fromLatin1(mode));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")), {});
    const bool finished = child.waitForFinished(60000);
    if (!finished) {
        child.kill();
        child.waitForFinished();
    }
    *output = QString::fromUtf8(child.readAll());
    return finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
        output->contains(QLatin1String("reader quit with status 0"));
}

}  // namespace

TEST(MenuWindowQuit, CtrlQAndClosingTheMainWindowQuitWithSettingsOpen)
{
    if (!QFile::exists(QStringLiteral(QS_BINARY_DIR "/books/KJV.tvk")))
        GTEST_SKIP() << "the books that come with the application are not built";
    QString output;
    EXPECT_TRUE(quitsInChild("key", &output)) << output.toStdString();
    EXPECT_TRUE(quitsInChild("close", &output)) << output.toStdString();
}

int main(int argc, char** argv)
{
    if (const char* mode = std::getenv(kChildMode))
        return runChild(mode);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
