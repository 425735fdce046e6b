#include "search/core/EarlyEnglishStemmer.h"

#include <array>
#include <string>

#include "search/core/TextFolding.h"

// The word is worked on as code points so that "next" and "hop" count characters,
// as the Snowball runtime does. p1 and p2 are the starts of the regions R1 and R2;
// like Snowball's integer marks they are not moved when the word's end changes.

namespace {

using Word = std::u32string;
using Suffix = std::u32string_view;

bool isV(char32_t c)
{
    return c == U'a' || c == U'e' || c == U'i' || c == U'o' || c == U'u' || c == U'y';
}

bool isVWXY(char32_t c)
{
    return isV(c) || c == U'w' || c == U'x' || c == U'Y';
}

bool isValidLI(char32_t c)
{
    return c == U'c' || c == U'd' || c == U'e' || c == U'g' || c == U'h' || c == U'k' || c == U'm' || c == U'n' ||
        c == U'r' || c == U't';
}

bool endsWith(const Word& w, Suffix s)
{
    return w.size() >= s.size() && Suffix(w).substr(w.size() - s.size()) == s;
}

bool startsWith(const Word& w, Suffix s)
{
    return w.size() >= s.size() && Suffix(w).substr(0, s.size()) == s;
}

// The longest of the suffixes that ends the word; npos when none does.
template <std::size_t N> std::size_t longestSuffix(const Word& w, const std::array<Suffix, N>& suffixes)
{
    std::size_t best = Suffix::npos;
    for (std::size_t k = 0; k < N; ++k)
        if (endsWith(w, suffixes[k]) && (best == Suffix::npos || suffixes[k].size() > suffixes[best].size()))
            best = k;
    return best;
}

void replaceSuffix(Word& w, std::size_t suffixLength, Suffix by)
{
    w.resize(w.size() - suffixLength);
    w.append(by);
}

bool hasVowelBefore(const Word& w, std::size_t end)
{
    for (std::size_t k = 0; k < end; ++k)
        if (isV(w[k]))
            return true;
    return false;
}

// The part of the word before pos ends in a short syllable.
bool shortSyllableBefore(const Word& w, std::size_t pos)
{
    if (pos >= 3 && !isVWXY(w[pos - 1]) && isV(w[pos - 2]) && !isV(w[pos - 3]))
        return true;
    return pos == 2 && !isV(w[1]) && isV(w[0]);
}

struct Exception {
    Suffix word;
    Suffix stem;
};

constexpr std::array<Exception, 18> kWholeWordExceptions {{
    {U"skis", U"ski"},
    {U"skies", U"sky"},
    {U"dying", U"die"},
    {U"lying", U"lie"},
    {U"tying", U"tie"},
    {U"idly", U"idl"},
    {U"gently", U"gentl"},
    {U"ugly", U"ugli"},
    {U"early", U"earli"},
    {U"only", U"onli"},
    {U"singly", U"singl"},
    {U"sky", U"sky"},
    {U"news", U"news"},
    {U"howe", U"howe"},
    {U"atlas", U"atlas"},
    {U"cosmos", U"cosmos"},
    {U"bias", U"bias"},
    {U"andes", U"andes"},
}};

constexpr std::array<Suffix, 8> kInvariantAfterStep1a {
    U"inning", U"outing", U"canning", U"herring", U"earring", U"proceed", U"exceed", U"succeed"};

constexpr std::array<Suffix, 3> kRegionPrefixes {U"gener", U"commun", U"arsen"};

struct Stemming {
    Word w;
    std::size_t p1 = 0;
    std::size_t p2 = 0;
    bool yFound = false;
    bool archaic = true;

    void prelude()
    {
        if (!w.empty() && w[0] == U'\'')
            w.erase(0, 1);
        if (!w.empty() && w[0] == U'y') {
            w[0] = U'Y';
            yFound = true;
        }
        for (std::size_t i = 0; i + 1 < w.size();) {
            if (isV(w[i]) && w[i + 1] == U'y') {
                w[i + 1] = U'Y';
                yFound = true;
                i += 2;
            } else {
                ++i;
            }
        }
    }

    // Position just past the first vowel followed by a non-vowel from 'from', or npos.
    std::size_t pastVowelConsonant(std::size_t from) const
    {
        std::size_t i = from;
        while (i < w.size() && !isV(w[i]))
            ++i;
        if (i >= w.size())
            return Word::npos;
        ++i;
        while (i < w.size() && isV(w[i]))
            ++i;
        if (i >= w.size())
            return Word::npos;
        return i + 1;
    }

    void markRegions()
    {
        p1 = p2 = w.size();
        std::size_t c = Word::npos;
        for (Suffix prefix : kRegionPrefixes)
            if (startsWith(w, prefix))
                c = prefix.size();
        if (c == Word::npos)
            c = pastVowelConsonant(0);
        if (c == Word::npos)
            return;
        p1 = c;
        const std::size_t c2 = pastVowelConsonant(c);
        if (c2 != Word::npos)
            p2 = c2;
    }

    bool r1(std::size_t pos) const { return p1 <= pos; }
    bool r2(std::size_t pos) const { return p2 <= pos; }

    void step1a()
    {
        if (endsWith(w, U"'s'"))
            w.resize(w.size() - 3);
        else if (endsWith(w, U"'s"))
            w.resize(w.size() - 2);
        else if (endsWith(w, U"'"))
            w.resize(w.size() - 1);

        if (endsWith(w, U"sses")) {
            replaceSuffix(w, 4, U"ss");
        } else if (endsWith(w, U"ied") || endsWith(w, U"ies")) {
            replaceSuffix(w, 3, w.size() - 3 >= 2 ? U"i" : U"ie");
        } else if (endsWith(w, U"us") || endsWith(w, U"ss")) {
            // left alone
        } else if (endsWith(w, U"s")) {
            const std::size_t s = w.size() - 1;
            if (s >= 1 && hasVowelBefore(w, s - 1))
                w.resize(s);
        }
    }

    void step1b()
    {
        // The archaic endings follow the six of Porter2: "eth" and "est" (loveth, lovest) and the
        // past second person "edst" (lovedst, walkedst), each acting as "ed" does.
        static constexpr std::array<Suffix, 9> kSuffixes {
            U"eed", U"eedly", U"ed", U"edly", U"ing", U"ingly", U"eth", U"est", U"edst"};
        const std::size_t usable = archaic ? kSuffixes.size() : 6;
        std::size_t best = Suffix::npos;
        for (std::size_t k = 0; k < usable; ++k)
            if (endsWith(w, kSuffixes[k]) && (best == Suffix::npos || kSuffixes[k].size() > kSuffixes[best].size()))
                best = k;
        if (best == Suffix::npos)
            return;
        const std::size_t s = w.size() - kSuffixes[best].size();
        if (best <= 1) {
            if (r1(s))
                replaceSuffix(w, kSuffixes[best].size(), U"ee");
            return;
        }
        if (!hasVowelBefore(w, s))
            return;
        w.resize(s);
        if (endsWith(w, U"at") || endsWith(w, U"bl") || endsWith(w, U"iz")) {
            w.push_back(U'e');
            return;
        }
        static constexpr std::array<Suffix, 9> kDoubles {U"bb", U"dd", U"ff", U"gg", U"mm", U"nn", U"pp", U"rr", U"tt"};
        if (longestSuffix(w, kDoubles) != Suffix::npos) {
            w.pop_back();
            return;
        }
        if (w.size() == p1 && shortSyllableBefore(w, w.size()))
            w.push_back(U'e');
    }

    void step1c()
    {
        if (w.size() < 3)
            return;
        const std::size_t pos = w.size() - 1;
        if ((w[pos] == U'y' || w[pos] == U'Y') && !isV(w[pos - 1]))
            w[pos] = U'i';
    }

    void step2()
    {
        static constexpr std::array<Suffix, 24> kSuffixes {U"tional", U"enci", U"anci", U"abli", U"entli", U"izer",
            U"ization", U"ational", U"ation", U"ator", U"alism", U"aliti", U"alli", U"fulness", U"ousli", U"ousness",
            U"iveness", U"iviti", U"biliti", U"bli", U"ogi", U"fulli", U"lessli", U"li"};
        static constexpr std::array<Suffix, 24> kReplacements {U"tion", U"ence", U"ance", U"able", U"ent", U"ize",
            U"ize", U"ate", U"ate", U"ate", U"al", U"al", U"al", U"ful", U"ous", U"ous", U"ive", U"ive", U"ble", U"ble",
            U"og", U"ful", U"less", U""};
        const std::size_t k = longestSuffix(w, kSuffixes);
        if (k == Suffix::npos)
            return;
        const std::size_t s = w.size() - kSuffixes[k].size();
        if (!r1(s))
            return;
        if (kSuffixes[k] == U"ogi" && !(s >= 1 && w[s - 1] == U'l'))
            return;
        if (kSuffixes[k] == U"li" && !(s >= 1 && isValidLI(w[s - 1])))
            return;
        replaceSuffix(w, kSuffixes[k].size(), kReplacements[k]);
    }

    void step3()
    {
        static constexpr std::array<Suffix, 9> kSuffixes {
            U"tional", U"ational", U"alize", U"icate", U"iciti", U"ical", U"ful", U"ness", U"ative"};
        static constexpr std::array<Suffix, 9> kReplacements {
            U"tion", U"ate", U"al", U"ic", U"ic", U"ic", U"", U"", U""};
        const std::size_t k = longestSuffix(w, kSuffixes);
        if (k == Suffix::npos)
            return;
        const std::size_t s = w.size() - kSuffixes[k].size();
        if (!r1(s) || (kSuffixes[k] == U"ative" && !r2(s)))
            return;
        replaceSuffix(w, kSuffixes[k].size(), kReplacements[k]);
    }

    void step4()
    {
        static constexpr std::array<Suffix, 18> kSuffixes {U"al", U"ance", U"ence", U"er", U"ic", U"able", U"ible",
            U"ant", U"ement", U"ment", U"ent", U"ism", U"ate", U"iti", U"ous", U"ive", U"ize", U"ion"};
        const std::size_t k = longestSuffix(w, kSuffixes);
        if (k == Suffix::npos)
            return;
        const std::size_t s = w.size() - kSuffixes[k].size();
        if (!r2(s))
            return;
        if (kSuffixes[k] == U"ion" && !(s >= 1 && (w[s - 1] == U's' || w[s - 1] == U't')))
            return;
        w.resize(s);
    }

    void step5()
    {
        if (w.empty())
            return;
        const std::size_t s = w.size() - 1;
        if (w[s] == U'e') {
            if (r2(s) || (r1(s) && !shortSyllableBefore(w, s)))
                w.resize(s);
        } else if (w[s] == U'l') {
            if (r2(s) && s >= 1 && w[s - 1] == U'l')
                w.resize(s);
        }
    }

    void postlude()
    {
        if (!yFound)
            return;
        for (char32_t& c : w)
            if (c == U'Y')
                c = U'y';
    }

    void run()
    {
        for (const Exception& e : kWholeWordExceptions) {
            if (w == e.word) {
                w = e.stem;
                return;
            }
        }
        if (w.size() < 3)
            return;
        prelude();
        markRegions();
        step1a();
        bool invariant = false;
        for (Suffix word : kInvariantAfterStep1a)
            invariant = invariant || w == word;
        if (!invariant) {
            step1b();
            step1c();
            step2();
            step3();
            step4();
            step5();
        }
        postlude();
    }
};

Word toCodePoints(std::string_view utf8)
{
    const std::u16string units = TextFolding::utf8ToUtf16(utf8);
    Word out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

std::string fromCodePoints(const Word& w)
{
    std::u16string units;
    units.reserve(w.size());
    for (char32_t c : w) {
        if (c >= 0x10000) {
            c -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(c));
        }
    }
    return TextFolding::utf16ToUtf8(units);
}

}  // namespace

std::string EarlyEnglishStemmer::stem(std::string_view utf8Word) const
{
    Stemming s;
    s.w = toCodePoints(utf8Word);
    s.archaic = m_archaicEndings;
    s.run();
    return fromCodePoints(s.w);
}
