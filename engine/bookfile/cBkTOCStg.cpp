#include "engine/bookfile/cBkTOCStg.h"

#include <vector>

#include "engine/bookfile/BkText.h"

using namespace BkTocFormat;

cBkTOCStg::cBkTOCStg() : cBkSubstorageSupport(bkTag("TOFC"), m_hdr, kHeaderSize)
{
    m_hdr[kLinkWidth] = kDefaultLinkWidth;
    m_hdr[kUnused2] = 1;
}

uint32_t cBkTOCStg::open(cBkStreamFile* container)
{
    cBkContainerLock lock(container);
    uint32_t r = openUnlocked(container);
    cBkTieredOffsetIndex::decode(m_hdr + kIndex, m_bases, m_counts);
    // Every entry takes at least a byte, so a count beyond the stream's size is a lie.
    if (r == 0 && (m_hdr[kLinkWidth] < 1 || m_hdr[kLinkWidth] > 4 || entryCount() > container->size(m_streamId)))
        r = BkResult::kMalformed;
    return r;
}

int32_t cBkTOCStg::readLinksUnlocked(uint32_t i, uint32_t& link2, uint32_t& link1, uint32_t& link3)
{
    if (i >= entryCount())
        return -1;
    if (m_container == nullptr)
        return static_cast<int32_t>(BkResult::kNotOpen);
    const unsigned w = m_hdr[kLinkWidth];
    if (w < 1 || w > 4)
        return static_cast<int32_t>(BkResult::kMalformed);
    uint32_t at = lookupIndex(i, m_counts, m_bases);
    uint8_t b[12] = {};
    if (uint32_t r = m_container->seekAndRead(m_streamId, 3 * w, b, at))
        return static_cast<int32_t>(r);
    uint32_t v[3];
    for (int k = 0; k < 3; ++k) {
        v[k] = bkGetLE(b + k * w, w);
        if (v[k] == bkAllOnes(w))
            v[k] = BkResult::kNone;
    }
    link1 = v[0];
    link2 = v[1];
    link3 = v[2];
    return 0;
}

int32_t cBkTOCStg::readEntryUnlocked(uint32_t i, uint8_t& level, std::string& title)
{
    if (i >= entryCount())
        return -1;
    title.clear();
    if (m_container == nullptr)
        return static_cast<int32_t>(BkResult::kNotOpen);
    const uint64_t at = static_cast<uint64_t>(lookupIndex(i, m_counts, m_bases)) + 3u * m_hdr[kLinkWidth] +
        m_hdr[kWidthX] + m_hdr[kWidthY];
    if (at >= 0xFFFFFFFFu)
        return static_cast<int32_t>(BkResult::kPastEnd);
    uint8_t lv = 0;
    if (uint32_t r = m_container->seekAndRead(m_streamId, 1, &lv, static_cast<uint32_t>(at)))
        return static_cast<int32_t>(r);
    level = lv;
    if (uint32_t r = m_container->readString(m_streamId, title, static_cast<uint32_t>(at + 1))) {
        title.clear();
        return static_cast<int32_t>(r);
    }
    return 0;
}

int32_t cBkTOCStg::readEntry(uint32_t i, uint8_t& level, std::string& title)
{
    cBkContainerLock lock(m_container);
    return readEntryUnlocked(i, level, title);
}

int32_t cBkTOCStg::readLinks(uint32_t i, uint32_t& link2, uint32_t& link1, uint32_t& link3)
{
    cBkContainerLock lock(m_container);
    return readLinksUnlocked(i, link2, link1, link3);
}

int32_t cBkTOCStg::sectionForTocPath(const std::string& path)
{
    std::vector<std::string> titles;
    size_t i = 0;
    while (i < path.size() && path[i] == '\\')
        ++i;
    std::string current;
    bool any = i < path.size();
    for (; i < path.size(); ++i) {
        if (path[i] == '\\') {
            if (i + 1 < path.size() && path[i + 1] == '\\') {
                current.push_back('\\');
                ++i;
            } else {
                titles.push_back(current);
                current.clear();
            }
        } else {
            current.push_back(path[i]);
        }
    }
    if (any && !current.empty())
        titles.push_back(current);
    if (titles.empty())
        return -1;

    cBkContainerLock lock(m_container);
    uint32_t cur = BkResult::kNone;
    for (size_t d = 0; d < titles.size(); ++d) {
        const std::u16string want = BkText::utf8ToUtf16(titles[d]);
        uint32_t cand = cur == BkResult::kNone ? 1 : cur + 1;
        for (;;) {
            uint8_t level = 0;
            std::string title;
            if (readEntryUnlocked(cand, level, title) != 0 || level != d + 1)
                return -1;
            if (BkText::compareIgnoringCase(BkText::utf8ToUtf16(title), want) == 0)
                break;
            uint32_t l1, l2, l3;
            if (readLinksUnlocked(cand, l2, l1, l3) != 0 || l1 == BkResult::kNone)
                return -1;
            // Siblings follow each other in document order; a link that does not move forward would
            // never end the walk.
            if (l1 <= cand)
                return -1;
            cand = l1;
        }
        cur = cand;
    }
    return static_cast<int32_t>(cur);
}
