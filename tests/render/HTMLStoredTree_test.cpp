#include "render/HTMLStoredTree.h"

#include <gtest/gtest.h>

namespace {

cBkNode* addChild(cBkNode& parent, std::uint8_t tag)
{
    parent.children.push_back(std::make_unique<cBkNode>());
    cBkNode* child = parent.children.back().get();
    child->tag = tag;
    child->parent = &parent;
    return child;
}

cBkNodeAttribute attribute(
    bool named, std::uint32_t code, std::string name, bool hasText, std::string text, std::uint32_t valueCode)
{
    cBkNodeAttribute a;
    a.named = named;
    a.code = code;
    a.name = std::move(name);
    a.hasText = hasText;
    a.text = std::move(text);
    a.valueCode = valueCode;
    return a;
}

}  // namespace

TEST(HTMLStoredTree, AttributesEnterByTheirForm)
{
    cBkNode root;
    root.tag = 46;
    root.block = 12;
    root.attributes.push_back(attribute(false, 9, "", false, "", 47));          // align = left
    root.attributes.push_back(attribute(true, 0, "data-x", true, "hello", 0));  // named, text
    root.attributes.push_back(attribute(true, 0, "Data-Y", false, "", 123));    // named, value code
    cBkNode* sync = addChild(root, 54);
    sync->attributes.push_back(attribute(false, 111, "", false, "", 116));        // type = verse
    sync->attributes.push_back(attribute(false, 115, "", true, "John 3:16", 0));  // spelled reference
    cBkNode* text = addChild(root, 75);
    text->attributes.push_back(attribute(false, 3, "", true, "4711", 0));  // $textat

    std::unique_ptr<cHTMLTagElement> tree = elementTreeFromStoredNodes(root);
    EXPECT_EQ(tree->tagCode(), 46);
    EXPECT_EQ(tree->sourceStart(), 12u);
    EXPECT_EQ(tree->sourceEnd(), 0u);
    EXPECT_EQ(tree->attributes().rawValueForCode(9), 47);
    EXPECT_EQ(tree->attributes().valueForName("data-x"), "hello");
    EXPECT_EQ(tree->attributes().valueForName("data-y"), "yes");
    cHTMLTagElement* first = tree->firstChild();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->tagCode(), 54);
    EXPECT_EQ(first->attributes().valueForCode(111), "verse");
    EXPECT_EQ(first->attributes().valueForCode(115), "John 3:16");
    EXPECT_EQ(first->sectionNumber(), 12u);
    cHTMLTagElement* second = first->nextSibling();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->isTextNode());
    EXPECT_EQ(second->attributes().valueForCode(3), "4711");
    EXPECT_EQ(second->parent(), tree.get());
    EXPECT_EQ(tree->lastChild(), second);
}

TEST(HTMLStoredTree, DeepAndWideTrees)
{
    cBkNode root;
    root.tag = 77;
    cBkNode* at = &root;
    for (int i = 0; i < 300; ++i)
        at = addChild(*at, 3);
    for (int i = 0; i < 1000; ++i)
        addChild(root, 75);
    std::unique_ptr<cHTMLTagElement> tree = elementTreeFromStoredNodes(root);
    int depth = 0;
    for (cHTMLTagElement* e = tree->firstChild(); e != nullptr; e = e->firstChild())
        ++depth;
    EXPECT_EQ(depth, 300);
    int width = 0;
    for (cHTMLTagElement* e = tree->firstChild(); e != nullptr; e = e->nextSibling())
        ++width;
    EXPECT_EQ(width, 1001);
}
