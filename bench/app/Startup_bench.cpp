// The reader's start-up, as a user meets it: from starting the `quillstead` process to the first
// Bible pane's painted verses (its page paints once its view is filled), on the sample library, warm (the first start, which installs
// the books, creates the database and scans the library, is left out). Each iteration starts the
// reader with --measure-startup in a private home of its own and waits for its report; the time is
// taken here, from the process start to the report line, so loading the program and its libraries
// counts. Counters: `reader_ms` (the reader's own figure, from main() on), `rss_MB`, the reader's
// resident memory when its verses had painted, `panes` (book panes of the layout), `renderers` (web
// renderer processes then), `processes` (the reader and all its children) and `tree_PSS_MB` (their
// proportional memory, shared pages divided among them); beside them the reader's own `PSS_MB`,
// `USS_MB` (pages no other process maps) and `heap_MB` (its allocator's bytes in use), the tree's
// `tree_USS_MB`, and `other_engine_processes`: web-engine processes of other programs, with which
// the engine's code pages are shared (the PSS figures fall when there are any).
//
// Run offscreen (QT_QPA_PLATFORM=offscreen and QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox
// --disable-gpu", set here when absent), the time ends at the reader's report. Under an X server
// (QT_QPA_PLATFORM=xcb with DISPLAY, e.g. xvfb-run), the reader starts on the screen with its own
// choice of graphics, and the counter `screen_ms` is the mean time from the process start until the
// screen showed the first Bible pane's settled verses: the rectangle of that page's text (which the
// first start reports and every warm start keeps) copied every 5 ms on a thread of its own, until it
// reached and kept the picture it settled on (the reader stays up a moment after its report for
// that). `screen_rounds` counts the starts that were watched. QS_BUILD_DIR names the build when it is
// not the one this program is in.
#include <benchmark/benchmark.h>

#include "bench/screen/ScreenFrames.h"
#include "platform/AppFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

struct Report {
    bool ok = false;
    double wallMs = 0;
    double readerMs = 0;
    double rssMB = 0;
    int panes = 0;
    int renderers = 0;
    int processes = 0;
    double treePssMB = 0;
    double pssMB = 0;
    double ussMB = 0;
    double heapMB = 0;
    double treeUssMB = 0;
    int otherEngineProcesses = 0;
    QString versesRect;    // "x,y,w,h" on a screen; empty offscreen
    double screenMs = -1;  // until the screen showed the settled verses; -1: not watched
    QString error;
};

// The settled picture counts once it stayed for this long; the reader stays up a while longer.
constexpr int kSettleMs = 400;
constexpr int kHoldMs = 1500;

bool onScreen(const QProcessEnvironment& env)
{
    return env.value(QStringLiteral("QT_QPA_PLATFORM")) == QLatin1String("xcb") &&
        !env.value(QStringLiteral("DISPLAY")).isEmpty();
}

bool parseRect(const QString& text, ScreenFrames::Rect& rect)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok[4] = {};
    rect = {parts[0].toInt(&ok[0]), parts[1].toInt(&ok[1]), parts[2].toInt(&ok[2]), parts[3].toInt(&ok[3])};
    return ok[0] && ok[1] && ok[2] && ok[3] && rect.width > 0 && rect.height > 0;
}

QString buildDir()
{
    const char* dir = std::getenv("QS_BUILD_DIR");
    return dir != nullptr && *dir != '\0' ? QString::fromLocal8Bit(dir) : QStringLiteral(QS_BINARY_DIR);
}

class ReaderHome {
public:
    ReaderHome()
    {
        m_env = QProcessEnvironment::systemEnvironment();
        const QString home = m_dir.path();
        m_env.insert(QStringLiteral("HOME"), home);
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        m_env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
        QDir().mkpath(home + QStringLiteral("/run"));
        QFile::setPermissions(home + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (!m_env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (!m_env.contains(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS")))
            m_env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox --disable-gpu"));
        // The sample library goes into the reader's books folder before its first start.
        const QString books = home + QStringLiteral("/data/") + AppFolders::bundleIdentifier() + QLatin1Char('/') +
            AppFolders::kBooksFolderName;
        QDir().mkpath(books);
        const QDir library(buildDir() + QStringLiteral("/library"));
        for (const QString& name : library.entryList({QStringLiteral("*.tvk")}, QDir::Files))
            QFile::copy(library.filePath(name), QDir(books).filePath(name));
        m_books = int(QDir(books).entryList({QStringLiteral("*.tvk")}, QDir::Files).size());
    }

    int books() const { return m_books; }

    bool onScreen() const { return ::onScreen(m_env); }

    // Starts the reader and waits for its report; `watch` (on a screen) is the rectangle whose
    // settled picture is timed from the process start.
    Report start(const QString& watch = QString())
    {
        Report report;
        QProcess reader;
        reader.setProcessEnvironment(m_env);
        reader.setProgram(buildDir() + QStringLiteral("/app/quillstead"));
        reader.setArguments({QStringLiteral("--measure-startup")});
        std::unique_ptr<ScreenFrames> frames;
        ScreenFrames::Rect rect;
        if (onScreen()) {
            reader.setArguments(
                {QStringLiteral("--measure-startup"), QStringLiteral("--measure-hold"), QString::number(kHoldMs)});
            const QByteArray display = m_env.value(QStringLiteral("DISPLAY")).toLocal8Bit();
            if (parseRect(watch, rect)) {
                frames = std::make_unique<ScreenFrames>();
                // Forty pixels: a caret is no change, a line of text that moved is.
                if (!frames->open(display.constData(), rect, 40))
                    frames.reset();
            }
        }
        QElapsedTimer clock;
        clock.start();
        if (frames)
            frames->start(5);
        reader.start();
        if (!reader.waitForStarted(10000)) {
            report.error = QStringLiteral("the reader did not start: ") + reader.errorString();
            return report;
        }
        QByteArray out;
        static const QRegularExpression line(QStringLiteral(
            "first-verses-painted ms=(\\d+) rss_kb=(\\d+) panes=(\\d+) renderers=(\\d+) "
            "processes=(\\d+) tree_rss_kb=(\\d+) tree_pss_kb=(\\d+) pss_kb=(\\d+) uss_kb=(\\d+) "
            "heap_kb=(\\d+) tree_uss_kb=(\\d+) other_engine_processes=(\\d+)( verses_rect=([-0-9,]+))?\n"));
        while (reader.state() != QProcess::NotRunning || reader.bytesAvailable() > 0) {
            reader.waitForReadyRead(20);
            out += reader.readAllStandardOutput();
            const QRegularExpressionMatch m = line.match(QString::fromUtf8(out));
            if (m.hasMatch()) {
                report.wallMs = double(clock.nsecsElapsed()) / 1e6;
                report.readerMs = m.captured(1).toDouble();
                report.rssMB = m.captured(2).toDouble() / 1024.0;
                report.panes = m.captured(3).toInt();
                report.renderers = m.captured(4).toInt();
                report.processes = m.captured(5).toInt();
                report.treePssMB = m.captured(7).toDouble() / 1024.0;
                report.pssMB = m.captured(8).toDouble() / 1024.0;
                report.ussMB = m.captured(9).toDouble() / 1024.0;
                report.heapMB = m.captured(10).toDouble() / 1024.0;
                report.treeUssMB = m.captured(11).toDouble() / 1024.0;
                report.otherEngineProcesses = m.captured(12).toInt();
                report.versesRect = m.captured(14);
                report.ok = true;
                break;
            }
            if (clock.elapsed() > 90000)
                break;
        }
        if (frames) {
            // The reader holds its window up while the screen settles.
            const ScreenFrames::Result screen = frames->finish(kSettleMs, 20000);
            // Only a start that showed its verses where the watch looked counts.
            if (report.ok && report.versesRect == watch && screen.ok && screen.settledMs >= 0)
                report.screenMs = screen.settledMs;
        }
        if (!reader.waitForFinished(30000)) {
            reader.kill();
            reader.waitForFinished(5000);
        }
        if (!report.ok)
            report.error = QStringLiteral("no first page: ") + QString::fromUtf8(out + reader.readAllStandardError());
        return report;
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    int m_books = 0;
};

void StartupToFirstVerses(benchmark::State& state)
{
    ReaderHome home;
    if (home.books() == 0) {
        state.SkipWithError("the sample library is not built");
        return;
    }
    // The first start installs and scans; it is not what users meet every day.
    const Report first = home.start();
    if (!first.ok) {
        state.SkipWithError(first.error.left(400).toStdString().c_str());
        return;
    }
    double readerMs = 0, rss = 0, treePss = 0, pss = 0, uss = 0, heap = 0, treeUss = 0, count = 0;
    double screenMs = 0;
    int panes = 0, renderers = 0, processes = 0, others = 0, screenRounds = 0;
    // Each start keeps the window and the layout of the one before (the first start, which has none,
    // places the window a little differently), so the place of the page before is watched.
    QString watch;
    if (home.onScreen()) {
        const Report warm = home.start();
        watch = warm.versesRect;
    }
    for (auto _ : state) {
        const Report r = home.start(watch);
        if (!r.ok) {
            state.SkipWithError(r.error.left(400).toStdString().c_str());
            return;
        }
        state.SetIterationTime(r.wallMs / 1000.0);
        readerMs += r.readerMs;
        rss = std::max(rss, r.rssMB);
        treePss = std::max(treePss, r.treePssMB);
        pss = std::max(pss, r.pssMB);
        uss = std::max(uss, r.ussMB);
        heap = std::max(heap, r.heapMB);
        treeUss = std::max(treeUss, r.treeUssMB);
        others = std::max(others, r.otherEngineProcesses);
        panes = r.panes;
        renderers = std::max(renderers, r.renderers);
        processes = std::max(processes, r.processes);
        ++count;
        if (!r.versesRect.isEmpty())
            watch = r.versesRect;
        if (r.screenMs >= 0) {
            screenMs += r.screenMs;
            ++screenRounds;
        }
    }
    if (screenRounds > 0) {
        state.counters["screen_ms"] = screenMs / screenRounds;
        state.counters["screen_rounds"] = screenRounds;
    }
    state.counters["reader_ms"] = count > 0 ? readerMs / count : 0;
    state.counters["rss_MB"] = rss;
    state.counters["tree_PSS_MB"] = treePss;
    state.counters["PSS_MB"] = pss;
    state.counters["USS_MB"] = uss;
    state.counters["heap_MB"] = heap;
    state.counters["tree_USS_MB"] = treeUss;
    state.counters["other_engine_processes"] = others;
    state.counters["panes"] = panes;
    state.counters["renderers"] = renderers;
    state.counters["processes"] = processes;
    state.counters["books"] = home.books();
    state.counters["first_start_ms"] = first.wallMs;
}
BENCHMARK(StartupToFirstVerses)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
