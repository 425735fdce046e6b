#include "engine/bookfile/cBkTextIndexStg.h"

cBkTextIndexStg::cBkTextIndexStg() : cBkSubstorageSupport(bkTag("PAGE"), m_hdr, BkPageFormat::kHeaderSize)
{
    for (int i = 0; i < 4; ++i)
        bkPutLE(m_hdr + 4 * i, BkPageFormat::kDefaultField, 4);
}

uint32_t cBkTextIndexStg::open(cBkStreamFile* container)
{
    cBkContainerLock lock(container);
    return openUnlocked(container);
}
