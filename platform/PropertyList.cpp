#include "platform/PropertyList.h"

#include "platform/VariantKinds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <cstring>
#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>

namespace {

// Seconds between the Unix epoch and the property-list epoch (2001-01-01T00:00:00Z).
constexpr qint64 kPlistEpochOffset = 978307200;

// The XML writer drops carriage returns and DEL from text. Both are legal XML characters, so
// they are handed to it as a marker (U+FFFF, which no written text may hold, then a letter) and
// the marker is replaced by a character reference in the finished document.
constexpr char kMarker[] = "\xEF\xBF\xBF";
constexpr QChar kMarkerChar(0xFFFF);

struct PlistDeleter {
    void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

void setError(PropertyList::Error* error, PropertyList::Status status, const QString& message)
{
    if (error)
        *error = {status, message};
}

QString childPath(const QString& path, const QString& key)
{
    return path.isEmpty() ? key : path + QLatin1Char('/') + key;
}

// Returns false for text the XML form cannot carry; otherwise fills `utf8`, with carriage
// returns and DEL as markers.
bool encodeText(const QString& text, QByteArray* utf8)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == 0x7F) {
            out += kMarkerChar;
            out += QLatin1Char(u == u'\r' ? 'r' : 'd');
        } else if ((u < 0x20 && u != u'\t' && u != u'\n') || u == 0xFFFE || u == 0xFFFF) {
            return false;
        } else {
            out += c;
        }
    }
    *utf8 = out.toUtf8();
    return true;
}

class Writer {
public:
    explicit Writer(PropertyList::Error* error) : m_error(error) { }

    plist_t node(const QVariant& v, const QString& path, int depth)
    {
        const bool container =
            v.typeId() == QMetaType::QVariantMap || v.typeId() == QMetaType::QVariantHash || isArrayVariant(v);
        if (container && depth > PropertyList::kMaxDepth) {
            fail(PropertyList::Status::TooDeep,
                QStringLiteral("nested deeper than %1 at %2").arg(PropertyList::kMaxDepth).arg(path));
            return nullptr;
        }
        switch (v.typeId()) {
        case QMetaType::QVariantMap:
            return dict(v.toMap(), path, depth);
        case QMetaType::QVariantHash: {
            const QVariantHash h = v.toHash();
            QVariantMap m;
            for (auto it = h.begin(); it != h.end(); ++it)
                m.insert(it.key(), it.value());
            return dict(m, path, depth);
        }
        case QMetaType::QVariantList:
        case QMetaType::QStringList:
            return array(v.toList(), path, depth);
        case QMetaType::QString:
            return string(v.toString(), path);
        case QMetaType::Bool:
            return plist_new_bool(v.toBool() ? 1 : 0);
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::SChar:
        case QMetaType::Char:
            return plist_new_uint(static_cast<uint64_t>(v.toLongLong()));
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UChar:
            return plist_new_uint(static_cast<uint64_t>(v.toULongLong()));
        case QMetaType::Double:
            return plist_new_real(v.toDouble());
        case QMetaType::Float:
            return plist_new_real(static_cast<double>(v.value<float>()));
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            return plist_new_data(b.constData(), static_cast<uint64_t>(b.size()));
        }
        case QMetaType::QDateTime:
            return date(v.toDateTime(), path);
        default:
            fail(PropertyList::Status::UnsupportedValue,
                QStringLiteral("no property-list form for a %1 at %2")
                    .arg(QString::fromLatin1(v.isValid() ? v.typeName() : "nil value"), path));
            return nullptr;
        }
    }

    bool failed() const { return m_failed; }

private:
    void fail(PropertyList::Status status, const QString& message)
    {
        if (!m_failed)
            setError(m_error, status, message);
        m_failed = true;
    }

    plist_t dict(const QVariantMap& map, const QString& path, int depth)
    {
        PlistPtr d(plist_new_dict());
        for (auto it = map.begin(); it != map.end(); ++it) {
            const QString p = childPath(path, it.key());
            QByteArray key;
            if (!encodeText(it.key(), &key)) {
                fail(
                    PropertyList::Status::UnsupportedValue, QStringLiteral("key with control characters at %1").arg(p));
                return nullptr;
            }
            plist_t child = node(it.value(), p, depth + 1);
            if (!child)
                return nullptr;
            plist_dict_set_item(d.get(), key.constData(), child);
        }
        return d.release();
    }

    plist_t array(const QVariantList& list, const QString& path, int depth)
    {
        PlistPtr a(plist_new_array());
        for (qsizetype i = 0; i < list.size(); ++i) {
            plist_t child = node(list[i], childPath(path, QString::number(i)), depth + 1);
            if (!child)
                return nullptr;
            plist_array_append_item(a.get(), child);
        }
        return a.release();
    }

    plist_t string(const QString& s, const QString& path)
    {
        QByteArray utf8;
        if (!encodeText(s, &utf8)) {
            fail(PropertyList::Status::UnsupportedValue,
                QStringLiteral("string with control characters at %1").arg(path));
            return nullptr;
        }
        return plist_new_string(utf8.constData());
    }

    plist_t date(const QDateTime& dt, const QString& path)
    {
        if (!dt.isValid()) {
            fail(PropertyList::Status::UnsupportedValue, QStringLiteral("invalid date at %1").arg(path));
            return nullptr;
        }
        // Whole seconds, rounded down, so that a date before the epoch keeps its second.
        const qint64 ms = dt.toMSecsSinceEpoch();
        const qint64 secs = (ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000)) - kPlistEpochOffset;
        if (secs < std::numeric_limits<int32_t>::min() || secs > std::numeric_limits<int32_t>::max()) {
            fail(PropertyList::Status::UnsupportedValue, QStringLiteral("date out of range at %1").arg(path));
            return nullptr;
        }
        return plist_new_date(static_cast<int32_t>(secs), 0);
    }

    PropertyList::Error* m_error;
    bool m_failed = false;
};

// Reads the XML form in one pass, checking as it goes: structure, nesting depth and the text of
// every scalar, so that malformed values (an integer too large for 64 bits, a date that cannot be
// read, broken base64, a string holding NUL) are errors rather than some other value. Integers come
// back as qint64 (an unsigned value above its range keeps its 64 bits), reals as double, dates as UTC
// QDateTime of whole seconds, data as QByteArray.
class Reader {
public:
    explicit Reader(const QByteArray& xml) : m_reader(xml) { }

    // The root value, or an invalid QVariant with the status and `message` filled.
    QVariant run(PropertyList::Status* status, QString* message)
    {
        *status = PropertyList::Status::Ok;
        if (!nextElement() || m_reader.name() != QLatin1String("plist"))
            return fail(status, message, m_problem.isEmpty() ? QStringLiteral("no <plist> element") : m_problem);
        if (!nextElement())
            return fail(status, message, m_problem.isEmpty() ? QStringLiteral("<plist> holds no value") : m_problem);
        QVariant root = value(1);
        if (!root.isValid())
            return fail(status, message, m_problem);
        // Only </plist> and the end of the document may follow.
        while (!m_reader.atEnd()) {
            const auto token = m_reader.readNext();
            if (token == QXmlStreamReader::StartElement)
                return fail(status, message, QStringLiteral("<plist> holds more than one value"));
            if (token == QXmlStreamReader::Characters && !m_reader.isWhitespace())
                return fail(status, message, QStringLiteral("text outside a value"));
        }
        if (m_reader.hasError())
            return fail(status, message, m_reader.errorString());
        return root;
    }

private:
    QVariant fail(PropertyList::Status* status, QString* message, const QString& problem)
    {
        *message = QStringLiteral("line %1: %2")
                       .arg(m_reader.lineNumber())
                       .arg(m_reader.hasError() ? m_reader.errorString() : problem);
        *status = m_tooDeep ? PropertyList::Status::TooDeep : PropertyList::Status::Malformed;
        return {};
    }

    QVariant problem(const QString& text)
    {
        if (m_problem.isEmpty())
            m_problem = text;
        return {};
    }

    // Advances to the next start element; false at an end element or the end of input. Text
    // between elements must be white space.
    bool nextElement()
    {
        while (!m_reader.atEnd()) {
            switch (m_reader.readNext()) {
            case QXmlStreamReader::StartElement:
                return true;
            case QXmlStreamReader::EndElement:
                return false;
            case QXmlStreamReader::StartDocument: {
                // Property lists are UTF-8; text declared in another encoding is not read as some
                // other text.
                const QString encoding = m_reader.documentEncoding().toString().toLower();
                if (!encoding.isEmpty() && encoding != QLatin1String("utf-8") && encoding != QLatin1String("utf8")) {
                    problem(QStringLiteral("text in the encoding %1, not UTF-8").arg(encoding));
                    return false;
                }
                break;
            }
            case QXmlStreamReader::Characters:
                if (!m_reader.isWhitespace()) {
                    problem(QStringLiteral("text where an element belongs"));
                    return false;
                }
                break;
            default:
                break;
            }
        }
        return false;
    }

    // The element's text; false on an XML error or a NUL character, which no property-list text
    // may hold.
    bool text(QString* out)
    {
        *out = m_reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_reader.hasError())
            return false;
        // An empty string is a string, not nothing.
        if (out->isNull())
            *out = QStringLiteral("");
        if (out->contains(QChar(0))) {
            problem(QStringLiteral("text holding NUL"));
            return false;
        }
        return true;
    }

    bool failed() const { return !m_problem.isEmpty() || m_reader.hasError(); }

    QVariant value(int depth)
    {
        const QStringView name = m_reader.name();
        if (name == QLatin1String("dict")) {
            if (depth > PropertyList::kMaxDepth)
                return tooDeep();
            QVariantMap map;
            while (nextElement()) {
                QString key;
                if (m_reader.name() != QLatin1String("key"))
                    return problem(QStringLiteral("<dict> entry without <key>"));
                if (!text(&key))
                    return {};
                if (!nextElement())
                    return problem(QStringLiteral("<key>%1</key> without a value").arg(key));
                QVariant v = value(depth + 1);
                if (!v.isValid())
                    return {};
                map.insert(key, std::move(v));
            }
            return failed() ? QVariant() : QVariant(std::move(map));
        }
        if (name == QLatin1String("array")) {
            if (depth > PropertyList::kMaxDepth)
                return tooDeep();
            QVariantList list;
            while (nextElement()) {
                QVariant v = value(depth + 1);
                if (!v.isValid())
                    return {};
                list.append(std::move(v));
            }
            return failed() ? QVariant() : QVariant(std::move(list));
        }
        const QString element = name.toString();
        QString t;
        if (!text(&t))
            return {};
        if (element == QLatin1String("string"))
            return t;
        if (element == QLatin1String("true") || element == QLatin1String("false")) {
            if (!t.trimmed().isEmpty())
                return problem(QStringLiteral("<%1> with content").arg(element));
            return element == QLatin1String("true");
        }
        if (element == QLatin1String("integer")) {
            const std::optional<qint64> v = integerText(t.trimmed());
            return v ? QVariant(*v) : problem(QStringLiteral("bad integer \"%1\"").arg(t.left(40)));
        }
        if (element == QLatin1String("real")) {
            const std::optional<double> v = realText(t.trimmed());
            return v ? QVariant(*v) : problem(QStringLiteral("bad real \"%1\"").arg(t.left(40)));
        }
        if (element == QLatin1String("date")) {
            const std::optional<QDateTime> v = dateText(t.trimmed());
            return v ? QVariant(*v) : problem(QStringLiteral("bad date \"%1\"").arg(t.left(40)));
        }
        if (element == QLatin1String("data")) {
            const std::optional<QByteArray> v = dataText(t);
            return v ? QVariant(*v) : problem(QStringLiteral("bad base64 data"));
        }
        return problem(QStringLiteral("unknown element <%1>").arg(element));
    }

    QVariant tooDeep()
    {
        m_tooDeep = true;
        return problem(QStringLiteral("containers nested deeper than %1").arg(PropertyList::kMaxDepth));
    }

    // Decimal, optional sign; within 64 bits (signed when negative, else up to 2^64-1, kept as its
    // 64 bits).
    static std::optional<qint64> integerText(const QString& t)
    {
        qsizetype i = t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+')) ? 1 : 0;
        if (i == t.size())
            return std::nullopt;
        for (qsizetype k = i; k < t.size(); ++k)
            if (t[k] < QLatin1Char('0') || t[k] > QLatin1Char('9'))
                return std::nullopt;
        bool ok = false;
        if (t.startsWith(QLatin1Char('-'))) {
            const qint64 v = t.toLongLong(&ok);
            return ok ? std::optional<qint64>(v) : std::nullopt;
        }
        const quint64 v = QStringView(t).mid(i).toULongLong(&ok);
        return ok ? std::optional<qint64>(static_cast<qint64>(v)) : std::nullopt;
    }

    static std::optional<double> realText(const QString& t)
    {
        static const QRegularExpression re(
            QStringLiteral("^[+-]?(([0-9]+\\.?[0-9]*)|(\\.[0-9]+))([eE][+-]?[0-9]+)?$|^[+-]?(nan|inf|infinity)$"),
            QRegularExpression::CaseInsensitiveOption);
        if (!re.match(t).hasMatch())
            return std::nullopt;
        const bool negative = t.startsWith(QLatin1Char('-'));
        const QString word = t.mid(t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+')) ? 1 : 0).toLower();
        if (word == QLatin1String("nan"))
            return std::numeric_limits<double>::quiet_NaN();
        if (word == QLatin1String("inf") || word == QLatin1String("infinity"))
            return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        // Locale-free and correctly rounded. A value beyond the range of double is infinite, one
        // below it zero, each with its sign.
        bool ok = false;
        const double v = t.toLatin1().toDouble(&ok);
        if (ok)
            return v;
        const qsizetype e = t.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
        const double magnitude =
            e >= 0 && t.mid(e + 1).startsWith(QLatin1Char('-')) ? 0.0 : std::numeric_limits<double>::infinity();
        return negative ? -magnitude : magnitude;
    }

    static std::optional<QDateTime> dateText(const QString& t)
    {
        static const QRegularExpression re(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$"));
        if (!re.match(t).hasMatch())
            return std::nullopt;
        const QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
        if (!dt.isValid())
            return std::nullopt;
        const qint64 secs = dt.toSecsSinceEpoch() - kPlistEpochOffset;
        if (secs < std::numeric_limits<int32_t>::min() || secs > std::numeric_limits<int32_t>::max())
            return std::nullopt;
        return QDateTime::fromSecsSinceEpoch(secs + kPlistEpochOffset, QTimeZone::utc());
    }

    static std::optional<QByteArray> dataText(const QString& t)
    {
        QByteArray compact;
        compact.reserve(t.size());
        for (QChar c : t) {
            if (!c.isSpace())
                compact += c.toLatin1();
        }
        auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return std::move(*decoded);
    }

    QXmlStreamReader m_reader;
    QString m_problem;
    bool m_tooDeep = false;
};

}  // namespace

QVariant PropertyList::fromXml(const QByteArray& xml, Error* error)
{
    setError(error, Status::Ok, {});
    if (xml.size() > kMaxInputBytes) {
        setError(error, Status::TooLarge, QStringLiteral("property list of %1 bytes").arg(xml.size()));
        return {};
    }
    // XML holds no NUL character, and a reader that met one would have to guess what it stood for.
    if (xml.contains('\0')) {
        setError(error, Status::Malformed, QStringLiteral("a NUL byte in the text"));
        return {};
    }
    Status status = Status::Ok;
    QString problem;
    QVariant v = Reader(xml).run(&status, &problem);
    if (!v.isValid())
        setError(error, status, problem);
    return v;
}

QByteArray PropertyList::toXml(const QVariant& value, Error* error)
{
    setError(error, Status::Ok, {});
    Writer writer(error);
    PlistPtr root(writer.node(value, QString(), 1));
    if (!root)
        return {};
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml) {
        setError(error, Status::UnsupportedValue, QStringLiteral("the XML writer produced nothing"));
        return {};
    }
    QByteArray out(xml, qsizetype(length));
    plist_to_xml_free(xml);
    if (out.contains(kMarker)) {
        out.replace(QByteArray(kMarker) + 'r', "&#13;");
        out.replace(QByteArray(kMarker) + 'd', "&#127;");
    }
    return out;
}

QVariant PropertyList::readFile(const QString& path, Error* error)
{
    QFile file(path);
    if (!file.exists()) {
        setError(error, Status::FileNotFound, QStringLiteral("no file %1").arg(path));
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, Status::ReadFailed, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return {};
    }
    if (file.size() > kMaxInputBytes) {
        setError(error, Status::TooLarge, QStringLiteral("%1 is %2 bytes").arg(path).arg(file.size()));
        return {};
    }
    const QByteArray bytes = file.read(kMaxInputBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        setError(error, Status::ReadFailed, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return {};
    }
    QVariant v = fromXml(bytes, error);
    if (!v.isValid() && error)
        error->message = path + QStringLiteral(": ") + error->message;
    return v;
}

bool PropertyList::writeFile(const QString& path, const QVariant& value, Error* error)
{
    const QByteArray xml = toXml(value, error);
    if (xml.isEmpty()) {
        if (error)
            error->message = path + QStringLiteral(": ") + error->message;
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size() || !file.commit()) {
        setError(error, Status::WriteFailed, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

QString PropertyList::statusName(Status status)
{
    switch (status) {
    case Status::Ok:
        return QStringLiteral("ok");
    case Status::FileNotFound:
        return QStringLiteral("file not found");
    case Status::ReadFailed:
        return QStringLiteral("read failed");
    case Status::TooLarge:
        return QStringLiteral("too large");
    case Status::Malformed:
        return QStringLiteral("malformed");
    case Status::TooDeep:
        return QStringLiteral("nested too deeply");
    case Status::UnsupportedValue:
        return QStringLiteral("unsupported value");
    case Status::WriteFailed:
        return QStringLiteral("write failed");
    }
    return QString();
}
