// Feeds arbitrary bytes to the markup parser as a text source, then walks the sections forward and
// back, and runs the tokenizer and the entity decoder over the same bytes.
//
// A form feed byte in the input starts a new section, so the fuzzer controls where sections begin.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "render/HTMLEntities.h"
#include "render/HTMLTokenizer.h"
#include "render/cHTMLParser.h"

namespace {

struct Source {
    std::string text;
    std::vector<std::uint32_t> sections;

    std::size_t tokenEnd(std::size_t p) const
    {
        std::size_t e = text[p] == '<' ? text.find('>', p) : text.find('<', p);
        if (e == std::string::npos)
            return text.size();
        return text[p] == '<' ? e + 1 : e;
    }

    static bool serve(void* context, std::int32_t request, std::uint32_t position, const char*, std::int32_t count,
        std::string& out, std::uint32_t& outStart, std::int32_t& outEnd, void*)
    {
        auto* self = static_cast<Source*>(context);
        out.clear();
        if (request == kHTMLRequestExcerpt) {
            if (position > self->text.size() || count < 0)
                return false;
            out = self->text.substr(position, static_cast<std::size_t>(count));
            return true;
        }
        if (request < 0)
            return false;
        std::size_t p;
        if (count == 0) {
            if (static_cast<std::size_t>(request) >= self->sections.size())
                return false;
            p = self->sections[static_cast<std::size_t>(request)];
        } else {
            if (position >= self->text.size())
                return false;
            p = self->tokenEnd(position);
        }
        if (p >= self->text.size())
            return false;
        std::size_t e = self->tokenEnd(p);
        out = self->text.substr(p, e - p);
        outStart = static_cast<std::uint32_t>(p);
        outEnd = static_cast<std::int32_t>(e);
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1 << 20)
        return 0;
    Source source;
    source.text.assign(reinterpret_cast<const char*>(data), size);
    source.sections.push_back(0);
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == '\f' && i + 1 < size)
            source.sections.push_back(static_cast<std::uint32_t>(i + 1));

    cHTMLParser parser;
    parser.setTextSource(&Source::serve, &source);
    parser.parseAll();
    cHTMLTagElement* item = nullptr;
    for (int i = 0; i < 64 && parser.parseNextSection(&item); ++i) { }
    if (source.sections.size() > 2)
        parser.parseSection(static_cast<std::uint32_t>(source.sections.size() - 1));
    std::uint32_t first = 0, last = 0;
    parser.sectionRange(&first, &last);

    HTMLTagCode code = 0;
    cHTMLAttributeList attributes;
    std::string name;
    tokenizeTag(source.text, code, attributes, &name, true);
    for (std::int32_t i = 0; i < attributes.count(); ++i) {
        (void)attributes.nameAt(i);
        (void)attributes.valueAt(i);
    }
    while (attributes.count() > 0)
        attributes.removeAt(attributes.count() / 2);

    std::u16string wide;
    wide.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        wide.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    decodeNamedEntitiesInPlace(wide, (size & 1) != 0);
    return 0;
}
