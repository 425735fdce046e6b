// cSyncCustomerDb: the id of the cloud customer whose data the local tables hold (table
// SyncCustomerID, at most one row), cached for the whole process.
//
// The cache starts unknown (-1) and is read and written only under the customer-id lock; deleting
// rows through this store makes it unknown again. Made on the stack for each use; any thread may use
// it.
#pragma once

#include <atomic>
#include <cstdint>

#include "userdata/cSQLiteDbBase.h"

class cSyncCustomerDb : public cSQLiteDbBase {
public:
    cSyncCustomerDb() = default;
    ~cSyncCustomerDb() override;

    bool isOpen() const override { return m_ready.load() && cSQLiteDbBase::isOpen(); }
    // Both forget the cached id first.
    bool deleteAllRows(const char* table) override;
    bool deleteRowsWhereNonZero(const char* table, const char* column) override;

    // Opens the share at databasePath and creates SyncCustomerID when missing.
    bool create();
    // The cached id, else the stored one (0 when none, -1 when it cannot be read).
    std::int32_t customerId();
    // Stores the id when it differs from the cached one.
    void setCustomerId(std::int32_t id);

private:
    std::atomic<bool> m_ready {false};
};
