#include "search/core/cSearchWordList.h"

#include "search/core/RecordIO.h"

namespace {

void fillForm(
    AnItem& form, const char16_t* word, uint32_t wordNumber, bool isCanonicalNumber, const char16_t* attribute)
{
    form.hasWord = word ? 1 : 0;
    form.isCanonicalNumber = isCanonicalNumber ? 1 : 0;
    form.wordNumber = wordNumber;
    form.word = word ? std::u16string(word) : std::u16string();
    form.attribute = attribute ? std::u16string(attribute) : std::u16string();
}

bool writeForm(std::FILE* file, const AnItem& form)
{
    return RecordIO::writeU8(file, form.hasWord) && RecordIO::writeU8(file, form.isCanonicalNumber) &&
        RecordIO::writeU32(file, form.wordNumber) && RecordIO::writeUtf16String(file, form.word) &&
        RecordIO::writeUtf16String(file, form.attribute);
}

bool readForm(std::FILE* file, AnItem& form)
{
    return RecordIO::readU8(file, form.hasWord) && RecordIO::readU8(file, form.isCanonicalNumber) &&
        RecordIO::readU32(file, form.wordNumber) && RecordIO::readUtf16String(file, form.word) &&
        RecordIO::readUtf16String(file, form.attribute);
}

}  // namespace

void cSearchWordList::removeAll()
{
    m_items.clear();
}

int cSearchWordList::appendItem(
    const char16_t* word, uint32_t wordNumber, bool isCanonicalNumber, const char16_t* attribute)
{
    if (m_items.size() >= 0xFFFFFFFFu)
        return 1;
    if (count() >= m_capacity)
        m_capacity = m_capacity > 0xFFFFFFFFu - kItemGrowth ? 0xFFFFFFFFu : m_capacity + kItemGrowth;
    AnItem item;
    fillForm(item, word, wordNumber, isCanonicalNumber, attribute);
    m_items.push_back(std::move(item));
    return 0;
}

int cSearchWordList::addItem(
    bool isText, const char16_t* text, uint32_t number, bool isCanonicalNumber, const char16_t* attribute)
{
    if (isText)
        return appendItem(text ? text : u"", AnItem::kNoWordNumber, isCanonicalNumber, attribute);
    return appendItem(nullptr, number, isCanonicalNumber, attribute);
}

uint32_t cSearchWordList::addVariant(
    uint32_t i, const char16_t* word, uint32_t wordNumber, bool isCanonicalNumber, const char16_t* attribute)
{
    if (i >= count())
        return 0;
    AnItem variant;
    fillForm(variant, word, wordNumber, isCanonicalNumber, attribute);
    auto& variants = m_items[i].variants;
    if (variants.size() == variants.capacity())
        variants.reserve(variants.size() + 3);
    variants.push_back(std::move(variant));
    return static_cast<uint32_t>(variants.size());
}

int cSearchWordList::setForm(uint32_t i, uint32_t j, const char16_t* word, uint32_t wordNumber, bool isCanonicalNumber,
    const char16_t* attribute)
{
    if (i >= count())
        return 1;
    AnItem& item = m_items[i];
    AnItem& form = (j >= 1 && j - 1 < item.variants.size()) ? item.variants[j - 1] : item;
    fillForm(form, word, wordNumber, isCanonicalNumber, attribute);
    return 0;
}

int cSearchWordList::setItem(
    uint32_t i, bool isText, const char16_t* text, uint32_t number, bool isCanonicalNumber, const char16_t* attribute)
{
    if (isText)
        return setForm(i, 0, text ? text : u"", AnItem::kNoWordNumber, isCanonicalNumber, attribute);
    return setForm(i, 0, nullptr, number, isCanonicalNumber, attribute);
}

uint32_t cSearchWordList::formCount(uint32_t i) const
{
    return i < count() ? m_items[i].variantCount() + 1 : 0;
}

const AnItem& cSearchWordList::itemForm(uint32_t i, uint32_t j) const
{
    const AnItem& item = m_items[i];
    return (j >= 1 && j - 1 < item.variants.size()) ? item.variants[j - 1] : item;
}

bool cSearchWordList::hasBareWildcard(uint32_t i) const
{
    if (i >= count())
        return false;
    auto bare = [](const AnItem& f) { return f.hasWord && f.word == u"*" && f.attribute.empty(); };
    const AnItem& item = m_items[i];
    if (bare(item))
        return true;
    for (const AnItem& v : item.variants)
        if (bare(v))
            return true;
    return false;
}

bool cSearchWordList::serialize(int direction, std::FILE* file)
{
    if (!file)
        return false;
    if (direction != 0) {
        if (!RecordIO::writeU32(file, kSearchWordListVersion) || !RecordIO::writeU32(file, m_capacity) ||
            !RecordIO::writeU32(file, count()))
            return false;
        for (const AnItem& item : m_items) {
            if (!writeForm(file, item) || !RecordIO::writeU32(file, item.variantCount()))
                return false;
            for (const AnItem& v : item.variants)
                if (!writeForm(file, v))
                    return false;
        }
        return true;
    }

    uint32_t version, capacity, itemCount;
    if (!RecordIO::readU32(file, version) ||
        (version != kSearchWordListVersion && version != kSearchWordListVersionNoVariants))
        return false;
    if (!RecordIO::readU32(file, capacity) || !RecordIO::readU32(file, itemCount))
        return false;
    // The writer never produces more items than slots; such a record is damaged.
    if (itemCount > capacity)
        return false;
    m_items.clear();
    m_capacity = capacity;
    for (uint32_t k = 0; k < itemCount; ++k) {
        AnItem item;
        if (!readForm(file, item))
            return false;
        if (version == kSearchWordListVersion) {
            uint32_t variantCount;
            if (!RecordIO::readU32(file, variantCount))
                return false;
            for (uint32_t v = 0; v < variantCount; ++v) {
                AnItem variant;
                if (!readForm(file, variant))
                    return false;
                item.variants.push_back(std::move(variant));
            }
            item.variants.shrink_to_fit();
        }
        m_items.push_back(std::move(item));
    }
    return true;
}
