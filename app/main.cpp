// The reader's entry point. Options:
//   --reset-layout       ask to delete the screen layout before starting
//   --reset-settings     ask to restore every setting to its factory default
//   --reinstall-books    ask to install the books that come with the application again
//   --screenshot FILE    start, save a picture of the main window once its first page has painted,
//                        and quit (for machines without a display: run with QT_QPA_PLATFORM=offscreen)
//   FILE.tvk             a book to install and open; handed to the reader already running, if any
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "panes/page/BookPageScheme.h"
#include "platform/ui/WidgetAlerts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

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

}  // namespace

int main(int argc, char** argv)
{
    BookPageScheme::registerScheme();  // before the application object
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillstead"));
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
    parser.addOptions({resetLayout, resetSettings, reinstall, screenshot});
    parser.addPositionalArgument(QStringLiteral("book"), QStringLiteral("A book file to install and open."));
    parser.process(app);

    const QStringList books = parser.positionalArguments();
    if (!books.isEmpty() && QuillsteadAppController::handOverToRunningInstance(books.first()))
        return 0;

    Alerts::setShared(std::make_shared<WidgetAlerts>());
    QuillsteadAppController::setBundledBooksFolder(findBundledBooks());
    QuillsteadAppController controller;
    controller.applicationDidFinishLaunching(
        {parser.isSet(resetLayout), parser.isSet(resetSettings), parser.isSet(reinstall)});
    if (!books.isEmpty())
        controller.loadAndOpenBook(books.first());

    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        // The first page paints after its web view has loaded: give it a moment, then take the picture.
        QTimer::singleShot(4000, &app, [&controller, file] {
            const bool saved = controller.mainWindowController()->window()->grab().save(file);
            controller.applicationWillTerminate();
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &controller,
        [&controller](QSessionManager&) { controller.preemptiveSaveState(); });
    return app.exec();
}
