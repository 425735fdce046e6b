// SyncLocalData: what the sync engine reads and writes of the local user-data tables, one record
// type at a time. It speaks in the wire layout of each type (cloud/protocol/SyncRecordTypes.h) and
// in rows of the local tables, and keeps the conversions between the two in one place: category
// names and ids, a highlight's packed verse key, the devotional reading number (one less on the
// wire), the start date's text forms.
//
// The stores answer their own callers with live rows and yes/no answers; sync needs more (the row
// of a match key whether live or deleted, record ids, rows compared column by column before an
// acknowledgement is stored), so it has its own statements here over the same connection. The
// stores create and upgrade the tables (open), so the schemas stay theirs.
//
// Writes made here never ask for a sync (the engine is the one writing), and each is one statement
// or one transaction, so a broken connection never leaves a row half-written. The engine applies
// records that arrive together inside one transaction (beginReceivedBatch) and stores acknowledged
// uploads several at a time (storeAcknowledgements), so that a sync costs a commit per batch rather
// than per record.
//
// Threads: the sync engine's thread (main).
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "userdata/cSQLiteDbBase.h"

class cCategoryStg;

namespace qs::cloud {

struct SyncLocalRow {
    qint64 recid = 0;
    qint64 serverid = 0;
    bool deleted = false;
    QString timestamp;    // stored colon form
    QStringList columns;  // the type's data columns, in table order after recid, serverid, deleted, timestamp
};

class SyncLocalData {
public:
    SyncLocalData();
    ~SyncLocalData();

    // Opens a share of the user-data database and lets every store create or upgrade its tables.
    bool open();
    void close();
    bool isOpen() const;

    // -1 for an empty table, 0 when the statement fails.
    qint64 highestServerId(qint64 noun);
    // The first row with serverid 0 and a recid above `afterRecid`, by lowest recid. `failed` is set
    // when the statement failed.
    std::optional<SyncLocalRow> firstUnsynced(qint64 noun, bool* failed = nullptr, qint64 afterRecid = 0);
    qint64 countUnsynced(qint64 noun);
    bool hasRows(qint64 noun);
    // Reads answer three ways: a row, none, or nothing with `failed` set when the statement failed (the
    // database could not be read: that says nothing of whether the row is there).
    std::optional<SyncLocalRow> readByRecid(qint64 noun, qint64 recid, bool* failed = nullptr);

    // The record fields of a row in wire order, or an error text (a category that can't be found).
    std::optional<QStringList> wireFields(qint64 noun, const SyncLocalRow& row, QString* error);
    // The column values of received record fields (category names resolved, adding or reviving the
    // category). Nothing with `error` set when a category can't be found or made.
    std::optional<QStringList> columnsFromWire(qint64 noun, const QStringList& fields, QString* error);
    // The row with the match key of these column values, live or deleted (the newest when several).
    std::optional<SyncLocalRow> findByMatchKey(qint64 noun, const QStringList& columns, bool* failed = nullptr);

    // Inserts a row; answers its recid (0 on failure). A new start-date row has no readings and a
    // book bookmark keeps the received edition. A note that shows nothing (userdata/NoteText.h) is
    // written as a deletion, here and in updateRow.
    qint64 insertRow(qint64 noun, const QStringList& columns, const QString& timestamp, qint64 serverid, bool deleted);
    // Rewrites a row in place with the received values (a book bookmark's edition and a start
    // date's number of readings stay).
    bool updateRow(
        qint64 noun, qint64 recid, const QStringList& columns, const QString& timestamp, qint64 serverid, bool deleted);
    bool removeRow(qint64 noun, qint64 recid);
    bool setServerId(qint64 noun, qint64 recid, qint64 serverid);
    // Stores an acknowledged server id only when the row is still exactly as it was read for the
    // upload (a changed row keeps serverid 0 and goes up again). The row then keeps what the server
    // got: a text that went up without the unit and record separators, which the line format cannot
    // carry, is stored without them too, so the two copies never differ unseen.
    bool markSynced(qint64 noun, const SyncLocalRow& sent, qint64 serverid);
    // An upload the server acknowledged: the row as it was sent and the server id it got.
    struct Acknowledgement {
        SyncLocalRow sent;
        qint64 serverid = 0;
    };
    // markSynced for each, in one transaction (all or none stored); a row the server id sticks to by
    // its recid only (its values compare unequal in SQL but read back as sent) gets it by recid.
    bool storeAcknowledgements(qint64 noun, const std::vector<Acknowledgement>& acknowledgements);

    // One transaction held open over received records until commitReceivedBatch (this thread's
    // statements join it; other threads' wait). begin answers false when none could be opened (the
    // records are then written one statement each); commit answers false when the batch was lost.
    bool beginReceivedBatch();
    bool commitReceivedBatch();

    // Every row with serverid 0 stamped at or before the colon-form time gets the server id.
    bool assignServerIdUpTo(qint64 noun, const QString& colonTime, qint64 serverid);

    // Forgets everything the server has seen (serverids 0, tombstones and deleted categories
    // purged, history emptied, synced-to customer 0).
    bool removeAllSyncHistory();
    // Deletes every row of every synced table and of Categories.
    bool removeAllUserData();

    // Sync history and customer id.
    std::optional<QString> lastSyncTime(const QString& historyName);  // wire form
    bool recordSyncTime(const QString& historyName, qint64 calendarMs, int errorCode, const QString& message);
    qint64 syncedCustomerId();
    void setSyncedCustomerId(qint64 id);

    // Time helpers on the calendar milliseconds of cDateTimeValue.
    static std::optional<qint64> parseTime(const QString& text);
    static QString colonTime(qint64 calendarMs);
    static QString wireTime(qint64 calendarMs);
    static qint64 nowMs();

private:
    class Db : public cSQLiteDbBase { };

    std::optional<SyncLocalRow> selectRow(qint64 noun, const QString& where, const cSQLValues& values, bool* failed);
    QString categoryName(qint64 catid, bool* found);

    Db m_db;
    std::unique_ptr<cCategoryStg> m_categories;
    bool m_open = false;
};

}  // namespace qs::cloud
