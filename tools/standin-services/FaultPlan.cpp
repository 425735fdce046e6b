#include "tools/standin-services/FaultPlan.h"

namespace qs::standin {

namespace {

bool toInt(const QString& value, qint64 min, qint64 max, qint64& out)
{
    bool ok = false;
    const qint64 v = value.toLongLong(&ok);
    if (!ok || v < min || v > max)
        return false;
    out = v;
    return true;
}

}  // namespace

bool FaultPlan::set(const QString& name, const QString& value, QString* error)
{
    qint64 v = 0;
    auto number = [&](qint64 min, qint64 max) {
        if (toInt(value, min, max, v))
            return true;
        *error = QStringLiteral("%1: %2 is not a number from %3 to %4").arg(name, value).arg(min).arg(max);
        return false;
    };
    const qint64 kDay = 86400000;
    if (name == QLatin1String("sync.closeAtLine") && number(0, 1000000))
        closeAtLine = int(v);
    else if (name == QLatin1String("sync.garbageAtLine") && number(0, 1000000))
        garbageAtLine = int(v);
    else if (name == QLatin1String("sync.stallAtLine") && number(0, 1000000))
        stallAtLine = int(v);
    else if (name == QLatin1String("sync.stallMs") && number(0, 600000))
        stallMs = int(v);
    else if (name == QLatin1String("sync.restartAtLine") && number(0, 1000000))
        restartAtLine = int(v);
    else if (name == QLatin1String("sync.restartDelayMs") && number(0, 60000))
        restartDelayMs = int(v);
    else if (name == QLatin1String("sync.refuseLogin") && number(0, 1000000))
        refuseLoginCode = int(v);
    else if (name == QLatin1String("sync.refuseMessage"))
        refuseMessage = value;
    else if (name == QLatin1String("sync.rejectUploads") && number(0, 1))
        rejectUploads = v != 0;
    else if (name == QLatin1String("sync.clockSkewMs") && number(-kDay, kDay))
        clockSkewMs = v;
    else if (name == QLatin1String("sync.greeting") && number(0, 1))
        greeting = v != 0;
    else if (name == QLatin1String("sync.times") && number(-1, 1000000))
        syncTimes = int(v);
    else if (name == QLatin1String("http.status") && number(0, 599))
        httpStatus = int(v);
    else if (name == QLatin1String("http.path"))
        httpPath = value;
    else if (name == QLatin1String("http.truncate") && number(-1, qint64(1) << 40))
        httpTruncate = v;
    else if (name == QLatin1String("http.stallMs") && number(0, 600000))
        httpStallMs = int(v);
    else if (name == QLatin1String("http.garbage") && number(0, 1))
        httpGarbage = v != 0;
    else if (name == QLatin1String("http.times") && number(-1, 1000000))
        httpTimes = int(v);
    else {
        if (error->isEmpty())
            *error = QStringLiteral("unknown fault %1").arg(name);
        return false;
    }
    if (httpStatus != 0 && (httpStatus < 100))
        httpStatus = 0;
    return true;
}

std::optional<FaultPlan> FaultPlan::takeHttpFault(const QString& path)
{
    if (!hasHttpFault() || !path.contains(httpPath))
        return std::nullopt;
    const FaultPlan copy = *this;
    if (httpTimes > 0 && --httpTimes == 0)
        clearHttpFaults();
    return copy;
}

void FaultPlan::clearHttpFaults()
{
    httpStatus = 0;
    httpPath.clear();
    httpTruncate = -1;
    httpStallMs = 0;
    httpGarbage = false;
    httpTimes = 1;
}

std::optional<FaultPlan> FaultPlan::takeSyncFaults()
{
    if (!hasSyncLineFault())
        return std::nullopt;
    const FaultPlan copy = *this;
    if (syncTimes > 0 && --syncTimes == 0)
        clearSyncLineFaults();
    return copy;
}

void FaultPlan::clearSyncLineFaults()
{
    closeAtLine = garbageAtLine = stallAtLine = restartAtLine = refuseLoginCode = 0;
    rejectUploads = false;
    syncTimes = 1;
}

QJsonObject FaultPlan::toJson() const
{
    return QJsonObject {
        {"sync.closeAtLine", closeAtLine},
        {"sync.garbageAtLine", garbageAtLine},
        {"sync.stallAtLine", stallAtLine},
        {"sync.stallMs", stallMs},
        {"sync.restartAtLine", restartAtLine},
        {"sync.restartDelayMs", restartDelayMs},
        {"sync.refuseLogin", refuseLoginCode},
        {"sync.refuseMessage", refuseMessage},
        {"sync.rejectUploads", rejectUploads},
        {"sync.clockSkewMs", clockSkewMs},
        {"sync.greeting", greeting},
        {"sync.times", syncTimes},
        {"http.status", httpStatus},
        {"http.path", httpPath},
        {"http.truncate", httpTruncate},
        {"http.stallMs", httpStallMs},
        {"http.garbage", httpGarbage},
        {"http.times", httpTimes},
    };
}

}  // namespace qs::standin
