#include "engine/references/cBibleRef.h"

#include "engine/references/cBibleRefText.h"

#include <cstdio>

namespace {

constexpr std::int32_t kForgotBook = -1;
constexpr std::int32_t kForgotChapter = -3;
constexpr std::int32_t kForgotVerse = -4;

std::int32_t asOne(std::int32_t v)
{
    return v == -1 ? 1 : v;
}
bool isWhole(std::int32_t v)
{
    return v == -1 || v == -2;
}

// Verse-order exchange of books 106-109, applied after a key is split (forward) and in
// reverse when a key is composed.
int exchangeVerse(int book, int chapter, int verse, bool forward)
{
    switch (book) {
    case 106:
        if (chapter == 20 && (verse == 22 || verse == 23))
            return verse == 22 ? 23 : 22;
        break;
    case 107:
        if (chapter != 14)
            break;
        if (forward) {
            if (verse >= 8 && verse <= 10)
                return verse + 7;
            if (verse >= 11 && verse <= 17)
                return verse - 3;
        } else {
            if (verse >= 15 && verse <= 17)
                return verse - 7;
            if (verse >= 8 && verse <= 14)
                return verse + 3;
        }
        break;
    case 108:
        if (chapter == 27 && (verse == 11 || verse == 12))
            return verse == 11 ? 12 : 11;
        break;
    case 109:
        if (chapter == 2 && (verse == 2 || verse == 3))
            return verse == 2 ? 3 : 2;
        break;
    default:
        break;
    }
    return verse;
}

void appendDecimal(std::string& out, long value)
{
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%ld", value);
    out += buffer;
}

void appendHexByte(std::string& out, std::int32_t value)
{
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned>(value & 0xFF));
    out += buffer;
}

// Writes the spelling of one reference; holds the previous-part markers of step to step.
class SpellingWriter {
public:
    SpellingWriter(const cBibleRefTables& tables, const cBibleRef& ref, std::uint32_t flags)
        : t_(tables), ref_(ref), flags_(flags)
    {
    }

    std::string run();

private:
    bool has(std::uint32_t bits) const { return (flags_ & bits) != 0; }
    void writeEndpoint(std::int32_t book, std::int32_t chapter, std::int32_t verse, std::uint8_t part);
    void writeBookName(std::int32_t book);
    void writeChapter(std::int32_t book, std::int32_t chapter);
    void writeVerse(std::int32_t book, std::int32_t chapter, std::int32_t verse, std::uint8_t part);
    void writeSeparator(std::int32_t book);
    void writeTranslation();

    const cBibleRefTables& t_;
    const cBibleRef& ref_;
    std::uint32_t flags_;
    std::string out_;
    std::int32_t prevBook_ = kForgotBook, prevChapter_ = kForgotChapter, prevVerse_ = kForgotVerse;
    int depth_ = 0;
};

std::string bookNameText(const cBibleRefTables& t, int language, std::int32_t book, std::uint32_t flags)
{
    const int nameNumber = t.nameNumberOfBook(book);
    const std::uint8_t kind = (flags & kSpellFullNames) ? kBookNameFull : kBookNameAbbreviationSource;
    for (const BookNameRow& row : t.bookNames(language)) {
        if (nameNumber == 0 || row.nameNumber != nameNumber || !(row.kinds & kind))
            continue;
        if (!(flags & kSpellFullNames)) {
            const std::string abbreviation = cBibleRefText::firstChars(row.text, row.minimumMatch);
            return (flags & kSpellUTF8) ? cBibleRefText::toUTF8(abbreviation) : abbreviation;
        }
        std::string text = (flags & kSpellUTF8) ? cBibleRefText::toUTF8(row.text) : row.text;
        if (flags & kSpellSpoken) {
            static const char* const kOrdinals[] = {"First ", "Second ", "Third ", "Fourth "};
            if (text.size() >= 2 && text[0] >= '1' && text[0] <= '4' && text[1] == ' ')
                text = kOrdinals[text[0] - '1'] + text.substr(2);
            for (std::size_t p; (p = text.find(" (Greek)")) != std::string::npos;)
                text.erase(p, 8);
        }
        return text;
    }
    return "ERROR";
}

void SpellingWriter::writeBookName(std::int32_t book)
{
    out_ += bookNameText(t_, ref_.nameListLanguage(), book, flags_);
}

void SpellingWriter::writeChapter(std::int32_t book, std::int32_t chapter)
{
    if (const ChapterWordRow* word = t_.chapterWordForSpelling(book, chapter)) {
        out_ += has(kSpellFullNames) ? word->longWord : word->shortWord;
        return;
    }
    if (t_.isOneChapterBook(book) && !has(kSpellChapterAlways | kSpellChapterOnly))
        return;
    appendDecimal(out_, chapter);
}

void SpellingWriter::writeVerse(std::int32_t book, std::int32_t chapter, std::int32_t verse, std::uint8_t part)
{
    for (const FixUpRow& row : t_.fixUps()) {
        if (row.targetBook != book || row.targetChapter != chapter)
            continue;
        if (!row.shifting) {
            if (row.targetVerse == verse && (row.targetPart == kAnyPart || row.targetPart == part)) {
                verse = row.sourceVerse;
                part = row.sourcePart == kAnyPart ? 0 : row.sourcePart;
                break;
            }
        } else if (row.sourceVerse + row.targetVerse <= verse) {
            verse -= row.targetVerse;
            if (row.targetPart != kAnyPart)
                part = row.targetPart;
            break;
        }
    }
    appendDecimal(out_, verse);
    if (part != 0)
        out_ += static_cast<char>(part);
}

void SpellingWriter::writeSeparator(std::int32_t book)
{
    if (has(kSpellBookOnly | kSpellChapterOnly | kSpellVerseOnly | kSpellNoVerse))
        return;
    if (!has(kSpellChapterAlways) && t_.isOneChapterBook(book))
        return;
    out_ += has(kSpellSeparatorDot) ? "." : has(kSpellSeparatorBlank) ? " " : ":";
}

void SpellingWriter::writeEndpoint(std::int32_t book, std::int32_t chapter, std::int32_t verse, std::uint8_t part)
{
    const bool verseShown = !has(kSpellBookOnly | kSpellChapterOnly | kSpellNoVerse);
    if (book != prevBook_) {
        if (!has(kSpellChapterOnly | kSpellVerseOnly | kSpellNoBook))
            writeBookName(book);
        depth_ = 1;
        if (!isWhole(chapter)) {
            const bool blank = !has(kSpellBookOnly | kSpellChapterOnly | kSpellVerseOnly | kSpellNoBook);
            if (blank)
                out_ += ' ';
            const std::size_t afterBlank = out_.size();
            if (!has(kSpellBookOnly | kSpellVerseOnly))
                writeChapter(book, chapter);
            depth_ = 2;
            if (!isWhole(verse)) {
                writeSeparator(book);
                if (verseShown)
                    writeVerse(book, chapter, verse, part);
                depth_ = 3;
            }
            // A one-chapter book shown whole writes no chapter: no blank after its name.
            if (blank && out_.size() == afterBlank)
                out_.pop_back();
        }
    } else if (asOne(chapter) != prevChapter_) {
        if (!isWhole(chapter)) {
            if (!has(kSpellBookOnly | kSpellVerseOnly))
                writeChapter(book, chapter);
            depth_ = 2;
            if (!isWhole(verse)) {
                writeSeparator(book);
                if (verseShown)
                    writeVerse(book, chapter, verse, part);
                depth_ = 3;
            }
        }
    } else if (!isWhole(verse)) {
        if (verseShown)
            writeVerse(book, chapter, verse, part);
        depth_ = 3;
    }
    prevBook_ = book;
    prevChapter_ = asOne(chapter);
    prevVerse_ = asOne(verse);
}

void SpellingWriter::writeTranslation()
{
    const TranslationRow* row = t_.translationByNumber(static_cast<int>(ref_.translation()), true);
    if (!row) {
        out_ += "(ERROR)";
        return;
    }
    if (has(kSpellTranslationParens))
        out_ += '(';
    const std::string& text = has(kSpellTranslationName) ? row->name : row->abbreviation;
    out_ += has(kSpellUTF8) ? cBibleRefText::toUTF8(text) : text;
    if (has(kSpellTranslationParens))
        out_ += ')';
}

std::string SpellingWriter::run()
{
    const bool keyLink = has(kSpellKeyLink | kSpellTypedText);
    const char* listJoiner = has(kSpellSpoken) ? " and " : ",";
    const char* rangeJoiner = has(kSpellSpoken) ? " to " : "-";
    const bibleRefRange* previous = nullptr;
    for (const bibleRefRange* r = ref_.firstRange(); r; previous = r, r = r->next) {
        const int depth = r->startChapter == -1 ? 1 : r->startVerse == -1 ? 2 : 3;
        if (previous) {
            // A typed separator written after the previous range replaces the joiner.
            const bool typedJoiner = has(kSpellTypedText) && previous->followingText.has_value();
            if (!typedJoiner) {
                const bool list = depth == depth_ &&
                    ((depth == 2 && r->startBook == prevBook_) ||
                        (depth == 3 && r->startBook == prevBook_ && asOne(r->startChapter) == prevChapter_));
                out_ += list ? listJoiner : "; ";
            }
            if (depth_ < depth) {
                if (r->startVerse == -1)
                    prevBook_ = kForgotBook;
                else
                    prevChapter_ = kForgotChapter;
            } else if (depth_ > depth) {
                if (r->startChapter != -1)
                    prevChapter_ = kForgotChapter;
                else
                    prevBook_ = kForgotBook;
            } else if (depth == 3) {
                prevVerse_ = kForgotVerse;
            } else if (depth == 2) {
                prevChapter_ = kForgotChapter;
            } else {
                prevBook_ = kForgotBook;
            }
        }

        std::size_t textLinkStart = 0;
        if (keyLink) {
            if (!cBibleRef::isSpan(r)) {
                out_ += "<a href=\"bible:#";
                appendHexByte(out_, static_cast<std::int32_t>(ref_.translation()));
                appendHexByte(out_, r->startBook);
                appendHexByte(out_, asOne(r->startChapter));
                appendHexByte(out_, asOne(r->startVerse));
            } else {
                out_ += "<a href=\"bible:-";
                appendHexByte(out_, static_cast<std::int32_t>(ref_.translation()));
                for (std::int32_t v :
                    {r->startBook, r->startChapter, r->startVerse, r->endBook, r->endChapter, r->endVerse})
                    appendHexByte(out_, v);
            }
            out_ += "\">";
        } else if (has(kSpellLinkTag)) {
            out_ += "<LINK BIBLE=";
            writeBookName(r->startBook);
            out_ += ' ';
            appendDecimal(out_, asOne(r->startChapter));
            out_ += ':';
            appendDecimal(out_, asOne(r->startVerse));
            out_ += '>';
        } else if (has(kSpellTextLink)) {
            textLinkStart = out_.size();
        }

        if (has(kSpellTypedText) && r->typedText) {
            out_ += *r->typedText;
        } else {
            writeEndpoint(r->startBook, r->startChapter, r->startVerse, r->startPart);
            const bool said = r->endBook == prevBook_ &&
                (r->endChapter == -2 || asOne(r->endChapter) == prevChapter_) &&
                (r->endVerse == -2 || asOne(r->endVerse) == prevVerse_) && r->endPart == r->startPart;
            if (cBibleRef::isSpan(r) && !said) {
                out_ += rangeJoiner;
                writeEndpoint(r->endBook, r->endChapter, r->endVerse, r->endPart);
            }
        }

        if (keyLink) {
            out_ += "</a>";
        } else if (has(kSpellLinkTag)) {
            out_ += "</LINK>";
        } else if (has(kSpellTextLink)) {
            const std::string text = out_.substr(textLinkStart);
            out_.resize(textLinkStart);
            out_ += "<a href=\"bible:" + text + "\">" + text + "</a>";
        }
        if (has(kSpellTypedText) && r->followingText)
            out_ += *r->followingText;
    }
    if (has(kSpellTranslation | kSpellTranslationParens | kSpellTranslationName)) {
        if (out_.empty() || out_.back() != ' ')
            out_ += ' ';
        writeTranslation();
    }
    return out_;
}

}  // namespace

// ---------------------------------------------------------------------------------------

bool bibleRefRange::sameFields(const bibleRefRange& o) const
{
    return startBook == o.startBook && startChapter == o.startChapter && startVerse == o.startVerse &&
        startPart == o.startPart && endBook == o.endBook && endChapter == o.endChapter && endVerse == o.endVerse &&
        endPart == o.endPart;
}

cBibleRef::cBibleRef() = default;

cBibleRef::cBibleRef(packedBibleKey key)
{
    setFromKey(key);
}

cBibleRef::cBibleRef(const bibleRefRange* node)
{
    if (!node)
        return;
    appendRangeCopy(*node);
    formatSpelling(0);
}

cBibleRef::cBibleRef(const cBibleRef& other)
{
    copyFrom(other);
}

cBibleRef& cBibleRef::operator=(const cBibleRef& other)
{
    if (this != &other) {
        removeAllRanges();
        copyFrom(other);
    }
    return *this;
}

cBibleRef::~cBibleRef()
{
    removeAllRanges();
}

void cBibleRef::copyFrom(const cBibleRef& other)
{
    translation_ = other.translation_;
    language_ = other.language_;
    hints_ = other.hints_;
    spelledWith_ = other.spelledWith_;
    spelling_ = other.spelling_;
    for (const bibleRefRange* r = other.first_; r; r = r->next)
        appendRangeCopy(*r);
}

bool cBibleRef::operator==(const cBibleRef& other) const
{
    if (translation_ != other.translation_)
        return false;
    const bibleRefRange* a = first_;
    const bibleRefRange* b = other.first_;
    for (; a && b; a = a->next, b = b->next)
        if (!a->sameFields(*b))
            return false;
    return a == nullptr && b == nullptr;
}

void cBibleRef::removeAllRanges()
{
    while (first_) {
        bibleRefRange* next = first_->next;
        delete first_;
        first_ = next;
    }
    last_ = nullptr;
    invalidateSpelling();
}

bibleRefRange* cBibleRef::appendRange()
{
    auto* node = new bibleRefRange;
    if (last_)
        last_->next = node;
    else
        first_ = node;
    last_ = node;
    invalidateSpelling();
    return node;
}

bibleRefRange* cBibleRef::appendRangeCopy(const bibleRefRange& range)
{
    bibleRefRange* node = appendRange();
    bibleRefRange* keep = node->next;
    *node = range;
    node->next = keep;
    return node;
}

void cBibleRef::truncateRangesFrom(bibleRefRange* node)
{
    if (!node)
        return;
    bibleRefRange* before = nullptr;
    bibleRefRange* r = first_;
    while (r && r != node) {
        before = r;
        r = r->next;
    }
    if (!r)
        return;  // not in this list
    while (r) {
        bibleRefRange* next = r->next;
        delete r;
        r = next;
    }
    if (before)
        before->next = nullptr;
    else
        first_ = nullptr;
    last_ = before;
    invalidateSpelling();
}

int cBibleRef::rangeCount() const
{
    int n = 0;
    for (const bibleRefRange* r = first_; r; r = r->next)
        ++n;
    return n;
}

bool cBibleRef::isSpan(const bibleRefRange* node)
{
    return node &&
        !(node->startBook == node->endBook && node->startChapter == node->endChapter &&
            node->startVerse == node->endVerse && node->startPart == node->endPart);
}

void cBibleRef::setFromKey(packedBibleKey key)
{
    removeAllRanges();
    translation_ = 0;
    hints_ = 0;
    spelling_.makeEmpty();
    if (key != 0) {
        bibleRefRange* r = appendRange();
        r->startBook = r->endBook = bibleKeyBook(key);
        const int chapter = bibleKeyChapter(key);
        const int verse = bibleKeyVerse(key);
        if (chapter == 255) {
            r->startChapter = -1;
            r->endChapter = -2;
        } else {
            r->startChapter = r->endChapter = chapter;
        }
        if (verse == 255) {
            r->startVerse = -1;
            r->endVerse = -2;
        } else {
            r->startVerse = r->endVerse = verse;
        }
    }
    spelledWith_ = -1;
    formatSpelling(0);
}

packedBibleKey cBibleRef::startKey() const
{
    return startKeyOf(first_);
}

packedBibleKey cBibleRef::startKeyOf(const bibleRefRange* node)
{
    if (!node)
        return 0;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    int chapter = node->startChapter == -1 ? 1 : node->startChapter;
    int verse = node->startVerse == -1 ? 1 : node->startVerse;
    for (const KeyMapRow& row : t->keyMap()) {
        if (row.book > node->startBook)
            break;
        if (row.book != node->startBook || row.chapter != node->startChapter)
            continue;
        if (row.verse != node->startVerse && row.verse != kAnyVerse)
            continue;
        if (row.keyChapter != kAnyVerse)
            chapter = row.keyChapter;
        if (row.keyVerse != kAnyVerse)
            verse = row.keyVerse;
        break;
    }
    return makeBibleKey(node->startBook, chapter, verse);
}

packedBibleKey cBibleRef::endKeyOf(const bibleRefRange* node)
{
    if (!node)
        return 0;
    return makeBibleKey(node->endBook, node->endChapter, node->endVerse);
}

bool cBibleRef::getStartBookChapterVerse(int& nameNumber, int& chapter, int& verse) const
{
    if (!first_)
        return false;
    const packedBibleKey key = startKey();
    const int book = bibleKeyBook(key);
    nameNumber = cBibleRefTables::current()->nameNumberOfBook(book);
    chapter = bibleKeyChapter(key);
    verse = exchangeVerse(book, chapter, bibleKeyVerse(key), true);
    return true;
}

packedBibleKey cBibleRef::keyFromNameChapterVerse(int translation, int nameNumber, int chapter, int verse)
{
    const int book = cBibleRefTables::current()->bookForName(nameNumber, translation);
    if (book == 0)
        return 0;
    return makeBibleKey(book, chapter, exchangeVerse(book, chapter, verse, false));
}

std::string cBibleRef::nextAlternativeSpelling(int nameNumber, int& index, bool utf8) const
{
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const std::vector<BookNameRow>& names = t->bookNames(nameListLanguage());
    const int count = static_cast<int>(names.size());
    for (int i = index < 0 ? 0 : index + 1; i < count; ++i) {
        const BookNameRow& row = names[static_cast<std::size_t>(i)];
        if (row.nameNumber != nameNumber || (row.kinds & kBookNameFull))
            continue;
        index = i;
        return utf8 ? cBibleRefText::toUTF8(row.text) : row.text;
    }
    index = count;
    return std::string();
}

void cBibleRef::formatSpelling(std::uint32_t flags)
{
    if (static_cast<std::int32_t>(flags) == spelledWith_)
        return;
    spelling_.makeEmpty();
    if (!first_)
        return;
    spelledWith_ = static_cast<std::int32_t>(flags);
    std::uint32_t effective = flags;
    if (effective & kSpellSpoken)
        effective |= kSpellFullNames | kSpellSeparatorBlank;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const std::string text = SpellingWriter(*t, *this, effective).run();
    spelling_.appendChars(text.data(), static_cast<std::int32_t>(text.size()));
}

void cBibleRef::setToFrontMatter(int translation)
{
    setFromKey(makeBibleKey(67, 1, 1));
    setTranslation(translation);
}

int cBibleRef::nextChapter()
{
    if (!first_ || first_->startChapter < 0)
        return 1;
    const int book = first_->startBook;
    const int chapter = first_->startChapter + 1;
    if (chapter > 253)
        return 1;
    int verse = 1;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    for (const KeyMapRow& row : t->keyMap()) {
        if (row.book > book)
            break;
        if (row.book == book && row.chapter == chapter && (row.verse == -1 || row.verse == kAnyVerse) &&
            row.keyVerse != kAnyVerse) {
            verse = row.keyVerse;
            break;
        }
    }
    const std::uint32_t translation = translation_;
    const std::uint16_t language = language_;
    setFromKey(makeBibleKey(book, chapter, verse));
    language_ = language;
    setTranslation(static_cast<int>(translation));
    return 0;
}

int cBibleRef::nextBook()
{
    if (!first_)
        return 1;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const int translation = translation_ == 0 ? 1 : static_cast<int>(translation_);
    const int position = t->positionOfBook(translation, first_->startBook);
    if (position < 0)
        return 1;
    const int book = t->bookAtPosition(translation, position + 1);
    if (book <= 0)
        return 1;
    int chapter = 1, verse = 1;
    for (const KeyMapRow& row : t->keyMap()) {
        if (row.book > book)
            break;
        if (row.book == book && row.chapter == -1) {
            if (row.keyChapter != kAnyVerse)
                chapter = row.keyChapter;
            if (row.keyVerse != kAnyVerse)
                verse = row.keyVerse;
            break;
        }
    }
    const std::uint32_t keep = translation_;
    const std::uint16_t language = language_;
    setFromKey(makeBibleKey(book, chapter, verse));
    translation_ = keep;
    language_ = language;
    spelledWith_ = -1;
    return 0;
}

bool cBibleRef::isOneChapterBook(int book)
{
    return cBibleRefTables::current()->isOneChapterBook(book);
}

int cBibleRef::generalCategory() const
{
    if (!first_)
        return 255;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const CategoryRow* row = t->categories(t->nameNumberOfBook(first_->startBook));
    return row ? row->general : 255;
}

int cBibleRef::detailedCategory() const
{
    if (!first_)
        return 255;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const CategoryRow* row = t->categories(t->nameNumberOfBook(first_->startBook));
    if (!row)
        return 255;
    const TranslationRow* translation = t->translationByNumber(static_cast<int>(translation_), false);
    return (translation && translation->alternateCategories) ? row->alternateDetailed : row->detailed;
}

void cBibleRef::setEntityLookup(EntityLookup lookup)
{
    cBibleRefText::setEntityLookup(lookup);
}
