#include "engine/bookfile/cBkHTMLNodeStg.h"

#include <algorithm>

using namespace BkNodeFormat;

const cBkNodeAttribute* cBkNode::attribute(uint32_t code) const
{
    for (const auto& a : attributes)
        if (!a.named && a.code == code)
            return &a;
    return nullptr;
}

cBkHTMLNodeStg::cBkHTMLNodeStg() : cBkSubstorageSupport(bkTag("NODE"), m_hdr, kHeaderSize)
{
    m_hdr[kUnused] = 1;
    m_hdr[kLongWidth] = kDefaultWidth;
    m_hdr[kStringWidth] = kDefaultWidth;
}

uint32_t cBkHTMLNodeStg::open(cBkStreamFile* container)
{
    cBkContainerLock lock(container);
    uint32_t r = openUnlocked(container);
    if (r == 0 && blockCount() > container->size(m_streamId))
        r = BkResult::kMalformed;
    // A book opens without its node storage; a failed one then has no blocks.
    if (r != 0)
        bkPutLE(m_hdr + kBlockCount, 0, 4);
    return r;
}

uint32_t cBkHTMLNodeStg::readHeader()
{
    uint32_t r = cBkSubstorageSupport::readHeader();
    if (m_hdr[kLongWidth] == 0)
        m_hdr[kLongWidth] = kDefaultWidth;
    if (m_hdr[kStringWidth] == 0)
        m_hdr[kStringWidth] = kDefaultWidth;
    cBkTieredOffsetIndex::decode(m_hdr + kIndex, m_bases, m_counts);
    if (r == 0 && (m_hdr[kLongWidth] > 4 || m_hdr[kStringWidth] > 4))
        r = BkResult::kMalformed;
    return r;
}

void cBkHTMLNodeStg::resetWindow(uint32_t position)
{
    m_windowStart = position;
    m_windowLength = 0;
    m_windowIndex = 0;
}

uint32_t cBkHTMLNodeStg::need(uint32_t n)
{
    if (m_windowLength - m_windowIndex >= n)
        return 0;
    if (m_container == nullptr)
        return BkResult::kNotOpen;
    const uint32_t at = m_windowStart + m_windowIndex;
    const uint32_t size = m_container->size(m_streamId);
    if (!m_container->hasStream(m_streamId))
        return size;  // 217 or 218
    uint32_t length = at < size ? std::min<uint32_t>(sizeof m_window, size - at) : 0;
    if (length > 0) {
        if (uint32_t r = m_container->seekAndRead(m_streamId, length, m_window, at))
            return r;
    }
    m_windowStart = at;
    m_windowIndex = 0;
    m_windowLength = length;
    return length < n ? BkResult::kPastEnd : 0;
}

uint32_t cBkHTMLNodeStg::takeByte(uint8_t& b)
{
    if (uint32_t r = need(1))
        return r;
    b = m_window[m_windowIndex++];
    return 0;
}

uint32_t cBkHTMLNodeStg::takeBytes(uint32_t n, uint32_t& value)
{
    if (uint32_t r = need(n))
        return r;
    value = bkGetBE(m_window + m_windowIndex, n);
    m_windowIndex += n;
    return 0;
}

uint32_t cBkHTMLNodeStg::readString(uint32_t offset, std::string& out)
{
    const uint64_t at = static_cast<uint64_t>(bkGetLE32(m_hdr + kStringBase)) + offset;
    if (at > 0xFFFFFFFFu)
        return BkResult::kPastEnd;
    return m_container->readString(m_streamId, out, static_cast<uint32_t>(at));
}

uint32_t cBkHTMLNodeStg::readRecord(
    cBkNode& node, bool& hasChildren, uint32_t& childrenPosition, int32_t translation, int32_t language)
{
    hasChildren = false;
    uint8_t b0;
    if (uint32_t r = takeByte(b0))
        return r;
    node.tag = b0 & kTagMask;
    if ((b0 & kExtended) == 0)
        return 0;
    uint8_t f;
    if (uint32_t r = takeByte(f))
        return r;
    bool attributes;
    uint8_t a0 = 0;
    bool haveA0 = false;
    if ((f & kNoChildren) == 0) {
        uint32_t rest;
        if (uint32_t r = takeBytes(3, rest))
            return r;
        hasChildren = true;
        childrenPosition = (static_cast<uint32_t>(f & 0x3F) << 24) | rest;
        attributes = (f & kHasAttributes) != 0;
    } else {
        attributes = true;
        a0 = f;
        haveA0 = true;
    }
    const unsigned L = longWidth(), S = stringWidth();
    while (attributes) {
        if (!haveA0) {
            if (uint32_t r = takeByte(a0))
                return r;
        }
        haveA0 = false;
        uint8_t a1;
        if (uint32_t r = takeByte(a1))
            return r;
        attributes = (a0 & kMoreAttributes) != 0;
        const uint32_t c = (a0 & 0x3F) * 2u + (a1 >> 7);
        uint32_t v = a1 & 0x7F;
        cBkNodeAttribute attr;
        if (c == kLongValue) {
            for (unsigned i = 1; i < L; ++i) {
                uint8_t more;
                if (uint32_t r = takeByte(more))
                    return r;
                v = (v << 8) | more;
            }
            attr.code = kTextAtAttribute;
            attr.hasText = true;
            attr.text = std::to_string(v);
            node.attributes.push_back(std::move(attr));
            continue;
        }
        if (c == kNamedAttribute) {
            uint32_t nameOffset;
            if (uint32_t r = takeBytes(S, nameOffset))
                return r;
            if (uint32_t r = readString(nameOffset, attr.name))
                return r;
            attr.named = true;
        } else {
            attr.code = c;
        }
        if (v == kNumberValue) {
            uint32_t raw;
            if (uint32_t r = takeBytes(3, raw))
                return r;
            const int32_t number = (raw & 0x800000) ? static_cast<int32_t>(raw) - 0x1000000 : static_cast<int32_t>(raw);
            attr.hasText = true;
            attr.text = std::to_string(number);
            if (!attr.named && node.tag == kSyncTag && c == kSyncValueAttribute) {
                attr.text = std::to_string(raw);
                std::string spelled;
                if ((raw & 0xFF) != 0 &&
                    cBkReferenceFormatter::current().formatReference(raw, translation, language, spelled))
                    attr.text = spelled;
            }
        } else if (v == kStringValue) {
            uint32_t valueOffset;
            if (uint32_t r = takeBytes(S, valueOffset))
                return r;
            if (uint32_t r = readString(valueOffset, attr.text))
                return r;
            attr.hasText = true;
        } else {
            attr.valueCode = v;
        }
        node.attributes.push_back(std::move(attr));
    }
    return 0;
}

uint32_t cBkHTMLNodeStg::readChildren(cBkNode& parent, uint32_t position, uint32_t depth, int32_t translation,
    int32_t language, std::unordered_set<uint32_t>& lists)
{
    if (depth >= kMaxDepth || !lists.insert(position).second)
        return BkResult::kMalformed;
    std::vector<ListRef> pending;
    {
        cBkContainerLock lock(m_container);
        resetWindow(position);
        uint8_t n8;
        if (uint32_t r = takeByte(n8))
            return r;
        uint32_t n = n8;
        if (n8 == kWideCount) {
            uint8_t lo, hi;
            if (uint32_t r = takeByte(lo))
                return r;
            if (uint32_t r = takeByte(hi))
                return r;
            n = static_cast<uint32_t>(lo) | (static_cast<uint32_t>(hi) << 8);
        }
        // Every child record takes at least a byte: a count beyond what is left of the stream is
        // damage, found before anything is set aside for it.
        const uint32_t size = m_container->size(m_streamId);
        const uint32_t at = m_windowStart + m_windowIndex;
        if (at > size || n > size - at)
            return BkResult::kPastEnd;
        parent.children.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            auto child = std::make_unique<cBkNode>();
            child->block = parent.block;
            child->parent = &parent;
            bool has = false;
            uint32_t at = 0;
            if (uint32_t r = readRecord(*child, has, at, translation, language)) {
                parent.children.clear();
                return r;
            }
            if (has)
                pending.push_back({child.get(), at});
            parent.children.push_back(std::move(child));
        }
    }
    for (const ListRef& ref : pending) {
        if (uint32_t r = readChildren(*ref.node, ref.position, depth + 1, translation, language, lists)) {
            parent.children.clear();
            return r;
        }
    }
    return 0;
}

uint32_t cBkHTMLNodeStg::loadBlockTree(
    int32_t block, int32_t translation, int32_t language, std::unique_ptr<cBkNode>& tree)
{
    tree.reset();
    uint32_t position;
    {
        cBkContainerLock lock(m_container);
        if (block < 0) {
            if (m_hdr[kNegativeBlockFlag] == 0)
                return 0;
            position = kNegativeBlockPosition;
        } else if (static_cast<uint32_t>(block) >= blockCount()) {
            return BkResult::kBadArgument;
        } else {
            if (m_container == nullptr)
                return BkResult::kNotOpen;
            position = lookupIndex(static_cast<uint32_t>(block), m_counts, m_bases);
        }
    }
    auto root = std::make_unique<cBkNode>();
    root->block = block;
    bool has = false;
    uint32_t childrenAt = 0;
    {
        cBkContainerLock lock(m_container);
        if (m_container == nullptr)
            return BkResult::kNotOpen;
        resetWindow(position);
        if (uint32_t r = readRecord(*root, has, childrenAt, translation, language))
            return r;
    }
    if (has) {
        std::unordered_set<uint32_t> lists;
        if (uint32_t r = readChildren(*root, childrenAt, 0, translation, language, lists))
            return r;
    }
    tree = std::move(root);
    return 0;
}
