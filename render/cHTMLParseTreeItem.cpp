#include "render/cHTMLParseTreeItem.h"

cHTMLParseTreeItem::~cHTMLParseTreeItem()
{
    deleteChildren();
    unlink();
}

cHTMLParseTreeItem* cHTMLParseTreeItem::chainEnd()
{
    cHTMLParseTreeItem* end = this;
    while (end->nextSibling_ != nullptr)
        end = end->nextSibling_;
    return end;
}

cHTMLParseTreeItem* cHTMLParseTreeItem::insertAfter(cHTMLParseTreeItem* chain)
{
    if (chain == nullptr)
        return nullptr;
    cHTMLParseTreeItem* end = chain;
    for (cHTMLParseTreeItem* m = chain;; m = m->nextSibling_) {
        m->parent_ = parent_;
        end = m;
        if (m->nextSibling_ == nullptr)
            break;
    }
    cHTMLParseTreeItem* oldNext = nextSibling_;
    nextSibling_ = chain;
    chain->previousSibling_ = this;
    end->nextSibling_ = oldNext;
    if (oldNext != nullptr)
        oldNext->previousSibling_ = end;
    else if (parent_ != nullptr)
        parent_->lastChild_ = end;
    return end;
}

cHTMLParseTreeItem* cHTMLParseTreeItem::insertBefore(cHTMLParseTreeItem* chain)
{
    if (chain == nullptr)
        return nullptr;
    cHTMLParseTreeItem* end = chain;
    for (cHTMLParseTreeItem* m = chain;; m = m->nextSibling_) {
        m->parent_ = parent_;
        end = m;
        if (m->nextSibling_ == nullptr)
            break;
    }
    cHTMLParseTreeItem* oldPrevious = previousSibling_;
    chain->previousSibling_ = oldPrevious;
    if (oldPrevious != nullptr)
        oldPrevious->nextSibling_ = chain;
    else if (parent_ != nullptr)
        parent_->firstChild_ = chain;
    end->nextSibling_ = this;
    previousSibling_ = end;
    return end;
}

cHTMLParseTreeItem* cHTMLParseTreeItem::appendSibling(cHTMLParseTreeItem* chain)
{
    cHTMLParseTreeItem* last =
        (parent_ != nullptr && parent_->lastChild_ != nullptr) ? parent_->lastChild_ : chainEnd();
    return last->insertAfter(chain);
}

cHTMLParseTreeItem* cHTMLParseTreeItem::appendChildren(cHTMLParseTreeItem* chain)
{
    if (chain == nullptr)
        return lastChild_;
    if (firstChild_ == nullptr) {
        firstChild_ = chain;
        cHTMLParseTreeItem* end = chain;
        for (cHTMLParseTreeItem* m = chain; m != nullptr; m = m->nextSibling_) {
            m->parent_ = this;
            end = m;
        }
        chain->previousSibling_ = nullptr;
        lastChild_ = end;
        return end;
    }
    cHTMLParseTreeItem* last = lastChild_ != nullptr ? lastChild_ : firstChild_->chainEnd();
    return last->insertAfter(chain);
}

void cHTMLParseTreeItem::unlink()
{
    if (previousSibling_ != nullptr)
        previousSibling_->nextSibling_ = nextSibling_;
    else if (parent_ != nullptr && parent_->firstChild_ == this)
        parent_->firstChild_ = nextSibling_;
    if (nextSibling_ != nullptr)
        nextSibling_->previousSibling_ = previousSibling_;
    else if (parent_ != nullptr && parent_->lastChild_ == this)
        parent_->lastChild_ = previousSibling_;
    parent_ = nullptr;
    previousSibling_ = nullptr;
    nextSibling_ = nullptr;
}

void cHTMLParseTreeItem::setChildList(cHTMLParseTreeItem* chain, bool setLast)
{
    firstChild_ = chain;
    if (setLast)
        lastChild_ = chain != nullptr ? chain->chainEnd() : nullptr;
}

void cHTMLParseTreeItem::setParentOfChain(cHTMLParseTreeItem* parent)
{
    cHTMLParseTreeItem* head = this;
    while (head->previousSibling_ != nullptr)
        head = head->previousSibling_;
    for (cHTMLParseTreeItem* m = head; m != nullptr; m = m->nextSibling_)
        m->parent_ = parent;
}

void cHTMLParseTreeItem::deleteChildren()
{
    while (firstChild_ != nullptr) {
        cHTMLParseTreeItem* child = firstChild_;
        firstChild_ = child->nextSibling_;
        if (firstChild_ != nullptr)
            firstChild_->previousSibling_ = nullptr;
        child->parent_ = nullptr;
        child->previousSibling_ = nullptr;
        child->nextSibling_ = nullptr;
        destroyDetachedSubtree(child);
    }
    lastChild_ = nullptr;
}

void cHTMLParseTreeItem::destroyDetachedSubtree(cHTMLParseTreeItem* root)
{
    // Depth first without recursion: detach the first child and descend; destroy a node once it has
    // no children left and climb back through the parent link set on the way down.
    cHTMLParseTreeItem* current = root;
    while (current != nullptr) {
        cHTMLParseTreeItem* child = current->firstChild_;
        if (child != nullptr) {
            current->firstChild_ = child->nextSibling_;
            if (current->firstChild_ != nullptr)
                current->firstChild_->previousSibling_ = nullptr;
            else
                current->lastChild_ = nullptr;
            child->previousSibling_ = nullptr;
            child->nextSibling_ = nullptr;
            child->parent_ = current;
            current = child;
            continue;
        }
        cHTMLParseTreeItem* up = current == root ? nullptr : current->parent_;
        current->parent_ = nullptr;
        current->lastChild_ = nullptr;
        delete current;
        current = up;
    }
}
