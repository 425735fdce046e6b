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
    explicit cHTMLTagElement(HTMLTagCode tagCode) : tagCode_(tagCode) { }
    // Copies tag code, section number, source position and attributes; not the links.
    cHTMLTagElement(const cHTMLTagElement& other);
    cHTMLTagElement& operator=(const cHTMLTagElement&) = delete;
    ~cHTMLTagElement() override = default;

    cHTMLTagElement* parent() const { return static_cast<cHTMLTagElement*>(parent_); }
    cHTMLTagElement* firstChild() const { return static_cast<cHTMLTagElement*>(firstChild_); }
    cHTMLTagElement* lastChild() const { return static_cast<cHTMLTagElement*>(lastChild_); }
    cHTMLTagElement* previousSibling() const { return static_cast<cHTMLTagElement*>(previousSibling_); }
    cHTMLTagElement* nextSibling() const { return static_cast<cHTMLTagElement*>(nextSibling_); }

    HTMLTagCode tagCode() const { return tagCode_; }
    void setTagCode(HTMLTagCode code) { tagCode_ = code; }
    bool isEmptyElement() const { return isEmptyElementTag(tagCode_); }
    bool isTextNode() const { return tagCode_ == HTMLTag::untagged_text; }

    cHTMLAttributeList& attributes() { return attributes_; }
    const cHTMLAttributeList& attributes() const { return attributes_; }

    std::uint32_t sectionNumber() const { return sectionNumber_; }
    // Sets n on this element and every descendant; withFollowingSiblings also on every following
    // sibling and its descendants.
    void setSectionNumber(std::uint32_t n, bool withFollowingSiblings);

    void setSourcePosition(std::uint32_t start, std::uint32_t end, std::uint32_t after)
    {
        source_[0] = start;
        source_[1] = end;
        source_[2] = after;
    }
    void sourcePosition(std::uint32_t* start, std::uint32_t* end, std::uint32_t* after) const
    {
        if (start != nullptr)
            *start = source_[0];
        if (end != nullptr)
            *end = source_[1];
        if (after != nullptr)
            *after = source_[2];
    }
    std::uint32_t sourceStart() const { return source_[0]; }
    std::uint32_t sourceEnd() const { return source_[1]; }
    std::uint32_t sourceAfter() const { return source_[2]; }
    void setSourceEnd(std::uint32_t after) { source_[2] = after; }

private:
    cHTMLAttributeList attributes_;
    std::uint32_t sectionNumber_ = 0;
    HTMLTagCode tagCode_ = 0;
    std::uint32_t source_[3] = {0, 0, 0};
};
