#include "userdata/cSyncCustomerDb.h"

#include <mutex>

#include "engine/foundation/cPlatformMutex.h"

namespace {

// Lives until exit: stores may be used while other statics are torn down.
struct CustomerCache {
    cPlatformMutex lock;
    std::int32_t id = -1;
};

CustomerCache& cache()
{
    static CustomerCache* instance = new CustomerCache();
    return *instance;
}

// Created before main so that its first use never races.
[[maybe_unused]] const CustomerCache& gEarly = cache();

}  // namespace

cSyncCustomerDb::~cSyncCustomerDb()
{
    m_ready.store(false);
    close();
}

bool cSyncCustomerDb::deleteAllRows(const char* table)
{
    std::lock_guard<cPlatformMutex> guard(cache().lock);
    cache().id = -1;
    return cSQLiteDbBase::deleteAllRows(table);
}

bool cSyncCustomerDb::deleteRowsWhereNonZero(const char* table, const char* column)
{
    std::lock_guard<cPlatformMutex> guard(cache().lock);
    cache().id = -1;
    return cSQLiteDbBase::deleteRowsWhereNonZero(table, column);
}

bool cSyncCustomerDb::create()
{
    if (isOpen())
        return true;
    int rc = 0;
    const cLString16 path = databasePath();
    if (!open(path, &rc)) {
        reportOpenFailure(path, rc);
        return false;
    }
    if (exec("SELECT * FROM SyncCustomerID WHERE 0", {}, nullptr, false, &rc)) {
        m_ready.store(true);
        return true;
    }
    if (rc == SQLITE_ERROR && exec("CREATE TABLE SyncCustomerID ( customerid INTEGER )", {}, nullptr, true)) {
        m_ready.store(true);
        return true;
    }
    if (rc != SQLITE_ERROR)
        reportError(rc);
    close();
    return false;
}

std::int32_t cSyncCustomerDb::customerId()
{
    std::lock_guard<cPlatformMutex> guard(cache().lock);
    if (cache().id >= 0)
        return cache().id;
    if (!create())
        return -1;
    cSQLRows rows;
    std::int32_t id = -1;
    if (exec("SELECT customerid FROM SyncCustomerID LIMIT 1 ", {}, &rows)) {
        id = rows.empty() || rows[0].empty() ? 0 : rows[0][0].toInt32();
    }
    cache().id = id;
    return id;
}

void cSyncCustomerDb::setCustomerId(std::int32_t id)
{
    std::lock_guard<cPlatformMutex> guard(cache().lock);
    if (id == cache().id || !create())
        return;
    if (exec("DELETE FROM SyncCustomerID ") && exec("INSERT INTO SyncCustomerID ( customerid ) VALUES (?) ", {id}))
        cache().id = id;
}
