// TreeDump: a readable, deterministic text form of a syntax tree, so that
// grammar, analysis and planner tests can compare whole trees as text.
//
// One line per node in pre-order, indented two spaces per level of nesting:
//   KIND "text"[ aux=N][ [attached]]
// KIND is the FON_* name of an inner node kind, otherwise the kind as a
// number (the token kind of a leaf, or a kind of a later stage's own).  The
// text is quoted with \" \\ \n \t and \xNN escapes for control characters,
// so each node stays on one line.  aux is omitted when 0; [attached] marks a
// node that owns an attached object.  Every line ends with "\n".  The dump
// reads the tree only and is iterative, whatever its depth.
#pragma once

#include <string>

#include "parser/SyntaxNode.h"

namespace qx {

// `root` and its subtree; siblings following `root` are not shown.  "" for null.
std::string DumpTree(const SyntaxNode* root);
// `first`, the siblings following it, and all their subtrees.  "" for null.
std::string DumpChain(const SyntaxNode* first);

}  // namespace qx
