#include "render/cHTMLParseTreeItem.h"

cHTMLParseTreeItem::~cHTMLParseTreeItem()
{
    deleteChildren();
    unlink();
}

cHTMLParseTreeItem* cHTMLParseTreeItem::chainEnd()
{
    cHTMLParseTreeItem* end = this;
    while (end->m_nextSibling != nullptr)
        end = end->m_nextSibling;
    return end;
}

cHTMLParseTreeItem* cHTMLParseTreeItem::insertAfter(cHTMLParseTreeItem* chain)
{
    if (chain == nullptr)
        return nullptr;
    cHTMLParseTreeItem* end = chain;
    for (cHTMLParseTreeItem* m = chain;; m = m->m_nextSibling) {
        m->m_parent = m_parent;
        end = m;
        if (m->m_nextSibling == nullptr)
            break;
    }
    cHTMLParseTreeItem* oldNext = m_nextSibling;
    m_nextSibling = chain;
    chain->m_previousSibling = this;
    end->m_nextSibling = oldNext;
    if (oldNext != nullptr)
        oldNext->m_previousSibling = end;
    else if (m_parent != nullptr)
        m_parent->m_lastChild = end;
    return end;
}

cHTMLParseTreeItem* cHTMLParseTreeItem::insertBefore(cHTMLParseTreeItem* chain)
{
    if (chain == nullptr)
        return nullptr;
    cHTMLParseTreeItem* end = chain;
    for (cHTMLParseTreeItem* m = chain;; m = m->m_nextSibling) {
        m->m_parent = m_parent;
        end = m;
        if (m->m_nextSibling == nullptr)
            break;
    }
    cHTMLParseTreeItem* oldPrevious = m_previousSibling;
    chain->m_previousSibling = oldPrevious;
    if (oldPrevious != nullptr)
        oldPrevious->m_nextSibling = chain;
    else if (m_parent != nullptr)
        m_parent->m_firstChild = chain;
    end->m_nextSibling = this;
    m_previousSibling = end;
    return end;
}

cHTMLParseTreeItem* cHTMLParseTreeItem::appendSibling(cHTMLParseTreeItem* chain)
{
    cHTMLParseTreeItem* last =
        (m_parent != nullptr && m_parent->m_lastChild != nullptr) ? m_parent->m_lastChild : chainEnd();
    return last->insertAfter(chain);
}

cHTMLParseTreeItem* cHTMLParseTreeItem::appendChildren(cHTMLParseTreeItem* chain)
{
    if (chain == nullptr)
        return m_lastChild;
    if (m_firstChild == nullptr) {
        m_firstChild = chain;
        cHTMLParseTreeItem* end = chain;
        for (cHTMLParseTreeItem* m = chain; m != nullptr; m = m->m_nextSibling) {
            m->m_parent = this;
            end = m;
        }
        chain->m_previousSibling = nullptr;
        m_lastChild = end;
        return end;
    }
    cHTMLParseTreeItem* last = m_lastChild != nullptr ? m_lastChild : m_firstChild->chainEnd();
    return last->insertAfter(chain);
}

void cHTMLParseTreeItem::unlink()
{
    if (m_previousSibling != nullptr)
        m_previousSibling->m_nextSibling = m_nextSibling;
    else if (m_parent != nullptr && m_parent->m_firstChild == this)
        m_parent->m_firstChild = m_nextSibling;
    if (m_nextSibling != nullptr)
        m_nextSibling->m_previousSibling = m_previousSibling;
    else if (m_parent != nullptr && m_parent->m_lastChild == this)
        m_parent->m_lastChild = m_previousSibling;
    m_parent = nullptr;
    m_previousSibling = nullptr;
    m_nextSibling = nullptr;
}

void cHTMLParseTreeItem::setChildList(cHTMLParseTreeItem* chain, bool setLast)
{
    m_firstChild = chain;
    if (setLast)
        m_lastChild = chain != nullptr ? chain->chainEnd() : nullptr;
}

void cHTMLParseTreeItem::setParentOfChain(cHTMLParseTreeItem* parent)
{
    cHTMLParseTreeItem* head = this;
    while (head->m_previousSibling != nullptr)
        head = head->m_previousSibling;
    for (cHTMLParseTreeItem* m = head; m != nullptr; m = m->m_nextSibling)
        m->m_parent = parent;
}

void cHTMLParseTreeItem::deleteChildren()
{
    while (m_firstChild != nullptr) {
        cHTMLParseTreeItem* child = m_firstChild;
        m_firstChild = child->m_nextSibling;
        if (m_firstChild != nullptr)
            m_firstChild->m_previousSibling = nullptr;
        child->m_parent = nullptr;
        child->m_previousSibling = nullptr;
        child->m_nextSibling = nullptr;
        destroyDetachedSubtree(child);
    }
    m_lastChild = nullptr;
}

void cHTMLParseTreeItem::destroyDetachedSubtree(cHTMLParseTreeItem* root)
{
    // Depth first without recursion: detach the first child and descend; destroy a node once it has
    // no children left and climb back through the parent link set on the way down.
    cHTMLParseTreeItem* current = root;
    while (current != nullptr) {
        cHTMLParseTreeItem* child = current->m_firstChild;
        if (child != nullptr) {
            current->m_firstChild = child->m_nextSibling;
            if (current->m_firstChild != nullptr)
                current->m_firstChild->m_previousSibling = nullptr;
            else
                current->m_lastChild = nullptr;
            child->m_previousSibling = nullptr;
            child->m_nextSibling = nullptr;
            child->m_parent = current;
            current = child;
            continue;
        }
        cHTMLParseTreeItem* up = current == root ? nullptr : current->m_parent;
        current->m_parent = nullptr;
        current->m_lastChild = nullptr;
        delete current;
        current = up;
    }
}
