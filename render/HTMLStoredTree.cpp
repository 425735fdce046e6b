#include "render/HTMLStoredTree.h"

#include <utility>
#include <vector>

namespace {

cHTMLTagElement* elementFromNode(const cBkNode& node, std::uint32_t section)
{
    auto* element = new cHTMLTagElement(node.tag);
    cHTMLAttributeList& list = element->attributes();
    for (const cBkNodeAttribute& a : node.attributes) {
        std::int32_t code = static_cast<std::int32_t>(a.code & 0x7FFFFFFF);
        std::int32_t value = static_cast<std::int32_t>(a.valueCode & 0x7FFFFFFF);
        if (a.named) {
            if (a.hasText)
                list.addNamedStringValue(a.name, a.text);
            else
                list.addNamedCodedValue(a.name, value);
        } else if (a.hasText) {
            list.addCodedStringValue(code, a.text);
        } else {
            list.addCodedCodedValue(code, value);
        }
    }
    element->setSectionNumber(section, false);
    return element;
}

}  // namespace

std::unique_ptr<cHTMLTagElement> elementTreeFromStoredNodes(const cBkNode& root)
{
    const std::uint32_t section = static_cast<std::uint32_t>(root.block);
    std::unique_ptr<cHTMLTagElement> top(elementFromNode(root, section));
    top->setSourcePosition(section, 0, 0);
    // Each stored node waits with the element that receives its children.
    std::vector<std::pair<const cBkNode*, cHTMLTagElement*>> pending {{&root, top.get()}};
    while (!pending.empty()) {
        auto [node, element] = pending.back();
        pending.pop_back();
        for (const auto& child : node->children) {
            if (!child)
                continue;
            cHTMLTagElement* made = elementFromNode(*child, section);
            element->appendChildren(made);
            pending.emplace_back(child.get(), made);
        }
    }
    return top;
}
