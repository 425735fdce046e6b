#include "cloud/sync/SyncTriggers.h"

#include <QDateTime>

#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/sync/SyncLocalData.h"

namespace qs::cloud {

using C = SyncCommand;

void SyncTriggers::buildDueTimes(SyncLocalData& local)
{
    if (m_dueBuilt)
        return;
    if (!local.open())
        return;
    const qint64 now = SyncLocalData::nowMs();
    for (const SyncRecordType& t : syncRecordTypes()) {
        const std::optional<QString> last = local.lastSyncTime(t.historyName);
        const std::optional<qint64> lastMs = last ? SyncLocalData::parseTime(*last) : std::nullopt;
        m_due.insert(t.noun, lastMs ? *lastMs + m_autoSyncFreq : now);
    }
    m_dueBuilt = true;
}

void SyncTriggers::setAutoSyncFreq(qint64 ms)
{
    if (ms == m_autoSyncFreq)
        return;
    const qint64 delta = ms - m_autoSyncFreq;
    m_autoSyncFreq = ms;
    if (m_dueBuilt) {
        for (auto it = m_due.begin(); it != m_due.end(); ++it)
            it.value() += delta;
    }
}

bool SyncTriggers::isDue(qint64 noun, SyncLocalData& local)
{
    buildDueTimes(local);
    return m_dueBuilt && SyncLocalData::nowMs() >= m_due.value(noun, 0);
}

void SyncTriggers::typeSynced(qint64 noun, qint64 nowMs, SyncLocalData& local)
{
    buildDueTimes(local);
    m_due.insert(noun, nowMs + m_autoSyncFreq);
}

void SyncTriggers::forgetDueTimes()
{
    m_due.clear();
    m_dueBuilt = false;
}

bool SyncTriggers::enqueue(qint64 noun, qint64 running)
{
    if (m_queue.contains(noun) || running == noun)
        return false;
    const bool starts = m_queue.isEmpty();
    m_queue.append(noun);
    return starts;
}

void SyncTriggers::noteEditing(qint64 noun, qint64 editingId)
{
    if (noun != C::BibleNotes && noun != C::BookNotes)
        return;
    qint64& id = noun == C::BibleNotes ? m_bibleNoteBeingEditedId : m_bookNoteBeingEditedId;
    id = std::max(id, editingId);
}

std::optional<qint64> SyncTriggers::takeEditingAbove(qint64 noun, qint64 highest)
{
    if (noun != C::BibleNotes && noun != C::BookNotes)
        return std::nullopt;
    qint64& editing = noun == C::BibleNotes ? m_bibleNoteBeingEditedId : m_bookNoteBeingEditedId;
    if (highest < 1 || editing <= highest)
        return std::nullopt;
    const qint64 id = editing;
    editing = 0;
    return id;
}

bool SyncTriggers::mayStart(bool force) const
{
    // After failures only a sync the user asked for opens a connection before the back-off ends.
    return force || m_backoffUntil == 0 || QDateTime::currentMSecsSinceEpoch() >= m_backoffUntil;
}

void SyncTriggers::backOff()
{
    ++m_failures;
    const qint64 backoff = std::min(kMaxBackoffMs, kFirstBackoffMs << std::min(m_failures - 1, 10));
    m_backoffUntil = QDateTime::currentMSecsSinceEpoch() + backoff;
}

void SyncTriggers::runEnded(bool failed)
{
    m_queue.clear();
    m_bibleNoteBeingEditedId = 0;
    m_bookNoteBeingEditedId = 0;
    if (failed) {
        backOff();
    } else {
        m_failures = 0;
        m_backoffUntil = 0;
    }
}

void SyncTriggers::runBroken(qint64 type)
{
    // Nothing was acknowledged that was not stored, so the type only has to come again.
    if (type >= 0 && !m_queue.contains(type))
        m_queue.prepend(type);
    backOff();
}

}  // namespace qs::cloud
