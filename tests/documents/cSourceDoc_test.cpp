#include "engine/docbase/cSourceDoc.h"

#include <gtest/gtest.h>

#include "DocTestSupport.h"
#include "engine/docbase/cRenderParams.h"
#include "engine/foundation/cLIntArray.h"
#include "search/core/cBitVector.h"

using doctest::str;
using doctest::wide;

namespace {

class FlagsDoc : public cSourceDoc {
public:
    std::uint32_t flags = 0;
    std::uint32_t GetSupportFlags() override { return flags; }
};

TEST(SourceDocTest, NewDocumentAnswersNeutralValues)
{
    cSourceDoc doc;
    EXPECT_FALSE(doc.IsOpen());
    cLString8 title;
    doc.GetTitle(title, false);
    EXPECT_EQ("None", str(title));
    cLString16 wideTitle;
    doc.GetTitleW(wideTitle, true);
    EXPECT_EQ("None", str(wideTitle));
    EXPECT_EQ(0u, doc.GetSupportFlags());
    EXPECT_TRUE(doc.changed());
    EXPECT_EQ(nullptr, doc.Clone());
    EXPECT_EQ(1033u, doc.GetLanguage());

    const BookIdentity id = doc.bookIdentity();
    EXPECT_EQ(0xFFFF, id.publisher);
    EXPECT_EQ(0xFFFF, id.book);
    EXPECT_EQ(0xFF, id.edition);
    EXPECT_EQ(0xFF, id.revision);

    std::uint32_t first = 0, last = 0;
    EXPECT_EQ(0xFFFFFFFFu, doc.GetDisplayedSectionRange(first, last));
    EXPECT_EQ(0xFFFFFFFFu, first);
    EXPECT_EQ(0xFFFFFFFFu, last);

    cLString8 line;
    EXPECT_FALSE(doc.GetSearchResultText(1, 0, false, 0, nullptr, nullptr, line));
    EXPECT_EQ("ERROR", str(line));

    cBitVector* holder = reinterpret_cast<cBitVector*>(&doc);  // any non-null value
    cLIntArray colours;
    colours.add(5);
    EXPECT_EQ(0u, doc.ApplyLimitExpression(wide("COLOR(\"Red\")"), holder, colours, 0, 10, false));
    EXPECT_EQ(nullptr, holder);
    EXPECT_EQ(0, colours.count());

    std::uint32_t count = 7;
    cBitVector* none = nullptr;
    doc.SearchMainConcordance(wide("word"), none, count);
    EXPECT_EQ(0u, count);
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(0xFFFFFFFFu, doc.CanonicalWordNumber(wide("word"), false));
    cLString16 name = wide("x");
    EXPECT_FALSE(doc.GetLocationName(name, true, false, nullptr));
    EXPECT_TRUE(name.isEmpty());
}

TEST(SourceDocTest, PathAndOpenState)
{
    cSourceDoc doc;
    doc.SetPathName(wide("/books/One.tvk"));
    EXPECT_TRUE(doc.HasPathName());
    EXPECT_TRUE(doc.Open());
    EXPECT_TRUE(doc.IsOpen());
    cLString8 title;
    doc.GetTitle(title, true);
    EXPECT_EQ("/books/One.tvk", str(title));
    cLString8 page;
    doc.GetPageText(page, true);
    EXPECT_EQ("<p align=\"center\">/books/One.tvk</p>", str(page));

    doc.SetPathName(wide("/books/Two.tvk"));
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_EQ("/books/Two.tvk", str(doc.GetPathName()));

    cSourceDoc other;
    other.SetPathName(wide("/BOOKS/two.TVK"));
    EXPECT_TRUE(doc.IsSameFile(other));
    other.SetPathName(wide("/books/Two.tvk2"));
    EXPECT_FALSE(doc.IsSameFile(other));

    doc.ClearPathName();
    EXPECT_FALSE(doc.HasPathName());
}

TEST(SourceDocTest, SupportsTestsEveryBit)
{
    FlagsDoc doc;
    doc.flags = kDocSupportsBookmarks | kDocSupportsNotes | kDocSupportsCopyright;
    EXPECT_TRUE(doc.supports(0));
    EXPECT_TRUE(doc.supports(0x9));
    EXPECT_FALSE(doc.supports(0x10));
    EXPECT_FALSE(doc.supports(0x11));
}

}  // namespace
