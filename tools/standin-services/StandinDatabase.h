// StandinDatabase: the stand-in services' own SQLite database: customer accounts, password-reset
// codes and every account's synced records.
//
// Accounts are numbered from 10001; passwords are kept as salted SHA-256 digests. Synced records are
// kept per account and record type, one current record per match key, each with a server id that
// rises with every change of that account and type, so a client's highest server id is its
// watermark. Every write is one statement or one transaction, so a record is either stored whole or
// not at all. The write-ahead log is synced at checkpoints, not at every commit (SQLite's "NORMAL"):
// a crash of the stand-in keeps the database whole, and a power cut may lose its last commits, which
// a local stand-in of the services can afford; one disk flush per uploaded record would make it, not
// the client, the cost of every sync measured against it.
//
// Threads: one object per thread (the server uses it from its main thread only).
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct sqlite3;

namespace qs::standin {

struct Account {
    qint64 customerId = 0;
    QString email;
    QString firstName;
    QString lastName;
};

struct SyncedRecord {
    qint64 serverId = 0;
    bool deleted = false;
    QString timestamp;  // sync time form, server clock
    QStringList fields;
    QString originDevice;
    qint64 originRecId = 0;
};

// What an upload did: the server id to acknowledge and whether the stored record was replaced.
struct UploadResult {
    qint64 acknowledgedServerId = 0;
    bool replaced = true;  // false: a newer stored record was kept and sent out again
};

class StandinDatabase {
public:
    static constexpr qint64 kFirstCustomerId = 10001;

    StandinDatabase();
    ~StandinDatabase();
    StandinDatabase(const StandinDatabase&) = delete;
    StandinDatabase& operator=(const StandinDatabase&) = delete;

    // Opens or creates the database file and its tables; false with `error` set on failure.
    bool open(const QString& path, QString* error);
    bool isOpen() const { return m_db != nullptr; }

    // Accounts. `error` takes a message for the customer.
    std::optional<Account> createAccount(const QString& email, const QString& password, const QString& firstName,
        const QString& lastName, QString* error);
    // By customer number or e-mail (case-blind).
    std::optional<Account> findAccount(const QString& customerIdOrEmail);
    std::optional<Account> authenticate(const QString& customerIdOrEmail, const QString& password);
    // A new reset code for the account, kept until used.
    QString createResetCode(qint64 customerId);
    // Sets a new password with an unused code; the account, or nothing.
    std::optional<Account> resetPassword(const QString& code, const QString& newPassword);
    // The reset codes not yet used, newest first, as "customerId code" pairs (for the control page).
    QList<QPair<qint64, QString>> pendingResetCodes();
    qint64 accountCount();

    // Synced records of one account and record type.
    qint64 highestServerId(qint64 customerId, const QString& noun);
    qint64 countAfter(qint64 customerId, const QString& noun, qint64 watermark);
    // The highest server id given out no later than `serverTimeMs` (server clock), or 0.
    qint64 highestServerIdAtOrBefore(qint64 customerId, const QString& noun, qint64 serverTimeMs);
    std::vector<SyncedRecord> recordsAfter(qint64 customerId, const QString& noun, qint64 watermark);
    // Stores an uploaded record under its match key: it replaces the stored one unless that one is
    // newer; then the stored record gets a fresh server id so that it goes out to every device again.
    std::optional<UploadResult> upload(qint64 customerId, const QString& noun, const QString& matchKey,
        const SyncedRecord& record, qint64 timestampMs, QString* error);
    qint64 recordCount(qint64 customerId);

    // Removes every account, code and record.
    bool clearAll();

private:
    qint64 nextServerId(qint64 customerId, const QString& noun);
    bool exec(const char* sql);

    sqlite3* m_db = nullptr;
};

}  // namespace qs::standin
