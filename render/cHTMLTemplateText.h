// cHTMLTemplateText and templateConditionalReader: a text source for the markup parser that serves a
// template token by token while resolving template conditionals against a dictionary of condition
// names ("<!if NAME>", "<!ifn NAME>", "<!else>", "<!endif>" and the tags qs_if, qs_else, qs_endif),
// and that can split the template into sections at its top-level blocks, checking that the blocks
// nest.
//
// A state belongs to one parse on one thread. The dictionary and the condition stack are borrowed.

#pragma once

#include <cstdint>
#include <string>
#include <vector>

class cLStringDictionary;
class cLIntStack;

struct cHTMLTemplateText {
    std::string text;        // the template
    std::int32_t start = 0;  // bounds of the token served last
    std::int32_t end = 0;
    bool indexBuilt = false;
    std::vector<std::int32_t> sectionStarts;  // position of each section's first token
    std::string message;                      // the last failure's explanation
    std::int32_t strictness = 0;              // 0 quiet; above 0 nesting faults are reported, with longer excerpts
    std::int32_t errorPosition = 0;
    const cLStringDictionary* conditions = nullptr;  // the names that count as set
    cLIntStack* conditionStack = nullptr;            // null: each request uses a fresh stack

    // Empties text, message and section list; the token, strictness and error position go to 0.
    void reset();
};

// The parser's text-source callback (HTMLTextSourceCallback) over a cHTMLTemplateText context.
bool templateConditionalReader(void* context, std::int32_t request, std::uint32_t position, const char* name,
    std::int32_t count, std::string& outText, std::uint32_t& outStart, std::int32_t& outEnd, void* extra);
