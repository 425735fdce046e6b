#include "platform/SettingsKeys.h"
#include "reports/ui/web/AutostudyResultsWindowController.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/BookPageScheme.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "reports/AutoStudyElements.h"
#include "reports/AutoStudyManager.h"
#include "reports/OutputFile.h"
#include "support/FileAccessWatch.h"
#include "support/RecordingAlerts.h"
#include "support/TestSupport.h"
#include "tools/tvkbuild/TvkJsonSource.h"
#include "userdata/cBibleNote.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

// The web engine is not built with the sanitizers: there the tests that need a live view skip.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kWebEngineUsable = false;
#else
constexpr bool kWebEngineUsable = true;
#endif

bool g_haveBooks = false;
// The window's own alerts, defaults and centre; the process's alerts should stay silent.
std::shared_ptr<RecordingAlerts> g_alerts;
RecordingAlerts* g_processAlerts = nullptr;
WindowEnvironment g_env;

class ResultsWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!kWebEngineUsable)
            GTEST_SKIP() << "no live web view under the sanitizers";
        if (!g_haveBooks)
            GTEST_SKIP() << "the sample library is not built";
        g_alerts->clear();
    }

    void TearDown() override { EXPECT_TRUE(g_processAlerts->shown().isEmpty()); }

    static SourceTuple::Ptr kjv()
    {
        for (const auto& t : SourceManager::singleton().bibleSources()->array())
            if (t->record().abbr == QLatin1String("KJV"))
                return t;
        return nullptr;
    }

    // The reports' manager, made on first use (the library is loaded by then) and kept to the end.
    static AutoStudyManager& autoStudy()
    {
        static const std::unique_ptr<AutoStudyManager> manager =
            AutoStudyManager::create(NotificationCenter::defaultCenter(), SourceManager::singleton(),
                TestSupport::privateDefaults(), noteDocInstance());
        return *manager;
    }

    static QString verseReport(const QString& text)
    {
        const SourceTuple::Ptr bible = kjv();
        BibleRef ref;
        if (!bible || !ref.parse(text) || !ref.mapToTranslation(bible->record().abbr))
            return QString();
        return autoStudy().resultsFileForAutoVerseStudyOn(ref, bible, 0);
    }

    static QVariantMap verseInfo(const QString& text)
    {
        return {{QStringLiteral("refString"), text}, {QStringLiteral("saveAsHint"), text},
            {QStringLiteral("windowTitle"), text}};
    }

    // The report's web view, the window's one.
    static QWebEngineView* reportView(QWidget* window) { return window->findChild<QWebEngineView*>(); }

    static bool waitForLoad(QWebEngineView* view)
    {
        QEventLoop loop;
        bool ok = false;
        QObject::connect(view, &QWebEngineView::loadFinished, &loop, [&](bool done) {
            ok = done;
            loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        return ok;
    }

    static QString pageText(QWebEngineView* view)
    {
        QEventLoop loop;
        QString text;
        view->page()->toPlainText([&](const QString& t) {
            text = t;
            loop.quit();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        return text;
    }

    static QByteArray contents(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(ResultsWindow, ShowsTheJohn316ReportAndSavesItsPicture)
{
    const QString path = verseReport(QStringLiteral("John 3:16"));
    ASSERT_FALSE(path.isEmpty());
    QPointer<AutostudyResultsWindowController> window = AutostudyResultsWindowController::runWithFile(
        g_env, path, PaneNotifications::UserWantsToDoVerseAutostudy, verseInfo(QStringLiteral("John 3:16")));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Autostudy John 3:16"));
    ASSERT_TRUE(waitForLoad(reportView(window)));
    const QString text = pageText(reportView(window));
    EXPECT_TRUE(text.contains(QLatin1String("Study on John 3:16 (KJV)"))) << qPrintable(text.left(300));
    EXPECT_TRUE(text.contains(QLatin1String("For God so loved the world"))) << qPrintable(text.left(600));
    EXPECT_TRUE(text.contains(QLatin1String("Bibliography")));
    EXPECT_FALSE(text.contains(QLatin1String("<div"))) << "the report's markup must be read as HTML";
    EXPECT_TRUE(TestSupport::waitForPainted(reportView(window)->page(), reportView(window)));
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(window->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/verse-report.png")));

    window->onClose();
    EXPECT_FALSE(QFile::exists(path));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(g_env.settings().value(SettingsKeys::AutostudyResultsWindowFrame).isEmpty());
}

TEST_F(ResultsWindow, AReferenceInTheReportGoesToItsPassageInTheReader)
{
    LayoutManager layouts(g_env.notifications());
    Layout* layout = layouts.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 800, 600}, QString());
    layouts.setCurrentLayout(layout);
    WindowEnvironment env = g_env;
    env.setLayoutManager(&layouts);
    // A commentary's reference as the report writes it, and a web link, which goes nowhere.
    const QString path = QDir(AppFolders::cacheDirectory()).filePath(QStringLiteral("link-report.htm"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html><body style='font-size:40px'><p><a id='web' href='https://example.com/'>web</a></p>"
                "<p><a id='mark' href=\"bible:#01290216\">Mk 2:22</a></p></body></html>");
    }
    QPointer<AutostudyResultsWindowController> window = AutostudyResultsWindowController::runWithFile(
        env, path, PaneNotifications::UserWantsToDoVerseAutostudy, verseInfo(QStringLiteral("Mark 2:22")));
    window->show();
    QWebEngineView* view = reportView(window);
    ASSERT_TRUE(waitForLoad(view));
    ASSERT_TRUE(TestSupport::waitForPainted(view->page(), view));
    QList<GoToRequest> goTos;
    int observer = 0;
    g_env.notifications().addObserver(
        &observer, LibraryNotifications::GoToNotification, [&](Notification& n) { goTos.append(GoToRequest::of(n)); });
    // The keyboard reaches the links in their order: the web link, then the reference.
    window->activateWindow();
    view->setFocus();
    QWidget* keys = view->focusProxy() != nullptr ? view->focusProxy() : view;
    QTest::keyClick(keys, Qt::Key_Tab);
    QTest::keyClick(keys, Qt::Key_Return);
    QTest::qWait(300);
    EXPECT_TRUE(goTos.isEmpty()) << "a web link goes nowhere from a report";
    QTest::keyClick(keys, Qt::Key_Tab);
    QTest::keyClick(keys, Qt::Key_Return);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !goTos.isEmpty(); }));
    g_env.notifications().removeObserver(&observer);
    ASSERT_EQ(goTos.size(), 1);
    EXPECT_EQ(goTos.first().href.value_or(QString()), QStringLiteral("bible:#01290216"));
    EXPECT_EQ(goTos.first().layoutUuid, layout->uuidString());
    // The report stays where it was.
    EXPECT_EQ(view->url(), QUrl::fromLocalFile(path));
    window->onClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ResultsWindow, PrintsTheJohn316ReportIntoASmallPdfOfText)
{
    const QString path = verseReport(QStringLiteral("John 3:16"));
    ASSERT_FALSE(path.isEmpty());
    QPointer<AutostudyResultsWindowController> window = AutostudyResultsWindowController::runWithFile(
        g_env, path, PaneNotifications::UserWantsToDoVerseAutostudy, verseInfo(QStringLiteral("John 3:16")));
    ASSERT_TRUE(waitForLoad(reportView(window)));
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("John 3_16.pdf"));

    // Print..., then the dialog's PDF file with a name typed in, then Print.
    auto* print = window->findChild<QPushButton*>(QStringLiteral("printButton"));
    ASSERT_NE(print, nullptr);
    const bool shown = TestSupport::whenShown<QPrintDialog>([print] { QTest::mouseClick(print, Qt::LeftButton); },
        [&pdf](QPrintDialog* dialog) {
            QLineEdit* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
            for (QLineEdit* field : dialog->findChildren<QLineEdit*>())
                if (name == nullptr && field->text().endsWith(QLatin1String(".pdf")))
                    name = field;
            EXPECT_NE(name, nullptr) << "the dialog offers no PDF file";
            if (name != nullptr)
                name->setText(pdf);
            dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
            dialog->accept();
        });
    ASSERT_TRUE(shown) << "Print did not open the print dialog";
    ASSERT_TRUE(TestSupport::waitFor([&pdf] { return QFile::exists(pdf); })) << "no PDF was written";

    // A page or two of text, not pictures of pages.
    const qint64 size = QFileInfo(pdf).size();
    EXPECT_GT(size, 0);
    EXPECT_LT(size, 1024 * 1024) << size;
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    ASSERT_FALSE(pdftotext.isEmpty()) << "pdftotext (poppler-utils, scripts/install-deps.sh) is not installed";
    QProcess reader;
    reader.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(reader.waitForFinished(30000));
    const QString text = QString::fromUtf8(reader.readAllStandardOutput()).simplified();
    EXPECT_TRUE(text.contains(QLatin1String("For God so loved the world"))) << text.left(400).toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("Study on John 3:16"))) << text.left(400).toStdString();
    // Its references are text, with no link into the reader that the file's reader cannot follow.
    EXPECT_TRUE(text.contains(QLatin1String("Mk 2:22"))) << text.left(400).toStdString();
    EXPECT_FALSE(contents(pdf).contains("bible:"));
    EXPECT_TRUE(g_alerts->shown().isEmpty());
    // Kept beside the screenshots, to be looked at.
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    QFile::remove(QStringLiteral(QS_BINARY_DIR "/screenshots/verse-report-printout.pdf"));
    QFile::copy(pdf, QStringLiteral(QS_BINARY_DIR "/screenshots/verse-report-printout.pdf"));
    window->onClose();
}

TEST_F(ResultsWindow, APdfThatCannotBeWrittenIsReportedAndKeepsTheOldFile)
{
    const QString path = verseReport(QStringLiteral("John 3:16"));
    ASSERT_FALSE(path.isEmpty());
    QPointer<AutostudyResultsWindowController> window = AutostudyResultsWindowController::runWithFile(
        g_env, path, PaneNotifications::UserWantsToDoVerseAutostudy, verseInfo(QStringLiteral("John 3:16")));
    ASSERT_TRUE(waitForLoad(reportView(window)));
    QTemporaryDir out;
    // A folder that is not there: nothing can be written, and the window says so.
    const QString nowhere = out.filePath(QStringLiteral("gone/report.pdf"));
    bool finished = false;
    bool ok = true;
    QObject::connect(window, &AutostudyResultsWindowController::printedToFile, window, [&](const QString&, bool done) {
        finished = true;
        ok = done;
    });
    QPrinter printer;
    window->printToPdfFile(nowhere, printer.pageLayout(), {});
    ASSERT_TRUE(TestSupport::waitFor([&finished] { return finished; }));
    EXPECT_FALSE(ok);
    ASSERT_EQ(g_alerts->shown().size(), 1);
    EXPECT_EQ(g_alerts->shown()[0].messageText, QStringLiteral("The autostudy could not be printed."));
    EXPECT_FALSE(QFile::exists(nowhere));

    // A printout over an existing file replaces it whole.
    const QString good = out.filePath(QStringLiteral("report.pdf"));
    QFile old(good);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    finished = false;
    window->printToPdfFile(good, printer.pageLayout(), {});
    ASSERT_TRUE(TestSupport::waitFor([&finished] { return finished; }));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(contents(good).startsWith("%PDF"));
    g_alerts->clear();
    window->onClose();
}

TEST_F(ResultsWindow, SavesCopiesReplacingAnExistingFileAndReportsFailures)
{
    const QString path = verseReport(QStringLiteral("Psalm 23:1"));
    ASSERT_FALSE(path.isEmpty());
    QVariantMap info = verseInfo(QStringLiteral("Psalm 23:1"));
    info.insert(QStringLiteral("saveAsHint"), QStringLiteral("Ps 23:1/2"));
    QPointer<AutostudyResultsWindowController> window = AutostudyResultsWindowController::runWithFile(
        g_env, path, PaneNotifications::UserWantsToDoVerseAutostudy, info);
    EXPECT_EQ(window->suggestedSaveName(), QStringLiteral("Quillstead Autostudy Ps 23_1_2.htm"));

    const QByteArray report = OutputFile::withReaderLinksAsText(contents(path));
    ASSERT_FALSE(report.isEmpty());
    QTemporaryDir out;
    const QString copy = out.filePath(window->suggestedSaveName());
    EXPECT_TRUE(window->saveCopyTo(copy));
    EXPECT_EQ(contents(copy), report);

    // The save panel has asked before a file is replaced: the copy takes its place.
    QFile old(copy);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    old.write("an older study");
    old.close();
    EXPECT_TRUE(window->saveCopyTo(copy));
    EXPECT_EQ(contents(copy), report);
    EXPECT_TRUE(g_alerts->shown().isEmpty());

    // A folder that does not exist: an alert, and the report stays open with its file.
    EXPECT_FALSE(window->saveCopyTo(out.filePath(QStringLiteral("missing/folder/copy.htm"))));
    ASSERT_EQ(g_alerts->shown().size(), 1);
    EXPECT_EQ(g_alerts->shown().first().messageText, QStringLiteral("The autostudy could not be saved."));
    EXPECT_FALSE(g_alerts->shown().first().informativeText.isEmpty());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_FALSE(window.isNull());
    window->onClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ResultsWindow, ASavedReportWritesItsReferencesAsText)
{
    const QString path = verseReport(QStringLiteral("John 3:16"));
    ASSERT_FALSE(path.isEmpty());
    QPointer<AutostudyResultsWindowController> window = AutostudyResultsWindowController::runWithFile(
        g_env, path, PaneNotifications::UserWantsToDoVerseAutostudy, verseInfo(QStringLiteral("John 3:16")));
    ASSERT_TRUE(waitForLoad(reportView(window)));
    const QString shown = QString::fromUtf8(contents(path));
    static const QRegularExpression link(QStringLiteral("<a href=\"bible:[^\"]*\">([^<]*)</a>"));
    ASSERT_GT(shown.count(link), 0) << "the report links its references in the reader";

    // Save As..., a folder chosen in the dialog for the name it suggests, Save.
    QTemporaryDir out;
    const QString copy = out.filePath(window->suggestedSaveName());
    auto* save = window->findChild<QPushButton*>(QStringLiteral("saveButton"));
    ASSERT_NE(save, nullptr);
    const bool asked = TestSupport::whenShown<QFileDialog>([save] { QTest::mouseClick(save, Qt::LeftButton); },
        [&copy](QFileDialog* dialog) {
            dialog->selectFile(copy);
            // Save, as the dialog's button does (once the dialog has read its folder).
            EXPECT_TRUE(TestSupport::waitFor([dialog] {
                static_cast<QDialog*>(dialog)->accept();
                return !dialog->isVisible();
            }));
        });
    ASSERT_TRUE(asked) << "Save As did not ask where";
    ASSERT_TRUE(TestSupport::waitFor([&copy] { return QFile::exists(copy); }));

    // No link a browser cannot follow is left; each reference stays, as its text.
    const QString saved = QString::fromUtf8(contents(copy));
    EXPECT_FALSE(saved.contains(QLatin1String("bible:")));
    EXPECT_FALSE(saved.contains(QLatin1String("<a "))) << "the report has no links that work outside the reader";
    QString expected = shown;
    expected.replace(link, QStringLiteral("\\1"));
    EXPECT_EQ(saved, expected);
    EXPECT_TRUE(saved.contains(QLatin1String("Mk 2:22")));
    EXPECT_TRUE(g_alerts->shown().isEmpty());
    // The report in the window keeps its links.
    EXPECT_EQ(QString::fromUtf8(contents(path)), shown);
    window->onClose();
}

TEST(ReportLinks, OnlyLinksThatWorkOutsideTheReaderStay)
{
    const QByteArray html = "<p><a href=\"bible:#01290216\">Mk 2:22</a>, <A HREF='note:_3' class=n>note</A>, "
                            "<a href=\"javascript:href('bible:Ge 1:1');\"><b>Ge 1:1</b></a>, "
                            "<a href=\"https://example.org/\">web</a>, <a href=\"#top\">top</a>, "
                            "<a name=\"here\">here</a>, <abbr title=\"a\">x</abbr>, <a href=x:y title=\"a>b\">q</a>"
                            "<!-- <a href=\"bible:1\"> --><style>a[href^='bible:'] {}</style></p><a href=\"bible:";
    EXPECT_EQ(OutputFile::withReaderLinksAsText(html),
        QByteArray(
            "<p>Mk 2:22, note, <b>Ge 1:1</b>, <a href=\"https://example.org/\">web</a>, <a href=\"#top\">top</a>, "
            "<a name=\"here\">here</a>, <abbr title=\"a\">x</abbr>, q"
            "<!-- <a href=\"bible:1\"> --><style>a[href^='bible:'] {}</style></p>"));
    EXPECT_EQ(OutputFile::withReaderLinksAsText(QByteArray()), QByteArray());
}

TEST_F(ResultsWindow, ChangeOptionsDeletesTheReportAndAsksForTheDialogAgain)
{
    const QString first = verseReport(QStringLiteral("John 3:16"));
    const QString second = verseReport(QStringLiteral("John 3:17"));
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    ASSERT_NE(first, second);
    // Two windows, each owning its file.
    QPointer<AutostudyResultsWindowController> a = AutostudyResultsWindowController::runWithFile(
        g_env, first, PaneNotifications::UserWantsToDoVerseAutostudy, verseInfo(QStringLiteral("John 3:16")));
    QPointer<AutostudyResultsWindowController> b = AutostudyResultsWindowController::runWithFile(g_env, second,
        PaneNotifications::UserWantsToDoWordAutostudy, {{QStringLiteral("word"), QStringLiteral("grace")}});

    // The request goes to the window's centre, not the process's.
    QList<QPair<QString, QVariantMap>> posted;
    int observer = 0;
    int elsewhere = 0;
    for (const QString& name :
        {PaneNotifications::UserWantsToDoVerseAutostudy, PaneNotifications::UserWantsToDoWordAutostudy}) {
        g_env.notifications().addObserver(&observer, name, [&](Notification& n) {
            posted.append({n.name, n.userInfo});
        });
        NotificationCenter::defaultCenter().addObserver(&observer, name, [&](Notification&) { ++elsewhere; });
    }
    a->onChangeOptions();
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_TRUE(QFile::exists(second));
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted[0].first, PaneNotifications::UserWantsToDoVerseAutostudy);
    EXPECT_EQ(posted[0].second.value(QStringLiteral("refString")).toString(), QStringLiteral("John 3:16"));

    b->close();  // the window's own close button
    EXPECT_FALSE(QFile::exists(second));
    EXPECT_EQ(posted.size(), 1);
    EXPECT_EQ(elsewhere, 0);
    g_env.notifications().removeObserver(&observer);
    NotificationCenter::defaultCenter().removeObserver(&observer);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(b.isNull());
}

// A synced note names local files as images, backgrounds and style sheets: the report carries none
// of them, and the window reads none of them, even from a report file that still names them.
TEST_F(ResultsWindow, AReportFromAHostileNoteReadsNoLocalFile)
{
    QTemporaryDir dir;
    const QString watched = dir.filePath(QStringLiteral("watched.png"));
    QImage picture(8, 8, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(watched));
    TestSupport::FileAccessWatch access(watched);
    const QString pipe = dir.filePath(QStringLiteral("pipe.css"));
    TestSupport::FifoOpenWatch fifo(pipe);
    ASSERT_TRUE(access.valid() && fifo.valid());
    const QString hostile =
        QStringLiteral("<p>Hostile note</p><img src=\"file://%1\"><img src=\"%1\"><img src=\"&#102;ile://%1\">"
                       "<div style=\"background:url(file://%1)\">styled</div><div style=\"background:u\\72l(%1)\">"
                       "escaped</div><style>@import url(file://%2); p { background: url('%1') }</style>"
                       "<table background=\"%1\"><tr><td>cell</td></tr></table><link rel=\"stylesheet\" "
                       "href=\"%2\"><video poster=\"%1\"></video><input type=\"image\" src=\"%1\">"
                       "<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACwAAAAAAQABAAACAkQBADs=\" alt=\"inline\">")
            .arg(watched, pipe);

    const SourceTuple::Ptr bible = kjv();
    ASSERT_TRUE(bible);
    cNoteDoc* notes = noteDocInstance();
    ASSERT_NE(notes, nullptr);
    cBibleNote note;  // Philippians 4:13, which no other test reports on
    note.booknum = 50;
    note.chapter = 4;
    note.verse = 13;
    note.note.assign(cLString16(hostile.toUtf8().constData()));
    ASSERT_TRUE(notes->saveBibleNote(note, false));
    AutoStudyElement* mine = AutoStudyElements::elementDictionaryForID(
        AutoStudyElements::MyNotesID, autoStudy().elements().verseStudyElements());
    ASSERT_NE(mine, nullptr);
    mine->checked = true;
    BibleRef ref;
    ASSERT_TRUE(ref.parse(QStringLiteral("Philippians 4:13")) && ref.mapToTranslation(bible->record().abbr));
    const QString path = autoStudy().resultsFileForAutoVerseStudyOn(ref, bible, AutoStudyElements::MyNotesID);
    note.note.makeEmpty();
    ASSERT_TRUE(notes->saveBibleNote(note, false));
    ASSERT_FALSE(path.isEmpty());

    // The report names no file: only the data: image stays.
    const QString report = QString::fromUtf8(contents(path));
    EXPECT_TRUE(report.contains(QStringLiteral("Hostile note")));
    EXPECT_FALSE(report.contains(watched)) << qPrintable(report.mid(report.indexOf(QStringLiteral("Hostile"))));
    EXPECT_FALSE(report.contains(pipe));
    EXPECT_TRUE(report.contains(QStringLiteral("data:image/gif;base64")));

    // A report file that still names them (saved by hand, or by an older reader) reads none of them.
    const QString older = dir.filePath(QStringLiteral("older.htm"));
    {
        QFile f(older);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("<html><head><style>@import url(file://%1);</style></head><body>%2</body></html>")
                    .arg(pipe, hostile)
                    .toUtf8());
    }
    for (const QString& file : {path, older}) {
        QPointer<AutostudyResultsWindowController> window = AutostudyResultsWindowController::runWithFile(
            g_env, file, PaneNotifications::UserWantsToDoVerseAutostudy, verseInfo(QStringLiteral("Philippians 4:13")));
        ASSERT_TRUE(waitForLoad(reportView(window)));
        const QString text = pageText(reportView(window));
        EXPECT_TRUE(text.contains(QLatin1String("Hostile note"))) << qPrintable(text.left(300));
        EXPECT_TRUE(text.contains(QLatin1String("styled")));
        EXPECT_TRUE(TestSupport::waitForPainted(reportView(window)->page(), reportView(window)));
        window->onClose();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_FALSE(access.touched());
    EXPECT_EQ(fifo.opens(), 0);
}

// A Bible whose name and abbreviation hold markup: the word report draws them as text, in the
// window and in the file it saves, and no frame, table or video of theirs is made.
TEST_F(ResultsWindow, AWordReportShowsABooksMarkupNameAsText)
{
    QFile example(QStringLiteral(QS_SOURCE_DIR "/tools/tvkbuild/examples/minimal-bible.json"));
    ASSERT_TRUE(example.open(QIODevice::ReadOnly));
    QJsonObject source = QJsonDocument::fromJson(example.readAll()).object();
    const QString name = QStringLiteral(
        "<iframe src=\"https://example.org/\"></iframe><video controls></video><table border=1><tr><td>Cell</td></tr>"
        "</table>Marked Bible");
    source.insert(QStringLiteral("title"), name);
    source.insert(QStringLiteral("abbreviation"), QStringLiteral("<b>MB"));
    source.insert(QStringLiteral("publisherId"), 4242);
    source.insert(QStringLiteral("bookId"), 9);
    cTvkBookBuilder builder;
    std::string error;
    ASSERT_TRUE(tvkBuilderFromJson(QJsonDocument(source).toJson().toStdString(), ".", builder, error)) << error;
    const QString file = QDir(AppFolders::booksDirectory()).filePath(QStringLiteral("Marked.tvk"));
    ASSERT_TRUE(builder.writeFile(file.toStdString()));
    autoStudy();  // follows the library from here on: the new Bible joins the word report
    const SourceTuple::Ptr marked = SourceManager::singleton().addNewSource(file);
    ASSERT_TRUE(marked);
    ASSERT_EQ(marked->record().name, name);

    const QString path = autoStudy().resultsFileForAutoWordStudyOn(QStringLiteral("light"), marked, 0);
    ASSERT_FALSE(path.isEmpty());
    const QString report = QString::fromUtf8(contents(path));
    EXPECT_TRUE(report.contains(QStringLiteral("in ") + name.toHtmlEscaped() + QStringLiteral(" (&lt;b&gt;MB)")))
        << qPrintable(report.mid(report.indexOf(QStringLiteral("Search Summary")), 800));
    for (const char* tag : {"<iframe", "<video", "<table", "<b>MB"})
        EXPECT_FALSE(report.contains(QLatin1String(tag))) << tag;

    QPointer<AutostudyResultsWindowController> window = AutostudyResultsWindowController::runWithFile(
        g_env, path, PaneNotifications::UserWantsToDoWordAutostudy, verseInfo(QStringLiteral("light")));
    ASSERT_TRUE(waitForLoad(reportView(window)));
    const QString text = pageText(reportView(window));
    EXPECT_TRUE(text.contains(QStringLiteral("in ") + name + QStringLiteral(" (<b>MB)"))) << qPrintable(text.left(800));
    QEventLoop loop;
    QVariant made;
    reportView(window)->page()->runJavaScript(
        QStringLiteral("document.querySelectorAll('iframe, video, table').length"), [&](const QVariant& v) {
            made = v;
            loop.quit();
        });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(made.toInt(), 0) << qPrintable(made.toString());
    window->onClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SourceManager::singleton().removeSourceForPubID(4242, 9);
}

TEST_F(ResultsWindow, AReportFileThatIsGoneShowsAnEmptyWindowAndClosesCleanly)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("gone.htm"));
    QPointer<AutostudyResultsWindowController> window = AutostudyResultsWindowController::runWithFile(
        g_env, missing, PaneNotifications::UserWantsToDoVerseAutostudy, verseInfo(QStringLiteral("Jude 1")));
    waitForLoad(reportView(window));
    window->onClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("autostudy-results-test");
    TestSupport::usePrivateEngineData();
    QCoreApplication::setApplicationName(QStringLiteral("Quillstead"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    const QString books = AppFolders::booksDirectory();
    g_haveBooks = TestSupport::linkSampleBooks(
        books, {"KJV.tvk", "WEB.tvk", "Scofield.tvk", "StrongsGreek.tvk", "StrongsHebrew.tvk"});
    g_alerts = std::make_shared<RecordingAlerts>();
    g_processAlerts = &TestSupport::programAlerts();
    QTemporaryDir windowHome;
    UserDefaults windowDefaults(windowHome.filePath(QStringLiteral("defaults.ini")));
    SettingsRegistry::registerDefaultsForAllPreferences(windowDefaults);
    NotificationCenter centre;
    g_env.setNotifications(&centre);
    g_env.setSettings(&windowDefaults);
    g_env.setAlert(g_alerts.get());
    g_env.setBooks(&SourceManager::singleton());
    return RUN_ALL_TESTS();
}
