#include "library/JavaScript.h"

#include "engine/scramble/StringScramble.h"
#include "library/EngineStrings.h"
#include "render/HTMLFilter.h"

#include <QCryptographicHash>

#include <algorithm>

namespace {

bool isOneOf(QChar c, const char* set)
{
    for (const char* p = set; *p != 0; ++p)
        if (c == QLatin1Char(*p))
            return true;
    return false;
}

// What the platform's scanner skips by default.
bool isWhitespaceOrNewline(QChar c)
{
    return c.isSpace() || c == QChar(0x85);
}

// NSScanner-style integer: leading white space, an optional sign, digits, and then the end.
bool scansIntegerToEnd(const QString& s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && isWhitespaceOrNewline(s.at(i)))
        ++i;
    if (i < n && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        ++i;
    const qsizetype digits = i;
    while (i < n && s.at(i) >= QLatin1Char('0') && s.at(i) <= QLatin1Char('9'))
        ++i;
    return i > digits && i == n;
}

}  // namespace

// --- escapes, digests, scrambling ----------------------------------------------------------------

QString JavaScript::stringByUnescapingJavaScript(const QString& s)
{
    QString out = s;
    qsizetype at = out.indexOf(QLatin1Char('\\'));
    while (at >= 0 && at + 1 < out.size()) {
        const QChar next = out.at(at + 1);
        QChar replacement;
        bool known = true;
        switch (next.unicode()) {
        case '"':
            replacement = QLatin1Char('"');
            break;
        case '\'':
            replacement = QLatin1Char('\'');
            break;
        case '\\':
            replacement = QLatin1Char('\\');
            break;
        case 'b':
            replacement = QChar(0x08);
            break;
        case 'f':
            replacement = QChar(0x0C);
            break;
        case 'n':
            replacement = QChar(0x0A);
            break;
        case 'r':
            replacement = QChar(0x0D);
            break;
        case 't':
            replacement = QChar(0x09);
            break;
        case 'v':
            replacement = QChar(0x0B);
            break;
        default:
            known = false;
            break;
        }
        if (known) {
            out.replace(at, 2, replacement);
            at = out.indexOf(QLatin1Char('\\'), at + 1);
        } else {
            at = out.indexOf(QLatin1Char('\\'), at + 2);
        }
    }
    return out;
}

QString JavaScript::stringFromMD5(const QString& s)
{
    QByteArray bytes = s.toUtf8();
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    if (s.isEmpty())
        return QString();
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString JavaScript::encryptedString(const QString& s)
{
    return EngineStrings::fromUtf8(scrambleStringDefaultPad(EngineStrings::utf8(s)));
}

QString JavaScript::decryptedString(const QString& s)
{
    return EngineStrings::fromUtf8(unscrambleStringDefaultPad(EngineStrings::utf8(s)));
}

QString JavaScript::encryptedStringWithPad(const QString& s, const QString& pad)
{
    const QByteArray p = pad.toUtf8();
    return EngineStrings::fromUtf8(scrambleString(EngineStrings::utf8(s), p.constData()));
}

QString JavaScript::decryptedStringWithPad(const QString& s, const QString& pad)
{
    const QByteArray p = pad.toUtf8();
    return EngineStrings::fromUtf8(unscrambleString(EngineStrings::utf8(s), p.constData()));
}

QString JavaScript::stringByFilteringHtmlStrength(const QString& s, int strength, bool convertCharacterEntities)
{
    std::string text = s.toStdString();
    filterHtmlByStrength(text, std::clamp(strength, 0, 6), convertCharacterEntities);
    return EngineStrings::fromUtf8(text);
}

bool JavaScript::isInt(const QString& s)
{
    return scansIntegerToEnd(s);
}

bool JavaScript::isInteger(const QString& s)
{
    return scansIntegerToEnd(s);
}

// --- character spans -----------------------------------------------------------------------------

StringRange JavaScript::rangeOfCharacterSpanFromSet(const QString& s, const CharacterSet& set)
{
    return rangeOfCharacterSpanFromSet(s, set, 0, StringRange {0, s.size()});
}

StringRange JavaScript::rangeOfCharacterSpanFromSet(const QString& s, const CharacterSet& set, unsigned options)
{
    return rangeOfCharacterSpanFromSet(s, set, options, StringRange {0, s.size()});
}

StringRange JavaScript::rangeOfCharacterSpanFromSet(
    const QString& s, const CharacterSet& set, unsigned options, StringRange range)
{
    const qsizetype first = std::clamp<qsizetype>(range.location, 0, s.size());
    const qsizetype end = std::clamp<qsizetype>(first + std::max<qsizetype>(range.length, 0), first, s.size());
    if (first >= end)
        return StringRange();
    const bool backwards = options & kBackwardsSearch;
    const bool anchored = options & kAnchoredSearch;
    if (!backwards) {
        qsizetype i = first;
        if (anchored) {
            if (!set(s.at(i)))
                return StringRange();
        } else {
            while (i < end && !set(s.at(i)))
                ++i;
            if (i == end)
                return StringRange();
        }
        qsizetype j = i;
        while (j < end && set(s.at(j)))
            ++j;
        return StringRange {i, j - i};
    }
    qsizetype i = end - 1;
    if (anchored) {
        if (!set(s.at(i)))
            return StringRange();
    } else {
        while (i >= first && !set(s.at(i)))
            --i;
        if (i < first)
            return StringRange();
    }
    qsizetype j = i;
    while (j >= first && set(s.at(j)))
        --j;
    return StringRange {j + 1, i - j};
}

// --- URL encoding and the device identifier ------------------------------------------------------

QString JavaScript::stringWithUrlEncodedQueryItemValue(const QString& value)
{
    // The URL query's allowed characters: the unreserved ones and "!$&'()*+,;=:@/?".
    QString out = QString::fromLatin1(value.toUtf8().toPercentEncoding("!$&'()*+,;=:@/?"));
    out.replace(QLatin1Char('?'), QStringLiteral("%3F"));
    out.replace(QLatin1Char('='), QStringLiteral("%3D"));
    out.replace(QLatin1Char('&'), QStringLiteral("%26"));
    return out;
}

QString JavaScript::stringByDecodingUrlEncodedString(const QString& text)
{
    QString plus = text;
    plus.replace(QLatin1Char('+'), QLatin1Char(' '));
    return QString::fromUtf8(QByteArray::fromPercentEncoding(plus.toUtf8()));
}

QString JavaScript::deviceIDForHardwareAddress(const QByteArray& address)
{
    QByteArray six = address.left(6);
    six.append(QByteArray(6 - six.size(), '\0'));
    QString text;
    for (int i = 0; i < 6; ++i)
        text += QStringLiteral("%1%2")
                    .arg(i == 0 ? QString() : QStringLiteral(":"))
                    .arg(static_cast<unsigned char>(six.at(i)), 2, 16, QLatin1Char('0'));
    return stringFromMD5(text);
}

// --- tags ----------------------------------------------------------------------------------------

StringRange JavaScript::rangeOfHtmlTagInRange(const QString& s, StringRange range)
{
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, s.size());
    const qsizetype end = std::clamp<qsizetype>(start + std::max<qsizetype>(range.length, 0), start, s.size());
    qsizetype from = start;
    while (from < end) {
        const qsizetype lt = s.indexOf(QLatin1Char('<'), from);
        if (lt < 0 || lt >= end)
            return StringRange();
        qsizetype i = lt + 1;
        // A "<" outside quotes before the tag ends means this one was no tag: go on from there.
        qsizetype restart = -1;
        auto skipBlanks = [&] {
            while (i < end && isOneOf(s.at(i), " \t"))
                ++i;
        };
        const qsizetype nameStart = i;
        while (i < end && !isOneOf(s.at(i), " \t><"))
            ++i;
        bool closed = false;
        if (i > nameStart) {
            skipBlanks();
            while (i < end) {
                if (s.at(i) == QLatin1Char('>')) {
                    closed = true;
                    break;
                }
                if (s.at(i) == QLatin1Char('<')) {
                    restart = i;
                    break;
                }
                while (i < end && !isOneOf(s.at(i), " \t=><"))
                    ++i;
                skipBlanks();
                if (i < end && s.at(i) == QLatin1Char('=')) {
                    ++i;
                    skipBlanks();
                    if (i < end && (s.at(i) == QLatin1Char('"') || s.at(i) == QLatin1Char('\''))) {
                        const QChar quote = s.at(i);
                        const qsizetype close = s.indexOf(quote, i + 1);
                        if (close < 0 || close >= end) {
                            i = end;
                            break;
                        }
                        i = close + 1;
                    } else {
                        while (i < end && !isOneOf(s.at(i), " \t><"))
                            ++i;
                    }
                    skipBlanks();
                }
            }
        }
        if (closed)
            return StringRange {lt, i - lt + 1};
        from = restart > lt ? restart : lt + 1;
    }
    return StringRange();
}

std::optional<QVariantMap> JavaScript::dictionaryOfAttributesFromString(const QString& tag)
{
    const qsizetype n = tag.size();
    if (n == 0 || tag.at(0) != QLatin1Char('<'))
        return std::nullopt;
    qsizetype i = 1;
    const qsizetype nameStart = i;
    while (i < n && !isOneOf(tag.at(i), " \t\r\n>"))
        ++i;
    if (i == nameStart)
        return std::nullopt;
    auto skip = [&](const char* set) {
        while (i < n && isOneOf(tag.at(i), set))
            ++i;
    };
    QVariantMap attributes;
    skip(" \t\r\n>");
    while (i < n) {
        const qsizetype keyStart = i;
        while (i < n && !isOneOf(tag.at(i), " \t\r\n=>"))
            ++i;
        if (i == keyStart)
            break;
        const QString name = tag.mid(keyStart, i - keyStart);
        QString value = name;
        if (i < n && tag.at(i) == QLatin1Char('=')) {
            ++i;
            skip(" \t\r\n");
            if (i < n && (tag.at(i) == QLatin1Char('"') || tag.at(i) == QLatin1Char('\''))) {
                const qsizetype close = tag.indexOf(tag.at(i), i + 1);
                if (close < 0)
                    break;
                value = tag.mid(i + 1, close - i - 1);
                i = close + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < n && !isOneOf(tag.at(i), " \t\r\n>"))
                    ++i;
                if (i == valueStart)
                    break;
                value = tag.mid(valueStart, i - valueStart);
            }
        }
        // The "/" of a self-closing tag is no attribute.
        if (name != QLatin1String("/"))
            attributes.insert(name, value);
        skip(" \t\r\n>");
    }
    return attributes;
}

QString JavaScript::tagName(const QString& tag)
{
    qsizetype i = 0;
    const qsizetype n = tag.size();
    auto skip = [&] {
        while (i < n && isWhitespaceOrNewline(tag.at(i)))
            ++i;
    };
    skip();
    if (i >= n || tag.at(i) != QLatin1Char('<'))
        return QStringLiteral("");
    ++i;
    skip();
    if (i < n && tag.at(i) == QLatin1Char('/'))
        ++i;
    skip();
    const qsizetype start = i;
    while (i < n && !isOneOf(tag.at(i), " \t\r\n/>"))
        ++i;
    return tag.mid(start, i - start).toLower();
}

bool JavaScript::isClosingTag(const QString& tag)
{
    return tag.startsWith(QLatin1String("</"));
}

bool JavaScript::isSelfClosingTag(const QString& tag)
{
    static const QString kSelfClosing = QStringLiteral(
        "/area/base/br/col/command/embed/hr/img/input/keygen/link/meta/param/source/track/wbr//qs_attr/qs_sync/");
    return tag.endsWith(QLatin1String("/>")) ||
        kSelfClosing.contains(QLatin1Char('/') + tagName(tag) + QLatin1Char('/'));
}

bool JavaScript::isBlockLevelTag(const QString& tag)
{
    static const QString kBlockLevel =
        QStringLiteral("/blockquote/dir/dl/form/h1/h2/h3/h4/h5/h6/h7/h8/h9/map/menu/nobr/ol/p/pre/table/ul/");
    return kBlockLevel.contains(QLatin1Char('/') + tagName(tag) + QLatin1Char('/'));
}

QString JavaScript::stringByAppendingAttribute(const QString& tag, const QString& name, const QString& value)
{
    QString out = QStringLiteral("<");
    if (isClosingTag(tag))
        out += QLatin1Char('/');
    out += tagName(tag) + QLatin1Char(' ') + name + QLatin1Char('=') + value;
    const QVariantMap attributes = dictionaryOfAttributesFromString(tag).value_or(QVariantMap());
    for (auto it = attributes.begin(); it != attributes.end(); ++it) {
        const QString v = it.value().toString();
        const QChar quote = v.contains(QLatin1Char('"')) ? QLatin1Char('\'') : QLatin1Char('"');
        out += QLatin1Char(' ') + it.key() + QLatin1Char('=') + quote + v + quote;
    }
    out += isSelfClosingTag(tag) ? QStringLiteral(" />") : QStringLiteral(">");
    return out;
}

// --- colours -------------------------------------------------------------------------------------

QString JavaScript::HTMLColorStringFromColor(double red, double green, double blue)
{
    auto channel = [](double c) { return std::clamp(static_cast<int>(c * 255.99998474121094), 0, 255); };
    return QStringLiteral("#%1%2%3")
        .arg(channel(red), 2, 16, QLatin1Char('0'))
        .arg(channel(green), 2, 16, QLatin1Char('0'))
        .arg(channel(blue), 2, 16, QLatin1Char('0'));
}
