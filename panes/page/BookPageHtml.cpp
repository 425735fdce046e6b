#include "panes/page/BookPageHtml.h"

#include "panes/page/BookPageBlocks.h"

#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>

namespace {

const QString kDoctype = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
                                        "\"http://www.w3.org/TR/html4/loose.dtd\">");

// Only the page script (by its nonce) may run; styles, fonts and images come from the page or its
// own host; requests go only to the bridge host, which serves nothing else.
QString securityPolicy(const QString& nonce)
{
    // html-safe: the nonce is a random number in hexadecimal
    return QStringLiteral("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                          "script-src 'nonce-%1'; style-src 'unsafe-inline' qsbook://page; "
                          "img-src qsbook://page data:; font-src qsbook://page data:; media-src 'none'; "
                          "object-src 'none'; frame-src 'none'; connect-src qsbook://bridge; form-action 'none'; "
                          "base-uri 'none'\">")
        .arg(nonce);
}

}  // namespace

QString BookPageHtml::nonScrollingHtmlHeader(const Frame& frame)
{
    QString s;
    s.reserve(512 + frame.css.size() + frame.script.size());
    s += kDoctype;
    s += QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html;charset=utf-8\">");
    s += securityPolicy(frame.nonce);
    s += QStringLiteral("<title>***TITLE***</title>");
    s += QStringLiteral("<style type=\"text/css\">");
    s += frame.css;
    s += QStringLiteral("</style>");
    // A read reading's header carries a check mark as well as its colour (the page script changes
    // the class as the reading is marked).
    s += QStringLiteral("<style type=\"text/css\">div.devoread b::before {content:\"\\2713\\00A0\";}</style>");
    // html-safe: the nonce is a random number in hexadecimal
    s += QStringLiteral("<script language=\"javascript\" nonce=\"%1\">").arg(frame.nonce);
    s += QStringLiteral("var sourceTupleString = %1;\r").arg(scriptString(frame.identity));
    s += QStringLiteral("var webViewSerialNumber = %1;\r").arg(frame.serial);
    s += QStringLiteral("var qsBridgeBase = %1;\r").arg(scriptString(frame.bridgeBase));
    s += QStringLiteral("var qsFrameKey = %1;\r").arg(scriptString(frame.frameKey));
    s += QStringLiteral("var qsBatchMost = %1;\r").arg(BookPageBlocks::kMaxBlocksPerFetch);
    s += frame.script;
    s += QStringLiteral("</script>");
    s += QStringLiteral("</head><body id='body'>");
    return s;
}

QString BookPageHtml::nonScrollingHtmlFooter()
{
    return QStringLiteral("</body></html>");
}

QString BookPageHtml::htmlHeader(const Frame& frame)
{
    return nonScrollingHtmlHeader(frame) +
        QStringLiteral("<div style='clear:both' id='topwhitespace'></div>"
                       "<div style='clear:both' id='startofpage'>Loading...</div>");
}

QString BookPageHtml::bookPage(
    const Frame& frame, qint64 first, const QStringList& blocksHtml, const QString& target, qint64 offset)
{
    QString s = htmlHeader(frame);
    qsizetype size = 0;
    for (const QString& html : blocksHtml)
        size += html.size() + 8;
    s.reserve(8192 + s.size() + size);
    s += QStringLiteral("<div style='clear:both' id='endofpage'>Loading...</div>"
                        "<div style='clear:both' id='bottomwhitespace'></div>");
    // The blocks join the page through the script, after the script holds the frame's elements.
    // html-safe: the nonce is a random number in hexadecimal, the first block a number
    s += QStringLiteral("<script nonce=\"%1\">qsStartPage(%2, [").arg(frame.nonce).arg(first);
    for (qsizetype i = 0; i < blocksHtml.size(); ++i) {
        if (i > 0)
            s += QLatin1Char(',');
        s += scriptString(blocksHtml[i]);
    }
    // html-safe: a script string literal (no "</" in it) and a number
    s += QStringLiteral("], %1, %2);</script>").arg(scriptString(target)).arg(offset);
    s += nonScrollingHtmlFooter();
    return s;
}

QString BookPageHtml::invalidLocationPage(const Frame& frame, const QString& description)
{
    return nonScrollingHtmlHeader(frame) +
        QStringLiteral("<p><i>Invalid Location: %1</i></p>").arg(description.toHtmlEscaped()) +
        nonScrollingHtmlFooter();
}

QString BookPageHtml::emptyPanePage(const Frame& frame)
{
    return nonScrollingHtmlHeader(frame) +
        QStringLiteral("<p>&nbsp;</p><p align='center'>No books open in this pane</p><p align='center'>To open a "
                       "book, choose the + button at the top of the pane or <b>Open Book</b> from the "
                       "<b>File</b> menu.") +
        nonScrollingHtmlFooter();
}

QString BookPageHtml::readingHeader(quint32 reading, bool complete, const QString& dateText, const QString& frameKey)
{
    // html-safe: the reading is a number; the rest are literals or escaped
    return QStringLiteral("<div id=\"_reading%1_%4\" class=\"%2\" align=\"center\"><b>%3</b><br /><i>Tap to "
                          "Mark as 'Read' or 'Unread'</i></div>")
        .arg(reading)
        .arg(complete ? QStringLiteral("devoread") : QStringLiteral("devounread"))
        .arg(dateText.toHtmlEscaped(), frameKey.toHtmlEscaped());
}

quint32 BookPageHtml::bibleKeyFromDataVerseSpan(const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1String("_s"));
    if (at < 0)
        return 0;
    const QStringList parts = text.mid(at + 2).split(QLatin1Char('.'));
    quint32 key = 0;
    for (int i = 0; i < 3; ++i) {
        int value = 0;
        if (i < parts.size()) {
            // Leading digits only, as a scanner reads an integer.
            const QString& p = parts[i];
            qsizetype n = 0;
            while (n < p.size() && n < 9 && p[n].isDigit())
                ++n;
            value = p.left(n).toInt();
        }
        key = key * 256 + static_cast<quint32>(value & 0xFF);
    }
    return key;
}

QString BookPageHtml::verseAnchor(quint32 key)
{
    return QStringLiteral("_s%1.%2.%3").arg((key >> 16) & 0xFF).arg((key >> 8) & 0xFF).arg(key & 0xFF);
}

QString BookPageHtml::unescapeLinkText(const QString& text)
{
    static const std::pair<const char*, char16_t> kEscapes[] = {
        {"@@bs@@", u'\\'},
        {"@@apos@@", u'\''},
        {"@@quot@@", u'"'},
        {"@@backspace@@", u'\b'},
        {"@@formfeed@@", u'\f'},
        {"@@newline@@", u'\n'},
        {"@@return@@", u'\r'},
        {"@@tab@@", u'\t'},
        {"@@verticaltab@@", u'\v'},
    };
    QString s = text;
    for (const auto& [escape, c] : kEscapes)
        s.replace(QLatin1String(escape), QString(QChar(c)));
    return s;
}

QString BookPageHtml::scriptCall(const QString& name, const QJsonArray& arguments)
{
    // An array's JSON text is the argument list in brackets.
    const QByteArray list = QJsonDocument(arguments).toJson(QJsonDocument::Compact);
    return name + QLatin1Char('(') + QString::fromUtf8(list.mid(1, list.size() - 2)) + QLatin1Char(')');
}

QString BookPageHtml::pageScript()
{
    static const QString script =
        scriptWithBridge(QStringList {QStringLiteral(":/page/Utilities.js"), QStringLiteral(":/page/Render.js")});
    return script;
}

QString BookPageHtml::scriptWithBridge(const QString& resource)
{
    return scriptWithBridge(QStringList {resource});
}

QString BookPageHtml::scriptWithBridge(const QStringList& resources)
{
    QFile bridge(QStringLiteral(":/page/Bridge.js"));
    if (!bridge.open(QIODevice::ReadOnly))
        return QString();
    QByteArray script = bridge.readAll();
    for (const QString& resource : resources) {
        QFile file(resource);
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        script += '\n' + file.readAll();
    }
    return QString::fromUtf8(script);
}

QString BookPageHtml::newNonce()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof words).toBase64());
}

QString BookPageHtml::newKey()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex());
}

QString BookPageHtml::scriptString(const QString& text)
{
    // JSON text is a script literal; "<" escaped, so that no "</script" or "<!--" ends or changes the
    // script element around it.
    const QByteArray list = QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact);
    QString literal = QString::fromUtf8(list.mid(1, list.size() - 2));
    literal.replace(QLatin1Char('<'), QLatin1String("\\u003c"));
    return literal;
}
