// cBkGenInfoStg: the "INFO" storage, the book's general information (layout in BkInfoFormat.h).
//
// The header is normalised by file version when read (fields that older versions did not have are
// cleared, the new layout's flags and marker bytes are swapped) and, for the versions that carry one,
// checked against its stored checksum. Accessors answer their "unknown" value when not attached.
// String readers take the container mutex; the word-attribute table and the language name are made
// on first use without a lock, by the thread that uses the book.

#pragma once

#include <memory>
#include <string>

#include "engine/bookfile/BkInfoFormat.h"
#include "engine/bookfile/cBkSubstorageSupport.h"
#include "engine/bookfile/cBkWordAttributeDefs.h"
#include "engine/foundation/cStartupHook.h"

// The named character entities of book information texts ("&eacute;"). The default knows the XML
// entities and a few common typographic ones; the application installs the renderer's full table.
class cBkInfoEntityLookup : public cStartupHook<cBkInfoEntityLookup> {
public:
    virtual ~cBkInfoEntityLookup() = default;
    // The entity's code point, or 0 when unknown.
    virtual uint32_t entity(const std::string& name) const;
};

class cBkGenInfoStg : public cBkSubstorageSupport {
public:
    cBkGenInfoStg();

    uint32_t open(cBkStreamFile* container) override;
    uint32_t readHeader() override;

    uint8_t minimumReaderMajor() const { return m_hdr[BkInfoFormat::kMinReaderMajor]; }
    uint8_t minimumReaderMinor() const { return m_hdr[BkInfoFormat::kMinReaderMinor]; }
    uint8_t fileMajor() const { return m_hdr[BkInfoFormat::kFileMajor]; }
    uint8_t fileMinor() const { return m_hdr[BkInfoFormat::kFileMinor]; }

    uint16_t publisherId() const;
    uint16_t bookId() const;
    uint8_t edition() const;
    uint8_t revision() const;

    uint8_t flags() const { return m_hdr[BkInfoFormat::kFlags]; }
    bool headerFlag0() const { return (flags() & BkInfoFormat::kFlagBible) != 0; }
    bool noVerseNumbersFlag() const { return (flags() & BkInfoFormat::kFlagNoVerseNumbers) != 0; }
    uint8_t bookType() const { return (flags() & BkInfoFormat::kBookTypeMask) >> BkInfoFormat::kBookTypeShift; }
    bool ignoreIntraBookSyncFlag() const { return (flags() & BkInfoFormat::kFlagIgnoreIntraBookSync) != 0; }

    uint16_t strongsHebrewFirst() const { return u16(BkInfoFormat::kStrongsHebrew1); }
    uint16_t strongsHebrewSecond() const { return u16(BkInfoFormat::kStrongsHebrew2); }
    uint16_t strongsGreekFirst() const { return u16(BkInfoFormat::kStrongsGreek1); }
    uint16_t strongsGreekSecond() const { return u16(BkInfoFormat::kStrongsGreek2); }
    bool hasStrongsHebrew() const { return strongsHebrewFirst() != 0 && strongsHebrewSecond() != 0; }
    bool hasStrongsGreek() const { return strongsGreekFirst() != 0 && strongsGreekSecond() != 0; }

    uint32_t languageNumber() const;
    const std::string& languageName();

    // String readers: clear `out`, then read the string when attached and its position is not 0.
    // With `decode`, named character entities ("&amp;") are replaced by their characters.
    void bookName(std::string& out, bool decode, uint32_t* result = nullptr);
    void abbreviatedTitle(std::string& out, bool decode) { readField(BkInfoFormat::kAbbreviatedTitle, out, decode); }
    void copyright(std::string& out, bool decode) { readField(BkInfoFormat::kCopyright, out, decode); }
    void author(std::string& out, bool decode) { readField(BkInfoFormat::kAuthor, out, decode); }
    void publisher(std::string& out, bool decode) { readField(BkInfoFormat::kPublisher, out, decode); }
    void publisherCity(std::string& out, bool decode) { readField(BkInfoFormat::kPublisherCity, out, decode); }
    void publisherDate(std::string& out, bool decode) { readField(BkInfoFormat::kPublisherDate, out, decode); }
    void subtitle(std::string& out, bool decode) { readField(BkInfoFormat::kSubtitle, out, decode); }
    // With `fallback`, an empty sort title reads as the abbreviated title.
    void sortTitle(std::string& out, bool decode, bool fallback);
    // A Bible without its own ranges string gets the default Old/New Testament ranges.
    void bookRangesString(std::string& out, bool decode);
    void bibleBooksString(std::string& out, bool decode) { readField(BkInfoFormat::kBibleBooks, out, decode); }
    void wordAttributeDefsString(std::string& out, bool decode)
    {
        readField(BkInfoFormat::kWordAttributeDefs, out, decode);
    }

    uint32_t bookNameListVersion() const { return u32(BkInfoFormat::kBookNameListVersion); }
    uint32_t bookNumToNameNumVersion() const { return u32(BkInfoFormat::kBookNumToNameNumVersion); }
    uint32_t transListVersion() const { return u32(BkInfoFormat::kTransListVersion); }
    uint32_t bibleBooksVersion() const { return u32(BkInfoFormat::kBibleBooksVersion); }
    uint32_t nameNumberToBookCategoriesVersion() const { return u32(BkInfoFormat::kNameNumberToBookCategoriesVersion); }
    uint32_t verseMapVersion() const { return u32(BkInfoFormat::kVerseMapVersion); }
    uint32_t totalOrderOnBookNumberVersion() const { return u32(BkInfoFormat::kTotalOrderOnBookNumberVersion); }
    uint32_t fixUpRefMapVersion() const { return u32(BkInfoFormat::kFixUpRefMapVersion); }
    uint32_t getKeyMapVersion() const { return u32(BkInfoFormat::kGetKeyMapVersion); }
    uint32_t doMapSpecialCasesMapVersion() const { return u32(BkInfoFormat::kDoMapSpecialCasesMapVersion); }
    uint32_t getChapterNumberSpellingMapVersion() const
    {
        return u32(BkInfoFormat::kGetChapterNumberSpellingMapVersion);
    }
    uint32_t isOneChapterBookListVersion() const { return u32(BkInfoFormat::kIsOneChapterBookListVersion); }

    bool hasWordAttributeDefs();
    const cBkWordAttributeDefs& wordAttributeDefs();

    // The same readers into the engine's strings.
    void bookName(cLString8& out, bool decode, uint32_t* result = nullptr)
    {
        into(out, &cBkGenInfoStg::bookNameStd, decode, result);
    }
    void abbreviatedTitle(cLString8& out, bool decode) { field(out, BkInfoFormat::kAbbreviatedTitle, decode); }
    void copyright(cLString8& out, bool decode) { field(out, BkInfoFormat::kCopyright, decode); }
    void author(cLString8& out, bool decode) { field(out, BkInfoFormat::kAuthor, decode); }
    void publisher(cLString8& out, bool decode) { field(out, BkInfoFormat::kPublisher, decode); }
    void publisherCity(cLString8& out, bool decode) { field(out, BkInfoFormat::kPublisherCity, decode); }
    void publisherDate(cLString8& out, bool decode) { field(out, BkInfoFormat::kPublisherDate, decode); }
    void subtitle(cLString8& out, bool decode) { field(out, BkInfoFormat::kSubtitle, decode); }
    void sortTitle(cLString8& out, bool decode, bool fallback)
    {
        std::string s;
        sortTitle(s, decode, fallback);
        bkAssign(out, s);
    }
    void bookRangesString(cLString8& out, bool decode)
    {
        std::string s;
        bookRangesString(s, decode);
        bkAssign(out, s);
    }
    void bibleBooksString(cLString8& out, bool decode) { field(out, BkInfoFormat::kBibleBooks, decode); }
    void wordAttributeDefsString(cLString8& out, bool decode) { field(out, BkInfoFormat::kWordAttributeDefs, decode); }

    // Replaces named entities in UTF-8 text, looked up through cBkInfoEntityLookup.
    static std::string decodeEntities(const std::string& text);

private:
    void bookNameStd(std::string& out, bool decode, uint32_t* result) { bookName(out, decode, result); }
    void into(
        cLString8& out, void (cBkGenInfoStg::*reader)(std::string&, bool, uint32_t*), bool decode, uint32_t* result)
    {
        std::string s;
        (this->*reader)(s, decode, result);
        bkAssign(out, s);
    }
    void field(cLString8& out, uint32_t fieldOffset, bool decode)
    {
        std::string s;
        readField(fieldOffset, s, decode);
        bkAssign(out, s);
    }
    void readField(uint32_t fieldOffset, std::string& out, bool decode, uint32_t* result = nullptr);
    uint16_t u16(uint32_t off) const { return bkGetLE16(m_hdr + off); }
    uint32_t u32(uint32_t off) const { return bkGetLE32(m_hdr + off); }
    uint32_t checkChecksum();

    uint8_t m_hdr[BkInfoFormat::kHeaderSize] = {};
    std::unique_ptr<cBkWordAttributeDefs> m_defs;
    bool m_languageNameMade = false;
    std::string m_languageName;
};
