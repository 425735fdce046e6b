// Shared helpers of the library tests: a private home for the application folders, copies of the
// compiled sample library in temporary folders, and small books made with the book compiler.
#pragma once

#include "tools/tvkbuild/cTvkBookBuilder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

namespace LibraryTest {

// The application folders live under one temporary home for the whole test program, set before any
// folder is first asked for.
inline const QString& home()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QByteArray p = dir.path().toUtf8();
        setenv("HOME", p.constData(), 1);
        setenv("XDG_DATA_HOME", (p + "/data").constData(), 1);
        setenv("XDG_CACHE_HOME", (p + "/cache").constData(), 1);
        setenv("XDG_CONFIG_HOME", (p + "/config").constData(), 1);
        return dir.path();
    }();
    return path;
}
inline const bool kHomeReady = !home().isEmpty();

inline QString sampleFolder()
{
    return QStringLiteral(QS_BINARY_DIR "/library");
}

inline QString sampleBook(const QString& file)
{
    return sampleFolder() + QLatin1Char('/') + file;
}

inline bool sampleLibraryBuilt()
{
    return QFile::exists(sampleBook(QStringLiteral("KJV.tvk")));
}

inline const QStringList& sampleBooks()
{
    static const QStringList names {QStringLiteral("KJV.tvk"), QStringLiteral("WEB.tvk"), QStringLiteral("RV1909.tvk"),
        QStringLiteral("Scofield.tvk"), QStringLiteral("TreasuryOfDavid.tvk"), QStringLiteral("StrongsHebrew.tvk"),
        QStringLiteral("StrongsGreek.tvk"), QStringLiteral("Nave.tvk"), QStringLiteral("DailyReadings.tvk")};
    return names;
}

// Copies sample books into `folder` (all of them by default); false when one is missing.
inline bool copySamples(const QString& folder, const QStringList& names = sampleBooks())
{
    QDir().mkpath(folder);
    for (const QString& n : names)
        if (!QFile::copy(sampleBook(n), folder + QLatin1Char('/') + n))
            return false;
    return true;
}

// A small book of the given identity: `sections` sections of a sentence each.
inline bool writeSmallBook(const QString& path, uint16_t publisher, uint16_t book, uint8_t edition = 1,
    uint8_t revision = 1, const std::string& title = "Small Book", int sections = 3)
{
    cTvkBookBuilder b;
    b.info.bookName = title;
    b.info.abbreviatedTitle = title;
    b.info.publisherId = publisher;
    b.info.bookId = book;
    b.info.edition = edition;
    b.info.revision = revision;
    for (int i = 1; i <= sections; ++i)
        b.addSection({"Part " + std::to_string(i), 1, "The text of part " + std::to_string(i) + ".", 0});
    QDir().mkpath(QFileInfo(path).absolutePath());
    return b.writeFile(path.toStdString());
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace LibraryTest
