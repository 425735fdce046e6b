#include "tools/tvktool/LibraryListing.h"

#include "library/SourceManager.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

#include <unistd.h>

const char* libraryKindName(long long kind)
{
    switch (kind) {
    case 1:
        return "Bible";
    case 2:
        return "Bible with Strong's numbers";
    case 3:
        return "commentary";
    case 4:
        return "devotional";
    case 5:
        return "dictionary";
    case 6:
        return "Strong's dictionary";
    case 7:
        return "other book";
    case 8:
        return "cross-reference commentary";
    case 9:
        return "Bible with word attributes";
    case 10:
        return "word-attribute dictionary";
    default:
        return "unknown kind";
    }
}

int listLibrary(const char* folder, std::FILE* out)
{
    const QFileInfo info(QString::fromLocal8Bit(folder));
    if (!info.isDir()) {
        std::fprintf(stderr, "not a folder: %s\n", folder);
        return 1;
    }
    SourceManager::Folders folders;
    folders.books = info.absoluteFilePath();
    folders.readOnly = true;
    auto library = std::make_unique<SourceManager>(folders);
    for (const auto& t : library->allSources()->array()) {
        std::fprintf(out, "%s\t%s (%lld)\t%s\t%s\n", t->sourceTupleID().colonString().toUtf8().constData(),
            libraryKindName(t->kind()), static_cast<long long>(t->kind()), t->record().abbr.toUtf8().constData(),
            t->record().name.toUtf8().constData());
    }
    const auto skipped = library->skippedFiles();
    std::fprintf(out, "%lld skipped\n", static_cast<long long>(skipped.size()));
    for (const auto& s : skipped)
        std::fprintf(out, "skipped %s: %s\n", s.path.toUtf8().constData(), s.reason.toUtf8().constData());
    std::fflush(out);
    // Closing the books writes the engine's close traces on standard output: keep them out of the
    // listing.
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (sink != nullptr)
        dup2(fileno(sink), STDOUT_FILENO);
    library.reset();
    std::fflush(stdout);
    if (saved >= 0 && sink != nullptr)
        dup2(saved, STDOUT_FILENO);
    if (sink != nullptr)
        std::fclose(sink);
    if (saved >= 0)
        close(saved);
    return 0;
}
