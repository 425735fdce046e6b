#include "render/HTMLInlineMarkers.h"

#include <gtest/gtest.h>

#include "render/cHTMLRenderConfiguration.h"

TEST(InlineMarkers, StrongsLinks)
{
    std::string s = "word\x05h1234 next";
    convertStrongsMarkersToLinks(s, nullptr);
    EXPECT_EQ("word<span class='_stheb'><a href=\"sync:@@bs@@@@bs@@H1234\">H1234</a></span> next", s);

    s = "w\x05g25a\x05h7";
    convertStrongsMarkersToLinks(s, nullptr);
    EXPECT_EQ("w<span class='_stgrk'><a href=\"sync:@@bs@@@@bs@@G25a\">G25a</a>&nbsp;</span>"
              "<span class='_stheb'><a href=\"sync:@@bs@@@@bs@@H7\">H7</a></span>",
        s);

    cHTMLRenderConfiguration config;
    cLString8 prefix("javascript:href('"), suffix("');");
    config.linkPrefix = &prefix;
    config.linkSuffix = &suffix;
    s = "x\x06g3056";  // any kind letter but "h" is Greek
    convertStrongsMarkersToLinks(s, &config);
    EXPECT_EQ("x<span class='_stgrk'><a href=\"javascript:href('sync:@@bs@@@@bs@@G3056');\">G3056</a></span>", s);

    cLString8 tag("b"), greek("class='x'");
    config.strongsTag = &tag;
    config.strongsGreekTagAttributes = &greek;
    s = "\x06g3056\x05h1";  // a marker at the very start is converted too
    convertStrongsMarkersToLinks(s, &config);
    EXPECT_EQ("<b class='x'>G3056</b>&nbsp;<b>H1</b>", s);

    s = "cut\x05";  // a marker at the end of the text
    convertStrongsMarkersToLinks(s, nullptr);
    EXPECT_EQ("cut<span class='_stgrk'><a href=\"sync:@@bs@@@@bs@@G\">G</a></span>", s);
}

// A suffix letter is the last byte of its marker: a letter that another letter follows starts the
// next word (the texts of two nodes joined), and stays text.
TEST(InlineMarkers, StrongsSuffixBelongsToItsOwnMarker)
{
    std::string s = "God\x06h430created";
    convertStrongsMarkersToLinks(s, nullptr);
    EXPECT_EQ("God<span class='_stheb'><a href=\"sync:@@bs@@@@bs@@H430\">H430</a></span>created", s);
    s = "God\x06h430\x01created";
    convertStrongsMarkersToLinks(s, nullptr);
    EXPECT_EQ("God<span class='_stheb'><a href=\"sync:@@bs@@@@bs@@H430\">H430</a></span>\x01created", s);
    s = "x\x06h12b, y\x05g3a";
    convertStrongsMarkersToLinks(s, nullptr);
    EXPECT_EQ("x<span class='_stheb'><a href=\"sync:@@bs@@@@bs@@H12b\">H12b</a></span>, "
              "y<span class='_stgrk'><a href=\"sync:@@bs@@@@bs@@G3a\">G3a</a></span>",
        s);
}

TEST(InlineMarkers, SearchSpans)
{
    std::string s = "a \x01hit\x07 b";
    markSearchWordSpans(s);
    EXPECT_EQ("a <span class='_search'>hit</span> b", s);
    s = "\x07lone\x01 x\x01y\x07\x01z\x07";
    markSearchWordSpans(s);
    EXPECT_EQ("lone x<span class='_search'>y</span><span class='_search'>z</span>", s);
    s = "\x01\x01";
    markSearchWordSpans(s);
    EXPECT_EQ("", s);
}

TEST(InlineMarkers, WordAttributeSpans)
{
    std::string s = "x\x02word\x03 y";
    convertWordAttributeMarkersToSpans(s);
    EXPECT_EQ("x<span class='_inlinewordattribute'>word</span> y", s);
    s = "x\x02one\x02two\x03";
    convertWordAttributeMarkersToSpans(s);
    EXPECT_EQ("x<span class='_inlinewordattribute'>one&nbsp;</span><span class='_inlinewordattribute'>two</span>", s);
    s = "\x02"
        "0\x04lemma\x03 z";  // an opener at the start
    convertWordAttributeMarkersToSpans(s);
    EXPECT_EQ("<span class='_inlinewordattribute'>0\x04lemma</span> z", s);
    s = "\x02";
    convertWordAttributeMarkersToSpans(s);
    EXPECT_EQ("<span class='_inlinewordattribute'></span>", s);
}

TEST(InlineMarkers, ArbitraryMarkerSoupIsConverted)
{
    uint32_t seed = 7;
    const char alphabet[] = {'\x01', '\x02', '\x03', '\x04', '\x05', '\x06', '\x07', 'h', 'g', '1', '2', 'a', ' ', 'x'};
    for (int round = 0; round < 200; ++round) {
        std::string s;
        for (int i = 0; i < round % 40; ++i) {
            seed = seed * 1103515245u + 12345u;
            s += alphabet[(seed >> 16) % sizeof alphabet];
        }
        convertStrongsMarkersToLinks(s, nullptr);
        markSearchWordSpans(s);
        convertWordAttributeMarkersToSpans(s);
        // A stray 0x03 (no entry before it) and the field separators inside entries may stay.
        for (char c : {'\x01', '\x02', '\x05', '\x06', '\x07'})
            EXPECT_EQ(std::string::npos, s.find(c)) << round << " " << int(c);
    }
}
