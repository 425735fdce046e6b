// Reads the "NODE" storage: the stored element tree of every block, and of blocks that do not exist,
// and the renderer's element tree made from each.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"
#include "render/HTMLStoredTree.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_nodes");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    cBkHTMLNodeStg nodes;
    if (nodes.open(&container) != 0)
        return 0;
    fuzz::walkNodes(nodes);
    // The trees the renderer builds from the stored ones.
    for (std::int32_t block = 0; block < 16 && static_cast<std::uint32_t>(block) < nodes.blockCount(); ++block) {
        std::unique_ptr<cBkNode> tree;
        if (nodes.loadBlockTree(block, 0, 1033, tree) == 0 && tree)
            (void)elementTreeFromStoredNodes(*tree);
    }
    return 0;
}
