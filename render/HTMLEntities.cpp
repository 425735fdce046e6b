#include "render/HTMLEntities.h"

#include <algorithm>

namespace {

struct NamedEntity {
    const char* name;
    std::uint16_t character;
};

// The named character references of HTML 4.01 less the five markup ones, plus "apos";
// sorted by name in byte order for the binary search.
const NamedEntity kNamedEntities[248] = {
    {"AElig", 198},
    {"Aacute", 193},
    {"Acirc", 194},
    {"Agrave", 192},
    {"Alpha", 913},
    {"Aring", 197},
    {"Atilde", 195},
    {"Auml", 196},
    {"Beta", 914},
    {"Ccedil", 199},
    {"Chi", 935},
    {"Dagger", 8225},
    {"Delta", 916},
    {"ETH", 208},
    {"Eacute", 201},
    {"Ecirc", 202},
    {"Egrave", 200},
    {"Epsilon", 917},
    {"Eta", 919},
    {"Euml", 203},
    {"Gamma", 915},
    {"Iacute", 205},
    {"Icirc", 206},
    {"Igrave", 204},
    {"Iota", 921},
    {"Iuml", 207},
    {"Kappa", 922},
    {"Lambda", 923},
    {"Mu", 924},
    {"Ntilde", 209},
    {"Nu", 925},
    {"OElig", 338},
    {"Oacute", 211},
    {"Ocirc", 212},
    {"Ograve", 210},
    {"Omega", 937},
    {"Omicron", 927},
    {"Oslash", 216},
    {"Otilde", 213},
    {"Ouml", 214},
    {"Phi", 934},
    {"Pi", 928},
    {"Prime", 8243},
    {"Psi", 936},
    {"Rho", 929},
    {"Scaron", 352},
    {"Sigma", 931},
    {"THORN", 222},
    {"Tau", 932},
    {"Theta", 920},
    {"Uacute", 218},
    {"Ucirc", 219},
    {"Ugrave", 217},
    {"Upsilon", 933},
    {"Uuml", 220},
    {"Xi", 926},
    {"Yacute", 221},
    {"Yuml", 376},
    {"Zeta", 918},
    {"aacute", 225},
    {"acirc", 226},
    {"acute", 180},
    {"aelig", 230},
    {"agrave", 224},
    {"alefsym", 8501},
    {"alpha", 945},
    {"and", 8743},
    {"ang", 8736},
    {"apos", 39},
    {"aring", 229},
    {"asymp", 8776},
    {"atilde", 227},
    {"auml", 228},
    {"bdquo", 8222},
    {"beta", 946},
    {"brvbar", 166},
    {"bull", 8226},
    {"cap", 8745},
    {"ccedil", 231},
    {"cedil", 184},
    {"cent", 162},
    {"chi", 967},
    {"circ", 710},
    {"clubs", 9827},
    {"cong", 8773},
    {"copy", 169},
    {"crarr", 8629},
    {"cup", 8746},
    {"curren", 164},
    {"dArr", 8659},
    {"dagger", 8224},
    {"darr", 8595},
    {"deg", 176},
    {"delta", 948},
    {"diams", 9830},
    {"divide", 247},
    {"eacute", 233},
    {"ecirc", 234},
    {"egrave", 232},
    {"empty", 8709},
    {"emsp", 8195},
    {"ensp", 8194},
    {"epsilon", 949},
    {"equiv", 8801},
    {"eta", 951},
    {"eth", 240},
    {"euml", 235},
    {"euro", 8364},
    {"exist", 8707},
    {"fnof", 402},
    {"forall", 8704},
    {"frac12", 189},
    {"frac14", 188},
    {"frac34", 190},
    {"frasl", 8260},
    {"gamma", 947},
    {"ge", 8805},
    {"hArr", 8660},
    {"harr", 8596},
    {"hearts", 9829},
    {"hellip", 8230},
    {"iacute", 237},
    {"icirc", 238},
    {"iexcl", 161},
    {"igrave", 236},
    {"image", 8465},
    {"infin", 8734},
    {"int", 8747},
    {"iota", 953},
    {"iquest", 191},
    {"isin", 8712},
    {"iuml", 239},
    {"kappa", 954},
    {"lArr", 8656},
    {"lambda", 955},
    {"lang", 9001},
    {"laquo", 171},
    {"larr", 8592},
    {"lceil", 8968},
    {"ldquo", 8220},
    {"le", 8804},
    {"lfloor", 8970},
    {"lowast", 8727},
    {"loz", 9674},
    {"lrm", 8206},
    {"lsaquo", 8249},
    {"lsquo", 8216},
    {"macr", 175},
    {"mdash", 8212},
    {"micro", 181},
    {"middot", 183},
    {"minus", 8722},
    {"mu", 956},
    {"nabla", 8711},
    {"ndash", 8211},
    {"ne", 8800},
    {"ni", 8715},
    {"not", 172},
    {"notin", 8713},
    {"nsub", 8836},
    {"ntilde", 241},
    {"nu", 957},
    {"oacute", 243},
    {"ocirc", 244},
    {"oelig", 339},
    {"ograve", 242},
    {"oline", 8254},
    {"omega", 969},
    {"omicron", 959},
    {"oplus", 8853},
    {"or", 8744},
    {"ordf", 170},
    {"ordm", 186},
    {"oslash", 248},
    {"otilde", 245},
    {"otimes", 8855},
    {"ouml", 246},
    {"para", 182},
    {"part", 8706},
    {"permil", 8240},
    {"perp", 8869},
    {"phi", 966},
    {"pi", 960},
    {"piv", 982},
    {"plusmn", 177},
    {"pound", 163},
    {"prime", 8242},
    {"prod", 8719},
    {"prop", 8733},
    {"psi", 968},
    {"rArr", 8658},
    {"radic", 8730},
    {"rang", 9002},
    {"raquo", 187},
    {"rarr", 8594},
    {"rceil", 8969},
    {"rdquo", 8221},
    {"real", 8476},
    {"reg", 174},
    {"rfloor", 8971},
    {"rho", 961},
    {"rlm", 8207},
    {"rsaquo", 8250},
    {"rsquo", 8217},
    {"sbquo", 8218},
    {"scaron", 353},
    {"sdot", 8901},
    {"sect", 167},
    {"shy", 173},
    {"sigma", 963},
    {"sigmaf", 962},
    {"sim", 8764},
    {"spades", 9824},
    {"sub", 8834},
    {"sube", 8838},
    {"sum", 8721},
    {"sup", 8835},
    {"sup1", 185},
    {"sup2", 178},
    {"sup3", 179},
    {"supe", 8839},
    {"szlig", 223},
    {"tau", 964},
    {"there4", 8756},
    {"theta", 952},
    {"thetasym", 977},
    {"thinsp", 8201},
    {"thorn", 254},
    {"tilde", 732},
    {"times", 215},
    {"trade", 8482},
    {"uArr", 8657},
    {"uacute", 250},
    {"uarr", 8593},
    {"ucirc", 251},
    {"ugrave", 249},
    {"uml", 168},
    {"upsih", 978},
    {"upsilon", 965},
    {"uuml", 252},
    {"weierp", 8472},
    {"xi", 958},
    {"yacute", 253},
    {"yen", 165},
    {"yuml", 255},
    {"zeta", 950},
    {"zwj", 8205},
    {"zwnj", 8204},
};

// Looked up only when the caller asks, in this order.
const NamedEntity kMarkupEntities[5] = {{"amp", 38}, {"gt", 62}, {"lt", 60}, {"nbsp", 160}, {"quot", 34}};

// Compares a row's name with the input: 0 when the input begins with the name and the name is followed
// by the end or ";"; a name that is a prefix followed by anything else counts as smaller.
template <typename C> int compareRow(const char* row, const C* p, std::size_t n)
{
    std::size_t i = 0;
    for (; row[i] != 0; ++i) {
        if (i >= n)
            return 1;
        std::uint32_t a = static_cast<unsigned char>(row[i]);
        std::uint32_t b = static_cast<std::make_unsigned_t<C>>(p[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (i == n || p[i] == C(';'))
        return 0;
    return -1;
}

template <typename C> int digitValue(C c)
{
    std::uint32_t u = static_cast<std::make_unsigned_t<C>>(c);
    if (u >= '0' && u <= '9')
        return static_cast<int>(u - '0');
    if (u >= 'a' && u <= 'z')
        return static_cast<int>(u - 'a' + 10);
    if (u >= 'A' && u <= 'Z')
        return static_cast<int>(u - 'A' + 10);
    return 99;
}

// Integer reading as the engine strings do it: leading digits of the radix, a sign only in decimal,
// 0 on overflow. `consumed` counts the characters read (sign and digits).
template <typename C> std::uint16_t parseNumber(const C* p, std::size_t n, int radix, std::size_t& consumed)
{
    std::size_t i = 0;
    bool negative = false;
    if (radix == 10 && n > 0 && p[0] == C('-')) {
        negative = true;
        i = 1;
    }
    std::uint64_t value = 0;
    std::size_t digitsStart = i;
    for (; i < n; ++i) {
        int d = digitValue(p[i]);
        if (d >= radix)
            break;
        std::uint64_t next = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(d);
        if (next / static_cast<std::uint64_t>(radix) != value) {  // overflow
            value = 0;
            // keep consuming digits so the reference's extent is still known
            for (++i; i < n && digitValue(p[i]) < radix; ++i) { }
            consumed = i;
            return 0;
        }
        value = next;
    }
    consumed = i;
    if (i == digitsStart)
        return 0;
    if (negative) {
        if (value >> 63)
            return 0;
        value = static_cast<std::uint64_t>(-static_cast<std::int64_t>(value));
    }
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

template <typename C> std::uint16_t matchCore(const C* p, std::size_t n, bool withMarkup, std::size_t& length)
{
    length = 0;
    if (n == 0)
        return 0;
    if (p[0] == C('#')) {
        std::size_t used = 0;
        std::uint16_t ch;
        std::size_t skip = 1;
        if (n >= 2 && (p[1] == C('x') || p[1] == C('X'))) {
            skip = 2;
            ch = parseNumber(p + 2, n - 2, 16, used);
        } else {
            ch = parseNumber(p + 1, n - 1, 10, used);
        }
        if (ch == 0)
            return 0;
        length = skip + used;
        if (length < n && p[length] == C(';'))
            ++length;
        return ch;
    }
    const NamedEntity* lo = kNamedEntities;
    const NamedEntity* hi = kNamedEntities + std::size(kNamedEntities);
    while (lo < hi) {
        const NamedEntity* mid = lo + (hi - lo) / 2;
        int c = compareRow(mid->name, p, n);
        if (c == 0) {
            length = std::char_traits<char>::length(mid->name);
            if (length < n)
                ++length;  // the ";"
            return mid->character;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    for (const NamedEntity& row : kMarkupEntities) {
        if (compareRow(row.name, p, n) == 0) {
            if (!withMarkup)
                return 0;
            length = std::char_traits<char>::length(row.name);
            if (length < n)
                ++length;
            return row.character;
        }
    }
    return 0;
}

}  // namespace

std::uint16_t matchCharacterEntity(std::string_view afterAmp, bool withMarkupEntities, std::size_t& length)
{
    return matchCore(afterAmp.data(), afterAmp.size(), withMarkupEntities, length);
}

std::uint16_t entityCharacter(std::string_view name, bool withMarkupEntities)
{
    std::size_t length = 0;
    return matchCore(name.data(), name.size(), withMarkupEntities, length);
}

std::uint16_t entityCharacterW(std::u16string_view name, bool withMarkupEntities)
{
    std::size_t length = 0;
    return matchCore(name.data(), name.size(), withMarkupEntities, length);
}

std::uint16_t lookupCharacterEntity(std::string_view text, bool withMarkupEntities)
{
    return text.empty() ? 0 : entityCharacter(text.substr(1), withMarkupEntities);
}

std::uint16_t lookupCharacterEntityW(std::u16string_view text, bool withMarkupEntities)
{
    return text.empty() ? 0 : entityCharacterW(text.substr(1), withMarkupEntities);
}

void decodeNamedEntitiesInPlace(std::u16string& text, bool withMarkupEntities)
{
    // One pass from left to right: a replaced reference is never looked at again, so writing to a new
    // string gives the same result as replacing in place, in linear time.
    constexpr std::size_t kLongestReference = 40;
    std::size_t amp = text.find(u'&');
    if (amp == std::u16string::npos)
        return;
    std::u16string out(text, 0, amp);
    out.reserve(text.size());
    std::size_t semicolon = std::u16string::npos;  // the first ";" at or after the current "&"
    std::string name;
    std::size_t p = amp;
    while (p < text.size()) {
        char16_t c = text[p];
        if (c != u'&' || text.size() - p < 4) {
            out.push_back(c);
            ++p;
            continue;
        }
        if (semicolon == std::u16string::npos || semicolon < p)
            semicolon = text.find(u';', p);
        if (semicolon == std::u16string::npos) {  // no ";" after any later "&" either
            out.append(text, p, std::u16string::npos);
            break;
        }
        // A reference is short; a longer run up to the ";" is ordinary text. Each unit is read as its
        // low 8 bits, and the reference must fill the whole run (so "&#65 and more;" stays as written).
        std::uint16_t ch = 0;
        if (semicolon - p <= kLongestReference) {
            name.clear();
            for (std::size_t i = p + 1; i <= semicolon; ++i)
                name.push_back(static_cast<char>(text[i] & 0xFF));
            std::size_t length = 0;
            ch = matchCharacterEntity(name, withMarkupEntities, length);
            if (length != name.size())
                ch = 0;
        }
        if (ch == 0) {
            out.push_back(c);
            ++p;
            continue;
        }
        out.push_back(static_cast<char16_t>(ch));
        p = semicolon + 1;
    }
    text.swap(out);
}
