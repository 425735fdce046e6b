#include "cloud/sync/SyncManager.h"

#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/sync/SyncMessages.h"
#include "userdata/UserDataHooks.h"

namespace qs::cloud {

namespace {

using C = SyncCommand;

SyncManager* gInstance = nullptr;

}  // namespace

SyncManager::SyncManager() = default;

SyncManager::~SyncManager()
{
    if (gInstance == this)
        gInstance = nullptr;
}

SyncManager& SyncManager::instance()
{
    if (!gInstance)
        gInstance = new SyncManager();
    return *gInstance;
}

QHash<QString, QString> SyncManager::lastSyncTableNames()
{
    QHash<QString, QString> names;
    for (const SyncRecordType& t : syncRecordTypes())
        names.insert(t.nounWord, t.historyName);
    return names;
}

// ---- requests ----

void SyncManager::syncAll(bool userAsked)
{
    // The run that serves this request reports its failure to the user whatever the settings.
    if (userAsked)
        m_exchange.setUserAsked();
    for (qint64 noun : syncAllOrder())
        syncRecordType(noun, userAsked);
    m_exchange.conditionallyStartSync(userAsked);
}

void SyncManager::syncRecordTypeRequest(qint64 noun, bool now, qint64 editingId)
{
    if (!delegate() || !delegate()->syncAutomatically())
        return;
    syncRecordType(noun, now);
    if (editingId > 0 && (m_triggers.isQueued(noun) || m_exchange.runningType() == noun))
        m_triggers.noteEditing(noun, editingId);
    m_exchange.conditionallyStartSync();
}

void SyncManager::syncRecordType(qint64 noun, bool now)
{
    if (!now && !m_triggers.isDue(noun, localData()))
        return;
    if (m_triggers.enqueue(noun, m_exchange.runningType()))
        m_exchange.resetProgress();
}

// ---- whole-account operations ----

bool SyncManager::userHasSomeData()
{
    if (!localData().open())
        return false;
    for (qint64 noun : syncAllOrder()) {
        if (localData().hasRows(noun))
            return true;
    }
    return false;
}

bool SyncManager::userHasUnsyncedData()
{
    if (!localData().open())
        return false;
    for (qint64 noun : syncAllOrder()) {
        if (localData().countUnsynced(noun) > 0)
            return true;
    }
    return false;
}

bool SyncManager::removeAllUserSyncHistory()
{
    if (!localData().open())
        return false;
    m_exchange.storeAcknowledgements();
    const bool ok = localData().removeAllSyncHistory();
    // Every type is due again.
    m_triggers.forgetDueTimes();
    return ok;
}

bool SyncManager::removeAllUserData()
{
    if (!localData().open())
        return false;
    m_exchange.storeAcknowledgements();
    QList<qint64> hadRows;
    for (qint64 noun : syncAllOrder()) {
        if (localData().hasRows(noun))
            hadRows.append(noun);
    }
    const bool ok = localData().removeAllUserData();
    m_triggers.forgetDueTimes();
    if (hadRows.contains(C::BibleHighlights))
        ::clearColorSearchCache();
    if (SyncManagerDelegate* d = delegate()) {
        for (qint64 noun : hadRows)
            d->syncRecordTypeComplete(nounWord(noun), true);
    }
    return ok;
}

}  // namespace qs::cloud
