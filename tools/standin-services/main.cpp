// qs-standin: the local stand-in of the maker's online services. Serves on loopback until stopped
// (SIGINT, SIGTERM or POST /_control/quit) and prints its ports on the first line of its output.

#include "cloud/protocol/ServiceHost.h"
#include "tools/standin-services/StandinServices.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

void printLine(const QString& line)
{
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

bool parsePort(const QString& text, quint16& port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535)
        return false;
    port = static_cast<quint16>(value);
    return true;
}

QString defaultBooksDir()
{
#ifdef QS_DEFAULT_BOOKS_DIR
    if (QFileInfo(QStringLiteral(QS_DEFAULT_BOOKS_DIR)).isDir())
        return QStringLiteral(QS_DEFAULT_BOOKS_DIR);
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../../library"));
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qs-standin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Local stand-in of the online services: web script, store, update feed and sync server."));
    parser.addHelpOption();
    const QCommandLineOption httpPort(QStringLiteral("http-port"), QStringLiteral("HTTP port (0: any free port)."),
        QStringLiteral("port"), QString::number(qs::cloud::ServiceHost::kDefaultHttpPort));
    const QCommandLineOption syncPort(QStringLiteral("sync-port"), QStringLiteral("Sync port (0: any free port)."),
        QStringLiteral("port"), QString::number(qs::cloud::ServiceHost::kDefaultSyncPort));
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("Folder of the services' database."),
        QStringLiteral("dir"),
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
            .filePath(QStringLiteral("qs-standin")));
    const QCommandLineOption books(QStringLiteral("books"),
        QStringLiteral("Folder of the compiled books the store sells."), QStringLiteral("dir"));
    const QCommandLineOption fault(QStringLiteral("fault"),
        QStringLiteral("A fault to put on (name=value), repeatable."), QStringLiteral("fault"));
    const QCommandLineOption noDemo(QStringLiteral("no-demo"), QStringLiteral("Do not create the demo account."));
    const QCommandLineOption feedVersion(QStringLiteral("feed-version"),
        QStringLiteral("Version the update feed offers."), QStringLiteral("text"), "0.2.0");
    const QCommandLineOption feedBuild(QStringLiteral("feed-build"),
        QStringLiteral("Build number the update feed offers."), QStringLiteral("n"), "200");
    parser.addOptions({httpPort, syncPort, data, books, fault, noDemo, feedVersion, feedBuild});
    parser.process(app);

    qs::standin::StandinOptions options;
    bool feedBuildOk = false;
    options.feedBuild = parser.value(feedBuild).toInt(&feedBuildOk);
    if (!parsePort(parser.value(httpPort), options.httpPort) || !parsePort(parser.value(syncPort), options.syncPort) ||
        !feedBuildOk) {
        std::fprintf(stderr, "qs-standin: a port is a number from 0 to 65535 and a build a whole number\n");
        return 2;
    }
    options.dataDir = parser.value(data);
    options.booksDir = parser.isSet(books) ? parser.value(books) : defaultBooksDir();
    options.demoAccount = !parser.isSet(noDemo);
    options.feedVersion = parser.value(feedVersion);
    options.faults = parser.values(fault);

    qs::standin::StandinServices services;
    services.setLogger([](const QString& line) { printLine(QStringLiteral("qs-standin: ") + line); });
    services.setQuitHandler([] { QCoreApplication::quit(); });
    QString error;
    if (!services.start(options, &error)) {
        std::fprintf(stderr, "qs-standin: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    // The first line tells a starter where the services are.
    printLine(QStringLiteral("qs-standin: http=127.0.0.1:%1 sync=127.0.0.1:%2 books=%3 data=%4")
                  .arg(services.httpPort())
                  .arg(services.syncPort())
                  .arg(services.catalog().books().size())
                  .arg(QDir(options.dataDir).absolutePath()));
    if (options.demoAccount)
        printLine(QStringLiteral("qs-standin: demo account %1, password %2")
                      .arg(QString::fromLatin1(qs::standin::StandinServices::kDemoEmail),
                          QString::fromLatin1(qs::standin::StandinServices::kDemoPassword)));

    if (::pipe(g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    std::signal(SIGPIPE, SIG_IGN);
    return app.exec();
}
