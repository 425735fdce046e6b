// cBkTextIndexStg: the "PAGE" storage. A book must carry it, but no operation reads its records; the
// 36-byte header is read when the book opens.

#pragma once

#include "engine/bookfile/BkSectionFormat.h"
#include "engine/bookfile/cBkSubstorageSupport.h"

class cBkTextIndexStg : public cBkSubstorageSupport {
public:
    cBkTextIndexStg();
    uint32_t open(cBkStreamFile* container) override;

private:
    uint8_t m_hdr[BkPageFormat::kHeaderSize] = {};
};
