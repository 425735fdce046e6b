#include "library/SourceTuple.h"

#include "documents/cBibleDoc.h"
#include "documents/cBookDoc.h"
#include "documents/cDateDoc.h"
#include "documents/cTOCDoc.h"
#include "engine/bookfile/BkStreamFormat.h"
#include "engine/bookfile/cBkBookFile.h"
#include "library/EngineStrings.h"
#include "library/JournalSourceTuple.h"
#include "platform/AppFolders.h"
#include "platform/KeyedArchive.h"
#include "render/HTMLFilter.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 kReservedPubID = 24326;
constexpr qint64 kJournalBookID = 15184;
constexpr qint64 kBiblesBookID = 15185;

// The versions of the Bible-reference tables, in archive order, with their archive keys.
struct TableVersionField {
    const char* key;
    qint64 SourceTupleRecord::*field;
};
constexpr TableVersionField kTableVersions[12] = {
    {"bookNameListVersion", &SourceTupleRecord::bookNameListVersion},
    {"bookNumToNameNumVersion", &SourceTupleRecord::bookNumToNameNumVersion},
    {"transListVersion", &SourceTupleRecord::transListVersion},
    {"bibleBooksVersion", &SourceTupleRecord::bibleBooksVersion},
    {"nameNumberToBookCategoriesVersion", &SourceTupleRecord::nameNumberToBookCategoriesVersion},
    {"verseMapVersion", &SourceTupleRecord::verseMapVersion},
    {"totalOrderOnBookNumberVersion", &SourceTupleRecord::totalOrderOnBookNumberVersion},
    {"fixUpRefMapVersion", &SourceTupleRecord::fixUpRefMapVersion},
    {"getKeyMapVersion", &SourceTupleRecord::getKeyMapVersion},
    {"doMapSpecialCasesMapVersion", &SourceTupleRecord::doMapSpecialCasesMapVersion},
    {"getChapterNumberSpellingMapVersion", &SourceTupleRecord::getChapterNumberSpellingMapVersion},
    {"isOneChapterBookListVersion", &SourceTupleRecord::isOneChapterBookListVersion},
};
// The last five tables arrived with archive version 3.
constexpr int kFirstVersion3Table = 7;

QString openFailureText(std::uint32_t code)
{
    switch (code) {
    case BkResult::kNeedsNewerReader:
        return QStringLiteral("the book needs a newer reader");
    case BkResult::kFormatTooOld:
        return QStringLiteral("the book's format is too old");
    case BkResult::kNoMemory:
        return QStringLiteral("not enough memory");
    case BkResult::kNotFound:
        return QStringLiteral("a required part of the book is missing");
    case BkResult::kPastEnd:
        return QStringLiteral("the file is truncated");
    case BkResult::kMalformed:
        return QStringLiteral("the file is damaged");
    case BkResult::kCannotOpen:
        return QStringLiteral("the file cannot be opened or is not a book file");
    case BkResult::kWrongLength:
        return QStringLiteral("the file's length is not the length it records (truncated or extended)");
    case BkResult::kReadFailed:
        return QStringLiteral("the file cannot be read");
    default:
        return QStringLiteral("the book does not open");
    }
}

// Whether the file begins as a book file does: its first stream header, which describes the
// container itself, at stream 0 and offset 0. A file that does not (a text, a picture, an empty
// file) is no book at all rather than a damaged one.
bool beginsAsBookFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;  // unreadable: the open's own failure says so
    const QByteArray head = file.read(BkStreamFormat::kHeaderSize);
    return head.size() == qsizetype(BkStreamFormat::kHeaderSize) &&
        bkGetLE32(reinterpret_cast<const uint8_t*>(head.constData()) + BkStreamFormat::kIdOffset) == 0 &&
        bkGetLE32(reinterpret_cast<const uint8_t*>(head.constData()) + BkStreamFormat::kStartOffset) == 0;
}

QString filtered(std::string text)
{
    filterHtmlByStrength(text, 6, true);
    return EngineStrings::fromUtf8(text);
}

QString languageString(quint64 language)
{
    switch (language) {
    case 0:
    case 1033:
        return QStringLiteral("English");
    case 535:
        return QStringLiteral("Greek");
    case 10:
        return QStringLiteral("Spanish");
    default:
        return QStringLiteral("Language %1").arg(language);
    }
}

}  // namespace

QDateTime SourceTuple::fileModificationTime(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return QDateTime();
    // Whole seconds: the archives keep dates to the second.
    return QDateTime::fromSecsSinceEpoch(info.lastModified().toSecsSinceEpoch(), Qt::UTC);
}

SourceTuple::~SourceTuple() = default;

// --- making tuples and documents ---------------------------------------------------------------

SourceTuple::Ptr SourceTuple::sourceTuple()
{
    return std::make_shared<SourceTuple>();
}

SourceTuple::Ptr SourceTuple::sourceTupleForSource(std::shared_ptr<cSourceDoc> doc)
{
    auto tuple = std::make_shared<SourceTuple>();
    tuple->setSourceDoc(std::move(doc));
    return tuple;
}

SourceTuple::Ptr SourceTuple::sourceTupleForFakeJournalDoc()
{
    return JournalSourceTuple::journalSourceTuple();
}

SourceTuple::Ptr SourceTuple::sourceTupleForFakeBibleDoc()
{
    static const Ptr placeholder = [] {  // made once, under the compiler's lock for statics
        auto t = std::make_shared<SourceTuple>();
        t->m_record.pubID = kReservedPubID;
        t->m_record.bookID = kBiblesBookID;
        t->m_record.editionNumber = 1;
        t->m_record.revisionNumber = 1;
        t->m_kind = kKindBible;
        t->m_record.classification = kClassBible;
        t->m_record.name = QStringLiteral("Bibles");
        t->m_record.abbr = QStringLiteral("BIBLES");
        t->m_record.sortTitle = QStringLiteral("Bibles");
        t->m_record.subtitle = QStringLiteral("");
        return t;
    }();
    return placeholder;
}

std::shared_ptr<cSourceDoc> SourceTuple::allocateSourceForFile(const QString& path, QString* reason)
{
    if (path.isEmpty()) {
        if (reason != nullptr)
            *reason = QStringLiteral("no path");
        return nullptr;
    }
    // Only regular files are opened: reading a FIFO or a device would wait or never end.
    if (!QFileInfo(path).isFile()) {
        if (reason != nullptr)
            *reason = QStringLiteral("not a regular file");
        return nullptr;
    }
    const cLString16 widePath = EngineStrings::utf16(path);
    // Probe the header through the shared open-book-file cache; the document opened below shares
    // the same book file, so the probe costs one open.
    cBkBookFile* probe = nullptr;
    const std::uint32_t code = acquireBookFile(widePath, probe);
    if (code != 0 || probe == nullptr) {
        if (reason != nullptr)
            *reason = beginsAsBookFile(path) ? QStringLiteral("%1 (error %2)").arg(openFailureText(code)).arg(code)
                                             : kNotABookFile;
        return nullptr;
    }
    std::shared_ptr<cSourceDoc> doc;
    cBkGenInfoStg& info = probe->genInfo();
    if (info.headerFlag0())
        doc = std::make_shared<cBibleDoc>();
    else if (info.bookType() == 3)
        doc = std::make_shared<cDateDoc>();
    else
        doc = std::make_shared<cTOCDoc>();
    doc->SetPathName(widePath);
    const bool opened = doc->Open() && doc->IsOpen();
    releaseBookFile(probe);
    if (!opened) {
        if (reason != nullptr)
            *reason = QStringLiteral("the book's document does not open");
        return nullptr;
    }
    return doc;
}

qint64 SourceTuple::sourceClassificationForKind(qint64 kind)
{
    switch (kind) {
    case kKindBible:
    case kKindStrongsBible:
    case kKindWordAttributeBible:
        return kClassBible;
    case kKindCommentary:
    case kKindCrossReferenceCommentary:
        return kClassCommentary;
    case kKindDevotional:
        return kClassDevotional;
    case kKindDictionary:
    case kKindStrongsDictionary:
    case kKindWordAttributeDictionary:
        return kClassDictionary;
    case kKindOther:
        return kClassOther;
    default:
        return 0;
    }
}

// --- the document ------------------------------------------------------------------------------

std::shared_ptr<cSourceDoc> SourceTuple::sourceDoc()
{
    std::lock_guard<std::mutex> lock(m_docMutex);
    if (m_doc == nullptr && !m_record.filepath.isEmpty())
        m_doc = allocateSourceForFile(m_record.filepath);
    return m_doc;
}

bool SourceTuple::isSourceDocAllocated() const
{
    std::lock_guard<std::mutex> lock(m_docMutex);
    return m_doc != nullptr;
}

void SourceTuple::releaseSourceDoc()
{
    std::shared_ptr<cSourceDoc> dropped;
    {
        std::lock_guard<std::mutex> lock(m_docMutex);
        dropped.swap(m_doc);
    }
    // `dropped` goes out of scope here, outside the lock: when this was the last hold, the
    // document closes its book file now.
}

std::shared_ptr<cBookDoc> SourceTuple::bookDoc()
{
    return std::dynamic_pointer_cast<cBookDoc>(sourceDoc());
}

std::shared_ptr<cBibleDoc> SourceTuple::bibleDoc()
{
    return std::dynamic_pointer_cast<cBibleDoc>(sourceDoc());
}

std::shared_ptr<cDateDoc> SourceTuple::dateDoc()
{
    return std::dynamic_pointer_cast<cDateDoc>(sourceDoc());
}

namespace {

// The book file under a document; null for a document without one (the journal).
cBkBookFile* bookFileOf(cSourceDoc& doc)
{
    auto* book = dynamic_cast<cBookDoc*>(&doc);
    return book != nullptr ? book->bookFile() : nullptr;
}

qint64 sourceClassificationForSource(cSourceDoc& doc)
{
    if (doc.supports(::kDocSupportsIsBible))
        return SourceTuple::kClassBible;
    if (doc.supports(::kDocSupportsIsFakeJournalDoc))
        return SourceTuple::kClassOther;
    switch (doc.GetBookType()) {
    case 1:
        return SourceTuple::kClassCommentary;
    case 2:
        return SourceTuple::kClassDictionary;
    case 3:
        return SourceTuple::kClassDevotional;
    default:
        break;
    }
    std::uint8_t fileMajor = 0, fileMinor = 0;
    if (cBkBookFile* file = bookFileOf(doc); file != nullptr) {
        fileMajor = file->genInfo().fileMajor();
        fileMinor = file->genInfo().fileMinor();
    }
    if (fileMajor >= 2 || (fileMajor == 1 && fileMinor > 23))
        return SourceTuple::kClassOther;
    if (doc.supports(::kDocSupportsBibleSync))
        return SourceTuple::kClassCommentary;
    if (doc.supports(::kDocSupportsWordLookup))
        return SourceTuple::kClassDictionary;
    if (doc.supports(::kDocSupportsDateLookup))
        return SourceTuple::kClassDevotional;
    return SourceTuple::kClassOther;
}

qint64 sourceKindForSource(cSourceDoc& doc)
{
    const qint64 classification = sourceClassificationForSource(doc);
    switch (classification) {
    case SourceTuple::kClassDictionary: {
        auto* book = dynamic_cast<cBookDoc*>(&doc);
        if (book != nullptr) {
            std::uint32_t first = 0, last = 0;
            if (book->sectionRangeForDictionaryWord(cLString8("G1"), false, first, last))
                return SourceTuple::kKindStrongsDictionary;
            if (book->sectionRangeForDictionaryWord(cLString8("H1"), false, first, last))
                return SourceTuple::kKindStrongsDictionary;
        }
        return SourceTuple::kKindDictionary;
    }
    case SourceTuple::kClassCommentary: {
        const BookIdentity id = doc.bookIdentity();
        if ((id.publisher == 1 && id.book == 111) || (id.publisher == 101 && id.book == 6901))
            return SourceTuple::kKindCrossReferenceCommentary;
        return SourceTuple::kKindCommentary;
    }
    case SourceTuple::kClassBible:
        if (doc.supports(::kDocSupportsWordAttributes))
            return SourceTuple::kKindWordAttributeBible;
        if (doc.supports(::kDocSupportsStrongsGreek) || doc.supports(::kDocSupportsStrongsHebrew))
            return SourceTuple::kKindStrongsBible;
        return SourceTuple::kKindBible;
    default:
        return classification;
    }
}

// The record a document's header and contents make, for a book of the kind given.
SourceTupleRecord recordOfDocument(cSourceDoc& doc, qint64 kind)
{
    SourceTupleRecord r;
    cBkBookFile* file = bookFileOf(doc);
    if (doc.supports(::kDocSupportsIsBible) && file != nullptr) {
        cBkGenInfoStg& g = file->genInfo();
        r.bookNameListVersion = g.bookNameListVersion();
        r.bookNumToNameNumVersion = g.bookNumToNameNumVersion();
        r.transListVersion = g.transListVersion();
        r.bibleBooksVersion = g.bibleBooksVersion();
        r.nameNumberToBookCategoriesVersion = g.nameNumberToBookCategoriesVersion();
        r.verseMapVersion = g.verseMapVersion();
        r.totalOrderOnBookNumberVersion = g.totalOrderOnBookNumberVersion();
        r.fixUpRefMapVersion = g.fixUpRefMapVersion();
        r.getKeyMapVersion = g.getKeyMapVersion();
        r.doMapSpecialCasesMapVersion = g.doMapSpecialCasesMapVersion();
        r.getChapterNumberSpellingMapVersion = g.getChapterNumberSpellingMapVersion();
        r.isOneChapterBookListVersion = g.isOneChapterBookListVersion();
        std::string books;
        g.bibleBooksString(books, false);
        r.bibleBooks = EngineStrings::fromUtf8(books);
    }
    const BookIdentity id = doc.bookIdentity();
    r.pubID = id.publisher;
    r.bookID = id.book;
    r.editionNumber = id.edition;
    r.revisionNumber = id.revision;

    cLString8 text;
    doc.GetFullTitle(text);
    r.name = EngineStrings::fromUtf8(text);
    doc.GetTitle(text, true);
    r.abbr = EngineStrings::fromUtf8(text);
    doc.GetSortTitle(text);
    r.sortTitle = EngineStrings::fromUtf8(text);
    doc.GetSubtitle(text);
    r.subtitle = EngineStrings::fromUtf8(text);

    r.classification = SourceTuple::sourceClassificationForKind(kind);

    doc.GetPathNameUTF8(text);
    if (text.isEmpty() || doc.supports(::kDocSupportsIsFakeJournalDoc)) {
        r.modificationTime = QDateTime::currentDateTimeUtc();
        r.filepath = QStringLiteral("FakeJournalDoc");
    } else {
        r.filepath = EngineStrings::fromUtf8(text);
        r.modificationTime = SourceTuple::fileModificationTime(r.filepath);
    }
    r.docSupportsFlags = doc.GetSupportFlags();

    if (file == nullptr) {
        // No book file (the journal): no counts, English, empty texts.
        r.bookLanguage = 1033;
        r.bookLanguageString = QStringLiteral("English");
        r.copyrightText = r.author = r.publisher = r.publisherCity = r.publisherDate = QStringLiteral("");
        return r;
    }
    cBkGenInfoStg& g = file->genInfo();
    r.syncType = doc.GetBookType();
    r.numSections = doc.GetNumSections();
    if (r.syncType == 3) {
        if (auto* dated = dynamic_cast<cDateDoc*>(&doc))
            r.numReadings = dated->numReadings();
    }
    r.numDictionaryLookupWords = file->syncWords() != nullptr ? file->syncWords()->words->wordCount() : 0;
    r.numCommentaryLookupWords = file->verseSyncWords() != nullptr ? file->verseSyncWords()->words->wordCount() : 0;
    r.ignoreIntraBookSync = g.ignoreIntraBookSyncFlag();
    r.noVerseNums = g.noVerseNumbersFlag();
    r.numBlocks = file->nodes().blockCount();
    r.bookLanguage = g.languageNumber() == 0 ? 1033 : g.languageNumber();
    r.bookLanguageString = languageString(r.bookLanguage);
    std::string s;
    g.copyright(s, false);
    r.copyrightText = filtered(s);
    g.author(s, false);
    r.author = filtered(s);
    g.publisher(s, false);
    r.publisher = filtered(s);
    g.publisherCity(s, false);
    r.publisherCity = filtered(s);
    g.publisherDate(s, false);
    r.publisherDate = filtered(s);
    r.minVerMaj = g.minimumReaderMajor();
    r.minVerMin = g.minimumReaderMinor();
    r.fileVerMaj = g.fileMajor();
    r.fileVerMin = g.fileMinor();
    r.numWordAttributeDefinitions = g.hasWordAttributeDefs() ? g.wordAttributeDefs().definitionCount() : 0;
    return r;
}

}  // namespace

void SourceTuple::setSourceDoc(std::shared_ptr<cSourceDoc> doc)
{
    std::shared_ptr<cSourceDoc> old;
    {
        std::lock_guard<std::mutex> lock(m_docMutex);
        old.swap(m_doc);
        m_doc = doc;
    }
    old.reset();
    m_record = SourceTupleRecord();
    m_kind = 0;
    m_removable = false;
    m_confirmedPresent = false;
    if (doc != nullptr) {
        m_kind = sourceKindForSource(*doc);
        m_record = recordOfDocument(*doc, m_kind);
        // Only a book with a file is known to be on disk.
        m_confirmedPresent = bookFileOf(*doc) != nullptr;
    }
}

// --- identity and record -----------------------------------------------------------------------

bool SourceTuple::isFakeJournalDoc() const
{
    return m_record.pubID == kReservedPubID && m_record.bookID == kJournalBookID && m_record.editionNumber == 1 &&
        m_record.revisionNumber == 1;
}

bool SourceTuple::isFakeBibleDoc() const
{
    return m_record.pubID == kReservedPubID && m_record.bookID == kBiblesBookID && m_record.editionNumber == 1 &&
        m_record.revisionNumber == 1;
}

bool SourceTuple::isABible() const
{
    return isFakeBibleDoc() || docSupports(::kDocSupportsIsBible);
}

bool SourceTuple::isADevotional() const
{
    return docSupports(::kDocSupportsDailyReadings);
}

bool SourceTuple::hasModificationTimeChanged() const
{
    if (m_record.filepath.isEmpty())
        return true;
    const QDateTime now = fileModificationTime(m_record.filepath);
    if (!now.isValid())
        return true;
    return now != m_record.modificationTime;
}

QString SourceTuple::description() const
{
    QString s;
    s += QStringLiteral("name: %1\n").arg(m_record.name);
    s += QStringLiteral("abbr: %1\n").arg(m_record.abbr);
    s += QStringLiteral("sortTitle: %1\n").arg(m_record.sortTitle);
    s += QStringLiteral("subtitle: %1\n").arg(m_record.subtitle);
    s += QStringLiteral("bookdID=%1:%2:%3:%4\n")
             .arg(m_record.pubID)
             .arg(m_record.bookID)
             .arg(m_record.editionNumber)
             .arg(m_record.revisionNumber);
    s += QStringLiteral("kind: %1\n").arg(kind());
    s += QStringLiteral("classification: %1\n").arg(m_record.classification);
    s += QStringLiteral("date: %1\n").arg(m_record.modificationTime.toUTC().toString(Qt::ISODate));
    for (int i = 0; i < 12; ++i)
        s +=
            QStringLiteral("%1: %2\n").arg(QLatin1String(kTableVersions[i].key)).arg(m_record.*kTableVersions[i].field);
    s += QStringLiteral("bibleBooks: %1\n").arg(m_record.bibleBooks);
    s += QStringLiteral("filepath: %1").arg(m_record.filepath);
    return s;
}

void SourceTuple::log(const QString& heading) const
{
    qInfo().noquote() << "--- SourceTuple Log ---";
    if (!heading.isEmpty())
        qInfo().noquote() << heading;
    qInfo().noquote() << QStringLiteral("source = %1").arg(isSourceDocAllocated() ? "allocated" : "nil");
    qInfo().noquote() << QStringLiteral("removeable: %1").arg(removable() ? "YES" : "NO");
    for (const QString& line : description().split(QLatin1Char('\n')))
        qInfo().noquote() << line;
    qInfo().noquote() << "--- End SourceTuple Log ---";
}

// --- archive -----------------------------------------------------------------------------------

namespace {

// Where a path lives: under the books folder, under the public data folder, or elsewhere. The
// prefix must be followed by "/" (or be the whole path), so "/books2/x" is not under "/books".
void splitPath(const QString& path, const QString& booksFolder, QString& folder, QString& rest)
{
    const QString books = booksFolder.isEmpty() ? AppFolders::booksDirectory() : booksFolder;
    const QString publicData = AppFolders::publicDataDirectory();
    auto under = [&](const QString& prefix) {
        return !prefix.isEmpty() && path.startsWith(prefix) &&
            (path.size() == prefix.size() || path.at(prefix.size()) == QLatin1Char('/'));
    };
    if (under(books)) {
        folder = QStringLiteral("booksfolder");
        rest = path.mid(books.size());
    } else if (under(publicData)) {
        folder = QStringLiteral("publicdatafolder");
        rest = path.mid(publicData.size());
    } else {
        folder = QStringLiteral("unknownfolder");
        rest = path;
    }
}

}  // namespace

QVariant SourceTuple::encode(const QString& booksFolder) const
{
    KeyedArchiver a(kArchiveClassName);
    a.encodeInt32(QStringLiteral("archiveVersionNumber"), kArchiveVersion);
    a.encodeBool(QStringLiteral("removable"), removable());
    a.encodeString(QStringLiteral("name"), m_record.name);
    a.encodeString(QStringLiteral("abbr"), m_record.abbr);
    a.encodeString(QStringLiteral("sortTitle"), m_record.sortTitle);
    a.encodeString(QStringLiteral("subtitle"), m_record.subtitle);
    a.encodeInt64(QStringLiteral("pubID"), m_record.pubID);
    a.encodeInt64(QStringLiteral("bookID"), m_record.bookID);
    a.encodeInt64(QStringLiteral("editionNumber"), m_record.editionNumber);
    a.encodeInt64(QStringLiteral("revisionNumber"), m_record.revisionNumber);
    a.encodeInt64(QStringLiteral("kind"), kind());
    a.encodeInt64(QStringLiteral("classification"), m_record.classification);
    a.encodeDate(QStringLiteral("modificationTime"), m_record.modificationTime);
    for (int i = 0; i < kFirstVersion3Table; ++i)
        a.encodeInt64(QLatin1String(kTableVersions[i].key), m_record.*kTableVersions[i].field);
    a.encodeString(QStringLiteral("bibleBooks"), m_record.bibleBooks);
    a.encodeInt64(QStringLiteral("numDictionaryLookupWords"), static_cast<qint64>(m_record.numDictionaryLookupWords));
    a.encodeInt64(QStringLiteral("numCommentaryLookupWords"), static_cast<qint64>(m_record.numCommentaryLookupWords));
    a.encodeBool(QStringLiteral("ignoreIntraBookSync"), m_record.ignoreIntraBookSync);
    a.encodeInt64(QStringLiteral("syncType"), static_cast<qint64>(m_record.syncType));
    a.encodeInt64(QStringLiteral("numSections"), static_cast<qint64>(m_record.numSections));
    a.encodeInt64(QStringLiteral("numBlocks"), static_cast<qint64>(m_record.numBlocks));
    a.encodeInt64(QStringLiteral("bookLanguage"), static_cast<qint64>(m_record.bookLanguage));
    a.encodeString(QStringLiteral("bookLanguageString"), m_record.bookLanguageString);
    a.encodeInt64(QStringLiteral("numReadings"), static_cast<qint64>(m_record.numReadings));
    a.encodeString(QStringLiteral("copyrightText"), m_record.copyrightText);
    a.encodeString(QStringLiteral("author"), m_record.author);
    a.encodeString(QStringLiteral("publisher"), m_record.publisher);
    a.encodeString(QStringLiteral("publisherCity"), m_record.publisherCity);
    a.encodeString(QStringLiteral("publisherDate"), m_record.publisherDate);
    a.encodeInt64(QStringLiteral("minVerMaj"), m_record.minVerMaj);
    a.encodeInt64(QStringLiteral("minVerMin"), m_record.minVerMin);
    a.encodeInt64(QStringLiteral("fileVerMaj"), m_record.fileVerMaj);
    a.encodeInt64(QStringLiteral("fileVerMin"), m_record.fileVerMin);
    a.encodeBool(QStringLiteral("noVerseNums"), m_record.noVerseNums);
    a.encodeInt64(QStringLiteral("numWordAttributeDefinitions"), m_record.numWordAttributeDefinitions);
    a.encodeInt64(QStringLiteral("docSupportsFlags"), static_cast<qint64>(m_record.docSupportsFlags));
    for (int i = kFirstVersion3Table; i < 12; ++i)
        a.encodeInt64(QLatin1String(kTableVersions[i].key), m_record.*kTableVersions[i].field);
    QString folder, rest;
    splitPath(m_record.filepath, booksFolder, folder, rest);
    a.encodeString(QStringLiteral("standardFileFolder"), folder);
    a.encodeString(QStringLiteral("filepath"), rest);
    return a.archivedObject();
}

QVariant SourceTuple::encodeReference(const QString& booksFolder) const
{
    KeyedArchiver a(kArchiveClassName);
    a.encodeInt32(QStringLiteral("archiveVersionNumber"), kArchiveVersion);
    a.encodeInt64(QStringLiteral("pubID"), m_record.pubID);
    a.encodeInt64(QStringLiteral("bookID"), m_record.bookID);
    a.encodeInt64(QStringLiteral("editionNumber"), m_record.editionNumber);
    a.encodeInt64(QStringLiteral("revisionNumber"), m_record.revisionNumber);
    QString folder, rest;
    splitPath(m_record.filepath, booksFolder, folder, rest);
    a.encodeString(QStringLiteral("standardFileFolder"), folder);
    a.encodeString(QStringLiteral("filepath"), rest);
    return a.archivedObject();
}

namespace {

QString decodedFilepath(const KeyedUnarchiver& u, const QString& booksFolder)
{
    const QString folder = u.decodeString(QStringLiteral("standardFileFolder"));
    const QString stored = u.decodeString(QStringLiteral("filepath"));
    if (folder == QLatin1String("booksfolder"))
        return (booksFolder.isEmpty() ? AppFolders::booksDirectory() : booksFolder) + stored;
    if (folder == QLatin1String("publicdatafolder"))
        return AppFolders::publicDataDirectory() + stored;
    return stored;
}

}  // namespace

bool SourceTuple::decodeReference(
    const QVariant& archived, const QString& booksFolder, SourceTupleID& identity, QString& filepath)
{
    const KeyedUnarchiver u(archived);
    if (!u.isValid() || u.className() != kArchiveClassName)
        return false;
    identity = SourceTupleID(u.decodeInt64(QStringLiteral("pubID")), u.decodeInt64(QStringLiteral("bookID")),
        u.decodeInt64(QStringLiteral("editionNumber")), u.decodeInt64(QStringLiteral("revisionNumber")));
    filepath = decodedFilepath(u, booksFolder);
    return !u.typeMismatch();
}

SourceTuple::Ptr SourceTuple::decode(const QVariant& archived, const QString& booksFolder)
{
    const KeyedUnarchiver u(archived);
    if (!u.isValid() || u.className() != kArchiveClassName)
        return nullptr;
    auto t = std::make_shared<SourceTuple>();
    const qint32 version = u.decodeInt32(QStringLiteral("archiveVersionNumber"));
    t->m_removable = u.decodeBool(QStringLiteral("removable"));
    t->m_record.name = u.decodeString(QStringLiteral("name"));
    t->m_record.abbr = u.decodeString(QStringLiteral("abbr"));
    t->m_record.sortTitle = u.decodeString(QStringLiteral("sortTitle"));
    t->m_record.subtitle = u.decodeString(QStringLiteral("subtitle"));
    t->m_record.pubID = u.decodeInt64(QStringLiteral("pubID"));
    t->m_record.bookID = u.decodeInt64(QStringLiteral("bookID"));
    t->m_record.editionNumber = u.decodeInt64(QStringLiteral("editionNumber"));
    t->m_record.revisionNumber = u.decodeInt64(QStringLiteral("revisionNumber"));
    t->m_kind = u.decodeInt64(QStringLiteral("kind"));
    t->m_record.classification = u.decodeInt64(QStringLiteral("classification"));
    t->m_record.modificationTime = u.decodeDate(QStringLiteral("modificationTime"));
    for (int i = 0; i < kFirstVersion3Table; ++i)
        t->m_record.*kTableVersions[i].field = u.decodeInt64(QLatin1String(kTableVersions[i].key));
    t->m_record.bibleBooks = u.decodeString(QStringLiteral("bibleBooks"));
    t->m_record.numDictionaryLookupWords =
        static_cast<quint64>(u.decodeInt64(QStringLiteral("numDictionaryLookupWords")));
    t->m_record.numCommentaryLookupWords =
        static_cast<quint64>(u.decodeInt64(QStringLiteral("numCommentaryLookupWords")));
    t->m_record.ignoreIntraBookSync = u.decodeBool(QStringLiteral("ignoreIntraBookSync"));
    t->m_record.syncType = static_cast<quint64>(u.decodeInt64(QStringLiteral("syncType")));
    t->m_record.numSections = static_cast<quint64>(u.decodeInt64(QStringLiteral("numSections")));
    t->m_record.numBlocks = static_cast<quint64>(u.decodeInt64(QStringLiteral("numBlocks")));
    t->m_record.bookLanguage = static_cast<quint64>(u.decodeInt64(QStringLiteral("bookLanguage")));
    t->m_record.bookLanguageString = u.decodeString(QStringLiteral("bookLanguageString"));
    t->m_record.numReadings = static_cast<quint64>(u.decodeInt64(QStringLiteral("numReadings")));
    t->m_record.copyrightText = u.decodeString(QStringLiteral("copyrightText"));
    t->m_record.author = u.decodeString(QStringLiteral("author"));
    t->m_record.publisher = u.decodeString(QStringLiteral("publisher"));
    t->m_record.publisherCity = u.decodeString(QStringLiteral("publisherCity"));
    t->m_record.publisherDate = u.decodeString(QStringLiteral("publisherDate"));
    t->m_record.minVerMaj = u.decodeInt64(QStringLiteral("minVerMaj"));
    t->m_record.minVerMin = u.decodeInt64(QStringLiteral("minVerMin"));
    t->m_record.fileVerMaj = u.decodeInt64(QStringLiteral("fileVerMaj"));
    t->m_record.fileVerMin = u.decodeInt64(QStringLiteral("fileVerMin"));
    t->m_record.noVerseNums = u.decodeBool(QStringLiteral("noVerseNums"));
    t->m_record.numWordAttributeDefinitions = u.decodeInt64(QStringLiteral("numWordAttributeDefinitions"));
    t->m_record.docSupportsFlags = static_cast<quint64>(u.decodeInt64(QStringLiteral("docSupportsFlags")));
    if (version >= 3) {
        for (int i = kFirstVersion3Table; i < 12; ++i)
            t->m_record.*kTableVersions[i].field = u.decodeInt64(QLatin1String(kTableVersions[i].key));
    }
    t->m_record.filepath = decodedFilepath(u, booksFolder);
    // A value of the wrong kind anywhere means the archive is not one of ours: refuse the tuple
    // rather than list a book with made-up fields.
    if (u.typeMismatch())
        return nullptr;
    t->m_confirmedPresent = false;
    return t;
}

// --- book texts --------------------------------------------------------------------------------

namespace {

// The citation: author, title, city, publisher, date, each left out when the book has none.
QString citation(const SourceTupleRecord& r, bool escapeName)
{
    const QString name = escapeName ? r.name.toHtmlEscaped() : r.name;
    QString publisher;
    if (!r.publisher.isEmpty())
        publisher = r.publisherDate.isEmpty() ? r.publisher + QStringLiteral(".") : r.publisher + QStringLiteral(", ");
    return QStringLiteral("%1\u201C%2\u201D. %3%4%5")
        .arg(r.author.isEmpty() ? QString() : r.author + QStringLiteral(". "), name,
            r.publisherCity.isEmpty() ? QString() : r.publisherCity + QStringLiteral(": "), publisher,
            r.publisherDate.isEmpty() ? QString() : r.publisherDate + QStringLiteral("."));
}

}  // namespace

QString SourceTuple::bibliographicCitation() const
{
    return citation(m_record, false);
}

QString SourceTuple::bibliographicCitationHtml() const
{
    return citation(m_record, true);
}

QString SourceTuple::aboutThisBookContents()
{
    // Titles, the path and the Bible-books list are plain text and are escaped; the bibliographic
    // texts are the book's own HTML, already filtered when the record was made.
    QString html;
    html.reserve(1024);
    html +=
        QStringLiteral("<p align='center'><b>%1%2 (%3)</b></p>")
            .arg(m_record.name.toHtmlEscaped(),
                m_record.subtitle.isEmpty() ? QString() : QStringLiteral(": %1").arg(m_record.subtitle.toHtmlEscaped()),
                m_record.abbr.toHtmlEscaped());
    // html-safe: the name escaped, the rest the book's own HTML filtered when the record was read
    html += QStringLiteral("<p>%1</p>").arg(citation(m_record, true));
    // html-safe: the book's own HTML, filtered when the record was read
    html += m_record.copyrightText.isEmpty() ? QStringLiteral("<p>No copyright notice available.</p>")
                                             : QStringLiteral("<p>%1</p>").arg(m_record.copyrightText);
    html += QStringLiteral("<hr />");
    // html-safe: numbers
    html += QStringLiteral("<p>Book Identifier: %1:%2:%3:%4<br />")
                .arg(m_record.pubID)
                .arg(m_record.bookID)
                .arg(m_record.editionNumber)
                .arg(m_record.revisionNumber);
    // html-safe: numbers
    html += QStringLiteral("Minimum Book Reader Engine: %1.%2 (you have %3.%4)<br />")
                .arg(m_record.minVerMaj)
                .arg(m_record.minVerMin, 3, 10, QLatin1Char('0'))
                .arg(1)
                .arg(78, 3, 10, QLatin1Char('0'));
    // html-safe: numbers
    html += QStringLiteral("Book File Format: %1.%2</p>")
                .arg(m_record.fileVerMaj)
                .arg(m_record.fileVerMin, 3, 10, QLatin1Char('0'));
    html += QStringLiteral("<p>This book is ");
    const QString noVerses = m_record.noVerseNums
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
        if (m_record.numWordAttributeDefinitions > 0) {
            // html-safe: a literal, chosen above
            html += QStringLiteral("a Bible with word attributes.%1</p><p>Attributes:").arg(noVerses);
            for (qint64 i = 0; i < m_record.numWordAttributeDefinitions; ++i)
                html += QStringLiteral("<br />%1").arg(m_words.humanReadableNameForAttribute(i).toHtmlEscaped());
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
        html += QStringLiteral("a devotional with %1 readings.</p>").arg(m_record.numReadings);
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
    if ((k == kKindBible || k == kKindStrongsBible || k == kKindWordAttributeBible) && !m_record.bibleBooks.isEmpty()) {
        QString books = m_record.bibleBooks;
        books.replace(QLatin1Char(','), QStringLiteral(", "));
        html += QStringLiteral("<p>Custom versification: %1</p>").arg(books.toHtmlEscaped());
    }
    html += QStringLiteral("<p>Base language is %1.</p>").arg(m_record.bookLanguageString.toHtmlEscaped());
    if (m_record.ignoreIntraBookSync)
        html += QStringLiteral("<p>This book ignores its own 'sync' links to reduce confusion.</p>");
    html += QStringLiteral("<p>Path: %1</p>").arg(m_record.filepath.toHtmlEscaped());
    return html;
}
