// The book page on the compiled KJV in an offscreen web view (800 x 600):
//   NewPageGoTo     a go-to that builds and loads a new page, until its first block is painted;
//   InPageGoTo      a go-to to a verse already on the loaded page, until the page has scrolled there;
//   BridgeBlockFetch one block's HTML fetched by the page script through the bridge (timed in the page);
//   NativeBlockRender the same block's render request and rendering alone, for comparison.
// Run with QT_QPA_PLATFORM=offscreen and QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
// (set here when absent).

#include <benchmark/benchmark.h>

#include "bench/BenchWait.h"
#include "library/GoToRequest.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "panes/page/EngineProcesses.h"
#include "panes/page/SourceTupleBookPageSource.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "userdata/cSQLiteDbBase.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

constexpr quint32 key(quint32 book, quint32 chapter, quint32 verse)
{
    return (book << 16) | (chapter << 8) | verse;
}

bool waitUntil(const std::function<bool()>& condition, int msecs = 20000)
{
    return BenchWait::until(condition, msecs);
}

struct Fixture {
    std::shared_ptr<SourceTupleBookPageSource> book;
    std::unique_ptr<SingleBookPageHost> host;
    std::unique_ptr<BookPageView> view;

    bool open()
    {
        if (view)
            return true;
        if (auto doc = SourceTuple::allocateSourceForFile(QStringLiteral(QS_LIBRARY_DIR "/KJV.tvk")))
            book = std::make_shared<SourceTupleBookPageSource>(SourceTuple::sourceTupleForSource(std::move(doc)));
        if (!book)
            return false;
        host = std::make_unique<SingleBookPageHost>(book);
        view = std::make_unique<BookPageView>(
            host.get(), NotificationCenter::defaultCenter(), UserDefaults::standardUserDefaults());
        view->resize(800, 600);
        view->show();
        return true;
    }

    // Goes to a verse and waits for the given signal to arrive once.
    template <typename Signal> bool goTo(quint32 verse, bool forceRefresh, Signal signal)
    {
        bool done = false;
        QEventLoop loop;
        const auto c = QObject::connect(view.get(), signal, &loop, [&] {
            done = true;
            loop.quit();
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        GoToRequest request;
        request.section = book->sectionForBibleKey(verse);
        request.forceRefresh = forceRefresh;
        view->goTo(book, request);
        if (!done)
            loop.exec();
        QObject::disconnect(c);
        return done;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void NewPageGoTo(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.open()) {
        state.SkipWithError("KJV.tvk missing");
        return;
    }
    const quint32 targets[] = {key(43, 3, 16), key(19, 119, 1), key(1, 1, 1), key(66, 22, 21)};
    size_t i = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        if (!f.goTo(targets[i++ % 4], true, &BookPageView::pagePainted)) {
            state.SkipWithError("page not painted");
            return;
        }
        state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
        // Let the page finish filling before the next load.
        waitUntil([] { return false; }, 50);
    }
}
BENCHMARK(NewPageGoTo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void InPageGoTo(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.open()) {
        state.SkipWithError("KJV.tvk missing");
        return;
    }
    if (!f.goTo(key(43, 3, 16), true, &BookPageView::pagePainted)) {
        state.SkipWithError("page not painted");
        return;
    }
    waitUntil([] { return false; }, 500);
    const quint32 targets[] = {key(43, 3, 10), key(43, 3, 20)};
    size_t i = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        if (!f.goTo(targets[i++ % 2], false, &BookPageView::movedWithinPage)) {
            state.SkipWithError("no move within the page");
            return;
        }
        state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(InPageGoTo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);

// A go-to to another chapter of the loaded book: the page's blocks replaced in place, until the
// frame that shows the verse has painted.
void OtherChapterGoTo(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.open()) {
        state.SkipWithError("KJV.tvk missing");
        return;
    }
    if (!f.goTo(key(43, 9, 1), true, &BookPageView::pagePainted)) {
        state.SkipWithError("page not painted");
        return;
    }
    waitUntil([] { return false; }, 500);
    const quint32 targets[] = {key(43, 5, 1), key(43, 9, 1)};
    size_t i = 0;
    int loads = 0;
    const auto counter = QObject::connect(f.view.get(), &BookPageView::pageLoaded, [&loads] { ++loads; });
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        if (!f.goTo(targets[i++ % 2], false, &BookPageView::goToPainted)) {
            state.SkipWithError("the place was not painted");
            return;
        }
        state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
        state.PauseTiming();
        waitUntil([] { return false; }, 100);  // the page fills around the place
        state.ResumeTiming();
    }
    QObject::disconnect(counter);
    state.counters["page_loads"] = loads;
}
BENCHMARK(OtherChapterGoTo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BridgeBlockFetch(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.open()) {
        state.SkipWithError("KJV.tvk missing");
        return;
    }
    if (!f.goTo(key(43, 3, 16), true, &BookPageView::pagePainted)) {
        state.SkipWithError("page not painted");
        return;
    }
    int block = 20000;
    for (auto _ : state) {
        // Timed inside the page: the synchronous bridge request and its answer, nothing else.
        QVariant ms;
        QEventLoop loop;
        f.view->page()->runJavaScript(
            QStringLiteral("(function(){var t=performance.now();jsInterface.getHTMLTextForBlock(%1);"
                           "return performance.now()-t;})()")
                .arg(block++),
            [&](const QVariant& v) {
                ms = v;
                loop.quit();
            });
        loop.exec();
        state.SetIterationTime(ms.toDouble() / 1000.0);
    }
}
BENCHMARK(BridgeBlockFetch)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(500);

// The same block fetch without the bridge: the render request and the book's rendering alone.
void NativeBlockRender(benchmark::State& state)
{
    Fixture& f = fixture();
    if (!f.open()) {
        state.SkipWithError("KJV.tvk missing");
        return;
    }
    quint32 block = 20000;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.book->htmlTextForBlock(block++, f.view->blocks().renderOptions(f.book)));
}
BENCHMARK(NativeBlockRender)->Unit(benchmark::kMicrosecond)->Iterations(500);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    benchmark::Initialize(&argc, argv);
    QTemporaryDir data;
    qputenv("XDG_CONFIG_HOME", data.path().toUtf8());
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    BookPageScheme::registerScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    EngineProcesses::Arguments arguments(argc, argv);  // the reader's process model, as it starts
    QApplication app(arguments.argc(), arguments.argv());
    EngineProcesses::started();
    cSQLiteDbBase::setEngineDataFolder(cLString16(data.path().toUtf8().constData()));
    // The program's settings, in the temporary configuration folder.
    SettingsRegistry::registerDefaultsForAllPreferences(UserDefaults::standardUserDefaults());
    benchmark::RunSpecifiedBenchmarks();
    fixture().view.reset();
    benchmark::Shutdown();
    return 0;
}
