// cHTMLParseTreeItem: a node of a markup parse tree, linked to its parent, children and siblings.
//
// A tree owns its nodes from the top down: destroying an item destroys its children (iteratively,
// so a deep tree cannot exhaust the stack) and unlinks it from its parent and siblings. Every item
// in a tree is a cHTMLTagElement; this base holds only the links and the splicing operations.
//
// A "chain" is an item together with the items that follow it through next-sibling links.
// Not safe for concurrent use: a tree belongs to one thread at a time.

#pragma once

class cHTMLParseTreeItem {
public:
    cHTMLParseTreeItem() = default;
    cHTMLParseTreeItem(const cHTMLParseTreeItem&) = delete;
    cHTMLParseTreeItem& operator=(const cHTMLParseTreeItem&) = delete;
    virtual ~cHTMLParseTreeItem();

    // Puts the chain right after this item; its members take this item's parent. When this item was
    // its parent's last child, the chain's end becomes the last child. Returns the chain's end.
    cHTMLParseTreeItem* insertAfter(cHTMLParseTreeItem* chain);
    // Puts the chain right before this item; when this item was first, the chain's head becomes the
    // parent's first child. Returns the chain's end.
    cHTMLParseTreeItem* insertBefore(cHTMLParseTreeItem* chain);
    // insertAfter on the last sibling of this item.
    cHTMLParseTreeItem* appendSibling(cHTMLParseTreeItem* chain);
    // Adds the chain after this item's children; returns the new last child.
    cHTMLParseTreeItem* appendChildren(cHTMLParseTreeItem* chain);
    // Detaches this item from its parent and siblings, repairing their links; children stay.
    void unlink();

    // First child = chain head; with setLast, last child = the chain's end. Parents are not touched.
    void setChildList(cHTMLParseTreeItem* chain, bool setLast);
    // From any member of a chain: sets the parent of every member of the whole chain.
    void setParentOfChain(cHTMLParseTreeItem* parent);
    // Destroys every child with its subtree.
    void deleteChildren();

    // The chain's last member (this item when it has no next sibling).
    cHTMLParseTreeItem* chainEnd();

protected:
    static void destroyDetachedSubtree(cHTMLParseTreeItem* root);

    cHTMLParseTreeItem* m_parent = nullptr;
    cHTMLParseTreeItem* m_firstChild = nullptr;
    cHTMLParseTreeItem* m_lastChild = nullptr;
    cHTMLParseTreeItem* m_previousSibling = nullptr;
    cHTMLParseTreeItem* m_nextSibling = nullptr;
};
