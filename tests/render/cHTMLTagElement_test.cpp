#include "render/cHTMLTagElement.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Counts live elements so tests can check that destruction frees every node.
int gLive = 0;
struct Counted : cHTMLTagElement {
    explicit Counted(int tag) : cHTMLTagElement(tag) { ++gLive; }
    ~Counted() override { --gLive; }
};

std::vector<int> tagsOfChildren(const cHTMLTagElement& e)
{
    std::vector<int> tags;
    for (cHTMLTagElement* c = e.firstChild(); c != nullptr; c = c->nextSibling()) {
        EXPECT_EQ(c->parent(), &e);
        tags.push_back(c->tagCode());
    }
    // Backward links agree.
    std::vector<int> back;
    for (cHTMLTagElement* c = e.lastChild(); c != nullptr; c = c->previousSibling())
        back.insert(back.begin(), c->tagCode());
    EXPECT_EQ(tags, back);
    return tags;
}

cHTMLTagElement* chain(std::initializer_list<int> tags)
{
    cHTMLTagElement* head = nullptr;
    for (int t : tags) {
        auto* e = new Counted(t);
        if (head == nullptr)
            head = e;
        else
            head->appendSibling(e);
    }
    return head;
}

}  // namespace

TEST(cHTMLTagElement, Splicing)
{
    {
        Counted root(0);
        root.appendChildren(chain({1, 2}));
        EXPECT_EQ(tagsOfChildren(root), (std::vector<int> {1, 2}));
        cHTMLTagElement* last = static_cast<cHTMLTagElement*>(root.appendChildren(chain({3, 4})));
        EXPECT_EQ(last->tagCode(), 4);
        root.firstChild()->insertAfter(chain({10, 11}));
        EXPECT_EQ(tagsOfChildren(root), (std::vector<int> {1, 10, 11, 2, 3, 4}));
        root.firstChild()->insertBefore(chain({20}));
        root.lastChild()->insertAfter(chain({30}));
        EXPECT_EQ(tagsOfChildren(root), (std::vector<int> {20, 1, 10, 11, 2, 3, 4, 30}));
        root.firstChild()->nextSibling()->appendSibling(chain({40}));
        EXPECT_EQ(root.lastChild()->tagCode(), 40);

        cHTMLTagElement* middle = root.firstChild()->nextSibling()->nextSibling();  // 10
        middle->unlink();
        EXPECT_EQ(middle->parent(), nullptr);
        EXPECT_EQ(middle->nextSibling(), nullptr);
        delete middle;
        cHTMLTagElement* first = root.firstChild();
        first->unlink();
        delete first;
        delete root.lastChild();  // destruction unlinks
        EXPECT_EQ(tagsOfChildren(root), (std::vector<int> {1, 11, 2, 3, 4, 30}));
        EXPECT_EQ(gLive, 7);  // the root and six children
    }
    EXPECT_EQ(gLive, 0);
}

TEST(cHTMLTagElement, ChainsWithoutParent)
{
    cHTMLTagElement* head = chain({1, 2});
    head->nextSibling()->appendSibling(chain({3}));
    EXPECT_EQ(static_cast<cHTMLTagElement*>(head->chainEnd())->tagCode(), 3);
    Counted parent(0);
    parent.setChildList(head, true);
    head->chainEnd()->setParentOfChain(&parent);  // from any member
    EXPECT_EQ(tagsOfChildren(parent), (std::vector<int> {1, 2, 3}));
    parent.deleteChildren();
    EXPECT_EQ(parent.firstChild(), nullptr);
    EXPECT_EQ(parent.lastChild(), nullptr);
    EXPECT_EQ(gLive, 1);  // the parent
}

TEST(cHTMLTagElement, DeepAndWideTreesAreDestroyedWithoutRecursion)
{
    {
        Counted root(0);
        cHTMLTagElement* at = &root;
        for (int i = 0; i < 200000; ++i) {
            auto* child = new Counted(3);
            at->appendChildren(child);
            at->appendChildren(new Counted(75));
            at = child;
        }
        root.setSectionNumber(7, false);
        EXPECT_EQ(at->sectionNumber(), 7u);
        EXPECT_EQ(gLive, 400001);  // the root and its descendants
    }
    EXPECT_EQ(gLive, 0);
}

TEST(cHTMLTagElement, SectionNumbersAndCopies)
{
    Counted root(0);
    root.appendChildren(chain({1, 2, 3}));
    root.firstChild()->nextSibling()->appendChildren(chain({4, 5}));
    cHTMLTagElement* second = root.firstChild()->nextSibling();
    second->setSectionNumber(9, false);
    EXPECT_EQ(root.firstChild()->sectionNumber(), 0u);
    EXPECT_EQ(second->sectionNumber(), 9u);
    EXPECT_EQ(second->lastChild()->sectionNumber(), 9u);
    EXPECT_EQ(root.lastChild()->sectionNumber(), 0u);
    EXPECT_EQ(root.sectionNumber(), 0u);
    second->firstChild()->setSectionNumber(4, true);
    EXPECT_EQ(second->lastChild()->sectionNumber(), 4u);
    EXPECT_EQ(root.lastChild()->sectionNumber(), 0u);
    root.firstChild()->setSectionNumber(2, true);
    EXPECT_EQ(root.lastChild()->sectionNumber(), 2u);
    EXPECT_EQ(second->firstChild()->sectionNumber(), 2u);
    EXPECT_EQ(root.sectionNumber(), 0u);

    second->setSourcePosition(5, 9, 20);
    second->attributes().addNamedStringValue("id", "x");
    std::uint32_t s = 0, e = 0, a = 0;
    second->sourcePosition(&s, &e, &a);
    EXPECT_EQ(s + e + a, 34u);
    second->setSourceEnd(25);
    EXPECT_EQ(second->sourceAfter(), 25u);
    cHTMLTagElement copy(*second);
    EXPECT_EQ(copy.tagCode(), 2);
    EXPECT_EQ(copy.sectionNumber(), 2u);
    EXPECT_EQ(copy.sourceStart(), 5u);
    EXPECT_EQ(copy.attributes().valueForName("id"), "x");
    EXPECT_EQ(copy.firstChild(), nullptr);
    EXPECT_EQ(copy.parent(), nullptr);
    EXPECT_TRUE(copy.isEmptyElement());  // area
    copy.setTagCode(3);
    EXPECT_FALSE(copy.isEmptyElement());
}
