#include "panes/page/LinkPreview.h"

#include "engine/references/cBibleRef.h"
#include "library/EngineStrings.h"
#include "library/GoToLink.h"
#include "library/GoToRequest.h"
#include "panes/page/SourceTupleBookPageSource.h"
#include "platform/MainThread.h"
#include "platform/ui/ContentTextDocument.h"
#include "userdata/NoteText.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/cNoteDoc.h"

#include <QRegularExpression>

#include <limits>

namespace {

// Longest preview text read through the fallback formatter.
constexpr qsizetype kMaxFallbackText = 20000;
// The part of a note's HTML read for its preview: enough for its first lines.
constexpr qsizetype kNoteHtmlRead = 64 * 1024;

}  // namespace

LinkPreview::LinkPreview(LinkResolver resolver, PassageFormatter formatter, NoteSource notes)
    : m_resolver(std::move(resolver)), m_formatter(std::move(formatter)), m_notes(std::move(notes))
{
}

void LinkPreview::clearLinkResolver()
{
    m_resolver = {};
    m_notes = {};
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
        return notePreview(s.mid(5));
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

QString LinkPreview::noteFirstLines(const QString& html)
{
    const QString head = html.left(kNoteHtmlRead);
    if (NoteText::showsNothing(std::u16string_view(reinterpret_cast<const char16_t*>(head.utf16()), head.size())))
        return QString();
    // Paragraphs and breaks are lines, no-break spaces are spaces, pictures are left out; empty lines go.
    QString text = ContentTextDocument::plainText(head);
    text.replace(QChar::Nbsp, QLatin1Char(' ')).replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.remove(QChar::ObjectReplacementCharacter);  // where a picture stood
    QStringList lines;
    bool cut = head.size() < html.size();
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.simplified();
        if (trimmed.isEmpty())
            continue;
        if (lines.size() == kNotePreviewLines) {
            cut = true;
            break;
        }
        lines.append(trimmed);
    }
    QString out = lines.join(QLatin1Char('\n'));
    if (out.size() > kNotePreviewChars) {
        out.truncate(kNotePreviewChars);
        // Not in the middle of a word when a space is near.
        const qsizetype space = out.lastIndexOf(QLatin1Char(' '));
        if (space > kNotePreviewChars - 40)
            out.truncate(space);
        cut = true;
    }
    if (out.isEmpty())
        return QString();
    return cut ? out.trimmed() + QStringLiteral(" \u2026") : out;
}

QString LinkPreview::notePreview(const QString& link) const
{
    // A note that could not be read (another program holds the database, or held it when the notes
    // were opened) is said so, never shown as a note with nothing in it.
    const QString unreadable =
        QStringLiteral("This note could not be read yet: another program holds the notes database.");
    cNoteDoc* notes = m_notes ? m_notes() : nullptr;
    if (notes == nullptr)
        return QString();
    if (!notes->IsOpen())
        return unreadable;
    const GoToLink::NoteLink note = GoToLink::parseNoteLink(link);
    const SQLiteFailure::Watch watch;
    switch (note.kind) {
    case GoToLink::NoteLink::Kind::BibleVerse: {
        cBibleNote record;
        if (!notes->readBibleNoteInReference(cBibleRef(note.key()), record) || record.deleted != 0)
            return watch.failed() ? unreadable : QString();
        return noteFirstLines(EngineStrings::fromUtf16(record.note));
    }
    case GoToLink::NoteLink::Kind::BookSection: {
        if (note.pubID > 0xFFFF || note.bookID > 0xFFFF || note.edition > 0xFF || note.section > 0x7FFFFFFF)
            return QString();
        cBookNote record;
        if (!notes->readBookNote(
                quint16(note.pubID), quint16(note.bookID), quint8(note.edition), qint32(note.section), record) ||
            record.deleted != 0)
            return watch.failed() ? unreadable : QString();
        return noteFirstLines(EngineStrings::fromUtf16(record.note));
    }
    case GoToLink::NoteLink::Kind::None:
        break;
    }
    return QString();
}
