#include "panes/page/LinkPreview.h"

#include "library/GoToRequest.h"
#include "panes/page/SourceTupleBookPageSource.h"
#include "platform/MainThread.h"
#include "platform/ui/ContentTextDocument.h"

#include <QRegularExpression>

#include <limits>

namespace {

// Longest preview text read through the fallback formatter.
constexpr qsizetype kMaxFallbackText = 20000;

}  // namespace

LinkPreview::LinkPreview(LinkResolver resolver, PassageFormatter formatter)
    : m_resolver(std::move(resolver)), m_formatter(std::move(formatter))
{
}

void LinkPreview::clearLinkResolver()
{
    m_resolver = {};
}

PassageOptions LinkPreview::previewTextOptions()
{
    PassageOptions options;
    options.display.omitStrongsNumbers = true;
    options.display.omitUserNoteLinks = true;
    options.display.omitFootnotes = true;
    options.plainVerseDelimiters = 1;
    return options;
}

QString LinkPreview::unwrapLink(const QString& href)
{
    QString s = href;
    if (s.startsWith(QLatin1String("javascript:")))
        s.remove(0, 11);
    if ((s.startsWith(QLatin1String("href('")) && s.endsWith(QLatin1String("');"))) ||
        (s.startsWith(QLatin1String("href(\"")) && s.endsWith(QLatin1String("\");")))) {
        if (s.size() >= 9)
            s = s.mid(6, s.size() - 9);
    }
    return s;
}

quint32 LinkPreview::sectionPreviewEnd(BookPageSource& book, quint32 start)
{
    const quint64 count = book.numSections();
    const qint64 level = book.tocLevelForSection(start);
    quint32 end = start;
    for (quint64 c = static_cast<quint64>(start) + 1; c < count; ++c) {
        if (book.tocLevelForSection(static_cast<quint32>(c)) <= level)
            return static_cast<quint32>(c - 1);
        if (c - start > 24)
            return static_cast<quint32>(c);
        end = static_cast<quint32>(c);
    }
    return end;
}

QString LinkPreview::plainTextOfSections(BookPageSource& book, quint32 start, quint32 end)
{
    if (start == 0 || end < start)
        return QString();
    const quint32 first = book.blockForSection(start);
    quint32 last =
        end + 1 < book.numSections() ? book.blockForSection(end + 1) : static_cast<quint32>(book.numBlocks());
    if (first == BookPageSource::kNoBlock)
        return QString();
    if (last == BookPageSource::kNoBlock || last <= first)
        last = first + 1;
    DisplayOptions fallback;
    fallback.omitUserNoteLinks = true;
    fallback.omitStrongsNumbers = true;
    QString html;
    for (quint32 b = first; b < last && html.size() < kMaxFallbackText * 4; ++b)
        html += book.htmlTextForBlock(b, fallback);
    // Notes and their markers are no part of the passage.
    html.remove(QRegularExpression(QStringLiteral("<a [^>]*class='footnotetoggle'[^>]*>.*?</a>|<span id='_fn\\d+' "
                                                  "class='footnote'>.*?</span>")));
    return ContentTextDocument::plainText(html).left(kMaxFallbackText);
}

QString LinkPreview::stringForPopupFromHref(const QString& href) const
{
    QS_ASSERT_MAIN_THREAD();
    const QString s = unwrapLink(href);
    if (s.startsWith(QLatin1String("note:")))
        return QString();  // user notes have no preview
    if (!m_resolver)
        return QString();
    GoToRequest request;
    request.href = s;
    request.preferPreferredBible = true;
    request.noAlerts = true;
    m_resolver(request);
    if (request.alertText && !request.alertText->isEmpty())
        return *request.alertText;
    if (!request.sourceTuple)
        return QString();
    const auto toSection = [](const std::optional<quint64>& n) {
        return n && *n <= std::numeric_limits<quint32>::max() ? static_cast<quint32>(*n) : 0u;
    };
    const quint32 start = toSection(request.section);
    const quint32 endNumber = toSection(request.endSectionNumber);
    quint32 end = endNumber != 0 ? endNumber : start;
    if (start == 0)
        return QString();
    SourceTupleBookPageSource book(request.sourceTuple);
    if (!book.isABible())
        end = sectionPreviewEnd(book, start);
    const QString text = m_formatter ? m_formatter(request.sourceTuple, start, end, previewTextOptions())
                                     : plainTextOfSections(book, start, end);
    return text.trimmed();
}
