// cBibleNote: one row of BibleNotes, a note attached to one Bible verse (book number, chapter,
// verse in the engine's numbering).
//
// A plain value owned by its caller.
#pragma once

#include <cstdint>

#include "engine/foundation/cLStringTmpl.h"
#include "userdata/cDBRecord.h"

class cBibleNote : public cDBRecord {
public:
    cBibleNote() { clear(); }
    ~cBibleNote() override = default;
    cBibleNote(const cBibleNote&) = default;
    cBibleNote& operator=(const cBibleNote&) = default;

    // isEqual stays the base comparison; isEqualNote compares the verse and the text too.
    void clear() override
    {
        cDBRecord::clear();
        booknum = 0;
        chapter = 0;
        verse = 0;
        note.makeEmpty();
    }
    virtual bool isEqualNote(const cBibleNote& other) const
    {
        return cDBRecord::isEqual(other) && booknum == other.booknum && chapter == other.chapter &&
            verse == other.verse && note.equals(other.note);
    }

    // A verse a key can carry: book 1 to 255, chapter and verse 0 to 255.
    bool isValidVerse() const
    {
        return booknum >= 1 && booknum <= 255 && chapter >= 0 && chapter < 256 && verse >= 0 && verse < 256;
    }
    // book << 16 | chapter << 8 | verse, each 8 bits.
    std::uint32_t verseKey() const
    {
        return (static_cast<std::uint32_t>(booknum & 255) << 16) | (static_cast<std::uint32_t>(chapter & 255) << 8) |
            static_cast<std::uint32_t>(verse & 255);
    }

    std::int32_t booknum = 0;
    std::int32_t chapter = 0;
    std::int32_t verse = 0;
    cLString16 note;
};
