// JavaScript: the string operations every part of the program shares: undoing JavaScript escapes
// in text that comes back from book pages, MD5 digests, the device identifier sent with account and
// sync requests, URL query encoding, the engine's string scrambler and HTML filter, integer tests, a
// character-span search, and a few operations that look into and rewrite one HTML tag.
//
// Each operation takes the string it works on as its first argument. All are stateless and may run
// on any thread. The device identifier and the QColor form of HTMLColorStringFromColor are built into
// qs_library (JavaScriptPlatform.cpp, on QtNetwork and QtGui); the rest is in qs_library_core. Ranges use StringRange; "not found" is a location of StringRange::kNotFound.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

class QColor;

struct StringRange {
    static constexpr qsizetype kNotFound = 9223372036854775807LL;
    qsizetype location = kNotFound;
    qsizetype length = 0;

    bool found() const { return location != kNotFound; }
    bool operator==(const StringRange&) const = default;
};

class JavaScript {
public:
    // Search options of rangeOfCharacterSpanFromSet (the platform's values).
    enum : unsigned { kBackwardsSearch = 4, kAnchoredSearch = 8 };

    static QString stringByUnescapingJavaScript(const QString& s);
    // 32 lowercase hexadecimal digits of the MD5 of the UTF-8 bytes up to the first zero byte; a
    // null string for an empty one.
    static QString stringFromMD5(const QString& s);

    // The engine's string scrambler over the UTF-8 text, with its default pad or the caller's.
    static QString encryptedString(const QString& s);
    static QString decryptedString(const QString& s);
    static QString encryptedStringWithPad(const QString& s, const QString& pad);
    static QString decryptedStringWithPad(const QString& s, const QString& pad);

    // A run of characters of the set: the whole string, or a range, forwards or backwards (options
    // kBackwardsSearch), anywhere or only at the start (the end, backwards) with kAnchoredSearch.
    using CharacterSet = std::function<bool(QChar)>;
    static StringRange rangeOfCharacterSpanFromSet(const QString& s, const CharacterSet& set);
    static StringRange rangeOfCharacterSpanFromSet(const QString& s, const CharacterSet& set, unsigned options);
    static StringRange rangeOfCharacterSpanFromSet(
        const QString& s, const CharacterSet& set, unsigned options, StringRange range);

    // The engine's HTML filter (strength 0-6) over the UTF-8 text.
    static QString stringByFilteringHtmlStrength(const QString& s, int strength, bool convertCharacterEntities);

    // A 32-bit / 64-bit integer, leading white space allowed, nothing after it.
    static bool isInt(const QString& s);
    static bool isInteger(const QString& s);

    // Percent-encoded with the URL query's allowed characters, then "?", "=" and "&" as well.
    static QString stringWithUrlEncodedQueryItemValue(const QString& value);
    // "+" to a blank, then percent-encoding removed.
    static QString stringByDecodingUrlEncodedString(const QString& text);
    // The MD5 of "aa:bb:cc:dd:ee:ff", the hardware address of the machine's primary network
    // interface (all zeros when there is none).
    static QString stringWithUniqueDeviceID();
    // The same for a given six-byte address (shorter addresses are padded with zeros).
    static QString deviceIDForHardwareAddress(const QByteArray& address);
    // The hardware address the device identifier is made from.
    static QByteArray primaryHardwareAddress();

    // The first complete tag within the range; quoted attribute values may hold ">".
    static StringRange rangeOfHtmlTagInRange(const QString& s, StringRange range);
    // The attributes of one tag string (name to value); nothing when it is no tag.
    static std::optional<QVariantMap> dictionaryOfAttributesFromString(const QString& tag);
    // The lower-cased element name of a tag string; "" when none.
    static QString tagName(const QString& tag);
    static bool isClosingTag(const QString& tag);
    static bool isSelfClosingTag(const QString& tag);
    static bool isBlockLevelTag(const QString& tag);
    // The tag rewritten with the attribute first (its value written as given) and the tag's own
    // attributes after it, quoted.
    static QString stringByAppendingAttribute(const QString& tag, const QString& name, const QString& value);

    // "#rrggbb" of a colour's red, green and blue.
    static QString HTMLColorStringFromColor(const QColor& color);
    static QString HTMLColorStringFromColor(double red, double green, double blue);
};
