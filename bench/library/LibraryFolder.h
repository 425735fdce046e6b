// LibraryFolder: a books folder of more than a hundred distinct books for the library benchmarks.
// Each compiled sample book is copied twelve times; copy k gets publisher + k and book - k as its
// identity (the header's checksum adds the two, so it still holds), which makes every copy a book of
// its own for the library. Made once per program in a temporary folder and removed at exit.
//
// A second folder holds a thousand books: the same copies (linked, not copied again) and small books
// compiled for it, one Bible of 66 one-verse books in every eight, the rest books of a few sections.
#pragma once

#include "engine/bookfile/cBkStreamFile.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include <unistd.h>

#ifndef QS_LIBRARY_DIR
#define QS_LIBRARY_DIR ""
#endif

namespace libraryBench {

inline QString sampleDir()
{
    const QByteArray env = qgetenv("QS_LIBRARY_DIR");
    return env.isEmpty() ? QStringLiteral(QS_LIBRARY_DIR) : QString::fromLocal8Bit(env);
}

inline const QStringList& sampleBooks()
{
    static const QStringList names {"KJV.tvk", "WEB.tvk", "RV1909.tvk", "Scofield.tvk", "TreasuryOfDavid.tvk",
        "StrongsHebrew.tvk", "StrongsGreek.tvk", "Nave.tvk", "DailyReadings.tvk"};
    return names;
}

constexpr int kCopies = 12;

// The file's bytes with the identity moved by k; empty when the header cannot be found.
inline QByteArray withIdentityMovedBy(const QString& path, int k)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray bytes = in.readAll();
    cBkStreamFile container;
    uint32_t start = 0;
    {
        std::lock_guard<cPlatformMutex> lock(container.mutex());
        if (container.open(QFile::encodeName(path).constData()) != 0)
            return QByteArray();
        for (size_t i = 0; i < container.entryCount(); ++i)
            if (const cBkStreamEntry* e = container.entryAt(i); e != nullptr && e->id == bkTag("INFO"))
                start = e->absoluteStart;
    }
    if (start == 0 || start + 48 > static_cast<uint32_t>(bytes.size()))
        return QByteArray();
    auto le16 = [&](uint32_t at) {
        return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
    };
    auto put16 = [&](uint32_t at, uint16_t v) {
        bytes[at] = static_cast<char>(v & 0xFF);
        bytes[at + 1] = static_cast<char>(v >> 8);
    };
    const uint16_t publisher = le16(start + 44), book = le16(start + 46);
    if (book <= k)
        return QByteArray();
    put16(start + 44, static_cast<uint16_t>(publisher + k));
    put16(start + 46, static_cast<uint16_t>(book - k));
    return bytes;
}

// The folder of copies; empty when the sample library is missing.
inline QString booksFolder()
{
    static QTemporaryDir dir;
    static QString made;
    static std::once_flag once;
    std::call_once(once, [] {
        const QString books = dir.path() + "/books";
        QDir().mkpath(books);
        for (const QString& name : sampleBooks()) {
            for (int k = 1; k <= kCopies; ++k) {
                const QByteArray bytes = withIdentityMovedBy(sampleDir() + "/" + name, k);
                QFile out(books + QStringLiteral("/%1-%2").arg(k).arg(name));
                if (bytes.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
                    return;
            }
        }
        made = books;
    });
    return made;
}

constexpr int kThousand = 1000;

// A small book of its own identity: a Bible of 66 one-verse books, or a book of a few sections.
inline bool writeSmallBook(const QString& path, int n)
{
    cTvkBookBuilder b;
    const bool bible = n % 8 == 0;
    b.kind = bible ? cTvkBookBuilder::Kind::Bible : cTvkBookBuilder::Kind::Book;
    b.info.publisherId = 60000;
    b.info.bookId = static_cast<uint16_t>(1000 + n);
    b.info.bookName = (bible ? "Small Bible " : "Small Book ") + std::to_string(n);
    b.info.abbreviatedTitle = (bible ? "SB" : "BK") + std::to_string(n);
    b.info.author = "Benchmark";
    if (bible) {
        for (uint32_t book = 1; book <= 66; ++book) {
            b.addSection({"Book " + std::to_string(book), 1, "Book " + std::to_string(book), book << 16});
            b.addSection({"Chapter 1", 2, "Chapter 1", (book << 16) | (1 << 8)});
            b.addSection({"1", 3, "In the beginning was the word.", (book << 16) | (1 << 8) | 1});
        }
    } else {
        for (int s = 1; s <= 6; ++s)
            b.addSection({"Part " + std::to_string(s), 1, "Grace and peace be multiplied unto you.", 0});
    }
    std::string error;
    if (b.writeFile(QFile::encodeName(path).toStdString(), &error))
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(path), error.c_str());
    return false;
}

// The folder of a thousand books; empty when the sample library is missing.
inline QString thousandBooksFolder()
{
    static QTemporaryDir dir;
    static QString made;
    static std::once_flag once;
    std::call_once(once, [] {
        const QString copies = booksFolder();
        if (copies.isEmpty())
            return;
        const QString books = dir.path() + "/books";
        QDir().mkpath(books);
        int count = 0;
        for (const QString& name : QDir(copies).entryList(QDir::Files)) {
            if (::link(QFile::encodeName(copies + "/" + name).constData(),
                    QFile::encodeName(books + "/" + name).constData()) != 0) {
                std::perror("link");
                return;
            }
            ++count;
        }
        for (int n = 1; count < kThousand; ++n, ++count)
            if (!writeSmallBook(books + QStringLiteral("/small-%1.tvk").arg(n), n))
                return;
        made = books;
    });
    return made;
}

inline QString scratch(const QString& name)
{
    static QTemporaryDir dir;
    const QString path = dir.path() + "/" + name;
    QDir().mkpath(path);
    return path;
}

}  // namespace libraryBench
