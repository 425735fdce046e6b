// Book pages of many panes: N offscreen page views on the compiled KJV (3, 6 and 12), each going to
// its own chapter, timed from making the first view until every page has painted its first screen,
// with the renderer processes and the memory of the whole process tree then. `shared:1` runs the
// web engine as the reader does (one renderer process per site, so all book pages share one),
// `shared:0` with the engine's own model (--site-per-process: a renderer per page). The process
// model is fixed when the engine starts, so each measurement runs in a child process of this
// program (`--pages N`), which prints one line: "pages-painted ms=... renderers=... processes=...
// tree_rss_kb=... tree_pss_kb=...".
//
// Run with QT_QPA_PLATFORM=offscreen and QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
// (set here when absent).
#include <benchmark/benchmark.h>

#include "library/GoToRequest.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "panes/page/EngineProcesses.h"
#include "panes/page/SourceTupleBookPageSource.h"
#include "platform/NotificationCenter.h"
#include "platform/ProcessTree.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "userdata/cSQLiteDbBase.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The child: N pages, each at chapter 1 of another book of the New Testament and Psalms.
int runPages(int argc, char** argv, int count)
{
    QTemporaryDir data;
    qputenv("XDG_CONFIG_HOME", data.path().toUtf8());
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    BookPageScheme::registerScheme();
    EngineProcesses::Arguments arguments(argc, argv);  // the reader's process model, as it starts
    QApplication app(arguments.argc(), arguments.argv());
    EngineProcesses::started();
    cSQLiteDbBase::setEngineDataFolder(cLString16(data.path().toUtf8().constData()));
    // The program's settings, in the temporary configuration folder.
    SettingsRegistry::registerDefaultsForAllPreferences(UserDefaults::standardUserDefaults());
    auto doc = SourceTuple::allocateSourceForFile(QStringLiteral(QS_LIBRARY_DIR "/KJV.tvk"));
    auto book =
        doc ? std::make_shared<SourceTupleBookPageSource>(SourceTuple::sourceTupleForSource(std::move(doc))) : nullptr;
    if (!book) {
        std::printf("no KJV.tvk\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    QWidget window;
    window.resize(1280, 800);
    std::vector<std::unique_ptr<SingleBookPageHost>> hosts;
    std::vector<BookPageView*> views;
    int painted = 0;
    const int columns = count <= 3 ? count : count <= 6 ? 3 : 4;
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        hosts.push_back(std::make_unique<SingleBookPageHost>(book));
        auto* view = new BookPageView(
            hosts.back().get(), NotificationCenter::defaultCenter(), UserDefaults::standardUserDefaults(), &window);
        view->setGeometry((i % columns) * 1280 / columns, (i / columns) * 800 / rows, 1280 / columns, 800 / rows);
        QObject::connect(view, &BookPageView::pagePainted, view, [&painted] { ++painted; });
        views.push_back(view);
    }
    window.show();
    for (int i = 0; i < count; ++i) {
        const quint32 key = (quint32(40 + i % 27) << 16) | (1u << 8) | 1u;
        GoToRequest request;
        request.section = book->sectionForBibleKey(key);
        views[size_t(i)]->goTo(book, request);
    }
    while (painted < count && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 ms = clock.elapsed();
    const ProcessTree::Summary tree = ProcessTree::summarize();
    if (painted < count)
        std::printf("only %d of %d pages painted\n", painted, count);
    else
        std::printf("pages-painted ms=%lld renderers=%d processes=%d tree_rss_kb=%lld tree_pss_kb=%lld\n",
            static_cast<long long>(ms), tree.renderers, tree.processes, static_cast<long long>(tree.rssKiB),
            static_cast<long long>(tree.pssKiB));
    std::fflush(stdout);
    for (BookPageView* view : views)
        delete view;
    return painted < count ? 1 : 0;
}

QString s_program;

void PagesStart(benchmark::State& state)
{
    const auto count = int(state.range(0));
    const bool shared = state.range(1) != 0;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString flags = env.value(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"));
    if (!shared)
        flags += QStringLiteral(" --site-per-process");
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), flags.trimmed());
    static const QRegularExpression line(QStringLiteral(
        "pages-painted ms=(\\d+) renderers=(\\d+) processes=(\\d+) tree_rss_kb=(\\d+) tree_pss_kb=(\\d+)"));
    double renderers = 0, processes = 0, pss = 0, rss = 0;
    for (auto _ : state) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(s_program, {QStringLiteral("--pages"), QString::number(count)});
        if (!child.waitForFinished(90000)) {
            child.kill();
            child.waitForFinished(5000);
        }
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        const QRegularExpressionMatch m = line.match(out);
        if (!m.hasMatch()) {
            state.SkipWithError(("the pages did not paint: " + out.left(300)).toStdString().c_str());
            return;
        }
        state.SetIterationTime(m.captured(1).toDouble() / 1000.0);
        renderers = m.captured(2).toDouble();
        processes = m.captured(3).toDouble();
        rss = std::max(rss, m.captured(4).toDouble() / 1024.0);
        pss = std::max(pss, m.captured(5).toDouble() / 1024.0);
    }
    state.counters["renderers"] = renderers;
    state.counters["processes"] = processes;
    state.counters["tree_RSS_MB"] = rss;
    state.counters["tree_PSS_MB"] = pss;
}
BENCHMARK(PagesStart)
    ->ArgNames({"pages", "shared"})
    ->ArgsProduct({{3, 6, 12}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    if (argc == 3 && std::strcmp(argv[1], "--pages") == 0)
        return runPages(argc, argv, std::atoi(argv[2]));
    s_program = QString::fromLocal8Bit(argv[0]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
