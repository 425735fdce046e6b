#include "search/core/DocSupportsFlags.h"

#include <gtest/gtest.h>

// The search core's and the documents' views of a book include the flags together.
#include "engine/docbase/cSourceDoc.h"
#include "search/core/SearchSource.h"

namespace {

TEST(DocSupportsFlags, BitsAreTheStoredValues)
{
    const std::uint32_t bits[] = {kDocSupportsBookmarks, kDocSupportsBibleBookmarks, kDocSupportsVerseLimits,
        kDocSupportsNotes, kDocSupportsWordLookup, kDocSupportsBibleLookup, kDocSupportsCopyright,
        kDocSupportsBibleSync, kDocSupportsDateLookup, kDocSupportsStrongsGreek, kDocSupportsStrongsHebrew,
        kDocSupportsTextHtml, kDocSupportsDailyReadings, kDocSupportsIsBible, kDocSupportsIsSearchResults,
        kDocSupportsIsFakeJournalDoc, kDocSupportsWordAttributes};
    for (std::size_t i = 0; i < std::size(bits); ++i)
        EXPECT_EQ(bits[i], 1u << i) << i;
}

TEST(DocSupportsFlags, AMaskHoldsWhenEveryBitIsSet)
{
    const std::uint64_t flags = kDocSupportsIsBible | kDocSupportsStrongsGreek | (std::uint64_t {1} << 40);
    EXPECT_TRUE(docSupports(flags, kDocSupportsIsBible));
    EXPECT_TRUE(docSupports(flags, kDocSupportsIsBible | kDocSupportsStrongsGreek));
    EXPECT_FALSE(docSupports(flags, kDocSupportsIsBible | kDocSupportsStrongsHebrew));
    EXPECT_TRUE(docSupports(flags, std::uint64_t {1} << 40));
    EXPECT_TRUE(docSupports(0, 0));
    EXPECT_FALSE(docSupports(0, kDocSupportsBookmarks));
}

}  // namespace
