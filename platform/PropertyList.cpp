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

QString fromPlistText(char* text)
{
    QString s = QString::fromUtf8(text ? text : "");
    std::free(text);
    return s;
}

// The XML reader of libplist accepts some malformed values silently (an integer too large for
// 64 bits, a date it cannot read, broken base64 all become some other value) and frees nested
// nodes recursively. Input is therefore checked first: structure, nesting depth and the text of
// every scalar, so that what reaches libplist is a well-formed property list it reads exactly.
class Validator {
public:
    explicit Validator(const QByteArray& xml) : m_reader(xml) { }

    // Returns the status and fills `message` on failure.
    PropertyList::Status run(QString* message)
    {
        if (!nextElement() || m_reader.name() != QLatin1String("plist"))
            return fail(message, QStringLiteral("no <plist> element"));
        if (!nextElement())
            return fail(message, QStringLiteral("<plist> holds no value"));
        if (!value(1))
            return fail(message, m_problem);
        // Only </plist> and the end of the document may follow.
        while (!m_reader.atEnd()) {
            const auto token = m_reader.readNext();
            if (token == QXmlStreamReader::StartElement)
                return fail(message, QStringLiteral("<plist> holds more than one value"));
            if (token == QXmlStreamReader::Characters && !m_reader.isWhitespace())
                return fail(message, QStringLiteral("text outside a value"));
        }
        if (m_reader.hasError())
            return fail(message, m_reader.errorString());
        return m_tooDeep ? PropertyList::Status::TooDeep : PropertyList::Status::Ok;
    }

private:
    PropertyList::Status fail(QString* message, const QString& problem)
    {
        *message = QStringLiteral("line %1: %2")
                       .arg(m_reader.lineNumber())
                       .arg(m_reader.hasError() ? m_reader.errorString() : problem);
        return m_tooDeep ? PropertyList::Status::TooDeep : PropertyList::Status::Malformed;
    }

    bool problem(const QString& text)
    {
        if (m_problem.isEmpty())
            m_problem = text;
        return false;
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
            case QXmlStreamReader::Characters:
                if (!m_reader.isWhitespace())
                    return problem(QStringLiteral("text where an element belongs"));
                break;
            default:
                break;
            }
        }
        return false;
    }

    bool text(QString* out)
    {
        *out = m_reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        return !m_reader.hasError();
    }

    bool value(int depth)
    {
        const QString name = m_reader.name().toString();
        if (name == QLatin1String("dict") || name == QLatin1String("array")) {
            if (depth > PropertyList::kMaxDepth) {
                m_tooDeep = true;
                return problem(QStringLiteral("containers nested deeper than %1").arg(PropertyList::kMaxDepth));
            }
            const bool isDict = name == QLatin1String("dict");
            while (nextElement()) {
                if (isDict) {
                    QString key;
                    if (m_reader.name() != QLatin1String("key"))
                        return problem(QStringLiteral("<dict> entry without <key>"));
                    if (!text(&key))
                        return false;
                    if (!nextElement())
                        return problem(QStringLiteral("<key>%1</key> without a value").arg(key));
                }
                if (!value(depth + 1))
                    return false;
            }
            return m_problem.isEmpty() && !m_reader.hasError();
        }
        QString t;
        if (!text(&t))
            return false;
        if (name == QLatin1String("string"))
            return true;
        if (name == QLatin1String("true") || name == QLatin1String("false"))
            return t.trimmed().isEmpty() || problem(QStringLiteral("<%1> with content").arg(name));
        if (name == QLatin1String("integer"))
            return integerText(t.trimmed()) || problem(QStringLiteral("bad integer \"%1\"").arg(t.left(40)));
        if (name == QLatin1String("real"))
            return realText(t.trimmed()) || problem(QStringLiteral("bad real \"%1\"").arg(t.left(40)));
        if (name == QLatin1String("date"))
            return dateText(t.trimmed()) || problem(QStringLiteral("bad date \"%1\"").arg(t.left(40)));
        if (name == QLatin1String("data"))
            return dataText(t) || problem(QStringLiteral("bad base64 data"));
        return problem(QStringLiteral("unknown element <%1>").arg(name));
    }

    // Decimal, optional sign; within 64 bits (signed when negative, else up to 2^64-1).
    static bool integerText(const QString& t)
    {
        static const QRegularExpression re(QStringLiteral("^[+-]?[0-9]+$"));
        if (!re.match(t).hasMatch())
            return false;
        bool ok = false;
        if (t.startsWith(QLatin1Char('-')))
            t.toLongLong(&ok);
        else
            QString(t).remove(QLatin1Char('+')).toULongLong(&ok);
        return ok;
    }

    static bool realText(const QString& t)
    {
        static const QRegularExpression re(
            QStringLiteral("^[+-]?(([0-9]+\\.?[0-9]*)|(\\.[0-9]+))([eE][+-]?[0-9]+)?$|^[+-]?(nan|inf|infinity)$"),
            QRegularExpression::CaseInsensitiveOption);
        return re.match(t).hasMatch();
    }

    static bool dateText(const QString& t)
    {
        static const QRegularExpression re(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$"));
        if (!re.match(t).hasMatch())
            return false;
        const QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
        if (!dt.isValid())
            return false;
        const qint64 secs = dt.toSecsSinceEpoch() - kPlistEpochOffset;
        return secs >= std::numeric_limits<int32_t>::min() && secs <= std::numeric_limits<int32_t>::max();
    }

    static bool dataText(const QString& t)
    {
        QByteArray compact;
        compact.reserve(t.size());
        for (QChar c : t) {
            if (!c.isSpace())
                compact += c.toLatin1();
        }
        return bool(QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors));
    }

    QXmlStreamReader m_reader;
    QString m_problem;
    bool m_tooDeep = false;
};

QVariant toVariant(plist_t node, int depth)
{
    if (depth > PropertyList::kMaxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!value) {
                std::free(key);
                break;
            }
            const QString k = fromPlistText(key);
            QVariant v = toVariant(value, depth + 1);
            if (!v.isValid()) {
                std::free(it);
                return {};
            }
            map.insert(k, v);
        }
        std::free(it);
        return map;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        list.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            QVariant v = toVariant(plist_array_get_item(node, i), depth + 1);
            if (!v.isValid())
                return {};
            list.append(v);
        }
        return list;
    }
    case PLIST_STRING: {
        // Read by length: libplist asserts (and aborts the process) when its string getter meets a
        // NUL inside the text. A property-list string cannot hold NUL, so such a file is malformed.
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        if (text == nullptr || length > std::uint64_t(std::numeric_limits<int>::max()) ||
            std::memchr(text, 0, static_cast<std::size_t>(length)) != nullptr)
            return {};
        return QString::fromUtf8(text, static_cast<qsizetype>(length));
    }
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return bool(b);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return static_cast<qint64>(u);
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return d;
    }
    case PLIST_DATA: {
        char* data = nullptr;
        uint64_t len = 0;
        plist_get_data_val(node, &data, &len);
        QByteArray b(data ? data : "", data ? qsizetype(len) : 0);
        std::free(data);
        return b;
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QDateTime::fromSecsSinceEpoch(qint64(sec) + kPlistEpochOffset, QTimeZone::utc());
    }
    default:
        return {};
    }
}

}  // namespace

QVariant PropertyList::fromXml(const QByteArray& xml, Error* error)
{
    setError(error, Status::Ok, {});
    if (xml.size() > kMaxInputBytes) {
        setError(error, Status::TooLarge, QStringLiteral("property list of %1 bytes").arg(xml.size()));
        return {};
    }
    QString problem;
    const Status checked = Validator(xml).run(&problem);
    if (checked != Status::Ok) {
        setError(error, checked, problem);
        return {};
    }
    plist_t root = nullptr;
    if (!xml.isEmpty())
        plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &root);
    PlistPtr owner(root);
    if (!root) {
        setError(error, Status::Malformed, QStringLiteral("not a well-formed XML property list"));
        return {};
    }
    QVariant v = toVariant(root, 1);
    if (!v.isValid())
        setError(error, Status::Malformed, QStringLiteral("property list holds an unknown value kind"));
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
