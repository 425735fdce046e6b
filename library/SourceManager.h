// SourceManager: the library of installed books. One object for the program (singleton()), or one
// per folder for tools and tests. It finds the book files in its books folder at any depth, makes
// one SourceTuple per book, keeps them in seven ordered lists (all books by sort title, Bibles,
// commentaries, dictionaries, devotionals, other books, and Bibles with their own versification),
// decides which of two copies of a book wins, sets aside files it cannot use, reclassifies
// dictionaries that serve another book's word attributes, removes books, and announces every change
// by notification on its centre (the program's unless it is given one). Between runs the lists are kept in seven archives in the
// cache folder, so a start re-checks the folder instead of opening every book.
//
// Files the library refuses (they do not open as books, or they lose to another copy of the same
// book) are never lost: they are moved into the refused-books folder with the reason logged, or,
// without such a folder, left where they are and skipped. A file refused because it does not open is
// also announced, so that the reader can say where it went. Only an explicit removal deletes a file.
//
// Threads: the library's operations run on the main thread (or on one thread at a time); each
// operation holds the library's lock, and the notifications it causes are posted after it has
// finished and released the lock. Other threads may read the lists at any time: the getters hand
// out shared lists, and every list guards itself.
#pragma once

#include "library/SourceTupleArray.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <vector>

class Alerts;

class SourceManager {
public:
    // Where a library keeps its files. An empty cache folder keeps no archives; an empty refused
    // folder leaves refused files in place; readOnly never moves, deletes or writes anything
    // (listing a folder from a tool).
    struct Folders {
        QString books;
        QString cache;
        QString refused;
        bool readOnly = false;
        // File names of the books that come with the application.
        QStringList bundledBookFileNames;
    };

    // A file of the books folder that the library does not list, and why.
    struct SkippedFile {
        QString path;
        QString reason;
    };

    // The seven archive files, in writing order.
    static const QStringList& archiveFileNames();
    // The build that writes the archives; archives of another build are not read.
    static QString archiveBuild();
    // The known-bad book: 702/1/1/1.
    static constexpr qint64 kBadBookPubID = 702;

    // A library that posts its news and hears of copied book files on `center` and asks through
    // `alerts` (the program's centre, and the process's alerts of the moment, when none are given);
    // both must outlive it.
    explicit SourceManager(Folders folders);
    SourceManager(Folders folders, NotificationCenter& center, Alerts* alerts = nullptr);
    ~SourceManager();
    SourceManager(const SourceManager&) = delete;
    SourceManager& operator=(const SourceManager&) = delete;

    // The program's library over the application folders, made on first call.
    static SourceManager& singleton();
    static bool singletonInUse();
    // The folders of the program's library: the application folders (AppFolders).
    static Folders applicationFolders();

    const Folders& folders() const { return m_folders; }

    // --- the lists (built on first use) ------------------------------------------------------------
    SourceTupleArray::Ptr allSources();
    SourceTupleArray::Ptr bibleSources();
    SourceTupleArray::Ptr commentarySources();
    SourceTupleArray::Ptr dictionarySources();
    SourceTupleArray::Ptr devotionalSources();
    SourceTupleArray::Ptr otherSources();
    SourceTupleArray::Ptr customBibles();

    // --- adding and removing -----------------------------------------------------------------------
    // qsBookFileCopiedToBooksFolder: installs userInfo "path"; a refused file is set aside.
    void bookFileCopiedToBooksFolderNotification(const Notification& notification);
    SourceTuple::Ptr addNewSource(const QString& path) { return addNewSource(path, false); }
    // The tuple that stands for the file afterwards, or null when the file is refused.
    SourceTuple::Ptr addNewSource(const QString& path, bool setRemovable);
    void removeSourceAtIndex(qint64 index);
    void removeSourceForPubID(qint64 pubID, qint64 bookID);
    void removeSourceNamed(const QString& fileName);
    // Drops the record of the book listed at `path` but leaves its file, whose new contents are
    // then added as a new book (a file replaced in place).
    void forgetSourceAtPath(const QString& path);
    void removeAllSources();
    bool isSourceInstalledWithPubID(qint64 pubID, qint64 bookID);
    bool containsOnlyBundledSources();
    // Re-check: drops removable books whose files are gone or changed.
    void validate();
    void resetAllSources();
    void resetCategorizedSources();
    // Puts a tuple into its classification's list; the list, or null when it was there already.
    SourceTupleArray::Ptr categorizeTuple(const SourceTuple::Ptr& tuple);
    void addDictionarySubcategories();

    // --- archives and reference tables -------------------------------------------------------------
    // Writes the seven archives (inside an operation: once, when it ends). False when a write failed.
    bool archiveState();
    // Reads them back; true when the set was accepted.
    bool dearchiveState();
    static void removeArchiveFiles();
    static void removeArchiveFiles(const QString& cacheFolder);
    void updateStaticBibleRefDataFromTuple(const SourceTuple::Ptr& tuple);

    // --- diagnostics -------------------------------------------------------------------------------
    void log(const QString& heading = QString());
    void appendToLaunchLog(const QString& line);
    // Files of the books folder that are not listed, with the reason (this run).
    QList<SkippedFile> skippedFiles() const;

private:
    class Operation;
    friend class Operation;

    SourceTupleArray::Ptr listOrBuild(SourceTupleArray::Ptr SourceManager::*member, bool categorized);
    SourceTupleArray::Ptr get(SourceTupleArray::Ptr SourceManager::*member) const;
    void set(SourceTupleArray::Ptr SourceManager::*member, SourceTupleArray::Ptr list);
    void initAllSources();
    void initCategorizedSources();
    void addInstalledSourcesWithExtension(const QString& extension);
    bool addInstalledUserDocumentsWithExtension(const QString& extension);
    void removeMissingSources();
    // Removes a tuple from every list but allSources (only lists already built).
    void removeFromOtherLists(const SourceTuple& tuple);
    enum class FileFate { Keep, Delete, SetAside };
    void removeTuple(const SourceTuple::Ptr& tuple, FileFate fate, const QString& keepPath);
    // Deletes or moves aside a file; the path it was moved to, or empty when it was not moved.
    QString dispose(const QString& path, FileFate fate, const QString& reason);
    // Moves a file the library refused (m_lastRefusal says why) into the refused-books folder and
    // announces it (qsSourceManagerSetAsideBookNotification).
    void setAsideRefused(const QString& path);
    void skip(const QString& path, const QString& reason);
    void badBookFound();
    void post(const QString& name, const QVariantMap& userInfo = QVariantMap());
    bool writeArchives();
    QString imageCacheFolderFor(const SourceTuple& tuple) const;

    Folders m_folders;
    NotificationCenter& m_center;
    Alerts* m_alerts = nullptr;
    Observation m_copiedObservation;

    // Guards the seven list pointers; held only to read or swap them.
    mutable std::mutex m_listsMutex;
    SourceTupleArray::Ptr m_allSources;
    SourceTupleArray::Ptr m_bibleSources;
    SourceTupleArray::Ptr m_commentarySources;
    SourceTupleArray::Ptr m_dictionarySources;
    SourceTupleArray::Ptr m_devotionalSources;
    SourceTupleArray::Ptr m_otherSources;
    SourceTupleArray::Ptr m_customBibles;

    // Held by every operation (re-entrant: an operation calls others).
    std::recursive_mutex m_operationMutex;
    int m_depth = 0;
    bool m_archivePending = false;
    std::vector<Notification> m_pending;
    bool m_badBookReported = false;
    bool m_showBadBookAlert = false;
    QString m_lastRefusal;

    mutable std::mutex m_skippedMutex;
    QList<SkippedFile> m_skipped;
};

// The document of the first installed book with that publisher, book and edition (opened if need
// be); null when none is installed. For the search subsystem's user-data search cache.
std::shared_ptr<cSourceDoc> sourceDocForPubIDBookIDEdition(quint32 pubID, quint32 bookID, quint32 edition);
