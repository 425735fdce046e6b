// The book facade's daily readings and the texts that describe a book.

#include "documents/cDateDoc.h"
#include "library/LibraryNotifications.h"
#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"

// --- readings ----------------------------------------------------------------------------------

SimpleDate SourceTuple::dateForReadingNumber(quint32 number)
{
    SimpleDate date;
    if (const auto doc = dateDoc())
        doc->dateForReadingNumber(number, date.simpleDate());
    return date;
}

quint32 SourceTuple::sectionForReadingNumber(quint32 number)
{
    const auto doc = dateDoc();
    return doc == nullptr ? 0xFFFFFFFF : doc->sectionForReadingNumber(number);
}

quint32 SourceTuple::readingNumberForDate(const SimpleDate& date)
{
    const auto doc = dateDoc();
    return doc == nullptr ? 0 : doc->readingNumberForDate(date.simpleDate());
}

quint32 SourceTuple::readingNumberForSection(quint32 section)
{
    const auto doc = sourceDoc();
    return doc == nullptr ? 0 : doc->ReadingNumberForSection(section);
}

quint32 SourceTuple::firstUnreadReadingNumber()
{
    const auto doc = dateDoc();
    return doc == nullptr ? 0 : doc->FirstUnreadReadingNumber();
}

bool SourceTuple::isReadingComplete(quint32 number)
{
    const auto doc = dateDoc();
    return doc != nullptr && doc->IsReadingComplete(number);
}

void SourceTuple::toggleReadingNumber(quint32 number, bool notify)
{
    const auto doc = dateDoc();
    if (doc == nullptr)
        return;
    doc->ToggleReadingNumber(number);
    if (notify)
        NotificationCenter::defaultCenter().postNotificationName(
            LibraryNotifications::DevotionalProgressHasChangedNotification, this);
}

void SourceTuple::setStartDate(const SimpleDate& date)
{
    if (const auto doc = dateDoc())
        doc->setStartDate(date.simpleDate(), true);
}

SimpleDate SourceTuple::startDate()
{
    const auto doc = dateDoc();
    return doc == nullptr ? SimpleDate() : SimpleDate(doc->startDate());
}

void SourceTuple::resetProgress()
{
    if (const auto doc = dateDoc())
        doc->ResetProgress();
}

quint32 SourceTuple::numReadReadings()
{
    const auto doc = dateDoc();
    return doc == nullptr ? 0 : doc->NumReadReadings();
}

// --- book texts --------------------------------------------------------------------------------

QString SourceTuple::citation(bool escapeName) const
{
    const QString name = escapeName ? m_name.toHtmlEscaped() : m_name;
    QString publisher;
    if (!m_publisher.isEmpty())
        publisher = m_publisherDate.isEmpty() ? m_publisher + QStringLiteral(".") : m_publisher + QStringLiteral(", ");
    return QStringLiteral("%1\u201C%2\u201D. %3%4%5")
        .arg(m_author.isEmpty() ? QString() : m_author + QStringLiteral(". "), name,
            m_publisherCity.isEmpty() ? QString() : m_publisherCity + QStringLiteral(": "), publisher,
            m_publisherDate.isEmpty() ? QString() : m_publisherDate + QStringLiteral("."));
}

QString SourceTuple::bibliographicCitation() const
{
    return citation(false);
}

QString SourceTuple::aboutThisBookContents()
{
    // Titles, the path and the Bible-books list are plain text and are escaped; the bibliographic
    // texts are the book's own HTML, already filtered when the record was made.
    QString html;
    html.reserve(1024);
    html += QStringLiteral("<p align='center'><b>%1%2 (%3)</b></p>")
                .arg(m_name.toHtmlEscaped(),
                    m_subtitle.isEmpty() ? QString() : QStringLiteral(": %1").arg(m_subtitle.toHtmlEscaped()),
                    m_abbr.toHtmlEscaped());
    // html-safe: the name escaped, the rest the book's own HTML filtered when the record was read
    html += QStringLiteral("<p>%1</p>").arg(citation(true));
    // html-safe: the book's own HTML, filtered when the record was read
    html += m_copyrightText.isEmpty() ? QStringLiteral("<p>No copyright notice available.</p>")
                                      : QStringLiteral("<p>%1</p>").arg(m_copyrightText);
    html += QStringLiteral("<hr />");
    // html-safe: numbers
    html += QStringLiteral("<p>Book Identifier: %1:%2:%3:%4<br />")
                .arg(m_pubID)
                .arg(m_bookID)
                .arg(m_editionNumber)
                .arg(m_revisionNumber);
    // html-safe: numbers
    html += QStringLiteral("Minimum Book Reader Engine: %1.%2 (you have %3.%4)<br />")
                .arg(m_minVerMaj)
                .arg(m_minVerMin, 3, 10, QLatin1Char('0'))
                .arg(1)
                .arg(78, 3, 10, QLatin1Char('0'));
    // html-safe: numbers
    html += QStringLiteral("Book File Format: %1.%2</p>").arg(m_fileVerMaj).arg(m_fileVerMin, 3, 10, QLatin1Char('0'));
    html += QStringLiteral("<p>This book is ");
    const QString noVerses = m_noVerseNums
        ? QStringLiteral(" The copyright owner prefers that we not display verse numbers in this Bible.")
        : QString();
    const qint64 k = kind();
    switch (k) {
    case 0:
        html += QStringLiteral("an unknown kind.</p>");
        break;
    case kKindBible:
        // html-safe: a literal, chosen above
        html += QStringLiteral("a Bible.%1</p>").arg(noVerses);
        break;
    case kKindStrongsBible:
        // html-safe: a literal, chosen above
        html += QStringLiteral("a Bible with Strong's numbers.%1</p>").arg(noVerses);
        break;
    case kKindWordAttributeBible:
        if (m_numWordAttributeDefinitions > 0) {
            // html-safe: a literal, chosen above
            html += QStringLiteral("a Bible with word attributes.%1</p><p>Attributes:").arg(noVerses);
            for (qint64 i = 0; i < m_numWordAttributeDefinitions; ++i)
                html += QStringLiteral("<br />%1").arg(humanReadableNameForAttribute(i).toHtmlEscaped());
            html += QStringLiteral("</p>");
        } else if (docSupports(::kDocSupportsStrongsHebrew) || docSupports(::kDocSupportsStrongsGreek)) {
            // html-safe: a literal, chosen above
            html += QStringLiteral("a Bible with Strong's word numbers.%1</p><p>Contains:").arg(noVerses);
            if (docSupports(::kDocSupportsStrongsHebrew))
                html += QStringLiteral("<br />Hebrew word numbers");
            if (docSupports(::kDocSupportsStrongsGreek))
                html += QStringLiteral("<br />Greek word numbers");
            html += QStringLiteral("</p>");
        } else {
            // html-safe: a literal, chosen above
            html +=
                QStringLiteral("a Bible that claims to have word attributes, but none were found!%1</p>").arg(noVerses);
        }
        break;
    case kKindCommentary:
        html += QStringLiteral("a commentary.</p>");
        break;
    case kKindDevotional:
        // html-safe: a number
        html += QStringLiteral("a devotional with %1 readings.</p>").arg(m_numReadings);
        break;
    case kKindDictionary:
        html += QStringLiteral("a dictionary.</p>");
        break;
    case kKindStrongsDictionary:
        html += QStringLiteral("a dictionary that includes definitions of Strong's numbers.</p>");
        break;
    case kKindOther:
        html += QStringLiteral("not indexed by word, verse, or date; just a table of contents.</p>");
        break;
    case kKindCrossReferenceCommentary:
        html += QStringLiteral("a commentary with a large number of cross-references.</p>");
        break;
    case kKindWordAttributeDictionary:
        html += QStringLiteral(
            "a dictionary containing definitions of word attributes found in other books in your library.</p>");
        break;
    default:
        html += QStringLiteral("an unknown kind.</p>");
        break;
    }
    if ((k == kKindBible || k == kKindStrongsBible || k == kKindWordAttributeBible) && !m_bibleBooks.isEmpty()) {
        QString books = m_bibleBooks;
        books.replace(QLatin1Char(','), QStringLiteral(", "));
        html += QStringLiteral("<p>Custom versification: %1</p>").arg(books.toHtmlEscaped());
    }
    html += QStringLiteral("<p>Base language is %1.</p>").arg(m_bookLanguageString.toHtmlEscaped());
    if (m_ignoreIntraBookSync)
        html += QStringLiteral("<p>This book ignores its own 'sync' links to reduce confusion.</p>");
    html += QStringLiteral("<p>Path: %1</p>").arg(m_filepath.toHtmlEscaped());
    return html;
}
