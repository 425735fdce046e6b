#include "tools/standin-services/StandinDatabase.h"

#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncTime.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <sqlite3.h>

namespace qs::standin {

namespace {

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    Statement& bind(int i, qint64 v)
    {
        if (m_stmt)
            sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Statement& bind(int i, const QString& v)
    {
        if (m_stmt) {
            const QByteArray u = v.toUtf8();
            sqlite3_bind_text(m_stmt, i, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
        }
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    bool run() { return step() == SQLITE_DONE; }
    qint64 int64(int col) const { return sqlite3_column_int64(m_stmt, col); }
    QString text(int col) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, col)) : QString();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

QString passwordDigest(const QString& salt, const QString& password)
{
    return QString::fromLatin1(
        QCryptographicHash::hash((salt + QLatin1Char(':') + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString randomToken(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    for (char& c : raw)
        c = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return QString::fromLatin1(raw.toHex());
}

const QString kFieldSeparator = QString(QChar(qs::cloud::SyncCommand::kUnitSeparator));

Account accountFrom(Statement& s)
{
    return Account {s.int64(0), s.text(1), s.text(2), s.text(3)};
}

}  // namespace

StandinDatabase::StandinDatabase() = default;

StandinDatabase::~StandinDatabase()
{
    sqlite3_close(m_db);
}

bool StandinDatabase::exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool StandinDatabase::open(const QString& path, QString* error)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(m_db)));
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, 2000);
    const char* schema = R"(
        PRAGMA journal_mode = WAL;
        PRAGMA synchronous = NORMAL;
        CREATE TABLE IF NOT EXISTS accounts (
            customer_id INTEGER PRIMARY KEY, email TEXT NOT NULL UNIQUE COLLATE NOCASE, salt TEXT NOT NULL,
            password TEXT NOT NULL, first_name TEXT NOT NULL, last_name TEXT NOT NULL, created_ms INTEGER NOT NULL);
        CREATE TABLE IF NOT EXISTS reset_codes (
            code TEXT PRIMARY KEY, customer_id INTEGER NOT NULL, created_ms INTEGER NOT NULL);
        CREATE TABLE IF NOT EXISTS server_ids (
            customer_id INTEGER NOT NULL, noun TEXT NOT NULL, last_id INTEGER NOT NULL,
            PRIMARY KEY (customer_id, noun));
        CREATE TABLE IF NOT EXISTS records (
            customer_id INTEGER NOT NULL, noun TEXT NOT NULL, match_key TEXT NOT NULL, server_id INTEGER NOT NULL,
            deleted INTEGER NOT NULL, timestamp TEXT NOT NULL, timestamp_ms INTEGER NOT NULL, fields TEXT NOT NULL,
            origin_device TEXT NOT NULL, origin_recid INTEGER NOT NULL, stored_ms INTEGER NOT NULL,
            PRIMARY KEY (customer_id, noun, match_key));
        CREATE INDEX IF NOT EXISTS records_by_server_id ON records (customer_id, noun, server_id);
        CREATE TABLE IF NOT EXISTS issued_ids (
            customer_id INTEGER NOT NULL, noun TEXT NOT NULL, server_id INTEGER NOT NULL, issued_ms INTEGER NOT NULL,
            PRIMARY KEY (customer_id, noun, server_id));
    )";
    char* message = nullptr;
    if (sqlite3_exec(m_db, schema, nullptr, nullptr, &message) != SQLITE_OK) {
        if (error)
            *error = QStringLiteral("cannot create tables in %1: %2").arg(path, QString::fromUtf8(message));
        sqlite3_free(message);
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    return true;
}

std::optional<Account> StandinDatabase::createAccount(
    const QString& email, const QString& password, const QString& firstName, const QString& lastName, QString* error)
{
    if (findAccount(email)) {
        *error = QStringLiteral("An account with this e-mail address already exists.");
        return std::nullopt;
    }
    Statement next(m_db, "SELECT COALESCE(MAX(customer_id) + 1, ?1) FROM accounts");
    next.bind(1, kFirstCustomerId);
    if (next.step() != SQLITE_ROW) {
        *error = QStringLiteral("The account could not be created.");
        return std::nullopt;
    }
    const qint64 id = std::max(next.int64(0), kFirstCustomerId);
    const QString salt = randomToken(8);
    Statement insert(m_db,
        "INSERT INTO accounts (customer_id, email, salt, password, first_name, last_name, created_ms) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    insert.bind(1, id).bind(2, email).bind(3, salt).bind(4, passwordDigest(salt, password));
    insert.bind(5, firstName).bind(6, lastName).bind(7, qs::cloud::currentSyncTimeMs());
    if (!insert.run()) {
        *error = QStringLiteral("The account could not be created.");
        return std::nullopt;
    }
    return Account {id, email, firstName, lastName};
}

std::optional<Account> StandinDatabase::findAccount(const QString& customerIdOrEmail)
{
    const QString key = customerIdOrEmail.trimmed();
    if (key.isEmpty())
        return std::nullopt;
    bool isNumber = false;
    const qint64 id = key.toLongLong(&isNumber);
    Statement s(m_db,
        isNumber ? "SELECT customer_id, email, first_name, last_name FROM accounts WHERE customer_id = ?1"
                 : "SELECT customer_id, email, first_name, last_name FROM accounts WHERE email = ?1");
    if (isNumber)
        s.bind(1, id);
    else
        s.bind(1, key);
    if (s.step() != SQLITE_ROW)
        return std::nullopt;
    return accountFrom(s);
}

std::optional<Account> StandinDatabase::authenticate(const QString& customerIdOrEmail, const QString& password)
{
    const std::optional<Account> account = findAccount(customerIdOrEmail);
    if (!account)
        return std::nullopt;
    Statement s(m_db, "SELECT salt, password FROM accounts WHERE customer_id = ?1");
    s.bind(1, account->customerId);
    if (s.step() != SQLITE_ROW || passwordDigest(s.text(0), password) != s.text(1))
        return std::nullopt;
    return account;
}

QString StandinDatabase::createResetCode(qint64 customerId)
{
    const QString code = randomToken(6);
    Statement s(m_db, "INSERT INTO reset_codes (code, customer_id, created_ms) VALUES (?1, ?2, ?3)");
    s.bind(1, code).bind(2, customerId).bind(3, qs::cloud::currentSyncTimeMs());
    return s.run() ? code : QString();
}

std::optional<Account> StandinDatabase::resetPassword(const QString& code, const QString& newPassword)
{
    Statement find(m_db, "SELECT customer_id FROM reset_codes WHERE code = ?1");
    find.bind(1, code);
    if (code.isEmpty() || find.step() != SQLITE_ROW)
        return std::nullopt;
    const qint64 id = find.int64(0);
    const QString salt = randomToken(8);
    if (!exec("BEGIN"))
        return std::nullopt;
    Statement update(m_db, "UPDATE accounts SET salt = ?1, password = ?2 WHERE customer_id = ?3");
    update.bind(1, salt).bind(2, passwordDigest(salt, newPassword)).bind(3, id);
    Statement used(m_db, "DELETE FROM reset_codes WHERE code = ?1");
    used.bind(1, code);
    if (!update.run() || !used.run()) {
        exec("ROLLBACK");
        return std::nullopt;
    }
    exec("COMMIT");
    return findAccount(QString::number(id));
}

QList<QPair<qint64, QString>> StandinDatabase::pendingResetCodes()
{
    QList<QPair<qint64, QString>> codes;
    Statement s(m_db, "SELECT customer_id, code FROM reset_codes ORDER BY created_ms DESC, rowid DESC");
    while (s.step() == SQLITE_ROW)
        codes.append({s.int64(0), s.text(1)});
    return codes;
}

qint64 StandinDatabase::accountCount()
{
    Statement s(m_db, "SELECT COUNT(*) FROM accounts");
    return s.step() == SQLITE_ROW ? s.int64(0) : 0;
}

qint64 StandinDatabase::highestServerId(qint64 customerId, const QString& noun)
{
    Statement s(m_db, "SELECT COALESCE(MAX(server_id), 0) FROM records WHERE customer_id = ?1 AND noun = ?2");
    s.bind(1, customerId).bind(2, noun);
    return s.step() == SQLITE_ROW ? s.int64(0) : 0;
}

qint64 StandinDatabase::countAfter(qint64 customerId, const QString& noun, qint64 watermark)
{
    Statement s(m_db, "SELECT COUNT(*) FROM records WHERE customer_id = ?1 AND noun = ?2 AND server_id > ?3");
    s.bind(1, customerId).bind(2, noun).bind(3, watermark);
    return s.step() == SQLITE_ROW ? s.int64(0) : 0;
}

qint64 StandinDatabase::highestServerIdAtOrBefore(qint64 customerId, const QString& noun, qint64 serverTimeMs)
{
    Statement s(m_db,
        "SELECT COALESCE(MAX(server_id), 0) FROM issued_ids WHERE customer_id = ?1 AND noun = ?2 AND issued_ms <= ?3");
    s.bind(1, customerId).bind(2, noun).bind(3, serverTimeMs);
    return s.step() == SQLITE_ROW ? s.int64(0) : 0;
}

std::vector<SyncedRecord> StandinDatabase::recordsAfter(qint64 customerId, const QString& noun, qint64 watermark)
{
    std::vector<SyncedRecord> records;
    Statement s(m_db,
        "SELECT server_id, deleted, timestamp, fields, origin_device, origin_recid FROM records "
        "WHERE customer_id = ?1 AND noun = ?2 AND server_id > ?3 ORDER BY server_id");
    s.bind(1, customerId).bind(2, noun).bind(3, watermark);
    while (s.step() == SQLITE_ROW) {
        SyncedRecord r;
        r.serverId = s.int64(0);
        r.deleted = s.int64(1) != 0;
        r.timestamp = s.text(2);
        r.fields = s.text(3).split(kFieldSeparator);
        r.originDevice = s.text(4);
        r.originRecId = s.int64(5);
        records.push_back(std::move(r));
    }
    return records;
}

qint64 StandinDatabase::nextServerId(qint64 customerId, const QString& noun)
{
    Statement bump(m_db,
        "INSERT INTO server_ids (customer_id, noun, last_id) VALUES (?1, ?2, 1) "
        "ON CONFLICT (customer_id, noun) DO UPDATE SET last_id = last_id + 1");
    bump.bind(1, customerId).bind(2, noun);
    if (!bump.run())
        return 0;
    Statement read(m_db, "SELECT last_id FROM server_ids WHERE customer_id = ?1 AND noun = ?2");
    read.bind(1, customerId).bind(2, noun);
    if (read.step() != SQLITE_ROW)
        return 0;
    const qint64 id = read.int64(0);
    Statement issued(m_db, "INSERT INTO issued_ids (customer_id, noun, server_id, issued_ms) VALUES (?1, ?2, ?3, ?4)");
    issued.bind(1, customerId).bind(2, noun).bind(3, id).bind(4, qs::cloud::currentSyncTimeMs());
    return issued.run() ? id : 0;
}

std::optional<UploadResult> StandinDatabase::upload(qint64 customerId, const QString& noun, const QString& matchKey,
    const SyncedRecord& record, qint64 timestampMs, QString* error)
{
    auto fail = [&](const char* message) -> std::optional<UploadResult> {
        exec("ROLLBACK");
        *error = QString::fromLatin1(message);
        return std::nullopt;
    };
    if (!exec("BEGIN IMMEDIATE"))
        return fail("The record could not be stored.");
    Statement current(m_db, "SELECT timestamp_ms FROM records WHERE customer_id = ?1 AND noun = ?2 AND match_key = ?3");
    current.bind(1, customerId).bind(2, noun).bind(3, matchKey);
    const bool exists = current.step() == SQLITE_ROW;
    UploadResult result;
    if (exists && current.int64(0) > timestampMs) {
        // The stored record is newer: acknowledge the upload with an id below the one the stored
        // record now takes, so the uploading device's watermark stays below it and it receives the
        // newer record on its next sync.
        result.replaced = false;
        result.acknowledgedServerId = nextServerId(customerId, noun);
        const qint64 reissued = nextServerId(customerId, noun);
        if (result.acknowledgedServerId == 0 || reissued == 0)
            return fail("The record could not be stored.");
        Statement update(m_db,
            "UPDATE records SET server_id = ?1, stored_ms = ?2 WHERE customer_id = ?3 AND noun = ?4 "
            "AND match_key = ?5");
        update.bind(1, reissued).bind(2, qs::cloud::currentSyncTimeMs()).bind(3, customerId).bind(4, noun);
        update.bind(5, matchKey);
        if (!update.run())
            return fail("The record could not be stored.");
    } else {
        result.acknowledgedServerId = nextServerId(customerId, noun);
        if (result.acknowledgedServerId == 0)
            return fail("The record could not be stored.");
        Statement put(m_db,
            "INSERT OR REPLACE INTO records (customer_id, noun, match_key, server_id, deleted, timestamp, "
            "timestamp_ms, "
            "fields, origin_device, origin_recid, stored_ms) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
        put.bind(1, customerId).bind(2, noun).bind(3, matchKey).bind(4, result.acknowledgedServerId);
        put.bind(5, record.deleted ? 1 : 0).bind(6, record.timestamp).bind(7, timestampMs);
        put.bind(8, record.fields.join(kFieldSeparator)).bind(9, record.originDevice).bind(10, record.originRecId);
        put.bind(11, qs::cloud::currentSyncTimeMs());
        if (!put.run())
            return fail("The record could not be stored.");
    }
    if (!exec("COMMIT"))
        return fail("The record could not be stored.");
    return result;
}

qint64 StandinDatabase::recordCount(qint64 customerId)
{
    Statement s(m_db, "SELECT COUNT(*) FROM records WHERE customer_id = ?1");
    s.bind(1, customerId);
    return s.step() == SQLITE_ROW ? s.int64(0) : 0;
}

bool StandinDatabase::clearAll()
{
    return exec("BEGIN; DELETE FROM accounts; DELETE FROM reset_codes; DELETE FROM server_ids; DELETE FROM records; "
                "DELETE FROM issued_ids; COMMIT;");
}

}  // namespace qs::standin
