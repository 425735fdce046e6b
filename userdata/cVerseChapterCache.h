// cVerseChapterCache: one value per verse for the chapters read lately, so that a page of verses asks
// the database once per chapter rather than once per verse (a go-to renders a few chapters, and the
// renderer asks for each verse's highlight and note).
//
// A chapter is named by its key without the verse (book << 8 | chapter); it holds which of its 256
// verse numbers have a value, and the values. The owner reads a chapter with its own query (one
// statement, at most one row per verse number).
//
// The cache never answers around a write: every lookup starts with begin(), which takes the
// connection's change mark and empties the cache when it differs from the mark the kept chapters
// were read under. The mark moves with every row this connection changes and every commit to the
// file by another connection or process, and with every new opening of the connection; a lookup
// inside a transaction is answered by the owner without the cache. At most kChapters chapters are
// kept; the one used longest ago goes first.
//
// Lookups made together on one thread (the verses of one rendered block) may form a batch
// (beginBatch/endBatch): the first lookup of the batch reads the file's data version, the others only
// compare this connection's own changes and openings, so a commit by another connection or process
// while a batch runs is seen from the next batch on.
//
// Not thread-safe: the owner calls it under its own lock.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <vector>

#include "userdata/cSQLiteDbBase.h"

class cBibleRef;

class cVerseChapterCache {
public:
    // Calls `visit(first, last)` with the key ranges a lookup of the reference looks through, in
    // order: its own first key (a range of one; none for key 0, which names no verse), then each
    // range of its equivalent keys in the other versifications (empty ranges left out), until
    // `visit` answers true. Answers whether it did.
    static bool visitKeyRanges(
        const cBibleRef& reference, const std::function<bool(std::uint32_t first, std::uint32_t last)>& visit);

    static constexpr std::size_t kChapters = 64;
    // A range of keys over more chapters than this (from a broken mapping table) is not read through
    // the cache: the owner answers it from the tables with one query, and the page's chapters stay.
    static constexpr std::uint64_t kChaptersPerRange = 4;

    struct Chapter {
        std::bitset<256> present;
        std::array<std::uint32_t, 256> values {};
        void set(std::uint32_t verse, std::uint32_t value)
        {
            if (verse < 256 && !present.test(verse)) {  // the first row of a verse stands
                present.set(verse);
                values[verse] = value;
            }
        }
    };
    // Reads the chapter's verses into the (empty) chapter; false when the statement fails.
    using Loader = std::function<bool(std::uint32_t chapterKey, Chapter& chapter)>;

    // Starts a lookup: false when the database gives no change mark (closed, or inside a
    // transaction), and the owner answers from the tables. The kept chapters are dropped then too.
    bool begin();
    // The first key from `first` to `last` (both taken as book << 16 | chapter << 8 | verse; the
    // book's bits above 8 are ignored) that has a value in the cache's chapters, read with `load`
    // where missing. False when none does, or with `failed` set when a read failed or the range spans
    // more than kChaptersPerRange chapters (the owner's tables answer then).
    bool firstInRange(std::uint32_t first, std::uint32_t last, const Loader& load, std::uint32_t& key,
        std::uint32_t& value, bool& failed);
    void clear();
    std::size_t keptChapters() const { return m_entries.size(); }

    // A batch of lookups on this thread; batches may nest (the outermost one counts).
    static void beginBatch();
    static void endBatch();

private:
    struct Entry {
        std::uint32_t chapterKey = 0;
        std::uint64_t used = 0;
        Chapter chapter;
    };
    const Chapter* chapter(std::uint32_t chapterKey, const Loader& load);

    std::vector<Entry> m_entries;
    std::uint64_t m_tick = 0;
    cSQLiteChangeMark m_mark;
    bool m_marked = false;
};
