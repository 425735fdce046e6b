#include "render/cHTMLRenderConfiguration.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(cHTMLRenderConfiguration, StartsWithNoOptionGiven)
{
    cHTMLRenderConfiguration config;
    EXPECT_EQ(config.omitUserNoteLinks, nullptr);
    EXPECT_EQ(config.selectedSections, nullptr);
    EXPECT_EQ(config.linkPrefix, nullptr);
    EXPECT_EQ(config.linkSuffix, nullptr);
    EXPECT_EQ(config.backgroundColor, nullptr);
    EXPECT_EQ(config.highlightStyle, nullptr);
    EXPECT_EQ(config.paneWidth, nullptr);
    EXPECT_EQ(config.tempHighlightStartSection, 0u);
    EXPECT_EQ(config.tempHighlightEndSection, 0u);
    EXPECT_EQ(config.fullWidthOverPane, 0);
    EXPECT_EQ(config.searchHits, nullptr);
    EXPECT_EQ(config.wordsToMark, nullptr);
    EXPECT_EQ(config.search, nullptr);
    EXPECT_EQ(config.omittedWordAttributes.count(), 0);
    EXPECT_EQ(config.wordAttributeDefinitions, nullptr);
}

TEST(cHTMLRenderConfiguration, PointsAtCallerValuesAndOwnsItsList)
{
    // An excerpt-style configuration: white on black, flags pointing at 1, empty marker texts.
    static const bool kOne = true;
    cHTMLColor white, black;
    white.setFromColorText("white");
    black.setFromColorText("black");
    const cLString8 empty;
    const cLString8 prefix(cHTMLRenderConfiguration::kDefaultLinkPrefix);
    auto* config = new cHTMLRenderConfiguration;
    config->backgroundColor = &white;
    config->textColor = &black;
    config->noteMarkerText = &empty;
    config->verseNumberOverrideText = &empty;
    config->showStrongsNumbers = &kOne;
    config->linkPrefix = &prefix;
    config->omittedWordAttributes.add(-1);
    config->omittedWordAttributes.add(3);
    config->search = std::make_shared<int>(7);
    config->update();
    EXPECT_EQ(config->backgroundColor->rgb(), 0xFFFFFFu);
    EXPECT_EQ(config->textColor->highlightColorId(), 139u);
    EXPECT_STREQ(config->linkPrefix->chars(), "javascript:href('");
    EXPECT_EQ(config->omittedWordAttributes.count(), 2);
    EXPECT_EQ(config->omittedWordAttributes.getAt(0), -1);
    delete config;  // frees only its own list; the values pointed to stay the caller's
    EXPECT_EQ(white.rgb(), 0xFFFFFFu);
    EXPECT_STREQ(cHTMLRenderConfiguration::kDefaultLinkSuffix, "');");
    EXPECT_STREQ(cHTMLRenderConfiguration::kSelectedSectionClass, " marching-ants");
}

}  // namespace
