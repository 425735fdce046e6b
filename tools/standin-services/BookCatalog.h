// BookCatalog: the books the stand-in store sells: every compiled book (*.tvk) of one folder, read
// once at start through the engine's book-file reader. Every account owns every book.
//
// A product's id is the file's base name when it is made only of letters, digits, ".", "_" and "-"
// (files with other names are left out, since the id becomes a file name on the reader's side).
// Size, modification time and SHA-256 and MD5 digests are taken from the file, so a client can check
// what it downloaded.
//
// Threads: filled once, then read-only.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace qs::standin {

struct CatalogBook {
    QString productId;
    QString fileName;
    QString path;
    QString productName;
    QString publisher;
    QString productType;  // BIBLES, COMMENTARIES, DEVOTIONALS, DICTIONARIES or OTHER
    int publisherId = 0;
    int bookId = 0;
    qint64 size = 0;
    QDateTime modified;  // UTC, whole seconds
    QString sha256;      // lower-case hexadecimal
    QString md5;
};

class BookCatalog {
public:
    // Reads every book of the folder; books the engine cannot open are left out with a line in
    // `skipped`.
    void load(const QString& folder, QStringList* skipped = nullptr);

    const QList<CatalogBook>& books() const { return m_books; }
    const CatalogBook* byProductId(const QString& productId) const;
    const CatalogBook* byFileName(const QString& fileName) const;
    const CatalogBook* byPublisherAndBook(int publisherId, int bookId) const;
    QString folder() const { return m_folder; }

private:
    QList<CatalogBook> m_books;
    QString m_folder;
};

}  // namespace qs::standin
