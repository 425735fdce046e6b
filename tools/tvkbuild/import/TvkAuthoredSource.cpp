#include "tools/tvkbuild/import/TvkAuthoredSource.h"

#include <cstdlib>

namespace {

// Inline markup of one paragraph: *italic*, **bold**, backslash escapes.
bool inlineNodes(const std::string& text, std::vector<TvkNode>& out, std::string& error)
{
    std::string plain;
    int open = 0;  // 0 none, 1 italic, 2 bold
    std::vector<TvkNode> styled;
    auto flush = [&] {
        if (plain.empty())
            return;
        TvkNode t = TvkNode::text(plain);
        plain.clear();
        if (open == 0)
            out.push_back(std::move(t));
        else
            styled.push_back(std::move(t));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            plain += text[++i];
            continue;
        }
        if (c != '*') {
            plain += c;
            continue;
        }
        const int kind = i + 1 < text.size() && text[i + 1] == '*' ? 2 : 1;
        if (kind == 2)
            ++i;
        flush();
        if (open == 0) {
            open = kind;
        } else if (open == kind) {
            out.push_back(TvkNode::element(kind == 2 ? TvkTag::kB : TvkTag::kI, std::move(styled)));
            styled.clear();
            open = 0;
        } else {
            error = "mismatched * and **";
            return false;
        }
    }
    flush();
    if (open != 0) {
        error = open == 2 ? "unclosed **" : "unclosed *";
        return false;
    }
    return true;
}

bool parseNumber(const std::string& s, uint16_t& v)
{
    char* end = nullptr;
    const long n = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || n < 0 || n > 0xFFFF)
        return false;
    v = static_cast<uint16_t>(n);
    return true;
}

}  // namespace

bool tvkBookFromAuthoredSource(const std::string& source, cTvkRichBook& book, std::string& error)
{
    book.kind = cTvkRichBook::Kind::Book;
    TvkSection current;
    bool inSection = false;
    std::string paragraph;
    TvkNode list = TvkNode::element(TvkTag::kUl);
    size_t lineNo = 0;
    auto fail = [&](const std::string& message) {
        error = "line " + std::to_string(lineNo) + ": " + message;
        return false;
    };
    auto endParagraph = [&]() -> bool {
        if (!paragraph.empty()) {
            TvkNode p = TvkNode::element(TvkTag::kP);
            std::string e;
            if (!inlineNodes(paragraph, p.children, e))
                return fail(e);
            current.blocks.push_back(std::move(p));
            paragraph.clear();
        }
        if (!list.children.empty()) {
            current.blocks.push_back(std::move(list));
            list = TvkNode::element(TvkTag::kUl);
        }
        return true;
    };
    size_t pos = 0;
    while (pos <= source.size()) {
        size_t end = source.find('\n', pos);
        if (end == std::string::npos)
            end = source.size();
        std::string line = source.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '%')
            continue;
        if (!line.empty() && line[0] == '@') {
            if (inSection)
                return fail("header line after the first section");
            const size_t space = line.find(' ');
            const std::string key = line.substr(1, space == std::string::npos ? std::string::npos : space - 1);
            const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
            if (key == "title")
                book.info.bookName = value;
            else if (key == "abbreviation")
                book.info.abbreviatedTitle = value;
            else if (key == "author")
                book.info.author = value;
            else if (key == "copyright")
                book.info.copyright = value;
            else if (key == "publisher")
                book.info.publisher = value;
            else if (key == "publisherid" || key == "bookid" || key == "language") {
                uint16_t v;
                if (!parseNumber(value, v))
                    return fail("bad number for @" + key);
                (key == "publisherid"     ? book.info.publisherId
                        : key == "bookid" ? book.info.bookId
                                          : book.info.language) = v;
            } else {
                return fail("unknown header @" + key);
            }
            continue;
        }
        if (!line.empty() && line[0] == '=') {
            size_t level = 0;
            while (level < line.size() && line[level] == '=')
                ++level;
            if (level > 6)
                return fail("more than six levels");
            const std::string title = line.substr(level + (level < line.size() && line[level] == ' ' ? 1 : 0));
            if (title.empty())
                return fail("section without a title");
            if (!endParagraph())
                return false;
            if (inSection)
                book.addSection(std::move(current));
            current = TvkSection {title, static_cast<uint8_t>(level), 0,
                {TvkNode::element(
                    static_cast<uint8_t>(TvkTag::kH2 + std::min<size_t>(level, 3) - 1), {TvkNode::text(title)})}};
            inSection = true;
            continue;
        }
        if (line.find_first_not_of(" \t") == std::string::npos) {
            if (!endParagraph())
                return false;
            continue;
        }
        if (!inSection)
            return fail("text before the first section");
        if (line.rfind("- ", 0) == 0) {
            if (!paragraph.empty()) {
                TvkNode p = TvkNode::element(TvkTag::kP);
                std::string e;
                if (!inlineNodes(paragraph, p.children, e))
                    return fail(e);
                current.blocks.push_back(std::move(p));
                paragraph.clear();
            }
            TvkNode item = TvkNode::element(TvkTag::kLi);
            std::string e;
            if (!inlineNodes(line.substr(2), item.children, e))
                return fail(e);
            list.children.push_back(std::move(item));
            continue;
        }
        if (!list.children.empty() && !endParagraph())
            return false;
        if (!paragraph.empty())
            paragraph += ' ';
        paragraph += line;
    }
    if (!endParagraph())
        return false;
    if (inSection)
        book.addSection(std::move(current));
    if (book.sectionCount() < 2) {
        error = "the source has no sections";
        return false;
    }
    return true;
}
