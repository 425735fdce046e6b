#include "cloud/protocol/SyncTime.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

namespace qs::cloud {

QString formatSyncTime(qint64 msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, QTimeZone::utc())
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

std::optional<qint64> parseSyncTime(const QString& text)
{
    static const QRegularExpression wire(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})\\.(\\d{3})$"));
    static const QRegularExpression colon(
        QStringLiteral("^(\\d{4}):(\\d{1,2}):(\\d{1,2}):(\\d{1,2}):(\\d{1,2}):(\\d{1,2}):(\\d{1,3}):(\\d{1,2})$"));
    QRegularExpressionMatch m = wire.match(text);
    if (!m.hasMatch())
        m = colon.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), m.captured(7).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc()).toMSecsSinceEpoch();
}

qint64 currentSyncTimeMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace qs::cloud
