// The library's seven archives and the refresh of the engine's Bible-reference tables.

#include "engine/references/BibleRef.h"
#include "engine/references/cBibleRefTables.h"
#include "library/SourceManager.h"
#include "library/SourceManagerOperation.h"
#include "platform/AppFolders.h"
#include "platform/KeyedArchive.h"

#include <QDebug>
#include <QFile>
#include <QHash>
#include <QPair>
#include <QSet>
#include <QUuid>

#include <cstdio>

#ifndef QS_LIBRARY_ARCHIVE_BUILD
#define QS_LIBRARY_ARCHIVE_BUILD "unknown"
#endif

namespace {

const QString kBuildKey = QStringLiteral("buildNumber");

using ListMember = SourceTupleArray::Ptr SourceManager::*;

}  // namespace

const QStringList& SourceManager::archiveFileNames()
{
    static const QStringList names {QStringLiteral("SourceManager-allSources.plist"),
        QStringLiteral("SourceManager-bibleSources.plist"), QStringLiteral("SourceManager-commentarySources.plist"),
        QStringLiteral("SourceManager-dictionarySources.plist"),
        QStringLiteral("SourceManager-devotionalSources.plist"), QStringLiteral("SourceManager-otherSources.plist"),
        QStringLiteral("SourceManager-customBibles.plist")};
    return names;
}

QString SourceManager::archiveBuild()
{
    return QStringLiteral(QS_LIBRARY_ARCHIVE_BUILD);
}

bool SourceManager::archiveState()
{
    std::lock_guard<std::recursive_mutex> lock(m_operationMutex);
    if (m_depth > 0) {
        // Written once, when the running operation ends.
        m_archivePending = true;
        return true;
    }
    Operation op(*this);
    return writeArchives();
}

bool SourceManager::writeArchives()
{
    if (m_folders.cache.isEmpty() || m_folders.readOnly)
        return false;
    appendToLaunchLog(QStringLiteral("archiving SourceManager state"));
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const SourceTupleArray::Ptr lists[7] = {allSources(), bibleSources(), commentarySources(), dictionarySources(),
        devotionalSources(), otherSources(), customBibles()};
    for (const auto& list : lists)
        list->setUuid(uuid);
    for (int i = 0; i < 7; ++i) {
        // allSources holds the records; the other lists name them by identity and file.
        QVariant archived = i == 0 ? lists[i]->encode(m_folders.books) : lists[i]->encodeReferences(m_folders.books);
        if (i == 0) {
            QVariantMap map = archived.toMap();
            map.insert(kBuildKey, archiveBuild());
            archived = map;
        }
        const QString path = m_folders.cache + QLatin1Char('/') + archiveFileNames().at(i);
        if (!KeyedArchive::writeFile(path, archived, nullptr, QStringLiteral("the list of installed books"))) {
            appendToLaunchLog(QStringLiteral("failed archiving SourceManager state"));
            qWarning().noquote() << QStringLiteral("Library: could not write %1").arg(path);
            return false;
        }
    }
    appendToLaunchLog(QStringLiteral("done archiving SourceManager state"));
    return true;
}

bool SourceManager::dearchiveState()
{
    Operation op(*this);
    appendToLaunchLog(QStringLiteral("dearchiving SourceManager state"));
    resetAllSources();
    if (m_folders.cache.isEmpty())
        return false;
    static const ListMember members[7] = {&SourceManager::m_allSources, &SourceManager::m_bibleSources,
        &SourceManager::m_commentarySources, &SourceManager::m_dictionarySources, &SourceManager::m_devotionalSources,
        &SourceManager::m_otherSources, &SourceManager::m_customBibles};
    // Every listed book must stand in allSources once, with the same identity and file; the other
    // lists share allSources' records (one book has one record and one document), so only the
    // identity and file of each of their elements is read.
    SourceTupleArray::Ptr lists[7];
    const QVariant all = KeyedArchive::readFile(m_folders.cache + QLatin1Char('/') + archiveFileNames().at(0));
    const QString build = all.toMap().value(kBuildKey).toString();
    lists[0] = SourceTupleArray::decode(all, m_folders.books);
    QHash<QString, SourceTuple::Ptr> byFile;
    bool consistent = lists[0] != nullptr && build == archiveBuild();
    if (consistent) {
        QSet<QPair<qint64, qint64>> books;
        byFile.reserve(static_cast<qsizetype>(lists[0]->array().size()));
        for (const auto& t : lists[0]->array()) {
            const QPair<qint64, qint64> book(t->record().pubID, t->record().bookID);
            if (t->record().pubID < 1 || t->record().bookID < 1 || t->record().filepath.isEmpty() ||
                byFile.contains(t->record().filepath) || books.contains(book)) {
                consistent = false;
                break;
            }
            byFile.insert(t->record().filepath, t);
            books.insert(book);
        }
    }
    for (int i = 1; i < 7 && consistent; ++i) {
        const QVariant archived = KeyedArchive::readFile(m_folders.cache + QLatin1Char('/') + archiveFileNames().at(i));
        lists[i] = SourceTupleArray::decodeSharing(archived, m_folders.books, byFile);
    }
    for (int i = 0; i < 7; ++i)
        set(members[i], lists[i]);

    bool allRead = true, sameWriting = true;
    for (const auto& list : lists)
        allRead = allRead && list != nullptr;
    if (allRead) {
        const QString uuid = lists[0]->uuid();
        sameWriting = !uuid.isEmpty();
        for (int i = 1; i < 7 && sameWriting; ++i)
            sameWriting = lists[i]->uuid() == uuid;
    }
    consistent = consistent && allRead && sameWriting;
    const bool versionsOK = allRead && lists[0]->archiveVersion() >= 2 && lists[1]->archiveVersion() >= 2 &&
        lists[6]->archiveVersion() >= 2;
    if (consistent && versionsOK) {
        appendToLaunchLog(QStringLiteral("iterate over Bibles and get latest static bibleref data"));
        for (const auto& t : lists[1]->array())
            updateStaticBibleRefDataFromTuple(t);
        appendToLaunchLog(QStringLiteral("done dearchving SourceManager state"));
        return true;
    }
    resetAllSources();
    if (consistent) {
        appendToLaunchLog(
            QStringLiteral("SourceManager state is in an old format - no problem - just resetting to nil"));
    } else {
        appendToLaunchLog(QStringLiteral("problem dearchving SourceManager state - resetting to nil"));
        if (allRead || QFile::exists(m_folders.cache + QLatin1Char('/') + archiveFileNames().at(0)))
            qWarning().noquote()
                << "Library: the library archives are damaged or inconsistent; rescanning the books folder";
    }
    return false;
}

void SourceManager::removeArchiveFiles()
{
    removeArchiveFiles(applicationFolders().cache);
}

void SourceManager::removeArchiveFiles(const QString& cacheFolder)
{
    if (cacheFolder.isEmpty())
        return;
    for (const QString& name : archiveFileNames())
        QFile::remove(cacheFolder + QLatin1Char('/') + name);
}

// --- reference tables ----------------------------------------------------------------------------

QString SourceManager::imageCacheFolderFor(const SourceTuple& tuple) const
{
    const QVariantMap identity {{AppFolders::AppFoldersPublisherIDKey, tuple.record().pubID},
        {AppFolders::AppFoldersBookIDKey, tuple.record().bookID},
        {AppFolders::AppFoldersEditionNumberKey, tuple.record().editionNumber},
        {AppFolders::AppFoldersRevisionNumberKey, tuple.record().revisionNumber}};
    if (m_folders.cache.isEmpty() || m_folders.cache == AppFolders::cacheDirectory())
        return AppFolders::bookImageCache(identity);
    return QStringLiteral("%1/%2/%3/%4-%5-%6")
        .arg(m_folders.cache, AppFolders::kImageCacheFolderName)
        .arg(tuple.record().pubID)
        .arg(tuple.record().bookID)
        .arg(tuple.record().editionNumber)
        .arg(tuple.record().revisionNumber);
}

void SourceManager::updateStaticBibleRefDataFromTuple(const SourceTuple::Ptr& tuple)
{
    if (tuple == nullptr || !tuple->docSupports(::kDocSupportsIsBible))
        return;
    const QString folder = imageCacheFolderFor(*tuple) + QLatin1Char('/');
    auto open = [&](const QString& name) -> std::FILE* {
        const QString path = folder + name;
        if (!tuple->words().extractBibleRefCSV(name, path))
            return nullptr;
        return std::fopen(QFile::encodeName(path).constData(), "rb");
    };
    bool loaded = false;
    auto one = [&](qint64 mine, std::uint32_t engine, bool orEqual, const char* name,
                   std::int32_t (*loader)(std::FILE*)) {
        if (!(mine > static_cast<qint64>(engine) || (orEqual && mine == static_cast<qint64>(engine))))
            return;
        std::FILE* f = open(QLatin1String(name));
        if (f == nullptr)
            return;
        if (loader(f) == 0)
            loaded = true;
        std::fclose(f);
    };
    if (tuple->record().bookNameListVersion > static_cast<qint64>(BibleRef::bookNameListVersion())) {
        std::FILE* english = open(QStringLiteral("EnglishBookNameList.csv"));
        std::FILE* spanish = open(QStringLiteral("SpanishBookNameList.csv"));
        if (english != nullptr && spanish != nullptr && BibleRef::loadBookNameListsFromFile(english, spanish) == 0)
            loaded = true;
        if (english != nullptr)
            std::fclose(english);
        if (spanish != nullptr)
            std::fclose(spanish);
    }
    one(tuple->record().bookNumToNameNumVersion, BibleRef::bookNumToNameNumVersion(), false, "BookNumToNameNum.csv",
        &BibleRef::loadBookNumToNameNumFromFile);
    one(tuple->record().totalOrderOnBookNumberVersion, BibleRef::totalOrderOnBookNumberVersion(), false,
        "TotalOrderOnBookNumber.csv", &BibleRef::loadTotalOrderOnBookNumberFromFile);
    one(tuple->record().transListVersion, BibleRef::transListVersion(), false, "TranslationList.csv",
        &BibleRef::loadTransListFromFile);
    one(tuple->record().bibleBooksVersion, BibleRef::bibleBooksVersion(), false, "BibleBooks.csv",
        &BibleRef::loadBibleBooksFromFile);
    one(tuple->record().nameNumberToBookCategoriesVersion, BibleRef::nameNumberToBookCategoriesVersion(), false,
        "NameNumberToBookCategories.csv", &BibleRef::loadNameNumberToBookCategoriesFromFile);
    one(tuple->record().verseMapVersion, BibleRef::verseMapVersion(), false, "VerseMap.csv",
        &BibleRef::loadFromVerseMapFromFile);
    one(tuple->record().fixUpRefMapVersion, BibleRef::fixUpRefMapVersion(), true, "FixUpRefMap.csv",
        &BibleRef::loadFixUpRefMapFromFile);
    one(tuple->record().getKeyMapVersion, BibleRef::getKeyMapVersion(), true, "GetKeyMap.csv",
        &BibleRef::loadGetKeyMapFromFile);
    one(tuple->record().doMapSpecialCasesMapVersion, BibleRef::doMapSpecialCasesMapVersion(), true,
        "DoMapSpecialCasesMap.csv", &BibleRef::loadDoMapSpecialCasesMapFromFile);
    one(tuple->record().getChapterNumberSpellingMapVersion, BibleRef::getChapterNumberSpellingMapVersion(), true,
        "GetChapterNumberSpellingMap.csv", &BibleRef::loadGetChapterNumberSpellingMapFromFile);
    one(tuple->record().isOneChapterBookListVersion, BibleRef::isOneChapterBookListVersion(), true,
        "IsOneChapterBookList.csv", &BibleRef::loadIsOneChapterBookListFromFile);

    cBibleRefTables::freeTranslationBookPositionCache();
    cBibleRefTables::allocateTranslationBookPositionCache();
    if (!loaded && tuple->record().bibleBooks.isEmpty())
        return;
    for (const auto& b : customBibles()->array()) {
        if (loaded || b->isEqual(*tuple))
            BibleRef::addCustomTranslation(b->record().abbr, b->record().name, b->record().bibleBooks);
    }
}
