#include "engine/bookfile/cBkHTMLNodeStg.h"

#include <gtest/gtest.h>

#include "BookFileTestSupport.h"
#include "tools/tvkbuild/TvkEncode.h"

using TvkEncode::Node;
using TvkEncode::NodeAttribute;

namespace {

// A NODE stream with one block whose records are `records` (the root at position 56); strings
// follow at the string base.
Bytes handMade(const Bytes& records, const std::string& strings = std::string(), uint8_t L = 3, uint8_t S = 3)
{
    Bytes b(56 + records.size(), 0);
    std::copy(records.begin(), records.end(), b.begin() + 56);
    putLE(b, 4, static_cast<uint32_t>(b.size()));
    b.insert(b.end(), strings.begin(), strings.end());
    b.push_back(0);
    const uint32_t index = static_cast<uint32_t>(b.size());
    b.push_back(56);
    putLE(b, 0, 1);
    putLE(b, 8, index);
    putLE(b, 24, 1);
    b[42] = L;
    b[43] = S;
    return b;
}

struct Nodes {
    StreamFixture fx;
    cBkHTMLNodeStg st;
    uint32_t result;
    explicit Nodes(const Bytes& b) : fx({{"NODE", b}}) { result = st.open(&fx.file); }
    std::unique_ptr<cBkNode> load(int32_t block, uint32_t& r)
    {
        std::unique_ptr<cBkNode> tree;
        r = st.loadBlockTree(block, 0, 1033, tree);
        return tree;
    }
};

struct FormatAsJohn : cBkReferenceFormatter {
    bool formatReference(uint32_t key, int32_t, int32_t, std::string& out) const override
    {
        if ((key >> 16) != 43)
            return false;
        out = "John " + std::to_string((key >> 8) & 0xFF) + ":" + std::to_string(key & 0xFF);
        return true;
    }
};

}  // namespace

TEST(BkHTMLNodeStg, SingleByteRecord)
{
    Nodes n(handMade({0x03}));
    ASSERT_EQ(0u, n.result);
    uint32_t r;
    auto tree = n.load(0, r);
    ASSERT_EQ(0u, r);
    ASSERT_TRUE(tree);
    EXPECT_EQ(3, tree->tag);
    EXPECT_TRUE(tree->attributes.empty());
    EXPECT_TRUE(tree->children.empty());
}

TEST(BkHTMLNodeStg, StringValuedAttributeWithoutChildren)
{
    // 0x83 0x41 0x00 + offset 4: tag 3, attribute 2 whose text is the string at base + 4.
    Nodes n(handMade({0x83, 0x41, 0x00, 0x00, 0x00, 0x04}, std::string("abc\0hello", 9)));
    uint32_t r;
    auto tree = n.load(0, r);
    ASSERT_EQ(0u, r);
    ASSERT_EQ(1u, tree->attributes.size());
    EXPECT_EQ(2u, tree->attributes[0].code);
    EXPECT_TRUE(tree->attributes[0].hasText);
    EXPECT_EQ("hello", tree->attributes[0].text);
}

TEST(BkHTMLNodeStg, WideChildrenCount)
{
    Bytes records = {0x80 | 46, 0x00, 0x00, 0x00, 0x00};  // children list position patched below
    const uint32_t list = 56 + static_cast<uint32_t>(records.size());
    records[4] = static_cast<uint8_t>(list);
    records.insert(records.end(), {255, 0x2C, 0x01});
    for (int i = 0; i < 300; ++i)
        records.push_back(9);
    Nodes n(handMade(records));
    uint32_t r;
    auto tree = n.load(0, r);
    ASSERT_EQ(0u, r);
    ASSERT_EQ(300u, tree->children.size());
    EXPECT_EQ(9, tree->children[299]->tag);
    EXPECT_EQ(tree.get(), tree->children[0]->parent);
}

TEST(BkHTMLNodeStg, ChildrenCountBeyondTheStreamIsRefused)
{
    // 65535 children claimed with 300 one-byte records left: refused as past the end before the
    // children are read (or room made for them); exactly the records present still load.
    Bytes records = {0x80 | 46, 0x00, 0x00, 0x00, 0x00};
    const uint32_t list = 56 + static_cast<uint32_t>(records.size());
    records[4] = static_cast<uint8_t>(list);
    records.insert(records.end(), {255, 0xFF, 0xFF});
    for (int i = 0; i < 300; ++i)
        records.push_back(9);
    Nodes lying(handMade(records));
    uint32_t r;
    EXPECT_EQ(nullptr, lying.load(0, r));
    EXPECT_EQ(BkResult::kPastEnd, r);
    records[list - 56 + 1] = 0x2C;
    records[list - 56 + 2] = 0x01;
    Nodes exact(handMade(records));
    auto tree = exact.load(0, r);
    ASSERT_EQ(0u, r);
    EXPECT_EQ(300u, tree->children.size());
}

TEST(BkHTMLNodeStg, WidthsOfZeroReadAsThree)
{
    Bytes b = handMade({0x03}, "", 0, 0);
    Nodes n(b);
    ASSERT_EQ(0u, n.result);
    EXPECT_EQ(3, n.st.longWidth());
    EXPECT_EQ(3, n.st.stringWidth());
    b[42] = 5;
    Nodes wide(b);
    EXPECT_EQ(BkResult::kMalformed, wide.result);
}

TEST(BkHTMLNodeStg, BlockNumbers)
{
    Bytes b = handMade({0x03});
    Nodes n(b);
    uint32_t r;
    EXPECT_FALSE(n.load(1, r));
    EXPECT_EQ(BkResult::kBadArgument, r);
    EXPECT_FALSE(n.load(-1, r));
    EXPECT_EQ(0u, r);
    b.resize(60, 0);
    b[41] = 1;
    b[57] = 0x07;
    Nodes negative(b);
    auto tree = negative.load(-1, r);
    ASSERT_EQ(0u, r);
    ASSERT_TRUE(tree);
    EXPECT_EQ(7, tree->tag);

    cBkHTMLNodeStg unattached;
    std::unique_ptr<cBkNode> t;
    EXPECT_EQ(BkResult::kBadArgument, unattached.loadBlockTree(0, 0, 0, t));
}

TEST(BkHTMLNodeStg, RoundTripOfEveryAttributeForm)
{
    Node root {46, {NodeAttribute::withCode(28, 17), NodeAttribute::namedText("data-x", "y")}, {}};
    Node text {75, {NodeAttribute::textAt(0x12345)}, {}};
    Node sync {54, {NodeAttribute::withCode(111, 116), NodeAttribute::withNumber(115, (43 << 16) | (3 << 8) | 16)}, {}};
    Node syncZero {54, {NodeAttribute::withNumber(115, (43 << 16) | (3 << 8))}, {}};
    Node neg {3, {NodeAttribute::withNumber(59, -42), NodeAttribute::withText(60, "http://x")}, {}};
    NodeAttribute namedCode;
    namedCode.named = true;
    namedCode.name = "flag";
    namedCode.valueCode = 123;
    Node named {3, {namedCode}, {}};
    Node deep {1, {}, {Node {2, {}, {Node {3, {}, {}}}}}};
    root.children = {sync, text, neg, syncZero, named, deep};
    cBkReferenceFormatter::install(std::make_shared<FormatAsJohn>());
    Nodes n(TvkEncode::nodes({root, Node {9, {}, {}}}));
    ASSERT_EQ(0u, n.result);
    EXPECT_EQ(2u, n.st.blockCount());
    uint32_t r;
    auto tree = n.load(0, r);
    cBkReferenceFormatter::install(nullptr);
    ASSERT_EQ(0u, r);
    ASSERT_EQ(2u, tree->attributes.size());
    EXPECT_EQ(17u, tree->attributes[0].valueCode);
    EXPECT_FALSE(tree->attributes[0].hasText);
    EXPECT_TRUE(tree->attributes[1].named);
    EXPECT_EQ("data-x", tree->attributes[1].name);
    EXPECT_EQ("y", tree->attributes[1].text);
    ASSERT_EQ(6u, tree->children.size());
    EXPECT_EQ("John 3:16", tree->children[0]->attribute(115)->text);
    EXPECT_EQ(116u, tree->children[0]->attribute(111)->valueCode);
    EXPECT_EQ(std::to_string(0x12345), tree->children[1]->attribute(3)->text);
    EXPECT_EQ("-42", tree->children[2]->attribute(59)->text);
    EXPECT_EQ("http://x", tree->children[2]->attribute(60)->text);
    EXPECT_EQ(std::to_string((43 << 16) | (3 << 8)), tree->children[3]->attribute(115)->text);
    EXPECT_EQ("flag", tree->children[4]->attributes[0].name);
    EXPECT_EQ(123u, tree->children[4]->attributes[0].valueCode);
    ASSERT_EQ(1u, tree->children[5]->children.size());
    EXPECT_EQ(3, tree->children[5]->children[0]->children[0]->tag);
    auto second = n.load(1, r);
    ASSERT_EQ(0u, r);
    EXPECT_EQ(9, second->tag);
}

TEST(BkHTMLNodeStg, LoopsAndDepthAreMalformed)
{
    // The root's list holds one child whose list is the root's list again.
    Bytes records = {0x80 | 46, 0x00, 0x00, 0x00, 0x00};
    const uint8_t list = static_cast<uint8_t>(56 + records.size());
    records[4] = list;
    records.insert(records.end(), {1, 0x80 | 1, 0x00, 0x00, 0x00, list});
    Nodes loop(handMade(records));
    uint32_t r;
    EXPECT_FALSE(loop.load(0, r));
    EXPECT_EQ(BkResult::kMalformed, r);

    Node chain {1, {}, {}};
    for (int i = 0; i < 300; ++i)
        chain = Node {1, {}, {chain}};
    Nodes deep(TvkEncode::nodes({chain}));
    EXPECT_FALSE(deep.load(0, r));
    EXPECT_EQ(BkResult::kMalformed, r);
}

TEST(BkHTMLNodeStg, TruncatedRecordsAndHeaders)
{
    const Bytes whole = TvkEncode::nodes(
        {Node {46, {NodeAttribute::withText(60, "abc")}, {Node {75, {NodeAttribute::textAt(9)}, {}}}}});
    for (size_t n = 0; n < 56; ++n) {
        Nodes cut(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_EQ(BkResult::kPastEnd, cut.result);
    }
    // Records that run off the stream end with 219.
    Nodes cut(handMade({0x83, 0x41}));
    uint32_t r;
    Bytes b = handMade({0x80 | 3, 0x40 | 0x01});
    b.resize(58);  // drop the string area and the index: the record's attribute byte is missing
    putLE(b, 8, 57);
    b[57] = 56;
    Nodes shortRecord(b);
    EXPECT_FALSE(shortRecord.load(0, r));
    EXPECT_EQ(BkResult::kPastEnd, r);
}
