#include "engine/references/bibleRefRecord.h"

#include "engine/references/cBibleRef.h"

namespace bibleRefRecord {

namespace {

std::uint8_t startByte(std::int32_t v)
{
    return v == -1 ? kWhole : static_cast<std::uint8_t>(v & 0xFF);
}

std::uint8_t endByte(std::int32_t v)
{
    return v == -2 ? kLast : v == -1 ? kWhole : static_cast<std::uint8_t>(v & 0xFF);
}

void putVerse(std::vector<std::uint8_t>& body, std::uint8_t verse, std::uint8_t part)
{
    if (part != 0 || verse == kVerseWithPart) {
        body.push_back(kVerseWithPart);
        body.push_back(verse);
        body.push_back(part);
    } else {
        body.push_back(verse);
    }
}

}  // namespace

void encode(const cBibleRef& ref, std::vector<std::uint8_t>& out)
{
    std::vector<std::uint8_t> body;
    std::uint8_t translation = static_cast<std::uint8_t>(ref.translation() & kTranslationMask);
    if (ref.hints() & kBibleRefHintVerseOnly)
        translation |= kHintVerseOnly;
    else if (ref.hints() & kBibleRefHintNoBook)
        translation |= kHintNoBook;
    body.push_back(translation);
    for (const bibleRefRange* r = ref.firstRange(); r; r = r->next) {
        const bool hasEnd = cBibleRef::isSpan(r);
        const std::uint8_t book = static_cast<std::uint8_t>(r->startBook & 0xFF);
        if (book >= kBookEscape) {
            body.push_back(static_cast<std::uint8_t>((hasEnd ? kHasEnd : 0) | kBookEscape));
            body.push_back(book);
        } else {
            body.push_back(static_cast<std::uint8_t>((hasEnd ? kHasEnd : 0) | book));
        }
        body.push_back(startByte(r->startChapter));
        const std::uint8_t startVerse = startByte(r->startVerse);
        putVerse(body, startVerse, startVerse == kWhole ? 0 : r->startPart);
        if (hasEnd) {
            body.push_back(static_cast<std::uint8_t>(r->endBook & 0xFF));
            body.push_back(endByte(r->endChapter));
            const std::uint8_t endVerse = endByte(r->endVerse);
            putVerse(body, endVerse, (endVerse == kWhole || endVerse == kLast) ? 0 : r->endPart);
        }
    }
    if (body.size() <= 0xFF) {
        out.push_back(static_cast<std::uint8_t>(body.size()));
    } else {
        out.push_back(kLongLength);
        const auto n = static_cast<std::uint32_t>(body.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(n >> shift));
    }
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace bibleRefRecord
