#include "render/cHTMLTagElement.h"

cHTMLTagElement::cHTMLTagElement(const cHTMLTagElement& other)
    : cHTMLParseTreeItem(),
      attributes_(other.attributes_),
      sectionNumber_(other.sectionNumber_),
      tagCode_(other.tagCode_),
      source_ {other.source_[0], other.source_[1], other.source_[2]}
{
}

void cHTMLTagElement::setSectionNumber(std::uint32_t n, bool withFollowingSiblings)
{
    // Pre-order walk without recursion over this element's subtree (and, when asked, the subtrees of
    // the siblings that follow it).
    cHTMLTagElement* stopAt = withFollowingSiblings ? nullptr : nextSibling();
    cHTMLTagElement* top = parent();
    cHTMLTagElement* current = this;
    while (current != nullptr && current != stopAt) {
        current->sectionNumber_ = n;
        if (current->firstChild() != nullptr) {
            current = current->firstChild();
            continue;
        }
        while (current != nullptr && current->nextSibling() == nullptr) {
            current = current->parent();
            if (current == top)
                current = nullptr;
        }
        if (current == nullptr)
            break;
        if (current == this && !withFollowingSiblings)
            break;
        current = current->nextSibling();
    }
}
