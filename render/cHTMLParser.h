// cHTMLParser: builds the parse tree of book markup, one section at a time.
//
// Two kinds of source:
//  - a text source (mode 0) serves markup token by token; the parser checks each token against a
//    fixed content model per tag, backtracks where a rule fails (a failed rule consumes nothing) and
//    keeps the first problem it meets as a message with its source span and excerpt. Malformed
//    markup is repaired where the rules allow: an unreadable token becomes a text node holding its
//    characters and the parse goes on;
//  - a node source (mode 1) hands over ready trees, one per section (a book's stored node trees);
//    the parser only places them.
//
// The root element's children are the parsed sections' top-level items in section order; the head
// root receives a document's `head` element. Sections accumulate under the root through the next- and
// previous-section parses until reset() or parseSection() replaces them.
//
// Hostile markup is bounded: elements nest at most kMaxNestingDepth deep, and a parse that would
// backtrack without end stops with a message. Not safe for concurrent use.

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "render/cHTMLAttributeList.h"
#include "render/cHTMLTagElement.h"

class cHTMLRenderConfiguration;
class cPlatformImage;

// Text source. Requests the parser sends:
//   n >= 0, position 0, count 0: the first token of section n (text, start, end); true when there is one;
//   0, position p, count 1: the token that follows the one starting at p; true when there is one;
//   -4, position = error start, count = span length (75 when empty): up to count characters of the
//       source from that position into outText (the error excerpt);
//   -6, name = an image name, extra = the image holder: true when the image's width is above 0.
// Tokens must move forward (a token that does not start after the current one ends the input), and
// during one parse the same request gets the same answer: the parser keeps the tokens it has read.
using HTMLTextSourceCallback = bool (*)(void* context, std::int32_t request, std::uint32_t position, const char* name,
    std::int32_t count, std::string& outText, std::uint32_t& outStart, std::int32_t& outEnd, void* extra);

// Argument of the node source's text-node request.
struct cHTMLTextNodeRequest {
    std::uint32_t textPosition = 0;
    std::uint16_t language = 0;
    std::uint16_t rightToLeft = 0;
    const cHTMLRenderConfiguration* configuration = nullptr;
};

// Node source. `outTree` is a cHTMLTagElement** for the tree requests (n >= -1) and the element to
// fill for the text-node request. Requests the parser sends:
//   n >= 0: the tree of section n;  -1: the tree of the document head (true with no tree is allowed);
//   -2: argument = cHTMLTextNodeRequest*, fill the element's `untagged_text`;
//   -6: argument = image name (const char*), imageHolder given: true when the image's width is above 0;
//   -8: argument = "name\tfolder" (const char*): extract that embedded file into the folder.
// The book node source also answers -3 (load an image), -5 (section count into inOutValue) and -7
// (verse key in inOutValue to section), which the block renderer sends directly.
using HTMLNodeSourceCallback = bool (*)(void* context, std::int32_t request, const void* argument, void* outTree,
    cPlatformImage* imageHolder, std::uint32_t* inOutValue);

enum : std::int32_t {
    kHTMLRequestHead = -1,
    kHTMLRequestTextNode = -2,
    kHTMLRequestLoadImage = -3,
    kHTMLRequestExcerpt = -4,
    kHTMLRequestSectionCount = -5,
    kHTMLRequestImageWidth = -6,
    kHTMLRequestVerseToSection = -7,
    kHTMLRequestExtractFile = -8,
};

class cHTMLParser {
public:
    static constexpr std::uint32_t kNoSection = 0xFFFFFFFF;
    static constexpr int kMaxNestingDepth = 128;
    // findTextPosition reads at most this many further sections looking for a text position.
    static constexpr int kMaxFollowOnSections = 4096;

    cHTMLParser();
    ~cHTMLParser();
    cHTMLParser(const cHTMLParser&) = delete;
    cHTMLParser& operator=(const cHTMLParser&) = delete;

    // Select the source; both reset the parser (a null callback and context also free the roots).
    int setTextSource(HTMLTextSourceCallback callback, void* context);
    int setNodeSource(HTMLNodeSourceCallback callback, void* context);
    // Empties the current token and the roots' children; with `free` the roots are destroyed too;
    // missing roots are created when `free` is not set.
    void reset(bool free);

    std::uint32_t mode() const { return m_mode; }
    HTMLNodeSourceCallback nodeSource() const { return m_nodeSource; }
    void* sourceContext() const { return m_context; }

    cHTMLTagElement* rootElement() const { return m_root.get(); }
    cHTMLTagElement* headRootElement() const { return m_headRoot.get(); }

    // Parses the document from section 0 (text: from its first token, `html`, `head` and `body` read;
    // nodes: the head tree and the tree of section 0).
    bool parseAll();
    // Parses section n alone (its tree replaces the root's children).
    bool parseSection(std::uint32_t n);
    // Parses the section after the root's last child; `item` receives the first new root child.
    bool parseNextSection(cHTMLTagElement** item);
    // Parses the section after a given root child; `item` receives the new root child.
    bool parseSectionAfter(cHTMLTagElement* rootChild, cHTMLTagElement** item);
    // Section numbers of the root's first and last child; kNoSection each when absent.
    void sectionRange(std::uint32_t* first, std::uint32_t* last) const;

    // Node mode: the first text position (`$textat`) at or after the item in document order; with
    // followOn the search goes on past the item's ancestors and into further sections (which are
    // parsed for the search and destroyed again), reading no section after `lastSection`. Text mode
    // answers true with kNoSection.
    bool findTextPosition(
        cHTMLTagElement* item, std::uint32_t* position, bool followOn, std::uint32_t lastSection = kNoSection);
    // Node mode: has the node source fill the element's text from its `$textat`.
    bool requestTextNode(cHTMLTagElement* element, std::uint16_t language, bool rightToLeft,
        const cHTMLRenderConfiguration* configuration);
    // Node mode: has the node source copy the embedded file `name` into `folder`.
    bool extractFile(std::string_view folder, std::string_view name);
    // Whether the named image can be shown (its width is above 0); loads it into the holder.
    bool imageWidthUsable(std::string_view name, cPlatformImage* holder);

    // The first problem of the last parse (empty when none), its source span and excerpt.
    const std::string& message() const { return m_message; }
    void errorSpan(std::uint32_t* start, std::uint32_t* end) const;
    const std::string& errorExcerpt() const { return m_errorExcerpt; }

private:
    struct Token;
    using TokenRef = std::shared_ptr<const Token>;
    class Guard;

    // Tokens.
    bool fetchSectionStart(std::uint32_t section);
    void advance();
    bool hasToken() const;
    HTMLTagCode code() const;
    void skipWhitespace();
    bool atWhitespace() const;
    void setProblem(const std::string& text, std::uint32_t start, std::uint32_t end);
    void beginParse();

    // What a rule reads: an element or a chain of siblings, owned until it is placed in a tree.
    struct ChainDeleter {
        void operator()(cHTMLTagElement* head) const;
    };
    using Nodes = std::unique_ptr<cHTMLTagElement, ChainDeleter>;
    struct ChainBuilder;
    struct ContainerProblems {
        const char* noContents;       // the input ends after the opening tag
        const char* unterminated;     // something else stands where the closing tag should
        const char* endedInContents;  // the input ends inside the contents
    };

    Nodes currentAsElement() const;
    // The code of the next token that is not white space; the token state does not move.
    HTMLTagCode codeAfterWhitespace();
    // Runs a rule; when it reads nothing, the token state goes back to where it was.
    template <class Rule> Nodes orBack(Rule&& rule);

    // Rules: each returns the item or chain read, or null with the token state restored.
    Nodes elementRule(
        HTMLTagCode tag, int model, bool repeat, int minimum, bool closingRequired, bool skipSpace, bool readContent);
    // The element of the next tag that is not white space, white space after it skipped too.
    Nodes ownTagRule(int model, bool repeat, int minimum, bool closingRequired);
    // An opening tag, its contents as `readContents` reads them into the element, and its closing tag.
    template <class Contents>
    Nodes containerRule(HTMLTagCode tag, const ContainerProblems& problems, Contents&& readContents);
    Nodes takenAlone(bool skipSpaceAfter);
    Nodes takenAloneAfterWhitespace();
    Nodes modelRule(int model);
    Nodes heading();
    Nodes blockElement();
    Nodes blockContent();
    Nodes flow();
    Nodes formContent();
    Nodes headContent();
    Nodes labelContent();
    Nodes textRun();
    Nodes areas();
    Nodes preformattedItem();
    Nodes selectContent();
    Nodes phrasingRun();
    Nodes inlineRun();
    Nodes inlineItem();
    Nodes inlineElement();
    Nodes tableRule();
    Nodes fieldsetRule();
    Nodes topLevelBlock();
    Nodes unreadableTokenAsText();
    // A section's block, or its first token as text when no block can be read (`wasBlock` false).
    Nodes sectionStart(bool& wasBlock);
    bool wholeParse();
    bool checkAfterBlock();
    bool nodeTree(std::int32_t request, cHTMLTagElement** tree);

    std::unique_ptr<cHTMLTagElement> m_root;
    std::unique_ptr<cHTMLTagElement> m_headRoot;
    std::uint32_t m_mode = 0;
    HTMLTextSourceCallback m_textSource = nullptr;
    HTMLNodeSourceCallback m_nodeSource = nullptr;
    void* m_context = nullptr;

    TokenRef m_token;
    // The token read after the one starting at a position, kept for the current parse.
    std::unordered_map<std::uint32_t, TokenRef> m_successors;
    std::string m_message;
    std::uint32_t m_errorStart = 0;
    std::uint32_t m_errorEnd = 0;
    std::string m_errorExcerpt;

    // Bounds on hostile markup.
    int m_depth = 0;
    std::uint64_t m_steps = 0;
    std::uint64_t m_furthestPosition = 0;  // end of the furthest token read in this parse
    std::uint64_t m_parseOrigin = 0;       // start of the parse's first token
    bool m_aborted = false;
};
