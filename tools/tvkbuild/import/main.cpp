// tvkimport: compiles books from exported modules and from authored sources.
//
//   tvkimport authored SOURCE OUTPUT.tvk
//   tvkimport library EXPORTS_DIR RESOURCES_DIR LIBRARY_DIR BOOKS_DIR
//
// "library" reads the exports (one MODULE.imp per module) and writes the sample library into
// LIBRARY_DIR and the books that come with the application into BOOKS_DIR; it lists every skipped
// entry, and fails when a book cannot be written.

#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/tvkbuild/import/TvkAuthoredSource.h"
#include "tools/tvkbuild/import/TvkModuleImport.h"

namespace {

bool readFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

int authored(const std::string& source, const std::string& out)
{
    std::string text, error;
    if (!readFile(source, text)) {
        std::fprintf(stderr, "tvkimport: cannot read %s\n", source.c_str());
        return 1;
    }
    cTvkRichBook book;
    if (!tvkBookFromAuthoredSource(text, book, error) || !book.writeFile(out, &error)) {
        std::fprintf(stderr, "tvkimport: %s: %s\n", source.c_str(), error.c_str());
        return 1;
    }
    return 0;
}

// Identities of the books we compile.
constexpr uint16_t kPublisher = 1;
constexpr uint16_t kHelpId = 23, kWelcomeId = 24, kKjvId = 101, kWebId = 102, kRvId = 103, kScofieldId = 110,
                   kTreasuryId = 111, kHebrewId = 120, kGreekId = 121, kNaveId = 122, kDevotionalId = 130;

TvkBookIdentity identity(
    const std::string& title, const std::string& abbreviation, uint16_t bookId, uint16_t language = 1033)
{
    TvkBookIdentity id;
    id.title = title;
    id.abbreviation = abbreviation;
    id.bookId = bookId;
    id.publisherId = kPublisher;
    id.language = language;
    id.copyright = "Public domain.";
    return id;
}

TvkBookIdentity bibleIdentity(
    const std::string& title, const std::string& abbreviation, uint16_t bookId, uint16_t language = 1033)
{
    TvkBookIdentity id = identity(title, abbreviation, bookId, language);
    id.strongsHebrew[0] = kPublisher;
    id.strongsHebrew[1] = kHebrewId;
    id.strongsGreek[0] = kPublisher;
    id.strongsGreek[1] = kGreekId;
    return id;
}

int library(const std::string& exports, const std::string& resources, const std::string& libraryDir,
    const std::string& booksDir)
{
    std::mutex mutex;
    std::vector<TvkImportReport> reports;
    std::vector<std::string> failures;
    auto load = [&](const std::string& module, std::vector<TvkImpEntry>& entries) {
        std::string error;
        if (!tvkReadExport(exports + "/" + module + ".imp", entries, error)) {
            std::lock_guard<std::mutex> lock(mutex);
            failures.push_back(module + ": " + error);
            return false;
        }
        return true;
    };
    auto finish = [&](const cTvkRichBook& book, const std::vector<std::string>& paths, TvkImportReport report) {
        std::string error;
        std::vector<uint8_t> bytes;
        try {
            bytes = book.build();
        } catch (const std::exception& e) {
            error = e.what();
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (!error.empty()) {
            failures.push_back(report.module + ": " + error);
            return;
        }
        for (const std::string& path : paths) {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!out)
                failures.push_back(report.module + ": cannot write " + path);
        }
        reports.push_back(std::move(report));
    };
    // The Bibles are read first: each carries the reference tables that list the books of them all.
    struct BibleJob {
        std::string module;
        TvkBookIdentity id;
        std::vector<std::string> paths;
        bool withDevotional = false;
        bool loaded = false;
        TvkImportReport report;
        TvkBibleModel model;
    };
    std::vector<BibleJob> bibles(3);
    bibles[0].module = "engKJV2006eb";
    bibles[0].id = bibleIdentity("King James Version", "KJV", kKjvId);
    bibles[0].paths = {libraryDir + "/KJV.tvk", booksDir + "/KJV.tvk"};
    bibles[0].withDevotional = true;
    bibles[1].module = "engWEB2015eb";
    bibles[1].id = bibleIdentity("World English Bible", "WEB", kWebId);
    bibles[1].paths = {libraryDir + "/WEB.tvk"};
    bibles[2].module = "spaRV1909eb";
    bibles[2].id = bibleIdentity("Reina-Valera 1909", "RV1909", kRvId, 10);
    bibles[2].paths = {libraryDir + "/RV1909.tvk"};
    {
        std::vector<std::thread> readers;
        for (BibleJob& job : bibles)
            readers.emplace_back([&, j = &job] {
                std::vector<TvkImpEntry> entries;
                if (!load(j->module, entries))
                    return;
                j->report.module = j->module;
                j->model = tvkParseBible(entries, j->report);
                j->loaded = true;
            });
        for (std::thread& t : readers)
            t.join();
    }
    std::vector<TvkBibleBooks> libraryBooks;
    for (const BibleJob& job : bibles)
        if (job.loaded)
            libraryBooks.push_back({job.id.abbreviation, tvkBookNumbers(job.model)});
    auto bible = [&](BibleJob& job) {
        if (!job.loaded)
            return;
        cTvkRichBook book;
        tvkCompileBible(job.model, job.id, book);
        tvkAddReferenceTables(book, job.id.abbreviation, libraryBooks);
        finish(book, job.paths, std::move(job.report));
        if (job.withDevotional) {
            cTvkRichBook dated;
            TvkBookIdentity d = identity(
                "Daily Readings from the Psalms and Proverbs (King James Version)", "Daily Readings", kDevotionalId);
            tvkCompileDevotional(job.model, {19, 20}, d, dated);
            TvkImportReport r;
            r.module = job.module + " (daily readings)";
            finish(dated, {libraryDir + "/DailyReadings.tvk"}, std::move(r));
        }
    };
    auto commentary = [&](const std::string& module, const TvkBookIdentity& id, const std::string& path) {
        std::vector<TvkImpEntry> entries;
        if (!load(module, entries))
            return;
        TvkImportReport report;
        report.module = module;
        cTvkRichBook book;
        tvkImportCommentary(entries, id, book, report);
        finish(book, {path}, std::move(report));
    };
    auto dictionary = [&](const std::string& module, TvkDictionaryKind kind, const TvkBookIdentity& id,
                          const std::vector<std::string>& paths) {
        std::vector<TvkImpEntry> entries;
        if (!load(module, entries))
            return;
        TvkImportReport report;
        report.module = module;
        cTvkRichBook book;
        tvkImportDictionary(entries, kind, id, book, report);
        finish(book, paths, std::move(report));
    };
    auto authoredBook = [&](const std::string& name, const std::string& out) {
        std::string text, error;
        TvkImportReport report;
        report.module = name;
        cTvkRichBook book;
        if (!readFile(resources + "/" + name, text) || !tvkBookFromAuthoredSource(text, book, error)) {
            std::lock_guard<std::mutex> lock(mutex);
            failures.push_back(name + ": " + (error.empty() ? "cannot read" : error));
            return;
        }
        finish(book, {out}, std::move(report));
    };

    std::vector<std::function<void()>> jobs = {
        [&] { bible(bibles[0]); },
        [&] { bible(bibles[1]); },
        [&] { bible(bibles[2]); },
        [&] {
            commentary("Scofield", identity("Scofield Reference Notes (1917)", "Scofield", kScofieldId),
                libraryDir + "/Scofield.tvk");
        },
        [&] {
            commentary("TDavid", identity("The Treasury of David", "Treasury of David", kTreasuryId),
                libraryDir + "/TreasuryOfDavid.tvk");
        },
        [&] {
            dictionary("StrongsHebrew", TvkDictionaryKind::StrongsHebrew,
                identity("Strong's Hebrew Dictionary", "Strong's Hebrew", kHebrewId),
                {libraryDir + "/StrongsHebrew.tvk", booksDir + "/StrongsHebrew.tvk"});
        },
        [&] {
            dictionary("StrongsGreek", TvkDictionaryKind::StrongsGreek,
                identity("Strong's Greek Dictionary", "Strong's Greek", kGreekId),
                {libraryDir + "/StrongsGreek.tvk", booksDir + "/StrongsGreek.tvk"});
        },
        [&] {
            dictionary("Nave", TvkDictionaryKind::Topical, identity("Nave's Topical Bible", "Nave's", kNaveId),
                {libraryDir + "/Nave.tvk"});
        },
        [&] { authoredBook("MXHelp.qsbook", booksDir + "/MXHelp.tvk"); },
        [&] { authoredBook("MXWelcome.qsbook", booksDir + "/MXWelcome.tvk"); },
    };
    std::vector<std::thread> threads;
    const size_t width = 4;
    std::mutex queueMutex;
    size_t next = 0;
    for (size_t t = 0; t < width; ++t)
        threads.emplace_back([&] {
            for (;;) {
                size_t job;
                {
                    std::lock_guard<std::mutex> lock(queueMutex);
                    if (next == jobs.size())
                        return;
                    job = next++;
                }
                jobs[job]();
            }
        });
    for (auto& t : threads)
        t.join();

    for (const TvkImportReport& r : reports) {
        if (r.entries == 0)
            std::printf("%s: compiled\n", r.module.c_str());
        else
            std::printf("%s: %zu entries, %zu compiled, %zu empty, %zu skipped\n", r.module.c_str(), r.entries,
                r.imported, r.empty, r.skipped.size());
        if (r.references + r.unreadReferences > 0)
            std::printf("  %zu references linked, %zu left as text\n", r.references, r.unreadReferences);
        if (r.repairedReferences > 0)
            std::printf("  %zu chapter-only links given the verses after them\n", r.repairedReferences);
        for (const std::string& s : r.trimmed)
            std::printf("  trimmed %s\n", s.c_str());
        for (const std::string& s : r.skipped)
            std::printf("  skipped %s\n", s.c_str());
    }
    for (const std::string& f : failures)
        std::fprintf(stderr, "tvkimport: %s\n", f.c_str());
    return failures.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "authored")
        return authored(args[1], args[2]);
    if (args.size() == 5 && args[0] == "library")
        return library(args[1], args[2], args[3], args[4]);
    std::fprintf(stderr,
        "usage: tvkimport authored SOURCE OUTPUT.tvk\n"
        "       tvkimport library EXPORTS_DIR RESOURCES_DIR LIBRARY_DIR BOOKS_DIR\n");
    return 2;
}
