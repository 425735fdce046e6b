// TvkImportText: reading exported module text. An export is a run of entries, each a line
// "$$$" + key followed by the entry's text lines; entry text is markup (OSIS, TEI or ThML) that the
// importers read token by token.

#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TvkImpEntry {
    std::string key;
    std::string text;
};

// Reads an export; false with a message when the file cannot be read or is not one. Files larger than
// kMaxExportBytes are refused.
constexpr size_t kMaxExportBytes = 256u * 1024 * 1024;
bool tvkReadExport(const std::string& path, std::vector<TvkImpEntry>& entries, std::string& error);
std::vector<TvkImpEntry> tvkParseExport(const std::string& text);

struct TvkMarkupToken {
    enum Type { Text, Open, Close, Empty } type = Text;
    std::string name;                          // element name, as written
    std::map<std::string, std::string> attrs;  // values with entities decoded
    std::string text;                          // Text: the characters, entities decoded
    std::string attr(const std::string& key) const
    {
        auto it = attrs.find(key);
        return it == attrs.end() ? std::string() : it->second;
    }
};

// Cuts markup into text runs and tags; false with a message on an unterminated tag, a malformed
// attribute or an unknown entity.
bool tvkTokenizeMarkup(const std::string& markup, std::vector<TvkMarkupToken>& tokens, std::string& error);

// True when the bytes are well-formed UTF-8 without control characters other than tab and line ends,
// and without the replacement character that marks text lost in an earlier conversion.
bool tvkCleanUtf8(const std::string& text);

// Collapses runs of white space to one blank.
std::string tvkCollapseSpace(const std::string& text);
