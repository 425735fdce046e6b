#include "reports/AutoStudyManager.h"
#include "reports/AutoStudyReport.h"

#include "library/LibraryNotifications.h"
#include "reports/CopyPassageCopier.h"
#include "reports/OutputFile.h"

#include "engine/references/BibleRef.h"
#include "library/EngineStrings.h"
#include "library/SourceManager.h"
#include "platform/AppVersion.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "render/HTMLFilter.h"
#include "search/core/SearchSpecification.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>

// --- creation and library tracking -----------------------------------------------------------------

std::unique_ptr<AutoStudyManager> AutoStudyManager::create(
    NotificationCenter& center, SourceManager& library, const UserDefaults& defaults, cNoteDoc* notes)
{
    std::unique_ptr<AutoStudyManager> manager(new AutoStudyManager(center, library, defaults, notes));
    manager->start();
    return manager;
}

AutoStudyManager::AutoStudyManager(
    NotificationCenter& center, SourceManager& library, const UserDefaults& defaults, cNoteDoc* notes)
    : m_center(center),
      m_library(library),
      m_defaults(defaults),
      m_notes(notes),
      m_elements(AutoStudyElements::autoStudyElementsFromDefaultFile())
{
}

AutoStudyManager::~AutoStudyManager()
{
    m_center.removeObserver(this);
}

void AutoStudyManager::start()
{
    if (m_elements.version() == 1) {
        oneTimeSourceInitialization();
        m_elements.setVersion(2);
        m_elements.setDataChanged();
        m_elements.save();
    } else if (m_elements.version() == 2) {
        validateAgainstSourceManager();
        m_elements.save();
    }
    auto& center = m_center;
    center.addObserver(
        this, LibraryNotifications::qsSourceManagerAddedBookNotification, [this](Notification& n) { onBookAdded(n); });
    center.addObserver(this, LibraryNotifications::qsSourceManagerRemovedBookNotification,
        [this](Notification& n) { onBookRemoved(n); });
    center.addObserver(this, LibraryNotifications::SourceManagerReclassifiedBookNotification,
        [this](Notification& n) { onBookReclassified(n); });
}

QList<int> AutoStudyManager::autostudyIDsForSourceKind(qint64 kind)
{
    switch (kind) {
    case 1:
        return {1};
    case 2:
    case 9:
        return {1, 2};
    case 3:
        return {3};
    case 4:
        return {7};
    case 5:
        return {5, 9};
    case 6:
    case 10:
        return {6, 9};
    case 7:
        return {8};
    case 8:
        return {3, 4};
    default:
        return {};
    }
}

void AutoStudyManager::oneTimeSourceInitialization()
{
    const auto all = m_library.allSources();
    for (qint64 i = 0; all && i < all->count(); ++i)
        if (auto book = all->tupleAtIndex(i))
            makeSureBookIsUsed(*book, false);
}

void AutoStudyManager::makeSureBookIsUsed(const SourceTuple& book, bool checkForDupes)
{
    const QList<int> ids = autostudyIDsForSourceKind(book.kind());
    if (ids.isEmpty())
        return;
    const SourceTupleID identity(
        book.record().pubID, book.record().bookID, book.record().editionNumber, book.record().revisionNumber);
    for (int study = 0; study < AutoStudyElements::numAutostudies; ++study) {
        AutoStudyElementList& list = m_elements.studyElementsAtIndex(study);
        for (int id : ids) {
            AutoStudyElement* element = AutoStudyElements::elementDictionaryForID(id, list);
            if (!element)
                continue;
            if (checkForDupes) {
                if (AutoStudyBook* entry = AutoStudyElements::bookDictionaryForSourceTupleID(identity, *element)) {
                    if (entry->editionNum != book.record().editionNumber ||
                        entry->revisionNum != book.record().revisionNumber) {
                        entry->editionNum = book.record().editionNumber;
                        entry->revisionNum = book.record().revisionNumber;
                        m_elements.setDataChanged();
                    }
                    continue;
                }
            }
            element->bookArray.append(AutoStudyElements::bookForSourceTuple(book));
            m_elements.setDataChanged();
        }
    }
}

void AutoStudyManager::makeSureBookIsNotUsed(const SourceTuple& book)
{
    for (int study = 0; study < AutoStudyElements::numAutostudies; ++study) {
        for (AutoStudyElement& element : m_elements.studyElementsAtIndex(study)) {
            const auto removed = element.bookArray.removeIf([&](const AutoStudyBook& b) {
                return b.pubID == book.record().pubID && b.bookID == book.record().bookID;
            });
            if (removed > 0)
                m_elements.setDataChanged();
        }
    }
}

void AutoStudyManager::validateAgainstSourceManager()
{
    const auto all = m_library.allSources();
    for (int study = 0; study < AutoStudyElements::numAutostudies; ++study) {
        for (AutoStudyElement& element : m_elements.studyElementsAtIndex(study)) {
            const auto removed = element.bookArray.removeIf([&](const AutoStudyBook& b) {
                const auto id = AutoStudyElements::sourceTupleIDForBook(b);
                return !id || !all || !all->tupleForSourceTupleID(*id);
            });
            if (removed > 0)
                m_elements.setDataChanged();
        }
    }
    for (qint64 i = 0; all && i < all->count(); ++i)
        if (auto book = all->tupleAtIndex(i))
            makeSureBookIsUsed(*book, true);
}

void AutoStudyManager::onBookAdded(const Notification& n)
{
    if (auto book = sharedObjectFromVariant<SourceTuple>(n.userInfo.value(QStringLiteral("tuple"))))
        makeSureBookIsUsed(*book, true);
}

void AutoStudyManager::onBookRemoved(const Notification& n)
{
    if (auto book = sharedObjectFromVariant<SourceTuple>(n.userInfo.value(QStringLiteral("tuple"))))
        makeSureBookIsNotUsed(*book);
}

void AutoStudyManager::onBookReclassified(const Notification& n)
{
    if (auto book = sharedObjectFromVariant<SourceTuple>(n.userInfo.value(QStringLiteral("tuple")))) {
        makeSureBookIsNotUsed(*book);
        makeSureBookIsUsed(*book, true);
    }
}

SourceTuple::Ptr AutoStudyManager::lookupBook(AutoStudyBook& book, const SourceTupleArray& all, bool repair)
{
    const auto id = AutoStudyElements::sourceTupleIDForBook(book);
    if (!id)
        return nullptr;
    if (auto found = all.tupleForSourceTupleID(*id))
        return found;
    if (!repair)
        return nullptr;
    auto found = all.tupleForPubID(book.pubID, book.bookID);
    if (found) {
        book.editionNum = found->record().editionNumber;
        book.revisionNum = found->record().revisionNumber;
        m_elements.setDataChanged();
    }
    return found;
}

// --- the report frame --------------------------------------------------------------------------------

QString AutoStudyManager::inertHtml(const QString& html)
{
    // The filter of the note pages: a report saved to disk and opened in a browser runs nothing that
    // a book or a synced note holds, and loads nothing but the data: URLs it carries (no local file
    // or address that a note names).
    std::string text = html.toStdString();
    filterHtmlByStrength(text, 6, false);
    keepOnlyDataResources(text);
    return QString::fromStdString(text);
}

QString AutoStudyManager::getHtmlTextFromStartSection(
    quint32 start, quint32 end, const SourceTuple::Ptr& tuple, const PassageOptions& configuration) const
{
    QString html;
    html.reserve(1024);
    if (!tuple)
        return html;
    if (tuple->docSupports(kDocSupportsIsBible)) {
        PassageOptions options = configuration;
        options.richVerseDelimiters = 1;
        options.plainVerseDelimiters = 3;
        CopyPassageCopier::clipboardTextForStartSectionFromBible(start, end, tuple, nullptr, &html, options);
    } else {
        // A commentary's or a dictionary's references stay the links they are on the page.
        CopyPassageProfile profile = CopyPassageProfile::copier();
        profile.keepsBibleLinks = true;
        CopyPassageCopier::clipboardTextForStartSection(start, end, tuple, nullptr, &html, PassageOptions(), profile);
    }
    // The report loads no file: the passage's images travel inside it.
    return inertHtml(CopyPassageCopier::stringWithCachedImagesInlined(html, tuple));
}

QString AutoStudyManager::dictionaryEntryHtml(const SourceTuple::Ptr& dictionary, const QString& key,
    bool matchAsPrefix, const PassageOptions& configuration) const
{
    quint32 s = 0, e = 0;
    if (!dictionary || !dictionary->words().dictionaryEntry(key, &s, &e, matchAsPrefix))
        return QString();
    return getHtmlTextFromStartSection(s, e, dictionary, configuration);
}

QString AutoStudyManager::getHtmlTitleForTuple(const SourceTuple& tuple, bool abbreviated)
{
    return QStringLiteral("\r<div class=\"sourcetitle\">%1</div>\r")
        .arg((abbreviated ? tuple.record().abbr : tuple.record().name).toHtmlEscaped());
}

QString AutoStudyManager::stringWithHeader()
{
    // The styles are the user's file, which may name resources too: the report carries data: only.
    std::string styles = m_css.cssString().toStdString();
    keepOnlyDataResources(styles);
    return QStringLiteral("<html><head>\r<meta http-equiv=\"Content-Type\" content=\"text/html;charset=utf-8\">\r"
                          "<meta name=\"viewport\" content=\"width=100%,initial-scale=1.0, maximum-scale=1.0, "
                          "minimum-scale=1.0, user-scalable=no\">\r") +
        QString::fromStdString(styles) + QStringLiteral("<meta charset=\"UTF-8\">\r<body>\r");
}

QString AutoStudyManager::stringWithFooter()
{
    // html-safe: the program's name, version and build number
    return QStringLiteral("\r<hr>\r<p>Generated by %1 %2 (%3) from Tavrosen, Inc.</p>\r</body>\r</html>")
        .arg(QCoreApplication::applicationName(), AppVersion::version(), QString::number(AppVersion::buildNumber()));
}

QString AutoStudyManager::stringWithBibliography(const SourceTupleArray& books)
{
    QString out;
    for (qint64 i = 0; i < books.count(); ++i) {
        const auto book = books.tupleAtIndex(i);
        if (!book)
            continue;
        if (out.isEmpty())
            out += QStringLiteral("\r<div class=\"subtitle\">Bibliography</div>\r<dl>");
        const QString subtitle =
            book->record().subtitle.isEmpty() ? QString() : QStringLiteral(": %1").arg(book->record().subtitle);
        out += QStringLiteral("<dt class=\"bibliography\">%1</dt>")
                   .arg(QStringLiteral("%1%2 (%3)")
                            .arg(book->record().name, subtitle, book->record().abbr)
                            .toHtmlEscaped());
        // The citation's name is text, its author and publisher the book's own HTML: both filtered.
        out += QStringLiteral("<dd class=\"bibliography\">%1</dd>").arg(inertHtml(book->bibliographicCitationHtml()));
        out += QStringLiteral("<dd class=\"bibliography\">%1</dd>").arg(inertHtml(book->record().copyrightText));
    }
    return out;
}

QList<SectionRange> AutoStudyManager::sectionRangesForVerse(
    const BibleRef& verse, const SourceTuple::Ptr& bible, const SourceTuple::Ptr& other, bool allowOverlap)
{
    QList<SectionRange> result;
    quint32 first = 0, last = 0;
    if (!bible || !other || !bible->locations().sectionRangeForVerse(verse, &first, &last) || first > last)
        return result;
    for (quint64 k = first; k <= last; ++k) {
        const quint32 key = bible->locations().keyForSection(quint32(k));
        const BibleRef one = BibleRef::bibleRefWithStartKey(key, key);
        quint32 s = 0, e = 0;
        if (!other->locations().sectionRangeForVerse(one, &s, &e))
            continue;
        SectionRange range = SectionRange::sectionRangeWithStart(s, e);
        if (allowOverlap) {
            result.append(range);
            continue;
        }
        qsizetype i = 0;
        bool placed = false;
        for (; i < result.size(); ++i) {
            if (result[i].combineWithRange(range)) {
                placed = true;
                break;
            }
            if (result[i].start() > range.start()) {
                result.insert(i, range);
                placed = true;
                break;
            }
        }
        if (!placed) {
            result.append(range);
            i = result.size() - 1;
        }
        while (i + 1 < result.size() && result[i].combineWithRange(result[i + 1]))
            result.removeAt(i + 1);
        while (i > 0 && result[i - 1].combineWithRange(result[i])) {
            result.removeAt(i);
            --i;
        }
    }
    return result;
}

bool AutoStudyManager::shouldLookupWord(const QString& word)
{
    return !SearchSpecification::isStopWord(word.toLower().toStdU16String());
}

// --- the reports ---------------------------------------------------------------------------------------

QString AutoStudyManager::resultsFileForAutoVerseStudyOn(
    const BibleRef& ref, const SourceTuple::Ptr& bible, int limitToElement)
{
    return AutoStudyVerseReport(*this).resultsFile(ref, bible, limitToElement);
}

QString AutoStudyManager::resultsFileForAutoWordStudyOn(
    const QString& word, const SourceTuple::Ptr& bible, int limitToElement)
{
    return AutoStudyWordReport(*this).resultsFile(word, bible, limitToElement);
}

QString AutoStudyManager::resultsFileForAutoTodayStudyOn(
    const QDate& date, const SourceTuple::Ptr& bible, int limitToElement)
{
    return AutoStudyTodayReport(*this).resultsFile(date, bible, limitToElement);
}

std::pair<quint32, quint32> AutoStudyManager::readingSections(
    quint32 r, quint64 numReadings, quint64 numSections, const std::function<quint32(quint32)>& sectionForReadingNumber)
{
    const quint32 start = sectionForReadingNumber(r);
    quint32 end = 0;
    if (r < numReadings)
        end = sectionForReadingNumber(r + 1) - 1;
    else if (r < 2)
        end = quint32(numSections - 1);
    else
        end = 2 * start - sectionForReadingNumber(r - 1) - 1;
    // The last reading is given the length of the one before it, but never past the book's end (a
    // range beyond it would print nothing at all).
    if (numSections > 0 && end > numSections - 1)
        end = quint32(numSections - 1);
    if (end < start)
        end = start;  // a malformed reading table must not run the walk backwards
    return {start, end};
}
