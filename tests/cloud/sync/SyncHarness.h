// Readers for sync tests: each has its own user-data folder (its own database) and device id; one
// is active at a time (the user-data connection is process-wide). A run syncs every type against a
// stand-in server and waits until the engine is idle again.
#pragma once

#include "tools/standin-services/StandinTestServer.h"

#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/sync/SyncManager.h"
#include "engine/references/cBibleRefDefaults.h"
#include "userdata/cSQLiteDbBase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>

#include <cstdlib>
#include <map>
#include <optional>
#include <set>

namespace sync_test {

using qs::cloud::SyncCommand;
using qs::cloud::SyncLocalData;
using qs::cloud::SyncManager;

// The recids of a type's local table in the active reader's database, deleted rows included, by
// recid: every row the reader holds.
inline std::vector<qint64> localRecids(qint64 noun)
{
    std::vector<qint64> out;
    cSQLiteDbBase db;
    if (!db.open(db.databasePath()))
        return out;
    const QByteArray sql =
        "SELECT recid FROM " + qs::cloud::syncRecordType(noun)->localTable.toUtf8() + " ORDER BY recid";
    cSQLRows rows;
    EXPECT_TRUE(db.exec(sql.constData(), {}, &rows));
    for (const cSQLRow& row : rows)
        out.push_back(std::atoll(row.at(0).chars()));
    db.close();
    return out;
}

struct Account {
    QString user = QStringLiteral("demo@quillstead.test");
    QString password = QStringLiteral("demo");
    qint64 number = 10001;
};

class RecordingDelegate : public qs::cloud::SyncManagerDelegate {
public:
    Account account;
    QString device;
    QStringList errors;
    QList<bool> errorsUserAsked;  // beside each error: whether a sync the user asked for failed
    QStringList started;
    std::map<QString, bool> completed;
    int commStarted = 0;
    int commFinished = 0;
    std::vector<float> progress;
    bool automatic = true;
    std::optional<bool> loginValid;

    void syncCommStarted() override { ++commStarted; }
    void syncCommFinished() override { ++commFinished; }
    void syncLoginComplete(bool valid) override { loginValid = valid; }
    void syncProgressPercent(float p, const QString&) override { progress.push_back(p); }
    void syncErrorOccurred(const QString& message, bool userAsked) override
    {
        errors.append(message);
        errorsUserAsked.append(userAsked);
    }
    void syncRecordTypeWillStart(const QString& noun) override { started.append(noun); }
    void syncRecordTypeComplete(const QString& noun, bool changed) override { completed[noun] = changed; }
    bool syncAutomatically() override { return automatic; }
    std::optional<qs::cloud::SyncConnectParameters> connectParameters() override
    {
        return qs::cloud::SyncConnectParameters {account.user, account.password,
            QStringLiteral("org.quillstead.Quillstead/Linux"), QStringLiteral("0.1.0"), device,
            QStringLiteral("test host"), account.number};
    }
};

// One record as both sides compare it: wire fields, tombstone flag and time.
using Dump = std::map<std::string, std::set<std::string>>;

class Reader {
public:
    explicit Reader(QString device, Account account = {}) : m_device(std::move(device)), m_account(account)
    {
        standin_test::ensureApplication();
    }

    void activate()
    {
        EXPECT_EQ(cSQLiteDbBase::openCount(), 0) << "another reader's database is still open";
        cLString16 folder;
        folder.assignFromUTF8(m_dir.path().toUtf8().constData());
        cSQLiteDbBase::setEngineDataFolder(folder);
    }

    // Local edits as the stores make them: stamped now, serverid 0.
    qint64 edit(qint64 noun, const QStringList& wire, bool deleted = false, qint64 ageMs = 0)
    {
        activate();
        SyncLocalData data;
        EXPECT_TRUE(data.open());
        QString error;
        const auto columns = data.columnsFromWire(noun, wire, &error);
        EXPECT_TRUE(columns.has_value()) << error.toStdString();
        const QString now = SyncLocalData::colonTime(SyncLocalData::nowMs() - ageMs);
        qint64 recid = 0;
        if (const auto row = data.findByMatchKey(noun, *columns)) {
            data.updateRow(noun, row->recid, *columns, now, 0, deleted);
            recid = row->recid;
        } else {
            recid = data.insertRow(noun, *columns, now, 0, deleted);
        }
        data.close();
        return recid;
    }

    Dump dump(bool withTime = true)
    {
        activate();
        Dump out;
        SyncLocalData data;
        EXPECT_TRUE(data.open());
        for (qint64 noun : qs::cloud::syncAllOrder()) {
            const QString table = qs::cloud::syncRecordType(noun)->localTable;
            for (qint64 recid : localRecids(noun)) {
                const std::optional<qs::cloud::SyncLocalRow> row = data.readByRecid(noun, recid);
                EXPECT_TRUE(row.has_value()) << recid;
                if (!row)
                    continue;
                QString error;
                const auto wire = data.wireFields(noun, *row, &error);
                QString text = (wire ? wire->join(QLatin1Char('|')) : QStringLiteral("?")) +
                    (row->deleted ? QStringLiteral(" deleted") : QString());
                if (withTime)
                    text += QLatin1Char(' ') + row->timestamp;
                out[table.toStdString()].insert(text.toStdString());
            }
        }
        data.close();
        return out;
    }

    qint64 unsynced()
    {
        activate();
        SyncLocalData data;
        EXPECT_TRUE(data.open());
        qint64 n = 0;
        for (qint64 noun : qs::cloud::syncAllOrder())
            n += data.countUnsynced(noun);
        data.close();
        return n;
    }

    // One full sync; the delegate's record of it.
    RecordingDelegate sync(quint16 port, const std::function<void(SyncManager&)>& setup = {}, int timeoutMs = 60000)
    {
        activate();
        RecordingDelegate delegate;
        delegate.account = m_account;
        delegate.device = m_device;
        {
            SyncManager engine;
            engine.setServer(QStringLiteral("127.0.0.1"), port);
            engine.setDelegate(&delegate);
            if (setup)
                setup(engine);
            engine.syncAll(true);
            waitIdle(engine, timeoutMs);
        }
        return delegate;
    }

    static void waitIdle(SyncManager& engine, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs && (engine.goal() != SyncManager::Idle || engine.hasConnection()))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(engine.goal(), SyncManager::Idle) << "the run did not end";
    }

    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_device;
    Account m_account;
};

// The place (chapter, verse) of the `n`th verse (from 0) of a canonical book in the King James
// numbering: places any Bible has, for as many records as a test needs.
inline std::pair<QString, QString> nthVerse(int book, int n)
{
    const std::vector<std::uint8_t>& counts = cBibleRefDefaults::kjvVerseCounts(book);
    for (std::size_t c = 0; c < counts.size(); ++c) {
        if (n < counts[c])
            return {QString::number(c + 1), QString::number(n + 1)};
        n -= counts[c];
    }
    return {};
}

// The stand-in's script for a server that answers a reader with nothing to send (CONNECT, COUNT,
// GET TIME), sends `records` Bible notes after SYNC and then stalls: no SYNC COMPLETE comes, and the
// reader waits on the network with the records stored (all but the last, which waits for the line
// after it).
inline QJsonArray stallAfterNotesScript(int records)
{
    auto line = [](const QStringList& parts) { return QJsonArray::fromStringList(parts); };
    QJsonArray notes;
    const QString time = QStringLiteral("2026-01-01 00:00:00.000");
    for (int i = 0; i < records; ++i) {
        notes.append(line({"ADD", "BIBLENOTES", "0", QString::number(1000 + i), time, QString::number(records),
            QString::number(1 + i / 150), nthVerse(1 + i / 150, i % 150).first, nthVerse(1 + i / 150, i % 150).second,
            QStringLiteral("<p>received note %1</p>").arg(i)}));
    }
    return QJsonArray {QJsonArray {line({"CONNECTED", "SUCCESS"})},
        QJsonArray {line({"COUNTED", "BIBLENOTES", QString::number(records), QString::number(records)})},
        QJsonArray {line({"GOT", "TIME", "$p0", "$now"})}, notes};
}

}  // namespace sync_test
