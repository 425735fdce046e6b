// The store window: its exit pages, and the stand-in's store pages loaded in a web view of its own
// profile (every web-view test of the store runs in this one program).
#include "cloud/store/ui/BookStoreWindowController.h"
#include "cloud/store/ui/DownloadBooksSheetWindowController.h"
#include "cloud/store/ui/OpenBookSheetWindowController.h"
#include "platform/SettingsKeys.h"

#include "cloud/store/StoreTestSupport.h"  // tests/cloud/store

#include "StoreSheetTestSupport.h"

#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "cloud/protocol/ScrambledText.h"
#include "cloud/protocol/ServiceHost.h"
#include "library/SourceManager.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/page/BookPageScheme.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "support/RecordingAlerts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

using namespace qs::cloud;
using namespace store_test;

namespace {

// The main window's environment with the program's services, kept until the program ends as the
// reader keeps them.
WindowEnvironment programEnvironment()
{
    static const ProgramServices* const services = new ProgramServices();
    return services->environment();
}

// The store window's page and its loading indicator, found among its widgets.
QWebEngineView* storePage(const QWidget& window)
{
    return window.findChild<QWebEngineView*>(QStringLiteral("webView"));
}
QProgressBar* loadingIndicator(const QWidget& window)
{
    return window.findChild<QProgressBar*>(QStringLiteral("loadingIndicator"));
}

StoreExitAction::Kind kindOf(const char* url)
{
    return BookStoreWindowController::exitActionForUrl(QUrl(QString::fromLatin1(url))).kind;
}

// Defaults signed in as the stand-in's demo customer and the alerts recorded.
struct Visit {
    Visit()
    {
        defaults = std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("defaults.conf")));
        defaults->set(SettingsKeys::CredentialsValid, true);
        defaults->setString(QStringLiteral("10001"), SettingsKeys::CustomerIDNum.name);
        defaults->set(SettingsKeys::CustomerID, QStringLiteral("demo@quillstead.test"));
        defaults->set(SettingsKeys::Optionsbitfield, scrambleText(QStringLiteral("demo"), ScramblePad::Default));
        alerts = std::make_shared<RecordingAlerts>();
    }
    StoreContext context(const QUrl& storePages) const
    {
        StoreContext c;
        c.window.setSettings(defaults.get());
        c.window.setAlert(alerts.get());
        c.storePages = storePages;
        c.passwordFolder = dir.filePath(QStringLiteral("private"));
        return c;
    }
    QTemporaryDir dir;
    std::unique_ptr<UserDefaults> defaults;
    std::shared_ptr<RecordingAlerts> alerts;
};

// The page's text once it has loaded.
QString pageText(QWebEngineView* view)
{
    auto text = std::make_shared<std::optional<QString>>();
    view->page()->toPlainText([text](const QString& t) { *text = t; });
    waitFor([&] { return text->has_value(); }, 10000);
    return text->value_or(QString());
}

bool waitForLoad(BookStoreWindowController& window)
{
    bool loaded = false;
    const QMetaObject::Connection c = QObject::connect(
        storePage(window)->page(), &QWebEnginePage::loadFinished, &window, [&](bool ok) { loaded = ok; });
    const bool done = waitFor([&] { return loaded; }, 30000);
    QObject::disconnect(c);
    return done;
}

void click(QWebEngineView* view, const QString& selector)
{
    view->page()->runJavaScript(QStringLiteral("document.querySelector(\"%1\").click()").arg(selector));
}

class StoreWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!standin_test::haveSampleLibrary())
            GTEST_SKIP() << "the sample library is not built";
        server = std::make_unique<standin_test::Server>();
        ASSERT_TRUE(server->running());
        pages = ServiceHost::fromSetting(server->serviceHostSetting()).storeUrl();
    }
    std::unique_ptr<standin_test::Server> server;
    QUrl pages;
};

}  // namespace

TEST(StoreExitPages, TheQueryOfAnExitPageSaysWhatTheWindowDoes)
{
    const StoreExitAction message = BookStoreWindowController::exitActionForUrl(
        QUrl(QStringLiteral("https://host/MacStore/Exit.ASP?v1=message&v2=Thank%20you%2C%20friend%20%26%20more")));
    EXPECT_EQ(message.kind, StoreExitAction::Message);
    EXPECT_EQ(message.message, QStringLiteral("Thank you, friend & more"));
    EXPECT_EQ(kindOf("https://host/MacStore/exit.asp?v1=download"), StoreExitAction::Download);
    EXPECT_EQ(kindOf("https://host/MacStore/exit.asp"), StoreExitAction::Close);
    EXPECT_EQ(kindOf("https://host/MacStore/exit.asp?v1=other"), StoreExitAction::Close);
    EXPECT_EQ(kindOf("https://host/MacStore/product.asp?v1=download"), StoreExitAction::None);
    EXPECT_EQ(kindOf("https://host/exit.asp/more?v1=download"), StoreExitAction::None);
    // Parts without "=" or with two are ignored; a later duplicate wins.
    EXPECT_EQ(kindOf("https://host/exit.asp?v1&v1=a=b"), StoreExitAction::Close);
    EXPECT_EQ(kindOf("https://host/exit.asp?v1=message&v1=download"), StoreExitAction::Download);
    const StoreExitAction odd = BookStoreWindowController::exitActionForUrl(
        QUrl(QStringLiteral("https://host/exit.asp?v2=first&v1=message&junk&v2=x=y&v2=last")));
    EXPECT_EQ(odd.kind, StoreExitAction::Message);
    EXPECT_EQ(odd.message, QStringLiteral("last"));
}

TEST_F(StoreWindow, LoadsTheStorePagesForTheCustomerAndClosesThroughAMessageExit)
{
    Visit visit;
    BookStoreWindowController window(visit.context(pages));
    // The customer block travels scrambled, readable with the store pad only.
    const QUrl first = window.storeUrl();
    EXPECT_EQ(first.path(), QStringLiteral("/MacStore/"));
    const std::optional<StoreCustomerBlock> block = StoreCustomerBlock::fromScrambled(first.query().mid(3));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->customerIdNumber, QStringLiteral("10001"));
    EXPECT_EQ(block->clearPassword, QStringLiteral("demo"));
    EXPECT_TRUE(block->initialProductId.isEmpty());
    EXPECT_NE(storePage(window)->page()->profile(), QWebEngineProfile::defaultProfile());
    EXPECT_TRUE(storePage(window)->page()->profile()->isOffTheRecord());

    window.show();
    window.populateWebView();
    EXPECT_TRUE(loadingIndicator(window)->isVisible());
    ASSERT_TRUE(waitForLoad(window));
    EXPECT_FALSE(loadingIndicator(window)->isVisible());
    EXPECT_EQ(storePage(window)->title(), QStringLiteral("Quillstead Store"));
    const QString text = pageText(storePage(window));
    EXPECT_TRUE(text.contains(QStringLiteral("Welcome"))) << text.toStdString();
    window.resize(900, 640);
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    window.grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/store-window.png"));

    bool closedSignal = false;
    QObject::connect(&window, &BookStoreWindowController::closed, [&] { closedSignal = true; });
    click(storePage(window), QStringLiteral("a[href*=message]"));
    ASSERT_TRUE(waitFor([&] { return !window.isVisible(); }, 20000));
    EXPECT_TRUE(closedSignal);
    ASSERT_EQ(visit.alerts->shown().size(), 1);
    EXPECT_EQ(visit.alerts->shown()[0].messageText, QStringLiteral("Thank you for visiting the store."));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(StoreWindow, ADownloadExitSwitchesToTheCloudLibraryAndLoadsNothing)
{
    Visit visit;
    BookStoreWindowController window(visit.context(pages));
    window.show();
    window.populateWebView();
    ASSERT_TRUE(waitForLoad(window));
    bool toLibrary = false;
    bool toOpenBook = false;
    QObject::connect(&window, &BookStoreWindowController::switchToCloudLibrary, [&] { toLibrary = true; });
    QObject::connect(&window, &BookStoreWindowController::switchToOpenBook, [&] { toOpenBook = true; });
    click(storePage(window), QStringLiteral("a[href='exit.asp?v1=download']"));
    ASSERT_TRUE(waitFor([&] { return toLibrary; }, 20000));
    EXPECT_FALSE(toOpenBook);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(visit.alerts->shown().isEmpty());
    EXPECT_FALSE(pageText(storePage(window)).contains(QStringLiteral("You may close this window.")));
}

TEST_F(StoreWindow, TheOffersPageAndAPlainCloseExit)
{
    Visit visit;
    BookStoreWindowController window(visit.context(pages), BookStoreWindowController::kMyOffersProductId);
    EXPECT_EQ(window.customerBlock().initialProductId, QStringLiteral("_MYOFFERS_"));
    window.show();
    window.populateWebView();
    ASSERT_TRUE(waitForLoad(window));
    EXPECT_TRUE(pageText(storePage(window)).contains(QStringLiteral("Your offers")));
    click(storePage(window), QStringLiteral("a[href='exit.asp']"));
    ASSERT_TRUE(waitFor([&] { return !window.isVisible(); }, 20000));
    EXPECT_TRUE(visit.alerts->shown().isEmpty());

    // A customer the store does not know sees the log-in page.
    visit.defaults->set(SettingsKeys::Optionsbitfield, scrambleText(QStringLiteral("wrong"), ScramblePad::Default));
    BookStoreWindowController stranger(visit.context(pages));
    stranger.show();
    stranger.populateWebView();
    ASSERT_TRUE(waitForLoad(stranger));
    EXPECT_TRUE(pageText(storePage(stranger)).contains(QStringLiteral("Log in")));
}

TEST_F(StoreWindow, AStoreThatCannotBeReachedIsReportedAndTheWindowCloses)
{
    Visit visit;
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    BookStoreWindowController window(
        visit.context(QUrl(QStringLiteral("http://127.0.0.1:%1/MacStore/").arg(closedPort))));
    window.show();
    window.populateWebView();
    ASSERT_TRUE(waitFor([&] { return !window.isVisible(); }, 30000));
    ASSERT_EQ(visit.alerts->shown().size(), 1);
    EXPECT_FALSE(visit.alerts->shown()[0].messageText.isEmpty());
    EXPECT_FALSE(loadingIndicator(window)->isVisible());
}

TEST_F(StoreWindow, AStoreThatDoesNotAnswerIsGivenUp)
{
    Visit visit;
    ASSERT_TRUE(server->fault(QStringLiteral("http.stallMs=5000&http.path=MacStore")));
    BookStoreWindowController window(visit.context(pages));
    window.setLoadTimeoutMs(500);
    window.show();
    window.populateWebView();
    ASSERT_TRUE(waitFor([&] { return !window.isVisible(); }, 20000));
    ASSERT_EQ(visit.alerts->shown().size(), 1);
    EXPECT_EQ(visit.alerts->shown()[0].messageText, QStringLiteral("Load Failed"));
    EXPECT_EQ(visit.alerts->shown()[0].informativeText, QStringLiteral("The store did not answer in time."));
}

// The reader itself: Cloud Library (command 109) downloads two books from the stand-in, the sheet
// switches to Open Book, and each chosen book opens in a new tab of the current pane.
TEST_F(StoreWindow, TheReaderDownloadsTwoBooksAndOpensThemInNewTabs)
{
    if (!QFile::exists(QStringLiteral(QS_BINARY_DIR "/books/KJV.tvk")))
        GTEST_SKIP() << "the books that come with the application are not built";
    RecordingAlerts* alerts = &TestSupport::programAlerts();
    UserDefaults& d = UserDefaults::standardUserDefaults();
    d.set(SettingsKeys::ServiceHostAddress, server->serviceHostSetting());
    d.set(SettingsKeys::CredentialsValid, true);
    d.setString(QStringLiteral("10001"), SettingsKeys::CustomerIDNum.name);
    d.set(SettingsKeys::CustomerID, QStringLiteral("demo@quillstead.test"));
    d.set(SettingsKeys::Optionsbitfield, scrambleText(QStringLiteral("demo"), ScramblePad::Default));
    d.set(SettingsKeys::CloseOpenBookOnOpen, true);
    QuillsteadAppController::setBundledBooksFolder(QStringLiteral(QS_BINARY_DIR "/books"));
    auto app = std::make_unique<QuillsteadAppController>(programEnvironment());
    app->applicationDidFinishLaunching({});
    QWidget* mainWindow = app->mainWindowController()->window();
    SourceManager& library = SourceManager::singleton();

    // Open Book and Cloud Library are menu commands of the reader.
    ActionRegistry& commands = app->mainWindowController()->actions();
    commands.updateStates();
    EXPECT_TRUE(commands.action(CommandNames::OpenBook)->isEnabled());
    EXPECT_TRUE(commands.action(CommandNames::CloudLibrary)->isEnabled());
    EXPECT_TRUE(commands.trigger(CommandNames::CloudLibrary));
    auto* sheet = mainWindow->findChild<DownloadBooksSheetWindowController*>();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(waitFor(
        [&] { return !sheet->bookList().isEmpty() && !store_sheet_test::refreshingLabel(sheet)->isVisible(); }));
    QList<OwnedBook> wanted;
    for (const OwnedBook& b : sheet->bookList())
        if (b.productId == QLatin1String("WEB") || b.productId == QLatin1String("Scofield"))
            wanted.append(b);
    ASSERT_EQ(wanted.size(), 2);
    for (const OwnedBook& b : wanted) {
        EXPECT_FALSE(library.isSourceInstalledWithPubID(b.publisherId, b.bookId));
        sheet->chooseBookRow(sheet->rowForBook({{QStringLiteral("productid"), b.productId}}));
    }
    ASSERT_TRUE(waitFor(
        [&] {
            return library.isSourceInstalledWithPubID(wanted[0].publisherId, wanted[0].bookId) &&
                library.isSourceInstalledWithPubID(wanted[1].publisherId, wanted[1].bookId);
        },
        60000));
    EXPECT_TRUE(alerts->shown().isEmpty());

    // The sheet hands over to Open Book; each chosen book becomes a new tab.
    sheet->onSwitchToOpenBookWindow();
    OpenBookSheetWindowController* open = nullptr;
    const auto openSheet = [&] {
        for (auto* s : mainWindow->findChildren<OpenBookSheetWindowController*>())
            if (s->isVisible())
                open = s;
        return open != nullptr;
    };
    ASSERT_TRUE(waitFor(openSheet));
    const auto tabs = [] {
        return programEnvironment().layoutManager().currentLayout()->currentRegionContents()->items().size();
    };
    const auto currentTabBook = [] {
        LayoutRegionContents* contents = programEnvironment().layoutManager().currentLayout()->currentRegionContents();
        auto* descriptor = dynamic_cast<LayoutRegionContentItemDescriptor*>(
            contents->itemAt(size_t(contents->currentItemIndex()))->descriptor());
        return descriptor ? descriptor->sourceTupleID() : SourceTupleID();
    };
    for (const OwnedBook& b : wanted) {
        if (!open) {
            ASSERT_TRUE(waitFor(openSheet));
        }
        const size_t before = tabs();
        const SourceTupleArray::Ptr list = open->sourcesOfSelectedKind();
        const qint64 row = list->indexForPubID(b.publisherId, b.bookId);
        ASSERT_NE(row, SourceTupleArray::kNotFound) << b.productId.toStdString();
        open->chooseBookRow(int(row));
        EXPECT_EQ(tabs(), before + 1) << b.productId.toStdString();
        EXPECT_EQ(currentTabBook().pubID(), b.publisherId);
        EXPECT_EQ(currentTabBook().bookID(), b.bookId);
        EXPECT_FALSE(open->isVisible());  // closes after opening
        open = nullptr;
        EXPECT_TRUE(commands.trigger(CommandNames::OpenBook));
    }
    ASSERT_TRUE(waitFor(openSheet));
    open->resize(760, 520);
    open->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/open-book-sheet-reader.png"));
    open->closeOpenBookSheet();
    app->applicationWillTerminate();
    app.reset();
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("store-window-test");
    return RUN_ALL_TESTS();
}
