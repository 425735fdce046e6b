#include "platform/PropertyList.h"

#include "platform/FileSave.h"

#include "platform/VariantKinds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTimeZone>

#include <cstring>
#include <plist/plist.h>

#include <algorithm>
#include <cctype>
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

// Reads the XML form in one pass over its bytes, checking as it goes: the XML that property lists
// use (a declaration, comments, processing instructions, a document type without declarations,
// elements with attributes, character and the five named entity references, CDATA sections), the
// structure, the nesting depth and the text of every scalar, so that malformed values (an integer too
// large for 64 bits, a date that cannot be read, broken base64) are errors rather than some other
// value. Integers come back as qint64 (an unsigned value above its range keeps its 64 bits), reals as
// double, dates as UTC QDateTime of whole seconds, data as QByteArray. Text is UTF-8 (a byte that
// starts no sequence reads as U+FFFD); line ends read as line feeds.
class Reader {
public:
    explicit Reader(const QByteArray& xml)
        : m_begin(xml.constData()), m_p(xml.constData()), m_end(xml.constData() + xml.size())
    {
    }

    // The root value, or an invalid QVariant with the status and `message` filled.
    QVariant run(PropertyList::Status* status, QString* message)
    {
        QVariant root = document();
        if (!root.isValid()) {
            *status = m_tooDeep ? PropertyList::Status::TooDeep : PropertyList::Status::Malformed;
            *message = QStringLiteral("line %1: %2").arg(lineNumber()).arg(m_problem);
            return {};
        }
        *status = PropertyList::Status::Ok;
        return root;
    }

private:
    struct Tag {
        QByteArray name;
        bool closing = false;
        bool empty = false;  // <name/>
    };

    QVariant problem(const QString& text)
    {
        if (m_problem.isEmpty())
            m_problem = text;
        return {};
    }
    bool failed(const QString& text)
    {
        problem(text);
        return false;
    }

    qsizetype lineNumber() const { return 1 + std::count(m_begin, m_p, '\n'); }

    bool at(const char* text) const
    {
        const std::size_t n = std::strlen(text);
        return static_cast<std::size_t>(m_end - m_p) >= n && std::memcmp(m_p, text, n) == 0;
    }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    void skipSpace()
    {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }
    static bool isNameChar(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
            c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
    }
    bool skipPast(const char* end)
    {
        const std::size_t n = std::strlen(end);
        for (; m_p < m_end; ++m_p) {
            if (static_cast<std::size_t>(m_end - m_p) >= n && std::memcmp(m_p, end, n) == 0) {
                m_p += n;
                return true;
            }
        }
        return false;
    }

    // Comments and processing instructions (not the XML declaration); false on a broken one.
    bool skipMisc(bool* skipped)
    {
        *skipped = false;
        if (at("<!--")) {
            m_p += 4;
            if (!skipPast("-->"))
                return failed(QStringLiteral("unclosed comment"));
            *skipped = true;
        } else if (at("<?")) {
            m_p += 2;
            const char* name = m_p;
            while (m_p < m_end && isNameChar(*m_p))
                ++m_p;
            if (m_p - name == 3 && QByteArray(name, 3).toLower() == "xml")
                return failed(QStringLiteral("an XML declaration after the start"));
            if (!skipPast("?>"))
                return failed(QStringLiteral("unclosed processing instruction"));
            *skipped = true;
        }
        return true;
    }

    // White space, comments and processing instructions.
    bool skipInsignificant()
    {
        for (;;) {
            skipSpace();
            bool skipped = false;
            if (!skipMisc(&skipped))
                return false;
            if (!skipped)
                return true;
        }
    }

    // A quoted attribute value; the cursor stands on the quote.
    bool quoted(QByteArray* value)
    {
        if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
            return failed(QStringLiteral("an attribute value without quotes"));
        const char quote = *m_p++;
        const char* start = m_p;
        while (m_p < m_end && *m_p != quote) {
            if (*m_p == '<')
                return failed(QStringLiteral("\"<\" in an attribute value"));
            ++m_p;
        }
        if (m_p >= m_end)
            return failed(QStringLiteral("an unclosed attribute value"));
        if (value)
            *value = QByteArray(start, m_p - start);
        ++m_p;
        return true;
    }

    // The tag at the cursor ("<" seen there); its attributes are checked and passed over.
    bool tag(Tag* t)
    {
        ++m_p;
        t->closing = m_p < m_end && *m_p == '/';
        if (t->closing)
            ++m_p;
        const char* name = m_p;
        while (m_p < m_end && isNameChar(*m_p))
            ++m_p;
        if (m_p == name)
            return failed(QStringLiteral("a tag without a name"));
        t->name = QByteArray(name, m_p - name);
        for (;;) {
            const char* beforeSpace = m_p;
            skipSpace();
            if (m_p >= m_end)
                return failed(QStringLiteral("an unclosed tag"));
            if (*m_p == '>') {
                ++m_p;
                return true;
            }
            if (!t->closing && at("/>")) {
                m_p += 2;
                t->empty = true;
                return true;
            }
            if (t->closing || m_p == beforeSpace)
                return failed(QStringLiteral("a malformed tag <%1>").arg(QString::fromUtf8(t->name)));
            const char* attribute = m_p;
            while (m_p < m_end && isNameChar(*m_p))
                ++m_p;
            if (m_p == attribute)
                return failed(QStringLiteral("a malformed attribute in <%1>").arg(QString::fromUtf8(t->name)));
            skipSpace();
            if (m_p >= m_end || *m_p != '=')
                return failed(QStringLiteral("an attribute without a value"));
            ++m_p;
            skipSpace();
            if (!quoted(nullptr))
                return false;
        }
    }

    // The start of the document up to the root element's tag, which `root` receives.
    bool prolog(Tag* root)
    {
        if (at("\xEF\xBB\xBF"))
            m_p += 3;
        if (at("<?xml") && m_p + 5 < m_end && isSpace(m_p[5])) {
            QByteArray encoding;
            if (!declarationTag(&encoding))
                return false;
            // Property lists are UTF-8; text declared in another encoding is not read as some other text.
            const QByteArray e = encoding.toLower();
            if (!e.isEmpty() && e != "utf-8" && e != "utf8")
                return failed(QStringLiteral("text in the encoding %1, not UTF-8").arg(QString::fromLatin1(encoding)));
        }
        bool doctype = false;
        for (;;) {
            if (!skipInsignificant())
                return false;
            if (at("<!DOCTYPE")) {
                if (doctype)
                    return failed(QStringLiteral("a second document type"));
                doctype = true;
                m_p += 9;
                while (m_p < m_end && *m_p != '>') {
                    if (*m_p == '[')
                        return failed(QStringLiteral("a document type with declarations"));
                    if (*m_p == '"' || *m_p == '\'') {
                        if (!quoted(nullptr))
                            return false;
                        continue;
                    }
                    ++m_p;
                }
                if (m_p >= m_end)
                    return failed(QStringLiteral("an unclosed document type"));
                ++m_p;
                continue;
            }
            if (m_p >= m_end || *m_p != '<')
                return failed(
                    m_p >= m_end ? QStringLiteral("no <plist> element") : QStringLiteral("text outside a value"));
            return tag(root);
        }
    }

    // "<?xml ... ?>", the cursor on "<".
    bool declarationTag(QByteArray* encoding)
    {
        m_p += 5;
        for (;;) {
            skipSpace();
            if (at("?>")) {
                m_p += 2;
                return true;
            }
            const char* attribute = m_p;
            while (m_p < m_end && isNameChar(*m_p))
                ++m_p;
            if (m_p == attribute)
                return failed(QStringLiteral("a malformed XML declaration"));
            const QByteArray key(attribute, m_p - attribute);
            skipSpace();
            if (m_p >= m_end || *m_p != '=')
                return failed(QStringLiteral("a malformed XML declaration"));
            ++m_p;
            skipSpace();
            QByteArray value;
            if (!quoted(&value))
                return false;
            if (key == "encoding")
                *encoding = value;
        }
    }

    QVariant document()
    {
        Tag root;
        if (!prolog(&root))
            return {};
        if (root.closing || root.name != "plist")
            return problem(QStringLiteral("no <plist> element"));
        if (root.empty)
            return problem(QStringLiteral("<plist> holds no value"));
        if (!skipInsignificant())
            return {};
        if (m_p >= m_end || *m_p != '<')
            return problem(m_p >= m_end ? QStringLiteral("<plist> holds no value")
                                        : QStringLiteral("text where an element belongs"));
        Tag first;
        if (!tag(&first))
            return {};
        if (first.closing)
            return problem(QStringLiteral("<plist> holds no value"));
        QVariant v = value(first, 1);
        if (!v.isValid())
            return {};
        if (!skipInsignificant())
            return {};
        Tag end;
        if (m_p >= m_end || *m_p != '<' || !tag(&end))
            return problem(QStringLiteral("<plist> is not closed"));
        if (!end.closing)
            return problem(QStringLiteral("<plist> holds more than one value"));
        if (end.name != "plist")
            return problem(QStringLiteral("</%1> closes <plist>").arg(QString::fromUtf8(end.name)));
        // Only comments, processing instructions and white space may follow.
        if (!skipInsignificant())
            return {};
        if (m_p < m_end)
            return problem(QStringLiteral("text after </plist>"));
        return v;
    }

    // The next child element's start tag inside a container; false at its end tag (which must close
    // `container`) or on a fault (m_problem set).
    bool nextChild(const QByteArray& container, Tag* child)
    {
        if (!skipInsignificant())
            return false;
        if (m_p >= m_end)
            return failed(QStringLiteral("<%1> is not closed").arg(QString::fromUtf8(container)));
        if (*m_p != '<')
            return failed(QStringLiteral("text where an element belongs"));
        if (at("<![CDATA["))
            return failed(QStringLiteral("text where an element belongs"));
        if (!tag(child))
            return false;
        if (child->closing) {
            if (child->name != container)
                return failed(QStringLiteral("</%1> closes <%2>")
                                  .arg(QString::fromUtf8(child->name), QString::fromUtf8(container)));
            return false;
        }
        return true;
    }

    // Appends one code point given by a character reference; false for one XML does not allow.
    static bool appendCodePoint(QString& out, char32_t c)
    {
        const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
            (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (!allowed)
            return false;
        out += QString::fromUcs4(&c, 1);
        return true;
    }

    // The text of a scalar element after its start tag, up to and including its end tag.
    // `out` is appended to.
    bool elementText(const QByteArray& element, QString* out)
    {
        const char* run = m_p;
        auto flush = [&] {
            if (m_p > run)
                out->append(QString::fromUtf8(run, m_p - run));
        };
        while (m_p < m_end) {
            const unsigned char c = static_cast<unsigned char>(*m_p);
            if (c == '<') {
                flush();
                if (at("<![CDATA[")) {
                    m_p += 9;
                    const char* data = m_p;
                    if (!skipPast("]]>"))
                        return failed(QStringLiteral("an unclosed CDATA section"));
                    out->append(QString::fromUtf8(data, m_p - 3 - data));
                    run = m_p;
                    continue;
                }
                bool skipped = false;
                if (!skipMisc(&skipped))
                    return false;
                if (skipped) {
                    run = m_p;
                    continue;
                }
                Tag end;
                if (!tag(&end))
                    return false;
                if (!end.closing)
                    return failed(QStringLiteral("an element inside <%1>").arg(QString::fromUtf8(element)));
                if (end.name != element)
                    return failed(QStringLiteral("</%1> closes <%2>")
                                      .arg(QString::fromUtf8(end.name), QString::fromUtf8(element)));
                return true;
            }
            if (c == '&') {
                flush();
                const char* semicolon =
                    static_cast<const char*>(std::memchr(m_p, ';', std::min<std::ptrdiff_t>(m_end - m_p, 12)));
                if (semicolon == nullptr)
                    return failed(QStringLiteral("a malformed entity reference"));
                const QByteArray name(m_p + 1, semicolon - m_p - 1);
                if (name == "lt")
                    out->append(QLatin1Char('<'));
                else if (name == "gt")
                    out->append(QLatin1Char('>'));
                else if (name == "amp")
                    out->append(QLatin1Char('&'));
                else if (name == "quot")
                    out->append(QLatin1Char('"'));
                else if (name == "apos")
                    out->append(QLatin1Char('\''));
                else if (name.startsWith('#')) {
                    bool ok = false;
                    const uint code = name.startsWith("#x") ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
                    const bool digits = name.size() > (name.startsWith("#x") ? 2 : 1) &&
                        std::all_of(name.begin() + (name.startsWith("#x") ? 2 : 1), name.end(), [&](char d) {
                            return name.startsWith("#x") ? std::isxdigit(static_cast<unsigned char>(d))
                                                         : std::isdigit(static_cast<unsigned char>(d));
                        });
                    if (!ok || !digits || !appendCodePoint(*out, code))
                        return failed(QStringLiteral("a character reference to no allowed character"));
                } else {
                    return failed(QStringLiteral("an unknown entity &%1;").arg(QString::fromUtf8(name)));
                }
                m_p = semicolon + 1;
                run = m_p;
                continue;
            }
            if (c == '\r') {
                // Line ends read as line feeds.
                flush();
                out->append(QLatin1Char('\n'));
                ++m_p;
                if (m_p < m_end && *m_p == '\n')
                    ++m_p;
                run = m_p;
                continue;
            }
            if (c < 0x20 && c != '\t' && c != '\n')
                return failed(QStringLiteral("a control character in the text"));
            ++m_p;
        }
        return failed(QStringLiteral("<%1> is not closed").arg(QString::fromUtf8(element)));
    }

    QVariant value(const Tag& start, int depth)
    {
        if (start.name == "dict" || start.name == "array") {
            if (depth > PropertyList::kMaxDepth) {
                m_tooDeep = true;
                return problem(QStringLiteral("containers nested deeper than %1").arg(PropertyList::kMaxDepth));
            }
            const bool isDict = start.name == "dict";
            QVariantMap map;
            QVariantList list;
            Tag child;
            while (!start.empty && nextChild(start.name, &child)) {
                if (isDict) {
                    if (child.name != "key")
                        return problem(QStringLiteral("<dict> entry without <key>"));
                    QString key = QStringLiteral("");
                    if (!child.empty && !elementText(child.name, &key))
                        return {};
                    if (!nextChild(start.name, &child))
                        return problem(QStringLiteral("<key>%1</key> without a value").arg(key));
                    QVariant v = value(child, depth + 1);
                    if (!v.isValid())
                        return {};
                    // Written dictionaries list their keys in order, so the end is where each goes.
                    map.insert(map.cend(), key, std::move(v));
                } else {
                    QVariant v = value(child, depth + 1);
                    if (!v.isValid())
                        return {};
                    list.append(std::move(v));
                }
                child = Tag();
            }
            if (!m_problem.isEmpty())
                return {};
            return isDict ? QVariant(std::move(map)) : QVariant(std::move(list));
        }
        enum class Kind { String, True, False, Integer, Real, Date, Data, Unknown };
        const QByteArray& name = start.name;
        const Kind kind = name == "string" ? Kind::String
            : name == "integer"            ? Kind::Integer
            : name == "true"               ? Kind::True
            : name == "false"              ? Kind::False
            : name == "real"               ? Kind::Real
            : name == "date"               ? Kind::Date
            : name == "data"               ? Kind::Data
                                           : Kind::Unknown;
        if (kind == Kind::Unknown)
            return problem(QStringLiteral("unknown element <%1>").arg(QString::fromUtf8(name)));
        // An empty string is a string, not nothing.
        QString t = QStringLiteral("");
        if (!start.empty && !elementText(name, &t))
            return {};
        if (kind == Kind::String)
            return t;
        if (kind == Kind::True || kind == Kind::False) {
            if (!t.trimmed().isEmpty())
                return problem(QStringLiteral("<%1> with content").arg(QString::fromUtf8(name)));
            return kind == Kind::True;
        }
        if (kind == Kind::Integer) {
            const std::optional<qint64> v = integerText(t.trimmed());
            return v ? QVariant(*v) : problem(QStringLiteral("bad integer \"%1\"").arg(t.left(40)));
        }
        if (kind == Kind::Real) {
            const std::optional<double> v = realText(t.trimmed());
            return v ? QVariant(*v) : problem(QStringLiteral("bad real \"%1\"").arg(t.left(40)));
        }
        if (kind == Kind::Date) {
            const std::optional<QDateTime> v = dateText(t.trimmed());
            return v ? QVariant(*v) : problem(QStringLiteral("bad date \"%1\"").arg(t.left(40)));
        }
        const std::optional<QByteArray> v = dataText(t);
        return v ? QVariant(*v) : problem(QStringLiteral("bad base64 data"));
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

    const char* m_begin;
    const char* m_p;
    const char* m_end;
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

bool PropertyList::writeFile(const QString& path, const QVariant& value, Error* error, const QString& what)
{
    const QByteArray xml = toXml(value, error);
    if (xml.isEmpty()) {
        if (error)
            error->message = path + QStringLiteral(": ") + error->message;
        return false;
    }
    QString reason;
    if (!FileSave::writeFile(path, xml, what, &reason)) {
        setError(error, Status::WriteFailed, QStringLiteral("cannot write %1: %2").arg(path, reason));
        return false;
    }
    return true;
}
