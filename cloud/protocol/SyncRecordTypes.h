// The record types the sync protocol exchanges: each type's noun, the reader's local table and the
// name its sync history uses, and the record fields a line carries after its leading parameters, in
// wire order. The reader's sync engine and the stand-in sync server read the layouts from here.
//
// Threads: constant tables, any thread.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace qs::cloud {

struct SyncRecordType {
    qint64 noun;  // SyncCommand::Noun, 8..16
    QString nounWord;
    QString localTable;
    QString historyName;
    QStringList fields;         // wire order
    QList<int> integerFields;   // fields that hold a decimal number
    int dateField = -1;         // a field in the sync time form (start dates), or -1
    QList<int> matchKeyFields;  // the fields that name the same record on both sides
    QList<int> caseInsensitiveKeyFields;
};

// Nouns 8..16 in noun order; PROGRAMSETTINGS has no fields.
const std::vector<SyncRecordType>& syncRecordTypes();
const SyncRecordType* syncRecordType(qint64 noun);
const SyncRecordType* syncRecordType(const QString& nounWord);
// The types a full sync queues, in order (every record type but PROGRAMSETTINGS).
QList<qint64> syncAllOrder();

// The verse key of a Bible highlight: (book & 255) << 16 | (chapter << 8) & 0xFFFF | (verse & 255).
qint64 packedVerseKey(qint64 book, qint64 chapter, qint64 verse);

// Checks the record fields of a received line against the type's layout: the count, the numbers and
// the date. Answers the fault as text, or nothing when the fields are sound.
std::optional<QString> checkSyncRecordFields(const SyncRecordType& type, const QStringList& fields);
// One text that is equal for two records with the same match key (numbers normalised, case-blind
// fields folded, Bible highlights by their verse key). Call with checked fields.
QString syncRecordMatchKey(const SyncRecordType& type, const QStringList& fields);

}  // namespace qs::cloud
