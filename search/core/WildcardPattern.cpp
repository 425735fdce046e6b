#include "search/core/WildcardPattern.h"

#include "search/core/TextFolding.h"

namespace {

using TextFolding::isBlank;
using TextFolding::isCombiningMark;

const char16_t kEmpty[] = {0};

inline bool sameChar(char16_t a, char16_t b, bool exactCase)
{
    return a == b || (!exactCase && TextFolding::toLower(a) == TextFolding::toLower(b));
}

inline bool atWordEnd(const char16_t* t)
{
    return *t == 0 || isBlank(*t);
}

// A bracket class "[...]" at p (p points at "["). Finds its end and matches it
// against the text: the longest match among the alternatives, or failure when none
// matches or a negated alternative matches.
struct ClassMatch {
    bool matched;
    const char16_t* patternAfter;  // just past the closing "]" (or the pattern's end)
    const char16_t* textAfter;
};

// Length of the quoted string at q (q just past the opening quote) matched at t;
// -1 when it does not match. Sets *close to the closing quote (or the pattern end).
int matchQuoted(const char16_t* q, const char16_t* t, bool exactCase, const char16_t** close)
{
    int len = 0;
    bool ok = true;
    while (*q && *q != u'"') {
        if (ok && t[len] != 0 && sameChar(*q, t[len], exactCase))
            ++len;
        else
            ok = false;
        ++q;
    }
    *close = q;
    return ok ? len : -1;
}

ClassMatch matchClass(const char16_t* p, const char16_t* t, bool exactCase)
{
    ++p;  // past "["
    int best = -1;
    bool negatedHit = false;
    bool negated = false;
    int altBest = -1;  // longest match of the current alternative's items

    auto endAlternative = [&]() {
        if (negated) {
            if (altBest >= 0)
                negatedHit = true;
            else if (!atWordEnd(t) && !isCombiningMark(*t) && best < 1)
                best = 1;
        } else if (altBest > best) {
            best = altBest;
        }
        negated = false;
        altBest = -1;
    };

    bool sawItem = false;
    while (*p && *p != u']') {
        const char16_t c = *p;
        if (isBlank(c)) {
            ++p;
            continue;
        }
        if (c == u'|') {
            endAlternative();
            sawItem = false;
            ++p;
            continue;
        }
        if (c == u'!' && !sawItem && !negated) {
            negated = true;
            ++p;
            continue;
        }
        sawItem = true;
        if (c == u'"') {
            const char16_t* close = nullptr;
            const int len = matchQuoted(p + 1, t, exactCase, &close);
            if (len > altBest)
                altBest = len;
            p = *close ? close + 1 : close;
            continue;
        }
        // A range first-last: units compared as they are, or (letter case aside) in lower case, so
        // that "[A-C]" is "[a-c]".
        if (p[1] == u'-' && p[2] && p[2] != u']' && p[2] != u'|') {
            const char16_t lo = c;
            const char16_t hi = p[2];
            const bool inRange = !atWordEnd(t) &&
                ((*t >= lo && *t <= hi) ||
                    (!exactCase && TextFolding::toLower(*t) >= TextFolding::toLower(lo) &&
                        TextFolding::toLower(*t) <= TextFolding::toLower(hi)));
            if (inRange && altBest < 1)
                altBest = 1;
            p += 3;
            continue;
        }
        if (!atWordEnd(t) && sameChar(c, *t, exactCase) && altBest < 1)
            altBest = 1;
        ++p;
    }
    endAlternative();
    const char16_t* after = *p ? p + 1 : p;
    if (negatedHit || best < 0)
        return {false, after, t};
    return {true, after, t + best};
}

// Matches the pattern (without a leading negation) against the text from its start.
// Every element consumes a fixed amount of text once its start is known, so the
// only choice is how much each "*" takes; returning to the most recent "*" on a
// mismatch is enough, and a "*" never looks past the blank that ends its word.
bool matchPattern(const char16_t* p, const char16_t* t, bool exactCase)
{
    const char16_t* starPattern = nullptr;
    const char16_t* starText = nullptr;
    while (true) {
        bool ok = true;
        if (*p == 0) {
            if (atWordEnd(t))
                return true;
            ok = false;
        } else if (isBlank(*p)) {
            if (isBlank(*t)) {
                while (isBlank(*p))
                    ++p;
                while (isBlank(*t))
                    ++t;
                // The previous word matched up to its blank; how a "*" in it was
                // stretched can no longer change anything.
                starPattern = nullptr;
                continue;
            }
            ok = false;
        } else if (*p == u'*') {
            while (*p == u'*' || *p == u'_')
                ++p;
            if (*p == 0)
                return true;  // the rest of the text
            if (isBlank(*p)) {
                while (!atWordEnd(t))
                    ++t;
                continue;
            }
            starPattern = p;
            starText = t;
            continue;
        } else if (*p == u'?') {
            if (atWordEnd(t) || isCombiningMark(*t)) {
                ok = false;
            } else {
                ++t;
                while (isCombiningMark(*t))
                    ++t;
                ++p;
            }
        } else if (*p == u'_') {
            if (p[1] == u'*' || p[1] == u'_') {
                ++p;
            } else {
                while (isCombiningMark(*t))
                    ++t;
                ++p;
            }
        } else if (*p == u'[') {
            const ClassMatch m = matchClass(p, t, exactCase);
            if (m.matched) {
                p = m.patternAfter;
                t = m.textAfter;
            } else {
                ok = false;
            }
        } else {
            if (*t != 0 && sameChar(*p, *t, exactCase)) {
                ++p;
                ++t;
            } else {
                ok = false;
            }
        }
        if (ok)
            continue;
        // Mismatch: let the most recent "*" take one more unit of its word.
        if (!starPattern || atWordEnd(starText))
            return false;
        ++starText;
        p = starPattern;
        t = starText;
    }
}

}  // namespace

bool wildcardMatch(const char16_t* pattern, const char16_t* text, bool exactCase)
{
    if (!pattern)
        pattern = kEmpty;
    if (!text)
        text = kEmpty;
    if (*pattern == u'-')
        return !matchPattern(pattern + 1, text, exactCase);
    return matchPattern(pattern, text, exactCase);
}

bool hasWildcard(const char16_t* word)
{
    if (!word)
        return false;
    if (*word == u'-')
        return true;
    for (; *word; ++word)
        if (*word == u'*' || *word == u'?' || *word == u'_' || *word == u'[')
            return true;
    return false;
}

bool matchSearchPattern(const char16_t* pattern, const char16_t* word, uint8_t flag)
{
    return wildcardMatch(pattern, word, flag != 0);
}

bool hasWildcardOrNegationInChars(const char16_t* word)
{
    return hasWildcard(word);
}

bool matchSearchPattern(const unsigned short* pattern, const unsigned short* word, uint8_t flag)
{
    return wildcardMatch(
        reinterpret_cast<const char16_t*>(pattern), reinterpret_cast<const char16_t*>(word), flag != 0);
}

bool hasWildcardOrNegationInChars(const unsigned short* word)
{
    return hasWildcard(reinterpret_cast<const char16_t*>(word));
}
