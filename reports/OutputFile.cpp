#include "reports/OutputFile.h"

#include "platform/AppFolders.h"

#include <QDir>
#include <QUuid>

#include <utility>
#include <vector>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Whether `html` holds `word` (lower case) at `at`, in any case.
bool hasAt(const QByteArray& html, qsizetype at, const char* word)
{
    for (qsizetype i = 0; word[i] != 0; ++i)
        if (at + i >= html.size() || lower(html[at + i]) != word[i])
            return false;
    return true;
}

// Whether the element `name` ("a", "/a", "script") starts at `at`: its name after the "<", then a
// space, ">" or "/".
bool startsTag(const QByteArray& html, qsizetype at, const char* name)
{
    if (at >= html.size() || html[at] != '<')
        return false;
    qsizetype i = at + 1;
    for (const char* c = name; *c != 0; ++c, ++i)
        if (i >= html.size() || lower(html[i]) != *c)
            return false;
    return i < html.size() && (isSpace(html[i]) || html[i] == '>' || html[i] == '/');
}

// The end of the tag that starts at `at` (just past its ">"), quoted values skipped; the text's end
// when the tag is not closed.
qsizetype tagEnd(const QByteArray& html, qsizetype at)
{
    char quote = 0;
    for (qsizetype i = at + 1; i < html.size(); ++i) {
        const char c = html[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return html.size();
}

// The value of the tag's href attribute; nullopt-like: `found` false when it has none.
QByteArray hrefOf(const QByteArray& tag, bool* found)
{
    *found = false;
    for (qsizetype i = 2; i + 4 <= tag.size(); ++i) {
        if (!isSpace(tag[i - 1]) || !hasAt(tag, i, "href"))
            continue;
        qsizetype j = i + 4;
        while (j < tag.size() && isSpace(tag[j]))
            ++j;
        if (j >= tag.size() || tag[j] != '=')
            continue;
        ++j;
        while (j < tag.size() && isSpace(tag[j]))
            ++j;
        *found = true;
        if (j < tag.size() && (tag[j] == '"' || tag[j] == '\'')) {
            const qsizetype close = tag.indexOf(tag[j], j + 1);
            return tag.mid(j + 1, (close < 0 ? tag.size() : close) - j - 1);
        }
        qsizetype end = j;
        while (end < tag.size() && !isSpace(tag[end]) && tag[end] != '>')
            ++end;
        return tag.mid(j, end - j);
    }
    return QByteArray();
}

// Whether a browser can follow the link outside the reader.
bool worksOutsideTheReader(QByteArray href)
{
    href = href.trimmed().toLower();
    if (href.startsWith('#'))
        return true;
    for (const char* scheme : {"http:", "https:", "mailto:", "ftp:"})
        if (href.startsWith(scheme))
            return true;
    return false;
}

}  // namespace

QByteArray OutputFile::withReaderLinksAsText(const QByteArray& html)
{
    QByteArray out;
    out.reserve(html.size());
    // For each "a" element open at this point: whether its tags were left out.
    std::vector<bool> open;
    qsizetype i = 0;
    while (i < html.size()) {
        const qsizetype lt = html.indexOf('<', i);
        if (lt < 0) {
            out.append(html.mid(i));
            break;
        }
        out.append(html.mid(i, lt - i));
        // Comments, scripts and style sheets are copied as they are.
        if (hasAt(html, lt, "<!--")) {
            const qsizetype close = html.indexOf("-->", lt + 4);
            const qsizetype end = close < 0 ? html.size() : close + 3;
            out.append(html.mid(lt, end - lt));
            i = end;
            continue;
        }
        const qsizetype end = tagEnd(html, lt);
        bool raw = false;
        for (const auto& [element, closing] : {std::pair {"script", "/script"}, std::pair {"style", "/style"}}) {
            if (!startsTag(html, lt, element))
                continue;
            qsizetype close = end;
            while ((close = html.indexOf('<', close)) >= 0 && !startsTag(html, close, closing))
                ++close;
            const qsizetype stop = close < 0 ? html.size() : close;
            out.append(html.mid(lt, stop - lt));
            i = stop;
            raw = true;
            break;
        }
        if (raw)
            continue;
        const QByteArray tag = html.mid(lt, end - lt);
        if (startsTag(html, lt, "a")) {
            bool hasHref = false;
            const QByteArray href = hrefOf(tag, &hasHref);
            const bool drop = hasHref && !worksOutsideTheReader(href);
            open.push_back(drop);
            if (!drop)
                out.append(tag);
        } else if (startsTag(html, lt, "/a")) {
            const bool drop = !open.empty() && open.back();
            if (!open.empty())
                open.pop_back();
            if (!drop)
                out.append(tag);
        } else {
            out.append(tag);
        }
        i = end;
    }
    return out;
}

OutputFile::~OutputFile()
{
    close();
    m_filename.clear();
}

QString OutputFile::folder()
{
    return AppFolders::cacheDirectory() + QStringLiteral("/Autostudy");
}

QString OutputFile::generateFilename()
{
    const QString dir = folder();
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
        QStringLiteral(".htm");
}

void OutputFile::openNew()
{
    close();
    m_filename = generateFilename();
    open();
}

void OutputFile::open()
{
    close();
    if (m_filename.isEmpty())
        return;
    auto file = std::make_unique<QFile>(m_filename);
    if (file->open(QIODevice::ReadWrite | QIODevice::Append))
        m_file = std::move(file);
}

void OutputFile::close()
{
    if (m_file)
        m_file->close();
    m_file.reset();
}

void OutputFile::discard()
{
    close();
    if (!m_filename.isEmpty())
        QFile::remove(m_filename);
}

void OutputFile::appendString(const QString& text)
{
    if (m_file)
        m_file->write(text.toUtf8());
}

bool OutputFile::isEmpty()
{
    if (!m_file)
        return true;
    m_file->flush();
    return m_file->size() == 0;
}
