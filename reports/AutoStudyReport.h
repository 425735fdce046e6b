// The report files of the autostudy: the skeleton every report shares (ReportFile, the walks over an
// element's books) and one class per report (verse study, word study, today's reading), each built over
// the manager (AutoStudyManager.h) that chooses and runs it. A report writes one file synchronously on
// the calling thread. Main thread only.
#pragma once

#include "reports/AutoStudyElements.h"
#include "reports/AutoStudyManager.h"
#include "reports/OutputFile.h"

#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class BibleRef;
class cNoteDoc;
class SourceManager;
class UserDefaults;

namespace autostudy {

// Compares texts case-insensitively, a run of digits by its value: Strong's numbers ("G25", "G235",
// "G2222") sort by number. Negative, zero or positive.
int compareNumbersByValue(const QString& a, const QString& b);
// The strings of a list in that order, distinct (an equal string, case aside, is dropped).
void mergeSorted(QStringList& into, QStringList words);

// The line over a passage printed from a Bible: its reference, spelled in that Bible's language and
// versification.
QString bibleRefLine(BibleRef ref, const SourceTuple& bible);

// Which books of an element a walk takes: the checked ones, or, while the element itself is off,
// every one of them.
enum class ChosenBooks { Checked, CheckedWhileElementOn };

// Hands `visit` each chosen book of an element that `lookup` finds installed, in the element's order.
template <class Lookup, class Visit>
void forEachBook(AutoStudyElement& element, ChosenBooks chosen, Lookup lookup, Visit visit)
{
    for (AutoStudyBook& entry : element.bookArray) {
        if (!entry.checked && (chosen == ChosenBooks::Checked || element.checked))
            continue;
        if (const SourceTuple::Ptr book = lookup(entry))
            visit(book);
    }
}

// Hands `visit` each Bible with word attributes of a study's list: the checked ones, or every one
// while that element is off (the attributes feed other elements too).
template <class Lookup, class Visit> void forEachAttributeBible(AutoStudyElementList& list, Lookup lookup, Visit visit)
{
    for (AutoStudyElement& element : list) {
        if (element.elementID != AutoStudyElements::BiblesWithWordAttributesID)
            continue;
        forEachBook(element, ChosenBooks::CheckedWhileElementOn, lookup, visit);
    }
}

// An element the report takes: checked, and the one asked for when the report is limited to one
// (`limitToElement` 0: all of them).
inline bool elementAsked(const AutoStudyElement& element, int limitToElement)
{
    return element.checked && (limitToElement == 0 || element.elementID == limitToElement);
}

// What a verse's word list holds (SourceTuple::wordListForVerse): its words, or its Strong's numbers
// and word attributes.
quint32 wordListKinds(bool attributes);
// The options a report's passages start with: no footnotes, no Strong's numbers.
PassageOptions reportPassageOptions();

// One report as it is written: a new file in the report folder, the header and the title first and
// the bibliography of the books it cited and the footer last. append() writes a result and passes
// over an empty one; write() writes as given. A report left without finish() deletes its file.
class ReportFile {
public:
    ReportFile(AutoStudyManager& manager, const QString& title)
    {
        m_out.openNew();
        write(manager.stringWithHeader());
        write(title);
    }
    ~ReportFile()
    {
        if (!m_finished)
            m_out.discard();
    }
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    void write(const QString& text) { m_out.appendString(text); }
    void append(const QString& text)
    {
        if (!text.isEmpty())
            m_out.appendString(text);
    }
    // A result under a heading that is written once, before the first result it stands over.
    void appendUnder(bool& headed, const QString& heading, const QString& text)
    {
        if (!headed)
            append(heading);
        headed = true;
        append(text);
    }
    // A book the report drew on, for its bibliography (once each).
    void cite(const SourceTuple::Ptr& book) { m_bibliography.addNoDupes(book); }

    // The frame's end, then the file's path; an empty report is no report: its file goes at once
    // rather than lingering in the cache, and the path is empty.
    QString finish()
    {
        write(AutoStudyManager::stringWithBibliography(m_bibliography));
        write(AutoStudyManager::stringWithFooter());
        m_finished = true;
        if (m_out.isEmpty()) {
            m_out.discard();
            return QString();
        }
        m_out.close();
        return m_out.filename();
    }

private:
    OutputFile m_out;
    SourceTupleArray m_bibliography;
    bool m_finished = false;
};

}  // namespace autostudy

// What every report reads: its manager (the report frame, the element set's books) and the library.
class AutoStudyReport {
public:
    explicit AutoStudyReport(AutoStudyManager& manager);

protected:
    AutoStudyManager& m_manager;
    SourceManager& m_library;
    AutoStudyElements& m_elements;
    const UserDefaults& m_defaults;
    cNoteDoc* m_notes;
};

// The verse study: what the element set's books say of one verse. One object writes one report.
class AutoStudyVerseReport : public AutoStudyReport {
public:
    using AutoStudyReport::AutoStudyReport;
    QString resultsFile(const BibleRef& ref, const SourceTuple::Ptr& bible, int limitToElement);

private:
    // What each element writes of the verse from one of its books (My Notes from the user's notes).
    void writeMyNotes();
    void writeBible(int id, const SourceTuple::Ptr& book, bool& elementHeaded);
    void writeCommentary(const SourceTuple::Ptr& book);
    void writeCrossReferences(const SourceTuple::Ptr& book);
    void writeDefinitions(const SourceTuple::Ptr& book);
    void writeAttributeDefinitions(const SourceTuple::Ptr& book);

    // The report being written: its verse, the Bible it is read in, the render options the elements
    // share and change, the file, and what the elements found so far.
    const BibleRef* m_ref = nullptr;
    SourceTuple::Ptr m_bible;
    PassageOptions m_config;
    autostudy::ReportFile* m_report = nullptr;
    QStringList m_attributeWords;
    std::unique_ptr<QStringList> m_verseWords;
    QSet<QString> m_articlesWritten;
};

// The word study: where a word stands and what the dictionaries say of it.
class AutoStudyWordReport : public AutoStudyReport {
public:
    using AutoStudyReport::AutoStudyReport;
    QString resultsFile(const QString& word, const SourceTuple::Ptr& bible, int limitToElement);
};

// Today's reading: each devotional's reading of a day, the day's passage printed from a Bible.
class AutoStudyTodayReport : public AutoStudyReport {
public:
    using AutoStudyReport::AutoStudyReport;
    QString resultsFile(const QDate& date, const SourceTuple::Ptr& bible, int limitToElement);
};
