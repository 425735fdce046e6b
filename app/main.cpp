// The reader's entry point. Options:
//   --reset-layout       ask to delete the screen layout before starting
//   --reset-settings     ask to restore every setting to its factory default
//   --reinstall-books    ask to install the books that come with the application again
//   --screenshot FILE    start, save a picture of the main window once its first page has painted,
//                        and quit (for machines without a display: run with QT_QPA_PLATFORM=offscreen)
//   --measure-startup    start, print "first-page-painted ms=<since the program began> rss_kb=<resident
//                        memory>" once the first page of the first layout has painted, and quit
//   FILE.tvk             a book to install and open; handed to the reader already running, if any
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "panes/layout/LayoutManager.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "platform/AppVersion.h"
#include "platform/ui/WidgetAlerts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

// The resident memory of this process in kilobytes (0 when it cannot be read).
qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Calls `then` once, when the first book page of the main window has painted (or after `limitMs`
// with false). Pages are made as the panes fill, so new ones are looked for until one paints.
void whenFirstPagePainted(QWidget* window, int limitMs, std::function<void(bool)> then)
{
    auto* watcher = new QTimer(window);
    auto done = std::make_shared<bool>(false);
    auto finish = [watcher, done, then](bool painted) {
        if (*done)
            return;
        *done = true;
        watcher->stop();
        watcher->deleteLater();
        then(painted);
    };
    auto watched = std::make_shared<QSet<BookPageView*>>();
    QObject::connect(watcher, &QTimer::timeout, window, [window, watched, finish] {
        for (BookPageView* page : window->findChildren<BookPageView*>()) {
            if (watched->contains(page))
                continue;
            watched->insert(page);
            QObject::connect(page, &BookPageView::pagePainted, window, [finish](quint64) { finish(true); });
        }
    });
    watcher->start(5);
    QTimer::singleShot(limitMs, window, [finish] { finish(false); });
}

}  // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    BookPageScheme::registerScheme();  // before the application object
    QApplication app(argc, argv);
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
    parser.addOptions({resetLayout, resetSettings, reinstall, screenshot, measure});
    parser.addPositionalArgument(QStringLiteral("book"), QStringLiteral("A book file to install and open."));
    parser.process(app);

    const QStringList books = parser.positionalArguments();
    if (!books.isEmpty() && QuillsteadAppController::handOverToRunningInstance(books.first()))
        return 0;

    Alerts::setShared(std::make_shared<WidgetAlerts>());
    QuillsteadAppController::setBundledBooksFolder(findBundledBooks());
    auto owner = std::make_unique<QuillsteadAppController>();
    QuillsteadAppController& controller = *owner;
    controller.applicationDidFinishLaunching(
        {parser.isSet(resetLayout), parser.isSet(resetSettings), parser.isSet(reinstall)});
    if (!books.isEmpty())
        controller.loadAndOpenBook(books.first());

    QWidget* window = controller.mainWindowController()->window();
    if (parser.isSet(measure)) {
        whenFirstPagePainted(window, 60000, [&controller, &sinceStart](bool painted) {
            const qint64 ms = sinceStart.elapsed();
            if (painted)
                std::printf("first-page-painted ms=%lld rss_kb=%lld\n", static_cast<long long>(ms),
                    static_cast<long long>(residentKilobytes()));
            else
                std::printf("no page painted within %lld ms\n", static_cast<long long>(ms));
            std::fflush(stdout);
            controller.applicationWillTerminate();
            QCoreApplication::exit(painted ? 0 : 1);
        });
    } else if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        // The picture is taken once the first page has painted (and its neighbours had a moment).
        whenFirstPagePainted(window, 60000, [&controller, file](bool) {
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
    LayoutManager::sharedLayoutManager().setLayouts({});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
