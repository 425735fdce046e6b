// cCategory: one bookmark category, a row of the table Categories. Every bookmark belongs to one
// category (catid 0 means none). Categories have no server id: they are matched with the server by
// catid and by name, so serverid stays 0.
//
// A plain value owned by one thread at a time.
#pragma once

#include <cstdint>

#include "engine/foundation/cLStringTmpl.h"
#include "userdata/cDBRecord.h"

class cCategory : public cDBRecord {
public:
    cCategory() { clear(); }

    // Base fields, catid 0, name emptied, flag false.
    void clear() override;

    std::uint16_t catid = 0;  // unique; new ids are 1 + the highest in use
    cLString16 name;          // stored as UTF-8 in the column "category"
    bool flag = false;        // kept for the caller; never stored
};
