#include "render/HTMLEntities.h"

#include <gtest/gtest.h>

TEST(HTMLEntities, NumericReferences)
{
    EXPECT_EQ(entityCharacter("#x41"), 65);
    EXPECT_EQ(entityCharacter("#X41;"), 65);
    EXPECT_EQ(entityCharacter("#65"), 65);
    EXPECT_EQ(entityCharacter("#65;rest"), 65);
    EXPECT_EQ(entityCharacter("#x1F600"), 0xF600);  // cut to 16 bits
    EXPECT_EQ(entityCharacter("#"), 0);
    EXPECT_EQ(entityCharacter("#x"), 0);
    EXPECT_EQ(entityCharacter("#0"), 0);
    EXPECT_EQ(entityCharacter("#99999999999999999999999"), 0);  // overflow
}

TEST(HTMLEntities, NamedReferences)
{
    EXPECT_EQ(entityCharacter("apos"), 39);
    EXPECT_EQ(entityCharacter("eacute"), 0xE9);
    EXPECT_EQ(entityCharacter("eacute;"), 0xE9);
    EXPECT_EQ(entityCharacter("Eacute"), 0xC9);  // case matters
    EXPECT_EQ(entityCharacter("sigma"), 0x3C3);
    EXPECT_EQ(entityCharacter("sigmaf"), 0x3C2);  // a longer name after a prefix row
    EXPECT_EQ(entityCharacter("sigmax"), 0);      // a prefix followed by other text is no match
    EXPECT_EQ(entityCharacter("thetasym"), 0x3D1);
    EXPECT_EQ(entityCharacter("AElig"), 0xC6);
    EXPECT_EQ(entityCharacter("zwnj"), 0x200C);
    EXPECT_EQ(entityCharacter("diams"), 0x2666);
    EXPECT_EQ(entityCharacter("x"), 0);
    EXPECT_EQ(entityCharacter(""), 0);
    EXPECT_EQ(entityCharacterW(u"hellip;"), 0x2026);
    EXPECT_EQ(entityCharacterW(u"h\u00e9llip"), 0);
}

TEST(HTMLEntities, MarkupReferencesOnlyOnRequest)
{
    const std::pair<const char*, int> markup[] = {{"amp", 38}, {"gt", 62}, {"lt", 60}, {"nbsp", 160}, {"quot", 34}};
    for (auto [name, ch] : markup) {
        EXPECT_EQ(entityCharacter(name, false), 0) << name;
        EXPECT_EQ(entityCharacter(name, true), ch) << name;
    }
    EXPECT_EQ(entityCharacter("amp;x", true), 38);
    EXPECT_EQ(entityCharacter("ampx", true), 0);
}

TEST(HTMLEntities, LookupSkipsTheAmpersand)
{
    EXPECT_EQ(lookupCharacterEntity("&eacute;"), 0xE9);
    EXPECT_EQ(lookupCharacterEntity("&lt;", true), 60);
    EXPECT_EQ(lookupCharacterEntity(""), 0);
    EXPECT_EQ(lookupCharacterEntityW(u"&#x41;"), 65);
    std::size_t length = 0;
    EXPECT_EQ(matchCharacterEntity("eacute;tail", false, length), 0xE9);
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(matchCharacterEntity("#65 tail", false, length), 65);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(matchCharacterEntity("amp", true, length), 38);
    EXPECT_EQ(length, 3u);
}

TEST(HTMLEntities, DecodeInPlace)
{
    std::u16string s = u"caf&eacute; &lt;b&gt; &x; &#65;&apos;";
    decodeNamedEntitiesInPlace(s, false);
    EXPECT_EQ(s, u"caf\u00e9 &lt;b&gt; &x; A'");
    s = u"&lt;b&gt;";
    decodeNamedEntitiesInPlace(s, true);
    EXPECT_EQ(s, u"<b>");
    s = u"a &amp";  // no ";" at all
    decodeNamedEntitiesInPlace(s, true);
    EXPECT_EQ(s, u"a &amp");
    s = u"&x;";  // fewer than four characters from the "&"
    decodeNamedEntitiesInPlace(s, true);
    EXPECT_EQ(s, u"&x;");
    s = u"&#169 2005; kept";  // a reference must fill the run up to the ";"
    decodeNamedEntitiesInPlace(s, true);
    EXPECT_EQ(s, u"&#169 2005; kept");
    s = u"&&amp;amp;";  // a decoded "&" is not decoded again
    decodeNamedEntitiesInPlace(s, true);
    EXPECT_EQ(s, u"&&amp;");
    std::u16string many(20000, u'&');
    many += u"eacute;";
    decodeNamedEntitiesInPlace(many, false);
    EXPECT_EQ(many.size(), 20000u);
    EXPECT_EQ(many.back(), u'\u00e9');
}

TEST(HTMLEntities, DecodeEngineWideString)
{
    cLString16 s("Caf&eacute; &amp; co");
    decodeNamedEntitiesInPlace(s, false);
    EXPECT_STREQ(cLString16(s).utf8Chars(), "Caf\xC3\xA9 &amp; co");
    decodeNamedEntitiesInPlace(s, true);
    EXPECT_STREQ(s.utf8Chars(), "Caf\xC3\xA9 & co");
}

TEST(HTMLEntities, DecodeManyReferences)
{
    std::u16string s;
    for (int i = 0; i < 100000; ++i)
        s += u"&eacute;";
    decodeNamedEntitiesInPlace(s, false);
    EXPECT_EQ(s, std::u16string(100000, u'\u00e9'));
}
