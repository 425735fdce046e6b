#include "tools/tvkbuild/import/TvkModuleImport.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string_view>

#include "engine/references/bibleRefRecord.h"
#include "engine/references/cBibleRef.h"
#include "engine/references/cBibleRefDefaults.h"

namespace {

using Token = TvkMarkupToken;

// Deeper markup is not text but damage (real entries nest a few elements deep); refusing it keeps the
// readers' recursion bounded.
constexpr size_t kMaxNesting = 64;

const std::vector<TvkBookName> kBooks = {
    {1, "Genesis", "Gen"},
    {2, "Exodus", "Exod"},
    {3, "Leviticus", "Lev"},
    {4, "Numbers", "Num"},
    {5, "Deuteronomy", "Deut"},
    {6, "Joshua", "Josh"},
    {7, "Judges", "Judg"},
    {8, "Ruth", "Ruth"},
    {9, "I Samuel", "1Sam"},
    {10, "II Samuel", "2Sam"},
    {11, "I Kings", "1Kgs"},
    {12, "II Kings", "2Kgs"},
    {13, "I Chronicles", "1Chr"},
    {14, "II Chronicles", "2Chr"},
    {15, "Ezra", "Ezra"},
    {16, "Nehemiah", "Neh"},
    {17, "Esther", "Esth"},
    {18, "Job", "Job"},
    {19, "Psalms", "Ps"},
    {20, "Proverbs", "Prov"},
    {21, "Ecclesiastes", "Eccl"},
    {22, "Song of Solomon", "Song"},
    {23, "Isaiah", "Isa"},
    {24, "Jeremiah", "Jer"},
    {25, "Lamentations", "Lam"},
    {26, "Ezekiel", "Ezek"},
    {27, "Daniel", "Dan"},
    {28, "Hosea", "Hos"},
    {29, "Joel", "Joel"},
    {30, "Amos", "Amos"},
    {31, "Obadiah", "Obad"},
    {32, "Jonah", "Jonah"},
    {33, "Micah", "Mic"},
    {34, "Nahum", "Nah"},
    {35, "Habakkuk", "Hab"},
    {36, "Zephaniah", "Zeph"},
    {37, "Haggai", "Hag"},
    {38, "Zechariah", "Zech"},
    {39, "Malachi", "Mal"},
    {40, "Matthew", "Matt"},
    {41, "Mark", "Mark"},
    {42, "Luke", "Luke"},
    {43, "John", "John"},
    {44, "Acts", "Acts"},
    {45, "Romans", "Rom"},
    {46, "I Corinthians", "1Cor"},
    {47, "II Corinthians", "2Cor"},
    {48, "Galatians", "Gal"},
    {49, "Ephesians", "Eph"},
    {50, "Philippians", "Phil"},
    {51, "Colossians", "Col"},
    {52, "I Thessalonians", "1Thess"},
    {53, "II Thessalonians", "2Thess"},
    {54, "I Timothy", "1Tim"},
    {55, "II Timothy", "2Tim"},
    {56, "Titus", "Titus"},
    {57, "Philemon", "Phlm"},
    {58, "Hebrews", "Heb"},
    {59, "James", "Jas"},
    {60, "I Peter", "1Pet"},
    {61, "II Peter", "2Pet"},
    {62, "I John", "1John"},
    {63, "II John", "2John"},
    {64, "III John", "3John"},
    {65, "Jude", "Jude"},
    {66, "Revelation of John", "Rev"},
    // Deuterocanonical books, numbered as the reference tables number them (book -> name number).
    {72, "Judith", "Jdt"},
    {74, "Wisdom", "Wis"},
    {76, "Baruch", "Bar"},
    {78, "Prayer of Azariah", "PrAzar"},
    {79, "Susanna", "Sus"},
    {80, "Bel and the Dragon", "Bel"},
    {83, "I Esdras", "1Esd"},
    {84, "Prayer of Manasses", "PrMan"},
    {85, "II Esdras", "2Esd"},
    {86, "III Maccabees", "3Macc"},
    {87, "IV Maccabees", "4Macc"},
    {95, "Tobit", "Tob"},
    {96, "Sirach", "Sir"},
    {97, "Esther (Greek)", "EsthGr"},
    {98, "I Maccabees", "1Macc"},
    {99, "II Maccabees", "2Macc"},
    // Psalm 151, numbered as its chapter (the tables' book 88 starts at 151:1 and spells as Psalms).
    {88, "Additional Psalm", "AddPs"},
};

// The chapter a source's chapter of a book is filed under: Psalm 151's lone chapter is 151.
uint32_t fileChapter(uint8_t book, uint32_t chapter)
{
    return book == 88 && chapter > 0 && chapter + 150 <= 253 ? chapter + 150 : chapter;
}

uint32_t makeKey(uint32_t b, uint32_t c, uint32_t v)
{
    return b << 16 | c << 8 | v;
}

bool parseUint(const std::string& s, uint32_t& v, uint32_t max)
{
    if (s.empty() || s.size() > 4)
        return false;
    v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    return v <= max;
}

bool isBlankText(const std::string& s)
{
    return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Appends text (and Strong's numbers) to a container node, joining the last text node.
void appendRun(TvkNode& into, const std::string& text, std::vector<std::string> strongs = {})
{
    if (into.children.empty() || into.children.back().tag != TvkTag::kText)
        into.children.push_back(TvkNode {});
    into.children.back().runs.push_back(TvkRun {text, std::move(strongs), {}});
}

bool hasWords(const TvkNode& n)
{
    if (n.tag == TvkTag::kText) {
        for (const TvkRun& r : n.runs)
            if (!isBlankText(r.text) || !r.reference.empty())
                return true;
        return false;
    }
    for (const TvkNode& c : n.children)
        if (hasWords(c))
            return true;
    return false;
}

void plainText(const TvkNode& n, bool withNotes, std::string& out)
{
    if (n.tag == TvkTag::kQsNote && !withNotes)
        return;
    if (n.tag == TvkTag::kText) {
        for (const TvkRun& r : n.runs)
            out += r.text;
        return;
    }
    for (const TvkNode& c : n.children)
        plainText(c, withNotes, out);
}

// Every Strong's number of a lemma: "strong:G2424 G5547" tags the word with both, as does
// "strong:G2424 strong:G5547"; a token of another scheme ("lemma.TR:...") ends the list.
std::vector<std::string> strongsOf(const std::string& lemma)
{
    std::vector<std::string> out;
    bool inStrongs = false;
    size_t i = 0;
    while (i < lemma.size()) {
        const size_t start = lemma.find_first_not_of(" \t", i);
        if (start == std::string::npos)
            break;
        size_t end = lemma.find_first_of(" \t", start);
        if (end == std::string::npos)
            end = lemma.size();
        i = end;
        std::string s = lemma.substr(start, end - start);
        if (const size_t colon = s.find(':'); colon != std::string::npos) {
            inStrongs = s.compare(0, colon, "strong") == 0;
            s.erase(0, colon + 1);
        }
        if (!inStrongs)
            continue;
        // "H0430" -> "H430"
        if (s.size() > 1) {
            size_t z = 1;
            while (z + 1 < s.size() && s[z] == '0')
                ++z;
            s = s.substr(0, 1) + s.substr(z);
        }
        if (!cTvkRichBook::strongsToken(s).empty() && std::find(out.begin(), out.end(), s) == out.end())
            out.push_back(s);
    }
    return out;
}

// A footnote the source puts between two words with nothing around it ("God<note/>created") would
// join the words once the note is hidden. These decide whether a blank keeps them apart: the text
// before the note ends a word or a sentence, and the text after it starts a word.
bool endsWordOrSentence(const std::string& text)
{
    if (text.empty())
        return false;
    const unsigned char c = static_cast<unsigned char>(text.back());
    if (std::isalnum(c) || std::strchr(".,;:!?)]", c) != nullptr)
        return true;
    // Non-ASCII: a letter, or a closing quotation mark (U+2019, U+201D); not an opening mark or dash.
    if (c < 0x80)
        return false;
    size_t start = text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    const std::string last = text.substr(start);
    return last != "\u201C" && last != "\u2018" && last != "\u2014" && last != "\u2013";
}

bool startsWord(const std::string& text)
{
    if (text.empty())
        return false;
    const unsigned char c = static_cast<unsigned char>(text[0]);
    if (std::isalnum(c) || c == '(' || c == '[')
        return true;
    // Non-ASCII: a letter, or an opening quotation mark; not a closing mark or dash.
    return c >= 0x80 && text.rfind("\u201D", 0) != 0 && text.rfind("\u2019", 0) != 0 && text.rfind("\u2014", 0) != 0 &&
        text.rfind("\u2013", 0) != 0;
}

// Reads the OSIS content of one Bible entry.
struct VerseReader {
    bool wocOpen = false;           // words of Christ opened by a milestone and not yet closed
    bool trimmedAfterBook = false;  // the last entry read had text after its book's end

    struct Frame {
        std::string name;
        enum Kind { Pass, Node, Word, Title, Skip } kind = Pass;
        TvkNode node = TvkNode::element(0);
        std::vector<std::string> strongs;
        bool milestone = false;
        bool afterText = false;   // a title met after the verse's text (a subscription) follows it
        bool wordBefore = false;  // a note: the verse's text before it ends a word or a sentence
    };

    std::string lastText;         // the verse's text written last, outside notes
    bool blankAfterNote = false;  // a note closed right after a word: the next word needs a blank

    std::vector<Frame> stack;

    bool inNote() const
    {
        for (const Frame& f : stack)
            if (f.node.tag == TvkTag::kQsNote)
                return true;
        return false;
    }

    // Appends text of the verse; the first word after a note that closed right after a word gets its
    // blank. Text inside notes neither takes nor counts as that word.
    void emit(TvkNode& into, std::string text, std::vector<std::string> strongs = {})
    {
        if (!inNote() && !text.empty()) {
            if (blankAfterNote && startsWord(text))
                text.insert(text.begin(), ' ');
            blankAfterNote = false;
            lastText = text;
        }
        appendRun(into, text, std::move(strongs));
    }

    bool read(const std::string& markup, TvkBibleVerse& verse, std::string& bookName, std::string& error)
    {
        std::vector<Token> tokens;
        if (!tvkTokenizeMarkup(markup, tokens, error))
            return false;
        trimmedAfterBook = false;
        lastText.clear();
        blankAfterNote = false;
        stack.assign(1, Frame {});
        stack[0].kind = Frame::Node;
        if (wocOpen) {
            Frame f;
            f.name = "q";
            f.kind = Frame::Node;
            f.node = TvkNode::element(TvkTag::kQsWoc);
            f.milestone = true;
            stack.push_back(std::move(f));
        }
        bool seenText = false;
        auto top = [&]() -> Frame& { return stack.back(); };
        auto skipping = [&] {
            for (const Frame& f : stack)
                if (f.kind == Frame::Skip)
                    return true;
            return false;
        };
        auto closeTop = [&] {
            Frame f = std::move(stack.back());
            stack.pop_back();
            Frame& parent = stack.back();
            switch (f.kind) {
            case Frame::Pass:
            case Frame::Skip:
                // A cross-reference note is left out, but it stood between the words all the same.
                if (f.name == "note" && f.node.tag == TvkTag::kQsNote)
                    blankAfterNote = f.wordBefore;
                break;
            case Frame::Word: {
                std::string text;
                plainText(f.node, true, text);
                emit(parent.node, text, f.strongs);
                break;
            }
            case Frame::Title:
                flatten(f.node);
                if (hasWords(f.node))
                    (f.afterText ? verse.trailing : verse.headings)
                        .push_back(TvkNode::element(TvkTag::kH4, std::move(f.node.children)));
                break;
            case Frame::Node:
                if (f.node.tag == TvkTag::kQsNote)
                    blankAfterNote = f.wordBefore;
                if (hasWords(f.node))
                    parent.node.children.push_back(std::move(f.node));
                break;
            }
        };
        bool lineBreak = false;  // a poetry line ended: the next text starts a new line
        for (Token& t : tokens) {
            if (t.type == Token::Text) {
                if (skipping())
                    continue;
                if (!isBlankText(t.text)) {
                    if (lineBreak && seenText)
                        top().node.children.push_back(TvkNode::element(TvkTag::kBr));
                    lineBreak = false;
                    seenText = true;
                }
                if (top().kind == Frame::Word)
                    appendRun(top().node, t.text);
                else
                    emit(top().node, t.text);
                continue;
            }
            if (stack.size() > kMaxNesting) {
                error = "markup nested too deeply";
                return false;
            }
            const std::string& n = t.name;
            if (t.type == Token::Empty) {
                const std::string type = t.attr("type");
                if (n == "q" && t.attr("who") == "Jesus") {
                    if (!t.attr("sID").empty() && !wocOpen) {
                        wocOpen = true;
                        Frame f;
                        f.name = "q";
                        f.kind = Frame::Node;
                        f.node = TvkNode::element(TvkTag::kQsWoc);
                        f.milestone = true;
                        stack.push_back(std::move(f));
                    } else if (!t.attr("eID").empty() && wocOpen) {
                        wocOpen = false;
                        while (stack.size() > 1 && !stack.back().milestone)
                            closeTop();
                        if (stack.size() > 1)
                            closeTop();
                    }
                } else if ((n == "div" && (type == "x-p" || type == "paragraph") && !t.attr("sID").empty()) ||
                    (n == "lb" && type == "x-p") || n == "p") {
                    if (!seenText)
                        verse.paragraph = true;
                    else if (!skipping()) {
                        emit(top().node, " ");
                        lineBreak = true;
                    }
                } else if (n == "div" && type == "book" && !t.attr("eID").empty()) {
                    // The book ends here: what follows (a glossary, an appendix) is not this verse.
                    for (size_t k = &t - tokens.data() + 1; k < tokens.size(); ++k)
                        if (tokens[k].type == Token::Text && !isBlankText(tokens[k].text)) {
                            trimmedAfterBook = true;
                            break;
                        }
                    break;
                } else if (n == "milestone" && type == "x-usfm-h" && !t.attr("n").empty()) {
                    bookName = t.attr("n");
                } else if (n == "l" || n == "lb" || n == "lg") {
                    if (!skipping())
                        emit(top().node, " ");
                    lineBreak = lineBreak || (n == "l" && !t.attr("eID").empty());
                }
                continue;
            }
            if (t.type == Token::Close) {
                // Close up to the matching open element; a close without one is a fragment's end.
                auto it = std::find_if(
                    stack.rbegin(), stack.rend() - 1, [&](const Frame& f) { return f.name == n && !f.milestone; });
                if (it == stack.rend() - 1)
                    continue;
                const size_t depth = static_cast<size_t>(stack.rend() - it);
                while (stack.size() >= depth)
                    closeTop();
                continue;
            }
            Frame f;
            f.name = n;
            const std::string type = t.attr("type");
            if (skipping()) {
                f.kind = Frame::Skip;
            } else if (n == "w") {
                f.kind = Frame::Word;
                f.strongs = strongsOf(t.attr("lemma"));
            } else if (n == "q" && t.attr("who") == "Jesus") {
                f.kind = Frame::Node;
                f.node = TvkNode::element(TvkTag::kQsWoc);
            } else if (n == "transChange" && type == "added") {
                f.kind = Frame::Node;
                f.node = TvkNode::element(TvkTag::kI);
            } else if (n == "note") {
                f.kind = type == "crossReference" ? Frame::Skip : Frame::Node;
                f.node = TvkNode::element(TvkTag::kQsNote);
                f.wordBefore = !inNote() && endsWordOrSentence(lastText);
            } else if (n == "reference" && type == "annotateRef") {
                f.kind = Frame::Skip;
            } else if (n == "title" || n == "speaker") {
                f.kind = Frame::Title;
                f.afterText = seenText;
            } else if (n == "rdg" || n == "catchWord") {
                f.kind = Frame::Pass;
            } else if (n == "hi" && (type == "italic" || t.attr("rend") == "italic")) {
                f.kind = Frame::Node;
                f.node = TvkNode::element(TvkTag::kI);
            }
            if (f.kind == Frame::Pass)
                f.kind = Frame::Node;  // an element without a tag: flatten() gives its content to its parent
            // The blank after a note goes before an element that opens there (words of Christ, added
            // words), not into it: a text node does not start with a blank.
            if (blankAfterNote && f.kind == Frame::Node && f.node.tag != 0 && f.node.tag != TvkTag::kQsNote &&
                !inNote()) {
                for (size_t k = static_cast<size_t>(&t - tokens.data()) + 1; k < tokens.size(); ++k)
                    if (tokens[k].type == Token::Text && !isBlankText(tokens[k].text)) {
                        if (startsWord(tokens[k].text))
                            emit(top().node, " ");
                        break;
                    }
            }
            stack.push_back(std::move(f));
        }
        while (stack.size() > 1)
            closeTop();
        flatten(stack[0].node);
        verse.inlines = std::move(stack[0].node.children);
        return true;
    }

    // Elements without a tag (pass-through) give their children to their parent.
    static void flatten(TvkNode& node)
    {
        std::vector<TvkNode> out;
        for (TvkNode& c : node.children) {
            flatten(c);
            if (c.tag == 0) {
                for (TvkNode& g : c.children) {
                    if (g.tag == TvkTag::kText && !out.empty() && out.back().tag == TvkTag::kText)
                        out.back().runs.insert(out.back().runs.end(), g.runs.begin(), g.runs.end());
                    else
                        out.push_back(std::move(g));
                }
            } else if (c.tag == TvkTag::kText && !out.empty() && out.back().tag == TvkTag::kText) {
                out.back().runs.insert(out.back().runs.end(), c.runs.begin(), c.runs.end());
            } else {
                out.push_back(std::move(c));
            }
        }
        node.children = std::move(out);
    }
};

TvkNode verseMarker(uint32_t key)
{
    TvkNode m = TvkNode::element(TvkTag::kQsSync);
    m.attributes.push_back(TvkEncode::NodeAttribute::withCode(TvkTag::kAttrType, TvkTag::kValueVerse));
    m.attributes.push_back(
        TvkEncode::NodeAttribute::withNumber(TvkTag::kAttrValue, static_cast<int32_t>(key & 0x7FFFFF)));
    m.attributes.push_back(TvkEncode::NodeAttribute::withCode(TvkTag::kAttrDisplay, TvkTag::kValueNow));
    return m;
}

void setInfo(cTvkRichBook& book, const TvkBookIdentity& id)
{
    book.info.bookName = id.title;
    book.info.abbreviatedTitle = id.abbreviation;
    book.info.copyright = id.copyright;
    book.info.author = id.author;
    book.info.publisher = id.publisher;
    book.info.publisherId = id.publisherId;
    book.info.bookId = id.bookId;
    book.info.language = id.language;
    for (int i = 0; i < 2; ++i) {
        book.info.strongsHebrew[i] = id.strongsHebrew[i];
        book.info.strongsGreek[i] = id.strongsGreek[i];
    }
}

uint32_t osisKey(const std::string& ref);

// The compact record of a reference attribute: OSIS references ("Exod.6.16-Exod.6.20 Josh.21.4"),
// else reference text the reference parser reads ("mt 19:4-6"). Empty when neither reads.
uint8_t lastVerse(uint8_t book, uint8_t chapter);
uint8_t lastChapter(uint8_t book);

// The verses a range covers, at most kMaxIndexedVerses of them (a reference to a whole book is
// indexed by its first verses only).
constexpr size_t kMaxIndexedVerses = 200;
void coveredVerses(const bibleRefRange& r, std::vector<uint32_t>& out)
{
    if (r.startBook < 1 || r.startBook > 255)
        return;
    const auto b = static_cast<uint8_t>(r.startBook);
    uint32_t c = r.startChapter < 1 ? 1 : static_cast<uint32_t>(r.startChapter);
    uint32_t v = r.startVerse < 1 ? 1 : static_cast<uint32_t>(r.startVerse);
    if (b > 66 || c > lastChapter(b)) {  // no verse counts: the start verse alone
        out.push_back(makeKey(b, c & 0xFF, v & 0xFF));
        return;
    }
    // The last chapter and verse: a single reference ends where it starts (a whole chapter or book
    // when it names no verse or no chapter); a span ends at its end, "last" and "whole" at the end of
    // the chapter or book, and an end in another book at the end of this one.
    uint32_t endC, endV;
    if (!cBibleRef::isSpan(&r)) {
        endC = r.startChapter < 1 ? lastChapter(b) : c;
        endV = r.startVerse < 1 ? lastVerse(b, static_cast<uint8_t>(endC)) : v;
    } else if (r.endBook != r.startBook) {
        endC = lastChapter(b);
        endV = lastVerse(b, static_cast<uint8_t>(endC));
    } else {
        endC = r.endChapter >= 1 ? std::min<uint32_t>(static_cast<uint32_t>(r.endChapter), lastChapter(b))
                                 : lastChapter(b);
        endV = r.endVerse >= 1 ? static_cast<uint32_t>(r.endVerse) : lastVerse(b, static_cast<uint8_t>(endC));
    }
    for (size_t n = 0; n < kMaxIndexedVerses && (c < endC || (c == endC && v <= endV)); ++n) {
        out.push_back(makeKey(b, c, v));
        if (v >= lastVerse(b, static_cast<uint8_t>(c))) {
            ++c;
            v = 1;
        } else {
            ++v;
        }
    }
}

cBibleRef referenceFromAttribute(const std::string& attribute)
{
    // A reference into a module ("Scofield:Ro 3:23") leads to the verse its entry covers.
    std::string text = attribute;
    const size_t colon = text.find(':');
    if (colon != std::string::npos && text.find_first_of("0123456789 ") > colon)
        text = text.substr(colon + 1);
    cBibleRef ref;
    ref.setTranslation(1);
    bool osis = !text.empty();
    size_t i = 0;
    while (osis && i < text.size()) {
        size_t end = text.find(' ', i);
        if (end == std::string::npos)
            end = text.size();
        const std::string one = text.substr(i, end - i);
        i = end + 1;
        if (one.empty())
            continue;
        const size_t dash = one.find('-');
        const uint32_t start = osisKey(one.substr(0, dash));
        const uint32_t last = dash == std::string::npos ? start : osisKey(one.substr(dash + 1));
        if (start == 0 || last == 0 || last < start) {
            osis = false;
            break;
        }
        bibleRefRange* r = ref.appendRange();
        r->startBook = static_cast<int32_t>(start >> 16);
        r->startChapter = static_cast<int32_t>((start >> 8) & 0xFF);
        r->startVerse = static_cast<int32_t>(start & 0xFF);
        r->endBook = static_cast<int32_t>(last >> 16);
        r->endChapter = static_cast<int32_t>((last >> 8) & 0xFF);
        r->endVerse = static_cast<int32_t>(last & 0xFF);
    }
    if (!osis) {
        // Groups of a book abbreviation and a location ("1co 12:12 1co 12:13"), each read by the
        // reference parser; the abbreviations the parser does not take are spelled out first.
        ref = cBibleRef();
        ref.setTranslation(1);
        std::vector<std::string> words;
        for (size_t p = 0; p < text.size();) {
            const size_t end = std::min(text.find(' ', p), text.size());
            if (end > p)
                words.push_back(text.substr(p, end - p));
            p = end + 1;
        }
        auto isLocation = [](const std::string& w) {
            return w.find_first_not_of("0123456789:-,") == std::string::npos;
        };
        static const std::map<std::string, std::string> kSpelled = {{"re", "Rev"}, {"Re", "Rev"}, {"jud", "Judg"},
            {"Jud", "Judg"}, {"so", "Song"}, {"So", "Song"}, {"le", "Lev"}, {"Le", "Lev"}};
        for (size_t k = 0; k < words.size(); ++k) {
            if (isLocation(words[k]))
                return {};
            std::string group = words[k];
            auto spelled = kSpelled.find(group);
            if (spelled != kSpelled.end())
                group = spelled->second;
            if (k + 1 < words.size() && isLocation(words[k + 1]))
                group += " " + words[++k];
            cBibleRef one;
            one.setTranslation(1);
            int32_t position = 0;
            if (one.parse(group.c_str(), position) != 0 || !one.hasRanges())
                return {};
            for (const bibleRefRange* r = one.firstRange(); r; r = r->next)
                ref.appendRangeCopy(*r);
        }
    }
    return ref;
}

std::vector<uint8_t> referenceRecord(const cBibleRef& ref, std::vector<uint32_t>& verses)
{
    if (!ref.hasRanges())
        return {};
    for (const bibleRefRange* r = ref.firstRange(); r; r = r->next)
        coveredVerses(*r, verses);
    std::vector<uint8_t> out;
    bibleRefRecord::encode(ref, out);
    return out;
}

std::string trimBlanks(const std::string& s)
{
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos)
        return std::string();
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// A reference into a book of one chapter that the source links to the chapter alone and follows
// with its verses as plain text: <ref osisRef="Jude.1.1">Jude 1</ref>:9,10. The verses that follow
// ("9,10", "8-13", "4-6,9") become the reference's ranges and leave the text; `at` is the reference's
// opening token. False, and nothing changed, when the tokens do not have that shape or a verse is not
// one of the book's.
bool repairChapterOnlyReference(std::vector<Token>& tokens, size_t at, cBibleRef& ref)
{
    const bibleRefRange* r = ref.firstRange();
    if (r == nullptr || r->next != nullptr || r->startBook != r->endBook || r->startBook < 1 || r->startBook > 66 ||
        r->startChapter != 1 || r->endChapter != 1 || r->startVerse != 1 || r->endVerse != 1)
        return false;
    const auto book = static_cast<uint8_t>(r->startBook);
    if (lastChapter(book) != 1 || at + 3 >= tokens.size())
        return false;
    const Token& shown = tokens[at + 1];
    const Token& close = tokens[at + 2];
    Token& after = tokens[at + 3];
    if (shown.type != Token::Text || close.type != Token::Close || close.name != tokens[at].name ||
        after.type != Token::Text)
        return false;
    // The shown text names the chapter ("Jude 1", "2Jo  1") and no verse.
    const std::string text = trimBlanks(tvkCollapseSpace(shown.text));
    if (text.size() < 3 || text.compare(text.size() - 2, 2, " 1") != 0 || text.find(':') != std::string::npos)
        return false;
    const std::string& rest = after.text;
    const auto digitAt = [&rest](size_t i) { return i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; };
    if (rest.empty() || rest[0] != ':' || !digitAt(1))
        return false;
    const uint32_t verses = lastVerse(book, 1);
    const auto number = [&](size_t& i, uint32_t& value) {
        value = 0;
        while (digitAt(i) && value <= 255)
            value = value * 10 + static_cast<uint32_t>(rest[i++] - '0');
        return value >= 1 && value <= verses;
    };
    cBibleRef repaired;
    repaired.setTranslation(1);
    size_t i = 1;
    for (;;) {
        uint32_t first = 0, last = 0;
        if (!number(i, first))
            return false;
        last = first;
        if (i < rest.size() && rest[i] == '-' && digitAt(i + 1)) {
            ++i;
            if (!number(i, last) || last < first)
                return false;
        }
        bibleRefRange* range = repaired.appendRange();
        range->startBook = range->endBook = book;
        range->startChapter = range->endChapter = 1;
        range->startVerse = static_cast<int32_t>(first);
        range->endVerse = static_cast<int32_t>(last);
        if (i < rest.size() && rest[i] == ',' && digitAt(i + 1)) {
            ++i;
            continue;
        }
        break;
    }
    ref = repaired;
    after.text.erase(0, i);
    return true;
}

// Strong's Hebrew dictionary writes in braces the words its printed original sets in italics
// ("{flock} that {is}", "From {<ref ...>H14</ref>} in the sense of"): each pair becomes an italic
// element. An entry whose braces do not pair up (one left open, a "}" first, one inside another)
// keeps them as text.
void bracesToItalics(std::vector<Token>& tokens)
{
    int depth = 0;
    bool any = false;
    for (const Token& t : tokens) {
        if (t.type != Token::Text)
            continue;
        for (char c : t.text) {
            if (c == '{' && ++depth > 1)
                return;
            if (c == '}' && --depth < 0)
                return;
            any = any || c == '{';
        }
    }
    if (depth != 0 || !any)
        return;
    std::vector<Token> out;
    out.reserve(tokens.size());
    for (Token& t : tokens) {
        if (t.type != Token::Text || t.text.find_first_of("{}") == std::string::npos) {
            out.push_back(std::move(t));
            continue;
        }
        size_t from = 0;
        for (size_t at; (at = t.text.find_first_of("{}", from)) != std::string::npos; from = at + 1) {
            if (at > from)
                out.push_back(Token {Token::Text, {}, {}, t.text.substr(from, at - from)});
            out.push_back(Token {t.text[at] == '{' ? Token::Open : Token::Close, "hi", {{"rend", "italic"}}, {}});
        }
        if (from < t.text.size())
            out.push_back(Token {Token::Text, {}, {}, t.text.substr(from)});
    }
    tokens = std::move(out);
}

// Prose (commentary and dictionary entries): paragraphs, headings, italic and bold runs, notes; the
// verses that references point to are collected. A word's writing form (`<orth type="writing">`, the
// Greek dictionary's beta code: the headword again, spelled in Latin letters) is left out: the
// headword stands before it in Greek letters.
struct ProseReader {
    bool bracesAreItalics = false;  // the source marks italics with braces (bracesToItalics)
    std::vector<TvkNode> blocks;
    std::vector<uint32_t> references;
    size_t convertedReferences = 0, unreadReferences = 0, repairedReferences = 0;
    cBibleRef lastReference;  // the reference of the last reference run written

    // A reference written as a continuation of the one before it ("Ge 11:26,27": the "27" names no
    // book) joins that reference, so it is spelled the way the source shows it rather than in full.
    // It continues when its shown text is a location without a book and only a "," or ";" stands
    // between it and the previous reference run.
    bool continuesReference(TvkNode& node, const cBibleRef& ref, const Token* shown)
    {
        if (shown == nullptr || shown->type != Token::Text)
            return false;
        const std::string text = trimBlanks(tvkCollapseSpace(shown->text));
        // It names no book: digits and separators only ("27", "12:4"), not "2Jo 1" or "1 Cor 2:3".
        if (text.empty() || text[0] < '0' || text[0] > '9' ||
            text.find_first_not_of("0123456789:-, ") != std::string::npos || node.children.empty() ||
            node.children.back().tag != TvkTag::kText)
            return false;
        std::vector<TvkRun>& runs = node.children.back().runs;
        if (runs.size() < 2 || !runs.back().reference.empty())
            return false;
        const std::string separator = trimBlanks(runs.back().text);
        TvkRun& previous = runs[runs.size() - 2];
        if ((separator != "," && separator != ";") || previous.reference.empty() || !lastReference.hasRanges())
            return false;
        std::vector<uint8_t> check;
        bibleRefRecord::encode(lastReference, check);
        if (check != previous.reference)
            return false;
        cBibleRef joined(lastReference);
        for (const bibleRefRange* r = ref.firstRange(); r; r = r->next)
            joined.appendRangeCopy(*r);
        std::vector<uint8_t> record;
        bibleRefRecord::encode(joined, record);
        previous.reference = std::move(record);
        lastReference = joined;
        runs.pop_back();
        return true;
    }

    bool read(const std::string& markup, std::string& error)
    {
        std::vector<Token> tokens;
        if (!tvkTokenizeMarkup(markup, tokens, error))
            return false;
        if (bracesAreItalics)
            bracesToItalics(tokens);
        struct Frame {
            std::string name;
            TvkNode node;
            bool heading = false;
        };
        std::vector<Frame> stack;
        stack.push_back({"", TvkNode::element(TvkTag::kP), false});
        int dropDepth = 0;     // inside a reference element shown as an embedded reference
        int writingDepth = 0;  // inside a writing form
        auto endBlock = [&] {
            // Close the inline frames into the block, then keep the block when it has words.
            while (stack.size() > 1) {
                Frame f = std::move(stack.back());
                stack.pop_back();
                if (hasWords(f.node))
                    stack.back().node.children.push_back(std::move(f.node));
            }
            if (hasWords(stack[0].node)) {
                VerseReader::flatten(stack[0].node);
                blocks.push_back(std::move(stack[0].node));
            }
            stack[0].node = TvkNode::element(TvkTag::kP);
        };
        for (Token& t : tokens) {
            const std::string& n = t.name;
            if (stack.size() > kMaxNesting || dropDepth > static_cast<int>(kMaxNesting)) {
                error = "markup nested too deeply";
                return false;
            }
            if (dropDepth > 0) {
                if ((n == "reference" || n == "ref") && t.type != Token::Empty && t.type != Token::Text)
                    dropDepth += t.type == Token::Open ? 1 : -1;
                continue;
            }
            if (writingDepth > 0 || (n == "orth" && t.type == Token::Open && t.attr("type") == "writing")) {
                if (n == "orth" && (t.type == Token::Open || t.type == Token::Close))
                    writingDepth += t.type == Token::Open ? 1 : -1;
                continue;
            }
            if (t.type == Token::Text) {
                appendRun(stack.back().node, tvkCollapseSpace(t.text));
                continue;
            }
            const std::string type = t.attr("type");
            const bool blockBreak = n == "p" || n == "lb" || n == "br" || n == "item" || n == "def" || n == "list" ||
                (n == "div" && (type == "x-p" || type == "paragraph"));
            if (t.type == Token::Empty) {
                if (blockBreak)
                    endBlock();
                continue;
            }
            if (t.type == Token::Close) {
                if (n == "title") {
                    TvkNode heading = TvkNode::element(TvkTag::kH3);
                    while (stack.size() > 1 && stack.back().name != "title") {
                        Frame f = std::move(stack.back());
                        stack.pop_back();
                        stack.back().node.children.push_back(std::move(f.node));
                    }
                    if (stack.size() > 1) {
                        heading.children = std::move(stack.back().node.children);
                        stack.pop_back();
                        VerseReader::flatten(heading);
                        endBlock();
                        if (hasWords(heading))
                            blocks.push_back(std::move(heading));
                    }
                    continue;
                }
                if (blockBreak) {
                    endBlock();
                    continue;
                }
                auto it = std::find_if(stack.rbegin(), stack.rend() - 1, [&](const Frame& f) { return f.name == n; });
                if (it == stack.rend() - 1)
                    continue;
                const size_t depth = static_cast<size_t>(stack.rend() - it);
                while (stack.size() >= depth) {
                    Frame f = std::move(stack.back());
                    stack.pop_back();
                    if (hasWords(f.node))
                        stack.back().node.children.push_back(std::move(f.node));
                }
                continue;
            }
            if (blockBreak) {
                endBlock();
                continue;
            }
            Frame f {n, TvkNode::element(0), false};
            const std::string rend = t.attr("rend");
            if ((n == "hi" && (type == "italic" || rend == "italic")) || n == "pron" || n == "i")
                f.node.tag = TvkTag::kI;
            else if ((n == "hi" && (type == "bold" || rend == "bold")) || n == "orth" || n == "b")
                f.node.tag = TvkTag::kB;
            else if (n == "note")
                f.node.tag = TvkTag::kQsNote;
            if ((n == "reference" || n == "ref") && !t.attr("osisRef").empty()) {
                cBibleRef ref = referenceFromAttribute(t.attr("osisRef"));
                const size_t at = static_cast<size_t>(&t - tokens.data());
                if (repairChapterOnlyReference(tokens, at, ref))
                    ++repairedReferences;
                if (ref.hasRanges() &&
                    continuesReference(stack.back().node, ref, at + 1 < tokens.size() ? &tokens[at + 1] : nullptr)) {
                    referenceRecord(ref, references);
                    ++convertedReferences;
                    dropDepth = 1;
                } else if (std::vector<uint8_t> record = referenceRecord(ref, references); !record.empty()) {
                    ++convertedReferences;
                    appendRun(stack.back().node, "", {});
                    stack.back().node.children.back().runs.back().reference = std::move(record);
                    lastReference = ref;
                    dropDepth = 1;
                } else {
                    ++unreadReferences;
                }
            }
            if (dropDepth > 0)
                continue;
            stack.push_back(std::move(f));
        }
        endBlock();
        return true;
    }
};

uint8_t lastVerse(uint8_t book, uint8_t chapter)
{
    const auto& counts = cBibleRefDefaults::kjvVerseCounts(book);
    return chapter >= 1 && chapter <= counts.size() ? counts[chapter - 1] : 0;
}

uint8_t lastChapter(uint8_t book)
{
    return static_cast<uint8_t>(cBibleRefDefaults::kjvVerseCounts(book).size());
}

// A reference-table file: the header with the table's version and row count, the column titles, the
// rows (each field quoted).
std::string csvTable(const std::string& title, uint32_t version, const std::vector<std::vector<std::string>>& rows,
    const std::string& columns, size_t count = 0)
{
    std::string s = "*** " + title + "\n+++ Header\nVersion=" + std::to_string(version) +
        "\nCount=" + std::to_string(count != 0 ? count : rows.size()) + "\n--- End\n+++ Data\n" + columns + "\n";
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i)
            s += (i ? ",\"" : "\"") + row[i] + "\"";
        s += "\n";
    }
    return s + "--- End\n";
}

}  // namespace

const std::vector<TvkBookName>& tvkBookNames()
{
    return kBooks;
}

const TvkBookName* tvkBookByNumber(uint8_t number)
{
    for (const TvkBookName& b : kBooks)
        if (b.number == number)
            return &b;
    return nullptr;
}

uint32_t tvkVerseKeyFromExportKey(const std::string& key)
{
    const size_t space = key.rfind(' ');
    const size_t colon = key.rfind(':');
    if (space == std::string::npos || colon == std::string::npos || colon < space)
        return 0;
    const std::string name = key.substr(0, space);
    uint32_t c, v;
    if (!parseUint(key.substr(space + 1, colon - space - 1), c, 255) || !parseUint(key.substr(colon + 1), v, 255))
        return 0;
    for (const TvkBookName& b : kBooks)
        if (name == b.keyName) {
            if (c == 0 && v != 0)
                return 0;
            // Verse counts differ between versifications (3 John 1:15 in some), chapter counts do not.
            if (b.number <= 66 && c > lastChapter(b.number))
                return 0;
            return makeKey(b.number, fileChapter(b.number, c), v);
        }
    return 0;
}

namespace {
uint32_t osisKey(const std::string& ref)
{
    return tvkVerseKeyFromOsisRef(ref);
}
}  // namespace

uint32_t tvkVerseKeyFromOsisRef(const std::string& ref)
{
    const size_t dot = ref.find('.');
    const std::string id = ref.substr(0, dot);
    for (const TvkBookName& b : kBooks) {
        if (id != b.osisId)
            continue;
        if (dot == std::string::npos)
            return makeKey(b.number, 1, 1);
        const size_t dot2 = ref.find('.', dot + 1);
        uint32_t c, v = 1;
        if (!parseUint(ref.substr(dot + 1, dot2 == std::string::npos ? std::string::npos : dot2 - dot - 1), c, 255))
            return 0;
        if (dot2 != std::string::npos && !parseUint(ref.substr(dot2 + 1), v, 255))
            return 0;
        if (c < 1 || v < 1 ||
            (b.number <= 66 && (c > lastChapter(b.number) || v > lastVerse(b.number, static_cast<uint8_t>(c)))))
            return 0;
        return makeKey(b.number, fileChapter(b.number, c), v);
    }
    return 0;
}

std::string tvkPlainText(const std::vector<TvkNode>& nodes, bool withNotes)
{
    std::string out;
    for (const TvkNode& n : nodes)
        plainText(n, withNotes, out);
    return out;
}

// The book an entry's markup names (an osisID such as "Gen.1" or "Gen"), when it names another
// book than the key's: such text has leaked in from elsewhere.
std::string foreignBook(const std::vector<Token>& tokens, const char* osisId)
{
    for (const Token& t : tokens) {
        const std::string id = t.attr("osisID");
        if (id.empty())
            continue;
        const std::string book = id.substr(0, id.find('.'));
        if (book != osisId)
            return book;
    }
    return {};
}

namespace {

// The markup of the OSIS "front" division (a Bible's preface), cut out of `markup`; empty when there
// is none or it is not closed. An export files it under its first book's introduction.
std::string cutFrontMatter(std::string& markup)
{
    // The attribute's value in one tag (the text between "<" and ">"); empty when it has none.
    const auto attribute = [](std::string_view tag, std::string_view name) -> std::string_view {
        for (size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
            const size_t value = at + name.size();
            if ((at > 0 && tag[at - 1] != ' ') || tag.substr(value, 2) != "=\"")
                continue;
            const size_t close = tag.find('"', value + 2);
            return close == std::string_view::npos ? std::string_view() : tag.substr(value + 2, close - value - 2);
        }
        return {};
    };
    const std::string_view text(markup);
    size_t from = std::string::npos;
    std::string_view id;
    for (size_t p = text.find("<div "); p != std::string_view::npos; p = text.find("<div ", p + 1)) {
        const size_t close = text.find('>', p);
        if (close == std::string_view::npos)
            return {};
        const std::string_view tag = text.substr(p, close - p);
        if (from == std::string::npos) {
            if (attribute(tag, "type") == "front" && !(id = attribute(tag, "sID")).empty())
                from = p;
        } else if (attribute(tag, "eID") == id) {
            std::string front(text.substr(from, close + 1 - from));
            markup.erase(from, close + 1 - from);
            return front;
        }
    }
    return {};
}

// The front matter's blocks: its first title as the section's heading, the other titles under it,
// then its text.
void readFrontMatter(const std::string& markup, const std::string& key, TvkBibleModel& model, TvkImportReport& report)
{
    VerseReader reader;
    TvkBibleVerse front;
    std::string bookName, error;
    if (!reader.read(markup, front, bookName, error)) {
        report.skipped.push_back(key + ": front matter: " + error);
        return;
    }
    for (size_t i = 0; i < front.headings.size(); ++i)
        front.headings[i].tag = i == 0 ? TvkTag::kH2 : TvkTag::kH3;
    if (hasWords(TvkNode::element(TvkTag::kP, front.inlines)))
        front.headings.push_back(TvkNode::element(TvkTag::kP, front.inlines));
    if (front.headings.empty())
        return;
    const std::string title = front.headings.front().tag == TvkTag::kH2 ? tvkPlainText({front.headings.front()}) : "";
    model.frontMatterTitle = title.empty() ? "Front Matter" : title;
    model.frontMatter = std::move(front.headings);
}

}  // namespace

TvkBibleModel tvkParseBible(const std::vector<TvkImpEntry>& entries, TvkImportReport& report)
{
    TvkBibleModel model;
    VerseReader reader;
    std::map<uint8_t, size_t> bookIndex;
    report.entries += entries.size();
    for (const TvkImpEntry& e : entries) {
        if (e.key.rfind("[ ", 0) == 0) {  // module and testament headings hold no text
            ++report.empty;
            continue;
        }
        const uint32_t key = tvkVerseKeyFromExportKey(e.key);
        if (key == 0) {
            report.skipped.push_back(e.key + ": not a verse of a known book");
            continue;
        }
        if (!tvkCleanUtf8(e.text)) {
            report.skipped.push_back(e.key + ": text is not clean UTF-8");
            continue;
        }
        const uint8_t b = static_cast<uint8_t>(key >> 16), c = static_cast<uint8_t>(key >> 8),
                      v = static_cast<uint8_t>(key);
        std::vector<Token> tokens;
        std::string error;
        if (!tvkTokenizeMarkup(e.text, tokens, error)) {
            report.skipped.push_back(e.key + ": " + error);
            continue;
        }
        const std::string foreign = foreignBook(tokens, tvkBookByNumber(b)->osisId);
        if (!foreign.empty()) {
            report.skipped.push_back(e.key + ": holds text of another book (" + foreign + ")");
            continue;
        }
        auto found = bookIndex.find(b);
        if (found == bookIndex.end()) {
            found = bookIndex.emplace(b, model.books.size()).first;
            model.books.emplace_back();
            model.books.back().number = b;
            model.books.back().name = tvkBookByNumber(b)->keyName;
        }
        TvkBibleBook& book = model.books[found->second];
        if (!book.verses.empty() && book.verses.back().key >= key) {
            report.skipped.push_back(e.key + ": out of order");
            continue;
        }
        TvkBibleVerse verse;
        verse.key = key;
        std::string bookName;
        std::string text = e.text;
        if (c == 0 && v == 0 && model.frontMatter.empty()) {
            const std::string front = cutFrontMatter(text);
            if (!front.empty())
                readFrontMatter(front, e.key, model, report);
        }
        const bool wocBefore = reader.wocOpen;
        if (!reader.read(text, verse, bookName, error)) {
            reader.wocOpen = wocBefore;
            report.skipped.push_back(e.key + ": " + error);
            continue;
        }
        if (!bookName.empty())
            book.name = bookName;
        if (reader.trimmedAfterBook)
            report.trimmed.push_back(e.key + ": text after the end of the book left out");
        if (v == 0) {
            // Introductions: titles go to the book's or the chapter's heading section.
            for (TvkNode& h : verse.headings)
                h.tag = c == 0 ? TvkTag::kH2 : TvkTag::kH3;
            const bool text = hasWords(TvkNode::element(TvkTag::kP, verse.inlines));
            if (verse.headings.empty() && !text) {
                ++report.empty;
                continue;
            }
            // An introduction's own text stays with its book's or chapter's heading section.
            if (text)
                verse.headings.push_back(TvkNode::element(TvkTag::kP, verse.inlines));
            if (c == 0)
                book.headings.insert(book.headings.end(), verse.headings.begin(), verse.headings.end());
            else
                book.chapterHeadings.emplace_back(c, verse.headings);
            ++report.imported;
            continue;
        }
        if (!hasWords(TvkNode::element(TvkTag::kP, verse.inlines))) {
            ++report.empty;
            continue;
        }
        book.verses.push_back(std::move(verse));
        ++report.imported;
    }
    // The books stay in the source's order (its versification's: books between the testaments
    // after Malachi), which is the order a range across books runs in.
    return model;
}

void tvkCompileBible(const TvkBibleModel& model, const TvkBookIdentity& id, cTvkRichBook& book)
{
    book.kind = cTvkRichBook::Kind::Bible;
    setInfo(book, id);
    if (!model.frontMatter.empty())
        book.addSection(TvkSection {model.frontMatterTitle, 1, 0, model.frontMatter});
    for (const TvkBibleBook& b : model.books) {
        if (b.verses.empty())
            continue;
        TvkSection head {b.name, 1, makeKey(b.number, 0, 0), {}};
        head.blocks = b.headings;
        if (head.blocks.empty())
            head.blocks.push_back(TvkNode::element(TvkTag::kH2, {TvkNode::text(b.name)}));
        head.headingsIndexed = false;
        book.addSection(std::move(head));
        uint32_t chapter = 0;
        for (const TvkBibleVerse& v : b.verses) {
            const uint32_t c = (v.key >> 8) & 0xFF;
            if (c != chapter) {
                chapter = c;
                // A book named by its one chapter ("Psalm 151") is not named twice.
                const std::string number = std::to_string(c);
                const bool named = b.name.size() > number.size() &&
                    b.name.compare(b.name.size() - number.size(), number.size(), number) == 0 &&
                    b.name[b.name.size() - number.size() - 1] == ' ';
                TvkSection ch {named ? b.name : b.name + " " + number, 2, makeKey(b.number, c, 0), {}};
                for (const auto& [n, headings] : b.chapterHeadings)
                    if (n == c)
                        ch.blocks.insert(ch.blocks.end(), headings.begin(), headings.end());
                if (ch.blocks.empty())
                    ch.blocks.push_back(TvkNode::element(TvkTag::kH3, {TvkNode::text(ch.title)}));
                ch.headingsIndexed = false;
                book.addSection(std::move(ch));
            }
            TvkSection s {std::to_string(c) + ":" + std::to_string(v.key & 0xFF), 3, v.key, v.headings};
            TvkNode body = TvkNode::element(v.paragraph ? TvkTag::kP : TvkTag::kDiv, {verseMarker(v.key)});
            body.children.insert(body.children.end(), v.inlines.begin(), v.inlines.end());
            s.blocks.push_back(std::move(body));
            s.blocks.insert(s.blocks.end(), v.trailing.begin(), v.trailing.end());
            book.addSection(std::move(s));
        }
    }
}

void tvkImportCommentary(
    const std::vector<TvkImpEntry>& entries, const TvkBookIdentity& id, cTvkRichBook& book, TvkImportReport& report)
{
    setInfo(book, id);
    report.entries += entries.size();
    struct Entry {
        uint32_t key;
        std::vector<TvkNode> blocks;
        std::vector<uint32_t> references;
    };
    std::vector<Entry> good;
    for (const TvkImpEntry& e : entries) {
        if (e.key.rfind("[ ", 0) == 0) {
            ++report.empty;
            continue;
        }
        const uint32_t key = tvkVerseKeyFromExportKey(e.key);
        if (key == 0 || (key >> 16) > 66) {
            report.skipped.push_back(e.key + ": not a verse of the 66 canonical books");
            continue;
        }
        if (!tvkCleanUtf8(e.text)) {
            report.skipped.push_back(e.key + ": text is not clean UTF-8");
            continue;
        }
        ProseReader r;
        std::string error;
        if (!r.read(e.text, error)) {
            report.skipped.push_back(e.key + ": " + error);
            continue;
        }
        report.references += r.convertedReferences;
        report.unreadReferences += r.unreadReferences;
        report.repairedReferences += r.repairedReferences;
        if (r.blocks.empty()) {
            ++report.empty;
            continue;
        }
        if (!good.empty() && good.back().key >= key) {
            report.skipped.push_back(e.key + ": out of order");
            continue;
        }
        good.push_back({key, std::move(r.blocks), std::move(r.references)});
        ++report.imported;
    }
    uint8_t currentBook = 0;
    for (size_t i = 0; i < good.size(); ++i) {
        const Entry& e = good[i];
        const uint8_t b = static_cast<uint8_t>(e.key >> 16), c = static_cast<uint8_t>(e.key >> 8),
                      v = static_cast<uint8_t>(e.key);
        if (b != currentBook) {
            currentBook = b;
            book.addSection(TvkSection {kBooks[b - 1].keyName, 1, 0,
                {TvkNode::element(TvkTag::kH2, {TvkNode::text(kBooks[b - 1].keyName)})}, false});
        }
        // The entry covers its verses up to the verse before the next entry of the same book.
        uint32_t end;
        if (i + 1 < good.size() && (good[i + 1].key >> 16) == b) {
            const uint8_t nc = static_cast<uint8_t>(good[i + 1].key >> 8), nv = static_cast<uint8_t>(good[i + 1].key);
            if (nv > 1)
                end = makeKey(b, nc, nv - 1u);
            else if (nc > 1)
                end = makeKey(b, nc - 1u, lastVerse(b, static_cast<uint8_t>(nc - 1)));
            else
                end = makeKey(b, nc, nv);
        } else {
            end = makeKey(b, lastChapter(b), lastVerse(b, lastChapter(b)));
        }
        const std::string title = c == 0 ? std::string(kBooks[b - 1].keyName)
            : v == 0                     ? std::string(kBooks[b - 1].keyName) + " " + std::to_string(c)
                     : std::string(kBooks[b - 1].keyName) + " " + std::to_string(c) + ":" + std::to_string(v);
        TvkSection s {title, 2, 0, {TvkNode::element(TvkTag::kH3, {TvkNode::text(title)})}};
        s.blocks.insert(s.blocks.end(), e.blocks.begin(), e.blocks.end());
        const uint32_t n = book.addSection(std::move(s));
        const uint32_t start = v == 0 ? makeKey(b, c == 0 ? 1 : c, 1) : e.key;
        book.addVerseLookup(start, n, end > start ? end : 0);
        for (uint32_t r : e.references)
            book.addVerseIndex(r, n);
    }
}

void tvkImportDictionary(const std::vector<TvkImpEntry>& entries, TvkDictionaryKind kind, const TvkBookIdentity& id,
    cTvkRichBook& book, TvkImportReport& report)
{
    setInfo(book, id);
    report.entries += entries.size();
    std::vector<std::pair<std::string, std::vector<TvkNode>>> good;
    std::vector<std::vector<uint32_t>> refs;
    for (const TvkImpEntry& e : entries) {
        std::string headword = e.key;
        if (kind != TvkDictionaryKind::Topical) {
            uint32_t n;
            if (!parseUint(e.key.size() > 4 ? e.key.substr(e.key.size() - 4) : e.key, n, 9999) ||
                e.key.find_first_not_of("0123456789") != std::string::npos || n == 0) {
                report.skipped.push_back(e.key + ": not a Strong's number");
                continue;
            }
            headword = (kind == TvkDictionaryKind::StrongsHebrew ? "H" : "G") + std::to_string(n);
        } else if (isBlankText(headword)) {
            report.skipped.push_back("(empty key): no headword");
            continue;
        }
        if (!tvkCleanUtf8(e.text) || !tvkCleanUtf8(e.key)) {
            report.skipped.push_back(e.key + ": text is not clean UTF-8");
            continue;
        }
        ProseReader r;
        r.bracesAreItalics = kind == TvkDictionaryKind::StrongsHebrew;
        std::string error;
        if (!r.read(e.text, error)) {
            report.skipped.push_back(e.key + ": " + error);
            continue;
        }
        report.references += r.convertedReferences;
        report.unreadReferences += r.unreadReferences;
        report.repairedReferences += r.repairedReferences;
        if (r.blocks.empty()) {
            ++report.empty;
            continue;
        }
        good.emplace_back(headword, std::move(r.blocks));
        refs.push_back(std::move(r.references));
        ++report.imported;
    }
    for (size_t i = 0; i < good.size(); ++i) {
        TvkSection s {good[i].first, 1, 0, {TvkNode::element(TvkTag::kH3, {TvkNode::text(good[i].first)})}};
        s.blocks.insert(s.blocks.end(), good[i].second.begin(), good[i].second.end());
        const uint32_t n = book.addSection(std::move(s));
        book.addLookupWord(good[i].first, n);
        for (uint32_t r : refs[i])
            book.addVerseIndex(r, n);
    }
}

void tvkCompileDevotional(
    const TvkBibleModel& model, const std::vector<uint8_t>& books, const TvkBookIdentity& id, cTvkRichBook& book)
{
    book.kind = cTvkRichBook::Kind::Dated;
    setInfo(book, id);
    std::vector<std::pair<std::string, const TvkBibleVerse*>> verses;
    for (uint8_t want : books)
        for (const TvkBibleBook& b : model.books)
            if (b.number == want)
                for (const TvkBibleVerse& v : b.verses)
                    verses.emplace_back(b.name, &v);
    static const char* const kMonths[] = {"January", "February", "March", "April", "May", "June", "July", "August",
        "September", "October", "November", "December"};
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::vector<uint32_t> readings;
    size_t next = 0;
    int day = 0;
    for (int m = 0; m < 12; ++m) {
        book.addSection(TvkSection {kMonths[m], 1, 0, {TvkNode::element(TvkTag::kH2, {TvkNode::text(kMonths[m])})}});
        for (int d = 1; d <= kDays[m]; ++d, ++day) {
            const size_t end = verses.size() * static_cast<size_t>(day + 1) / 365;
            const std::string title = std::string(kMonths[m]) + " " + std::to_string(d);
            TvkSection s {title, 2, 0, {TvkNode::element(TvkTag::kH3, {TvkNode::text(title)})}};
            // The day's passage as a Bible link, one range for each book it reads from, above its verses.
            cBibleRef passage;
            passage.setTranslation(1);
            bibleRefRange* r = nullptr;
            for (size_t i = next; i < end; ++i) {
                const int32_t bookNumber = static_cast<int32_t>(verses[i].second->key >> 16);
                const int32_t chapter = static_cast<int32_t>((verses[i].second->key >> 8) & 0xFF);
                const int32_t verse = static_cast<int32_t>(verses[i].second->key & 0xFF);
                if (r == nullptr || r->startBook != bookNumber) {
                    r = passage.appendRange();
                    r->startBook = bookNumber;
                    r->startChapter = chapter;
                    r->startVerse = verse;
                }
                r->endBook = bookNumber;
                r->endChapter = chapter;
                r->endVerse = verse;
            }
            if (passage.hasRanges()) {
                std::vector<uint8_t> record;
                bibleRefRecord::encode(passage, record);
                TvkNode link = TvkNode::text("");
                link.runs.back().reference = std::move(record);
                s.blocks.push_back(TvkNode::element(TvkTag::kP, {std::move(link)}));
            }
            // The verses the day reads, for the verse index: a verse's readings are found by it, as a
            // commentary's entries are by the verses their links name.
            std::vector<uint32_t> covered;
            for (; next < end; ++next) {
                const TvkBibleVerse& v = *verses[next].second;
                covered.push_back(v.key);
                const std::string ref =
                    verses[next].first + " " + std::to_string((v.key >> 8) & 0xFF) + ":" + std::to_string(v.key & 0xFF);
                std::string text = tvkCollapseSpace(tvkPlainText(v.inlines));
                s.blocks.push_back(TvkNode::element(
                    TvkTag::kP, {TvkNode::element(TvkTag::kB, {TvkNode::text(ref)}), TvkNode::text(" " + text)}));
            }
            readings.push_back(book.addSection(std::move(s)));
            for (const uint32_t key : covered)
                book.addVerseIndex(key, readings.back());
        }
    }
    book.setReadings(readings, 1, 1);
}

std::vector<uint8_t> tvkBookNumbers(const TvkBibleModel& model)
{
    std::vector<uint8_t> out;
    for (const TvkBibleBook& b : model.books)
        if (!b.verses.empty())
            out.push_back(b.number);
    return out;
}

void tvkAddReferenceTables(
    cTvkRichBook& book, const std::string& abbreviation, const std::vector<TvkBibleBooks>& library)
{
    auto bytes = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    uint32_t* versions = book.info.tableVersions;
    // The book names in the tables' Latin-1, both lists (the engine reads them as a pair).
    for (const bool spanish : {false, true}) {
        std::vector<std::vector<std::string>> names;
        for (const BookNameRow& row :
            spanish ? cBibleRefDefaults::spanishBookNames() : cBibleRefDefaults::englishBookNames())
            names.push_back({row.text, std::to_string(row.minimumMatch), std::to_string(row.nameNumber),
                (row.kinds & kBookNameAbbreviationSource) ? "1" : "0", (row.kinds & kBookNameFull) ? "1" : "0", "", "",
                (row.kinds & kBookNameMatchOnly) ? "1" : "0"});
        const char* namesFile = spanish ? "SpanishBookNameList" : "EnglishBookNameList";
        book.addBibleRefFile(std::string(namesFile) + ".csv",
            bytes(csvTable(namesFile, cBibleRefDefaults::kBookNamesVersion, names,
                "\"Name\",\"MinMatch\",\"NameNum\",\"Abbrev\",\"Full\",\"\",\"\",\"MatchOnly\"")));
    }
    versions[static_cast<int>(BibleRefTable::BookNames)] = cBibleRefDefaults::kBookNamesVersion;
    std::vector<std::vector<std::string>> nameNums, order;
    const auto nums = cBibleRefDefaults::bookNumToNameNum();
    for (size_t i = 0; i < nums.size(); ++i)
        nameNums.push_back({std::to_string(i + 1), std::to_string(nums[i])});
    const auto total = cBibleRefDefaults::totalOrderOnBookNumber();
    for (size_t i = 0; i < total.size(); ++i)
        order.push_back({std::to_string(i + 1), std::to_string(total[i])});
    book.addBibleRefFile("BookNumToNameNum.csv",
        bytes(csvTable(
            "BookNumToNameNum", cBibleRefDefaults::kBookNumToNameNumVersion, nameNums, "\"BookNum\",\"NameNum\"")));
    versions[static_cast<int>(BibleRefTable::BookNumToNameNum)] = cBibleRefDefaults::kBookNumToNameNumVersion;
    book.addBibleRefFile("TotalOrderOnBookNumber.csv",
        bytes(csvTable(
            "TotalOrderOnBookNumber", cBibleRefDefaults::kTotalOrderVersion, order, "\"Position\",\"BookNum\"")));
    versions[static_cast<int>(BibleRefTable::TotalOrderOnBookNumber)] = cBibleRefDefaults::kTotalOrderVersion;

    // The books of each translation: front matter, the Bible's books, back matter.
    const std::vector<TranslationRow> translations = cBibleRefDefaults::translations();
    auto translationOf = [&](const std::string& abbr) -> int {
        for (const TranslationRow& row : translations)
            if (abbr.size() == row.abbreviation.size() &&
                std::equal(abbr.begin(), abbr.end(), row.abbreviation.begin(), [](char x, char y) {
                    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
                }))
                return row.number;
        return 0;
    };
    auto listOf = [](const std::vector<uint8_t>& books) {
        std::vector<int> list {67};
        list.insert(list.end(), books.begin(), books.end());
        list.push_back(68);
        if (list.size() > static_cast<size_t>(kMaxBooksPerTranslation))
            list.resize(static_cast<size_t>(kMaxBooksPerTranslation));
        return list;
    };
    std::vector<BibleBookList> lists = cBibleRefDefaults::bibleBooks();
    bool changed = false;
    for (const TvkBibleBooks& bible : library) {
        const int t = translationOf(bible.abbreviation);
        if (t < 1 || static_cast<size_t>(t) > lists.size())
            continue;
        BibleBookList list;
        list.fill(kBookListEnd);
        const std::vector<int> books = listOf(bible.books);
        for (size_t i = 0; i < books.size(); ++i)
            list[i] = static_cast<int16_t>(books[i]);
        changed = changed || list != lists[static_cast<size_t>(t - 1)];
        lists[static_cast<size_t>(t - 1)] = list;
    }
    std::vector<std::vector<std::string>> rows;
    for (size_t t = 0; t < lists.size(); ++t)
        for (size_t i = 0; i < lists[t].size() && lists[t][i] != kBookListEnd; ++i)
            rows.push_back({std::to_string(t + 1), std::to_string(i), std::to_string(lists[t][i])});
    const uint32_t booksVersion = cBibleRefDefaults::kBibleBooksVersion + (changed ? 1 : 0);
    // Its Count is the number of translations.
    book.addBibleRefFile("BibleBooks.csv",
        bytes(csvTable("BibleBooks", booksVersion, rows, "\"TransNum\",\"Position\",\"BookNum\"", lists.size())));
    versions[static_cast<int>(BibleRefTable::BibleBooks)] = booksVersion;

    // A Bible of its own versification names its books in its header.
    if (translationOf(abbreviation) == 0) {
        for (const TvkBibleBooks& bible : library)
            if (bible.abbreviation == abbreviation) {
                std::string text;
                for (int b : listOf(bible.books))
                    text += (text.empty() ? "" : ",") + std::to_string(b);
                book.info.bibleBooks = text;
            }
    }
}
