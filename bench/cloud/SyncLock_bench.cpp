// The user-data connection while a sync waits for a stalled server: a note saved and the notes
// walked (as a notes search reads them) on another thread, timed while the server has sent its 1,000
// records and stalls before SYNC COMPLETE (`stalled:1`), and over the same notes once that run has
// ended (`stalled:0`).
// A lock held across the wait would show as the reply timeout (10 s) in both.
#include <benchmark/benchmark.h>

#include "cloud/sync/SyncHarness.h"  // tests/cloud/sync
#include "userdata/cBibleNoteStg.h"

#include <QJsonDocument>

#include <chrono>
#include <future>
#include <optional>
#include <string>

using namespace sync_test;
using C = qs::cloud::SyncCommand;

namespace {

struct Times {
    double saveMs = 0;
    double searchMs = 0;
    std::int64_t notesSeen = 0;
};

// On another thread, as the note editor's save and a notes search would run beside the sync (the
// save's time includes opening the store).
Times saveAndSearch(int verse)
{
    Times t;
    const auto start = std::chrono::steady_clock::now();
    cBibleNoteStg notes;
    if (!notes.openOrCreate(cLString16(), false))
        return t;
    cBibleNote typed;
    typed.booknum = 66;
    typed.chapter = 22;
    typed.verse = verse;
    typed.note.assign(cLString16("typed while the server stalled"));
    notes.addBibleNote(typed, false, false, false);
    const auto saved = std::chrono::steady_clock::now();
    cBibleNote note;
    for (bool more = notes.firstBibleNote(note, false); more; more = notes.nextBibleNote(note, false))
        ++t.notesSeen;
    const auto searched = std::chrono::steady_clock::now();
    notes.close();
    t.saveMs = std::chrono::duration<double, std::milli>(saved - start).count();
    t.searchMs = std::chrono::duration<double, std::milli>(searched - saved).count();
    return t;
}

}  // namespace

static void BM_NotesBesideAStalledSync(benchmark::State& state)
{
    const bool stalled = state.range(0) != 0;
    const int records = 1000;
    Times last;
    int verse = 0;
    for (auto _ : state) {
        state.PauseTiming();
        standin_test::Server server;
        if (!server.running()) {
            state.SkipWithError("qs-standin did not start");
            return;
        }
        server.post(QStringLiteral("/_control/script"),
            QJsonDocument(stallAfterNotesScript(records)).toJson(QJsonDocument::Compact));
        Reader b(QStringLiteral("device-b"));
        b.activate();
        RecordingDelegate delegate;
        delegate.device = QStringLiteral("device-b");
        // Both cases hold the same notes: the records arrive, then the run waits (or has ended).
        std::optional<SyncManager> engine(std::in_place);
        engine->setServer(QStringLiteral("127.0.0.1"), server.syncPort());
        engine->setDelegate(&delegate);
        engine->syncRecordType(C::BibleNotes, true);
        engine->conditionallyStartSync(true);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000 && engine->goal() == SyncManager::Syncing &&
            localRecids(C::BibleNotes).size() < size_t(records - 1))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (engine->goal() != SyncManager::Syncing) {
            state.SkipWithError("the run did not wait for the server");
            return;
        }
        if (!stalled)
            engine.reset();
        state.ResumeTiming();
        std::future<Times> work = std::async(std::launch::async, saveAndSearch, ++verse);
        while (work.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        last = work.get();
        state.counters["save_ms"] = last.saveMs;
        state.counters["search_ms"] = last.searchMs;
        state.counters["notes"] = static_cast<double>(last.notesSeen);
        if (stalled && engine->goal() != SyncManager::Syncing) {
            const std::string why = "the save waited for the run to end (save_ms=" + std::to_string(last.saveMs) +
                " search_ms=" + std::to_string(last.searchMs) + ")";
            state.SkipWithError(why.c_str());
            break;
        }
    }
}
BENCHMARK(BM_NotesBesideAStalledSync)
    ->ArgName("stalled")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
