#include "reports/AutoStudyManager.h"

#include "library/LibraryNotifications.h"
#include "reports/CopyPassageCopier.h"
#include "reports/OutputFile.h"

#include "engine/foundation/SimpleDate.h"
#include "engine/references/BibleRef.h"
#include "library/EngineStrings.h"
#include "library/SourceManager.h"
#include "platform/AppVersion.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "render/HTMLFilter.h"
#include "search/core/BitVector.h"
#include "search/core/SearchSpecification.h"
#include "userdata/cNoteDoc.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QSet>

namespace {

// The strings of a list in case-insensitive order, distinct (an equal string is dropped).
void mergeSorted(QStringList& into, QStringList words)
{
    std::stable_sort(words.begin(), words.end(),
        [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    for (const QString& w : words) {
        qsizetype i = 0;
        bool equal = false;
        for (; i < into.size(); ++i) {
            const int c = QString::compare(into.at(i), w, Qt::CaseInsensitive);
            if (c == 0) {
                equal = true;
                break;
            }
            if (c > 0)
                break;
        }
        if (!equal)
            into.insert(i, w);
    }
}

bool sameBook(const SourceTuple& a, const SourceTuple& b)
{
    return a.pubID() == b.pubID() && a.bookID() == b.bookID();
}

}  // namespace

// --- creation and library tracking -----------------------------------------------------------------

std::unique_ptr<AutoStudyManager> AutoStudyManager::create(
    NotificationCenter& center, SourceManager& library, const UserDefaults& defaults)
{
    std::unique_ptr<AutoStudyManager> manager(new AutoStudyManager(center, library, defaults));
    manager->start();
    return manager;
}

AutoStudyManager::AutoStudyManager(NotificationCenter& center, SourceManager& library, const UserDefaults& defaults)
    : m_center(center),
      m_library(library),
      m_defaults(defaults),
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

void AutoStudyManager::reset()
{
    m_elements.reset();
    oneTimeSourceInitialization();
    m_elements.setVersion(2);
    m_elements.setDataChanged();
    m_elements.save();
    m_css.reset();
}

void AutoStudyManager::log(const QString& heading) const
{
    qInfo().noquote() << "--- AutoStudyManager Log ---";
    if (!heading.isEmpty())
        qInfo().noquote() << heading;
    m_elements.log();
    qInfo().noquote() << "--- End AutoStudyManager Log ---";
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
    const SourceTupleID identity(book.pubID(), book.bookID(), book.editionNumber(), book.revisionNumber());
    for (int study = 0; study < AutoStudyElements::numAutostudies; ++study) {
        AutoStudyElementList& list = m_elements.studyElementsAtIndex(study);
        for (int id : ids) {
            AutoStudyElement* element = AutoStudyElements::elementDictionaryForID(id, list);
            if (!element)
                continue;
            if (checkForDupes) {
                if (AutoStudyBook* entry = AutoStudyElements::bookDictionaryForSourceTupleID(identity, *element)) {
                    if (entry->editionNum != book.editionNumber() || entry->revisionNum != book.revisionNumber()) {
                        entry->editionNum = book.editionNumber();
                        entry->revisionNum = book.revisionNumber();
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
            const auto removed = element.bookArray.removeIf(
                [&](const AutoStudyBook& b) { return b.pubID == book.pubID() && b.bookID == book.bookID(); });
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
        book.editionNum = found->editionNumber();
        book.revisionNum = found->revisionNumber();
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
    quint32 start, quint32 end, const SourceTuple::Ptr& tuple, const QVariantMap& configuration) const
{
    QString html;
    html.reserve(1024);
    if (!tuple)
        return html;
    if (tuple->docSupports(SourceTuple::kDocSupportsIsBible())) {
        QVariantMap options = configuration;
        options.insert(QStringLiteral("htmlTextRefFormatString"), QStringLiteral("%@"));
        options.insert(QStringLiteral("referenceString"), QString());
        options.insert(CopyPassageCopier::CopyPassageVerseDelimitersRichKey, 1);
        options.insert(CopyPassageCopier::CopyPassageVerseDelimitersPlainKey, 3);
        CopyPassageCopier::clipboardTextForStartSectionFromBible(start, end, tuple, nullptr, &html, options);
    } else {
        CopyPassageCopier::clipboardTextForStartSection(start, end, tuple, nullptr, &html, QVariantMap());
    }
    // The report loads no file: the passage's images travel inside it.
    return inertHtml(CopyPassageCopier::stringWithCachedImagesInlined(html, tuple));
}

QString AutoStudyManager::dictionaryEntryHtml(
    const SourceTuple::Ptr& dictionary, const QString& key, bool matchAsPrefix, const QVariantMap& configuration) const
{
    quint32 s = 0, e = 0;
    if (!dictionary || !dictionary->dictionaryEntry(key, &s, &e, matchAsPrefix))
        return QString();
    return getHtmlTextFromStartSection(s, e, dictionary, configuration);
}

QString AutoStudyManager::getHtmlTitleForTuple(const SourceTuple& tuple, bool abbreviated)
{
    return QStringLiteral("\r<div class=\"sourcetitle\">%1</div>\r")
        .arg((abbreviated ? tuple.abbr() : tuple.name()).toHtmlEscaped());
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
        const QString subtitle = book->subtitle().isEmpty() ? QString() : QStringLiteral(": %1").arg(book->subtitle());
        out += QStringLiteral("<dt class=\"bibliography\">%1</dt>")
                   .arg(QStringLiteral("%1%2 (%3)").arg(book->name(), subtitle, book->abbr()).toHtmlEscaped());
        // The citation's name is text, its author and publisher the book's own HTML: both filtered.
        out += QStringLiteral("<dd class=\"bibliography\">%1</dd>").arg(inertHtml(book->bibliographicCitationHtml()));
        out += QStringLiteral("<dd class=\"bibliography\">%1</dd>").arg(inertHtml(book->copyrightText()));
    }
    return out;
}

QList<SectionRange> AutoStudyManager::sectionRangesForVerse(
    const BibleRef& verse, const SourceTuple::Ptr& bible, const SourceTuple::Ptr& other, bool allowOverlap)
{
    QList<SectionRange> result;
    quint32 first = 0, last = 0;
    if (!bible || !other || !bible->sectionRangeForVerse(verse, &first, &last) || first > last)
        return result;
    for (quint64 k = first; k <= last; ++k) {
        const quint32 key = bible->keyForSection(quint32(k));
        const BibleRef one = BibleRef::bibleRefWithStartKey(key, key);
        quint32 s = 0, e = 0;
        if (!other->sectionRangeForVerse(one, &s, &e))
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

// --- the verse report ----------------------------------------------------------------------------------

namespace {

// The answer of a probe: a report asked only whether it would have content (its file, if any, is not
// kept).
bool probeFound(const QString& file)
{
    if (file.isEmpty())
        return false;
    QFile::remove(file);
    return true;
}

}  // namespace

bool AutoStudyManager::canDoVerseStudyOn(const BibleRef& ref, const SourceTuple::Ptr& bible, int element)
{
    return probeFound(resultsFileForAutoVerseStudyOn(ref, bible, false, element, true));
}

bool AutoStudyManager::canDoWordStudyOn(const QString& word, const SourceTuple::Ptr& bible, int element)
{
    return probeFound(resultsFileForAutoWordStudyOn(word, bible, false, element, true));
}

// --- the skeleton of every report ----------------------------------------------------------------------

namespace {

// The line over a passage printed from a Bible: its reference, spelled in that Bible's language and
// versification.
QString bibleRefLine(BibleRef ref, const SourceTuple& bible)
{
    ref.setLanguage(int(bible.bookLanguage() & 0xFFFF));
    ref.mapToTranslation(bible.abbr());
    return QStringLiteral("<div class=\"bibleref\">%1</div>")
        .arg(ref.spellingUsingAbbreviatedBookName(false, true, true).toHtmlEscaped());
}

// Which books of an element a walk takes: the checked ones, or, while the element itself is off,
// every one of them.
enum class ChosenBooks { Checked, CheckedWhileElementOn };

// Hands `visit` each chosen book of an element that `lookup` finds installed, in the element's order;
// before every book, a `stop` that holds ends the walk.
template <class Lookup, class Stop, class Visit>
void forEachBook(AutoStudyElement& element, ChosenBooks chosen, Lookup lookup, Stop stop, Visit visit)
{
    for (AutoStudyBook& entry : element.bookArray) {
        if (stop())
            return;
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
        forEachBook(
            element, ChosenBooks::CheckedWhileElementOn, lookup, [] { return false; }, visit);
    }
}

// What a verse's word list holds: its words, or its Strong's numbers and word attributes.
void setWordListOptions(QVariantMap& config, bool attributes)
{
    config.insert(QStringLiteral("showStrongsNumbers"), attributes);
    config.insert(QStringLiteral("sdWordlistWords"), !attributes);
    config.insert(QStringLiteral("sdWordlistStrongsGreek"), attributes);
    config.insert(QStringLiteral("sdWordlistStrongsHebrew"), attributes);
    config.insert(QStringLiteral("sdWordlistWordAttributes"), attributes);
}

// One report as it is written: a new file in the report folder; with a frame, the header and the
// title first and the bibliography of the books it cited and the footer last. Text given to
// append() is a result (wrote() tells whether there was any); text given to write() is not (the
// frame, a passage every report of its kind starts with). A report left without finish() deletes
// its file.
class ReportFile {
public:
    ReportFile(AutoStudyManager& manager, bool framed, const QString& title) : m_framed(framed)
    {
        m_out.openNew();
        if (m_framed) {
            write(manager.stringWithHeader());
            write(title);
        }
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
        if (text.isEmpty())
            return;
        m_out.appendString(text);
        m_wrote = true;
    }
    bool wrote() const { return m_wrote; }
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
        if (m_framed) {
            write(AutoStudyManager::stringWithBibliography(m_bibliography));
            write(AutoStudyManager::stringWithFooter());
        }
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
    bool m_framed;
    bool m_wrote = false;
    bool m_finished = false;
};

}  // namespace

QString AutoStudyManager::resultsFileForAutoVerseStudyOn(const BibleRef& ref, const SourceTuple::Ptr& bible,
    bool includeHeaderAndFooter, int limitToElement, bool quitOnAnyResults)
{
    QVariantMap config {{QStringLiteral("copyPassageIncludeNotes"), false},
        {QStringLiteral("showStrongsNumbers"), false}, {QStringLiteral("skipNonVerseText"), true},
        {QStringLiteral("footnoteOption"), 0}, {QStringLiteral("omitStrongsNumbersInDecode"), true},
        {QStringLiteral("omitUserNoteLinks"), true}};
    BibleRef titled = ref;
    ReportFile report(*this, includeHeaderAndFooter,
        QStringLiteral("<div class=\"title\">Study on %1</div>")
            .arg(titled.spellingUsingAbbreviatedBookName(false, true, true).toHtmlEscaped()));
    auto allPtr = m_library.allSources();
    const SourceTupleArray empty;
    const SourceTupleArray& all = allPtr ? *allPtr : empty;
    const auto findInstalled = [&](AutoStudyBook& entry) { return lookupBook(entry, all, false); };

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
        const QString html = getHtmlTextFromStartSection(mainStart, mainEnd, bible, config);
        if (!html.isEmpty()) {
            report.write(getHtmlTitleForTuple(*bible, true) + html);
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
        if (!element.checked || (limitToElement != 0 && element.elementID != limitToElement))
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
                report.append(inertHtml(text));
            }
            continue;
        }
        bool elementHeaded = false;
        forEachBook(
            element, ChosenBooks::Checked, [&](AutoStudyBook& entry) { return lookupBook(entry, all, true); },
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
                    const QString html = getHtmlTextFromStartSection(s, e, book, config);
                    if (html.isEmpty())
                        break;
                    report.appendUnder(elementHeaded,
                        id == AutoStudyElements::BiblesID
                            ? QStringLiteral("<div class=\"subtitle\">Additional Bible Translations</div>")
                            : QStringLiteral("<div class=\"subtitle\">Bibles with Word Attributes</div>"),
                        getHtmlTitleForTuple(*book, true));
                    report.append(html);
                    report.cite(book);
                    break;
                }
                case AutoStudyElements::CommentariesID: {
                    const auto ranges = sectionRangesForVerse(ref, bible, book, false);
                    if (ranges.isEmpty())
                        break;
                    bool headed = false;
                    for (const SectionRange& r : ranges) {
                        if (articlesWritten.contains(articleKey(*book, r)))
                            continue;
                        const QString html =
                            getHtmlTextFromStartSection(quint32(r.start()), quint32(r.end()), book, config);
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
                    const auto ranges = sectionRangesForVerse(ref, bible, book, false);
                    if (ranges.isEmpty())
                        break;
                    bool headed = false;
                    const QString heading = QStringLiteral("<div class=\"subtitle\">Cross References from %1</div>")
                                                .arg(book->name().toHtmlEscaped());
                    for (const SectionRange& r : ranges) {
                        const QString html = articlesWritten.contains(articleKey(*book, r))
                            ? QString()
                            : getHtmlTextFromStartSection(quint32(r.start()), quint32(r.end()), book, config);
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
                                const QString linked = getHtmlTextFromStartSection(s, e, bible, config);
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
                        if (!shouldLookupWord(word))
                            continue;
                        const QString html = dictionaryEntryHtml(book, word, false, config);
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
                        const QString html = dictionaryEntryHtml(book, word, false, config);
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

// --- the word report -----------------------------------------------------------------------------------

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
            book.name().toHtmlEscaped(), book.abbr().toHtmlEscaped(), tail.toHtmlEscaped());
}

}  // namespace

QString AutoStudyManager::resultsFileForAutoWordStudyOn(const QString& word, const SourceTuple::Ptr& source,
    bool includeHeaderAndFooter, int limitToElement, bool quitOnAnyResults)
{
    if (word.isEmpty() || !shouldLookupWord(word))
        return QString();
    const QVariantMap config {{QStringLiteral("copyPassageIncludeNotes"), false},
        {QStringLiteral("showStrongsNumbers"), false}, {QStringLiteral("skipNonVerseText"), true},
        {QStringLiteral("footnoteOption"), 0}, {QStringLiteral("omitStrongsNumbersInDecode"), true}};
    ReportFile report(*this, includeHeaderAndFooter,
        QStringLiteral("<div class=\"title\">Word Study on \"%1\"</div>").arg(word.toHtmlEscaped()));
    auto allPtr = m_library.allSources();
    const SourceTupleArray empty;
    const SourceTupleArray& all = allPtr ? *allPtr : empty;
    const auto findInstalled = [&](AutoStudyBook& entry) { return lookupBook(entry, all, false); };

    AutoStudyElementList& wordList = m_elements.wordStudyElements();
    QList<AttributeGroup> groups;
    if (limitToElement == 0 || limitToElement == AutoStudyElements::BiblesWithWordAttributesID ||
        limitToElement == AutoStudyElements::WordAttributeDictionariesID) {
        forEachAttributeBible(wordList, findInstalled, [&](const SourceTuple::Ptr& book) {
            if (auto entries = book->wordAttributesForWord(word))
                for (const QVariantMap& e : *entries)
                    addAttribute(groups, e);
        });
    }

    bool attributesWritten = false;
    for (AutoStudyElement& element : wordList) {
        if (quitOnAnyResults && report.wrote())
            break;
        if (!element.checked || (limitToElement != 0 && element.elementID != limitToElement))
            continue;
        const int id = element.elementID;
        bool summaryOpened = false;
        forEachBook(
            element, ChosenBooks::Checked, findInstalled, [&] { return quitOnAnyResults && report.wrote(); },
            [&](const SourceTuple::Ptr& book) {
                switch (id) {
                case AutoStudyElements::BiblesID: {
                    if (!summaryOpened)
                        report.append(QStringLiteral("<div class=\"subtitle\">Search Summary</div><p>"));
                    summaryOpened = true;
                    report.append(countLine(book->wordOccursInXSections(word), *book, QString()));
                    BitVector hits(quint32(book->numSections()));
                    if (const quint32 n = book->resultsFromWordAttributeConcordanceForWord(word, hits))
                        report.append(countLine(n, *book, QStringLiteral(" as a word attribute")));
                    const QChar first = word.at(0).toLower();
                    if (first == QLatin1Char('h')) {
                        hits.clearAll();
                        if (const quint32 n = book->resultsFromStrongsHebrewConcordanceForWord(word.mid(1), hits))
                            report.append(countLine(n, *book, QStringLiteral(" as Strong's Hebrew word number")));
                    } else if (first == QLatin1Char('g')) {
                        hits.clearAll();
                        if (const quint32 n = book->resultsFromStrongsGreekConcordanceForWord(word.mid(1), hits))
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
                        QString line = QStringLiteral("<div class=\"sourcetitle\">%1</div>\n<p>")
                                           .arg(g.description.toHtmlEscaped());
                        for (qsizetype i = 0; i < g.attributes.size(); ++i)
                            line += (i == 0 ? QString() : QStringLiteral(", ")) +
                                (g.displayPrefix + g.attributes.at(i)).toHtmlEscaped();
                        // html-safe: the line built above, its texts escaped
                        report.append(line + QStringLiteral("</p>\n"));
                    }
                    break;
                }
                case AutoStudyElements::DictionariesID: {
                    if (!source || book->bookLanguage() != source->bookLanguage())
                        break;
                    const QString html = dictionaryEntryHtml(book, word, false, config);
                    if (html.isEmpty())
                        break;
                    report.append(QStringLiteral("<div class=\"subtitle\">Definitions from %1</div>")
                                      .arg(book->name().toHtmlEscaped()));
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
                            const QString html = dictionaryEntryHtml(book, g.syncPrefix + value, false, config);
                            if (html.isEmpty())
                                continue;
                            report.appendUnder(bookHeaded,
                                QStringLiteral("<div class=\"subtitle\">Word Attribute Definitions from %1</div>\n")
                                    .arg(book->name().toHtmlEscaped()),
                                QString());
                            report.appendUnder(groupHeaded,
                                QStringLiteral("<div class=\"sourcetitle\">%1</div>\n")
                                    .arg(g.description.toHtmlEscaped()),
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

// --- today's reading ---------------------------------------------------------------------------------

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

QString AutoStudyManager::resultsFileForAutoTodayStudyOn(const QDate& date, const SourceTuple::Ptr& givenBible,
    bool includeHeaderAndFooter, int /*limitToElement*/, bool quitOnAnyResults)
{
    SimpleDate day;
    if (date.isValid())
        day.setMonth(date.month(), date.day(), date.year());
    auto allPtr = m_library.allSources();
    const SourceTupleArray empty;
    const SourceTupleArray& all = allPtr ? *allPtr : empty;
    const auto findInstalled = [&](AutoStudyBook& entry) { return lookupBook(entry, all, false); };
    SourceTuple::Ptr bible = givenBible;
    if (!bible) {
        const UserDefaults& defaults = m_defaults;
        const qint64 pub = defaults.integerForKey(QStringLiteral("preferredBiblePubId"));
        const qint64 bk = defaults.integerForKey(QStringLiteral("preferredBibleBookId"));
        if (pub != 0 && bk != 0)
            bible = all.tupleForPubID(pub, bk);
        if (!bible) {
            auto bibles = m_library.bibleSources();
            if (bibles && bibles->count() > 0)
                bible = bibles->tupleAtIndex(0);
        }
        if (!bible)
            return QString();
    }

    const QVariantMap config {{QStringLiteral("copyPassageIncludeNotes"), false},
        {QStringLiteral("showStrongsNumbers"), false}, {QStringLiteral("skipNonVerseText"), true},
        {QStringLiteral("footnoteOption"), 0}, {QStringLiteral("omitStrongsNumbersInDecode"), true}};
    ReportFile report(*this, includeHeaderAndFooter,
        QStringLiteral("<div class=\"title\">Reading for %1</div>").arg(day.stringWithStyle(2).toHtmlEscaped()));

    AutoStudyElementList& todayList = m_elements.todayStudyElements();
    AutoStudyElement* devotionals = nullptr;
    AutoStudyElement* bibles = nullptr;
    bool biblesFirst = false;
    for (qsizetype i = 0; i < todayList.size(); ++i) {
        if (todayList[i].elementID == AutoStudyElements::DevotionalsID)
            devotionals = &todayList[i];
        if (todayList[i].elementID == AutoStudyElements::BiblesID) {
            bibles = &todayList[i];
            biblesFirst = i == 0;
        }
    }
    if (!devotionals)
        return QString();
    const bool devotionalFirst = devotionals->checked && !biblesFirst;
    const bool devotionalAfter = devotionals->checked && biblesFirst;
    const bool biblesChecked = bibles && bibles->checked;

    for (AutoStudyBook& entry : devotionals->bookArray) {
        if (!entry.checked)
            continue;
        auto book = findInstalled(entry);
        if (!book)
            continue;
        const auto [start, end] = readingSections(book->readingNumberForDate(day), book->numReadings(),
            book->numSections(), [&book](quint32 n) { return book->sectionForReadingNumber(n); });
        const QString reading = getHtmlTextFromStartSection(start, end, book, config);

        QList<BibleRef> linked;
        for (quint64 s = start; s <= end; ++s)
            if (auto links = book->bibleLinksListForSection(quint32(s), bible->abbr(), config))
                linked.append(*links);

        bool wrote = false;
        const QString heading =
            QStringLiteral("<div class=\"subtitle\">Reading from %1</div>\r").arg(book->name().toHtmlEscaped());
        if (devotionalFirst && !reading.isEmpty()) {
            report.write(heading + reading);
            report.cite(book);
            wrote = true;
        }
        if (biblesChecked) {
            for (AutoStudyBook& bibleEntry : bibles->bookArray) {
                if (!bibleEntry.checked)
                    continue;
                auto printIn = findInstalled(bibleEntry);
                if (!printIn)
                    continue;
                SectionRangeList ranges;
                for (const BibleRef& ref : linked) {
                    quint32 s = 0, e = 0;
                    if (printIn->sectionRangeForVerse(ref, &s, &e))
                        ranges.addRangeStartingAt(std::min(s, e), std::max(s, e), true, true);
                }
                for (const auto& range : ranges.ranges()) {
                    BibleRef ref = BibleRef::bibleRefWithStartKey(
                        printIn->keyForSection(quint32(range.start)), printIn->keyForSection(quint32(range.end)));
                    const QString html =
                        getHtmlTextFromStartSection(quint32(range.start), quint32(range.end), printIn, config);
                    if (html.isEmpty())
                        continue;
                    if (!wrote)
                        report.write(heading);
                    wrote = true;
                    report.write(bibleRefLine(ref, *printIn));
                    report.write(html);
                    report.cite(printIn);
                }
            }
        }
        if (devotionalAfter && !reading.isEmpty()) {
            if (!wrote)
                report.write(heading);
            report.write(reading);
            report.cite(book);
            wrote = true;
        }
        if (quitOnAnyResults && wrote)
            break;
    }

    return report.finish();
}
