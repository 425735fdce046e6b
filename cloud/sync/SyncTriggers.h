// SyncTriggers: when the sync engine runs. The queue of record types waiting for a run, each type's
// due time (its last sync in the history plus the automatic-sync interval), the back-off after failed
// runs, and the notes being edited whose record ids a sync must not pass over. It decides nothing
// about the exchange itself: SyncExchange takes the next type from it and tells it how a run ended.
//
// Threads: main thread.
#pragma once

#include <QHash>
#include <QList>

#include <optional>

namespace qs::cloud {

class SyncLocalData;

class SyncTriggers {
public:
    static constexpr qint64 kDefaultAutoSyncFreqMs = 3600000;
    static constexpr qint64 kFirstBackoffMs = 5000;
    static constexpr qint64 kMaxBackoffMs = 15 * 60 * 1000;

    // Moves every due time known by the change of interval.
    void setAutoSyncFreq(qint64 ms);

    // Whether the type is due now (a type never synced is); false while the history cannot be read.
    bool isDue(qint64 noun, SyncLocalData& local);
    // The type synced now: it is due again one interval later.
    void typeSynced(qint64 noun, qint64 nowMs, SyncLocalData& local);
    // The history is gone: every type is due again.
    void forgetDueTimes();

    // Queues the type unless it is queued or `running`; true when it starts a new queue.
    bool enqueue(qint64 noun, qint64 running);
    bool isQueued(qint64 noun) const { return m_queue.contains(noun); }
    bool hasQueued() const { return !m_queue.isEmpty(); }
    qint64 takeNext() { return m_queue.takeFirst(); }
    QList<qint64> queue() const { return m_queue; }

    // A note of the type is being edited under this record id (Bible and book notes only).
    void noteEditing(qint64 noun, qint64 editingId);
    // The id of the note being edited when it is above `highest`, the type's highest server id; it is
    // then forgotten.
    std::optional<qint64> takeEditingAbove(qint64 noun, qint64 highest);

    // Whether automatic requests may open a connection now; `force` (the user asked) always may.
    bool mayStart(bool force) const;
    // A run ended with the connection: the queue and the edited notes are forgotten; a failed run
    // starts or lengthens the back-off, a sound one ends it.
    void runEnded(bool failed);
    // The connection broke in the middle of `type`: it waits at the head of the queue, after the
    // back-off.
    void runBroken(qint64 type);

private:
    void buildDueTimes(SyncLocalData& local);
    void backOff();

    QList<qint64> m_queue;
    QHash<qint64, qint64> m_due;
    bool m_dueBuilt = false;
    qint64 m_autoSyncFreq = kDefaultAutoSyncFreqMs;
    qint64 m_bibleNoteBeingEditedId = 0;
    qint64 m_bookNoteBeingEditedId = 0;
    int m_failures = 0;
    // When automatic requests may start a connection again (0: no back-off).
    qint64 m_backoffUntil = 0;
};

}  // namespace qs::cloud
