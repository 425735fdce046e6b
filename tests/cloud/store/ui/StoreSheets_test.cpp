// The Cloud Library and Open Book sheets: the owned list from the stand-in, downloads with their
// progress bars, cancelling, removing, refused downloads shown with their reason and the library left
// as it was, the kinds and their pictures, and opening installed books.
#include "cloud/store/StoreNotifications.h"
#include "cloud/store/ui/BookKinds.h"
#include "cloud/store/ui/DownloadBooksSheetWindowController.h"
#include "cloud/store/ui/OpenBookSheetWindowController.h"
#include "platform/SettingsKeys.h"

#include "cloud/store/StoreTestSupport.h"  // tests/cloud/store

#include "StoreSheetTestSupport.h"

#include "cloud/protocol/ScrambledText.h"
#include "cloud/store/CoverArtManager.h"
#include "cloud/store/DownloadBooksManager.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/UserDefaults.h"
#include "support/FileAccessWatch.h"
#include "support/RecordingAlerts.h"
#include "support/TestSupport.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace qs::cloud;
using namespace store_test;

namespace {

const QString kDone = StoreNotifications::qsDownloadBooksFinishedDownloading;
const QString kFailed = StoreNotifications::qsDownloadBooksFinishedDownloadingWithError;
const QString kProgress = StoreNotifications::qsDownloadBooksProgressNotification;
const QString kListDone = StoreNotifications::qsOwnedBooksListFinishedDownloading;
const QString kListFailed = StoreNotifications::qsOwnedBooksListFinishedDownloadingWithError;

void ensureWidgetApplication()
{
    static int argc = 1;
    static char name[] = "store_sheets_test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QCoreApplication::instance())
        new QApplication(argc, argv);  // lives until the process ends
}

void screenshot(QWidget& widget, const QString& name)
{
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    widget.grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/") + name);
}

// A library over its own books folder, the managers over their own files, and defaults signed in as
// the stand-in's demo customer.
class Store {
public:
    explicit Store(const QString& cachedList = QString())
    {
        ensureWidgetApplication();
        books = dir.filePath(QStringLiteral("books"));
        QDir().mkpath(books);
        SourceManager::Folders folders;
        folders.books = books;
        folders.cache = dir.filePath(QStringLiteral("cache"));
        folders.refused = dir.filePath(QStringLiteral("refused"));
        library = std::make_unique<SourceManager>(folders, center);
        const QString cacheFile = dir.filePath(QStringLiteral("ownedbooks.xml"));
        if (!cachedList.isEmpty()) {
            QFile f(cacheFile);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(cachedList.toUtf8());
        }
        defaults = std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("defaults.conf")));
        owned = std::make_unique<OwnedBooksManager>(cacheFile, center, *defaults);
        downloads = std::make_unique<DownloadBooksManager>(books, center, *defaults);
        covers = std::make_unique<CoverArtManager>(dir.filePath(QStringLiteral("covers")), center, *defaults);
        defaults->set(SettingsKeys::CredentialsValid, true);
        defaults->set(SettingsKeys::CustomerID, QStringLiteral("demo@quillstead.test"));
        defaults->set(SettingsKeys::Optionsbitfield, scrambleText(QStringLiteral("demo"), ScramblePad::Default));
        alerts = std::make_shared<RecordingAlerts>();
        processAlerts = &TestSupport::programAlerts();
        processAlerts->clear();
    }
    ~Store() { EXPECT_TRUE(processAlerts->shown().isEmpty()) << "an alert went past the sheet's own alerts"; }

    // Without covers, no cover request takes a fault meant for a download. The window's centre is
    // the one the managers were handed.
    StoreContext context(const standin_test::Server* server, bool withCovers = true)
    {
        StoreContext c;
        c.window.setNotifications(&center);
        c.window.setSettings(defaults.get());
        c.window.setAlert(alerts.get());
        c.window.setBooks(library.get());
        c.ownedBooks = owned.get();
        c.downloads = downloads.get();
        c.covers = withCovers ? covers.get() : nullptr;
        c.passwordFolder = dir.filePath(QStringLiteral("private"));
        if (server)
            c.script = scriptUrl(*server);
        return c;
    }

    QStringList bookFiles() const { return QDir(books).entryList(QDir::Files, QDir::Name); }
    int installed() const { return int(library->allSources()->count()); }
    QStringList alertTexts() const
    {
        QStringList out;
        for (const Alert& a : alerts->shown())
            out << a.messageText + QStringLiteral(" | ") + a.informativeText;
        return out;
    }

    QTemporaryDir dir;
    QString books;
    // The centre the library and the managers are handed: the library posts its news there and picks
    // up a downloaded book from the notification there.
    NotificationCenter center;
    std::unique_ptr<SourceManager> library;
    std::unique_ptr<OwnedBooksManager> owned;
    std::unique_ptr<DownloadBooksManager> downloads;
    std::unique_ptr<CoverArtManager> covers;
    std::unique_ptr<UserDefaults> defaults;
    std::shared_ptr<RecordingAlerts> alerts;
    // The process's alerts, which no sheet should reach.
    RecordingAlerts* processAlerts = nullptr;
};

int rowOf(const DownloadBooksSheetWindowController& sheet, const QString& productId)
{
    return sheet.rowForBook({{QStringLiteral("productid"), productId}});
}

QStringList names(const QList<OwnedBook>& books)
{
    QStringList out;
    for (const OwnedBook& b : books)
        out << b.productName;
    return out;
}

// A small book under the publisher and book numbers of `numbersOf`, with one section of `text`.
bool smallBook(const QString& numbersOf, const char* text, const QString& path)
{
    cTvkBookBuilder builder;
    {
        std::shared_ptr<cSourceDoc> doc = SourceTuple::allocateSourceForFile(numbersOf);
        if (!doc)
            return false;
        const SourceTuple::Ptr tuple = SourceTuple::sourceTupleForSource(std::move(doc));
        builder.info.publisherId = uint16_t(tuple->record().pubID);
        builder.info.bookId = uint16_t(tuple->record().bookID);
        tuple->releaseSourceDoc();
    }
    builder.info.bookName = "Small Book";
    builder.info.abbreviatedTitle = "Small";
    builder.addSection({"Part", 1, text, 0});
    return builder.writeFile(path.toStdString());
}

bool setModified(const QString& path, const QDateTime& when)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime);
}

class Sheets : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureWidgetApplication();
        if (!standin_test::haveSampleLibrary())
            GTEST_SKIP() << "the sample library is not built";
        server = std::make_unique<standin_test::Server>();
        ASSERT_TRUE(server->running());
    }
    // Opens the sheet and waits for the owned list.
    void open(Store& store, DownloadBooksSheetWindowController& sheet, bool expectFailure = false)
    {
        Recorder rec(store.center, {kListDone, kListFailed});
        sheet.show();
        sheet.windowDidLoad();
        EXPECT_TRUE(store_sheet_test::refreshingLabel(&sheet)->isVisible());
        ASSERT_TRUE(waitFor([&] { return rec.count(expectFailure ? kListFailed : kListDone) == 1; }));
        EXPECT_FALSE(store_sheet_test::refreshingLabel(&sheet)->isVisible());
        Q_UNUSED(store);
    }
    std::unique_ptr<standin_test::Server> server;
};

}  // namespace

TEST(StoreSheetParts, SizesKindsAndPictures)
{
    ensureWidgetApplication();
    EXPECT_EQ(DownloadBooksSheetWindowController::sizeText(0), QStringLiteral("1k"));
    EXPECT_EQ(DownloadBooksSheetWindowController::sizeText(1023), QStringLiteral("1k"));
    EXPECT_EQ(DownloadBooksSheetWindowController::sizeText(1024), QStringLiteral("2k"));
    EXPECT_EQ(DownloadBooksSheetWindowController::sizeText(1048576), QStringLiteral("1,025k"));
    EXPECT_EQ(DownloadBooksSheetWindowController::sizeText(qint64(999) * 1024), QStringLiteral("1,000k"));
    EXPECT_EQ(DownloadBooksSheetWindowController::sizeText(qint64(1000000) * 1024), QStringLiteral("1,000,001k"));
    EXPECT_EQ(DownloadBooksSheetWindowController::sizeText(qint64(2000050) * 1024), QStringLiteral("2,000,051k"));

    // A stored kind row outside the six shows the first.
    EXPECT_EQ(BookKinds::clampRow(-1), 0);
    EXPECT_EQ(BookKinds::clampRow(6), 0);
    EXPECT_EQ(BookKinds::clampRow(5), 5);

    // Five distinct covers at a step of 10 for all books, at most three at 20 for the others.
    const auto bookAt = [](int i) { return qMakePair(qint64(100 + i), qint64(i)); };
    const BookKind all = BookKinds::make(0, 9, bookAt);
    EXPECT_EQ(all.covers.size(), 5);
    const QSet<QPair<qint64, qint64>> distinct(all.covers.begin(), all.covers.end());
    EXPECT_EQ(distinct.size(), 5);
    EXPECT_EQ(BookKinds::compositeOffsets(5), (QList<QPoint> {{40, 40}, {30, 30}, {20, 20}, {10, 10}, {0, 0}}));
    const BookKind bibles = BookKinds::make(1, 7, bookAt);
    EXPECT_EQ(bibles.covers.size(), 3);
    EXPECT_EQ(BookKinds::compositeOffsets(3), (QList<QPoint> {{40, 40}, {20, 20}, {0, 0}}));
    EXPECT_TRUE(bibles.active);
    EXPECT_EQ(bibles.includeValue, 1);
    const BookKind none = BookKinds::make(4, 0, bookAt);
    EXPECT_FALSE(none.active);
    EXPECT_TRUE(none.covers.isEmpty());
    EXPECT_TRUE(BookKinds::make(0, 0, bookAt).active);
    EXPECT_EQ(BookKinds::name(3), QStringLiteral("Dictionaries"));
    EXPECT_EQ(BookKinds::includeValue(3), 8);

    // The picture: 184 x 184, the first cover (a placeholder here: nothing is cached) at the
    // bottom right, framed in white; no covers, no picture.
    Store store;
    const StoreContext context = store.context(nullptr);
    const QImage picture = BookKinds::composite(context, bibles).toImage();
    ASSERT_EQ(picture.size(), QSize(184, 184));
    EXPECT_EQ(picture.pixelColor(40, 100), QColor(Qt::white));  // the first cover's left frame
    EXPECT_EQ(picture.pixelColor(183, 0).alpha(), 0);           // nothing above the stack's right
    EXPECT_TRUE(BookKinds::composite(context, none).isNull());
    EXPECT_NE(BookKinds::placeholderForType("bibles").toImage(), BookKinds::placeholderForType("OTHER").toImage());
    EXPECT_EQ(
        BookKinds::placeholderForClassification(3).toImage(), BookKinds::placeholderForType("Commentaries").toImage());
}

TEST_F(Sheets, ListsOwnedBooksDownloadsTwoWithProgressAndRemovesOne)
{
    Store store;
    store.defaults->set(SettingsKeys::SelectedBookKindRow, 17);  // out of range: the first kind
    DownloadBooksSheetWindowController sheet(store.context(server.get()));
    open(store, sheet);
    EXPECT_EQ(store_sheet_test::kindsList(&sheet)->currentRow(), 0);
    ASSERT_EQ(sheet.kinds().size(), 6);
    EXPECT_TRUE(sheet.kinds()[0].active);
    EXPECT_EQ(sheet.kinds()[0].covers.size(), 5);
    const int ownedCount = int(store.owned->ownedBooksArraySortedBy(1, OwnedBooksManager::kAllTypes).size());
    ASSERT_GE(ownedCount, 5);
    ASSERT_EQ(sheet.bookList().size(), ownedCount);
    ASSERT_EQ(store_sheet_test::booksList(&sheet)->count(), ownedCount);
    // Sorted by name, every row with its size and no bar.
    QStringList sorted = names(sheet.bookList());
    std::sort(sorted.begin(), sorted.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(names(sheet.bookList()), sorted);
    const int kjv = rowOf(sheet, "KJV");
    ASSERT_GE(kjv, 0);
    BookTableCellView* kjvCell = sheet.cellForRow(kjv);
    ASSERT_NE(kjvCell, nullptr);
    EXPECT_EQ(
        kjvCell->sizeField()->text(), DownloadBooksSheetWindowController::sizeText(sheet.bookList()[kjv].fileSize));
    EXPECT_FALSE(kjvCell->progressIndicator()->isVisible());

    // Two downloads, one after the other, each row with its bar while it downloads.
    Recorder rec(store.center, {kProgress, kDone, kFailed});
    sheet.chooseBookRow(rowOf(sheet, "KJV"));
    sheet.chooseBookRow(rowOf(sheet, "WEB"));
    EXPECT_EQ(store.downloads->count(), 2);
    EXPECT_TRUE(sheet.cellForRow(rowOf(sheet, "KJV"))->progressIndicator()->isVisible());
    EXPECT_TRUE(sheet.cellForRow(rowOf(sheet, "WEB"))->progressIndicator()->isVisible());
    EXPECT_FALSE(sheet.cellForRow(rowOf(sheet, "RV1909"))->progressIndicator()->isVisible());
    // What the book's row shows when each progress report has reached the sheet.
    QList<int> barValues;
    int probe = 0;
    store.center.addObserver(&probe, kProgress, [&](Notification& n) {
        BookTableCellView* cell = sheet.cellForRow(rowOf(sheet, n.userInfo.value("productid").toString()));
        if (cell && cell->progressIndicator()->isVisible())
            barValues.append(cell->progressIndicator()->value());
    });
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) + rec.count(kFailed) >= 2; }, 60000));
    store.center.removeObserver(&probe);
    ASSERT_EQ(barValues.size(), rec.count(kProgress));
    ASSERT_FALSE(barValues.isEmpty());
    EXPECT_EQ(barValues.last(), 1000);
    ASSERT_EQ(rec.count(kFailed), 0) << store.alertTexts().join("\n").toStdString();
    EXPECT_EQ(store.bookFiles(), (QStringList {"KJV.tvk", "WEB.tvk"}));
    EXPECT_EQ(store.installed(), 2);
    for (const char* id : {"KJV", "WEB"}) {
        const int row = rowOf(sheet, id);
        ASSERT_GE(row, 0);
        EXPECT_TRUE(sheet.bookList()[row].installed) << id;
        EXPECT_FALSE(sheet.cellForRow(row)->progressIndicator()->isVisible()) << id;
        EXPECT_EQ(sheet.cellForRow(row)->textField()->styleSheet(), QStringLiteral("color: gray")) << id;
        EXPECT_FALSE(sheet.cellForRow(row)->messageField()->isVisible()) << id;
    }
    EXPECT_TRUE(store.alerts->shown().isEmpty()) << store.alertTexts().join("\n").toStdString();
    // The covers the rows asked for have arrived (the stand-in has one for every book).
    EXPECT_TRUE(waitFor([&] {
        return !BookKinds::cover(
            store.context(server.get()), sheet.bookList()[kjv].publisherId, sheet.bookList()[kjv].bookId)
                    .isNull();
    }));
    sheet.resize(820, 600);
    screenshot(sheet, QStringLiteral("cloud-library-sheet.png"));

    // Hiding downloaded books takes them out and puts them back in name order.
    const QStringList before = names(sheet.bookList());
    auto* hideDownloaded = sheet.findChild<QCheckBox*>(QStringLiteral("hideDownloadedCheckbox"));
    ASSERT_NE(hideDownloaded, nullptr);
    hideDownloaded->click();
    EXPECT_EQ(sheet.bookList().size(), ownedCount - 2);
    EXPECT_EQ(rowOf(sheet, "KJV"), -1);
    EXPECT_TRUE(store.defaults->value(SettingsKeys::HideDownloaded));
    hideDownloaded->click();
    EXPECT_EQ(names(sheet.bookList()), before);

    // An installed book: No keeps it, Yes removes it and its file.
    store.alerts->queueAnswer(AlertSecondButtonReturn);
    sheet.chooseBookRow(rowOf(sheet, "WEB"));
    ASSERT_EQ(store.alerts->shown().size(), 1);
    EXPECT_EQ(store.alerts->shown()[0].messageText,
        QStringLiteral("\"%1\" has been downloaded and is installed locally. Do you want to remove it?")
            .arg(sheet.bookList()[rowOf(sheet, "WEB")].productName));
    EXPECT_EQ(store.installed(), 2);
    store.alerts->queueAnswer(AlertFirstButtonReturn);
    sheet.chooseBookRow(rowOf(sheet, "WEB"));
    EXPECT_EQ(store.installed(), 1);
    EXPECT_EQ(store.bookFiles(), QStringList {"KJV.tvk"});
    EXPECT_FALSE(sheet.bookList()[rowOf(sheet, "WEB")].installed);
    EXPECT_EQ(store.downloads->count(), 0);
}

TEST_F(Sheets, TheListKeepsItsPlaceAcrossADownloadAndTheKeysChooseABook)
{
    Store store;
    DownloadBooksSheetWindowController sheet(store.context(server.get(), false));
    sheet.resize(780, 380);
    open(store, sheet);
    QListWidget* list = store_sheet_test::booksList(&sheet);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    list->doItemsLayout();
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the list does not scroll at this height";

    // Scrolled to the end, a click on the last row downloads it; the list stays where it was, so
    // the rows under the pointer are the ones the reader saw.
    bar->setValue(bar->maximum());
    const int last = list->count() - 1;
    const QString lastBook = sheet.bookList()[last].productName;
    const QPoint lastRow = list->visualItemRect(list->item(last)).center();
    const int scrolled = bar->value();
    Recorder rec(store.center, {kDone, kFailed});
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, lastRow);
    ASSERT_EQ(store.downloads->count(), 1);
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) + rec.count(kFailed) == 1; }, 60000));
    ASSERT_EQ(rec.count(kDone), 1) << store.alertTexts().join("\n").toStdString();
    EXPECT_EQ(bar->value(), scrolled) << "the list jumped after the download";
    EXPECT_EQ(list->row(list->itemAt(lastRow)), last);
    sheet.resize(1280 * 3 / 5, 380);
    screenshot(sheet, QStringLiteral("cloud-library-after-a-download.png"));

    // The next click on the same row asks about that book, by its name; No keeps it.
    store.alerts->queueAnswer(AlertSecondButtonReturn);
    QTest::mouseClick(
        list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(last)).center());
    ASSERT_EQ(store.alerts->shown().size(), 1);
    EXPECT_TRUE(
        store.alerts->shown()[0].messageText.startsWith(QStringLiteral("\"%1\" has been downloaded").arg(lastBook)))
        << store.alerts->shown()[0].messageText.toStdString();
    EXPECT_EQ(store.installed(), 1);

    // From the keyboard: Right goes from the kinds to the books, Up to the row before, and Return
    // downloads it (the sheet's default button is not pressed).
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
    store_sheet_test::kindsList(&sheet)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(store_sheet_test::kindsList(&sheet), Qt::Key_Right);
    ASSERT_EQ(QApplication::focusWidget(), list);
    list->setCurrentRow(last);
    QTest::keyClick(list, Qt::Key_Up);
    ASSERT_EQ(list->currentRow(), last - 1);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(store.downloads->count(), 1) << "Return did not download the book";
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(store.alerts->shown().size(), 1) << store.alertTexts().join("\n").toStdString();
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) + rec.count(kFailed) == 2; }, 60000));
    EXPECT_EQ(bar->value(), scrolled);
}

TEST_F(Sheets, CancellingOneOrAllDownloadsOfTheSelectedKind)
{
    Store store;
    DownloadBooksSheetWindowController sheet(store.context(server.get(), false));
    open(store, sheet);
    ASSERT_TRUE(server->fault(QStringLiteral("http.stallMs=4000&http.path=booklist&http.times=-1")));

    // Being downloaded: the question, then the download fails as cancelled and says so.
    Recorder rec(store.center, {kFailed});
    sheet.chooseBookRow(rowOf(sheet, "WEB"));
    ASSERT_EQ(store.downloads->count(), 1);
    store.alerts->queueAnswer(AlertFirstButtonReturn);
    sheet.chooseBookRow(rowOf(sheet, "WEB"));
    EXPECT_EQ(store.alerts->shown()[0].messageText,
        QStringLiteral("\"%1\" is currently being downloaded. Do you want to cancel?")
            .arg(sheet.bookList()[rowOf(sheet, "WEB")].productName));
    ASSERT_EQ(rec.count(kFailed), 1);
    ASSERT_TRUE(waitFor([&] { return store.alerts->shown().size() == 2; }));
    EXPECT_EQ(store.alerts->shown().last().messageText, QStringLiteral("The download was canceled."));
    EXPECT_EQ(store.downloads->count(), 0);

    // Cancel All acts on the books of the selected kind only.
    const QList<OwnedBook> all = sheet.bookList();
    int bibles = 0;
    for (const OwnedBook& b : all)
        if (b.productType == QLatin1String("COMMENTARIES") || b.productType == QLatin1String("BIBLES")) {
            sheet.downloadBook(b);
            bibles += b.productType == QLatin1String("BIBLES");
        }
    const int queued = store.downloads->count();
    ASSERT_GT(queued, bibles);
    sheet.chooseKindRow(1);  // Bibles
    EXPECT_EQ(store_sheet_test::kindsList(&sheet)->currentRow(), 1);
    EXPECT_EQ(store.defaults->value(SettingsKeys::SelectedBookKindRow), 1);
    EXPECT_EQ(sheet.bookList().size(), bibles);
    sheet.onCancelAllDownloads();
    EXPECT_EQ(store.downloads->count(), queued - bibles);
    for (const OwnedBook& b : all) {
        if (b.productType == QLatin1String("COMMENTARIES")) {
            EXPECT_TRUE(sheet.bookIsBeingDownloaded(b)) << b.productId.toStdString();
        }
    }
    store.downloads->cancelAll();
    EXPECT_TRUE(store.bookFiles().isEmpty());
}

TEST_F(Sheets, RefusedDownloadsAreShownAndLeaveTheLibraryAsItWas)
{
    Store store;
    DownloadBooksSheetWindowController sheet(store.context(server.get(), false));
    open(store, sheet);
    Recorder rec(store.center, {kDone, kFailed});
    const auto failOnce = [&](const QString& productId, const QString& fault) {
        store.alerts->clear();
        const int before = rec.count(kFailed);
        if (!fault.isEmpty()) {
            EXPECT_TRUE(server->fault(fault));
        }
        sheet.chooseBookRow(rowOf(sheet, productId));
        EXPECT_TRUE(waitFor(
            [&] { return (rec.count(kFailed) > before && !store.alerts->shown().isEmpty()) || rec.count(kDone) > 0; },
            30000));
        EXPECT_EQ(rec.count(kDone), 0);
        return store.alertTexts().join("\n");
    };
    // A body cut short.
    QString shown = failOnce("WEB", "http.truncate=5000&http.path=booklist");
    EXPECT_TRUE(shown.contains("incomplete")) << shown.toStdString();
    // Bytes that are not the file the list names.
    shown = failOnce("KJV", "http.garbage=1&http.path=booklist");
    EXPECT_TRUE(shown.contains("bytes, not the")) << shown.toStdString();
    EXPECT_TRUE(store.bookFiles().isEmpty());
    EXPECT_TRUE(QDir(store.books).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EQ(store.installed(), 0);
    EXPECT_FALSE(sheet.bookList()[rowOf(sheet, "WEB")].installed);
}

// An update downloads and checks the new file before it takes the installed file's place: a failed
// or cancelled update leaves the installed book, file and record, as they were.
TEST_F(Sheets, AnUpdateKeepsTheInstalledBookUntilTheNewOneHasArrivedWhole)
{
    Store store;
    const QString installedPath = QDir(store.books).filePath(QStringLiteral("KJV.tvk"));
    // An older edition under the store's book numbers: another file than the one the store sells.
    ASSERT_TRUE(smallBook(QStringLiteral(QS_BINARY_DIR "/library/KJV.tvk"), "An older edition.", installedPath));
    {
        QFile installedFile(installedPath);
        ASSERT_TRUE(installedFile.open(QIODevice::ReadWrite));
        ASSERT_TRUE(installedFile.setFileTime(
            QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), QTimeZone::utc()), QFileDevice::FileModificationTime));
    }
    const auto installedBytes = [&] {
        QFile f(installedPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray oldBytes = installedBytes();
    ASSERT_FALSE(oldBytes.isEmpty());
    DownloadBooksSheetWindowController sheet(store.context(server.get(), false));
    open(store, sheet);
    ASSERT_EQ(store.installed(), 1);
    const SourceTuple::Ptr before = store.library->allSources()->tupleAtIndex(0);
    ASSERT_TRUE(sheet.bookList()[rowOf(sheet, "KJV")].installed);
    ASSERT_TRUE(sheet.cellForRow(rowOf(sheet, "KJV"))->messageField()->isVisible());  // a newer version

    Recorder rec(store.center, {kDone, kFailed});
    const auto keptAsItWas = [&](const char* step) {
        // While the new file arrives it is written beside the installed one, never over it.
        EXPECT_TRUE(store.bookFiles().contains(QStringLiteral("KJV.tvk"))) << step;
        if (store.downloads->count() == 0) {
            EXPECT_EQ(store.bookFiles(), QStringList {"KJV.tvk"}) << step;
        }
        EXPECT_EQ(installedBytes(), oldBytes) << step;
        EXPECT_EQ(store.installed(), 1) << step;
        EXPECT_EQ(store.library->allSources()->tupleForFile(installedPath), before) << step;
        EXPECT_TRUE(sheet.bookList()[rowOf(sheet, "KJV")].installed) << step;
    };

    // The download breaks off: the question, then the failure, and the installed book stays.
    ASSERT_TRUE(server->fault(QStringLiteral("http.truncate=5000&http.path=booklist")));
    store.alerts->queueAnswer(AlertFirstButtonReturn);
    sheet.chooseBookRow(rowOf(sheet, "KJV"));
    ASSERT_FALSE(store.alerts->shown().isEmpty());
    EXPECT_EQ(store.alerts->shown()[0].messageText,
        QStringLiteral("A newer version of \"%1\" is available. Do you want to update it?")
            .arg(sheet.bookList()[rowOf(sheet, "KJV")].productName));
    keptAsItWas("while downloading");
    ASSERT_TRUE(waitFor([&] { return rec.count(kFailed) == 1; }, 30000));
    keptAsItWas("after a broken download");

    // Cancelled half-way: the same.
    ASSERT_TRUE(server->fault(QStringLiteral("http.stallMs=4000&http.path=booklist")));
    store.alerts->queueAnswer(AlertFirstButtonReturn);
    sheet.chooseBookRow(rowOf(sheet, "KJV"));
    ASSERT_EQ(store.downloads->count(), 1);
    store.alerts->queueAnswer(AlertFirstButtonReturn);
    sheet.chooseBookRow(rowOf(sheet, "KJV"));
    ASSERT_TRUE(waitFor([&] { return rec.count(kFailed) == 2; }, 30000));
    keptAsItWas("after a cancelled download");

    // A whole file replaces the installed one under its own name.
    store.alerts->queueAnswer(AlertFirstButtonReturn);
    sheet.chooseBookRow(rowOf(sheet, "KJV"));
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) + rec.count(kFailed) == 3; }, 60000));
    ASSERT_EQ(rec.count(kDone), 1) << store.alertTexts().join("\n").toStdString();
    EXPECT_EQ(store.bookFiles(), QStringList {"KJV.tvk"});
    EXPECT_EQ(store.installed(), 1);
    const SourceTuple::Ptr after = store.library->allSources()->tupleForFile(installedPath);
    ASSERT_NE(after, nullptr);
    EXPECT_GT(after->record().modificationTime, before->record().modificationTime);
    EXPECT_FALSE(sheet.cellForRow(rowOf(sheet, "KJV"))->messageField()->isVisible());
    EXPECT_TRUE(QDir(store.dir.filePath(QStringLiteral("refused"))).isEmpty());
}

// The store dates its file an hour past this computer's clock: the update, once installed, is not
// offered again, and a store that dates the same file anew offers nothing either.
TEST(DownloadSheet, AnUpdateWithTheClockBehindTheStoresDateEndsInstalled)
{
    ensureWidgetApplication();
    if (!standin_test::haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    QTemporaryDir dir;
    const QString catalog = dir.filePath(QStringLiteral("catalog"));
    QDir().mkpath(catalog);
    const QString sold = QDir(catalog).filePath(QStringLiteral("Nave.tvk"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QS_BINARY_DIR "/library/Nave.tvk"), sold));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime ahead = QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch() + 3600, QTimeZone::utc());
    ASSERT_TRUE(setModified(sold, ahead));

    Store store;
    const QString installedPath = QDir(store.books).filePath(QStringLiteral("Nave.tvk"));
    ASSERT_TRUE(smallBook(sold, "The edition before.", installedPath));
    ASSERT_TRUE(store.library->addNewSource(installedPath));
    const auto openSheet = [&](const standin_test::Server& server) {
        auto sheet = std::make_unique<DownloadBooksSheetWindowController>(store.context(&server, false));
        Recorder rec(store.center, {kListDone, kListFailed});
        sheet->show();
        sheet->windowDidLoad();
        EXPECT_TRUE(waitFor([&] { return rec.count(kListDone) == 1; }));
        return sheet;
    };
    const auto offered = [](DownloadBooksSheetWindowController& sheet) {
        const int row = rowOf(sheet, QStringLiteral("Nave"));
        BookTableCellView* cell = sheet.cellForRow(row);
        EXPECT_NE(cell, nullptr);
        return cell && !cell->messageField()->isHidden() &&
            cell->messageField()->text() == DownloadBooksSheetWindowController::kNewerVersionMessage;
    };
    const auto bytesOf = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    {
        standin_test::Server server({QStringLiteral("--books"), catalog});
        ASSERT_TRUE(server.running());
        std::unique_ptr<DownloadBooksSheetWindowController> sheet = openSheet(server);
        ASSERT_GE(rowOf(*sheet, QStringLiteral("Nave")), 0);
        EXPECT_EQ(sheet->bookList()[rowOf(*sheet, QStringLiteral("Nave"))].fileDate, ahead);
        ASSERT_TRUE(offered(*sheet));

        // Yes to the update: the store's file is installed in the place of the old one.
        Recorder rec(store.center, {kDone, kFailed});
        store.alerts->queueAnswer(AlertFirstButtonReturn);
        sheet->chooseBookRow(rowOf(*sheet, QStringLiteral("Nave")));
        ASSERT_TRUE(waitFor([&] { return rec.count(kDone) + rec.count(kFailed) == 1; }, 60000));
        ASSERT_EQ(rec.count(kDone), 1) << store.alertTexts().join("\n").toStdString();
        EXPECT_EQ(bytesOf(installedPath), bytesOf(sold));
        const SourceTuple::Ptr installed = store.library->allSources()->tupleForFile(installedPath);
        ASSERT_NE(installed, nullptr);
        EXPECT_EQ(installed->record().modificationTime, ahead);
        EXPECT_EQ(QFileInfo(installedPath).lastModified().toUTC(), ahead);
        EXPECT_FALSE(offered(*sheet)) << "the update is offered again after it was installed";
        sheet->close();
        // A fresh list says the same.
        sheet = openSheet(server);
        EXPECT_FALSE(offered(*sheet));
    }

    // The store dates the same file two hours ahead: the installed copy is that file, nothing newer.
    ASSERT_TRUE(setModified(sold, ahead.addSecs(3600)));
    standin_test::Server redated({QStringLiteral("--books"), catalog});
    ASSERT_TRUE(redated.running());
    std::unique_ptr<DownloadBooksSheetWindowController> sheet = openSheet(redated);
    ASSERT_EQ(sheet->bookList()[rowOf(*sheet, QStringLiteral("Nave"))].fileDate, ahead.addSecs(3600));
    EXPECT_FALSE(offered(*sheet)) << "the same file dated anew is offered as newer";
    // Another file with that date is newer.
    sheet->close();
    ASSERT_TRUE(smallBook(sold, "The edition after.", sold));
    ASSERT_TRUE(setModified(sold, ahead.addSecs(7200)));
    standin_test::Server changed({QStringLiteral("--books"), catalog});
    ASSERT_TRUE(changed.running());
    sheet = openSheet(changed);
    EXPECT_TRUE(offered(*sheet));
}

// The list the server sent last is kept when a refresh fails; what it names is still checked.
TEST_F(Sheets, AWrongChecksumAndAPathEscapeFromTheKeptListAreRefused)
{
    const qint64 kjvSize = QFileInfo(QStringLiteral(QS_BINARY_DIR "/library/KJV.tvk")).size();
    Store store(QStringLiteral("<product><productid>KJV</productid><productname>King James, damaged</productname>"
                               "<pubid>1</pubid><bookid>101</bookid><producttype>BIBLES</producttype>"
                               "<filename>KJV.tvk</filename><filesize>%1</filesize><filesha256>%2</filesha256>"
                               "</product><product><productid>../../evil</productid><productname>Evil Bible"
                               "</productname><pubid>9</pubid><bookid>9</bookid><producttype>BIBLES</producttype>"
                               "<filename>WEB.tvk</filename><filesize>100</filesize></product>")
                    .arg(kjvSize)
                    .arg(QString(64, QLatin1Char('0'))));
    ASSERT_TRUE(server->fault(QStringLiteral("http.status=500&http.path=booklist")));
    DownloadBooksSheetWindowController sheet(store.context(server.get(), false));
    open(store, sheet, true);
    ASSERT_TRUE(waitFor([&] { return !store.alerts->shown().isEmpty(); }));
    ASSERT_EQ(store.alerts->shown().size(), 1);
    EXPECT_EQ(store.alerts->shown()[0].messageText,
        QStringLiteral("There was a problem updating the list of books you own."));
    EXPECT_EQ(store.alerts->shown()[0].informativeText,
        QStringLiteral("The server returned failure code 500. Try again later. If the problem persists, contact "
                       "Technical Support."));
    ASSERT_EQ(sheet.bookList().size(), 2);
    Recorder rec(store.center, {kFailed, kDone});
    for (const char* id : {"KJV", "../../evil"}) {
        store.alerts->clear();
        const int before = rec.count(kFailed);
        sheet.chooseBookRow(rowOf(sheet, QString::fromLatin1(id)));
        ASSERT_TRUE(waitFor([&] { return rec.count(kFailed) > before && !store.alerts->shown().isEmpty(); }, 30000))
            << id;
        ASSERT_EQ(store.alerts->shown().size(), 1) << id;
    }
    EXPECT_EQ(rec.count(kDone), 0);
    const QStringList failures = [&] {
        QStringList out;
        for (const Notification& n : rec.named(kFailed))
            out << n.userInfo.value("error").toMap().value("NSLocalizedFailureReason").toString();
        return out;
    }();
    ASSERT_EQ(failures.size(), 2);
    EXPECT_TRUE(failures[0].contains("checksum")) << failures[0].toStdString();
    EXPECT_TRUE(failures[1].contains("outside the books folder")) << failures[1].toStdString();
    EXPECT_TRUE(store.alertTexts()[0].contains("outside the books folder")) << store.alertTexts()[0].toStdString();
    EXPECT_TRUE(QDir(store.books).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_FALSE(QFile::exists(store.dir.filePath("evil.tvk")));
    EXPECT_EQ(store.installed(), 0);
}

// Recent purchases marked for automatic installation download when the list arrives (here the kept
// list, the refresh having failed), and the reader says so.
TEST_F(Sheets, AutomaticInstallationsDownloadWhenTheListArrives)
{
    Store store(QStringLiteral("<product><productid>KJV</productid><productname>King James Version</productname>"
                               "<pubid>7001</pubid><bookid>7002</bookid><producttype>BIBLES</producttype>"
                               "<autoinstall>1</autoinstall><filename>KJV.tvk</filename></product>"
                               "<product><productid>WEB</productid><productname>World English Bible</productname>"
                               "<pubid>7001</pubid><bookid>7003</bookid><producttype>BIBLES</producttype>"
                               "<filename>WEB.tvk</filename></product>"));
    ASSERT_TRUE(server->fault(QStringLiteral("http.status=503&http.path=booklist")));
    Recorder rec(store.center, {kDone, kFailed});
    DownloadBooksSheetWindowController sheet(store.context(server.get(), false));
    open(store, sheet, true);
    ASSERT_TRUE(
        waitFor([&] { return rec.count(kDone) + rec.count(kFailed) == 1 && store.alerts->shown().size() == 2; }));
    EXPECT_EQ(rec.count(kDone), 1);
    EXPECT_EQ(rec.named(kDone).value(0).userInfo.value("productid").toString(), QStringLiteral("KJV"));
    EXPECT_EQ(store.alerts->shown()[0].messageText, QStringLiteral("Quillstead is downloading recent purchase(s)."));
    EXPECT_EQ(store.alerts->shown()[1].messageText,
        QStringLiteral("There was a problem updating the list of books you own."));
    EXPECT_EQ(store.bookFiles(), QStringList {"KJV.tvk"});
}

TEST_F(Sheets, SignedOutAsksForTheSignInAndSendsNothing)
{
    Store store;
    store.defaults->set(SettingsKeys::CredentialsValid, false);
    Recorder rec(store.center, {StoreNotifications::qsOwnedBooksListStartedDownloading});
    DownloadBooksSheetWindowController sheet(store.context(server.get()));
    sheet.windowDidLoad();
    ASSERT_EQ(store.alerts->shown().size(), 1);
    EXPECT_EQ(store.alerts->shown()[0].messageText,
        QStringLiteral("You must be logged into your Tavrosen account to download books from your account on the "
                       "Tavrosen Cloud."));
    EXPECT_EQ(rec.count(StoreNotifications::qsOwnedBooksListStartedDownloading), 0);
    sheet.onDownloadAllBooks();
    EXPECT_EQ(store.alerts->shown().size(), 2);
    EXPECT_EQ(store.downloads->count(), 0);
}

// The server's product names are shown as written: a name that looks like markup naming a file opens
// nothing, in the list or in the cell.
TEST(DownloadSheet, ProductNamesFromTheServerAreShownAsWritten)
{
    ensureWidgetApplication();
    QTemporaryDir dir;
    const QString watched = dir.filePath(QStringLiteral("watched.png"));
    QImage picture(8, 8, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(watched));
    TestSupport::FileAccessWatch access(watched);
    ASSERT_TRUE(access.valid());
    // The stand-in sells one book, whose name is the product name it sends.
    const QString catalog = dir.filePath(QStringLiteral("catalog"));
    QDir().mkpath(catalog);
    const std::string name = "<img src=\"" + watched.toStdString() + "\">Hostile Product";
    cTvkBookBuilder builder;
    builder.info.bookName = name;
    builder.info.abbreviatedTitle = "Hostile";
    builder.info.publisherId = 79;
    builder.info.bookId = 4;
    builder.addSection({"Part", 1, "Words.", 0});
    ASSERT_TRUE(builder.writeFile(QDir(catalog).filePath(QStringLiteral("HOSTILE.tvk")).toStdString()));
    standin_test::Server server({QStringLiteral("--books"), catalog});
    ASSERT_TRUE(server.running());

    Store store;
    DownloadBooksSheetWindowController sheet(store.context(&server, false));
    Recorder rec(store.center, {kListDone, kListFailed});
    sheet.show();
    sheet.windowDidLoad();
    ASSERT_TRUE(waitFor([&] { return rec.count(kListDone) == 1; }));
    const int row = rowOf(sheet, QStringLiteral("HOSTILE"));
    ASSERT_GE(row, 0);
    BookTableCellView* cell = sheet.cellForRow(row);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->textField()->text(), QString::fromStdString(name));
    EXPECT_EQ(cell->textField()->textFormat(), Qt::PlainText);
    // A name longer than its row ends in an ellipsis inside the row; the whole name is its tool tip.
    sheet.resize(560, sheet.height());
    ASSERT_TRUE(waitFor([&] { return cell->width() < 560 && cell->textField()->width() > 0; }));
    const QString shown = cell->textField()->shownText();
    EXPECT_LE(cell->textField()->geometry().right(), cell->contentsRect().right());
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(QString::fromStdString(name).startsWith(shown.chopped(1))) << shown.toStdString();
    EXPECT_LE(cell->textField()->fontMetrics().horizontalAdvance(shown), cell->textField()->contentsRect().width());
    EXPECT_TRUE(cell->textField()->toolTip().contains(QStringLiteral("Hostile Product")));
    sheet.grab();
    screenshot(sheet, QStringLiteral("download-sheet-hostile-name.png"));
    EXPECT_FALSE(access.touched());
}

TEST(OpenBookSheet, ListsInstalledBooksByKindAndOpensTheChosenOnes)
{
    ensureWidgetApplication();
    if (!standin_test::haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    Store store;
    for (const char* name : {"KJV.tvk", "Scofield.tvk"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(QS_BINARY_DIR "/library/") + name, QDir(store.books).filePath(name)));
    ASSERT_EQ(store.installed(), 2);
    store.defaults->set(SettingsKeys::CloseOpenBookOnOpen, false);
    OpenBookSheetWindowController sheet(store.context(nullptr));
    sheet.show();
    ASSERT_EQ(sheet.kinds().size(), 6);
    EXPECT_TRUE(sheet.kinds()[0].active);
    EXPECT_TRUE(sheet.kinds()[1].active);   // Bibles
    EXPECT_TRUE(sheet.kinds()[2].active);   // Commentaries
    EXPECT_FALSE(sheet.kinds()[4].active);  // Devotionals
    EXPECT_EQ(sheet.kinds()[0].covers.size(), 2);
    EXPECT_EQ(store_sheet_test::booksList(&sheet)->count(), 2);
    EXPECT_FALSE(store_sheet_test::kindsList(&sheet)->item(4)->flags() & Qt::ItemIsEnabled);

    // An empty kind keeps the selection; Bibles lists the one Bible.
    sheet.chooseKindRow(4);
    EXPECT_EQ(store_sheet_test::kindsList(&sheet)->currentRow(), 0);
    sheet.chooseKindRow(1);
    EXPECT_EQ(store_sheet_test::kindsList(&sheet)->currentRow(), 1);
    ASSERT_EQ(store_sheet_test::booksList(&sheet)->count(), 1);
    const SourceTuple::Ptr kjv = sheet.sourcesOfSelectedKind()->tupleAtIndex(0);
    ASSERT_TRUE(kjv);
    sheet.chooseKindRow(0);

    // The keys start in the book list: the first letters of a book choose it, Return opens it.
    Recorder rec(store.center, {PaneNotifications::UserWantsToOpenThisBookNotification});
    {
        OpenBookSheetWindowController typed(store.context(nullptr));
        typed.show();
        typed.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&typed));
        QListWidget* books = store_sheet_test::booksList(&typed);
        ASSERT_TRUE(QTest::qWaitFor([books] { return QApplication::focusWidget() == books; }))
            << "the keys are in "
            << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "nothing");
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Sco"));
        ASSERT_NE(books->currentItem(), nullptr);
        EXPECT_TRUE(books->currentItem()->text().startsWith(QStringLiteral("Sco")))
            << books->currentItem()->text().toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        ASSERT_EQ(rec.received.size(), 1);
        EXPECT_EQ(rec.received[0].userInfo.value("bookid").toLongLong(), 110);  // Scofield's notes
        rec.received.clear();
    }

    // With the check box off, each chosen book opens and the sheet stays.
    sheet.chooseBookRow(0);
    sheet.chooseBookRow(1);
    ASSERT_EQ(rec.received.size(), 2);
    EXPECT_TRUE(sheet.isVisible());
    QSet<qint64> opened;
    for (const Notification& n : rec.received) {
        opened.insert(n.userInfo.value("pubid").toLongLong() * 100000 + n.userInfo.value("bookid").toLongLong());
        EXPECT_EQ(n.userInfo.keys(), (QStringList {"bookid", "edition", "pubid", "revision"}));
    }
    EXPECT_TRUE(opened.contains(kjv->record().pubID * 100000 + kjv->record().bookID));
    EXPECT_EQ(opened.size(), 2);
    const QVariantMap first = rec.received[0].userInfo;
    const SourceTuple::Ptr firstTuple = store.library->allSources()->tupleAtIndex(0);
    EXPECT_EQ(first.value("edition").toLongLong(), firstTuple->record().editionNumber);
    EXPECT_EQ(first.value("revision").toLongLong(), firstTuple->record().revisionNumber);

    // A book installed while the sheet is open is listed at once.
    ASSERT_TRUE(QFile::copy(QStringLiteral(QS_BINARY_DIR "/library/Nave.tvk"), QDir(store.books).filePath("Nave.tvk")));
    ASSERT_TRUE(store.library->addNewSource(QDir(store.books).filePath("Nave.tvk")));
    EXPECT_EQ(store_sheet_test::booksList(&sheet)->count(), 3);
    EXPECT_TRUE(sheet.kinds()[3].active);  // Dictionaries, which had no book before
    EXPECT_TRUE(store_sheet_test::kindsList(&sheet)->item(3)->flags() & Qt::ItemIsEnabled);
    screenshot(sheet, QStringLiteral("open-book-sheet.png"));

    // With the check box on, choosing closes the sheet, and the choice is remembered.
    auto* closeAutomatically = sheet.findChild<QCheckBox*>(QStringLiteral("closeAutomaticallyCheckbox"));
    ASSERT_NE(closeAutomatically, nullptr);
    closeAutomatically->setChecked(true);
    EXPECT_TRUE(store.defaults->value(SettingsKeys::CloseOpenBookOnOpen));
    sheet.chooseBookRow(2);
    EXPECT_EQ(rec.received.size(), 3);
    EXPECT_FALSE(sheet.isVisible());
}

// A sheet made over a window with a centre of its own asks for books there, follows the library there,
// and leaves nothing behind in it when it goes.
TEST(OpenBookSheet, WorksThroughTheCentreOfItsWindow)
{
    ensureWidgetApplication();
    if (!standin_test::haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    Store store;
    ASSERT_TRUE(QFile::copy(QStringLiteral(QS_BINARY_DIR "/library/KJV.tvk"), QDir(store.books).filePath("KJV.tvk")));
    ASSERT_EQ(store.installed(), 1);
    store.defaults->set(SettingsKeys::CloseOpenBookOnOpen, false);
    NotificationCenter windowCentre;
    StoreContext context = store.context(nullptr);
    context.window.setNotifications(&windowCentre);
    Recorder onTheLibraryCentre(store.center, {PaneNotifications::UserWantsToOpenThisBookNotification});
    QList<Notification> asked;
    int probe = 0;
    windowCentre.addObserver(
        &probe, PaneNotifications::UserWantsToOpenThisBookNotification, [&](Notification& n) { asked.append(n); });
    {
        OpenBookSheetWindowController sheet(context);
        sheet.show();
        ASSERT_EQ(store_sheet_test::booksList(&sheet)->count(), 1);
        sheet.chooseBookRow(0);
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(asked[0].userInfo.value("pubid").toLongLong(),
            store.library->allSources()->tupleAtIndex(0)->record().pubID);
        EXPECT_TRUE(onTheLibraryCentre.received.isEmpty());

        // The library's news reaches the sheet through the window's centre.
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(QS_BINARY_DIR "/library/Nave.tvk"), QDir(store.books).filePath("Nave.tvk")));
        ASSERT_TRUE(store.library->addNewSource(QDir(store.books).filePath("Nave.tvk")));
        EXPECT_EQ(store_sheet_test::booksList(&sheet)->count(), 1) << "the program's centre is not the window's";
        windowCentre.postNotificationName(LibraryNotifications::qsSourceManagerAddedBookNotification);
        EXPECT_EQ(store_sheet_test::booksList(&sheet)->count(), 2);
    }
    windowCentre.removeObserver(&probe);
    EXPECT_EQ(windowCentre.observationCount(), 0);
}
