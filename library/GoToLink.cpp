#include "library/GoToLink.h"

#include <QByteArray>
#include <QRegularExpression>

#include <array>
#include <limits>
#include <utility>

namespace GoToLink {

namespace {

// In the order the bridge undoes them: "@@bs@@" first, so that an escaped "@@" sequence
// written by a book cannot be read as another escape.
const std::array<std::pair<QLatin1String, QChar>, 9>& escapes()
{
    static const std::array<std::pair<QLatin1String, QChar>, 9> table = {{
        {QLatin1String("@@bs@@"), QChar(u'\\')},
        {QLatin1String("@@apos@@"), QChar(u'\'')},
        {QLatin1String("@@quot@@"), QChar(u'"')},
        {QLatin1String("@@backspace@@"), QChar(0x08)},
        {QLatin1String("@@formfeed@@"), QChar(0x0C)},
        {QLatin1String("@@newline@@"), QChar(u'\n')},
        {QLatin1String("@@return@@"), QChar(u'\r')},
        {QLatin1String("@@tab@@"), QChar(u'\t')},
        {QLatin1String("@@verticaltab@@"), QChar(0x0B)},
    }};
    return table;
}

bool startsWithNoCase(const QString& text, QLatin1String prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Percent escapes decoded as a browser decodes a script address: well-formed "%XX" pairs become
// bytes (read as UTF-8), anything else stays as written.
QString percentDecoded(const QString& text)
{
    if (!text.contains(u'%'))
        return text;
    QByteArray bytes;
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '%' && i + 2 < utf8.size()) {
            const int hi = hexDigit(QChar::fromLatin1(utf8[i + 1]));
            const int lo = hexDigit(QChar::fromLatin1(utf8[i + 2]));
            if (hi >= 0 && lo >= 0) {
                bytes.append(static_cast<char>(hi << 4 | lo));
                i += 2;
                continue;
            }
        }
        bytes.append(utf8[i]);
    }
    return QString::fromUtf8(bytes);
}

// Characters that would end the script string the page builds around a target, or the line.
bool canBreakOutOfScript(const QString& target)
{
    for (const QChar c : target) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || u == u'\'' || u == u'\\' || u == u'"' || u == u'<' || u == u'>' || u == 0x2028 ||
            u == 0x2029)
            return true;
    }
    return false;
}

bool allDigits(const QString& text, qsizetype from, qsizetype count)
{
    if (from < 0 || count <= 0 || from + count > text.size())
        return false;
    for (qsizetype i = from; i < from + count; ++i) {
        if (!text[i].isDigit() || text[i].unicode() > 0x7F)
            return false;
    }
    return true;
}

qint64 digitsValue(const QString& text, qsizetype from, qsizetype count)
{
    return text.mid(from, count).toLongLong();
}

}  // namespace

QString unescapePageText(const QString& text)
{
    if (!text.contains(QLatin1String("@@")))
        return text;
    QString out = text;
    for (const auto& [escaped, plain] : escapes())
        out.replace(escaped, QString(plain));
    return out;
}

QString escapePageText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        bool done = false;
        for (const auto& [escaped, plain] : escapes()) {
            if (c == plain) {
                out += escaped;
                done = true;
                break;
            }
        }
        if (!done)
            out += c;
    }
    return out;
}

PageHref readPageHref(const QString& attribute)
{
    static const QLatin1String kPrefix("javascript:href('");
    static const QLatin1String kSuffix("');");
    static const QRegularExpression kFootnoteToggle(
        QStringLiteral("^javascript:toggleFootnote\\('_fn[0-9]{1,9}'\\);$"));
    PageHref result;
    if (attribute.size() > kMaxLinkLength)
        return result;
    const QString trimmed = attribute.trimmed();
    const QString lower = trimmed.toLower();
    const bool script = lower.startsWith(QLatin1String("javascript:")) ||
        lower.startsWith(QLatin1String("vbscript:")) || lower.startsWith(QLatin1String("livescript:")) ||
        lower.startsWith(QLatin1String("data:"));
    if (!script) {
        result.kind = PageHref::Kind::Plain;
        result.target = unescapePageText(trimmed);
        return result;
    }
    if (kFootnoteToggle.match(trimmed).hasMatch()) {
        result.kind = PageHref::Kind::PageScript;
        return result;
    }
    if (trimmed.size() < kPrefix.size() + kSuffix.size() || !trimmed.startsWith(kPrefix) || !trimmed.endsWith(kSuffix))
        return result;
    const QString inner = percentDecoded(trimmed.mid(kPrefix.size(), trimmed.size() - kPrefix.size() - kSuffix.size()));
    if (canBreakOutOfScript(inner))
        return result;
    result.kind = PageHref::Kind::Target;
    result.target = unescapePageText(inner);
    return result;
}

std::optional<WebLink> webLink(const QString& href)
{
    const bool appHttps = startsWithNoCase(href, QLatin1String("apphttps://"));
    const bool appHttp = !appHttps && startsWithNoCase(href, QLatin1String("apphttp://"));
    const bool plain =
        startsWithNoCase(href, QLatin1String("http://")) || startsWithNoCase(href, QLatin1String("https://"));
    if (!appHttps && !appHttp && !plain)
        return std::nullopt;
    WebLink link;
    link.inAppWindow = appHttps;
    if (href.size() > kMaxLinkLength)
        return link;
    const QString address = (appHttps || appHttp) ? href.mid(3) : href;
    for (const QChar c : address) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return link;  // a line end or control character has no place in an address
    }
    QUrl url(address, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return link;
    link.url = url;
    return link;
}

Link classify(const QString& href)
{
    Link link;
    if (href.size() > kMaxLinkLength)
        return link;
    struct Prefix {
        QLatin1String text;
        LinkKind kind;
    };
    static const Prefix kPrefixes[] = {
        {QLatin1String("bible:"), LinkKind::Bible},
        {QLatin1String("book:"), LinkKind::Book},
        {QLatin1String("sync:"), LinkKind::Sync},
        {QLatin1String("note:"), LinkKind::Note},
    };
    for (const Prefix& p : kPrefixes) {
        if (startsWithNoCase(href, p.text)) {
            link.kind = p.kind;
            link.text = href.mid(p.text.size());
            return link;
        }
    }
    // A bare section number. Only positive numbers: a negative one would wrap to a huge section.
    if (const auto n = scanInteger(href, false); n && *n > 0) {
        link.kind = LinkKind::Section;
        link.section = static_cast<quint64>(*n);
    }
    return link;
}

BookLink parseBookLink(const QString& text)
{
    BookLink link;
    if (text.size() > kMaxLinkLength)
        return link;
    const QStringList parts = text.split(u'\\');
    link.partCount = static_cast<int>(parts.size());
    link.pubID = scanInteger(parts.value(0), true).value_or(0);
    link.bookID = parts.size() >= 2 ? scanInteger(parts.value(1), true).value_or(0) : 0;
    if (parts.size() >= 3)
        link.path = parts.mid(2).join(u'\\');
    return link;
}

NoteLink parseNoteLink(const QString& text)
{
    NoteLink link;
    if (text.size() == 13 && allDigits(text, 1, 12)) {
        const int book = static_cast<int>(digitsValue(text, 1, 3));
        const int chapter = static_cast<int>(digitsValue(text, 4, 3));
        const int verse = static_cast<int>(digitsValue(text, 7, 3));
        // Each field is one byte of the verse key: a larger number names no verse.
        if (book < 1 || book > 255 || chapter > 255 || verse > 255)
            return link;
        link.kind = NoteLink::Kind::BibleVerse;
        link.book = book;
        link.chapter = chapter;
        link.verse = verse;
    } else if (text.size() == 24 && allDigits(text, 1, 23)) {
        link.kind = NoteLink::Kind::BookSection;
        link.pubID = digitsValue(text, 1, 5);
        link.bookID = digitsValue(text, 6, 5);
        link.edition = digitsValue(text, 11, 3);
        link.section = digitsValue(text, 14, 10);
    }
    return link;
}

QString syncLookupText(const QString& text)
{
    const QStringList parts = text.split(u'\\');
    if (parts.size() >= 3)
        return parts.mid(2).join(u'\\');
    return text;
}

bool isStrongsNumber(const QString& text)
{
    if (text.size() < 2)
        return false;
    const char16_t first = text[0].unicode();
    const char16_t second = text[1].unicode();
    return (first == u'g' || first == u'G' || first == u'h' || first == u'H') && second >= u'0' && second <= u'9';
}

std::optional<qint64> scanInteger(const QString& text, bool sixtyFourBits)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const qsizetype digitsStart = i;
    quint64 value = 0;
    const quint64 limit = sixtyFourBits ? static_cast<quint64>(std::numeric_limits<qint64>::max())
                                        : static_cast<quint64>(std::numeric_limits<qint32>::max());
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        value = value * 10 + (u - u'0');
        if (value > limit + 1)
            return std::nullopt;  // out of range: not an integer of that width
    }
    if (i == digitsStart)
        return std::nullopt;
    if (!negative && value > limit)
        return std::nullopt;
    const qint64 v = static_cast<qint64>(value > limit ? limit : value);
    return negative ? (value > limit ? -v - 1 : -v) : v;
}

QString bookNotInstalledText(quint32 pubID, quint32 bookID)
{
    return QStringLiteral("Book with publisher ID %1 and book ID %2 not installed. If you own it, you can download it "
                          "from your Cloud Library (File > Cloud Library...).")
        .arg(pubID)
        .arg(bookID);
}

}  // namespace GoToLink
