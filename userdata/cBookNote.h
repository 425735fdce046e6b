// cBookNote: one row of BookNotes, a note attached to a location in a book (publisher, book,
// edition, section) and, for a journal form, to one named field of that form. A plain book note has
// empty form and field names.
//
// A plain value owned by its caller.
#pragma once

#include <cstdint>

#include "engine/foundation/cLStringTmpl.h"
#include "userdata/cDBRecord.h"

class cBookNote : public cDBRecord {
public:
    cBookNote() { clear(); }
    ~cBookNote() override = default;
    cBookNote(const cBookNote&) = default;
    cBookNote& operator=(const cBookNote&) = default;

    // isEqual stays the base comparison (recid, serverid, deleted, timestamp).
    void clear() override
    {
        cDBRecord::clear();
        pubid = 0;
        bookid = 0;
        edition = 0;
        section = 0;
        formname.makeEmpty();
        fieldname.makeEmpty();
        note.makeEmpty();
    }

    // Both names empty (a plain note) or both set (a form field).
    bool hasValidFormFields() const { return formname.isEmpty() == fieldname.isEmpty(); }

    std::uint16_t pubid = 0;
    std::uint16_t bookid = 0;
    std::uint8_t edition = 0;
    std::int32_t section = 0;
    cLString16 formname;
    cLString16 fieldname;
    cLString16 note;  // stored unchanged
};
