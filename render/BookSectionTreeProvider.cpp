#include "render/BookSectionTreeProvider.h"

#include <memory>
#include <string>

#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkSectionTextWriter.h"
#include "engine/bookfile/cPlatformImage.h"
#include "engine/references/cBibleRef.h"
#include "render/HTMLStoredTree.h"
#include "render/cHTMLParser.h"
#include "render/cHTMLRenderConfiguration.h"

std::int32_t bookTranslationNumber(cBkBookFile& book)
{
    std::string name;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 0)
            book.genInfo().bookName(name, false);
        else
            book.genInfo().abbreviatedTitle(name, false);
        int translation = 0;
        std::int32_t position = 0;
        if (!name.empty() && cBibleRef::matchTranslationAbbreviation(name.c_str(), position, translation))
            return translation;
    }
    return 0;
}

namespace {

bool loadImage(cBkBookFile& book, const char* name, cPlatformImage* holder)
{
    if (holder == nullptr || name == nullptr || book.images() == nullptr)
        return false;
    cPlatformMemPtr bytes;
    if (book.images()->readIntoMemory(name, bytes) != 0 || bytes.data() == nullptr)
        return false;
    return holder->load(bytes.data(), bytes.size(), name);
}

}  // namespace

bool bookSectionTreeProvider(void* context, std::int32_t request, const void* argument, void* outTree,
    cPlatformImage* imageHolder, std::uint32_t* inOutValue)
{
    auto* book = static_cast<cBkBookFile*>(context);
    if (book == nullptr || request < kHTMLRequestExtractFile)
        return false;
    if (request >= kHTMLRequestHead) {
        if (request >= 0 && static_cast<std::uint32_t>(request) >= book->nodes().blockCount())
            return false;
        auto** tree = static_cast<cHTMLTagElement**>(outTree);
        if (tree == nullptr)
            return false;
        *tree = nullptr;
        std::unique_ptr<cBkNode> stored;
        const int32_t language = static_cast<int32_t>(book->genInfo().languageNumber());
        if (book->nodes().loadBlockTree(request, bookTranslationNumber(*book), language, stored) != 0)
            return false;
        if (stored)
            *tree = elementTreeFromStoredNodes(*stored).release();
        return true;
    }
    switch (request) {
    case kHTMLRequestTextNode: {
        const auto* node = static_cast<const cHTMLTextNodeRequest*>(argument);
        auto* element = static_cast<cHTMLTagElement*>(outTree);
        if (node == nullptr || element == nullptr)
            return false;
        std::string text;
        cBkSectionTextWriter::renderTextRangeToHTML(
            *book, node->textPosition, node->rightToLeft != 0, node->configuration, text);
        element->attributes().addCodedStringValue(HTMLAttr::untagged_text, text);
        return true;
    }
    case kHTMLRequestLoadImage:
        return loadImage(*book, static_cast<const char*>(argument), imageHolder);
    case kHTMLRequestSectionCount:
        if (inOutValue == nullptr)
            return false;
        *inOutValue = book->sections().sectionCount();
        return true;
    case kHTMLRequestImageWidth:
        return loadImage(*book, static_cast<const char*>(argument), imageHolder) && imageHolder->width() > 0;
    case kHTMLRequestVerseToSection: {
        if (inOutValue == nullptr)
            return false;
        uint32_t record = 0, value = 0;
        book->verseSync().sectionForKey(*inOutValue, record, value);
        const uint32_t section = book->verseSync().valueWidth() > 0 ? value : record;
        *inOutValue = section;
        return section != 0 && section != 0xFFFFFFFFu;
    }
    case kHTMLRequestExtractFile: {
        const char* text = static_cast<const char*>(argument);
        if (text == nullptr || book->images() == nullptr)
            return false;
        std::string all = text, name, folder;
        const size_t tab = all.find('\t');
        if (tab != std::string::npos) {
            name = all.substr(0, tab);
            folder = all.substr(tab + 1);
        } else if (!all.empty()) {
            name = all.substr(0, all.size() - 1);
        }
        return book->images()->extractToFile(name, folder) == 0;
    }
    default:
        return false;
    }
}
