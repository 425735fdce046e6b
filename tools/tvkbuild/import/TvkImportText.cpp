#include "tools/tvkbuild/import/TvkImportText.h"

#include <fstream>
#include <sstream>

namespace {

bool decodeEntities(const std::string& in, std::string& out, std::string& error)
{
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '&') {
            out += in[i];
            continue;
        }
        const size_t semi = in.find(';', i);
        if (semi == std::string::npos || semi - i > 10) {
            error = "unterminated entity";
            return false;
        }
        const std::string name = in.substr(i + 1, semi - i - 1);
        uint32_t c = 0;
        if (name == "amp")
            c = '&';
        else if (name == "lt")
            c = '<';
        else if (name == "gt")
            c = '>';
        else if (name == "quot")
            c = '"';
        else if (name == "apos")
            c = '\'';
        else if (name == "nbsp")
            c = 0xA0;
        else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string digits = name.substr(hex ? 2 : 1);
            if (digits.empty() || digits.size() > 7) {
                error = "bad character reference";
                return false;
            }
            for (char d : digits) {
                int v = d >= '0' && d <= '9'                        ? d - '0'
                    : hex && (d | 0x20) >= 'a' && (d | 0x20) <= 'f' ? (d | 0x20) - 'a' + 10
                                                                    : -1;
                if (v < 0) {
                    error = "bad character reference";
                    return false;
                }
                c = c * (hex ? 16 : 10) + static_cast<uint32_t>(v);
            }
            if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
                error = "bad character reference";
                return false;
            }
        } else {
            error = "unknown entity &" + name + ";";
            return false;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        i = semi;
    }
    return true;
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
        c == ':' || c == '.';
}

}  // namespace

std::vector<TvkImpEntry> tvkParseExport(const std::string& text)
{
    std::vector<TvkImpEntry> entries;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("$$$", 0) == 0) {
            entries.push_back({line.substr(3), {}});
        } else if (!entries.empty()) {
            if (!entries.back().text.empty())
                entries.back().text += '\n';
            entries.back().text += line;
        }
        pos = end + 1;
    }
    return entries;
}

bool tvkReadExport(const std::string& path, std::vector<TvkImpEntry>& entries, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    const auto size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > kMaxExportBytes) {
        error = path + ": too large";
        return false;
    }
    in.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), size);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    if (text.rfind("$$$", 0) != 0) {
        error = path + ": not an export (no entry key line)";
        return false;
    }
    entries = tvkParseExport(text);
    return true;
}

bool tvkTokenizeMarkup(const std::string& markup, std::vector<TvkMarkupToken>& tokens, std::string& error)
{
    tokens.clear();
    size_t i = 0;
    while (i < markup.size()) {
        if (markup[i] != '<') {
            const size_t lt = markup.find('<', i);
            const size_t end = lt == std::string::npos ? markup.size() : lt;
            TvkMarkupToken t;
            if (markup.find('>', i) < end) {
                error = "stray '>'";
                return false;
            }
            if (!decodeEntities(markup.substr(i, end - i), t.text, error))
                return false;
            tokens.push_back(std::move(t));
            i = end;
            continue;
        }
        if (markup.compare(i, 4, "<!--") == 0) {
            const size_t end = markup.find("-->", i + 4);
            if (end == std::string::npos) {
                error = "unterminated comment";
                return false;
            }
            i = end + 3;
            continue;
        }
        TvkMarkupToken t;
        size_t j = i + 1;
        t.type = TvkMarkupToken::Open;
        if (j < markup.size() && markup[j] == '/') {
            t.type = TvkMarkupToken::Close;
            ++j;
        }
        const size_t nameStart = j;
        while (j < markup.size() && isNameChar(markup[j]))
            ++j;
        t.name = markup.substr(nameStart, j - nameStart);
        if (t.name.empty()) {
            error = "malformed tag";
            return false;
        }
        for (;;) {
            while (
                j < markup.size() && (markup[j] == ' ' || markup[j] == '\t' || markup[j] == '\n' || markup[j] == '\r'))
                ++j;
            if (j >= markup.size()) {
                error = "unterminated tag <" + t.name;
                return false;
            }
            if (markup[j] == '>') {
                ++j;
                break;
            }
            if (markup[j] == '/' && j + 1 < markup.size() && markup[j + 1] == '>') {
                if (t.type == TvkMarkupToken::Close) {
                    error = "malformed closing tag";
                    return false;
                }
                t.type = TvkMarkupToken::Empty;
                j += 2;
                break;
            }
            const size_t a = j;
            while (j < markup.size() && isNameChar(markup[j]))
                ++j;
            if (a == j || j >= markup.size() || markup[j] != '=' || j + 1 >= markup.size() ||
                (markup[j + 1] != '"' && markup[j + 1] != '\'')) {
                error = "malformed attribute in <" + t.name;
                return false;
            }
            const std::string key = markup.substr(a, j - a);
            const char quote = markup[j + 1];
            const size_t close = markup.find(quote, j + 2);
            if (close == std::string::npos) {
                error = "unterminated attribute value in <" + t.name;
                return false;
            }
            std::string value;
            if (!decodeEntities(markup.substr(j + 2, close - j - 2), value, error))
                return false;
            t.attrs[key] = value;
            j = close + 1;
        }
        tokens.push_back(std::move(t));
        i = j;
    }
    return true;
}

bool tvkCleanUtf8(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        const uint8_t b = static_cast<uint8_t>(s[i]);
        if (b < 0x80) {
            if (b < 0x20 && b != '\t' && b != '\n' && b != '\r')
                return false;
            ++i;
            continue;
        }
        size_t n = b >= 0xF0 && b < 0xF5 ? 4 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        uint32_t c = b & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
        for (size_t k = 1; k < n; ++k) {
            const uint8_t d = static_cast<uint8_t>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (d & 0x3F);
        }
        if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c < 0xE000) ||
            c == 0xFFFD)
            return false;
        i += n;
    }
    return true;
}

std::string tvkCollapseSpace(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blank = true;
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    if (blank)
        out += ' ';
    return out;
}
