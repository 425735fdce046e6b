// The compiled sample library and the notes database as the study pane tests use them: a library of
// some of the sample books (linked into a folder of the test's own), the plain text of every KJV
// verse from the library's source, and a way to start each test with no notes.
#pragma once

#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "studypane/notes/NoteStore.h"
#include "tools/tvkbuild/import/TvkModuleImport.h"
#include "userdata/cNoteDoc.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

#include <fstream>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace StudyPaneTest {

inline const QString kSampleLibrary = QStringLiteral(QS_BINARY_DIR "/library/");

// A library of the named sample books in a folder of its own; null when the sample library is not
// built. The folder lives as long as the test program.
inline SourceManager* openSampleLibrary(std::initializer_list<const char*> names)
{
    if (!QFile::exists(kSampleLibrary + QStringLiteral("KJV.tvk")))
        return nullptr;
    static std::vector<std::unique_ptr<QTemporaryDir>> folders;
    QTemporaryDir& folder = *folders.emplace_back(std::make_unique<QTemporaryDir>());
    const QString books = folder.filePath(QStringLiteral("books"));
    QDir().mkpath(books);
    for (const char* name : names)
        QFile::link(kSampleLibrary + QLatin1String(name), QDir(books).filePath(QLatin1String(name)));
    SourceManager::Folders paths;
    paths.books = books;
    paths.cache = folder.filePath(QStringLiteral("cache"));
    paths.refused = folder.filePath(QStringLiteral("refused"));
    QDir().mkpath(paths.cache);
    return new SourceManager(paths);
}

// The KJV and the Scofield commentary of a sample library (null when it lacks them).
inline std::pair<SourceTuple::Ptr, SourceTuple::Ptr> kjvAndScofield(SourceManager& library)
{
    return {library.allSources()->tupleForPubID(1, 101), library.allSources()->tupleForPubID(1, 110)};
}

// The plain text of every KJV verse (packed key), its notes and markup left out, read from the
// sample library's source.
inline const std::map<quint32, QString>& kjvVerseTexts()
{
    static const std::map<quint32, QString> texts = [] {
        std::map<quint32, QString> out;
        std::ifstream in(QS_BINARY_DIR "/library-src/engKJV2006eb.imp", std::ios::binary);
        std::string line, key, text;
        static const QRegularExpression notes(
            QStringLiteral("<note\\b[^>]*>.*?</note>"), QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
        auto flush = [&] {
            const uint32_t k = key.empty() ? 0 : tvkVerseKeyFromExportKey(key);
            if (k == 0 || (k & 0xFF) == 0)
                return;
            QString plain = QString::fromUtf8(text.c_str());
            plain.remove(notes);
            plain.replace(tags, QStringLiteral(" "));
            out[k] = plain;
        };
        while (std::getline(in, line)) {
            if (line.rfind("$$$", 0) == 0) {
                flush();
                key = line.substr(3);
                text.clear();
            } else {
                text += "\n" + line;
            }
        }
        flush();
        return out;
    }();
    return texts;
}

// The words of a verse's plain text, lower-cased.
inline QStringList wordsOf(const QString& plain)
{
    static const QRegularExpression words(QStringLiteral("[A-Za-z]+"));
    QStringList out;
    for (auto it = words.globalMatch(plain); it.hasNext();)
        out.append(it.next().captured().toLower());
    return out;
}

// The notes of the profile's note document, the one the renderer marks notes from: what the tests
// hand the study pane (`env.notes`) as the program does.
inline NoteStore userNotes()
{
    return NoteStore(noteDocInstance());
}

// Marks every live note deleted, so each test starts with none.
inline void deleteAllNotes()
{
    cNoteDoc* notes = noteDocInstance();
    std::vector<quint32> keys;
    cBibleNote b;
    for (bool more = notes->firstBibleNote(b); more; more = notes->nextBibleNote(b))
        keys.push_back(b.verseKey());
    for (quint32 k : keys)
        StudyPaneTest::userNotes().remove(NoteLocation::bible(k));
    std::vector<cBookNote> books;
    cBookNote n;
    for (bool more = notes->firstBookNote(n); more; more = notes->nextBookNote(n))
        books.push_back(n);
    for (const cBookNote& x : books)
        notes->deleteFormNote(x.pubid, x.bookid, x.edition, x.section, x.formname, x.fieldname);
}

}  // namespace StudyPaneTest
