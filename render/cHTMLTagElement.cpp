#include "render/cHTMLTagElement.h"

cHTMLTagElement::cHTMLTagElement(const cHTMLTagElement& other)
    : cHTMLParseTreeItem(),
      m_attributes(other.m_attributes),
      m_sectionNumber(other.m_sectionNumber),
      m_tagCode(other.m_tagCode),
      m_source {other.m_source[0], other.m_source[1], other.m_source[2]}
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
        current->m_sectionNumber = n;
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
