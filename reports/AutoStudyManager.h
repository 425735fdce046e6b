// AutoStudyManager: the one owner of the autostudy element set and the report style sheet, and the home
// of the three reports (verse study, word study, today's reading). It keeps every element's book list in
// step with the installed library: books that arrive are added to the elements suiting their kind,
// removed books disappear, a reclassified book moves.
//
// Reports are built synchronously on the calling thread into a new file in the cache's "Autostudy"
// folder; the path is handed back (empty when the report has nothing). The results window deletes the
// file it showed.
//
// Made by whoever runs the program (`ProgramServices`; the application makes it as it starts, once
// the library is loaded) or by a test, over the centre the library posts on, the library and the defaults (the preferred Bible of
// today's reading), which must outlive it; handed to the dialogs through the window's environment. It
// observes the library's notifications on that centre until it is deleted. Main thread only.
#pragma once

#include "reports/AutoStudyCSS.h"
#include "reports/AutoStudyElements.h"
#include "reports/SectionRange.h"

#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <utility>

class BibleRef;
class cNoteDoc;
class NotificationCenter;
class OutputFile;
class SourceManager;
class UserDefaults;
struct Notification;

class AutoStudyManager {
public:
    // A manager over the element set of the user's data folder, its books checked against the library;
    // the verse report quotes the user's notes from `notes` (null: none).
    static std::unique_ptr<AutoStudyManager> create(
        NotificationCenter& center, SourceManager& library, const UserDefaults& defaults, cNoteDoc* notes);

    ~AutoStudyManager();
    AutoStudyManager(const AutoStudyManager&) = delete;
    AutoStudyManager& operator=(const AutoStudyManager&) = delete;

    AutoStudyElements& elements() { return m_elements; }
    AutoStudyCSS& css() { return m_css; }
    void save() { m_elements.save(); }

    // Library tracking.
    static QList<int> autostudyIDsForSourceKind(qint64 kind);
    void oneTimeSourceInitialization();
    void makeSureBookIsUsed(const SourceTuple& book, bool checkForDupes);
    void makeSureBookIsNotUsed(const SourceTuple& book);
    void validateAgainstSourceManager();

    // --- the report frame ---
    QString getHtmlTextFromStartSection(
        quint32 start, quint32 end, const SourceTuple::Ptr& tuple, const PassageOptions& configuration) const;
    // The text of a dictionary's entry for a key (or the first key it begins); empty when there is none.
    QString dictionaryEntryHtml(const SourceTuple::Ptr& dictionary, const QString& key, bool matchAsPrefix,
        const PassageOptions& configuration) const;
    static QString getHtmlTitleForTuple(const SourceTuple& tuple, bool abbreviated);
    // Book or user HTML with its active content removed (the note pages' filter).
    static QString inertHtml(const QString& html);
    QString stringWithHeader();
    static QString stringWithFooter();
    static QString stringWithBibliography(const SourceTupleArray& books);
    static QList<SectionRange> sectionRangesForVerse(
        const BibleRef& verse, const SourceTuple::Ptr& bible, const SourceTuple::Ptr& other, bool allowOverlap);
    static bool shouldLookupWord(const QString& word);

    // --- the reports (`limitToElement`: one element's id, or 0 for every element) ---
    QString resultsFileForAutoVerseStudyOn(const BibleRef& ref, const SourceTuple::Ptr& bible, int limitToElement);
    QString resultsFileForAutoWordStudyOn(const QString& word, const SourceTuple::Ptr& bible, int limitToElement);
    // An invalid date means today; no Bible: the preferred or first Bible.
    QString resultsFileForAutoTodayStudyOn(const QDate& date, const SourceTuple::Ptr& bible, int limitToElement);
    // The sections of reading `r` of a devotional: up to the next reading's first section; the last
    // reading as long as the one before it, stopping at the book's end.
    static std::pair<quint32, quint32> readingSections(quint32 r, quint64 numReadings, quint64 numSections,
        const std::function<quint32(quint32)>& sectionForReadingNumber);

    // A book of an element's list among the installed books; with `repair`, a book found by publisher
    // and book alone takes the installed edition and revision.
    SourceTuple::Ptr lookupBook(AutoStudyBook& book, const SourceTupleArray& all, bool repair);

private:
    // The reports read the library, the element set, the defaults and the notes the manager was made
    // over.
    friend class AutoStudyReport;

    AutoStudyManager(NotificationCenter& center, SourceManager& library, const UserDefaults& defaults, cNoteDoc* notes);
    void start();
    void onBookAdded(const Notification& n);
    void onBookRemoved(const Notification& n);
    void onBookReclassified(const Notification& n);

    NotificationCenter& m_center;
    SourceManager& m_library;
    const UserDefaults& m_defaults;
    cNoteDoc* m_notes = nullptr;
    AutoStudyElements m_elements;
    AutoStudyCSS m_css;
};
