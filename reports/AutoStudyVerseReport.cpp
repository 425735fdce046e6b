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
    return a.pubID() == b.pubID() && a.bookID() == b.bookID();
}

}  // namespace

QString AutoStudyVerseReport::resultsFile(const BibleRef& ref, const SourceTuple::Ptr& bible,
    bool includeHeaderAndFooter, int limitToElement, bool quitOnAnyResults)
{
    QVariantMap config {{QStringLiteral("copyPassageIncludeNotes"), false},
        {QStringLiteral("showStrongsNumbers"), false}, {QStringLiteral("skipNonVerseText"), true},
        {QStringLiteral("footnoteOption"), 0}, {QStringLiteral("omitStrongsNumbersInDecode"), true},
        {QStringLiteral("omitUserNoteLinks"), true}};
    BibleRef titled = ref;
    ReportFile report(m_manager, includeHeaderAndFooter,
        QStringLiteral("<div class=\"title\">Study on %1</div>")
            .arg(titled.spellingUsingAbbreviatedBookName(false, true, true).toHtmlEscaped()));
    auto allPtr = m_library.allSources();
    const SourceTupleArray empty;
    const SourceTupleArray& all = allPtr ? *allPtr : empty;
    const auto findInstalled = [&](AutoStudyBook& entry) { return m_manager.lookupBook(entry, all, false); };

    AutoStudyElementList& verseList = m_elements.verseStudyElements();

    // Attribute words, from the Bibles with word attributes (all of them when the element is off).
    QStringList attributeWords;
    if (limitToElement == 0 || limitToElement == AutoStudyElements::WordAttributeDictionariesID) {
        forEachAttributeBible(verseList, findInstalled, [&](const SourceTuple::Ptr& book) {
            setWordListOptions(config, true);
            BibleRef mapped = ref;
            mapped.mapToTranslation(book->abbr());
            if (auto words = book->wordListForVerse(mapped, config))
                mergeSorted(attributeWords, *words);
        });
    }

    quint32 mainStart = 0, mainEnd = 0;
    if (includeHeaderAndFooter) {
        if (!bible || !bible->sectionRangeForVerse(ref, &mainStart, &mainEnd))
            return QString();
        const QString html = m_manager.getHtmlTextFromStartSection(mainStart, mainEnd, bible, config);
        if (!html.isEmpty()) {
            report.write(AutoStudyManager::getHtmlTitleForTuple(*bible, true) + html);
            report.cite(bible);
        }
    }

    std::unique_ptr<QStringList> verseWords;
    // A commentary that is also a cross-reference book stands in both elements: its article is printed
    // under whichever comes first, and the other lists only what is new (its linked passages).
    QSet<QString> articlesWritten;
    const auto articleKey = [](const SourceTuple& book, const SectionRange& r) {
        return QStringLiteral("%1:%2:%3:%4").arg(book.pubID()).arg(book.bookID()).arg(r.start()).arg(r.end());
    };
    for (AutoStudyElement& element : verseList) {
        if (quitOnAnyResults && report.wrote())
            break;
        if (!elementAsked(element, limitToElement))
            continue;
        const int id = element.elementID;
        if (id == AutoStudyElements::MyNotesID) {
            quint32 s = 0, e = 0;
            cNoteDoc* notes = noteDocInstance();
            if (!bible || !notes || !bible->sectionRangeForVerse(ref, &s, &e))
                continue;
            bool headed = false;
            for (quint64 k = s; k <= e; ++k) {
                const quint32 key = bible->keyForSection(quint32(k));
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
                report.appendUnder(headed, QStringLiteral("<div class=\"subtitle\">My Notes</div>"),
                    QStringLiteral("<div class=\"notestitle\">My Note on %1</div>")
                        .arg(spelled.fullSpelling().toHtmlEscaped()));
                report.append(AutoStudyManager::inertHtml(text));
            }
            continue;
        }
        bool elementHeaded = false;
        forEachBook(
            element, ChosenBooks::Checked, [&](AutoStudyBook& entry) { return m_manager.lookupBook(entry, all, true); },
            [&] { return quitOnAnyResults && report.wrote(); },
            [&](const SourceTuple::Ptr& book) {
                switch (id) {
                case AutoStudyElements::BiblesID:
                case AutoStudyElements::BiblesWithWordAttributesID: {
                    if (id == AutoStudyElements::BiblesID && bible && sameBook(*book, *bible))
                        break;
                    BibleRef mapped = ref;
                    mapped.mapToTranslation(book->abbr());
                    quint32 s = 0, e = 0;
                    if (!book->sectionRangeForVerse(mapped, &s, &e))
                        break;
                    if (id == AutoStudyElements::BiblesID) {
                        config.insert(QStringLiteral("omitStrongsNumbersInDecode"), true);
                        config.insert(QStringLiteral("showStrongsNumbers"), false);
                        config.remove(CopyPassageCopier::blockWrapperOpenTag);
                        config.remove(CopyPassageCopier::blockWrapperCloseTag);
                    } else {
                        config.insert(QStringLiteral("omitStrongsNumbersInDecode"), false);
                        config.insert(QStringLiteral("showStrongsNumbers"), true);
                        config.insert(QStringLiteral("strongsTag"), QStringLiteral("span"));
                        config.insert(
                            QStringLiteral("strongsGreekTagAttributes"), QStringLiteral("class=\"strongsgreek\""));
                        config.insert(
                            QStringLiteral("strongsHebrewTagAttributes"), QStringLiteral("class=\"strongshebrew\""));
                        config.insert(CopyPassageCopier::blockWrapperOpenTag,
                            QStringLiteral("<div style='clear:both;overflow:auto;'>"));
                        config.insert(CopyPassageCopier::blockWrapperCloseTag, QStringLiteral("</div>"));
                    }
                    const QString html = m_manager.getHtmlTextFromStartSection(s, e, book, config);
                    if (html.isEmpty())
                        break;
                    report.appendUnder(elementHeaded,
                        id == AutoStudyElements::BiblesID
                            ? QStringLiteral("<div class=\"subtitle\">Additional Bible Translations</div>")
                            : QStringLiteral("<div class=\"subtitle\">Bibles with Word Attributes</div>"),
                        AutoStudyManager::getHtmlTitleForTuple(*book, true));
                    report.append(html);
                    report.cite(book);
                    break;
                }
                case AutoStudyElements::CommentariesID: {
                    const auto ranges = AutoStudyManager::sectionRangesForVerse(ref, bible, book, false);
                    if (ranges.isEmpty())
                        break;
                    bool headed = false;
                    for (const SectionRange& r : ranges) {
                        if (articlesWritten.contains(articleKey(*book, r)))
                            continue;
                        const QString html =
                            m_manager.getHtmlTextFromStartSection(quint32(r.start()), quint32(r.end()), book, config);
                        if (html.isEmpty())
                            continue;
                        report.appendUnder(headed,
                            QStringLiteral("<div class=\"subtitle\">Commentary from %1</div>")
                                .arg(book->name().toHtmlEscaped()),
                            html);
                        articlesWritten.insert(articleKey(*book, r));
                    }
                    report.cite(book);
                    break;
                }
                case AutoStudyElements::CrossReferencesID: {
                    // The linked passages are read as text: whatever an earlier element asked of the
                    // Bible's render, no Strong's numbers are decoded or shown here.
                    config.insert(QStringLiteral("showStrongsNumbers"), false);
                    config.insert(QStringLiteral("omitStrongsNumbersInDecode"), true);
                    const auto ranges = AutoStudyManager::sectionRangesForVerse(ref, bible, book, false);
                    if (ranges.isEmpty())
                        break;
                    bool headed = false;
                    const QString heading = QStringLiteral("<div class=\"subtitle\">Cross References from %1</div>")
                                                .arg(book->name().toHtmlEscaped());
                    for (const SectionRange& r : ranges) {
                        const QString html = articlesWritten.contains(articleKey(*book, r))
                            ? QString()
                            : m_manager.getHtmlTextFromStartSection(quint32(r.start()), quint32(r.end()), book, config);
                        if (!html.isEmpty()) {
                            report.appendUnder(headed, heading, html);
                            articlesWritten.insert(articleKey(*book, r));
                        }
                        for (quint64 sec = r.start(); sec <= r.end(); ++sec) {
                            auto links = book->bibleLinksListForSection(quint32(sec), bible->abbr(), config);
                            if (!links)
                                continue;
                            for (const BibleRef& link : *links) {
                                BibleRef target = link;
                                quint32 s = 0, e = 0;
                                if (!bible->sectionRangeForVerse(target, &s, &e))
                                    continue;
                                const QString linked = m_manager.getHtmlTextFromStartSection(s, e, bible, config);
                                if (linked.isEmpty())
                                    continue;
                                report.appendUnder(headed, heading, bibleRefLine(target, *bible));
                                report.append(QStringLiteral("<div style='clear:both;overflow:auto;'>\n"));
                                report.append(linked);
                                report.append(QStringLiteral("</div>\n"));
                            }
                        }
                    }
                    report.cite(book);
                    break;
                }
                case AutoStudyElements::DictionariesID: {
                    if (!bible || book->bookLanguage() != bible->bookLanguage())
                        break;
                    if (!verseWords) {
                        setWordListOptions(config, false);
                        verseWords = bible->wordListForVerse(ref, config);
                        if (!verseWords)
                            break;
                    }
                    bool headed = false;
                    for (const QString& word : *verseWords) {
                        if (!AutoStudyManager::shouldLookupWord(word))
                            continue;
                        const QString html = m_manager.dictionaryEntryHtml(book, word, false, config);
                        if (html.isEmpty())
                            continue;
                        report.appendUnder(headed,
                            QStringLiteral("<div class=\"subtitle\">Definitions from %1</div>")
                                .arg(book->name().toHtmlEscaped()),
                            html);
                        report.cite(book);
                    }
                    break;
                }
                case AutoStudyElements::WordAttributeDictionariesID: {
                    bool headed = false;
                    for (const QString& word : attributeWords) {
                        const QString html = m_manager.dictionaryEntryHtml(book, word, false, config);
                        if (html.isEmpty())
                            continue;
                        report.appendUnder(headed,
                            QStringLiteral("<div class=\"subtitle\">Word Attribute Definitions from %1</div>")
                                .arg(book->name().toHtmlEscaped()),
                            html);
                        report.cite(book);
                    }
                    break;
                }
                default:
                    break;  // devotionals, other books and the navigator's dictionaries write nothing here
                }
            });
    }

    return report.finish();
}
