// cLStringTmpl: the one string type of the book engine, the user-data store and the renderer.
//
// Two forms share one template:
//   cLStringTmpl<char>            8-bit units: UTF-8 text, HTML, SQL, UTF-8 file names, Latin-1 words
//                                 of older book files;
//   cLStringTmpl<unsigned short>  UTF-16 code units: paths, titles, words, note texts.
//
// Ownership: a string owns its heap buffer (unit 0 is a share count, the characters follow and are
// always 0-terminated) and, in the wide form, the UTF-8 rendering made by utf8Chars(). An empty string
// allocates nothing: it points at a static, read-only sentinel. Copying always copies the characters.
//
// Sizes, positions and counts are signed 32-bit and count units. A "terminated string" argument is a
// 0-terminated array of units of the same width; null counts as empty. A negative count means "to the
// end of the string" (or up to the terminator).
//
// Case-insensitive operations fold through the engine's own tables (CharacterClasses.h), never the
// C library's locale. In the narrow form a well-formed UTF-8 sequence is folded as the character it
// encodes and a stray byte as a Latin-1 character, so folding never breaks UTF-8 text.
//
// Threads: a string is not safe for concurrent use; the sentinels are shared and only read.
// Allocation failure (or a length beyond the 32-bit range) throws std::bad_alloc; a string under
// construction is released on that path.

#pragma once

#include <concepts>
#include <cstdint>
#include <cstdio>

template <typename T> class cLStringTmpl;

using cLString8 = cLStringTmpl<char>;
using cLString16 = cLStringTmpl<unsigned short>;

// UTF-8 of one character. `u` is a UTF-16 unit or a code point up to U+10FFFF; writes 1 to 4 bytes to
// `out` (room for 4 needed) and returns their number. A lone surrogate unit is written as its own
// three-byte sequence; values above U+10FFFF are written as U+FFFD.
int encodeUTF8Char(std::uint32_t u, char* out);

// Decodes one character at `bytes` (which must be 0-terminated or followed by at least one
// non-continuation byte) and returns the number of bytes taken (at least 1 unless *bytes is 0, where
// it returns 1 with out 0). Lead bytes below 0xC0 or from 0xF8 stand for themselves (Latin-1);
// 0xC0-0xDF, 0xE0-0xEF, 0xF0-0xF7 start 2-, 3- and 4-byte sequences; a sequence cut short by a byte
// that is not 10xxxxxx yields the lead byte's value alone. Overlong forms are accepted.
int decodeUTF8Char(const char* bytes, std::uint32_t& out);
// The same, never reading at or past `end`; returns 0 (out 0) when bytes >= end.
int decodeUTF8Char(const char* bytes, const char* end, std::uint32_t& out);

template <typename T> class cLStringTmpl {
    static_assert(std::same_as<T, char> || std::same_as<T, unsigned short>,
        "cLStringTmpl exists for char and unsigned short only");

public:
    using unit_type = T;
    static constexpr bool isNarrow = std::same_as<T, char>;

    // --- construction and access ---
    cLStringTmpl();
    cLStringTmpl(const T* text);                       // copy of a terminated string; null -> empty
    explicit cLStringTmpl(const cLStringTmpl* other);  // copy of *other; null -> empty
    cLStringTmpl(const cLStringTmpl& other);
    cLStringTmpl(cLStringTmpl&& other) noexcept;  // takes the buffer; other is left empty
    cLStringTmpl(const cLStringTmpl& source, std::int32_t start, std::int32_t count);
    // Concatenations: the total length is reserved once.
    cLStringTmpl(const cLStringTmpl& a, const T* b);
    cLStringTmpl(const cLStringTmpl& a, const cLStringTmpl& b);
    cLStringTmpl(const T* a, const cLStringTmpl& b) requires std::same_as<T, char>;
    // Narrow from UTF-16 (UTF-8 encoding) and wide from UTF-8 (decoding). Templates over the other
    // form's unit, so that they never share a signature with this form's own constructors.
    template <typename U>
    requires(!std::same_as<U, T> && (std::same_as<U, char> || std::same_as<U, unsigned short>)) explicit cLStringTmpl(
        const U* text)
        : cLStringTmpl()
    {
        assignFromOtherForm(text);
    }
    template <typename U>
    requires(!std::same_as<U, T> && (std::same_as<U, char> || std::same_as<U, unsigned short>)) explicit cLStringTmpl(
        const cLStringTmpl<U>& text)
        : cLStringTmpl()
    {
        assignFromOtherForm(text);
    }
    virtual ~cLStringTmpl();

    cLStringTmpl& operator=(const cLStringTmpl& other);  // assign
    cLStringTmpl& operator=(cLStringTmpl&& other) noexcept;

    std::int32_t length() const { return m_length; }
    const T* chars() const { return m_chars; }
    bool isEmpty() const { return m_length == 0; }
    std::int32_t capacity() const { return m_capacity; }
    // Unit at i, or 0 outside 0..length-1.
    T charAt(std::int32_t i) const { return (i >= 0 && i < m_length) ? m_chars[i] : T(0); }

    cLStringTmpl leftCopy(std::int32_t n) const;   // first n characters (clipped)
    cLStringTmpl rightCopy(std::int32_t n) const;  // last n characters, n clipped to 0..length
    // Substrings written into an existing string (emptied first); a start beyond the length or a
    // negative start leaves it empty.
    void extractSubstring(cLStringTmpl& target, std::int32_t start, std::int32_t count) const;
    void leftInto(cLStringTmpl& target, std::int32_t n) const;

    // --- assignment and appending (each returns the string itself) ---
    cLStringTmpl& assign(const cLStringTmpl& other);
    cLStringTmpl& assignCStr(const T* text);  // text may lie inside this string
    cLStringTmpl& assignChar(T ch);
    // Narrow: the UTF-8 encoding of `count` units (negative: up to the terminator). A surrogate pair
    // becomes one four-byte sequence; a lone surrogate its own three-byte sequence.
    cLStringTmpl& assignFromUTF16(const unsigned short* utf16, std::int32_t count = -1) requires std::same_as<T, char>;
    cLStringTmpl& assignFromUTF16(const cLStringTmpl<unsigned short>& utf16) requires std::same_as<T, char>;
    // Wide: the decoded UTF-8 of `count` bytes (negative: up to the terminator). Characters above
    // U+FFFF become surrogate pairs; three-byte encoded surrogates are kept as the units they encode.
    cLStringTmpl& assignFromUTF8(const char* utf8, std::int32_t count = -1) requires std::same_as<T, unsigned short>;
    cLStringTmpl& assignFromUTF8(const cLStringTmpl<char>& utf8) requires std::same_as<T, unsigned short>;
    // Takes ownership of `buffer`, allocated with new char[size]; byte 0 is left for the share count
    // and the text follows. `length` negative: the text runs to the first 0 (or to the end of the
    // buffer). A length beyond size - 2 is clipped and the buffer's last byte becomes the terminator.
    // A size below 2 frees the buffer and leaves the string empty.
    cLStringTmpl& adoptBuffer(char* buffer, std::int32_t size, std::int32_t length) requires std::same_as<T, char>;

    cLStringTmpl& append(const cLStringTmpl& other);
    cLStringTmpl& appendChar(T ch);
    cLStringTmpl& appendCStr(const T* text);
    cLStringTmpl& appendChars(const T* units, std::int32_t count);

    // --- editing in place ---
    // Replaces `count` characters at `position` (negative count: the text's length; clipped to the
    // end) by the terminated string `text`. A position outside 0..length changes nothing.
    cLStringTmpl& replaceRange(std::int32_t position, const T* text, std::int32_t count);
    cLStringTmpl& replaceRangeWithChar(std::int32_t position, T ch, std::int32_t count);
    // Inserts at position; position == length appends; outside 0..length or null text: no change.
    // Returns the new length.
    std::int32_t insertCStr(const T* text, std::int32_t position);
    std::int32_t insertChar(T ch, std::int32_t position);
    // Removes count characters (negative: to the end), clipped to the end; returns the new length.
    std::int32_t deleteRange(std::int32_t position, std::int32_t count);
    void truncate(std::int32_t n);                           // keep first n when 0 <= n < length
    void keepRight(std::int32_t n);                          // keep last n when 0 <= n < length
    void keepRange(std::int32_t start, std::int32_t count);  // empties when start > length
    void padTo(std::int32_t n, T fill = T(' '));
    // Replaces every ch by replacement, or removes every ch when replacement is 0; returns how many.
    std::int32_t replaceChar(T ch, T replacement);
    // Replaces each occurrence of find, searching on after the inserted text; returns how many.
    std::int32_t replaceAll(const T* find, const T* replacement, bool ignoreCase = false);
    std::int32_t replaceAllIgnoreCase(const T* find, const T* replacement);
    // Removes leading / trailing characters found in `set`; null set: blank, tab, newline, return;
    // an empty set removes nothing.
    void trimLeft(const T* set = nullptr);
    void trimRight(const T* set = nullptr);
    // Wide: remove leading / trailing blanks, tabs and punctuation (isPunctuationChar16).
    void trimLeadingPunctuation() requires std::same_as<T, unsigned short>;
    void trimTrailingPunctuation() requires std::same_as<T, unsigned short>;
    // Lower-cases `source` in place, then makes `result` a copy of it (result may be source).
    static void toLowerCase(cLStringTmpl& result, cLStringTmpl& source);
    void toLowerCase();  // in place
    static void toUpperCase(cLStringTmpl& result, cLStringTmpl& source) requires std::same_as<T, unsigned short>;
    void toUpperCase() requires std::same_as<T, unsigned short>;
    void makeEmpty();              // length 0, buffer kept
    void reserve(std::int32_t n);  // at least n slots (terminator included)
    void release();                // back to the empty sentinel; frees buffer and UTF-8 rendering

    // --- search and comparison (searches return -1 when nothing is found) ---
    // findChar and reverseFindChar fold the single unit when ignoring case (narrow: as Latin-1).
    std::int32_t findChar(T ch, std::int32_t start = 0, bool ignoreCase = false) const;
    // Last index <= start; start -1 or >= length: from the last character.
    std::int32_t reverseFindChar(T ch, std::int32_t start = -1, bool ignoreCase = false) const;
    std::int32_t findCStr(const T* text, std::int32_t start = 0, bool ignoreCase = false) const;
    std::int32_t findString(const T* text, std::int32_t start = 0, bool ignoreCase = false) const
    {
        return findCStr(text, start, ignoreCase);
    }
    std::int32_t findAnyOf(const T* set, std::int32_t start = 0) const;
    // -1, 0 or 1 over at most `limit` units (negative: whole strings); a string that ends first sorts
    // first; limit 0 gives 0.
    static int compareChars(const T* a, const T* b, bool ignoreCase, std::int32_t limit = -1);
    int compare(const T* text) const;
    int compareIgnoreCase(const T* text) const;
    int comparePrefix(const T* text, std::int32_t n) const;
    int compareIgnoreCasePrefix(const T* text, std::int32_t n) const;
    bool equals(const cLStringTmpl& other) const;
    bool equalsCStr(const T* text) const;
    bool differs(const cLStringTmpl& other) const { return !equals(other); }
    bool differsFromCStr(const T* text) const { return !equalsCStr(text); }
    bool operator==(const cLStringTmpl& other) const { return equals(other); }

    // --- numbers and encodings ---
    // Parses units start..start+count (negative count: to the end) in radix 2..36; letters of either
    // case; a sign only in radix 10. Returns 0 on failure (bad radix, empty range, no digits, overflow)
    // and the value of the leading digits otherwise ("12ab" -> 12). toInt32 keeps the low 32 bits.
    std::int32_t toInt32(int radix = 10, std::int32_t start = 0, std::int32_t count = -1) const;
    std::int64_t toInt64(int radix = 10, std::int32_t start = 0, std::int32_t count = -1) const;
    // The same parse, also telling whether the whole range was a valid number.
    bool parseInt64(std::int64_t& value, int radix = 10, std::int32_t start = 0, std::int32_t count = -1) const;
    // Writes a number with upper-case digits; a sign only in radix 10 and not `isUnsigned`. The text is
    // padded on the left to minWidth with "0" (zeroFill) or blanks; the sign stands right before the
    // first digit. With `append` the text follows the current characters, else replaces them.
    // Returns 1, or 0 (string unchanged) for a radix outside 2..36.
    int formatInt32(std::int32_t value, int radix = 10, bool append = false, std::int32_t minWidth = 0,
        bool zeroFill = false, bool isUnsigned = false);
    int formatInt64(std::int64_t value, int radix = 10, bool append = false, std::int32_t minWidth = 0,
        bool zeroFill = false, bool isUnsigned = false);
    // Wide: the UTF-8 rendering of the current units, owned by the string; the pointer stays valid
    // until the next utf8Chars call or the string's release (or destruction).
    const char* utf8Chars() const requires std::same_as<T, unsigned short>;
    // Wide: writes (write true) or reads the file form: u32 version 1, u32 length n, n + 1 UTF-16
    // units (the last 0), little-endian. False on a short read or write or a version other than 1.
    bool serialize(bool write, std::FILE* file) requires std::same_as<T, unsigned short>;

private:
    template <typename Source> void assignFromOtherForm(const Source& text)
    {
        if constexpr (isNarrow) {
            assignFromUTF16(text);
        } else {
            assignFromUTF8(text);
        }
    }
    void appendUnits(const T* units, std::int32_t n, std::int32_t hint);
    void appendFill(T fill, std::int64_t n);
    int formatMagnitude(
        std::uint64_t magnitude, bool negative, int radix, bool append, std::int32_t minWidth, bool zeroFill);
    void setLengthAndAppendTail(std::int32_t newLength, std::int32_t tailStart);
    void releaseBuffer();
    void clearCache() const;
    bool isShared() const;
    bool isOnSentinel() const;

    std::int32_t m_capacity = 0;  // slots including the terminator; 0 on the sentinel
    std::int32_t m_length = 0;
    T* m_chars;                                         // m_buffer + 1; never null; always 0-terminated
    T* m_buffer;                                        // unit 0 is the share count
    mutable cLStringTmpl<char>* m_utf8Cache = nullptr;  // wide form only

    template <typename U> friend class cLStringTmpl;
};

extern template class cLStringTmpl<char>;
extern template class cLStringTmpl<unsigned short>;
