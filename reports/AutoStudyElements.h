// AutoStudyElements: the user's choice of what goes into an autostudy report. For each of the four
// studies (verse, word, today's reading, navigator) an ordered list of elements (kinds of content such
// as "Bibles" or "My Notes"), each switched on or off and carrying an ordered list of books, each
// switched on or off. The whole set lives in one XML property list, "<private data>/Autostudy/
// AutoStudyElements.v1.xml".
//
// Reading the file is reading untrusted bytes: a file that is missing, malformed, not a dictionary, of
// version 0 or below or of format 2 or below is refused (the reason is logged
// as a warning, except for a missing file) and the set is reset. Entries of the wrong type inside a list are dropped, never trusted.
//
// Ownership: the autostudy manager owns the one set of the process; dialogs mutate it in place through
// the references the getters return. Main thread only.
#pragma once

#include "library/SourceTupleID.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

class SourceTuple;

// One book of an element, by identity.
struct AutoStudyBook {
    qint64 pubID = -1;
    qint64 bookID = -1;
    qint64 editionNum = -1;
    qint64 revisionNum = -1;
    bool checked = true;
    QString text;        // the abbreviation
    QString detailText;  // the display name: "name: subtitle (abbreviation)"

    SourceTupleID sourceTupleID() const { return SourceTupleID(pubID, bookID, editionNum, revisionNum); }
    friend bool operator==(const AutoStudyBook&, const AutoStudyBook&) = default;
};

// One element of a study list.
struct AutoStudyElement {
    int elementID = 0;
    QString text;             // element name shown in the elements table
    QString descriptionText;  // one-line description
    QString detailText;       // label of the books list ("Choose Bibles")
    bool checked = true;
    QList<AutoStudyBook> bookArray;
    friend bool operator==(const AutoStudyElement&, const AutoStudyElement&) = default;
};

using AutoStudyElementList = QList<AutoStudyElement>;

class AutoStudyElements {
public:
    enum Study { VerseStudy = 0, WordStudy = 1, TodayStudy = 2, NavigatorStudy = 3 };
    static constexpr int numAutostudies = 4;

    enum ElementID {
        BiblesID = 1,
        BiblesWithWordAttributesID = 2,
        CommentariesID = 3,
        CrossReferencesID = 4,
        DictionariesID = 5,
        WordAttributeDictionariesID = 6,
        DevotionalsID = 7,
        OtherBooksID = 8,
        NavigatorDictionariesID = 9,
        MyNotesID = 10,
    };

    static inline const QString versionKey = QStringLiteral("version");
    static inline const QString fileFormatKey = QStringLiteral("format");
    static inline const QString verseStudyElementsKey = QStringLiteral("verseStudyElements");
    static inline const QString wordStudyElementsKey = QStringLiteral("wordStudyElements");
    static inline const QString todayStudyElementsKey = QStringLiteral("todayStudyElements");
    static inline const QString navigatorStudyElementsKey = QStringLiteral("navigatorStudyElements");
    static inline const QString elementIDKey = QStringLiteral("elementID");
    static inline const QString elementNameKey = QStringLiteral("text");
    static inline const QString descriptionKey = QStringLiteral("descriptionText");
    static inline const QString settingsDescriptionKey = QStringLiteral("detailText");
    static inline const QString checkedKey = QStringLiteral("checked");
    static inline const QString bookArrayKey = QStringLiteral("bookArray");
    static inline const QString abbreviationKey = QStringLiteral("text");
    static inline const QString bookNameKey = QStringLiteral("detailText");

    static AutoStudyElements autoStudyElementsFromDefaultFile();
    static AutoStudyElements autoStudyElementsWithContentsOfFile(const QString& path);

    static QString defaultFilenamePath();  // <private data>/Autostudy
    static QString defaultFilename();      // <private data>/Autostudy/AutoStudyElements.v1.xml

    // Reads the file (the default path when none is set); a refused file resets the set.
    void load();
    // Writes the file when something changed and the version is above 0; true when nothing needed
    // writing or the write succeeded.
    bool save();
    // Empties the set (version 1, format 3) and saves it.
    void reset();

    qint64 version() const { return m_version.value_or(0); }
    void setVersion(qint64 v);

    // The element list of a study; a missing list, a verse list of fewer than 6 elements or an empty
    // other list is first replaced by the study's default list.
    AutoStudyElementList& verseStudyElements() { return studyElementsAtIndex(VerseStudy); }
    AutoStudyElementList& wordStudyElements() { return studyElementsAtIndex(WordStudy); }
    AutoStudyElementList& todayStudyElements() { return studyElementsAtIndex(TodayStudy); }
    AutoStudyElementList& navigatorStudyElements() { return studyElementsAtIndex(NavigatorStudy); }
    // Index 0-3 (anything else is a programming error and gives the navigator list's key as empty).
    AutoStudyElementList& studyElementsAtIndex(int index);
    static QString studyKeyAtIndex(int index);  // empty above 3

    static AutoStudyElementList defaultDataForStudy(int index);
    static std::optional<AutoStudyElement> defaultDataForStudy(int index, int elementID);

    // Installs the default list of a study as fresh elements with empty books; marks the set changed.
    AutoStudyElementList& insert(const AutoStudyElementList& defaults, int index);

    static AutoStudyElement* elementDictionaryForID(int elementID, AutoStudyElementList& list);
    // The first book with the identity's publisher and book (edition and revision are not compared).
    static AutoStudyBook* bookDictionaryForSourceTupleID(const SourceTupleID& id, AutoStudyElement& element);
    // None when the book's identity is not valid.
    static std::optional<SourceTupleID> sourceTupleIDForBook(const AutoStudyBook& book);
    // A book dictionary made from a library book (checked, abbreviation and display name).
    static AutoStudyBook bookForSourceTuple(const SourceTuple& tuple);

    QString filename() const { return m_filename; }
    bool dataChanged() const { return m_dataChanged; }
    void setDataChanged(bool changed = true) { m_dataChanged = changed; }

    // The root dictionary as written to the file, and its reading (false with a message when refused).
    QVariantMap toPropertyList() const;
    bool fromPropertyList(const QVariant& root, QString* message);

private:
    std::optional<qint64> m_version;
    std::optional<qint64> m_format;
    std::optional<AutoStudyElementList> m_lists[numAutostudies];
    QVariantMap m_otherKeys;  // root entries this version does not know, kept as they were
    QString m_filename;
    bool m_dataChanged = false;
};
