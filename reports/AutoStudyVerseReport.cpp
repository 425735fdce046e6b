#include "reports/AutoStudyReport.h"

#include "reports/AutoStudyManager.h"
#include "reports/CopyPassageCopier.h"

#include "engine/references/BibleRef.h"
#include "library/EngineStrings.h"
#include "library/SourceManager.h"
#include "userdata/cNoteDoc.h"

#include <QSet>

using namespace autostudy;

namespace {

bool sameBook(const SourceTuple& a, const SourceTuple& b)
{
    return a.record().pubID == b.record().pubID && a.record().bookID == b.record().bookID;
}

// A commentary that is also a cross-reference book stands in both elements: its article is printed
// under whichever comes first, and the other lists only what is new (its linked passages).
QString articleKey(const SourceTuple& book, const SectionRange& r)
{
    return QStringLiteral("%1:%2:%3:%4").arg(book.record().pubID).arg(book.record().bookID).arg(r.start()).arg(r.end());
}

}  // namespace

QString AutoStudyVerseReport::resultsFile(const BibleRef& ref, const SourceTuple::Ptr& bible, int limitToElement)
{
    m_ref = &ref;
    m_bible = bible;
    PassageOptions& config = m_config;
    config = reportPassageOptions();
    config.display.omitUserNoteLinks = true;
    BibleRef titled = ref;
    ReportFile report(m_manager,
        QStringLiteral("<div class=\"title\">Study on %1</div>")
            .arg(titled.spellingUsingAbbreviatedBookName(false, true, true).toHtmlEscaped()));
    m_report = &report;
    auto allPtr = m_library.allSources();
    const SourceTupleArray empty;
    const SourceTupleArray& all = allPtr ? *allPtr : empty;
    const auto findInstalled = [&](AutoStudyBook& entry) { return m_manager.lookupBook(entry, all, false); };

    AutoStudyElementList& verseList = m_elements.verseStudyElements();

    // Attribute words, from the Bibles with word attributes (all of them when the element is off).
    if (limitToElement == 0 || limitToElement == AutoStudyElements::WordAttributeDictionariesID) {
        forEachAttributeBible(verseList, findInstalled, [&](const SourceTuple::Ptr& book) {
            BibleRef mapped = ref;
            mapped.mapToTranslation(book->record().abbr);
            if (auto words = book->words().wordListForVerse(mapped, wordListKinds(true)))
                mergeSorted(m_attributeWords, *words);
        });
    }

    quint32 mainStart = 0, mainEnd = 0;
    if (!bible || !bible->locations().sectionRangeForVerse(ref, &mainStart, &mainEnd))
        return QString();
    const QString html = m_manager.getHtmlTextFromStartSection(mainStart, mainEnd, bible, config);
    if (!html.isEmpty()) {
        report.write(AutoStudyManager::getHtmlTitleForTuple(*bible, true) + html);
        report.cite(bible);
    }

    for (AutoStudyElement& element : verseList) {
        if (!elementAsked(element, limitToElement))
            continue;
        const int id = element.elementID;
        if (id == AutoStudyElements::MyNotesID) {
            writeMyNotes();
            continue;
        }
        bool elementHeaded = false;
        forEachBook(
            element, ChosenBooks::Checked, [&](AutoStudyBook& entry) { return m_manager.lookupBook(entry, all, true); },
            [&](const SourceTuple::Ptr& book) {
                switch (id) {
                case AutoStudyElements::BiblesID:
                case AutoStudyElements::BiblesWithWordAttributesID:
                    writeBible(id, book, elementHeaded);
                    break;
                case AutoStudyElements::CommentariesID:
                    writeCommentary(book);
                    break;
                case AutoStudyElements::CrossReferencesID:
                    writeCrossReferences(book);
                    break;
                case AutoStudyElements::DictionariesID:
                    writeDefinitions(book);
                    break;
                case AutoStudyElements::WordAttributeDictionariesID:
                    writeAttributeDefinitions(book);
                    break;
                default:
                    break;  // devotionals, other books and the navigator's dictionaries write nothing here
                }
            });
    }

    return report.finish();
}

void AutoStudyVerseReport::writeMyNotes()
{
    quint32 s = 0, e = 0;
    cNoteDoc* notes = m_notes;
    if (!m_bible || !notes || !notes->IsOpen() || !m_bible->locations().sectionRangeForVerse(*m_ref, &s, &e))
        return;
    bool headed = false;
    for (quint64 k = s; k <= e; ++k) {
        const quint32 key = m_bible->locations().keyForSection(quint32(k));
        const cBibleRef one(key);
        if (!notes->hasBibleNoteInReference(one))
            continue;
        cBibleNote note;
        if (!notes->readBibleNoteInReference(one, note))
            continue;
        const QString text = EngineStrings::fromUtf16(note.note);
        if (text.isEmpty())
            continue;
        BibleRef spelled = BibleRef::bibleRefWithStartKey(key, key);
        m_report->appendUnder(headed, QStringLiteral("<div class=\"subtitle\">My Notes</div>"),
            QStringLiteral("<div class=\"notestitle\">My Note on %1</div>")
                .arg(spelled.fullSpelling().toHtmlEscaped()));
        m_report->append(AutoStudyManager::inertHtml(text));
    }
}

void AutoStudyVerseReport::writeBible(int id, const SourceTuple::Ptr& book, bool& elementHeaded)
{
    if (id == AutoStudyElements::BiblesID && m_bible && sameBook(*book, *m_bible))
        return;
    BibleRef mapped = *m_ref;
    mapped.mapToTranslation(book->record().abbr);
    quint32 s = 0, e = 0;
    if (!book->locations().sectionRangeForVerse(mapped, &s, &e))
        return;
    if (id == AutoStudyElements::BiblesID) {
        m_config.display.omitStrongsNumbers = true;
        m_config.blockOpenTag.clear();
        m_config.blockCloseTag.clear();
    } else {
        m_config.display.omitStrongsNumbers = false;
        m_config.display.strongsTag = QStringLiteral("span");
        m_config.display.strongsGreekTagAttributes = QStringLiteral("class=\"strongsgreek\"");
        m_config.display.strongsHebrewTagAttributes = QStringLiteral("class=\"strongshebrew\"");
        m_config.blockOpenTag = QStringLiteral("<div style='clear:both;overflow:auto;'>");
        m_config.blockCloseTag = QStringLiteral("</div>");
    }
    const QString html = m_manager.getHtmlTextFromStartSection(s, e, book, m_config);
    if (html.isEmpty())
        return;
    m_report->appendUnder(elementHeaded,
        id == AutoStudyElements::BiblesID
            ? QStringLiteral("<div class=\"subtitle\">Additional Bible Translations</div>")
            : QStringLiteral("<div class=\"subtitle\">Bibles with Word Attributes</div>"),
        AutoStudyManager::getHtmlTitleForTuple(*book, true));
    m_report->append(html);
    m_report->cite(book);
}

void AutoStudyVerseReport::writeCommentary(const SourceTuple::Ptr& book)
{
    const auto ranges = AutoStudyManager::sectionRangesForVerse(*m_ref, m_bible, book, false);
    if (ranges.isEmpty())
        return;
    bool headed = false;
    for (const SectionRange& r : ranges) {
        if (m_articlesWritten.contains(articleKey(*book, r)))
            continue;
        const QString html =
            m_manager.getHtmlTextFromStartSection(quint32(r.start()), quint32(r.end()), book, m_config);
        if (html.isEmpty())
            continue;
        m_report->appendUnder(headed,
            QStringLiteral("<div class=\"subtitle\">Commentary from %1</div>").arg(book->record().name.toHtmlEscaped()),
            html);
        m_articlesWritten.insert(articleKey(*book, r));
    }
    m_report->cite(book);
}

void AutoStudyVerseReport::writeCrossReferences(const SourceTuple::Ptr& book)
{
    // The linked passages are read as text: whatever an earlier element asked of the
    // Bible's render, no Strong's numbers are decoded or shown here.
    m_config.display.omitStrongsNumbers = true;
    const auto ranges = AutoStudyManager::sectionRangesForVerse(*m_ref, m_bible, book, false);
    if (ranges.isEmpty())
        return;
    bool headed = false;
    const QString heading = QStringLiteral("<div class=\"subtitle\">Cross References from %1</div>")
                                .arg(book->record().name.toHtmlEscaped());
    for (const SectionRange& r : ranges) {
        const QString html = m_articlesWritten.contains(articleKey(*book, r))
            ? QString()
            : m_manager.getHtmlTextFromStartSection(quint32(r.start()), quint32(r.end()), book, m_config);
        if (!html.isEmpty()) {
            m_report->appendUnder(headed, heading, html);
            m_articlesWritten.insert(articleKey(*book, r));
        }
        for (quint64 sec = r.start(); sec <= r.end(); ++sec) {
            auto links = book->words().bibleLinksListForSection(quint32(sec), m_bible->record().abbr);
            if (!links)
                continue;
            for (const BibleRef& link : *links) {
                BibleRef target = link;
                quint32 s = 0, e = 0;
                if (!m_bible->locations().sectionRangeForVerse(target, &s, &e))
                    continue;
                const QString linked = m_manager.getHtmlTextFromStartSection(s, e, m_bible, m_config);
                if (linked.isEmpty())
                    continue;
                m_report->appendUnder(headed, heading, bibleRefLine(target, *m_bible));
                m_report->append(QStringLiteral("<div style='clear:both;overflow:auto;'>\n"));
                m_report->append(linked);
                m_report->append(QStringLiteral("</div>\n"));
            }
        }
    }
    m_report->cite(book);
}

void AutoStudyVerseReport::writeDefinitions(const SourceTuple::Ptr& book)
{
    if (!m_bible || book->record().bookLanguage != m_bible->record().bookLanguage)
        return;
    if (!m_verseWords) {
        m_verseWords = m_bible->words().wordListForVerse(*m_ref, wordListKinds(false));
        if (!m_verseWords)
            return;
    }
    bool headed = false;
    for (const QString& word : *m_verseWords) {
        if (!AutoStudyManager::shouldLookupWord(word))
            continue;
        const QString html = m_manager.dictionaryEntryHtml(book, word, false, m_config);
        if (html.isEmpty())
            continue;
        m_report->appendUnder(headed,
            QStringLiteral("<div class=\"subtitle\">Definitions from %1</div>")
                .arg(book->record().name.toHtmlEscaped()),
            html);
        m_report->cite(book);
    }
}

void AutoStudyVerseReport::writeAttributeDefinitions(const SourceTuple::Ptr& book)
{
    bool headed = false;
    for (const QString& word : m_attributeWords) {
        const QString html = m_manager.dictionaryEntryHtml(book, word, false, m_config);
        if (html.isEmpty())
            continue;
        m_report->appendUnder(headed,
            QStringLiteral("<div class=\"subtitle\">Word Attribute Definitions from %1</div>")
                .arg(book->record().name.toHtmlEscaped()),
            html);
        m_report->cite(book);
    }
}
