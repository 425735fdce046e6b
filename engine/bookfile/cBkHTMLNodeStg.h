// cBkHTMLNodeStg: the "NODE" storage (layout in BkNodeFormat.h). Turns one block into a tree of
// stored elements: tag codes with their attributes, ready for the renderer to make its parse tree.
// The storage is optional: without its stream every load fails with the stream's result code.
//
// Spelling a qs_sync element's Bible key needs the Bible references; they are reached through a
// formatter hook (cBkReferenceFormatter) that the application installs (without one the key is
// written in decimal).
// The container mutex is held while the index is consulted and while one record or the records of
// one children list are read; the read-ahead window is used only under it.

#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/bookfile/BkNodeFormat.h"
#include "engine/bookfile/cBkSubstorageSupport.h"
#include "engine/foundation/cStartupHook.h"

// One attribute as it enters the element's attribute list: a code or a name, and a text or a value
// code.
struct cBkNodeAttribute {
    bool named = false;
    uint32_t code = 0;  // when !named
    std::string name;   // when named
    bool hasText = false;
    std::string text;        // when hasText
    uint32_t valueCode = 0;  // when !hasText
};

struct cBkNode {
    uint8_t tag = 0;
    int32_t block = 0;
    std::vector<cBkNodeAttribute> attributes;
    std::vector<std::unique_ptr<cBkNode>> children;
    cBkNode* parent = nullptr;

    const cBkNodeAttribute* attribute(uint32_t code) const;
};

// Spells the Bible key of a qs_sync element. The default spells nothing, so the key stays decimal.
class cBkReferenceFormatter : public cStartupHook<cBkReferenceFormatter> {
public:
    virtual ~cBkReferenceFormatter() = default;
    // Writes `key` (book << 16 | chapter << 8 | verse, verse not 0) as a Bible reference for the
    // translation and language; false when the book is not in the translation's book order. It is
    // called with the book's container mutex held, so it must not read this book.
    virtual bool formatReference(
        uint32_t /*key*/, int32_t /*translation*/, int32_t /*language*/, std::string& /*out*/) const
    {
        return false;
    }
};

class cBkHTMLNodeStg : public cBkSubstorageSupport {
public:
    cBkHTMLNodeStg();
    uint32_t open(cBkStreamFile* container) override;
    // The base read; a width of 0 reads as 3; widths above 4 are malformed (220).
    uint32_t readHeader() override;

    uint32_t blockCount() const { return bkGetLE32(m_hdr + BkNodeFormat::kBlockCount); }
    uint8_t longWidth() const { return m_hdr[BkNodeFormat::kLongWidth]; }
    uint8_t stringWidth() const { return m_hdr[BkNodeFormat::kStringWidth]; }

    // On 0, `tree` is the block's root (none for a negative block without the negative-block flag);
    // 221 for a block past the count; stream codes pass through; 220 for a tree that nests deeper than
    // BkNodeFormat::kMaxDepth or whose children lists repeat. On failure `tree` is none.
    uint32_t loadBlockTree(int32_t block, int32_t translation, int32_t language, std::unique_ptr<cBkNode>& tree);

private:
    struct ListRef {
        cBkNode* node;
        uint32_t position;
    };
    // The caller holds the container mutex.
    uint32_t need(uint32_t n);
    void resetWindow(uint32_t position);
    uint32_t takeByte(uint8_t& b);
    uint32_t takeBytes(uint32_t n, uint32_t& value);
    uint32_t readString(uint32_t offset, std::string& out);
    uint32_t readRecord(
        cBkNode& node, bool& hasChildren, uint32_t& childrenPosition, int32_t translation, int32_t language);
    uint32_t readChildren(cBkNode& parent, uint32_t position, uint32_t depth, int32_t translation, int32_t language,
        std::unordered_set<uint32_t>& lists);

    uint8_t m_hdr[BkNodeFormat::kHeaderSize] = {};
    uint32_t m_bases[4] = {};
    uint32_t m_counts[4] = {};
    uint8_t m_window[128] = {};
    uint32_t m_windowStart = 0;
    uint32_t m_windowLength = 0;
    uint32_t m_windowIndex = 0;
};
