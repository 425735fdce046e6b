#pragma once
// cSearchWordList: the words a query looked for, so that hits can be marked where
// they are shown. Each item is one search term and may carry variant forms (other
// spellings or word forms that also count). A form names a word by its text or by
// its number in a word list, and may demand a word attribute (a Strong's number, a
// morphology code) that the occurrence must carry. A text form "*" without an
// attribute stands for any word.
//
// A list belongs to one query or result: built on a search thread, read on the main
// thread after the hand-over. No locking.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "search/core/SearchWordListFormat.h"

struct AnItem {
    static constexpr uint32_t kNoWordNumber = 0xFFFFFFFFu;

    uint8_t hasWord = 0;            // 1: named by text; 0: by word number
    uint8_t isCanonicalNumber = 0;  // 1: wordNumber is a canonical word number
    uint32_t wordNumber = kNoWordNumber;
    std::u16string word;           // empty for a numbered form
    std::u16string attribute;      // empty: no attribute demanded
    std::vector<AnItem> variants;  // only items have variants; variants have none

    uint32_t variantCount() const { return static_cast<uint32_t>(variants.size()); }
};

class cSearchWordList {
public:
    cSearchWordList() = default;

    // Empties the list, keeping its capacity.
    void removeAll();

    // Appends an item named by text (non-null) or by number. 0 on success,
    // non-zero when the list is full.
    int appendItem(const char16_t* word, uint32_t wordNumber, bool isCanonicalNumber, const char16_t* attribute);
    // isText: the item is the text (wordNumber kNoWordNumber); else the number.
    int addItem(bool isText, const char16_t* text, uint32_t number, bool isCanonicalNumber, const char16_t* attribute);
    // Appends a variant to item i: the variant count after adding, or 0 (nothing
    // added) when i is not below count().
    uint32_t addVariant(
        uint32_t i, const char16_t* word, uint32_t wordNumber, bool isCanonicalNumber, const char16_t* attribute);
    // Overwrites form j of item i (0: the item; j >= 1: variant j - 1, or the item
    // itself when it has fewer variants). Null text or attribute store empty
    // strings; hasWord records whether a text was given. 1 when i is out of range.
    int setForm(uint32_t i, uint32_t j, const char16_t* word, uint32_t wordNumber, bool isCanonicalNumber,
        const char16_t* attribute);
    int setItem(uint32_t i, bool isText, const char16_t* text, uint32_t number, bool isCanonicalNumber,
        const char16_t* attribute);

    uint32_t count() const { return static_cast<uint32_t>(m_items.size()); }
    uint32_t capacity() const { return m_capacity; }
    // i must be below count().
    const AnItem& itemAt(uint32_t i) const { return m_items[i]; }
    uint32_t formCount(uint32_t i) const;
    // Form j of item i: j = 0, or j beyond the variants, gives the item itself.
    const AnItem& itemForm(uint32_t i, uint32_t j) const;
    // Some form of item i is the bare "*" (text, no attribute). False past the end.
    bool hasBareWildcard(uint32_t i) const;

    // direction 0 reads a word-list record, any other direction writes one. False on
    // a short read or write, an unknown version, a bad string record or a count
    // above the capacity; after a failed read the list holds the items read so far.
    bool serialize(int direction, std::FILE* file);

private:
    static constexpr uint32_t kItemGrowth = 10;

    std::vector<AnItem> m_items;
    uint32_t m_capacity = 1;
};

// The holder through which result items keep their word list.
struct SearchWordListRef {
    cSearchWordList list;
    uint8_t hasAttributes = 0;    // some form demands a word attribute
    uint8_t hasDerivedForms = 0;  // some word was replaced by a derived (stem or sound) form
};
