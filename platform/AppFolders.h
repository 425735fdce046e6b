// The application's folders, as absolute paths without a trailing "/".
//
// Every accessor but bookImageCache creates its folder (with intermediate folders) when it is
// missing, so callers never create these folders themselves; creation errors are ignored and
// the path is returned all the same. The folders are XDG locations, so tests redirect them
// with XDG_DATA_HOME, XDG_CACHE_HOME, XDG_CONFIG_HOME and HOME:
//   privateDataDirectory  <data home>/<bundle identifier>        created at every call
//   booksDirectory        <private data>/Tavrosen Books          computed, created and kept at the first call
//   publicDataDirectory   the user's Documents folder
//   cacheDirectory        <cache home>/<bundle identifier>
//   localCacheDirectory   this system has no machine-wide cache a user may write, so it is the
//                         user's cacheDirectory
//   downloadsDirectory    the user's Downloads folder
// Thread-safe.
#pragma once

#include <QString>
#include <QVariantMap>

class AppFolders {
public:
    static inline const QString AppFoldersPublisherIDKey = QStringLiteral("AppFoldersPublisherIDKey");
    static inline const QString AppFoldersBookIDKey = QStringLiteral("AppFoldersBookIDKey");
    static inline const QString AppFoldersEditionNumberKey = QStringLiteral("AppFoldersEditionNumberKey");
    static inline const QString AppFoldersRevisionNumberKey = QStringLiteral("AppFoldersRevisionNumberKey");

    static inline const QString kBooksFolderName = QStringLiteral("Tavrosen Books");
    static inline const QString kImageCacheFolderName = QStringLiteral("TVK Substorage Files");
    static inline const QString kLayoutArchiveFileName = QStringLiteral("layout archive.plist");
    static inline const QString kDatabaseFileName = QStringLiteral("Tavrosen Data.db");

    static QString bundleIdentifier();

    static QString privateDataDirectory();
    static QString booksDirectory();
    static QString publicDataDirectory();
    static QString cacheDirectory();
    static QString localCacheDirectory();
    static QString downloadsDirectory();

    // `path` names a file of the profile: inside the private data or cache folder, or one of the
    // program's own files and folders in the configuration folder (the settings). A save there
    // refuses a link in the file's place whose target is missing or no file (FileSave).
    static bool isProfileFile(const QString& path);

    // "<cache>/TVK Substorage Files/<publisher>/<book>-<edition>-<revision>", from the four keys
    // above (numbers or strings, written as their text). Not created: the writer creates it.
    static QString bookImageCache(const QVariantMap& bookIdentity);
};
