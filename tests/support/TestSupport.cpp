// The waits and the books of the build (TestSupport.h); Qt Core and Widgets only, so that tests
// without web views link no web engine.
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <memory>

namespace TestSupport {

bool waitFor(const std::function<bool()>& condition, int msecs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > msecs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool waitForQueuedWork(int msecs)
{
    auto reached = std::make_shared<bool>(false);
    QTimer::singleShot(0, [reached] { *reached = true; });
    return waitFor([reached] { return *reached; }, msecs);
}

bool whenShownImpl(const std::function<void()>& trigger, const std::function<bool()>& actIfShown, int msecs)
{
    // A modal dialog runs its own event loop inside the trigger: a timer is what still reaches it.
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!seen)
            seen = actIfShown();
    });
    poll.start();
    trigger();
    waitFor([&seen] { return seen; }, msecs);
    return seen;
}

QString bundledBooksFolder()
{
    return QStringLiteral(QS_BINARY_DIR "/books");
}

QString sampleLibraryFolder()
{
    return QStringLiteral(QS_BINARY_DIR "/library");
}

bool haveSampleLibrary(std::initializer_list<const char*> books)
{
    const QDir library(sampleLibraryFolder());
    if (books.size() == 0)
        return library.exists(QStringLiteral("KJV.tvk")) && library.exists(QStringLiteral("WEB.tvk"));
    for (const char* book : books)
        if (!library.exists(QLatin1String(book)))
            return false;
    return true;
}

bool linkSampleBooks(const QString& folder, std::initializer_list<const char*> books)
{
    QDir().mkpath(folder);
    const QDir library(sampleLibraryFolder());
    const QDir into(folder);
    for (const char* book : books) {
        const QString name = QLatin1String(book);
        if (into.exists(name))
            continue;
        if (!library.exists(name) || !QFile::link(library.filePath(name), into.filePath(name)))
            return false;
    }
    return true;
}

}  // namespace TestSupport
