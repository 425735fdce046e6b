#include "library/SourceManager.h"

#include "library/BookFileInstall.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManagerOperation.h"
#include "platform/AppFolders.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <atomic>

namespace {

std::atomic<SourceManager*> g_singleton {nullptr};
std::mutex g_singletonMutex;

const QString kBadBookRefusal = QStringLiteral("this edition of the book is known to cause problems");

QDateTime modificationTimeOf(const QString& path)
{
    return SourceTuple::fileModificationTime(path);
}

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

// --- making the library --------------------------------------------------------------------------

SourceManager::SourceManager(Folders folders) : SourceManager(std::move(folders), NotificationCenter::defaultCenter())
{
}

SourceManager::SourceManager(Folders folders, NotificationCenter& center, Alerts* alerts)
    : m_folders(std::move(folders)), m_center(center), m_alerts(alerts)
{
    m_copiedObservation = Observation(center,
        center.addObserver(this, LibraryNotifications::qsBookFileCopiedToBooksFolder,
            [this](Notification& n) { bookFileCopiedToBooksFolderNotification(n); }));
}

SourceManager::~SourceManager() = default;

SourceManager::Folders SourceManager::applicationFolders()
{
    Folders f;
    f.books = AppFolders::booksDirectory();
    f.cache = AppFolders::cacheDirectory();
    f.refused = AppFolders::privateDataDirectory() + QStringLiteral("/Refused Books");
    return f;
}

SourceManager& SourceManager::singleton()
{
    SourceManager* m = g_singleton.load();
    if (m != nullptr)
        return *m;
    const Folders folders = applicationFolders();
    std::lock_guard<std::mutex> lock(g_singletonMutex);
    m = g_singleton.load();
    if (m == nullptr) {
        m = new SourceManager(folders);  // lives as long as the program
        g_singleton = m;
    }
    return *m;
}

bool SourceManager::singletonInUse()
{
    return g_singleton.load() != nullptr;
}

// --- the lists -----------------------------------------------------------------------------------

SourceTupleArray::Ptr SourceManager::get(SourceTupleArray::Ptr SourceManager::*member) const
{
    std::lock_guard<std::mutex> lock(m_listsMutex);
    return this->*member;
}

void SourceManager::set(SourceTupleArray::Ptr SourceManager::*member, SourceTupleArray::Ptr list)
{
    std::lock_guard<std::mutex> lock(m_listsMutex);
    this->*member = std::move(list);
}

SourceTupleArray::Ptr SourceManager::listOrBuild(SourceTupleArray::Ptr SourceManager::*member, bool categorized)
{
    if (auto list = get(member))
        return list;
    Operation op(*this);
    if (get(&SourceManager::m_allSources) == nullptr)
        initAllSources();
    if (categorized && get(member) == nullptr)
        initCategorizedSources();
    if (member == &SourceManager::m_customBibles && get(member) == nullptr)
        set(member, SourceTupleArray::sourceTupleArray());
    return get(member);
}

SourceTupleArray::Ptr SourceManager::allSources()
{
    return listOrBuild(&SourceManager::m_allSources, false);
}

SourceTupleArray::Ptr SourceManager::bibleSources()
{
    return listOrBuild(&SourceManager::m_bibleSources, true);
}

SourceTupleArray::Ptr SourceManager::commentarySources()
{
    return listOrBuild(&SourceManager::m_commentarySources, true);
}

SourceTupleArray::Ptr SourceManager::dictionarySources()
{
    return listOrBuild(&SourceManager::m_dictionarySources, true);
}

SourceTupleArray::Ptr SourceManager::devotionalSources()
{
    return listOrBuild(&SourceManager::m_devotionalSources, true);
}

SourceTupleArray::Ptr SourceManager::otherSources()
{
    return listOrBuild(&SourceManager::m_otherSources, true);
}

SourceTupleArray::Ptr SourceManager::customBibles()
{
    return listOrBuild(&SourceManager::m_customBibles, false);
}

void SourceManager::initAllSources()
{
    Operation op(*this);
    if (!dearchiveState()) {
        set(&SourceManager::m_allSources, SourceTupleArray::sourceTupleArray());
        set(&SourceManager::m_customBibles, SourceTupleArray::sourceTupleArray());
    }
    addInstalledSourcesWithExtension(QStringLiteral("tvk"));
    addInstalledUserDocumentsWithExtension(QStringLiteral("tvk"));
    const auto all = get(&SourceManager::m_allSources);
    bool removed = false;
    for (const auto& t : all->array()) {
        if (t->confirmedPresent())
            continue;
        appendToLaunchLog(
            QStringLiteral("couldn't find the file for %1 (%2). Removing.").arg(t->record().name, t->record().abbr));
        removeFromOtherLists(*t);
        all->remove(*t);
        removed = true;
    }
    if (removed)
        archiveState();
}

void SourceManager::initCategorizedSources()
{
    Operation op(*this);
    set(&SourceManager::m_bibleSources, SourceTupleArray::sourceTupleArray());
    set(&SourceManager::m_commentarySources, SourceTupleArray::sourceTupleArray());
    set(&SourceManager::m_dictionarySources, SourceTupleArray::sourceTupleArray());
    set(&SourceManager::m_devotionalSources, SourceTupleArray::sourceTupleArray());
    set(&SourceManager::m_otherSources, SourceTupleArray::sourceTupleArray());
    for (const auto& t : allSources()->array())
        categorizeTuple(t);
    addDictionarySubcategories();
    archiveState();
}

void SourceManager::resetAllSources()
{
    Operation op(*this);
    set(&SourceManager::m_allSources, nullptr);
    set(&SourceManager::m_customBibles, nullptr);
    resetCategorizedSources();
}

void SourceManager::resetCategorizedSources()
{
    Operation op(*this);
    set(&SourceManager::m_bibleSources, nullptr);
    set(&SourceManager::m_commentarySources, nullptr);
    set(&SourceManager::m_dictionarySources, nullptr);
    set(&SourceManager::m_devotionalSources, nullptr);
    set(&SourceManager::m_otherSources, nullptr);
}

// --- the folder ----------------------------------------------------------------------------------

void SourceManager::addInstalledSourcesWithExtension(const QString& extension)
{
    Operation op(*this);
    if (m_folders.books.isEmpty())
        return;
    // The platform's enumeration order is not defined; sorting makes the outcome of a folder the
    // same on every run.
    QStringList paths;
    QDirIterator it(m_folders.books, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = fileNameOf(path);
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot > 0 && name.mid(dot + 1) == extension)
            paths.append(path);
    }
    paths.sort();
    // A file listed already and unchanged since is confirmed by one look-up (what addNewSource does
    // first, without its scan of the list); any other goes through addNewSource, after which the
    // look-up is made again, since the list may have changed.
    QHash<QString, SourceTuple::Ptr> listed;
    bool listedStale = true;
    for (const QString& path : paths) {
        // A FIFO, socket or device with a book's name is no book and is left where it is.
        if (!BookFileInstall::isRegularFile(path)) {
            skip(path, QStringLiteral("not a regular file"));
            continue;
        }
        if (listedStale) {
            listed.clear();
            for (const auto& t : allSources()->array())
                listed.insert(t->record().filepath, t);
            listedStale = false;
        }
        if (const SourceTuple::Ptr known = listed.value(path)) {
            const QDateTime now = modificationTimeOf(path);
            if (now.isValid() && now == known->record().modificationTime) {
                known->setConfirmedPresent(true);
                continue;
            }
        }
        listedStale = true;
        if (addNewSource(path) == nullptr)
            setAsideRefused(path);
    }
}

bool SourceManager::addInstalledUserDocumentsWithExtension(const QString& extension)
{
    Q_UNUSED(extension);
    return false;
}

void SourceManager::bookFileCopiedToBooksFolderNotification(const Notification& notification)
{
    const QString path = notification.userInfo.value(QStringLiteral("path")).toString();
    if (path.isEmpty())
        return;
    Operation op(*this);
    if (addNewSource(path) == nullptr)
        setAsideRefused(path);
}

// --- adding --------------------------------------------------------------------------------------

SourceTuple::Ptr SourceManager::addNewSource(const QString& path, bool setRemovable)
{
    Operation op(*this);
    const auto all = allSources();
    SourceTuple::Ptr listed = all->tupleForFile(path);
    if (listed != nullptr) {
        listed->setConfirmedPresent(true);
        const QDateTime now = modificationTimeOf(path);
        if (now.isValid() && now == listed->record().modificationTime)
            return listed;
        // The file changed: let go of the document of its old contents, so that the book files
        // shared by path are opened afresh (unless a search still holds the old one).
        listed->releaseSourceDoc();
    }
    QString reason;
    std::shared_ptr<cSourceDoc> doc = SourceTuple::allocateSourceForFile(path, &reason);
    if (doc == nullptr) {
        m_lastRefusal = reason;
        skip(path, reason);
        return nullptr;
    }
    SourceTuple::Ptr tuple = SourceTuple::sourceTupleForSource(std::move(doc));

    // The known-bad book is refused before it can replace anything.
    if (tuple->record().pubID == kBadBookPubID && tuple->record().bookID == 1 && tuple->record().editionNumber == 1 &&
        tuple->record().revisionNumber == 1) {
        badBookFound();
        m_lastRefusal = kBadBookRefusal;
        skip(path, m_lastRefusal);
        tuple->releaseSourceDoc();
        return nullptr;
    }

    bool modified = false;
    // The listed file now holds another book: the record of the book it held goes (the file stays,
    // it is the new book's now).
    if (listed != nullptr && !listed->isEqual(*tuple)) {
        removeTuple(listed, FileFate::Keep, path);
        modified = true;
    }
    if (SourceTuple::Ptr old = all->tupleForPubID(tuple->record().pubID, tuple->record().bookID)) {
        const bool lowerEdition = tuple->record().editionNumber < old->record().editionNumber;
        const bool lowerRevision = tuple->record().editionNumber == old->record().editionNumber &&
            tuple->record().revisionNumber < old->record().revisionNumber;
        if (lowerEdition || lowerRevision) {
            skip(path,
                QStringLiteral("%1 holds a later %2 of this book (%3)")
                    .arg(old->record().filepath, lowerEdition ? QStringLiteral("edition") : QStringLiteral("revision"),
                        old->sourceTupleID().colonString()));
            tuple->releaseSourceDoc();
            return old;
        }
        // A second file of the same edition and revision never replaces the listed one while that
        // is still there: it may be a damaged copy, which opens but lacks the text its damage covers.
        const bool sameRevision = tuple->record().editionNumber == old->record().editionNumber &&
            tuple->record().revisionNumber == old->record().revisionNumber;
        if (sameRevision && old->record().filepath != path && BookFileInstall::isRegularFile(old->record().filepath)) {
            skip(path,
                QStringLiteral("%1 holds this edition and revision of the book (%2)")
                    .arg(old->record().filepath, old->sourceTupleID().colonString()));
            tuple->releaseSourceDoc();
            return old;
        }
        // The added file wins. When it is the listed file itself (re-copied with a new date), its
        // record is made again from the file's present contents and the file stays.
        const bool samePath = old->record().filepath == path;
        if (!samePath) {
            skip(old->record().filepath,
                QStringLiteral("replaced by %1 (%2)").arg(path, tuple->sourceTupleID().colonString()));
        }
        removeTuple(old, samePath ? FileFate::Keep : FileFate::SetAside, path);
        modified = true;
    }

    tuple->setRemovable(setRemovable);
    all->add(tuple, SourceTupleArray::kOrderSortTitle);
    const SourceTupleArray::Ptr placed = categorizeTuple(tuple);
    if (placed != nullptr &&
        (tuple->docSupports(::kDocSupportsWordAttributes) || tuple->docSupports(::kDocSupportsWordLookup)))
        addDictionarySubcategories();
    archiveState();
    post(LibraryNotifications::qsSourceManagerAddedBookNotification,
        {{QStringLiteral("tuple"), sharedObjectVariant(tuple)}, {QStringLiteral("modified"), modified}});
    updateStaticBibleRefDataFromTuple(tuple);
    return tuple;
}

void SourceManager::badBookFound()
{
    if (m_badBookReported)
        return;
    m_badBookReported = true;
    m_showBadBookAlert = true;
}

SourceTupleArray::Ptr SourceManager::categorizeTuple(const SourceTuple::Ptr& tuple)
{
    if (tuple == nullptr)
        return nullptr;
    Operation op(*this);
    SourceTupleArray::Ptr target;
    switch (tuple->kind()) {
    case SourceTuple::kKindBible:
    case SourceTuple::kKindStrongsBible:
    case SourceTuple::kKindWordAttributeBible:
        target = bibleSources();
        if (!tuple->record().bibleBooks.isEmpty()) {
            const auto custom = customBibles();
            if (custom->indexForTuple(*tuple) == SourceTupleArray::kNotFound)
                custom->add(tuple);
        }
        break;
    case SourceTuple::kKindCommentary:
    case SourceTuple::kKindCrossReferenceCommentary:
        target = commentarySources();
        break;
    case SourceTuple::kKindDevotional:
        target = devotionalSources();
        break;
    case SourceTuple::kKindDictionary:
    case SourceTuple::kKindStrongsDictionary:
    case SourceTuple::kKindWordAttributeDictionary:
        target = dictionarySources();
        break;
    case SourceTuple::kKindOther:
        target = otherSources();
        break;
    default:
        return nullptr;
    }
    if (target->indexForTuple(*tuple) != SourceTupleArray::kNotFound)
        return nullptr;
    target->add(tuple, SourceTupleArray::kOrderSortTitle);
    return target;
}

void SourceManager::addDictionarySubcategories()
{
    Operation op(*this);
    const auto books = allSources()->array();
    for (const auto& b : books) {
        if (!b->docSupports(::kDocSupportsWordAttributes) || b->record().numWordAttributeDefinitions <= 0)
            continue;
        for (qint64 a = 0; a < b->record().numWordAttributeDefinitions; ++a) {
            if (!b->words().linkTypeForAttribute(a).startsWith(QLatin1String("sync:")))
                continue;
            const QString prefix = b->words().syncPrefixForAttribute(a);
            const quint32 n = b->words().numWordsInAttributeDefinition(a);
            if (n == 0)
                continue;
            const quint32 step = n < 11 ? 1 : n / 11;
            QStringList sample;
            for (quint32 w = step; w < n; w += step)
                sample.append(prefix + b->words().wordForWordNumber(w, a));
            for (const auto& d : books) {
                if (d->record().classification != SourceTuple::kClassDictionary ||
                    d->kind() == SourceTuple::kKindWordAttributeDictionary)
                    continue;
                int misses = 0;
                for (const QString& word : sample) {
                    if (d->words().wordNumberForDictionaryLookupWord(word, false) == SourceTuple::kNoWord &&
                        ++misses > 2)
                        break;
                }
                if (misses > 2)
                    continue;
                qint64 kind = SourceTuple::kKindWordAttributeDictionary;
                if (prefix == QLatin1String("G") || prefix == QLatin1String("H")) {
                    if (d->kind() == SourceTuple::kKindStrongsDictionary)
                        continue;
                    kind = SourceTuple::kKindStrongsDictionary;
                }
                d->setKind(kind);
                post(LibraryNotifications::SourceManagerReclassifiedBookNotification,
                    {{QStringLiteral("tuple"), sharedObjectVariant(d)}});
            }
        }
    }
}

// --- removing ------------------------------------------------------------------------------------

void SourceManager::removeFromOtherLists(const SourceTuple& tuple)
{
    for (auto member :
        {&SourceManager::m_bibleSources, &SourceManager::m_commentarySources, &SourceManager::m_dictionarySources,
            &SourceManager::m_devotionalSources, &SourceManager::m_otherSources, &SourceManager::m_customBibles}) {
        if (const auto list = get(member))
            list->remove(tuple);
    }
}

void SourceManager::removeTuple(const SourceTuple::Ptr& tuple, FileFate fate, const QString& keepPath)
{
    Operation op(*this);
    const QString path = tuple->record().filepath;
    removeFromOtherLists(*tuple);
    post(LibraryNotifications::qsSourceManagerRemovedBookNotification,
        {{QStringLiteral("tuple"), sharedObjectVariant(tuple)}});
    // The tuple lets go of its document; a search still using it keeps it open until it is done.
    tuple->releaseSourceDoc();
    if (const auto all = get(&SourceManager::m_allSources))
        all->remove(*tuple);
    if (path != keepPath)
        dispose(path, fate, QStringLiteral("replaced by another copy of the book"));
    archiveState();
}

void SourceManager::removeSourceAtIndex(qint64 index)
{
    Operation op(*this);
    const SourceTuple::Ptr tuple = allSources()->tupleAtIndex(index);
    if (tuple != nullptr)
        removeTuple(tuple, FileFate::Delete, QString());
}

void SourceManager::removeSourceForPubID(qint64 pubID, qint64 bookID)
{
    Operation op(*this);
    const qint64 index = allSources()->indexForPubID(pubID, bookID);
    if (index != SourceTupleArray::kNotFound)
        removeSourceAtIndex(index);
}

void SourceManager::removeSourceNamed(const QString& fileName)
{
    Operation op(*this);
    const qint64 index = allSources()->indexForFileName(fileName);
    if (index != SourceTupleArray::kNotFound)
        removeSourceAtIndex(index);
}

void SourceManager::forgetSourceAtPath(const QString& path)
{
    Operation op(*this);
    if (const SourceTuple::Ptr tuple = allSources()->tupleForFile(path))
        removeTuple(tuple, FileFate::Keep, QString());
}

void SourceManager::removeAllSources()
{
    Operation op(*this);
    const auto all = allSources();
    if (all->count() == 0)
        return;
    while (SourceTuple::Ptr t = all->tupleAtIndex(0)) {
        dispose(t->record().filepath, FileFate::Delete, QString());
        removeFromOtherLists(*t);
        post(LibraryNotifications::qsSourceManagerRemovedBookNotification,
            {{QStringLiteral("tuple"), sharedObjectVariant(t)}});
        all->removeAtIndex(0);
        t->releaseSourceDoc();
    }
    archiveState();
}

bool SourceManager::isSourceInstalledWithPubID(qint64 pubID, qint64 bookID)
{
    return allSources()->indexForPubID(pubID, bookID) != SourceTupleArray::kNotFound;
}

bool SourceManager::containsOnlyBundledSources()
{
    for (const auto& t : allSources()->array())
        if (!m_folders.bundledBookFileNames.contains(fileNameOf(t->record().filepath)))
            return false;
    return true;
}

void SourceManager::validate()
{
    Operation op(*this);
    const auto all = allSources();
    const qint64 before = all->count();
    removeMissingSources();
    const qint64 afterRemoval = all->count();
    const bool removed = afterRemoval < before;
    bool added = addInstalledUserDocumentsWithExtension(QStringLiteral("tvk"));
    if (all->count() != afterRemoval)
        added = true;
    if (!removed && !added)
        return;
    if (all->count() == 0)
        post(LibraryNotifications::qsSourceManagerIsEmptyNotification);
    else
        post(LibraryNotifications::qsSourceManagerDidChangeNotification,
            {{QStringLiteral("removed"), removed}, {QStringLiteral("added"), added},
                {QStringLiteral("removedBooks"), removed}, {QStringLiteral("suppressFeedback"), false}});
}

void SourceManager::removeMissingSources()
{
    Operation op(*this);
    const auto all = allSources();
    const auto items = all->array();
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const SourceTuple::Ptr& t = *it;
        if (!t->removable())
            continue;
        if (QFileInfo::exists(t->record().filepath) && !t->hasModificationTimeChanged())
            continue;
        removeFromOtherLists(*t);
        post(LibraryNotifications::qsSourceManagerRemovedBookNotification,
            {{QStringLiteral("tuple"), sharedObjectVariant(t)}});
        all->remove(*t);
        t->releaseSourceDoc();
        archiveState();
    }
}

// --- files ---------------------------------------------------------------------------------------

void SourceManager::skip(const QString& path, const QString& reason)
{
    qWarning().noquote() << QStringLiteral("Library: skipping %1: %2").arg(path, reason);
    std::lock_guard<std::mutex> lock(m_skippedMutex);
    m_skipped.append(SkippedFile {path, reason});
}

void SourceManager::setAsideRefused(const QString& path)
{
    const QString movedTo = dispose(path, FileFate::SetAside, m_lastRefusal);
    // The known-bad book has an alert of its own.
    if (movedTo.isEmpty() || m_lastRefusal == kBadBookRefusal)
        return;
    // The book leaves the reader's lists: the reader is told which file went where, and why.
    post(LibraryNotifications::qsSourceManagerSetAsideBookNotification,
        {{QStringLiteral("path"), path}, {QStringLiteral("movedTo"), movedTo},
            {QStringLiteral("folder"), m_folders.refused}, {QStringLiteral("reason"), m_lastRefusal}});
}

QString SourceManager::dispose(const QString& path, FileFate fate, const QString& reason)
{
    if (path.isEmpty() || fate == FileFate::Keep || m_folders.readOnly)
        return QString();
    if (fate == FileFate::Delete) {
        QFile::remove(path);
        return QString();
    }
    if (m_folders.refused.isEmpty() || !QFileInfo::exists(path))
        return QString();
    QDir().mkpath(m_folders.refused);
    const QString name = fileNameOf(path);
    QString target = m_folders.refused + QLatin1Char('/') + name;
    for (int i = 2; QFileInfo::exists(target) && i < 1000; ++i)
        target = m_folders.refused + QLatin1Char('/') + QStringLiteral("%1 (%2)").arg(name).arg(i);
    if (QFile::rename(path, target)) {
        qWarning().noquote() << QStringLiteral("Library: moved %1 to %2 (%3)").arg(path, target, reason);
        return target;
    }
    qWarning().noquote() << QStringLiteral("Library: could not move %1 aside; it stays in place").arg(path);
    return QString();
}

QList<SourceManager::SkippedFile> SourceManager::skippedFiles() const
{
    std::lock_guard<std::mutex> lock(m_skippedMutex);
    return m_skipped;
}

// --- notifications and diagnostics ---------------------------------------------------------------

void SourceManager::post(const QString& name, const QVariantMap& userInfo)
{
    // Collected by the running operation and posted when it has finished.
    m_pending.push_back(Notification {name, this, userInfo});
}

void SourceManager::appendToLaunchLog(const QString& line)
{
    Q_UNUSED(line);
}

void SourceManager::log(const QString& heading)
{
    qInfo().noquote() << "--- SourceManager Log ---";
    if (!heading.isEmpty())
        qInfo().noquote() << heading;
    allSources()->log(QStringLiteral("allSources"));
    bibleSources()->log(QStringLiteral("bibleSources"));
    commentarySources()->log(QStringLiteral("commentarySources"));
    dictionarySources()->log(QStringLiteral("dictionarySources"));
    devotionalSources()->log(QStringLiteral("devotionalSources"));
    otherSources()->log(QStringLiteral("otherSources"));
    customBibles()->log(QStringLiteral("customBibles"));
    qInfo().noquote() << "--- End SourceManager Log ---";
}

// --- the search cache's look-up ------------------------------------------------------------------

std::shared_ptr<cSourceDoc> sourceDocForPubIDBookIDEdition(quint32 pubID, quint32 bookID, quint32 edition)
{
    const auto t = SourceManager::singleton().allSources()->tupleForPubID(pubID, bookID, edition);
    return t == nullptr ? nullptr : t->sourceDoc();
}
