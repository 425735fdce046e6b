// A library of books of the sample library the build compiles, in a folder of the test's own: the
// books linked into its "books" folder, beside its "cache" and "refused" folders. Header only and on
// the library layer alone, for tests that make no application object of the shared test support.
#pragma once

#include "library/SourceManager.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>

namespace TestSupport {

// The sample library's folder of the build.
inline QString sampleBooksFolder()
{
    return QStringLiteral(QS_BINARY_DIR "/library");
}

// True when the build made every one of the books (sanitizer builds leave the sample library out).
inline bool sampleBooksBuilt(const QStringList& books)
{
    for (const QString& name : books)
        if (!QFile::exists(QDir(sampleBooksFolder()).filePath(name)))
            return false;
    return true;
}

// Links the books into `folder`/books and opens a library of them there; null when one could not be
// linked.
inline std::unique_ptr<SourceManager> openSampleLibrary(const QString& folder, const QStringList& books)
{
    const QDir root(folder);
    SourceManager::Folders folders;
    folders.books = root.filePath(QStringLiteral("books"));
    folders.cache = root.filePath(QStringLiteral("cache"));
    folders.refused = root.filePath(QStringLiteral("refused"));
    QDir().mkpath(folders.books);
    QDir().mkpath(folders.cache);
    for (const QString& name : books)
        if (!QFile::link(QDir(sampleBooksFolder()).filePath(name), QDir(folders.books).filePath(name)))
            return nullptr;
    return std::make_unique<SourceManager>(folders);
}

}  // namespace TestSupport
