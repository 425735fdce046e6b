#include "reports/AutoStudyReport.h"

#include "reports/AutoStudyManager.h"

#include "library/SourceManager.h"
#include "search/core/BitVector.h"
#include "search/core/SearchSpecification.h"
#include "search/core/cBitVector.h"
#include "search/execution/SearchRun.h"
#include "search/execution/SourceTupleSearchBook.h"

using namespace autostudy;

// The word report -----------------------------------------------------------------------------------

namespace {

struct AttributeGroup {
    QString description;
    QString displayPrefix;
    QString syncPrefix;
    QString linkType;
    QStringList attributes;
};

void addAttribute(QList<AttributeGroup>& groups, const QVariantMap& entry)
{
    const QString description = entry.value(QStringLiteral("description")).toString();
    const QString displayPrefix = entry.value(QStringLiteral("displayPrefix")).toString();
    const QString syncPrefix = entry.value(QStringLiteral("syncPrefix")).toString();
    const QString linkType = entry.value(QStringLiteral("linkType")).toString();
    const QString attribute = entry.value(QStringLiteral("attribute")).toString();
    for (AttributeGroup& g : groups) {
        if (g.description == description && g.displayPrefix == displayPrefix && g.syncPrefix == syncPrefix &&
            g.linkType == linkType) {
            mergeSorted(g.attributes, {attribute});
            return;
        }
    }
    groups.append({description, displayPrefix, syncPrefix, linkType, {attribute}});
}

QString countLine(quint32 count, const SourceTuple& book, const QString& tail)
{
    return QStringLiteral("%1 %2 in %3 (%4)%5<br />")
        .arg(QString::number(count), count == 1 ? QStringLiteral("verse") : QStringLiteral("verses"),
            book.record().name.toHtmlEscaped(), book.record().abbr.toHtmlEscaped(), tail.toHtmlEscaped());
}

// The verses that hold the word, as Find's exact match finds them: letter case, accents and
// apostrophes aside ("corazon" counts the verses of "corazón").
quint32 versesHoldingWord(const QString& word, const SourceTuple::Ptr& book)
{
    const auto searchBook = SourceTupleSearchBook::forTuple(book);
    if (searchBook == nullptr)
        return 0;
    SearchOptions options;
    options.interpretation = kInterpretationExact;
    options.wordform = kWordFormExact;
    const std::unique_ptr<BitVector> hits =
        searchrun::searchResults(SearchSpecification(word.toStdU16String()), *searchBook, options, 1);
    if (hits == nullptr)
        return 0;
    if (!book->isABible())
        return hits->count(true);
    // A Bible's count is of its verses, not of a preface or a book's introduction.
    quint32 verses = 0;
    for (quint32 s = hits->first(true); s != cBitVector::kNone; s = hits->nextAfter(s, true))
        if ((book->locations().keyForSection(s) & 0xFF) != 0)
            ++verses;
    return verses;
}

}  // namespace

QString AutoStudyWordReport::resultsFile(const QString& word, const SourceTuple::Ptr& source, int limitToElement)
{
    if (word.isEmpty() || !AutoStudyManager::shouldLookupWord(word))
        return QString();
    const PassageOptions config = reportPassageOptions();
    ReportFile report(
        m_manager, QStringLiteral("<div class=\"title\">Word Study on \"%1\"</div>").arg(word.toHtmlEscaped()));
    auto allPtr = m_library.allSources();
    const SourceTupleArray empty;
    const SourceTupleArray& all = allPtr ? *allPtr : empty;
    const auto findInstalled = [&](AutoStudyBook& entry) { return m_manager.lookupBook(entry, all, false); };

    AutoStudyElementList& wordList = m_elements.wordStudyElements();
    QList<AttributeGroup> groups;
    if (limitToElement == 0 || limitToElement == AutoStudyElements::BiblesWithWordAttributesID ||
        limitToElement == AutoStudyElements::WordAttributeDictionariesID) {
        forEachAttributeBible(wordList, findInstalled, [&](const SourceTuple::Ptr& book) {
            if (auto entries = book->words().wordAttributesForWord(word))
                for (const QVariantMap& e : *entries)
                    addAttribute(groups, e);
        });
    }

    bool attributesWritten = false;
    for (AutoStudyElement& element : wordList) {
        if (!elementAsked(element, limitToElement))
            continue;
        const int id = element.elementID;
        bool summaryOpened = false;
        forEachBook(element, ChosenBooks::Checked, findInstalled, [&](const SourceTuple::Ptr& book) {
            switch (id) {
            case AutoStudyElements::BiblesID: {
                if (!summaryOpened)
                    report.append(QStringLiteral("<div class=\"subtitle\">Search Summary</div><p>"));
                summaryOpened = true;
                report.append(countLine(versesHoldingWord(word, book), *book, QString()));
                BitVector hits(quint32(book->numSections()));
                if (const quint32 n = book->words().resultsFromWordAttributeConcordanceForWord(word, hits))
                    report.append(countLine(n, *book, QStringLiteral(" as a word attribute")));
                const QChar first = word.at(0).toLower();
                if (first == QLatin1Char('h')) {
                    hits.clearAll();
                    if (const quint32 n = book->words().resultsFromStrongsHebrewConcordanceForWord(word.mid(1), hits))
                        report.append(countLine(n, *book, QStringLiteral(" as Strong's Hebrew word number")));
                } else if (first == QLatin1Char('g')) {
                    hits.clearAll();
                    if (const quint32 n = book->words().resultsFromStrongsGreekConcordanceForWord(word.mid(1), hits))
                        report.append(countLine(n, *book, QStringLiteral(" as Strong's Greek word number")));
                }
                report.cite(book);
                break;
            }
            case AutoStudyElements::BiblesWithWordAttributesID: {
                report.cite(book);
                if (attributesWritten)
                    break;
                attributesWritten = true;
                report.append(QStringLiteral("<div class=\"subtitle\">Related Word Attributes</div>\n"));
                if (groups.isEmpty()) {
                    report.append(QStringLiteral("<p>None found.</p>"));
                    break;
                }
                for (const AttributeGroup& g : groups) {
                    QString line =
                        QStringLiteral("<div class=\"sourcetitle\">%1</div>\n<p>").arg(g.description.toHtmlEscaped());
                    for (qsizetype i = 0; i < g.attributes.size(); ++i)
                        line += (i == 0 ? QString() : QStringLiteral(", ")) +
                            (g.displayPrefix + g.attributes.at(i)).toHtmlEscaped();
                    // html-safe: the line built above, its texts escaped
                    report.append(line + QStringLiteral("</p>\n"));
                }
                break;
            }
            case AutoStudyElements::DictionariesID: {
                if (!source || book->record().bookLanguage != source->record().bookLanguage)
                    break;
                const QString html = m_manager.dictionaryEntryHtml(book, word, false, config);
                if (html.isEmpty())
                    break;
                report.append(QStringLiteral("<div class=\"subtitle\">Definitions from %1</div>")
                                  .arg(book->record().name.toHtmlEscaped()));
                report.append(html);
                report.cite(book);
                break;
            }
            case AutoStudyElements::WordAttributeDictionariesID: {
                bool bookHeaded = false;
                for (const AttributeGroup& g : groups) {
                    if (!g.linkType.startsWith(QStringLiteral("sync:")))
                        continue;
                    bool groupHeaded = false;
                    for (const QString& value : g.attributes) {
                        const QString html = m_manager.dictionaryEntryHtml(book, g.syncPrefix + value, false, config);
                        if (html.isEmpty())
                            continue;
                        report.appendUnder(bookHeaded,
                            QStringLiteral("<div class=\"subtitle\">Word Attribute Definitions from %1</div>\n")
                                .arg(book->record().name.toHtmlEscaped()),
                            QString());
                        report.appendUnder(groupHeaded,
                            QStringLiteral("<div class=\"sourcetitle\">%1</div>\n").arg(g.description.toHtmlEscaped()),
                            html);
                        report.cite(book);
                    }
                }
                break;
            }
            default:
                break;
            }
        });
    }

    return report.finish();
}
