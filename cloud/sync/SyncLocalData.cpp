#include "cloud/sync/SyncLocalData.h"

#include <QDateTime>

#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncRecordTypes.h"
#include "engine/foundation/cDateTimeValue.h"
#include "userdata/NoteText.h"
#include "userdata/cBibleNoteStg.h"
#include "userdata/cBookNoteStg.h"
#include "userdata/cBookmarkStg.h"
#include "userdata/cCategoryStg.h"
#include "userdata/cDevotionalDataStg.h"
#include "userdata/cHighlightColorNameStg.h"
#include "userdata/cPersistentData.h"
#include "userdata/cSyncCustomerDb.h"
#include "userdata/cVerseHighlightStg.h"

// GCC 12 reports the variant inside brace-initialised value lists as maybe uninitialised (a known
// false positive of its inliner).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace qs::cloud {

namespace {

using C = SyncCommand;

struct TableInfo {
    qint64 noun;
    const char* table;
    QStringList columns;
    QStringList keyColumns;
    QStringList noCaseKeys;
    QString insertOnly;  // a column written only when a row is made
};

const std::vector<TableInfo>& tables()
{
    static const std::vector<TableInfo> list = {
        {C::BibleBookmarks, "BibleBookmarks", {"book", "chapter", "verse", "catid"},
            {"book", "chapter", "verse", "catid"}, {}, {}},
        {C::BibleHighlights, "VerseHighlights", {"bcv", "forecolor", "backcolor"}, {"bcv"}, {}, {}},
        {C::BibleNotes, "BibleNotes", {"booknum", "chapter", "verse", "note"}, {"booknum", "chapter", "verse"}, {}, {}},
        {C::BookBookmarks, "BookBookmarks", {"pubid", "bookid", "edition", "section", "catid"},
            {"pubid", "bookid", "section", "catid"}, {}, "edition"},
        {C::BookNotes, "BookNotes", {"pubid", "bookid", "edition", "section", "formname", "fieldname", "note"},
            {"pubid", "bookid", "edition", "section", "formname", "fieldname"}, {"formname", "fieldname"}, {}},
        {C::DevotionalProgress, "DevDataProgress", {"pubid", "bookid", "readingnum"}, {"pubid", "bookid", "readingnum"},
            {}, {}},
        {C::DevotionalStartDate, "DevDataInfo", {"pubid", "bookid", "startdate", "numreadings"}, {"pubid", "bookid"},
            {}, "numreadings"},
        {C::HighlightColorNames, "HighlightColorNames", {"colornum", "name"}, {"colornum"}, {}, {}},
    };
    return list;
}

const TableInfo* info(qint64 noun)
{
    for (const TableInfo& t : tables()) {
        if (t.noun == noun)
            return &t;
    }
    return nullptr;
}

// Text is bound with its length: a note may hold NUL (the wire allows it), and a terminated copy
// would store it cut at the first one.
cSQLValue textValue(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    cLString8 value;
    value.appendChars(bytes.constData(), static_cast<std::int32_t>(bytes.size()));
    return cSQLValue(value);
}

// A received note that shows nothing (an older version's emptied editor) is no note: it is kept as a
// deletion, without its text.
void takeBlankNoteForDeletion(const TableInfo& t, QStringList& columns, bool& deleted)
{
    const qsizetype note = t.columns.indexOf(QStringLiteral("note"));
    if (deleted || note < 0 || note >= columns.size())
        return;
    const QString& text = columns.at(note);
    if (NoteText::showsNothing(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()))) {
        columns[note].clear();
        deleted = true;
    }
}

// Integer columns bind as numbers so comparisons and indexes see numbers.
cSQLValue columnValue(const QString& column, const QString& value)
{
    static const QStringList texts = {"note", "formname", "fieldname", "name", "startdate"};
    if (texts.contains(column))
        return textValue(value);
    return cSQLValue(static_cast<std::int64_t>(value.toLongLong()));
}

// The columns of a row as they reached the server. The line format cannot carry the unit and record
// separators, so the text columns that travel as they are (a note, a book note's form and field
// names, a colour's name) go up without them; the other columns are numbers or converted values.
QStringList columnsAsSent(qint64 noun, const QStringList& columns, const QStringList& names)
{
    if (noun != C::BibleNotes && noun != C::BookNotes && noun != C::HighlightColorNames)
        return columns;
    static const QStringList travelAsTheyAre = {"note", "formname", "fieldname", "name"};
    QStringList out = columns;
    for (qsizetype i = 0; i < out.size() && i < names.size(); ++i) {
        if (travelAsTheyAre.contains(names.at(i)))
            out[i] = SyncCommand::cleanComponent(out.at(i));
    }
    return out;
}

// "SET serverid = ?" and the columns whose kept value differs from the one read, with their values.
QString syncedSet(const QStringList& names, const QStringList& read, const QStringList& kept, cSQLValues& values)
{
    QString set = QStringLiteral("serverid = ?");
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (kept.value(i) == read.value(i))
            continue;
        set += QStringLiteral(", %1 = ?").arg(names.at(i));
        values.push_back(columnValue(names.at(i), kept.value(i)));
    }
    return set;
}

QString str(const cLString8& text)
{
    return text.chars() ? QString::fromUtf8(text.chars(), text.length()) : QString();
}

// A calendar time in one of the text forms of the engine's date values.
QString formattedTime(qint64 calendarMs, void (cDateTimeValue::*format)(cLString8&) const)
{
    cDateTimeValue value;
    value.setFromMilliseconds(calendarMs);
    cLString8 out;
    (value.*format)(out);
    return str(out);
}

QString selectList(const TableInfo& t)
{
    return QStringLiteral("recid, serverid, deleted, timestamp, ") + t.columns.join(QStringLiteral(", "));
}

SyncLocalRow rowOf(const cSQLRow& row)
{
    SyncLocalRow r;
    r.recid = row.at(0).toInt64();
    r.serverid = row.at(1).toInt64();
    r.deleted = row.at(2).toInt64() != 0;
    r.timestamp = str(row.at(3));
    for (std::size_t i = 4; i < row.size(); ++i)
        r.columns.append(str(row.at(i)));
    return r;
}

}  // namespace

SyncLocalData::SyncLocalData() = default;

SyncLocalData::~SyncLocalData()
{
    close();
}

bool SyncLocalData::open()
{
    if (m_open)
        return true;
    const cLString16 path = m_db.databasePath();
    if (path.isEmpty() || !m_db.open(path))
        return false;
    // Each store creates or upgrades its own tables; only the tables matter afterwards.
    bool ok = true;
    {
        cBookmarkStg bookmarks;
        ok = bookmarks.openOrCreate(path, false) && ok;
        cVerseHighlightStg highlights;
        ok = highlights.openOrCreate(path, false) && ok;
        cBibleNoteStg bibleNotes;
        ok = bibleNotes.openOrCreate(path, false) && ok;
        cBookNoteStg bookNotes;
        ok = bookNotes.openOrCreate(path, false) && ok;
        cDevotionalDataStg devotional;
        ok = devotional.openOrCreate(path, true) && ok;
        cHighlightColorNameStg colorNames;
        ok = colorNames.create() && ok;
        cPersistentData history;
        ok = history.openOrCreate(path) && ok;
        cSyncCustomerDb customer;
        ok = customer.create() && ok;
        bookmarks.close();
        highlights.close();
        bibleNotes.close();
        bookNotes.close();
        devotional.close();
        colorNames.close();
        history.close();
        customer.close();
    }
    m_categories = std::make_unique<cCategoryStg>();
    ok = m_categories->openOrCreate(path, false) && ok;
    if (!ok) {
        m_categories.reset();
        m_db.close();
        return false;
    }
    m_open = true;
    return true;
}

void SyncLocalData::close()
{
    if (!m_open)
        return;
    m_categories.reset();
    m_db.close();
    m_open = false;
}

bool SyncLocalData::isOpen() const
{
    return m_open;
}

std::optional<SyncLocalRow> SyncLocalData::selectRow(
    qint64 noun, const QString& where, const cSQLValues& values, bool* failed)
{
    if (failed)
        *failed = false;
    const TableInfo* t = info(noun);
    if (!t || !m_open) {
        if (failed)
            *failed = true;
        return std::nullopt;
    }
    const QString sql =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(selectList(*t), QString::fromLatin1(t->table), where);
    cSQLRows rows;
    if (!m_db.exec(sql.toUtf8().constData(), values, &rows)) {
        if (failed)
            *failed = true;
        return std::nullopt;
    }
    if (rows.empty() || rows.front().size() < static_cast<std::size_t>(4 + t->columns.size()))
        return std::nullopt;
    return rowOf(rows.front());
}

qint64 SyncLocalData::highestServerId(qint64 noun)
{
    const TableInfo* t = info(noun);
    if (!t || !m_open)
        return 0;
    cSQLRows rows;
    const QString sql = QStringLiteral("SELECT COUNT(*), MAX(serverid) FROM %1").arg(QString::fromLatin1(t->table));
    if (!m_db.exec(sql.toUtf8().constData(), {}, &rows) || rows.empty() || rows.front().size() < 2)
        return 0;
    if (rows.front().at(0).toInt64() == 0)
        return -1;
    return rows.front().at(1).toInt64();
}

std::optional<SyncLocalRow> SyncLocalData::firstUnsynced(qint64 noun, bool* failed, qint64 afterRecid)
{
    const TableInfo* t = info(noun);
    if (failed)
        *failed = false;
    if (!t || !m_open) {
        if (failed)
            *failed = true;
        return std::nullopt;
    }
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE serverid = 0 AND recid > ? ORDER BY recid LIMIT 1")
                            .arg(selectList(*t), QString::fromLatin1(t->table));
    cSQLRows rows;
    if (!m_db.exec(sql.toUtf8().constData(), {static_cast<std::int64_t>(afterRecid)}, &rows)) {
        if (failed)
            *failed = true;
        return std::nullopt;
    }
    if (rows.empty())
        return std::nullopt;
    return rowOf(rows.front());
}

qint64 SyncLocalData::countUnsynced(qint64 noun)
{
    const TableInfo* t = info(noun);
    return t && m_open ? m_db.countRowsWhereZero(t->table, "serverid") : 0;
}

bool SyncLocalData::hasRows(qint64 noun)
{
    const TableInfo* t = info(noun);
    return t && m_open && m_db.tableHasRows(t->table, "serverid");
}

std::optional<SyncLocalRow> SyncLocalData::readByRecid(qint64 noun, qint64 recid, bool* failed)
{
    return selectRow(noun, QStringLiteral("recid = ?"), {static_cast<std::int64_t>(recid)}, failed);
}

QString SyncLocalData::categoryName(qint64 catid, bool* found)
{
    *found = false;
    if (catid == 0) {
        *found = true;
        return QString();
    }
    cSQLRows rows;
    if (!m_db.exec("SELECT category FROM Categories WHERE catid = ? ORDER BY deleted LIMIT 1",
            {static_cast<std::int64_t>(catid)}, &rows) ||
        rows.empty() || rows.front().empty())
        return QString();
    *found = true;
    return str(rows.front().at(0));
}

std::optional<QStringList> SyncLocalData::wireFields(qint64 noun, const SyncLocalRow& row, QString* error)
{
    const QStringList& c = row.columns;
    auto catName = [&](const QString& catid) -> std::optional<QString> {
        bool found = false;
        const QString name = categoryName(catid.toLongLong(), &found);
        if (!found) {
            if (error)
                *error = QStringLiteral("Error looking up bookmark category.");
            return std::nullopt;
        }
        return name;
    };
    switch (noun) {
    case C::BibleBookmarks: {
        const std::optional<QString> name = catName(c.value(3));
        if (!name)
            return std::nullopt;
        return QStringList {c.value(0), c.value(1), c.value(2), *name};
    }
    case C::BibleHighlights: {
        const qint64 bcv = c.value(0).toLongLong();
        return QStringList {QString::number((bcv >> 16) & 255), QString::number((bcv >> 8) & 255),
            QString::number(bcv & 255), c.value(1), c.value(2)};
    }
    case C::BibleNotes:
    case C::BookNotes:
    case C::HighlightColorNames:
        return c;
    case C::BookBookmarks: {
        const std::optional<QString> name = catName(c.value(4));
        if (!name)
            return std::nullopt;
        return QStringList {c.value(0), c.value(1), c.value(2), c.value(3), *name};
    }
    case C::DevotionalProgress:
        return QStringList {c.value(0), c.value(1), QString::number(c.value(2).toLongLong() - 1),
            row.deleted ? QStringLiteral("0") : QStringLiteral("1")};
    case C::DevotionalStartDate: {
        const std::optional<qint64> start = parseTime(c.value(2));
        return QStringList {c.value(0), c.value(1), start ? wireTime(*start) : c.value(2)};
    }
    default:
        if (error)
            *error = QStringLiteral("Programming error: Unrecognized table name.");
        return std::nullopt;
    }
}

std::optional<QStringList> SyncLocalData::columnsFromWire(qint64 noun, const QStringList& f, QString* error)
{
    auto catid = [&](const QString& name) -> std::optional<QString> {
        if (name.isEmpty())
            return QStringLiteral("0");
        cLString16 wide;
        wide.assignFromUTF8(name.toUtf8().constData());
        cCategory found;
        if (m_categories && m_categories->findCategoryByName(wide, found))
            return QString::number(found.catid);
        cCategory added;
        added.name = wide;
        if (m_categories && m_categories->addCategory(added, false, false) && added.catid != 0)
            return QString::number(added.catid);
        if (error)
            *error = QStringLiteral("Unable to find or create a category for this bookmark.");
        return std::nullopt;
    };
    auto num = [&](int i) { return QString::number(f.value(i).toLongLong()); };
    switch (noun) {
    case C::BibleBookmarks: {
        const std::optional<QString> cat = catid(f.value(3));
        if (!cat)
            return std::nullopt;
        return QStringList {num(0), num(1), num(2), *cat};
    }
    case C::BibleHighlights:
        return QStringList {
            QString::number(packedVerseKey(f.value(0).toLongLong(), f.value(1).toLongLong(), f.value(2).toLongLong())),
            num(3), num(4)};
    case C::BibleNotes:
        return QStringList {num(0), num(1), num(2), f.value(3)};
    case C::BookBookmarks: {
        const std::optional<QString> cat = catid(f.value(4));
        if (!cat)
            return std::nullopt;
        return QStringList {num(0), num(1), num(2), num(3), *cat};
    }
    case C::BookNotes:
        return QStringList {num(0), num(1), num(2), num(3), f.value(4), f.value(5), f.value(6)};
    case C::DevotionalProgress:
        return QStringList {num(0), num(1), QString::number(f.value(2).toLongLong() + 1)};
    case C::DevotionalStartDate: {
        const std::optional<qint64> start = parseTime(f.value(2));
        if (!start) {
            if (error)
                *error = QStringLiteral("Bad record received from server. Devotional start date invalid.");
            return std::nullopt;
        }
        return QStringList {num(0), num(1), colonTime(*start), QStringLiteral("0")};
    }
    case C::HighlightColorNames:
        return QStringList {num(0), f.value(1)};
    default:
        if (error)
            *error = QStringLiteral("Programming error: Unrecognized table name.");
        return std::nullopt;
    }
}

std::optional<SyncLocalRow> SyncLocalData::findByMatchKey(qint64 noun, const QStringList& columns, bool* failed)
{
    const TableInfo* t = info(noun);
    if (failed)
        *failed = t == nullptr;
    if (!t)
        return std::nullopt;
    QStringList where;
    cSQLValues values;
    for (const QString& key : t->keyColumns) {
        const qsizetype i = t->columns.indexOf(key);
        where.append(t->noCaseKeys.contains(key) ? key + QStringLiteral(" = ? COLLATE NOCASE") : key + " = ?");
        values.push_back(columnValue(key, columns.value(i)));
    }
    return selectRow(noun,
        where.join(QStringLiteral(" AND ")) + QStringLiteral(" ORDER BY timestamp DESC, recid DESC LIMIT 1"), values,
        failed);
}

qint64 SyncLocalData::insertRow(
    qint64 noun, const QStringList& received, const QString& timestamp, qint64 serverid, bool deleted)
{
    const TableInfo* t = info(noun);
    if (!t || !m_open)
        return 0;
    QStringList columns = received;
    takeBlankNoteForDeletion(*t, columns, deleted);
    QStringList marks;
    cSQLValues values;
    for (qsizetype i = 0; i < t->columns.size(); ++i) {
        marks.append(QStringLiteral("?"));
        values.push_back(columnValue(t->columns.at(i), columns.value(i)));
    }
    values.push_back(textValue(timestamp));
    values.push_back(static_cast<std::int64_t>(serverid));
    values.push_back(static_cast<std::int64_t>(deleted ? 1 : 0));
    const QString sql = QStringLiteral("INSERT INTO %1 (%2, timestamp, serverid, deleted) VALUES (%3, ?, ?, ?)")
                            .arg(QString::fromLatin1(t->table), t->columns.join(QStringLiteral(", ")),
                                marks.join(QStringLiteral(", ")));
    std::int64_t rowid = 0;
    if (!m_db.exec(sql.toUtf8().constData(), values, nullptr, false, nullptr, &rowid))
        return 0;
    return rowid;
}

bool SyncLocalData::updateRow(
    qint64 noun, qint64 recid, const QStringList& received, const QString& timestamp, qint64 serverid, bool deleted)
{
    const TableInfo* t = info(noun);
    if (!t || !m_open)
        return false;
    QStringList columns = received;
    takeBlankNoteForDeletion(*t, columns, deleted);
    QStringList sets;
    cSQLValues values;
    for (qsizetype i = 0; i < t->columns.size(); ++i) {
        if (t->columns.at(i) == t->insertOnly)
            continue;
        sets.append(t->columns.at(i) + QStringLiteral(" = ?"));
        values.push_back(columnValue(t->columns.at(i), columns.value(i)));
    }
    values.push_back(textValue(timestamp));
    values.push_back(static_cast<std::int64_t>(serverid));
    values.push_back(static_cast<std::int64_t>(deleted ? 1 : 0));
    values.push_back(static_cast<std::int64_t>(recid));
    const QString sql = QStringLiteral("UPDATE %1 SET %2, timestamp = ?, serverid = ?, deleted = ? WHERE recid = ?")
                            .arg(QString::fromLatin1(t->table), sets.join(QStringLiteral(", ")));
    return m_db.exec(sql.toUtf8().constData(), values);
}

bool SyncLocalData::removeRow(qint64 noun, qint64 recid)
{
    const TableInfo* t = info(noun);
    if (!t || !m_open)
        return false;
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE recid = ?").arg(QString::fromLatin1(t->table));
    return m_db.exec(sql.toUtf8().constData(), {static_cast<std::int64_t>(recid)});
}

bool SyncLocalData::setServerId(qint64 noun, qint64 recid, qint64 serverid)
{
    const TableInfo* t = info(noun);
    if (!t || !m_open)
        return false;
    const QString sql = QStringLiteral("UPDATE %1 SET serverid = ? WHERE recid = ?").arg(QString::fromLatin1(t->table));
    return m_db.exec(sql.toUtf8().constData(), {static_cast<std::int64_t>(serverid), static_cast<std::int64_t>(recid)});
}

bool SyncLocalData::markSynced(qint64 noun, const SyncLocalRow& sent, qint64 serverid)
{
    const TableInfo* t = info(noun);
    if (!t || !m_open)
        return false;
    // Only the state that went up is acknowledged: an edit made while the reply was on its way
    // changes the timestamp, the flag or a column, and that row stays unsynced. The row keeps what
    // the server got, so that the two copies are the same.
    cSQLValues values = {static_cast<std::int64_t>(serverid)};
    const QString set = syncedSet(t->columns, sent.columns, columnsAsSent(noun, sent.columns, t->columns), values);
    QStringList where = {QStringLiteral("recid = ?"), QStringLiteral("serverid = 0"), QStringLiteral("deleted = ?"),
        QStringLiteral("timestamp = ?")};
    values.push_back(static_cast<std::int64_t>(sent.recid));
    values.push_back(static_cast<std::int64_t>(sent.deleted ? 1 : 0));
    values.push_back(textValue(sent.timestamp));
    for (qsizetype i = 0; i < t->columns.size(); ++i) {
        where.append(QStringLiteral("%1 IS ?").arg(t->columns.at(i)));
        values.push_back(columnValue(t->columns.at(i), sent.columns.value(i)));
    }
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                            .arg(QString::fromLatin1(t->table), set, where.join(QStringLiteral(" AND ")));
    return m_db.exec(sql.toUtf8().constData(), values);
}

bool SyncLocalData::storeAcknowledgements(qint64 noun, const std::vector<Acknowledgement>& acknowledgements)
{
    const TableInfo* t = info(noun);
    if (!t || !m_open)
        return false;
    if (acknowledgements.empty())
        return true;
    return m_db.runInTransaction([&] {
        for (const Acknowledgement& a : acknowledgements) {
            if (!markSynced(noun, a.sent, a.serverid))
                return false;
            // A row whose stored values read back as sent but did not compare equal in SQL (a number
            // stored as text) gets its server id by recid.
            const std::optional<SyncLocalRow> now = readByRecid(noun, a.sent.recid);
            if (!now || now->serverid != 0 || now->deleted != a.sent.deleted || now->timestamp != a.sent.timestamp ||
                now->columns != a.sent.columns)
                continue;
            cSQLValues values = {static_cast<std::int64_t>(a.serverid)};
            const QString set =
                syncedSet(t->columns, now->columns, columnsAsSent(noun, now->columns, t->columns), values);
            values.push_back(static_cast<std::int64_t>(a.sent.recid));
            const QString sql =
                QStringLiteral("UPDATE %1 SET %2 WHERE recid = ?").arg(QString::fromLatin1(t->table), set);
            if (!m_db.exec(sql.toUtf8().constData(), values))
                return false;
        }
        return true;
    });
}

bool SyncLocalData::beginReceivedBatch()
{
    return m_open && m_db.beginHeldTransaction();
}

bool SyncLocalData::commitReceivedBatch()
{
    return m_db.commitHeldTransaction();
}

bool SyncLocalData::assignServerIdUpTo(qint64 noun, const QString& colonTime, qint64 serverid)
{
    const TableInfo* t = info(noun);
    if (!t || !m_open)
        return false;
    return m_db.updateColumnUpToTime(t->table, colonTime.toUtf8().constData(), "serverid", "timestamp", serverid, true);
}

bool SyncLocalData::removeAllSyncHistory()
{
    if (!m_open)
        return false;
    bool ok = true;
    cPersistentData history;
    ok = history.openOrCreate() && history.clearSyncHistory() && ok;
    history.close();
    for (const TableInfo& t : tables()) {
        ok = m_db.updateColumnUpToTime(t.table, "X", "serverid", "timestamp", 0, false) && ok;
        ok = m_db.deleteRowsWhereNonZero(t.table, "deleted") && ok;
    }
    ok = m_db.deleteRowsWhereNonZero("Categories", "deleted") && ok;
    setSyncedCustomerId(0);
    return ok;
}

bool SyncLocalData::removeAllUserData()
{
    bool ok = removeAllSyncHistory();
    for (const TableInfo& t : tables())
        ok = m_db.deleteAllRows(t.table) && ok;
    ok = m_db.deleteAllRows("Categories") && ok;
    return ok;
}

std::optional<QString> SyncLocalData::lastSyncTime(const QString& historyName)
{
    cPersistentData history;
    if (!history.openOrCreate())
        return std::nullopt;
    cDateTimeValue when;
    const bool found = history.lastSyncTime(historyName.toUtf8().constData(), when);
    history.close();
    if (!found)
        return std::nullopt;
    return wireTime(when.toMilliseconds());
}

bool SyncLocalData::recordSyncTime(const QString& historyName, qint64 calendarMs, int errorCode, const QString& message)
{
    cPersistentData history;
    if (!history.openOrCreate())
        return false;
    cDateTimeValue when;
    when.setFromMilliseconds(calendarMs);
    const QByteArray text = message.toUtf8();
    const bool ok = history.recordSyncTime(
        historyName.toUtf8().constData(), when, errorCode, text.isEmpty() ? nullptr : text.constData());
    history.close();
    return ok;
}

qint64 SyncLocalData::syncedCustomerId()
{
    cSyncCustomerDb customer;
    if (!customer.create())
        return -1;
    const qint64 id = customer.customerId();
    customer.close();
    return id;
}

void SyncLocalData::setSyncedCustomerId(qint64 id)
{
    cSyncCustomerDb customer;
    if (customer.create())
        customer.setCustomerId(static_cast<std::int32_t>(id));
    customer.close();
}

std::optional<qint64> SyncLocalData::parseTime(const QString& text)
{
    cDateTimeValue value;
    if (!value.parse(text.toUtf8().constData()))
        return std::nullopt;
    return value.toMilliseconds();
}

QString SyncLocalData::colonTime(qint64 calendarMs)
{
    return formattedTime(calendarMs, &cDateTimeValue::formatColonSeparated);
}

QString SyncLocalData::wireTime(qint64 calendarMs)
{
    return formattedTime(calendarMs, &cDateTimeValue::formatSQLStyle);
}

qint64 SyncLocalData::nowMs()
{
    // To the millisecond: the clock measurement needs it.
    static const qint64 epoch = [] {
        cDateTimeValue value;
        value.parse("1970-01-01 00:00:00.000");
        return value.toMilliseconds();
    }();
    return epoch + QDateTime::currentMSecsSinceEpoch();
}

}  // namespace qs::cloud
