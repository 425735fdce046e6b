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

const char* const kTableVersionKeys[12] = {"bookNameListVersion", "bookNumToNameNumVersion", "transListVersion",
    "bibleBooksVersion", "nameNumberToBookCategoriesVersion", "verseMapVersion", "totalOrderOnBookNumberVersion",
    "fixUpRefMapVersion", "getKeyMapVersion", "doMapSpecialCasesMapVersion", "getChapterNumberSpellingMapVersion",
    "isOneChapterBookListVersion"};
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
        t->m_pubID = kReservedPubID;
        t->m_bookID = kBiblesBookID;
        t->m_editionNumber = 1;
        t->m_revisionNumber = 1;
        t->m_kind = kKindBible;
        t->m_classification = kClassBible;
        t->m_name = QStringLiteral("Bibles");
        t->m_abbr = QStringLiteral("BIBLES");
        t->m_sortTitle = QStringLiteral("Bibles");
        t->m_subtitle = QStringLiteral("");
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

qint64 SourceTuple::sourceClassificationForSource(cSourceDoc& doc)
{
    if (doc.supports(::kDocSupportsIsBible))
        return kClassBible;
    if (doc.supports(::kDocSupportsIsFakeJournalDoc))
        return kClassOther;
    switch (doc.GetBookType()) {
    case 1:
        return kClassCommentary;
    case 2:
        return kClassDictionary;
    case 3:
        return kClassDevotional;
    default:
        break;
    }
    std::uint8_t fileMajor = 0, fileMinor = 0;
    if (auto* book = dynamic_cast<cBookDoc*>(&doc); book != nullptr && book->bookFile() != nullptr) {
        fileMajor = book->bookFile()->genInfo().fileMajor();
        fileMinor = book->bookFile()->genInfo().fileMinor();
    }
    if (fileMajor >= 2 || (fileMajor == 1 && fileMinor > 23))
        return kClassOther;
    if (doc.supports(::kDocSupportsBibleSync))
        return kClassCommentary;
    if (doc.supports(::kDocSupportsWordLookup))
        return kClassDictionary;
    if (doc.supports(::kDocSupportsDateLookup))
        return kClassDevotional;
    return kClassOther;
}

qint64 SourceTuple::sourceKindForSource(cSourceDoc& doc)
{
    const qint64 classification = sourceClassificationForSource(doc);
    switch (classification) {
    case kClassDictionary: {
        auto* book = dynamic_cast<cBookDoc*>(&doc);
        if (book != nullptr) {
            std::uint32_t first = 0, last = 0;
            if (book->sectionRangeForDictionaryWord(cLString8("G1"), false, first, last))
                return kKindStrongsDictionary;
            if (book->sectionRangeForDictionaryWord(cLString8("H1"), false, first, last))
                return kKindStrongsDictionary;
        }
        return kKindDictionary;
    }
    case kClassCommentary: {
        const BookIdentity id = doc.bookIdentity();
        if ((id.publisher == 1 && id.book == 111) || (id.publisher == 101 && id.book == 6901))
            return kKindCrossReferenceCommentary;
        return kKindCommentary;
    }
    case kClassBible:
        if (doc.supports(::kDocSupportsWordAttributes))
            return kKindWordAttributeBible;
        if (doc.supports(::kDocSupportsStrongsGreek) || doc.supports(::kDocSupportsStrongsHebrew))
            return kKindStrongsBible;
        return kKindBible;
    default:
        return classification;
    }
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
    if (m_doc == nullptr && !m_filepath.isEmpty())
        m_doc = allocateSourceForFile(m_filepath);
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

void SourceTuple::clearRecord()
{
    m_name = QString();
    m_abbr = QString();
    m_sortTitle = QString();
    m_subtitle = QString();
    m_modificationTime = QDateTime();
    m_bibleBooks = QString();
    m_filepath = QString();
    m_removable = false;
    m_pubID = m_bookID = m_editionNumber = m_revisionNumber = 0;
    m_kind = 0;
    m_classification = 0;
    for (qint64& v : m_tableVersions)
        v = 0;
    m_confirmedPresent = false;
}

void SourceTuple::setSourceDoc(std::shared_ptr<cSourceDoc> doc)
{
    std::shared_ptr<cSourceDoc> old;
    {
        std::lock_guard<std::mutex> lock(m_docMutex);
        old.swap(m_doc);
        m_doc = doc;
    }
    old.reset();
    clearRecord();
    if (doc != nullptr)
        fillFrom(*doc);
}

void SourceTuple::fillFrom(cSourceDoc& doc)
{
    auto* book = dynamic_cast<cBookDoc*>(&doc);
    cBkBookFile* file = book != nullptr ? book->bookFile() : nullptr;
    if (doc.supports(::kDocSupportsIsBible) && file != nullptr) {
        cBkGenInfoStg& g = file->genInfo();
        m_tableVersions[0] = g.bookNameListVersion();
        m_tableVersions[1] = g.bookNumToNameNumVersion();
        m_tableVersions[2] = g.transListVersion();
        m_tableVersions[3] = g.bibleBooksVersion();
        m_tableVersions[4] = g.nameNumberToBookCategoriesVersion();
        m_tableVersions[5] = g.verseMapVersion();
        m_tableVersions[6] = g.totalOrderOnBookNumberVersion();
        m_tableVersions[7] = g.fixUpRefMapVersion();
        m_tableVersions[8] = g.getKeyMapVersion();
        m_tableVersions[9] = g.doMapSpecialCasesMapVersion();
        m_tableVersions[10] = g.getChapterNumberSpellingMapVersion();
        m_tableVersions[11] = g.isOneChapterBookListVersion();
        std::string books;
        g.bibleBooksString(books, false);
        m_bibleBooks = EngineStrings::fromUtf8(books);
    }
    const BookIdentity id = doc.bookIdentity();
    m_pubID = id.publisher;
    m_bookID = id.book;
    m_editionNumber = id.edition;
    m_revisionNumber = id.revision;

    cLString8 text;
    doc.GetFullTitle(text);
    m_name = EngineStrings::fromUtf8(text);
    doc.GetTitle(text, true);
    m_abbr = EngineStrings::fromUtf8(text);
    doc.GetSortTitle(text);
    m_sortTitle = EngineStrings::fromUtf8(text);
    doc.GetSubtitle(text);
    m_subtitle = EngineStrings::fromUtf8(text);

    m_kind = sourceKindForSource(doc);
    m_classification = sourceClassificationForKind(m_kind);

    doc.GetPathNameUTF8(text);
    if (text.isEmpty() || doc.supports(::kDocSupportsIsFakeJournalDoc)) {
        m_modificationTime = QDateTime::currentDateTimeUtc();
        m_filepath = QStringLiteral("FakeJournalDoc");
    } else {
        m_filepath = EngineStrings::fromUtf8(text);
        m_modificationTime = fileModificationTime(m_filepath);
    }
    m_docSupportsFlags = doc.GetSupportFlags();

    if (file == nullptr) {
        m_numReadings = 0;
        m_ignoreIntraBookSync = false;
        m_numDictionaryLookupWords = m_numCommentaryLookupWords = 0;
        m_syncType = m_numSections = m_numBlocks = 0;
        m_bookLanguage = 1033;
        m_bookLanguageString = QStringLiteral("English");
        m_copyrightText = m_author = m_publisher = m_publisherCity = m_publisherDate = QStringLiteral("");
        m_noVerseNums = false;
        m_minVerMaj = m_minVerMin = m_fileVerMaj = m_fileVerMin = 0;
        m_numWordAttributeDefinitions = 0;
        return;
    }
    cBkGenInfoStg& g = file->genInfo();
    m_syncType = doc.GetBookType();
    m_numSections = doc.GetNumSections();
    m_numReadings = 0;
    if (m_syncType == 3) {
        if (auto* dated = dynamic_cast<cDateDoc*>(&doc))
            m_numReadings = dated->numReadings();
    }
    m_numDictionaryLookupWords = file->syncWords() != nullptr ? file->syncWords()->words->wordCount() : 0;
    m_numCommentaryLookupWords = file->verseSyncWords() != nullptr ? file->verseSyncWords()->words->wordCount() : 0;
    m_ignoreIntraBookSync = g.ignoreIntraBookSyncFlag();
    m_noVerseNums = g.noVerseNumbersFlag();
    m_numBlocks = file->nodes().blockCount();
    m_bookLanguage = g.languageNumber() == 0 ? 1033 : g.languageNumber();
    m_bookLanguageString = languageString(m_bookLanguage);
    std::string s;
    g.copyright(s, false);
    m_copyrightText = filtered(s);
    g.author(s, false);
    m_author = filtered(s);
    g.publisher(s, false);
    m_publisher = filtered(s);
    g.publisherCity(s, false);
    m_publisherCity = filtered(s);
    g.publisherDate(s, false);
    m_publisherDate = filtered(s);
    m_minVerMaj = g.minimumReaderMajor();
    m_minVerMin = g.minimumReaderMinor();
    m_fileVerMaj = g.fileMajor();
    m_fileVerMin = g.fileMinor();
    m_numWordAttributeDefinitions = g.hasWordAttributeDefs() ? g.wordAttributeDefs().definitionCount() : 0;
    m_confirmedPresent = true;
}

quint32 SourceTuple::numSectionsOfDocument()
{
    const auto doc = sourceDoc();
    return doc != nullptr ? doc->GetNumSections() : 0;
}

// --- identity and record -----------------------------------------------------------------------

bool SourceTuple::isFakeJournalDoc() const
{
    return m_pubID == kReservedPubID && m_bookID == kJournalBookID && m_editionNumber == 1 && m_revisionNumber == 1;
}

bool SourceTuple::isFakeBibleDoc() const
{
    return m_pubID == kReservedPubID && m_bookID == kBiblesBookID && m_editionNumber == 1 && m_revisionNumber == 1;
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
    if (m_filepath.isEmpty())
        return true;
    const QDateTime now = fileModificationTime(m_filepath);
    if (!now.isValid())
        return true;
    return now != m_modificationTime;
}

void SourceTuple::modificationTime(std::tm& out)
{
    std::time_t t = std::time(nullptr);
    if (const auto doc = bookDoc(); doc != nullptr && doc->bookFile() != nullptr) {
        cLString8 path;
        doc->GetPathNameUTF8(path);
        const QDateTime m = fileModificationTime(EngineStrings::fromUtf8(path));
        if (m.isValid())
            t = static_cast<std::time_t>(m.toSecsSinceEpoch());
    }
    gmtime_r(&t, &out);
}

QString SourceTuple::description() const
{
    QString s;
    s += QStringLiteral("name: %1\n").arg(m_name);
    s += QStringLiteral("abbr: %1\n").arg(m_abbr);
    s += QStringLiteral("sortTitle: %1\n").arg(m_sortTitle);
    s += QStringLiteral("subtitle: %1\n").arg(m_subtitle);
    s += QStringLiteral("bookdID=%1:%2:%3:%4\n").arg(m_pubID).arg(m_bookID).arg(m_editionNumber).arg(m_revisionNumber);
    s += QStringLiteral("kind: %1\n").arg(kind());
    s += QStringLiteral("classification: %1\n").arg(m_classification);
    s += QStringLiteral("date: %1\n").arg(m_modificationTime.toUTC().toString(Qt::ISODate));
    for (int i = 0; i < 12; ++i)
        s += QStringLiteral("%1: %2\n").arg(QLatin1String(kTableVersionKeys[i])).arg(m_tableVersions[i]);
    s += QStringLiteral("bibleBooks: %1\n").arg(m_bibleBooks);
    s += QStringLiteral("filepath: %1").arg(m_filepath);
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
    a.encodeString(QStringLiteral("name"), m_name);
    a.encodeString(QStringLiteral("abbr"), m_abbr);
    a.encodeString(QStringLiteral("sortTitle"), m_sortTitle);
    a.encodeString(QStringLiteral("subtitle"), m_subtitle);
    a.encodeInt64(QStringLiteral("pubID"), m_pubID);
    a.encodeInt64(QStringLiteral("bookID"), m_bookID);
    a.encodeInt64(QStringLiteral("editionNumber"), m_editionNumber);
    a.encodeInt64(QStringLiteral("revisionNumber"), m_revisionNumber);
    a.encodeInt64(QStringLiteral("kind"), kind());
    a.encodeInt64(QStringLiteral("classification"), m_classification);
    a.encodeDate(QStringLiteral("modificationTime"), m_modificationTime);
    for (int i = 0; i < kFirstVersion3Table; ++i)
        a.encodeInt64(QLatin1String(kTableVersionKeys[i]), m_tableVersions[i]);
    a.encodeString(QStringLiteral("bibleBooks"), m_bibleBooks);
    a.encodeInt64(QStringLiteral("numDictionaryLookupWords"), static_cast<qint64>(m_numDictionaryLookupWords));
    a.encodeInt64(QStringLiteral("numCommentaryLookupWords"), static_cast<qint64>(m_numCommentaryLookupWords));
    a.encodeBool(QStringLiteral("ignoreIntraBookSync"), m_ignoreIntraBookSync);
    a.encodeInt64(QStringLiteral("syncType"), static_cast<qint64>(m_syncType));
    a.encodeInt64(QStringLiteral("numSections"), static_cast<qint64>(m_numSections));
    a.encodeInt64(QStringLiteral("numBlocks"), static_cast<qint64>(m_numBlocks));
    a.encodeInt64(QStringLiteral("bookLanguage"), static_cast<qint64>(m_bookLanguage));
    a.encodeString(QStringLiteral("bookLanguageString"), m_bookLanguageString);
    a.encodeInt64(QStringLiteral("numReadings"), static_cast<qint64>(m_numReadings));
    a.encodeString(QStringLiteral("copyrightText"), m_copyrightText);
    a.encodeString(QStringLiteral("author"), m_author);
    a.encodeString(QStringLiteral("publisher"), m_publisher);
    a.encodeString(QStringLiteral("publisherCity"), m_publisherCity);
    a.encodeString(QStringLiteral("publisherDate"), m_publisherDate);
    a.encodeInt64(QStringLiteral("minVerMaj"), m_minVerMaj);
    a.encodeInt64(QStringLiteral("minVerMin"), m_minVerMin);
    a.encodeInt64(QStringLiteral("fileVerMaj"), m_fileVerMaj);
    a.encodeInt64(QStringLiteral("fileVerMin"), m_fileVerMin);
    a.encodeBool(QStringLiteral("noVerseNums"), m_noVerseNums);
    a.encodeInt64(QStringLiteral("numWordAttributeDefinitions"), m_numWordAttributeDefinitions);
    a.encodeInt64(QStringLiteral("docSupportsFlags"), static_cast<qint64>(m_docSupportsFlags));
    for (int i = kFirstVersion3Table; i < 12; ++i)
        a.encodeInt64(QLatin1String(kTableVersionKeys[i]), m_tableVersions[i]);
    QString folder, rest;
    splitPath(m_filepath, booksFolder, folder, rest);
    a.encodeString(QStringLiteral("standardFileFolder"), folder);
    a.encodeString(QStringLiteral("filepath"), rest);
    return a.archivedObject();
}

QVariant SourceTuple::encodeReference(const QString& booksFolder) const
{
    KeyedArchiver a(kArchiveClassName);
    a.encodeInt32(QStringLiteral("archiveVersionNumber"), kArchiveVersion);
    a.encodeInt64(QStringLiteral("pubID"), m_pubID);
    a.encodeInt64(QStringLiteral("bookID"), m_bookID);
    a.encodeInt64(QStringLiteral("editionNumber"), m_editionNumber);
    a.encodeInt64(QStringLiteral("revisionNumber"), m_revisionNumber);
    QString folder, rest;
    splitPath(m_filepath, booksFolder, folder, rest);
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
    t->m_name = u.decodeString(QStringLiteral("name"));
    t->m_abbr = u.decodeString(QStringLiteral("abbr"));
    t->m_sortTitle = u.decodeString(QStringLiteral("sortTitle"));
    t->m_subtitle = u.decodeString(QStringLiteral("subtitle"));
    t->m_pubID = u.decodeInt64(QStringLiteral("pubID"));
    t->m_bookID = u.decodeInt64(QStringLiteral("bookID"));
    t->m_editionNumber = u.decodeInt64(QStringLiteral("editionNumber"));
    t->m_revisionNumber = u.decodeInt64(QStringLiteral("revisionNumber"));
    t->m_kind = u.decodeInt64(QStringLiteral("kind"));
    t->m_classification = u.decodeInt64(QStringLiteral("classification"));
    t->m_modificationTime = u.decodeDate(QStringLiteral("modificationTime"));
    for (int i = 0; i < kFirstVersion3Table; ++i)
        t->m_tableVersions[i] = u.decodeInt64(QLatin1String(kTableVersionKeys[i]));
    t->m_bibleBooks = u.decodeString(QStringLiteral("bibleBooks"));
    t->m_numDictionaryLookupWords = static_cast<quint64>(u.decodeInt64(QStringLiteral("numDictionaryLookupWords")));
    t->m_numCommentaryLookupWords = static_cast<quint64>(u.decodeInt64(QStringLiteral("numCommentaryLookupWords")));
    t->m_ignoreIntraBookSync = u.decodeBool(QStringLiteral("ignoreIntraBookSync"));
    t->m_syncType = static_cast<quint64>(u.decodeInt64(QStringLiteral("syncType")));
    t->m_numSections = static_cast<quint64>(u.decodeInt64(QStringLiteral("numSections")));
    t->m_numBlocks = static_cast<quint64>(u.decodeInt64(QStringLiteral("numBlocks")));
    t->m_bookLanguage = static_cast<quint64>(u.decodeInt64(QStringLiteral("bookLanguage")));
    t->m_bookLanguageString = u.decodeString(QStringLiteral("bookLanguageString"));
    t->m_numReadings = static_cast<quint64>(u.decodeInt64(QStringLiteral("numReadings")));
    t->m_copyrightText = u.decodeString(QStringLiteral("copyrightText"));
    t->m_author = u.decodeString(QStringLiteral("author"));
    t->m_publisher = u.decodeString(QStringLiteral("publisher"));
    t->m_publisherCity = u.decodeString(QStringLiteral("publisherCity"));
    t->m_publisherDate = u.decodeString(QStringLiteral("publisherDate"));
    t->m_minVerMaj = u.decodeInt64(QStringLiteral("minVerMaj"));
    t->m_minVerMin = u.decodeInt64(QStringLiteral("minVerMin"));
    t->m_fileVerMaj = u.decodeInt64(QStringLiteral("fileVerMaj"));
    t->m_fileVerMin = u.decodeInt64(QStringLiteral("fileVerMin"));
    t->m_noVerseNums = u.decodeBool(QStringLiteral("noVerseNums"));
    t->m_numWordAttributeDefinitions = u.decodeInt64(QStringLiteral("numWordAttributeDefinitions"));
    t->m_docSupportsFlags = static_cast<quint64>(u.decodeInt64(QStringLiteral("docSupportsFlags")));
    if (version >= 3) {
        for (int i = kFirstVersion3Table; i < 12; ++i)
            t->m_tableVersions[i] = u.decodeInt64(QLatin1String(kTableVersionKeys[i]));
    }
    t->m_filepath = decodedFilepath(u, booksFolder);
    // A value of the wrong kind anywhere means the archive is not one of ours: refuse the tuple
    // rather than list a book with made-up fields.
    if (u.typeMismatch())
        return nullptr;
    t->m_confirmedPresent = false;
    return t;
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
