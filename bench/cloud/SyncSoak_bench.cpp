// Sync soak: 2,000 records go up from each of two readers of one account and come down to the
// other through the local stand-in server; the time of the whole exchange is reported.
#include <benchmark/benchmark.h>

#include "cloud/sync/SyncHarness.h"  // tests/cloud/sync

using namespace sync_test;
using C = qs::cloud::SyncCommand;

static void BM_SyncSoak2000EachWay(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        standin_test::Server server;
        if (!server.running()) {
            state.SkipWithError("qs-standin did not start");
            return;
        }
        Reader a(QStringLiteral("device-a"));
        Reader b(QStringLiteral("device-b"));
        for (int i = 0; i < n; ++i) {
            a.edit(C::BibleNotes,
                {QString::number(1 + i / 1000), QString::number(1 + (i / 100) % 10), QString::number(1 + i % 100),
                    QStringLiteral("note %1").arg(i)});
            b.edit(C::BookNotes, {"7", "9", "1", QString::number(i), "", "", QStringLiteral("book note %1").arg(i)});
        }
        state.ResumeTiming();
        const RecordingDelegate up = a.sync(server.syncPort(), {}, 600000);
        const RecordingDelegate both = b.sync(server.syncPort(), {}, 600000);
        const RecordingDelegate down = a.sync(server.syncPort(), {}, 600000);
        state.PauseTiming();
        const bool clean = up.errors.isEmpty() && both.errors.isEmpty() && down.errors.isEmpty();
        Dump da = a.dump(false);
        const Dump db = b.dump(false);
        if (!clean || da != db || da["BibleNotes"].size() != static_cast<size_t>(n) ||
            da["BookNotes"].size() != static_cast<size_t>(n))
            state.SkipWithError("the readers did not converge");
        state.ResumeTiming();
    }
    state.counters["records"] = 2.0 * n;
}
BENCHMARK(BM_SyncSoak2000EachWay)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
