#include "library/GoToRequest.h"

#include "library/LibraryNotifications.h"
#include "platform/NotificationCenter.h"

#include <QMetaType>

#include <limits>

namespace {

bool isNumeric(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// A whole number in [lo, hi] from a number or a decimal string; nothing otherwise.
std::optional<qint64> readInteger(const QVariant& v, qint64 lo, qint64 hi)
{
    if (!v.isValid())
        return std::nullopt;
    qint64 n = 0;
    if (v.metaType().id() == QMetaType::ULongLong) {
        const qulonglong u = v.toULongLong();
        if (u > static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        n = static_cast<qint64>(u);
    } else if (v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float) {
        const double d = v.toDouble();
        if (!(d >= -9.2e18 && d <= 9.2e18))
            return std::nullopt;
        n = static_cast<qint64>(d);
    } else if (isNumeric(v)) {
        n = v.toLongLong();
    } else if (v.metaType().id() == QMetaType::QString) {
        bool ok = false;
        n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (n < lo || n > hi)
        return std::nullopt;
    return n;
}

bool readBool(const QVariantMap& m, const QString& key)
{
    const QVariant v = m.value(key);
    if (isNumeric(v))
        return v.toLongLong() != 0 || v.toDouble() != 0.0;
    return false;
}

std::optional<bool> readOptionalBool(const QVariantMap& m, const QString& key)
{
    if (!m.contains(key))
        return std::nullopt;
    const QVariant v = m.value(key);
    if (!isNumeric(v))
        return std::nullopt;
    return readBool(m, key);
}

std::optional<QString> readString(const QVariantMap& m, const QString& key)
{
    const QVariant v = m.value(key);
    if (v.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

const QStringList& knownKeys()
{
    namespace K = GoToKeys;
    static const QStringList keys = {K::layoutUuid, K::href, K::sourceTuple, K::sourceTupleID, K::section,
        K::endSectionNumber, K::block, K::yoffset, K::bibleKey, K::paneRegion, K::forcePane, K::activate,
        K::activatePane, K::sync, K::wasHyperlink, K::noBusyIndicator, K::synchronous, K::noHistory, K::preHistory,
        K::postHistory, K::todaysReading, K::nextReading, K::prevReading, K::firstUnread, K::wordSync,
        K::preferPreferredBible, K::noAlerts, K::alertText, K::doesNotSendLocationSync, K::speakPassage, K::gotoAnchor,
        K::forceRefresh, K::clearTempHighlight, K::readingNumber, K::syncAnyway, K::following, K::prepareOnly};
    return keys;
}

}  // namespace

QVariant bookVariant(const std::shared_ptr<SourceTuple>& book)
{
    return sharedObjectVariant(book);
}

std::shared_ptr<SourceTuple> bookFromVariant(const QVariant& value)
{
    return sharedObjectFromVariant<SourceTuple>(value);
}

QVariantMap GoToRequest::toUserInfo() const
{
    QVariantMap m = extra;
    auto flag = [&m](const QString& key, bool on) {
        if (on)
            m.insert(key, true);
    };
    if (!layoutUuid.isEmpty())
        m.insert(GoToKeys::layoutUuid, layoutUuid);
    if (href)
        m.insert(GoToKeys::href, *href);
    if (sourceTuple)
        m.insert(GoToKeys::sourceTuple, bookVariant(sourceTuple));
    if (sourceTupleID)
        m.insert(GoToKeys::sourceTupleID, QVariant::fromValue(*sourceTupleID));
    if (section)
        m.insert(GoToKeys::section, QVariant::fromValue<qulonglong>(*section));
    if (endSectionNumber)
        m.insert(GoToKeys::endSectionNumber, QVariant::fromValue<qulonglong>(*endSectionNumber));
    if (block)
        m.insert(GoToKeys::block, QVariant::fromValue<qlonglong>(*block));
    if (yoffset)
        m.insert(GoToKeys::yoffset, QVariant::fromValue<qlonglong>(*yoffset));
    if (bibleKey)
        m.insert(GoToKeys::bibleKey, QVariant::fromValue<uint>(*bibleKey));
    if (paneRegion)
        m.insert(GoToKeys::paneRegion, *paneRegion);
    flag(GoToKeys::forcePane, forcePane);
    flag(GoToKeys::activate, activate);
    flag(GoToKeys::activatePane, activatePane);
    flag(GoToKeys::sync, sync);
    flag(GoToKeys::wasHyperlink, wasHyperlink);
    flag(GoToKeys::noBusyIndicator, noBusyIndicator);
    if (synchronous)
        m.insert(GoToKeys::synchronous, *synchronous);
    flag(GoToKeys::noHistory, noHistory);
    flag(GoToKeys::preHistory, preHistory);
    flag(GoToKeys::postHistory, postHistory);
    flag(GoToKeys::todaysReading, todaysReading);
    flag(GoToKeys::nextReading, nextReading);
    flag(GoToKeys::prevReading, prevReading);
    flag(GoToKeys::firstUnread, firstUnread);
    if (wordSync)
        m.insert(GoToKeys::wordSync, *wordSync);
    flag(GoToKeys::preferPreferredBible, preferPreferredBible);
    flag(GoToKeys::noAlerts, noAlerts);
    if (alertText)
        m.insert(GoToKeys::alertText, *alertText);
    if (doesNotSendLocationSync)
        m.insert(GoToKeys::doesNotSendLocationSync, *doesNotSendLocationSync);
    flag(GoToKeys::speakPassage, speakPassage);
    if (gotoAnchor)
        m.insert(GoToKeys::gotoAnchor, *gotoAnchor);
    flag(GoToKeys::forceRefresh, forceRefresh);
    if (clearTempHighlight)
        m.insert(GoToKeys::clearTempHighlight, *clearTempHighlight);
    if (readingNumber)
        m.insert(GoToKeys::readingNumber, QVariant::fromValue<qlonglong>(*readingNumber));
    flag(GoToKeys::syncAnyway, syncAnyway);
    flag(GoToKeys::following, following);
    flag(GoToKeys::prepareOnly, prepareOnly);
    return m;
}

GoToRequest GoToRequest::fromUserInfo(const QVariantMap& m)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    GoToRequest r;
    r.layoutUuid = readString(m, GoToKeys::layoutUuid).value_or(QString());
    r.href = readString(m, GoToKeys::href);
    r.sourceTuple = bookFromVariant(m.value(GoToKeys::sourceTuple));
    const QVariant id = m.value(GoToKeys::sourceTupleID);
    if (id.metaType() == QMetaType::fromType<SourceTupleID>())
        r.sourceTupleID = id.value<SourceTupleID>();
    if (auto v = readInteger(m.value(GoToKeys::section), 0, kMax))
        r.section = static_cast<quint64>(*v);
    if (auto v = readInteger(m.value(GoToKeys::endSectionNumber), 0, kMax))
        r.endSectionNumber = static_cast<quint64>(*v);
    r.block = readInteger(m.value(GoToKeys::block), kMin, kMax);
    r.yoffset = readInteger(m.value(GoToKeys::yoffset), kMin, kMax);
    if (auto v = readInteger(m.value(GoToKeys::bibleKey), 0, 0xFFFFFFFFLL))
        r.bibleKey = static_cast<quint32>(*v);
    if (auto v = readInteger(m.value(GoToKeys::paneRegion), 0, std::numeric_limits<int>::max()))
        r.paneRegion = static_cast<int>(*v);
    r.forcePane = readBool(m, GoToKeys::forcePane);
    r.activate = readBool(m, GoToKeys::activate);
    r.activatePane = readBool(m, GoToKeys::activatePane);
    r.sync = readBool(m, GoToKeys::sync);
    r.wasHyperlink = readBool(m, GoToKeys::wasHyperlink);
    r.noBusyIndicator = readBool(m, GoToKeys::noBusyIndicator);
    r.synchronous = readOptionalBool(m, GoToKeys::synchronous);
    r.noHistory = readBool(m, GoToKeys::noHistory);
    r.preHistory = readBool(m, GoToKeys::preHistory);
    r.postHistory = readBool(m, GoToKeys::postHistory);
    r.todaysReading = readBool(m, GoToKeys::todaysReading);
    r.nextReading = readBool(m, GoToKeys::nextReading);
    r.prevReading = readBool(m, GoToKeys::prevReading);
    r.firstUnread = readBool(m, GoToKeys::firstUnread);
    r.wordSync = readString(m, GoToKeys::wordSync);
    r.preferPreferredBible = readBool(m, GoToKeys::preferPreferredBible);
    r.noAlerts = readBool(m, GoToKeys::noAlerts);
    r.alertText = readString(m, GoToKeys::alertText);
    r.doesNotSendLocationSync = readOptionalBool(m, GoToKeys::doesNotSendLocationSync);
    r.speakPassage = readBool(m, GoToKeys::speakPassage);
    r.gotoAnchor = readString(m, GoToKeys::gotoAnchor);
    r.forceRefresh = readBool(m, GoToKeys::forceRefresh);
    r.clearTempHighlight = readOptionalBool(m, GoToKeys::clearTempHighlight);
    r.readingNumber = readInteger(m.value(GoToKeys::readingNumber), kMin, kMax);
    r.syncAnyway = readBool(m, GoToKeys::syncAnyway);
    r.following = readBool(m, GoToKeys::following);
    r.prepareOnly = readBool(m, GoToKeys::prepareOnly);
    for (auto it = m.cbegin(); it != m.cend(); ++it) {
        if (!knownKeys().contains(it.key()))
            r.extra.insert(it.key(), it.value());
    }
    return r;
}

void GoToRequest::post(NotificationCenter& center, const void* sender) const
{
    Notification n {LibraryNotifications::GoToNotification, sender, {}, *this};
    center.post(n);
}

void GoToRequest::postLocationSync(NotificationCenter& center, const void* sender) const
{
    Notification n {LibraryNotifications::EverybodySyncToMeNotification, sender, {}, *this};
    center.post(n);
}

GoToRequest GoToRequest::of(const Notification& notification)
{
    const GoToRequest* request = notification.valueAs<GoToRequest>();
    return request ? *request : GoToRequest();
}
