#include "platform/KeyedArchive.h"

#include "platform/VariantKinds.h"

#include <QtGlobal>

#include <cmath>
#include <limits>
#include <utility>

namespace {

// The envelope of a file: a dictionary naming the format and holding the root object.
const QString kArchiverKey = QStringLiteral("$archiver");
const QString kFormatVersionKey = QStringLiteral("$version");
const QString kTopKey = QStringLiteral("$top");
const QString kArchiverName = QStringLiteral("QuillsteadKeyedArchive");
constexpr qint64 kFormatVersion = 1;

void setError(PropertyList::Error* error, PropertyList::Status status, const QString& message)
{
    if (error)
        *error = {status, message};
}

}  // namespace

bool KeyedArchive::isArchivedObject(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantMap && value.toMap().value(kClassKey).typeId() == QMetaType::QString;
}

QString KeyedArchive::classNameOf(const QVariant& value)
{
    return isArchivedObject(value) ? value.toMap().value(kClassKey).toString() : QString();
}

QByteArray KeyedArchive::toXml(const QVariant& rootObject, PropertyList::Error* error)
{
    if (!isArchivedObject(rootObject)) {
        setError(error, PropertyList::Status::UnsupportedValue, QStringLiteral("the root is not an archived object"));
        return {};
    }
    return PropertyList::toXml(envelope(rootObject), error);
}

QVariant KeyedArchive::fromXml(const QByteArray& xml, PropertyList::Error* error)
{
    return rootOf(PropertyList::fromXml(xml, error), QString(), error);
}

bool KeyedArchive::writeFile(
    const QString& path, const QVariant& rootObject, PropertyList::Error* error, const QString& what)
{
    if (!isArchivedObject(rootObject)) {
        setError(error, PropertyList::Status::UnsupportedValue,
            QStringLiteral("%1: the root is not an archived object").arg(path));
        return false;
    }
    return PropertyList::writeFile(path, envelope(rootObject), error, what);
}

void KeyedArchive::queueWriteFile(
    const QString& path, const QVariant& rootObject, const QString& what, FileWriteQueue::Done done, bool ifChanged)
{
    FileWriteQueue::Encoder encode = [path, rootObject] {
        PropertyList::Error error;
        QByteArray xml = toXml(rootObject, &error);
        if (xml.isEmpty())
            return FileWriteQueue::Content {{}, path + QStringLiteral(": ") + error.message, false};
        return FileWriteQueue::Content {std::move(xml), QString(), false};
    };
    if (ifChanged)
        FileWriteQueue::shared().writeIfChanged(path, std::move(encode), what, std::move(done));
    else
        FileWriteQueue::shared().write(path, std::move(encode), what, std::move(done));
}

QVariant KeyedArchive::readFile(const QString& path, PropertyList::Error* error)
{
    return rootOf(PropertyList::readFile(path, error), path, error);
}

QVariantMap KeyedArchive::envelope(const QVariant& rootObject)
{
    QVariantMap envelope;
    envelope.insert(kArchiverKey, kArchiverName);
    envelope.insert(kFormatVersionKey, kFormatVersion);
    envelope.insert(kTopKey, rootObject);
    return envelope;
}

QVariant KeyedArchive::rootOf(const QVariant& plist, const QString& path, PropertyList::Error* error)
{
    if (!plist.isValid())
        return {};
    const QString where = path.isEmpty() ? QString() : path + QStringLiteral(": ");
    const QVariantMap envelope = plist.toMap();
    if (plist.typeId() != QMetaType::QVariantMap || envelope.value(kArchiverKey).toString() != kArchiverName) {
        setError(error, PropertyList::Status::Malformed, where + QStringLiteral("not a keyed archive"));
        return {};
    }
    const QVariant version = envelope.value(kFormatVersionKey);
    if (!isIntegerVariant(version) || version.toLongLong() != kFormatVersion) {
        setError(error, PropertyList::Status::Malformed,
            where + QStringLiteral("keyed archive of unknown format version %1").arg(version.toString()));
        return {};
    }
    const QVariant top = envelope.value(kTopKey);
    if (!isArchivedObject(top)) {
        setError(error, PropertyList::Status::Malformed, where + QStringLiteral("keyed archive without a root object"));
        return {};
    }
    return top;
}

// ---------------------------------------------------------------------------------------------

KeyedArchiver::KeyedArchiver(const QString& className)
{
    m_map.insert(KeyedArchive::kClassKey, className);
}

QString KeyedArchiver::className() const
{
    return m_map.value(KeyedArchive::kClassKey).toString();
}

void KeyedArchiver::put(const QString& key, const QVariant& value)
{
    Q_ASSERT_X(!key.startsWith(QLatin1Char('$')), "KeyedArchiver", "keys beginning with $ are reserved");
    if (key.startsWith(QLatin1Char('$')))
        return;
    m_map.insert(key, value);
}

void KeyedArchiver::encodeInt32(const QString& key, qint32 value)
{
    put(key, qint64(value));
}
void KeyedArchiver::encodeInt64(const QString& key, qint64 value)
{
    put(key, value);
}
void KeyedArchiver::encodeInteger(const QString& key, qint64 value)
{
    put(key, value);
}
void KeyedArchiver::encodeFloat(const QString& key, float value)
{
    put(key, static_cast<double>(value));
}
void KeyedArchiver::encodeDouble(const QString& key, double value)
{
    put(key, value);
}
void KeyedArchiver::encodeBool(const QString& key, bool value)
{
    put(key, value);
}

void KeyedArchiver::encodeString(const QString& key, const QString& value)
{
    if (!value.isNull())
        put(key, value);
}

void KeyedArchiver::encodeDate(const QString& key, const QDateTime& value)
{
    if (value.isValid())
        put(key, value);
}

void KeyedArchiver::encodeData(const QString& key, const QByteArray& value)
{
    put(key, value);
}

void KeyedArchiver::encodeObject(const QString& key, const QVariant& archivedObject)
{
    if (!archivedObject.isValid())
        return;
    Q_ASSERT_X(KeyedArchive::isArchivedObject(archivedObject), "KeyedArchiver::encodeObject",
        "the value is not an archived object");
    put(key, archivedObject);
}

void KeyedArchiver::encodeObject(const QString& key, const KeyedArchiver& object)
{
    put(key, object.archivedObject());
}

void KeyedArchiver::encodeArray(const QString& key, const QVariantList& elements)
{
    put(key, elements);
}

void KeyedArchiver::encodeValue(const QString& key, const QVariant& value)
{
    if (value.isValid())
        put(key, value);
}

QVariant KeyedArchiver::archivedObject() const
{
    return m_map;
}

// ---------------------------------------------------------------------------------------------

KeyedUnarchiver::KeyedUnarchiver(const QVariant& archivedObject)
    : m_valid(KeyedArchive::isArchivedObject(archivedObject))
{
    if (m_valid)
        m_map = archivedObject.toMap();
}

bool KeyedUnarchiver::isValid() const
{
    return m_valid;
}

QString KeyedUnarchiver::className() const
{
    return m_map.value(KeyedArchive::kClassKey).toString();
}

bool KeyedUnarchiver::containsValueForKey(const QString& key) const
{
    return !key.startsWith(QLatin1Char('$')) && m_map.contains(key);
}

bool KeyedUnarchiver::readInteger(const QString& key, qint64 min, qint64 max, qint64* out) const
{
    if (!containsValueForKey(key))
        return false;
    const QVariant v = m_map.value(key);
    const int type = v.typeId();
    qint64 n = 0;
    if (isIntegerVariant(v) || type == QMetaType::Bool) {
        n = v.toLongLong();
    } else if (isRealVariant(v)) {
        const double d = std::trunc(v.toDouble());
        // 2^63 is exact as a double; anything at or past it (or NaN) does not fit.
        if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
            m_typeMismatch = true;
            return false;
        }
        n = static_cast<qint64>(d);
    } else {
        m_typeMismatch = true;
        return false;
    }
    if (n < min || n > max) {
        m_typeMismatch = true;
        return false;
    }
    *out = n;
    return true;
}

bool KeyedUnarchiver::readReal(const QString& key, double* out) const
{
    if (!containsValueForKey(key))
        return false;
    const QVariant v = m_map.value(key);
    const int type = v.typeId();
    if (isRealVariant(v) || isIntegerVariant(v) || type == QMetaType::Bool) {
        *out = type == QMetaType::Float ? double(v.value<float>())
            : isRealVariant(v)          ? v.toDouble()
                                        : double(v.toLongLong());
        return true;
    }
    m_typeMismatch = true;
    return false;
}

qint32 KeyedUnarchiver::decodeInt32(const QString& key, qint32 fallback) const
{
    qint64 n = 0;
    return readInteger(key, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &n) ? qint32(n)
                                                                                                        : fallback;
}

qint64 KeyedUnarchiver::decodeInt64(const QString& key, qint64 fallback) const
{
    qint64 n = 0;
    return readInteger(key, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), &n) ? n : fallback;
}

qint64 KeyedUnarchiver::decodeInteger(const QString& key, qint64 fallback) const
{
    return decodeInt64(key, fallback);
}

float KeyedUnarchiver::decodeFloat(const QString& key, float fallback) const
{
    double d = 0;
    return readReal(key, &d) ? static_cast<float>(d) : fallback;
}

double KeyedUnarchiver::decodeDouble(const QString& key, double fallback) const
{
    double d = 0;
    return readReal(key, &d) ? d : fallback;
}

bool KeyedUnarchiver::decodeBool(const QString& key, bool fallback) const
{
    if (!containsValueForKey(key))
        return fallback;
    const QVariant v = m_map.value(key);
    const int type = v.typeId();
    if (type == QMetaType::Bool)
        return v.toBool();
    if (isIntegerVariant(v))
        return v.toLongLong() != 0;
    if (isRealVariant(v))
        return v.toDouble() != 0.0;
    m_typeMismatch = true;
    return fallback;
}

QString KeyedUnarchiver::decodeString(const QString& key, const QString& fallback) const
{
    if (!containsValueForKey(key))
        return fallback;
    const QVariant v = m_map.value(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    m_typeMismatch = true;
    return fallback;
}

QDateTime KeyedUnarchiver::decodeDate(const QString& key, const QDateTime& fallback) const
{
    if (!containsValueForKey(key))
        return fallback;
    const QVariant v = m_map.value(key);
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    m_typeMismatch = true;
    return fallback;
}

QByteArray KeyedUnarchiver::decodeData(const QString& key, const QByteArray& fallback) const
{
    if (!containsValueForKey(key))
        return fallback;
    const QVariant v = m_map.value(key);
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    m_typeMismatch = true;
    return fallback;
}

QVariant KeyedUnarchiver::decodeObject(const QString& key, const QString& expectedClass) const
{
    if (!containsValueForKey(key))
        return {};
    const QVariant v = m_map.value(key);
    if (!KeyedArchive::isArchivedObject(v)) {
        m_typeMismatch = true;
        return {};
    }
    if (!expectedClass.isNull() && KeyedArchive::classNameOf(v) != expectedClass)
        return {};
    return v;
}

QVariantList KeyedUnarchiver::decodeArray(const QString& key) const
{
    if (!containsValueForKey(key))
        return {};
    const QVariant v = m_map.value(key);
    if (isArrayVariant(v))
        return v.toList();
    m_typeMismatch = true;
    return {};
}

QVariant KeyedUnarchiver::decodeValue(const QString& key) const
{
    return containsValueForKey(key) ? m_map.value(key) : QVariant();
}
