// cHTMLTagElement: one element (or text node, tag code 75) of a markup parse tree.
//
// An element carries its tag code, its attribute list, the book section it belongs to and its
// source position: for elements built from markup text, where its opening token starts, where that
// token ends and where the element ends; for the root of a tree loaded from a book's node storage,
// (block number, 0, 0). The links are typed as elements, since every item of a tree is one.
//
// Ownership: an element owns its children (see cHTMLParseTreeItem). Not safe for concurrent use.

#pragma once

#include <cstdint>

#include "render/HTMLTagCode.h"
#include "render/cHTMLAttributeList.h"
#include "render/cHTMLParseTreeItem.h"

class cHTMLTagElement : public cHTMLParseTreeItem {
public:
    cHTMLTagElement() = default;
    explicit cHTMLTagElement(HTMLTagCode tagCode) : m_tagCode(tagCode) { }
    // Copies tag code, section number, source position and attributes; not the links.
    cHTMLTagElement(const cHTMLTagElement& other);
    cHTMLTagElement& operator=(const cHTMLTagElement&) = delete;
    ~cHTMLTagElement() override = default;

    cHTMLTagElement* parent() const { return static_cast<cHTMLTagElement*>(m_parent); }
    cHTMLTagElement* firstChild() const { return static_cast<cHTMLTagElement*>(m_firstChild); }
    cHTMLTagElement* lastChild() const { return static_cast<cHTMLTagElement*>(m_lastChild); }
    cHTMLTagElement* previousSibling() const { return static_cast<cHTMLTagElement*>(m_previousSibling); }
    cHTMLTagElement* nextSibling() const { return static_cast<cHTMLTagElement*>(m_nextSibling); }

    HTMLTagCode tagCode() const { return m_tagCode; }
    void setTagCode(HTMLTagCode code) { m_tagCode = code; }
    bool isEmptyElement() const { return isEmptyElementTag(m_tagCode); }
    bool isTextNode() const { return m_tagCode == HTMLTag::untagged_text; }

    cHTMLAttributeList& attributes() { return m_attributes; }
    const cHTMLAttributeList& attributes() const { return m_attributes; }

    std::uint32_t sectionNumber() const { return m_sectionNumber; }
    // Sets n on this element and every descendant; withFollowingSiblings also on every following
    // sibling and its descendants.
    void setSectionNumber(std::uint32_t n, bool withFollowingSiblings);

    void setSourcePosition(std::uint32_t start, std::uint32_t end, std::uint32_t after)
    {
        m_source[0] = start;
        m_source[1] = end;
        m_source[2] = after;
    }
    void sourcePosition(std::uint32_t* start, std::uint32_t* end, std::uint32_t* after) const
    {
        if (start != nullptr)
            *start = m_source[0];
        if (end != nullptr)
            *end = m_source[1];
        if (after != nullptr)
            *after = m_source[2];
    }
    std::uint32_t sourceStart() const { return m_source[0]; }
    std::uint32_t sourceEnd() const { return m_source[1]; }
    std::uint32_t sourceAfter() const { return m_source[2]; }
    void setSourceEnd(std::uint32_t after) { m_source[2] = after; }

private:
    cHTMLAttributeList m_attributes;
    std::uint32_t m_sectionNumber = 0;
    HTMLTagCode m_tagCode = 0;
    std::uint32_t m_source[3] = {0, 0, 0};
};
