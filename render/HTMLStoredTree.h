// Turns a block's stored node tree (as the book file's node storage reads it) into a parse tree.
//
// Each stored attribute enters the element's attribute list by its form: a named attribute by name
// (with its value text, or else its value code), a coded one by code (with its value text, or else
// its value code). Every element gets the block number as its section number; the root's source
// position is (block, 0, 0). Works without recursion, so tree depth is no concern here.

#pragma once

#include <memory>

#include "engine/bookfile/cBkHTMLNodeStg.h"
#include "render/cHTMLTagElement.h"

std::unique_ptr<cHTMLTagElement> elementTreeFromStoredNodes(const cBkNode& root);
