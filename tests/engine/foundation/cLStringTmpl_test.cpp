#include "engine/foundation/cLStringTmpl.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string bytes(const cLString8& s)
{
    return std::string(s.chars(), static_cast<std::size_t>(s.length()));
}

std::u16string units(const cLString16& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.chars()), static_cast<std::size_t>(s.length()));
}

cLString16 wide(const std::u16string& u)
{
    cLString16 s;
    s.appendChars(reinterpret_cast<const unsigned short*>(u.data()), static_cast<std::int32_t>(u.size()));
    return s;
}

const unsigned short* w16(const char16_t* u)
{
    return reinterpret_cast<const unsigned short*>(u);
}

}  // namespace

// ------------------------------------------------------------------------------------------------
// Construction, sentinel and buffers

TEST(cLStringTmpl, EmptyStringsShareTheSentinelAndAllocateNothing)
{
    cLString8 a;
    cLString16 w;
    EXPECT_EQ(a.length(), 0);
    EXPECT_EQ(a.capacity(), 0);
    ASSERT_NE(a.chars(), nullptr);
    EXPECT_EQ(a.chars()[0], 0);
    EXPECT_EQ(w.chars()[0], 0);
    cLString8 b(static_cast<const char*>(nullptr));
    cLString8 c("");
    cLString8 d(a);
    cLString8 e(static_cast<const cLString8*>(nullptr));
    EXPECT_EQ(b.chars(), a.chars());
    EXPECT_EQ(c.chars(), a.chars());
    EXPECT_EQ(d.chars(), a.chars());
    EXPECT_EQ(e.chars(), a.chars());
    a.makeEmpty();
    a.release();
    a.truncate(0);
    a.deleteRange(0, 5);
    a.trimLeft();
    EXPECT_EQ(a.capacity(), 0);
}

TEST(cLStringTmpl, ConstructorsAndSubstrings)
{
    const cLString8 s("hello world");
    EXPECT_EQ(bytes(cLString8(s, 6, 5)), "world");
    EXPECT_EQ(bytes(cLString8(s, 6, 100)), "world");
    EXPECT_EQ(bytes(cLString8(s, 6, -1)), "world");
    EXPECT_TRUE(cLString8(s, 11, 1).isEmpty());
    EXPECT_TRUE(cLString8(s, -1, 3).isEmpty());
    EXPECT_EQ(bytes(cLString8(&s)), "hello world");
    EXPECT_EQ(bytes(cLString8(s, "!")), "hello world!");
    EXPECT_EQ(bytes(cLString8(">", s)), ">hello world");
    EXPECT_EQ(bytes(cLString8(s, s)), "hello worldhello world");
    // The concatenation allocates its exact total once.
    EXPECT_EQ(cLString8(s, s).capacity(), 23);

    EXPECT_EQ(bytes(s.leftCopy(5)), "hello");
    EXPECT_EQ(bytes(s.leftCopy(50)), "hello world");
    EXPECT_EQ(bytes(s.rightCopy(5)), "world");
    EXPECT_EQ(bytes(s.rightCopy(50)), "hello world");
    EXPECT_TRUE(s.rightCopy(-3).isEmpty());

    cLString8 target("old");
    s.extractSubstring(target, 2, 3);
    EXPECT_EQ(bytes(target), "llo");
    s.extractSubstring(target, 20, 3);
    EXPECT_TRUE(target.isEmpty());
    s.leftInto(target, 4);
    EXPECT_EQ(bytes(target), "hell");
    target.extractSubstring(target, 1, 2);  // into itself
    EXPECT_EQ(bytes(target), "el");

    cLString8 moved(std::move(target));
    EXPECT_EQ(bytes(moved), "el");
    EXPECT_TRUE(target.isEmpty());  // NOLINT(bugprone-use-after-move): a moved-from string is empty
    cLString8 assigned;
    assigned = std::move(moved);
    EXPECT_EQ(bytes(assigned), "el");
}

TEST(cLStringTmpl, SelfReferencingAssignAndAppend)
{
    cLString8 s("abcdef");
    s.assignCStr(s.chars() + 2);
    EXPECT_EQ(bytes(s), "cdef");
    s.assignCStr(s.chars());
    EXPECT_EQ(bytes(s), "cdef");
    s.append(s);
    EXPECT_EQ(bytes(s), "cdefcdef");
    s.appendCStr(s.chars() + 6);
    EXPECT_EQ(bytes(s), "cdefcdefef");
    s.insertCStr(s.chars() + 8, 0);
    EXPECT_EQ(bytes(s), "efcdefcdefef");
    s.replaceRange(2, s.chars(), 2);
    EXPECT_EQ(bytes(s), "efefcdefcdefefefcdefef");
    const cLString8& alias = s;
    s = alias;
    EXPECT_EQ(s.length(), 22);

    cLString16 w("xyz");
    w.append(w);
    EXPECT_EQ(units(w), u"xyzxyz");
}

TEST(cLStringTmpl, AppendingReallocatesExactlyUnlessReserved)
{
    cLString8 s;
    s.appendCStr("abc");
    EXPECT_EQ(s.capacity(), 4);
    s.appendChar('d');
    EXPECT_EQ(s.capacity(), 5);
    s.reserve(100);
    EXPECT_EQ(s.capacity(), 100);
    const char* before = s.chars();
    s.appendChars("efghij", 3);
    s.appendChars("xyz", -1);
    EXPECT_EQ(s.chars(), before);
    EXPECT_EQ(bytes(s), "abcdefgxyz");
    s.makeEmpty();
    EXPECT_EQ(s.capacity(), 100);
    EXPECT_EQ(s.chars()[0], 0);
    s.release();
    EXPECT_EQ(s.capacity(), 0);
    s.assignChar('q');
    EXPECT_EQ(bytes(s), "q");
}

TEST(cLStringTmpl, AdoptBufferTakesOwnershipAndStaysTerminated)
{
    cLString8 s;
    char* buffer = new char[8];
    std::memcpy(buffer, "?abc\0zz", 8);
    s.adoptBuffer(buffer, 8, -1);
    EXPECT_EQ(bytes(s), "abc");
    EXPECT_EQ(s.capacity(), 7);
    s.appendCStr("def");
    EXPECT_EQ(bytes(s), "abcdef");

    char* full = new char[4];
    std::memcpy(full, "?xyz", 4);  // no terminator inside: the last byte becomes one
    s.adoptBuffer(full, 4, -1);
    EXPECT_EQ(bytes(s), "xy");
    char* lying = new char[4];
    std::memcpy(lying, "?ab", 4);
    s.adoptBuffer(lying, 4, 99);
    EXPECT_EQ(s.length(), 2);
    s.adoptBuffer(new char[1], 1, 0);
    EXPECT_TRUE(s.isEmpty());
}

// ------------------------------------------------------------------------------------------------
// Editing

TEST(cLStringTmpl, ReplaceInsertDeleteKeep)
{
    cLString8 s("abcdef");
    s.replaceRange(1, "XYZW", 2);  // bc -> XYZW
    EXPECT_EQ(bytes(s), "aXYZWdef");
    s.replaceRange(1, "Q", -1);  // negative count: the text's length
    EXPECT_EQ(bytes(s), "aQYZWdef");
    s.replaceRange(6, "123", 10);  // count clipped to the end
    EXPECT_EQ(bytes(s), "aQYZWd123");
    s.replaceRange(20, "nope", 1);
    EXPECT_EQ(bytes(s), "aQYZWd123");
    s.replaceRangeWithChar(0, '_', 2);
    EXPECT_EQ(bytes(s), "_YZWd123");

    EXPECT_EQ(s.insertCStr("<<", 0), 10);
    EXPECT_EQ(s.insertChar('>', s.length()), 11);
    EXPECT_EQ(s.insertCStr("x", 12), 11);
    EXPECT_EQ(s.insertCStr(nullptr, 0), 11);
    EXPECT_EQ(s.insertChar('x', -1), 11);
    EXPECT_EQ(bytes(s), "<<_YZWd123>");
    EXPECT_EQ(s.deleteRange(0, 3), 8);
    EXPECT_EQ(s.deleteRange(5, 100), 5);
    EXPECT_EQ(s.deleteRange(9, 1), 5);
    EXPECT_EQ(bytes(s), "YZWd1");

    s.truncate(4);
    EXPECT_EQ(bytes(s), "YZWd");
    s.truncate(10);
    s.truncate(-1);
    s.keepRight(3);
    EXPECT_EQ(bytes(s), "ZWd");
    s.keepRight(7);
    s.assignCStr("0123456789");
    s.keepRange(2, 3);
    EXPECT_EQ(bytes(s), "234");
    s.keepRange(1, -1);
    EXPECT_EQ(bytes(s), "34");
    s.keepRange(5, 1);
    EXPECT_TRUE(s.isEmpty());

    s.padTo(3, '.');
    EXPECT_EQ(bytes(s), "...");
    s.padTo(2, '-');
    EXPECT_EQ(bytes(s), "...");
}

TEST(cLStringTmpl, ReplaceCharAndReplaceAll)
{
    cLString8 s("aab");
    EXPECT_EQ(s.replaceChar('a', 0), 2);
    EXPECT_EQ(bytes(s), "b");
    s.assignCStr("a.b.c");
    EXPECT_EQ(s.replaceChar('.', '/'), 2);
    EXPECT_EQ(bytes(s), "a/b/c");
    EXPECT_EQ(s.replaceChar('z', 'y'), 0);

    s.assignCStr("aaa");
    EXPECT_EQ(s.replaceAll("a", "aa"), 3);  // searching resumes after the inserted text
    EXPECT_EQ(bytes(s), "aaaaaa");
    s.assignCStr("One one ONE");
    EXPECT_EQ(s.replaceAllIgnoreCase("one", "1"), 3);
    EXPECT_EQ(bytes(s), "1 1 1");
    EXPECT_EQ(s.replaceAll("", "x"), 0);
    EXPECT_EQ(s.replaceAll(nullptr, "x"), 0);
    EXPECT_EQ(s.replaceAll("1", nullptr), 3);
    EXPECT_EQ(bytes(s), "  ");

    cLString16 w("Σίγμα σίγμα");
    EXPECT_EQ(w.replaceAll(cLString16("ΣΊΓΜΑ").chars(), w16(u"x"), true), 2);
    EXPECT_EQ(units(w), u"x x");
}

TEST(cLStringTmpl, Trimming)
{
    cLString8 s(" \t\r\nabc \n");
    s.trimLeft();
    EXPECT_EQ(bytes(s), "abc \n");
    s.trimRight();
    EXPECT_EQ(bytes(s), "abc");
    s.trimLeft("");
    s.trimRight("ca");
    EXPECT_EQ(bytes(s), "ab");
    s.trimLeft("ab");
    EXPECT_TRUE(s.isEmpty());

    cLString16 w("«¡Hola, mundo!» ");
    w.trimLeadingPunctuation();
    w.trimTrailingPunctuation();
    EXPECT_EQ(units(w), u"Hola, mundo");
    cLString16 hebrew(w16(u"\u05C3\u05D0\u05D1\u05BE"));
    hebrew.trimLeadingPunctuation();
    hebrew.trimTrailingPunctuation();
    EXPECT_EQ(units(hebrew), u"\u05D0\u05D1");
    cLString16 only(w16(u"...  "));
    only.trimTrailingPunctuation();
    EXPECT_TRUE(only.isEmpty());
}

TEST(cLStringTmpl, CaseConversion)
{
    cLString16 w(w16(u"ÀÉÎ Σ ÿ Ÿ Ǻ Ω ABC"));
    cLString16 lower;
    cLString16::toLowerCase(lower, w);
    EXPECT_EQ(units(lower), u"àéî σ ÿ ÿ ǻ ω abc");
    EXPECT_EQ(units(w), u"àéî σ ÿ ÿ ǻ ω abc");  // the source is lowered in place too
    cLString16 upper;
    cLString16::toUpperCase(upper, w);
    EXPECT_EQ(units(upper), u"ÀÉÎ Σ Ÿ Ÿ Ǻ Ω ABC");

    // Narrow UTF-8 text keeps being valid UTF-8 when lowered; stray bytes fold as Latin-1.
    cLString8 utf8("ÀÉ ΣΑΣ Ÿ MIXED");
    utf8.toLowerCase();
    EXPECT_EQ(bytes(utf8), "àé σασ ÿ mixed");
    cLString8 latin1("\xC0\xC9 OK");
    latin1.toLowerCase();
    EXPECT_EQ(bytes(latin1), "\xE0\xE9 ok");
}

// ------------------------------------------------------------------------------------------------
// Search and comparison

TEST(cLStringTmpl, Searching)
{
    const cLString8 s("Hello, hello");
    EXPECT_EQ(s.findChar('l'), 2);
    EXPECT_EQ(s.findChar('l', 4), 9);
    EXPECT_EQ(s.findChar('h', 0, true), 0);
    EXPECT_EQ(s.findChar('l', 12), -1);
    EXPECT_EQ(s.findChar('l', -1), -1);
    EXPECT_EQ(s.reverseFindChar('l'), 10);
    EXPECT_EQ(s.reverseFindChar('l', 8), 3);
    EXPECT_EQ(s.reverseFindChar('H', 100, true), 7);
    EXPECT_EQ(s.reverseFindChar('z'), -1);
    EXPECT_EQ(cLString8().reverseFindChar('a'), -1);

    EXPECT_EQ(s.findCStr("hello"), 7);
    EXPECT_EQ(s.findCStr("HELLO", 0, true), 0);
    EXPECT_EQ(s.findCStr("HELLO", 1, true), 7);
    EXPECT_EQ(s.findCStr(""), -1);
    EXPECT_EQ(s.findCStr(nullptr), -1);
    EXPECT_EQ(s.findCStr("lo", 12), -1);
    EXPECT_EQ(s.findCStr("hello!"), -1);  // runs past the end
    EXPECT_EQ(s.findCStr("lo", 11), -1);

    EXPECT_EQ(s.findAnyOf("o,"), 4);
    EXPECT_EQ(s.findAnyOf(",o", 5), 5);
    EXPECT_EQ(s.findAnyOf("xyz"), -1);
    EXPECT_EQ(s.findAnyOf(""), -1);
    EXPECT_EQ(s.findAnyOf(nullptr), -1);

    // UTF-8 text: case-insensitive search finds accented capitals and small letters alike.
    const cLString8 text("Ärger über ÉCOLE");
    EXPECT_EQ(text.findCStr("ärger", 0, true), 0);
    EXPECT_EQ(text.findCStr("école", 0, true), 13);
    EXPECT_EQ(text.findCStr("ÜBER", 0, true), 7);

    // Final sigma is its own lower-case partner, so "ΛΌΓΟΣ" folds to "λόγοσ", not "λόγος".
    const cLString16 w("Ἀρχὴ λόγος ΛΌΓΟΣ");
    EXPECT_EQ(w.findString(cLString16("ΛΌΓΟΣ").chars(), 0, true), 11);
    EXPECT_EQ(w.findString(cLString16("λόγοσ").chars(), 0, true), 11);
    EXPECT_EQ(w.findString(cLString16("λόγος").chars()), 5);
    EXPECT_EQ(w.findString(cLString16("ΛΌΓΟ").chars(), 0, true), 5);
}

TEST(cLStringTmpl, Comparing)
{
    EXPECT_EQ(cLString8::compareChars("ab", "abc", false, -1), -1);
    EXPECT_EQ(cLString8::compareChars("ab", "abc", false, 2), 0);
    EXPECT_EQ(cLString8::compareChars("abc", "ab", false, -1), 1);
    EXPECT_EQ(cLString8::compareChars("abc", "abd", false, 0), 0);
    EXPECT_EQ(cLString8::compareChars(nullptr, "", false, -1), 0);
    EXPECT_EQ(cLString8::compareChars(nullptr, "a", false, -1), -1);
    EXPECT_EQ(cLString8::compareChars("ABC", "abc", true, -1), 0);
    EXPECT_EQ(cLString8::compareChars("ABC", "abc", false, -1), -1);
    // Bytes compare unsigned: 0xE9 sorts after "z".
    EXPECT_EQ(cLString8::compareChars("\xE9", "z", false, -1), 1);

    const cLString8 s("Genesis");
    EXPECT_EQ(s.compare("Genesis"), 0);
    EXPECT_EQ(s.compareIgnoreCase("GENESIS"), 0);
    EXPECT_EQ(s.compareIgnoreCase("GENESIT"), -1);
    EXPECT_EQ(s.compareIgnoreCasePrefix("GEN", 3), 0);
    EXPECT_EQ(s.comparePrefix("Gen", 3), 0);
    EXPECT_EQ(s.comparePrefix("gen", 3), -1);
    EXPECT_TRUE(s.equals(cLString8("Genesis")));
    EXPECT_TRUE(s.equalsCStr("Genesis"));
    EXPECT_FALSE(s.equalsCStr("Genesi"));
    EXPECT_FALSE(s.equalsCStr("Genesiss"));
    EXPECT_TRUE(s.differsFromCStr("genesis"));
    EXPECT_TRUE(s.differs(cLString8("Exodus")));
    EXPECT_TRUE(cLString8().equalsCStr(nullptr));

    const cLString8 utf8("ÉCOLE");
    EXPECT_EQ(utf8.compareIgnoreCase("école"), 0);

    const cLString16 greek(w16(u"ΆΓΙΑ"));
    EXPECT_EQ(greek.compareIgnoreCase(w16(u"άγια")), 0);
    EXPECT_EQ(greek.compareIgnoreCasePrefix(w16(u"άγ"), 2), 0);
    EXPECT_EQ(greek.compare(w16(u"άγια")), -1);
}

// ------------------------------------------------------------------------------------------------
// Numbers

TEST(cLStringTmpl, ParsingIntegers)
{
    EXPECT_EQ(cLString8("Ff").toInt32(16), 255);
    EXPECT_EQ(cLString8("-12").toInt32(10), -12);
    EXPECT_EQ(cLString8("-").toInt32(10), 0);
    EXPECT_EQ(cLString8("12").toInt32(37), 0);
    EXPECT_EQ(cLString8("12").toInt32(1), 0);
    EXPECT_EQ(cLString8("12ab").toInt32(10), 12);
    EXPECT_EQ(cLString8("abc").toInt32(10), 0);
    EXPECT_EQ(cLString8("-5").toInt32(16), 0);  // a sign only in radix 10
    EXPECT_EQ(cLString8("").toInt32(10), 0);
    EXPECT_EQ(cLString8("1234").toInt32(10, 1, 2), 23);
    EXPECT_EQ(cLString8("1234").toInt32(10, 4), 0);
    EXPECT_EQ(cLString8("1234").toInt32(10, -1), 0);
    EXPECT_EQ(cLString8("1012").toInt32(2), 5);  // stops at the first digit not below the radix
    EXPECT_EQ(cLString8("zZ").toInt32(36), 35 * 36 + 35);

    EXPECT_EQ(cLString8("2147483647").toInt32(10), INT_MAX);
    EXPECT_EQ(cLString8("-2147483648").toInt32(10), INT_MIN);
    EXPECT_EQ(cLString8("4294967295").toInt32(10), -1);  // the low 32 bits
    EXPECT_EQ(cLString8("FFFFFFFF").toInt32(16), -1);
    EXPECT_EQ(cLString8("80000000").toInt32(16), INT_MIN);
    EXPECT_EQ(cLString8("11111111111111111111111111111111").toInt32(2), -1);

    EXPECT_EQ(cLString8("9223372036854775807").toInt64(10), INT64_MAX);
    EXPECT_EQ(cLString8("-9223372036854775808").toInt64(10), INT64_MIN);
    EXPECT_EQ(cLString8("-9223372036854775809").toInt64(10), 0);
    EXPECT_EQ(cLString8("18446744073709551615").toInt64(10), -1);  // all 64 bits
    EXPECT_EQ(cLString8("18446744073709551616").toInt64(10), 0);   // overflow
    EXPECT_EQ(cLString8("99999999999999999999").toInt64(10), 0);
    EXPECT_EQ(cLString8("FFFFFFFFFFFFFFFF").toInt64(16), -1);
    EXPECT_EQ(cLString8("10000000000000000").toInt64(16), 0);
    EXPECT_EQ(cLString8("1y2p0ij32e8e7").toInt64(36), INT64_MAX);
    EXPECT_EQ(cLString8("3W5E11264SGSF").toInt64(36), -1);  // 2^64 - 1
    EXPECT_EQ(cLString8("3w5e11264sgsg").toInt64(36), 0);

    std::int64_t value = 0;
    EXPECT_TRUE(cLString8("42").parseInt64(value));
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(cLString8("42x").parseInt64(value));
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(cLString8("-0").parseInt64(value));
    EXPECT_TRUE(cLString8("x42x").parseInt64(value, 10, 1, 2));

    EXPECT_EQ(cLString16("-77").toInt32(10), -77);
    EXPECT_EQ(cLString16("7fffFFFF").toInt32(16), INT_MAX);
    EXPECT_EQ(cLString16(w16(u"１２")).toInt32(10), 0);  // only ASCII digits count
}

TEST(cLStringTmpl, FormattingIntegers)
{
    cLString8 s("keep");
    EXPECT_EQ(s.formatInt32(5, 37), 0);
    EXPECT_EQ(s.formatInt32(5, 1), 0);
    EXPECT_EQ(bytes(s), "keep");

    auto fmt32 = [](std::int32_t v, int radix, std::int32_t width = 0, bool zero = false, bool isUnsigned = false) {
        cLString8 out;
        EXPECT_EQ(out.formatInt32(v, radix, false, width, zero, isUnsigned), 1);
        return bytes(out);
    };
    EXPECT_EQ(fmt32(255, 16), "FF");
    EXPECT_EQ(fmt32(0, 10), "0");
    EXPECT_EQ(fmt32(-1, 16), "FFFFFFFF");
    EXPECT_EQ(fmt32(INT_MAX, 10), "2147483647");
    EXPECT_EQ(fmt32(INT_MIN, 10), "-2147483648");
    EXPECT_EQ(fmt32(INT_MIN, 10, 0, false, true), "2147483648");
    EXPECT_EQ(fmt32(-1, 10, 0, false, true), "4294967295");
    EXPECT_EQ(fmt32(-1, 2), std::string(32, '1'));
    EXPECT_EQ(fmt32(35, 36), "Z");
    EXPECT_EQ(fmt32(-5, 10, 4, true), "00-5");
    EXPECT_EQ(fmt32(-5, 10, 4, false), "  -5");
    EXPECT_EQ(fmt32(0xABCDEF & 0xFFFFFF, 16, 6, true), "ABCDEF");
    EXPECT_EQ(fmt32(0x1F, 16, 6, true), "00001F");
    EXPECT_EQ(fmt32(12345, 10, 2), "12345");

    for (int radix = 2; radix <= 36; ++radix) {
        for (std::int32_t v : {0, 1, 7, 35, 1000, INT_MAX}) {
            cLString8 out;
            out.formatInt32(v, radix);
            EXPECT_EQ(out.toInt32(radix), v) << "radix " << radix << " value " << v;
        }
        cLString8 out;
        out.formatInt64(INT64_MAX, radix);
        EXPECT_EQ(out.toInt64(radix), INT64_MAX) << "radix " << radix;
        out.formatInt64(-1, radix, false, 0, false, true);
        EXPECT_EQ(out.toInt64(radix), -1) << "radix " << radix;
    }

    cLString8 appended("n=");
    appended.formatInt64(INT64_MIN, 10, true);
    EXPECT_EQ(bytes(appended), "n=-9223372036854775808");
    appended.formatInt64(-1, 16, true, 0, false, false);
    EXPECT_EQ(bytes(appended), "n=-9223372036854775808FFFFFFFFFFFFFFFF");

    cLString16 w;
    w.formatInt32(-42, 10, false, 5, false);
    EXPECT_EQ(units(w), u"  -42");
}

// ------------------------------------------------------------------------------------------------
// UTF-8 and UTF-16

TEST(cLStringTmpl, Utf8EncodingOfSingleCharacters)
{
    char out[4];
    EXPECT_EQ(encodeUTF8Char(0x41, out), 1);
    EXPECT_EQ(encodeUTF8Char(0xE9, out), 2);
    EXPECT_EQ(std::string(out, 2), "\xC3\xA9");
    EXPECT_EQ(encodeUTF8Char(0x7FF, out), 2);
    EXPECT_EQ(encodeUTF8Char(0x800, out), 3);
    EXPECT_EQ(encodeUTF8Char(0xD800, out), 3);
    EXPECT_EQ(std::string(out, 3), "\xED\xA0\x80");
    EXPECT_EQ(encodeUTF8Char(0x1F600, out), 4);
    EXPECT_EQ(std::string(out, 4), "\xF0\x9F\x98\x80");
    EXPECT_EQ(encodeUTF8Char(0x110000, out), 3);
    EXPECT_EQ(std::string(out, 3), "\xEF\xBF\xBD");

    std::uint32_t cp = 0;
    EXPECT_EQ(decodeUTF8Char("\xC3\xA9", cp), 2);
    EXPECT_EQ(cp, 0xE9u);
    EXPECT_EQ(decodeUTF8Char("\xE9", cp), 1);  // a lone Latin-1 byte stands for itself
    EXPECT_EQ(cp, 0xE9u);
    EXPECT_EQ(decodeUTF8Char("\xE2\x82", cp), 1);  // cut short by the terminator
    EXPECT_EQ(cp, 0xE2u);
    EXPECT_EQ(decodeUTF8Char("\xF0\x9F\x98\x80", cp), 4);
    EXPECT_EQ(cp, 0x1F600u);
    EXPECT_EQ(decodeUTF8Char("\xC0\x80", cp), 2);  // overlong forms are accepted
    EXPECT_EQ(cp, 0u);
    EXPECT_EQ(decodeUTF8Char("\xFF", cp), 1);
    EXPECT_EQ(cp, 0xFFu);
    EXPECT_EQ(decodeUTF8Char("\x80", cp), 1);
    EXPECT_EQ(cp, 0x80u);

    // The bounded form never reads at or past the end, whatever follows.
    const char data[] = "\xF0\x9F\x98\x80";
    for (int n = 1; n < 4; ++n) {
        EXPECT_EQ(decodeUTF8Char(data, data + n, cp), 1) << n;
        EXPECT_EQ(cp, 0xF0u);
    }
    EXPECT_EQ(decodeUTF8Char(data, data, cp), 0);
}

TEST(cLStringTmpl, Utf16ToUtf8AndBack)
{
    const std::u16string text = u"Aé€\U0001F600\u05D0";
    const cLString16 w = wide(text);
    const cLString8 n(w);
    EXPECT_EQ(bytes(n), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xD7\x90");
    EXPECT_EQ(n.capacity(), n.length() + 1);  // sized once, exactly
    EXPECT_EQ(units(cLString16(n)), text);
    EXPECT_STREQ(w.utf8Chars(), n.chars());

    // Lone surrogates keep their three-byte form both ways.
    const std::u16string lone = {0xD83D, u'x', 0xDE00};
    const cLString8 loneUtf8(wide(lone));
    EXPECT_EQ(bytes(loneUtf8),
        "\xED\xA0\xBD"
        "x"
        "\xED\xB8\x80");
    EXPECT_EQ(units(cLString16(loneUtf8)), lone);

    // Older data holds characters above U+FFFF as two three-byte surrogates; they read back as a pair.
    const cLString16 cesu("\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(units(cesu), u"\U0001F600");
    EXPECT_EQ(bytes(cLString8(cesu)), "\xF0\x9F\x98\x80");

    // Invalid input: stray bytes read as Latin-1, truncated sequences as their lead byte.
    EXPECT_EQ(units(cLString16("\xE9t\xE9")), u"\u00E9t\u00E9");
    EXPECT_EQ(units(cLString16("a\xE2\x82")), u"a\u00E2\u0082");
    EXPECT_EQ(units(cLString16("\xF7\xBF\xBF\xBF")), u"\uFFFD");  // beyond U+10FFFF
    EXPECT_EQ(units(cLString16("\xF4\x8F\xBF\xBF")), u"\U0010FFFF");

    cLString16 counted;
    counted.assignFromUTF8("\xC3\xA9\xC3\xA9", 3);  // the count cuts the second character
    EXPECT_EQ(units(counted), u"\u00E9\u00C3");
    counted.assignFromUTF8(nullptr);
    EXPECT_TRUE(counted.isEmpty());
    cLString8 narrow;
    narrow.assignFromUTF16(w16(u"\U0001F600"), 1);  // half a pair
    EXPECT_EQ(bytes(narrow), "\xED\xA0\xBD");
    narrow.assignFromUTF16(nullptr);
    EXPECT_TRUE(narrow.isEmpty());
}

TEST(cLStringTmpl, Utf8DecodingOfEveryByteSequenceStaysInBounds)
{
    // Every two-byte input and every prefix of a long mixed input decodes without reading past the
    // count; the sanitizer build checks the bounds, this checks the unit counts stay sane.
    for (int a = 1; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const char in[2] = {static_cast<char>(a), static_cast<char>(b)};
            cLString16 w;
            w.assignFromUTF8(in, 2);
            EXPECT_GE(w.length(), 1);
            EXPECT_LE(w.length(), 2);
        }
    }
    const std::string mixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF\xC3";
    for (std::size_t n = 0; n <= mixed.size(); ++n) {
        std::vector<char> exact(mixed.begin(), mixed.begin() + static_cast<std::ptrdiff_t>(n));
        cLString16 w;
        w.assignFromUTF8(exact.data(), static_cast<std::int32_t>(n));
        EXPECT_LE(w.length(), static_cast<std::int32_t>(n));
    }
}

TEST(cLStringTmpl, Utf8RenderingIsOwnedAndReplaced)
{
    cLString16 w("été");
    const char* first = w.utf8Chars();
    EXPECT_STREQ(first, "été");
    w.appendChar('!');
    EXPECT_STREQ(w.utf8Chars(), "été!");
    cLString16 empty;
    EXPECT_STREQ(empty.utf8Chars(), "");
}

// ------------------------------------------------------------------------------------------------
// File form

namespace {

struct TempFile {
    std::FILE* f = std::tmpfile();
    ~TempFile()
    {
        if (f)
            std::fclose(f);
    }
    std::vector<unsigned char> contents() const
    {
        std::rewind(f);
        std::vector<unsigned char> out;
        int c;
        while ((c = std::fgetc(f)) != EOF)
            out.push_back(static_cast<unsigned char>(c));
        return out;
    }
    void write(const std::vector<unsigned char>& data) const
    {
        std::fwrite(data.data(), 1, data.size(), f);
        std::rewind(f);
    }
};

}  // namespace

TEST(cLStringTmpl, SerializeWritesExactBytesAndReadsThemBack)
{
    TempFile file;
    ASSERT_NE(file.f, nullptr);
    cLString16 w(w16(u"ab\u05D0"));
    ASSERT_TRUE(w.serialize(true, file.f));
    const std::vector<unsigned char> expected = {1, 0, 0, 0, 3, 0, 0, 0, 'a', 0, 'b', 0, 0xD0, 0x05, 0, 0};
    EXPECT_EQ(file.contents(), expected);
    std::rewind(file.f);
    cLString16 back("junk");
    ASSERT_TRUE(back.serialize(false, file.f));
    EXPECT_EQ(units(back), u"ab\u05D0");

    TempFile empty;
    cLString16 nothing;
    ASSERT_TRUE(nothing.serialize(true, empty.f));
    EXPECT_EQ(empty.contents(), (std::vector<unsigned char> {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(cLStringTmpl, SerializeRejectsBadFiles)
{
    cLString16 s;
    {
        TempFile f;
        f.write({2, 0, 0, 0, 1, 0, 0, 0, 'a', 0, 0, 0});
        EXPECT_FALSE(s.serialize(false, f.f));
    }
    {
        TempFile f;
        f.write({1, 0, 0, 0, 3, 0, 0, 0, 'a', 0});  // short
        EXPECT_FALSE(s.serialize(false, f.f));
    }
    {
        TempFile f;
        f.write({1, 0, 0});  // short header
        EXPECT_FALSE(s.serialize(false, f.f));
    }
    {
        TempFile f;  // a huge stored length with no data fails without allocating it
        f.write({1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0});
        EXPECT_FALSE(s.serialize(false, f.f));
    }
    {
        TempFile f;
        f.write({1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
        EXPECT_FALSE(s.serialize(false, f.f));
    }
    {
        TempFile f;  // the text ends at the first 0 unit
        f.write({1, 0, 0, 0, 3, 0, 0, 0, 'a', 0, 0, 0, 'c', 0, 0, 0});
        EXPECT_TRUE(s.serialize(false, f.f));
        EXPECT_EQ(units(s), u"a");
    }
    EXPECT_FALSE(s.serialize(false, nullptr));
    EXPECT_FALSE(s.serialize(true, nullptr));
}

// ------------------------------------------------------------------------------------------------
// Threads

TEST(cLStringTmpl, ThreadsWorkOnTheirOwnStringsWhileSharingTheSentinels)
{
    // Every thread starts from and returns to the shared empty sentinels; a write to them or to a
    // shared table would show up here (and under the thread sanitizer).
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; ++i) {
                cLString8 n;
                n.formatInt32(i * (t + 1), 16, false, 6, true);
                n.appendCStr(" Éa");
                n.toLowerCase();
                cLString16 w(n);
                w.toUpperCase();
                cLString8 back(w);
                cLString8 expected;
                expected.formatInt32(i * (t + 1), 16, false, 6, true);
                expected.appendCStr(" ÉA");
                if (!back.equals(expected) || back.toInt32(16, 0, 6) != i * (t + 1))
                    ++failures[t];
                n.release();
                w.release();
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
    EXPECT_EQ(cLString8().chars()[0], 0);
    EXPECT_EQ(cLString16().chars()[0], 0);
}
