// The reader's entry point. Options:
//   --reset-layout       ask to delete the screen layout before starting
//   --reset-settings     ask to restore every setting to its factory default
//   --reinstall-books    ask to install the books that come with the application again
//   --screenshot FILE    start, save a picture of the main window once its first page has painted,
//                        and quit (for machines without a display: run with QT_QPA_PLATFORM=offscreen)
//   --measure-startup    start, print "first-verses-painted ms=<since the program began> rss_kb=<resident
//                        memory> panes=<book panes> renderers=<renderer processes> processes=<the reader's
//                        and its children> tree_rss_kb=<theirs> tree_pss_kb=<their proportional
//                        memory> pss_kb=<the reader's own> uss_kb=<its unique pages> heap_kb=<its heap
//                        in use> tree_uss_kb=<the tree's unique pages> other_engine_processes=<web-engine
//                        processes outside the tree, which share the engine's pages>" once the first
//                        Bible pane's page has painted its verses, and quit; on a screen the line ends
//                        with " verses_rect=<x>,<y>,<width>,<height>", the screen pixels of that page's
//                        text (its scroll bar left out)
//   --measure-hold MS    with --measure-startup: quit MS milliseconds after the report, the window
//                        still showing (for a benchmark that watches the screen)
//   FILE.tvk             a book to install and open
// A start while a reader runs on the same profile hands over to it (with its book, if any): that
// reader comes to the front and this start ends.
#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "app/ReaderInstance.h"
#include "library/SourceTuple.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "panes/page/EngineProcesses.h"
#include "panes/page/WebViewGraphics.h"
#include "platform/Alerts.h"
#include "platform/AppVersion.h"
#include "platform/ProcessTree.h"
#include "platform/ui/WidgetAlerts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// The compiled books that come with the application: installed beside the program, or the build's.
QString findBundledBooks()
{
    const QString installed =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/quillstead/books"));
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
#ifdef QS_BUILD_BOOKS_DIR
    return QStringLiteral(QS_BUILD_BOOKS_DIR);
#else
    return {};
#endif
}

// The region of the current layout whose pane is the first to show a Bible; null when none does.
LayoutBookPane* firstBiblePane(const LayoutManager& layouts)
{
    const Layout* layout = layouts.currentLayout();
    for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i) {
        LayoutBookPane* pane = asBookPane(layout->contentsAt(i)->viewController());
        const auto book = pane != nullptr ? pane->currentSourceTuple() : nullptr;
        if (book != nullptr && book->isABible())
            return pane;
    }
    return nullptr;
}

// The book panes of the current layout.
int bookPaneCount(const LayoutManager& layouts)
{
    const Layout* layout = layouts.currentLayout();
    int count = 0;
    for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i)
        count += asBookPane(layout->contentsAt(i)->viewController()) != nullptr ? 1 : 0;
    return count;
}

// Calls `then` once with that page, when the page of the first Bible pane of the main window has
// painted its first screen of verses (the page paints once its view is filled around the place it
// shows); with no Bible pane, when the first book page has painted; after `limitMs`, with null.
// Pages are made as the panes fill, so new ones are looked for until that one paints.
void whenFirstVersesPainted(
    QWidget* window, const LayoutManager& layouts, int limitMs, std::function<void(BookPageView*)> then)
{
    auto* watcher = new QTimer(window);
    auto done = std::make_shared<bool>(false);
    auto finish = [watcher, done, then](BookPageView* painted) {
        if (*done)
            return;
        *done = true;
        watcher->stop();
        watcher->deleteLater();
        then(painted);
    };
    auto watched = std::make_shared<QSet<BookPageView*>>();
    QObject::connect(watcher, &QTimer::timeout, window, [window, &layouts, watched, finish] {
        for (BookPageView* page : window->findChildren<BookPageView*>()) {
            if (watched->contains(page))
                continue;
            watched->insert(page);
            QObject::connect(page, &BookPageView::pagePainted, window, [page, &layouts, finish](quint64 serial) {
                if (serial != page->webViewSerialNumber())
                    return;
                LayoutBookPane* bible = firstBiblePane(layouts);
                if (bible == nullptr || bible->paneView()->isAncestorOf(page))
                    finish(page);
            });
        }
    });
    watcher->start(5);
    QTimer::singleShot(limitMs, window, [finish] { finish(nullptr); });
}

// Where the page's text is on the screen, in screen pixels, its scroll bar left out; empty offscreen.
QString screenRectOf(const QWidget* page)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return {};
    constexpr int kScrollBarWidth = 16;
    const QPoint topLeft = page->mapToGlobal(QPoint(0, 0));
    const qreal scale = page->devicePixelRatioF();
    return QStringLiteral(" verses_rect=%1,%2,%3,%4")
        .arg(qRound(topLeft.x() * scale))
        .arg(qRound(topLeft.y() * scale))
        .arg(qRound((page->width() - kScrollBarWidth) * scale))
        .arg(qRound(page->height() * scale));
}

}  // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    BookPageScheme::registerScheme();  // before the application object
    // The web engine's flags go to it through the application's arguments, likewise.
    EngineProcesses::Arguments arguments(argc, argv);
    WebViewGraphics::prepare();  // likewise: it may keep OpenGL from loading
    QApplication app(arguments.argc(), arguments.argv());
    QApplication::setApplicationName(QStringLiteral("Quillstead"));
    QApplication::setApplicationVersion(AppVersion::version());
    QApplication::setOrganizationName(QStringLiteral("Tavrosen"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillstead"));
    QApplication::setDesktopFileName(QStringLiteral("quillstead"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillstead, a Bible-study reader."));
    parser.addHelpOption();
    const QCommandLineOption resetLayout(QStringLiteral("reset-layout"), QStringLiteral("Delete the screen layout."));
    const QCommandLineOption resetSettings(
        QStringLiteral("reset-settings"), QStringLiteral("Restore factory settings."));
    const QCommandLineOption reinstall(QStringLiteral("reinstall-books"), QStringLiteral("Reinstall bundled books."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the main window after start-up, then quit."), QStringLiteral("file"));
    const QCommandLineOption measure(QStringLiteral("measure-startup"),
        QStringLiteral("Print the time to the first painted page and the resident memory then, and quit."));
    const QCommandLineOption measureHold(QStringLiteral("measure-hold"),
        QStringLiteral("With --measure-startup, quit this many milliseconds after the report."), QStringLiteral("ms"),
        QStringLiteral("0"));
    parser.addOptions({resetLayout, resetSettings, reinstall, screenshot, measure, measureHold});
    parser.addPositionalArgument(QStringLiteral("book"), QStringLiteral("A book file to install and open."));
    parser.process(EngineProcesses::programArguments(QCoreApplication::arguments()));

    // One reader per profile: a later start of any kind hands over to the running reader (which
    // comes to the front and opens the book given) and ends before it touches the profile.
    const QStringList books = parser.positionalArguments();
    ReaderInstance& instance = ReaderInstance::forThisProfile();
    const ReaderInstance::Claim claim = instance.claim(books.value(0));
    if (claim == ReaderInstance::Claim::HandedOver)
        return 0;
    // Before the first web view: without a GPU, pages are drawn by the software scene graph.
    WebViewGraphics::choose();
    // The engine starts with its flags; what the reader set for its own start goes back as the
    // user had it, so the programs it opens inherit the user's environment.
    EngineProcesses::started();
    Alerts::setShared(std::make_shared<WidgetAlerts>());
    if (claim == ReaderInstance::Claim::NoAnswer || claim == ReaderInstance::Claim::Blocked) {
        Alert alert;
        alert.style = AlertStyle::Critical;
        const QString lockFile = QDir::toNativeSeparators(instance.lockFilePath());
        if (claim == ReaderInstance::Claim::Blocked) {
            alert.messageText = QStringLiteral("Quillstead cannot start.");
            alert.informativeText =
                QStringLiteral("Something that is not Quillstead's lock file stands at \"%1\" and cannot be moved. "
                               "Remove it and try again.")
                    .arg(lockFile);
        } else {
            const qint64 pid = instance.ownerPid();
            alert.messageText = QStringLiteral("Quillstead is already running.");
            alert.informativeText =
                QStringLiteral("Another Quillstead%1 is using your library and notes (it holds \"%2\") but did not "
                               "answer. Close it, or wait until it has finished starting, and try again.")
                    .arg(pid > 0 ? QStringLiteral(" (process %1)").arg(pid) : QString(), lockFile);
            if (instance.socketPathIsBlocked())
                alert.informativeText +=
                    QStringLiteral(" Something that is not Quillstead's socket stands at \"%1\", "
                                   "so it cannot be reached: remove it and start Quillstead again.")
                        .arg(QDir::toNativeSeparators(instance.socketName()));
        }
        std::fprintf(stderr, "%s %s\n", qPrintable(alert.messageText), qPrintable(alert.informativeText));
        Alerts::shared().runModal(alert);
        return 1;
    }

    QuillsteadAppController::setBundledBooksFolder(findBundledBooks());
    // Made before the window and kept until its layouts are gone (below).
    const ProgramServices services;
    const WindowEnvironment environment = services.environment();
    auto owner = std::make_unique<QuillsteadAppController>(environment);
    QuillsteadAppController& controller = *owner;
    controller.applicationDidFinishLaunching(
        {parser.isSet(resetLayout), parser.isSet(resetSettings), parser.isSet(reinstall)});
    if (!books.isEmpty())
        controller.loadAndOpenBook(books.first());

    QWidget* window = controller.mainWindowController()->window();
    if (parser.isSet(measure)) {
        bool holdOk = false;
        const int holdMs = qBound(0, parser.value(measureHold).toInt(&holdOk), 60000);
        whenFirstVersesPainted(window, environment.layoutManager(), 60000,
            [&controller, &environment, &sinceStart, holdMs = holdOk ? holdMs : 0](BookPageView* painted) {
                const qint64 ms = sinceStart.elapsed();
                if (painted != nullptr) {
                    const ProcessTree::Summary tree = ProcessTree::summarize();
                    std::printf("first-verses-painted ms=%lld rss_kb=%lld panes=%d renderers=%d processes=%d "
                                "tree_rss_kb=%lld tree_pss_kb=%lld pss_kb=%lld uss_kb=%lld heap_kb=%lld "
                                "tree_uss_kb=%lld other_engine_processes=%d%s\n",
                        static_cast<long long>(ms), static_cast<long long>(tree.ownRssKiB),
                        bookPaneCount(environment.layoutManager()), tree.renderers, tree.processes,
                        static_cast<long long>(tree.rssKiB), static_cast<long long>(tree.pssKiB),
                        static_cast<long long>(tree.ownPssKiB), static_cast<long long>(tree.ownUssKiB),
                        static_cast<long long>(ProcessTree::heapInUseKiB()), static_cast<long long>(tree.ussKiB),
                        tree.otherEngineProcesses, qPrintable(screenRectOf(painted)));
                } else {
                    std::printf("no verses painted within %lld ms\n", static_cast<long long>(ms));
                }
                std::fflush(stdout);
                const bool ok = painted != nullptr;
                QTimer::singleShot(ok ? holdMs : 0, &controller, [&controller, ok] {
                    controller.applicationWillTerminate();
                    QCoreApplication::exit(ok ? 0 : 1);
                });
            });
    } else if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        // The picture is taken once the first verses have painted (and the other panes had a moment).
        whenFirstVersesPainted(window, environment.layoutManager(), 60000, [&controller, file](BookPageView*) {
            QTimer::singleShot(1500, &controller, [&controller, file] {
                const bool saved = controller.mainWindowController()->window()->grab().save(file);
                controller.applicationWillTerminate();
                QCoreApplication::exit(saved ? 0 : 1);
            });
        });
    }
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &controller,
        [&controller](QSessionManager&) { controller.preemptiveSaveState(); });
    const int status = app.exec();
    // The panes and their pages go before the application object and the web engine under it: the
    // layouts (saved when the window closed) hold the panes.
    owner.reset();
    environment.layoutManager().setLayouts({});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
